#include "app/filterselector.h"

#include "platform/regularfile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>
#include <utility>

namespace quenor {

// ---------------------------------------------------------------------------
// Batches of register writes

Message WriteRegisterMessage(const RegisterWrite& w)
{
    Message m;
    m.msg = UM_WRITEREGISTER;
    m.wParam = (w.reg & 0xFFFF) | (w.width == 4 ? 0x10000 : 0);
    m.lParam = w.value;
    return m;
}

RegisterWrite DecodeWriteRegister(const Message& m)
{
    RegisterWrite w;
    w.reg = static_cast<int>(m.wParam & 0xFFFF);
    w.width = ((m.wParam >> 16) & 0xFFFF) ? 4 : 2;
    w.value = static_cast<std::int32_t>(m.lParam);
    return w;
}

void RegisterWriteBatch::Begin()
{
    open_ = true;
    writes_.clear();
}

bool RegisterWriteBatch::Add(const RegisterWrite& w)
{
    if (!open_)
        return false;
    writes_.push_back(w);
    return true;
}

std::vector<RegisterWrite> RegisterWriteBatch::End()
{
    open_ = false;
    return std::exchange(writes_, {});
}

bool BatchFits(std::size_t writes, int queued, int capacity)
{
    const std::int64_t room = static_cast<std::int64_t>(capacity) - std::max(queued, 0);
    return static_cast<std::int64_t>(2 * writes) <= room;
}

// ---------------------------------------------------------------------------
// Degree

double DegreeScale(int position)
{
    if (position < 500)
        return 0.002 * position * 95;
    return 95 + 0.002 * (position - 500) * 10;
}

std::string DegreeText(int position)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, DegreeScale(position), std::chars_format::general, 15);
    return std::string(buf, r.ptr);
}

std::vector<int> DegreeTicks()
{
    std::vector<int> ticks;
    for (int i = 1; i <= 19; ++i)
        ticks.push_back(static_cast<int>(std::lround(500.0 * i / 19)));
    ticks.push_back(750);
    return ticks;
}

// ---------------------------------------------------------------------------
// Choices, choice word and id

int SpeedOfRow(int row, int g1)
{
    return row < 0 ? -1 : g1 - 1 - row;
}

int HardnessOfColumn(int column, int g2)
{
    return column < 0 ? -1 : g2 - kGridSize + column;
}

int RowOfSpeed(int speed, int g1)
{
    return g1 - 1 - speed;
}

int ColumnOfHardness(int hardness, int g2)
{
    return kGridSize - g2 + hardness;
}

std::uint32_t FilterChoiceWord(bool large, const FilterSelection& s, int degree)
{
    const auto field = [](int v, int bits, int shift) {
        return (static_cast<std::uint32_t>(v) & ((1u << bits) - 1)) << shift;
    };
    std::uint32_t w = large ? 2 : 3;
    w |= field(s.hardness, 3, 4);
    w |= field(s.speed, 3, 7);
    w |= field(s.damping, 3, 10);
    w |= field(s.feedForward, 3, 13);
    if (large) {
        w |= field(degree / 5, 8, 16);
    } else {
        w |= field(s.currentFilter, 2, 16);
        w |= field(degree / 5, 8, 18);
    }
    return w;
}

FilterChoices DecodeFilterChoice(std::uint32_t v, bool large, int g1, int g2)
{
    FilterChoices c;
    if (large)
        c.currentFilter = 0;
    const std::uint32_t k = v & 15;
    if (k != 2 && k != 3)
        return c;
    const auto inGrid = [](int x) { return x >= 0 && x < kGridSize ? x : -1; };
    c.column = inGrid(ColumnOfHardness(static_cast<int>((v >> 4) & 7), g2));
    c.row = inGrid(RowOfSpeed(static_cast<int>((v >> 7) & 7), g1));
    const int damping = static_cast<int>((v >> 10) & 7);
    const int feedForward = static_cast<int>((v >> 13) & 7);
    c.damping = damping < kButtonCount ? damping : -1;
    c.feedForward = feedForward < kButtonCount ? feedForward : -1;
    int degree = 0;
    if (k == 3) {
        const int current = static_cast<int>((v >> 16) & 3);
        c.currentFilter = current < 3 ? current : -1;
        degree = static_cast<int>((v >> 18) & 255) * 5;
    } else {
        degree = static_cast<int>((v >> 16) & 255) * 5;
    }
    if (large)
        c.currentFilter = 0;
    c.degree = std::min(degree, kDegreeMax);
    return c;
}

