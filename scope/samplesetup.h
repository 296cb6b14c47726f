#pragma once
// The logic of the sample setup dialog: list entries to register numbers, the
// dialog's values to the settings record and back, the time labels, and the
// times of a sample run. The dialog only moves these values to and from its
// widgets.

#include "scope/samplesettings.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quenor {

class CVekParameterList;

// The register number of a list entry: the integer before the first " - ", or
// the whole text as an integer; -1 for anything that is not an integer ("None").
int ParseListNumber(std::string_view text);

// The entry of a list that begins with the number followed by " - ", or the
// bare number when no entry does.
std::string ListTextOf(const std::vector<std::string>& entries, int reg);

// What the dialog's controls hold (8-bit texts as typed).
struct SampleSetupControls {
    int triggerType = kTriggerForwardBackward;  // the checked radio button
    std::string distance;                        // edDist
    std::string maxDistance;                     // edMaxDist
    bool edgeTriggered = false;
    std::array<std::string, kSampleChannels> channels;  // combo texts ("None" for none)
    std::array<std::uint32_t, kSampleChannels> colors{};
    std::string triggerRegister;  // cbRegister text
    int compareOperator = 0;
    std::string compareValue;     // edValue
    std::int32_t sampleCount = 1; // udSampleTime position
    std::int32_t maxSampleCount = 1;
    std::int32_t countStep = 1;
    int trigPointPosition = 0;    // sbTrigPoint, 0..100
    bool trigPointEnabled = true;
    int bitItem = 0;
    bool bitHigh = false;
};

constexpr int kTrigPointMax = 100;

// Record to controls for a family. Channel and register texts are the matching
// entries of the family's readable register list (or the bare number).
SampleSetupControls ControlsFromRecord(const SSampleSettings& record, int family,
                                       const CVekParameterList& registers);

// Types 0 and 1 force the trigger point to 0 and disable its scroll bar.
void ApplyTriggerType(SampleSetupControls& controls);

// Controls to record for a family. Returns an empty text on success; otherwise
// the reason (a distance that is not an integer, a compare value whose raw
// count does not fit 32 bits) and the record is left as it was. Colours are not
// read here: the colour buttons set them in the record directly.
std::string ReadControlsInto(const SampleSetupControls& controls, int family,
                             const CVekParameterList& registers, SSampleSettings& record);

// The three time labels of the dialog, each "<ms> ms".
struct SampleTimeLabels {
    std::string total;
    std::string before;
    std::string after;
};
SampleTimeLabels TimeLabels(std::int32_t sampleCount, int trigPointPosition, int family);

// The motor values the run's times depend on.
struct MotorMotion {
    std::int64_t velocity = 0;      // register 5
    std::int64_t acceleration = 0;  // register 6
    std::int64_t sCurve = 0;        // register 156 (family 1)
};

struct SampleRunTimes {
    std::int32_t moveMs = 0;
    std::int32_t waitMs = 0;
    std::int32_t totalMs = 0;
    std::int32_t preTriggerMs = 0;
};

// The times written into the record at the start of a run; never negative.
SampleRunTimes ComputeRunTimes(const SSampleSettings& record, int family, const MotorMotion& motion);

// The class library's text for a number that does not convert.
std::string NotAnIntegerText(std::string_view text);
std::string NotAFloatText(std::string_view text);

}  // namespace quenor
