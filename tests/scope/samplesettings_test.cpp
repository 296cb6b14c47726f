#include "scope/samplesettings.h"

#include "platform/settings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <thread>

using namespace quenor;

namespace {

// Hand-built stored records, independent of the code's own writer.
void PutU32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void PutI32(std::vector<std::uint8_t>& b, std::size_t at, std::int32_t v)
{
    PutU32(b, at, static_cast<std::uint32_t>(v));
}
void PutF64(std::vector<std::uint8_t>& b, std::size_t at, double v)
{
    std::uint64_t bits;
    std::memcpy(&bits, &v, 8);
    for (int i = 0; i < 8; ++i)
        b[at + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}
std::uint32_t GetU32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
std::int32_t GetI32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return static_cast<std::int32_t>(GetU32(b, at));
}
double GetF64(const std::vector<std::uint8_t>& b, std::size_t at)
{
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits |= static_cast<std::uint64_t>(b[at + i]) << (8 * i);
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
}
std::size_t Ch(int i, std::size_t field) { return 8 + 240 * i + field; }

std::vector<std::uint8_t> EmptyRecord()
{
    std::vector<std::uint8_t> b(1072, 0);
    PutU32(b, 0, 1072);
    PutU32(b, 4, 18);
    return b;
}

// A record with every field in range and unlike its default.
SSampleSettings Unusual()
{
    SSampleSettings s;
    for (int i = 0; i < kSampleChannels; ++i) {
        SSampleChannel& c = s.channels[i];
        c.source = {10 + i, 100 + i, i == 3 ? kNoRegister : 200 + i};
        c.Factor = -0.0625 * (i + 1);
        c.unitName = "u\xB2" + std::to_string(i);
        c.registerName = std::string(99, static_cast<char>('a' + i));
        c.Color = 0x00ABCDEFu + i;
        c.wide = i % 2 == 0;
        c.startValue = -123456 * (i + 1);
    }
    s.triggerType = kTriggerBitCondition;
    s.totalSampleTime = 0.512;
    s.samplePeriod = 0.001;
    s.sampleCount = {100, 200, 300};
    s.maxSampleCount = 3712;
    s.moveTimeMs = 413;
    s.waitTimeMs = 1028;
    s.totalTimeMs = 1720;
    s.distance = -4000;
    s.maxDistance = 123456789;
    s.preTriggerMs = 77;
    s.triggerPoint = 150;
    s.edgeTriggered = true;
    s.bitLevel = true;
    s.bitItem = 9;
    s.compareOperator = 2;
    s.compareValue = -12.75;
    s.compareRaw = -204;
    s.triggerRegister = 35;
    s.triggerRegisterWide = true;
    return s;
}

}  // namespace

TEST(SampleFamilies, ConstantsAndChannelSelectRegisters)
{
    EXPECT_DOUBLE_EQ(SampleFamilyOf(0).samplePeriod, 0.00192);
    EXPECT_DOUBLE_EQ(SampleFamilyOf(1).samplePeriod, 0.0012987012987012987);
    EXPECT_DOUBLE_EQ(SampleFamilyOf(2).samplePeriod, 0.001);
    EXPECT_EQ(SampleFamilyOf(0).maxSamples, 896);
    EXPECT_EQ(SampleFamilyOf(1).maxSamples, 512);
    EXPECT_EQ(SampleFamilyOf(2).maxSamples, 3712);
    EXPECT_EQ(SampleFamilyOf(0).countStep, 56);
    EXPECT_EQ(SampleFamilyOf(1).countStep, 64);
    EXPECT_EQ(SampleFamilyOf(2).countStep, 116);
    EXPECT_EQ(SampleFamilyOf(1).revCounts, 8000);
    EXPECT_EQ(SampleFamilyOf(7).maxSamples, 896);  // unknown family reads as family 0

    EXPECT_EQ(ChannelSelectRegister(0, 0), 112);
    EXPECT_EQ(ChannelSelectRegister(2, 3), 115);
    EXPECT_EQ(ChannelSelectRegister(1, 0), 158);
    EXPECT_EQ(ChannelSelectRegister(1, 3), 161);
    // "None" writes -1 in families 0 and 1, 0 in family 2.
    EXPECT_EQ(ChannelSelectValue(0, kNoRegister), -1);
    EXPECT_EQ(ChannelSelectValue(1, kNoRegister), -1);
    EXPECT_EQ(ChannelSelectValue(2, kNoRegister), 0);
    EXPECT_EQ(ChannelSelectValue(2, 37), 37);
}

