// Sampling runs from the test move to the filled sample set, per motor family,
// against the simulated motor.

#include "tests/link/linkfixture.h"

#include <cstdlib>

using namespace quenor;
using namespace quenor::linktest;
using motorsim::MotorSim;

namespace {

class SamplingTest : public LinkTest {
protected:
    void Use(int family)
    {
        sim.SetFamily(family);
        sim.SetRegister(5, 1000);
        sim.SetRegister(6, 100);
        sim.SetRegister(7, 500);
        sim.SetRegister(13, 512);
        sim.SetRegister(156, 3);
        sim.SetRegister(36, 0x100);
        sim.SetRegister(3, 1000);
        sim.SetRegisterWidth(3, 4);
        // Channel 2 samples a 32-bit register (10) whose value is where the ramp starts.
        sim.SetRegisterWidth(10, 4);
        sim.SetRegister(10, MotorSim::Wave(2, 0));
        Connect(family);
    }
    static SSampleSettings Settings(int family, std::int32_t count, std::uint8_t trigger)
    {
        SSampleSettings s;
        for (auto& ch : s.channels)
            ch.source = {kNoRegister, kNoRegister, kNoRegister};
        s.channels[0].source[family] = 12;
        s.channels[1].source[family] = 20;
        s.channels[2].source[family] = 10;
        s.channels[2].wide = family != 1;
        s.channels[3].source[family] = 30;
        s.SetSampleCount(family, count);
        s.ApplyFamily(family);
        s.triggerType = trigger;
        s.moveTimeMs = 5;
        s.waitTimeMs = 5;
        s.totalTimeMs = 5;
        s.preTriggerMs = 5;
        return s;
    }
    std::vector<std::int64_t> Phases() const
    {
        std::vector<std::int64_t> out;
        for (const Message& m : Of(scope, UM_SAMPLESTATE))
            out.push_back(m.wParam);
        return out;
    }
    void RunTestMove(const std::shared_ptr<SampleRun>& run)
    {
        ASSERT_TRUE(link->RequestTestMove(&scope, run));
        ASSERT_TRUE(scope.WaitForMessage(UM_SAMPLESTATE, 2, 5s));
    }
    Message Upload(const std::shared_ptr<TSampleSet>& set)
    {
        EXPECT_TRUE(link->RequestSampleUpload(&scope, set));
        EXPECT_TRUE(scope.WaitForMessage(UM_TRANSFERDONE, 10s));
        const std::vector<Message> done = Of(scope, UM_TRANSFERDONE);
        return done.empty() ? Message{} : done[0];
    }
    // Expects channel `index` of the set to hold the motor's channel `slot`
    // from sample r0 on.
    static void ExpectWave(const TSampleSet& set, int index, int slot, int r0)
    {
        const SChannelData* ch = set.Channel(index);
        ASSERT_NE(ch, nullptr);
        int wrong = 0;
        for (std::int32_t i = 0; i < ch->Count(); ++i)
            if (ch->Sample(i) != MotorSim::Wave(slot, i + r0) && wrong++ < 3)
                ADD_FAILURE() << "channel " << index << " sample " << i << ": " << ch->Sample(i)
                              << " instead of " << MotorSim::Wave(slot, i + r0);
        EXPECT_EQ(wrong, 0);
    }
    // Waits until the motor has had n more reads of a register.
    void AwaitReads(int reg, int n)
    {
        auto count = [&] {
            int c = 0;
            for (const Bytes& f : Sent(0x50))
                c += !f.empty() && f[0] == reg;
            return c;
        };
        const int target = count() + n;
        for (int i = 0; i < 3000 && count() < target; ++i)
            usleep(1000);
        ASSERT_GE(count(), target);
    }

    RecordingTarget scope;
};

}  // namespace

