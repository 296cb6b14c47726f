#include "program/ui/printprogram.h"

#include "platform/cp1252.h"
#include "platform/savefile.h"
#include "program/ui/vizuwareselectcommand.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QFontMetrics>
#include <QLocale>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>

#include <exception>
#include <optional>
#include <string_view>

namespace quenor {

namespace {

QRect ToQRect(const PrintRect& r)
{
    return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
}

Qt::Alignment ToQt(PrintAlign align)
{
    switch (align) {
    case PrintAlign::Center: return Qt::AlignHCenter;
    case PrintAlign::Right: return Qt::AlignRight;
    case PrintAlign::Left: break;
    }
    return Qt::AlignLeft;
}

void DrawText(QPainter& painter, const PrintText& text)
{
    const QFontMetrics metrics = painter.fontMetrics();
    const TextMeasure measure = [&metrics](std::string_view s) {
        return metrics.horizontalAdvance(FromCp1252(s));
    };
    const std::string shown = ElideText(text.text, text.rect.Width(), text.ellipsis, measure);
    painter.drawText(ToQRect(text.rect), ToQt(text.align) | Qt::AlignVCenter | Qt::TextSingleLine,
                     FromCp1252(shown));
}

void DrawBands(QPainter& painter, const ProgramPrintLayout& layout, int page)
{
    const int typeWidth = painter.fontMetrics().horizontalAdvance(FromCp1252(layout.typeText));
    for (const PrintText& text : layout.HeaderTexts(typeWidth))
        DrawText(painter, text);
    for (const PrintText& text : layout.FooterTexts(page))
        DrawText(painter, text);
}

// The date and time printing began, as the user's locale writes a short date.
std::string NowText()
{
    const QDateTime now = QDateTime::currentDateTime();
    return ToCp1252(QLocale::system().toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
                    now.time().toString(QStringLiteral("hh:mm:ss")));
}

// The em height of the painter's font in device pixels.
int FontHeight(const QPainter& painter, const QPaintDevice& device)
{
    const QFont font = painter.font();
    if (font.pixelSize() > 0)
        return font.pixelSize();
    return qRound(font.pointSizeF() * device.logicalDpiY() / 72.0);
}

// A listing printed into a file: drawn into memory as the printer would draw
// it into the file, and saved the way the user's files are saved, so that a
// file that cannot take all of it keeps what it held and says why.
class PrintToFile {
public:
    explicit PrintToFile(const QPrinter& printer)
    {
        buffer_.open(QIODevice::WriteOnly);
        writer_.setPageLayout(printer.pageLayout());
        writer_.setResolution(printer.resolution());
        writer_.setTitle(printer.docName());
        writer_.setCreator(printer.creator());
    }
    QPagedPaintDevice& Device() { return writer_; }
    // Once the painter has ended: false with the reason when the file was not saved.
    bool Save(const QString& file, std::string& reason)
    {
        return SaveWholeFile(QFile::encodeName(file).toStdString(),
                             std::string_view(data_.constData(), static_cast<std::size_t>(data_.size())), &reason);
    }

private:
    QByteArray data_;
    QBuffer buffer_{&data_};
    QPdfWriter writer_{&buffer_};
};

}  // namespace

std::string UnablePrintText(const std::string& error)
{
    return "Unable to print.\r\n\r\nThe printing subsystem reported the following error:\r\n\r\n\"" + error + "\"";
}

PrintDialogFunction QtPrintDialog(QWidget* parent)
{
    return [parent](QPrinter& printer) {
        PrintDialogOutcome outcome;
        try {
            QPrintDialog dialog(&printer, parent);
            // Always the whole listing.
            dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
            dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
            dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
            outcome.kind = dialog.exec() == QDialog::Accepted ? PrintDialogOutcome::Kind::Print
                                                             : PrintDialogOutcome::Kind::Cancel;
        } catch (const std::exception& e) {
            outcome.kind = PrintDialogOutcome::Kind::Failed;
            outcome.error = e.what();
        }
        return outcome;
    };
}

QPixmap CommandPrintIcon(const TVizuWareSelectCommand& palette, int id)
{
    const QPixmap glyph = palette.LargeGlyph(id);
    if (glyph.isNull())
        return glyph;
    return glyph.copy(0, 0, glyph.height(), glyph.height());
}

void PaintProgramLayout(QPainter& painter, const ProgramPrintLayout& layout, const std::function<bool()>& newPage,
                        const std::function<QPixmap(int id)>& icon)
{
    int page = 0;
    DrawBands(painter, layout, page);
    for (const PrintRow& row : layout.rows) {
        if (row.page != page) {
            if (!newPage())
                return;
            page = row.page;
            DrawBands(painter, layout, page);
        }
        if (row.icon && icon) {
            const QPixmap pixmap = icon(row.id);
            if (!pixmap.isNull())
                painter.drawPixmap(ToQRect(row.iconRect), pixmap);
        }
        DrawText(painter, row.text);
    }
}

void PrintProgram(CVizuWareDocument& document, const QString& title, const ProgramPrintHooks& hooks)
{
    if (!IsPrintableProgram(document.Program()))
        return;
    // A listing that does not compile has no checksum; the last one belonged
    // to another program.
    const std::int32_t checksum = document.GenerateCode() ? document.ExpectedChecksum() : -1;

    QPrinter printer(QPrinter::HighResolution);
    const PrintDialogOutcome outcome =
        hooks.dialog ? hooks.dialog(printer) : PrintDialogOutcome{PrintDialogOutcome::Kind::Cancel, {}};
    if (outcome.kind == PrintDialogOutcome::Kind::Failed) {
        if (hooks.message)
            hooks.message(UnablePrintText(outcome.error));
        return;
    }
    if (outcome.kind != PrintDialogOutcome::Kind::Print)
        return;

    const QString file = printer.outputFileName();
    std::optional<PrintToFile> toFile;
    if (!file.isEmpty())
        toFile.emplace(printer);
    QPagedPaintDevice& device = toFile ? toFile->Device() : printer;
    QPainter painter;
    if (!painter.begin(&device)) {
        if (hooks.message)
            hooks.message(UnablePrintText("The printer could not be opened."));
        return;
    }
    PrintPage page;
    page.width = device.width();
    page.height = device.height();
    page.dpiX = device.logicalDpiX();
    page.dpiY = device.logicalDpiY();
    page.fontHeight = FontHeight(painter, device);
    const ProgramPrintLayout layout = LayoutProgramPrint(document.Program(), document.Options(), checksum, page,
                                                         ToCp1252(title), NowText());
    PaintProgramLayout(painter, layout, [&device] { return device.newPage(); }, hooks.icon);
    painter.end();
    if (std::string reason; toFile && !toFile->Save(file, reason) && hooks.message)
        hooks.message(UnablePrintText(reason));
}

}  // namespace quenor
