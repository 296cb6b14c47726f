// Parameter tables of the second servo generation (family 1).
// Pages "Main", "Registers" and "Filter parameters"; the status view; the
// test-position panel. Every edit and info row of this family is 32 bits wide.
//
// One row per line, in table order. Captions are the keys of setup-file lines:
// keep them byte for byte. Texts are Windows-1252.

#include "params/parameterlists.h"

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

constexpr ParamItem kSCurveItems[] = {
    {0, "Off"},
    {1, "2 Sample"},
    {2, "4 Samples"},
    {3, "8 Samples"},
    {4, "16 Samples"},
    {5, "32 Samples"},
    {6, "64 Samples"},
    {7, "128 Samples"},
    {8, "256 Samples"},
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
    {8, "Temperature too high"},
    {9, "Under bus voltage"},
    {10, "Low bus voltage"},
    {11, "Over bus voltage"},
    {17, "Control voltage unstable"},
    {12, "Peak Error"},
    {13, "Overspeed"},
    {18, "Short circuit"},
    {15, "Internal Error 1"},
    {16, "Internal Error 2"},
};

void BuildMain(TableWriter& t)
{
    t.Page("Main", psVertical);
    t.RadioGroupMode(kShowAlways, "Startup mode", 37, Bits(0, 4), 450, kStartupModeItems);

    t.Heading(kShowAlways, "Profile data");
    t.Edit(0xFFEF, "Max velocity", 5, 500, "RPM", "Cnts/S", efInt32 | efEditable | efSetupFile | efSpin, -12467.532467532466, 12467.532467532466, 0.3609375, {.step = 100});
    t.Edit(0xFFEF, "Acceleration", 6, kNoHint, "RPM/S", "Cnts/S^2", efInt32 | efEditable | efSetupFile | efSpin, 1, 1600, 277.9221529221529, {.step = 1000});
    t.Combo(0xFFEF, "S-Curve", 156, Bits(0, 15), 93, kNoHint, kSCurveItems);
    t.Edit(kShowAlways, "Torque", 7, 1000, "%", "", efInt32 | efEditable | efSetupFile | efSpin, -1023, 1023, 0.2932551319648094, {.step = 10});
    t.Edit(0xFFEF, "Load", 13, kNoHint, "Unit", "", efFix16_16 | efEditable | efSetupFile | efSpin, 0.003, 25, 1, {.step = 6553.6});

    t.Heading(0x3006, "Motion parameters");
    t.Edit(0x4, "Position", 3, kNoHint, "Counts", "", efInt32 | efEditable | efSpin, -67000000, 67000000, 1, {.step = 10000});
    t.Edit(0x2, "At velocity window", 33, kNoHint, "RPM", "Unit", efInt32 | efEditable, 0, 65535, 5.775);
    t.Edit(0x324C, "In position window", 33, kNoHint, "Counts", "", efInt32 | efEditable | efSetupFile, 0, 65535, 1);
    t.Edit(0x324E, "In position count", 34, kNoHint, "Samples", "", efInt32 | efEditable | efSetupFile, 0, 65535, 1);
    t.CheckBox(kShowAlways, "Invert motor direction", 39, Bit(7), 1201);
    t.CheckBox(0x3005, "Resyncronize position after passive mode", 36, Bit(5), kNoHint);

    t.Heading(0xC48, "Gear factor");
    t.Edit(0xC48, "Input", 15, kNoHint, "Pulses", "", efInt32 | efEditable | efSetupFile, 1, 65535, 1);
    t.Edit(0xC48, "Output", 14, kNoHint, "Pulses", "", efInt32 | efEditable | efSetupFile, -32768, 32767, 1);

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
    t.Combo(0x1000, "Register movement type", 36, Bits(3, 4), 110, 1100, {{0, "Absolute"}, {1, "Relative+absolute"}, {2, "Unlimted relative"}});

    t.Heading(0x2000, "Analogue to position parameters");
    t.Edit(0x2000, "Offset", 49, kNoHint, "Counts", "", efInt32 | efEditable, -67000000, 67000000, 1);
    t.Edit(0x2000, "Full range", 51, kNoHint, "Counts", "", efInt32 | efEditable, -67000000, 67000000, 64);
    t.Edit(0x2000, "Hysteresis", 53, kNoHint, "Counts", "", efInt32 | efEditable, 0, 67000000, 1);

    t.ColumnBreak(kShowAlways, "Vertical Bar");

    t.Heading(kShowAlways, "Error handling");
    t.Edit(0xFFEF, "Follow error", 22, kNoHint, "Counts", "", efInt32 | efEditable | efSetupFile, 0, 2147483647, 1);
    t.Edit(0x3C2E, "Function error", 26, kNoHint, "Counts", "", efInt32 | efEditable | efSetupFile, 0, 2147483647, 1);
    t.Edit(kShowAlways, "Position limit min", 28, kNoHint, "Counts", "", efInt32 | efEditable | efSetupFile, -67000000, 67000000, 1);
    t.Edit(kShowAlways, "Position limit max", 30, kNoHint, "Counts", "", efInt32 | efEditable | efSetupFile, -67000000, 67000000, 1);
    t.Edit(0xFFEF, "Error acceleration", 32, kNoHint, "RPM/S", "Cnts/S^2", efInt32 | efEditable | efSetupFile, 1, 1600, 277.9221529221529);

    t.Heading(kShowAlways, "Inputs/Outputs");
    t.CheckBox(kShowAlways, "Output 1 (O1) User controlled", 39, Bit(8), kNoHint);
    t.CheckBox(kShowAlways, "Output 2 (O2) User controlled", 39, Bit(9), kNoHint);
    t.CheckBox(kShowAlways, "Invert In position output (O1)", 39, Bit(10), kNoHint);
    t.CheckBox(kShowAlways, "Invert Error output (O2)", 39, Bit(11), kNoHint);
    t.Combo(kShowAlways, "I/O Type", 39, Bits(0, 4), 120, kNoHint, {{16, "Puls/dir Input"}, {0, "Quadrature Input"}, {15, "Quadrature Output"}, {9, "Seriel Data"}});
    t.CheckBox(0xC48, "Fast input filter", 39, Bit(5), kNoHint);
    t.CheckBox(0xC48, "Invert input direction", 39, Bit(6), 800);
    t.CheckBox(kShowAlways, "Disable brake", 36, Bit(7), 800);
    t.Edit(0x3F71, "Analogue input offset", 171, kNoHint, "Volts", "", efInt32 | efEditable | efSetupFile, -4000, 4000, 0.004885197850512946, {.decimals = 2});

    t.Heading(0xFFEF, "Zero search");
    t.Combo(0xFFEF, "Zero search mode", 42, Bits(0, 15), 120, kNoHint, kZeroSearchModeItems);
    t.CheckBox(0xFFEF, "Use index after zero search", 36, Bit(9), kNoHint);
    t.Edit(0xFFEF, "Zero search position", 38, 700, "Counts", "", efInt32 | efEditable | efSetupFile, -67000000, 67000000, 1);
    t.Edit(0xFFEF, "Zero search velocity", 40, 500, "RPM", "Cnts/Sample", efInt32 | efEditable | efSetupFile | efNonZero, -10487, 10487, 0.3609375);
    t.Edit(0xFFEF, "Zero search torque", 41, 600, "%", "", efInt32 | efEditable | efSetupFile | efNonZero, -1023, 1023, 0.2932551319648094);

    t.Heading(kShowAlways, "Undervoltage handling");
    t.CheckBox(kShowAlways, "Undervoltage -> Set error bit", 23, Bit(0), kNoHint);
    t.CheckBox(kShowAlways, "Undervoltage -> Go to passive", 23, Bit(1), kNoHint);
    t.CheckBox(kShowAlways, "Undervoltage -> Set velocity to 0", 23, Bit(2), kNoHint);

    t.Heading(kShowAlways, "Communication");
    t.Edit(kShowAlways, "Motor address", 202, kNoHint, "", "", efInt32 | efEditable, 1, 255, 1);

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
    t.Combo(kShowAlways, "Register movement type", 36, Bits(3, 4), 110, 1100, {{0, "Absolute"}, {1, "Relative+absolute"}, {2, "Unlimted relative"}});

    t.Heading(kShowAlways, "Velocities");
    t.Edit(kShowAlways, "Velocity 1 (V1)", 65, kNoHint, "RPM", "Cnts/Sample", efInt32 | efEditable | efSetupFile, -12467.532467532466, 12467.532467532466, 0.3609375);
    t.Edit(kShowAlways, "Velocity 2 (V2)", 66, kNoHint, "RPM", "Cnts/Sample", efInt32 | efEditable | efSetupFile, -12467.532467532466, 12467.532467532466, 0.3609375);
    t.Edit(kShowAlways, "Velocity 3 (V3)", 67, kNoHint, "RPM", "Cnts/Sample", efInt32 | efEditable | efSetupFile, -12467.532467532466, 12467.532467532466, 0.3609375);
    t.Edit(kShowAlways, "Velocity 4 (V4)", 68, kNoHint, "RPM", "Cnts/Sample", efInt32 | efEditable | efSetupFile, -12467.532467532466, 12467.532467532466, 0.3609375);
    t.Edit(kShowAlways, "Velocity 5 (V5)", 69, kNoHint, "RPM", "Cnts/Sample", efInt32 | efEditable | efSetupFile, -12467.532467532466, 12467.532467532466, 0.3609375);
    t.Edit(kShowAlways, "Velocity 6 (V6)", 70, kNoHint, "RPM", "Cnts/Sample", efInt32 | efEditable | efSetupFile, -12467.532467532466, 12467.532467532466, 0.3609375);
    t.Edit(kShowAlways, "Velocity 7 (V7)", 71, kNoHint, "RPM", "Cnts/Sample", efInt32 | efEditable | efSetupFile, -12467.532467532466, 12467.532467532466, 0.3609375);
    t.Edit(kShowAlways, "Velocity 8 (V8)", 72, kNoHint, "RPM", "Cnts/Sample", efInt32 | efEditable | efSetupFile, -12467.532467532466, 12467.532467532466, 0.3609375);

    t.ColumnBreak(kShowAlways, "Test Bar");

    t.Heading(kShowAlways, "Accelerations");
    t.Edit(kShowAlways, "Acceleration 1 (A1)", 73, kNoHint, "RPM/S", "Cnts/Sample^2", efInt32 | efEditable | efSetupFile, 1, 1600, 277.9221529221529);
    t.Edit(kShowAlways, "Acceleration 2 (A2)", 74, kNoHint, "RPM/S", "Cnts/Sample^2", efInt32 | efEditable | efSetupFile, 1, 1600, 277.9221529221529);
    t.Edit(kShowAlways, "Acceleration 3 (A3)", 75, kNoHint, "RPM/S", "Cnts/Sample^2", efInt32 | efEditable | efSetupFile, 1, 1600, 277.9221529221529);
    t.Edit(kShowAlways, "Acceleration 4 (A4)", 76, kNoHint, "RPM/S", "Cnts/Sample^2", efInt32 | efEditable | efSetupFile, 1, 1600, 277.9221529221529);

    t.Heading(kShowAlways, "Torques");
    t.Edit(kShowAlways, "Torque 1 (T1)", 77, 1000, "%", "", efInt32 | efEditable | efSetupFile, 0, 1023, 0.2932551319648094);
    t.Edit(kShowAlways, "Torque 2 (T2)", 78, 1000, "%", "", efInt32 | efEditable | efSetupFile, 0, 1023, 0.2932551319648094);
    t.Edit(kShowAlways, "Torque 3 (T3)", 79, 1000, "%", "", efInt32 | efEditable | efSetupFile, 0, 1023, 0.2932551319648094);
    t.Edit(kShowAlways, "Torque 4 (T4)", 80, 1000, "%", "", efInt32 | efEditable | efSetupFile, 0, 1023, 0.2932551319648094);

    t.Heading(kShowAlways, "Load factors");
    t.Edit(kShowAlways, "Load 1 (L1)", 81, kNoHint, "Unit", "", efFix16_16 | efEditable | efSetupFile, 0.003, 5, 1);
    t.Edit(kShowAlways, "Load 2 (L2)", 82, kNoHint, "Unit", "", efFix16_16 | efEditable | efSetupFile, 0.003, 5, 1);
    t.Edit(kShowAlways, "Load 3 (L3)", 83, kNoHint, "Unit", "", efFix16_16 | efEditable | efSetupFile, 0.003, 5, 1);
    t.Edit(kShowAlways, "Load 4 (L4)", 84, kNoHint, "Unit", "", efFix16_16 | efEditable | efSetupFile, 0.003, 5, 1);

    t.Heading(kShowAlways, "In position windows");
    t.Edit(kShowAlways, "In pos. window 1 (Z1)", 85, kNoHint, "Counts", "", efInt32 | efEditable | efSetupFile, 0, 65535, 1);
    t.Edit(kShowAlways, "In pos. window 2 (Z2)", 86, kNoHint, "Counts", "", efInt32 | efEditable | efSetupFile, 0, 65535, 1);
    t.Edit(kShowAlways, "In pos. window 3 (Z3)", 87, kNoHint, "Counts", "", efInt32 | efEditable | efSetupFile, 0, 65535, 1);
    t.Edit(kShowAlways, "In pos. window 4 (Z4)", 88, kNoHint, "Counts", "", efInt32 | efEditable | efSetupFile, 0, 65535, 1);

    t.Page("Filter parameters", psVertical);

    t.Heading(kShowAlways, "Outerloop");
    t.Edit(kShowAlways, "KVFX6", 127, kNoHint, "Unit", "", efFix16_16 | efEditable | efSetupFile | efGrey, -32768, 32767.99, 1);
    t.Edit(kShowAlways, "KVFX5", 128, kNoHint, "Unit", "", efFix16_16 | efEditable | efSetupFile | efGrey, -32768, 32767.99, 1);
    t.Edit(kShowAlways, "KVFX4", 129, kNoHint, "Unit", "", efFix16_16 | efEditable | efSetupFile | efGrey, -32768, 32767.99, 1);
    t.Edit(kShowAlways, "KVFX3", 130, kNoHint, "Unit", "", efFix16_16 | efEditable | efSetupFile | efGrey, -32768, 32767.99, 1);
    t.Edit(kShowAlways, "KVFX2", 131, kNoHint, "Unit", "", efFix16_16 | efEditable | efSetupFile | efGrey, -32768, 32767.99, 1);
    t.Edit(kShowAlways, "KVFX1", 132, kNoHint, "Unit", "", efFix16_16 | efEditable | efSetupFile | efGrey, -32768, 32767.99, 1);
    t.Edit(kShowAlways, "KVFY5", 133, kNoHint, "Unit", "", efFix16_16 | efEditable | efSetupFile | efGrey, -32768, 32767.99, 1);
    t.Edit(kShowAlways, "KVFY4", 134, kNoHint, "Unit", "", efFix16_16 | efEditable | efSetupFile | efGrey, -32768, 32767.99, 1);
    t.Edit(kShowAlways, "KVFY3", 135, kNoHint, "Unit", "", efFix16_16 | efEditable | efSetupFile | efGrey, -32768, 32767.99, 1);
    t.Edit(kShowAlways, "KVFY2", 136, kNoHint, "Unit", "", efFix16_16 | efEditable | efSetupFile | efGrey, -32768, 32767.99, 1);
    t.Edit(kShowAlways, "KVFY1", 137, kNoHint, "Unit", "", efFix16_16 | efEditable | efSetupFile | efGrey, -32768, 32767.99, 1);
    t.Edit(kShowAlways, "KVFY0", 138, kNoHint, "Unit", "", efFix16_16 | efEditable | efSetupFile | efGrey, -32768, 32767.99, 1);

    t.Heading(kShowAlways, "Feed forward");
    t.Edit(kShowAlways, "KFF5", 121, kNoHint, "Unit", "", efFix24_8 | efEditable | efSetupFile, -8388608, 8388607, 1);
    t.Edit(kShowAlways, "KFF4", 122, kNoHint, "Unit", "", efFix24_8 | efEditable | efSetupFile, -8388608, 8388607, 1);
    t.Edit(kShowAlways, "KFF3", 123, kNoHint, "Unit", "", efFix24_8 | efEditable | efSetupFile, -8388608, 8388607, 1);
    t.Edit(kShowAlways, "KFF2", 124, kNoHint, "Unit", "", efFix24_8 | efEditable | efSetupFile, -8388608, 8388607, 1);
    t.Edit(kShowAlways, "KFF1", 125, kNoHint, "Unit", "", efFix24_8 | efEditable | efSetupFile, -8388608, 8388607, 1);
    t.Edit(kShowAlways, "KFF0", 126, kNoHint, "Unit", "", efFix24_8 | efEditable | efSetupFile, -8388608, 8388607, 1);

    t.ColumnBreak(kShowAlways, "Vertical Bar");

    t.Heading(kShowAlways, "Feed backward");
    t.Edit(kShowAlways, "KVB4", 139, kNoHint, "Unit", "", efFix24_8 | efEditable | efSetupFile | efGrey, -8388608, 8388607, 1);
    t.Edit(kShowAlways, "KVB3", 140, kNoHint, "Unit", "", efFix24_8 | efEditable | efSetupFile | efGrey, -8388608, 8388607, 1);
    t.Edit(kShowAlways, "KVB2", 141, kNoHint, "Unit", "", efFix24_8 | efEditable | efSetupFile | efGrey, -8388608, 8388607, 1);
    t.Edit(kShowAlways, "KVB1", 142, kNoHint, "Unit", "", efFix24_8 | efEditable | efSetupFile | efGrey, -8388608, 8388607, 1);
    t.Edit(kShowAlways, "KVB0", 143, kNoHint, "Unit", "", efFix24_8 | efEditable | efSetupFile | efGrey, -8388608, 8388607, 1);

    t.Heading(kShowAlways, "Current");
    t.Edit(kShowAlways, "KIFX2", 144, kNoHint, "Unit", "", efFix16_16 | efEditable | efSetupFile | efGrey, -32768, 32767.99, 1);
    t.Edit(kShowAlways, "KIFX1", 145, kNoHint, "Unit", "", efFix16_16 | efEditable | efSetupFile | efGrey, -32768, 32767.99, 1);
    t.Edit(kShowAlways, "KIFY1", 146, kNoHint, "Unit", "", efFix16_16 | efEditable | efSetupFile | efGrey, -32768, 32767.99, 1);
    t.Edit(kShowAlways, "KIFY0", 147, kNoHint, "Unit", "", efFix16_16 | efEditable | efSetupFile | efGrey, -32768, 32767.99, 1);
    t.Edit(kShowAlways, "KIB1", 148, kNoHint, "Unit", "", efFix24_8 | efEditable | efSetupFile | efGrey, -8388608, 8388607, 1);
    t.Edit(kShowAlways, "KIB0", 149, kNoHint, "Unit", "", efFix24_8 | efEditable | efSetupFile | efGrey, -8388608, 8388607, 1);

    t.Heading(kShowAlways, "Misc");
    t.Edit(kShowAlways, "Amplitude", 174, kNoHint, "Unit", "", efInt32 | efEditable | efSetupFile | efGrey, -8388608, 8388607, 1);
    t.Edit(kShowAlways, "Phase Comp.", 173, kNoHint, "Unit", "", efFix16_16 | efEditable | efSetupFile | efGrey, -8388608, 8388607, 1);
    t.Edit(kShowAlways, "I2T Limit", 17, kNoHint, "Unit", "", efInt32 | efEditable | efSetupFile | efGrey, 0, 65535, 1);
    t.Edit(kShowAlways, "UIT Limit", 19, kNoHint, "Unit", "", efInt32 | efEditable | efSetupFile | efGrey, 0, 65535, 1);
    t.Edit(kShowAlways, "OutLoopDiv", 157, kNoHint, "Unit", "", efInt32 | efEditable | efSetupFile | efGrey, 1, 65535, 1);
    t.Edit(kShowAlways, "Filter ID", 155, kNoHint, "Unit", "", efInt32 | efEditable | efSetupFile | efGrey, 1, 65535, 1);
    t.Info("PROG_VERSION", 1, efInt32);
    t.Info("ERR_STAT", 35, efInt32);
    t.Info("ELDEG_OFFSET", 172, efInt32);
    t.Info("IA_OFFSET", 186, efInt32);
    t.Info("IB_OFFSET", 187, efInt32);
    t.Info("KIA", 188, efInt32);
    t.Info("KIB", 189, efInt32);
    t.Info("UBUS", 198, efInt32);
    t.Info("UBUS_OFFSET", 199, efInt32);
    t.Info("HW_VERSION", 205, efInt32);
    t.Info("CHKSUM", 206, efInt32);
    t.Info("SERIAL_NUMBER", 204, efInt32);
}

