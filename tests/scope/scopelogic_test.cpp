// The scope's logic without widgets: run times, the setup dialog's values,
// time labels, list numbers, and the view's scales, rows and readout.

#include "program/vizuvekparameterlist.h"
#include "scope/samplesetup.h"
#include "scope/scopeview.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace quenor;

namespace {

SSampleSettings WithCount(int family, std::int32_t count, std::int32_t triggerPoint = 0)
{
    SSampleSettings s;
    s.SetSampleCount(family, count);
    s.triggerPoint = triggerPoint;
    return s;
}

}  // namespace

TEST(SampleRunTimes, PerFamilyAndAtTheEdges)
{
    struct Case {
        const char* what;
        int family;
        std::int32_t count;
        MotorMotion motion;
        std::int32_t triggerPoint;
        SampleRunTimes expected;  // move, wait, total, pre-trigger
    };
    const Case cases[] = {
        // n = 846, k = 10, m = 413: 792.96, 1720.32 and 1720.32 - 792 + 100.
        {"family 0 example", 0, 896, {1000, 100, 0}, 0, {792, 1028, 1720, 0}},
        {"no acceleration", 0, 896, {1000, 0, 0}, 0, {812, 1008, 1720, 0}},
        {"signs ignored", 0, 896, {-1000, -100, 0}, 0, {792, 1028, 1720, 0}},
        // n = 462, k = 2^3 + 10 = 18, m = 213; T = 1/770 s.
        {"family 1 with S-curve", 1, 512, {1000, 100, 3}, 100, {276, 488, 664, 129}},
        // A fast motor: k = 2^3 + 10000 / 10 exceeds n / 4: m = 115.
        {"family 1 velocity 10000, acceleration 10", 1, 512, {10000, 10, 3}, 0, {149, 615, 664, 0}},
        // A huge exponent makes k exceed n / 4: m = 115.
        {"family 1 large S-curve", 1, 512, {1000, 100, 40}, 0, {149, 615, 664, 0}},
        {"family 1 S-curve 5000", 1, 512, {0, 0, 5000}, 0, {149, 615, 664, 0}},
        // Whole milliseconds stay whole: m = 1831 - 500 = 1331.
        {"family 2", 2, 3712, {5000, 10, 0}, 50, {1331, 2481, 3712, 50}},
        // n = -20: no move, and nothing negative.
        {"under 50 samples", 0, 30, {1000, 100, 0}, 0, {0, 157, 57, 0}},
        {"one sample", 2, 1, {0, 0, 0}, 1, {0, 101, 1, 1}},
    };
    for (const Case& c : cases) {
        const SampleRunTimes t = ComputeRunTimes(WithCount(c.family, c.count, c.triggerPoint), c.family, c.motion);
        EXPECT_EQ(t.moveMs, c.expected.moveMs) << c.what;
        EXPECT_EQ(t.waitMs, c.expected.waitMs) << c.what;
        EXPECT_EQ(t.totalMs, c.expected.totalMs) << c.what;
        EXPECT_EQ(t.preTriggerMs, c.expected.preTriggerMs) << c.what;
    }
}

TEST(SampleSetupLogic, ListNumbersAndTimeLabels)
{
    const std::pair<const char*, int> numbers[] = {
        {"12 - Actual velocity", 12}, {"37", 37}, {" 7 - x", 7}, {"5 - 6 - x", 5}, {"None", -1},
        {"", -1}, {"abc - 5", -1}, {"12x", -1}, {"99999999999 - big", -1}, {"-1", -1},
    };
    for (const auto& [text, reg] : numbers)
        EXPECT_EQ(ParseListNumber(text), reg) << text;

    struct Labels {
        int family;
        std::int32_t count;
        int position;
        const char *total, *before, *after;
    };
    const Labels labels[] = {
        {1, 512, 0, "665 ms", "0 ms", "665 ms"},          // 664.9 ms rounded
        {0, 896, 50, "1720 ms", "860 ms", "860 ms"},      // 448 samples of 1.92 ms each side
        {2, 3712, 100, "3712 ms", "3712 ms", "0 ms"},
        {2, 0, 50, "1 ms", "1 ms", "0 ms"},               // at least one sample
    };
    for (const Labels& l : labels) {
        const SampleTimeLabels t = TimeLabels(l.count, l.position, l.family);
        EXPECT_EQ(t.total, l.total);
        EXPECT_EQ(t.before, l.before);
        EXPECT_EQ(t.after, l.after);
    }
}

