#include "program/commandcells.h"

#include "platform/numtext.h"
#include "program/vizuoutput.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quenor {

namespace {

constexpr const char* kMsgSameSign = "The distances must have the same sign!";
constexpr const char* kMsgChangeFarther = "Velocity change distance must be lower than the requested distance!";
constexpr const char* kMsgChooseInput = "Please choose an input.";
constexpr const char* kMsgChooseCondition = "Please choose an input condition.";
constexpr const char* kMsgChooseOutput = "Please choose an output.";
constexpr const char* kMsgChooseOutputState = "Please choose an output state.";
constexpr const char* kMsgChooseOperator = "Please choose an operator.";
constexpr const char* kMsgChooseMode = "Please choose a mode.";
constexpr const char* kMsgChooseCommand = "Please choose a command.";

// Move flags.
constexpr std::uint8_t kMoveTypeMask = 0x07;
constexpr std::uint8_t kMoveDistanceRegister = 0x08;
constexpr std::uint8_t kMoveSecondRegister = 0x10;
constexpr std::uint8_t kMoveWait = 0x20;

std::uint8_t Cell(std::span<const std::uint8_t> cells, std::size_t i)
{
    return i < cells.size() ? cells[i] : 0;
}

// An index read from the cells that must name one of count items.
int Item(int index, int count)
{
    return index >= 0 && index < count ? index : -1;
}

CommandCheck Refuse(CommandField field, std::string message)
{
    return CommandCheck{field, std::move(message)};
}

CommandCheck CheckNumber(const std::string& text, CommandField field)
{
    if (!NumberFromText(text))
        return Refuse(field, NotANumberMessage(text));
    return {};
}

CommandCheck CheckDistance(const SDistanceChoice& choice, CommandField field)
{
    if (choice.item >= 0 && choice.item < 3)
        return {};
    return CheckNumber(choice.text, field);
}

void LoadDistance(SDistanceChoice& choice, double value, bool registerChoice)
{
    if (registerChoice) {
        // A variable the list does not offer is not turned into a count.
        const double index = std::trunc(value);
        choice.item = index >= 0 && index < 3 ? static_cast<int>(index) : -1;
        choice.text = choice.item >= 0 ? "Register " + std::to_string(choice.item + 1) : std::string();
    } else {
        choice.item = -1;
        choice.text = NumberText(value);
    }
}

bool PutDistance(CellWriter& w, const SDistanceChoice& choice)
{
    if (choice.item >= 0)
        return PutTaggedValue(w, 0, choice.item);
    return PutTaggedValue(w, 0, *NumberFromText(choice.text));
}

// Writes through a scratch block, so that a failed write leaves the cells alone.
template <typename Write>
bool WriteCells(std::span<std::uint8_t> cells, Write write)
{
    std::vector<std::uint8_t> scratch(cells.begin(), cells.end());
    CellWriter w(scratch);
    if (!write(w))
        return false;
    std::copy(scratch.begin(), scratch.end(), cells.begin());
    return true;
}

}  // namespace

std::optional<double> NumberFromText(std::string_view text)
{
    return ParseDouble(text);
}

std::string NotANumberMessage(std::string_view text)
{
    // Built front to back (GCC 12 warns wrongly about a string inserted at its front).
    std::string m = "'";
    m.append(text).append("' is not a valid number.");
    return m;
}

std::string NumberText(double value)
{
    return FormatValueText(value);
}

// --- Input condition ---------------------------------------------------------

void LoadCondition(SInputConditionState& state, std::span<const std::uint8_t> cells, bool sensor)
{
    if (sensor) {
        state.style = 0;
        state.condition = Cell(cells, 0) & 3;
        state.input = Item((Cell(cells, 0) >> 2) & 15, kConditionInputs);
        return;
    }
    state.style = Cell(cells, 0) & 1;
    if (state.style == 0) {
        state.condition = Cell(cells, 1) & 3;
        state.input = Item((Cell(cells, 1) >> 2) & 15, kConditionInputs);
        return;
    }
    const unsigned levels = Cell(cells, 1) | ((Cell(cells, 2) & 3u) << 8);
    const unsigned care = ((Cell(cells, 2) >> 2) & 63u) | ((Cell(cells, 3) & 15u) << 6);
    state.andOr = (Cell(cells, 3) >> 7) & 1;
    for (int i = 0; i < kConditionInputs; ++i) {
        if (!((care >> i) & 1))
            state.rows[i] = kRowDontCare;
        else
            state.rows[i] = ((levels >> i) & 1) ? kRowHigh : kRowLow;
    }
}

