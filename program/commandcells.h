#pragma once
// What each command dialog of the program editor holds, and how that state is
// read from and written into a line's parameter cells. The dialogs are thin
// forms over these records: they show a state, let the user change it, check
// it on OK and write it into a fresh cell block.
//
// A choice that names no item is -1 (a stored index beyond the list loads as
// nothing selected). The check functions return an empty result when the
// state can be written; otherwise the message to show and the field to focus.
// The write functions return false, with the cells untouched, when the state
// does not pass its check or does not fit the cells.

#include "program/graphicprogram.h"
#include "program/vizuvalue.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quenor {

// Fields a refused check puts the focus on.
enum class CommandField {
    None,
    Input,
    Condition,
    Output,
    OutputMode,
    LowPulse,
    HighPulse,
    Distance,
    Acceleration,
    Velocity,
    ChangeDistance,
    NewVelocity,
    SafetyDistance,
    Register,
    Operator,
    Value,
    Position,
    Mode,
    Time,
    Command,
    Code,
};

struct CommandCheck {
    CommandField field = CommandField::None;
    std::string message;
    // True when refused.
    explicit operator bool() const
    {
        return !message.empty();
    }
};

// The whole text as a finite number, '.' as decimal separator, blanks around
// it allowed. "nan", "inf" and numbers followed by other text are refused.
std::optional<double> NumberFromText(std::string_view text);
// The message for a text that is not a number.
std::string NotANumberMessage(std::string_view text);
// A stored value as the dialogs show it: the text the listing's rows write
// for it (FormatValueText), which NumberFromText reads back.
std::string NumberText(double value);

// --- Input condition ---------------------------------------------------------

enum RowLevel : std::uint8_t { kRowHigh = 0, kRowLow = 1, kRowDontCare = 2 };

constexpr int kConditionInputs = 10;  // "Input 1".."Input 8", "Motor Error", "In Position"

struct SInputConditionState {
    int style = 0;      // 0 "Single", 1 "Multiple"
    int input = 0;      // 0..9
    int condition = 0;  // 0 "Low", 1 "High", 2 "Falling Edge", 3 "Rising Edge"
    std::array<std::uint8_t, kConditionInputs> rows{kRowDontCare, kRowDontCare, kRowDontCare, kRowDontCare,
                                                    kRowDontCare, kRowDontCare, kRowDontCare, kRowDontCare,
                                                    kRowDontCare, kRowDontCare};
    int andOr = 1;  // 0 "And", 1 "Or"
};

// The sensor form is the one byte of a sensor move (always single).
void LoadCondition(SInputConditionState& state, std::span<const std::uint8_t> cells, bool sensor);
CommandCheck CheckCondition(const SInputConditionState& state, bool sensor);
bool SaveCondition(const SInputConditionState& state, CellWriter& cursor, bool sensor);

// --- Output element -----------------------------------------------------------

constexpr int kMaxOutputs = 8;

struct SOutputState {
    int count = 4;   // outputs the motor has: 4 or 8
    int style = 0;   // 0 "Single", 1 "Multiple"
    int number = 0;  // 0.."count - 1"
    int mode = 0;    // 0 "Low", 1 "High", 2 "Low pulse", 3 "High pulse"
    std::string lowPulse = "0";
    std::string highPulse = "0";
    std::array<std::uint8_t, kMaxOutputs> rows{kRowDontCare, kRowDontCare, kRowDontCare, kRowDontCare,
                                               kRowDontCare, kRowDontCare, kRowDontCare, kRowDontCare};
};

// 4 outputs for motor kinds 0 and 1, 8 for kind 2; 0 for any other kind.
int OutputCountOfKind(int kind);
void LoadOutputElement(SOutputState& state, std::span<const std::uint8_t> cells);
CommandCheck CheckOutputElement(const SOutputState& state);
// Rows beyond the count are not shown but keep their state and are written
// as they are, so that a line confirmed unchanged keeps its outputs 5-8.
bool SaveOutputElement(const SOutputState& state, CellWriter& cursor);

// --- Move ---------------------------------------------------------------------

// A distance: one of "Register 1".."Register 3" (item 0..2), or a typed number.
struct SDistanceChoice {
    int item = -1;
    std::string text = "0";
};

struct SMoveState {
    int type = 0;  // 0 relative, 1 velocity change, 2 set outputs, 3 absolute, 4 sensor
    bool waitForInPosition = true;
    SDistanceChoice distance;
    std::string acceleration = "0";
    std::string velocity = "0";
    SDistanceChoice changeDistance;
    std::string newVelocity = "0";
    SDistanceChoice safetyDistance;
};

// The move's own parts; the output element of type 2 and the sensor
// condition of type 4 come from the Output and Input dialogs' states.
void LoadMove(SMoveState& state, SOutputState& output, SInputConditionState& input,
              std::span<const std::uint8_t> cells);
CommandCheck CheckMove(const SMoveState& state, const SOutputState& output, const SInputConditionState& input);
bool SaveMove(const SMoveState& state, const SOutputState& output, const SInputConditionState& input,
              std::span<std::uint8_t> cells);

// --- Set register and register condition ---------------------------------------

