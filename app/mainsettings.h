#pragma once
// The main window's stored settings: what it reads at start and writes at exit.

#include <QByteArray>
#include <QString>
#include <optional>
#include <string>
#include <vector>

namespace quenor {

class Settings;

struct MainSettings {
    int portIndex = 0;        // "ComPort": port number minus one
    int baudIndex = 1;        // "Baudrate": 0..7 for 9600..921600
    int lastGeneration = -1;  // "LastGeneration"
    bool dontConnectionHelp = false;  // "Don't Connection Help"
    int comOptions = 0;               // "ComOptions"
    std::optional<QByteArray> windowPlacement;  // "WindowPlacement" (window geometry)
    std::optional<QByteArray> toolbarLayout;    // "ToolbarPositions" (tool bar and dock state)
    std::vector<QString> recentFiles;           // "MRUList": "MRU1", "MRU2", ... newest first
    bool firstGroupRead = false;  // port, baud rate, generation and layout were all there

    // Reads as the main window does at start: port, baud rate, generation and the
    // tool bar layout form one group; when a value of the group is missing (or
    // unusable) the port becomes COM1, the baud rate 19200 and the rest of the
    // group is not read. The other values fall back one by one.
    static MainSettings Load(const Settings& settings);
    // Writes everything back (at exit); the window placement and the tool bar
    // layout only when given. False when the settings file was not saved (the
    // file stays as it was; Settings says why on standard error).
    bool Save(Settings& settings) const;
};

constexpr int kPortCount = 24;
constexpr std::size_t kMaxRecentFiles = 4;

// Puts name at the top of a recent-files list (once), keeping at most kMaxRecentFiles.
void AddRecentFile(std::vector<QString>& list, const QString& name);
constexpr int kBaudRateCount = 8;
int BaudRateOfIndex(int index);  // 9600 .. 921600; 19200 for an index outside 0..7

}  // namespace quenor
