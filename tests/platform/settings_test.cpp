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
#include <QPoint>
#include <QRect>
#include <QSettings>
#include <QSize>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <map>
#include <vector>

using namespace quenor;

namespace {

QByteArray Bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(not read)");
}

void Put(const QString& path, const QByteArray& text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(text), text.size());
}

// A settings file that holds only what the user wrote into it by hand.
QString HandWrittenFile(const QByteArray& text)
{
    Settings all;
    all.Remove(QString());
    EXPECT_TRUE(all.Sync());
    Put(all.FileName(), text);
    return all.FileName();
}

const QByteArray kHandWritten = "[Ports]\nCOM7=/dev/ttyUSB9\n\n[Update]\nFirmwareURL=https://updates.example.org/fw/\n";

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
        {QStringLiteral("ToolbarPositions"), QByteArray("\0\0\0\xff\x01" "b", 6)},
        {QStringLiteral("MRUList/MRU1"), QStringLiteral("/home/t\u00e9cnico/\u20ac pump, v2;=\"q\" \\ @a")},
        {QStringLiteral("MRUList/MRU2"), QStringLiteral("@@leading at")},
        {QStringLiteral("Ports/COM7"), QStringLiteral("/dev/ttyUSB9")},
        {QStringLiteral("General/x"), QStringLiteral(" lead and trail ")},
        {QStringLiteral("a-b/y"), 1},
        {QStringLiteral("a/b/c"), QStringList{QStringLiteral("1"), QStringLiteral("2, 3"), QStringLiteral("@x")}},
        {QStringLiteral("a/none"), QStringList{}},
        {QStringLiteral("a/one"), QVariantList{5}},
        {QStringLiteral("a/mixed"), QVariantList{5, QByteArray("z"), QStringLiteral("w")}},
        {QStringLiteral("empty"), QString()},
        {QStringLiteral("invalid"), QVariant()},
        {QStringLiteral("nul"), QString::fromUtf8("a\0b2", 4)},
        {QStringLiteral("controls"), QStringLiteral("a\x01" "b\tc\x7f" "d\r\n\a\b\f\v")},
        {QStringLiteral("rect"), QRect(1, -2, 3, 4)},
        {QStringLiteral("size"), QSize(640, 480)},
        {QStringLiteral("point"), QPoint(-5, 7)},
        {QStringLiteral("when"), QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC)},
        {QStringLiteral("real"), 1.25},
        {QStringLiteral("big"), Q_INT64_C(-9000000000)},
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
    EXPECT_EQ(QSettings(path, QSettings::IniFormat).value(QStringLiteral("SampleSetup")).toByteArray(), everyByte);
}

// A write that fails part way (here past the file size limit, as on a disk
// that runs full) leaves the file byte for byte as it was, the hand-written
// lines too, says why and is not taken as done: the process still reads the
// values, and the next write, of any Settings object, takes them along.
TEST(SettingsFile, AWriteThatFailsLeavesTheFileAsItWasAndIsNotTakenAsDone)
{
    const QString path = HandWrittenFile(kHandWritten);
    const std::vector<std::uint8_t> record(1072, 0x5a);
    {
        test::FileSizeLimit limit(1024);
        Settings settings;
        settings.WriteBinary(QStringLiteral("SampleSetup"), record);
        settings.WriteInteger(QStringLiteral("ComPort"), 5);
        std::string reason;
        EXPECT_FALSE(settings.Sync(&reason));
        EXPECT_EQ(reason, "The file cannot be written: file too large.");
    }
    EXPECT_EQ(Bytes(path), kHandWritten);
    EXPECT_EQ(QDir(QFileInfo(path).absolutePath()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("Quenor.conf")});
    EXPECT_EQ(Settings().ReadInteger(QStringLiteral("ComPort"), 0), 5);

    Settings later;
    later.WriteBool(QStringLiteral("Don't Connection Help"), true);
    EXPECT_TRUE(later.Sync());
    const QSettings file(path, QSettings::IniFormat);
    EXPECT_EQ(file.value(QStringLiteral("ComPort")).toInt(), 5);
    EXPECT_EQ(file.value(QStringLiteral("SampleSetup")).toByteArray(), QByteArray(1072, 0x5a));
    EXPECT_TRUE(file.value(QStringLiteral("Don't Connection Help")).toBool());
    EXPECT_EQ(file.value(QStringLiteral("Ports/COM7")).toString(), QStringLiteral("/dev/ttyUSB9"));
    EXPECT_EQ(file.value(QStringLiteral("Update/FirmwareURL")).toString(),
              QStringLiteral("https://updates.example.org/fw/"));
}

// A write puts its values over what the file holds when it is written: lines
// that another program or the user added while this one ran stay, a group
// removed goes with all under it, and the changes not yet written count in
// what is read.
TEST(SettingsFile, AWriteKeepsWhatOthersPutInTheFile)
{
    HandWrittenFile("[Ports]\nCOM3=/dev/ttyACM0\n");
    Settings mine;
    EXPECT_EQ(mine.ReadString(QStringLiteral("Ports/COM3"), ""), "/dev/ttyACM0");
    Put(mine.FileName(), kHandWritten);  // the user edits it meanwhile
    mine.WriteString(QStringLiteral("Ports/COM8"), "/dev/ttyUSB1");
    mine.Remove(QStringLiteral("Update"));
    mine.WriteString(QStringLiteral("Update/ProgramURL"), "https://updates.example.org/pr/");
    EXPECT_EQ(Settings().ChildKeys(QStringLiteral("Ports")),
              (QStringList{QStringLiteral("COM7"), QStringLiteral("COM8")}));
    EXPECT_FALSE(Settings().Contains(QStringLiteral("Update/FirmwareURL")));
    ASSERT_TRUE(mine.Sync());

    const QSettings file(mine.FileName(), QSettings::IniFormat);
    EXPECT_EQ(file.allKeys(), (QStringList{QStringLiteral("Ports/COM7"), QStringLiteral("Ports/COM8"),
                                           QStringLiteral("Update/ProgramURL")}));
    EXPECT_EQ(file.value(QStringLiteral("Ports/COM7")).toString(), QStringLiteral("/dev/ttyUSB9"));
}

// A file system whose clock does not move between two writes (a coarse one,
// or two writes within one tick) gives both texts the same modification time;
// here the test puts it there. A reader that keeps what it read of the file
// (QSettings) tells a new text only by its size and modification time: each
// write is still read back at once, one as long as the one before it too.
TEST(SettingsFile, EachWriteIsReadBackAtOnce)
{
    const QString path = HandWrittenFile(kHandWritten);
    const timespec frozen[2] = {{1577836800, 0}, {1577836800, 0}};
    for (int i = 0; i < 4; ++i) {
        Settings settings;
        settings.WriteInteger(QStringLiteral("Baudrate"), 1 + i % 2);
        ASSERT_TRUE(settings.Sync());
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), frozen, 0), 0);
        ASSERT_EQ(Settings().ReadInteger(QStringLiteral("Baudrate"), 0), 1 + i % 2) << "write " << i;
    }
}
