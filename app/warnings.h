#pragma once
// The eight warnings of the status bar: which stored values raise which bit,
// and their texts (string resources 20000 + bit for the titles and
// 20100 + bit for the explanations).

#include <array>
#include <string>

namespace quenor {

struct MainWindowState;

constexpr int kWarningCount = 8;
constexpr int kWarningTitleBase = 20000;
constexpr int kWarningTextBase = 20100;

enum WarningBit : int {
    kWarnSaveInFlash = 0,
    kWarnIoType = 1,
    kWarnMaxVelocity = 2,
    kWarnGearRatio = 3,
    kWarnHomingWithModule = 4,
    kWarnStartupMode = 5,
    kWarnModuleVersion = 6,
    kWarnSCurve = 7,
};

struct Warnings {
    std::array<bool, kWarningCount> flags{};
    std::array<std::string, kWarningCount> args;  // only bit 5 ever gets one
    int count = 0;

    // Re-evaluates the flags in bit order. ioTypeValue is the value of the
    // control captioned "I/O Type" (0 when there is none). In family 2 bit 1,
    // and with a gear denominator of 0 bit 3, keep their previous value.
    void Evaluate(const MainWindowState& state, int ioTypeValue);

    // The titles of the active bits, in bit order.
    std::string JoinedTitles(const std::string& separator) const;
    // Panel 0's text: "RWarning: " + titles joined by "; " + " [Click for
    // details]"; "B" when no warning is active.
    std::string PanelText() const;
    // The status bar's hint: "Warnings:" and one title per line (CR); empty
    // when no warning is active.
    std::string Hint() const;
    // Save in motor asks first when warnings other than 0 and 7 are active.
    bool SaveNeedsConfirmation() const;
};

// The text of string resource id with "%s" replaced by the argument (and "%%"
// by "%"); other '%' sequences are kept as they are.
std::string FormatResourceText(int id, const std::string& argument);
// The same, for the warning dialog.
inline std::string FormatWarningText(int id, const std::string& argument) { return FormatResourceText(id, argument); }

// The operating mode's name; "Unknown" outside 0..19, empty for 7..11.
std::string ModeName(int mode);

}  // namespace quenor
