#pragma once
// The per-user settings store, in place of the registry key
// "Software\Tovik\Quenor": the file ~/.config/Tovik/Quenor.conf (organisation
// "Tovik", application "Quenor"), in the form QSettings reads and writes.
// Value names are the registry's.
//
// Values are read as QSettings reads them, from the user's file and the files
// it falls back to (the organisation's beside it, the system-wide ones), but
// by the rule for files from outside (platform/regularfile.h): only a regular
// file is read, and a named pipe is never waited for. A file that breaks the
// rule, or cannot be read, counts as holding nothing, and standard error says
// why. A value written here is kept in the process, where every Settings
// object sees it at once, until a Sync (of any Settings object) writes it;
// nothing is written before. Sync reads the file again (what another program
// or the user put there stays), the changes are laid over it, and the whole
// text is saved by the rule for the user's files (platform/savefile.h), so
// the file is replaced whole or left as it was. A write that fails is said on
// standard error and is not taken as done: its changes stay in the process
// and the next Sync writes them with its own. A file that is there but is no
// regular file, or cannot be read, is not written over. The lock that other
// programs take while they write the file through QSettings is waited for a
// few seconds at most.

#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quenor {

class Settings {
public:
    Settings();
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    QString FileName() const;

    // The value of name ("ComPort", "MRUList/MRU1"); invalid when missing.
    QVariant Value(const QString& name) const;
    bool Contains(const QString& name) const;
    // The names of the values directly under group ("Ports": "COM1", ...).
    QStringList ChildKeys(const QString& group) const;

    int ReadInteger(const QString& name, int def) const;
    bool ReadBool(const QString& name, bool def) const;
    std::string ReadString(const QString& name, const std::string& def) const;  // 8-bit text
    // Binary values; nullopt when the value is missing.
    std::optional<std::vector<std::uint8_t>> ReadBinary(const QString& name) const;

    void SetValue(const QString& name, const QVariant& value);
    void WriteInteger(const QString& name, int value) { SetValue(name, value); }
    void WriteBool(const QString& name, bool value) { SetValue(name, value); }
    void WriteString(const QString& name, const std::string& value);
    void WriteBinary(const QString& name, const std::vector<std::uint8_t>& value);
    // Removes the value and every value under it as a group; an empty name
    // removes every value.
    void Remove(const QString& name);

    // Writes every change not written yet (of any Settings object) into the
    // file. False, with the reason, when the file was not saved whole: the
    // file stays as it was and the changes stay to be written.
    bool Sync(std::string* reason = nullptr);

private:
    void Read() const;
    // The values of each file, in the order they are looked into.
    const std::vector<std::map<QString, QVariant>>& Values() const;
    std::optional<std::optional<QVariant>> Pending(const QString& name) const;

    std::vector<QString> files_;  // the user's first
    mutable std::vector<std::map<QString, QVariant>> values_;
    mutable std::uint64_t readerWrites_ = 0;
};

}  // namespace quenor
