// What only the main window shows: its caption, the port menu, the pages of a
// generation and their order, the menus that follow the connection, offline
// types chosen from the menu, a dropped file. The session's logic is tested
// headless in tests/session.

#include "app/motorregisters.h"
#include "app/motortypes.h"
#include "app/testthread.h"
#include "app/ui/quenorforms.h"
#include "app/ui/formatpage.h"
#include "app/ui/modulepages.h"
#include "app/ui/quenormain.h"
#include "scope/ui/frmsamplesetup.h"
#include "scope/ui/frmscope.h"
#include "scope/ui/frmtrigstatus.h"
#include "app/ui/testspage.h"
#include "program/ui/runcontrolbar.h"
#include "program/ui/vizuwareform.h"
#include "params/paramkinds.h"
#include "params/ui/paramuicontrols.h"
#include "tools/motorsim/motorsim.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDockWidget>
#include <QAbstractButton>
#include <QLabel>
#include <QDropEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QFile>
#include <QFrame>
#include <QMimeData>
#include <QTemporaryDir>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QElapsedTimer>
#include <QSettings>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <unistd.h>

#include "support/qtapp.h"
#include "support/savefaults.h"

using namespace quenor;
using quenor::motorsim::MotorSim;
using quenor::motorsim::SimFrame;

namespace {

using test::Spin;
using test::SpinUntil;

ComTimings Fast()
{
    ComTimings t;
    t.idleMs = 20;
    t.connectRetryMs = 20;
    t.afterConnectMs = 20;
    t.rescanMs = 500;
    return t;
}

QString ProgramTabCaption(TfrmQuenor& w)
{
    QTabWidget* pages = w.ParameterPages();
    return pages->tabText(pages->indexOf(w.Forms().VizuPage()));
}

CParamControl* ByCaption(TfrmQuenor& w, const std::string& caption)
{
    for (const auto& c : w.Session().Controls())
        if (c->Caption() == caption)
            return c.get();
    return nullptr;
}

class MainWindowWithMotor : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::TestApp();
        QSettings(QStringLiteral("Tovik"), QStringLiteral("Quenor")).clear();
    }
    void TearDown() override { unsetenv("QUENOR_COM1"); }

    void Connect(MotorSim& sim)
    {
        ASSERT_TRUE(sim.Start());
        setenv("QUENOR_COM1", sim.DevicePath().c_str(), 1);
        QuenorOptions options;
        options.timings = Fast();
        window = std::make_unique<TfrmQuenor>(options);
        window->show();
        window->InitAfterCreate(QString());
        ASSERT_TRUE(SpinUntil([&] { return window->Session().State().connected; })) << "no connection";
    }
    // Lets the reads that follow a connect finish and their values arrive.
    void Settle()
    {
        EXPECT_TRUE(test::SpinUntilIdle([&] { return window->Session().Com().IsQueueEmpty(); }));
    }

    std::unique_ptr<TfrmQuenor> window;
};

// A main window with no motor: COM1 is missing.
class MainWindowOffline : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::TestApp();
        QSettings(QStringLiteral("Tovik"), QStringLiteral("Quenor")).clear();
        setenv("QUENOR_COM1", "/dev/quenor-no-such-port", 1);
    }
    void TearDown() override { unsetenv("QUENOR_COM1"); }
    // The window, shown, opening file (none when empty).
    TfrmQuenor& Open(const QString& file = QString())
    {
        QuenorOptions options;
        options.timings = Fast();
        window = std::make_unique<TfrmQuenor>(options);
        window->show();
        window->InitAfterCreate(file);
        return *window;
    }

    std::unique_ptr<TfrmQuenor> window;
};

}  // namespace

