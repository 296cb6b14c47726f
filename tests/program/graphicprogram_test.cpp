#include "program/graphicprogram.h"

#include "platform/datapaths.h"
#include "program/bytestream.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>

using namespace quenor;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes JumpCells(std::uint8_t id, std::uint16_t target)
{
    Bytes cells = NewCommandData(id);
    CGraphicProgram::SetJumpTarget(cells, target);
    return cells;
}

Bytes ModeCells(std::uint8_t mode)
{
    Bytes cells = NewCommandData(kCmdSetMode);
    cells[0] = mode;
    return cells;
}

std::vector<int> LineNumbers(const CGraphicProgram& p)
{
    std::vector<int> out;
    for (const SProgramLine& l : p.Lines())
        out.push_back(l.line);
    return out;
}

int TargetOf(const CGraphicProgram& p, std::uint16_t line)
{
    std::uint16_t target = 0;
    int column = 0;
    return p.GetJump(line, target, column) ? target : -1;
}

}  // namespace

TEST(CommandTable, SeventeenCommandsOfFiftyCells)
{
    for (int id = 0; id <= 16; ++id) {
        const SCommandInfo* info = FindCommandInfo(static_cast<std::uint8_t>(id));
        ASSERT_NE(info, nullptr) << id;
        EXPECT_EQ(info->id, id);
        EXPECT_EQ(CGraphicProgram::CellCount(static_cast<std::uint8_t>(id)), 50);
        EXPECT_EQ(CGraphicProgram::IsJump(static_cast<std::uint8_t>(id)), id == 1 || id == 2 || id == 11) << id;
    }
    EXPECT_EQ(FindCommandInfo(17), nullptr);
    EXPECT_EQ(CGraphicProgram::CellCount(17), 0);
    EXPECT_EQ(CGraphicProgram::CellCount(255), 0);
    EXPECT_FALSE(CGraphicProgram::IsJump(200));
    EXPECT_STREQ(FindCommandInfo(kCmdWait)->text, "Wait for (x) ms before continuing");
    EXPECT_STREQ(FindCommandInfo(kCmdFastCommand)->text, "Send FastVEK command");
}

TEST(CommandTable, PaletteSlotsAreDistinct)
{
    std::set<int> slots;
    for (const SCommandInfo& info : CommandInfoTable) {
        if (info.paletteSlot == kNoPaletteSlot)
            continue;
        EXPECT_TRUE(slots.insert(info.paletteSlot).second) << int(info.paletteSlot);
    }
    EXPECT_EQ(slots.size(), 16u);
    EXPECT_EQ(*slots.rbegin(), 15);
    EXPECT_EQ(FindCommandInfo(kCmdNoOperation)->paletteSlot, kNoPaletteSlot);
}

TEST(CommandTable, NewCommandDataIsZeroFilled)
{
    EXPECT_EQ(NewCommandData(kCmdMove), Bytes(50, 0));
    EXPECT_TRUE(NewCommandData(99).empty());
}

TEST(CommandTable, JumpTargetIsHighByteFirst)
{
    Bytes cells(50, 0);
    CGraphicProgram::SetJumpTarget(cells, 0x1234);
    EXPECT_EQ(cells[0], 0x12);
    EXPECT_EQ(cells[1], 0x34);
    EXPECT_EQ(CGraphicProgram::GetJumpTarget(cells), 0x1234);
}

TEST(GraphicProgram, NewProgram)
{
    CGraphicProgram p;
    EXPECT_TRUE(p.IsEmpty());
    EXPECT_EQ(p.LastLineNumber(), 0);
    EXPECT_EQ(p.GetType(), kProgramNone);
    EXPECT_EQ(p.BinaryBlock(), nullptr);
    EXPECT_EQ(p.VarTable().Count(), 11);
    EXPECT_EQ(p.RegisterName(5), "Register 5");
    p.ParameterList().SelectMotorKind(0);
    EXPECT_EQ(p.RegisterName(5), "Velocity");
    EXPECT_EQ(p.RegisterName(4), "Register 4");
}

