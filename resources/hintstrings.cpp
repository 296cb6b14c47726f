#include "resources/stringtable.h"

#include <span>

namespace quenor {

// Parameter hints; filled with the parameter tables.
std::span<const StringResource> HintStrings() { return {}; }

}  // namespace quenor
