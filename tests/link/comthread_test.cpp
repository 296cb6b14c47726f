// The communication thread against the simulated motor over a pseudo-terminal.

#include "link/comthread.h"
#include "tests/link/linkfixture.h"
#include "platform/recordingtarget.h"
#include "tools/motorsim/motorsim.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

using namespace quenor;
using namespace quenor::motorsim;
using namespace std::chrono_literals;
using linktest::Bytes;
using linktest::FastTimings;
using linktest::gHeld;
using linktest::gRelease;
using linktest::HoldJob;

namespace {

constexpr int kPort = 5;

void RescanJob(ComThread& t, ComRequest&)
{
    t.StartReconnectScan();
}

void NothingJob(ComThread&, ComRequest&) {}

struct Msg {
    int msg;
    std::int64_t w, l;
    bool operator==(const Msg&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Msg& m)
{
    return os << "(" << (m.msg - WM_USER) << ", " << m.w << ", " << m.l << ")";
}

class ComThreadTest : public linktest::LinkTest {
protected:
    ComThreadTest() { sim.SetFamily(2); }

    void Create(int options = 0, ComTimings timings = linktest::FastTimings())
    {
        link = std::make_unique<ComThread>(&target, options, timings);
    }
    // Connects at address 1 and waits for the connected message.
    void Connect(int options = 0)
    {
        Create(options);
        link->SetPortSettings(kPort, 19200);
        link->Reconnect(1);
        link->Start();
        ASSERT_TRUE(target.WaitForMessage(UM_LINKSTATE, 2, 5s));
    }
    std::vector<Msg> Messages(int only = 0)
    {
        std::vector<Msg> out;
        for (const Message& m : target.Snapshot())
            if (only == 0 || m.msg == only)
                out.push_back(Msg{m.msg, m.wParam, m.lParam});
        return out;
    }
    int CountValues(int reg)
    {
        int n = 0;
        for (const Msg& m : Messages(UM_REGISTERVALUE))
            n += m.w == reg;
        return n;
    }
};

}  // namespace

TEST_F(ComThreadTest, ConnectPostsItsMessagesInOrder)
{
    sim.SetModuleInfo({4, 0x21, 0x10, 0x00});
    Connect();
    const std::vector<Message> all = target.Snapshot();
    ASSERT_EQ(all.size(), 6u);
    EXPECT_EQ((Msg{all[0].msg, all[0].wParam, all[0].lParam}), (Msg{UM_LINKSTATE, 1, 0}));
    EXPECT_EQ((Msg{all[1].msg, all[1].wParam, all[1].lParam}), (Msg{UM_PARAMERROR, 5, 0}));
    EXPECT_EQ(all[2].msg, UM_MODULESETUP);
    ASSERT_TRUE(all[2].hasData);
    ASSERT_GE(all[2].data.size(), 4u);
    EXPECT_EQ(all[2].data[0], 4);
    EXPECT_EQ(all[2].data[1], 0x21);
    EXPECT_EQ(all[3].msg, UM_PROGRESS);
    EXPECT_EQ(all[3].wParam, 0);
    EXPECT_EQ(all[3].text, "Connecting");
    EXPECT_EQ((Msg{all[4].msg, all[4].wParam, all[4].lParam}), (Msg{UM_LINKSTATE, 8, 0}));
    // Family 2 motor: family bits 01 above the firmware value.
    EXPECT_EQ((Msg{all[5].msg, all[5].wParam, all[5].lParam}), (Msg{UM_LINKSTATE, 2, 0x4123}));
    EXPECT_EQ(link->State(), LINK_SERVING);
}

TEST_F(ComThreadTest, ConnectWithoutModulePostsNoModuleSetup)
{
    Connect();
    EXPECT_TRUE(Messages(UM_MODULESETUP).empty());
    EXPECT_EQ(sim.CountRequests(0x5F), 1);
}

TEST_F(ComThreadTest, ReadsAndWritesReachTheMotor)
{
    sim.SetRegister(37, -5);
    sim.SetRegister(10, 0xFFFE);
    Connect();
    link->RequestRead(1, 37, false, 0);
    EXPECT_TRUE(WaitValue(37, -5));
    link->RequestRead(1, 10, false, 4);
    EXPECT_TRUE(WaitValue(10, 65534));
    link->RequestRead(1, 10, false, 2);
    EXPECT_TRUE(WaitValue(10, -2));

    sim.ClearLog();
    link->RequestWrite(1, 37, 0x1234, 2);
    EXPECT_TRUE(WaitValue(37, 0x1234));
    EXPECT_EQ(sim.Register(37), 0x1234);
    const std::vector<LogEntry> log = sim.Log();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0].bytes,
              (Bytes{0x52, 0x52, 0x52, 0x01, 0xFE, 0x25, 0xDA, 0x02, 0xFD, 0x34, 0xCB, 0x12, 0xED, 0xAA, 0xAA}));

    link->RequestWrite(1, 40, -100000, 4);
    EXPECT_TRUE(WaitValue(40, -100000));
    EXPECT_EQ(sim.Register(40), -100000);
}

