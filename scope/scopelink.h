#pragma once
// What the scope needs from the motor session: the register writes and the two
// sampling jobs of the communication thread, and the motor's setup lines for a
// new set. The session implements it over its communication thread; the scope
// never reaches the thread itself. An abort needs no request: the scope marks
// the run (SampleRun::Abort) or the set (TSampleSet::AbortUpload) that its job
// shares, and that job alone stops.

#include "platform/messages.h"
#include "scope/sampleset.h"
#include "scope/samplesettings.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quenor {

// The address of every motor on the line.
inline constexpr int kAllMotors = 255;

class ScopeLink {
public:
    virtual ~ScopeLink() = default;

    // Each request returns true when it was queued. A refused request has
    // already been reported to the user where that is the implementation's
    // part (a full request ring shows its error); the sampling jobs are also
    // refused while the link does not run. A write goes to the motor at
    // `address` (kAllMotors: every motor), whatever motor the window talks
    // to; the jobs go to that motor.
    virtual bool RequestWrite(int address, int reg, std::int32_t value, int width) = 0;
    // The jobs post UM_SAMPLESTATE and UM_TRANSFERDONE to window, which must
    // outlive them.
    virtual bool RequestTestMove(MessageTarget* window, std::shared_ptr<SampleRun> run) = 0;
    virtual bool RequestSampleUpload(MessageTarget* window, std::shared_ptr<TSampleSet> set) = 0;
    // The motor's setup file lines as they are now, kept with a new set.
    virtual std::vector<std::string> SetupLines() = 0;
};

}  // namespace quenor
