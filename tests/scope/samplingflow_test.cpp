// One sample run per motor family through the scope's flow, against the
// simulated motor: the channel register writes, the phases and their texts, the
// set filled with the motor's waveform; the wrong mode; an abort while waiting.

#include "link/frames.h"
#include "scope/samplingflow.h"
#include "tests/link/linkfixture.h"

using namespace quenor;
using namespace quenor::linktest;
using motorsim::MotorSim;

namespace {

// The session's side of the scope, over a real communication thread.
class ThreadLink : public ScopeLink {
public:
    explicit ThreadLink(ComThread& t) : t_(t) {}
    bool RequestWrite(int address, int reg, std::int32_t value, int width) override
    {
        try {
            t_.RequestWrite(address, reg, value, width);
            return true;
        } catch (const ComIntException&) {
            return false;
        }
    }
    bool RequestTestMove(MessageTarget* w, std::shared_ptr<SampleRun> run) override
    {
        return t_.RequestTestMove(w, std::move(run));
    }
    bool RequestSampleUpload(MessageTarget* w, std::shared_ptr<TSampleSet> set) override
    {
        return t_.RequestSampleUpload(w, std::move(set));
    }
    std::vector<std::string> SetupLines() override { return {"[Motor]", "Type=1"}; }

private:
    ComThread& t_;
};

class SamplingFlowTest : public LinkTest {
protected:
    void Use(int family)
    {
        sim.SetFamily(family);
        sim.SetRegister(3, 1000);
        sim.SetRegisterWidth(3, 4);
        sim.SetRegisterWidth(10, 4);
        sim.SetRegister(10, MotorSim::Wave(2, 0));
        Connect(family);
        threadLink = std::make_unique<ThreadLink>(*link);
        flow = std::make_unique<SamplingFlow>(*threadLink, &scope);
        motor.family = family;
    }
    // Channels 12, 20 and the 32-bit register 10; channel 4 none.
    static SSampleSettings Record(int family, std::int32_t count, std::uint8_t trigger)
    {
        SSampleSettings s;
        for (auto& ch : s.channels)
            ch.source = {kNoRegister, kNoRegister, kNoRegister};
        s.channels[0].source[family] = 12;
        s.channels[1].source[family] = 20;
        s.channels[2].source[family] = 10;
        s.channels[2].wide = family != 1;
        s.SetSampleCount(family, count);
        s.ApplyFamily(family);
        s.triggerType = trigger;
        return s;
    }
    // Hands every phase that came to the flow, as the scope's window does;
    // returns the state texts and keeps the set.
    std::vector<std::string> FeedPhases()
    {
        std::vector<std::string> states;
        for (const Message& m : scope.Take()) {
            EXPECT_EQ(m.msg, UM_SAMPLESTATE);
            SamplingFlow::PhaseResult r = flow->OnSampleState(static_cast<int>(m.wParam), m.lParam, 600);
            states.push_back(r.state);
            EXPECT_FALSE(r.lost);
            if (r.set)
                set = r.set;
        }
        return states;
    }
    void ExpectWaves(int r0)
    {
        ASSERT_TRUE(set);
        ASSERT_EQ(set->ChannelCount(), 3);
        for (int c = 0; c < 3; ++c)
            for (std::int32_t i = 0; i < set->Count(); ++i)
                ASSERT_EQ(set->Channel(c)->Sample(i), MotorSim::Wave(c, i + r0)) << c << " " << i;
    }
    std::int64_t FinishUpload()
    {
        EXPECT_TRUE(scope.WaitForMessage(UM_TRANSFERDONE, 10s));
        const std::vector<Message> done = scope.Take();
        EXPECT_EQ(done.size(), 1u);
        EXPECT_FALSE(flow->OnTransferDone(done.at(0).wParam, done.at(0).lParam).incomplete);
        EXPECT_FALSE(flow->Busy());
        return done.at(0).wParam;
    }

    RecordingTarget scope;
    std::unique_ptr<ThreadLink> threadLink;
    std::unique_ptr<SamplingFlow> flow;
    ScopeMotor motor;
    std::shared_ptr<TSampleSet> set;
};

}  // namespace

