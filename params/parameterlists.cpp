// Parameter tables of the first servo family (family 0).
// Pages "Main", "Registers" and "Filter parameters"; the status view; the
// test-position panel.
//
// One row per line, in table order. Captions are the keys of setup-file lines:
// keep them byte for byte. Texts are Windows-1252.

#include "params/parameterlists.h"

#include "params/lampimages.h"

#include <stdexcept>
#include <utility>

namespace quenor {

namespace {

constexpr ParamItem kStartupModeItems[] = {
    {0, "Passive"},
    {1, "Velocity"},
    {2, "Position"},
    {3, "Gear"},
    {5, "Analogue velocity"},
    {16, "Analogue velocity (with deadband)"},
    {6, "Analogue velocity/gear"},
    {17, "Velocity/analogue torque"},
    {4, "Analogue torque (direct)"},
    {18, "Analogue gear"},
    {19, "Coil"},
    {20, "Air cylinder"},
    {21, "Analogue to position"},
};

constexpr ParamItem kZeroSearchModeItems[] = {
    {0, "Disabled"},
    {12, "Power up: Torque"},
    {13, "Power up: Sensor type 1"},
    {14, "Power up: Sensor type 2"},
    {3072, "Torque"},
    {3328, "Sensor type 1"},
    {3584, "Sensor type 2"},
};

constexpr ParamItem kActualModeItems[] = {
    {0, "Passive"},
    {1, "Velocity"},
    {2, "Position"},
    {3, "Gear"},
    {4, "An. Torque di."},
    {5, "An. Velocity"},
    {6, "An. Vel/Gear"},
    {12, "Torque search"},
    {13, "Input search 1"},
    {14, "Input search 2"},
    {15, "Safe mode"},
    {16, "An. velocity db"},
    {17, "Vel/an. torque"},
    {18, "Analogue gear"},
    {19, "Coil"},
    {20, "Air cylinder"},
    {21, "Analogue to pos."},
};

constexpr ParamItem kErrorsItems[] = {
    {0, "Overload"},
    {1, "Follow Error"},
    {2, "Function Error"},
    {3, "Regenerative overload"},
    {7, "Position limit"},
    {11, "Current peak"},
    {12, "Under voltage"},
    {13, "Low voltage"},
};

void BuildMain(TableWriter& t)
{
    t.Page("Main", psVertical);
    t.RadioGroupMode(kShowAlways, "Startup mode", 37, Bits(0, 4), 400, kStartupModeItems);

    t.Heading(kShowAlways, "Profile data");
    t.Edit(0xFFEF, "Max velocity", 5, 500, "RPM", "Cnts/S", efInt16 | efEditable | efSetupFile | efSpin, -10487, 10487, 0.476837158203125, {.step = 100});
    t.Edit(0xFFEF, "Acceleration", 6, kNoHint, "RPM/S", "Cnts/S\xB2", efInt16 | efEditable | efSetupFile | efSpin, 1, 1600, 248.3526865641276, {.step = 1000});
    t.Edit(kShowAlways, "Torque", 7, 1000, "%", "", efInt16 | efEditable | efSetupFile | efSpin, -1023, 1023, 0.2932551319648094, {.step = 10});
    t.Edit(kShowAlways, "Load", 13, kNoHint, "Unit", "", efFix8_8 | efEditable | efSetupFile | efSpin, 0.2, 5, 1, {.step = 16});

    t.Heading(0x3007, "Motion parameters");
    t.Edit(0x4, "Position", 3, kNoHint, "Counts", "", efInt32 | efEditable | efSpin, -67000000, 67000000, 1, {.step = 10000});
    t.Edit(0x324C, "In position window", 33, kNoHint, "Counts", "", efInt16 | efEditable | efSetupFile, 0, 65535, 1);
    t.Edit(0x2, "At velocity window", 33, kNoHint, "RPM", "Unit", efInt16 | efEditable, 0, 65535, 7.62939453125);
    t.Edit(0x324E, "In position count", 34, kNoHint, "Samples", "", efInt16 | efEditable | efSetupFile, 0, 65535, 1);
    t.CheckBox(kShowAlways, "Invert motor direction", 161, Bit(2), 1200);
    t.CheckBox(0x3005, "Resyncronize position after passive mode", 36, Bit(9), kNoHint);

    t.Heading(0xC48, "Gear factor");
    t.Edit(0xC48, "Input", 15, kNoHint, "Pulses", "", efInt16 | efEditable | efSetupFile, 1, 32767, 1);
    t.Edit(0xC48, "Output", 14, kNoHint, "Pulses", "", efInt16 | efEditable | efSetupFile, -32768, 32767, 1);

    t.Heading(0x800, "Coil parameters");
    t.Edit(0x800, "Lower limit", 49, kNoHint, "Counts", "", efInt32 | efEditable, -67000000, 67000000, 1);
    t.Edit(0x800, "Lower clip limit", 51, kNoHint, "Counts", "", efInt32 | efEditable, -67000000, 67000000, 1);
    t.Edit(0x800, "Upper clip limit", 53, kNoHint, "Counts", "", efInt32 | efEditable, -67000000, 67000000, 1);
    t.Edit(0x800, "Upper limit", 55, kNoHint, "Counts", "", efInt32 | efEditable, -67000000, 67000000, 1);
    t.Edit(0x800, "Start position", 57, kNoHint, "Counts", "", efInt32 | efEditable, -67000000, 67000000, 1);
    t.Edit(0x800, "Start direction", 59, kNoHint, "Counts", "", efInt32 | efEditable | efNonZero, -1, 1, 1);

    t.Heading(0x1000, "Air cylinder parameters");
    t.Edit(0x1000, "Low position", 49, kNoHint, "Counts", "", efInt32 | efEditable, -67000000, 67000000, 1);
    t.Edit(0x1000, "High position", 51, kNoHint, "Counts", "", efInt32 | efEditable, -67000000, 67000000, 1);
    t.Combo(0x1000, "Register movement type", 35, Bits(9, 10), 110, kNoHint, {{0, "Absolute"}, {1, "Relative+absolute"}, {2, "Unlimited relative"}});

    t.Heading(0x2000, "Analogue to position parameters");
    t.Edit(0x2000, "Offset", 49, kNoHint, "Counts", "", efInt32 | efEditable, -67000000, 67000000, 1);
    t.Edit(0x2000, "Full range", 51, kNoHint, "Counts", "", efInt32 | efEditable, -67000000, 67000000, 64);
    t.Edit(0x2000, "Hysteresis", 53, kNoHint, "Counts", "", efInt32 | efEditable, 0, 67000000, 1);  // register 53 is 32 bits wide here

    t.ColumnBreak(kShowAlways, "Test Bar");

    t.Heading(kShowAlways, "Error handling");
    t.Edit(0xFFEF, "Follow error", 22, kNoHint, "Counts", "", efInt32 | efEditable | efSetupFile, 0, 2147483647, 1);
    t.Edit(0x3D2E, "Function error", 26, kNoHint, "Counts", "", efInt32 | efEditable | efSetupFile, 0, 2147483647, 1);
    t.Edit(kShowAlways, "Position limit min", 28, kNoHint, "Counts", "", efInt32 | efEditable | efSetupFile, -67000000, 67000000, 1);
    t.Edit(kShowAlways, "Position limit max", 30, kNoHint, "Counts", "", efInt32 | efEditable | efSetupFile, -67000000, 67000000, 1);
    t.Edit(0xFFEF, "Error acceleration", 32, kNoHint, "RPM/S", "Cnts/S\xB2", efInt16 | efEditable | efSetupFile, 1, 1600, 248.3526865641276);

    t.Heading(kShowAlways, "Inputs/Outputs");
    t.CheckBox(kShowAlways, "Invert Output 1 (O1)", 161, Bit(0), kNoHint);
    t.CheckBox(kShowAlways, "Invert Output 2 (O2)", 161, Bit(1), kNoHint);
    t.Combo(kShowAlways, "I/O Type", 36, Bits(0, 1), 120, 800, {{0, "Pulse Input"}, {1, "Pulse Output"}, {3, "Serial Data"}});
    t.Combo(0xC48, "Input type", 36, Bit(2), 120, 800, {{0, "Quadrature"}, {1, "Pulse-Direction"}});
    t.CheckBox(0xC48, "Fast input filter", 36, Bit(4), 800);
    t.CheckBox(0xC48, "Invert pulse input direction", 36, Bit(3), 800);
    t.Edit(0x3F71, "Analogue input offset", 123, kNoHint, "Volts", "", efInt16 | efEditable | efSetupFile, -1023, 1023, 0.009775171065493646, {.decimals = 2});

    t.Heading(0xFFEF, "Zero search");
    t.Combo(0xFFEF, "Zero search mode", 42, Bits(0, 15), 120, kNoHint, kZeroSearchModeItems);
    t.CheckBox(0xFFEF, "Use index after zero search", 36, Bit(11), kNoHint);
    t.Edit(0xFFEF, "Zero search position", 38, 700, "Counts", "", efInt32 | efEditable | efSetupFile, -67000000, 67000000, 1);
    t.Edit(0xFFEF, "Zero search velocity", 40, 500, "RPM", "Cnts/Sample", efInt16 | efEditable | efSetupFile | efNonZero, -10487, 10487, 0.476837158203125);
    t.Edit(0xFFEF, "Zero search torque", 41, 600, "%", "", efInt16 | efEditable | efSetupFile | efNonZero, -1023, 1023, 0.2932551319648094);

    t.Heading(kShowAlways, "Undervoltage handling");
    t.Edit(kShowAlways, "Min voltage", 152, 900, "Volt", "Bananas", efInt16 | efEditable | efSetupFile, 0, 894, 0.0537109375);
    t.CheckBox(kShowAlways, "Undervoltage -> Set error bit", 160, Bit(0), kNoHint);
    t.CheckBox(kShowAlways, "Undervoltage -> Go to passive", 160, Bit(1), kNoHint);
    t.CheckBox(kShowAlways, "Undervoltage -> Set velocity to 0", 160, Bit(3), kNoHint);

    t.Heading(kShowAlways, "Communication");
    t.Edit(kShowAlways, "Motor address", 156, kNoHint, "", "", efInt16 | efEditable, 1, 255, 1);

    t.Page("Registers", psVertical);

    t.Heading(kShowAlways, "Positions");
    t.Edit(kShowAlways, "Position 1 (P1)", 49, kNoHint, "Counts", "", efInt32 | efEditable | efSetupFile, -67000000, 67000000, 1);
    t.Edit(kShowAlways, "Position 2 (P2)", 51, kNoHint, "Counts", "", efInt32 | efEditable | efSetupFile, -67000000, 67000000, 1);
    t.Edit(kShowAlways, "Position 3 (P3)", 53, kNoHint, "Counts", "", efInt32 | efEditable | efSetupFile, -67000000, 67000000, 1);
    t.Edit(kShowAlways, "Position 4 (P4)", 55, kNoHint, "Counts", "", efInt32 | efEditable | efSetupFile, -67000000, 67000000, 1);
    t.Edit(kShowAlways, "Position 5 (P5)", 57, kNoHint, "Counts", "", efInt32 | efEditable | efSetupFile, -67000000, 67000000, 1);
    t.Edit(kShowAlways, "Position 6 (P6)", 59, kNoHint, "Counts", "", efInt32 | efEditable | efSetupFile, -67000000, 67000000, 1);
    t.Edit(kShowAlways, "Position 7 (P7)", 61, kNoHint, "Counts", "", efInt32 | efEditable | efSetupFile, -67000000, 67000000, 1);
    t.Edit(kShowAlways, "Position 8 (P8)", 63, kNoHint, "Counts", "", efInt32 | efEditable | efSetupFile, -67000000, 67000000, 1);
    t.Combo(0x5, "Register movement type", 35, Bits(9, 10), 110, 1100, {{0, "Absolute"}, {1, "Relative+absolute"}, {2, "Unlimted relative"}});

    t.Heading(kShowAlways, "Velocities");
    t.Edit(kShowAlways, "Velocity 1 (V1)", 65, kNoHint, "RPM", "Cnts/Sample", efInt16 | efEditable | efSetupFile, -10487, 10487, 0.476837158203125);
    t.Edit(kShowAlways, "Velocity 2 (V2)", 66, kNoHint, "RPM", "Cnts/Sample", efInt16 | efEditable | efSetupFile, -10487, 10487, 0.476837158203125);
    t.Edit(kShowAlways, "Velocity 3 (V3)", 67, kNoHint, "RPM", "Cnts/Sample", efInt16 | efEditable | efSetupFile, -10487, 10487, 0.476837158203125);
    t.Edit(kShowAlways, "Velocity 4 (V4)", 68, kNoHint, "RPM", "Cnts/Sample", efInt16 | efEditable | efSetupFile, -10487, 10487, 0.476837158203125);
    t.Edit(kShowAlways, "Velocity 5 (V5)", 69, kNoHint, "RPM", "Cnts/Sample", efInt16 | efEditable | efSetupFile, -10487, 10487, 0.476837158203125);
    t.Edit(kShowAlways, "Velocity 6 (V6)", 70, kNoHint, "RPM", "Cnts/Sample", efInt16 | efEditable | efSetupFile, -10487, 10487, 0.476837158203125);
    t.Edit(kShowAlways, "Velocity 7 (V7)", 71, kNoHint, "RPM", "Cnts/Sample", efInt16 | efEditable | efSetupFile, -10487, 10487, 0.476837158203125);
    t.Edit(kShowAlways, "Velocity 8 (V8)", 72, kNoHint, "RPM", "Cnts/Sample", efInt16 | efEditable | efSetupFile, -10487, 10487, 0.476837158203125);

    t.ColumnBreak(kShowAlways, "Test Bar");

    t.Heading(kShowAlways, "Accelerations");
    t.Edit(kShowAlways, "Acceleration 1 (A1)", 73, kNoHint, "RPM/S", "Cnts/Sample\xB2", efInt16 | efEditable | efSetupFile, 1, 1600, 248.3526865641276);
    t.Edit(kShowAlways, "Acceleration 2 (A2)", 74, kNoHint, "RPM/S", "Cnts/Sample\xB2", efInt16 | efEditable | efSetupFile, 1, 1600, 248.3526865641276);
    t.Edit(kShowAlways, "Acceleration 3 (A3)", 75, kNoHint, "RPM/S", "Cnts/Sample\xB2", efInt16 | efEditable | efSetupFile, 1, 1600, 248.3526865641276);
    t.Edit(kShowAlways, "Acceleration 4 (A4)", 76, kNoHint, "RPM/S", "Cnts/Sample\xB2", efInt16 | efEditable | efSetupFile, 1, 1600, 248.3526865641276);

    t.Heading(kShowAlways, "Torques");
    t.Edit(kShowAlways, "Torque 1 (T1)", 77, 1000, "%", "", efInt16 | efEditable | efSetupFile, 0, 1023, 0.2932551319648094);
    t.Edit(kShowAlways, "Torque 2 (T2)", 78, 1000, "%", "", efInt16 | efEditable | efSetupFile, 0, 1023, 0.2932551319648094);
    t.Edit(kShowAlways, "Torque 3 (T3)", 79, 1000, "%", "", efInt16 | efEditable | efSetupFile, 0, 1023, 0.2932551319648094);
    t.Edit(kShowAlways, "Torque 4 (T4)", 80, 1000, "%", "", efInt16 | efEditable | efSetupFile, 0, 1023, 0.2932551319648094);

    t.Heading(kShowAlways, "Load factors");
    t.Edit(kShowAlways, "Load 1 (L1)", 81, kNoHint, "Unit", "", efFix8_8 | efEditable | efSetupFile, 0.2, 5, 1);
    t.Edit(kShowAlways, "Load 2 (L2)", 82, kNoHint, "Unit", "", efFix8_8 | efEditable | efSetupFile, 0.2, 5, 1);
    t.Edit(kShowAlways, "Load 3 (L3)", 83, kNoHint, "Unit", "", efFix8_8 | efEditable | efSetupFile, 0.2, 5, 1);
    t.Edit(kShowAlways, "Load 4 (L4)", 84, kNoHint, "Unit", "", efFix8_8 | efEditable | efSetupFile, 0.2, 5, 1);

    t.Heading(kShowAlways, "In position windows");
    t.Edit(kShowAlways, "In pos. window 1 (Z1)", 85, kNoHint, "Counts", "", efInt16 | efEditable | efSetupFile, 0, 65535, 1);
    t.Edit(kShowAlways, "In pos. window 2 (Z2)", 86, kNoHint, "Counts", "", efInt16 | efEditable | efSetupFile, 0, 65535, 1);
    t.Edit(kShowAlways, "In pos. window 3 (Z3)", 87, kNoHint, "Counts", "", efInt16 | efEditable | efSetupFile, 0, 65535, 1);
    t.Edit(kShowAlways, "In pos. window 4 (Z4)", 88, kNoHint, "Counts", "", efInt16 | efEditable | efSetupFile, 0, 65535, 1);

    t.Page("Filter parameters", psVertical);

    t.Heading(kShowAlways, "Outerloop");
    t.Edit(kShowAlways, "KVFX4", 93, kNoHint, "Unit", "", efFix4_12 | efEditable | efSetupFile | efGrey, -8, 7.99, 1);
    t.Edit(kShowAlways, "KVFX3", 94, kNoHint, "Unit", "", efFix4_12 | efEditable | efSetupFile | efGrey, -8, 7.99, 1);
    t.Edit(kShowAlways, "KVFX2", 95, kNoHint, "Unit", "", efFix4_12 | efEditable | efSetupFile | efGrey, -8, 7.99, 1);
    t.Edit(kShowAlways, "KVFX1", 96, kNoHint, "Unit", "", efFix4_12 | efEditable | efSetupFile | efGrey, -8, 7.99, 1);
    t.Edit(kShowAlways, "KVFY3", 97, kNoHint, "Unit", "", efFix4_12 | efEditable | efSetupFile | efGrey, -8, 7.99, 1);
    t.Edit(kShowAlways, "KVFY2", 98, kNoHint, "Unit", "", efFix4_12 | efEditable | efSetupFile | efGrey, -8, 7.99, 1);
    t.Edit(kShowAlways, "KVFY1", 99, kNoHint, "Unit", "", efFix4_12 | efEditable | efSetupFile | efGrey, -8, 7.99, 1);
    t.Edit(kShowAlways, "KVFY0", 100, kNoHint, "Unit", "", efFix4_12 | efEditable | efSetupFile | efGrey, -8, 7.99, 1);

    t.Heading(kShowAlways, "Feed forward");
    t.Edit(kShowAlways, "KFF3", 89, kNoHint, "Unit", "", efFix8_8 | efEditable | efSetupFile, -128, 127.9, 1);
    t.Edit(kShowAlways, "KFF2", 90, kNoHint, "Unit", "", efFix8_8 | efEditable | efSetupFile, -128, 127.9, 1);
    t.Edit(kShowAlways, "KFF1", 91, kNoHint, "Unit", "", efFix8_8 | efEditable | efSetupFile, -128, 127.9, 1);
    t.Edit(kShowAlways, "KFF0", 92, kNoHint, "Unit", "", efFix8_8 | efEditable | efSetupFile, -128, 127.9, 1);

    t.ColumnBreak(kShowAlways, "Vertical Bar");

    t.Heading(kShowAlways, "Feed backward");
    t.Edit(kShowAlways, "Gear", 101, kNoHint, "Unit", "", efFix8_8 | efEditable | efSetupFile | efGrey, -128, 127.9, 1);
    t.Edit(kShowAlways, "KVB3", 102, kNoHint, "Unit", "", efFix8_8 | efEditable | efSetupFile | efGrey, -128, 127.9, 1);
    t.Edit(kShowAlways, "KVB2", 103, kNoHint, "Unit", "", efFix8_8 | efEditable | efSetupFile | efGrey, -128, 127.9, 1);
    t.Edit(kShowAlways, "KVB1", 104, kNoHint, "Unit", "", efFix8_8 | efEditable | efSetupFile | efGrey, -128, 127.9, 1);
    t.Edit(kShowAlways, "KVB0", 105, kNoHint, "Unit", "", efFix8_8 | efEditable | efSetupFile | efGrey, -128, 127.9, 1);

    t.Heading(kShowAlways, "Current");
    t.Edit(kShowAlways, "KIFX2", 106, kNoHint, "Unit", "", efFix4_12 | efEditable | efSetupFile | efGrey, -8, 1, 1);
    t.Edit(kShowAlways, "KIFX1", 107, kNoHint, "Unit", "", efFix4_12 | efEditable | efSetupFile | efGrey, -8, 7.99, 1);
    t.Edit(kShowAlways, "KIFY1", 108, kNoHint, "Unit", "", efFix4_12 | efEditable | efSetupFile | efGrey, -8, 7.99, 1);
    t.Edit(kShowAlways, "KIFY0", 109, kNoHint, "Unit", "", efFix4_12 | efEditable | efSetupFile | efGrey, -8, 7.99, 1);
    t.Edit(kShowAlways, "KIB1", 110, kNoHint, "Unit", "", efFix8_8 | efEditable | efSetupFile | efGrey, -128, 127.9, 1);
    t.Edit(kShowAlways, "KIB0", 111, kNoHint, "Unit", "", efFix8_8 | efEditable | efSetupFile | efGrey, -128, 127.9, 1);

    t.Heading(kShowAlways, "Misc");
    t.Edit(kShowAlways, "Amplitude", 127, kNoHint, "Unit", "", efFix8_8 | efEditable | efSetupFile | efGrey, -128, 127.9, 1);
    t.Edit(kShowAlways, "Phase Comp.", 126, kNoHint, "Unit", "", efFix8_8 | efEditable | efSetupFile | efGrey, -128, 127.9, 1);
    t.Edit(kShowAlways, "I2T Limit", 17, kNoHint, "Unit", "", efInt16 | efEditable | efSetupFile | efGrey, 0, 65535, 1);
    t.Edit(kShowAlways, "UIT Limit", 19, kNoHint, "Unit", "", efInt16 | efEditable | efSetupFile | efGrey, 0, 65535, 1);
    t.Edit(kShowAlways, "Filter ID", 165, kNoHint, "Unit", "", efInt32 | efEditable | efSetupFile | efGrey, 1, 65535, 1);
    t.Info("PROG_VERSION", 1, efInt16);
    t.Info("ERR_STAT", 35, efInt16);
    t.Info("ELDEGN_OFFSET", 124, efInt16);
    t.Info("ELDEGP_OFFSET", 125, efInt16);
    t.Info("IA_OFFSET", 140, efInt16);
    t.Info("IB_OFFSET", 141, efInt16);
    t.Info("IC_OFFSET", 142, efInt16);
    t.Info("KIA", 148, efInt16);
    t.Info("KIB", 149, efInt16);
    t.Info("KIC", 150, efInt16);
    t.Info("U_SUPPLY", 151, efInt16);
    t.Info("SERIALNUMBER", 154, efInt32);
    t.Info("HWVERSION", 157, efInt16);
    t.Info("CHECKSUM", 158, efInt32);
}

void BuildStatus(TableWriter& t)
{
    t.Page("DummyPage", psNone);

    t.Heading(kShowAlways, "Motor status");
    t.BitView(kShowAlways, "Actual mode", 2, Bits(0, 4), 50276392, kActualModeItems);
    t.Edit(kShowAlways, "Actual velocity", 12, kNoHint, "RPM", "Cnts/Sample", efInt16 | efAverage, 0, 5000, 7.62939453125, {.average = 10});
    t.Edit(kShowAlways, "Actual position", 10, kNoHint, "Counts", "", efInt32, -100000, 100000, 1);
    t.Edit(0x332E, "Follow error", 20, kNoHint, "Counts", "", efInt32, -100000, 100000, 1);
    t.Edit(0x332E, "Function error", 24, kNoHint, "Counts", "", efInt32, -100000, 100000, 1);
    t.Edit(0xFFFE, "Actual motor torque", 121, kNoHint, "%", "", efInt16 | efAbsolute, 0, 1023, 0.2932551319648094);
    t.Edit(kShowAlways, "Motor load (mean)", 16, kNoHint, "%", "Units", efInt16, -100000, 100000, 0.05);
    t.Edit(kShowAlways, "Regenerative load", 18, kNoHint, "%", "Units", efInt16, -100000, 100000, 0.05);

    t.Heading(kShowAlways, "Inputs");
    t.Edit(kShowAlways, "Supply voltage", 151, kNoHint, "Volts", "", efInt16, 0, 0, 0.0537109375, {.decimals = 1});
    t.Edit(0x849, "Velocity of input", 120, kNoHint, "Cnts/S", "", efInt16, 0, 5000, 520.83333333);
    t.Edit(kShowAlways, "Analogue input", 122, kNoHint, "Volts", "", efInt16, 0, 0, 0.009775171065493646, {.decimals = 2});

    t.Heading(0xE, "Run Status");
    t.BitList(0xE, "RunStatus", 35, Bits(4, 6), 0, {{0, "In position"}, {1, "Accelerating"}, {2, "Decelerating"}});

    t.Heading(0x4000, "Inputs");
    t.BitLamps(0x4000, "Inputs", 256, Bits(0, 7), lfNone, 0, 1);

    t.Heading(0x4000, "Outputs");
    t.BitLamps(0x4000, "Outputs", 257, Bits(0, 3), lfClickable, 2, 1);

    t.Heading(kShowAlways, "Errors");
    t.BitList(kShowAlways, "Errors", 35, Bits(0, 14), 255, kErrorsItems);
}

void BuildExtra(TableWriter& t)
{
    t.Page("DummyPage", psNone);
    t.Edit(kShowAlways, "Position 1 (P1)", 49, kNoHint, "Counts", "", efInt32 | efEditable, -67000000, 67000000, 1);
    t.Edit(kShowAlways, "Position 2 (P2)", 51, kNoHint, "Counts", "", efInt32 | efEditable, -67000000, 67000000, 1);
}

}  // namespace

FamilyTables BuildServoTables()
{
    FamilyTables tables;
    TableWriter main(tables.main);
    BuildMain(main);
    TableWriter status(tables.status);
    BuildStatus(status);
    TableWriter extra(tables.extra);
    BuildExtra(extra);
    return tables;
}

const ParamTableSet& ServoTables()
{
    static const FamilyTables tables = BuildServoTables();
    static const ParamTableSet set = tables.Set();
    return set;
}

// ---------------------------------------------------------------------------
// Row writer

InitParam* TableWriter::Row(int kind, int mask, const char* caption, int reg, int hint)
{
    InitParam* row = table_.AddRow();
    row[0] = InitParam(kind);
    row[1] = InitParam(mask);
    row[2] = InitParam(caption);
    row[3] = InitParam(reg);
    row[4] = InitParam(hint);
    return row;
}

void TableWriter::CheckBits(BitField bits)
{
    if (bits.first < 0 || bits.count < 1 || bits.first + bits.count > 32)
        throw std::length_error("bit field outside a 32-bit register");
}

void TableWriter::CheckItems(int cell, const ParamItems& items)
{
    if (items.size() > static_cast<std::size_t>(rowcell::ItemRoom(cell)))
        throw std::length_error("item list does not fit its row");
}

void TableWriter::PutBits(InitParam* row, BitField bits)
{
    row[rowcell::kFirstBit] = InitParam(bits.first);
    row[rowcell::kBitCount] = InitParam(bits.count);
}

void TableWriter::PutItems(InitParam* row, int cell, const ParamItems& items)
{
    row[cell] = InitParam(static_cast<int>(items.size()));
    int c = cell + 1;
    for (const ParamItem& item : items) {
        row[c++] = InitParam(item.value);
        row[c++] = InitParam(item.text);
    }
}

void TableWriter::Page(const char* caption, int scrollBars)
{
    Row(pckPage, kShowAlways, caption, scrollBars, kNoHint);
}

void TableWriter::Heading(int mask, const char* caption) { Row(pckBar, mask, caption, bsHeading, kNoHint); }

void TableWriter::ColumnBreak(int mask, const char* caption) { Row(pckBar, mask, caption, bsColumnBreak, kNoHint); }

void TableWriter::Edit(int mask, const char* caption, int reg, int hint, const char* unit, const char* altUnit,
                       int flags, InitParam min, InitParam max, InitParam scale, const EditMore& more)
{
    const bool spin = (flags & efSpin) != 0;
    const bool average = (flags & efAverage) != 0;
    if (spin != (more.step.d != 0.0) || average != (more.average > 0))
        throw std::length_error("edit row cells do not agree with its flags");
    InitParam* row = Row(pckEdit, mask, caption, reg, hint);
    row[rowcell::kUnit] = InitParam(unit);
    row[rowcell::kAltUnit] = InitParam(altUnit);
    row[rowcell::kFlags] = InitParam(flags);
    row[rowcell::kMin] = std::move(min);
    row[rowcell::kMax] = std::move(max);
    row[rowcell::kScale] = std::move(scale);
    int c = rowcell::kEditMore;
    if (spin)
        row[c++] = more.step;
    row[c++] = InitParam(more.decimals);
    if (average)
        row[c] = InitParam(more.average);
}

void TableWriter::Info(const char* caption, int reg, int valueType)
{
    InitParam* row = Row(pckInfo, kNeverShown, caption, reg, kNoHint);
    row[rowcell::kInfoType] = InitParam(valueType);
}

void TableWriter::RadioGroup(int mask, const char* caption, int reg, BitField bits, int hint, ParamItems items)
{
    CheckBits(bits);
    CheckItems(rowcell::kRadioItems, items);
    InitParam* row = Row(pckRadioGroup, mask, caption, reg, hint);
    PutBits(row, bits);
    PutItems(row, rowcell::kRadioItems, items);
}

void TableWriter::RadioGroupMode(int mask, const char* caption, int reg, BitField bits, int hint, ParamItems items)
{
    CheckBits(bits);
    CheckItems(rowcell::kRadioItems, items);
    InitParam* row = Row(pckRadioGroupMode, mask, caption, reg, hint);
    PutBits(row, bits);
    PutItems(row, rowcell::kRadioItems, items);
}

void TableWriter::CheckBox(int mask, const char* caption, int reg, BitField bits, int hint)
{
    CheckBits(bits);
    PutBits(Row(pckCheckBox, mask, caption, reg, hint), bits);
}

void TableWriter::Combo(int mask, const char* caption, int reg, BitField bits, int width, int hint, ParamItems items)
{
    CheckBits(bits);
    CheckItems(rowcell::kItems, items);
    InitParam* row = Row(pckCombo, mask, caption, reg, hint);
    PutBits(row, bits);
    row[rowcell::kComboWidth] = InitParam(width);
    PutItems(row, rowcell::kItems, items);
}

void TableWriter::ColouredItems(int kind, int mask, const char* caption, int reg, BitField bits, int colour,
                                ParamItems items)
{
    CheckBits(bits);
    CheckItems(rowcell::kItems, items);
    InitParam* row = Row(kind, mask, caption, reg, kNoHint);
    PutBits(row, bits);
    row[rowcell::kColour] = InitParam(colour);
    PutItems(row, rowcell::kItems, items);
}

void TableWriter::BitView(int mask, const char* caption, int reg, BitField bits, int colour, ParamItems items)
{
    ColouredItems(pckBitView, mask, caption, reg, bits, colour, items);
}

void TableWriter::BitList(int mask, const char* caption, int reg, BitField bits, int colour, ParamItems items)
{
    ColouredItems(pckBitList, mask, caption, reg, bits, colour, items);
}

void TableWriter::BitLamps(int mask, const char* caption, int reg, BitField bits, int flags, int onImage,
                           int rightmostNumber)
{
    CheckBits(bits);
    InitParam* row = Row(pckBitLamps, mask, caption, reg, kNoHint);
    PutBits(row, bits);
    row[rowcell::kLampFlags] = InitParam(flags);
    row[rowcell::kLampImages] = InitParam(static_cast<const void*>(kWindowLampImages));
    row[rowcell::kLampOnImage] = InitParam(onImage);
    row[rowcell::kLampNumber] = InitParam(rightmostNumber);
}

// ---------------------------------------------------------------------------
// Table sets

const ParamTableSet* TableSetOfFamily(int family)
{
    switch (family) {
    case 0:
        return &ServoTables();
    case 1:
        return &Servo2Tables();
    case 2:
        return &StepperTables();
    default:
        return nullptr;
    }
}


}  // namespace quenor
