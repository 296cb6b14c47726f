#include "program/bytestream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sys/stat.h>

using quenor::ByteStream;
using Bytes = std::vector<std::uint8_t>;

TEST(ByteStream, WritesLittleEndianAndOverwritesAtThePosition)
{
    ByteStream s;
    s.WriteU8(0xA2);
    s.WriteU16LE(0x1234);
    s.WriteU32LE(0xA1B2C3D4);
    EXPECT_EQ(s.Bytes(), (Bytes{0xA2, 0x34, 0x12, 0xD4, 0xC3, 0xB2, 0xA1}));
    // Patching a placeholder keeps the size.
    s.SetPosition(1);
    s.WriteU16LE(0xBEEF);
    EXPECT_EQ(s.Size(), 7u);
    EXPECT_EQ(s.Bytes()[1], 0xEF);
    EXPECT_EQ(s.Bytes()[2], 0xBE);
    // Writing past the end fills the gap with zeros.
    s.SetPosition(9);
    s.WriteU8(0xAF);
    EXPECT_EQ(s.Bytes(), (Bytes{0xA2, 0xEF, 0xBE, 0xD4, 0xC3, 0xB2, 0xA1, 0, 0, 0xAF}));
}

TEST(ByteStream, ShortReadIsZeroFilledAndMarked)
{
    ByteStream s(Bytes{0x01, 0x02, 0x03});
    EXPECT_EQ(s.ReadU16LE(), 0x0201);
    EXPECT_FALSE(s.Overrun());
    std::uint8_t buf[4] = {9, 9, 9, 9};
    EXPECT_EQ(s.Read(buf, 4), 1u);
    EXPECT_EQ(buf[0], 3);
    EXPECT_EQ(buf[1], 0);
    EXPECT_EQ(buf[3], 0);
    EXPECT_TRUE(s.Overrun());
    EXPECT_TRUE(s.AtEnd());
    EXPECT_EQ(s.ReadU32LE(), 0u);
    s.ClearOverrun();
    EXPECT_FALSE(s.Overrun());
}

TEST(ByteStream, FileRoundTripAndMissingFile)
{
    const auto path = std::filesystem::temp_directory_path() / "quenor_bytestream_test.bin";
    ByteStream out(Bytes{0, 1, 0xFF, 0x0D, 0x0A});
    ASSERT_TRUE(out.SaveToFile(path.string()));
    ByteStream in(Bytes{7});
    ASSERT_TRUE(in.LoadFromFile(path.string(), SIZE_MAX));
    EXPECT_EQ(in.Bytes(), out.Bytes());
    EXPECT_EQ(in.Position(), 0u);
    std::filesystem::remove(path);
    EXPECT_FALSE(in.LoadFromFile(path.string(), SIZE_MAX));
    EXPECT_EQ(in.Bytes(), out.Bytes());  // unchanged
    EXPECT_FALSE(out.SaveToFile("/nonexistent-folder/x.bin"));
    // A named pipe in the file's place, with nobody reading it, is not
    // waited for.
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_FALSE(out.SaveToFile(path.string()));
    std::filesystem::remove(path);
}

TEST(ByteStream, Sum16Wraps)
{
    EXPECT_EQ(quenor::Sum16(Bytes{1, 2, 3}), 6);
    EXPECT_EQ(quenor::Sum16(Bytes(300, 0xFF)), (300 * 255) % 65536);
    EXPECT_EQ(quenor::Sum16(Bytes{}), 0);
}
