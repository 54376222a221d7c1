#include "engine/media/dxdisplayhandler.h"

#include "engine/core/knownfiles.h"
#include "engine/media/directx.h"
#include "platform/directx/d3dx.h"
#include "tests/engine/media/display_fixture.h"
#include "tests/fixtures/golden.h"
#include "tests/fixtures/testpaths.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace {

struct TViewport {
    DWORD x;
    DWORD y;
    DWORD width;
    DWORD height;
    bool operator==(const TViewport& other) const {
        return x == other.x && y == other.y && width == other.width && height == other.height;
    }
};

std::ostream& operator<<(std::ostream& out, const TViewport& v) {
    return out << "{" << v.x << ", " << v.y << ", " << v.width << ", " << v.height << "}";
}

class DxDisplayHandlerTest : public display_test::TDisplayTest {
protected:
    void TearDown() override {
        mHandler.reset();
        TDisplayTest::TearDown();
    }

    // The handler with a windowed display of width x height attached as the display set-up
    // attaches it: the context's interfaces, the back buffer as target, viewport and clip the
    // whole target.
    TDxDisplayHandler& Open(int width = 800, int height = 600) {
        mHandler = std::make_unique<TDxDisplayHandler>();
        return AttachDisplay(*mHandler, width, height);
    }

    IDirect3DDevice7* Device() { return mHandler->GetData().mDevice; }

    TViewport DeviceViewport() {
        D3DVIEWPORT7 viewport{};
        EXPECT_EQ(Device()->GetViewport(&viewport), D3D_OK);
        return TViewport{viewport.dwX, viewport.dwY, viewport.dwWidth, viewport.dwHeight};
    }

    DWORD Render(D3DRENDERSTATETYPE state) {
        DWORD value = 0xDEADBEEF;
        EXPECT_EQ(Device()->GetRenderState(state, &value), D3D_OK);
        return value;
    }

    DWORD Stage(D3DTEXTURESTAGESTATETYPE state) {
        DWORD value = 0xDEADBEEF;
        EXPECT_EQ(Device()->GetTextureStageState(0, state, &value), D3D_OK);
        return value;
    }

    D3DMATRIX Transform(D3DTRANSFORMSTATETYPE state) {
        D3DMATRIX matrix{};
        EXPECT_EQ(Device()->GetTransform(state, &matrix), D3D_OK);
        return matrix;
    }

    static bool IsIdentity(const D3DMATRIX& m) {
        const TMat4 identity;
        return std::memcmp(&m, identity.m, sizeof(m)) == 0;
    }

    std::unique_ptr<TDxDisplayHandler> mHandler;
};

TEST_F(DxDisplayHandlerTest, ViewportsAreCutToTheTarget) {
    struct TCase {
        TRect rect;
        TViewport expected;
    };
    const std::vector<TCase> cases = {
        {{0, 0, 800, 600}, {0, 0, 800, 600}},
        {{100, 50, 300, 250}, {100, 50, 200, 200}},
        // Wholly right of the target: one pixel wide at the last column.
        {{900, 10, 1000, 20}, {799, 10, 1, 10}},
        {{10, 700, 20, 800}, {10, 599, 10, 1}},
        // Wholly left or above: zero wide at column 0.
        {{-100, 10, -50, 20}, {0, 10, 0, 10}},
        {{10, -100, 20, -50}, {10, 0, 10, 0}},
        {{-10, -10, 100, 100}, {0, 0, 100, 100}},
        {{700, 500, 900, 700}, {700, 500, 100, 100}},
        // Right of left: never negative.
        {{300, 300, 200, 200}, {300, 300, 0, 0}},
    };
    TDxDisplayHandler& handler = Open();
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rect.left << "," << c.rect.top << "," << c.rect.right
                                        << "," << c.rect.bottom);
        handler.SetViewport(c.rect.left, c.rect.top, c.rect.right, c.rect.bottom);
        EXPECT_EQ(DeviceViewport(), c.expected);
        int left = 0;
        int top = 0;
        int right = 0;
        int bottom = 0;
        handler.GetViewport(&left, &top, &right, &bottom);
        EXPECT_EQ(left, c.rect.left);
        EXPECT_EQ(bottom, c.rect.bottom);
    }

    // The clip rectangle cuts the viewport.
    handler.SetViewport(0, 0, 800, 600);
    handler.SetClipRect(TRect{100, 200, 300, 250});
    EXPECT_EQ(DeviceViewport(), (TViewport{100, 200, 200, 50}));
}

