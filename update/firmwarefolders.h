#pragma once
// The two folders the firmware update dialog lists "*.maf*" files from.
//
// The program's own folder holds the firmware files installed with the
// program; it may not be writable. Files fetched from the update server go to
// the per-user firmware folder, which both the dialog and the download thread
// use.

#include <string>

namespace quenor {

// The folder of the running program (QCoreApplication::applicationDirPath()).
// Needs a QCoreApplication; without one it is the current folder ".".
std::string ProgramFirmwareFolder();

// UserDataDir() + "/Firmware" (~/.local/share/Tovik/Quenor/Firmware); created
// on first use. Creating it may fail: a writer checks its own write.
std::string UserFirmwareFolder();

}  // namespace quenor
