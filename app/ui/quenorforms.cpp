#include "app/ui/quenorforms.h"

#include "app/motorregisters.h"
#include "app/testthread.h"
#include "app/connhelp.h"
#include "app/ui/connhelp.h"
#include "app/ui/formatpage.h"
#include "app/ui/moduledialogs.h"
#include "app/ui/frmfilterselector.h"
#include "app/ui/modulepages.h"
#include "platform/cp1252.h"
#include "platform/qtmessagetarget.h"
#include "platform/settings.h"
#include "program/ui/printprogram.h"
#include "program/ui/runcontrolbar.h"
#include "program/ui/vizuwarecommanddialogs.h"
#include "program/ui/vizuwareform.h"
#include "program/ui/vizuwareinfo.h"
#include "scope/ui/frmscope.h"
#include "update/firmwarefolders.h"
#include "update/ui/frmquenorupdate.h"
#include "update/ui/frmupdate.h"
#include "update/ui/proxylogin.h"
#include "update/webupdate.h"

#include <QAction>
#include <QMenu>
#include <QMessageBox>
#include <QTabWidget>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace quenor {

TQuenorForms::TQuenorForms(MotorSession& session, QWidget* window, QTabWidget* pages, QWidget* tsTests)
    : QObject(window), session_(session), window_(window), pages_(pages)
{
    CVizuWareDocument& document = session_.Program();
    CVizuRunControl& run = session_.RunControl();

    // The program editor, with the run-control bar on its top panel.
    commandDialogs_ = std::make_unique<TVizuWareCommandDialogs>(window);
    commandDialogs_->SetAbsRelQuery(
        [&document] { return document.Program().GetType() == kProgramAbsoluteRelative; });
    info_ = std::make_unique<TVizuWareInfo>(window);
    tsVizu_ = new QWidget;
    tsVizu_->setObjectName(QStringLiteral("tsVizu"));
    auto* vizuLayout = new QVBoxLayout(tsVizu_);
    vizuLayout->setContentsMargins(0, 0, 0, 0);
    vizuForm_ = new TVizuWare(document, *commandDialogs_, nullptr, tsVizu_);
    vizuLayout->addWidget(vizuForm_);
    vizuForm_->onCommand = [this](int code, int data) { session_.OnProgramCommand(code, data, 0); };
    vizuForm_->onUpload = [&run] { run.UploadBtnClick(); };
    runBar_ = new TRunControlBar(run, vizuForm_->TopPanel());
    if (!vizuForm_->TopPanel()->layout()) {
        auto* barLayout = new QHBoxLayout(vizuForm_->TopPanel());
        barLayout->setContentsMargins(0, 0, 0, 0);
        barLayout->addWidget(runBar_);
    }
    run.editSetup = [this](ProgramSetupOptions& options) { return commandDialogs_->ExecuteSetup(options); };
    run.showInformation = [this](const ProgramInformation& i) {
        info_->Show(i);
        info_->exec();
    };
    run.resetEditing = [this] { vizuForm_->ProgramChanged(); };
    run.print = [this] {
        ProgramPrintHooks hooks;
        hooks.dialog = QtPrintDialog(window_);
        hooks.message = [this](const std::string& text) {
            QMessageBox::information(window_, FromCp1252(kCaptionApplication), FromCp1252(text));
        };
        hooks.icon = [this](int id) { return CommandPrintIcon(vizuForm_->SelectCommand(), id); };
        // A setup never saved or loaded has no name to print.
        const QString name = session_.FileName();
        PrintProgram(session_.Program(), name == QLatin1String("Noname") ? QString() : name, hooks);
    };
    pages_->addTab(tsVizu_, QStringLiteral("VekMRP"));

    // The scope, hidden until the tests page shows it.
    tsScope_ = new QWidget;
    tsScope_->setObjectName(QStringLiteral("tsScope"));
    auto* scopeLayout = new QVBoxLayout(tsScope_);
    scopeLayout->setContentsMargins(0, 0, 0, 0);
    scope_ = new TfrmScope(tsScope_);
    scopeLayout->addWidget(scope_);
    scope_->SetLink(&session_.ScopeRequests());
    pages_->addTab(tsScope_, QStringLiteral("Scope"));
    SetTabVisible(tsScope_, false);

    // The field-bus and logic-module pages with their setup dialogs.
    frmDeviceNet_ = new TfrmDeviceNetParameters(window);
    frmFsSetup_ = new TfrmFSSetup(window);
    ModuleSetupDialogs setupDialogs;
    setupDialogs.deviceNet = [this](const DeviceNetChoice& preset) -> std::optional<DeviceNetChoice> {
        frmDeviceNet_->SetChoice(preset);
        if (frmDeviceNet_->exec() != 1)
            return std::nullopt;
        return frmDeviceNet_->Choice();
    };
    setupDialogs.fs = [this](const FsChoice& preset) -> std::optional<FsChoice> {
        frmFsSetup_->SetChoice(preset);
        if (frmFsSetup_->exec() != 1)
            return std::nullopt;
        return frmFsSetup_->Choice();
    };
    modulePages_ = std::make_unique<TModulePages>(session_.ModuleRequestsPort(), std::move(setupDialogs));
    for (QWidget* page : {modulePages_->tsProfi, modulePages_->tsCanOpen, modulePages_->tsDeviceNet,
                          modulePages_->tsFS, static_cast<QWidget*>(modulePages_->tsSeqlet)}) {
        pages_->addTab(page, TModulePages::Caption(page));
        SetTabVisible(page, false);
    }

    testsPage_ = new TTestsPage(*this, session_.Tests(), tsTests);
    testsPage_->SetStartEnabled(session_.TestsAllowed());

    // The firmware dialog checks the update server for new files at its first showing.
    frmUpdate_ = new TfrmUpdate(window);
    webTarget_ = std::make_unique<QtMessageTarget>([this](const Message& m) { OnWebMessage(m); });
    frmUpdate_->SetFirstShowHook([this](MessageTarget* dialog) {
        updateTarget_ = dialog;
        webCheck_ = StartFirmwareCheck(webTarget_.get(), ReadUpdateSettings(), UserFirmwareFolder(),
                                       ProgramFirmwareFolder());
    });
    frmConnHelp_ = new TfrmConnHelp(window);

    filterSelector_ = new TformFilterSelector(window);
    filterSelector_->SetTarget(session_.Notify());
    session_.SetFilterSelector(filterSelector_);
}

