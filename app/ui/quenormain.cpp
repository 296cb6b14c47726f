#include "app/ui/quenormain.h"

#include "app/motortypes.h"
#include "app/ui/about.h"
#include "app/ui/companydlg.h"
#include "app/ui/frmloadinfo.h"
#include "app/ui/modalwindows.h"
#include "app/ui/modalresult.h"
#include "app/ui/quenorforms.h"
#include "app/ui/statuspanel.h"
#include "app/ui/statuspanelwidget.h"
#include "app/ui/warninginfo.h"
#include "params/parameterlists.h"
#include "params/ui/lampimagelist.h"
#include "params/ui/paramuifactory.h"
#include "platform/cp1252.h"
#include "platform/settings.h"
#include "program/ui/vizuwareui.h"

#include <QAction>
#include <QApplication>
#include <QActionGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QDockWidget>
#include <QEventLoop>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace quenor {
namespace {

const char* const kBaudCaptions[kBaudRateCount] = {"9.600",   "19.200",  "38.400",  "57.600",
                                                   "115.200", "230.400", "460.800", "921.600"};

}  // namespace

TfrmQuenor::TfrmQuenor(QuenorOptions options, QWidget* parent) : QMainWindow(parent), options_(std::move(options))
{
    setObjectName(QStringLiteral("frmQuenor"));
    Settings settings;
    settings_ = MainSettings::Load(settings);
    vizuUi_ = std::make_unique<QtVizuWareUi>(this);
    session_ = std::make_unique<MotorSession>(static_cast<SessionView&>(*this), *vizuUi_, settings_, options_);
    InstallPrompts();
    modalWatch_ = std::make_unique<ModalWindowWatch>([this] { session_->ModalWindowClosed(); });

    LoadImages();
    CreateMenus();
    CreateToolBar();
    CreateCentralWidgets();
    CreateStatusBar();
    forms_ = new TQuenorForms(*session_, this, pcParams_, tsTests_);
    static_cast<QtVizuWareUi*>(vizuUi_.get())->onProgramChanged = [this] { forms_->ProgramChanged(); };
    forms_->CreateProgramMenu(smiMRP_);
    forms_->AttachFilterItems({miFilterSelector_, miFilterSetup_, tbxFilterSetup_});
    connect(miStartZero_, &QAction::triggered, this, [this] { forms_->StartZeroSearch(); });

    resize(1000, 720);
    if (settings_.windowPlacement)
        restoreGeometry(*settings_.windowPlacement);
    if (settings_.toolbarLayout)
        restoreState(*settings_.toolbarLayout);

    PortAction(session_->State().portIndex)->setChecked(true);
    BaudAction(session_->State().baudIndex)->setChecked(true);
    SetFileCaption(QStringLiteral("Noname"));
    RebuildRecentMenu();
    setAcceptDrops(true);
    // The keyboard starts on the parameter pages, where a stray key does no harm.
    pcParams_->setFocus(Qt::OtherFocusReason);
}

TfrmQuenor::~TfrmQuenor()
{
    closing_ = true;
    // The dialogs that close as the window goes tell a session that is going too.
    modalWatch_.reset();
    // Widgets still emit while the base class takes them down (a focused
    // address box commits its text, for one): none may reach this window.
    for (QObject* child : findChildren<QObject*>())
        child->disconnect(this);
    // The thread goes first: nothing may be posted into a window that is going away.
    session_->Shutdown();

    const MainWindowState& s = session_->State();
    settings_.portIndex = s.portIndex;
    settings_.baudIndex = s.baudIndex;
    settings_.lastGeneration = session_->Generation();
    settings_.recentFiles = session_->RecentFiles();
    settings_.windowPlacement = saveGeometry();
    settings_.toolbarLayout = saveState();
    // The forms put what they keep into the settings as they go (the sample
    // setup); the window's own go with it in one write.
    delete forms_;
    forms_ = nullptr;
    Settings settings;
    settings_.Save(settings);
    session_.reset();
}

