// Every row of the three families becomes its control, with widgets, as the
// main window builds the pages.

#include "params/parameterlists.h"
#include "params/paramcontrol.h"
#include "params/paramfactory.h"
#include "params/ui/lampimagelist.h"
#include "params/ui/paramuifactory.h"
#include "platform/recordingtarget.h"

#include <QTabWidget>
#include <gtest/gtest.h>

#include "support/qtapp.h"

using namespace quenor;

namespace {

struct Built {
    std::vector<std::unique_ptr<CParamControl>> controls;
    int binds = 0;
};

// Builds main, extra and status tables into three parents in that order.
void BuildFamily(int family, QWidget& pages, QWidget& testPos, QWidget& view, RecordingTarget& target,
                 Built& out)
{
    const ParamTableSet* set = TableSetOfFamily(family);
    ASSERT_NE(set, nullptr);
    BuildParameterPages(&pages, &target, *set->main, out.controls);
    BuildParameterPages(&testPos, &target, *set->extra, out.controls);
    BuildParameterPages(&view, &target, *set->status, out.controls);
    for (const auto& m : target.Snapshot())
        if (m.msg == UM_BINDCONTROL)
            ++out.binds;
}

}  // namespace

class FamilyPages : public ::testing::TestWithParam<int> {};

TEST_P(FamilyPages, EveryRowBuildsItsControlAndArranges)
{
    test::TestApp();
    const int family = GetParam();
    QTabWidget pages;
    QWidget testPos, view;
    RecordingTarget target;
    Built built;
    BuildFamily(family, pages, testPos, view, target, built);

    const ParamTableSet* set = TableSetOfFamily(family);
    int expected = 0;
    for (const ParamTable* t : {set->main, set->extra, set->status})
        for (int r = 0; r < t->RowCount(); ++r)
            if (KindCreatesControl(t->Cell(r, 0).i))
                ++expected;
    EXPECT_EQ(static_cast<int>(built.controls.size()), expected);
    EXPECT_LE(built.controls.size(), kMaxParamControls);
    EXPECT_GT(pages.count(), 0);
    EXPECT_GT(built.binds, 0);

    // Captions and registers come from the rows, in order.
    std::size_t i = 0;
    for (const ParamTable* t : {set->main, set->extra, set->status})
        for (int r = 0; r < t->RowCount(); ++r) {
            if (!KindCreatesControl(t->Cell(r, 0).i))
                continue;
            ASSERT_LT(i, built.controls.size());
            EXPECT_EQ(built.controls[i]->Caption(), t->Cell(r, 2).text) << "row " << r;
            EXPECT_EQ(built.controls[i]->Kind(), t->Cell(r, 0).i) << "row " << r;
            ++i;
        }

    // The layout runs over everything, shown and hidden, without trouble.
    ParamPoint p{0, 0};
    for (auto& c : built.controls)
        p = c->Arrange((c->VisibilityMask() & 1) != 0, p);
    for (auto& c : built.controls)
        c->SetValue(0x12345678);
}

INSTANTIATE_TEST_SUITE_P(AllFamilies, FamilyPages, ::testing::Values(0, 1, 2));

TEST(FamilyPagesLimit, TheControlArrayRefusesABuildThatWouldNotFit)
{
    test::TestApp();
    QTabWidget pages;
    QWidget testPos, view;
    RecordingTarget target;
    Built built;
    BuildFamily(0, pages, testPos, view, target, built);
    const std::size_t before = built.controls.size();
    // A second family on top of the first does not fit: nothing of it is made.
    EXPECT_THROW(BuildParameterPages(&pages, &target, *TableSetOfFamily(1)->main, built.controls),
                 std::length_error);
    EXPECT_EQ(built.controls.size(), before);
}
