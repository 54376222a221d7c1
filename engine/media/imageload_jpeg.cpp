// JPEG through libjpeg, reading an engine file. The library's errors come back to the recovery
// point in DecodeJpeg by a long jump (its standard error manager would end the process): every
// frame the jump leaves holds plain data only, and the caller releases what the decode made.
#include "engine/media/imageload.h"

#include "engine/core/file.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

// jpeglib.h needs size_t and FILE declared before it.
#include <jerror.h>
#include <jpeglib.h>

namespace {

constexpr int kJpegBufferSize = 4096;
// The library's own working memory; the pixel buffer is not counted.
constexpr long kJpegMemoryLimit = 16L << 20;

struct TJpegErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

// The library's standard file source, over an engine file.
struct TJpegSource {
    jpeg_source_mgr pub;
    TFile* file;
    JOCTET* buffer;
    bool startOfFile;
};

struct TJpegDecode {
    jpeg_decompress_struct info;
    TJpegErrorManager error;
    TFile* file;
    uint32_t* pixels;
    int maxSide;
    int width;
    int height;
    int side;
    // Refused for its size.
    bool refused;
};

void JpegErrorExit(j_common_ptr info) {
    std::longjmp(reinterpret_cast<TJpegErrorManager*>(info->err)->jump, 1);
}

// Warnings (a file that ends early) stay quiet; errors fail the load.
void JpegOutputMessage(j_common_ptr /*info*/) {}

void RaiseError(j_decompress_ptr info, int code) {
    info->err->msg_code = code;
    info->err->error_exit(reinterpret_cast<j_common_ptr>(info));
}

void JpegInitSource(j_decompress_ptr info) {
    reinterpret_cast<TJpegSource*>(info->src)->startOfFile = true;
}

boolean JpegFillInputBuffer(j_decompress_ptr info) {
    auto* source = reinterpret_cast<TJpegSource*>(info->src);
    int count = FileRead(source->file, source->buffer, kJpegBufferSize);
    if (count <= 0) {
        if (source->startOfFile) {
            RaiseError(info, JERR_INPUT_EMPTY);
        }
        info->err->msg_code = JWRN_JPEG_EOF;
        info->err->emit_message(reinterpret_cast<j_common_ptr>(info), -1);
        // An end-of-image marker lets the library finish with what it has.
        source->buffer[0] = 0xFF;
        source->buffer[1] = JPEG_EOI;
        count = 2;
    }
    source->pub.next_input_byte = source->buffer;
    source->pub.bytes_in_buffer = static_cast<size_t>(count);
    source->startOfFile = false;
    return TRUE;
}

void JpegSkipInputData(j_decompress_ptr info, long count) {
    if (count <= 0) {
        return;
    }
    jpeg_source_mgr* source = info->src;
    while (count > static_cast<long>(source->bytes_in_buffer)) {
        count -= static_cast<long>(source->bytes_in_buffer);
        // Never suspends: at the end of the file it supplies an end-of-image marker.
        JpegFillInputBuffer(info);
    }
    source->next_input_byte += count;
    source->bytes_in_buffer -= static_cast<size_t>(count);
}

void JpegTermSource(j_decompress_ptr /*info*/) {}

// The source and its buffer come from the decompressor's permanent pool, once per decompressor.
void JpegSetFileSource(j_decompress_ptr info, TFile* file) {
    if (info->src == nullptr) {
        auto* source = static_cast<TJpegSource*>(info->mem->alloc_small(
            reinterpret_cast<j_common_ptr>(info), JPOOL_PERMANENT, sizeof(TJpegSource)));
        source->buffer = static_cast<JOCTET*>(info->mem->alloc_small(
            reinterpret_cast<j_common_ptr>(info), JPOOL_PERMANENT, kJpegBufferSize));
        info->src = &source->pub;
    }
    auto* source = reinterpret_cast<TJpegSource*>(info->src);
    source->pub.init_source = JpegInitSource;
    source->pub.fill_input_buffer = JpegFillInputBuffer;
    source->pub.skip_input_data = JpegSkipInputData;
    source->pub.resync_to_restart = jpeg_resync_to_restart;
    source->pub.term_source = JpegTermSource;
    source->pub.bytes_in_buffer = 0;
    source->pub.next_input_byte = nullptr;
    source->file = file;
}

// False when the library jumped back or the image is refused.
bool DecodeJpeg(TJpegDecode* d) {
    jpeg_decompress_struct* info = &d->info;
    info->err = jpeg_std_error(&d->error.pub);
    d->error.pub.error_exit = JpegErrorExit;
    d->error.pub.output_message = JpegOutputMessage;
    if (setjmp(d->error.jump) != 0) {
        return false;
    }
    jpeg_create_decompress(info);
    info->mem->max_memory_to_use = kJpegMemoryLimit;
    JpegSetFileSource(info, d->file);
    jpeg_read_header(info, TRUE);
    // Before the library or this decoder allocates anything for the pixels.
    if (info->image_width > static_cast<JDIMENSION>(d->maxSide) ||
        info->image_height > static_cast<JDIMENSION>(d->maxSide)) {
        // JPEG sides are 16-bit.
        d->width = static_cast<int>(info->image_width);
        d->height = static_cast<int>(info->image_height);
        d->refused = true;
        return false;
    }
#ifdef JCS_ALPHA_EXTENSIONS
    // libjpeg-turbo writes blue, green, red, 255 itself.
    info->out_color_space = JCS_EXT_BGRA;
    constexpr int kComponents = 4;
#else
    info->out_color_space = JCS_RGB;
    constexpr int kComponents = 3;
#endif
    jpeg_start_decompress(info);
    if (info->output_components != kComponents || info->output_width != info->image_width ||
        info->output_height != info->image_height) {
        return false;
    }
    d->width = static_cast<int>(info->output_width);
    d->height = static_cast<int>(info->output_height);
    d->side = ImageBufferSide(d->width, d->height);
    d->pixels = AllocateImageBuffer(d->side);
    if (d->pixels == nullptr) {
        return false;
    }
    const size_t rowPixels = static_cast<size_t>(d->side);
    while (info->output_scanline < info->output_height) {
        uint32_t* target = d->pixels + rowPixels * info->output_scanline;
        JSAMPROW row = reinterpret_cast<JSAMPROW>(target);
        if (jpeg_read_scanlines(info, &row, 1) != 1) {
            return false;
        }
#ifndef JCS_ALPHA_EXTENSIONS
        // R, G, B to B, G, R, 255 in place, from the right end so nothing is overwritten early.
        for (int x = d->width - 1; x >= 0; --x) {
            const JSAMPLE* rgb = row + 3 * x;
            target[x] = 0xFF000000u | (static_cast<uint32_t>(rgb[0]) << 16) |
                        (static_cast<uint32_t>(rgb[1]) << 8) | rgb[2];
        }
#endif
    }
    jpeg_finish_decompress(info);
    return true;
}

} // namespace

bool LoadJpegImage(const str& path, int maxSide, uint32_t** pixels, int* width, int* height,
                   int* side) {
    TJpegDecode d{};
    d.maxSide = maxSide;
    d.file = FileOpen(path.CStr(), kModeReadBinary);
    if (d.file == nullptr) {
        return false;
    }
    const bool ok = DecodeJpeg(&d);
    jpeg_destroy_decompress(&d.info);
    FileClose(d.file);
    if (!ok) {
        FreeJpegPixels(d.pixels);
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
    return true;
}

void FreeJpegPixels(uint32_t* pixels) {
    std::free(pixels);
}
