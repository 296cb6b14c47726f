#include "app/setupfile.h"
#include "platform/savefile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quenor;

TEST(SetupText, LinesSplitAtCrLfLfAndLoneCr)
{
    EXPECT_EQ(SplitTextLines("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitTextLines("a\r\n\r\nb\r\n"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_TRUE(SplitTextLines("").empty());
    EXPECT_EQ(JoinTextLines({"[Vek Setup file]", "x = 1"}), "[Vek Setup file]\r\nx = 1\r\n");
    const std::string highBytes = "Unit = m/s\xB2";
    EXPECT_EQ(SplitTextLines(JoinTextLines({highBytes})).front(), highBytes);
}

TEST(SetupText, HeaderScanStopsAtTheFirstLineWithoutBracket)
{
    SetupHeader h = ScanSetupHeader(
        {"[Vek Setup file]", "[Tovik Automation A/S]", "[Motor type 14]", "[FILTER TYPE 2]", "Speed = 3",
         "[Motor type 4]"});
    EXPECT_TRUE(h.valid);
    EXPECT_EQ(h.motorType, 14);
    EXPECT_EQ(h.filterType, 2);
    EXPECT_FALSE(h.malformed);

    // Defaults when lines are missing; a file of header lines only ends the scan at its end.
    h = ScanSetupHeader({"[Tovik Automation A/S]", "[Motor type 3]"});
    EXPECT_FALSE(h.valid);
    EXPECT_EQ(h.motorType, 3);
    EXPECT_EQ(h.filterType, 1);
    h = ScanSetupHeader({});
    EXPECT_EQ(h.motorType, 0);

    h = ScanSetupHeader({"[Vek Setup file]", "[Motor type x]"});
    EXPECT_TRUE(h.malformed);
    EXPECT_TRUE(ScanSetupHeader({"[Vek Setup file]", "[Motor family 3]"}).malformed);
}

// A motor of a type Quenor does not know saves the code it reported and its
// family: offline the file shows that family, connected it is no other
// family's file.
TEST(SetupText, AFileOfAMotorOfUnknownTypeKeepsItsCodeAndFamily)
{
    const struct {
        int code;
        int family;  // of the motor that saved it; -1 for a file with no family line
        int offlineType;
    } cases[] = {{0, 0, 3}, {0, 1, 14}, {3, 1, 14}, {11, 1, 14}, {0, 2, 64}, {14, 2, 64}, {64, 0, 3},
                 {0, -1, 3}, {12, -1, 12}, {99, -1, 3}};
    for (const auto& c : cases) {
        const auto lines = SetupHeaderLines(c.code, std::max(c.family, 0), 2, c.family >= 0);
        const SetupHeader h = ScanSetupHeader(lines);
        EXPECT_FALSE(h.malformed);
        EXPECT_EQ(h.motorType, c.code);
        EXPECT_EQ(h.family, c.family) << c.code;
        EXPECT_EQ(OfflineTypeOfFile(h), c.offlineType) << c.code << " " << c.family;
        if (c.family == 0 || c.family == 1) {
            // Loaded back into the motor it came from: the whole file goes in.
            const SetupLoadDecision d = DecideSetupLoad(true, c.family, c.code, c.family == 0 ? 112 : 72, h);
            EXPECT_FALSE(d.incompatible || d.wrongType) << c.code << " " << c.family;
            // Into a motor of the other family: none of it.
            EXPECT_TRUE(DecideSetupLoad(true, 1 - c.family, c.code, 112, h).incompatible) << c.code;
        }
    }
    EXPECT_EQ(SetupHeaderLines(0, 1, 2, true).at(3), "[Motor family 1]");
}

TEST(SetupText, HeaderLinesAndTheFilterTypeWritten)
{
    EXPECT_EQ(SetupHeaderLines(3, 0, 1),
              (std::vector<std::string>{"[Vek Setup file]", "[Tovik Automation A/S]", "[Motor type 3]",
                                        "[Filter Type 1]"}));
    // Generation 2 writes no filter line; reading such a file gives filter type 1.
    const auto g2 = SetupHeaderLines(64, 2, 2);
    EXPECT_EQ(g2.size(), 3u);
    EXPECT_EQ(ScanSetupHeader(g2).filterType, 1);
    EXPECT_EQ(ScanSetupHeader(g2).motorType, 64);

    EXPECT_EQ(FilterTypeOfValues(0, 64, 64, 64, 64), 1);
    EXPECT_EQ(FilterTypeOfValues(0, 65536 + 64, 64, 64, 64), 1);  // generation 0 counts 16 bits, signed
    EXPECT_EQ(FilterTypeOfValues(0, 0xFFFF, 1, 128, 128), 1);      // -1 + 1 + 128 + 128
    EXPECT_EQ(FilterTypeOfValues(1, 0xFFFF, 1, 128, 128), 2);
    EXPECT_EQ(FilterTypeOfValues(1, 100, 100, 56, 0), 1);
}

TEST(SetupText, CompatibilityRules)
{
    auto header = [](int type, int filter) {
        SetupHeader h;
        h.valid = true;
        h.motorType = type;
        h.filterType = filter;
        return h;
    };
    // Offline nothing is checked.
    SetupLoadDecision d = DecideSetupLoad(false, 0, 3, 0, header(99, 7));
    EXPECT_FALSE(d.incompatible || d.wrongType || d.convertFilter);

    // Generation 0, firmware 112 wants filter 2: an old filter is converted.
    d = DecideSetupLoad(true, 0, 3, 112, header(3, 1));
    EXPECT_TRUE(d.convertFilter);
    EXPECT_FALSE(d.wrongType);
    auto notices = SetupLoadNotices(d);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].caption, "Old filter type!");

    // Older firmware wants filter 1: a new filter is refused with the firmware reason.
    d = DecideSetupLoad(true, 0, 3, 111, header(3, 2));
    EXPECT_TRUE(d.wrongType && d.firmwareReason);
    notices = SetupLoadNotices(d);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].caption, "Incompatible firmware!");
    EXPECT_NE(notices[0].text.find("by using the \"Updates\" menu"), std::string::npos);

    d = DecideSetupLoad(true, 0, 3, 111, header(4, 1));
    EXPECT_TRUE(d.wrongType && !d.firmwareReason);
    EXPECT_EQ(SetupLoadNotices(d).at(0).caption, "Wrong motor type!");
    EXPECT_NE(SetupLoadNotices(d).at(0).text.find("nessasary"), std::string::npos);

    d = DecideSetupLoad(true, 0, 3, 111, header(14, 1));
    EXPECT_TRUE(d.incompatible);
    EXPECT_EQ(SetupLoadNotices(d).at(0).caption, "Incompatible motor type!");

    // Generation 1: VekF and VekF4 match each other.
    d = DecideSetupLoad(true, 1, 15, 72, header(14, 2));
    EXPECT_FALSE(d.wrongType || d.incompatible);
    EXPECT_TRUE(SetupLoadNotices(d).empty());
    d = DecideSetupLoad(true, 1, 15, 72, header(12, 2));
    EXPECT_TRUE(d.wrongType && !d.firmwareReason);
    d = DecideSetupLoad(true, 1, 14, 71, header(14, 2));
    EXPECT_TRUE(d.wrongType && d.firmwareReason);
    d = DecideSetupLoad(true, 1, 14, 72, header(14, 1));
    EXPECT_TRUE(d.wrongType && d.firmwareReason);
    d = DecideSetupLoad(true, 1, 14, 72, header(3, 2));
    EXPECT_TRUE(d.incompatible);

    // Generation 2 checks nothing.
    d = DecideSetupLoad(true, 2, 64, 0, header(3, 2));
    EXPECT_FALSE(d.incompatible || d.wrongType || d.convertFilter);

    // A file without the setup marker (another kind of file opened by mistake)
    // loads no parameter: the only notice says so, in every generation, and no
    // "Wrong motor type!" or "Old filter type!" suggests that the rest went in.
    for (const int generation : {0, 1, 2}) {
        SetupHeader none;  // type 0, filter type 1, not valid
        d = DecideSetupLoad(true, generation, generation == 2 ? 64 : generation == 1 ? 14 : 3, 112, none);
        notices = SetupLoadNotices(d);
        ASSERT_EQ(notices.size(), 1u) << generation;
        EXPECT_EQ(notices[0].caption, "Incompatible motor type!") << generation;
        EXPECT_NE(notices[0].text.find("The motor parameters will not be loaded."), std::string::npos);
    }
}

