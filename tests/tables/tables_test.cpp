// The parameter tables of the three motor families: row counts and kinds, the
// setup-file keys, the hard rows, and the hint texts the rows refer to.

#include "expected_tables.h"

#include "params/lampimages.h"
#include "params/parameterlists.h"
#include "resources/stringtable.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace quenor;

namespace {

const ParamTableSet& Family(int family)
{
    const ParamTableSet* set = TableSetOfFamily(family);
    if (!set)
        throw std::runtime_error("no table set");
    return *set;
}

std::vector<int> Kinds(const ParamTable& table)
{
    std::vector<int> kinds;
    for (int r = 0; r < table.RowCount(); ++r)
        kinds.push_back(table.Cell(r, 0).i);
    return kinds;
}

bool WritesSetupLine(const InitParam* row)
{
    switch (row[0].i) {
    case pckEdit:
        return (row[rowcell::kFlags].i & efSetupFile) != 0;
    case pckInfo:
    case pckRadioGroup:
    case pckRadioGroupMode:
    case pckCheckBox:
    case pckCombo:
        return true;
    default:
        return false;
    }
}

// Keys in the order the controls are built: main, extra, status.
std::vector<std::string> SetupKeys(const ParamTableSet& set)
{
    std::vector<std::string> keys;
    for (const ParamTable* table : {set.main, set.extra, set.status})
        for (int r = 0; r < table->RowCount(); ++r)
            if (WritesSetupLine(table->Row(r)))
                keys.push_back(table->Row(r)[2].text);
    return keys;
}

// The row of `table` with `caption`, the n-th such row when captions repeat.
const InitParam* RowOf(const ParamTable& table, const std::string& caption, int nth = 0)
{
    for (int r = 0; r < table.RowCount(); ++r)
        if (table.Cell(r, 2).text == caption && nth-- == 0)
            return table.Row(r);
    ADD_FAILURE() << "no row \"" << caption << "\"";
    static const ParamTable empty(1);
    return empty.Row(0);
}

// The row of `table` with `caption` and `kind`.
const InitParam* RowOfKind(const ParamTable& table, const std::string& caption, int kind)
{
    for (int r = 0; r < table.RowCount(); ++r)
        if (table.Cell(r, 2).text == caption && table.Cell(r, 0).i == kind)
            return table.Row(r);
    ADD_FAILURE() << "no row \"" << caption << "\" of kind " << kind;
    static const ParamTable empty(1);
    return empty.Row(0);
}

std::vector<std::pair<int, std::string>> Items(const InitParam* row, int cell)
{
    std::vector<std::pair<int, std::string>> items;
    for (int k = 0; k < row[cell].i; ++k)
        items.emplace_back(row[cell + 1 + 2 * k].i, row[cell + 2 + 2 * k].text);
    return items;
}

}  // namespace

// ---------------------------------------------------------------------------
// Counts, kinds and keys

TEST(FamilyTables, RowCountsPerTable)
{
    EXPECT_EQ(ServoTables().MainRowCount(), 150);
    EXPECT_EQ(ServoTables().StatusRowCount(), 22);
    EXPECT_EQ(ServoTables().ExtraRowCount(), 3);
    EXPECT_EQ(Servo2Tables().MainRowCount(), 157);
    EXPECT_EQ(Servo2Tables().StatusRowCount(), 24);
    EXPECT_EQ(Servo2Tables().ExtraRowCount(), 3);
    EXPECT_EQ(StepperTables().MainRowCount(), 123);
    EXPECT_EQ(StepperTables().StatusRowCount(), 21);
    EXPECT_EQ(StepperTables().ExtraRowCount(), 3);
}

TEST(FamilyTables, KindsOfEveryRowInOrder)
{
    using namespace tabledata;
    EXPECT_EQ(Kinds(*Family(0).main), kKindsMainFamily0);
    EXPECT_EQ(Kinds(*Family(0).status), kKindsStatusFamily0);
    EXPECT_EQ(Kinds(*Family(0).extra), kKindsExtraFamily0);
    EXPECT_EQ(Kinds(*Family(1).main), kKindsMainFamily1);
    EXPECT_EQ(Kinds(*Family(1).status), kKindsStatusFamily1);
    EXPECT_EQ(Kinds(*Family(1).extra), kKindsExtraFamily1);
    EXPECT_EQ(Kinds(*Family(2).main), kKindsMainFamily2);
    EXPECT_EQ(Kinds(*Family(2).status), kKindsStatusFamily2);
    EXPECT_EQ(Kinds(*Family(2).extra), kKindsExtraFamily2);
}

