// The engine's glue to libpng and libjpeg: decoders that read an image through the engine file
// layer into the pixel buffer textures are made from. The buffer is a square of side S, the
// smallest power of two not below the larger image side; each pixel is 4 bytes blue, green, red,
// alpha, rows S * 4 bytes apart, the image in the top-left corner. Each decode keeps its state to
// itself; the main thread calls them, as file names are resolved there. A buffer goes back through
// the Free function of the decoder that made it.
#pragma once

#include "engine/core/str.h"

#include <cstdint>

// S for an image of width x height (1 for 1 x 1); sides are at most 2^30.
int ImageBufferSide(int width, int height);
// A cleared S x S buffer; null when the size does not fit or the memory cannot be had. Released
// with std::free, as both Free functions do.
uint32_t* AllocateImageBuffer(int side);

// False for a missing, damaged or truncated file, and for an image with a side above `maxSide`,
// which is refused before any pixel buffer is made; width and height then still receive the size
// the header gives, and are left alone on every other failure. The buffer is cleared first, so
// pixels the image does not cover are 0. `hasAlpha`: the file's colour type carries alpha (for
// palette images also a transparency chunk; not for RGB or grey images keyed by one).
bool LoadPngImage(const str& path, int maxSide, uint32_t** pixels, int* width, int* height,
                  int* side, bool* hasAlpha);
void FreePngPixels(uint32_t* pixels);

// As LoadPngImage; every image pixel has alpha 255, the rest of the buffer is 0. A file that ends
// early inside the image data still loads, the missing part filled by the library.
bool LoadJpegImage(const str& path, int maxSide, uint32_t** pixels, int* width, int* height,
                   int* side);
void FreeJpegPixels(uint32_t* pixels);
