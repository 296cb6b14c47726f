#include "app/ui/statuspanel.h"

#include "app/statustext.h"
#include "platform/cp1252.h"

#include <QFontMetrics>
#include <QPainter>

namespace quenor {

void DrawStatusPanel(QPainter& painter, const QRect& rect, int panel, const StatusBarModel& model,
                     const QColor& defaultColour)
{
    painter.save();
    const std::string& text = model.PanelText(panel);
    QColor colour = defaultColour;
    switch (ColourOfStatusText(text)) {
    case StatusColour::Green: colour = kStatusGreen; break;
    case StatusColour::Red: colour = kStatusRed; break;
    case StatusColour::Default: break;
    }
    const QFontMetrics metrics(painter.font());

    if (panel == 1 && model.Progress() >= 0) {
        const QString progressText = FromCp1252(model.ProgressText());
        const ProgressGeometry g =
            ProgressBarGeometry(rect.left(), rect.width(), model.Progress(), metrics.horizontalAdvance(progressText));
        const QRect filled(QPoint(rect.left(), rect.top()), QPoint(g.fillRight - 1, rect.bottom()));
        const QRect rest(QPoint(g.fillRight, rect.top()), QPoint(rect.right(), rect.bottom()));
        painter.fillRect(filled, kProgressBlue);
        const QPoint at(g.textX, rect.top() + 1 + metrics.ascent());
        painter.setClipRect(filled);
        painter.setPen(Qt::white);
        painter.drawText(at, progressText);
        painter.setClipRect(rest);
        painter.setPen(kProgressBlue);
        painter.drawText(at, progressText);
        painter.restore();
        return;
    }

    const QString shown = FromCp1252(VisibleStatusText(text));
    painter.setClipRect(rect);
    painter.setPen(colour);
    const int x = PanelTextX(panel, rect.left(), model.Scroller().Offset());
    painter.drawText(QPoint(x, rect.top() + metrics.ascent()), shown);
    painter.restore();
}

}  // namespace quenor