TEST(FamilyTables, SetupFileKeysOfEachFamilyAsAWhole)
{
    EXPECT_EQ(SetupKeys(Family(0)), tabledata::kSetupKeysFamily0);
    EXPECT_EQ(SetupKeys(Family(1)), tabledata::kSetupKeysFamily1);
    EXPECT_EQ(SetupKeys(Family(2)), tabledata::kSetupKeysFamily2);
}

TEST(FamilyTables, SetupFileKeysArePlainAscii)
{
    for (int family = 0; family < 3; ++family)
        for (const std::string& key : SetupKeys(Family(family)))
            for (unsigned char ch : key)
                EXPECT_TRUE(ch >= 0x20 && ch < 0x7F) << key;
}

TEST(FamilyTables, SetsAreBuiltOnceAndLookedUpByFamily)
{
    EXPECT_EQ(&ServoTables(), TableSetOfFamily(0));
    EXPECT_EQ(&Servo2Tables(), TableSetOfFamily(1));
    EXPECT_EQ(&StepperTables(), TableSetOfFamily(2));
    EXPECT_EQ(TableSetOfFamily(-1), nullptr);
    EXPECT_EQ(TableSetOfFamily(3), nullptr);
    const InitParam* firstRow = ServoTables().main->Row(0);
    EXPECT_EQ(ServoTables().main->Row(0), firstRow);

    // A fresh build holds the same rows as the kept set.
    const FamilyTables fresh = BuildStepperTables();
    ASSERT_EQ(fresh.main.RowCount(), StepperTables().MainRowCount());
    for (int r = 0; r < fresh.main.RowCount(); ++r)
        for (int c = 0; c < kCellsPerRow; ++c) {
            const InitParam& a = fresh.main.Cell(r, c);
            const InitParam& b = StepperTables().main->Cell(r, c);
            ASSERT_TRUE(a.i == b.i && a.d == b.d && a.text == b.text && a.p == b.p) << r << "/" << c;
        }
}

// ---------------------------------------------------------------------------
// Hard rows

TEST(FamilyTables, PagesAndColumnBreaks)
{
    struct Expect {
        int family;
        int row;
        int kind;
        int cell3;
        const char* caption;
    };
    const Expect main[] = {
        {0, 0, pckPage, psVertical, "Main"},          {0, 32, pckBar, bsColumnBreak, "Test Bar"},
        {0, 60, pckPage, psVertical, "Registers"},    {0, 80, pckBar, bsColumnBreak, "Test Bar"},
        {0, 101, pckPage, psVertical, "Filter parameters"}, {0, 116, pckBar, bsColumnBreak, "Vertical Bar"},
        {1, 33, pckBar, bsColumnBreak, "Vertical Bar"}, {1, 62, pckPage, psVertical, "Registers"},
        {1, 82, pckBar, bsColumnBreak, "Test Bar"},   {1, 103, pckPage, psVertical, "Filter parameters"},
        {1, 124, pckBar, bsColumnBreak, "Vertical Bar"}, {2, 15, pckBar, bsColumnBreak, "Test Bar"},
        {2, 29, pckPage, psVertical, "I/O Setup"},    {2, 47, pckBar, bsColumnBreak, "Test Bar"},
        {2, 66, pckPage, psVertical, "Registers"},    {2, 85, pckBar, bsColumnBreak, "Test Bar"},
        {2, 96, pckPage, psVertical, "Advanced"},     {2, 118, pckBar, bsColumnBreak, "Test Bar"},
        {2, 119, pckBar, bsHeading, "Test"},
    };
    for (const Expect& e : main) {
        const InitParam* row = Family(e.family).main->Row(e.row);
        EXPECT_EQ(row[0].i, e.kind) << e.family << "/" << e.row;
        EXPECT_EQ(row[3].i, e.cell3) << e.family << "/" << e.row;
        EXPECT_EQ(row[2].text, e.caption) << e.family << "/" << e.row;
    }
    // Each family has exactly its pages, and the panels start with a page without scroll bars.
    const int pages[] = {3, 3, 4};
    for (int family = 0; family < 3; ++family) {
        int count = 0;
        for (int kind : Kinds(*Family(family).main))
            count += kind == pckPage;
        EXPECT_EQ(count, pages[family]);
        for (const ParamTable* panel : {Family(family).status, Family(family).extra}) {
            EXPECT_EQ(panel->Cell(0, 0).i, pckPage);
            EXPECT_EQ(panel->Cell(0, 2).text, "DummyPage");
            EXPECT_EQ(panel->Cell(0, 3).i, psNone);
        }
    }
}