TEST(GraphicProgram, LinesStaySortedWhereverTheyAreSet)
{
    CGraphicProgram p;
    p.SetLine(5, kCmdSetMode, ModeCells(1));
    p.SetLine(9, kCmdSetMode, ModeCells(2));  // above the tail: appended
    p.SetLine(2, kCmdSetMode, ModeCells(3));  // below the head: new head
    p.SetLine(7, kCmdSetMode, ModeCells(4));
    EXPECT_EQ(LineNumbers(p), (std::vector<int>{2, 5, 7, 9}));
    EXPECT_EQ(p.LastLineNumber(), 9);

    std::uint8_t id = 0;
    const Bytes* cells = nullptr;
    ASSERT_TRUE(p.GetLine(7, id, cells));
    EXPECT_EQ(id, kCmdSetMode);
    EXPECT_EQ((*cells)[0], 4);
    EXPECT_FALSE(p.GetLine(6, id, cells));
    EXPECT_EQ(id, kCmdNoOperation);
    EXPECT_EQ(cells, nullptr);
    EXPECT_TRUE(p.FindLine(2));
    EXPECT_FALSE(p.FindLine(3));
}

TEST(GraphicProgram, SetLineOnAUsedLineReplacesItInPlace)
{
    CGraphicProgram p;
    p.SetLine(1, kCmdSetMode, ModeCells(1));
    p.SetLine(3, kCmdSetMode, ModeCells(2));
    const Bytes* cells = nullptr;
    std::uint8_t id = 0;
    ASSERT_TRUE(p.GetLine(1, id, cells));
    const Bytes same = *cells;
    p.SetLine(1, kCmdZeroSearch, same);  // the same data: only the ID changes
    ASSERT_TRUE(p.GetLine(1, id, cells));
    EXPECT_EQ(id, kCmdZeroSearch);
    EXPECT_EQ(*cells, same);
    EXPECT_EQ(LineNumbers(p), (std::vector<int>{1, 3}));

    // Short data are zero-extended to the command's cells, long data cut.
    p.SetLine(3, kCmdFastCommand, Bytes{0x00, 0x05});
    ASSERT_TRUE(p.GetLine(3, id, cells));
    ASSERT_EQ(cells->size(), 50u);
    EXPECT_EQ((*cells)[1], 5);
    EXPECT_EQ((*cells)[2], 0);
    p.SetLine(3, kCmdFastCommand, Bytes(80, 1));
    ASSERT_TRUE(p.GetLine(3, id, cells));
    EXPECT_EQ(cells->size(), 50u);
}

TEST(GraphicProgram, Remarks)
{
    CGraphicProgram p;
    p.SetRemark(4, "Move to the \xE6" "ble");  // Windows-1252 text is kept as it is
    EXPECT_EQ(p.GetRemark(4), "Move to the \xE6" "ble");
    const SProgramLine* line = p.Line(4);
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->id, kCmdRemark);
    EXPECT_TRUE(line->cells.empty());
    EXPECT_EQ(p.GetRemark(3), "");
    p.SetLine(4, kCmdWait, NewCommandData(kCmdWait));
    EXPECT_EQ(p.GetRemark(4), "");
    EXPECT_EQ(p.Line(4)->cells.size(), 50u);
}

TEST(GraphicProgram, DeleteLine)
{
    CGraphicProgram p;
    p.SetLine(0, kCmdSetMode, ModeCells(1));
    EXPECT_FALSE(p.DeleteLine(1));
    EXPECT_TRUE(p.DeleteLine(0));
    EXPECT_TRUE(p.IsEmpty());
    EXPECT_EQ(p.LastLineNumber(), 0);

    p.SetLine(2, kCmdSetMode, ModeCells(1));
    p.SetLine(4, kCmdSetMode, ModeCells(1));
    EXPECT_TRUE(p.DeleteLine(2));
    EXPECT_EQ(LineNumbers(p), (std::vector<int>{4}));  // no renumbering
}

