#include "app/mainstate.h"
#include "app/warnings.h"
#include "resources/stringtable.h"

#include <gtest/gtest.h>

using namespace quenor;

namespace {

bool Flag(const MainWindowState& s, int bit, int ioType = 0)
{
    Warnings w;
    w.Evaluate(s, ioType);
    return w.flags[static_cast<std::size_t>(bit)];
}

MainWindowState WithLogicModule(int version = 0x1B, int expectedMode = 2)
{
    MainWindowState s;
    s.connected = true;
    s.moduleType = kModuleMR;
    s.moduleInfo[0] = kModuleMR;
    s.moduleInfo[1] = static_cast<std::uint8_t>(version);
    s.moduleInfo[6] = static_cast<std::uint8_t>(expectedMode);
    s.startupMode = 2;
    return s;
}

}  // namespace

TEST(Warnings, NoneOnAFreshState)
{
    MainWindowState s;
    Warnings w;
    w.Evaluate(s, 0);
    EXPECT_EQ(w.count, 0);
    EXPECT_EQ(w.PanelText(), "B");
    EXPECT_EQ(w.Hint(), "");
}

TEST(Warnings, SaveInFlashAndSCurveFollowTheirFlags)
{
    MainWindowState s;
    EXPECT_FALSE(Flag(s, kWarnSaveInFlash));
    EXPECT_FALSE(Flag(s, kWarnSCurve));
    s.saveInFlashRequired = true;
    EXPECT_TRUE(Flag(s, kWarnSaveInFlash));
    s.sCurvePending = true;
    EXPECT_TRUE(Flag(s, kWarnSCurve));
}

TEST(Warnings, IoTypeMustBeSerialWithAModule)
{
    MainWindowState s = WithLogicModule();
    EXPECT_TRUE(Flag(s, kWarnIoType, 0));  // a missing "I/O Type" control counts as 0
    EXPECT_FALSE(Flag(s, kWarnIoType, 3));
    EXPECT_TRUE(Flag(s, kWarnIoType, 9));
    s.moduleType = kModuleMS;  // the FS module does not need it
    EXPECT_FALSE(Flag(s, kWarnIoType, 0));
    s.moduleType = kModuleNone;
    EXPECT_FALSE(Flag(s, kWarnIoType, 0));

    s.generation = 1;
    s.moduleType = kModuleMP;
    EXPECT_FALSE(Flag(s, kWarnIoType, 9));
    EXPECT_TRUE(Flag(s, kWarnIoType, 3));
}

TEST(Warnings, IoTypeKeepsItsValueInFamily2)
{
    MainWindowState s = WithLogicModule();
    Warnings w;
    w.Evaluate(s, 0);
    ASSERT_TRUE(w.flags[kWarnIoType]);
    s.generation = 2;
    w.Evaluate(s, 3);
    EXPECT_TRUE(w.flags[kWarnIoType]);

    Warnings off;
    s.generation = 0;
    off.Evaluate(s, 3);
    ASSERT_FALSE(off.flags[kWarnIoType]);
    s.generation = 2;
    off.Evaluate(s, 0);
    EXPECT_FALSE(off.flags[kWarnIoType]);
}

TEST(Warnings, MaxVelocityIsNeverRaised)
{
    Warnings w;
    w.flags[kWarnMaxVelocity] = true;
    w.Evaluate(MainWindowState{}, 0);
    EXPECT_FALSE(w.flags[kWarnMaxVelocity]);
    EXPECT_EQ(w.count, 0);
}

TEST(Warnings, GearRatioLimit)
{
    MainWindowState s;
    auto gear = [&](int num, int den) {
        s.gearNumerator = num;
        s.gearDenominator = den;
        return Flag(s, kWarnGearRatio);
    };
    EXPECT_FALSE(gear(1023, 1));
    EXPECT_TRUE(gear(1024, 1));
    EXPECT_TRUE(gear(-1024, 1));
    EXPECT_FALSE(gear(-1023, 1));
    EXPECT_FALSE(gear(2047, 2));  // 1023.5: floating-point division
    EXPECT_TRUE(gear(2048, 2));
    EXPECT_FALSE(gear(1, 1));
}

TEST(Warnings, GearWithZeroDenominatorKeepsThePreviousFlag)
{
    MainWindowState s;
    s.gearNumerator = 5000;
    s.gearDenominator = 1;
    Warnings w;
    w.Evaluate(s, 0);
    ASSERT_TRUE(w.flags[kWarnGearRatio]);
    s.gearNumerator = 1;
    s.gearDenominator = 0;
    w.Evaluate(s, 0);
    EXPECT_TRUE(w.flags[kWarnGearRatio]);
    s.gearDenominator = 1;
    w.Evaluate(s, 0);
    EXPECT_FALSE(w.flags[kWarnGearRatio]);
    s.gearDenominator = 0;
    w.Evaluate(s, 0);
    EXPECT_FALSE(w.flags[kWarnGearRatio]);
}

TEST(Warnings, PowerUpHomingWithModule)
{
    MainWindowState s = WithLogicModule();
    s.homingMode = 0x0100;  // only the low byte counts
    EXPECT_FALSE(Flag(s, kWarnHomingWithModule));
    s.homingMode = 0x0001;
    EXPECT_TRUE(Flag(s, kWarnHomingWithModule));
    s.moduleType = kModuleNone;
    EXPECT_FALSE(Flag(s, kWarnHomingWithModule));
}

