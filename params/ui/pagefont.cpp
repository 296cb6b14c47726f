#include "params/ui/pagefont.h"

#include "params/parameterlists.h"
#include "params/paramfactory.h"
#include "params/paramkinds.h"
#include "params/ui/paramuicontrols.h"
#include "platform/cp1252.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QStyle>
#include <QVariant>

#include <algorithm>
#include <memory>

namespace quenor {

namespace {

// The layout's rooms, in pixels from the control's left edge (x).
constexpr int kColumnLine = kColumnLineX;
constexpr int kEditValueRight = 150;  // right edge of an edit's value (135 with a spin button)
constexpr int kEditSpinValueRight = 135;
constexpr int kEditUnitLeft = 220;  // with an edit field; 155 without
constexpr int kEditUnitLeftNoField = 155;
constexpr int kBarCaptionLeft = 9;  // heading: caption between two bevels, 255 in all
constexpr int kBarRight = 255;
constexpr int kBarMinBevel = 8;
constexpr int kRadioBoxWidth = 255;
constexpr int kRadioButtonWidth = 230;
constexpr int kCheckBoxWidth = 260;
constexpr int kBitViewValueRight = 150;  // value label 80 wide at x + 70, right-aligned
constexpr int kBitViewValueWidth = 80;
constexpr int kBitListLeft = 5;
constexpr int kComboRight = 233;  // the list's right edge

QString Q(const std::string& s)
{
    return FromCp1252(s);
}

// The widest value an edit shows in ordinary use: five digits with sign and
// its decimals.
QString NominalValue(int decimals)
{
    QString s = QStringLiteral("-00000");
    if (decimals > 0)
        s += QLatin1Char('.') + QString(decimals, QLatin1Char('0'));
    return s;
}

// The widest value an edit shows: its limits when they are narrower than the
// nominal value.
QString WidestValue(const CParamControlEdit& e)
{
    const int decimals = std::clamp(e.Decimals(), 0, 2);
    const QString nominal = NominalValue(decimals);
    const double f = e.DisplayFactor();
    const double lo = e.Minimum() * f;
    const double hi = e.Maximum() * f;
    if (!(hi > lo))
        return nominal;
    const QString a = QString::number(lo, 'f', decimals);
    const QString b = QString::number(hi, 'f', decimals);
    const QString& wider = a.size() > b.size() ? a : b;
    return wider.size() < nominal.size() ? wider : nominal;
}

}  // namespace

int IndicatorRoom(const QStyle* style, bool radio)
{
    if (!style)
        return 20;
    return radio ? style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) +
                       style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing) + 4
                 : style->pixelMetric(QStyle::PM_IndicatorWidth) + style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing) +
                       4;
}

std::vector<PageText> PageTexts(const ParamTable& table, const QStyle* style)
{
    std::vector<PageText> out;
    for (int r = 0; r < table.RowCount(); ++r) {
        const std::unique_ptr<CParamControl> c = CreateParamControl(nullptr, table.Row(r));
        if (!c)
            continue;
        const QString caption = Q(c->Caption());
        const QString where = QStringLiteral("row %1 \"%2\"").arg(r).arg(caption);
        auto add = [&](const QString& text, int room, const QString& reserve = {}, bool unit = false) {
            if (!text.isEmpty())
                out.push_back({text, room, reserve, where, unit});
        };
        if (const auto* e = dynamic_cast<const CParamControlEdit*>(c.get())) {
            add(caption, (e->HasSpin() ? kEditSpinValueRight : kEditValueRight) - kPageTextGap, WidestValue(*e));
            const int unitRoom = kColumnLine - (e->Editable() ? kEditUnitLeft : kEditUnitLeftNoField) - kPageTextGap;
            add(Q(e->UnitText()), unitRoom, {}, true);
            add(Q(e->AlternateUnitText()), unitRoom, {}, true);
        } else if (const auto* b = dynamic_cast<const CParamControlBar*>(c.get())) {
            if (b->Style() == 1)
                add(caption, kBarRight - kBarCaptionLeft - 2 - kBarMinBevel);
        } else if (const auto* g = dynamic_cast<const CParamControlRadioGroup*>(c.get())) {
            const int titleRoom =
                kRadioBoxWidth - 16 - (g->HasModeBox() ? IndicatorRoom(style, false) + 10 + kPageTextGap : 0);
            add(caption, titleRoom, g->HasModeBox() ? QStringLiteral("Change actual mode") : QString());
            for (int i = 0; i < g->Items().Count(); ++i)
                add(Q(g->Items().TextAt(i)), kRadioButtonWidth - IndicatorRoom(style, true));
        } else if (const auto* v = dynamic_cast<const CParamControlBitView*>(c.get())) {
            QString widest;
            for (int i = 0; i < v->Items().Count(); ++i)
                if (Q(v->Items().TextAt(i)).size() > widest.size())
                    widest = Q(v->Items().TextAt(i));
            add(caption, kBitViewValueRight - kPageTextGap, widest);
            out.back().reserveMax = kBitViewValueWidth;
        } else if (dynamic_cast<const CParamControlCheckBox*>(c.get())) {
            add(caption, kCheckBoxWidth - IndicatorRoom(style, false));
        } else if (const auto* l = dynamic_cast<const CParamControlBitList*>(c.get())) {
            for (int i = 0; i < l->Items().Count(); ++i)
                add(Q(l->Items().TextAt(i)), kColumnLine - kBitListLeft - kPageTextGap);
        } else if (const auto* cb = dynamic_cast<const CParamControlCombo*>(c.get())) {
            add(caption, kComboRight - cb->ListWidth() - kPageTextGap);
        }
    }
    return out;
}

