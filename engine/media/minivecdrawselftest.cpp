// The self-test of TQzMiniVecDraw. Display drivers differ in which pixels a line covers, so the
// drawer draws two one-pixel probe bars for each of 128 candidate line offsets into a render
// target and keeps the offsets whose bars land exactly on their pixels.
#include "engine/media/minivecdraw.h"

#include "engine/media/renderer.h"
#include "engine/media/texture.h"

#include <cstddef>

namespace {

constexpr int kSelfTestWidth = 800;
constexpr int kSelfTestHeight = 512;
constexpr int kSelfTestCells = 128;
// More dark cells than this mean the lines hardly draw: the next pass uses the small batch.
constexpr int kSelfTestDarkLimit = 75;

bool MiniVecIsLit(uint32_t pixel) {
    return (pixel & 0x00FFFFFFu) != 0;
}

int MiniVecBrightness(uint32_t pixel) {
    return static_cast<int>((pixel >> 16 & 0xFFu) + (pixel >> 8 & 0xFFu) + (pixel & 0xFFu));
}

} // namespace

void TQzMiniVecDraw::SelfTest() {
    for (;;) {
        int dark = 0;
        if (RunSelfTestPass(&dark)) {
            return;
        }
        SetLineOffsets(1, 1, 1);
        if (dark > kSelfTestDarkLimit && mBatchCapacity != kSmallBatch) {
            mBatchCapacity = kSmallBatch;
            continue;
        }
        return;
    }
}

bool TQzMiniVecDraw::RunSelfTestPass(int* darkCells) {
    *darkCells = kSelfTestCells;
    TRenderer* renderer = TRenderer::Existing();
    if (renderer == nullptr) {
        return false;
    }
    const TTexturePtr target = TTexture::CreateRenderTarget(kSelfTestWidth, kSelfTestHeight, true);
    if (!target || !renderer->BeginRenderTarget(target, 0)) {
        return false;
    }
    renderer->FillRect(TRect{0, 0, kSelfTestWidth, kSelfTestHeight}, TColor{0.0f, 0.0f, 0.0f, 0.0f},
                       TTexturePtr());
    {
        TRenderer2dScope block;
        block.mActive = renderer->Begin2d();
        renderer->SetBlendMode(0);
        const TColor white{1.0f, 1.0f, 1.0f, 1.0f};
        SetColor(0, &white, 1.0f);
        Begin(0.0f, 0.0f, TTexturePtr());
        for (int l = 0; l < kSelfTestCells; ++l) {
            SetLineOffsets((l >> 3) & 3, l & 7, l >> 5);
            DrawBar(4 + 16 * l, 7 + 16 * l, 1, 0);
            DrawBar(8 + 16 * l, 11 + 16 * l, 2, 0);
        }
        Flush();
    }
    renderer->EndRenderTarget();

    uint32_t* pixels = nullptr;
    int pitch = 0;
    if (!target->Lock(&pixels, &pitch)) {
        return false;
    }
    auto at = [&](int x, int y) { return pixels[static_cast<ptrdiff_t>(y) * pitch + x]; };
    int best = -1;
    int bestSum = -1;
    int dark = 0;
    for (int l = 0; l < kSelfTestCells; ++l) {
        const int p = 1 + 4 * l;
        // Only the second and the sixth belong to the bars.
        const uint32_t probe[8] = {at(p - 1, 1), at(p, 1),     at(p + 1, 1), at(p, 0),
                                   at(p, 2),     at(p + 1, 2), at(p + 2, 2), at(p + 1, 3)};
        bool any = false;
        bool stray = false;
        for (int i = 0; i < 8; ++i) {
            const bool lit = MiniVecIsLit(probe[i]);
            any = any || lit;
            stray = stray || (lit && i != 1 && i != 5);
        }
        if (!any) {
            ++dark;
            continue;
        }
        if (stray || !MiniVecIsLit(probe[1]) || !MiniVecIsLit(probe[5])) {
            continue;
        }
        const int sum = MiniVecBrightness(probe[1]) + MiniVecBrightness(probe[5]);
        if (sum >= bestSum) {
            best = l;
            bestSum = sum;
        }
    }
    target->Unlock();
    *darkCells = dark;
    if (best < 0) {
        return false;
    }
    SetLineOffsets((best >> 3) & 3, best & 7, best >> 5);
    return true;
}
