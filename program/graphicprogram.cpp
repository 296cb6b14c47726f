#include "program/graphicprogram.h"

#include "platform/datapaths.h"
#include "program/bytestream.h"
#include "program/vizuvalue.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quenor {

const SCommandInfo CommandInfoTable[17] = {
    {kCmdNoOperation, kNoPaletteSlot, 50, false, 1, "No operation"},
    {kCmdJump, 4, 50, true, 1, "Unconditional jump"},
    {kCmdConditionalJump, 5, 50, true, 1, "Conditional jump"},
    {kCmdMove, 2, 50, false, 1, "Move operations"},
    {kCmdSetPosition, 13, 50, false, 1, "Set position"},
    {kCmdSavePosition, 11, 50, false, 1, "Save position"},
    {kCmdSetOutputs, 3, 50, false, 1, "Set outputs"},
    {kCmdZeroSearch, 12, 50, false, 1, "Zero search"},
    {kCmdWait, 6, 50, false, 1, "Wait for (x) ms before continuing"},
    {kCmdRemark, 0, 50, false, 1, "Enter your own remarks"},
    {kCmdSetRegister, 8, 50, false, 1, "Set a register in the Vek motor"},
    {kCmdRegisterJump, 9, 50, true, 1, "Jump according to a register in the Vek motor"},
    {kCmdSetMode, 1, 50, false, 1, "Set operation mode"},
    {kCmdWaitInputs, 7, 50, false, 1, "Wait for an input combination before continuing"},
    {kCmdWaitRegister, 10, 50, false, 1, "Wait for a register value before continuing"},
    {kCmdFastCommand, 14, 50, false, 1, "Send FastVEK command"},
    {kCmdBinary, 15, 50, false, 1, "Binary command"},
};

const SCommandInfo* FindCommandInfo(std::uint8_t id)
{
    for (const SCommandInfo& info : CommandInfoTable)
        if (info.id == id)
            return &info;
    return nullptr;
}

std::vector<std::uint8_t> NewCommandData(std::uint8_t id)
{
    // Zero-filled, so cells that a dialog leaves alone read back as 0.
    return std::vector<std::uint8_t>(CGraphicProgram::CellCount(id), 0);
}

std::int32_t PositionVariableNumber(double value, bool round)
{
    if (std::isnan(value))
        return 0;
    if (round)
        value = value > 0 ? value + 0.5 : value - 0.5;
    if (value >= 2147483647.0)
        return std::numeric_limits<std::int32_t>::max();
    if (value <= -2147483648.0)
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);  // toward zero
}

std::vector<std::int32_t> PositionVariablesOf(const SProgramLine& line)
{
    const std::vector<std::uint8_t>& c = line.cells;
    const std::uint8_t first = c.empty() ? 0 : c[0];
    std::vector<std::int32_t> numbers;
    switch (line.id) {
    case kCmdSavePosition: numbers.push_back(first); break;
    case kCmdSetPosition:
        if (first & 1) {
            CellReader values(c, 1);
            numbers.push_back(PositionVariableNumber(GetTaggedValue(values), false));
        }
        break;
    case kCmdMove: {
        // Flags, then acceleration, velocity and distance; a sensor move adds
        // the safety distance.
        CellReader values(c, 1);
        GetTaggedValue(values);
        GetTaggedValue(values);
        const double distance = GetTaggedValue(values);
        if (first & 0x08)
            numbers.push_back(PositionVariableNumber(distance, true));
        if ((first & 7) == 4 && (first & 0x10))
            numbers.push_back(PositionVariableNumber(GetTaggedValue(values), true));
        break;
    }
    default: break;
    }
    return numbers;
}

std::string CheckPositionVariables(std::span<const SProgramLine> lines)
{
    for (const SProgramLine& line : lines)
        for (const std::int32_t n : PositionVariablesOf(line))
            if (!PositionVariableFits(n))
                return "Line " + std::to_string(line.line + 1) + " uses position variable " + std::to_string(n) +
                       ", which the module does not have (position variables 0 to " +
                       std::to_string(kPositionVariableCount - 1) + ").\r\nThe program was not loaded.";
    return {};
}

CGraphicProgram::CGraphicProgram() = default;

std::vector<SProgramLine>::iterator CGraphicProgram::LowerBound(std::uint16_t line)
{
    return std::lower_bound(lines_.begin(), lines_.end(), line,
                            [](const SProgramLine& node, std::uint16_t n) { return node.line < n; });
}

std::vector<SProgramLine>::const_iterator CGraphicProgram::LowerBound(std::uint16_t line) const
{
    return std::lower_bound(lines_.begin(), lines_.end(), line,
                            [](const SProgramLine& node, std::uint16_t n) { return node.line < n; });
}

SProgramLine* CGraphicProgram::Node(std::uint16_t line)
{
    const auto it = LowerBound(line);
    return it != lines_.end() && it->line == line ? &*it : nullptr;
}

const SProgramLine* CGraphicProgram::Line(std::uint16_t line) const
{
    const auto it = LowerBound(line);
    return it != lines_.end() && it->line == line ? &*it : nullptr;
}

void CGraphicProgram::SetLine(std::uint16_t line, std::uint8_t id, std::vector<std::uint8_t> cells)
{
    jumpLinesStale_ = true;
    // Every command holds exactly its cell count; a remark holds its text only.
    cells.resize(id == kCmdRemark ? 0 : CellCount(id), 0);
    auto it = LowerBound(line);
    if (it == lines_.end() || it->line != line)
        it = lines_.insert(it, SProgramLine{line, id, {}, {}});
    it->id = id;
    it->cells = std::move(cells);
    it->remark.clear();
}

