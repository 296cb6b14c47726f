#pragma once
// Binary data inside text files: the hex text codec.
//
// n data bytes become one line of 2n + 16 hex digits: the length n in 8 digits,
// two digits per byte (high nibble first) and the 32-bit wrapping sum of the
// bytes in 8 digits, numbers most significant first. Upper case is written,
// either case is read. The setup file's "VEKMRP Data" line is written this way;
// the fast-command dialog uses HexToInt for its command numbers.

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quenor {

// A memory stream of bytes, read and written from position 0.
using HexBytes = std::vector<std::uint8_t>;

// Raised by the decoder; what() is one of "Ascii data too short",
// "Ascii data has incorrect length", "Checksum error in ascii data" and
// "Error in Hex data". The caller shows "Error: " followed by that text.
class HexDataError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char* kHexErrorDigit = "Error in Hex data";
inline constexpr const char* kHexErrorShort = "Ascii data too short";
inline constexpr const char* kHexErrorLength = "Ascii data has incorrect length";
inline constexpr const char* kHexErrorChecksum = "Checksum error in ascii data";

// Writes the low n bytes (0..4) of value as 2n upper-case hex digits, most
// significant byte first, to dest[0 .. 2n-1].
void PutHexDigits(char* dest, std::uint32_t value, int n);

// 0..15 for '0'..'9', 'A'..'F' and 'a'..'f'; HexDataError("Error in Hex data")
// for any other character.
int HexDigitValue(char c);

// The unsigned value of the first n byte pairs (2n digits, n 0..4) of text,
// most significant first. A missing or non-hex digit raises
// HexDataError("Error in Hex data").
std::uint32_t HexToInt(std::string_view text, int n);

// The hex text of the whole stream.
std::string HexTextFromStream(std::span<const std::uint8_t> stream);

// The bytes of a hex text. Raises HexDataError with the text of the first check
// that fails; nothing is returned then.
HexBytes StreamFromHexText(std::string_view text);

}  // namespace quenor
