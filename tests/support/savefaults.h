#pragma once
// Saves that cannot be written, made without a full disk: a file size limit
// stands for the disk that runs full, and another user for one who may write a
// file but make nothing new in its folder, or who may not write a file.

#include "platform/savefile.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <system_error>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quenor::test {

// While it lives, this process writes no regular file past `bytes`: such a
// write fails with EFBIG, as one onto a full disk fails with ENOSPC, and it
// fails however small the write, even one that a library held back in its
// buffer until the file was closed. The process is set up as the program
// sets itself up, so that the signal for such a write does not end it.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        IgnoreFileSizeSignal();
        ::getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &old_); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
};

// The user "nobody", whom a folder of root's with mode 0555 lets make nothing.
inline constexpr uid_t kOtherUser = 65534;

// Runs work as kOtherUser when this process is root (its effective user only,
// and back afterwards); as the user it is otherwise. False when the user could
// not be changed.
inline bool AsOtherUser(const std::function<void()>& work)
{
    const bool root = ::geteuid() == 0;
    if (root && ::seteuid(kOtherUser) != 0)
        return false;
    work();
    return !root || ::seteuid(0) == 0;
}

// A folder of the user's own, where he may make files: made under /tmp, which
// anyone may pass through, and removed with all it holds at the end. Where
// this process is root it is kOtherUser's, and what the user does there is
// done AsOtherUser. Path() is empty when no such folder could be had.
class UsersFolder {
public:
    UsersFolder()
    {
        char pattern[] = "/tmp/quenor-users-XXXXXX";
        if (!::mkdtemp(pattern))
            return;
        path_ = pattern;
        bool reached = ::chmod(pattern, 0755) == 0 && (::geteuid() != 0 || ::chown(pattern, kOtherUser, kOtherUser) == 0);
        if (reached && !AsOtherUser([&] { reached = ::access(pattern, W_OK | X_OK) == 0; }))
            reached = false;
        if (!reached)
            Remove();
    }
    ~UsersFolder() { Remove(); }
    UsersFolder(const UsersFolder&) = delete;
    UsersFolder& operator=(const UsersFolder&) = delete;

    const std::string& Path() const { return path_; }

    // A file of his that he made read-only (mode 0444), holding text; empty
    // when it could not be made.
    std::string ReadOnlyFile(const std::string& name, const std::string& text) const
    {
        const std::string path = path_ + "/" + name;
        if (path_.empty() || !(std::ofstream(path, std::ios::binary) << text).flush())
            return {};
        if (::geteuid() == 0 && ::chown(path.c_str(), kOtherUser, kOtherUser) != 0)
            return {};
        return ::chmod(path.c_str(), 0444) == 0 ? path : std::string();
    }

private:
    void Remove()
    {
        std::error_code ec;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ec);
        path_.clear();
    }

    std::string path_;
};

}  // namespace quenor::test
