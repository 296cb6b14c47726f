// The firmware update dialog, offscreen.

#include "update/ui/frmupdate.h"

#include "support/qtapp.h"
#include "tools/motorsim/bootloader.h"
#include "tools/motorsim/motorsim.h"
#include "update/firmwarebuilder.h"
#include "update/vekload.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <cstdlib>

using namespace quenor;
using namespace quenor::updatetest;
using quenor::test::SpinUntil;

namespace {

class TestUpdate : public TfrmUpdate {
public:
    std::vector<std::pair<QString, QString>> boxes;  // caption, text
    std::vector<QString> notes;

protected:
    void ShowBox(QMessageBox::Icon, const QString& caption, const QString& text) override
    {
        boxes.emplace_back(caption, text);
    }
    void ShowReleaseNotes(const QString& n) override { notes.push_back(n); }
};

class UpdateDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::TestApp();
        ASSERT_TRUE(program.isValid());
        ASSERT_TRUE(user.isValid());
        dlg.SetFolders({program.path().toStdString(), user.path().toStdString()});
    }
    void TearDown() override { dlg.hide(); }

    void Put(const QTemporaryDir& dir, const QString& name, const Bytes& bytes)
    {
        WriteFile(dir.filePath(name).toStdString(), bytes);
    }
    static Bytes Info(int hardware, std::uint16_t version, const std::string& text, int subType = 0,
                      int variant = 0)
    {
        return InfoBlock(variant, hardware, version, text, subType ? 104 : -1, subType);
    }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> out;
        for (int i = 0; i < dlg.lvFiles->topLevelItemCount(); ++i)
            out.push_back(dlg.lvFiles->topLevelItem(i)->text(0).toStdString());
        return out;
    }
    void Post(int msg, std::int64_t w, std::int64_t l, std::string text = {})
    {
        PostText(dlg.Target(), msg, w, l, std::move(text));
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }

    bool appReady_ = (test::TestApp(), true);  // before the first widget
    QTemporaryDir program, user;
    TestUpdate dlg;
};

TEST_F(UpdateDialog, ListPerFamilyModuleAndSubType)
{
    Put(program, "VEKAD60.MAF", Info(0, 0x0060, "VekAD 6.0"));
    Put(program, "vekad60b.maf", Info(0, 0x2060, "VekAD 6.0 beta"));
    Put(program, "vekad50.maf.old", Info(0, 0x0050, "VekAD 5.0"));
    Put(program, "vekef.Maf", Info(0, 0x8048, "VekEF 1.8"));
    Put(user, "vekmp.maf", Info(2, 0x0011, "VekMP"));
    Put(user, "qora.maf", Info(8, 0x0020, "Qor A", 1));
    Put(user, "qorb.maf", Info(8, 0x0030, "Qor B", 2));
    Put(user, "other.maf", Info(9, 0x0099, "Other"));
    Put(user, "notes.txt", Info(0, 0x0070, "Not a firmware file name"));
    Bytes bad = Info(0, 0x0090, "Damaged");
    bad[14] ^= 1;
    Put(program, "bad.maf", bad);
    Put(program, "empty.maf", Bytes{});  // no information block: not offered
    Put(user, "noinfo.maf", Block(kBlockData, 0, FlashData(20, 1)));

    dlg.show();
    const struct {
        bool showAll;
        int family, module, subType;
        std::vector<std::string> names;
    } cases[] = {
        {false, 0, 0, 0, {"VekAD 6.0"}},  // 0x0060 is newer than the beta 0x2060
        {false, 0, 2, 0, {"VekAD 6.0", "VekMP"}},
        {false, 0, 3, 0, {"VekAD 6.0"}},
        {false, 1, 0, 0, {"VekEF 1.8"}},
        {false, 2, 0, 1, {"Qor A"}},
        {false, 2, 0, 2, {"Qor B"}},
        {false, 2, 0, 3, {"Qor B"}},
        {false, 2, 0, 4, {}},
        {true, 0, 0, 0, {"VekAD 6.0", "VekAD 6.0 beta", "VekAD 5.0", "VekEF 1.8", "VekMP", "Qor B", "Qor A"}},
    };
    for (const auto& c : cases) {
        dlg.SetFamily(c.family);
        dlg.SetModuleType(c.module);
        dlg.SetSubTypeFilter(c.subType);
        dlg.cbShowAll->setChecked(c.showAll);
        dlg.cbShowAllClick();
        EXPECT_EQ(Names(), c.names) << "all " << c.showAll << " family " << c.family << " module " << c.module
                                    << " sub-type " << c.subType;
    }
    QTreeWidgetItem* ef = dlg.lvFiles->topLevelItem(3);
    EXPECT_EQ(ef->text(1), "1.8");
    EXPECT_EQ(ef->text(2), "VekEF");
    EXPECT_EQ(dlg.lvFiles->topLevelItem(0)->text(2), "VekAD");
    EXPECT_EQ(dlg.lvFiles->topLevelItem(4)->text(2), "VekMP");
    EXPECT_EQ(dlg.lvFiles->topLevelItem(5)->text(2), "Qor");
}

