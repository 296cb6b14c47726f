// The session's motor commands against a simulated motor: the reads after a
// connect, an edit's frame, the commands' frames per firmware, the address,
// the family-2 restart token, a reconnect without a module and a full ring.

#include "app/motorregisters.h"
#include "params/paramkinds.h"
#include "platform/qtmessagetarget.h"
#include "scope/samplesetup.h"
#include "scope/samplingflow.h"
#include "support/headlesssession.h"
#include "tools/motorsim/motorsim.h"

#include <QSettings>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>

using namespace quenor;
using quenor::motorsim::MotorSim;
using quenor::motorsim::SimFrame;

namespace {

using test::Spin;
using test::SpinUntil;

// Register writes (0x52) the motor received, as (register, width, value).
struct Write {
    int reg;
    int width;
    std::int64_t value;
};
std::vector<Write> Writes(const MotorSim& sim)
{
    std::vector<Write> out;
    for (const SimFrame& f : sim.Requests()) {
        if (f.command != 0x52 || f.fields.size() < 3)
            continue;
        Write w{f.fields[1], f.fields[2], 0};
        for (int i = 0; i < w.width && 3 + i < static_cast<int>(f.fields.size()); ++i)
            w.value |= static_cast<std::int64_t>(f.fields[3 + i]) << (8 * i);
        out.push_back(w);
    }
    return out;
}

std::vector<int> ReadRegisters(const MotorSim& sim)
{
    std::vector<int> out;
    for (const SimFrame& f : sim.Requests())
        if (f.command == 0x50 && f.fields.size() >= 2)
            out.push_back(f.fields[1]);
    return out;
}

// The commands (0x5x) the motor received, with register writes as 0x52.
std::vector<int> Commands(const MotorSim& sim)
{
    std::vector<int> out;
    for (const SimFrame& f : sim.Requests())
        if (f.command >= 0x52 && f.command <= 0x57)
            out.push_back(f.command);
    return out;
}

std::atomic<bool> gHoldRelease{false};
std::atomic<bool> gHolding{false};
void HoldTheLink(ComThread& t, ComRequest&)
{
    gHolding = true;
    while (!gHoldRelease.load())
        t.Sleep(1);
}

class SessionMotorCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::TestCoreApp();
        QSettings(QStringLiteral("Tovik"), QStringLiteral("Quenor")).clear();
    }
    void TearDown() override
    {
        session.reset();
        unsetenv("QUENOR_COM1");
    }
    void Connect(MotorSim& sim)
    {
        ASSERT_TRUE(sim.Start());
        setenv("QUENOR_COM1", sim.DevicePath().c_str(), 1);
        SessionOptions options = test::FastSessionOptions();
        options.timings.rescanMs = 500;
        session = std::make_unique<test::HeadlessSession>(options);
        (*session)->Start(-1, QString());
        ASSERT_TRUE(SpinUntil([&] { return (*session)->State().connected; })) << "no connection";
    }
    // Lets the reads that follow a connect finish and their values arrive.
    void Settle()
    {
        EXPECT_TRUE(test::SpinUntilIdle([&] { return (*session)->Com().IsQueueEmpty(); }));
    }
    // A motor command as the menu gives it: a full ring is reported, not thrown.
    void Command(void (MotorSession::*f)())
    {
        (*session)->Guarded([&] { ((**session).*f)(); });
    }

    std::unique_ptr<test::HeadlessSession> session;
};

}  // namespace

TEST_F(SessionMotorCommands, ConnectReadsTypeSerialAndEveryBoundRegister)
{
    MotorSim sim(0, 112);
    sim.SetRegister(153, 4);  // a VekD
    sim.SetRegister(154, 4321);
    sim.SetRegister(5, 1234);
    sim.SetRegister(37, 2);
    Connect(sim);
    ASSERT_TRUE(SpinUntil([&] { return (*session)->MotorType() == 4; }));
    ASSERT_TRUE(SpinUntil([&] { return (*session)->State().serial == 4321; }));
    // After the connect frame the motor type and serial number are read, then
    // the register image in three blocks of 2-byte registers (polls of the
    // status view may come in between); the page reads are answered from it.
    const auto reads = ReadRegisters(sim);
    ASSERT_GE(reads.size(), 3u);
    EXPECT_EQ(reads[0], 1);  // the connect frame
    const auto at = [&](int reg) { return std::find(reads.begin(), reads.end(), reg) - reads.begin(); };
    EXPECT_LT(at(153), at(154));
    ASSERT_TRUE(SpinUntil([&] { return sim.CountRequests(0x51) == 3; }));
    ASSERT_TRUE(SpinUntil([&] {
        auto* maxVel = (*session)->RegisterList(5).empty() ? nullptr : (*session)->RegisterList(5).front();
        return maxVel && maxVel->Value() == 1234 && (*session)->State().startupMode == 2;
    }));
    EXPECT_EQ((*session)->FileName(), QStringLiteral("Noname"));
}

