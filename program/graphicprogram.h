#pragma once
// The in-memory form of one motion program for the programmable module: a
// listing of numbered lines (0 to 65535), each holding one command with its
// parameter cells, plus the program type, the jump-line table of the listing,
// the motor register list, the variable table and, for a program that came
// from the module without source, the raw code block.
//
// Absence is reported by a false result, never by an exception.

#include "program/graphicprogramjumplines.h"
#include "program/vizuvartable.h"
#include "program/vizuvekparameterlist.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quenor {

enum CommandId : std::uint8_t {
    kCmdNoOperation = 0,
    kCmdJump = 1,
    kCmdConditionalJump = 2,
    kCmdMove = 3,
    kCmdSetPosition = 4,
    kCmdSavePosition = 5,
    kCmdSetOutputs = 6,
    kCmdZeroSearch = 7,
    kCmdWait = 8,
    kCmdRemark = 9,
    kCmdSetRegister = 10,
    kCmdRegisterJump = 11,
    kCmdSetMode = 12,
    kCmdWaitInputs = 13,
    kCmdWaitRegister = 14,
    kCmdFastCommand = 15,
    kCmdBinary = 16,
};

enum ProgramType : std::uint8_t {
    kProgramNone = 0,              // "None": a new program
    kProgramAbsoluteRelative = 1,  // "Absolute and relative"
    kProgramEndlessRelative = 2,   // "Endless relative"
    kProgramBinaryOnly = 3,        // "Binary source"
};

// Cells of every command but the remark.
constexpr std::size_t kCommandCells = 50;
// Palette slot of a command that the palette does not offer.
constexpr std::uint8_t kNoPaletteSlot = 0xFF;

struct SCommandInfo {
    std::uint8_t id;
    std::uint8_t paletteSlot;  // kNoPaletteSlot: not offered; 8 and up behind "&Advanced >>"
    std::uint8_t cellCount;
    bool jump;                 // cells 0-1 hold the target line, high byte first
    std::uint32_t enabled;
    const char* text;
};

extern const SCommandInfo CommandInfoTable[17];
// The table row of an ID, nullptr for an ID outside the table.
const SCommandInfo* FindCommandInfo(std::uint8_t id);

// The five options of the program setup, stored in the flags byte of the
// program source stream.
struct ProgramSetupOptions {
    std::uint8_t inputFilter = 0;         // "Enable input filter"
    std::uint8_t skipInitialization = 0;  // "Skip initialization (advanced)"
    std::uint8_t transferSetting = 0;     // 0 program + source + remarks, 1 program + source, 2 program only
    std::uint8_t inPositionOutput = 0;    // in-position signal on output 1
    std::uint8_t errorOutput = 0;         // error signal on output 2

    bool operator==(const ProgramSetupOptions&) const = default;
};

// Program source stream versions: the one written and the range read.
constexpr std::uint16_t kProgramStreamVersion = 0x15;
constexpr std::uint16_t kProgramStreamOldest = 0x10;
constexpr std::uint16_t kProgramStreamNewest = 0x16;
// The longest stream: 65,536 lines (the last line number is 16 bits), each at
// most a remark's ID, length and 255 bytes of text, after the version, flags
// and line count.
constexpr std::size_t kProgramStreamMaxBytes = 5 + 65536 * (1 + 1 + 255);

// What reading a program source stream gives back. On failure the program is
// unchanged and message holds the text to show.
struct ProgramLoadResult {
    bool ok = false;
    ProgramSetupOptions options;
    std::string message;
};

struct SProgramLine {
    std::uint16_t line = 0;
    std::uint8_t id = kCmdNoOperation;
    std::vector<std::uint8_t> cells;  // CellCount(id) cells; none for a remark
    std::string remark;               // the text of a remark line
};

// Fresh parameter cells for a command, zero-filled.
std::vector<std::uint8_t> NewCommandData(std::uint8_t id);

// Position variable n is the 32-bit module variable at 32 + 4n. The module's
// variable memory has 256 bytes, so n runs from 0 to 55.
constexpr std::int32_t kPositionVariableCount = 56;
constexpr bool PositionVariableFits(std::int64_t n) { return n >= 0 && n < kPositionVariableCount; }

// A position variable number as the code generator reads it from a tagged
// value: rounded half away from zero (moves) or truncated ("Set position"),
// held to the 32-bit range; NaN reads as 0.
std::int32_t PositionVariableNumber(double value, bool round);

// The position variables a line names: "Save position", "Set position" from
// a variable, and the distances of a move that are variable numbers.
std::vector<std::int32_t> PositionVariablesOf(const SProgramLine& line);

// Empty when every position variable the lines name exists, else the message
// for the first line that names one outside 0..55.
std::string CheckPositionVariables(std::span<const SProgramLine> lines);

class ByteStream;

class CGraphicProgram {
public:
    CGraphicProgram();

