#include "program/ui/vizuwareform.h"
#include "program/ui/vizuwareselectcommand.h"

#include "program/graphicprogram.h"
#include "support/vizudoubles.h"
#include "program/vizucode.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QHelpEvent>
#include <QStyle>
#include <QToolTip>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include "support/qtapp.h"

#include <algorithm>
#include <functional>

using namespace quenor;

namespace {

class CountingPalette : public VizuCommandPalette {
public:
    int Choose() override
    {
        ++shown;
        return -1;
    }
    int shown = 0;
};

void Jump(CGraphicProgram& program, std::uint16_t line, std::uint16_t target)
{
    std::vector<std::uint8_t> cells = NewCommandData(kCmdJump);
    CGraphicProgram::SetJumpTarget(cells, target);
    program.SetLine(line, kCmdJump, cells);
}

class Form : public ::testing::Test {
protected:
    Form() : document(ui)
    {
        quenor::test::TestApp();
        document.Program().SetType(kProgramAbsoluteRelative);
        form = std::make_unique<TVizuWare>(document, dialogs, &palette);
        form->show();
    }
    // A form with this many whole rows under the top panel.
    void Rows(int rows, int width = 800) { form->resize(width, TVizuWare::kTopPanelHeight + 24 * rows + 10); }
    void Wheel(int delta)
    {
        QWheelEvent event(QPointF(200, 100), QPointF(200, 100), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(form.get(), &event);
    }
    QRgb Pixel(int x, int y) const { return form->GutterImage().pixel(x, y) & 0xFFFFFF; }
    // The colour is on the pixel or its left neighbour (a 2-pixel pen).
    bool Drawn(int x, int y, QRgb color) const { return Pixel(x, y) == color || Pixel(x - 1, y) == color; }
    int X(std::uint16_t line)
    {
        std::uint16_t target = 0;
        int column = 0;
        EXPECT_TRUE(document.Program().GetJump(line, target, column));
        return form->GutterWidthPixels() - 8 * column;
    }
    QRgb ColorOf(std::uint16_t line)
    {
        std::uint16_t target = 0;
        int column = 0;
        EXPECT_TRUE(document.Program().GetJump(line, target, column));
        const SGutterColor c = JumpLineColor(column);
        return qRgb(c.r, c.g, c.b) & 0xFFFFFF;
    }
    QRgb Background() const { return form->palette().color(QPalette::Button).rgb() & 0xFFFFFF; }

    test::SilentUi ui;
    CVizuWareDocument document;
    test::NoDialogs dialogs{true};
    CountingPalette palette;
    std::unique_ptr<TVizuWare> form;
};

// A row's hint shows 200 ms after the mouse rests on it, and stays 32767 ms.
TEST_F(Form, HintsShowSoonAndStayLong)
{
    document.Program().SetRemark(1, "pick and place");
    Rows(5);
    QLabel* row = form->RowNumber(1);
    EXPECT_EQ(row->style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay, nullptr, row), 200);
    QHelpEvent rest(QEvent::ToolTip, QPoint(2, 2), row->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(row, &rest);
    ASSERT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), row->toolTip());
    QWidget* tip = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->inherits("QTipLabel"))
            tip = w;
    ASSERT_NE(tip, nullptr);
    std::vector<int> timers;
    for (const auto& t : QAbstractEventDispatcher::instance()->registeredTimers(tip))
        timers.push_back(t.interval);
    // 32767 ms, which Qt keeps to the nearest second, as every timer of more than 20 s.
    EXPECT_NE(std::find(timers.begin(), timers.end(), 33000), timers.end()) << ::testing::PrintToString(timers);
    QToolTip::hideText();
}

