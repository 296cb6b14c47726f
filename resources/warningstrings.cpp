#include "resources/stringtable.h"

#include <span>

namespace quenor {

// Titles (20000 + bit) and explanations (20100 + bit) of the eight warnings.
// "%s" takes the warning's argument text.
std::span<const StringResource> WarningStrings()
{
    static const StringResource kStrings[] = {
        {20000, "Save in flash is required"},
        {20001, "I/O Type must be serial, when using module"},
        {20002, "Motor will not move, Max Velocity = 0"},
        {20003, "Gear ratio must not exceed 1023"},
        {20004, "Don't use 'Power up: ' homing mode with module connected"},
        {20005, "The VekMR requieres startup mode = \"%s\""},
        {20006, "This Quenor should only be used with VekMR Version 1.11 or higher"},
        {20007, "The new S-Curve setting will first be active after passive mode"},
        {20100,
         "Some parameters only have effect when the motor is powered up. Therefor it's required to save the setup in "
         "flash, before the changes take effekt.\nThe parameters that requires save in flash is:\n\tI/O Type\n\tInput "
         "type\n\tFast input filter\n\tInvert pulse input direction"},
        {20101,
         "Please set the I/O Type = Serial Data, because the module needs to communicate with the VEK Motor throu the "
         "I/O."},
        {20102,
         "Do not set the velocity to 0, because the motor will move.\nIf you are doing a zero search, the zero search "
         "might newer finish."},
        {20103,
         "If the gear ratio exceeds 1023 the gear calculations will overflow and the movement will be inpredictable."},
        {20104,
         "You must not select an automatic zero search mode, when using a module. Because the module has no way to "
         "detect that the zero search is in progress.\nIf you are using a VekMR module you sould enable power up "
         "homing on the -MR page and download the format again."},
        {20105,
         "The format of the VekMR module expects \"%s mode\" as startup mode, you must select the correct startup "
         "mode or the module will not function properly."},
        {20106,
         "Due to changes in the VekMR firmware you should upgrade the firmware in the VekMR module.\nPlease select "
         "update firmware... in the update menu"},
        {20107,
         "When the S-Curve setting is changed the motor will not use the setting immeditaley, but first when the "
         "motor has been in passive mode"},
    };
    return kStrings;
}

}  // namespace quenor
