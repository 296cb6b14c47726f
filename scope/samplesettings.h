#pragma once
// The sample settings record: what the motor records in a scope sample (up to
// four channels, the sample count, the trigger and its condition), kept as the
// binary settings value "SampleSetup" and read by the communication thread's
// sampling jobs.
//
// The stored form is a fixed 1072-byte little-endian layout. It is written and
// read field by field (ToBytes / FromBytes); the in-memory struct is never copied
// to or from bytes as a whole.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quenor {

class Settings;

constexpr int kSampleFamilies = 3;  // motor families 0, 1 and 2
constexpr int kSampleChannels = 4;

constexpr std::size_t kSampleSettingsSize = 1072;
constexpr std::uint32_t kSampleSettingsVersion = 18;
constexpr std::size_t kSampleChannelBlockSize = 240;
constexpr std::size_t kSampleNameSize = 100;  // char[100] in the record: at most 99 characters

// Settings value that holds the record.
inline constexpr const char* kSampleSetupValueName = "SampleSetup";

// A register number travels as one byte on the wire; -1 marks "no channel".
constexpr int kNoRegister = -1;
constexpr int kHighestRegister = 255;

enum SampleTriggerType : std::uint8_t {
    kTriggerSingleMove = 0,
    kTriggerForwardBackward = 1,
    kTriggerManual = 2,
    kTriggerRegisterCondition = 3,
    kTriggerBitCondition = 4,
    kTriggerModuleInputOutput = 5,  // offered but never built
};
constexpr int kTriggerTypeCount = 6;
constexpr int kBitItemCount = 10;
constexpr int kCompareOperatorCount = 4;

// Captions of the trigger types, the bit items and the compare operators, in
// the order of their stored index.
extern const std::array<const char*, kTriggerTypeCount> kTriggerTypeCaptions;
extern const std::array<const char*, kBitItemCount> kBitItemNames;
extern const std::array<const char*, kCompareOperatorCount> kCompareOperatorTexts;

// What differs between the motor families.
struct SampleFamily {
    double samplePeriod;        // seconds
    double samplesPerSecond;
    std::int32_t maxSamples;    // also the default sample count
    std::int32_t countStep;     // step of the sample-count up-down control
    int channelSelectBase;      // register 112 + i (or 158 + i) selects channel i's source
    std::int32_t revCounts;     // encoder counts per revolution
};

// The largest sample count of any family: the longest run the motor records.
inline constexpr std::int32_t kLargestSampleCount = 3712;

// The constants of a family; a family outside 0..2 gives family 0's.
const SampleFamily& SampleFamilyOf(int family);
bool IsValidSampleFamily(int family);

// Register that selects the source of channel (0..3) in the motor, and the value
// written there for a source register (family 2 takes 0 for "no channel").
int ChannelSelectRegister(int family, int channel);
std::int32_t ChannelSelectValue(int family, std::int32_t sourceRegister);

// One channel block of the record.
struct SSampleChannel {
    std::array<std::int32_t, kSampleFamilies> source{kNoRegister, kNoRegister, kNoRegister};
    double Factor = 1.0;       // units per raw count (unit 0 of the register)
    std::string unitName;      // 8-bit text, at most 99 characters
    std::string registerName;  // 8-bit text, at most 99 characters
    std::uint32_t Color = 0;   // 0x00BBGGRR
    bool wide = false;         // 32-bit source register sampled as 16 bits (families 0 and 2)
    std::int32_t startValue = 0;  // the source register's 32-bit value when recording started

    bool operator==(const SSampleChannel&) const = default;
};

struct SSampleSettings {
    std::array<SSampleChannel, kSampleChannels> channels = DefaultChannels();
    std::uint8_t triggerType = kTriggerForwardBackward;
    double totalSampleTime = 0.0;  // seconds: count of the current family × period
    double samplePeriod = 0.00192; // seconds, of the current family
    std::array<std::int32_t, kSampleFamilies> sampleCount{896, 512, 3712};
    std::int32_t maxSampleCount = 896;  // of the current family
    std::int32_t moveTimeMs = 0;        // written at every start
    std::int32_t waitTimeMs = 0;        // written at every start
    std::int32_t totalTimeMs = 0;       // written at every start
    std::int32_t distance = 10000;      // trigger type 0, counts
    std::int32_t maxDistance = 5000000; // trigger type 1, counts
    std::int32_t preTriggerMs = 0;      // written at every start
    std::int32_t triggerPoint = 0;      // samples recorded before the trigger
    bool edgeTriggered = false;
    bool bitLevel = false;              // true high, false low
    std::int32_t bitItem = 0;           // 0..9
    std::uint8_t compareOperator = 0;   // 0 "=", 1 "<>", 2 ">", 3 "<"
    double compareValue = 0.0;          // in the trigger register's unit
    std::int32_t compareRaw = 0;        // in raw register counts
    std::int32_t triggerRegister = 0;
    bool triggerRegisterWide = false;