TEST(MainWindow, OpensWithTheNonameCaption)
{
    test::TestApp();
    TfrmQuenor window;
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Quenor - Noname"));
    window.SetFileCaption(QStringLiteral("pump.vek"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Quenor - pump.vek"));
}

TEST(MainWindow, ThePortMenuSaysWhichDeviceEachPortIs)
{
    test::TestApp();
    QTemporaryDir dir;
    const QString present = dir.path() + "/adapter";
    QFile(present).open(QIODevice::WriteOnly);
    setenv("QUENOR_COM3", present.toLocal8Bit().constData(), 1);
    setenv("QUENOR_COM4", "/dev/quenor-no-such-port", 1);
    TfrmQuenor window;
    window.OfflineMenu();  // the menu is filled when it opens, and once at start
    EXPECT_TRUE(window.PortAction(2)->text().startsWith(QStringLiteral("Comport 3\t")));
    EXPECT_TRUE(window.PortAction(2)->text().endsWith(present));
    EXPECT_TRUE(window.PortAction(2)->isEnabled());
    EXPECT_TRUE(window.PortAction(3)->text().endsWith(QStringLiteral("/dev/quenor-no-such-port")));
    EXPECT_FALSE(window.PortAction(3)->isEnabled());
    unsetenv("QUENOR_COM3");
    unsetenv("QUENOR_COM4");
}

TEST(MainWindow, OfflineTypesShowTheirDefaultsAndEditsComeStraightBack)
{
    test::TestApp();
    QSettings(QStringLiteral("Tovik"), QStringLiteral("Quenor")).clear();
    setenv("QUENOR_COM1", "/dev/quenor-no-such-port", 1);
    QuenorOptions options;
    options.timings = Fast();
    TfrmQuenor window(options);
    window.InitAfterCreate(QString());
    test::DeliverPosted();
    EXPECT_EQ(window.Session().Generation(), 0);
    EXPECT_EQ(window.Session().MotorType(), 3);
    EXPECT_EQ(window.ProgramMenu()->title(), QStringLiteral("VekMRP"));
    EXPECT_EQ(ProgramTabCaption(window), QStringLiteral("VekMRP"));
    EXPECT_FALSE(window.Session().State().connected);

    // The common set posts 210 for register 5: "Max velocity" shows it scaled.
    CParamControl* maxVel = ByCaption(window, "Max velocity");
    ASSERT_NE(maxVel, nullptr);
    EXPECT_EQ(maxVel->Value(), 210);

    // An edit offline travels the road of a write and comes straight back.
    auto* edit = dynamic_cast<CParamControlEdit*>(maxVel);
    ASSERT_NE(edit, nullptr);
    edit->EnterPressed("1000");
    test::DeliverPosted();
    EXPECT_EQ(maxVel->Value(), 2097);  // 1000 / 0.4768... rounded

    // A change still queued when the pages are rebuilt is not written with
    // the new pages' value.
    edit->EnterPressed("900");
    window.OfflineAction(14)->trigger();
    test::DeliverPosted();
    EXPECT_EQ(window.Session().Generation(), 1);
    ASSERT_FALSE(window.Session().RegisterList(5).empty());
    EXPECT_EQ(window.Session().RegisterList(5).front()->Value(), 277);  // family 1's common set

    // Choosing the stepper Qor offline switches to family 2 and posts its set.
    window.OfflineAction(64)->trigger();
    test::DeliverPosted();
    EXPECT_EQ(window.Session().Generation(), 2);
    EXPECT_EQ(window.Session().MotorType(), 64);
    EXPECT_EQ(window.ProgramMenu()->title(), QStringLiteral("Programming"));
    EXPECT_EQ(ProgramTabCaption(window), QStringLiteral("Programming"));
    const auto& list5 = window.Session().RegisterList(5);
    ASSERT_FALSE(list5.empty());
    EXPECT_EQ(list5.front()->Value(), 250);

    // WibA (type 68) posts nothing at all.
    window.OfflineAction(68)->trigger();
    test::DeliverPosted();
    EXPECT_EQ(window.Session().MotorType(), 68);

    // Every offline type: a combo or radio group shows the item of the value
    // that it saves, and none when no item carries it.
    for (const auto& type : OfflineMotorTypes()) {
        window.OfflineAction(type.code)->trigger();
        test::DeliverPosted();
        for (const auto& c : window.Session().Controls()) {
            const auto* bits = dynamic_cast<const CParamControlBits*>(c.get());
            const std::string line = c->GetSetupLine();
            if (!bits || line.empty())
                continue;
            const std::int32_t saved = std::stoi(line.substr(line.find('=') + 1));
            int item = -1;
            for (int i = bits->Items().Count() - 1; i >= 0; --i)
                if (bits->Items().ValueAt(i) == saved)
                    item = i;
            if (auto* combo = dynamic_cast<ComboUi*>(c.get())) {
                EXPECT_EQ(combo->Combo()->currentIndex(), item) << type.model << ": " << line;
            } else if (auto* group = dynamic_cast<CParamControlRadioGroup*>(c.get())) {
                EXPECT_EQ(group->CheckedIndex(), item) << type.model << ": " << line;
            }
        }
    }

    // A VekE file selects VekE, which has no menu item: no item is checked.
    QTemporaryDir dir;
    QFile file(dir.path() + "/veke.vek");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Vek Setup file]\r\n[Motor type 13]\r\n");
    file.close();
    window.Session().LoadSetupFile(file.fileName());
    EXPECT_EQ(window.Session().MotorType(), 13);
    EXPECT_EQ(window.Session().Generation(), 1);
    for (const auto& t : OfflineMotorTypes())
        EXPECT_FALSE(window.OfflineAction(t.code)->isChecked()) << t.code;
    unsetenv("QUENOR_COM1");
}

// At the default size and at 1024 x 768 the status view is a plain panel
// whose rows all show, and the warnings line keeps to its own panel, with a
// gap before the connection text.
TEST(MainWindow, TheStatusViewAndTheStatusBarShowEverything)
{
    test::TestApp();
    QSettings(QStringLiteral("Tovik"), QStringLiteral("Quenor")).clear();
    const std::string device = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    setenv("QUENOR_COM1", device.c_str(), 1);
    TfrmQuenor window;
    window.show();
    window.InitAfterCreate(QString());
    ASSERT_TRUE(SpinUntil([&] { return window.Session().State().portError; }));
    QWidget* view = window.findChild<QWidget*>(QStringLiteral("paView"));
    ASSERT_NE(view, nullptr);
    for (QWidget* w = view; w; w = w->parentWidget())
        EXPECT_EQ(qobject_cast<QAbstractScrollArea*>(w), nullptr) << "the status view scrolls";
    auto* panel0 = window.findChild<QFrame*>(QStringLiteral("stbInfoPanel0"));
    auto* panel1 = window.findChild<QFrame*>(QStringLiteral("stbInfoPanel1"));
    ASSERT_NE(panel0, nullptr);
    ASSERT_NE(panel1, nullptr);

    // Type, and the groups shown: passive; position; position with a programmable module.
    const QSize sizes[] = {QSize(1000, 720), QSize(1024, 768)};
    for (const QSize size : sizes) {
        for (const int type : {3, 14, 64}) {
            window.OfflineAction(type)->trigger();
            window.resize(size);
            for (const int mask : {0x1, 0x4, 0x4004}) {
                const std::string where = std::to_string(size.width()) + " type " + std::to_string(type) +
                                          " mask " + std::to_string(mask);
                window.Session().ArrangeControls(mask);
                // The window grows to what its rows need once the layouts have run.
                auto inside = [&](QWidget* row) {
                    return view->rect().contains(QRect(row->mapTo(view, QPoint(0, 0)), row->size()));
                };
                auto laidOut = [&] {
                    if (!window.rect().contains(QRect(view->mapTo(&window, QPoint(0, 0)), view->size())))
                        return false;
                    for (QWidget* row : view->findChildren<QWidget*>())
                        if (row->isVisibleTo(view) && !inside(row))
                            return false;
                    return true;
                };
                EXPECT_TRUE(SpinUntil(laidOut)) << where << ": the status view does not fit";
                int rows = 0;
                for (QWidget* row : view->findChildren<QWidget*>()) {
                    if (!row->isVisibleTo(view))
                        continue;
                    ++rows;
                    EXPECT_TRUE(inside(row)) << where << ": " << row->metaObject()->className();
                }
                EXPECT_GT(rows, 10) << where;
            }
            // The warnings line is clipped inside its panel, well before the
            // connection text starts (three pixels into its panel).
            const int warningsEnd = panel0->mapTo(&window, panel0->contentsRect().topRight()).x();
            const int connectionStart = panel1->mapTo(&window, panel1->contentsRect().topLeft()).x() + 3;
            EXPECT_GE(connectionStart - warningsEnd, 5) << size.width();
            // The port error with its long device name is cut by the panel and
            // reads whole in the panel's hint.
            EXPECT_EQ(panel1->toolTip(),
                      QString::fromStdString("*** Error opening COM1 (" + device + ": no such device) ***"));
        }
    }
    unsetenv("QUENOR_COM1");
}

// View > Status panel shows and hides the docked panel with the status view;
// its check follows the panel, also when the panel's own button closes it.
// The status bar, where link errors show, stays. Where the panel stands and
// whether it shows, the next start finds again.
TEST_F(MainWindowOffline, TheStatusPanelComesAndGoesAndKeepsItsPlace)
{
    TfrmQuenor* window = &Open();
    auto item = [&] {
        for (QAction* a : window->findChildren<QAction*>())
            if (a->text() == QStringLiteral("&Status panel"))
                return a;
        return static_cast<QAction*>(nullptr);
    };
    auto* panel = qobject_cast<QDockWidget*>(window->findChild<QWidget*>(QStringLiteral("paView"))->parentWidget()
                                                 ->parentWidget());
    ASSERT_NE(panel, nullptr) << "the status view is in no docked panel";
    ASSERT_NE(item(), nullptr);
    QWidget* view = window->findChild<QWidget*>(QStringLiteral("paView"));
    QWidget* bar = window->findChild<QWidget*>(QStringLiteral("stbInfo"));
    EXPECT_TRUE(item()->isChecked());
    EXPECT_TRUE(view->isVisible());

    item()->trigger();
    EXPECT_FALSE(view->isVisible());
    EXPECT_FALSE(item()->isChecked());
    EXPECT_TRUE(bar->isVisible());
    item()->trigger();
    EXPECT_TRUE(view->isVisible());
    EXPECT_TRUE(item()->isChecked());

    auto* close = panel->findChild<QAbstractButton*>(QStringLiteral("qt_dockwidget_closebutton"));
    ASSERT_NE(close, nullptr);
    close->click();
    EXPECT_FALSE(view->isVisible());
    EXPECT_FALSE(item()->isChecked());
    EXPECT_TRUE(bar->isVisible());

    // Moved to the right, hidden, and the window closed: the next start
    // finds it there, hidden.
    window->addDockWidget(Qt::RightDockWidgetArea, panel);
    window->close();
    this->window.reset();
    window = &Open();
    panel = qobject_cast<QDockWidget*>(window->findChild<QWidget*>(QStringLiteral("paView"))->parentWidget()
                                           ->parentWidget());
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(window->dockWidgetArea(panel), Qt::RightDockWidgetArea);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_FALSE(item()->isChecked());
    item()->trigger();
    EXPECT_TRUE(window->findChild<QWidget*>(QStringLiteral("paView"))->isVisible());
    EXPECT_EQ(window->dockWidgetArea(panel), Qt::RightDockWidgetArea);
}

TEST_F(MainWindowWithMotor, AFamily1MotorSwitchesThePages)
{
    MotorSim sim(1, 72);
    Connect(sim);
    EXPECT_EQ(window->Session().Generation(), 1);
    // The pages were rebuilt before the reads were queued: every read value
    // lands on a family-1 control; family 1 reads 7 blocks of 4-byte registers.
    ASSERT_NE(ByCaption(*window, "Max velocity"), nullptr);
    ASSERT_TRUE(SpinUntil([&] { return sim.CountRequests(0x51) == 7; }));
    // The family's pages come first, the fixed pages (tests, program, scope, modules) after them.
    QTabWidget* pages = window->ParameterPages();
    const int tests = pages->indexOf(pages->findChild<QWidget*>(QStringLiteral("tsTests")));
    ASSERT_GE(tests, 2);
    for (int i = 0; i < tests; ++i)
        EXPECT_NE(pages->widget(i)->objectName(), QStringLiteral("tsVizu")) << i;
}

// A motor of another family, with a module, takes the place of the one
// before on the same port: the module's page (and the programmable module's
// menu) shows as for a motor that came first.
struct MotorSwap {
    int fromFamily;
    int fromModule;
    int toFamily;
    int toModule;
};

std::string SwapName(const ::testing::TestParamInfo<MotorSwap>& info)
{
    const MotorSwap& m = info.param;
    return "Family" + std::to_string(m.fromFamily) + "Module" + std::to_string(m.fromModule) + "ToFamily" +
           std::to_string(m.toFamily) + "Module" + std::to_string(m.toModule);
}

class ModuleAfterSwap : public MainWindowWithMotor, public ::testing::WithParamInterface<MotorSwap> {};

TEST_P(ModuleAfterSwap, TheNewMotorsModuleShowsItsPage)
{
    const MotorSwap swap = GetParam();
    const std::string link = "/tmp/quenor-swap-" + std::to_string(::getpid());
    MotorSim sim(swap.fromFamily, swap.fromFamily == 1 ? 72 : 112);
    sim.SetModuleType(swap.fromModule);
    sim.SetLinkPath(link);
    Connect(sim);
    Settle();
    TModulePages& pages = window->Forms().ModulePages();
    QTabWidget* tabs = window->ParameterPages();
    auto shown = [&](QWidget* page) { return tabs->isTabVisible(tabs->indexOf(page)); };
    const std::pair<int, QWidget*> modulePages[] = {{kModuleMR, pages.tsSeqlet},    {kModuleMP, pages.tsProfi},
                                                    {kModuleMC, pages.tsCanOpen},   {kModuleMD, pages.tsDeviceNet},
                                                    {kModuleMS, pages.tsFS},        {kModuleMRP, window->Forms().VizuPage()}};
    auto expectPagesOf = [&](int module, const char* when) {
        for (auto [type, page] : modulePages)
            EXPECT_EQ(shown(page), type == module) << when << ": page of module type " << type;
        EXPECT_EQ(window->ProgramMenu()->menuAction()->isVisible(), module == kModuleMRP) << when;
    };
    expectPagesOf(swap.fromModule, "first motor");

    sim.Stop();
    ASSERT_TRUE(SpinUntil([&] { return !window->Session().State().connected; }));
    sim.SetFamily(swap.toFamily);
    sim.SetFirmware(swap.toFamily == 1 ? 72 : 112);
    sim.SetModuleType(swap.toModule);
    ASSERT_TRUE(sim.Start());
    ASSERT_TRUE(SpinUntil([&] {
        return window->Session().State().connected && window->Session().State().moduleType == swap.toModule;
    }));
    Settle();
    EXPECT_EQ(window->Session().Generation(), swap.toFamily);
    expectPagesOf(swap.toModule, "second motor");
    sim.Stop();
}

INSTANTIATE_TEST_SUITE_P(Families, ModuleAfterSwap,
                         ::testing::Values(MotorSwap{0, kModuleNone, 1, kModuleMRP},
                                           MotorSwap{1, kModuleNone, 0, kModuleMRP},
                                           MotorSwap{1, kModuleMRP, 0, kModuleMP},
                                           MotorSwap{0, kModuleNone, 1, kModuleMS}),
                         SwapName);

// A sample run that the lost link cuts off, while the motor samples or while
// its samples come in, or whose move the motor takes without its reply
// coming back: the state box ends by itself and says so, no set is made of
// what did not arrive, and the sets held before stay as they were.
class SampleRunCutOff : public MainWindowWithMotor, public ::testing::WithParamInterface<const char*> {};

TEST_P(SampleRunCutOff, AddsNoSetAndEndsTheBox)
{
    MotorSim sim(0, 112);
    sim.SetRegister(2, 2);  // position mode: the default run moves the motor
    Connect(sim);
    Settle();
    TfrmScope& scope = window->Forms().Scope();
    std::vector<QString> told;
    scope.prompts.warning = [&](const QString& text, const QString& caption) { told.push_back(caption + ": " + text); };
    scope.prompts.error = scope.prompts.warning;
    QTemporaryDir dir;
    const QString before = dir.path() + "/before.VekScopes";
    {
        QFile f(before);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Scope v0.9]\r\nScopeName=Kept\r\nCount=3\r\n\r\nNewChannel\r\nData=1,2,3\r\n\r\n[Scope end]\r\n");
    }
    scope.LoadScopes(before);
    ASSERT_EQ(scope.Sets().size(), 1u);
    const std::shared_ptr<TSampleSet> kept = scope.Sets()[0];
    ASSERT_TRUE(SpinUntil([&] { return window->Session().Motion().mode == 2; }));

    const QString when = QString::fromLatin1(GetParam());
    // The motor takes the run's move but its acknowledgement is lost: the
    // run ends there, and the motor is not moved again.
    const bool moveReplyLost = when == QStringLiteral("MoveReplyLost");
    const std::int32_t origin = sim.Register(3);
    if (moveReplyLost)
        sim.LoseWriteAcks(3, 1);
    else
        sim.SetFaults(motorsim::FaultConfig{1, 0.0, 0.0, 1.0, 3});  // each reply a little late
    scope.btnStartClick();
    ASSERT_TRUE(scope.TrigStatus()->isVisible());
    if (!moveReplyLost) {
        ASSERT_TRUE(SpinUntil([&] { return scope.TrigStatus()->State() == when; }, 30000))
            << scope.TrigStatus()->State().toStdString();
        sim.Stop();
    }
    ASSERT_TRUE(SpinUntil([&] { return !scope.TrigStatus()->isVisible(); }, 30000)) << "the box stays open";
    ASSERT_EQ(told.size(), 1u);
    EXPECT_TRUE(told[0].startsWith(QStringLiteral("Sampling: "))) << told[0].toStdString();
    EXPECT_TRUE(told[0].contains(moveReplyLost ? QStringLiteral("cut off") : QStringLiteral("lost")))
        << told[0].toStdString();
    if (moveReplyLost) {
        EXPECT_TRUE(told[0].contains(QStringLiteral("may not be where it was"))) << told[0].toStdString();
        // The run's default trigger: forward, then back to where the run found it.
        int moves = 0;
        for (const motorsim::SimFrame& f : sim.Requests())
            moves += f.command == 0x52 && f.fields.size() > 1 && f.fields[1] == 3;
        EXPECT_EQ(moves, 2);
        EXPECT_EQ(sim.Register(3), origin);
    }
    EXPECT_EQ(scope.Sets(), std::vector<std::shared_ptr<TSampleSet>>{kept});
    EXPECT_EQ(scope.CurrentSet(), kept);
    EXPECT_EQ(scope.Tabs()->count(), 1);
    EXPECT_EQ(kept->Channel(0)->Samples(), (std::vector<std::int32_t>{1, 2, 3}));
    EXPECT_TRUE(scope.StartButton()->isEnabled());
    EXPECT_FALSE(scope.UpdateTimer()->isActive());
}