void CGraphicProgram::SetRemark(std::uint16_t line, std::string text)
{
    SetLine(line, kCmdRemark, {});
    Node(line)->remark = std::move(text);
}

bool CGraphicProgram::DeleteLine(std::uint16_t line)
{
    const auto it = LowerBound(line);
    if (it == lines_.end() || it->line != line)
        return false;
    jumpLinesStale_ = true;
    lines_.erase(it);
    return true;
}

bool CGraphicProgram::FindLine(std::uint16_t line) const
{
    return Line(line) != nullptr;
}

bool CGraphicProgram::GetLine(std::uint16_t line, std::uint8_t& id, const std::vector<std::uint8_t>*& cells) const
{
    const SProgramLine* node = Line(line);
    if (!node) {
        id = kCmdNoOperation;
        cells = nullptr;
        return false;
    }
    id = node->id;
    cells = &node->cells;
    return true;
}

std::string CGraphicProgram::GetRemark(std::uint16_t line) const
{
    const SProgramLine* node = Line(line);
    return node && node->id == kCmdRemark ? node->remark : std::string();
}

std::uint16_t CGraphicProgram::LastLineNumber() const
{
    return lines_.empty() ? 0 : lines_.back().line;
}

void CGraphicProgram::Clear()
{
    lines_.clear();
    jumpLinesStale_ = true;
}

void CGraphicProgram::RemoveLine(std::uint16_t line)
{
    jumpLinesStale_ = true;
    DeleteLine(line);
    for (SProgramLine& node : lines_) {
        if (node.line > line)
            --node.line;
        if (IsJump(node.id)) {
            const std::uint16_t target = GetJumpTarget(node.cells);
            if (target > line)
                SetJumpTarget(node.cells, static_cast<std::uint16_t>(target - 1));
        }
    }
}

bool CGraphicProgram::InsertLine(std::uint16_t line)
{
    constexpr std::uint16_t kLast = 0xFFFF;
    if (!lines_.empty() && lines_.back().line == kLast)
        return false;
    for (const SProgramLine& node : lines_)
        if (IsJump(node.id) && GetJumpTarget(node.cells) == kLast)
            return false;
    jumpLinesStale_ = true;
    for (SProgramLine& node : lines_) {
        if (node.line >= line)
            ++node.line;
        if (IsJump(node.id)) {
            const std::uint16_t target = GetJumpTarget(node.cells);
            if (target >= line)
                SetJumpTarget(node.cells, static_cast<std::uint16_t>(target + 1));
        }
    }
    return true;
}

std::uint8_t CGraphicProgram::CellCount(std::uint8_t id)
{
    const SCommandInfo* info = FindCommandInfo(id);
    return info ? info->cellCount : 0;
}

bool CGraphicProgram::IsJump(std::uint8_t id)
{
    const SCommandInfo* info = FindCommandInfo(id);
    return info && info->jump;
}

void CGraphicProgram::SetJumpTarget(std::span<std::uint8_t> cells, std::uint16_t target)
{
    if (cells.size() < 2)
        return;
    cells[0] = static_cast<std::uint8_t>(target >> 8);
    cells[1] = static_cast<std::uint8_t>(target & 0xFF);
}

std::uint16_t CGraphicProgram::GetJumpTarget(std::span<const std::uint8_t> cells)
{
    if (cells.size() < 2)
        return 0;
    return static_cast<std::uint16_t>((cells[0] << 8) | cells[1]);
}

bool CGraphicProgram::GetJump(std::uint16_t line, std::uint16_t& target, int& column) const
{
    if (jumpLinesStale_)
        RebuildJumpLines();
    const SProgramLine* node = Line(line);
    if (!node || !IsJump(node->id))
        return false;
    target = GetJumpTarget(node->cells);
    column = jumpLines_.GetColumn(line);
    return true;
}

void CGraphicProgram::RebuildJumpLines() const
{
    int last = LastLineNumber();
    for (const SProgramLine& node : lines_)
        if (IsJump(node.id))
            last = std::max<int>(last, GetJumpTarget(node.cells));
    jumpLines_.Reset(last + 1);
    for (const SProgramLine& node : lines_)
        if (IsJump(node.id))
            jumpLines_.Add(node.line, GetJumpTarget(node.cells));
    jumpLines_.Assign();
    jumpLinesStale_ = false;
}

const CGraphicProgramJumpLines& CGraphicProgram::JumpLines() const
{
    if (jumpLinesStale_)
        RebuildJumpLines();
    return jumpLines_;
}

std::string CGraphicProgram::RegisterName(int reg) const
{
    return registers_.GetRegisterName(reg);
}

void CGraphicProgram::SetType(std::uint8_t type)
{
    binary_.reset();
    type_ = type;
}

bool CGraphicProgram::SetBinaryOnly(const std::uint8_t* bytes, std::size_t size, std::uint16_t codeVersion)
{
    if (size > 0xFFFF || (size > 0 && !bytes))
        return false;
    binary_.emplace(bytes, bytes + size);
    binaryVersion_ = codeVersion;
    type_ = kProgramBinaryOnly;
    return true;
}

std::vector<std::uint8_t> CGraphicProgram::BinaryImage(std::uint16_t& codeVersion) const
{
    codeVersion = binaryVersion_;
    if (!binary_)
        return {};
    ByteStream block;
    block.WriteU8(0xA1);
    block.WriteU16LE(static_cast<std::uint16_t>(binary_->size()));
    block.WriteU16LE(Sum16(*binary_));
    block.Write(*binary_);
    // A debugging copy; failing to write it never fails the image.
    block.SaveToFile(UserDataFile("BinBlock.Vizu"));
    return block.TakeBytes();
}

}  // namespace quenor
