#pragma once
// Every dialog of the program opens centred on its owner (the window it
// belongs to), or on the screen when it has none, each time it opens. The
// window manager's placement is not relied on: without one, a window that
// nobody places opens in the screen's top left corner.

#include <QPoint>
#include <QRect>
#include <QSize>

class QApplication;

namespace quenor {

// Places every dialog of app as it opens, those of Qt (message boxes, file
// dialogs) included. Once per application; a second call does nothing.
void CentreDialogsOnOwners(QApplication& app);

// The top left corner that centres a frame of frameSize on owner, moved
// inside area where it would stick out (a frame larger than area shows its top
// left corner). An empty area keeps the centred place.
QPoint CentredTopLeft(const QRect& owner, const QSize& frameSize, const QRect& area);

}  // namespace quenor
