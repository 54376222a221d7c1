// PNG files of screen images: 8-bit RGB out, with nothing in the file but the pixels, so that the
// same image always gives the same bytes; whatever libpng decodes in. libpng reports an error by
// longjmp, so every libpng call that can fail runs inside a function that holds no C++ object and
// arms its own setjmp.
#include "platform/directx/standin_directx.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <memory>

namespace {

// More than any screen has; a damaged header claiming more is refused before anything is
// allocated for it.
constexpr std::size_t kMaxPngPixels = std::size_t{1} << 26;

[[noreturn]] void FailPng(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

void IgnorePngWarning(png_structp, png_const_charp) {}

struct TPngFileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using TPngFile = std::unique_ptr<std::FILE, TPngFileCloser>;

struct TPngWriteStruct {
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, FailPng, IgnorePngWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    ~TPngWriteStruct() { png_destroy_write_struct(&png, &info); }
};

struct TPngReadStruct {
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, FailPng, IgnorePngWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    ~TPngReadStruct() { png_destroy_read_struct(&png, &info, nullptr); }
};

bool WritePngRows(png_structp png, png_infop info, std::FILE* file, png_uint_32 width,
                  png_uint_32 height, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)) != 0) {
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

// Reads the header and asks for 8-bit RGB rows, whatever the file holds: palettes and grey
// expanded, 16-bit cut to 8, alpha (and transparency) dropped, no gamma applied.
bool ReadPngHeader(png_structp png, png_infop info, std::FILE* file, png_uint_32* width,
                   png_uint_32* height, png_size_t* rowBytes) {
    if (setjmp(png_jmpbuf(png)) != 0) {
        return false;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    png_set_palette_to_rgb(png);
    png_set_expand_gray_1_2_4_to_8(png);
    png_set_strip_16(png);
    png_set_strip_alpha(png);
    png_set_gray_to_rgb(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    *width = png_get_image_width(png, info);
    *height = png_get_image_height(png, info);
    *rowBytes = png_get_rowbytes(png, info);
    return true;
}

bool ReadPngRows(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)) != 0) {
        return false;
    }
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    return true;
}

} // namespace

namespace standin {

bool WritePng(const std::string& path, const TScreenImage& image) {
    if (image.width <= 0 || image.height <= 0) {
        return false;
    }
    const auto width = static_cast<std::size_t>(image.width);
    const auto height = static_cast<std::size_t>(image.height);
    if (image.pixels.size() != width * height) {
        return false;
    }
    std::vector<png_byte> bytes(width * height * 3);
    std::vector<png_bytep> rows(height);
    for (std::size_t y = 0; y < height; ++y) {
        rows[y] = bytes.data() + y * width * 3;
        for (std::size_t x = 0; x < width; ++x) {
            const std::uint32_t pixel = image.pixels[y * width + x];
            rows[y][x * 3] = static_cast<png_byte>(pixel >> 16);
            rows[y][x * 3 + 1] = static_cast<png_byte>(pixel >> 8);
            rows[y][x * 3 + 2] = static_cast<png_byte>(pixel);
        }
    }
    TPngFile file(std::fopen(path.c_str(), "wb"));
    if (file == nullptr) {
        return false;
    }
    TPngWriteStruct writer;
    if (writer.info == nullptr ||
        !WritePngRows(writer.png, writer.info, file.get(), static_cast<png_uint_32>(width),
                      static_cast<png_uint_32>(height), rows.data())) {
        return false;
    }
    // A full disk may only show when the last buffer goes out.
    return std::fclose(file.release()) == 0;
}

bool ReadPng(const std::string& path, TScreenImage* image) {
    if (image == nullptr) {
        return false;
    }
    TPngFile file(std::fopen(path.c_str(), "rb"));
    if (file == nullptr) {
        return false;
    }
    TPngReadStruct reader;
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    png_size_t rowBytes = 0;
    if (reader.info == nullptr ||
        !ReadPngHeader(reader.png, reader.info, file.get(), &width, &height, &rowBytes) ||
        width == 0 || height == 0 || std::size_t{width} * height > kMaxPngPixels ||
        rowBytes != std::size_t{width} * 3) {
        return false;
    }
    std::vector<png_byte> bytes(rowBytes * height);
    std::vector<png_bytep> rows(height);
    for (std::size_t y = 0; y < height; ++y) {
        rows[y] = bytes.data() + y * rowBytes;
    }
    if (!ReadPngRows(reader.png, rows.data())) {
        return false;
    }
    TScreenImage read;
    read.width = static_cast<int>(width);
    read.height = static_cast<int>(height);
    read.pixels.resize(std::size_t{width} * height);
    for (std::size_t i = 0; i < read.pixels.size(); ++i) {
        const png_byte* rgb = bytes.data() + i * 3;
        read.pixels[i] = 0xFF000000u | std::uint32_t{rgb[0]} << 16 | std::uint32_t{rgb[1]} << 8 |
                         std::uint32_t{rgb[2]};
    }
    *image = std::move(read);
    return true;
}

} // namespace standin
