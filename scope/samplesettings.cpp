#include "scope/samplesettings.h"

#include "platform/settings.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace quenor {

const std::array<const char*, kTriggerTypeCount> kTriggerTypeCaptions = {
    "Single move", "Forward and backward move", "Manual",
    "Register condition", "Bit condition", "VekMRP Input/Output"};

const std::array<const char*, kBitItemCount> kBitItemNames = {
    "In position", "Overload error", "Follow error", "Function error", "Regenerative overload",
    "Position limit", "Current peak", "Under voltage", "Low voltage", "Overspeed"};

const std::array<const char*, kCompareOperatorCount> kCompareOperatorTexts = {"=", "<>", ">", "<"};

namespace {

constexpr std::array<SampleFamily, kSampleFamilies> kFamilies = {{
    {0.00192, 520.83, 896, 56, 112, 4096},
    {1.0 / 770.0, 770.0, 512, 64, 158, 8000},
    {0.001, 1000.0, 3712, 116, 112, 25600},
}};

int ClampFamily(int family) { return IsValidSampleFamily(family) ? family : 0; }

constexpr std::int32_t LargestFamilyCount()
{
    std::int32_t m = 0;
    for (const auto& f : kFamilies)
        m = std::max(m, f.maxSamples);
    return m;
}
static_assert(LargestFamilyCount() == kLargestSampleCount);

// Little-endian field writer over a fixed buffer.
class Writer {
public:
    explicit Writer(std::vector<std::uint8_t>& buf) : buf_(buf) {}
    void U8(std::size_t at, std::uint8_t v) { buf_.at(at) = v; }
    void U32(std::size_t at, std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            buf_.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
    }
    void I32(std::size_t at, std::int32_t v) { U32(at, static_cast<std::uint32_t>(v)); }
    void F64(std::size_t at, double v)
    {
        const auto bits = std::bit_cast<std::uint64_t>(v);
        for (int i = 0; i < 8; ++i)
            buf_.at(at + i) = static_cast<std::uint8_t>(bits >> (8 * i));
    }
    // NUL-terminated text in a fixed field; longer text is cut to size - 1.
    void Text(std::size_t at, std::size_t size, const std::string& s)
    {
        const std::size_t n = std::min(s.size(), size - 1);
        for (std::size_t i = 0; i < size; ++i)
            buf_.at(at + i) = i < n ? static_cast<std::uint8_t>(s[i]) : 0;
    }

private:
    std::vector<std::uint8_t>& buf_;
};

class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> buf) : buf_(buf) {}
    std::uint8_t U8(std::size_t at) const { return buf_[at]; }
    std::uint32_t U32(std::size_t at) const
    {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<std::uint32_t>(buf_[at + i]) << (8 * i);
        return v;
    }
    std::int32_t I32(std::size_t at) const { return static_cast<std::int32_t>(U32(at)); }
    double F64(std::size_t at) const
    {
        std::uint64_t bits = 0;
        for (int i = 0; i < 8; ++i)
            bits |= static_cast<std::uint64_t>(buf_[at + i]) << (8 * i);
        return std::bit_cast<double>(bits);
    }
    // Up to the first NUL, and never more than size - 1 characters.
    std::string Text(std::size_t at, std::size_t size) const
    {
        std::string s;
        for (std::size_t i = 0; i + 1 < size && buf_[at + i] != 0; ++i)
            s.push_back(static_cast<char>(buf_[at + i]));
        return s;
    }

private:
    std::span<const std::uint8_t> buf_;
};

// Offsets of the stored record.
namespace off {
constexpr std::size_t size = 0, version = 4, channels = 8;
constexpr std::size_t triggerType = 968, totalTime = 976, period = 984, counts = 992;
constexpr std::size_t maxCount = 1004, moveTime = 1008, waitTime = 1012, totalTimeMs = 1016;
constexpr std::size_t distance = 1020, maxDistance = 1024, preTrigger = 1028, triggerPoint = 1032;
constexpr std::size_t edge = 1036, bitLevel = 1037, bitItem = 1040, compareOp = 1044;
constexpr std::size_t compareValue = 1048, compareRaw = 1056, triggerRegister = 1060;
constexpr std::size_t triggerWide = 1064;
// Within a channel block.
constexpr std::size_t chSource = 0, chFactor = 16, chUnit = 24, chName = 124, chColor = 224;
constexpr std::size_t chWide = 228, chStart = 232;
}  // namespace off

static_assert(off::channels + kSampleChannels * kSampleChannelBlockSize == off::triggerType);
static_assert(off::triggerWide + 8 == kSampleSettingsSize);
static_assert(off::chStart + 8 == kSampleChannelBlockSize);

std::string Cut(std::string s)
{
    if (s.size() > kSampleNameSize - 1)
        s.resize(kSampleNameSize - 1);
    if (const auto nul = s.find('\0'); nul != std::string::npos)
        s.resize(nul);
    return s;
}

}  // namespace

bool IsValidSampleFamily(int family) { return family >= 0 && family < kSampleFamilies; }

