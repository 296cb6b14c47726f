#include "app/ui/pngimages.h"
#include "appcore/pngwriter.h"

#include <QGuiApplication>
#include <QPainter>

#include <gtest/gtest.h>

using namespace quenor;

namespace {

QGuiApplication& App()
{
    static int argc = 1;
    static char name[] = "test_appcore_ui";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    return app;
}

}  // namespace

TEST(PngImages, BitmapAndImageConvertBothWays)
{
    PngBitmap bitmap(2, 1, 24, RgbColor{10, 20, 30});
    bitmap.ScanLine(0)[3] = 1;  // blue of pixel 1
    const QImage image = ToQImage(bitmap);
    ASSERT_EQ(image.size(), QSize(2, 1));
    EXPECT_FALSE(image.hasAlphaChannel());
    EXPECT_EQ(image.pixel(0, 0), qRgb(10, 20, 30));
    EXPECT_EQ(image.pixel(1, 0), qRgb(10, 20, 1));
    const PngBitmap back = ToPngBitmap(image);
    EXPECT_EQ(back.BitsPerPixel(), 24);
    EXPECT_EQ(back.Pixels(), bitmap.Pixels());

    PngBitmap alpha(1, 1, 32, RgbColor{});
    std::uint8_t* p = alpha.ScanLine(0);
    p[0] = 3, p[1] = 2, p[2] = 1, p[3] = 77;
    const QImage withAlpha = ToQImage(alpha);
    EXPECT_EQ(qAlpha(withAlpha.pixel(0, 0)), 77);
    EXPECT_EQ(qRed(withAlpha.pixel(0, 0)), 1);
    EXPECT_EQ(ToPngBitmap(withAlpha).Pixels(), alpha.Pixels());

    EXPECT_TRUE(ToQImage(PngBitmap{}).isNull());
    EXPECT_TRUE(ToPngBitmap(QImage{}).Empty());
}

TEST(PngImages, ResourceIntoANullImageAndAtAPosition)
{
    App();
    QImage lamp;
    ASSERT_EQ(LoadPngResource(lamp, 201, QColor(Qt::white)), "");
    EXPECT_EQ(lamp.size(), QSize(10, 10));
    EXPECT_EQ(lamp.pixel(0, 0), qRgb(255, 255, 255));  // the corner lies outside the round lamp

    QImage canvas(30, 10, QImage::Format_RGB32);
    canvas.fill(qRgb(1, 2, 3));
    ASSERT_EQ(LoadPngResource(canvas, 201, QColor(Qt::white), QPoint(20, 0)), "");
    EXPECT_EQ(canvas.pixel(19, 5), qRgb(1, 2, 3));
    EXPECT_EQ(canvas.pixel(25, 5), lamp.pixel(5, 5));
    EXPECT_EQ(LoadPngResource(canvas, 201, QColor(Qt::white), QPoint(21, 0)), "PNG Load: Bitmap width too small");
    EXPECT_THROW(LoadPngResource(canvas, 99, QColor(Qt::white)), PngResourceError);
}

TEST(PngImages, StripMasksTheBackground)
{
    App();
    ImageList lamps(10, 10);
    const QColor face(236, 233, 216);
    LoadPngStrip(lamps, 200, 2, face);
    ASSERT_EQ(lamps.Count(), 2);
    const QImage& on = lamps.Image(1);
    EXPECT_EQ(on.size(), QSize(10, 10));
    EXPECT_EQ(qAlpha(on.pixel(0, 0)), 0);    // background corner masked
    EXPECT_EQ(qAlpha(on.pixel(5, 5)), 255);  // lamp body
    EXPECT_NE(lamps.Image(0).pixel(5, 5), on.pixel(5, 5));

    QImage target(25, 10, QImage::Format_RGB32);
    target.fill(qRgb(0, 0, 255));
    {
        QPainter painter(&target);
        lamps.Draw(painter, 15, 0, 1);
        lamps.Draw(painter, 0, 0, 7);  // outside the list: nothing
    }
    EXPECT_EQ(target.pixel(15, 0), qRgb(0, 0, 255));
    EXPECT_EQ(target.pixel(20, 5), on.pixel(5, 5));
    EXPECT_EQ(target.pixel(5, 5), qRgb(0, 0, 255));

    ImageList greyed(10, 10);
    LoadPngStrip(greyed, 201, 1, face, {}, true);
    const QRgb g = greyed.Image(0).pixel(5, 5);
    EXPECT_EQ(qRed(g), qGreen(g));
    EXPECT_EQ(qGreen(g), qBlue(g));
    EXPECT_THROW(LoadPngStrip(greyed, 201, 3, face), PngResourceError);
}
