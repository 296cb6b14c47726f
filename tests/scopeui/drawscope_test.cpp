// The drawing of a set into an image: background, zero line, traces, the
// spread of samples that one pixel covers, hidden channels, the reference.

#include "scope/scopeview.h"
#include "scope/ui/drawscope.h"
#include "scope/ui/scopecolors.h"

#include <gtest/gtest.h>

using namespace quenor;

namespace {

constexpr std::uint32_t kBlue = 0xFF0000;

std::shared_ptr<TSampleSet> MakeSet(std::int32_t count, double sampleTime = 0.001)
{
    auto set = std::make_shared<TSampleSet>();
    set->SetCount(count);
    set->SampleTime = sampleTime;
    auto* ch = set->AddChannel(std::make_unique<SChannelData>(count));
    ch->Color = kBlue;
    return set;
}

int CountColour(const QImage& image, std::uint32_t ref, int row = -1)
{
    const QRgb c = ColorFromRef(ref).rgb();
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((row < 0 || y == row) && image.pixel(x, y) == c)
                ++n;
    return n;
}

ScopeDrawResult Draw(QImage& image, QSize size, TSampleSet* set, TSampleSet* ref = nullptr)
{
    ScopeDrawInput in;
    in.current = set;
    in.reference = ref;
    in.infoBox = false;
    return DrawScope(image, size, in);
}

}  // namespace

TEST(DrawScope, BackgroundZeroLineAndTraceRows)
{
    QImage image;
    Draw(image, QSize(300, 200), nullptr);
    ASSERT_EQ(image.size(), QSize(300, 200));
    EXPECT_EQ(CountColour(image, 0xFFFFFF), 300 * 200);

    // A plot lower than one division still shows the trace about its zero
    // row, scaled to the 0.4 division it has each way: 8 / 0.4 is fewer
    // counts than pixels per division, so 25 -> 50 per division, and 8 lies
    // 4 rows above row 10.
    auto set = MakeSet(300);
    set->Channel(0)->SetSample(150, 8);
    Draw(image, QSize(300, 20), set.get());
    EXPECT_DOUBLE_EQ(set->Channel(0)->scale, 50.0);
    EXPECT_EQ(image.pixel(150, 6), ColorFromRef(kBlue).rgb());
    EXPECT_EQ(image.pixel(0, 10), ColorFromRef(kBlue).rgb());
    EXPECT_EQ(image.pixel(299, 10), ColorFromRef(kBlue).rgb());
    set->Channel(0)->SetSample(150, 0);

    // Zero line at 0.25 of 200 rows, and nothing red on the rows beside it
    // (grid rows are 25 apart, grid dots in columns fall on rows 0, 5, 10, ...).
    set->ZeroPoint = 0.25;
    set->Channel(0)->visible = false;
    Draw(image, QSize(300, 200), set.get());
    EXPECT_GT(CountColour(image, kGridColour, 50), 60);
    EXPECT_EQ(CountColour(image, kGridColour, 49), 0);
    EXPECT_EQ(CountColour(image, kGridColour, 51), 0);
    EXPECT_EQ(CountColour(image, kBlue), 0);  // hidden: grid and zero line only

    // A constant 40 on a 200-row plot: 4 divisions each side, scale 50 per
    // division, so the trace lies 20 rows above the zero line at row 100.
    set->ZeroPoint = 0.5;
    set->Channel(0)->visible = true;
    for (int i = 0; i < 300; ++i)
        set->Channel(0)->SetSample(i, 40);
    Draw(image, QSize(300, 200), set.get());
    EXPECT_EQ(image.pixel(150, 80), ColorFromRef(kBlue).rgb());
    EXPECT_EQ(CountColour(image, kBlue, 80), 300);
    EXPECT_EQ(CountColour(image, kBlue), 300);
}

TEST(DrawScope, ASingleSampleSpikeSurvivesZoomAll)
{
    auto set = MakeSet(3712);
    set->Channel(0)->SetSample(3, 1000);  // between the samples that steps 0 and 1 show
    QImage image;
    const ScopeDrawResult r = Draw(image, QSize(600, 400), set.get());
    EXPECT_EQ(set->samplesPerStep, 7);
    EXPECT_EQ(r.scrollMaximum, 0);
    // Scale NiceStep(1000 / 8) = 200 per division: the peak is 125 rows above row 200.
    EXPECT_EQ(image.pixel(0, 75), ColorFromRef(kBlue).rgb());
    EXPECT_EQ(image.pixel(0, 199), ColorFromRef(kBlue).rgb());
    EXPECT_EQ(image.pixel(1, 75), qRgb(255, 255, 255));

    // One sample per step: the plain trace, no strokes.
    set->SetZoomType(kZoomX1, 600);
    const PlotArea plot{0, 0, 600, 400};
    const auto traces = set->LayoutChannels(plot, 200, kOwnColours);
    ASSERT_EQ(traces.size(), 1u);
    EXPECT_TRUE(traces[0].strokes.empty());
    EXPECT_EQ(traces[0].points.size(), 600u);
    EXPECT_EQ(traces[0].points[3], (PlotPoint{3, 75}));
    EXPECT_EQ(traces[0].points[4], (PlotPoint{4, 200}));
}

TEST(DrawScope, ReferenceIsDrawnInSilverOrDroppedForAnotherSampleTime)
{
    auto set = MakeSet(300);
    auto ref = MakeSet(300);
    for (int i = 0; i < 300; ++i)
        ref->Channel(0)->SetSample(i, -40);
    ref->SetZoomType(kZoomX5, 300);
    QImage image;
    ScopeDrawResult r = Draw(image, QSize(300, 200), set.get(), ref.get());
    EXPECT_FALSE(r.referenceDropped);
    EXPECT_EQ(CountColour(image, kReferenceColour, 120), 300);  // 20 rows below the zero line
    EXPECT_EQ(ref->ZoomXType, kZoomX5);                        // its own zoom comes back

    ref->SampleTime = 0.002;
    r = Draw(image, QSize(300, 200), set.get(), ref.get());
    EXPECT_TRUE(r.referenceDropped);
    EXPECT_EQ(CountColour(image, kReferenceColour), 0);
    // The current set as its own reference is drawn once, in its colour.
    r = Draw(image, QSize(300, 200), set.get(), set.get());
    EXPECT_FALSE(r.referenceDropped);
    EXPECT_EQ(CountColour(image, kReferenceColour), 0);
}
