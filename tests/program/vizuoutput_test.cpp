#include "program/bytestream.h"
#include "program/vizuoutput.h"

#include <gtest/gtest.h>

using namespace quenor;
using Bytes = std::vector<std::uint8_t>;

TEST(OutputElement, OldSingleOutputIsConvertedToTheCurrentLayout)
{
    // Output 4 in mode 2 (low pulse) with a pulse time of 100 ms.
    ByteStream in(Bytes{0x00, 0x0B, 0x00, 0x64, 0xAF});
    SOutputElement e;
    LoadOutput(e, 0x14, in);
    EXPECT_EQ(e.kind, 0);
    EXPECT_EQ(e.number, 3);
    EXPECT_EQ(e.mode, kOutputLowPulse);
    EXPECT_EQ(e.pulse.value, 100.0);
    EXPECT_EQ(in.Position(), 4u);

    ByteStream out;
    SaveOutput(e, out);
    EXPECT_EQ(out.Bytes(), (Bytes{0x00, 0x13, 0x00, 0x64}));
}

TEST(OutputElement, OldMultipleOutputsSplitTheByteIntoLevelsAndMask)
{
    ByteStream in(Bytes{0x01, 0x5A, 0xAF});
    SOutputElement e;
    LoadOutput(e, 0x14, in);
    EXPECT_EQ(e.kind, 1);
    EXPECT_EQ(e.levels, 0x0A);
    EXPECT_EQ(e.mask, 0x05);
    EXPECT_EQ(in.Position(), 2u);
    ByteStream out;
    SaveOutput(e, out);
    EXPECT_EQ(out.Bytes(), (Bytes{0x01, 0x0A, 0x05}));
}

TEST(OutputElement, CurrentLayout)
{
    {
        // Output 6 set high: no pulse time follows.
        ByteStream in(Bytes{0x00, 0x0D, 0x00, 0x64});
        SOutputElement e;
        LoadOutput(e, 0x15, in);
        EXPECT_EQ(e.number, 5);
        EXPECT_EQ(e.mode, kOutputHigh);
        EXPECT_EQ(in.Position(), 2u);
    }
    {
        // Output 8, high pulse of 2.5 ms (a float).
        ByteStream in(Bytes{0x00, 0x1F, 0x03, 0x40, 0x20, 0x00, 0x00});
        SOutputElement e;
        LoadOutput(e, 0x16, in);
        EXPECT_EQ(e.number, 7);
        EXPECT_EQ(e.mode, kOutputHighPulse);
        EXPECT_EQ(e.pulse.value, 2.5);
        EXPECT_TRUE(in.AtEnd());
        ByteStream out;
        SaveOutput(e, out);
        EXPECT_EQ(out.Bytes(), in.Bytes());
    }
    {
        ByteStream in(Bytes{0x01, 0xF0, 0x3C});
        SOutputElement e;
        LoadOutput(e, 0x15, in);
        EXPECT_EQ(e.levels, 0xF0);
        EXPECT_EQ(e.mask, 0x3C);
        EXPECT_TRUE(in.AtEnd());
    }
}

TEST(OutputElement, UndefinedKindCarriesOnlyItsKindByte)
{
    ByteStream in(Bytes{0x07, 0x55, 0x66});
    SOutputElement e;
    LoadOutput(e, 0x15, in);
    EXPECT_EQ(e.kind, 7);
    EXPECT_EQ(in.Position(), 1u);
    ByteStream out;
    SaveOutput(e, out);
    EXPECT_EQ(out.Bytes(), (Bytes{0x07}));
}

TEST(OutputElement, WriterMasksNumberAndMode)
{
    SOutputElement e;
    e.number = 9;  // only bits 0-2 are kept
    e.mode = 1;
    ByteStream out;
    SaveOutput(e, out);
    EXPECT_EQ(out.Bytes(), (Bytes{0x00, 0x09}));
}

TEST(OutputElement, CellsHoldTheCurrentLayout)
{
    SOutputElement e;
    e.number = 2;
    e.mode = kOutputLowPulse;
    e.pulse = {500.0, 0};
    Bytes cells(50, 0);
    CellWriter w(cells, 10);
    ASSERT_TRUE(PutOutput(w, e));
    EXPECT_EQ(w.pos, 15u);
    EXPECT_EQ(Bytes(cells.begin() + 10, cells.begin() + 15), (Bytes{0x00, 0x12, 0x01, 0x01, 0xF4}));
    CellReader r(cells, 10);
    const SOutputElement back = GetOutput(r);
    EXPECT_EQ(back.number, 2);
    EXPECT_EQ(back.mode, kOutputLowPulse);
    EXPECT_EQ(back.pulse.value, 500.0);
    EXPECT_EQ(r.pos, 15u);

    CellWriter full(cells, 48);
    EXPECT_FALSE(PutOutput(full, e));
    EXPECT_EQ(cells[48], 0);
}
