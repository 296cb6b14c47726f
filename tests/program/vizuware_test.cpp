#include "program/vizuware.h"

#include "platform/datapaths.h"
#include "program/bytestream.h"
#include "program/vizuvalue.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <random>
#include <tuple>

using namespace quenor;
using Bytes = std::vector<std::uint8_t>;

namespace {

struct FakeUi : VizuWareUi {
    struct Question {
        std::string text, caption;
        Buttons buttons;
    };
    std::vector<Question> asked;
    std::vector<std::string> messages;
    std::deque<bool> answers;  // then true
    int changed = 0;

    bool Ask(const std::string& text, const std::string& caption, Buttons buttons) override
    {
        asked.push_back({text, caption, buttons});
        if (answers.empty())
            return true;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    void Message(const std::string& text, const std::string&) override { messages.push_back(text); }
    void ProgramChanged() override { ++changed; }
};

// Start code of a type 1 program with every option off:
// fast command 117; variable 3 := 0; register 37 := 2; register 2 := 2; variable 6 := 0.
const Bytes kPrologue{0x07, 0x75, 0x20, 0x00, 0x4C, 0x03, 0x20, 0x02, 0x48,
                      0x25, 0x20, 0x02, 0x48, 0x02, 0x20, 0x00, 0x4C, 0x06};

Bytes Cells(std::uint8_t id, std::initializer_list<std::uint8_t> bytes)
{
    Bytes cells = NewCommandData(id);
    std::size_t i = 0;
    for (std::uint8_t b : bytes)
        cells.at(i++) = b;
    return cells;
}

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::uint16_t Sum(const Bytes& bytes)
{
    unsigned s = 0;
    for (std::uint8_t b : bytes)
        s += b;
    return static_cast<std::uint16_t>(s);
}

Bytes Block(std::uint8_t kind, const Bytes& payload)
{
    const std::uint16_t n = static_cast<std::uint16_t>(payload.size());
    const std::uint16_t s = Sum(payload);
    return Cat({{kind, static_cast<std::uint8_t>(n & 0xFF), static_cast<std::uint8_t>(n >> 8),
                 static_cast<std::uint8_t>(s & 0xFF), static_cast<std::uint8_t>(s >> 8)},
                payload});
}

// Length, blocks, end byte.
Bytes Image(std::initializer_list<Bytes> blocks)
{
    Bytes body = Cat(blocks);
    const std::size_t total = body.size() + 3;
    return Cat({{static_cast<std::uint8_t>(total & 0xFF), static_cast<std::uint8_t>(total >> 8)}, body, {0xAF}});
}

// A document for motor kind 0 whose generator keeps no log.
struct Doc {
    FakeUi ui;
    CVizuWareDocument doc{ui};
    Doc()
    {
        doc.SetLogPath("");
        doc.SetMotorKind(0);
        doc.Program().SetType(kProgramAbsoluteRelative);
    }
    // Generates and returns the code between the start code and the End.
    Bytes Body()
    {
        EXPECT_TRUE(doc.GenerateCode());
        if (!doc.Code())
            return {};
        const Bytes code = doc.Code()->GetCode();
        EXPECT_GE(code.size(), kPrologue.size() + 1);
        EXPECT_EQ(Bytes(code.begin(), code.begin() + 18), kPrologue);
        EXPECT_EQ(code.back(), 0x00);
        return Bytes(code.begin() + 18, code.end() - 1);
    }
    Bytes BodyOf(std::uint8_t id, Bytes cells)
    {
        doc.Program().Clear();
        doc.Program().SetLine(0, id, std::move(cells));
        return Body();
    }
};

void SetModule(CVizuWareDocument& doc, std::uint16_t limit, std::uint8_t version)
{
    const Bytes record{4, 0x21, static_cast<std::uint8_t>(limit & 0xFF), static_cast<std::uint8_t>(limit >> 8), 0,
                       version};
    doc.SetModuleInfo(record);
}

}  // namespace

// --- Generation driver -----------------------------------------------------------------

TEST(GenerateCode, EmptyProgramStartCode)
{
    Doc d;
    ASSERT_TRUE(d.doc.GenerateCode());
    EXPECT_EQ(d.doc.Code()->GetCode(), Cat({kPrologue, {0x00}}));
    EXPECT_EQ(d.doc.Code()->GetChecksum(), 0x0258);
    EXPECT_EQ(d.doc.ExpectedChecksum(), 0x0258);

    d.doc.Program().SetLine(0, kCmdJump, Cells(1, {0x00, 0x00}));
    EXPECT_EQ(d.Body(), (Bytes{0x88, 0xFE}));
}

TEST(GenerateCode, OptionsInTheStartCode)
{
    Doc d;
    d.doc.SetOptions({1, 0, 0, 1, 1});
    ASSERT_TRUE(d.doc.GenerateCode());
    EXPECT_EQ(d.doc.Code()->GetCode(), (Bytes{0x07, 0x75, 0x20, 0x01, 0x4C, 0x03, 0x20, 0x02, 0x48, 0x25, 0x20, 0x02,
                                              0x48, 0x02, 0x20, 0x03, 0x4C, 0x06, 0x00}));
    d.doc.SetOptions({0, 1, 0, 0, 0});
    ASSERT_TRUE(d.doc.GenerateCode());
    EXPECT_EQ(d.doc.Code()->GetCode(), (Bytes{0x07, 0x75, 0x20, 0x00, 0x4C, 0x03, 0x20, 0x00, 0x4C, 0x06, 0x00}));
}

TEST(GenerateCode, EndlessRelativePrologue)
{
    Doc d;
    d.doc.Program().SetType(kProgramEndlessRelative);
    ASSERT_TRUE(d.doc.GenerateCode());
    EXPECT_EQ(d.doc.Code()->GetCode(),
              (Bytes{0x07, 0x76, 0x43, 0x02, 0x33, 0x14, 0x8C, 0x04, 0x43, 0x0A, 0x4B, 0x03, 0x20, 0x00, 0x4C, 0x03,
                     0x20, 0x02, 0x48, 0x25, 0x20, 0x02, 0x48, 0x02, 0x20, 0x00, 0x4C, 0x06, 0x00}));
    d.doc.SetOptions({0, 1, 0, 0, 0});
    ASSERT_TRUE(d.doc.GenerateCode());
    EXPECT_EQ(d.doc.Code()->GetCode(), (Bytes{0x07, 0x76, 0x20, 0x00, 0x4C, 0x03, 0x20, 0x00, 0x4C, 0x06, 0x00}));

    // A move that waits uses fast command 96 first.
    d.doc.Program().SetLine(0, kCmdMove, Cells(3, {0x20, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05}));
    ASSERT_TRUE(d.doc.GenerateCode());
    const Bytes code = d.doc.Code()->GetCode();
    EXPECT_EQ(Bytes(code.end() - 10, code.end()), (Bytes{0x20, 0x05, 0x48, 0x31, 0x07, 0x40, 0x07, 0x60, 0x01, 0x00}));
}

TEST(GenerateCode, TypesWithoutCode)
{
    Doc d;
    d.doc.Program().SetType(kProgramNone);
    EXPECT_FALSE(d.doc.GenerateCode());
    EXPECT_EQ(d.doc.Code(), nullptr);
    const Bytes code{1};
    d.doc.Program().SetBinaryOnly(code.data(), 1, 0);
    EXPECT_FALSE(d.doc.GenerateCode());
    EXPECT_EQ(d.doc.Code(), nullptr);
    EXPECT_EQ(d.doc.ExpectedChecksum(), -1);
}

TEST(GenerateCode, StepperEndlessRelativeQuestion)
{
    Doc d;
    d.doc.SetMotorKind(2);
    d.doc.Program().SetType(kProgramEndlessRelative);
    d.doc.SetOptions({1, 0, 1, 1, 1});
    d.ui.answers = {false};
    EXPECT_FALSE(d.doc.GenerateCode());
    ASSERT_EQ(d.ui.asked.size(), 1u);
    EXPECT_EQ(d.ui.asked[0].text, "This program is in Endless Relative mode\r\nThis mode is not valid for Qor\r\n\r\n"
                                  "It can only be transfered in Abs/Rel mode.\r\nDo you wish to proceed?");
    EXPECT_EQ(d.doc.Program().GetType(), kProgramEndlessRelative);
    EXPECT_EQ(d.doc.Code(), nullptr);

    d.ui.answers = {true};
    ASSERT_TRUE(d.doc.GenerateCode());
    EXPECT_EQ(d.doc.Program().GetType(), kProgramAbsoluteRelative);
    EXPECT_EQ(d.doc.Options(), (ProgramSetupOptions{0, 0, 1, 0, 0}));
    EXPECT_EQ(d.doc.Code()->GetCode(), Cat({kPrologue, {0x00}}));
}

TEST(GenerateCode, Jumps)
{
    Doc d;
    // Conditional jump on input 4 (condition 1) to a remark line: lands on the next code.
    d.doc.Program().SetLine(0, kCmdConditionalJump, Cells(2, {0x00, 0x02, 0x00, 0x0D}));
    d.doc.Program().SetLine(1, kCmdSetMode, Cells(12, {0x01}));
    d.doc.Program().SetRemark(2, "end");
    EXPECT_EQ(d.Body(), (Bytes{0x05, 0x13, 0x8C, 0x04, 0x20, 0x01, 0x48, 0x02}));

    // Several inputs, OR, to itself.
    EXPECT_EQ(d.BodyOf(kCmdConditionalJump, Cells(2, {0x00, 0x00, 0x01, 0x05, 0xFD, 0x83})),
              (Bytes{0x04, 0x05, 0xFF, 0x81, 0x8C, 0xFA}));

    // Register jump: actual position greater than 500.
    EXPECT_EQ(d.BodyOf(kCmdRegisterJump, Cells(11, {0x00, 0x00, 0x0A, 0x02, 0x01, 0x01, 0xF4})),
              (Bytes{0x43, 0x0A, 0x2A, 0xF4, 0x01, 0x3B, 0x20, 0x8C, 0xF7}));
    // A comparison index above 5 emits no comparison.
    EXPECT_EQ(d.BodyOf(kCmdRegisterJump, Cells(11, {0x00, 0x00, 0x0A, 0x06, 0x00, 0x01})),
              (Bytes{0x43, 0x0A, 0x20, 0x01, 0x8C, 0xFA}));
}

TEST(GenerateCode, Moves)
{
    Doc d;
    // Relative with wait: acceleration 100 and velocity 50 in counts (unit 1), distance 1000.
    EXPECT_EQ(d.BodyOf(kCmdMove, Cells(3, {0x20, 0x10, 0x64, 0x10, 0x32, 0x01, 0x03, 0xE8})),
              (Bytes{0x20, 0x64, 0x48, 0x06, 0x20, 0x32, 0x48, 0x05, 0x2A, 0xE8, 0x03, 0x4A, 0x31, 0x07, 0x40, 0x01}));
    // Velocity 1000 RPM on kind 0: 1000 / 0.47680664 = 2097.29, sent as 2097.
    EXPECT_EQ(d.BodyOf(kCmdMove, Cells(3, {0x00, 0x00, 0x00, 0x01, 0x03, 0xE8, 0x00, 0x00})),
              (Bytes{0x2A, 0x31, 0x08, 0x4A, 0x05, 0x20, 0x00, 0x48, 0x31, 0x07, 0x40}));
    // Absolute from position variable 2, no acceleration or velocity.
    EXPECT_EQ(d.BodyOf(kCmdMove, Cells(3, {0x0B, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02})),
              (Bytes{0x47, 0x28, 0x4B, 0x03}));
    // Relative with set outputs: distance -5, then output 2 high.
    EXPECT_EQ(d.BodyOf(kCmdMove, Cells(3, {0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFB, 0x00, 0x09})),
              (Bytes{0x2A, 0xFB, 0xFF, 0x4A, 0x31, 0x07, 0x40, 0x01, 0x09, 0x11}));
}

TEST(GenerateCode, MoveWithVelocityChange)
{
    Doc d;
    // Distance 2000; at -300 from the start switch to velocity 20.
    EXPECT_EQ(d.BodyOf(kCmdMove, Cells(3, {0x01, 0x00, 0x00, 0x00, 0x00, 0x01, 0x07, 0xD0, 0x01, 0xFE, 0xD4, 0x10,
                                           0x14})),
              (Bytes{0x43, 0x0A, 0x2A, 0xD4, 0xFE, 0x3B, 0x00, 0x2A, 0xD0, 0x07, 0x4A, 0x31, 0x07, 0x40,
                     0x67, 0x43, 0x0A, 0x3F, 0x21, 0x8C, 0xF9, 0x6F, 0x20, 0x14, 0x48, 0x05, 0x01}));
}

TEST(GenerateCode, SensorMove)
{
    Doc d;
    // Distance 300 after input 3 (condition 1), safety distance 50.
    EXPECT_EQ(d.BodyOf(kCmdMove, Cells(3, {0x04, 0x00, 0x00, 0x00, 0x00, 0x01, 0x01, 0x2C, 0x00, 0x32, 0x09})),
              (Bytes{0x2A, 0x2C, 0x01, 0x20, 0x32, 0x48, 0x31, 0x07, 0x40,  //
                     0x05, 0x12, 0x8C, 0x06, 0x05, 0x19, 0x8C, 0x0E, 0x88, 0xF6,  //
                     0x43, 0x0A, 0x3E, 0x00, 0x4B, 0x03,                          //
                     0x05, 0x19, 0x8C, 0x02, 0x88, 0xFA}));
}

TEST(GenerateCode, SensorMoveAfterFastCommand118)
{
    // In an "Absolute and relative" program a FastVEK 118 line switches the
    // motor to endless-relative moves, and the sensor moves after it follow:
    // the distance goes to register 61, fast command 96 starts the safety
    // move, fast command 104 the move from the sensor. A sensor move before
    // that line keeps the form it has in such a program.
    const Bytes sensor = Cells(3, {0x04, 0x00, 0x00, 0x00, 0x00, 0x01, 0x01, 0x2C, 0x00, 0x32, 0x09});
    const Bytes fast118 = Cells(kCmdFastCommand, {0x00, 118});
    Doc d;
    d.doc.Program().Clear();
    d.doc.Program().SetLine(0, kCmdMove, sensor);
    d.doc.Program().SetLine(1, kCmdFastCommand, fast118);
    d.doc.Program().SetLine(2, kCmdMove, sensor);
    EXPECT_EQ(d.Body(),
              (Bytes{0x2A, 0x2C, 0x01, 0x20, 0x32, 0x48, 0x31, 0x07, 0x40,  // line 1
                     0x05, 0x12, 0x8C, 0x06, 0x05, 0x19, 0x8C, 0x0E, 0x88, 0xF6,  //
                     0x43, 0x0A, 0x3E, 0x00, 0x4B, 0x03,                          //
                     0x05, 0x19, 0x8C, 0x02, 0x88, 0xFA,                          //
                     0x07, 0x76,                                                  // line 2
                     0x2A, 0x2C, 0x01, 0x4A, 0x3D,                                // line 3
                     0x20, 0x32, 0x48, 0x31, 0x07, 0x40, 0x07, 0x60,              //
                     0x05, 0x12, 0x8C, 0x06, 0x05, 0x19, 0x8C, 0x0A, 0x88, 0xF6,  //
                     0x07, 0x68,                                                  //
                     0x05, 0x19, 0x8C, 0x02, 0x88, 0xFA}));
}

TEST(GenerateCode, PositionsOutputsWaitsAndModes)
{
    Doc d;
    // Set position 1234.7, truncated, into register 163.
    Bytes cells = NewCommandData(kCmdSetPosition);
    CellWriter w(cells, 1);
    ASSERT_TRUE(PutTaggedValue(w, 0, 1234.7));
    EXPECT_EQ(d.BodyOf(kCmdSetPosition, cells), (Bytes{0x2A, 0xD2, 0x04, 0x4A, 0xA3, 0x07, 0x77}));
    // Save position 1 into variable 36.
    EXPECT_EQ(d.BodyOf(kCmdSavePosition, Cells(5, {0x01})), (Bytes{0x43, 0x0A, 0x4F, 0x24}));
    // Output 3 high pulse of 100 ms on timer 2.
    EXPECT_EQ(d.BodyOf(kCmdSetOutputs, Cells(6, {0x00, 0x1A, 0x00, 0x64})),
              (Bytes{0x09, 0x12, 0x21, 0x64, 0x4D, 0x0E, 0x45, 0x0E, 0x31, 0x14, 0x8C, 0xFA, 0x09, 0x02}));
    // Several outputs: output 2 low, output 3 high.
    EXPECT_EQ(d.BodyOf(kCmdSetOutputs, Cells(6, {0x01, 0x05, 0x06})), (Bytes{0x09, 0x01, 0x09, 0x12}));
    // Zero search kind 1.
    EXPECT_EQ(d.BodyOf(kCmdZeroSearch, Cells(7, {0x01})),
              (Bytes{0x20, 0x0D, 0x48, 0x02, 0x20, 0x00, 0x48, 0x03, 0x20, 0x02, 0x42, 0x02, 0x38, 0x24, 0x8A, 0xF8}));
    EXPECT_EQ(d.BodyOf(kCmdZeroSearch, Cells(7, {0x03})), Bytes{});
    // Wait 1000 ms on timer 1; 2.9 ms is truncated to 2.
    EXPECT_EQ(d.BodyOf(kCmdWait, Cells(8, {0x01, 0x03, 0xE8})),
              (Bytes{0x29, 0xE8, 0x03, 0x4D, 0x0C, 0x45, 0x0C, 0x31, 0x14, 0x8C, 0xFA}));
    cells = NewCommandData(kCmdWait);
    CellWriter w2(cells);
    ASSERT_TRUE(PutTaggedValue(w2, 0, 2.9));
    EXPECT_EQ(d.BodyOf(kCmdWait, cells), (Bytes{0x21, 0x02, 0x4D, 0x0C, 0x45, 0x0C, 0x31, 0x14, 0x8C, 0xFA}));
    // Set register 5 (velocity) to 1000 RPM.
    EXPECT_EQ(d.BodyOf(kCmdSetRegister, Cells(10, {0x05, 0x01, 0x03, 0xE8})), (Bytes{0x2A, 0x31, 0x08, 0x4A, 0x05}));
    // Set mode item 3 is mode 5; item 7 emits nothing.
    EXPECT_EQ(d.BodyOf(kCmdSetMode, Cells(12, {0x03})), (Bytes{0x20, 0x05, 0x48, 0x02}));
    EXPECT_EQ(d.BodyOf(kCmdSetMode, Cells(12, {0x07})), Bytes{});
    // Fast command: the low byte of 300.
    EXPECT_EQ(d.BodyOf(kCmdFastCommand, Cells(15, {0x01, 0x01, 0x2C})), (Bytes{0x07, 0x2C}));
    // Binary bytes as they are.
    EXPECT_EQ(d.BodyOf(kCmdBinary, Cells(16, {0x03, 0xAA, 0xBB, 0xCC})), (Bytes{0xAA, 0xBB, 0xCC}));
}

TEST(GenerateCode, SetPositionFromVariableOnAStepper)
{
    Doc d;
    d.doc.SetMotorKind(2);
    d.doc.Program().SetLine(0, kCmdSetPosition, Cells(4, {0x01, 0x00, 0x03}));
    ASSERT_TRUE(d.doc.GenerateCode());
    const Bytes code = d.doc.Code()->GetCode();
    EXPECT_EQ(Bytes(code.end() - 7, code.end()), (Bytes{0x47, 0x2C, 0x4B, 0x90, 0x07, 0x77, 0x00}));
}

TEST(GenerateCode, Waits)
{
    Doc d;
    // Rising edge on input 1: one test first, the wait loops on the second.
    EXPECT_EQ(d.BodyOf(kCmdWaitInputs, Cells(13, {0x00, 0x03})), (Bytes{0x05, 0x30, 0x05, 0x30, 0x8A, 0xFC}));
    // Input 2 high.
    EXPECT_EQ(d.BodyOf(kCmdWaitInputs, Cells(13, {0x00, 0x05})), (Bytes{0x05, 0x11, 0x8A, 0xFC}));
    // Inputs 1-4 high, AND.
    EXPECT_EQ(d.BodyOf(kCmdWaitInputs, Cells(13, {0x01, 0x0F, 0x3C, 0x00})),
              (Bytes{0x04, 0x0F, 0x0F, 0x00, 0x8A, 0xFA}));
    // Register 2 equal to 1.
    EXPECT_EQ(d.BodyOf(kCmdWaitRegister, Cells(14, {0x02, 0x00, 0x00, 0x01})),
              (Bytes{0x43, 0x02, 0x20, 0x01, 0x33, 0x24, 0x8A, 0xF8}));
}

TEST(GenerateCode, Conversions)
{
    CVekParameterList list;
    list.SelectMotorKind(0);
    // Register 2 has no unit group: factor 1.
    EXPECT_EQ(ConvertToCounts(list, 2.5, 0, 2), 3);
    EXPECT_EQ(ConvertToCounts(list, -2.5, 0, 2), -3);
    EXPECT_EQ(ConvertToCounts(list, 2.4, 0, 2), 2);
    EXPECT_EQ(ConvertToCounts(list, -2.4, 0, 2), -2);
    EXPECT_EQ(ConvertToCounts(list, 1000, 0, 5), 2097);
    EXPECT_EQ(ConvertToCounts(list, 1, 1, 3), 4096);  // one revolution
    EXPECT_EQ(ConvertToCounts(list, 1e12, 0, 2), 2147483647);
    EXPECT_EQ(ConvertToCounts(list, -1e12, 0, 2), -2147483647 - 1);
    EXPECT_EQ(TruncateValue(2.9), 2);
    EXPECT_EQ(TruncateValue(-2.9), -2);
    EXPECT_EQ(TruncateValue(std::nan("")), 0);
    EXPECT_EQ(TruncateValue(1e300), 2147483647);
}

TEST(GenerateCode, UnknownCommandAndOversizedCode)
{
    Doc d;
    d.doc.Program().SetLine(0, 20, {});
    d.doc.Program().SetLine(1, kCmdSetMode, Cells(12, {0x01}));
    ASSERT_TRUE(d.doc.GenerateCode());
    ASSERT_EQ(d.ui.messages.size(), 1u);
    EXPECT_EQ(d.ui.messages[0], "Generate: CommandID 20 not implemented");

    // 1400 binary lines of 49 bytes: more than 65535 bytes of code.
    Bytes cells = NewCommandData(kCmdBinary);
    cells[0] = 49;
    for (std::uint16_t line = 0; line < 1400; ++line)
        d.doc.Program().SetLine(line, kCmdBinary, cells);
    d.ui.messages.clear();
    EXPECT_FALSE(d.doc.GenerateCode());
    EXPECT_EQ(d.doc.Code(), nullptr);
    ASSERT_EQ(d.ui.messages.size(), 1u);
    EXPECT_NE(d.ui.messages[0].find("too big"), std::string::npos);

    // A count above 49 in the cells is cut to the cells.
    cells[0] = 200;
    d.doc.Program().Clear();
    d.doc.Program().SetLine(0, kCmdBinary, cells);
    ASSERT_TRUE(d.doc.GenerateCode());
    EXPECT_EQ(d.doc.Code()->CodeSize(), 18u + 49 + 1);
}

TEST(GenerateCode, TransferredMarkFollowsTheModuleChecksum)
{
    Doc d;
    d.doc.SetModuleChecksum(0x0258);
    EXPECT_FALSE(d.doc.Transferred());
    ASSERT_TRUE(d.doc.GenerateCode());
    EXPECT_TRUE(d.doc.Transferred());
    d.doc.SetModuleChecksum(0x0259);
    EXPECT_FALSE(d.doc.Transferred());
}

TEST(GenerateCode, LastLineNumber65535)
{
    Doc d;
    d.doc.Program().SetLine(65535, kCmdJump, Cells(1, {0xFF, 0xFF}));
    ASSERT_TRUE(d.doc.GenerateCode());
    EXPECT_EQ(d.doc.Code()->ElementCount(), 65538u);
    EXPECT_EQ(d.doc.Code()->GetCode(), Cat({kPrologue, {0x88, 0xFE, 0x00}}));
}

// --- Source stream in the document ---------------------------------------------------------

TEST(DocumentStream, SaveAndLoad)
{
    Doc d;
    EXPECT_TRUE(d.doc.SaveProgramToStream().empty());
    d.doc.Program().SetLine(0, kCmdSetMode, Cells(12, {0x01}));
    d.doc.SetOptions({0, 0, 1, 0, 0});
    d.doc.SetModified(true);
    const Bytes stream = d.doc.SaveProgramToStream();
    EXPECT_EQ(stream, (Bytes{0x15, 0x00, 0x10, 0x00, 0x00, 0x0C, 0x01}));
    EXPECT_FALSE(d.doc.Modified());

    Doc e;
    e.doc.Program().SetLine(3, kCmdSavePosition, Cells(5, {0x01}));
    e.doc.SetModified(true);
    e.ui.answers = {false};
    EXPECT_FALSE(e.doc.LoadProgramFromStream(stream));
    ASSERT_EQ(e.ui.asked.size(), 1u);
    EXPECT_EQ(e.ui.asked[0].text, "The VekMRP program has not been saved\r\nReplace with program from file?");
    EXPECT_EQ(e.ui.asked[0].caption, "VekMRP program");
    EXPECT_TRUE(e.doc.Program().FindLine(3));
    EXPECT_TRUE(e.doc.Modified());

    EXPECT_TRUE(e.doc.LoadProgramFromStream(stream));
    EXPECT_FALSE(e.doc.Program().FindLine(3));
    EXPECT_EQ(e.doc.Options().transferSetting, 1);
    EXPECT_FALSE(e.doc.Modified());
    EXPECT_EQ(e.ui.changed, 1);
    ASSERT_NE(e.doc.Code(), nullptr);
    EXPECT_EQ(e.doc.Code()->GetCode(), Cat({kPrologue, {0x20, 0x01, 0x48, 0x02, 0x00}}));
}

TEST(DocumentStream, GarbledStreamChangesNothing)
{
    Doc d;
    d.doc.Program().SetLine(2, kCmdSetMode, Cells(12, {0x01}));
    d.doc.SetOptions({1, 1, 2, 1, 1});
    d.doc.SetModified(false);
    EXPECT_FALSE(d.doc.LoadProgramFromStream(Bytes{0x15, 0x00, 0x10, 0x05, 0x00, 0x0C}));
    ASSERT_EQ(d.ui.messages.size(), 1u);
    EXPECT_TRUE(d.doc.Program().FindLine(2));
    EXPECT_EQ(d.doc.Options(), (ProgramSetupOptions{1, 1, 2, 1, 1}));
    EXPECT_EQ(d.ui.changed, 0);
}

TEST(DocumentStream, DebugFile)
{
    Doc d;
    d.doc.Program().SetRemark(0, "kept");
    d.doc.SetOptions({0, 0, 2, 0, 0});
    ASSERT_TRUE(d.doc.SaveDebugProgram());
    EXPECT_TRUE(std::filesystem::exists(UserDataFile("Program.Vizu")));
    Doc e;
    e.doc.SetOptions({1, 0, 0, 0, 0});
    ASSERT_TRUE(e.doc.LoadDebugProgram());
    EXPECT_EQ(e.doc.Program().GetRemark(0), "kept");
    EXPECT_EQ(e.doc.Options(), (ProgramSetupOptions{1, 0, 0, 0, 0}));  // keeps its own
}

// --- Download image ----------------------------------------------------------------------------

namespace {

// A one-line program with a remark: set mode 1, then "hi".
struct ImageDoc : Doc {
    Bytes code;        // expected code
    Bytes source;      // expected source stream with remarks
    Bytes sourceBare;  // without remarks
    ImageDoc(std::uint8_t transfer = 0)
    {
        doc.Program().SetLine(0, kCmdSetMode, Cells(12, {0x01}));
        doc.Program().SetRemark(1, "hi");
        doc.SetOptions({0, 0, transfer, 0, 0});
        EXPECT_TRUE(doc.GenerateCode());
        code = Cat({kPrologue, {0x20, 0x01, 0x48, 0x02, 0x00}});
        const auto flags = static_cast<std::uint8_t>(transfer * 16);
        source = {0x15, 0x00, flags, 0x01, 0x00, 0x0C, 0x01, 0x09, 0x02, 'h', 'i'};
        sourceBare = {0x15, 0x00, flags, 0x01, 0x00, 0x0C, 0x01, 0x00};
        SetModule(doc, 1000, 0x11);
    }
};

}  // namespace

TEST(TransferImage, Layouts)
{
    ImageDoc d;
    const Bytes full = Image({Block(0xA1, d.code), Block(0xA2, d.source)});
    EXPECT_EQ(d.doc.BuildTransferImage(), full);
    EXPECT_TRUE(d.ui.asked.empty());
    EXPECT_TRUE(std::filesystem::exists(UserDataFile("File.dmp")));

    // A parameter block right after the length.
    EXPECT_EQ(d.doc.BuildTransferImage(0x04030201),
              Image({{0xA3, 0x01, 0x02, 0x03, 0x04}, Block(0xA1, d.code), Block(0xA2, d.source)}));

    ImageDoc bare(1);
    EXPECT_EQ(bare.doc.BuildTransferImage(), Image({Block(0xA1, bare.code), Block(0xA2, bare.sourceBare)}));
    ImageDoc only(2);
    EXPECT_EQ(only.doc.BuildTransferImage(7), Image({Block(0xA1, only.code)}));
}

TEST(TransferImage, SizeLimitAndQuestions)
{
    ImageDoc d;
    const std::size_t full = Image({Block(0xA1, d.code), Block(0xA2, d.source)}).size();
    const std::size_t bare = Image({Block(0xA1, d.code), Block(0xA2, d.sourceBare)}).size();
    const Bytes codeOnly = Image({Block(0xA1, d.code)});

    // Exactly as long as the limit counts as too big; Cancel sends nothing.
    SetModule(d.doc, static_cast<std::uint16_t>(full), 0x11);
    d.ui.answers = {false};
    EXPECT_TRUE(d.doc.BuildTransferImage().empty());
    ASSERT_EQ(d.ui.asked.size(), 1u);
    EXPECT_EQ(d.ui.asked[0].text,
              "The program is too big to be transferred with source code and comments\r\nProceed without comments?");
    EXPECT_EQ(d.ui.asked[0].buttons, VizuWareUi::Buttons::OkCancel);

    // OK: without remarks it fits.
    d.ui.asked.clear();
    EXPECT_EQ(d.doc.BuildTransferImage(), Image({Block(0xA1, d.code), Block(0xA2, d.sourceBare)}));
    EXPECT_EQ(d.ui.asked.size(), 1u);

    // Both questions answered OK: code only, even with a parameter value.
    SetModule(d.doc, static_cast<std::uint16_t>(bare), 0x11);
    d.ui.asked.clear();
    EXPECT_EQ(d.doc.BuildTransferImage(5), codeOnly);
    ASSERT_EQ(d.ui.asked.size(), 2u);
    EXPECT_EQ(d.ui.asked[1].text, "The program is too big to be transferred with the source code\r\n"
                                  "Proceed without source code (and comments)?");
    // Second question cancelled.
    d.ui.asked.clear();
    d.ui.answers = {true, false};
    EXPECT_TRUE(d.doc.BuildTransferImage().empty());
    EXPECT_EQ(d.ui.asked.size(), 2u);
    // Not even the code fits: nothing, without a further message.
    SetModule(d.doc, static_cast<std::uint16_t>(codeOnly.size()), 0x11);
    d.ui.asked.clear();
    d.ui.messages.clear();
    EXPECT_TRUE(d.doc.BuildTransferImage().empty());
    EXPECT_EQ(d.ui.asked.size(), 2u);
    EXPECT_TRUE(d.ui.messages.empty());

    // Transfer setting 1 goes straight to the second question.
    ImageDoc one(1);
    SetModule(one.doc, static_cast<std::uint16_t>(bare), 0x11);
    EXPECT_EQ(one.doc.BuildTransferImage(), codeOnly);
    ASSERT_EQ(one.ui.asked.size(), 1u);
    EXPECT_NE(one.ui.asked[0].text.find("with the source code"), std::string::npos);

    // Program only: too big is silent.
    ImageDoc two(2);
    SetModule(two.doc, static_cast<std::uint16_t>(codeOnly.size()), 0x11);
    EXPECT_TRUE(two.doc.BuildTransferImage().empty());
    EXPECT_TRUE(two.ui.asked.empty());
    EXPECT_TRUE(two.ui.messages.empty());
    SetModule(two.doc, static_cast<std::uint16_t>(codeOnly.size() + 1), 0x11);
    EXPECT_EQ(two.doc.BuildTransferImage(), codeOnly);
}

TEST(TransferImage, VersionCheck)
{
    ImageDoc d;
    SetModule(d.doc, 1000, 0);
    EXPECT_TRUE(d.doc.BuildTransferImage().empty());
    ASSERT_EQ(d.ui.messages.size(), 1u);
    EXPECT_EQ(d.ui.messages[0], "You need to update the firmware in the VekMRP module\r\nModule binary version: 0.0\r\n"
                                "Quenor binary version: 1.1");
    SetModule(d.doc, 1000, 0x12);
    EXPECT_TRUE(d.doc.BuildTransferImage().empty());
    ASSERT_EQ(d.ui.messages.size(), 2u);
    EXPECT_EQ(d.ui.messages[1], "You need to update Quenor\r\nModule binary version: 1.2\r\nQuenor binary version: 1.1");
    EXPECT_EQ(CodeVersionText(0xA5), "10.5");
}

TEST(TransferImage, NothingToSend)
{
    Doc d;
    SetModule(d.doc, 1000, 0x11);
    EXPECT_TRUE(d.doc.BuildTransferImage().empty());  // no code generated
    EXPECT_TRUE(d.ui.messages.empty());
}

TEST(TransferImage, BinaryOnly)
{
    Doc d;
    d.doc.Program().SetType(kProgramBinaryOnly);
    EXPECT_EQ(d.doc.BuildTransferImage(), (Bytes{0x03, 0x00, 0xAF}));

    const Bytes code{1, 2, 3};
    d.doc.Program().SetBinaryOnly(code.data(), code.size(), 0x11);
    SetModule(d.doc, 0, 0x11);  // no size check
    EXPECT_EQ(d.doc.BuildTransferImage(), (Bytes{0x0B, 0x00, 0xA1, 0x03, 0x00, 0x06, 0x00, 0x01, 0x02, 0x03, 0xAF}));
    SetModule(d.doc, 0, 0x12);
    EXPECT_TRUE(d.doc.BuildTransferImage().empty());
    ASSERT_EQ(d.ui.messages.size(), 1u);
    EXPECT_NE(d.ui.messages[0].find("You need to update Quenor"), std::string::npos);

    // 65535 code bytes make an image of 65543: refused.
    const Bytes big(65535, 0x01);
    d.doc.Program().SetBinaryOnly(big.data(), big.size(), 0x11);
    SetModule(d.doc, 0, 0x11);
    EXPECT_TRUE(d.doc.BuildTransferImage().empty());
    EXPECT_EQ(d.ui.messages.size(), 2u);
    const Bytes fits(65527, 0x01);
    d.doc.Program().SetBinaryOnly(fits.data(), fits.size(), 0x11);
    EXPECT_EQ(d.doc.BuildTransferImage().size(), 65535u);
}

TEST(TransferImage, ShortModuleRecord)
{
    Doc d;
    d.doc.SetModuleInfo(Bytes{4, 1, 0x10});
    EXPECT_EQ(d.doc.ProgramMemoryLimit(), 0x10u);
    EXPECT_EQ(d.doc.ModuleCodeVersion(), 0);
    d.doc.SetModuleInfo(Bytes{4, 1, 0x34, 0x12, 0, 0x11, 9, 9});
    EXPECT_EQ(d.doc.ProgramMemoryLimit(), 0x1234u);
    EXPECT_EQ(d.doc.ModuleCodeVersion(), 0x11);
}

// --- Upload -------------------------------------------------------------------------------------

namespace {

struct UploadDoc : Doc {
    std::vector<std::tuple<int, int, int>> commands;
    UploadDoc()
    {
        SetModule(doc, 1000, 0x11);
        doc.SetOnCommand([this](int c, int a, int b) {
            commands.emplace_back(c, a, b);
            return true;
        });
    }
};

}  // namespace

TEST(Upload, ImageWithEveryBlock)
{
    ImageDoc src;
    const Bytes image = src.doc.BuildTransferImage(0x01020304);
    ASSERT_FALSE(image.empty());
    EXPECT_EQ(image[2], 0xA3);

    UploadDoc d;
    ASSERT_TRUE(d.doc.UploadImage(&image));
    EXPECT_TRUE(d.ui.messages.empty());
    EXPECT_EQ(d.doc.Program().GetType(), kProgramAbsoluteRelative);
    EXPECT_EQ(d.doc.Program().GetRemark(1), "hi");
    EXPECT_EQ(d.doc.ExpectedChecksum(), Sum(src.code));
    ASSERT_NE(d.doc.Code(), nullptr);
    EXPECT_EQ(d.doc.Code()->GetCode(), src.code);
    ASSERT_EQ(d.commands.size(), 1u);
    EXPECT_EQ(d.commands[0], std::make_tuple(8, 1, 0));
    EXPECT_GE(d.ui.changed, 1);
}

TEST(Upload, CodeBlockOnly)
{
    UploadDoc d;
    const Bytes code{0x07, 0x75, 0x00};
    const Bytes image = Image({Block(0xA1, code)});
    ASSERT_TRUE(d.doc.UploadImage(&image));
    EXPECT_EQ(d.doc.Program().GetType(), kProgramBinaryOnly);
    ASSERT_NE(d.doc.Program().BinaryBlock(), nullptr);
    EXPECT_EQ(*d.doc.Program().BinaryBlock(), code);
    EXPECT_EQ(d.doc.Program().BinaryCodeVersion(), 0x11);
    EXPECT_EQ(d.doc.ExpectedChecksum(), 0x07 + 0x75);
    ASSERT_EQ(d.commands.size(), 1u);
    EXPECT_EQ(d.commands[0], std::make_tuple(8, 0, 0));
    // And it goes back down unchanged.
    EXPECT_EQ(d.doc.BuildTransferImage(), image);
}

TEST(Upload, Errors)
{
    const Bytes code{0x01, 0x02, 0x03};
    struct Case {
        const char* name;
        Bytes image;
        const char* message;
        bool codeTaken = false;  // a good code block came before the fault
    };
    Bytes wrongSum = Image({Block(0xA1, code)});
    wrongSum[5] ^= 1;
    Bytes badLength = Image({Block(0xA1, code)});
    badLength[0] = static_cast<std::uint8_t>(badLength[0] + 1);
    // Length field right, block claims more than there is.
    Bytes truncated{0x0A, 0x00, 0xA1, 0x20, 0x00, 0x06, 0x00, 0x01, 0x02, 0xAF};
    Bytes truncatedSource{0x0A, 0x00, 0xA2, 0x20, 0x00, 0x06, 0x00, 0x01, 0x02, 0xAF};
    Bytes shortHeader{0x05, 0x00, 0xA1, 0x03, 0x00};
    Bytes shortParameter{0x05, 0x00, 0xA3, 0x01, 0x02};
    Bytes noEnd = Image({Block(0xA1, code)});
    noEnd.back() = 0xA3;  // a parameter block without its bytes
    Bytes noEnd2{0x0A, 0x00, 0xA1, 0x03, 0x00, 0x06, 0x00, 0x01, 0x02, 0x03};
    const std::vector<Case> cases = {
        {"wrong checksum", wrongSum, "Checksum error uploading program!"},
        {"length off by one", badLength, "Upload error"},
        {"one byte", Bytes{0x01}, "Upload error"},
        {"empty", Bytes{}, "Upload error"},
        {"unknown block", Image({{0xB7, 0x00}}), "Unknown block Type - 0xB7\r\nAborting Upload.\r\nTry updating Quenor."},
        {"truncated code block", truncated, "Upload error: Invalid stream!"},
        {"truncated source block", truncatedSource, "Upload error: Invalid stream!"},
        {"short block header", shortHeader, "Upload error: Invalid stream!"},
        {"short parameter block", shortParameter, "Upload error: Invalid stream!"},
        {"parameter block at the end", noEnd, "Upload error: Invalid stream!", true},
        {"missing end byte", noEnd2, "Upload error: Invalid stream!", true},
    };
    for (const Case& c : cases) {
        UploadDoc d;
        d.doc.Program().SetLine(0, kCmdSetMode, Cells(12, {0x01}));
        EXPECT_FALSE(d.doc.UploadImage(&c.image)) << c.name;
        ASSERT_EQ(d.ui.messages.size(), 1u) << c.name;
        EXPECT_EQ(d.ui.messages[0], c.message) << c.name;
        // Only a program the upload replaced is news for the owner: binary only, nothing to print.
        if (c.codeTaken) {
            EXPECT_EQ(d.doc.Program().GetType(), kProgramBinaryOnly) << c.name;
            EXPECT_EQ(d.commands, (std::vector<std::tuple<int, int, int>>{{8, 0, 0}})) << c.name;
        } else {
            EXPECT_TRUE(d.commands.empty()) << c.name;
        }
    }
    UploadDoc d;
    EXPECT_FALSE(d.doc.UploadImage(nullptr));
    ASSERT_EQ(d.ui.messages.size(), 1u);
    EXPECT_EQ(d.ui.messages[0], "No stream to upload from");
}

TEST(Upload, UnsavedProgramQuestion)
{
    const Bytes image = Image({Block(0xA1, Bytes{0x00})});
    UploadDoc d;
    d.doc.Program().SetLine(0, kCmdSetMode, Cells(12, {0x01}));
    d.doc.SetModified(true);
    d.ui.answers = {false};
    EXPECT_FALSE(d.doc.UploadImage(&image));
    ASSERT_EQ(d.ui.asked.size(), 1u);
    EXPECT_EQ(d.ui.asked[0].text, "The VekMRP program has not been saved\r\nUpload anyway?");
    EXPECT_EQ(d.ui.asked[0].buttons, VizuWareUi::Buttons::YesNo);
    EXPECT_TRUE(d.doc.Modified());
    EXPECT_TRUE(d.doc.Program().FindLine(0));

    // Yes, and then an upload that fails before it replaced the program: the
    // program is still the unsaved one, and closing must still ask.
    const Bytes bad{0x03, 0x00, 0xB0};
    EXPECT_FALSE(d.doc.UploadImage(&bad));
    EXPECT_TRUE(d.doc.Modified());
    EXPECT_TRUE(d.doc.Program().FindLine(0));
}

TEST(Upload, BadSourceAfterGoodCodeLeavesBinaryOnly)
{
    UploadDoc d;
    const Bytes code{0x00};
    const Bytes garbled{0x15, 0x00, 0x00, 0x05, 0x00, 0x0C};  // five lines promised
    const Bytes image = Image({Block(0xA1, code), Block(0xA2, garbled)});
    EXPECT_TRUE(d.doc.UploadImage(&image));
    EXPECT_EQ(d.doc.Program().GetType(), kProgramBinaryOnly);
    ASSERT_EQ(d.ui.messages.size(), 1u);
    ASSERT_EQ(d.commands.size(), 1u);
    EXPECT_EQ(d.commands[0], std::make_tuple(8, 0, 0));
}

TEST(Upload, CorruptImagesNeverReadOutOfBounds)
{
    ImageDoc src;
    const Bytes good = src.doc.BuildTransferImage(9);
    ASSERT_FALSE(good.empty());
    std::mt19937 rng(1234);
    for (int round = 0; round < 2000; ++round) {
        Bytes image = good;
        const int flips = 1 + static_cast<int>(rng() % 4);
        for (int i = 0; i < flips; ++i)
            image[rng() % image.size()] = static_cast<std::uint8_t>(rng());
        if (round % 3 == 0)
            image.resize(rng() % (image.size() + 1));
        if (round % 5 == 0 && image.size() >= 2) {
            image[0] = static_cast<std::uint8_t>(image.size() & 0xFF);
            image[1] = static_cast<std::uint8_t>(image.size() >> 8);
        }
        UploadDoc d;
        d.doc.UploadImage(&image);  // any outcome but a crash
    }
}
