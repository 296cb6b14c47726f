#pragma once
// The small command dialogs: position, zero search, set mode, wait time,
// remark, program setup, fast command and binary command.

#include "program/ui/commandformparts.h"

#include <QComboBox>
#include <QLineEdit>

class QCheckBox;
class QLabel;

namespace quenor {

class TVizuWarePosition : public TCommandDialog {
    Q_OBJECT
public:
    explicit TVizuWarePosition(QWidget* parent = nullptr);
    // 1 "Set position" (a count or a register), 0 "Save position" (a register).
    void SetPositionMode(int mode);
    int PositionMode() const
    {
        return mode_;
    }
    SPositionState State() const;
    void SetState(const SPositionState& state);
    void LoadData(std::span<const std::uint8_t> cells);
    bool SaveData(std::span<std::uint8_t> cells) const;
    QComboBox* Position() const
    {
        return position_;
    }
    QLabel* CountLabel() const
    {
        return countLabel_;
    }

protected:
    CommandCheck Check() const override
    {
        return CheckPosition(State());
    }
    QWidget* FieldWidget(CommandField) const override;
    void showEvent(QShowEvent* event) override;

private:
    int mode_ = 1;
    QComboBox* position_;
    QLabel* countLabel_;
};

// Zero search and set mode: one radio group whose items follow the motor kind.
class TVizuWareModeChoice : public TCommandDialog {
    Q_OBJECT
public:
    void SetMotorKind(int kind);
    int MotorKind() const
    {
        return kind_;
    }
    SChoiceState State() const
    {
        return {kind_, mode_->Index()};
    }
    void LoadData(std::span<const std::uint8_t> cells);
    bool SaveData(std::span<std::uint8_t> cells) const;
    TRadioGroup* Mode() const
    {
        return mode_;
    }

protected:
    TVizuWareModeChoice(bool zeroSearch, QWidget* parent);
    CommandCheck Check() const override;
    QWidget* FieldWidget(CommandField) const override
    {
        return mode_;
    }
    void showEvent(QShowEvent* event) override;

private:
    bool zeroSearch_;
    int kind_ = 0;
    TRadioGroup* mode_;
};

class TVizuWareZeroSearch : public TVizuWareModeChoice {
    Q_OBJECT
public:
    explicit TVizuWareZeroSearch(QWidget* parent = nullptr);
};

class TVizuWareSetMode : public TVizuWareModeChoice {
    Q_OBJECT
public:
    explicit TVizuWareSetMode(QWidget* parent = nullptr);
};

class TVizuWareWaitTime : public TCommandDialog {
    Q_OBJECT
public:
    explicit TVizuWareWaitTime(QWidget* parent = nullptr);
    void LoadData(std::span<const std::uint8_t> cells);
    bool SaveData(std::span<std::uint8_t> cells) const;
    QLineEdit* Time() const
    {
        return time_;
    }

protected:
    CommandCheck Check() const override;
    QWidget* FieldWidget(CommandField) const override
    {
        return time_;
    }
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* time_;
};

class TVizuWareComment : public TCommandDialog {
    Q_OBJECT
public:
    explicit TVizuWareComment(QWidget* parent = nullptr);
    // The remark in the files' 8-bit text.
    std::string Text() const;
    void SetText(const std::string& text);
    QLineEdit* Comment() const
    {
        return comment_;
    }

protected:
    CommandCheck Check() const override
    {
        return {};
    }
    QWidget* FieldWidget(CommandField) const override
    {
        return comment_;
    }
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* comment_;
};

class TVizuWareSetup : public TCommandDialog {
    Q_OBJECT
public:
    explicit TVizuWareSetup(QWidget* parent = nullptr);
    // A stepper motor (kind 2) has no input filter and no dedicated outputs.
    void SetMotorKind(int kind);
    ProgramSetupOptions Options() const;
    void SetOptions(const ProgramSetupOptions& options);
    QCheckBox* DebounceChkBox() const
    {
        return debounce_;
    }
    QCheckBox* SkipInitializationChkBox() const
    {
        return skipInitialization_;
    }
    TRadioGroup* TransferSettings() const
    {
        return transfer_;
    }
    QGroupBox* DedOutBox() const
    {
        return dedOutBox_;
    }

protected:
    CommandCheck Check() const override
    {
        return {};
    }
    QWidget* FieldWidget(CommandField) const override
    {
        return nullptr;
    }
    void showEvent(QShowEvent* event) override;

private:
    QCheckBox* debounce_;
    QCheckBox* skipInitialization_;
    TRadioGroup* transfer_;
    QGroupBox* dedOutBox_;
    QCheckBox* out1_;
    QCheckBox* out2_;
};

class TVizuWareFastVEK : public TCommandDialog {
    Q_OBJECT
public:
    explicit TVizuWareFastVEK(QWidget* parent = nullptr);
    SFastCommandState State() const;
    void SetState(const SFastCommandState& state);
    void DecodeCommand(std::span<const std::uint8_t> cells);
    bool EncodeCommand(std::span<std::uint8_t> cells) const;
    TRadioGroup* Mode() const
    {
        return mode_;
    }
    TRadioGroup* RegisterType() const
    {
        return registerType_;
    }
    QComboBox* Number() const
    {
        return number_;
    }
    QComboBox* Command() const
    {
        return command_;
    }
    QGroupBox* CommandGroupBox() const
    {
        return commandGroup_;
    }

protected:
    CommandCheck Check() const override
    {
        return CheckFastCommand(State());
    }
    QWidget* FieldWidget(CommandField) const override
    {
        return command_;
    }
    void showEvent(QShowEvent* event) override;

private:
    void ModeClick();
    void RegisterTypeClick();

    TRadioGroup* mode_;
    TRadioGroup* registerType_;
    QGroupBox* numberGroup_;
    QComboBox* number_;
    QGroupBox* commandGroup_;
    QComboBox* command_;
};

class TVizuWareBinaryCommand : public TCommandDialog {
    Q_OBJECT
public:
    explicit TVizuWareBinaryCommand(QWidget* parent = nullptr);
    void DecodeCode(std::span<const std::uint8_t> cells);
    bool EncodeCode(std::span<std::uint8_t> cells) const;
    QLineEdit* Code() const
    {
        return code_;
    }

protected:
    CommandCheck Check() const override;
    QWidget* FieldWidget(CommandField) const override
    {
        return code_;
    }
    void Refused(CommandField) override;
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* code_;
};

}  // namespace quenor