TEST_F(SamplingTest, FamilyZeroForwardAndBackwardMoveToTheSet)
{
    Use(0);
    SSampleSettings s = Settings(0, 300, kTriggerForwardBackward);
    s.maxDistance = 5000;
    auto run = std::make_shared<SampleRun>(s, 0);
    RunTestMove(run);
    EXPECT_EQ(Phases(), (std::vector<std::int64_t>{3, 2}));
    EXPECT_EQ(Writes(), (std::vector<Write>{{36, 0x1C0, 2}, {3, 6000, 4}, {3, 1000, 4}}));
    EXPECT_EQ(run->StartValue(2), MotorSim::Wave(2, 0));
    EXPECT_EQ(sim.Recordings(), 1);

    auto set = TSampleSet::FromSettings(run->SettingsWithStartValues(), 0, 1, 600);
    const Message done = Upload(set);
    EXPECT_EQ(done.wParam, 300);
    // Wide channel 2 comes back whole although the motor sent 16 bits; the
    // narrow channel 1 keeps its jumps of more than half the 16-bit range.
    ExpectWave(*set, 0, 0, 0);
    ExpectWave(*set, 1, 1, 0);
    ExpectWave(*set, 2, 2, 0);
    ExpectWave(*set, 3, 3, 0);
    EXPECT_GT(set->Channel(2)->Sample(299), 0xFFFF);
    // Code bytes: one per sample and per channel the size of its step.
    std::int64_t bytes = 0;
    std::int32_t prev[4] = {0, 0, MotorSim::Wave(2, 0) & 0xFFFF, 0};
    for (int i = 0; i < 300; ++i) {
        bytes += 1;
        for (int c = 0; c < 4; ++c) {
            const std::int32_t w = static_cast<std::int16_t>(MotorSim::Wave(c, i) & 0xFFFF);
            const std::int64_t d = std::llabs(static_cast<std::int64_t>(w) - prev[c]);
            bytes += d >= 0x7FFF ? 4 : d >= 0x7F ? 2 : d != 0 ? 1 : 0;
            prev[c] = w;
        }
    }
    EXPECT_EQ(done.lParam, bytes);
    const SampleHeader h = set->Header();
    EXPECT_EQ(h.V_Soll, 1000);
    EXPECT_EQ(h.A_Soll, 100);
    EXPECT_EQ(h.T_Soll, 500);
    EXPECT_DOUBLE_EQ(h.Kvout, 2.0);
    EXPECT_EQ(h.Revcounts, 4096);
    EXPECT_EQ(sim.CountRequests(0x53), 300);
    const std::vector<std::int64_t> progress = Progress("Transferring");
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front(), 0);
    EXPECT_EQ(progress.back(), 100);
}

TEST_F(SamplingTest, FamilyOneSingleMoveWithThirtyTwoBitSamples)
{
    Use(1);
    sim.SetRegister(3, -500);
    sim.SetRegister(13, 3 * 65536);
    SSampleSettings s = Settings(1, 200, kTriggerSingleMove);
    s.distance = 10000;
    auto run = std::make_shared<SampleRun>(s, 1);
    RunTestMove(run);
    EXPECT_EQ(Phases(), (std::vector<std::int64_t>{3, 2}));
    EXPECT_EQ(Writes(), (std::vector<Write>{{36, 0x103, 4}, {3, 9500, 4}}));
    auto set = TSampleSet::FromSettings(run->SettingsWithStartValues(), 1, 2, 600);
    EXPECT_EQ(Upload(set).wParam, 200);
    for (int c = 0; c < 4; ++c)
        ExpectWave(*set, c, c, 0);
    const SampleHeader h = set->Header();
    EXPECT_EQ(h.Scurve, 3);
    EXPECT_DOUBLE_EQ(h.Kvout, 3.0);
    EXPECT_EQ(h.Revcounts, 8000);
}

