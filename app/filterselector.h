#pragma once
// The filter selector without its form: the three filter tables, the user's
// choices (current filter, the 5 x 5 grid of speed and hardness, damping,
// feed-forward type and degree), what each choice offers next, the filter
// choice word that the motor keeps, selection by filter id, and the batch of
// register writes that loads a filter.
//
// The form shows this state and forwards clicks; questions and messages go
// through FilterSelectorUi, and the writes are posted to the main window as
// UM_WRITEREGISTER between two UM_BATCHSTATUS, after UM_STOPPROGRAM when a
// module program runs.

#include "app/manyfilt.h"
#include "platform/messages.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quenor {

// One register write of a batch; width 2 or 4 bytes.
struct RegisterWrite {
    int reg = 0;
    std::int32_t value = 0;
    int width = 2;
    friend bool operator==(const RegisterWrite&, const RegisterWrite&) = default;
};

// UM_WRITEREGISTER: wParam the register in the low 16 bits, the high 16 bits
// nonzero for a 32-bit write; lParam the value.
Message WriteRegisterMessage(const RegisterWrite& w);
// The write a UM_WRITEREGISTER message asks for.
RegisterWrite DecodeWriteRegister(const Message& m);

// The main window's side of a batch: the writes posted between UM_BATCHSTATUS
// begin and end are kept and handed over at the end, so that the whole batch
// can be checked against the room left in the request ring before any of it
// is queued.
class RegisterWriteBatch {
public:
    bool Open() const { return open_; }
    void Begin();
    // Keeps the write when a batch is open; false when none is (queue it at once).
    bool Add(const RegisterWrite& w);
    // Closes the batch and returns its writes.
    std::vector<RegisterWrite> End();

private:
    bool open_ = false;
    std::vector<RegisterWrite> writes_;
};

// Each write is followed by a read-back: two requests per write. True when
// they all fit beside `queued` waiting requests in a ring of `capacity`.
bool BatchFits(std::size_t writes, int queued, int capacity);

// Feed-forward degree: track bar position 0..1000 to the scale in percent
// (0 to 95 over the first half, 95 to 105 over the second).
double DegreeScale(int position);
// The scale as shown: shortest general decimal form, '.' as separator.
std::string DegreeText(int position);
// Track bar ticks: round(500 i / 19) for i = 1..19, then 750.
std::vector<int> DegreeTicks();

inline constexpr int kDegreeMax = 1000;
inline constexpr int kGridSize = 5;     // rows and columns of the button picture
inline constexpr int kButtonCount = 5;  // damping and feed-forward buttons

// The choices as the controls show them (-1: none).
struct FilterChoices {
    int row = -1;
    int column = -1;
    int damping = -1;
    int feedForward = -1;
    int currentFilter = -1;
    int degree = 0;  // track bar position
    friend bool operator==(const FilterChoices&, const FilterChoices&) = default;
};

// Speed and hardness of a grid row and column (-1 for none) and back.
int SpeedOfRow(int row, int g1);
int HardnessOfColumn(int column, int g2);
int RowOfSpeed(int speed, int g1);
int ColumnOfHardness(int hardness, int g2);

// The filter choice word (register 165 in the normal tables, 155 in the
// large-motor table). Each field is kept to its own bits.
std::uint32_t FilterChoiceWord(bool large, const FilterSelection& s, int degree);
// The controls a filter choice word shows. A word whose low four bits are not
// 3 (normal) or 2 (large) clears everything; a part outside its range (grid
// row or column outside 0..4, damping or feed-forward type 5 to 7, current
// filter 3) counts as not chosen; the degree is clamped to the track bar.
// The large-motor table has current filter 0.
FilterChoices DecodeFilterChoice(std::uint32_t v, bool large, int g1, int g2);

// The filter id: "MVF" w6 (w1 + 1) w2 w3 w4 in the normal tables, "BVF" (w1 + 1)
// w2 w3 w4 in the large-motor table, "BVF????" for an invalid selection.
std::string FilterIdText(bool large, const FilterSelection& s, bool valid);
// The selection a typed id gives: 4 digits (large) or 5 (normal, the first
// one the current filter). Motor and, in the large table, current filter
// come from base. nullopt for a text of other length or with other characters.
std::optional<FilterSelection> ParseFilterId(const std::string& text, bool large, const FilterSelection& base);

