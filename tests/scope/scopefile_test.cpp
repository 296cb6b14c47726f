// Scope files and the clipboard text.

#include "platform/numtext.h"
#include "scope/scopefile.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

using namespace quenor;

namespace {

std::shared_ptr<TSampleSet> SmallSet()
{
    auto set = std::make_shared<TSampleSet>();
    set->name = "Scope 1";
    set->SetCount(3);
    set->SampleTime = 0.00192;
    SampleHeader h;
    h.V_Soll = 1000;
    h.A_Soll = -100;
    h.T_Soll = 500;
    h.Kvout = 2.5;
    h.Scurve = 3;
    set->SetHeader(h);
    auto* ch = set->AddChannel(std::make_unique<SChannelData>(3));
    ch->name = "Actual velocity";
    ch->unit = "RPM";
    ch->Factor = 1.0 / 770.0;
    ch->Color = 0xFF0000;
    ch->SetSample(0, 1);
    ch->SetSample(1, -2);
    ch->SetSample(2, 70000);
    auto* empty = set->AddChannel(std::make_unique<SChannelData>(0));
    empty->name = "None";
    empty->unit = "";
    set->setupLines = {"[Setup]", "Count=5", "[Scope end] is not here"};
    return set;
}

ScopeFileRead Read(std::string_view text) { return ReadScopeText(text); }
std::string Write(const ScopeFileRead& read) { return JoinLines(ScopeFileLines(read.sets)); }

}  // namespace

TEST(ScopeFile, GeneralFloatText)
{
    const std::pair<double, const char*> cases[] = {
        {0.0, "0"}, {100.0, "100"}, {-2.5, "-2.5"}, {0.00192, "0.00192"}, {1.0 / 770.0, "0.0012987012987013"},
        {0.1 + 0.2, "0.3"}, {1e-5, "0.00001"}, {1.5e-7, "1.5E-7"}, {1e15, "1E15"}, {999999999999999.0, "999999999999999"},
        {123456789012345678.0, "1.23456789012346E17"}, {-4.25e-300, "-4.25E-300"},
        // Fifteen digits of the largest doubles would round past the largest
        // double: they write the largest fifteen-digit value below it.
        {DBL_MAX, "1.79769313486231E308"}, {-DBL_MAX, "-1.79769313486231E308"},
        {1.797693134862315e308, "1.79769313486231E308"}, {1.79769313486231e308, "1.79769313486231E308"},
        {std::numeric_limits<double>::denorm_min(), "4.94065645841247E-324"},
    };
    for (const auto& [v, text] : cases) {
        EXPECT_EQ(FormatGeneral(v), text);
        // Read back and written again: the same text.
        const auto back = ParseDouble(FormatGeneral(v));
        ASSERT_TRUE(back) << text;
        EXPECT_EQ(FormatGeneral(*back), text);
    }
    EXPECT_EQ(FormatGeneral(-2.5, ','), "-2,5");
    EXPECT_EQ(FormatGeneral(1.5e-7, ','), "1,5E-7");
}

TEST(ScopeFile, WritesTheBlockAndReadsItBackIdentically)
{
    const std::string expected =
        "[Scope v0.9]\r\nScopeName=Scope 1\r\nZoomXType=0\r\nSampleDivider=1\r\nSampleTime=0.00192\r\n"
        "ZeroPoint=0.5\r\nCount=3\r\nV_Soll=1000\r\nA_Soll=-100\r\nT_Soll=500\r\nKvout=2.5\r\nScurve=3\r\n"
        "Revcounts=4096\r\n\r\n"
        "NewChannel\r\nChannelName=Actual velocity\r\nUnitName=RPM\r\nFactor=0.0012987012987013\r\n"
        "Color=16711680\r\nData=1,-2,70000\r\n\r\n"
        "NewChannel\r\nChannelName=None\r\nUnitName=\r\nFactor=1\r\nColor=0\r\nData=0,0,0\r\n\r\n"
        "\r\n[Setup file start]\r\n[Setup]\r\nCount=5\r\n[Scope end] is not here\r\n[Setup file end]\r\n"
        "[Scope end]\r\n\r\n";
    const std::string text = JoinLines(ScopeFileLines({SmallSet()}));
    EXPECT_EQ(text, expected);

    const ScopeFileRead read = Read(text);
    ASSERT_EQ(read.error, "");
    ASSERT_EQ(read.sets.size(), 1u);
    const TSampleSet& s = *read.sets[0];
    EXPECT_EQ(s.Count(), 3);  // the setup line "Count=5" is not a key
    EXPECT_EQ(s.setupLines, SmallSet()->setupLines);
    EXPECT_EQ(s.Header(), SmallSet()->Header());
    ASSERT_EQ(s.ChannelCount(), 2);
    EXPECT_EQ(s.Channel(0)->Samples(), (std::vector<std::int32_t>{1, -2, 70000}));
    EXPECT_EQ(s.Channel(1)->Samples(), (std::vector<std::int32_t>{0, 0, 0}));  // the set's Count
    EXPECT_EQ(Write(read), expected);
}

