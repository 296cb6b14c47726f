#include "program/vizueditor.h"

#include "program/graphicprogram.h"
#include "support/vizudoubles.h"
#include "program/rowtexts.h"
#include "program/vizuvalue.h"
#include "program/vizuware.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

using namespace quenor;

namespace {

// Dialogs that answer as told: on OK they write a fresh block whose cell 2
// (cell 4 for a jump, beyond its target and condition start) holds the mark.
class DialogsDouble : public VizuCommandDialogs {
public:
    struct Call {
        std::uint8_t id;
        bool load;
        std::vector<std::uint8_t> cells;
        std::string remark;
    };
    bool HasDialog(std::uint8_t id) const override { return id >= 2 && id <= 16; }
    bool Execute(std::uint8_t id, bool load, std::vector<std::uint8_t>& cells, std::string& remark) override
    {
        calls.push_back({id, load, cells, remark});
        if (!ok)
            return false;
        if (id == kCmdRemark) {
            remark = "written";
        } else {
            cells.assign(CGraphicProgram::CellCount(id), 0);
            cells[4] = mark;
        }
        return true;
    }
    bool ok = true;
    std::uint8_t mark = 0x5A;
    std::vector<Call> calls;
};

class PaletteDouble : public VizuCommandPalette {
public:
    int Choose() override
    {
        ++shown;
        if (answers.empty())
            return -1;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::deque<int> answers;
    int shown = 0;
};

class ViewDouble : public VizuEditorView {
public:
    void RedrawListing() override { ++redraws; }
    void UpdateLine(std::uint16_t line) override { updated.push_back(line); }
    void ApplyJumpCursor(bool on) override { cursor = on; }
    void Message(const std::string& text) override { messages.push_back(text); }
    int redraws = 0;
    std::vector<std::uint16_t> updated;
    bool cursor = false;
    std::vector<std::string> messages;
};

class Editing : public ::testing::Test {
protected:
    Editing() : document(ui), editor(document, dialogs, palette, view)
    {
        document.Program().SetType(kProgramAbsoluteRelative);
    }

    CGraphicProgram& Program() { return document.Program(); }
    // A line with a recognisable cell 10.
    void Put(std::uint16_t line, std::uint8_t id, std::uint16_t target = 0)
    {
        std::vector<std::uint8_t> cells = NewCommandData(id);
        if (CGraphicProgram::IsJump(id))
            CGraphicProgram::SetJumpTarget(cells, target);
        cells[10] = 0xC3;
        Program().SetLine(line, id, cells);
    }
    std::uint16_t Target(std::uint16_t line)
    {
        std::uint16_t target = 0;
        int column = 0;
        EXPECT_TRUE(Program().GetJump(line, target, column));
        return target;
    }
    std::uint8_t Cell(std::uint16_t line, std::size_t i)
    {
        const SProgramLine* node = Program().Line(line);
        return node ? node->cells.at(i) : 0;
    }
    // Saved, with known generated code: what every test starts from.
    void Clean()
    {
        document.SetModified(false);
        document.SetExpectedChecksum(0x1234);
    }
    bool Stale() const { return document.Modified() && document.ExpectedChecksum() == -1; }

