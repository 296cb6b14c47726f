#include "program/printlayout.h"

#include "program/rowtexts.h"

#include <algorithm>
#include <cstdio>

namespace quenor {

namespace {

constexpr int kGap = 10;
constexpr int kIconLeft = 500;
constexpr int kIconSize = 32;     // hundredths of an inch
constexpr int kTextIndent = 10;   // from the icon's right edge
constexpr int kTitleSpacing = 50; // between the title and the type text
constexpr const char* kEllipsis = "...";

// The printer's resolution in device pixels per hundredth of an inch. Below
// 100 dpi the quotient would be 0 and every row would have no height.
int PerHundredth(int dpi)
{
    return std::max(1, dpi / 100);
}

// The longest n in [0, count] for which fits(n) holds, -1 when none does;
// fits must be monotonic (true up to some n, false after).
template <typename Fits>
int LongestFitting(int count, Fits fits)
{
    if (!fits(0))
        return -1;
    int lo = 0, hi = count;
    while (lo < hi) {
        const int mid = lo + (hi - lo + 1) / 2;
        if (fits(mid))
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo;
}

}  // namespace

bool IsPrintableProgram(const CGraphicProgram& program)
{
    const int type = program.GetType();
    return type == kProgramAbsoluteRelative || type == kProgramEndlessRelative;
}

std::string ProgramTypeText(int type, const ProgramSetupOptions& options)
{
    std::string text;
    if (type == kProgramAbsoluteRelative)
        text = "Absolute and relative";
    else if (type == kProgramEndlessRelative)
        text = "Endless relative";
    else
        return text;
    const bool filter = options.inputFilter != 0;
    const bool skip = options.skipInitialization != 0;
    if (filter || skip) {
        text += " (";
        if (filter)
            text += "Input filter";
        if (filter && skip)
            text += " and ";
        if (skip)
            text += "Skip initialization";
        text += ")";
    }
    return text;
}

std::vector<PrintText> ProgramPrintLayout::HeaderTexts(int typeTextWidth) const
{
    const int w = header.right;
    PrintText type{{w - typeTextWidth, header.top, w, header.bottom}, typeText, PrintAlign::Right,
                   PrintEllipsis::None};
    PrintText name{{0, header.top, type.rect.left - kTitleSpacing * xr, header.bottom}, title, PrintAlign::Left,
                   PrintEllipsis::Path};
    return {name, type};
}

std::vector<PrintText> ProgramPrintLayout::FooterTexts(int page) const
{
    char pageText[48];
    std::snprintf(pageText, sizeof pageText, "Page %i/%i", page + 1, pageCount);
    return {{footer, dateText, PrintAlign::Left, PrintEllipsis::None},
            {footer, checksumText, PrintAlign::Center, PrintEllipsis::None},
            {footer, pageText, PrintAlign::Right, PrintEllipsis::None}};
}

ProgramPrintLayout LayoutProgramPrint(const CGraphicProgram& program, const ProgramSetupOptions& options,
                                      std::int32_t checksum, const PrintPage& page, std::string title,
                                      std::string dateText)
{
    ProgramPrintLayout layout;
    const int xr = layout.xr = PerHundredth(page.dpiX);
    const int yr = layout.yr = PerHundredth(page.dpiY);
    const int h = layout.h = 1 + page.fontHeight;
    const int W = page.width;
    const int H = page.height;

    layout.title = std::move(title);
    layout.dateText = std::move(dateText);
    layout.typeText = ProgramTypeText(program.GetType(), options);
    char checksumText[40];
    std::snprintf(checksumText, sizeof checksumText, "Checksum: %i", static_cast<int>(checksum));
    layout.checksumText = checksumText;
    layout.header = {0, 0, W, h * yr};
    layout.footer = {0, H - h * yr, W, H};

    // A page too small for one row still takes one, on a page of its own.
    layout.rowsPerPage = std::max(1, (H - (2 * h + kGap) * yr) / ((kGap + kIconSize) * yr));
    const int last = program.LastLineNumber();
    layout.pageCount = last / layout.rowsPerPage + 1;
    if (!IsPrintableProgram(program))
        return layout;

    const int rowLimit = H - (h + kGap) * yr;
    const int iconRight = kIconLeft + kIconSize * xr;
    int pageIndex = 0;
    int r = 0;
    layout.rows.reserve(static_cast<std::size_t>(last) + 1);
    for (int line = 0; line <= last; ++line) {
        int top = (h + kGap + (kGap + kIconSize) * r) * yr;
        int bottom = top + kIconSize * yr;
        if (bottom > rowLimit && r > 0) {
            ++pageIndex;
            r = 0;
            top = (h + kGap) * yr;
            bottom = top + kIconSize * yr;
        }
        PrintRow row;
        row.page = pageIndex;
        row.line = static_cast<std::uint16_t>(line);
        const std::vector<std::uint8_t>* cells = nullptr;
        if (!program.GetLine(row.line, row.id, cells))
            row.id = 0;
        row.icon = row.id != 0;
        row.iconRect = {kIconLeft, top, iconRight, bottom};
        const std::span<const std::uint8_t> cellSpan =
            cells ? std::span<const std::uint8_t>(*cells) : std::span<const std::uint8_t>();
        row.text = {{iconRight + kTextIndent * xr, top, W, bottom},
                    std::to_string(line + 1) + ": " + DescribeCommand(program, row.line, row.id, cellSpan),
                    PrintAlign::Left, PrintEllipsis::End};
        layout.rows.push_back(std::move(row));
        ++r;
    }
    // The breaks above and the count from the rows per page agree; should a
    // font make them differ, the footers still count the pages printed.
    layout.pageCount = std::max(layout.pageCount, pageIndex + 1);
    return layout;
}

std::string ElideText(const std::string& text, int width, PrintEllipsis mode, const TextMeasure& measure)
{
    if (mode == PrintEllipsis::None || measure(text) <= width)
        return text;
    const std::string ellipsis = kEllipsis;
    if (mode == PrintEllipsis::Path) {
        const std::size_t sep = text.find_last_of("/\\");
        if (sep != std::string::npos && sep > 0) {
            const std::string tail = text.substr(sep);
            const int keep = LongestFitting(static_cast<int>(sep), [&](int n) {
                return measure(text.substr(0, static_cast<std::size_t>(n)) + ellipsis + tail) <= width;
            });
            if (keep >= 0)
                return text.substr(0, static_cast<std::size_t>(keep)) + ellipsis + tail;
            return ElideText(ellipsis + tail, width, PrintEllipsis::End, measure);
        }
    }
    const int keep = LongestFitting(static_cast<int>(text.size()), [&](int n) {
        return measure(text.substr(0, static_cast<std::size_t>(n)) + ellipsis) <= width;
    });
    return keep < 0 ? std::string() : text.substr(0, static_cast<std::size_t>(keep)) + ellipsis;
}

}  // namespace quenor
