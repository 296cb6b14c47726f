#pragma once
// A panel of the main window's status bar, drawn from the status bar model.

#include "app/statustext.h"
#include "app/ui/statuspanel.h"

#include <QFrame>
#include <QPainter>
#include <functional>

namespace quenor {

// One owner-drawn panel of the status bar: a sunken bevel with the text
// inside it, so that the scrolling warnings line ends at its own panel's edge
// and never runs into the connection text beside it.
class StatusPanelWidget : public QFrame {
public:
    StatusPanelWidget(int panel, const StatusBarModel& model, QWidget* parent = nullptr)
        : QFrame(parent), panel_(panel), model_(model)
    {
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        setLineWidth(1);
        setMinimumHeight(fontMetrics().height() + 2 * frameWidth() + 2);
    }
    std::function<void()> onClick;

    // Where the text is drawn and clipped: inside the bevel.
    QRect TextRect() const { return contentsRect(); }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QFrame::paintEvent(event);
        QPainter p(this);
        DrawStatusPanel(p, TextRect(), panel_, model_, palette().color(QPalette::WindowText));
    }
    void mousePressEvent(QMouseEvent*) override
    {
        if (onClick)
            onClick();
    }

private:
    int panel_;
    const StatusBarModel& model_;
};

}  // namespace quenor
