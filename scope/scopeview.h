#pragma once
// The geometry and texts of the scope view without a canvas: zero row, grid,
// scroll range, the channels' traces, the scale labels and the cursor readout.
// The form paints what these compute.

#include "scope/sampleset.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quenor {

constexpr int kPixelsPerDivision = 25;
constexpr int kGridDotStep = 5;
constexpr std::uint32_t kGridColour = 0x0000FF;       // red, 0x00BBGGRR
constexpr std::uint32_t kReferenceColour = 0xC0C0C0;  // silver
constexpr std::uint32_t kOwnColours = 0x1FFFFFFF;     // LayoutChannels: each channel its own colour
constexpr double kSampleTimeTolerance = 1e-10;

struct PlotArea {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct PlotPoint {
    int x = 0;
    int y = 0;
    bool operator==(const PlotPoint&) const = default;
};

// A vertical stroke at x from y1 to y2 (y1 <= y2): the spread of the samples
// that one drawing step covers.
struct PlotStroke {
    int x = 0;
    int y1 = 0;
    int y2 = 0;
};

struct ChannelTrace {
    std::uint32_t colour = 0;  // 0x00BBGGRR
    std::vector<PlotPoint> points;   // the polyline: one point per drawing step
    std::vector<PlotStroke> strokes; // only where a step covers several samples
};

// Zero row: height × zeroPoint, truncated; zeroPoint taken inside 0..1.
int ZeroRow(int height, double zeroPoint);

// Half the plot height in divisions and parts of one (366 pixels: 7.32).
double HalfHeightDivisions(int height);

// Pixel row of a value: top + zeroRow − value / scale × 25, rounded half away
// from zero; computed in doubles and kept within ±1,000,000 so that no
// conversion overflows (a value that is no number lies on the zero row).
int ValueRow(double value, double scale, int top, int zeroRow);

// The horizontal scroll bar counts divisions. Maximum 0 means disabled.
int ScrollMaximum(const TSampleSet& set, int width);
std::int32_t FirstSampleAt(const TSampleSet& set, int position);

// "175.0 ms/div"; "%.0f <unit>/div" for a channel.
std::string TimeScaleText(const TSampleSet& set);
std::string ChannelScaleText(const SChannelData& channel);

bool SameSampleTime(const TSampleSet& a, const TSampleSet& b);

// Cursor readout for a mouse at x; nothing when no sample is there.
struct CursorReadout {
    std::string time;  // "0.0" format, ms
    std::array<std::optional<std::string>, kSampleChannels> values;  // per channel, when it has sample i
    std::array<std::string, kSampleChannels> units;
};
std::optional<CursorReadout> ReadoutAt(const TSampleSet& set, int x);

// "<b × 100 / (w × 16)> %", empty for no samples.
std::string TransferRatioText(std::int64_t samples, std::int64_t bytes);

// The caption of a set's tab: its name, one longer than 48 characters cut to
// its first 45 and "...".
std::string TabCaption(const std::string& name);

}  // namespace quenor
