#pragma once
// The compiled-in string table: texts by resource number (parameter hints,
// warning titles and explanations, ...). Texts are 8-bit Windows-1252.

#include <cstddef>
#include <string>

namespace quenor {

struct StringResource {
    int id;
    const char* text;
};

// The text of resource id, or the empty text when there is none.
std::string LoadStr(int id);
bool HasStr(int id);

}  // namespace quenor
