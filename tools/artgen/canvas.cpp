#include "tools/artgen/canvas.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>

namespace artgen {

namespace {

int ToByte(double value) {
    return static_cast<int>(std::lround(std::clamp(value, 0.0, 1.0) * 255.0));
}

double Mix(double from, double to, double t) {
    return from + (to - from) * t;
}

// libpng reports its errors by longjmp back into this function, so nothing in it needs a
// destructor.
bool EncodeRows(std::FILE* file, int width, int height, bool opaque, png_bytep* rows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) {
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 opaque ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_rows(png, info, rows);
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

TColour TPaint::At(double y, double boxTop, double boxBottom) const {
    if (!gradient || boxBottom <= boxTop) {
        return top;
    }
    const double t = std::clamp((y - boxTop) / (boxBottom - boxTop), 0.0, 1.0);
    return TColour{Mix(top.r, bottom.r, t), Mix(top.g, bottom.g, t), Mix(top.b, bottom.b, t),
                   Mix(top.a, bottom.a, t)};
}

TCanvas::TCanvas(int width, int height)
    : mWidth(width), mHeight(height),
      mPixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, 0.0) {}

void TCanvas::Blend(int x, int y, const TColour& colour, double cover) {
    if (x < 0 || y < 0 || x >= mWidth || y >= mHeight || cover <= 0.0) {
        return;
    }
    const double alpha = std::clamp(colour.a * std::min(cover, 1.0), 0.0, 1.0);
    double* pixel =
        &mPixels[(static_cast<size_t>(y) * static_cast<size_t>(mWidth) + static_cast<size_t>(x)) *
                 4];
    pixel[0] = colour.r * alpha + pixel[0] * (1.0 - alpha);
    pixel[1] = colour.g * alpha + pixel[1] * (1.0 - alpha);
    pixel[2] = colour.b * alpha + pixel[2] * (1.0 - alpha);
    pixel[3] = alpha + pixel[3] * (1.0 - alpha);
}

void TCanvas::Fill(const TBox& area, const TBox& shape,
                   const std::function<bool(double, double)>& inside, const TPaint& paint,
                   const TBox& solid) {
    const int x0 = std::max(0, static_cast<int>(std::floor(area.left)));
    const int y0 = std::max(0, static_cast<int>(std::floor(area.top)));
    const int x1 = std::min(mWidth, static_cast<int>(std::ceil(area.right)));
    const int y1 = std::min(mHeight, static_cast<int>(std::ceil(area.bottom)));
    constexpr double kStep = 1.0 / kSamples;
    for (int y = y0; y < y1; ++y) {
        const TColour colour = paint.At(y + 0.5, shape.top, shape.bottom);
        const bool solidRow = y >= solid.top && y + 1 <= solid.bottom;
        for (int x = x0; x < x1; ++x) {
            if (solidRow && x >= solid.left && x + 1 <= solid.right) {
                Blend(x, y, colour, 1.0);
                continue;
            }
            int covered = 0;
            for (int sy = 0; sy < kSamples; ++sy) {
                for (int sx = 0; sx < kSamples; ++sx) {
                    if (inside(x + (sx + 0.5) * kStep, y + (sy + 0.5) * kStep)) {
                        ++covered;
                    }
                }
            }
            Blend(x, y, colour, static_cast<double>(covered) / (kSamples * kSamples));
        }
    }
}

void TCanvas::KeyTransparent() {
    for (size_t at = 0; at < mPixels.size(); at += 4) {
        double* pixel = &mPixels[at];
        const double alpha = pixel[3];
        if (alpha < 0.5) {
            pixel[0] = 1.0;
            pixel[1] = 0.0;
            pixel[2] = 1.0;
        } else {
            pixel[0] /= alpha;
            pixel[1] /= alpha;
            pixel[2] /= alpha;
        }
        pixel[3] = 1.0;
    }
}

uint32_t TCanvas::GetPixel(int x, int y) const {
    const double* pixel =
        &mPixels[(static_cast<size_t>(y) * static_cast<size_t>(mWidth) + static_cast<size_t>(x)) *
                 4];
    const double alpha = pixel[3];
    const auto channel = [alpha](double premultiplied) {
        return alpha > 0.0 ? ToByte(premultiplied / alpha) : 0;
    };
    return static_cast<uint32_t>(channel(pixel[0])) << 24 |
           static_cast<uint32_t>(channel(pixel[1])) << 16 |
           static_cast<uint32_t>(channel(pixel[2])) << 8 | static_cast<uint32_t>(ToByte(alpha));
}

bool TCanvas::WritePng(const std::string& path) const {
    bool opaque = true;
    std::vector<png_byte> rgba;
    rgba.reserve(static_cast<size_t>(mWidth) * static_cast<size_t>(mHeight) * 4);
    for (int y = 0; y < mHeight; ++y) {
        for (int x = 0; x < mWidth; ++x) {
            const uint32_t pixel = GetPixel(x, y);
            for (int shift = 24; shift >= 0; shift -= 8) {
                rgba.push_back(static_cast<png_byte>(pixel >> shift));
            }
            opaque = opaque && (pixel & 0xFF) == 0xFF;
        }
    }
    const int channels = opaque ? 3 : 4;
    std::vector<png_byte> packed;
    if (opaque) {
        for (size_t i = 0; i < rgba.size(); i += 4) {
            packed.insert(packed.end(), rgba.begin() + static_cast<std::ptrdiff_t>(i),
                          rgba.begin() + static_cast<std::ptrdiff_t>(i + 3));
        }
    } else {
        packed.swap(rgba);
    }
    std::vector<png_bytep> rows(static_cast<size_t>(mHeight));
    for (int y = 0; y < mHeight; ++y) {
        rows[static_cast<size_t>(y)] =
            packed.data() + static_cast<size_t>(y) * static_cast<size_t>(mWidth) * channels;
    }

    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = EncodeRows(file, mWidth, mHeight, opaque, rows.data());
    return std::fclose(file) == 0 && written;
}

} // namespace artgen
