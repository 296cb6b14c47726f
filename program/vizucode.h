#pragma once
// The code generator of the programmable module: turns a motion program into
// the module's stack-machine byte code.
//
// The generation driver calls the emitters line by line. Every instruction is
// one code element tagged with the graphical element it belongs to: 0 the
// start code, L + 1 program line L, last line + 2 the final End of program.
// Jumps are emitted long (3 bytes, absolute address) and Link replaces every
// one that reaches by a short one (2 bytes, signed distance), pass after pass
// until no further jump shrinks. The generator keeps a compile-time image of
// the module's evaluation stack (the value types on it).
//
// Faults of the emitter sequence (popping an empty type stack, an element
// number outside the program) and code that does not fit the module's 16-bit
// addresses are recorded; Link then fails and ErrorText() says why.

#include "program/graphicprogram.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quenor {

// Value types on the module's stack (2 bits in the opcodes).
enum CodeType : std::uint8_t {
    kType8Unsigned = 0,
    kType16Unsigned = 1,
    kType16Signed = 2,
    kType32Signed = 3,
    kTypeTop = 4,  // emitter argument: the type on top of the type stack
};

enum JumpCondition : std::uint8_t {
    kJumpAlways = 0,
    kJumpFalse = 1,  // jump when the popped value is false
    kJumpTrue = 2,
};

enum CodeOperator : std::uint8_t {
    kOpAdd = 0,
    kOpSubtract = 1,
    kOpMultiply = 2,
    kOpDivide = 3,
    kOpBinaryOr = 4,
    kOpBinaryAnd = 5,
    kOpBinaryXor = 6,
    kOpMod = 7,
    kOpAnd = 16,
    kOpOr = 17,
    kOpXor = 18,
    kOpNot = 19,
    kOpNotZero = 20,
    kOpGreater = 32,
    kOpLess = 33,
    kOpGreaterEqual = 34,
    kOpLessEqual = 35,
    kOpEqual = 36,
    kOpNotEqual = 37,
    kOpIncrement = 48,
    kOpDecrement = 49,
    kOpNegate = 50,
    kOpConvertSize = 51,
    kOpBinaryNot = 52,
    kOpShiftLeft = 64,
    kOpShiftRight = 65,
};

// Class-0 instructions.
enum CodeCommand : std::uint8_t {
    kCodeEnd = 0x00,
    kCodeWaitInPosition = 0x01,
    kCodeWaitNotInPosition = 0x02,
    kCodeTestInputs = 0x04,
    kCodeTestInput = 0x05,
    kCodeClearEdges = 0x06,
    kCodeFastCommand = 0x07,
    kCodeFastCommandFromStack = 0x08,
    kCodeSetOutput = 0x09,
};

// Byte-code version this generator produces.
constexpr std::uint16_t kProgramCodeVersion = 0x0011;
// Largest code the module's 16-bit addresses and sizes can carry.
constexpr std::size_t kMaxCodeSize = 0xFFFF;

struct SCodeElement {
    std::uint32_t originalIndex = 0;  // graphical element
    std::vector<std::uint8_t> bytes;  // the instruction; its size is the length
    std::uint32_t address = 0;
    bool jump = false;
    std::uint32_t target = 0;        // graphical element a jump goes to
    std::uint32_t targetOffset = 0;  // bytes from the first code byte of the target element
};

class TVizuCode {
public:
    // A generator for the graphical elements 0..n. The log goes to logPath
    // (emptied here); an empty path keeps no log.
    explicit TVizuCode(std::uint32_t n, std::string logPath = DefaultLogPath());
    // "VizuWare!.Log" in the user data folder.
    static std::string DefaultLogPath();

    void SetMotorKind(int kind) { motorKind_ = kind; }
    int MotorKind() const { return motorKind_; }
    void SetOptions(const ProgramSetupOptions& options) { options_ = options; }
    const ProgramSetupOptions& Options() const { return options_; }
    // Set once fast command 118 was emitted, by the endless-relative start
    // code or by a program line: sensor moves after it take their
    // endless-relative form.
    bool EndlessRelative() const { return endlessRelative_; }
    std::uint32_t ElementCount() const { return n_ + 1; }

    // --- Basic emitters -----------------------------------------------------------
    void AddCommand(std::uint32_t e, std::uint8_t command, std::uint8_t b1 = 0, std::uint8_t b2 = 0,
                    std::uint8_t b3 = 0);
    // Stored size of an immediate: 0 one byte (0..255), 2 two bytes signed
    // (-32768..32767), 3 four bytes.
    static std::uint8_t ImmediateSize(std::int32_t value);
    void AddLoadImmediate(std::uint32_t e, std::int32_t value, std::uint8_t type);
    void AddOperator(std::uint32_t e, std::uint8_t op, std::uint8_t left, std::uint8_t right);
    void AddLoadStore(std::uint32_t e, bool store, bool variable, std::uint8_t address, std::uint8_t type,
                      bool bit4 = false);
    void AddStackLoadStore(std::uint32_t e, bool store, bool top, std::uint8_t position, std::uint8_t type,
                           bool bit4 = false);
    // A long jump; returns its index in the element list.
    std::size_t AddJumpTo(std::uint32_t e, std::uint8_t condition, std::uint32_t target, std::uint32_t offset);
    void AddEndOfProgram(std::uint32_t e);
    // Re-aims an emitted jump.
    void SetJumpTarget(std::size_t index, std::uint32_t target, std::uint32_t offset);

