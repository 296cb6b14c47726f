#include "filter/selectorfixture.h"

#include <gtest/gtest.h>

using namespace quenor;
using namespace quenor::filtertest;

namespace {

class Selector : public ::testing::Test {
protected:
    void Make()
    {
        tables.Write(dir);
        sel.LoadTables({dir.Path()});
        sel.SetTarget(&target);
    }
    // Chooses everything through the controls' calls; false when a choice was
    // not taken.
    bool Choose(const FilterChoices& c)
    {
        if (!sel.LargeMode())
            sel.ChooseCurrentFilter(c.currentFilter);
        sel.ChooseCell(c.column, c.row);
        sel.ChooseDamping(c.damping);
        sel.ChooseFeedForward(c.feedForward);
        sel.SetDegree(c.degree);
        return sel.Choices() == c;
    }
    FilterSelection SelectionOf(const FilterChoices& c, int motor) const
    {
        const fg::TableDesign& t = sel.LargeMode() ? tables.large
                                 : sel.CurrentTableKind() == CFilterSelector::kOld ? tables.old
                                                                                    : tables.normal;
        return {t.groups[0] - 1 - c.row, t.groups[1] - 5 + c.column, c.damping, c.feedForward, motor,
                c.currentFilter};
    }
    static std::int64_t Index(const fg::TableDesign& t, const FilterSelection& s)
    {
        return fg::RecordNumber(t, {s.speed, s.hardness, s.damping, s.feedForward, s.motor, s.currentFilter});
    }

