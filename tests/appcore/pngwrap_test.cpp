#include "app/pngwrap.h"
#include "appcore/pngwriter.h"
#include "resources/embed/imageresources.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

using namespace quenor;
using namespace quenor::test;

namespace {

constexpr RgbColor kBlue{0, 0, 255};
constexpr RgbColor kGreyBg{192, 192, 192};

PngDrawOptions On(RgbColor background, int x = 0, int y = 0)
{
    PngDrawOptions o;
    o.background = background;
    o.x = x;
    o.y = y;
    return o;
}

// fg blended onto bg with alpha a, as arithmetic on 0..255 values.
int Blend(int fg, int bg, int a)
{
    return (fg * a + bg * (255 - a) + 127) / 255;
}

void ExpectNear(RgbColor got, int r, int g, int b, int tolerance = 1)
{
    EXPECT_NEAR(got.r, r, tolerance);
    EXPECT_NEAR(got.g, g, tolerance);
    EXPECT_NEAR(got.b, b, tolerance);
}

// An 8-bit RGB picture of w x h where pixel (x, y) is (x * 16, y * 16, 100 + x + y).
PngPicture Gradient(int w, int h)
{
    PngPicture s;
    s.width = w;
    s.height = h;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            s.rows.push_back(static_cast<std::uint8_t>(x * 16));
            s.rows.push_back(static_cast<std::uint8_t>(y * 16));
            s.rows.push_back(static_cast<std::uint8_t>(100 + x + y));
        }
    return s;
}

PngPicture Rgba(std::vector<std::uint8_t> pixels, int w)
{
    PngPicture s;
    s.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    s.width = w;
    s.height = static_cast<int>(pixels.size() / 4 / static_cast<std::size_t>(w));
    s.rows = std::move(pixels);
    return s;
}

}  // namespace

TEST(PngDecode, RgbFillsAnEmptyBitmapInBlueGreenRedOrder)
{
    const auto png = WritePng(Gradient(3, 2));
    PngBitmap bitmap;
    ASSERT_EQ(DecodePng(png, bitmap, On(kGreyBg)), "");
    ASSERT_EQ(bitmap.Width(), 3);
    ASSERT_EQ(bitmap.Height(), 2);
    ASSERT_EQ(bitmap.BitsPerPixel(), 24);
    const std::uint8_t* row1 = bitmap.ScanLine(1);
    EXPECT_EQ(row1[6], 100 + 2 + 1);  // blue of (2, 1)
    EXPECT_EQ(row1[7], 16);           // green
    EXPECT_EQ(row1[8], 32);           // red
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(bitmap.PixelColor(x, y), (RgbColor{std::uint8_t(x * 16), std::uint8_t(y * 16), std::uint8_t(100 + x + y)}));
}

TEST(PngDecode, EmptyBitmapGrowsToHoldThePictureAtItsPosition)
{
    const auto png = WritePng(Gradient(3, 2));
    PngBitmap bitmap;
    ASSERT_EQ(DecodePng(png, bitmap, On(kGreyBg, 2, 5)), "");
    EXPECT_EQ(bitmap.Width(), 5);
    EXPECT_EQ(bitmap.Height(), 7);
    EXPECT_EQ(bitmap.PixelColor(0, 0), kGreyBg);
    EXPECT_EQ(bitmap.PixelColor(4, 6), (RgbColor{32, 16, 103}));
}

TEST(PngDecode, RgbaBlendsOntoTheBackground)
{
    const auto png = WritePng(Rgba({200, 100, 0, 255, /**/ 200, 100, 0, 0, /**/ 200, 100, 0, 128, /**/ 10, 250, 90, 64}, 4));
    PngBitmap bitmap;
    ASSERT_EQ(DecodePng(png, bitmap, On(kBlue)), "");
    ASSERT_EQ(bitmap.BitsPerPixel(), 24);
    EXPECT_EQ(bitmap.PixelColor(0, 0), (RgbColor{200, 100, 0}));
    EXPECT_EQ(bitmap.PixelColor(1, 0), kBlue);
    ExpectNear(bitmap.PixelColor(2, 0), Blend(200, 0, 128), Blend(100, 0, 128), Blend(0, 255, 128));
    ExpectNear(bitmap.PixelColor(3, 0), Blend(10, 0, 64), Blend(250, 0, 64), Blend(90, 255, 64));
}