TEST(SetupText, EntriesKeysAndFilterRegisters)
{
    auto e = SplitSetupEntry("Max velocity              = 5000");
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(e->key, "Max velocity");
    EXPECT_EQ(e->value, " 5000");
    EXPECT_FALSE(SplitSetupEntry("[Motor type 3]").has_value());
    const std::string longValue(300, '7');
    EXPECT_EQ(SplitSetupEntry("k=" + longValue)->value.size(), 100u);
    EXPECT_TRUE(SetupKeyMatches("speed", "Speed"));
    EXPECT_FALSE(SetupKeyMatches("Speed ", "Speed"));
    EXPECT_EQ(ProgramLine("00"), "VEKMRP Data               = 00");
    EXPECT_EQ(ProgramLine("").find(" = "), 25u);

    EXPECT_TRUE(IsFilterRegister(0, 89));
    EXPECT_TRUE(IsFilterRegister(0, 111));
    EXPECT_FALSE(IsFilterRegister(0, 112));
    EXPECT_TRUE(IsFilterRegister(0, 126));
    EXPECT_TRUE(IsFilterRegister(1, 173));
    EXPECT_FALSE(IsFilterRegister(1, 120));
    EXPECT_FALSE(IsFilterRegister(2, 100));

    EXPECT_TRUE(IsSetupFileName("/home/x/Pump.VeK"));
    EXPECT_FALSE(IsSetupFileName("pump.vek.bak"));
    EXPECT_FALSE(IsSetupFileName("ek"));
}