INSTANTIATE_TEST_SUITE_P(While, SampleRunCutOff, ::testing::Values("Sampling", "Transfering", "MoveReplyLost"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

// Abort in the state box, then Start again at once: what ends the aborted run
// later (the cut-off after its lost move reply, the end of its upload or of
// its trigger wait) is that run's alone. The new run keeps its box and its
// Abort, Start stays disabled until it ends, and it makes its set as usual; a
// run whose trigger never fires can still be aborted. An abort that comes
// before the run's job began leaves the motor where it is.
enum class AbortAt {
    MoveSent,   // the motor took the move, and its reply is lost
    Uploading,  // the samples come in (each reply a little late)
    AtOnce,     // before the job began (each reply late: the channel writes take a while)
};

struct AbortThenStart {
    const char* name;
    AbortAt at;
    bool neverFires;        // both runs wait for register 50 = 7
    const char* secondSet;  // empty: none, the second run is aborted too
    int moves;              // register-3 writes from both runs
};

void PrintTo(const AbortThenStart& c, std::ostream* os) { *os << c.name; }

class AbortThenStartAtOnce : public MainWindowWithMotor, public ::testing::WithParamInterface<AbortThenStart> {};

TEST_P(AbortThenStartAtOnce, TheNewRunKeepsItsBoxAndMakesItsSet)
{
    const AbortThenStart& c = GetParam();
    MotorSim sim(0, 112);
    sim.SetRegister(2, 2);  // position mode: the default run moves forward and back
    Connect(sim);
    Settle();
    TfrmScope& scope = window->Forms().Scope();
    std::vector<QString> told;
    scope.prompts.warning = [&](const QString& text, const QString&) { told.push_back(text); };
    scope.prompts.error = scope.prompts.warning;
    ASSERT_TRUE(SpinUntil([&] { return window->Session().Motion().mode == 2; }));
    if (c.neverFires) {
        sim.SetRegister(50, 0);
        TfrmSampleSetup& setup = *scope.SetupDialog();
        setup.TrigButton(kTriggerRegisterCondition)->setChecked(true);
        setup.RegisterCombo()->setEditText(QStringLiteral("50"));
        setup.OperatorCombo()->setCurrentIndex(0);  // "="
        setup.ValueEdit()->setText(QStringLiteral("7"));
    }
    const auto writes = [&](int reg) {
        int n = 0;
        for (const SimFrame& f : sim.Requests())
            n += f.command == 0x52 && f.fields.size() > 1 && f.fields[1] == reg;
        return n;
    };
    const std::int32_t origin = sim.Register(3);
    if (c.at == AbortAt::MoveSent)
        sim.LoseWriteAcks(3, 1);
    else
        sim.SetFaults(motorsim::FaultConfig{1, 0.0, 0.0, 1.0, c.at == AbortAt::AtOnce ? 50 : 3});
    QPushButton* start = scope.StartButton();
    QPushButton* abort = scope.TrigStatus()->AbortButton();
    const auto running = [&] { return scope.TrigStatus()->isVisible() && !start->isEnabled(); };
    start->click();
    if (c.at == AbortAt::MoveSent) {
        ASSERT_TRUE(SpinUntil([&] { return writes(3) == 1; })) << "the first run's move did not go out";
    } else if (c.at == AbortAt::Uploading) {
        ASSERT_TRUE(SpinUntil([&] { return scope.TrigStatus()->State() == QStringLiteral("Transfering"); }));
    }
    abort->click();
    start->click();
    sim.SetFaults(motorsim::FaultConfig{});
    ASSERT_TRUE(running());

    // The first run has ended once the second run's channel registers,
    // queued behind it, reach the motor.
    ASSERT_TRUE(SpinUntil([&] { return writes(112) == 2; }, 30000)) << "the aborted run did not end";
    test::DeliverPosted();
    EXPECT_TRUE(running()) << "the end of the aborted run ended the second run";
    EXPECT_TRUE(scope.Sets().empty());
    ASSERT_EQ(told.size(), c.at == AbortAt::MoveSent ? 1u : 0u);
    if (!told.empty()) {
        EXPECT_TRUE(told[0].contains(QStringLiteral("The aborted run was cut off"))) << told[0].toStdString();
        EXPECT_TRUE(told[0].contains(QStringLiteral("may not be where it was"))) << told[0].toStdString();
    }

    if (!*c.secondSet)
        abort->click();
    bool startWhileRunning = false;
    ASSERT_TRUE(SpinUntil([&] {
        startWhileRunning = startWhileRunning || (scope.TrigStatus()->isVisible() && start->isEnabled());
        return !scope.TrigStatus()->isVisible() && window->Session().Com().IsQueueEmpty();
    }, 30000)) << "the second run did not end";
    EXPECT_FALSE(startWhileRunning);
    EXPECT_TRUE(start->isEnabled());
    EXPECT_FALSE(scope.UpdateTimer()->isActive());
    std::vector<QString> tabs;
    for (int i = 0; i < scope.Tabs()->count(); ++i)
        tabs.push_back(scope.Tabs()->tabText(i));
    EXPECT_EQ(tabs, *c.secondSet ? std::vector<QString>{QString::fromLatin1(c.secondSet)} : std::vector<QString>{});
    EXPECT_EQ(scope.Sets().size(), tabs.size());
    EXPECT_EQ(told.size(), c.at == AbortAt::MoveSent ? 1u : 0u);
    EXPECT_EQ(writes(3), c.moves);
    EXPECT_EQ(sim.Register(3), origin);
}

INSTANTIATE_TEST_SUITE_P(Scope, AbortThenStartAtOnce,
                         ::testing::Values(AbortThenStart{"MoveReplyLost", AbortAt::MoveSent, false, "Scope 1", 4},
                                           AbortThenStart{"DuringTheUpload", AbortAt::Uploading, false, "Scope 2", 4},
                                           AbortThenStart{"BeforeTheMove", AbortAt::AtOnce, false, "Scope 1", 2},
                                           AbortThenStart{"TriggerNeverFires", AbortAt::AtOnce, true, "", 0}),
                         [](const ::testing::TestParamInfo<AbortThenStart>& info) { return std::string(info.param.name); });

// Quitting while a sample run has moved the motor out (aborted or not, by
// File > Exit or a signal, which close the window, or with the window simply
// going) waits until the motor has been sent back; the window says why.
enum class QuitRoad { ExitAfterAbort, ExitWhileRunning, WindowGoes };

class QuitDuringASampleRun : public MainWindowWithMotor, public ::testing::WithParamInterface<QuitRoad> {};

TEST_P(QuitDuringASampleRun, TheMotorIsSentBackFirst)
{
    MotorSim sim(0, 112);
    sim.SetRegister(2, 2);  // position mode: the default run moves forward and back
    sim.SetRegister(3, 1000);
    Connect(sim);
    Settle();
    ASSERT_TRUE(SpinUntil([&] { return window->Session().Motion().mode == 2; }));
    TfrmScope& scope = window->Forms().Scope();
    const auto positions = [&] {
        std::vector<std::int32_t> out;
        for (const SimFrame& f : sim.Requests())
            if (f.command == 0x52 && f.fields.size() > 1 && f.fields[1] == 3)
                out.push_back(MotorSim::WrittenValue(f).value_or(-1));
        return out;
    };
    scope.StartButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return positions().size() == 1; })) << "the run's move did not go out";
    ASSERT_NE(positions()[0], 1000);
    if (GetParam() == QuitRoad::ExitAfterAbort)
        scope.TrigStatus()->AbortButton()->click();

    bool shownWhy = false;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget())
            shownWhy = shownWhy || modal->objectName() == QStringLiteral("frmWaitForMotor");
    });
    look.start(5);
    if (GetParam() == QuitRoad::WindowGoes) {
        window.reset();
    } else {
        EXPECT_TRUE(window->close());
        EXPECT_TRUE(shownWhy) << "the window did not say why it waits";
    }
    EXPECT_EQ(positions().back(), 1000) << "the program ended with the motor out";
    EXPECT_EQ(positions().size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Roads, QuitDuringASampleRun,
                         ::testing::Values(QuitRoad::ExitAfterAbort, QuitRoad::ExitWhileRunning,
                                           QuitRoad::WindowGoes));