TEST(ScopeFile, ReadingIsForgivingWhereTheWriterIsNot)
{
    const std::string text =
        "junk before\r\n"
        "[scope v0.9]\r\nScopeName=lower case opener\r\n[Scope end]\r\n"  // does not open a set
        "[Scope v0.9] first\r\nSCOPENAME=A=B\r\nchannelname=before any channel\r\nFactor=9\r\nData=5\r\n"
        "COUNT=3\nzoomxtype=7\nZeroPoint=2\nNewChannel\nData=1,2,3,4,5\nNewChannel\nData=7\nFACTOR=0.5\r"
        "NewChannel\nNewChannel\nNewChannel\nChannelName=fifth\n[SCOPE END]\n"
        "[Scope v0.9]\nScopeName=second\nZeroPoint=NAN\nCount=2\nNewChannel\nData=1,2\nCount=5\n[Scope end]\n"
        "[Scope v0.9]\nScopeName=third\nZeroPoint=-0.25\nSampleTime=0.001\n";  // no end line
    const ScopeFileRead read = Read(text);
    ASSERT_EQ(read.error, "");
    ASSERT_EQ(read.sets.size(), 3u);
    const TSampleSet& a = *read.sets[0];
    EXPECT_EQ(a.name, "A=B");
    EXPECT_EQ(a.Count(), 3);
    EXPECT_EQ(a.ZoomXType, kZoomAll);
    EXPECT_EQ(a.ZeroPoint, 1.0);
    ASSERT_EQ(a.ChannelCount(), 4);  // the fifth has nowhere to go
    EXPECT_EQ(a.Channel(0)->Samples(), (std::vector<std::int32_t>{1, 2, 3}));
    EXPECT_EQ(a.Channel(0)->name, "");
    EXPECT_EQ(a.Channel(0)->Factor, 1.0);
    EXPECT_EQ(a.Channel(1)->Samples(), (std::vector<std::int32_t>{7, 0, 0}));
    EXPECT_EQ(a.Channel(1)->Factor, 0.5);
    EXPECT_EQ(a.Channel(3)->name, "");

    // The last Count holds for every channel of the set.
    const TSampleSet& b = *read.sets[1];
    EXPECT_EQ(b.ZeroPoint, 0.5);
    EXPECT_EQ(b.Count(), 5);
    EXPECT_EQ(b.Channel(0)->Samples(), (std::vector<std::int32_t>{1, 2, 0, 0, 0}));

    EXPECT_EQ(read.sets[2]->name, "third");
    EXPECT_EQ(read.sets[2]->ZeroPoint, 0.0);

    // Given a byte at a time (a CR in one piece, its LF in the next), the file reads the same.
    ScopeFileReader reader;
    for (char c : text)
        ASSERT_TRUE(reader.Feed(std::string_view(&c, 1)));
    EXPECT_EQ(Write(reader.Finish()), Write(read));
}

// A file's lines the setup file of a set: n lines of the given length.
std::string SetupText(int n, std::size_t length)
{
    std::string text = "[Setup file start]\r\n";
    for (int i = 0; i < n; ++i)
        text.append(length, 's').append("\r\n");
    return text + "[Setup file end]\r\n";
}

