// The program source stream: how a program is written to and read from the
// setup file, the source block of the download image and the debug file.
//
//   u16 version (low byte first), flags byte, then either
//   - binary-only body: u16 code size n, n code bytes, or
//   - line body: last line number L (u16; u8 before version 0x13), then for
//     every line 0..L its command ID and that command's parameters, which are
//     the parameter cells in cell order (tagged values as they stand).

#include "program/graphicprogram.h"

#include "program/bytestream.h"
#include "program/vizuoutput.h"
#include "program/vizuvalue.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace quenor {

namespace {

// First version with a two-byte last line number.
constexpr std::uint16_t kWideLastLineVersion = 0x13;
// A binary command keeps its count in cell 0, so at most 49 bytes follow.
constexpr std::size_t kMaxBinaryBytes = kCommandCells - 1;
constexpr std::size_t kMaxRemarkBytes = 255;

constexpr const char* kMsgIncompatible = "Incompatible file format!";
constexpr const char* kMsgDamaged = "Error reading program: the program data is truncated or damaged!";

std::uint8_t TypeBits(std::uint8_t type)
{
    switch (type) {
    case kProgramEndlessRelative: return 1;
    case kProgramBinaryOnly: return 2;
    default: return 0;  // absolute and relative; a new program is written the same way
    }
}

std::uint8_t FlagsByte(std::uint8_t type, const ProgramSetupOptions& o)
{
    return static_cast<std::uint8_t>(TypeBits(type) + (o.inputFilter & 1) * 4 + (o.skipInitialization & 1) * 8 +
                                     (o.transferSetting & 3) * 16 + (o.inPositionOutput & 1) * 64 +
                                     (o.errorOutput & 1) * 128);
}

ProgramSetupOptions OptionsFromFlags(std::uint8_t flags)
{
    ProgramSetupOptions o;
    o.inputFilter = (flags >> 2) & 1;
    o.skipInitialization = (flags >> 3) & 1;
    o.transferSetting = (flags >> 4) & 3;
    o.inPositionOutput = (flags >> 6) & 1;
    o.errorOutput = (flags >> 7) & 1;
    return o;
}

// --- Writing: cells to stream -------------------------------------------------

class CellsToStream {
public:
    CellsToStream(const std::vector<std::uint8_t>& cells, ByteStream& stream) : cursor_(cells), stream_(stream) {}

    std::uint8_t Byte()
    {
        const std::uint8_t b = cursor_.GetByte();
        stream_.WriteU8(b);
        return b;
    }
    void Bytes(std::size_t count)
    {
        for (std::size_t i = 0; i < count; ++i)
            Byte();
    }
    // The tag and its operand, exactly as they stand.
    void Tagged()
    {
        const std::uint8_t tag = Byte();
        Bytes(TaggedValueSize(tag) - 1);
    }
    void InputCondition()
    {
        const std::uint8_t first = Byte();
        Bytes((first & 1) ? 3 : 1);
    }
    void Output()
    {
        const std::uint8_t kind = Byte();
        if (kind == 0) {
            const std::uint8_t b = Byte();
            const std::uint8_t mode = (b >> 3) & 3;
            if (mode == kOutputLowPulse || mode == kOutputHighPulse)
                Tagged();
        } else if (kind == 1) {
            Bytes(2);
        }
    }
    // The count and at most 49 bytes: the cells hold no more after the count.
    void Binary()
    {
        std::size_t n = cursor_.pos < cursor_.cells.size() ? cursor_.cells[cursor_.pos] : 0;
        if (n > kMaxBinaryBytes)
            n = kMaxBinaryBytes;
        stream_.WriteU8(static_cast<std::uint8_t>(n));
        CellReader cursor(cursor_.cells, cursor_.pos + 1);
        for (std::size_t i = 0; i < n; ++i)
            stream_.WriteU8(cursor.GetByte());
    }

private:
    CellReader cursor_;
    ByteStream& stream_;
};

// The parameters of each command in stream order; the walker copies them
// (cells to stream when saving, stream to cells when loading).
template <class Walker>
void WalkParameters(std::uint8_t id, Walker& w)
{
    switch (id) {
    case kCmdNoOperation: break;
    case kCmdJump: w.Bytes(2); break;
    case kCmdConditionalJump:
        w.Bytes(2);
        w.InputCondition();
        break;
    case kCmdMove: {
        const std::uint8_t flags = w.Byte();
        w.Tagged();
        w.Tagged();
        w.Tagged();
        switch (flags & 7) {
        case 1:
            w.Tagged();
            w.Tagged();
            break;
        case 2: w.Output(); break;
        case 4:
            w.Tagged();
            w.InputCondition();
            break;
        default: break;
        }
        break;
    }
    case kCmdSetPosition:
        w.Byte();
        w.Tagged();
        break;
    case kCmdSavePosition: w.Byte(); break;
    case kCmdSetOutputs: w.Output(); break;
    case kCmdZeroSearch: w.Byte(); break;
    case kCmdWait: w.Tagged(); break;
    case kCmdSetRegister:
        w.Byte();
        w.Tagged();
        break;
    case kCmdRegisterJump:
        w.Bytes(4);
        w.Tagged();
        break;
    case kCmdSetMode: w.Byte(); break;
    case kCmdWaitInputs: w.InputCondition(); break;
    case kCmdWaitRegister:
        w.Bytes(2);
        w.Tagged();
        break;
    case kCmdFastCommand: w.Tagged(); break;
    case kCmdBinary: w.Binary(); break;
    default: break;
    }
}

void SaveParameters(std::uint8_t id, const std::vector<std::uint8_t>& cells, ByteStream& stream)
{
    CellsToStream out(cells, stream);
    WalkParameters(id, out);
}

// --- Reading: stream to cells -------------------------------------------------

// Copies parameters from the stream into a line's cells. Any fault (cells
// full, malformed command) is recorded; the stream's own overrun mark tells a
// stream that ended early.
class StreamToCells {
public:
    StreamToCells(ByteStream& stream, std::vector<std::uint8_t>& cells, std::uint16_t outputVersion)
        : stream_(stream), cursor_(cells), outputVersion_(outputVersion)
    {
    }

