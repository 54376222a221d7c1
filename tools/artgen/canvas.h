// The art generator's drawing surface: an RGBA image in doubles on which shapes are filled with
// anti-aliasing by counting covered sample points, and which is written out as an 8-bit PNG.
// Everything is plain arithmetic on doubles (no trigonometry, no time, no randomness), so the same
// description always gives the same pixels.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace artgen {

// A colour with straight (not premultiplied) alpha, each channel 0 to 1.
struct TColour {
    double r = 0.0;
    double g = 0.0;
    double b = 0.0;
    double a = 1.0;
};

// A solid colour, or a vertical gradient from `top` to `bottom` over the shape's bounding box.
struct TPaint {
    TColour top;
    TColour bottom;
    bool gradient = false;

    // The colour at height `y` of a box that spans `boxTop` to `boxBottom`.
    TColour At(double y, double boxTop, double boxBottom) const;
};

struct TBox {
    double left = 0.0;
    double top = 0.0;
    double right = 0.0;
    double bottom = 0.0;
};

class TCanvas {
public:
    // Samples per pixel side: a pixel's coverage counts 4 x 4 sample points.
    static constexpr int kSamples = 4;

    TCanvas(int width, int height);

    int GetWidth() const { return mWidth; }
    int GetHeight() const { return mHeight; }

    // `colour` over pixel (x, y) at `cover` (0 to 1) times its own alpha; outside is ignored.
    void Blend(int x, int y, const TColour& colour, double cover);
    // Every pixel of `area` (cut to the canvas) gets `paint` at the share of its sample points for
    // which `inside` (x, y) holds; a gradient runs from the top to the bottom of `shape`. Pixels
    // wholly within `solid`, a box that lies inside the shape, are covered without sampling.
    void Fill(const TBox& area, const TBox& shape,
              const std::function<bool(double, double)>& inside, const TPaint& paint,
              const TBox& solid = TBox{});

    // Colour-keyed instead of alpha: every pixel less than half covered becomes opaque magenta
    // (#ff00ff), every other one its own colour, opaque.
    void KeyTransparent();

    // The pixel as 8-bit RGBA, rounded.
    uint32_t GetPixel(int x, int y) const;
    // 8-bit RGB when every pixel is opaque, else RGBA; zlib level 9, no time or text chunks.
    bool WritePng(const std::string& path) const;

private:
    int mWidth;
    int mHeight;
    // Premultiplied r, g, b, a per pixel, rows top to bottom.
    std::vector<double> mPixels;
};

} // namespace artgen