// True when the record of s exists and holds a filter: every choice inside
// its group, and the record's first 16-bit value (normal tables) or seventh
// 32-bit value (large-motor table) nonzero.
bool FilterSelectionValid(const CManyFilt& table, bool large, const FilterSelection& s);

// The writes that load a filter record (its first 128 bytes), in order:
// register 2 := 0; normal tables: 89..111 := a0..a22 and 126 := a23 (16-bit),
// 165 := word (32-bit); large-motor table: 121..143 := a0..a22 and 155 := word
// (32-bit); then 10, 8, 3, 20, 24 := 0 (32-bit) and 2 := mode (16-bit).
// a1..a3 (normal) or a1..a5 (large) are scaled by scale percent, rounded half
// away from zero, and a0 := 256 minus their sum. A value that does not fit
// its register (signed 16 or 32 bits) refuses the load: error holds the text
// and writes is empty.
struct FilterLoadPlan {
    std::vector<RegisterWrite> writes;
    std::string error;
};
FilterLoadPlan FilterLoadWrites(const std::vector<std::uint8_t>& record, bool large, double scale, std::uint32_t word,
                                int mode);

inline constexpr const char* kProgressLoadingFilter = "Loading new filter";
inline constexpr const char* kFilterTableNames[3] = {"manyfilt.dat", "manyfiltbig.dat", "manyfiltold.dat"};

// Where a table file is found: the first folder of dirs that holds it as a
// regular file (links followed), or the empty text. An entry of that name that
// is anything else (a folder, a named pipe, a device) is passed over.
std::string FindFilterTable(const std::string& name, const std::vector<std::string>& dirs);
// Why no folder gave the table: the entries of its name that stand there but
// are no file to read, and the folders without one.
std::string FilterTableMissingText(const std::string& name, const std::vector<std::string>& dirs);

// The Filter setup command. Its items are enabled in generations 0 and 1.
bool FilterSetupEnabled(int generation);
// In generation 1, while connected, firmware values 64 to 71 are too old for
// the selector: the command shows this box instead of the selector.
struct FilterSetupRefusal {
    std::string text;
    std::string caption;
};
std::optional<FilterSetupRefusal> FilterSetupRefused(int generation, bool connected, int firmware);
// The new-filter flag given with the motor type: false only in generation 0
// while connected to firmware below 112 (those motors take the old filters).
bool UsesNewFilters(int generation, bool connected, int firmware);

// What the motor session tells the filter selector (the form implements it;
// the session holds a pointer that may be null while no selector exists).
class FilterSelectorPort {
public:
    virtual ~FilterSelectorPort() = default;
    // index = type code - 1, the model display number, the new-filter flag.
    virtual void SetMotorType(int index, int modelNumber, bool newFilter) = 0;
    // A connected motor whose type code is no type of its family: no table
    // is made for it, so no filter is offered.
    virtual void SetUnknownMotorType(std::int64_t reportedCode) = 0;
    // The motor's mode, on every change.
    virtual void SetMode(int mode) = 0;
    // Whether a module program runs (byte 0 of its status block; false on link loss).
    virtual void SetProgramRunning(bool running) = 0;
    // Where UM_FILTERCHOICE is posted (wParam the filter choice register's value).
    virtual MessageTarget* Inbox() const = 0;
};

class FilterSelectorUi {
public:
    enum class Buttons { OkCancel, YesNo };
    virtual ~FilterSelectorUi() = default;
    // True for OK or Yes.
    virtual bool Ask(const std::string& text, const std::string& caption, Buttons buttons) = 0;
    virtual void Message(const std::string& text, const std::string& caption) = 0;
    // A line of text from the user; nullopt when cancelled.
    virtual std::optional<std::string> InputText(const std::string& caption, const std::string& prompt) = 0;
};

