// PNG through libpng. libpng reports errors by a long jump back to the recovery point in
// ReadPngFile: every frame it may leave (the callbacks, libpng's own and ReadPngFile) holds plain
// data only, and whatever the decode made is released by its caller afterwards.
#include "engine/media/imageload.h"

#include "engine/core/file.h"

#include <png.h>

#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

namespace {

// Everything one decode holds.
struct TPngDecode {
    TFile* file;
    png_structp png;
    png_infop info;
    uint32_t* pixels;
    png_bytep* rows;
    int maxSide;
    int width;
    int height;
    int side;
    bool hasAlpha;
    // Refused for its size.
    bool refused;
    // The library's last error, for a debugger.
    char message[96];
};

void PngErrorHandler(png_structp png, png_const_charp message) {
    auto* decode = static_cast<TPngDecode*>(png_get_error_ptr(png));
    std::snprintf(decode->message, sizeof decode->message, "%s", message);
    png_longjmp(png, 1);
}

void PngReadCallback(png_structp png, png_bytep data, size_t length) {
    auto* decode = static_cast<TPngDecode*>(png_get_io_ptr(png));
    if (length > static_cast<size_t>(INT_MAX) ||
        FileRead(decode->file, data, static_cast<int>(length)) != static_cast<int>(length)) {
        png_error(png, "Read Error");
    }
}

// From the header to the end of the file; false when libpng jumped back.
bool ReadPngFile(TPngDecode* d) {
    if (setjmp(png_jmpbuf(d->png)) != 0) {
        return false;
    }
    png_structp png = d->png;
    png_infop info = d->info;
    png_set_read_fn(png, d, PngReadCallback);
    png_set_sig_bytes(png, 8);
    png_read_info(png, info);

    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    // libpng keeps sides below 2^31.
    d->width = static_cast<int>(width);
    d->height = static_cast<int>(height);
    // Before anything is allocated for the pixels.
    if (d->width > d->maxSide || d->height > d->maxSide) {
        d->refused = true;
        png_error(png, "Image too large");
    }
    const int bitDepth = png_get_bit_depth(png, info);
    const int colorType = png_get_color_type(png, info);

    if (bitDepth == 16) {
        png_set_strip_16(png);
    }
    if (colorType == PNG_COLOR_TYPE_PALETTE || bitDepth < 8 ||
        png_get_valid(png, info, PNG_INFO_tRNS) != 0) {
        png_set_expand(png);
    }
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
        png_set_gray_to_rgb(png);
    }
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_bgr(png);
    double fileGamma = 0.0;
    if (png_get_gAMA(png, info, &fileGamma) != 0) {
        png_set_gamma(png, 2.2, fileGamma);
    }
    png_set_interlace_handling(png);

    d->hasAlpha = (colorType & PNG_COLOR_MASK_ALPHA) != 0;
    png_read_update_info(png, info);
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        // A transparency chunk has become an alpha channel.
        d->hasAlpha = (png_get_color_type(png, info) & PNG_COLOR_MASK_ALPHA) != 0;
    }

    d->side = ImageBufferSide(d->width, d->height);
    const size_t rowBytes = static_cast<size_t>(d->side) * 4;
    // Every transformed row is width pixels of 4 bytes; anything else would overrun the rows.
    if (png_get_rowbytes(png, info) != static_cast<size_t>(width) * 4) {
        png_error(png, "Unexpected row size");
    }
    d->pixels = AllocateImageBuffer(d->side);
    if (d->pixels == nullptr) {
        png_error(png, "Visual PNG: out of memory");
    }
    d->rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * height));
    if (d->rows == nullptr) {
        png_error(png, "Visual PNG: out of memory");
    }
    auto* base = reinterpret_cast<png_bytep>(d->pixels);
    for (png_uint_32 i = 0; i < height; ++i) {
        d->rows[i] = base + rowBytes * i;
    }
    png_read_image(png, d->rows);
    png_read_end(png, info);
    return true;
}

} // namespace

bool LoadPngImage(const str& path, int maxSide, uint32_t** pixels, int* width, int* height,
                  int* side, bool* hasAlpha) {
    TPngDecode d{};
    d.maxSide = maxSide;
    d.file = FileOpen(path.CStr(), kModeReadBinary);
    if (d.file == nullptr) {
        return false;
    }
    png_byte signature[8];
    bool ok = FileRead(d.file, signature, 8) == 8 && png_sig_cmp(signature, 0, 8) == 0;
    if (ok) {
        d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &d, PngErrorHandler, nullptr);
        d.info = d.png != nullptr ? png_create_info_struct(d.png) : nullptr;
        ok = d.info != nullptr && ReadPngFile(&d);
    }
    if (d.png != nullptr) {
        png_destroy_read_struct(&d.png, d.info != nullptr ? &d.info : nullptr, nullptr);
    }
    std::free(d.rows);
    FileClose(d.file);
    if (!ok) {
        FreePngPixels(d.pixels);
        if (d.refused) {
            *width = d.width;
            *height = d.height;
        }
        return false;
    }
    *pixels = d.pixels;
    *width = d.width;
    *height = d.height;
    *side = d.side;
    *hasAlpha = d.hasAlpha;
    return true;
}

void FreePngPixels(uint32_t* pixels) {
    std::free(pixels);
}
