#include "scope/samplingflow.h"

#include "scope/scopeview.h"

#include <algorithm>

namespace quenor {

SamplingFlow::SamplingFlow(ScopeLink& link, MessageTarget* window) : link_(link), window_(window) {}

SamplingFlow::StartResult SamplingFlow::Start(SSampleSettings& record, const ScopeMotor& motor)
{
    // A run that no job records for would wait for an end that never comes.
    if (record.triggerType > kTriggerBitCondition)
        return StartResult::kTriggerNotBuilt;
    const bool move = record.triggerType == kTriggerSingleMove || record.triggerType == kTriggerForwardBackward;
    if (move && motor.mode != 2)
        return StartResult::kWrongMode;

    const SampleRunTimes t = ComputeRunTimes(record, motor.family, motor.motion);
    record.moveTimeMs = t.moveMs;
    record.waitTimeMs = t.waitMs;
    record.totalTimeMs = t.totalMs;
    record.preTriggerMs = t.preTriggerMs;

    // Every motor on the line samples the same registers.
    for (int i = 0; i < kSampleChannels; ++i) {
        const std::int32_t value = ChannelSelectValue(motor.family, record.ChannelSource(i, motor.family));
        if (!link_.RequestWrite(kAllMotors, ChannelSelectRegister(motor.family, i), value, 2))
            return StartResult::kNotQueued;
    }
    if (++runsStarted_ == 0)
        runsStarted_ = 1;  // 0 is no run's
    auto run = std::make_shared<SampleRun>(record, motor.family, runsStarted_);
    if (!link_.RequestTestMove(window_, run))
        return StartResult::kNotQueued;
    runs_.push_back(std::move(run));
    return StartResult::kStarted;
}

ScopeContents SamplingFlow::RunContents(const SSampleSettings& record, int family)
{
    ScopeContents c{1, 0};
    for (int i = 0; i < kSampleChannels; ++i)
        if (record.ChannelSource(i, family) >= 0)
            c.samples += record.SampleCount(family);
    return c;
}

void SamplingFlow::Abort()
{
    for (const auto& run : runs_)
        run->Abort();
    for (const auto& set : uploads_)
        set->AbortUpload();
}

SamplingFlow::PhaseResult SamplingFlow::OnSampleState(int phase, std::int64_t number, int plotWidth)
{
    PhaseResult out;
    const bool ends = phase == kPhaseDone || phase == kPhaseCutOff;
    const auto at = std::find_if(runs_.begin(), runs_.end(),
                                 [number](const auto& run) { return run->Number() == number; });
    if (at == runs_.end())
        return out;  // a stray message
    if ((*at)->Aborted()) {
        if (ends) {
            // An aborted run that was cut off after its move still says so,
            // as its own: a run started after it goes on.
            out.abortedCutOff = phase == kPhaseCutOff;
            runs_.erase(at);
        }
        return out;  // a run the user aborted
    }
    switch (phase) {
    case kPhaseWaiting:
        out.state = kStateWaiting;
        break;
    case kPhaseRecording:
        out.state = kStateSampling;
        break;
    case kPhasePretrigger:
        out.state = kStatePretrig;
        break;
    case kPhaseCutOff:
        runs_.erase(at);
        out.cutOff = true;
        break;
    case kPhaseDone: {
        const std::shared_ptr<SampleRun> run = *at;
        runs_.erase(at);
        // Start values are read after the job reported the end of recording.
        auto set = TSampleSet::FromSettings(run->SettingsWithStartValues(), run->Family(), counter_ + 1, plotWidth);
        set->setupLines = link_.SetupLines();
        if (!link_.RequestSampleUpload(window_, set)) {
            out.lost = true;  // no samples will come for it
            break;
        }
        ++counter_;
        out.state = kStateTransfering;
        uploads_.push_back(set);
        out.set = std::move(set);
        break;
    }
    default:
        break;
    }
    return out;
}

SamplingFlow::TransferResult SamplingFlow::OnTransferDone(std::int64_t samples, std::int64_t bytes)
{
    TransferResult out;
    out.ratio = TransferRatioText(samples, bytes);
    if (uploads_.empty())
        return out;
    std::shared_ptr<TSampleSet> set = std::move(uploads_.front());
    uploads_.pop_front();
    out.endsRun = !set->UploadAborted();
    if (samples < set->Count())
        out.incomplete = std::move(set);
    return out;
}

SamplingFlow::LostRuns SamplingFlow::LinkLost()
{
    LostRuns out;
    out.any = Busy();
    for (const auto& run : runs_)
        out.moved = out.moved || run->MoveSent();
    out.sets.assign(uploads_.begin(), uploads_.end());
    runs_.clear();
    uploads_.clear();
    return out;
}

}  // namespace quenor
