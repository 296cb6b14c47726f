#pragma once
// The motor session: the application without its windows. It owns the
// communication thread, the parameter controls and their register lists, what
// is known of the link, the motor and its module, the status line's model and
// the program document. It turns the thread's messages into state and the
// user's edits and commands into requests, and reads and writes setup files.
//
// Forms show the session and forward to it; none talks to the communication
// thread. What the session needs of its view (building the pages with widgets,
// placing the controls, redrawing) goes through SessionView; questions and
// messages through QuenorPrompts. A headless view builds the pages without
// widgets, which is how the tests run the session against the simulated motor.

#include "app/filterselector.h"
#include "app/mainsettings.h"
#include "app/moduleblocks.h"
#include "app/mainstate.h"
#include "app/statustext.h"
#include "app/warnings.h"
#include "link/comthread.h"
#include "params/paramcontrol.h"
#include "platform/messages.h"
#include "program/runcontrol.h"
#include "program/vizuware.h"
#include "scope/scopelink.h"

#include <QString>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quenor {

struct ParamTableSet;
class QtMessageTarget;
class TTestThread;

// What the scope takes from the motor's registers.
// The mode of a motor that has not reported it yet.
inline constexpr int kModeUnknown = -1;

struct MotorRunValues {
    int mode = 0;  // kModeUnknown until the connected motor reports it
    std::int32_t velocity = 0;
    std::int32_t acceleration = 0;
    std::int32_t sCurve = 0;
};

// What a test or the program changes in the session's surroundings.
struct SessionOptions {
    ComTimings timings;              // the communication thread's waits
    bool startCommunication = true;  // Start resumes the thread
};

// The questions, messages and file dialogs. The program answers them with
// message boxes and file dialogs; tests answer directly.
struct QuenorPrompts {
    std::function<bool(const QString& text, const QString& caption)> askYesNo;
    // Yes, No or Cancel: 1, 0 or -1.
    std::function<int(const QString& text, const QString& caption)> askYesNoCancel;
    std::function<void(const QString& text, const QString& caption)> error;
    std::function<void(const QString& text, const QString& caption)> warning;
    std::function<void(const QString& text, const QString& caption)> loadInformation;
    std::function<bool(const QString& text, const QString& caption)> askOkCancel;
    // The warning details before a save in motor: true to go on (Ignore).
    std::function<bool(const Warnings& warnings)> confirmWarnings;
    std::function<QString()> openFileName;  // empty: cancelled
    std::function<QString()> saveFileName;  // empty: cancelled
};

// What the session asks of the window that shows it. Called on the GUI thread.
class SessionView {
public:
    virtual ~SessionView() = default;
    // Build the controls of a family's three tables (main pages, test
    // position panel, status view) with the session's control target and
    // append them to the session's controls.
    virtual void BuildPages(const ParamTableSet& set) = 0;
    // Show the controls whose visibility mask meets mask, hide the others.
    virtual void ArrangeControls(int mask) = 0;
    // The status panels, the motor picture and the module pages are stale.
    virtual void StatusChanged() {}
    virtual void WarningsChanged() {}
    virtual void ProgressChanged() {}
    virtual void MotorCommandsChanged(bool connected) { (void)connected; }
    virtual void MotorTypeChanged(int code) { (void)code; }
    virtual void MotorInfoChanged(const std::string& text) { (void)text; }
    virtual void FileNameChanged() {}
    // The programmable module reported its status (run control shows it).
    virtual void ModuleStatusChanged() {}
    // The editor holds a program that can be printed, or not.
    virtual void ProgramPresent(bool present) { (void)present; }
    // A field-bus or logic-module message for the module pages (after the
    // session took its part of a module information block).
    virtual void ModuleMessage(const Message& m) { (void)m; }
    // The zero-search result arrived (the tests page marks it).
    virtual void ZeroPositionChanged(std::int32_t value) { (void)value; }
    // The link went away or restarts, or the motor left position mode: a
    // running endurance test stops.
    virtual void TestsStopped() {}
    // The link went away or restarts: what was queued on it (a sample run's
    // jobs) is gone and will report nothing.
    virtual void LinkLost() {}
    // The endurance test may be started (position mode) or not.
    virtual void TestsAllowedChanged(bool allowed) { (void)allowed; }
    // Mode, velocity, acceleration or S-curve changed (the scope's test move uses them).
    virtual void MotionChanged(const MotorRunValues& motion) { (void)motion; }
    // The motor family changed (pages, scope limits, tests page panels).
    virtual void GenerationChanged(int generation) { (void)generation; }
    // A dialog or a box of the program is open, whoever opened it: a file
    // handed over waits until none is (MotorSession::ModalWindowClosed).
    virtual bool ModalWindowOpen() const { return false; }
    // Width of a text in the warnings panel, and the panel's width.
    virtual int TextWidth(std::string_view text) const { return static_cast<int>(text.size()) * 6; }
    virtual int Panel0Width() const { return 400; }
};

