// The serial port over a pseudo-terminal: the test plays the far end.

#include "link/sercom.h"
#include "platform/clock.h"
#include "platform/pty.h"

#include <gtest/gtest.h>

#include "tests/link/ptyread.h"

#include <atomic>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <grp.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace quenor;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr int kPort = 7;

class SerComTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.Open(true));
        setenv("QUENOR_COM7", pty.SlavePath().c_str(), 1);
    }
    void TearDown() override { unsetenv("QUENOR_COM7"); }

    void FarSend(const Bytes& b)
    {
        ASSERT_EQ(::write(pty.MasterFd(), b.data(), b.size()), static_cast<ssize_t>(b.size()));
        // Let the bytes reach the serial side before the port looks.
        for (int i = 0; i < 100; ++i) {
            int waiting = 0;
            if (ioctl(pty.SlaveFd(), FIONREAD, &waiting) == 0 && waiting >= static_cast<int>(b.size()))
                break;
            usleep(1000);
        }
    }
    Bytes FarRead(std::size_t n, int ms = 1000) { return linktest::ReadFar(pty.MasterFd(), n, ms); }
    PtyPair pty;
};

template <typename F>
TSerErr Catch(F f)
{
    try {
        f();
    } catch (const TSerErr& e) {
        return e;
    }
    return TSerErr{0, "nothing thrown"};
}

int OpenDescriptors()
{
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d))
            ++n;
        closedir(d);
    }
    return n;
}

}  // namespace

TEST(SerTimeouts, FollowTheBaudRateAndFactor)
{
    struct Case {
        int baud, m;
    };
    for (const Case c : {Case{2400, 5}, Case{4800, 3}, Case{9600, 2}, Case{19200, 1}, Case{57600, 1},
                         Case{921600, 1}}) {
        const SerTimeouts t = SerTimeouts::For(c.baud, 1, true);
        EXPECT_EQ(t.readMultiplier, c.m) << c.baud;
        EXPECT_EQ(t.writeMultiplier, c.m) << c.baud;
        EXPECT_EQ(t.readInterval, 200);
        EXPECT_EQ(t.readConstant, 200);
        EXPECT_EQ(t.writeConstant, 100);
        EXPECT_FALSE(t.readImmediate);
    }
    const SerTimeouts slow = SerTimeouts::For(19200, 5, true);
    EXPECT_EQ(slow.readInterval, 1000);
    EXPECT_EQ(slow.readConstant, 200);
    EXPECT_EQ(slow.writeConstant, 500);
    const SerTimeouts off = SerTimeouts::For(9600, 1, false);
    EXPECT_TRUE(off.readImmediate);
    EXPECT_EQ(off.writeMultiplier, 2);
    EXPECT_EQ(off.writeConstant, 100);
}

TEST_F(SerComTest, PortNumbersAboveTwoHundredFiftySixAreRefused)
{
    TSerCom p257(257, 19200, 64);
    const TSerErr e = Catch([&] { p257.Open(); });
    EXPECT_EQ(e.code, 1);
    EXPECT_EQ(e.text, "Invalid port number");
    EXPECT_FALSE(p257.IsOpen());

    setenv("QUENOR_COM256", pty.SlavePath().c_str(), 1);
    TSerCom p256(256, 19200, 64);
    EXPECT_NO_THROW(p256.Open());
    EXPECT_TRUE(p256.IsOpen());
    unsetenv("QUENOR_COM256");
}

TEST_F(SerComTest, MissingDeviceFailsToOpen)
{
    setenv("QUENOR_COM9", "/dev/quenor-no-such-device", 1);
    TSerCom port(9, 19200, 64);
    const TSerErr e = Catch([&] { port.Open(); });
    EXPECT_EQ(e.code, 1);
    EXPECT_EQ(e.text, "Error opening port");
    EXPECT_FALSE(port.IsOpen());
    unsetenv("QUENOR_COM9");
}

