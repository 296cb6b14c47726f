#pragma once
// A communication thread connected to the simulated motor over a pseudo-terminal.

#include "link/comthread.h"
#include "platform/recordingtarget.h"
#include "tools/motorsim/motorsim.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace quenor::linktest {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

inline ComTimings FastTimings()
{
    ComTimings t;
    t.idleMs = 50;
    t.connectRetryMs = 20;
    t.afterConnectMs = 20;
    t.slowConnectMs = 300;
    t.rescanMs = 1500;
    t.eepromFullMs = 200;
    t.eepromPollMs = 10;
    t.moduleNoReplyMs = 10;
    t.downloadBlockMs = 2;
    t.defaultsWaitMs = 20;
    return t;
}

inline std::atomic<bool> gHeld{false};
inline std::atomic<bool> gRelease{false};
// A job that holds the thread until the test lets it go.
inline void HoldJob(ComThread& t, ComRequest&)
{
    gHeld = true;
    while (!gRelease.load())
        t.Sleep(1);
}

// A write the motor received: register, value (as the width gives it), width.
struct Write {
    int reg;
    std::int32_t value;
    int width;
    bool operator==(const Write&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Write& w)
{
    return os << "(reg " << w.reg << " := " << w.value << " w" << w.width << ")";
}

class LinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        gHeld = false;
        gRelease = false;
        ASSERT_TRUE(sim.Start());
        setenv("QUENOR_COM5", sim.DevicePath().c_str(), 1);
    }
    void TearDown() override
    {
        gRelease = true;
        if (link) {
            EXPECT_TRUE(link->StopThread(2000));
        }
        link.reset();
        unsetenv("QUENOR_COM5");
    }

    // Connects at address 1 and waits for the connected message.
    void Connect(int family = -1, ComTimings timings = FastTimings())
    {
        link = std::make_unique<ComThread>(&target, 0, timings);
        link->SetMotorFamily(family < 0 ? sim.Family() : family);
        link->SetPortSettings(5, 19200);
        link->Reconnect(1);
        link->Start();
        ASSERT_TRUE(target.WaitForMessage(UM_LINKSTATE, 2, 5s));
    }
    void HoldThread()
    {
        ComRequest hold;
        hold.handler = &HoldJob;
        link->PushRequest(hold);
        for (int i = 0; i < 2000 && !gHeld.load(); ++i)
            usleep(1000);
        ASSERT_TRUE(gHeld.load());
    }
    // Messages of one number (all when 0) that came to a target.
    static std::vector<Message> Of(const RecordingTarget& t, int msg)
    {
        std::vector<Message> out;
        for (const Message& m : t.Snapshot())
            if (msg == 0 || m.msg == msg)
                out.push_back(m);
        return out;
    }
    std::vector<Message> Of(int msg) const { return Of(target, msg); }
    // Progress percentages with this text.
    std::vector<std::int64_t> Progress(const std::string& text) const
    {
        std::vector<std::int64_t> out;
        for (const Message& m : Of(UM_PROGRESS))
            if (m.text == text)
                out.push_back(m.wParam);
        return out;
    }
    bool WaitProgress(const std::string& text, std::int64_t percent, std::chrono::milliseconds t = 5s) const
    {
        return target.WaitFor(
            [&](const std::vector<Message>& ms) {
                for (const Message& m : ms)
                    if (m.msg == UM_PROGRESS && m.text == text && m.wParam == percent)
                        return true;
                return false;
            },
            t);
    }
    bool WaitValue(int reg, std::int64_t value, std::chrono::milliseconds t = 3s) const
    {
        return target.WaitFor(
            [&](const std::vector<Message>& ms) {
                for (const Message& m : ms)
                    if (m.msg == UM_REGISTERVALUE && m.wParam == reg && m.lParam == value)
                        return true;
                return false;
            },
            t);
    }
    // Frames of one command the motor received, fields after the address.
    std::vector<Bytes> Sent(std::uint8_t command) const
    {
        std::vector<Bytes> out;
        for (const motorsim::SimFrame& f : sim.Requests())
            if (f.command == command)
                out.emplace_back(f.fields.begin() + 1, f.fields.end());
        return out;
    }
    std::vector<Write> Writes() const
    {
        std::vector<Write> out;
        for (const Bytes& f : Sent(0x52)) {
            if (f.size() < 2)
                continue;
            const int width = f[1];
            std::uint32_t raw = 0;
            for (int i = 0; i < width && 2 + i < static_cast<int>(f.size()); ++i)
                raw |= static_cast<std::uint32_t>(f[2 + static_cast<std::size_t>(i)]) << (8 * i);
            const std::int32_t v = width == 2 ? static_cast<std::int16_t>(raw) : static_cast<std::int32_t>(raw);
            out.push_back(Write{f[0], v, width});
        }
        return out;
    }

    motorsim::MotorSim sim{0, 0x0123, 1};
    RecordingTarget target;
    std::unique_ptr<ComThread> link;
};

}  // namespace quenor::linktest
