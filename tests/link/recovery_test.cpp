// The link finds its way back by itself: after a lost reply, a motor that
// stays silent for a while, and a device that is unplugged and plugged in
// again under the same name.

#include "link/linkfixture.h"

#include <cstdio>
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

// A write made while the link is down is neither sent later nor shown as
// done: the caller learns at once that it did not go out.
TEST_F(LinkTest, AWriteWhileTheLinkIsDownIsRefusedWithoutAnEcho)
{
    Connect();
    const std::size_t before = target.Snapshot().size();
    const auto since = [before](const std::vector<Message>& ms) {
        return std::vector<Message>(ms.begin() + static_cast<std::ptrdiff_t>(before), ms.end());
    };
    sim.SetSilent(true);
    link->RequestRead(1, 20, false, 2);
    ASSERT_TRUE(target.WaitFor([&](const auto& ms) { return Count(since(ms), UM_LINKSTATE, 1) > 0; }, 10s));
    EXPECT_FALSE(link->RequestWriteIfLinked(1, 21, 77, 2));
    sim.SetSilent(false);
    ASSERT_TRUE(target.WaitFor([&](const auto& ms) { return Count(since(ms), UM_LINKSTATE, 2) > 0; }, 10s));
    std::this_thread::sleep_for(200ms);
    const std::vector<Message> all = target.Snapshot();
    const std::vector<Message> after(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
    for (const Message& m : after)
        EXPECT_FALSE(m.msg == UM_REGISTERVALUE && m.wParam == 21) << "echo of a write that never went out";
    for (const Write& w : Writes())
        EXPECT_NE(w.reg, 21);
}

}  // namespace
}  // namespace quenor::linktest