namespace {

void Key(QWidget* to, int key, const QString& text = QString())
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(to, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(to, &release);
}

}  // namespace

// The keyboard starts on the parameter pages. A typed address that is refused
// stays out of the list and leaves the link alone; one that is taken reconnects.
TEST_F(MainWindowWithMotor, TheAddressBoxRefusesWithoutTouchingTheLink)
{
    MotorSim sim(0, 112);
    Connect(sim);
    Settle();
    QApplication::setActiveWindow(window.get());
    auto onThePages = [&](QWidget* w) {
        return w && (w == window->ParameterPages() || window->ParameterPages()->isAncestorOf(w));
    };
    SpinUntil([&] { return onThePages(window->focusWidget()); });
    QWidget* focus = window->focusWidget();
    ASSERT_NE(focus, nullptr);
    EXPECT_TRUE(onThePages(focus)) << focus->metaObject()->className() << " " << focus->objectName().toStdString();

    auto* address = window->findChild<QComboBox*>(QStringLiteral("tbAddress"));
    ASSERT_NE(address, nullptr);
    QLineEdit* edit = address->lineEdit();
    ASSERT_NE(edit, nullptr);
    std::vector<QString> errors;
    window->Session().prompts.error = [&](const QString& text, const QString&) { errors.push_back(text); };
    const int items = address->count();
    sim.ClearLog();
    bool dropped = false;
    for (const char* typed : {"7", "x"}) {
        edit->setFocus();
        edit->end(false);
        Key(edit, typed[0] == '7' ? Qt::Key_7 : Qt::Key_X, QString::fromLatin1(typed));
        Key(edit, Qt::Key_Return, QStringLiteral("\r"));
        SpinUntil([&] {
            dropped = dropped || !window->Session().State().connected;
            return false;
        }, 500);
        address->clearFocus();  // a focus that leaves finishes the edit too
        SpinUntil([&] {
            dropped = dropped || !window->Session().State().connected;
            return false;
        }, 300);
    }
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0], QStringLiteral("'All7' is not a valid address"));
    EXPECT_EQ(errors[1], QStringLiteral("'Allx' is not a valid address"));
    EXPECT_EQ(address->count(), items);
    EXPECT_EQ(address->findText(QStringLiteral("All7")), -1);
    EXPECT_EQ(address->findText(QStringLiteral("Allx")), -1);
    EXPECT_EQ(address->currentText(), QStringLiteral("All"));
    EXPECT_EQ(window->Session().Address(), 255);
    EXPECT_FALSE(dropped) << "the link was dropped";
    for (const SimFrame& f : sim.Requests())
        EXPECT_FALSE(f.command == 0x50 && f.fields.size() > 1 && f.fields[1] == 1) << "register 1 read again";

    // A typed address that is taken reconnects to it.
    edit->setFocus();
    edit->selectAll();
    Key(edit, Qt::Key_1, QStringLiteral("1"));
    Key(edit, Qt::Key_Return, QStringLiteral("\r"));
    ASSERT_TRUE(SpinUntil([&] { return window->Session().Address() == 1; }));
    ASSERT_TRUE(SpinUntil([&] {
        for (const SimFrame& f : sim.Requests())
            if (f.command == 0x50 && f.fields.size() > 1 && f.fields[1] == 1 && f.fields[0] == 1)
                return true;
        return false;
    }));
    EXPECT_EQ(address->count(), items);
    EXPECT_EQ(errors.size(), 2u);
}

