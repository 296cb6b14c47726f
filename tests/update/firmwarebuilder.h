#pragma once
// Firmware block files built in memory, for the tests.

#include "update/firmwarefile.h"

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace quenor::updatetest {

using Bytes = std::vector<std::uint8_t>;

inline void PutLE(Bytes& out, std::uint32_t v, int width)
{
    for (int i = 0; i < width; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// One block: header, payload and its CRC-16, big endian.
inline Bytes Block(int type, std::uint32_t argument, const Bytes& payload)
{
    Bytes b;
    PutLE(b, 0, 2);
    PutLE(b, static_cast<std::uint32_t>(type), 2);
    PutLE(b, static_cast<std::uint32_t>(payload.size()), 4);
    PutLE(b, argument, 4);
    b.insert(b.end(), payload.begin(), payload.end());
    const std::uint16_t crc = Crc16(b.data(), b.size());
    b.push_back(static_cast<std::uint8_t>(crc >> 8));
    b.push_back(static_cast<std::uint8_t>(crc));
    return b;
}

inline Bytes InfoBlock(int variant, int hardware, std::uint16_t version, const std::string& text, int length = -1,
                       int subType = 0)
{
    Bytes p;
    PutLE(p, version, 2);
    p.insert(p.end(), text.begin(), text.end());
    p.push_back(0);
    if (length >= 0)
        p.resize(static_cast<std::size_t>(length), 0);
    if (p.size() >= 104) {
        p[102] = static_cast<std::uint8_t>(subType);
        p[103] = static_cast<std::uint8_t>(subType >> 8);
    }
    return Block(kBlockInfo, static_cast<std::uint32_t>(variant) | static_cast<std::uint32_t>(hardware) << 16, p);
}

// Flash data of n bytes whose last two bytes are the CRC-16 of the rest.
inline Bytes FlashData(std::size_t n, unsigned seed)
{
    Bytes p(n);
    for (std::size_t i = 0; i < n; ++i)
        p[i] = static_cast<std::uint8_t>(i * 31 + seed * 7 + (i >> 5));
    if (n >= 2) {
        const std::uint16_t crc = Crc16(p.data(), n - 2);
        p[n - 2] = static_cast<std::uint8_t>(crc >> 8);
        p[n - 1] = static_cast<std::uint8_t>(crc);
    }
    return p;
}

inline void Append(Bytes& file, const Bytes& block)
{
    file.insert(file.end(), block.begin(), block.end());
}

inline void WriteFile(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A file for a variant and hardware with `erase` erase blocks and data blocks
// of these sizes at 0, 0x1000, 0x2000, ...; verify blocks repeat them when asked.
struct FileSpec {
    int variant = 0;
    int hardware = 0;
    std::uint16_t version = 0x0061;
    std::string text = "Test firmware";
    int erase = 2;
    std::vector<std::size_t> sizes{300, 300, 300};
    bool verify = false;
};

inline Bytes BuildFile(const FileSpec& s, std::vector<std::pair<std::uint32_t, Bytes>>* data = nullptr)
{
    Bytes f;
    Append(f, InfoBlock(s.variant, s.hardware, s.version, s.text));
    for (int i = 0; i < s.erase; ++i)
        Append(f, Block(kBlockErase, 0, Bytes{static_cast<std::uint8_t>(i)}));
    std::vector<std::pair<std::uint32_t, Bytes>> blocks;
    for (std::size_t i = 0; i < s.sizes.size(); ++i)
        blocks.emplace_back(static_cast<std::uint32_t>(i * 0x1000), FlashData(s.sizes[i], static_cast<unsigned>(i)));
    for (const auto& [a, p] : blocks)
        Append(f, Block(kBlockData, a, p));
    if (s.verify)
        for (const auto& [a, p] : blocks)
            Append(f, Block(kBlockVerify, a, p));
    if (data)
        *data = blocks;
    return f;
}

}  // namespace quenor::updatetest
