#include "tests/platform/directx/ddtest.h"

#include "platform/directx/d3d.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace {

using ddtest::EmptyDesc;
using ddtest::FillFx;
using ddtest::Format;
using ddtest::PixelAt;
using ddtest::TRef;

using ddtest::kSize;

class Direct3D : public ddtest::TDirect3DTest {};

// The four frame-buffer set-ups of the engine's blend modes, and opaque drawing, over stripes.
struct TBlendMode {
    bool blend;
    DWORD source;
    DWORD dest;
};
const TBlendMode kBlendModes[] = {
    {true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA}, // normal
    {false, D3DBLEND_ONE, D3DBLEND_ZERO},            // opaque
    {true, D3DBLEND_SRCALPHA, D3DBLEND_ONE},         // additive
    {true, D3DBLEND_ZERO, D3DBLEND_INVSRCCOLOR},     // subtractive
    {true, D3DBLEND_ZERO, D3DBLEND_SRCCOLOR},        // multiplicative
};

TEST_F(Direct3D, BlendModesOverAPatternIn32And16Bits) {
    struct TCase {
        DWORD bits;
        DWORD stripes[4];
        const char* golden;
        DWORD normalOverRed; // mode 0 of 0x80FFC040 over red, worked out below
        DWORD opaque;
    };
    // Mode 0 over red: r = (255*128 + 255*127 + 127) / 255 = 255, g = (192*128 + 127) / 255 = 96,
    // b = (64*128 + 127) / 255 = 32; in 565 that is 31, 24, 4.
    const TCase cases[] = {
        {32, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}, "d3d_blend_32.png", 0xFF6020, 0xFFC040},
        {16, {0xF800, 0x07E0, 0x001F, 0xFFFF}, "d3d_blend_16.png", 0xFB04, 0xFE08},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.bits);
        Open(c.bits);
        ASSERT_FALSE(HasFatalFailure());
        for (int i = 0; i < 4; ++i) {
            Fill(RECT{i * 16, 0, i * 16 + 16, kSize}, c.stripes[i]);
        }
        for (int mode = 0; mode < 5; ++mode) {
            const TBlendMode& m = kBlendModes[mode];
            mDevice->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, m.blend);
            mDevice->SetRenderState(D3DRENDERSTATE_SRCBLEND, m.source);
            mDevice->SetRenderState(D3DRENDERSTATE_DESTBLEND, m.dest);
            const float top = 2.0f + mode * 12.0f;
            ASSERT_EQ(Quad(4.0f, top, 60.0f, top + 10.0f, 0x80FFC040), D3D_OK);
        }
        EXPECT_EQ(At(5, 3), c.normalOverRed);
        EXPECT_EQ(At(5, 15), c.opaque);
        EXPECT_EQ(At(5, 1), c.stripes[0]);
        ddtest::ExpectGolden(Image(), c.golden);
        Close();
    }
}

TEST_F(Direct3D, LineListFollowsTheDocumentedRule) {
    Open(32);
    ASSERT_FALSE(HasFatalFailure());
    const D3DCOLOR white = 0xFFFFFFFF;
    D3DTLVERTEX lines[] = {
        {2.0f, 3.0f, 0, 1, white, 0, 0, 0},       {10.0f, 3.0f, 0, 1, white, 0, 0, 0},
        {10.5f, 6.5f, 0, 1, white, 0, 0, 0},      {2.5f, 6.5f, 0, 1, white, 0, 0, 0}, // backwards
        {20.0f, 2.0f, 0, 1, white, 0, 0, 0},      {20.0f, 12.0f, 0, 1, white, 0, 0, 0},
        {4.0f, 20.0f, 0, 1, 0xFFFF0000, 0, 0, 0}, {60.0f, 50.0f, 0, 1, 0xFF0000FF, 0, 0, 0},
    };
    ASSERT_EQ(mDevice->DrawPrimitive(D3DPT_LINELIST, D3DFVF_TLVERTEX, lines, 8, 0), D3D_OK);
    // From x 2 to 10 at y 3: pixels 2 to 9 of row 3.
    EXPECT_EQ(At(1, 3), 0u);
    EXPECT_EQ(At(2, 3), 0xFFFFFFu);
    EXPECT_EQ(At(9, 3), 0xFFFFFFu);
    EXPECT_EQ(At(10, 3), 0u);
    // From 10.5 back to 2.5 at 6.5: pixels 3 to 10 of row 7 (halves round up).
    EXPECT_EQ(At(2, 7), 0u);
    EXPECT_EQ(At(3, 7), 0xFFFFFFu);
    EXPECT_EQ(At(10, 7), 0xFFFFFFu);
    EXPECT_EQ(At(11, 7), 0u);
    EXPECT_EQ(At(3, 6), 0u);
    // Vertical from 2 to 12: rows 2 to 11.
    EXPECT_EQ(At(20, 2), 0xFFFFFFu);
    EXPECT_EQ(At(20, 11), 0xFFFFFFu);
    EXPECT_EQ(At(20, 12), 0u);
    ddtest::ExpectGolden(Image(), "d3d_lines.png");
}