namespace {

bool Enabled(const std::vector<QAction*>& actions)
{
    return std::all_of(actions.begin(), actions.end(), [](QAction* a) { return a->isEnabled(); });
}
bool Disabled(const std::vector<QAction*>& actions)
{
    return std::none_of(actions.begin(), actions.end(), [](QAction* a) { return a->isEnabled(); });
}

}  // namespace

TEST_F(MainWindowWithMotor, MotorCommandsFollowTheConnectionAndTheOfflineMenuTheOpposite)
{
    MotorSim sim(0, 112);
    ASSERT_TRUE(sim.Start());
    setenv("QUENOR_COM1", sim.DevicePath().c_str(), 1);
    sim.SetSilent(true);
    QuenorOptions options;
    options.timings = Fast();
    window = std::make_unique<TfrmQuenor>(options);
    window->show();
    window->InitAfterCreate(QString());
    Spin(200);  // the motor stays silent: nothing may be enabled
    EXPECT_TRUE(Disabled(window->MotorCommands()));
    EXPECT_TRUE(window->OfflineMenu()->menuAction()->isVisible());

    sim.SetSilent(false);
    ASSERT_TRUE(SpinUntil([&] { return window->Session().State().connected; }));
    EXPECT_TRUE(Enabled(window->MotorCommands()));
    EXPECT_FALSE(window->OfflineMenu()->menuAction()->isVisible());
    // The filter selector serves the servo families.
    int filterItems = 0;
    for (QAction* a : window->findChildren<QAction*>()) {
        if (a->text() == QStringLiteral("&Filter setup")) {
            EXPECT_TRUE(a->isEnabled());
            ++filterItems;
        }
    }
    EXPECT_EQ(filterItems, 2);

    // The menu's commands reach the motor.
    auto commands = [&] {
        int n = 0;
        for (const SimFrame& f : sim.Requests())
            n += f.command >= 0x52 && f.command <= 0x57;
        return n;
    };
    int tried = 0;
    for (QAction* a : window->MotorCommands()) {
        if (a->text() != QStringLiteral("&Save in motor"))
            continue;
        const int before = commands();
        a->trigger();
        EXPECT_TRUE(SpinUntil([&] { return commands() > before; }));
        ++tried;
    }
    EXPECT_EQ(tried, 1);
}

TEST(MainWindow, ExactlyOneDroppedSetupFileIsLoaded)
{
    test::TestApp();
    setenv("QUENOR_COM1", "/dev/quenor-no-such-port", 1);
    QTemporaryDir dir;
    auto write = [&](const char* name, const char* text) {
        QFile f(dir.path() + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    };
    write("drop.VeK", "[Vek Setup file]\r\n[Motor type 3]\r\nMax velocity = 77\r\n");
    write("drop.txt", "[Vek Setup file]\r\n[Motor type 3]\r\nMax velocity = 88\r\n");
    QuenorOptions options;
    options.timings = Fast();
    TfrmQuenor window(options);
    window.InitAfterCreate(QString());
    test::DeliverPosted();
    auto drop = [&](const QList<QUrl>& urls) {
        QMimeData mime;
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &enter);
        QDropEvent event(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &event);
        test::DeliverPosted();
    };
    const QUrl veK = QUrl::fromLocalFile(dir.path() + "/drop.VeK");
    const std::int32_t before = ByCaption(window, "Max velocity")->Value();
    drop({QUrl::fromLocalFile(dir.path() + "/drop.txt")});
    drop({veK, veK});
    EXPECT_EQ(ByCaption(window, "Max velocity")->Value(), before);
    drop({veK});
    EXPECT_EQ(ByCaption(window, "Max velocity")->Value(), 77);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Quenor - ") + dir.path() + "/drop.VeK");
    unsetenv("QUENOR_COM1");
}

// The endurance test moves the motors: it runs only while a motor is
// connected and in position mode (register 2 value 2), and stops the moment
// the motor leaves it or goes away. A motor that comes back never starts it.
TEST_F(MainWindowWithMotor, TheEnduranceTestRunsOnlyWithAMotorInPositionMode)
{
    MotorSim sim(1, 72);
    sim.SetLinkPath("/tmp/quenor-endurance-" + std::to_string(::getpid()));
    sim.SetRegister(2, 0);  // passive
    Connect(sim);
    Settle();
    TTestsPage& page = window->Forms().TestsPage();
    QPushButton* start = page.btnStartStop;
    auto moves = [&] {
        int n = 0;
        for (const SimFrame& f : sim.Requests())
            if (f.command == 0x52 && f.fields.size() > 1 && f.fields[1] == 43)
                ++n;
        return n;
    };
    // A start asked for while it may not run moves nothing.
    auto startRefused = [&](const char* when) {
        EXPECT_FALSE(start->isEnabled()) << when;
        start->click();
        page.StartTest();
        EXPECT_EQ(start->text(), QStringLiteral("Start")) << when;
        EXPECT_FALSE(window->Session().Tests().Running()) << when;
    };

    startRefused("passive");
    Spin(1000);  // nothing may move
    EXPECT_EQ(moves(), 0);

    // Position mode: Start is enabled and the test moves.
    sim.SetRegister(2, 2);
    ASSERT_TRUE(SpinUntil([&] { return start->isEnabled(); })) << "Start stays disabled in position mode";
    page.cbWaitForInPosition->setChecked(false);
    start->click();
    EXPECT_EQ(start->text(), QStringLiteral("Stop"));
    ASSERT_TRUE(SpinUntil([&] { return moves() >= 3; }));

    // The motor leaves position mode while the test runs: the test stops at once.
    sim.SetRegister(2, 0);
    ASSERT_TRUE(SpinUntil([&] { return !start->isEnabled(); })) << "Start stays enabled in passive mode";
    int seen = moves();
    EXPECT_TRUE(SpinUntil([&] { return !window->Session().Tests().Running(); })) << "the test runs on";
    EXPECT_EQ(start->text(), QStringLiteral("Start"));
    EXPECT_FALSE(start->isEnabled());
    Spin(1500);  // nothing more may move
    EXPECT_LE(moves(), seen + 1) << "the test goes on moving outside position mode";

    // Started and stopped in position mode, then the motor is unplugged: no
    // start while it is away, and none by itself when it comes back.
    sim.SetRegister(2, 2);
    ASSERT_TRUE(SpinUntil([&] { return start->isEnabled(); }));
    seen = moves();
    start->click();
    ASSERT_TRUE(SpinUntil([&] { return moves() > seen; }));
    start->click();
    EXPECT_EQ(start->text(), QStringLiteral("Start"));
    sim.Stop();
    ASSERT_TRUE(SpinUntil([&] { return !window->Session().State().connected; }));
    startRefused("unplugged");
    sim.ClearLog();
    ASSERT_TRUE(sim.Start());
    ASSERT_TRUE(SpinUntil([&] { return window->Session().State().connected; }));
    Settle();
    ASSERT_TRUE(SpinUntil([&] { return start->isEnabled(); })) << "Start stays disabled in position mode";
    Spin(1500);  // nothing may move
    EXPECT_EQ(moves(), 0) << "the motor moved by itself when it came back";
    EXPECT_EQ(start->text(), QStringLiteral("Start"));
    sim.Stop();
}