TEST_F(SamplingFlowTest, FamilyZeroForwardAndBackwardMove)
{
    Use(0);
    SSampleSettings record = Record(0, 300, kTriggerForwardBackward);
    record.maxDistance = 5000;
    motor.mode = 2;
    motor.motion = {1000, 100, 0};  // k = 10: m = 125 - 10
    ASSERT_EQ(flow->Start(record, motor), SamplingFlow::StartResult::kStarted);
    EXPECT_EQ(record.moveTimeMs, 220);  // 115 × 1.92
    EXPECT_EQ(record.totalTimeMs, 576);
    EXPECT_EQ(record.waitTimeMs, 456);
    ASSERT_TRUE(scope.WaitForMessage(UM_SAMPLESTATE, 2, 5s));
    EXPECT_EQ(FeedPhases(), (std::vector<std::string>{"Sampling", "Transfering"}));
    const std::vector<Write> w = Writes();
    ASSERT_GE(w.size(), 4u);
    EXPECT_EQ(std::vector<Write>(w.begin(), w.begin() + 4),
              (std::vector<Write>{{112, 12, 2}, {113, 20, 2}, {114, 10, 2}, {115, -1, 2}}));
    ASSERT_TRUE(set);
    EXPECT_EQ(set->name, "Scope 1");
    EXPECT_EQ(set->setupLines, (std::vector<std::string>{"[Motor]", "Type=1"}));
    EXPECT_EQ(set->Channel(2)->startValue, MotorSim::Wave(2, 0));  // measured by the job
    EXPECT_EQ(FinishUpload(), 300);
    ExpectWaves(0);
}

TEST_F(SamplingFlowTest, FamilyOneSingleMoveWritesTheOtherChannelRegisters)
{
    Use(1);
    SSampleSettings record = Record(1, 200, kTriggerSingleMove);
    motor.mode = 2;
    ASSERT_EQ(flow->Start(record, motor), SamplingFlow::StartResult::kStarted);
    ASSERT_TRUE(scope.WaitForMessage(UM_SAMPLESTATE, 2, 5s));
    EXPECT_EQ(FeedPhases(), (std::vector<std::string>{"Sampling", "Transfering"}));
    const std::vector<Write> w = Writes();
    ASSERT_GE(w.size(), 4u);
    EXPECT_EQ(std::vector<Write>(w.begin(), w.begin() + 4),
              (std::vector<Write>{{158, 12, 2}, {159, 20, 2}, {160, 10, 2}, {161, -1, 2}}));
    EXPECT_EQ(FinishUpload(), 200);
    ExpectWaves(0);
}

TEST_F(SamplingFlowTest, FamilyTwoManualRunInAnyModeAndTheTabClosedDuringTheUpload)
{
    Use(2);
    SSampleSettings record = Record(2, 130, kTriggerManual);
    record.triggerPoint = 10;
    motor.mode = 0;  // not position mode: a manual trigger does not care
    ASSERT_EQ(flow->Start(record, motor), SamplingFlow::StartResult::kStarted);
    ASSERT_TRUE(scope.WaitForMessage(UM_SAMPLESTATE, 2, 5s));
    EXPECT_EQ(FeedPhases(), (std::vector<std::string>{"Sampling Pretrig data", "Sampling", "Transfering"}));
    const std::vector<Write> w = Writes();
    ASSERT_GE(w.size(), 4u);
    EXPECT_EQ(std::vector<Write>(w.begin(), w.begin() + 4),
              (std::vector<Write>{{112, 12, 2}, {113, 20, 2}, {114, 10, 2}, {115, 0, 2}}));
    EXPECT_EQ(set->TriggerPoint(), 10);
    const std::shared_ptr<TSampleSet> kept = set;
    set.reset();  // the tab is closed; the upload holds on
    EXPECT_EQ(FinishUpload(), 130);
    set = kept;
    ExpectWaves(-10);
}

