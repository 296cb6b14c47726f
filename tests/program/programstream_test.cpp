#include "program/graphicprogram.h"

#include "program/bytestream.h"
#include "program/vizuvalue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using namespace quenor;
using Bytes = std::vector<std::uint8_t>;

namespace {

// Cells of a command: the given leading bytes, the rest zero.
Bytes Cells(std::uint8_t id, std::initializer_list<std::uint8_t> bytes)
{
    Bytes cells = NewCommandData(id);
    std::size_t i = 0;
    for (std::uint8_t b : bytes)
        cells.at(i++) = b;
    return cells;
}

Bytes Save(const CGraphicProgram& p, const ProgramSetupOptions& o = {}, bool withoutRemarks = false)
{
    ByteStream s;
    EXPECT_TRUE(p.Save(s, o, withoutRemarks));
    return s.TakeBytes();
}

ProgramLoadResult Load(CGraphicProgram& p, const Bytes& bytes)
{
    ByteStream s(bytes);
    return p.Load(s);
}

// The stream frame of a line program written now: version 0x15, flags, L.
Bytes Frame(std::uint8_t flags, std::uint16_t last, std::initializer_list<std::uint8_t> body)
{
    Bytes out{0x15, 0x00, flags, static_cast<std::uint8_t>(last & 0xFF), static_cast<std::uint8_t>(last >> 8)};
    out.insert(out.end(), body);
    return out;
}

// One line of every command kind with parameters that use every branch of
// the layout, followed by the stream bytes each one must produce.
struct Sample {
    std::uint8_t id;
    Bytes cells;
    Bytes stream;  // the ID and its parameters
};

std::vector<Sample> Samples()
{
    return {
        {kCmdNoOperation, Cells(0, {}), {0x00}},
        {kCmdJump, Cells(1, {0x01, 0x02}), {0x01, 0x01, 0x02}},
        // Single input condition: 2 bytes.
        {kCmdConditionalJump, Cells(2, {0x00, 0x07, 0x00, 0x0D}), {0x02, 0x00, 0x07, 0x00, 0x0D}},
        // Several inputs: 4 bytes.
        {kCmdConditionalJump, Cells(2, {0x00, 0x03, 0x01, 0x05, 0xFD, 0x83}), {0x02, 0x00, 0x03, 0x01, 0x05, 0xFD, 0x83}},
        // Relative move: flags, three tagged values (int8, int16, double).
        {kCmdMove, Cells(3, {0x20, 0x10, 0x64, 0x01, 0x03, 0xE8, 0x04, 0x3F, 0xB9, 0x99, 0x99, 0x99, 0x99, 0x99, 0x9A}),
         {0x03, 0x20, 0x10, 0x64, 0x01, 0x03, 0xE8, 0x04, 0x3F, 0xB9, 0x99, 0x99, 0x99, 0x99, 0x99, 0x9A}},
        // Velocity change: two more values.
        {kCmdMove, Cells(3, {0x01, 0x00, 0x01, 0x00, 0x02, 0x00, 0x03, 0x01, 0xFE, 0xD4, 0x10, 0x14}),
         {0x03, 0x01, 0x00, 0x01, 0x00, 0x02, 0x00, 0x03, 0x01, 0xFE, 0xD4, 0x10, 0x14}},
        // With set outputs: a pulse with its time.
        {kCmdMove, Cells(3, {0x02, 0x00, 0x01, 0x00, 0x02, 0x00, 0xFB, 0x00, 0x1A, 0x00, 0x64}),
         {0x03, 0x02, 0x00, 0x01, 0x00, 0x02, 0x00, 0xFB, 0x00, 0x1A, 0x00, 0x64}},
        // Absolute: nothing more.
        {kCmdMove, Cells(3, {0x0B, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02}), {0x03, 0x0B, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02}},
        // Sensor move: safety distance and a condition with bit 0 set (4 bytes).
        {kCmdMove, Cells(3, {0x04, 0x00, 0x00, 0x00, 0x00, 0x01, 0x01, 0x2C, 0x00, 0x32, 0x09, 0x01, 0x02, 0x03}),
         {0x03, 0x04, 0x00, 0x00, 0x00, 0x00, 0x01, 0x01, 0x2C, 0x00, 0x32, 0x09, 0x01, 0x02, 0x03}},
        // From position variable 5, written as 32 bits.
        {kCmdSetPosition, Cells(4, {0x01, 0x02, 0x00, 0x00, 0x00, 0x05}), {0x04, 0x01, 0x02, 0x00, 0x00, 0x00, 0x05}},
        {kCmdSavePosition, Cells(5, {0x03}), {0x05, 0x03}},
        {kCmdSetOutputs, Cells(6, {0x01, 0x05, 0x06}), {0x06, 0x01, 0x05, 0x06}},
        {kCmdSetOutputs, Cells(6, {0x00, 0x09}), {0x06, 0x00, 0x09}},
        {kCmdZeroSearch, Cells(7, {0x02}), {0x07, 0x02}},
        {kCmdWait, Cells(8, {0x03, 0x40, 0x20, 0x00, 0x00}), {0x08, 0x03, 0x40, 0x20, 0x00, 0x00}},
        {kCmdSetRegister, Cells(10, {0x05, 0x02, 0x00, 0x00, 0x9C, 0x40}), {0x0A, 0x05, 0x02, 0x00, 0x00, 0x9C, 0x40}},
        {kCmdRegisterJump, Cells(11, {0x00, 0x02, 0x0A, 0x02, 0x01, 0x01, 0xF4}),
         {0x0B, 0x00, 0x02, 0x0A, 0x02, 0x01, 0x01, 0xF4}},
        {kCmdSetMode, Cells(12, {0x06}), {0x0C, 0x06}},
        {kCmdWaitInputs, Cells(13, {0x00, 0x05}), {0x0D, 0x00, 0x05}},
        {kCmdWaitInputs, Cells(13, {0x01, 0x0F, 0x3C, 0x80}), {0x0D, 0x01, 0x0F, 0x3C, 0x80}},
        {kCmdWaitRegister, Cells(14, {0x02, 0x05, 0x00, 0x01}), {0x0E, 0x02, 0x05, 0x00, 0x01}},
        {kCmdFastCommand, Cells(15, {0x01, 0x01, 0x2C}), {0x0F, 0x01, 0x01, 0x2C}},
        {kCmdBinary, Cells(16, {0x03, 0xAA, 0xBB, 0xCC}), {0x10, 0x03, 0xAA, 0xBB, 0xCC}},
    };
}

}  // namespace

