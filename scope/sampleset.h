#pragma once
// Sample sets: one recorded sample run (or one read from a scope file) with up to
// four channels of raw samples, the motor values captured with it, its sample
// period, its zoom state and the motor's setup lines at the time of sampling.
//
// Sharing with the communication thread: a set is held by std::shared_ptr. The
// scope keeps one reference while its tab is open, the upload job another while
// it runs, so closing the tab during an upload cannot free the arrays under the
// job. Before the set is handed to a job, its sample count, trigger point and
// channels (count, wide flag, start value) are fixed; after that the job writes
// only the samples (SetSample) and the header (SetHeader), both safe to read from
// the GUI thread at the same time, and the GUI thread tells the job only the
// user's abort of its upload (AbortUpload). Everything else (name, zoom, scale,
// visibility, setup lines) belongs to the GUI thread.

#include "scope/samplesettings.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace quenor {

// Rounds a step size up to 1, 2 or 5 times a power of ten: 1 for a value of 0
// or less (or not a number); else with p = 10^ceil(log10(value)), 0.2 p if that
// exceeds the value, else 0.5 p if that exceeds it, else p.
double NiceStep(double value);

class SChannelData {
public:
    // A channel of count zero-filled samples (a negative count gives none).
    explicit SChannelData(std::int32_t count);
    // A channel of count samples that stores none of them yet: each reads 0
    // until LoadSamples gives it. A channel read from a file holds only what
    // the file gives, so the file's Count alone takes no memory.
    static std::unique_ptr<SChannelData> Unfilled(std::int32_t count);
    SChannelData(const SChannelData&) = delete;
    SChannelData& operator=(const SChannelData&) = delete;

    std::string name;   // register name (8-bit text)
    std::string unit;   // unit name (8-bit text)
    bool wide = false;  // 32-bit source register sampled as 16 bits
    std::int32_t startValue = 0;  // the source register's 32-bit value when recording started
    double Factor = 1.0;  // units per raw count
    double scale = 0.0;   // units per division, set by AutoScale
    bool visible = true;
    std::uint32_t Color = 0;  // 0x00BBGGRR
    // The motor's channel (0..3, the record's channel block) whose samples fill
    // this channel; -1: the channel's place in the set.
    int slot = -1;

    std::int32_t Count() const { return count_; }
    // The samples stored: Count() for a channel of the first constructor; the
    // samples from Held() to Count() - 1 read 0.
    std::int32_t Held() const { return held_; }
    // Raw sample i; 0 outside 0..Held()-1.
    std::int32_t Sample(std::int32_t i) const;
    // Stores raw sample i; false (and nothing stored) outside 0..Held()-1.
    bool SetSample(std::int32_t i, std::int32_t value);
    // Stores the given samples from sample 0 on, at most Count() of them; the
    // stored samples after them stay. Only while no job writes the channel.
    void LoadSamples(const std::vector<std::int32_t>& samples);
    // Sample i in units: raw × Factor.
    double Value(std::int32_t i) const { return Sample(i) * Factor; }
    std::vector<std::int32_t> Samples() const;

    // Scale (units per division) that makes the largest sample fit half the plot
    // height of halfHeight divisions, never finer than one raw count per pixel,
    // rounded by NiceStep and carrying Factor's sign.
    void AutoScale(double halfHeight, int pixelsPerDivision);

private:
    struct NoSamples {};
    SChannelData(std::int32_t count, NoSamples);

    std::int32_t count_;
    std::int32_t held_;
    std::unique_ptr<std::atomic<std::int32_t>[]> data_;
};

// Motor values captured with a set (written by the upload job).
struct SampleHeader {
    std::int32_t V_Soll = 0;   // register 5, raw
    std::int32_t A_Soll = 0;   // register 6, raw
    std::int32_t Scurve = 0;   // register 156 (family 1)
    std::int32_t T_Soll = 0;   // register 7, raw
    double Kvout = 0.0;        // register 13, scaled
    std::int32_t Revcounts = 4096;

    bool operator==(const SampleHeader&) const = default;
};

// The motor values of the information box, in display units.
struct SampleInfoValues {
    double velocity = 0.0;      // "Max velocity", RPM
    double acceleration = 0.0;  // "Acceleration", RPM/s
    bool hasTorqueAndLoad = false;  // families 0 and 1
    double torque = 0.0;        // "Torque", %
    double load = 0.0;          // "Load"
};