TEST_F(DxDisplayHandlerTest, EmbeddedViewportsAreScaled) {
    MakeRecord(true, 1.5f);
    TDxDisplayHandler& handler = Open();
    struct TCase {
        TRect rect;
        TViewport expected;
    };
    const std::vector<TCase> cases = {
        {{0, 0, 800, 600}, {0, 0, 1200, 900}},
        {{400, 300, 800, 600}, {600, 450, 600, 450}},
        // 101 * 1.5 + 0.5 = 152, truncated.
        {{101, 1, 202, 2}, {152, 2, 152, 2}},
    };
    for (const TCase& c : cases) {
        handler.SetViewport(c.rect.left, c.rect.top, c.rect.right, c.rect.bottom);
        EXPECT_EQ(DeviceViewport(), c.expected);
    }
}

TEST_F(DxDisplayHandlerTest, PushThenPopRestoresTheViewportWithoutTheClip) {
    TDxDisplayHandler& handler = Open();
    handler.SetClipRect(TRect{100, 100, 300, 300});
    EXPECT_EQ(DeviceViewport(), (TViewport{100, 100, 200, 200}));
    handler.PushViewport(150, 150, 250, 250);
    EXPECT_EQ(DeviceViewport(), (TViewport{150, 150, 100, 100}));
    handler.PushViewport(0, 0, 10, 10);
    EXPECT_EQ(mHandler->GetData().mViewportStack.size(), 2u);

    EXPECT_EQ(handler.PopViewport(), D3D_OK);
    EXPECT_EQ(DeviceViewport(), (TViewport{150, 150, 100, 100}));
    EXPECT_EQ(handler.PopViewport(), D3D_OK);
    // The earlier viewport exactly, not yet cut by the clip rectangle.
    EXPECT_EQ(DeviceViewport(), (TViewport{0, 0, 800, 600}));
    int left = -1;
    int top = -1;
    int right = -1;
    int bottom = -1;
    handler.GetViewport(&left, &top, &right, &bottom);
    EXPECT_EQ((TViewport{static_cast<DWORD>(left), static_cast<DWORD>(top),
                         static_cast<DWORD>(right), static_cast<DWORD>(bottom)}),
              (TViewport{0, 0, 800, 600}));

    // One pop too many is refused: nothing changes and the log says so.
    EXPECT_EQ(handler.PopViewport(), E_FAIL);
    EXPECT_EQ(DeviceViewport(), (TViewport{0, 0, 800, 600}));
    handler.GetViewport(&left, &top, &right, &bottom);
    EXPECT_EQ(right, 800);
    EXPECT_NE(LogText().find("TDxDisplayHandler::PopViewport: no viewport was pushed"),
              std::string::npos);
}

TEST_F(DxDisplayHandlerTest, RefusedViewportKeepsThePreviousOne) {
    TDxDisplayHandler& handler = Open();
    handler.SetViewport(10, 20, 30, 40);
    standin::SetFault(nullptr, "IDirect3DDevice7::SetViewport", DDERR_INVALIDPARAMS);
    handler.SetViewport(1, 2, 3, 4);
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    handler.GetViewport(&left, &top, &right, &bottom);
    EXPECT_EQ(left, 10);
    EXPECT_EQ(bottom, 40);
    const std::string log = LogText();
    EXPECT_NE(log.find("Bad viewport: 1, 2, 3, 4"), std::string::npos);
    EXPECT_NE(log.find("File .\\dxdisplayhandler, Line"), std::string::npos);
}

