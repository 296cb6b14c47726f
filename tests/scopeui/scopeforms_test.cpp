// The scope's forms offscreen: the setup dialog's controls and stored record,
// the scope view's tabs, files, clipboard and labels, and a sample run driven
// by posted phases.

#include "app/ui/modalresult.h"
#include "platform/regularfile.h"
#include "platform/settings.h"
#include "scope/scopefile.h"
#include "scope/ui/frmsamplesetup.h"
#include "scope/ui/frmscope.h"
#include "scope/ui/frmtrigstatus.h"
#include "support/qtapp.h"
#include "support/savefaults.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

using namespace quenor;

namespace {

struct Shown {
    QString text;
    QString caption;
};

class FakeLink : public ScopeLink {
public:
    bool RequestWrite(int address, int reg, std::int32_t value, int) override
    {
        EXPECT_EQ(address, kAllMotors);
        writes.emplace_back(reg, value);
        return true;
    }
    bool RequestTestMove(MessageTarget*, std::shared_ptr<SampleRun> r) override
    {
        run = std::move(r);
        return true;
    }
    bool RequestSampleUpload(MessageTarget*, std::shared_ptr<TSampleSet> s) override
    {
        upload = std::move(s);
        return true;
    }
    std::vector<std::string> SetupLines() override { return {"[Setup]"}; }

    std::vector<std::pair<int, std::int32_t>> writes;
    std::shared_ptr<SampleRun> run;
    std::shared_ptr<TSampleSet> upload;
};

class ScopeForms : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::TestApp();
        scope = std::make_unique<TfrmScope>();
        scope->resize(900, 600);
        scope->show();
        Settle();
        auto keep = [this](const QString& t, const QString& c) { shown.push_back({t, c}); };
        scope->prompts.error = keep;
        scope->prompts.warning = keep;
        scope->prompts.info = keep;
        scope->prompts.decimalSeparator = [this] { return separator; };
        scope->SetLink(&link);
    }
    static void Settle() { QCoreApplication::processEvents(); }
    void Post(int msg, std::int64_t w, std::int64_t l = 0)
    {
        PostMessage(scope->Window(), msg, w, l);
        Settle();
    }
    // A phase of the run the link took last, as its job posts it.
    void Phase(int phase) { Post(UM_SAMPLESTATE, phase, link.run ? link.run->Number() : 0); }
    // The bytes "Save all" writes.
    QByteArray SaveAll()
    {
        const QString out = dir.filePath(QStringLiteral("all.VekScopes"));
        scope->prompts.saveFileName = [out] { return out; };
        scope->SaveSets(nullptr);
        QFile saved(out);
        EXPECT_TRUE(saved.open(QIODevice::ReadOnly));
        return saved.readAll();
    }
    QString WriteFile(const std::string& text)
    {
        const QString name = dir.filePath(QStringLiteral("in.VekScopes"));
        QFile f(name);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.data(), static_cast<qint64>(text.size()));
        return name;
    }

    QTemporaryDir dir;
    FakeLink link;
    std::unique_ptr<TfrmScope> scope;
    std::vector<Shown> shown;
    QString separator = QStringLiteral(",");
};

const char* kTwoSets =
    "[Scope v0.9]\r\nScopeName=first\r\nSampleTime=0.001\r\nCount=3712\r\n\r\nNewChannel\r\nChannelName=Speed\r\n"
    "UnitName=RPM\r\nFactor=0.5\r\nColor=255\r\nData=10,20,30\r\n\r\n\r\n[Scope end]\r\n"
    "[Scope v0.9]\r\nScopeName=second\r\nSampleTime=0.0025\r\nCount=2\r\n\r\nNewChannel\r\nChannelName=Load\r\n"
    "UnitName=%\r\nFactor=1.5\r\nData=4,-3\r\n\r\n\r\n[Scope end]\r\n";

}  // namespace