TEST_F(Direct3D, SharedEdgesNeitherOverlapNorLeaveGaps) {
    Open(32);
    ASSERT_FALSE(HasFatalFailure());
    // Additive drawing of 16 in blue: a pixel drawn twice shows 32, one missed shows 0.
    mDevice->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
    mDevice->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
    mDevice->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE);
    const D3DCOLOR c = 0xFF000010;
    // A fan of triangles round an off-grid centre, covering the rectangle (8, 8)-(56, 40).
    D3DLVERTEX fan[] = {{29.3f, 21.7f, 0.5f, 0, c, 0, 0, 0}, {8, 8, 0.5f, 0, c, 0, 0, 0},
                        {33.6f, 8, 0.5f, 0, c, 0, 0, 0},     {56, 8, 0.5f, 0, c, 0, 0, 0},
                        {56, 40, 0.5f, 0, c, 0, 0, 0},       {17.25f, 40, 0.5f, 0, c, 0, 0, 0},
                        {8, 40, 0.5f, 0, c, 0, 0, 0},        {8, 8, 0.5f, 0, c, 0, 0, 0}};
    ASSERT_EQ(mDevice->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DFVF_LVERTEX, fan, 8, 0), D3D_OK);
    // The same rectangle again as an indexed list of two triangles, 20 pixels lower.
    D3DLVERTEX corners[] = {{8, 44, 0.5f, 0, c, 0, 0, 0},
                            {56, 44, 0.5f, 0, c, 0, 0, 0},
                            {56, 60, 0.5f, 0, c, 0, 0, 0},
                            {8, 60, 0.5f, 0, c, 0, 0, 0}};
    WORD indices[] = {0, 1, 2, 0, 2, 3};
    ASSERT_EQ(mDevice->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DFVF_LVERTEX, corners, 4, indices,
                                            6, 0),
              D3D_OK);
    const standin::TScreenImage image = Image();
    int wrong = 0;
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const bool inside = x >= 8 && x < 56 && ((y >= 8 && y < 40) || (y >= 44 && y < 60));
            const std::uint32_t expected = inside ? 0xFF000010u : 0xFF000000u;
            wrong += image.pixels[y * kSize + x] != expected ? 1 : 0;
        }
    }
    EXPECT_EQ(wrong, 0);
    ddtest::ExpectGolden(image, "d3d_indexed.png");
}

