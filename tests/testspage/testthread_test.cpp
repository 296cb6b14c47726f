// The endurance test's thread against the simulated motor.

#include "app/testthread.h"
#include "link/linkfixture.h"

#include <cmath>
#include <functional>
#include <thread>

namespace quenor::linktest {
namespace {

class TestThreadTest : public LinkTest {
protected:
    void TearDown() override
    {
        test.reset();  // before the link it queues on
        LinkTest::TearDown();
    }
    // The positions written to register 43, in order.
    std::vector<std::int32_t> Moves() const
    {
        std::vector<std::int32_t> out;
        for (const Write& w : Writes())
            if (w.reg == TTestThread::kPositionRegister) {
                EXPECT_EQ(w.width, 2);
                out.push_back(w.value);
            }
        return out;
    }
    bool WaitMoves(std::size_t n, std::chrono::milliseconds t = 5s) const
    {
        const auto end = std::chrono::steady_clock::now() + t;
        while (std::chrono::steady_clock::now() < end) {
            if (Moves().size() >= n)
                return true;
            std::this_thread::sleep_for(5ms);
        }
        return false;
    }
    bool WaitState(int s, std::chrono::milliseconds t = 5s) const
    {
        const auto end = std::chrono::steady_clock::now() + t;
        while (std::chrono::steady_clock::now() < end) {
            if (test->State() == s)
                return true;
            std::this_thread::sleep_for(2ms);
        }
        return false;
    }
    void MakeTest(std::function<void()> ringFull = {})
    {
        test = std::make_unique<TTestThread>(*link, std::move(ringFull));
    }
    // Register 35 is read for the window all the time, as its status display does.
    void PollStatus() { link->RequestRead(1, TTestThread::kStatusRegister, true, 2); }