void TfrmQuenor::InstallPrompts()
{
    QuenorPrompts& p = session_->prompts;
    p.askYesNo = [this](const QString& text, const QString& caption) {
        return QMessageBox::question(this, caption, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };
    p.askYesNoCancel = [this](const QString& text, const QString& caption) {
        const auto b = QMessageBox::question(this, caption, text,
                                             QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        return b == QMessageBox::Yes ? 1 : b == QMessageBox::No ? 0 : -1;
    };
    p.askOkCancel = [this](const QString& text, const QString& caption) {
        return QMessageBox::warning(this, caption, text, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
    };
    p.confirmWarnings = [this](const Warnings& w) {
        TfrmWarningInfo dialog(this);
        dialog.SetWarnings(w.flags, w.args, 8);
        dialog.SetCloseOnly(false);
        return dialog.exec() == kMrIgnore;
    };
    p.error = [this](const QString& text, const QString& caption) { QMessageBox::critical(this, caption, text); };
    p.warning = [this](const QString& text, const QString& caption) { QMessageBox::warning(this, caption, text); };
    p.loadInformation = [this](const QString& text, const QString& caption) {
        TfrmLoadInformation box(this);
        box.ShowText(text, caption);
    };
    const QString filter = QStringLiteral("Vek configuration (*.vek *.VEK);;All files (*)");
    p.openFileName = [this, filter] { return QFileDialog::getOpenFileName(this, QString(), QString(), filter); };
    p.saveFileName = [this, filter] {
        QFileDialog dialog(this, QString(), QString(), filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("VEK"));
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().front()
                                                                                        : QString();
    };
}

void TfrmQuenor::LoadImages()
{
    const QColor face = palette().color(QPalette::Button);
    try {
        LoadPngStrip(ilButton32_, 100, 7, face);
        LoadPngStrip(ilButton16_, 120, 7, face);
        for (int id : {140, 141, 142}) {
            // Connected and not connected: the second picture of a pair is faded.
            QImage on, off;
            LoadPngResource(on, id, face);
            LoadPngResource(off, id, face, {}, false, false, 2);
            ilMotor_.AddMasked(on, face);
            ilMotor_.AddMasked(off, face);
        }
    } catch (const std::exception&) {
        // A picture that cannot be had leaves its list short; the window still works.
    }
    // The bit lamps: input lamps use 0 (lit) and 1 (unlit), outputs 2 and 3.
    // Each pair is the lit and the unlit picture (201, 200), so a lit input
    // lamp never looks like an unlit one.
    lampImages_ = std::make_unique<QtLampImageList>(10, 10, face);
    for (int id : {201, 200, 201, 200}) {
        QImage image;
        if (LoadPngResource(image, id, face).empty() && !image.isNull())
            lampImages_->Add(image);
    }
    if (lampImages_->Count() != 4)
        lampImages_.reset();
}

void TfrmQuenor::CreateMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    QAction* open = file->addAction(QStringLiteral("&Open..."));
    open->setShortcut(QKeySequence::Open);
    connect(open, &QAction::triggered, this, &TfrmQuenor::OpenClick);
    QAction* save = file->addAction(QStringLiteral("&Save"));
    save->setShortcut(QKeySequence::Save);
    connect(save, &QAction::triggered, this, &TfrmQuenor::SaveClick);
    QAction* saveAs = file->addAction(QStringLiteral("S&ave As..."));
    saveAs->setShortcut(QKeySequence::SaveAs);
    connect(saveAs, &QAction::triggered, this, &TfrmQuenor::SaveAsClick);
    file->addSeparator();
    recentMenu_ = file->addMenu(QStringLiteral("Recent files"));
    file->addSeparator();
    QAction* exit = file->addAction(QStringLiteral("&Exit"));
    exit->setShortcut(QKeySequence::Quit);
    connect(exit, &QAction::triggered, this, &QWidget::close);

    viewMenu_ = menuBar()->addMenu(QStringLiteral("&View"));
    tbxiViewHidden_ = new QAction(QStringLiteral("&View hidden pages"), this);
    tbxiViewHidden_->setCheckable(true);
    connect(tbxiViewHidden_, &QAction::toggled, this, [this](bool on) { session_->SetViewHidden(on); });

    motorMenu_ = menuBar()->addMenu(QStringLiteral("&Motor"));
    motorMenu_->setObjectName(QStringLiteral("motorMenu"));
    auto command = [this](const QString& text, void (MotorSession::*f)()) {
        QAction* a = motorMenu_->addAction(text);
        connect(a, &QAction::triggered, this, [this, f] { Command([this, f] { (session_.get()->*f)(); }); });
        return a;
    };
    QAction* saveInMotor = command(QStringLiteral("&Save in motor"), &MotorSession::SaveInMotor);
    QAction* resetMotor = command(QStringLiteral("&Reset motor"), &MotorSession::ResetMotor);
    QAction* resetPos = command(QStringLiteral("Reset &position"), &MotorSession::ResetPosition);
    QAction* clearErrors = command(QStringLiteral("&Clear errors"), &MotorSession::ClearErrors);
    // Their pages and dialogs come later; until then they do nothing and say so by being disabled.
    miStartZero_ = motorMenu_->addAction(QStringLiteral("S&tart zero search"));
    miFilterSelector_ = motorMenu_->addAction(QStringLiteral("&Filter setup"));
    QAction* loadDefault = command(QStringLiteral("&Load default"), &MotorSession::LoadDefault);
    motorCommands_ = {saveInMotor, resetMotor, resetPos, clearErrors, loadDefault, miStartZero_};

    tbxsmiOffline_ = menuBar()->addMenu(QStringLiteral("&Offline"));
    auto* offlineGroup = new QActionGroup(this);
    for (const auto& t : OfflineMotorTypes()) {
        QAction* a = tbxsmiOffline_->addAction(QString::fromLatin1(MotorTypeCaption(t.code).c_str()));
        a->setObjectName(QString::fromLatin1(t.menuItem));
        a->setCheckable(true);
        a->setActionGroup(offlineGroup);
        const int code = t.code;
        connect(a, &QAction::triggered, this, [this, code] { session_->OfflineTypeChosen(code); });
        offlineActions_.emplace_back(code, a);
    }
    tbxsmiOffline_->addSeparator();
    miFilterSetup_ = tbxsmiOffline_->addAction(QStringLiteral("&Filter setup"));

    smiMRP_ = menuBar()->addMenu(QStringLiteral("VekMRP"));
    smiMRP_->setObjectName(QStringLiteral("smiMRP"));
    smiMRP_->setEnabled(false);

    QMenu* setup = menuBar()->addMenu(QStringLiteral("&Setup"));
    portMenu_ = setup->addMenu(QStringLiteral("COM port"));
    auto* portGroup = new QActionGroup(this);
    for (int i = 0; i < kPortCount; ++i) {
        QAction* a = portMenu_->addAction(QStringLiteral("Comport %1").arg(i + 1));
        a->setCheckable(true);
        a->setActionGroup(portGroup);
        connect(a, &QAction::triggered, this, [this, i] {
            session_->SelectPort(i);
            PortAction(i)->setChecked(true);
        });
        portActions_.push_back(a);
    }
    connect(portMenu_, &QMenu::aboutToShow, this, &TfrmQuenor::RefreshPortMenu);
    RefreshPortMenu();
    QMenu* bauds = setup->addMenu(QStringLiteral("Baud rate"));
    auto* baudGroup = new QActionGroup(this);
    for (int i = 0; i < kBaudRateCount; ++i) {
        QAction* a = bauds->addAction(QString::fromLatin1(kBaudCaptions[i]));
        a->setCheckable(true);
        a->setActionGroup(baudGroup);
        connect(a, &QAction::triggered, this, [this, i] { session_->SelectBaudRate(i); });
        baudActions_.push_back(a);
    }

    QMenu* updates = menuBar()->addMenu(QStringLiteral("&Updates"));
    connect(updates->addAction(QStringLiteral("Update &Firmware...")), &QAction::triggered, this,
            [this] { forms_->UpdateFirmware(); });
    connect(updates->addAction(QStringLiteral("Update &Quenor...")), &QAction::triggered, this, [this] {
        if (forms_->UpdateProgram())
            close();
    });

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    connect(help->addAction(QStringLiteral("&Connection trouble shooting")), &QAction::triggered, this,
            [this] { settings_.dontConnectionHelp = forms_->ConnectionHelp(settings_.dontConnectionHelp); });
    connect(help->addAction(QStringLiteral("&Company...")), &QAction::triggered, this, [this] {
        TCompanyBox box(this);
        box.exec();
    });
    connect(help->addAction(QStringLiteral("&About...")), &QAction::triggered, this, [this] {
        TAboutBox box(this);
        box.exec();
    });
}

void TfrmQuenor::RefreshPortMenu()
{
    // Each port says which device it leads to, and one that is not there is greyed.
    const std::vector<MotorSession::PortMenuItem> items = session_->PortMenu();
    for (std::size_t i = 0; i < items.size() && i < portActions_.size(); ++i) {
        portActions_[i]->setText(items[i].caption);
        portActions_[i]->setEnabled(items[i].present);
    }
}

void TfrmQuenor::CreateToolBar()
{
    tbxToolbar_ = addToolBar(QStringLiteral("Main tools"));
    tbxToolbar_->setObjectName(QStringLiteral("tbxToolbar"));
    tbxToolbar_->setMovable(true);
    tbxToolbar_->setIconSize(QSize(32, 32));
    tbxToolbar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    auto icon = [this](int index) { return index < ilButton32_.Count() ? ilButton32_.Icon(index) : QIcon(); };
    auto twin = [this](QAction* menuItem, const QIcon& image, const QString& text) {
        QAction* a = tbxToolbar_->addAction(image, text);
        connect(a, &QAction::triggered, menuItem, &QAction::trigger);
        return a;
    };
    tbOpen_ = tbxToolbar_->addAction(icon(0), QStringLiteral("Open"));
    connect(tbOpen_, &QAction::triggered, this, &TfrmQuenor::OpenClick);
    QAction* save = tbxToolbar_->addAction(icon(1), QStringLiteral("Save"));
    connect(save, &QAction::triggered, this, &TfrmQuenor::SaveClick);
    QAction* tbSaveFlash = twin(motorCommands_[0], icon(2), QStringLiteral("Save in flash"));
    QAction* tbResetPos = twin(motorCommands_[2], icon(3), QStringLiteral("Reset position"));
    QAction* tbClearErrors = twin(motorCommands_[3], icon(4), QStringLiteral("Clear errors"));
    QAction* tbReset = twin(motorCommands_[1], icon(5), QStringLiteral("Reset motor"));
    tbxFilterSetup_ = tbxToolbar_->addAction(icon(6), QStringLiteral("Filter setup"));
    for (QAction* a : {tbSaveFlash, tbResetPos, tbClearErrors, tbReset})
        motorCommands_.push_back(a);

    tbxToolbar_->addSeparator();
    tbxToolbar_->addWidget(new QLabel(QStringLiteral("Address "), tbxToolbar_));
    tbAddress_ = new QComboBox(tbxToolbar_);
    tbAddress_->setObjectName(QStringLiteral("tbAddress"));
    tbAddress_->setToolTip(QStringLiteral("Quenor Address"));
    tbAddress_->setEditable(true);
    tbAddress_->addItem(QStringLiteral("All"));
    for (int i = 1; i <= 254; ++i)
        tbAddress_->addItem(QString::number(i));
    tbAddress_->setCurrentIndex(0);
    // The list holds the valid addresses and nothing typed joins it. A typed
    // entry of the list is taken when its edit finishes (Enter or leaving the
    // box), like a choice from the list; any other text is handed over on Enter.
    tbAddress_->setInsertPolicy(QComboBox::NoInsert);
    connect(tbAddress_, &QComboBox::textActivated, this, &TfrmQuenor::SelectAddress);
    connect(tbAddress_->lineEdit(), &QLineEdit::returnPressed, this, [this] {
        const QString text = tbAddress_->currentText();
        if (tbAddress_->findText(text, Qt::MatchFixedString) < 0)
            SelectAddress(text);
    });
    tbxToolbar_->addWidget(tbAddress_);

    QAction* toolbarToggle = tbxToolbar_->toggleViewAction();
    toolbarToggle->setText(QStringLiteral("&Toolbar"));
    viewMenu_->addAction(toolbarToggle);
    viewMenu_->addAction(tbxiViewHidden_);
}

void TfrmQuenor::SelectAddress(const QString& text)
{
    if (session_->SelectAddress(text))
        return;
    // Refused: the box shows the address in use again, as its current item, so
    // that the end of the edit does not take it for a new choice.
    const int a = session_->Address();
    const QString current = a == 255 ? QStringLiteral("All") : QString::number(a);
    const int index = tbAddress_->findText(current);
    if (index >= 0)
        tbAddress_->setCurrentIndex(index);
    tbAddress_->setEditText(current);
}

void TfrmQuenor::CreateCentralWidgets()
{
    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(2, 2, 2, 2);

    // The status panel, docked at the left: the motor picture and the status
    // view. View > Status panel shows and hides it, and its check follows the
    // panel however it was closed; the window's layout keeps where it stands.
    auto* panel = new QDockWidget(QStringLiteral("Status panel"), this);
    panel->setObjectName(QStringLiteral("StatusPanel"));
    panel->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                       QDockWidget::DockWidgetFloatable);
    panel->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    auto* left = new QWidget(panel);
    left->setFixedWidth(300);
    auto* column = new QVBoxLayout(left);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    imMotor_ = new QLabel(left);
    imMotor_->setObjectName(QStringLiteral("imMotor"));
    imMotor_->setFixedSize(ilMotor_.Width(), ilMotor_.Height() + 1);
    column->addWidget(imMotor_, 0, Qt::AlignHCenter);
    // A plain panel: its rows start at its top and are never scrolled away.
    paView_ = new QWidget(left);
    paView_->setObjectName(QStringLiteral("paView"));
    column->addWidget(paView_, 1);
    panel->setWidget(left);
    addDockWidget(Qt::LeftDockWidgetArea, panel);
    QAction* statusToggle = panel->toggleViewAction();
    statusToggle->setText(QStringLiteral("&Status panel"));
    viewMenu_->insertAction(tbxiViewHidden_, statusToggle);

    // The parameter pages and the fixed pages that follow them.
    pcParams_ = new QTabWidget(central);
    pcParams_->setObjectName(QStringLiteral("pcParams"));
    tsTests_ = new QWidget;
    tsTests_->setObjectName(QStringLiteral("tsTests"));
    paTestPos_ = new QWidget(tsTests_);
    paTestPos_->setObjectName(QStringLiteral("paTestPos"));
    paTestPos_->setGeometry(8, 8, 560, 120);
    pcParams_->addTab(tsTests_, QStringLiteral("Tests"));
    row->addWidget(pcParams_, 1);
    setCentralWidget(central);
}

void TfrmQuenor::CreateStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("stbInfo"));
    bar->setSizeGripEnabled(true);
    for (int i = 0; i < 2; ++i) {
        panels_[i] = new StatusPanelWidget(i, session_->StatusBar(), bar);
        panels_[i]->onClick = [this] {
            const Warnings& w = session_->StatusBar().CurrentWarnings();
            if (w.count > 0) {
                TfrmWarningInfo dialog(this);
                dialog.SetWarnings(w.flags, w.args, 8);
                dialog.SetCloseOnly(true);
                dialog.exec();
            }
        };
    }
    // The warnings line takes what the connection text leaves; each panel
    // keeps to its own room, with the bevels between them.
    panels_[0]->setObjectName(QStringLiteral("stbInfoPanel0"));
    panels_[1]->setObjectName(QStringLiteral("stbInfoPanel1"));
    panels_[1]->setMinimumWidth(400);
    bar->addWidget(panels_[0], 1);
    bar->addPermanentWidget(panels_[1]);

    tiErrorClear_ = new QTimer(this);
    tiErrorClear_->setInterval(2000);
    connect(tiErrorClear_, &QTimer::timeout, this, [this] { session_->ErrorClearTick(); });
    tiWarningScroll_ = new QTimer(this);
    tiWarningScroll_->setInterval(20);
    connect(tiWarningScroll_, &QTimer::timeout, this, [this] {
        if (session_->StatusBar().ScrollTimer())
            panels_[0]->update();
    });
    tiProgress_ = new QTimer(this);
    tiProgress_->setInterval(1000);
    connect(tiProgress_, &QTimer::timeout, this, [this] {
        session_->StatusBar().ProgressTimer();
        SyncStatusTimers();
        panels_[1]->update();
    });
    SyncStatusTimers();
}

