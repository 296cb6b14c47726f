// Program download and family-2 sample upload through the communication
// thread against the simulated motor over a pseudo-terminal, with no line
// delay: the host's time against the time the same bytes need on a real line.
//
//   bench_link_jobs

#include "link/comthread.h"
#include "platform/clock.h"
#include "platform/recordingtarget.h"
#include "tools/motorsim/motorsim.h"

#include <cstdio>
#include <cstdlib>

using namespace quenor;
using namespace std::chrono_literals;

namespace {

struct Traffic {
    long toMotor = 0;
    long fromMotor = 0;
};

Traffic Count(const motorsim::MotorSim& sim, std::uint8_t command)
{
    // Requests of the command and the replies that follow them.
    Traffic t;
    bool ours = false;
    for (const motorsim::LogEntry& e : sim.Log()) {
        if (e.request) {
            ours = e.bytes.size() >= 3 && e.bytes[0] == command;
            if (ours)
                t.toMotor += static_cast<long>(e.bytes.size());
        } else if (ours) {
            t.fromMotor += static_cast<long>(e.bytes.size());
        }
    }
    return t;
}

void Report(const char* what, double hostMs, const Traffic& t, double pausesMs)
{
    const long bytes = t.toMotor + t.fromMotor;
    std::printf("%s\n", what);
    std::printf("  bytes on the line: %ld out, %ld in\n", t.toMotor, t.fromMotor);
    std::printf("  host time over the pseudo-terminal: %.1f ms", hostMs);
    if (pausesMs > 0)
        std::printf(" (of which %.0f ms are the module's storage pauses)", pausesMs);
    std::printf("\n");
    for (int baud : {115200, 921600}) {
        const double wireMs = bytes * 10.0 * 1000.0 / baud;  // start, 8 data and stop bit
        std::printf("  wire time at %6d baud: %.1f ms\n", baud, wireMs);
    }
}

bool WaitFor(RecordingTarget& t, int msg, std::chrono::milliseconds timeout)
{
    return t.WaitForMessage(msg, timeout);
}

}  // namespace

int main()
{
    motorsim::MotorSim sim(2, 0x0123, 1);
    sim.SetModuleType(4);
    if (!sim.Start()) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    setenv("QUENOR_COM3", sim.DevicePath().c_str(), 1);

    RecordingTarget target;
    ComTimings timings;
    ComThread link(&target, 0, timings);
    link.SetMotorFamily(2);
    link.SetPortSettings(3, 115200);
    link.Reconnect(1);
    link.Start();
    if (!target.WaitForMessage(UM_LINKSTATE, 2, 5s)) {
        std::fprintf(stderr, "no connection\n");
        return 1;
    }

    // Program download of 4096 bytes: 32 blocks.
    std::vector<std::uint8_t> image(4096);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(i * 13 + 5);
    image[0] = 0x00;
    image[1] = 0x10;
    sim.ClearLog();
    target.Clear();
    std::int64_t t0 = MonotonicUs();
    link.RequestProgramDownload(image);
    while (!target.WaitFor(
        [](const std::vector<Message>& ms) {
            int n = 0;
            for (const Message& m : ms)
                n += m.msg == UM_PROGRESS && m.wParam == 100;
            return n >= 2;
        },
        10s)) {
    }
    const double downloadMs = (MonotonicUs() - t0) / 1000.0;
    Report("Program download, 4096 bytes", downloadMs, Count(sim, 0x62), 32.0 * timings.downloadBlockMs);

    // Family-2 sample upload of 3712 samples: 58 requests of up to 64 samples.
    SSampleSettings s;
    s.SetSampleCount(2, 3712);
    s.ApplyFamily(2);
    s.triggerType = kTriggerManual;
    s.totalTimeMs = 0;
    s.preTriggerMs = 0;
    s.triggerPoint = 100;
    for (auto& ch : s.channels)
        ch.source = {kNoRegister, kNoRegister, 12};
    RecordingTarget scope;
    auto run = std::make_shared<SampleRun>(s, 2);
    link.RequestTestMove(&scope, run);
    if (!scope.WaitForMessage(UM_SAMPLESTATE, 2, 5s)) {
        std::fprintf(stderr, "no recording\n");
        return 1;
    }
    auto set = TSampleSet::FromSettings(run->SettingsWithStartValues(), 2, 1, 600);
    sim.ClearLog();
    t0 = MonotonicUs();
    link.RequestSampleUpload(&scope, set);
    if (!WaitFor(scope, UM_TRANSFERDONE, 30s)) {
        std::fprintf(stderr, "no upload\n");
        return 1;
    }
    const double uploadMs = (MonotonicUs() - t0) / 1000.0;
    Report("Family-2 sample upload, 3712 samples of 4 channels", uploadMs, Count(sim, 0x53), 0);

    link.StopThread(2000);
    sim.Stop();
    return 0;
}
