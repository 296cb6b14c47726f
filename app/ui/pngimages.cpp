#include "app/ui/pngimages.h"

#include <QPainter>

#include <exception>

namespace quenor {

RgbColor ToRgbColor(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return RgbColor{static_cast<std::uint8_t>(rgb.red()), static_cast<std::uint8_t>(rgb.green()),
                    static_cast<std::uint8_t>(rgb.blue())};
}

QImage ToQImage(const PngBitmap& bitmap)
{
    if (bitmap.Width() <= 0 || bitmap.Height() <= 0)
        return {};
    const bool alpha = bitmap.BitsPerPixel() == 32;
    QImage image(bitmap.Width(), bitmap.Height(), alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < bitmap.Height(); ++y) {
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < bitmap.Width(); ++x) {
            const RgbColor c = bitmap.PixelColor(x, y);
            out[x] = qRgba(c.r, c.g, c.b, bitmap.PixelAlpha(x, y));
        }
    }
    return image;
}

PngBitmap ToPngBitmap(const QImage& image)
{
    if (image.isNull())
        return {};
    const bool alpha = image.hasAlphaChannel();
    const QImage src = image.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    PngBitmap bitmap(src.width(), src.height(), alpha ? 32 : 24, RgbColor{});
    const int bytes = bitmap.BytesPerPixel();
    for (int y = 0; y < src.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(src.constScanLine(y));
        std::uint8_t* out = bitmap.ScanLine(y);
        for (int x = 0; x < src.width(); ++x, out += bytes) {
            out[0] = static_cast<std::uint8_t>(qBlue(in[x]));
            out[1] = static_cast<std::uint8_t>(qGreen(in[x]));
            out[2] = static_cast<std::uint8_t>(qRed(in[x]));
            if (bytes == 4)
                out[3] = static_cast<std::uint8_t>(qAlpha(in[x]));
        }
    }
    return bitmap;
}

std::string LoadPngResource(QImage& image, int id, const QColor& background, QPoint pos, bool grey, bool keepAlpha,
                            int fade)
{
    PngDrawOptions options;
    options.background = ToRgbColor(background);
    options.x = pos.x();
    options.y = pos.y();
    options.grey = grey;
    options.keepAlpha = keepAlpha;
    options.fade = fade;
    PngBitmap bitmap = ToPngBitmap(image);
    std::string error = LoadPngResource(bitmap, id, options);
    image = ToQImage(bitmap);
    return error;
}

void ImageList::AddMasked(const QImage& image, const QColor& mask)
{
    QImage masked = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = mask.rgb() & 0x00FFFFFFu;
    for (int y = 0; y < masked.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(masked.scanLine(y));
        for (int x = 0; x < masked.width(); ++x)
            if ((line[x] & 0x00FFFFFFu) == key)
                line[x] = 0;
    }
    images_.push_back(std::move(masked));
}

void ImageList::Add(const QImage& image)
{
    images_.push_back(image.convertToFormat(QImage::Format_ARGB32));
}

void ImageList::Draw(QPainter& painter, int x, int y, int index) const
{
    if (index < 0 || index >= Count())
        return;
    painter.drawImage(QPoint(x, y), Image(index));
}

QIcon ProgramIcon()
{
    // The pictures of the icon: resources 1 to 6, 16 to 256 pixels square
    // (drawn by tools/icongen).
    QIcon icon;
    for (int id = 1; id <= 6; ++id) {
        QImage image;
        try {
            if (LoadPngResource(image, id, Qt::white, {}, false, true).empty() && !image.isNull())
                icon.addPixmap(QPixmap::fromImage(image));
        } catch (const std::exception&) {
            // A missing size is made from the others.
        }
    }
    return icon;
}

void LoadPngStrip(ImageList& list, int first, int count, const QColor& background, QPoint pos, bool grey)
{
    const auto bitmaps =
        quenor::LoadPngStrip(list.Width(), list.Height(), first, count, ToRgbColor(background), pos.x(), pos.y(), grey);
    for (const PngBitmap& bitmap : bitmaps)
        list.AddMasked(ToQImage(bitmap), background);
}

}  // namespace quenor
