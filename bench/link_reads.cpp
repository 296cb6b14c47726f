// Register reads per second through the communication thread against the
// simulated motor over a pseudo-terminal, with no line delay.
//
// Every read ends with the protocol's wait of more than 1 ms after the reply;
// what the host adds beyond that wait, and the CPU time each read costs, are
// what this measures.
//
//   bench_link_reads [reads]

#include "link/comthread.h"
#include "platform/clock.h"
#include "tools/motorsim/motorsim.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <thread>

using namespace quenor;

namespace {

// Counts register values; wakes the producer as they come.
class CountingTarget : public MessageTarget {
public:
    void Post(Message m) override
    {
        if (m.msg == UM_LINKSTATE && m.wParam == 2)
            connected_.store(true);
        if (m.msg != UM_REGISTERVALUE)
            return;
        bool wake = false;
        {
            std::lock_guard lock(mutex_);
            ++values_;
            wake = values_ >= wakeAt_;
        }
        if (wake)  // only when the producer waits for this many
            cv_.notify_one();
    }
    long WaitUntilAtLeast(long n)
    {
        std::unique_lock lock(mutex_);
        wakeAt_ = n;
        cv_.wait(lock, [&] { return values_ >= n; });
        wakeAt_ = 0x7FFFFFFF;
        return values_;
    }
    long Values()
    {
        std::lock_guard lock(mutex_);
        return values_;
    }
    bool Connected() const { return connected_.load(); }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    long values_ = 0;
    long wakeAt_ = 0x7FFFFFFF;
    std::atomic<bool> connected_{false};
};

std::int64_t ProcessCpuUs()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return (ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1000000LL + ru.ru_utime.tv_usec + ru.ru_stime.tv_usec;
}

}  // namespace

int main(int argc, char** argv)
{
    long reads = 5000;
    if (argc > 1) {
        const char* a = argv[1];
        if (std::from_chars(a, a + std::strlen(a), reads).ec != std::errc() || reads <= 0) {
            std::fprintf(stderr, "usage: bench_link_reads [reads]\n");
            return 2;
        }
    }

    motorsim::MotorSim sim(0, 0x0123, 1);
    sim.SetRegister(3, 1234);
    if (!sim.Start()) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    setenv("QUENOR_COM3", sim.DevicePath().c_str(), 1);

    // The line itself: a request out, the simulated motor, the reply in, with
    // no thread around it. Each exchange is followed by the protocol's wait,
    // as in the link thread, so the line is timed as the link thread meets it
    // (processors that have idled for a millisecond wake more slowly than busy
    // ones); the wait is timed apart, by how far it ends past its millisecond.
    double lineUs = 0;
    double waitLateUs = 0;
    std::thread([&] {
        // The link thread's own timer slack, so the wait is the one it makes.
        prctl(PR_SET_TIMERSLACK, 1000UL, 0, 0, 0);
        TSerCom port(3, 115200, 8192);
        FrameLink frames(port, nullptr);
        port.Open();
        const int warmUp = 200;
        const int n = 2000;
        std::int64_t lineTotal = 0;
        std::int64_t lateTotal = 0;
        for (int i = 0; i < warmUp + n; ++i) {
            const std::int64_t l0 = MonotonicUs();
            frames.SendFrame(CMD_READ_REGISTER, {1, 3});
            port.Receive(9);
            port.Receive(15);
            const std::int64_t l1 = MonotonicUs();
            port.DiscardInput();
            const std::int64_t w0 = MonotonicUs();
            frames.WaitTick();
            const std::int64_t w1 = MonotonicUs();
            if (i >= warmUp) {
                lineTotal += l1 - l0;
                lateTotal += w1 - w0 - 1000;
            }
        }
        lineUs = static_cast<double>(lineTotal) / n;
        waitLateUs = static_cast<double>(lateTotal) / n;
    }).join();

    CountingTarget target;
    ComThread link(&target, 0);
    link.SetPortSettings(3, 115200);
    link.Reconnect(1);
    link.Start();
    const std::int64_t connectStart = MonotonicMs();
    while (!target.Connected()) {
        if (MonotonicMs() - connectStart > 10000) {
            std::fprintf(stderr, "the link did not connect\n");
            return 1;
        }
        usleep(10000);
    }

    // Keeps up to `window` reads queued, so the thread never waits for work.
    const long window = 200;
    auto run = [&](long n) {
        const long base = target.Values();
        // Tops the queue up in chunks, so the producer wakes rarely.
        long pushed = 0;
        while (pushed < n) {
            const long chunk = std::min(window / 2, n - pushed);
            target.WaitUntilAtLeast(base + pushed + chunk - window);
            for (long i = 0; i < chunk; ++i)
                link.RequestRead(1, 3, false, 2);
            pushed += chunk;
        }
        target.WaitUntilAtLeast(base + n);
    };

    run(300);  // warm up

    const std::int64_t cpu0 = link.ThreadCpuUs();
    const std::int64_t proc0 = ProcessCpuUs();
    const std::int64_t t0 = MonotonicUs();
    run(reads);
    const std::int64_t wall = MonotonicUs() - t0;
    const std::int64_t cpu = link.ThreadCpuUs() - cpu0;
    const std::int64_t proc = ProcessCpuUs() - proc0;
    link.StopThread(2000);

    const double perRead = static_cast<double>(wall) / static_cast<double>(reads);
    std::printf("register reads:                    %ld\n", reads);
    std::printf("reads per second:                  %.1f\n", 1e6 / perRead);
    std::printf("time per read:                     %.1f us\n", perRead);
    std::printf("host time beyond the 1 ms wait:    %.1f us  (target < 50 us)\n", perRead - 1000.0);
    // The parts are timed apart from the run, so on a busy machine they add up only roughly.
    std::printf("  the line round trip:             %.1f us  (pseudo-terminal and simulated motor)\n", lineUs);
    std::printf("  the wait's lateness:             %.1f us  (how far the wait ends past its 1 ms)\n", waitLateUs);
    std::printf("  the rest, in the link thread:    %.1f us  (queue, frame, message)\n",
                perRead - 1000.0 - lineUs - waitLateUs);
    std::printf("CPU per read, link thread:         %.1f us\n", static_cast<double>(cpu) / static_cast<double>(reads));
    std::printf("CPU per read, whole process:       %.1f us  (link thread, simulator, this program)\n",
                static_cast<double>(proc) / static_cast<double>(reads));
    return 0;
}
