#include "program/ui/runcontrolbar.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace quenor {

namespace {

constexpr int kButtonRowHeight = 33;  // the top panel's own height
constexpr int kMargin = 4;
constexpr int kStatusGap = 6;     // from the last button to the status
constexpr int kChecksumGap = 24;  // from the status to the checksum
constexpr int kWarningGap = 7;    // from the checksum to "Program not transferred"
constexpr int kOneRowLabelTop = 9;

// A text's width as a label lays it out, with a pixel to spare.
int TextWidth(const QLabel* label, const QString& text)
{
    const QFontMetrics fm = label->fontMetrics();
    return std::max(fm.horizontalAdvance(text), fm.boundingRect(text).width()) + 1;
}

}  // namespace

TRunControlBar::TRunControlBar(CVizuRunControl& control, QWidget* parent) : QWidget(parent), control_(control)
{
    setObjectName(QStringLiteral("RunControlBar"));
    int x = kMargin;
    auto button = [this, &x](const char* name, const char* caption, int width, auto click) {
        auto* b = new QPushButton(QString::fromLatin1(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(x, 4, width, 25);
        x += width + 4;
        connect(b, &QPushButton::clicked, this, [this, click] {
            click(control_);
            Refresh();
        });
        return b;
    };
    TransferButton = button("TransferButton", "&Transfer && Start", 110,
                            [](CVizuRunControl& c) { c.TransferButtonClick(); });
    StartButton = button("StartButton", "&Start", 60, [](CVizuRunControl& c) { c.StartButtonClick(); });
    StopButton = button("StopButton", "S&top", 60, [](CVizuRunControl& c) { c.StopButtonClick(); });
    PauseButton = button("PauseButton", "&Pause", 64, [](CVizuRunControl& c) { c.PauseButtonClick(); });
    SingleStepButton =
        button("SingleStepButton", "S&ingle Step", 80, [](CVizuRunControl& c) { c.SingleStepButtonClick(); });
    buttonsRight_ = x - 4;
    StopButton->setEnabled(false);
    PauseButton->setEnabled(false);
    SingleStepButton->setEnabled(false);

    DebugInfoLabel = new QLabel(this);
    DebugInfoLabel->setObjectName(QStringLiteral("DebugInfoLabel"));
    CHSLabel = new QLabel(this);
    CHSLabel->setObjectName(QStringLiteral("CHSLabel"));
    TransferedLabel = new QLabel(QStringLiteral("Program not transferred"), this);
    TransferedLabel->setObjectName(QStringLiteral("TransferedLabel"));
    TransferedLabel->setStyleSheet(QStringLiteral("color: red"));
    TransferedLabel->adjustSize();
    TransferedLabel->hide();
    PlaceLabels();
}

void TRunControlBar::Refresh()
{
    const RunControlButtons& b = control_.Buttons();
    TransferButton->setEnabled(b.transfer);
    StartButton->setEnabled(b.start);
    StopButton->setEnabled(b.stop);
    PauseButton->setEnabled(b.pause);
    PauseButton->setText(b.pauseSaysResume ? QStringLiteral("&Resume") : QStringLiteral("&Pause"));
    SingleStepButton->setEnabled(b.singleStep);
    DebugInfoLabel->setText(QString::fromLatin1(control_.DebugInfoText().c_str()));
    DebugInfoLabel->adjustSize();
    CHSLabel->setText(QString::fromLatin1(control_.ChecksumText().c_str()));
    CHSLabel->adjustSize();
    PlaceLabels();
    TransferedLabel->setVisible(control_.TransferredWarningVisible());
}

TRunControlBar::LabelWidths TRunControlBar::WidestTexts() const
{
    LabelWidths w;
    for (int state = 0; state <= 12; ++state) {
        const char* text = ModuleStateText(state);
        w.status = std::max(w.status, TextWidth(DebugInfoLabel, QStringLiteral("Status: ") +
                                                                    QString::fromLatin1(*text ? text : "Unknown")));
    }
    // A checksum has up to five digits, and digits need not be equally wide.
    for (char d = '0'; d <= '9'; ++d)
        w.checksum = std::max(w.checksum, TextWidth(CHSLabel, QStringLiteral("Module Checksum: ") +
                                                                  QString(5, QLatin1Char(d))));
    w.warning = TextWidth(TransferedLabel, TransferedLabel->text());
    return w;
}

int TRunControlBar::LabelRowHeight() const
{
    return std::max({DebugInfoLabel->fontMetrics().height(), CHSLabel->fontMetrics().height(),
                     TransferedLabel->fontMetrics().height()}) +
           4;
}

int TRunControlBar::RowsFor(int width) const
{
    const LabelWidths w = WidestTexts();
    const int labels = w.status + kChecksumGap + w.checksum + kWarningGap + w.warning + kMargin;
    if (buttonsRight_ + kStatusGap + labels <= width)
        return 1;
    if (kMargin + labels <= width)
        return 2;
    return 3;
}

int TRunControlBar::heightForWidth(int width) const
{
    const int rows = RowsFor(width);
    if (rows == 1)
        return kButtonRowHeight;
    // The label rows follow the buttons, with the buttons' margin below the last.
    return kButtonRowHeight - kMargin + (rows - 1) * LabelRowHeight() + kMargin;
}

QSize TRunControlBar::sizeHint() const
{
    const LabelWidths w = WidestTexts();
    return {buttonsRight_ + kStatusGap + w.status + kChecksumGap + w.checksum + kWarningGap + w.warning + kMargin,
            kButtonRowHeight};
}

void TRunControlBar::PlaceLabels()
{
    const int rows = RowsFor(width());
    const int rowHeight = LabelRowHeight();
    // Top of label row r (1 and 2 below the buttons), its text centred in it.
    auto rowTop = [&](int r, const QLabel* l) {
        return kButtonRowHeight - kMargin + (r - 1) * rowHeight + (rowHeight - l->height()) / 2;
    };
    if (rows == 1) {
        DebugInfoLabel->move(buttonsRight_ + kStatusGap, kOneRowLabelTop);
        CHSLabel->move(DebugInfoLabel->geometry().right() + kChecksumGap, kOneRowLabelTop);
    } else {
        DebugInfoLabel->move(kMargin, rowTop(1, DebugInfoLabel));
        if (rows == 2)
            CHSLabel->move(DebugInfoLabel->geometry().right() + kChecksumGap, rowTop(1, CHSLabel));
        else
            CHSLabel->move(kMargin, rowTop(2, CHSLabel));
    }
    // At the checksum's top, 7 pixels right of its right edge.
    TransferedLabel->move(CHSLabel->geometry().right() + 1 + kWarningGap, CHSLabel->y());
}

void TRunControlBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    PlaceLabels();
}

void TRunControlBar::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        updateGeometry();
        PlaceLabels();
    }
}

}  // namespace quenor
