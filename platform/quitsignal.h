#pragma once
// Ends the program in order when the session asks it to (SIGTERM, SIGINT,
// SIGHUP): the handler runs on the GUI thread, so windows close as if the
// user had closed them and the settings are saved.

#include <functional>

namespace quenor {

// Installs the signal handlers; onQuit runs on the thread of the event loop.
// Call once, after the application object exists.
void InstallQuitOnSignal(std::function<void()> onQuit);

}  // namespace quenor
