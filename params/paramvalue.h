#pragma once
// Number helpers of the parameter controls: rounding, bit-field masks, the
// fixed-point formats of the value labels and the setup-file line.

#include <cstdint>
#include <string>
#include <string_view>

namespace quenor {

// Rounds half away from zero: x > 0 truncates x + 0.5, otherwise x - 0.5.
// Values beyond the 64-bit range (and NaN, as 0) are clamped, never undefined.
std::int64_t RoundHalfAway(double x);

// Moves x 0.1 away from zero and truncates toward zero (0 stays 0).
std::int64_t RoundStep(double x);

// Truncates toward zero, clamped to the 64-bit range.
std::int64_t TruncateToInt64(double x);

// count ones starting at bit first; 0 when count <= 0 or first is outside 0..31.
std::uint32_t BitFieldMask(int first, int count);

// Shifts without undefined behaviour: a shift of 32 or more gives 0.
std::uint32_t ShiftLeft(std::uint32_t v, int n);
std::uint32_t ShiftRight(std::uint32_t v, int n);

// The low 32 bits of v as a signed number.
std::int32_t Low32(std::int64_t v);

// "%<width>.<decimals>f" with '.' as the decimal separator. A value that shows
// as zero is written without a minus sign.
std::string FormatFloat(double value, int width, int decimals);

// caption, blanks up to column 25, " = ", value as a signed decimal integer.
std::string SetupLine(std::string_view caption, std::int64_t value);

// The value of a setup-file line as a 32-bit decimal integer; throws
// SetupValueError when the text is not one.
std::int32_t ParseSetupInteger(std::string_view text);

}  // namespace quenor
