// Redraw time of the program editor's listing: a program of 10,000 lines
// with 1,000 jumps (most near, some across the program) in a form of 100
// rows, scrolled down one line at a time. Each scroll runs RedrawListing:
// the gutter with every jump that crosses the view, the 100 rows' icons and
// texts, and the debug pointer.
//
//   bench_listing [scrolls]
//
// Prints the minimum, median and worst time of one redraw, and the same for
// a redraw followed by painting the form (offscreen unless QT_QPA_PLATFORM
// says otherwise).

#include "tests/support/vizudoubles.h"
#include "platform/clock.h"
#include "program/graphicprogram.h"
#include "program/ui/vizuwareform.h"
#include "program/vizuvalue.h"
#include "program/vizuware.h"

#include <QApplication>
#include <QScrollBar>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

using namespace quenor;

namespace {

void BuildProgram(CGraphicProgram& program)
{
    std::mt19937 rng(20261207);
    constexpr int kLines = 10000;
    constexpr int kJumps = 1000;
    std::vector<bool> jump(kLines, false);
    for (int n = 0; n < kJumps;) {
        const int line = static_cast<int>(rng() % kLines);
        if (!jump[static_cast<std::size_t>(line)]) {
            jump[static_cast<std::size_t>(line)] = true;
            ++n;
        }
    }
    for (int line = 0; line < kLines; ++line) {
        const auto at = static_cast<std::uint16_t>(line);
        if (jump[static_cast<std::size_t>(line)]) {
            // Nine in ten near (within 40 lines), the rest anywhere.
            const int span = rng() % 10 == 0 ? kLines : 80;
            const int target = std::clamp(line + static_cast<int>(rng() % span) - span / 2, 0, kLines - 1);
            const std::uint8_t id = rng() % 2 ? kCmdJump : kCmdConditionalJump;
            std::vector<std::uint8_t> cells = NewCommandData(id);
            CGraphicProgram::SetJumpTarget(cells, static_cast<std::uint16_t>(target));
            if (id == kCmdConditionalJump)
                cells[3] = static_cast<std::uint8_t>((rng() % 8) << 2 | 1);
            program.SetLine(at, id, cells);
            continue;
        }
        std::vector<std::uint8_t> cells = NewCommandData(kCmdMove);
        cells[0] = static_cast<std::uint8_t>((rng() % 2 ? 0 : 3) | 0x20);
        CellWriter w(cells, 1);
        PutTaggedValue(w, 0, 100.0 + rng() % 400);
        PutTaggedValue(w, 1, 50.0 + rng() % 200);
        PutTaggedValue(w, 0, static_cast<double>(static_cast<int>(rng() % 200000) - 100000));
        program.SetLine(at, kCmdMove, cells);
    }
}

struct Stats {
    double min, median, worst;
};

Stats Summarise(std::vector<double> us)
{
    std::sort(us.begin(), us.end());
    return {us.front() / 1000.0, us[us.size() / 2] / 1000.0, us.back() / 1000.0};
}

}  // namespace

int main(int argc, char** argv)
{
    const int scrolls = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);

    test::SilentUi ui;
    CVizuWareDocument document(ui);
    document.SetMotorKind(0);
    document.Program().SetType(kProgramAbsoluteRelative);
    BuildProgram(document.Program());
    test::NoDialogs dialogs;
    TVizuWare form(document, dialogs);
    form.resize(1000, TVizuWare::kTopPanelHeight + 24 * TVizuWare::kMaxRows);
    form.show();
    QApplication::processEvents();
    if (form.RowCount() != TVizuWare::kMaxRows) {
        std::fprintf(stderr, "the form has %d rows instead of %d\n", form.RowCount(), TVizuWare::kMaxRows);
        return 1;
    }

    std::vector<double> redraw;
    std::vector<double> painted;
    const int start = 4000;
    for (int i = 0; i < scrolls; ++i) {
        const std::int64_t t0 = MonotonicUs();
        form.ScrollBar()->setValue(start + i);  // one line down: one RedrawListing
        const std::int64_t t1 = MonotonicUs();
        form.repaint();
        const std::int64_t t2 = MonotonicUs();
        redraw.push_back(static_cast<double>(t1 - t0));
        painted.push_back(static_cast<double>(t2 - t0));
    }
    const Stats r = Summarise(redraw);
    const Stats p = Summarise(painted);
    std::printf("10000 lines  1000 jumps  %d columns  gutter %d px  100 rows  %d scrolls\n",
                document.Program().JumpLines().LargestColumn(), form.GutterWidthPixels(), scrolls);
    std::printf("RedrawListing          min %.3f ms  median %.3f ms  worst %.3f ms\n", r.min, r.median, r.worst);
    std::printf("RedrawListing + paint  min %.3f ms  median %.3f ms  worst %.3f ms\n", p.min, p.median, p.worst);
    return 0;
}
