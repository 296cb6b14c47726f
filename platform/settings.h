#pragma once
// The per-user settings store, in place of the registry key
// "Software\Tovik\Quenor". Value names are the registry's.

#include <QSettings>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quenor {

class Settings {
public:
    Settings();  // organisation "Tovik", application "Quenor"

    int ReadInteger(const QString& name, int def) const;
    void WriteInteger(const QString& name, int value);
    bool ReadBool(const QString& name, bool def) const;
    void WriteBool(const QString& name, bool value);
    std::string ReadString(const QString& name, const std::string& def) const;  // 8-bit text
    void WriteString(const QString& name, const std::string& value);
    // Binary values; nullopt when the value is missing.
    std::optional<std::vector<std::uint8_t>> ReadBinary(const QString& name) const;
    void WriteBinary(const QString& name, const std::vector<std::uint8_t>& value);
    bool Contains(const QString& name) const;
    void Remove(const QString& name);
    void Sync();

    QSettings& Raw() { return settings_; }

private:
    mutable QSettings settings_;
};

}  // namespace quenor
