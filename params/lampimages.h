#pragma once
// The lamp image list of the main window (10 by 10 pixel images). The lamp rows
// of the parameter tables point at g_lampImageList; a lamp control reads the
// list through that pointer when it is built, so the list must exist first.

namespace quenor {

class LampImageList;
extern LampImageList* g_lampImageList;

}  // namespace quenor
