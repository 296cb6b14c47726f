// The endurance test's thread and the tests page's arithmetic.

#include "app/testthread.h"

#include "platform/numtext.h"

#include <chrono>
#include <cmath>
#include <limits>
#include <numbers>

namespace quenor {

namespace {

using Clock = std::chrono::steady_clock;
// How often a wait for register 35 looks at the run and end flags.
constexpr auto kWaitSlice = std::chrono::milliseconds(20);

}  // namespace

TTestThread::TTestThread(ComThread& com, std::function<void()> ringFull)
    : com_(com), ringFull_(std::move(ringFull))
{
    waiterAdded_ = com_.AddWaiter(&waiter_);
    thread_ = std::thread([this] { Execute(); });
}

TTestThread::~TTestThread()
{
    Terminate();
    if (waiterAdded_)
        com_.RemoveWaiter(&waiter_);
}

void TTestThread::Start()
{
    {
        std::lock_guard lock(mutex_);
        run_.store(true, std::memory_order_release);
    }
    cv_.notify_all();
}

void TTestThread::Stop()
{
    {
        std::lock_guard lock(mutex_);
        run_.store(false, std::memory_order_release);
    }
    cv_.notify_all();
}

void TTestThread::Terminate()
{
    {
        std::lock_guard lock(mutex_);
        terminated_.store(true, std::memory_order_release);
    }
    cv_.notify_all();
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
        thread_.join();
}

void TTestThread::SetDelay1(int ms)
{
    if (ms >= 0)
        delay1_.store(ms, std::memory_order_release);
}

void TTestThread::SetDelay2(int ms)
{
    if (ms >= 0)
        delay2_.store(ms, std::memory_order_release);
}

bool TTestThread::Hold()
{
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return Ending() || Running(); });
    return !Ending();
}

bool TTestThread::Pause(std::int64_t ms)
{
    auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            cv_.wait_until(lock, deadline, [this] { return Ending() || !Running(); });
            if (Ending())
                return false;
            if (Running())
                return true;  // the pause ran out
        }
        // Stopped inside the pause: the rest of it is slept after the resume.
        const auto rest = std::max(Clock::duration::zero(), deadline - Clock::now());
        if (!Hold())
            return false;
        deadline = Clock::now() + rest;
    }
}

bool TTestThread::AwaitInPosition()
{
    for (;;) {
        if (!Hold())
            return false;
        if (waiter_.Wait(kWaitSlice) && (waiter_.Value() & kInPositionBit) != 0)
            return true;
    }
}

bool TTestThread::Move(std::int32_t position)
{
    for (;;) {
        {
            // The move is queued under the lock that Stop takes: once Stop
            // has returned, no further move goes out.
            std::unique_lock lock(mutex_);
            cv_.wait(lock, [this] { return Ending() || Running(); });
            if (Ending())
                return false;
            try {
                // The motor the link talks to: the test moves the chosen motor only.
                com_.RequestWrite(com_.Address(), kPositionRegister, position, 2);
                waiter_.Reset();
                return true;
            } catch (const ComIntException&) {
            }
        }
        // The motor lags far behind: tell the user and try again shortly.
        if (ringFull_)
            ringFull_();
        if (!Pause(kWaitStepMs))
            return false;
    }
}

void TTestThread::Execute()
{
    int s = 1;
    while (Hold()) {
        state_.store(s, std::memory_order_release);
        switch (s) {
        case 1:
        case 4:
            if (!Move(s == 1 ? 1 : 2))
                return;
            s = WaitInPosition() ? s + 1 : s + 2;
            break;
        case 2:
        case 5:
            if (!AwaitInPosition())
                return;
            s += 1;
            break;
        case 3:
            if (!Pause(Delay1()))
                return;
            s = 4;
            break;
        default:
            if (!Pause(Delay2()))
                return;
            s = 1;
            break;
        }
    }
}

// --- arithmetic --------------------------------------------------------------------------------

std::optional<int> ParseDelayText(std::string_view text)
{
    const std::optional<std::int64_t> v = ParseInteger(text);
    if (!v || *v < 0 || *v > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(*v);
}

int ZeroSearchModeFor(std::int32_t controlValue)
{
    return controlValue < 256 ? controlValue : controlValue >> 8;
}

ZeroMarkerPlace ZeroMarkerFor(int family, std::int32_t value)
{
    constexpr double pi = std::numbers::pi;
    const double v = value;
    double a = 0;
    ZeroMarkerPlace place;
    switch (family) {
    case 0:
        a = pi / 2 - (v - 1024) * 0.0009765625 * pi / 2;
        break;
    case 1:
        a = pi / 2 - (v - 4000) * 0.00025 * pi;
        place.largeCircle = true;
        break;
    default:
        a = 3 * pi / 2 - v * 0.000625 * pi * 2;
        place.largeCircle = true;
        break;
    }
    const ZeroCircleGeometry& c = place.largeCircle ? kLargeZeroCircle : kSmallZeroCircle;
    const double dx = std::cos(a) * c.radius;
    const double dy = std::sin(a) * c.radius;
    place.top = static_cast<int>(std::trunc(c.centreY - dy - kMarkerHalfHeight));
    place.left = static_cast<int>(std::trunc(c.centreX + dx - kMarkerHalfWidth));
    return place;
}

}  // namespace quenor
