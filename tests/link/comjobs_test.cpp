// Register image, special commands, module commands and pollers against the
// simulated motor.

#include "tests/link/linkfixture.h"

using namespace quenor;
using namespace quenor::linktest;

namespace {

class ComJobsTest : public LinkTest {};

}  // namespace

TEST_F(ComJobsTest, ImageAnswersReadsUntilInvalidated)
{
    sim.SetRegister(10, -3);
    Connect();
    ASSERT_TRUE(link->RequestImageRead(3, 2));
    ASSERT_TRUE(WaitProgress("Connecting", 100));
    ASSERT_TRUE(target.WaitFor([](const auto& ms) {
        int n = 0;
        for (const Message& m : ms)
            n += m.msg == UM_PROGRESS && m.wParam == 100;
        return n >= 2;
    }, 3s));
    // "Connecting" 0 comes from the connect as well.
    EXPECT_EQ(Progress("Connecting"), (std::vector<std::int64_t>{0, 0, 16, 33, 50, 66, 83, 100, 100}));
    EXPECT_EQ(Sent(0x51), (std::vector<Bytes>{{0}, {64}, {128}}));

    sim.ClearLog();
    link->RequestRead(1, 10, false, 2);
    ASSERT_TRUE(WaitValue(10, -3));
    EXPECT_EQ(sim.CountRequests(0x50), 0);

    ASSERT_TRUE(link->RequestImageInvalidate());
    sim.SetRegister(10, 7);
    link->RequestRead(1, 10, false, 2);
    ASSERT_TRUE(WaitValue(10, 7));
    EXPECT_EQ(sim.CountRequests(0x50), 1);
}

TEST_F(ComJobsTest, ImageKeepsNoBlockWhoseRegisterDiffers)
{
    // The second block first answers for register 128: that block must not
    // land in the image; the retry then gets the right one.
    // The flag is shared with the simulator's thread, which keeps the handler
    // beyond this test body: it must not live on this stack.
    auto wrong = std::make_shared<std::atomic<int>>(1);
    sim.SetHandler(0x51, [wrong](motorsim::MotorSim&, const motorsim::SimFrame& f) {
        std::vector<std::uint8_t> fields{0, f.fields[1], 128};
        std::uint8_t fill = 0;
        if (f.fields[1] == 64 && wrong->exchange(0) == 1) {
            fields[1] = 128;
            fill = 0x55;
        }
        fields.insert(fields.end(), 128, fill);
        return motorsim::MotorSim::Reply(0x52, fields);
    });
    Connect();
    ASSERT_TRUE(link->RequestImageRead(2, 2));
    ASSERT_TRUE(WaitProgress("Connecting", 100));
    ASSERT_TRUE(target.WaitForMessage(UM_LINKSTATE, 8, 1s));  // one failed attempt
    link->RequestRead(1, 130, false, 2);
    ASSERT_TRUE(target.WaitFor([](const auto& ms) {
        for (const Message& m : ms)
            if (m.msg == UM_REGISTERVALUE && m.wParam == 130)
                return true;
        return false;
    }, 3s));
    for (const Message& m : Of(UM_REGISTERVALUE)) {
        if (m.wParam == 130) {
            EXPECT_EQ(m.lParam, 0);
        }
    }
}

TEST_F(ComJobsTest, SaveRepeatsUntilTheMotorRestartsThenRescans)
{
    sim.SetModuleType(4);
    sim.SetRestart(3, 300);
    Connect();
    sim.ClearLog();
    ASSERT_TRUE(link->RequestSpecialCommand(1, 0x56));
    ASSERT_TRUE(target.WaitForMessage(UM_LINKSTATE, 6, 3s));
    ASSERT_TRUE(target.WaitForMessage(UM_LINKSTATE, 7, 5s));
    EXPECT_EQ(sim.Restarts(), 1);
    // Stop, then saves until one goes unanswered, then the module's stop.
    std::vector<std::uint8_t> order;
    for (const motorsim::SimFrame& f : sim.Requests())
        if (f.command != 0x50)
            order.push_back(f.command);
    EXPECT_EQ(order, (std::vector<std::uint8_t>{0x54, 0x56, 0x56, 0x56, 0x56, 0x60}));
    EXPECT_EQ(link->State(), LINK_SERVING);
    // The link serves again.
    sim.SetRegister(20, 5);
    link->RequestRead(1, 20, false, 2);
    EXPECT_TRUE(WaitValue(20, 5));
}