TEST(PngDecode, RgbaKeepsAlphaWhenAsked)
{
    const auto png = WritePng(Rgba({200, 100, 0, 255, /**/ 1, 2, 3, 0, /**/ 4, 5, 6, 77}, 3));
    PngBitmap bitmap;
    PngDrawOptions o = On(kBlue);
    o.keepAlpha = true;
    ASSERT_EQ(DecodePng(png, bitmap, o), "");
    ASSERT_EQ(bitmap.BitsPerPixel(), 32);
    EXPECT_EQ(bitmap.PixelColor(1, 0), (RgbColor{1, 2, 3}));
    EXPECT_EQ(bitmap.PixelAlpha(1, 0), 0);
    EXPECT_EQ(bitmap.PixelColor(2, 0), (RgbColor{4, 5, 6}));
    EXPECT_EQ(bitmap.PixelAlpha(2, 0), 77);
}

TEST(PngDecode, PaletteWithTransparencyComesOutAsBlendedRgb)
{
    PngPicture s;
    s.colorType = PNG_COLOR_TYPE_PALETTE;
    s.width = 4;
    s.height = 1;
    s.palette = {{255, 0, 0}, {0, 255, 0}, {10, 20, 30}};
    s.paletteAlpha = {255, 0, 128};  // entry 3 has none: opaque
    s.rows = {0, 1, 2, 0};
    PngBitmap bitmap;
    ASSERT_EQ(DecodePng(WritePng(s), bitmap, On(kGreyBg)), "");
    ASSERT_EQ(bitmap.BitsPerPixel(), 24);
    EXPECT_EQ(bitmap.PixelColor(0, 0), (RgbColor{255, 0, 0}));
    EXPECT_EQ(bitmap.PixelColor(1, 0), kGreyBg);
    ExpectNear(bitmap.PixelColor(2, 0), Blend(10, 192, 128), Blend(20, 192, 128), Blend(30, 192, 128));
}

TEST(PngDecode, LowDepthPaletteAndGreyAreExpanded)
{
    PngPicture pal;
    pal.colorType = PNG_COLOR_TYPE_PALETTE;
    pal.bitDepth = 2;
    pal.width = 5;
    pal.height = 1;
    pal.palette = {{0, 0, 0}, {255, 255, 255}, {255, 0, 0}, {0, 0, 255}};
    pal.rows = {0b00011011, 0b01000000};  // 0 1 2 3 1
    PngBitmap bitmap;
    ASSERT_EQ(DecodePng(WritePng(pal), bitmap, On(kGreyBg)), "");
    EXPECT_EQ(bitmap.PixelColor(2, 0), (RgbColor{255, 0, 0}));
    EXPECT_EQ(bitmap.PixelColor(3, 0), (RgbColor{0, 0, 255}));
    EXPECT_EQ(bitmap.PixelColor(4, 0), (RgbColor{255, 255, 255}));

    PngPicture mono;
    mono.colorType = PNG_COLOR_TYPE_GRAY;
    mono.bitDepth = 1;
    mono.width = 10;
    mono.height = 1;
    mono.rows = {0b10100000, 0b01000000};
    PngBitmap b2;
    ASSERT_EQ(DecodePng(WritePng(mono), b2, On(kBlue)), "");
    ASSERT_EQ(b2.Width(), 10);
    EXPECT_EQ(b2.PixelColor(0, 0), (RgbColor{255, 255, 255}));
    EXPECT_EQ(b2.PixelColor(1, 0), (RgbColor{0, 0, 0}));
    EXPECT_EQ(b2.PixelColor(2, 0), (RgbColor{255, 255, 255}));
    EXPECT_EQ(b2.PixelColor(9, 0), (RgbColor{255, 255, 255}));
}

TEST(PngDecode, GreyBecomesThreeEqualChannels)
{
    PngPicture s;
    s.colorType = PNG_COLOR_TYPE_GRAY;
    s.width = 3;
    s.height = 1;
    s.rows = {0, 77, 255};
    PngBitmap bitmap;
    ASSERT_EQ(DecodePng(WritePng(s), bitmap, On(kBlue)), "");
    ASSERT_EQ(bitmap.BitsPerPixel(), 24);
    EXPECT_EQ(bitmap.PixelColor(1, 0), (RgbColor{77, 77, 77}));
    EXPECT_EQ(bitmap.PixelColor(2, 0), (RgbColor{255, 255, 255}));
}

