#include "engine/media/dxdisplayhandler.h"

#include "engine/core/log.h"
#include "engine/core/xml.h"
#include "engine/media/directx.h"
#include "engine/media/dxerror.h"
#include "engine/media/dxhelpers.h"
#include "engine/media/renderer.h"
#include "engine/system/platform.h"
#include "engine/system/win32platform.h"
#include "platform/directx/d3dx.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr const char* kHandlerSource = ".\\dxdisplayhandler";

D3DMATRIX ToD3DMatrix(const TMat4& matrix) {
    D3DMATRIX out;
    static_assert(sizeof(out) == sizeof(matrix.m));
    std::memcpy(&out, matrix.m, sizeof(out));
    return out;
}

int RectWidth(const TRect& rect) {
    return rect.right - rect.left;
}

int RectHeight(const TRect& rect) {
    return rect.bottom - rect.top;
}

TRect CutRect(const TRect& a, const TRect& b, const TRect& c) {
    TRect r;
    r.Intersect(a, b);
    r.Intersect(r, c);
    return r;
}

} // namespace

TDxDisplayHandler* TDxDisplayHandler::sInstance = nullptr;

TPlatformData::TPlatformData() : mContext(new TDXContext) {
    if (IsPqMode()) {
        return;
    }
    TXmlNode document;
    if (!document.LoadFile("common:display.xml")) {
        return;
    }
    if (const TXmlNode* settings = document.FindChild("Settings")) {
        mLowMemoryVideo = settings->GetAttribute("LowMemoryVideo").ToInt() != 0;
        if (mLowMemoryVideo) {
            Log("Low memory video card setting enabled!");
        }
    }
}

TPlatformData::~TPlatformData() {
    delete mContext;
}

TDxDisplayHandler::TDxDisplayHandler() {
    D3DXInitialize();
    mData = new TPlatformData;
    sInstance = this;
}

TDxDisplayHandler::~TDxDisplayHandler() {
    sInstance = nullptr;
    delete mData;
    D3DXUninitialize();
}

void TDxDisplayHandler::Check(HRESULT result, int line) {
    if (FAILED(result)) {
        ReportDxError(result, kHandlerSource, line);
    }
}

void TDxDisplayHandler::RenderState(D3DRENDERSTATETYPE state, DWORD value, int line) {
    if (mData->mDevice == nullptr) {
        return;
    }
    Check(mData->mDevice->SetRenderState(state, value), line);
}

void TDxDisplayHandler::StageState(D3DTEXTURESTAGESTATETYPE state, DWORD value, int line) {
    if (mData->mDevice == nullptr) {
        return;
    }
    Check(mData->mDevice->SetTextureStageState(0, state, value), line);
}

void TDxDisplayHandler::SetTransform(D3DTRANSFORMSTATETYPE state, const TMat4& matrix, int line) {
    if (mData->mDevice == nullptr) {
        return;
    }
    D3DMATRIX m = ToD3DMatrix(matrix);
    const HRESULT result = mData->mDevice->SetTransform(state, &m);
    if (line != 0) {
        Check(result, line);
    }
}

bool TDxDisplayHandler::IsReady() {
    if (mData->mLost) {
        return false;
    }
    if (mData->mDirectDraw != nullptr && mData->mDirect3D != nullptr && mData->mDevice != nullptr) {
        return true;
    }
    MarkLost();
    return false;
}

void TDxDisplayHandler::MarkLost() {
    mData->mLostTime = TPlatform::GetTime();
    mData->mLost = true;
}

void TDxDisplayHandler::MarkLostThrottled() {
    const uint32_t now = TPlatform::GetTime();
    if (mData->mLostTime < now - 250) {
        MarkLost();
    }
}

void TDxDisplayHandler::GetScreenInfo(int* width, int* height, bool* fullscreen) const {
    *width = RectWidth(mData->mTargetRect);
    *height = RectHeight(mData->mTargetRect);
    *fullscreen = mData->mFullscreen;
}

void TDxDisplayHandler::GetViewport(int* left, int* top, int* right, int* bottom) const {
    *left = mData->mViewport.left;
    *top = mData->mViewport.top;
    *right = mData->mViewport.right;
    *bottom = mData->mViewport.bottom;
}

void TDxDisplayHandler::SetVSync(bool on) {
    mData->mContext->SetVSync(on);
}

