#pragma once
// Expected setup-file keys and row kinds of the three families, taken from the
// row lists independently of the table sources. The keys are in the order the
// controls are built (main table, then the extra table, then the status table);
// doubled captions are doubled here too.

#include <string>
#include <vector>

namespace tabledata {

// Family 0: 108 keys.
const std::vector<std::string> kSetupKeysFamily0 = {
    "Startup mode", "Max velocity", "Acceleration", "Torque", "Load", "In position window",
    "In position count", "Invert motor direction", "Resyncronize position after passive mode", "Input",
    "Output", "Register movement type", "Follow error", "Function error", "Position limit min",
    "Position limit max", "Error acceleration", "Invert Output 1 (O1)", "Invert Output 2 (O2)", "I/O Type",
    "Input type", "Fast input filter", "Invert pulse input direction", "Analogue input offset",
    "Zero search mode", "Use index after zero search", "Zero search position", "Zero search velocity",
    "Zero search torque", "Min voltage", "Undervoltage -> Set error bit", "Undervoltage -> Go to passive",
    "Undervoltage -> Set velocity to 0", "Position 1 (P1)", "Position 2 (P2)", "Position 3 (P3)",
    "Position 4 (P4)", "Position 5 (P5)", "Position 6 (P6)", "Position 7 (P7)", "Position 8 (P8)",
    "Register movement type", "Velocity 1 (V1)", "Velocity 2 (V2)", "Velocity 3 (V3)", "Velocity 4 (V4)",
    "Velocity 5 (V5)", "Velocity 6 (V6)", "Velocity 7 (V7)", "Velocity 8 (V8)", "Acceleration 1 (A1)",
    "Acceleration 2 (A2)", "Acceleration 3 (A3)", "Acceleration 4 (A4)", "Torque 1 (T1)", "Torque 2 (T2)",
    "Torque 3 (T3)", "Torque 4 (T4)", "Load 1 (L1)", "Load 2 (L2)", "Load 3 (L3)", "Load 4 (L4)",
    "In pos. window 1 (Z1)", "In pos. window 2 (Z2)", "In pos. window 3 (Z3)", "In pos. window 4 (Z4)",
    "KVFX4", "KVFX3", "KVFX2", "KVFX1", "KVFY3", "KVFY2", "KVFY1", "KVFY0", "KFF3", "KFF2", "KFF1", "KFF0",
    "Gear", "KVB3", "KVB2", "KVB1", "KVB0", "KIFX2", "KIFX1", "KIFY1", "KIFY0", "KIB1", "KIB0", "Amplitude",
    "Phase Comp.", "I2T Limit", "UIT Limit", "Filter ID", "PROG_VERSION", "ERR_STAT", "ELDEGN_OFFSET",
    "ELDEGP_OFFSET", "IA_OFFSET", "IB_OFFSET", "IC_OFFSET", "KIA", "KIB", "KIC", "U_SUPPLY", "SERIALNUMBER",
    "HWVERSION", "CHECKSUM",
};

const std::vector<int> kKindsMainFamily0 = {
    9, 5, 3, 1, 1, 1, 1, 3, 1, 1, 1, 1, 7, 7, 3, 1, 1, 3, 1, 1, 1, 1, 1, 1, 3, 1, 1, 10, 3, 1, 1, 1, 3, 3, 1,
    1, 1, 1, 1, 3, 7, 7, 10, 10, 7, 7, 1, 3, 10, 7, 1, 1, 1, 3, 1, 7, 7, 7, 3, 1, 9, 3, 1, 1, 1, 1, 1, 1, 1,
    1, 10, 3, 1, 1, 1, 1, 1, 1, 1, 1, 3, 3, 1, 1, 1, 1, 3, 1, 1, 1, 1, 3, 1, 1, 1, 1, 3, 1, 1, 1, 1, 9, 3, 1,
    1, 1, 1, 1, 1, 1, 1, 3, 1, 1, 1, 1, 3, 3, 1, 1, 1, 1, 1, 3, 1, 1, 1, 1, 1, 1, 3, 1, 1, 1, 1, 1, 13, 13,
    13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13,
};

const std::vector<int> kKindsStatusFamily0 = {
    9, 3, 6, 1, 1, 1, 1, 1, 1, 1, 3, 1, 1, 1, 3, 8, 3, 14, 3, 14, 3, 8,
};

const std::vector<int> kKindsExtraFamily0 = {
    9, 1, 1,
};

// Family 1: 115 keys.
const std::vector<std::string> kSetupKeysFamily1 = {
    "Startup mode", "Max velocity", "Acceleration", "S-Curve", "Torque", "Load", "In position window",
    "In position count", "Invert motor direction", "Resyncronize position after passive mode", "Input",
    "Output", "Register movement type", "Follow error", "Function error", "Position limit min",
    "Position limit max", "Error acceleration", "Output 1 (O1) User controlled",
    "Output 2 (O2) User controlled", "Invert In position output (O1)", "Invert Error output (O2)", "I/O Type",
    "Fast input filter", "Invert input direction", "Disable brake", "Analogue input offset",
    "Zero search mode", "Use index after zero search", "Zero search position", "Zero search velocity",
    "Zero search torque", "Undervoltage -> Set error bit", "Undervoltage -> Go to passive",
    "Undervoltage -> Set velocity to 0", "Position 1 (P1)", "Position 2 (P2)", "Position 3 (P3)",
    "Position 4 (P4)", "Position 5 (P5)", "Position 6 (P6)", "Position 7 (P7)", "Position 8 (P8)",
    "Register movement type", "Velocity 1 (V1)", "Velocity 2 (V2)", "Velocity 3 (V3)", "Velocity 4 (V4)",
    "Velocity 5 (V5)", "Velocity 6 (V6)", "Velocity 7 (V7)", "Velocity 8 (V8)", "Acceleration 1 (A1)",
    "Acceleration 2 (A2)", "Acceleration 3 (A3)", "Acceleration 4 (A4)", "Torque 1 (T1)", "Torque 2 (T2)",
    "Torque 3 (T3)", "Torque 4 (T4)", "Load 1 (L1)", "Load 2 (L2)", "Load 3 (L3)", "Load 4 (L4)",
    "In pos. window 1 (Z1)", "In pos. window 2 (Z2)", "In pos. window 3 (Z3)", "In pos. window 4 (Z4)",
    "KVFX6", "KVFX5", "KVFX4", "KVFX3", "KVFX2", "KVFX1", "KVFY5", "KVFY4", "KVFY3", "KVFY2", "KVFY1",
    "KVFY0", "KFF5", "KFF4", "KFF3", "KFF2", "KFF1", "KFF0", "KVB4", "KVB3", "KVB2", "KVB1", "KVB0", "KIFX2",
    "KIFX1", "KIFY1", "KIFY0", "KIB1", "KIB0", "Amplitude", "Phase Comp.", "I2T Limit", "UIT Limit",
    "OutLoopDiv", "Filter ID", "PROG_VERSION", "ERR_STAT", "ELDEG_OFFSET", "IA_OFFSET", "IB_OFFSET", "KIA",
    "KIB", "UBUS", "UBUS_OFFSET", "HW_VERSION", "CHKSUM", "SERIAL_NUMBER",
};

const std::vector<int> kKindsMainFamily1 = {
    9, 5, 3, 1, 1, 10, 1, 1, 3, 1, 1, 1, 1, 7, 7, 3, 1, 1, 3, 1, 1, 1, 1, 1, 1, 3, 1, 1, 10, 3, 1, 1, 1, 3, 3,
    1, 1, 1, 1, 1, 3, 7, 7, 7, 7, 10, 7, 7, 7, 1, 3, 10, 7, 1, 1, 1, 3, 7, 7, 7, 3, 1, 9, 3, 1, 1, 1, 1, 1, 1,
    1, 1, 10, 3, 1, 1, 1, 1, 1, 1, 1, 1, 3, 3, 1, 1, 1, 1, 3, 1, 1, 1, 1, 3, 1, 1, 1, 1, 3, 1, 1, 1, 1, 9, 3,
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 3, 1, 1, 1, 1, 1, 1, 3, 3, 1, 1, 1, 1, 1, 3, 1, 1, 1, 1, 1, 1, 3, 1,
    1, 1, 1, 1, 1, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13,
};

const std::vector<int> kKindsStatusFamily1 = {
    9, 3, 6, 1, 1, 1, 1, 1, 1, 1, 1, 3, 1, 1, 1, 1, 3, 8, 3, 14, 3, 14, 3, 8,
};

const std::vector<int> kKindsExtraFamily1 = {
    9, 1, 1,
};

// Family 2: 86 keys.
const std::vector<std::string> kSetupKeysFamily2 = {
    "Startup mode", "Max velocity", "Start velocity", "Acceleration", "Running Current", "Standby Current",
    "Standby time", "Input", "Output", "Follow error", "Position limit min", "Position limit max",
    "Error acceleration", "Min bus voltage", "Zero search mode", "Use index after zero search",
    "Zero search position", "Zero search velocity", "IO1 Active level", "IO2 Active level",
    "IO3 Active level", "IO4 Active level", "IO5 Active level", "IO6 Active level", "IO7 Active level",
    "IO8 Active level", "IO1 Type", "IO2 Type", "IO3 Type", "IO4 Type", "IO5 Type", "IO6 Type", "IO7 Type",
    "IO8 Type", "Home input", "Negative Limit input", "Positive Limit input", "External Encoder",
    "In position", "Error", "IO1 Filter Enabled", "IO2 Filter Enabled", "IO3 Filter Enabled",
    "IO4 Filter Enabled", "IO5 Filter Enabled", "IO6 Filter Enabled", "IO7 Filter Enabled",
    "IO8 Filter Enabled", "Position 1 (P1)", "Position 2 (P2)", "Position 3 (P3)", "Position 4 (P4)",
    "Position 5 (P5)", "Position 6 (P6)", "Position 7 (P7)", "Position 8 (P8)", "Velocity 1 (V1)",
    "Velocity 2 (V2)", "Velocity 3 (V3)", "Velocity 4 (V4)", "Velocity 5 (V5)", "Velocity 6 (V6)",
    "Velocity 7 (V7)", "Velocity 8 (V8)", "Acceleration 1 (A1)", "Acceleration 2 (A2)", "Acceleration 3 (A3)",
    "Acceleration 4 (A4)", "Current 1 (T1)", "Current 2 (T2)", "Current 3 (T3)", "Current 4 (T4)",
    "Invert motor direction", "Auto encoder synchronize", "Don't start program on power up",
    "Change direction on position limit", "Find opposite side of sensor",
    "Use position limit input as sensor", "Ignore switch", "Mode", "Size", "Baud rate", "CanOpen Baud rate",
    "Enable CanOpen DSP 402 Support", "PROG_VERSION", "SERIAL_NUMBER",
};

const std::vector<int> kKindsMainFamily2 = {
    9, 5, 3, 1, 1, 1, 3, 1, 1, 1, 3, 1, 1, 3, 1, 3, 3, 1, 1, 1, 1, 1, 3, 10, 7, 1, 1, 3, 1, 9, 3, 10, 10, 10,
    10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 3, 3, 10, 10, 10, 10, 3, 10, 10, 3, 1, 7, 7, 7, 7, 7,
    7, 7, 7, 9, 3, 1, 1, 1, 1, 1, 1, 1, 1, 3, 1, 1, 1, 1, 1, 1, 1, 1, 3, 3, 1, 1, 1, 1, 3, 1, 1, 1, 1, 9, 3,
    7, 7, 3, 7, 3, 7, 7, 7, 7, 3, 10, 1, 3, 1, 1, 10, 3, 1, 10, 7, 3, 3, 1, 13, 13,
};

const std::vector<int> kKindsStatusFamily2 = {
    9, 3, 6, 1, 1, 1, 1, 3, 8, 1, 1, 3, 14, 3, 14, 1, 1, 3, 8, 3, 8,
};

const std::vector<int> kKindsExtraFamily2 = {
    9, 1, 1,
};

}  // namespace tabledata