void TfrmQuenor::SyncStatusTimers()
{
    if (!tiErrorClear_)
        return;
    auto sync = [](QTimer* t, bool on) {
        if (on && !t->isActive())
            t->start();
        else if (!on && t->isActive())
            t->stop();
    };
    const StatusBarModel& bar = session_->StatusBar();
    sync(tiErrorClear_, bar.ErrorClearActive());
    sync(tiWarningScroll_, bar.ScrollTimerNeeded());
    sync(tiProgress_, bar.ProgressTimerActive());
}

void TfrmQuenor::InitAfterCreate(const QString& fileName)
{
    forms_->InitAfterCreate();
    session_->Start(settings_.lastGeneration, fileName);
}

void TfrmQuenor::SetFileCaption(const QString& fileName) { session_->SetFileName(fileName); }

void TfrmQuenor::BringToFront(const QString& fileName)
{
    // A minimised window comes back as it was before: maximised or not.
    if (isMinimized())
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
    // A dialog or box that is open stays on top: it is what the user has to
    // finish before anything else, the file handed over included.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
    }
    if (!fileName.isEmpty())
        session_->RequestOpenFile(fileName);
}

void TfrmQuenor::closeEvent(QCloseEvent* event)
{
    if (session_->Program().Modified()) {
        const int answer = session_->prompts.askYesNoCancel(
            QStringLiteral("Your VekMRP program has not been saved\nDo you want to save it before exit ?"),
            QStringLiteral("VekMRP program changed"));
        if (answer < 0 || (answer > 0 && (SaveClick(), session_->Program().Modified()))) {
            event->ignore();
            return;
        }
    }
    if (waitingForMotor_) {
        event->ignore();  // a second quit while the first one waits
        return;
    }
    // Nothing handed over opens while the window goes, or after.
    session_->WindowClosing();
    WaitForMotorMoves();
    event->accept();
}

