#include "app/ownversion.h"
#include "app/ui/about.h"
#include "app/ui/companydlg.h"
#include "app/ui/modalresult.h"
#include "app/ui/pngimages.h"
#include "app/mainstate.h"
#include "app/statustext.h"
#include "app/ui/relnotes.h"
#include "app/ui/statuspanel.h"
#include "app/ui/warninginfo.h"
#include "app/warnings.h"
#include "platform/cp1252.h"
#include "quenor_version.h"

#include <QApplication>
#include <QLabel>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

using namespace quenor;

namespace {

class Dialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "test";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

    // Runs the dialog modally and presses the button once it is shown.
    static int ExecAndPress(QDialog& dialog, QPushButton* button)
    {
        QTimer::singleShot(0, &dialog, [&dialog, button] {
            EXPECT_TRUE(dialog.isVisible());
            EXPECT_TRUE(button->isVisible());
            button->click();
        });
        return dialog.exec();
    }

private:
    std::unique_ptr<QApplication> app_;
};

QLabel* Label(const TfrmWarningInfo& dlg, const QString& name)
{
    return dlg.sbWarnings->widget()->findChild<QLabel*>(name);
}

std::vector<QString> LabelNames(const TfrmWarningInfo& dlg)
{
    std::vector<QString> names;
    for (QLabel* l : dlg.sbWarnings->widget()->findChildren<QLabel*>())
        names.push_back(l->objectName());
    std::sort(names.begin(), names.end());
    return names;
}

struct WarningSet {
    std::array<bool, kWarningCount> flags{};
    std::array<std::string, kWarningCount> args;
};

}  // namespace

TEST_F(Dialogs, WarningInfoFromTheStatusBarShowsEveryWarningAndCloses)
{
    TfrmWarningInfo dlg;
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Warning information"));
    EXPECT_EQ(dlg.size(), QSize(380, 428));

    WarningSet w;
    w.flags[0] = w.flags[3] = true;
    dlg.SetWarnings(w.flags, w.args, kWarningCount);
    dlg.SetCloseOnly(true);
    EXPECT_TRUE(dlg.btnAbort->isHidden());
    EXPECT_TRUE(dlg.btnIgnore->isHidden());
    EXPECT_FALSE(dlg.btnClose->isHidden());
    EXPECT_TRUE(dlg.btnClose->isDefault());
    EXPECT_EQ(dlg.btnClose->geometry(), dlg.btnIgnore->geometry());

    EXPECT_EQ(ExecAndPress(dlg, dlg.btnClose), kMrOk);
    EXPECT_EQ(LabelNames(dlg), (std::vector<QString>{"text0", "text3", "title0", "title3"}));
    EXPECT_EQ(Label(dlg, "title0")->text(), QStringLiteral("Save in flash is required"));
    EXPECT_EQ(Label(dlg, "title3")->text(), QStringLiteral("Gear ratio must not exceed 1023"));
    EXPECT_EQ(Label(dlg, "text3")->text(),
              QStringLiteral("If the gear ratio exceeds 1023 the gear calculations will overflow and the movement "
                             "will be inpredictable."));
    EXPECT_TRUE(Label(dlg, "title0")->font().bold());
    EXPECT_FALSE(Label(dlg, "text0")->font().bold());
}

TEST_F(Dialogs, WarningInfoBeforeSaveInMotorLeavesOutSaveInFlashAndAsks)
{
    TfrmWarningInfo dlg;
    WarningSet w;
    w.flags[0] = w.flags[5] = true;
    w.args[5] = "Gear";
    dlg.SetWarnings(w.flags, w.args, kWarningCount);
    dlg.SetCloseOnly(false);
    EXPECT_FALSE(dlg.CloseOnly());
    EXPECT_FALSE(dlg.btnAbort->isHidden());
    EXPECT_FALSE(dlg.btnIgnore->isHidden());
    EXPECT_TRUE(dlg.btnClose->isHidden());
    EXPECT_TRUE(dlg.btnIgnore->isDefault());
    EXPECT_EQ(dlg.btnAbort->pos(), QPoint(208, 400));
    EXPECT_EQ(dlg.btnIgnore->pos(), QPoint(296, 400));

    EXPECT_EQ(ExecAndPress(dlg, dlg.btnIgnore), kMrIgnore);
    EXPECT_EQ(LabelNames(dlg), (std::vector<QString>{"text5", "title5"}));
    EXPECT_EQ(Label(dlg, "title5")->text(), QStringLiteral("The VekMR requieres startup mode = \"Gear\""));
    EXPECT_TRUE(Label(dlg, "text5")->text().startsWith(
        QStringLiteral("The format of the VekMR module expects \"Gear mode\" as startup mode")));

    EXPECT_EQ(ExecAndPress(dlg, dlg.btnAbort), kMrAbort);

    // Closing without a button is Cancel, which does not save.
    QTimer::singleShot(0, &dlg, [&dlg] { dlg.close(); });
    EXPECT_EQ(dlg.exec(), kMrCancel);
}