class MotorSession {
public:
    static constexpr int kRegisterSlots = 258;  // registers 0..255 and the pseudo registers 256, 257

    MotorSession(SessionView& view, VizuWareUi& vizuUi, const MainSettings& settings, SessionOptions options = {});
    ~MotorSession();
    MotorSession(const MotorSession&) = delete;
    MotorSession& operator=(const MotorSession&) = delete;

    // Completes the start: the generation of the last run with its default
    // motor type, then the thread runs; fileName (if any) is opened next.
    void Start(int lastGeneration, const QString& fileName);
    // Stops the thread (first thing at exit: nothing may be posted after),
    // once a sample run's motor that is out has been sent back.
    void Shutdown();
    // A sample run has moved the motor out and the link is yet to send it
    // back: how long that may still take, in ms (0: nothing under way).
    // Quitting waits for it first.
    std::int64_t MotorMoveUnderWayMs() const { return com_->MoveReturnPendingMs(); }

    QuenorPrompts prompts;

    // --- Messages --------------------------------------------------------------
    MessageTarget* Notify();
    void HandleMessage(const Message& m);
    // A second start handed a file over.
    void RequestOpenFile(const QString& name);
    // The command line named a file by bytes that are no text: the name (as
    // far as it reads) is refused with the reason.
    void RefuseFileName(const QString& name);

    // --- Parameter controls -------------------------------------------------------
    // The target the controls post to: binds are taken at once, the rest
    // travels as posted messages. For the GUI thread only.
    MessageTarget* ControlTarget();
    std::vector<std::unique_ptr<CParamControl>>& Controls() { return controls_; }
    const std::vector<std::unique_ptr<CParamControl>>& Controls() const { return controls_; }
    const std::vector<CParamControl*>& RegisterList(int reg) const { return registerLists_.at(static_cast<std::size_t>(reg)); }
    CParamControl* FindControlByRegister(int reg) const;
    std::int32_t GetControlValueByCaption(const std::string& caption) const;
    // The value to write for a register, and its width (2 or 4).
    std::pair<std::int32_t, int> CombineRegisterValue(int reg);
    void OnControlChanged(int reg, int modeFlag);
    void RequestAllRegisters();
    int LastMask() const { return lastMask_; }
    void ArrangeControls(int mask);

    // --- Motor type and generation -------------------------------------------------
    void SetMotorType(int code);
    void SetGeneration(int generation);
    // An offline motor type chosen in the menu.
    void OfflineTypeChosen(int code);
    int Generation() const { return generation_; }
    int MotorType() const { return state_.motorType; }

    // --- Link settings -----------------------------------------------------------
    // The port menu, COM1 to COM24: "Comport n" with the device it leads to
    // beside it (an adapter's kernel name), and whether that device is there.
    struct PortMenuItem {
        QString caption;
        bool present = false;
    };
    std::vector<PortMenuItem> PortMenu() const;
    // Chooses COM port index + 1; an adapter's automatic number is stored as
    // its mapping, so that the next start finds the adapter there.
    void SelectPort(int index);
    void SelectBaudRate(int index);
    // "All" or 1..255; false (an error shown, the address kept) for anything else.
    bool SelectAddress(const QString& text);
    int Address() const { return address_; }

    // --- Motor commands ------------------------------------------------------------
    void SaveInMotor();
    void ResetMotor();
    void LoadDefault();
    void ResetPosition();
    void ClearErrors();

    // --- Setup files ---------------------------------------------------------------
    std::vector<std::string> BuildSetupLines() const;
    bool SaveSetupFile(const QString& name);
    void LoadSetupFile(const QString& name);
    // File > Open: the open dialog, then the load of the file chosen.
    void OpenSetupFile();
    // A file handed over: asks whether to go on when it comes in while
    // connected. It waits while a load is under way (its file dialog, a
    // question or a notice open) or the view has a dialog or a box open; the
    // files that wait are opened one by one, in the order they came, once
    // nothing holds them any more.
    void OnOpenFileRequest(const QString& name);
    // A dialog or a box of the view has closed: the files handed over
    // meanwhile are opened when none is left open.
    void ModalWindowClosed();
    // The window closes: no file handed over is opened any more, neither one
    // that waits nor one that comes later.
    void WindowClosing();
    QString FileName() const { return fileName_; }
    void SetFileName(const QString& name);
    const std::vector<QString>& RecentFiles() const { return recentFiles_; }