// The run-control bar's labels are whole at the default window size and at
// 1024 x 768, in every state of the module; where the window is wide enough
// they sit in the buttons' row.
TEST_F(MainWindowWithMotor, TheRunControlBarShowsItsTextsWholeAtEveryWindowSize)
{
    MotorSim sim(0, 112);
    sim.SetModuleType(4);
    Connect(sim);
    Settle();
    TQuenorForms& forms = window->Forms();
    ASSERT_TRUE(window->ParameterPages()->isTabVisible(window->ParameterPages()->indexOf(forms.VizuPage())));
    window->ParameterPages()->setCurrentWidget(forms.VizuPage());
    window->Session().Program().Program().SetType(kProgramAbsoluteRelative);
    forms.Editor().FormResize();

    TRunControlBar& bar = forms.RunBar();
    QWidget* panel = forms.Editor().TopPanel();
    const QPushButton* buttons[] = {bar.TransferButton, bar.StartButton, bar.StopButton, bar.PauseButton,
                                    bar.SingleStepButton};
    auto whole = [&](const QLabel* l) {
        const QRect r = l->geometry();
        return r.width() >= l->fontMetrics().horizontalAdvance(l->text()) && r.left() >= 0 &&
               r.right() < bar.width() && bar.geometry().bottom() < panel->height() &&
               panel->geometry().bottom() < forms.Editor().height();
    };
    const std::pair<int, int> sizes[] = {{1000, 720}, {1024, 768}, {1600, 900}};
    for (const auto& [w, h] : sizes) {
        window->resize(w, h);
        SpinUntil([&] { return window->width() == w; });
        test::DeliverPosted();  // and the layouts that follow it
        ASSERT_EQ(window->width(), w);
        ASSERT_EQ(window->ParameterPages()->currentWidget(), forms.VizuPage());
        // The module's own status is shown between the sizes; each state below
        // is shown and measured without the event loop in between.
        for (int state = 0; state <= 12; ++state) {
            for (int checksum : {0, 7, 2027, 40000, 65535}) {
                std::vector<std::uint8_t> block(64, 0);
                block[0] = static_cast<std::uint8_t>(state);
                block[4] = static_cast<std::uint8_t>(checksum & 0xFF);
                block[5] = static_cast<std::uint8_t>(checksum >> 8);
                window->Session().RunControl().ShowModuleStatus(block);
                bar.Refresh();
                const std::string at = std::to_string(w) + " x " + std::to_string(h) + ", state " +
                                       std::to_string(state) + ", checksum " + std::to_string(checksum);
                ASSERT_FALSE(bar.TransferedLabel->isHidden()) << at;
                for (const QLabel* l : {bar.DebugInfoLabel, bar.CHSLabel, bar.TransferedLabel}) {
                    EXPECT_TRUE(whole(l)) << at << ": " << l->objectName().toStdString() << " " << l->text().toStdString()
                                          << " at " << l->geometry().x() << "+" << l->geometry().width() << " in "
                                          << bar.width();
                    for (const QPushButton* b : buttons)
                        EXPECT_FALSE(l->geometry().intersects(b->geometry())) << at << ": " << l->objectName().toStdString();
                }
                EXPECT_FALSE(bar.DebugInfoLabel->geometry().intersects(bar.CHSLabel->geometry())) << at;
                EXPECT_FALSE(bar.CHSLabel->geometry().intersects(bar.TransferedLabel->geometry())) << at;
                // The warning at the checksum's top, 7 pixels right of its right edge.
                EXPECT_EQ(bar.TransferedLabel->y(), bar.CHSLabel->y()) << at;
                EXPECT_EQ(bar.TransferedLabel->x(), bar.CHSLabel->geometry().right() + 1 + 7) << at;
                if (w >= 1600) {  // room for everything in the buttons' row
                    EXPECT_LT(bar.TransferedLabel->geometry().bottom(), TVizuWare::kTopPanelHeight) << at;
                    EXPECT_EQ(panel->height(), TVizuWare::kTopPanelHeight) << at;
                }
            }
        }
    }
}

// The run-control bar's buttons reach the run control: Transfer & Start sends
// the editor's program to the module.
TEST_F(MainWindowWithMotor, TheBarsButtonsTransferAndStartTheProgram)
{
    MotorSim sim(2, 112);
    sim.SetModuleInfo(MotorSim::ModuleInfoFor(4));
    sim.SetRegister(regs::f2::MOTOR_TYPE, 64);
    Connect(sim);
    Settle();
    TQuenorForms& forms = window->Forms();
    window->ParameterPages()->setCurrentWidget(forms.VizuPage());
    window->Session().Program().Program().SetType(kProgramAbsoluteRelative);
    forms.Editor().FormResize();
    ASSERT_FALSE(window->Session().Program().Transferred());
    forms.RunBar().TransferButton->click();
    EXPECT_TRUE(SpinUntil([&] { return window->Session().Program().Transferred(); }));
}

namespace {

// Watches the modal windows (dialogs and boxes) as they open: notes each with
// its title, its text (a message box's) and how many modal windows were open
// then, and hands it to answer, which runs inside the window's own event loop.
// One still open a minute on is closed, so that a test that misses a box
// fails instead of hanging.
class ModalWindows : public QObject {
public:
    struct Seen {
        QString title;
        QString text;
        int open = 0;  // modal windows open, this one included
    };
    explicit ModalWindows(std::function<void(QWindow*)> answer) : answer_(std::move(answer))
    {
        connect(&timer_, &QTimer::timeout, this, [this] { Look(); });
        timer_.start(10);
        clock_.start();
    }
    // The widget that a window shows, if any.
    static QWidget* WidgetOf(QWindow* window)
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->windowHandle() == window)
                return w;
        return nullptr;
    }
    std::vector<Seen> seen;

private:
    static int OpenCount()
    {
        int n = 0;
        for (QWindow* w : QGuiApplication::topLevelWindows())
            n += w->isVisible() && w->modality() != Qt::NonModal;
        return n;
    }
    void Look()
    {
        QWindow* top = QGuiApplication::modalWindow();
        if (!top)
            return;
        if (std::any_of(known_.begin(), known_.end(), [top](const QPointer<QWindow>& w) { return w == top; })) {
            if (clock_.elapsed() > 60000) {
                ADD_FAILURE() << "left open: " << top->title().toStdString();
                top->close();
            }
            return;
        }
        known_.emplace_back(top);
        const auto* box = qobject_cast<QMessageBox*>(WidgetOf(top));
        seen.push_back({top->title(), box ? box->text() : QString(), OpenCount()});
        QPointer<QWindow> window(top);
        QTimer::singleShot(0, this, [this, window] {
            if (window)
                answer_(window);
        });
    }

    std::function<void(QWindow*)> answer_;
    std::vector<QPointer<QWindow>> known_;
    QTimer timer_;
    QElapsedTimer clock_;
};

void WriteText(const QString& path, const char* text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

QString ReadText(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
}

void Click(QWindow* window, QMessageBox::StandardButton button)
{
    auto* box = qobject_cast<QMessageBox*>(ModalWindows::WidgetOf(window));
    ASSERT_TRUE(box && box->button(button)) << window->title().toStdString();
    box->button(button)->click();
}

// A modal window of the program, and how it is opened and closed.
struct ModalRoad {
    const char* name;
    // Opens the window: returns once it has closed, or at once (open()).
    std::function<void(TfrmQuenor&)> open;
    // Closes it; saveAs is the name to type into a file dialog.
    std::function<void(QWindow*, const QString& saveAs)> close = [](QWindow* window, const QString&) {
        window->close();
    };
};

const ModalRoad kModalRoads[] = {
    {"SaveAs", [](TfrmQuenor& w) { w.SaveAsClick(); },
     [](QWindow* window, const QString& saveAs) {
         auto* dialog = qobject_cast<QDialog*>(ModalWindows::WidgetOf(window));
         ASSERT_NE(dialog, nullptr);
         auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
         ASSERT_NE(edit, nullptr);
         edit->setText(saveAs);  // typed
         dialog->accept();
     }},
    // A box without an owner blocks every window.
    {"MessageBoxWithoutOwner",
     [](TfrmQuenor&) { QMessageBox::warning(nullptr, QStringLiteral("Warning"), QStringLiteral("Careful")); }},
    // Opened with open(), window-modal, without an owner: it returns at once
    // and blocks no window at all.
    {"WindowModalWithoutOwner",
     [](TfrmQuenor&) {
         auto* dialog = new QDialog;
         dialog->setAttribute(Qt::WA_DeleteOnClose);
         dialog->open();
     }},
    // How Qt keeps a native dialog (the desktop's file dialog): a modal
    // window that is never shown on the screen.
    {"NativeDialog",
     [](TfrmQuenor& w) {
         QDialog dialog(&w);
         dialog.setAttribute(Qt::WA_DontShowOnScreen);
         dialog.exec();
     }},
    // A modal window that is no widget.
    {"ModalWindowWithoutWidget",
     [](TfrmQuenor&) {
         auto* window = new QWindow;
         window->setModality(Qt::ApplicationModal);
         QObject::connect(window, &QWindow::visibleChanged, window, [window](bool shown) {
             if (!shown)
                 window->deleteLater();
         });
         window->show();
     }},
};

void PrintTo(const ModalRoad& road, std::ostream* os) { *os << road.name; }

class HandOverUnderModal : public MainWindowOffline, public ::testing::WithParamInterface<ModalRoad> {};

}  // namespace

