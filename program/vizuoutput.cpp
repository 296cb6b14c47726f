#include "program/vizuoutput.h"

#include "program/bytestream.h"

#include <vector>

namespace quenor {

namespace {

std::uint8_t SingleByte(const SOutputElement& element)
{
    return static_cast<std::uint8_t>((element.number & 7) + (element.mode & 3) * 8);
}

}  // namespace

void LoadOutput(SOutputElement& element, std::uint16_t version, ByteStream& stream)
{
    element.kind = stream.ReadU8();
    if (element.kind == 0)
        LoadOutputSingle(element, version, stream);
    else if (element.kind == 1)
        LoadOutputPair(element, version, stream);
}

void LoadOutputSingle(SOutputElement& element, std::uint16_t version, ByteStream& stream)
{
    const std::uint8_t b = stream.ReadU8();
    if (version >= kOutputLayoutVersion) {
        element.number = b & 7;
        element.mode = (b >> 3) & 3;
    } else {
        element.number = b & 3;
        element.mode = (b >> 2) & 3;
    }
    if (element.HasPulse())
        LoadValue(element.pulse, stream);
}

void LoadOutputPair(SOutputElement& element, std::uint16_t version, ByteStream& stream)
{
    if (version >= kOutputLayoutVersion) {
        element.levels = stream.ReadU8();
        element.mask = stream.ReadU8();
    } else {
        const std::uint8_t b = stream.ReadU8();
        element.levels = b & 0x0F;
        element.mask = b >> 4;
    }
}

void SaveOutput(const SOutputElement& element, ByteStream& stream)
{
    stream.WriteU8(element.kind);
    if (element.kind == 0)
        SaveOutputSingle(element, stream);
    else if (element.kind == 1)
        SaveOutputPair(element, stream);
}

void SaveOutputSingle(const SOutputElement& element, ByteStream& stream)
{
    stream.WriteU8(SingleByte(element));
    if (element.HasPulse())
        SaveValue(element.pulse, stream);
}

void SaveOutputPair(const SOutputElement& element, ByteStream& stream)
{
    stream.WriteU8(element.levels);
    stream.WriteU8(element.mask);
}

SOutputElement GetOutput(CellReader& cursor)
{
    SOutputElement element;
    element.kind = cursor.GetByte();
    if (element.kind == 0) {
        const std::uint8_t b = cursor.GetByte();
        element.number = b & 7;
        element.mode = (b >> 3) & 3;
        if (element.HasPulse())
            element.pulse.value = GetTaggedValue(cursor, element.pulse.flags);
    } else if (element.kind == 1) {
        element.levels = cursor.GetByte();
        element.mask = cursor.GetByte();
    }
    return element;
}

bool PutOutput(CellWriter& cursor, const SOutputElement& element)
{
    ByteStream bytes;
    SaveOutput(element, bytes);
    return cursor.PutBytes(bytes.Bytes());
}

}  // namespace quenor
