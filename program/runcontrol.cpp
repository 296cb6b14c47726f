#include "program/runcontrol.h"

#include <array>

namespace quenor {
namespace {

struct StateRow {
    const char* text;
    ModuleStateGroup group;
};

constexpr std::array<StateRow, 12> kStates = {{
    {"Passive", ModuleStateGroup::Stopped},
    {"Running", ModuleStateGroup::Running},
    {"Single Step", ModuleStateGroup::Paused},
    {"Paused", ModuleStateGroup::Paused},
    {"Stack Overflow", ModuleStateGroup::Error},
    {"Program Overflow", ModuleStateGroup::Error},
    {"Invalid Command", ModuleStateGroup::Error},
    {"Stopped", ModuleStateGroup::Error},
    {"Error communicating with motor", ModuleStateGroup::Error},
    {"Starting Program", ModuleStateGroup::Running},
    {"Flash Error", ModuleStateGroup::Error},
    {"Flash Checksum Error", ModuleStateGroup::Error},
}};

constexpr const char* kAskTransferFirst =
    "Your program has not been transfered, do you want to transfer it before starting the program?";
constexpr const char* kAskNewProgram = "Your program is not saved, are you sure you want a new program?";
constexpr const char* kAskClearProgram = "Your program is not saved, are you sure you want to clear the program?";

std::uint16_t U16(std::span<const std::uint8_t> block, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return i < block.size() ? block[i] : std::uint8_t{0}; };
    return static_cast<std::uint16_t>(byte(at) | (byte(at + 1) << 8));
}

}  // namespace

const char* ModuleStateText(int state)
{
    return state >= 0 && state < static_cast<int>(kStates.size()) ? kStates[static_cast<std::size_t>(state)].text
                                                                    : "";
}

ModuleStateGroup ModuleStateGroupOf(int state)
{
    return state >= 0 && state < static_cast<int>(kStates.size()) ? kStates[static_cast<std::size_t>(state)].group
                                                                   : ModuleStateGroup::Error;
}

ProgramSizeTexts SizeTexts(std::uint16_t codeSize, std::uint16_t sourceSize, std::uint16_t remarkSize)
{
    ProgramSizeTexts t;
    t.program = std::to_string(codeSize) + " B";
    if (sourceSize != 0) {
        t.programSource = std::to_string(codeSize + sourceSize) + " B";
        t.programSourceRem = std::to_string(codeSize + sourceSize + remarkSize) + " B";
    } else {
        t.programSource = "NA";
        t.programSourceRem = "NA";
    }
    return t;
}

const char* ProgramTypeName(int type)
{
    switch (type) {
    case kProgramAbsoluteRelative: return "Absolute and relative";
    case kProgramEndlessRelative: return "Endless relative";
    case kProgramBinaryOnly: return "Binary source";
    default: return "None";
    }
}

CVizuRunControl::CVizuRunControl(CVizuWareDocument& document, VizuWareUi& ui) : document_(document), ui_(ui) {}

void CVizuRunControl::Send(int command, int a, int b) { document_.SendCommand(command, a, b); }

// --- buttons --------------------------------------------------------------------

void CVizuRunControl::TransferButtonClick()
{
    document_.GenerateCode();
    Send(0);
}

void CVizuRunControl::StartButtonClick()
{
    if (!document_.Transferred() && ui_.Ask(kAskTransferFirst, kCaptionConfirm, VizuWareUi::Buttons::YesNo)) {
        document_.GenerateCode();
        // A transfer that did not go out must not start the program the
        // module held before: the technician asked for this one.
        if (!document_.SendCommand(0))
            return;
    }
    Send(1);
}

void CVizuRunControl::StopButtonClick() { Send(2); }

void CVizuRunControl::PauseButtonClick() { Send(paused_ ? 5 : 3); }

void CVizuRunControl::SingleStepButtonClick()
{
    const TVizuCode* code = document_.Code();
    if (!code)
        return;
    std::uint32_t first = 0, last = 0;
    if (!code->GetElementAddresses(programCounter_, first, last))
        first = last = 0;
    Send(4, static_cast<int>(first), static_cast<int>(last));
}

void CVizuRunControl::UploadBtnClick() { Send(6); }

// --- status ---------------------------------------------------------------------------

std::string CVizuRunControl::ChecksumText() const
{
    return "Module Checksum: " + std::to_string(document_.ModuleChecksum());
}

