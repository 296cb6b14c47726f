#pragma once
// Turns a table row into its control with widgets on parent.
//
// The main window builds its pages like this:
//   QWidget* container = parent;
//   for each row: auto c = CreateParamControlWidget(kind 9 ? parent : container, target, row);
//                 if (!c) continue;               // kinds 0, 2, 11, 12, 15 and more
//                 if (QWidget* w = ParamPageContainer(c.get())) container = w;
// A page's container is its scroll area's content (parent a QTabWidget), or
// the parent itself for the dummy page that starts a panel.

#include "params/lampimages.h"
#include "params/paramcontrol.h"

#include <QWidget>
#include <memory>
#include <stdexcept>
#include <vector>

namespace quenor {

// The built control (poll and bind messages posted to target), or null for a
// kind that makes none.
// Lamp rows show the pictures of lamps (the default pictures when null).
std::unique_ptr<CParamControl> CreateParamControlWidget(QWidget* parent, MessageTarget* target,
                                                        const InitParam* row, const LampImageList* lamps = nullptr);

// The window in which the rows after a page row go; null when c is not a page
// built by CreateParamControlWidget.
QWidget* ParamPageContainer(const CParamControl* c);

class ParamTable;

// The main window holds at most this many parameter controls.
constexpr std::size_t kMaxParamControls = 200;

// Builds the controls of every row of table on parent and appends them to
// controls, as above. When the rows could take the array past its room the
// build is refused as a whole with "Too many controls!!" (std::length_error)
// before anything is made.
void BuildParameterPages(QWidget* parent, MessageTarget* target, const ParamTable& table,
                         std::vector<std::unique_ptr<CParamControl>>& controls, const LampImageList* lamps = nullptr);

}  // namespace quenor