TEST(SampleSettingsRecord, DefaultsAtTheirStoredOffsets)
{
    const std::vector<std::uint8_t> b = SSampleSettings().ToBytes();
    ASSERT_EQ(b.size(), 1072u);
    EXPECT_EQ(GetU32(b, 0), 1072u);
    EXPECT_EQ(GetU32(b, 4), 18u);
    const std::int32_t sources[4][3] = {{12, 12, 12}, {20, 20, -1}, {121, 169, -1}, {-1, -1, -1}};
    const std::uint32_t colours[4] = {0xFF0000, 0x008000, 0x000000, 0x800080};
    for (int i = 0; i < 4; ++i) {
        for (int f = 0; f < 3; ++f)
            EXPECT_EQ(GetI32(b, Ch(i, 4 * f)), sources[i][f]) << i << "/" << f;
        EXPECT_EQ(GetU32(b, Ch(i, 224)), colours[i]) << i;
        EXPECT_EQ(b[Ch(i, 228)], 0);
        EXPECT_EQ(GetI32(b, Ch(i, 232)), 0);
    }
    EXPECT_EQ(b[968], 1);  // forward and backward move
    EXPECT_DOUBLE_EQ(GetF64(b, 976), 0.0);
    EXPECT_DOUBLE_EQ(GetF64(b, 984), 0.00192);
    EXPECT_EQ(GetI32(b, 992), 896);
    EXPECT_EQ(GetI32(b, 996), 512);
    EXPECT_EQ(GetI32(b, 1000), 3712);
    EXPECT_EQ(GetI32(b, 1004), 896);
    EXPECT_EQ(GetI32(b, 1020), 10000);
    EXPECT_EQ(GetI32(b, 1024), 5000000);
    EXPECT_EQ(GetI32(b, 1032), 0);
    EXPECT_EQ(GetI32(b, 1060), 0);
}

TEST(SampleSettingsRecord, PaddingIsZeroAndNamesAreTerminated)
{
    SSampleSettings s = Unusual();
    s.channels[1].unitName = std::string(150, 'x');  // longer than the field
    const std::vector<std::uint8_t> b = s.ToBytes();
    for (int i = 0; i < 4; ++i) {
        for (std::size_t o : {12u, 13u, 14u, 15u, 229u, 230u, 231u, 236u, 237u, 238u, 239u})
            EXPECT_EQ(b[Ch(i, o)], 0) << "channel " << i << " offset " << o;
        EXPECT_EQ(b[Ch(i, 24 + 99)], 0) << "unit name of channel " << i;
        EXPECT_EQ(b[Ch(i, 124 + 99)], 0) << "register name of channel " << i;
    }
    EXPECT_EQ(b[Ch(1, 24 + 98)], 'x');  // cut to 99 characters
    for (std::size_t o : {969u, 970u, 975u, 1038u, 1039u, 1045u, 1047u, 1065u, 1071u})
        EXPECT_EQ(b[o], 0) << "offset " << o;
}