    // --- State -----------------------------------------------------------------------
    const MainWindowState& State() const { return state_; }
    void SetViewHidden(bool on);
    StatusBarModel& StatusBar() { return statusBar_; }
    const StatusBarModel& StatusBar() const { return statusBar_; }
    void UpdateStatusText();
    void UpdateWarnings();
    // The status line's timers fired.
    void ErrorClearTick();
    CVizuWareDocument& Program() { return *vizu_; }

    // --- Programmable module ----------------------------------------------------------
    CVizuRunControl& RunControl() { return *runControl_; }
    // The editor's requests to the module: 0 transfer and start, 1 start,
    // 2 stop, 3 pause, 4 single step over a..b, 5 resume, 6 upload, 8 program
    // present (a nonzero).
    // True when the command went out (0: the image is queued for the module).
    bool OnProgramCommand(int command, int a, int b);

    // --- Other forms' roads to the motor ----------------------------------------------
    // The scope's requests, each guarded against a full ring.
    ScopeLink& ScopeRequests() { return *scopeLink_; }
    // The module pages' requests.
    ModuleRequests& ModuleRequestsPort() { return *moduleRequests_; }
    // The tests page's endurance test. It moves the motors, so it runs only
    // while a motor is connected and in position mode (register 2 value 2,
    // families 0 and 1); StartTests refuses it otherwise, and the session
    // stops it the moment the motor reports another mode or the link goes.
    // A motor that comes back reports its mode anew and starts nothing.
    TTestThread& Tests() { return *testThread_; }
    bool TestsAllowed() const { return testsAllowed_; }
    bool StartTests();
    // The port handed to another user (the firmware loader) and back. A port
    // that cannot be reopened is shown as an error; the link keeps looking for it.
    void SuspendLink(bool sendStop);
    void ResumeLink(bool sendResume);
    // A register write of a form, guarded; false when it did not go out.
    // RequestWriteTo sends it to another address than the one chosen (255:
    // every motor), the chosen address staying as it is.
    bool RequestWrite(int reg, std::int32_t value, int width);
    bool RequestWriteTo(int address, int reg, std::int32_t value, int width);
    // The filter selector, or null while there is none.
    void SetFilterSelector(FilterSelectorPort* selector);
    const MotorRunValues& Motion() const { return motion_; }
    ComThread& Com() { return *com_; }  // for the session's own tests and benchmarks

    // Runs requests to the motor; when the request ring is full (the motor
    // lags far behind) the rest is refused and the user told, instead of the
    // refusal ending the program.
    template <class F>
    void Guarded(F&& requests)
    {
        try {
            requests();
        } catch (const ComIntException&) {
            ReportRingFull();
        }
    }

private:
    class BindingTarget;

    void Dispatch(const Message& m);
    void OnParameterError(int code, std::int64_t lParam, const std::string& text);
    void OnRegisterValue(int reg, std::int32_t value);
    void OnLinkState(int state, std::int64_t value, std::uint32_t connection);
    void OnModuleSetup(const Message& m);
    void OnProgress(int percent, const std::string& text);
    void OnRegisterBlock(const std::vector<std::uint8_t>& block);
    void OnWriteRegister(std::int64_t wParam, std::int32_t value);
    void OnBatchStatus(std::int64_t wParam, const std::string& text);
    void OnProgramUploaded(const Message& m);
    void OnSetOutput(std::int64_t bit, std::int64_t on);
    void OnFilterWrite(const Message& m);
    void OnFilterBatch(std::int64_t wParam, const std::string& text);
    void TellFilterMotorType();
    void CreateFormLinks();
    void ReportRingFull();
    void HaltTests();
    void UpdateTestsAllowed();