void TfrmQuenor::WaitForMotorMoves()
{
    if (session_->MotorMoveUnderWayMs() <= 0)
        return;
    // A box the user cannot close: the motor comes back first.
    class WaitBox : public QDialog {
    public:
        using QDialog::QDialog;
        void reject() override {}
    };
    WaitBox box(this, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    box.setObjectName(QStringLiteral("frmWaitForMotor"));
    box.setWindowTitle(QStringLiteral("Quenor"));
    auto* layout = new QVBoxLayout(&box);
    layout->addWidget(new QLabel(QStringLiteral("Waiting for the motor to return to where the sample run found it.\n"
                                                "Quenor closes once it has been sent back."),
                                 &box));
    box.setModal(true);
    waitingForMotor_ = true;
    box.show();
    QEventLoop loop;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (session_->MotorMoveUnderWayMs() <= 0)
            loop.quit();
    });
    poll.start(20);
    loop.exec();
    box.hide();
    waitingForMotor_ = false;
}

bool TfrmQuenor::ModalWindowOpen() const { return quenor::ModalWindowOpen(); }

void TfrmQuenor::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (session_ && !session_->Controls().empty())
        session_->ArrangeControls(-1);
}

// ---------------------------------------------------------------------------
// What the session shows

void TfrmQuenor::BuildPages(const ParamTableSet& set)
{
    setUpdatesEnabled(false);
    const int fixedPages = pcParams_->count();  // the session has taken the old pages away
    auto& controls = session_->Controls();
    MessageTarget* target = session_->ControlTarget();
    const LampImageList* lamps = lampImages_ ? lampImages_.get() : &DefaultLampImageList();
    // Whatever happens, the fixed pages end up behind the new parameter pages.
    struct Reorder {
        QTabWidget* tabs;
        int fixed;
        QWidget* owner;
        ~Reorder()
        {
            for (int i = 0; i < fixed; ++i)
                tabs->tabBar()->moveTab(0, tabs->count() - 1);
            tabs->setCurrentIndex(0);
            owner->setUpdatesEnabled(true);
        }
    } reorder{pcParams_, fixedPages, this};
    BuildParameterPages(pcParams_, target, *set.main, controls, lamps);
    BuildParameterPages(paTestPos_, target, *set.extra, controls, lamps);
    BuildParameterPages(paView_, target, *set.status, controls, lamps);
}