TQuenorForms::~TQuenorForms()
{
    // The forms go before the session whose parts they show; the update check first.
    webCheck_.reset();
    session_.SetFilterSelector(nullptr);
    delete filterSelector_;
    delete testsPage_;
    for (QWidget* page : {modulePages_->tsProfi, modulePages_->tsCanOpen, modulePages_->tsDeviceNet,
                          modulePages_->tsFS, static_cast<QWidget*>(modulePages_->tsSeqlet)})
        delete page;
    modulePages_.reset();
    delete tsScope_;
    delete tsVizu_;
}

void TQuenorForms::InitAfterCreate()
{
    modulePages_->tsSeqlet->LoadFormatList(TSeqletPage::DefaultFormatFolders());
    scope_->LoadSampleSetup(Settings());
}

void TQuenorForms::SetTabVisible(QWidget* page, bool visible)
{
    const int index = pages_->indexOf(page);
    if (index >= 0)
        pages_->setTabVisible(index, visible);
}

// ---------------------------------------------------------------------------
// Program menu and run control

void TQuenorForms::CreateProgramMenu(QMenu* menu)
{
    programMenu_ = menu;
    CVizuRunControl& run = session_.RunControl();
    auto item = [&](const char* caption, int code) {
        QAction* a = menu->addAction(QString::fromLatin1(caption));
        connect(a, &QAction::triggered, this, [this, &run, code] {
            session_.Guarded([&] { run.ProgramMenuCommand(code); });
            ModuleStatusChanged();
        });
        return a;
    };
    item("New program", 0);
    item("Program setup", 1);
    QAction* upload = menu->addAction(QStringLiteral("Upload program"));
    upload->setObjectName(QStringLiteral("miUploadProgram"));
    connect(upload, &QAction::triggered, this, [this] { session_.OnProgramCommand(6, 0, 0); });
    item("Program information", 3);
    miPrintProgram_ = item("Print program", 4);
    miPrintProgram_->setObjectName(QStringLiteral("miPrintProgram"));
    miPrintProgram_->setEnabled(false);
    item("Clear program", 5)->setObjectName(QStringLiteral("miClearProgram"));
    menu->setEnabled(true);
}