TEST_F(SerComTest, UnsupportedBaudRateFallsBackTo19200)
{
    TSerCom port(kPort, 19200, 64);
    port.Open();
    const TSerErr e = Catch([&] { port.SetBaudRate(12345); });
    EXPECT_EQ(e.code, 2);
    EXPECT_EQ(e.text, "Unsupported baud rate 12345");
    termios tio{};
    ASSERT_EQ(tcgetattr(pty.MasterFd(), &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), B19200);
    // The port still carries bytes.
    const Bytes b{1, 2, 3};
    port.SendBuffer(b.data(), 3);
    EXPECT_EQ(FarRead(3), b);

    TSerCom fresh(kPort, 100000, 64);
    fresh.SetBaudRate(100000);
    port.Close();
    const TSerErr e2 = Catch([&] { fresh.Open(); });
    EXPECT_EQ(e2.code, 2);
    EXPECT_EQ(e2.text, "Unsupported baud rate 100000");
    fresh.SendBuffer(b.data(), 3);  // left set up at 19200
    EXPECT_EQ(FarRead(3), b);
}

TEST_F(SerComTest, FailedOpensLeakNoDescriptor)
{
    const int before = OpenDescriptors();
    {
        TSerCom port(kPort, 12345, 64);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(Catch([&] { port.Open(); }).code, 2);
        port.Close();
        EXPECT_EQ(OpenDescriptors(), before);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(Catch([&] { port.Open(); }).code, 2);
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(SerComTest, SecondOpenOfTheSameDeviceIsRefused)
{
    // Also for root, whom the terminal's exclusive mode lets through: the lock holds.
    TSerCom a(kPort, 19200, 64);
    a.Open();
    TSerCom b(kPort, 19200, 64);
    EXPECT_EQ(Catch([&] { b.Open(); }).text, "Error opening port");
    a.Close();
    EXPECT_NO_THROW(b.Open());
}

namespace {

// What became of an open of COM port `port` in a child process. When the test
// runs as root the child first becomes an ordinary user (root passes over a
// device's mode and its exclusive mode), so that it meets the device as a
// technician's program does.
std::string OpenAsUser(int port)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return "no pipe";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        std::string out;
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            out = "cannot leave root";
        } else {
            try {
                TSerCom p(port, 19200, 64);
                p.Open();
                out = "opened";
            } catch (const TSerErr& e) {
                out = std::to_string(e.code) + " " + e.text + " | " + e.detail + " | " +
                      std::to_string(static_cast<int>(e.fault));
            }
        }
        [[maybe_unused]] const ssize_t w = ::write(fds[1], out.data(), out.size());
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string got;
    char buf[512];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;)
        got.append(buf, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return got;
}

}  // namespace

// Every reason for a port that does not open is named with its device.
TEST_F(SerComTest, OpenFailureNamesTheDeviceAndTheReason)
{
    enum class Setup { Missing, NoPermission, HeldByAnother };
    struct Case {
        const char* name;
        Setup setup;
        PortFault fault;
        const char* reason;
    };
    const Case cases[] = {
        {"missing device", Setup::Missing, PortFault::Missing, "no such device"},
        {"mode 000", Setup::NoPermission, PortFault::Permission, "permission denied"},
        {"held by another opener", Setup::HeldByAnother, PortFault::InUse, "in use by another program"},
    };
    const std::string slave = pty.SlavePath();
    for (const Case& c : cases) {
        std::string device = slave;
        TSerCom holder(kPort, 19200, 64);
        switch (c.setup) {
        case Setup::Missing:
            device = "/dev/quenor-no-such-device";
            setenv("QUENOR_COM7", device.c_str(), 1);
            break;
        case Setup::NoPermission:
            ASSERT_EQ(::chmod(slave.c_str(), 0), 0);
            break;
        case Setup::HeldByAnother:
            ASSERT_EQ(::chmod(slave.c_str(), 0666), 0);  // the mode lets the other user in; the hold does not
            holder.Open();
            break;
        }
        const std::string expected = "1 Error opening port | " + device + ": " + c.reason + " | " +
                                     std::to_string(static_cast<int>(c.fault));
        EXPECT_EQ(OpenAsUser(kPort), expected) << c.name;
        holder.Close();
        ASSERT_EQ(::chmod(slave.c_str(), 0620), 0);
        setenv("QUENOR_COM7", slave.c_str(), 1);
    }
    // With the device back to normal and nobody holding it, it opens.
    ASSERT_EQ(::chmod(slave.c_str(), 0666), 0);
    EXPECT_EQ(OpenAsUser(kPort), "opened");
}