TEST_F(Direct3D, FlatAgainstGouraudWithSpecularAndLighting) {
    Open(32);
    ASSERT_FALSE(HasFatalFailure());
    D3DLVERTEX quad[] = {{4, 4, 0.5f, 0, 0xFFFF0000, 0x00000000, 0, 0},
                         {28, 4, 0.5f, 0, 0xFF00FF00, 0x00000000, 0, 0},
                         {28, 28, 0.5f, 0, 0xFF0000FF, 0x00404040, 0, 0},
                         {4, 28, 0.5f, 0, 0xFFFFFFFF, 0x00404040, 0, 0}};
    mDevice->SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT);
    ASSERT_EQ(mDevice->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DFVF_LVERTEX, quad, 4, 0), D3D_OK);
    // Flat: each triangle of a fan takes its second vertex's colour.
    EXPECT_EQ(At(20, 6), 0x00FF00u);
    EXPECT_EQ(At(6, 20), 0x0000FFu);
    for (auto& v : quad) {
        v.x += 32;
    }
    mDevice->SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD);
    mDevice->SetRenderState(D3DRENDERSTATE_SPECULARENABLE, TRUE);
    ASSERT_EQ(mDevice->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DFVF_LVERTEX, quad, 4, 0), D3D_OK);
    EXPECT_EQ(At(36, 4), 0xFF0000u);
    EXPECT_EQ(At(59, 27) & 0xFF, 0xFFu);

    // Lit vertices: material ambient 0.5 under white ambient light, no lights: grey 128.
    mDevice->SetRenderState(D3DRENDERSTATE_LIGHTING, TRUE);
    mDevice->SetRenderState(D3DRENDERSTATE_SPECULARENABLE, FALSE);
    mDevice->SetRenderState(D3DRENDERSTATE_AMBIENT, 0xFFFFFFFF);
    D3DMATERIAL7 material{};
    material.diffuse = {1, 1, 1, 1};
    material.ambient = {0.5f, 0.5f, 0.5f, 1};
    ASSERT_EQ(mDevice->SetMaterial(&material), D3D_OK);
    D3DVERTEX lit[] = {{4, 36, 0.5f, 0, 0, -1, 0, 0},
                       {60, 36, 0.5f, 0, 0, -1, 0, 0},
                       {60, 60, 0.5f, 0, 0, -1, 0, 0},
                       {4, 60, 0.5f, 0, 0, -1, 0, 0}};
    ASSERT_EQ(mDevice->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DFVF_VERTEX, lit, 4, 0), D3D_OK);
    EXPECT_EQ(At(30, 50), 0x808080u);
    ddtest::ExpectGolden(Image(), "d3d_shading.png");
}

TEST_F(Direct3D, DepthTestRejectsTheFartherTriangle) {
    Open(32, true);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_EQ(mDevice->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0),
              D3D_OK);
    mDevice->SetRenderState(D3DRENDERSTATE_ZENABLE, D3DZB_TRUE);
    ASSERT_EQ(Quad(8, 8, 40, 40, 0xFFFF0000, 0.2f), D3D_OK);
    ASSERT_EQ(Quad(24, 24, 56, 56, 0xFF0000FF, 0.8f), D3D_OK);
    EXPECT_EQ(At(30, 30), 0xFF0000u);
    EXPECT_EQ(At(50, 50), 0x0000FFu);
    // Without the test the later one covers.
    mDevice->SetRenderState(D3DRENDERSTATE_ZENABLE, D3DZB_FALSE);
    ASSERT_EQ(Quad(4, 44, 12, 52, 0xFF00FF00, 0.9f), D3D_OK);
    ASSERT_EQ(Quad(8, 48, 16, 56, 0xFFFFFF00, 0.95f), D3D_OK);
    EXPECT_EQ(At(10, 50), 0xFFFF00u);
    ddtest::ExpectGolden(Image(), "d3d_depth.png");
}

TEST_F(Direct3D, AlphaTestDiscardsAlphaZero) {
    Open(32);
    ASSERT_FALSE(HasFatalFailure());
    Fill(RECT{0, 0, kSize, kSize}, 0x404040);
    mDevice->SetRenderState(D3DRENDERSTATE_ALPHATESTENABLE, TRUE);
    mDevice->SetRenderState(D3DRENDERSTATE_ALPHAREF, 1);
    mDevice->SetRenderState(D3DRENDERSTATE_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    ASSERT_EQ(Quad(4, 4, 30, 60, 0x00FFFFFF), D3D_OK);
    ASSERT_EQ(Quad(34, 4, 60, 60, 0x01FFFFFF), D3D_OK);
    EXPECT_EQ(At(10, 10), 0x404040u);
    EXPECT_EQ(At(40, 10), 0xFFFFFFu);
    ddtest::ExpectGolden(Image(), "d3d_alphatest.png");
}

TEST_F(Direct3D, CullingEitherWay) {
    Open(32);
    ASSERT_FALSE(HasFatalFailure());
    // Clockwise on the screen (y grows downwards), then counter-clockwise.
    auto draw = [&](float dx, float dy, bool clockwise, D3DCOLOR colour) {
        D3DLVERTEX tri[3] = {{dx + 2, dy + 2, 0.5f, 0, colour, 0, 0, 0},
                             {dx + 28, dy + 2, 0.5f, 0, colour, 0, 0, 0},
                             {dx + 2, dy + 28, 0.5f, 0, colour, 0, 0, 0}};
        if (!clockwise) {
            std::swap(tri[1], tri[2]);
        }
        return mDevice->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_LVERTEX, tri, 3, 0);
    };
    mDevice->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW);
    ASSERT_EQ(draw(0, 0, true, 0xFFFF0000), D3D_OK);
    ASSERT_EQ(draw(32, 0, false, 0xFFFF0000), D3D_OK);
    mDevice->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CW);
    ASSERT_EQ(draw(0, 32, true, 0xFF00FF00), D3D_OK);
    ASSERT_EQ(draw(32, 32, false, 0xFF00FF00), D3D_OK);
    EXPECT_EQ(At(5, 5), 0xFF0000u);
    EXPECT_EQ(At(37, 5), 0u);
    EXPECT_EQ(At(5, 37), 0u);
    EXPECT_EQ(At(37, 37), 0x00FF00u);
    ddtest::ExpectGolden(Image(), "d3d_cull.png");
}