void TDxDisplayHandler::SetOption(const str& key, const str& value) {
    const bool on = value.ToInt() > 0;
    const char* name = key.CStr();
    if (std::strcmp(name, "antialias") == 0) {
        mData->mAntialias = on;
        if (mData->mDevice != nullptr) {
            RenderState(D3DRENDERSTATE_ANTIALIAS,
                        on ? D3DANTIALIAS_SORTINDEPENDENT : D3DANTIALIAS_NONE, 301);
        }
    } else if (std::strcmp(name, "hint_antialias") == 0) {
        mData->mHintAntialias = on;
    } else if (std::strcmp(name, "new_subtractive") == 0) {
        mData->mNewSubtractive = on;
    } else if (std::strcmp(name, "new_render_blend") == 0) {
        mData->mNewRenderBlend = on;
    }
}

void TDxDisplayHandler::FlipToGdi() {
    if (mData->mDirectDraw != nullptr) {
        Check(mData->mDirectDraw->FlipToGDISurface(), 302);
    }
}

void TDxDisplayHandler::SetWorldTransform(const TMat4& matrix) {
    // The world matrix's result is not looked at.
    SetTransform(D3DTRANSFORMSTATE_WORLD, matrix, 0);
}

void TDxDisplayHandler::SetViewTransform(const TMat4& matrix) {
    SetTransform(D3DTRANSFORMSTATE_VIEW, matrix, 311);
}

void TDxDisplayHandler::SetProjectionTransform(const TMat4& matrix) {
    mData->mProjection = matrix;
    mData->mProjectionDirty = true;
    SetTransform(D3DTRANSFORMSTATE_PROJECTION, matrix, 312);
}

void TDxDisplayHandler::SetCullMode(int mode) {
    const DWORD cull = mode == 2 ? D3DCULL_CW : mode == 3 ? D3DCULL_CCW : D3DCULL_NONE;
    RenderState(D3DRENDERSTATE_CULLMODE, cull, 313);
}

void TDxDisplayHandler::SetShadeMode(int mode) {
    RenderState(D3DRENDERSTATE_SHADEMODE, mode == 2 ? D3DSHADE_GOURAUD : D3DSHADE_FLAT, 314);
}

void TDxDisplayHandler::SetAmbient(const TColor& color) {
    RenderState(D3DRENDERSTATE_AMBIENT, TColor32(color).value, 315);
}

void TDxDisplayHandler::SetMaterial(const D3DMATERIAL7& material) {
    if (mData->mDevice != nullptr) {
        D3DMATERIAL7 copy = material;
        Check(mData->mDevice->SetMaterial(&copy), 316);
    }
}

void TDxDisplayHandler::SetZWrite(bool on) {
    mData->mZWrite = on;
    RenderState(D3DRENDERSTATE_ZWRITEENABLE, on ? TRUE : FALSE, 317);
}

void TDxDisplayHandler::SetZEnable(bool on) {
    mData->mZEnable = on;
    RenderState(D3DRENDERSTATE_ZENABLE, on ? D3DZB_TRUE : D3DZB_FALSE, 318);
}

void TDxDisplayHandler::SetAddressMode(int u, int v) {
    auto address = [](int mode) {
        return mode == 1 ? D3DTADDRESS_WRAP : mode == 2 ? D3DTADDRESS_MIRROR : D3DTADDRESS_CLAMP;
    };
    StageState(D3DTSS_ADDRESSU, address(u), 319);
    StageState(D3DTSS_ADDRESSV, address(v), 320);
}

void TDxDisplayHandler::SetFiltering(int mode) {
    if (mode == 0) {
        StageState(D3DTSS_MINFILTER, D3DTFN_POINT, 321);
        StageState(D3DTSS_MAGFILTER, D3DTFG_POINT, 322);
        StageState(D3DTSS_MIPFILTER, D3DTFP_POINT, 323);
    } else if (mode == 1) {
        StageState(D3DTSS_MINFILTER, D3DTFN_LINEAR, 324);
        StageState(D3DTSS_MAGFILTER, D3DTFG_LINEAR, 325);
        StageState(D3DTSS_MIPFILTER, D3DTFP_LINEAR, 326);
    }
}

