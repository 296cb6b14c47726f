// Run control without the form: the bar after each module status, what the
// buttons send, the debug pointer, and the program menu's new, setup, clear
// and information.

#include "program/runcontrol.h"

#include <gtest/gtest.h>

#include <array>
#include <deque>
#include <tuple>

using namespace quenor;
using Bytes = std::vector<std::uint8_t>;
using Sent = std::vector<std::array<int, 3>>;

namespace {

struct FakeUi : VizuWareUi {
    std::vector<std::string> asked;
    std::deque<bool> answers;  // then Yes
    int changed = 0;
    bool Ask(const std::string& text, const std::string&, Buttons) override
    {
        asked.push_back(text);
        if (answers.empty())
            return true;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    void Message(const std::string&, const std::string&) override {}
    void ProgramChanged() override { ++changed; }
};

// Three "set mode" lines of 4 code bytes each after the 18 bytes of start
// code: line L holds the addresses 18 + 4L .. 21 + 4L, the End is at 30.
struct Rig {
    FakeUi ui;
    CVizuWareDocument doc{ui};
    CVizuRunControl rc{doc, ui};
    Sent sent;
    // What the owner would download when command 0 arrives.
    std::vector<Bytes> images;
    std::vector<int> typesAtTransfer;

    Rig()
    {
        doc.SetLogPath("");
        doc.SetMotorKind(0);
        doc.SetModuleInfo(Bytes{4, 0x21, 0x00, 0x10, 0, 0x11});
        doc.SetOnCommand([this](int c, int a, int b) {
            sent.push_back({c, a, b});
            if (c == 0) {
                typesAtTransfer.push_back(doc.Program().GetType());
                images.push_back(doc.BuildTransferImage());
                return !images.back().empty();
            }
            return true;
        });
    }
    void ThreeLines()
    {
        doc.Program().SetType(kProgramAbsoluteRelative);
        for (std::uint16_t line = 0; line < 3; ++line) {
            Bytes cells = NewCommandData(kCmdSetMode);
            cells[0] = 1;
            doc.Program().SetLine(line, kCmdSetMode, cells);
        }
        ASSERT_TRUE(doc.GenerateCode());
        ASSERT_EQ(doc.Code()->CodeSize(), 31u);
    }
    void Status(int state, std::uint16_t pc, std::uint16_t sum)
    {
        Bytes block(64, 0xEE);
        block[0] = static_cast<std::uint8_t>(state);
        block[1] = static_cast<std::uint8_t>(pc & 0xFF);
        block[2] = static_cast<std::uint8_t>(pc >> 8);
        block[4] = static_cast<std::uint8_t>(sum & 0xFF);
        block[5] = static_cast<std::uint8_t>(sum >> 8);
        rc.ShowModuleStatus(block);
    }
    // A status that says the module holds this program, or another one.
    void Status(int state, std::uint16_t pc, bool same)
    {
        const auto expected = static_cast<std::uint16_t>(doc.ExpectedChecksum());
        Status(state, pc, same ? expected : static_cast<std::uint16_t>(expected + 1));
    }
};

enum Group { Stopped, Running, Paused, Error };

}  // namespace

TEST(RunControl, EveryStateWithItsTextAndButtons)
{
    struct Row {
        int state;
        const char* text;
        Group group;
    };
    const Row rows[] = {
        {0, "Status: Passive", Stopped},
        {1, "Status: Running", Running},
        {2, "Status: Single Step", Paused},
        {3, "Status: Paused", Paused},
        {4, "Status: Stack Overflow", Error},
        {5, "Status: Program Overflow", Error},
        {6, "Status: Invalid Command", Error},
        {7, "Status: Stopped", Error},
        {8, "Status: Error communicating with motor", Error},
        {9, "Status: Starting Program", Running},
        {10, "Status: Flash Error", Error},
        {11, "Status: Flash Checksum Error", Error},
        {12, "Status: Unknown", Error},
        {255, "Status: Unknown", Error},
    };
    Rig r;
    r.ThreeLines();
    for (const Row& row : rows) {
        for (bool same : {false, true}) {
            SCOPED_TRACE(testing::Message() << "state " << row.state << (same ? " transferred" : " other program"));
            r.Status(row.state, 22, same);
            EXPECT_EQ(r.rc.DebugInfoText(), row.text);
            EXPECT_EQ(r.doc.Transferred(), same);
            EXPECT_EQ(r.rc.TransferredWarningVisible(), !same);
            RunControlButtons b;
            b.transfer = !same;
            b.start = row.group == Stopped || row.group == Error;
            b.stop = b.pause = row.group == Running || row.group == Paused;
            b.pauseSaysResume = row.group == Paused;
            b.singleStep = row.group == Paused && same;
            EXPECT_EQ(r.rc.Buttons(), b);
            EXPECT_EQ(r.rc.Paused(), row.group == Paused);
            EXPECT_EQ(r.rc.ErrorState(), row.group == Error);
            // The line is marked unless the module holds another program or failed.
            const DebugPointerPlace place = !same ? DebugPointerPlace::Above
                                            : row.group == Error ? DebugPointerPlace::Hidden
                                                                 : DebugPointerPlace::OnLine;
            EXPECT_EQ(r.rc.PointerPlace(), place);
        }
    }
    r.Status(0, 0, std::uint16_t{40000});
    EXPECT_EQ(r.rc.ChecksumText(), "Module Checksum: 40000");
    // A short block counts its missing bytes as 0.
    r.rc.ShowModuleStatus(Bytes{3, 0x10});
    EXPECT_EQ(r.rc.ChecksumText(), "Module Checksum: 0");
    EXPECT_EQ(r.rc.ProgramCounter(), 0x10);
    EXPECT_TRUE(r.rc.Paused());
}

TEST(RunControl, DebugPointerFollowsTheProgramCounter)
{
    struct Row {
        int state;
        std::uint16_t pc;
        DebugPointerPlace place;
        int line;
    };
    const Row rows[] = {
        {1, 5, DebugPointerPlace::Hidden, -1},    // start code: no line
        {1, 18, DebugPointerPlace::OnLine, 0},
        {3, 25, DebugPointerPlace::OnLine, 1},
        {2, 29, DebugPointerPlace::OnLine, 2},
        {1, 30, DebugPointerPlace::OnLine, 3},    // the End, after the last line
        {1, 31, DebugPointerPlace::Hidden, -1},   // beyond the code
        {1, 9000, DebugPointerPlace::Hidden, -1},
        {0, 22, DebugPointerPlace::OnLine, 1},    // stopped where it was
        {7, 22, DebugPointerPlace::Hidden, 1},    // error
    };
    Rig r;
    r.ThreeLines();
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "state " << row.state << " pc " << row.pc);
        r.Status(1, 18, true);  // the pointer shown before
        r.Status(row.state, row.pc, true);
        EXPECT_EQ(r.rc.PointerPlace(), row.place);
        EXPECT_EQ(r.rc.PointerLine(), row.line);
    }

    // Without generated code a stopped module hides the pointer.
    r.Status(1, 18, true);
    r.doc.DropCode();
    r.Status(0, 18, true);
    EXPECT_EQ(r.rc.PointerPlace(), DebugPointerPlace::Hidden);
}