TEST(SampleSetupLogic, RecordToControlsAndBack)
{
    CVekParameterList regs;
    regs.SelectMotorKind(0);
    SSampleSettings record;
    record.triggerPoint = 300;  // type 1 (the default) forces the trigger point to 0
    SampleSetupControls c = ControlsFromRecord(record, 0, regs);
    EXPECT_EQ(c.channels[0], "12 - Actual velocity");
    EXPECT_EQ(c.channels[1], "20 - Follow error");
    EXPECT_EQ(c.channels[2], "121 - Actual torque");
    EXPECT_EQ(c.channels[3], "None");
    EXPECT_EQ(c.maxSampleCount, 896);
    EXPECT_EQ(c.countStep, 56);
    EXPECT_EQ(c.trigPointPosition, 0);
    EXPECT_FALSE(c.trigPointEnabled);
    record.triggerType = kTriggerManual;
    c = ControlsFromRecord(record, 0, regs);
    EXPECT_EQ(c.trigPointPosition, 33);  // 300 × 100 / 896
    EXPECT_TRUE(c.trigPointEnabled);

    // Family 2: "None" and a non-number clear only this family's source; a bare
    // number takes the register's name and, without a unit, "Unit".
    regs.SelectMotorKind(2);
    c = ControlsFromRecord(record, 2, regs);
    c.channels = {"None", "37", "12 - Actual velocity", "abc"};
    c.compareValue = "letters";
    c.sampleCount = 3712;
    c.trigPointPosition = 30;
    record.channels[0].Factor = 2.5;
    ASSERT_EQ(ReadControlsInto(c, 2, regs, record), "");
    EXPECT_EQ(record.channels[0].source, (std::array<std::int32_t, 3>{12, 12, -1}));
    EXPECT_DOUBLE_EQ(record.channels[0].Factor, 2.5);  // kept for "None"
    EXPECT_EQ(record.channels[1].source[2], 37);
    EXPECT_EQ(record.channels[1].source[0], 20);
    EXPECT_EQ(record.channels[1].registerName, "Start mode");
    EXPECT_EQ(record.channels[1].unitName, "Unit");
    EXPECT_EQ(record.channels[2].source[2], 12);
    EXPECT_EQ(record.channels[3].source[2], -1);
    EXPECT_EQ(record.compareValue, 0.0);
    EXPECT_EQ(record.compareRaw, 0);
    EXPECT_EQ(record.triggerPoint, 1113);  // 3712 × 30 / 100
    EXPECT_EQ(record.triggerType, kTriggerManual);
    EXPECT_EQ(ControlsFromRecord(record, 2, regs).channels[1], "37 - Start mode");

    // Refusals leave the record as it was.
    const SSampleSettings before = record;
    SampleSetupControls bad = c;
    bad.distance = "12a";
    EXPECT_EQ(ReadControlsInto(bad, 2, regs, record), "'12a' is not a valid integer value");
    bad = c;
    bad.triggerRegister = "12";
    bad.compareValue = "1e300";  // far beyond 32 bits of raw counts
    EXPECT_NE(ReadControlsInto(bad, 2, regs, record), "");
    bad.compareValue = "-1e300";
    EXPECT_NE(ReadControlsInto(bad, 2, regs, record), "");
    EXPECT_EQ(record, before);
    bad.compareValue = "100";
    EXPECT_EQ(ReadControlsInto(bad, 2, regs, record), "");
    EXPECT_EQ(record.compareRaw, std::lround(100 / regs.GetUnitFactor(12, 0)));
}

