#include "app/connhelp.h"

namespace quenor {

const std::vector<std::string>& ConnHelpLines()
{
    static const std::vector<std::string> lines = {
        "The connection to the motor could not be established.",
        "The reason could be one of the following:",
        "",
        "************** Power **************",
        "Ensure that the supply voltage to the motor is at least 12v.",
        "",
        "************** Cable **************",
        "Ensure that the cable is connected properly. ",
        "Please notice that a standard RS232 Null modem cable can't be used.",
        "Use either a standard Tovik RS232 cable or ensure that your cable is ",
        "connected as the provided schematic:",
        "",
        "",
        "",
        "************** Communication port **************",
        "Ensure that the motor is connected to the serial port selected in the setup ",
        "menu.",
        "",
        "************** Firmware **************",
        "The firmware could have been corrupted due to a unsuccessfull firmware ",
        "update.",
        "Please try reloading the firmware by pressing the appropriate button below.",
        "Please notice that it is possible to reload the firmware even thou the ",
        "connection can't be established.",
        "",
    };
    return lines;
}

void RunFirmwareUpdate(const FirmwareUpdateSetup& setup, const FirmwareUpdateIo& io)
{
    io.suspendLink(true);
    // Not from a destructor: resuming reopens the port, which can fail and throw.
    try {
        io.showFirmwareUpdate(setup);
    } catch (...) {
        io.resumeLink(true);
        throw;
    }
    io.resumeLink(true);
}

ConnHelpOutcome RunConnectionHelp(const ConnHelpInputs& in, const std::function<int(bool& dontShow)>& showHelp,
                                  const FirmwareUpdateIo& io)
{
    ConnHelpOutcome out;
    bool dontShow = in.dontConnectionHelp;
    out.result = showHelp(dontShow);
    out.dontConnectionHelp = dontShow;
    if (out.result == kConnHelpLoadSmall || out.result == kConnHelpLoadLarge) {
        FirmwareUpdateSetup setup;
        setup.generation = out.result == kConnHelpLoadSmall ? 0 : 1;
        setup.connected = in.connected;
        setup.autoStart = true;
        setup.moduleType = in.moduleType;
        setup.portIndex = in.portIndex;
        RunFirmwareUpdate(setup, io);
        out.firmwareShown = true;
    }
    return out;
}

}  // namespace quenor
