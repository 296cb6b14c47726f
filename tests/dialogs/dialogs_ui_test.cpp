#include "app/connhelp.h"
#include "app/mainsettings.h"
#include "app/ui/about.h"
#include "app/ui/connhelp.h"
#include "app/ui/dialogplacement.h"
#include "app/ui/frmloadinfo.h"
#include "app/ui/moduledialogs.h"
#include "app/ui/rs232inter.h"
#include "platform/cp1252.h"
#include "platform/settings.h"
#include "program/ui/vizuwarecommanddialogs.h"
#include "program/vizuvekparameterlist.h"
#include "support/qtapp.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

using namespace quenor;

namespace {

class DialogsUi : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::TestApp();
    }

    // Runs show() and, once the dialog is up, does act() on it.
    template <typename Show>
    static auto WhileShown(QDialog& dialog, const std::function<void()>& act, Show show)
    {
        QTimer::singleShot(0, &dialog, [&dialog, act] {
            EXPECT_TRUE(dialog.isVisible());
            act();
            if (dialog.isVisible())
                dialog.done(-1);  // a test that did not close the dialog fails below
        });
        return show();
    }
};

QStringList Items(const QComboBox* cb)
{
    QStringList out;
    for (int i = 0; i < cb->count(); ++i)
        out.push_back(cb->itemText(i));
    return out;
}

}  // namespace

TEST_F(DialogsUi, TheHelpShowsItsTextLineByLineAndEachButtonItsResult)
{
    TfrmConnHelp help;
    EXPECT_EQ(help.windowTitle(), QStringLiteral("Connection trouble shooting"));
    EXPECT_GE(help.width(), 395);
    EXPECT_GE(help.height(), 442);
    EXPECT_TRUE(help.meText->isReadOnly());
    // Every line shows whole, without scrolling, with the font in use.
    help.show();
    EXPECT_EQ(help.meText->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(help.meText->horizontalScrollBar()->maximum(), 0);
    for (QWidget* w : std::initializer_list<QWidget*>{help.btnSchematic, help.btnUpdateMini, help.btnUpdateBig,
                                                      help.btnClose, help.cbDisplay, help.lblInfo}) {
        EXPECT_GE(w->width(), w->sizeHint().width()) << w->objectName().toStdString();
        EXPECT_TRUE(help.rect().contains(w->geometry())) << w->objectName().toStdString();
    }
    help.hide();
    const QStringList lines = help.meText->toPlainText().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 25);
    for (int i = 0; i < 25; ++i)
        EXPECT_EQ(ToCp1252(lines[i]), ConnHelpLines()[static_cast<std::size_t>(i)]) << "line " << i + 1;

    const std::pair<QPushButton*, int> buttons[] = {{help.btnClose, kConnHelpClose},
                                                    {help.btnUpdateMini, kConnHelpLoadSmall},
                                                    {help.btnUpdateBig, kConnHelpLoadLarge}};
    for (const auto& [button, result] : buttons) {
        bool dontShow = false;
        EXPECT_EQ(WhileShown(
                      help, [button] { button->click(); }, [&] { return help.ShowHelp(dontShow); }),
                  result)
            << button->text().toStdString();
    }

    // "Schematic" shows the schematic modally and comes back to the help.
    bool schematicShown = false;
    bool dontShow = false;
    const int result = WhileShown(
        help,
        [&] {
            QTimer::singleShot(0, help.Schematic(), [&] {
                schematicShown = help.Schematic()->isVisible();
                help.Schematic()->btnClose->click();
            });
            help.btnSchematic->click();
            EXPECT_FALSE(help.Schematic()->isVisible());
            help.btnClose->click();
        },
        [&] { return help.ShowHelp(dontShow); });
    EXPECT_TRUE(schematicShown);
    EXPECT_EQ(result, kConnHelpClose);
}

TEST_F(DialogsUi, DontShowAgainSurvivesARestart)
{
    Settings().Remove(QStringLiteral("Don't Connection Help"));
    const FirmwareUpdateIo noFirmware{[](bool) { FAIL(); }, [](bool) { FAIL(); },
                                      [](const FirmwareUpdateSetup&) { FAIL(); }};
    for (bool want : {true, false}) {
        SCOPED_TRACE(want);
        MainSettings settings = MainSettings::Load(Settings());
        EXPECT_EQ(settings.dontConnectionHelp, !want);
        TfrmConnHelp help;
        const ConnHelpOutcome out = RunConnectionHelp(
            {settings.dontConnectionHelp, false, 0, 0},
            [&](bool& dontShow) {
                return WhileShown(
                    help,
                    [&] {
                        EXPECT_EQ(help.cbDisplay->isChecked(), !want) << "preset from the setting";
                        help.cbDisplay->click();
                        help.btnClose->click();
                    },
                    [&] { return help.ShowHelp(dontShow); });
            },
            noFirmware);
        settings.dontConnectionHelp = out.dontConnectionHelp;
        Settings store;
        settings.Save(store);
        store.Sync();
    }
    EXPECT_FALSE(MainSettings::Load(Settings()).dontConnectionHelp);
}