    TempDir dir;
    Tables tables;
    CFilterSelector sel;
    RecordingTarget target;
    ScriptedUi ui;
};

TEST(FilterDegree, ScaleTextAndTicks)
{
    const std::pair<int, const char*> cases[] = {{0, "0"},     {250, "47.5"}, {500, "95"},
                                                 {750, "100"}, {1000, "105"}, {1, "0.19"}};
    for (auto [position, text] : cases)
        EXPECT_EQ(DegreeText(position), text) << position;
    const std::vector<int> ticks = DegreeTicks();
    ASSERT_EQ(ticks.size(), 20u);
    EXPECT_EQ(ticks.front(), 26);
    EXPECT_EQ(ticks[9], 263);  // 5000 / 19 = 263.16
    EXPECT_EQ(ticks[18], 500);
    EXPECT_EQ(ticks.back(), 750);
}

TEST(FilterSetup, EnabledAndRefusedByGenerationAndFirmware)
{
    struct Case {
        int generation;
        bool connected;
        int firmware;
        bool enabled, refused, newFilters;
    };
    const Case cases[] = {
        {0, true, 111, true, false, false}, {0, true, 112, true, false, true}, {0, false, 20, true, false, true},
        {1, true, 63, true, false, true},   {1, true, 64, true, true, true},   {1, true, 71, true, true, true},
        {1, true, 72, true, false, true},   {1, false, 64, true, false, true}, {2, true, 200, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.generation << " " << c.connected << " " << c.firmware);
        EXPECT_EQ(FilterSetupEnabled(c.generation), c.enabled);
        const auto refusal = FilterSetupRefused(c.generation, c.connected, c.firmware);
        EXPECT_EQ(refusal.has_value(), c.refused);
        if (refusal) {
            EXPECT_EQ(refusal->caption, "Incorrect firmware");
        }
        EXPECT_EQ(UsesNewFilters(c.generation, c.connected, c.firmware), c.newFilters);
    }
}

// Load writes the choice word; the word sent back restores the choices, the
// degree rounded down to a multiple of 5.
TEST_F(Selector, ChoiceWordRoundTripsThroughTheMotor)
{
    Make();
    struct Case {
        int index;
        bool newFilter;
        FilterChoices choices;
        std::string id;
    };
    const Case cases[] = {
        {kNormalIndex, true, {3, 1, 4, 2, 2, 999}, "MVF22142"},
        {kNormalIndex, true, {0, 4, 0, 0, 0, 0}, "MVF05400"},
        {kLargeIndex, true, {4, 2, 1, 3, 0, 503}, "BVF1213"},
        {kNormalIndex, false, {3, 2, 2, 1, 1, 500}, "MVF11021"},  // old table: 4 speeds, 3 hardnesses
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        sel.SetMotorType(c.index, 3, c.newFilter);
        ASSERT_TRUE(Choose(c.choices)) << sel.Choices();
        EXPECT_EQ(sel.IdText(), c.id);
        target.Clear();
        ASSERT_TRUE(sel.LoadFilter(ui));
        const std::vector<RegisterWrite> writes = WritesOf(target.Snapshot());
        const int choiceRegister = c.index >= 12 ? 155 : 165;
        const auto word = std::find_if(writes.begin(), writes.end(),
                                       [&](const RegisterWrite& w) { return w.reg == choiceRegister; });
        ASSERT_NE(word, writes.end());
        EXPECT_EQ(word->width, 4);

        CFilterSelector other;
        other.LoadTables({dir.Path()});
        other.SetMotorType(c.index, 3, c.newFilter);
        other.ShowFilter(static_cast<std::uint32_t>(word->value));
        FilterChoices expected = c.choices;
        expected.degree = c.choices.degree / 5 * 5;
        EXPECT_EQ(other.Choices(), expected);
        EXPECT_EQ(other.IdText(), c.id);
    }
}

TEST(FilterChoiceWord, PartsOutOfRangeCountAsNotChosen)
{
    const auto word = [](int hardness, int speed, int damping, int ff, int current, int degree5) {
        return static_cast<std::uint32_t>(3 | hardness << 4 | speed << 7 | damping << 10 | ff << 13 | current << 16 |
                                          degree5 << 18);
    };
    struct Case {
        const char* what;
        std::uint32_t v;
        bool large;
        int g1, g2;
        FilterChoices expected;
    };
    const Case cases[] = {
        {"all in range", word(1, 2, 3, 4, 2, 40), false, 5, 5, {2, 1, 3, 4, 2, 200}},
        {"damping 6", word(1, 2, 6, 4, 2, 40), false, 5, 5, {2, 1, -1, 4, 2, 200}},
        {"feed forward 7", word(1, 2, 3, 7, 2, 40), false, 5, 5, {2, 1, 3, -1, 2, 200}},
        {"current filter 3", word(1, 2, 3, 4, 3, 40), false, 5, 5, {2, 1, 3, 4, -1, 200}},
        {"degree beyond the bar", word(1, 2, 3, 4, 0, 255), false, 5, 5, {2, 1, 3, 4, 0, 1000}},
        {"small table in range", word(0, 3, 0, 0, 0, 0), false, 4, 3, {0, 2, 0, 0, 0, 0}},
        {"hardness beyond a small table", word(6, 0, 0, 0, 0, 0), false, 4, 3, {3, -1, 0, 0, 0, 0}},
        {"speed beyond a small table", word(0, 6, 0, 0, 0, 0), false, 4, 3, {-1, 2, 0, 0, 0, 0}},
        {"large layout", 2u | 1u << 4 | 2u << 7 | 3u << 10 | 1u << 13 | 7u << 16, true, 5, 5, {2, 1, 3, 1, 0, 35}},
        {"low bits 0", 0u, false, 5, 5, {}},
        {"low bits 4", word(1, 2, 3, 4, 2, 40) + 1, false, 5, 5, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DecodeFilterChoice(c.v, c.large, c.g1, c.g2), c.expected) << c.what;
}

TEST_F(Selector, SelectsByIdOnlyFiltersThatExist)
{
    // Motor 2, current filter 1, speed 0, hardness 3, damping 3, type 3 has no filter.
    tables.normal.noFilter.insert(fg::RecordNumber(tables.normal, {0, 3, 3, 3, kNormalIndex, 1}));
    Make();
    struct Case {
        int index;
        const char* text;
        bool ok;
        FilterChoices choices;  // when ok; degree stays 0
    };
    const Case cases[] = {
        {kLargeIndex, "1202", true, {4, 2, 0, 2, 0, 0}},
        {kNormalIndex, "21202", true, {4, 2, 0, 2, 2, 0}},
        {kNormalIndex, " 05433 ", true, {0, 4, 3, 3, 0, 0}},
        {kLargeIndex, "0202", false, {}},    // speed digit 0
        {kNormalIndex, "123", false, {}},    // too short
        {kNormalIndex, "1202", false, {}},   // 4 digits in the normal table
        {kLargeIndex, "21202", false, {}},   // 5 digits in the large table
        {kNormalIndex, "31202", false, {}},  // current filter 3
        {kNormalIndex, "11333", false, {}},  // no filter in that record
        {kNormalIndex, "12a02", false, {}},
        {kNormalIndex, "16000", false, {}},  // speed 5 of 5
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        sel.SetMotorType(c.index, 3, true);
        sel.ShowFilter(0);
        sel.ChooseCurrentFilter(sel.LargeMode() ? 0 : -1);
        ui.input = c.text;
        ui.told.clear();
        sel.SelectById(ui);
        if (c.ok) {
            EXPECT_TRUE(ui.told.empty());
            EXPECT_EQ(sel.Choices(), c.choices);
        } else {
            ASSERT_EQ(ui.told.size(), 1u);
            EXPECT_EQ(ui.told[0].text, "Invalid filter id!");
            EXPECT_EQ(ui.told[0].caption, "Error");
            EXPECT_EQ(sel.Choices().row, -1);
        }
    }
}

TEST_F(Selector, OffersOnlyChoicesThatLeadToAFilter)
{
    // Old table (4 speeds, 3 hardnesses, 3 dampings, 4 types), motor 2, current filter 0.
    fg::TableDesign& t = tables.old;
    const auto none = [&](int speed, int hardness, int damping, int ff) {
        t.noFilter.insert(fg::RecordNumber(t, {speed, hardness, damping, ff, kNormalIndex, 0}));
    };
    for (int d = 0; d < 3; ++d)
        none(3, 0, d, 0);  // row 0, column 2: no damping gives a filter
    none(2, 1, 0, 0);      // row 1, column 3: damping 0 has none
    none(2, 1, 1, 3);      // ... and damping 1 no type 3
    Make();
    sel.SetMotorType(kNormalIndex, 3, false);
    EXPECT_FALSE(sel.CellOffered(2, 1));  // nothing chosen for the current filter yet
    sel.ChooseCurrentFilter(0);

    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 5; ++c) {
            // Columns 0 and 1 are hardness -2 and -1, row 4 speed -1.
            const bool expected = c >= 2 && r <= 3 && !(r == 0 && c == 2);
            EXPECT_EQ(sel.CellOffered(c, r), expected) << "column " << c << " row " << r;
        }

    EXPECT_FALSE(sel.ClickGrid(12 + 50 + 3, 3));  // column 2, row 0: not offered
    EXPECT_EQ(sel.Choices().row, -1);
    ASSERT_TRUE(sel.ClickGrid(12 + 75 + 3, 25 + 3));  // column 3, row 1
    const bool dampingExpected[5] = {false, true, true, false, false};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(sel.DampingEnabled(i), dampingExpected[i]) << "damping " << i;
    EXPECT_FALSE(sel.FeedForwardEnabled(0));  // no damping chosen yet
    sel.ChooseDamping(1);
    const bool ffExpected[5] = {true, true, true, false, false};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(sel.FeedForwardEnabled(i), ffExpected[i]) << "type " << i;
    sel.ChooseFeedForward(3);
    EXPECT_EQ(sel.Choices().feedForward, -1);
    sel.ChooseFeedForward(2);
    EXPECT_EQ(sel.IdText(), "MVF03112");

    // Damping 0 is not offered here: choosing it leaves damping and type unchosen.
    sel.ChooseDamping(0);
    EXPECT_EQ(sel.Choices().damping, -1);
    EXPECT_EQ(sel.Choices().feedForward, -1);

    // A motor beyond the table's motors, and a table that did not load, offer nothing.
    sel.SetMotorType(5, 6, false);
    EXPECT_FALSE(sel.CellOffered(3, 1));
    EXPECT_EQ(sel.Choices().damping, -1);
    std::filesystem::remove(dir.File("manyfiltbig.dat"));
    CFilterSelector noLarge;
    noLarge.LoadTables({dir.Path()});
    EXPECT_NE(noLarge.TakeLoadError().find("manyfiltbig.dat"), std::string::npos);
    noLarge.SetMotorType(kLargeIndex, 20, true);
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 5; ++c)
            EXPECT_FALSE(noLarge.CellOffered(c, r));
    noLarge.SetMotorType(kNormalIndex, 3, true);
    noLarge.ChooseCurrentFilter(0);
    EXPECT_TRUE(noLarge.CellOffered(0, 0));  // the other tables still serve
}