TEST(PngDecode, GreyWithTransparentColourBlends)
{
    PngPicture s;
    s.colorType = PNG_COLOR_TYPE_GRAY;
    s.width = 2;
    s.height = 1;
    s.rows = {50, 60};
    s.transparentColor = true;
    s.transparent.gray = 60;
    PngBitmap bitmap;
    ASSERT_EQ(DecodePng(WritePng(s), bitmap, On(kBlue)), "");
    EXPECT_EQ(bitmap.PixelColor(0, 0), (RgbColor{50, 50, 50}));
    EXPECT_EQ(bitmap.PixelColor(1, 0), kBlue);
}

TEST(PngDecode, GreyAlphaBlendsOntoAColouredBackground)
{
    PngPicture s;
    s.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
    s.width = 3;
    s.height = 1;
    s.rows = {100, 255, 100, 0, 200, 100};
    PngBitmap bitmap;
    ASSERT_EQ(DecodePng(WritePng(s), bitmap, On(RgbColor{255, 128, 0})), "");
    EXPECT_EQ(bitmap.PixelColor(0, 0), (RgbColor{100, 100, 100}));
    EXPECT_EQ(bitmap.PixelColor(1, 0), (RgbColor{255, 128, 0}));
    ExpectNear(bitmap.PixelColor(2, 0), Blend(200, 255, 100), Blend(200, 128, 100), Blend(200, 0, 100));

    PngDrawOptions keep = On(kBlue);
    keep.keepAlpha = true;
    PngBitmap kept;
    ASSERT_EQ(DecodePng(WritePng(s), kept, keep), "");
    ASSERT_EQ(kept.BitsPerPixel(), 32);
    EXPECT_EQ(kept.PixelColor(2, 0), (RgbColor{200, 200, 200}));
    EXPECT_EQ(kept.PixelAlpha(2, 0), 100);
}

TEST(PngDecode, SixteenBitSamplesAreStrippedToTheirHighByte)
{
    PngPicture s;
    s.bitDepth = 16;
    s.width = 2;
    s.height = 1;
    s.rows = {0x12, 0xFF, 0xAB, 0x01, 0xFF, 0xFF, /**/ 0x00, 0x80, 0x7F, 0xFF, 0x80, 0x00};
    PngBitmap bitmap;
    ASSERT_EQ(DecodePng(WritePng(s), bitmap, On(kBlue)), "");
    EXPECT_EQ(bitmap.PixelColor(0, 0), (RgbColor{0x12, 0xAB, 0xFF}));
    EXPECT_EQ(bitmap.PixelColor(1, 0), (RgbColor{0x00, 0x7F, 0x80}));
}

TEST(PngDecode, SixteenBitRgbaBlendsWithAnEightBitBackground)
{
    PngPicture s;
    s.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    s.bitDepth = 16;
    s.width = 3;
    s.height = 1;
    s.rows = {0xC8, 0, 0x64, 0, 0, 0, 0xFF, 0xFF,   // (200, 100, 0) opaque
              0xC8, 0, 0x64, 0, 0, 0, 0, 0,         // transparent
              0xC8, 0, 0x64, 0, 0, 0, 0x80, 0x80};  // half
    PngBitmap bitmap;
    ASSERT_EQ(DecodePng(WritePng(s), bitmap, On(RgbColor{0, 50, 255})), "");
    ASSERT_EQ(bitmap.BitsPerPixel(), 24);
    EXPECT_EQ(bitmap.PixelColor(0, 0), (RgbColor{200, 100, 0}));
    EXPECT_EQ(bitmap.PixelColor(1, 0), (RgbColor{0, 50, 255}));
    ExpectNear(bitmap.PixelColor(2, 0), Blend(200, 0, 128), Blend(100, 50, 128), Blend(0, 255, 128));
}

