#include "update/firmwarefile.h"

#include "app/motorinfo.h"
#include "platform/regularfile.h"

#include <array>
#include <cstring>

namespace quenor {

namespace {

constexpr std::size_t kHeaderSize = 12;
constexpr std::size_t kCrcSize = 2;

std::array<std::uint16_t, 256> BuildCrc16Table()
{
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        std::uint16_t crc = static_cast<std::uint16_t>(i << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
        table[i] = crc;
    }
    return table;
}

std::uint32_t Reflect(std::uint32_t value, int bits)
{
    std::uint32_t out = 0;
    for (int i = 0; i < bits; ++i)
        if (value & (1u << i))
            out |= 1u << (bits - 1 - i);
    return out;
}

// Each index reflected, shifted through the polynomial eight times, reflected back.
std::array<std::uint32_t, 256> BuildCrc32Table()
{
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t crc = Reflect(i, 8) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
        table[i] = Reflect(crc, 32);
    }
    return table;
}

std::uint32_t Le32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint16_t Le16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

[[noreturn]] void CrcError()
{
    throw TErr("CRC Error in file");
}

}  // namespace

std::uint16_t Crc16(const std::uint8_t* data, std::size_t length)
{
    static const std::array<std::uint16_t, 256> table = BuildCrc16Table();
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < length; ++i)
        crc = static_cast<std::uint16_t>(table[((crc >> 8) ^ data[i]) & 0xFF] ^ (crc << 8));
    return crc;
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t length)
{
    static const std::array<std::uint32_t, 256> table = BuildCrc32Table();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < length; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

bool PatchFirstBlockForNewLoader(std::vector<std::uint8_t>& payload)
{
    if (payload.size() < 132)
        return false;
    std::uint8_t copy[128];
    std::memcpy(copy, payload.data(), sizeof copy);
    std::memcpy(payload.data() + 16, copy + 84, 24);  // 16..39 := 84..107
    std::memcpy(payload.data() + 40, copy + 16, 68);  // 40..107 := 16..83
    const std::uint16_t word = static_cast<std::uint16_t>((payload[130] << 8 | payload[131]) + 2);
    payload[130] = static_cast<std::uint8_t>(word >> 8);
    payload[131] = static_cast<std::uint8_t>(word);
    const std::size_t n = payload.size() - 2;
    const std::uint16_t crc = Crc16(payload.data(), n);
    payload[n] = static_cast<std::uint8_t>(crc >> 8);
    payload[n + 1] = static_cast<std::uint8_t>(crc);
    return true;
}

FirmwareFile ParseFirmwareFile(const std::vector<std::uint8_t>& bytes, int variant, int hardware)
{
    FirmwareFile file;
    file.variant = variant;
    file.hardware = hardware;
    const std::uint64_t size = bytes.size();
    std::uint64_t pos = 0;
    while (pos < size) {
        if (size - pos < kHeaderSize + kCrcSize)
            CrcError();  // a tail shorter than a block header
        const std::uint8_t* block = bytes.data() + pos;
        const std::uint64_t length = Le32(block + 4);
        const std::uint64_t total = kHeaderSize + length + kCrcSize;  // 64 bits: no wrap
        if (total > size - pos)
            CrcError();  // the length runs past the end
        if (Crc16(block, static_cast<std::size_t>(total)) != 0)
            CrcError();
        FirmwareBlock b;
        b.type = Le16(block + 2);
        b.argument = Le32(block + 8);
        b.payload.assign(block + kHeaderSize, block + kHeaderSize + length);
        switch (b.type) {
        case kBlockInfo: {
            if (length < 2)
                CrcError();
            file.hasInfo = true;
            file.variant = Le16(block + 8);
            file.hardware = Le16(block + 10);
            file.version = Le16(b.payload.data());
            const auto textBegin = b.payload.begin() + 2;
            auto textEnd = textBegin;
            while (textEnd != b.payload.end() && *textEnd != 0)
                ++textEnd;
            file.description.assign(textBegin, textEnd);
            file.subType = 0;
            if (length >= 104 && file.hardware == 8)
                file.subType = Le16(b.payload.data() + 102);
            break;
        }
        case kBlockData:
            ++file.dataBlocks;
            break;
        case kBlockErase:
            if (length < 1)
                CrcError();
            break;
        case kBlockVerify:
            ++file.verifyBlocks;
            break;
        case kBlockNotes:
            file.hasReleaseNotes = true;
            file.releaseNotes.assign(b.payload.begin(), b.payload.end());
            break;
        default:
            break;
        }
        file.blocks.push_back(std::move(b));
        pos += total;
    }
    return file;
}

void CheckBlocksForVariant(const FirmwareFile& file)
{
    const int v = file.variant;
    if (v < 0 || v > 5)
        throw TErr("Unknown bootloader variant " + std::to_string(v));
    const std::uint64_t addressLimit = v == 1 ? (1u << 16) : (1u << 24);
    bool firstAtZero = true;
    for (const FirmwareBlock& b : file.blocks) {
        const std::uint64_t length = b.payload.size();
        if (b.type == kBlockData) {
            const bool fits = (v == 1 || v == 2) ? length <= 65535 : length >= 2 && length <= 65537;
            if (!fits || b.argument >= addressLimit)
                throw TErr("Flash block at address " + std::to_string(b.argument) + " with length " +
                           std::to_string(length) + " cannot be sent to this bootloader");
            if (v == 1 && b.argument == 0 && firstAtZero) {
                firstAtZero = false;
                if (length < 132)
                    throw TErr("First flash block too short for the bootloader");
            }
        } else if (b.type == kBlockVerify && v == 1) {
            if (length > 65535 || b.argument >= addressLimit)
                throw TErr("Verify block at address " + std::to_string(b.argument) + " with length " +
                           std::to_string(length) + " cannot be sent to this bootloader");
        }
    }
}

FirmwareFile LoadFirmwareFile(const std::string& fileName)
{
    const std::optional<std::string> text = ReadWholeFile(fileName, kFirmwareFileMaxBytes);
    if (!text)
        throw TErr("Error reading the file");
    FirmwareFile file = ParseFirmwareFile(std::vector<std::uint8_t>(text->begin(), text->end()));
    if (!file.hasInfo)
        throw TErr("No information block in file");
    CheckBlocksForVariant(file);
    return file;
}

bool HasFlashData(const FirmwareFile& file)
{
    const std::size_t crc = file.variant == 1 || file.variant == 2 ? 0 : kCrcSize;
    for (const FirmwareBlock& b : file.blocks)
        if (b.type == kBlockData && b.payload.size() > crc)
            return true;
    return false;
}

std::string FirmwareDescription(const FirmwareFile& file)
{
    if (!file.hasInfo)
        return "No description";
    return file.description + " Version " + FormatVersion(SVersion(file.version));
}

std::string HardwareName(int hardware, std::uint16_t version)
{
    switch (hardware) {
    case 0:
        return (version >> 14) == 2 ? "VekEF" : "VekAD";
    case 1:
    case 4:
        return "VekMR";
    case 2:
        return "VekMP";
    case 3:
        return "VekMC";
    case 5:
        return "VekMD";
    case 6:
        return "VekMS";
    case 7:
        return "Yel";
    case 8:
        return "Qor";
    default:
        return "Unknown";
    }
}

}  // namespace quenor