TEST_F(Form, RowsFollowTheHeight)
{
    document.Program().SetRemark(1, "5 \xB5m");  // Windows-1252
    Rows(30);
    EXPECT_EQ(form->RowText(1)->text(), QString::fromUtf8(" REM 5 \u00B5m"));
    EXPECT_EQ(form->RowNumber(1)->toolTip(), QString::fromUtf8("2: REM 5 \u00B5m"));
    ASSERT_EQ(form->RowCount(), 30);
    EXPECT_EQ(form->RowIcon(29)->geometry(), QRect(0, 29 * 24, 40, 24));
    EXPECT_EQ(form->ScrollBar()->pageStep(), 30);
    Rows(10);
    EXPECT_EQ(form->RowCount(), 10);
    EXPECT_NE(form->RowIcon(9), nullptr);
    for (int i = 10; i < 30; ++i)
        EXPECT_EQ(form->RowIcon(i), nullptr) << i;
    Rows(30);
    ASSERT_NE(form->RowIcon(20), nullptr);
    EXPECT_EQ(form->RowIndexOf(form->RowIcon(20)), 20);
    EXPECT_EQ(form->RowIndexOf(form->RowText(20)), -1);
    form->RowIcon(20)->click();  // a new row adds on its empty line like any other
    EXPECT_EQ(palette.shown, 0);  // once the click has returned
    QCoreApplication::processEvents();
    EXPECT_EQ(palette.shown, 1);
    EXPECT_EQ(form->RowNumber(20)->text(), "21:");

    form->resize(800, TVizuWare::kTopPanelHeight + 23);
    EXPECT_EQ(form->RowCount(), 0);
    form->resize(800, 5000);
    EXPECT_EQ(form->RowCount(), TVizuWare::kMaxRows);
}

TEST_F(Form, WheelStepsAddUp)
{
    document.Program().SetLine(40, kCmdWait, NewCommandData(kCmdWait));
    Rows(5);
    form->FormResize();
    form->ScrollBar()->setValue(5);
    ASSERT_EQ(form->TopLine(), 5u);
    int redraws = form->ListingRedraws();
    Wheel(240);
    EXPECT_EQ(form->TopLine(), 3u);
    EXPECT_EQ(form->ListingRedraws(), redraws + 1);
    EXPECT_EQ(form->RowNumber(0)->text(), "4:");
    Wheel(-60);  // half a step: nothing yet
    EXPECT_EQ(form->TopLine(), 3u);
    Wheel(-60);
    EXPECT_EQ(form->TopLine(), 4u);

    form->ScrollBar()->setValue(0);
    redraws = form->ListingRedraws();
    Wheel(240);
    EXPECT_EQ(form->TopLine(), 0u);
    EXPECT_EQ(form->ListingRedraws(), redraws);
}

TEST_F(Form, ViewsByProgramType)
{
    std::vector<std::pair<int, int>> commands;
    form->onCommand = [&commands](int code, int data) { commands.emplace_back(code, data); };
    document.Program().SetType(kProgramNone);
    form->SetModuleType(2);
    EXPECT_TRUE(form->NewProgramPanel()->isVisible());
    EXPECT_FALSE(form->ClientPanel()->isVisible());
    EXPECT_FALSE(form->EndlessRelativeBtn()->isVisible());
    EXPECT_EQ(form->RelAbsBtn()->text(), "New program");
    EXPECT_EQ(form->ProgramTypeGroupBox()->title(), "New program");
    EXPECT_EQ(form->RelAbsLabel()->text(), "It will possible to use both absolute and relative positioning.");
    form->RelAbsBtn()->click();
    EXPECT_EQ(document.Program().GetType(), kProgramAbsoluteRelative);
    EXPECT_TRUE(form->IsAbsRelProgram());
    EXPECT_EQ(commands, (std::vector<std::pair<int, int>>{{8, 1}}));
    EXPECT_TRUE(form->ClientPanel()->isVisible());
    EXPECT_TRUE(form->TopPanel()->isVisible());
    EXPECT_EQ(form->TopPanel()->height(), TVizuWare::kTopPanelHeight);

    document.Program().SetType(kProgramNone);
    form->SetModuleType(0);
    EXPECT_TRUE(form->EndlessRelativeBtn()->isVisible());
    EXPECT_EQ(form->RelAbsBtn()->text(), "Relative + absolute");
    form->EndlessRelativeBtn()->click();
    EXPECT_EQ(document.Program().GetType(), kProgramEndlessRelative);
    EXPECT_FALSE(form->IsAbsRelProgram());

    document.Program().SetType(kProgramBinaryOnly);
    form->ProgramChanged();
    EXPECT_TRUE(form->BinInfoLabel()->isVisible());
    EXPECT_TRUE(form->TopPanel()->isVisible());
    EXPECT_FALSE(form->ClientPanel()->isVisible());
    EXPECT_EQ(form->BinInfoLabel()->text(),
              "The source for program is not avaible. The binary program is 0 Bytes");
}

