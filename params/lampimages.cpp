#include "params/lampimages.h"

namespace quenor {

LampImageList* g_lampImageList = nullptr;

}  // namespace quenor
