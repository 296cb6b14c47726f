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

// Parses a whole text as a number: blanks around it are allowed, a leading '+'
// or '-', decimals with '.', and an exponent. Anything else fails.
std::optional<double> ParseDouble(std::string_view text);
// Parses a whole text as a decimal integer (blanks around it and a sign allowed).
std::optional<std::int64_t> ParseInteger(std::string_view text);

}  // namespace quenor