TEST(Warnings, LogicModuleStartupModeNamesTheExpectedMode)
{
    MainWindowState s = WithLogicModule(0x1B, 2);
    EXPECT_FALSE(Flag(s, kWarnStartupMode));
    s.startupMode = 1;
    Warnings w;
    w.Evaluate(s, 3);
    ASSERT_TRUE(w.flags[kWarnStartupMode]);
    EXPECT_EQ(w.args[kWarnStartupMode], "Position");
    EXPECT_EQ(w.PanelText(), "RWarning: The VekMR requieres startup mode = \"Position\" [Click for details]");
    EXPECT_EQ(FormatWarningText(kWarningTextBase + kWarnStartupMode, w.args[kWarnStartupMode]),
              "The format of the VekMR module expects \"Position mode\" as startup mode, you must select the correct "
              "startup mode or the module will not function properly.");

    s.moduleInfo[6] = 25;
    w.Evaluate(s, 3);
    EXPECT_EQ(w.args[kWarnStartupMode], "Unknown");

    s.moduleType = kModuleMRP;  // only the logic module has a format
    EXPECT_FALSE(Flag(s, kWarnStartupMode, 3));
}

TEST(Warnings, LogicModuleVersionBelow1_11)
{
    EXPECT_TRUE(Flag(WithLogicModule(0x1A), kWarnModuleVersion, 3));
    EXPECT_FALSE(Flag(WithLogicModule(0x1B), kWarnModuleVersion, 3));
    MainWindowState s = WithLogicModule(0x10);
    s.moduleType = kModuleMP;
    EXPECT_FALSE(Flag(s, kWarnModuleVersion, 3));
}

TEST(Warnings, TwoWarningsInPanelAndHint)
{
    MainWindowState s;
    s.saveInFlashRequired = true;
    s.gearNumerator = 2000;
    Warnings w;
    w.Evaluate(s, 0);
    EXPECT_EQ(w.count, 2);
    EXPECT_EQ(w.PanelText(),
              "RWarning: Save in flash is required; Gear ratio must not exceed 1023 [Click for details]");
    EXPECT_EQ(w.Hint(), "Warnings:\rSave in flash is required\rGear ratio must not exceed 1023");
}

TEST(Warnings, SaveInMotorAsksOnlyForWarningsOtherThan0And7)
{
    MainWindowState s;
    s.saveInFlashRequired = true;
    Warnings w;
    w.Evaluate(s, 0);
    EXPECT_FALSE(w.SaveNeedsConfirmation());
    s.sCurvePending = true;
    w.Evaluate(s, 0);
    EXPECT_FALSE(w.SaveNeedsConfirmation());
    s.gearNumerator = 4096;
    w.Evaluate(s, 0);
    EXPECT_TRUE(w.SaveNeedsConfirmation());
    s = MainWindowState{};
    s.gearNumerator = 4096;
    w.Evaluate(s, 0);
    EXPECT_TRUE(w.SaveNeedsConfirmation());
}

TEST(WarningTexts, EveryTitleAndExplanationIsThere)
{
    for (int bit = 0; bit < kWarningCount; ++bit) {
        EXPECT_TRUE(HasStr(kWarningTitleBase + bit)) << bit;
        EXPECT_TRUE(HasStr(kWarningTextBase + bit)) << bit;
    }
    EXPECT_FALSE(HasStr(kWarningTitleBase + 8));
    EXPECT_EQ(LoadStr(20004), "Don't use 'Power up: ' homing mode with module connected");
    EXPECT_EQ(LoadStr(20100).find("\n\tI/O Type\n\tInput type\n"), LoadStr(20100).find("\n\tI/O Type"));
    EXPECT_NE(LoadStr(20100).find("\tInvert pulse input direction"), std::string::npos);
    EXPECT_EQ(LoadStr(20107),
              "When the S-Curve setting is changed the motor will not use the setting immeditaley, but first when "
              "the motor has been in passive mode");
}

TEST(WarningTexts, FormatResourceText)
{
    EXPECT_EQ(FormatResourceText(20005, "Gear"), "The VekMR requieres startup mode = \"Gear\"");
    EXPECT_EQ(FormatResourceText(20005, ""), "The VekMR requieres startup mode = \"\"");
    EXPECT_EQ(FormatResourceText(20003, "ignored"), "Gear ratio must not exceed 1023");
    EXPECT_EQ(FormatResourceText(19999, "x"), "");
    // An argument is never read as a format.
    EXPECT_EQ(FormatResourceText(20005, "%s%n"), "The VekMR requieres startup mode = \"%s%n\"");
}

TEST(ModeName, NamesGapsAndUnknownModes)
{
    // The ends of both runs of named modes, the gap between them, and the
    // numbers outside the table.
    EXPECT_EQ(ModeName(0), "Passive");
    EXPECT_EQ(ModeName(6), "Analogue velocity/gear");
    for (int m = 7; m <= 11; ++m)
        EXPECT_EQ(ModeName(m), "") << m;
    EXPECT_EQ(ModeName(12), "Torque Homing");
    EXPECT_EQ(ModeName(16), "Analogue velocity (with deadband)");
    EXPECT_EQ(ModeName(19), "Analogue to position");
    EXPECT_EQ(ModeName(-1), "Unknown");
    EXPECT_EQ(ModeName(20), "Unknown");
    EXPECT_EQ(ModeName(31), "Unknown");
}
