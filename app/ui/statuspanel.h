#pragma once
// Paints one panel of the main window's status bar from the status bar model:
// the colour letter picks the text colour, panel 0 scrolls, panel 1 shows a
// progress bar while a long job runs.

#include <QColor>
#include <QRect>

class QPainter;

namespace quenor {

class StatusBarModel;

inline const QColor kStatusGreen{0x00, 0x80, 0x00};
inline const QColor kStatusRed{0xFF, 0x00, 0x00};
inline const QColor kProgressBlue{0x00, 0x00, 0xFF};

// Draws panel 0 or 1 into rect with the painter's font; defaultColour for
// texts without a colour letter.
void DrawStatusPanel(QPainter& painter, const QRect& rect, int panel, const StatusBarModel& model,
                     const QColor& defaultColour);

}  // namespace quenor