TEST_F(DxDisplayHandlerTest, VertexKindsSelectFormatAndLighting) {
    TDxDisplayHandler& handler = Open();
    struct TCase {
        int kind;
        DWORD format;
        DWORD lighting;
    };
    const std::vector<TCase> cases = {
        {0, D3DFVF_VERTEX, TRUE},    {1, D3DFVF_LVERTEX, FALSE}, {2, D3DFVF_LVERTEX, FALSE},
        {3, D3DFVF_TLVERTEX, FALSE}, {7, D3DFVF_VERTEX, TRUE},   {-1, D3DFVF_VERTEX, TRUE},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.kind);
        EXPECT_EQ(handler.SelectVertexFormat(c.kind), c.format);
        EXPECT_EQ(Render(D3DRENDERSTATE_LIGHTING), c.lighting);
    }

    // Kind 7 draws as kind 0: the device takes the position-normal-uv layout.
    D3DVERTEX triangle[3] = {
        {0, 0, 0.5f, 0, 0, -1, 0, 0}, {10, 0, 0.5f, 0, 0, -1, 1, 0}, {0, 10, 0.5f, 0, 0, -1, 0, 1}};
    ASSERT_EQ(Device()->BeginScene(), D3D_OK);
    handler.DrawVertices(D3DPT_TRIANGLELIST, TVertexSet(7, triangle, 3));
    Device()->EndScene();
    EXPECT_TRUE(handler.IsReady());
    EXPECT_EQ(LogText().find("DX Error"), std::string::npos);
}

TEST_F(DxDisplayHandlerTest, FailedDrawMarksTheDeviceLost) {
    TDxDisplayHandler& handler = Open();
    D3DLVERTEX point{};
    // Out of video memory is no loss: the display goes to its low-memory mode instead.
    standin::SetFault(nullptr, "IDirect3DDevice7::DrawPrimitive", DDERR_OUTOFVIDEOMEMORY);
    handler.DrawVertices(D3DPT_POINTLIST, TVertexSet::FromLitVertices(&point, 1));
    EXPECT_TRUE(handler.IsReady());
    EXPECT_NE(LogText().find("DrawVertices out of video memory"), std::string::npos);

    standin::SetFault(nullptr, "IDirect3DDevice7::DrawPrimitive", D3DERR_INVALIDVERTEXTYPE);
    handler.DrawVertices(D3DPT_POINTLIST, TVertexSet::FromLitVertices(&point, 1));
    EXPECT_FALSE(handler.IsReady());
    EXPECT_NE(LogText().find("DX Error:  (0x887602f1), File .\\dxdisplayhandler"),
              std::string::npos);

    // Indexed draws only report.
    handler.GetData().mLost = false;
    WORD index = 0;
    standin::SetFault(nullptr, "IDirect3DDevice7::DrawIndexedPrimitive", D3DERR_INVALIDVERTEXTYPE);
    handler.DrawIndexedVertices(D3DPT_POINTLIST, TVertexSet::FromLitVertices(&point, 1), &index, 1);
    EXPECT_TRUE(handler.IsReady());
}

TEST_F(DxDisplayHandlerTest, AntialiasOption) {
    TDxDisplayHandler& handler = Open();
    struct TCase {
        const char* value;
        bool on;
    };
    for (const TCase& c : {TCase{"2", true}, TCase{"0", false}, TCase{"1", true},
                           TCase{"-1", false}, TCase{"x", false}}) {
        SCOPED_TRACE(c.value);
        handler.SetOption("antialias", c.value);
        EXPECT_EQ(mHandler->GetData().mAntialias, c.on);
        EXPECT_EQ(Render(D3DRENDERSTATE_ANTIALIAS),
                  c.on ? D3DANTIALIAS_SORTINDEPENDENT : D3DANTIALIAS_NONE);
    }
    // Keys are compared exactly; the other options only set their flags.
    handler.SetOption("Antialias", "2");
    EXPECT_FALSE(mHandler->GetData().mAntialias);
    handler.SetOption("hint_antialias", "1");
    handler.SetOption("new_subtractive", "3");
    handler.SetOption("new_render_blend", "1");
    EXPECT_TRUE(mHandler->GetData().mHintAntialias);
    EXPECT_TRUE(mHandler->GetData().mNewSubtractive);
    EXPECT_TRUE(mHandler->GetData().mNewRenderBlend);
}