TEST_F(SessionMotorCommands, TypedMaxVelocityBecomesAWidth2WriteOfRegister5)
{
    MotorSim sim(0, 112);
    Connect(sim);
    Settle();
    auto* edit = dynamic_cast<CParamControlEdit*>(session->Control("Max velocity"));
    ASSERT_NE(edit, nullptr);
    sim.ClearLog();
    edit->EnterPressed("5000");
    ASSERT_TRUE(SpinUntil([&] {
        for (const Write& w : Writes(sim))
            if (w.reg == 5)
                return true;
        return false;
    }));
    const auto writes = Writes(sim);
    const auto it = std::find_if(writes.begin(), writes.end(), [](const Write& w) { return w.reg == 5; });
    EXPECT_EQ(it->width, 2);
    EXPECT_EQ(it->value, 10486);
    EXPECT_EQ(sim.Register(5), 10486);
}

TEST_F(SessionMotorCommands, TheAddressBoxTakesAllAndOneTo255Only)
{
    MotorSim sim(0, 112);
    Connect(sim);
    std::vector<QString> errors;
    (*session)->prompts.error = [&](const QString& t, const QString&) { errors.push_back(t); };
    (*session)->SelectAddress(QStringLiteral("12"));
    EXPECT_EQ((*session)->Address(), 12);
    for (const char* bad : {"0", "256", "-1", "1e2", "x", ""}) {
        (*session)->SelectAddress(QString::fromLatin1(bad));
        EXPECT_EQ((*session)->Address(), 12) << bad;
    }
    EXPECT_EQ(errors.size(), 6u);
    (*session)->SelectAddress(QStringLiteral("255"));
    EXPECT_EQ((*session)->Address(), 255);
    (*session)->SelectAddress(QStringLiteral("All"));
    EXPECT_EQ((*session)->Address(), 255);
}

TEST_F(SessionMotorCommands, ResetPositionAndClearErrorsWriteWhatTheFirmwareNeeds)
{
    MotorSim sim(0, 112);
    sim.SetRegister(35, 0x0680);  // position limit error with other error bits
    Connect(sim);
    ASSERT_TRUE(SpinUntil([&] { return (*session)->State().statusWord == 0x0680; }));
    Settle();
    std::vector<QString> asked;
    (*session)->prompts.askYesNo = [&](const QString& t, const QString&) {
        asked.push_back(t);
        return false;
    };
    sim.ClearLog();
    Command(&MotorSession::ClearErrors);
    ASSERT_EQ(asked.size(), 1u);
    ASSERT_TRUE(SpinUntil([&] { return !Writes(sim).empty(); }));
    auto w = Writes(sim);
    EXPECT_EQ(w[0].reg, 35);
    EXPECT_EQ(w[0].width, 2);
    EXPECT_EQ(w[0].value, 0x0600);

    // Firmware 7.0 (112): register 163 gets the negated position, not register 10.
    sim.ClearLog();
    Command(&MotorSession::ResetPosition);
    ASSERT_TRUE(SpinUntil([&] { return Writes(sim).size() >= 3; }));
    w = Writes(sim);
    EXPECT_EQ(w[0].reg, 163);
    EXPECT_EQ(w[0].width, 4);
    EXPECT_EQ(w[1].reg, 36);
    EXPECT_EQ(w[1].width, 2);
    EXPECT_EQ(w[1].value & 0x1400, 0x1400);
    EXPECT_EQ(w[2].reg, 3);
    EXPECT_EQ(w[2].value, 0);
}

