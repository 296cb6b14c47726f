// The tests page, the module pages and the logic module's page.

#include "app/comrequests.h"
#include "app/testthread.h"
#include "app/ui/formatpage.h"
#include "app/ui/modulepages.h"
#include "app/ui/testspage.h"
#include "link/linkfixture.h"
#include "params/ui/paramwidgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace quenor {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

void EnsureApp()
{
    static int argc = 1;
    static char name[] = "test";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance())
        new QApplication(argc, argv);
}

// Widgets that are members of a fixture need the application first.
struct AppFirst {
    AppFirst() { EnsureApp(); }
};

// --- the tests page ----------------------------------------------------------------------------

struct Write {
    int address, reg, value, width;
    bool operator==(const Write&) const = default;
};

struct FakeHost : TestsPageHost {
    explicit FakeHost(TTestThread* t = nullptr) : thread(t) {}
    int MotorAddress() const override { return 7; }
    std::int32_t ZeroSearchModeValue() const override { return zeroMode; }
    void RequestWrite(int address, int reg, std::int32_t value, int width) override
    {
        writes.push_back({address, reg, value, width});
    }
    bool StartTests() override
    {
        ++starts;
        if (allowStart)
            thread->Start();
        return allowStart;
    }
    void ShowScopeTab() override { ++scopeShown; }
    TTestThread* thread = nullptr;
    bool allowStart = true;
    int starts = 0;
    std::int32_t zeroMode = 0;
    std::vector<Write> writes;
    int scopeShown = 0;
};

class TestsPageTest : public ::testing::Test, AppFirst {
protected:
    ComThread com{nullptr, 0};  // never started: the page's wiring is what counts here
    TTestThread thread{com};
    FakeHost host{&thread};
    QWidget tsTests;
    TTestsPage page{host, thread, &tsTests};
};

TEST_F(TestsPageTest, DelaysFollowTheEditsAndUpDowns)
{
    // The cycle pauses as the edits show from the start.
    EXPECT_EQ(page.edDelay1->text(), "100");
    EXPECT_EQ(thread.Delay1(), 100);
    EXPECT_EQ(thread.Delay2(), 100);

    const std::pair<const char*, int> typed[] = {{"250", 250}, {"abc", 250}, {"-5", 250}, {"0", 0}, {"1e3", 0}};
    for (const auto& [text, delay] : typed) {
        page.edDelay1->setText(QString::fromLatin1(text));
        EXPECT_EQ(thread.Delay1(), delay) << text;
    }

    page.udDelay2->DownButton()->click();  // already at the least
    EXPECT_EQ(page.edDelay2->text(), "100");
    page.udDelay2->UpButton()->click();
    EXPECT_EQ(page.edDelay2->text(), "200");
    EXPECT_EQ(thread.Delay2(), 200);
    page.edDelay2->setText("9950");
    page.udDelay2->UpButton()->click();
    EXPECT_EQ(page.edDelay2->text(), "10000");
    EXPECT_EQ(thread.Delay2(), 10000);

    page.cbWaitForInPosition->click();
    EXPECT_FALSE(thread.WaitInPosition());
    page.cbWaitForInPosition->click();
    EXPECT_TRUE(thread.WaitInPosition());
}

TEST_F(TestsPageTest, StartStopAndRequests)
{
    // Start waits for the motor's position mode.
    EXPECT_FALSE(page.btnStartStop->isEnabled());
    page.SetStartEnabled(true);
    page.btnStartStop->click();
    EXPECT_EQ(page.btnStartStop->text(), "Stop");
    EXPECT_TRUE(thread.Running());
    page.StartTest();  // already running: nothing changes
    EXPECT_TRUE(page.Running());
    page.StopTest();   // as on link loss
    EXPECT_EQ(page.btnStartStop->text(), "Start");
    EXPECT_FALSE(thread.Running());

    page.btnSetPositionMode->click();
    EXPECT_EQ(host.writes, (std::vector<Write>{{7, 2, 2, 2}, {7, 37, 2, 2}}));

    page.SetGeneration(0);
    page.ShowZeroPosition(1024);
    page.SetGeneration(1);
    page.ShowZeroPosition(4000);
    ASSERT_FALSE(page.imCircle->isHidden());
    ASSERT_FALSE(page.imCircle2->isHidden());
    host.writes.clear();
    host.zeroMode = 0x0D00;
    page.btnStartZero->click();
    EXPECT_EQ(host.writes, (std::vector<Write>{{7, 2, 13, 2}}));
    // A new search hides the markers of both circles.
    EXPECT_TRUE(page.imCircle->isHidden());
    EXPECT_TRUE(page.imCircle2->isHidden());

    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
    QApplication::sendEvent(page.paViewRecord, &dbl);
    EXPECT_EQ(host.scopeShown, 1);
    EXPECT_EQ(page.paViewRecord->parentWidget(), &tsTests);
    EXPECT_EQ(page.paViewRecord->geometry(), QRect(0, 0, 20, 10));
}

