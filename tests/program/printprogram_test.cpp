#include "program/ui/printprogram.h"
#include "program/ui/vizuwareselectcommand.h"

#include "program/graphicprogram.h"

#include <QFile>
#include <QFont>
#include <QImage>
#include <QPageSize>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/qtapp.h"

#include <string>
#include <vector>

using namespace quenor;

namespace {

class SilentUi : public VizuWareUi {
public:
    bool Ask(const std::string&, const std::string&, Buttons) override { return true; }
    void Message(const std::string&, const std::string&) override {}
};

class PrintProgramTest : public ::testing::Test {
protected:
    PrintProgramTest() : document(ui)
    {
        savedFont = QApplication::font();
        QApplication::setFont(QFont(savedFont.family(), 9));
        document.SetLogPath("");
        document.Program().SetType(kProgramAbsoluteRelative);
        // Lines 0-99, a wait on every even line, odd lines empty.
        for (std::uint16_t line = 0; line < 100; line += 2)
            document.Program().SetLine(line, kCmdWait, NewCommandData(kCmdWait));
        document.Program().SetLine(99, kCmdWait, NewCommandData(kCmdWait));
        EXPECT_TRUE(dir.isValid());
        pdf = dir.filePath(QStringLiteral("listing.pdf"));
    }
    ~PrintProgramTest() override { QApplication::setFont(savedFont); }

    // A dialog that chooses a PDF file on A4 at dpi and answers kind.
    PrintDialogFunction Dialog(int dpi, PrintDialogOutcome::Kind kind = PrintDialogOutcome::Kind::Print,
                               std::string error = {})
    {
        return [this, dpi, kind, error](QPrinter& printer) {
            ++dialogs;
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            printer.setResolution(dpi);
            printer.setPageSize(QPageSize(QPageSize::A4));
            printer.setFullPage(true);
            return PrintDialogOutcome{kind, error};
        };
    }

    ProgramPrintHooks Hooks(PrintDialogFunction dialog)
    {
        ProgramPrintHooks hooks;
        hooks.dialog = std::move(dialog);
        hooks.message = [this](const std::string& text) { messages.push_back(text); };
        hooks.icon = [this](int id) {
            icons.push_back(id);
            return CommandPrintIcon(palette, id);
        };
        return hooks;
    }

    int PdfPages() const
    {
        QFile file(pdf);
        if (!file.open(QIODevice::ReadOnly))
            return -1;
        const QString text = QString::fromLatin1(file.readAll());
        return static_cast<int>(text.count(QRegularExpression(QStringLiteral("/Type\\s*/Page\\b"))));
    }

    QApplication& app = test::TestApp();
    SilentUi ui;
    CVizuWareDocument document;
    TVizuWareSelectCommand palette;
    QFont savedFont;
    QTemporaryDir dir;
    QString pdf;
    int dialogs = 0;
    std::vector<std::string> messages;
    std::vector<int> icons;
};

TEST_F(PrintProgramTest, PrintsEveryPageIntoThePdfAtHighAndLowResolution)
{
    // A4 with a 9 point font: 20 rows a page at 1200 dpi, 19 at 72 dpi.
    const struct {
        int dpi;
        int pages;
    } cases[] = {{1200, 5}, {72, 6}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dpi);
        icons.clear();
        QFile::remove(pdf);
        PrintProgram(document, QStringLiteral("/home/tech/press.txt"), Hooks(Dialog(c.dpi)));
        EXPECT_EQ(PdfPages(), c.pages);
        EXPECT_TRUE(messages.empty());
        // Icons for the 51 waits only, none for the empty lines.
        EXPECT_EQ(icons, std::vector<int>(51, kCmdWait));
    }
    EXPECT_EQ(dialogs, 2);
}

TEST_F(PrintProgramTest, DialogThatFailsOrIsCancelledPrintsNothing)
{
    const struct {
        PrintDialogOutcome::Kind kind;
        const char* error;
        const char* message;
    } cases[] = {
        {PrintDialogOutcome::Kind::Failed, "No printers are installed.",
         "Unable to print.\r\n\r\nThe printing subsystem reported the following error:\r\n\r\n"
         "\"No printers are installed.\""},
        {PrintDialogOutcome::Kind::Cancel, "", nullptr},
    };
    for (const auto& c : cases) {
        messages.clear();
        PrintProgram(document, QString(), Hooks(Dialog(300, c.kind, c.error)));
        EXPECT_FALSE(QFile::exists(pdf));
        if (c.message)
            EXPECT_EQ(messages, std::vector<std::string>{c.message});
        else
            EXPECT_TRUE(messages.empty());
    }
    EXPECT_EQ(dialogs, 2);
}

TEST_F(PrintProgramTest, ProgramsWithoutListingShowNoDialog)
{
    for (std::uint8_t type : {kProgramNone, kProgramBinaryOnly}) {
        document.Program().SetType(type);
        PrintProgram(document, QString(), Hooks(Dialog(300)));
    }
    EXPECT_EQ(dialogs, 0);
    EXPECT_FALSE(QFile::exists(pdf));
}

TEST_F(PrintProgramTest, IconIsTheNormalImageOfThePaletteGlyph)
{
    const QPixmap icon = CommandPrintIcon(palette, kCmdMove);
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.size(), QSize(32, 32));
    EXPECT_EQ(icon.toImage(), palette.LargeGlyph(kCmdMove).copy(0, 0, 32, 32).toImage());
    EXPECT_TRUE(CommandPrintIcon(palette, 0).isNull());
}

}  // namespace
