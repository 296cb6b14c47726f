#include "validator.h"

#include "params/lampimages.h"
#include "params/parameterlists.h"

#include <cmath>
#include <set>

using namespace quenor;

namespace tablecheck {

namespace {

bool IsEmpty(const InitParam& c) { return c.i == 0 && c.d == 0.0 && c.text.empty() && c.p == nullptr; }

// A cell written from an integer: both members agree and there is no text or pointer.
bool IsInteger(const InitParam& c)
{
    return c.d == static_cast<double>(c.i) && c.text.empty() && c.p == nullptr;
}

// A cell written from a number (integer or double).
bool IsNumber(const InitParam& c) { return c.text.empty() && c.p == nullptr && std::isfinite(c.d); }

// A cell written from a text (an empty text counts).
bool IsText(const InitParam& c) { return c.i == 0 && c.d == 0.0 && c.p == nullptr; }

class RowChecker {
public:
    RowChecker(const InitParam* row, int index, std::vector<std::string>& faults)
        : row_(row), index_(index), faults_(faults)
    {
    }

    void Fault(const std::string& what)
    {
        faults_.push_back("row " + std::to_string(index_) + " (\"" + row_[2].text + "\"): " + what);
    }

    void Integer(int cell)
    {
        Use(cell);
        if (!IsInteger(row_[cell]))
            Fault("cell " + std::to_string(cell) + " is not an integer");
    }
    void Number(int cell)
    {
        Use(cell);
        if (!IsNumber(row_[cell]))
            Fault("cell " + std::to_string(cell) + " is not a number");
    }
    void Text(int cell)
    {
        Use(cell);
        if (!IsText(row_[cell]))
            Fault("cell " + std::to_string(cell) + " is not a text");
    }
    void Use(int cell) { used_.insert(cell); }

    int I(int cell) const { return row_[cell].i; }
    double D(int cell) const { return row_[cell].d; }

    // Bit field in cells 5 and 6.
    void Bits()
    {
        Integer(rowcell::kFirstBit);
        Integer(rowcell::kBitCount);
        const int first = I(rowcell::kFirstBit);
        const int count = I(rowcell::kBitCount);
        if (first < 0 || count < 1 || first + count > 32)
            Fault("bit field outside a 32-bit register");
    }

    // Item list at `cell`; values are field values, or bit numbers within the field.
    void Items(int cell, bool bitNumbers)
    {
        Integer(cell);
        const int n = I(cell);
        if (n < 1 || n > rowcell::ItemRoom(cell)) {
            Fault("item count " + std::to_string(n) + " outside 1.." + std::to_string(rowcell::ItemRoom(cell)));
            return;
        }
        const int count = I(rowcell::kBitCount);
        const long long fieldTop = count >= 32 ? (1LL << 32) : (1LL << count);
        std::set<int> values;
        for (int k = 0; k < n; ++k) {
            const int vc = cell + 1 + 2 * k;
            Integer(vc);
            Text(vc + 1);
            const int v = I(vc);
            if (row_[vc + 1].text.empty())
                Fault("item " + std::to_string(k) + " has no text");
            if (bitNumbers ? (v < 0 || v >= count) : (v < 0 || v >= fieldTop))
                Fault("item value " + std::to_string(v) + " does not fit the field");
            if (!values.insert(v).second)
                Fault("item value " + std::to_string(v) + " listed twice");
        }
    }

