#include "platform/savefile.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <csignal>
#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace quenor {
namespace {

constexpr int kMaxLinks = 40;  // as the kernel follows them

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The path that a chain of links ends at, whether or not anything is there;
// the path itself when it is no link. -1 (errno ELOOP) for a chain without end.
int FollowLinks(std::string& path)
{
    for (int i = 0; i < kMaxLinks; ++i) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return 0;  // what is there (or why nothing can be) is seen later
        std::string target(PATH_MAX, '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n < 0)
            return -1;
        if (static_cast<std::size_t>(n) == target.size()) {
            errno = ENAMETOOLONG;  // cut off
            return -1;
        }
        target.resize(static_cast<std::size_t>(n));
        path = (target.empty() || target[0] == '/') ? target : FolderOf(path) + "/" + target;
    }
    errno = ELOOP;
    return -1;
}

const char kNotRegular[] = "The path is not a regular file.";

bool Refuse(std::string* reason, std::string text)
{
    if (reason)
        *reason = std::move(text);
    return false;
}

// Opens path for writing without waiting for anything (flags add to
// O_WRONLY); -1 (errno) when it cannot be opened, -2 when it is no regular file.
int OpenRegularForWriting(const std::string& path, int flags)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | flags, 0666);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -2;
    }
    return fd;
}

// Writes size bytes of data to fd at offset, or where the file stands when
// offset is negative; again after an interrupted or a partial write. False
// (errno) when a write fails.
bool WriteAllAt(int fd, const char* data, std::size_t size, off_t offset)
{
    while (size > 0) {
        const ssize_t n = offset < 0 ? ::write(fd, data, size) : ::pwrite(fd, data, size, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
        if (offset >= 0)
            offset += n;
    }
    return true;
}

// Writes data to fd from its start, up to `upTo` where the rest is there
// already, cuts off what the file held beyond it, flushes it to the disk and
// closes fd; false with the errno of the first step that failed.
bool WriteAndClose(int fd, std::string_view data, int& error, std::size_t upTo = std::string_view::npos)
{
    bool ok = WriteAllAt(fd, data.data(), std::min(upTo, data.size()), 0) &&
              ::ftruncate(fd, static_cast<off_t>(data.size())) == 0 && ::fsync(fd) == 0;
    error = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    return ok;
}

// Whether this process may make a file of size bytes (ulimit -f).
bool WithinSizeLimit(std::size_t size)
{
    rlimit limit {};
    return ::getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY || size <= limit.rlim_cur;
}

// Writes zeros into the holes of fd before end, which read as zeros already:
// the text is the same, and writing over it afterwards needs no more room.
// False (errno) when the disk has no room for them.
bool FillHoles(int fd, off_t end)
{
    static const char zeros[4096] {};
    for (off_t at = 0; at < end;) {
        const off_t hole = ::lseek(fd, at, SEEK_HOLE);
        if (hole < 0 || hole >= end)
            return true;  // none before end (or no file system that can say)
        off_t data = ::lseek(fd, hole, SEEK_DATA);
        if (data < 0 || data > end)
            data = end;  // a hole up to the end
        for (off_t p = hole; p < data;) {
            const auto n = static_cast<std::size_t>(std::min<off_t>(sizeof zeros, data - p));
            if (!WriteAllAt(fd, zeros, n, p))
                return false;
            p += static_cast<off_t>(n);
        }
        at = data;
    }
    return true;
}

// The block size of fd's file system where it writes every change to new
// blocks, so that writing over a file takes as much room again as the part
// written over, until the change is on the disk; 0 where it writes over the
// old blocks.
long CopyOnWriteBlock(int fd)
{
    constexpr unsigned long kBtrfs = 0x9123683E, kBcachefs = 0xCA451A4E, kZfs = 0x2FC12FC1, kNilfs = 0x3434;
    struct statfs fs {};
    if (::fstatfs(fd, &fs) != 0)
        return 0;
    const auto type = static_cast<unsigned long>(fs.f_type) & 0xFFFFFFFFul;
    if (type != kBtrfs && type != kBcachefs && type != kZfs && type != kNilfs)
        return 0;
    return fs.f_frsize > 0 ? static_cast<long>(fs.f_frsize) : static_cast<long>(fs.f_bsize);
}

// Whether the disk of fd has room for `blocks` blocks of `block` bytes that
// nothing has taken yet (what this user may take); false (errno) when not.
bool RoomFor(int fd, off_t blocks, long block)
{
    struct statvfs vfs {};
    if (::fstatvfs(fd, &vfs) != 0)
        return false;
    const unsigned long unit = vfs.f_frsize > 0 ? vfs.f_frsize : vfs.f_bsize;
    if (static_cast<unsigned long long>(vfs.f_bavail) * unit < static_cast<unsigned long long>(blocks) * block) {
        errno = ENOSPC;
        return false;
    }
    return true;
}

// Where no new file may be made beside it: the file itself (fd, open for
// writing and closed here) is written over. No byte of the old text changes
// before the whole new text is known to fit: the file size limit is asked;
// where the file system writes every change to new blocks, the disk is asked
// for room for all of the new text (asked before room is taken, which the
// file system may show as free until it is on the disk); room for all of it
// is taken on the disk beforehand, or, where the file system cannot take
// room beforehand, the holes of the old text are filled with the zeros they
// read as; the new text beyond the old end is written, and all of that is
// flushed to the disk, so that a disk that runs out, or says so only at the
// flush, leaves the old text as it was. Then the old part is written over,
// which takes no room that was not asked for.
bool SaveInPlace(int fd, std::string_view data, std::string* reason)
{
    struct stat st {};
    const auto size = static_cast<off_t>(data.size());
    const bool known = ::fstat(fd, &st) == 0;  // the old length
    int error = known ? 0 : errno;
    const off_t old = st.st_size;
    if (!error && !WithinSizeLimit(data.size()))
        error = EFBIG;
    // Where every change goes to new blocks, each block of the new text
    // takes one, the old blocks it is written over too: the disk must have
    // room for them all. The block that holds the old end is then written
    // once, with the old part.
    const long block = error ? 0 : CopyOnWriteBlock(fd);
    off_t split = old;
    if (block > 0) {
        if (!RoomFor(fd, (size + block - 1) / block, block))
            error = errno;
        split = std::min(size, (old + block - 1) / block * block);
    }
    // Over the whole length: an old file with holes needs room where they are.
    if (!error && ::fallocate(fd, 0, 0, size) != 0) {
        const bool cannotTakeRoom = errno == EOPNOTSUPP || errno == ENOSYS || errno == EINVAL;
        if (!cannotTakeRoom || !FillHoles(fd, std::min(old, size)))
            error = errno;
    }
    if (!error && size > split && !WriteAllAt(fd, data.data() + split, static_cast<std::size_t>(size - split), split))
        error = errno;
    if (!error && ::fsync(fd) != 0)
        error = errno;
    if (error) {
        if (known && size > old)
            (void)::ftruncate(fd, old);  // the room taken or the part written beyond the old end
        ::close(fd);
        return Refuse(reason, CannotWrite(error));
    }
    return WriteAndClose(fd, data, error, static_cast<std::size_t>(std::min(split, size))) ||
           Refuse(reason, CannotWrite(error));
}

// A file that is not there yet is made under its own name; one that was not
// written whole is removed again.
bool SaveNew(const std::string& path, std::string_view data, std::string* reason)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0)
        return Refuse(reason, CannotWrite(errno));
    if (int error = 0; !WriteAndClose(fd, data, error)) {
        ::unlink(path.c_str());
        return Refuse(reason, CannotWrite(error));
    }
    return true;
}

}  // namespace