TEST_F(DxDisplayHandlerTest, WithoutADeviceOnlyTheRecordChanges) {
    mHandler = std::make_unique<TDxDisplayHandler>();
    TDxDisplayHandler& handler = *mHandler;
    handler.SetOption("antialias", "1");
    EXPECT_TRUE(handler.GetData().mAntialias);
    handler.Begin2d();
    handler.SetBlendMode(3);
    EXPECT_EQ(handler.GetData().mBlendMode, 3);
    handler.SetViewport(1, 2, 3, 4);
    handler.SetClipRect(TRect{0, 0, 5, 5});
    handler.SetPerspective(0.5f, 10.0f, 1.0f, 0.0f);
    EXPECT_FLOAT_EQ(handler.GetData().mFar, 10.0f);
    D3DLVERTEX point{};
    handler.DrawVertices(D3DPT_POINTLIST, TVertexSet::FromLitVertices(&point, 1));
    handler.End2d();
    int left = -1;
    int top = -1;
    int right = -1;
    int bottom = -1;
    handler.GetViewport(&left, &top, &right, &bottom);
    EXPECT_EQ(right, 0);
    EXPECT_EQ(handler.GetData().mClipRect.right, 5);
    EXPECT_FALSE(handler.IsReady());
    EXPECT_EQ(LogText().find("DX Error"), std::string::npos);
}

struct TBlendCase {
    int mode;
    bool target4;
    bool newSubtractive;
    DWORD blending;
    DWORD source;
    DWORD destination;
    DWORD colorArg1;
    DWORD colorOp;
    DWORD alphaArg1;
    DWORD alphaOp;
};

TEST_F(DxDisplayHandlerTest, BlendModesSetFrameBufferAndStages) {
    // Mode 1 leaves the blend factors as they were: these.
    constexpr DWORD kKeptSource = D3DBLEND_SRCCOLOR;
    constexpr DWORD kKeptDestination = D3DBLEND_SRCALPHA;
    constexpr DWORD kDiffuseGrey = D3DTA_DIFFUSE | D3DTA_ALPHAREPLICATE;
    const std::vector<TBlendCase> cases = {
        {0, false, false, TRUE, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DTA_TEXTURE,
         D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTOP_MODULATE},
        // Opaque: no blending, and the texture factor (opaque white) is the alpha.
        {1, false, false, FALSE, kKeptSource, kKeptDestination, D3DTA_TEXTURE, D3DTOP_MODULATE,
         D3DTA_TFACTOR, D3DTOP_SELECTARG1},
        {2, false, false, TRUE, D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DTA_TEXTURE, D3DTOP_MODULATE,
         D3DTA_TEXTURE, D3DTOP_MODULATE},
        {3, false, false, TRUE, D3DBLEND_ZERO, D3DBLEND_INVSRCCOLOR, D3DTA_TEXTURE, D3DTOP_MODULATE,
         D3DTA_TEXTURE, D3DTOP_MODULATE},
        {3, false, true, TRUE, D3DBLEND_ZERO, D3DBLEND_INVSRCCOLOR, D3DTA_TEXTURE, D3DTOP_MODULATE,
         D3DTA_TFACTOR, D3DTOP_SELECTARG1},
        {4, false, false, TRUE, D3DBLEND_ZERO, D3DBLEND_SRCCOLOR, D3DTA_TEXTURE, D3DTOP_MODULATE,
         D3DTA_TEXTURE, D3DTOP_MODULATE},
        // Drawing into a texture of mode 4.
        {0, true, false, TRUE, D3DBLEND_SRCALPHA, D3DBLEND_ONE, kDiffuseGrey, D3DTOP_SELECTARG1,
         D3DTA_TFACTOR, D3DTOP_SELECTARG1},
        {3, true, false, TRUE, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, kDiffuseGrey,
         D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTOP_SELECTARG1},
        {3, true, true, TRUE, D3DBLEND_ONE, D3DBLEND_ONE, D3DTA_TFACTOR, D3DTOP_SELECTARG1,
         D3DTA_TFACTOR, D3DTOP_SELECTARG1},
    };
    TDxDisplayHandler& handler = Open();
    for (const TBlendCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " target4 " << c.target4
                                        << " new subtractive " << c.newSubtractive);
        TPlatformData& data = mHandler->GetData();
        data.mNewSubtractive = c.newSubtractive;
        data.mTargetMode = c.target4 ? 4 : 0;
        data.mPendingTarget = c.target4 ? platform_test::FakeTexture() : TTexturePtr();
        // A state left from the case before must not pass for this one.
        Device()->SetRenderState(D3DRENDERSTATE_SRCBLEND, kKeptSource);
        Device()->SetRenderState(D3DRENDERSTATE_DESTBLEND, kKeptDestination);
        Device()->SetRenderState(D3DRENDERSTATE_TEXTUREFACTOR, 0);

        handler.SetBlendMode(c.mode);
        EXPECT_EQ(data.mBlendMode, c.mode);
        EXPECT_EQ(Render(D3DRENDERSTATE_ALPHABLENDENABLE), c.blending);
        EXPECT_EQ(Render(D3DRENDERSTATE_SRCBLEND), c.source);
        EXPECT_EQ(Render(D3DRENDERSTATE_DESTBLEND), c.destination);
        EXPECT_EQ(Render(D3DRENDERSTATE_TEXTUREFACTOR), 0xFFFFFFFFu);
        EXPECT_EQ(Stage(D3DTSS_COLORARG1), c.colorArg1);
        EXPECT_EQ(Stage(D3DTSS_COLOROP), c.colorOp);
        EXPECT_EQ(Stage(D3DTSS_ALPHAARG1), c.alphaArg1);
        EXPECT_EQ(Stage(D3DTSS_ALPHAOP), c.alphaOp);
    }
}

