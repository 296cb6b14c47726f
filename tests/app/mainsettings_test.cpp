#include "app/mainsettings.h"

#include "platform/settings.h"

#include <gtest/gtest.h>

using namespace quenor;

namespace {

void ClearAll()
{
    Settings s;
    s.Remove(QString());
    s.Sync();
}

}  // namespace

TEST(MainSettings, FirstStartUsesTheDefaultsAndTheExitWritesEveryValue)
{
    ClearAll();
    MainSettings m = MainSettings::Load(Settings());
    EXPECT_EQ(m.portIndex, 0);
    EXPECT_EQ(m.baudIndex, 1);
    EXPECT_EQ(BaudRateOfIndex(m.baudIndex), 19200);
    EXPECT_EQ(m.lastGeneration, -1);
    EXPECT_FALSE(m.dontConnectionHelp);
    EXPECT_EQ(m.comOptions, 0);
    EXPECT_FALSE(m.windowPlacement.has_value());

    m.portIndex = 4;
    m.baudIndex = 7;
    m.lastGeneration = 2;
    m.dontConnectionHelp = true;
    m.comOptions = 3;
    m.windowPlacement = QByteArray("geometry");
    m.toolbarLayout = QByteArray("layout");
    Settings out;
    m.Save(out);

    const MainSettings back = MainSettings::Load(Settings());
    EXPECT_EQ(back.portIndex, 4);
    EXPECT_EQ(back.baudIndex, 7);
    EXPECT_EQ(BaudRateOfIndex(back.baudIndex), 921600);
    EXPECT_EQ(back.lastGeneration, 2);
    EXPECT_TRUE(back.dontConnectionHelp);
    EXPECT_EQ(back.comOptions, 3);
    EXPECT_EQ(back.windowPlacement, QByteArray("geometry"));
    EXPECT_EQ(back.toolbarLayout, QByteArray("layout"));
    EXPECT_TRUE(back.firstGroupRead);
}

TEST(MainSettings, AMissingValueOfTheFirstGroupSkipsTheRestOfIt)
{
    ClearAll();
    Settings s;
    s.WriteInteger(QStringLiteral("ComPort"), 5);
    s.WriteInteger(QStringLiteral("Baudrate"), 4);
    s.SetValue(QStringLiteral("ToolbarPositions"), QByteArray("layout"));
    s.WriteInteger(QStringLiteral("ComOptions"), 1);
    s.Sync();
    // "LastGeneration" is missing: COM1 at 19200 and no tool bar layout, but the
    // values outside the group are still read.
    const MainSettings m = MainSettings::Load(Settings());
    EXPECT_EQ(m.portIndex, 0);
    EXPECT_EQ(m.baudIndex, 1);
    EXPECT_EQ(m.lastGeneration, -1);
    EXPECT_FALSE(m.toolbarLayout.has_value());
    EXPECT_EQ(m.comOptions, 1);
}

TEST(MainSettings, ValuesTheMenusCannotShowCountAsMissing)
{
    ClearAll();
    Settings s;
    s.WriteInteger(QStringLiteral("ComPort"), 24);  // there is no COM25
    s.WriteInteger(QStringLiteral("Baudrate"), 2);
    s.WriteInteger(QStringLiteral("LastGeneration"), 5);
    s.Sync();
    MainSettings m = MainSettings::Load(Settings());
    EXPECT_EQ(m.portIndex, 0);
    EXPECT_EQ(m.baudIndex, 1);

    s.WriteInteger(QStringLiteral("ComPort"), 23);
    s.WriteInteger(QStringLiteral("Baudrate"), -1);
    s.Sync();
    m = MainSettings::Load(Settings());
    EXPECT_EQ(m.portIndex, 0);
    EXPECT_EQ(m.baudIndex, 1);

    s.WriteInteger(QStringLiteral("Baudrate"), 0);
    s.Sync();
    m = MainSettings::Load(Settings());
    EXPECT_EQ(m.portIndex, 23);
    EXPECT_EQ(m.baudIndex, 0);
    EXPECT_EQ(m.lastGeneration, 5);  // the generation switch treats it as 0
    EXPECT_EQ(BaudRateOfIndex(8), 19200);
}

TEST(MainSettings, RecentFilesKeepTheNewestFourOnce)
{
    ClearAll();
    std::vector<QString> list;
    for (const char* name : {"/a.vek", "/b.vek", "/c.vek", "/d.vek", "/b.vek", "/e.vek"})
        AddRecentFile(list, QString::fromUtf8(name));
    EXPECT_EQ(list, (std::vector<QString>{"/e.vek", "/b.vek", "/d.vek", "/c.vek"}));

    MainSettings m;
    m.recentFiles = {QStringLiteral("/home/t\u00e9chnicien/pump.vek"), QStringLiteral("/x.vek")};
    m.toolbarLayout = QByteArray("layout");
    m.lastGeneration = 0;
    Settings s;
    m.Save(s);
    EXPECT_EQ(MainSettings::Load(Settings()).recentFiles, m.recentFiles);  // names outside Latin-1 survive too
}
