// Loading a 1024 x 1024 PNG and JPEG into texture data, as a texture file is loaded: read from an
// engine file, decoded and uploaded to a surface of a headless display; and the decode alone. The
// images are a smooth gradient under noise, so both compress as photographs do.
#include "engine/core/knownfiles.h"
#include "engine/media/directx.h"
#include "engine/media/dxdisplayhandler.h"
#include "engine/media/dxtexturedata.h"
#include "engine/media/imageload.h"
#include "engine/media/renderer.h"
#include "platform/win32/windows.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <png.h>
#include <vector>

namespace {

constexpr int kSide = 1024;

std::vector<uint8_t> MakeRgb() {
    std::vector<uint8_t> rgb(static_cast<size_t>(kSide) * kSide * 3);
    uint32_t seed = 12345;
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = static_cast<int>((seed >> 24) & 15) - 8;
            uint8_t* p = &rgb[(static_cast<size_t>(y) * kSide + static_cast<size_t>(x)) * 3];
            p[0] = static_cast<uint8_t>(std::clamp(x / 4 + noise, 0, 255));
            p[1] = static_cast<uint8_t>(std::clamp(y / 4 + noise, 0, 255));
            p[2] = static_cast<uint8_t>(std::clamp((x + y) / 8 + noise, 0, 255));
        }
    }
    return rgb;
}

std::vector<uint8_t> EncodePng(const std::vector<uint8_t>& rgb) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<uint8_t> out;
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, size_t length) {
            auto* bytes = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
            bytes->insert(bytes->end(), data, data + length);
        },
        nullptr);
    png_set_IHDR(png, info, kSide, kSide, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < kSide; ++y) {
        png_write_row(png, rgb.data() + static_cast<size_t>(y) * kSide * 3);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::vector<uint8_t> EncodeJpeg(const std::vector<uint8_t>& rgb) {
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = kSide;
    info.image_height = kSide;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        auto* row =
            const_cast<JSAMPROW>(rgb.data() + static_cast<size_t>(info.next_scanline) * kSide * 3);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<uint8_t> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

// The files and a display, made once for all benchmarks.
struct TFixture {
    TFixture() : png(EncodePng(MakeRgb())), jpeg(EncodeJpeg(MakeRgb())) {
        RegisterMemoryFile("bench/image.png", png.data(), static_cast<unsigned>(png.size()));
        RegisterMemoryFile("bench/image.jpg", jpeg.data(), static_cast<unsigned>(jpeg.size()));
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.lpszClassName = "ImageBench";
        RegisterClassA(&windowClass);
        HWND window = CreateWindowExA(0, "ImageBench", "bench", WS_POPUP | WS_VISIBLE, 0, 0, 64, 64,
                                      nullptr, nullptr, nullptr, nullptr);
        TPlatformData& data = TRenderer::Instance()->GetDisplayHandler().GetData();
        displayReady = data.mContext->Create(window, false, 64, 64, 32, TDXContext::kAlways);
        data.mDirectDraw = data.mContext->GetDirectDraw();
        data.mDirect3D = data.mContext->GetDirect3D();
        data.mDevice = data.mContext->GetDevice();
    }

    std::vector<uint8_t> png;
    std::vector<uint8_t> jpeg;
    bool displayReady = false;
};

TFixture& Fixture() {
    static TFixture fixture;
    return fixture;
}

void LoadTexture(benchmark::State& state, const char* path, size_t fileBytes) {
    if (!Fixture().displayReady) {
        state.SkipWithError("no display");
        return;
    }
    for (auto _ : state) {
        TDxTextureData texture;
        if (!texture.LoadImage(path, "")) {
            state.SkipWithError("load failed");
            return;
        }
        benchmark::DoNotOptimize(texture.GetSurface());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(fileBytes));
}

void LoadPngTexture(benchmark::State& state) {
    LoadTexture(state, "bench/image.png", Fixture().png.size());
}
BENCHMARK(LoadPngTexture)->Unit(benchmark::kMillisecond);

void LoadJpegTexture(benchmark::State& state) {
    LoadTexture(state, "bench/image.jpg", Fixture().jpeg.size());
}
BENCHMARK(LoadJpegTexture)->Unit(benchmark::kMillisecond);

void DecodePngOnly(benchmark::State& state) {
    Fixture();
    for (auto _ : state) {
        uint32_t* pixels = nullptr;
        int width = 0;
        int height = 0;
        int side = 0;
        bool alpha = false;
        if (!LoadPngImage("bench/image.png", kSide, &pixels, &width, &height, &side, &alpha)) {
            state.SkipWithError("decode failed");
            return;
        }
        benchmark::DoNotOptimize(pixels[side * side - 1]);
        FreePngPixels(pixels);
    }
}
BENCHMARK(DecodePngOnly)->Unit(benchmark::kMillisecond);

void DecodeJpegOnly(benchmark::State& state) {
    Fixture();
    for (auto _ : state) {
        uint32_t* pixels = nullptr;
        int width = 0;
        int height = 0;
        int side = 0;
        if (!LoadJpegImage("bench/image.jpg", kSide, &pixels, &width, &height, &side)) {
            state.SkipWithError("decode failed");
            return;
        }
        benchmark::DoNotOptimize(pixels[side * side - 1]);
        FreeJpegPixels(pixels);
    }
}
BENCHMARK(DecodeJpegOnly)->Unit(benchmark::kMillisecond);

} // namespace