TEST(PngDecode, FileGammaIsIgnored)
{
    PngPicture s = Gradient(2, 1);
    s.fileGamma = 0.45455;
    PngBitmap bitmap;
    ASSERT_EQ(DecodePng(WritePng(s), bitmap, On(kBlue)), "");
    EXPECT_EQ(bitmap.PixelColor(1, 0), (RgbColor{16, 0, 101}));
}

TEST(PngDecode, InterlacedDecodesLikeProgressive)
{
    PngPicture plain = Gradient(9, 7);
    PngPicture inter = plain;
    inter.interlaced = true;
    PngBitmap a;
    PngBitmap b;
    ASSERT_EQ(DecodePng(WritePng(plain), a, On(kBlue)), "");
    ASSERT_EQ(DecodePng(WritePng(inter), b, On(kBlue)), "");
    EXPECT_EQ(a.Pixels(), b.Pixels());
}

TEST(PngDecode, GreyOptionTurnsColourIntoGrey)
{
    // Pure red, green, blue, white, black.
    PngPicture s;
    s.width = 5;
    s.height = 1;
    s.rows = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 0, 0, 0};
    PngDrawOptions o = On(kBlue);
    o.grey = true;
    PngBitmap bitmap;
    ASSERT_EQ(DecodePng(WritePng(s), bitmap, o), "");
    ASSERT_EQ(bitmap.BitsPerPixel(), 24);
    ASSERT_EQ(bitmap.Width(), 5);
    int values[5];
    for (int x = 0; x < 5; ++x) {
        const RgbColor c = bitmap.PixelColor(x, 0);
        EXPECT_EQ(c.r, c.g);
        EXPECT_EQ(c.g, c.b);
        values[x] = c.r;
    }
    // Green weighs most, blue least (luminance weights about 0.21, 0.72, 0.07).
    EXPECT_NEAR(values[0], 54, 2);
    EXPECT_NEAR(values[1], 182, 2);
    EXPECT_NEAR(values[2], 18, 2);
    EXPECT_EQ(values[3], 255);
    EXPECT_EQ(values[4], 0);
}

TEST(PngDecode, GreyOptionWithAlphaBlendsOrKeepsAlpha)
{
    const auto png = WritePng(Rgba({0, 255, 0, 255, /**/ 0, 255, 0, 0, /**/ 255, 255, 255, 128}, 3));
    PngDrawOptions o = On(RgbColor{255, 0, 0});
    o.grey = true;
    PngBitmap blended;
    ASSERT_EQ(DecodePng(png, blended, o), "");
    ASSERT_EQ(blended.BitsPerPixel(), 24);
    ExpectNear(blended.PixelColor(0, 0), 182, 182, 182, 2);
    EXPECT_EQ(blended.PixelColor(1, 0), (RgbColor{255, 0, 0}));  // the background itself stays coloured

    o.keepAlpha = true;
    PngBitmap kept;
    ASSERT_EQ(DecodePng(png, kept, o), "");
    ASSERT_EQ(kept.BitsPerPixel(), 32);
    ASSERT_EQ(kept.Width(), 3);
    ExpectNear(kept.PixelColor(0, 0), 182, 182, 182, 2);
    EXPECT_EQ(kept.PixelAlpha(0, 0), 255);
    EXPECT_EQ(kept.PixelAlpha(1, 0), 0);
    EXPECT_EQ(kept.PixelColor(2, 0), (RgbColor{255, 255, 255}));
    EXPECT_EQ(kept.PixelAlpha(2, 0), 128);
}

TEST(PngDecode, GreyOptionOnPaletteAndGreyPictures)
{
    PngPicture pal;
    pal.colorType = PNG_COLOR_TYPE_PALETTE;
    pal.width = 2;
    pal.height = 1;
    pal.palette = {{0, 255, 0}, {255, 255, 255}};
    pal.rows = {0, 1};
    PngDrawOptions o = On(kBlue);
    o.grey = true;
    PngBitmap a;
    ASSERT_EQ(DecodePng(WritePng(pal), a, o), "");
    ExpectNear(a.PixelColor(0, 0), 182, 182, 182, 2);
    EXPECT_EQ(a.PixelColor(1, 0), (RgbColor{255, 255, 255}));

    PngPicture grey;
    grey.colorType = PNG_COLOR_TYPE_GRAY;
    grey.width = 1;
    grey.height = 1;
    grey.rows = {99};
    PngBitmap b;
    ASSERT_EQ(DecodePng(WritePng(grey), b, o), "");
    ASSERT_EQ(b.BitsPerPixel(), 24);
    EXPECT_EQ(b.PixelColor(0, 0), (RgbColor{99, 99, 99}));
}