TEST_F(ScopeForms, SetupDialogControlsAndTheStoredRecord)
{
    {
        Settings s;
        SSampleSettings stored;
        stored.SetSampleCount(1, 100);
        stored.SaveToSettings(s);
    }
    auto setup = std::make_unique<TfrmSampleSetup>();
    std::vector<QString> errors;
    setup->showError = [&](const QString& t) { errors.push_back(t); };
    setup->LoadFromRegistry(Settings());
    setup->SetMotorType(1);
    EXPECT_EQ(setup->SampleCountSpin()->value(), 100);
    EXPECT_EQ(setup->SampleCountSpin()->maximum(), 512);
    EXPECT_EQ(setup->SampleCountSpin()->singleStep(), 64);
    setup->SampleCountSpin()->setValue(512);
    EXPECT_EQ(setup->TotalTimeLabel()->text(), QStringLiteral("665 ms"));
    EXPECT_FALSE(setup->TrigPointBar()->isEnabled());  // forward and backward move
    EXPECT_EQ(setup->BeforeLabel()->text(), QStringLiteral("0 ms"));
    setup->TrigButton(kTriggerManual)->setChecked(true);
    EXPECT_TRUE(setup->TrigPointBar()->isEnabled());
    setup->TrigPointBar()->setValue(50);
    EXPECT_EQ(setup->BeforeLabel()->text(), QStringLiteral("332 ms"));  // 256 / 770 s
    EXPECT_FALSE(setup->TrigButton(kTriggerModuleInputOutput)->isEnabled());

    // A bare number selects the register; the colour dialog's choice lands in the record.
    setup->ChannelCombo(3)->setEditText(QStringLiteral("5"));
    setup->chooseColor = [](const QColor&) { return std::optional<QColor>(QColor(1, 2, 3)); };
    setup->ColorButton(3)->click();
    std::string error;
    const SSampleSettings* r = setup->GetSettings(error);
    ASSERT_NE(r, nullptr) << error;
    EXPECT_EQ(r->channels[3].source[1], 5);
    EXPECT_EQ(r->channels[3].registerName, "Velocity");
    EXPECT_EQ(r->channels[3].Color, 0x030201u);
    EXPECT_EQ(r->SampleCount(1), 512);
    EXPECT_EQ(r->triggerPoint, 256);

    // "&Ok" with a distance that is no number: the message, and the dialog stays.
    setup->open();  // showing reloads the controls from the record
    setup->DistanceEdit()->setText(QStringLiteral("ten"));
    setup->accept();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], QStringLiteral("'ten' is not a valid integer value"));
    EXPECT_TRUE(setup->isVisible());
    setup->DistanceEdit()->setText(QStringLiteral("10"));
    setup->accept();
    EXPECT_FALSE(setup->isVisible());

    setup.reset();  // written at exit
    SSampleSettings back;
    ASSERT_TRUE(back.LoadFromSettings(Settings()));
    EXPECT_EQ(back.SampleCount(1), 512);
    EXPECT_EQ(back.channels[3].Color, 0x030201u);
}

// The register boxes are typed into: a bare number means exactly that
// register, never a longer entry of the list that begins with it.
TEST_F(ScopeForms, ATypedNumberSelectsExactlyThatRegister)
{
    TfrmSampleSetup setup;
    setup.SetMotorType(2);
    setup.show();
    Settle();
    std::vector<QComboBox*> boxes{setup.RegisterCombo()};
    for (int i = 0; i < kSampleChannels; ++i)
        boxes.push_back(setup.ChannelCombo(i));
    for (const char* typed : {"4", "9", "11", "17", "49"}) {
        const QString text = QString::fromLatin1(typed);
        for (QComboBox* box : boxes) {
            box->setFocus();
            box->lineEdit()->selectAll();
            QTest::keyClick(box->lineEdit(), Qt::Key_Delete);
            QTest::keyClicks(box->lineEdit(), text);
            EXPECT_EQ(box->currentText().toStdString(), typed);
        }
        std::string error;
        const SSampleSettings* r = setup.GetSettings(error);
        ASSERT_NE(r, nullptr) << error;
        const int number = std::atoi(typed);
        EXPECT_EQ(r->triggerRegister, number) << typed;
        for (int i = 0; i < kSampleChannels; ++i)
            EXPECT_EQ(r->channels[static_cast<std::size_t>(i)].source[2], number) << typed << ", channel " << i + 1;
    }
}

// A sample count typed into "Sample setup" is kept for the family it was
// typed in, however the dialog is closed and also when the family changes
// while it is open: the dialog shows it again, the next run records that
// many samples, and it is written at exit and read at the next start. The
// other families keep their own counts.
enum class SetupCloseRoad { CloseButton, Escape, Ok };

struct SetupClose {
    const char* name;
    SetupCloseRoad road;
    int family;
    int switchTo;  // the family that comes while the dialog is open and goes again; -1 none
    const char* typed;
};