TEST_F(Direct3D, PerspectiveTriangleIsClippedAtTheNearPlane) {
    Open(32);
    ASSERT_FALSE(HasFatalFailure());
    // Left-handed perspective, 90 degrees, near 1, far 100.
    const float zn = 1.0f;
    const float zf = 100.0f;
    D3DMATRIX projection{};
    projection._11 = 1.0f;
    projection._22 = 1.0f;
    projection._33 = zf / (zf - zn);
    projection._34 = 1.0f;
    projection._43 = -zn * zf / (zf - zn);
    ASSERT_EQ(mDevice->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection), D3D_OK);
    // A floor triangle running from behind the eye to far ahead, with colour along its length.
    D3DLVERTEX floor[] = {{-2, -1, -3, 0, 0xFFFF0000, 0, 0, 0},
                          {2, -1, -3, 0, 0xFFFF0000, 0, 0, 0},
                          {0, -1, 20, 0, 0xFF0000FF, 0, 0, 0}};
    ASSERT_EQ(mDevice->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_LVERTEX, floor, 3, 0), D3D_OK);
    const standin::TScreenImage image = Image();
    int lit = 0;
    for (std::uint32_t pixel : image.pixels) {
        lit += (pixel & 0xFFFFFF) != 0 ? 1 : 0;
    }
    EXPECT_GT(lit, 100);
    // Nothing above the horizon (y = 32): the floor is below the eye.
    for (int x = 0; x < kSize; ++x) {
        EXPECT_EQ(At(x, 31), 0u) << x;
    }
    ddtest::ExpectGolden(image, "d3d_nearclip.png");

    // Without clipping, a vertex behind the eye makes the triangle draw nothing.
    Fill(RECT{0, 0, kSize, kSize}, 0);
    mDevice->SetRenderState(D3DRENDERSTATE_CLIPPING, FALSE);
    ASSERT_EQ(mDevice->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_LVERTEX, floor, 3, 0), D3D_OK);
    EXPECT_EQ(Image().pixels, std::vector<std::uint32_t>(kSize * kSize, 0xFF000000u));
}

