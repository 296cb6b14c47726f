#include "params/ui/lampimagelist.h"

#include <QPainter>

namespace quenor {

QtLampImageList::QtLampImageList(int width, int height, QColor background)
    : LampImageList(width, height), background_(background)
{
}

void QtLampImageList::Add(QImage image)
{
    images_.push_back(std::move(image));
}

const QImage* QtLampImageList::Image(int i) const
{
    if (i < 0 || i >= Count())
        return nullptr;
    return &images_[static_cast<std::size_t>(i)];
}

namespace {

QImage DrawLamp(QColor fill, QColor background)
{
    QImage image(10, 10, QImage::Format_ARGB32_Premultiplied);
    image.fill(background);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(64, 64, 64));
    p.setBrush(fill);
    p.drawEllipse(QRectF(0.5, 0.5, 9, 9));
    return image;
}

}  // namespace

QtLampImageList& DefaultLampImageList()
{
    static const QColor background(240, 240, 240);
    static QtLampImageList list(10, 10, background);
    static const bool filled = [] {
        list.Add(DrawLamp(QColor(0, 200, 0), background));
        list.Add(DrawLamp(QColor(160, 160, 160), background));
        list.Add(DrawLamp(QColor(230, 0, 0), background));
        list.Add(DrawLamp(QColor(160, 160, 160), background));
        return true;
    }();
    (void)filled;
    return list;
}


}  // namespace quenor
