#include "program/vizuvartable.h"

#include <gtest/gtest.h>

using namespace quenor;

namespace {

SVarElem Fixed(const std::string& name, std::uint8_t sizeType, std::uint8_t location)
{
    SVarElem v;
    v.name = name;
    v.sizeType = sizeType;
    v.location = location;
    v.automatic = 0;
    return v;
}

SVarElem Automatic(const std::string& name, std::uint8_t sizeType = kVar16)
{
    SVarElem v;
    v.name = name;
    v.sizeType = sizeType;
    v.automatic = 1;
    return v;
}

const std::string kOverlap = "Specified variable location and size would overlap other variables!";

}  // namespace

TEST(VarTable, SystemVariables)
{
    TVizuVarTable t;
    ASSERT_EQ(t.Count(), 11);
    EXPECT_EQ(t.At(0).name, "Inputs");
    EXPECT_EQ(t.At(0).access, 1);
    EXPECT_EQ(t.At(1).name, "Status bits");
    EXPECT_EQ(t.At(1).access, 1);
    EXPECT_EQ(t.At(6).name, "Dedicated output enable");
    EXPECT_EQ(t.At(6).location, 6);
    EXPECT_EQ(t.At(10).name, "Timer 4");
    EXPECT_EQ(t.At(10).sizeType, kVar16);
    EXPECT_EQ(t.At(10).location, 16);
    for (const SVarElem& v : t.Variables()) {
        EXPECT_EQ(v.system, 1);
        EXPECT_EQ(v.automatic, 0);
        EXPECT_EQ(v.sign, 1);
    }
    EXPECT_EQ(t.At(2).access, 3);
}

TEST(VarTable, NameAlreadyUsed)
{
    TVizuVarTable t;
    EXPECT_EQ(t.Add(Automatic("Inputs")), "Variable name (Inputs) already used!");
    EXPECT_EQ(t.Add(Fixed("Inputs", kVar8, 200)), "Variable name (Inputs) already used!");
    EXPECT_EQ(t.Count(), 11);
    EXPECT_EQ(t.Check("Inputs", kVar8, 200, true), TVizuVarTable::kCheckNameUsed);
    EXPECT_EQ(t.CheckName("Timer 1", kVar8), TVizuVarTable::kCheckNameUsed);
    // Names differ by letter case.
    EXPECT_EQ(t.Add(Automatic("inputs")), "");
    EXPECT_EQ(t.Count(), 12);
}

TEST(VarTable, Overlap)
{
    TVizuVarTable t;
    EXPECT_EQ(t.Add(Fixed("A", kVar16, 5)), kOverlap);     // 5-6 over the active levels
    EXPECT_EQ(t.Add(Fixed("B", kVar32, 7)), kOverlap);     // 7-10 reaches "Timer 1"
    EXPECT_EQ(t.Add(Fixed("C", kVar16, 17)), kOverlap);    // 17 is the high byte of "Timer 4"
    EXPECT_EQ(t.Count(), 11);
    EXPECT_EQ(t.Add(Fixed("D", kVar32, 18)), "");          // 18-21 free
    EXPECT_EQ(t.Add(Fixed("E", kVar8, 7)), "");
    EXPECT_EQ(t.Add(Fixed("F", kVar16, 8)), "");           // 8-9 just below "Timer 1"
    EXPECT_EQ(t.Add(Fixed("G", kVar8, 21)), kOverlap);     // last byte of D
    EXPECT_EQ(t.Add(Fixed("H", kVar8, 22)), "");
    EXPECT_EQ(t.Count(), 15);
    EXPECT_EQ(t.Check("X", kVar8, 21, false), TVizuVarTable::kCheckOk);
    EXPECT_EQ(t.CheckName("X", kVar32), TVizuVarTable::kCheckOk);
}

TEST(VarTable, OverlapIsFoundAtTheTopOfTheMemory)
{
    TVizuVarTable t;
    // 254-257: the range must not wrap round to 0-1.
    ASSERT_EQ(t.Add(Fixed("Top", kVar32, 254)), "");
    EXPECT_EQ(t.Add(Fixed("Last", kVar8, 255)), kOverlap);
    EXPECT_EQ(t.Add(Fixed("Edge", kVar16, 252)), "");  // 252-253
}

TEST(VarTable, AutomaticLocationIsTestedByNameOnly)
{
    TVizuVarTable t;
    EXPECT_EQ(t.Add(Automatic("Speed", kVar32)), "");
    EXPECT_EQ(t.Add(Automatic("Distance", kVar32)), "");
    EXPECT_EQ(t.Add(Automatic("Speed", kVar8)), "Variable name (Speed) already used!");
    // A fixed variable meets automatic ones at location 0.
    ASSERT_TRUE(t.Remove("Inputs"));
    EXPECT_EQ(t.Add(Fixed("Zero", kVar8, 0)), kOverlap);
    ASSERT_TRUE(t.Remove("Speed"));
    ASSERT_TRUE(t.Remove("Distance"));
    EXPECT_EQ(t.Add(Fixed("Zero", kVar8, 0)), "");
}

TEST(VarTable, FindIndexOfRemove)
{
    TVizuVarTable t;
    ASSERT_EQ(t.Add(Automatic("Speed")), "");
    EXPECT_EQ(t.IndexOf("Speed"), 11);
    EXPECT_EQ(t.IndexOf("Nothing"), t.Count() + 1);
    ASSERT_NE(t.Find("Speed"), nullptr);
    EXPECT_EQ(t.Find("Speed")->sizeType, kVar16);
    EXPECT_EQ(t.Find("speed"), nullptr);
    EXPECT_TRUE(t.Remove("Speed"));
    EXPECT_FALSE(t.Remove("Speed"));
    EXPECT_EQ(t.Count(), 11);
}

TEST(VarTable, Replace)
{
    TVizuVarTable t;
    ASSERT_EQ(t.Add(Fixed("A", kVar8, 20)), "");
    ASSERT_EQ(t.Add(Fixed("B", kVar8, 21)), "");
    // A variable may be replaced at its own location.
    EXPECT_EQ(t.Replace("A", Fixed("A2", kVar16, 19)), "");
    EXPECT_EQ(t.Find("A"), nullptr);
    EXPECT_EQ(t.At(t.Count() - 1).name, "A2");

    // On an error the table stays as it was, order included.
    const std::vector<SVarElem> before = t.Variables();
    EXPECT_EQ(t.Replace("B", Fixed("B", kVar16, 20)), kOverlap);
    EXPECT_EQ(t.Replace("B", Automatic("Inputs")), "Variable name (Inputs) already used!");
    ASSERT_EQ(t.Count(), static_cast<int>(before.size()));
    for (int i = 0; i < t.Count(); ++i)
        EXPECT_EQ(t.At(i).name, before[static_cast<std::size_t>(i)].name);
}

TEST(VarTable, ReplacingAnAbsentVariableChangesNothing)
{
    TVizuVarTable t;
    const std::string error = t.Replace("Ghost", Automatic("Speed"));
    EXPECT_FALSE(error.empty());
    EXPECT_NE(error.find("Ghost"), std::string::npos);
    EXPECT_EQ(t.Count(), 11);
    EXPECT_EQ(t.Find("Speed"), nullptr);
}
