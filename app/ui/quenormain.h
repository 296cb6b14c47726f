#pragma once
// The main window: shows the motor session (parameter pages, status line,
// motor picture) and forwards the user's commands to it. What the application
// does lives in the session; this is its view.

#include "app/motorsession.h"
#include "app/ui/pngimages.h"

#include <QMainWindow>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QTabWidget;
class QTimer;
class QToolBar;

namespace quenor {

class ModalWindowWatch;
class QtLampImageList;
class StatusPanelWidget;
class TQuenorForms;

using QuenorOptions = SessionOptions;

class TfrmQuenor : public QMainWindow, private SessionView {
    Q_OBJECT
public:
    explicit TfrmQuenor(QuenorOptions options = {}, QWidget* parent = nullptr);
    ~TfrmQuenor() override;

    // Completes the window once everything exists; fileName is the file named
    // on the command line (or empty).
    void InitAfterCreate(const QString& fileName);
    void SetFileCaption(const QString& fileName);
    // Another start asked for this window, with the file it was given (or none).
    void BringToFront(const QString& fileName);

    MotorSession& Session() { return *session_; }
    const MotorSession& Session() const { return *session_; }

    // File commands.
    void OpenClick();
    void SaveClick();
    void SaveAsClick();

    // For tests and benchmarks.
    QTabWidget* ParameterPages() const { return pcParams_; }
    QAction* OfflineAction(int code) const;
    QAction* PortAction(int index) const;
    QAction* BaudAction(int index) const;
    const std::vector<QAction*>& MotorCommands() const { return motorCommands_; }
    QMenu* OfflineMenu() const { return tbxsmiOffline_; }
    QMenu* ProgramMenu() const { return smiMRP_; }
    TQuenorForms& Forms() { return *forms_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // SessionView.
    void BuildPages(const ParamTableSet& set) override;
    void ArrangeControls(int mask) override;
    void StatusChanged() override;
    void WarningsChanged() override;
    void ProgressChanged() override;
    void MotorCommandsChanged(bool connected) override;
    void MotorTypeChanged(int code) override;
    void MotorInfoChanged(const std::string& text) override;
    void FileNameChanged() override;
    void ModuleStatusChanged() override;
    void ProgramPresent(bool present) override;
    void ModuleMessage(const Message& m) override;
    void ZeroPositionChanged(std::int32_t value) override;
    void TestsStopped() override;
    void LinkLost() override;
    void TestsAllowedChanged(bool allowed) override;
    void MotionChanged(const MotorRunValues& motion) override;
    void GenerationChanged(int generation) override;
    bool ModalWindowOpen() const override;
    int TextWidth(std::string_view text) const override;
    int Panel0Width() const override;

    void InstallPrompts();
    void CreateMenus();
    void CreateToolBar();
    void CreateCentralWidgets();
    void CreateStatusBar();
    void LoadImages();
    void SyncStatusTimers();
    void RebuildRecentMenu();
    void RefreshPortMenu();
    void DrawMotorPicture();
    void ApplyModuleTabs();
    void SelectAddress(const QString& text);
    // A motor command, with a full request ring reported instead of fatal.
    template <class F>
    void Command(F&& f)
    {
        session_->Guarded(std::forward<F>(f));
    }

    QuenorOptions options_;
    MainSettings settings_;
    std::unique_ptr<VizuWareUi> vizuUi_;
    std::unique_ptr<MotorSession> session_;
    TQuenorForms* forms_ = nullptr;
    // Tells the session when a dialog or a box has closed.
    std::unique_ptr<ModalWindowWatch> modalWatch_;
    bool closing_ = false;
    bool waitingForMotor_ = false;  // the window closes once a sample run's motor is back
    // Shows why the window waits while the link sends a sample run's motor
    // back, and returns when it has (or has given up).
    void WaitForMotorMoves();

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
    QMenu* portMenu_ = nullptr;
    std::vector<QAction*> portActions_;
    std::vector<QAction*> baudActions_;
    std::vector<std::pair<int, QAction*>> offlineActions_;
    std::vector<QAction*> motorCommands_;
    QAction* miFilterSetup_ = nullptr;
    QAction* miStartZero_ = nullptr;
    QAction* miFilterSelector_ = nullptr;
    QAction* tbxFilterSetup_ = nullptr;
    QAction* tbOpen_ = nullptr;
    QMenu* viewMenu_ = nullptr;
    QMenu* smiMRP_ = nullptr;
    QAction* tbxiViewHidden_ = nullptr;

    ImageList ilButton32_{32, 32};
    ImageList ilButton16_{16, 16};
    ImageList ilMotor_{96, 64};
    std::unique_ptr<QtLampImageList> lampImages_;
};

}  // namespace quenor
