#pragma once
// Numbers as text with '.' as the decimal separator, whatever the user's locale.
// Nothing here looks at LC_NUMERIC.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quenor {

// Fixed notation with the given number of decimals ("%.*f" in the C locale).
std::string FormatFixed(double value, int decimals);
// Shortest text that reads back as the same double.
std::string FormatShortest(double value);
// The general form in which the program editor shows a stored number: the
// shortest decimal of up to 15 significant digits ("100000", "0.0001",
// "0.100000001490116" for a single-precision 0.1), with "E" and the exponent
// only where the plain form would need more digits ("1E15", "1.5E-7").
std::string FormatValueText(double value);

// Parses a whole text as a number: blanks around it are allowed, a leading '+'
// or '-', decimals with '.', and an exponent. Anything else fails.
std::optional<double> ParseDouble(std::string_view text);
// Parses a whole text as a decimal integer (blanks around it and a sign allowed).
std::optional<std::int64_t> ParseInteger(std::string_view text);

}  // namespace quenor