TEST_F(DxDisplayHandlerTest, PassesSetTheirStates) {
    TDxDisplayHandler& handler = Open();
    handler.SetShadeMode(2);
    EXPECT_EQ(Render(D3DRENDERSTATE_SHADEMODE), D3DSHADE_GOURAUD);

    ASSERT_TRUE(handler.Begin3d());
    EXPECT_EQ(Render(D3DRENDERSTATE_SPECULARENABLE), static_cast<DWORD>(TRUE));
    EXPECT_EQ(Render(D3DRENDERSTATE_CLIPPING), static_cast<DWORD>(TRUE));
    EXPECT_EQ(Render(D3DRENDERSTATE_ZENABLE), D3DZB_TRUE);
    EXPECT_EQ(Render(D3DRENDERSTATE_ZWRITEENABLE), static_cast<DWORD>(TRUE));
    EXPECT_EQ(Render(D3DRENDERSTATE_CULLMODE), D3DCULL_CCW);
    EXPECT_EQ(Render(D3DRENDERSTATE_DESTBLEND), D3DBLEND_INVSRCALPHA);
    EXPECT_EQ(Stage(D3DTSS_ADDRESSU), D3DTADDRESS_WRAP);
    EXPECT_EQ(Stage(D3DTSS_ADDRESSV), D3DTADDRESS_WRAP);
    EXPECT_EQ(Stage(D3DTSS_MAGFILTER), D3DTFG_LINEAR);
    EXPECT_EQ(Stage(D3DTSS_MIPFILTER), D3DTFP_LINEAR);
    EXPECT_TRUE(mHandler->GetData().mZEnable);
    EXPECT_TRUE(mHandler->GetData().mZWrite);
    handler.End3d();

    handler.SetFiltering(0);
    EXPECT_EQ(Stage(D3DTSS_MINFILTER), D3DTFN_POINT);
    handler.SetWorldTransform(TMat4());
    TMat4 shifted;
    shifted.m[12] = 5.0f;
    handler.SetViewTransform(shifted);
    mHandler->GetData().mProjectionDirty = false;

    ASSERT_TRUE(handler.Begin2d());
    EXPECT_EQ(Render(D3DRENDERSTATE_SPECULARENABLE), static_cast<DWORD>(FALSE));
    EXPECT_EQ(Render(D3DRENDERSTATE_CLIPPING), static_cast<DWORD>(FALSE));
    EXPECT_EQ(Render(D3DRENDERSTATE_ZENABLE), D3DZB_FALSE);
    EXPECT_EQ(Render(D3DRENDERSTATE_ZWRITEENABLE), static_cast<DWORD>(FALSE));
    EXPECT_EQ(Render(D3DRENDERSTATE_CULLMODE), D3DCULL_NONE);
    EXPECT_EQ(Render(D3DRENDERSTATE_ALPHABLENDENABLE), static_cast<DWORD>(TRUE));
    EXPECT_EQ(Stage(D3DTSS_ADDRESSU), D3DTADDRESS_CLAMP);
    EXPECT_EQ(Stage(D3DTSS_ADDRESSV), D3DTADDRESS_CLAMP);
    EXPECT_EQ(Stage(D3DTSS_MINFILTER), D3DTFN_LINEAR);
    EXPECT_TRUE(IsIdentity(Transform(D3DTRANSFORMSTATE_WORLD)));
    EXPECT_TRUE(IsIdentity(Transform(D3DTRANSFORMSTATE_VIEW)));
    EXPECT_TRUE(mHandler->GetData().mProjectionDirty);
    handler.End2d();

    // Without per-vertex specular the 3-D pass leaves it off.
    mHandler->GetData().mNoSpecular = true;
    handler.Begin3d();
    EXPECT_EQ(Render(D3DRENDERSTATE_SPECULARENABLE), static_cast<DWORD>(FALSE));
}

