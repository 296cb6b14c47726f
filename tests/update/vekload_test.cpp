// The loader thread against the simulated motor's bootloader.

#include "update/vekload.h"

#include "platform/clock.h"
#include "platform/recordingtarget.h"
#include "tools/motorsim/bootloader.h"
#include "tools/motorsim/motorsim.h"
#include "update/firmwarebuilder.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <unistd.h>

using namespace quenor;
using namespace quenor::updatetest;
using namespace std::chrono_literals;
using motorsim::BootloaderConfig;
using motorsim::MotorSim;
using motorsim::SimBootloader;

namespace {

using Flash = std::map<std::uint32_t, std::uint8_t>;
using DataBlocks = std::vector<std::pair<std::uint32_t, Bytes>>;

Flash FlashOf(const DataBlocks& blocks)
{
    Flash f;
    for (const auto& [a, p] : blocks)
        for (std::size_t i = 0; i < p.size(); ++i)
            f[a + static_cast<std::uint32_t>(i)] = p[i];
    return f;
}

// The device's byte time-out and the loader's wait for a reply, far beyond
// any scheduling delay of a loaded machine: a thread that runs late is not
// taken for a line that went quiet. On an idle machine every reply comes
// within a few milliseconds, so a load that retries is still a fault.
constexpr int kPatientMs = 2000;

LoaderTiming Patient()
{
    LoaderTiming t;
    t.replyWaitMs = kPatientMs;
    return t;
}

class Loader : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Start());
        ASSERT_TRUE(dir.isValid());
        setenv("QUENOR_COM11", sim.DevicePath().c_str(), 1);
    }
    void TearDown() override
    {
        loader.reset();
        boot.reset();
        unsetenv("QUENOR_COM11");
    }

    void Boot(BootloaderConfig config)
    {
        config.byteTimeoutMs = kPatientMs;
        boot = std::make_unique<SimBootloader>(sim, config);
    }

    // Writes the file and makes a loader for it on COM11.
    void MakeLoader(const Bytes& file, bool throughFirmware, int moduleType = 0, LoaderTiming timing = Patient())
    {
        const std::string path = dir.filePath("fw.maf").toStdString();
        WriteFile(path, file);
        loader = std::make_unique<TVekLoad>(&target, std::make_unique<TSerCom>(11, 57600, 10000));
        loader->SetEnterThroughFirmware(throughFirmware);
        loader->SetModuleType(moduleType);
        loader->SetTiming(timing);
        loader->LoadFile(path);
    }

    // Starts the load; without the jump, power-cycles the device at the first request.
    void Start(bool throughFirmware)
    {
        loader->StartLoad();
        if (!throughFirmware) {
            ASSERT_TRUE(target.WaitForMessage(UM_LOADERSTATUS, kLoaderPowerCycle, 30s));
            boot->PowerCycle();
        }
    }

    bool WaitEnd(std::chrono::milliseconds t = 30s)
    {
        const bool ended = target.WaitFor(
            [](const std::vector<Message>& ms) {
                for (const Message& m : ms)
                    if (m.msg == UM_LOADERSTATUS && (m.wParam == kLoaderDone || m.wParam == kLoaderFailed ||
                                                     m.wParam == kLoaderAborted))
                        return true;
                return false;
            },
            t);
        if (!ended)
            loader->Terminate();  // a test that failed still ends
        loader->Wait();
        return ended;
    }

    // (code, value) of every status message, without the power-cycle requests
    // and the erase percentages, whose number depends on timing.
    std::vector<std::pair<int, int>> Statuses(bool all = false) const
    {
        std::vector<std::pair<int, int>> out;
        for (const Message& m : target.Snapshot())
            if (m.msg == UM_LOADERSTATUS &&
                (all || (m.wParam != kLoaderPowerCycle && m.wParam != kLoaderErasePercent)))
                out.emplace_back(static_cast<int>(m.wParam), static_cast<int>(m.lParam));
        return out;
    }
    std::vector<int> Values(int code) const
    {
        std::vector<int> out;
        for (const auto& [c, v] : Statuses(true))
            if (c == code)
                out.push_back(v);
        return out;
    }
    Message Last() const
    {
        const auto all = target.Snapshot();
        return all.empty() ? Message{} : all.back();
    }

    MotorSim sim{0, 0x0123, 1};
    std::unique_ptr<SimBootloader> boot;
    RecordingTarget target;
    QTemporaryDir dir;
    std::unique_ptr<TVekLoad> loader;
};

struct VariantCase {
    int variant;
    int hardware;
    int revision;
    bool throughFirmware;
};

class EveryVariant : public Loader, public ::testing::WithParamInterface<VariantCase> {};

