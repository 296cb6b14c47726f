#include "program/vizuware.h"

#include "platform/datapaths.h"
#include "program/bytestream.h"
#include "program/vizuoutput.h"
#include "program/vizuvalue.h"

#include <cmath>
#include <initializer_list>
#include <iterator>
#include <cstdio>
#include <utility>
#include <limits>

namespace quenor {

namespace {

constexpr std::uint8_t kBlockParameter = 0xA3;
constexpr std::uint8_t kBlockCode = 0xA1;
constexpr std::uint8_t kBlockSource = 0xA2;
constexpr std::uint8_t kImageEnd = 0xAF;
constexpr std::size_t kMaxImageSize = 0xFFFF;
// A binary command keeps its count in cell 0.
constexpr std::size_t kMaxBinaryBytes = kCommandCells - 1;

constexpr std::uint8_t kRegRequestedPosition = 3;
constexpr std::uint8_t kRegVelocity = 5;
constexpr std::uint8_t kRegAcceleration = 6;
constexpr std::uint8_t kVarInputFilter = 3;
constexpr std::uint8_t kVarDedicatedOutputs = 6;
constexpr std::uint8_t kFastAbsoluteRelative = 117;
constexpr std::uint8_t kWaitTimer = 1;

constexpr std::uint8_t kComparisonOperator[6] = {kOpEqual, kOpLess, kOpGreater, kOpLessEqual, kOpGreaterEqual,
                                                 kOpNotEqual};
constexpr std::int32_t kOperationModes[7] = {0, 1, 2, 5, 16, 17, 21};

constexpr const char* kMsgNotSavedReplace = "The VekMRP program has not been saved\r\nReplace with program from file?";
constexpr const char* kMsgNotSavedUpload = "The VekMRP program has not been saved\r\nUpload anyway?";
constexpr const char* kMsgStepperEndless =
    "This program is in Endless Relative mode\r\nThis mode is not valid for Qor\r\n\r\n"
    "It can only be transfered in Abs/Rel mode.\r\nDo you wish to proceed?";
constexpr const char* kMsgTooBigRemarks =
    "The program is too big to be transferred with source code and comments\r\nProceed without comments?";
constexpr const char* kMsgTooBigSource =
    "The program is too big to be transferred with the source code\r\nProceed without source code (and comments)?";
constexpr const char* kMsgImageTooBig = "The program is too big to be transferred: its image exceeds 65535 bytes";
constexpr const char* kMsgNoStream = "No stream to upload from";
constexpr const char* kMsgUploadError = "Upload error";
constexpr const char* kMsgInvalidStream = "Upload error: Invalid stream!";
constexpr const char* kMsgChecksum = "Checksum error uploading program!";

std::int32_t Saturate(double x)
{
    if (std::isnan(x))
        return 0;
    if (x >= 2147483647.0)
        return std::numeric_limits<std::int32_t>::max();
    if (x <= -2147483648.0)
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(x);  // toward zero
}

// Reads the tagged values of a command's cells in order.
class CellValues {
public:
    CellValues(const std::vector<std::uint8_t>& cells, std::size_t pos) : cursor_(cells, pos) {}
    double Next(std::uint8_t* flags = nullptr) { return GetTaggedValue(cursor_, flags); }
    std::size_t Position() const { return cursor_.pos; }

private:
    CellReader cursor_;
};

class LineGenerator {
public:
    // endlessProgram: the program's type is "Endless relative".
    LineGenerator(TVizuCode& code, const CVekParameterList& registers, std::vector<std::string>& messages,
                  bool endlessProgram)
        : code_(code), registers_(registers), messages_(messages), endlessProgram_(endlessProgram)
    {
    }