TEST_F(SessionMotorCommands, SaveResetAndDefaultsSendTheirSequences)
{
    MotorSim sim(0, 112);
    Connect(sim);
    Settle();
    bool okAnswer = false;
    (*session)->prompts.askOkCancel = [&](const QString&, const QString&) { return okAnswer; };
    (*session)->prompts.confirmWarnings = [](const Warnings&) { return true; };

    // Save in motor: register 3 := 0, then the stop and store commands.
    sim.ClearLog();
    Command(&MotorSession::SaveInMotor);
    ASSERT_TRUE(sim.WaitForRequests(0x56, 1, std::chrono::seconds(10)));
    auto c = Commands(sim);
    ASSERT_GE(c.size(), 3u);
    EXPECT_EQ(c[0], 0x52);
    EXPECT_EQ(c[1], 0x54);
    EXPECT_EQ(c[2], 0x56);
    EXPECT_EQ(Writes(sim).at(0).reg, 3);

    // The motor restarts and the link comes back through the rescan.
    const auto rescanned = [&] {
        EXPECT_TRUE(SpinUntil([&] { return (*session)->State().reconnecting; }, 20000));
        return SpinUntil([&] { return (*session)->State().connected && !(*session)->State().reconnecting; }, 20000);
    };
    ASSERT_TRUE(rescanned());
    Settle();

    // Reset with firmware 7.0: 0x54, then 0x57.
    sim.ClearLog();
    Command(&MotorSession::ResetMotor);
    ASSERT_TRUE(sim.WaitForRequests(0x57, 1, std::chrono::seconds(10)));
    c = Commands(sim);
    ASSERT_GE(c.size(), 2u);
    EXPECT_EQ(c[0], 0x54);
    EXPECT_EQ(c.back(), 0x57);
    ASSERT_TRUE(rescanned());
    Settle();

    // Load default asks first; Cancel sends nothing.
    sim.ClearLog();
    Command(&MotorSession::LoadDefault);
    Spin(300);  // nothing may go out
    EXPECT_EQ(sim.CountRequests(0x54), 0);
    okAnswer = true;
    Command(&MotorSession::LoadDefault);
    ASSERT_TRUE(SpinUntil([&] {
        for (const Write& w : Writes(sim))
            if (w.reg == 2 && w.width == 4 && w.value == 256)
                return true;
        return false;
    }));
    EXPECT_GE(sim.CountRequests(0x54), 1);
}

TEST_F(SessionMotorCommands, OldFirmwareRefusesLoadDefaultAndResetsWith0x55)
{
    MotorSim sim(0, 79);
    Connect(sim);
    Settle();
    std::vector<QString> warned;
    (*session)->prompts.warning = [&](const QString& t, const QString&) { warned.push_back(t); };
    (*session)->prompts.askOkCancel = [](const QString&, const QString&) { return true; };
    sim.ClearLog();
    Command(&MotorSession::LoadDefault);
    ASSERT_EQ(warned.size(), 1u);
    EXPECT_EQ(warned[0], QStringLiteral("This features requires firmware version 5.0 or higher"));
    Spin(200);  // nothing may go out
    EXPECT_EQ(sim.CountRequests(0x54), 0);

    Command(&MotorSession::ResetMotor);
    ASSERT_TRUE(sim.WaitForRequests(0x57, 1, std::chrono::seconds(10)));
    EXPECT_EQ(Commands(sim).front(), 0x55);
}

TEST_F(SessionMotorCommands, AFamily2MotorReadsItsImageAndSetsARestartToken)
{
    MotorSim sim(2, 0x20);
    sim.SetRegister(151, 66);  // a WibC
    Connect(sim);
    EXPECT_EQ((*session)->Generation(), 2);
    ASSERT_TRUE(SpinUntil([&] { return (*session)->MotorType() == 66; }));
    ASSERT_TRUE(SpinUntil([&] { return sim.CountRequests(0x51) == 3; }));
    // The restart token goes to register 160 and is polled from then on.
    ASSERT_TRUE(SpinUntil([&] { return sim.Register(160) != 0; }));
    // A 16-bit register: the motor answers a token above 32767 as a negative number.
    const std::int32_t token = sim.Register(160) & 0xFFFF;
    EXPECT_GE(token, 1);
    EXPECT_LE(token, 65534);
    const int blocksBefore = sim.CountRequests(0x51);
    Spin(500);  // no page is read again
    EXPECT_EQ(sim.CountRequests(0x51), blocksBefore) << "the token's poll must not re-read the pages";

    // A motor that restarted on its own answers another value: every page is read again.
    sim.SetRegister(160, token == 1 ? 2 : 1);
    ASSERT_TRUE(SpinUntil([&] { return sim.CountRequests(0x51) > blocksBefore; }));
}