TEST_F(ComJobsTest, ResetClearsTheModeAndRepeatsUntilTheMotorRestarts)
{
    sim.SetRestart(2, 200);
    sim.SetRegister(2, 2);
    Connect();
    sim.ClearLog();
    ASSERT_TRUE(link->RequestSpecialCommand(1, 0x57));
    ASSERT_TRUE(target.WaitForMessage(UM_LINKSTATE, 7, 5s));
    EXPECT_EQ(Writes().front(), (Write{2, 0, 2}));
    EXPECT_EQ(sim.CountRequests(0x57), 3);
    EXPECT_EQ(sim.CountRequests(0x54), 0);
}

TEST_F(ComJobsTest, StopWaitsForModeFifteenAndLoadDefaultsRestarts)
{
    sim.SetStopSettleReads(3);
    sim.SetRegister(2, 2);
    sim.SetRegister(40, 99);
    Connect();
    sim.ClearLog();
    ASSERT_TRUE(link->RequestSpecialCommand(1, 0x54));
    ASSERT_TRUE(link->RequestSpecialCommand(1, 0x100));
    ASSERT_TRUE(target.WaitForMessage(UM_LINKSTATE, 7, 5s));
    // Three reads of register 2 before it read 15; then the defaults write
    // with no acknowledgement read, and the rescan reads register 1.
    const std::vector<Bytes> reads = Sent(0x50);
    ASSERT_GE(reads.size(), 4u);
    EXPECT_EQ((std::vector<Bytes>(reads.begin(), reads.begin() + 3)), (std::vector<Bytes>{{2}, {2}, {2}}));
    EXPECT_EQ(reads[3], Bytes{1});
    EXPECT_EQ(Sent(0x52), (std::vector<Bytes>{{2, 4, 0x00, 0x01, 0x00, 0x00}}));
    EXPECT_EQ(sim.Restarts(), 1);
    EXPECT_EQ(sim.Register(40), 0);  // the motor's defaults
}

TEST_F(ComJobsTest, OtherCodesGoBareAndSpecialsWaitForTheLink)
{
    link = std::make_unique<ComThread>(&target, 0, FastTimings());
    EXPECT_FALSE(link->RequestSpecialCommand(1, 0x56));
    EXPECT_FALSE(link->RequestModuleCommand(0x32));
    EXPECT_FALSE(link->RequestProgramControl(1, 0, 0));
    link.reset();
    Connect();
    ASSERT_TRUE(link->RequestSpecialCommand(1, 0x55));
    sim.SetRegister(20, 8);
    link->RequestRead(1, 20, false, 2);
    ASSERT_TRUE(WaitValue(20, 8));
    EXPECT_EQ(Sent(0x55), (std::vector<Bytes>{{}}));
    EXPECT_TRUE(Of(UM_LINKSTATE).size() == 3u);  // lost (settings), errors 0, connected
}

TEST_F(ComJobsTest, StopLoopEndsWhenTheThreadIsToldToStop)
{
    sim.SetStopSettleReads(1000000);
    Connect();
    ASSERT_TRUE(link->RequestSpecialCommand(1, 0x54));
    ASSERT_TRUE(sim.WaitForRequests(0x50, 20, 3s));
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_TRUE(link->StopThread(2000));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 1500ms);
}

