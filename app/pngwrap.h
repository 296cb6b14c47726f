#pragma once
// PNG pictures of the program (toolbar strips, palette glyphs, motor pictures,
// lamps, schematic), decoded with libpng into a plain pixel bitmap.
//
// The decoder expands palette, low-depth and transparent images, strips 16-bit
// samples to 8, turns grey images into three channels, can turn colour into
// grey, blends onto a background colour unless alpha is kept, applies no gamma
// correction, and delivers pixels blue-green-red(-alpha).

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace quenor {

struct RgbColor {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    friend bool operator==(const RgbColor&, const RgbColor&) = default;
};

// A bitmap of 24 (B, G, R) or 32 (B, G, R, A) bits per pixel, rows top-down
// without padding.
class PngBitmap {
public:
    PngBitmap() = default;
    PngBitmap(int width, int height, int bitsPerPixel, RgbColor fill);

    int Width() const { return width_; }
    int Height() const { return height_; }
    int BitsPerPixel() const { return bitsPerPixel_; }
    int BytesPerPixel() const { return bitsPerPixel_ / 8; }
    std::size_t Stride() const { return static_cast<std::size_t>(width_) * static_cast<std::size_t>(BytesPerPixel()); }
    bool Empty() const { return width_ == 0 && height_ == 0; }

    std::uint8_t* ScanLine(int y) { return pixels_.data() + static_cast<std::size_t>(y) * Stride(); }
    const std::uint8_t* ScanLine(int y) const { return pixels_.data() + static_cast<std::size_t>(y) * Stride(); }
    const std::vector<std::uint8_t>& Pixels() const { return pixels_; }

    // Pixel (x, y) as colour and alpha (255 for a 24-bit bitmap).
    RgbColor PixelColor(int x, int y) const;
    int PixelAlpha(int x, int y) const;

    // Changes to 24 or 32 bits per pixel keeping the picture; alpha becomes 255.
    void SetPixelFormat(int bitsPerPixel);
    // New size; the picture is lost and every pixel becomes fill (alpha 255).
    void SetSize(int width, int height, RgbColor fill);
    void Fill(RgbColor fill);

private:
    int width_ = 0;
    int height_ = 0;
    int bitsPerPixel_ = 24;
    std::vector<std::uint8_t> pixels_;
};

// How a picture is drawn into a bitmap.
struct PngDrawOptions {
    RgbColor background;
    int x = 0;             // top-left position in the bitmap
    int y = 0;
    bool grey = false;     // colour turned into grey (the disabled look)
    bool keepAlpha = false;// four channels kept instead of blending on the background
    int fade = 0;          // 0 = none; else each channel moves to background + (c - background) / fade
};

// A resource that does not exist: "Could not find resource with id " + id.
class PngResourceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Decodes a complete PNG file into bitmap. An empty bitmap (0 x 0) is sized to
// hold the picture at the position; otherwise the picture must fit. Returns the
// empty text on success, else the failure's text (the bitmap keeps what was
// drawn until then; an early failure draws nothing). Never throws for bad data.
std::string DecodePng(std::span<const std::uint8_t> png, PngBitmap& bitmap, const PngDrawOptions& options);

// The compiled-in PNG with this resource number; PngResourceError when missing.
std::span<const std::uint8_t> PngResourceData(int id);

// Decodes resource id into bitmap. A missing resource throws PngResourceError;
// a decoding failure does not throw and is returned as text (empty = drawn).
std::string LoadPngResource(PngBitmap& bitmap, int id, const PngDrawOptions& options);

// The pictures of an image list of width x height: each PNG decoded on a
// bitmap filled with the background at (x, y), without alpha and fade. A
// picture that cannot be decoded gives a plain background image.
std::vector<PngBitmap> DecodePngStrip(std::span<const std::span<const std::uint8_t>> pngs, int width, int height,
                                      RgbColor background, int x, int y, bool grey);

// DecodePngStrip of the resources first .. first + count - 1; PngResourceError
// when one of them is missing.
std::vector<PngBitmap> LoadPngStrip(int width, int height, int first, int count, RgbColor background, int x, int y,
                                    bool grey);

}  // namespace quenor
