#include "program/rowtexts.h"

#include "program/graphicprogram.h"
#include "program/vizuvalue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace quenor;

namespace {

// Fifty cells written from the front: bytes and tagged values.
struct Cells {
    std::vector<std::uint8_t> c = std::vector<std::uint8_t>(kCommandCells, 0);
    std::size_t pos = 0;
    Cells& b(std::uint8_t value)
    {
        c.at(pos++) = value;
        return *this;
    }
    Cells& v(double value, std::uint8_t flags = 0)
    {
        CellWriter w(c, pos);
        EXPECT_TRUE(PutTaggedValue(w, flags, value));
        pos = w.pos;
        return *this;
    }
    Cells& f(float value)
    {
        CellWriter w(c, pos);
        EXPECT_TRUE(PutTaggedFloat(w, 0, value));
        pos = w.pos;
        return *this;
    }
};

struct Case {
    const char* name;
    std::uint8_t id;
    Cells cells;
    const char* text;
};

class RowTexts : public ::testing::Test {
protected:
    void SetUp() override { program.ParameterList().SelectMotorKind(0); }
    std::string Describe(std::uint8_t id, const Cells& cells, std::uint16_t line = 0)
    {
        return DescribeCommand(program, line, id, cells.c);
    }
    CGraphicProgram program;
};

TEST_F(RowTexts, EveryCommandKind)
{
    const Case cases[] = {
        {"empty", kCmdNoOperation, Cells{}, ""},
        {"jump", kCmdJump, Cells{}.b(1).b(0), "Jump to 257"},
        {"move relative with units", kCmdMove, Cells{}.b(0x20).v(100).v(50, 1).v(2.5, 1),
         "Move (Rel) - dist: 2.5 Revs. acc: 100 RPM/s vel: 50 Cnts/Sample"},
        {"move absolute from register, no wait", kCmdMove, Cells{}.b(0x0B).v(0).v(0).v(0),
         "Move (Abs) - pos: reg 1 (No wait for in position)"},
        {"move with velocity change from register", kCmdMove, Cells{}.b(0x31).v(0).v(0).v(1000).v(2).v(300),
         "Move (Rel) - dist: 1000 Counts changevel. at Dist.: reg 3 to vel: 300 RPM"},
        {"move with outputs", kCmdMove, Cells{}.b(0x22).v(0).v(0).v(10).b(0).b(1 | 1 << 3),
         "Move (Rel) - dist: 10 Counts set output 2 high"},
        {"sensor move", kCmdMove, Cells{}.b(0x04).v(0).v(0).v(500).v(20).b(3 << 2 | 3),
         "Move (Rel) - dist: 500 Counts Safety dist: 20 Counts Sensor: input 4=rising edge (No wait for in position)"},
        {"sensor move, safety distance from register", kCmdMove, Cells{}.b(0x34).v(0).v(0).v(-5).v(4).b(9 << 2),
         "Move (Rel) - dist: -5 Counts Safety dist: reg 5 Sensor: in position=low"},
        {"set position from register", kCmdSetPosition, Cells{}.b(1).v(2), "Set position to value in reg 3"},
        {"set position", kCmdSetPosition, Cells{}.b(0).v(-1000), "Set position to -1000 Counts"},
        {"save position", kCmdSavePosition, Cells{}.b(4), "Save position to reg 5"},
        {"single output pulse", kCmdSetOutputs, Cells{}.b(0).b(2 | 2 << 3).v(250), "Set output 3 low pulse (250 ms)"},
        {"single output high pulse", kCmdSetOutputs, Cells{}.b(0).b(7 | 3 << 3).v(5), "Set output 8 high pulse (5 ms)"},
        {"several outputs", kCmdSetOutputs, Cells{}.b(1).b(0b001).b(0b101), "Set outputs (1 high and 3 low)"},
        {"several outputs, one chosen", kCmdSetOutputs, Cells{}.b(1).b(0b10).b(0b10), "Set output (2 high)"},
        {"several outputs, none chosen", kCmdSetOutputs, Cells{}.b(1).b(0xFF).b(0), "Set outputs ()"},
        {"zero search", kCmdZeroSearch, Cells{}.b(1), "Zero search: sensor type 1 zero search"},
        {"zero search unknown", kCmdZeroSearch, Cells{}.b(3), "Zero search: "},
        {"wait float", kCmdWait, Cells{}.f(0.1f), "Wait 0.100000001490116 ms"},
        {"set register", kCmdSetRegister, Cells{}.b(5).v(3000, 1), "Set Velocity to 3000 Cnts/Sample"},
        {"set mode", kCmdSetMode, Cells{}.b(4), "Set Mode: Analogue velocity (with deadband)"},
        {"set mode past the table", kCmdSetMode, Cells{}.b(7), "Set Mode: "},
        {"conditional jump, several inputs and", kCmdConditionalJump, Cells{}.b(0x01).b(0x2C).b(1).b(0x01).b(5).b(6),
         "If (1=H and 8=L and ME=H) jump to 301"},
        {"conditional jump, none cared for", kCmdConditionalJump, Cells{}.b(0).b(0).b(1).b(0xFF).b(3).b(0),
         "If () jump to 1"},
        {"conditional jump, single input", kCmdConditionalJump, Cells{}.b(0).b(2).b(0).b(8 << 2 | 2),
         "If (motor error=falling edge) jump to 3"},
        {"wait inputs or", kCmdWaitInputs, Cells{}.b(1).b(2).b(2 << 2).b(8 | 0x80), "Wait until 2=H or IP=L"},
        {"wait input 10-15 has no name", kCmdWaitInputs, Cells{}.b(0).b(12 << 2 | 1), "Wait until =high"},
        {"wait register", kCmdWaitRegister, Cells{}.b(5).b(4).v(1500), "Wait until Velocity>=1500 RPM"},
        {"register jump =", kCmdRegisterJump, Cells{}.b(0).b(9).b(3).b(0).v(100),
         "If Requested position=100 Counts Jump to 10"},
        {"register jump <>", kCmdRegisterJump, Cells{}.b(0).b(9).b(3).b(5).v(100),
         "If Requested position<>100 Counts Jump to 10"},
        {"register jump operator 6", kCmdRegisterJump, Cells{}.b(0xFF).b(0xFF).b(3).b(6).v(100),
         "If Requested position100 Counts Jump to 65536"},
        {"fast 0x41", kCmdFastCommand, Cells{}.v(0x41), "FastVEK: Position mode - set position from register 2"},
        {"fast 0x7E", kCmdFastCommand, Cells{}.v(0x7E), "FastVEK: (1E) Use FASTVEK protocol"},
        {"fast 0x2A", kCmdFastCommand, Cells{}.v(0x2A), "FastVEK: Velocity mode - set velocity from register 3"},
        {"fast 0x70", kCmdFastCommand, Cells{}.v(0x70), "FastVEK: (10) Home search"},
        {"fast 0x1C", kCmdFastCommand, Cells{}.v(0x1C), "FastVEK: Init mode - set zero search from register 1"},
        {"fast bit 7 and fraction ignored", kCmdFastCommand, Cells{}.v(0xF0 + 0.75), "FastVEK: (10) Home search"},
        {"binary none", kCmdBinary, Cells{}.b(0), "Binary command: "},
        {"binary two", kCmdBinary, Cells{}.b(2).b(1).b(171), "Binary command: 0x01, 0xAB"},
        {"unknown", 17, Cells{}, "Descriptions not implemented for CommandID: 17"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Describe(c.id, c.cells), c.text) << c.name;
}

TEST_F(RowTexts, BinaryCountStopsAtTheLastCell)
{
    Cells cells;
    cells.b(200);
    for (int i = 1; i < 50; ++i)
        cells.b(static_cast<std::uint8_t>(i));
    const std::string text = Describe(kCmdBinary, cells);
    std::size_t listed = 0;
    for (std::size_t at = text.find("0x"); at != std::string::npos; at = text.find("0x", at + 1))
        ++listed;
    EXPECT_EQ(listed, 49u);
    EXPECT_EQ(text.substr(text.size() - 4), "0x31");
    // Short cells (a line from an old stream) never read past their end.
    const std::vector<std::uint8_t> shortCells = {5, 0xAA};
    EXPECT_EQ(DescribeCommand(program, 0, kCmdBinary, shortCells), "Binary command: 0xAA");
}

TEST_F(RowTexts, RemarkAndRow)
{
    program.SetRemark(9, "home first");
    const SRowText row = RowText(program, 9, kCmdRemark, {});
    EXPECT_EQ(row.number, "10:");
    EXPECT_EQ(row.text, " REM home first");
    EXPECT_EQ(row.hint, "10: REM home first");
    const SRowText past = RowText(program, 65600, kCmdNoOperation, {});
    EXPECT_EQ(past.number, "65601:");
    EXPECT_EQ(past.text, " ");
}

}  // namespace