TEST_F(Selector, LoadWritesTheFilterInOrder)
{
    // Normal: motor 2, current filter 1, speed 2 (row 2), hardness 1 (column 1), damping 3, type 4.
    const FilterSelection normalSel{2, 1, 3, 4, kNormalIndex, 1};
    std::vector<std::int32_t> nv = {7, 30, -30, 10};
    for (int j = 4; j < 24; ++j)
        nv.push_back(j == 5 ? -1234 : 100 * j);
    tables.normal.values[Index(tables.normal, normalSel)] = nv;
    // Large: speed 0 (row 4), hardness 4 (column 4), damping 0, type 1.
    const FilterSelection largeSel{0, 4, 0, 1, 0, 0};
    std::vector<std::int32_t> lv = {99, 30, -30, 10, 20, 50, 70000};
    for (int j = 7; j < 23; ++j)
        lv.push_back(j == 8 ? -5000000 : 100000 * j);
    tables.large.values[Index(tables.large, largeSel)] = lv;
    Make();

    // s = 95 %: 28.5 -> 29, -28.5 -> -29, 9.5 -> 10, 19, 47.5 -> 48.
    sel.SetMode(2);
    sel.SetMotorType(kNormalIndex, 3, true);
    ASSERT_TRUE(Choose({2, 1, 3, 4, 1, 500}));
    ASSERT_TRUE(sel.LoadFilter(ui));
    std::vector<RegisterWrite> expected = {{2, 0, 2}, {89, 246, 2}, {90, 29, 2}, {91, -29, 2}, {92, 10, 2}};
    for (int j = 4; j < 23; ++j)
        expected.push_back({89 + j, nv[static_cast<std::size_t>(j)], 2});
    expected.push_back({126, nv[23], 2});
    expected.push_back({165, 3 | 1 << 4 | 2 << 7 | 3 << 10 | 4 << 13 | 1 << 16 | 100 << 18, 4});
    for (int reg : {10, 8, 3, 20, 24})
        expected.push_back({reg, 0, 4});
    expected.push_back({2, 2, 2});
    ASSERT_EQ(expected.size(), 32u);
    std::vector<Message> ms = target.Take();
    ASSERT_EQ(ms.size(), 34u);
    EXPECT_EQ(ms.front().msg, UM_BATCHSTATUS);
    EXPECT_EQ(ms.front().wParam, 0);
    EXPECT_EQ(ms.back().msg, UM_BATCHSTATUS);
    EXPECT_EQ(ms.back().wParam, 1);
    EXPECT_EQ(ms.back().text, "Loading new filter");
    EXPECT_EQ(WritesOf(ms), expected);

    sel.SetMotorType(kLargeIndex, 20, true);
    ASSERT_TRUE(Choose({4, 4, 0, 1, 0, 500}));
    ASSERT_TRUE(sel.LoadFilter(ui));
    expected = {{2, 0, 2}, {121, 179, 4}, {122, 29, 4}, {123, -29, 4}, {124, 10, 4}, {125, 19, 4}, {126, 48, 4}};
    for (int j = 6; j < 23; ++j)
        expected.push_back({121 + j, lv[static_cast<std::size_t>(j)], 4});
    expected.push_back({155, 2 | 4 << 4 | 0 << 7 | 0 << 10 | 1 << 13 | 100 << 16, 4});
    for (int reg : {10, 8, 3, 20, 24})
        expected.push_back({reg, 0, 4});
    expected.push_back({2, 2, 2});
    ASSERT_EQ(expected.size(), 31u);
    EXPECT_EQ(WritesOf(target.Take()), expected);
    EXPECT_TRUE(ui.asked.empty());
    EXPECT_TRUE(ui.told.empty());
}

