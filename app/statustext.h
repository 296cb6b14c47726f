#pragma once
// The status bar of the main window without its widgets: panel 0 (error texts
// and the scrolling warnings line), panel 1 (connection text or progress bar),
// the texts they show, the visibility of the module pages and the parameter
// controls' visibility mask by mode.
//
// Every panel text starts with a colour letter that is not shown: "G" green,
// "R" red, any other letter the default colour ("B" for a neutral text).

#include "app/warnings.h"

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quenor {

struct MainWindowState;

enum class StatusColour { Default, Green, Red };

constexpr std::size_t kStatusTextMax = 200;

// The colour of a panel text by its first letter; an empty text has none.
StatusColour ColourOfStatusText(std::string_view text);
// What a panel shows of a text: the colour letter dropped, at most 200
// characters; nothing for an empty text.
std::string_view VisibleStatusText(std::string_view text);

// The error text of a parameter or link notice (codes 1, 2, 3 and 6, with the
// limit text for 1 and 2); empty for the codes that show no error text.
std::string ParameterErrorText(int code, std::string_view limitText);

// "VEK" or, in family 2, "QOR" (type 64) or "WIB", followed by the model's
// display number for type codes 1..67, and "-dq" for odd family-1 codes.
std::string MotorNameText(int generation, int motorType);
// The firmware value as the status line prints it (family 1 has six bits of
// minor number), with " Beta" when the beta flag is set.
std::string FirmwareVersionText(int generation, int firmware, bool beta);
// Panel 1's connection text (UpdateStatusText). A motor whose type code is
// no type of its family is named by its family and that code.
std::string ConnectionText(const MainWindowState& state);
// Panel 1's hint: what usually cures a port that did not open for want of
// permission; empty otherwise.
std::string ConnectionHint(const MainWindowState& state);

// Visibility of the module pages.
struct ModuleTabVisibility {
    bool profi = false;      // tsProfi, module type 2
    bool seqlet = false;     // tsSeqlet, type 1
    bool canOpen = false;    // tsCanOpen, type 3
    bool deviceNet = false;  // tsDeviceNet, type 5
    bool fs = false;         // tsFS, type 6
    bool vizu = false;       // tsVizu and the submenu smiMRP, type 4
};
ModuleTabVisibility ModuleTabsFor(const MainWindowState& state);

// The visibility mask of the parameter controls for a start-up mode register
// value (register 37), with the module and family-2 option bits.
int ModeToGroupMask(int registerValue, const MainWindowState& state);

// Family 1's display factors from the motor's sample period: (register,
// factor) for the first control bound to each register. Empty in the other
// families and before the sample period is known.
std::vector<std::pair<int, double>> Family1DisplayFactors(const MainWindowState& state);

// Panel 0's width for a main window width (panel 1 takes the rest).
int Panel0Width(int windowWidth);

// Where a panel draws its text: x of the text for a panel starting at rectLeft.
int PanelTextX(int panel, int rectLeft, int scrollOffset);

// The progress bar in panel 1.
struct ProgressGeometry {
    int fillRight;  // the filled part is [rect.left, fillRight)
    int textX;      // the centred text's left
};
ProgressGeometry ProgressBarGeometry(int rectLeft, int rectWidth, int percent, int textWidth);

// The warnings line glides back and forth when it is wider than panel 0.
class WarningScroller {
public:
    // Amplitude and period for a text and panel width.
    void SetWidths(int textWidth, int panelWidth);
    // One 20 ms tick; true when the offset changed (repaint).
    bool Tick();
    void ResetOffset() { offset_ = 0; }

    int Offset() const { return offset_; }
    int Amplitude() const { return amplitude_; }
    int Period() const { return period_; }

private:
    int amplitude_ = 0;
    int period_ = 0;
    int offset_ = 0;
    long long phase_ = 0;  // lives for the whole run
};

// The two panels, the warnings and the three timers' on/off states. The main
// window drives it from its handlers and timers and paints what it says.
class StatusBarModel {
public:
    // Measures a text on the bar's canvas, in pixels.
    using TextWidth = std::function<int(std::string_view)>;

    const std::string& PanelText(int panel) const { return panels_[panel == 0 ? 0 : 1]; }
    const std::string& Hint() const { return hint_; }
    const std::string& ConnectionTextShown() const { return connectionText_; }
    const Warnings& CurrentWarnings() const { return warnings_; }
    const WarningScroller& Scroller() const { return scroller_; }

    // UpdateStatusText: rebuilds the connection text. True when the connected
    // state differs from the one seen last time (the motor picture is redrawn).
    bool UpdateStatusText(const MainWindowState& state);
    void SetConnectionText(std::string text);

    // UpdateWarnings: re-evaluates the warnings and sets panel 0 and the hint.
    void UpdateWarnings(const MainWindowState& state, int ioTypeValue, const TextWidth& textWidth, int panel0Width);

    // An error text in panel 0 for two seconds; the scroller stops meanwhile.
    void ShowError(std::string text);
    // The error clear timer starts and the scroller stops, the text stays (link notices).
    void StartErrorClear();
    // The error clear timer fired: the warnings line returns and scrolls again.
    void ErrorClearTimer(const MainWindowState& state, int ioTypeValue, const TextWidth& textWidth, int panel0Width);
    // The 20 ms scroll timer fired; true when panel 0 must be repainted.
    bool ScrollTimer();

    // Progress of a long job; percent above 100 counts as 100.
    void SetProgress(int percent, std::string text);
    // One second after 100 %: back to the connection text.
    void ProgressTimer();
    // No progress (link lost, reconnected).
    void ClearProgress() { progress_ = -1; }
    int Progress() const { return progress_; }
    const std::string& ProgressText() const { return progressText_; }

    bool ErrorClearActive() const { return errorClearActive_; }
    bool ScrollActive() const { return scrollActive_; }
    // The scroll timer has work: a warnings line wider than its panel is shown.
    bool ScrollTimerNeeded() const { return scrollActive_ && warnings_.count > 0 && scroller_.Amplitude() > 0; }
    bool ProgressTimerActive() const { return progressTimerActive_; }

private:
    std::string panels_[2];
    std::string hint_;
    std::string connectionText_;
    Warnings warnings_;
    WarningScroller scroller_;
    int progress_ = -1;
    std::string progressText_;
    bool lastConnected_ = false;
    bool errorClearActive_ = false;
    bool scrollActive_ = true;
    bool progressTimerActive_ = false;
};

}  // namespace quenor
