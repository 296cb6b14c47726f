// The endurance test's thread against the simulated motor.

#include "app/testthread.h"
#include "link/linkfixture.h"

#include <cmath>
#include <cstring>
#include <functional>
#include <thread>

namespace quenor::linktest {
namespace {

// Notes when each write of the position register was answered: with the link
// not connected that is the moment the write was handed over.
class TimedTarget : public RecordingTarget {
public:
    struct Move {
        std::int64_t position;
        std::chrono::steady_clock::time_point at;
    };
    void Post(Message m) override
    {
        const auto now = std::chrono::steady_clock::now();
        if (m.msg != UM_REGISTERVALUE || m.wParam != TTestThread::kPositionRegister)
            return;
        m.text.assign(reinterpret_cast<const char*>(&now), sizeof now);  // the time, kept with it
        RecordingTarget::Post(std::move(m));
    }
    std::vector<Move> Moves() const
    {
        std::vector<Move> out;
        for (const Message& m : Snapshot()) {
            Move move{m.lParam, {}};
            std::memcpy(&move.at, m.text.data(), sizeof move.at);
            out.push_back(move);
        }
        return out;
    }
};

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

    TimedTarget timed;  // outlives the test thread that posts to it
    std::unique_ptr<TTestThread> test;
};

TEST_F(TestThreadTest, WithoutWaitTheCycleAlternatesOnTheMotor)
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
    // Only the motor the link talks to moves, not every motor on the line.
    for (const motorsim::SimFrame& f : sim.Requests()) {
        if (f.command == 0x52 && f.fields.size() > 1 && f.fields[1] == TTestThread::kPositionRegister) {
            EXPECT_EQ(f.fields[0], 1);
        }
    }
}

// Each pause counts from the moment its move was handed to the communication
// thread. The motor's receipt of a move comes later by the line's latency,
// which differs from move to move, so the pauses are measured at the hand-over:
// with the link not connected every write is answered at once, on the cycle's
// own thread, and the target notes the time of each answer. The next move is
// handed over only after the pause has run from there, so a gap is never
// shorter than its delay, however late any thread runs; and the pauses lie so
// far apart that the short one stays well below the long one on a machine that
// holds a thread up for a while.
TEST_F(TestThreadTest, WithoutWaitTheCycleAlternatesWithItsPauses)
{
    constexpr int kShort = 20, kLong = 500;
    struct Case {
        int delay1;
        int delay2;
    };
    // Either pause the long one: a pause that is missing or too short falls
    // below its delay; swapped pauses do too; equal ones (both the long delay,
    // say) make the short gap as long as the long one.
    const Case cases[] = {{kLong, kShort}, {kShort, kLong}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "delay 1 " << c.delay1 << ", delay 2 " << c.delay2);
        timed.Clear();
        link = std::make_unique<ComThread>(&timed, 0, FastTimings());
        MakeTest();
        test->SetWaitInPosition(false);
        test->SetDelay1(c.delay1);
        test->SetDelay2(c.delay2);
        test->Start();
        ASSERT_TRUE(timed.WaitFor([](const auto& ms) { return ms.size() >= 5; }, 10s));
        test.reset();
        link.reset();

        const std::vector<TimedTarget::Move> moves = timed.Moves();
        for (std::size_t i = 0; i < moves.size(); ++i)
            EXPECT_EQ(moves[i].position, i % 2 == 0 ? 1 : 2) << "move " << i;
        for (std::size_t i = 0; i + 1 < moves.size(); ++i) {
            const int delay = moves[i].position == 1 ? c.delay1 : c.delay2;
            const auto gap = std::chrono::duration_cast<std::chrono::microseconds>(moves[i + 1].at - moves[i].at);
            EXPECT_GE(gap.count(), 1000LL * delay) << "pause after move " << i << " to position " << moves[i].position;
            if (delay == kShort) {
                EXPECT_LT(gap.count(), 1000LL * kLong)
                    << "the short pause after move " << i << " lasted as long as the long one";
            }
        }
    }
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