// A file handed over while a dialog or a box is open waits until it has
// closed: Save As writes what the window showed when it was opened, and the
// files handed over meanwhile open afterwards, in the order they came.
TEST_P(HandOverUnderModal, WaitsUntilTheWindowHasClosed)
{
    QTemporaryDir dir;
    const QString a = dir.path() + "/A.vek", w = dir.path() + "/W.vek", v = dir.path() + "/V.vek";
    const QString saved = dir.path() + "/S.vek";
    WriteText(a, "[Vek Setup file]\r\n[Motor type 3]\r\n[Filter Type 2]\r\nMax velocity = 1111\r\n");
    WriteText(w, "[Vek Setup file]\r\n[Motor type 4]\r\n[Filter Type 2]\r\nMax velocity = 6666\r\n");
    WriteText(v, "[Vek Setup file]\r\n[Motor type 4]\r\n[Filter Type 2]\r\nMax velocity = 3333\r\n");
    TfrmQuenor& window = Open(a);
    ASSERT_TRUE(SpinUntil([&] { return window.Session().FileName() == a; }));
    ASSERT_EQ(ByCaption(window, "Max velocity")->Value(), 1111);

    // Every file the window names, and whether a modal window was open then.
    std::vector<std::pair<std::string, bool>> named;
    QObject::connect(&window, &QWidget::windowTitleChanged, [&](const QString& title) {
        named.emplace_back(title.toStdString(), QApplication::activeModalWidget() != nullptr);
    });
    const ModalRoad& road = GetParam();
    bool closed = false;
    int typeUnder = 0;
    ModalWindows modal([&](QWindow* top) {
        window.BringToFront(w);
        window.BringToFront(v);
        test::DeliverPosted();  // the hand-overs arrive under the modal window
        typeUnder = window.Session().MotorType();
        // The window came to the front with the dialog that it waits for on top.
        if (QWidget* shown = QApplication::activeModalWidget(); shown && !shown->testAttribute(Qt::WA_DontShowOnScreen)) {
            EXPECT_EQ(QApplication::activeWindow(), shown) << "the window was put over its dialog";
        }
        road.close(top, saved);
        closed = true;
    });
    road.open(window);
    ASSERT_TRUE(SpinUntil([&] { return closed; }));
    EXPECT_EQ(typeUnder, 3) << "a file handed over was opened under the modal window";
    ASSERT_EQ(modal.seen.size(), 1u);
    if (std::string(road.name) == "SaveAs") {
        // What the window showed when Save As was chosen: A's type and values.
        const QString text = ReadText(saved);
        EXPECT_TRUE(text.contains(QStringLiteral("[Motor type 3]\r\n"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("\r\nMax velocity += 1111\r\n"))))
            << text.toStdString();
    }

    // Then the files handed over open, in the order they came.
    ASSERT_TRUE(SpinUntil([&] { return window.Session().FileName() == v; }));
    EXPECT_EQ(ByCaption(window, "Max velocity")->Value(), 3333);
    std::vector<std::pair<std::string, bool>> expected;
    if (std::string(road.name) == "SaveAs")
        expected.emplace_back("Quenor - " + saved.toStdString(), false);
    expected.emplace_back("Quenor - " + w.toStdString(), false);
    expected.emplace_back("Quenor - " + v.toStdString(), false);
    EXPECT_EQ(named, expected);
}

INSTANTIATE_TEST_SUITE_P(Windows, HandOverUnderModal, ::testing::ValuesIn(kModalRoads),
                         [](const ::testing::TestParamInfo<ModalRoad>& info) { return std::string(info.param.name); });

// File > Open, the tool bar's Open and Ctrl+O: the file chosen in the dialog
// opens and joins the recent files, which the settings keep at the end.
TEST_F(MainWindowOffline, EveryOpenCommandAddsTheFileToTheRecentFiles)
{
    QTemporaryDir dir;
    TfrmQuenor& window = Open();
    QAction* menuOpen = nullptr;
    for (QAction* a : window.findChildren<QAction*>())
        if (a->text() == QStringLiteral("&Open..."))
            menuOpen = a;
    QAction* toolOpen = nullptr;
    for (QAction* a : window.findChild<QToolBar*>(QStringLiteral("tbxToolbar"))->actions())
        if (a->text() == QStringLiteral("Open"))
            toolOpen = a;
    ASSERT_TRUE(menuOpen && toolOpen);

    const std::pair<const char*, std::function<void()>> roads[] = {
        {"menu", [&] { menuOpen->trigger(); }},
        {"toolbar", [&] { toolOpen->trigger(); }},
        {"shortcut", [&] { QTest::keyClick(&window, Qt::Key_O, Qt::ControlModifier); }},
    };
    std::vector<QString> opened;
    for (const auto& [road, open] : roads) {
        const QString file = dir.path() + "/" + road + ".vek";
        WriteText(file, "[Vek Setup file]\r\n[Motor type 4]\r\n[Filter Type 2]\r\nMax velocity = 4321\r\n");
        ModalWindows modal([&](QWindow* top) {
            auto* dialog = qobject_cast<QFileDialog*>(ModalWindows::WidgetOf(top));
            ASSERT_NE(dialog, nullptr) << top->title().toStdString();
            auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(edit, nullptr);
            edit->setText(file);  // typed, then Return
            static_cast<QDialog*>(dialog)->accept();
        });
        // The keys go to the window the user works in.
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(SpinUntil([&] { return QApplication::activeWindow() == &window; }));
        open();
        ASSERT_TRUE(SpinUntil([&] { return window.Session().FileName() == file; })) << road;
        EXPECT_EQ(modal.seen.size(), 1u) << road;
        opened.insert(opened.begin(), file);
        EXPECT_EQ(window.Session().RecentFiles(), opened) << road;
    }
    window.close();
    this->window.reset();
    QSettings settings(QStringLiteral("Tovik"), QStringLiteral("Quenor"));
    for (std::size_t i = 0; i < opened.size(); ++i)
        EXPECT_EQ(settings.value(QStringLiteral("MRUList/MRU%1").arg(i + 1)).toString(), opened[i]);
}

// A second start brings a minimised window back as it was before: a
// maximised one stays maximised.
TEST_F(MainWindowOffline, ASecondStartRestoresTheWindowAsItWas)
{
    TfrmQuenor& window = Open();
    for (const bool maximised : {true, false}) {
        if (maximised)
            window.showMaximized();
        else
            window.showNormal();
        window.showMinimized();
        ASSERT_TRUE(window.isMinimized());
        window.BringToFront(QString());
        EXPECT_FALSE(window.isMinimized()) << maximised;
        EXPECT_EQ(window.isMaximized(), maximised);
        EXPECT_TRUE(window.isVisible());
    }
}

namespace {

// How the exit question is answered.
enum class ExitAnswer { No, Yes, Cancel };

void PrintTo(ExitAnswer a, std::ostream* os)
{
    *os << (a == ExitAnswer::No ? "No" : a == ExitAnswer::Yes ? "Yes" : "Cancel");
}

class HandOverWhileClosing : public MainWindowWithMotor, public ::testing::WithParamInterface<ExitAnswer> {};

}  // namespace