TEST(ProgramStream, EmptyProgramAndFlags)
{
    CGraphicProgram p;
    p.SetType(kProgramAbsoluteRelative);
    EXPECT_EQ(Save(p), (Bytes{0x15, 0x00, 0x00, 0x00, 0x00, 0x00}));

    ProgramSetupOptions o;
    o.transferSetting = 2;
    o.inputFilter = 1;
    p.SetType(kProgramEndlessRelative);
    EXPECT_EQ(Save(p, o)[2], 0x25);

    o = {1, 1, 1, 1, 1};
    EXPECT_EQ(Save(p, o)[2], 0x01 + 0x04 + 0x08 + 0x10 + 0x40 + 0x80);
    CGraphicProgram q;
    const ProgramLoadResult r = Load(q, Save(p, o));
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.options, o);
    EXPECT_EQ(q.GetType(), kProgramEndlessRelative);
}

TEST(ProgramStream, EveryCommandKindWritesItsParameters)
{
    for (const Sample& s : Samples()) {
        CGraphicProgram p;
        p.SetType(kProgramAbsoluteRelative);
        p.SetLine(0, s.id, s.cells);
        Bytes expected = Frame(0x00, 0, {});
        expected.insert(expected.end(), s.stream.begin(), s.stream.end());
        EXPECT_EQ(Save(p), expected) << "command " << int(s.id);
    }
}

