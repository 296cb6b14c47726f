#pragma once
// Test pictures written with libpng's writer into memory.

#include <png.h>

#include <cstdint>
#include <vector>

namespace quenor::test {

struct PngPicture {
    int width = 1;
    int height = 1;
    int colorType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    bool interlaced = false;
    // Packed rows as they go into the file (16-bit samples big-endian).
    std::vector<std::uint8_t> rows;
    std::vector<png_color> palette;
    std::vector<std::uint8_t> paletteAlpha;  // tRNS of a palette image
    bool transparentColor = false;           // tRNS of a grey or RGB image
    png_color_16 transparent{};
    double fileGamma = 0;                    // 0: no gAMA chunk
};

std::vector<std::uint8_t> WritePng(const PngPicture& pic);

// Bytes of one row of pic.
std::size_t RowBytes(const PngPicture& pic);

// Recomputes the CRC of the chunk whose type starts at offset typeAt.
void FixChunkCrc(std::vector<std::uint8_t>& png, std::size_t typeAt);

// Offset of the first chunk of this type (its type field), or 0.
std::size_t FindChunk(const std::vector<std::uint8_t>& png, const char* type);

}  // namespace quenor::test
