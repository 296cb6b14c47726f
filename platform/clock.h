#pragma once
// Monotonic time and waits that a stop request ends early.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace quenor {

std::int64_t MonotonicMs();
std::int64_t MonotonicUs();

// A flag another thread raises to end a worker's sleeps and loops at once.
class StopSignal {
public:
    // Sleeps for the given time; returns false at once when the signal is (or becomes) raised.
    bool SleepFor(std::chrono::microseconds duration);
    bool SleepMs(std::int64_t ms) { return SleepFor(std::chrono::milliseconds(ms)); }

    void Raise();
    void Reset();
    bool IsRaised() const { return raised_.load(std::memory_order_acquire); }

private:
    std::atomic<bool> raised_{false};
    std::mutex mutex_;
    std::condition_variable cv_;
};

}  // namespace quenor
