#include "app/moduledialogs.h"

#include <algorithm>

namespace quenor {

std::vector<std::string> NumberTexts(int first, int count)
{
    std::vector<std::string> out;
    out.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i)
        out.push_back(std::to_string(first + i));
    return out;
}

int ListPreset(int index, int count)
{
    return index >= 0 && index < count ? index : -1;
}

bool AllSelected(std::span<const int> indexes)
{
    return std::all_of(indexes.begin(), indexes.end(), [](int i) { return i >= 0; });
}

DeviceNetChoice DeviceNetPreset(std::uint8_t nodeSetting, std::uint8_t baudSetting)
{
    return {ListPreset(baudSetting & 3, static_cast<int>(kDeviceNetBaudTexts.size())),
            ListPreset(nodeSetting & 63, kDeviceNetNodeCount)};
}

FsChoice FsPreset(std::uint8_t baudCode, std::uint8_t address, std::uint8_t groupId)
{
    return {ListPreset(baudCode & 7, static_cast<int>(kFsBaudTexts.size())),
            ListPreset(address - kFsAddressFirst, kFsAddressCount), ListPreset(groupId, kFsGroupCount)};
}

std::optional<std::array<std::uint8_t, 3>> FsSetupBytes(const FsChoice& choice)
{
    if (ListPreset(choice.baudIndex, static_cast<int>(kFsBaudTexts.size())) < 0 ||
        ListPreset(choice.addressIndex, kFsAddressCount) < 0 || ListPreset(choice.groupIndex, kFsGroupCount) < 0)
        return std::nullopt;
    return std::array<std::uint8_t, 3>{static_cast<std::uint8_t>(choice.baudIndex),
                                       static_cast<std::uint8_t>(choice.addressIndex + kFsAddressFirst),
                                       static_cast<std::uint8_t>(choice.groupIndex)};
}

}  // namespace quenor
