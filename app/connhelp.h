#pragma once
// The connection trouble-shooting help as a command of the main window: the
// help text, and what happens around the dialog (its "Don't show this again."
// flag, the firmware reload that its two buttons start with the link handed
// over to the firmware loader and taken back afterwards).

#include <functional>
#include <string>
#include <vector>

namespace quenor {

// Modal results of the connection help.
constexpr int kConnHelpClose = 1;
constexpr int kConnHelpLoadSmall = 100;  // "Load firmware VekAD": the small servo motors (generation 0)
constexpr int kConnHelpLoadLarge = 101;  // "Load firmware VekEF": the large servo motors (generation 1)

// The help text, one entry a line (empty lines and trailing blanks kept).
const std::vector<std::string>& ConnHelpLines();

// What the firmware update dialog is given before it is shown.
struct FirmwareUpdateSetup {
    int generation = 0;
    bool connected = false;  // the loader enters the bootloader through the running firmware
    bool autoStart = false;  // pick the newest file and start at once (firmware recovery)
    int moduleType = 0;      // 0..6
    int hardware = 0;        // sub-type filter of module files
    int portIndex = 0;       // the loader opens COM port index + 1
};

// The main window's side of the firmware update: the link's hand-over and the
// dialog.
struct FirmwareUpdateIo {
    std::function<void(bool sendStop)> suspendLink;                      // ComThread::SuspendLink
    std::function<void(bool sendResume)> resumeLink;                     // ComThread::ResumeLink
    std::function<void(const FirmwareUpdateSetup&)> showFirmwareUpdate;  // set up and show modally
};

// Suspends the link (the stop frame goes out while connected), shows the
// firmware dialog, and resumes the link (the port reopens and the resume frame
// goes out) also when showing the dialog throws.
void RunFirmwareUpdate(const FirmwareUpdateSetup& setup, const FirmwareUpdateIo& io);

// The main window's state that the connection help needs.
struct ConnHelpInputs {
    bool dontConnectionHelp = false;  // the "Don't Connection Help" setting
    bool connected = false;
    int moduleType = 0;
    int portIndex = 0;
};

struct ConnHelpOutcome {
    int result = 0;                   // the dialog's modal result
    bool dontConnectionHelp = false;  // the box's state: the new value of the setting
    bool firmwareShown = false;       // the firmware dialog was shown
};

// Shows the help with its check box preset from the flag (showHelp gets the
// box's state in and hands it back), and on results 100 and 101 reloads the
// firmware of generation 0 or 1 with auto-start through RunFirmwareUpdate.
ConnHelpOutcome RunConnectionHelp(const ConnHelpInputs& in, const std::function<int(bool& dontShow)>& showHelp,
                                  const FirmwareUpdateIo& io);

}  // namespace quenor
