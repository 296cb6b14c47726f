#pragma once
// The parameter tables of the three motor families and the helpers that write
// their rows.
//
// Family 0 is the first servo family, family 1 the second servo generation and
// family 2 the integrated stepper motors. Each family has a main table (the
// parameter pages), a status table (the status view) and an extra table (the
// test-position panel). The tables are built on first use and never change.

#include "params/initparam.h"

#include <array>
#include <cstddef>
#include <initializer_list>

namespace quenor {

// ---------------------------------------------------------------------------
// Cell values

// Visibility mask (cell 1).
constexpr int kShowAlways = 0xFFFF;  // shown in every mode
constexpr int kNeverShown = 0;       // built but never shown (info rows)

// Hint base (cell 4).
constexpr int kNoHint = 0;

// Scroll bars of a page (cell 3 of a page row).
enum PageScrollBars : int {
    psNone = 0,
    psVertical = 1,
    psHorizontal = 2,
};

// Bar styles (cell 3 of a bar row).
enum BarStyle : int {
    bsHeading = 1,      // heading line with caption
    bsColumnBreak = 2,  // vertical separator that starts a new column (caption not shown)
};

// Bit lamp flags (cell 7 of a lamp row).
enum LampFlag : int {
    lfNone = 0,
    lfClickable = 1,
};

// An item list holds at most this many entries.
constexpr int kItemCapacity = 30;

// Where the kind-specific cells of a row lie.
namespace rowcell {
constexpr int kPageScroll = 3;  // pages
constexpr int kBarStyle = 3;    // bars
constexpr int kFirstBit = 5;    // bit-field kinds
constexpr int kBitCount = 6;
constexpr int kColour = 7;      // bit views and bit lists: font colour
constexpr int kComboWidth = 7;  // combos: width of the drop-down list
constexpr int kLampFlags = 7;
constexpr int kLampImages = 8;  // pointer to the variable that holds the lamp image list
constexpr int kLampOnImage = 9;
constexpr int kLampNumber = 10;  // number printed over the rightmost lamp
constexpr int kInfoType = 5;
constexpr int kUnit = 5;  // edits
constexpr int kAltUnit = 6;
constexpr int kFlags = 7;
constexpr int kMin = 8;
constexpr int kMax = 9;
constexpr int kScale = 10;
// The spin step (only with efSpin), the decimals and the averaging count (only
// with efAverage) follow the scale in this order.
constexpr int kEditMore = 11;
// Item lists: the item count, then value and text of each item.
constexpr int kRadioItems = 7;  // radio groups
constexpr int kItems = 8;       // bit views, bit lists and combos

constexpr int Decimals(int editFlags) { return kEditMore + ((editFlags & efSpin) ? 1 : 0); }
constexpr int Average(int editFlags) { return Decimals(editFlags) + 1; }

// Number of items an item list at `cell` can hold within one row.
constexpr int ItemRoom(int cell)
{
    const int inRow = (kCellsPerRow - 1 - cell) / 2;
    return inRow < kItemCapacity ? inRow : kItemCapacity;
}
}  // namespace rowcell

// ---------------------------------------------------------------------------
// The tables

// The three tables of one family, owned.
struct FamilyTables {
    ParamTable main;
    ParamTable status;
    ParamTable extra;

    ParamTableSet Set() const { return ParamTableSet{&main, &status, &extra}; }
};

// Builders: each returns a freshly built copy of its family's tables.
FamilyTables BuildServoTables();   // family 0
FamilyTables BuildServo2Tables();  // family 1
FamilyTables BuildStepperTables(); // family 2

// The table sets, built on first use and kept until the program ends.
const ParamTableSet& ServoTables();
const ParamTableSet& Servo2Tables();
const ParamTableSet& StepperTables();

// The table set of family 0, 1 or 2; null for any other family.
const ParamTableSet* TableSetOfFamily(int family);

// ---------------------------------------------------------------------------
// Row writer used by the table builders

struct ParamItem {
    int value;
    const char* text;
};

// An item list, copied from a braced list in place or from a named array.
// A list longer than kItemCapacity keeps its true size, so that writing it
// fails.
class ParamItems {
public:
    ParamItems(std::initializer_list<ParamItem> items) { Assign(items.begin(), items.size()); }
    template <std::size_t N>
    ParamItems(const ParamItem (&items)[N])
    {
        Assign(items, N);
    }

    const ParamItem* begin() const { return items_.data(); }
    const ParamItem* end() const { return items_.data() + (size_ < items_.size() ? size_ : items_.size()); }
    std::size_t size() const { return size_; }

private:
    void Assign(const ParamItem* items, std::size_t n)
    {
        size_ = n;
        for (std::size_t i = 0; i < n && i < items_.size(); ++i)
            items_[i] = items[i];
    }

    std::array<ParamItem, kItemCapacity> items_{};
    std::size_t size_ = 0;
};

// A bit field of a register: first bit and bit count.
struct BitField {
    int first;
    int count;
};
constexpr BitField Bits(int first, int last) { return BitField{first, last - first + 1}; }
constexpr BitField Bit(int bit) { return BitField{bit, 1}; }

// The cells of an edit row after the scale. `step` is written only when the
// flags have efSpin, `average` only with efAverage; `decimals` always.
struct EditMore {
    InitParam step{};
    int decimals = 0;
    int average = 0;
};

// Appends rows to a table. Numbers given as integers fill both the integer and
// the double member of their cell, as a table written by hand would.
// A row that cannot hold its cells (an item list too long for its row, a bit
// field beyond bit 31, edit cells that do not agree with the flags) throws
// std::length_error and leaves the table unchanged.
class TableWriter {
public:
    explicit TableWriter(ParamTable& table) : table_(table) {}

    void Page(const char* caption, int scrollBars);
    void Heading(int mask, const char* caption);
    void ColumnBreak(int mask, const char* caption);
    void Edit(int mask, const char* caption, int reg, int hint, const char* unit, const char* altUnit, int flags,
              InitParam min, InitParam max, InitParam scale, const EditMore& more = {});
    void Info(const char* caption, int reg, int valueType);
    void RadioGroup(int mask, const char* caption, int reg, BitField bits, int hint, ParamItems items);
    void RadioGroupMode(int mask, const char* caption, int reg, BitField bits, int hint, ParamItems items);
    void CheckBox(int mask, const char* caption, int reg, BitField bits, int hint);
    void Combo(int mask, const char* caption, int reg, BitField bits, int width, int hint, ParamItems items);
    void BitView(int mask, const char* caption, int reg, BitField bits, int colour, ParamItems items);
    void BitList(int mask, const char* caption, int reg, BitField bits, int colour, ParamItems items);
    void BitLamps(int mask, const char* caption, int reg, BitField bits, int flags, int onImage, int rightmostNumber);

private:
    InitParam* Row(int kind, int mask, const char* caption, int reg, int hint);
    // A bit view or bit list: a bit field, a text colour and items.
    void ColouredItems(int kind, int mask, const char* caption, int reg, BitField bits, int colour, ParamItems items);
    static void CheckBits(BitField bits);
    static void CheckItems(int cell, const ParamItems& items);
    static void PutBits(InitParam* row, BitField bits);
    static void PutItems(InitParam* row, int cell, const ParamItems& items);

    ParamTable& table_;
};

}  // namespace quenor