TEST(GraphicProgram, RemoveLineClosesTheGapAndFollowsJumps)
{
    CGraphicProgram p;
    p.SetLine(0, kCmdJump, JumpCells(kCmdJump, 2));
    p.SetLine(1, kCmdConditionalJump, JumpCells(kCmdConditionalJump, 3));
    p.SetLine(3, kCmdSetMode, ModeCells(5));
    p.SetLine(7, kCmdRegisterJump, JumpCells(kCmdRegisterJump, 9));
    p.SetLine(9, kCmdSetMode, ModeCells(6));

    p.RemoveLine(3);
    EXPECT_EQ(LineNumbers(p), (std::vector<int>{0, 1, 6, 8}));
    EXPECT_EQ(TargetOf(p, 6), 8);
    EXPECT_EQ(TargetOf(p, 1), 3);  // now names the line that moved up into 3
    EXPECT_EQ(TargetOf(p, 0), 2);

    // Removing an empty line closes the gap too.
    p.RemoveLine(2);
    EXPECT_EQ(LineNumbers(p), (std::vector<int>{0, 1, 5, 7}));
    EXPECT_EQ(TargetOf(p, 0), 2);
    EXPECT_EQ(TargetOf(p, 1), 2);
    EXPECT_EQ(TargetOf(p, 5), 7);
}

TEST(GraphicProgram, InsertLineOpensAGapAndFollowsJumps)
{
    CGraphicProgram p;
    p.SetLine(1, kCmdJump, JumpCells(kCmdJump, 3));
    p.SetLine(2, kCmdJump, JumpCells(kCmdJump, 0));
    p.SetLine(3, kCmdSetMode, ModeCells(5));
    ASSERT_TRUE(p.InsertLine(3));
    EXPECT_EQ(LineNumbers(p), (std::vector<int>{1, 2, 4}));
    EXPECT_EQ(TargetOf(p, 1), 4);
    EXPECT_EQ(TargetOf(p, 2), 0);
    EXPECT_EQ(p.Line(4)->cells[0], 5);

    ASSERT_TRUE(p.InsertLine(0));
    EXPECT_EQ(LineNumbers(p), (std::vector<int>{2, 3, 5}));
    EXPECT_EQ(TargetOf(p, 2), 5);
    EXPECT_EQ(TargetOf(p, 3), 1);
}

TEST(GraphicProgram, InsertLineIsRefusedWhenTheLastLineNumberIsInUse)
{
    CGraphicProgram p;
    p.SetLine(10, kCmdSetMode, ModeCells(1));
    p.SetLine(65535, kCmdSetMode, ModeCells(2));
    EXPECT_FALSE(p.InsertLine(5));
    EXPECT_EQ(LineNumbers(p), (std::vector<int>{10, 65535}));

    CGraphicProgram q;
    q.SetLine(10, kCmdJump, JumpCells(kCmdJump, 65535));
    EXPECT_FALSE(q.InsertLine(0));
    EXPECT_EQ(LineNumbers(q), (std::vector<int>{10}));
    EXPECT_EQ(TargetOf(q, 10), 65535);

    // Line 65534 may still move down to 65535.
    CGraphicProgram r;
    r.SetLine(65534, kCmdJump, JumpCells(kCmdJump, 65534));
    EXPECT_TRUE(r.InsertLine(0));
    EXPECT_EQ(LineNumbers(r), (std::vector<int>{65535}));
    EXPECT_EQ(TargetOf(r, 65535), 65535);
}

TEST(GraphicProgram, JumpColumnsFollowEveryChange)
{
    CGraphicProgram p;
    p.SetLine(2, kCmdJump, JumpCells(kCmdJump, 8));
    p.SetLine(4, kCmdJump, JumpCells(kCmdJump, 5));
    std::uint16_t target = 0;
    int column = 0;
    ASSERT_TRUE(p.GetJump(2, target, column));
    EXPECT_EQ(target, 8);
    EXPECT_EQ(column, 2);
    ASSERT_TRUE(p.GetJump(4, target, column));
    EXPECT_EQ(column, 1);
    EXPECT_FALSE(p.GetJump(3, target, column));  // empty
    p.SetLine(3, kCmdSetMode, ModeCells(1));
    EXPECT_FALSE(p.GetJump(3, target, column));  // not a jump

    // The short jump leaves: the long one moves in to column 1.
    EXPECT_TRUE(p.DeleteLine(4));
    ASSERT_TRUE(p.GetJump(2, target, column));
    EXPECT_EQ(column, 1);
    EXPECT_EQ(p.JumpLines().LargestColumn(), 1);
}

