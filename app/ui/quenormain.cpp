#include "app/ui/quenormain.h"

#include "app/motortypes.h"
#include "app/ui/about.h"
#include "app/ui/companydlg.h"
#include "app/ui/frmloadinfo.h"
#include "app/ui/statuspanel.h"
#include "app/ui/statuspanelwidget.h"
#include "app/ui/modalresult.h"
#include "app/ui/warninginfo.h"
#include "params/ui/lampimagelist.h"
#include "platform/cp1252.h"
#include "platform/settings.h"
#include "program/ui/vizuwareui.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QScrollArea>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <cstring>

namespace quenor {

// A bind is taken at once, while the control is being built, so that a bind
// can never reach the lists after its control is gone (the pages may be
// rebuilt before the message loop runs again); everything else travels the
// ordinary road of posted messages.
void TfrmQuenor::ControlTarget::Post(Message m)
{
    if (m.msg == UM_BINDCONTROL) {
        const int reg = static_cast<int>(m.wParam);
        if (reg >= 0 && reg < kRegisterSlots)
            window_.registerLists_[static_cast<std::size_t>(reg)].push_back(
                reinterpret_cast<CParamControl*>(static_cast<std::intptr_t>(m.lParam)));
        return;
    }
    if (m.msg == UM_CONTROLCHANGED) {
        // Stamped with the pages it came from.
        m.data.resize(sizeof(window_.pagesSerial_));
        std::memcpy(m.data.data(), &window_.pagesSerial_, sizeof(window_.pagesSerial_));
        m.hasData = true;
    }
    window_.notify_->Post(std::move(m));
}

namespace {

const char* const kBaudCaptions[kBaudRateCount] = {"9.600",   "19.200",  "38.400",  "57.600",
                                                   "115.200", "230.400", "460.800", "921.600"};

}  // namespace

TfrmQuenor::TfrmQuenor(QuenorOptions options, QWidget* parent)
    : QMainWindow(parent), options_(std::move(options))
{
    setObjectName(QStringLiteral("frmQuenor"));
    notify_ = std::make_unique<QtMessageTarget>([this](const Message& m) { HandleMessage(m); });
    prompts.askYesNo = [this](const QString& text, const QString& caption) {
        return QMessageBox::question(this, caption, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };
    prompts.askYesNoCancel = [this](const QString& text, const QString& caption) {
        const auto b = QMessageBox::question(this, caption, text,
                                             QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        return b == QMessageBox::Yes ? 1 : b == QMessageBox::No ? 0 : -1;
    };
    prompts.askOkCancel = [this](const QString& text, const QString& caption) {
        return QMessageBox::warning(this, caption, text, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
    };
    prompts.confirmWarnings = [this](const Warnings& w) {
        TfrmWarningInfo dialog(this);
        dialog.SetWarnings(w.flags, w.args, 8);
        dialog.SetCloseOnly(false);
        return dialog.exec() == kMrIgnore;
    };
    prompts.error = [this](const QString& text, const QString& caption) {
        QMessageBox::critical(this, caption, text);
    };
    prompts.warning = [this](const QString& text, const QString& caption) {
        QMessageBox::warning(this, caption, text);
    };
    prompts.loadInformation = [this](const QString& text, const QString& caption) {
        TfrmLoadInformation box(this);
        box.ShowText(text, caption);
    };
    const QString filter = QStringLiteral("Vek configuration (*.vek *.VEK);;All files (*)");
    prompts.openFileName = [this, filter] { return QFileDialog::getOpenFileName(this, QString(), QString(), filter); };
    prompts.saveFileName = [this, filter] {
        QFileDialog dialog(this, QString(), QString(), filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("VEK"));
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().front()
                                                                                        : QString();
    };
    vizuUi_ = std::make_unique<QtVizuWareUi>(this);
    vizu_ = std::make_unique<CVizuWareDocument>(*vizuUi_);
    vizu_->SetLogPath(TVizuCode::DefaultLogPath());
    controlTarget_ = std::make_unique<ControlTarget>(*this);

    // Settings: port, baud rate and generation of the last run.
    Settings settings;
    settings_ = MainSettings::Load(settings);
    state_.portIndex = settings_.portIndex;
    state_.baudIndex = settings_.baudIndex;
    lastGeneration_ = settings_.lastGeneration;

    com_ = std::make_unique<ComThread>(notify_.get(), settings_.comOptions, options_.timings);
    address_ = 255;
    com_->Reconnect(255);
    // The tests page's thread is created here, for com_, when the tests page exists.

    LoadImages();
    CreateMenus();
    CreateToolBar();
    CreateCentralWidgets();
    CreateStatusBar();

    resize(1000, 720);
    if (settings_.windowPlacement)
        restoreGeometry(*settings_.windowPlacement);
    if (settings_.toolbarLayout)
        restoreState(*settings_.toolbarLayout);

    PortAction(state_.portIndex)->setChecked(true);
    BaudAction(state_.baudIndex)->setChecked(true);
    com_->SetPortSettings(state_.portIndex + 1, BaudRateOfIndex(state_.baudIndex));
    SetFileCaption(QStringLiteral("Noname"));
    RebuildRecentMenu();
    setAcceptDrops(true);
}

TfrmQuenor::~TfrmQuenor()
{
    closing_ = true;
    // Widgets still emit while the base class takes them down (a focused
    // address box commits its text, for one): none may reach this window.
    for (QObject* child : findChildren<QObject*>())
        child->disconnect(this);
    // The thread goes first: nothing may post into a window that is going away.
    com_->Terminate();
    com_->StopThread(2000);
    // The tests page's thread is stopped here, after the communication thread.

    settings_.portIndex = state_.portIndex;
    settings_.baudIndex = state_.baudIndex;
    settings_.lastGeneration = generation_;
    settings_.windowPlacement = saveGeometry();
    settings_.toolbarLayout = saveState();
    Settings settings;
    settings_.Save(settings);

    DeleteParameterControls();
    if (g_lampImageList == lampImages_.get())
        g_lampImageList = nullptr;
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
    lampImages_ = std::make_unique<QtLampImageList>(10, 10, face);
    for (int id : {201, 200, 201, 200}) {
        QImage image;
        if (LoadPngResource(image, id, face).empty() && !image.isNull())
            lampImages_->Add(image);
    }
    if (lampImages_->Count() == 4)
        g_lampImageList = lampImages_.get();
    else
        InstallDefaultLampImageList();
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

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    viewMenu_ = view;
    tbxiViewHidden_ = new QAction(QStringLiteral("&View hidden pages"), this);
    tbxiViewHidden_->setCheckable(true);
    connect(tbxiViewHidden_, &QAction::toggled, this, [this](bool on) {
        state_.viewHidden = on;
        UpdateStatusText();
    });

    motorMenu_ = menuBar()->addMenu(QStringLiteral("&Motor"));
    motorMenu_->setObjectName(QStringLiteral("motorMenu"));
    saveInMotor_ = motorMenu_->addAction(QStringLiteral("&Save in motor"));
    connect(saveInMotor_, &QAction::triggered, this, [this] { Guarded([this] { SaveInMotor(); }); });
    resetMotor_ = motorMenu_->addAction(QStringLiteral("&Reset motor"));
    connect(resetMotor_, &QAction::triggered, this, [this] { Guarded([this] { ResetMotor(); }); });
    QAction* resetPos = motorMenu_->addAction(QStringLiteral("Reset &position"));
    connect(resetPos, &QAction::triggered, this, [this] { Guarded([this] { ResetPosition(); }); });
    QAction* clearErrors = motorMenu_->addAction(QStringLiteral("&Clear errors"));
    connect(clearErrors, &QAction::triggered, this, [this] { Guarded([this] { ClearErrors(); }); });
    // Their pages and dialogs come later; until then they do nothing and say so by being disabled.
    QAction* startZero = motorMenu_->addAction(QStringLiteral("S&tart zero search"));
    miFilterSelector_ = motorMenu_->addAction(QStringLiteral("&Filter setup"));
    loadDefault_ = motorMenu_->addAction(QStringLiteral("&Load default"));
    connect(loadDefault_, &QAction::triggered, this, [this] { Guarded([this] { LoadDefault(); }); });
    laterItems_ = {startZero, miFilterSelector_};
    motorCommands_ = {saveInMotor_, resetMotor_, resetPos, clearErrors, loadDefault_};

    tbxsmiOffline_ = menuBar()->addMenu(QStringLiteral("&Offline"));
    auto* offlineGroup = new QActionGroup(this);
    for (const auto& t : OfflineMotorTypes()) {
        QAction* a = tbxsmiOffline_->addAction(QString::fromLatin1(MotorTypeCaption(t.code).c_str()));
        a->setObjectName(QString::fromLatin1(t.menuItem));
        a->setCheckable(true);
        a->setActionGroup(offlineGroup);
        const int code = t.code;
        connect(a, &QAction::triggered, this, [this, code] { OfflineTypeChosen(code); });
        offlineActions_.emplace_back(code, a);
    }
    tbxsmiOffline_->addSeparator();
    miFilterSetup_ = tbxsmiOffline_->addAction(QStringLiteral("&Filter setup"));
    laterItems_.push_back(miFilterSetup_);

    smiMRP_ = menuBar()->addMenu(QStringLiteral("VekMRP"));
    smiMRP_->setObjectName(QStringLiteral("smiMRP"));
    smiMRP_->setEnabled(false);

    QMenu* setup = menuBar()->addMenu(QStringLiteral("&Setup"));
    QMenu* ports = setup->addMenu(QStringLiteral("COM port"));
    auto* portGroup = new QActionGroup(this);
    for (int i = 0; i < kPortCount; ++i) {
        QAction* a = ports->addAction(QStringLiteral("Comport %1").arg(i + 1));
        a->setCheckable(true);
        a->setActionGroup(portGroup);
        connect(a, &QAction::triggered, this, [this, i] { SelectPort(i); });
        portActions_.push_back(a);
    }
    QMenu* bauds = setup->addMenu(QStringLiteral("Baud rate"));
    auto* baudGroup = new QActionGroup(this);
    for (int i = 0; i < kBaudRateCount; ++i) {
        QAction* a = bauds->addAction(QString::fromLatin1(kBaudCaptions[i]));
        a->setCheckable(true);
        a->setActionGroup(baudGroup);
        connect(a, &QAction::triggered, this, [this, i] { SelectBaudRate(i); });
        baudActions_.push_back(a);
    }

    QMenu* updates = menuBar()->addMenu(QStringLiteral("&Updates"));
    laterItems_.push_back(updates->addAction(QStringLiteral("Update &Firmware...")));
    laterItems_.push_back(updates->addAction(QStringLiteral("Update &Quenor...")));

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    laterItems_.push_back(help->addAction(QStringLiteral("&Connection trouble shooting")));
    connect(help->addAction(QStringLiteral("&Company...")), &QAction::triggered, this, [this] {
        TCompanyBox box(this);
        box.exec();
    });
    connect(help->addAction(QStringLiteral("&About...")), &QAction::triggered, this, [this] {
        TAboutBox box(this);
        box.exec();
    });
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
    QAction* tbSaveFlash = twin(saveInMotor_, icon(2), QStringLiteral("Save in flash"));
    QAction* tbResetPos = twin(motorCommands_[2], icon(3), QStringLiteral("Reset position"));
    QAction* tbClearErrors = twin(motorCommands_[3], icon(4), QStringLiteral("Clear errors"));
    QAction* tbReset = twin(resetMotor_, icon(5), QStringLiteral("Reset motor"));
    tbxFilterSetup_ = tbxToolbar_->addAction(icon(6), QStringLiteral("Filter setup"));
    laterItems_.push_back(tbxFilterSetup_);
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
    connect(tbAddress_, &QComboBox::textActivated, this, &TfrmQuenor::SelectAddress);
    tbxToolbar_->addWidget(tbAddress_);

    QAction* toolbarToggle = tbxToolbar_->toggleViewAction();
    toolbarToggle->setText(QStringLiteral("&Toolbar"));
    viewMenu_->addAction(toolbarToggle);
    QAction* statusToggle = viewMenu_->addAction(QStringLiteral("&Status panel"));
    statusToggle->setCheckable(true);
    statusToggle->setChecked(true);
    connect(statusToggle, &QAction::toggled, this, [this](bool on) { statusBar()->setVisible(on); });
    viewMenu_->addAction(tbxiViewHidden_);
    for (QAction* a : laterItems_)
        a->setEnabled(false);
}

void TfrmQuenor::CreateCentralWidgets()
{
    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(2, 2, 2, 2);

    // Left: the motor picture and the status view.
    auto* left = new QWidget(central);
    left->setFixedWidth(300);
    auto* column = new QVBoxLayout(left);
    column->setContentsMargins(0, 0, 0, 0);
    imMotor_ = new QLabel(left);
    imMotor_->setObjectName(QStringLiteral("imMotor"));
    imMotor_->setFixedSize(ilMotor_.Width(), ilMotor_.Height() + 1);
    column->addWidget(imMotor_, 0, Qt::AlignHCenter);
    auto* viewScroll = new QScrollArea(left);
    viewScroll->setFrameShape(QFrame::NoFrame);
    paView_ = new QWidget;
    paView_->setObjectName(QStringLiteral("paView"));
    paView_->setMinimumSize(280, 600);
    viewScroll->setWidget(paView_);
    column->addWidget(viewScroll, 1);
    row->addWidget(left);

    // Right: the parameter pages and the fixed pages that follow them.
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
        panels_[i] = new StatusPanelWidget(i, statusBar_, bar);
        panels_[i]->onClick = [this] {
            if (statusBar_.CurrentWarnings().count > 0) {
                TfrmWarningInfo dialog(this);
                dialog.SetWarnings(statusBar_.CurrentWarnings().flags, statusBar_.CurrentWarnings().args, 8);
                dialog.SetCloseOnly(true);
                dialog.exec();
            }
        };
    }
    panels_[0]->setMinimumWidth(313);
    panels_[1]->setMinimumWidth(400);
    bar->addWidget(panels_[0], 1);
    bar->addPermanentWidget(panels_[1]);

    tiErrorClear_ = new QTimer(this);
    tiErrorClear_->setInterval(2000);
    connect(tiErrorClear_, &QTimer::timeout, this, [this] {
        const int io = GetControlValueByCaption("I/O Type");
        statusBar_.ErrorClearTimer(state_, io, [this](std::string_view t) {
            return panels_[0]->fontMetrics().horizontalAdvance(FromCp1252(t));
        }, Panel0Width());
        SyncStatusTimers();
        panels_[0]->update();
    });
    tiWarningScroll_ = new QTimer(this);
    tiWarningScroll_->setInterval(20);
    connect(tiWarningScroll_, &QTimer::timeout, this, [this] {
        if (statusBar_.ScrollTimer())
            panels_[0]->update();
    });
    tiProgress_ = new QTimer(this);
    tiProgress_->setInterval(1000);
    connect(tiProgress_, &QTimer::timeout, this, [this] {
        statusBar_.ProgressTimer();
        SyncStatusTimers();
        panels_[1]->update();
    });
    SyncStatusTimers();
}

void TfrmQuenor::SyncStatusTimers()
{
    auto sync = [](QTimer* t, bool on) {
        if (on && !t->isActive())
            t->start();
        else if (!on && t->isActive())
            t->stop();
    };
    sync(tiErrorClear_, statusBar_.ErrorClearActive());
    sync(tiWarningScroll_, statusBar_.ScrollActive());
    sync(tiProgress_, statusBar_.ProgressTimerActive());
}

int TfrmQuenor::Panel0Width() const { return quenor::Panel0Width(width()); }

void TfrmQuenor::InitAfterCreate(const QString& fileName)
{
    SetGeneration(lastGeneration_ >= 0 && lastGeneration_ <= 2 ? lastGeneration_ : 0);
    EnableMotorCommands(false);
    PostDefaultRegisters(0);
    SetMotorType(DefaultOfflineType(generation_));
    PostDefaultRegisters(state_.motorType);
    UpdateStatusText();
    if (options_.startCommunication)
        com_->Start();
    if (!fileName.isEmpty())
        PostText(notify_.get(), UM_OPENFILE, 0, 0, fileName.toUtf8().toStdString());
}

void TfrmQuenor::SetFileCaption(const QString& fileName)
{
    fileName_ = fileName;
    setWindowTitle(QStringLiteral("Quenor - ") + fileName);
}

void TfrmQuenor::BringToFront(const QString& fileName)
{
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
    if (!fileName.isEmpty())
        PostText(notify_.get(), UM_OPENFILE, 0, 0, fileName.toUtf8().toStdString());
}

void TfrmQuenor::closeEvent(QCloseEvent* event)
{
    if (vizu_->Modified()) {
        const int answer = prompts.askYesNoCancel(
            QStringLiteral("Your VekMRP program has not been saved\nDo you want to save it before exit ?"),
            QStringLiteral("VekMRP program changed"));
        if (answer < 0) {
            event->ignore();
            return;
        }
        if (answer > 0) {
            SaveClick();
            if (vizu_->Modified()) {
                event->ignore();
                return;
            }
        }
    }
    event->accept();
}

void TfrmQuenor::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (panels_[0])
        panels_[0]->setMinimumWidth(std::max(0, Panel0Width()));
    if (!controls_.empty())
        ArrangeControls(-1);
}

void TfrmQuenor::EnableMotorCommands(bool on)
{
    for (QAction* a : motorCommands_)
        a->setEnabled(on);
    motorMenu_->setEnabled(on);
    tbxsmiOffline_->menuAction()->setVisible(!on);
    for (QAction* a : laterItems_)
        a->setEnabled(false);
}

void TfrmQuenor::UpdateStatusText()
{
    if (statusBar_.UpdateStatusText(state_))
        DrawMotorPicture();
    ApplyModuleTabs();
    if (panels_[1])
        panels_[1]->update();
}

void TfrmQuenor::UpdateWarnings()
{
    if (closing_)
        return;
    const int io = GetControlValueByCaption("I/O Type");
    statusBar_.UpdateWarnings(state_, io, [this](std::string_view t) {
        return panels_[0]->fontMetrics().horizontalAdvance(FromCp1252(t));
    }, Panel0Width());
    statusBar()->setToolTip(FromCp1252(statusBar_.Hint()).replace(QChar('\r'), QChar('\n')));
    SyncStatusTimers();
    panels_[0]->update();
}

void TfrmQuenor::ApplyModuleTabs()
{
    // The field-bus pages and the editor's page come with their own forms and
    // take their part of these rules when they are added; the programmable
    // module's menu is here already.
    const ModuleTabVisibility tabs = ModuleTabsFor(state_);
    if (tabs.vizu && smiMRP_)
        smiMRP_->menuAction()->setVisible(*tabs.vizu);
}

void TfrmQuenor::DrawMotorPicture()
{
    const int index = generation_ < 0 ? -1 : 2 * generation_ + (state_.connected ? 0 : 1);
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
