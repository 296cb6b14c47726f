#pragma once
// Structural checks of a parameter table: each row has the cells its kind
// needs, and nothing else.

#include "params/initparam.h"

#include <string>
#include <vector>

namespace tablecheck {

// One line per fault found, naming the row; empty when the table is sound.
std::vector<std::string> ValidateTable(const quenor::ParamTable& table);

}  // namespace tablecheck
