#include "program/vizuvalue.h"

#include "program/bytestream.h"

#include <bit>
#include <cfloat>
#include <cmath>

namespace quenor {

namespace {

// 2^63: the first double above the 64-bit integer range.
constexpr double kTwoPow63 = 9223372036854775808.0;

std::size_t OperandSize(std::uint8_t encoding)
{
    switch (encoding) {
    case kTaggedInt8: return 1;
    case kTaggedInt16: return 2;
    case kTaggedInt32: return 4;
    case kTaggedFloat: return 4;
    case kTaggedDouble: return 8;
    default: return 0;
    }
}

std::uint8_t Tag(std::uint8_t flags, std::uint8_t encoding)
{
    return static_cast<std::uint8_t>(((flags & 0x0F) << 4) | encoding);
}

// Operand bits, most significant byte first.
void PutBigEndian(std::uint64_t bits, std::size_t count, std::uint8_t* out)
{
    for (std::size_t i = 0; i < count; ++i)
        out[i] = static_cast<std::uint8_t>(bits >> (8 * (count - 1 - i)));
}

std::size_t EncodeFixed(std::uint8_t flags, TaggedEncoding encoding, std::uint64_t bits,
                        std::uint8_t (&out)[kMaxTaggedValueSize])
{
    out[0] = Tag(flags, encoding);
    const std::size_t n = OperandSize(encoding);
    PutBigEndian(bits, n, out + 1);
    return n + 1;
}

std::uint64_t OperandBits(TaggedEncoding encoding, double value)
{
    switch (encoding) {
    case kTaggedInt8:
    case kTaggedInt16:
    case kTaggedInt32:
        // Only chosen for values that the integer holds exactly.
        return static_cast<std::uint64_t>(static_cast<std::int64_t>(value));
    case kTaggedFloat: return std::bit_cast<std::uint32_t>(static_cast<float>(value));
    case kTaggedDouble: return std::bit_cast<std::uint64_t>(value);
    }
    return 0;
}

bool PutFixed(CellWriter& cursor, std::uint8_t flags, TaggedEncoding encoding, std::uint64_t bits)
{
    std::uint8_t buf[kMaxTaggedValueSize];
    const std::size_t n = EncodeFixed(flags, encoding, bits, buf);
    return cursor.PutBytes(std::span<const std::uint8_t>(buf, n));
}

}  // namespace

std::size_t TaggedValueSize(std::uint8_t tag)
{
    return 1 + OperandSize(tag & 0x0F);
}

TaggedEncoding NarrowestEncoding(double value)
{
    if (std::isfinite(value) && value >= -kTwoPow63 && value < kTwoPow63) {
        const auto t = static_cast<std::int64_t>(value);  // toward zero
        // The narrowing keeps the low bits: 200 fails the 8-bit test.
        if (static_cast<double>(static_cast<std::int8_t>(t)) == value)
            return kTaggedInt8;
        if (static_cast<double>(static_cast<std::int16_t>(t)) == value)
            return kTaggedInt16;
        if (static_cast<double>(static_cast<std::int32_t>(t)) == value)
            return kTaggedInt32;
    }
    // A finite double beyond the float range has no float form.
    if (std::isinf(value) || (std::isfinite(value) && std::fabs(value) <= FLT_MAX)) {
        if (static_cast<double>(static_cast<float>(value)) == value)
            return kTaggedFloat;
    }
    return kTaggedDouble;
}

std::size_t EncodeTaggedValue(std::uint8_t flags, double value, std::uint8_t (&out)[kMaxTaggedValueSize])
{
    const TaggedEncoding encoding = NarrowestEncoding(value);
    return EncodeFixed(flags, encoding, OperandBits(encoding, value), out);
}

double DecodeTaggedValue(std::span<const std::uint8_t> bytes, std::uint8_t* flags, std::size_t* size)
{
    const std::uint8_t tag = bytes.empty() ? 0 : bytes[0];
    const std::uint8_t encoding = tag & 0x0F;
    const std::size_t n = OperandSize(encoding);
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < n; ++i)
        bits = (bits << 8) | (i + 1 < bytes.size() ? bytes[i + 1] : 0);
    if (flags)
        *flags = static_cast<std::uint8_t>(tag >> 4);
    if (size)
        *size = n + 1;
    switch (encoding) {
    case kTaggedInt8: return static_cast<std::int8_t>(static_cast<std::uint8_t>(bits));
    case kTaggedInt16: return static_cast<std::int16_t>(static_cast<std::uint16_t>(bits));
    case kTaggedInt32: return static_cast<std::int32_t>(static_cast<std::uint32_t>(bits));
    case kTaggedFloat: return std::bit_cast<float>(static_cast<std::uint32_t>(bits));
    case kTaggedDouble: return std::bit_cast<double>(bits);
    default: return 0.0;
    }
}