TEST_F(DxDisplayHandlerTest, TwoDProjectionMapsPixelsWithTheTexelOffset) {
    TDxDisplayHandler& handler = Open(64, 48);
    handler.SetViewport(0, 0, 64, 48);
    handler.SetClipRect(TRect{16, 8, 64, 48});
    handler.Begin2d();
    EXPECT_EQ(handler.SelectVertexFormat(2), D3DFVF_LVERTEX);
    const D3DMATRIX m = Transform(D3DTRANSFORMSTATE_PROJECTION);
    // Cut {16, 8, 64, 48}: 48 x 40 from (16.5, 8.5), so a vertex at pixel (16, 8) of the
    // viewport lies half a pixel before the cut's first centre; z passes.
    EXPECT_FLOAT_EQ(m._11, 2.0f / 48.0f);
    EXPECT_FLOAT_EQ(m._22, -2.0f / 40.0f);
    EXPECT_FLOAT_EQ(m._41, -(16.5f + 64.5f) / 48.0f);
    EXPECT_FLOAT_EQ(m._42, (8.5f + 48.5f) / 40.0f);
    EXPECT_FLOAT_EQ(m._33, 1.0f);
    EXPECT_FLOAT_EQ(m._34, 0.0f);
    EXPECT_FLOAT_EQ(m._43, 0.0f);
    EXPECT_FLOAT_EQ(m._44, 1.0f);
    // Setting it marked it dirty again: each 2-D draw rebuilds it.
    EXPECT_TRUE(mHandler->GetData().mProjectionDirty);
    handler.End2d();
    mHandler->GetData().mProjectionDirty = true;
    handler.SelectVertexFormat(2);
    EXPECT_TRUE(mHandler->GetData().mProjectionDirty);
    EXPECT_FLOAT_EQ(Transform(D3DTRANSFORMSTATE_PROJECTION)._11, 2.0f / 48.0f);
}

TEST_F(DxDisplayHandlerTest, PerspectiveKeepsTheWholeViewportsProjection) {
    TDxDisplayHandler& handler = Open(800, 600);
    handler.SetViewport(0, 0, 400, 300);
    handler.SetPerspective(1.0f, 100.0f, 1.0f, 0.0f);
    TMat4 expected;
    const float centre[2] = {0.0f, 0.0f};
    expected.SetPerspective(1.0f, 100.0f, 1.0f, 300.0f / 400.0f, centre);
    const D3DMATRIX whole = Transform(D3DTRANSFORMSTATE_PROJECTION);
    EXPECT_EQ(std::memcmp(&whole, expected.m, sizeof(whole)), 0);
    EXPECT_FLOAT_EQ(mHandler->GetData().mNear, 1.0f);
    EXPECT_FLOAT_EQ(mHandler->GetData().mFar, 100.0f);

    // Clipped to the top half: the field of view shrinks with it and the centre moves.
    handler.SetClipRect(TRect{0, 0, 400, 150});
    mHandler->GetData().mProjectionDirty = false;
    handler.SetPerspective(1.0f, 100.0f, 1.0f, 0.0f);
    const float cut[2] = {0.0f, -150.0f / 300.0f};
    expected.SetPerspective(1.0f, 100.0f, 2.0f * std::atan(std::tan(0.5f) * 0.5f), 150.0f / 400.0f,
                            cut);
    const D3DMATRIX clipped = Transform(D3DTRANSFORMSTATE_PROJECTION);
    EXPECT_EQ(std::memcmp(&clipped, expected.m, sizeof(clipped)), 0);
    EXPECT_FALSE(mHandler->GetData().mProjectionDirty);
}