TEST(SetupText, OldFilterConversionUsesRunningSums)
{
    FilterConverter c;
    EXPECT_EQ(c.Apply(97, 1000), 1000 - 4096);
    EXPECT_EQ(c.Apply(98, 500), 1500 - 4096);
    EXPECT_EQ(c.Apply(5, 77), 77);
    EXPECT_EQ(c.Apply(102, 64), 64 - 256);
    EXPECT_EQ(c.Apply(103, 64), 128 - 256);
    EXPECT_EQ(c.Apply(100, 96), 1596 - 4096);
}

TEST(SetupText, WriteOrderPutsRegister37Last)
{
    std::array<bool, kRegisterSlots> loaded{};
    for (int r : {37, 5, 2, 200, 36})
        loaded[r] = true;
    EXPECT_EQ(SetupWriteOrder(loaded), (std::vector<int>{2, 5, 36, 200, 37}));
    loaded.fill(false);
    EXPECT_TRUE(SetupWriteOrder(loaded).empty());
}

// Only an existing regular file that may be read is read; the path's fault
// is known before any reading. (Pipes, devices, folders and missing paths
// are refused through the session's own tables.)
TEST(SetupFiles, OnlyARegularFileThatMayBeReadIsRead)
{
    QTemporaryDir dir;
    const std::string base = dir.path().toStdString();
    ASSERT_TRUE(SaveWholeFile(base + "/pump.vek", "[Vek Setup file]\r\n"));
    ASSERT_EQ(::symlink((base + "/pump.vek").c_str(), (base + "/link.vek").c_str()), 0);
    ASSERT_TRUE(SaveWholeFile(base + "/secret.vek", "x"));
    ASSERT_EQ(::chmod((base + "/secret.vek").c_str(), 0), 0);
    ASSERT_EQ(::chmod(base.c_str(), 0755), 0);
    const struct {
        std::string path;
        ReadFault fault;
        std::size_t limit = SIZE_MAX;
    } cases[] = {
        {base + "/pump.vek", ReadFault::None},
        {base + "/link.vek", ReadFault::None},
        {base + "/pump.vek", ReadFault::None, 18},
        {base + "/pump.vek", ReadFault::TooLarge, 17},
        {base + "/pump.vek/x", ReadFault::Missing},
        {base + "/secret.vek", ReadFault::Denied},
    };
    // Root reads any file: the unreadable one is read as another user.
    const bool root = ::geteuid() == 0;
    for (const auto& c : cases) {
        const bool asOther = c.fault == ReadFault::Denied && root;
        if (asOther && ::seteuid(65534) != 0) {
            ADD_FAILURE() << "cannot read as another user";
            continue;
        }
        const ReadFault checked = CheckReadableFile(c.path, c.limit);
        ReadFault fault = ReadFault::Failed;
        const std::optional<std::string> text = ReadWholeFile(c.path, c.limit, &fault);
        if (asOther) {
            ASSERT_EQ(::seteuid(0), 0);
        }
        EXPECT_EQ(checked, c.fault) << c.path;
        EXPECT_EQ(fault, c.fault) << c.path;
        EXPECT_EQ(text, c.fault == ReadFault::None ? std::optional<std::string>("[Vek Setup file]\r\n") : std::nullopt)
            << c.path;
    }
}

// A file that grows while it is read (or any other stream) is read no further
// than one byte past the limit.
TEST(SetupFiles, AReadStopsOneBytePastTheLimit)
{
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const std::string data(1200, 'x');
    ASSERT_EQ(::write(ends[1], data.data(), data.size()), static_cast<ssize_t>(data.size()));
    ::close(ends[1]);
    ReadFault fault = ReadFault::None;
    EXPECT_FALSE(ReadUpTo(ends[0], 1000, &fault).has_value());
    EXPECT_EQ(fault, ReadFault::TooLarge);
    char rest[256];
    EXPECT_EQ(::read(ends[0], rest, sizeof rest), 199) << "read more than the limit and one byte";
    ::close(ends[0]);

    // Up to the limit the stream is read whole.
    ASSERT_EQ(::pipe(ends), 0);
    ASSERT_EQ(::write(ends[1], data.data(), 1000), 1000);
    ::close(ends[1]);
    EXPECT_EQ(ReadUpTo(ends[0], 1000, &fault), std::string(1000, 'x'));
    EXPECT_EQ(fault, ReadFault::None);
    ::close(ends[0]);
}