    bool Failed() const { return failed_; }

    std::uint8_t Byte()
    {
        const std::uint8_t b = stream_.ReadU8();
        Put(b);
        return b;
    }
    void Bytes(std::size_t count)
    {
        for (std::size_t i = 0; i < count && !failed_; ++i)
            Byte();
    }
    void Tagged()
    {
        const std::uint8_t tag = Byte();
        Bytes(TaggedValueSize(tag) - 1);
    }
    void InputCondition()
    {
        const std::uint8_t first = Byte();
        Bytes((first & 1) ? 3 : 1);
    }
    // Read in the layout of the stream's version, stored in the current one.
    void Output()
    {
        const std::uint8_t kind = Byte();
        if (kind == 0) {
            const std::uint8_t b = stream_.ReadU8();
            std::uint8_t number = 0;
            std::uint8_t mode = 0;
            if (outputVersion_ >= kOutputLayoutVersion) {
                number = b & 7;
                mode = (b >> 3) & 3;
            } else {
                number = b & 3;
                mode = (b >> 2) & 3;
            }
            Put(static_cast<std::uint8_t>(number + mode * 8));
            if (mode == kOutputLowPulse || mode == kOutputHighPulse)
                Tagged();
        } else if (kind == 1) {
            if (outputVersion_ >= kOutputLayoutVersion) {
                Bytes(2);
            } else {
                const std::uint8_t b = stream_.ReadU8();
                Put(b & 0x0F);
                Put(static_cast<std::uint8_t>(b >> 4));
            }
        }
    }
    void Binary()
    {
        const std::uint8_t n = Byte();
        if (n > kMaxBinaryBytes) {
            failed_ = true;
            return;
        }
        Bytes(n);
    }

private:
    void Put(std::uint8_t b)
    {
        if (!cursor_.PutByte(b))
            failed_ = true;
    }

    ByteStream& stream_;
    CellWriter cursor_;
    std::uint16_t outputVersion_;
    bool failed_ = false;
};

// False when the command is malformed (more bytes than its cells hold).
bool LoadParameters(std::uint8_t id, ByteStream& stream, std::vector<std::uint8_t>& cells, std::uint16_t outputVersion)
{
    StreamToCells in(stream, cells, outputVersion);
    WalkParameters(id, in);
    return !in.Failed();
}

std::string VersionMessage(std::uint16_t version)
{
    char text[200];
    std::snprintf(text, sizeof text,
                  "Incompatible file format (0x%4x)!\r\nOnly the binary program has been uploaded\r\n"
                  "Update Quenor to upload the source code of this program",
                  static_cast<unsigned>(version));
    return text;
}

ProgramLoadResult Failure(std::string message)
{
    ProgramLoadResult r;
    r.message = std::move(message);
    return r;
}

}  // namespace

