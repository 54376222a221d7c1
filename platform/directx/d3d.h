// Direct3D 7 as the engine calls it: the Direct3D object of a DirectDraw object, devices on a
// back buffer, render states, transforms and the drawing of vertex lists by a software
// rasteriser. Plain classes with the original method names and values.
//
// Rasterisation rules (what the engine's glyph rasteriser and texel calibration measure):
// - Pixel centres lie on integer coordinates (a scripted adapter may move them to +0.5).
// - Triangles light the pixels whose centres lie inside; a centre exactly on an edge is lit when
//   the edge is a top edge (horizontal, above the triangle's inside) or a left edge. So a quad with
//   integer corners (x0, y0)-(x1, y1) lights exactly x0 <= x < x1, y0 <= y < y1, and two triangles
//   sharing an edge neither overlap nor leave a gap.
// - Lines step along their major axis and light the pixels whose centres c along it satisfy
//   start <= c < end (the end is not lit), each in the row (or column) nearest the line at c,
//   halves rounding up: a horizontal line from x0 to x1 (x0 < x1) at height y lights the pixels
//   ceil(x0) <= x < ceil(x1) of row floor(y + 0.5). A line drawn backwards lights the same pixels.
// - Points light the pixel nearest them, halves rounding up.
// - A stage whose texture is none reads D3DTA_TEXTURE as opaque white, so untextured geometry
//   shows its vertex colour under the usual modulate set-up. Texture reading: d3dsampler.h.
// - Blending works on 8-bit channels: each result is (source x factor + destination x factor)
//   / 255, rounded to nearest, at most 255; targets with fewer bits keep each channel's top bits.
#pragma once

#include "platform/directx/ddraw.h"

#include <atomic>
#include <memory>

#define D3D_OK DD_OK
#define D3DERR_INVALIDPRIMITIVETYPE MAKE_DDHRESULT(752)
#define D3DERR_INVALIDVERTEXTYPE MAKE_DDHRESULT(753)
#define D3DERR_SCENE_IN_SCENE MAKE_DDHRESULT(780)
#define D3DERR_SCENE_NOT_IN_SCENE MAKE_DDHRESULT(781)
#define D3DERR_SCENE_BEGIN_FAILED MAKE_DDHRESULT(782)
#define D3DERR_SCENE_END_FAILED MAKE_DDHRESULT(783)
#define D3DERR_SURFACENOTINVIDMEM MAKE_DDHRESULT(2090)

using D3DCOLOR = DWORD;
using D3DVALUE = float;

struct D3DCOLORVALUE {
    D3DVALUE r;
    D3DVALUE g;
    D3DVALUE b;
    D3DVALUE a;
};

struct D3DMATRIX {
    D3DVALUE _11, _12, _13, _14;
    D3DVALUE _21, _22, _23, _24;
    D3DVALUE _31, _32, _33, _34;
    D3DVALUE _41, _42, _43, _44;
};

struct D3DVIEWPORT7 {
    DWORD dwX;
    DWORD dwY;
    DWORD dwWidth;
    DWORD dwHeight;
    D3DVALUE dvMinZ;
    D3DVALUE dvMaxZ;
};

struct D3DMATERIAL7 {
    D3DCOLORVALUE diffuse;
    D3DCOLORVALUE ambient;
    D3DCOLORVALUE specular;
    D3DCOLORVALUE emissive;
    D3DVALUE power;
};

struct D3DRECT {
    LONG x1;
    LONG y1;
    LONG x2;
    LONG y2;
};

// Vertex formats: position with normal, pre-lit, and transformed and lit.
#define D3DFVF_XYZ 0x002u
#define D3DFVF_XYZRHW 0x004u
#define D3DFVF_NORMAL 0x010u
#define D3DFVF_RESERVED1 0x020u
#define D3DFVF_DIFFUSE 0x040u
#define D3DFVF_SPECULAR 0x080u
#define D3DFVF_TEX1 0x100u
#define D3DFVF_VERTEX (D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1)
#define D3DFVF_LVERTEX                                                                             \
    (D3DFVF_XYZ | D3DFVF_RESERVED1 | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1)
#define D3DFVF_TLVERTEX (D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1)

struct D3DVERTEX {
    D3DVALUE x, y, z;
    D3DVALUE nx, ny, nz;
    D3DVALUE tu, tv;
};
struct D3DLVERTEX {
    D3DVALUE x, y, z;
    DWORD dwReserved;
    D3DCOLOR color;
    D3DCOLOR specular;
    D3DVALUE tu, tv;
};
struct D3DTLVERTEX {
    D3DVALUE sx, sy, sz;
    D3DVALUE rhw;
    D3DCOLOR color;
    D3DCOLOR specular;
    D3DVALUE tu, tv;
};
static_assert(sizeof(D3DVERTEX) == 32 && sizeof(D3DLVERTEX) == 32 && sizeof(D3DTLVERTEX) == 32);

