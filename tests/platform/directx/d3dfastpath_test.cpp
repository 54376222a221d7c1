// The rasteriser's fast paths against its general path: random scenes drawn both ways must give
// the same bytes, and each fast path must be taken where it applies and nowhere else.
#include "tests/platform/directx/ddtest.h"

#include "platform/directx/d3dx.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

namespace {

using ddtest::Format;
using ddtest::TRef;

constexpr int kTargetWidth = 72;
constexpr int kTargetHeight = 56;

// One draw call with every state it depends on, so that it replays the same whatever came before.
struct TDraw {
    std::vector<std::pair<D3DRENDERSTATETYPE, DWORD>> states;
    std::vector<std::pair<D3DTEXTURESTAGESTATETYPE, DWORD>> stages;
    int texture = -1;
    bool smallViewport = false;
    D3DPRIMITIVETYPE type = D3DPT_TRIANGLEFAN;
    DWORD format = D3DFVF_TLVERTEX;
    std::vector<D3DTLVERTEX> vertices; // pre-lit vertices keep x, y, z, colours and u, v here too
    std::vector<WORD> indices;
};

// A small generator whose sequence is the same on every platform.
class TRandom {
public:
    explicit TRandom(std::uint32_t seed) : mEngine(seed) {}
    std::uint32_t Next() { return static_cast<std::uint32_t>(mEngine()); }
    int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint32_t>(n)); }
    bool Chance(int percent) { return Below(100) < percent; }
    float Between(float low, float high) {
        return low + (high - low) * static_cast<float>(Next() >> 8) / 16777216.0f;
    }
    template <typename T, std::size_t N>
    const T& Pick(const T (&items)[N]) {
        return items[Below(static_cast<int>(N))];
    }

private:
    std::mt19937 mEngine;
};

struct TBlendSetUp {
    bool blend;
    DWORD source, dest;
};
// The engine's modes (normal, opaque, additive, subtractive, multiplicative), the coverage
// modes of drawing into a texture, blending that changes nothing, and one no kernel has.
const TBlendSetUp kBlends[] = {
    {true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA},
    {false, D3DBLEND_ONE, D3DBLEND_ZERO},
    {true, D3DBLEND_SRCALPHA, D3DBLEND_ONE},
    {true, D3DBLEND_ZERO, D3DBLEND_INVSRCCOLOR},
    {true, D3DBLEND_ZERO, D3DBLEND_SRCCOLOR},
    {true, D3DBLEND_ONE, D3DBLEND_ONE},
    {true, D3DBLEND_ONE, D3DBLEND_ZERO},
    {true, 9 /* DESTCOLOR */, D3DBLEND_INVSRCALPHA},
};

struct TStageSetUp {
    DWORD colourOp, colourArg1, colourArg2, alphaOp, alphaArg1, alphaArg2;
};
const TStageSetUp kStages[] = {
    // The engine's modes 0, 2, 3 and 4, then mode 1.
    {D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE},
    {D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_TFACTOR,
     D3DTA_DIFFUSE},
    // Coverage into a texture, textured and not.
    {D3DTOP_MODULATE, D3DTA_TEXTURE | D3DTA_ALPHAREPLICATE, D3DTA_DIFFUSE | D3DTA_ALPHAREPLICATE,
     D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_DIFFUSE},
    {D3DTOP_SELECTARG1, D3DTA_DIFFUSE | D3DTA_ALPHAREPLICATE, D3DTA_CURRENT, D3DTOP_SELECTARG1,
     D3DTA_TFACTOR, D3DTA_DIFFUSE},
    {D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_SELECTARG2, D3DTA_DIFFUSE,
     D3DTA_TEXTURE},
    {D3DTOP_MODULATE, D3DTA_TEXTURE | D3DTA_COMPLEMENT, D3DTA_SPECULAR, D3DTOP_MODULATE,
     D3DTA_TEXTURE | D3DTA_COMPLEMENT, D3DTA_TFACTOR},
    {D3DTOP_DISABLE, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE},
    // Two texel channels in one output: only the general path draws it.
    {D3DTOP_MODULATE, D3DTA_TEXTURE | D3DTA_ALPHAREPLICATE, D3DTA_TEXTURE, D3DTOP_SELECTARG1,
     D3DTA_TEXTURE, D3DTA_DIFFUSE},
};

const DWORD kCompares[] = {D3DCMP_NEVER,   D3DCMP_LESS,         D3DCMP_EQUAL,
                           D3DCMP_GREATER, D3DCMP_GREATEREQUAL, D3DCMP_ALWAYS};
