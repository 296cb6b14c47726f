// Parameter tables of the integrated stepper motors (family 2).
// Pages "Main", "I/O Setup", "Registers" and "Advanced"; the status view; the
// test-position panel.
//
// One row per line, in table order. Captions are the keys of setup-file lines:
// keep them byte for byte. Texts are Windows-1252.

#include "params/parameterlists.h"

namespace quenor {

namespace {

constexpr ParamItem kInputChoiceItems[] = {
    {0, "Disabled"},
    {1, "Input 1"},
    {2, "Input 2"},
    {4, "Input 3"},
    {8, "Input 4"},
    {16, "Input 5"},
    {32, "Input 6"},
    {64, "Input 7"},
    {128, "Input 8"},
};

constexpr ParamItem kOutputChoiceItems[] = {
    {0, "Disabled"},
    {1, "Output 1"},
    {2, "Output 2"},
    {4, "Output 3"},
    {8, "Output 4"},
    {16, "Output 5"},
    {32, "Output 6"},
    {64, "Output 7"},
    {128, "Output 8"},
};

constexpr ParamItem kBaudRateItems[] = {
    {0, "9.600"},
    {1, "19.200"},
    {2, "38.400"},
    {3, "57.600"},
    {4, "115.200"},
    {5, "230.400"},
    {6, "460.800"},
    {7, "921.600"},
};

constexpr ParamItem kCanOpenBaudRateItems[] = {
    {0, "1.000 kbit/s"},
    {2, "500 kbit/s"},
    {3, "250 kbit/s"},
    {4, "125 kbit/s"},
    {5, "100 kbit/s"},
    {6, "50 kbit/s"},
    {7, "20 kbit/s"},
    {8, "10 kbit/s"},
};

constexpr ParamItem kActualModeItems[] = {
    {0, "Passive"},
    {1, "Velocity"},
    {2, "Position"},
    {3, "Gear"},
    {11, "Stop"},
    {13, "Input search 1"},
    {14, "Input search 2"},
    {15, "Safe mode"},
};

constexpr ParamItem kRunStatusItems[] = {
    {1, "In Position"},
    {0, "At velocity"},
    {2, "Accelerating"},
    {3, "Decelerating"},
    {4, "Zero search done"},
};

constexpr ParamItem kErrorsItems[] = {
    {0, "General"},
    {1, "Follow"},
    {2, "Output driver"},
    {3, "Position limit"},
    {4, "Low bus voltage"},
    {5, "Over voltage"},
    {6, "Temperature"},
    {7, "Internal"},
};

constexpr ParamItem kWarningsItems[] = {
    {0, "Postive limit active"},
    {1, "Negative limit active"},
    {2, "Positive limit has been act."},
    {3, "Negatvie limit has been act."},
    {4, "Bus voltage too low"},
    {6, "Temperature > 80 \xB0" "C"},
};

void BuildMain(TableWriter& t)
{
    t.Page("Main", psVertical);
    t.RadioGroupMode(kShowAlways, "Startup mode", 37, Bits(0, 4), kNoHint, {{0, "Passive"}, {1, "Velocity"}, {2, "Position"}, {3, "Gear"}});

    t.Heading(kShowAlways, "Profile data");
    t.Edit(0xFFEF, "Max velocity", 5, 500, "RPM", "", efInt16 | efEditable | efSetupFile | efSpin, -1023, 1023, 1, {.step = 100});
    t.Edit(0xFFEF, "Start velocity", 13, kNoHint, "RPM", "", efInt16 | efEditable | efSetupFile | efSpin, -1023, 1023, 1, {.step = 10});
    t.Edit(0xFFEF, "Acceleration", 6, kNoHint, "RPM/S", "Units", efInt16 | efEditable | efSetupFile | efSpin, 1, 32767, 9.54, {.step = 1000});

    t.Heading(kShowAlways, "Driver parameters");
    t.Edit(kShowAlways, "Running Current", 7, kNoHint, "A RMS", "Units", efInt16 | efEditable | efSetupFile | efSpin, 42, 511, 0.005870841487279843, {.step = 0.25, .decimals = 2});
    t.Edit(kShowAlways, "Standby Current", 9, kNoHint, "A RMS", "Units", efInt16 | efEditable | efSetupFile | efSpin, 1, 511, 0.005870841487279843, {.step = 0.25, .decimals = 2});
    t.Edit(kShowAlways, "Standby time", 8, kNoHint, "ms", "Units", efInt16 | efEditable | efSetupFile | efSpin, 1, 10000, 1, {.step = 100});

    t.Heading(0x8, "Gear factor");
    t.Edit(0x8, "Input", 15, kNoHint, "Pulses", "", efInt16 | efEditable | efSetupFile, -32768, 32767, 1);
    t.Edit(0x8, "Output", 14, kNoHint, "Pulses", "", efInt16 | efEditable | efSetupFile, -32768, 32767, 1);

    t.Heading(0xC, "Motion parameters");
    t.Edit(0xC, "Position", 3, kNoHint, "Counts", "", efInt32 | efEditable | efSpin, -2147483647, 2147483647, 1, {.step = 10000});

    t.ColumnBreak(kShowAlways, "Test Bar");

    t.Heading(kShowAlways, "Error handling");
    t.Edit(0x8000, "Follow error", 22, kNoHint, "Counts", "", efInt32 | efEditable | efSetupFile, -2147483647, 2147483647, 1);
    t.Edit(kShowAlways, "Position limit min", 28, kNoHint, "Counts", "", efInt32 | efEditable | efSetupFile, -2147483647, 2147483647, 1);
    t.Edit(kShowAlways, "Position limit max", 30, kNoHint, "Counts", "", efInt32 | efEditable | efSetupFile, -2147483647, 2147483647, 1);
    t.Edit(kShowAlways, "Error acceleration", 32, kNoHint, "RPM/S", "Units", efInt32 | efEditable | efSetupFile, 1, 32767, 9.54);
    t.Edit(kShowAlways, "Min bus voltage", 98, kNoHint, "Volts", "", efInt16 | efEditable | efSetupFile, 0, 1023, 0.10889540566959924);

    t.Heading(0xFFEF, "Zero search");
    t.Combo(0xFFEF, "Zero search mode", 42, Bits(0, 15), 120, kNoHint, {{0, "Disabled"}, {13, "Power up: Sensor type 1"}, {14, "Power up: Sensor type 2"}});
    t.CheckBox(0x8000, "Use index after zero search", 122, Bit(0), kNoHint);
    t.Edit(0xFFEF, "Zero search position", 38, 700, "Counts", "", efInt32 | efEditable | efSetupFile, -2147483647, 2147483647, 1);
    t.Edit(0xFFEF, "Zero search velocity", 40, 500, "RPM", "", efInt16 | efEditable | efSetupFile | efNonZero, -1023, 1023, 1);

    t.Heading(kShowAlways, "Communication");
    t.Edit(kShowAlways, "Motor address", 150, kNoHint, "", "", efInt16 | efEditable, 1, 254, 1);

    t.Page("I/O Setup", psVertical);

    t.Heading(kShowAlways, "Inputs/Outputs");
    t.Combo(kShowAlways, "IO1 Active level", 125, Bit(0), 65, kNoHint, {{0, "Low"}, {1, "High"}});
    t.Combo(kShowAlways, "IO2 Active level", 125, Bit(1), 65, kNoHint, {{0, "Low"}, {1, "High"}});
    t.Combo(kShowAlways, "IO3 Active level", 125, Bit(2), 65, kNoHint, {{0, "Low"}, {1, "High"}});
    t.Combo(kShowAlways, "IO4 Active level", 125, Bit(3), 65, kNoHint, {{0, "Low"}, {1, "High"}});
    t.Combo(kShowAlways, "IO5 Active level", 125, Bit(4), 65, kNoHint, {{0, "Low"}, {1, "High"}});
    t.Combo(kShowAlways, "IO6 Active level", 125, Bit(5), 65, kNoHint, {{0, "Low"}, {1, "High"}});
    t.Combo(kShowAlways, "IO7 Active level", 125, Bit(6), 65, kNoHint, {{0, "Low"}, {1, "High"}});
    t.Combo(kShowAlways, "IO8 Active level", 125, Bit(7), 65, kNoHint, {{0, "Low"}, {1, "High"}});
    t.Combo(kShowAlways, "IO1 Type", 125, Bit(8), 65, kNoHint, {{0, "Input"}, {1, "Output"}});
    t.Combo(kShowAlways, "IO2 Type", 125, Bit(9), 65, kNoHint, {{0, "Input"}, {1, "Output"}});
    t.Combo(kShowAlways, "IO3 Type", 125, Bit(10), 65, kNoHint, {{0, "Input"}, {1, "Output"}});
    t.Combo(kShowAlways, "IO4 Type", 125, Bit(11), 65, kNoHint, {{0, "Input"}, {1, "Output"}});
    t.Combo(kShowAlways, "IO5 Type", 125, Bit(12), 65, kNoHint, {{0, "Input"}, {1, "Output"}});
    t.Combo(kShowAlways, "IO6 Type", 125, Bit(13), 65, kNoHint, {{0, "Input"}, {1, "Output"}});
    t.Combo(kShowAlways, "IO7 Type", 125, Bit(14), 65, kNoHint, {{0, "Input"}, {1, "Output"}});
    t.Combo(kShowAlways, "IO8 Type", 125, Bit(15), 65, kNoHint, {{0, "Input"}, {1, "Output"}});

    t.ColumnBreak(kShowAlways, "Test Bar");

    t.Heading(kShowAlways, "Dedicatated Inputs");
    t.Combo(kShowAlways, "Home input", 132, Bits(0, 7), 70, kNoHint, kInputChoiceItems);
    t.Combo(kShowAlways, "Negative Limit input", 129, Bits(0, 7), 70, kNoHint, kInputChoiceItems);
    t.Combo(kShowAlways, "Positive Limit input", 130, Bits(0, 7), 70, kNoHint, kInputChoiceItems);
    t.Combo(kShowAlways, "External Encoder", 124, Bits(2, 3), 120, kNoHint, {{0, "Disabled"}, {1, "Quadrature"}, {2, "Puls/Direction"}});

    t.Heading(kShowAlways, "Dedicatated Outputs");
    t.Combo(kShowAlways, "In position", 137, Bits(0, 7), 70, kNoHint, kOutputChoiceItems);
    t.Combo(kShowAlways, "Error", 138, Bits(0, 7), 70, kNoHint, kOutputChoiceItems);

    t.Heading(kShowAlways, "Input filters");
    t.Edit(kShowAlways, "Input filter time", 136, kNoHint, "ms", "Unit", efInt16 | efEditable, 1, 3334, 0.03);
    t.CheckBox(kShowAlways, "IO1 Filter Enabled", 135, Bit(0), kNoHint);
    t.CheckBox(kShowAlways, "IO2 Filter Enabled", 135, Bit(1), kNoHint);
    t.CheckBox(kShowAlways, "IO3 Filter Enabled", 135, Bit(2), kNoHint);
    t.CheckBox(kShowAlways, "IO4 Filter Enabled", 135, Bit(3), kNoHint);
    t.CheckBox(kShowAlways, "IO5 Filter Enabled", 135, Bit(4), kNoHint);
    t.CheckBox(kShowAlways, "IO6 Filter Enabled", 135, Bit(5), kNoHint);
    t.CheckBox(kShowAlways, "IO7 Filter Enabled", 135, Bit(6), kNoHint);
    t.CheckBox(kShowAlways, "IO8 Filter Enabled", 135, Bit(7), kNoHint);

    t.Page("Registers", psVertical);

    t.Heading(kShowAlways, "Positions");
    t.Edit(kShowAlways, "Position 1 (P1)", 49, kNoHint, "Counts", "", efInt32 | efEditable | efSetupFile, -2147483647, 2147483647, 1);
    t.Edit(kShowAlways, "Position 2 (P2)", 51, kNoHint, "Counts", "", efInt32 | efEditable | efSetupFile, -2147483647, 2147483647, 1);
    t.Edit(kShowAlways, "Position 3 (P3)", 53, kNoHint, "Counts", "", efInt32 | efEditable | efSetupFile, -2147483647, 2147483647, 1);
    t.Edit(kShowAlways, "Position 4 (P4)", 55, kNoHint, "Counts", "", efInt32 | efEditable | efSetupFile, -2147483647, 2147483647, 1);
    t.Edit(kShowAlways, "Position 5 (P5)", 57, kNoHint, "Counts", "", efInt32 | efEditable | efSetupFile, -2147483647, 2147483647, 1);
    t.Edit(kShowAlways, "Position 6 (P6)", 59, kNoHint, "Counts", "", efInt32 | efEditable | efSetupFile, -2147483647, 2147483647, 1);
    t.Edit(kShowAlways, "Position 7 (P7)", 61, kNoHint, "Counts", "", efInt32 | efEditable | efSetupFile, -2147483647, 2147483647, 1);
    t.Edit(kShowAlways, "Position 8 (P8)", 63, kNoHint, "Counts", "", efInt32 | efEditable | efSetupFile, -2147483647, 2147483647, 1);

    t.Heading(kShowAlways, "Velocities");
    t.Edit(kShowAlways, "Velocity 1 (V1)", 65, kNoHint, "RPM", "Cnts/Sample", efInt16 | efEditable | efSetupFile, -1023, 1023, 1);
    t.Edit(kShowAlways, "Velocity 2 (V2)", 66, kNoHint, "RPM", "Cnts/Sample", efInt16 | efEditable | efSetupFile, -1023, 1023, 1);
    t.Edit(kShowAlways, "Velocity 3 (V3)", 67, kNoHint, "RPM", "Cnts/Sample", efInt16 | efEditable | efSetupFile, -1023, 1023, 1);
    t.Edit(kShowAlways, "Velocity 4 (V4)", 68, kNoHint, "RPM", "Cnts/Sample", efInt16 | efEditable | efSetupFile, -1023, 1023, 1);
    t.Edit(kShowAlways, "Velocity 5 (V5)", 69, kNoHint, "RPM", "Cnts/Sample", efInt16 | efEditable | efSetupFile, -1023, 1023, 1);
    t.Edit(kShowAlways, "Velocity 6 (V6)", 70, kNoHint, "RPM", "Cnts/Sample", efInt16 | efEditable | efSetupFile, -1023, 1023, 1);
    t.Edit(kShowAlways, "Velocity 7 (V7)", 71, kNoHint, "RPM", "Cnts/Sample", efInt16 | efEditable | efSetupFile, -1023, 1023, 1);
    t.Edit(kShowAlways, "Velocity 8 (V8)", 72, kNoHint, "RPM", "Cnts/Sample", efInt16 | efEditable | efSetupFile, -1023, 1023, 1);

    t.ColumnBreak(kShowAlways, "Test Bar");

    t.Heading(kShowAlways, "Accelerations");
    t.Edit(kShowAlways, "Acceleration 1 (A1)", 73, kNoHint, "RPM/S", "Cnts/Sample^2", efInt16 | efEditable | efSetupFile, 1, 32767, 9.54);
    t.Edit(kShowAlways, "Acceleration 2 (A2)", 74, kNoHint, "RPM/S", "Cnts/Sample^2", efInt16 | efEditable | efSetupFile, 1, 32767, 9.54);
    t.Edit(kShowAlways, "Acceleration 3 (A3)", 75, kNoHint, "RPM/S", "Cnts/Sample^2", efInt16 | efEditable | efSetupFile, 1, 32767, 9.54);
    t.Edit(kShowAlways, "Acceleration 4 (A4)", 76, kNoHint, "RPM/S", "Cnts/Sample^2", efInt16 | efEditable | efSetupFile, 1, 32767, 9.54);

    t.Heading(kShowAlways, "Running currents");
    t.Edit(kShowAlways, "Current 1 (T1)", 77, kNoHint, "A RMS", "Units", efInt16 | efEditable | efSetupFile | efSpin, 42, 511, 0.005870841487279843, {.step = 0.25, .decimals = 2});
    t.Edit(kShowAlways, "Current 2 (T2)", 78, kNoHint, "A RMS", "Units", efInt16 | efEditable | efSetupFile | efSpin, 42, 511, 0.005870841487279843, {.step = 0.25, .decimals = 2});
    t.Edit(kShowAlways, "Current 3 (T3)", 79, kNoHint, "A RMS", "Units", efInt16 | efEditable | efSetupFile | efSpin, 42, 511, 0.005870841487279843, {.step = 0.25, .decimals = 2});
    t.Edit(kShowAlways, "Current 4 (T4)", 80, kNoHint, "A RMS", "Units", efInt16 | efEditable | efSetupFile | efSpin, 42, 511, 0.005870841487279843, {.step = 0.25, .decimals = 2});

    t.Page("Advanced", psVertical);

    t.Heading(kShowAlways, "Motor setup");
    t.CheckBox(kShowAlways, "Invert motor direction", 124, Bit(0), kNoHint);
    t.CheckBox(0x8000, "Auto encoder synchronize", 124, Bit(5), kNoHint);

    t.Heading(kShowAlways, "Program");
    t.CheckBox(kShowAlways, "Don't start program on power up", 124, Bit(1), kNoHint);

    t.Heading(kShowAlways, "Zero Search");
    t.CheckBox(kShowAlways, "Change direction on position limit", 122, Bit(1), kNoHint);
    t.CheckBox(kShowAlways, "Find opposite side of sensor", 122, Bit(2), kNoHint);
    t.CheckBox(kShowAlways, "Use position limit input as sensor", 122, Bit(3), kNoHint);
    t.CheckBox(kShowAlways, "Ignore switch", 122, Bit(4), kNoHint);

    t.Heading(kShowAlways, "Turn table");
    t.Combo(kShowAlways, "Mode", 126, Bits(0, 14), 120, kNoHint, {{0, "Disabled"}, {1, "Positive move only"}, {2, "Negtive move only"}, {3, "Shortest distance"}});
    t.Edit(kShowAlways, "Size", 127, kNoHint, "Step", "Cnts/Sample^2", efInt32 | efEditable | efSetupFile, 1, 2147483647, 1);

    t.Heading(kShowAlways, "Communication");
    t.Edit(kShowAlways, "Group Id", 149, kNoHint, "", "", efInt16 | efEditable, 0, 255, 1);
    t.Edit(kShowAlways, "Transmit Delay", 147, kNoHint, "bits", "", efInt16 | efEditable, 1, 255, 1);
    t.Combo(kShowAlways, "Baud rate", 146, Bits(0, 15), 120, kNoHint, kBaudRateItems);

    t.Heading(0x10000, "Fieldbus interface");
    t.Edit(0x10000, "CanOpen Node ID", 166, kNoHint, "", "", efInt16 | efEditable, 0, 255, 1);
    t.Combo(0x10000, "CanOpen Baud rate", 167, Bits(0, 15), 120, kNoHint, kCanOpenBaudRateItems);
    t.CheckBox(0x10000, "Enable CanOpen DSP 402 Support", 124, Bit(4), kNoHint);

    t.ColumnBreak(kShowAlways, "Test Bar");

    t.Heading(kShowAlways, "Test");
    t.Edit(kShowAlways, "Command", 24, kNoHint, "", "", efInt16 | efEditable, 0, 2048, 1);
    t.Info("PROG_VERSION", 1, efInt32);
    t.Info("SERIAL_NUMBER", 152, efInt32);
}

void BuildStatus(TableWriter& t)
{
    t.Page("DummyPage", psNone);

    t.Heading(kShowAlways, "Motor status");
    t.BitView(kShowAlways, "Actual mode", 2, Bits(0, 4), 50276392, kActualModeItems);
    t.Edit(kShowAlways, "Actual velocity", 12, kNoHint, "RPM", "Cnts/Sample", efInt16, 0, 5000, 1);
    t.Edit(kShowAlways, "Actual position", 10, kNoHint, "Counts", "", efInt32, -100000, 100000, 1);
    t.Edit(0x8000, "Encoder position", 16, kNoHint, "Counts", "", efInt32, 0, 0, 1);
    t.Edit(0x8000, "Follow error", 20, kNoHint, "Counts", "", efInt32, 0, 0, 1);

    t.Heading(kShowAlways, "Run Status");
    t.BitList(kShowAlways, "In position", 25, Bits(3, 7), -16777198, kRunStatusItems);
    t.Edit(kShowAlways, "Bus voltage", 97, kNoHint, "Volts", "", efInt16, 0, 0, 0.10889540566959924);
    t.Edit(kShowAlways, "Temperature", 26, kNoHint, "\xB0" "C", "", efInt16, 0, 0, 2.27);

    t.Heading(kShowAlways, "Inputs");
    t.BitLamps(kShowAlways, "Inputs", 18, Bits(0, 7), lfNone, 0, 1);

    t.Heading(kShowAlways, "Outputs");
    t.BitLamps(kShowAlways, "Outputs", 19, Bits(0, 7), lfClickable, 2, 1);
    t.Edit(kShowAlways, "External Encoder", 170, kNoHint, "Counts", "", efInt32, -100000, 100000, 1);
    t.Edit(kShowAlways, "External Encoder Velocity", 172, kNoHint, "Counts/s", "Cnts/16ms", efInt16, -100000, 100000, 62.5);

    t.Heading(kShowAlways, "Errors");
    t.BitList(kShowAlways, "Errors", 35, Bits(0, 14), 255, kErrorsItems);

    t.Heading(kShowAlways, "Warnings");
    t.BitList(kShowAlways, "Warnings", 36, Bits(0, 14), 32768, kWarningsItems);
}

void BuildExtra(TableWriter& t)
{
    t.Page("DummyPage", psNone);
    t.Edit(kShowAlways, "Position 1 (P1)", 49, kNoHint, "Counts", "", efInt32 | efEditable, -67000000, 67000000, 1);
    t.Edit(kShowAlways, "Position 2 (P2)", 51, kNoHint, "Counts", "", efInt32 | efEditable, -67000000, 67000000, 1);
}

}  // namespace

FamilyTables BuildStepperTables()
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

const ParamTableSet& StepperTables()
{
    static const FamilyTables tables = BuildStepperTables();
    static const ParamTableSet set = tables.Set();
    return set;
}

}  // namespace quenor
