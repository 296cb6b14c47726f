#pragma once
// Setup files: the text files that keep every user-settable parameter of a
// motor, its type, its filter type and the programmable module's program.
// This is the part that needs no window: reading and writing the text, the
// header, the compatibility rules, the filter conversion and the write order.

#include "platform/regularfile.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quenor {

inline constexpr const char* kSetupFileMarker = "[Vek Setup file]";
inline constexpr const char* kSetupFileCompany = "[Tovik Automation A/S]";
inline constexpr const char* kProgramKey = "VEKMRP Data";
inline constexpr int kRegisterSlots = 258;  // registers 0..255 and the pseudo registers 256, 257
// A setup file is a few KB, well under 100 KB with the largest program line;
// a larger file is refused before it is read.
inline constexpr std::size_t kSetupFileMaxBytes = 1024 * 1024;

// Splits 8-bit text into lines at CR LF, LF or a lone CR; a final line end adds no empty line.
std::vector<std::string> SplitTextLines(const std::string& text);
// Joins lines with CR LF after each.
std::string JoinTextLines(const std::vector<std::string>& lines);

struct SetupHeader {
    bool valid = false;   // the marker line was seen
    int motorType = 0;    // "[Motor type N]"
    int filterType = 1;   // "[Filter Type N]", any letter case
    // "[Motor family N]": written with a type code that is no type Quenor
    // knows for the motor's family (a motor whose type is not set); -1 none.
    int family = -1;
    bool malformed = false;  // a type or filter line whose number does not read
};

// Reads the leading run of lines that begin with '['.
SetupHeader ScanSetupHeader(const std::vector<std::string>& lines);

// The header lines written for the current motor type and generation (no
// filter line in generation 2). With typeUnknown the code is one the motor
// reported that is no type of its generation: the family line follows it.
std::vector<std::string> SetupHeaderLines(int motorType, int generation, int filterType, bool typeUnknown = false);

// The motor type a file selects when it is opened with no motor connected:
// its own type code, VekC for a code Quenor does not know; with a family line,
// the family's first type for a code that is no type of that family.
int OfflineTypeOfFile(const SetupHeader& header);

// The filter type written: 2 when registers 102..105 (each as a signed 16-bit
// number in generation 0) do not add up to 256, else 1.
int FilterTypeOfValues(int generation, std::int32_t r102, std::int32_t r103, std::int32_t r104, std::int32_t r105);

// Filter registers are left alone when a file is made for another motor type.
bool IsFilterRegister(int generation, int reg);

struct SetupLoadDecision {
    bool incompatible = false;    // the motor parameters are not loaded at all
    bool wrongType = false;       // the filter parameters are not loaded
    bool firmwareReason = false;  // wrongType because of the motor's firmware
    bool convertFilter = false;   // an old filter is converted while loading
};

struct Notice {
    std::string text;
    std::string caption;
};

// The compatibility rules while connected to a motor of `generation`, type
// `motorType` and firmware value `firmware`. Offline nothing is checked.
SetupLoadDecision DecideSetupLoad(bool connected, int generation, int motorType, int firmware,
                                  const SetupHeader& header);
// What the user is told about a decision, in order.
std::vector<Notice> SetupLoadNotices(const SetupLoadDecision& decision);

// One "key = value" line: the key without trailing blanks, and at most 100
// characters after the '='. nullopt for a line without '='.
struct SetupEntry {
    std::string key;
    std::string value;
};
std::optional<SetupEntry> SplitSetupEntry(const std::string& line);

// Case-insensitive (ASCII) comparison of a file key with a caption.
bool SetupKeyMatches(const std::string& key, const std::string& caption);

// The program line: the key padded to 25 characters, " = ", the hex text.
std::string ProgramLine(const std::string& hexText);

// Converts an old filter while loading: registers 97..100 become 4096 minus
// the running sum of their values, registers 102..105 the running sum minus 256.
class FilterConverter {
public:
    // The value to show for a loaded value of register reg.
    std::int32_t Apply(int reg, std::int32_t value);

private:
    std::int64_t a_ = 4096;
    std::int64_t b_ = -256;
};

// The order in which loaded registers are written: every loaded register but 37
// in ascending order, then 37 when loaded (register 2 := 0 goes first, apart).
std::vector<int> SetupWriteOrder(const std::array<bool, kRegisterSlots>& loaded);

// True when a dropped file's name ends in "vek" in any letter case.
bool IsSetupFileName(const std::string& name);

}  // namespace quenor
