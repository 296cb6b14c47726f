// Register protocol frames on a port whose far end is played by the test.

#include "link/frames.h"
#include "platform/clock.h"
#include "platform/pty.h"

#include <gtest/gtest.h>

#include "tests/link/ptyread.h"

#include <cstdlib>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace quenor;
using Bytes = std::vector<std::uint8_t>;

namespace {

class FramesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.Open(true));
        setenv("QUENOR_COM11", pty.SlavePath().c_str(), 1);
        port.Open();
    }
    void TearDown() override { unsetenv("QUENOR_COM11"); }

    // The motor's reply, fields given without their complements.
    void Reply(std::uint8_t echo, const Bytes& fields, bool end = true)
    {
        Bytes b{echo, echo, echo};
        for (std::uint8_t f : fields) {
            b.push_back(f);
            b.push_back(static_cast<std::uint8_t>(255 - f));
        }
        if (end) {
            b.push_back(0xAA);
            b.push_back(0xAA);
        }
        Raw(b);
    }
    void Raw(const Bytes& b)
    {
        ASSERT_EQ(::write(pty.MasterFd(), b.data(), b.size()), static_cast<ssize_t>(b.size()));
    }
    Bytes Sent(std::size_t n, int ms = 1000) { return linktest::ReadFar(pty.MasterFd(), n, ms); }

    PtyPair pty;
    TSerCom port{11, 19200, 1024};
    FrameLink link{port, nullptr};
};

}  // namespace

TEST_F(FramesTest, WriteRequestBytes)
{
    link.SendCommand(0x52);
    for (std::uint8_t f : {0x01, 0x25, 0x02, 0x34, 0x12})
        link.SendByte(f);
    EXPECT_TRUE(Sent(1, 100).empty()) << "nothing leaves before the end marker";
    link.SendFrameEnd();
    EXPECT_EQ(Sent(15), (Bytes{0x52, 0x52, 0x52, 0x01, 0xFE, 0x25, 0xDA, 0x02, 0xFD, 0x34, 0xCB, 0x12, 0xED, 0xAA,
                               0xAA}));
}

TEST_F(FramesTest, ReadRequestToAllMotors)
{
    link.SendFrame(0x50, {255, 1});
    EXPECT_EQ(Sent(9), (Bytes{0x50, 0x50, 0x50, 0xFF, 0x00, 0x01, 0xFE, 0xAA, 0xAA}));
}

TEST_F(FramesTest, RegisterReplyValueAndSign)
{
    Reply(0x52, {0, 10, 2, 0xFE, 0xFF});
    const RegisterReply r = link.ReceiveRegisterReply();
    EXPECT_EQ(r.reg, 10);
    EXPECT_EQ(r.length, 2);
    EXPECT_EQ(RegisterValue(r.raw, 2), -2);
    EXPECT_EQ(RegisterValue(r.raw, 4), 65534);

    Reply(0x52, {0, 11, 4, 0x78, 0x56, 0x34, 0x92});
    const RegisterReply w = link.ReceiveRegisterReply();
    EXPECT_EQ(RegisterValue(w.raw, 4), static_cast<std::int32_t>(0x92345678u));
    EXPECT_EQ(port.InCount(), 0);
}

TEST_F(FramesTest, LengthAboveFourBreaksTheEndMarker)
{
    Reply(0x52, {0, 5, 6, 1, 2, 3, 4, 5, 6});
    EXPECT_THROW(link.ReceiveRegisterReply(), FrameError);
    try {
        Reply(0x52, {0, 5, 6, 1, 2, 3, 4, 5, 6});
        link.ReceiveRegisterReply();
    } catch (const FrameError& e) {
        EXPECT_STREQ(e.what(), "Forkert data modtaget");
    }
}

TEST_F(FramesTest, WrongComplementFailsTheFrame)
{
    // 0x52 x3, status 0, register 10 with a bad complement, then an otherwise good frame.
    Raw({0x52, 0x52, 0x52, 0x00, 0xFF, 0x0A, 0xF4, 0x02, 0xFD, 0x01, 0xFE, 0x00, 0xFF, 0xAA, 0xAA});
    EXPECT_THROW(link.ReceiveRegisterReply(), FrameError);
}

TEST_F(FramesTest, WrongEchoAndEndMarkerFail)
{
    Reply(0x53, {0, 1, 2, 0, 0});
    EXPECT_THROW(link.ReceiveRegisterReply(), FrameError);
    port.DiscardInput();
    Raw({0x52, 0x52, 0x52, 0x00, 0xFF, 0x01, 0xFE, 0x02, 0xFD, 0x01, 0xFE, 0x00, 0xFF, 0xAA, 0xAB});
    EXPECT_THROW(link.ReceiveRegisterReply(), FrameError);
}

TEST_F(FramesTest, NonZeroStatusIsAProtocolError)
{
    Reply(0x52, {3, 1, 2, 0, 0});
    try {
        link.ReceiveRegisterReply();
        FAIL() << "no error";
    } catch (const ComIntException& e) {
        EXPECT_EQ(e.value, 1);
    }
}

TEST_F(FramesTest, MissingReplyIsASerialError)
{
    Raw({0x52, 0x52});
    try {
        link.ReceiveRegisterReply();
        FAIL() << "no error";
    } catch (const TSerErr& e) {
        EXPECT_EQ(e.code, 3);
        EXPECT_EQ(e.text, "Error no data");
    }
}

TEST_F(FramesTest, AcknowledgeAndSignedFields)
{
    Raw({0x11, 0x11, 0x11});
    EXPECT_NO_THROW(link.ReceiveAck());
    Raw({0x11, 0x22, 0x11});
    EXPECT_THROW(link.ReceiveAck(), FrameError);
    port.DiscardInput();

    Raw({0x80, 0x7F, 0x7F, 0x80, 0xFE, 0x01, 0xFF, 0x00, 0x00, 0xFF, 0x80, 0x7F});
    EXPECT_EQ(link.ReceiveSignedByte(), -128);
    EXPECT_EQ(link.ReceiveSignedByte(), 127);
    EXPECT_EQ(link.ReceiveSignedWord(), -2);
    EXPECT_EQ(link.ReceiveSignedWord(), -32768);
}

TEST_F(FramesTest, WaitTickLastsMoreThanAMillisecond)
{
    for (int i = 0; i < 20; ++i) {
        const std::int64_t t0 = MonotonicUs();
        link.WaitTick();
        EXPECT_GT(MonotonicUs() - t0, 1000);
    }
}