TEST_F(TestsPageTest, GenerationsSwitchPanelsAndCircles)
{
    const std::tuple<int, bool, bool> panels[] = {{0, true, false}, {1, true, true}, {2, false, true}};
    for (const auto& [generation, controls, big] : panels) {
        page.SetGeneration(generation);
        EXPECT_EQ(!page.paTestControls->isHidden(), controls) << generation;
        EXPECT_EQ(!page.paBigVekZero->isHidden(), big) << generation;
    }

    page.SetGeneration(0);
    page.ShowZeroPosition(1024);
    EXPECT_EQ(page.imCircle->pos(), page.imZeroCircle->pos() + QPoint(70, 3));
    page.SetGeneration(2);
    page.ShowZeroPosition(800);
    EXPECT_FALSE(page.imCircle2->isHidden());
    EXPECT_EQ(page.imCircle2->pos(), page.imZeroCircleBig->pos() + QPoint(46, 1));
    // The marker's centre is on the drawn circle's centre line.
    EXPECT_EQ(page.imCircle2->parentWidget(), page.imZeroCircleBig->parentWidget());
}

// --- module pages ------------------------------------------------------------------------------

struct FakeRequests : ModuleRequests {
    void ClearProfibusPending() override { ++profiCleared; }
    void ClearModuleIoPending() override { ++ioCleared; }
    bool RequestDeviceNetSettings(int baudIndex, int node) override
    {
        calls.push_back("devicenet " + std::to_string(baudIndex) + " " + std::to_string(node));
        return true;
    }
    bool RequestFsSetup(std::span<const std::uint8_t> bytes) override
    {
        std::string s = "fs";
        for (std::uint8_t b : bytes)
            s.append(" ").append(std::to_string(b));
        calls.push_back(s);
        return true;
    }
    bool RequestModuleCommand(int command) override
    {
        calls.push_back("command " + std::to_string(command));
        return true;
    }
    bool RequestSeqletFormatWrite(std::span<const std::uint8_t> format, bool powerUp, int address) override
    {
        calls.push_back("format " + std::to_string(format.size()) + " " + std::to_string(format[505]) + " " +
                        (powerUp ? "on " : "off ") + std::to_string(address));
        return true;
    }
    int profiCleared = 0;
    int ioCleared = 0;
    std::vector<std::string> calls;
};

Message Data(int msg, Bytes data)
{
    Message m;
    m.msg = msg;
    m.data = std::move(data);
    m.hasData = true;
    m.lParam = static_cast<std::int64_t>(m.data.size());
    return m;
}

Message TextMessage(int msg, std::string text)
{
    Message m;
    m.msg = msg;
    m.text = std::move(text);
    m.hasText = true;
    return m;
}

class ModulePagesTest : public ::testing::Test, AppFirst {
protected:
    FakeRequests requests;
    TModulePages pages{requests, {}};
};

