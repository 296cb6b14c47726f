// The widgets of the parameter controls, driven by mouse and keyboard offscreen.
#include "params/paramkinds.h"
#include "params/ui/lampimagelist.h"
#include "params/ui/paramuicontrols.h"
#include "params/ui/paramuifactory.h"
#include "platform/recordingtarget.h"
#include "rowbuilder.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace quenor;
using quenor::test::EditRow;
using quenor::test::Row;

namespace {

class ParamUi : public ::testing::Test {
protected:
    ParamUi()
    {
        static int argc = 1;
        static char name[] = "test_params_ui";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
        window_ = std::make_unique<QWidget>();
        window_->resize(800, 600);
        window_->show();
    }
    ~ParamUi() override
    {
        controls_.clear();
        window_.reset();
        app_.reset();
    }

    template <class T>
    T* Make(const Row& row, QWidget* parent = nullptr)
    {
        controls_.push_back(CreateParamControlWidget(parent ? parent : window_.get(), &target_, row));
        auto* c = dynamic_cast<T*>(controls_.back().get());
        EXPECT_NE(c, nullptr);
        if (c)
            c->Arrange(true, {5, 10});
        target_.Clear();
        return c;
    }

    std::vector<Message> Of(int msg)
    {
        std::vector<Message> out;
        for (auto& m : target_.Snapshot())
            if (m.msg == msg)
                out.push_back(m);
        return out;
    }

    std::unique_ptr<QApplication> app_;
    std::unique_ptr<QWidget> window_;
    RecordingTarget target_;
    std::vector<std::unique_ptr<CParamControl>> controls_;
};

}  // namespace

TEST_F(ParamUi, CaptionOrValueLabelClickReadsOnce)
{
    auto* e = Make<EditControlUi>(EditRow("Position", 3, 2 | 0x20, -67000000, 67000000, 1));
    ASSERT_TRUE(e->CaptionLabel()->isVisible());
    QTest::mouseClick(e->CaptionLabel(), Qt::LeftButton);
    auto reads = Of(UM_READREGISTER);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].wParam, 3);
    EXPECT_EQ(reads[0].lParam, 4);
    EXPECT_EQ(target_.Size(), 1u);

    target_.Clear();
    e->SetValue(42);
    QTest::mouseClick(e->ValueLabel(), Qt::LeftButton);
    EXPECT_EQ(Of(UM_READREGISTER).size(), 1u);
    EXPECT_EQ(e->ValueLabel()->text(), QStringLiteral("42"));
}

TEST_F(ParamUi, EnterInTheEditFieldWritesAndTheFieldKeepsItsText)
{
    auto* e = Make<EditControlUi>(EditRow("Torque", 7, 1 | 0x20 | 0x40, -1023, 1023, 1, "%"));
    QTest::keyClicks(e->EditField(), QStringLiteral("12.5"));
    QTest::keyClick(e->EditField(), Qt::Key_Return);
    auto changed = Of(UM_CONTROLCHANGED);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].wParam, 7);
    EXPECT_EQ(e->Value(), 13);
    EXPECT_EQ(e->EditField()->text(), QStringLiteral("12.5"));
    EXPECT_EQ(e->ValueLabel()->text(), QStringLiteral("0"));  // redrawn by the register echo only
    e->SetValue(13);
    EXPECT_EQ(e->ValueLabel()->text(), QStringLiteral("13"));
}

TEST_F(ParamUi, DecimalPointWhateverTheLocale)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");  // may be missing; then the C locale stays
    Row r = EditRow("Volts", 123, 1 | 0x20, -1023, 1023, 0.1);
    r.Set(11, 1);
    auto* e = Make<EditControlUi>(r);
    e->SetValue(123);
    EXPECT_EQ(e->ValueLabel()->text(), QStringLiteral("12.3"));
    QTest::keyClicks(e->EditField(), QStringLiteral("1,5"));
    QTest::keyClick(e->EditField(), Qt::Key_Return);
    EXPECT_EQ(Of(UM_CONTROLCHANGED).size(), 0u);
    std::setlocale(LC_NUMERIC, "C");
    QLocale::setDefault(QLocale::c());
}

TEST_F(ParamUi, SpinButtonAndUnitLabel)
{
    Row r = EditRow("Max velocity", 5, 1 | 0x20 | 0x80, -10487, 10487, 0.476837158203125, "RPM", "Cnts/S");
    r.Set(11, 100.0);
    auto* e = Make<EditControlUi>(r);
    ASSERT_NE(e->Spin(), nullptr);
    QTest::mouseClick(e->Spin()->UpButton(), Qt::LeftButton);
    EXPECT_EQ(Of(UM_CONTROLCHANGED).size(), 1u);
    EXPECT_EQ(e->Value(), 210);

    EXPECT_EQ(e->UnitLabel()->text(), QStringLiteral("RPM"));
    QTest::mouseClick(e->UnitLabel(), Qt::LeftButton);
    EXPECT_EQ(e->UnitLabel()->text(), QStringLiteral("Cnts/S"));
    EXPECT_FALSE(e->Scaled());
}

