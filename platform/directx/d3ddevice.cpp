// The Direct3D object and its devices: capabilities, device creation, render states,
// transforms, viewports, materials and scenes. The drawing itself is in d3draster.cpp.
#include "platform/directx/blit.h"
#include "platform/directx/d3dstate.h"

#include <algorithm>
#include <cstring>

using namespace standin::detail;
using standin::TDevice3DDesc;

namespace {

constexpr D3DMATRIX kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

std::vector<TDevice3DDesc> DevicesOf(const TAdapterState& adapter) {
    return adapter.desc.devices.empty() ? std::vector<TDevice3DDesc>{standin::DefaultDevice3D()}
                                        : adapter.desc.devices;
}

bool IsKnownRenderState(DWORD state) {
    switch (state) {
    case D3DRENDERSTATE_ANTIALIAS:
    case D3DRENDERSTATE_ZENABLE:
    case D3DRENDERSTATE_SHADEMODE:
    case D3DRENDERSTATE_ZWRITEENABLE:
    case D3DRENDERSTATE_ALPHATESTENABLE:
    case D3DRENDERSTATE_SRCBLEND:
    case D3DRENDERSTATE_DESTBLEND:
    case D3DRENDERSTATE_CULLMODE:
    case D3DRENDERSTATE_ZFUNC:
    case D3DRENDERSTATE_ALPHAREF:
    case D3DRENDERSTATE_ALPHAFUNC:
    case D3DRENDERSTATE_ALPHABLENDENABLE:
    case D3DRENDERSTATE_SPECULARENABLE:
    case D3DRENDERSTATE_TEXTUREFACTOR:
    case D3DRENDERSTATE_WRAP0:
    case D3DRENDERSTATE_CLIPPING:
    case D3DRENDERSTATE_LIGHTING:
    case D3DRENDERSTATE_AMBIENT:
    case D3DRENDERSTATE_COLORVERTEX:
    case D3DRENDERSTATE_NORMALIZENORMALS:
    case D3DRENDERSTATE_DIFFUSEMATERIALSOURCE:
    case D3DRENDERSTATE_SPECULARMATERIALSOURCE:
    case D3DRENDERSTATE_AMBIENTMATERIALSOURCE:
    case D3DRENDERSTATE_EMISSIVEMATERIALSOURCE:
        return true;
    default:
        return false;
    }
}

// Values a state takes; what the rasteriser would not know is refused.
bool IsValidValue(DWORD state, DWORD value) {
    switch (state) {
    case D3DRENDERSTATE_SRCBLEND:
    case D3DRENDERSTATE_DESTBLEND:
        return value >= D3DBLEND_ZERO && value <= 10;
    case D3DRENDERSTATE_ZFUNC:
    case D3DRENDERSTATE_ALPHAFUNC:
        return value >= D3DCMP_NEVER && value <= D3DCMP_ALWAYS;
    case D3DRENDERSTATE_CULLMODE:
        return value >= D3DCULL_NONE && value <= D3DCULL_CCW;
    case D3DRENDERSTATE_SHADEMODE:
        return value >= D3DSHADE_FLAT && value <= 3;
    case D3DRENDERSTATE_ZENABLE:
        return value <= 2;
    case D3DRENDERSTATE_ALPHAREF:
        return value <= 255;
    case D3DRENDERSTATE_DIFFUSEMATERIALSOURCE:
    case D3DRENDERSTATE_SPECULARMATERIALSOURCE:
    case D3DRENDERSTATE_AMBIENTMATERIALSOURCE:
    case D3DRENDERSTATE_EMISSIVEMATERIALSOURCE:
        return value <= D3DMCS_COLOR2;
    default:
        return true;
    }
}

bool IsValidStageValue(DWORD state, DWORD value) {
    switch (state) {
    case D3DTSS_COLOROP:
    case D3DTSS_ALPHAOP:
        return value >= D3DTOP_DISABLE && value <= D3DTOP_MODULATE;
    case D3DTSS_COLORARG1:
    case D3DTSS_COLORARG2:
    case D3DTSS_ALPHAARG1:
    case D3DTSS_ALPHAARG2:
        return (value & D3DTA_SELECTMASK) <= D3DTA_SPECULAR &&
               (value & ~(D3DTA_SELECTMASK | D3DTA_COMPLEMENT | D3DTA_ALPHAREPLICATE)) == 0;
    case D3DTSS_ADDRESS:
    case D3DTSS_ADDRESSU:
    case D3DTSS_ADDRESSV:
        return value >= D3DTADDRESS_WRAP && value <= D3DTADDRESS_CLAMP;
    case D3DTSS_MAGFILTER:
    case D3DTSS_MINFILTER:
        return value >= 1 && value <= 2;
    case D3DTSS_MIPFILTER:
        return value >= D3DTFP_NONE && value <= D3DTFP_LINEAR;
    default:
        return false;
    }
}

} // namespace