TEST(PngPlacement, SixteenWideFitsAtSixteenButNotAtSeventeen)
{
    const auto png = WritePng(Gradient(16, 16));
    PngBitmap bitmap(32, 16, 24, kGreyBg);
    ASSERT_EQ(DecodePng(png, bitmap, On(kBlue, 16, 0)), "");
    EXPECT_EQ(bitmap.PixelColor(15, 0), kGreyBg);
    EXPECT_EQ(bitmap.PixelColor(16, 0), (RgbColor{0, 0, 100}));
    EXPECT_EQ(bitmap.PixelColor(31, 15), (RgbColor{240, 240, 130}));

    PngBitmap untouched(32, 16, 24, kGreyBg);
    const auto before = untouched.Pixels();
    EXPECT_EQ(DecodePng(png, untouched, On(kBlue, 17, 0)), "PNG Load: Bitmap width too small");
    EXPECT_EQ(untouched.Pixels(), before);
    EXPECT_EQ(DecodePng(png, untouched, On(kBlue, 0, 1)), "PNG Load: Bitmap height too small");
    EXPECT_EQ(untouched.Pixels(), before);
}

TEST(PngPlacement, NegativePositionIsRefused)
{
    const auto png = WritePng(Gradient(4, 4));
    PngBitmap bitmap(8, 8, 24, kGreyBg);
    const auto before = bitmap.Pixels();
    EXPECT_EQ(DecodePng(png, bitmap, On(kBlue, -1, 0)), "PNG Load: Bitmap width too small");
    EXPECT_EQ(DecodePng(png, bitmap, On(kBlue, 0, -1)), "PNG Load: Bitmap height too small");
    EXPECT_EQ(bitmap.Pixels(), before);
    PngBitmap empty;
    EXPECT_NE(DecodePng(png, empty, On(kBlue, -3, 0)), "");
}

TEST(PngPlacement, FourChannelsTurnABitmapIntoThirtyTwoBitsKeepingItsPicture)
{
    PngBitmap bitmap(4, 1, 24, RgbColor{1, 2, 3});
    PngDrawOptions o = On(kBlue, 2, 0);
    o.keepAlpha = true;
    ASSERT_EQ(DecodePng(WritePng(Rgba({9, 8, 7, 6}, 1)), bitmap, o), "");
    ASSERT_EQ(bitmap.BitsPerPixel(), 32);
    EXPECT_EQ(bitmap.PixelColor(0, 0), (RgbColor{1, 2, 3}));
    EXPECT_EQ(bitmap.PixelAlpha(0, 0), 255);
    EXPECT_EQ(bitmap.PixelColor(2, 0), (RgbColor{9, 8, 7}));
    EXPECT_EQ(bitmap.PixelAlpha(2, 0), 6);
}

TEST(PngFade, DivisorTwoMovesHalfWayToTheBackground)
{
    PngPicture s;
    s.width = 2;
    s.height = 1;
    s.rows = {255, 0, 100, 0, 255, 101};
    PngDrawOptions o = On(RgbColor{0, 255, 100});
    o.fade = 2;
    PngBitmap bitmap;
    ASSERT_EQ(DecodePng(WritePng(s), bitmap, o), "");
    // Division toward zero: 255 -> 0 + 255 / 2 = 127, 0 -> 255 + (-255) / 2 = 128.
    EXPECT_EQ(bitmap.PixelColor(0, 0), (RgbColor{127, 128, 100}));
    EXPECT_EQ(bitmap.PixelColor(1, 0), (RgbColor{0, 255, 100}));

    // Only the picture's area fades.
    PngBitmap wide(4, 1, 24, RgbColor{255, 255, 255});
    o.x = 2;
    ASSERT_EQ(DecodePng(WritePng(s), wide, o), "");
    EXPECT_EQ(wide.PixelColor(0, 0), (RgbColor{255, 255, 255}));
    EXPECT_EQ(wide.PixelColor(2, 0), (RgbColor{127, 128, 100}));
}

