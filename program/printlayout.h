#pragma once
// The printed listing of a motion program, laid out without a printer: a
// header band with the setup file's name and the program type, one row per
// program line with the command's icon and its row text, and a footer band
// with the date, the checksum and the page number. All quantities are printer
// device pixels; the painter only draws what this says.

#include "program/graphicprogram.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quenor {

struct PrintRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const PrintRect&) const = default;
};

enum class PrintAlign { Left, Center, Right };
// How a text that does not fit is cut: End drops its end, Path keeps the
// file name and drops part of the folders before it.
enum class PrintEllipsis { None, End, Path };

// One single-line text, vertically centred in its rectangle.
struct PrintText {
    PrintRect rect;
    std::string text;  // Windows-1252
    PrintAlign align = PrintAlign::Left;
    PrintEllipsis ellipsis = PrintEllipsis::None;
};

// What the page offers: its size, the printer's resolution and the height of
// the printing font, all in device pixels (dots per inch for the resolution).
struct PrintPage {
    int width = 0;
    int height = 0;
    int dpiX = 0;
    int dpiY = 0;
    int fontHeight = 0;
};

struct PrintRow {
    int page = 0;  // from 0
    std::uint16_t line = 0;
    std::uint8_t id = 0;   // the command, 0 for an empty line
    bool icon = false;     // false: no icon is drawn (empty line)
    PrintRect iconRect;    // where the palette icon is stretched into
    PrintText text;        // "n: " + the row text, end ellipsis
};

struct ProgramPrintLayout {
    int xr = 1;           // device pixels per hundredth of an inch, at least 1
    int yr = 1;
    int h = 0;            // text height unit: 1 + the font height
    int rowsPerPage = 1;  // at least 1
    int pageCount = 1;
    PrintRect header;
    PrintRect footer;
    std::string title;
    std::string typeText;
    std::string dateText;
    std::string checksumText;
    std::vector<PrintRow> rows;

    // The header's texts once the type text's width is known: the type text
    // right-aligned at the right edge, the title (path ellipsis) left of it.
    std::vector<PrintText> HeaderTexts(int typeTextWidth) const;
    // The footer's texts of a page (from 0): date, checksum, "Page n/P".
    std::vector<PrintText> FooterTexts(int page) const;
};

// Only programs of these types have a listing to print.
bool IsPrintableProgram(const CGraphicProgram& program);

// "Absolute and relative" or "Endless relative", then the options that are on
// in brackets; empty for other types.
std::string ProgramTypeText(int type, const ProgramSetupOptions& options);

// The layout of a printable program (empty rows for any other).
ProgramPrintLayout LayoutProgramPrint(const CGraphicProgram& program, const ProgramSetupOptions& options,
                                      std::int32_t checksum, const PrintPage& page, std::string title,
                                      std::string dateText);

// Cuts text to fit width under the given measure, "..." marking what was
// dropped. End keeps the start; Path keeps the text after the last '/' or
// '\' and cuts the folders before it (and, when even that is too wide, the
// end of what remains).
using TextMeasure = std::function<int(std::string_view)>;
std::string ElideText(const std::string& text, int width, PrintEllipsis mode, const TextMeasure& measure);

}  // namespace quenor