namespace standin {

TDevice3DDesc DefaultDevice3D() {
    TDevice3DDesc device;
    device.description = "Stand-in Hardware Rasterizer";
    device.name = "Direct3D T&L HAL";
    D3DDEVICEDESC7& desc = device.desc;
    desc.dwDevCaps = D3DDEVCAPS_FLOATTLVERTEX | D3DDEVCAPS_DRAWPRIMTLVERTEX |
                     D3DDEVCAPS_HWRASTERIZATION | D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    for (D3DPRIMCAPS* caps : {&desc.dpcLineCaps, &desc.dpcTriCaps}) {
        caps->dwSize = sizeof(D3DPRIMCAPS);
        caps->dwShadeCaps = D3DPSHADECAPS_COLORFLATRGB | D3DPSHADECAPS_COLORGOURAUDRGB |
                            D3DPSHADECAPS_SPECULARFLATRGB | D3DPSHADECAPS_SPECULARGOURAUDRGB |
                            D3DPSHADECAPS_ALPHAFLATBLEND | D3DPSHADECAPS_ALPHAGOURAUDBLEND;
        caps->dwTextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA;
    }
    desc.dwDeviceRenderBitDepth = DDBD_16 | DDBD_24 | DDBD_32;
    desc.dwDeviceZBufferBitDepth = DDBD_16 | DDBD_24 | DDBD_32;
    desc.dwMinTextureWidth = 1;
    desc.dwMinTextureHeight = 1;
    desc.dwMaxTextureWidth = 2048;
    desc.dwMaxTextureHeight = 2048;
    desc.dwMaxTextureRepeat = 2048;
    desc.dwMaxTextureAspectRatio = 2048;
    desc.wMaxTextureBlendStages = 2;
    desc.wMaxSimultaneousTextures = 1;
    desc.dvMaxVertexW = 1e10f;
    desc.deviceGUID = IID_IDirect3DTnLHalDevice;
    return device;
}

} // namespace standin

