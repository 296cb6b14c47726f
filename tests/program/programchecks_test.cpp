// Program faults that must never reach the module: position variables outside
// the module's variable memory, and a relative move's wait that depends on
// program lines instead of the program type.

#include "program/bytestream.h"
#include "program/vizuware.h"

#include <gtest/gtest.h>

#include <string>

using namespace quenor;
using Bytes = std::vector<std::uint8_t>;

namespace {

struct QuietUi : VizuWareUi {
    std::vector<std::string> messages;
    bool Ask(const std::string&, const std::string&, Buttons) override
    {
        return true;
    }
    void Message(const std::string& text, const std::string&) override
    {
        messages.push_back(text);
    }
};

Bytes Cells(std::uint8_t id, std::initializer_list<std::uint8_t> bytes)
{
    Bytes cells = NewCommandData(id);
    std::size_t i = 0;
    for (std::uint8_t b : bytes)
        cells.at(i++) = b;
    return cells;
}

struct Doc {
    QuietUi ui;
    CVizuWareDocument doc{ui};
    Doc()
    {
        doc.SetLogPath("");
        doc.SetMotorKind(0);
        doc.SetModuleInfo(Bytes{4, 0x21, 0xE8, 0x03, 0, 0x11});
        doc.Program().SetType(kProgramAbsoluteRelative);
        doc.Program().SetLine(0, kCmdSetMode, Cells(kCmdSetMode, {1}));
    }
    bool Unchanged() const
    {
        const auto& lines = doc.Program().Lines();
        return lines.size() == 1 && lines[0].id == kCmdSetMode && lines[0].cells[0] == 1;
    }
};

// The code of one program line.
Bytes LineCode(const TVizuCode& code, std::uint16_t line)
{
    Bytes bytes;
    for (const SCodeElement& element : code.Elements())
        if (element.originalIndex == line + 1u)
            bytes.insert(bytes.end(), element.bytes.begin(), element.bytes.end());
    return bytes;
}

}  // namespace

