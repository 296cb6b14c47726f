// The settings file: written in the form QSettings reads, whole or not at
// all, without losing what others wrote into it, and read back at once.

#include "platform/settings.h"
#include "platform/settingstext.h"
#include "support/savefaults.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineF>
#include <QRect>
#include <QSettings>
#include <QSize>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <map>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace quenor;

namespace {

QByteArray Bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(not read)");
}

// Puts text into the settings file as the user or another program would.
QString Put(const QByteArray& text)
{
    const QString path = Settings().FileName();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text) == text.size());
    return path;
}

// Runs work. Should it wait for a writer of the named pipe at fifo for more
// than 10 s, the pipe gets one, as often as it takes for work to end, and the
// result is false.
bool WithoutWaitingFor(const QString& fifo, const std::function<void()>& work)
{
    std::atomic<bool> done{false};
    std::atomic<bool> waited{false};
    std::thread watch([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done) {
            if (std::chrono::steady_clock::now() > deadline) {
                const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                if (fd >= 0) {
                    waited = true;
                    ::close(fd);
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    work();
    done = true;
    watch.join();
    return !waited;
}

}  // namespace

// Every kind of value the program writes, and what else QSettings may find in
// the file (lists, geometry, other types, names that need escaping, a section
// named General): the text is byte for byte the one QSettings writes for the
// same values, so it reads back through QSettings as those values.
TEST(SettingsText, IsTheTextQSettingsWrites)
{
    QByteArray everyByte;
    for (int b = 0; b < 256; ++b)
        everyByte.append(static_cast<char>(b));
    const std::map<QString, QVariant> values = {
        {QStringLiteral("ComPort"), 3},
        {QStringLiteral("Don't Connection Help"), true},
        {QStringLiteral("SampleSetup"), everyByte},
        {QStringLiteral("MRUList/MRU1"), QStringLiteral("/home/t\u00e9cnico/\u20ac pump, v2;=\"q\" \\ @a")},
        {QStringLiteral("General/x"), QStringLiteral(" lead and trail ")},
        {QStringLiteral("a-b/y"), QStringLiteral("@@leading at")},
        {QStringLiteral("a/b/c"), QStringList{QStringLiteral("1"), QStringLiteral("2, 3"), QStringLiteral("@x")}},
        {QStringLiteral("a/none"), QStringList{}},
        {QStringLiteral("a/one"), QVariantList{5}},
        {QStringLiteral("a/mixed"), QVariantList{5, QByteArray("z"), QStringLiteral("w")}},
        {QStringLiteral("invalid"), QVariant()},
        {QStringLiteral("nul"), QString::fromUtf8("a\0b2", 4)},
        {QStringLiteral("controls"), QStringLiteral("a\x01" "b\tc\x7f" "d\r\n\a\b\f\v")},
        {QStringLiteral("rect"), QRect(1, -2, 3, 4)},
        {QStringLiteral("size"), QSize(640, 480)},
        {QStringLiteral("when"), QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC)},
        {QStringLiteral("other"), QVariant::fromValue(QLineF(0, 1, 2, 3))},
        {QString::fromUtf8("k\u00e9y with space/\u4e2d"), QString::fromUtf8("\u4e2d\U0001F600")},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.path() + QStringLiteral("/Quenor.conf");
    {
        QSettings qt(path, QSettings::IniFormat);
        for (const auto& [key, value] : values)
            qt.setValue(key, value);
    }
    EXPECT_EQ(SettingsText(values).toStdString(), Bytes(path).toStdString());
}

// A write that fails part way (here past the file size limit, as on a disk
// that runs full) leaves the file byte for byte as it was, says why and is not
// taken as done: the process still reads the values, and the next write, of
// any Settings object, takes them along. A write lays its values over the file
// as it is then: lines that the user added meanwhile stay, and a group removed
// goes with all under it.
TEST(SettingsFile, AWriteIsLaidOverTheFileWholeOrNotAtAll)
{
    {
        Settings all;
        all.Remove(QString());
        ASSERT_TRUE(all.Sync());
    }
    const QByteArray handWritten = "[Ports]\nCOM3=/dev/ttyACM0\n";
    const QString path = Put(handWritten);
    Settings settings;
    {
        test::FileSizeLimit limit(1024);
        settings.WriteBinary(QStringLiteral("SampleSetup"), std::vector<std::uint8_t>(1072, 0x5a));
        settings.Remove(QStringLiteral("Update"));
        settings.WriteString(QStringLiteral("Update/ProgramURL"), "https://updates.example.org/pr/");
        std::string reason;
        EXPECT_FALSE(settings.Sync(&reason));
        EXPECT_EQ(reason, "The file cannot be written: file too large.");
    }
    EXPECT_EQ(Bytes(path), handWritten);
    EXPECT_EQ(QDir(QFileInfo(path).absolutePath()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("Quenor.conf")});

    // Keys that QSettings reads but cannot give back by their names (a
    // section or a key that begins with a slash, a doubled slash) keep their
    // values: the file is written as QSettings itself writes it, which gives
    // the first two names it can read.
    const QByteArray meanwhile = "[Ports]\nCOM7=/dev/ttyUSB9\n\n"
                                 "[Update]\nFirmwareURL=https://updates.example.org/fw/\n\n"
                                 "[/Ports]\nCOM3=/dev/ttyS3\n\n[General]\n\\x=1\na//b=\"2, 3\"\n";
    Put(meanwhile);
    Settings later;
    later.WriteString(QStringLiteral("Ports/COM8"), "/dev/ttyUSB1");
    EXPECT_EQ(later.ChildKeys(QStringLiteral("Ports")), (QStringList{QStringLiteral("COM7"), QStringLiteral("COM8")}));
    EXPECT_EQ(later.ReadBinary(QStringLiteral("SampleSetup"))->size(), 1072u);
    EXPECT_FALSE(later.Contains(QStringLiteral("Update/FirmwareURL")));
    {
        // QSettings' writer says nothing of a write that failed: what it left
        // is not taken for the file.
        test::FileSizeLimit limit(1024);
        EXPECT_FALSE(later.Sync());
        EXPECT_EQ(Bytes(path), meanwhile);
    }
    ASSERT_TRUE(later.Sync());
    const QSettings file(path, QSettings::IniFormat);
    EXPECT_EQ(file.allKeys(), (QStringList{QStringLiteral("Ports/COM3"), QStringLiteral("Ports/COM7"),
                                           QStringLiteral("Ports/COM8"), QStringLiteral("SampleSetup"),
                                           QStringLiteral("Update/ProgramURL"), QStringLiteral("a//b"),
                                           QStringLiteral("x")}));
    EXPECT_EQ(file.value(QStringLiteral("SampleSetup")).toByteArray(), QByteArray(1072, 0x5a));
    EXPECT_EQ(file.value(QStringLiteral("Ports/COM3")).toString(), QStringLiteral("/dev/ttyS3"));
    EXPECT_EQ(file.value(QStringLiteral("x")).toInt(), 1);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString copy = dir.path() + QStringLiteral("/Quenor.conf");
    {
        QFile f(copy);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(meanwhile) == meanwhile.size());
    }
    {
        QSettings qt(copy, QSettings::IniFormat);
        qt.setValue(QStringLiteral("SampleSetup"), QByteArray(1072, 0x5a));
        qt.remove(QStringLiteral("Update"));
        qt.setValue(QStringLiteral("Update/ProgramURL"), QStringLiteral("https://updates.example.org/pr/"));
        qt.setValue(QStringLiteral("Ports/COM8"), QStringLiteral("/dev/ttyUSB1"));
    }
    const QByteArray written = Bytes(path);
    const QByteArray byQt = Bytes(copy);
    EXPECT_TRUE(written == byQt || written == byQt + '\n') << written.toStdString() << "\n----\n" << byQt.toStdString();

    // The file still holds a key QSettings cannot give back ("a//b"); a
    // name that stands in another section ("Ports\\COM3" under [General])
    // is removed as any other.
    Settings last;
    for (const char* port : {"COM3", "COM7", "COM8"})
        last.Remove(QStringLiteral("Ports/") + QLatin1String(port));
    ASSERT_TRUE(last.Sync());
    const QByteArray removed = Bytes(path);
    EXPECT_FALSE(removed.contains("COM")) << removed.toStdString();
    EXPECT_TRUE(removed.contains("SampleSetup")) << removed.toStdString();
}

// Only regular files are read, the user's own and those QSettings falls back
// to (the organisation's beside it, the system-wide ones): a named pipe in
// the place of one is not waited for, and it and a folder are passed over as
// if missing, as is a file that the user may not read. The values of the
// other files are read as before. A write into the user's place refuses what
// is no regular file, or what cannot be read (writing over it would lose what
// it holds), and leaves it as it was; the values of the other files are not
// copied into the user's. Where the user may not make his settings folder,
// the write says so.
enum class Where { User, Organisation, System };
enum class What { Pipe, Folder, UnreadableToTheUser, NoFolderTheUserMayMake };

struct OddSettingsFile {
    const char* name;
    Where where;
    What what;
    const char* refusal;  // what a write says; empty: it is written
};

void PrintTo(const OddSettingsFile& odd, std::ostream* os) { *os << odd.name; }

class SettingsFiles : public ::testing::TestWithParam<OddSettingsFile> {};

TEST_P(SettingsFiles, OnlyRegularFilesAreRead)
{
    const OddSettingsFile& odd = GetParam();
    if (odd.what == What::NoFolderTheUserMayMake && ::geteuid() != 0)
        GTEST_SKIP() << "only root can keep another user from the settings folder";
    QTemporaryDir system(QStringLiteral("/tmp/quenor-xdg-XXXXXX"));  // where the other user reaches it
    ASSERT_TRUE(system.isValid());
    ASSERT_EQ(::chmod(QFile::encodeName(system.path()).constData(), 0755), 0);
    ::setenv("XDG_CONFIG_DIRS", QFile::encodeName(system.path()).constData(), 1);
    {
        Settings all;
        all.Remove(QString());
        ASSERT_TRUE(all.Sync());
    }
    const QString user = Put("[General]\nComOptions=2\n");
    const QString organisation = QFileInfo(user).absolutePath() + QStringLiteral(".conf");
    const QString systemWide = system.path() + QStringLiteral("/Tovik/Quenor.conf");
    ASSERT_TRUE(QDir().mkpath(system.path() + QStringLiteral("/Tovik")));
    const std::map<Where, std::pair<QString, QByteArray>> files = {
        {Where::User, {user, "[General]\nComOptions=2\n"}},
        {Where::Organisation, {organisation, "[General]\nBaudrate=3\n"}},
        {Where::System, {systemWide, "[General]\nBaudrate=4\nLastGeneration=1\n"}},
    };
    for (const auto& [where, file] : files) {
        QFile::remove(file.first);
        if (where != odd.where) {
            QFile f(file.first);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(file.second) == file.second.size());
        }
    }
    const QString place = files.at(odd.where).first;
    const QByteArray encoded = QFile::encodeName(place);
    switch (odd.what) {
    case What::Pipe: ASSERT_EQ(::mkfifo(encoded.constData(), 0644), 0); break;
    case What::Folder: ASSERT_TRUE(QDir().mkpath(place)); break;
    case What::UnreadableToTheUser: {
        QFile f(place);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(files.at(odd.where).second) > 0);
        f.close();
        ASSERT_TRUE(::geteuid() != 0 || ::chown(encoded.constData(), test::kOtherUser, test::kOtherUser) == 0);
        ASSERT_EQ(::chmod(encoded.constData(), 0200), 0);
        break;
    }
    case What::NoFolderTheUserMayMake:
        ASSERT_TRUE(QDir(QFileInfo(place).absolutePath()).removeRecursively());
        break;
    }

    bool saved = false;
    std::string reason;
    int comOptions = 0, baudrate = 0, generation = 0;
    const auto work = [&] {
        Settings settings;
        comOptions = settings.ReadInteger(QStringLiteral("ComOptions"), -1);
        baudrate = settings.ReadInteger(QStringLiteral("Baudrate"), -1);
        generation = settings.ReadInteger(QStringLiteral("LastGeneration"), -1);
        settings.WriteInteger(QStringLiteral("ComPort"), 5);
        saved = settings.Sync(&reason);
    };
    if (odd.what == What::UnreadableToTheUser || odd.what == What::NoFolderTheUserMayMake)
        ASSERT_TRUE(test::AsOtherUser(work));
    else if (odd.what == What::Pipe)
        EXPECT_TRUE(WithoutWaitingFor(place, work)) << "it waited for a writer of the pipe";
    else
        work();

    EXPECT_EQ(comOptions, odd.where == Where::User ? -1 : 2);
    EXPECT_EQ(baudrate, odd.where == Where::Organisation ? 4 : 3);
    EXPECT_EQ(generation, odd.where == Where::System ? -1 : 1);
    EXPECT_EQ(saved, !*odd.refusal) << reason;
    EXPECT_EQ(reason, odd.refusal);
    struct stat st {};
    EXPECT_EQ(::lstat(encoded.constData(), &st), odd.what == What::NoFolderTheUserMayMake ? -1 : 0);
    switch (odd.what) {
    case What::NoFolderTheUserMayMake: break;
    case What::Pipe: EXPECT_TRUE(S_ISFIFO(st.st_mode)); break;
    case What::Folder: EXPECT_TRUE(S_ISDIR(st.st_mode)); break;
    case What::UnreadableToTheUser:
        ASSERT_EQ(::chmod(encoded.constData(), 0600), 0);
        EXPECT_EQ(Bytes(place), files.at(odd.where).second);
        break;
    }
    if (odd.where != Where::User) {
        const QSettings written(user, QSettings::IniFormat);
        EXPECT_EQ(written.allKeys(), (QStringList{QStringLiteral("ComOptions"), QStringLiteral("ComPort")}));
        EXPECT_EQ(written.value(QStringLiteral("ComPort")).toInt(), 5);
    }
    QFile::remove(organisation);
    QDir().rmdir(place);
    QFile::remove(place);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SettingsFiles,
    ::testing::Values(OddSettingsFile{"PipeAsUsersFile", Where::User, What::Pipe, "The path is not a regular file."},
                      OddSettingsFile{"FolderAsUsersFile", Where::User, What::Folder,
                                      "The path is not a regular file."},
                      OddSettingsFile{"UsersFileUnreadable", Where::User, What::UnreadableToTheUser,
                                      "The settings file cannot be read: permission denied."},
                      OddSettingsFile{"UsersFolderCannotBeMade", Where::User, What::NoFolderTheUserMayMake,
                                      "The file cannot be written: permission denied."},
                      OddSettingsFile{"PipeAsOrganisationsFile", Where::Organisation, What::Pipe, ""},
                      OddSettingsFile{"PipeAsSystemFile", Where::System, What::Pipe, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// A file system whose clock does not move between two writes (a coarse one,
// or two writes within one tick) gives both texts the same modification time;
// here the test puts it there. A reader that keeps what it read of the file
// (QSettings) tells a new text only by its size and modification time: each
// write is still read back at once, one as long as the one before it too.
TEST(SettingsFile, EachWriteIsReadBackAtOnce)
{
    const QString path = Put("[Ports]\nCOM7=/dev/ttyUSB9\n");
    const timespec frozen[2] = {{1577836800, 0}, {1577836800, 0}};
    for (int i = 0; i < 4; ++i) {
        Settings settings;
        settings.WriteInteger(QStringLiteral("Baudrate"), 1 + i % 2);
        ASSERT_TRUE(settings.Sync());
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), frozen, 0), 0);
        ASSERT_EQ(Settings().ReadInteger(QStringLiteral("Baudrate"), 0), 1 + i % 2) << "write " << i;
    }
}