TEST_F(ParamUi, RadioButtonClickWithAndWithoutChangeActualMode)
{
    Row r;
    r.Head(5, "Startup mode", 37).Set(5, 0).Set(6, 5).Items(7, {{0, "Passive"}, {1, "Velocity"}, {2, "Position"}});
    auto* g = Make<RadioGroup2Ui>(r);
    ASSERT_TRUE(g->GroupBox()->isVisible());
    EXPECT_TRUE(g->Button(0)->isChecked());
    ASSERT_NE(g->ModeBox(), nullptr);
    EXPECT_TRUE(g->ModeBox()->isChecked());

    QTest::mouseClick(g->Button(2), Qt::LeftButton);
    auto changed = Of(UM_CONTROLCHANGED);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].wParam, 37);
    EXPECT_EQ(changed[0].lParam, 1);
    EXPECT_EQ(g->GetField(), 2);
    EXPECT_TRUE(g->Button(2)->isChecked());

    target_.Clear();
    QTest::mouseClick(g->ModeBox(), Qt::LeftButton);
    EXPECT_FALSE(g->ModeBox()->isChecked());
    EXPECT_EQ(target_.Size(), 0u);
    QTest::mouseClick(g->Button(1), Qt::LeftButton);
    changed = Of(UM_CONTROLCHANGED);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].lParam, 0);

    // A register value checks its item and posts nothing; an unknown one checks none.
    target_.Clear();
    g->SetValue(2);
    EXPECT_TRUE(g->Button(2)->isChecked());
    g->SetValue(31);
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(g->Button(i)->isChecked()) << i;
    g->SetValue(1);
    EXPECT_TRUE(g->Button(1)->isChecked());
    EXPECT_EQ(target_.Size(), 0u);
}

TEST_F(ParamUi, CheckBoxClickAndRegisterValue)
{
    Row r;
    r.Head(7, "Invert Output 1 (O1)", 161).Set(5, 0).Set(6, 1);
    auto* c = Make<CheckBoxUi>(r);
    c->SetValue(1);
    EXPECT_TRUE(c->Box()->isChecked());
    EXPECT_EQ(target_.Size(), 0u);
    QTest::mouseClick(c->Box(), Qt::LeftButton);
    EXPECT_FALSE(c->Box()->isChecked());
    auto changed = Of(UM_CONTROLCHANGED);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].wParam, 161);
    EXPECT_EQ(c->GetField(), 0);
}

TEST_F(ParamUi, ComboKeepsAnOpenListAndCatchesUpWhenItCloses)
{
    Row r;
    r.Head(10, "I/O Type", 36).Set(5, 0).Set(6, 2).Set(7, 120).Items(8, {{0, "Pulse Input"}, {1, "Pulse Output"}, {3, "Serial Data"}});
    auto* c = Make<ComboUi>(r);
    EXPECT_EQ(c->Combo()->width(), 120);
    c->SetValue(1);
    EXPECT_EQ(c->Combo()->currentIndex(), 1);
    EXPECT_EQ(target_.Size(), 0u);

    c->Combo()->showPopup();
    ASSERT_TRUE(c->Combo()->ListOpen());
    c->SetValue(3);
    EXPECT_EQ(c->Combo()->currentIndex(), 1);  // the open list is left alone
    c->Combo()->hidePopup();
    EXPECT_EQ(c->Combo()->currentIndex(), 2);
    EXPECT_EQ(target_.Size(), 0u);

    // The user's choice posts a write with the changed flag.
    c->Combo()->setCurrentIndex(0);
    auto changed = Of(UM_CONTROLCHANGED);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].wParam, 36);
    EXPECT_TRUE(c->TestAndClearChanged());
    EXPECT_EQ(c->GetField(), 0);
}