TEST_F(Direct3D, SmallViewportScissorsAndBadOnesAreRefused) {
    Open(32);
    ASSERT_FALSE(HasFatalFailure());
    D3DVIEWPORT7 viewport{16, 20, 24, 16, 0.0f, 1.0f};
    ASSERT_EQ(mDevice->SetViewport(&viewport), D3D_OK);
    D3DTLVERTEX all[] = {{-10, -10, 0.5f, 1, 0xFFFFFFFF, 0, 0, 0},
                         {100, -10, 0.5f, 1, 0xFFFFFFFF, 0, 0, 0},
                         {100, 100, 0.5f, 1, 0xFFFFFFFF, 0, 0, 0},
                         {-10, 100, 0.5f, 1, 0xFFFFFFFF, 0, 0, 0}};
    ASSERT_EQ(mDevice->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DFVF_TLVERTEX, all, 4, 0), D3D_OK);
    EXPECT_EQ(At(16, 20), 0xFFFFFFu);
    EXPECT_EQ(At(39, 35), 0xFFFFFFu);
    EXPECT_EQ(At(15, 20), 0u);
    EXPECT_EQ(At(40, 35), 0u);
    EXPECT_EQ(At(16, 36), 0u);
    ddtest::ExpectGolden(Image(), "d3d_viewport.png");

    D3DVIEWPORT7 outside{40, 0, 30, 10, 0.0f, 1.0f};
    EXPECT_EQ(mDevice->SetViewport(&outside), DDERR_INVALIDPARAMS);
    D3DVIEWPORT7 empty{10, 10, 0, 0, 0.0f, 1.0f};
    EXPECT_EQ(mDevice->SetViewport(&empty), D3D_OK);
    ASSERT_EQ(mDevice->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DFVF_TLVERTEX, all, 4, 0), D3D_OK);
    EXPECT_EQ(At(10, 10), 0u);
}

TEST_F(Direct3D, BadVerticesAndCallsDrawNothing) {
    Open(32);
    ASSERT_FALSE(HasFatalFailure());
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float cases[][2] = {{nan, 10}, {10, nan}, {1e30f, 10}, {-1e30f, -1e30f}, {inf, 10}};
    for (const auto& bad : cases) {
        D3DTLVERTEX tri[] = {{bad[0], bad[1], 0.5f, 1, 0xFFFFFFFF, 0, 0, 0},
                             {60, 4, 0.5f, 1, 0xFFFFFFFF, 0, 0, 0},
                             {4, 60, 0.5f, 1, 0xFFFFFFFF, 0, 0, 0}};
        EXPECT_EQ(mDevice->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, tri, 3, 0), D3D_OK);
        D3DLVERTEX lit[] = {{bad[0], bad[1], 0.5f, 0, 0xFFFFFFFF, 0, 0, 0},
                            {60, 4, 0.5f, 0, 0xFFFFFFFF, 0, 0, 0},
                            {4, 60, 0.5f, 0, 0xFFFFFFFF, 0, 0, 0}};
        EXPECT_EQ(mDevice->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_LVERTEX, lit, 3, 0), D3D_OK);
        EXPECT_EQ(mDevice->DrawPrimitive(D3DPT_LINELIST, D3DFVF_LVERTEX, lit, 2, 0), D3D_OK);
    }
    D3DLVERTEX good[] = {{4, 4, 0.5f, 0, 0xFFFFFFFF, 0, 0, 0},
                         {60, 4, 0.5f, 0, 0xFFFFFFFF, 0, 0, 0},
                         {4, 60, 0.5f, 0, 0xFFFFFFFF, 0, 0, 0}};
    WORD outOfRange[] = {0, 1, 3};
    EXPECT_EQ(mDevice->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DFVF_LVERTEX, good, 3, outOfRange,
                                            3, 0),
              DDERR_INVALIDPARAMS);
    EXPECT_EQ(mDevice->DrawPrimitive(D3DPT_TRIANGLELIST, 0x142, good, 3, 0),
              D3DERR_INVALIDVERTEXTYPE);
    EXPECT_EQ(mDevice->DrawPrimitive(static_cast<D3DPRIMITIVETYPE>(9), D3DFVF_LVERTEX, good, 3, 0),
              D3DERR_INVALIDPRIMITIVETYPE);
    EXPECT_EQ(Image().pixels, std::vector<std::uint32_t>(kSize * kSize, 0xFF000000u));

    ASSERT_EQ(mDevice->EndScene(), D3D_OK);
    EXPECT_EQ(mDevice->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_LVERTEX, good, 3, 0),
              D3DERR_SCENE_NOT_IN_SCENE);
    EXPECT_EQ(mDevice->EndScene(), D3DERR_SCENE_NOT_IN_SCENE);
    EXPECT_EQ(mDevice->SetRenderState(D3DRENDERSTATE_SRCBLEND, 99), DDERR_INVALIDPARAMS);
    ASSERT_EQ(mDevice->BeginScene(), D3D_OK);
}

