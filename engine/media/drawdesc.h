// How a texture is drawn as one quad: where (a 2-D transform, and optionally the point of the quad
// that lands on its origin), which pixels, how opaque, tinted how, mirrored how and in which blend
// mode; and the builder of the quad's four pre-lit vertices. Plain values; main thread.
#pragma once

#include "engine/core/color.h"
#include "engine/core/matrix.h"
#include "engine/core/rect.h"
#include "engine/core/vec.h"
#include "platform/directx/d3d.h"

#include <cstdint>

struct TDrawSpec {
    // Flags.
    static constexpr uint32_t kFlipX = 1;
    static constexpr uint32_t kFlipY = 2;
    static constexpr uint32_t kUseSrcRect = 4;
    static constexpr uint32_t kUseOrigin = 8;

    // Identity transform scaled by `scale` (unless it is 1), translated to the position.
    TDrawSpec(const TVec2& position, float alpha, float scale, uint32_t flags);
    void Assign(const TDrawSpec& other) { *this = other; }

    // Points map as x' = m00 x + m10 y + m20, y' = m01 x + m11 y + m21.
    TMat3 mTransform;
    TVec2 mOrigin;
    // r, g and b tint the quad; a is not used.
    TColor mColor;
    float mAlpha;
    TRect mSrcRect;
    uint32_t mFlags;
    // -1 leaves the current mode.
    int32_t mBlendMode;
};

// Four pre-lit vertices of a quad: the corners are transformed in place and moved by `offset`;
// corner 0 takes texture coordinates uv0, corner 2 uv1. The alpha byte is clamped to 0..255; the
// colour bytes keep the low 8 bits of component x 255 (a component of 1.5 gives 126).
void BuildQuadVertices(const TVec2& offset, D3DLVERTEX* vertices, TVec2* corners, const TVec2& uv0,
                       const TVec2& uv1, const TMat3& transform, float alpha, const TColor& color);
