// The simulated motor, spoken to with raw bytes from the serial side.

#include "platform/clock.h"
#include "platform/pty.h"
#include "tools/motorsim/motorsim.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

using namespace quenor;
using namespace quenor::motorsim;
using Bytes = std::vector<std::uint8_t>;

namespace {

// The serial side of the line, opened directly on the device.
class Line {
public:
    explicit Line(const std::string& path)
    {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ >= 0)
            MakeRaw(fd_);
    }
    ~Line()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool ok() const { return fd_ >= 0; }
    void Send(const Bytes& b) { ASSERT_EQ(::write(fd_, b.data(), b.size()), static_cast<ssize_t>(b.size())); }
    // Collects bytes until n arrived or the time is up.
    Bytes Read(std::size_t n, int ms)
    {
        Bytes out;
        const std::int64_t end = MonotonicMs() + ms;
        while (out.size() < n) {
            const std::int64_t left = end - MonotonicMs();
            if (left <= 0)
                break;
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left)) <= 0)
                continue;
            std::uint8_t buf[256];
            const ssize_t r = ::read(fd_, buf, std::min(sizeof buf, n - out.size()));
            if (r > 0)
                out.insert(out.end(), buf, buf + r);
        }
        return out;
    }

private:
    int fd_ = -1;
};

Bytes ReadFrame(std::uint8_t address, std::uint8_t reg)
{
    return {0x50, 0x50, 0x50, address, static_cast<std::uint8_t>(255 - address), reg,
            static_cast<std::uint8_t>(255 - reg), 0xAA, 0xAA};
}

}  // namespace

TEST(MotorSim, RegisterOneCarriesFirmwareAndFamilyBits)
{
    struct Case {
        int family;
        Bytes reply;
    };
    const Case cases[] = {
        {0, {0x52, 0x52, 0x52, 0x00, 0xFF, 0x01, 0xFE, 0x02, 0xFD, 0x23, 0xDC, 0x01, 0xFE, 0xAA, 0xAA}},
        {2, {0x52, 0x52, 0x52, 0x00, 0xFF, 0x01, 0xFE, 0x02, 0xFD, 0x23, 0xDC, 0x41, 0xBE, 0xAA, 0xAA}},
        {1, {0x52, 0x52, 0x52, 0x00, 0xFF, 0x01, 0xFE, 0x04, 0xFB, 0x23, 0xDC, 0x81, 0x7E, 0x00, 0xFF, 0x00,
             0xFF, 0xAA, 0xAA}},
    };
    for (const Case& c : cases) {
        MotorSim sim(c.family, 0x0123, 1);
        ASSERT_TRUE(sim.Start());
        Line line(sim.DevicePath());
        ASSERT_TRUE(line.ok());
        line.Send(ReadFrame(1, 1));
        EXPECT_EQ(line.Read(c.reply.size(), 2000), c.reply) << "family " << c.family;
    }
}

TEST(MotorSim, WriteIsAcknowledgedAndStored)
{
    MotorSim sim(0);
    ASSERT_TRUE(sim.Start());
    Line line(sim.DevicePath());
    line.Send({0x52, 0x52, 0x52, 0x01, 0xFE, 0x25, 0xDA, 0x02, 0xFD, 0x34, 0xCB, 0x12, 0xED, 0xAA, 0xAA});
    EXPECT_EQ(line.Read(3, 2000), (Bytes{0x11, 0x11, 0x11}));
    EXPECT_EQ(sim.Register(37), 0x1234);

    // A 2-byte write of 0xFFFE is the value -2; a 4-byte write is taken whole.
    line.Send({0x52, 0x52, 0x52, 0x01, 0xFE, 0x0A, 0xF5, 0x02, 0xFD, 0xFE, 0x01, 0xFF, 0x00, 0xAA, 0xAA});
    EXPECT_EQ(line.Read(3, 2000).size(), 3u);
    EXPECT_EQ(sim.Register(10), -2);
    line.Send({0x52, 0x52, 0x52, 0x01, 0xFE, 0x0B, 0xF4, 0x04, 0xFB, 0x78, 0x87, 0x56, 0xA9, 0x34, 0xCB, 0x12,
               0xED, 0xAA, 0xAA});
    EXPECT_EQ(line.Read(3, 2000).size(), 3u);
    EXPECT_EQ(sim.Register(11), 0x12345678);

    // A width the motor does not know, or too few data fields: no answer, nothing stored.
    line.Send({0x52, 0x52, 0x52, 0x01, 0xFE, 0x0C, 0xF3, 0x03, 0xFC, 0x01, 0xFE, 0x02, 0xFD, 0x03, 0xFC, 0xAA, 0xAA});
    line.Send({0x52, 0x52, 0x52, 0x01, 0xFE, 0x0C, 0xF3, 0x02, 0xFD, 0x01, 0xFE, 0xAA, 0xAA});
    EXPECT_TRUE(line.Read(1, 200).empty());
    EXPECT_EQ(sim.Register(12), 0);
}

