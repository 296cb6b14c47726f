#pragma once
// The program editor's logic without its form: the editing operations on the
// lines of the program document (add, edit, replace, clear, insert, remove),
// the picking of jump targets, and the drawing plan of the jump-line gutter.
//
// The form hands in the command dialogs, the palette and a view that redraws;
// tests hand in doubles of all three.

#include "program/commanddialogs.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quenor {

class CGraphicProgram;
class CVizuWareDocument;
class TVizuCode;

// The command palette shown modally: -1 when nothing was chosen, else the
// chosen command ID + 1.
class VizuCommandPalette {
public:
    virtual ~VizuCommandPalette() = default;
    virtual int Choose() = 0;
};

// What the editor asks of its form.
class VizuEditorView {
public:
    virtual ~VizuEditorView() = default;
    // The lines changed: refresh the gutter and every row.
    virtual void RedrawListing() = 0;
    // One line changed in place: refresh its row when it is visible.
    virtual void UpdateLine(std::uint16_t line) = 0;
    // The jump cursor on (a target is being picked) or off.
    virtual void ApplyJumpCursor(bool on) = 0;
    virtual void Message(const std::string& text) = 0;
};

class CVizuEditor {
public:
    CVizuEditor(CVizuWareDocument& document, VizuCommandDialogs& dialogs, VizuCommandPalette& palette,
                VizuEditorView& view);

    // The line whose jump target is being picked, -1 when none.
    int JumpSource() const { return jumpSource_; }
    bool Picking() const { return jumpSource_ >= 0; }

    // Edits a line in its command's dialog; an empty line is added instead.
    void EditCommandAt(std::uint16_t line);
    // Chooses a command in the palette and puts it on the line, replacing
    // what was there once its dialog is confirmed.
    void AddCommandAt(std::uint16_t line);

    // Opens an empty line; later lines and the jumps at or past it move on.
    // Marks the code stale but the program not modified.
    void InsertLine(std::uint16_t line);
    // Removes a line; later lines and their jumps move back.
    void RemoveLine(std::uint16_t line);
    // Empties a line; nothing moves.
    void ClearLine(std::uint16_t line);
    // Puts a newly chosen command on a line (the old one stays unless the
    // choice and its dialog are confirmed).
    void ReplaceLine(std::uint16_t line);

    // Starts picking a new target for the jump on the line. markModified for
    // a jump just added or opened for editing.
    void StartPicking(std::uint16_t line, bool markModified = false);
    void EndPicking();
    // A click on the row icon of a line (which may lie past the end of the
    // program): while picking it becomes the target, otherwise an empty line
    // (or one holding "No operation") gets a new command.
    void RowIconClicked(std::uint32_t line);

    // The program was replaced by another (new, loaded, uploaded): picking ends.
    void ProgramReplaced();

private:
    void Changed();
    CGraphicProgram& Program();

    CVizuWareDocument& document_;
    VizuCommandDialogs& dialogs_;
    VizuCommandPalette& palette_;
    VizuEditorView& view_;
    int jumpSource_ = -1;
};

// --- Gutter ----------------------------------------------------------------------

struct SGutterColor {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    friend bool operator==(const SGutterColor&, const SGutterColor&) = default;
};

// Colour of the jump lines in gutter column `column` (from 1): nine colours
// in turn, column 1 black.
SGutterColor JumpLineColor(int column);

// Gutter width for this many jump columns: 8 per column and 3, at least 100,
// at most half the form's client width.
int GutterWidth(int columns, int clientWidth);

constexpr int kRowHeight = 24;

struct SGutterPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const SGutterPoint&, const SGutterPoint&) = default;
};

enum class GutterArrow { Right, Down, Up };

// One jump as drawn: a polyline (pen width 2) and a filled arrowhead whose
// tip is the last point.
struct SGutterPath {
    SGutterColor color;
    std::vector<SGutterPoint> points;
    GutterArrow arrow = GutterArrow::Right;
};

// The three corners of an arrowhead with its tip at the point.
std::vector<SGutterPoint> ArrowOutline(GutterArrow arrow, SGutterPoint tip);

struct SGutterView {
    int width = 100;        // gutter width
    int height = 0;         // gutter height
    std::uint32_t topLine = 0;
    int rowCount = 0;       // rows of 24 pixels from the top
};

// Every jump that crosses the view, in the order drawn: jumps starting above,
// jumps on the visible rows, jumps starting below. Jumps that lie wholly above
// or below draw nothing.
std::vector<SGutterPath> BuildGutter(const CGraphicProgram& program, const SGutterView& view);

// The line to mark with the debug pointer for the program counter, -1 for
// none (no code, the start code, past the end).
int DebugPointerLine(const TVizuCode* code, std::uint32_t programCounter, std::uint16_t lastLine);

}  // namespace quenor