TEST(ProgramStream, RoundTripOfEveryCommandKind)
{
    CGraphicProgram p;
    p.SetType(kProgramAbsoluteRelative);
    std::uint16_t line = 0;
    for (const Sample& s : Samples()) {
        p.SetLine(line, s.id, s.cells);
        line = static_cast<std::uint16_t>(line + 2);  // gaps read back as empty lines
    }
    p.SetRemark(line, "Move to the \xE9tage");
    ProgramSetupOptions o{1, 0, 1, 0, 1};
    const Bytes stream = Save(p, o);

    CGraphicProgram q;
    const ProgramLoadResult r = Load(q, stream);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.options, o);
    ASSERT_EQ(q.LastLineNumber(), line);
    for (std::uint16_t n = 0; n <= line; ++n) {
        const SProgramLine* a = p.Line(n);
        const SProgramLine* b = q.Line(n);
        ASSERT_NE(b, nullptr) << n;
        if (!a) {
            EXPECT_EQ(b->id, kCmdNoOperation);
            continue;
        }
        EXPECT_EQ(b->id, a->id) << n;
        EXPECT_EQ(b->cells, a->cells) << n;
        EXPECT_EQ(b->remark, a->remark) << n;
    }
    EXPECT_EQ(Save(q, o), stream);
}

TEST(ProgramStream, RemarksKeptCutOrDropped)
{
    CGraphicProgram p;
    p.SetType(kProgramAbsoluteRelative);
    p.SetRemark(0, std::string(300, 'x'));
    p.SetLine(1, kCmdSetMode, Cells(12, {0x01}));
    p.SetRemark(2, "ab");

    const Bytes with = Save(p);
    EXPECT_EQ(with.size(), 5u + 2 + 255 + 2 + 4);
    CGraphicProgram q;
    ASSERT_TRUE(Load(q, with).ok);
    EXPECT_EQ(q.GetRemark(0), std::string(255, 'x'));
    EXPECT_EQ(q.GetRemark(2), "ab");

    const Bytes without = Save(p, {}, true);
    EXPECT_EQ(without, Frame(0x00, 2, {0x00, 0x0C, 0x01, 0x00}));
    ASSERT_TRUE(Load(q, without).ok);
    EXPECT_EQ(q.LastLineNumber(), 2);
    EXPECT_EQ(q.Line(0)->id, kCmdNoOperation);
    EXPECT_EQ(q.Line(1)->id, kCmdSetMode);
    EXPECT_EQ(q.Line(2)->id, kCmdNoOperation);

    EXPECT_EQ(p.SaveToMemory(false), with.size());
    EXPECT_EQ(p.SaveToMemory(true), without.size());
}

TEST(ProgramStream, OldVersionsAreRead)
{
    // 0x12: one-byte last line, old output layout.
    const Bytes v12{0x12, 0x00, 0x01, 0x03,           //
                    0x0C, 0x01,                       // set mode
                    0x06, 0x00, 0x0B, 0x00, 0x64,     // output 4, low pulse, 100 ms
                    0x06, 0x01, 0x5A,                 // levels 0x0A, mask 0x05
                    0x09, 0x02, 'h', 'i'};
    CGraphicProgram p;
    ProgramLoadResult r = Load(p, v12);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(p.GetType(), kProgramEndlessRelative);
    EXPECT_EQ(p.LastLineNumber(), 3);
    EXPECT_EQ(p.Line(0)->cells, Cells(12, {0x01}));
    EXPECT_EQ(p.Line(1)->cells, Cells(6, {0x00, 0x13, 0x00, 0x64}));
    EXPECT_EQ(p.Line(2)->cells, Cells(6, {0x01, 0x0A, 0x05}));
    EXPECT_EQ(p.GetRemark(3), "hi");

    // 0x13 and 0x14: two-byte last line, still the old output layout.
    for (std::uint8_t v : {0x13, 0x14}) {
        const Bytes s{v, 0x00, 0x00, 0x01, 0x00, 0x06, 0x00, 0x0B, 0x00, 0x64, 0x06, 0x01, 0x5A};
        r = Load(p, s);
        ASSERT_TRUE(r.ok) << int(v);
        EXPECT_EQ(p.Line(0)->cells, Cells(6, {0x00, 0x13, 0x00, 0x64})) << int(v);
        EXPECT_EQ(p.Line(1)->cells, Cells(6, {0x01, 0x0A, 0x05})) << int(v);
    }
    // 0x15 and 0x16: the current layout.
    for (std::uint8_t v : {0x15, 0x16}) {
        const Bytes s{v, 0x00, 0x00, 0x01, 0x00, 0x06, 0x00, 0x13, 0x00, 0x64, 0x06, 0x01, 0x0A, 0x05};
        r = Load(p, s);
        ASSERT_TRUE(r.ok) << int(v);
        EXPECT_EQ(p.Line(0)->cells, Cells(6, {0x00, 0x13, 0x00, 0x64})) << int(v);
        EXPECT_EQ(p.Line(1)->cells, Cells(6, {0x01, 0x0A, 0x05})) << int(v);
    }
    // 0x10 and 0x11 use the old reader too.
    for (std::uint8_t v : {0x10, 0x11}) {
        const Bytes s{v, 0x00, 0x00, 0x00, 0x06, 0x01, 0x5A};
        ASSERT_TRUE(Load(p, s).ok) << int(v);
        EXPECT_EQ(p.Line(0)->cells, Cells(6, {0x01, 0x0A, 0x05}));
    }
}

