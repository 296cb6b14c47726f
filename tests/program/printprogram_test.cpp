#include "program/ui/printprogram.h"
#include "program/ui/vizuwareselectcommand.h"

#include "program/graphicprogram.h"

#include <QFile>
#include <QPageSize>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/regularfile.h"
#include "support/qtapp.h"
#include "support/savefaults.h"

#include <string>
#include <vector>

using namespace quenor;

namespace {

struct SilentUi : VizuWareUi {
    bool Ask(const std::string&, const std::string&, Buttons) override { return true; }
    void Message(const std::string&, const std::string&) override {}
};

class PrintProgramTest : public ::testing::Test {
protected:
    PrintProgramTest() : document(ui)
    {
        QApplication::setFont(QFont(savedFont.family(), 9));
        document.SetLogPath("");
        document.Program().SetType(kProgramAbsoluteRelative);
        // Lines 0-99: a wait on every even line and on the last, the others empty.
        for (std::uint16_t line = 0; line < 100; line += 2)
            document.Program().SetLine(line, kCmdWait, NewCommandData(kCmdWait));
        document.Program().SetLine(99, kCmdWait, NewCommandData(kCmdWait));
        pdf = dir.filePath(QStringLiteral("listing.pdf"));
    }
    ~PrintProgramTest() override { QApplication::setFont(savedFont); }

    // Prints with a dialog that chooses a PDF file on A4 at dpi and answers kind.
    void Print(int dpi, PrintDialogOutcome::Kind kind = PrintDialogOutcome::Kind::Print, std::string error = {})
    {
        ProgramPrintHooks hooks;
        hooks.dialog = [&](QPrinter& printer) {
            ++dialogs;
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            printer.setResolution(dpi);
            printer.setPageSize(QPageSize(QPageSize::A4));
            printer.setFullPage(true);
            return PrintDialogOutcome{kind, error};
        };
        hooks.message = [this](const std::string& text) { messages.push_back(text); };
        hooks.icon = [this](int id) {
            icons.push_back(id);
            return CommandPrintIcon(palette, id);
        };
        PrintProgram(document, QStringLiteral("/home/tech/press.txt"), hooks);
    }

    int PdfPages() const
    {
        QFile file(pdf);
        if (!file.open(QIODevice::ReadOnly))
            return -1;
        return static_cast<int>(
            QString::fromLatin1(file.readAll()).count(QRegularExpression(QStringLiteral("/Type\\s*/Page\\b"))));
    }

    QApplication& app = test::TestApp();
    QFont savedFont = QApplication::font();
    SilentUi ui;
    CVizuWareDocument document;
    TVizuWareSelectCommand palette;
    QTemporaryDir dir;
    QString pdf;
    int dialogs = 0;
    std::vector<std::string> messages;
    std::vector<int> icons;
};

TEST_F(PrintProgramTest, PrintsEveryPageIntoThePdfAtHighAndLowResolution)
{
    // A4 with a 9 point font: 20 rows a page at 1200 dpi, 19 at 72 dpi.
    for (const auto& [dpi, pages] : {std::pair{1200, 5}, std::pair{72, 6}}) {
        icons.clear();
        QFile::remove(pdf);
        Print(dpi);
        EXPECT_EQ(PdfPages(), pages) << dpi;
        EXPECT_EQ(icons, std::vector<int>(51, kCmdWait)) << "icons for the waits, none for empty lines";
    }
    EXPECT_TRUE(messages.empty());
    // The icon is the normal half of the palette's two-image glyph.
    const QPixmap icon = CommandPrintIcon(palette, kCmdMove);
    EXPECT_EQ(icon.toImage(), palette.LargeGlyph(kCmdMove).copy(0, 0, 32, 32).toImage());
}

TEST_F(PrintProgramTest, FailingOrCancelledDialogAndProgramsWithoutListingPrintNothing)
{
    using Kind = PrintDialogOutcome::Kind;
    const struct {
        std::uint8_t type;
        Kind kind;
        const char* message;
        int dialogs;
    } cases[] = {
        {kProgramAbsoluteRelative, Kind::Failed,
         "Unable to print.\r\n\r\nThe printing subsystem reported the following error:\r\n\r\n\"No printer\"", 1},
        {kProgramEndlessRelative, Kind::Cancel, nullptr, 1},
        {kProgramNone, Kind::Print, nullptr, 0},
        {kProgramBinaryOnly, Kind::Print, nullptr, 0},
    };
    for (const auto& c : cases) {
        messages.clear();
        dialogs = 0;
        document.Program().SetType(c.type);
        Print(300, c.kind, "No printer");
        EXPECT_EQ(dialogs, c.dialogs);
        EXPECT_EQ(messages, c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
        EXPECT_FALSE(QFile::exists(pdf));
    }
}

// A listing printed into a file that the disk cannot take whole is not
// printed: the box says why, and the old file stays as it was.
TEST_F(PrintProgramTest, APrintIntoAFileThatCannotTakeItSaysWhyAndKeepsTheOldFile)
{
    const std::string old = "%PDF-1.4 the user's earlier listing\n";
    {
        QFile file(pdf);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(old.data(), static_cast<qint64>(old.size()));
    }
    {
        test::FileSizeLimit full(1024);  // the listing takes some 100 KB
        Print(72);
    }
    EXPECT_EQ(messages, std::vector<std::string>{UnablePrintText("The file cannot be written: file too large.")});
    EXPECT_EQ(ReadWholeFile(QFile::encodeName(pdf).toStdString()), old);
}

}  // namespace