    test::SilentUi ui;
    CVizuWareDocument document;
    DialogsDouble dialogs;
    PaletteDouble palette;
    ViewDouble view;
    CVizuEditor editor;
};

TEST_F(Editing, AddingStoresOnlyWhatWasConfirmed)
{
    // Nothing chosen, then a choice whose dialog is cancelled: no line.
    Clean();
    palette.answers = {-1, kCmdMove + 1};
    dialogs.ok = false;
    editor.AddCommandAt(5);
    editor.AddCommandAt(5);
    EXPECT_FALSE(Program().FindLine(5));
    EXPECT_FALSE(document.Modified());
    EXPECT_EQ(document.ExpectedChecksum(), 0x1234);

    // Confirmed: the dialog opened without loading, its block stored.
    dialogs.ok = true;
    palette.answers = {kCmdMove + 1};
    editor.AddCommandAt(5);
    ASSERT_EQ(dialogs.calls.size(), 2u);
    EXPECT_FALSE(dialogs.calls.back().load);
    EXPECT_EQ(Cell(5, 4), 0x5A);
    EXPECT_TRUE(Stale());
    EXPECT_FALSE(editor.Picking());

    // A remark keeps its text in the program.
    palette.answers = {kCmdRemark + 1};
    editor.AddCommandAt(6);
    EXPECT_EQ(Program().GetRemark(6), "written");
}

TEST_F(Editing, NewJumpsPointAtTheirOwnLineUntilATargetIsPicked)
{
    for (std::uint8_t id : {kCmdJump, kCmdConditionalJump, kCmdRegisterJump}) {
        SCOPED_TRACE(int(id));
        Clean();
        const std::size_t calls = dialogs.calls.size();
        palette.answers = {id + 1};
        editor.AddCommandAt(12);
        EXPECT_EQ(dialogs.calls.size(), calls + (id == kCmdJump ? 0 : 1));
        EXPECT_EQ(Target(12), 12);
        EXPECT_EQ(editor.JumpSource(), 12);
        EXPECT_TRUE(view.cursor);
        EXPECT_TRUE(Stale());
        if (id != kCmdJump) {
            EXPECT_EQ(Cell(12, 4), 0x5A);
        }

        // While picking, a click on a row never adds: it sets the target, even
        // on a line past the end of the program.
        Clean();
        const int shown = palette.shown;
        editor.RowIconClicked(40);
        EXPECT_EQ(palette.shown, shown);
        EXPECT_EQ(Target(12), 40);
        EXPECT_FALSE(editor.Picking());
        EXPECT_FALSE(view.cursor);
        EXPECT_TRUE(Stale());  // a new target must be saved too
    }
}

TEST_F(Editing, EditingLoadsTheLineAndKeepsItsTarget)
{
    Put(3, kCmdConditionalJump, 9);
    Clean();
    dialogs.ok = false;
    editor.EditCommandAt(3);
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_TRUE(dialogs.calls[0].load);
    EXPECT_EQ(dialogs.calls[0].cells.at(10), 0xC3);
    EXPECT_EQ(Cell(3, 10), 0xC3);
    EXPECT_FALSE(document.Modified());
    EXPECT_EQ(document.ExpectedChecksum(), 0x1234);

    dialogs.ok = true;
    editor.EditCommandAt(3);
    EXPECT_EQ(Cell(3, 10), 0);  // the fresh block replaced the line
    EXPECT_EQ(Cell(3, 4), 0x5A);
    EXPECT_EQ(Target(3), 9);
    EXPECT_EQ(view.updated, std::vector<std::uint16_t>{3});
    EXPECT_TRUE(Stale());
    EXPECT_FALSE(editor.Picking());

    // An unconditional jump is edited by picking its target.
    Put(4, kCmdJump, 1);
    Clean();
    editor.EditCommandAt(4);
    EXPECT_EQ(editor.JumpSource(), 4);
    EXPECT_TRUE(Stale());

    // An empty line opens the palette; an unknown command only says so.
    const int shown = palette.shown;
    editor.EditCommandAt(30);
    EXPECT_EQ(palette.shown, shown + 1);
    Program().SetLine(31, 17, {});
    Clean();
    editor.EditCommandAt(31);
    EXPECT_EQ(view.messages, std::vector<std::string>{"Edit has not been implemented for CommandID: 17"});
    EXPECT_FALSE(document.Modified());
}

TEST_F(Editing, InsertAndRemoveMoveLinesJumpsAndTheSource)
{
    Put(2, kCmdJump, 8);
    Put(8, kCmdWait);
    Put(10, kCmdConditionalJump, 2);
    editor.StartPicking(10);
    Clean();

    editor.InsertLine(10);  // on the source: it moves down with its line
    EXPECT_EQ(editor.JumpSource(), 11);
    EXPECT_EQ(Target(11), 2);
    EXPECT_FALSE(document.Modified());
    EXPECT_EQ(document.ExpectedChecksum(), -1);

    editor.InsertLine(5);
    EXPECT_EQ(editor.JumpSource(), 12);
    EXPECT_EQ(Target(2), 9);
    EXPECT_TRUE(Program().FindLine(9));

    Clean();
    editor.RemoveLine(11);  // directly above the source: picking goes on
    EXPECT_EQ(editor.JumpSource(), 11);
    EXPECT_TRUE(view.cursor);
    EXPECT_TRUE(Stale());  // the Delete key marks the program unsaved too

    editor.RemoveLine(11);  // the source itself
    EXPECT_FALSE(editor.Picking());
    EXPECT_FALSE(view.cursor);
    EXPECT_EQ(Program().LastLineNumber(), 9);
}

TEST_F(Editing, ClearAndReplace)
{
    Put(4, kCmdRegisterJump, 0);
    Put(6, kCmdWait);
    editor.StartPicking(4);
    Clean();
    editor.ReplaceLine(6);  // nothing chosen: the old line stays
    EXPECT_EQ(Cell(6, 10), 0xC3);
    EXPECT_FALSE(document.Modified());
    EXPECT_EQ(editor.JumpSource(), 4);

    palette.answers = {kCmdSetMode + 1};
    dialogs.ok = false;
    editor.ReplaceLine(4);  // replacing the source ends picking even when cancelled
    EXPECT_FALSE(editor.Picking());
    EXPECT_EQ(Program().Line(4)->id, kCmdRegisterJump);

    dialogs.ok = true;
    palette.answers = {kCmdSetMode + 1};
    editor.ReplaceLine(6);
    EXPECT_EQ(Program().Line(6)->id, kCmdSetMode);
    EXPECT_TRUE(Stale());

    editor.StartPicking(4);
    Clean();
    editor.ClearLine(4);
    EXPECT_FALSE(Program().FindLine(4));
    EXPECT_TRUE(Program().FindLine(6));
    EXPECT_FALSE(editor.Picking());
    EXPECT_TRUE(Stale());

    // A click on an empty or "No operation" line adds; on a used line nothing.
    Put(7, kCmdNoOperation);
    const int shown = palette.shown;
    editor.RowIconClicked(6);
    editor.RowIconClicked(7);
    editor.RowIconClicked(20);
    EXPECT_EQ(palette.shown, shown + 2);
}

// A program built in the editor compiles and comes back from its source stream.
TEST_F(Editing, BuiltProgramCompilesAndSaves)
{
    document.SetMotorKind(0);
    document.SetLogPath("");
    class RealDialogs : public VizuCommandDialogs {
    public:
        bool HasDialog(std::uint8_t) const override { return true; }
        bool Execute(std::uint8_t id, bool, std::vector<std::uint8_t>& cells, std::string& remark) override
        {
            cells.assign(CGraphicProgram::CellCount(id), 0);
            if (id == kCmdMove) {
                cells[0] = 0x20;
                CellWriter w(cells, 1);
                PutTaggedValue(w, 0, 100);
                PutTaggedValue(w, 0, 50);
                PutTaggedValue(w, 0, 4000);
            } else if (id == kCmdConditionalJump) {
                cells[3] = 2 << 2 | 1;  // input 3 high
            } else if (id == kCmdWait) {
                CellWriter w(cells, 0);
                PutTaggedValue(w, 0, 250);
            } else if (id == kCmdRemark) {
                remark = "back and forth";
            }
            return true;
        }
    } real;
    CVizuEditor builder(document, real, palette, view);
    palette.answers = {kCmdRemark + 1, kCmdMove + 1, kCmdWait + 1, kCmdConditionalJump + 1, kCmdJump + 1};
    for (std::uint16_t line = 0; line < 5; ++line) {
        builder.AddCommandAt(line);
        if (builder.Picking())
            builder.RowIconClicked(line == 3 ? 1 : 0);
    }
    ASSERT_EQ(Program().Lines().size(), 5u);
    EXPECT_EQ(Target(3), 1);
    EXPECT_EQ(Target(4), 0);

    ASSERT_TRUE(document.GenerateCode());
    ASSERT_NE(document.Code(), nullptr);
    EXPECT_FALSE(document.Code()->Failed());
    const std::vector<std::uint8_t> stream = document.SaveProgramToStream();
    EXPECT_FALSE(document.Modified());

    CVizuWareDocument copy(ui);
    copy.SetMotorKind(0);
    copy.SetLogPath("");
    ASSERT_TRUE(copy.LoadProgramFromStream(stream));
    ASSERT_EQ(copy.Program().Lines().size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) {
        const SProgramLine& a = Program().Lines()[i];
        const SProgramLine& b = copy.Program().Lines()[i];
        EXPECT_EQ(a.line, b.line);
        EXPECT_EQ(a.id, b.id);
        EXPECT_EQ(a.remark, b.remark);
        EXPECT_EQ(DescribeCommand(Program(), a.line, a.id, a.cells),
                  DescribeCommand(copy.Program(), b.line, b.id, b.cells));
    }
}

}  // namespace
