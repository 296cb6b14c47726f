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

#include <fcntl.h>
#include <map>
#include <sys/stat.h>
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

    Put("[Ports]\nCOM7=/dev/ttyUSB9\n\n[Update]\nFirmwareURL=https://updates.example.org/fw/\n");
    Settings later;
    later.WriteString(QStringLiteral("Ports/COM8"), "/dev/ttyUSB1");
    EXPECT_EQ(later.ChildKeys(QStringLiteral("Ports")), (QStringList{QStringLiteral("COM7"), QStringLiteral("COM8")}));
    EXPECT_EQ(later.ReadBinary(QStringLiteral("SampleSetup"))->size(), 1072u);
    EXPECT_FALSE(later.Contains(QStringLiteral("Update/FirmwareURL")));
    ASSERT_TRUE(later.Sync());
    const QSettings file(path, QSettings::IniFormat);
    EXPECT_EQ(file.allKeys(), (QStringList{QStringLiteral("Ports/COM7"), QStringLiteral("Ports/COM8"),
                                           QStringLiteral("SampleSetup"), QStringLiteral("Update/ProgramURL")}));
    EXPECT_EQ(file.value(QStringLiteral("SampleSetup")).toByteArray(), QByteArray(1072, 0x5a));
}

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
