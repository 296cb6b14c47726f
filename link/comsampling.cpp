// The scope's jobs: the test move makes the motor record (waiting for the
// trigger the run asks for, moving the motor where the trigger type needs a
// move), the upload reads the recorded samples into a sample set. Both report
// to the scope's own message target.

#include "link/comthread.h"
#include "link/sampledecode.h"

#include <algorithm>

namespace quenor {

namespace {

enum : std::uint8_t { CMD_SAMPLES = 0x53 };

// A phase of a run, with the run's number.
void PostPhase(MessageTarget* window, const SampleRun& run, int phase)
{
    PostMessage(window, UM_SAMPLESTATE, phase, run.Number());
}

// The thread has been told to end: the job stops where it is.
void EndIfTerminated(ComThread& t)
{
    if (t.Terminated())
        throw SerAborted{};
}

bool Compare(std::int32_t v, int op, std::int32_t ref)
{
    switch (op) {
    case 0: return v == ref;
    case 1: return v != ref;
    case 2: return v > ref;
    case 3: return v < ref;
    default: return false;
    }
}

}  // namespace

bool ComThread::RequestTestMove(MessageTarget* window, std::shared_ptr<SampleRun> run)
{
    if (!run)
        return false;
    ComRequest r;
    r.handler = &ComThread::DoTestMove;
    r.window = window;
    r.run = std::move(run);
    return QueueIfLinked(std::move(r));
}

bool ComThread::RequestSampleUpload(MessageTarget* window, std::shared_ptr<TSampleSet> set)
{
    if (!set)
        return false;
    ComRequest r;
    r.handler = &ComThread::DoSampleUpload;
    r.window = window;
    r.set = std::move(set);
    return QueueIfLinked(std::move(r));
}

void ComThread::StartRecording(SampleRun& run)
{
    // The run is shared with the scope; only its start values change, and those are atomic.
    const int family = run.Family();
    for (int c = 0; c < kSampleChannels; ++c) {
        const std::int32_t src = run.ChannelSource(c);
        if (run.ChannelWide(c) && src >= 0)
            run.SetStartValue(c, ReadRegisterNow(src, true));
    }
    switch (family) {
    case 0:
        WriteRegisterNow(36, ReadRegisterNow(36, false) | 0xC0, false);
        break;
    case 1:
        WriteRegisterNow(36, ReadRegisterNow(36, true) | 3, true);
        break;
    default:
        WriteRegisterNow(117, 1, false);
        WriteRegisterNow(118, 1, false);
        WriteRegisterNow(118, 2, false);
        break;
    }
}

void ComThread::DoTestMove(ComThread& t, ComRequest& job)
{
    SampleRun& run = *job.run;
    const SSampleSettings& s = run.Settings();
    const int family = run.Family();
    MessageTarget* window = job.window;

    // A run whose move went out and whose job failed afterwards is not
    // started over: that would read the moved position and move again from
    // there. It ends here, after bringing a forward-and-backward motor back
    // to where the run found it (an absolute target, safe to send again).
    if (run.MoveSent()) {
        if (run.TriggerType() == kTriggerForwardBackward) {
            t.WriteRegisterNow(3, run.MoveOrigin(), true);
            t.ReturnSent();
        }
        PostPhase(window, run, kPhaseCutOff);
        return;
    }
    // A run the user aborted before its job began ends at once, as an
    // aborted trigger wait does: nothing recorded, nothing moved.
    if (run.Aborted()) {
        PostPhase(window, run, kPhaseDone);
        return;
    }
    if (family == 2)
        t.WriteRegisterNow(116, run.SampleCount() - run.TriggerPoint(), false);

    // Family 2 records the part before the trigger first.
    auto pretrigger = [&] {
        if (family != 2)
            return;
        t.WriteRegisterNow(118, 1, false);
        PostPhase(window, run, kPhasePretrigger);
        t.Sleep(s.preTriggerMs);
    };
    auto recordAndFinish = [&] {
        PostPhase(window, run, kPhaseRecording);
        t.StartRecording(run);
        t.Sleep(s.totalTimeMs);
    };

    // False when the run was aborted before its move: the motor stays where it is.
    const auto move = [&](std::int32_t p, std::int32_t by) {
        if (run.Aborted())
            return false;
        const auto target = static_cast<std::int32_t>(static_cast<std::uint32_t>(p) + static_cast<std::uint32_t>(by));
        // A motor moved forward is sent back before the program may end.
        if (run.TriggerType() == kTriggerForwardBackward)
            t.NoteReturnDue(std::int64_t{s.moveTimeMs} + s.waitTimeMs + t.JobTimeoutMs());
        run.NoteMove(p);  // from here on the write may have reached the motor
        t.WriteRegisterNow(3, target, true);
        return true;
    };

    switch (run.TriggerType()) {
    case kTriggerSingleMove: {
        PostPhase(window, run, kPhaseRecording);
        const std::int32_t p = t.ReadRegisterNow(3, true);
        t.StartRecording(run);
        if (move(p, s.distance))
            t.Sleep(s.totalTimeMs);
        PostPhase(window, run, kPhaseDone);
        break;
    }
    case kTriggerForwardBackward: {
        PostPhase(window, run, kPhaseRecording);
        const std::int32_t p = t.ReadRegisterNow(3, true);
        t.StartRecording(run);
        if (!move(p, s.maxDistance)) {
            PostPhase(window, run, kPhaseDone);
            break;
        }
        t.Sleep(s.moveTimeMs);
        t.WriteRegisterNow(3, p, true);
        t.ReturnSent();
        t.Sleep(s.waitTimeMs);
        PostPhase(window, run, kPhaseDone);
        break;
    }
    case kTriggerManual:
        pretrigger();
        recordAndFinish();
        PostPhase(window, run, kPhaseDone);
        break;
    case kTriggerRegisterCondition: {
        pretrigger();
        PostPhase(window, run, kPhaseWaiting);
        bool wasFalse = false;
        for (;;) {
            EndIfTerminated(t);
            if (run.Aborted())
                break;
            const std::int32_t v = t.ReadRegisterNow(s.triggerRegister, s.triggerRegisterWide);
            const bool holds = Compare(v, s.compareOperator, s.compareRaw);
            t.MarkAlive();
            if (holds && (!s.edgeTriggered || wasFalse))
                break;
            if (!holds)
                wasFalse = true;
        }
        if (!run.Aborted())
            recordAndFinish();
        PostPhase(window, run, kPhaseDone);
        break;
    }
    case kTriggerBitCondition: {
        const int bit = TriggerStatusBit(family, s.bitItem);
        for (;;) {
            EndIfTerminated(t);
            if (run.Aborted())
                break;
            if (bit < 0) {
                // No status bit for this item in this family: nothing can
                // fire, the wait lasts until the user aborts.
                t.MarkAlive();
                t.Sleep(10);
                continue;
            }
            const auto status = static_cast<std::uint32_t>(t.ReadRegisterNow(35, true));
            t.MarkAlive();
            if (static_cast<int>((status >> bit) & 1u) == (s.bitLevel ? 1 : 0))
                break;
        }
        if (!run.Aborted())
            recordAndFinish();
        PostPhase(window, run, kPhaseDone);
        break;
    }
    default:
        break;  // nothing is built for the module input/output trigger
    }
}

void ComThread::DoSampleUpload(ComThread& t, ComRequest& job)
{
    TSampleSet& set = *job.set;
    MessageTarget* window = job.window;
    const int family = std::clamp(t.MotorFamily(), 0, 2);
    const std::int32_t n = set.Count();

    SampleHeader h;
    const bool wideHeader = family == 1;
    h.V_Soll = t.ReadRegisterNow(5, wideHeader);
    h.A_Soll = t.ReadRegisterNow(6, wideHeader);
    h.T_Soll = t.ReadRegisterNow(7, wideHeader);
    const std::int32_t kv = t.ReadRegisterNow(13, wideHeader);
    if (family == 0) {
        h.Kvout = kv / 256.0;
    } else if (family == 1) {
        h.Scurve = t.ReadRegisterNow(156, true);
        h.Kvout = kv / 65536.0;
    } else {
        h.Kvout = kv;
    }
    h.Revcounts = family == 0 ? 4096 : family == 1 ? 8000 : 25600;
    set.SetHeader(h);

    // Each channel takes the values of the motor's channel it was recorded from.
    struct Target {
        SChannelData* channel;
        int slot;
        WideUnwrap unwrap;
    };
    std::vector<Target> targets;
    for (int i = 0; i < set.ChannelCount() && i < kSampleChannels; ++i) {
        SChannelData* ch = set.Channel(i);
        if (!ch || ch->Count() <= 0)
            continue;
        const int slot = ch->slot >= 0 && ch->slot < kSampleChannels ? ch->slot : i;
        targets.push_back(Target{ch, slot, WideUnwrap(ch->wide, ch->startValue)});
    }

    std::int64_t codeBytes = 0;
    std::int32_t samplesRead = 0;
    if (family != 2) {
        PostText(t.notify_, UM_PROGRESS, 0, 0, "Transferring");
        std::int32_t s = 0;
        for (; s < n && !set.UploadAborted(); ++s) {
            EndIfTerminated(t);
            t.frames_.SendFrame(CMD_SAMPLES, {t.Address()});
            t.port_.Receive(3 + 2 + 2);
            t.frames_.ReceiveExpected(CMD_SAMPLES);
            t.frames_.ReceiveExpected(CMD_SAMPLES);
            t.frames_.ReceiveExpected(CMD_SAMPLES);
            if (t.frames_.ReceiveByte() != 0)
                throw ComIntException{1};
            const int length = t.frames_.ReceiveByte();
            if (length > 100)
                throw ComIntException{1};
            std::array<std::uint8_t, 100> raw{};
            t.ReceiveFieldsBounded(length, raw);
            t.frames_.ReceiveFrameEnd();
            const bool words32 = length >= 16;
            for (Target& tg : targets) {
                const auto at = static_cast<std::size_t>(tg.slot * (words32 ? 4 : 2));
                std::int32_t value;
                if (words32) {
                    const std::uint32_t u = raw[at] | (raw[at + 1] << 8) | (raw[at + 2] << 16) |
                                            (static_cast<std::uint32_t>(raw[at + 3]) << 24);
                    value = tg.unwrap.Next32(static_cast<std::int32_t>(u));
                } else {
                    const auto u = static_cast<std::uint16_t>(raw[at] | (raw[at + 1] << 8));
                    value = tg.unwrap.Next16(static_cast<std::int16_t>(u));
                }
                codeBytes += tg.unwrap.LastCodeBytes();
                tg.channel->SetSample(s, value);
            }
            codeBytes += 1;
            if (s % 10 == 0) {
                PostText(t.notify_, UM_PROGRESS, static_cast<std::int64_t>(s) * 100 / n, 0, "Transferring");
                t.MarkAlive();
            }
        }
        samplesRead = s;
    } else {
        const std::int32_t trigger = set.TriggerPoint();
        std::int32_t remaining = n;
        std::int32_t position = 0;
        while (remaining > 0 && !set.UploadAborted()) {
            EndIfTerminated(t);
            const int k = std::min<std::int32_t>(64, remaining);
            const auto first = static_cast<std::uint16_t>(static_cast<std::int16_t>(position - trigger));
            t.frames_.SendFrame(CMD_SAMPLES, {t.Address(), static_cast<std::uint8_t>(first & 0xFF),
                                              static_cast<std::uint8_t>(first >> 8), static_cast<std::uint8_t>(k)});
            t.port_.Receive(3 + 2);
            t.frames_.ReceiveExpected(CMD_SAMPLES);
            t.frames_.ReceiveExpected(CMD_SAMPLES);
            t.frames_.ReceiveExpected(CMD_SAMPLES);
            if (t.frames_.ReceiveByte() != 0)
                throw ComIntException{1};
            // At most a tag and four 16-bit deltas per sample; the reply is
            // taken field by field as it comes.
            const std::vector<DeltaSample> block = DecodeDeltaBlock(k, [&t] {
                if (t.port_.InCount() < 2)
                    t.port_.ReceiveWaiting();
                return t.frames_.ReceiveByte();
            });
            t.frames_.ReceiveFrameEnd();
            for (int j = 0; j < k; ++j)
                for (Target& tg : targets)
                    tg.channel->SetSample(position + j,
                                          tg.unwrap.Next16(block[static_cast<std::size_t>(j)]
                                                                [static_cast<std::size_t>(tg.slot)]));
            remaining -= k;
            position += k;
            t.MarkAlive();
        }
        samplesRead = position;
    }
    PostText(t.notify_, UM_PROGRESS, 100, 0, "Transferring");
    PostMessage(window, UM_TRANSFERDONE, samplesRead, family == 2 ? 0 : codeBytes);
}

}  // namespace quenor
