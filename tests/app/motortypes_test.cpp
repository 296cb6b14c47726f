#include "app/motortypes.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <tuple>
#include <vector>

using namespace quenor;

TEST(MotorTypes, GenerationsAndFallbacks)
{
    EXPECT_EQ(GenerationOfType(3), 0);
    EXPECT_EQ(GenerationOfType(11), 0);
    EXPECT_EQ(GenerationOfType(12), 1);
    EXPECT_EQ(GenerationOfType(63), 1);
    EXPECT_EQ(GenerationOfType(64), 2);
    EXPECT_EQ(DefaultOfflineType(0), 3);
    EXPECT_EQ(DefaultOfflineType(1), 14);
    EXPECT_EQ(DefaultOfflineType(2), 64);
    // VekE (12, 13) has no menu item but is a known type of family 1; a code
    // outside the table selects type 3.
    std::vector<int> menu;
    for (const auto& t : OfflineMotorTypes())
        menu.push_back(t.code);
    EXPECT_EQ(menu, (std::vector<int>{1, 2, 3, 4, 14, 15, 64, 65, 66, 67, 68, 69}));
    for (int code : {0, 5, 11, 16, 63, 70})
        EXPECT_EQ(SelectableMotorType(code), 3) << code;
    for (int code : {1, 2, 3, 4, 12, 13, 14, 15, 64, 65, 66, 67, 68, 69})
        EXPECT_EQ(SelectableMotorType(code), code);
    // A connected motor: the type of its family, else the family's first type, unknown.
    const std::tuple<int, int, int, bool> reported[] = {
        {1, 12, 12, true}, {1, 13, 13, true}, {1, 15, 15, true}, {1, 11, 14, false}, {1, 0, 14, false},
        {1, 3, 14, false}, {0, 13, 3, false}, {2, 12, 64, false}, {2, 69, 69, true},
    };
    for (const auto& [family, code, type, known] : reported) {
        const ReportedMotorType r = MotorTypeOfFamily(family, code);
        EXPECT_EQ(r.type, type) << family << "/" << code;
        EXPECT_EQ(r.known, known) << family << "/" << code;
    }
    EXPECT_EQ(MotorTypeCaption(15), "VekF4 Motor");
    EXPECT_EQ(MotorTypeCaption(64), "Qor");
}

TEST(MotorTypes, DisplayNumbersExistExactlyForTheListedCodes)
{
    std::set<int> seen;
    for (int code = 0; code <= 70; ++code) {
        const int n = ModelDisplayNumber(code);
        const bool listed = (code >= 1 && code <= 4) || (code >= 12 && code <= 15) || (code >= 64 && code <= 69);
        EXPECT_EQ(n != 0, listed) << code;
        if (n) {
            EXPECT_TRUE(seen.insert(n).second) << "display number used twice: " << n;
        }
    }
}

TEST(MotorTypes, DefaultSetsPerGeneration)
{
    auto common0 = DefaultRegisterSet(0, 3, 0);
    std::map<int, std::uint32_t> m(common0.begin(), common0.end());
    EXPECT_EQ(m.size(), common0.size()) << "a register is listed twice";
    EXPECT_EQ(common0.size(), 13u + 8 + 4 + 4 + 4 + 4 + 3);
    EXPECT_EQ(m[36], 40979u);
    EXPECT_EQ(m[72], 210u);
    EXPECT_EQ(m[88], 10u);
    EXPECT_EQ(m[156], 255u);

    auto filter4 = DefaultRegisterSet(0, 4, 4);
    ASSERT_EQ(filter4.size(), 20u);
    EXPECT_EQ(filter4.front(), (std::pair<int, std::uint32_t>{93, 818}));
    EXPECT_EQ(filter4[2].second, 65528u);  // -8 in its 16-bit form
    EXPECT_EQ(filter4.back(), (std::pair<int, std::uint32_t>{126, 1564}));
    EXPECT_TRUE(DefaultRegisterSet(0, 3, 5).empty());

    EXPECT_EQ(DefaultRegisterSet(1, 14, 0), DefaultRegisterSet(1, 14, 11));
    EXPECT_EQ(DefaultRegisterSet(1, 14, 0).back().second, 65536u);
    EXPECT_EQ(DefaultRegisterSet(1, 14, 15).size(), 1u);
    EXPECT_EQ(DefaultRegisterSet(1, 12, 12), DefaultRegisterSet(1, 13, 13));
    EXPECT_TRUE(DefaultRegisterSet(1, 14, 16).empty());

    // The shared stepper set: 32 pairs, for Qor and the first three Wib types only.
    EXPECT_EQ(DefaultRegisterSet(2, 64, 64).size(), 10u + 8 + 4 + 4 + 6);
    EXPECT_EQ(DefaultRegisterSet(2, 64, 64), DefaultRegisterSet(2, 66, 67));
    EXPECT_TRUE(DefaultRegisterSet(2, 64, 68).empty());
    // A selected type above 67 (WibA, WibD) posts nothing at all.
    EXPECT_TRUE(DefaultRegisterSet(2, 68, 0).empty());
    EXPECT_TRUE(DefaultRegisterSet(2, 69, 64).empty());
}
