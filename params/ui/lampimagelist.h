#pragma once
// The pictures of a lamp image list. The main window fills one from its image
// resources; until then DefaultLampImageList() draws four 10 by 10 lamps:
// 0 green lit, 1 unlit, 2 red lit, 3 unlit.

#include "params/lampimages.h"

#include <QColor>
#include <QImage>
#include <vector>

namespace quenor {

class QtLampImageList : public LampImageList {
public:
    QtLampImageList(int width, int height, QColor background);
    void Add(QImage image);
    int Count() const override { return static_cast<int>(images_.size()); }
    // Image i, or null when there is none.
    const QImage* Image(int i) const;
    QColor Background() const { return background_; }

private:
    std::vector<QImage> images_;
    QColor background_;
};

QtLampImageList& DefaultLampImageList();

}  // namespace quenor
