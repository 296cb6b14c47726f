// The page font and the room of every text: each caption of every family,
// measured with the font in use, ends before whatever follows it.

#include "params/parameterlists.h"
#include "params/ui/lampimagelist.h"
#include "params/ui/pagefont.h"
#include "params/ui/paramuicontrols.h"
#include "params/ui/paramuifactory.h"
#include "platform/cp1252.h"
#include "platform/recordingtarget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QTabWidget>
#include <gtest/gtest.h>

#include "support/qtapp.h"

using namespace quenor;

namespace {

int Advance(const QWidget* w, const QString& text)
{
    return QFontMetrics(w->font()).horizontalAdvance(text);
}

struct AppFirst {
    AppFirst()
    {
        test::TestApp();
    }
};

struct Pages : AppFirst {
    QTabWidget pages;
    QWidget testPos;
    QWidget view;
    RecordingTarget target;
    std::vector<std::unique_ptr<CParamControl>> controls;

    explicit Pages(int family)
    {
        pages.resize(680, 600);
        testPos.resize(560, 120);
        view.resize(280, 600);
        const ParamTableSet* set = TableSetOfFamily(family);
        BuildParameterPages(&pages, &target, *set->main, controls);
        BuildParameterPages(&testPos, &target, *set->extra, controls);
        BuildParameterPages(&view, &target, *set->status, controls);
        ParamPoint p{5, 4};
        for (auto& c : controls)
            p = c->Arrange(true, {p.x, p.y + 5});
        for (auto& c : controls)
            c->SetValue(0);
    }
};

}  // namespace

class PageFont : public ::testing::TestWithParam<int> {};

TEST_P(PageFont, EveryTextFitsItsRoomWithTheFontInUse)
{
    Pages built(GetParam());
    const QFont& font = ParamPageFont();
    int measured = 0;
    for (const auto& c : built.controls) {
        const QString caption = FromCp1252(c->Caption());
        SCOPED_TRACE(caption.toStdString());
        if (auto* e = dynamic_cast<EditControlUi*>(c.get())) {
            const QLabel* cap = e->CaptionLabel();
            const QLabel* val = e->ValueLabel();
            EXPECT_EQ(cap->font(), font);
            EXPECT_EQ(cap->text(), caption);
            const int valueLeft = val->x() + val->width() - Advance(val, val->text());
            EXPECT_LE(cap->x() + Advance(cap, cap->text()) + kPageTextGap, valueLeft);
            const QLabel* unit = e->UnitLabel();
            EXPECT_EQ(unit->text(), FromCp1252(e->UnitText()));
            if (!unit->text().isEmpty()) {
                EXPECT_LE(unit->x() + Advance(unit, unit->text()), cap->x() + kColumnLineX);
            }
            ++measured;
        } else if (auto* cb = dynamic_cast<ComboUi*>(c.get())) {
            const QLabel* cap = cb->CaptionLabel();
            EXPECT_EQ(cap->font(), font);
            EXPECT_EQ(cap->text(), caption);
            EXPECT_LE(cap->x() + Advance(cap, cap->text()) + kPageTextGap, cb->Combo()->x());
            ++measured;
        } else if (auto* v = dynamic_cast<BitViewUi*>(c.get())) {
            const QLabel* cap = v->CaptionLabel();
            const QLabel* val = v->ValueLabel();
            EXPECT_EQ(cap->text(), caption);
            const int valueLeft = val->x() + val->width() - std::min(val->width(), Advance(val, val->text()));
            EXPECT_LE(cap->x() + Advance(cap, cap->text()), valueLeft);
            ++measured;
        } else if (auto* k = dynamic_cast<CheckBoxUi*>(c.get())) {
            EXPECT_EQ(k->Box()->text(), caption);
            EXPECT_LE(IndicatorRoom(k->Box()->style(), false) + Advance(k->Box(), caption), k->Box()->width());
            ++measured;
        } else if (auto* g = dynamic_cast<RadioGroupUi*>(c.get())) {
            EXPECT_EQ(g->GroupBox()->title(), caption);
            for (int i = 0; g->Button(i); ++i) {
                const QRadioButton* b = g->Button(i);
                EXPECT_EQ(b->text(), FromCp1252(g->Items().TextAt(i)));
                EXPECT_LE(IndicatorRoom(b->style(), true) + Advance(b, b->text()), b->width()) << i;
            }
            ++measured;
        } else if (auto* g2 = dynamic_cast<RadioGroup2Ui*>(c.get())) {
            EXPECT_EQ(g2->GroupBox()->title(), caption);
            const QCheckBox* mode = g2->ModeBox();
            ASSERT_NE(mode, nullptr);
            EXPECT_LE(8 + Advance(g2->GroupBox(), caption) + kPageTextGap, mode->x());
            for (int i = 0; g2->Button(i); ++i)
                EXPECT_EQ(g2->Button(i)->text(), FromCp1252(g2->Items().TextAt(i)));
            ++measured;
        } else if (auto* l = dynamic_cast<BitListUi*>(c.get())) {
            for (int i = 0; l->Label(i); ++i) {
                EXPECT_EQ(l->Label(i)->text(), FromCp1252(l->Items().TextAt(i)));
                EXPECT_LE(5 + Advance(l->Label(i), l->Label(i)->text()), kColumnLineX) << i;
            }
            ++measured;
        } else if (auto* b = dynamic_cast<BarControlUi*>(c.get())) {
            if (b->CaptionLabel()) {
                EXPECT_EQ(b->CaptionLabel()->text(), caption);
                EXPECT_GE(b->SecondBevel()->width(), 8);
                ++measured;
            }
        }
    }
    EXPECT_GT(measured, 100);
}