TEST_F(SamplingTest, FamilyTwoRegisterConditionWithEdgeAndDeltaUpload)
{
    Use(2);
    sim.SetRegister(50, 500);  // holds before the wait: with the edge flag it must fall first
    SSampleSettings s = Settings(2, 3712, kTriggerRegisterCondition);
    s.channels[1].source[2] = kNoRegister;  // the motor's channel 1 is not kept
    s.triggerPoint = 50;
    s.triggerRegister = 50;
    s.compareOperator = 2;  // ">"
    s.compareRaw = 100;
    s.edgeTriggered = true;
    auto run = std::make_shared<SampleRun>(s, 2);
    ASSERT_TRUE(link->RequestTestMove(&scope, run));
    ASSERT_TRUE(scope.WaitForMessage(UM_SAMPLESTATE, 1, 3s));
    AwaitReads(50, 3);
    EXPECT_EQ(sim.Recordings(), 0);
    sim.SetRegister(50, 0);
    AwaitReads(50, 2);
    sim.SetRegister(50, 200);
    ASSERT_TRUE(scope.WaitForMessage(UM_SAMPLESTATE, 2, 3s));
    EXPECT_EQ(Phases(), (std::vector<std::int64_t>{4, 1, 3, 2}));
    EXPECT_EQ(Writes(), (std::vector<Write>{{116, 3662, 2}, {118, 1, 2}, {117, 1, 2}, {118, 1, 2}, {118, 2, 2}}));
    EXPECT_EQ(sim.Recordings(), 1);

    sim.ClearLog();
    auto set = TSampleSet::FromSettings(run->SettingsWithStartValues(), 2, 3, 600);
    ASSERT_EQ(set->ChannelCount(), 3);
    const Message done = Upload(set);
    EXPECT_EQ(done.wParam, 3712);
    EXPECT_EQ(done.lParam, 0);
    ExpectWave(*set, 0, 0, -50);
    ExpectWave(*set, 1, 2, -50);  // the wide ramp, across many 16-bit wraps
    ExpectWave(*set, 2, 3, -50);
    const std::vector<Bytes> asks = Sent(0x53);
    ASSERT_EQ(asks.size(), 58u);
    EXPECT_EQ(asks[0], (Bytes{0xCE, 0xFF, 64}));  // -50
    EXPECT_EQ(asks[1], (Bytes{14, 0, 64}));
    EXPECT_EQ(set->Header().Revcounts, 25600);
}

TEST_F(SamplingTest, FamilyTwoManualRunOf130SamplesAsksInBlocksOf64)
{
    Use(2);
    SSampleSettings s = Settings(2, 130, kTriggerManual);
    s.triggerPoint = 10;
    auto run = std::make_shared<SampleRun>(s, 2);
    RunTestMove(run);
    EXPECT_EQ(Phases(), (std::vector<std::int64_t>{4, 3, 2}));
    sim.ClearLog();
    auto set = TSampleSet::FromSettings(run->SettingsWithStartValues(), 2, 4, 600);
    EXPECT_EQ(Upload(set).wParam, 130);
    EXPECT_EQ(Sent(0x53), (std::vector<Bytes>{{0xF6, 0xFF, 64}, {54, 0, 64}, {118, 0, 2}}));
    for (int c = 0; c < 4; ++c)
        ExpectWave(*set, c, c, -10);
}

TEST_F(SamplingTest, BitConditionWaitsForTheLevelWithoutPhaseOne)
{
    Use(0);
    sim.SetRegisterWidth(35, 4);
    sim.SetRegister(35, 0x10);  // in position is high: waiting for low
    SSampleSettings s = Settings(0, 20, kTriggerBitCondition);
    s.bitItem = 0;  // "In position", bit 4 in family 0
    s.bitLevel = false;
    auto run = std::make_shared<SampleRun>(s, 0);
    ASSERT_TRUE(link->RequestTestMove(&scope, run));
    AwaitReads(35, 3);
    EXPECT_TRUE(Phases().empty());
    sim.SetRegister(35, 0x0F);
    ASSERT_TRUE(scope.WaitForMessage(UM_SAMPLESTATE, 2, 3s));
    EXPECT_EQ(Phases(), (std::vector<std::int64_t>{3, 2}));
    EXPECT_EQ(sim.Recordings(), 1);
}

TEST_F(SamplingTest, FamilyTwoBitConditionUsesItsOwnStatusBits)
{
    Use(2);
    SSampleSettings s = Settings(2, 64, kTriggerBitCondition);
    s.bitItem = 2;  // "Follow error": bit 1 of family 2's status word
    s.bitLevel = true;
    auto run = std::make_shared<SampleRun>(s, 2);
    ASSERT_TRUE(link->RequestTestMove(&scope, run));
    AwaitReads(35, 2);
    sim.SetRegister(35, 0x02);
    ASSERT_TRUE(scope.WaitForMessage(UM_SAMPLESTATE, 2, 3s));
    EXPECT_EQ(Phases(), (std::vector<std::int64_t>{3, 2}));

    // "In position" is not in that word: nothing is read, nothing fires until the abort.
    scope.Clear();
    sim.ClearLog();
    s.bitItem = 0;
    auto waiting = std::make_shared<SampleRun>(s, 2);
    ASSERT_TRUE(link->RequestTestMove(&scope, waiting));
    usleep(100000);
    EXPECT_TRUE(Phases().empty());
    waiting->Abort();
    ASSERT_TRUE(scope.WaitForMessage(UM_SAMPLESTATE, 2, 3s));
    EXPECT_EQ(Phases(), (std::vector<std::int64_t>{2}));
    for (const Bytes& f : Sent(0x50))
        EXPECT_NE(f, Bytes{35});
}