namespace standin::detail {

void ResetDeviceState(TDevice3D& device) {
    auto& rs = device.renderStates;
    rs.fill(0);
    rs[D3DRENDERSTATE_ZENABLE] =
        device.target != nullptr && std::any_of(device.target->State().attached.begin(),
                                                device.target->State().attached.end(),
                                                [](auto* s) { return s->State().layout.depth; })
            ? D3DZB_TRUE
            : D3DZB_FALSE;
    rs[D3DRENDERSTATE_SHADEMODE] = D3DSHADE_GOURAUD;
    rs[D3DRENDERSTATE_ZWRITEENABLE] = TRUE;
    rs[D3DRENDERSTATE_SRCBLEND] = D3DBLEND_ONE;
    rs[D3DRENDERSTATE_DESTBLEND] = D3DBLEND_ZERO;
    rs[D3DRENDERSTATE_CULLMODE] = D3DCULL_CCW;
    rs[D3DRENDERSTATE_ZFUNC] = D3DCMP_LESSEQUAL;
    rs[D3DRENDERSTATE_ALPHAFUNC] = D3DCMP_ALWAYS;
    rs[D3DRENDERSTATE_TEXTUREFACTOR] = 0xFFFFFFFF;
    rs[D3DRENDERSTATE_CLIPPING] = TRUE;
    rs[D3DRENDERSTATE_LIGHTING] = TRUE;
    rs[D3DRENDERSTATE_COLORVERTEX] = TRUE;
    rs[D3DRENDERSTATE_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
    rs[D3DRENDERSTATE_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
    rs[D3DRENDERSTATE_AMBIENTMATERIALSOURCE] = D3DMCS_MATERIAL;
    rs[D3DRENDERSTATE_EMISSIVEMATERIALSOURCE] = D3DMCS_MATERIAL;
    for (DWORD stage = 0; stage < kTextureStages; ++stage) {
        auto& s = device.stages[stage];
        s.fill(0);
        s[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        s[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        s[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        s[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        s[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        s[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        s[D3DTSS_ADDRESS] = s[D3DTSS_ADDRESSU] = s[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
        s[D3DTSS_MAGFILTER] = D3DTFG_POINT;
        s[D3DTSS_MINFILTER] = D3DTFN_POINT;
        s[D3DTSS_MIPFILTER] = D3DTFP_NONE;
    }
    device.world = device.view = device.projection = kIdentity;
    const TSurface& target = device.target->State();
    device.viewport = D3DVIEWPORT7{0, 0, target.width, target.height, 0.0f, 1.0f};
    device.material = D3DMATERIAL7{};
    device.inScene = false;
}

} // namespace standin::detail

// The Direct3D object.

IDirect3D7::IDirect3D7(IDirectDraw7* directDraw) : mDirectDraw(directDraw) {
    mDirectDraw->AddRef();
}

IDirect3D7::~IDirect3D7() {
    mDirectDraw->Release();
}

ULONG IDirect3D7::AddRef() {
    return ++mRefs;
}

ULONG IDirect3D7::Release() {
    const ULONG left = --mRefs;
    if (left == 0) {
        delete this;
    }
    return left;
}

HRESULT IDirect3D7::EnumDevices(LPD3DENUMDEVICESCALLBACK7 callback, void* context) {
    if (callback == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    if (auto fault = TakeFault(this, "IDirect3D7::EnumDevices")) {
        return *fault;
    }
    std::vector<TDevice3DDesc> devices;
    {
        std::lock_guard<std::mutex> hold(System().mutex);
        devices = DevicesOf(*mDirectDraw->State().adapter);
    }
    for (TDevice3DDesc& device : devices) {
        if (callback(device.description.data(), device.name.data(), &device.desc, context) ==
            DDENUMRET_CANCEL) {
            break;
        }
    }
    return D3D_OK;
}

HRESULT IDirect3D7::CreateDevice(const GUID& device, IDirectDrawSurface7* target,
                                 IDirect3DDevice7** out) {
    if (out == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    *out = nullptr;
    if (target == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    if (auto fault = TakeFault(this, "IDirect3D7::CreateDevice")) {
        return *fault;
    }
    auto state = std::make_unique<TDevice3D>();
    {
        std::lock_guard<std::mutex> hold(System().mutex);
        const auto devices = DevicesOf(*mDirectDraw->State().adapter);
        const auto found = std::find_if(devices.begin(), devices.end(), [&](const auto& d) {
            return IsSameGuid(d.desc.deviceGUID, device);
        });
        if (found == devices.end()) {
            return DDERR_INVALIDPARAMS;
        }
        state->caps = found->desc;
        state->halfPixelCentres = mDirectDraw->State().adapter->desc.halfPixelCentres;
    }
    const TSurface& surface = target->State();
    if ((surface.caps.dwCaps & DDSCAPS_3DDEVICE) == 0 || surface.layout.depth) {
        return DDERR_INVALIDCAPS;
    }
    state->owner = mDirectDraw->SharedState();
    target->AddRef();
    state->target = target;
    ResetDeviceState(*state);
    *out = new IDirect3DDevice7(std::move(state));
    return D3D_OK;
}

HRESULT IDirect3D7::EnumZBufferFormats(const GUID& device, LPD3DENUMPIXELFORMATSCALLBACK callback,
                                       void* context) {
    if (callback == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    if (auto fault = TakeFault(this, "IDirect3D7::EnumZBufferFormats")) {
        return *fault;
    }
    std::vector<DWORD> depths;
    {
        std::lock_guard<std::mutex> hold(System().mutex);
        const auto& adapter = *mDirectDraw->State().adapter;
        const auto devices = DevicesOf(adapter);
        const bool known = std::any_of(devices.begin(), devices.end(), [&](const auto& d) {
            return IsSameGuid(d.desc.deviceGUID, device);
        });
        if (!known) {
            return DDERR_INVALIDPARAMS;
        }
        depths = adapter.desc.depthFormats;
    }
    for (DWORD depth : depths) {
        DDPIXELFORMAT format{};
        format.dwSize = sizeof format;
        format.dwFlags = DDPF_ZBUFFER;
        format.dwZBufferBitDepth = depth;
        format.dwZBitMask = depth >= 32 ? 0xFFFFFFFFu : (1u << depth) - 1;
        if (callback(&format, context) == DDENUMRET_CANCEL) {
            break;
        }
    }
    return D3D_OK;
}

HRESULT IDirect3D7::EvictManagedTextures() {
    if (auto fault = TakeFault(this, "IDirect3D7::EvictManagedTextures")) {
        return *fault;
    }
    return D3D_OK;
}

// Devices.

IDirect3DDevice7::IDirect3DDevice7(std::unique_ptr<TDevice3D> state) : mState(std::move(state)) {}

IDirect3DDevice7::~IDirect3DDevice7() {
    for (IDirectDrawSurface7* texture : mState->textures) {
        if (texture != nullptr) {
            texture->Release();
        }
    }
    mState->target->Release();
}

ULONG IDirect3DDevice7::AddRef() {
    return ++mRefs;
}

ULONG IDirect3DDevice7::Release() {
    const ULONG left = --mRefs;
    if (left == 0) {
        delete this;
    }
    return left;
}

HRESULT IDirect3DDevice7::GetCaps(D3DDEVICEDESC7* desc) {
    if (desc == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    if (auto fault = TakeFault(this, "IDirect3DDevice7::GetCaps")) {
        return *fault;
    }
    *desc = mState->caps;
    return D3D_OK;
}

HRESULT IDirect3DDevice7::GetRenderTarget(IDirectDrawSurface7** target) {
    if (target == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    mState->target->AddRef();
    *target = mState->target;
    return D3D_OK;
}

HRESULT IDirect3DDevice7::BeginScene() {
    if (auto fault = TakeFault(this, "IDirect3DDevice7::BeginScene")) {
        return *fault;
    }
    if (mState->inScene) {
        return D3DERR_SCENE_IN_SCENE;
    }
    if (const HRESULT lost = mState->target->IsLost(); FAILED(lost)) {
        return lost;
    }
    mState->inScene = true;
    return D3D_OK;
}

HRESULT IDirect3DDevice7::EndScene() {
    if (!mState->inScene) {
        return D3DERR_SCENE_NOT_IN_SCENE;
    }
    mState->inScene = false;
    if (auto fault = TakeFault(this, "IDirect3DDevice7::EndScene")) {
        return *fault;
    }
    return D3D_OK;
}

HRESULT IDirect3DDevice7::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    const auto index = static_cast<DWORD>(state);
    if (!IsKnownRenderState(index) || !IsValidValue(index, value)) {
        return DDERR_INVALIDPARAMS;
    }
    if (auto fault = TakeFault(this, "IDirect3DDevice7::SetRenderState")) {
        return *fault;
    }
    mState->renderStates[index] = value;
    return D3D_OK;
}

HRESULT IDirect3DDevice7::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
    const auto index = static_cast<DWORD>(state);
    if (value == nullptr || !IsKnownRenderState(index)) {
        return DDERR_INVALIDPARAMS;
    }
    *value = mState->renderStates[index];
    return D3D_OK;
}

HRESULT IDirect3DDevice7::SetTexture(DWORD stage, IDirectDrawSurface7* texture) {
    if (stage >= kTextureStages ||
        (texture != nullptr && (texture->State().caps.dwCaps & DDSCAPS_TEXTURE) == 0)) {
        return DDERR_INVALIDPARAMS;
    }
    if (auto fault = TakeFault(this, "IDirect3DDevice7::SetTexture")) {
        return *fault;
    }
    if (texture != nullptr) {
        texture->AddRef();
    }
    if (mState->textures[stage] != nullptr) {
        mState->textures[stage]->Release();
    }
    mState->textures[stage] = texture;
    return D3D_OK;
}

HRESULT IDirect3DDevice7::GetTexture(DWORD stage, IDirectDrawSurface7** texture) {
    if (texture == nullptr || stage >= kTextureStages) {
        return DDERR_INVALIDPARAMS;
    }
    *texture = mState->textures[stage];
    if (*texture != nullptr) {
        (*texture)->AddRef();
    }
    return D3D_OK;
}

HRESULT IDirect3DDevice7::EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback,
                                             void* context) {
    if (callback == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    if (auto fault = TakeFault(this, "IDirect3DDevice7::EnumTextureFormats")) {
        return *fault;
    }
    std::vector<DDPIXELFORMAT> formats;
    {
        std::lock_guard<std::mutex> hold(System().mutex);
        formats = mState->owner->adapter->desc.textureFormats;
    }
    if (formats.empty()) {
        formats = DefaultTextureFormats();
    }
    for (DDPIXELFORMAT& format : formats) {
        if (callback(&format, context) == DDENUMRET_CANCEL) {
            break;
        }
    }
    return D3D_OK;
}

HRESULT IDirect3DDevice7::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state,
                                               DWORD value) {
    const auto index = static_cast<DWORD>(state);
    if (stage >= kTextureStages || index >= kStageStates || !IsValidStageValue(index, value)) {
        return DDERR_INVALIDPARAMS;
    }
    if (auto fault = TakeFault(this, "IDirect3DDevice7::SetTextureStageState")) {
        return *fault;
    }
    auto& states = mState->stages[stage];
    states[index] = value;
    if (index == D3DTSS_ADDRESS) {
        states[D3DTSS_ADDRESSU] = states[D3DTSS_ADDRESSV] = value;
    }
    return D3D_OK;
}

HRESULT IDirect3DDevice7::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state,
                                               DWORD* value) {
    const auto index = static_cast<DWORD>(state);
    if (value == nullptr || stage >= kTextureStages || index >= kStageStates) {
        return DDERR_INVALIDPARAMS;
    }
    *value = mState->stages[stage][index];
    return D3D_OK;
}

HRESULT IDirect3DDevice7::SetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    if (matrix == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    if (auto fault = TakeFault(this, "IDirect3DDevice7::SetTransform")) {
        return *fault;
    }
    switch (state) {
    case D3DTRANSFORMSTATE_WORLD:
        mState->world = *matrix;
        return D3D_OK;
    case D3DTRANSFORMSTATE_VIEW:
        mState->view = *matrix;
        return D3D_OK;
    case D3DTRANSFORMSTATE_PROJECTION:
        mState->projection = *matrix;
        return D3D_OK;
    }
    return DDERR_INVALIDPARAMS;
}

HRESULT IDirect3DDevice7::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    if (matrix == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    switch (state) {
    case D3DTRANSFORMSTATE_WORLD:
        *matrix = mState->world;
        return D3D_OK;
    case D3DTRANSFORMSTATE_VIEW:
        *matrix = mState->view;
        return D3D_OK;
    case D3DTRANSFORMSTATE_PROJECTION:
        *matrix = mState->projection;
        return D3D_OK;
    }
    return DDERR_INVALIDPARAMS;
}

HRESULT IDirect3DDevice7::SetViewport(D3DVIEWPORT7* viewport) {
    if (viewport == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    if (auto fault = TakeFault(this, "IDirect3DDevice7::SetViewport")) {
        return *fault;
    }
    const TSurface& target = mState->target->State();
    // A viewport must lie in the target; an empty one is allowed and draws nothing.
    const auto right = static_cast<std::uint64_t>(viewport->dwX) + viewport->dwWidth;
    const auto bottom = static_cast<std::uint64_t>(viewport->dwY) + viewport->dwHeight;
    if (right > target.width || bottom > target.height || !(viewport->dvMinZ >= 0.0f) ||
        !(viewport->dvMaxZ <= 1.0f) || viewport->dvMinZ > viewport->dvMaxZ) {
        return DDERR_INVALIDPARAMS;
    }
    mState->viewport = *viewport;
    return D3D_OK;
}

HRESULT IDirect3DDevice7::GetViewport(D3DVIEWPORT7* viewport) {
    if (viewport == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    *viewport = mState->viewport;
    return D3D_OK;
}

HRESULT IDirect3DDevice7::SetMaterial(D3DMATERIAL7* material) {
    if (material == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    if (auto fault = TakeFault(this, "IDirect3DDevice7::SetMaterial")) {
        return *fault;
    }
    mState->material = *material;
    return D3D_OK;
}

HRESULT IDirect3DDevice7::GetMaterial(D3DMATERIAL7* material) {
    if (material == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    *material = mState->material;
    return D3D_OK;
}

HRESULT IDirect3DDevice7::Clear(DWORD count, D3DRECT* rects, DWORD flags, D3DCOLOR color,
                                D3DVALUE z, DWORD /*stencil*/) {
    if ((count != 0 && rects == nullptr) || (flags & ~(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER)) != 0) {
        return DDERR_INVALIDPARAMS;
    }
    if (auto fault = TakeFault(this, "IDirect3DDevice7::Clear")) {
        return *fault;
    }
    return ClearTarget(*mState, count, rects, flags, color, z);
}

HRESULT IDirect3DDevice7::DrawPrimitive(D3DPRIMITIVETYPE type, DWORD vertexFormat, void* vertices,
                                        DWORD vertexCount, DWORD /*flags*/) {
    if (auto fault = TakeFault(this, "IDirect3DDevice7::DrawPrimitive")) {
        return *fault;
    }
    return DrawVertexList(*mState, type, vertexFormat, vertices, vertexCount, nullptr, 0);
}

HRESULT IDirect3DDevice7::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, DWORD vertexFormat,
                                               void* vertices, DWORD vertexCount, WORD* indices,
                                               DWORD indexCount, DWORD /*flags*/) {
    if (indices == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    if (auto fault = TakeFault(this, "IDirect3DDevice7::DrawIndexedPrimitive")) {
        return *fault;
    }
    return DrawVertexList(*mState, type, vertexFormat, vertices, vertexCount, indices, indexCount);
}