void TQuenorForms::ModuleStatusChanged()
{
    const CVizuRunControl& run = session_.RunControl();
    runBar_->Refresh();
    vizuForm_->ShowDebugPointer(run.PointerPlace(), run.ProgramCounter());
}

void TQuenorForms::ProgramPresent(bool present)
{
    if (miPrintProgram_)
        miPrintProgram_->setEnabled(present);
}

void TQuenorForms::ProgramChanged() { vizuForm_->ProgramChanged(); }

// ---------------------------------------------------------------------------
// Pages

void TQuenorForms::ApplyModuleTabs(const ModuleTabVisibility& tabs)
{
    SetTabVisible(modulePages_->tsProfi, tabs.profi);
    SetTabVisible(modulePages_->tsSeqlet, tabs.seqlet);
    SetTabVisible(modulePages_->tsCanOpen, tabs.canOpen);
    SetTabVisible(modulePages_->tsDeviceNet, tabs.deviceNet);
    SetTabVisible(modulePages_->tsFS, tabs.fs);
    SetTabVisible(tsVizu_, tabs.vizu);
    if (programMenu_)
        programMenu_->menuAction()->setVisible(tabs.vizu);
}

void TQuenorForms::ModuleMessage(const Message& m)
{
    if (m.msg != UM_MODULESETUP) {
        modulePages_->HandleMessage(m);
        return;
    }
    const ModuleSetupView view = modulePages_->OnModuleSetup(m.data);
    SetTabVisible(modulePages_->tsProfi, view.profiTab);
    SetTabVisible(modulePages_->tsCanOpen, view.canOpenTab);
    SetTabVisible(modulePages_->tsDeviceNet, view.deviceNetTab);
    SetTabVisible(modulePages_->tsFS, view.fsTab);
    SetTabVisible(modulePages_->tsSeqlet, view.seqletTab);
    if (view.vizuTab) {
        SetTabVisible(tsVizu_, true);
        if (programMenu_)
            programMenu_->menuAction()->setVisible(true);
    }
}

void TQuenorForms::ZeroPositionChanged(std::int32_t value) { testsPage_->ShowZeroPosition(value); }

void TQuenorForms::TestsStopped() { testsPage_->StopTest(); }

void TQuenorForms::LinkLost() { scope_->LinkLost(); }

void TQuenorForms::TestsAllowedChanged(bool allowed) { testsPage_->SetStartEnabled(allowed); }

void TQuenorForms::StartZeroSearch() { testsPage_->StartZeroSearch(); }

void TQuenorForms::MotionChanged(const MotorRunValues& motion)
{
    scope_->SetMotorMode(motion.mode);
    scope_->SetVelocity(motion.velocity);
    scope_->SetAcceleration(motion.acceleration);
    scope_->SetSCurve(motion.sCurve);
}

void TQuenorForms::GenerationChanged(int generation)
{
    const int vizuTab = pages_->indexOf(tsVizu_);
    if (vizuTab >= 0)
        pages_->setTabText(vizuTab, generation == 2 ? QStringLiteral("Programming") : QStringLiteral("VekMRP"));
    testsPage_->SetGeneration(generation);
    scope_->SetMotorType(generation);
    commandDialogs_->SetRegisterList(&session_.Program().Program().ParameterList());
    commandDialogs_->SetMotorKind(generation);
    commandDialogs_->SetOutputCount(generation);
    vizuForm_->SetModuleType(generation);
    for (QAction* a : filterItems_)
        a->setEnabled(FilterSetupEnabled(generation));
}

// ---------------------------------------------------------------------------
// Filter selector

