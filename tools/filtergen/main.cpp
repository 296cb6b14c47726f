// filtergen: writes a filter table file for trying the filter selector.
//
//   filtergen --out FILE [--large] [--record-size R] [--groups G1,G2,G3,G4,G5,G6]
//             [--version MAJOR.MINOR] [--no-filter N,N,...]
//
// The values are made up (see filtergen.h): test data, never filters for a motor.

#include "tools/filtergen/filtergen.h"

#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

using quenor::filtergen::TableDesign;

namespace {

bool ParseList(std::string_view s, char sep, std::vector<long>& out)
{
    out.clear();
    while (true) {
        const std::size_t p = s.find(sep);
        const std::string_view part = s.substr(0, p);
        long v = 0;
        const auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), v);
        if (ec != std::errc() || end != part.data() + part.size())
            return false;
        out.push_back(v);
        if (p == std::string_view::npos)
            return true;
        s.remove_prefix(p + 1);
    }
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: filtergen --out FILE [--large] [--record-size R] [--groups G1,G2,G3,G4,G5,G6]\n"
                 "                 [--version MAJOR.MINOR] [--no-filter N,N,...]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    TableDesign design;
    std::string out;
    std::vector<long> list;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--large") {
            design.large = true;
        } else if (a == "--out" && hasValue) {
            out = argv[++i];
        } else if (a == "--record-size" && hasValue) {
            if (!ParseList(argv[++i], ',', list) || list.size() != 1 || list[0] < 30 || list[0] > 32767)
                return Usage();
            design.recordSize = static_cast<int>(list[0]);
        } else if (a == "--groups" && hasValue) {
            if (!ParseList(argv[++i], ',', list) || list.size() != 6)
                return Usage();
            for (std::size_t g = 0; g < 6; ++g) {
                if (list[g] < 0 || list[g] > 100)
                    return Usage();
                design.groups[g] = static_cast<int>(list[g]);
            }
        } else if (a == "--version" && hasValue) {
            if (!ParseList(argv[++i], '.', list) || list.size() != 2 || list[0] < 0 || list[0] > 65535 ||
                list[1] < 0 || list[1] > 65535)
                return Usage();
            design.major = static_cast<std::uint16_t>(list[0]);
            design.minor = static_cast<std::uint16_t>(list[1]);
        } else if (a == "--no-filter" && hasValue) {
            if (!ParseList(argv[++i], ',', list))
                return Usage();
            design.noFilter.insert(list.begin(), list.end());
        } else {
            return Usage();
        }
    }
    if (out.empty())
        return Usage();
    if (quenor::filtergen::RecordCount(design) > 10'000'000) {
        std::fprintf(stderr, "filtergen: too many records\n");
        return 2;
    }
    if (!quenor::filtergen::WriteTable(design, out)) {
        std::fprintf(stderr, "filtergen: cannot write %s\n", out.c_str());
        return 1;
    }
    std::printf("%s: %lld records of %d bytes\n", out.c_str(),
                static_cast<long long>(quenor::filtergen::RecordCount(design)), design.recordSize);
    return 0;
}
