#pragma once
// "Set register" and "Register condition": a motor register from the motor
// register list (or a typed number), a value in one of the units of the
// register's unit group, and for the condition a comparison operator.

#include "program/ui/commandformparts.h"

class QComboBox;
class QLineEdit;

namespace quenor {

class CVekParameterList;

class TVizuWareRegisterBase : public TCommandDialog {
    Q_OBJECT
public:
    // The list is not owned; nullptr offers no registers.
    void SetRegisterList(CVekParameterList* list);

    SRegisterState State() const;
    void SetState(const SRegisterState& state);
    // cells start at the condition's or the command's first cell.
    void LoadData(std::span<const std::uint8_t> cells);
    bool SaveData(std::span<std::uint8_t> cells);

    QComboBox* RegNo() const
    {
        return regNo_;
    }
    QLineEdit* Value() const
    {
        return value_;
    }
    QComboBox* Unit() const
    {
        return unit_;
    }
    QComboBox* Operator() const
    {
        return operator_;
    }

protected:
    TVizuWareRegisterBase(bool withOperator, QWidget* parent);
    CommandCheck Check() const override;
    QWidget* FieldWidget(CommandField field) const override;
    void showEvent(QShowEvent* event) override;

private:
    // The unit list of the register the box names, with the unit the list
    // remembers for its group.
    void RegNoChange();

    bool withOperator_;
    CVekParameterList* registers_ = nullptr;
    QComboBox* regNo_;
    QLineEdit* value_;
    QComboBox* unit_;
    QComboBox* operator_ = nullptr;
};

class TVizuWareSetReg : public TVizuWareRegisterBase {
    Q_OBJECT
public:
    explicit TVizuWareSetReg(QWidget* parent = nullptr);
};

class TVizuWareRegister : public TVizuWareRegisterBase {
    Q_OBJECT
public:
    explicit TVizuWareRegister(QWidget* parent = nullptr);
};

}  // namespace quenor