TEST_F(ComJobsTest, EepromWriteShowsProgressUntilTheModuleAnswers)
{
    sim.SetModuleType(1);
    sim.SetEepromBusyMs(120);
    Connect();
    target.Clear();
    ASSERT_TRUE(link->RequestModuleCommand(0x35));
    ASSERT_TRUE(WaitProgress("Writing to eeprom", 100));
    const std::vector<std::int64_t> p = Progress("Writing to eeprom");
    ASSERT_GE(p.size(), 3u);
    for (std::size_t i = 0; i + 1 < p.size(); ++i) {
        EXPECT_LE(p[i], p[i + 1]);
        EXPECT_LE(p[i], 99);
    }
    const std::vector<Message> info = Of(UM_MODULESETUP);
    ASSERT_EQ(info.size(), 1u);
    EXPECT_EQ(info[0].data[0], 1);
    EXPECT_EQ(link->State(), LINK_SERVING);
}

TEST_F(ComJobsTest, EepromWriteThatNeverEndsForcesAReconnect)
{
    sim.SetModuleType(1);
    sim.SetEepromBusyMs(-1);
    Connect();
    target.Clear();
    ASSERT_TRUE(link->RequestModuleCommand(0x35));
    ASSERT_TRUE(target.WaitForMessage(UM_LINKSTATE, 1, 3s));
    // One failure and the link is lost at once, without three more tries.
    std::vector<std::int64_t> counts;
    for (const Message& m : Of(UM_LINKSTATE))
        if (m.wParam == 8)
            counts.push_back(m.lParam);
    EXPECT_EQ(counts, (std::vector<std::int64_t>{1}));
    const std::vector<std::int64_t> p = Progress("Writing to eeprom");
    ASSERT_FALSE(p.empty());
    EXPECT_EQ(p.back(), 99);  // past the full time it shows 99
    EXPECT_EQ(sim.CountRequests(0x33), 1);  // the logic module's stop
    EXPECT_EQ(sim.CountRequests(0x35), 1);
    ASSERT_TRUE(target.WaitForMessage(UM_LINKSTATE, 2, 3s));  // connected anew
}

TEST_F(ComJobsTest, ModuleCommandsWithAndWithoutReply)
{
    sim.SetModuleType(1);
    Connect();
    ASSERT_TRUE(link->RequestModuleCommand(0x33));
    ASSERT_TRUE(link->RequestModuleCommand(0x32));
    ASSERT_TRUE(link->RequestProgramInfo());
    sim.SetRegister(20, 3);
    link->RequestRead(1, 20, false, 2);
    ASSERT_TRUE(WaitValue(20, 3));
    EXPECT_EQ(Sent(0x34), (std::vector<Bytes>{{0}}));
    EXPECT_EQ(sim.CountRequests(0x32), 1);
    EXPECT_TRUE(Of(UM_LINKSTATE).size() == 3u);  // no failure
}

TEST_F(ComJobsTest, FormatWriteSendsItsOwnCopy)
{
    sim.SetModuleType(1);
    Connect();
    Bytes format(512);
    for (std::size_t i = 0; i < format.size(); ++i)
        format[i] = static_cast<std::uint8_t>(i * 7);
    HoldThread();
    target.Clear();
    ASSERT_TRUE(link->RequestSeqletFormatWrite(format, true, 9));
    const Bytes sent = format;
    std::fill(format.begin(), format.end(), 0xEE);  // a later edit of the format
    gRelease = true;
    ASSERT_TRUE(WaitProgress("Transfering", 100));
    EXPECT_EQ(Progress("Transfering"), (std::vector<std::int64_t>{0, 25, 50, 75, 100}));
    Bytes expected = sent;
    expected[507] = 9;
    expected[508] = 28;
    EXPECT_EQ(sim.SeqletFormat(), expected);
    EXPECT_EQ(Sent(0x31).size(), 4u);

    ASSERT_TRUE(link->RequestSeqletFormatWrite(sent, false, 4));
    ASSERT_TRUE(sim.WaitForRequests(0x31, 8, 3s));
    ASSERT_TRUE(target.WaitFor([](const auto& ms) {
        int n = 0;
        for (const Message& m : ms)
            n += m.msg == UM_PROGRESS && m.wParam == 100;
        return n >= 2;
    }, 3s));
    expected[507] = 4;
    expected[508] = 0;
    EXPECT_EQ(sim.SeqletFormat(), expected);
}

