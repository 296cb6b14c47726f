// The structural checks run over every table, and catch the faults they are
// meant to catch.

#include "validator.h"

#include "params/parameterlists.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace quenor;
using tablecheck::ValidateTable;

namespace {

std::string Join(const std::vector<std::string>& lines)
{
    std::string all;
    for (const auto& l : lines)
        all += l + "\n";
    return all;
}

void ExpectSound(const ParamTable* table)
{
    ASSERT_NE(table, nullptr);
    const auto faults = ValidateTable(*table);
    EXPECT_TRUE(faults.empty()) << Join(faults);
}

// A table with a page row and the rows that `fill` writes.
template <class F>
ParamTable Table(F fill)
{
    ParamTable table;
    TableWriter t(table);
    t.Page("P", psVertical);
    fill(t);
    return table;
}

bool Mentions(const std::vector<std::string>& faults, const std::string& what)
{
    for (const auto& f : faults)
        if (f.find(what) != std::string::npos)
            return true;
    return false;
}

}  // namespace

TEST(TableStructure, EveryTableOfEveryFamilyIsSound)
{
    for (int family = 0; family < 3; ++family) {
        SCOPED_TRACE("family " + std::to_string(family));
        const ParamTableSet* set = TableSetOfFamily(family);
        ASSERT_NE(set, nullptr);
        ExpectSound(set->main);
        ExpectSound(set->status);
        ExpectSound(set->extra);
    }
}

TEST(TableStructure, ValidatorAcceptsEveryKindWrittenByTheWriter)
{
    const ParamTable table = Table([](TableWriter& t) {
        t.Heading(kShowAlways, "H");
        t.ColumnBreak(kShowAlways, "C");
        t.Edit(0x4, "E", 5, 500, "RPM", "Cnts/S", efInt16 | efEditable | efSetupFile | efSpin, -10, 10, 0.5,
               {.step = 100, .decimals = 2});
        t.Edit(kShowAlways, "A", 12, kNoHint, "RPM", "", efInt16 | efAverage, 0, 10, 1, {.average = 10});
        t.Info("I", 1, efInt32);
        t.RadioGroup(kShowAlways, "R", 37, Bits(0, 4), kNoHint, {{0, "a"}, {21, "b"}});
        t.RadioGroupMode(kShowAlways, "RM", 37, Bits(0, 4), kNoHint, {{0, "a"}});
        t.CheckBox(kShowAlways, "X", 36, Bit(9), kNoHint);
        t.Combo(kShowAlways, "C", 42, Bits(0, 15), 120, kNoHint, {{0, "a"}, {3584, "b"}});
        t.BitView(kShowAlways, "V", 2, Bits(0, 4), 255, {{0, "a"}});
        t.BitList(kShowAlways, "L", 35, Bits(0, 18), 255, {{18, "a"}});
        t.BitLamps(0x4000, "O", 257, Bits(0, 3), lfClickable, 2, 1);
    });
    ExpectSound(&table);
}