    std::unique_ptr<TTestThread> test;
};

TEST_F(TestThreadTest, WithoutWaitTheCycleAlternatesWithItsPauses)
{
    Connect();
    MakeTest();
    test->SetWaitInPosition(false);
    test->SetDelay1(150);
    test->SetDelay2(20);
    // Nothing moves before the first Start.
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(Moves().empty());

    test->Start();
    ASSERT_TRUE(WaitMoves(5));
    const std::vector<std::int32_t> moves = Moves();
    for (std::size_t i = 0; i < moves.size(); ++i)
        EXPECT_EQ(moves[i], i % 2 == 0 ? 1 : 2) << "move " << i;

    // The pause after position 1 is the longer one: find the frames' times.
    std::vector<std::int64_t> times;
    for (const motorsim::LogEntry& e : sim.Log()) {
        motorsim::SimFrame f;
        std::size_t used = 0;
        if (e.request && motorsim::MotorSim::ParseFrame(e.bytes.data(), e.bytes.size(), f, used) == 1 &&
            f.command == 0x52 && f.fields.size() > 1 && f.fields[1] == TTestThread::kPositionRegister)
            times.push_back(e.timeUs);
    }
    ASSERT_GE(times.size(), 3u);
    EXPECT_GE(times[1] - times[0], 140'000);  // after position 1: delay 1
    EXPECT_LT(times[2] - times[1], times[1] - times[0]);
}

TEST_F(TestThreadTest, WaitsInPositionAndStopKeepsTheState)
{
    Connect();
    sim.SetRegister(TTestThread::kStatusRegister, 0x01);  // not in position
    PollStatus();
    MakeTest();
    test->SetDelay1(10);
    test->SetDelay2(10);
    test->Start();
    ASSERT_TRUE(WaitMoves(1));
    ASSERT_TRUE(WaitState(2));
    // Register 35 keeps coming without bit 0x10: the cycle waits, step after step.
    std::this_thread::sleep_for(1200ms);
    EXPECT_EQ(Moves().size(), 1u);
    EXPECT_EQ(test->State(), 2);

    // Stopped in the wait, the cycle stays there even when the motor arrives.
    test->Stop();
    sim.SetRegister(TTestThread::kStatusRegister, 0x11);
    std::this_thread::sleep_for(700ms);
    EXPECT_EQ(Moves().size(), 1u);
    EXPECT_EQ(test->State(), 2);

    // Start resumes the same wait, which now sees the motor in position: the
    // next move is to position 2, not a new start at position 1.
    test->Start();
    ASSERT_TRUE(WaitMoves(2));
    EXPECT_EQ(Moves()[1], 2);
}

TEST_F(TestThreadTest, EndsAtOnceInsideALongPause)
{
    Connect();
    MakeTest();
    test->SetWaitInPosition(false);
    test->SetDelay1(10000);
    test->Start();
    ASSERT_TRUE(WaitMoves(1));
    ASSERT_TRUE(WaitState(3));
    // A stopped cycle ends as promptly as a running one.
    test->Stop();
    const auto t0 = std::chrono::steady_clock::now();
    test.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 1s);
}

TEST_F(TestThreadTest, AFullRingIsReportedAndTheMoveRetried)
{
    Connect();
    HoldThread();
    // Fill the ring behind the held job.
    ComRequest idle;
    idle.handler = [](ComThread&, ComRequest&) {};
    try {
        for (int i = 0; i < ComThread::kRingSize; ++i)
            link->PushRequest(idle);
    } catch (const ComIntException&) {
    }
    std::atomic<int> reports{0};
    MakeTest([&] { ++reports; });
    test->SetWaitInPosition(false);
    test->Start();
    for (int i = 0; i < 400 && reports.load() == 0; ++i)
        std::this_thread::sleep_for(5ms);
    EXPECT_GE(reports.load(), 1);
    EXPECT_EQ(test->State(), 1);

    gRelease = true;
    ASSERT_TRUE(WaitMoves(1));
    EXPECT_EQ(Moves()[0], 1);
}

TEST(TestsPageArithmetic, DelayTextsAndZeroSearchModes)
{
    const std::pair<const char*, std::optional<int>> delays[] = {
        {"250", 250}, {" 100 ", 100}, {"0", 0}, {"abc", std::nullopt}, {"-5", std::nullopt},
        {"12.5", std::nullopt}, {"", std::nullopt}, {"99999999999", std::nullopt}};
    for (const auto& [text, expected] : delays)
        EXPECT_EQ(ParseDelayText(text), expected) << text;

    const std::pair<std::int32_t, int> modes[] = {{0x0D00, 13}, {13, 13}, {255, 255}, {256, 1}, {0, 0}};
    for (const auto& [value, mode] : modes)
        EXPECT_EQ(ZeroSearchModeFor(value), mode) << value;
}

TEST(TestsPageArithmetic, ZeroMarkerPlaces)
{
    struct Case {
        int family;
        std::int32_t value;
        bool large;
        int left;
        int top;
    };
    // The marker's centre lies on the circle: corner = centre +- radius - half the marker.
    const Case cases[] = {
        {0, 1024, false, 70, 3},   // top of the small circle
        {0, 5120, false, 70, 3},   // a whole turn of the drawing on: the same place
        {0, 3072, false, 70, 129}, // half of it on: the bottom
        {1, 4000, true, 46, 1},    // top of the large circle
        {1, 8000, true, 46, 82},   // half a revolution on: the bottom
        {2, 800, true, 46, 1},     // family 2: 1600 counts a revolution
        {2, 400, true, 5, 42},     // a quarter on: the left
    };
    for (const Case& c : cases) {
        const ZeroMarkerPlace p = ZeroMarkerFor(c.family, c.value);
        EXPECT_EQ(p.largeCircle, c.large) << c.family << " " << c.value;
        EXPECT_NEAR(p.left, c.left, 1) << c.family << " " << c.value;
        EXPECT_NEAR(p.top, c.top, 1) << c.family << " " << c.value;
    }
    // Family 0, value 0: the left of the small circle.
    const ZeroMarkerPlace left = ZeroMarkerFor(0, 0);
    EXPECT_EQ(left.left, 7);
    EXPECT_NEAR(left.top, 66, 1);
}

}  // namespace
}  // namespace quenor::linktest
