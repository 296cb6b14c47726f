#pragma once
// Saves that cannot be written: a file size limit stands for the disk that
// runs full, a small file system of the test's own is one that really does,
// and another user is one who may write a file but make nothing new in its
// folder, or who may not write a file.

#include "platform/savefile.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <system_error>
#include <sys/mount.h>
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

// A small file system of the test's own, mounted on folder/disk while the
// object lives (only root may): one that takes room for a file beforehand
// (ext4, with fallocate), one that cannot (ext2, whose files take room only
// as they are written), or one that writes every change to new blocks
// (btrfs, whose blocks are 4 KiB). Its top folder is root's, mode 0755.
// Path() is empty, and Why() says why, where none can be mounted here.
class SmallDisk {
public:
    enum Kind { TakesRoomBeforehand, CannotTakeRoom, CopiesOnWrite };

    SmallDisk(const std::string& folder, Kind kind)
        : point_(folder + "/disk"), image_(folder + "/disk.img"), kind_(kind)
    {
        // ext: blocks of 1 KiB, as small as files are, and ext4 without a
        // journal, which would take most of so small a disk. btrfs: as it
        // is made by default, as small as it may be.
        const std::string image = "'" + image_ + "'";
        std::string format = "truncate -s 512K " + image + " && " +
                             (kind == TakesRoomBeforehand ? "mkfs.ext4 -O ^has_journal" : "mkfs.ext2") +
                             " -q -F -b 1024 -m 0 " + image;
        if (kind == CopiesOnWrite)
            format = "truncate -s 109M " + image + " && mkfs.btrfs -q -f " + image;
        if (::geteuid() == 0 && Run("mkdir -p '" + point_ + "' && " + format + " && mount -o loop,nosuid,nodev '" +
                                    image_ + "' '" + point_ + "'"))
            path_ = point_;
    }
    ~SmallDisk()
    {
        if (!path_.empty())
            ::umount2(point_.c_str(), MNT_DETACH);
        ::unlink(image_.c_str());
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    const std::string& Path() const { return path_; }
    std::string Why() const { return "no file system can be mounted here (only root may)"; }

    // Takes the room that is left with files of root's, all but `leave`
    // bytes of it (whole blocks of 4 KiB on btrfs); false when the disk did
    // not run full.
    bool Fill(std::size_t leave = 0) const
    {
        if (kind_ == CopiesOnWrite)
            return FillBlocks(leave / 4096);
        const std::string filler = "'" + path_ + "/filler'";
        return !Run("dd if=/dev/zero of=" + filler + " bs=1024") &&
               Run("truncate -s -" + std::to_string(leave) + " " + filler + " && sync -f " + filler);
    }

private:
    // btrfs gives back the room of a block only with the whole extent that
    // holds it: the last of the room is taken by files of one block each,
    // and `leave` of them are removed again once all is on the disk.
    bool FillBlocks(std::size_t leave) const
    {
        const std::string disk = "'" + path_ + "'", blocks = "'" + path_ + "/blocks/'";
        const std::string left = "$(stat -f -c %a " + disk + ")";
        return Run("n=" + left + " && { [ $n -le 64 ] || dd if=/dev/zero of=" + disk +
                   "/filler bs=4096 count=$((n - 64)); } && mkdir " + blocks +
                   " && i=0 && while head -c 4096 /dev/zero >" + blocks + "$i; do i=$((i + 1)); done; rm " + blocks +
                   "$i && sync -f " + disk + " && [ " + left + " -eq 0 ]") &&
               Run("i=0 && while [ $i -lt " + std::to_string(leave) + " ]; do rm " + blocks +
                   "$i || exit 1; i=$((i + 1)); done && sync -f " + disk + " && [ " + left +
                   " -eq " + std::to_string(leave) + " ]");
    }

    static bool Run(const std::string& command)
    {
        return std::system(("(" + command + ") >/dev/null 2>&1").c_str()) == 0;
    }

    std::string point_, image_, path_;
    Kind kind_;
};

}  // namespace quenor::test