void CVizuRunControl::ShowModuleStatus(std::span<const std::uint8_t> block)
{
    const int state = block.empty() ? 0 : block[0];
    document_.SetModuleChecksum(U16(block, 4));
    programCounter_ = U16(block, 1);
    const bool transferred = document_.Transferred();
    const char* text = ModuleStateText(state);
    debugInfo_ = *text ? std::string("Status: ") + text : std::string("Status: Unknown");

    const ModuleStateGroup group = ModuleStateGroupOf(state);
    RunControlButtons b;
    b.transfer = !transferred;
    switch (group) {
    case ModuleStateGroup::Running:
        b.start = false;
        b.stop = b.pause = true;
        break;
    case ModuleStateGroup::Paused:
        b.start = false;
        b.stop = b.pause = true;
        b.pauseSaysResume = true;
        b.singleStep = transferred;
        break;
    case ModuleStateGroup::Stopped:
    case ModuleStateGroup::Error:
        b.start = true;
        break;
    }
    buttons_ = b;
    paused_ = group == ModuleStateGroup::Paused;
    error_ = group == ModuleStateGroup::Error;
    if (group == ModuleStateGroup::Stopped || group == ModuleStateGroup::Error)
        pointer_ = DebugPointerPlace::Hidden;

    const TVizuCode* code = document_.Code();
    if (!code)
        return;
    int element = code->ElementFromAddress(programCounter_);
    if (element > static_cast<int>(document_.Program().LastLineNumber()) + 2)
        element = -1;
    // Element 0 is the start code: its line is none. Any negative line means none.
    const int line = element < 0 ? -1 : element - 1;
    pointerLine_ = line < 0 ? -1 : line;
    if (!transferred)
        pointer_ = DebugPointerPlace::Above;
    else if (error_ || pointerLine_ < 0)
        pointer_ = DebugPointerPlace::Hidden;
    else
        pointer_ = DebugPointerPlace::OnLine;
}

// --- program menu -------------------------------------------------------------------

ProgramInformation CVizuRunControl::Information()
{
    document_.GenerateCode();
    ProgramInformation info;
    const CGraphicProgram& program = document_.Program();
    if (const TVizuCode* code = document_.Code()) {
        const std::size_t without = program.SaveToMemory(true);
        const std::size_t with = program.SaveToMemory(false);
        info.codeSize = static_cast<std::uint32_t>(code->CodeSize());
        info.sourceSize = static_cast<std::uint32_t>(without);
        info.remarkSize = static_cast<std::uint32_t>(with - without);
        info.lines = std::to_string(program.LastLineNumber() + 1);
    } else {
        const std::vector<std::uint8_t>* binary = program.BinaryBlock();
        info.codeSize = binary ? static_cast<std::uint32_t>(binary->size()) : 0;
        info.lines = "NA";
    }
    info.checksum = std::to_string(document_.ExpectedChecksum());
    info.mode = ProgramTypeName(program.GetType());
    return info;
}

void CVizuRunControl::ProgramMenuCommand(int code, const std::vector<std::uint8_t>* image)
{
    switch (code) {
    case 0:
        NewProgram();
        break;
    case 1: {
        ProgramSetupOptions options = document_.Options();
        if (editSetup && editSetup(options)) {
            document_.SetOptions(options);
            document_.SetModified(true);
            document_.SetExpectedChecksum(-1);
            document_.SetModuleChecksum(document_.ModuleChecksum());
        }
        break;
    }
    case 2:
        document_.UploadImage(image);  // it reports the new program to the owner and the listing
        break;
    case 3: {
        const ProgramInformation info = Information();
        if (showInformation)
            showInformation(info);
        break;
    }
    case 4:
        if (print)
            print();
        break;
    case 5:
        ClearProgram();
        break;
    default:
        break;
    }
}

void CVizuRunControl::NewProgram()
{
    if (document_.Modified() && !ui_.Ask(kAskNewProgram, kCaptionConfirm, VizuWareUi::Buttons::YesNo))
        return;
    CGraphicProgram& program = document_.Program();
    program.Clear();
    program.SetType(kProgramNone);
    Send(8, 0);
    document_.DropCode();
    document_.SetModified(false);
    document_.SetExpectedChecksum(-1);
    document_.SetModuleChecksum(document_.ModuleChecksum());
    document_.SetOptions(ProgramSetupOptions{});
    if (resetEditing)
        resetEditing();
    ui_.ProgramChanged();
}

void CVizuRunControl::ClearProgram()
{
    if (document_.Modified() && !ui_.Ask(kAskClearProgram, kCaptionConfirm, VizuWareUi::Buttons::YesNo))
        return;
    CGraphicProgram& program = document_.Program();
    document_.DropCode();
    program.Clear();

    // A program of one End instruction: the module is left with it and its checksum.
    TVizuCode end(0, {});
    end.SetMotorKind(document_.MotorKind());
    end.SetOptions(document_.Options());
    end.AddEndOfProgram(0);
    end.Link();
    document_.SetExpectedChecksum(end.GetChecksum());
    document_.SetModuleChecksum(document_.ModuleChecksum());
    // It travels as held code of the current code version, so that the
    // module's version check passes and the End instruction is what arrives.
    const std::vector<std::uint8_t> bytes = end.GetCode();
    program.SetBinaryOnly(bytes.data(), bytes.size(), kProgramCodeVersion);
    Send(0);
    program.SetType(kProgramNone);

    document_.SetModified(false);
    document_.SetExpectedChecksum(-1);
    document_.SetOptions(ProgramSetupOptions{});
    if (resetEditing)
        resetEditing();
    ui_.ProgramChanged();
}

}  // namespace quenor
