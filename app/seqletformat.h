#pragma once
// The logic module's formats: a format is a 512-byte configuration image that
// decides what the module does with its inputs and outputs. Format files are
// text files of hex records (":" count, address, type, data, checksum) with
// comment lines (";" text) that together make the format's description.

#include "app/moduleblocks.h"
#include "platform/regularfile.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quenor {

// A format file that cannot be loaded; code 1 and the text. readFault: why a
// file was not read at all, one sentence (empty: it was read, and its text is
// wrong).
struct FormatLoadError {
    int code = 1;
    std::string text;
    std::string readFault;
};

class TSeqletFormat {
public:
    static constexpr std::size_t kImageSize = 512;
    static constexpr std::size_t kFormatNumberByte = 505;
    static constexpr std::size_t kVersionByte = 506;  // high nibble major, low nibble minor
    // A format file is a few KB: 512 bytes of image as hex records and a
    // description of comment lines.
    static constexpr std::size_t kMaxFileSize = 1 << 20;

    // Reads a file; throws FormatLoadError, and then the object keeps what it held.
    void LoadFromFile(const std::string& path);
    // The same for a file's bytes.
    void LoadFromBytes(std::span<const std::uint8_t> bytes);

    int GetFormatNumber() const { return image_[kFormatNumberByte]; }
    int GetVersion() const { return image_[kVersionByte]; }
    // The file's comment lines, each followed by CR LF (8-bit text).
    const std::string& Description() const { return description_; }
    // Bytes that no record writes are 0.
    const std::array<std::uint8_t, kImageSize>& Image() const { return image_; }
    const std::string& FileName() const { return fileName_; }

private:
    std::array<std::uint8_t, kImageSize> image_{};
    std::string description_;
    std::string fileName_;
};

// Sort order of the standard formats: by number, then by version (-1, 0, 1).
int CompareFormats(const TSeqletFormat& a, const TSeqletFormat& b);
// The format's line in the list of standard formats.
std::string FormatListLine(const TSeqletFormat& format);

// The standard formats: every file "format*.mrf" (letters in either case) of
// the first of the folders that exists, loaded and sorted. Files that fail
// are left out and reported in order; an entry that is no regular file (a
// folder, a named pipe, a device) is left out unreported; no folder gives an
// empty list.
struct FormatList {
    std::string folder;  // the folder read (empty: none existed)
    std::vector<TSeqletFormat> formats;
    std::vector<FormatLoadError> failures;
};
FormatList LoadFormatList(const std::vector<std::string>& folders);

// The module address typed on the page: 0..255, anything else 255 (all).
int ParseModuleAddress(std::string_view text);

// Queues the download of a format: module command 0x32, the format write
// (with the power-up choice and the address), 0x35 (store it) and 0x33.
// Stops at the first request refused; false then.
bool DownloadSeqletFormat(ModuleRequests& requests, const TSeqletFormat& format, bool powerUp, int address);

}  // namespace quenor