class SetupClosed : public ScopeForms, public ::testing::WithParamInterface<SetupClose> {};

TEST_P(SetupClosed, KeepsTheSampleCountTypedIntoIt)
{
    const SetupClose& c = GetParam();
    const SSampleSettings defaults;
    {
        Settings s;
        defaults.SaveToSettings(s);
    }
    scope->LoadSampleSetup(Settings());
    scope->SetMotorType(c.family);
    TfrmSampleSetup* setup = scope->SetupDialog();
    setup->open();
    Settle();
    QSpinBox* count = setup->SampleCountSpin();
    count->setFocus();
    count->selectAll();
    QTest::keyClicks(count, QString::fromLatin1(c.typed));
    const int typed = std::atoi(c.typed);
    ASSERT_EQ(count->value(), typed);
    if (c.switchTo >= 0) {
        scope->SetMotorType(c.switchTo);
        EXPECT_EQ(count->value(), defaults.SampleCount(c.switchTo));
        scope->SetMotorType(c.family);
        EXPECT_EQ(count->value(), typed);
    }
    switch (c.road) {
    case SetupCloseRoad::CloseButton:
        setup->close();
        break;
    case SetupCloseRoad::Escape:
        QTest::keyClick(setup, Qt::Key_Escape);
        break;
    case SetupCloseRoad::Ok:
        QTest::keyClick(setup, Qt::Key_Return);
        break;
    }
    Settle();
    ASSERT_FALSE(setup->isVisible());
    for (int f = 0; f < kSampleFamilies; ++f)
        EXPECT_EQ(setup->Record().SampleCount(f), f == c.family ? typed : defaults.SampleCount(f)) << "family " << f;

    setup->open();
    Settle();
    EXPECT_EQ(count->value(), typed) << "shown again";
    setup->close();

    scope->SetMotorMode(2);
    scope->btnStartClick();
    ASSERT_TRUE(link.run);
    EXPECT_EQ(link.run->SampleCount(), typed) << "the next run";
    scope->btnAbortClick();

    scope.reset();  // written at exit
    ASSERT_TRUE(Settings().Sync());
    TfrmScope next;
    next.LoadSampleSetup(Settings());
    for (int f = 0; f < kSampleFamilies; ++f) {
        next.SetMotorType(f);
        EXPECT_EQ(next.SetupDialog()->SampleCountSpin()->value(), f == c.family ? typed : defaults.SampleCount(f))
            << "the next start, family " << f;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Roads, SetupClosed,
    ::testing::Values(SetupClose{"CloseButton", SetupCloseRoad::CloseButton, 1, -1, "200"},
                      SetupClose{"Escape", SetupCloseRoad::Escape, 2, -1, "1000"},
                      SetupClose{"Ok", SetupCloseRoad::Ok, 0, -1, "500"},
                      SetupClose{"FamilyChangedMeanwhile", SetupCloseRoad::CloseButton, 1, 0, "300"}),
    [](const ::testing::TestParamInfo<SetupClose>& info) { return std::string(info.param.name); });

TEST_F(ScopeForms, TabsFilesClipboardAndLabels)
{
    EXPECT_EQ(scope->TimeScaleLabel()->text(), QString());
    EXPECT_EQ(scope->ChannelName(0)->text(), QString());
    scope->LoadScopes(WriteFile(kTwoSets));
    ASSERT_EQ(scope->Sets().size(), 2u);
    EXPECT_EQ(scope->Tabs()->count(), 2);
    EXPECT_EQ(scope->Tabs()->tabText(1), QStringLiteral("second"));
    EXPECT_EQ(scope->CurrentSet(), scope->Sets()[1]);
    EXPECT_EQ(scope->ChannelName(0)->text(), QStringLiteral("Load"));
    EXPECT_EQ(scope->ChannelName(1)->text(), QString());

    // Select the first: 3712 samples zoomed to the plot, scroll bar off; X5 turns it on.
    scope->Tabs()->setCurrentIndex(0);
    EXPECT_EQ(scope->CurrentSet(), scope->Sets()[0]);
    EXPECT_FALSE(scope->ScrollBar()->isEnabled());
    EXPECT_TRUE(scope->TimeScaleLabel()->text().endsWith(QStringLiteral(" ms/div")));
    scope->SetZoom(kZoomX5);
    EXPECT_EQ(scope->TimeScaleLabel()->text(), QStringLiteral("5.0 ms/div"));
    EXPECT_TRUE(scope->ScrollBar()->isEnabled());
    scope->ShowCursorAt(10);  // sample 2
    EXPECT_EQ(scope->TimeLabel()->text(), QStringLiteral("2.0"));
    EXPECT_EQ(scope->ChannelValue(0)->text(), QStringLiteral("15.0"));
    EXPECT_EQ(scope->ChannelUnit(0)->text(), QStringLiteral("RPM"));
    scope->ShowCursorAt(100000);  // beyond the last sample: unchanged
    EXPECT_EQ(scope->TimeLabel()->text(), QStringLiteral("2.0"));

    scope->PreparePlotMenu();
    EXPECT_TRUE(scope->ChannelItem(0)->isVisible());
    EXPECT_EQ(scope->ChannelItem(0)->text(), QStringLiteral("Show Speed"));
    EXPECT_FALSE(scope->ChannelItem(1)->isVisible());

    // Copy with the user's comma; a file saved afterwards still has points.
    scope->CopySet(scope->Sets()[1]);
    EXPECT_TRUE(QGuiApplication::clipboard()->text().endsWith(
        QStringLiteral("Sampletime [ms] \t2,5\r\nTime [ms]\tLoad [%]\r\n0\t6\r\n2,5\t-4,5\r\n")));
    scope->CopySet(scope->Sets()[0]);
    EXPECT_TRUE(QGuiApplication::clipboard()->text().contains(QStringLiteral("\r\n1\t10\r\n2\t15\r\n")));
    const QByteArray text = SaveAll();
    EXPECT_TRUE(text.contains("Factor=1.5\r\n"));
    EXPECT_EQ(ReadScopeText(text.toStdString()).sets.size(), 2u);
    separator.clear();
    scope->CopySet(scope->Sets()[0]);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, QStringLiteral("Could not load decimal saperator"));

    scope->prompts.saveFileName = [&] { return dir.filePath(QStringLiteral("missing/out.VekScopes")); };
    scope->SaveSets(scope->Sets()[0]);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_TRUE(shown[1].text.startsWith(QStringLiteral("Could not save the file\nError: ")));

    // Rename, reference with another sample time (told once), close.
    const auto renameBox = scope->prompts.rename;
    scope->prompts.rename = [](const QString&) { return std::optional<QString>(QStringLiteral("renamed")); };
    scope->RenameSet(1);
    EXPECT_EQ(scope->Tabs()->tabText(1), QStringLiteral("renamed"));
    // A long name is cut on its tab and kept whole.
    const std::string longName(100000, 'L');
    scope->prompts.rename = [&](const QString&) { return std::optional<QString>(QString::fromStdString(longName)); };
    scope->RenameSet(0);
    EXPECT_EQ(scope->Sets()[0]->name, longName);
    EXPECT_EQ(scope->Tabs()->tabText(0), QString(45, 'L') + QStringLiteral("..."));
    // The rename box's field holds fewer characters: OK on the name as it
    // stands keeps it whole, an edit gives the text the field showed.
    scope->prompts.rename = renameBox;
    auto answer = [](bool edit) {
        QTimer::singleShot(0, [edit] {  // runs once the box is up
            auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            if (edit)
                box->setTextValue(box->textValue().chopped(1));
            box->accept();
        });
    };
    answer(false);
    scope->RenameSet(0);
    EXPECT_TRUE(scope->Sets()[0]->name == longName) << scope->Sets()[0]->name.size() << " characters";
    answer(true);
    scope->RenameSet(0);
    EXPECT_TRUE(scope->Sets()[0]->name == std::string(32766, 'L')) << scope->Sets()[0]->name.size() << " characters";
    scope->prompts.rename = [](const QString&) { return std::optional<QString>(QStringLiteral("first")); };
    scope->RenameSet(0);
    EXPECT_EQ(scope->Tabs()->tabText(0), QStringLiteral("first"));
    scope->prompts.rename = [](const QString&) { return std::optional<QString>(QStringLiteral("renamed")); };
    scope->SetReference(scope->Sets()[1]);
    scope->DrawScope();
    Settle();
    EXPECT_EQ(scope->Reference(), nullptr);
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[2].caption, QStringLiteral("Wrong sampletime"));
    scope->CloseSet(0);
    EXPECT_EQ(scope->CurrentSet(), scope->Sets().at(0));
    ASSERT_EQ(scope->Tabs()->count(), 1);
    EXPECT_EQ(scope->Tabs()->tabText(0), QStringLiteral("renamed"));
    scope->CloseSet(0);
    EXPECT_EQ(scope->CurrentSet(), nullptr);
    EXPECT_EQ(scope->TimeScaleLabel()->text(), QString());
    EXPECT_EQ(scope->PlotImage().pixel(5, 5), qRgb(255, 255, 255));

    // A load that fails half way keeps the sets before it.
    scope->LoadScopes(WriteFile(std::string(kTwoSets) + "[Scope v0.9]\r\nCount=x\r\n"));
    EXPECT_EQ(scope->Sets().size(), 2u);
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[3].text, QStringLiteral("Could not load the file\nError: 'x' is not a valid integer value"));
}