TEST_F(DialogsUi, TheSchematicIsDrawnAtItsSizeOnWhite)
{
    TfrmRS232Inter dlg;
    EXPECT_EQ(dlg.size(), QSize(436, 440));
    const QImage picture = dlg.imSchematic->pixmap().toImage();
    ASSERT_EQ(picture.size(), QSize(400, 335));
    EXPECT_EQ(picture.pixelColor(0, 0), QColor(Qt::white));
    int dark = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            dark += qGray(picture.pixel(x, y)) < 64;
    EXPECT_GT(dark, 2000) << "a drawing, not an empty picture";
}

TEST_F(DialogsUi, ModuleDialogsListTheirItemsAndSendOnlyWhatTheModuleCanTake)
{
    TfrmDeviceNetParameters dn;
    EXPECT_EQ(dn.size(), QSize(240, 125));
    EXPECT_EQ(Items(dn.cbBaudrate), (QStringList{"125kbit/s", "250kbit/s", "500kbit/s"}));
    EXPECT_EQ(dn.cbNode->count(), 64);
    EXPECT_EQ(dn.cbNode->itemText(63), QStringLiteral("63"));
    TfrmFSSetup fs;
    EXPECT_EQ(Items(fs.cbBaudrate), (QStringList{"19200", "38400", "57600", "115200", "230400"}));
    EXPECT_EQ(fs.cbAddress->count(), 254);
    EXPECT_EQ(fs.cbAddress->itemText(0), QStringLiteral("1"));
    EXPECT_EQ(fs.cbGroupID->count(), 256);
    EXPECT_EQ(fs.cbGroupID->itemText(255), QStringLiteral("255"));
    for (QComboBox* cb : {dn.cbBaudrate, dn.cbNode, fs.cbBaudrate, fs.cbAddress, fs.cbGroupID})
        EXPECT_FALSE(cb->isEditable());

    // Node 0x85 (set by software), baud 0x02: 500 kbit/s and node 5, sent on "&Ok".
    EXPECT_EQ(WhileShown(
                  dn, [&] { dn.btnOk->click(); }, [&] { return EditDeviceNetParameters(dn, 0x85, 0x02); }),
              (DeviceNetChoice{2, 5}));
    // Baud code 3 names no rate: "&Ok" does nothing until one is picked.
    EXPECT_EQ(WhileShown(
                  dn,
                  [&] {
                      EXPECT_EQ(dn.cbBaudrate->currentIndex(), -1);
                      dn.btnOk->click();
                      EXPECT_TRUE(dn.isVisible());
                      dn.cbBaudrate->setCurrentIndex(0);
                      dn.btnOk->click();
                  },
                  [&] { return EditDeviceNetParameters(dn, 7, 3); }),
              (DeviceNetChoice{0, 7}));

    EXPECT_EQ(WhileShown(
                  fs, [&] { fs.btnOk->click(); }, [&] { return EditFsSetup(fs, 4, 254, 255); }),
              (std::array<std::uint8_t, 3>{4, 254, 255}));
    // Address 0 and baud code 6 name no item: nothing can be sent.
    EXPECT_FALSE(WhileShown(
                     fs,
                     [&] {
                         EXPECT_EQ(fs.Choice(), (FsChoice{-1, -1, 3}));
                         fs.cbAddress->setCurrentIndex(0);
                         EXPECT_FALSE(fs.btnOk->isEnabled());
                         fs.btnOk->click();
                     },
                     [&] { return EditFsSetup(fs, 6, 0, 3); })
                     .has_value());
    EXPECT_FALSE(WhileShown(
                     fs, [&] { fs.btnCancel->click(); }, [&] { return EditFsSetup(fs, 0, 1, 0); })
                     .has_value());
}

TEST(LoadInformation, TheBoxIsSizedToItsLabelAndNoLargerThanItsRoom)
{
    struct Case {
        QRect label;
        QSize room;
        QSize client;
        QPoint button;
        QSize text;
    };
    const Case cases[] = {
        {QRect(8, 8, 200, 13), QSize(), QSize(216, 62), QPoint(71, 29), QSize(200, 13)},
        {QRect(8, 8, 200, 13), QSize(600, 450), QSize(216, 62), QPoint(71, 29), QSize(200, 13)},
        // narrower than the button: halves toward zero
        {QRect(8, 8, 41, 52), QSize(), QSize(57, 101), QPoint(-9, 68), QSize(41, 52)},
        {QRect(16, 10, 301, 26), QSize(), QSize(333, 81), QPoint(129, 46), QSize(301, 26)},
        // too tall: the text scrolls, with its scroll bar beside it
        {QRect(8, 8, 200, 1500), QSize(600, 450), QSize(232, 450), QPoint(79, 417), QSize(216, 401)},
        {QRect(8, 8, 200, 401), QSize(600, 450), QSize(216, 450), QPoint(71, 417), QSize(200, 401)},
        // too wide, too wide and too tall
        {QRect(8, 8, 900, 13), QSize(600, 450), QSize(600, 78), QPoint(263, 45), QSize(584, 29)},
        {QRect(8, 8, 900, 1500), QSize(600, 450), QSize(600, 450), QPoint(263, 417), QSize(584, 401)},
    };
    for (const Case& c : cases) {
        const LoadInfoLayout l = LayoutLoadInfo(c.label, QSize(75, 25), c.room, 16);
        EXPECT_EQ(l.client, c.client) << c.label.height();
        EXPECT_EQ(l.button, c.button) << c.label.height();
        EXPECT_EQ(l.text, c.text) << c.label.height();
    }
}