TEST_F(Form, PopupMenuEnabling)
{
    Jump(document.Program(), 2, 0);
    document.Program().SetLine(3, kCmdNoOperation, {});
    Rows(10);
    struct Row {
        int row;
        bool edit, replace, editJump;
    };
    for (const Row& r : {Row{2, true, true, true}, Row{3, false, true, false}, Row{5, false, false, false}}) {
        form->PopupMenuPopup(r.row);
        EXPECT_EQ(form->CurrentLine(), static_cast<std::uint32_t>(r.row));
        EXPECT_TRUE(form->MenuAction(TVizuWare::kInsert)->isEnabled());
        EXPECT_TRUE(form->MenuAction(TVizuWare::kRemove)->isEnabled());
        EXPECT_EQ(form->MenuAction(TVizuWare::kEdit)->isEnabled(), r.edit) << r.row;
        EXPECT_EQ(form->MenuAction(TVizuWare::kReplace)->isEnabled(), r.replace) << r.row;
        EXPECT_EQ(form->MenuAction(TVizuWare::kClear)->isEnabled(), r.replace) << r.row;
        EXPECT_EQ(form->MenuAction(TVizuWare::kEditJump)->isEnabled(), r.editJump) << r.row;
        EXPECT_FALSE(form->MenuAction(TVizuWare::kPaste)->isVisible());
    }
    // The Delete key on a row icon removes its line and marks the program unsaved.
    document.SetModified(false);
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QCoreApplication::sendEvent(form->RowIcon(0), &del);
    EXPECT_TRUE(document.Program().FindLine(1));
    EXPECT_EQ(document.Program().Line(1)->id, kCmdJump);
    EXPECT_TRUE(document.Modified());
}

TEST_F(Form, GutterPixels)
{
    CGraphicProgram& program = document.Program();
    Rows(10);
    form->RedrawListing();
    const QImage& empty = form->GutterImage();
    ASSERT_EQ(empty.width(), 100);
    for (int y = 0; y < empty.height(); y += 7)
        for (int x = 0; x < 100; x += 3)
            ASSERT_EQ(Pixel(x, y), Background()) << x << "," << y;

    // Wholly below and a self jump on row 4.
    Jump(program, 50, 60);
    Jump(program, 4, 4);
    form->RedrawListing();
    const int H = form->GutterImage().height();
    for (int y = 0; y < H; y += 5)
        EXPECT_EQ(Pixel(3, y), Background());
    const QRgb black = qRgb(0, 0, 0) & 0xFFFFFF;
    const int x4 = X(4);
    EXPECT_TRUE(Drawn((x4 + 99) / 2, 4 * 24 + 8, black));
    EXPECT_TRUE(Drawn(x4, 4 * 24 + 12, black));
    EXPECT_TRUE(Drawn(97, 4 * 24 + 16, black));
    EXPECT_EQ(Pixel(x4, 4 * 24 + 2), Background());
    EXPECT_EQ(Pixel(x4, 3 * 24), Background());

    // A jump spanning the view: a full-height line ending in a down arrowhead.
    program.DeleteLine(4);
    Jump(program, 0, 60);
    form->ScrollBar()->setValue(20);
    const int x0 = X(0);
    for (int y = 0; y < H - 4; y += 9)
        EXPECT_TRUE(Drawn(x0, y, ColorOf(0))) << y;
    EXPECT_TRUE(Drawn(x0 + 1, H - 3, ColorOf(0)));

    // From below the view up to row 2: up its column, then right into the arrowhead.
    Jump(program, 80, 22);
    form->RedrawListing();
    const int x80 = X(80);
    EXPECT_TRUE(Drawn(x80, H - 5, ColorOf(80)));
    EXPECT_TRUE(Drawn(x80, 2 * 24 + 20, ColorOf(80)));
    EXPECT_TRUE(Drawn(97, 2 * 24 + 16, ColorOf(80)));
    EXPECT_EQ(Pixel(x80, 2 * 24 + 10), Background());
}

TEST_F(Form, GutterColumns)
{
    // Thirteen nested jumps need thirteen columns: 107 pixels, or half a
    // narrow form.
    CGraphicProgram& program = document.Program();
    for (std::uint16_t i = 0; i < 13; ++i)
        Jump(program, i, static_cast<std::uint16_t>(40 - i));
    Rows(10);
    form->RedrawListing();
    EXPECT_EQ(form->GutterWidthPixels(), 107);
    EXPECT_EQ(form->GutterImage().width(), 107);
    EXPECT_EQ(form->ClientPanel()->x(), 107);
    int tenth = -1;
    for (std::uint16_t i = 0; i < 13; ++i) {
        std::uint16_t target = 0;
        int column = 0;
        ASSERT_TRUE(program.GetJump(i, target, column));
        if (column == 10)
            tenth = i;
    }
    ASSERT_GE(tenth, 0);
    EXPECT_EQ(ColorOf(static_cast<std::uint16_t>(tenth)), qRgb(0, 0, 0) & 0xFFFFFF);
    EXPECT_TRUE(Drawn(X(static_cast<std::uint16_t>(tenth)), 9 * 24 + 4, ColorOf(static_cast<std::uint16_t>(tenth))));

    form->resize(180, form->height());
    EXPECT_EQ(form->GutterWidthPixels(), 90);
}

