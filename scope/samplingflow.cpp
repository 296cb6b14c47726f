#include "scope/samplingflow.h"

#include "scope/scopeview.h"

namespace quenor {

SamplingFlow::SamplingFlow(ScopeLink& link, MessageTarget* window) : link_(link), window_(window) {}

SamplingFlow::StartResult SamplingFlow::Start(SSampleSettings& record, const ScopeMotor& motor)
{
    const bool move = record.triggerType == kTriggerSingleMove || record.triggerType == kTriggerForwardBackward;
    if (move && motor.mode != 2)
        return StartResult::kWrongMode;

    const SampleRunTimes t = ComputeRunTimes(record, motor.family, motor.motion);
    record.moveTimeMs = t.moveMs;
    record.waitTimeMs = t.waitMs;
    record.totalTimeMs = t.totalMs;
    record.preTriggerMs = t.preTriggerMs;

    for (int i = 0; i < kSampleChannels; ++i) {
        const std::int32_t value = ChannelSelectValue(motor.family, record.ChannelSource(i, motor.family));
        if (!link_.RequestWrite(ChannelSelectRegister(motor.family, i), value, 2))
            return StartResult::kNotQueued;
    }
    auto run = std::make_shared<SampleRun>(record, motor.family);
    if (!link_.RequestTestMove(window_, run))
        return StartResult::kNotQueued;
    runs_.push_back({std::move(run), false});
    return StartResult::kStarted;
}

void SamplingFlow::Abort()
{
    link_.StopTestMove();
    for (Run& r : runs_)
        r.aborted = true;
}

SamplingFlow::PhaseResult SamplingFlow::OnSampleState(int phase, int plotWidth)
{
    PhaseResult out;
    if (runs_.empty() || runs_.front().aborted) {
        if (phase == 2 && !runs_.empty())
            runs_.pop_front();
        return out;  // a run the user aborted, or a stray message
    }
    switch (phase) {
    case 1:
        out.state = kStateWaiting;
        break;
    case 3:
        out.state = kStateSampling;
        break;
    case 4:
        out.state = kStatePretrig;
        break;
    case 2: {
        const std::shared_ptr<SampleRun> run = runs_.front().run;
        runs_.pop_front();
        out.state = kStateTransfering;
        // Start values are read after the job reported the end of recording.
        out.set = TSampleSet::FromSettings(run->SettingsWithStartValues(), run->Family(), ++counter_, plotWidth);
        out.set->setupLines = link_.SetupLines();
        out.uploading = link_.RequestSampleUpload(window_, out.set);
        if (out.uploading)
            ++uploads_;
        break;
    }
    default:
        break;
    }
    return out;
}

std::string SamplingFlow::OnTransferDone(std::int64_t samples, std::int64_t bytes)
{
    if (uploads_ > 0)
        --uploads_;
    return TransferRatioText(samples, bytes);
}

}  // namespace quenor
