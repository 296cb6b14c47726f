#include "update/updater.h"

#include <cerrno>
#include <csignal>
#include <stdexcept>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quenor {

UpdaterProcess::~UpdaterProcess()
{
    // The updater outlives us on purpose; only reap it if it already ended.
    std::lock_guard lock(mutex_);
    if (pid_ > 0)
        ::waitpid(pid_, nullptr, WNOHANG);
}

void UpdaterProcess::Start(const std::string& programDir)
{
    const std::string path = programDir + "/" + kUpdaterName;
    if (path.empty() || path.front() != '/')
        throw std::runtime_error("Could not start updater");

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    posix_spawn_file_actions_addchdir_np(&actions, programDir.c_str());
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, path.c_str(), &actions, &attr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0)
        throw std::runtime_error("Could not start updater");
    std::lock_guard lock(mutex_);
    if (pid_ > 0)
        ::waitpid(pid_, nullptr, WNOHANG);
    pid_ = pid;
}

void UpdaterProcess::Terminate()
{
    std::lock_guard lock(mutex_);
    if (pid_ <= 0)
        return;
    // Our child stays ours until it is reaped, so its id cannot name another process.
    ::kill(pid_, SIGKILL);
    while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
}

pid_t UpdaterProcess::Pid() const
{
    std::lock_guard lock(mutex_);
    return pid_;
}

}  // namespace quenor