    void DeleteParameterControls();
    void PostDefaultRegisters(int code);
    void SetFamily1DisplayScales();
    // A write of the user's: queued for a connected motor, echoed offline.
    // False when the motor is shown connected but the link is down: nothing
    // was sent, and the controls show the motor's value again. Without an
    // address, to the motor chosen. With ticket, the write's ticket is
    // stored there (0: it was not queued; ComThread::LastAcknowledged).
    bool Write(int reg, std::int32_t value, int width, int address, std::uint64_t* ticket = nullptr);
    bool Write(int reg, std::int32_t value, int width) { return Write(reg, value, width, address_); }
    // OnControlChanged, the ticket of the register's write stored in ticket.
    void ChangeRegister(int reg, int modeFlag, std::uint64_t* ticket);
    void Read(int reg, bool poll, int width);
    // The combined value of a register's controls, without touching their
    // changed marks.
    std::int32_t CombinedValue(int reg) const;
    bool TakesSetupLine(const CParamControl& c) const;
    void AddRecentFile(const QString& name);
    // A parameter that a setup-file load applied: a control's caption and its register.
    struct LoadedParameter {
        std::string caption;
        int reg = 0;
        bool operator==(const LoadedParameter&) const = default;
    };
    // The setup-file loads whose writes are still on their way to the motor
    // (one, or more begun while the one before was under way), followed by
    // their tickets: a write arrived when its ticket is not after the last
    // one the motor acknowledged; one never queued has none (0).
    struct PendingLoad {
        struct Entry {
            int reg = 0;
            std::uint64_t ticket = 0;
        };
        // A parameter a load applied and the write of its register by that load.
        struct Parameter {
            std::string caption;
            std::size_t write = 0;
        };
        std::vector<Entry> writes;          // in the order they are queued
        std::vector<Parameter> parameters;  // each load's once, in the order of its file
        bool active = false;
    };
    // How a setup-file load began: with a motor connected or not, and the
    // link's change count then. Taken when the user begins it (the file
    // dialog, the question before a transfer), so that a link that goes or
    // a motor that comes while he answers is seen.
    struct LoadStart {
        bool toMotor = false;
        std::uint64_t linkChanges = 0;
        // The motor then, as the file is compared with it (its reported code
        // when its type is unknown).
        int motorType = 0;
        int firmware = 0;
    };
    LoadStart BeginLoad() const;
    // Marks a load under way from its beginning (the file dialog, the question
    // before a transfer) to its last box; the files handed over meanwhile are
    // opened when the last such load has ended.
    class LoadUnderWay;
    // Opens the first file that waits, unless something holds it; the next
    // one follows when its load has ended.
    void OpenWaitingFiles();
    // The same from the event loop, once the caller's work is done.
    void OpenWaitingFilesLater();
    void OpenHandedOverFile(const QString& name);
    void LoadSetupFile(const QString& name, LoadStart start);
    // "An error occured reading the setup file" with the name and why.
    void RefuseSetupFile(const QString& name, const QString& why);
    void EndPendingLoad(bool lost);
    // Some write of the pending load is queued and not yet acknowledged.
    bool PendingLoadUnderWay() const;
    // Lists the parameters of the pending load whose writes did not reach
    // the motor: never queued, or not acknowledged.
    void ReportLoadCutOff();

    SessionView& view_;
    SessionOptions options_;
    std::unique_ptr<QtMessageTarget> notify_;
    std::unique_ptr<BindingTarget> controlTarget_;
    std::unique_ptr<ComThread> com_;
    std::unique_ptr<CVizuWareDocument> vizu_;
    std::unique_ptr<CVizuRunControl> runControl_;
    std::unique_ptr<ScopeLink> scopeLink_;
    std::unique_ptr<ModuleRequests> moduleRequests_;
    std::unique_ptr<TTestThread> testThread_;
    FilterSelectorPort* filter_ = nullptr;
    RegisterWriteBatch filterBatch_;
    MotorRunValues motion_;
    std::atomic<bool> ringFullFromThread_{false};
    MainWindowState state_;
    StatusBarModel statusBar_;
    std::vector<QString> recentFiles_;

    int generation_ = -1;
    int address_ = 255;
    QString fileName_;
    bool shutDown_ = false;
    bool rebuilding_ = false;
    int lastMask_ = 0;
    std::uint32_t pagesSerial_ = 0;  // counts the rebuilds of the pages
    int restartToken_ = 0;
    std::int32_t lastRegister36_ = 0;   // family 0: last value of the setup bits read from the motor
    std::int32_t lastRegister156_ = 0;  // family 1: last S-curve value read from the motor
    std::array<std::int32_t, kRegisterSlots> motorValues_{};  // last value each register reported
    std::array<bool, kRegisterSlots> motorValueKnown_{};
    PendingLoad pendingLoad_;
    int loadsUnderWay_ = 0;
    std::vector<QString> filesWaiting_;  // handed over, in the order they came, not yet opened
    bool windowClosing_ = false;         // no file handed over is opened any more
    bool openPosted_ = false;    // a UM_OPENFILE without a path is on its way
    bool openDeferred_ = false;  // a UM_OPENFILE came inside another handler
    int dispatchDepth_ = 0;      // messages being handled, nested ones included
    std::uint64_t linkChanges_ = 0;  // counts the connects, losses and restarts of the link
    bool writeRefused_ = false;
    bool testsAllowed_ = false;  // a write found the link down since the last look

    std::vector<std::unique_ptr<CParamControl>> controls_;
    std::array<std::vector<CParamControl*>, kRegisterSlots> registerLists_;
};

}  // namespace quenor