TEST_F(SamplingFlowTest, WrongModeQueuesNothingAndAnAbortWhileWaitingMakesNoSet)
{
    Use(2);
    SSampleSettings record = Record(2, 64, kTriggerSingleMove);
    motor.mode = 1;
    EXPECT_EQ(flow->Start(record, motor), SamplingFlow::StartResult::kWrongMode);
    record.triggerType = kTriggerForwardBackward;
    EXPECT_EQ(flow->Start(record, motor), SamplingFlow::StartResult::kWrongMode);
    EXPECT_FALSE(flow->Busy());

    record.triggerType = kTriggerRegisterCondition;  // never holds: 50 > 100
    record.triggerRegister = 50;
    record.compareOperator = 2;
    record.compareRaw = 100;
    ASSERT_EQ(flow->Start(record, motor), SamplingFlow::StartResult::kStarted);
    ASSERT_TRUE(scope.WaitForMessage(UM_SAMPLESTATE, 1, 5s));
    int channelWrites = 0;
    for (const Write& w : Writes())
        channelWrites += w.reg >= 112 && w.reg <= 115;
    EXPECT_EQ(channelWrites, 4);  // only this start wrote the channel registers
    EXPECT_EQ(FeedPhases(), (std::vector<std::string>{"Sampling Pretrig data", "Waiting for trigger"}));
    flow->Abort();
    ASSERT_TRUE(scope.WaitForMessage(UM_SAMPLESTATE, 2, 5s));
    EXPECT_EQ(FeedPhases(), (std::vector<std::string>{""}));
    EXPECT_FALSE(set);
    EXPECT_EQ(flow->SetsMade(), 0);
    EXPECT_FALSE(flow->Busy());
    EXPECT_EQ(sim.Recordings(), 0);
}

TEST_F(SamplingFlowTest, NoSampleJobWithoutALink)
{
    Use(0);
    link->StopThread(2000);  // the thread is gone: the jobs are refused
    SSampleSettings record = Record(0, 100, kTriggerManual);
    EXPECT_EQ(flow->Start(record, motor), SamplingFlow::StartResult::kNotQueued);
    EXPECT_FALSE(flow->Busy());
}

// A run whose move the motor took without its reply coming back ends its
// entry, also when the user aborted it after the move, so the next run is not
// taken for it; the cut-off says whose it is. A link lost after the move says
// that the motor moved.
TEST_F(SamplingFlowTest, ARunCutOffAfterItsMoveEndsWithoutASet)
{
    Use(0);
    motor.mode = 2;
    motor.motion = {1000, 100, 0};
    sim.LoseWriteAcks(3, 1);
    const auto moved = [&] {
        const std::vector<Write> w = Writes();
        return std::any_of(w.begin(), w.end(), [](const Write& x) { return x.reg == 3; });
    };
    SSampleSettings record = Record(0, 50, kTriggerSingleMove);
    ASSERT_EQ(flow->Start(record, motor), SamplingFlow::StartResult::kStarted);
    for (int i = 0; i < 5000 && !moved(); ++i)
        usleep(1000);
    flow->Abort();
    ASSERT_TRUE(scope.WaitForMessage(UM_SAMPLESTATE, kPhaseCutOff, 5s));
    bool cutOff = false;
    bool abortedCutOff = false;
    for (const Message& m : scope.Take()) {
        const SamplingFlow::PhaseResult r = flow->OnSampleState(static_cast<int>(m.wParam), m.lParam, 600);
        cutOff = cutOff || r.cutOff;
        abortedCutOff = abortedCutOff || r.abortedCutOff;
    }
    EXPECT_TRUE(abortedCutOff);
    EXPECT_FALSE(cutOff);  // the aborted run's, not that of a run shown
    EXPECT_FALSE(flow->Busy());

    record = Record(0, 50, kTriggerForwardBackward);
    sim.ClearLog();
    ASSERT_EQ(flow->Start(record, motor), SamplingFlow::StartResult::kStarted);
    for (int i = 0; i < 5000 && !moved(); ++i)
        usleep(1000);
    ASSERT_TRUE(moved());
    EXPECT_TRUE(flow->LinkLost().moved);
    EXPECT_EQ(flow->SetsMade(), 0);
}