struct SampleInfoLine {
    std::string name;
    std::string value;  // formatted
    std::string unit;
};

struct ChannelTrace;
struct PlotArea;

enum SampleZoom : std::uint8_t { kZoomAll = 0, kZoomX1 = 1, kZoomX5 = 2 };

class TSampleSet {
public:
    static constexpr int kMaxChannels = kSampleChannels;

    TSampleSet() = default;
    TSampleSet(const TSampleSet&) = delete;
    TSampleSet& operator=(const TSampleSet&) = delete;

    // A new set for a finished sample run: name "Scope " and the number, one
    // channel of the family's sample count per record channel that has a source
    // register (name, unit, Factor, Color, wide flag and start value from its
    // block, visible), the family's sample period, the record's trigger point,
    // zoom all for the plot width. The setup lines are left for the caller.
    static std::shared_ptr<TSampleSet> FromSettings(const SSampleSettings& settings, int family,
                                                    int number, int plotWidth);

    // GUI-thread fields.
    std::string name;                     // tab caption, 8-bit text
    std::vector<std::string> setupLines;  // the motor's setup file when sampled
    double ZeroPoint = 0.5;               // zero line, fraction of the plot height from the top
    double SampleTime = 0.0;              // seconds per sample
    std::int32_t SampleDivider = 1;       // kept and stored only
    std::int32_t pixelStep = 0;           // pixels per drawing step
    std::int32_t samplesPerStep = 0;      // samples per drawing step
    std::uint8_t ZoomXType = kZoomAll;
    std::int32_t firstSample = 0;         // sample at the left edge

    // Fixed before the set is handed to a job.
    std::int32_t Count() const { return count_; }
    void SetCount(std::int32_t count) { count_ = count < 0 ? 0 : count; }
    std::int32_t TriggerPoint() const { return triggerPoint_; }
    void SetTriggerPoint(std::int32_t samples) { triggerPoint_ = samples; }

    // Appends a channel (channels keep the order in which they were added).
    // Returns the channel, or nullptr when the set already has four.
    SChannelData* AddChannel(std::unique_ptr<SChannelData> channel);
    int ChannelCount() const { return static_cast<int>(channels_.size()); }
    // Channel i, or nullptr when there is none.
    SChannelData* Channel(int i);
    const SChannelData* Channel(int i) const;

    // The user aborted the upload of this set: the job ends with the samples
    // read so far. It stops this set's upload only, never a later one.
    void AbortUpload() { uploadAborted_.store(true, std::memory_order_release); }
    bool UploadAborted() const { return uploadAborted_.load(std::memory_order_acquire); }

    // Motor values; safe to call from the job and the GUI thread at once.
    SampleHeader Header() const;
    void SetHeader(const SampleHeader& header);

    // 0 zoom all: the whole set fits plotWidth; 1 one sample per pixel; 2 one
    // sample per five pixels. A type above 2 counts as zoom all, a width below 1
    // as 1.
    void SetZoomType(int zoomType, int plotWidth);
    // Sample shown by the drawing step at pixel offset x.
    std::int32_t SampleIndexAt(std::int32_t x) const;

    // Information-box values for a motor family, and their lines
    // ("Max velocity", "Acceleration", and in families 0 and 1 "Torque", "Load").
    SampleInfoValues InfoValues(int family) const;
    std::vector<SampleInfoLine> InfoLines(int family) const;

    // The traces of the channels on a plot (scopeview.h). Every channel is
    // scaled (AutoScale); hidden channels get no trace.
    std::vector<ChannelTrace> LayoutChannels(const PlotArea& plot, int zeroRow,
                                                    std::uint32_t colour);

    // Scope files (scopefile.h, which reads them too). SaveToStrings appends
    // the set's block: every channel with Count() samples.
    void SaveToStrings(std::vector<std::string>& lines) const;

private:
    std::int32_t count_ = 0;
    std::int32_t triggerPoint_ = 0;
    std::vector<std::unique_ptr<SChannelData>> channels_;
    mutable std::mutex headerMutex_;
    SampleHeader header_;
    std::atomic<bool> uploadAborted_{false};
};

// A number rounded half away from zero to the given decimals, as text with '.'.
std::string FormatRounded(double value, int decimals);

}  // namespace quenor
