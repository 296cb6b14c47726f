#include "program/bytestream.h"
#include "program/vizuvalue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace quenor;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes CellBytes(double value, std::uint8_t flags = 0)
{
    Bytes cells(kMaxTaggedValueSize + 2, 0xEE);
    CellWriter w(cells);
    EXPECT_TRUE(PutTaggedValue(w, flags, value));
    cells.resize(w.pos);
    return cells;
}

Bytes StreamBytes(double value, std::uint8_t flags = 0)
{
    ByteStream s;
    SaveValue(SValue{value, flags}, s);
    return s.Bytes();
}

}  // namespace

TEST(TaggedValue, ExamplesInNarrowestEncoding)
{
    EXPECT_EQ(CellBytes(5), (Bytes{0x00, 0x05}));
    EXPECT_EQ(CellBytes(-1), (Bytes{0x00, 0xFF}));
    EXPECT_EQ(CellBytes(200), (Bytes{0x01, 0x00, 0xC8}));
    EXPECT_EQ(CellBytes(40000), (Bytes{0x02, 0x00, 0x00, 0x9C, 0x40}));
    EXPECT_EQ(CellBytes(0.5), (Bytes{0x03, 0x3F, 0x00, 0x00, 0x00}));
    EXPECT_EQ(CellBytes(2.5), (Bytes{0x03, 0x40, 0x20, 0x00, 0x00}));
    EXPECT_EQ(CellBytes(0.1), (Bytes{0x04, 0x3F, 0xB9, 0x99, 0x99, 0x99, 0x99, 0x99, 0x9A}));
    EXPECT_EQ(CellBytes(1.0 / 3), (Bytes{0x04, 0x3F, 0xD5, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}));
    EXPECT_EQ(CellBytes(3000000000.0), (Bytes{0x03, 0x4F, 0x32, 0xD0, 0x5E}));
}