enum D3DPRIMITIVETYPE {
    D3DPT_POINTLIST = 1,
    D3DPT_LINELIST = 2,
    D3DPT_LINESTRIP = 3,
    D3DPT_TRIANGLELIST = 4,
    D3DPT_TRIANGLESTRIP = 5,
    D3DPT_TRIANGLEFAN = 6,
};

#define D3DDP_WAIT 0x00000001u
#define D3DDP_DONOTCLIP 0x00000004u
#define D3DDP_DONOTUPDATEEXTENTS 0x00000008u
#define D3DDP_DONOTLIGHT 0x00000010u

enum D3DTRANSFORMSTATETYPE {
    D3DTRANSFORMSTATE_WORLD = 1,
    D3DTRANSFORMSTATE_VIEW = 2,
    D3DTRANSFORMSTATE_PROJECTION = 3,
};

enum D3DRENDERSTATETYPE {
    D3DRENDERSTATE_ANTIALIAS = 2,
    D3DRENDERSTATE_ZENABLE = 7,
    D3DRENDERSTATE_SHADEMODE = 9,
    D3DRENDERSTATE_ZWRITEENABLE = 14,
    D3DRENDERSTATE_ALPHATESTENABLE = 15,
    D3DRENDERSTATE_SRCBLEND = 19,
    D3DRENDERSTATE_DESTBLEND = 20,
    D3DRENDERSTATE_CULLMODE = 22,
    D3DRENDERSTATE_ZFUNC = 23,
    D3DRENDERSTATE_ALPHAREF = 24,
    D3DRENDERSTATE_ALPHAFUNC = 25,
    D3DRENDERSTATE_ALPHABLENDENABLE = 27,
    D3DRENDERSTATE_SPECULARENABLE = 29,
    D3DRENDERSTATE_TEXTUREFACTOR = 60,
    D3DRENDERSTATE_WRAP0 = 128,
    D3DRENDERSTATE_CLIPPING = 136,
    D3DRENDERSTATE_LIGHTING = 137,
    D3DRENDERSTATE_AMBIENT = 139,
    D3DRENDERSTATE_COLORVERTEX = 141,
    D3DRENDERSTATE_NORMALIZENORMALS = 143,
    D3DRENDERSTATE_DIFFUSEMATERIALSOURCE = 145,
    D3DRENDERSTATE_SPECULARMATERIALSOURCE = 146,
    D3DRENDERSTATE_AMBIENTMATERIALSOURCE = 147,
    D3DRENDERSTATE_EMISSIVEMATERIALSOURCE = 148,
};

#define D3DZB_FALSE 0u
#define D3DZB_TRUE 1u
#define D3DSHADE_FLAT 1u
#define D3DSHADE_GOURAUD 2u
#define D3DCULL_NONE 1u
#define D3DCULL_CW 2u
#define D3DCULL_CCW 3u
#define D3DANTIALIAS_NONE 0u
#define D3DANTIALIAS_SORTDEPENDENT 1u
#define D3DANTIALIAS_SORTINDEPENDENT 2u
#define D3DMCS_MATERIAL 0u
#define D3DMCS_COLOR1 1u
#define D3DMCS_COLOR2 2u

#define D3DBLEND_ZERO 1u
#define D3DBLEND_ONE 2u
#define D3DBLEND_SRCCOLOR 3u
#define D3DBLEND_INVSRCCOLOR 4u
#define D3DBLEND_SRCALPHA 5u
#define D3DBLEND_INVSRCALPHA 6u

#define D3DCMP_NEVER 1u
#define D3DCMP_LESS 2u
#define D3DCMP_EQUAL 3u
#define D3DCMP_LESSEQUAL 4u
#define D3DCMP_GREATER 5u
#define D3DCMP_NOTEQUAL 6u
#define D3DCMP_GREATEREQUAL 7u
#define D3DCMP_ALWAYS 8u