class CFilterSelector {
public:
    enum Table { kNormal = 0, kLarge = 1, kOld = 2 };

    // Loads the three tables from the first folder of dirs holding each. A
    // failure does not stop the others; its text is kept for TakeLoadError.
    void LoadTables(const std::vector<std::string>& dirs);
    CManyFilt& TableAt(Table t) { return tables_[t]; }
    // The load failures, one per line, the first time asked; then empty.
    std::string TakeLoadError();

    // Messages go to target (the main window); null swallows them.
    void SetTarget(MessageTarget* target) { target_ = target; }
    MessageTarget* Target() const { return target_; }

    // index = type code - 1; 12 and above is a large motor.
    void SetMotorType(int index, int modelNumber, bool newFilter);
    // Until the next SetMotorType nothing is offered, chosen or loaded, and
    // UnknownTypeText says why.
    void SetUnknownMotorType(std::int64_t reportedCode);
    bool TypeUnknown() const { return typeUnknown_; }
    std::string UnknownTypeText() const;
    void SetMode(int mode) { mode_ = mode; }
    int Mode() const { return mode_; }
    // Nonzero run state of the programmable module; cleared on link loss.
    void SetProgramRunning(bool running) { programRunning_ = running; }
    bool ProgramRunning() const { return programRunning_; }

    bool LargeMode() const { return large_; }
    Table CurrentTableKind() const { return current_; }
    const CManyFilt& CurrentTable() const { return tables_[current_]; }
    int Group(int n) const { return CurrentTable().Group(n); }
    std::string MotorTypeText() const { return typeUnknown_ ? "VEK?" : "VEK" + std::to_string(modelNumber_); }
    // The current table's version; none while the motor's type is unknown (no table serves it).
    std::string VersionText() const { return typeUnknown_ ? std::string() : CurrentTable().VersionText(); }
    // Captions of the five feed-forward buttons for the current table.
    std::array<std::string, kButtonCount> FeedForwardCaptions() const;

    const FilterChoices& Choices() const { return choices_; }
    FilterSelection Selection() const;
    bool Valid(const FilterSelection& s) const;
    bool SelectionValid() const { return Valid(Selection()); }
    std::string IdText() const { return FilterIdText(large_, Selection(), SelectionValid()); }
    double Scale() const { return DegreeScale(choices_.degree); }

    bool CellOffered(int column, int row) const;
    bool DampingEnabled(int i) const;
    bool FeedForwardEnabled(int i) const;

    // The user's choices. Each one unchecks what it leaves unavailable.
    void ChooseCurrentFilter(int i);
    // A click on the button picture at (x, y); true when the cell was taken.
    bool ClickGrid(int x, int y);
    void ChooseCell(int column, int row);
    void ChooseDamping(int i);
    void ChooseFeedForward(int i);
    void SetDegree(int position);
    // WM_USER+18: the filter choice word of the motor.
    void ShowFilter(std::uint32_t v);

    // The filter id box; an invalid id is reported.
    void SelectById(FilterSelectorUi& ui);
    // Chooses the filter of a typed id; false when it is not a filter here.
    bool SelectId(const std::string& text);

    // The Load button: checks the choices, asks before stopping a running
    // module program and posts the batch. True when it was posted.
    bool LoadFilter(FilterSelectorUi& ui);
    // The writes of the current selection (error set when it cannot load).
    FilterLoadPlan PlanLoad() const;

private:
    void RefreshDamping();
    void RefreshFeedForward();
    FilterSelection SelectionWith(int damping, int feedForward) const;

    CManyFilt tables_[3];
    std::vector<std::string> loadErrors_;
    MessageTarget* target_ = nullptr;
    Table current_ = kNormal;
    bool large_ = false;
    bool newFilter_ = true;
    bool typeUnknown_ = false;
    std::int64_t unknownCode_ = 0;
    int motor_ = 0;  // w5
    int modelNumber_ = 0;
    int mode_ = 0;
    bool programRunning_ = false;
    FilterChoices choices_;
};

}  // namespace quenor
