#pragma once
// The firmware update dialog's logic: the list of firmware files, which of
// them to offer, and the texts of the loader's states and failures.

#include <cstdint>
#include <string>
#include <vector>

namespace quenor {

struct SFileInfo {
    std::string fileName;     // full path
    std::string description;  // the information block's text (8-bit)
    int hardware = 0;
    std::uint16_t version = 0;
    int subType = 0;
};

// True for names that "*.maf*" matches, in any letter case.
bool MatchesFirmwarePattern(const std::string& name);

// Every firmware file in the folders that reads and passes its checks; a file
// that does not is left out. Unsorted.
std::vector<SFileInfo> ScanFirmwareFiles(const std::vector<std::string>& folders);

// The order of versions: 2 * value + 1 for a release, + 0 for a beta.
int VersionKey(std::uint16_t version);

// By hardware type; within type 0 the files of release kind 2 after the
// others; then newest first by VersionKey.
void SortFirmwareFiles(std::vector<SFileInfo>& files);

struct FirmwareListFilter {
    bool showAll = false;
    int family = 0;         // motor family 0, 1 or 2
    int moduleType = 0;     // connected module, 0 for none
    int subTypeFilter = 0;  // for hardware types above 0
};

// From a sorted list: with showAll every file of hardware type 0 to 8;
// otherwise the newest file for the motor (hardware 8 in family 2, else 0, of
// the family's release kind) and the newest for the connected module (whose
// sub-type matches the filter or shares a bit with it).
std::vector<SFileInfo> FilterFirmwareFiles(const std::vector<SFileInfo>& sorted, const FirmwareListFilter& filter);

// The status label's text for a loader status code.
std::string LoaderStatusText(int code, int value);

// The text of the box shown for a failed update, or empty when there are no
// errors to show. errors: one error per line.
std::string UpdateFailedText(int variant, const std::vector<std::string>& errors);

// Splits the failure message's text into its lines.
std::vector<std::string> SplitErrorLines(const std::string& text);

}  // namespace quenor