const DWORD kAddresses[] = {D3DTADDRESS_WRAP, D3DTADDRESS_MIRROR, D3DTADDRESS_CLAMP};

struct TTextureKind {
    DWORD width, height;
    D3DX_SURFACEFORMAT format;
    bool mipmapped;
};
const TTextureKind kTextures[] = {
    {16, 16, D3DX_SF_A8R8G8B8, false}, {32, 8, D3DX_SF_X8R8G8B8, false},
    {8, 8, D3DX_SF_R5G6B5, false},     {16, 16, D3DX_SF_A4R4G4B4, false},
    {64, 64, D3DX_SF_A8R8G8B8, true},  {4, 4, D3DX_SF_A1R5G5B5, false},
};

struct TTargetFormat {
    const char* name;
    DDPIXELFORMAT format;
};

class FastPaths : public ddtest::TDirectDrawTest {
protected:
    void SetUp() override {
        TDirectDrawTest::SetUp();
        ASSERT_EQ(D3DXInitialize(), S_OK);
    }
    void TearDown() override {
        Close();
        standin::SetRasterFastPaths(true);
        D3DXUninitialize();
        TDirectDrawTest::TearDown();
    }

    void Open(const DDPIXELFORMAT& format, bool halfPixelCentres, bool withDepth = false) {
        standin::TAdapter adapter = ddtest::ScriptedAdapter();
        adapter.halfPixelCentres = halfPixelCentres;
        standin::SetAdapters({adapter});
        HWND window = MakeWindow(0, 0, 32, 32);
        *mDirectDraw.Out() = Create();
        ASSERT_EQ(mDirectDraw->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
        *mTarget.Out() =
            MakeSurface(kTargetWidth, kTargetHeight, &format,
                        DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | DDSCAPS_SYSTEMMEMORY);
        ASSERT_TRUE(mTarget);
        if (withDepth) {
            DDPIXELFORMAT depth{};
            depth.dwSize = sizeof depth;
            depth.dwFlags = DDPF_ZBUFFER;
            depth.dwZBufferBitDepth = 16;
            *mDepth.Out() = MakeSurface(kTargetWidth, kTargetHeight, &depth,
                                        DDSCAPS_ZBUFFER | DDSCAPS_SYSTEMMEMORY);
            ASSERT_EQ(mTarget->AddAttachedSurface(mDepth.Get()), DD_OK);
        }
        void* object = nullptr;
        ASSERT_EQ(mDirectDraw->QueryInterface(IID_IDirect3D7, &object), DD_OK);
        *mDirect3D.Out() = static_cast<IDirect3D7*>(object);
        ASSERT_EQ(mDirect3D->CreateDevice(IID_IDirect3DTnLHalDevice, mTarget.Get(), mDevice.Out()),
                  D3D_OK);
        // Pre-lit vertices are in pixels of the whole target.
        D3DMATRIX pixels{};
        pixels._11 = 2.0f / kTargetWidth;
        pixels._22 = -2.0f / kTargetHeight;
        pixels._33 = 1.0f;
        pixels._41 = -1.0f;
        pixels._42 = 1.0f;
        pixels._44 = 1.0f;
        ASSERT_EQ(mDevice->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &pixels), D3D_OK);
        mDevice->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE);
        mDevice->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
        TRandom random(7);
        for (const TTextureKind& params : kTextures) {
            mTextures.push_back(MakeTexture(params, random));
        }
        ASSERT_EQ(mDevice->BeginScene(), D3D_OK);
    }

    void Close() {
        if (mDevice) {
            mDevice->SetTexture(0, nullptr);
            mDevice->EndScene();
        }
        for (IDirectDrawSurface7* texture : mTextures) {
            texture->Release();
        }
        mTextures.clear();
        mDevice.Reset();
        mDirect3D.Reset();
        mDepth.Reset();
        mTarget.Reset();
        mDirectDraw.Reset();
    }

    IDirectDrawSurface7* MakeTexture(const TTextureKind& params, TRandom& random) {
        DWORD flags = params.mipmapped ? 0 : D3DX_TEXTURE_NOMIPMAP;
        DWORD width = params.width;
        DWORD height = params.height;
        D3DX_SURFACEFORMAT format = params.format;
        IDirectDrawSurface7* texture = nullptr;
        EXPECT_EQ(D3DXCreateTexture(mDevice.Get(), &flags, &width, &height, &format, nullptr,
                                    &texture, nullptr),
                  D3D_OK);
        std::vector<DWORD> texels(width * height);
        for (DWORD& texel : texels) {
            // Alpha often fully on or off, as sprites have it.
            const DWORD alpha = random.Chance(30)   ? 0xFFu
                                : random.Chance(20) ? 0u
                                                    : random.Next() & 0xFF;
            texel = alpha << 24 | (random.Next() & 0xFFFFFF);
        }
        RECT all{0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
        EXPECT_EQ(D3DXLoadTextureFromMemory(
                      mDevice.Get(), texture, params.mipmapped ? D3DX_DEFAULT : 0, texels.data(),
                      nullptr, D3DX_SF_A8R8G8B8, D3DX_DEFAULT, &all, D3DX_FT_LINEAR),
                  D3D_OK);
        return texture;
    }

    // The target's bytes, row by row.
    std::vector<std::uint8_t> Bytes() {
        DDSURFACEDESC2 desc = ddtest::EmptyDesc();
        EXPECT_EQ(mTarget->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr), DD_OK);
        const std::size_t row = kTargetWidth * (desc.ddpfPixelFormat.dwRGBBitCount / 8);
        std::vector<std::uint8_t> bytes(row * kTargetHeight);
        for (int y = 0; y < kTargetHeight; ++y) {
            std::memcpy(bytes.data() + row * y,
                        static_cast<const std::uint8_t*>(desc.lpSurface) + desc.lPitch * y, row);
        }
        mTarget->Unlock(nullptr);
        return bytes;
    }

    void SetBytes(const std::vector<std::uint8_t>& bytes) {
        DDSURFACEDESC2 desc = ddtest::EmptyDesc();
        ASSERT_EQ(mTarget->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
        const std::size_t row = bytes.size() / kTargetHeight;
        for (int y = 0; y < kTargetHeight; ++y) {
            std::memcpy(static_cast<std::uint8_t*>(desc.lpSurface) + desc.lPitch * y,
                        bytes.data() + row * y, row);
        }
        mTarget->Unlock(nullptr);
    }

    void Replay(const TDraw& draw) {
        for (const auto& [state, value] : draw.states) {
            ASSERT_EQ(mDevice->SetRenderState(state, value), D3D_OK);
        }
        for (const auto& [state, value] : draw.stages) {
            ASSERT_EQ(mDevice->SetTextureStageState(0, state, value), D3D_OK);
        }
        ASSERT_EQ(mDevice->SetTexture(0, draw.texture >= 0 ? mTextures[draw.texture] : nullptr),
                  D3D_OK);
        D3DVIEWPORT7 viewport{0, 0, kTargetWidth, kTargetHeight, 0.0f, 1.0f};
        if (draw.smallViewport) {
            viewport = D3DVIEWPORT7{5, 3, kTargetWidth - 17, kTargetHeight - 9, 0.0f, 1.0f};
        }
        ASSERT_EQ(mDevice->SetViewport(&viewport), D3D_OK);
        std::vector<D3DLVERTEX> lit;
        void* vertices = const_cast<D3DTLVERTEX*>(draw.vertices.data());
        if (draw.format == D3DFVF_LVERTEX) {
            for (const D3DTLVERTEX& v : draw.vertices) {
                lit.push_back(D3DLVERTEX{v.sx, v.sy, v.sz, 0, v.color, v.specular, v.tu, v.tv});
            }
            vertices = lit.data();
        }
        const auto count = static_cast<DWORD>(draw.vertices.size());
        if (draw.indices.empty()) {
            ASSERT_EQ(mDevice->DrawPrimitive(draw.type, draw.format, vertices, count, 0), D3D_OK);
        } else {
            ASSERT_EQ(mDevice->DrawIndexedPrimitive(draw.type, draw.format, vertices, count,
                                                    const_cast<WORD*>(draw.indices.data()),
                                                    static_cast<DWORD>(draw.indices.size()), 0),
                      D3D_OK);
        }
    }

    TRef<IDirectDrawSurface7> mTarget;
    TRef<IDirectDrawSurface7> mDepth;
    TRef<IDirect3D7> mDirect3D;
    TRef<IDirect3DDevice7> mDevice;
    std::vector<IDirectDrawSurface7*> mTextures;
};

