#pragma once
// The move dialog. A relative move with set outputs shows the output dialog's
// panel docked beside its general parameters; a sensor move opens the input
// dialog for its condition.

#include "program/ui/commandformparts.h"

#include <functional>

class QCheckBox;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quenor {

class TVizuWareInput;
class TVizuWareOutput;

class TVizuWareMove : public TCommandDialog {
    Q_OBJECT
public:
    TVizuWareMove(TVizuWareOutput& output, TVizuWareInput& input, QWidget* parent = nullptr);

    // True when the program is "Absolute and relative" (only then "&Absolute" is offered).
    std::function<bool()> isAbsRelProgram;
    // Shows the input dialog modally; true on OK. Tests replace it.
    std::function<bool(TVizuWareInput&)> runInput;

    SMoveState State() const;
    void SetState(const SMoveState& state);
    void LoadMove(std::span<const std::uint8_t> cells);
    bool SaveMove(std::span<std::uint8_t> cells) const;
    // What showing the dialog does first: the choices, the docked output panel.
    void Prepare();

    TRadioGroup* MoveType() const
    {
        return moveType_;
    }
    QLabel* PosLabel() const
    {
        return posLabel_;
    }
    QComboBox* GeneralDistance() const
    {
        return generalDistance_;
    }
    QLineEdit* GeneralAcceleration() const
    {
        return generalAcceleration_;
    }
    QLineEdit* GeneralVelocity() const
    {
        return generalVelocity_;
    }
    QCheckBox* WaitForInPos() const
    {
        return waitForInPos_;
    }
    QGroupBox* ChangeVelGroup() const
    {
        return changeVelGroup_;
    }
    QComboBox* ChangeVelPosition() const
    {
        return changeVelPosition_;
    }
    QLineEdit* ChangeVelVelocity() const
    {
        return changeVelVelocity_;
    }
    QGroupBox* SensorGroup() const
    {
        return sensorGroup_;
    }
    QComboBox* SensorDistance() const
    {
        return sensorDistance_;
    }
    QPushButton* InputCondition() const
    {
        return inputCondition_;
    }

protected:
    CommandCheck Check() const override;
    QWidget* FieldWidget(CommandField field) const override;
    void showEvent(QShowEvent* event) override;

private:
    void MoveTypeClick();
    void InputConditionClick();

    TVizuWareOutput& output_;
    TVizuWareInput& input_;
    QHBoxLayout* body_;
    TRadioGroup* moveType_;
    QLabel* posLabel_;
    QComboBox* generalDistance_;
    QLineEdit* generalAcceleration_;
    QLineEdit* generalVelocity_;
    QCheckBox* waitForInPos_;
    QGroupBox* changeVelGroup_;
    QComboBox* changeVelPosition_;
    QLineEdit* changeVelVelocity_;
    QGroupBox* sensorGroup_;
    QComboBox* sensorDistance_;
    QPushButton* inputCondition_;
};

}  // namespace quenor
