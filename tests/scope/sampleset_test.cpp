#include "scope/sampleset.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <future>
#include <thread>

using namespace quenor;

TEST(NiceStep, RoundsUpToOneTwoOrFive)
{
    EXPECT_DOUBLE_EQ(NiceStep(0.3), 0.5);
    EXPECT_DOUBLE_EQ(NiceStep(0.15), 0.2);
    EXPECT_DOUBLE_EQ(NiceStep(0.6), 1.0);
    EXPECT_DOUBLE_EQ(NiceStep(1.0), 1.0);
    EXPECT_DOUBLE_EQ(NiceStep(0.0), 1.0);
    EXPECT_DOUBLE_EQ(NiceStep(-4.0), 1.0);
    EXPECT_DOUBLE_EQ(NiceStep(std::nan("")), 1.0);
    EXPECT_DOUBLE_EQ(NiceStep(INFINITY), 1.0);
    EXPECT_DOUBLE_EQ(NiceStep(12.0), 20.0);
    EXPECT_DOUBLE_EQ(NiceStep(25.0), 50.0);
    EXPECT_DOUBLE_EQ(NiceStep(50.0), 100.0);
    EXPECT_DOUBLE_EQ(NiceStep(7000.0), 10000.0);
}

TEST(ChannelData, ZeroFilledAndBoundedToItsCount)
{
    SChannelData c(5);
    EXPECT_EQ(c.Count(), 5);
    EXPECT_EQ(c.Samples(), (std::vector<std::int32_t>(5, 0)));
    EXPECT_TRUE(c.SetSample(4, -9));
    EXPECT_FALSE(c.SetSample(5, 1));
    EXPECT_FALSE(c.SetSample(-1, 1));
    EXPECT_EQ(c.Sample(4), -9);
    EXPECT_EQ(c.Sample(5), 0);
    EXPECT_EQ(c.Sample(-1), 0);
    c.Factor = 0.5;
    EXPECT_DOUBLE_EQ(c.Value(4), -4.5);

    SChannelData none(-3);
    EXPECT_EQ(none.Count(), 0);
    EXPECT_TRUE(none.Samples().empty());
}

TEST(ChannelData, AutoScaleFitsTheLargestSample)
{
    // 300-pixel plot at 25 pixels per division: half height 6 divisions.
    const double h = 300 / 25 * 0.5;

    // All zero: the minimum scale |Factor| × 25, rounded (25 -> 50), never zero.
    SChannelData zero(10);
    zero.Factor = 1.0;
    zero.AutoScale(h, 25);
    EXPECT_DOUBLE_EQ(zero.scale, 50.0);
    zero.Factor = -1.0;  // the trace keeps its sign
    zero.AutoScale(h, 25);
    EXPECT_DOUBLE_EQ(zero.scale, -50.0);

    // 0.0625 × 3200 / 6 = 33.3 units per division -> 50.
    SChannelData c(3);
    c.Factor = 0.0625;
    c.SetSample(0, 100);
    c.SetSample(1, -3200);
    c.SetSample(2, 3000);
    c.AutoScale(h, 25);
    EXPECT_DOUBLE_EQ(c.scale, 50.0);

    // The most negative raw value does not overflow: 2^31 / 6 = 357913941 -> 5e8.
    SChannelData big(1);
    big.Factor = 1.0;
    big.SetSample(0, INT32_MIN);
    big.AutoScale(h, 25);
    EXPECT_DOUBLE_EQ(big.scale, 5e8);

    // No factor and no height still give a usable scale.
    SChannelData flat(2);
    flat.Factor = 0.0;
    flat.SetSample(0, 7);
    flat.AutoScale(h, 25);
    EXPECT_DOUBLE_EQ(flat.scale, 1.0);
    c.AutoScale(0.0, 25);
    EXPECT_TRUE(std::isfinite(c.scale));
    EXPECT_GT(c.scale, 0.0);
}