// A box listing a hundred parameters fits the screen of its owner: the list
// scrolls and the button stays on the screen, inside the box.
TEST_F(DialogsUi, ALongListInTheLoadBoxScrollsAndItsButtonStaysOnTheScreen)
{
    CentreDialogsOnOwners(test::TestApp());
    QWidget owner;
    owner.setGeometry(40, 40, 600, 400);
    owner.show();
    ASSERT_TRUE(test::SpinUntil([&] { return owner.isVisible(); }));
    QString text = QStringLiteral("These parameters were not written to the motor:");
    for (int i = 1; i <= 100; ++i)
        text += QStringLiteral("\nParameter %1").arg(i);
    TfrmLoadInformation box(&owner);
    const QRect area = owner.screen()->availableGeometry();
    QRect frame, button;
    int scrollRange = 0;
    WhileShown(
        box,
        [&] {
            frame = box.frameGeometry();
            button = QRect(box.OkButton()->mapToGlobal(QPoint(0, 0)), box.OkButton()->size());
            scrollRange = box.TextView()->verticalScrollBar()->maximum();
            box.OkButton()->click();
        },
        [&] { return box.ShowText(text, QStringLiteral("Parameter transfer")); });
    EXPECT_TRUE(area.contains(frame)) << frame.height() << " of " << area.height();
    EXPECT_TRUE(area.contains(button));
    EXPECT_TRUE(frame.contains(button));
    EXPECT_GT(scrollRange, 0);
    EXPECT_EQ(box.Label()->text(), text);
    EXPECT_EQ(box.TextView()->horizontalScrollBar()->maximum(), 0);

    // A short text shows whole.
    WhileShown(
        box, [&] { box.OkButton()->click(); },
        [&] { return box.ShowText(QStringLiteral("Speed"), QStringLiteral("Parameter transfer")); });
    EXPECT_EQ(box.TextView()->size(), box.Label()->size());
}

// Every dialog opens centred on the window it belongs to, each time it opens,
// whoever shows it and whatever it does to its size while it opens; one that
// would stick out of the screen is kept on it. Nothing here relies on a
// window manager to place a window.
TEST_F(DialogsUi, DialogsOpenCentredOnTheirOwner)
{
    CentreDialogsOnOwners(test::TestApp());
    QWidget owner;
    owner.setWindowTitle(QStringLiteral("owner"));
    TAboutBox about(&owner);
    QMessageBox box(QMessageBox::Information, QStringLiteral("Quenor"), QStringLiteral("Done."), QMessageBox::Ok,
                    &owner);
    // The move dialog lays itself out for its move type as it opens.
    CVekParameterList registers;
    registers.SelectMotorKind(0);
    TVizuWareCommandDialogs commands(&owner);
    commands.SetRegisterList(&registers);
    commands.SetMotorKind(0);
    commands.SetOutputCount(0);
    commands.SetAbsRelQuery([] { return true; });
    const std::pair<const char*, QDialog*> dialogs[] = {
        {"about", &about}, {"message", &box}, {"move", &commands.Move()}};

    // Where the dialog is once it is up.
    auto opened = [](QDialog& dialog) {
        QRect frame;
        QTimer::singleShot(0, &dialog, [&] {
            frame = dialog.frameGeometry();
            dialog.reject();
        });
        dialog.exec();
        return frame;
    };

    const QRect area = owner.screen()->availableGeometry();
    const QRect places[] = {QRect(60, 40, 700, 500), QRect(10, 90, 500, 420)};
    for (const QRect& place : places) {
        owner.setGeometry(place);
        owner.show();
        ASSERT_TRUE(test::SpinUntil([&] { return owner.isVisible(); }));
        const QPoint centre = owner.frameGeometry().center();
        for (const auto& [name, dialog] : dialogs) {
            const QRect frame = opened(*dialog);
            ASSERT_FALSE(frame.isEmpty()) << name;
            EXPECT_LE(std::abs(frame.center().x() - centre.x()), 1) << name << " at " << place.x();
            EXPECT_LE(std::abs(frame.center().y() - centre.y()), 1) << name << " at " << place.x();
        }
    }

    // An owner in the screen's bottom right corner: the dialogs stay on the screen.
    owner.setGeometry(area.right() - 150, area.bottom() - 100, 300, 200);
    for (const auto& [name, dialog] : dialogs) {
        const QRect frame = opened(*dialog);
        EXPECT_TRUE(area.contains(frame)) << name;
        EXPECT_EQ(frame.right(), area.right()) << name;
        EXPECT_EQ(frame.bottom(), area.bottom()) << name;
    }
}
