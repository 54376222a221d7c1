// Texture tests: images written in memory with libpng and libjpeg and served as engine files, and
// the renderer with a windowed display attached as the display set-up attaches it. Files, the
// renderer and the chosen texture format are gone after each test.
#pragma once

#include "engine/core/knownfiles.h"
#include "engine/media/directx.h"
#include "engine/media/dxdisplayhandler.h"
#include "engine/media/dxtexturedata.h"
#include "engine/media/renderer.h"
#include "tests/engine/media/display_fixture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <map>
#include <memory>
#include <png.h>
#include <string>
#include <vector>

namespace texture_test {

using TBytes = std::vector<uint8_t>;

struct TPngImage {
    int width = 1;
    int height = 1;
    int colorType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    // Packed rows as the file stores them, top to bottom.
    TBytes rows;
    std::vector<png_color> palette;
    // Palette alphas, or (one entry) the grey or RGB key.
    std::vector<png_byte> paletteAlpha;
    bool keyed = false;
    png_color_16 key{};
    // 0: no gamma chunk.
    double gamma = 0.0;
    bool interlaced = false;
    // zlib level; 1 keeps big images quick.
    int compression = 6;
};

// The test's own encoder: libpng's default error handling ends the process on a bad params.
inline TBytes EncodePng(const TPngImage& params) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    TBytes out;
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, size_t length) {
            auto* bytes = static_cast<TBytes*>(png_get_io_ptr(p));
            bytes->insert(bytes->end(), data, data + length);
        },
        nullptr);
    png_set_compression_level(png, params.compression);
    png_set_IHDR(png, info, static_cast<png_uint_32>(params.width),
                 static_cast<png_uint_32>(params.height), params.bitDepth, params.colorType,
                 params.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!params.palette.empty()) {
        png_set_PLTE(png, info, params.palette.data(), static_cast<int>(params.palette.size()));
    }
    if (!params.paletteAlpha.empty()) {
        png_set_tRNS(png, info, params.paletteAlpha.data(),
                     static_cast<int>(params.paletteAlpha.size()), nullptr);
    }
    if (params.keyed) {
        png_color_16 key = params.key;
        png_set_tRNS(png, info, nullptr, 0, &key);
    }
    if (params.gamma != 0.0) {
        png_set_gAMA(png, info, params.gamma);
    }
    png_write_info(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    std::vector<png_bytep> rows(static_cast<size_t>(params.height));
    TBytes data = params.rows;
    data.resize(rowBytes * rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        rows[i] = data.data() + rowBytes * i;
    }
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

// An 8-bit RGB or RGBA image whose every pixel is `pixel` (bytes in file order).
// One row built pixel by pixel, then copied: test code is built without optimisation, and the
// large images of some tests made a per-pixel loop the cost of the whole suite.
inline TBytes RepeatPixel(int width, int height, const TBytes& pixel) {
    TBytes row;
    row.reserve(static_cast<size_t>(width) * pixel.size());
    for (int x = 0; x < width; ++x) {
        row.insert(row.end(), pixel.begin(), pixel.end());
    }
    TBytes out;
    out.reserve(row.size() * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

inline TBytes SolidPng(int width, int height, const TBytes& pixel) {
    TPngImage params;
    params.width = width;
    params.height = height;
    params.colorType = pixel.size() == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB;
    params.compression = 1;
    params.rows = RepeatPixel(width, height, pixel);
    return EncodePng(params);
}

// `components` 1 (grey) or 3 (RGB) samples a pixel, rows top to bottom.
inline TBytes EncodeJpeg(int width, int height, int components, const TBytes& samples,
                         int quality = 100) {
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = components;
    info.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    TBytes data = samples;
    data.resize(static_cast<size_t>(width) * static_cast<size_t>(height) *
                static_cast<size_t>(components));
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = data.data() + static_cast<size_t>(info.next_scanline) *
                                         static_cast<size_t>(width) *
                                         static_cast<size_t>(components);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    TBytes out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

inline TBytes SolidJpeg(int width, int height, uint8_t red, uint8_t green, uint8_t blue) {
    return EncodeJpeg(width, height, 3, RepeatPixel(width, height, {red, green, blue}));
}

class TTextureTest : public display_test::TDisplayTest {
protected:
    // "common:" is a folder of the test's own: a shortage of video memory is remembered there.
    void SetUp() override {
        TDisplayTest::SetUp();
        ForgetTexturePixelFormat();
        GetFolderRoots(&mUserRoot, &mCommonRoot, &mDesktopRoot);
        SetFolderRoots(mUserRoot, str(mCommon.Path().string().c_str()), mDesktopRoot);
    }

    void TearDown() override {
        TRenderer::Destroy();
        SetFolderRoots(mUserRoot, mCommonRoot, mDesktopRoot);
        for (const auto& file : mFiles) {
            RegisterMemoryFile(file.first.c_str(), nullptr, 0);
        }
        mFiles.clear();
        ForgetTexturePixelFormat();
        TDisplayTest::TearDown();
    }

    // The renderer's handler with a windowed display at the desktop's depth `bits`.
    TDxDisplayHandler& OpenDisplay(int bits = 32, int width = 640, int height = 480) {
        SetDesktopBits(bits);
        return AttachDisplay(TRenderer::Instance()->GetDisplayHandler(), width, height, bits);
    }

    TPlatformData& Data() { return TRenderer::Instance()->GetDisplayHandler().GetData(); }

    // Served from memory under `name` until the test ends or RemoveFile.
    void AddFile(const std::string& name, TBytes bytes) {
        if (bytes.empty()) {
            // A registered block needs an address.
            bytes.reserve(1);
        }
        TBytes& stored = mFiles[name];
        stored = std::move(bytes);
        RegisterMemoryFile(name.c_str(), stored.data(), static_cast<unsigned>(stored.size()));
    }

    void RemoveFile(const std::string& name) {
        RegisterMemoryFile(name.c_str(), nullptr, 0);
        mFiles.erase(name);
    }

    static std::unique_ptr<TDxTextureData> NewData(uint8_t flags = 0) {
        auto data = std::make_unique<TDxTextureData>();
        data->SetFlags(flags);
        return data;
    }

    // One pixel of the data's surface as 0xAARRGGBB (alpha 0xFF when the format has none).
    static uint32_t SurfacePixel(const TDxTextureData& data, int x, int y) {
        const standin::TScreenImage image = standin::ReadSurface(data.GetSurface());
        return image.pixels.at(static_cast<size_t>(y) * static_cast<size_t>(image.width) +
                               static_cast<size_t>(x));
    }

    std::map<std::string, TBytes> mFiles;
    testing_fixtures::TempDir mCommon;
    str mUserRoot;
    str mCommonRoot;
    str mDesktopRoot;
};

} // namespace texture_test