TEST_P(EveryVariant, FlashEqualsTheFile)
{
    const VariantCase c = GetParam();
    FileSpec design;
    design.variant = c.variant;
    design.hardware = c.hardware;
    design.verify = c.variant == 1;
    design.sizes = {300, 140, 1000};
    DataBlocks data;
    const Bytes file = BuildFile(design, &data);
    BootloaderConfig config;
    config.variant = c.variant;
    config.hardware = c.hardware;
    config.revision = c.revision;
    config.eraseDelayMs = 300;
    Boot(config);
    MakeLoader(file, c.throughFirmware);
    Start(c.throughFirmware);
    ASSERT_TRUE(WaitEnd());

    if (c.variant == 1 && c.revision >= 21) {
        ASSERT_TRUE(PatchFirstBlockForNewLoader(data[0].second));
    }
    EXPECT_EQ(boot->Flash(), FlashOf(data));
    EXPECT_EQ(boot->Erased(), (std::vector<int>{0, 1}));
    // Command 7 has no reply: the device may take it a moment after "done".
    for (int i = 0; i < 1500 && boot->Starts() == 0; ++i)
        usleep(10000);
    EXPECT_EQ(boot->Starts(), 1);
    EXPECT_FALSE(boot->InBootloader());
    EXPECT_TRUE(loader->Errors().empty()) << ::testing::PrintToString(loader->Errors());

    std::vector<std::pair<int, int>> expected{{kLoaderResetting, 0}};
    if (c.variant == 0)
        expected.emplace_back(kLoaderTesting, 0);
    if (c.variant != 2)
        expected.insert(expected.end(), {{kLoaderErasing, 0}, {kLoaderErasing, 0}});
    for (int p : {0, 33, 66})
        expected.insert(expected.end(), {{kLoaderTransferring, p}, {kLoaderBlockDone, 0}});
    if (c.variant == 1)
        for (int p : {0, 33, 66})
            expected.insert(expected.end(), {{kLoaderVerifying, p}, {kLoaderBlockDone, 0}});
    expected.emplace_back(kLoaderDone, 0);
    EXPECT_EQ(Statuses(), expected);
    EXPECT_EQ(Values(kLoaderPowerCycle).empty(), c.throughFirmware);
    if (c.variant == 2) {
        EXPECT_FALSE(Values(kLoaderErasePercent).empty());
    }

    bool sawVersion = false;
    for (const Message& m : target.Snapshot())
        if (m.msg == UM_LOADERVERSION) {
            sawVersion = true;
            EXPECT_EQ(m.wParam, 0x0102);
            EXPECT_EQ(m.text, "Test firmware Version 6.1");
        }
    EXPECT_TRUE(sawVersion);
}

INSTANTIATE_TEST_SUITE_P(Loader, EveryVariant,
                         ::testing::Values(VariantCase{0, 0, 0, true}, VariantCase{0, 0, 0, false},
                                           VariantCase{1, 1, 21, true}, VariantCase{1, 2, 21, false},
                                           VariantCase{1, 1, 20, false}, VariantCase{2, 0, 0, true},
                                           VariantCase{2, 0, 0, false}, VariantCase{3, 3, 0, true},
                                           VariantCase{3, 5, 0, false}, VariantCase{4, 0, 0, true},
                                           VariantCase{4, 0, 0, false}, VariantCase{5, 0, 0, true},
                                           VariantCase{5, 0, 0, false}));

struct NothingCase {
    const char* name;
    int variant;
    int erase;
    std::vector<std::size_t> sizes;
};

void PrintTo(const NothingCase& c, std::ostream* os) { *os << c.name; }

class NothingToWrite : public Loader, public ::testing::WithParamInterface<NothingCase> {};

// A load that would write nothing fails before anything goes out: the device
// is neither sent into its bootloader nor erased nor started.
TEST_P(NothingToWrite, FailsBeforeAnythingIsSent)
{
    const NothingCase c = GetParam();
    FileSpec design;
    design.variant = c.variant;
    design.erase = c.erase;
    design.sizes = c.sizes;
    BootloaderConfig config;
    config.variant = c.variant;
    Boot(config);
    MakeLoader(BuildFile(design), true);
    loader->StartLoad();
    ASSERT_TRUE(WaitEnd());
    const Message last = Last();
    EXPECT_EQ(last.wParam, kLoaderFailed);
    EXPECT_EQ(last.lParam, c.variant);
    EXPECT_EQ(last.text, "No flash data in file\n");
    EXPECT_EQ(loader->Errors(), (std::vector<std::string>{"No flash data in file"}));
    EXPECT_EQ(Statuses(true), (std::vector<std::pair<int, int>>{{kLoaderFailed, c.variant}}));
    usleep(100000);  // anything sent would reach the device by now
    EXPECT_TRUE(boot->Commands().empty());
    EXPECT_FALSE(boot->InBootloader());
    EXPECT_TRUE(boot->Erased().empty());
    EXPECT_EQ(boot->Starts(), 0);
}