CommandCheck CheckCondition(const SInputConditionState& state, bool sensor)
{
    if (state.style == 1 && !sensor)
        return {};
    if (state.input < 0 || state.input >= kConditionInputs)
        return Refuse(CommandField::Input, kMsgChooseInput);
    if (state.condition < 0 || state.condition > 3)
        return Refuse(CommandField::Condition, kMsgChooseCondition);
    return {};
}

bool SaveCondition(const SInputConditionState& state, CellWriter& cursor, bool sensor)
{
    if (CheckCondition(state, sensor))
        return false;
    const auto single = static_cast<std::uint8_t>(state.input * 4 + state.condition);
    if (sensor)
        return cursor.PutByte(single);
    if (state.style == 0)
        return cursor.PutBytes(std::array<std::uint8_t, 2>{0, single});
    unsigned levels = 0, care = 0;
    for (int i = 0; i < kConditionInputs; ++i) {
        if (state.rows[i] == kRowDontCare)
            continue;
        care |= 1u << i;
        if (state.rows[i] == kRowHigh)
            levels |= 1u << i;
    }
    const std::array<std::uint8_t, 4> bytes{1, static_cast<std::uint8_t>(levels & 0xFF),
                                            static_cast<std::uint8_t>((care & 63) * 4 + (levels >> 8)),
                                            static_cast<std::uint8_t>((care >> 6) + (state.andOr ? 128 : 0))};
    return cursor.PutBytes(bytes);
}

// --- Output element -----------------------------------------------------------

int OutputCountOfKind(int kind)
{
    if (kind == 0 || kind == 1)
        return 4;
    if (kind == 2)
        return 8;
    return 0;
}

void LoadOutputElement(SOutputState& state, std::span<const std::uint8_t> cells)
{
    if (Cell(cells, 0) != 0) {
        state.style = 1;
        const std::uint8_t levels = Cell(cells, 1), mask = Cell(cells, 2);
        for (int i = 0; i < kMaxOutputs; ++i)
            state.rows[i] = !((mask >> i) & 1) ? kRowDontCare : ((levels >> i) & 1) ? kRowHigh : kRowLow;
        return;
    }
    state.style = 0;
    state.number = Item(Cell(cells, 1) & 7, state.count);
    state.mode = (Cell(cells, 1) >> 3) & 3;
    if (state.mode >= kOutputLowPulse) {
        CellReader r(cells, 2);
        (state.mode == kOutputLowPulse ? state.lowPulse : state.highPulse) = NumberText(GetTaggedValue(r));
    }
}

CommandCheck CheckOutputElement(const SOutputState& state)
{
    if (state.style == 1)
        return {};
    if (state.number < 0 || state.number >= state.count)
        return Refuse(CommandField::Output, kMsgChooseOutput);
    if (state.mode < 0 || state.mode > 3)
        return Refuse(CommandField::OutputMode, kMsgChooseOutputState);
    if (state.mode == kOutputLowPulse)
        return CheckNumber(state.lowPulse, CommandField::LowPulse);
    if (state.mode == kOutputHighPulse)
        return CheckNumber(state.highPulse, CommandField::HighPulse);
    return {};
}

bool SaveOutputElement(const SOutputState& state, CellWriter& cursor)
{
    if (CheckOutputElement(state))
        return false;
    SOutputElement element;
    element.kind = static_cast<std::uint8_t>(state.style);
    if (state.style == 1) {
        // Every row, the hidden ones too: outputs a motor with fewer outputs
        // does not show keep what the line had.
        for (int i = 0; i < kMaxOutputs; ++i) {
            if (state.rows[i] == kRowDontCare)
                continue;
            element.mask |= static_cast<std::uint8_t>(1u << i);
            if (state.rows[i] == kRowHigh)
                element.levels |= static_cast<std::uint8_t>(1u << i);
        }
    } else {
        element.number = static_cast<std::uint8_t>(state.number);
        element.mode = static_cast<std::uint8_t>(state.mode);
        if (element.HasPulse())
            element.pulse.value = *NumberFromText(state.mode == kOutputLowPulse ? state.lowPulse : state.highPulse);
    }
    return PutOutput(cursor, element);
}

// --- Move ---------------------------------------------------------------------