TEST_F(SamplingTest, AbortDuringTheTriggerWaitRecordsNothing)
{
    Use(0);
    sim.SetRegister(50, 1);
    SSampleSettings s = Settings(0, 20, kTriggerRegisterCondition);
    s.triggerRegister = 50;
    s.compareOperator = 0;  // "=" 7: never
    s.compareRaw = 7;
    auto run = std::make_shared<SampleRun>(s, 0);
    ASSERT_TRUE(link->RequestTestMove(&scope, run));
    ASSERT_TRUE(scope.WaitForMessage(UM_SAMPLESTATE, 1, 3s));
    AwaitReads(50, 3);
    run->Abort();
    ASSERT_TRUE(scope.WaitForMessage(UM_SAMPLESTATE, 2, 3s));
    EXPECT_EQ(Phases(), (std::vector<std::int64_t>{1, 2}));
    EXPECT_EQ(sim.Recordings(), 0);
}

TEST_F(SamplingTest, AnAbortBeforeTheWaitBeginsIsNotLost)
{
    // Family 2 records the part before the trigger first; an abort pressed
    // meanwhile ends the job as soon as its wait would begin.
    Use(2);
    SSampleSettings s = Settings(2, 20, kTriggerRegisterCondition);
    s.triggerRegister = 50;
    s.compareOperator = 0;  // "=" 7: never
    s.compareRaw = 7;
    s.preTriggerMs = 500;
    auto run = std::make_shared<SampleRun>(s, 2);
    ASSERT_TRUE(link->RequestTestMove(&scope, run));
    ASSERT_TRUE(scope.WaitForMessage(UM_SAMPLESTATE, 4, 3s));
    run->Abort();
    ASSERT_TRUE(scope.WaitForMessage(UM_SAMPLESTATE, 2, 5s)) << "the job kept waiting for its trigger";
    EXPECT_EQ(sim.Recordings(), 0);
}

TEST_F(SamplingTest, StopEndsTheTriggerWait)
{
    Use(0);
    SSampleSettings s = Settings(0, 20, kTriggerRegisterCondition);
    s.triggerRegister = 50;
    s.compareRaw = 7;
    ASSERT_TRUE(link->RequestTestMove(&scope, std::make_shared<SampleRun>(s, 0)));
    ASSERT_TRUE(scope.WaitForMessage(UM_SAMPLESTATE, 1, 3s));
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_TRUE(link->StopThread(2000));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 1500ms);
}

TEST_F(SamplingTest, AbortedUploadEndsWithTheSamplesSoFarAndTheSetOutlivesItsTab)
{
    Use(0);
    SSampleSettings s = Settings(0, 896, kTriggerManual);
    auto run = std::make_shared<SampleRun>(s, 0);
    RunTestMove(run);
    auto set = TSampleSet::FromSettings(run->SettingsWithStartValues(), 0, 5, 600);
    ASSERT_TRUE(link->RequestSampleUpload(&scope, set));
    std::weak_ptr<TSampleSet> watch = set;
    set.reset();  // the user closes the tab while the upload runs
    ASSERT_TRUE(target.WaitFor([](const auto& ms) {
        for (const Message& m : ms)
            if (m.msg == UM_PROGRESS && m.text == "Transferring" && m.wParam >= 5)
                return true;
        return false;
    }, 5s));
    if (const auto uploading = watch.lock())  // the scope's abort reaches the set the job holds
        uploading->AbortUpload();
    ASSERT_TRUE(scope.WaitForMessage(UM_TRANSFERDONE, 5s));
    const Message done = Of(scope, UM_TRANSFERDONE)[0];
    EXPECT_GT(done.wParam, 0);
    EXPECT_LT(done.wParam, 896);
    EXPECT_EQ(done.wParam, sim.CountRequests(0x53));
    // The job has let go of the set.
    for (int i = 0; i < 1000 && !watch.expired(); ++i)
        usleep(1000);
    EXPECT_TRUE(watch.expired());
}