// A coordinate on the pixel grid, at a half or quarter, in 256ths or anywhere.
float Position(TRandom& random, float low, float high) {
    const float at = random.Between(low, high);
    switch (random.Below(5)) {
    case 0:
        return std::floor(at);
    case 1:
        return std::floor(at) + 0.5f;
    case 2:
        return std::floor(at * 4) / 4;
    case 3:
        return std::floor(at * 256) / 256;
    default:
        return at;
    }
}

D3DCOLOR Colour(TRandom& random) {
    const DWORD alpha = random.Chance(30) ? 0xFFu : random.Next() & 0xFF;
    return alpha << 24 | (random.Next() & 0xFFFFFF);
}

void RandomStates(TRandom& random, TDraw& draw) {
    const TBlendSetUp& blend = random.Pick(kBlends);
    const TStageSetUp& stage = random.Pick(kStages);
    const bool alphaTest = random.Chance(15);
    draw.states = {
        {D3DRENDERSTATE_ALPHABLENDENABLE, blend.blend},
        {D3DRENDERSTATE_SRCBLEND, blend.source},
        {D3DRENDERSTATE_DESTBLEND, blend.dest},
        {D3DRENDERSTATE_SHADEMODE, random.Chance(50) ? D3DSHADE_GOURAUD : D3DSHADE_FLAT},
        {D3DRENDERSTATE_SPECULARENABLE, random.Chance(20)},
        {D3DRENDERSTATE_ALPHATESTENABLE, alphaTest},
        {D3DRENDERSTATE_ALPHAREF, random.Next() & 0xFF},
        {D3DRENDERSTATE_ALPHAFUNC, random.Pick(kCompares)},
        {D3DRENDERSTATE_TEXTUREFACTOR, random.Chance(50) ? 0xFFFFFFFFu : Colour(random)},
        {D3DRENDERSTATE_ZENABLE, random.Chance(50) ? D3DZB_TRUE : D3DZB_FALSE},
        {D3DRENDERSTATE_ZFUNC, random.Chance(50) ? D3DCMP_LESSEQUAL : D3DCMP_GREATER},
    };
    const DWORD magnify = random.Chance(50) ? D3DTFG_LINEAR : D3DTFG_POINT;
    const DWORD minify = random.Chance(70) ? magnify : 3 - magnify;
    draw.stages = {
        {D3DTSS_COLOROP, stage.colourOp},
        {D3DTSS_COLORARG1, stage.colourArg1},
        {D3DTSS_COLORARG2, stage.colourArg2},
        {D3DTSS_ALPHAOP, stage.alphaOp},
        {D3DTSS_ALPHAARG1, stage.alphaArg1},
        {D3DTSS_ALPHAARG2, stage.alphaArg2},
        {D3DTSS_ADDRESSU, random.Pick(kAddresses)},
        {D3DTSS_ADDRESSV, random.Pick(kAddresses)},
        {D3DTSS_MAGFILTER, magnify},
        {D3DTSS_MINFILTER, minify},
        {D3DTSS_MIPFILTER, static_cast<DWORD>(D3DTFP_NONE + random.Below(3))},
    };
    draw.smallViewport = random.Chance(15);
}