    // --- Lines ---------------------------------------------------------------
    // Stores a command on a line, replacing what was there. The cells are cut
    // or zero-extended to the command's cell count (a remark keeps none: its
    // text is set by SetRemark).
    void SetLine(std::uint16_t line, std::uint8_t id, std::vector<std::uint8_t> cells);
    void SetRemark(std::uint16_t line, std::string text);
    // False when the line is empty. Other lines keep their numbers.
    bool DeleteLine(std::uint16_t line);
    bool FindLine(std::uint16_t line) const;
    // The line's ID and cells (owned by the program, valid until the next
    // change); false with ID 0 and no cells for an empty line.
    bool GetLine(std::uint16_t line, std::uint8_t& id, const std::vector<std::uint8_t>*& cells) const;
    const SProgramLine* Line(std::uint16_t line) const;
    // The text of a remark line, an empty text otherwise.
    std::string GetRemark(std::uint16_t line) const;
    // The highest used line number, 0 for an empty program.
    std::uint16_t LastLineNumber() const;
    bool IsEmpty() const { return lines_.empty(); }
    // Every used line in ascending order.
    const std::vector<SProgramLine>& Lines() const { return lines_; }
    // Frees every line; type, binary block and variables stay.
    void Clear();

    // Deletes the line and moves every later line and jump target up by one.
    // A jump to the removed line keeps its number (the next line moves into it).
    void RemoveLine(std::uint16_t line);
    // Opens an empty line: every line and jump target from line on moves down
    // by one. Refused (false, nothing changed) when line 65535 is used or a
    // jump targets it, since it has nowhere to go.
    bool InsertLine(std::uint16_t line);

    // --- Command table ---------------------------------------------------------
    static std::uint8_t CellCount(std::uint8_t id);
    static bool IsJump(std::uint8_t id);
    static void SetJumpTarget(std::span<std::uint8_t> cells, std::uint16_t target);
    static std::uint16_t GetJumpTarget(std::span<const std::uint8_t> cells);

    // --- Jump lines ------------------------------------------------------------
    // The jump's target and gutter column; false when the line is empty or not
    // a jump. Rebuilds the jump-line table first when the lines have changed.
    bool GetJump(std::uint16_t line, std::uint16_t& target, int& column) const;
    void RebuildJumpLines() const;
    // The current jump-line table (rebuilt when stale).
    const CGraphicProgramJumpLines& JumpLines() const;

    // The register's long name, or "Register <n>".
    std::string RegisterName(int reg) const;

    // --- Type and binary block -------------------------------------------------
    // Frees a held binary block, then sets the type.
    void SetType(std::uint8_t type);
    std::uint8_t GetType() const { return type_; }
    // Holds a copy of raw module code and its code version, type 3. Refused
    // (false, nothing changed) for more than 65535 bytes, which no code block
    // can carry.
    bool SetBinaryOnly(const std::uint8_t* bytes, std::size_t size, std::uint16_t codeVersion);
    // The code block of the download image built from the held code: 0xA1, u16
    // size, u16 sum of the bytes (both low byte first), the bytes. Empty without
    // a held block. A copy goes to "BinBlock.Vizu" in the user data folder when
    // that can be written.
    std::vector<std::uint8_t> BinaryImage(std::uint16_t& codeVersion) const;
    // The held code, nullptr when there is none.
    const std::vector<std::uint8_t>* BinaryBlock() const { return binary_ ? &*binary_ : nullptr; }
    std::uint16_t BinaryCodeVersion() const { return binaryVersion_; }

    // --- Program source stream ---------------------------------------------------
    // Writes the stream (version 0x15) at the stream's position. Without
    // remarks a remark line is written as an empty line, so line numbers stay.
    // A line whose ID is outside the command table is written without
    // parameters; message then holds "Save Not implemented for CommandID: <id>"
    // and the result is false.
    bool Save(ByteStream& stream, const ProgramSetupOptions& options, bool withoutRemarks,
              std::string* message = nullptr) const;
    // Reads a stream of version 0x10 to 0x16 from the stream's position. The
    // stream is read into a new program first: a rejected version, an unknown
    // command, a malformed command or a stream that ends early changes
    // nothing. On success the lines, the type and the binary block are
    // replaced (registers and variables stay).
    ProgramLoadResult Load(ByteStream& stream);
    // The stream with remarks, written to a file. False when it cannot be written.
    bool SaveToFile(const std::string& path, const ProgramSetupOptions& options) const;
    // Reads a file holding a stream. A file that cannot be read (also one that
    // is no regular file or is larger than kProgramStreamMaxBytes) is a failed
    // result with a message.
    ProgramLoadResult LoadFromFile(const std::string& path);
    // The size in bytes of the stream as Save would write it.
    std::size_t SaveToMemory(bool withoutRemarks) const;

    CVekParameterList& ParameterList() { return registers_; }
    const CVekParameterList& ParameterList() const { return registers_; }
    TVizuVarTable& VarTable() { return variables_; }
    const TVizuVarTable& VarTable() const { return variables_; }

private:
    std::vector<SProgramLine>::iterator LowerBound(std::uint16_t line);
    std::vector<SProgramLine>::const_iterator LowerBound(std::uint16_t line) const;
    SProgramLine* Node(std::uint16_t line);

    std::vector<SProgramLine> lines_;  // ascending line numbers, no duplicates
    mutable CGraphicProgramJumpLines jumpLines_;
    mutable bool jumpLinesStale_ = true;
    std::uint8_t type_ = kProgramNone;
    CVekParameterList registers_;
    std::optional<std::vector<std::uint8_t>> binary_;
    std::uint16_t binaryVersion_ = 0;
    TVizuVarTable variables_;
};

}  // namespace quenor