TEST(ProgramStream, LastLineWidthByVersion)
{
    // 200 lines of "Set operation mode": L = 199 in one byte (0x12) or two (0x13).
    Bytes v12{0x12, 0x00, 0x00, 199};
    Bytes v13{0x13, 0x00, 0x00, 199, 0x00};
    for (int i = 0; i < 200; ++i) {
        v12.push_back(0x0C);
        v12.push_back(static_cast<std::uint8_t>(i));
        v13.push_back(0x0C);
        v13.push_back(static_cast<std::uint8_t>(i));
    }
    CGraphicProgram a, b;
    ASSERT_TRUE(Load(a, v12).ok);
    ASSERT_TRUE(Load(b, v13).ok);
    EXPECT_EQ(a.LastLineNumber(), 199);
    EXPECT_EQ(b.LastLineNumber(), 199);
    EXPECT_EQ(a.Line(150)->cells[0], 150);
    EXPECT_EQ(b.Line(150)->cells[0], 150);
}

TEST(ProgramStream, BinaryOnlyBody)
{
    CGraphicProgram p;
    const Bytes code{1, 2, 3};
    ASSERT_TRUE(p.SetBinaryOnly(code.data(), code.size(), 0x11));
    const Bytes s = Save(p, {0, 0, 2, 0, 0});
    EXPECT_EQ(s, (Bytes{0x15, 0x00, 0x22, 0x03, 0x00, 0x01, 0x02, 0x03}));

    CGraphicProgram q;
    q.SetLine(4, kCmdSetMode, {});
    ASSERT_TRUE(Load(q, s).ok);
    EXPECT_EQ(q.GetType(), kProgramBinaryOnly);
    EXPECT_TRUE(q.IsEmpty());
    ASSERT_NE(q.BinaryBlock(), nullptr);
    EXPECT_EQ(*q.BinaryBlock(), code);

    // A short code body is rejected.
    const ProgramLoadResult r = Load(q, Bytes{0x15, 0x00, 0x02, 0x04, 0x00, 0x01, 0x02, 0x03});
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.message.empty());
}

TEST(ProgramStream, RejectedVersionsChangeNothing)
{
    CGraphicProgram p;
    p.SetType(kProgramEndlessRelative);
    p.SetLine(3, kCmdSetMode, Cells(12, {0x02}));

    ProgramLoadResult r = Load(p, Bytes{0x01, 0x00, 0x00, 0x00, 0x00, 0x00});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, "Incompatible file format!");

    r = Load(p, Bytes{0x17, 0x00, 0x00, 0x00, 0x00, 0x00});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, "Incompatible file format (0x  17)!\r\nOnly the binary program has been uploaded\r\n"
                         "Update Quenor to upload the source code of this program");
    r = Load(p, Bytes{0x0F, 0x00, 0x00, 0x00});
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.message.find("(0x   f)"), std::string::npos) << r.message;
    r = Load(p, Bytes{0x34, 0x12});
    EXPECT_NE(r.message.find("(0x1234)"), std::string::npos) << r.message;

    EXPECT_EQ(p.GetType(), kProgramEndlessRelative);
    ASSERT_EQ(p.Lines().size(), 1u);
    EXPECT_EQ(p.Line(3)->cells[0], 2);
}