TEST_F(UpdateDialog, StatusTextsVersionsAndFailureBoxes)
{
    int hookCalls = 0;
    MessageTarget* given = nullptr;
    dlg.SetFirstShowHook([&](MessageTarget* t) {
        ++hookCalls;
        given = t;
    });
    dlg.show();
    EXPECT_EQ(dlg.sbInfo->currentMessage(), "Checking for new updates");
    dlg.hide();
    dlg.show();
    EXPECT_EQ(hookCalls, 1);
    EXPECT_EQ(given, dlg.Target());
    EXPECT_TRUE(Names().empty());

    Post(UM_LOADERSTATUS, kLoaderTransferring, 40);
    EXPECT_EQ(dlg.lblStatus->text(), "Transfering (40%)");
    Post(UM_LOADERSTATUS, kLoaderErasePercent, 7);
    EXPECT_EQ(dlg.lblStatus->text(), "Erasing (7%)");
    Post(UM_LOADERSTATUS, kLoaderPowerCycle, 0);
    EXPECT_EQ(dlg.lblStatus->text(), "Connecting - Please turn off/on the motor");
    Post(UM_LOADERVERSION, 0x0061, 0, "x");
    EXPECT_EQ(dlg.lblCurVersion->text(), "6.1");

    std::string five, six;
    for (int i = 1; i <= 6; ++i) {
        const std::string line = "Error in flash write: " + std::to_string(i) + "\n";
        six += line;
        if (i <= 5)
            five += line;
    }
    Post(UM_LOADERSTATUS, kLoaderFailed, 1, six);
    Post(UM_LOADERSTATUS, kLoaderFailed, 1, five);
    Post(UM_LOADERSTATUS, kLoaderFailed, 0, six);
    Post(UM_LOADERSTATUS, kLoaderFailed, 1, "");  // nothing collected: no box
    ASSERT_EQ(dlg.boxes.size(), 3u);
    for (const auto& b : dlg.boxes)
        EXPECT_EQ(b.first, "Update error");
    EXPECT_TRUE(dlg.boxes[0].second.contains("5: Turn on the motor\n"));
    EXPECT_TRUE(dlg.boxes[0].second.startsWith("The firmware update failed\nThis is proberly"));
    EXPECT_EQ(dlg.boxes[1].second, QString::fromStdString("The firmware update failed\nErrors:\n" + five));
    EXPECT_EQ(dlg.boxes[2].second, QString::fromStdString("The firmware update failed\nErrors:\n" + six));
    EXPECT_EQ(dlg.lblStatus->text(), "Failed!");

    Post(UM_FIRMWAREFILES, 2, 0);
    EXPECT_EQ(dlg.sbInfo->currentMessage(), "Failed to connect to the internet");
    Post(UM_FIRMWAREFILES, 2, 0, "The path is not a regular file.");  // a setting kept the check in
    EXPECT_EQ(dlg.sbInfo->currentMessage(), "Failed to connect to the internet: The path is not a regular file.");
    Put(user, "new.maf", Info(0, 0x0070, "Fetched"));
    Post(UM_FIRMWAREFILES, 3, 0);
    EXPECT_EQ(dlg.sbInfo->currentMessage(), "New updates found");
    EXPECT_EQ(Names(), std::vector<std::string>{"Fetched"});
}

TEST_F(UpdateDialog, StartProblemsShowInTheLoadingLine)
{
    Put(program, "a.maf", Info(0, 0x0060, "A"));
    setenv("QUENOR_COM13", "/nonexistent/tty", 1);
    dlg.SetComIndex(12);
    dlg.show();
    dlg.btnStartClick();  // nothing selected: nothing happens
    EXPECT_TRUE(dlg.lblLoadVersion->text().isEmpty());
    dlg.lvFiles->setCurrentItem(dlg.lvFiles->topLevelItem(0));
    Post(UM_LOADERSTATUS, kLoaderDone, 0);  // what an earlier load left
    ASSERT_EQ(dlg.lblStatus->text(), "Done");
    dlg.btnStartClick();
    EXPECT_EQ(dlg.lblLoadVersion->text(), "Error opening serial port");
    EXPECT_TRUE(dlg.lblStatus->text().isEmpty());  // this start did not end in "Done"
    EXPECT_FALSE(dlg.Loading());
    EXPECT_TRUE(dlg.btnStart->isEnabled());
    EXPECT_FALSE(dlg.btnAbort->isEnabled());
    unsetenv("QUENOR_COM13");
}

