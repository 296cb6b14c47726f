#pragma once
// The hand-over to the external updater: the program "Updater" in the
// program's folder, started detached (a session of its own, standard streams
// on /dev/null, no other descriptor inherited, the program's folder as its
// working folder, no arguments), and ended again by its process id when the
// user decides to keep the running program.

#include <mutex>
#include <string>

#include <sys/types.h>

namespace quenor {

inline constexpr const char* kUpdaterName = "Updater";

class UpdaterProcess {
public:
    UpdaterProcess() = default;
    ~UpdaterProcess();  // leaves a running updater running
    UpdaterProcess(const UpdaterProcess&) = delete;
    UpdaterProcess& operator=(const UpdaterProcess&) = delete;

    // Starts programDir + "/Updater"; throws std::runtime_error
    // "Could not start updater" on failure.
    void Start(const std::string& programDir);
    // Ends the process started last, if it still runs, and reaps it.
    void Terminate();
    pid_t Pid() const;

private:
    mutable std::mutex mutex_;
    pid_t pid_ = -1;
};

}  // namespace quenor
