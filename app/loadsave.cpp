#include "app/loadsave.h"

#include <limits>

namespace quenor {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

}  // namespace

void PutHexDigits(char* dest, std::uint32_t value, int n)
{
    for (int i = n - 1; i >= 0; --i) {
        const std::uint32_t byte = (value >> (8 * i)) & 0xFFu;
        *dest++ = kDigits[byte >> 4];
        *dest++ = kDigits[byte & 0x0Fu];
    }
}

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    throw HexDataError(kHexErrorDigit);
}

std::uint32_t HexToInt(std::string_view text, int n)
{
    if (n < 0 || n > 4 || text.size() < static_cast<std::size_t>(2 * n))
        throw HexDataError(kHexErrorDigit);
    std::uint32_t value = 0;
    for (int i = 0; i < 2 * n; ++i)
        value = (value << 4) | static_cast<std::uint32_t>(HexDigitValue(text[static_cast<std::size_t>(i)]));
    return value;
}

std::string HexTextFromStream(std::span<const std::uint8_t> stream)
{
    // The length field holds 32 bits; a larger stream cannot be written.
    if (stream.size() > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("Stream too large for hex text");
    const auto n = static_cast<std::uint32_t>(stream.size());
    std::string text(2 * stream.size() + 16, '0');
    PutHexDigits(text.data(), n, 4);
    std::uint32_t sum = 0;
    char* out = text.data() + 8;
    for (const std::uint8_t byte : stream) {
        sum += byte;
        PutHexDigits(out, byte, 1);
        out += 2;
    }
    PutHexDigits(out, sum, 4);
    return text;
}

HexBytes StreamFromHexText(std::string_view text)
{
    if (text.size() < 8)
        throw HexDataError(kHexErrorShort);
    const std::uint32_t n = HexToInt(text, 4);
    // Computed in 64 bits: a length field near 2^32 must not wrap round to the
    // length of the text at hand.
    if (static_cast<std::uint64_t>(text.size()) != 2 * static_cast<std::uint64_t>(n) + 16)
        throw HexDataError(kHexErrorLength);

    HexBytes stream;
    stream.reserve(n);
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const auto byte = static_cast<std::uint8_t>(HexToInt(text.substr(8 + 2 * i, 2), 1));
        sum += byte;
        stream.push_back(byte);
    }
    if (HexToInt(text.substr(text.size() - 8), 4) != sum)
        throw HexDataError(kHexErrorChecksum);
    return stream;
}

}  // namespace quenor
