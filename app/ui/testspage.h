#pragma once
// The "Tests" tab: the endurance test's controls, "Set Position mode", the
// zero search and the circle that shows where the zero-search sensor lies
// within a motor revolution.

#include <QWidget>

#include <cstdint>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quenor {

class SpinButtons;
class TTestThread;

// What the page needs from the motor session. RequestWrite is guarded: a full
// request ring is reported to the user by the session.
class TestsPageHost {
public:
    virtual ~TestsPageHost() = default;
    virtual int MotorAddress() const = 0;
    // The value of the parameter control bound to register 42 (zero-search mode).
    virtual std::int32_t ZeroSearchModeValue() const = 0;
    virtual void RequestWrite(int address, int reg, std::int32_t value, int width) = 0;
    // Starts the endurance test; false when the motor may not run it now.
    virtual bool StartTests() = 0;
    // Makes the hidden "Scope" tab visible.
    virtual void ShowScopeTab() = 0;
};

class TTestsPage : public QWidget {
    Q_OBJECT
public:
    // Places itself on the tab page tsTests below its test-position panel,
    // with the small panel paViewRecord in the tab's top-left corner.
    TTestsPage(TestsPageHost& host, TTestThread& thread, QWidget* tsTests);

    // The endurance test; StopTest also on link loss and reconnect scan.
    void StartTest();
    void StopTest();
    bool Running() const { return running_; }
    // Start is enabled only while the motor may run the test (position
    // mode); disabling it stops a running test.
    void SetStartEnabled(bool on);

    // Motor family 0, 1 or 2: family 2 has no endurance test, families 1 and
    // 2 show a whole revolution on the large circle.
    void SetGeneration(int generation);
    // The zero position read back (family 0 register 162, family 1 register
    // 9, family 2 register 120).
    void ShowZeroPosition(std::int32_t value);
    // "Start Zero Search" and the menu item "S&tart zero search".
    void StartZeroSearch();

    QCheckBox* cbWaitForInPosition = nullptr;
    QPushButton* btnSetPositionMode = nullptr;
    QPushButton* btnStartStop = nullptr;
    QLineEdit* edDelay1 = nullptr;
    QLineEdit* edDelay2 = nullptr;
    SpinButtons* udDelay1 = nullptr;
    SpinButtons* udDelay2 = nullptr;
    QPushButton* btnStartZero = nullptr;
    QWidget* paTestControls = nullptr;
    QLabel* imZeroCircle = nullptr;
    QLabel* imCircle = nullptr;
    QWidget* paBigVekZero = nullptr;
    QLabel* imZeroCircleBig = nullptr;
    QLabel* imCircle2 = nullptr;
    QWidget* paViewRecord = nullptr;

private:
    void BuildControls();
    void BuildZeroSearch();
    void DelayEdited(int which);
    void DelayStepped(int which, bool up);

    TestsPageHost& host_;
    TTestThread& thread_;
    bool running_ = false;
    int generation_ = 0;
    int position_[2] = {100, 100};  // the up-downs' positions
};

}  // namespace quenor
