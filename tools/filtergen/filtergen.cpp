#include "tools/filtergen/filtergen.h"

#include <fstream>

namespace quenor::filtergen {

int ValueCount(const TableDesign& design)
{
    return design.large ? 23 : 24;
}

std::int64_t RecordCount(const TableDesign& design)
{
    std::int64_t n = 1;
    for (std::size_t i = 0; i < design.groups.size(); ++i)
        n *= (i == 5 && design.groups[i] == 0) ? 1 : design.groups[i];
    return n;
}

std::int64_t RecordNumber(const TableDesign& design, const Choice& c)
{
    const auto& g = design.groups;
    const std::int64_t g6 = g[5] == 0 ? 1 : g[5];
    return ((((static_cast<std::int64_t>(c.motor) * g6 + c.currentFilter) * g[0] + c.speed) * g[1] + c.hardness) *
                g[2] +
            c.damping) *
               g[3] +
           c.feedForward;
}

std::vector<std::int32_t> RecordValues(const TableDesign& design, std::int64_t index)
{
    const int count = ValueCount(design);
    const auto given = design.values.find(index);
    std::vector<std::int32_t> v;
    if (given != design.values.end()) {
        v = given->second;
        v.resize(static_cast<std::size_t>(count), 0);
    } else {
        const int scaled = design.large ? 5 : 3;
        for (int j = 0; j < count; ++j) {
            std::int32_t x = 0;
            if (j == 0)
                x = static_cast<std::int32_t>(index % 30000 + 1);
            else if (j <= scaled)
                x = static_cast<std::int32_t>(10 * j + index % 7);
            else
                x = static_cast<std::int32_t>((index % 1000) * 30 + j);
            v.push_back(x);
        }
    }
    if (design.noFilter.count(index))
        v[design.large ? 6 : 0] = 0;
    return v;
}

namespace {

void Put(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t value, int size, std::size_t end)
{
    for (int i = 0; i < size && at + static_cast<std::size_t>(i) < end; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

std::vector<std::uint8_t> MakeTable(const TableDesign& design)
{
    const std::size_t r = static_cast<std::size_t>(design.recordSize);
    const std::int64_t records = RecordCount(design);
    std::vector<std::uint8_t> b(r * static_cast<std::size_t>(records + 1), 0);
    Put(b, 0, static_cast<std::uint16_t>(design.recordSize), 2, r);
    Put(b, 2, design.major, 2, r);
    Put(b, 4, design.minor, 2, r);
    for (std::size_t i = 0; i < 6; ++i)
        Put(b, 8 + 2 * i, static_cast<std::uint16_t>(design.groups[i]), 2, r);
    const int size = design.large ? 4 : 2;
    for (std::int64_t n = 0; n < records; ++n) {
        const std::size_t start = r * static_cast<std::size_t>(n + 1);
        const std::vector<std::int32_t> v = RecordValues(design, n);
        for (std::size_t j = 0; j < v.size(); ++j)
            Put(b, start + j * static_cast<std::size_t>(size), static_cast<std::uint32_t>(v[j]), size, start + r);
    }
    return b;
}

bool WriteBytes(const std::vector<std::uint8_t>& bytes, const std::string& path)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

bool WriteTable(const TableDesign& design, const std::string& path)
{
    return WriteBytes(MakeTable(design), path);
}

void SetHeaderWord(std::vector<std::uint8_t>& bytes, std::size_t offset, std::int16_t value)
{
    if (offset + 1 < bytes.size()) {
        bytes[offset] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(value) & 0xFF);
        bytes[offset + 1] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(value) >> 8);
    }
}

}  // namespace quenor::filtergen
