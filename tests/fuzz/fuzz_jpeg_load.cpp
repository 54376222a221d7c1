// Loads arbitrary bytes as a JPEG texture file through TTextureData::LoadImage, with and without
// "slow", a mask, square textures and the file's alpha, onto a headless display.
#include "tests/fuzz/imageload_fuzz.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    image_fuzz::OpenDisplay();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    image_fuzz::LoadOne(".jpg", data, size);
    return 0;
}