// "Save" and "Save all" onto a disk that cannot take the file: the box says
// why, and the old file stays as it was.
TEST_F(ScopeForms, AFailedSaveKeepsWhatWasThere)
{
    scope->LoadScopes(WriteFile(kTwoSets));
    ASSERT_EQ(scope->Sets().size(), 2u);
    const std::string oldText = "[Scope v0.9]\r\nScopeName=kept\r\n[Scope end]\r\n";
    const QString old = WriteFile(oldText);
    scope->prompts.saveFileName = [&] { return old; };
    for (const auto& set : {scope->Sets()[0], std::shared_ptr<TSampleSet>()}) {
        shown.clear();
        {
            test::FileSizeLimit full(1024);  // the sets take some 7 KB
            scope->SaveSets(set);
        }
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].text,
                  QStringLiteral("Could not save the file\nError: The file cannot be written: file too large."));
        EXPECT_EQ(ReadWholeFile(QFile::encodeName(old).toStdString()), oldText);
    }
}

TEST_F(ScopeForms, AFileAskingForTooManySamplesIsRefused)
{
    // Four sets of four channels of a million samples each, Count after the
    // channels: the fourth passes the limit.
    std::string text;
    for (int i = 0; i < 4; ++i)
        text += "[Scope v0.9]\nNewChannel\nNewChannel\nNewChannel\nNewChannel\nCount=1000000\n[Scope end]\n";
    scope->LoadScopes(WriteFile(text));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, QStringLiteral("Could not load the file\nError: The file holds more than 14848000 samples"));
    ASSERT_EQ(scope->Sets().size(), 3u);  // the sets before the limit
    EXPECT_EQ(scope->CurrentSet(), scope->Sets()[2]);
    EXPECT_EQ(scope->Tabs()->count(), 3);
    EXPECT_EQ(scope->Sets()[2]->Channel(3)->Count(), 1000000);
}