    void Line(const SProgramLine& line)
    {
        const std::uint32_t e = static_cast<std::uint32_t>(line.line) + 1;
        const std::vector<std::uint8_t>& c = line.cells;
        auto cell = [&c](std::size_t i) -> std::uint8_t { return i < c.size() ? c[i] : 0; };
        const std::uint32_t target = static_cast<std::uint32_t>(CGraphicProgram::GetJumpTarget(c)) + 1;
        switch (line.id) {
        case kCmdNoOperation:
        case kCmdRemark: break;
        case kCmdJump: code_.AddJump(e, target); break;
        case kCmdConditionalJump:
            if ((cell(2) & 1) == 0) {
                code_.AddInputJump(e, target, cell(3) & 3, (cell(3) >> 2) & 15);
            } else {
                code_.AddInputsJump(e, target, (cell(5) & 0x80) != 0,
                                    static_cast<std::uint16_t>(cell(3) + (cell(4) & 3) * 256),
                                    static_cast<std::uint16_t>(((cell(4) >> 2) & 63) + (cell(5) & 15) * 64));
            }
            break;
        case kCmdMove: Move(e, c); break;
        case kCmdSetPosition: {
            CellValues values(c, 1);
            code_.AddSetPosition(e, (cell(0) & 1) != 0, TruncateValue(values.Next()));
            break;
        }
        case kCmdSavePosition: code_.AddSavePosition(e, cell(0)); break;
        case kCmdSetOutputs: Outputs(e, c, 0); break;
        case kCmdZeroSearch:
            if (cell(0) <= 2) {
                code_.AddSetMode(e, 12 + cell(0));
                code_.AddSetRegister(e, kRegRequestedPosition, 0);
                code_.AddWaitForMode(e, 2);
            }
            break;
        case kCmdWait: {
            CellValues values(c, 0);
            code_.AddStartTimer(e, kWaitTimer, TruncateValue(values.Next()));
            code_.AddWaitTimer(e, kWaitTimer);
            break;
        }
        case kCmdSetRegister: {
            CellValues values(c, 1);
            code_.AddSetRegister(e, cell(0), Converted(values, cell(0)));
            break;
        }
        case kCmdRegisterJump: {
            CellValues values(c, 4);
            code_.AddLoadStore(e, false, false, cell(2), kType32Signed);
            code_.AddLoadImmediate(e, Converted(values, cell(2)), kTypeTop);
            Comparison(e, cell(3));
            code_.AddJumpTo(e, kJumpTrue, target, 0);
            break;
        }
        case kCmdSetMode:
            if (cell(0) < std::size(kOperationModes))
                code_.AddSetMode(e, kOperationModes[cell(0)]);
            break;
        case kCmdWaitInputs:
            if (cell(0) & 1) {
                code_.AddWaitInputs(e, (cell(3) & 0x80) != 0, static_cast<std::uint16_t>(cell(1) + (cell(2) & 3) * 256),
                                    static_cast<std::uint16_t>(((cell(2) >> 2) & 63) + (cell(3) & 15) * 64));
            } else {
                code_.AddWaitInput(e, (cell(1) >> 2) & 15, cell(1) & 3, 0);
            }
            break;
        case kCmdWaitRegister: {
            CellValues values(c, 2);
            code_.AddLoadStore(e, false, false, cell(0), kType32Signed);
            code_.AddLoadImmediate(e, Converted(values, cell(0)), kTypeTop);
            Comparison(e, cell(1));
            code_.AddJumpTo(e, kJumpFalse, e, 0);
            break;
        }
        case kCmdFastCommand: {
            CellValues values(c, 0);
            code_.AddFastCommand(e, static_cast<std::uint8_t>(TruncateValue(values.Next()) & 0xFF));
            break;
        }
        case kCmdBinary: {
            // The cells hold at most 49 bytes after the count.
            std::size_t n = cell(0);
            if (n > kMaxBinaryBytes)
                n = kMaxBinaryBytes;
            if (c.size() < n + 1)
                n = c.empty() ? 0 : c.size() - 1;
            code_.AddBinary(e, n, c.empty() ? nullptr : c.data() + 1);
            break;
        }
        default: messages_.push_back("Generate: CommandID " + std::to_string(line.id) + " not implemented"); break;
        }
    }

private:
    std::int32_t Converted(CellValues& values, int reg)
    {
        std::uint8_t flags = 0;
        const double v = values.Next(&flags);
        return ConvertToCounts(registers_, v, flags, reg);
    }

    // A position variable number is a number, not a value in a unit.
    std::int32_t Distance(CellValues& values, bool variable)
    {
        if (!variable)
            return Converted(values, kRegRequestedPosition);
        return PositionVariableNumber(values.Next(), true);
    }

