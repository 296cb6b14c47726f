#include "platform/regularfile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace quenor {
namespace {

ReadFault FaultOfError(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ELOOP:
        return ReadFault::Missing;
    case EACCES:
    case EPERM:
        return ReadFault::Denied;
    default:
        return ReadFault::Failed;
    }
}

// Opens path for reading when it is a regular file of at most limit bytes;
// -1 and the fault when not.
int OpenRegular(const std::string& path, std::size_t limit, ReadFault& fault)
{
    fault = ReadFault::None;
    struct stat st {};
    // Looked at before it is opened: the open of a named pipe waits for a
    // writer, and that of a device may do something to it.
    if (::stat(path.c_str(), &st) != 0) {
        fault = FaultOfError(errno);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        fault = ReadFault::NotRegular;
        return -1;
    }
    // Should the path have become a pipe since, the open does not wait for it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        fault = FaultOfError(errno);
        return -1;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        fault = ReadFault::NotRegular;
    else if (static_cast<std::uintmax_t>(st.st_size) > limit)
        fault = ReadFault::TooLarge;  // not read at all
    if (fault != ReadFault::None) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

RegularFile::RegularFile(const std::string& path, std::size_t limit) : limit_(limit)
{
    fd_ = OpenRegular(path, limit, fault_);
}

RegularFile::~RegularFile() { Close(); }

RegularFile::RegularFile(RegularFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), limit_(other.limit_), read_(other.read_), fault_(other.fault_)
{
}

RegularFile& RegularFile::operator=(RegularFile&& other) noexcept
{
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        limit_ = other.limit_;
        read_ = other.read_;
        fault_ = other.fault_;
    }
    return *this;
}

void RegularFile::Close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

std::ptrdiff_t RegularFile::ReadSome(char* buffer, std::size_t size)
{
    if (fd_ < 0)
        return -1;
    // No read reaches past the byte after the limit (limit may be SIZE_MAX).
    const std::uintmax_t left = limit_ - read_;
    const std::size_t want = left < size ? static_cast<std::size_t>(left) + 1 : size;
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, want);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            fault_ = ReadFault::Failed;
            Close();
            return -1;
        }
        read_ += static_cast<std::uintmax_t>(n);
        if (read_ > limit_) {
            fault_ = ReadFault::TooLarge;
            Close();
            return -1;
        }
        return n;
    }
}

std::optional<std::string> RegularFile::ReadRest()
{
    if (fd_ < 0)
        return std::nullopt;
    std::optional<std::string> text = ReadUpTo(fd_, static_cast<std::size_t>(limit_ - read_), &fault_);
    Close();
    return text;
}

ReadFault CheckReadableFile(const std::string& path, std::size_t limit)
{
    return RegularFile(path, limit).Fault();
}

std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t limit, ReadFault* fault)
{
    RegularFile file(path, limit);
    // A file that grows while it is read is read up to the limit.
    std::optional<std::string> text = file.ReadRest();
    if (fault)
        *fault = file.Fault();
    return text;
}

std::optional<std::string> ReadUpTo(int fd, std::size_t limit, ReadFault* fault)
{
    ReadFault dummy = ReadFault::None;
    ReadFault& why = fault ? *fault : dummy;
    why = ReadFault::None;
    constexpr std::size_t kPiece = 64 * 1024;
    std::string text;
    for (;;) {
        // No piece reaches past the byte after the limit (limit may be SIZE_MAX).
        const std::size_t left = limit - text.size();
        const std::size_t want = left < kPiece ? left + 1 : kPiece;
        const std::size_t had = text.size();
        text.resize(had + want);
        const ssize_t n = ::read(fd, text.data() + had, want);
        if (n < 0 && errno == EINTR) {
            text.resize(had);
            continue;
        }
        if (n < 0) {
            why = ReadFault::Failed;
            return std::nullopt;
        }
        text.resize(had + static_cast<std::size_t>(n));
        if (text.size() > limit) {
            why = ReadFault::TooLarge;
            return std::nullopt;
        }
        if (n == 0)
            return text;
    }
}

bool IsRegularFile(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string ReadFaultReason(ReadFault fault, std::size_t limit, const std::string& kind)
{
    switch (fault) {
    case ReadFault::None:
        return {};
    case ReadFault::Missing:
        return "The file does not exist.";
    case ReadFault::NotRegular:
        return "The path is not a regular file.";
    case ReadFault::Denied:
        return "The file cannot be read: permission denied.";
    case ReadFault::TooLarge:
        return "The file is larger than " + std::to_string(limit) + " bytes, more than " + kind + " may hold.";
    case ReadFault::Failed:
        break;
    }
    return "The file cannot be read.";
}

}  // namespace quenor