TEST(PngFailures, SignatureIsCheckedWithoutReadingPastShortData)
{
    PngBitmap bitmap;
    EXPECT_EQ(DecodePng({}, bitmap, On(kBlue)), "Error in PNG signature");
    const std::vector<std::uint8_t> shortSig = {0x89, 'P', 'N', 'G'};
    EXPECT_EQ(DecodePng(shortSig, bitmap, On(kBlue)), "Error in PNG signature");
    auto png = WritePng(Gradient(2, 2));
    png[1] = 'Q';
    EXPECT_EQ(DecodePng(png, bitmap, On(kBlue)), "Error in PNG signature");
    EXPECT_TRUE(bitmap.Empty());
}

TEST(PngFailures, EveryTruncationFailsCleanly)
{
    const auto png = WritePng(Gradient(6, 5));
    for (std::size_t length = 8; length < png.size(); ++length) {
        // A copy of exactly this length, so that a read past it is caught.
        const std::vector<std::uint8_t> cut(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(length));
        PngBitmap bitmap;
        const std::string error = DecodePng(cut, bitmap, On(kBlue));
        EXPECT_EQ(error.rfind("PNG Read error: ", 0), 0u) << "length " << length << ": " << error;
    }
}

TEST(PngFailures, TruncatedDataKeepsTheRowsDrawnSoFar)
{
    // Rows of an uncompressible picture arrive in order; cut three quarters
    // into the image data, the top rows are in the bitmap and the bottom ones
    // are not.
    PngPicture s;
    s.width = 128;
    s.height = 128;
    std::mt19937 random(7);
    for (std::size_t i = 0; i < 128 * 128 * 3; ++i)
        s.rows.push_back(static_cast<std::uint8_t>(random()));
    const auto png = WritePng(s);
    const std::size_t idat = FindChunk(png, "IDAT");
    ASSERT_NE(idat, 0u);
    const std::vector<std::uint8_t> cut(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(idat + 4 + 128 * 128 * 3 * 3 / 4));
    PngBitmap bitmap(128, 128, 24, kBlue);
    EXPECT_EQ(DecodePng(cut, bitmap, On(kBlue)).rfind("PNG Read error: ", 0), 0u);
    EXPECT_EQ(bitmap.PixelColor(1, 0), (RgbColor{s.rows[3], s.rows[4], s.rows[5]}));
    EXPECT_EQ(bitmap.PixelColor(127, 127), kBlue);
}

TEST(PngFailures, CorruptChunksAreReported)
{
    auto png = WritePng(Gradient(4, 4));
    const std::size_t idat = FindChunk(png, "IDAT");
    ASSERT_NE(idat, 0u);

    auto badCrc = png;
    badCrc[idat + 6] ^= 0x55;
    PngBitmap bitmap;
    EXPECT_EQ(DecodePng(badCrc, bitmap, On(kBlue)).rfind("PNG Read error: ", 0), 0u);

    auto badZlib = png;
    for (std::size_t i = 0; i < 6; ++i)
        badZlib[idat + 4 + i] = 0xEE;
    FixChunkCrc(badZlib, idat);
    PngBitmap b2;
    EXPECT_EQ(DecodePng(badZlib, b2, On(kBlue)).rfind("PNG Read error: ", 0), 0u);

    auto badHeader = png;
    badHeader[FindChunk(png, "IHDR") + 4 + 8] = 7;  // bit depth 7
    FixChunkCrc(badHeader, FindChunk(png, "IHDR"));
    PngBitmap b3;
    EXPECT_EQ(DecodePng(badHeader, b3, On(kBlue)).rfind("PNG Read error: ", 0), 0u);
    EXPECT_TRUE(b3.Empty());
}

