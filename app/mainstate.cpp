#include "app/mainstate.h"

namespace quenor {

StoredValueEffects StoreRegisterValue(MainWindowState& s, int reg, std::int64_t value)
{
    StoredValueEffects fx;
    const auto u32 = static_cast<std::uint32_t>(value);
    const auto low16 = static_cast<std::uint32_t>(value & 0xFFFF);

    if (reg == 37) {  // start-up mode, every family
        s.startupMode = static_cast<int>(value & 31);
        fx.startupMask = true;
        fx.warnings = true;
        return fx;
    }

    switch (s.generation) {
    case 0:
        switch (reg) {
        case 35: s.statusWord = u32; break;
        case 36: s.register36 = u32; fx.warnings = true; break;
        case 14: s.gearNumerator = static_cast<std::int16_t>(low16); fx.warnings = true; break;
        case 15: s.gearDenominator = static_cast<int>(low16); fx.warnings = true; break;
        case 42: s.homingMode = static_cast<int>(low16); fx.warnings = true; break;
        case 154: s.serial = value; fx.statusText = true; break;
        case 157: s.hardwareRevision = value + 16; break;
        case 158: s.firmwareChecksum = u32; fx.motorInfo = true; break;
        default: break;
        }
        break;
    case 1:
        switch (reg) {
        case 35: s.statusWord = u32; break;
        case 36:
        case 39: fx.warnings = true; break;
        case 204: s.serial = value; fx.statusText = true; break;
        case 205:
            s.hardwareRevision = low16;
            s.bootloaderVersion = static_cast<std::int32_t>(u32) >> 16;
            break;
        case 206: s.firmwareChecksum = u32; fx.motorInfo = true; break;
        case 156: s.sCurve = u32; break;
        case 157: {
            const std::int64_t ticks = value < 1 ? 1 : value;
            s.samplePeriod = static_cast<double>(ticks) * 1.2987 * 0.001;
            fx.displayScales = true;
            break;
        }
        default: break;
        }
        break;
    case 2:
        switch (reg) {
        case 152: s.serial = value; fx.statusText = true; break;
        case 154: s.firmwareChecksum = u32; break;
        case 156: s.hardwareRevision = value; break;
        case 157: s.maxBusVoltage = u32; break;
        case 165: s.optionBits = u32; break;
        case 99: s.encoderBits = u32; break;
        case 159: s.bootloaderVersion = value; fx.motorInfo = true; break;
        default: break;
        }
        break;
    default:
        break;
    }
    return fx;
}

bool ApplyLinkState(MainWindowState& s, int linkState, std::int64_t value)
{
    switch (linkState) {
    case 2:
        s.connected = true;
        s.reconnecting = false;
        s.currentMode = -1;  // a mode shown before is not this motor's: it reports its own
        s.saveInFlashRequired = false;
        s.sCurvePending = false;
        s.firmware = static_cast<int>(value & 0x1FFF);
        s.beta = (value & 0x2000) != 0;
        s.serial = -1;
        s.motorTypeUnknown = false;
        s.moduleType = s.moduleInfo[0];
        return true;
    case 1:
        s.connected = false;
        s.reconnecting = false;
        s.currentMode = -1;  // the next motor reports its own
        s.saveInFlashRequired = false;
        s.sCurvePending = false;
        s.motorTypeUnknown = false;
        s.moduleType = kModuleNone;
        // The next connect brings a new block only when a module answers; a
        // motor without one must not inherit the block of the motor before.
        s.moduleInfo.fill(0);
        return true;
    case 6:
        s.saveInFlashRequired = false;
        s.sCurvePending = false;
        s.reconnecting = true;
        s.currentMode = -1;  // the scan may find another motor
        return true;
    case 7:
        s.reconnecting = false;
        return true;
    case 8:
        s.errorCount = static_cast<int>(value);
        return s.connected;
    default:
        return false;
    }
}

}  // namespace quenor