// Vertex colours: one for all (the fast paths' case) or one each.
void Colours(TRandom& random, std::vector<D3DTLVERTEX>& vertices) {
    const bool same = random.Chance(80);
    const D3DCOLOR colour = random.Chance(40) ? 0xFFFFFFFFu : Colour(random);
    const D3DCOLOR specular = random.Next() & 0xFFFFFF;
    for (D3DTLVERTEX& v : vertices) {
        v.color = same ? colour : Colour(random);
        v.specular = same ? specular : random.Next() & 0xFFFFFF;
    }
}

// A screen-aligned quad as a fan, a strip, a list or an indexed list, starting at any corner;
// now and then bent out of line, in perspective or rotated, which the general path draws.
void RandomQuad(TRandom& random, TDraw& draw, int textureCount) {
    float left = Position(random, -20, kTargetWidth + 4);
    float top = Position(random, -20, kTargetHeight + 4);
    float right = random.Chance(50) ? left + static_cast<float>(8 << random.Below(3))
                                    : Position(random, left - 10, left + 60);
    float bottom = random.Chance(50) ? top + (right - left) : Position(random, top - 10, top + 50);
    if (random.Chance(25)) {
        // Sides in a small ratio on whole or half pixels: the diagonal meets pixel centres.
        const float sides[] = {4, 6, 10, 12, 20, 24, 40};
        left = std::floor(left) + (random.Chance(30) ? 0.5f : 0.0f);
        top = std::floor(top) + (random.Chance(30) ? 0.5f : 0.0f);
        right = left + random.Pick(sides);
        bottom = top + random.Pick(sides);
    }
    draw.texture = random.Chance(85) ? random.Below(textureCount) : -1;
    const int size = draw.texture >= 0 ? static_cast<int>(kTextures[draw.texture].width) : 16;
    float u0 = 0, v0 = 0, u1 = 1, v1 = 1;
    switch (random.Below(5)) {
    case 0: // texel for pixel, with or without the half-texel offset
        u1 = (right - left) / static_cast<float>(size);
        v1 = (bottom - top) / static_cast<float>(size);
        if (random.Chance(50)) {
            u0 += 0.5f / size, u1 += 0.5f / size, v0 += 0.5f / size, v1 += 0.5f / size;
        }
        break;
    case 1:
        u0 = random.Between(-2, 2), u1 = random.Between(-2, 3);
        v0 = random.Between(-2, 2), v1 = random.Between(-2, 3);
        break;
    case 2: // mirrored
        std::swap(u0, u1);
        break;
    case 3: // through 0 mid-quad, where the general path's rounding decides the texel
        left = std::floor(left), top = std::floor(top);
        right = left + static_cast<float>(2 * (1 + random.Below(24)));
        bottom = top + static_cast<float>(2 * (1 + random.Below(20)));
        u1 = static_cast<float>(1 + random.Below(3)) / 4, u0 = -u1;
        v1 = static_cast<float>(1 + random.Below(3)) / 4, v0 = -v1;
        break;
    default:
        break;
    }
    const float rhw = random.Chance(80) ? 1.0f : random.Between(0.2f, 3.0f);
    const float z = random.Between(0.2f, 0.8f);
    D3DTLVERTEX corners[4] = {{left, top, z, rhw, 0, 0, u0, v0},
                              {right, top, z, rhw, 0, 0, u1, v0},
                              {right, bottom, z, rhw, 0, 0, u1, v1},
                              {left, bottom, z, rhw, 0, 0, u0, v1}};
    switch (random.Below(12)) {
    case 0:
        corners[2].sx += random.Between(-3, 3); // not a rectangle
        break;
    case 1:
        corners[3].rhw *= 2; // perspective
        break;
    case 2: { // rotated a little
        const float turn = random.Between(-0.3f, 0.3f);
        for (D3DTLVERTEX& v : corners) {
            const float x = v.sx - left, y = v.sy - top;
            v.sx = left + x * std::cos(turn) - y * std::sin(turn);
            v.sy = top + x * std::sin(turn) + y * std::cos(turn);
        }
        break;
    }
    case 3:
        std::swap(corners[1].tu, corners[3].tu); // u along both axes
        break;
    default:
        break;
    }
    std::vector<D3DTLVERTEX> ring(corners, corners + 4);
    std::rotate(ring.begin(), ring.begin() + random.Below(4), ring.end());
    if (random.Chance(50)) {
        std::reverse(ring.begin(), ring.end());
    }
    Colours(random, ring);
    switch (random.Below(5)) {
    case 0:
        draw.type = D3DPT_TRIANGLEFAN;
        draw.vertices = ring;
        break;
    case 1:
        draw.type = D3DPT_TRIANGLESTRIP;
        draw.vertices = {ring[0], ring[1], ring[3], ring[2]};
        break;
    case 2:
        draw.type = D3DPT_TRIANGLELIST;
        draw.vertices = {ring[0], ring[1], ring[2], ring[0], ring[2], ring[3]};
        break;
    case 3:
        draw.type = D3DPT_TRIANGLELIST;
        draw.vertices = ring;
        draw.indices = {0, 1, 2, 2, 3, 0};
        break;
    default: // two halves over one box that overlap
        draw.type = D3DPT_TRIANGLELIST;
        draw.vertices = {ring[0], ring[1], ring[3], ring[0], ring[1], ring[2]};
        break;
    }
    if (rhw == 1.0f && random.Chance(25)) {
        draw.format = D3DFVF_LVERTEX;
    }
}

