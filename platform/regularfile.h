#pragma once
// Files from outside the program (setup files, scope files, logic-module
// formats, firmware files, filter tables, program streams) are read by one
// rule: only a regular file is opened, after following links; nothing waits
// for a writer (a named pipe is refused before it is opened); and no more is
// read than such a file can hold, so a device such as /dev/zero or a file that
// grows while it is read never takes memory without end. (Files written by the
// same rule: platform/savefile.h.)

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quenor {

// Why a file was not read.
enum class ReadFault {
    None,
    Missing,     // no such file, or a link to none
    NotRegular,  // a folder, a device, a named pipe, a socket
    Denied,      // no permission to read it (or to reach it)
    TooLarge,    // longer than the limit
    Failed,      // any other error while opening or reading it
};

// A regular file opened for reading by the rule above; closed with the object.
class RegularFile {
public:
    RegularFile() = default;
    // Opens path when it is a regular file of at most limit bytes that may be
    // read; otherwise the object is not open and Fault() says why.
    RegularFile(const std::string& path, std::size_t limit);
    ~RegularFile();
    RegularFile(RegularFile&& other) noexcept;
    RegularFile& operator=(RegularFile&& other) noexcept;
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    ReadFault Fault() const { return fault_; }

    // Reads the next bytes, at most size, never past the limit + 1st byte:
    // 0 at the end of the file; -1 on a read error (Failed) or when the file
    // has grown past its limit (TooLarge), and the file reads no further.
    std::ptrdiff_t ReadSome(char* buffer, std::size_t size);
    // The rest of the file; nullopt (and the fault) when it passes the limit
    // or cannot be read.
    std::optional<std::string> ReadRest();

private:
    void Close();

    int fd_ = -1;
    std::size_t limit_ = 0;
    std::uintmax_t read_ = 0;
    ReadFault fault_ = ReadFault::None;
};

// Whether path names an existing regular file of at most limit bytes that may
// be read, found without reading it.
ReadFault CheckReadableFile(const std::string& path, std::size_t limit = SIZE_MAX);

// Reads a whole regular file after the same checks; nullopt and the fault
// when it is not read. A file longer than limit bytes is not read at all.
std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t limit = SIZE_MAX,
                                         ReadFault* fault = nullptr);

// Reads an open file to its end, a piece at a time, but never more than
// limit + 1 bytes: more than limit is nullopt with TooLarge, and the rest is
// left unread. A read error is nullopt with Failed.
std::optional<std::string> ReadUpTo(int fd, std::size_t limit, ReadFault* fault = nullptr);

// Whether a folder entry is a regular file once links are followed. A folder
// that is scanned for files skips any other entry, as it skips any file it
// cannot use.
bool IsRegularFile(const std::string& path);

// The reason shown to the user, one sentence ("The path is not a regular
// file."); `kind` names the file in the text of TooLarge ("a setup file").
// Empty for None.
std::string ReadFaultReason(ReadFault fault, std::size_t limit, const std::string& kind);

}  // namespace quenor
