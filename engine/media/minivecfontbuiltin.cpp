#include "engine/media/minivecfontbuiltin.h"

#include <cstddef>

// Written by the build from assets/fonts/default.mvec (cmake/EmbedFile.cmake).
extern const unsigned char kBuiltInMiniVecFontData[];
extern const std::size_t kBuiltInMiniVecFontSize;

std::span<const unsigned char> BuiltInMiniVecFont() {
    return {kBuiltInMiniVecFontData, kBuiltInMiniVecFontSize};
}
