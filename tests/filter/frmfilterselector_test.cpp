#include "app/ui/frmfilterselector.h"
#include "filter/selectorfixture.h"
#include "support/qtapp.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace quenor;
using namespace quenor::filtertest;

namespace {

class FilterForm : public ::testing::Test {
protected:
    void SetUp() override { test::TestApp(); }

    std::unique_ptr<TformFilterSelector> Make()
    {
        tables.Write(dir);
        auto form = std::make_unique<TformFilterSelector>(nullptr, std::vector<std::string>{dir.Path()}, &ui);
        form->SetTarget(&target);
        form->SetMotorType(kNormalIndex, 3, true);
        return form;
    }

    TempDir dir;
    Tables tables;
    ScriptedUi ui;
    RecordingTarget target;
};

TEST_F(FilterForm, GridClickChoosesTheCellAndMovesTheMarker)
{
    // Motor 2, current filter 0: column 0, row 4 (hardness 0, speed 0) has no filter.
    for (int d = 0; d < 5; ++d)
        tables.normal.noFilter.insert(fg::RecordNumber(tables.normal, {0, 0, d, 0, kNormalIndex, 0}));
    auto form = Make();
    form->show();
    EXPECT_EQ(form->VersionLabel()->text(), QStringLiteral("1.3"));
    EXPECT_EQ(form->MotorTypeLabel()->text(), QStringLiteral("VEK3"));
    EXPECT_TRUE(form->CurrentFilterGroup()->isVisible());
    // New filters of the normal table: the third and fourth feed-forward buttons.
    EXPECT_EQ(form->FeedForwardButton(2)->text(), QStringLiteral("Dyn 2"));
    EXPECT_EQ(form->FeedForwardButton(3)->text(), QStringLiteral("Static"));

    // No current filter chosen: every cell is covered and a click takes none.
    QTest::mouseClick(form->Grid(), Qt::LeftButton, {}, QPoint(65, 80));
    EXPECT_FALSE(form->Marker()->isVisible());
    form->CurrentFilterButton(0)->click();

    QImage normal;
    LoadPngResource(normal, 170, form->palette().color(QPalette::Window));
    const QImage drawn = form->Grid()->Rendered();
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 5; ++c) {
            const bool offered = !(c == 0 && r == 4);
            EXPECT_EQ(form->Grid()->Offered(c, r), offered) << c << "," << r;
            const QPoint centre(12 + 25 * c + 12, 25 * r + 12);
            EXPECT_EQ(drawn.pixel(centre) == normal.pixel(centre), offered) << "cell " << c << "," << r;
        }

    QTest::mouseClick(form->Grid(), Qt::LeftButton, {}, QPoint(65, 80));
    EXPECT_EQ(form->Logic().Choices().column, 2);
    EXPECT_EQ(form->Logic().Choices().row, 3);
    ASSERT_TRUE(form->Marker()->isVisible());
    EXPECT_EQ(form->Marker()->pos(), form->Grid()->pos() + QPoint(25 * 2 + 21, 25 * 3 + 11));
    EXPECT_EQ(form->HardnessImage(), 3);
    EXPECT_EQ(form->SpeedImage(), 2);

    // A covered cell does not move it.
    QTest::mouseClick(form->Grid(), Qt::LeftButton, {}, QPoint(12 + 5, 100 + 5));
    EXPECT_EQ(form->Marker()->pos(), form->Grid()->pos() + QPoint(25 * 2 + 21, 25 * 3 + 11));

    // Damping and type buttons follow the choices; the id shows the filter.
    EXPECT_FALSE(form->FeedForwardButton(0)->isEnabled());
    form->DampingButton(2)->click();
    ASSERT_TRUE(form->FeedForwardButton(4)->isEnabled());
    form->FeedForwardButton(4)->click();
    EXPECT_EQ(form->IdLabel()->text(), QStringLiteral("MVF02224"));

    // The motor's filter choice word puts the controls where the motor is.
    PostMessage(form->Inbox(), UM_FILTERCHOICE, 3 | 4 << 4 | 0 << 7 | 1 << 10 | 3 << 13 | 0 << 16 | 100 << 18, 0);
    test::DeliverPosted();
    EXPECT_TRUE(form->DampingButton(1)->isChecked());
    EXPECT_TRUE(form->FeedForwardButton(3)->isChecked());
    EXPECT_FALSE(form->FeedForwardButton(4)->isChecked());
    EXPECT_EQ(form->DegreeBar()->value(), 500);
    EXPECT_EQ(form->DegreeLabel()->text(), QStringLiteral("95"));
    EXPECT_EQ(form->Marker()->pos(), form->Grid()->pos() + QPoint(25 * 4 + 21, 25 * 4 + 11));

