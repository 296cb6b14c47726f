// A filter load on its way to the simulated motor: the selector's messages
// taken as the main window takes them, queued on the communication thread.

#include "filter/selectorfixture.h"
#include "link/linkfixture.h"

#include <gtest/gtest.h>

#include <thread>

using namespace quenor;
using namespace quenor::filtertest;
using namespace quenor::linktest;

namespace {

class FilterLink : public LinkTest {};

TEST_F(FilterLink, LoadReachesTheMotorInOrderWithItsReadBacks)
{
    TempDir dir;
    Tables tables;
    tables.Write(dir);
    CFilterSelector sel;
    sel.LoadTables({dir.Path()});
    RecordingTarget posted;
    sel.SetTarget(&posted);
    sel.SetMotorType(kNormalIndex, 3, true);
    sel.SetMode(2);
    sel.ChooseCurrentFilter(1);
    sel.ChooseCell(2, 3);
    sel.ChooseDamping(1);
    sel.ChooseFeedForward(2);
    sel.SetDegree(640);
    ScriptedUi ui;
    ASSERT_TRUE(sel.LoadFilter(ui));
    const FilterLoadPlan plan = sel.PlanLoad();
    ASSERT_EQ(plan.writes.size(), 32u);

    Connect(0);
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
    const std::uint32_t word = 3 | 2 << 4 | 1 << 7 | 1 << 10 | 2 << 13 | 1 << 16 | 128 << 18;
    ASSERT_TRUE(WaitValue(165, word));
    ASSERT_TRUE(WaitValue(2, 2));

    std::vector<Write> expected;
    for (const RegisterWrite& w : plan.writes)
        expected.push_back({w.reg, w.value, w.width});
    EXPECT_EQ(Writes(), expected);
    EXPECT_EQ(sim.Register(165), static_cast<std::int32_t>(word));

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
}

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
