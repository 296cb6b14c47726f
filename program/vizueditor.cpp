#include "program/vizueditor.h"

#include "program/graphicprogram.h"
#include "program/vizucode.h"
#include "program/vizuware.h"

#include <algorithm>

namespace quenor {

CVizuEditor::CVizuEditor(CVizuWareDocument& document, VizuCommandDialogs& dialogs, VizuCommandPalette& palette,
                         VizuEditorView& view)
    : document_(document), dialogs_(dialogs), palette_(palette), view_(view)
{
}

CGraphicProgram& CVizuEditor::Program()
{
    return document_.Program();
}

void CVizuEditor::Changed()
{
    document_.SetModified(true);
    document_.SetExpectedChecksum(-1);
}

void CVizuEditor::EditCommandAt(std::uint16_t line)
{
    std::uint8_t id = 0;
    const std::vector<std::uint8_t>* stored = nullptr;
    if (!Program().GetLine(line, id, stored)) {
        AddCommandAt(line);
        return;
    }
    if (id == kCmdNoOperation)
        return;
    if (id == kCmdJump) {
        StartPicking(line, true);
        return;
    }
    if (id > kCmdBinary || !dialogs_.HasDialog(id)) {
        view_.Message("Edit has not been implemented for CommandID: " + std::to_string(id));
        return;
    }
    std::vector<std::uint8_t> cells = *stored;
    std::string remark = Program().GetRemark(line);
    if (!dialogs_.Execute(id, true, cells, remark))
        return;
    if (id == kCmdRemark) {
        Program().SetRemark(line, std::move(remark));
    } else {
        // The dialog fills a fresh block; a jump keeps the target it had.
        if (CGraphicProgram::IsJump(id)) {
            cells.resize(std::max<std::size_t>(cells.size(), 2), 0);
            CGraphicProgram::SetJumpTarget(cells, CGraphicProgram::GetJumpTarget(*stored));
        }
        Program().SetLine(line, id, std::move(cells));
    }
    view_.UpdateLine(line);
    Changed();
}

void CVizuEditor::AddCommandAt(std::uint16_t line)
{
    const int choice = palette_.Choose();
    if (choice <= 1 || choice > kCmdBinary + 1)  // nothing, or "No operation" which is never offered
        return;
    const std::uint8_t id = static_cast<std::uint8_t>(choice - 1);
    std::vector<std::uint8_t> cells = NewCommandData(id);
    if (id == kCmdJump) {
        CGraphicProgram::SetJumpTarget(cells, line);
        Program().SetLine(line, id, std::move(cells));
        StartPicking(line);
        view_.RedrawListing();
        Changed();
        return;
    }
    std::string remark;
    if (!dialogs_.Execute(id, false, cells, remark))
        return;
    if (id == kCmdRemark) {
        Program().SetRemark(line, std::move(remark));
    } else {
        const bool jump = CGraphicProgram::IsJump(id);
        if (jump) {
            // A new jump points at its own line until its target is picked.
            cells.resize(std::max<std::size_t>(cells.size(), 2), 0);
            CGraphicProgram::SetJumpTarget(cells, line);
        }
        Program().SetLine(line, id, std::move(cells));
        if (jump)
            StartPicking(line);
    }
    view_.RedrawListing();
    Changed();
}

void CVizuEditor::InsertLine(std::uint16_t line)
{
    // Refused when the last possible line is in use: nothing moves then.
    if (!Program().InsertLine(line))
        return;
    if (jumpSource_ >= line)
        ++jumpSource_;
    document_.SetExpectedChecksum(-1);
    view_.RedrawListing();
}

void CVizuEditor::RemoveLine(std::uint16_t line)
{
    document_.SetExpectedChecksum(-1);
    // A deleted line is a change like any other: without the mark, closing or
    // opening another program would lose it without a question.
    document_.SetModified(true);
    if (jumpSource_ == line)
        EndPicking();
    else if (jumpSource_ > line)
        --jumpSource_;
    Program().RemoveLine(line);
    view_.RedrawListing();
}

void CVizuEditor::ClearLine(std::uint16_t line)
{
    Changed();
    Program().DeleteLine(line);
    view_.RedrawListing();
    if (jumpSource_ == line)
        EndPicking();
}

void CVizuEditor::ReplaceLine(std::uint16_t line)
{
    if (jumpSource_ == line)
        EndPicking();
    AddCommandAt(line);
    view_.RedrawListing();
}

void CVizuEditor::StartPicking(std::uint16_t line, bool markModified)
{
    jumpSource_ = line;
    view_.ApplyJumpCursor(true);
    if (markModified)
        Changed();
}

void CVizuEditor::EndPicking()
{
    if (jumpSource_ < 0)
        return;
    jumpSource_ = -1;
    view_.ApplyJumpCursor(false);
}

void CVizuEditor::RowIconClicked(std::uint32_t line)
{
    if (Picking()) {
        // A target is a line number; rows past the last possible line take none.
        if (line > 0xFFFF)
            return;
        const std::uint16_t source = static_cast<std::uint16_t>(jumpSource_);
        std::uint8_t id = 0;
        const std::vector<std::uint8_t>* stored = nullptr;
        if (Program().GetLine(source, id, stored) && CGraphicProgram::IsJump(id)) {
            std::vector<std::uint8_t> cells = *stored;
            cells.resize(std::max<std::size_t>(cells.size(), 2), 0);
            CGraphicProgram::SetJumpTarget(cells, static_cast<std::uint16_t>(line));
            Program().SetLine(source, id, std::move(cells));
            // A new target is a change the user must be asked to save.
            Changed();
        }
        view_.RedrawListing();
        EndPicking();
        return;
    }
    if (line > 0xFFFF)
        return;
    const std::uint16_t at = static_cast<std::uint16_t>(line);
    std::uint8_t id = 0;
    const std::vector<std::uint8_t>* stored = nullptr;
    if (!Program().GetLine(at, id, stored) || id == kCmdNoOperation) {
        AddCommandAt(at);
        view_.RedrawListing();
    }
}

void CVizuEditor::ProgramReplaced()
{
    EndPicking();
}

// --- Gutter ----------------------------------------------------------------------

SGutterColor JumpLineColor(int column)
{
    static const SGutterColor kColors[9] = {
        {0, 0, 0},   {0, 127, 127}, {255, 255, 0}, {0, 255, 0},   {0, 0, 255},
        {255, 0, 255}, {0, 255, 255}, {127, 0, 127}, {255, 0, 0},
    };
    const int i = ((column - 1) % 9 + 9) % 9;
    return kColors[i];
}

int GutterWidth(int columns, int clientWidth)
{
    int w = 8 * std::max(columns, 0) + 3;
    if (w < 100)
        w = 100;
    const int half = clientWidth * 50 / 100;
    if (w > half)
        w = half;
    return w;
}

std::vector<SGutterPoint> ArrowOutline(GutterArrow arrow, SGutterPoint tip)
{
    const int x = tip.x;
    const int y = tip.y;
    switch (arrow) {
    case GutterArrow::Right: return {{x, y}, {x - 3, y - 3}, {x - 3, y + 3}};
    case GutterArrow::Down: return {{x, y}, {x + 3, y - 3}, {x - 3, y - 3}};
    case GutterArrow::Up: return {{x, y}, {x - 3, y + 3}, {x + 3, y + 3}};
    }
    return {};
}

std::vector<SGutterPath> BuildGutter(const CGraphicProgram& program, const SGutterView& view)
{
    std::vector<SGutterPath> paths;
    const CGraphicProgramJumpLines& table = program.JumpLines();
    const std::int64_t top = view.topLine;
    const std::int64_t end = top + std::max(view.rowCount, 0);  // first line below the view
    const int W = view.width;
    const int H = view.height;
    auto yFrom = [top](std::int64_t line) { return static_cast<int>((line - top) * kRowHeight + kRowHeight / 3); };
    auto yTo = [top](std::int64_t line) { return static_cast<int>((line - top) * kRowHeight + 2 * kRowHeight / 3); };

    std::vector<SGutterPath> above;
    std::vector<SGutterPath> inside;
    std::vector<SGutterPath> below;
    for (const SProgramLine& node : program.Lines()) {
        if (!CGraphicProgram::IsJump(node.id))
            continue;
        const int column = table.GetColumn(node.line);
        if (column < 1)
            continue;
        const std::int64_t line = node.line;
        const std::int64_t target = CGraphicProgram::GetJumpTarget(node.cells);
        const int x = W - 8 * column;
        SGutterPath path;
        path.color = JumpLineColor(column);
        if (line < top) {
            if (target < top)
                continue;
            path.points.push_back({x, 0});
            if (target < end) {
                path.points.push_back({x, yTo(target)});
                path.points.push_back({W - 1, yTo(target)});
                path.arrow = GutterArrow::Right;
            } else {
                path.points.push_back({x, H - 1});
                path.arrow = GutterArrow::Down;
            }
            above.push_back(std::move(path));
        } else if (line < end) {
            path.points.push_back({W - 1, yFrom(line)});
            path.points.push_back({x, yFrom(line)});
            if (target < top) {
                path.points.push_back({x, 0});
                path.arrow = GutterArrow::Up;
            } else if (target >= end) {
                path.points.push_back({x, H - 1});
                path.arrow = GutterArrow::Down;
            } else {
                path.points.push_back({x, yTo(target)});
                path.points.push_back({W - 1, yTo(target)});
                path.arrow = GutterArrow::Right;
            }
            inside.push_back(std::move(path));
        } else {
            if (target >= end)
                continue;
            path.points.push_back({x, H - 1});
            if (target >= top) {
                path.points.push_back({x, yTo(target)});
                path.points.push_back({W - 1, yTo(target)});
                path.arrow = GutterArrow::Right;
            } else {
                path.points.push_back({x, 0});
                path.arrow = GutterArrow::Up;
            }
            below.push_back(std::move(path));
        }
    }
    paths.reserve(above.size() + inside.size() + below.size());
    for (auto* part : {&above, &inside, &below})
        for (SGutterPath& p : *part)
            paths.push_back(std::move(p));
    return paths;
}

int DebugPointerLine(const TVizuCode* code, std::uint32_t programCounter, std::uint16_t lastLine)
{
    if (!code)
        return -1;
    const int element = code->ElementFromAddress(programCounter);
    if (element < 1 || element > static_cast<int>(lastLine) + 2)
        return -1;
    return element - 1;
}

}  // namespace quenor
