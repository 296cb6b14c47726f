#pragma once
// Saves that cannot be written, made without a full disk: a file size limit
// stands for the disk that runs full, and another user for one who may write a
// file but make nothing new in its folder.

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>

namespace quenor::test {

// While it lives, this process writes no regular file past `bytes`: such a
// write fails with EFBIG (SIGXFSZ is ignored meanwhile), as one onto a full
// disk fails with ENOSPC, and it fails however small the write, even one that
// a library held back in its buffer until the file was closed.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        handler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, handler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
    void (*handler_)(int) = SIG_DFL;
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

}  // namespace quenor::test