TEST_F(ParamUi, LampClicksHitOnlyLamps)
{
    Row r;
    r.Head(14, "Outputs", 257).Set(5, 0).Set(6, 4).Set(7, 1).Set(8, static_cast<const void*>(kWindowLampImages)).Set(9, 2).Set(10, 1);
    auto* l = Make<BitLampsUi>(r);
    ASSERT_EQ(l->ImageList(), &DefaultLampImageList());
    EXPECT_EQ(l->View()->width(), l->ImageWidth());
    EXPECT_EQ(l->View()->height(), l->ImageHeight());
    const int top = l->LampRowTop();

    // Lamp 0 is bit 3, clear: clicking asks to set it.
    QTest::mouseClick(l->View(), Qt::LeftButton, {}, QPoint(5, top + 5));
    auto set = Of(UM_SETOUTPUT);
    ASSERT_EQ(set.size(), 1u);
    EXPECT_EQ(set[0].wParam, 3);
    EXPECT_EQ(set[0].lParam, 1);

    target_.Clear();
    QTest::mouseClick(l->View(), Qt::LeftButton, {}, QPoint(12, top + 5));  // the gap
    QTest::mouseClick(l->View(), Qt::LeftButton, {}, QPoint(5, 2));         // the numbers
    EXPECT_EQ(target_.Size(), 0u);

    l->SetValue(0x1);  // lamp 3 lit: the "on" image of outputs is red
    const QColor lit = l->View()->Canvas().pixelColor(l->LampLeft(3) + 5, top + 5);
    const QColor off = l->View()->Canvas().pixelColor(l->LampLeft(0) + 5, top + 5);
    EXPECT_GT(lit.red(), 200);
    EXPECT_LT(off.red(), 200);
    QTest::mouseClick(l->View(), Qt::LeftButton, {}, QPoint(l->LampLeft(3) + 3, top + 5));
    set = Of(UM_SETOUTPUT);
    ASSERT_EQ(set.size(), 1u);
    EXPECT_EQ(set[0].wParam, 0);
    EXPECT_EQ(set[0].lParam, 0);
}

TEST_F(ParamUi, PagesMakeTabsOrPassTheParentOn)
{
    auto* tabs = new QTabWidget(window_.get());
    tabs->resize(600, 400);
    tabs->show();
    Row page;
    page.Head(9, "Main", 1);
    auto* p = Make<PageControlUi>(page, tabs);
    ASSERT_FALSE(p->NoTab());
    EXPECT_EQ(tabs->count(), 1);
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("Main"));
    QWidget* container = ParamPageContainer(p);
    ASSERT_NE(container, nullptr);
    EXPECT_NE(container, tabs);

    auto* edit = Make<EditControlUi>(EditRow("Position 1 (P1)", 49, 2 | 0x20 | 0x40, -67000000, 67000000, 1), container);
    EXPECT_EQ(edit->EditField()->parentWidget(), container);

    Row dummy;
    dummy.Head(9, "DummyPage", 0);
    auto* d = Make<PageControlUi>(dummy);
    EXPECT_TRUE(d->NoTab());
    EXPECT_EQ(ParamPageContainer(d), window_.get());

    // Deleting the page first takes the widgets on it along; the edit then
    // frees nothing twice.
    controls_.erase(controls_.begin());
    EXPECT_EQ(tabs->count(), 0);
    controls_.clear();
}

TEST_F(ParamUi, EveryKindBuildsAndArranges)
{
    std::vector<Row> rows;
    rows.push_back(EditRow("Edit", 5, 1 | 0x20 | 0x80, -10, 10, 1));
    rows.push_back(Row().Head(3, "Heading", 1));
    rows.push_back(Row().Head(3, "Column", 2));
    rows.push_back(Row().Head(4, "Group", 37).Set(5, 0).Set(6, 2).Items(7, {{0, "a"}, {1, "b"}}));
    rows.push_back(Row().Head(6, "View", 2).Set(5, 0).Set(6, 2).Set(7, 0xFF).Items(8, {{0, "a"}}));
    rows.push_back(Row().Head(8, "List", 35).Set(5, 0).Set(6, 2).Items(8, {{0, "a"}, {1, "b"}}));
    rows.push_back(Row().Head(13, "Info", 120, 0, 0).Set(5, 2));
    rows.push_back(Row().Head(14, "Inputs", 256).Set(5, 0).Set(6, 8).Set(8, static_cast<const void*>(kWindowLampImages)).Set(10, 1));
    rows.push_back(Row().Head(2, "Skipped", 1));
    ParamPoint p{5, -1};
    int built = 0;
    for (const Row& r : rows) {
        auto c = CreateParamControlWidget(window_.get(), &target_, r);
        if (!c)
            continue;
        ++built;
        const ParamPoint next = c->Arrange(true, {p.x, p.y + 5});
        EXPECT_TRUE(next.y >= p.y || next.y == -1) << c->Caption();
        p = next;
        controls_.push_back(std::move(c));
    }
    EXPECT_EQ(built, 8);
    auto* list = dynamic_cast<BitListUi*>(controls_[5].get());
    ASSERT_NE(list, nullptr);
    list->SetValue(2);
    EXPECT_FALSE(list->Label(0)->isEnabled());
    EXPECT_TRUE(list->Label(1)->isEnabled());
}
