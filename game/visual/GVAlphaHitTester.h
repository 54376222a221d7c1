// The "alpha" hit tester: a point hits where the frame's pixels are opaque. When attached it
// builds a mask for every frame of the object from the textures' pixels (alpha above
// kOpaqueAlpha): per row and per column the span from the first to the last opaque pixel, rows
// grown one pixel to the left, columns one pixel up and down; a point hits when both its row's and
// its column's spans hold it. Masks are kept by frame number, so clones, which share frames,
// share them. Main thread only; attaching locks textures, so not while the renderer draws.
#pragma once

#include "engine/core/rect.h"
#include "game/visual/GVHitTester.h"

#include <cstdint>
#include <memory>
#include <vector>

class GVAlphaHitTester final : public GVHitTester {
public:
    static constexpr const char* kTypeName = "alpha";
    static constexpr uint32_t kOpaqueAlpha = 80;

    bool HitTest(const TPoint& point, const GVFrame* frame) override;
    // Builds the masks of the object's frames; false without an object. A frame without a
    // loaded texture gets no mask and is never hit.
    bool Attach(GVObject* object) override;
    const char* GetTypeName() const override { return kTypeName; }

private:
    struct GSpan {
        // -1: no opaque pixel.
        int first = -1;
        int last = -1;
    };

    // One frame. Only the part of the frame that lies on its texture is stored: every pixel
    // outside it is transparent, so its rows and columns could never hold a hit.
    struct GMask {
        int width = 0;
        int height = 0;
        // The stored part, frame pixels: [x0, x1) x [y0, y1).
        int x0 = 0;
        int y0 = 0;
        int x1 = 0;
        int y1 = 0;
        // Rows y0 .. y1 - 1 and columns x0 .. x1 - 1.
        std::vector<GSpan> rows;
        std::vector<GSpan> columns;
    };

    static std::unique_ptr<GMask> BuildMask(const TRect& rect, const uint32_t* pixels, int pitch,
                                            int textureWidth, int textureHeight);

    // By frame number; null for a frame without a mask.
    std::vector<std::unique_ptr<GMask>> mMasks;
};
