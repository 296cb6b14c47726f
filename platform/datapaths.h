#pragma once
// The per-user data folder, in place of the fixed "c:\..." paths: debug files,
// logs and the like go here. Creating it may fail; callers that write there
// best-effort check the result of their own write.

#include <string>

namespace quenor {

// ~/.local/share/Tovik/Quenor (or below $XDG_DATA_HOME); created on first use.
std::string UserDataDir();
// UserDataDir() + "/" + name.
std::string UserDataFile(const std::string& name);

}  // namespace quenor