TEST_F(ComThreadTest, CorruptedReplyIsRetriedAndTheValueArrives)
{
    sim.SetRegister(40, 777);
    Connect();
    sim.ClearLog();
    target.Clear();
    sim.InjectFault(FaultKind::Corrupt, 1);
    link->RequestRead(1, 40, false, 2);
    ASSERT_TRUE(WaitValue(40, 777));
    EXPECT_EQ(Messages(UM_LINKSTATE), (std::vector<Msg>{{UM_LINKSTATE, 8, 1}}));
    EXPECT_EQ(sim.CountRequests(0x50), 2);
    EXPECT_EQ(link->ErrorCount(), 1);
}

TEST_F(ComThreadTest, FourFailuresLoseTheLinkAndTheConnectEmptiesTheRing)
{
    sim.SetRegister(40, 1);
    sim.SetRegister(41, 2);
    sim.SetRegister(42, 3);
    Connect();
    target.Clear();
    sim.InjectFault(FaultKind::Corrupt, 4);
    link->RequestRead(1, 40, false, 2);
    link->RequestRead(1, 41, false, 2);
    link->RequestRead(1, 42, false, 2);
    ASSERT_TRUE(target.WaitForMessage(UM_LINKSTATE, 2, 10s));
    const std::vector<Msg> expected{{UM_LINKSTATE, 8, 1}, {UM_LINKSTATE, 8, 2}, {UM_LINKSTATE, 8, 3},
                                    {UM_LINKSTATE, 8, 4}, {UM_LINKSTATE, 1, 0}, {UM_LINKSTATE, 8, 0},
                                    {UM_LINKSTATE, 2, 0x4123}};
    EXPECT_EQ(Messages(UM_LINKSTATE), expected);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(link->QueueLength(), 0);
    EXPECT_TRUE(Messages(UM_REGISTERVALUE).empty()) << "the queued reads went with the emptied ring";
    EXPECT_EQ(sim.CountRequests(0x50), 1 + 4 + 1);  // connect, four attempts, reconnect
}

TEST_F(ComThreadTest, FullRingRaisesAndDropsOneShotReads)
{
    Connect();
    HoldThread();  // the held job stays at the head of the ring
    for (int i = 0; i < ComThread::kRingSize - 2; ++i)
        link->RequestWrite(1, 100, i, 2);
    EXPECT_EQ(link->QueueLength(), ComThread::kRingSize - 1);
    EXPECT_THROW(link->RequestWrite(1, 100, 9999, 2), ComIntException);
    ComRequest other;
    other.handler = &NothingJob;
    EXPECT_THROW(link->PushRequest(other), ComIntException);
    EXPECT_NO_THROW(link->RequestRead(1, 55, false, 2));
    EXPECT_EQ(link->QueueLength(), ComThread::kRingSize - 1);

    gRelease = true;
    ASSERT_TRUE(WaitValue(100, ComThread::kRingSize - 3, 10s));
    EXPECT_EQ(CountValues(100), ComThread::kRingSize - 2);
    EXPECT_EQ(CountValues(55), 0);
    EXPECT_EQ(sim.Register(100), ComThread::kRingSize - 3);
    for (int i = 0; i < 1000 && !link->IsQueueEmpty(); ++i)
        usleep(1000);  // the head moves on just after the last value is posted
    EXPECT_TRUE(link->IsQueueEmpty());
}

