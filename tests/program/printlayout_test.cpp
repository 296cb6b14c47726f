#include "program/printlayout.h"

#include "program/graphicprogram.h"

#include <gtest/gtest.h>

#include <string>

using namespace quenor;

namespace {

TEST(PrintLayout, RowsFillPagesAndEveryFooterCountsAllPages)
{
    const struct {
        int dpi, height, fontHeight, last, rowsPerPage, pages;
    } cases[] = {
        {150, 230, 19, 9, 4, 3},        // R = 4, lines 0-9
        {1200, 14031, 150, 99, 20, 5},  // A4
        {72, 842, 9, 99, 19, 6},        // under 100 dpi
        {300, 100, 9, 2, 1, 3},         // no room for a row: one a page
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.dpi) + " dpi, last line " + std::to_string(c.last));
        // A wait on every even line and on the last, the others empty.
        CGraphicProgram program;
        program.SetType(kProgramAbsoluteRelative);
        for (int line = 0; line <= c.last; ++line)
            if (line % 2 == 0 || line == c.last)
                program.SetLine(static_cast<std::uint16_t>(line), kCmdWait, NewCommandData(kCmdWait));
        const ProgramPrintLayout layout =
            LayoutProgramPrint(program, {}, 1234, {2000, c.height, c.dpi, c.dpi, c.fontHeight}, "", "");
        EXPECT_EQ(layout.rowsPerPage, c.rowsPerPage);
        ASSERT_EQ(layout.pageCount, c.pages);
        ASSERT_EQ(layout.rows.size(), static_cast<std::size_t>(c.last + 1));
        for (const PrintRow& row : layout.rows) {
            const std::string number = std::to_string(row.line + 1) + ": ";
            EXPECT_EQ(row.page, row.line / c.rowsPerPage) << row.line;
            EXPECT_EQ(row.icon, row.line % 2 == 0 || row.line == c.last) << row.line;
            EXPECT_EQ(row.text.text, row.icon ? number + "Wait 0 ms" : number);
            EXPECT_GT(row.iconRect.top, layout.header.bottom);
            EXPECT_GT(row.iconRect.Height(), 0);
        }
        for (int page = 0; page < c.pages; ++page)
            EXPECT_EQ(layout.FooterTexts(page)[2].text, "Page " + std::to_string(page + 1) + "/" + std::to_string(c.pages));
        EXPECT_EQ(layout.FooterTexts(0)[1].text, "Checksum: 1234");
    }
}

TEST(PrintLayout, TypeTextNamesTheTypeAndTheOptionsThatAreOn)
{
    const struct {
        int type, filter, skip;
        const char* text;
    } cases[] = {
        {1, 0, 0, "Absolute and relative"},
        {2, 1, 0, "Endless relative (Input filter)"},
        {2, 0, 1, "Endless relative (Skip initialization)"},
        {1, 1, 1, "Absolute and relative (Input filter and Skip initialization)"},
        {0, 1, 1, ""},
        {3, 0, 0, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProgramTypeText(c.type, {std::uint8_t(c.filter), std::uint8_t(c.skip)}), c.text);
}

TEST(PrintLayout, ElisionKeepsTheStartOrTheFileName)
{
    const TextMeasure perChar = [](std::string_view s) { return static_cast<int>(s.size()); };
    const struct {
        const char* text;
        int width;
        PrintEllipsis mode;
        const char* shown;
    } cases[] = {
        {"12: Wait 100 ms", 10, PrintEllipsis::End, "12: Wai..."},
        {"12: Wait 100 ms", 2, PrintEllipsis::End, ""},
        {"/home/tech/machines/press/setup.txt", 20, PrintEllipsis::Path, "/home/t.../setup.txt"},
        {"C:\\machines\\press\\setup.txt", 18, PrintEllipsis::Path, "C:\\ma...\\setup.txt"},
        {"/a/very-long-file-name.txt", 12, PrintEllipsis::Path, ".../very-..."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ElideText(c.text, c.width, c.mode, perChar), c.shown) << c.text;
}

}  // namespace
