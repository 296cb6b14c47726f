#pragma once
// One sample run, from "&Start" to a filled set, without widgets: the run's
// times, the channel register writes, the test move, the phases reported by the
// job, the new set and its upload, and the abort. The scope form shows what the
// steps return (the state box, its texts, the new tab).

#include "scope/samplesetup.h"
#include "scope/scopefile.h"
#include "scope/scopelink.h"

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace quenor {

// The motor as the scope knows it from the register values the session passes on.
struct ScopeMotor {
    int family = 0;
    int mode = 0;  // register 2
    MotorMotion motion;
};

inline constexpr const char* kWrongModeCaption = "Wrong mode";
inline constexpr const char* kWrongModeText =
    "The motor must be in position mode before this type of sample can be started\n"
    "Please change to position mode and try again";
inline constexpr const char* kTriggerNotBuiltCaption = "Sampling";
// With the trigger type's caption.
inline constexpr const char* kTriggerNotBuiltText =
    "A sample run with the trigger type \"%1\" cannot be started.\n"
    "Choose another trigger type in Setup... and start again.";
inline constexpr const char* kStateWaiting = "Waiting for trigger";
inline constexpr const char* kStateSampling = "Sampling";
inline constexpr const char* kStatePretrig = "Sampling Pretrig data";
inline constexpr const char* kStateTransfering = "Transfering";
inline constexpr const char* kMotorMayHaveMovedText =
    "The motor may not be where it was before the run: check its position before you go on.";

class SamplingFlow {
public:
    SamplingFlow(ScopeLink& link, MessageTarget* window);

    enum class StartResult {
        kStarted,     // the state box opens with kStateWaiting
        kWrongMode,   // the "Wrong mode" box; nothing queued
        kTriggerNotBuilt,  // a trigger type that no job records for: nothing queued
        kNotQueued,   // the link refused a request; nothing to wait for
    };
    // Writes the run's times into the record, the channel registers and the
    // test move. The record is the dialog's (already read from its controls).
    StartResult Start(SSampleSettings& record, const ScopeMotor& motor);

    // What the set of a run with this record takes in the scope.
    static ScopeContents RunContents(const SSampleSettings& record, int family);

    // The user's abort: stops the jobs of the run under way and of any run
    // aborted before it that has not ended yet; a later "sampled" phase of
    // theirs is ignored. A run started afterwards is not touched by it.
    void Abort();

    // A phase of the run numbered `run` (the message's lParam); a phase of
    // no run under way is ignored. Only a run not aborted (the one whose
    // state box is open) shows anything: the state
    // text (empty for none); on phase 2 the new set, already handed to the
    // upload job. When the link did not take the upload, no set: the run is
    // lost. A run cut off after its move ends without a set too. An aborted
    // run ends quietly, unless it was cut off after its move: the motor may
    // not be where it was, and the run under way (if any) goes on.
    struct PhaseResult {
        std::string state;
        std::shared_ptr<TSampleSet> set;
        bool lost = false;
        bool cutOff = false;
        bool abortedCutOff = false;
    };
    PhaseResult OnSampleState(int phase, std::int64_t run, int plotWidth);

    // The upload's end: the text of lblTransDiff, and the set when fewer
    // samples came than it holds (an abort): it is no measurement. endsRun:
    // it was the upload of the run under way, which ends with it; the end of
    // an aborted upload leaves a newer run alone.
    struct TransferResult {
        std::string ratio;
        std::shared_ptr<TSampleSet> incomplete;
        bool endsRun = false;
    };
    TransferResult OnTransferDone(std::int64_t samples, std::int64_t bytes);

    // The link went away or restarted: the jobs queued on it are gone and
    // will report nothing. Whether a run or an upload was under way, and the
    // sets whose samples will not come.
    struct LostRuns {
        bool any = false;
        bool moved = false;  // a run's move had gone out: the motor may not be where it was
        std::vector<std::shared_ptr<TSampleSet>> sets;
    };
    LostRuns LinkLost();

    // A run or an upload is under way.
    bool Busy() const { return !runs_.empty() || !uploads_.empty(); }
    bool Uploading() const { return !uploads_.empty(); }
    int SetsMade() const { return counter_; }

private:
    ScopeLink& link_;
    MessageTarget* window_;
    // Test moves queued, oldest first; each ends with phase 2 or a cut-off
    // of its own number. Each carries its own abort: all but the newest were aborted.
    std::deque<std::shared_ptr<SampleRun>> runs_;
    std::uint32_t runsStarted_ = 0;  // numbers the runs
    std::deque<std::shared_ptr<TSampleSet>> uploads_;  // sets whose uploads run, oldest first
    int counter_ = 0;       // "Scope " numbers of this program run
};

}  // namespace quenor