// The pages take the blocks of the module last reported; the decoding itself
// is the module blocks' test.
TEST_F(ModulePagesTest, BlocksGoToThePageOfTheFittedModule)
{
    EXPECT_EQ(pages.lblDeviceNetPower->text(), "DeviceNet Power: ?");
    EXPECT_EQ(pages.tsSeqlet->lblFormat->text(), "?");
    EXPECT_EQ(TModulePages::Caption(pages.tsFS), "VekMS");

    ASSERT_TRUE(pages.HandleMessage(Data(UM_MODULESETUP, {1, 0x12, 0, 0x1B, 5, 1, 2})));
    EXPECT_EQ(pages.tsSeqlet->lblFormat->text(), "Custom");
    EXPECT_EQ(pages.tsSeqlet->edMRAddress->text(), "5");
    ASSERT_TRUE(pages.HandleMessage(Data(UM_MODULEIO, {0x43, 0x05, 0x18, 0, 0, 0, 0, 0})));
    EXPECT_EQ(requests.ioCleared, 1);  // the poller may post the next block
    EXPECT_EQ(pages.tsSeqlet->lblSeqletRun->text(), "Yes");
    EXPECT_TRUE(pages.tsSeqlet->lblSeqletOUT[3]->isEnabled());

    ASSERT_TRUE(pages.HandleMessage(Data(UM_MODULESETUP, {2, 0x10, 7, 0x04, 0x03, 0x02, 0x01})));
    EXPECT_EQ(pages.ModuleBootloaderVersion(), 0x01020304u);
    EXPECT_EQ(pages.tsSeqlet->lblFormat->text(), "Custom");  // other modules' labels stay
    ASSERT_TRUE(pages.HandleMessage(Data(UM_PROFISTATUS, {0, 0, 0, 0, 0x40, 0x20, 0, 0x05})));
    EXPECT_EQ(requests.profiCleared, 1);
    EXPECT_EQ(pages.lblProfiStatus->text(), "Connecting to Vek Motor");
    EXPECT_TRUE(pages.lblDecelerating->isEnabled());
    EXPECT_TRUE(pages.lblProfiInputs[5]->isEnabled());

    // Debug texts and net status without a module that sends them are dropped.
    pages.HandleMessage(Data(UM_MODULESETUP, {0}));
    pages.HandleMessage(TextMessage(UM_MODULEDEBUG, "lost"));
    pages.HandleMessage(Data(UM_DEVICENETSTATUS, {0x85, 0x02, 0, 0, 1}));
    EXPECT_TRUE(pages.meDeviceNetDebug->toPlainText().isEmpty());
    EXPECT_TRUE(pages.meFSDebug->toPlainText().isEmpty());
    EXPECT_EQ(pages.lblDeviceNetNode->text(), "?");

    pages.HandleMessage(Data(UM_MODULESETUP, {5, 0x10}));
    pages.HandleMessage(TextMessage(UM_MODULEDEBUG, "dn "));
    pages.HandleMessage(TextMessage(UM_MODULEDEBUG, "up\r\n"));
    EXPECT_EQ(pages.meDeviceNetDebug->toPlainText(), "dn up\n");
    pages.HandleMessage(Data(UM_DEVICENETSTATUS, {0x85, 0x02, 0, 0, 1}));
    pages.HandleMessage(Data(UM_DEVICENETSTATUS, {0x03}));  // short: the rest stays
    EXPECT_EQ(pages.lblDeviceNetNode->text(), "3 (Switch)");
    EXPECT_EQ(pages.lblDeviceNetPower->text(), "DeviceNet Power: On");
    pages.btnClearDeviceNetDebug->click();
    EXPECT_TRUE(pages.meDeviceNetDebug->toPlainText().isEmpty());

    pages.HandleMessage(Data(UM_MODULESETUP, {6, 0x12}));
    pages.HandleMessage(TextMessage(UM_MODULEDEBUG, "fs"));
    EXPECT_EQ(pages.meFSDebug->toPlainText(), "fs");
    pages.HandleMessage(Data(UM_DEVICENETSTATUS, {0x11, 0, 0, 0, 7, 10, 3}));
    EXPECT_EQ(pages.lblFSBaudrate->text(), "0 baud");
    EXPECT_TRUE(pages.lblFSInputs[4]->isEnabled());
    EXPECT_TRUE(pages.meDeviceNetDebug->toPlainText().isEmpty());

    EXPECT_FALSE(pages.HandleMessage(Data(UM_REGISTERBLOCK, {})));
}

// --- against the simulated motor ------------------------------------------------------------------

