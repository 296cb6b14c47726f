#pragma once
// PNG pictures from the compiled-in resources as Qt images, the image lists
// of the main window (toolbar strips, motor pictures, lamps) and the program
// icon.

#include "app/pngwrap.h"

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QPoint>

#include <string>
#include <vector>

class QPainter;

namespace quenor {

RgbColor ToRgbColor(const QColor& color);

// 24-bit bitmaps become QImage::Format_RGB32, 32-bit ones Format_ARGB32.
QImage ToQImage(const PngBitmap& bitmap);
// A null image becomes the empty bitmap; an image with alpha a 32-bit bitmap.
PngBitmap ToPngBitmap(const QImage& image);

// Draws resource id into image at pos (a null image is sized to the picture).
// A missing resource throws PngResourceError; a decoding failure leaves the
// image as far as it was drawn and returns the failure's text.
std::string LoadPngResource(QImage& image, int id, const QColor& background, QPoint pos = {}, bool grey = false,
                            bool keepAlpha = false, int fade = 0);

// Pictures of one size, each with its mask.
class ImageList {
public:
    ImageList(int width, int height) : width_(width), height_(height) {}

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Count() const { return static_cast<int>(images_.size()); }

    // The colour that the list's owner paints behind the pictures (invalid
    // until set).
    QColor BkColor() const { return bkColor_; }
    void SetBkColor(const QColor& color) { bkColor_ = color; }

    // Adds image; the pixels of colour mask become transparent.
    void AddMasked(const QImage& image, const QColor& mask);
    // Adds image as it is (its own alpha).
    void Add(const QImage& image);
    void Clear() { images_.clear(); }

    // Picture index as ARGB32 (index must be valid).
    const QImage& Image(int index) const { return images_.at(static_cast<std::size_t>(index)); }
    QPixmap Pixmap(int index) const { return QPixmap::fromImage(Image(index)); }
    QIcon Icon(int index) const { return QIcon(Pixmap(index)); }
    // Draws picture index with its top-left corner at (x, y); nothing for an
    // index outside the list.
    void Draw(QPainter& painter, int x, int y, int index) const;

private:
    int width_;
    int height_;
    QColor bkColor_;
    std::vector<QImage> images_;
};

// The program icon, in every size it is drawn in (each with its own alpha).
// Sizes whose picture cannot be had are left out.
QIcon ProgramIcon();

// Adds the resources first .. first + count - 1 to list, each drawn on the
// background at pos and masked by the background colour; grey gives the
// disabled look. A missing resource throws PngResourceError.
void LoadPngStrip(ImageList& list, int first, int count, const QColor& background, QPoint pos = {}, bool grey = false);

}  // namespace quenor