void BuildStatus(TableWriter& t)
{
    t.Page("DummyPage", psNone);

    t.Heading(kShowAlways, "Motor status");
    t.BitView(kShowAlways, "Actual mode", 2, Bits(0, 4), 50276392, kActualModeItems);
    t.Edit(kShowAlways, "Actual velocity", 11, kNoHint, "RPM", "Cnts/Sample", efInt32, 0, 5000, 0.3609375);
    t.Edit(kShowAlways, "Actual position", 10, kNoHint, "Counts", "", efInt32, -100000, 100000, 1);
    t.Edit(0x332E, "Follow error", 20, kNoHint, "Counts", "", efInt32, -100000, 100000, 1);
    t.Edit(0x332E, "Function error", 24, kNoHint, "Counts", "", efInt32, -100000, 100000, 1);
    t.Edit(0xFFFE, "Actual motor torque", 169, 1000, "%", "", efInt32 | efAbsolute, 0, 1023, 0.2932551319648094);
    t.Edit(kShowAlways, "Motor load (mean)", 16, kNoHint, "%", "Units", efInt32, -100000, 100000, 0.05);
    t.Edit(kShowAlways, "Regenerative load", 18, kNoHint, "%", "Units", efInt32, -100000, 100000, 0.05);
    t.Edit(kShowAlways, "Temperature", 29, kNoHint, "\xB0" "C", "Units", efInt32, -100000, 100000, 0.12210012210012211);

    t.Heading(kShowAlways, "Inputs");
    t.Edit(kShowAlways, "Bus voltage", 198, kNoHint, "Volts", "", efInt32, 0, 0, 0.8887978142076502);
    t.Edit(kShowAlways, "Control voltage", 21, kNoHint, "Volts", "", efInt32, 0, 0, 0.013427734375);
    t.Edit(0x849, "Velocity of input", 163, kNoHint, "Cnts/S", "", efInt32, 0, 5000, 770);
    t.Edit(0x3F7F, "Analogue input", 170, kNoHint, "Volts", "", efInt32, 0, 0, 0.004885197850512946, {.decimals = 2});

    t.Heading(0xE, "Run Status");
    t.BitList(0xE, "RunStatus", 35, Bits(4, 6), 0, {{0, "In position"}, {1, "Accelerating"}, {2, "Decelerating"}});

    t.Heading(0x4000, "Inputs");
    t.BitLamps(0x4000, "Inputs", 256, Bits(0, 7), lfNone, 0, 1);

    t.Heading(0x4000, "Outputs");
    t.BitLamps(0x4000, "Outputs", 257, Bits(0, 3), lfClickable, 2, 1);

    t.Heading(kShowAlways, "Errors");
    t.BitList(kShowAlways, "Errors", 35, Bits(0, 18), 255, kErrorsItems);
}

void BuildExtra(TableWriter& t)
{
    t.Page("DummyPage", psNone);
    t.Edit(kShowAlways, "Position 1 (P1)", 49, kNoHint, "Counts", "", efInt32 | efEditable, -67000000, 67000000, 1);
    t.Edit(kShowAlways, "Position 2 (P2)", 51, kNoHint, "Counts", "", efInt32 | efEditable, -67000000, 67000000, 1);
}

}  // namespace

FamilyTables BuildServo2Tables()
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

const ParamTableSet& Servo2Tables()
{
    static const FamilyTables tables = BuildServo2Tables();
    static const ParamTableSet set = tables.Set();
    return set;
}

}  // namespace quenor
