#pragma once
// A growable byte buffer with a read/write position, used wherever the program
// editor reads or writes a binary stream (program source, download image,
// binary block). Writing at the position overwrites and extends; reading past
// the end yields zero bytes and marks the stream as overrun, so a truncated
// input is always detectable.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quenor {

class ByteStream {
public:
    ByteStream() = default;
    explicit ByteStream(std::vector<std::uint8_t> bytes) : data_(std::move(bytes)) {}
    ByteStream(const std::uint8_t* bytes, std::size_t count) : data_(bytes, bytes + count) {}

    std::size_t Size() const { return data_.size(); }
    std::size_t Position() const { return pos_; }
    // Positions beyond the end are allowed; a later write fills the gap with zeros.
    void SetPosition(std::size_t pos) { pos_ = pos; }
    std::size_t Remaining() const { return pos_ < data_.size() ? data_.size() - pos_ : 0; }
    bool AtEnd() const { return pos_ >= data_.size(); }

    const std::vector<std::uint8_t>& Bytes() const { return data_; }
    std::vector<std::uint8_t>& Bytes() { return data_; }
    std::vector<std::uint8_t> TakeBytes();
    void Clear();

    // Copies up to count bytes to dst and returns how many there were. The
    // bytes that were missing are set to zero in dst and the stream is marked
    // overrun.
    std::size_t Read(void* dst, std::size_t count);
    void Write(const void* src, std::size_t count);
    void Write(std::span<const std::uint8_t> bytes) { Write(bytes.data(), bytes.size()); }

    std::uint8_t ReadU8();
    std::uint16_t ReadU16LE();
    std::uint32_t ReadU32LE();
    void WriteU8(std::uint8_t value);
    void WriteU16LE(std::uint16_t value);
    void WriteU32LE(std::uint32_t value);

    // Set once any read came short; cleared by ClearOverrun().
    bool Overrun() const { return overrun_; }
    void ClearOverrun() { overrun_ = false; }

    // Writes the whole buffer to a file. False when the file cannot be written;
    // a named pipe that stands at the path is not waited for.
    bool SaveToFile(const std::string& path) const;
    // Replaces the buffer with the bytes of a regular file of at most limit
    // bytes, position 0. False (buffer unchanged) when the file cannot be read,
    // is no regular file or is larger.
    bool LoadFromFile(const std::string& path, std::size_t limit);

private:
    std::vector<std::uint8_t> data_;
    std::size_t pos_ = 0;
    bool overrun_ = false;
};

// 16-bit sum of the bytes, each taken unsigned, wrapping at 65536.
std::uint16_t Sum16(std::span<const std::uint8_t> bytes);

}  // namespace quenor
