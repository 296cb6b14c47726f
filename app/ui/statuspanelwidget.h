#pragma once
// A panel of the main window's status bar, drawn from the status bar model.

#include "app/statustext.h"
#include "app/ui/statuspanel.h"

#include <QPainter>
#include <QWidget>
#include <functional>

namespace quenor {

// One owner-drawn panel of the status bar.
class StatusPanelWidget : public QWidget {
public:
    StatusPanelWidget(int panel, const StatusBarModel& model, QWidget* parent = nullptr)
        : QWidget(parent), panel_(panel), model_(model)
    {
        setMinimumHeight(fontMetrics().height() + 4);
    }
    std::function<void()> onClick;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        DrawStatusPanel(p, rect(), panel_, model_, palette().color(QPalette::WindowText));
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