TEST(MotorSim, GarbageIsSkippedUntilTheNextValidFrame)
{
    MotorSim sim(0);
    sim.SetRegister(18, 0x0102);
    ASSERT_TRUE(sim.Start());
    Line line(sim.DevicePath());
    // A truncated frame, a wrong complement, then a good read.
    Bytes b{0x50, 0x50, 0x50, 0x01, 0xFE, 0x13, 0x77, 0xAA, 0xAA, 0x50, 0x50, 0x50, 0x01};
    const Bytes good = ReadFrame(1, 18);
    b.insert(b.end(), good.begin(), good.end());
    line.Send(b);
    const Bytes expected{0x52, 0x52, 0x52, 0x00, 0xFF, 0x12, 0xED, 0x02, 0xFD, 0x02, 0xFD, 0x01, 0xFE, 0xAA, 0xAA};
    EXPECT_EQ(line.Read(expected.size(), 2000), expected);
    EXPECT_TRUE(line.Read(1, 150).empty()) << "only the valid frame is answered";
    ASSERT_EQ(sim.Requests().size(), 1u);
    bool garbled = false;
    for (const LogEntry& e : sim.Log())
        garbled = garbled || e.note == "garbled";
    EXPECT_TRUE(garbled);
}

TEST(MotorSim, AnswersItsAddressAndAllOnly)
{
    MotorSim sim(0, 0x0123, 7);
    ASSERT_TRUE(sim.Start());
    Line line(sim.DevicePath());
    line.Send(ReadFrame(3, 1));
    EXPECT_TRUE(line.Read(1, 200).empty());
    line.Send(ReadFrame(255, 1));
    EXPECT_EQ(line.Read(15, 2000).size(), 15u);
    line.Send(ReadFrame(7, 1));
    EXPECT_EQ(line.Read(15, 2000).size(), 15u);
}

TEST(MotorSim, ModuleInformationOnlyWhenAModuleIsFitted)
{
    MotorSim sim(0);
    ASSERT_TRUE(sim.Start());
    Line line(sim.DevicePath());
    const Bytes request{0x5F, 0x5F, 0x5F, 0x01, 0xFE, 0xAA, 0xAA};
    line.Send(request);
    EXPECT_TRUE(line.Read(1, 250).empty());
    sim.SetModuleInfo({4, 0x21});
    line.Send(request);
    EXPECT_EQ(line.Read(13, 2000),
              (Bytes{0x5F, 0x5F, 0x5F, 0x00, 0xFF, 0x02, 0xFD, 0x04, 0xFB, 0x21, 0xDE, 0xAA, 0xAA}));
}

TEST(MotorSim, BlockReadGivesOneHundredTwentyEightBytesOfTheImage)
{
    for (int family : {0, 1}) {
        MotorSim sim(family);
        const int width = family == 1 ? 4 : 2;
        const int first = 2 * 128 / width;  // block 2
        sim.SetRegister(first, 0x0A0B);
        sim.SetRegister(first + 1, -1);
        sim.SetRegister(165, 0x12345678);  // family 0: 32 bits over registers 165 and 166
        ASSERT_TRUE(sim.Start());
        Line line(sim.DevicePath());
        line.Send({0x51, 0x51, 0x51, 0x01, 0xFE, static_cast<std::uint8_t>(first),
                   static_cast<std::uint8_t>(255 - first), 0xAA, 0xAA});
        const Bytes r = line.Read(3 + 6 + 256 + 2, 2000);
        ASSERT_EQ(r.size(), 267u);
        EXPECT_EQ(r[5], first);
        EXPECT_EQ(r[7], 128);
        EXPECT_EQ(r[9], 0x0B);   // first register, low byte
        EXPECT_EQ(r[11], 0x0A);
        EXPECT_EQ(r[9 + 2 * width], 0xFF);  // the next register starts after width bytes
        EXPECT_EQ(r[10 + 2 * width], 0x00);
        if (family == 0) {
            const std::size_t at = 9 + 2 * 2 * static_cast<std::size_t>(165 - first);  // fields: value, complement
            EXPECT_EQ((Bytes{r[at], r[at + 2], r[at + 4], r[at + 6]}), (Bytes{0x78, 0x56, 0x34, 0x12}));
        }
        EXPECT_EQ(r[265], 0xAA);
    }
}

