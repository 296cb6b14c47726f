// The link finds its way back by itself: after a lost reply, a motor that
// stays silent for a while, and a device that is unplugged and plugged in
// again under the same name.

#include "link/linkfixture.h"

#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>

namespace quenor::linktest {
namespace {

enum class Trouble { LostReply, LateReplies, Silence, Unplug };

struct RecoveryCase {
    const char* name;
    Trouble trouble;
    bool linkLost;  // the trouble ends the link (and a reconnect follows by itself)
};

std::string Trace(const std::vector<Message>& ms, std::size_t from)
{
    std::string out;
    for (std::size_t i = from; i < ms.size(); ++i)
        if (ms[i].msg == UM_LINKSTATE || ms[i].msg == UM_PARAMERROR)
            out.append("(")
                .append(std::to_string(ms[i].msg - WM_USER))
                .append(":")
                .append(std::to_string(ms[i].wParam))
                .append(",")
                .append(std::to_string(ms[i].lParam))
                .append(") ");
    return out;
}

class LinkRecovery : public LinkTest, public ::testing::WithParamInterface<RecoveryCase> {};

int Count(const std::vector<Message>& ms, int msg, std::int64_t wParam)
{
    int n = 0;
    for (const Message& m : ms)
        n += m.msg == msg && m.wParam == wParam;
    return n;
}

TEST_P(LinkRecovery, TheLinkComesBackWithoutTheUser)
{
    const RecoveryCase& c = GetParam();
    const std::string linkPath = "/tmp/quenor-recovery-" + std::to_string(::getpid());
    if (c.trouble == Trouble::Unplug) {
        // The motor sits behind a stable name, as an adapter behind its udev link.
        sim.Stop();
        sim.SetLinkPath(linkPath);
        ASSERT_TRUE(sim.Start());
        setenv("QUENOR_COM5", linkPath.c_str(), 1);
    }
    sim.SetRegister(20, 1234);
    Connect();
    link->RequestRead(1, 20, true, 2);
    ASSERT_TRUE(WaitValue(20, 1234));
    const std::size_t before = target.Snapshot().size();

    switch (c.trouble) {
    case Trouble::LostReply:
        sim.InjectFault(motorsim::FaultKind::Drop, 1);
        break;
    case Trouble::LateReplies:
        // Later than twice the time-out, four times in a row.
        sim.InjectFault(motorsim::FaultKind::Delay, 4, 700);
        break;
    case Trouble::Silence:
        sim.SilenceFor(3000);
        break;
    case Trouble::Unplug:
        sim.Stop();
        ASSERT_TRUE(target.WaitForMessage(UM_LINKSTATE, 1, 10s));
        std::this_thread::sleep_for(500ms);
        ASSERT_TRUE(sim.Start());
        break;
    }

    // The failure is counted, and the motor is asked again until it answers.
    ASSERT_TRUE(target.WaitFor(
        [&](const std::vector<Message>& ms) {
            return std::any_of(ms.begin() + static_cast<std::ptrdiff_t>(before), ms.end(),
                               [](const Message& m) { return m.msg == UM_LINKSTATE && m.wParam == 8 && m.lParam > 0; });
        },
        10s));
    if (c.linkLost) {
        ASSERT_TRUE(target.WaitFor(
            [&](const std::vector<Message>& ms) {
                const std::vector<Message> after(ms.begin() + static_cast<std::ptrdiff_t>(before), ms.end());
                return Count(after, UM_LINKSTATE, 1) > 0 && Count(after, UM_LINKSTATE, 2) > 0;
            },
            15s))
            << c.name << ": no reconnect after the link was lost; " << Trace(target.Snapshot(), before);
    }
    sim.SetRegister(20, 4321);
    EXPECT_TRUE(WaitValue(20, 4321, 10s)) << c.name << ": the poll list does not run again";

    const std::vector<Message> all = target.Snapshot();
    const std::vector<Message> after(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
    EXPECT_EQ(Count(after, UM_LINKSTATE, 1) > 0, c.linkLost) << c.name;
    EXPECT_EQ(link->State(), LINK_SERVING);
    if (c.trouble == Trouble::Unplug) {
        sim.Stop();
        std::remove(linkPath.c_str());
    }
}

INSTANTIATE_TEST_SUITE_P(Troubles, LinkRecovery,
                         ::testing::Values(RecoveryCase{"lost reply", Trouble::LostReply, false},
                                           RecoveryCase{"late replies", Trouble::LateReplies, true},
                                           RecoveryCase{"silence", Trouble::Silence, true},
                                           RecoveryCase{"unplug", Trouble::Unplug, true}),
                         [](const auto& info) {
                             std::string n = info.param.name;
                             std::replace(n.begin(), n.end(), ' ', '_');
                             return n;
                         });

// A write counts as arrived (its ticket not after the last acknowledged one)
// only once the motor acknowledged it: not while it runs again after a lost
// acknowledgement, never when the lost link drops it from the queue. A write
// made while the link is down is neither sent later nor shown as done: the
// caller learns at once that it did not go out.
TEST_F(LinkTest, AWriteArrivesOnlyWithItsAcknowledgement)
{
    Connect();
    // What the link had acknowledged as each write of registers 30 to 33 came in.
    std::mutex mutex;
    std::vector<std::pair<int, std::uint64_t>> seen;
    sim.SetHandler(0x52, [&](motorsim::MotorSim& m, const motorsim::SimFrame& f) -> Bytes {
        const std::optional<std::int32_t> value = motorsim::MotorSim::WrittenValue(f);
        if (!value)
            return {};
        if (f.fields[1] >= 30 && f.fields[1] <= 33) {
            std::lock_guard lock(mutex);
            seen.emplace_back(f.fields[1], link->LastAcknowledged());
        }
        m.SetRegister(f.fields[1], *value);
        return motorsim::MotorSim::Ack();
    });
    const auto echoed = [&](int reg) {
        return target.WaitFor(
            [reg](const auto& ms) {
                return std::any_of(ms.begin(), ms.end(),
                                   [reg](const Message& m) { return m.msg == UM_REGISTERVALUE && m.wParam == reg; });
            },
            10s);
    };
    const std::uint64_t first = link->RequestWriteIfLinked(1, 30, 5, 2);
    ASSERT_NE(first, 0u);
    ASSERT_TRUE(echoed(30));
    EXPECT_EQ(link->LastAcknowledged(), first);

    // Two acknowledgements lost: the write runs three times and arrives with the third.
    sim.LoseWriteAcks(31, 2);
    const std::uint64_t retried = link->RequestWriteIfLinked(1, 31, 6, 2);
    EXPECT_EQ(retried, first + 1);
    ASSERT_TRUE(echoed(31));
    EXPECT_EQ(link->LastAcknowledged(), retried);
    {
        std::lock_guard lock(mutex);
        const std::vector<std::pair<int, std::uint64_t>> expected{{30, 0}, {31, first}, {31, first}, {31, first}};
        EXPECT_EQ(seen, expected);
    }

    // Writes waiting behind a job that fails until the link is lost are dropped.
    const std::size_t before = target.Snapshot().size();
    const auto since = [before](const std::vector<Message>& ms) {
        return std::vector<Message>(ms.begin() + static_cast<std::ptrdiff_t>(before), ms.end());
    };
    sim.SetSilent(true);
    link->RequestRead(1, 20, false, 2);
    const std::uint64_t dropped = link->RequestWriteIfLinked(1, 32, 7, 2);
    EXPECT_EQ(dropped, retried + 1);
    ASSERT_TRUE(target.WaitFor([&](const auto& ms) { return Count(since(ms), UM_LINKSTATE, 1) > 0; }, 10s));
    EXPECT_EQ(link->RequestWriteIfLinked(1, 21, 77, 2), 0u);
    sim.SetSilent(false);
    ASSERT_TRUE(target.WaitFor([&](const auto& ms) { return Count(since(ms), UM_LINKSTATE, 2) > 0; }, 10s));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(link->LastAcknowledged(), retried) << "a write dropped with the queue counts as arrived";
    const std::vector<Message> all = target.Snapshot();
    const std::vector<Message> after(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
    for (const Message& m : after)
        EXPECT_FALSE(m.msg == UM_REGISTERVALUE && (m.wParam == 21 || m.wParam == 32))
            << "echo of a write that never went out";
    for (const Write& w : Writes())
        EXPECT_TRUE(w.reg != 21 && w.reg != 32) << w;
    // The next connection's writes go on from there.
    const std::uint64_t next = link->RequestWriteIfLinked(1, 33, 8, 2);
    EXPECT_GT(next, dropped);
    ASSERT_TRUE(echoed(33));
    EXPECT_EQ(link->LastAcknowledged(), next);
}

}  // namespace
}  // namespace quenor::linktest
