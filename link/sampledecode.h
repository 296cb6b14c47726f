#pragma once
// Decoding of recorded samples as the motors send them back.
//
// Families 0 and 1 send one sample of the four channels per reply. A 32-bit
// register that the motor samples as 16 bits ("wide" channel) is rebuilt from
// the register's 32-bit value at the start of recording: a step of more than
// half the 16-bit range between two samples is taken as a wrap.
//
// Family 2 sends up to 64 samples per reply in a delta coding: per sample a
// tag byte whose bit pairs, channel 0 in the top pair, say what follows for
// each channel (1: a signed 8-bit delta, 2: a signed 16-bit delta low byte
// first, 0 and 3: nothing); each channel's 16-bit accumulator starts at 0 in
// every reply and wraps at 16 bits. A wide channel of family 2 is rebuilt to
// 32 bits in the same way as in the other families: kept as signed 16-bit
// values, a position trace would jump by 65,536 where it crosses ±32,768.

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace quenor {

// Rebuilds a channel's 32-bit values from its 16-bit samples. A channel that
// is not wide passes the samples through unchanged.
class WideUnwrap {
public:
    WideUnwrap() = default;
    WideUnwrap(bool wide, std::int32_t startValue);

    // The value of the next 16-bit sample.
    std::int32_t Next16(std::int16_t sample);
    // The value of the next 32-bit sample (already whole).
    std::int32_t Next32(std::int32_t sample);
    // Bytes a delta coding of the step from the previous sample would take:
    // 0 none, 1, 2 or 4. Valid after the Next call of that sample.
    int LastCodeBytes() const { return lastCodeBytes_; }

private:
    void Count(std::int64_t step);

    bool wide_ = false;
    std::int64_t high_ = 0;
    std::int32_t previous_ = 0;
    int lastCodeBytes_ = 0;
};

using DeltaSample = std::array<std::int16_t, 4>;

// Decodes count samples of one family-2 reply; nextField yields the reply's
// next field byte (0 to 255) and throws when the frame breaks.
std::vector<DeltaSample> DecodeDeltaBlock(int count, const std::function<int()>& nextField);

// Status bit of register 35 that the bit-condition trigger watches for a bit
// item (0..9) in a motor family; -1 when the family's status word has no bit
// for the item.
int TriggerStatusBit(int family, int item);

}  // namespace quenor