TEST(SampleSettingsRecord, ReadsFieldsFromTheirOffsets)
{
    std::vector<std::uint8_t> b = EmptyRecord();
    PutI32(b, Ch(2, 0), 121);
    PutI32(b, Ch(2, 4), 169);
    PutI32(b, Ch(2, 8), 7);
    PutF64(b, Ch(2, 16), 0.0625);
    std::memcpy(&b[Ch(2, 24)], "RPM", 3);
    std::memcpy(&b[Ch(2, 124)], "Actual torque", 13);
    PutU32(b, Ch(2, 224), 0x00112233);
    b[Ch(2, 228)] = 1;
    PutI32(b, Ch(2, 232), -70000);
    b[968] = 3;
    PutF64(b, 976, 1.72);
    PutF64(b, 984, 0.00192);
    PutI32(b, 992, 800);
    PutI32(b, 996, 256);
    PutI32(b, 1000, 1000);
    PutI32(b, 1004, 896);
    PutI32(b, 1008, 11);
    PutI32(b, 1012, 12);
    PutI32(b, 1016, 13);
    PutI32(b, 1020, -500);
    PutI32(b, 1024, 600);
    PutI32(b, 1028, 14);
    PutI32(b, 1032, 200);
    b[1036] = 1;
    b[1037] = 1;
    PutI32(b, 1040, 6);
    b[1044] = 1;
    PutF64(b, 1048, 2.5);
    PutI32(b, 1056, 40);
    PutI32(b, 1060, 12);
    b[1064] = 1;

    const auto s = SSampleSettings::FromBytes(b);
    ASSERT_TRUE(s.has_value());
    const SSampleChannel& c = s->channels[2];
    EXPECT_EQ(c.source, (std::array<std::int32_t, 3>{121, 169, 7}));
    EXPECT_DOUBLE_EQ(c.Factor, 0.0625);
    EXPECT_EQ(c.unitName, "RPM");
    EXPECT_EQ(c.registerName, "Actual torque");
    EXPECT_EQ(c.Color, 0x00112233u);
    EXPECT_TRUE(c.wide);
    EXPECT_EQ(c.startValue, -70000);
    EXPECT_EQ(s->channels[0].source, (std::array<std::int32_t, 3>{0, 0, 0}));
    EXPECT_EQ(s->triggerType, kTriggerRegisterCondition);
    EXPECT_DOUBLE_EQ(s->totalSampleTime, 1.72);
    EXPECT_DOUBLE_EQ(s->samplePeriod, 0.00192);
    EXPECT_EQ(s->sampleCount, (std::array<std::int32_t, 3>{800, 256, 1000}));
    EXPECT_EQ(s->maxSampleCount, 896);
    EXPECT_EQ(s->moveTimeMs, 11);
    EXPECT_EQ(s->waitTimeMs, 12);
    EXPECT_EQ(s->totalTimeMs, 13);
    EXPECT_EQ(s->distance, -500);
    EXPECT_EQ(s->maxDistance, 600);
    EXPECT_EQ(s->preTriggerMs, 14);
    EXPECT_EQ(s->triggerPoint, 200);
    EXPECT_TRUE(s->edgeTriggered);
    EXPECT_TRUE(s->bitLevel);
    EXPECT_EQ(s->bitItem, 6);
    EXPECT_EQ(s->compareOperator, 1);
    EXPECT_DOUBLE_EQ(s->compareValue, 2.5);
    EXPECT_EQ(s->compareRaw, 40);
    EXPECT_EQ(s->triggerRegister, 12);
    EXPECT_TRUE(s->triggerRegisterWide);
}

TEST(SampleSettingsRecord, RoundTripKeepsEveryField)
{
    const SSampleSettings s = Unusual();
    const auto back = SSampleSettings::FromBytes(s.ToBytes());
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, s);
    EXPECT_EQ(back->ToBytes(), s.ToBytes());

    const auto defaults = SSampleSettings::FromBytes(SSampleSettings().ToBytes());
    ASSERT_TRUE(defaults.has_value());
    EXPECT_EQ(*defaults, SSampleSettings());
}

TEST(SampleSettingsRecord, RejectsWrongSizesAndVersions)
{
    const std::vector<std::uint8_t> good = Unusual().ToBytes();
    ASSERT_TRUE(SSampleSettings::FromBytes(good).has_value());

    std::vector<std::uint8_t> longer = good;
    longer.push_back(0);
    EXPECT_FALSE(SSampleSettings::FromBytes(longer).has_value());
    std::vector<std::uint8_t> shorter(good.begin(), good.end() - 1);
    EXPECT_FALSE(SSampleSettings::FromBytes(shorter).has_value());
    EXPECT_FALSE(SSampleSettings::FromBytes({}).has_value());

    std::vector<std::uint8_t> version = good;
    PutU32(version, 4, 17);
    EXPECT_FALSE(SSampleSettings::FromBytes(version).has_value());
    PutU32(version, 4, 19);
    EXPECT_FALSE(SSampleSettings::FromBytes(version).has_value());

    std::vector<std::uint8_t> sizeField = good;
    PutU32(sizeField, 0, 1068);
    EXPECT_FALSE(SSampleSettings::FromBytes(sizeField).has_value());
}