// Triangles of any shape, untextured or not.
void RandomTriangles(TRandom& random, TDraw& draw, int textureCount) {
    draw.texture = random.Chance(40) ? random.Below(textureCount) : -1;
    draw.type = D3DPT_TRIANGLELIST;
    const int count = 1 + random.Below(3);
    for (int i = 0; i < 3 * count; ++i) {
        draw.vertices.push_back(D3DTLVERTEX{Position(random, -10, kTargetWidth + 10),
                                            Position(random, -10, kTargetHeight + 10), 0.5f, 1, 0,
                                            0, random.Between(-1, 2), random.Between(-1, 2)});
    }
    Colours(random, draw.vertices);
}

// Short lines as text has them: mostly level, some sloped, steep or backwards.
void RandomLines(TRandom& random, TDraw& draw, int textureCount) {
    draw.texture = random.Chance(10) ? random.Below(textureCount) : -1;
    draw.type = random.Chance(80) ? D3DPT_LINELIST : D3DPT_LINESTRIP;
    const int count = 2 * (1 + random.Below(12));
    for (int i = 0; i < count; i += 2) {
        const float x = Position(random, -8, kTargetWidth + 2);
        const float y = Position(random, -4, kTargetHeight + 2);
        const float length = Position(random, -4, 14);
        const float rise =
            random.Chance(60) ? 0.0f : Position(random, -3, 3) * (random.Chance(20) ? 5 : 1);
        draw.vertices.push_back(D3DTLVERTEX{x, y, 0.5f, 1, 0, 0, 0, 0});
        draw.vertices.push_back(D3DTLVERTEX{x + length, y + rise, 0.5f, 1, 0, 0, 1, 1});
    }
    Colours(random, draw.vertices);
    if (random.Chance(20)) {
        draw.format = D3DFVF_LVERTEX;
    }
}