TEST(FamilyTables, StartupModeListsItsModesOutOfValueOrder)
{
    for (int family : {0, 1}) {
        const InitParam* row = Family(family).main->Row(1);
        EXPECT_EQ(row[0].i, pckRadioGroupMode);
        EXPECT_EQ(row[2].text, "Startup mode");
        EXPECT_EQ(row[3].i, 37);
        EXPECT_EQ(row[4].i, family == 0 ? 400 : 450);
        EXPECT_EQ(row[rowcell::kFirstBit].i, 0);
        EXPECT_EQ(row[rowcell::kBitCount].i, 5);
        const auto items = Items(row, rowcell::kRadioItems);
        ASSERT_EQ(items.size(), 13u);
        EXPECT_EQ(items[0], std::make_pair(0, std::string("Passive")));
        EXPECT_EQ(items[5], std::make_pair(16, std::string("Analogue velocity (with deadband)")));
        EXPECT_EQ(items[8], std::make_pair(4, std::string("Analogue torque (direct)")));
        EXPECT_EQ(items[12], std::make_pair(21, std::string("Analogue to position")));
    }
    const InitParam* stepper = Family(2).main->Row(1);
    EXPECT_EQ(stepper[4].i, kNoHint);
    EXPECT_EQ(stepper[rowcell::kRadioItems].i, 4);
}

TEST(FamilyTables, FixedPointEdits)
{
    // Family 0: 16-bit 8.8 "Load" with its spin step; the 4.12 outer-loop edits are grey.
    const InitParam* load = RowOf(*Family(0).main, "Load");
    EXPECT_EQ(load[rowcell::kFlags].i, efFix8_8 | efEditable | efSetupFile | efSpin);
    EXPECT_DOUBLE_EQ(load[rowcell::kMin].d, 0.2);
    EXPECT_DOUBLE_EQ(load[rowcell::kMax].d, 5.0);
    EXPECT_EQ(load[rowcell::kEditMore].i, 16);
    EXPECT_EQ(load[rowcell::kEditMore + 1].i, 0);  // decimals
    const InitParam* kvfx4 = RowOf(*Family(0).main, "KVFX4");
    EXPECT_EQ(kvfx4[rowcell::kFlags].i, 0x463);
    EXPECT_DOUBLE_EQ(kvfx4[rowcell::kMax].d, 7.99);
    EXPECT_EQ(RowOf(*Family(0).main, "KIFX2")[rowcell::kMax].i, 1);

    // Family 0: grey edits on "Filter parameters" except under "Feed forward".
    const ParamTable& m0 = *Family(0).main;
    std::string heading;
    int greyCount = 0;
    for (int r = 101; r < m0.RowCount(); ++r) {
        const InitParam* row = m0.Row(r);
        if (row[0].i == pckBar && row[3].i == bsHeading)
            heading = row[2].text;
        if (row[0].i == pckEdit) {
            const bool grey = (row[rowcell::kFlags].i & efGrey) != 0;
            EXPECT_EQ(grey, heading != "Feed forward") << row[2].text;
            greyCount += grey;
        }
    }
    EXPECT_EQ(greyCount, 24);

    // Family 1: 16.16 "Load" whose step 6553.6 is 0.1 shown, and 24.8 feed-forward edits.
    const InitParam* load1 = RowOf(*Family(1).main, "Load");
    EXPECT_EQ(load1[rowcell::kFlags].i & efTypeMask, efFix16_16);
    EXPECT_DOUBLE_EQ(load1[rowcell::kMin].d, 0.003);
    EXPECT_DOUBLE_EQ(load1[rowcell::kEditMore].d, 6553.6);
    EXPECT_EQ(load1[1].i, 0xFFEF);
    const InitParam* kff5 = RowOf(*Family(1).main, "KFF5");
    EXPECT_EQ(kff5[3].i, 121);
    EXPECT_EQ(kff5[rowcell::kFlags].i, efFix24_8 | efEditable | efSetupFile);
    EXPECT_EQ(kff5[rowcell::kMin].i, -8388608);
    EXPECT_DOUBLE_EQ(kff5[rowcell::kMax].d, 8388607.0);
    EXPECT_EQ(RowOf(*Family(1).main, "KVFX6")[rowcell::kFlags].i, efFix16_16 | efEditable | efSetupFile | efGrey);
    EXPECT_DOUBLE_EQ(RowOf(*Family(1).main, "KVFX6")[rowcell::kMax].d, 32767.99);
}

