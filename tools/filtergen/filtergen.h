#pragma once
// Filter table files made to order: chosen group sizes, record size and
// version, record values that tell which record they came from, chosen
// records without a filter, and helpers that garble a table's header.
//
// The tables are test data. Their values are no filters for a motor.

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace quenor::filtergen {

struct TableDesign {
    int recordSize = 128;
    std::uint16_t major = 1;
    std::uint16_t minor = 3;
    // G1..G6 as written: speed, hardness, damping, feed-forward type, motor,
    // current filter (0 counts as 1).
    std::array<int, 6> groups{5, 5, 5, 5, 4, 1};
    // 23 signed 32-bit values per record instead of 24 signed 16-bit ones.
    bool large = false;
    // Records (numbered from 0 after the header) that hold no filter.
    std::set<std::int64_t> noFilter;
    // Records whose values are given instead of made up.
    std::map<std::int64_t, std::vector<std::int32_t>> values;
};

// The six choices of a record, each from 0.
struct Choice {
    int speed = 0;
    int hardness = 0;
    int damping = 0;
    int feedForward = 0;
    int motor = 0;
    int currentFilter = 0;
};

int ValueCount(const TableDesign& design);          // 24 or 23
std::int64_t RecordCount(const TableDesign& design);  // product of the groups
std::int64_t RecordNumber(const TableDesign& design, const Choice& c);

// The values record `index` holds: the given ones, else made up from the
// index (value 0 of a normal record is index % 30000 + 1; the scaled values,
// 1..3 normal and 1..5 large, are 10 j + index % 7; the others
// (index % 1000) x 30 + j). A no-filter record has value 0 (normal) or
// value 6 (large) at 0.
std::vector<std::int32_t> RecordValues(const TableDesign& design, std::int64_t index);

// The whole file; values that do not fit a record are cut, bytes after them 0.
std::vector<std::uint8_t> MakeTable(const TableDesign& design);
// Writes MakeTable to path; false when the file cannot be written.
bool WriteTable(const TableDesign& design, const std::string& path);
bool WriteBytes(const std::vector<std::uint8_t>& bytes, const std::string& path);

// Garbling: a header word overwritten (offset 0 record size, 8..18 groups).
void SetHeaderWord(std::vector<std::uint8_t>& bytes, std::size_t offset, std::int16_t value);

}  // namespace quenor::filtergen