// Where two byte images first differ; their size when they do not.
std::size_t FirstDifference(const std::vector<std::uint8_t>& a,
                            const std::vector<std::uint8_t>& b) {
    return static_cast<std::size_t>(std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first -
                                    a.begin());
}

std::vector<TDraw> RandomScene(TRandom& random, int textureCount) {
    std::vector<TDraw> scene(6 + random.Below(6));
    for (TDraw& draw : scene) {
        RandomStates(random, draw);
        const int kind = random.Below(10);
        if (kind < 6) {
            RandomQuad(random, draw, textureCount);
        } else if (kind < 8) {
            RandomLines(random, draw, textureCount);
        } else {
            RandomTriangles(random, draw, textureCount);
        }
        if (draw.format == D3DFVF_LVERTEX) {
            draw.smallViewport = false; // the projection is of the whole target
        }
    }
    return scene;
}

TEST_F(FastPaths, RandomScenesGiveTheGeneralPathsBytes) {
    const TTargetFormat x8r8g8b8{"X8R8G8B8", Format(32, 0xFF0000, 0xFF00, 0xFF, 0)};
    const TTargetFormat a8r8g8b8{"A8R8G8B8", Format(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000)};
    const TTargetFormat r5g6b5{"R5G6B5", Format(16, 0xF800, 0x07E0, 0x001F, 0)};
    const TTargetFormat x1r5g5b5{"X1R5G5B5", Format(16, 0x7C00, 0x03E0, 0x001F, 0)};
    const TTargetFormat a4r4g4b4{"A4R4G4B4", Format(16, 0x0F00, 0x00F0, 0x000F, 0xF000)};
    struct TSetUp {
        const TTargetFormat& target;
        bool halfPixelCentres;
        bool withDepth;
    };
    const TSetUp setUps[] = {
        {x8r8g8b8, false, false}, {x8r8g8b8, true, false}, {a8r8g8b8, false, false},
        {a8r8g8b8, true, false},  {r5g6b5, false, false},  {r5g6b5, true, false},
        {x1r5g5b5, false, false}, {a4r4g4b4, true, false}, {x8r8g8b8, false, true},
    };
    standin::TFastPathCounts taken;
    TRandom random(20240611);
    for (const TSetUp& setUp : setUps) {
        SCOPED_TRACE(testing::Message()
                     << setUp.target.name << (setUp.halfPixelCentres ? " +0.5" : "")
                     << (setUp.withDepth ? " depth" : ""));
        Open(setUp.target.format, setUp.halfPixelCentres, setUp.withDepth);
        ASSERT_FALSE(HasFatalFailure());
        for (int scene = 0; scene < 40; ++scene) {
            SCOPED_TRACE(scene);
            std::vector<std::uint8_t> background = Bytes();
            for (std::uint8_t& byte : background) {
                byte = static_cast<std::uint8_t>(random.Next());
            }
            const std::vector<TDraw> draws =
                RandomScene(random, static_cast<int>(mTextures.size()));
            std::vector<std::uint8_t> results[2];
            for (const bool fast : {true, false}) {
                standin::SetRasterFastPaths(fast);
                SetBytes(background);
                if (mDepth) {
                    D3DVIEWPORT7 all{0, 0, kTargetWidth, kTargetHeight, 0.0f, 1.0f};
                    ASSERT_EQ(mDevice->SetViewport(&all), D3D_OK);
                    ASSERT_EQ(mDevice->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.5f, 0), D3D_OK);
                }
                for (const TDraw& draw : draws) {
                    Replay(draw);
                    ASSERT_FALSE(HasFatalFailure());
                }
                results[fast ? 0 : 1] = Bytes();
                const standin::TFastPathCounts counts = standin::TakeFastPathCounts();
                if (fast) {
                    taken.texturedTriangles += counts.texturedTriangles;
                    taken.fills += counts.fills;
                    taken.lines += counts.lines;
                } else {
                    EXPECT_EQ(counts.texturedTriangles + counts.fills + counts.lines, 0u);
                }
            }
            ASSERT_EQ(FirstDifference(results[0], results[1]), results[0].size())
                << "fast and general paths differ at this byte";
        }
        Close();
    }
    // Far from all, as the fall-backs are drawn too, but many of each.
    EXPECT_GT(taken.texturedTriangles, 500u);
    EXPECT_GT(taken.fills, 100u);
    EXPECT_GT(taken.lines, 1000u);
}