void TDxDisplayHandler::SetPerspective(float nearZ, float farZ, float fovY, float aspect) {
    mData->mNear = nearZ;
    mData->mFar = farZ;
    const TRect& viewport = mData->mViewport;
    const TRect r = CutRect(viewport, mData->mTargetRect, mData->mClipRect);
    // An empty viewport or cut leaves nothing to fit: the projection of the whole view stands.
    float centre[2] = {0.0f, 0.0f};
    if (RectWidth(r) > 0 && RectHeight(r) > 0 && RectWidth(viewport) > 0 &&
        RectHeight(viewport) > 0) {
        if (aspect == 0.0f) {
            aspect = static_cast<float>(RectHeight(r)) / static_cast<float>(RectWidth(r));
        }
        const float k =
            static_cast<float>(RectHeight(r)) / static_cast<float>(RectHeight(viewport));
        if (k != 1.0f) {
            fovY = 2.0f * std::atan(std::tan(fovY / 2.0f) * k);
        }
        centre[0] = static_cast<float>((r.right - viewport.right) + (r.left - viewport.left)) /
                    static_cast<float>(RectWidth(viewport));
        centre[1] = static_cast<float>((r.bottom - viewport.bottom) + (r.top - viewport.top)) /
                    static_cast<float>(RectHeight(viewport));
    }
    mData->mProjection.SetPerspective(nearZ, farZ, fovY, aspect, centre);
    SetTransform(D3DTRANSFORMSTATE_PROJECTION, mData->mProjection, 327);
}

bool TDxDisplayHandler::Begin2d() {
    RenderState(D3DRENDERSTATE_SPECULARENABLE, FALSE, 331);
    RenderState(D3DRENDERSTATE_CLIPPING, FALSE, 332);
    SetAddressMode(3, 3);
    SetBlendMode(0);
    SetFiltering(1);
    SetZEnable(false);
    SetZWrite(false);
    SetCullMode(1);
    const TMat4 identity;
    SetWorldTransform(identity);
    SetViewTransform(identity);
    mData->mProjectionDirty = true;
    mIn2d = true;
    return true;
}

void TDxDisplayHandler::End2d() {
    mIn2d = false;
    // The next block starts with no texture, as untextured draws expect.
    if (TRenderer* renderer = TRenderer::Existing()) {
        renderer->SetTexture(TTexturePtr());
    }
    const TMat4 identity;
    SetWorldTransform(identity);
    SetViewTransform(identity);
}

bool TDxDisplayHandler::Begin3d() {
    mIn2d = false;
    RenderState(D3DRENDERSTATE_SPECULARENABLE, mData->mNoSpecular ? FALSE : TRUE, 333);
    RenderState(D3DRENDERSTATE_CLIPPING, TRUE, 334);
    SetZEnable(true);
    SetZWrite(true);
    SetBlendMode(0);
    SetFiltering(1);
    SetAddressMode(1, 1);
    SetCullMode(3);
    return true;
}

DWORD TDxDisplayHandler::SelectVertexFormat(int kind) {
    const bool preLit = kind >= 1 && kind <= 3;
    RenderState(D3DRENDERSTATE_LIGHTING, preLit ? FALSE : TRUE, 341);
    if (kind == 3) {
        return D3DFVF_TLVERTEX;
    }
    if (mData->mProjectionDirty && mIn2d) {
        mData->mProjectionDirty = false;
        const TRect& viewport = mData->mViewport;
        const TRect& clip = mData->mClipRect;
        const float dx = static_cast<float>(std::max(0, clip.left - viewport.left));
        const float dy = static_cast<float>(std::max(0, clip.top - viewport.top));
        const TRect r = CutRect(viewport, mData->mTargetRect, clip);
        const float o = mData->mTexelOffset;
        const float left = dx - o;
        const float right = dx + static_cast<float>(RectWidth(r)) - o;
        const float top = dy - o;
        const float bottom = dy + static_cast<float>(RectHeight(r)) - o;
        const float nearZ = mData->mNear;
        const float farZ = mData->mFar;
        // Left-handed off-centre orthographic projection, then z passes unchanged.
        TMat4 projection;
        projection.m[0] = 2.0f / (right - left);
        projection.m[5] = 2.0f / (top - bottom);
        projection.m[10] = 1.0f / (farZ - nearZ);
        projection.m[12] = (left + right) / (left - right);
        projection.m[13] = (top + bottom) / (bottom - top);
        projection.m[14] = nearZ / (nearZ - farZ);
        projection.m[10] = 1.0f;
        projection.m[11] = 0.0f;
        projection.m[14] = 0.0f;
        projection.m[15] = 1.0f;
        SetProjectionTransform(projection);
    }
    return kind == 1 || kind == 2 ? D3DFVF_LVERTEX : D3DFVF_VERTEX;
}

void TDxDisplayHandler::DrawVertices(D3DPRIMITIVETYPE type, const TVertexSet& vertices) {
    if (mData->mDevice == nullptr) {
        return;
    }
    const DWORD format = SelectVertexFormat(vertices.GetKind());
    const HRESULT result = mData->mDevice->DrawPrimitive(
        type, format, vertices.GetVertices(), static_cast<DWORD>(vertices.GetCount()), 0);
    if (result == DDERR_OUTOFVIDEOMEMORY) {
        Log("DrawVertices out of video memory");
        if (TPlatform* platform = TPlatform::GetInstance()) {
            platform->OnOutOfVideoMemory();
        }
    } else if (FAILED(result)) {
        ReportDxError(result, kHandlerSource, 342);
        MarkLost();
    }
}

