#include "program/vizuvekparameterlist.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using namespace quenor;

namespace {

CVekParameterList Kind(int kind)
{
    CVekParameterList list;
    list.SelectMotorKind(kind);
    return list;
}

bool Contains(const std::vector<std::string>& list, const std::string& entry)
{
    return std::find(list.begin(), list.end(), entry) != list.end();
}

}  // namespace

TEST(RegisterList, NothingBeforeAKindIsChosen)
{
    CVekParameterList list;
    EXPECT_EQ(list.MotorKind(), -1);
    EXPECT_EQ(list.RegisterCount(), 0);
    EXPECT_TRUE(list.GetRegisterList(true).empty());
    EXPECT_EQ(list.GetRegisterName(5), "Register 5");
    EXPECT_EQ(list.GetUnitFactor(5), 1.0);
}

TEST(RegisterList, TableSizesPerKind)
{
    EXPECT_EQ(Kind(0).RegisterCount(), 72);
    EXPECT_EQ(Kind(0).Units().size(), 13u);
    EXPECT_EQ(Kind(1).RegisterCount(), 72);
    EXPECT_EQ(Kind(1).Units().size(), 13u);
    EXPECT_EQ(Kind(2).RegisterCount(), 63);
    EXPECT_EQ(Kind(2).Units().size(), 17u);

    CVekParameterList list = Kind(2);
    list.SelectMotorKind(3);
    list.SelectMotorKind(-1);
    EXPECT_EQ(list.MotorKind(), 2);
    EXPECT_EQ(list.RegisterCount(), 63);
}

TEST(RegisterList, TablesAreConsistent)
{
    for (int kind = 0; kind <= 2; ++kind) {
        const CVekParameterList list = Kind(kind);
        std::set<int> registers;
        std::set<int> groups;
        for (const SUnitInfo& u : list.Units())
            groups.insert(u.unitGroup);
        for (const SRegisterInfo& r : list.Registers()) {
            EXPECT_TRUE(registers.insert(r.reg).second) << kind << ": register " << r.reg << " twice";
            if (r.unitGroup != 0) {
                EXPECT_TRUE(groups.count(r.unitGroup)) << kind << ": register " << r.reg << " has no units";
            }
            EXPECT_NE(r.scale, 0.0f);
            EXPECT_EQ(r.access & ~3u, 0u);
        }
    }
}

TEST(RegisterList, ReadableAndWritableLists)
{
    const CVekParameterList list = Kind(0);
    const auto readable = list.GetRegisterList(true);
    const auto writable = list.GetRegisterList(false);
    EXPECT_EQ(readable.size(), 52u);
    EXPECT_EQ(writable.size(), 54u);
    EXPECT_EQ(readable.front(), "1 - Program version");
    EXPECT_EQ(readable.back(), "88 - In position window 4");
    for (const char* absent : {"17 - I2TLIM", "19 - UITLIM", "37 - Start mode", "42 - Home mode", "43 - P_REG_P",
                               "48 - Z_REG_P", "22 - Follow error max"})
        EXPECT_FALSE(Contains(readable, absent)) << absent;
    EXPECT_TRUE(Contains(readable, "121 - Actual torque"));
    EXPECT_TRUE(Contains(writable, "22 - Follow error max"));
    EXPECT_FALSE(Contains(writable, "1 - Program version"));
    EXPECT_FALSE(Contains(writable, "12 - Actual velocity"));
}

TEST(RegisterList, StepperKindLacksServoRegisters)
{
    const CVekParameterList list = Kind(2);
    for (int reg : {121, 151, 88}) {
        EXPECT_EQ(list.FindRegister(reg), -1);
        EXPECT_EQ(list.GetRegisterName(reg), "Register " + std::to_string(reg));
        EXPECT_EQ(list.GetUnitFactor(reg), 1.0);
        EXPECT_FALSE(list.IsLongRegister(reg));
        int selected = 7;
        EXPECT_TRUE(list.GetUnitList(reg, selected).empty());
        EXPECT_EQ(selected, 0);
    }
    EXPECT_EQ(list.GetRegisterName(172), "External Encoder velocity");
    EXPECT_EQ(list.FindRegister(172), 62);
    EXPECT_TRUE(list.IsLongRegister(170));
}

TEST(RegisterList, SecondServoKindHasItsOwnRows)
{
    const CVekParameterList list = Kind(1);
    EXPECT_EQ(list.FindRegister(121), -1);
    EXPECT_EQ(list.FindRegister(169), 9);
    EXPECT_EQ(list.GetRegisterName(198), "Bus voltage");
    EXPECT_EQ(list.Register(11).dataType, 5);
    EXPECT_FLOAT_EQ(list.Register(64).scale, 1.5258789e-05f);
    EXPECT_EQ(list.GetUnitIndex(16), 0);
    EXPECT_EQ(list.GetUnitFactor(16), 1.0);  // no unit group in this kind
    EXPECT_FLOAT_EQ(static_cast<float>(list.GetUnitFactor(198)), 0.8887978f);
}