    void Comparison(std::uint32_t e, std::uint8_t index)
    {
        if (index < std::size(kComparisonOperator))
            code_.AddOperator(e, kComparisonOperator[index], kTypeTop, kTypeTop);
    }

    // The wait after a relative move follows the program type; a fast
    // command 118 line does not change it (it changes the sensor moves).
    void WaitAfterMove(std::uint32_t e)
    {
        if (endlessProgram_)
            code_.AddFastCommandAndWait(e);
        else
            code_.AddWaitInPosition(e);
    }

    void Move(std::uint32_t e, const std::vector<std::uint8_t>& c)
    {
        const std::uint8_t flags = c.empty() ? 0 : c[0];
        const bool distanceVariable = (flags & 0x08) != 0;
        const bool safetyVariable = (flags & 0x10) != 0;
        const bool wait = (flags & 0x20) != 0;
        CellValues values(c, 1);
        const std::int32_t acceleration = Converted(values, kRegAcceleration);
        const std::int32_t velocity = Converted(values, kRegVelocity);
        const std::int32_t distance = Distance(values, distanceVariable);
        switch (flags & 7) {
        case 0:
            code_.AddMoveRelative(e, distance, acceleration, velocity, distanceVariable);
            if (wait)
                WaitAfterMove(e);
            break;
        case 1: {
            const std::int32_t change = Converted(values, kRegRequestedPosition);
            const std::int32_t newVelocity = Converted(values, kRegVelocity);
            code_.AddMoveVelocityChange(e, distance, acceleration, velocity, distanceVariable, change, newVelocity);
            code_.AddWaitInPosition(e);
            break;
        }
        case 2:
            code_.AddMoveRelative(e, distance, acceleration, velocity, distanceVariable);
            WaitAfterMove(e);
            Outputs(e, c, values.Position());
            break;
        case 3:
            code_.AddMoveAbsolute(e, distance, acceleration, velocity, distanceVariable);
            if (wait)
                code_.AddWaitInPosition(e);
            break;
        case 4: {
            const std::int32_t safety = Distance(values, safetyVariable);
            const std::size_t at = values.Position();
            const std::uint8_t sensor = at < c.size() ? c[at] : 0;
            code_.AddMoveSensor(e, safety, safetyVariable, acceleration, velocity, distance, distanceVariable,
                                (sensor >> 2) & 15, sensor & 3);
            break;
        }
        default: break;
        }
    }

    // An output element at cell pos.
    void Outputs(std::uint32_t e, const std::vector<std::uint8_t>& c, std::size_t pos)
    {
        auto cell = [&c, pos](std::size_t i) -> std::uint8_t { return pos + i < c.size() ? c[pos + i] : 0; };
        if (cell(0) != 0) {
            for (std::uint8_t bit = 0; bit < 8; ++bit)
                if ((cell(2) >> bit) & 1)
                    code_.AddOutputs(e, bit, (cell(1) >> bit) & 1, 0);
            return;
        }
        const std::uint8_t number = cell(1) & 7;
        const std::uint8_t mode = (cell(1) >> 3) & 3;
        if (mode == kOutputLow || mode == kOutputHigh) {
            code_.AddOutputs(e, number, mode, 0);
        } else {
            CellValues values(c, pos + 2);
            code_.AddOutputs(e, number, mode, TruncateValue(values.Next()));
        }
    }

