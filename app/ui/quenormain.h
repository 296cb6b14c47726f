#pragma once
// The main window: owns the communication thread and the parameter controls,
// turns the thread's messages into displays, and the user's edits into
// register writes.

#include "app/mainsettings.h"
#include "app/mainstate.h"
#include "app/statustext.h"
#include "app/warnings.h"
#include "app/ui/pngimages.h"
#include "link/comthread.h"
#include "params/paramcontrol.h"
#include "platform/messages.h"
#include "platform/qtmessagetarget.h"
#include "program/vizuware.h"

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QActionGroup;
class QComboBox;
class QLabel;
class QMenu;
class QScrollArea;
class QTabWidget;
class QTimer;
class QToolBar;

namespace quenor {

class QtLampImageList;
class StatusPanelWidget;

// What a test or the program changes in the window's surroundings.
struct QuenorOptions {
    ComTimings timings;             // the communication thread's waits
    bool startCommunication = true; // InitAfterCreate resumes the thread
};

// The questions, messages and file dialogs of the main window. The program
// answers them with message boxes and file dialogs; tests answer directly.
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

class TfrmQuenor : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kRegisterSlots = 258;  // registers 0..255 and the pseudo registers 256, 257

    explicit TfrmQuenor(QuenorOptions options = {}, QWidget* parent = nullptr);
    ~TfrmQuenor() override;

    // Completes the window once everything exists; fileName is the file named
    // on the command line (or empty).
    void InitAfterCreate(const QString& fileName);
    void SetFileCaption(const QString& fileName);
    // Another start asked for this window, with the file it was given (or none).
    void BringToFront(const QString& fileName);
    QString FileName() const { return fileName_; }

    // Message protocol: every posted message ends up here, on the GUI thread.
    MessageTarget* Notify() { return notify_.get(); }
    void HandleMessage(const Message& m);

    // Parameter pages.
    void BuildPages(QWidget* parent, const ParamTable& table);
    void DeleteParameterControls();
    void ClearRegisterLists();
    CParamControl* FindControlByRegister(int reg) const;
    std::int32_t GetControlValueByCaption(const std::string& caption) const;
    // The value to write for a register, and its width (2 or 4).
    std::pair<std::int32_t, int> CombineRegisterValue(int reg);
    void OnControlChanged(int reg, int modeFlag);
    void ArrangeControls(int mask);
    void RequestAllRegisters();

    // Motor type and generation.
    void SetMotorType(int code);
    void SetGeneration(int generation);
    void PostDefaultRegisters(int code);
    int Generation() const { return generation_; }
    int MotorType() const { return state_.motorType; }

    // Setup files.
    std::vector<std::string> BuildSetupLines() const;
    bool SaveSetupFile(const QString& name);
    void LoadSetupFile(const QString& name);
    void OpenClick();
    void SaveClick();
    void SaveAsClick();
    void OnOpenFileRequest(const QString& name);
    const std::vector<QString>& RecentFiles() const { return settings_.recentFiles; }
    CVizuWareDocument& Program() { return *vizu_; }

    QuenorPrompts prompts;

    // Status line.
    void UpdateStatusText();
    void UpdateWarnings();
    void EnableMotorCommands(bool on);

    // Port, baud rate, address.
    void SelectPort(int index);
    void SelectBaudRate(int index);
    void SelectAddress(const QString& text);
    int Address() const { return address_; }