// The scope holds no more than a scope file may: a load or a run that would
// pass a limit is refused and the sets held stay, so "Save all" writes a file
// that reads back whole.
struct ScopeLimitCase {
    const char* name;
    std::string first;   // loaded twice: the second load passes the limit
    std::string refill;  // fills the scope to the limit exactly
    const char* limit;   // the limit's words in the message
};

void PrintTo(const ScopeLimitCase& c, std::ostream* os) { *os << c.name; }

class ScopeLimits : public ScopeForms, public ::testing::WithParamInterface<ScopeLimitCase> {};

std::string Sets(int n, int channels, int count)
{
    std::string text;
    for (int i = 0; i < n; ++i) {
        text += "[Scope v0.9]\r\nCount=" + std::to_string(count) + "\r\n";
        for (int c = 0; c < channels; ++c)
            text += "NewChannel\r\n";
        text += "[Scope end]\r\n";
    }
    return text;
}

TEST_P(ScopeLimits, ALoadOrARunPastALimitIsRefusedAndTheSetsStay)
{
    const ScopeLimitCase& c = GetParam();
    scope->LoadScopes(WriteFile(c.first));
    ASSERT_TRUE(shown.empty()) << shown[0].text.toStdString();
    const std::vector<std::shared_ptr<TSampleSet>> held = scope->Sets();
    const std::shared_ptr<TSampleSet> current = scope->CurrentSet();

    scope->LoadScopes(WriteFile(c.first));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].text.startsWith(QStringLiteral("Could not load the file\nError: The scope would hold more than ")))
        << shown[0].text.toStdString();
    EXPECT_TRUE(shown[0].text.contains(QString::fromLatin1(c.limit))) << shown[0].text.toStdString();
    EXPECT_EQ(scope->Sets(), held);
    EXPECT_EQ(scope->CurrentSet(), current);
    EXPECT_EQ(scope->Tabs()->count(), static_cast<int>(held.size()));

    // What "Save all" writes reads back whole.
    const QByteArray bytes = SaveAll();
    const ScopeFileRead back = ReadScopeText(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    EXPECT_EQ(back.error, "");
    EXPECT_EQ(back.sets.size(), held.size());

    // Up to the limit exactly, then no run.
    shown.clear();
    scope->LoadScopes(WriteFile(c.refill));
    ASSERT_TRUE(shown.empty()) << shown[0].text.toStdString();
    scope->SetMotorType(0);
    scope->SetupDialog()->TrigButton(kTriggerManual)->setChecked(true);
    scope->btnStartClick();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].text.contains(QString::fromLatin1(c.limit))) << shown[0].text.toStdString();
    EXPECT_FALSE(link.run);
    EXPECT_TRUE(link.writes.empty());
    EXPECT_TRUE(scope->StartButton()->isEnabled());
    EXPECT_FALSE(scope->TrigStatus()->isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Limits, ScopeLimits,
    ::testing::Values(ScopeLimitCase{"Sets", Sets(600, 0, 0), Sets(400, 0, 0), "1000 scope sets"},
                      ScopeLimitCase{"Samples", Sets(2, 4, 1000000),
                                     Sets(1, 4, 1000000) + Sets(1, 2, 1000000) + Sets(1, 1, 848000),
                                     "14848000 samples"}),
    [](const ::testing::TestParamInfo<ScopeLimitCase>& info) { return std::string(info.param.name); });