TEST(FamilyTables, LimitsWrittenAsIntegersReadBackFromTheDouble)
{
    const InitParam* maxVelocity = RowOf(*Family(0).main, "Max velocity");
    EXPECT_EQ(maxVelocity[rowcell::kMin].i, -10487);
    EXPECT_EQ(maxVelocity[rowcell::kMin].d, -10487.0);
    EXPECT_DOUBLE_EQ(maxVelocity[rowcell::kScale].d, 0.476837158203125);
    EXPECT_EQ(maxVelocity[rowcell::kEditMore].d, 100.0);

    const InitParam* follow = RowOf(*Family(2).main, "Follow error");
    EXPECT_EQ(follow[rowcell::kMin].d, -2147483647.0);
    EXPECT_EQ(follow[rowcell::kMax].d, 2147483647.0);
    EXPECT_EQ(follow[1].i, 0x8000);

    const InitParam* maxVelocity1 = RowOf(*Family(1).main, "Max velocity");
    EXPECT_DOUBLE_EQ(maxVelocity1[rowcell::kMin].d, -12467.532467532466);
    EXPECT_DOUBLE_EQ(maxVelocity1[rowcell::kScale].d, 0.3609375);
}

TEST(FamilyTables, DecimalsAndAveragingCells)
{
    // Without a spin button the decimals follow the scale directly.
    const InitParam* offset = RowOf(*Family(0).main, "Analogue input offset");
    EXPECT_EQ(offset[rowcell::kEditMore].i, 2);
    EXPECT_EQ(RowOf(*Family(0).status, "Supply voltage")[rowcell::kEditMore].i, 1);
    EXPECT_EQ(RowOf(*Family(1).status, "Analogue input")[rowcell::kEditMore].i, 2);

    // Spin step, then decimals.
    const InitParam* running = RowOf(*Family(2).main, "Running Current");
    EXPECT_EQ(running[rowcell::kFlags].i, efInt16 | efEditable | efSetupFile | efSpin);
    EXPECT_DOUBLE_EQ(running[rowcell::kScale].d, 0.005870841487279843);
    EXPECT_DOUBLE_EQ(running[rowcell::kEditMore].d, 0.25);
    EXPECT_EQ(running[rowcell::kEditMore + 1].i, 2);
    EXPECT_EQ(running[5].text, "A RMS");
    EXPECT_EQ(running[6].text, "Units");

    // Decimals (0), then the averaging count; the absolute-value torque.
    const InitParam* velocity = RowOf(*Family(0).status, "Actual velocity");
    EXPECT_EQ(velocity[rowcell::kFlags].i, efInt16 | efAverage);
    EXPECT_EQ(velocity[rowcell::kEditMore].i, 0);
    EXPECT_EQ(velocity[rowcell::kEditMore + 1].i, 10);
    const InitParam* torque = RowOf(*Family(0).status, "Actual motor torque");
    EXPECT_EQ(torque[rowcell::kFlags].i, efInt16 | efAbsolute);
    EXPECT_EQ(torque[1].i, 0xFFFE);
}

