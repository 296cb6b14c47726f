#include "platform/clock.h"

namespace quenor {

std::int64_t MonotonicMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::int64_t MonotonicUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

bool StopSignal::SleepFor(std::chrono::microseconds duration)
{
    if (IsRaised())
        return false;
    if (duration.count() <= 0)
        return true;
    std::unique_lock lock(mutex_);
    return !cv_.wait_for(lock, duration, [this] { return IsRaised(); });
}

void StopSignal::Raise()
{
    {
        std::lock_guard lock(mutex_);
        raised_.store(true, std::memory_order_release);
    }
    cv_.notify_all();
}

void StopSignal::Reset()
{
    std::lock_guard lock(mutex_);
    raised_.store(false, std::memory_order_release);
}

}  // namespace quenor