TEST(ScopeFile, BadValuesStopTheLoadAndKeepTheSetsBefore)
{
    const std::string good = "[Scope v0.9]\nScopeName=good\nCount=1\n[Scope end]\n";
    const std::pair<std::string, std::string> cases[] = {
        {"Count=-1", "Count -1 is out of range (0 to 1000000)"},
        {"Count=1000001", "Count 1000001 is out of range (0 to 1000000)"},
        {"Count=ten", "'ten' is not a valid integer value"},
        {"Count=3000000000", "'3000000000' is not a valid integer value"},
        {"SampleTime=1,5", "'1,5' is not a valid floating point value"},
        {"Count=3\nNewChannel\nData=1,,2\n[Scope end]", "'' is not a valid integer value"},
        // Longer than the longest "Data" line (a million values of eleven
        // characters): the line is not read to its end.
        {"ScopeName=" + std::string(12000000, 'n'), "A line of the file is longer than 12000005 characters"},
        {std::string(40000000, ','), "A line of the file is longer than 12000005 characters"},
        // A setup file far beyond any motor's.
        {SetupText(4097, 0), "The setup file of a set has more than 4096 lines"},
        {SetupText(16, 65534) + SetupText(1, 0), "The setup file of a set is longer than 1048576 characters"},
    };
    for (const auto& [line, reason] : cases) {
        const std::string text = good + "[Scope v0.9]\nScopeName=bad\n" + line + "\n" + good;
        const std::string shown = line.substr(0, 40);
        // Read whole, and a piece at a time as the window reads a file.
        ScopeFileReader pieces;
        for (std::size_t at = 0; at < text.size() && pieces.Feed(std::string_view(text).substr(at, 1 << 20));)
            at += 1 << 20;
        for (const ScopeFileRead& read : {Read(text), pieces.Finish()}) {
            EXPECT_EQ(read.error, reason) << shown;
            ASSERT_EQ(read.sets.size(), 1u) << shown;
            EXPECT_EQ(read.sets[0]->name, "good");
        }
    }
    // Just within the limits: the longest "Data" line, and a setup file of
    // 4096 lines, or of 1 MiB with its line breaks.
    std::string longest = "[Scope v0.9]\nCount=1000000\nNewChannel\nData=-2147483648";
    for (int i = 1; i < 1000000; ++i)
        longest += ",-2147483648";
    for (const std::string& text : {longest + ",\n" + SetupText(4096, 0), "[Scope v0.9]\n" + SetupText(16, 65534)}) {
        const ScopeFileRead read = Read(text);
        EXPECT_EQ(read.error, "");
        EXPECT_EQ(read.sets.size(), 1u);
    }
    EXPECT_EQ(LoadErrorText("x"), "Could not load the file\nError: x");
    // Count at the limit is taken.
    EXPECT_EQ(Read("[Scope v0.9]\nCount=1000000\n").sets.at(0)->Count(), 1000000);
}