class ModulePagesLink : public linktest::LinkTest, AppFirst {
protected:
    void SetUp() override
    {
        EnsureApp();
        LinkTest::SetUp();
    }
    void ConnectWith(int moduleType)
    {
        sim.SetModuleType(moduleType);
        Connect();
        ASSERT_TRUE(target.WaitForMessage(UM_MODULESETUP, 2s));
        requests = std::make_unique<ComModuleRequests>(*link, [this] { ++ringFull; });
        pages_ = std::make_unique<TModulePages>(*requests, dialogs);
        pages_->HandleMessage(Of(UM_MODULESETUP).front());
    }
    void TearDown() override
    {
        pages_.reset();
        LinkTest::TearDown();
    }
    ModuleSetupDialogs dialogs;
    std::unique_ptr<ComModuleRequests> requests;
    std::unique_ptr<TModulePages> pages_;
    int ringFull = 0;
};

TEST_F(ModulePagesLink, StatusBlocksKeepComingWhileThePageShowsThem)
{
    for (auto [type, msg] : {std::pair{1, UM_MODULEIO}, std::pair{2, UM_PROFISTATUS}}) {
        SCOPED_TRACE(type);
        if (link) {
            EXPECT_TRUE(link->StopThread(2000));
            link.reset();
            pages_.reset();
        }
        target.Clear();
        ConnectWith(type);
        link->SetDefaultPollList();
        // Each block shown hands the pending flag back, so the poller posts the next.
        for (std::size_t i = 0; i < 4; ++i) {
            ASSERT_TRUE(target.WaitFor(
                [&](const std::vector<Message>& ms) {
                    return static_cast<std::size_t>(std::count_if(ms.begin(), ms.end(), [&](const Message& m) {
                               return m.msg == msg;
                           })) > i;
                },
                3s))
                << i;
            pages_->HandleMessage(Of(msg)[i]);
        }
    }
}

TEST_F(ModulePagesLink, DeviceNetParametersGoToTheModule)
{
    DeviceNetChoice seen{-1, -1};
    dialogs.deviceNet = [&](const DeviceNetChoice& preset) -> std::optional<DeviceNetChoice> {
        seen = preset;
        if (preset.nodeIndex == 0)
            return std::nullopt;  // cancelled
        return DeviceNetChoice{.baudIndex = 1, .nodeIndex = 17};
    };
    ConnectWith(5);
    pages_->btnDeviceNetSetup->click();  // preset 0, cancelled: nothing sent
    pages_->HandleMessage(Data(UM_DEVICENETSTATUS, {0x85, 0x82, 0, 0, 1}));
    pages_->btnDeviceNetSetup->click();
    EXPECT_EQ(seen.nodeIndex, 5);
    EXPECT_EQ(seen.baudIndex, 2);
    ASSERT_TRUE(sim.WaitForRequests(0x73, 1, 3s));
    EXPECT_EQ(sim.CountRequests(0x73), 1);
    EXPECT_EQ(sim.DeviceNetSettings(), (std::pair<int, int>{17, 1}));
}

TEST_F(ModulePagesLink, FsSetupGoesToTheModule)
{
    FsChoice seen;
    dialogs.fs = [&](const FsChoice& preset) -> std::optional<FsChoice> {
        seen = preset;
        return FsChoice{.baudIndex = 4, .addressIndex = 19, .groupIndex = 2};
    };
    ConnectWith(6);
    pages_->HandleMessage(Data(UM_DEVICENETSTATUS, {0, 0, 0, 0, 3, 10, 4}));
    pages_->btnFSSetup->click();
    EXPECT_EQ(seen.addressIndex, 9);
    EXPECT_EQ(seen.groupIndex, 4);
    EXPECT_EQ(seen.baudIndex, 3);
    ASSERT_TRUE(sim.WaitForRequests(0x83, 1, 3s));
    EXPECT_EQ(sim.FsSetup(), (Bytes{4, 20, 2}));
    EXPECT_EQ(ringFull, 0);
}

// --- the logic module's page --------------------------------------------------------------------