TEST_F(SessionMotorCommands, AReconnectToAMotorWithoutAModuleForgetsThePreviousModule)
{
    // A motor without a module does not answer the information request, so
    // nothing about a module comes with its connect: the window must not go
    // on believing in the module of the motor before.
    MotorSim sim(0, 112);
    sim.SetModuleType(4);
    Connect(sim);
    ASSERT_TRUE(SpinUntil([&] { return (*session)->State().moduleType == 4; }));
    Settle();

    sim.SetModuleType(0);
    (*session)->SelectAddress(QStringLiteral("1"));
    ASSERT_TRUE(SpinUntil([&] { return !(*session)->State().connected; }));
    ASSERT_TRUE(SpinUntil([&] { return (*session)->State().connected; }));
    EXPECT_EQ((*session)->State().moduleType, 0);
    EXPECT_EQ((*session)->State().moduleInfo[0], 0);
}

TEST_F(SessionMotorCommands, AFullRequestRingIsReportedAndTheWindowCarriesOn)
{
    // While the motor is slow to answer the requests pile up; a write that
    // finds no room must not take the program down with it.
    MotorSim sim(0, 112);
    Connect(sim);
    Settle();
    gHoldRelease = false;
    gHolding = false;
    ComRequest hold;
    hold.handler = &HoldTheLink;
    (*session)->Com().PushRequest(hold);
    ASSERT_TRUE(SpinUntil([&] { return gHolding.load(); }));
    ComRequest nothing;
    nothing.handler = [](ComThread&, ComRequest&) {};
    for (;;) {
        try {
            (*session)->Com().PushRequest(nothing);
        } catch (const ComIntException&) {
            break;
        }
    }
    Message write;
    write.msg = UM_WRITEREGISTER;
    write.wParam = 5;
    write.lParam = 1234;
    EXPECT_NO_THROW((*session)->HandleMessage(write));
    EXPECT_EQ((*session)->StatusBar().PanelText(0).rfind("RError: ", 0), 0u) << (*session)->StatusBar().PanelText(0);

    // The link goes on once the motor catches up.
    gHoldRelease = true;
    EXPECT_TRUE(SpinUntil([&] { return (*session)->Com().IsQueueEmpty(); }));
    sim.ClearLog();
    write.lParam = 4321;
    EXPECT_NO_THROW((*session)->HandleMessage(write));
    EXPECT_TRUE(SpinUntil([&] {
        for (const Write& w : Writes(sim))
            if (w.reg == 5 && w.value == 4321)
                return true;
        return false;
    }));
}