TEST(ScopeFile, WhatTheReaderTakesTheWriterWritesBack)
{
    // Read, written, read again and written again: the same sets and the same
    // bytes. Every channel has its set's Count samples, wherever the Count line
    // stands: four sets of four channels of a million samples, their Count
    // after the channels, hold more than a file may.
    std::string fourLargest;
    for (int i = 0; i < 4; ++i)
        fourLargest += "[Scope v0.9]\nNewChannel\nNewChannel\nNewChannel\nNewChannel\nCount=1000000\n[Scope end]\n";
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    const struct {
        std::string text;
        std::size_t sets;
        std::string error;
        std::int32_t count;                             // of the last set
        std::vector<std::vector<std::int32_t>> first;  // its channels' first samples
    } cases[] = {
        {"[Scope v0.9]\nSampleTime=1.7976931348623157E308\nKvout=-1.7976931348623157E308\nNewChannel\n"
         "Factor=1.7976931348623157E308\nNewChannel\nFactor=-1.797693134862315E308",
         1, "", 0, {{}, {}}},
        {"[Scope v0.9]\nSampleTime=4.9E-324\nZeroPoint=2.5E-320\nKvout=1E-310", 1, "", 0, {}},
        {"[Scope v0.9]\nCount=2\nColor=-1\nNewChannel\nColor=-2147483648\nData=-2147483648,2147483647", 1, "", 2,
         {{kMin, kMax}}},
        {"[Scope v0.9]\nZoomXType=-3\nSampleDivider=-2147483648\nCount=4\nNewChannel\nData=+7,  8\n", 1, "", 4,
         {{7, 8, 0, 0}}},
        {"[Scope v0.9]\nNewChannel\nData=1,2,3\nCount=2\n", 1, "", 2, {{1, 2}}},
        {"[Scope v0.9]\nCount=2\nNewChannel\nData=4,5,6,x\nNewChannel\nData=7\n", 1, "", 2, {{4, 5}, {7, 0}}},
        {"[Scope v0.9]\nCount=5\nNewChannel\nData=7\nCount=3\nNewChannel\nData=1,2,3,4\nCount=2\n", 1, "", 2,
         {{7, 0}, {1, 2}}},
        {"[Scope v0.9]\nNewChannel\nData=1,x\nCount=2\n", 0, "'x' is not a valid integer value", 0, {}},
        {fourLargest, 3, "The file holds more than 14848000 samples", 1000000, {{0}, {0}, {0}, {0}}},
    };
    for (const auto& c : cases) {
        const ScopeFileRead first = Read(c.text);
        EXPECT_EQ(first.error, c.error) << c.text;
        ASSERT_EQ(first.sets.size(), c.sets) << c.text;
        if (c.sets == 0)
            continue;
        const TSampleSet& last = *first.sets.back();
        EXPECT_EQ(last.Count(), c.count) << c.text;
        ASSERT_EQ(last.ChannelCount(), static_cast<int>(c.first.size())) << c.text;
        for (int k = 0; k < last.ChannelCount(); ++k) {
            EXPECT_EQ(last.Channel(k)->Count(), c.count) << c.text;
            for (std::size_t i = 0; i < c.first[k].size(); ++i)
                EXPECT_EQ(last.Channel(k)->Sample(static_cast<std::int32_t>(i)), c.first[k][i]) << c.text;
        }
        const std::string written = Write(first);
        const ScopeFileRead second = Read(written);
        EXPECT_EQ(second.error, "") << c.text;
        EXPECT_EQ(second.sets.size(), c.sets) << c.text;
        EXPECT_TRUE(Write(second) == written) << c.text;
    }
    const ScopeFileRead big = Read(Write(Read(cases[0].text)));
    ASSERT_EQ(big.sets.size(), 1u);
    EXPECT_EQ(big.sets[0]->SampleTime, 1.79769313486231E308);
    EXPECT_EQ(big.sets[0]->Header().Kvout, -1.79769313486231E308);
    EXPECT_EQ(big.sets[0]->Channel(0)->Factor, 1.79769313486231E308);
}

TEST(ScopeFile, NamesThatHoldABlockMarkerKeepTheirSetWhole)
{
    // A renamed set or a typed unit may hold a marker's text; the saved set
    // must still read back with all its channels and its setup lines.
    const struct {
        const char* name;
        const char* saved;
    } cases[] = {
        {"run [Scope end] 2", "run (Scope end) 2"},
        {"[SETUP FILE START]", "(SETUP FILE START)"},
        {"a[setup file end]b[scope end]", "a(setup file end)b(scope end)"},
        {"two\r\nlines", "two  lines"},
        {"[Scope v0.9]", "[Scope v0.9]"},  // a marker only at a line's start
    };
    for (const auto& c : cases) {
        auto set = SmallSet();
        set->name = c.name;
        set->Channel(0)->name = c.name;
        set->Channel(1)->unit = c.name;
        const ScopeFileRead read = Read(JoinLines(ScopeFileLines({set})));
        ASSERT_EQ(read.error, "") << c.name;
        ASSERT_EQ(read.sets.size(), 1u) << c.name;
        const TSampleSet& s = *read.sets[0];
        EXPECT_EQ(s.name, c.saved);
        ASSERT_EQ(s.ChannelCount(), 2) << c.name;
        EXPECT_EQ(s.Channel(0)->name, c.saved);
        EXPECT_EQ(s.Channel(1)->unit, c.saved);
        EXPECT_EQ(s.Channel(0)->Samples(), set->Channel(0)->Samples());
        EXPECT_EQ(s.setupLines, set->setupLines);
    }
}

TEST(ScopeFile, AChannelHoldsWhatItsDataLineGives)
{
    const ScopeFileRead read =
        Read("[Scope v0.9]\nCount=1000000\nNewChannel\nData=5,-6\nNewChannel\nNewChannel\nData=1\nData=2,3\n"
             "NewChannel\nData=9,8,7\nData=4\n[Scope end]\n");
    ASSERT_EQ(read.error, "");
    ASSERT_EQ(read.sets.size(), 1u);
    const TSampleSet& s = *read.sets[0];
    ASSERT_EQ(s.ChannelCount(), 4);
    const struct {
        std::int32_t held;
        std::vector<std::int32_t> first;
    } channels[] = {{2, {5, -6, 0}}, {0, {0, 0, 0}}, {2, {2, 3, 0}}, {3, {4, 8, 7}}};
    for (int c = 0; c < 4; ++c) {
        const SChannelData& ch = *s.Channel(c);
        EXPECT_EQ(ch.Count(), 1000000) << c;
        EXPECT_EQ(ch.Held(), channels[c].held) << c;
        for (std::int32_t i = 0; i < 3; ++i)
            EXPECT_EQ(ch.Sample(i), channels[c].first[static_cast<std::size_t>(i)]) << c << " " << i;
        EXPECT_EQ(ch.Sample(999999), 0);
    }
}