class FormatPageTest : public ::testing::Test, AppFirst {
protected:
    void SetUp() override
    {
        EnsureApp();
        dir = fs::temp_directory_path() / ("quenor-formatpage-" + std::to_string(getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        page.prompts.loadError = [this](const QString& text, const QString& caption) {
            messages.push_back(caption + ": " + text);
        };
        page.prompts.error = page.prompts.loadError;
        page.prompts.openFileName = [this] { return browse; };
    }
    void TearDown() override { fs::remove_all(dir); }
    void Write(const std::string& name, const std::string& text)
    {
        std::ofstream(dir / name, std::ios::binary) << text;
    }

    fs::path dir;
    FakeRequests requests;
    TSeqletPage page{requests};
    std::vector<QString> messages;
    QString browse;
};

TEST_F(FormatPageTest, ListsDescribesAndDownloads)
{
    Write("format_b.mrf", ";second\r\n:0201F9000412EE\r\n");
    Write("format_a.mrf", ";first\r\n;more\r\n:0201F9000310F1\r\n");
    Write("format_c.mrf", ":0201F9000312EE\r\n");  // wrong checksum
    page.LoadFormatList({dir.string()});
    ASSERT_EQ(page.lbFormats->count(), 2);
    EXPECT_EQ(page.lbFormats->item(0)->text(), "Format 3(Ver 1.0)");
    EXPECT_EQ(page.lbFormats->item(1)->text(), "Format 4(Ver 1.2)");
    EXPECT_EQ(messages, (std::vector<QString>{"Seqlet format load error: Checksum error in hexfile in Line 1"}));

    // No selection: nothing happens.
    page.btnDownloadFormat->click();
    EXPECT_TRUE(requests.calls.empty());

    page.lbFormats->setCurrentRow(0);
    EXPECT_EQ(page.meDescription->toPlainText(), "first\nmore\n");
    page.lbFormats->setCurrentRow(1);
    EXPECT_EQ(page.meDescription->toPlainText(), "second\n");

    const std::pair<const char*, const char*> addresses[] = {{"12", "12"}, {"abc", "255"}, {"300", "255"}};
    for (const auto& [text, sent] : addresses) {
        requests.calls.clear();
        page.edMRAddress->setText(QString::fromLatin1(text));
        page.cbPowerupHoming->setChecked(std::string(text) == "12");
        page.btnDownloadFormat->click();
        EXPECT_EQ(requests.calls,
                  (std::vector<std::string>{"command 50",
                                            std::string("format 512 4 ") + (std::string(text) == "12" ? "on " : "off ") + sent,
                                            "command 53", "command 51"}))
            << text;
    }
}

TEST_F(FormatPageTest, CustomFormats)
{
    browse = QString::fromStdString((dir / "none.mrf").string());
    page.btnSeqletBrowse->click();
    EXPECT_EQ(page.edCustomSeqletFormat->text(), browse);

    page.btnDownloadCustom->click();
    ASSERT_EQ(messages.size(), 1u);
    // A file that is not read at all says why, as a setup file does.
    EXPECT_EQ(messages[0], "Error: Error loading format file\n<" + page.edCustomSeqletFormat->text() +
                               ">\nError: The file does not exist.");
    EXPECT_TRUE(requests.calls.empty());
    EXPECT_EQ(page.CustomFormat(), nullptr);

    // A file that holds no format, such as a setup file, is refused too.
    Write("setup.vek", "[Vek Setup file]\r\n[Tovik Automation A/S]\r\nStartup mode              = 0\r\n");
    messages.clear();
    page.edCustomSeqletFormat->setText(QString::fromStdString((dir / "setup.vek").string()));
    page.btnDownloadCustom->click();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Error: Error loading format file\n<" + page.edCustomSeqletFormat->text() + ">");
    EXPECT_TRUE(requests.calls.empty());
    EXPECT_EQ(page.CustomFormat(), nullptr);

    Write("mine.MRF", ":0201F9000711EC\n");
    page.edCustomSeqletFormat->setText(QString::fromStdString((dir / "mine.MRF").string()));
    page.btnDownloadCustom->click();
    ASSERT_NE(page.CustomFormat(), nullptr);
    EXPECT_EQ(page.CustomFormat()->GetFormatNumber(), 7);
    EXPECT_EQ(requests.calls, (std::vector<std::string>{"command 50", "format 512 7 off 255", "command 53", "command 51"}));
}

}  // namespace
}  // namespace quenor