void TfrmQuenor::ArrangeControls(int mask)
{
    if (closing_)
        return;
    setUpdatesEnabled(false);
    ParamPoint p{0, 0};
    for (const auto& c : session_->Controls()) {
        const bool columnBreak = c->Kind() == pckBar && c->Register() == 2;
        if ((c->VisibilityMask() & mask) == 0 || (columnBreak && pcParams_->width() < 560)) {
            c->Arrange(false, p);
            continue;
        }
        p.y += 5;
        p = c->Arrange(true, p);
    }
    // The status view is never shorter than its rows: a window too small for
    // them grows instead of cutting the last ones off.
    paView_->setMinimumHeight(paView_->childrenRect().bottom() + 1);
    setUpdatesEnabled(true);
}

void TfrmQuenor::StatusChanged()
{
    DrawMotorPicture();
    ApplyModuleTabs();
    if (smiMRP_)
        smiMRP_->setTitle(session_->Generation() == 2 ? QStringLiteral("Programming") : QStringLiteral("VekMRP"));
    SyncStatusTimers();
    if (panels_[1]) {
        // A connection text its panel cuts (a port's long device name) reads
        // whole in the panel's hint, above the cure for a refused port.
        QString hint = FromCp1252(ConnectionHint(session_->State()));
        const std::string& text = session_->StatusBar().ConnectionTextShown();
        const QString shown = FromCp1252(text.size() > 1 ? text.substr(1, 200) : std::string());
        if (panels_[1]->fontMetrics().horizontalAdvance(shown) + 3 > panels_[1]->TextRect().width())
            hint = hint.isEmpty() ? shown : shown + QChar('\n') + hint;
        panels_[1]->setToolTip(hint);
        panels_[1]->update();
    }
}