std::uint8_t CellReader::GetByte()
{
    if (pos < cells.size())
        return cells[pos++];
    ++pos;
    overrun = true;
    return 0;
}

bool CellWriter::PutByte(std::uint8_t value)
{
    if (!Fits(1))
        return false;
    cells[pos++] = value;
    return true;
}

bool CellWriter::PutBytes(std::span<const std::uint8_t> bytes)
{
    if (!Fits(bytes.size()))
        return false;
    for (std::uint8_t b : bytes)
        cells[pos++] = b;
    return true;
}

double GetTaggedValue(CellReader& cursor, std::uint8_t* flags)
{
    std::uint8_t buf[kMaxTaggedValueSize] = {};
    buf[0] = cursor.GetByte();
    const std::size_t n = TaggedValueSize(buf[0]);
    for (std::size_t i = 1; i < n; ++i)
        buf[i] = cursor.GetByte();
    return DecodeTaggedValue(std::span<const std::uint8_t>(buf, n), flags);
}

double GetTaggedValue(CellReader& cursor, std::uint8_t& flags)
{
    return GetTaggedValue(cursor, &flags);
}

bool PutTaggedValue(CellWriter& cursor, std::uint8_t flags, double value)
{
    const TaggedEncoding encoding = NarrowestEncoding(value);
    switch (encoding) {
    case kTaggedInt8: return PutTaggedInt8(cursor, flags, static_cast<std::int8_t>(value));
    case kTaggedInt16: return PutTaggedInt16(cursor, flags, static_cast<std::int16_t>(value));
    case kTaggedInt32: return PutTaggedInt32(cursor, flags, static_cast<std::int32_t>(value));
    case kTaggedFloat: return PutTaggedFloat(cursor, flags, static_cast<float>(value));
    case kTaggedDouble: return PutFixed(cursor, flags, kTaggedDouble, std::bit_cast<std::uint64_t>(value));
    }
    return false;
}

bool PutTaggedInt8(CellWriter& cursor, std::uint8_t flags, std::int8_t value)
{
    return PutFixed(cursor, flags, kTaggedInt8, static_cast<std::uint8_t>(value));
}

bool PutTaggedInt16(CellWriter& cursor, std::uint8_t flags, std::int16_t value)
{
    return PutFixed(cursor, flags, kTaggedInt16, static_cast<std::uint16_t>(value));
}

bool PutTaggedInt32(CellWriter& cursor, std::uint8_t flags, std::int32_t value)
{
    return PutFixed(cursor, flags, kTaggedInt32, static_cast<std::uint32_t>(value));
}

bool PutTaggedFloat(CellWriter& cursor, std::uint8_t flags, float value)
{
    return PutFixed(cursor, flags, kTaggedFloat, std::bit_cast<std::uint32_t>(value));
}

void LoadValue(SValue& record, ByteStream& stream)
{
    std::uint8_t buf[kMaxTaggedValueSize] = {};
    stream.Read(buf, 1);
    const std::size_t n = TaggedValueSize(buf[0]);
    stream.Read(buf + 1, n - 1);
    record.value = DecodeTaggedValue(std::span<const std::uint8_t>(buf, n), &record.flags);
}

void SaveValue(const SValue& record, ByteStream& stream)
{
    std::uint8_t buf[kMaxTaggedValueSize];
    const std::size_t n = EncodeTaggedValue(record.flags, record.value, buf);
    stream.Write(buf, n);
}

}  // namespace quenor
