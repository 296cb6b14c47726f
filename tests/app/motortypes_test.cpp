#include "app/motortypes.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

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
    // 12 and 13 have no menu item: they select type 3, and so generation 0.
    EXPECT_EQ(SelectableMotorType(13), 3);
    EXPECT_EQ(SelectableMotorType(12), 3);
    EXPECT_EQ(SelectableMotorType(0), 3);
    EXPECT_EQ(SelectableMotorType(70), 3);
    for (int code : {1, 2, 3, 4, 14, 15, 64, 65, 66, 67, 68, 69})
        EXPECT_EQ(SelectableMotorType(code), code);
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
    EXPECT_TRUE(DefaultRegisterSet(1, 14, 16).empty());

    // The shared stepper set: 32 pairs, for Qor and the first three Wib types only.
    EXPECT_EQ(DefaultRegisterSet(2, 64, 64).size(), 10u + 8 + 4 + 4 + 6);
    EXPECT_EQ(DefaultRegisterSet(2, 64, 64), DefaultRegisterSet(2, 66, 67));
    EXPECT_TRUE(DefaultRegisterSet(2, 64, 68).empty());
    // A selected type above 67 (WibA, WibD) posts nothing at all.
    EXPECT_TRUE(DefaultRegisterSet(2, 68, 0).empty());
    EXPECT_TRUE(DefaultRegisterSet(2, 69, 64).empty());
}