TEST_F(SerComTest, EveryByteValueTravelsUnchanged)
{
    TSerCom port(kPort, 19200, 1024);
    port.Open();
    Bytes all(256);
    for (int i = 0; i < 256; ++i)
        all[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    for (std::uint8_t b : all)
        port.PutByte(b);
    port.Flush();
    EXPECT_EQ(port.OutCount(), 0);
    EXPECT_EQ(FarRead(256), all);

    FarSend(all);
    port.Receive(256);
    Bytes got;
    for (int i = 0; i < 256; ++i)
        got.push_back(static_cast<std::uint8_t>(port.TakeByte()));
    EXPECT_EQ(got, all);  // 0x11 and 0x13 are data, not flow control
}

TEST_F(SerComTest, ShortReplyFailsAfterTheTimeoutAndDropsWhatCame)
{
    TSerCom port(kPort, 19200, 64);
    port.Open();
    FarSend({0x52, 0x52});
    const std::int64_t t0 = MonotonicMs();
    const TSerErr e = Catch([&] { port.Receive(9); });
    const std::int64_t elapsed = MonotonicMs() - t0;
    EXPECT_EQ(e.code, 3);
    EXPECT_EQ(e.text, "Error no data");
    // The two bytes came at once, so the gap after them (200 ms) ends the read,
    // within the total of 200 + 9 ms.
    EXPECT_GE(elapsed, 195);
    EXPECT_LT(elapsed, 209 + 300);
    EXPECT_EQ(port.InCount(), 0);
    EXPECT_EQ(port.GetByte(), -1);
}

TEST_F(SerComTest, GapBetweenBytesEndsALongRead)
{
    TSerCom port(kPort, 19200, 1024);
    port.Open();
    FarSend({0x01});
    const std::int64_t t0 = MonotonicMs();
    EXPECT_EQ(Catch([&] { port.Receive(600); }).text, "Error no data");
    const std::int64_t elapsed = MonotonicMs() - t0;
    EXPECT_GE(elapsed, 195);
    EXPECT_LT(elapsed, 600) << "the 800 ms total must not be waited out after a 200 ms gap";
}

TEST_F(SerComTest, SilentLineFailsReadByte)
{
    TSerCom port(kPort, 9600, 64);
    port.Open();
    EXPECT_EQ(port.GetByte(), -1);
    EXPECT_EQ(Catch([&] { port.TakeByte(); }).text, "No Data");
    const std::int64_t t0 = MonotonicMs();
    EXPECT_EQ(Catch([&] { port.ReadByte(5000); }).text, "Error no data");
    const std::int64_t elapsed = MonotonicMs() - t0;
    EXPECT_GE(elapsed, 200);  // 200 + 2 ms at 9600 baud
    EXPECT_LT(elapsed, 202 + 300);
}

TEST_F(SerComTest, ReceiveReadsOnlyWhatIsMissing)
{
    TSerCom port(kPort, 19200, 64);
    port.Open();
    FarSend({1, 2, 3, 4, 5});
    port.Receive(5);
    EXPECT_EQ(port.InCount(), 5);
    FarSend({6});
    port.Receive(3);
    EXPECT_EQ(port.InCount(), 5);
    EXPECT_EQ(port.BytesWaiting(), 1);
    port.Receive(6);
    EXPECT_EQ(port.InCount(), 6);
    for (int i = 1; i <= 6; ++i)
        EXPECT_EQ(port.GetByte(), i);
}

TEST_F(SerComTest, InputRingOverflowLeavesTheBytesOnTheLine)
{
    TSerCom port(kPort, 19200, 16);
    port.Open();
    FarSend(Bytes(16, 0x33));
    EXPECT_EQ(Catch([&] { port.Receive(16); }).text, "Error buffer overflow sending");
    EXPECT_EQ(port.InCount(), 0);
    EXPECT_EQ(port.BytesWaiting(), 16);
    port.Receive(15);
    EXPECT_EQ(port.InCount(), 15);
}

TEST_F(SerComTest, OutputRingOverflowIsCheckedBeforeCounting)
{
    TSerCom port(kPort, 19200, 16);
    port.Open();
    for (int i = 0; i < 15; ++i)
        port.PutByte(static_cast<std::uint8_t>(i));
    const TSerErr e = Catch([&] { port.PutByte(99); });
    EXPECT_EQ(e.code, 3);
    EXPECT_EQ(e.text, "Output buffer overflow");
    EXPECT_EQ(port.OutCount(), 15);
    port.Flush();
    Bytes expected;
    for (int i = 0; i < 15; ++i)
        expected.push_back(static_cast<std::uint8_t>(i));
    EXPECT_EQ(FarRead(15), expected);

    Bytes big(17, 0x44);
    EXPECT_EQ(Catch([&] { port.SendBuffer(big.data(), 17); }).text, "Output buffer overflow");
    big.resize(16);
    port.SendBuffer(big.data(), 16);
    EXPECT_EQ(FarRead(16), big);
    EXPECT_TRUE(FarRead(1, 50).empty());
}

TEST_F(SerComTest, ReadsNotEnabledReturnAtOnce)
{
    TSerCom port(kPort, 19200, 64);
    port.Open();
    port.SetTimeouts(false);
    FarSend({7, 8});
    const std::int64_t t0 = MonotonicMs();
    EXPECT_EQ(Catch([&] { port.Receive(4); }).text, "Error no data");
    EXPECT_LT(MonotonicMs() - t0, 100);
    port.SetTimeouts(true);
    FarSend({9, 10});
    port.Receive(2);
    EXPECT_EQ(port.GetByte(), 9);
}

TEST_F(SerComTest, DrainEndsAfterOneTimeoutOnASilentLine)
{
    TSerCom port(kPort, 19200, 64);
    port.Open();
    const std::int64_t t0 = MonotonicMs();
    port.Drain();
    const std::int64_t elapsed = MonotonicMs() - t0;
    EXPECT_GE(elapsed, 290);  // 100 bytes x 1 ms + 200 ms
    EXPECT_LT(elapsed, 300 + 400);
}

TEST_F(SerComTest, DrainEndsAfterHalfASecondOnABusyLine)
{
    TSerCom port(kPort, 19200, 64);
    port.Open();
    std::atomic<bool> stop{false};
    std::thread talker([&] {
        const Bytes chunk(64, 0x55);
        while (!stop.load()) {
            [[maybe_unused]] const ssize_t r = ::write(pty.MasterFd(), chunk.data(), chunk.size());
            usleep(500);
        }
    });
    const std::int64_t t0 = MonotonicMs();
    port.Drain();
    const std::int64_t elapsed = MonotonicMs() - t0;
    stop = true;
    talker.join();
    EXPECT_GE(elapsed, 480);
    EXPECT_LT(elapsed, 1500);
}

TEST_F(SerComTest, AbortDescriptorEndsAWait)
{
    TSerCom port(kPort, 2400, 1024);
    const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    port.SetAbortFd(fd);
    port.Open();
    std::thread raiser([fd] {
        usleep(50000);
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t r = ::write(fd, &one, sizeof one);
    });
    const std::int64_t t0 = MonotonicMs();
    EXPECT_THROW(port.Receive(500), SerAborted);  // would wait 2.7 s otherwise
    EXPECT_LT(MonotonicMs() - t0, 1000);
    raiser.join();
    port.Close();
    ::close(fd);
}

TEST_F(SerComTest, SetPortKeepsTheOpenState)
{
    TSerCom port(kPort, 19200, 64);
    port.SetPort(kPort);
    EXPECT_FALSE(port.IsOpen());
    port.Open();
    setenv("QUENOR_COM8", pty.SlavePath().c_str(), 1);
    port.SetPort(8);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.GetPort(), 8);
    unsetenv("QUENOR_COM8");
}

TEST_F(SerComTest, NoTraceFileIsWritten)
{
    // In the test's working folder (the build tree), never in a shared one.
    const std::string file = "quenor-trace-check.log";
    ::unlink(file.c_str());
    {
        TSerCom port(kPort, 19200, 64, true);
        port.Open();
        EXPECT_FALSE(port.TraceOn());
        const Bytes b{1, 2};
        port.SendBuffer(b.data(), 2);
        port.Log("line");
        port.SaveLog(file);
    }
    EXPECT_NE(access(file.c_str(), F_OK), 0);
}