// A draw with the engine's normal blending and bilinear filtering of texture 0 (16x16 A8R8G8B8).
TDraw Sprite(float left, float top, float size, D3DPRIMITIVETYPE type = D3DPT_TRIANGLEFAN) {
    TDraw draw;
    draw.states = {{D3DRENDERSTATE_ALPHABLENDENABLE, TRUE},
                   {D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA},
                   {D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA},
                   {D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD},
                   {D3DRENDERSTATE_ZENABLE, D3DZB_FALSE}};
    draw.stages = {{D3DTSS_COLOROP, D3DTOP_MODULATE},   {D3DTSS_COLORARG1, D3DTA_TEXTURE},
                   {D3DTSS_COLORARG2, D3DTA_CURRENT},   {D3DTSS_ALPHAOP, D3DTOP_MODULATE},
                   {D3DTSS_ALPHAARG1, D3DTA_TEXTURE},   {D3DTSS_ALPHAARG2, D3DTA_DIFFUSE},
                   {D3DTSS_MAGFILTER, D3DTFG_LINEAR},   {D3DTSS_MINFILTER, D3DTFN_LINEAR},
                   {D3DTSS_MIPFILTER, D3DTFP_NONE},     {D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP},
                   {D3DTSS_ADDRESSV, D3DTADDRESS_CLAMP}};
    draw.texture = 0;
    draw.type = type;
    const float right = left + size, bottom = top + size;
    const D3DCOLOR c = 0xC0FFFFFF;
    if (type == D3DPT_LINELIST) {
        draw.texture = -1;
        for (int i = 0; i < 5; ++i) {
            const float y = top + static_cast<float>(i);
            draw.vertices.push_back(D3DTLVERTEX{left, y, 0.5f, 1, c, 0, 0, 0});
            draw.vertices.push_back(D3DTLVERTEX{right, y, 0.5f, 1, c, 0, 0, 0});
        }
        return draw;
    }
    draw.vertices = {{left, top, 0.5f, 1, c, 0, 0, 0},
                     {right, top, 0.5f, 1, c, 0, 1, 0},
                     {right, bottom, 0.5f, 1, c, 0, 1, 1},
                     {left, bottom, 0.5f, 1, c, 0, 0, 1}};
    return draw;
}

void SetState(TDraw& draw, D3DRENDERSTATETYPE state, DWORD value) {
    draw.states.emplace_back(state, value);
}

void SetStage(TDraw& draw, D3DTEXTURESTAGESTATETYPE state, DWORD value) {
    draw.stages.emplace_back(state, value);
}

