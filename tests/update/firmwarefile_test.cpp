#include "update/firmwarefile.h"
#include "update/loaderlink.h"

#include "platform/pty.h"
#include "support/qtcore.h"
#include "update/firmwarebuilder.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <unistd.h>

using namespace quenor;
using namespace quenor::updatetest;

namespace {

std::string ErrorOf(const Bytes& file)
{
    try {
        ParseFirmwareFile(file);
    } catch (const TErr& e) {
        return e.text;
    }
    return "";
}

}  // namespace

TEST(FirmwareChecksums, KnownValues)
{
    const char* nine = "123456789";
    const auto* p = reinterpret_cast<const std::uint8_t*>(nine);
    EXPECT_EQ(Crc16(p, 9), 0x31C3);
    EXPECT_EQ(Crc32(p, 9), 0xCBF43926u);
    EXPECT_EQ(~Crc32(p, 9), 0x340BC6D9u);  // what the loader sends
    EXPECT_EQ(Crc32(p, 0), 0u);
}

TEST(FirmwareFile, AnyChangedByteIsACrcError)
{
    Bytes file;
    Append(file, InfoBlock(3, 5, 0x0042, "Module"));
    Append(file, Block(kBlockErase, 0, Bytes{7}));
    Append(file, Block(kBlockData, 0x1234, FlashData(20, 1)));
    ASSERT_EQ(ErrorOf(file), "");
    for (std::size_t i = 0; i < file.size(); ++i) {
        for (std::uint8_t mask : {0x01, 0x80}) {
            Bytes bad = file;
            bad[i] ^= mask;
            EXPECT_EQ(ErrorOf(bad), "CRC Error in file") << "byte " << i << " mask " << int(mask);
        }
    }
}

TEST(FirmwareFile, MalformedBlocksAreCrcErrors)
{
    Bytes good;
    Append(good, InfoBlock(0, 0, 0x0060, "Motor"));
    Bytes tail = good;
    tail.insert(tail.end(), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13});  // shorter than a header and CRC
    Bytes huge = Block(kBlockData, 0, Bytes(4, 1));
    huge[4] = huge[5] = huge[6] = huge[7] = 0xFF;  // length 0xFFFFFFFF: runs past the end
    Bytes past = Block(kBlockData, 0, Bytes(4, 1));
    past[4] = 200;
    const struct {
        const char* name;
        Bytes file;
    } cases[] = {
        {"tail shorter than a header", tail},
        {"length of 4 GiB", huge},
        {"length past the end", past},
        {"information block of one byte", Block(kBlockInfo, 0, Bytes{0x60})},
        {"erase block without payload", Block(kBlockErase, 0, Bytes{})},
        {"cut inside the CRC", Bytes(good.begin(), good.end() - 1)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ErrorOf(c.file), "CRC Error in file") << c.name;
    EXPECT_EQ(ErrorOf(Bytes{}), "");  // an empty file holds no blocks
}

TEST(FirmwareFile, InformationBlockFields)
{
    const struct {
        Bytes block;
        int variant, hardware;
        std::uint16_t version;
        std::string description;
        int subType;
    } cases[] = {
        // L = 6: the version and four characters of text with no NUL.
        {Block(kBlockInfo, 2 | 7 << 16, Bytes{0x34, 0x12, 'A', 'B', 'C', 'D'}), 2, 7, 0x1234, "ABCD", 0},
        {InfoBlock(1, 8, 0x0051, "Qor board", 104, 0x0203), 1, 8, 0x0051, "Qor board", 0x0203},
        {InfoBlock(1, 8, 0x0051, "Qor board", 103, 0x0203), 1, 8, 0x0051, "Qor board", 0},
        {InfoBlock(1, 7, 0x0051, "Yel", 120, 0x0203), 1, 7, 0x0051, "Yel", 0},  // sub-type only for hardware 8
        {Block(kBlockInfo, 5, Bytes{1, 0, 'x', 0, 'y'}), 5, 0, 0x0001, "x", 0},  // ends at its NUL
        {Block(kBlockInfo, 0, Bytes{1, 0}), 0, 0, 0x0001, "", 0},
    };
    for (const auto& c : cases) {
        const FirmwareFile f = ParseFirmwareFile(c.block, 4, 4);
        EXPECT_TRUE(f.hasInfo);
        EXPECT_EQ(f.variant, c.variant);
        EXPECT_EQ(f.hardware, c.hardware);
        EXPECT_EQ(f.version, c.version);
        EXPECT_EQ(f.description, c.description);
        EXPECT_EQ(f.subType, c.subType);
    }
    EXPECT_EQ(FirmwareDescription(ParseFirmwareFile(InfoBlock(0, 0, 0x2061, "VekAD"))), "VekAD Version 6.1 Beta");
}

