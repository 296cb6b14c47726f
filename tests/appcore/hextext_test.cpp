#include "app/loadsave.h"

#include <gtest/gtest.h>

#include <string>

using namespace quenor;

namespace {

HexBytes Bytes(std::string_view s)
{
    return HexBytes(s.begin(), s.end());
}

// The text that StreamFromHexText raises for text, or "" when it decodes.
std::string DecodeError(std::string_view text)
{
    try {
        StreamFromHexText(text);
    } catch (const HexDataError& e) {
        return e.what();
    }
    return {};
}

}  // namespace

TEST(HexText, EncodesLengthBytesAndChecksum)
{
    EXPECT_EQ(HexTextFromStream(Bytes("abc")), "00000003616263" "00000126");
    EXPECT_EQ(HexTextFromStream({}), "0000000000000000");
    EXPECT_EQ(HexTextFromStream(HexBytes{0x00, 0xFF, 0x0A}), "0000000300FF0A" "00000109");
}

TEST(HexText, DecodesTheExamples)
{
    EXPECT_EQ(StreamFromHexText("00000003616263" "00000126"), Bytes("abc"));
    EXPECT_TRUE(StreamFromHexText("0000000000000000").empty());
}

TEST(HexText, AcceptsLowerCaseDigits)
{
    EXPECT_EQ(StreamFromHexText("0000000300ff0a" "00000109"), (HexBytes{0x00, 0xFF, 0x0A}));
    EXPECT_EQ(StreamFromHexText("0000000300Ff0A" "00000109"), (HexBytes{0x00, 0xFF, 0x0A}));
}

TEST(HexText, ChecksumWrapsAtThirtyTwoBits)
{
    // 16843010 bytes of 0xFF sum to 2^32 + 254.
    const HexBytes big(16843010, 0xFF);
    const std::string text = HexTextFromStream(big);
    EXPECT_EQ(text.substr(0, 8), "01010102");
    EXPECT_EQ(text.substr(text.size() - 8), "000000FE");
    EXPECT_EQ(StreamFromHexText(text), big);
}

TEST(HexText, RoundTripsEveryByteValue)
{
    HexBytes all;
    for (int i = 0; i < 256; ++i)
        all.push_back(static_cast<std::uint8_t>(i));
    const std::string text = HexTextFromStream(all);
    ASSERT_EQ(text.size(), 2 * all.size() + 16);
    EXPECT_EQ(text.substr(8, 8), "00010203");
    EXPECT_EQ(text.substr(text.size() - 8), "00007F80");  // 255 * 256 / 2
    EXPECT_EQ(StreamFromHexText(text), all);
}

TEST(HexText, ReportsEachCheckWithItsText)
{
    EXPECT_EQ(DecodeError("0000000161" "00000060"), "Checksum error in ascii data");
    EXPECT_EQ(DecodeError("0000000"), "Ascii data too short");
    EXPECT_EQ(DecodeError(""), "Ascii data too short");
    EXPECT_EQ(DecodeError("00000002AB" "000000AB"), "Ascii data has incorrect length");
    EXPECT_EQ(DecodeError("00000000"), "Ascii data has incorrect length");
    EXPECT_EQ(DecodeError("00000003616263" "00000126" "0"), "Ascii data has incorrect length");
}

TEST(HexText, NonHexCharacterAnywhereIsAHexError)
{
    const std::string good = "00000003616263" "00000126";
    for (std::size_t i = 0; i < good.size(); ++i) {
        for (const char bad : {'G', 'g', ' ', '-', '\0', '\xC6'}) {
            std::string text = good;
            text[i] = bad;
            EXPECT_EQ(DecodeError(text), "Error in Hex data") << "position " << i << " char " << int(bad);
        }
    }
}

TEST(HexText, HugeLengthFieldIsALengthErrorNotAnOverread)
{
    // 2n + 16 computed in 32 bits would wrap these to the text's own length.
    EXPECT_EQ(DecodeError("7FFFFFFF" "00000000"), "Ascii data has incorrect length");
    EXPECT_EQ(DecodeError("FFFFFFFF" "00000000"), "Ascii data has incorrect length");
    EXPECT_EQ(DecodeError("FFFFFFF8"), "Ascii data has incorrect length");
    EXPECT_EQ(DecodeError("80000000" "00000000"), "Ascii data has incorrect length");
}

TEST(HexText, ChecksumErrorReportedOnlyAfterTheData)
{
    // A bad digit in the data is found before the checksum is compared.
    EXPECT_EQ(DecodeError("0000000161" "0000006Z"), "Error in Hex data");
    EXPECT_EQ(DecodeError("00000001ZZ" "00000060"), "Error in Hex data");
}

TEST(HexNumbers, DigitValues)
{
    EXPECT_EQ(HexDigitValue('0'), 0);
    EXPECT_EQ(HexDigitValue('9'), 9);
    EXPECT_EQ(HexDigitValue('A'), 10);
    EXPECT_EQ(HexDigitValue('f'), 15);
    for (const char c : {'/', ':', '@', 'G', '`', 'g', 'x', ' '}) {
        try {
            HexDigitValue(c);
            ADD_FAILURE() << "accepted " << c;
        } catch (const HexDataError& e) {
            EXPECT_STREQ(e.what(), "Error in Hex data");
        }
    }
}

TEST(HexNumbers, HexToIntReadsBytePairsMostSignificantFirst)
{
    EXPECT_EQ(HexToInt("7f", 1), 0x7Fu);
    EXPECT_EQ(HexToInt("1A2B", 2), 0x1A2Bu);
    EXPECT_EQ(HexToInt("1A2B3C", 3), 0x1A2B3Cu);
    EXPECT_EQ(HexToInt("FFFFFFFF", 4), 0xFFFFFFFFu);
    EXPECT_EQ(HexToInt("12345678", 1), 0x12u);  // only the first pair
    EXPECT_EQ(HexToInt("", 0), 0u);
}

TEST(HexNumbers, HexToIntNeverReadsPastTheText)
{
    EXPECT_THROW(HexToInt("1", 1), HexDataError);
    EXPECT_THROW(HexToInt("", 1), HexDataError);
    EXPECT_THROW(HexToInt("1234567", 4), HexDataError);
}

TEST(HexNumbers, PutHexDigitsWritesTheLowBytes)
{
    char buf[9] = {};
    PutHexDigits(buf, 0x12ABCDEFu, 4);
    EXPECT_STREQ(buf, "12ABCDEF");
    char two[5] = {};
    PutHexDigits(two, 0x12ABCDEFu, 2);
    EXPECT_STREQ(two, "CDEF");
    char one[3] = {};
    PutHexDigits(one, 0x0Au, 1);
    EXPECT_STREQ(one, "0A");
}
