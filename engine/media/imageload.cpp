#include "engine/media/imageload.h"

#include <cstddef>
#include <cstdlib>
#include <limits>

int ImageBufferSide(int width, int height) {
    const int larger = width > height ? width : height;
    int side = 1;
    while (side < larger && side < (1 << 30)) {
        side *= 2;
    }
    return side;
}

uint32_t* AllocateImageBuffer(int side) {
    if (side <= 0) {
        return nullptr;
    }
    // 64-bit arithmetic: a side read from a file header must not wrap the byte count.
    const uint64_t count = static_cast<uint64_t>(side) * static_cast<uint64_t>(side);
    if (count > std::numeric_limits<std::size_t>::max() / sizeof(uint32_t)) {
        return nullptr;
    }
    return static_cast<uint32_t*>(std::calloc(static_cast<std::size_t>(count), sizeof(uint32_t)));
}