TEST(RunControl, ButtonsSend)
{
    struct Row {
        const char* what;
        void (CVizuRunControl::*click)();
        int state;       // the module's status before the click
        bool same;       // the module holds this program
        std::deque<bool> answers;
        std::uint16_t pc;
        Sent sent;
        std::size_t questions;
    };
    const Row rows[] = {
        {"transfer", &CVizuRunControl::TransferButtonClick, 0, true, {}, 0, {{0, 0, 0}}, 0},
        {"start transferred", &CVizuRunControl::StartButtonClick, 0, true, {}, 0, {{1, 0, 0}}, 0},
        {"start, No", &CVizuRunControl::StartButtonClick, 0, false, {false}, 0, {{1, 0, 0}}, 1},
        {"start, Yes", &CVizuRunControl::StartButtonClick, 0, false, {true}, 0, {{0, 0, 0}, {1, 0, 0}}, 1},
        {"stop", &CVizuRunControl::StopButtonClick, 1, true, {}, 0, {{2, 0, 0}}, 0},
        {"pause", &CVizuRunControl::PauseButtonClick, 1, true, {}, 0, {{3, 0, 0}}, 0},
        {"resume", &CVizuRunControl::PauseButtonClick, 3, true, {}, 0, {{5, 0, 0}}, 0},
        {"resume single step", &CVizuRunControl::PauseButtonClick, 2, false, {}, 0, {{5, 0, 0}}, 0},
        {"upload", &CVizuRunControl::UploadBtnClick, 0, false, {}, 0, {{6, 0, 0}}, 0},
        {"step in the start code", &CVizuRunControl::SingleStepButtonClick, 2, true, {}, 3, {{4, 0, 17}}, 0},
        {"step line 1", &CVizuRunControl::SingleStepButtonClick, 2, true, {}, 23, {{4, 22, 25}}, 0},
        {"step the End", &CVizuRunControl::SingleStepButtonClick, 2, true, {}, 30, {{4, 30, 30}}, 0},
        {"step outside the code", &CVizuRunControl::SingleStepButtonClick, 2, true, {}, 500, {{4, 0, 0}}, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Rig r;
        r.ThreeLines();
        r.Status(row.state, row.pc, row.same);
        r.ui.answers = row.answers;
        (r.rc.*row.click)();
        EXPECT_EQ(r.sent, row.sent);
        EXPECT_EQ(r.ui.asked.size(), row.questions);
        if (row.questions) {
            EXPECT_EQ(r.ui.asked[0], "Your program has not been transfered, do you want to transfer it before "
                                     "starting the program?");
        }
        // Command 0 finds code to download.
        for (const Bytes& image : r.images)
            EXPECT_FALSE(image.empty());
    }

    // No code, no single step; no callback, nothing sent and nothing breaks.
    Rig r;
    r.Status(2, 0, std::uint16_t{0});
    r.rc.SingleStepButtonClick();
    EXPECT_TRUE(r.sent.empty());
    r.ThreeLines();
    r.doc.SetOnCommand(nullptr);
    r.rc.TransferButtonClick();
    r.ui.answers = {true};
    r.rc.StartButtonClick();
    r.rc.SingleStepButtonClick();
    r.rc.ProgramMenuCommand(5);
    EXPECT_TRUE(r.sent.empty());

    // Start, Yes, but the program cannot go out (the module has no room):
    // the program the module held before is not started in its place.
    Rig full;
    full.ThreeLines();
    full.doc.SetModuleInfo(Bytes{4, 0x21, 0x08, 0x00, 0, 0x11});  // 8 bytes of program memory
    full.Status(0, 0, false);
    full.ui.answers = {true, false, false};
    full.rc.StartButtonClick();
    EXPECT_EQ(full.sent, (Sent{{0, 0, 0}}));
}

TEST(RunControl, SetupConfirmedUnchangedForgetsTheTransfer)
{
    Rig r;
    r.ThreeLines();
    r.Status(1, 22, true);
    ASSERT_TRUE(r.doc.Transferred());
    r.doc.SetOptions({1, 0, 2, 1, 0});

    // Cancelled: nothing changes.
    ProgramSetupOptions shown{};
    r.rc.editSetup = [&](ProgramSetupOptions& o) {
        shown = o;
        return false;
    };
    r.rc.ProgramMenuCommand(1);
    EXPECT_EQ(shown, (ProgramSetupOptions{1, 0, 2, 1, 0}));
    EXPECT_FALSE(r.doc.Modified());
    EXPECT_TRUE(r.doc.Transferred());

    // OK with the same values: unsaved and not transferred.
    r.rc.editSetup = [](ProgramSetupOptions&) { return true; };
    r.rc.ProgramMenuCommand(1);
    EXPECT_TRUE(r.doc.Modified());
    EXPECT_FALSE(r.doc.Transferred());
    EXPECT_EQ(r.doc.ExpectedChecksum(), -1);
    EXPECT_EQ(r.doc.Options(), (ProgramSetupOptions{1, 0, 2, 1, 0}));

    EXPECT_EQ(r.sent, Sent{});
}

// An uploaded program without source, its setup confirmed, then sent again:
// once the module reports the held code's checksum it counts as transferred,
// and Start no longer asks to transfer it once more.
TEST(RunControl, HeldCodeSentAgainAfterSetupCountsAsTransferred)
{
    Rig r;
    const Bytes code{0x07, 0x75, 0x20, 0x00, 0x00};
    const std::uint16_t sum = 0x07 + 0x75 + 0x20;
    const Bytes image{0x0D, 0x00, 0xA1, 0x05, 0x00, static_cast<std::uint8_t>(sum & 0xFF),
                      static_cast<std::uint8_t>(sum >> 8), 0x07, 0x75, 0x20, 0x00, 0x00, 0xAF};
    ASSERT_EQ(image.size(), 0x0Du);
    r.rc.ProgramMenuCommand(2, &image);
    ASSERT_EQ(r.doc.Program().GetType(), kProgramBinaryOnly);
    r.Status(0, 0, sum);
    ASSERT_TRUE(r.doc.Transferred());

    r.rc.editSetup = [](ProgramSetupOptions& o) {
        o.transferSetting = 2;
        return true;
    };
    r.rc.ProgramMenuCommand(1);
    EXPECT_FALSE(r.doc.Transferred());

    r.sent.clear();
    r.rc.TransferButtonClick();
    ASSERT_EQ(r.images.size(), 1u);
    EXPECT_EQ(r.images[0], image);
    r.Status(0, 0, sum);
    EXPECT_TRUE(r.doc.Transferred());
    EXPECT_EQ(r.doc.ExpectedChecksum(), sum);

    r.sent.clear();
    r.ui.asked.clear();
    r.rc.StartButtonClick();
    EXPECT_TRUE(r.ui.asked.empty());
    EXPECT_EQ(r.sent, (Sent{{1, 0, 0}}));
}

TEST(RunControl, NewAndClearProgram)
{
    // The End instruction alone, as a code block of the download image.
    const Bytes clearedImage{0x09, 0x00, 0xA1, 0x01, 0x00, 0x00, 0x00, 0x00, 0xAF};
    struct Row {
        int command;
        bool modified;
        bool answer;
        bool asks;
        bool done;
    };
    const Row rows[] = {
        {0, false, false, false, true}, {0, true, false, true, false}, {0, true, true, true, true},
        {5, false, false, false, true}, {5, true, false, true, false}, {5, true, true, true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "command " << row.command << " modified " << row.modified << " answer "
                                        << row.answer);
        Rig r;
        r.ThreeLines();
        r.doc.SetOptions({1, 1, 1, 1, 1});
        r.doc.SetModified(row.modified);
        int resets = 0;
        r.rc.resetEditing = [&] { ++resets; };
        r.ui.answers = {row.answer};
        r.rc.ProgramMenuCommand(row.command);

        ASSERT_EQ(r.ui.asked.size(), row.asks ? 1u : 0u);
        if (row.asks) {
            EXPECT_EQ(r.ui.asked[0], row.command == 0
                                         ? "Your program is not saved, are you sure you want a new program?"
                                         : "Your program is not saved, are you sure you want to clear the program?");
        }
        if (!row.done) {
            EXPECT_TRUE(r.sent.empty());
            EXPECT_EQ(r.doc.Program().Lines().size(), 3u);
            EXPECT_TRUE(r.doc.Modified());
            EXPECT_NE(r.doc.Code(), nullptr);
            EXPECT_EQ(resets, 0);
            continue;
        }
        if (row.command == 0) {
            EXPECT_EQ(r.sent, (Sent{{8, 0, 0}}));
        } else {
            EXPECT_EQ(r.sent, (Sent{{0, 0, 0}}));
            EXPECT_EQ(r.typesAtTransfer, std::vector<int>{kProgramBinaryOnly});
            ASSERT_EQ(r.images.size(), 1u);
            EXPECT_EQ(r.images[0], clearedImage);
        }
        EXPECT_TRUE(r.doc.Program().IsEmpty());
        EXPECT_EQ(r.doc.Program().GetType(), kProgramNone);
        EXPECT_EQ(r.doc.Program().BinaryBlock(), nullptr);
        EXPECT_EQ(r.doc.Code(), nullptr);
        EXPECT_FALSE(r.doc.Modified());
        EXPECT_EQ(r.doc.ExpectedChecksum(), -1);
        EXPECT_EQ(r.doc.Options(), ProgramSetupOptions{});
        EXPECT_EQ(resets, 1);
        EXPECT_GE(r.ui.changed, 1);
        // Nothing is left to send after either.
        EXPECT_TRUE(r.doc.BuildTransferImage().empty());
    }
}

TEST(RunControl, InformationAndSizeTexts)
{
    using T = std::tuple<std::uint16_t, std::uint16_t, std::uint16_t, const char*, const char*, const char*>;
    for (const auto& [code, source, remarks, program, withSource, withRemarks] :
         {T{300, 0, 0, "300 B", "NA", "NA"}, T{120, 60, 25, "120 B", "180 B", "205 B"},
          T{0, 0, 7, "0 B", "NA", "NA"}, T{65535, 10, 1, "65535 B", "65545 B", "65546 B"}}) {
        const ProgramSizeTexts t = SizeTexts(code, source, remarks);
        EXPECT_EQ(t.program, program);
        EXPECT_EQ(t.programSource, withSource);
        EXPECT_EQ(t.programSourceRem, withRemarks);
    }

    // A binary-only program of 300 bytes: its size and no source.
    Rig r;
    const Bytes held(300, 0x01);
    r.doc.Program().SetBinaryOnly(held.data(), held.size(), 0x11);
    const ProgramInformation binary = r.rc.Information();
    EXPECT_EQ(binary.codeSize, 300u);
    EXPECT_EQ(binary.sourceSize, 0u);
    EXPECT_EQ(binary.lines, "NA");
    EXPECT_EQ(binary.checksum, "-1");
    EXPECT_EQ(binary.mode, "Binary source");

    // A program with code: lines counted to the last, remarks apart.
    r.ThreeLines();
    r.doc.Program().SetRemark(5, "twenty-five bytes of text");
    ProgramInformation shown;
    r.rc.showInformation = [&](const ProgramInformation& i) { shown = i; };
    r.rc.ProgramMenuCommand(3);
    ASSERT_NE(r.doc.Code(), nullptr);
    EXPECT_EQ(shown.codeSize, r.doc.Code()->CodeSize());
    EXPECT_EQ(shown.lines, "6");
    EXPECT_EQ(shown.mode, "Absolute and relative");
    EXPECT_EQ(shown.checksum, std::to_string(r.doc.Code()->GetChecksum()));
    EXPECT_GT(shown.sourceSize, 0u);
    EXPECT_GE(shown.remarkSize, 25u);
    EXPECT_EQ(shown.sourceSize + shown.remarkSize, r.doc.Program().SaveToMemory(false));
}
