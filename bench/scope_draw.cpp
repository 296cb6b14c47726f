// DrawScope of a full family-2 set (4 channels of 3712 samples) with a
// reference, zoom all, on a 1920 x 1000 plot, offscreen.

#include "scope/ui/drawscope.h"

#include <QGuiApplication>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace quenor;

namespace {

std::shared_ptr<TSampleSet> MakeSet(double phase)
{
    constexpr std::int32_t kCount = 3712;
    auto set = std::make_shared<TSampleSet>();
    set->SetCount(kCount);
    set->SampleTime = 0.001;
    const std::uint32_t colours[] = {0xFF0000, 0x008000, 0x000000, 0x800080};
    for (int c = 0; c < 4; ++c) {
        auto ch = std::make_unique<SChannelData>(kCount);
        ch->Factor = 0.1 * (c + 1);
        ch->Color = colours[c];
        for (std::int32_t i = 0; i < kCount; ++i)
            ch->SetSample(i, static_cast<std::int32_t>(3000 * std::sin(i * 0.01 * (c + 1) + phase)
                                                       + ((i * 7919) % 97) - 48));
        set->AddChannel(std::move(ch));
    }
    set->SetHeader(SampleHeader{1000, 100, 0, 500, 2.5, 25600});
    return set;
}

}  // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;

    auto set = MakeSet(0.0);
    auto ref = MakeSet(0.5);
    ScopeDrawInput in;
    in.current = set.get();
    in.reference = ref.get();
    in.infoBox = true;
    in.family = 2;
    QImage image;
    DrawScope(image, QSize(1920, 1000), in);  // warm-up: fonts, image

    std::vector<double> ms;
    ms.reserve(static_cast<std::size_t>(runs));
    for (int r = 0; r < runs; ++r) {
        const auto t0 = std::chrono::steady_clock::now();
        DrawScope(image, QSize(1920, 1000), in);
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("DrawScope 1920x1000, 4 x 3712 samples + reference, zoom all (%d samples per pixel)\n",
                set->samplesPerStep);
    std::printf("min %.3f ms  median %.3f ms  max %.3f ms  (%d runs)  target < 10 ms\n", ms.front(),
                ms[ms.size() / 2], ms.back(), runs);
    return 0;
}