inline constexpr const char* kOperatorItems[6] = {"= (Equal)",          "< (Less than)",         "> (Greater than)",
                                                  "<= (Less or equal)", ">= (Greater or equal)", "<> (Not equal)"};

struct SRegisterState {
    std::string reg;  // the register box: an entry "n - name" or a typed number
    int op = 0;       // condition only: index of kOperatorItems
    std::string value = "0";
    int unit = 0;  // index in the register's unit list
};

// The register a text names: the text up to " - " for an entry, else the whole
// text as a decimal integer. Nothing when that is no integer.
std::optional<std::int64_t> RegisterNumberFromText(std::string_view text);
// The entry of the list that names register reg ("reg - ..."), or the number.
std::string RegisterText(const std::vector<std::string>& entries, int reg);

// withOperator: the register condition (cells reg, operator, value) rather
// than set register (reg, value). entries: the register list the box offers.
void LoadRegister(SRegisterState& state, std::span<const std::uint8_t> cells, bool withOperator,
                  const std::vector<std::string>& entries);
CommandCheck CheckRegister(const SRegisterState& state, bool withOperator);
// Remembers the chosen unit for the register's group in registers.
bool SaveRegister(const SRegisterState& state, std::span<std::uint8_t> cells, bool withOperator,
                  CVekParameterList* registers);

// --- Position ------------------------------------------------------------------

struct SPositionState {
    int mode = 1;   // 1 "Set position", 0 "Save position"
    int item = -1;  // "Register 1".."Register 3"
    std::string text = "0";
};

// Mode 0 needs a register: nothing chosen becomes "Register 1".
void SetPositionMode(SPositionState& state, int mode);
void LoadPosition(SPositionState& state, std::span<const std::uint8_t> cells);
CommandCheck CheckPosition(const SPositionState& state);
bool SavePosition(const SPositionState& state, std::span<std::uint8_t> cells);

// --- Zero search and set mode ------------------------------------------------------

std::vector<std::string> ZeroSearchItems(int kind);
std::vector<std::string> SetModeItems(int kind);

struct SChoiceState {
    int kind = 0;   // motor kind: 0, 1 servo, 2 stepper
    int item = -1;  // the selected item of the list for the kind
};

void LoadZeroSearch(SChoiceState& state, std::span<const std::uint8_t> cells);
CommandCheck CheckZeroSearch(const SChoiceState& state);
bool SaveZeroSearch(const SChoiceState& state, std::span<std::uint8_t> cells);
void LoadSetMode(SChoiceState& state, std::span<const std::uint8_t> cells);
CommandCheck CheckSetMode(const SChoiceState& state);
bool SaveSetMode(const SChoiceState& state, std::span<std::uint8_t> cells);

// --- Wait time -----------------------------------------------------------------------

void LoadWaitTime(std::string& text, std::span<const std::uint8_t> cells);
CommandCheck CheckWaitTime(const std::string& text);
bool SaveWaitTime(const std::string& text, std::span<std::uint8_t> cells);

// --- Fast command ----------------------------------------------------------------------

struct SFastCommandItem {
    std::uint8_t code;
    const char* text;
};
extern const SFastCommandItem kFastCommandItems[20];
// "0C - Use register set 1".
std::string FastCommandItemText(const SFastCommandItem& item);

struct SFastCommandState {
    int mode = 0;          // 0 "Passive", 1 "Velocity", 2 "Position", 3 "Command"
    int registerType = 0;  // 0 "Position" .. 5 "In position window"
    int number = 0;        // "1".."8" (kinds 0-1) or "1".."4" (kinds 2-5)
    int command = -1;      // index of kFastCommandItems
};

// Numbers the register kind offers: 8 for kinds 0 and 1, 4 for the others.
int FastNumberCount(int registerType);
std::uint8_t EncodeFastCommand(const SFastCommandState& state);
void DecodeFastCommand(SFastCommandState& state, std::uint8_t byte);
void LoadFastCommand(SFastCommandState& state, std::span<const std::uint8_t> cells);
CommandCheck CheckFastCommand(const SFastCommandState& state);
bool SaveFastCommand(const SFastCommandState& state, std::span<std::uint8_t> cells);

// --- Binary command ---------------------------------------------------------------------

// The bytes a line can carry after the count cell.
constexpr std::size_t kMaxBinaryCommandBytes = kCommandCells - 1;
inline constexpr const char* kMsgInvalidValue = "Invalid value";

// Pieces split at ",", each a decimal or "0x" hexadecimal integer with leading
// blanks allowed and any number of leading zeros, stored as its low byte.
// Nothing for an empty text, an empty piece, a piece that is no integer or does
// not fit 32 bits, or more than 49 pieces.
std::optional<std::vector<std::uint8_t>> ParseBinaryCode(std::string_view text);
// "0x01, 0x02, 0xFF".
std::string BinaryCodeText(std::span<const std::uint8_t> bytes);
void LoadBinaryCode(std::string& text, std::span<const std::uint8_t> cells);
CommandCheck CheckBinaryCode(const std::string& text);
bool SaveBinaryCode(const std::string& text, std::span<std::uint8_t> cells);

}  // namespace quenor
