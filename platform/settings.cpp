#include "platform/settings.h"

#include "platform/cp1252.h"
#include "platform/regularfile.h"
#include "platform/savefile.h"
#include "platform/settingstext.h"

#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QLockFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sys/mman.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace quenor {
namespace {

// A settings file holds a few kilobytes; a larger one is not read.
constexpr std::size_t kSettingsFileLimit = 16 * 1024 * 1024;

// How long a write waits for the lock that another program holds.
constexpr int kLockWaitSeconds = 5;

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

std::string Encoded(const QString& path) { return QFile::encodeName(path).toStdString(); }

// The files that QSettings reads for the organisation "Tovik" and the
// application "Quenor", in the order it looks into them: the user's own (the
// one written) and the organisation's beside it, then the application's of
// every system-wide folder (XDG_CONFIG_DIRS, else /etc/xdg), then the
// organisation's of each.
std::vector<QString> SettingsFiles()
{
    const QString user = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const QString userFolder = QFileInfo(user).absoluteFilePath();
    std::vector<QString> files{userFolder + QStringLiteral("/Tovik/Quenor.conf"),
                               userFolder + QStringLiteral("/Tovik.conf")};
    QStringList system = QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    system.removeAll(user);
    for (const QString& folder : system)
        files.push_back(QFileInfo(folder).absoluteFilePath() + QStringLiteral("/Tovik/Quenor.conf"));
    for (const QString& folder : system)
        files.push_back(QFileInfo(folder).absoluteFilePath() + QStringLiteral("/Tovik.conf"));
    return files;
}

// One settings file as QSettings reads it.
struct SettingsFile {
    std::string text;
    std::map<QString, QVariant> values;
    // QSettings reads keys that it cannot give back by their names (a section
    // "[/Ports]", a key "a//b"); they are not among the values. These are the
    // names it lists them by, which its own writer gives them.
    std::set<QString> keysWithoutValue;
};

// The values of a settings file's text, as QSettings reads them. QSettings
// reads only a file that it opens by its name, and keeps what it read of a
// name until the size or the modification time found there changes: the
// text is given to it as a file in memory that it opens through /proc, with
// a modification time of its own. nullopt when it could not be read.
std::optional<SettingsFile> ParseSettings(std::string text)
{
    static std::atomic<time_t> stamp{0};
    const int fd = ::memfd_create("quenor-settings", MFD_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::optional<SettingsFile> out;
    const time_t own = ++stamp;
    const timespec times[2] = {{own, 0}, {own, 0}};
    if (WriteAll(fd, text) && ::futimens(fd, times) == 0) {
        const QSettings file(QStringLiteral("/proc/self/fd/%1").arg(fd), QSettings::IniFormat);
        if (file.status() != QSettings::AccessError) {
            out.emplace();
            for (const QString& key : file.allKeys()) {
                if (file.contains(key))
                    out->values[key] = file.value(key);
                else
                    out->keysWithoutValue.insert(key);
            }
            out->text = std::move(text);
        }
    }
    ::close(fd);
    return out;
}

// Reads one settings file by the rule for files from outside
// (platform/regularfile.h): only a regular file, and a named pipe is never
// waited for. A file that is not there holds no values.
ReadFault ReadSettingsFile(const QString& path, SettingsFile& file)
{
    file = {};
    ReadFault fault = ReadFault::None;
    std::optional<std::string> text = ReadWholeFile(Encoded(path), kSettingsFileLimit, &fault);
    if (!text)
        return fault == ReadFault::Missing ? ReadFault::None : fault;
    std::optional<SettingsFile> parsed = ParseSettings(std::move(*text));
    if (!parsed)
        return ReadFault::Failed;
    file = std::move(*parsed);
    return ReadFault::None;
}

// Says on standard error why a settings file was not read, once for as long
// as the same holds of it.
void SayWhyNotRead(const QString& path, ReadFault fault)
{
    static std::mutex mutex;
    static std::map<QString, ReadFault> said;
    std::lock_guard lock(mutex);
    const auto it = said.find(path);
    if (it != said.end() ? it->second == fault : fault == ReadFault::None)
        return;
    said[path] = fault;
    if (fault != ReadFault::None)
        std::fprintf(stderr, "quenor: the settings in %s were not read: %s\n", QFile::encodeName(path).constData(),
                     ReadFaultReason(fault, kSettingsFileLimit, "a settings file").c_str());
}

// Other programs that write the file through QSettings take the same lock
// while they write. A lock that is not freed within a few seconds (its holder
// hangs, or it was left behind where this user may not remove it), or
// something else in its place (a folder; a named pipe, which QLockFile would
// wait to read), is passed over with a line on standard error: the file is
// read again right before it is written and replaced whole either way, and
// the settings are not lost. Where no lock may be made (a folder where the
// file is written in place), there is none to wait for.
void TakeLock(QLockFile& lock)
{
    const std::string name = Encoded(lock.fileName());
    struct stat st {};
    const char* why = nullptr;
    if (::stat(name.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        why = "the path is not a regular file";
    else if (!lock.tryLock(kLockWaitSeconds * 1000) && lock.error() == QLockFile::LockFailedError)
        why = "it was not freed within 5 seconds (another program holds it, or left it where it cannot be removed)";
    if (why)
        std::fprintf(stderr,
                     "quenor: the settings file's lock %s was not taken: %s; the settings are written without it.\n",
                     name.c_str(), why);
}

// The text that QSettings itself writes for a file with the changes laid
// over it: the one writer that keeps keys it cannot give back by their
// names as they stood. Written into a copy in a temporary folder. QSettings'
// writer says nothing of a write that failed (a full disk, a file size
// limit): what it left is taken only when it reads back to every value the
// file is to hold, and to every key it could not give back, under the name
// it lists it by (whose value may then be the one another key had there).
std::optional<QByteArray> WrittenByQSettings(const SettingsFile& file, const std::vector<Change>& changes)
{
    const QTemporaryDir folder;
    if (!folder.isValid())
        return std::nullopt;
    const QString copy = folder.filePath(QStringLiteral("Quenor.conf"));
    if (!WriteRegularFile(Encoded(copy), file.text))
        return std::nullopt;
    {
        QSettings qt(copy, QSettings::IniFormat);
        // QSettings reads a section only when a name asks for it: a removal
        // would miss a name that stands in another section ("Ports\\COM3"
        // under [General]), and the name would be written back. All of them
        // are read first.
        [[maybe_unused]] const QStringList all = qt.allKeys();
        for (const Change& c : changes) {
            if (c.value)
                qt.setValue(c.name, *c.value);
            else
                qt.remove(c.name);
        }
        qt.sync();
        if (qt.status() != QSettings::NoError)
            return std::nullopt;
    }
    std::optional<std::string> written = ReadWholeFile(Encoded(copy), kSettingsFileLimit);
    if (!written)
        return std::nullopt;
    QByteArray text(written->data(), static_cast<qsizetype>(written->size()));
    const std::optional<SettingsFile> back = ParseSettings(std::move(*written));
    if (!back)
        return std::nullopt;
    // Its writer may give such a key its plain name ("/Ports/COM3" as
    // "Ports/COM3"), which another key of the file may have too.
    const auto plain = [](const QString& name) {
        return QDir::cleanPath(name).remove(QRegularExpression(QStringLiteral("^/+")));
    };
    const auto there = [&back](const QString& name) {
        return back->values.count(name) != 0 || back->keysWithoutValue.count(name) != 0;
    };
    std::set<QString> plainNames;
    for (const QString& name : file.keysWithoutValue) {
        plainNames.insert(plain(name));
        const bool removed = std::any_of(changes.begin(), changes.end(), [&name](const Change& c) {
            return !c.value && (c.name.isEmpty() || name == c.name || name.startsWith(c.name + QLatin1Char('/')));
        });
        if (!removed && !there(name) && !there(plain(name)))
            return std::nullopt;
    }
    std::map<QString, QVariant> expected = file.values;
    Apply(changes, expected);
    for (const auto& [name, value] : expected) {
        const auto it = back->values.find(name);
        if (it == back->values.end() || (it->second != value && !plainNames.count(name)))
            return std::nullopt;
    }
    return text;
}

// Writes the file as it is now with the changes laid over it; false with the reason.
bool WriteChanges(const QString& path, const std::vector<Change>& changes, std::string& reason)
{
    // The folder is made on the first write.
    std::error_code ec;
    std::filesystem::create_directories(Encoded(QFileInfo(path).absolutePath()), ec);
    if (ec) {
        reason = CannotWrite(ec.value());
        return false;
    }
    QLockFile lock(path + QStringLiteral(".lock"));
    TakeLock(lock);
    // A file that is there but cannot be read is not written over: that would
    // lose what it holds.
    SettingsFile file;
    switch (const ReadFault fault = ReadSettingsFile(path, file)) {
    case ReadFault::None: break;
    case ReadFault::Denied: reason = "The settings file cannot be read: permission denied."; return false;
    case ReadFault::NotRegular:
    case ReadFault::TooLarge: reason = ReadFaultReason(fault, kSettingsFileLimit, "a settings file"); return false;
    default: reason = "The settings file cannot be read."; return false;
    }
    QByteArray text;
    if (!file.keysWithoutValue.empty()) {
        std::optional<QByteArray> written = WrittenByQSettings(file, changes);
        if (!written) {
            reason = "The settings file cannot be written: no whole copy of it could be written in the temporary folder.";
            return false;
        }
        text = std::move(*written);
    } else {
        Apply(changes, file.values);
        text = SettingsText(file.values);
    }
    // QSettings, here and in other programs, keeps what it read of the file
    // until the file's size or modification time changes; the time may stay
    // the same (a coarse clock, or two writes within one tick), so a new text
    // never has the size of the old one: where it would, it ends in one more
    // empty line.
    if (static_cast<std::size_t>(text.size()) == file.text.size())
        text += '\n';
    return SaveWholeFile(Encoded(path), std::string_view(text.constData(), text.size()), &reason);
}

}  // namespace

Settings::Settings() : files_(SettingsFiles()), readerWrites_(JournalOf(FileName()).writes.load()) { Read(); }

QString Settings::FileName() const { return files_.front(); }

void Settings::Read() const
{
    values_.clear();
    for (const QString& path : files_) {
        SettingsFile file;
        const ReadFault fault = ReadSettingsFile(path, file);
        SayWhyNotRead(path, fault);
        values_.push_back(std::move(file.values));
    }
}

const std::vector<std::map<QString, QVariant>>& Settings::Values() const
{
    // A write of this process is read again from the file.
    const std::uint64_t writes = JournalOf(FileName()).writes.load();
    if (writes != readerWrites_) {
        Read();
        readerWrites_ = writes;
    }
    return values_;
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
    for (const auto& file : Values())
        if (const auto it = file.find(name); it != file.end())
            return it->second;
    return {};
}

bool Settings::Contains(const QString& name) const
{
    if (const auto pending = Pending(name))
        return pending->has_value();
    for (const auto& file : Values())
        if (file.count(name))
            return true;
    return false;
}

QStringList Settings::ChildKeys(const QString& group) const
{
    std::map<QString, QVariant> names;
    for (const auto& file : Values())
        for (const auto& [name, value] : file)
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