TEST(ScopeView, ScalesScrollingRowsAndReadout)
{
    TSampleSet set;
    set.SetCount(3712);
    set.SampleTime = 0.001;
    auto* ch = set.AddChannel(std::make_unique<SChannelData>(3712));
    ch->Factor = -0.5;
    ch->unit = "V";
    ch->SetSample(10, 40);
    set.SetZoomType(kZoomAll, 600);  // 7 samples per pixel
    EXPECT_EQ(TimeScaleText(set), "175.0 ms/div");
    EXPECT_EQ(ScrollMaximum(set, 600), 0);
    set.SetZoomType(kZoomX5, 600);
    EXPECT_EQ(TimeScaleText(set), "5.0 ms/div");
    EXPECT_EQ(ScrollMaximum(set, 600), 719);  // (18560 - 600) / 25, rounded up
    EXPECT_EQ(FirstSampleAt(set, 2), 10);

    // Readout: sample 10 at x = 0 after scrolling two divisions.
    set.firstSample = 10;
    const auto r = ReadoutAt(set, 0);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->time, "10.0");
    EXPECT_EQ(r->values[0], "-20.0");
    EXPECT_EQ(r->units[0], "V");
    EXPECT_FALSE(r->values[1]);
    EXPECT_FALSE(ReadoutAt(set, 5 * 3702));  // beyond the last sample

    ch->AutoScale(HalfHeightDivisions(400), kPixelsPerDivision);  // at least 25 counts per division: 12.5 V -> 20
    EXPECT_EQ(ChannelScaleText(*ch), "-20 V/div");

    EXPECT_EQ(ZeroRow(401, 0.5), 200);
    EXPECT_EQ(ZeroRow(400, 7.0), 400);
    EXPECT_EQ(ZeroRow(400, std::nan("")), 200);
    EXPECT_EQ(ValueRow(10.0, 5.0, 3, 100), 53);
    EXPECT_EQ(ValueRow(-0.1, 1.0, 0, 100), 103);   // 2.5 rounds away from zero
    EXPECT_EQ(ValueRow(1e300, 1e-300, 0, 100), -1000000);
    EXPECT_EQ(ValueRow(std::nan(""), 1.0, 0, 100), 100);

    EXPECT_EQ(TransferRatioText(300, 960), "20 %");
    EXPECT_EQ(TransferRatioText(0, 5), "");
}

// The scale of a channel on the plot: its largest sample fits half the plot
// height, counted in divisions of 25 pixels and their parts; a plot need not
// be a whole number of divisions high, nor one division high at all.
struct ScaleCase {
    int height;           // plot height in pixels
    std::int32_t largest; // largest absolute raw sample
    double factor;        // units per raw count
    const char* text;     // the scale label
};

class ChannelScale : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(ChannelScale, FitsTheLargestSampleIntoHalfThePlot)
{
    const ScaleCase& c = GetParam();
    TSampleSet set;
    set.SetCount(3);
    auto* ch = set.AddChannel(std::make_unique<SChannelData>(3));
    ch->Factor = c.factor;
    ch->unit = "U";
    ch->SetSample(0, 7);
    ch->SetSample(1, -c.largest);  // the largest is taken whatever its sign
    ch->SetSample(2, c.largest / 2);
    set.SetZoomType(kZoomAll, 300);
    set.LayoutChannels(PlotArea{0, 0, 300, c.height}, c.height / 2, kOwnColours);
    EXPECT_EQ(ChannelScaleText(*ch), c.text) << c.height << " px, " << c.largest;
}

// 366 px are 7.32 divisions each way: 1,430 / 7.32 = 195.4 takes 200 per
// division, where 7 whole divisions (204.3) would take 500. 340 px (6.8
// divisions, 1,380 / 6.8 = 202.9) must not be taken as 7 (197.1). 24 px are
// 0.48 divisions: 100 / 0.48 = 208.3. A small plot and a small value still
// keep 25 counts per division at least (25 -> 50).
INSTANTIATE_TEST_SUITE_P(
    Plots, ChannelScale,
    ::testing::Values(ScaleCase{366, 1430, 1.0, "200 U/div"}, ScaleCase{366, 1430, 0.01, "2 U/div"},
                      ScaleCase{366, 1430, -0.5, "-100 U/div"}, ScaleCase{340, 1380, 1.0, "500 U/div"},
                      ScaleCase{349, 1380, 1.0, "200 U/div"}, ScaleCase{1010, 100000, 1.0, "5000 U/div"},
                      ScaleCase{24, 100, 1.0, "500 U/div"}, ScaleCase{24, 5, 1.0, "50 U/div"}),
    [](const ::testing::TestParamInfo<ScaleCase>& info) {
        return std::to_string(info.param.height) + "px_" + std::to_string(info.param.largest) + "_" +
               std::to_string(info.index);
    });