TEST(FirmwareFile, WithoutInformationAndReleaseNotes)
{
    Bytes file;
    Append(file, Block(kBlockNotes, 0, Bytes{'o', 'l', 'd'}));
    Append(file, Block(kBlockData, 0x100, FlashData(10, 2)));
    Append(file, Block(kBlockVerify, 0x100, FlashData(10, 2)));
    Append(file, Block(kBlockNotes, 0, Bytes{'n', 'e', 'w', '\r', '\n'}));
    const FirmwareFile f = ParseFirmwareFile(file, 3, 6);
    EXPECT_FALSE(f.hasInfo);
    EXPECT_EQ(f.variant, 3);  // the loader's own values stay
    EXPECT_EQ(f.hardware, 6);
    EXPECT_EQ(FirmwareDescription(f), "No description");
    EXPECT_TRUE(f.hasReleaseNotes);
    EXPECT_EQ(f.releaseNotes, "new\r\n");
    EXPECT_EQ(f.dataBlocks, 1);
    EXPECT_EQ(f.verifyBlocks, 1);
    ASSERT_EQ(f.blocks.size(), 4u);
    EXPECT_EQ(f.blocks[1].argument, 0x100u);
}

TEST(FirmwareFile, BlocksTheVariantCannotSendAreRefused)
{
    const struct {
        int variant;
        int type;
        std::uint32_t address;
        std::size_t length;
        bool ok;
    } cases[] = {
        {0, kBlockData, 0xFFFFFF, 2, true},      {0, kBlockData, 0x1000000, 2, false},
        {0, kBlockData, 0, 1, false},            {0, kBlockData, 0, 65537, true},
        {0, kBlockData, 0, 65538, false},        {3, kBlockData, 0, 1, false},
        {2, kBlockData, 0, 65535, true},         {2, kBlockData, 0, 65536, false},
        {1, kBlockData, 0xFFFF, 10, true},       {1, kBlockData, 0x10000, 10, false},
        {1, kBlockData, 0, 131, false},          {1, kBlockData, 0, 132, true},
        {1, kBlockVerify, 0x10000, 10, false},   {0, kBlockVerify, 0x10000, 10, true},
        {6, kBlockErase, 0, 1, false},
    };
    for (const auto& c : cases) {
        Bytes file;
        Append(file, InfoBlock(c.variant, 1, 0x10, "x"));
        Append(file, Block(c.type, c.address, Bytes(c.length, 0x5A)));
        const FirmwareFile f = ParseFirmwareFile(file);
        bool ok = true;
        try {
            CheckBlocksForVariant(f);
        } catch (const TErr&) {
            ok = false;
        }
        EXPECT_EQ(ok, c.ok) << "variant " << c.variant << " type " << c.type << " address " << c.address
                            << " length " << c.length;
    }
}

TEST(FirmwareFile, FirstBlockPatch)
{
    Bytes block(256);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(i);
    block[130] = 0x12;
    block[131] = 0xFF;  // the carry runs into the high byte
    Bytes patched = block;
    ASSERT_TRUE(PatchFirstBlockForNewLoader(patched));
    for (std::size_t i = 0; i < 16; ++i)
        EXPECT_EQ(patched[i], i);
    for (std::size_t i = 16; i < 40; ++i)
        EXPECT_EQ(patched[i], i + 68) << i;  // the last 24 of 16..107 come first
    for (std::size_t i = 40; i < 108; ++i)
        EXPECT_EQ(patched[i], i - 24) << i;
    for (std::size_t i = 108; i < 254; ++i)
        if (i != 130 && i != 131) {
            EXPECT_EQ(patched[i], block[i]) << i;
        }
    EXPECT_EQ(patched[130], 0x13);
    EXPECT_EQ(patched[131], 0x01);
    const std::uint16_t crc = Crc16(patched.data(), 254);
    EXPECT_EQ(patched[254], crc >> 8);
    EXPECT_EQ(patched[255], crc & 0xFF);

    Bytes shortBlock(131, 1);
    EXPECT_FALSE(PatchFirstBlockForNewLoader(shortBlock));
    EXPECT_EQ(shortBlock, Bytes(131, 1));
}

TEST(FirmwareFile, MissingFileCannotBeRead)
{
    try {
        LoadFirmwareFile("/nonexistent/firmware.maf");
        FAIL() << "no error";
    } catch (const TErr& e) {
        EXPECT_EQ(e.text, "Error reading the file");
    }
}