void LoadMove(SMoveState& state, SOutputState& output, SInputConditionState& input, std::span<const std::uint8_t> cells)
{
    const std::uint8_t flags = Cell(cells, 0);
    state.type = flags & kMoveTypeMask;
    if (state.type > 4)
        state.type = 0;
    state.waitForInPosition = (flags & kMoveWait) != 0;
    CellReader r(cells, 1);
    state.acceleration = NumberText(GetTaggedValue(r));
    state.velocity = NumberText(GetTaggedValue(r));
    LoadDistance(state.distance, GetTaggedValue(r), (flags & kMoveDistanceRegister) != 0);
    switch (state.type) {
    case 1:
        state.waitForInPosition = true;
        LoadDistance(state.changeDistance, GetTaggedValue(r), (flags & kMoveSecondRegister) != 0);
        state.newVelocity = NumberText(GetTaggedValue(r));
        break;
    case 2:
        state.waitForInPosition = true;
        LoadOutputElement(output, cells.subspan(std::min(r.pos, cells.size())));
        break;
    case 4:
        state.waitForInPosition = true;
        LoadDistance(state.safetyDistance, GetTaggedValue(r), (flags & kMoveSecondRegister) != 0);
        LoadCondition(input, cells.subspan(std::min(r.pos, cells.size())), true);
        break;
    default: break;
    }
}

CommandCheck CheckMove(const SMoveState& state, const SOutputState& output, const SInputConditionState& input)
{
    if (CommandCheck c = CheckDistance(state.distance, CommandField::Distance))
        return c;
    if (CommandCheck c = CheckNumber(state.acceleration, CommandField::Acceleration))
        return c;
    if (CommandCheck c = CheckNumber(state.velocity, CommandField::Velocity))
        return c;
    switch (state.type) {
    case 1: {
        if (CommandCheck c = CheckDistance(state.changeDistance, CommandField::ChangeDistance))
            return c;
        if (CommandCheck c = CheckNumber(state.newVelocity, CommandField::NewVelocity))
            return c;
        // Sign and size compare two counts; a register's content is unknown here.
        if (state.distance.item >= 0 || state.changeDistance.item >= 0)
            break;
        const double distance = *NumberFromText(state.distance.text);
        const double change = *NumberFromText(state.changeDistance.text);
        if ((change < 0) != (distance < 0))
            return Refuse(CommandField::Distance, kMsgSameSign);
        if ((distance < 0 && distance > change) || (distance >= 0 && distance < change))
            return Refuse(CommandField::Distance, kMsgChangeFarther);
        break;
    }
    case 2: return CheckOutputElement(output);
    case 4:
        if (CommandCheck c = CheckDistance(state.safetyDistance, CommandField::SafetyDistance))
            return c;
        return CheckCondition(input, true);
    default: break;
    }
    return {};
}

bool SaveMove(const SMoveState& state, const SOutputState& output, const SInputConditionState& input,
              std::span<std::uint8_t> cells)
{
    if (state.type < 0 || state.type > 4 || CheckMove(state, output, input))
        return false;
    return WriteCells(cells, [&](CellWriter& w) {
        auto flags = static_cast<std::uint8_t>(state.type);
        if (state.type == 1 || state.type == 2 || state.type == 4 || state.waitForInPosition)
            flags |= kMoveWait;
        if (state.distance.item >= 0)
            flags |= kMoveDistanceRegister;
        if ((state.type == 1 && state.changeDistance.item >= 0) || (state.type == 4 && state.safetyDistance.item >= 0))
            flags |= kMoveSecondRegister;
        if (!w.PutByte(flags) || !PutTaggedValue(w, 0, *NumberFromText(state.acceleration)) ||
            !PutTaggedValue(w, 0, *NumberFromText(state.velocity)) || !PutDistance(w, state.distance))
            return false;
        switch (state.type) {
        case 1: return PutDistance(w, state.changeDistance) && PutTaggedValue(w, 0, *NumberFromText(state.newVelocity));
        case 2: return SaveOutputElement(output, w);
        case 4: return PutDistance(w, state.safetyDistance) && SaveCondition(input, w, true);
        default: return true;
        }
    });
}

// --- Set register and register condition ---------------------------------------

std::optional<std::int64_t> RegisterNumberFromText(std::string_view text)
{
    const std::size_t dash = text.find(" - ");
    return ParseInteger(dash == std::string_view::npos ? text : text.substr(0, dash));
}

std::string RegisterText(const std::vector<std::string>& entries, int reg)
{
    const std::string prefix = std::to_string(reg) + " - ";
    for (const std::string& entry : entries)
        if (entry.compare(0, prefix.size(), prefix) == 0)
            return entry;
    return std::to_string(reg);
}