TEST_F(DxDisplayHandlerTest, DisplayOptionsFile) {
    str user;
    str common;
    str desktop;
    GetFolderRoots(&user, &common, &desktop);
    testing_fixtures::TempDir roots;
    struct TCase {
        const char* xml;
        const char* commandLine;
        bool lowMemory;
    };
    for (const TCase& c : {TCase{"<Settings LowMemoryVideo=\"1\"/>", "", true},
                           TCase{"<Settings LowMemoryVideo=\"0\"/>", "", false},
                           TCase{"<Other LowMemoryVideo=\"1\"/>", "", false},
                           // Hosted mode reads no display options.
                           TCase{"<Settings LowMemoryVideo=\"1\"/>", "game.exe -pq=1", false}}) {
        SCOPED_TRACE(c.xml);
        gCommandLine = c.commandLine;
        roots.Write("common/display.xml", c.xml);
        SetFolderRoots(user, str((roots.Path() / "common").string().c_str()), desktop);
        const std::size_t logged = LogText().size();
        mHandler = std::make_unique<TDxDisplayHandler>();
        EXPECT_EQ(mHandler->GetData().mLowMemoryVideo, c.lowMemory);
        EXPECT_EQ(LogText().find("Low memory video card setting enabled!", logged) !=
                      std::string::npos,
                  c.lowMemory);
        mHandler.reset();
    }
    SetFolderRoots(user, common, desktop);
}

TEST_F(DxDisplayHandlerTest, InstanceAndLostState) {
    EXPECT_EQ(TDxDisplayHandler::Instance(), nullptr);
    TDxDisplayHandler& handler = Open(640, 480);
    EXPECT_EQ(TDxDisplayHandler::Instance(), &handler);
    EXPECT_TRUE(handler.IsReady());
    int width = 0;
    int height = 0;
    bool fullscreen = true;
    handler.GetScreenInfo(&width, &height, &fullscreen);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
    EXPECT_FALSE(fullscreen);

    MakeRecord(false);
    standin::AdvanceTime(1000);
    handler.MarkLost();
    EXPECT_FALSE(handler.IsReady());
    const uint32_t lostAt = mHandler->GetData().mLostTime;
    standin::AdvanceTime(100);
    handler.MarkLostThrottled();
    EXPECT_EQ(mHandler->GetData().mLostTime, lostAt);
    standin::AdvanceTime(200);
    handler.MarkLostThrottled();
    EXPECT_EQ(mHandler->GetData().mLostTime, lostAt + 300);

    mHandler.reset();
    EXPECT_EQ(TDxDisplayHandler::Instance(), nullptr);
}