TEST(RegisterList, LongRegisters)
{
    const CVekParameterList list = Kind(0);
    EXPECT_TRUE(list.IsLongRegister(3));
    EXPECT_TRUE(list.IsLongRegister(63));
    EXPECT_FALSE(list.IsLongRegister(5));
    EXPECT_FALSE(list.IsLongRegister(4));  // second half of register 3 has no row
}

TEST(RegisterList, UnitSelectionIsSharedByTheGroup)
{
    CVekParameterList list = Kind(0);
    int selected = -1;
    EXPECT_EQ(list.GetUnitList(3, selected), (std::vector<std::string>{"Counts", "Revs."}));
    EXPECT_EQ(selected, 0);
    list.SetUnitIndex(3, 1);
    EXPECT_EQ(list.GetUnitIndex(49), 1);
    EXPECT_EQ(list.GetUnitName(49), "Revs.");
    EXPECT_EQ(list.GetUnitList(49, selected).size(), 2u);
    EXPECT_EQ(selected, 1);
    EXPECT_EQ(list.GetUnitIndex(5), 0);  // another group
    // Registers without a group ignore a selection.
    list.SetUnitIndex(2, 1);
    EXPECT_EQ(list.GetUnitIndex(2), 0);
    EXPECT_EQ(list.GetUnitName(2), "");
    list.SetUnitIndex(999, 1);  // no such register: nothing happens
    EXPECT_EQ(list.GetUnitIndex(3), 1);
}

TEST(RegisterList, UnitNames)
{
    const CVekParameterList list = Kind(0);
    EXPECT_EQ(list.GetUnitName(5, 0), "RPM");
    EXPECT_EQ(list.GetUnitName(5, 1), "Cnts/Sample");
    EXPECT_EQ(list.GetUnitName(5, 2), "");
    EXPECT_EQ(list.GetUnitName(16, 0), "%");
    EXPECT_EQ(list.GetUnitName(16, 1), "");
    const CVekParameterList stepper = Kind(2);
    EXPECT_EQ(stepper.GetUnitName(6, 1), "9.5 RPM/s");
    EXPECT_EQ(stepper.GetUnitName(8, 0), "ms");
    EXPECT_EQ(stepper.GetUnitName(172, 1), "cnts/16ms");
}

TEST(RegisterList, UnitFactorsPerKind)
{
    CVekParameterList list = Kind(0);
    EXPECT_FLOAT_EQ(static_cast<float>(list.GetUnitFactor(5, 0)), 0.47680664f);
    EXPECT_NEAR(list.GetUnitFactor(12, 0), 7.6289062, 1e-6);  // divided by the scale 0.0625
    EXPECT_FLOAT_EQ(static_cast<float>(list.GetUnitFactor(6, 0)), 248.32089f);
    EXPECT_EQ(list.GetUnitFactor(6, 1), 1.0);
    EXPECT_NEAR(list.GetUnitFactor(16, 0), 1.0 / 0.045454547, 1e-4);
    EXPECT_NEAR(list.GetUnitFactor(8, 0), -16.0, 1e-9);
    EXPECT_EQ(list.GetUnitFactor(13), 1.0);  // no unit group
    // Beyond the group's units: the row's scale.
    EXPECT_EQ(list.GetUnitFactor(5, 2), 1.0);
    EXPECT_EQ(list.GetUnitFactor(12, 5), 0.0625);
    // -1 takes the selected unit.
    list.SetUnitIndex(5, 1);
    EXPECT_EQ(list.GetUnitFactor(5), 1.0);
    list.SetUnitIndex(5, 0);
    EXPECT_FLOAT_EQ(static_cast<float>(list.GetUnitFactor(5, -1)), 0.47680664f);
    // 1000 RPM as register counts.
    EXPECT_NEAR(1000.0 / list.GetUnitFactor(5, 0), 2097.29, 0.01);

    list.SelectMotorKind(1);
    EXPECT_FLOAT_EQ(static_cast<float>(list.GetUnitFactor(5, 0)), 0.3609375f);
    EXPECT_FLOAT_EQ(static_cast<float>(list.GetUnitFactor(3, 1)), 0.000125f);
    EXPECT_FLOAT_EQ(static_cast<float>(list.GetUnitFactor(6, 0)), 277.92188f);

    list.SelectMotorKind(2);
    EXPECT_FLOAT_EQ(static_cast<float>(list.GetUnitFactor(5, 1)), 26.666666f);
    EXPECT_FLOAT_EQ(static_cast<float>(list.GetUnitFactor(7, 0)), 0.005859375f);
    EXPECT_FLOAT_EQ(static_cast<float>(list.GetUnitFactor(3, 1)), 0.000625f);
    EXPECT_FLOAT_EQ(static_cast<float>(list.GetUnitFactor(97, 0)), 0.108789064f);
    EXPECT_FLOAT_EQ(static_cast<float>(list.GetUnitFactor(89, 0)), 0.0048828125f);
    EXPECT_FLOAT_EQ(static_cast<float>(list.GetUnitFactor(172, 0)), 62.499996f);
}