std::string CannotWrite(int error)
{
    std::string text = std::generic_category().message(error);
    if (!text.empty())
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return "The file cannot be written: " + text + ".";
}

void IgnoreFileSizeSignal() { std::signal(SIGXFSZ, SIG_IGN); }

bool WriteAll(int fd, const char* data, std::size_t size) { return WriteAllAt(fd, data, size, -1); }

bool WriteRegularFile(const std::string& path, std::string_view data, bool append)
{
    // Without a reader a named pipe refuses a non-blocking open instead of
    // holding it; with one, it is no regular file and gets nothing.
    const int fd = OpenRegularForWriting(path, O_CREAT | (append ? O_APPEND : O_TRUNC));
    if (fd < 0)
        return false;
    const bool ok = WriteAll(fd, data);
    return ::close(fd) == 0 && ok;
}

StagedFile::StagedFile(const std::string& folder, const std::string& prefix)
{
    path_ = folder + "/" + prefix + "XXXXXX";
    fd_ = ::mkostemp(path_.data(), O_CLOEXEC);
    if (fd_ < 0) {
        error_ = errno;
        path_.clear();
    }
}

StagedFile::~StagedFile() { Discard(); }

bool StagedFile::Fail()
{
    error_ = errno;
    return false;
}

bool StagedFile::Write(const char* data, std::size_t size)
{
    return (fd_ >= 0 && WriteAll(fd_, data, size)) || Fail();
}

bool StagedFile::Close()
{
    if (fd_ < 0)
        return false;
    const bool synced = ::fsync(fd_) == 0 || Fail();
    const bool closed = ::close(fd_) == 0 || Fail();
    fd_ = -1;
    return synced && closed;
}

bool StagedFile::Commit(const std::string& dest)
{
    if (!Close())
        return false;
    if (::rename(path_.c_str(), dest.c_str()) != 0)
        return Fail();
    path_.clear();
    return true;
}

void StagedFile::Discard()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!path_.empty()) {
        ::unlink(path_.c_str());
        path_.clear();
    }
}

bool SaveWholeFile(const std::string& path, std::string_view data, std::string* reason)
{
    std::string target = path;
    if (FollowLinks(target) != 0)
        return Refuse(reason, CannotWrite(errno));
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0) {
        if (errno != ENOENT)
            return Refuse(reason, CannotWrite(errno));
        return SaveNew(target, data, reason);
    }
    // A device, a named pipe or a folder is not the user's file to replace.
    if (!S_ISREG(st.st_mode))
        return Refuse(reason, kNotRegular);
    // Putting a file in its place asks only the folder, so the file itself is
    // asked whether this user may write it (a read-only file, another's).
    const int fd = OpenRegularForWriting(target, 0);
    if (fd == -2)
        return Refuse(reason, kNotRegular);
    if (fd < 0)
        return Refuse(reason, CannotWrite(errno));

    // Hidden while it is written, and short enough to be made wherever the file is.
    StagedFile staged(FolderOf(target), "." + NameOf(target).substr(0, 200) + ".");
    if (!staged.IsOpen() && (staged.Error() == EACCES || staged.Error() == EPERM))
        return SaveInPlace(fd, data, reason);
    ::close(fd);
    if (!staged.IsOpen())
        return Refuse(reason, CannotWrite(staged.Error()));
    // The file keeps its owner where this process may give it (root), else
    // its group where this user belongs to it, and its permissions.
    if (::fchown(staged.Fd(), st.st_uid, st.st_gid) != 0)
        (void)::fchown(staged.Fd(), static_cast<uid_t>(-1), st.st_gid);
    (void)::fchmod(staged.Fd(), st.st_mode & 07777);
    if (!staged.Write(data) || !staged.Commit(target))
        return Refuse(reason, CannotWrite(staged.Error()));
    return true;
}

}  // namespace quenor
