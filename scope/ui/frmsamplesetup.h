#pragma once
// The sample setup dialog: channels with their colours, sample count, trigger
// kind and condition, trigger point. It owns the settings record and its own
// register list; the logic is in scope/samplesetup.h, the dialog moves values
// between its widgets and that logic.

#include "program/vizuvekparameterlist.h"
#include "scope/samplesettings.h"
#include "scope/samplesetup.h"

#include <QColor>
#include <QDialog>

#include <array>
#include <functional>
#include <optional>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QSpinBox;

namespace quenor {

class Settings;

class TfrmSampleSetup : public QDialog {
    Q_OBJECT
public:
    explicit TfrmSampleSetup(QWidget* parent = nullptr);
    ~TfrmSampleSetup() override;

    // The motor family (0..2): the register list and the family's limits.
    void SetMotorType(int family);
    int MotorType() const { return family_; }

    // Reads the controls into the record and returns it; nullptr (and the
    // reason in error) when a control holds what cannot be read.
    SSampleSettings* GetSettings(std::string& error);
    const SSampleSettings& Record() const { return record_; }

    // The setting "SampleSetup". After a load the record is also written back
    // when the dialog is destroyed (at exit).
    void LoadFromRegistry(const Settings& settings);
    void SaveToRegistry(Settings& settings) const;

    // How messages and the colour dialog are shown; tests replace them.
    std::function<void(const QString& text)> showError;
    std::function<std::optional<QColor>(const QColor& initial)> chooseColor;

    // Widgets, for tests.
    QComboBox* ChannelCombo(int i) const { return cbChannel_[static_cast<std::size_t>(i)]; }
    QPushButton* ColorButton(int i) const { return btnColor_[static_cast<std::size_t>(i)]; }
    QRadioButton* TrigButton(int i) const { return rbTrig_[static_cast<std::size_t>(i)]; }
    QLineEdit* DistanceEdit() const { return edDist_; }
    QLineEdit* MaxDistanceEdit() const { return edMaxDist_; }
    QComboBox* RegisterCombo() const { return cbRegister_; }
    QComboBox* OperatorCombo() const { return cbOperator_; }
    QLineEdit* ValueEdit() const { return edValue_; }
    QLabel* UnitLabel() const { return lblUnit_; }
    QSpinBox* SampleCountSpin() const { return udSampleTime_; }
    QScrollBar* TrigPointBar() const { return sbTrigPoint_; }
    QLabel* TotalTimeLabel() const { return lblTotalSampleTime_; }
    QLabel* BeforeLabel() const { return lblTrigBefore_; }
    QLabel* AfterLabel() const { return lblTrigAfter_; }

public slots:
    void accept() override;  // "&Ok": reads the controls, stays open on bad input

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FillChannelLists();
    void LoadControls();
    std::string ReadControls();
    SampleSetupControls ControlsNow() const;
    void UpdateTrigControls();
    void UpdateTimeLabels();
    void RegisterChanged();
    void ChooseChannelColor(int i);
    void ShowChannelColor(int i);
    int CheckedTrigger() const;

    CVekParameterList registers_;
    SSampleSettings record_;
    int family_ = 0;
    bool saveAtExit_ = false;
    bool loading_ = false;

    std::array<QComboBox*, kSampleChannels> cbChannel_{};
    std::array<QPushButton*, kSampleChannels> btnColor_{};
    std::array<QRadioButton*, kTriggerTypeCount> rbTrig_{};
    QLineEdit* edDist_;
    QLineEdit* edMaxDist_;
    QComboBox* cbRegister_;
    QComboBox* cbOperator_;
    QLineEdit* edValue_;
    QLabel* lblUnit_;
    QCheckBox* cbEdgeTrigged_;
    QComboBox* cbBitNum_;
    QRadioButton* rbBitH_;
    QRadioButton* rbBitL_;
    QSpinBox* udSampleTime_;
    QScrollBar* sbTrigPoint_;
    QLabel* lblTotalSampleTime_;
    QLabel* lblTrigBefore_;
    QLabel* lblTrigAfter_;
};

}  // namespace quenor
