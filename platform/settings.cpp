#include "platform/settings.h"

#include "platform/cp1252.h"
#include "platform/savefile.h"
#include "platform/settingstext.h"

#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>

namespace quenor {
namespace {

// A value set, or a name removed with every value under it (no value).
struct Change {
    QString name;
    std::optional<QVariant> value;
};

// The changes of one settings file that are not written yet, shared by every
// Settings object of the process, and the count of the writes done.
struct Journal {
    std::mutex mutex;
    std::vector<Change> changes;
    std::atomic<std::uint64_t> writes{0};
};

Journal& JournalOf(const QString& path)
{
    static std::mutex mutex;
    static std::map<QString, std::unique_ptr<Journal>> journals;
    std::lock_guard lock(mutex);
    std::unique_ptr<Journal>& journal = journals[path];
    if (!journal)
        journal = std::make_unique<Journal>();
    return *journal;
}

// Whether removing group removes name.
bool Covers(const QString& group, const QString& name)
{
    return group.isEmpty() || name == group ||
           (name.size() > group.size() && name.startsWith(group) && name.at(group.size()) == QLatin1Char('/'));
}

void Apply(const std::vector<Change>& changes, std::map<QString, QVariant>& values)
{
    for (const Change& c : changes) {
        if (c.value)
            values[c.name] = *c.value;
        else
            std::erase_if(values, [&](const auto& v) { return Covers(c.name, v.first); });
    }
}

// Writes the file as it is now with the changes laid over it; false with the reason.
bool WriteChanges(const QString& path, const std::vector<Change>& changes, std::string& reason)
{
    // The folder is made on the first write; where it cannot be, the save says why.
    std::error_code ec;
    std::filesystem::create_directories(QFile::encodeName(QFileInfo(path).absolutePath()).toStdString(), ec);
    // Other programs that write the file through QSettings take the same lock.
    QLockFile lock(path + QStringLiteral(".lock"));
    lock.lock();
    const QSettings file(path, QSettings::IniFormat);
    if (file.status() == QSettings::AccessError) {
        reason = "The settings file cannot be read.";  // writing it would lose what it holds
        return false;
    }
    std::map<QString, QVariant> values;
    for (const QString& key : file.allKeys())
        values[key] = file.value(key);
    Apply(changes, values);
    // QSettings, here and in other programs, keeps what it read of the file
    // until the file's size or modification time changes; the time may stay
    // the same (a coarse clock, or two writes within one tick), so a new text
    // never has the size of the old one: where it would, it ends in one more
    // empty line.
    QByteArray text = SettingsText(values);
    if (QFileInfo(path).size() == text.size())
        text += '\n';
    return SaveWholeFile(QFile::encodeName(path).toStdString(), std::string_view(text.constData(), text.size()),
                         &reason);
}

}  // namespace

Settings::Settings()
    : reader_(QStringLiteral("Tovik"), QStringLiteral("Quenor")), readerWrites_(JournalOf(FileName()).writes.load())
{
}

QString Settings::FileName() const { return reader_.fileName(); }

QSettings& Settings::Reader() const
{
    // A write of this process is read again from the file.
    const std::uint64_t writes = JournalOf(FileName()).writes.load();
    if (writes != readerWrites_) {
        reader_.sync();
        readerWrites_ = writes;
    }
    return reader_;
}

// What the changes not yet written say of name: nothing (nullopt), that it
// was removed (an empty change), or its value.
std::optional<std::optional<QVariant>> Settings::Pending(const QString& name) const
{
    Journal& journal = JournalOf(FileName());
    std::lock_guard lock(journal.mutex);
    for (auto c = journal.changes.rbegin(); c != journal.changes.rend(); ++c)
        if (c->value ? c->name == name : Covers(c->name, name))
            return c->value;
    return std::nullopt;
}

QVariant Settings::Value(const QString& name) const
{
    if (const auto pending = Pending(name))
        return pending->value_or(QVariant());
    return Reader().value(name);
}

bool Settings::Contains(const QString& name) const
{
    if (const auto pending = Pending(name))
        return pending->has_value();
    return Reader().contains(name);
}

QStringList Settings::ChildKeys(const QString& group) const
{
    std::map<QString, QVariant> names;
    for (const QString& name : Reader().allKeys())
        names[name];
    {
        Journal& journal = JournalOf(FileName());
        std::lock_guard lock(journal.mutex);
        Apply(journal.changes, names);
    }
    const QString prefix = group.isEmpty() ? QString() : group + QLatin1Char('/');
    QStringList out;
    for (const auto& [n, value] : names)
        if (n.startsWith(prefix) && !n.sliced(prefix.size()).contains(QLatin1Char('/')))
            out.append(n.sliced(prefix.size()));
    return out;
}

int Settings::ReadInteger(const QString& name, int def) const
{
    bool ok = false;
    const int v = Value(name).toInt(&ok);
    return ok ? v : def;
}

bool Settings::ReadBool(const QString& name, bool def) const
{
    const QVariant v = Value(name);
    return v.isValid() ? v.toBool() : def;
}

std::string Settings::ReadString(const QString& name, const std::string& def) const
{
    const QVariant v = Value(name);
    return v.isValid() ? ToCp1252(v.toString()) : def;
}

std::optional<std::vector<std::uint8_t>> Settings::ReadBinary(const QString& name) const
{
    const QVariant v = Value(name);
    if (!v.isValid())
        return std::nullopt;
    const QByteArray bytes = v.toByteArray();
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

void Settings::SetValue(const QString& name, const QVariant& value)
{
    Journal& journal = JournalOf(FileName());
    std::lock_guard lock(journal.mutex);
    std::erase_if(journal.changes, [&](const Change& c) { return c.value && c.name == name; });
    journal.changes.push_back({name, value});
}

void Settings::WriteString(const QString& name, const std::string& value) { SetValue(name, FromCp1252(value)); }

void Settings::WriteBinary(const QString& name, const std::vector<std::uint8_t>& value)
{
    SetValue(name, QByteArray(reinterpret_cast<const char*>(value.data()), static_cast<qsizetype>(value.size())));
}

void Settings::Remove(const QString& name)
{
    Journal& journal = JournalOf(FileName());
    std::lock_guard lock(journal.mutex);
    std::erase_if(journal.changes, [&](const Change& c) { return Covers(name, c.name); });
    journal.changes.push_back({name, std::nullopt});
}

bool Settings::Sync(std::string* reason)
{
    const QString path = FileName();
    Journal& journal = JournalOf(path);
    std::lock_guard lock(journal.mutex);
    if (journal.changes.empty())
        return true;
    std::string why;
    if (!WriteChanges(path, journal.changes, why)) {
        std::fprintf(stderr, "quenor: the settings were not saved in %s: %s\n", QFile::encodeName(path).constData(),
                     why.c_str());
        if (reason)
            *reason = why;
        return false;
    }
    journal.changes.clear();
    ++journal.writes;
    return true;
}

}  // namespace quenor