bool CGraphicProgram::Save(ByteStream& stream, const ProgramSetupOptions& options, bool withoutRemarks,
                           std::string* message) const
{
    bool ok = true;
    stream.WriteU16LE(kProgramStreamVersion);
    stream.WriteU8(FlagsByte(type_, options));
    if (type_ == kProgramBinaryOnly) {
        const std::size_t n = binary_ ? binary_->size() : 0;  // at most 65535 (SetBinaryOnly)
        stream.WriteU16LE(static_cast<std::uint16_t>(n));
        if (binary_)
            stream.Write(*binary_);
        return true;
    }
    const std::uint16_t last = LastLineNumber();
    stream.WriteU16LE(last);
    auto node = lines_.begin();
    for (std::uint32_t line = 0; line <= last; ++line) {
        if (node == lines_.end() || node->line != line) {
            stream.WriteU8(kCmdNoOperation);
            continue;
        }
        const SProgramLine& l = *node++;
        std::uint8_t id = l.id;
        if (id == kCmdRemark && withoutRemarks)
            id = kCmdNoOperation;
        stream.WriteU8(id);
        if (id == kCmdRemark) {
            const std::size_t n = std::min(l.remark.size(), kMaxRemarkBytes);
            stream.WriteU8(static_cast<std::uint8_t>(n));
            stream.Write(l.remark.data(), n);
        } else if (FindCommandInfo(id)) {
            SaveParameters(id, l.cells, stream);
        } else {
            ok = false;
            if (message)
                *message = "Save Not implemented for CommandID: " + std::to_string(id);
        }
    }
    return ok;
}

ProgramLoadResult CGraphicProgram::Load(ByteStream& stream)
{
    stream.ClearOverrun();
    const std::uint16_t version = stream.ReadU16LE();
    if (stream.Overrun())
        return Failure(kMsgDamaged);
    if (version == 1)
        return Failure(kMsgIncompatible);
    if (version < kProgramStreamOldest || version > kProgramStreamNewest)
        return Failure(VersionMessage(version));
    const bool oldReader = version < kWideLastLineVersion;
    // The old reader always reads outputs in the oldest layout.
    const std::uint16_t outputVersion = oldReader ? kProgramStreamOldest : version;

    const std::uint8_t flags = stream.ReadU8();
    std::uint8_t type = type_;
    switch (flags & 3) {
    case 0: type = kProgramAbsoluteRelative; break;
    case 1: type = kProgramEndlessRelative; break;
    case 2: type = kProgramBinaryOnly; break;
    default:
        // Type bits 3 keep the present type; a binary-only type cannot hold
        // the line body that follows.
        if (type == kProgramBinaryOnly)
            type = kProgramAbsoluteRelative;
        break;
    }
    ProgramLoadResult result;
    result.options = OptionsFromFlags(flags);

    std::vector<SProgramLine> lines;
    std::optional<std::vector<std::uint8_t>> binary;
    if ((flags & 3) == 2) {
        const std::uint16_t n = stream.ReadU16LE();
        if (stream.Remaining() < n)
            return Failure(kMsgDamaged);
        binary.emplace(n);
        stream.Read(binary->data(), n);
    } else {
        const std::uint16_t last = oldReader ? stream.ReadU8() : stream.ReadU16LE();
        for (std::uint32_t line = 0; line <= last; ++line) {
            if (stream.Overrun())
                return Failure(kMsgDamaged);
            const std::uint8_t id = stream.ReadU8();
            SProgramLine node;
            node.line = static_cast<std::uint16_t>(line);
            node.id = id;
            if (id == kCmdRemark) {
                const std::uint8_t n = stream.ReadU8();
                if (stream.Remaining() < n)
                    return Failure(kMsgDamaged);
                node.remark.resize(n);
                stream.Read(node.remark.data(), n);
            } else if (!FindCommandInfo(id)) {
                // Without its layout the rest of the stream cannot be read.
                return Failure("Load Not implemented for CommandID: " + std::to_string(id));
            } else {
                node.cells = NewCommandData(id);
                if (!LoadParameters(id, stream, node.cells, outputVersion))
                    return Failure(kMsgDamaged);
            }
            lines.push_back(std::move(node));
        }
    }
    if (stream.Overrun())
        return Failure(kMsgDamaged);
    // A variable beyond the module's memory would be compiled into a store
    // over the system variables.
    if (std::string message = CheckPositionVariables(lines); !message.empty())
        return Failure(std::move(message));

    lines_ = std::move(lines);
    jumpLinesStale_ = true;
    type_ = type;
    binary_ = std::move(binary);
    result.ok = true;
    return result;
}

bool CGraphicProgram::SaveToFile(const std::string& path, const ProgramSetupOptions& options) const
{
    ByteStream stream;
    Save(stream, options, false);
    return stream.SaveToFile(path);
}

ProgramLoadResult CGraphicProgram::LoadFromFile(const std::string& path)
{
    ByteStream stream;
    if (!stream.LoadFromFile(path, kProgramStreamMaxBytes))
        return Failure("Cannot open file " + path);
    return Load(stream);
}

std::size_t CGraphicProgram::SaveToMemory(bool withoutRemarks) const
{
    ByteStream stream;
    Save(stream, ProgramSetupOptions{}, withoutRemarks);
    return stream.Size();
}

}  // namespace quenor