INSTANTIATE_TEST_SUITE_P(Loader, NothingToWrite,
                         ::testing::Values(NothingCase{"InformationOnly", 0, 0, {}},
                                           NothingCase{"EraseWithoutData", 0, 2, {}},
                                           NothingCase{"OnlyTheCrcOfEmptyBlocks", 4, 1, {2, 2}},
                                           NothingCase{"EmptyBlockOfVariant2", 2, 1, {0}}),
                         [](const auto& info) { return std::string(info.param.name); });

// A failed attempt in the write phase: the next attempt connects again and
// goes on writing where it stopped. The device was identified and the line
// tested once; a line test on a retry would end the load at its first
// failure, as it does on the second attempt's lost reply here.
TEST_F(Loader, FailedThirdBlockResumesWithTheRest)
{
    FileSpec design;
    design.sizes = {200, 200, 200, 200, 200};
    DataBlocks data;
    const Bytes file = BuildFile(design, &data);
    Boot(BootloaderConfig{});
    boot->FailWrites(3, 1);
    // Command 1 is answered for the line test and the first three blocks;
    // the next answer is lost.
    boot->DropReplies(1, 1, 4);
    MakeLoader(file, true);
    Start(true);
    ASSERT_TRUE(WaitEnd(60s));
    EXPECT_EQ(Last().wParam, kLoaderDone) << Last().text;
    EXPECT_EQ(Values(kLoaderTransferring), (std::vector<int>{0, 20, 40, 40, 40, 60, 80}));
    const std::vector<std::string> errors = loader->Errors();
    ASSERT_EQ(errors.size(), 2u) << ::testing::PrintToString(errors);
    EXPECT_EQ(errors[0], "Error in flash write: 5");
    EXPECT_EQ(Values(kLoaderResetting).size(), 3u);
    EXPECT_EQ(Values(kLoaderTesting).size(), 1u);
    const std::vector<int> commands = boot->Commands();
    EXPECT_EQ(std::count(commands.begin(), commands.end(), 8), 1);  // identified once
    EXPECT_EQ(boot->Erased(), (std::vector<int>{0, 1}));            // erased once
    EXPECT_EQ(boot->Flash(), FlashOf(data));
    EXPECT_EQ(boot->Writes(), 6);  // the five blocks, the third twice
}

TEST_F(Loader, RetriedFirstBlockStaysPatchedAndVerifies)
{
    FileSpec design;
    design.variant = 1;
    design.hardware = 1;
    design.verify = true;
    DataBlocks data;
    const Bytes file = BuildFile(design, &data);
    BootloaderConfig config;
    config.variant = 1;
    config.hardware = 1;
    config.revision = 21;
    Boot(config);
    boot->FailWrites(1, 1);
    MakeLoader(file, true);
    Start(true);
    ASSERT_TRUE(WaitEnd());
    EXPECT_EQ(Last().wParam, kLoaderDone);
    EXPECT_EQ(loader->Errors().size(), 1u);
    ASSERT_TRUE(PatchFirstBlockForNewLoader(data[0].second));
    EXPECT_EQ(boot->Flash(), FlashOf(data));
}

TEST_F(Loader, OldLoaderWithHardware4IsIncompatible)
{
    FileSpec design;
    design.variant = 1;
    design.hardware = 4;
    BootloaderConfig config;
    config.variant = 1;
    config.hardware = 4;
    config.revision = 20;
    Boot(config);
    MakeLoader(BuildFile(design), true);
    Start(true);
    ASSERT_TRUE(WaitEnd());
    const Message last = Last();
    EXPECT_EQ(last.wParam, kLoaderFailed);
    EXPECT_EQ(last.lParam, 1);
    EXPECT_EQ(last.text, "Incompatible hardware!\n");
    EXPECT_EQ(loader->Errors(), (std::vector<std::string>{"Incompatible hardware!"}));
    EXPECT_EQ(Values(kLoaderResetting).size(), 1u);  // no second attempt
    EXPECT_TRUE(boot->Erased().empty());
}