TEST(FamilyTables, WideBitFieldsAndVisibilityMasks)
{
    // Family 1 errors reach bit 18: a value mask above bit 15.
    const InitParam* errors = RowOfKind(*Family(1).status, "Errors", pckBitList);
    EXPECT_EQ(errors[rowcell::kFirstBit].i, 0);
    EXPECT_EQ(errors[rowcell::kBitCount].i, 19);
    EXPECT_EQ(errors[rowcell::kColour].i, 255);
    const auto items = Items(errors, rowcell::kItems);
    ASSERT_EQ(items.size(), 15u);
    EXPECT_EQ(items[9], std::make_pair(17, std::string("Control voltage unstable")));
    EXPECT_EQ(items[12], std::make_pair(18, std::string("Short circuit")));

    // Combos that own all 16 bits of their register.
    for (auto [family, caption] : {std::pair{0, "Zero search mode"}, {1, "S-Curve"}, {2, "Baud rate"}}) {
        const InitParam* row = RowOf(*Family(family).main, caption);
        EXPECT_EQ(row[rowcell::kFirstBit].i, 0) << caption;
        EXPECT_EQ(row[rowcell::kBitCount].i, 16) << caption;
    }
    EXPECT_EQ(Items(RowOf(*Family(0).main, "Zero search mode"), rowcell::kItems).back(),
              std::make_pair(3584, std::string("Sensor type 2")));

    // Family 2: the fieldbus rows use group bit 16, the encoder rows bit 15.
    const ParamTable& m2 = *Family(2).main;
    for (int r = 114; r <= 117; ++r)
        EXPECT_EQ(m2.Cell(r, 1).i, 0x10000) << r;
    EXPECT_EQ(RowOf(m2, "Auto encoder synchronize")[1].i, 0x8000);
    EXPECT_EQ(RowOf(m2, "Use index after zero search")[1].i, 0x8000);
    EXPECT_EQ(RowOf(*Family(2).status, "Encoder position")[1].i, 0x8000);

    // The sixteen IO combos share register 125, one bit each.
    for (int io = 0; io < 8; ++io) {
        const InitParam* level = m2.Row(31 + io);
        const InitParam* type = m2.Row(39 + io);
        EXPECT_EQ(level[2].text, "IO" + std::to_string(io + 1) + " Active level");
        EXPECT_EQ(type[2].text, "IO" + std::to_string(io + 1) + " Type");
        EXPECT_EQ(level[3].i, 125);
        EXPECT_EQ(type[3].i, 125);
        EXPECT_EQ(level[rowcell::kFirstBit].i, io);
        EXPECT_EQ(type[rowcell::kFirstBit].i, io + 8);
        EXPECT_EQ(Items(type, rowcell::kItems)[1].second, "Output");
    }
}

TEST(FamilyTables, ItemListsKeepRowOrder)
{
    const auto ioType = Items(RowOf(*Family(1).main, "I/O Type"), rowcell::kItems);
    ASSERT_EQ(ioType.size(), 4u);
    EXPECT_EQ(ioType[0], std::make_pair(16, std::string("Puls/dir Input")));
    EXPECT_EQ(ioType[3], std::make_pair(9, std::string("Seriel Data")));

    // The longest list: 17 modes of the status view.
    for (int family : {0, 1}) {
        const InitParam* mode = RowOf(*Family(family).status, "Actual mode");
        EXPECT_EQ(mode[0].i, pckBitView);
        EXPECT_EQ(mode[rowcell::kColour].i, 50276392);
        const auto items = Items(mode, rowcell::kItems);
        ASSERT_EQ(items.size(), 17u);
        EXPECT_EQ(items[7], std::make_pair(12, std::string("Torque search")));
        EXPECT_EQ(items[16], std::make_pair(21, std::string("Analogue to pos.")));
    }

    // Bit numbers within the field, out of order, with a system colour.
    const InitParam* inPosition = RowOf(*Family(2).status, "In position");
    EXPECT_EQ(inPosition[rowcell::kFirstBit].i, 3);
    EXPECT_EQ(inPosition[rowcell::kBitCount].i, 5);
    EXPECT_EQ(inPosition[rowcell::kColour].i, -16777198);
    EXPECT_EQ(Items(inPosition, rowcell::kItems)[0], std::make_pair(1, std::string("In Position")));

    // One-hot dedicated inputs.
    const auto home = Items(RowOf(*Family(2).main, "Home input"), rowcell::kItems);
    ASSERT_EQ(home.size(), 9u);
    EXPECT_EQ(home[8], std::make_pair(128, std::string("Input 8")));
}

