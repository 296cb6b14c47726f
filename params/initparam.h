#pragma once
// One cell of a parameter table, and the table set of a motor family.
//
// A row is 50 cells: 0 control kind, 1 visibility mask, 2 caption, 3 register,
// 4 hint base, then cells by kind. Cells a row does not use stay empty.

#include <cstdint>
#include <string>
#include <vector>

namespace quenor {

constexpr int kCellsPerRow = 50;

struct InitParam {
    std::string text;        // 8-bit text
    std::int32_t i = 0;
    double d = 0.0;
    const void* p = nullptr;

    InitParam() = default;
    InitParam(int value) : i(value), d(value) {}  // an integer also sets the double
    InitParam(double value) : d(value) {}
    InitParam(const char* value) : text(value) {}
    InitParam(std::string value) : text(std::move(value)) {}
    InitParam(const void* value) : p(value) {}
};

// A table: rows of 50 cells, cell c of row r at index r * 50 + c.
class ParamTable {
public:
    ParamTable() = default;
    explicit ParamTable(int rows) : cells_(static_cast<std::size_t>(rows) * kCellsPerRow) {}

    int RowCount() const { return static_cast<int>(cells_.size() / kCellsPerRow); }
    const InitParam* Row(int r) const { return &cells_[static_cast<std::size_t>(r) * kCellsPerRow]; }
    InitParam* Row(int r) { return &cells_[static_cast<std::size_t>(r) * kCellsPerRow]; }
    const InitParam& Cell(int r, int c) const { return Row(r)[c]; }
    InitParam& Cell(int r, int c) { return Row(r)[c]; }
    // Appends an empty row and returns it.
    InitParam* AddRow()
    {
        cells_.resize(cells_.size() + kCellsPerRow);
        return Row(RowCount() - 1);
    }

private:
    std::vector<InitParam> cells_;
};

// The three tables of one motor family.
struct ParamTableSet {
    const ParamTable* main = nullptr;    // the parameter pages
    const ParamTable* status = nullptr;  // the status view
    const ParamTable* extra = nullptr;   // the test-position panel

    int MainRowCount() const { return main ? main->RowCount() : 0; }
    int StatusRowCount() const { return status ? status->RowCount() : 0; }
    int ExtraRowCount() const { return extra ? extra->RowCount() : 0; }
};

// Control kinds of cell 0.
enum ParamControlKind : int {
    pckEdit = 1,
    pckBar = 3,
    pckRadioGroup = 4,
    pckRadioGroupMode = 5,  // with the "Change actual mode" check box
    pckBitView = 6,
    pckCheckBox = 7,
    pckBitList = 8,
    pckPage = 9,
    pckCombo = 10,
    pckInfo = 13,
    pckBitLamps = 14,
};

// Edit flags (cell 7 of an edit row). The low five bits hold the value type;
// an info row's cell 5 holds a value type too.
enum EditFlag : int {
    efInt16 = 1,     // 16-bit signed integer
    efInt32 = 2,     // 32-bit integer
    efFix4_12 = 3,   // 16-bit fixed point, 12 fraction bits (raw = value * 4096)
    efFix8_8 = 4,    // 16-bit fixed point, 8 fraction bits (raw = value * 256)
    efFix16_16 = 5,  // 32-bit fixed point, 16 fraction bits (raw = value * 65536)
    efFix24_8 = 6,   // 32-bit fixed point, 8 fraction bits (raw = value * 256)
    efTypeMask = 0x1F,

    efEditable = 0x20,   // an edit field is shown; without it the value is polled
    efSetupFile = 0x40,  // the control writes a setup-file line
    efSpin = 0x80,       // a spin button; the spin step cell follows the scale
    efAverage = 0x100,   // running average; the averaging count cell follows the decimals
    efAbsolute = 0x200,  // the rounded value is shown without its sign
    efGrey = 0x400,      // the edit field is disabled and drawn in the button-face colour
    efNonZero = 0x800,   // zero is refused as input
};

// All edit flag bits that have a meaning.
constexpr int kKnownEditFlags = efTypeMask | efEditable | efSetupFile | efSpin | efAverage | efAbsolute |
                                efGrey | efNonZero;

}  // namespace quenor