void LoadRegister(SRegisterState& state, std::span<const std::uint8_t> cells, bool withOperator,
                  const std::vector<std::string>& entries)
{
    if (withOperator)
        state.op = Item(Cell(cells, 1), 6);
    state.reg = RegisterText(entries, Cell(cells, 0));
    CellReader r(cells, withOperator ? 2 : 1);
    std::uint8_t flags = 0;
    state.value = NumberText(GetTaggedValue(r, flags));
    state.unit = flags;
}

CommandCheck CheckRegister(const SRegisterState& state, bool withOperator)
{
    const std::optional<std::int64_t> reg = RegisterNumberFromText(state.reg);
    if (!reg || *reg < 0 || *reg > 255)
        return Refuse(CommandField::Register, "'" + state.reg + "' is not a valid register number (0 to 255).");
    if (withOperator && (state.op < 0 || state.op > 5))
        return Refuse(CommandField::Operator, kMsgChooseOperator);
    return CheckNumber(state.value, CommandField::Value);
}

bool SaveRegister(const SRegisterState& state, std::span<std::uint8_t> cells, bool withOperator,
                  CVekParameterList* registers)
{
    if (CheckRegister(state, withOperator))
        return false;
    const auto reg = static_cast<std::uint8_t>(*RegisterNumberFromText(state.reg));
    const std::uint8_t unit = state.unit > 0 && state.unit < 16 ? static_cast<std::uint8_t>(state.unit) : 0;
    const bool ok = WriteCells(cells, [&](CellWriter& w) {
        return w.PutByte(reg) && (!withOperator || w.PutByte(static_cast<std::uint8_t>(state.op))) &&
               PutTaggedValue(w, unit, *NumberFromText(state.value));
    });
    if (ok && registers)
        registers->SetUnitIndex(reg, unit);
    return ok;
}

// --- Position ------------------------------------------------------------------

void SetPositionMode(SPositionState& state, int mode)
{
    state.mode = mode;
    if (mode == 0 && (state.item < 0 || state.item > 2))
        state.item = 0;
}

void LoadPosition(SPositionState& state, std::span<const std::uint8_t> cells)
{
    if (state.mode == 0) {
        state.item = Item(Cell(cells, 0), 3);
        return;
    }
    CellReader r(cells, 1);
    const double value = GetTaggedValue(r);
    if (Cell(cells, 0) & 1) {
        SDistanceChoice choice;
        LoadDistance(choice, value, true);
        state.item = choice.item;
        state.text = choice.text;
    } else {
        state.item = -1;
        state.text = NumberText(value);
    }
}

CommandCheck CheckPosition(const SPositionState& state)
{
    if (state.item >= 0 && state.item < 3)
        return {};
    if (state.mode == 0)
        return Refuse(CommandField::Position, "Please choose a register.");
    return CheckNumber(state.text, CommandField::Position);
}

bool SavePosition(const SPositionState& state, std::span<std::uint8_t> cells)
{
    if (CheckPosition(state))
        return false;
    return WriteCells(cells, [&](CellWriter& w) {
        if (state.mode == 0)
            return w.PutByte(static_cast<std::uint8_t>(state.item));
        if (state.item >= 0)
            return w.PutByte(1) && PutTaggedValue(w, 0, state.item);
        return w.PutByte(0) && PutTaggedValue(w, 0, *NumberFromText(state.text));
    });
}

// --- Zero search and set mode ------------------------------------------------------

std::vector<std::string> ZeroSearchItems(int kind)
{
    if (kind == 2)
        return {"Sensor type 1 zero search", "Sensor type 2 zero search"};
    return {"Torque zero search", "Sensor type 1 zero search", "Sensor type 2 zero search"};
}

std::vector<std::string> SetModeItems(int kind)
{
    if (kind == 2)
        return {"Passive", "Velocity", "Position"};
    return {"Passive",
            "Velocity",
            "Position",
            "Analogue velocity",
            "Analogue velocity (with deadband)",
            "Velocity/analogue torque",
            "Analogue position"};
}

void LoadZeroSearch(SChoiceState& state, std::span<const std::uint8_t> cells)
{
    // The stepper list starts at type 1, so the stored type is the same for both kinds.
    const int shift = state.kind == 2 ? 1 : 0;
    state.item = Item(Cell(cells, 0) - shift, static_cast<int>(ZeroSearchItems(state.kind).size()));
}

