#pragma once
// Firmware block files (".maf") and the checksums of the bootloader.
//
// A file is a plain sequence of blocks up to its end, no file header. A block:
//   0   2  not used
//   2   2  type: 1 information, 2 flash data, 3 erase, 4 verify data, 5 release notes
//   4   4  payload length L
//   8   4  flash address (types 2 and 4); for type 1 the loader variant (2 bytes)
//          and the hardware type (2 bytes)
//   12  L  payload
//   12+L 2 CRC-16 of bytes 0 .. 11+L, big endian: the CRC-16 of the whole block is 0.
// Multi-byte fields are little endian unless said otherwise.
//
// The information block's payload: the firmware version word (2 bytes), then a
// NUL-terminated description; with L >= 104 and hardware type 8 a 2-byte
// sub-type at payload offset 102.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quenor {

// The loader's error object: a code (always 0) and a text of up to 199 characters.
struct TErr {
    TErr() = default;
    explicit TErr(std::string t) : text(std::move(t))
    {
        if (text.size() > 199)
            text.resize(199);
    }
    int code = 0;
    std::string text;
};

// CRC-16/XMODEM: polynomial 0x1021, initial 0, no reflection, no final XOR.
std::uint16_t Crc16(const std::uint8_t* data, std::size_t length);
// CRC-32 as in zlib (reflected 0x04C11DB7, initial and final XOR 0xFFFFFFFF).
// The loader sends its complement.
std::uint32_t Crc32(const std::uint8_t* data, std::size_t length);

// The first flash block of a load for a variant-1 loader of revision 21 or
// later, patched in place: bytes 16..107 rotate so that their last 24 come
// first (the vector table moves down by 24 bytes), the big-endian word at
// bytes 130-131 grows by 2, and the last two bytes get the CRC-16 of the rest,
// big endian. The block must hold at least 132 bytes (checked when a file is
// loaded); a shorter one is left alone and false returned.
bool PatchFirstBlockForNewLoader(std::vector<std::uint8_t>& payload);

enum BlockType : int {
    kBlockInfo = 1,
    kBlockData = 2,
    kBlockErase = 3,
    kBlockVerify = 4,
    kBlockNotes = 5,
};

struct FirmwareBlock {
    int type = 0;
    std::uint32_t argument = 0;  // flash address of data and verify blocks
    std::vector<std::uint8_t> payload;
};

// Everything a firmware file says.
struct FirmwareFile {
    std::vector<FirmwareBlock> blocks;  // file order
    bool hasInfo = false;
    int variant = 0;        // loader variant, from the information block
    int hardware = 0;       // hardware type, from the information block
    std::uint16_t version = 0;
    int subType = 0;
    std::string description;  // 8-bit text
    bool hasReleaseNotes = false;
    std::string releaseNotes;  // of the last type-5 block
    int dataBlocks = 0;
    int verifyBlocks = 0;
};

// Reads a file's bytes. Every block must pass its CRC and fit inside the data;
// an information block needs its version word and an erase block its block
// number. Anything else throws TErr "CRC Error in file". variant and hardware
// start from the given values (the loader's own, kept when there is no
// information block).
FirmwareFile ParseFirmwareFile(const std::vector<std::uint8_t>& bytes, int variant = 0, int hardware = 0);

// Throws TErr when a block cannot be sent as it stands by the file's variant:
// a length or address that the write header cannot carry, or a variant-1 first
// block at address 0 too short for the patch. Checked before anything is erased.
void CheckBlocksForVariant(const FirmwareFile& file);

// The largest firmware file read: a bootloader takes at most 16 MiB of flash
// (24-bit addresses; variant 1 only 64 KiB, with as much verify data), sent in
// blocks of up to 64 KiB with 14 bytes of frame each, beside erase orders, an
// information block and release notes. Twice the flash leaves room for all of
// them; anything larger is no firmware file.
inline constexpr std::size_t kFirmwareFileMaxBytes = 32u << 20;

// Reads and checks a file: "Error reading the file" when it cannot be read
// (also when it is no regular file, or larger than kFirmwareFileMaxBytes),
// then ParseFirmwareFile, "No information block in file" when the file has
// none (an empty file included: it names no variant or hardware of its own),
// and CheckBlocksForVariant.
FirmwareFile LoadFirmwareFile(const std::string& fileName);

// True when a flash data block carries at least one byte for the flash:
// variants 1 and 2 write a block's whole payload, the others all of it but its
// last two bytes (the CRC-16 of the rest).
bool HasFlashData(const FirmwareFile& file);

// The information block's text, " Version " and the formatted version word;
// "No description" without an information block.
std::string FirmwareDescription(const FirmwareFile& file);

// The hardware name of the dialog's list.
std::string HardwareName(int hardware, std::uint16_t version);

}  // namespace quenor
