#pragma once
// The register and unit tables of the three motor kinds (internal to the
// register list).

#include "program/vizuvekparameterlist.h"

#include <iterator>

namespace quenor::registerdata {

extern const SRegisterInfo* const kRegisterTables[3];
extern const int kRegisterCounts[3];
extern const SUnitInfo* const kUnitTables[3];
extern const int kUnitCounts[3];

}  // namespace quenor::registerdata