TEST_F(ComThreadTest, OutsideTheLinkWritesAnswerAtOnceAndOtherRequestsAreDropped)
{
    Create();
    link->Start();  // idle: no port chosen yet
    for (int i = 0; i < 100 && link->State() != LINK_IDLE; ++i)
        usleep(1000);
    ASSERT_EQ(link->State(), LINK_IDLE);
    link->RequestWrite(1, 12, 345, 2);
    EXPECT_EQ(Messages(), (std::vector<Msg>{{UM_REGISTERVALUE, 12, 345}}));
    ComRequest other;
    other.handler = &NothingJob;
    EXPECT_FALSE(link->QueueIfLinked(other));
    EXPECT_EQ(link->QueueLength(), 0);
    link->RequestRead(1, 12, false, 2);
    EXPECT_EQ(link->QueueLength(), 1) << "reads queue in every state";

    // Connecting to a motor that does not answer: state 2.
    sim.SetSilent(true);
    target.Clear();
    link->SetPortSettings(kPort, 19200);
    ASSERT_TRUE(target.WaitForMessage(UM_PARAMERROR, 5, 3s));
    ASSERT_EQ(link->State(), LINK_CONNECTING);
    link->RequestWrite(1, 13, -7, 2);
    EXPECT_TRUE(WaitValue(13, -7, 0ms));
    EXPECT_FALSE(link->QueueIfLinked(other));
    EXPECT_EQ(sim.CountRequests(0x52), 0);
}

TEST_F(ComThreadTest, StopThreadEndsWhileAReplyIsAwaited)
{
    Connect();
    sim.SetSilent(true);
    const int before = sim.CountRequests(0x50);
    link->RequestRead(1, 3, false, 2);
    ASSERT_TRUE(sim.WaitForRequests(0x50, before + 1, 3s));
    const std::int64_t t0 = MonotonicMs();
    EXPECT_TRUE(link->StopThread(2000));
    EXPECT_LT(MonotonicMs() - t0, 150);
    EXPECT_TRUE(link->Finished());
    EXPECT_TRUE(Messages(UM_PARAMERROR).size() == 1) << "no link error for a stop";
}

TEST_F(ComThreadTest, StopThreadWithoutGraceEndsAtOnce)
{
    Connect();
    const std::int64_t t0 = MonotonicMs();
    link->StopThread(0);
    EXPECT_LT(MonotonicMs() - t0, 150);
    EXPECT_TRUE(link->Finished());
}

TEST_F(ComThreadTest, PortErrorsAreReportedWithTheirCode)
{
    Create();
    setenv("QUENOR_COM6", "/dev/quenor-no-such-device", 1);  // before the thread reads the environment
    link->Start();
    link->SetPortSettings(6, 19200);
    EXPECT_TRUE(target.WaitFor(
        [](const std::vector<Message>& ms) {
            for (const Message& m : ms)
                if (m.msg == UM_PARAMERROR && m.wParam == 4 && m.lParam == 1)
                    return true;
            return false;
        },
        3s));
    target.Clear();
    link->SetPortSettings(kPort, 12345);
    EXPECT_TRUE(target.WaitFor(
        [](const std::vector<Message>& ms) {
            for (const Message& m : ms)
                if (m.msg == UM_PARAMERROR && m.wParam == 4 && m.lParam == 2)
                    return true;
            return false;
        },
        3s));
    ASSERT_TRUE(link->StopThread(2000));
    unsetenv("QUENOR_COM6");
}