// Pre-lit quads in each blend mode over a known background, and a texture bound on the device,
// drawn through the handler's 2-D pass inside a device scene.
TEST_F(DxDisplayHandlerTest, GoldenBlendModesAndTexelExactTexture) {
    TDxDisplayHandler& handler = Open(64, 48);
    IDirect3DDevice7* device = Device();
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF406080, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    handler.SetViewport(0, 0, 64, 48);
    ASSERT_TRUE(handler.Begin2d());

    const D3DCOLOR color = 0x80FF8000; // orange at alpha 128
    for (int mode = 0; mode < 5; ++mode) {
        const float left = 2.0f + 12.0f * static_cast<float>(mode);
        const float right = left + 10.0f;
        D3DLVERTEX quad[4] = {{left, 2, 0.1f, 0, color, 0xFF000000, 0, 0},
                              {right, 2, 0.1f, 0, color, 0xFF000000, 1, 0},
                              {right, 12, 0.1f, 0, color, 0xFF000000, 1, 1},
                              {left, 12, 0.1f, 0, color, 0xFF000000, 0, 1}};
        handler.SetBlendMode(mode);
        handler.DrawVertices(D3DPT_TRIANGLEFAN, TVertexSet::FromLitVertices(quad, 4));
    }

    // An 8 x 8 texture whose texels all differ, drawn at (40, 20) unscaled.
    DWORD flags = D3DX_TEXTURE_NOMIPMAP;
    DWORD width = 8;
    DWORD height = 8;
    D3DX_SURFACEFORMAT format = D3DX_SF_A8R8G8B8;
    IDirectDrawSurface7* texture = nullptr;
    ASSERT_EQ(
        D3DXCreateTexture(device, &flags, &width, &height, &format, nullptr, &texture, nullptr),
        D3D_OK);
    std::vector<DWORD> texels(64);
    for (DWORD y = 0; y < 8; ++y) {
        for (DWORD x = 0; x < 8; ++x) {
            texels[y * 8 + x] = 0xFF000000u | (x * 32u) << 16 | (y * 32u) << 8 | (x + y) * 16u;
        }
    }
    ASSERT_EQ(D3DXLoadTextureFromMemory(device, texture, 0, texels.data(), nullptr,
                                        D3DX_SF_A8R8G8B8, D3DX_DEFAULT, nullptr, D3DX_FT_POINT),
              D3D_OK);
    ASSERT_EQ(device->SetTexture(0, texture), D3D_OK);
    handler.SetBlendMode(0);
    const D3DCOLOR white = 0xFFFFFFFF;
    D3DLVERTEX textured[4] = {{40, 20, 0.1f, 0, white, 0xFF000000, 0, 0},
                              {48, 20, 0.1f, 0, white, 0xFF000000, 1, 0},
                              {48, 28, 0.1f, 0, white, 0xFF000000, 1, 1},
                              {40, 28, 0.1f, 0, white, 0xFF000000, 0, 1}};
    handler.DrawVertices(D3DPT_TRIANGLEFAN, TVertexSet::FromLitVertices(textured, 4));
    device->SetTexture(0, nullptr);
    texture->Release();
    handler.End2d();
    ASSERT_EQ(device->EndScene(), D3D_OK);

    const standin::TScreenImage image =
        standin::ReadSurface(mHandler->GetData().mContext->GetBackBuffer());
    ASSERT_EQ(image.width, 64);
    ASSERT_EQ(image.height, 48);
    auto at = [&image](int x, int y) { return image.pixels[y * image.width + x] & 0xFFFFFFu; };

    // Background (64, 96, 128); source (255, 128, 0) at alpha 128 (factor 128, inverse 127).
    EXPECT_EQ(at(0, 0), 0x406080u);
    EXPECT_EQ(at(1, 1), 0x406080u);
    EXPECT_EQ(at(2, 2), 0xA07040u); // normal: (255*128 + 64*127) / 255 = 160, 112, 64
    EXPECT_EQ(at(11, 11), 0xA07040u);
    EXPECT_EQ(at(12, 2), 0x406080u); // the quad's right edge is not lit
    EXPECT_EQ(at(14, 2), 0xFF8000u); // opaque
    EXPECT_EQ(at(26, 5), 0xC0A080u); // additive: 128 + 64, 64 + 96, 0 + 128
    EXPECT_EQ(at(38, 5), 0x003080u); // subtractive: dst * (255 - src): 0, 48, 128
    EXPECT_EQ(at(50, 5), 0x403000u); // multiplicative: dst * src: 64, 48, 0
    EXPECT_EQ(at(50, 12), 0x406080u);
    // Texel for texel.
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            EXPECT_EQ(at(40 + x, 20 + y), texels[y * 8 + x] & 0xFFFFFFu) << x << "," << y;
        }
    }
    EXPECT_EQ(at(39, 20), 0x406080u);
    EXPECT_EQ(at(48, 27), 0x406080u);
    EXPECT_EQ(at(40, 28), 0x406080u);

    testing_fixtures::ExpectGolden(image, "tests/engine/media/golden/handler_blend_modes.png");
}

} // namespace