    // Large motors: no current filter group, other captions.
    form->SetMotorType(kLargeIndex, 20, true);
    EXPECT_FALSE(form->CurrentFilterGroup()->isVisible());
    EXPECT_EQ(form->FeedForwardButton(2)->text(), QStringLiteral("Dyn 2"));
    EXPECT_EQ(form->FeedForwardButton(3)->text(), QStringLiteral("Dyn 3"));
    form->SetMotorType(kNormalIndex, 3, false);
    EXPECT_EQ(form->FeedForwardButton(2)->text(), QStringLiteral("Static"));
    EXPECT_EQ(form->FeedForwardButton(3)->text(), QStringLiteral("Static"));
}

// A connected motor of unknown type: no table is for it. Nothing is offered
// or loaded, and the form says why in the current filter's place.
TEST_F(FilterForm, AnUnknownMotorTypeOffersNoFilterAndSaysWhy)
{
    auto form = Make();
    form->show();
    form->CurrentFilterButton(0)->click();
    ASSERT_TRUE(form->Logic().SelectId("02224"));
    ASSERT_TRUE(form->Logic().SelectionValid());
    form->SetUnknownMotorType(11);
    EXPECT_FALSE(form->CurrentFilterGroup()->isVisible());
    ASSERT_TRUE(form->UnknownTypeLabel()->isVisible());
    const std::string why = form->Logic().UnknownTypeText();
    EXPECT_NE(why.find("type code 11"), std::string::npos) << why;
    EXPECT_EQ(form->UnknownTypeLabel()->text().toStdString(), why);
    EXPECT_EQ(form->MotorTypeLabel()->text(), QStringLiteral("VEK?"));
    EXPECT_EQ(form->VersionLabel()->text(), QString());  // no table serves it
    for (int r = 0; r < kGridSize; ++r)
        for (int c = 0; c < kGridSize; ++c)
            EXPECT_FALSE(form->Grid()->Offered(c, r)) << c << "," << r;
    for (int i = 0; i < kButtonCount; ++i)
        EXPECT_FALSE(form->DampingButton(i)->isEnabled() || form->FeedForwardButton(i)->isEnabled()) << i;
    EXPECT_FALSE(form->Marker()->isVisible());
    // The motor's own choice word finds no table to be shown in.
    form->ShowFilter(3 | 4 << 4 | 1 << 10 | 3 << 13);
    EXPECT_EQ(form->Logic().Choices().column, -1);

    form->LoadButton()->click();
    form->SelectButton()->click();
    EXPECT_TRUE(target.Snapshot().empty());
    EXPECT_TRUE(ui.asked.empty());
    ASSERT_EQ(ui.told.size(), 2u);
    for (const auto& told : ui.told)
        EXPECT_EQ(told.text, why);

    // A known type offers its filters again.
    form->SetMotorType(kNormalIndex, 3, true);
    EXPECT_FALSE(form->UnknownTypeLabel()->isVisible());
    EXPECT_TRUE(form->CurrentFilterGroup()->isVisible());
    EXPECT_EQ(form->MotorTypeLabel()->text(), QStringLiteral("VEK3"));
    EXPECT_EQ(form->VersionLabel()->text(), QStringLiteral("1.3"));
}

TEST_F(FilterForm, HelpOpensAndClosesAndLoadFailuresAreToldOnce)
{
    auto form = Make();
    form->show();
    EXPECT_EQ(form->width(), 248);
    form->HelpButton()->click();
    EXPECT_EQ(form->width(), 451);
    EXPECT_EQ(form->HelpButton()->text(), QStringLiteral("&Help <<"));
    form->HelpButton()->click();
    EXPECT_EQ(form->width(), 248);
    EXPECT_EQ(form->HelpButton()->text(), QStringLiteral("&Help >>"));
    QTest::qWait(20);
    EXPECT_TRUE(ui.told.empty());

    TempDir empty("empty");
    ScriptedUi emptyUi;
    TformFilterSelector broken(nullptr, {empty.Path()}, &emptyUi);
    EXPECT_TRUE(emptyUi.told.empty());  // nothing at creation
    broken.show();
    test::SpinUntil([&] { return !emptyUi.told.empty(); });
    ASSERT_EQ(emptyUi.told.size(), 1u);
    EXPECT_EQ(emptyUi.told[0].caption, "Error loading filter file");
    EXPECT_NE(emptyUi.told[0].text.find("manyfiltold.dat"), std::string::npos);
    broken.hide();
    broken.show();
    QTest::qWait(20);  // and not again
    EXPECT_EQ(emptyUi.told.size(), 1u);
}

}  // namespace