TEST(ScopeFile, AFileHoldsAtMostAThousandLargestRuns)
{
    // The largest run: 3712 samples of four channels; a file may hold a thousand.
    const std::string limit = std::to_string(kMaxFileSamples);
    ASSERT_EQ(limit, "14848000");
    auto block = [](std::int32_t count, int channels) {
        std::string b = "[Scope v0.9]\r\nScopeName=n\r\nCount=" + std::to_string(count) + "\r\n\r\n";
        for (int c = 0; c < channels; ++c)
            b += "NewChannel\r\nData=1\r\n\r\n";
        return b + "\r\n[Setup file start]\r\n[Setup file end]\r\n[Scope end]\r\n\r\n";
    };
    // Three sets of four million and one of 2 848 000 samples: exactly the limit.
    std::string atLimit;
    for (int i = 0; i < 3; ++i)
        atLimit += block(1000000, 4);
    atLimit += block(712000, 4);
    const ScopeFileRead full = Read(atLimit);
    EXPECT_EQ(full.error, "");
    EXPECT_EQ(full.sets.size(), 4u);
    // One channel of one sample more is refused, and so is the issue's file:
    // 140 sets of four channels of a million samples (11.6 KB asking for 2.2 GB).
    const ScopeFileRead over = Read(atLimit + block(1, 1));
    ASSERT_EQ(over.error, "The file holds more than " + limit + " samples");
    EXPECT_EQ(over.sets.size(), 4u);
    std::string issue;
    for (int i = 0; i < 140; ++i)
        issue += block(1000000, 4);
    const ScopeFileRead refused = Read(issue);
    EXPECT_EQ(refused.error, "The file holds more than " + limit + " samples");
    ASSERT_EQ(refused.sets.size(), 3u);  // the sets read before the limit stay
    EXPECT_EQ(refused.sets[2]->Channel(3)->Held(), 1);
}

TEST(ScopeFile, AFileHoldsAtMostAThousandSets)
{
    const struct {
        int sets;
        const char* error;
    } cases[] = {{1000, ""}, {1001, "The file holds more than 1000 scope sets"}, {16000, "The file holds more than 1000 scope sets"}};
    for (const auto& c : cases) {
        std::string text;
        for (int i = 0; i < c.sets; ++i)
            text += "[Scope v0.9]\r\nScopeName=" + std::to_string(i) + "\r\n[Scope end]\r\n";
        const ScopeFileRead read = Read(text);
        EXPECT_EQ(read.error, c.error) << c.sets;
        ASSERT_EQ(read.sets.size(), 1000u) << c.sets;  // the first thousand stay
        EXPECT_EQ(read.sets.back()->name, "999");
    }
}

TEST(ScopeFile, ClipboardTextWithEitherSeparator)
{
    TSampleSet set;
    set.name = "Run";
    set.SetCount(2);
    set.SampleTime = 0.0005;
    auto* a = set.AddChannel(std::make_unique<SChannelData>(2));
    a->name = "A";
    a->unit = "V";
    a->Factor = 0.5;
    a->SetSample(0, 3);
    a->SetSample(1, -1);
    auto* b = set.AddChannel(std::make_unique<SChannelData>(2));
    b->name = "B.x";
    b->unit = "%";
    b->Factor = 2;
    b->SetSample(1, 4);
    EXPECT_EQ(ClipboardText(set, '.'),
              "Run\r\nSampletime [ms] \t0.5\r\nTime [ms]\tA [V]\tB.x [%]\r\n0\t1.5\t0\r\n0.5\t-0.5\t8\r\n");
    EXPECT_EQ(ClipboardText(set, ','),
              "Run\r\nSampletime [ms] \t0,5\r\nTime [ms]\tA [V]\tB.x [%]\r\n0\t1,5\t0\r\n0,5\t-0,5\t8\r\n");
}