TEST(PngFailures, LibpngWarningsDoNotEndTheLoad)
{
    PngPicture s = Gradient(2, 2);
    s.fileGamma = 0.45455;
    auto png = WritePng(s);
    const std::size_t gama = FindChunk(png, "gAMA");
    ASSERT_NE(gama, 0u);
    for (std::size_t i = 0; i < 4; ++i)
        png[gama + 4 + i] = 0;  // gamma 0: libpng warns and ignores the chunk
    FixChunkCrc(png, gama);
    PngBitmap bitmap;
    EXPECT_EQ(DecodePng(png, bitmap, On(kBlue)), "");
    PngBitmap plain;
    EXPECT_EQ(DecodePng(WritePng(Gradient(2, 2)), plain, On(kBlue)), "");
    ASSERT_FALSE(bitmap.Empty());
    EXPECT_EQ(bitmap.Width(), plain.Width());
    for (int y = 0; y < plain.Height(); ++y)
        for (int x = 0; x < plain.Width() * 3; ++x)
            EXPECT_EQ(bitmap.ScanLine(y)[x], plain.ScanLine(y)[x]);
}

TEST(PngFailures, HugeDimensionsAreRefusedBeforeAnyAllocation)
{
    auto png = WritePng(Gradient(4, 4));
    const std::size_t ihdr = FindChunk(png, "IHDR");
    png[ihdr + 4] = 0x00;  // width 2^20
    png[ihdr + 5] = 0x10;
    png[ihdr + 6] = 0x00;
    png[ihdr + 7] = 0x00;
    FixChunkCrc(png, ihdr);
    PngBitmap bitmap;
    EXPECT_EQ(DecodePng(png, bitmap, On(kBlue)).rfind("PNG Read error: ", 0), 0u);
    EXPECT_TRUE(bitmap.Empty());
}

TEST(PngFailures, RandomDamageNeverCrashes)
{
    const auto png = WritePng(Gradient(12, 9));
    std::mt19937 random(12345);
    int failures = 0;
    for (int round = 0; round < 400; ++round) {
        auto damaged = png;
        const int hits = 1 + static_cast<int>(random() % 4);
        for (int h = 0; h < hits; ++h)
            damaged[8 + random() % (damaged.size() - 8)] = static_cast<std::uint8_t>(random());
        // Mend the CRCs half of the time, so that damage reaches the decoders.
        if (round % 2 == 0) {
            for (const char* type : {"IHDR", "IDAT", "IEND"})
                if (const std::size_t at = FindChunk(damaged, type); at != 0 && at + 8 <= damaged.size()) {
                    const std::uint32_t length = (std::uint32_t{damaged[at - 4]} << 24) | (std::uint32_t{damaged[at - 3]} << 16) |
                                                 (std::uint32_t{damaged[at - 2]} << 8) | damaged[at - 1];
                    if (at + 8 + length <= damaged.size())
                        FixChunkCrc(damaged, at);
                }
        }
        PngBitmap bitmap(12, 9, 24, kBlue);
        if (!DecodePng(damaged, bitmap, On(kBlue)).empty())
            ++failures;
        EXPECT_EQ(bitmap.Width(), 12);
        EXPECT_EQ(bitmap.Height(), 9);
    }
    EXPECT_GT(failures, 0);
}

TEST(PngStrip, EachPictureOnAFreshBackground)
{
    const auto big = WritePng(Gradient(4, 4));
    const auto small = WritePng(Rgba({9, 9, 9, 255}, 1));
    std::vector<std::uint8_t> broken = big;
    broken.resize(big.size() / 2);
    const std::vector<std::span<const std::uint8_t>> pngs = {big, small, broken, big};
    const auto images = DecodePngStrip(pngs, 4, 4, kGreyBg, 0, 0, false);
    ASSERT_EQ(images.size(), 4u);
    for (const auto& image : images) {
        EXPECT_EQ(image.Width(), 4);
        EXPECT_EQ(image.Height(), 4);
        EXPECT_EQ(image.BitsPerPixel(), 24);
    }
    EXPECT_EQ(images[0].PixelColor(3, 3), (RgbColor{48, 48, 106}));
    EXPECT_EQ(images[1].PixelColor(0, 0), (RgbColor{9, 9, 9}));
    EXPECT_EQ(images[1].PixelColor(3, 3), kGreyBg);  // not the picture before
    EXPECT_EQ(images[3].Pixels(), images[0].Pixels());
}