TEST_F(Direct3D, PixelCentresAtAHalfMoveCoverage) {
    for (bool half : {false, true}) {
        SCOPED_TRACE(half);
        standin::TAdapter adapter = ddtest::ScriptedAdapter();
        adapter.halfPixelCentres = half;
        standin::SetAdapters({adapter});
        Open(32);
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_EQ(Quad(0.5f, 0.5f, 4.5f, 4.5f, 0xFFFFFFFF), D3D_OK);
        // Integer centres: pixels 1 to 4; centres at +0.5: pixels 0 to 3.
        EXPECT_EQ(At(0, 0) != 0, half);
        EXPECT_EQ(At(4, 4) != 0, !half);
        EXPECT_EQ(At(2, 2), 0xFFFFFFu);
        Close();
    }
}

TEST_F(Direct3D, DevicesScenesAndFaults) {
    Open(32);
    ASSERT_FALSE(HasFatalFailure());
    std::vector<std::string> names;
    auto collect = [](char*, char* name, D3DDEVICEDESC7* desc, void* context) -> HRESULT {
        auto* into = static_cast<std::vector<std::string>*>(context);
        into->push_back(name);
        const bool hardware =
            (desc->dwDevCaps & D3DDEVCAPS_HWRASTERIZATION) != 0 &&
            (desc->dwDevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) != 0 &&
            desc->dwMaxTextureWidth == 2048 &&
            (desc->dpcTriCaps.dwShadeCaps & D3DPSHADECAPS_SPECULARGOURAUDRGB) != 0;
        if (!hardware) {
            into->push_back("not the default hardware device");
        }
        return DDENUMRET_OK;
    };
    ASSERT_EQ(mDirect3D->EnumDevices(collect, &names), D3D_OK);
    EXPECT_EQ(names, (std::vector<std::string>{"Direct3D T&L HAL"}));
    std::vector<DWORD> depths;
    auto depthsOf = [](DDPIXELFORMAT* format, void* context) -> HRESULT {
        static_cast<std::vector<DWORD>*>(context)->push_back(format->dwZBufferBitDepth);
        return DDENUMRET_OK;
    };
    ASSERT_EQ(mDirect3D->EnumZBufferFormats(IID_IDirect3DTnLHalDevice, depthsOf, &depths), D3D_OK);
    EXPECT_EQ(depths, (std::vector<DWORD>{16, 24, 32}));

    TRef<IDirectDrawSurface7> target;
    ASSERT_EQ(mDevice->GetRenderTarget(target.Out()), D3D_OK);
    EXPECT_EQ(target.Get(), mTarget.Get());

    TRef<IDirect3DDevice7> other;
    standin::SetFault(mDirect3D.Get(), "IDirect3D7::CreateDevice", D3DERR_SURFACENOTINVIDMEM);
    EXPECT_EQ(mDirect3D->CreateDevice(IID_IDirect3DTnLHalDevice, mTarget.Get(), other.Out()),
              D3DERR_SURFACENOTINVIDMEM);
    EXPECT_EQ(mDirect3D->CreateDevice(IID_IDirect3DRGBDevice, mTarget.Get(), other.Out()),
              DDERR_INVALIDPARAMS);
    TRef<IDirectDrawSurface7> plain(MakeSurface(8, 8, nullptr));
    EXPECT_EQ(mDirect3D->CreateDevice(IID_IDirect3DTnLHalDevice, plain.Get(), other.Out()),
              DDERR_INVALIDCAPS);

    ASSERT_EQ(mDevice->EndScene(), D3D_OK);
    standin::LoseAllSurfaces();
    EXPECT_EQ(mDevice->BeginScene(), DDERR_SURFACELOST);
    ASSERT_EQ(mDirectDraw->RestoreAllSurfaces(), DD_OK);
    ASSERT_EQ(mDevice->BeginScene(), D3D_OK);
    EXPECT_EQ(mDevice->BeginScene(), D3DERR_SCENE_IN_SCENE);
    standin::SetFault(mDevice.Get(), "IDirect3DDevice7::EndScene", D3DERR_SCENE_END_FAILED);
    EXPECT_EQ(mDevice->EndScene(), D3DERR_SCENE_END_FAILED);
    ASSERT_EQ(mDevice->BeginScene(), D3D_OK);
}

} // namespace