CommandCheck CheckZeroSearch(const SChoiceState& state)
{
    if (Item(state.item, static_cast<int>(ZeroSearchItems(state.kind).size())) < 0)
        return Refuse(CommandField::Mode, kMsgChooseMode);
    return {};
}

bool SaveZeroSearch(const SChoiceState& state, std::span<std::uint8_t> cells)
{
    if (CheckZeroSearch(state) || cells.empty())
        return false;
    cells[0] = static_cast<std::uint8_t>(state.item + (state.kind == 2 ? 1 : 0));
    return true;
}

void LoadSetMode(SChoiceState& state, std::span<const std::uint8_t> cells)
{
    state.item = Item(Cell(cells, 0), static_cast<int>(SetModeItems(state.kind).size()));
}

CommandCheck CheckSetMode(const SChoiceState& state)
{
    if (Item(state.item, static_cast<int>(SetModeItems(state.kind).size())) < 0)
        return Refuse(CommandField::Mode, kMsgChooseMode);
    return {};
}

bool SaveSetMode(const SChoiceState& state, std::span<std::uint8_t> cells)
{
    if (CheckSetMode(state) || cells.empty())
        return false;
    cells[0] = static_cast<std::uint8_t>(state.item);
    return true;
}

// --- Wait time -----------------------------------------------------------------------

void LoadWaitTime(std::string& text, std::span<const std::uint8_t> cells)
{
    CellReader r(cells);
    text = NumberText(GetTaggedValue(r));
}

CommandCheck CheckWaitTime(const std::string& text)
{
    return CheckNumber(text, CommandField::Time);
}

bool SaveWaitTime(const std::string& text, std::span<std::uint8_t> cells)
{
    if (CheckWaitTime(text))
        return false;
    return WriteCells(cells, [&](CellWriter& w) { return PutTaggedValue(w, 0, *NumberFromText(text)); });
}

// --- Fast command ----------------------------------------------------------------------

const SFastCommandItem kFastCommandItems[20] = {
    {0x00, "NOP"},
    {0x01, "Reset error"},
    {0x02, "P_SOLL=0 and IN_POS=0"},
    {0x03, "P_IST=0"},
    {0x04, "P_FNC=0 and IN_POS=0"},
    {0x05, "V_SOLL=0"},
    {0x06, "T_SOLL=0"},
    {0x07, "IN_POS-flag=0"},
    {0x08, "Move to P_IST + P7 (rel. mode)"},
    {0x09, "Move to P_IST + P8 (rel. mode)"},
    {0x0C, "Use register set 1"},
    {0x0D, "Use register set 2"},
    {0x0E, "Use register set 3"},
    {0x0F, "Use register set 4"},
    {0x10, "Home search"},
    {0x11, "Move to P_IST + P7 (abs. mode)"},
    {0x12, "Move to P_IST + P8 (abs. mode)"},
    {0x14, "Use absolute positioning"},
    {0x15, "Use rel. positioning (P_SOLL)"},
    {0x16, "Use rel. positioning (P_FNC)"},
};

std::string FastCommandItemText(const SFastCommandItem& item)
{
    char code[4];
    std::snprintf(code, sizeof code, "%02X", static_cast<unsigned>(item.code));
    return std::string(code) + " - " + item.text;
}

int FastNumberCount(int registerType)
{
    return registerType < 2 ? 8 : 4;
}

std::uint8_t EncodeFastCommand(const SFastCommandState& state)
{
    unsigned b = static_cast<unsigned>(state.mode & 3) * 32;
    if ((state.mode & 3) == 3) {
        if (state.command >= 0 && state.command < static_cast<int>(std::size(kFastCommandItems)))
            b += kFastCommandItems[state.command].code & 0x1F;
    } else {
        const int r = state.registerType < 0 || state.registerType > 5 ? 0 : state.registerType;
        const int k = std::max(0, std::min(state.number, FastNumberCount(r) - 1));
        b += r < 2 ? static_cast<unsigned>(k + 8 * r) : static_cast<unsigned>(k + 4 * (r + 2));
    }
    return static_cast<std::uint8_t>(b & 0x7F);
}

void DecodeFastCommand(SFastCommandState& state, std::uint8_t b)
{
    state.mode = (b >> 5) & 3;
    if (state.mode < 3) {
        if (b & 0x10) {
            state.registerType = ((b >> 2) & 3) + 2;
            state.number = b & 3;
        } else {
            state.registerType = (b >> 3) & 1;
            state.number = b & 7;
        }
        return;
    }
    state.command = -1;
    for (int i = 0; i < static_cast<int>(std::size(kFastCommandItems)); ++i)
        if (kFastCommandItems[i].code == (b & 0x1F)) {
            state.command = i;
            break;
        }
}

