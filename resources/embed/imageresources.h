#pragma once
// The program's compiled-in images: PNG files keyed by resource number, built
// from resources/images/<number>_<name>.png.

#include <cstddef>
#include <cstdint>
#include <span>

namespace quenor {

struct ImageResource {
    int id;
    const std::uint8_t* data;
    std::size_t size;
};

// Every image, in ascending order of id.
std::span<const ImageResource> ImageResources();

// The image with this id, or nullptr when there is none.
const ImageResource* FindImageResource(int id);

}  // namespace quenor