TEST_F(Dialogs, WarningInfoStacksItsLabelsAndSizesTheScrollRange)
{
    TfrmWarningInfo dlg;
    WarningSet w;
    w.flags[0] = w.flags[4] = w.flags[6] = true;
    dlg.SetWarnings(w.flags, w.args, kWarningCount);
    dlg.SetCloseOnly(true);
    dlg.show();

    const int client = dlg.sbWarnings->viewport()->width();
    int y = 10;
    for (int bit : {0, 4, 6}) {
        QLabel* title = Label(dlg, QStringLiteral("title%1").arg(bit));
        QLabel* text = Label(dlg, QStringLiteral("text%1").arg(bit));
        ASSERT_TRUE(title && text) << bit;
        EXPECT_EQ(title->geometry().topLeft(), QPoint(10, y)) << bit;
        EXPECT_EQ(title->width(), client - 20) << bit;
        EXPECT_GT(title->height(), 0);
        y += title->height() + 5;
        EXPECT_EQ(text->geometry().topLeft(), QPoint(20, y)) << bit;
        EXPECT_EQ(text->width(), client - 30) << bit;
        y += text->height() + 15;
    }
    // The long explanation of warning 4 wraps over several lines.
    QLabel* text4 = Label(dlg, "text4");
    EXPECT_GT(text4->height(), 3 * text4->fontMetrics().height());
    EXPECT_EQ(dlg.sbWarnings->widget()->height(), y);
    dlg.hide();

    // A second show rebuilds the list from the new flags.
    w = WarningSet{};
    w.flags[7] = true;
    dlg.SetWarnings(w.flags, w.args, kWarningCount);
    dlg.show();
    EXPECT_EQ(LabelNames(dlg), (std::vector<QString>{"text7", "title7"}));
    dlg.hide();

    // Only the first `count` bits are looked at.
    w.flags[2] = true;
    dlg.SetWarnings(w.flags, w.args, 4);
    dlg.show();
    EXPECT_EQ(LabelNames(dlg), (std::vector<QString>{"text2", "title2"}));
    dlg.hide();
}

TEST_F(Dialogs, AboutBoxShowsTheVersionBuildAndBeta)
{
    TAboutBox about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About Quenor"));
    EXPECT_EQ(about.size(), QSize(296, 184));
    EXPECT_EQ(about.lblVersion->text(),
              QStringLiteral("%1.%2").arg(QUENOR_VERSION_MAJOR).arg(QUENOR_VERSION_MINOR));
    EXPECT_EQ(about.lblDate->text(), QString::fromStdString(BuildDateText()));
    // The program's own icon, drawn for the size it is shown at.
    const auto* picture = about.findChild<QLabel*>(QStringLiteral("ProgramIcon"));
    ASSERT_NE(picture, nullptr);
    QImage drawn;
    ASSERT_EQ(LoadPngResource(drawn, 2, Qt::white, {}, false, true), "");
    ASSERT_EQ(drawn.size(), QSize(32, 32));
    EXPECT_EQ(picture->pixmap().toImage().convertToFormat(QImage::Format_ARGB32), drawn);

    OwnVersionInfo info;
    info.productVersionMS = (2u << 16) | 7u;
    info.productVersionLS = (0u << 16) | 120u;
    about.ShowVersion(info, "Mar  4 2025");
    EXPECT_EQ(about.lblVersion->text(), QStringLiteral("2.7"));
    EXPECT_EQ(about.lblVersion->toolTip(), QStringLiteral("Mar  4 2025 - Build 120"));
    EXPECT_EQ(about.lblDate->text(), QStringLiteral("Mar  4 2025"));
    EXPECT_TRUE(about.lblTestText->isHidden());

    info.productVersionLS = (3u << 16) | 120u;
    info.fileFlags = 1;
    about.ShowVersion(info, "Mar  4 2025");
    EXPECT_FALSE(about.lblTestText->isHidden());
    EXPECT_EQ(about.lblTestText->text(), QStringLiteral("Beta 3"));

    EXPECT_EQ(ExecAndPress(about, about.OKButton), kMrOk);
}