void TfrmQuenor::WarningsChanged()
{
    if (closing_ || !panels_[0])
        return;
    statusBar()->setToolTip(FromCp1252(session_->StatusBar().Hint()).replace(QChar('\r'), QChar('\n')));
    SyncStatusTimers();
    panels_[0]->update();
}

void TfrmQuenor::ProgressChanged()
{
    SyncStatusTimers();
    if (panels_[1])
        panels_[1]->update();
}

void TfrmQuenor::MotorCommandsChanged(bool on)
{
    for (QAction* a : motorCommands_)
        a->setEnabled(on);
    motorMenu_->setEnabled(on);
    tbxsmiOffline_->menuAction()->setVisible(!on);
    DrawMotorPicture();
}

void TfrmQuenor::MotorTypeChanged(int code)
{
    if (QAction* a = OfflineAction(code)) {
        a->setChecked(true);
        return;
    }
    // A type without an item (VekE, from a setup file): no item is the type.
    for (const auto& entry : offlineActions_)
        entry.second->setChecked(false);
}

void TfrmQuenor::MotorInfoChanged(const std::string& text)
{
    imMotor_->setToolTip(FromCp1252(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

void TfrmQuenor::FileNameChanged()
{
    setWindowTitle(QStringLiteral("Quenor - ") + session_->FileName());
    RebuildRecentMenu();
}

void TfrmQuenor::ModuleStatusChanged() { forms_->ModuleStatusChanged(); }
void TfrmQuenor::ProgramPresent(bool present) { forms_->ProgramPresent(present); }
void TfrmQuenor::ModuleMessage(const Message& m) { forms_->ModuleMessage(m); }
void TfrmQuenor::ZeroPositionChanged(std::int32_t value) { forms_->ZeroPositionChanged(value); }
void TfrmQuenor::TestsStopped() { forms_->TestsStopped(); }

void TfrmQuenor::LinkLost()
{
    if (forms_)
        forms_->LinkLost();
}

void TfrmQuenor::TestsAllowedChanged(bool allowed)
{
    if (forms_)
        forms_->TestsAllowedChanged(allowed);
}
void TfrmQuenor::MotionChanged(const MotorRunValues& motion) { forms_->MotionChanged(motion); }

void TfrmQuenor::GenerationChanged(int generation)
{
    if (forms_)
        forms_->GenerationChanged(generation);
}

int TfrmQuenor::TextWidth(std::string_view text) const
{
    return panels_[0]->fontMetrics().horizontalAdvance(FromCp1252(text));
}

int TfrmQuenor::Panel0Width() const
{
    // The room the warnings line has inside its panel once the bar is laid
    // out; before that, the window's width less the connection panel's share.
    if (panels_[0] && panels_[0]->isVisible())
        return panels_[0]->TextRect().width();
    return quenor::Panel0Width(width());
}

void TfrmQuenor::ApplyModuleTabs()
{
    // The field-bus pages and the editor's page come with their own forms and
    // take their part of these rules when they are added; the programmable
    // module's menu is here already.
    if (forms_)
        forms_->ApplyModuleTabs(ModuleTabsFor(session_->State()));
}

void TfrmQuenor::DrawMotorPicture()
{
    const int g = session_->Generation();
    const int index = g < 0 ? -1 : 2 * g + (session_->State().connected ? 0 : 1);
    if (index >= 0 && index < ilMotor_.Count())
        imMotor_->setPixmap(ilMotor_.Pixmap(index));
    else
        imMotor_->clear();
}

QAction* TfrmQuenor::OfflineAction(int code) const
{
    for (const auto& [c, a] : offlineActions_)
        if (c == code)
            return a;
    return nullptr;
}

QAction* TfrmQuenor::PortAction(int index) const { return portActions_.at(static_cast<std::size_t>(index)); }
QAction* TfrmQuenor::BaudAction(int index) const { return baudActions_.at(static_cast<std::size_t>(index)); }

}  // namespace quenor
