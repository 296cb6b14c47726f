// A filter load on its way to the simulated motor: the selector's messages
// taken as the main window takes them, queued on the communication thread.

#include "filter/selectorfixture.h"
#include "link/linkfixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

using namespace quenor;
using namespace quenor::filtertest;
using namespace quenor::linktest;

namespace {

// The motor families whose motors take a filter: the filter word goes to
// register 165 of a family-0 motor and to register 155 of a family-1 motor
// (the large-motor table); both are 32 bits wide.
struct FamilyCase {
    int family;
    int motorIndex;
    int choiceRegister;
    int imageBlocks, imageWidth;  // the register image the session reads on a connect
};

void PrintTo(const FamilyCase& c, std::ostream* os) { *os << "family " << c.family; }

class FilterLink : public LinkTest, public ::testing::WithParamInterface<FamilyCase> {};

TEST_P(FilterLink, LoadReachesTheMotorInOrderWithItsReadBacks)
{
    const FamilyCase c = GetParam();
    TempDir dir;
    Tables tables;
    tables.Write(dir);
    CFilterSelector sel;
    sel.LoadTables({dir.Path()});
    RecordingTarget posted;
    sel.SetTarget(&posted);
    sel.SetMotorType(c.motorIndex, 3, true);
    sel.SetMode(2);
    if (!sel.LargeMode())
        sel.ChooseCurrentFilter(1);
    sel.ChooseCell(2, 3);
    sel.ChooseDamping(1);
    sel.ChooseFeedForward(2);
    sel.SetDegree(640);
    const FilterChoices chosen = sel.Choices();
    ScriptedUi ui;
    ASSERT_TRUE(sel.LoadFilter(ui));
    const FilterLoadPlan plan = sel.PlanLoad();
    const auto choice = std::find_if(plan.writes.begin(), plan.writes.end(),
                                     [&](const RegisterWrite& w) { return w.reg == c.choiceRegister; });
    ASSERT_NE(choice, plan.writes.end());
    ASSERT_EQ(choice->width, 4);
    const auto word = static_cast<std::uint32_t>(choice->value);
    if (c.family == 0) {
        EXPECT_EQ(plan.writes.size(), 32u);
        EXPECT_EQ(word, 3u | 2u << 4 | 1u << 7 | 1u << 10 | 2u << 13 | 1u << 16 | 128u << 18);
    }
    ASSERT_GT(word, 0xFFFFu);  // a word cut to 16 bits would show

    sim.SetFamily(c.family);
    Connect(c.family);
    // The main window's side: the batch is collected and queued only when it
    // fits the request ring as a whole.
    RegisterWriteBatch batch;
    for (const Message& m : posted.Snapshot()) {
        if (m.msg == UM_BATCHSTATUS && m.wParam == 0) {
            batch.Begin();
        } else if (m.msg == UM_WRITEREGISTER) {
            ASSERT_TRUE(batch.Add(DecodeWriteRegister(m)));
        } else if (m.msg == UM_BATCHSTATUS) {
            const std::vector<RegisterWrite> writes = batch.End();
            EXPECT_EQ(writes, plan.writes);
            ASSERT_TRUE(BatchFits(writes.size(), link->QueueLength(), ComThread::kRingSize - 1));
            link->ClearWriteProgress();
            for (const RegisterWrite& w : writes) {
                link->RequestWrite(1, w.reg, w.width == 4 ? w.value : (w.value & 0xFFFF), w.width);
                link->RequestRead(1, w.reg, false, w.width);
            }
            link->StartWriteProgress(m.text);
        }
    }
    ASSERT_TRUE(WaitProgress("Loading new filter", 100));
    ASSERT_TRUE(WaitValue(2, 2));

    std::vector<Write> expected;
    for (const RegisterWrite& w : plan.writes)
        expected.push_back({w.reg, w.value, w.width});
    EXPECT_EQ(Writes(), expected);
    EXPECT_EQ(sim.Register(c.choiceRegister), static_cast<std::int32_t>(word));

    // Every write is read back before the next one goes out.
    const auto registerFrames = [&] {
        std::vector<std::pair<int, int>> frames;  // command, register, from the first write on
        for (const motorsim::SimFrame& f : sim.Requests())
            if ((f.command == 0x52 || (f.command == 0x50 && !frames.empty())) && f.fields.size() > 1)
                frames.emplace_back(f.command, f.fields[1]);
        return frames;
    };
    std::vector<std::pair<int, int>> afterFirst = registerFrames();
    for (int i = 0; i < 1500 && afterFirst.size() < 2 * plan.writes.size(); ++i) {
        std::this_thread::sleep_for(10ms);  // the last read-back may still be on the wire
        afterFirst = registerFrames();
    }
    std::vector<std::pair<int, int>> interleaved;
    for (const RegisterWrite& w : plan.writes) {
        interleaved.emplace_back(0x52, w.reg);
        interleaved.emplace_back(0x50, w.reg);
    }
    ASSERT_EQ(afterFirst.size(), interleaved.size());
    for (std::size_t i = 0; i < afterFirst.size(); ++i)
        EXPECT_EQ(afterFirst[i], interleaved[i]) << i;
    const std::vector<std::int64_t> progress = Progress("Loading new filter");
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));

    // What the motor gives back of the word: the read-back after the write,
    // and the register image that a connect reads.
    const auto choiceValues = [&](const std::vector<Message>& ms) {
        std::vector<std::int64_t> values;
        for (const Message& m : ms)
            if (m.msg == UM_REGISTERVALUE && m.wParam == c.choiceRegister)
                values.push_back(m.lParam);
        return values;
    };
    ASSERT_TRUE(target.WaitFor([&](const std::vector<Message>& ms) { return choiceValues(ms).size() >= 2; }, 5s));
    ASSERT_TRUE(link->RequestImageRead(c.imageBlocks, c.imageWidth));
    link->RequestRead(1, c.choiceRegister, false, 4);
    ASSERT_TRUE(link->RequestImageInvalidate());
    ASSERT_TRUE(target.WaitFor([&](const std::vector<Message>& ms) { return choiceValues(ms).size() >= 3; }, 5s));
    const std::vector<std::int64_t> back = choiceValues(target.Snapshot());
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[1], static_cast<std::int32_t>(word)) << "read back";
    EXPECT_EQ(back[2], static_cast<std::int32_t>(word)) << "from the register image";

    // The selector shown the word read back shows the filter loaded.
    CFilterSelector shown;
    shown.LoadTables({dir.Path()});
    shown.SetMotorType(c.motorIndex, 3, true);
    shown.ShowFilter(static_cast<std::uint32_t>(back[2]));
    FilterChoices expectedChoices = chosen;
    expectedChoices.degree = chosen.degree / 5 * 5;
    EXPECT_EQ(shown.Choices(), expectedChoices);
}

INSTANTIATE_TEST_SUITE_P(Families, FilterLink,
                         ::testing::Values(FamilyCase{0, kNormalIndex, 165, 3, 2},
                                           FamilyCase{1, kLargeIndex, 155, 7, 4}),
                         [](const auto& info) { return "Family" + std::to_string(info.param.family); });

TEST(FilterBatch, FitsOnlyWhenEveryWriteAndReadBackHasRoom)
{
    EXPECT_TRUE(BatchFits(32, 0, 299));
    EXPECT_TRUE(BatchFits(32, 299 - 64, 299));
    EXPECT_FALSE(BatchFits(32, 299 - 63, 299));
    RegisterWriteBatch batch;
    EXPECT_FALSE(batch.Add({2, 0, 2}));  // no batch open: written at once
    batch.Begin();
    EXPECT_TRUE(batch.Add({2, 0, 2}));
    EXPECT_TRUE(batch.Add({165, -5, 4}));
    EXPECT_EQ(batch.End(), (std::vector<RegisterWrite>{{2, 0, 2}, {165, -5, 4}}));
    EXPECT_FALSE(batch.Open());
}

}  // namespace