TEST(FamilyTables, DoubledCaptionsAndTyposStay)
{
    const ParamTable& m0 = *Family(0).main;
    const InitParam* first = RowOf(m0, "Register movement type", 0);
    const InitParam* second = RowOf(m0, "Register movement type", 1);
    EXPECT_EQ(first[1].i, 0x1000);
    EXPECT_EQ(Items(first, rowcell::kItems)[2].second, "Unlimited relative");
    EXPECT_EQ(second[1].i, 0x5);
    EXPECT_EQ(second[4].i, 1100);
    EXPECT_EQ(Items(second, rowcell::kItems)[2].second, "Unlimted relative");
    EXPECT_EQ(RowOf(m0, "Resyncronize position after passive mode")[3].i, 36);
    EXPECT_EQ(Items(RowOf(*Family(2).main, "Mode"), rowcell::kItems)[2].second, "Negtive move only");
    EXPECT_EQ(Family(2).main->Cell(48, 2).text, "Dedicatated Inputs");
}

TEST(FamilyTables, NonAsciiUnitsAreWindows1252)
{
    EXPECT_EQ(RowOf(*Family(0).main, "Acceleration")[6].text, "Cnts/S\xB2");
    EXPECT_EQ(RowOf(*Family(0).main, "Acceleration 1 (A1)")[6].text, "Cnts/Sample\xB2");
    EXPECT_EQ(RowOf(*Family(1).main, "Acceleration")[6].text, "Cnts/S^2");
    EXPECT_EQ(RowOf(*Family(2).status, "Temperature")[5].text, std::string("\xB0") + "C");
    EXPECT_EQ(RowOf(*Family(1).status, "Temperature")[5].text, std::string("\xB0") + "C");
    const InitParam* warnings = RowOfKind(*Family(2).status, "Warnings", pckBitList);
    const auto items = Items(warnings, rowcell::kItems);
    ASSERT_EQ(items.size(), 6u);
    EXPECT_EQ(items[5], std::make_pair(6, std::string("Temperature > 80 \xB0") + "C"));
    EXPECT_EQ(warnings[rowcell::kColour].i, 32768);
}

TEST(FamilyTables, Lamps)
{
    struct Expect {
        int family;
        const char* caption;
        int reg;
        int count;
        int flags;
        int onImage;
        int mask;
    };
    const Expect lamps[] = {
        {0, "Inputs", 256, 8, lfNone, 0, 0x4000},      {0, "Outputs", 257, 4, lfClickable, 2, 0x4000},
        {1, "Inputs", 256, 8, lfNone, 0, 0x4000},      {1, "Outputs", 257, 4, lfClickable, 2, 0x4000},
        {2, "Inputs", 18, 8, lfNone, 0, kShowAlways}, {2, "Outputs", 19, 8, lfClickable, 2, kShowAlways},
    };
    for (const Expect& e : lamps) {
        SCOPED_TRACE(std::to_string(e.family) + " " + e.caption);
        const InitParam* row = RowOfKind(*Family(e.family).status, e.caption, pckBitLamps);
        EXPECT_EQ(row[1].i, e.mask);
        EXPECT_EQ(row[3].i, e.reg);
        EXPECT_EQ(row[rowcell::kFirstBit].i, 0);
        EXPECT_EQ(row[rowcell::kBitCount].i, e.count);
        EXPECT_EQ(row[rowcell::kLampFlags].i, e.flags);
        EXPECT_EQ(row[rowcell::kLampImages].p, static_cast<const void*>(kWindowLampImages));
        EXPECT_EQ(row[rowcell::kLampOnImage].i, e.onImage);
        EXPECT_EQ(row[rowcell::kLampNumber].i, 1);
    }
}

