// The main window against a simulated motor: connect, the reads that follow,
// an edit's frame on the wire, the generation switch, offline edits and the
// default values of an offline motor type.

#include "app/ui/quenormain.h"
#include "params/paramkinds.h"
#include "tools/motorsim/motorsim.h"

#include <QAction>
#include <QDropEvent>
#include <QFile>
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

// Register writes (0x52) the motor received, as (register, width, value).
struct Write {
    int reg;
    int width;
    std::int64_t value;
};
std::vector<Write> Writes(const MotorSim& sim)
{
    std::vector<Write> out;
    for (const SimFrame& f : sim.Requests()) {
        if (f.command != 0x52 || f.fields.size() < 3)
            continue;
        Write w{f.fields[1], f.fields[2], 0};
        for (int i = 0; i < w.width && 3 + i < static_cast<int>(f.fields.size()); ++i)
            w.value |= static_cast<std::int64_t>(f.fields[3 + i]) << (8 * i);
        out.push_back(w);
    }
    return out;
}

std::vector<int> ReadRegisters(const MotorSim& sim)
{
    std::vector<int> out;
    for (const SimFrame& f : sim.Requests())
        if (f.command == 0x50 && f.fields.size() >= 2)
            out.push_back(f.fields[1]);
    return out;
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
    const auto& list5 = window.Session().RegisterList(5);
    ASSERT_FALSE(list5.empty());
    EXPECT_EQ(list5.front()->Value(), 250);

    // WibA (type 68) posts nothing at all.
    window.OfflineAction(68)->trigger();
    Spin(100);
    EXPECT_EQ(window.Session().MotorType(), 68);
    unsetenv("QUENOR_COM1");
}

TEST_F(MainWindowWithMotor, ConnectReadsTypeSerialAndEveryBoundRegister)
{
    MotorSim sim(0, 112);
    sim.SetRegister(153, 4);  // a VekD
    sim.SetRegister(154, 4321);
    sim.SetRegister(5, 1234);
    sim.SetRegister(37, 2);
    Connect(sim);
    ASSERT_TRUE(SpinUntil([&] { return window->Session().MotorType() == 4; }));
    ASSERT_TRUE(SpinUntil([&] { return window->Session().State().serial == 4321; }));
    // After the connect frame the motor type and serial number are read, then
    // the register image in three blocks of 2-byte registers (polls of the
    // status view may come in between); the page reads are answered from it.
    const auto reads = ReadRegisters(sim);
    ASSERT_GE(reads.size(), 3u);
    EXPECT_EQ(reads[0], 1);  // the connect frame
    const auto at = [&](int reg) { return std::find(reads.begin(), reads.end(), reg) - reads.begin(); };
    EXPECT_LT(at(153), at(154));
    ASSERT_TRUE(SpinUntil([&] { return sim.CountRequests(0x51) == 3; }));
    ASSERT_TRUE(SpinUntil([&] {
        auto* maxVel = window->Session().RegisterList(5).empty() ? nullptr : window->Session().RegisterList(5).front();
        return maxVel && maxVel->Value() == 1234 && window->Session().State().startupMode == 2;
    }));
    EXPECT_TRUE(window->windowTitle().endsWith("Noname"));
}

