#include "platform/settings.h"

#include "platform/cp1252.h"

namespace quenor {

Settings::Settings() : settings_(QStringLiteral("Tovik"), QStringLiteral("Quenor")) {}

int Settings::ReadInteger(const QString& name, int def) const
{
    bool ok = false;
    const int v = settings_.value(name).toInt(&ok);
    return ok ? v : def;
}

void Settings::WriteInteger(const QString& name, int value) { settings_.setValue(name, value); }

bool Settings::ReadBool(const QString& name, bool def) const
{
    const QVariant v = settings_.value(name);
    if (!v.isValid())
        return def;
    return v.toBool();
}

void Settings::WriteBool(const QString& name, bool value) { settings_.setValue(name, value); }

std::string Settings::ReadString(const QString& name, const std::string& def) const
{
    const QVariant v = settings_.value(name);
    if (!v.isValid())
        return def;
    return ToCp1252(v.toString());
}

void Settings::WriteString(const QString& name, const std::string& value)
{
    settings_.setValue(name, FromCp1252(value));
}

std::optional<std::vector<std::uint8_t>> Settings::ReadBinary(const QString& name) const
{
    const QVariant v = settings_.value(name);
    if (!v.isValid())
        return std::nullopt;
    const QByteArray bytes = v.toByteArray();
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

void Settings::WriteBinary(const QString& name, const std::vector<std::uint8_t>& value)
{
    settings_.setValue(name, QByteArray(reinterpret_cast<const char*>(value.data()),
                                        static_cast<qsizetype>(value.size())));
}

bool Settings::Contains(const QString& name) const { return settings_.contains(name); }
void Settings::Remove(const QString& name) { settings_.remove(name); }
void Settings::Sync() { settings_.sync(); }

}  // namespace quenor
