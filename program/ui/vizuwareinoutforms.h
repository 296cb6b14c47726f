#pragma once
// The input condition dialog and the output dialog. The output dialog's
// panel can be docked into a host (the move dialog), where it shows without
// OK and Cancel.

#include "program/ui/commandformparts.h"

class QLabel;
class QLineEdit;
class QBoxLayout;

namespace quenor {

class TVizuWareInput : public TCommandDialog {
    Q_OBJECT
public:
    explicit TVizuWareInput(QWidget* parent = nullptr);

    SInputConditionState State() const;
    void SetState(const SInputConditionState& state);
    // On: "Single" only (the one-byte condition of a sensor move).
    void SetSensorMode(bool on);
    bool SensorMode() const
    {
        return sensor_;
    }
    // Condition from cells (the single or multiple form, or the sensor byte).
    void LoadCondition(std::span<const std::uint8_t> cells);
    bool SaveCondition(CellWriter& cursor) const;

    TRadioGroup* InputStyle() const
    {
        return inputStyle_;
    }
    TRadioGroup* Input() const
    {
        return input_;
    }
    TRadioGroup* Condition() const
    {
        return condition_;
    }
    TLevelRows* MultipleInputs() const
    {
        return multipleInputs_;
    }
    TRadioGroup* AndOr() const
    {
        return andOr_;
    }

protected:
    CommandCheck Check() const override;
    QWidget* FieldWidget(CommandField field) const override;
    void showEvent(QShowEvent* event) override;

private:
    void InputStyleClick();

    bool sensor_ = false;
    TRadioGroup* inputStyle_;
    TRadioGroup* input_;
    TRadioGroup* condition_;
    TLevelRows* multipleInputs_;
    TRadioGroup* andOr_;
};

class TVizuWareOutput : public TCommandDialog {
    Q_OBJECT
public:
    explicit TVizuWareOutput(QWidget* parent = nullptr);

    SOutputState State() const;
    void SetState(const SOutputState& state);
    // 4 outputs for motor kinds 0 and 1, 8 for kind 2; other kinds keep the count.
    void SetOutputCount(int kind);
    int OutputCount() const
    {
        return count_;
    }
    // Docked: the panel moves into host (at index) without OK and Cancel.
    // Floating: the panel comes back into this dialog.
    void SetDocked(bool docked, QBoxLayout* host = nullptr, int index = -1);
    bool Docked() const
    {
        return docked_;
    }
    QWidget* Panel() const
    {
        return panel_;
    }

    void LoadOutputDialog(std::span<const std::uint8_t> cells);
    bool SaveOutputDialog(CellWriter& cursor) const;
    CommandCheck CheckPanel() const;
    QWidget* PanelField(CommandField field) const;

    TRadioGroup* OutputStyle() const
    {
        return outputStyle_;
    }
    TRadioGroup* OutputNo() const
    {
        return outputNo_;
    }
    TRadioGroup* Output() const
    {
        return output_;
    }
    QLineEdit* LowPulse() const
    {
        return lowPulse_;
    }
    QLineEdit* HighPulse() const
    {
        return highPulse_;
    }
    TLevelRows* MultipleOutputs() const
    {
        return multipleOutputs_;
    }

protected:
    CommandCheck Check() const override
    {
        return CheckPanel();
    }
    QWidget* FieldWidget(CommandField field) const override
    {
        return PanelField(field);
    }
    void showEvent(QShowEvent* event) override;

private:
    void OutputClick();
    void OutputStyleClick();
    void RebuildOutputs();

    int count_ = 4;
    bool docked_ = false;
    QWidget* panel_;
    QBoxLayout* ownLayout_;
    QWidget* buttons_;
    TRadioGroup* outputStyle_;
    TRadioGroup* outputNo_;
    TRadioGroup* output_;
    QLineEdit* lowPulse_;
    QLineEdit* highPulse_;
    TLevelRows* multipleOutputs_;
};

}  // namespace quenor
