#pragma once
// Unpacking of a program archive into the program's folder.
//
// Every entry is checked before anything is written: only plain relative names
// (no absolute path, no "..", "." or empty part, no '\', ':' or control
// character) and only files and folders (no links or devices). The entries are
// then extracted into a folder of our own beside the target and moved in only
// when every one of them was read whole with the right checksum; if a move
// fails, the files already moved are put back and the folders made on the way
// are removed. A refused archive leaves the target as it was.

#include <cstddef>
#include <string>

namespace quenor {

// The fixed password of the program archives. It keeps casual eyes out and
// authenticates nothing.
inline constexpr const char* kArchivePassword = "Hq5xVrMnLw";

enum UnpackError : int {
    kUnpackOk = 0,
    kUnpackBadArchive = 1,     // cannot be opened, or is no zip archive
    kUnpackUnsafeName = 2,     // an entry's name would leave the target folder
    kUnpackSpecialEntry = 3,   // an entry is a link or another special file
    kUnpackPassword = 4,       // an entry is encrypted and the password does not fit
    kUnpackCorrupt = 5,        // an entry cannot be read whole (checksum, method, size)
    kUnpackWrite = 6,          // the folder beside the target cannot be written
    kUnpackMove = 7,           // the unpacked files cannot be moved into the target
};

// True when name is an acceptable entry name (a folder entry ends in '/').
bool IsSafeEntryName(const std::string& name);

// Unpacks archive into targetDir (which must exist); returns an UnpackError.
int UnpackArchive(const std::string& archive, const std::string& targetDir,
                  const std::string& password = kArchivePassword);

}  // namespace quenor