TEST_F(ComJobsTest, ProgramControlFieldsPerFamilyAndStatusBlock)
{
    sim.SetModuleType(4);
    Connect(0);
    ASSERT_TRUE(link->RequestProgramControl(5, 1 << 2, 0));  // set output 2
    ASSERT_TRUE(link->RequestProgramControl(5, 0, 1 << 1));  // clear output 1
    ASSERT_TRUE(link->RequestProgramControl(4, 0x1234, 0x0150));
    ASSERT_TRUE(target.WaitFor([](const auto& ms) {
        int n = 0;
        for (const Message& m : ms)
            n += m.msg == UM_REGISTERBLOCK;
        return n >= 3;
    }, 3s));
    link->SetMotorFamily(2);
    ASSERT_TRUE(link->RequestProgramControl(5, 1 << 2, 0));
    ASSERT_TRUE(link->RequestProgramControl(1, 0, 0));
    ASSERT_TRUE(sim.WaitForRequests(0x61, 5, 3s));
    ASSERT_TRUE(target.WaitFor([](const auto& ms) {
        int n = 0;
        for (const Message& m : ms)
            n += m.msg == UM_REGISTERBLOCK;
        return n >= 5;
    }, 3s));
    EXPECT_EQ(Sent(0x61), (std::vector<Bytes>{{2, 5, 0x04},
                                              {2, 5, 0x20},
                                              {5, 4, 0x34, 0x12, 0x50, 0x01},
                                              {3, 5, 4, 0},
                                              {1, 1}}));
    const std::vector<Message> blocks = Of(UM_REGISTERBLOCK);
    ASSERT_EQ(blocks[2].data.size(), 64u);
    EXPECT_EQ(blocks[2].data[0], 2);  // single step
    EXPECT_EQ(blocks[2].data[1], 0x34);
    EXPECT_EQ(blocks[2].data[2], 0x12);
    EXPECT_EQ(blocks[4].data[0], 1);  // running
    const std::uint16_t sum = motorsim::MotorSim::CodeChecksum(sim.ProgramMemory());
    EXPECT_EQ(blocks[4].data[4] | (blocks[4].data[5] << 8), sum);
    EXPECT_EQ(sim.Outputs(), 0x04);
}

// A lost reply: the module's run and single step are never sent twice (the
// user is told instead); the other commands are sent again.
struct LostProgramReply {
    const char* name;
    int kind;
    int sends;
    bool told;
};

class ProgramCommandReplyLost : public ComJobsTest, public ::testing::WithParamInterface<LostProgramReply> {};