const SampleFamily& SampleFamilyOf(int family) { return kFamilies[ClampFamily(family)]; }

int ChannelSelectRegister(int family, int channel)
{
    return SampleFamilyOf(family).channelSelectBase + channel;
}

std::int32_t ChannelSelectValue(int family, std::int32_t sourceRegister)
{
    if (sourceRegister < 0)
        return ClampFamily(family) == 2 ? 0 : kNoRegister;
    return sourceRegister;
}

std::array<SSampleChannel, kSampleChannels> SSampleSettings::DefaultChannels()
{
    std::array<SSampleChannel, kSampleChannels> ch{};
    ch[0].source = {12, 12, 12};
    ch[0].Color = 0xFF0000;  // blue
    ch[1].source = {20, 20, kNoRegister};
    ch[1].Color = 0x008000;  // green
    ch[2].source = {121, 169, kNoRegister};
    ch[2].Color = 0x000000;  // black
    ch[3].source = {kNoRegister, kNoRegister, kNoRegister};
    ch[3].Color = 0x800080;  // purple
    return ch;
}

std::vector<std::uint8_t> SSampleSettings::ToBytes() const
{
    std::vector<std::uint8_t> buf(kSampleSettingsSize, 0);
    Writer w(buf);
    w.U32(off::size, static_cast<std::uint32_t>(kSampleSettingsSize));
    w.U32(off::version, kSampleSettingsVersion);
    for (int i = 0; i < kSampleChannels; ++i) {
        const SSampleChannel& c = channels[i];
        const std::size_t b = off::channels + kSampleChannelBlockSize * i;
        for (int f = 0; f < kSampleFamilies; ++f)
            w.I32(b + off::chSource + 4 * f, c.source[f]);
        w.F64(b + off::chFactor, c.Factor);
        w.Text(b + off::chUnit, kSampleNameSize, c.unitName);
        w.Text(b + off::chName, kSampleNameSize, c.registerName);
        w.U32(b + off::chColor, c.Color);
        w.U8(b + off::chWide, c.wide ? 1 : 0);
        w.I32(b + off::chStart, c.startValue);
    }
    w.U8(off::triggerType, triggerType);
    w.F64(off::totalTime, totalSampleTime);
    w.F64(off::period, samplePeriod);
    for (int f = 0; f < kSampleFamilies; ++f)
        w.I32(off::counts + 4 * f, sampleCount[f]);
    w.I32(off::maxCount, maxSampleCount);
    w.I32(off::moveTime, moveTimeMs);
    w.I32(off::waitTime, waitTimeMs);
    w.I32(off::totalTimeMs, totalTimeMs);
    w.I32(off::distance, distance);
    w.I32(off::maxDistance, maxDistance);
    w.I32(off::preTrigger, preTriggerMs);
    w.I32(off::triggerPoint, triggerPoint);
    w.U8(off::edge, edgeTriggered ? 1 : 0);
    w.U8(off::bitLevel, bitLevel ? 1 : 0);
    w.I32(off::bitItem, bitItem);
    w.U8(off::compareOp, compareOperator);
    w.F64(off::compareValue, compareValue);
    w.I32(off::compareRaw, compareRaw);
    w.I32(off::triggerRegister, triggerRegister);
    w.U8(off::triggerWide, triggerRegisterWide ? 1 : 0);
    return buf;
}

std::optional<SSampleSettings> SSampleSettings::FromBytes(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() != kSampleSettingsSize)
        return std::nullopt;
    const Reader r(bytes);
    if (r.U32(off::size) != kSampleSettingsSize || r.U32(off::version) != kSampleSettingsVersion)
        return std::nullopt;

    SSampleSettings s;
    for (int i = 0; i < kSampleChannels; ++i) {
        SSampleChannel& c = s.channels[i];
        const std::size_t b = off::channels + kSampleChannelBlockSize * i;
        for (int f = 0; f < kSampleFamilies; ++f)
            c.source[f] = r.I32(b + off::chSource + 4 * f);
        c.Factor = r.F64(b + off::chFactor);
        c.unitName = r.Text(b + off::chUnit, kSampleNameSize);
        c.registerName = r.Text(b + off::chName, kSampleNameSize);
        c.Color = r.U32(b + off::chColor);
        c.wide = r.U8(b + off::chWide) != 0;
        c.startValue = r.I32(b + off::chStart);
    }
    s.triggerType = r.U8(off::triggerType);
    s.totalSampleTime = r.F64(off::totalTime);
    s.samplePeriod = r.F64(off::period);
    for (int f = 0; f < kSampleFamilies; ++f)
        s.sampleCount[f] = r.I32(off::counts + 4 * f);
    s.maxSampleCount = r.I32(off::maxCount);
    s.moveTimeMs = r.I32(off::moveTime);
    s.waitTimeMs = r.I32(off::waitTime);
    s.totalTimeMs = r.I32(off::totalTimeMs);
    s.distance = r.I32(off::distance);
    s.maxDistance = r.I32(off::maxDistance);
    s.preTriggerMs = r.I32(off::preTrigger);
    s.triggerPoint = r.I32(off::triggerPoint);
    s.edgeTriggered = r.U8(off::edge) != 0;
    s.bitLevel = r.U8(off::bitLevel) != 0;
    s.bitItem = r.I32(off::bitItem);
    s.compareOperator = r.U8(off::compareOp);
    s.compareValue = r.F64(off::compareValue);
    s.compareRaw = r.I32(off::compareRaw);
    s.triggerRegister = r.I32(off::triggerRegister);
    s.triggerRegisterWide = r.U8(off::triggerWide) != 0;
    s.Clamp();
    return s;
}

