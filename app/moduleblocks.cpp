// Decoding of the plug-in modules' blocks for their pages.

#include "app/moduleblocks.h"

#include <algorithm>
#include <iterator>

namespace quenor {

namespace {

constexpr std::array<int, 16> kCanOpenKbit = {1000, 800, 500, 250, 125, 100, 50, 20, 10, 0, 0, 0, 0, 0, 0, 0};
constexpr std::array<int, 4> kDeviceNetKbit = {125, 250, 500, 500};
constexpr std::array<int, 8> kFsBaud = {19200, 38400, 57600, 115200, 230400, 460800, 921600, 0};

// Byte i of a block, 0 beyond its end.
std::uint8_t At(std::span<const std::uint8_t> b, std::size_t i)
{
    return i < b.size() ? b[i] : 0;
}

std::string Source(std::uint8_t byte)
{
    return (byte & 0x80) ? " (Software)" : " (Switch)";
}

}  // namespace

ModuleSetupView DecodeModuleSetup(std::span<const std::uint8_t> b)
{
    ModuleSetupView v;
    v.moduleType = At(b, 0);
    switch (v.moduleType) {
    case kModuleTypeMP:
        v.profiTab = true;
        v.profiAddress = std::to_string(At(b, 2));
        v.bootloaderVersion = static_cast<std::uint32_t>(At(b, 3)) | static_cast<std::uint32_t>(At(b, 4)) << 8 |
                              static_cast<std::uint32_t>(At(b, 5)) << 16 | static_cast<std::uint32_t>(At(b, 6)) << 24;
        break;
    case kModuleTypeMC:
        v.canOpenTab = true;
        v.stationAddress = std::to_string(At(b, 2));
        v.canOpenBaudrate = std::to_string(kCanOpenKbit[At(b, 3) & 15]) + " kbit";
        break;
    case kModuleTypeMD:
        v.deviceNetTab = true;
        break;
    case kModuleTypeMS:
        v.fsTab = true;
        break;
    case kModuleTypeMR: {
        v.seqletTab = true;
        const std::uint8_t format = At(b, 2);
        v.seqletFormat = format == 0 ? std::string("Custom") : std::to_string(format);
        const std::uint8_t version = At(b, 3);
        v.seqletVersion = std::to_string(version >> 4) + "." + std::to_string(version & 15);
        v.seqletPowerup = At(b, 5) != 0 ? "Enabled" : "Disabled";
        v.seqletAddress = std::to_string(At(b, 4));
        break;
    }
    case kModuleTypeMRP:
        v.vizuTab = true;
        v.bootloaderVersion = At(b, 6);
        break;
    default:
        break;
    }
    return v;
}

std::string ProfibusStatusText(int code)
{
    static const char* const kTexts[] = {"Idle - OK", "Executing request", "Reserved",
                                         "Limit switch active", "Profi error", "Connecting to Vek Motor"};
    if (code < 0 || code >= static_cast<int>(std::size(kTexts)))
        return {};
    return kTexts[code];
}

ProfiStatusView DecodeProfiStatus(std::span<const std::uint8_t> b)
{
    ProfiStatusView v;
    v.status = ProfibusStatusText(At(b, 7) & 15);
    const std::uint8_t in = At(b, 5);
    for (std::size_t i = 0; i < v.inputs.size(); ++i)
        v.inputs[i] = (in >> i) & 1;
    const std::uint8_t motor = At(b, 4);
    v.inPosition = motor & 0x10;
    v.error = motor & 0x01;
    v.accelerating = motor & 0x20;
    v.decelerating = motor & 0x40;
    return v;
}

ModuleIoView DecodeModuleIo(std::span<const std::uint8_t> b)
{
    ModuleIoView v;
    for (std::size_t i = 0; i < v.inputs.size(); ++i)
        v.inputs[i] = (At(b, 1) >> i) & 1;
    for (std::size_t i = 0; i < v.outputs.size(); ++i)
        v.outputs[i] = (At(b, 2) >> i) & 1;
    v.state = std::to_string(At(b, 0) & 63);
    v.running = (At(b, 2) & 0x10) ? "Yes" : "No";
    return v;
}

DebugMemo ModuleDebugMemo(int moduleType)
{
    if (moduleType == kModuleTypeMD)
        return DebugMemo::DeviceNet;
    if (moduleType == kModuleTypeMS)
        return DebugMemo::Fs;
    return DebugMemo::None;
}

DeviceNetStatusView DecodeDeviceNetStatus(std::span<const std::uint8_t> b)
{
    DeviceNetStatusView v;
    if (b.size() > 0) {
        v.nodeSetting = b[0];
        std::string node = std::to_string(b[0] & 63);
        node += Source(b[0]);
        v.node = std::move(node);
    }
    if (b.size() > 1) {
        v.baudSetting = b[1];
        v.baudrate = std::to_string(kDeviceNetKbit[b[1] & 3]) + " kbit/s" + Source(b[1]);
    }
    if (b.size() > 4)
        v.power = b[4] != 0 ? "DeviceNet Power: On" : "DeviceNet Power: Off";
    return v;
}

void FsStatusRecord::Assign(std::span<const std::uint8_t> block)
{
    const std::size_t n = std::min(block.size(), kSize);
    std::copy_n(block.begin(), n, bytes.begin());
    length = std::max(length, n);
}

FsStatusView DecodeFsStatus(std::span<const std::uint8_t> b)
{
    FsStatusView v;
    if (b.size() > 0) {
        std::array<bool, 5> in{};
        for (std::size_t i = 0; i < in.size(); ++i)
            in[i] = (b[0] >> i) & 1;
        v.inputs = in;
    }
    if (b.size() > 4)
        v.baudrate = std::to_string(kFsBaud[b[4] & 7]) + " baud";
    if (b.size() > 5)
        v.address = std::to_string(b[5]);
    if (b.size() > 6)
        v.groupId = std::to_string(b[6]);
    return v;
}

FsChoice FsPresetOf(const FsStatusRecord& record)
{
    return FsPreset(record.bytes[4], record.bytes[5], record.bytes[6]);
}

}  // namespace quenor