TEST_F(ScopeForms, AThousandSetsOpenWithOneLayoutOfTheTabs)
{
    // The tab bar measures its tabs through the style: a layout per added tab
    // would measure n * n / 2 of them.
    struct CountingStyle : QProxyStyle {
        QSize sizeFromContents(ContentsType type, const QStyleOption* o, const QSize& s, const QWidget* w) const override
        {
            measured += type == CT_TabBarTab;
            return QProxyStyle::sizeFromContents(type, o, s, w);
        }
        mutable long measured = 0;
    };
    CountingStyle* style = new CountingStyle;
    style->setParent(scope.get());
    scope->Tabs()->setStyle(style);
    std::string text;
    for (int i = 0; i < 1001; ++i)
        text += "[Scope v0.9]\r\nScopeName=" + std::to_string(i) + "\r\n[Scope end]\r\n";
    scope->LoadScopes(WriteFile(text));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, QStringLiteral("Could not load the file\nError: The file holds more than 1000 scope sets"));
    ASSERT_EQ(scope->Tabs()->count(), 1000);
    EXPECT_EQ(scope->Tabs()->tabText(999), QStringLiteral("999"));
    EXPECT_EQ(scope->Tabs()->currentIndex(), 999);
    Settle();
    EXPECT_LT(style->measured, 10 * 1000);
    // Measured all the same: each tab as wide as its text asks.
    for (int i : {0, 999})
        EXPECT_GT(scope->Tabs()->tabRect(i).width(),
                  scope->Tabs()->fontMetrics().horizontalAdvance(scope->Tabs()->tabText(i)))
            << i;
}