TEST_F(FastPaths, EachPrimitiveTakesItsPathOrFallsBack) {
    struct TCase {
        const char* name;
        std::function<TDraw()> draw;
        standin::TFastPathCounts expected;
    };
    const TCase cases[] = {
        {"sprite", [] { return Sprite(8, 8, 16); }, {2, 0, 0}},
        {"sprite off the grid and enlarged", [] { return Sprite(8.3f, 7.61f, 37.5f); }, {2, 0, 0}},
        {"sprite as a strip",
         [] {
             TDraw draw = Sprite(8, 8, 16, D3DPT_TRIANGLESTRIP);
             std::swap(draw.vertices[2], draw.vertices[3]);
             return draw;
         },
         {2, 0, 0}},
        {"point-sampled, wrapped",
         [] {
             TDraw draw = Sprite(-4, 20, 30);
             SetStage(draw, D3DTSS_MAGFILTER, D3DTFG_POINT);
             SetStage(draw, D3DTSS_ADDRESSU, D3DTADDRESS_WRAP);
             return draw;
         },
         {2, 0, 0}},
        {"fill",
         [] {
             TDraw draw = Sprite(3, 5, 40);
             draw.texture = -1;
             return draw;
         },
         {0, 2, 0}},
        {"flat fill of four colours",
         [] {
             TDraw draw = Sprite(3, 5, 40);
             draw.texture = -1;
             SetState(draw, D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT);
             for (int i = 0; i < 4; ++i) {
                 draw.vertices[i].color = 0xFF102030u * static_cast<DWORD>(i + 1);
             }
             return draw;
         },
         {0, 2, 0}},
        {"lines", [] { return Sprite(2.5f, 30.5f, 9, D3DPT_LINELIST); }, {0, 0, 5}},
        {"bent out of square",
         [] {
             TDraw draw = Sprite(8, 8, 16);
             draw.vertices[1].sy += 1;
             draw.vertices[2].sx -= 1;
             draw.vertices[3].sx += 1;
             return draw;
         },
         {0, 0, 0}},
        {"in perspective",
         [] {
             TDraw draw = Sprite(8, 8, 16);
             draw.vertices[2].rhw = 0.5f;
             return draw;
         },
         {0, 0, 0}},
        {"depth-tested",
         [] {
             TDraw draw = Sprite(8, 8, 16);
             SetState(draw, D3DRENDERSTATE_ZENABLE, D3DZB_TRUE);
             return draw;
         },
         {0, 0, 0}},
        {"Gouraud-shaded colours",
         [] {
             TDraw draw = Sprite(8, 8, 16);
             draw.vertices[1].color = 0xFF0000FF; // in the first triangle only
             return draw;
         },
         {1, 0, 0}},
        {"blend of two mip levels",
         [] {
             TDraw draw = Sprite(8, 8, 24);
             draw.texture = 4; // 64x64 with mips, so minified
             SetStage(draw, D3DTSS_MIPFILTER, D3DTFP_LINEAR);
             return draw;
         },
         {0, 0, 0}},
        {"one mip level",
         [] {
             TDraw draw = Sprite(8, 8, 16);
             draw.texture = 4;
             SetStage(draw, D3DTSS_MIPFILTER, D3DTFP_POINT);
             return draw;
         },
         {2, 0, 0}},
        {"two texel channels in one output",
         [] {
             TDraw draw = Sprite(8, 8, 16);
             SetStage(draw, D3DTSS_COLORARG2, D3DTA_TEXTURE | D3DTA_ALPHAREPLICATE);
             return draw;
         },
         {0, 0, 0}},
        {"shaded lines",
         [] {
             TDraw draw = Sprite(2.5f, 30.5f, 9, D3DPT_LINELIST);
             draw.vertices[3].color = 0xFF000000;
             return draw;
         },
         {0, 0, 4}},
    };
    Open(Format(32, 0xFF0000, 0xFF00, 0xFF, 0), false, true);
    ASSERT_FALSE(HasFatalFailure());
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        standin::TakeFastPathCounts();
        Replay(c.draw());
        const standin::TFastPathCounts counts = standin::TakeFastPathCounts();
        EXPECT_EQ(counts.texturedTriangles, c.expected.texturedTriangles);
        EXPECT_EQ(counts.fills, c.expected.fills);
        EXPECT_EQ(counts.lines, c.expected.lines);
    }
}

// Quads (left, top, width, height in 256ths of a pixel) whose diagonal passes pixel centres at
// just the distance where the fast path's row-to-row stepping of its bound carries exactly:
// each half must keep its own pixels.
TEST_F(FastPaths, DiagonalsStepExactlyOntoTheirBounds) {
    const int quads[][4] = {
        {10964, 6509, 5007, 2485}, {9222, 4853, 3727, 1530}, {1648, 7325, 4267, 1490}};
    Open(Format(32, 0xFF0000, 0xFF00, 0xFF, 0), false);
    ASSERT_FALSE(HasFatalFailure());
    for (const auto& quad : quads) {
        for (const bool textured : {false, true}) {
            SCOPED_TRACE(testing::Message() << quad[0] << " " << quad[1] << " " << textured);
            TDraw draw = Sprite(quad[0] / 256.0f, quad[1] / 256.0f, 1);
            draw.vertices[1].sx = draw.vertices[2].sx = (quad[0] + quad[2]) / 256.0f;
            draw.vertices[2].sy = draw.vertices[3].sy = (quad[1] + quad[3]) / 256.0f;
            // Additive, so that a pixel drawn twice or missed shows, and each half in a colour
            // of its own (the fan's second and third vertices provoke them).
            SetState(draw, D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE);
            SetState(draw, D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT);
            draw.vertices[1].color = 0xFF402010;
            draw.vertices[2].color = 0xFF104020;
            draw.texture = textured ? 0 : -1;
            std::vector<std::uint8_t> results[2];
            for (const bool fast : {true, false}) {
                standin::SetRasterFastPaths(fast);
                SetBytes(std::vector<std::uint8_t>(kTargetWidth * kTargetHeight * 4, 0x20));
                Replay(draw);
                results[fast ? 0 : 1] = Bytes();
            }
            EXPECT_EQ(FirstDifference(results[0], results[1]), results[0].size());
            EXPECT_EQ(standin::TakeFastPathCounts().fills, textured ? 0u : 2u);
        }
    }
}

} // namespace
