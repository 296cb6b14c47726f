#include "program/rowtexts.h"

#include "platform/numtext.h"
#include "program/commandcells.h"
#include "program/graphicprogram.h"
#include "program/vizuvalue.h"

#include <cmath>
#include <cstdio>

namespace quenor {
namespace {

constexpr int kRegPosition = 3;
constexpr int kRegVelocity = 5;
constexpr int kRegAcceleration = 6;

// Cell i, 0 past the end.
std::uint8_t Cell(std::span<const std::uint8_t> cells, std::size_t i)
{
    return i < cells.size() ? cells[i] : 0;
}

std::span<const std::uint8_t> From(std::span<const std::uint8_t> cells, std::size_t pos)
{
    return pos < cells.size() ? cells.subspan(pos) : std::span<const std::uint8_t>();
}

const char* const kOperators[] = {"=", "<", ">", "<=", ">=", "<>"};


const char* const kFastCommands[32] = {
    "NOP (No operation)",
    "Reset error",
    "P_SOLL=0 and IN_POS=0",
    "P_IST=0",
    "P_FNC=0 and IN_POS=0",
    "V_SOLL=0",
    "T_SOLL=0",
    "IN_POS flag=0",
    "Move to P_IST + P7 (rel. mode)",
    "Move to P_IST + P8 (rel. mode)",
    "Use rapid communication",
    "Use safe communication",
    "Use register set: P1, V1, A1, T1, L1, Z1",
    "Use register set: P2, V2, A2, T2, L2, Z2",
    "Use register set: P3, V3, A3, T3, L3, Z3",
    "Use register set: P4, V4, A4, T4, L4, Z4",
    "Home search",
    "Move to P_IST + P7 (abs. mode)",
    "Move to P_IST + P8 (abs. mode)",
    "Transmit slowly",
    "Use absolute positioning using position registers",
    "Use relative positioning using position registers (P_SOLL)",
    "Use relative positioning using position registers (P_FNC)",
    "NOP (No operation)",
    "NOP (No operation)",
    "NOP (No operation)",
    "NOP (No operation)",
    "NOP (No operation)",
    "NOP (No operation)",
    "NOP (No operation)",
    "Use FASTVEK protocol",
    "Use FLEXVEK protocol",
};

// The unsigned line number shown for a target: target + 1.
std::string TargetText(std::span<const std::uint8_t> cells)
{
    return std::to_string(static_cast<unsigned>(CGraphicProgram::GetJumpTarget(cells)) + 1);
}

class Values {
public:
    Values(const CGraphicProgram& program, std::span<const std::uint8_t> cells, std::size_t pos)
        : program_(program), cursor_(cells, pos)
    {
    }
    // The next tagged value and its flags.
    double Next(std::uint8_t& flags) { return GetTaggedValue(cursor_, flags); }
    // The next value with the name of its unit in register reg.
    std::string WithUnit(int reg)
    {
        std::uint8_t flags = 0;
        const double v = Next(flags);
        return FormatValueText(v) + " " + program_.ParameterList().GetUnitName(reg, flags);
    }
    // The next value as a register choice ("reg " + index + 1) or a value in
    // the unit of register reg.
    std::string Distance(bool registerChoice, int reg)
    {
        if (!registerChoice)
            return WithUnit(reg);
        std::uint8_t flags = 0;
        return "reg " + FormatValueText(Next(flags) + 1);
    }
    std::size_t Position() const { return cursor_.pos; }

private:
    const CGraphicProgram& program_;
    CellReader cursor_;
};

std::string Operator(std::uint8_t index)
{
    return index < std::size(kOperators) ? kOperators[index] : "";
}

std::string Hex2(unsigned value)
{
    char text[4];
    std::snprintf(text, sizeof text, "%02X", value & 0xFF);
    return text;
}

std::string FastCommandText(double value)
{
    const std::int64_t whole = std::isfinite(value) && std::fabs(value) < 9.2e18 ? static_cast<std::int64_t>(value) : 0;
    const unsigned c = static_cast<unsigned>(whole) & 0xFF;
    const unsigned group = (c >> 5) & 3;
    if (group == 3) {
        std::string text = "(";
        text += Hex2(c & 31);
        text += ") ";
        return text + kFastCommands[c & 31];
    }
    static const char* const kGroups[] = {"Init mode", "Velocity mode", "Position mode"};
    std::string text = std::string(kGroups[group]) + " - set ";
    if (c & 0x10) {
        static const char* const kSet[] = {"acceleration", "torque", "load", "zero search"};
        text += std::string(kSet[(c >> 2) & 3]) + " from register " + std::to_string((c & 3) + 1);
    } else {
        text += std::string((c & 0x08) ? "velocity" : "position") + " from register " + std::to_string((c & 7) + 1);
    }
    return text;
}

std::string MoveText(const CGraphicProgram& program, std::span<const std::uint8_t> cells)
{
    const std::uint8_t flags = Cell(cells, 0);
    const int type = flags & 7;
    Values values(program, cells, 1);
    std::uint8_t f = 0;
    const double a = values.Next(f);
    const std::string aUnit = program.ParameterList().GetUnitName(kRegAcceleration, f);
    const double w = values.Next(f);
    const std::string wUnit = program.ParameterList().GetUnitName(kRegVelocity, f);
    std::string text = std::string("Move ") + (type == 3 ? "(Abs) - pos: " : "(Rel) - dist: ");
    text += values.Distance((flags & 0x08) != 0, kRegPosition);
    if (a != 0)
        text += " acc: " + FormatValueText(a) + " " + aUnit;
    if (w != 0)
        text += " vel: " + FormatValueText(w) + " " + wUnit;
    switch (type) {
    case 1:
        text += " changevel. at Dist.: " + values.Distance((flags & 0x10) != 0, kRegPosition);
        text += " to vel: " + values.WithUnit(kRegVelocity);
        break;
    case 2:
        text += ' ';
        text += DescribeSetOutputs(From(cells, values.Position()), false);
        break;
    case 4:
        // A safety distance chosen from a register reads like the change distance.
        text += " Safety dist: " + values.Distance((flags & 0x10) != 0, kRegPosition);
        text += " Sensor: " + DescribeInputCondition(From(cells, values.Position()), true);
        break;
    default: break;
    }
    if ((flags & 0x20) == 0)
        text += " (No wait for in position)";
    return text;
}

std::string BinaryText(std::span<const std::uint8_t> cells)
{
    // The count is a byte, but only the cells that follow it can be listed.
    std::size_t n = Cell(cells, 0);
    const std::size_t available = cells.empty() ? 0 : cells.size() - 1;
    if (n > available)
        n = available;
    std::string text;
    for (std::size_t i = 0; i < n; ++i) {
        if (i)
            text += ", ";
        text += "0x" + Hex2(cells[i + 1]);
    }
    return text;
}

}  // namespace

std::string DescribeSetOutputs(std::span<const std::uint8_t> cells, bool capital)
{
    std::string text = capital ? "S" : "s";
    text += "et output";
    if (Cell(cells, 0) == 0) {
        const std::uint8_t b = Cell(cells, 1);
        text += ' ';
        text += std::to_string((b & 7) + 1);
        text += ' ';
        switch ((b >> 3) & 3) {
        case 0: text += "low"; break;
        case 1: text += "high"; break;
        default: {
            CellReader cursor(cells, 2);
            const std::string time = FormatValueText(GetTaggedValue(cursor));
            text += (((b >> 3) & 3) == 2 ? "low pulse (" : "high pulse (") + time + " ms)";
            break;
        }
        }
        return text;
    }
    const std::uint8_t levels = Cell(cells, 1);
    const std::uint8_t mask = Cell(cells, 2);
    int count = 0;
    for (int i = 0; i < 8; ++i)
        count += (mask >> i) & 1;
    if (count != 1)
        text += "s";
    text += " (";
    bool first = true;
    for (int i = 0; i < 8; ++i) {
        if (((mask >> i) & 1) == 0)
            continue;
        if (!first)
            text += " and ";
        first = false;
        text += std::to_string(i + 1) + (((levels >> i) & 1) ? " high" : " low");
    }
    return text + ")";
}

std::string DescribeInputCondition(std::span<const std::uint8_t> cells, bool sensor)
{
    if (!sensor && (Cell(cells, 0) & 1)) {
        const unsigned levels = Cell(cells, 1) + (Cell(cells, 2) & 3u) * 256;
        const unsigned care = (Cell(cells, 2) >> 2) + (Cell(cells, 3) & 15u) * 64;
        const char* joiner = (Cell(cells, 3) & 0x80) ? " or " : " and ";
        static const char* const kNames[] = {"1", "2", "3", "4", "5", "6", "7", "8", "ME", "IP"};
        std::string text;
        bool first = true;
        for (int i = 0; i < 10; ++i) {
            if (((care >> i) & 1) == 0)
                continue;
            if (!first)
                text += joiner;
            first = false;
            text += std::string(kNames[i]) + (((levels >> i) & 1) ? "=H" : "=L");
        }
        return text;
    }
    const std::uint8_t b = sensor ? Cell(cells, 0) : Cell(cells, 1);
    const int input = (b >> 2) & 15;
    std::string text;
    if (input < 8)
        text = "input " + std::to_string(input + 1);
    else if (input == 8)
        text = "motor error";
    else if (input == 9)
        text = "in position";
    static const char* const kEdges[] = {"=low", "=high", "=falling edge", "=rising edge"};
    return text + kEdges[b & 3];
}

std::string DescribeCommand(const CGraphicProgram& program, std::uint16_t line, std::uint8_t id,
                            std::span<const std::uint8_t> cells)
{
    switch (id) {
    case kCmdNoOperation: return std::string();
    case kCmdJump: return "Jump to " + TargetText(cells);
    case kCmdConditionalJump:
        return "If (" + DescribeInputCondition(From(cells, 2), false) + ") jump to " + TargetText(cells);
    case kCmdMove: return MoveText(program, cells);
    case kCmdSetPosition: {
        Values values(program, cells, 1);
        std::uint8_t flags = 0;
        const double v = values.Next(flags);
        if (Cell(cells, 0) & 1)
            return "Set position to value in reg " + FormatValueText(v + 1);
        return "Set position to " + FormatValueText(v) + " Counts";
    }
    case kCmdSavePosition: return "Save position to reg " + std::to_string(Cell(cells, 0) + 1);
    case kCmdSetOutputs: return DescribeSetOutputs(cells, true);
    case kCmdZeroSearch: {
        static const char* const kKinds[] = {"torque zero search", "sensor type 1 zero search",
                                             "sensor type 2 zero search"};
        const std::uint8_t kind = Cell(cells, 0);
        return std::string("Zero search: ") + (kind < 3 ? kKinds[kind] : "");
    }
    case kCmdWait: {
        Values values(program, cells, 0);
        std::uint8_t flags = 0;
        return "Wait " + FormatValueText(values.Next(flags)) + " ms";
    }
    case kCmdRemark: return "REM " + program.GetRemark(line);
    case kCmdSetRegister: {
        const int reg = Cell(cells, 0);
        Values values(program, cells, 1);
        return "Set " + program.RegisterName(reg) + " to " + values.WithUnit(reg);
    }
    case kCmdRegisterJump: {
        const int reg = Cell(cells, 2);
        Values values(program, cells, 4);
        return "If " + program.RegisterName(reg) + Operator(Cell(cells, 3)) + values.WithUnit(reg) + " Jump to " +
               TargetText(cells);
    }
    case kCmdSetMode: {
        // The servo motors' list holds every mode; a stepper's modes have the same numbers.
        const std::uint8_t mode = Cell(cells, 0);
        const std::vector<std::string> modes = SetModeItems(0);
        return "Set Mode: " + (mode < modes.size() ? modes[mode] : std::string());
    }
    case kCmdWaitInputs: return "Wait until " + DescribeInputCondition(cells, false);
    case kCmdWaitRegister: {
        const int reg = Cell(cells, 0);
        Values values(program, cells, 2);
        return "Wait until " + program.RegisterName(reg) + Operator(Cell(cells, 1)) + values.WithUnit(reg);
    }
    case kCmdFastCommand: {
        CellReader cursor(cells, 0);
        return "FastVEK: " + FastCommandText(GetTaggedValue(cursor));
    }
    case kCmdBinary: return "Binary command: " + BinaryText(cells);
    default: return "Descriptions not implemented for CommandID: " + std::to_string(id);
    }
}

std::string RowNumberText(std::uint32_t line)
{
    return std::to_string(static_cast<std::uint64_t>(line) + 1) + ":";
}

SRowText RowText(const CGraphicProgram& program, std::uint32_t line, std::uint8_t id,
                 std::span<const std::uint8_t> cells)
{
    SRowText row;
    row.number = RowNumberText(line);
    const std::string description =
        line <= 0xFFFF ? DescribeCommand(program, static_cast<std::uint16_t>(line), id, cells) : std::string();
    row.text = " " + description;
    row.hint = row.number + row.text;
    return row;
}

}  // namespace quenor
