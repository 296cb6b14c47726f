#include "app/pngwrap.h"

#include "resources/embed/imageresources.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

namespace quenor {

// ---------------------------------------------------------------------------
// Bitmap

PngBitmap::PngBitmap(int width, int height, int bitsPerPixel, RgbColor fill) : bitsPerPixel_(bitsPerPixel == 32 ? 32 : 24)
{
    SetSize(width, height, fill);
}

RgbColor PngBitmap::PixelColor(int x, int y) const
{
    const std::uint8_t* p = ScanLine(y) + static_cast<std::size_t>(x) * static_cast<std::size_t>(BytesPerPixel());
    return RgbColor{p[2], p[1], p[0]};
}

int PngBitmap::PixelAlpha(int x, int y) const
{
    if (bitsPerPixel_ != 32)
        return 255;
    return ScanLine(y)[static_cast<std::size_t>(x) * 4 + 3];
}

void PngBitmap::SetPixelFormat(int bitsPerPixel)
{
    bitsPerPixel = bitsPerPixel == 32 ? 32 : 24;
    if (bitsPerPixel == bitsPerPixel_)
        return;
    const std::size_t count = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
    std::vector<std::uint8_t> converted(count * static_cast<std::size_t>(bitsPerPixel / 8));
    const std::size_t from = static_cast<std::size_t>(BytesPerPixel());
    const std::size_t to = static_cast<std::size_t>(bitsPerPixel / 8);
    for (std::size_t i = 0; i < count; ++i) {
        std::memcpy(&converted[i * to], &pixels_[i * from], 3);
        if (to == 4)
            converted[i * to + 3] = 255;
    }
    pixels_ = std::move(converted);
    bitsPerPixel_ = bitsPerPixel;
}

void PngBitmap::SetSize(int width, int height, RgbColor fill)
{
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    pixels_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) *
                       static_cast<std::size_t>(BytesPerPixel()),
                   0);
    Fill(fill);
}

void PngBitmap::Fill(RgbColor fill)
{
    const std::size_t step = static_cast<std::size_t>(BytesPerPixel());
    for (std::size_t i = 0; i + step <= pixels_.size(); i += step) {
        pixels_[i] = fill.b;
        pixels_[i + 1] = fill.g;
        pixels_[i + 2] = fill.r;
        if (step == 4)
            pixels_[i + 3] = 255;
    }
}

// ---------------------------------------------------------------------------
// Decoder
//
// libpng reports errors by longjmp. Every libpng call that can fail is made
// inside one of the small functions below that arm setjmp first; they hold no
// object with a destructor, and all C++ objects (the bitmap, the row table, the
// guard that frees libpng's structures) live in DecodePng, above them, where a
// longjmp never passes.

