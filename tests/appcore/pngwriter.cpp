#include "appcore/pngwriter.h"

#include <zlib.h>

#include <csetjmp>
#include <cstring>
#include <stdexcept>

namespace quenor::test {

namespace {

void Append(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void Flush(png_structp) {}

// No C++ object with a destructor lives in this frame.
bool WriteCore(png_structp png, png_infop info, const PngPicture* pic, png_bytepp rows, std::vector<std::uint8_t>* out)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_write_fn(png, out, Append, Flush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(pic->width), static_cast<png_uint_32>(pic->height),
                 pic->bitDepth, pic->colorType, pic->interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!pic->palette.empty())
        png_set_PLTE(png, info, pic->palette.data(), static_cast<int>(pic->palette.size()));
    if (!pic->paletteAlpha.empty())
        png_set_tRNS(png, info, pic->paletteAlpha.data(), static_cast<int>(pic->paletteAlpha.size()), nullptr);
    if (pic->transparentColor)
        png_set_tRNS(png, info, nullptr, 0, &pic->transparent);
    if (pic->fileGamma > 0)
        png_set_gAMA(png, info, pic->fileGamma);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

std::size_t RowBytes(const PngPicture& pic)
{
    int channels = 1;
    switch (pic.colorType) {
    case PNG_COLOR_TYPE_GRAY_ALPHA: channels = 2; break;
    case PNG_COLOR_TYPE_RGB: channels = 3; break;
    case PNG_COLOR_TYPE_RGB_ALPHA: channels = 4; break;
    default: break;
    }
    return (static_cast<std::size_t>(pic.width) * static_cast<std::size_t>(channels * pic.bitDepth) + 7) / 8;
}

std::vector<std::uint8_t> WritePng(const PngPicture& pic)
{
    const std::size_t rowBytes = RowBytes(pic);
    if (pic.rows.size() != rowBytes * static_cast<std::size_t>(pic.height))
        throw std::invalid_argument("PngPicture rows do not match the size");
    std::vector<png_bytep> rows(static_cast<std::size_t>(pic.height));
    std::vector<std::uint8_t> data = pic.rows;
    for (int r = 0; r < pic.height; ++r)
        rows[static_cast<std::size_t>(r)] = data.data() + static_cast<std::size_t>(r) * rowBytes;

    std::vector<std::uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    const bool ok = png && info && WriteCore(png, info, &pic, rows.data(), &out);
    png_destroy_write_struct(&png, &info);
    if (!ok)
        throw std::runtime_error("test picture could not be written");
    return out;
}

void FixChunkCrc(std::vector<std::uint8_t>& png, std::size_t typeAt)
{
    const std::uint8_t* lengthField = &png[typeAt - 4];
    const std::uint32_t length = (std::uint32_t{lengthField[0]} << 24) | (std::uint32_t{lengthField[1]} << 16) |
                                 (std::uint32_t{lengthField[2]} << 8) | lengthField[3];
    const uLong crc = crc32(0, &png[typeAt], static_cast<uInt>(length + 4));
    std::uint8_t* crcField = &png[typeAt + 4 + length];
    crcField[0] = static_cast<std::uint8_t>(crc >> 24);
    crcField[1] = static_cast<std::uint8_t>(crc >> 16);
    crcField[2] = static_cast<std::uint8_t>(crc >> 8);
    crcField[3] = static_cast<std::uint8_t>(crc);
}

std::size_t FindChunk(const std::vector<std::uint8_t>& png, const char* type)
{
    std::size_t p = 8;
    while (p + 12 <= png.size()) {
        const std::uint32_t length = (std::uint32_t{png[p]} << 24) | (std::uint32_t{png[p + 1]} << 16) |
                                     (std::uint32_t{png[p + 2]} << 8) | png[p + 3];
        if (std::memcmp(&png[p + 4], type, 4) == 0)
            return p + 4;
        p += 12 + length;
    }
    return 0;
}

}  // namespace quenor::test
