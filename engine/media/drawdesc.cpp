#include "engine/media/drawdesc.h"

#include "engine/script/lua/luanumber.h"

#include <algorithm>
#include <bit>
#include <cstring>

TDrawSpec::TDrawSpec(const TVec2& position, float alpha, float scale, uint32_t flags)
    : mOrigin(0.0f, 0.0f), mColor{1, 1, 1, 1}, mAlpha(alpha), mSrcRect{0, 0, 0, 0}, mFlags(flags),
      mBlendMode(-1) {
    // Scale 1 keeps an exact identity: no multiplication at all.
    if (scale != 1.0f) {
        mTransform.Scale(scale);
    }
    mTransform.m[2][0] = position.x;
    mTransform.m[2][1] = position.y;
    mTransform.m[2][2] = 1.0f;
}

void BuildQuadVertices(const TVec2& offset, D3DLVERTEX* vertices, TVec2* corners, const TVec2& uv0,
                       const TVec2& uv1, const TMat3& transform, float alpha, const TColor& color) {
    std::memset(vertices, 0, 4 * sizeof(D3DLVERTEX));
    // Through the one conversion helper: NaN and huge values give a defined byte.
    const int alphaByte = std::clamp(LuaNumberToInt(static_cast<double>(alpha) * 255.0), 0, 255);
    // Colour bytes keep their low 8 bits, unclamped.
    const int red = LuaNumberToInt(static_cast<double>(color.r) * 255.0);
    const int green = LuaNumberToInt(static_cast<double>(color.g) * 255.0);
    const int blue = LuaNumberToInt(static_cast<double>(color.b) * 255.0);
    const D3DCOLOR diffuse = TColor32(red, green, blue, alphaByte).value;
    const D3DCOLOR specular = TColor32(0, 0, 0, 255).value;
    const TVec2 uv[4] = {uv0, TVec2(uv1.x, uv0.y), uv1, TVec2(uv0.x, uv1.y)};
    for (int k = 0; k < 4; ++k) {
        TransformPoint(corners[k], corners[k], transform);
        D3DLVERTEX& vertex = vertices[k];
        vertex.x = corners[k].x + offset.x;
        vertex.y = corners[k].y + offset.y;
        vertex.z = 0.1f;
        // The reserved slot holds the float 0.5.
        vertex.dwReserved = std::bit_cast<DWORD>(0.5f);
        vertex.color = diffuse;
        vertex.specular = specular;
        vertex.tu = uv[k].x;
        vertex.tv = uv[k].y;
    }
}
