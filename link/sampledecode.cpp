#include "link/sampledecode.h"

#include <cstdlib>

namespace quenor {

WideUnwrap::WideUnwrap(bool wide, std::int32_t startValue) : wide_(wide)
{
    if (wide_) {
        const auto u = static_cast<std::uint32_t>(startValue);
        high_ = static_cast<std::int32_t>(u & 0xFFFF0000u);
        previous_ = static_cast<std::int32_t>(u & 0xFFFFu);
    }
}

void WideUnwrap::Count(std::int64_t step)
{
    const std::int64_t d = std::llabs(step);
    lastCodeBytes_ = d >= 0x7FFF ? 4 : d >= 0x7F ? 2 : d != 0 ? 1 : 0;
}

std::int32_t WideUnwrap::Next16(std::int16_t sample)
{
    const std::int32_t w = sample;
    const std::int64_t step = static_cast<std::int64_t>(w) - previous_;
    if (wide_) {
        if (step < -32768)
            high_ += 0x10000;
        else if (step > 32768)
            high_ -= 0x10000;
    }
    Count(step);
    previous_ = w;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::int64_t>(w) + high_));
}

std::int32_t WideUnwrap::Next32(std::int32_t sample)
{
    Count(static_cast<std::int64_t>(sample) - previous_);
    previous_ = sample;
    return sample;
}

std::vector<DeltaSample> DecodeDeltaBlock(int count, const std::function<int()>& nextField)
{
    std::vector<DeltaSample> out;
    out.reserve(static_cast<std::size_t>(count > 0 ? count : 0));
    std::array<std::uint16_t, 4> acc{};
    for (int j = 0; j < count; ++j) {
        const int tag = nextField();
        for (int c = 0; c < 4; ++c) {
            const int kind = (tag >> (2 * (3 - c))) & 3;
            int delta = 0;
            if (kind == 1) {
                const int b = nextField();
                delta = b >= 128 ? b - 256 : b;
            } else if (kind == 2) {
                const int lo = nextField();
                const int hi = nextField();
                delta = static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | (hi << 8)));
            }
            acc[static_cast<std::size_t>(c)] =
                static_cast<std::uint16_t>(acc[static_cast<std::size_t>(c)] + static_cast<std::uint16_t>(delta));
        }
        DeltaSample s;
        for (std::size_t c = 0; c < 4; ++c)
            s[c] = static_cast<std::int16_t>(acc[c]);
        out.push_back(s);
    }
    return out;
}

int TriggerStatusBit(int family, int item)
{
    // Items: in position, overload, follow error, function error, regenerative
    // overload, position limit, current peak, under voltage, low voltage,
    // overspeed. Family 2's status word holds only some of these (bit 1
    // follow error, bit 3 position limit, bit 4 low bus voltage); "in
    // position" lives in another register there.
    static constexpr int kBits[3][10] = {
        {4, 0, 1, 2, 3, 7, 11, 12, 13, 0},
        {4, 0, 1, 2, 3, 7, 12, 9, 10, 13},
        {-1, -1, 1, -1, -1, 3, -1, -1, 4, -1},
    };
    if (family < 0 || family > 2 || item < 0 || item > 9)
        return -1;
    return kBits[family][item];
}

}  // namespace quenor
