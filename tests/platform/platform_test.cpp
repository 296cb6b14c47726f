#include "platform/clock.h"
#include "platform/comports.h"
#include "platform/cp1252.h"
#include "platform/messages.h"
#include "platform/numtext.h"
#include "platform/recordingtarget.h"
#include "platform/settings.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <thread>

using namespace quenor;

TEST(Messages, NumbersMatchTheProtocol)
{
    EXPECT_EQ(UM_PARAMERROR, 1026);
    EXPECT_EQ(UM_REGISTERVALUE, 1027);
    EXPECT_EQ(UM_LINKSTATE, 1028);
    EXPECT_EQ(UM_MODULESETUP, 1033);
    EXPECT_EQ(UM_PROGRESS, 1034);
    EXPECT_EQ(UM_OPENFILE, 1044);
    EXPECT_EQ(UM_SAMPLESTATE, 1124);
}

TEST(Messages, RecordingTargetKeepsOrderAcrossThreadsAndOwnsPayloads)
{
    RecordingTarget target;
    std::thread producer([&] {
        for (int i = 0; i < 100; ++i)
            PostMessage(&target, UM_REGISTERVALUE, i, i * 2);
        std::vector<std::uint8_t> buffer{1, 2, 3};
        PostData(&target, UM_MODULESETUP, 0, 0, buffer);
        buffer[0] = 99;  // the message holds its own copy
        PostText(&target, UM_PROGRESS, 0, 0, "Connecting");
    });
    ASSERT_TRUE(target.WaitForMessage(UM_PROGRESS, std::chrono::seconds(10)));
    producer.join();
    const auto ms = target.Snapshot();
    ASSERT_EQ(ms.size(), 102u);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(ms[i].wParam, i);
        EXPECT_EQ(ms[i].lParam, i * 2);
    }
    EXPECT_TRUE(ms[100].hasData);
    EXPECT_EQ(ms[100].data, (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(ms[101].text, "Connecting");
    PostMessage(nullptr, UM_PROGRESS, 0, 0);  // a null target swallows the message
}

TEST(StopSignal, RaiseEndsASleepAtOnce)
{
    StopSignal stop;
    EXPECT_TRUE(stop.SleepMs(1));
    const auto start = MonotonicMs();
    std::thread raiser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        stop.Raise();
    });
    EXPECT_FALSE(stop.SleepMs(20000));
    raiser.join();
    EXPECT_LT(MonotonicMs() - start, 10000);
    EXPECT_FALSE(stop.SleepMs(1000));  // stays raised
    stop.Reset();
    EXPECT_TRUE(stop.SleepMs(1));
}

TEST(ComPorts, EnvironmentThenSettingThenDefault)
{
    ::unsetenv("QUENOR_COM7");
    Settings settings;
    settings.Remove(QStringLiteral("Ports/COM7"));
    settings.Sync();
    // Unmapped and with nothing there: the ttyS node of the number (under the
    // test's own device folder, so no test opens a port of the machine).
    EXPECT_EQ(ComDevicePath(7), DefaultComDevicePath(7));
    EXPECT_EQ(DefaultComDevicePath(7).substr(DefaultComDevicePath(7).size() - 10), "/dev/ttyS6");
    settings.WriteString(QStringLiteral("Ports/COM7"), "/dev/ttyUSB0");
    settings.Sync();
    EXPECT_EQ(ComDevicePath(7), "/dev/ttyUSB0");
    ::setenv("QUENOR_COM7", "/dev/pts/42", 1);
    EXPECT_EQ(ComDevicePath(7), "/dev/pts/42");
    ::unsetenv("QUENOR_COM7");
    settings.Remove(QStringLiteral("Ports/COM7"));
}

TEST(Settings, ValuesRoundTripAndDefaultsApply)
{
    Settings s;
    s.Remove(QStringLiteral("ComPort"));
    EXPECT_EQ(s.ReadInteger(QStringLiteral("ComPort"), 0), 0);
    s.WriteInteger(QStringLiteral("ComPort"), 5);
    EXPECT_EQ(Settings().ReadInteger(QStringLiteral("ComPort"), 0), 5);
    s.WriteBinary(QStringLiteral("SampleSetup"), {0, 1, 255});
    auto bin = Settings().ReadBinary(QStringLiteral("SampleSetup"));
    ASSERT_TRUE(bin.has_value());
    EXPECT_EQ(*bin, (std::vector<std::uint8_t>{0, 1, 255}));
    EXPECT_FALSE(Settings().ReadBinary(QStringLiteral("NoSuchValue")).has_value());
}

TEST(Cp1252, RoundTripsEveryDefinedByte)
{
    std::string all;
    for (int c = 1; c < 256; ++c)
        all.push_back(static_cast<char>(c));
    EXPECT_EQ(ToCp1252(FromCp1252(all)), all);
    EXPECT_EQ(Cp1252ToUtf8("\xB2\xB0"), "\xC2\xB2\xC2\xB0");  // superscript two, degree
    EXPECT_EQ(Cp1252ToUtf8("\x80"), "\xE2\x82\xAC");          // euro sign
    EXPECT_EQ(Utf8ToCp1252("\xE2\x82\xAC m/s\xC2\xB2"), "\x80 m/s\xB2");
    EXPECT_EQ(Utf8ToCp1252("\xE4\xB8\xAD"), "?");  // not in the code page
}

TEST(NumText, ValueTextUpToFifteenDigits)
{
    const std::pair<double, const char*> cases[] = {
        {0, "0"},       {100, "100"},   {-0.5, "-0.5"},     {2.5, "2.5"},         {1e15, "1E15"},
        {1e14, "100000000000000"},      {1.5e-7, "1.5E-7"}, {0.0001, "0.0001"},   {1e-5, "1E-5"},
        {123456789012345678.0, "1.23456789012346E17"},      {1.0 / 3, "0.333333333333333"},
        {100000, "100000"},      {3e9, "3000000000"},       {static_cast<double>(0.1f), "0.100000001490116"},
    };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(FormatValueText(value), text) << value;
}

TEST(NumText, UsesThePointWhateverTheLocale)
{
    // A locale with a decimal comma must not change anything (it may be missing here).
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    EXPECT_EQ(FormatFixed(1.5, 2), "1.50");
    EXPECT_EQ(FormatFixed(-0.125, 1), "-0.1");
    EXPECT_EQ(FormatFixed(3, 0), "3");
    EXPECT_EQ(FormatShortest(0.1), "0.1");
    EXPECT_EQ(FormatValueText(-1.25), "-1.25");
    EXPECT_EQ(ParseDouble(" 2.5 "), 2.5);
    EXPECT_EQ(ParseDouble("+1e3"), 1000.0);
    EXPECT_EQ(ParseDouble("-7"), -7.0);
    EXPECT_FALSE(ParseDouble("2,5").has_value());
    EXPECT_FALSE(ParseDouble("").has_value());
    EXPECT_FALSE(ParseDouble("1.5x").has_value());
    EXPECT_FALSE(ParseDouble("++1").has_value());
    EXPECT_EQ(ParseInteger(" -42"), -42);
    EXPECT_FALSE(ParseInteger("4.2").has_value());
    std::setlocale(LC_NUMERIC, "C");
}