namespace {

// The largest picture accepted; the program's pictures are far smaller, and a
// corrupt header must not make us allocate gigabytes.
constexpr png_uint_32 kMaxDimension = 4096;

struct ReadState {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position;
    char message[256];
};

void ReadData(png_structp png, png_bytep out, png_size_t length)
{
    auto* state = static_cast<ReadState*>(png_get_io_ptr(png));
    if (length > state->size - state->position)
        png_error(png, "Unexpected end of PNG data");
    std::memcpy(out, state->data + state->position, length);
    state->position += length;
}

// An error ends the load.
void OnError(png_structp png, png_const_charp message)
{
    auto* state = static_cast<ReadState*>(png_get_error_ptr(png));
    std::snprintf(state->message, sizeof state->message, "PNG Read error: %s", message ? message : "");
    png_longjmp(png, 1);
}

// A warning (a colour profile libpng does not like, a bad gamma chunk it
// ignores) does not: the picture is still good.
void OnWarning(png_structp, png_const_charp) {}

struct Header {
    png_uint_32 width;
    png_uint_32 height;
    int bitDepth;
    int channels;
    std::size_t rowBytes;
};

bool ReadHeader(png_structp png, png_infop info, ReadState* state, const PngDrawOptions* options, Header* header)
{
    if (setjmp(png_jmpbuf(png)))
        return false;

    png_set_read_fn(png, state, ReadData);
    png_set_user_limits(png, kMaxDimension, kMaxDimension);
    png_set_sig_bytes(png, 8);
    png_read_info(png, info);

    const int colorType = png_get_color_type(png, info);
    const int bitDepth = png_get_bit_depth(png, info);

    if (bitDepth == 16)
        png_set_strip_16(png);
    if (colorType == PNG_COLOR_TYPE_PALETTE || bitDepth < 8 || png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_expand(png);
    if (options->grey) {
        // The grey picture (with its alpha) is blended onto the background
        // here, not by libpng: libpng can not turn colour into grey and back
        // into three channels in one read, and its blending would use a grey
        // background.
        png_set_rgb_to_gray(png, PNG_ERROR_ACTION_NONE, -1, -1);
    } else {
        if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
            png_set_gray_to_rgb(png);
        png_set_bgr(png);
        if (!options->keepAlpha) {
            png_color_16 background{};
            background.red = options->background.r;
            background.green = options->background.g;
            background.blue = options->background.b;
            png_set_background(png, &background, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
        }
    }
    png_set_gamma(png, 1.0, 1.0);
    png_set_interlace_handling(png);

    png_read_update_info(png, info);

    header->width = png_get_image_width(png, info);
    header->height = png_get_image_height(png, info);
    header->bitDepth = png_get_bit_depth(png, info);
    header->channels = png_get_channels(png, info);
    header->rowBytes = png_get_rowbytes(png, info);
    return true;
}

bool ReadRows(png_structp png, png_bytepp rows)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_image(png, rows);
    return true;
}

bool ReadEnd(png_structp png)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_end(png, nullptr);
    return true;
}

// Frees libpng's structures whichever way DecodePng is left.
class ReadStructGuard {
public:
    explicit ReadStructGuard(png_structp png) : png_(png) {}
    ~ReadStructGuard() { png_destroy_read_struct(&png_, info_ ? &info_ : nullptr, nullptr); }
    ReadStructGuard(const ReadStructGuard&) = delete;
    ReadStructGuard& operator=(const ReadStructGuard&) = delete;
    void SetInfo(png_infop info) { info_ = info; }

private:
    png_structp png_;
    png_infop info_ = nullptr;
};

// Foreground over background with alpha, rounded as libpng blends.
std::uint8_t Composite(int foreground, int background, int alpha)
{
    const int sum = foreground * alpha + background * (255 - alpha) + 128;
    return static_cast<std::uint8_t>((sum + (sum >> 8)) >> 8);
}

std::uint8_t FadeChannel(int c, int background, int divisor)
{
    return static_cast<std::uint8_t>(std::clamp(background + (c - background) / divisor, 0, 255));
}

}  // namespace