TEST(PngStrip, GreyFlagGivesTheDisabledLook)
{
    PngPicture s;
    s.width = 1;
    s.height = 1;
    s.rows = {255, 0, 0};
    const auto png = WritePng(s);
    const std::vector<std::span<const std::uint8_t>> pngs = {png};
    const auto normal = DecodePngStrip(pngs, 2, 2, kGreyBg, 1, 1, false);
    const auto disabled = DecodePngStrip(pngs, 2, 2, kGreyBg, 1, 1, true);
    EXPECT_EQ(normal[0].PixelColor(1, 1), (RgbColor{255, 0, 0}));
    const RgbColor g = disabled[0].PixelColor(1, 1);
    EXPECT_EQ(g.r, g.g);
    EXPECT_EQ(g.g, g.b);
    EXPECT_EQ(disabled[0].PixelColor(0, 0), kGreyBg);
}

TEST(PngResources, MissingIdRaisesWithTheIdInDecimal)
{
    PngBitmap bitmap;
    try {
        LoadPngResource(bitmap, 99, On(kBlue));
        FAIL() << "no exception";
    } catch (const PngResourceError& e) {
        EXPECT_STREQ(e.what(), "Could not find resource with id 99");
    }
    EXPECT_THROW(LoadPngStrip(10, 10, 200, 5, kBlue, 0, 0, false), PngResourceError);
}

TEST(PngResources, TableIsSortedAndEveryImageDecodes)
{
    const auto table = ImageResources();
    ASSERT_FALSE(table.empty());
    for (std::size_t i = 1; i < table.size(); ++i)
        EXPECT_LT(table[i - 1].id, table[i].id);
    for (const ImageResource& r : table) {
        PngBitmap bitmap;
        EXPECT_EQ(DecodePng({r.data, r.size}, bitmap, On(kGreyBg)), "") << "resource " << r.id;
        EXPECT_EQ(FindImageResource(r.id), &r);
    }
}

// The pictures that the main window's image lists and the lamps load, with the
// sizes of their lists.
TEST(PngResources, MainWindowPicturesExistWithTheirSizes)
{
    struct Run {
        int first;
        int count;
        int width;
        int height;
    };
    // The program icon: 16 to 256 pixels square, from resource 1 on.
    for (const Run run : {Run{100, 7, 32, 32}, Run{120, 7, 16, 16}, Run{200, 2, 10, 10}, Run{1, 1, 16, 16},
                          Run{2, 1, 32, 32}, Run{3, 1, 48, 48}, Run{4, 1, 64, 64}, Run{5, 1, 128, 128},
                          Run{6, 1, 256, 256}}) {
        for (int id = run.first; id < run.first + run.count; ++id) {
            PngBitmap bitmap;
            ASSERT_EQ(LoadPngResource(bitmap, id, On(kGreyBg)), "") << id;
            EXPECT_EQ(bitmap.Width(), run.width) << id;
            EXPECT_EQ(bitmap.Height(), run.height) << id;
        }
    }
    PngBitmap motor0;
    PngBitmap motor1;
    PngBitmap motor2;
    ASSERT_EQ(LoadPngResource(motor0, 140, On(kGreyBg)), "");
    ASSERT_EQ(LoadPngResource(motor1, 141, On(kGreyBg)), "");
    ASSERT_EQ(LoadPngResource(motor2, 142, On(kGreyBg)), "");
    EXPECT_EQ(motor1.Width(), motor0.Width());
    EXPECT_EQ(motor2.Height(), motor0.Height());
    // The lit lamp differs from the unlit one.
    PngBitmap off;
    PngBitmap on;
    LoadPngResource(off, 200, On(kGreyBg));
    LoadPngResource(on, 201, On(kGreyBg));
    EXPECT_NE(off.Pixels(), on.Pixels());
    // The icon keeps its own alpha: the tile's rounded corners are clear.
    PngDrawOptions alpha = On(kGreyBg);
    alpha.keepAlpha = true;
    PngBitmap icon;
    ASSERT_EQ(LoadPngResource(icon, 4, alpha), "");
    ASSERT_EQ(icon.BitsPerPixel(), 32);
    EXPECT_EQ(icon.PixelAlpha(0, 0), 0);
    EXPECT_EQ(icon.PixelAlpha(63, 63), 0);
    EXPECT_EQ(icon.PixelAlpha(32, 32), 255);
}