TEST_P(ProgramCommandReplyLost, RunAndStepGoOutOnce)
{
    const LostProgramReply& c = GetParam();
    sim.SetModuleType(4);
    Connect(0);
    sim.LoseReplies(0x61, c.kind, 1);
    ASSERT_TRUE(link->RequestProgramControl(c.kind, 0x10, 0x20));
    sim.SetRegister(20, 8);
    link->RequestRead(1, 20, false, 2);
    ASSERT_TRUE(WaitValue(20, 8));
    int sends = 0;
    for (const Bytes& f : Sent(0x61))
        sends += f.size() >= 2 && f[1] == c.kind;
    EXPECT_EQ(sends, c.sends);
    int told = 0;
    for (const Message& m : Of(UM_PARAMERROR))
        told += m.wParam == +ParamNotice::CommandUnconfirmed && m.lParam == c.kind;
    EXPECT_EQ(told, c.told ? 1 : 0);
    EXPECT_EQ(link->State(), LINK_SERVING);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ProgramCommandReplyLost,
                         ::testing::Values(LostProgramReply{"Run", 1, 1, true}, LostProgramReply{"SingleStep", 4, 1, true},
                                           LostProgramReply{"Stop", 2, 2, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ComJobsTest, ProgramControlNeedsTheProgrammableModule)
{
    sim.SetModuleType(1);
    Connect();
    ASSERT_TRUE(link->RequestProgramControl(1, 0, 0));
    sim.SetRegister(20, 4);
    link->RequestRead(1, 20, false, 2);
    ASSERT_TRUE(WaitValue(20, 4));
    EXPECT_EQ(sim.CountRequests(0x61), 0);
    EXPECT_TRUE(Of(UM_REGISTERBLOCK).empty());
}

TEST_F(ComJobsTest, ShortStatusIsZeroFilledAndALongOneFails)
{
    sim.SetModuleType(4);
    sim.SetProgramStatusLength(3);
    Connect();
    ASSERT_TRUE(link->RequestProgramControl(1, 0, 0));
    ASSERT_TRUE(target.WaitForMessage(UM_REGISTERBLOCK, 3s));
    Bytes expected(64, 0);
    expected[0] = 1;
    EXPECT_EQ(Of(UM_REGISTERBLOCK)[0].data, expected);

    sim.SetProgramStatusLength(65);
    target.Clear();
    ASSERT_TRUE(link->RequestProgramControl(2, 0, 0));
    ASSERT_TRUE(target.WaitForMessage(UM_LINKSTATE, 8, 3s));
    EXPECT_TRUE(Of(UM_REGISTERBLOCK).empty());
}

TEST_F(ComJobsTest, DeviceNetAndFsSettingsAndTheFsLimit)
{
    sim.SetModuleType(6);
    Connect();
    ASSERT_TRUE(link->RequestDeviceNetSettings(2, 17));
    ASSERT_TRUE(link->RequestFsSetup(Bytes{3, 12, 4}));
    EXPECT_FALSE(link->RequestFsSetup(Bytes(17, 1)));  // more than 16 bytes: refused
    EXPECT_TRUE(link->RequestFsSetup(Bytes(16, 2)));
    sim.SetRegister(20, 6);
    link->RequestRead(1, 20, false, 2);
    ASSERT_TRUE(WaitValue(20, 6));
    EXPECT_EQ(Sent(0x73), (std::vector<Bytes>{{2, 17, 2}}));
    EXPECT_EQ(sim.DeviceNetSettings(), (std::pair<int, int>{17, 2}));
    ASSERT_EQ(Sent(0x83).size(), 2u);
    EXPECT_EQ(Sent(0x83)[0], (Bytes{3, 3, 12, 4}));
    EXPECT_EQ(sim.FsSetup(), Bytes(16, 2));
}

TEST_F(ComJobsTest, LongModuleInformationIsCutAndAShortOneLeavesZeros)
{
    Bytes info(120);
    for (std::size_t i = 0; i < info.size(); ++i)
        info[i] = static_cast<std::uint8_t>(i + 1);
    info[0] = 1;
    sim.SetModuleInfo(info);
    Connect();
    const std::vector<Message> first = Of(UM_MODULESETUP);
    ASSERT_EQ(first.size(), 1u);
    ASSERT_EQ(first[0].data.size(), static_cast<std::size_t>(ComThread::kModuleInfoSize));
    EXPECT_TRUE(std::equal(info.begin(), info.begin() + 100, first[0].data.begin()));
    EXPECT_EQ(first[0].data[100], 0);

    sim.SetModuleInfo({1, 0x13, 2});
    sim.SetEepromBusyMs(0);
    ASSERT_TRUE(link->RequestModuleCommand(0x35));
    ASSERT_TRUE(target.WaitFor([](const auto& ms) {
        int n = 0;
        for (const Message& m : ms)
            n += m.msg == UM_MODULESETUP;
        return n >= 2;
    }, 3s));
    Bytes expected(ComThread::kModuleInfoSize, 0);
    expected[0] = 1;
    expected[1] = 0x13;
    expected[2] = 2;
    EXPECT_EQ(Of(UM_MODULESETUP)[1].data, expected);
}

TEST_F(ComJobsTest, ProfibusPollerWaitsForTheReceiver)
{
    sim.SetModuleType(2);
    sim.SetProfibusStatus({1, 2, 3, 4, 0x10, 0x21, 7, 3, 9, 10});
    Connect();
    link->SetDefaultPollList();
    EXPECT_EQ(link->PollCount(), 6);
    ASSERT_TRUE(target.WaitForMessage(UM_PROFISTATUS, 3s));
    usleep(100000);
    std::vector<Message> st = Of(UM_PROFISTATUS);
    ASSERT_EQ(st.size(), 1u);
    EXPECT_EQ(st[0].data, (Bytes{1, 2, 3, 4, 0x10, 0x21, 7, 3}));
    EXPECT_EQ(st[0].lParam, 10);
    EXPECT_EQ(sim.CountRequests(0x40), 1);
    EXPECT_TRUE(link->ProfibusPending());
    link->ClearProfibusPending();
    ASSERT_TRUE(target.WaitFor([](const auto& ms) {
        int n = 0;
        for (const Message& m : ms)
            n += m.msg == UM_PROFISTATUS;
        return n >= 2;
    }, 3s));
    // Other modules' pollers stay quiet.
    for (std::uint8_t c : {0x30, 0x20, 0x61, 0x70, 0x72, 0x80, 0x82})
        EXPECT_EQ(sim.CountRequests(c), 0) << int(c);

    // A status longer than 15 bytes fails the poll.
    sim.SetProfibusStatus(Bytes(16, 1));
    link->ClearProfibusPending();
    EXPECT_TRUE(target.WaitForMessage(UM_LINKSTATE, 8, 3s));
}

TEST_F(ComJobsTest, PollersOfTheOtherModules)
{
    struct Case {
        int type;
        int msg;
    };
    for (const Case c : {Case{1, UM_MODULEIO}, Case{3, UM_CANOPENDEBUG}, Case{4, UM_REGISTERBLOCK},
                         Case{5, UM_MODULEDEBUG}, Case{5, UM_DEVICENETSTATUS}, Case{6, UM_DEVICENETSTATUS}}) {
        SCOPED_TRACE(c.type);
        sim.SetModuleType(c.type);
        sim.SetModuleIo({0x05, 0x03, 0x11, 0, 0, 0, 0, 0});
        sim.SetDebugText("boot ok\r\n");
        sim.SetModuleStatus({0x85, 0x02, 0, 0, 1});
        target.Clear();
        Connect();
        link->SetDefaultPollList();
        ASSERT_TRUE(target.WaitForMessage(c.msg, 3s));
        const Message m = Of(c.msg)[0];
        if (c.msg == UM_MODULEIO) {
            EXPECT_EQ(m.data, (Bytes{0x05, 0x03, 0x11, 0, 0, 0, 0, 0}));
            usleep(50000);
            EXPECT_EQ(Of(UM_MODULEIO).size(), 1u);  // until the receiver has shown it
        } else if (c.msg == UM_CANOPENDEBUG || c.msg == UM_MODULEDEBUG) {
            EXPECT_EQ(m.text, "boot ok\r\n");
            EXPECT_EQ(m.lParam, 10);
        } else if (c.msg == UM_DEVICENETSTATUS) {
            EXPECT_EQ(m.data, (Bytes{0x85, 0x02, 0, 0, 1}));
            EXPECT_EQ(m.lParam, 5);
        } else {
            EXPECT_EQ(m.data.size(), 64u);
        }
        EXPECT_TRUE(link->StopThread(2000));
        link.reset();
        sim.ClearLog();
    }
}