TEST(FamilyTables, RegisterWidthRules)
{
    // Family 0 "Hysteresis" shares 32-bit register 53 and is a 32-bit edit.
    const InitParam* hysteresis = RowOf(*Family(0).main, "Hysteresis");
    EXPECT_EQ(hysteresis[3].i, 53);
    EXPECT_EQ(hysteresis[rowcell::kFlags].i, efInt32 | efEditable);
    EXPECT_EQ(hysteresis[rowcell::kMax].i, 67000000);
    EXPECT_EQ(RowOf(*Family(1).main, "Hysteresis")[rowcell::kFlags].i, efInt32 | efEditable);

    // Every edit and info row of family 1 is 32 bits wide.
    for (const ParamTable* table : {Family(1).main, Family(1).status, Family(1).extra})
        for (int r = 0; r < table->RowCount(); ++r) {
            const InitParam* row = table->Row(r);
            if (row[0].i == pckEdit) {
                const int type = row[rowcell::kFlags].i & efTypeMask;
                EXPECT_TRUE(type == efInt32 || type == efFix16_16 || type == efFix24_8) << row[2].text;
            } else if (row[0].i == pckInfo) {
                EXPECT_EQ(row[rowcell::kInfoType].i, efInt32) << row[2].text;
            }
        }

    // Family 0 info rows: two 32-bit registers among 16-bit ones, never shown.
    int infos = 0;
    for (int r = 136; r < 150; ++r) {
        const InitParam* row = Family(0).main->Row(r);
        ASSERT_EQ(row[0].i, pckInfo);
        EXPECT_EQ(row[1].i, kNeverShown);
        const bool wide = row[2].text == "SERIALNUMBER" || row[2].text == "CHECKSUM";
        EXPECT_EQ(row[rowcell::kInfoType].i, wide ? efInt32 : efInt16) << row[2].text;
        ++infos;
    }
    EXPECT_EQ(infos, 14);
}

// ---------------------------------------------------------------------------
// Hints

TEST(HintTexts, EveryHintARowRefersToResolves)
{
    std::set<int> referenced;
    for (int family = 0; family < 3; ++family)
        for (const ParamTable* table : {Family(family).main, Family(family).status, Family(family).extra})
            for (int r = 0; r < table->RowCount(); ++r) {
                const InitParam* row = table->Row(r);
                const int base = row[4].i;
                if (base == 0)
                    continue;
                EXPECT_FALSE(LoadStr(base).empty()) << row[2].text << " hint " << base;
                referenced.insert(base);
                if (row[0].i == pckRadioGroup || row[0].i == pckRadioGroupMode) {
                    for (int i = 0; i < row[rowcell::kRadioItems].i; ++i) {
                        EXPECT_FALSE(LoadStr(base + 1 + i).empty()) << row[2].text << " item " << i;
                        referenced.insert(base + 1 + i);
                    }
                }
                if (row[0].i == pckEdit && HasStr(base + 1))
                    referenced.insert(base + 1);  // the unit label's hint
            }
    // No hint text is left without a row that shows it.
    for (int id : {400, 413, 450, 463, 500, 501, 600, 601, 700, 800, 900, 1000, 1100, 1200, 1201})
        EXPECT_TRUE(referenced.count(id)) << id;
    EXPECT_EQ(referenced.size(), 39u);
}

TEST(HintTexts, LinesAndLeadingBlanksAsGiven)
{
    EXPECT_EQ(LoadStr(400), "Select the startup mode");
    EXPECT_EQ(LoadStr(403), "The motor accepts position commands\nthrough the serial port");
    EXPECT_EQ(LoadStr(407), "The motor runs with a velocity relative to the analog input\n"
                            " and the pulse input\n"
                            "The sample frequency is 521Hz");
    EXPECT_EQ(LoadStr(459), "The motor will give a torque relativ to the analogue input\n"
                            "without any velocity or acceleration limits\n"
                            "The sample frequency is 10kHz");
    EXPECT_EQ(LoadStr(600), "Enter a negative torque\n"
                            " to invert the home sensor trig level\n"
                            "Torque specified from 0% to +/-300%");
    EXPECT_EQ(LoadStr(462), "The motor movement is initiated by the analogue input\n"
                            "A low to high transition activates the high position\n"
                            "A high to low transition activates the low position\n"
                            "The sample frequency is 770Hz");
    EXPECT_EQ(LoadStr(1201), "This feature requires firmware version 1.12 or higher");
    EXPECT_TRUE(LoadStr(414).empty());
    EXPECT_TRUE(LoadStr(901).empty());
}
