#include "update/firmwarelist.h"

#include "update/firmwarefile.h"

#include "platform/regularfile.h"

#include <QDir>
#include <QString>
#include <algorithm>
#include <cctype>
#include <cstdio>

namespace quenor {

namespace {

int ReleaseKind(std::uint16_t version)
{
    return version >> 14;
}

}  // namespace

bool MatchesFirmwarePattern(const std::string& name)
{
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower.find(".maf") != std::string::npos;
}

std::vector<SFileInfo> ScanFirmwareFiles(const std::vector<std::string>& folders)
{
    std::vector<SFileInfo> out;
    for (const std::string& folder : folders) {
        const QDir dir(QString::fromStdString(folder));
        const QStringList names = dir.entryList(QDir::Files | QDir::Readable, QDir::Name);
        for (const QString& name : names) {
            const std::string n = name.toStdString();
            if (!MatchesFirmwarePattern(n))
                continue;
            const std::string path = dir.filePath(name).toStdString();
            if (!IsRegularFile(path))
                continue;  // a named pipe or a device behind the name: never opened
            try {
                const FirmwareFile f = LoadFirmwareFile(path);
                out.push_back(SFileInfo{path, f.description, f.hardware, f.version, f.subType});
            } catch (const TErr&) {
                // Unreadable or damaged: not offered.
            }
        }
    }
    return out;
}

int VersionKey(std::uint16_t version)
{
    return 2 * (version & 0x1FFF) + ((version & 0x2000) ? 0 : 1);
}

void SortFirmwareFiles(std::vector<SFileInfo>& files)
{
    std::stable_sort(files.begin(), files.end(), [](const SFileInfo& a, const SFileInfo& b) {
        if (a.hardware != b.hardware)
            return a.hardware < b.hardware;
        if (a.hardware == 0) {
            const bool ka = ReleaseKind(a.version) == 2, kb = ReleaseKind(b.version) == 2;
            if (ka != kb)
                return kb;
        }
        return VersionKey(a.version) > VersionKey(b.version);
    });
}

std::vector<SFileInfo> FilterFirmwareFiles(const std::vector<SFileInfo>& sorted, const FirmwareListFilter& filter)
{
    std::vector<SFileInfo> out;
    if (filter.showAll) {
        for (const SFileInfo& f : sorted)
            if (f.hardware >= 0 && f.hardware <= 8)
                out.push_back(f);
        return out;
    }
    const int motorHw = filter.family == 2 ? 8 : 0;
    std::vector<int> types{motorHw};
    if (filter.moduleType > 0 && filter.moduleType != motorHw)
        types.push_back(filter.moduleType);
    std::sort(types.begin(), types.end());
    for (int hw : types) {
        const SFileInfo* best = nullptr;
        for (const SFileInfo& f : sorted) {
            if (f.hardware != hw)
                continue;
            if (hw == 0) {
                const bool kind2 = ReleaseKind(f.version) == 2;
                if ((filter.family == 1) != kind2)
                    continue;
                if (!best || VersionKey(f.version) > VersionKey(best->version))
                    best = &f;
            } else {
                if (f.subType != filter.subTypeFilter && (f.subType & filter.subTypeFilter) == 0)
                    continue;
                if (!best || f.version > best->version)
                    best = &f;
            }
        }
        if (best)
            out.push_back(*best);
    }
    return out;
}

std::string LoaderStatusText(int code, int value)
{
    char buf[64];
    switch (code) {
    case 0:
        return "Starting";
    case 1:
        return "Please wait - resetting motor";
    case 2:
        return "Connecting - Please turn off/on the motor";
    case 3:
        return "Connected";
    case 4:
        return "Got setup";
    case 5:
        return "Erasing";
    case 6:
        std::snprintf(buf, sizeof buf, "Transfering (%d%%)", value);
        return buf;
    case 7:
        return "Transfer OK";
    case 8:
        return "Done";
    case 9:
        return "Failed!";
    case 10:
        return "Aborted!";
    case 11:
        std::snprintf(buf, sizeof buf, "Transfering EPP (%d%%)", value);
        return buf;
    case 12:
        std::snprintf(buf, sizeof buf, "Erasing (%d%%)", value);
        return buf;
    case 13:
        return "Testing communication";
    default:
        return "";
    }
}

std::string UpdateFailedText(int variant, const std::vector<std::string>& errors)
{
    if (errors.empty())
        return "";
    if (variant == 1 && errors.size() > 5)
        return "The firmware update failed\n"
               "This is proberly because of a hardwareflaw in the microprocessor used in this module\n"
               "It might be possible to circumvent this flaw by following this description:\n\n"
               "1: Turn off the motor\n"
               "2: Let the motor cool down for 5 or more minutes\n"
               "3: Press start in the firmware update window\n"
               "4: Wait for the message <Connecting - turn off/on the motor>\n"
               "5: Turn on the motor\n";
    std::string text = "The firmware update failed\nErrors:\n";
    for (const std::string& e : errors) {
        text += e;
        text += '\n';
    }
    return text;
}

std::vector<std::string> SplitErrorLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        const std::size_t stop = end == std::string::npos ? text.size() : end;
        if (stop > start)
            lines.push_back(text.substr(start, stop - start));
        start = stop + 1;
    }
    return lines;
}

}  // namespace quenor
