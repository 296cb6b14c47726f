#pragma once
// Files the program writes. A save of the user's files (setup files, scope
// files) and of the settings puts all of the new file in its place or leaves
// what was there: a file that is there is replaced by one written beside it
// under a temporary name (as the downloads are) once every byte is on the
// disk; a new path gets a file under its own name, removed again when it was
// not written whole; where no new file may be made beside it, the file is
// written over in place, and no byte of the old text changes before the file
// size limit and the room on the disk are known to take all of the new text
// (where every change goes to new blocks, as on btrfs, the disk is asked for
// room for all of it; room is taken beforehand, or, where the file system
// cannot, the new text beyond the old end is written first; what that took
// is flushed to the disk). Nothing is written into what is no regular file,
// nor into a file that this user may not write.

#include <cstddef>
#include <string>
#include <string_view>

namespace quenor {

// The reason for a write that failed with error, one sentence ("The file
// cannot be written: permission denied.").
std::string CannotWrite(int error);

// The program calls this first: a write past the file size limit (ulimit -f)
// then fails with EFBIG, so that a save refuses it like a full disk, instead
// of the signal for it ending the program.
void IgnoreFileSizeSignal();

// Writes all of data to fd, again after an interrupted or a partial write.
// False (errno set) when a write fails.
bool WriteAll(int fd, const char* data, std::size_t size);
inline bool WriteAll(int fd, std::string_view data) { return WriteAll(fd, data.data(), data.size()); }

// The program's own files (logs, debug copies): writes data to path as a
// regular file, made when it is not there and emptied first unless append.
// Nothing waits for a reader: a named pipe in its place, with or without a
// reader, is refused like anything else that is no regular file (a folder, a
// device). False when the file was not written whole.
bool WriteRegularFile(const std::string& path, std::string_view data, bool append = false);

// A new file under a temporary name in a folder (folder/prefixXXXXXX, mode
// 0600); Commit puts it in its place, anything else removes it.
class StagedFile {
public:
    StagedFile(const std::string& folder, const std::string& prefix);
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    const std::string& Path() const { return path_; }
    // The errno of the last step that failed (0 when none did).
    int Error() const { return error_; }

    bool Write(const char* data, std::size_t size);
    bool Write(std::string_view data) { return Write(data.data(), data.size()); }
    // Flushes to the disk and closes; the file keeps its temporary name.
    bool Close();
    // Closes as above and renames the file to dest.
    bool Commit(const std::string& dest);
    // Removes the file.
    void Discard();

private:
    bool Fail();

    std::string path_;
    int fd_ = -1;
    int error_ = 0;
};

// Saves data as the whole of the regular file at path, by the rule above. A
// link is followed and the file it leads to is replaced (the link stays),
// with its permissions, and its owner and group where this process may give
// them (root), else its group where this user belongs to it; a path that is
// not there yet (or a link to nothing) is made. A path that is there but is
// no regular file (a device, a named pipe, a folder, or a link to one), or a
// file that this user may not write, is refused and nothing there changes;
// nothing waits for a reader. False when the file was not saved whole, with
// the reason, one sentence ("The path is not a regular file.").
bool SaveWholeFile(const std::string& path, std::string_view data, std::string* reason = nullptr);

}  // namespace quenor