    // --- Composite emitters -------------------------------------------------------
    void AddJump(std::uint32_t e, std::uint32_t target);
    void AddInputJump(std::uint32_t e, std::uint32_t target, std::uint8_t condition, std::uint8_t input);
    void AddInputsJump(std::uint32_t e, std::uint32_t target, bool orCondition, std::uint16_t levels,
                       std::uint16_t mask);
    void AddWaitInput(std::uint32_t e, std::uint8_t input, std::uint8_t condition, std::uint32_t offset);
    void AddWaitInputs(std::uint32_t e, bool orCondition, std::uint16_t levels, std::uint16_t mask);
    void AddSetPosition(std::uint32_t e, bool fromVariable, std::int32_t value);
    void AddSavePosition(std::uint32_t e, std::uint8_t n);
    void AddOutputs(std::uint32_t e, std::uint8_t output, std::uint8_t mode, std::int32_t time);
    void AddStartTimer(std::uint32_t e, std::uint8_t timer, std::int32_t ms);
    void AddWaitTimer(std::uint32_t e, std::uint8_t timer);
    void AddMoveAbsolute(std::uint32_t e, std::int32_t position, std::int32_t acceleration, std::int32_t velocity,
                         bool fromVariable);
    void AddMoveRelative(std::uint32_t e, std::int32_t distance, std::int32_t acceleration, std::int32_t velocity,
                         bool fromVariable);
    void AddMoveVelocityChange(std::uint32_t e, std::int32_t distance, std::int32_t acceleration,
                               std::int32_t velocity, bool fromVariable, std::int32_t changeDistance,
                               std::int32_t newVelocity);
    void AddMoveSensor(std::uint32_t e, std::int32_t safetyDistance, bool safetyFromVariable,
                       std::int32_t acceleration, std::int32_t velocity, std::int32_t distance,
                       bool distanceFromVariable, std::uint8_t input, std::uint8_t condition);
    void AddSetRegister(std::uint32_t e, std::uint8_t reg, std::int32_t value);
    void AddSetMode(std::uint32_t e, std::int32_t mode);
    void AddSetStartMode(std::uint32_t e, std::int32_t value);
    void AddWaitForMode(std::uint32_t e, std::int32_t mode);
    void AddWaitInPosition(std::uint32_t e);
    void AddFastCommandAndWait(std::uint32_t e);
    void AddTestInputs(std::uint32_t e, bool orCondition, std::uint16_t levels, std::uint16_t mask);
    void AddTestInput(std::uint32_t e, std::uint8_t condition, std::uint8_t input);
    void AddSetOutput(std::uint32_t e, std::uint8_t output, std::uint8_t level);
    void AddFastCommand(std::uint32_t e, std::uint8_t command);
    void AddBinary(std::uint32_t e, std::size_t count, const std::uint8_t* bytes);
    void AddEndlessRelativePrologue(std::uint32_t e);

    // --- Linking and results --------------------------------------------------------
    // Fills the gaps, resolves the jumps and shortens them until stable, and
    // writes the log. False (and ErrorText set) after an emitter fault or when
    // the code exceeds 65535 bytes.
    bool Link();
    bool Failed() const { return !error_.empty(); }
    const std::string& ErrorText() const { return error_; }

    std::size_t CodeSize() const { return size_; }
    std::vector<std::uint8_t> GetCode() const;
    // 0xA1, u16 code size, u16 sum (both low byte first), the code bytes.
    std::vector<std::uint8_t> GetImage() const;
    std::uint16_t GetChecksum() const;
    // The graphical element of the instruction at (or holding) the address;
    // -1 past the end.
    int ElementFromAddress(std::uint32_t address) const;
    // First and last code address of the graphical element that holds the
    // address; false with both 0 when the address is past the end.
    bool GetElementAddresses(std::uint32_t address, std::uint32_t& first, std::uint32_t& last) const;

    const std::vector<SCodeElement>& Elements() const { return elements_; }
    // The list index of the first code element of a graphical element, -1 none.
    int FirstIndex(std::uint32_t e) const;
    // The type stack, bottom first.
    const std::vector<std::uint8_t>& TypeStack() const { return types_; }

    std::string DumpProgram() const;
    static std::string InstructionText(const SCodeElement& element);

private:
    SCodeElement& Emit(std::uint32_t e, std::vector<std::uint8_t> bytes);
    void Push(std::uint8_t type);
    std::uint8_t Pop();
    std::uint8_t Top();
    std::uint32_t ElementStart(std::uint32_t e) const;
    std::uint32_t OffsetInElement(std::uint32_t e) const;
    void Fault(const std::string& text);
    void LoadDistance(std::uint32_t e, std::int32_t value, bool fromVariable);
    // The address of position variable n; a fault for a variable the
    // module's memory does not hold.
    std::uint8_t PositionVariable(std::int32_t n);
    void Log(const std::string& text);
    void WriteLog(bool truncate);

    std::uint32_t n_;
    std::string logPath_;
    std::string log_;
    std::vector<SCodeElement> elements_;
    std::vector<std::int32_t> first_;
    std::uint32_t running_ = 0;
    std::size_t size_ = 0;
    std::vector<std::uint8_t> types_;
    bool endlessRelative_ = false;
    ProgramSetupOptions options_;
    int motorKind_ = 0;
    std::string error_;
};

}  // namespace quenor