void TQuenorForms::AttachFilterItems(const std::vector<QAction*>& items)
{
    filterItems_ = items;
    for (QAction* a : items) {
        a->setEnabled(FilterSetupEnabled(session_.Generation()));
        connect(a, &QAction::triggered, this, &TQuenorForms::OpenFilterSelector);
    }
}

void TQuenorForms::OpenFilterSelector()
{
    const MainWindowState& s = session_.State();
    if (const auto refusal = FilterSetupRefused(session_.Generation(), s.connected, s.firmware)) {
        QMessageBox::warning(window_, QString::fromLatin1(refusal->caption.c_str()),
                             QString::fromLatin1(refusal->text.c_str()));
        return;
    }
    filterSelector_->SetTarget(session_.Notify());
    session_.SetFilterSelector(filterSelector_);
    filterSelector_->exec();
}

// ---------------------------------------------------------------------------
// Updates and the connection help

void TQuenorForms::OnWebMessage(const Message& m)
{
    if (m.msg == UM_PROXYCREDENTIALS && webCheck_)
        AnswerProxyPrompt(frmUpdate_, webCheck_->Prompt());
    else if (updateTarget_)
        updateTarget_->Post(m);  // the new-files report belongs to the firmware dialog
}

void TQuenorForms::ShowFirmwareDialog(int family, bool connected, int moduleType, int subType, bool autoStart)
{
    FirmwareUpdateRequest request;
    request.comIndex = session_.State().portIndex;
    request.family = family;
    request.connected = connected;
    request.moduleType = moduleType;
    request.subTypeFilter = subType;
    request.autoStart = autoStart;
    frmUpdate_->Run(request);
}

void TQuenorForms::UpdateFirmware()
{
    const MainWindowState& s = session_.State();
    const int g = session_.Generation();
    // In family 2 the hardware byte of the option register picks the module files.
    const int subType = g == 2 && s.connected ? static_cast<int>(s.optionBits & 0xFF) : 0;
    FirmwareUpdateSetup setup;
    setup.generation = g;
    setup.connected = s.connected;
    setup.moduleType = g == 2 ? 0 : s.moduleType;
    setup.hardware = subType;
    setup.portIndex = s.portIndex;
    RunFirmwareUpdate(setup, FirmwareUpdateIo{
                                 [this](bool stop) { session_.SuspendLink(stop); },
                                 [this](bool resume) { session_.ResumeLink(resume); },
                                 [this](const FirmwareUpdateSetup& f) {
                                     ShowFirmwareDialog(f.generation, f.connected, f.moduleType, f.hardware,
                                                        f.autoStart);
                                 }});
}

bool TQuenorForms::UpdateProgram()
{
    session_.SuspendLink(false);
    const int result = ShowQuenorUpdate(window_);
    if (result == 1)
        return true;
    session_.ResumeLink(false);
    return false;
}

bool TQuenorForms::ConnectionHelp(bool dontShow)
{
    const MainWindowState& s = session_.State();
    const ConnHelpOutcome out = RunConnectionHelp(
        ConnHelpInputs{dontShow, s.connected, s.moduleType, s.portIndex},
        [this](bool& d) { return frmConnHelp_->ShowHelp(d); },
        FirmwareUpdateIo{[this](bool stop) { session_.SuspendLink(stop); },
                         [this](bool resume) { session_.ResumeLink(resume); },
                         [this](const FirmwareUpdateSetup& f) {
                             ShowFirmwareDialog(f.generation, f.connected, f.moduleType, f.hardware, f.autoStart);
                         }});
    return out.dontConnectionHelp;
}

// ---------------------------------------------------------------------------
// The tests page's host

int TQuenorForms::MotorAddress() const { return session_.Address(); }

std::int32_t TQuenorForms::ZeroSearchModeValue() const
{
    const CParamControl* c = session_.FindControlByRegister(42);
    return c ? c->GetValue() : 0;
}

void TQuenorForms::RequestWrite(int, int reg, std::int32_t value, int width)
{
    session_.RequestWrite(reg, value, width);
}

bool TQuenorForms::StartTests() { return session_.StartTests(); }

void TQuenorForms::ShowScopeTab()
{
    SetTabVisible(tsScope_, true);
    pages_->setCurrentWidget(tsScope_);
}

}  // namespace quenor
