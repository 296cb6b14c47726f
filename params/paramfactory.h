#pragma once
// Turns a table row into its control, without widgets. The widget side has its
// own factory (params/ui/paramuifactory.h) with the same kinds.

#include "params/initparam.h"
#include "params/paramcontrol.h"

#include <memory>

namespace quenor {

// True for the kinds that make a control: 1, 3, 4, 5, 6, 7, 8, 9, 10, 13, 14.
bool KindCreatesControl(int kind);

// True for the controls that take their value from a setup-file line: edits
// that the user can edit (editFlags: an edit row's cell 7), radio groups, check
// boxes and combos. Display-only edits, info rows, bit views, bit lists and
// lamps show status registers and take nothing from a file.
bool KindTakesSetupLine(int kind, int editFlags);

// The built control of the row (its poll and bind messages posted to target),
// or null for a kind that makes none (0, 2, 11, 12, 15 and more).
std::unique_ptr<CParamControl> CreateParamControl(MessageTarget* target, const InitParam* row);

}  // namespace quenor