TEST_F(Form, DebugPointerFollowsTheProgramCounter)
{
    for (std::uint16_t line = 0; line < 5; ++line)
        document.Program().SetLine(line, kCmdWait, NewCommandData(kCmdWait));
    document.SetLogPath("");
    ASSERT_TRUE(document.GenerateCode());
    Rows(10);
    auto addressOf = [this](std::uint32_t element) {
        for (const SCodeElement& e : document.Code()->Elements())
            if (e.originalIndex == element)
                return e.address;
        ADD_FAILURE() << "no code for element " << element;
        return 0u;
    };
    form->SetProgramCounter(addressOf(3));  // line 2
    EXPECT_EQ(form->DebugPointer()->geometry(), QRect(40, 2 * 24 + 4, 16, 16));
    form->ScrollBar()->setValue(3);
    EXPECT_EQ(form->DebugPointer()->y(), -16);
    form->ScrollBar()->setValue(0);
    form->SetProgramCounter(addressOf(0));  // the start code has no line
    EXPECT_EQ(form->DebugPointer()->y(), -16);
}

// --- Palette ---------------------------------------------------------------------

TEST(Palette, ViewsSlotsAndKeys)
{
    quenor::test::TestApp();
    TVizuWareSelectCommand palette;
    EXPECT_EQ(palette.height(), 227);
    EXPECT_EQ(palette.width(), 415);
    EXPECT_EQ(palette.Button(0), nullptr);
    EXPECT_EQ(palette.Button(kCmdRemark)->geometry(), QRect(164, 7, 40, 40));
    EXPECT_EQ(palette.Button(kCmdSetMode)->geometry(), QRect(211, 7, 40, 40));
    EXPECT_EQ(palette.Label(kCmdRemark)->geometry(), QRect(7, 7, 150, 40));
    EXPECT_EQ(palette.Label(kCmdSetMode)->geometry(), QRect(258, 7, 150, 40));
    EXPECT_EQ(palette.Label(kCmdSetMode)->text(), "Set operation mode");
    EXPECT_EQ(palette.Button(kCmdSetRegister)->geometry(), QRect(164, 195, 40, 40));
    EXPECT_EQ(palette.Button(kCmdBinary)->geometry(), QRect(211, 47 * 7 + 7, 40, 40));
    EXPECT_TRUE(palette.Button(kCmdSetRegister)->isHidden());
    EXPECT_FALSE(palette.Button(kCmdMove)->isHidden());
    EXPECT_EQ(palette.AdvancedButton()->y(), 195);
    EXPECT_EQ(palette.SmallGlyph(kCmdMove).size(), QSize(32, 20));
    EXPECT_EQ(palette.LargeGlyph(kCmdMove).size(), QSize(64, 32));
    EXPECT_TRUE(palette.SmallGlyph(0).isNull());

    palette.AdvancedButton()->click();
    EXPECT_EQ(palette.height(), 415);
    EXPECT_EQ(palette.AdvancedButton()->text(), "&Basic <<");
    EXPECT_EQ(palette.AdvancedButton()->y(), 415 - 7 - 25);
    EXPECT_FALSE(palette.Button(kCmdSetRegister)->isHidden());
    palette.AdvancedButton()->click();
    EXPECT_EQ(palette.height(), 227);
    EXPECT_TRUE(palette.Button(kCmdBinary)->isHidden());

    struct Key {
        int key;
        QString text;
        int result;
    };
    for (const Key& k : {Key{Qt::Key_M, "m", kCmdMove + 1}, Key{Qt::Key_J, "J", kCmdJump + 1},
                         Key{Qt::Key_X, "x", -1}, Key{Qt::Key_Escape, "", -1}}) {
        palette.show();
        QKeyEvent press(QEvent::KeyPress, k.key, Qt::NoModifier, k.text);
        QCoreApplication::sendEvent(&palette, &press);
        EXPECT_EQ(palette.Result(), k.result) << k.text.toStdString();
        palette.hide();
    }
    palette.show();
    palette.Button(kCmdWait)->click();
    EXPECT_EQ(palette.Result(), kCmdWait + 1);
    EXPECT_FALSE(palette.isVisible());
}

}  // namespace
