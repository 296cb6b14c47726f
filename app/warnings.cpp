#include "app/warnings.h"

#include "app/mainstate.h"
#include "resources/stringtable.h"

#include <cmath>

namespace quenor {

void Warnings::Evaluate(const MainWindowState& s, int ioTypeValue)
{
    flags[kWarnSaveInFlash] = s.saveInFlashRequired;

    const bool module = s.moduleType != kModuleNone;
    if (s.generation == 0)
        flags[kWarnIoType] = module && ioTypeValue != 3 && s.moduleType != kModuleMS;
    else if (s.generation == 1)
        flags[kWarnIoType] = module && ioTypeValue != 9 && s.moduleType != kModuleMS;

    flags[kWarnMaxVelocity] = false;

    if (s.gearDenominator != 0)
        flags[kWarnGearRatio] =
            std::fabs(static_cast<double>(s.gearNumerator) / static_cast<double>(s.gearDenominator)) >= 1024.0;

    flags[kWarnHomingWithModule] = module && (s.homingMode & 0xFF) != 0;

    flags[kWarnStartupMode] = s.moduleType == kModuleMR && s.ModuleStartupMode() != s.startupMode;
    if (flags[kWarnStartupMode])
        args[kWarnStartupMode] = ModeName(s.ModuleStartupMode());

    flags[kWarnModuleVersion] = s.moduleType == kModuleMR && s.ModuleVersion() < 0x1B;

    flags[kWarnSCurve] = s.sCurvePending;

    count = 0;
    for (bool f : flags)
        count += f ? 1 : 0;
}

std::string Warnings::JoinedTitles(const std::string& separator) const
{
    std::string text;
    bool first = true;
    for (int bit = 0; bit < kWarningCount; ++bit) {
        if (!flags[static_cast<std::size_t>(bit)])
            continue;
        if (!first)
            text += separator;
        first = false;
        // Every title is formatted with bit 5's argument; only title 5 takes it.
        text += FormatResourceText(kWarningTitleBase + bit, args[kWarnStartupMode]);
    }
    return text;
}

std::string Warnings::PanelText() const
{
    if (count == 0)
        return "B";
    return "RWarning: " + JoinedTitles("; ") + " [Click for details]";
}

std::string Warnings::Hint() const
{
    if (count == 0)
        return {};
    return "Warnings:\r" + JoinedTitles("\r");
}

bool Warnings::SaveNeedsConfirmation() const
{
    return count > (flags[kWarnSaveInFlash] ? 1 : 0) + (flags[kWarnSCurve] ? 1 : 0);
}

std::string FormatResourceText(int id, const std::string& argument)
{
    const std::string format = LoadStr(id);
    std::string text;
    text.reserve(format.size() + argument.size());
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            if (format[i + 1] == 's') {
                text += argument;
                ++i;
                continue;
            }
            if (format[i + 1] == '%') {
                text += '%';
                ++i;
                continue;
            }
        }
        text += format[i];
    }
    return text;
}

std::string ModeName(int mode)
{
    static constexpr const char* kNames[20] = {
        "Passive",
        "Velocity",
        "Position",
        "Gear",
        "Analogue torque (direct)",
        "Analogue velocity",
        "Analogue velocity/gear",
        "",
        "",
        "",
        "",
        "",
        "Torque Homing",
        "Input homing 1",
        "Input homing 2",
        "Safe mode",
        "Analogue velocity (with deadband)",
        "Velocity/analogue torque",
        "Coil",
        "Analogue to position",
    };
    if (mode < 0 || mode >= 20)
        return "Unknown";
    return kNames[mode];
}

}  // namespace quenor
