#include "scope/sampleset.h"

#include "platform/numtext.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace quenor {

namespace {

// Velocity and acceleration factors of family 2, whatever the sample period.
constexpr double kFamily2Velocity = 1.0;
constexpr double kFamily2Acceleration = 0.10482180293501049;
// Torque in percent per raw count: 100 / 1023, times 3.
constexpr double kTorquePerCount = 0.09775171065493646;

}  // namespace

double NiceStep(double value)
{
    if (!(value > 0.0) || !std::isfinite(value))
        return 1.0;
    const double p = std::pow(10.0, std::ceil(std::log10(value)));
    if (0.2 * p > value)
        return 0.2 * p;
    if (0.5 * p > value)
        return 0.5 * p;
    return p;
}

std::string FormatRounded(double value, int decimals)
{
    if (!std::isfinite(value))
        return FormatFixed(value, decimals);
    const double scale = std::pow(10.0, decimals);
    double r = std::round(value * scale) / scale;  // half away from zero
    if (r == 0.0)
        r = 0.0;  // no "-0"
    return FormatFixed(r, decimals);
}

// ---------------------------------------------------------------------------

SChannelData::SChannelData(std::int32_t count)
    : count_(count < 0 ? 0 : count),
      held_(count_),
      data_(std::make_unique<std::atomic<std::int32_t>[]>(static_cast<std::size_t>(count_)))  // zeroed
{
}

SChannelData::SChannelData(std::int32_t count, NoSamples) : count_(count < 0 ? 0 : count), held_(0) {}

std::unique_ptr<SChannelData> SChannelData::Unfilled(std::int32_t count)
{
    return std::unique_ptr<SChannelData>(new SChannelData(count, NoSamples{}));
}

std::int32_t SChannelData::Sample(std::int32_t i) const
{
    if (i < 0 || i >= held_)
        return 0;
    return data_[i].load(std::memory_order_relaxed);
}

bool SChannelData::SetSample(std::int32_t i, std::int32_t value)
{
    if (i < 0 || i >= held_)
        return false;
    data_[i].store(value, std::memory_order_relaxed);
    return true;
}

void SChannelData::LoadSamples(const std::vector<std::int32_t>& samples)
{
    const std::int32_t given =
        static_cast<std::int32_t>(std::min<std::size_t>(samples.size(), static_cast<std::size_t>(count_)));
    if (given > held_) {  // every stored sample is given again
        data_ = std::make_unique<std::atomic<std::int32_t>[]>(static_cast<std::size_t>(given));
        held_ = given;
    }
    for (std::int32_t i = 0; i < given; ++i)
        data_[i].store(samples[static_cast<std::size_t>(i)], std::memory_order_relaxed);
}

std::vector<std::int32_t> SChannelData::Samples() const
{
    std::vector<std::int32_t> out(static_cast<std::size_t>(count_));
    for (std::int32_t i = 0; i < count_; ++i)
        out[static_cast<std::size_t>(i)] = Sample(i);
    return out;
}

void SChannelData::AutoScale(double halfHeight, int pixelsPerDivision)
{
    double largest = 0.0;
    for (std::int32_t i = 0; i < held_; ++i)  // the samples after them are 0
        largest = std::max(largest, std::fabs(static_cast<double>(Sample(i))));
    const double f = std::fabs(Factor);
    double s = halfHeight > 0.0 ? f * largest / halfHeight : 0.0;
    // Never fewer raw counts per division than pixels.
    if (f > 0.0 && s / f / pixelsPerDivision < 1.0)
        s = f * pixelsPerDivision;
    s = NiceStep(s);
    scale = Factor < 0.0 ? -s : s;
}

// ---------------------------------------------------------------------------

