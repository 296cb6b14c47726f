#pragma once
// The font of the parameter pages, chosen so that the texts of every family's
// controls fit the room their layout gives them, and the elision of a text
// that still does not fit (its full text then becomes its hint).

#include "params/initparam.h"

#include <QFont>
#include <QString>

#include <vector>

class QAbstractButton;
class QGroupBox;
class QFontMetrics;
class QLabel;
class QStyle;

namespace quenor {

// One text of a page and the room it gets: the pixels from the text's left
// edge to whatever follows it, shared with reserve (the value shown beside a
// caption) and a gap.
struct PageText {
    QString text;
    int room = 0;
    QString reserve;
    QString where;       // the row and its caption, for messages
    bool unit = false;   // an edit's unit: it may also be narrowed (FitUnitText)
    int reserveMax = 0;  // the reserve is cut to this many pixels (0: not cut)
};

// Pixels kept free between a text and what follows it.
constexpr int kPageTextGap = 4;
// The line between two columns of a page, from a control's left edge.
constexpr int kColumnLineX = 265;

// Pixels that a check box's or radio button's mark takes before its text.
int IndicatorRoom(const QStyle* style, bool radio);

// Every text of the table's controls with its room (style: for the size of
// check marks and radio indicators).
std::vector<PageText> PageTexts(const ParamTable& table, const QStyle* style);
// The texts of the three tables of every family.
std::vector<PageText> AllPageTexts(const QStyle* style);

bool PageTextFits(const QFontMetrics& fm, const PageText& t);

// The largest font, from base downwards in half points to 7 points, plain and
// then semi-condensed at each size, in which every caption (every text but the
// units) fits; the smallest tried when none does.
QFont ChoosePageFont(const QFont& base, const std::vector<PageText>& texts);

// The page font of this program run: ChoosePageFont of the application's font
// and every family's texts, chosen on first use. The controls' widgets take it
// when they are made.
const QFont& ParamPageFont();

// Shows full in the label or button, elided at the right to fit room pixels
// when it does not fit; an elided text gets the full text as its hint, before
// the control's own hint.
void FitText(QLabel* label, const QString& full, int room);
void FitText(QAbstractButton* button, const QString& full, int room);
void FitTitle(QGroupBox* box, const QString& full, int room);
// A unit: narrowed (down to 60 % of its width) before it is elided.
void FitUnitText(QLabel* label, const QFont& pageFont, const QString& full, int room);

}  // namespace quenor