// Files handed over while the exit question is open wait for it. When the
// window closes (No, or Yes and the program saved), none of them is opened,
// then or later; when it stays open (Cancel), each is asked about in the
// order they came, once the question has closed.
TEST_P(HandOverWhileClosing, NothingOpensWhileTheWindowCloses)
{
    MotorSim sim(0, 112);
    sim.SetRegister(153, 4);  // a VekD, as the files
    Connect(sim);
    Settle();
    QTemporaryDir dir;
    const QString w = dir.path() + "/W.vek", v = dir.path() + "/V.vek", saved = dir.path() + "/S.vek";
    WriteText(w, "[Vek Setup file]\r\n[Motor type 4]\r\n[Filter Type 2]\r\nMax velocity = 6666\r\n");
    WriteText(v, "[Vek Setup file]\r\n[Motor type 4]\r\n[Filter Type 2]\r\nMax velocity = 7777\r\n");
    const std::int32_t before = sim.Register(5);
    window->SetFileCaption(saved);  // Save writes here without asking
    window->Session().Program().Program().SetRemark(0, "pick and place");
    window->Session().Program().SetModified(true);

    const ExitAnswer answer = GetParam();
    const QString exitCaption = QStringLiteral("VekMRP program changed");
    const QString transfer = QStringLiteral("Parameter transfer");
    ModalWindows modal([&](QWindow* top) {
        if (top->title() == exitCaption) {
            window->BringToFront(w);
            window->BringToFront(v);
            test::DeliverPosted();  // the hand-overs arrive under the question
            Click(top, answer == ExitAnswer::No    ? QMessageBox::No
                       : answer == ExitAnswer::Yes ? QMessageBox::Yes
                                                   : QMessageBox::Cancel);
        } else if (top->title() == transfer) {
            Click(top, QMessageBox::Yes);
        } else {
            ADD_FAILURE() << "unexpected: " << top->title().toStdString();
            top->close();
        }
    });
    EXPECT_EQ(window->close(), answer != ExitAnswer::Cancel);

    if (answer == ExitAnswer::Cancel) {
        // Each file with its own question, asked after the exit question closed.
        ASSERT_TRUE(SpinUntil([&] { return sim.Register(5) == 7777; }, 30000));
        ASSERT_EQ(modal.seen.size(), 3u);
        const QString question = QStringLiteral("The parameters in file\n%1\nWill be transferred to the motor\n"
                                                "Are you sure you want this?");
        for (int i : {1, 2}) {
            EXPECT_EQ(modal.seen[i].title.toStdString(), transfer.toStdString());
            EXPECT_EQ(modal.seen[i].text.toStdString(), question.arg(i == 1 ? w : v).toStdString());
            EXPECT_EQ(modal.seen[i].open, 1) << "asked while the exit question was open";
        }
        EXPECT_TRUE(window->isVisible());
        return;
    }
    EXPECT_FALSE(window->isVisible());
    Spin(1000);  // nothing may be asked or written now
    ASSERT_GE(modal.seen.size(), 1u);
    EXPECT_EQ(modal.seen[0].title.toStdString(), exitCaption.toStdString());
    EXPECT_EQ(modal.seen.size(), 1u) << modal.seen.back().title.toStdString() << " opened while the window closed";
    EXPECT_EQ(sim.Register(5), before);
    EXPECT_EQ(window->Session().FileName().toStdString(), saved.toStdString());
    if (answer == ExitAnswer::Yes) {
        // The save the user asked for holds the motor's value, not a file's.
        const QString text = ReadText(saved);
        EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("\r\nMax velocity += %1\r\n").arg(before))))
            << text.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, HandOverWhileClosing,
                         ::testing::Values(ExitAnswer::No, ExitAnswer::Yes, ExitAnswer::Cancel),
                         [](const ::testing::TestParamInfo<ExitAnswer>& info) {
                             return ::testing::PrintToString(info.param);
                         });

namespace {

// The roads by which the window saves its setup file.
enum class SaveRoad { Save, SaveAs, ExitQuestion };

void PrintTo(SaveRoad r, std::ostream* os)
{
    *os << (r == SaveRoad::Save ? "Save" : r == SaveRoad::SaveAs ? "SaveAs" : "ExitQuestion");
}

// Why a save fails: the disk cannot take the file, or the file is one that
// the user may not write (his own, made read-only).
enum class SaveFault { FullDisk, ReadOnlyFile };

class FailedSave : public MainWindowOffline,
                   public ::testing::WithParamInterface<std::tuple<SaveRoad, SaveFault>> {};

}  // namespace

// A save that fails, by whichever road: its box says why, the old file keeps
// every byte, the title its name, the recent files stay as they were, the
// program still counts as unsaved, and the window that was to close stays open.
TEST_P(FailedSave, SaysWhyAndChangesNothing)
{
    const auto [road, fault] = GetParam();
    QTemporaryDir dir;
    QString old = dir.path() + "/old.vek";
    TfrmQuenor& window = Open();
    ASSERT_TRUE(window.Session().SaveSetupFile(old));
    const QString oldText = ReadText(old);
    const test::UsersFolder users;
    if (fault == SaveFault::ReadOnlyFile) {
        // The window shows a file of the user's that he made read-only.
        old = QFile::decodeName(users.ReadOnlyFile("old.vek", oldText.toStdString()).c_str());
        ASSERT_FALSE(old.isEmpty());
        window.Session().LoadSetupFile(old);
        test::DeliverPosted();
    }
    const QString title = window.windowTitle();
    ASSERT_EQ(title, QStringLiteral("Quenor - ") + old);
    dynamic_cast<CParamControlEdit*>(ByCaption(window, "Max velocity"))->EnterPressed("777");
    test::DeliverPosted();
    window.Session().Program().Program().SetRemark(0, "pick and place");
    window.Session().Program().SetModified(true);
    const std::vector<QString> recent = window.Session().RecentFiles();

    ModalWindows modal([&](QWindow* top) {
        if (auto* dialog = qobject_cast<QFileDialog*>(ModalWindows::WidgetOf(top))) {
            auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(edit, nullptr);
            edit->setText(old);  // typed, then Return: the dialog asks before it replaces
            static_cast<QDialog*>(dialog)->accept();
        } else if (top->title() == QStringLiteral("VekMRP program changed")) {
            Click(top, QMessageBox::Yes);
        } else if (auto* box = qobject_cast<QMessageBox*>(ModalWindows::WidgetOf(top));
                   box && box->text().contains(QStringLiteral("already exists"))) {
            Click(top, QMessageBox::Yes);
        } else {
            top->close();
        }
    });
    const auto save = [&] {
        if (road == SaveRoad::Save)
            window.SaveClick();
        else if (road == SaveRoad::SaveAs)
            window.SaveAsClick();
        else
            EXPECT_FALSE(window.close());
    };
    if (fault == SaveFault::FullDisk) {
        test::FileSizeLimit full(1024);  // the file is some 3 KB
        save();
    } else {
        ASSERT_TRUE(test::AsOtherUser(save));
    }
    ASSERT_TRUE(SpinUntil([&] { return QGuiApplication::modalWindow() == nullptr; }));
    std::vector<QString> boxes;
    for (const auto& seen : modal.seen)
        if (seen.title == QStringLiteral("Save error!"))
            boxes.push_back(seen.text);
    ASSERT_EQ(boxes.size(), 1u);
    // Save As: the file dialog and its question whether to replace; exit: its question.
    EXPECT_EQ(modal.seen.size(), road == SaveRoad::Save ? 1u : road == SaveRoad::SaveAs ? 3u : 2u);
    EXPECT_EQ(boxes[0], QStringLiteral("Error saving the file <%1>\nError: The file cannot be written: %2.")
                            .arg(old, fault == SaveFault::FullDisk ? "file too large" : "permission denied"));
    EXPECT_EQ(ReadText(old), oldText);
    EXPECT_EQ(window.windowTitle(), title);
    EXPECT_EQ(window.Session().RecentFiles(), recent);
    EXPECT_TRUE(window.Session().Program().Modified());
    EXPECT_TRUE(window.isVisible());
}

INSTANTIATE_TEST_SUITE_P(Roads, FailedSave,
                         ::testing::Combine(::testing::Values(SaveRoad::Save, SaveRoad::SaveAs, SaveRoad::ExitQuestion),
                                            ::testing::Values(SaveFault::FullDisk, SaveFault::ReadOnlyFile)),
                         [](const auto& info) {
                             return ::testing::PrintToString(std::get<0>(info.param)) +
                                    (std::get<1>(info.param) == SaveFault::FullDisk ? "_FullDisk" : "_ReadOnlyFile");
                         });