std::shared_ptr<TSampleSet> TSampleSet::FromSettings(const SSampleSettings& settings, int family,
                                                     int number, int plotWidth)
{
    auto set = std::make_shared<TSampleSet>();
    set->name = "Scope " + std::to_string(number);
    const std::int32_t count = settings.SampleCount(family);
    set->SetCount(count);
    for (int i = 0; i < kSampleChannels; ++i) {
        if (settings.ChannelSource(i, family) < 0)
            continue;
        const SSampleChannel& block = settings.channels[i];
        auto ch = std::make_unique<SChannelData>(count);
        ch->name = block.registerName;
        ch->unit = block.unitName;
        ch->Factor = block.Factor;
        ch->Color = block.Color;
        ch->wide = block.wide;
        ch->startValue = block.startValue;
        ch->visible = true;
        ch->slot = i;
        set->AddChannel(std::move(ch));
    }
    set->SampleTime = SampleFamilyOf(family).samplePeriod;
    set->SetTriggerPoint(settings.TriggerPointFor(family));
    set->SetZoomType(kZoomAll, plotWidth);
    return set;
}

SChannelData* TSampleSet::AddChannel(std::unique_ptr<SChannelData> channel)
{
    if (!channel || channels_.size() >= static_cast<std::size_t>(kMaxChannels))
        return nullptr;
    channels_.push_back(std::move(channel));
    return channels_.back().get();
}

SChannelData* TSampleSet::Channel(int i)
{
    return i >= 0 && i < ChannelCount() ? channels_[static_cast<std::size_t>(i)].get() : nullptr;
}

const SChannelData* TSampleSet::Channel(int i) const
{
    return i >= 0 && i < ChannelCount() ? channels_[static_cast<std::size_t>(i)].get() : nullptr;
}

SampleHeader TSampleSet::Header() const
{
    std::lock_guard lock(headerMutex_);
    return header_;
}

void TSampleSet::SetHeader(const SampleHeader& header)
{
    std::lock_guard lock(headerMutex_);
    header_ = header;
}

void TSampleSet::SetZoomType(int zoomType, int plotWidth)
{
    const std::int32_t width = std::max(plotWidth, 1);
    switch (zoomType) {
    case kZoomX1:
        ZoomXType = kZoomX1;
        pixelStep = 1;
        samplesPerStep = 1;
        break;
    case kZoomX5:
        ZoomXType = kZoomX5;
        pixelStep = 5;
        samplesPerStep = 1;
        break;
    default:
        ZoomXType = kZoomAll;
        pixelStep = 1;
        samplesPerStep = std::max((count_ - 1) / width + 1, 1);  // an empty set still steps
        break;
    }
}

std::int32_t TSampleSet::SampleIndexAt(std::int32_t x) const
{
    const std::int64_t step = pixelStep > 0 ? pixelStep : 1;
    const std::int64_t per = samplesPerStep > 0 ? samplesPerStep : 1;
    const std::int64_t i = static_cast<std::int64_t>(x) * per / step + firstSample;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(i, INT32_MIN, INT32_MAX));
}

SampleInfoValues TSampleSet::InfoValues(int family) const
{
    const SampleHeader h = Header();
    double v = kFamily2Velocity;
    double a = kFamily2Acceleration;
    if (family != 2) {
        v = h.Revcounts * SampleTime * 16.0 / 60.0;
        a = v * SampleTime;
    }
    SampleInfoValues out;
    // A set without a sample period has no speed scale; show 0 rather than infinity.
    out.velocity = v != 0.0 ? h.V_Soll / v : 0.0;
    out.acceleration = a != 0.0 ? h.A_Soll / a : 0.0;
    out.hasTorqueAndLoad = family != 2;
    if (out.hasTorqueAndLoad) {
        out.torque = h.T_Soll * kTorquePerCount * 3.0;
        out.load = h.Kvout;
    }
    return out;
}

std::vector<SampleInfoLine> TSampleSet::InfoLines(int family) const
{
    const SampleInfoValues v = InfoValues(family);
    std::vector<SampleInfoLine> lines;
    lines.push_back({"Max velocity", FormatRounded(v.velocity, 0), "RPM"});
    lines.push_back({"Acceleration", FormatRounded(v.acceleration, 0), "RPM/s"});
    if (v.hasTorqueAndLoad) {
        lines.push_back({"Torque", FormatRounded(v.torque, 0), "%"});
        lines.push_back({"Load", FormatRounded(v.load, 1), ""});
    }
    return lines;
}

}  // namespace quenor