// A sample run through the session, with motor 1 chosen in the address box.
// Its test move lasts as the motor's velocity and acceleration (registers 5
// and 6) and, in family 1, its S-curve allow: the session hands them on in
// families 0 and 1 (family 2 hands on its mode only). The
// channel registers (112 to 115, in family 1 158 to 161) go to every motor on
// the line, address 255, each once and in order; everything else of the run
// (the recording, the samples read back) and of the session goes to motor 1.
TEST_F(SessionMotorCommands, ASampleRunSelectsTheChannelsOnEveryMotorAndSamplesTheChosenOne)
{
    struct Case {
        int family;
        std::uint16_t firmware;
        std::int32_t sCurve;  // register 156, family 1
        std::int32_t moveMs;  // default sample count: 896 or 512; -1: not handed on
        std::vector<std::pair<int, std::int64_t>> channels;  // the channel writes: register, 16-bit value
    };
    // Family 0: n = 846, k = 1000 > n / 4: m = 211 samples of 1.92 ms.
    // Family 1: n = 462, k = 2^3 + 1000 > n / 4: m = 115 samples of 1/770 s.
    // Default channels: 12, 20, 121 (169 in family 1) and none (-1; 0 in family 2).
    const Case cases[] = {
        {1, 72, 3, 149, {{158, 12}, {159, 20}, {160, 169}, {161, 0xFFFF}}},
        {0, 112, 0, 405, {{112, 12}, {113, 20}, {114, 121}, {115, 0xFFFF}}},
        {2, 0x20, 0, -1, {{112, 12}, {113, 0}, {114, 0}, {115, 0}}},
    };
    for (const Case& c : cases) {
        MotorSim sim(c.family, c.firmware);
        sim.SetRegister(regs::V_SOLL, 10000);
        sim.SetRegister(regs::A_SOLL, 10);
        if (c.family == 1) {
            sim.SetRegister(regs::f1::MOTOR_TYPE, 14);  // VekF; else the type read says family 0
            sim.SetRegister(regs::f1::S_CURVE, c.sCurve);
        }
        if (c.family == 2)
            sim.SetRegister(151, 66);  // a WibC
        Connect(sim);
        Settle();
        ASSERT_EQ((*session)->Generation(), c.family);
        const MotorRunValues& m = (*session)->Motion();
        if (c.moveMs >= 0) {
            EXPECT_EQ(m.velocity, 10000) << "family " << c.family;
            EXPECT_EQ(m.acceleration, 10) << "family " << c.family;
            EXPECT_EQ(m.sCurve, c.sCurve) << "family " << c.family;
        }

        ASSERT_TRUE((*session)->SelectAddress(QStringLiteral("1")));
        ASSERT_TRUE(SpinUntil([&] {
            const std::vector<SimFrame> frames = sim.Requests();
            return (*session)->State().connected && !frames.empty() && frames.back().fields.at(0) == 1;
        }));
        Settle();
        sim.ClearLog();

        // The run, as the scope makes it: manual trigger, few samples.
        SSampleSettings record;
        record.triggerType = kTriggerManual;
        record.ApplyFamily(c.family);
        if (c.moveMs >= 0) {
            EXPECT_EQ(ComputeRunTimes(record, c.family, {m.velocity, m.acceleration, m.sCurve}).moveMs, c.moveMs)
                << "family " << c.family;
        }
        record.SetSampleCount(c.family, 70);
        std::unique_ptr<SamplingFlow> flow;
        std::shared_ptr<TSampleSet> set;
        bool done = false;
        QtMessageTarget window([&](const Message& msg) {
            if (msg.msg == UM_SAMPLESTATE) {
                if (auto r = flow->OnSampleState(static_cast<int>(msg.wParam), msg.lParam, 600); r.set)
                    set = r.set;
            } else if (msg.msg == UM_TRANSFERDONE) {
                EXPECT_FALSE(flow->OnTransferDone(msg.wParam, msg.lParam).incomplete);
                done = true;
            }
        });
        flow = std::make_unique<SamplingFlow>((*session)->ScopeRequests(), &window);
        ASSERT_EQ(flow->Start(record, ScopeMotor{c.family, m.mode, {m.velocity, m.acceleration, m.sCurve}}),
                  SamplingFlow::StartResult::kStarted);
        ASSERT_TRUE(SpinUntil([&] { return done; }, 30000)) << "family " << c.family;
        ASSERT_TRUE(set);
        EXPECT_EQ(set->Count(), 70);

        const int first = c.family == 1 ? 158 : 112;
        std::vector<std::pair<int, std::int64_t>> channels;
        int toMotor1 = 0;
        for (const SimFrame& f : sim.Requests()) {
            if (f.command == 0x52 && f.fields.size() >= 5 && f.fields[1] >= first && f.fields[1] < first + 4) {
                EXPECT_EQ(f.fields[0], 255) << "channel register " << +f.fields[1] << ", family " << c.family;
                channels.emplace_back(f.fields[1], f.fields[3] | (f.fields[4] << 8));
            } else {
                EXPECT_EQ(f.fields.at(0), 1) << "command " << +f.command << ", family " << c.family;
                toMotor1 += f.command == 0x53;
            }
        }
        EXPECT_EQ(channels, c.channels) << "family " << c.family;
        EXPECT_GT(toMotor1, 0) << "the samples come from motor 1";
        flow.reset();
        session.reset();
        sim.Stop();
    }
}
