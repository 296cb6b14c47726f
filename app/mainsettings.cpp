#include "app/mainsettings.h"

#include "platform/settings.h"

#include <algorithm>

namespace quenor {
namespace {

const QString kComPort = QStringLiteral("ComPort");
const QString kBaudrate = QStringLiteral("Baudrate");
const QString kLastGeneration = QStringLiteral("LastGeneration");
const QString kWindowPlacement = QStringLiteral("WindowPlacement");
const QString kToolbarPositions = QStringLiteral("ToolbarPositions");
const QString kConnectionHelp = QStringLiteral("Don't Connection Help");
const QString kComOptions = QStringLiteral("ComOptions");

std::optional<int> ReadInt(const Settings& s, const QString& name)
{
    if (!s.Contains(name))
        return std::nullopt;
    bool ok = false;
    const int v = s.Value(name).toInt(&ok);
    if (!ok)
        return std::nullopt;
    return v;
}

}  // namespace

void AddRecentFile(std::vector<QString>& list, const QString& name)
{
    list.erase(std::remove(list.begin(), list.end(), name), list.end());
    list.insert(list.begin(), name);
    if (list.size() > kMaxRecentFiles)
        list.resize(kMaxRecentFiles);
}

int BaudRateOfIndex(int index)
{
    static const int rates[kBaudRateCount] = {9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};
    if (index < 0 || index >= kBaudRateCount)
        return 19200;
    return rates[index];
}

MainSettings MainSettings::Load(const Settings& settings)
{
    MainSettings m;
    const auto port = ReadInt(settings, kComPort);
    const auto baud = ReadInt(settings, kBaudrate);
    const auto generation = ReadInt(settings, kLastGeneration);
    // A port or rate that the menus do not hold would select nothing: such a
    // value counts as missing.
    const bool portOk = port && *port >= 0 && *port < kPortCount;
    const bool baudOk = baud && *baud >= 0 && *baud < kBaudRateCount;
    if (portOk && baudOk && generation) {
        m.portIndex = *port;
        m.baudIndex = *baud;
        m.lastGeneration = *generation;
        if (settings.Contains(kToolbarPositions)) {
            m.toolbarLayout = settings.Value(kToolbarPositions).toByteArray();
            m.firstGroupRead = true;
            for (std::size_t i = 1; i <= kMaxRecentFiles; ++i) {
                const QString name =
                    settings.Value(QStringLiteral("MRUList/MRU%1").arg(i)).toString();
                if (!name.isEmpty() && std::find(m.recentFiles.begin(), m.recentFiles.end(), name) == m.recentFiles.end())
                    m.recentFiles.push_back(name);
            }
        }
    } else {
        m.portIndex = 0;
        m.baudIndex = 1;
    }
    if (settings.Contains(kWindowPlacement))
        m.windowPlacement = settings.Value(kWindowPlacement).toByteArray();
    m.dontConnectionHelp = settings.ReadBool(kConnectionHelp, false);
    m.comOptions = ReadInt(settings, kComOptions).value_or(0);
    return m;
}

bool MainSettings::Save(Settings& settings) const
{
    settings.WriteInteger(kComPort, portIndex);
    settings.WriteInteger(kBaudrate, baudIndex);
    settings.WriteBool(kConnectionHelp, dontConnectionHelp);
    settings.WriteInteger(kComOptions, comOptions);
    if (windowPlacement)
        settings.SetValue(kWindowPlacement, *windowPlacement);
    settings.WriteInteger(kLastGeneration, lastGeneration);
    if (toolbarLayout)
        settings.SetValue(kToolbarPositions, *toolbarLayout);
    settings.Remove(QStringLiteral("MRUList"));
    for (std::size_t i = 0; i < recentFiles.size() && i < kMaxRecentFiles; ++i)
        settings.SetValue(QStringLiteral("MRUList/MRU%1").arg(i + 1), recentFiles[i]);
    return settings.Sync();
}

}  // namespace quenor
