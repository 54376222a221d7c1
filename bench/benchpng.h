// PNG files the benchmarks make in memory, so that they need no image on disk.
#pragma once

#include <png.h>

#include <cstdint>
#include <vector>

// `pixels` in libpng's simplified `format` (PNG_FORMAT_RGB, PNG_FORMAT_RGBA, ...), rows packed.
inline std::vector<uint8_t> EncodePng(int width, int height, uint32_t format,
                                      const std::vector<uint8_t>& pixels) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = format;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr);
    std::vector<uint8_t> out(size);
    png_image_write_to_memory(&image, out.data(), &size, 0, pixels.data(), 0, nullptr);
    out.resize(size);
    return out;
}
