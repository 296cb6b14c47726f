// Start-up of the main window and the switch between motor generations.
//
//   bench_startup [switch-cycles]   start-up, then cycles of 0 -> 1 -> 2 -> 0
//   bench_startup --startup-only    start-up only, then exit at once (for
//                                   timing the whole process from outside)
//
// Start-up is timed from the start of main() to the window shown: the
// application made, the window built, shown, InitAfterCreate run and the first
// round of events processed. A switch is the offline type menu's action for a
// type of another generation: the pages rebuilt, then the events it posted
// (default register values, repaints) processed.
//
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise. COM1
// is pointed at a device that does not exist, so no serial port is touched,
// and settings and data go to a private temporary folder.

#include "app/motortypes.h"
#include "app/ui/quenormain.h"
#include "platform/clock.h"

#include <QAction>
#include <QApplication>
#include <QTabWidget>

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using namespace quenor;

namespace {

double Ms(std::int64_t us)
{
    return static_cast<double>(us) / 1000.0;
}

struct Stats {
    double min, median, max;
};

Stats Summary(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return {v.front(), v[v.size() / 2], v.back()};
}

// The temporary folder for settings and data, removed on every way out.
class PrivateFolder {
public:
    PrivateFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "quenor-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()))
            path_ = pattern;
    }
    ~PrivateFolder() { Remove(); }
    void Remove()
    {
        if (path_.empty())
            return;
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
        path_.clear();
    }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// Switches to a generation through the offline type menu; false when the
// window did not arrive there.
bool Switch(TfrmQuenor& window, int generation, double& callMs, double& totalMs)
{
    QAction* action = window.OfflineAction(DefaultOfflineType(generation));
    if (!action)
        return false;
    const std::int64_t t0 = MonotonicUs();
    action->trigger();
    const std::int64_t t1 = MonotonicUs();
    QCoreApplication::processEvents();
    const std::int64_t t2 = MonotonicUs();
    callMs = Ms(t1 - t0);
    totalMs = Ms(t2 - t0);
    return window.Session().Generation() == generation;
}

}  // namespace

int main(int argc, char* argv[])
{
    const std::int64_t start = MonotonicUs();

    bool startupOnly = false;
    int cycles = 30;
    if (argc > 1) {
        const char* a = argv[1];
        if (std::strcmp(a, "--startup-only") == 0) {
            startupOnly = true;
        } else if (std::from_chars(a, a + std::strlen(a), cycles).ec != std::errc() || cycles <= 0) {
            std::fprintf(stderr, "usage: bench_startup [switch-cycles | --startup-only]\n");
            return 2;
        }
    }

    PrivateFolder folder;
    if (folder.Path().empty()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    setenv("XDG_CONFIG_HOME", (folder.Path() + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (folder.Path() + "/data").c_str(), 1);
    setenv("QUENOR_COM1", "/dev/quenor-bench-none", 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);

    int exitCode = 0;
    {
        QApplication app(argc, argv);
        QCoreApplication::setOrganizationName(QStringLiteral("Tovik"));
        QCoreApplication::setApplicationName(QStringLiteral("Quenor"));
        QApplication::setApplicationDisplayName(QStringLiteral("Quenor"));
        std::setlocale(LC_NUMERIC, "C");
        const std::int64_t appMade = MonotonicUs();

        TfrmQuenor window;
        const std::int64_t built = MonotonicUs();
        window.show();
        const std::int64_t shown = MonotonicUs();
        window.InitAfterCreate(QString());
        const std::int64_t initialised = MonotonicUs();
        QCoreApplication::processEvents();
        const std::int64_t ready = MonotonicUs();

        std::printf("start-up, from main() (%s platform)\n", qPrintable(QGuiApplication::platformName()));
        std::printf("  application made:        %8.2f ms\n", Ms(appMade - start));
        std::printf("  window built:            %8.2f ms\n", Ms(built - appMade));
        std::printf("  show():                  %8.2f ms\n", Ms(shown - built));
        std::printf("  InitAfterCreate():       %8.2f ms\n", Ms(initialised - shown));
        std::printf("  first processEvents():   %8.2f ms\n", Ms(ready - initialised));
        std::printf("  main() to window shown:  %8.2f ms  (generation %d, %zu controls, %d pages)\n",
                    Ms(ready - start), window.Session().Generation(), window.Session().Controls().size(),
                    window.ParameterPages()->count());
        std::fflush(stdout);

        if (startupOnly) {
            // Timing the whole process: out at once, without the window's
            // teardown.
            folder.Remove();
            std::_Exit(0);
        }

        // One round first, so every generation's tables and images are warm.
        const int order[3] = {1, 2, 0};
        std::size_t controls[3] = {0, 0, 0};
        double callMs = 0, totalMs = 0;
        for (int g : order) {
            if (!Switch(window, g, callMs, totalMs)) {
                std::fprintf(stderr, "the window did not switch to generation %d\n", g);
                return 1;
            }
            controls[g] = window.Session().Controls().size();
        }

        std::vector<double> calls[3], totals[3], allTotals;
        for (int c = 0; c < cycles && exitCode == 0; ++c) {
            for (int g : order) {
                if (!Switch(window, g, callMs, totalMs)) {
                    std::fprintf(stderr, "the window did not switch to generation %d\n", g);
                    exitCode = 1;
                    break;
                }
                calls[g].push_back(callMs);
                totals[g].push_back(totalMs);
                allTotals.push_back(totalMs);
            }
        }
        if (exitCode == 0) {
            std::printf("generation switch, %d cycles of 0 -> 1 -> 2 -> 0 (ms: min / median / max)\n", cycles);
            for (int g : order) {
                const Stats call = Summary(calls[g]);
                const Stats total = Summary(totals[g]);
                std::printf("  to %d (%4zu controls):  rebuild %6.2f / %6.2f / %6.2f   with events %6.2f / %6.2f / "
                            "%6.2f\n",
                            g, controls[g], call.min, call.median, call.max, total.min, total.median, total.max);
            }
            const Stats all = Summary(allTotals);
            std::printf("  every switch, with events:           %6.2f / %6.2f / %6.2f  (%zu switches)\n", all.min,
                        all.median, all.max, allTotals.size());
        }
    }
    return exitCode;
}