TEST(SampleSet, ZoomTypesAndSampleIndex)
{
    TSampleSet s;
    s.SetCount(896);
    s.SetZoomType(kZoomAll, 600);
    EXPECT_EQ(s.ZoomXType, kZoomAll);
    EXPECT_EQ(s.pixelStep, 1);
    EXPECT_EQ(s.samplesPerStep, 2);
    s.SetCount(3712);
    s.SetZoomType(kZoomAll, 600);
    EXPECT_EQ(s.samplesPerStep, 7);
    s.SetCount(600);
    s.SetZoomType(kZoomAll, 600);
    EXPECT_EQ(s.samplesPerStep, 1);
    s.SetCount(601);
    s.SetZoomType(kZoomAll, 600);
    EXPECT_EQ(s.samplesPerStep, 2);

    s.SetZoomType(kZoomX1, 600);
    EXPECT_EQ(s.pixelStep, 1);
    EXPECT_EQ(s.samplesPerStep, 1);
    s.SetZoomType(kZoomX5, 600);
    EXPECT_EQ(s.ZoomXType, kZoomX5);
    EXPECT_EQ(s.pixelStep, 5);
    EXPECT_EQ(s.samplesPerStep, 1);
    s.firstSample = 100;
    EXPECT_EQ(s.SampleIndexAt(12), 102);

    // Degenerate input: an empty set, no width, an unknown type.
    TSampleSet e;
    EXPECT_EQ(e.SampleIndexAt(3), 3);  // before any zoom
    e.SetZoomType(kZoomAll, 0);
    EXPECT_EQ(e.samplesPerStep, 1);
    e.SetCount(10);
    e.SetZoomType(9, 4);
    EXPECT_EQ(e.ZoomXType, kZoomAll);
    EXPECT_EQ(e.samplesPerStep, 3);
}

TEST(SampleSet, AtMostFourChannelsInTheOrderAdded)
{
    TSampleSet s;
    for (int i = 0; i < 4; ++i) {
        auto c = std::make_unique<SChannelData>(3);
        c->name = "ch" + std::to_string(i);
        ASSERT_NE(s.AddChannel(std::move(c)), nullptr);
    }
    EXPECT_EQ(s.AddChannel(std::make_unique<SChannelData>(3)), nullptr);
    EXPECT_EQ(s.AddChannel(nullptr), nullptr);
    EXPECT_EQ(s.ChannelCount(), 4);
    EXPECT_EQ(s.Channel(0)->name, "ch0");
    EXPECT_EQ(s.Channel(3)->name, "ch3");
    EXPECT_EQ(s.Channel(4), nullptr);
    EXPECT_EQ(s.Channel(-1), nullptr);
}

TEST(SampleSet, DefaultsOfANewSet)
{
    TSampleSet s;
    EXPECT_TRUE(s.name.empty());
    EXPECT_TRUE(s.setupLines.empty());
    EXPECT_EQ(s.Count(), 0);
    EXPECT_EQ(s.ChannelCount(), 0);
    EXPECT_DOUBLE_EQ(s.ZeroPoint, 0.5);
    EXPECT_EQ(s.SampleDivider, 1);
    EXPECT_EQ(s.Header().Revcounts, 4096);
    EXPECT_EQ(s.Header().V_Soll, 0);
}

TEST(SampleSet, InformationBoxValuesPerFamily)
{
    TSampleSet s;
    s.SampleTime = 0.00192;
    SampleHeader h;
    h.V_Soll = 1000;
    h.A_Soll = 100;
    h.T_Soll = 1023;
    h.Kvout = 12.34;
    h.Revcounts = 4096;
    s.SetHeader(h);

    // v = 4096 × 0.00192 × 16 / 60 = 2.097152; a = v × 0.00192.
    const auto lines = s.InfoLines(0);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].name, "Max velocity");
    EXPECT_EQ(lines[0].value, "477");  // 476.84
    EXPECT_EQ(lines[0].unit, "RPM");
    EXPECT_EQ(lines[1].name, "Acceleration");
    EXPECT_EQ(lines[1].value, "24835");  // 24835.27
    EXPECT_EQ(lines[1].unit, "RPM/s");
    EXPECT_EQ(lines[2].name, "Torque");
    EXPECT_EQ(lines[2].value, "300");
    EXPECT_EQ(lines[2].unit, "%");
    EXPECT_EQ(lines[3].name, "Load");
    EXPECT_EQ(lines[3].value, "12.3");
    EXPECT_EQ(lines[3].unit, "");

    // Family 2: fixed factors, no torque or load.
    const auto two = s.InfoLines(2);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0].value, "1000");
    EXPECT_EQ(two[1].value, "954");  // 100 / 0.10482...

    // A set read without its sample time shows 0, not infinity.
    TSampleSet blank;
    blank.SetHeader(h);
    EXPECT_EQ(blank.InfoLines(1)[0].value, "0");
}

