// Opening scope files in the scope window (offscreen): a file at the limits,
// 1,000 sets of four channels of 3712 samples, a file of 1,000 empty sets and
// one of 16,000 (refused after the first 1,000), all written by the program's
// own writer; files that cost memory beyond their sets (a name of 10 MiB,
// 27 MiB of empty setup lines, one line of 300 MiB); and second loads that
// would take the scope past what a file may hold (refused).
//
//   bench_scope_load [runs]    default 3, each in a new window
//
// A run is one LoadScopes: the file read, the sets made, the tabs built, the
// first drawing, then the events it left. Its peak memory is the most the
// process held during the run above what it held before (VmHWM after the
// run, its mark reset through /proc/self/clear_refs, minus VmRSS before).

#include "scope/scopefile.h"
#include "scope/ui/frmscope.h"

#include <QApplication>
#include <QTabBar>

#include "bench/procmemory.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace quenor;
using quenor::bench::ResetPeak;
using quenor::bench::StatusKb;

namespace {

constexpr std::int32_t kCount = 3712;

// Writes the file a set at a time, so that making it leaves little behind.
void WriteFile(const std::string& path, int sets, bool full)
{
    std::ofstream out(path, std::ios::binary);
    for (int s = 0; s < sets; ++s) {
        auto set = std::make_shared<TSampleSet>();
        set->name = "Scope " + std::to_string(s + 1);
        set->SampleTime = 0.001;
        set->setupLines = {"[Vek Setup file]", "[Tovik Automation A/S]"};
        if (full) {
            set->SetCount(kCount);
            for (int c = 0; c < 4; ++c) {
                auto ch = std::make_unique<SChannelData>(kCount);
                ch->name = "Channel " + std::to_string(c + 1);
                ch->unit = "RPM";
                ch->Factor = 0.1 * (c + 1);
                for (std::int32_t i = 0; i < kCount; ++i)
                    ch->SetSample(i, static_cast<std::int32_t>(30000 * std::sin(i * 0.01 * (c + 1) + s)
                                                               + ((i * 7919 + s) % 97) - 48));
                set->AddChannel(std::move(ch));
            }
        }
        std::vector<std::string> lines;
        set->SaveToStrings(lines);
        const std::string text = JoinLines(lines);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
}

// Writes text pieces of a file: its head, a piece repeated n times, its tail.
void WriteRepeated(const std::string& path, const std::string& head, const std::string& piece, long n,
                   const std::string& tail)
{
    std::ofstream out(path, std::ios::binary);
    out << head;
    for (long i = 0; i < n; ++i)
        out << piece;
    out << tail;
}

// Sets of the given channels with Count and no Data: samples that take no memory.
std::string CountOnlySets(int sets, int channels, int count)
{
    std::string text;
    for (int i = 0; i < sets; ++i) {
        text += "[Scope v0.9]\r\nCount=" + std::to_string(count) + "\r\n";
        for (int c = 0; c < channels; ++c)
            text += "NewChannel\r\n";
        text += "[Scope end]\r\n";
    }
    return text;
}

// preload: a file loaded into the window before the run (not measured).
void Measure(const char* what, const std::string& path, int runs, const std::string& preload = {})
{
    std::vector<double> ms;
    long peak = 0;
    std::size_t tabs = 0;
    for (int r = 0; r < runs; ++r) {
        auto scope = std::make_unique<TfrmScope>();
        scope->prompts.error = [](const QString&, const QString&) {};  // the refusal of the third file
        scope->resize(1200, 700);
        scope->show();
        if (!preload.empty())
            scope->LoadScopes(QString::fromStdString(preload));
        QApplication::processEvents();
        ResetPeak();
        const long before = StatusKb("VmRSS");
        const auto t0 = std::chrono::steady_clock::now();
        scope->LoadScopes(QString::fromStdString(path));
        QApplication::processEvents();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
        peak = std::max(peak, StatusKb("VmHWM") - before);
        tabs = static_cast<std::size_t>(scope->Tabs()->count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-34s %7.1f MB  %4zu tabs  min %8.1f ms  median %8.1f ms  peak +%6.1f MB  (%d runs)\n", what,
                static_cast<double>(std::filesystem::file_size(path)) / 1e6, tabs, ms.front(), ms[ms.size() / 2],
                static_cast<double>(peak) / 1024.0, runs);
}

}  // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;

    const auto dir = std::filesystem::temp_directory_path() / ("quenor-bench-scope-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string full = (dir / "full.VekScopes").string();
    const std::string empty = (dir / "empty.VekScopes").string();
    const std::string many = (dir / "many.VekScopes").string();
    WriteFile(full, 1000, true);
    WriteFile(empty, 1000, false);
    WriteFile(many, 16000, false);

    const std::string longName = (dir / "longname.VekScopes").string();
    const std::string emptySetup = (dir / "emptysetup.VekScopes").string();
    const std::string longLine = (dir / "longline.VekScopes").string();
    const std::string sixHundred = (dir / "600.VekScopes").string();
    const std::string twoMillions = (dir / "2x4x1000000.VekScopes").string();
    WriteRepeated(longName, "[Scope v0.9]\r\nScopeName=", std::string(1 << 20, 'n'), 10, "\r\n[Scope end]\r\n");
    WriteRepeated(emptySetup, "[Scope v0.9]\r\n[Setup file start]\r\n", "\r\n", (27L << 20) / 2,
                  "[Setup file end]\r\n[Scope end]\r\n");
    WriteRepeated(longLine, "[Scope v0.9]\r\nScopeName=", std::string(1 << 20, 'x'), 300, "");
    WriteRepeated(sixHundred, "", CountOnlySets(1, 0, 0), 600, "");
    WriteRepeated(twoMillions, "", CountOnlySets(2, 4, 1000000), 1, "");

    Measure("1000 sets x 4 x 3712 samples", full, runs);
    Measure("1000 empty sets", empty, runs);
    Measure("16000 empty sets", many, runs);
    Measure("a set named with 10 MiB", longName, runs);
    Measure("27 MiB of empty setup lines", emptySetup, runs);
    Measure("one line of 300 MiB", longLine, runs);
    Measure("600 empty sets, a second time", sixHundred, runs, sixHundred);
    Measure("2 sets x 4 x 1000000, a second time", twoMillions, runs, twoMillions);
    std::filesystem::remove_all(dir);
    return 0;
}