    // Every cell not used by the kind must stay empty.
    void RestEmpty()
    {
        for (int c = 0; c < kCellsPerRow; ++c)
            if (!used_.count(c) && !IsEmpty(row_[c]))
                Fault("cell " + std::to_string(c) + " is set but not used by the kind");
    }

private:
    const InitParam* row_;
    int index_;
    std::vector<std::string>& faults_;
    std::set<int> used_;
};

void CheckEdit(RowChecker& r)
{
    r.Text(rowcell::kUnit);
    r.Text(rowcell::kAltUnit);
    r.Integer(rowcell::kFlags);
    r.Number(rowcell::kMin);
    r.Number(rowcell::kMax);
    r.Number(rowcell::kScale);
    const int flags = r.I(rowcell::kFlags);
    const int type = flags & efTypeMask;
    if (type < efInt16 || type > efFix24_8)
        r.Fault("value type " + std::to_string(type) + " unknown");
    if (flags & ~kKnownEditFlags)
        r.Fault("unknown edit flag bits");
    if (r.D(rowcell::kMin) > r.D(rowcell::kMax))
        r.Fault("minimum above maximum");
    if (r.D(rowcell::kScale) <= 0.0)
        r.Fault("scale not positive");
    if ((flags & efSetupFile) && !(flags & efEditable))
        r.Fault("a display-only value writes a setup-file line");
    if ((flags & efGrey) && !(flags & efEditable))
        r.Fault("grey flag without an edit field");
    if (flags & efSpin) {
        r.Number(rowcell::kEditMore);
        if (r.D(rowcell::kEditMore) <= 0.0)
            r.Fault("spin button without a step");
    }
    const int decimals = rowcell::Decimals(flags);
    r.Integer(decimals);
    if (r.I(decimals) < 0 || r.I(decimals) > 6)
        r.Fault("decimals outside 0..6");
    if (flags & efAverage) {
        r.Integer(rowcell::Average(flags));
        if (r.I(rowcell::Average(flags)) < 1)
            r.Fault("running average without a count");
    }
}

void CheckRow(const InitParam* row, int index, std::vector<std::string>& faults)
{
    RowChecker r(row, index, faults);
    r.Integer(0);
    r.Integer(1);
    r.Text(2);
    r.Integer(3);
    r.Integer(4);
    const int kind = r.I(0);
    const int mask = r.I(1);
    const int reg = r.I(3);
    if (row[2].text.empty())
        r.Fault("no caption");
    if (mask & ~0x1FFFF)
        r.Fault("visibility mask has bits above bit 16");
    if (r.I(4) < 0)
        r.Fault("negative hint base");
    const bool hasRegister = kind != pckPage && kind != pckBar;
    if (hasRegister && (reg < 1 || reg > 257))
        r.Fault("register " + std::to_string(reg) + " outside 1..257");
    if (kind != pckInfo && mask == 0)
        r.Fault("row never shown");

    switch (kind) {
    case pckPage:
        if (reg & ~(psVertical | psHorizontal))
            r.Fault("unknown scroll-bar flags");
        if (mask != kShowAlways)
            r.Fault("page not shown in every mode");
        break;
    case pckBar:
        if (reg != bsHeading && reg != bsColumnBreak)
            r.Fault("unknown bar style");
        break;
    case pckEdit:
        CheckEdit(r);
        break;
    case pckInfo:
        r.Integer(rowcell::kInfoType);
        if (r.I(rowcell::kInfoType) != efInt16 && r.I(rowcell::kInfoType) != efInt32)
            r.Fault("info value type not 16 or 32 bits");
        if (mask != kNeverShown)
            r.Fault("info row can be shown");
        break;
    case pckRadioGroup:
    case pckRadioGroupMode:
        r.Bits();
        r.Items(rowcell::kRadioItems, false);
        break;
    case pckCheckBox:
        r.Bits();
        if (r.I(rowcell::kBitCount) != 1)
            r.Fault("check box on more than one bit");
        break;
    case pckCombo:
        r.Bits();
        r.Integer(rowcell::kComboWidth);
        if (r.I(rowcell::kComboWidth) < 20)
            r.Fault("combo list too narrow");
        r.Items(rowcell::kItems, false);
        break;
    case pckBitView:
        r.Bits();
        r.Integer(rowcell::kColour);
        r.Items(rowcell::kItems, false);
        break;
    case pckBitList:
        r.Bits();
        r.Integer(rowcell::kColour);
        r.Items(rowcell::kItems, true);
        break;
    case pckBitLamps:
        r.Bits();
        r.Integer(rowcell::kLampFlags);
        r.Use(rowcell::kLampImages);
        r.Integer(rowcell::kLampOnImage);
        r.Integer(rowcell::kLampNumber);
        if (r.I(rowcell::kLampFlags) & ~lfClickable)
            r.Fault("unknown lamp flags");
        if (row[rowcell::kLampImages].p != static_cast<const void*>(kWindowLampImages) ||
            !row[rowcell::kLampImages].text.empty() || row[rowcell::kLampImages].i != 0 ||
            row[rowcell::kLampImages].d != 0.0)
            r.Fault("lamp row does not point at the lamp image list");
        if (r.I(rowcell::kLampOnImage) < 0)
            r.Fault("negative lamp image index");
        break;
    default:
        r.Fault("kind " + std::to_string(kind) + " builds no control");
        break;
    }
    r.RestEmpty();
}

}  // namespace

std::vector<std::string> ValidateTable(const ParamTable& table)
{
    std::vector<std::string> faults;
    for (int r = 0; r < table.RowCount(); ++r)
        CheckRow(table.Row(r), r, faults);
    if (table.RowCount() == 0 || table.Cell(0, 0).i != pckPage)
        faults.push_back("table does not start with a page");
    return faults;
}

}  // namespace tablecheck