TEST(ProgramStream, EveryTruncationIsRejected)
{
    CGraphicProgram p;
    p.SetType(kProgramAbsoluteRelative);
    std::uint16_t line = 0;
    for (const Sample& s : Samples())
        p.SetLine(line++, s.id, s.cells);
    p.SetRemark(line, "end");
    const Bytes full = Save(p);

    CGraphicProgram q;
    q.SetType(kProgramEndlessRelative);
    q.SetLine(7, kCmdSavePosition, Cells(5, {0x01}));
    for (std::size_t n = 0; n < full.size(); ++n) {
        const Bytes part(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
        const ProgramLoadResult r = Load(q, part);
        ASSERT_FALSE(r.ok) << n;
        EXPECT_FALSE(r.message.empty());
    }
    EXPECT_EQ(q.GetType(), kProgramEndlessRelative);
    ASSERT_EQ(q.Lines().size(), 1u);
    EXPECT_EQ(q.Line(7)->id, kCmdSavePosition);
    EXPECT_TRUE(Load(q, full).ok);
}

TEST(ProgramStream, UnknownAndMalformedCommandsRejectTheLoad)
{
    CGraphicProgram p;
    p.SetLine(0, kCmdSetMode, Cells(12, {0x01}));
    ProgramLoadResult r = Load(p, Frame(0x00, 1, {0x0C, 0x02, 0x11, 0x00}));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, "Load Not implemented for CommandID: 17");

    // 49 bytes after the count fit the cells, 50 do not.
    Bytes ok = Frame(0x00, 0, {0x10, 49});
    ok.insert(ok.end(), 49, 0x77);
    ASSERT_TRUE(Load(p, ok).ok);
    EXPECT_EQ(p.Line(0)->cells[49], 0x77);
    Bytes bad = Frame(0x00, 0, {0x10, 50});
    bad.insert(bad.end(), 50, 0x77);
    r = Load(p, bad);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(p.Line(0)->cells[49], 0x77);  // unchanged
}

TEST(ProgramStream, SaveReportsCommandsOutsideTheTable)
{
    CGraphicProgram p;
    p.SetLine(0, 20, {});
    ByteStream s;
    std::string message;
    EXPECT_FALSE(p.Save(s, {}, false, &message));
    EXPECT_EQ(message, "Save Not implemented for CommandID: 20");
    EXPECT_EQ(s.Bytes(), Frame(0x00, 0, {20}));
}

TEST(ProgramStream, BinaryCommandCountIsCutToTheCells)
{
    CGraphicProgram p;
    Bytes cells = NewCommandData(kCmdBinary);
    cells[0] = 200;
    p.SetLine(0, kCmdBinary, cells);
    const Bytes s = Save(p);
    EXPECT_EQ(s.size(), 5u + 2 + 49);
    EXPECT_EQ(s[6], 49);
    CGraphicProgram q;
    EXPECT_TRUE(Load(q, s).ok);
}

TEST(ProgramStream, TypeBitsThree)
{
    CGraphicProgram p;
    p.SetType(kProgramEndlessRelative);
    ASSERT_TRUE(Load(p, Bytes{0x15, 0x00, 0x03, 0x00, 0x00, 0x00}).ok);
    EXPECT_EQ(p.GetType(), kProgramEndlessRelative);
    const Bytes code{9};
    p.SetBinaryOnly(code.data(), 1, 0);
    ASSERT_TRUE(Load(p, Bytes{0x15, 0x00, 0x03, 0x00, 0x00, 0x00}).ok);
    EXPECT_EQ(p.GetType(), kProgramAbsoluteRelative);
    EXPECT_EQ(p.BinaryBlock(), nullptr);
}

TEST(ProgramStream, Files)
{
    const std::string path = (std::filesystem::temp_directory_path() / "quenor_programstream_test.vizu").string();
    CGraphicProgram p;
    p.SetType(kProgramAbsoluteRelative);
    p.SetRemark(1, "r");
    ASSERT_TRUE(p.SaveToFile(path, {0, 1, 0, 0, 0}));
    CGraphicProgram q;
    const ProgramLoadResult r = q.LoadFromFile(path);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.options.skipInitialization, 1);
    EXPECT_EQ(q.GetRemark(1), "r");
    std::filesystem::remove(path);
    EXPECT_FALSE(q.LoadFromFile(path).ok);
}