TEST_F(MainWindowWithMotor, TypedMaxVelocityBecomesAWidth2WriteOfRegister5)
{
    MotorSim sim(0, 112);
    Connect(sim);
    Settle();
    auto* edit = dynamic_cast<CParamControlEdit*>(ByCaption(*window, "Max velocity"));
    ASSERT_NE(edit, nullptr);
    sim.ClearLog();
    edit->EnterPressed("5000");
    ASSERT_TRUE(SpinUntil([&] {
        for (const Write& w : Writes(sim))
            if (w.reg == 5)
                return true;
        return false;
    }));
    const auto writes = Writes(sim);
    const auto it = std::find_if(writes.begin(), writes.end(), [](const Write& w) { return w.reg == 5; });
    EXPECT_EQ(it->width, 2);
    EXPECT_EQ(it->value, 10486);
    EXPECT_EQ(sim.Register(5), 10486);
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

TEST_F(MainWindowWithMotor, TheAddressBoxTakesAllAndOneTo255Only)
{
    MotorSim sim(0, 112);
    Connect(sim);
    std::vector<QString> errors;
    window->Session().prompts.error = [&](const QString& t, const QString&) { errors.push_back(t); };
    window->Session().SelectAddress(QStringLiteral("12"));
    EXPECT_EQ(window->Session().Address(), 12);
    for (const char* bad : {"0", "256", "-1", "1e2", "x", ""}) {
        window->Session().SelectAddress(QString::fromLatin1(bad));
        EXPECT_EQ(window->Session().Address(), 12) << bad;
    }
    EXPECT_EQ(errors.size(), 6u);
    window->Session().SelectAddress(QStringLiteral("255"));
    EXPECT_EQ(window->Session().Address(), 255);
    window->Session().SelectAddress(QStringLiteral("All"));
    EXPECT_EQ(window->Session().Address(), 255);
}

TEST_F(MainWindowWithMotor, ResetPositionAndClearErrorsWriteWhatTheFirmwareNeeds)
{
    MotorSim sim(0, 112);
    sim.SetRegister(35, 0x0680);  // position limit error with other error bits
    Connect(sim);
    ASSERT_TRUE(SpinUntil([&] { return window->Session().State().statusWord == 0x0680; }));
    Settle();
    std::vector<QString> asked;
    window->Session().prompts.askYesNo = [&](const QString& t, const QString&) {
        asked.push_back(t);
        return false;
    };
    sim.ClearLog();
    for (QAction* a : window->MotorCommands())
        if (a->text() == QStringLiteral("&Clear errors"))
            a->trigger();
    ASSERT_EQ(asked.size(), 1u);
    ASSERT_TRUE(SpinUntil([&] { return !Writes(sim).empty(); }));
    auto w = Writes(sim);
    EXPECT_EQ(w[0].reg, 35);
    EXPECT_EQ(w[0].width, 2);
    EXPECT_EQ(w[0].value, 0x0600);

    // Firmware 7.0 (112): register 163 gets the negated position, not register 10.
    sim.ClearLog();
    for (QAction* a : window->MotorCommands())
        if (a->text() == QStringLiteral("Reset &position"))
            a->trigger();
    ASSERT_TRUE(SpinUntil([&] { return Writes(sim).size() >= 3; }));
    w = Writes(sim);
    EXPECT_EQ(w[0].reg, 163);
    EXPECT_EQ(w[0].width, 4);
    EXPECT_EQ(w[1].reg, 36);
    EXPECT_EQ(w[1].width, 2);
    EXPECT_EQ(w[1].value & 0x1400, 0x1400);
    EXPECT_EQ(w[2].reg, 3);
    EXPECT_EQ(w[2].value, 0);
}

namespace {

void TriggerMotorCommand(TfrmQuenor& w, const QString& text)
{
    for (QAction* a : w.MotorCommands())
        if (a->text() == text) {
            a->trigger();
            return;
        }
    ADD_FAILURE() << "no motor command " << text.toStdString();
}

// The commands (0x5x) the motor received, with register writes as 0x52.
std::vector<int> Commands(const MotorSim& sim)
{
    std::vector<int> out;
    for (const SimFrame& f : sim.Requests())
        if (f.command >= 0x52 && f.command <= 0x57)
            out.push_back(f.command);
    return out;
}

}  // namespace

TEST_F(MainWindowWithMotor, SaveResetAndDefaultsSendTheirSequences)
{
    MotorSim sim(0, 112);
    Connect(sim);
    Settle();
    bool okAnswer = false;
    window->Session().prompts.askOkCancel = [&](const QString&, const QString&) { return okAnswer; };
    window->Session().prompts.confirmWarnings = [](const Warnings&) { return true; };

    // Save in motor: register 3 := 0, then the stop and store commands.
    sim.ClearLog();
    TriggerMotorCommand(*window, QStringLiteral("&Save in motor"));
    ASSERT_TRUE(sim.WaitForRequests(0x56, 1, std::chrono::seconds(10)));
    auto c = Commands(sim);
    ASSERT_GE(c.size(), 3u);
    EXPECT_EQ(c[0], 0x52);
    EXPECT_EQ(c[1], 0x54);
    EXPECT_EQ(c[2], 0x56);
    EXPECT_EQ(Writes(sim).at(0).reg, 3);

    // The motor restarts and the link comes back through the rescan.
    const auto rescanned = [&] {
        EXPECT_TRUE(SpinUntil([&] { return window->Session().State().reconnecting; }, 20000));
        return SpinUntil([&] { return window->Session().State().connected && !window->Session().State().reconnecting; }, 20000);
    };
    ASSERT_TRUE(rescanned());
    Spin(300);

    // Reset with firmware 7.0: 0x54, then 0x57.
    sim.ClearLog();
    TriggerMotorCommand(*window, QStringLiteral("&Reset motor"));
    ASSERT_TRUE(sim.WaitForRequests(0x57, 1, std::chrono::seconds(10)));
    c = Commands(sim);
    ASSERT_GE(c.size(), 2u);
    EXPECT_EQ(c[0], 0x54);
    EXPECT_EQ(c.back(), 0x57);
    ASSERT_TRUE(rescanned());
    Spin(300);

    // Load default asks first; Cancel sends nothing.
    sim.ClearLog();
    TriggerMotorCommand(*window, QStringLiteral("&Load default"));
    Spin(300);
    EXPECT_EQ(sim.CountRequests(0x54), 0);
    okAnswer = true;
    TriggerMotorCommand(*window, QStringLiteral("&Load default"));
    ASSERT_TRUE(SpinUntil([&] {
        for (const Write& w : Writes(sim))
            if (w.reg == 2 && w.width == 4 && w.value == 256)
                return true;
        return false;
    }));
    EXPECT_GE(sim.CountRequests(0x54), 1);
}

TEST_F(MainWindowWithMotor, OldFirmwareRefusesLoadDefaultAndResetsWith0x55)
{
    MotorSim sim(0, 79);
    Connect(sim);
    Settle();
    std::vector<QString> warned;
    window->Session().prompts.warning = [&](const QString& t, const QString&) { warned.push_back(t); };
    window->Session().prompts.askOkCancel = [](const QString&, const QString&) { return true; };
    sim.ClearLog();
    TriggerMotorCommand(*window, QStringLiteral("&Load default"));
    ASSERT_EQ(warned.size(), 1u);
    EXPECT_EQ(warned[0], QStringLiteral("This features requires firmware version 5.0 or higher"));
    Spin(200);
    EXPECT_EQ(sim.CountRequests(0x54), 0);

    TriggerMotorCommand(*window, QStringLiteral("&Reset motor"));
    ASSERT_TRUE(sim.WaitForRequests(0x57, 1, std::chrono::seconds(10)));
    EXPECT_EQ(Commands(sim).front(), 0x55);
}

TEST_F(MainWindowWithMotor, AFamily2MotorReadsItsImageAndSetsARestartToken)
{
    MotorSim sim(2, 0x20);
    sim.SetRegister(151, 66);  // a WibC
    Connect(sim);
    EXPECT_EQ(window->Session().Generation(), 2);
    EXPECT_EQ(window->ProgramMenu()->title(), QStringLiteral("Programming"));
    ASSERT_TRUE(SpinUntil([&] { return window->Session().MotorType() == 66; }));
    ASSERT_TRUE(SpinUntil([&] { return sim.CountRequests(0x51) == 3; }));
    // The restart token goes to register 160 and is polled from then on.
    ASSERT_TRUE(SpinUntil([&] { return sim.Register(160) != 0; }));
    const std::int32_t token = sim.Register(160);
    EXPECT_GE(token, 1);
    EXPECT_LE(token, 65534);
    const int blocksBefore = sim.CountRequests(0x51);
    Spin(500);
    EXPECT_EQ(sim.CountRequests(0x51), blocksBefore) << "the token's poll must not re-read the pages";

    // A motor that restarted on its own answers another value: every page is read again.
    sim.SetRegister(160, token == 1 ? 2 : 1);
    ASSERT_TRUE(SpinUntil([&] { return sim.CountRequests(0x51) > blocksBefore; }));
}

TEST_F(MainWindowWithMotor, AReconnectToAMotorWithoutAModuleForgetsThePreviousModule)
{
    // A motor without a module does not answer the information request, so
    // nothing about a module comes with its connect: the window must not go
    // on believing in the module of the motor before.
    MotorSim sim(0, 112);
    sim.SetModuleType(4);
    Connect(sim);
    ASSERT_TRUE(SpinUntil([&] { return window->Session().State().moduleType == 4; }));
    Settle();

    sim.SetModuleType(0);
    window->Session().SelectAddress(QStringLiteral("1"));
    ASSERT_TRUE(SpinUntil([&] { return !window->Session().State().connected; }));
    ASSERT_TRUE(SpinUntil([&] { return window->Session().State().connected; }));
    EXPECT_EQ(window->Session().State().moduleType, 0);
    EXPECT_EQ(window->Session().State().moduleInfo[0], 0);
}

namespace {
std::atomic<bool> gHoldRelease{false};
std::atomic<bool> gHolding{false};
void HoldTheLink(ComThread& t, ComRequest&)
{
    gHolding = true;
    while (!gHoldRelease.load())
        t.Sleep(1);
}
}  // namespace

TEST_F(MainWindowWithMotor, AFullRequestRingIsReportedAndTheWindowCarriesOn)
{
    // While the motor is slow to answer the requests pile up; a write that
    // finds no room must not take the program down with it.
    MotorSim sim(0, 112);
    Connect(sim);
    Settle();
    gHoldRelease = false;
    gHolding = false;
    ComRequest hold;
    hold.handler = &HoldTheLink;
    window->Session().Com().PushRequest(hold);
    ASSERT_TRUE(SpinUntil([&] { return gHolding.load(); }));
    ComRequest nothing;
    nothing.handler = [](ComThread&, ComRequest&) {};
    for (;;) {
        try {
            window->Session().Com().PushRequest(nothing);
        } catch (const ComIntException&) {
            break;
        }
    }
    Message write;
    write.msg = UM_WRITEREGISTER;
    write.wParam = 5;
    write.lParam = 1234;
    EXPECT_NO_THROW(window->Session().HandleMessage(write));
    EXPECT_EQ(window->Session().StatusBar().PanelText(0).rfind("RError: ", 0), 0u) << window->Session().StatusBar().PanelText(0);

    // The link goes on once the motor catches up.
    gHoldRelease = true;
    EXPECT_TRUE(SpinUntil([&] { return window->Session().Com().IsQueueEmpty(); }));
    sim.ClearLog();
    write.lParam = 4321;
    EXPECT_NO_THROW(window->Session().HandleMessage(write));
    EXPECT_TRUE(SpinUntil([&] {
        for (const Write& w : Writes(sim))
            if (w.reg == 5 && w.value == 4321)
                return true;
        return false;
    }));
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