TEST(FirmwareFile, FilesWithoutInformationDoNotPassTheCheck)
{
    // Every field of a firmware file comes from its information block: without
    // one it has no variant, hardware or description of its own.
    Bytes noInfo;
    Append(noInfo, Block(kBlockErase, 0, Bytes{1}));
    Append(noInfo, Block(kBlockData, 0x100, FlashData(10, 2)));
    Bytes good;
    Append(good, InfoBlock(2, 0, 0x0061, "Motor"));
    Append(good, Block(kBlockErase, 0, Bytes{1}));
    Append(good, Block(kBlockData, 0x100, FlashData(10, 2)));
    const struct {
        const char* name;
        Bytes file;
        const char* error;
    } cases[] = {
        {"empty", Bytes{}, "No information block in file"},
        {"data without information", noInfo, "No information block in file"},
        {"release notes only", Block(kBlockNotes, 0, Bytes{'n'}), "No information block in file"},
        {"information only", InfoBlock(0, 0, 0x0061, "Motor"), ""},
        {"information, erase and data", good, ""},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const auto& c : cases) {
        const std::string path = dir.filePath(QString::fromLatin1(c.name) + ".maf").toStdString();
        WriteFile(path, c.file);
        std::string error;
        try {
            const FirmwareFile f = LoadFirmwareFile(path);
            EXPECT_TRUE(f.hasInfo) << c.name;
        } catch (const TErr& e) {
            error = e.text;
        }
        EXPECT_EQ(error, c.error) << c.name;
    }
}

TEST(LoaderFrames, CommandAndReplyLayout)
{
    const std::uint8_t five = 5;
    EXPECT_EQ(BuildLoaderFrame(2, &five, 1), (Bytes{0xA2, 0x01, 0x05, 0x58}));
    EXPECT_EQ(BuildLoaderFrame(0, nullptr, 0), (Bytes{0xA0, 0x00, 0x60}));

    // Replies through a serial port: the length byte's high nibble does not count,
    // and data beyond the caller's buffer is not copied.
    PtyPair pty;
    ASSERT_TRUE(pty.Open(true));
    setenv("QUENOR_COM9", pty.SlavePath().c_str(), 1);
    TSerCom port(9, 57600, 1000);
    port.Open();
    LoaderLink link(port, -1, 0);
    auto reply = [&](Bytes frame) {
        unsigned sum = 0;
        for (std::uint8_t b : frame)
            sum += b;
        frame.push_back(static_cast<std::uint8_t>(0x100 - (sum & 0xFF)));
        ASSERT_EQ(::write(pty.MasterFd(), frame.data(), frame.size()), static_cast<ssize_t>(frame.size()));
    };
    reply({0xA4, 0x31, 0x07});
    std::uint8_t out[4] = {};
    EXPECT_EQ(link.WaitReply(4, out, 4), 7);
    EXPECT_EQ(out[0], 7);

    Bytes full{0xA8, 0x0F};
    for (int i = 1; i <= 15; ++i)
        full.push_back(static_cast<std::uint8_t>(i));
    reply(full);
    std::uint8_t id[5] = {0, 0, 0, 0, 0xEE};
    EXPECT_EQ(link.WaitReply(8, id, 4), 1);
    EXPECT_EQ(id[3], 4);
    EXPECT_EQ(id[4], 0xEE);  // left alone

    // A reply to another command, and a checksum that does not balance.
    const Bytes bad[] = {{0xA1, 0x00, 0x5F}, {0xA0, 0x00, 0x61}};
    for (const Bytes& f : bad) {
        ASSERT_EQ(::write(pty.MasterFd(), f.data(), f.size()), static_cast<ssize_t>(f.size()));
        try {
            link.WaitReply(0);
            ADD_FAILURE() << "no error";
        } catch (const TErr& e) {
            EXPECT_EQ(e.text, "Error sending command: 0");
        }
        port.DiscardInput();
    }

    // With a reply wait, a reply may begin later than the port's time-outs
    // allow; the poll of a working device keeps the port's pace.
    using Clock = std::chrono::steady_clock;
    link.SetReplyWaitMs(10000);
    // The device answers well after the port's 202 ms.
    const Bytes status{0xA4, 0x01, 0x03, 0x58};
    std::thread device([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
        EXPECT_EQ(::write(pty.MasterFd(), status.data(), status.size()), static_cast<ssize_t>(status.size()));
    });
    int got = -1;
    try {
        got = link.WaitReply(4);
    } catch (const TSerErr& e) {
        ADD_FAILURE() << e.text;
    }
    device.join();
    EXPECT_EQ(got, 3);

    // A device that does not answer is given the whole wait.
    link.SetReplyWaitMs(700);
    auto t0 = Clock::now();
    EXPECT_THROW(link.WaitReply(4), TSerErr);
    EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(700));

    // The poll ends with the port's time-out, not the reply wait.
    link.SetReplyWaitMs(60000);
    t0 = Clock::now();
    EXPECT_THROW(link.PollReply(4), TSerErr);
    EXPECT_LT(Clock::now() - t0, std::chrono::seconds(30));
    unsetenv("QUENOR_COM9");
}
