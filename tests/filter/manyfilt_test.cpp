#include "app/manyfilt.h"
#include "filter/filterfiles.h"

#include <gtest/gtest.h>

#include <functional>

using namespace quenor;
using namespace quenor::filtertest;

namespace {

// The bytes a record of the generator should hold.
std::vector<std::uint8_t> Encoded(const fg::TableDesign& design, std::int64_t index)
{
    std::vector<std::uint8_t> out;
    const int size = design.large ? 4 : 2;
    for (std::int32_t v : fg::RecordValues(design, index))
        for (int i = 0; i < size; ++i)
            out.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i)));
    out.resize(static_cast<std::size_t>(design.recordSize), 0);
    return out;
}

TEST(ManyFilt, ReadsTheSizeExampleAndFindsRecordsByTheirChoices)
{
    TempDir dir;
    fg::TableDesign design;
    design.groups = {5, 5, 5, 5, 4, 0};  // G6 = 0 counts as 1
    design.major = 1;
    design.minor = 3;
    ASSERT_TRUE(fg::WriteTable(design, dir.File("manyfilt.dat")));
    ASSERT_EQ(std::filesystem::file_size(dir.File("manyfilt.dat")), 320128u);

    CManyFilt t;
    t.Load(dir.File("manyfilt.dat"));
    ASSERT_TRUE(t.Loaded());
    EXPECT_EQ(t.RecordSize(), 128);
    EXPECT_EQ(t.Group(6), 1);
    EXPECT_EQ(t.HeaderWords().at(6), 1);
    EXPECT_EQ(t.VersionText(), "1.3");

    const std::vector<fg::Choice> choices = {
        {0, 0, 0, 0, 0, 0}, {4, 4, 4, 4, 3, 0}, {1, 2, 3, 4, 2, 0}, {4, 0, 0, 0, 0, 0}, {0, 0, 0, 1, 0, 0}};
    for (const fg::Choice& c : choices) {
        const FilterSelection s{c.speed, c.hardness, c.damping, c.feedForward, c.motor, c.currentFilter};
        const std::int64_t n = fg::RecordNumber(design, c);
        ASSERT_TRUE(t.InRange(s));
        const auto record = t.RecordOffset(s);
        EXPECT_EQ(std::vector<std::uint8_t>(record.begin(), record.end()), Encoded(design, n)) << "record " << n;
    }
    // Every group at 0 is the record right after the header.
    const auto first = t.RecordOffset({0, 0, 0, 0, 0, 0});
    EXPECT_EQ(first[0], 1);  // value 0 of record 0 is 1
    EXPECT_FALSE(t.InRange({5, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(t.InRange({0, 0, 0, 0, 4, 0}));  // motor beyond the table's motors
    EXPECT_THROW(t.RecordOffset({0, 0, 0, 0, 4, 0}), std::out_of_range);

    // A second load of another file changes nothing.
    t.Load(dir.File("missing.dat"));
    EXPECT_EQ(t.VersionText(), "1.3");
}

TEST(ManyFilt, ShortRecordsArePaddedWithZeros)
{
    TempDir dir;
    fg::TableDesign design;
    design.recordSize = 40;
    design.groups = {2, 2, 1, 1, 1, 1};
    ASSERT_TRUE(fg::WriteTable(design, dir.File("short.dat")));
    CManyFilt t;
    t.Load(dir.File("short.dat"));
    // The last record of the file: a 128-byte copy must not read beyond it.
    const std::vector<std::uint8_t> copy = t.CopyRecord({1, 1, 0, 0, 0, 0});
    ASSERT_EQ(copy.size(), 128u);
    std::vector<std::uint8_t> expected = Encoded(design, 3);
    expected.resize(128, 0);
    EXPECT_EQ(copy, expected);
}

struct BadFile {
    const char* what;
    std::function<std::vector<std::uint8_t>()> bytes;
};

std::vector<std::uint8_t> Small(int recordSize = 128)
{
    fg::TableDesign design;
    design.recordSize = recordSize;
    design.groups = {2, 1, 1, 1, 1, 1};
    return fg::MakeTable(design);
}

TEST(ManyFilt, RefusesFilesThatDoNotMatchTheirHeader)
{
    const std::vector<BadFile> cases = {
        {"one byte short", [] { auto b = Small(); b.pop_back(); return b; }},
        {"one byte more", [] { auto b = Small(); b.push_back(0); return b; }},
        {"shorter than the header", [] { auto b = Small(); b.resize(20); return b; }},
        {"empty", [] { return std::vector<std::uint8_t>{}; }},
        {"record size below the header", [] {
             // 29 x (1 + 1) = 58 bytes would match the size rule.
             auto b = Small(30);
             b.resize(58);
             fg::SetHeaderWord(b, 0, 29);
             fg::SetHeaderWord(b, 8, 1);
             return b;
         }},
        {"record size 0", [] { auto b = Small(); fg::SetHeaderWord(b, 0, 0); return b; }},
        {"negative record size", [] { auto b = Small(); fg::SetHeaderWord(b, 0, -128); return b; }},
        {"negative groups", [] {
             // (-2) x (-1) = 2 records would match the size rule.
             auto b = Small();
             fg::SetHeaderWord(b, 8, -2);
             fg::SetHeaderWord(b, 10, -1);
             return b;
         }},
        {"group product wrapping at 32 bits", [] {
             // 256 x (2^24 + 1) = 2^32 + 256 wraps onto the 256 bytes of the header.
             auto b = std::vector<std::uint8_t>(256, 0);
             fg::SetHeaderWord(b, 0, 256);
             for (std::size_t off : {8u, 10u, 12u})
                 fg::SetHeaderWord(b, off, 256);
             for (std::size_t off : {14u, 16u, 18u})
                 fg::SetHeaderWord(b, off, 1);
             return b;
         }},
        {"six large groups", [] {
             auto b = Small();
             for (std::size_t off = 8; off <= 18; off += 2)
                 fg::SetHeaderWord(b, off, 32767);
             return b;
         }},
    };
    TempDir dir;
    for (const BadFile& c : cases) {
        const std::string path = dir.File("bad.dat");
        ASSERT_TRUE(fg::WriteBytes(c.bytes(), path));
        CManyFilt t;
        try {
            t.Load(path);
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const FilterFileError& e) {
            EXPECT_EQ(std::string(e.what()), "Incorrect size of file <" + path + ">") << c.what;
        }
        EXPECT_FALSE(t.Loaded()) << c.what;
        EXPECT_FALSE(t.InRange({0, 0, 0, 0, 0, 0})) << c.what;
    }

    CManyFilt missing;
    try {
        missing.Load(dir.File("none.dat"));
        ADD_FAILURE() << "a missing file was accepted";
    } catch (const FilterFileError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot open file \"" + dir.File("none.dat") + "\"", 0), 0u) << e.what();
    }
    EXPECT_FALSE(missing.Loaded());
}

}  // namespace
