#include "app/motorinfo.h"

#include "app/mainstate.h"

#include <array>
#include <cstdio>

namespace quenor {
namespace {

constexpr const char* kCrLf = "\r\n";

std::string Hex(const char* format, std::uint32_t value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, format, static_cast<unsigned>(value));
    return buffer;
}

}  // namespace

std::string FormatVersion(SVersion version)
{
    const std::uint32_t value = version.word & 0x1FFF;
    const std::uint32_t kind = (version.word >> 14) & 3;
    const std::uint32_t major = kind == 2 ? value >> 6 : value >> 4;
    const std::uint32_t minor = kind == 2 ? value & 0x3F : value & 0xF;
    std::string text = std::to_string(major) + "." + std::to_string(minor);
    if (version.word & 0x2000)
        text += " Beta";
    return text;
}

int GetBaudRate(int baudIndex)
{
    static constexpr std::array<int, 8> kRates = {9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};
    if (baudIndex < 0 || baudIndex >= static_cast<int>(kRates.size()))
        return -1;
    return kRates[static_cast<std::size_t>(baudIndex)];
}

std::string MotorInformationText(const MainWindowState& s)
{
    std::string text;
    switch (s.generation) {
    case 0:
        text = std::string("Motor information:") + kCrLf + Hex("Firmware checksum: 0x%08X ", s.firmwareChecksum) + kCrLf
             + "Hardware revision: " + FormatVersion(SVersion(s.hardwareRevision));
        break;
    case 1:
        text = std::string("Motor information:") + kCrLf + Hex("Firmware checksum: 0x%08X ", s.firmwareChecksum) + kCrLf
             + "Hardware revision: " + FormatVersion(SVersion(s.hardwareRevision)) + kCrLf
             + "Bootloader version: " + FormatVersion(SVersion(s.bootloaderVersion));
        break;
    case 2: {
        text = std::string("Motor information:") + kCrLf + Hex("Firmware checksum: 0x%04X", s.firmwareChecksum) + kCrLf
             + "Bootloader version: " + FormatVersion(SVersion(s.bootloaderVersion)) + kCrLf
             + "Hardware revision: " + FormatVersion(SVersion(s.hardwareRevision)) + kCrLf;
        if (s.encoderBits > 0)
            text += "Encoder: " + std::to_string(s.encoderBits) + " bit" + kCrLf;
        else
            text += std::string("Encoder: Not installed") + kCrLf;
        text += "Maximum bus voltage: " + std::to_string(s.maxBusVoltage) + " volt";
        static constexpr const char* kOptions[] = {"CanOpen", "DeviceNet"};
        for (int i = 0; i < 2; ++i) {
            const bool lowBit = (s.optionBits >> i) & 1;
            const bool highBit = (s.optionBits >> (i + 8)) & 1;
            if (!lowBit && !highBit)
                continue;
            text += std::string(kCrLf) + kOptions[i] + ": ";
            if (lowBit && highBit)
                text += "Installed";
            else if (lowBit)
                text += "No support in firmware";
            else
                text += "No support in hardware";
        }
        break;
    }
    default:
        break;
    }

    if (s.generation != 2 && s.moduleType != kModuleNone && s.moduleBootloader != 0) {
        if (!text.empty())
            text += kCrLf;
        text += std::string("Module information:") + kCrLf + "Bootloader version: "
              + FormatVersion(SVersion(s.moduleBootloader));
    }
    return text;
}

}  // namespace quenor