void LoadFastCommand(SFastCommandState& state, std::span<const std::uint8_t> cells)
{
    CellReader r(cells);
    const double value = GetTaggedValue(r);
    // Truncated, its low byte taken, as the code generator does.
    const double whole = std::isfinite(value) ? std::trunc(std::fmod(value, 256.0)) : 0.0;
    const auto b = static_cast<std::uint8_t>(static_cast<int>(whole) & 0xFF);
    DecodeFastCommand(state, b);
}

CommandCheck CheckFastCommand(const SFastCommandState& state)
{
    if (state.mode == 3 && (state.command < 0 || state.command >= static_cast<int>(std::size(kFastCommandItems))))
        return Refuse(CommandField::Command, kMsgChooseCommand);
    return {};
}

bool SaveFastCommand(const SFastCommandState& state, std::span<std::uint8_t> cells)
{
    if (CheckFastCommand(state))
        return false;
    return WriteCells(cells, [&](CellWriter& w) { return PutTaggedValue(w, 0, EncodeFastCommand(state)); });
}

// --- Binary command ---------------------------------------------------------------------

std::optional<std::vector<std::uint8_t>> ParseBinaryCode(std::string_view text)
{
    std::vector<std::uint8_t> bytes;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        std::string_view piece = text.substr(start, comma == std::string_view::npos ? text.npos : comma - start);
        while (!piece.empty() && (piece.front() == ' ' || piece.front() == '\t'))
            piece.remove_prefix(1);
        bool negative = false;
        if (!piece.empty() && (piece.front() == '-' || piece.front() == '+')) {
            negative = piece.front() == '-';
            piece.remove_prefix(1);
        }
        int base = 10;
        if (piece.size() > 2 && piece[0] == '0' && (piece[1] == 'x' || piece[1] == 'X')) {
            base = 16;
            piece.remove_prefix(2);
        }
        if (piece.empty())
            return std::nullopt;
        // A 32-bit integer, as the module's code generator knew them; leading
        // zeros do not count, however many there are.
        const std::uint64_t limit = base == 16 ? 0xFFFFFFFFull : 0x7FFFFFFFull + (negative ? 1 : 0);
        std::uint64_t value = 0;
        for (const char ch : piece) {
            int digit;
            if (ch >= '0' && ch <= '9')
                digit = ch - '0';
            else if (base == 16 && ch >= 'a' && ch <= 'f')
                digit = ch - 'a' + 10;
            else if (base == 16 && ch >= 'A' && ch <= 'F')
                digit = ch - 'A' + 10;
            else
                return std::nullopt;
            value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
            if (value > limit)
                return std::nullopt;
        }
        const std::uint64_t byte = negative ? (0 - value) : value;
        bytes.push_back(static_cast<std::uint8_t>(byte & 0xFF));
        if (bytes.size() > kMaxBinaryCommandBytes)
            return std::nullopt;
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    return bytes;
}

std::string BinaryCodeText(std::span<const std::uint8_t> bytes)
{
    std::string text;
    char piece[8];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(piece, sizeof piece, "%s0x%02X", i ? ", " : "", static_cast<unsigned>(bytes[i]));
        text += piece;
    }
    return text;
}

void LoadBinaryCode(std::string& text, std::span<const std::uint8_t> cells)
{
    std::size_t n = Cell(cells, 0);
    n = std::min({n, kMaxBinaryCommandBytes, cells.empty() ? std::size_t{0} : cells.size() - 1});
    text = BinaryCodeText(cells.empty() ? cells : cells.subspan(1, n));
}

CommandCheck CheckBinaryCode(const std::string& text)
{
    if (!ParseBinaryCode(text))
        return Refuse(CommandField::Code, kMsgInvalidValue);
    return {};
}

bool SaveBinaryCode(const std::string& text, std::span<std::uint8_t> cells)
{
    const std::optional<std::vector<std::uint8_t>> bytes = ParseBinaryCode(text);
    if (!bytes || cells.size() < bytes->size() + 1)
        return false;
    cells[0] = static_cast<std::uint8_t>(bytes->size());
    std::copy(bytes->begin(), bytes->end(), cells.begin() + 1);
    return true;
}

}  // namespace quenor