std::vector<PageText> AllPageTexts(const QStyle* style)
{
    std::vector<PageText> out;
    for (int family = 0; family < 3; ++family) {
        const ParamTableSet* set = TableSetOfFamily(family);
        if (!set)
            continue;
        for (const ParamTable* t : {set->main, set->extra, set->status}) {
            if (!t)
                continue;
            for (PageText& p : PageTexts(*t, style)) {
                p.where = QStringLiteral("family %1 %2").arg(family).arg(p.where);
                out.push_back(std::move(p));
            }
        }
    }
    return out;
}

bool PageTextFits(const QFontMetrics& fm, const PageText& t)
{
    int need = fm.horizontalAdvance(t.text);
    if (!t.reserve.isEmpty()) {
        const int reserve = fm.horizontalAdvance(t.reserve);
        need += (t.reserveMax > 0 ? std::min(reserve, t.reserveMax) : reserve) + kPageTextGap;
    }
    return need <= t.room;
}

QFont ChoosePageFont(const QFont& base, const std::vector<PageText>& texts)
{
    const double start = base.pointSizeF() > 0 ? base.pointSizeF() : 9.0;
    QFont last = base;
    for (double size = start; size >= 7.0 - 1e-9; size -= 0.5) {
        for (int stretch : {int(QFont::Unstretched), int(QFont::SemiCondensed)}) {
            QFont f = base;
            f.setPointSizeF(size);
            f.setStretch(stretch);
            const QFontMetrics fm(f);
            if (std::all_of(texts.begin(), texts.end(),
                            [&](const PageText& t) { return t.unit || PageTextFits(fm, t); }))
                return f;
            last = f;
        }
    }
    return last;
}

const QFont& ParamPageFont()
{
    static const QFont font = ChoosePageFont(QApplication::font(), AllPageTexts(QApplication::style()));
    return font;
}

namespace {

template <class W>
void Fit(W* w, const QString& full, int room)
{
    static const char* kHint = "quenorHint";
    if (!w->property(kHint).isValid())
        w->setProperty(kHint, w->toolTip());
    const QString hint = w->property(kHint).toString();
    const QFontMetrics fm(w->font());
    const QString shown = fm.horizontalAdvance(full) <= room ? full : fm.elidedText(full, Qt::ElideRight, room);
    if (w->text() != shown)
        w->setText(shown);
    if (shown == full)
        w->setToolTip(hint);
    else
        w->setToolTip(hint.isEmpty() ? full : full + QLatin1Char('\n') + hint);
}

}  // namespace

void FitText(QLabel* label, const QString& full, int room)
{
    Fit(label, full, std::max(0, room));
    label->adjustSize();
}

void FitText(QAbstractButton* button, const QString& full, int room)
{
    Fit(button, full, std::max(0, room));
}

void FitTitle(QGroupBox* box, const QString& full, int room)
{
    const QFontMetrics fm(box->font());
    const int r = std::max(0, room);
    const QString shown = fm.horizontalAdvance(full) <= r ? full : fm.elidedText(full, Qt::ElideRight, r);
    box->setTitle(shown);
    if (shown != full)
        box->setToolTip(box->toolTip().isEmpty() ? full : full + QLatin1Char('\n') + box->toolTip());
}

void FitUnitText(QLabel* label, const QFont& pageFont, const QString& full, int room)
{
    QFont font = pageFont;
    const int width = QFontMetrics(pageFont).horizontalAdvance(full);
    if (width > room && width > 0) {
        const int stretch = std::max(60, room * 100 / width);
        font.setStretch(stretch);
        // Glyph advances round per glyph: narrow further until the text fits.
        for (int s = stretch; s > 60 && QFontMetrics(font).horizontalAdvance(full) > room; --s)
            font.setStretch(s - 1);
    }
    label->setFont(font);
    FitText(label, full, room);
}

}  // namespace quenor
