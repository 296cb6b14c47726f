#include "app/statustext.h"

#include "app/mainstate.h"
#include "app/motorinfo.h"
#include "app/motortypes.h"

#include <cmath>

namespace quenor {

StatusColour ColourOfStatusText(std::string_view text)
{
    if (text.empty())
        return StatusColour::Default;
    if (text.front() == 'G')
        return StatusColour::Green;
    if (text.front() == 'R')
        return StatusColour::Red;
    return StatusColour::Default;
}

std::string_view VisibleStatusText(std::string_view text)
{
    if (text.empty())
        return {};
    return text.substr(1, kStatusTextMax);
}

std::string ParameterErrorText(int code, std::string_view limitText)
{
    switch (code) {
    case 1:
        return "RError: Parameter out of range! (min is " + std::string(limitText) + ")";
    case 2:
        return "RError: Parameter out of range! (max is " + std::string(limitText) + ")";
    case 3:
        return "RError: Invalid number!";
    case 6:
        return "RError: Parameter must not be zero";
    default:
        return {};
    }
}

std::string MotorNameText(int generation, int motorType)
{
    std::string name;
    if (generation == 2)
        name = motorType == 64 ? "QOR" : "WIB";
    else
        name = "VEK";
    if (motorType >= 1 && motorType <= 67)
        name += std::to_string(ModelDisplayNumber(motorType));
    if (generation == 1 && (motorType & 1) != 0)
        name += "-dq";
    return name;
}

std::string FirmwareVersionText(int generation, int firmware, bool beta)
{
    std::string text = generation == 1 ? std::to_string(firmware >> 6) + "." + std::to_string(firmware & 63)
                                       : std::to_string(firmware >> 4) + "." + std::to_string(firmware & 15);
    if (beta)
        text += " Beta";
    return text;
}

namespace {

std::string ModulePart(const MainWindowState& s)
{
    if (!s.connected || s.generation == 2)
        return {};
    const char* name = nullptr;
    switch (s.moduleType) {
    case kModuleMR: name = "MR"; break;
    case kModuleMP: name = "MP"; break;
    case kModuleMC: name = "MC"; break;
    case kModuleMRP: name = "MRP"; break;
    case kModuleMD: name = "MD"; break;
    case kModuleMS: name = "MS"; break;
    default: return {};
    }
    const int version = s.ModuleVersion();
    return std::string(" -") + name + " (Version " + std::to_string(version >> 4) + "." + std::to_string(version & 15)
         + ")";
}

}  // namespace

std::string ConnectionText(const MainWindowState& s)
{
    const std::string port = std::to_string(s.portIndex + 1);
    if (!s.connected) {
        if (s.portError && s.baudUnsupported)
            return "R*** Unsupported baud rate " + std::to_string(GetBaudRate(s.baudIndex)) + " on COM" + port + " ***";
        if (s.portError)
            return "R*** Error opening COM" + port + (s.portErrorDetail.empty() ? "" : " (" + s.portErrorDetail + ")") +
                   " ***";
        return "R*** No connection COM" + port + ", Baudrate: " + std::to_string(GetBaudRate(s.baudIndex)) + " ***";
    }

    std::string serial;
    if (s.serial != -1 && s.serial != 0)
        serial = ",SN: " + std::to_string(s.serial);
    std::string link;
    if (s.reconnecting) {
        link = " Reconnecting";
    } else {
        link = " Connected";
        if (s.errorCount > 0)
            link += ", Com. errors: " + std::to_string(s.errorCount);
    }
    std::string text = "G";
    if (s.motorTypeUnknown)
        text += "Unknown type " + std::to_string(s.reportedTypeCode);  // the pages show the family
    else
        text += MotorNameText(s.generation, s.motorType);
    text += " (Version ";
    text += FirmwareVersionText(s.generation, s.firmware, s.beta);
    text += serial;
    text += ")";
    text += ModulePart(s);
    text += link;
    return text;
}

std::string ConnectionHint(const MainWindowState& s)
{
    if (s.connected || !s.portError || s.baudUnsupported || s.portFault != PortFault::Permission)
        return {};
    return "The program may not read and write the serial device. The usual cure: make the user a member of "
           "the group dialout (sudo adduser $USER dialout), then log out and in again.";
}

ModuleTabVisibility ModuleTabsFor(const MainWindowState& s)
{
    // Connected, the page of the module the motor has (whatever motor or
    // family came before it); offline, all or none as "View hidden pages" says.
    auto page = [&](int type) { return s.connected ? s.moduleType == type : s.viewHidden; };
    ModuleTabVisibility tabs;
    tabs.seqlet = page(kModuleMR);
    tabs.profi = page(kModuleMP);
    tabs.canOpen = page(kModuleMC);
    tabs.deviceNet = page(kModuleMD);
    tabs.fs = page(kModuleMS);
    // Family 2's programming page is always there.
    tabs.vizu = page(kModuleMRP) || s.generation == 2;
    return tabs;
}

int ModeToGroupMask(int registerValue, const MainWindowState& s)
{
    const int m = registerValue & 31;
    int mask;
    if (m <= 7)
        mask = 1 << m;
    else if (m >= 16 && m <= 21)
        mask = 0x100 << (m - 16);
    else if (m == 30 || m == 31)
        mask = 0x400;
    else
        mask = 1;
    if (s.moduleType == kModuleMRP)
        mask |= 0x4000;
    if (s.generation == 2) {
        if (s.encoderBits != 0)
            mask |= 0x8000;
        if ((s.optionBits & 0x101) == 0x101)
            mask |= 0x10000;
    }
    return mask;
}

std::vector<std::pair<int, double>> Family1DisplayFactors(const MainWindowState& s)
{
    std::vector<std::pair<int, double>> factors;
    if (s.generation != 1 || !(s.samplePeriod > 0.0))
        return factors;
    const double S = s.samplePeriod;
    const double V = 60.0 / (8000.0 * S);
    const double A = V / (16.0 * S);
    for (int r : {5, 40, 11})
        factors.emplace_back(r, V * 0.0625);
    for (int r = 65; r <= 72; ++r)
        factors.emplace_back(r, V * 0.0625);
    factors.emplace_back(33, V);
    for (int r : {6, 32})
        factors.emplace_back(r, A);
    for (int r = 73; r <= 76; ++r)
        factors.emplace_back(r, A);
    return factors;
}

int Panel0Width(int windowWidth)
{
    const int width = windowWidth - 415;
    return width > 0 ? width : 0;
}

int PanelTextX(int panel, int rectLeft, int scrollOffset)
{
    const int margin = panel == 0 ? scrollOffset : 2;
    return rectLeft + margin + 1;
}

ProgressGeometry ProgressBarGeometry(int rectLeft, int rectWidth, int percent, int textWidth)
{
    ProgressGeometry g;
    g.textX = rectLeft + (rectWidth - textWidth) / 2;
    g.fillRight = rectLeft + percent * rectWidth / 100;
    return g;
}

void WarningScroller::SetWidths(int textWidth, int panelWidth)
{
    amplitude_ = (textWidth - panelWidth) / 2;
    period_ = 10 * amplitude_;
    if (amplitude_ < 0)
        amplitude_ = 0;
    // A line that fits stands at its home place (no tick comes to put it there).
    if (amplitude_ == 0)
        offset_ = 0;
}

bool WarningScroller::Tick()
{
    int offset = 0;
    if (amplitude_ > 0 && period_ > 0) {
        phase_ = (phase_ + 1) % period_;
        const double t = 6.28 * static_cast<double>(phase_) / static_cast<double>(period_);
        offset = static_cast<int>(std::trunc(-static_cast<double>(amplitude_) * (std::sin(t) + 1.0)));
    }
    if (offset == offset_)
        return false;
    offset_ = offset;
    return true;
}

bool StatusBarModel::UpdateStatusText(const MainWindowState& state)
{
    SetConnectionText(ConnectionText(state));
    const bool changed = state.connected != lastConnected_;
    lastConnected_ = state.connected;
    return changed;
}

void StatusBarModel::SetConnectionText(std::string text)
{
    connectionText_ = std::move(text);
    panels_[1] = connectionText_;
}

void StatusBarModel::UpdateWarnings(const MainWindowState& state, int ioTypeValue, const TextWidth& textWidth,
                                    int panel0Width)
{
    warnings_.Evaluate(state, ioTypeValue);
    panels_[0] = warnings_.PanelText();
    hint_ = warnings_.Hint();
    if (warnings_.count > 0)
        scroller_.SetWidths(textWidth ? textWidth(panels_[0]) : 0, panel0Width);
}

void StatusBarModel::ShowError(std::string text)
{
    if (!text.empty())
        panels_[0] = std::move(text);
    StartErrorClear();
}

void StatusBarModel::StartErrorClear()
{
    errorClearActive_ = true;
    scrollActive_ = false;
    scroller_.ResetOffset();
}

void StatusBarModel::ErrorClearTimer(const MainWindowState& state, int ioTypeValue, const TextWidth& textWidth,
                                     int panel0Width)
{
    UpdateWarnings(state, ioTypeValue, textWidth, panel0Width);
    errorClearActive_ = false;
    scrollActive_ = true;
}

bool StatusBarModel::ScrollTimer()
{
    if (!scrollActive_)
        return false;
    return scroller_.Tick();
}

void StatusBarModel::SetProgress(int percent, std::string text)
{
    progress_ = percent > 100 ? 100 : percent;
    progressText_ = std::move(text);
    panels_[1] = std::to_string(progress_);
    progressTimerActive_ = progress_ == 100;
}

void StatusBarModel::ProgressTimer()
{
    progressTimerActive_ = false;
    progress_ = -1;
    panels_[1] = connectionText_;
}

}  // namespace quenor