std::string FilterIdText(bool large, const FilterSelection& s, bool valid)
{
    if (!valid)
        return "BVF????";
    const std::string tail = std::to_string(s.speed + 1) + std::to_string(s.hardness) + std::to_string(s.damping) +
                             std::to_string(s.feedForward);
    return large ? "BVF" + tail : "MVF" + std::to_string(s.currentFilter) + tail;
}

std::optional<FilterSelection> ParseFilterId(const std::string& text, bool large, const FilterSelection& base)
{
    std::size_t first = text.find_first_not_of(" \t");
    std::size_t last = text.find_last_not_of(" \t");
    const std::string id = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
    if (id.size() != (large ? 4u : 5u) || !std::all_of(id.begin(), id.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    FilterSelection s = base;
    std::size_t i = 0;
    if (!large)
        s.currentFilter = id[i++] - '0';
    s.speed = id[i++] - '0' - 1;
    s.hardness = id[i++] - '0';
    s.damping = id[i++] - '0';
    s.feedForward = id[i] - '0';
    return s;
}

bool FilterSelectionValid(const CManyFilt& table, bool large, const FilterSelection& s)
{
    if (!table.InRange(s))
        return false;
    const std::span<const std::uint8_t> record = table.RecordOffset(s);
    const std::size_t offset = large ? 24 : 0;
    const std::size_t size = large ? 4 : 2;
    for (std::size_t i = offset; i < offset + size; ++i)
        if (i < record.size() && record[i] != 0)
            return true;
    return false;
}

// ---------------------------------------------------------------------------
// Load

namespace {

std::int64_t ValueAt(const std::vector<std::uint8_t>& record, bool large, int index)
{
    const std::size_t size = large ? 4 : 2;
    const std::size_t at = static_cast<std::size_t>(index) * size;
    std::uint32_t raw = 0;
    for (std::size_t i = 0; i < size; ++i)
        raw |= static_cast<std::uint32_t>(at + i < record.size() ? record[at + i] : 0) << (8 * i);
    return large ? static_cast<std::int32_t>(raw) : static_cast<std::int16_t>(raw);
}

}  // namespace

FilterLoadPlan FilterLoadWrites(const std::vector<std::uint8_t>& record, bool large, double scale, std::uint32_t word,
                                int mode)
{
    FilterLoadPlan plan;
    const int count = large ? 23 : 24;
    const int scaled = large ? 5 : 3;
    const std::int64_t lo = large ? std::numeric_limits<std::int32_t>::min() : std::numeric_limits<std::int16_t>::min();
    const std::int64_t hi = large ? std::numeric_limits<std::int32_t>::max() : std::numeric_limits<std::int16_t>::max();
    const int firstReg = large ? 121 : 89;
    const auto regOf = [&](int i) { return !large && i == 23 ? 126 : firstReg + i; };

    std::vector<std::int64_t> a(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        a[static_cast<std::size_t>(i)] = ValueAt(record, large, i);
    std::int64_t sum = 0;
    for (int i = 1; i <= scaled; ++i) {
        const double v = std::round(static_cast<double>(a[static_cast<std::size_t>(i)]) * scale * 0.01);
        if (!(v >= static_cast<double>(lo) && v <= static_cast<double>(hi))) {
            plan.error = "The filter cannot be loaded: the scaled value for register " + std::to_string(regOf(i)) +
                         " does not fit the register.";
            return plan;
        }
        a[static_cast<std::size_t>(i)] = static_cast<std::int64_t>(v);
        sum += a[static_cast<std::size_t>(i)];
    }
    a[0] = 256 - sum;
    if (a[0] < lo || a[0] > hi) {
        plan.error = "The filter cannot be loaded: the value " + std::to_string(a[0]) + " for register " +
                     std::to_string(regOf(0)) + " does not fit the register.";
        return plan;
    }

    const int width = large ? 4 : 2;
    plan.writes.push_back({2, 0, 2});
    for (int i = 0; i < count; ++i)
        plan.writes.push_back({regOf(i), static_cast<std::int32_t>(a[static_cast<std::size_t>(i)]), width});
    plan.writes.push_back({large ? 155 : 165, static_cast<std::int32_t>(word), 4});
    for (int reg : {10, 8, 3, 20, 24})
        plan.writes.push_back({reg, 0, 4});
    plan.writes.push_back({2, mode, 2});
    return plan;
}

std::string FindFilterTable(const std::string& name, const std::vector<std::string>& dirs)
{
    for (const std::string& dir : dirs) {
        if (dir.empty())
            continue;
        const std::string p = (std::filesystem::path(dir) / name).string();
        if (IsRegularFile(p))
            return p;
    }
    return {};
}

std::string FilterTableMissingText(const std::string& name, const std::vector<std::string>& dirs)
{
    std::string standing;  // entries of the name that are no file to read
    std::string without;   // folders without such an entry
    for (const std::string& dir : dirs) {
        if (dir.empty())
            continue;
        const std::filesystem::path p = std::filesystem::path(dir) / name;
        std::error_code ec;
        if (std::filesystem::symlink_status(p, ec).type() == std::filesystem::file_type::not_found || ec) {
            without += (without.empty() ? "" : ", ") + dir;
            continue;
        }
        const bool dangling = CheckReadableFile(p.string()) == ReadFault::Missing;
        standing += (standing.empty() ? "" : "; ") + p.string() +
                    (dangling ? " is a link to no file" : " is not a regular file");
    }
    std::string text = "Cannot open file \"" + name + "\": ";
    if (standing.empty())
        return text + "it is not in " + without + ".";
    return text + standing + (without.empty() ? "." : "; it is not in " + without + ".");
}

bool FilterSetupEnabled(int generation)
{
    return generation == 0 || generation == 1;
}

std::optional<FilterSetupRefusal> FilterSetupRefused(int generation, bool connected, int firmware)
{
    if (generation == 1 && connected && firmware >= 64 && firmware <= 71)
        return FilterSetupRefusal{
            "The filter selector requieres firmware version 1.8 or higher\nPlease update the firmware in the motor",
            "Incorrect firmware"};
    return std::nullopt;
}

bool UsesNewFilters(int generation, bool connected, int firmware)
{
    return !(generation == 0 && connected && firmware < 112);
}

// ---------------------------------------------------------------------------
// The selector

namespace {
const char* const kUnknownTypeCaption = "Unknown motor type";
}

void CFilterSelector::LoadTables(const std::vector<std::string>& dirs)
{
    for (int t = 0; t < 3; ++t) {
        const std::string name = kFilterTableNames[t];
        const std::string path = FindFilterTable(name, dirs);
        if (path.empty()) {
            loadErrors_.push_back(FilterTableMissingText(name, dirs));
            continue;
        }
        try {
            tables_[t].Load(path);
        } catch (const FilterFileError& e) {
            loadErrors_.push_back(e.what());
        }
    }
}

std::string CFilterSelector::TakeLoadError()
{
    std::string text;
    for (const std::string& e : loadErrors_)
        text += (text.empty() ? "" : "\n") + e;
    loadErrors_.clear();
    return text;
}

void CFilterSelector::SetMotorType(int index, int modelNumber, bool newFilter)
{
    typeUnknown_ = false;
    large_ = index >= 12;
    newFilter_ = newFilter;
    modelNumber_ = modelNumber;
    if (large_) {
        motor_ = 0;
        current_ = kLarge;
        choices_.currentFilter = 0;
    } else {
        motor_ = index;
        current_ = newFilter ? kNormal : kOld;
    }
    RefreshDamping();
}

void CFilterSelector::SetUnknownMotorType(std::int64_t reportedCode)
{
    typeUnknown_ = true;
    unknownCode_ = reportedCode;
    const int degree = choices_.degree;
    choices_ = FilterChoices{};
    choices_.degree = degree;
}

std::string CFilterSelector::UnknownTypeText() const
{
    if (!typeUnknown_)
        return {};
    return "The motor reports type code " + std::to_string(unknownCode_) +
           ", which Quenor does not know for its motor family.\nNo filter can be offered for it.";
}

std::array<std::string, kButtonCount> CFilterSelector::FeedForwardCaptions() const
{
    // The third and fourth buttons by table.
    if (large_)
        return {"None", "Dyn 1", "Dyn 2", "Dyn 3", "Static"};
    if (newFilter_)
        return {"None", "Dyn 1", "Dyn 2", "Static", "Static"};
    return {"None", "Dyn 1", "Static", "Static", "Static"};
}

FilterSelection CFilterSelector::SelectionWith(int damping, int feedForward) const
{
    FilterSelection s;
    s.speed = SpeedOfRow(choices_.row, Group(1));
    s.hardness = HardnessOfColumn(choices_.column, Group(2));
    s.damping = damping;
    s.feedForward = feedForward;
    s.motor = motor_;
    s.currentFilter = choices_.currentFilter;
    return s;
}

FilterSelection CFilterSelector::Selection() const
{
    return SelectionWith(choices_.damping, choices_.feedForward);
}

bool CFilterSelector::Valid(const FilterSelection& s) const
{
    return !typeUnknown_ && FilterSelectionValid(CurrentTable(), large_, s);
}

bool CFilterSelector::CellOffered(int column, int row) const
{
    if (column < 0 || column >= kGridSize || row < 0 || row >= kGridSize)
        return false;
    FilterSelection s = SelectionWith(0, 0);
    s.speed = SpeedOfRow(row, Group(1));
    s.hardness = HardnessOfColumn(column, Group(2));
    for (int d = 0; d < Group(3); ++d) {
        s.damping = d;
        if (Valid(s))
            return true;
    }
    return false;
}

bool CFilterSelector::DampingEnabled(int i) const
{
    return i >= 0 && i < kButtonCount && i < Group(3) && Valid(SelectionWith(i, 0));
}

bool CFilterSelector::FeedForwardEnabled(int i) const
{
    return i >= 0 && i < kButtonCount && i < Group(4) && choices_.damping >= 0 &&
           Valid(SelectionWith(choices_.damping, i));
}

void CFilterSelector::RefreshDamping()
{
    if (!DampingEnabled(choices_.damping))
        choices_.damping = -1;
    RefreshFeedForward();
}

void CFilterSelector::RefreshFeedForward()
{
    if (!FeedForwardEnabled(choices_.feedForward))
        choices_.feedForward = -1;
}

void CFilterSelector::ChooseCurrentFilter(int i)
{
    choices_.currentFilter = i;
    RefreshDamping();
}

bool CFilterSelector::ClickGrid(int x, int y)
{
    const int c = std::clamp((x - 12) / 25, 0, kGridSize - 1);
    const int r = std::clamp(y / 25, 0, kGridSize - 1);
    if (!CellOffered(c, r))
        return false;
    ChooseCell(c, r);
    return true;
}

void CFilterSelector::ChooseCell(int column, int row)
{
    choices_.column = column;
    choices_.row = row;
    RefreshDamping();
}

void CFilterSelector::ChooseDamping(int i)
{
    choices_.damping = DampingEnabled(i) ? i : -1;
    RefreshFeedForward();
}

void CFilterSelector::ChooseFeedForward(int i)
{
    choices_.feedForward = FeedForwardEnabled(i) ? i : -1;
}

void CFilterSelector::SetDegree(int position)
{
    choices_.degree = std::clamp(position, 0, kDegreeMax);
}

void CFilterSelector::ShowFilter(std::uint32_t v)
{
    if (typeUnknown_)
        return;  // no table to show it in
    FilterChoices c = DecodeFilterChoice(v, large_, Group(1), Group(2));
    // Only a word of the normal layout names the current filter; otherwise
    // the choice stays as it is (the large-motor table has only filter 0).
    if ((v & 15) != 3 && !large_)
        c.currentFilter = choices_.currentFilter;
    choices_ = c;
    RefreshDamping();
}

bool CFilterSelector::SelectId(const std::string& text)
{
    const std::optional<FilterSelection> s = ParseFilterId(text, large_, SelectionWith(-1, -1));
    if (!s || !Valid(*s))
        return false;
    const int column = ColumnOfHardness(s->hardness, Group(2));
    const int row = RowOfSpeed(s->speed, Group(1));
    if (column < 0 || column >= kGridSize || row < 0 || row >= kGridSize)
        return false;  // a filter the grid cannot show
    choices_.currentFilter = s->currentFilter;
    choices_.column = column;
    choices_.row = row;
    choices_.damping = s->damping;
    choices_.feedForward = s->feedForward;
    return true;
}

void CFilterSelector::SelectById(FilterSelectorUi& ui)
{
    if (typeUnknown_) {
        ui.Message(UnknownTypeText(), kUnknownTypeCaption);
        return;
    }
    const std::optional<std::string> text = ui.InputText("Filter ID", "Enter the filter id of the filter\nEx. 1202");
    if (!text)
        return;
    if (!SelectId(*text))
        ui.Message("Invalid filter id!", "Error");
}

FilterLoadPlan CFilterSelector::PlanLoad() const
{
    const FilterSelection s = Selection();
    if (!Valid(s)) {
        FilterLoadPlan plan;
        plan.error = "A value for each parameter group must be selected.";
        return plan;
    }
    return FilterLoadWrites(CurrentTable().CopyRecord(s), large_, Scale(), FilterChoiceWord(large_, s, choices_.degree),
                            mode_);
}

bool CFilterSelector::LoadFilter(FilterSelectorUi& ui)
{
    if (typeUnknown_) {
        ui.Message(UnknownTypeText(), kUnknownTypeCaption);
        return false;
    }
    const FilterChoices& c = choices_;
    if (c.currentFilter < 0 || c.feedForward < 0 || c.row < 0 || c.column < 0 || c.damping < 0 || !SelectionValid()) {
        ui.Ask("A value for each parameter group must be selected.", "Missing parameter",
               FilterSelectorUi::Buttons::OkCancel);
        return false;
    }
    const FilterLoadPlan plan = PlanLoad();
    if (!plan.error.empty()) {
        ui.Message(plan.error, "Error");
        return false;
    }
    if (programRunning_) {
        if (!ui.Ask("A MRP program is running.\nThis will be stopped before the new filter is loaded.\nContinue ?",
                    "MRP Running", FilterSelectorUi::Buttons::YesNo))
            return false;
        PostMessage(target_, UM_STOPPROGRAM, 0, 0);
    }
    PostMessage(target_, UM_BATCHSTATUS, 0, 0);
    for (const RegisterWrite& w : plan.writes)
        if (target_)
            target_->Post(WriteRegisterMessage(w));
    PostText(target_, UM_BATCHSTATUS, 1, 0, kProgressLoadingFilter);
    return true;
}

}  // namespace quenor