TEST(GraphicProgram, JumpTableCoversTargetsBeyondTheLastLine)
{
    CGraphicProgram p;
    p.SetLine(1, kCmdJump, JumpCells(kCmdJump, 40));
    std::uint16_t target = 0;
    int column = 0;
    ASSERT_TRUE(p.GetJump(1, target, column));
    EXPECT_EQ(target, 40);
    EXPECT_EQ(column, 1);
    EXPECT_EQ(p.JumpLines().Size(), 41);
}

TEST(GraphicProgram, TypeAndBinaryBlock)
{
    CGraphicProgram p;
    p.SetType(kProgramEndlessRelative);
    EXPECT_EQ(p.GetType(), kProgramEndlessRelative);
    std::uint16_t version = 99;
    EXPECT_TRUE(p.BinaryImage(version).empty());

    const Bytes code{0x01, 0x02, 0x03};
    ASSERT_TRUE(p.SetBinaryOnly(code.data(), code.size(), 0x0011));
    EXPECT_EQ(p.GetType(), kProgramBinaryOnly);
    const Bytes image = p.BinaryImage(version);
    EXPECT_EQ(image, (Bytes{0xA1, 0x03, 0x00, 0x06, 0x00, 0x01, 0x02, 0x03}));
    EXPECT_EQ(version, 0x0011);

    ByteStream file;
    ASSERT_TRUE(file.LoadFromFile(UserDataFile("BinBlock.Vizu"), SIZE_MAX));
    EXPECT_EQ(file.Bytes(), image);

    p.SetType(kProgramAbsoluteRelative);
    EXPECT_EQ(p.BinaryBlock(), nullptr);
    EXPECT_TRUE(p.BinaryImage(version).empty());
}

TEST(GraphicProgram, BinaryImageSumAndSizeAreLittleEndian)
{
    CGraphicProgram p;
    const Bytes code(300, 0xFF);
    ASSERT_TRUE(p.SetBinaryOnly(code.data(), code.size(), 0x12));
    std::uint16_t version = 0;
    const Bytes image = p.BinaryImage(version);
    ASSERT_EQ(image.size(), 305u);
    EXPECT_EQ(image[1], 300 & 0xFF);
    EXPECT_EQ(image[2], 300 >> 8);
    const unsigned sum = (300 * 255) & 0xFFFF;
    EXPECT_EQ(image[3], sum & 0xFF);
    EXPECT_EQ(image[4], sum >> 8);
}

TEST(GraphicProgram, BinaryOnlyRefusesBlocksBeyondSixteenBits)
{
    CGraphicProgram p;
    const Bytes big(65536, 0);
    EXPECT_FALSE(p.SetBinaryOnly(big.data(), big.size(), 1));
    EXPECT_EQ(p.GetType(), kProgramNone);
    EXPECT_EQ(p.BinaryBlock(), nullptr);
    EXPECT_TRUE(p.SetBinaryOnly(big.data(), 65535, 1));
}

TEST(GraphicProgram, BinaryImageDoesNotDependOnTheDebugCopy)
{
    const char* old = std::getenv("XDG_DATA_HOME");
    const std::string saved = old ? old : "";
    // A data folder that cannot be created.
    setenv("XDG_DATA_HOME", "/proc/quenor-no-such-folder", 1);
    CGraphicProgram p;
    const Bytes code{0x10, 0x20};
    ASSERT_TRUE(p.SetBinaryOnly(code.data(), code.size(), 3));
    std::uint16_t version = 0;
    EXPECT_EQ(p.BinaryImage(version), (Bytes{0xA1, 0x02, 0x00, 0x30, 0x00, 0x10, 0x20}));
    if (old)
        setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
}

TEST(GraphicProgram, ClearKeepsTypeAndVariables)
{
    CGraphicProgram p;
    p.SetType(kProgramAbsoluteRelative);
    p.SetLine(3, kCmdSetMode, ModeCells(1));
    SVarElem v;
    v.name = "Count";
    v.automatic = 1;
    ASSERT_EQ(p.VarTable().Add(v), "");
    p.Clear();
    EXPECT_TRUE(p.IsEmpty());
    EXPECT_EQ(p.GetType(), kProgramAbsoluteRelative);
    EXPECT_EQ(p.VarTable().Count(), 12);
}