void SSampleSettings::Clamp()
{
    if (triggerType >= kTriggerTypeCount)
        triggerType = kTriggerTypeCount - 1;
    bitItem = std::clamp(bitItem, 0, kBitItemCount - 1);
    if (compareOperator >= kCompareOperatorCount)
        compareOperator = kCompareOperatorCount - 1;
    if (triggerRegister < 0 || triggerRegister > kHighestRegister)
        triggerRegister = 0;
    for (SSampleChannel& c : channels) {
        for (std::int32_t& src : c.source)
            if (src < kNoRegister || src > kHighestRegister)
                src = kNoRegister;
        c.unitName = Cut(std::move(c.unitName));
        c.registerName = Cut(std::move(c.registerName));
        if (!std::isfinite(c.Factor))
            c.Factor = 1.0;  // raw counts: a scope file could not hold a factor that is no number
    }
    for (int f = 0; f < kSampleFamilies; ++f)
        sampleCount[f] = std::clamp(sampleCount[f], 1, kFamilies[f].maxSamples);
    const std::int32_t largest = LargestFamilyCount();
    maxSampleCount = std::clamp(maxSampleCount, 1, largest);
    triggerPoint = std::clamp(triggerPoint, 0, *std::max_element(sampleCount.begin(), sampleCount.end()));
    if (!std::isfinite(samplePeriod) || samplePeriod <= 0.0)
        samplePeriod = kFamilies[0].samplePeriod;
}

void SSampleSettings::ApplyFamily(int family)
{
    const SampleFamily& f = SampleFamilyOf(family);
    samplePeriod = f.samplePeriod;
    maxSampleCount = f.maxSamples;
    totalSampleTime = SampleCount(family) * samplePeriod;
}

std::int32_t SSampleSettings::SampleCount(int family) const
{
    const int f = ClampFamily(family);
    return std::clamp(sampleCount[f], 1, kFamilies[f].maxSamples);
}

void SSampleSettings::SetSampleCount(int family, std::int32_t count)
{
    const int f = ClampFamily(family);
    sampleCount[f] = std::clamp(count, 1, kFamilies[f].maxSamples);
}

std::int32_t SSampleSettings::TriggerPointFor(int family) const
{
    return std::clamp(triggerPoint, 0, SampleCount(family));
}

std::int32_t SSampleSettings::ChannelSource(int channel, int family) const
{
    if (channel < 0 || channel >= kSampleChannels)
        return kNoRegister;
    const std::int32_t src = channels[channel].source[ClampFamily(family)];
    return src < kNoRegister || src > kHighestRegister ? kNoRegister : src;
}

bool SSampleSettings::LoadFromSettings(const Settings& settings)
{
    const auto bytes = settings.ReadBinary(QString::fromLatin1(kSampleSetupValueName));
    if (!bytes)
        return false;
    auto loaded = FromBytes(*bytes);
    if (!loaded)
        return false;
    *this = std::move(*loaded);
    return true;
}

void SSampleSettings::SaveToSettings(Settings& settings) const
{
    settings.WriteBinary(QString::fromLatin1(kSampleSetupValueName), ToBytes());
}

namespace {
SSampleSettings Clamped(SSampleSettings s)
{
    s.Clamp();
    return s;
}
}  // namespace

SampleRun::SampleRun(const SSampleSettings& settings, int family, std::uint32_t number)
    : settings_(Clamped(settings)), family_(ClampFamily(family)), number_(number)
{
    for (int i = 0; i < kSampleChannels; ++i)
        startValues_[i].store(settings_.channels[i].startValue, std::memory_order_relaxed);
}

bool SampleRun::ChannelWide(int channel) const
{
    return channel >= 0 && channel < kSampleChannels && settings_.channels[channel].wide;
}

void SampleRun::SetStartValue(int channel, std::int32_t value)
{
    if (channel >= 0 && channel < kSampleChannels)
        startValues_[channel].store(value, std::memory_order_release);
}

std::int32_t SampleRun::StartValue(int channel) const
{
    if (channel < 0 || channel >= kSampleChannels)
        return 0;
    return startValues_[channel].load(std::memory_order_acquire);
}

void SampleRun::NoteMove(std::int32_t origin)
{
    origin_.store(origin, std::memory_order_release);
    moveSent_.store(true, std::memory_order_release);
}

SSampleSettings SampleRun::SettingsWithStartValues() const
{
    SSampleSettings s = settings_;
    for (int i = 0; i < kSampleChannels; ++i)
        s.channels[i].startValue = StartValue(i);
    return s;
}

}  // namespace quenor
