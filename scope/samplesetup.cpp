#include "scope/samplesetup.h"

#include "platform/numtext.h"
#include "program/vizuvekparameterlist.h"
#include "scope/scopefile.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quenor {

namespace {

constexpr std::string_view kEntrySeparator = " - ";

// A double to a 32-bit integer: truncated toward zero, limited to the range.
std::int32_t TruncClamp(double v)
{
    if (std::isnan(v))
        return 0;
    v = std::trunc(v);
    v = std::clamp(v, static_cast<double>(std::numeric_limits<std::int32_t>::min()),
                   static_cast<double>(std::numeric_limits<std::int32_t>::max()));
    return static_cast<std::int32_t>(v);
}

std::string Ms(double ms) { return FormatRounded(ms, 0) + " ms"; }

std::optional<std::int32_t> ToInt32(std::string_view text)
{
    const auto v = ParseInteger(text);
    if (!v || *v < std::numeric_limits<std::int32_t>::min() || *v > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(*v);
}

}  // namespace

std::string NotAnIntegerText(std::string_view text)
{
    std::string m = "'";  // built front to back, see NotAFloatText
    m.append(text).append("' is not a valid integer value");
    return m;
}

std::string NotAFloatText(std::string_view text)
{
    // Built front to back: GCC 12 warns wrongly about a string inserted at its front.
    std::string m = "'";
    m.append(text).append("' is not a valid floating point value");
    return m;
}

int ParseListNumber(std::string_view text)
{
    if (const auto at = text.find(kEntrySeparator); at != std::string_view::npos)
        text = text.substr(0, at);
    const auto v = ParseInteger(text);
    if (!v || *v < std::numeric_limits<int>::min() || *v > std::numeric_limits<int>::max())
        return -1;
    return static_cast<int>(*v);
}

std::string ListTextOf(const std::vector<std::string>& entries, int reg)
{
    const std::string prefix = std::to_string(reg) + std::string(kEntrySeparator);
    for (const std::string& e : entries)
        if (e.starts_with(prefix))
            return e;
    return std::to_string(reg);
}

SampleSetupControls ControlsFromRecord(const SSampleSettings& record, int family,
                                       const CVekParameterList& registers)
{
    const SampleFamily& fam = SampleFamilyOf(family);
    const std::vector<std::string> list = registers.GetRegisterList(true);
    SampleSetupControls c;
    c.triggerType = std::min<int>(record.triggerType, kTriggerTypeCount - 1);
    c.distance = std::to_string(record.distance);
    c.maxDistance = std::to_string(record.maxDistance);
    c.edgeTriggered = record.edgeTriggered;
    for (int i = 0; i < kSampleChannels; ++i) {
        const std::int32_t src = record.ChannelSource(i, family);
        c.channels[i] = src >= 0 ? ListTextOf(list, src) : std::string("None");
        c.colors[i] = record.channels[i].Color;
    }
    c.triggerRegister = ListTextOf(list, record.triggerRegister);
    c.compareOperator = std::min<int>(record.compareOperator, kCompareOperatorCount - 1);
    c.compareValue = FormatGeneral(record.compareValue);
    c.maxSampleCount = fam.maxSamples;
    c.countStep = fam.countStep;
    c.sampleCount = record.SampleCount(family);
    c.trigPointPosition = static_cast<int>(
        std::clamp<std::int64_t>(static_cast<std::int64_t>(record.TriggerPointFor(family)) * kTrigPointMax
                                     / std::max(c.sampleCount, 1),
                                 0, kTrigPointMax));
    c.bitItem = std::clamp(record.bitItem, 0, kBitItemCount - 1);
    c.bitHigh = record.bitLevel;
    ApplyTriggerType(c);
    return c;
}

void ApplyTriggerType(SampleSetupControls& c)
{
    const bool move = c.triggerType == kTriggerSingleMove || c.triggerType == kTriggerForwardBackward;
    if (move)
        c.trigPointPosition = 0;
    c.trigPointEnabled = !move;
}

std::string ReadControlsInto(const SampleSetupControls& c, int family, const CVekParameterList& registers,
                             SSampleSettings& out)
{
    const int fam = IsValidSampleFamily(family) ? family : 0;
    SSampleSettings r = out;
    r.triggerType = static_cast<std::uint8_t>(std::clamp(c.triggerType, 0, kTriggerTypeCount - 1));
    const auto dist = ToInt32(c.distance);
    if (!dist)
        return NotAnIntegerText(c.distance);
    const auto maxDist = ToInt32(c.maxDistance);
    if (!maxDist)
        return NotAnIntegerText(c.maxDistance);
    r.distance = *dist;
    r.maxDistance = *maxDist;
    r.edgeTriggered = c.edgeTriggered;

    for (int i = 0; i < kSampleChannels; ++i) {
        SSampleChannel& ch = r.channels[i];
        int reg = ParseListNumber(c.channels[i]);
        if (reg > kHighestRegister)
            reg = kNoRegister;  // no such register on the wire
        ch.source[fam] = reg;
        ch.wide = false;
        if (reg >= 0) {
            ch.Factor = registers.GetUnitFactor(reg, 0);
            ch.unitName = registers.GetUnitName(reg, 0);
            if (ch.unitName.empty())
                ch.unitName = "Unit";
            ch.registerName = registers.GetRegisterName(reg);
            ch.wide = registers.IsLongRegister(reg) && (fam == 0 || fam == 2);
        }
    }

    r.triggerRegister = ParseListNumber(c.triggerRegister);
    r.compareOperator = static_cast<std::uint8_t>(std::clamp(c.compareOperator, 0, kCompareOperatorCount - 1));
    r.compareValue = ParseDouble(c.compareValue).value_or(0.0);
    if (!std::isfinite(r.compareValue))
        r.compareValue = 0.0;
    const double factor = registers.GetUnitFactor(r.triggerRegister, 0);
    const double raw = std::round(r.compareValue / factor);  // half away from zero
    if (!(raw >= std::numeric_limits<std::int32_t>::min() && raw <= std::numeric_limits<std::int32_t>::max()))
        return "The compare value " + FormatGeneral(r.compareValue) + " does not fit the register";
    r.compareRaw = static_cast<std::int32_t>(raw);
    r.triggerRegisterWide = registers.IsLongRegister(r.triggerRegister);

    r.SetSampleCount(fam, c.sampleCount);
    r.ApplyFamily(fam);
    r.bitItem = std::clamp(c.bitItem, 0, kBitItemCount - 1);
    r.bitLevel = c.bitHigh;
    const int pos = std::clamp(c.trigPointPosition, 0, kTrigPointMax);
    r.triggerPoint = static_cast<std::int32_t>(static_cast<std::int64_t>(r.SampleCount(fam)) * pos / kTrigPointMax);
    r.Clamp();
    out = std::move(r);
    return {};
}

SampleTimeLabels TimeLabels(std::int32_t sampleCount, int trigPointPosition, int family)
{
    const double period = SampleFamilyOf(family).samplePeriod;
    const std::int64_t count = std::max(sampleCount, 1);
    const int pos = std::clamp(trigPointPosition, 0, kTrigPointMax);
    const std::int64_t before = std::llround(static_cast<double>(count) * pos / kTrigPointMax);
    SampleTimeLabels l;
    l.total = Ms(count * period * 1000.0);
    l.before = Ms(before * period * 1000.0);
    l.after = Ms((count - before) * period * 1000.0);
    return l;
}

SampleRunTimes ComputeRunTimes(const SSampleSettings& record, int family, const MotorMotion& m)
{
    // Extended precision, so that a whole number of milliseconds (m × 0.001 × 1000)
    // is not truncated to the one below it.
    using real = long double;
    const int fam = IsValidSampleFamily(family) ? family : 0;
    const real period = SampleFamilyOf(fam).samplePeriod;
    const std::int64_t count = record.SampleCount(fam);
    const real ms = count * period * 1000;
    const std::int64_t n = count - 50;
    const std::int64_t a = m.acceleration < 0 ? -m.acceleration : m.acceleration;
    const std::int64_t v = m.velocity < 0 ? -m.velocity : m.velocity;
    real k = a != 0 ? static_cast<real>(v / a) : 0;
    if (fam == 1)  // 2^sCurve in floating point: a large exponent gives a large k, not an overflow
        k = std::trunc(std::ldexp(real{1}, static_cast<int>(std::clamp<std::int64_t>(m.sCurve, -1100, 1100))) + k);
    k = std::max(k, real{0});
    real steps = n / 4 >= k ? static_cast<real>(n / 2) - k : static_cast<real>(n / 4);
    steps = std::max(steps, real{0});  // under 50 samples there is no room for a move
    SampleRunTimes t;
    t.moveMs = TruncClamp(static_cast<double>(std::trunc(steps * period * 1000)));
    t.totalMs = TruncClamp(static_cast<double>(std::trunc(ms)));
    t.waitMs = std::max(TruncClamp(static_cast<double>(std::trunc(ms - t.moveMs + 100))), 0);
    t.preTriggerMs = std::max(TruncClamp(static_cast<double>(std::trunc(record.TriggerPointFor(fam) * period * 1000))), 0);
    return t;
}

}  // namespace quenor
