#pragma once
// The forms that live in the main window's pages and menus beside the
// parameter pages: the program editor with its run-control bar and program
// menu, the scope, the tests page, the field-bus and logic-module pages and
// the filter selector. Each talks to the session; this class builds them,
// docks them and passes the session's news on to them.

#include "app/motorsession.h"
#include "app/statustext.h"
#include "app/ui/testspage.h"

#include <QObject>
#include <memory>

class QAction;
class QMenu;
class QTabWidget;

namespace quenor {

class TformFilterSelector;
class TfrmConnHelp;
class TfrmDeviceNetParameters;
class TfrmFSSetup;
class TfrmUpdate;
class TWebUpdate;
class QtMessageTarget;
class TfrmScope;
class TModulePages;
class TRunControlBar;
class TTestsPage;
class TVizuWare;
class TVizuWareCommandDialogs;
class TVizuWareInfo;

class TQuenorForms : public QObject, private TestsPageHost {
    Q_OBJECT
public:
    // pages: the main window's page control; tsTests: its tests page.
    TQuenorForms(MotorSession& session, QWidget* window, QTabWidget* pages, QWidget* tsTests);
    ~TQuenorForms() override;

    // Fills the programmable module's submenu.
    void CreateProgramMenu(QMenu* menu);
    // The filter selector's menu items: enabled by generation, refused on old firmware.
    void AttachFilterItems(const std::vector<QAction*>& items);
    void OpenFilterSelector();
    // "Update firmware", "Update program" and the connection help.
    void UpdateFirmware();
    // True when the user agreed to close the program for its update.
    bool UpdateProgram();
    // The help's "Don't show this again." flag in and out.
    bool ConnectionHelp(bool dontShow);
    // The start-up's last steps: the format list, the scope's stored setup.
    void InitAfterCreate();

    // What the session reports, passed on.
    void ApplyModuleTabs(const ModuleTabVisibility& tabs);
    void ModuleMessage(const Message& m);
    void ModuleStatusChanged();
    void ProgramPresent(bool present);
    void ZeroPositionChanged(std::int32_t value);
    void TestsStopped();
    void LinkLost();
    void TestsAllowedChanged(bool allowed);
    void MotionChanged(const MotorRunValues& motion);
    void GenerationChanged(int generation);
    void ProgramChanged();
    void StartZeroSearch();

    TVizuWare& Editor() { return *vizuForm_; }
    TRunControlBar& RunBar() { return *runBar_; }
    TfrmScope& Scope() { return *scope_; }
    TTestsPage& TestsPage() { return *testsPage_; }
    TModulePages& ModulePages() { return *modulePages_; }
    TformFilterSelector& FilterSelector() { return *filterSelector_; }
    QWidget* VizuPage() const { return tsVizu_; }
    QWidget* ScopePage() const { return tsScope_; }

private:
    // TestsPageHost.
    int MotorAddress() const override;
    std::int32_t ZeroSearchModeValue() const override;
    void RequestWrite(int address, int reg, std::int32_t value, int width) override;
    bool StartTests() override;
    void ShowScopeTab() override;

    void SetTabVisible(QWidget* page, bool visible);
    void ShowFirmwareDialog(int family, bool connected, int moduleType, int subType, bool autoStart);
    void OnWebMessage(const Message& m);

    MotorSession& session_;
    QWidget* window_;
    QTabWidget* pages_;
    std::unique_ptr<TVizuWareCommandDialogs> commandDialogs_;
    std::unique_ptr<TVizuWareInfo> info_;
    QWidget* tsVizu_ = nullptr;
    TVizuWare* vizuForm_ = nullptr;
    TRunControlBar* runBar_ = nullptr;
    QWidget* tsScope_ = nullptr;
    TfrmScope* scope_ = nullptr;
    TTestsPage* testsPage_ = nullptr;
    std::unique_ptr<TModulePages> modulePages_;
    TformFilterSelector* filterSelector_ = nullptr;
    std::vector<QAction*> filterItems_;
    QAction* miPrintProgram_ = nullptr;
    QMenu* programMenu_ = nullptr;
    TfrmUpdate* frmUpdate_ = nullptr;
    TfrmConnHelp* frmConnHelp_ = nullptr;
    TfrmDeviceNetParameters* frmDeviceNet_ = nullptr;
    TfrmFSSetup* frmFsSetup_ = nullptr;
    std::unique_ptr<QtMessageTarget> webTarget_;
    std::unique_ptr<TWebUpdate> webCheck_;
    MessageTarget* updateTarget_ = nullptr;
};

}  // namespace quenor