TEST(SampleSettingsRecord, ClampsFieldsThatWouldIndexOutOfRange)
{
    std::vector<std::uint8_t> b = Unusual().ToBytes();
    b[968] = 200;                       // trigger type
    PutI32(b, 1040, 42);                // bit item
    b[1044] = 9;                        // operator
    PutI32(b, Ch(0, 0), 300);           // channel registers
    PutI32(b, Ch(0, 4), -7);
    PutI32(b, Ch(0, 8), 255);
    PutI32(b, Ch(1, 0), INT32_MIN);
    PutI32(b, 1060, 256);               // trigger register
    PutI32(b, 992, 5000);               // counts
    PutI32(b, 996, 0);
    PutI32(b, 1000, -3);
    PutI32(b, 1004, 100000);
    PutI32(b, 1032, 99999);             // trigger point
    PutF64(b, 984, std::nan(""));       // period
    PutF64(b, Ch(0, 16), std::nan(""));  // factors that are no number
    PutF64(b, Ch(1, 16), -HUGE_VAL);
    std::memset(&b[Ch(3, 24)], 'U', 100);   // unit name without its NUL
    std::memset(&b[Ch(3, 124)], 'N', 100);  // register name without its NUL

    const auto s = SSampleSettings::FromBytes(b);
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(s->triggerType, 5);
    EXPECT_EQ(s->bitItem, 9);
    EXPECT_EQ(s->compareOperator, 3);
    EXPECT_EQ(s->channels[0].source, (std::array<std::int32_t, 3>{-1, -1, 255}));
    EXPECT_EQ(s->channels[1].source[0], -1);
    EXPECT_EQ(s->triggerRegister, 0);
    EXPECT_EQ(s->sampleCount, (std::array<std::int32_t, 3>{896, 1, 1}));
    EXPECT_EQ(s->maxSampleCount, 3712);
    EXPECT_EQ(s->triggerPoint, 896);  // the largest stored count
    EXPECT_DOUBLE_EQ(s->samplePeriod, 0.00192);
    EXPECT_EQ(s->channels[0].Factor, 1.0);  // a scope file could not hold them
    EXPECT_EQ(s->channels[1].Factor, 1.0);
    EXPECT_EQ(s->channels[3].unitName, std::string(99, 'U'));
    EXPECT_EQ(s->channels[3].registerName, std::string(99, 'N'));

    // Values a user may store stay as they are.
    const SSampleSettings u = Unusual();
    EXPECT_EQ(s->distance, u.distance);
    EXPECT_EQ(s->maxDistance, u.maxDistance);
    EXPECT_DOUBLE_EQ(s->compareValue, u.compareValue);
    EXPECT_EQ(s->compareRaw, u.compareRaw);
    EXPECT_EQ(s->channels[2].Factor, u.channels[2].Factor);
    EXPECT_EQ(s->channels[2].Color, u.channels[2].Color);
    EXPECT_EQ(s->channels[2].startValue, u.channels[2].startValue);
    EXPECT_EQ(s->moveTimeMs, u.moveTimeMs);

    // Negative values of the signed index fields.
    PutI32(b, 1040, -1);
    PutI32(b, 1032, -5);
    PutI32(b, 1060, -1);
    const auto n = SSampleSettings::FromBytes(b);
    ASSERT_TRUE(n.has_value());
    EXPECT_EQ(n->bitItem, 0);
    EXPECT_EQ(n->triggerPoint, 0);
    EXPECT_EQ(n->triggerRegister, 0);
}

