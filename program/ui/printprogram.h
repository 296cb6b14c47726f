#pragma once
// "Print program": lets the user choose a printer and prints the listing of
// the editor's program on it, laid out by LayoutProgramPrint. A listing
// printed into a file (a PDF) is saved as the user's files are: whole, or not
// at all with the reason in the box.
//
// The print dialog is handed in, so that tests print into a PDF file without
// one: it sets the printer up and says whether to print.

#include "program/printlayout.h"
#include "program/vizuware.h"

#include <QPixmap>
#include <QString>

#include <functional>
#include <string>

class QPainter;
class QPrinter;
class QWidget;

namespace quenor {

class TVizuWareSelectCommand;

struct PrintDialogOutcome {
    enum class Kind { Print, Cancel, Failed };
    Kind kind = Kind::Cancel;
    std::string error;  // what the printing subsystem said, for Failed
};
using PrintDialogFunction = std::function<PrintDialogOutcome(QPrinter& printer)>;

// The print dialog as a modal QPrintDialog over parent.
PrintDialogFunction QtPrintDialog(QWidget* parent);

struct ProgramPrintHooks {
    PrintDialogFunction dialog;
    std::function<void(const std::string& text)> message;  // Windows-1252
    std::function<QPixmap(int id)> icon;                   // a command's icon, null for none
};

// The palette's icon of a command as printed: the normal image of its large
// glyph (the glyph holds the normal and the disabled image side by side).
QPixmap CommandPrintIcon(const TVizuWareSelectCommand& palette, int id);

// Prints the program of a document of type 1 or 2 (any other prints nothing
// and shows nothing). Generates code first, so that the printed checksum is
// that of the listing. title: the setup file's name, empty for none.
void PrintProgram(CVizuWareDocument& document, const QString& title, const ProgramPrintHooks& hooks);

// Draws a layout on a painter that is active on its page; newPage starts the
// next page. Exposed for the printer pass and its tests.
void PaintProgramLayout(QPainter& painter, const ProgramPrintLayout& layout, const std::function<bool()>& newPage,
                        const std::function<QPixmap(int id)>& icon);

// The message shown when the print dialog fails.
std::string UnablePrintText(const std::string& error);

}  // namespace quenor
