#pragma once
// Tagged values: every number a motion-program command carries is a tag byte
// (bits 4-7 flags, bits 0-3 encoding) followed by the operand, most significant
// byte first. The same bytes stand in a command's parameter cells and in the
// program source stream.
//
//   encoding 0 int8, 1 int16, 2 int32, 3 float32, 4 float64; 5-15 undefined
//   (tag only, reads as 0).
//
// The flags hold the index of the display unit chosen for the value within its
// register's unit group (0 when none).

#include <cstddef>
#include <cstdint>
#include <span>

namespace quenor {

class ByteStream;

enum TaggedEncoding : std::uint8_t {
    kTaggedInt8 = 0,
    kTaggedInt16 = 1,
    kTaggedInt32 = 2,
    kTaggedFloat = 3,
    kTaggedDouble = 4,
};

// Longest tagged value in bytes (tag + double).
constexpr std::size_t kMaxTaggedValueSize = 9;

// Bytes taken by a tagged value with this tag, the tag included: 2, 3, 5, 5, 9,
// or 1 for an undefined encoding.
std::size_t TaggedValueSize(std::uint8_t tag);

// The narrowest encoding that holds the value exactly. NaN, infinities and
// values outside the 64-bit integer range skip the integer encodings.
TaggedEncoding NarrowestEncoding(double value);

// Writes the tagged value in its narrowest exact encoding to out and returns
// the number of bytes (2 to 9).
std::size_t EncodeTaggedValue(std::uint8_t flags, double value, std::uint8_t (&out)[kMaxTaggedValueSize]);

// Reads a tagged value from bytes (missing bytes read as 0). Returns the value;
// flags and size (bytes consumed, per the tag) when asked for.
double DecodeTaggedValue(std::span<const std::uint8_t> bytes, std::uint8_t* flags = nullptr,
                         std::size_t* size = nullptr);

// --- Cell side -------------------------------------------------------------
// A cursor is a position in a command's parameter cells. Reading or writing a
// tagged value moves it past the tag and the operand bytes.

struct CellReader {
    CellReader(std::span<const std::uint8_t> c, std::size_t p = 0) : cells(c), pos(p) {}
    std::span<const std::uint8_t> cells;
    std::size_t pos = 0;
    // Set when a read went past the last cell (the missing bytes read as 0).
    bool overrun = false;

    // One cell; 0 past the end (and overrun set). The cursor always moves on.
    std::uint8_t GetByte();
};

struct CellWriter {
    CellWriter(std::span<std::uint8_t> c, std::size_t p = 0) : cells(c), pos(p) {}
    std::span<std::uint8_t> cells;
    std::size_t pos = 0;

    bool Fits(std::size_t count) const { return pos <= cells.size() && cells.size() - pos >= count; }
    // One cell; false (nothing written, cursor unchanged) when the cells are full.
    bool PutByte(std::uint8_t value);
    // Several cells at once, all or nothing.
    bool PutBytes(std::span<const std::uint8_t> bytes);
};

// The value as a double; the flags nibble into flags when given.
double GetTaggedValue(CellReader& cursor, std::uint8_t* flags = nullptr);
double GetTaggedValue(CellReader& cursor, std::uint8_t& flags);

// The writers return false and leave cells and cursor untouched when the value
// does not fit in the remaining cells. Flags above 15 are cut to their low nibble.
bool PutTaggedValue(CellWriter& cursor, std::uint8_t flags, double value);
bool PutTaggedInt8(CellWriter& cursor, std::uint8_t flags, std::int8_t value);
bool PutTaggedInt16(CellWriter& cursor, std::uint8_t flags, std::int16_t value);
bool PutTaggedInt32(CellWriter& cursor, std::uint8_t flags, std::int32_t value);
bool PutTaggedFloat(CellWriter& cursor, std::uint8_t flags, float value);

// --- Stream side -----------------------------------------------------------

struct SValue {
    double value = 0.0;
    std::uint8_t flags = 0;
};

// Reads one tagged value. A stream that ends early leaves the stream overrun.
void LoadValue(SValue& record, ByteStream& stream);
// Writes the value in its narrowest exact encoding.
void SaveValue(const SValue& record, ByteStream& stream);

}  // namespace quenor