std::string DecodePng(std::span<const std::uint8_t> png, PngBitmap& bitmap, const PngDrawOptions& options)
{
    if (png.size() < 8 || png_sig_cmp(png.data(), 0, 8) != 0)
        return "Error in PNG signature";

    ReadState state{};
    state.data = png.data();
    state.size = png.size();
    state.position = 8;

    png_structp reader = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, OnError, OnWarning);
    if (!reader)
        return "Error creating PNG reading Structures";
    ReadStructGuard guard(reader);
    png_infop info = png_create_info_struct(reader);
    if (!info)
        return "Error creating PNG info struct";
    guard.SetInfo(info);

    Header header{};
    if (!ReadHeader(reader, info, &state, &options, &header))
        return state.message;

    // The grey option reads one grey channel (two with alpha) that become
    // three colour channels (four when alpha is kept).
    const int sourceChannels = header.channels;
    int channels = sourceChannels;
    if (options.grey && (sourceChannels == 1 || sourceChannels == 2))
        channels = options.keepAlpha && sourceChannels == 2 ? 4 : 3;
    if (channels != 3 && channels != 4)
        return "PNGLoad: Invalid bit depth";
    const std::size_t rowBytes = static_cast<std::size_t>(header.width) * static_cast<std::size_t>(channels);
    const std::size_t sourceRowBytes = static_cast<std::size_t>(header.width) * static_cast<std::size_t>(sourceChannels);
    if (header.bitDepth != 8 || header.rowBytes != sourceRowBytes)
        return "PNGLoad: Invalid bit depth";

    bitmap.SetPixelFormat(channels * 8);

    const auto width = static_cast<long long>(header.width);
    const auto height = static_cast<long long>(header.height);
    constexpr long long kMaxBitmap = 16384;
    if (bitmap.Empty() && options.x >= 0 && options.y >= 0 && options.x + width <= kMaxBitmap &&
        options.y + height <= kMaxBitmap)
        bitmap.SetSize(static_cast<int>(options.x + width), static_cast<int>(options.y + height), options.background);
    if (options.x < 0 || options.x + width > bitmap.Width())
        return "PNG Load: Bitmap width too small";
    if (options.y < 0 || options.y + height > bitmap.Height())
        return "PNG Load: Bitmap height too small";

    std::vector<png_bytep> rows;
    std::vector<std::uint8_t> greyPixels;
    try {
        rows.resize(header.height);
        if (options.grey)
            greyPixels.resize(sourceRowBytes * header.height);
    } catch (const std::bad_alloc&) {
        return "PNG Read error: Visual PNG: out of memory";
    }
    for (png_uint_32 r = 0; r < header.height; ++r) {
        rows[r] = options.grey ? greyPixels.data() + r * sourceRowBytes
                               : bitmap.ScanLine(options.y + static_cast<int>(r)) +
                                     static_cast<std::size_t>(options.x) * static_cast<std::size_t>(channels);
    }

    if (!ReadRows(reader, rows.data()))
        return state.message;

    if (options.grey) {
        const RgbColor bg = options.background;
        for (png_uint_32 r = 0; r < header.height; ++r) {
            const std::uint8_t* in = rows[r];
            std::uint8_t* out = bitmap.ScanLine(options.y + static_cast<int>(r)) +
                                static_cast<std::size_t>(options.x) * static_cast<std::size_t>(channels);
            rows[r] = out;
            for (png_uint_32 c = 0; c < header.width; ++c) {
                const int grey = *in++;
                const int alpha = sourceChannels == 2 ? *in++ : 255;
                if (channels == 4) {
                    out[0] = out[1] = out[2] = static_cast<std::uint8_t>(grey);
                    out[3] = static_cast<std::uint8_t>(alpha);
                    out += 4;
                } else {
                    out[0] = Composite(grey, bg.b, alpha);
                    out[1] = Composite(grey, bg.g, alpha);
                    out[2] = Composite(grey, bg.r, alpha);
                    out += 3;
                }
            }
        }
    }

    if (options.fade != 0 && channels == 3) {
        const int bg[3] = {options.background.b, options.background.g, options.background.r};
        for (png_uint_32 r = 0; r < header.height; ++r) {
            std::uint8_t* p = rows[r];
            for (std::size_t i = 0; i < rowBytes; ++i)
                p[i] = FadeChannel(p[i], bg[i % 3], options.fade);
        }
    }

    if (!ReadEnd(reader))
        return state.message;
    return {};
}

std::span<const std::uint8_t> PngResourceData(int id)
{
    const ImageResource* resource = FindImageResource(id);
    if (!resource)
        throw PngResourceError("Could not find resource with id " + std::to_string(id));
    return {resource->data, resource->size};
}

std::string LoadPngResource(PngBitmap& bitmap, int id, const PngDrawOptions& options)
{
    return DecodePng(PngResourceData(id), bitmap, options);
}

std::vector<PngBitmap> DecodePngStrip(std::span<const std::span<const std::uint8_t>> pngs, int width, int height,
                                      RgbColor background, int x, int y, bool grey)
{
    PngDrawOptions options;
    options.background = background;
    options.x = x;
    options.y = y;
    options.grey = grey;

    std::vector<PngBitmap> images;
    images.reserve(pngs.size());
    PngBitmap canvas(width, height, 24, background);
    for (const auto png : pngs) {
        // A fresh background for every picture: one that fails or is smaller
        // than the list must not show the remains of the one before.
        canvas.SetPixelFormat(24);
        canvas.Fill(background);
        DecodePng(png, canvas, options);
        images.push_back(canvas);
    }
    return images;
}

std::vector<PngBitmap> LoadPngStrip(int width, int height, int first, int count, RgbColor background, int x, int y,
                                    bool grey)
{
    std::vector<std::span<const std::uint8_t>> pngs;
    for (int id = first; id < first + count; ++id)
        pngs.push_back(PngResourceData(id));
    return DecodePngStrip(pngs, width, height, background, x, y, grey);
}

}  // namespace quenor