TEST_F(SamplingTest, SamplingJobsWaitForTheLink)
{
    link = std::make_unique<ComThread>(&target, 0, FastTimings());
    EXPECT_FALSE(link->RequestTestMove(&scope, std::make_shared<SampleRun>(SSampleSettings{}, 0)));
    EXPECT_FALSE(link->RequestSampleUpload(&scope, std::make_shared<TSampleSet>()));
}

// A lost reply during a move run: the move goes out once, whatever fails
// after it; a forward-and-backward run still brings the motor back to where
// the run found it. A failure before the move runs the job again.
struct LostAckCase {
    const char* name;
    int family;
    std::uint8_t trigger;
    int lostReg;  // the register whose acknowledgements are lost
    int lost;     // how many
    std::vector<std::int32_t> reg3;  // the register-3 writes the motor receives
    std::int64_t lastPhase;
    int failures;  // failed attempts of the job
};

class SampleMoveReplyLost : public SamplingTest, public ::testing::WithParamInterface<LostAckCase> {};

TEST_P(SampleMoveReplyLost, TheMoveGoesOutOnce)
{
    const LostAckCase& c = GetParam();
    Use(c.family);
    sim.SetRegister(3, 1000);
    SSampleSettings s = Settings(c.family, 20, c.trigger);
    s.distance = 10000;
    s.maxDistance = 5000;
    auto run = std::make_shared<SampleRun>(s, c.family);
    sim.LoseWriteAcks(c.lostReg, c.lost);
    ASSERT_TRUE(link->RequestTestMove(&scope, run));
    ASSERT_TRUE(scope.WaitFor([](const std::vector<Message>& ms) {
        for (const Message& m : ms)
            if (m.msg == UM_SAMPLESTATE && (m.wParam == kPhaseDone || m.wParam == kPhaseCutOff))
                return true;
        return false;
    }, 5s));
    // Whatever the job sends after its end shows up behind a read queued now.
    sim.SetRegister(20, 8);
    link->RequestRead(1, 20, false, 2);
    ASSERT_TRUE(WaitValue(20, 8));
    std::vector<std::int32_t> reg3;
    for (const Write& w : Writes())
        if (w.reg == 3)
            reg3.push_back(w.value);
    EXPECT_EQ(reg3, c.reg3);
    EXPECT_EQ(sim.Register(3), c.reg3.back());
    const std::vector<std::int64_t> phases = Phases();
    EXPECT_EQ(phases.back(), c.lastPhase);
    EXPECT_EQ(std::count(phases.begin(), phases.end(), kPhaseDone) +
                  std::count(phases.begin(), phases.end(), kPhaseCutOff),
              1);
    EXPECT_EQ(Of(UM_LINKSTATE).back().wParam, +LinkNotice::ErrorCount);
    EXPECT_EQ(Of(UM_LINKSTATE).back().lParam, c.failures);
}

INSTANTIATE_TEST_SUITE_P(
    Sampling, SampleMoveReplyLost,
    ::testing::Values(LostAckCase{"SingleMoveOneLost", 0, kTriggerSingleMove, 3, 1, {11000}, kPhaseCutOff, 1},
                      LostAckCase{"SingleMoveTwoLost", 1, kTriggerSingleMove, 3, 2, {11000}, kPhaseCutOff, 1},
                      LostAckCase{"ForwardBackwardOneLost", 0, kTriggerForwardBackward, 3, 1, {6000, 1000},
                                  kPhaseCutOff, 1},
                      LostAckCase{"ForwardBackwardTwoLost", 1, kTriggerForwardBackward, 3, 2, {6000, 1000, 1000},
                                  kPhaseCutOff, 2},
                      LostAckCase{"BeforeTheMoveRunsAgain", 0, kTriggerSingleMove, 36, 1, {11000}, kPhaseDone, 1}),
    [](const auto& info) { return std::string(info.param.name); });