// Texture stages: stage 0 combines the texture with the vertex colour.
enum D3DTEXTURESTAGESTATETYPE {
    D3DTSS_COLOROP = 1,
    D3DTSS_COLORARG1 = 2,
    D3DTSS_COLORARG2 = 3,
    D3DTSS_ALPHAOP = 4,
    D3DTSS_ALPHAARG1 = 5,
    D3DTSS_ALPHAARG2 = 6,
    D3DTSS_ADDRESS = 12,
    D3DTSS_ADDRESSU = 13,
    D3DTSS_ADDRESSV = 14,
    D3DTSS_MAGFILTER = 16,
    D3DTSS_MINFILTER = 17,
    D3DTSS_MIPFILTER = 18,
};

#define D3DTOP_DISABLE 1u
#define D3DTOP_SELECTARG1 2u
#define D3DTOP_SELECTARG2 3u
#define D3DTOP_MODULATE 4u

#define D3DTA_SELECTMASK 0x0000000Fu
#define D3DTA_DIFFUSE 0x00000000u
#define D3DTA_CURRENT 0x00000001u
#define D3DTA_TEXTURE 0x00000002u
#define D3DTA_TFACTOR 0x00000003u
#define D3DTA_SPECULAR 0x00000004u
#define D3DTA_COMPLEMENT 0x00000010u
#define D3DTA_ALPHAREPLICATE 0x00000020u

#define D3DTADDRESS_WRAP 1u
#define D3DTADDRESS_MIRROR 2u
#define D3DTADDRESS_CLAMP 3u
#define D3DTFG_POINT 1u
#define D3DTFG_LINEAR 2u
#define D3DTFN_POINT 1u
#define D3DTFN_LINEAR 2u
#define D3DTFP_NONE 1u
#define D3DTFP_POINT 2u
#define D3DTFP_LINEAR 3u

#define D3DCLEAR_TARGET 0x00000001u
#define D3DCLEAR_ZBUFFER 0x00000002u

// Device capabilities.
#define D3DDEVCAPS_FLOATTLVERTEX 0x00000001u
#define D3DDEVCAPS_DRAWPRIMTLVERTEX 0x00000400u
#define D3DDEVCAPS_SEPARATETEXTUREMEMORIES 0x00004000u
#define D3DDEVCAPS_HWTRANSFORMANDLIGHT 0x00010000u
#define D3DDEVCAPS_HWRASTERIZATION 0x00080000u

#define D3DPSHADECAPS_COLORFLATRGB 0x00000004u
#define D3DPSHADECAPS_COLORGOURAUDRGB 0x00000008u
#define D3DPSHADECAPS_SPECULARFLATRGB 0x00000100u
#define D3DPSHADECAPS_SPECULARGOURAUDRGB 0x00000200u
#define D3DPSHADECAPS_ALPHAFLATBLEND 0x00001000u
#define D3DPSHADECAPS_ALPHAGOURAUDBLEND 0x00004000u

#define D3DPTEXTURECAPS_PERSPECTIVE 0x00000001u
#define D3DPTEXTURECAPS_POW2 0x00000002u
#define D3DPTEXTURECAPS_ALPHA 0x00000004u
#define D3DPTEXTURECAPS_SQUAREONLY 0x00000020u

struct D3DPRIMCAPS {
    DWORD dwSize;
    DWORD dwMiscCaps;
    DWORD dwRasterCaps;
    DWORD dwZCmpCaps;
    DWORD dwSrcBlendCaps;
    DWORD dwDestBlendCaps;
    DWORD dwAlphaCmpCaps;
    DWORD dwShadeCaps;
    DWORD dwTextureCaps;
    DWORD dwTextureFilterCaps;
    DWORD dwTextureBlendCaps;
    DWORD dwTextureAddressCaps;
    DWORD dwStippleWidth;
    DWORD dwStippleHeight;
};

// The device description: 236 bytes, the size the engine's capability dump shows.
struct D3DDEVICEDESC7 {
    DWORD dwDevCaps;
    D3DPRIMCAPS dpcLineCaps;
    D3DPRIMCAPS dpcTriCaps;
    DWORD dwDeviceRenderBitDepth;
    DWORD dwDeviceZBufferBitDepth;
    DWORD dwMinTextureWidth;
    DWORD dwMinTextureHeight;
    DWORD dwMaxTextureWidth;
    DWORD dwMaxTextureHeight;
    DWORD dwMaxTextureRepeat;
    DWORD dwMaxTextureAspectRatio;
    DWORD dwMaxAnisotropy;
    D3DVALUE dvGuardBandLeft;
    D3DVALUE dvGuardBandTop;
    D3DVALUE dvGuardBandRight;
    D3DVALUE dvGuardBandBottom;
    D3DVALUE dvExtentsAdjust;
    DWORD dwStencilCaps;
    DWORD dwFVFCaps;
    DWORD dwTextureOpCaps;
    WORD wMaxTextureBlendStages;
    WORD wMaxSimultaneousTextures;
    DWORD dwMaxActiveLights;
    D3DVALUE dvMaxVertexW;
    GUID deviceGUID;
    WORD wMaxUserClipPlanes;
    WORD wMaxVertexBlendMatrices;
    DWORD dwVertexProcessingCaps;
    DWORD dwReserved1;
    DWORD dwReserved2;
    DWORD dwReserved3;
    DWORD dwReserved4;
};
static_assert(sizeof(D3DDEVICEDESC7) == 236);

