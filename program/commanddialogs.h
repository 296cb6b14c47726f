#pragma once
// The editor's road to the command dialogs. Every command kind but the empty
// line and the unconditional jump has one modal dialog, created once and
// reused, so a dialog opened for a new line shows the values of its last use.
// The editor form holds the dialogs through this interface; tests hand in
// doubles.

#include <cstdint>
#include <string>
#include <vector>

namespace quenor {

class VizuCommandDialogs {
public:
    virtual ~VizuCommandDialogs() = default;
    // True when command `id` is edited in a dialog (not 0, 1 or an unknown ID).
    virtual bool HasDialog(std::uint8_t id) const = 0;
    // Shows the dialog of command `id` modally. With load set, the dialog is
    // first loaded from the line: from `cells` (the line's cells), or for a
    // remark from `remark`; without it the dialog keeps its last values. On OK
    // the dialog writes a fresh zero-filled block of the command's cell count
    // into `cells` (a remark: its text into `remark`) and the result is true;
    // a jump's block keeps the target in cells 0-1 that it was given. On any
    // other result neither is touched and the result is false.
    virtual bool Execute(std::uint8_t id, bool load, std::vector<std::uint8_t>& cells, std::string& remark) = 0;
};

}  // namespace quenor
