// Format files of the logic module, the list of standard formats and the download.

#include "app/comrequests.h"
#include "app/seqletformat.h"
#include "link/linkfixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace quenor {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::span<const std::uint8_t> Span(const std::string& s)
{
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// The data record for bytes at an address, with its checksum.
std::string Record(int address, const std::vector<int>& data, int type = 0)
{
    char buf[8];
    int sum = static_cast<int>(data.size()) + (address >> 8) + (address & 0xFF) + type;
    std::string r = ":";
    auto hex = [&](int v) {
        std::snprintf(buf, sizeof buf, "%02X", v & 0xFF);
        r += buf;
    };
    hex(static_cast<int>(data.size()));
    hex(address >> 8);
    hex(address);
    hex(type);
    for (int d : data) {
        hex(d);
        sum += d;
    }
    hex(-sum);
    return r;
}

TEST(SeqletFormat, FilesThatLoad)
{
    struct Case {
        const char* what;
        std::string file;
        int number;
        int version;
        std::string description;
    };
    const Case cases[] = {
        {"the number and version record", ":0201F9000312EF\r\n", 3, 0x12, ""},
        {"lower-case digits", ":0201f9000312ef\r\n", 3, 0x12, ""},
        {"comments in file order", ";first\r\n" + Record(0x1F9, {7, 0x21}) + "\r\n;second line\r\n;\r\n", 7, 0x21,
         "first\r\nsecond line\r\n\r\n"},
        {"LF alone ends lines", ";one\n" + Record(0x1F9, {4, 0x10}) + "\n;two\n", 4, 0x10, "one\r\ntwo\r\n"},
        {"an end record does not stop the scan", ":00000001FF\r\n" + Record(0x1F9, {9, 1}) + "\r\n", 9, 1, ""},
        {"a comment at the end without line end", Record(0x1F9, {1, 2}) + ";end", 1, 2, "end\r\n"},
        {"text between records is skipped", "garbage " + Record(0x1F9, {2, 3}) + " tail\r\n", 2, 3, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TSeqletFormat f;
        ASSERT_NO_THROW(f.LoadFromBytes(Span(c.file)));
        EXPECT_EQ(f.GetFormatNumber(), c.number);
        EXPECT_EQ(f.GetVersion(), c.version);
        EXPECT_EQ(f.Description(), c.description);
    }

    // Bytes no record writes are 0; the last byte of the image can be written.
    TSeqletFormat f;
    f.LoadFromBytes(Span(Record(0x10, {0xAA, 0xBB}) + "\r\n" + Record(0x1FF, {0x5A})));
    for (std::size_t i = 0; i < TSeqletFormat::kImageSize; ++i) {
        const int expected = i == 0x10 ? 0xAA : i == 0x11 ? 0xBB : i == 0x1FF ? 0x5A : 0;
        ASSERT_EQ(f.Image()[i], expected) << i;
    }
    EXPECT_EQ(FormatListLine([] {
                  TSeqletFormat g;
                  g.LoadFromBytes(Span(std::string(":0201F9000312EF")));
                  return g;
              }()),
              "Format 3(Ver 1.2)");
}

TEST(SeqletFormat, FilesThatFail)
{
    const std::pair<std::string, std::string> cases[] = {
        {":010000000000\r\n", "Checksum error in hexfile in Line 1"},
        {";c\r\n\r\n:00000002FE\r\n", "Unknown hex record type (2) in line3"},
        {";c\n;d\n" + Record(0x100, {1}, 7), "Unknown hex record type (7) in line3"},
        {":0201FF00AABB9A\r\n", "Buffer overflow loading hexfile"},
        {Record(0, {1}) + "\r\n:0201F9", "Error in Line 2"},  // cut off by the end of the file
        {":02G1F9000312EF", "Error in Line 1"},
        {"\r\n\r\n:0201F9000312E", "Error in Line 3"},
        {";x\r\n:0201F90003 12EF", "Error in Line 2"},
        // Without a data byte there is no format: an empty file, a file of
        // comments and end records, or another kind of file picked by mistake
        // would otherwise be sent as 512 zero bytes.
        {"", "No data in hexfile"},
        {";only a description\r\n:00000001FF\r\n:0000000000\r\n:00010000FF\r\n", "No data in hexfile"},
        {"[Vek Setup file]\r\nStartup mode              = 0\r\n", "No data in hexfile"},
    };
    for (const auto& [file, text] : cases) {
        SCOPED_TRACE(file);
        TSeqletFormat f;
        f.LoadFromBytes(Span(Record(0x1F9, {5, 5}) + ";kept"));
        try {
            f.LoadFromBytes(Span(file));
            ADD_FAILURE() << "loaded";
        } catch (const FormatLoadError& e) {
            EXPECT_EQ(e.code, 1);
            EXPECT_EQ(e.text, text);
        }
        // A failed load leaves what the object held.
        EXPECT_EQ(f.GetFormatNumber(), 5);
        EXPECT_EQ(f.Description(), "kept\r\n");
    }
}

class FormatFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("quenor-formats-" + std::to_string(getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    void Write(const std::string& name, const std::string& text)
    {
        std::ofstream(dir / name, std::ios::binary) << text;
    }
    fs::path dir;
};

TEST_F(FormatFolder, ListsTheFirstFolderSortedAndReportsBadFiles)
{
    Write("format1.mrf", ";five one\r\n" + Record(0x1F9, {5, 0x11}));
    Write("FORMAT2.MRF", Record(0x1F9, {3, 0x20}));
    Write("Format3.Mrf", Record(0x1F9, {5, 0x10}));
    Write("format9.mrf", ":010000000000");
    Write("other.mrf", Record(0x1F9, {1, 1}));
    Write("format4.txt", Record(0x1F9, {1, 1}));
    fs::create_directories(dir / "format5.mrf");

    const FormatList list = LoadFormatList({(dir / "missing").string(), dir.string(), "/"});
    EXPECT_EQ(list.folder, dir.string());
    std::vector<std::string> lines;
    for (const TSeqletFormat& f : list.formats)
        lines.push_back(FormatListLine(f));
    EXPECT_EQ(lines, (std::vector<std::string>{"Format 3(Ver 2.0)", "Format 5(Ver 1.0)", "Format 5(Ver 1.1)"}));
    EXPECT_EQ(list.formats[2].Description(), "five one\r\n");
    ASSERT_EQ(list.failures.size(), 1u);
    EXPECT_EQ(list.failures[0].text, "Checksum error in hexfile in Line 1");

    const FormatList none = LoadFormatList({(dir / "missing").string()});
    EXPECT_TRUE(none.formats.empty());
    EXPECT_TRUE(none.failures.empty());
    EXPECT_TRUE(none.folder.empty());

    TSeqletFormat f;
    EXPECT_THROW(f.LoadFromFile((dir / "nothing.mrf").string()), FormatLoadError);
    EXPECT_THROW(f.LoadFromFile(dir.string()), FormatLoadError);
}

TEST(SeqletFormat, ModuleAddressText)
{
    const std::pair<const char*, int> cases[] = {{"255", 255}, {"7", 7}, {" 12 ", 12}, {"0", 0},
                                                 {"abc", 255}, {"", 255}, {"256", 255}, {"-1", 255}};
    for (const auto& [text, address] : cases)
        EXPECT_EQ(ParseModuleAddress(text), address) << text;
}

using linktest::LinkTest;

TEST_F(LinkTest, FormatDownloadSendsItsFramesInOrder)
{
    sim.SetModuleType(1);
    Connect();
    std::atomic<int> ringFull{0};
    ComModuleRequests requests(*link, [&] { ++ringFull; });
    TSeqletFormat f;
    f.LoadFromBytes(Span(Record(0, {0x11, 0x22}) + Record(0x1F9, {3, 0x12}) + Record(507, {0x99, 0x99})));
    sim.ClearLog();
    ASSERT_TRUE(DownloadSeqletFormat(requests, f, true, 42));
    ASSERT_TRUE(sim.WaitForRequests(0x33, 1, 5s));

    std::vector<int> commands;
    for (const motorsim::SimFrame& fr : sim.Requests())
        if (fr.command >= 0x31 && fr.command <= 0x35)
            commands.push_back(fr.command);
    EXPECT_EQ(commands, (std::vector<int>{0x32, 0x31, 0x31, 0x31, 0x31, 0x35, 0x33}));
    const std::vector<std::uint8_t> image = sim.SeqletFormat();
    ASSERT_EQ(image.size(), 512u);
    EXPECT_EQ(image[0], 0x11);
    EXPECT_EQ(image[1], 0x22);
    EXPECT_EQ(image[505], 3);
    EXPECT_EQ(image[506], 0x12);
    EXPECT_EQ(image[507], 42);
    EXPECT_EQ(image[508], 28);
    EXPECT_EQ(image[200], 0);

    TSeqletFormat g;
    sim.ClearLog();
    ASSERT_TRUE(DownloadSeqletFormat(requests, g, false, 255));
    ASSERT_TRUE(sim.WaitForRequests(0x33, 1, 5s));
    EXPECT_EQ(sim.SeqletFormat()[507], 255);
    EXPECT_EQ(sim.SeqletFormat()[508], 0);
    EXPECT_EQ(ringFull.load(), 0);
}

}  // namespace
}  // namespace quenor