TEST_F(Loader, Variant2ShowsErasePercentOnItsScale)
{
    FileSpec design;
    design.variant = 2;
    design.erase = 1;
    design.sizes = {100};
    BootloaderConfig config;
    config.variant = 2;
    // Long enough that a thread held up for a second still sees the
    // percentage pass 45 and step at least three times.
    config.eraseDelayMs = 4000;
    Boot(config);
    LoaderTiming timing = Patient();
    timing.eraseScaleMs = 5000;  // a shortened clock: 4000 ms is 80 %
    timing.eraseTimeoutMs = 20000;
    MakeLoader(BuildFile(design), true, 0, timing);
    Start(true);
    ASSERT_TRUE(WaitEnd());
    EXPECT_EQ(Last().wParam, kLoaderDone);
    const std::vector<int> p = Values(kLoaderErasePercent);
    ASSERT_GE(p.size(), 3u);
    EXPECT_TRUE(std::is_sorted(p.begin(), p.end()));
    EXPECT_GE(p.front(), 5);
    EXPECT_GE(p.back(), 45);
    EXPECT_LE(p.back(), 100);
    EXPECT_TRUE(Values(kLoaderErasing).empty());
}

TEST_F(Loader, TenFailuresEndTheLoad)
{
    FileSpec design;
    design.sizes = {100};
    Boot(BootloaderConfig{});
    boot->FailWrites(1, 1000, 3);
    MakeLoader(BuildFile(design), true);
    Start(true);
    ASSERT_TRUE(WaitEnd(60s));
    const Message last = Last();
    EXPECT_EQ(last.wParam, kLoaderFailed);
    EXPECT_EQ(last.lParam, 0);
    EXPECT_EQ(loader->Errors(), std::vector<std::string>(10, "Error in flash write: 3"));
    EXPECT_EQ(std::count(last.text.begin(), last.text.end(), '\n'), 10);
    EXPECT_EQ(boot->Starts(), 0);
}

TEST_F(Loader, AbortEndsThePowerCycleWait)
{
    Boot(BootloaderConfig{});
    MakeLoader(BuildFile(FileSpec{}), false);
    loader->StartLoad();
    ASSERT_TRUE(target.WaitForMessage(UM_LOADERSTATUS, kLoaderPowerCycle, 30s));
    const std::int64_t t0 = MonotonicMs();
    loader->Terminate();
    ASSERT_TRUE(WaitEnd(5s));
    EXPECT_LT(MonotonicMs() - t0, 1000);
    EXPECT_EQ(Last().wParam, kLoaderAborted);
    EXPECT_TRUE(boot->Erased().empty());
}

TEST_F(Loader, Rs485StartEndsTheWaitForTheReplyCode)
{
    BootloaderConfig config;
    config.answerAttention = false;
    Boot(config);
    MakeLoader(BuildFile(FileSpec{}), false);
    loader->StartLoad();
    ASSERT_TRUE(target.WaitForMessage(UM_LOADERSTATUS, kLoaderPowerCycle, 30s));
    boot->PowerCycle();
    // The loader goes round its wait twice more without the reply code.
    auto asked = [](const std::vector<Message>& ms) {
        return std::count_if(ms.begin(), ms.end(), [](const Message& m) {
            return m.msg == UM_LOADERSTATUS && m.wParam == kLoaderPowerCycle;
        });
    };
    const auto before = asked(target.Snapshot());
    ASSERT_TRUE(target.WaitFor([&](const std::vector<Message>& ms) { return asked(ms) >= before + 2; }, 30s));
    EXPECT_TRUE(Values(kLoaderTransferring).empty());  // still waiting for the reply code
    loader->RS485Start();
    ASSERT_TRUE(WaitEnd());
    EXPECT_EQ(Last().wParam, kLoaderDone);
    EXPECT_EQ(boot->Flash().size(), 900u);
}

TEST_F(Loader, RetryFindsTheDeviceAtItsSwitchedSpeed)
{
    FileSpec design;
    design.variant = 4;
    DataBlocks data;
    const Bytes file = BuildFile(design, &data);
    BootloaderConfig config;
    config.variant = 4;
    Boot(config);
    boot->FailWrites(2, 1);
    MakeLoader(file, false);
    Start(false);  // one power cycle only
    ASSERT_TRUE(WaitEnd(60s));
    EXPECT_EQ(Last().wParam, kLoaderDone);
    EXPECT_EQ(boot->Flash(), FlashOf(data));
    // No power-cycle request after the first transfer began.
    bool transferring = false;
    for (const auto& [code, value] : Statuses(true)) {
        transferring = transferring || code == kLoaderTransferring;
        EXPECT_FALSE(transferring && code == kLoaderPowerCycle);
    }
    // Command 11 went out once: the device kept its speed.
    const std::vector<int> commands = boot->Commands();
    EXPECT_EQ(std::count(commands.begin(), commands.end(), 11), 1);
}

}  // namespace