TEST_F(Dialogs, CompanyBoxOpensItsLinks)
{
    TCompanyBox box;
    EXPECT_EQ(box.windowTitle(), QStringLiteral("Company Info"));
    EXPECT_TRUE(box.lblInfo->text().startsWith(QStringLiteral("Tovik Automation A/S\n")));
    EXPECT_EQ(box.lblHomePage->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(box.lblEmail->font().underline());

    std::vector<QUrl> opened;
    box.SetLinkOpener([&opened](const QUrl& url) {
        opened.push_back(url);
        return true;
    });
    box.show();
    auto click = [](QWidget* w) {
        const QPointF at(2, 2);
        QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(w, &press);
        QApplication::sendEvent(w, &release);
    };
    click(box.lblHomePage);
    click(box.lblEmail);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0].scheme(), QStringLiteral("https"));
    EXPECT_EQ(opened[0].host(), QStringLiteral("www.example.com"));
    EXPECT_EQ(opened[1].toString(), QStringLiteral("mailto:") + box.lblEmail->text());
    box.hide();

    EXPECT_EQ(ExecAndPress(box, box.OKButton), kMrOk);
}

TEST_F(Dialogs, ReleaseNotesAreReadOnlyAndClose)
{
    TfrmReleaseNotes notes;
    EXPECT_EQ(notes.windowTitle(), QStringLiteral("Release notes"));
    EXPECT_EQ(notes.size(), QSize(361, 421));
    EXPECT_TRUE(notes.meRelNotes->isReadOnly());
    EXPECT_EQ(notes.meRelNotes->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(notes.Button1->text(), QStringLiteral("&Close"));
    notes.meRelNotes->setPlainText(FromCp1252("Version 1.8\r\n- Faster \xB5s timing"));
    EXPECT_TRUE(notes.meRelNotes->toPlainText().contains(QChar(0xB5)));

    EXPECT_EQ(ExecAndPress(notes, notes.Button1), kMrCancel);
    EXPECT_FALSE(notes.isVisible());
}

namespace {

QImage PaintPanel(const StatusBarModel& model, int panel, QSize size = QSize(200, 20))
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    DrawStatusPanel(painter, QRect(QPoint(0, 0), size), panel, model, Qt::black);
    return image;
}

bool HasColour(const QImage& image, const QColor& colour, int fromX = 0, int toX = -1)
{
    if (toX < 0)
        toX = image.width();
    for (int y = 0; y < image.height(); ++y)
        for (int x = fromX; x < toX; ++x)
            if (image.pixelColor(x, y) == colour)
                return true;
    return false;
}

}  // namespace

TEST_F(Dialogs, StatusPanelColoursAndProgressBar)
{
    StatusBarModel model;
    MainWindowState s;
    model.UpdateStatusText(s);  // "R*** No connection ..."
    QImage red = PaintPanel(model, 1);
    EXPECT_TRUE(HasColour(red, kStatusRed));
    EXPECT_FALSE(HasColour(red, kStatusGreen));

    s.connected = true;
    model.UpdateStatusText(s);
    QImage green = PaintPanel(model, 1);
    EXPECT_TRUE(HasColour(green, kStatusGreen));
    EXPECT_FALSE(HasColour(green, kStatusRed));

    // An empty panel paints nothing.
    QImage empty = PaintPanel(model, 0);
    EXPECT_FALSE(HasColour(empty, Qt::black));

    // Half way: the left half is blue, the right half keeps the background
    // apart from the blue text.
    model.SetProgress(50, "");
    QImage bar = PaintPanel(model, 1);
    for (int x = 0; x < 100; ++x)
        ASSERT_EQ(bar.pixelColor(x, 10), kProgressBlue) << x;
    for (int x = 100; x < 200; ++x)
        ASSERT_EQ(bar.pixelColor(x, 10), QColor(Qt::white)) << x;
    model.SetProgress(100, "Transferring");
    QImage full = PaintPanel(model, 1);
    EXPECT_TRUE(HasColour(full, Qt::white, 0, 200));  // the text in white over the bar
    EXPECT_EQ(full.pixelColor(1, 1), kProgressBlue);
    EXPECT_EQ(full.pixelColor(199, 19), kProgressBlue);
}