void TDxDisplayHandler::DrawIndexedVertices(D3DPRIMITIVETYPE type, const TVertexSet& vertices,
                                            WORD* indices, int indexCount) {
    if (mData->mDevice == nullptr) {
        return;
    }
    const DWORD format = SelectVertexFormat(vertices.GetKind());
    Check(mData->mDevice->DrawIndexedPrimitive(type, format, vertices.GetVertices(),
                                               static_cast<DWORD>(vertices.GetCount()), indices,
                                               static_cast<DWORD>(indexCount), 0),
          343);
}

bool TDxDisplayHandler::InTargetMode4() const {
    return mData->mPendingTarget && mData->mTargetMode == 4;
}

void TDxDisplayHandler::SetBlendMode(int mode) {
    mData->mBlendMode = mode;
    const bool target4 = InTargetMode4();
    DWORD source = D3DBLEND_SRCALPHA;
    DWORD destination = D3DBLEND_INVSRCALPHA;
    switch (mode) {
    case 0:
        destination = target4 ? D3DBLEND_ONE : D3DBLEND_INVSRCALPHA;
        break;
    case 2:
        destination = D3DBLEND_ONE;
        break;
    case 3:
        if (!target4) {
            source = D3DBLEND_ZERO;
            destination = D3DBLEND_INVSRCCOLOR;
        } else if (mData->mNewSubtractive) {
            source = D3DBLEND_ONE;
            destination = D3DBLEND_ONE;
        }
        break;
    case 4:
        source = D3DBLEND_ZERO;
        destination = D3DBLEND_SRCCOLOR;
        break;
    default:
        break;
    }
    if (mode == 1) {
        RenderState(D3DRENDERSTATE_ALPHABLENDENABLE, FALSE, 351);
    } else {
        RenderState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE, 352);
        RenderState(D3DRENDERSTATE_SRCBLEND, source, 353);
        RenderState(D3DRENDERSTATE_DESTBLEND, destination, 354);
    }
    SetTextureStages(mode);
}

void TDxDisplayHandler::SetTextureStages(int mode) {
    RenderState(D3DRENDERSTATE_TEXTUREFACTOR, TColor32(255, 255, 255, 255).value, 361);
    const bool newBlend = mData->mNewRenderBlend;
    const bool subtractiveFactor = mode == 3 && mData->mNewSubtractive;
    if (!InTargetMode4()) {
        StageState(D3DTSS_COLORARG1, D3DTA_TEXTURE, 362);
        if (newBlend) {
            StageState(D3DTSS_COLORARG2, D3DTA_CURRENT, 363);
        }
        StageState(D3DTSS_COLOROP, D3DTOP_MODULATE, 364);
        if (mode == 1 || subtractiveFactor) {
            StageState(D3DTSS_ALPHAARG1, D3DTA_TFACTOR, 365);
            StageState(D3DTSS_ALPHAOP, D3DTOP_SELECTARG1, 366);
        } else {
            StageState(D3DTSS_ALPHAARG1, D3DTA_TEXTURE, 367);
            StageState(D3DTSS_ALPHAOP, D3DTOP_MODULATE, 368);
        }
        return;
    }
    // Drawing coverage into a texture: the colour carries the alpha as a grey level.
    if (subtractiveFactor) {
        StageState(D3DTSS_COLORARG1, D3DTA_TFACTOR, 369);
    } else {
        // The facade's selection, not the device's stage: SetTexture reaches here with the new
        // selection already kept.
        const TRenderer* renderer = TRenderer::Existing();
        if (renderer != nullptr && renderer->GetTexture()) {
            StageState(D3DTSS_COLORARG1, D3DTA_TEXTURE | D3DTA_ALPHAREPLICATE, 370);
            if (newBlend) {
                StageState(D3DTSS_COLORARG2, D3DTA_DIFFUSE | D3DTA_ALPHAREPLICATE, 371);
                StageState(D3DTSS_COLOROP, D3DTOP_MODULATE, 372);
            }
        } else {
            StageState(D3DTSS_COLORARG1, D3DTA_DIFFUSE | D3DTA_ALPHAREPLICATE, 373);
            if (newBlend) {
                StageState(D3DTSS_COLOROP, D3DTOP_SELECTARG1, 374);
            }
        }
    }
    if (!newBlend) {
        StageState(D3DTSS_COLOROP, D3DTOP_SELECTARG1, 375);
    }
    StageState(D3DTSS_ALPHAARG1, D3DTA_TFACTOR, 376);
    StageState(D3DTSS_ALPHAOP, D3DTOP_SELECTARG1, 377);
}