TEST_F(ComThreadTest, OptionBitZeroSlowsTheConnect)
{
    Create(1);
    EXPECT_EQ(link->Port().TimeoutFactor(), 5);
    link->SetPortSettings(kPort, 19200);
    link->Reconnect(1);
    const std::int64_t t0 = MonotonicUs();
    link->Start();
    ASSERT_TRUE(target.WaitForMessage(UM_LINKSTATE, 2, 5s));
    const std::vector<LogEntry> log = sim.Log();
    ASSERT_FALSE(log.empty());
    EXPECT_GE(log[0].timeUs - t0, 300'000) << "the wait before the connect frame";
    ASSERT_TRUE(link->StopThread(2000));
    EXPECT_EQ(link->Port().Timeouts().readInterval, 1000);
}

TEST_F(ComThreadTest, RescanFindsTheMotorAgain)
{
    Connect();
    target.Clear();
    ComRequest scan;
    scan.handler = &RescanJob;
    link->PushRequest(scan);
    ASSERT_TRUE(target.WaitForMessage(UM_LINKSTATE, 7, 5s));
    EXPECT_EQ(Messages(UM_LINKSTATE),
              (std::vector<Msg>{{UM_LINKSTATE, 6, 0}, {UM_LINKSTATE, 8, 0}, {UM_LINKSTATE, 7, 0}}));
    EXPECT_EQ(link->State(), LINK_SERVING);
}

TEST_F(ComThreadTest, RescanOfASilentMotorGivesUpAndConnectsAnew)
{
    Connect();
    target.Clear();
    sim.SetSilent(true);
    ComRequest scan;
    scan.handler = &RescanJob;
    link->PushRequest(scan);
    ASSERT_TRUE(target.WaitForMessage(UM_LINKSTATE, 1, 5s));
    EXPECT_EQ(Messages(UM_LINKSTATE), (std::vector<Msg>{{UM_LINKSTATE, 6, 0}, {UM_LINKSTATE, 1, 0}}));
    sim.SetSilent(false);
    EXPECT_TRUE(target.WaitForMessage(UM_LINKSTATE, 2, 5s));
}

TEST_F(ComThreadTest, SuspendHandsThePortOverAndResumeConnectsAgain)
{
    Connect();
    target.Clear();
    sim.ClearLog();
    link->SuspendLink(true);
    EXPECT_EQ(link->State(), LINK_CONNECTING);
    EXPECT_EQ(Messages(), (std::vector<Msg>{{UM_LINKSTATE, 1, 0}}));
    EXPECT_FALSE(link->Port().IsOpen());
    ASSERT_TRUE(sim.WaitForRequests(0x54, 1, 2s));
    const int readsBefore = sim.CountRequests(0x50);  // a poll may have been on the line when we asked
    // The port is ours now: the device can be opened by someone else.
    const int fd = ::open(sim.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    EXPECT_GE(fd, 0);
    if (fd >= 0)
        ::close(fd);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(sim.CountRequests(0x50), readsBefore) << "the parked thread sends nothing";

    link->ResumeLink(true);
    EXPECT_TRUE(sim.WaitForRequests(0x55, 1, 2s));
    EXPECT_TRUE(target.WaitForMessage(UM_LINKSTATE, 2, 5s));
}

TEST_F(ComThreadTest, PollListMergesAndCycles)
{
    sim.SetRegister(30, 0x11);
    sim.SetRegister(31, 0x22);
    Connect();
    link->RequestRead(1, 30, true, 2);
    link->RequestRead(1, 30, true, 4);
    link->RequestRead(1, 30, true, 2);
    link->RequestRead(1, 31, true, 0);
    EXPECT_EQ(link->PollCount(), 2);
    ASSERT_TRUE(target.WaitFor(
        [](const std::vector<Message>& ms) {
            int a = 0, b = 0;
            for (const Message& m : ms) {
                a += m.msg == UM_REGISTERVALUE && m.wParam == 30;
                b += m.msg == UM_REGISTERVALUE && m.wParam == 31;
            }
            return a >= 3 && b >= 3;
        },
        5s));
    // The merged entry kept width 4: the motor's 2-byte reply is not sign-extended.
    sim.SetRegister(30, 0xFFF0);
    EXPECT_TRUE(WaitValue(30, 0xFFF0));

    // Edits while the thread cycles.
    for (int round = 0; round < 50; ++round) {
        link->ClearPollList();
        for (int r = 0; r < 1 + round % 4; ++r)
            link->RequestRead(1, 60 + r, true, 2);
        std::this_thread::sleep_for(1ms);
    }
    link->ClearPollList();
    EXPECT_EQ(link->PollCount(), 0);
    target.Clear();
    link->RequestRead(1, 31, false, 2);
    EXPECT_TRUE(WaitValue(31, 0x22));
}

TEST_F(ComThreadTest, WaitersGetTheValueOfTheirRegister)
{
    sim.SetRegister(37, 4242);
    Connect();
    ComWaiter w37(37), w38(38);
    ASSERT_TRUE(link->AddWaiter(&w37));
    ASSERT_TRUE(link->AddWaiter(&w38));
    link->RequestRead(1, 37, false, 2);
    ASSERT_TRUE(w37.Wait(3s));
    EXPECT_EQ(w37.Value(), 4242);
    EXPECT_FALSE(w38.Wait(50ms));
    link->RemoveWaiter(&w37);
    link->RemoveWaiter(&w38);
    std::vector<ComWaiter> many(11);
    int added = 0;
    for (ComWaiter& w : many)
        added += link->AddWaiter(&w);
    EXPECT_EQ(added, ComThread::kMaxWaiters);
    for (ComWaiter& w : many)
        link->RemoveWaiter(&w);
}

// A batch counts the writes queued since its clear: a write still waiting
// from before is no part of it, one queued after its start gets no progress.
TEST_F(ComThreadTest, WriteBatchReportsProgress)
{
    Connect();
    HoldThread();
    target.Clear();
    link->RequestWrite(1, 49, 7, 2);  // queued before the batch
    link->ClearWriteProgress();
    for (int i = 0; i < 4; ++i)
        link->RequestWrite(1, 50 + i, i, 2);
    link->StartWriteProgress("Loading new filter");
    link->RequestWrite(1, 60, 1, 2);  // after the batch: no progress
    sim.SetRegister(63, 11);
    link->RequestRead(1, 63, false, 2);  // runs when the writes are counted
    gRelease = true;
    ASSERT_TRUE(WaitValue(63, 11));
    // Each write's value, and the progress it brought, in the order posted.
    std::vector<std::string> seen;
    for (const Message& m : target.Snapshot())
        if (m.msg == UM_PROGRESS)
            seen.push_back(std::to_string(m.wParam) + " " + m.text);
        else if (m.msg == UM_REGISTERVALUE)
            seen.push_back("reg " + std::to_string(m.wParam));
    const std::vector<std::string> expected{"reg 49",
                                            "reg 50", "25 Loading new filter",
                                            "reg 51", "50 Loading new filter",
                                            "reg 52", "75 Loading new filter",
                                            "reg 53", "100 Loading new filter",
                                            "reg 60",
                                            "reg 63"};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(link->WritesDone(), 5);  // those queued since the clear

    // A clear while writes wait: they no longer count.
    gHeld = false;
    gRelease = false;
    HoldThread();
    link->ClearWriteProgress();
    link->RequestWrite(1, 61, 2, 2);
    link->ClearWriteProgress();
    link->RequestWrite(1, 62, 3, 2);
    sim.SetRegister(63, 12);
    link->RequestRead(1, 63, false, 2);
    gRelease = true;
    ASSERT_TRUE(WaitValue(63, 12));
    EXPECT_EQ(link->WritesDone(), 1);
}

TEST_F(ComThreadTest, SeveralThreadsPushAtOnce)
{
    Connect();
    std::vector<std::thread> pushers;
    for (int p = 0; p < 4; ++p) {
        pushers.emplace_back([this, p] {
            for (int i = 0; i < 25; ++i)
                link->RequestWrite(1, 70 + p, i, 2);
        });
    }
    for (std::thread& t : pushers)
        t.join();
    for (int p = 0; p < 4; ++p)
        EXPECT_TRUE(WaitValue(70 + p, 24, 10s));
    for (int p = 0; p < 4; ++p)
        EXPECT_EQ(CountValues(70 + p), 25);
}

TEST_F(ComThreadTest, AliveAfterEachPass)
{
    Connect();
    link->IsAlive();
    std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(link->IsAlive());
}

TEST_F(ComThreadTest, PendingReconnectToAMissingPortIsRetriedOncePerIdleSleep)
{
    ComTimings t = FastTimings();
    t.idleMs = 100;
    Create(0, t);
    // A device name that does not exist yet, in the test's working folder; the
    // environment is not touched while the thread runs.
    const std::string device = "quenor-com6-" + std::to_string(getpid());
    ::unlink(device.c_str());
    setenv("QUENOR_COM6", device.c_str(), 1);
    link->SetPortSettings(6, 19200);
    link->Reconnect(1);
    link->Start();
    ASSERT_TRUE(target.WaitForMessage(UM_PARAMERROR, 4, 15s));
    std::this_thread::sleep_for(550ms);
    // Five looks for the device, and one report: the waiting costs the
    // receiver nothing, nor the thread more than its looks.
    EXPECT_EQ(Messages(UM_PARAMERROR), (std::vector<Msg>{{UM_PARAMERROR, 4, 1}}));
    EXPECT_EQ(Messages(UM_LINKSTATE), (std::vector<Msg>{{UM_LINKSTATE, 1, 0}}));
    EXPECT_LT(link->ThreadCpuUs(), 250000) << "no busy loop";
    const auto textsOf = [](const std::vector<Message>& ms) {
        std::vector<std::string> out;
        for (const Message& m : ms)
            if (m.msg == UM_PARAMERROR && m.wParam == 4)
                out.push_back(m.text);
        return out;
    };
    const auto errorTexts = [&] { return textsOf(target.Snapshot()); };
    EXPECT_EQ(errorTexts(), (std::vector<std::string>{device + ": no such device"}));

    // The adapter appears, but another program holds it: that is said once.
    setenv("QUENOR_COM8", sim.DevicePath().c_str(), 1);
    auto holder = std::make_unique<TSerCom>(8, 19200, 64);
    holder->Open();
    ASSERT_EQ(::symlink(sim.DevicePath().c_str(), device.c_str()), 0);
    ASSERT_TRUE(target.WaitFor([&](const std::vector<Message>& ms) { return textsOf(ms).size() == 2; }, 5s));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(errorTexts(), (std::vector<std::string>{device + ": no such device",
                                                      device + ": in use by another program"}));
    // Let go: the pending reconnect opens the port (clearing the error) and finds the motor.
    holder.reset();
    EXPECT_TRUE(target.WaitForMessage(UM_LINKSTATE, 2, 5s));
    EXPECT_EQ(Messages(UM_LINKSTATE).front(), (Msg{UM_LINKSTATE, 1, 0}));
    EXPECT_EQ(Messages(UM_PARAMERROR).back(), (Msg{UM_PARAMERROR, 5, 0}));
    ASSERT_TRUE(link->StopThread(2000));
    ::unlink(device.c_str());
    unsetenv("QUENOR_COM6");
    unsetenv("QUENOR_COM8");
}

TEST_F(ComThreadTest, OptionBitOneSleepsAfterEveryReply)
{
    Create(2);
    link->SetPortSettings(kPort, 19200);
    link->Reconnect(1);
    link->Start();
    ASSERT_TRUE(target.WaitForMessage(UM_LINKSTATE, 2, 5s));
    const int before = sim.CountRequests(0x50);
    for (int i = 0; i < 20; ++i)
        link->RequestRead(1, 3, false, 2);
    ASSERT_TRUE(sim.WaitForRequests(0x50, before + 20, 5s));
    std::vector<std::int64_t> times;
    for (const LogEntry& e : sim.Log())
        if (e.request && !e.bytes.empty() && e.bytes[0] == 0x50)
            times.push_back(e.timeUs);
    ASSERT_GE(times.size(), 20u);
    // 1 ms of sleep and more than 1 ms of wait between a reply and the next request.
    for (std::size_t i = times.size() - 19; i < times.size(); ++i)
        EXPECT_GE(times[i] - times[i - 1], 2000) << i;
}
