#pragma once
// The choices of the DeviceNet parameters and VekMS setup dialogs: their
// lists, how the module pages preset them from what the module reported, and
// what goes back to the module. A reported value that names no item of a list
// leaves that list without a selection (never a neighbouring item in its
// place), and such a dialog cannot be confirmed until the user picks one.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quenor {

inline constexpr std::array<const char*, 3> kDeviceNetBaudTexts = {"125kbit/s", "250kbit/s", "500kbit/s"};
inline constexpr int kDeviceNetNodeCount = 64;  // "0" .. "63"

inline constexpr std::array<const char*, 5> kFsBaudTexts = {"19200", "38400", "57600", "115200", "230400"};
inline constexpr int kFsAddressFirst = 1;  // "1" .. "254"
inline constexpr int kFsAddressCount = 254;
inline constexpr int kFsGroupCount = 256;  // "0" .. "255"

// The texts "first" .. "first + count - 1".
std::vector<std::string> NumberTexts(int first, int count);

// index when it names one of count items, else -1 (no selection).
int ListPreset(int index, int count);
// Every list has a selection: the rule for the dialogs' "&Ok".
bool AllSelected(std::span<const int> indexes);

// Item indexes of the DeviceNet dialog (-1: none).
struct DeviceNetChoice {
    int baudIndex = -1;
    int nodeIndex = -1;
    bool operator==(const DeviceNetChoice&) const = default;
};
// From the node and baud settings of the module's status (bits 0-5 the node,
// bits 0-1 the baud code; bit 7 tells software from switch).
DeviceNetChoice DeviceNetPreset(std::uint8_t nodeSetting, std::uint8_t baudSetting);

// Item indexes of the VekMS dialog (-1: none).
struct FsChoice {
    int baudIndex = -1;
    int addressIndex = -1;
    int groupIndex = -1;
    bool operator==(const FsChoice&) const = default;
};
// From the module's setup record: baud code (bits 0-2), address, group id.
FsChoice FsPreset(std::uint8_t baudCode, std::uint8_t address, std::uint8_t groupId);
// The three setup bytes {baud index, address, group id}; none while a list has
// no selection.
std::optional<std::array<std::uint8_t, 3>> FsSetupBytes(const FsChoice& choice);

}  // namespace quenor
