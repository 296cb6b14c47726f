#include "program/vizucode.h"

#include "platform/datapaths.h"
#include "platform/savefile.h"
#include "program/bytestream.h"
#include "program/vizuoutput.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

namespace quenor {

namespace {

// Module variables and motor registers the generator uses.
constexpr std::uint8_t kVarTimer0 = 10;     // timer t at 10 + 2t (16 bits)
constexpr std::uint8_t kVarPosition0 = 32;  // position variable n at 32 + 4n
constexpr std::uint8_t kRegMode = 2;
constexpr std::uint8_t kRegRequestedPosition = 3;
constexpr std::uint8_t kRegVelocity = 5;
constexpr std::uint8_t kRegAcceleration = 6;
constexpr std::uint8_t kRegActualPosition = 10;
constexpr std::uint8_t kRegStartMode = 37;
constexpr std::uint8_t kRegPosition1 = 49;
constexpr std::uint8_t kRegPosition7 = 61;

constexpr std::uint8_t kFastRelativeMove = 64;
constexpr std::uint8_t kFastWaitMove = 96;
constexpr std::uint8_t kFastSensorStop = 104;
constexpr std::uint8_t kFastAbsoluteRelative = 117;
constexpr std::uint8_t kFastEndlessRelative = 118;
constexpr std::uint8_t kFastSetPosition = 119;

constexpr std::uint8_t kTestInPositionHigh = 0x19;  // in position (9), high level

constexpr std::uint32_t kLongJumpSize = 3;

std::uint8_t PositionRegister(int kind)
{
    switch (kind) {
    case 1: return 4;
    case 2: return 144;
    default: return 163;
    }
}


bool IsBinaryOperator(std::uint8_t op)
{
    return op < kOpIncrement && op != kOpNotZero;
}

std::string Hex(unsigned value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

const char* TypeText(unsigned type)
{
    static const char* const kTexts[4] = {"8 bit unsigned", "16 bit unsigned", "16 bit signed", "32 bit signed"};
    return kTexts[type & 3];
}

const char* OperatorName(std::uint8_t op)
{
    switch (op) {
    case kOpAdd: return "Addition";
    case kOpSubtract: return "Subtract";
    case kOpMultiply: return "Multiplication";
    case kOpDivide: return "Division";
    case kOpBinaryOr: return "Binary OR";
    case kOpBinaryAnd: return "Binary AND";
    case kOpBinaryXor: return "Binary XOR";
    case kOpMod: return "MOD";
    case kOpAnd: return "AND";
    case kOpOr: return "OR";
    case kOpXor: return "XOR";
    case kOpNot: return "Not";
    case kOpNotZero: return "Not Zero";
    case kOpGreater: return "Greater than";
    case kOpLess: return "Less than";
    case kOpGreaterEqual: return "Greater than or equal";
    case kOpLessEqual: return "Less than or equal";
    case kOpEqual: return "Equal";
    case kOpNotEqual: return "Not equal";
    case kOpIncrement: return "Increment";
    case kOpDecrement: return "Decrement";
    case kOpNegate: return "Negation";
    case kOpConvertSize: return "Convert Size";
    case kOpBinaryNot: return "Binary Not";
    case kOpShiftLeft: return "Shift left";
    case kOpShiftRight: return "Shift right";
    default: return "Unknown";
    }
}

const char* ConditionText(unsigned c)
{
    switch (c) {
    case kJumpAlways: return "Always";
    case kJumpFalse: return "False";
    case kJumpTrue: return "True";
    default: return "Unknown";
    }
}

std::uint8_t At(const std::vector<std::uint8_t>& bytes, std::size_t i)
{
    return i < bytes.size() ? bytes[i] : 0;
}

}  // namespace

TVizuCode::TVizuCode(std::uint32_t n, std::string logPath)
    : n_(n), logPath_(std::move(logPath)), first_(static_cast<std::size_t>(n) + 1, -1)
{
    WriteLog(true);
}

std::string TVizuCode::DefaultLogPath()
{
    return UserDataFile("VizuWare!.Log");
}

// --- Bookkeeping --------------------------------------------------------------

void TVizuCode::Fault(const std::string& text)
{
    if (error_.empty())
        error_ = text;
}

SCodeElement& TVizuCode::Emit(std::uint32_t e, std::vector<std::uint8_t> bytes)
{
    if (e > n_) {
        Fault("Internal error: code for element " + std::to_string(e) + " beyond the program end " +
              std::to_string(n_));
        e = n_;
    }
    SCodeElement element;
    element.originalIndex = e;
    element.address = running_;
    element.bytes = std::move(bytes);
    running_ += static_cast<std::uint32_t>(element.bytes.size());
    size_ = running_;
    if (first_[e] < 0)
        first_[e] = static_cast<std::int32_t>(elements_.size());
    elements_.push_back(std::move(element));
    return elements_.back();
}

void TVizuCode::Push(std::uint8_t type)
{
    types_.push_back(type);
}

std::uint8_t TVizuCode::Pop()
{
    if (types_.empty()) {
        Fault("Internal error: the code generator's type stack is empty");
        return kType8Unsigned;
    }
    const std::uint8_t type = types_.back();
    types_.pop_back();
    return type;
}

std::uint8_t TVizuCode::Top()
{
    if (types_.empty()) {
        Fault("Internal error: the code generator's type stack is empty");
        return kType8Unsigned;
    }
    return types_.back();
}

int TVizuCode::FirstIndex(std::uint32_t e) const
{
    return e < first_.size() ? first_[e] : -1;
}

std::uint32_t TVizuCode::ElementStart(std::uint32_t e) const
{
    const int i = FirstIndex(e);
    return i < 0 ? running_ : elements_[static_cast<std::size_t>(i)].address;
}

std::uint32_t TVizuCode::OffsetInElement(std::uint32_t e) const
{
    return running_ - ElementStart(e);
}

// --- Basic emitters -------------------------------------------------------------

void TVizuCode::AddCommand(std::uint32_t e, std::uint8_t command, std::uint8_t b1, std::uint8_t b2,
                           std::uint8_t b3)
{
    switch (command) {
    case kCodeEnd:
    case kCodeWaitInPosition:
    case kCodeWaitNotInPosition:
    case kCodeClearEdges:
    case kCodeFastCommandFromStack: Emit(e, {command}); break;
    case kCodeTestInputs:
        Emit(e, {command, b1, b2, b3});
        Push(kType8Unsigned);
        break;
    case kCodeTestInput:
        Emit(e, {command, b1});
        Push(kType8Unsigned);
        break;
    case kCodeFastCommand:
    case kCodeSetOutput: Emit(e, {command, b1}); break;
    default: Emit(e, {}); break;
    }
}

std::uint8_t TVizuCode::ImmediateSize(std::int32_t value)
{
    if (value >= 0 && value <= 255)
        return 0;
    if (value >= -32768 && value <= 32767)
        return 2;
    return 3;
}

void TVizuCode::AddLoadImmediate(std::uint32_t e, std::int32_t value, std::uint8_t type)
{
    const std::uint8_t size = ImmediateSize(value);
    if (type == kTypeTop)
        type = size;
    type &= 3;
    const auto u = static_cast<std::uint32_t>(value);
    std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(0x20 + size * 4 + type),
                                    static_cast<std::uint8_t>(u & 0xFF)};
    if (size >= 1)
        bytes.push_back(static_cast<std::uint8_t>((u >> 8) & 0xFF));
    if (size == 3) {
        bytes.push_back(static_cast<std::uint8_t>((u >> 16) & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(u >> 24));
    }
    Emit(e, std::move(bytes));
    Push(type);
}

void TVizuCode::AddOperator(std::uint32_t e, std::uint8_t op, std::uint8_t left, std::uint8_t right)
{
    if (IsBinaryOperator(op)) {
        if (right == kTypeTop)
            right = Top();
        Pop();
    } else {
        right = 0;
    }
    if (left == kTypeTop)
        left = Top();
    Pop();
    left &= 3;
    right &= 3;
    std::uint8_t result = left;
    if (op <= kOpMod)
        result = std::max(left, right);
    else if ((op >= kOpAnd && op <= kOpNotZero) || (op >= kOpGreater && op <= kOpNotEqual))
        result = kType8Unsigned;
    Push(result);
    Emit(e, {static_cast<std::uint8_t>(0x30 + right * 4 + left), op});
}

void TVizuCode::AddLoadStore(std::uint32_t e, bool store, bool variable, std::uint8_t address, std::uint8_t type,
                             bool bit4)
{
    if (store) {
        if (type == kTypeTop)
            type = Top();
        Pop();
    } else {
        if (type == kTypeTop)
            type = kType32Signed;
        if (!variable && type == kType8Unsigned)
            type = kType16Signed;
        Push(type & 3);
    }
    type &= 3;
    Emit(e, {static_cast<std::uint8_t>(0x40 + (bit4 ? 16 : 0) + (store ? 8 : 0) + (variable ? 4 : 0) + type),
             address});
}

void TVizuCode::AddStackLoadStore(std::uint32_t e, bool store, bool top, std::uint8_t position, std::uint8_t type,
                                  bool bit4)
{
    if (type == kTypeTop)
        type = Top();
    type &= 3;
    if (store)
        Pop();
    else
        Push(type);
    const auto opcode = static_cast<std::uint8_t>(0x60 + (bit4 ? 16 : 0) + (store ? 8 : 0) + (top ? 4 : 0) + type);
    if (top)
        Emit(e, {opcode});
    else
        Emit(e, {opcode, position});
}

std::size_t TVizuCode::AddJumpTo(std::uint32_t e, std::uint8_t condition, std::uint32_t target,
                                 std::uint32_t offset)
{
    if (condition != kJumpAlways)
        Pop();
    SCodeElement& jump = Emit(e, {static_cast<std::uint8_t>(0x88 + 2 * condition + 1), 0, 0});
    jump.jump = true;
    jump.target = target;
    jump.targetOffset = offset;
    return elements_.size() - 1;
}

void TVizuCode::AddEndOfProgram(std::uint32_t e)
{
    AddCommand(e, kCodeEnd);
}

void TVizuCode::SetJumpTarget(std::size_t index, std::uint32_t target, std::uint32_t offset)
{
    if (index >= elements_.size() || !elements_[index].jump) {
        Fault("Internal error: no jump to re-aim");
        return;
    }
    elements_[index].target = target;
    elements_[index].targetOffset = offset;
}

// --- Composite emitters ----------------------------------------------------------

void TVizuCode::AddJump(std::uint32_t e, std::uint32_t target)
{
    AddJumpTo(e, kJumpAlways, target, 0);
}

void TVizuCode::AddInputJump(std::uint32_t e, std::uint32_t target, std::uint8_t condition, std::uint8_t input)
{
    AddTestInput(e, condition, input);
    AddJumpTo(e, kJumpTrue, target, 0);
}

void TVizuCode::AddInputsJump(std::uint32_t e, std::uint32_t target, bool orCondition, std::uint16_t levels,
                              std::uint16_t mask)
{
    AddTestInputs(e, orCondition, levels, mask);
    AddJumpTo(e, kJumpTrue, target, 0);
}

void TVizuCode::AddWaitInput(std::uint32_t e, std::uint8_t input, std::uint8_t condition, std::uint32_t offset)
{
    if (condition == 2 || condition == 3) {
        // An edge condition tests once first; the wait loops on the second test.
        const std::uint32_t before = running_;
        AddTestInput(e, condition, input);
        offset += running_ - before;
    }
    AddTestInput(e, condition, input);
    AddJumpTo(e, kJumpFalse, e, offset);
}

void TVizuCode::AddWaitInputs(std::uint32_t e, bool orCondition, std::uint16_t levels, std::uint16_t mask)
{
    AddTestInputs(e, orCondition, levels, mask);
    AddJumpTo(e, kJumpFalse, e, 0);
}

std::uint8_t TVizuCode::PositionVariable(std::int32_t n)
{
    if (!PositionVariableFits(n)) {
        Fault("Position variable " + std::to_string(n) + " does not exist (position variables 0 to " +
              std::to_string(kPositionVariableCount - 1) + ")");
        return kVarPosition0;
    }
    return static_cast<std::uint8_t>(kVarPosition0 + 4 * n);
}

void TVizuCode::LoadDistance(std::uint32_t e, std::int32_t value, bool fromVariable)
{
    if (fromVariable)
        AddLoadStore(e, false, true, PositionVariable(value), kType32Signed);
    else
        AddLoadImmediate(e, value, kTypeTop);
}

void TVizuCode::AddSetPosition(std::uint32_t e, bool fromVariable, std::int32_t value)
{
    LoadDistance(e, value, fromVariable);
    AddLoadStore(e, true, false, PositionRegister(motorKind_), kTypeTop);
    AddFastCommand(e, kFastSetPosition);
}

void TVizuCode::AddSavePosition(std::uint32_t e, std::uint8_t n)
{
    AddLoadStore(e, false, false, kRegActualPosition, kType32Signed);
    AddLoadStore(e, true, true, PositionVariable(n), kTypeTop);
}

void TVizuCode::AddOutputs(std::uint32_t e, std::uint8_t output, std::uint8_t mode, std::int32_t time)
{
    const auto timer = static_cast<std::uint8_t>(output & 3);
    switch (mode) {
    case kOutputLow: AddSetOutput(e, output, 0); break;
    case kOutputHigh: AddSetOutput(e, output, 1); break;
    case kOutputLowPulse:
        AddSetOutput(e, output, 0);
        AddStartTimer(e, timer, time);
        AddWaitTimer(e, timer);
        AddSetOutput(e, output, 1);
        break;
    case kOutputHighPulse:
        AddSetOutput(e, output, 1);
        AddStartTimer(e, timer, time);
        AddWaitTimer(e, timer);
        AddSetOutput(e, output, 0);
        break;
    default: break;
    }
}

void TVizuCode::AddStartTimer(std::uint32_t e, std::uint8_t timer, std::int32_t ms)
{
    AddLoadImmediate(e, ms, kType16Unsigned);
    AddLoadStore(e, true, true, static_cast<std::uint8_t>(kVarTimer0 + 2 * timer), kType16Unsigned);
}

void TVizuCode::AddWaitTimer(std::uint32_t e, std::uint8_t timer)
{
    const std::uint32_t loop = OffsetInElement(e);
    AddLoadStore(e, false, true, static_cast<std::uint8_t>(kVarTimer0 + 2 * timer), kType16Unsigned);
    AddOperator(e, kOpNotZero, kTypeTop, kTypeTop);
    AddJumpTo(e, kJumpTrue, e, loop);
}

void TVizuCode::AddMoveAbsolute(std::uint32_t e, std::int32_t position, std::int32_t acceleration,
                                std::int32_t velocity, bool fromVariable)
{
    if (acceleration != 0)
        AddSetRegister(e, kRegAcceleration, acceleration);
    if (velocity != 0)
        AddSetRegister(e, kRegVelocity, velocity);
    LoadDistance(e, position, fromVariable);
    AddLoadStore(e, true, false, kRegRequestedPosition, kTypeTop);
}

void TVizuCode::AddMoveRelative(std::uint32_t e, std::int32_t distance, std::int32_t acceleration,
                                std::int32_t velocity, bool fromVariable)
{
    if (acceleration != 0)
        AddSetRegister(e, kRegAcceleration, acceleration);
    if (velocity != 0)
        AddSetRegister(e, kRegVelocity, velocity);
    LoadDistance(e, distance, fromVariable);
    AddLoadStore(e, true, false, kRegPosition1, kTypeTop);
    AddFastCommand(e, kFastRelativeMove);
}

void TVizuCode::AddMoveVelocityChange(std::uint32_t e, std::int32_t distance, std::int32_t acceleration,
                                      std::int32_t velocity, bool fromVariable, std::int32_t changeDistance,
                                      std::int32_t newVelocity)
{
    // Position where the velocity changes = actual position + change distance.
    AddLoadStore(e, false, false, kRegActualPosition, kTypeTop);
    AddLoadImmediate(e, changeDistance, kTypeTop);
    AddOperator(e, kOpAdd, kTypeTop, kTypeTop);
    AddMoveRelative(e, distance, acceleration, velocity, fromVariable);
    const std::uint32_t loop = OffsetInElement(e);
    AddStackLoadStore(e, false, true, 0, kTypeTop);
    AddLoadStore(e, false, false, kRegActualPosition, kTypeTop);
    AddOperator(e, changeDistance < 0 ? kOpLess : kOpGreater, kTypeTop, kTypeTop);
    AddJumpTo(e, kJumpTrue, e, loop);
    AddStackLoadStore(e, true, true, 0, kTypeTop);
    AddSetRegister(e, kRegVelocity, newVelocity);
}

void TVizuCode::AddMoveSensor(std::uint32_t e, std::int32_t safetyDistance, bool safetyFromVariable,
                              std::int32_t acceleration, std::int32_t velocity, std::int32_t distance,
                              bool distanceFromVariable, std::uint8_t input, std::uint8_t condition)
{
    if (endlessRelative_) {
        LoadDistance(e, distance, distanceFromVariable);
        AddLoadStore(e, true, false, kRegPosition7, kTypeTop);
        AddMoveRelative(e, safetyDistance, acceleration, velocity, safetyFromVariable);
        AddFastCommand(e, kFastWaitMove);
    } else {
        // The distance stays on the stack until the sensor answers.
        LoadDistance(e, distance, distanceFromVariable);
        AddMoveRelative(e, safetyDistance, acceleration, velocity, safetyFromVariable);
    }
    const std::uint32_t loop = OffsetInElement(e);
    AddTestInput(e, condition, input);
    const std::size_t sensed = AddJumpTo(e, kJumpTrue, e, 0);
    AddCommand(e, kCodeTestInput, kTestInPositionHigh);
    AddJumpTo(e, kJumpTrue, e + 1, 0);
    AddJumpTo(e, kJumpAlways, e, loop);
    SetJumpTarget(sensed, e, OffsetInElement(e));
    if (endlessRelative_) {
        AddFastCommand(e, kFastSensorStop);
    } else {
        AddLoadStore(e, false, false, kRegActualPosition, kTypeTop);
        AddOperator(e, kOpAdd, kTypeTop, kTypeTop);
        AddLoadStore(e, true, false, kRegRequestedPosition, kTypeTop);
    }
    const std::uint32_t wait = OffsetInElement(e);
    AddCommand(e, kCodeTestInput, kTestInPositionHigh);
    AddJumpTo(e, kJumpTrue, e + 1, 0);
    AddJumpTo(e, kJumpAlways, e, wait);
}

void TVizuCode::AddSetRegister(std::uint32_t e, std::uint8_t reg, std::int32_t value)
{
    AddLoadImmediate(e, value, kTypeTop);
    AddLoadStore(e, true, false, reg, kTypeTop);
}

void TVizuCode::AddSetMode(std::uint32_t e, std::int32_t mode)
{
    AddSetRegister(e, kRegMode, mode);
}

void TVizuCode::AddSetStartMode(std::uint32_t e, std::int32_t value)
{
    AddSetRegister(e, kRegStartMode, value);
}

void TVizuCode::AddWaitForMode(std::uint32_t e, std::int32_t mode)
{
    const std::uint32_t loop = OffsetInElement(e);
    AddLoadImmediate(e, mode, kTypeTop);
    AddLoadStore(e, false, false, kRegMode, kType16Signed);
    AddOperator(e, kOpEqual, kTypeTop, kTypeTop);
    AddJumpTo(e, kJumpFalse, e, loop);
}

void TVizuCode::AddWaitInPosition(std::uint32_t e)
{
    AddCommand(e, kCodeWaitInPosition);
}

void TVizuCode::AddFastCommandAndWait(std::uint32_t e)
{
    AddFastCommand(e, kFastWaitMove);
    AddWaitInPosition(e);
}

void TVizuCode::AddTestInputs(std::uint32_t e, bool orCondition, std::uint16_t levels, std::uint16_t mask)
{
    const auto high = static_cast<std::uint8_t>(((levels >> 8) & 3) | (((mask >> 8) & 3) << 2) | (orCondition ? 0x80 : 0));
    AddCommand(e, kCodeTestInputs, static_cast<std::uint8_t>(levels & 0xFF), static_cast<std::uint8_t>(mask & 0xFF),
               high);
}

void TVizuCode::AddTestInput(std::uint32_t e, std::uint8_t condition, std::uint8_t input)
{
    AddCommand(e, kCodeTestInput, static_cast<std::uint8_t>(condition * 16 + input));
}

void TVizuCode::AddSetOutput(std::uint32_t e, std::uint8_t output, std::uint8_t level)
{
    AddCommand(e, kCodeSetOutput, static_cast<std::uint8_t>(level * 16 + output));
}

void TVizuCode::AddFastCommand(std::uint32_t e, std::uint8_t command)
{
    if (command == kFastEndlessRelative)
        endlessRelative_ = true;
    AddCommand(e, kCodeFastCommand, command);
}

void TVizuCode::AddBinary(std::uint32_t e, std::size_t count, const std::uint8_t* bytes)
{
    Emit(e, count > 0 && bytes ? std::vector<std::uint8_t>(bytes, bytes + count) : std::vector<std::uint8_t>{});
}

void TVizuCode::AddEndlessRelativePrologue(std::uint32_t e)
{
    AddFastCommand(e, kFastEndlessRelative);
    if (options_.skipInitialization)
        return;
    // In operating mode 0 the requested position starts at the actual position.
    AddLoadStore(e, false, false, kRegMode, kType32Signed);
    AddOperator(e, kOpNotZero, kTypeTop, kTypeTop);
    const std::size_t skip = AddJumpTo(e, kJumpTrue, e, 0);
    AddLoadStore(e, false, false, kRegActualPosition, kTypeTop);
    AddLoadStore(e, true, false, kRegRequestedPosition, kTypeTop);
    SetJumpTarget(skip, e, OffsetInElement(e));
}

// --- Linking -----------------------------------------------------------------------

bool TVizuCode::Link()
{
    log_.clear();
    const bool logging = !logPath_.empty();

    // Graphical elements without code (empty lines, remarks) take the code of
    // the next element that has some.
    std::int32_t next = -1;
    for (std::uint32_t e = n_ + 1; e-- > 0;) {
        if (first_[e] >= 0) {
            next = first_[e];
        } else if (next >= 0) {
            first_[e] = next;
            if (logging) {
                char text[100];
                std::snprintf(text, sizeof text, "Nonexisting OriginalIndex moved to next element! (%u=%s)\r\n", e,
                              Hex(static_cast<unsigned>(next), 3).c_str());
                Log(text);
            }
        }
    }
    if (logging)
        Log("\r\nProgram without long jumps, and without destinations:\r\n" + DumpProgram());

    std::vector<std::size_t> jumps;
    for (std::size_t i = 0; i < elements_.size(); ++i)
        if (elements_[i].jump)
            jumps.push_back(i);

    // Addresses are kept as at the start of a pass; within the search the
    // current address of element k is its pass-start address less the jumps
    // shortened before it in this pass.
    std::vector<std::size_t> shrunk;
    auto shrunkBefore = [&shrunk](std::size_t index) {
        return static_cast<std::uint32_t>(std::lower_bound(shrunk.begin(), shrunk.end(), index) - shrunk.begin());
    };
    auto currentAddress = [&](std::size_t index) { return elements_[index].address - shrunkBefore(index); };
    auto targetAddress = [&](const SCodeElement& jump) -> std::int64_t {
        const std::uint32_t size = running_ - static_cast<std::uint32_t>(shrunk.size());
        if (jump.target > n_ || first_[jump.target] < 0)
            return static_cast<std::int64_t>(size) - 1;
        return static_cast<std::int64_t>(currentAddress(static_cast<std::size_t>(first_[jump.target]))) +
               jump.targetOffset;
    };
    // Jumps into the middle of an element, by target element: the only ones
    // whose offset a shortened jump can move.
    std::unordered_map<std::uint32_t, std::vector<std::size_t>> inner;
    for (std::size_t j : jumps)
        if (elements_[j].targetOffset > 0)
            inner[elements_[j].target].push_back(j);

    for (;;) {
        shrunk.clear();
        if (logging)
            Log("\r\nUpdating Addresses in jump commands...\r\n");
        for (std::size_t j : jumps) {
            SCodeElement& jump = elements_[j];
            const std::int64_t t = targetAddress(jump);
            if (jump.bytes.size() == kLongJumpSize) {
                jump.bytes[1] = static_cast<std::uint8_t>(t & 0xFF);
                jump.bytes[2] = static_cast<std::uint8_t>((t >> 8) & 0xFF);
            } else {
                jump.bytes[1] = static_cast<std::uint8_t>((t - jump.address - 2) & 0xFF);
            }
        }
        if (logging) {
            Log(DumpProgram());
            Log("\r\nSearching for replacable long jumps...\r\n");
        }
        for (std::size_t i : jumps) {
            SCodeElement& jump = elements_[i];
            if (jump.bytes.size() != kLongJumpSize)
                continue;
            const std::int64_t address = currentAddress(i);
            std::int64_t d = targetAddress(jump) - address - 3;
            if (d < 0)
                d = d + 1;
            if (d < -127 || d > 126)
                continue;
            jump.bytes.resize(2);
            jump.bytes[0] &= 0xFE;
            jump.bytes[1] = static_cast<std::uint8_t>(d & 0xFF);
            shrunk.push_back(i);
            if (logging)
                Log(" Jump Command at 0x" + Hex(static_cast<unsigned>(address), 4) + " changed to short\r\n");
            // Jumps into this element behind the shortened jump now land one
            // byte earlier.
            const auto it = inner.find(jump.originalIndex);
            if (it == inner.end())
                continue;
            const auto start = currentAddress(static_cast<std::size_t>(first_[jump.originalIndex]));
            for (std::size_t k : it->second) {
                SCodeElement& other = elements_[k];
                if (other.targetOffset == 0 || start + other.targetOffset <= address)
                    continue;
                --other.targetOffset;
                if (logging)
                    Log(" Offset for jump command at 0x" + Hex(currentAddress(k), 4) + " moved 1 back!!!\r\n");
            }
        }
        if (shrunk.empty())
            break;
        std::uint32_t address = 0;
        for (SCodeElement& element : elements_) {
            element.address = address;
            address += static_cast<std::uint32_t>(element.bytes.size());
        }
        running_ = address;
        size_ = address;
    }
    if (logging)
        Log("None found :D");
    if (size_ > kMaxCodeSize)
        Fault("The program is too big: its code needs " + std::to_string(size_) +
              " bytes and the module can hold at most 65535");
    WriteLog(true);
    return !Failed();
}

// --- Results ----------------------------------------------------------------------

std::vector<std::uint8_t> TVizuCode::GetCode() const
{
    std::vector<std::uint8_t> code;
    code.reserve(size_);
    for (const SCodeElement& element : elements_)
        code.insert(code.end(), element.bytes.begin(), element.bytes.end());
    return code;
}

std::vector<std::uint8_t> TVizuCode::GetImage() const
{
    const std::vector<std::uint8_t> code = GetCode();
    ByteStream image;
    image.WriteU8(0xA1);
    image.WriteU16LE(static_cast<std::uint16_t>(code.size()));
    image.WriteU16LE(Sum16(code));
    image.Write(code);
    return image.TakeBytes();
}

std::uint16_t TVizuCode::GetChecksum() const
{
    unsigned sum = 0;
    for (const SCodeElement& element : elements_)
        for (std::uint8_t b : element.bytes)
            sum += b;
    return static_cast<std::uint16_t>(sum & 0xFFFF);
}

int TVizuCode::ElementFromAddress(std::uint32_t address) const
{
    if (address >= size_)
        return -1;
    // The last element that starts at or before the address and has bytes.
    auto it = std::upper_bound(elements_.begin(), elements_.end(), address,
                               [](std::uint32_t a, const SCodeElement& element) { return a < element.address; });
    while (it != elements_.begin()) {
        --it;
        if (!it->bytes.empty())
            return static_cast<int>(it->originalIndex);
    }
    return -1;
}

bool TVizuCode::GetElementAddresses(std::uint32_t address, std::uint32_t& first, std::uint32_t& last) const
{
    first = 0;
    last = 0;
    const int e = ElementFromAddress(address);
    if (e < 0)
        return false;
    const int start = FirstIndex(static_cast<std::uint32_t>(e));
    if (start < 0)
        return false;
    first = elements_[static_cast<std::size_t>(start)].address;
    last = static_cast<std::uint32_t>(size_ - 1);
    for (std::size_t i = static_cast<std::size_t>(start); i < elements_.size(); ++i) {
        if (elements_[i].originalIndex != static_cast<std::uint32_t>(e)) {
            last = elements_[i].address - 1;
            break;
        }
    }
    return true;
}

// --- Listing --------------------------------------------------------------------------

std::string TVizuCode::InstructionText(const SCodeElement& element)
{
    const std::vector<std::uint8_t>& b = element.bytes;
    if (b.empty())
        return "";
    const std::uint8_t op = b[0];
    switch (op >> 4) {
    case 0:
        switch (op) {
        case kCodeEnd: return "End of program";
        case kCodeWaitInPosition: return "Wait for in position before continuing";
        case kCodeWaitNotInPosition: return "Wait for not in position, before continuing";
        case kCodeTestInputs: {
            const std::uint8_t levels = At(b, 1), mask = At(b, 2), high = At(b, 3);
            std::string text = "Test inputs (High order): ";
            auto letter = [&text](bool masked, bool level) { text += masked ? (level ? 'H' : 'L') : 'D'; };
            letter(high & 8, high & 2);
            letter(high & 4, high & 1);
            for (int i = 7; i >= 0; --i)
                letter((mask >> i) & 1, (levels >> i) & 1);
            text += " Condition: ";
            text += (high & 0x80) ? "OR" : "AND";
            return text;
        }
        case kCodeTestInput: {
            const std::uint8_t v = At(b, 1);
            return "Test input " + std::to_string((v & 15) + 1) + " Edge: " + std::to_string((v >> 5) & 1) +
                   " High: " + std::to_string((v >> 4) & 1);
        }
        case kCodeClearEdges: return "Clear edge detect on all inputs";
        case kCodeFastCommand: return "Send fastvek command 0x" + Hex(At(b, 1), 2);
        case kCodeFastCommandFromStack: return "Send fastvek command from stack";
        case kCodeSetOutput: {
            const std::uint8_t v = At(b, 1);
            return std::string((v & 0x10) ? "Set output " : "Clear output ") + std::to_string((v & 7) + 1);
        }
        default: return "Reserved!";
        }
    case 1: return "Reserved!";
    case 2: {
        std::string text = "Load Immediate IS: ";
        text += TypeText((op >> 2) & 3);
        text += " OS: ";
        text += TypeText(op & 3);
        text += " Value: 0x";
        for (std::size_t i = b.size(); i-- > 1;)
            text += Hex(b[i], 2);
        return text;
    }
    case 3:
        return std::string("Operator: ") + OperatorName(At(b, 1)) + " (Size1: " + TypeText(op & 3) +
               ", Size 2: " + TypeText((op >> 2) & 3) + ")";
    case 4:
    case 5:
        return std::string((op & 8) ? "Store " : "Load ") + ((op & 4) ? "Variable" : "Parameter") +
               " Type: " + TypeText(op & 3) + " Address: 0x" + Hex(At(b, 1), 2);
    case 6:
    case 7:
        return std::string((op & 8) ? "Store Stack" : "Load Stack") + " Pos: " +
               ((op & 4) ? std::string("Top") : "0x" + Hex(At(b, 1), 2)) + " Type: " + TypeText(op & 3);
    case 8: {
        if (op < 0x88)
            return "Call/Return";
        const unsigned condition = (op - 0x88u) >> 1;
        std::string text = std::string("Jump condition: ") + ConditionText(condition);
        if (op & 1)
            return text + " Abs: 0x" + Hex(At(b, 2), 2) + Hex(At(b, 1), 2);
        const auto r = static_cast<std::int8_t>(At(b, 1));
        return text + " Rel: 0x" + Hex(At(b, 1), 2) + " (Dec: " + std::to_string(r) + ", Abs: 0x" +
               Hex(static_cast<unsigned>(element.address + 2 + r) & 0xFFFF, 4) + ")";
    }
    default: return "Unknown command...";
    }
}

std::string TVizuCode::DumpProgram() const
{
    std::string text = "\r\nProgram Dump:\r\nOIn Ele Addr\r\n";
    char head[40];
    for (std::size_t i = 0; i < elements_.size(); ++i) {
        const SCodeElement& element = elements_[i];
        if (element.bytes.empty())
            continue;
        std::snprintf(head, sizeof head, "%3u:%s:%s: ", element.originalIndex,
                      Hex(static_cast<unsigned>(i), 3).c_str(), Hex(element.address, 4).c_str());
        text += head;
        for (std::uint8_t byte : element.bytes)
            text += "0x" + Hex(byte, 2) + " ";
        text += InstructionText(element);
        text += "\r\n";
    }
    return text;
}

void TVizuCode::Log(const std::string& text)
{
    log_ += text;
}

void TVizuCode::WriteLog(bool truncate)
{
    if (logPath_.empty())
        return;
    // A debugging aid: failing to write it never fails the generation, and
    // nothing in its place (a named pipe) holds the compiler up.
    WriteRegularFile(logPath_, log_, !truncate);
}

}  // namespace quenor