TEST_F(ScopeForms, SampleRunThroughThePostedPhases)
{
    scope->SetMotorType(0);
    scope->SetMotorMode(1);
    scope->btnStartClick();  // forward and backward move outside position mode
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, QStringLiteral("Wrong mode"));
    EXPECT_TRUE(link.writes.empty());

    scope->SetMotorMode(2);
    scope->btnStartClick();
    EXPECT_EQ(link.writes, (std::vector<std::pair<int, std::int32_t>>{{112, 12}, {113, 20}, {114, 121}, {115, -1}}));
    ASSERT_TRUE(link.run);
    EXPECT_FALSE(scope->StartButton()->isEnabled());
    EXPECT_TRUE(scope->TrigStatus()->isVisible());
    EXPECT_EQ(scope->TrigStatus()->State(), QStringLiteral("Waiting for trigger"));
    Phase(3);
    EXPECT_EQ(scope->TrigStatus()->State(), QStringLiteral("Sampling"));
    Phase(2);
    EXPECT_EQ(scope->TrigStatus()->State(), QStringLiteral("Transfering"));
    ASSERT_EQ(scope->Sets().size(), 1u);
    EXPECT_EQ(scope->Tabs()->tabText(0), QStringLiteral("Scope 1"));
    EXPECT_EQ(link.upload, scope->Sets()[0]);
    EXPECT_EQ(scope->Sets()[0]->setupLines, std::vector<std::string>{"[Setup]"});
    EXPECT_TRUE(scope->UpdateTimer()->isActive());
    scope->CloseSet(0);  // the tab closed while its upload runs
    Post(UM_TRANSFERDONE, 896, 896 * 16 / 4);
    EXPECT_FALSE(scope->TrigStatus()->isVisible());
    EXPECT_FALSE(scope->UpdateTimer()->isActive());
    EXPECT_TRUE(scope->StartButton()->isEnabled());
    EXPECT_EQ(scope->TransDiffLabel()->text(), QStringLiteral("25 %"));

    // Abort while waiting: no set from the run's last phase.
    link.run.reset();
    scope->SetupDialog()->TrigButton(kTriggerManual)->setChecked(true);
    scope->btnStartClick();
    ASSERT_TRUE(link.run);
    scope->TrigStatus()->AbortButton()->click();
    Settle();
    EXPECT_TRUE(link.run->Aborted());
    EXPECT_TRUE(scope->StartButton()->isEnabled());
    Phase(2);
    EXPECT_TRUE(scope->Sets().empty());
    EXPECT_FALSE(scope->TrigStatus()->isVisible());

    // An upload cut short (an abort while the samples come) makes no set:
    // the set shown before the run is shown again.
    scope->LoadScopes(WriteFile(kTwoSets));
    const std::shared_ptr<TSampleSet> before = scope->CurrentSet();
    scope->btnStartClick();
    Phase(2);
    ASSERT_EQ(scope->Sets().size(), 3u);
    EXPECT_EQ(scope->CurrentSet(), link.upload);
    Post(UM_TRANSFERDONE, 500, 0);
    EXPECT_EQ(scope->Sets().size(), 2u);
    EXPECT_EQ(scope->CurrentSet(), before);
    EXPECT_EQ(scope->Tabs()->count(), 2);
    EXPECT_FALSE(scope->TrigStatus()->isVisible());
    EXPECT_TRUE(scope->StartButton()->isEnabled());
}

// A run starts only when something will end it, and each end is its run's:
// the trigger type that no job records for is refused at Start, and a run
// aborted without its end having come leaves the next run's end to that run.
TEST_F(ScopeForms, EachRunEndsByItsOwnEnd)
{
    scope->SetMotorType(0);
    scope->SetMotorMode(2);
    scope->SetupDialog()->TrigButton(kTriggerModuleInputOutput)->setChecked(true);
    scope->btnStartClick();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, QStringLiteral("Sampling"));
    EXPECT_TRUE(shown[0].text.contains(QStringLiteral("\"VekMRP Input/Output\""))) << shown[0].text.toStdString();
    EXPECT_TRUE(link.writes.empty());
    EXPECT_FALSE(link.run) << "a run started that nothing ends";
    EXPECT_FALSE(scope->TrigStatus()->isVisible());
    EXPECT_TRUE(scope->StartButton()->isEnabled());

    scope->SetupDialog()->TrigButton(kTriggerManual)->setChecked(true);
    scope->btnStartClick();
    const std::shared_ptr<SampleRun> aborted = link.run;
    ASSERT_TRUE(aborted);
    scope->TrigStatus()->AbortButton()->click();
    Settle();
    scope->btnStartClick();
    ASSERT_NE(link.run, aborted);
    Phase(3);
    Phase(2);  // the new run's end, before the aborted run's
    EXPECT_EQ(scope->TrigStatus()->State().toStdString(), "Transfering");
    ASSERT_EQ(scope->Sets().size(), 1u);
    Post(UM_SAMPLESTATE, 2, aborted->Number());  // the aborted run's end changes nothing
    EXPECT_TRUE(scope->TrigStatus()->isVisible());
    EXPECT_EQ(scope->Sets().size(), 1u);
    Post(UM_TRANSFERDONE, 896, 896);
    EXPECT_FALSE(scope->TrigStatus()->isVisible());
    EXPECT_TRUE(scope->StartButton()->isEnabled());
    EXPECT_EQ(scope->Sets().size(), 1u);
}