TEST(SampleSet, FormatRoundsHalfAwayFromZero)
{
    EXPECT_EQ(FormatRounded(2.5, 0), "3");
    EXPECT_EQ(FormatRounded(-2.5, 0), "-3");
    EXPECT_EQ(FormatRounded(-0.4, 0), "0");
    EXPECT_EQ(FormatRounded(0.25, 1), "0.3");
    EXPECT_EQ(FormatRounded(664.935, 0), "665");
}

TEST(SampleSet, NewSetFromASampleRun)
{
    SSampleSettings rec;  // defaults: channels 12, 20, 121 in family 0
    rec.channels[0].registerName = "Actual velocity";
    rec.channels[0].unitName = "RPM";
    rec.channels[0].Factor = 0.0625;
    rec.channels[1].wide = true;
    rec.channels[1].startValue = 0x00012000;
    rec.triggerPoint = 100;

    auto s = TSampleSet::FromSettings(rec, 0, 3, 600);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->name, "Scope 3");
    EXPECT_EQ(s->Count(), 896);
    ASSERT_EQ(s->ChannelCount(), 3);
    EXPECT_EQ(s->Channel(0)->name, "Actual velocity");
    EXPECT_EQ(s->Channel(0)->unit, "RPM");
    EXPECT_DOUBLE_EQ(s->Channel(0)->Factor, 0.0625);
    EXPECT_EQ(s->Channel(0)->Color, 0xFF0000u);
    EXPECT_EQ(s->Channel(0)->Count(), 896);
    EXPECT_TRUE(s->Channel(0)->visible);
    EXPECT_TRUE(s->Channel(1)->wide);
    EXPECT_EQ(s->Channel(1)->startValue, 0x00012000);
    EXPECT_EQ(s->Channel(2)->Color, 0x000000u);
    EXPECT_DOUBLE_EQ(s->SampleTime, 0.00192);
    EXPECT_EQ(s->TriggerPoint(), 100);
    EXPECT_EQ(s->ZoomXType, kZoomAll);
    EXPECT_EQ(s->samplesPerStep, 2);

    // Family 2 has one channel by default; a channel set to "None" in the
    // current family is left out even when other families use it.
    rec.sampleCount[2] = 130;
    rec.triggerPoint = 500;
    auto two = TSampleSet::FromSettings(rec, 2, 4, 600);
    EXPECT_EQ(two->Count(), 130);
    ASSERT_EQ(two->ChannelCount(), 1);
    EXPECT_EQ(two->Channel(0)->Count(), 130);
    EXPECT_EQ(two->TriggerPoint(), 130);  // never beyond the count
    EXPECT_DOUBLE_EQ(two->SampleTime, 0.001);
}

// The upload job keeps its own reference: closing the tab (dropping the
// scope's reference) while the job fills the set frees nothing under it.
TEST(SampleSet, OutlivesItsTabWhileTheJobFillsIt)
{
    auto set = TSampleSet::FromSettings(SSampleSettings(), 2, 1, 600);  // 3712 samples, 1 channel
    const std::weak_ptr<TSampleSet> watch = set;
    std::promise<void> tabClosed;
    std::future<void> closed = tabClosed.get_future();
    std::atomic<bool> allStored{false};

    std::thread job([job_set = set, &closed, &allStored] {
        SChannelData* ch = job_set->Channel(0);
        for (std::int32_t i = 0; i < job_set->Count() / 2; ++i)
            ch->SetSample(i, i);
        closed.wait();
        for (std::int32_t i = job_set->Count() / 2; i < job_set->Count(); ++i)
            ch->SetSample(i, i);
        SampleHeader h;
        h.V_Soll = 7;
        h.Revcounts = 25600;
        job_set->SetHeader(h);
        bool ok = true;
        for (std::int32_t i = 0; i < job_set->Count(); ++i)
            ok = ok && ch->Sample(i) == i;
        allStored = ok && job_set->Header() == h;
    });

    // The GUI draws meanwhile, then the user closes the tab.
    for (int pass = 0; pass < 20; ++pass) {
        for (std::int32_t i = 0; i < set->Count(); ++i) {
            const std::int32_t v = set->Channel(0)->Sample(i);
            EXPECT_TRUE(v == 0 || v == i) << i;  // unwritten or written, never torn
        }
        const SampleHeader h = set->Header();  // old or new, never half of each
        EXPECT_EQ(h.V_Soll == 7, h.Revcounts == 25600);
    }
    set.reset();
    EXPECT_FALSE(watch.expired());  // the job still holds it
    tabClosed.set_value();
    job.join();
    EXPECT_TRUE(allStored);
    EXPECT_TRUE(watch.expired());
}
