#pragma once
// Builds one table row of 50 cells for the tests.

#include "params/initparam.h"

#include <vector>

namespace quenor::test {

class Row {
public:
    Row() : cells_(kCellsPerRow) {}
    Row& Set(int cell, InitParam value)
    {
        cells_.at(static_cast<std::size_t>(cell)) = std::move(value);
        return *this;
    }
    // kind, visibility mask, caption, register, hint base
    Row& Head(int kind, const char* caption, int reg, int hint = 0, int mask = 0xFFFF)
    {
        return Set(0, kind).Set(1, mask).Set(2, caption).Set(3, reg).Set(4, hint);
    }
    // items at cell: count, then (value, text) pairs
    Row& Items(int cell, std::initializer_list<std::pair<int, const char*>> items)
    {
        Set(cell, static_cast<int>(items.size()));
        int i = 0;
        for (const auto& [v, t] : items) {
            Set(cell + 1 + 2 * i, v);
            Set(cell + 2 + 2 * i, t);
            ++i;
        }
        return *this;
    }
    const InitParam* data() const { return cells_.data(); }
    operator const InitParam*() const { return cells_.data(); }

private:
    std::vector<InitParam> cells_;
};

// An edit row: unit, alternate unit, flags, min, max, scale, then the optional cells.
inline Row EditRow(const char* caption, int reg, int flags, double min, double max, double scale,
                   const char* unit = "Counts", const char* alt = "")
{
    Row r;
    r.Head(1, caption, reg).Set(5, unit).Set(6, alt).Set(7, flags).Set(8, min).Set(9, max).Set(10, scale);
    return r;
}

}  // namespace quenor::test
