#include "scope/scopeview.h"

#include <algorithm>
#include <cmath>

namespace quenor {

namespace {
constexpr double kRowLimit = 1000000.0;
}

int ZeroRow(int height, double zeroPoint)
{
    if (std::isnan(zeroPoint))
        zeroPoint = 0.5;
    zeroPoint = std::clamp(zeroPoint, 0.0, 1.0);
    return static_cast<int>(std::trunc(std::max(height, 0) * zeroPoint));
}

double HalfHeightDivisions(int height)
{
    return static_cast<double>(std::max(height, 0)) / kPixelsPerDivision * 0.5;
}

int ValueRow(double value, double scale, int top, int zeroRow)
{
    const double offset = std::round(value / scale * kPixelsPerDivision);  // half away from zero
    double y = static_cast<double>(top) + zeroRow - offset;
    if (std::isnan(y))
        y = static_cast<double>(top) + zeroRow;
    return static_cast<int>(std::clamp(y, -kRowLimit, kRowLimit));
}

int ScrollMaximum(const TSampleSet& set, int width)
{
    const std::int64_t step = std::max(set.pixelStep, 1);
    const std::int64_t per = std::max(set.samplesPerStep, 1);
    const std::int64_t span = static_cast<std::int64_t>(set.Count()) * step / per - width;
    if (span <= 0)
        return 0;
    return static_cast<int>((span + kPixelsPerDivision - 1) / kPixelsPerDivision);
}

std::int32_t FirstSampleAt(const TSampleSet& set, int position)
{
    const std::int64_t step = std::max(set.pixelStep, 1);
    const std::int64_t per = std::max(set.samplesPerStep, 1);
    const std::int64_t first = static_cast<std::int64_t>(std::max(position, 0)) * kPixelsPerDivision * per / step;
    return static_cast<std::int32_t>(std::min<std::int64_t>(first, INT32_MAX));
}

std::vector<ChannelTrace> TSampleSet::LayoutChannels(const PlotArea& plot, int y0, std::uint32_t colour)
{
    std::vector<ChannelTrace> traces;
    const double half = HalfHeightDivisions(plot.height);
    const std::int64_t step = std::max(pixelStep, 1);
    const std::int64_t per = std::max(samplesPerStep, 1);
    for (const auto& ch : channels_) {
        ch->AutoScale(half, kPixelsPerDivision);
        if (!ch->visible)
            continue;
        ChannelTrace t;
        t.colour = colour == kOwnColours ? ch->Color : colour;
        const std::int64_t end = std::min(Count(), ch->Count());
        const double factor = ch->Factor;
        const double scale = ch->scale;
        t.points.reserve(static_cast<std::size_t>(plot.width / step + 1));
        for (std::int64_t x = 0; x < plot.width; x += step) {
            const std::int64_t i = x * per / step + firstSample;
            if (i < 0 || i >= end)
                continue;
            const int px = static_cast<int>(x) + plot.left;
            t.points.push_back({px, ValueRow(ch->Sample(static_cast<std::int32_t>(i)) * factor, scale, plot.top, y0)});
            // Only every per-th sample is a point; a stroke from the least to
            // the greatest sample of the step shows a spike between them.
            if (per > 1) {
                std::int32_t lo = ch->Sample(static_cast<std::int32_t>(i));
                std::int32_t hi = lo;
                const std::int64_t last = std::min(i + per, end);
                for (std::int64_t k = i + 1; k < last; ++k) {
                    const std::int32_t s = ch->Sample(static_cast<std::int32_t>(k));
                    lo = std::min(lo, s);
                    hi = std::max(hi, s);
                }
                if (lo != hi) {
                    const int ya = ValueRow(lo * factor, scale, plot.top, y0);
                    const int yb = ValueRow(hi * factor, scale, plot.top, y0);
                    t.strokes.push_back({px, std::min(ya, yb), std::max(ya, yb)});
                }
            }
        }
        traces.push_back(std::move(t));
    }
    return traces;
}

std::string TimeScaleText(const TSampleSet& set)
{
    const double step = std::max(set.pixelStep, 1);
    const double per = std::max(set.samplesPerStep, 1);
    return FormatRounded(kPixelsPerDivision * set.SampleTime * 1000.0 * per / step, 1) + " ms/div";
}

std::string ChannelScaleText(const SChannelData& channel)
{
    return FormatRounded(channel.scale, 0) + " " + channel.unit + "/div";
}

bool SameSampleTime(const TSampleSet& a, const TSampleSet& b)
{
    return std::fabs(a.SampleTime - b.SampleTime) < kSampleTimeTolerance;
}

std::optional<CursorReadout> ReadoutAt(const TSampleSet& set, int x)
{
    const std::int32_t i = set.SampleIndexAt(x);
    if (x < 0 || i < 0 || i >= set.Count())
        return std::nullopt;
    CursorReadout r;
    r.time = FormatRounded(i * set.SampleTime * 1000.0, 1);
    for (int c = 0; c < set.ChannelCount() && c < kSampleChannels; ++c) {
        const SChannelData* ch = set.Channel(c);
        if (i < ch->Count())
            r.values[c] = FormatRounded(ch->Value(i), 1);
        r.units[c] = ch->unit;
    }
    return r;
}

std::string TransferRatioText(std::int64_t samples, std::int64_t bytes)
{
    if (samples < 1)
        return {};
    return std::to_string(bytes * 100 / (samples * 16)) + " %";
}

std::string TabCaption(const std::string& name)
{
    constexpr std::size_t kLongest = 48;
    if (name.size() <= kLongest)
        return name;
    return name.substr(0, kLongest - 3) + "...";
}

}  // namespace quenor
