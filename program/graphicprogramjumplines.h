#pragma once
// Gutter columns of the jump lines beside the program listing: every jump is
// drawn from its line to its target in a column of its own where it would run
// over another; short jumps take the columns nearest the listing.

#include <cstdint>
#include <vector>

namespace quenor {

class CGraphicProgramJumpLines {
public:
    struct SLineEntry {
        std::int32_t target = -1;  // target of the jump that starts here, -1 none
        std::int32_t column = -1;  // -1 none, 0 added and not yet assigned, 1.. assigned
        std::int32_t upper = 0;    // highest column used in the upper half of this row
        std::int32_t lower = 0;    // the same for the lower half
    };

    CGraphicProgramJumpLines() = default;
    virtual ~CGraphicProgramJumpLines() = default;

    // A fresh table of size entries without jumps.
    void Reset(int size);
    // The jump that starts on source. Lines outside the table are ignored.
    void Add(int source, int target);
    // Assigns a column to every added jump.
    void Assign();

    // Column of the jump on this line: -1 for none or a line outside the table.
    int GetColumn(int line) const;
    // Target of the jump on this line, -1 for none.
    int GetTarget(int line) const;
    int Size() const { return static_cast<int>(entries_.size()); }
    // The number of gutter columns in use.
    int LargestColumn() const { return largest_; }
    const SLineEntry& Entry(int line) const { return entries_.at(static_cast<std::size_t>(line)); }

private:
    bool Inside(int line) const { return line >= 0 && line < Size(); }

    std::vector<SLineEntry> entries_;
    int largest_ = 0;
};

}  // namespace quenor
