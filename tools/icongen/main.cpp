// Draws the program icon, one PNG file per size, named as the compiled-in
// images are (<resource number>_icon<size>.png). The icon: a rounded blue
// tile with a white ring and shaft, a "Q" that is also a motor's flange with
// its bolts and its shaft, around an amber hub.
//
// Usage: icongen <folder>     (the program's images: resources/images)

#include <QColor>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QString>

#include <algorithm>
#include <cstdio>

namespace {

struct IconFile {
    int id;
    int size;
};

// The resource numbers the program loads its icon from (app/ui/pngimages.cpp).
constexpr IconFile kFiles[] = {{1, 16}, {2, 32}, {3, 48}, {4, 64}, {5, 128}, {6, 256}};

// Draws on a 256-unit square scaled to size pixels; strokes never get thinner
// than minPixels so that the small sizes keep their shape.
QImage Draw(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double scale = size / 256.0;
    p.scale(scale, scale);
    auto stroke = [scale](double units, double minPixels) { return std::max(units, minPixels / scale); };

    // The tile.
    const double inset = stroke(10, 0.5);
    const QRectF tile(inset, inset, 256 - 2 * inset, 256 - 2 * inset);
    QLinearGradient face(0, tile.top(), 0, tile.bottom());
    face.setColorAt(0.0, QColor(0x3d, 0x8b, 0xd0));
    face.setColorAt(1.0, QColor(0x16, 0x43, 0x7e));
    p.setPen(QPen(QColor(0x0f, 0x33, 0x61), stroke(6, 1.0)));
    p.setBrush(face);
    p.drawRoundedRect(tile, 52, 52);

    // The ring and its shaft: the shaft first, so that the ring lies over it.
    const QPointF centre(122, 118);
    const double ringWidth = stroke(30, 2.0);
    const double radius = 66;
    QPen white(Qt::white, ringWidth, Qt::SolidLine, Qt::FlatCap);
    p.setPen(white);
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(centre.x() + 40, centre.y() + 40), QPointF(212, 208));
    p.drawEllipse(centre, radius, radius);

    // The flange's four bolts, where there is room for them.
    if (size >= 32) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x1f, 0x58, 0x9c));
        for (const QPointF at : {QPointF(0, -radius), QPointF(radius, 0), QPointF(0, radius), QPointF(-radius, 0)})
            p.drawEllipse(centre + at, 7.0, 7.0);
    }

    // The hub.
    p.setPen(QPen(QColor(0x9a, 0x5b, 0x00), stroke(4, 0.0)));
    p.setBrush(QColor(0xf6, 0xb4, 0x2c));
    const double hub = std::max(24.0, 1.5 / scale);
    p.drawEllipse(centre, hub, hub);
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: icongen <folder>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    for (const IconFile& f : kFiles) {
        const QString path = QStringLiteral("%1/%2_icon%3.png").arg(folder).arg(f.id).arg(f.size);
        if (!Draw(f.size).save(path, "PNG")) {
            std::fprintf(stderr, "icongen: cannot write %s\n", path.toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}