    TVizuCode& code_;
    const CVekParameterList& registers_;
    std::vector<std::string>& messages_;
    bool endlessProgram_;
};

void PutU16(std::vector<std::uint8_t>& bytes, std::size_t at, std::size_t value)
{
    bytes[at] = static_cast<std::uint8_t>(value & 0xFF);
    bytes[at + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

// Length placeholder, the blocks, the end byte; the length written last.
std::vector<std::uint8_t> Assemble(std::initializer_list<const std::vector<std::uint8_t>*> blocks)
{
    std::vector<std::uint8_t> image(2, 0);
    for (const std::vector<std::uint8_t>* block : blocks)
        image.insert(image.end(), block->begin(), block->end());
    image.push_back(kImageEnd);
    PutU16(image, 0, image.size());
    return image;
}

}  // namespace

std::int32_t ConvertToCounts(const CVekParameterList& registers, double value, std::uint8_t flags, int reg)
{
    const double x = value / registers.GetUnitFactor(reg, flags);
    return Saturate(x > 0 ? x + 0.5 : x - 0.5);
}

std::int32_t TruncateValue(double value)
{
    return Saturate(value);
}

std::string CodeVersionText(std::uint16_t version)
{
    return std::to_string((version >> 4) & 15) + "." + std::to_string(version & 15);
}

std::unique_ptr<TVizuCode> GenerateProgramCode(const CGraphicProgram& program, const ProgramSetupOptions& options,
                                               int motorKind, std::vector<std::string>& messages,
                                               const std::string& logPath)
{
    const std::uint8_t type = program.GetType();
    if (type != kProgramAbsoluteRelative && type != kProgramEndlessRelative)
        return nullptr;
    const std::uint32_t last = program.LastLineNumber();
    auto code = std::make_unique<TVizuCode>(last + 2, logPath);
    code->SetMotorKind(motorKind);
    code->SetOptions(options);

    // Start code.
    if (type == kProgramAbsoluteRelative)
        code->AddFastCommand(0, kFastAbsoluteRelative);
    else
        code->AddEndlessRelativePrologue(0);
    code->AddLoadImmediate(0, options.inputFilter, kTypeTop);
    code->AddLoadStore(0, true, true, kVarInputFilter, kTypeTop);
    if (!options.skipInitialization) {
        code->AddSetStartMode(0, 2);
        code->AddSetMode(0, 2);
    }
    code->AddLoadImmediate(0, options.inPositionOutput + 2 * options.errorOutput, kTypeTop);
    code->AddLoadStore(0, true, true, kVarDedicatedOutputs, kTypeTop);

    LineGenerator lines(*code, program.ParameterList(), messages, type == kProgramEndlessRelative);
    for (const SProgramLine& line : program.Lines())
        lines.Line(line);

    code->AddEndOfProgram(last + 2);
    code->Link();
    return code;
}

// --- The document -------------------------------------------------------------------

CVizuWareDocument::CVizuWareDocument(VizuWareUi& ui) : ui_(ui) {}

void CVizuWareDocument::Message(const std::string& text, const std::string& caption)
{
    ui_.Message(text, caption);
}

void CVizuWareDocument::SetMotorKind(int kind)
{
    motorKind_ = kind;
    program_.ParameterList().SelectMotorKind(kind);
}

void CVizuWareDocument::SetModuleInfo(std::span<const std::uint8_t> record)
{
    auto at = [&record](std::size_t i) -> std::uint32_t { return i < record.size() ? record[i] : 0; };
    memoryLimit_ = at(2) | (at(3) << 8);
    moduleVersion_ = static_cast<std::uint16_t>(at(5));
}

void CVizuWareDocument::SetModuleChecksum(std::uint16_t checksum)
{
    moduleChecksum_ = checksum;
    transferred_ = expectedChecksum_ != -1 && expectedChecksum_ == moduleChecksum_;
}

bool CVizuWareDocument::GenerateCode()
{
    code_.reset();
    if (program_.GetType() == kProgramBinaryOnly)
        return false;
    if (motorKind_ == 2) {
        if (program_.GetType() == kProgramEndlessRelative) {
            if (!ui_.Ask(kMsgStepperEndless, kCaptionConfirm, VizuWareUi::Buttons::YesNo))
                return false;
            program_.SetType(kProgramAbsoluteRelative);
        }
        // A stepper controller has no input filter and no dedicated outputs.
        options_.inputFilter = 0;
        options_.inPositionOutput = 0;
        options_.errorOutput = 0;
    }
    std::vector<std::string> messages;
    std::unique_ptr<TVizuCode> code = GenerateProgramCode(program_, options_, motorKind_, messages, logPath_);
    for (const std::string& text : messages)
        Message(text);
    if (!code)
        return false;
    if (code->Failed()) {
        Message(code->ErrorText());
        return false;
    }
    code_ = std::move(code);
    expectedChecksum_ = code_->GetChecksum();
    transferred_ = expectedChecksum_ == moduleChecksum_;
    return true;
}

bool CVizuWareDocument::HasProgram() const
{
    return !program_.IsEmpty() || (program_.GetType() == kProgramBinaryOnly && program_.BinaryBlock());
}

std::vector<std::uint8_t> CVizuWareDocument::SaveProgramToStream()
{
    if (!HasProgram())
        return {};
    ByteStream stream;
    std::string message;
    if (!program_.Save(stream, options_, false, &message))
        Message(message);
    modified_ = false;
    return stream.TakeBytes();
}

bool CVizuWareDocument::LoadProgramFromStream(std::span<const std::uint8_t> bytes)
{
    if (HasProgram() && modified_ && !ui_.Ask(kMsgNotSavedReplace, kCaptionProgram, VizuWareUi::Buttons::YesNo))
        return false;
    ByteStream stream(bytes.data(), bytes.size());
    const ProgramLoadResult result = program_.Load(stream);
    if (!result.ok) {
        Message(result.message);
        return false;
    }
    options_ = result.options;
    modified_ = false;
    GenerateCode();
    ui_.ProgramChanged();
    TellProgramPresent();
    return true;
}

bool CVizuWareDocument::SaveDebugProgram()
{
    return program_.SaveToFile(UserDataFile("Program.Vizu"), options_);
}

bool CVizuWareDocument::LoadDebugProgram()
{
    const ProgramLoadResult result = program_.LoadFromFile(UserDataFile("Program.Vizu"));
    if (!result.ok) {
        Message(result.message);
        return false;
    }
    ui_.ProgramChanged();
    TellProgramPresent();
    return true;
}

void CVizuWareDocument::TellProgramPresent()
{
    if (onCommand_ && !uploading_) {
        const std::uint8_t type = program_.GetType();
        onCommand_(8, type == kProgramAbsoluteRelative || type == kProgramEndlessRelative ? 1 : 0, 0);
    }
}

bool CVizuWareDocument::VersionMatches(std::uint16_t programVersion)
{
    if (moduleVersion_ == programVersion)
        return true;
    const std::string versions = "\r\nModule binary version: " + CodeVersionText(moduleVersion_) +
                                 "\r\nQuenor binary version: " + CodeVersionText(programVersion);
    if (moduleVersion_ < programVersion)
        Message("You need to update the firmware in the VekMRP module" + versions, kCaptionInformation);
    else
        Message("You need to update Quenor" + versions, kCaptionInformation);
    return false;
}

std::vector<std::uint8_t> CVizuWareDocument::BuildTransferImage(std::uint32_t value)
{
    if (program_.GetType() == kProgramBinaryOnly) {
        std::uint16_t version = 0;
        const std::vector<std::uint8_t> block = program_.BinaryImage(version);
        if (block.size() + 3 > kMaxImageSize) {
            Message(kMsgImageTooBig);
            return {};
        }
        std::vector<std::uint8_t> image = Assemble({&block});
        if (!VersionMatches(version))
            return {};
        // Held code goes out as it is: once the module holds it, it reports
        // the code's checksum, also after the setup made the old one stale.
        if (const std::vector<std::uint8_t>* held = program_.BinaryBlock()) {
            expectedChecksum_ = Sum16(*held);
            transferred_ = expectedChecksum_ == moduleChecksum_;
        }
        return image;
    }
    if (!code_)
        return {};
    const std::vector<std::uint8_t> codeBlock = code_->GetImage();
    if (!VersionMatches(kProgramCodeVersion))
        return {};

    std::vector<std::uint8_t> image;
    if (options_.transferSetting == 2) {
        image = Assemble({&codeBlock});
        if (image.size() >= memoryLimit_)
            return {};
    } else {
        std::vector<std::uint8_t> parameterBlock;
        if (value != 0) {
            ByteStream block;
            block.WriteU8(kBlockParameter);
            block.WriteU32LE(value);
            parameterBlock = block.TakeBytes();
        }
        bool withoutRemarks = options_.transferSetting == 1;
        for (;;) {
            ByteStream source;
            source.Write(std::vector<std::uint8_t>{kBlockSource, 0, 0, 0, 0});
            program_.Save(source, options_, withoutRemarks);
            std::vector<std::uint8_t> sourceBlock = source.TakeBytes();
            const std::size_t m = sourceBlock.size() - 5;
            PutU16(sourceBlock, 1, m);
            PutU16(sourceBlock, 3, Sum16(std::span<const std::uint8_t>(sourceBlock).subspan(5)));
            if (m <= kMaxImageSize)
                image = Assemble({&parameterBlock, &codeBlock, &sourceBlock});
            else
                image.assign(kMaxImageSize + 1, 0);  // too big for any module
            if (image.size() < memoryLimit_)
                break;
            if (!withoutRemarks) {
                if (!ui_.Ask(kMsgTooBigRemarks, kCaptionConfirm, VizuWareUi::Buttons::OkCancel))
                    return {};
                withoutRemarks = true;
                continue;
            }
            if (!ui_.Ask(kMsgTooBigSource, kCaptionConfirm, VizuWareUi::Buttons::OkCancel))
                return {};
            image = Assemble({&codeBlock});
            if (image.size() < memoryLimit_)
                break;
            return {};
        }
    }
    // A debugging copy; failing to write it never fails the transfer.
    ByteStream(image).SaveToFile(UserDataFile("File.dmp"));
    return image;
}

bool CVizuWareDocument::UploadImage(const std::vector<std::uint8_t>* image)
{
    if (!program_.IsEmpty() && modified_ &&
        !ui_.Ask(kMsgNotSavedUpload, kCaptionProgram, VizuWareUi::Buttons::YesNo))
        return false;
    // The unsaved mark goes with the program it belongs to: only when the
    // upload replaces it.
    if (!image) {
        Message(kMsgNoStream);
        return false;
    }
    const std::vector<std::uint8_t>& bytes = *image;
    ByteStream stream(bytes);
    const std::uint16_t length = stream.ReadU16LE();
    if (stream.Overrun() || length != bytes.size()) {
        Message(kMsgUploadError);
        return false;
    }
    // The blocks replace the program one after the other: the owner hears
    // once, at the end, what the upload left, also when a later block fails.
    bool replaced = false;
    const bool wasUploading = std::exchange(uploading_, true);
    const auto finish = [&](bool ok) {
        uploading_ = wasUploading;
        if (ok || replaced)
            TellProgramPresent();
        return ok;
    };
    for (;;) {
        if (stream.AtEnd()) {
            // The end byte is missing.
            Message(kMsgInvalidStream);
            return finish(false);
        }
        const std::uint8_t block = stream.ReadU8();
        if (block == kImageEnd)
            break;
        switch (block) {
        case kBlockCode: {
            const std::uint16_t n = stream.ReadU16LE();
            const std::uint16_t sum = stream.ReadU16LE();
            if (stream.Overrun() || stream.Remaining() < n) {
                Message(kMsgInvalidStream);
                return finish(false);
            }
            const auto code = std::span<const std::uint8_t>(bytes).subspan(stream.Position(), n);
            stream.SetPosition(stream.Position() + n);
            if (Sum16(code) != sum) {
                Message(kMsgChecksum);
                return finish(false);
            }
            program_.SetBinaryOnly(code.data(), code.size(), moduleVersion_);
            replaced = true;
            modified_ = false;
            code_.reset();
            expectedChecksum_ = sum;
            break;
        }
        case kBlockSource: {
            const std::uint16_t m = stream.ReadU16LE();
            const std::uint16_t sum = stream.ReadU16LE();
            if (stream.Overrun() || stream.Remaining() < m) {
                Message(kMsgInvalidStream);
                return finish(false);
            }
            const auto source = std::span<const std::uint8_t>(bytes).subspan(stream.Position(), m);
            stream.SetPosition(stream.Position() + m);
            if (Sum16(source) != sum) {
                Message(kMsgChecksum);
                return finish(false);
            }
            // A source the loader rejects has said so; the code block stays.
            if (LoadProgramFromStream(source))
                replaced = true;
            break;
        }
        case kBlockParameter:
            if (stream.Remaining() < 4) {
                Message(kMsgInvalidStream);
                return finish(false);
            }
            stream.SetPosition(stream.Position() + 4);
            break;
        default: {
            char text[100];
            std::snprintf(text, sizeof text, "Unknown block Type - 0x%02X\r\nAborting Upload.\r\nTry updating Quenor.",
                          static_cast<unsigned>(block));
            Message(text);
            return finish(false);
        }
        }
    }
    modified_ = false;
    ui_.ProgramChanged();
    return finish(true);
}

}  // namespace quenor