inline constexpr GUID IID_IDirect3D7 = {
    0xf5049e77, 0x4861, 0x11d2, {0xa4, 0x07, 0x00, 0xa0, 0xc9, 0x06, 0x29, 0xa8}};
inline constexpr GUID IID_IDirect3DTnLHalDevice = {
    0xf5049e78, 0x4861, 0x11d2, {0xa4, 0x07, 0x00, 0xa0, 0xc9, 0x06, 0x29, 0xa8}};
inline constexpr GUID IID_IDirect3DHALDevice = {
    0x84e63de0, 0x46aa, 0x11cf, {0x81, 0x6f, 0x00, 0x00, 0xc0, 0x20, 0x15, 0x6e}};
inline constexpr GUID IID_IDirect3DRGBDevice = {
    0xa4665c60, 0x2673, 0x11cf, {0xa3, 0x1a, 0x00, 0xaa, 0x00, 0xb9, 0x33, 0x56}};

using LPD3DENUMDEVICESCALLBACK7 = HRESULT (*)(char* description, char* name, D3DDEVICEDESC7* desc,
                                              void* context);
using LPD3DENUMPIXELFORMATSCALLBACK = HRESULT (*)(DDPIXELFORMAT* format, void* context);

namespace standin::detail {
struct TDevice3D;
} // namespace standin::detail

class IDirect3DDevice7;

class IDirect3D7 {
public:
    ULONG AddRef();
    ULONG Release();
    HRESULT EnumDevices(LPD3DENUMDEVICESCALLBACK7 callback, void* context);
    HRESULT CreateDevice(const GUID& device, IDirectDrawSurface7* target, IDirect3DDevice7** out);
    HRESULT EnumZBufferFormats(const GUID& device, LPD3DENUMPIXELFORMATSCALLBACK callback,
                               void* context);
    HRESULT EvictManagedTextures();

    // The stand-in's own: made by IDirectDraw7::QueryInterface, which it holds a reference of.
    explicit IDirect3D7(IDirectDraw7* directDraw);

private:
    ~IDirect3D7();
    IDirectDraw7* mDirectDraw;
    std::atomic<ULONG> mRefs{1};
};
using LPDIRECT3D7 = IDirect3D7*;

class IDirect3DDevice7 {
public:
    ULONG AddRef();
    ULONG Release();
    HRESULT GetCaps(D3DDEVICEDESC7* desc);
    HRESULT GetRenderTarget(IDirectDrawSurface7** target);
    HRESULT BeginScene();
    HRESULT EndScene();
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value);
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value);
    // A texture surface or none; only stage 0 is drawn with.
    HRESULT SetTexture(DWORD stage, IDirectDrawSurface7* texture);
    HRESULT GetTexture(DWORD stage, IDirectDrawSurface7** texture);
    HRESULT EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, void* context);
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value);
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD* value);
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix);
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix);
    HRESULT SetViewport(D3DVIEWPORT7* viewport);
    HRESULT GetViewport(D3DVIEWPORT7* viewport);
    HRESULT SetMaterial(D3DMATERIAL7* material);
    HRESULT GetMaterial(D3DMATERIAL7* material);
    HRESULT Clear(DWORD count, D3DRECT* rects, DWORD flags, D3DCOLOR color, D3DVALUE z,
                  DWORD stencil);
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, DWORD vertexFormat, void* vertices,
                          DWORD vertexCount, DWORD flags);
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, DWORD vertexFormat, void* vertices,
                                 DWORD vertexCount, WORD* indices, DWORD indexCount, DWORD flags);

    // The stand-in's own: made by IDirect3D7::CreateDevice, freed by Release.
    explicit IDirect3DDevice7(std::unique_ptr<standin::detail::TDevice3D> state);
    standin::detail::TDevice3D& State() { return *mState; }

private:
    ~IDirect3DDevice7();
    std::unique_ptr<standin::detail::TDevice3D> mState;
    std::atomic<ULONG> mRefs{1};
};
using LPDIRECT3DDEVICE7 = IDirect3DDevice7*;