TEST(TableStructure, ValidatorFindsBrokenRows)
{
    // Item value outside its field.
    EXPECT_TRUE(Mentions(ValidateTable(Table([](TableWriter& t) {
                             t.Combo(kShowAlways, "C", 36, Bits(0, 1), 120, kNoHint, {{0, "a"}, {4, "b"}});
                         })),
                         "does not fit the field"));
    // Bit number beyond a bit list's field.
    EXPECT_TRUE(Mentions(ValidateTable(Table([](TableWriter& t) {
                             t.BitList(kShowAlways, "L", 35, Bits(4, 6), 0, {{3, "a"}});
                         })),
                         "does not fit the field"));
    // Same value twice.
    EXPECT_TRUE(Mentions(ValidateTable(Table([](TableWriter& t) {
                             t.Combo(kShowAlways, "C", 36, Bits(0, 1), 120, kNoHint, {{1, "a"}, {1, "b"}});
                         })),
                         "listed twice"));
    // A row that is never shown.
    EXPECT_TRUE(Mentions(ValidateTable(Table([](TableWriter& t) { t.Heading(0, "H"); })), "never shown"));
    // Minimum above maximum; unknown value type.
    EXPECT_TRUE(Mentions(ValidateTable(Table([](TableWriter& t) {
                             t.Edit(kShowAlways, "E", 5, kNoHint, "", "", efInt16 | efEditable, 10, -10, 1);
                         })),
                         "minimum above maximum"));
    EXPECT_TRUE(Mentions(ValidateTable(Table([](TableWriter& t) {
                             t.Edit(kShowAlways, "E", 5, kNoHint, "", "", 7 | efEditable, 0, 1, 1);
                         })),
                         "value type 7 unknown"));

    // Rows written by hand: a stray cell, a missing spin step, an unknown kind,
    // a lamp row without the image list, a register out of range.
    ParamTable table = Table([](TableWriter& t) {
        t.CheckBox(kShowAlways, "X", 36, Bit(9), kNoHint);
        t.Edit(kShowAlways, "E", 5, kNoHint, "", "", efInt16 | efEditable, 0, 1, 1);
        t.Heading(kShowAlways, "K");
        t.BitLamps(kShowAlways, "O", 257, Bits(0, 3), lfNone, 2, 1);
        t.CheckBox(kShowAlways, "R", 300, Bit(0), kNoHint);
    });
    table.Cell(1, 20) = InitParam(5);
    table.Cell(2, 7) = InitParam(efInt16 | efEditable | efSpin);
    table.Cell(3, 0) = InitParam(2);
    table.Cell(4, 8) = InitParam();
    const auto faults = ValidateTable(table);
    EXPECT_TRUE(Mentions(faults, "row 1 (\"X\"): cell 20 is set")) << Join(faults);
    EXPECT_TRUE(Mentions(faults, "row 2 (\"E\"): spin button without a step")) << Join(faults);
    EXPECT_TRUE(Mentions(faults, "row 3 (\"K\"): kind 2 builds no control")) << Join(faults);
    EXPECT_TRUE(Mentions(faults, "row 4 (\"O\"): lamp row does not point")) << Join(faults);
    EXPECT_TRUE(Mentions(faults, "row 5 (\"R\"): register 300")) << Join(faults);

    ParamTable noPage;
    TableWriter(noPage).Heading(kShowAlways, "H");
    EXPECT_TRUE(Mentions(ValidateTable(noPage), "does not start with a page"));
}

TEST(TableWriter, RefusesRowsThatCannotHoldTheirCells)
{
    ParamTable table;
    TableWriter t(table);

    // 21 items fit a list at cell 7, 20 at cell 8; 30 is the list's own limit.
    ParamItem items20[20];
    ParamItem items21[21];
    ParamItem items31[31];
    for (int i = 0; i < 31; ++i) {
        if (i < 20)
            items20[i] = ParamItem{i, "x"};
        if (i < 21)
            items21[i] = ParamItem{i, "x"};
        items31[i] = ParamItem{i, "x"};
    }
    EXPECT_NO_THROW(t.RadioGroup(kShowAlways, "R", 37, Bits(0, 4), kNoHint, items21));
    EXPECT_EQ(table.Cell(0, 7).i, 21);
    EXPECT_EQ(table.Cell(0, 49).text, "x");
    EXPECT_THROW(t.Combo(kShowAlways, "C", 42, Bits(0, 15), 120, kNoHint, items21), std::length_error);
    EXPECT_NO_THROW(t.Combo(kShowAlways, "C", 42, Bits(0, 15), 120, kNoHint, items20));
    EXPECT_EQ(table.Cell(1, 8).i, 20);
    EXPECT_THROW(t.RadioGroup(kShowAlways, "R", 37, Bits(0, 15), kNoHint, items31), std::length_error);

    // Extra edit cells that disagree with the flags.
    EXPECT_THROW(t.Edit(kShowAlways, "E", 5, kNoHint, "", "", efInt16 | efEditable | efSpin, 0, 1, 1),
                 std::length_error);
    EXPECT_THROW(t.Edit(kShowAlways, "E", 5, kNoHint, "", "", efInt16 | efEditable, 0, 1, 1, {.step = 10}),
                 std::length_error);
    EXPECT_THROW(t.Edit(kShowAlways, "E", 5, kNoHint, "", "", efInt16 | efAverage, 0, 1, 1), std::length_error);

    // A bit field beyond bit 31.
    EXPECT_THROW(t.CheckBox(kShowAlways, "X", 36, Bit(32), kNoHint), std::length_error);
    EXPECT_THROW(t.Combo(kShowAlways, "C", 42, Bits(16, 32), 120, kNoHint, {{0, "a"}}), std::length_error);

    // A refused row leaves the table as it was.
    EXPECT_EQ(table.RowCount(), 2);
}
