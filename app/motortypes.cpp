#include "app/motortypes.h"

namespace quenor {
namespace {

using Pairs = std::vector<std::pair<int, std::uint32_t>>;

void Range(Pairs& out, int first, int last, std::uint32_t value)
{
    for (int r = first; r <= last; ++r)
        out.emplace_back(r, value);
}

// Filter registers 93..111 and 126 of the generation-0 types.
Pairs FilterSet(const std::uint32_t (&v)[19], std::uint32_t reg126)
{
    Pairs out;
    for (int i = 0; i < 19; ++i)
        out.emplace_back(93 + i, v[i]);
    out.emplace_back(126, reg126);
    return out;
}

Pairs Generation0(int code)
{
    switch (code) {
    case 0: {
        Pairs p{{5, 210}, {6, 61}, {7, 1023}, {13, 256}, {14, 256}, {15, 125}, {17, 2200}, {19, 600},
                {33, 5},  {34, 3}, {36, 40979}, {40, 65431}, {41, 512}};
        Range(p, 65, 72, 210);
        Range(p, 73, 76, 61);
        Range(p, 77, 80, 1023);
        Range(p, 81, 84, 256);
        Range(p, 85, 88, 10);
        p.emplace_back(89, 256);
        p.emplace_back(127, 205);
        p.emplace_back(156, 255);
        return p;
    }
    case 1:
        return FilterSet({1083, 205, 65524, 0, 5143, 1436, 63618, 64971, 256, 10313, 47689, 7790, 0, 5238, 62562,
                          1713, 2383, 592, 65200},
                         896);
    case 2:
        return FilterSet({1146, 177, 65504, 0, 4810, 1987, 63518, 64853, 256, 10031, 48251, 7510, 0, 997, 65172,
                          4282, 65350, 1258, 64534},
                         1613);
    case 3:
        return FilterSet({898, 199, 0, 0, 5258, 1246, 63652, 65012, 256, 10468, 47394, 7930, 0, 2572, 64721, 2955,
                          1141, 835, 64957},
                         1152);
    case 4:
        return FilterSet({818, 169, 65528, 0, 4940, 1772, 63557, 64899, 256, 10498, 47336, 7958, 0, 1320, 65199,
                          4579, 65053, 1265, 64527},
                         1564);
    default:
        return {};
    }
}

Pairs Generation1(int code)
{
    if (code == 0)
        code = 11;
    if (code == 11)
        return {{5, 277}, {13, 65536}};
    if (code >= 12 && code <= 15)
        return {{93, 898}};
    return {};
}

Pairs Generation2(int code)
{
    if (code < 64 || code > 67)
        return {};
    Pairs p{{5, 250}, {6, 131}, {7, 511}, {8, 500}, {9, 128}, {13, 100}, {32, 10000}, {39, 0}, {40, 65486}, {41, 128}};
    Range(p, 65, 72, 250);
    Range(p, 73, 76, 131);
    Range(p, 77, 80, 511);
    for (auto [r, v] : Pairs{{125, 255}, {132, 8}, {136, 167}, {146, 1}, {147, 15}, {150, 254}})
        p.emplace_back(r, v);
    return p;
}

}  // namespace

const std::vector<MotorTypeInfo>& KnownMotorTypes()
{
    static const std::vector<MotorTypeInfo> types = {
        {1, "VekA", "miVekA", true},   {2, "VekB", "miVekB", true},   {3, "VekC", "miVekC", true},
        {4, "VekD", "miVekD", true},   {12, "VekE", nullptr, true},   {13, "VekE", nullptr, true},
        {14, "VekF", "miVekF", true},  {15, "VekF4", "miVekFB", true}, {64, "Qor", "miQor", false},
        {65, "WibB", "miWibB", false}, {66, "WibC", "miWibC", false}, {67, "WibE", "miWibE", false},
        {68, "WibA", "miWibA", false}, {69, "WibD", "miWibD", false},
    };
    return types;
}

const std::vector<MotorTypeInfo>& OfflineMotorTypes()
{
    static const std::vector<MotorTypeInfo> types = [] {
        std::vector<MotorTypeInfo> menu;
        for (const auto& t : KnownMotorTypes())
            if (t.menuItem)
                menu.push_back(t);
        return menu;
    }();
    return types;
}

int GenerationOfType(int code)
{
    if (code >= 64)
        return 2;
    if (code >= 12)
        return 1;
    return 0;
}

int DefaultOfflineType(int generation)
{
    switch (generation) {
    case 1:
        return 14;
    case 2:
        return 64;
    default:
        return 3;
    }
}

int SelectableMotorType(int code)
{
    for (const auto& t : KnownMotorTypes())
        if (t.code == code)
            return code;
    return 3;
}

ReportedMotorType MotorTypeOfFamily(int generation, std::int64_t code)
{
    for (const auto& t : KnownMotorTypes())
        if (t.code == code && GenerationOfType(t.code) == generation)
            return {t.code, true};
    return {DefaultOfflineType(generation), false};
}

int ModelDisplayNumber(int code)
{
    // Our own display numbers: the type code above 100.
    for (const auto& t : KnownMotorTypes())
        if (t.code == code)
            return 100 + code;
    return 0;
}

std::string MotorTypeCaption(int code)
{
    for (const auto& t : KnownMotorTypes())
        if (t.code == code)
            return t.servo ? std::string(t.model) + " Motor" : std::string(t.model);
    return {};
}

std::vector<std::pair<int, std::uint32_t>> DefaultRegisterSet(int generation, int currentType, int code)
{
    if (currentType > 67)
        return {};
    switch (generation) {
    case 0:
        return Generation0(code);
    case 1:
        return Generation1(code);
    case 2:
        return Generation2(code);
    default:
        return {};
    }
}

}  // namespace quenor