TEST_F(UpdateDialog, ReleaseNotes)
{
    Bytes withNotes = Info(0, 0x0060, "Notes");
    Append(withNotes, Block(kBlockNotes, 0, Bytes{'F', 'i', 'x', 0xE9}));
    Put(program, "a.maf", withNotes);
    Put(program, "b.maf", Info(0, 0x0050, "Plain"));
    dlg.cbShowAll->setChecked(true);
    dlg.show();
    ASSERT_EQ(Names(), (std::vector<std::string>{"Notes", "Plain"}));
    for (int row : {0, 1}) {
        dlg.lvFiles->setCurrentItem(dlg.lvFiles->topLevelItem(row));
        dlg.btnViewRelNotesClick();
    }
    ASSERT_EQ(dlg.notes.size(), 1u);
    EXPECT_EQ(dlg.notes[0], QString::fromUtf8("Fix\u00e9"));
    ASSERT_EQ(dlg.boxes.size(), 1u);
    EXPECT_EQ(dlg.boxes[0].first, "Info");
    EXPECT_EQ(dlg.boxes[0].second, "Sorry, this firmware file doesn't contain any release notes");

    QFile::remove(program.filePath("b.maf"));
    dlg.btnViewRelNotesClick();
    ASSERT_EQ(dlg.boxes.size(), 2u);
    EXPECT_EQ(dlg.boxes[1].first, "Error!");
    EXPECT_EQ(dlg.boxes[1].second, "Error reading the file");
}

TEST_F(UpdateDialog, AutoStartUpdatesTheMotorThroughItsFirmware)
{
    motorsim::MotorSim sim(0, 0x0123, 1);
    ASSERT_TRUE(sim.Start());
    motorsim::SimBootloader boot(sim, motorsim::BootloaderConfig{});
    setenv("QUENOR_COM14", sim.DevicePath().c_str(), 1);
    FileSpec design;
    std::vector<std::pair<std::uint32_t, Bytes>> data;
    Put(user, "motor.maf", BuildFile(design, &data));

    FirmwareUpdateRequest request;
    request.comIndex = 13;
    request.connected = true;
    request.autoStart = true;
    QTimer::singleShot(0, &dlg, [&] {
        EXPECT_TRUE(dlg.Loading());
        EXPECT_FALSE(dlg.btnStart->isEnabled());
        EXPECT_FALSE(dlg.btnExit->isEnabled());
        EXPECT_TRUE(dlg.btnRS485Start->isEnabled());
        EXPECT_EQ(dlg.lblLoadVersion->text(), "Test firmware Version 6.1");
        SpinUntil([&] { return !dlg.Loading(); }, 30000);
        dlg.btnExitClick();
    });
    dlg.Run(request);
    EXPECT_EQ(dlg.lblStatus->text(), "Done");
    EXPECT_TRUE(dlg.boxes.empty());
    EXPECT_TRUE(dlg.btnStart->isEnabled());
    EXPECT_EQ(boot.Flash().size(), 900u);
    unsetenv("QUENOR_COM14");
}

TEST_F(UpdateDialog, ClosingAbortsTheLoad)
{
    motorsim::MotorSim sim(0, 0x0123, 1);
    ASSERT_TRUE(sim.Start());
    motorsim::SimBootloader boot(sim, motorsim::BootloaderConfig{});
    setenv("QUENOR_COM15", sim.DevicePath().c_str(), 1);
    Put(user, "motor.maf", BuildFile(FileSpec{}));
    dlg.SetComIndex(14);
    dlg.show();
    dlg.lvFiles->setCurrentItem(dlg.lvFiles->topLevelItem(0));
    dlg.btnStartClick();
    ASSERT_TRUE(dlg.Loading());
    ASSERT_TRUE(SpinUntil([&] { return dlg.lblStatus->text() == "Connecting - Please turn off/on the motor"; }));
    dlg.close();
    EXPECT_FALSE(dlg.Loading());
    EXPECT_TRUE(boot.Erased().empty());
    unsetenv("QUENOR_COM15");
}

}  // namespace
