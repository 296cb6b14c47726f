#include "params/paramvalue.h"

#include "params/paramcontrol.h"
#include "platform/numtext.h"

#include <cmath>
#include <limits>

namespace quenor {

std::int64_t TruncateToInt64(double x)
{
    if (std::isnan(x))
        return 0;
    // 2^63 is exactly representable; everything at or above it is clamped.
    constexpr double kLimit = 9223372036854775808.0;
    if (x >= kLimit)
        return std::numeric_limits<std::int64_t>::max();
    if (x <= -kLimit)
        return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(x);
}

std::int64_t RoundHalfAway(double x)
{
    return x > 0 ? TruncateToInt64(x + 0.5) : TruncateToInt64(x - 0.5);
}

std::int64_t RoundStep(double x)
{
    if (x > 0)
        return TruncateToInt64(x + 0.1);
    if (x < 0)
        return TruncateToInt64(x - 0.1);
    return 0;
}

std::uint32_t ShiftLeft(std::uint32_t v, int n)
{
    return (n < 0 || n >= 32) ? 0u : v << n;
}

std::uint32_t ShiftRight(std::uint32_t v, int n)
{
    return (n < 0 || n >= 32) ? 0u : v >> n;
}

std::uint32_t BitFieldMask(int first, int count)
{
    if (count <= 0 || first < 0 || first >= 32)
        return 0;
    const std::uint32_t ones = count >= 32 ? 0xFFFFFFFFu : ((1u << count) - 1u);
    return ShiftLeft(ones, first);
}

std::int32_t Low32(std::int64_t v)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(v) & 0xFFFFFFFFu));
}

std::string FormatFloat(double value, int width, int decimals)
{
    std::string s = FormatFixed(value, decimals);
    if (!s.empty() && s.front() == '-' && s.find_first_not_of("-0.") == std::string::npos)
        s.erase(0, 1);
    if (static_cast<int>(s.size()) < width)
        s.insert(0, static_cast<std::size_t>(width) - s.size(), ' ');
    return s;
}

std::string SetupLine(std::string_view caption, std::int64_t value)
{
    std::string line(caption);
    const int pad = 25 - static_cast<int>(caption.size());
    if (pad > 0)
        line.append(static_cast<std::size_t>(pad > 24 ? 24 : pad), ' ');
    line += " = ";
    line += std::to_string(value);
    return line;
}

std::int32_t ParseSetupInteger(std::string_view text)
{
    const auto v = ParseInteger(text);
    if (!v || *v < std::numeric_limits<std::int32_t>::min() || *v > std::numeric_limits<std::int32_t>::max())
        throw SetupValueError("'" + std::string(text) + "' is not a valid integer value");
    return static_cast<std::int32_t>(*v);
}

}  // namespace quenor