TEST(MotorSim, InjectedFaultsHitTheNextReplies)
{
    MotorSim sim(0);
    sim.SetRegister(5, 0x55);
    ASSERT_TRUE(sim.Start());
    Line line(sim.DevicePath());
    const Bytes clean{0x52, 0x52, 0x52, 0x00, 0xFF, 0x05, 0xFA, 0x02, 0xFD, 0x55, 0xAA, 0x00, 0xFF, 0xAA, 0xAA};

    sim.InjectFault(FaultKind::Drop);
    line.Send(ReadFrame(1, 5));
    EXPECT_TRUE(line.Read(1, 200).empty());

    sim.InjectFault(FaultKind::Corrupt);
    line.Send(ReadFrame(1, 5));
    const Bytes corrupted = line.Read(clean.size(), 2000);
    ASSERT_EQ(corrupted.size(), clean.size());
    int differing = 0;
    for (std::size_t i = 0; i < clean.size(); ++i)
        differing += corrupted[i] != clean[i];
    EXPECT_EQ(differing, 1);

    sim.InjectFault(FaultKind::Delay, 1, 150);
    const std::int64_t t0 = MonotonicMs();
    line.Send(ReadFrame(1, 5));
    EXPECT_EQ(line.Read(clean.size(), 2000), clean);
    EXPECT_GE(MonotonicMs() - t0, 140);

    line.Send(ReadFrame(1, 5));
    EXPECT_EQ(line.Read(clean.size(), 2000), clean);
}

TEST(MotorSim, RandomFaultsRepeatWithTheSeed)
{
    auto run = [](std::uint32_t seed) {
        MotorSim sim(0);
        FaultConfig f;
        f.seed = seed;
        f.dropChance = 0.3;
        f.corruptChance = 0.3;
        sim.SetFaults(f);
        EXPECT_TRUE(sim.Start());
        Line line(sim.DevicePath());
        for (int i = 0; i < 20; ++i) {
            line.Send(ReadFrame(1, 2));
            line.Read(15, 100);
        }
        // A loaded machine may still be answering the last requests.
        std::vector<std::pair<std::string, Bytes>> replies;
        for (int wait = 0; wait < 300; ++wait) {
            replies.clear();
            for (const LogEntry& e : sim.Log())
                if (!e.request)
                    replies.emplace_back(e.note, e.bytes);
            if (replies.size() >= 20)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return replies;
    };
    const auto a = run(42);
    const auto b = run(42);
    EXPECT_EQ(a, b);
    int faulty = 0;
    for (const auto& r : a)
        faulty += !r.first.empty();
    EXPECT_GT(faulty, 0);
    EXPECT_LT(faulty, 20);
}

TEST(MotorSim, AddedCommandsAreAnswered)
{
    MotorSim sim(0);
    sim.SetHandler(0x54, [](MotorSim&, const SimFrame& f) {
        return f.fields.size() == 1 ? MotorSim::Ack() : std::vector<std::uint8_t>{};
    });
    ASSERT_TRUE(sim.Start());
    Line line(sim.DevicePath());
    line.Send({0x54, 0x54, 0x54, 0x01, 0xFE, 0xAA, 0xAA});
    EXPECT_EQ(line.Read(3, 2000), (Bytes{0x11, 0x11, 0x11}));
    EXPECT_TRUE(sim.WaitForRequests(0x54, 1, std::chrono::milliseconds(1000)));
}
