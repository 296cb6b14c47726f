#pragma once
// The endurance test of the tests page: every motor on the line (address 255)
// moves back and forth between positions 1 and 2 (register 43), pausing after
// each move and, when asked, waiting until register 35 reports "in position".
// The thread only queues requests on the communication thread; the value of
// register 35 arrives whenever the communication thread reads that register
// for the main window.
//
// Start and Stop keep the cycle where it is: a stopped cycle halts at its next
// state change or inside its wait or pause (no move is queued after Stop has
// returned), and Start resumes it there (the
// rest of an interrupted pause is slept after the resume). Every wait and
// pause also ends when the thread is told to end, so shutting down never waits
// longer than one short step.

#include "link/comthread.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>

namespace quenor {

class TTestThread {
public:
    static constexpr int kPositionRegister = 43;  // 1 or 2: the position to go to
    static constexpr int kStatusRegister = 35;    // bit 0x10: in position
    static constexpr std::int32_t kInPositionBit = 0x10;
    static constexpr int kWaitStepMs = 500;        // one wait for register 35
    static constexpr int kDefaultDelayMs = 1000;

    // ringFull runs on the test thread when the request ring refused a move;
    // the cycle then keeps its state and tries again after one wait step.
    explicit TTestThread(ComThread& com, std::function<void()> ringFull = {});
    ~TTestThread();
    TTestThread(const TTestThread&) = delete;
    TTestThread& operator=(const TTestThread&) = delete;

    void Start();
    void Stop();
    // Ends the thread and waits for it; bounded by one short step.
    void Terminate();
    bool Running() const { return run_.load(std::memory_order_acquire); }

    // Pauses after the moves to position 1 and 2, in ms; read at the start of
    // each pause. Negative values are refused (the delay keeps its value).
    void SetDelay1(int ms);
    void SetDelay2(int ms);
    int Delay1() const { return delay1_.load(std::memory_order_acquire); }
    int Delay2() const { return delay2_.load(std::memory_order_acquire); }
    void SetWaitInPosition(bool on) { waitInPosition_.store(on, std::memory_order_release); }
    bool WaitInPosition() const { return waitInPosition_.load(std::memory_order_acquire); }

    // The cycle's state, 1 to 6: 1 move to position 1, 2 wait in position,
    // 3 delay 1, 4 move to position 2, 5 wait in position, 6 delay 2.
    int State() const { return state_.load(std::memory_order_acquire); }

private:
    void Execute();
    bool Hold();                   // blocks while stopped; false when told to end
    bool Pause(std::int64_t ms);   // false when told to end
    bool AwaitInPosition();        // false when told to end
    bool Move(std::int32_t position);  // false when told to end
    bool Ending() const { return terminated_.load(std::memory_order_acquire); }

    ComThread& com_;
    std::function<void()> ringFull_;
    ComWaiter waiter_{kStatusRegister};
    bool waiterAdded_ = false;

    std::atomic<int> delay1_{kDefaultDelayMs};
    std::atomic<int> delay2_{kDefaultDelayMs};
    std::atomic<bool> waitInPosition_{true};
    std::atomic<int> state_{1};
    std::atomic<bool> run_{false};
    std::atomic<bool> terminated_{false};

    std::mutex mutex_;
    std::condition_variable cv_;
    std::thread thread_;
};

// --- the tests page's own arithmetic ---------------------------------------------------------

// A delay typed into the page: a whole non-negative number of ms, else nothing.
std::optional<int> ParseDelayText(std::string_view text);

// The mode written to register 2 to start a zero search, from the zero-search
// mode control (register 42): small values are the mode, larger ones carry it
// in their high byte.
int ZeroSearchModeFor(std::int32_t controlValue);

// Where the zero-search marker goes for a reading of the zero position
// (family 0 register 162, family 1 register 9, family 2 register 120).
struct ZeroMarkerPlace {
    bool largeCircle = false;  // families 1 and 2 draw on the large circle
    int left = 0;              // the marker's top-left corner, relative to the circle's
    int top = 0;
};
ZeroMarkerPlace ZeroMarkerFor(int family, std::int32_t value);

// The two circle pictures: centre and radius within the picture.
struct ZeroCircleGeometry {
    double centreX;
    double centreY;
    double radius;
};
inline constexpr ZeroCircleGeometry kSmallZeroCircle{73.5, 69.0, 63.0};
inline constexpr ZeroCircleGeometry kLargeZeroCircle{49.5, 45.0, 40.5};
// The marker's offset from its corner to its centre.
inline constexpr double kMarkerHalfWidth = 3.5;
inline constexpr double kMarkerHalfHeight = 3.0;

}  // namespace quenor