    bool operator==(const SSampleSettings&) const = default;

    static std::array<SSampleChannel, kSampleChannels> DefaultChannels();

    // The 1072-byte stored form.
    std::vector<std::uint8_t> ToBytes() const;
    // Accepts only exactly 1072 bytes whose size field is 1072 and version 18;
    // the result is clamped (see Clamp).
    static std::optional<SSampleSettings> FromBytes(std::span<const std::uint8_t> bytes);

    // Brings every field that indexes or sizes something into the range the code
    // can use: trigger type 0..5, bit item 0..9, operator 0..3, registers to a
    // wire register (a channel source outside -1..255 becomes "no channel", a
    // trigger register outside 0..255 becomes 0), sample counts 1..the family's
    // maximum, the maximum count and the trigger point to the largest family
    // count, names to 99 characters, a sample period that cannot divide to
    // family 0's and a channel factor that is no finite number to 1. Values a
    // user may store (distances, compare values, colours, factors, times) stay
    // as they are.
    void Clamp();

    // Sets the current family's sample period, maximum count and total time.
    void ApplyFamily(int family);

    // The current-family views the jobs and the dialog use (family clamped to 0..2).
    std::int32_t SampleCount(int family) const;
    void SetSampleCount(int family, std::int32_t count);  // clamped to 1..maximum
    // The trigger point, never beyond the family's sample count.
    std::int32_t TriggerPointFor(int family) const;
    std::int32_t ChannelSource(int channel, int family) const;

    // Settings value "SampleSetup". Load returns false (and leaves *this alone)
    // when the value is missing or not an acceptable record.
    bool LoadFromSettings(const Settings& settings);
    void SaveToSettings(Settings& settings) const;
};

// UM_SAMPLESTATE's phases, as the test-move job reports them.
enum SamplePhase : int {
    kPhaseWaiting = 1,     // waiting for the trigger
    kPhaseDone = 2,        // the motor has finished recording
    kPhaseRecording = 3,
    kPhasePretrigger = 4,  // recording the part before the trigger
    // Ours: the motor stopped answering after the run's move went out; the
    // run ends without a set, and the motor may not be where it was.
    kPhaseCutOff = 5,
};

// One sample run as the communication thread's jobs see it: a copy of the
// record taken when the run starts (the dialog may change its own record
// meanwhile) and the family, plus the start values the recording job measures
// for the wide channels. The job writes the start values on its thread; the
// scope reads them after the job has reported that recording finished. Share it
// with std::shared_ptr so that it outlives whichever side ends first.
class SampleRun {
public:
    // number: what the job's phase messages carry (lParam), so that the
    // scope takes each end for its own run.
    SampleRun(const SSampleSettings& settings, int family, std::uint32_t number = 0);
    std::uint32_t Number() const { return number_; }

    const SSampleSettings& Settings() const { return settings_; }
    int Family() const { return family_; }

    std::int32_t SampleCount() const { return settings_.SampleCount(family_); }
    std::int32_t TriggerPoint() const { return settings_.TriggerPointFor(family_); }
    std::uint8_t TriggerType() const { return settings_.triggerType; }
    std::int32_t ChannelSource(int channel) const { return settings_.ChannelSource(channel, family_); }
    bool ChannelWide(int channel) const;

    // Start value of a channel (0..3); other channels are ignored / read 0.
    void SetStartValue(int channel, std::int32_t value);
    std::int32_t StartValue(int channel) const;

    // The record with the measured start values in its channel blocks.
    SSampleSettings SettingsWithStartValues() const;

    // The run's move is going out to the motor, from the position origin. A
    // run whose move went out is never started over: the motor would move
    // again, further than asked.
    void NoteMove(std::int32_t origin);
    bool MoveSent() const { return moveSent_.load(std::memory_order_acquire); }
    std::int32_t MoveOrigin() const { return origin_.load(std::memory_order_acquire); }

    // The user aborted this run: its job ends its trigger wait, and sends no
    // move that has not gone out yet. The abort is this run's alone; a run
    // started after it has its own.
    void Abort() { aborted_.store(true, std::memory_order_release); }
    bool Aborted() const { return aborted_.load(std::memory_order_acquire); }

private:
    const SSampleSettings settings_;
    const int family_;
    const std::uint32_t number_;
    std::array<std::atomic<std::int32_t>, kSampleChannels> startValues_;
    std::atomic<std::int32_t> origin_{0};
    std::atomic<bool> moveSent_{false};
    std::atomic<bool> aborted_{false};
};

}  // namespace quenor
