#include "program/graphicprogramjumplines.h"

#include <algorithm>
#include <tuple>

namespace quenor {

void CGraphicProgramJumpLines::Reset(int size)
{
    entries_.assign(static_cast<std::size_t>(std::max(size, 0)), SLineEntry{});
    largest_ = 0;
}

void CGraphicProgramJumpLines::Add(int source, int target)
{
    if (!Inside(source) || !Inside(target))
        return;
    entries_[static_cast<std::size_t>(source)].target = target;
    entries_[static_cast<std::size_t>(source)].column = 0;
}

void CGraphicProgramJumpLines::Assign()
{
    largest_ = 0;
    // Jumps are placed by increasing length; of equal length the upward ones
    // first, each group in ascending source line. Sorting gives that order
    // without walking every length up to the longest.
    struct Jump {
        int distance;
        int downward;  // 0 upward, 1 downward or to itself
        int source;
        int target;
    };
    std::vector<Jump> jumps;
    for (int s = 0; s < Size(); ++s) {
        const int t = entries_[static_cast<std::size_t>(s)].target;
        if (t < 0)
            continue;
        if (t < s)
            jumps.push_back({s - t, 0, s, t});
        else
            jumps.push_back({t - s, 1, s, t});
    }
    std::sort(jumps.begin(), jumps.end(), [](const Jump& a, const Jump& b) {
        return std::tie(a.distance, a.downward, a.source) < std::tie(b.distance, b.downward, b.source);
    });

    auto row = [this](int line) -> SLineEntry& { return entries_[static_cast<std::size_t>(line)]; };
    for (const Jump& j : jumps) {
        const int s = j.source;
        const int t = j.target;
        int column = 0;
        if (!j.downward) {
            for (int r = t; r <= s - 1; ++r)
                column = std::max({column, row(r).upper, row(r).lower});
            ++column;
            for (int r = t + 1; r <= s - 1; ++r)
                row(r).upper = row(r).lower = column;
            row(t).lower = column;  // the source row keeps its marks
        } else {
            for (int r = s; r <= t; ++r)
                column = std::max({column, row(r).upper, row(r).lower});
            ++column;
            for (int r = s; r <= t - 1; ++r)
                row(r).upper = row(r).lower = column;
            row(t).upper = column;
        }
        row(s).column = column;
        largest_ = std::max(largest_, column);
    }
}

int CGraphicProgramJumpLines::GetColumn(int line) const
{
    return Inside(line) ? entries_[static_cast<std::size_t>(line)].column : -1;
}

int CGraphicProgramJumpLines::GetTarget(int line) const
{
    return Inside(line) ? entries_[static_cast<std::size_t>(line)].target : -1;
}

}  // namespace quenor
