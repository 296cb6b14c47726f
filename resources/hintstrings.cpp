#include "resources/stringtable.h"

#include <span>

namespace quenor {

namespace {

// Hints of the parameter controls. An edit shows text `base` on its caption,
// value, edit field and spin button and `base + 1` on its unit label; a radio
// group shows `base` on its group box and `base + 1 + i` on item i. Lines of a
// text are separated by a line feed.
constexpr StringResource kHints[] = {
    {400, "Select the startup mode"},
    {401, "In this mode the driver is passive"},
    {402, "The motor runs with a constant velocity"},
    {403, "The motor accepts position commands\n"
          "through the serial port"},
    {404, "The motor follows the pulse input\n"
          "with the specified gear ratio"},
    {405, "The motor runs with a velocity relative to the analogue input\n"
          "The sample frequency is 521Hz"},
    {406, "The motor runs with a velocity relative to the analogue input,\n"
          "but with a deadband (+/-600mV) on the analogue input\n"
          "The sample frequency is 521Hz"},
    {407, "The motor runs with a velocity relative to the analog input\n"
          " and the pulse input\n"
          "The sample frequency is 521Hz"},
    {408, "The motor runs with a constant velocity\n"
          "and the torque limit can be adjusted with the analogue input\n"
          "The sample frequency is 521Hz"},
    {409, "The motor will give a torque relativ to the analogue input\n"
          "without any velocity or acceleration limits\n"
          "The sample frequency is 7812Hz"},
    {410, "The motor follows the pulse input\n"
          "with a specified gear ratio,\n"
          "but the gear ratio can be offset with the analogue input\n"
          "The sample frequency is 512Hz"},
    {411, "The motor follows the pulse input\n"
          "with a specified gear ratio,\n"
          "but will stay within a specified position limit\n"
          "The sample frequency is 512Hz"},
    {412, "The motor movement is initiated by the analogue input\n"
          "A low to high transition activates the high position\n"
          "A high to low transition activates the low position\n"
          "The sample frequency is 512Hz"},
    {413, "The motor moves according to the analogue input\n"
          "The range of movement can be selected\n"
          "The sample frequency is 512Hz"},
    {450, "Select the startup mode"},
    {451, "In this mode the driver is passive"},
    {452, "The motor runs with a constant velocity"},
    {453, "The motor accepts position commands\n"
          "through the serial port"},
    {454, "The motor follows the pulse input\n"
          "with the specified gear ratio"},
    {455, "The motor runs with a velocity relative to the analogue input\n"
          "The sample frequency is 770Hz"},
    {456, "The motor runs with a velocity relative to the analogue input,\n"
          "but with a deadband (+/-600mV) on the analogue input\n"
          "The sample frequency is 770Hz"},
    {457, "The motor runs with a velocity relative to the analog input\n"
          " and the pulse input\n"
          "The sample frequency is 770Hz"},
    {458, "The motor runs with a constant velocity\n"
          "and the torque limit can be adjusted with the analogue input\n"
          "The sample frequency is 770Hz"},
    {459, "The motor will give a torque relativ to the analogue input\n"
          "without any velocity or acceleration limits\n"
          "The sample frequency is 10kHz"},
    {460, "The motor follows the pulse input\n"
          "with a specified gear ratio,\n"
          "but the gear ratio can be offset with the analogue input\n"
          "The sample frequency is 770Hz"},
    {461, "The motor follows the pulse input\n"
          "with a specified gear ratio,\n"
          "but will stay within a specified position limit\n"
          "The sample frequency is 770Hz"},
    {462, "The motor movement is initiated by the analogue input\n"
          "A low to high transition activates the high position\n"
          "A high to low transition activates the low position\n"
          "The sample frequency is 770Hz"},
    {463, "The motor moves according to the analogue input\n"
          "The range of movement can be selected\n"
          "The sample frequency is 770Hz"},
    {500, "Enter a negative velocity to invert the direction"},
    {501, "Click on the unit to select an alternative unit"},
    {600, "Enter a negative torque\n"
          " to invert the home sensor trig level\n"
          "Torque specified from 0% to +/-300%"},
    {601, "Click on the unit to select an alternative unit"},
    {700, "The Motor will go to this\n"
          "position, after the zero search"},
    {800, "Remember to reset after a change in this parameter"},
    {900, "Please notice that the undervoltage has a hysteresis on 25%\n"
          "Ex. if Min voltage is 20v, the voltage must be\n"
          "20v+25%=25v before the undervoltage condition is released"},
    {1000, "Torque specified from 0% to 300%\n"
          "100% = maximum allowed continuable torque"},
    {1100, "This movement type is used when a module is activating a position register\n"
          "Please notice that some modules are changing this setting automatically"},
    {1200, "This feature requires firmware version 7.4 or higher"},
    {1201, "This feature requires firmware version 1.12 or higher"},
};

}  // namespace

std::span<const StringResource> HintStrings() { return kHints; }

}  // namespace quenor