TEST_F(Selector, ScaledValuesThatDoNotFitRefuseTheLoad)
{
    const FilterSelection normalSel{4, 4, 0, 0, kNormalIndex, 0};
    const FilterSelection largeSel{4, 4, 0, 0, 0, 0};
    struct Case {
        const char* what;
        bool large;
        std::vector<std::int32_t> values;
        int degree;
        std::optional<std::int32_t> a0;  // nullopt: refused
    };
    const Case cases[] = {
        {"parts above 256 give a negative a0", false, {1, 200, 100, 50}, 1000, -112},
        {"a scaled part beyond 16 bits", false, {1, 32000, 0, 0}, 1000, std::nullopt},
        {"a negative part beyond 16 bits", false, {1, -32000, 0, 0}, 1000, std::nullopt},
        {"a0 beyond 16 bits", false, {1, 20000, 20000, 20000}, 500, std::nullopt},
        {"a part at the 16-bit edge", false, {1, 32767, 0, -32767}, 750, 256},
        {"large: a0 of 32 bits", true, {1, 20000, 20000, 20000, 0, 0, 5}, 500, -56744},
        {"large: a part beyond 32 bits", true, {1, 2147483647, 0, 0, 0, 0, 5}, 1000, std::nullopt},
        {"large: a0 beyond 32 bits", true, {1, 2000000000, 2000000000, 0, 0, 0, 5}, 750, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir caseDir(std::to_string(&c - cases));
        Tables t = tables;
        fg::TableDesign& design = c.large ? t.large : t.normal;
        design.values[Index(design, c.large ? largeSel : normalSel)] = c.values;
        t.Write(caseDir);
        CFilterSelector s;
        s.LoadTables({caseDir.Path()});
        s.SetTarget(&target);
        s.SetMotorType(c.large ? kLargeIndex : kNormalIndex, 3, true);
        s.ChooseCurrentFilter(0);
        s.ChooseCell(4, 0);
        s.ChooseDamping(0);
        s.ChooseFeedForward(0);
        s.SetDegree(c.degree);
        ui.told.clear();
        target.Clear();
        EXPECT_EQ(s.LoadFilter(ui), c.a0.has_value());
        const std::vector<RegisterWrite> writes = WritesOf(target.Take());
        if (c.a0) {
            ASSERT_GE(writes.size(), 2u);
            EXPECT_EQ(writes[1], (RegisterWrite{c.large ? 121 : 89, *c.a0, c.large ? 4 : 2}));
            EXPECT_TRUE(ui.told.empty());
        } else {
            EXPECT_TRUE(writes.empty());
            ASSERT_EQ(ui.told.size(), 1u);
            EXPECT_NE(ui.told[0].text.find("does not fit"), std::string::npos);
        }
    }
}

TEST_F(Selector, LoadAsksForWhatIsMissingAndBeforeStoppingAProgram)
{
    Make();
    sel.SetMotorType(kNormalIndex, 3, true);
    const FilterChoices full{1, 1, 1, 1, 1, 0};
    const auto tryPartial = [&](FilterChoices partial) {
        CFilterSelector s;
        s.LoadTables({dir.Path()});
        s.SetTarget(&target);
        s.SetMotorType(kNormalIndex, 3, true);
        s.ChooseCurrentFilter(partial.currentFilter);
        s.ChooseCell(partial.column, partial.row);
        s.ChooseDamping(partial.damping);
        s.ChooseFeedForward(partial.feedForward);
        ui.asked.clear();
        EXPECT_FALSE(s.LoadFilter(ui));
        ASSERT_EQ(ui.asked.size(), 1u);
        EXPECT_EQ(ui.asked[0].caption, "Missing parameter");
        EXPECT_EQ(ui.asked[0].text, "A value for each parameter group must be selected.");
    };
    for (int part = 0; part < 5; ++part) {
        FilterChoices partial = full;
        int* fields[] = {&partial.row, &partial.column, &partial.damping, &partial.feedForward,
                         &partial.currentFilter};
        *fields[part] = -1;
        tryPartial(partial);
    }
    EXPECT_EQ(target.Size(), 0u);

    ASSERT_TRUE(Choose(full));
    sel.SetProgramRunning(true);
    ui.asked.clear();
    ui.answer = false;
    EXPECT_FALSE(sel.LoadFilter(ui));
    ASSERT_EQ(ui.asked.size(), 1u);
    EXPECT_EQ(ui.asked[0].caption, "MRP Running");
    EXPECT_EQ(ui.asked[0].text,
              "A MRP program is running.\nThis will be stopped before the new filter is loaded.\nContinue ?");
    EXPECT_EQ(target.Size(), 0u);

    ui.answer = true;
    EXPECT_TRUE(sel.LoadFilter(ui));
    const std::vector<Message> ms = target.Take();
    ASSERT_EQ(ms.size(), 35u);
    EXPECT_EQ(ms[0].msg, UM_STOPPROGRAM);
    EXPECT_EQ(ms[1].msg, UM_BATCHSTATUS);
    EXPECT_EQ(ms[1].wParam, 0);
}

}  // namespace
