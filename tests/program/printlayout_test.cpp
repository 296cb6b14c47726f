#include "program/printlayout.h"

#include "program/graphicprogram.h"

#include <gtest/gtest.h>

#include <string>

using namespace quenor;

namespace {

// Lines 0..last of type 1: a wait on every line that `filled` says, empty lines between.
CGraphicProgram Program(int last, bool (*filled)(int) = [](int line) { return line % 2 == 0; })
{
    CGraphicProgram program;
    program.SetType(kProgramAbsoluteRelative);
    for (int line = 0; line <= last; ++line)
        if (filled(line) || line == last)
            program.SetLine(static_cast<std::uint16_t>(line), kCmdWait, NewCommandData(kCmdWait));
    return program;
}

struct PageCase {
    int dpi, height, fontHeight, last;
    int rowsPerPage, pages, yr;
};

class Pages : public ::testing::TestWithParam<PageCase> {};

TEST_P(Pages, RowsGoOnPagesOfRowsPerPageAndEveryFooterCountsThemAll)
{
    const PageCase c = GetParam();
    const CGraphicProgram program = Program(c.last);
    const ProgramPrintLayout layout =
        LayoutProgramPrint(program, {}, 1234, {2000, c.height, c.dpi, c.dpi, c.fontHeight}, "", "");
    EXPECT_EQ(layout.yr, c.yr);
    EXPECT_EQ(layout.rowsPerPage, c.rowsPerPage);
    ASSERT_EQ(layout.pageCount, c.pages);
    ASSERT_EQ(layout.rows.size(), static_cast<std::size_t>(c.last + 1));
    for (const PrintRow& row : layout.rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(row.page, row.line / c.rowsPerPage);
        EXPECT_EQ(row.iconRect.Height(), 32 * c.yr);
        EXPECT_GT(row.iconRect.top, layout.header.bottom);
        if (c.rowsPerPage > 1) {  // a row of its own may overlap the footer of a page too small
            EXPECT_LT(row.iconRect.bottom, layout.footer.top);
        }
        EXPECT_EQ(row.text.rect.top, row.iconRect.top);
        EXPECT_EQ(row.text.ellipsis, PrintEllipsis::End);
    }
    for (int page = 0; page < c.pages; ++page)
        EXPECT_EQ(layout.FooterTexts(page)[2].text, "Page " + std::to_string(page + 1) + "/" + std::to_string(c.pages));
    EXPECT_EQ(layout.FooterTexts(0)[1].text, "Checksum: 1234");
}

INSTANTIATE_TEST_SUITE_P(Printing, Pages,
                         ::testing::Values(PageCase{150, 230, 19, 9, 4, 3, 1},          // R = 4, lines 0-9
                                           PageCase{1200, 14031, 150, 99, 20, 5, 12},  // A4 at 1200 dpi
                                           PageCase{72, 842, 9, 99, 19, 6, 1},         // A4 at 72 dpi
                                           PageCase{50, 585, 6, 30, 13, 3, 1},         // under 100 dpi
                                           PageCase{300, 100, 9, 2, 1, 3, 3},          // no room for a row
                                           PageCase{150, 230, 19, 0, 4, 1, 1}),        // one line
                         [](const ::testing::TestParamInfo<PageCase>& info) {
                             return std::to_string(info.param.dpi) + "dpi_H" + std::to_string(info.param.height) +
                                    "_last" + std::to_string(info.param.last);
                         });

TEST(PrintLayout, AnEmptyLineGetsItsNumberAndNoIcon)
{
    const CGraphicProgram program = Program(3, [](int line) { return line != 1; });
    const ProgramPrintLayout layout = LayoutProgramPrint(program, {}, -1, {2000, 3000, 300, 300, 40}, "", "");
    ASSERT_EQ(layout.rows.size(), 4u);
    EXPECT_FALSE(layout.rows[1].icon);
    EXPECT_EQ(layout.rows[1].text.text, "2: ");
    EXPECT_TRUE(layout.rows[0].icon);
    EXPECT_EQ(layout.rows[0].id, kCmdWait);
    EXPECT_EQ(layout.rows[0].text.text.rfind("1: Wait ", 0), 0u) << layout.rows[0].text.text;
    // The icon at 500, 32 hundredths square; the text 10 hundredths right of it.
    EXPECT_EQ(layout.rows[0].iconRect, (PrintRect{500, (41 + 10) * 3, 500 + 96, (41 + 10) * 3 + 96}));
    EXPECT_EQ(layout.rows[0].text.rect.left, 500 + 96 + 30);
    EXPECT_EQ(layout.rows[0].text.rect.right, 2000);
}

TEST(PrintLayout, TypeTextNamesTheTypeAndTheOptionsThatAreOn)
{
    struct Case {
        int type;
        std::uint8_t filter, skip;
        const char* text;
    };
    const Case cases[] = {
        {1, 0, 0, "Absolute and relative"},
        {2, 0, 0, "Endless relative"},
        {1, 1, 0, "Absolute and relative (Input filter)"},
        {2, 0, 1, "Endless relative (Skip initialization)"},
        {1, 1, 1, "Absolute and relative (Input filter and Skip initialization)"},
        {0, 1, 1, ""},
        {3, 0, 0, ""},
    };
    for (const Case& c : cases) {
        ProgramSetupOptions options;
        options.inputFilter = c.filter;
        options.skipInitialization = c.skip;
        EXPECT_EQ(ProgramTypeText(c.type, options), c.text) << c.type << " " << int(c.filter) << int(c.skip);
        CGraphicProgram program = Program(2);
        program.SetType(static_cast<std::uint8_t>(c.type));
        const ProgramPrintLayout layout = LayoutProgramPrint(program, options, 0, {2000, 3000, 300, 300, 40}, "", "");
        EXPECT_EQ(layout.rows.empty(), c.type != 1 && c.type != 2);
    }
}

TEST(PrintLayout, HeaderPutsTheTypeRightAndTheTitleBeforeIt)
{
    const ProgramPrintLayout layout =
        LayoutProgramPrint(Program(1), {}, 7, {4000, 6000, 600, 600, 49}, "/home/t/setup.txt", "date");
    EXPECT_EQ(layout.header, (PrintRect{0, 0, 4000, 50 * 6}));
    EXPECT_EQ(layout.footer, (PrintRect{0, 6000 - 50 * 6, 4000, 6000}));
    const auto header = layout.HeaderTexts(700);
    ASSERT_EQ(header.size(), 2u);
    EXPECT_EQ(header[0].text, "/home/t/setup.txt");
    EXPECT_EQ(header[0].ellipsis, PrintEllipsis::Path);
    EXPECT_EQ(header[0].rect, (PrintRect{0, 0, 4000 - 700 - 50 * 6, 300}));
    EXPECT_EQ(header[1].rect, (PrintRect{3300, 0, 4000, 300}));
    EXPECT_EQ(header[1].align, PrintAlign::Right);
    EXPECT_EQ(layout.FooterTexts(0)[0].text, "date");
}

TEST(PrintLayout, ElisionKeepsWhatMatters)
{
    const TextMeasure perChar = [](std::string_view s) { return static_cast<int>(s.size()); };
    struct Case {
        std::string text;
        int width;
        PrintEllipsis mode;
        const char* shown;
    };
    const Case cases[] = {
        {"12: Wait 100 ms", 15, PrintEllipsis::End, "12: Wait 100 ms"},
        {"12: Wait 100 ms", 10, PrintEllipsis::End, "12: Wai..."},
        {"12: Wait 100 ms", 2, PrintEllipsis::End, ""},
        {"/home/tech/machines/press/setup.txt", 20, PrintEllipsis::Path, "/home/t.../setup.txt"},
        {"C:\\machines\\press\\setup.txt", 18, PrintEllipsis::Path, "C:\\ma...\\setup.txt"},
        {"/a/very-long-file-name.txt", 12, PrintEllipsis::Path, ".../very-..."},
        {"no-folder-name.txt", 10, PrintEllipsis::Path, "no-fold..."},
    };
    for (const Case& c : cases) {
        const std::string shown = ElideText(c.text, c.width, c.mode, perChar);
        EXPECT_EQ(shown, c.shown) << c.text;
        EXPECT_LE(perChar(shown), c.width) << c.text;
    }
}

}  // namespace
