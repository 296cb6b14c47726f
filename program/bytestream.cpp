#include "program/bytestream.h"

#include "platform/regularfile.h"
#include "platform/savefile.h"

#include <algorithm>
#include <cstring>

namespace quenor {

std::vector<std::uint8_t> ByteStream::TakeBytes()
{
    std::vector<std::uint8_t> out = std::move(data_);
    Clear();
    return out;
}

void ByteStream::Clear()
{
    data_.clear();
    pos_ = 0;
    overrun_ = false;
}

std::size_t ByteStream::Read(void* dst, std::size_t count)
{
    const std::size_t avail = std::min(count, Remaining());
    auto* out = static_cast<std::uint8_t*>(dst);
    if (avail > 0)
        std::memcpy(out, data_.data() + pos_, avail);
    if (avail < count) {
        std::memset(out + avail, 0, count - avail);
        overrun_ = true;
    }
    pos_ += avail;
    return avail;
}

void ByteStream::Write(const void* src, std::size_t count)
{
    if (count == 0)
        return;
    if (pos_ + count > data_.size())
        data_.resize(pos_ + count);
    std::memcpy(data_.data() + pos_, src, count);
    pos_ += count;
}

std::uint8_t ByteStream::ReadU8()
{
    std::uint8_t b = 0;
    Read(&b, 1);
    return b;
}

std::uint16_t ByteStream::ReadU16LE()
{
    std::uint8_t b[2];
    Read(b, 2);
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

std::uint32_t ByteStream::ReadU32LE()
{
    std::uint8_t b[4];
    Read(b, 4);
    return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
           (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

void ByteStream::WriteU8(std::uint8_t value)
{
    Write(&value, 1);
}

void ByteStream::WriteU16LE(std::uint16_t value)
{
    const std::uint8_t b[2] = {static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8)};
    Write(b, 2);
}

void ByteStream::WriteU32LE(std::uint32_t value)
{
    const std::uint8_t b[4] = {static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>((value >> 8) & 0xFF),
                               static_cast<std::uint8_t>((value >> 16) & 0xFF),
                               static_cast<std::uint8_t>(value >> 24)};
    Write(b, 4);
}

bool ByteStream::SaveToFile(const std::string& path) const
{
    return WriteRegularFile(
        path, std::string_view(reinterpret_cast<const char*>(data_.data()), data_.size()));
}

bool ByteStream::LoadFromFile(const std::string& path, std::size_t limit)
{
    const std::optional<std::string> text = ReadWholeFile(path, limit);
    if (!text)
        return false;
    data_.assign(text->begin(), text->end());
    pos_ = 0;
    overrun_ = false;
    return true;
}

std::uint16_t Sum16(std::span<const std::uint8_t> bytes)
{
    unsigned sum = 0;
    for (std::uint8_t b : bytes)
        sum += b;
    return static_cast<std::uint16_t>(sum & 0xFFFF);
}

}  // namespace quenor