TEST(SampleSettingsRecord, FamilyViewsStayInRange)
{
    SSampleSettings s;
    s.sampleCount = {100, 9999, 0};  // as set by code, not loaded
    s.triggerPoint = 300;
    EXPECT_EQ(s.SampleCount(0), 100);
    EXPECT_EQ(s.SampleCount(1), 512);
    EXPECT_EQ(s.SampleCount(2), 1);
    EXPECT_EQ(s.TriggerPointFor(0), 100);
    EXPECT_EQ(s.TriggerPointFor(1), 300);
    s.SetSampleCount(2, 5000);
    EXPECT_EQ(s.sampleCount[2], 3712);
    s.SetSampleCount(1, 0);
    EXPECT_EQ(s.sampleCount[1], 1);

    s.channels[1].source = {20, 400, kNoRegister};
    EXPECT_EQ(s.ChannelSource(1, 0), 20);
    EXPECT_EQ(s.ChannelSource(1, 1), kNoRegister);
    EXPECT_EQ(s.ChannelSource(4, 0), kNoRegister);

    s.sampleCount[1] = 512;
    s.ApplyFamily(1);
    EXPECT_DOUBLE_EQ(s.samplePeriod, 1.0 / 770.0);
    EXPECT_EQ(s.maxSampleCount, 512);
    EXPECT_NEAR(s.totalSampleTime * 1000, 664.935, 0.001);  // 512 / 770 s
}

TEST(SampleSettingsRecord, SettingsValueLoadsOnlyAnAcceptableRecord)
{
    Settings settings;
    settings.Remove(QStringLiteral("SampleSetup"));
    SSampleSettings s;
    EXPECT_FALSE(s.LoadFromSettings(settings));  // missing: defaults stay
    EXPECT_EQ(s, SSampleSettings());

    const SSampleSettings u = Unusual();
    u.SaveToSettings(settings);
    settings.Sync();
    const auto stored = Settings().ReadBinary(QStringLiteral("SampleSetup"));
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->size(), 1072u);
    EXPECT_TRUE(s.LoadFromSettings(Settings()));
    EXPECT_EQ(s, u);

    // Another version or size in the store leaves the record in memory alone.
    std::vector<std::uint8_t> old = *stored;
    PutU32(old, 4, 17);
    settings.WriteBinary(QStringLiteral("SampleSetup"), old);
    SSampleSettings d;
    EXPECT_FALSE(d.LoadFromSettings(settings));
    EXPECT_EQ(d, SSampleSettings());
    settings.WriteBinary(QStringLiteral("SampleSetup"), std::vector<std::uint8_t>(1000, 0));
    EXPECT_FALSE(d.LoadFromSettings(settings));
    EXPECT_EQ(d, SSampleSettings());
    settings.Remove(QStringLiteral("SampleSetup"));
}

TEST(SampleRun, CopiesTheRecordAndCarriesStartValuesAcrossThreads)
{
    SSampleSettings dialog = Unusual();
    dialog.channels[0].source[1] = 999;  // out of range, set by code
    dialog.triggerPoint = 5000;
    auto run = std::make_shared<SampleRun>(dialog, 1);
    EXPECT_EQ(run->Family(), 1);
    EXPECT_EQ(run->SampleCount(), 200);
    EXPECT_EQ(run->TriggerPoint(), 200);
    EXPECT_EQ(run->ChannelSource(0), kNoRegister);
    EXPECT_EQ(run->ChannelSource(1), 101);
    EXPECT_TRUE(run->ChannelWide(0));
    EXPECT_FALSE(run->ChannelWide(1));
    EXPECT_FALSE(run->ChannelWide(4));
    EXPECT_EQ(run->TriggerType(), kTriggerBitCondition);

    // Later edits of the dialog's record do not reach the run.
    dialog.triggerType = kTriggerManual;
    EXPECT_EQ(run->TriggerType(), kTriggerBitCondition);

    std::thread job([job_run = run] {
        job_run->SetStartValue(0, 0x00012000);
        job_run->SetStartValue(2, -5);
        job_run->SetStartValue(7, 1);  // ignored
    });
    job.join();
    const SSampleSettings withStart = run->SettingsWithStartValues();
    EXPECT_EQ(withStart.channels[0].startValue, 0x00012000);
    EXPECT_EQ(withStart.channels[1].startValue, Unusual().channels[1].startValue);
    EXPECT_EQ(withStart.channels[2].startValue, -5);
    EXPECT_EQ(run->StartValue(7), 0);

    EXPECT_EQ(SampleRun(SSampleSettings(), 9).Family(), 0);
}
