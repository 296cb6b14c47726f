// Decoding of recorded samples: the wide-channel unwrap and family 2's delta coding.

#include "link/sampledecode.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace quenor;

namespace {

std::vector<DeltaSample> Decode(int count, const std::vector<int>& fields)
{
    std::size_t at = 0;
    return DecodeDeltaBlock(count, [&]() -> int {
        if (at >= fields.size())
            throw std::runtime_error("frame ends");
        return fields[at++];
    });
}

}  // namespace

TEST(WideUnwrap, RebuildsThirtyTwoBitValuesAcrossWraps)
{
    WideUnwrap up(true, 0x00012000);
    EXPECT_EQ(up.Next16(0x2000), 0x00012000);
    EXPECT_EQ(up.Next16(0x7FF0), 0x00017FF0);
    EXPECT_EQ(up.Next16(static_cast<std::int16_t>(0x8010)), 0x00018010);
    EXPECT_EQ(up.Next16(static_cast<std::int16_t>(0xFFF0)), 0x0001FFF0);
    EXPECT_EQ(up.Next16(0x0010), 0x00020010);

    WideUnwrap down(true, 0x00020010);
    EXPECT_EQ(down.Next16(0x0010), 0x00020010);
    EXPECT_EQ(down.Next16(static_cast<std::int16_t>(0xFFF0)), 0x0001FFF0);
    EXPECT_EQ(down.Next16(static_cast<std::int16_t>(0x8010)), 0x00018010);
    EXPECT_EQ(down.Next16(0x7FF0), 0x00017FF0);

    WideUnwrap negative(true, -5);
    EXPECT_EQ(negative.Next16(-5), -5);
    EXPECT_EQ(negative.Next16(-30000), -30000);
    EXPECT_EQ(negative.Next16(30000), -35536);  // -35536 sent as its low 16 bits
}

TEST(WideUnwrap, NarrowChannelsKeepTheirSamples)
{
    WideUnwrap plain(false, 0x00012000);
    EXPECT_EQ(plain.Next16(30000), 30000);
    EXPECT_EQ(plain.Next16(-30000), -30000);  // a jump of more than half the range stays a jump
    EXPECT_EQ(plain.Next16(30000), 30000);
    EXPECT_EQ(plain.Next32(100000), 100000);
}

TEST(WideUnwrap, CountsTheBytesOfEachStep)
{
    WideUnwrap u(false, 0);
    u.Next16(0);
    EXPECT_EQ(u.LastCodeBytes(), 0);
    u.Next16(5);
    EXPECT_EQ(u.LastCodeBytes(), 1);
    u.Next16(5 + 0x7F);
    EXPECT_EQ(u.LastCodeBytes(), 2);
    u.Next16(5 + 0x7F - 0x7E);
    EXPECT_EQ(u.LastCodeBytes(), 1);
    u.Next16(-32000);
    EXPECT_EQ(u.LastCodeBytes(), 2);  // 32006
    u.Next16(767);
    EXPECT_EQ(u.LastCodeBytes(), 4);  // 32767
    u.Next32(767 + 0x100);
    EXPECT_EQ(u.LastCodeBytes(), 2);
}

TEST(DeltaBlock, TagBitPairsSayWhatFollowsPerChannel)
{
    // 0x64 = 01 10 01 00: an 8-bit delta for channel 0, a 16-bit one for
    // channel 1, an 8-bit one for channel 2, nothing for channel 3.
    const auto s = Decode(1, {0x64, 0xFB, 0x34, 0x12, 0x07});
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0], (DeltaSample{-5, 0x1234, 7, 0}));
}

TEST(DeltaBlock, AccumulatesAndWrapsAtSixteenBits)
{
    const auto s = Decode(4, {
                                 0xAA, 0xFF, 0x7F, 0x00, 0x80, 0x10, 0x00, 0x01, 0x00,  // 16-bit deltas
                                 0x40, 0x01,                                            // ch0 +1
                                 0x10, 0xFF,                                            // ch1 -1
                                 0xFF,                                                  // pairs 3: nothing
                             });
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(s[0], (DeltaSample{0x7FFF, -32768, 16, 1}));
    EXPECT_EQ(s[1], (DeltaSample{-32768, -32768, 16, 1}));  // 0x7FFF + 1 wraps
    EXPECT_EQ(s[2], (DeltaSample{-32768, 32767, 16, 1}));  // -32768 - 1 wraps
    EXPECT_EQ(s[3], (DeltaSample{-32768, 32767, 16, 1}));
    const auto w = Decode(2, {0x80, 0x00, 0x80, 0x80, 0x00, 0x80});  // -32768 twice on channel 0
    EXPECT_EQ(w[0][0], -32768);
    EXPECT_EQ(w[1][0], 0);
}

TEST(DeltaBlock, ABrokenReplyEndsTheDecoding)
{
    EXPECT_THROW(Decode(2, {0x40, 0x01, 0x40}), std::runtime_error);
}

TEST(TriggerBits, StatusBitsPerFamilyAndItem)
{
    const int f0[] = {4, 0, 1, 2, 3, 7, 11, 12, 13, 0};
    const int f1[] = {4, 0, 1, 2, 3, 7, 12, 9, 10, 13};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(TriggerStatusBit(0, i), f0[i]);
        EXPECT_EQ(TriggerStatusBit(1, i), f1[i]);
    }
    EXPECT_EQ(TriggerStatusBit(2, 2), 1);  // follow error
    EXPECT_EQ(TriggerStatusBit(2, 5), 3);  // position limit
    EXPECT_EQ(TriggerStatusBit(2, 8), 4);  // low bus voltage
    EXPECT_EQ(TriggerStatusBit(2, 0), -1);  // in position is not in the status word
    EXPECT_EQ(TriggerStatusBit(3, 0), -1);
    EXPECT_EQ(TriggerStatusBit(0, 10), -1);
    EXPECT_EQ(TriggerStatusBit(0, -1), -1);
}