    // For tests and the other forms.
    ComThread& Com() { return *com_; }
    const MainWindowState& State() const { return state_; }
    const StatusBarModel& StatusBar() const { return statusBar_; }
    QTabWidget* ParameterPages() const { return pcParams_; }
    const std::vector<std::unique_ptr<CParamControl>>& Controls() const { return controls_; }
    const std::vector<CParamControl*>& RegisterList(int reg) const { return registerLists_.at(reg); }
    int LastMask() const { return lastMask_; }
    QAction* OfflineAction(int code) const;
    QAction* PortAction(int index) const;
    QAction* BaudAction(int index) const;
    const std::vector<QAction*>& MotorCommands() const { return motorCommands_; }
    QMenu* OfflineMenu() const { return tbxsmiOffline_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The controls post here (see Post).
    class ControlTarget : public MessageTarget {
    public:
        explicit ControlTarget(TfrmQuenor& window) : window_(window) {}
        void Post(Message m) override;

    private:
        TfrmQuenor& window_;
    };

    // Construction.
    void CreateMenus();
    void CreateToolBar();
    void CreateCentralWidgets();
    void CreateStatusBar();
    void LoadImages();

    // Message handlers.
    void Dispatch(const Message& m);
    void OnParameterError(int code, std::int64_t lParam, const std::string& text);
    void OnRegisterValue(int reg, std::int32_t value);
    void OnLinkState(int state, std::int64_t value);
    void OnModuleSetup(const Message& m);
    void OnProgress(int percent, const std::string& text);
    void OnRegisterBlock(const std::vector<std::uint8_t>& block);
    void OnWriteRegister(std::int64_t wParam, std::int32_t value);
    void OnBatchStatus(std::int64_t wParam, const std::string& text);

    // Commands.
    void SaveInMotor();
    void ResetMotor();
    void LoadDefault();
    void ResetPosition();
    void ClearErrors();
    void OfflineTypeChosen(int code);

    void AddRecentFile(const QString& name);
    void RebuildRecentMenu();
    // The combined value of a register's controls, without touching their
    // changed marks.
    std::int32_t CombinedValue(int reg) const;
    bool TakesSetupLine(const CParamControl& c) const;

    void SetFamily1DisplayScales();
    void DrawMotorPicture();
    void ApplyModuleTabs();
    void SyncStatusTimers();
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
    void ReportRingFull();
    int Panel0Width() const;

    QuenorOptions options_;
    std::unique_ptr<QtMessageTarget> notify_;
    std::unique_ptr<ControlTarget> controlTarget_;
    std::unique_ptr<ComThread> com_;
    std::unique_ptr<VizuWareUi> vizuUi_;
    std::unique_ptr<CVizuWareDocument> vizu_;
    MainSettings settings_;
    MainWindowState state_;
    StatusBarModel statusBar_;

    int generation_ = -1;
    int lastGeneration_ = -1;
    int address_ = 255;
    QString fileName_;
    bool closing_ = false;
    bool rebuilding_ = false;
    int lastMask_ = 0;
    std::uint32_t pagesSerial_ = 0;  // counts the rebuilds of the pages
    int restartToken_ = 0;
    std::int32_t lastRegister36_ = 0;   // last value of register 36 read from the motor
    std::int32_t lastRegister156_ = 0;  // last value of register 156 read from the motor

    std::vector<std::unique_ptr<CParamControl>> controls_;
    std::array<std::vector<CParamControl*>, kRegisterSlots> registerLists_;

    // Widgets.
    QTabWidget* pcParams_ = nullptr;
    QWidget* paView_ = nullptr;
    QWidget* tsTests_ = nullptr;
    QWidget* paTestPos_ = nullptr;
    QLabel* imMotor_ = nullptr;
    QToolBar* tbxToolbar_ = nullptr;
    QComboBox* tbAddress_ = nullptr;
    StatusPanelWidget* panels_[2] = {nullptr, nullptr};
    QTimer* tiErrorClear_ = nullptr;
    QTimer* tiWarningScroll_ = nullptr;
    QTimer* tiProgress_ = nullptr;

    QMenu* tbxsmiOffline_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    QMenu* motorMenu_ = nullptr;
    std::vector<QAction*> portActions_;
    std::vector<QAction*> baudActions_;
    std::vector<std::pair<int, QAction*>> offlineActions_;
    std::vector<QAction*> motorCommands_;
    QAction* miFilterSetup_ = nullptr;
    QAction* miFilterSelector_ = nullptr;
    QAction* tbxFilterSetup_ = nullptr;
    QAction* saveInMotor_ = nullptr;
    QAction* resetMotor_ = nullptr;
    QAction* loadDefault_ = nullptr;
    QAction* tbOpen_ = nullptr;
    QMenu* viewMenu_ = nullptr;
    QMenu* smiMRP_ = nullptr;
    std::vector<QAction*> laterItems_;  // items whose forms come later: disabled
    QAction* tbxiViewHidden_ = nullptr;

    ImageList ilButton32_{32, 32};
    ImageList ilButton16_{16, 16};
    ImageList ilMotor_{96, 64};
    std::unique_ptr<QtLampImageList> lampImages_;
};

}  // namespace quenor