void TDxDisplayHandler::SetViewport(int left, int top, int right, int bottom) {
    if (mData->mDevice == nullptr) {
        return;
    }
    mData->mProjectionDirty = true;
    const TRect saved = mData->mViewport;
    mData->mViewport = TRect{left, top, right, bottom};
    if (!ApplyCurrentViewport()) {
        Log("Bad viewport: %d, %d, %d, %d", left, top, right, bottom);
        mData->mViewport = saved;
    }
}

void TDxDisplayHandler::PushViewport(int left, int top, int right, int bottom) {
    mData->mViewportStack.push_front(mData->mViewport);
    SetViewport(left, top, right, bottom);
}

HRESULT TDxDisplayHandler::PopViewport() {
    // The window system reaches this through the render facade; a pop without a push must not
    // take what is not there.
    if (mData->mViewportStack.empty()) {
        Log("TDxDisplayHandler::PopViewport: no viewport was pushed; the pop is refused");
        return E_FAIL;
    }
    mData->mViewport = mData->mViewportStack.front();
    mData->mViewportStack.pop_front();
    const HRESULT result = ApplyViewport(mData->mViewport, mData->mTargetRect);
    mData->mProjectionDirty = true;
    return result;
}

void TDxDisplayHandler::SetClipRect(const TRect& rect) {
    mData->mClipRect = rect;
    mData->mProjectionDirty = true;
    ApplyCurrentViewport();
}

bool TDxDisplayHandler::ApplyCurrentViewport() {
    // Before the first display set-up the rectangles are only kept.
    if (mData->mDevice == nullptr) {
        return false;
    }
    TRect cut;
    cut.Intersect(mData->mViewport, mData->mClipRect);
    const HRESULT result = ApplyViewport(cut, mData->mTargetRect);
    Check(result, 381);
    return SUCCEEDED(result);
}

bool TDxDisplayHandler::GetEffectiveViewportScale(float* scale) const {
    *scale = 1.0f;
    const TPlatform* platform = TPlatform::GetInstance();
    if (platform == nullptr || !platform->GetWin32()->GetViewportScale(scale)) {
        return false;
    }
    // Drawing into a texture is never scaled; the configured scale comes back with the screen.
    if (mData->mPendingTarget) {
        *scale = 1.0f;
    }
    return true;
}

HRESULT TDxDisplayHandler::ApplyViewport(const TRect& rect, const TRect& target) {
    int left = std::max(rect.left, 0);
    int top = std::max(rect.top, 0);
    const int right = std::max(rect.right, left);
    const int bottom = std::max(rect.bottom, top);
    const int w = RectWidth(target);
    const int h = RectHeight(target);
    left = std::min(left, w - 1);
    top = std::min(top, h - 1);
    int x = left;
    int y = top;
    int width = std::min(right, w) - left;
    int height = std::min(bottom, h) - top;

    float scale = 1.0f;
    if (GetEffectiveViewportScale(&scale)) {
        const float s = scale;
        x = TruncateScaled(static_cast<float>(x) * s + 0.5f);
        y = TruncateScaled(static_cast<float>(y) * s + 0.5f);
        width = TruncateScaled(static_cast<float>(width) * s + 0.5f);
        height = TruncateScaled(static_cast<float>(height) * s + 0.5f);
        if (s != 0.0f) {
            int screenWidth = 0;
            int screenHeight = 0;
            bool fullscreen = false;
            GetScreenInfo(&screenWidth, &screenHeight, &fullscreen);
            if (static_cast<float>(x + width) / s > static_cast<float>(screenWidth)) {
                width = TruncateScaled(static_cast<float>(screenWidth) * s + 0.5f) - x;
            }
            if (static_cast<float>(y + height) / s > static_cast<float>(screenHeight)) {
                height = TruncateScaled(static_cast<float>(screenHeight) * s + 0.5f) - y;
            }
        }
    }

    D3DVIEWPORT7 viewport{};
    viewport.dwX = static_cast<DWORD>(x);
    viewport.dwY = static_cast<DWORD>(y);
    viewport.dwWidth = static_cast<DWORD>(width);
    viewport.dwHeight = static_cast<DWORD>(height);
    viewport.dvMinZ = 0.0f;
    viewport.dvMaxZ = 1.0f;
    if (mData->mDevice == nullptr) {
        return E_POINTER;
    }
    return mData->mDevice->SetViewport(&viewport);
}
