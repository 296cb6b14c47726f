#include "resources/embed/imageresources.h"

#include <algorithm>

namespace quenor {

std::span<const ImageResource> EmbeddedImageTable();  // generated

std::span<const ImageResource> ImageResources()
{
    return EmbeddedImageTable();
}

const ImageResource* FindImageResource(int id)
{
    const auto table = EmbeddedImageTable();
    const auto it = std::lower_bound(table.begin(), table.end(), id,
                                     [](const ImageResource& r, int key) { return r.id < key; });
    if (it == table.end() || it->id != id)
        return nullptr;
    return &*it;
}

}  // namespace quenor