TEST(TaggedValue, IntegerBoundaries)
{
    EXPECT_EQ(CellBytes(127), (Bytes{0x00, 0x7F}));
    EXPECT_EQ(CellBytes(-128), (Bytes{0x00, 0x80}));
    EXPECT_EQ(CellBytes(128), (Bytes{0x01, 0x00, 0x80}));
    EXPECT_EQ(CellBytes(-129), (Bytes{0x01, 0xFF, 0x7F}));
    EXPECT_EQ(CellBytes(32767), (Bytes{0x01, 0x7F, 0xFF}));
    EXPECT_EQ(CellBytes(-32768), (Bytes{0x01, 0x80, 0x00}));
    EXPECT_EQ(CellBytes(32768), (Bytes{0x02, 0x00, 0x00, 0x80, 0x00}));
    EXPECT_EQ(CellBytes(-32769), (Bytes{0x02, 0xFF, 0xFF, 0x7F, 0xFF}));
    EXPECT_EQ(CellBytes(2147483647.0), (Bytes{0x02, 0x7F, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(CellBytes(-2147483648.0), (Bytes{0x02, 0x80, 0x00, 0x00, 0x00}));
    // 2^31 wraps out of 32 bits but is exact in single precision; 2^31 + 1 is not.
    EXPECT_EQ(CellBytes(2147483648.0), (Bytes{0x03, 0x4F, 0x00, 0x00, 0x00}));
    EXPECT_EQ(CellBytes(2147483649.0), (Bytes{0x04, 0x41, 0xE0, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00}));
    // 2^24 + 1 fits 32 bits although a float could not hold it.
    EXPECT_EQ(CellBytes(16777217.0), (Bytes{0x02, 0x01, 0x00, 0x00, 0x01}));
    // A fraction never takes an integer encoding.
    EXPECT_EQ(CellBytes(-0.75), (Bytes{0x03, 0xBF, 0x40, 0x00, 0x00}));
}

TEST(TaggedValue, ValuesWithoutAnIntegerFormTakeTheFloatEncodings)
{
    EXPECT_EQ(CellBytes(std::numeric_limits<double>::infinity()), (Bytes{0x03, 0x7F, 0x80, 0x00, 0x00}));
    EXPECT_EQ(CellBytes(-std::numeric_limits<double>::infinity()), (Bytes{0x03, 0xFF, 0x80, 0x00, 0x00}));
    EXPECT_EQ(CellBytes(9223372036854775808.0), (Bytes{0x03, 0x5F, 0x00, 0x00, 0x00}));
    EXPECT_EQ(CellBytes(-9223372036854775808.0), (Bytes{0x03, 0xDF, 0x00, 0x00, 0x00}));
    EXPECT_EQ(CellBytes(1e20), (Bytes{0x04, 0x44, 0x15, 0xAF, 0x1D, 0x78, 0xB5, 0x8C, 0x40}));
    // Beyond the float range.
    EXPECT_EQ(CellBytes(1e300)[0], 0x04);
    const Bytes nan = CellBytes(std::numeric_limits<double>::quiet_NaN());
    ASSERT_EQ(nan.size(), 9u);
    EXPECT_EQ(nan[0], 0x04);
    CellReader r(nan);
    EXPECT_TRUE(std::isnan(GetTaggedValue(r)));
}

TEST(TaggedValue, StreamWriterGivesTheSameBytesAsTheCellWriter)
{
    for (double v : {0.0, 5.0, -1.0, 127.0, -128.0, 128.0, -129.0, 32767.0, 32768.0, 2147483647.0, 2147483648.0,
                     3000000000.0, 0.5, 0.1, 1.0 / 3, -2.5e-7, 1e20, 1e300})
        EXPECT_EQ(StreamBytes(v, 7), CellBytes(v, 7)) << v;
}

TEST(TaggedValue, ReadBackGivesValueAndFlags)
{
    for (double v : {-100.0, -1.0, -128.0, -32768.0, -2147483648.0, 123456.0, 0.1, -0.5, 2147483648.0, 1e20}) {
        const Bytes bytes = CellBytes(v, 0x0C);
        CellReader r(bytes);
        std::uint8_t flags = 0;
        EXPECT_EQ(GetTaggedValue(r, flags), v);
        EXPECT_EQ(flags, 0x0C);
        EXPECT_EQ(r.pos, bytes.size());
        EXPECT_FALSE(r.overrun);

        ByteStream s(bytes);
        SValue record;
        LoadValue(record, s);
        EXPECT_EQ(record.value, v);
        EXPECT_EQ(record.flags, 0x0C);
        EXPECT_TRUE(s.AtEnd());
        EXPECT_FALSE(s.Overrun());
    }
}

TEST(TaggedValue, FlagsAreCutToTheirNibble)
{
    EXPECT_EQ(CellBytes(5, 3), (Bytes{0x35 & 0xF0, 0x05}));
    EXPECT_EQ(CellBytes(5, 0x1F), (Bytes{0xF0, 0x05}));
}

TEST(TaggedValue, UndefinedEncodingsReadAsZeroWithTheTagOnly)
{
    for (std::uint8_t enc = 5; enc <= 15; ++enc) {
        const Bytes bytes{static_cast<std::uint8_t>(0x20 | enc), 0x7F, 0x7F};
        CellReader r(bytes);
        std::uint8_t flags = 0;
        EXPECT_EQ(GetTaggedValue(r, &flags), 0.0);
        EXPECT_EQ(flags, 2);
        EXPECT_EQ(r.pos, 1u);
        EXPECT_EQ(TaggedValueSize(bytes[0]), 1u);

        ByteStream s(bytes);
        SValue record{9.0, 9};
        LoadValue(record, s);
        EXPECT_EQ(record.value, 0.0);
        EXPECT_EQ(record.flags, 2);
        EXPECT_EQ(s.Position(), 1u);
    }
}

TEST(TaggedValue, FixedWidthWriters)
{
    Bytes cells(20, 0);
    CellWriter w(cells);
    EXPECT_TRUE(PutTaggedInt8(w, 1, -2));
    EXPECT_TRUE(PutTaggedInt16(w, 2, 5));
    EXPECT_TRUE(PutTaggedInt32(w, 3, -2));
    EXPECT_TRUE(PutTaggedFloat(w, 4, 1.0f));
    EXPECT_EQ(w.pos, 15u);
    EXPECT_EQ(Bytes(cells.begin(), cells.begin() + 15),
              (Bytes{0x10, 0xFE, 0x21, 0x00, 0x05, 0x32, 0xFF, 0xFF, 0xFF, 0xFE, 0x43, 0x3F, 0x80, 0x00, 0x00}));
    CellReader r(cells);
    EXPECT_EQ(GetTaggedValue(r), -2.0);
    EXPECT_EQ(GetTaggedValue(r), 5.0);
    EXPECT_EQ(GetTaggedValue(r), -2.0);
    EXPECT_EQ(GetTaggedValue(r), 1.0);
}

TEST(TaggedValue, CellsThatAreTooShortAreNotWrittenAndReadAsZero)
{
    Bytes cells(50, 0xAA);
    CellWriter w(cells, 45);
    EXPECT_FALSE(PutTaggedValue(w, 0, 0.1));  // needs 9 cells
    EXPECT_EQ(w.pos, 45u);
    EXPECT_EQ(cells, Bytes(50, 0xAA));
    EXPECT_TRUE(PutTaggedValue(w, 0, 40000));  // 5 cells fit exactly
    EXPECT_EQ(w.pos, 50u);
    EXPECT_FALSE(PutTaggedInt8(w, 0, 1));

    const Bytes tail{0x02, 0x00, 0x01};  // int32 cut short
    CellReader r(tail);
    EXPECT_EQ(GetTaggedValue(r), 65536.0);
    EXPECT_TRUE(r.overrun);
    EXPECT_EQ(r.pos, 5u);

    ByteStream s(tail);
    SValue record;
    LoadValue(record, s);
    EXPECT_EQ(record.value, 65536.0);
    EXPECT_TRUE(s.Overrun());
}

TEST(TaggedValue, FlagsSurviveCellsToStreamAndBack)
{
    // Cells are copied to a stream byte for byte; read back into cells they
    // must be the same bytes.
    Bytes cells(30, 0);
    CellWriter w(cells);
    PutTaggedValue(w, 5, 1000);
    PutTaggedValue(w, 15, 0.1);
    PutTaggedValue(w, 1, -3);
    const std::size_t used = w.pos;

    ByteStream stream;
    CellReader r(cells);
    for (int i = 0; i < 3; ++i) {
        const std::size_t n = TaggedValueSize(cells[r.pos]);
        stream.Write(cells.data() + r.pos, n);
        r.pos += n;
    }
    stream.SetPosition(0);
    Bytes back(30, 0);
    CellWriter w2(back);
    for (int i = 0; i < 3; ++i) {
        SValue v;
        LoadValue(v, stream);
        PutTaggedValue(w2, v.flags, v.value);
    }
    EXPECT_EQ(w2.pos, used);
    EXPECT_EQ(back, cells);
}
