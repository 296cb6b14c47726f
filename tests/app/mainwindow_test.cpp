// What only the main window shows: its caption, the port menu, the pages of a
// generation and their order, the menus that follow the connection, offline
// types chosen from the menu, a dropped file. The session's logic is tested
// headless in tests/session.

#include "app/ui/quenormain.h"
#include "params/paramkinds.h"
#include "tools/motorsim/motorsim.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QDropEvent>
#include <QFile>
#include <QFrame>
#include <QMimeData>
#include <QTemporaryDir>
#include <QMenu>
#include <QElapsedTimer>
#include <QSettings>
#include <QTabWidget>
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/qtapp.h"

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
        EXPECT_TRUE(SpinUntil([&] { return window->Session().Com().IsQueueEmpty(); }));
        Spin(200);
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
    Spin(200);
    EXPECT_EQ(window.Session().Generation(), 0);
    EXPECT_EQ(window.Session().MotorType(), 3);
    EXPECT_EQ(window.ProgramMenu()->title(), QStringLiteral("VekMRP"));
    EXPECT_FALSE(window.Session().State().connected);

    // The common set posts 210 for register 5: "Max velocity" shows it scaled.
    CParamControl* maxVel = ByCaption(window, "Max velocity");
    ASSERT_NE(maxVel, nullptr);
    EXPECT_EQ(maxVel->Value(), 210);

    // An edit offline travels the road of a write and comes straight back.
    auto* edit = dynamic_cast<CParamControlEdit*>(maxVel);
    ASSERT_NE(edit, nullptr);
    edit->EnterPressed("1000");
    Spin(100);
    EXPECT_EQ(maxVel->Value(), 2097);  // 1000 / 0.4768... rounded

    // A change still queued when the pages are rebuilt is not written with
    // the new pages' value.
    edit->EnterPressed("900");
    window.OfflineAction(14)->trigger();
    Spin(100);
    EXPECT_EQ(window.Session().Generation(), 1);
    ASSERT_FALSE(window.Session().RegisterList(5).empty());
    EXPECT_EQ(window.Session().RegisterList(5).front()->Value(), 277);  // family 1's common set

    // Choosing the stepper Qor offline switches to family 2 and posts its set.
    window.OfflineAction(64)->trigger();
    Spin(100);
    EXPECT_EQ(window.Session().Generation(), 2);
    EXPECT_EQ(window.Session().MotorType(), 64);
    EXPECT_EQ(window.ProgramMenu()->title(), QStringLiteral("Programming"));
    const auto& list5 = window.Session().RegisterList(5);
    ASSERT_FALSE(list5.empty());
    EXPECT_EQ(list5.front()->Value(), 250);

    // WibA (type 68) posts nothing at all.
    window.OfflineAction(68)->trigger();
    Spin(100);
    EXPECT_EQ(window.Session().MotorType(), 68);
    unsetenv("QUENOR_COM1");
}

// At the default size and at 1024 x 768 the status view is a plain panel
// whose rows all show, and the warnings line keeps to its own panel, with a
// gap before the connection text.
TEST(MainWindow, TheStatusViewAndTheStatusBarShowEverything)
{
    test::TestApp();
    QSettings(QStringLiteral("Tovik"), QStringLiteral("Quenor")).clear();
    setenv("QUENOR_COM1", "/dev/quenor-no-such-port", 1);
    TfrmQuenor window;
    window.show();
    window.InitAfterCreate(QString());
    Spin(100);
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
            Spin(50);
            for (const int mask : {0x1, 0x4, 0x4004}) {
                const std::string where = std::to_string(size.width()) + " type " + std::to_string(type) +
                                          " mask " + std::to_string(mask);
                window.Session().ArrangeControls(mask);
                Spin(50);
                const QRect shown(view->mapTo(&window, QPoint(0, 0)), view->size());
                EXPECT_TRUE(window.centralWidget()->geometry().contains(shown)) << where;
                int rows = 0;
                for (QWidget* row : view->findChildren<QWidget*>()) {
                    if (!row->isVisibleTo(view))
                        continue;
                    ++rows;
                    EXPECT_TRUE(view->rect().contains(QRect(row->mapTo(view, QPoint(0, 0)), row->size())))
                        << where << ": " << row->metaObject()->className();
                }
                EXPECT_GT(rows, 10) << where;
            }
            // The warnings line is clipped inside its panel, well before the
            // connection text starts (three pixels into its panel).
            const int warningsEnd = panel0->mapTo(&window, panel0->contentsRect().topRight()).x();
            const int connectionStart = panel1->mapTo(&window, panel1->contentsRect().topLeft()).x() + 3;
            EXPECT_GE(connectionStart - warningsEnd, 5) << size.width();
        }
    }
    unsetenv("QUENOR_COM1");
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
    Spin(200);
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
    Spin(100);
    auto drop = [&](const QList<QUrl>& urls) {
        QMimeData mime;
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &enter);
        QDropEvent event(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &event);
        Spin(50);
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