INSTANTIATE_TEST_SUITE_P(AllFamilies, PageFont, ::testing::Values(0, 1, 2));

TEST(PageFontElision, ACaptionThatLosesItsRoomIsElidedWithItsFullTextAsHint)
{
    Pages built(0);
    EditControlUi* e = nullptr;
    for (const auto& c : built.controls)
        if (auto* edit = dynamic_cast<EditControlUi*>(c.get()); edit && c->Caption() == "Actual position")
            e = edit;
    ASSERT_NE(e, nullptr);
    const QString caption = QStringLiteral("Actual position");
    const QString hint = e->CaptionLabel()->toolTip();
    ASSERT_EQ(e->CaptionLabel()->text(), caption);
    // A value wider than the room left beside the caption (a large font stands
    // in for a long value).
    QFont big = e->ValueLabel()->font();
    big.setPointSize(13);
    e->ValueLabel()->setFont(big);
    e->SetValue(-2147483647);
    const QLabel* cap = e->CaptionLabel();
    const QLabel* val = e->ValueLabel();
    EXPECT_TRUE(cap->text().endsWith(QChar(0x2026))) << cap->text().toStdString();
    EXPECT_TRUE(cap->toolTip().startsWith(caption));
    EXPECT_LE(cap->x() + Advance(cap, cap->text()) + kPageTextGap, val->x() + val->width() - Advance(val, val->text()));
    e->SetValue(0);
    EXPECT_EQ(cap->text(), caption);
    EXPECT_EQ(cap->toolTip(), hint);
}

TEST(PageFontChoice, TheLargestFontInWhichEveryCaptionFits)
{
    test::TestApp();
    QFont base = QApplication::font();
    base.setPointSizeF(9);
    const QString text = QStringLiteral("Register movement type");
    auto width = [&](double size, int stretch) {
        QFont f = base;
        f.setPointSizeF(size);
        f.setStretch(stretch);
        return QFontMetrics(f).horizontalAdvance(text);
    };
    struct Case {
        int room;
        bool unit;
        double size;
        int stretch;
    };
    const Case cases[] = {
        {width(9, 100), false, 9, 100},       // fits as it is
        {width(9, 100) - 1, false, -1, -1},   // needs less: something smaller fits
        {1, false, 7, QFont::SemiCondensed},  // nothing fits: the smallest tried
        {1, true, 9, 100},                    // units do not decide the font
    };
    for (const Case& c : cases) {
        const QFont f = ChoosePageFont(base, {PageText{text, c.room, {}, {}, c.unit}});
        if (c.size > 0) {
            EXPECT_DOUBLE_EQ(f.pointSizeF(), c.size) << c.room;
            EXPECT_EQ(f.stretch() == 0 ? 100 : f.stretch(), c.stretch) << c.room;
        } else {
            EXPECT_LE(QFontMetrics(f).horizontalAdvance(text), c.room);
            EXPECT_TRUE(f.pointSizeF() < 9 || f.stretch() == QFont::SemiCondensed);
        }
    }
}