TEST(PositionVariables, OutsideTheModuleMemoryAreRefused)
{
    struct Case {
        const char* name;
        std::uint8_t id;
        Bytes cells;
        bool fits;
        long long number = 0;  // the variable refused
    };
    const std::vector<Case> cases = {
        {"save position 55", kCmdSavePosition, Cells(5, {55}), true},
        {"save position 56", kCmdSavePosition, Cells(5, {56}), false, 56},
        {"set position from variable 55", kCmdSetPosition, Cells(4, {0x01, 0x00, 55}), true},
        {"set position from variable 56", kCmdSetPosition, Cells(4, {0x01, 0x00, 56}), false, 56},
        {"set position to the count 56", kCmdSetPosition, Cells(4, {0x00, 0x00, 56}), true},
        {"move from variable 0x90320000", kCmdMove,
         Cells(3, {0x28, 0x00, 0x00, 0x00, 0x00, 0x02, 0x90, 0x32, 0x00, 0x00}), false, -1875771392},
        {"move from variable -1", kCmdMove, Cells(3, {0x28, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF}), false, -1},
        {"move by the count 56", kCmdMove, Cells(3, {0x20, 0x00, 0x00, 0x00, 0x00, 0x00, 56}), true},
        {"sensor move, safety distance variable 56", kCmdMove,
         Cells(3, {0x34, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0x00, 56, 0x01}), false, 56},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CGraphicProgram source;
        source.SetType(kProgramAbsoluteRelative);
        source.SetLine(3, c.id, c.cells);
        ByteStream stream;
        ASSERT_TRUE(source.Save(stream, {}, false));
        const Bytes bytes = stream.TakeBytes();

        // A setup file's or the debug copy's stream.
        Doc loaded;
        EXPECT_EQ(loaded.doc.LoadProgramFromStream(bytes), c.fits);
        EXPECT_EQ(loaded.Unchanged(), !c.fits);
        if (!c.fits) {
            ASSERT_EQ(loaded.ui.messages.size(), 1u);
            EXPECT_EQ(loaded.ui.messages[0], "Line 4 uses position variable " + std::to_string(c.number) +
                                                 ", which the module does not have (position variables 0 to 55)."
                                                 "\r\nThe program was not loaded.");
        }

        // The source block of an upload.
        Doc uploaded;
        const std::uint16_t n = static_cast<std::uint16_t>(bytes.size());
        unsigned sum = 0;
        for (std::uint8_t b : bytes)
            sum += b;
        Bytes image{0,
                    0,
                    0xA2,
                    static_cast<std::uint8_t>(n & 0xFF),
                    static_cast<std::uint8_t>(n >> 8),
                    static_cast<std::uint8_t>(sum & 0xFF),
                    static_cast<std::uint8_t>((sum >> 8) & 0xFF)};
        image.insert(image.end(), bytes.begin(), bytes.end());
        image.push_back(0xAF);
        image[0] = static_cast<std::uint8_t>(image.size() & 0xFF);
        image[1] = static_cast<std::uint8_t>(image.size() >> 8);
        uploaded.doc.UploadImage(&image);
        EXPECT_EQ(uploaded.Unchanged(), !c.fits);
        EXPECT_EQ(uploaded.ui.messages.size(), c.fits ? 0u : 1u);

        // A line made in the editor is stopped by the generator.
        Doc made;
        made.doc.Program().SetLine(3, c.id, c.cells);
        EXPECT_EQ(made.doc.GenerateCode(), c.fits);
        EXPECT_EQ(made.ui.messages.size(), c.fits ? 0u : 1u);
    }

    // The last variable is stored at 32 + 4 * 55 = 252.
    Doc d;
    d.doc.Program().SetLine(3, kCmdSavePosition, Cells(5, {55}));
    ASSERT_TRUE(d.doc.GenerateCode());
    EXPECT_EQ(LineCode(*d.doc.Code(), 3), (Bytes{0x43, 0x0A, 0x4F, 0xFC}));
}

TEST(MoveCode, FollowsTheProgramTypeNotAFastCommand)
{
    // Relative with wait (distance 1000), relative with output 1 high: the
    // wait after the move follows the program type. (A sensor move follows a
    // fast command 118 line; the generation tests cover it.)
    const std::vector<Bytes> moves = {
        Cells(3, {0x20, 0x00, 0x00, 0x00, 0x00, 0x01, 0x03, 0xE8}),
        Cells(3, {0x22, 0x00, 0x00, 0x00, 0x00, 0x01, 0x03, 0xE8, 0x00, 0x08}),
    };
    const Bytes fast118 = Cells(kCmdFastCommand, {0x00, 118});
    for (const std::uint8_t type : {kProgramAbsoluteRelative, kProgramEndlessRelative}) {
        for (std::size_t m = 0; m < moves.size(); ++m) {
            SCOPED_TRACE("type " + std::to_string(type) + ", move " + std::to_string(m));
            Bytes withFast, without;
            for (const bool fast : {false, true}) {
                Doc d;
                d.doc.Program().Clear();
                d.doc.Program().SetType(type);
                if (fast)
                    d.doc.Program().SetLine(0, kCmdFastCommand, fast118);
                d.doc.Program().SetLine(1, kCmdMove, moves[m]);
                ASSERT_TRUE(d.doc.GenerateCode());
                (fast ? withFast : without) = LineCode(*d.doc.Code(), 1);
            }
            EXPECT_EQ(withFast, without);
            if (m == 0) {
                // The wait: fast command 96 first in an endless-relative program.
                const Bytes tail = type == kProgramEndlessRelative ? Bytes{0x07, 0x40, 0x07, 0x60, 0x01}
                                                                   : Bytes{0x4A, 0x31, 0x07, 0x40, 0x01};
                ASSERT_GE(without.size(), tail.size());
                EXPECT_EQ(Bytes(without.end() - 5, without.end()), tail);
            }
        }
    }
}
