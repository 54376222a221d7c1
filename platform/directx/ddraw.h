// DirectDraw 7 as the engine calls it: the DirectDraw object, surfaces in memory, clippers and the
// result, flag and caps values of the original. Interfaces are plain classes with the original's
// method names; Release frees an object when its last reference goes.
#pragma once

#include "platform/win32/wintypes.h"

#include <atomic>
#include <memory>

// Results.
#define MAKE_DDHRESULT(code) (static_cast<HRESULT>(0x88760000u | static_cast<DWORD>(code)))
#define DD_OK S_OK
#define DD_FALSE S_FALSE
#ifndef E_NOINTERFACE
#define E_NOINTERFACE (static_cast<HRESULT>(0x80004002u))
#endif
#ifndef E_POINTER
#define E_POINTER (static_cast<HRESULT>(0x80004003u))
#endif
#define DDERR_GENERIC E_FAIL
#define DDERR_INVALIDPARAMS E_INVALIDARG
#define DDERR_OUTOFMEMORY E_OUTOFMEMORY
#define DDERR_UNSUPPORTED E_NOTIMPL
#define DDERR_ALREADYINITIALIZED MAKE_DDHRESULT(5)
#define DDERR_CANNOTATTACHSURFACE MAKE_DDHRESULT(10)
#define DDERR_CURRENTLYNOTAVAIL MAKE_DDHRESULT(40)
#define DDERR_INVALIDCAPS MAKE_DDHRESULT(100)
#define DDERR_INVALIDMODE MAKE_DDHRESULT(120)
#define DDERR_INVALIDOBJECT MAKE_DDHRESULT(130)
#define DDERR_INVALIDPIXELFORMAT MAKE_DDHRESULT(145)
#define DDERR_INVALIDRECT MAKE_DDHRESULT(150)
#define DDERR_NOCOOPERATIVELEVELSET MAKE_DDHRESULT(212)
#define DDERR_NOEXCLUSIVEMODE MAKE_DDHRESULT(225)
#define DDERR_NOTFOUND MAKE_DDHRESULT(255)
#define DDERR_OUTOFVIDEOMEMORY MAKE_DDHRESULT(380)
#define DDERR_SURFACEALREADYATTACHED MAKE_DDHRESULT(410)
#define DDERR_SURFACEBUSY MAKE_DDHRESULT(430)
#define DDERR_SURFACELOST MAKE_DDHRESULT(450)
#define DDERR_SURFACENOTATTACHED MAKE_DDHRESULT(460)
#define DDERR_TOOBIGHEIGHT MAKE_DDHRESULT(470)
#define DDERR_TOOBIGSIZE MAKE_DDHRESULT(480)
#define DDERR_TOOBIGWIDTH MAKE_DDHRESULT(490)
#define DDERR_UNSUPPORTEDFORMAT MAKE_DDHRESULT(510)
#define DDERR_WASSTILLDRAWING MAKE_DDHRESULT(540)
#define DDERR_INVALIDDIRECTDRAWGUID MAKE_DDHRESULT(561)
#define DDERR_PRIMARYSURFACEALREADYEXISTS MAKE_DDHRESULT(564)
#define DDERR_NOCLIPPERATTACHED MAKE_DDHRESULT(568)
#define DDERR_NOHWND MAKE_DDHRESULT(569)
#define DDERR_NOPALETTEATTACHED MAKE_DDHRESULT(572)
#define DDERR_BLTFASTCANTCLIP MAKE_DDHRESULT(574)
#define DDERR_EXCLUSIVEMODEALREADYSET MAKE_DDHRESULT(581)
#define DDERR_NOTFLIPPABLE MAKE_DDHRESULT(582)
#define DDERR_NOTLOCKED MAKE_DDHRESULT(584)
#define DDERR_CANTCREATEDC MAKE_DDHRESULT(585)
#define DDERR_NODC MAKE_DDHRESULT(586)
#define DDERR_WRONGMODE MAKE_DDHRESULT(587)
#define DDERR_UNSUPPORTEDMODE MAKE_DDHRESULT(590)

// Pixel formats.
#define DDPF_ALPHAPIXELS 0x00000001u
#define DDPF_ALPHA 0x00000002u
#define DDPF_FOURCC 0x00000004u
#define DDPF_PALETTEINDEXED8 0x00000020u
#define DDPF_RGB 0x00000040u
#define DDPF_ZBUFFER 0x00000400u
#define DDPF_STENCILBUFFER 0x00004000u
#define DDPF_LUMINANCE 0x00020000u
#define DDPF_BUMPDUDV 0x00080000u

struct DDPIXELFORMAT {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwFourCC;
    union {
        DWORD dwRGBBitCount;
        DWORD dwZBufferBitDepth;
        DWORD dwAlphaBitDepth;
        DWORD dwLuminanceBitCount;
    };
    union {
        DWORD dwRBitMask;
        DWORD dwStencilBitDepth;
        DWORD dwLuminanceBitMask;
    };
    union {
        DWORD dwGBitMask;
        DWORD dwZBitMask;
    };
    union {
        DWORD dwBBitMask;
        DWORD dwStencilBitMask;
    };
    union {
        DWORD dwRGBAlphaBitMask;
        DWORD dwRGBZBitMask;
        DWORD dwLuminanceAlphaBitMask;
    };
};
static_assert(sizeof(DDPIXELFORMAT) == 32);
using LPDDPIXELFORMAT = DDPIXELFORMAT*;

// Surface capabilities.
#define DDSCAPS_ALPHA 0x00000002u
#define DDSCAPS_BACKBUFFER 0x00000004u
#define DDSCAPS_COMPLEX 0x00000008u
#define DDSCAPS_FLIP 0x00000010u
#define DDSCAPS_FRONTBUFFER 0x00000020u
#define DDSCAPS_OFFSCREENPLAIN 0x00000040u
#define DDSCAPS_OVERLAY 0x00000080u
#define DDSCAPS_PALETTE 0x00000100u
#define DDSCAPS_PRIMARYSURFACE 0x00000200u
#define DDSCAPS_SYSTEMMEMORY 0x00000800u
#define DDSCAPS_TEXTURE 0x00001000u
#define DDSCAPS_3DDEVICE 0x00002000u
#define DDSCAPS_VIDEOMEMORY 0x00004000u
#define DDSCAPS_VISIBLE 0x00008000u
#define DDSCAPS_WRITEONLY 0x00010000u
#define DDSCAPS_ZBUFFER 0x00020000u
#define DDSCAPS_OWNDC 0x00040000u
#define DDSCAPS_MIPMAP 0x00400000u
#define DDSCAPS_LOCALVIDMEM 0x10000000u
#define DDSCAPS_NONLOCALVIDMEM 0x20000000u

#define DDSCAPS2_HINTDYNAMIC 0x00000004u
#define DDSCAPS2_HINTSTATIC 0x00000008u
#define DDSCAPS2_TEXTUREMANAGE 0x00000010u
#define DDSCAPS2_OPAQUE 0x00000080u
#define DDSCAPS2_HINTANTIALIASING 0x00000100u
#define DDSCAPS2_MIPMAPSUBLEVEL 0x00010000u
#define DDSCAPS2_D3DTEXTUREMANAGE 0x00020000u
#define DDSCAPS2_ENABLEALPHACHANNEL 0x00800000u

struct DDSCAPS {
    DWORD dwCaps;
};

struct DDSCAPS2 {
    DWORD dwCaps;
    DWORD dwCaps2;
    DWORD dwCaps3;
    union {
        DWORD dwCaps4;
        DWORD dwVolumeDepth;
    };
};
using LPDDSCAPS2 = DDSCAPS2*;

struct DDCOLORKEY {
    DWORD dwColorSpaceLowValue;
    DWORD dwColorSpaceHighValue;
};

// Surface descriptions.
#define DDSD_CAPS 0x00000001u
#define DDSD_HEIGHT 0x00000002u
#define DDSD_WIDTH 0x00000004u
#define DDSD_PITCH 0x00000008u
#define DDSD_BACKBUFFERCOUNT 0x00000020u
#define DDSD_ZBUFFERBITDEPTH 0x00000040u
#define DDSD_ALPHABITDEPTH 0x00000080u
#define DDSD_LPSURFACE 0x00000800u
#define DDSD_PIXELFORMAT 0x00001000u
#define DDSD_CKDESTOVERLAY 0x00002000u
#define DDSD_CKDESTBLT 0x00004000u
#define DDSD_CKSRCOVERLAY 0x00008000u
#define DDSD_CKSRCBLT 0x00010000u
#define DDSD_MIPMAPCOUNT 0x00020000u
#define DDSD_REFRESHRATE 0x00040000u
#define DDSD_LINEARSIZE 0x00080000u
#define DDSD_TEXTURESTAGE 0x00100000u

struct DDSURFACEDESC2 {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwHeight;
    DWORD dwWidth;
    union {
        LONG lPitch;
        DWORD dwLinearSize;
    };
    union {
        DWORD dwBackBufferCount;
        DWORD dwDepth;
    };
    union {
        DWORD dwMipMapCount;
        DWORD dwRefreshRate;
        DWORD dwSrcVBHandle;
    };
    DWORD dwAlphaBitDepth;
    DWORD dwReserved;
    LPVOID lpSurface;
    union {
        DDCOLORKEY ddckCKDestOverlay;
        DWORD dwEmptyFaceColor;
    };
    DDCOLORKEY ddckCKDestBlt;
    DDCOLORKEY ddckCKSrcOverlay;
    DDCOLORKEY ddckCKSrcBlt;
    union {
        DDPIXELFORMAT ddpfPixelFormat;
        DWORD dwFVF;
    };
    DDSCAPS2 ddsCaps;
    DWORD dwTextureStage;
};
using LPDDSURFACEDESC2 = DDSURFACEDESC2*;

// Device capabilities.
#define DDCAPS_3D 0x00000001u
#define DDCAPS_BLT 0x00000040u
#define DDCAPS_BLTQUEUE 0x00000080u
#define DDCAPS_BLTSTRETCH 0x00000200u
#define DDCAPS_GDI 0x00000400u
#define DDCAPS_COLORKEY 0x00400000u
#define DDCAPS_BLTCOLORFILL 0x04000000u
#define DDCAPS_CANCLIP 0x20000000u
#define DDCAPS_CANCLIPSTRETCHED 0x40000000u
#define DDCAPS_CANBLTSYSMEM 0x80000000u

#define DDCAPS2_CANRENDERWINDOWED 0x00080000u
#define DDCAPS2_FLIPNOVSYNC 0x08000000u

#define DDBD_1 0x00004000u
#define DDBD_2 0x00002000u
#define DDBD_4 0x00001000u
#define DDBD_8 0x00000800u
#define DDBD_16 0x00000400u
#define DDBD_24 0x00000200u
#define DDBD_32 0x00000100u

// The DirectX 7 capability record: 380 bytes, the size the engine's capability dump shows.
struct DDCAPS {
    DWORD dwSize;
    DWORD dwCaps;
    DWORD dwCaps2;
    DWORD dwCKeyCaps;
    DWORD dwFXCaps;
    DWORD dwFXAlphaCaps;
    DWORD dwPalCaps;
    DWORD dwSVCaps;
    DWORD dwAlphaBltConstBitDepths;
    DWORD dwAlphaBltPixelBitDepths;
    DWORD dwAlphaBltSurfaceBitDepths;
    DWORD dwAlphaOverlayConstBitDepths;
    DWORD dwAlphaOverlayPixelBitDepths;
    DWORD dwAlphaOverlaySurfaceBitDepths;
    DWORD dwZBufferBitDepths;
    DWORD dwVidMemTotal;
    DWORD dwVidMemFree;
    DWORD dwMaxVisibleOverlays;
    DWORD dwCurrVisibleOverlays;
    DWORD dwNumFourCCCodes;
    DWORD dwAlignBoundarySrc;
    DWORD dwAlignSizeSrc;
    DWORD dwAlignBoundaryDest;
    DWORD dwAlignSizeDest;
    DWORD dwAlignStrideAlign;
    DWORD dwRops[8];
    DDSCAPS ddsOldCaps;
    DWORD dwMinOverlayStretch;
    DWORD dwMaxOverlayStretch;
    DWORD dwMinLiveVideoStretch;
    DWORD dwMaxLiveVideoStretch;
    DWORD dwMinHwCodecStretch;
    DWORD dwMaxHwCodecStretch;
    DWORD dwReserved1;
    DWORD dwReserved2;
    DWORD dwReserved3;
    DWORD dwSVBCaps;
    DWORD dwSVBCKeyCaps;
    DWORD dwSVBFXCaps;
    DWORD dwSVBRops[8];
    DWORD dwVSBCaps;
    DWORD dwVSBCKeyCaps;
    DWORD dwVSBFXCaps;
    DWORD dwVSBRops[8];
    DWORD dwSSBCaps;
    DWORD dwSSBCKeyCaps;
    DWORD dwSSBFXCaps;
    DWORD dwSSBRops[8];
    DWORD dwMaxVideoPorts;
    DWORD dwCurrVideoPorts;
    DWORD dwSVBCaps2;
    DWORD dwNLVBCaps;
    DWORD dwNLVBCaps2;
    DWORD dwNLVBCKeyCaps;
    DWORD dwNLVBFXCaps;
    DWORD dwNLVBRops[8];
    DDSCAPS2 ddsCaps;
};
static_assert(sizeof(DDCAPS) == 380);
using LPDDCAPS = DDCAPS*;

union LARGE_INTEGER_DD {
    struct {
        DWORD LowPart;
        LONG HighPart;
    };
    LONGLONG QuadPart;
};

#define MAX_DDDEVICEID_STRING 512
#define DDGDI_GETHOSTIDENTIFIER 0x00000001u

struct DDDEVICEIDENTIFIER2 {
    char szDriver[MAX_DDDEVICEID_STRING];
    char szDescription[MAX_DDDEVICEID_STRING];
    LARGE_INTEGER_DD liDriverVersion;
    DWORD dwVendorId;
    DWORD dwDeviceId;
    DWORD dwSubSysId;
    DWORD dwRevision;
    GUID guidDeviceIdentifier;
    DWORD dwWHQLLevel;
};
using LPDDDEVICEIDENTIFIER2 = DDDEVICEIDENTIFIER2*;

// Blits.
#define DDBLT_ASYNC 0x00000200u
#define DDBLT_COLORFILL 0x00000400u
#define DDBLT_DDFX 0x00000800u
#define DDBLT_WAIT 0x01000000u
#define DDBLT_DEPTHFILL 0x02000000u
#define DDBLT_DONOTWAIT 0x08000000u

#define DDBLTFX_ARITHSTRETCHY 0x00000001u
#define DDBLTFX_MIRRORLEFTRIGHT 0x00000002u
#define DDBLTFX_MIRRORUPDOWN 0x00000004u
#define DDBLTFX_NOTEARING 0x00000008u

#define DDBLTFAST_NOCOLORKEY 0x00000000u
#define DDBLTFAST_SRCCOLORKEY 0x00000001u
#define DDBLTFAST_DESTCOLORKEY 0x00000002u
#define DDBLTFAST_WAIT 0x00000010u
#define DDBLTFAST_DONOTWAIT 0x00000020u

class IDirectDrawSurface7;

struct DDBLTFX {
    DWORD dwSize;
    DWORD dwDDFX;
    DWORD dwROP;
    DWORD dwDDROP;
    DWORD dwRotationAngle;
    DWORD dwZBufferOpCode;
    DWORD dwZBufferLow;
    DWORD dwZBufferHigh;
    DWORD dwZBufferBaseDest;
    DWORD dwZDestConstBitDepth;
    union {
        DWORD dwZDestConst;
        IDirectDrawSurface7* lpDDSZBufferDest;
    };
    DWORD dwZSrcConstBitDepth;
    union {
        DWORD dwZSrcConst;
        IDirectDrawSurface7* lpDDSZBufferSrc;
    };
    DWORD dwAlphaEdgeBlendBitDepth;
    DWORD dwAlphaEdgeBlend;
    DWORD dwReserved;
    DWORD dwAlphaDestConstBitDepth;
    union {
        DWORD dwAlphaDestConst;
        IDirectDrawSurface7* lpDDSAlphaDest;
    };
    DWORD dwAlphaSrcConstBitDepth;
    union {
        DWORD dwAlphaSrcConst;
        IDirectDrawSurface7* lpDDSAlphaSrc;
    };
    union {
        DWORD dwFillColor;
        DWORD dwFillDepth;
        DWORD dwFillPixel;
        IDirectDrawSurface7* lpDDSPattern;
    };
    DDCOLORKEY ddckDestColorkey;
    DDCOLORKEY ddckSrcColorkey;
};
using LPDDBLTFX = DDBLTFX*;

// Flips, locks and status.
#define DDFLIP_WAIT 0x00000001u
#define DDFLIP_EVEN 0x00000002u
#define DDFLIP_ODD 0x00000004u
#define DDFLIP_NOVSYNC 0x00000008u
#define DDFLIP_DONOTWAIT 0x00000020u

#define DDLOCK_SURFACEMEMORYPTR 0x00000000u
#define DDLOCK_WAIT 0x00000001u
#define DDLOCK_READONLY 0x00000010u
#define DDLOCK_WRITEONLY 0x00000020u
#define DDLOCK_NOSYSLOCK 0x00000800u
#define DDLOCK_DONOTWAIT 0x00004000u

#define DDGFS_CANFLIP 0x00000001u
#define DDGFS_ISFLIPDONE 0x00000002u
#define DDGBS_CANBLT 0x00000001u
#define DDGBS_ISBLTDONE 0x00000002u

// The DirectDraw object.
#define DDSCL_FULLSCREEN 0x00000001u
#define DDSCL_ALLOWREBOOT 0x00000002u
#define DDSCL_NOWINDOWCHANGES 0x00000004u
#define DDSCL_NORMAL 0x00000008u
#define DDSCL_EXCLUSIVE 0x00000010u
#define DDSCL_ALLOWMODEX 0x00000040u
#define DDSCL_MULTITHREADED 0x00000400u
#define DDSCL_FPUSETUP 0x00000800u
#define DDSCL_FPUPRESERVE 0x00001000u

#define DDWAITVB_BLOCKBEGIN 0x00000001u
#define DDWAITVB_BLOCKBEGINEVENT 0x00000002u
#define DDWAITVB_BLOCKEND 0x00000004u

#define DDEDM_REFRESHRATES 0x00000001u
#define DDEDM_STANDARDVGAMODES 0x00000002u
#define DDENUMRET_CANCEL 0
#define DDENUMRET_OK 1

#define DDENUM_ATTACHEDSECONDARYDEVICES 0x00000001u
#define DDENUM_DETACHEDSECONDARYDEVICES 0x00000002u
#define DDENUM_NONDISPLAYDEVICES 0x00000004u

// Pseudo-GUIDs DirectDrawCreateEx accepts in place of a device GUID.
#define DDCREATE_HARDWAREONLY 0x00000001u
#define DDCREATE_EMULATIONONLY 0x00000002u

inline constexpr GUID IID_IDirectDraw7 = {
    0x15e65ec0, 0x3b9c, 0x11d2, {0xb9, 0x2f, 0x00, 0x60, 0x97, 0x97, 0xea, 0x5b}};
inline constexpr GUID IID_IDirectDrawSurface7 = {
    0x06675a80, 0x3b9b, 0x11d2, {0xb9, 0x2f, 0x00, 0x60, 0x97, 0x97, 0xea, 0x5b}};

using LPDDENUMMODESCALLBACK2 = HRESULT (*)(DDSURFACEDESC2* mode, void* context);
using LPDDENUMCALLBACKEXA = BOOL (*)(GUID* guid, char* description, char* name, void* context,
                                     HMONITOR monitor);

namespace standin::detail {
struct TDirectDraw;
struct TSurface;
struct TClipper;
} // namespace standin::detail

class IUnknown;

// Clips blits to a window's client rectangle in screen coordinates.
class IDirectDrawClipper {
public:
    ULONG AddRef();
    ULONG Release();
    HRESULT SetHWnd(DWORD flags, HWND window);
    HRESULT GetHWnd(HWND* window);

    // The stand-in's own: made by IDirectDraw7::CreateClipper, freed by Release.
    explicit IDirectDrawClipper(std::shared_ptr<standin::detail::TClipper> state);
    standin::detail::TClipper& State() { return *mState; }

private:
    ~IDirectDrawClipper();
    std::shared_ptr<standin::detail::TClipper> mState;
    std::atomic<ULONG> mRefs{1};
};
using LPDIRECTDRAWCLIPPER = IDirectDrawClipper*;

class IDirectDrawSurface7 {
public:
    ULONG AddRef();
    ULONG Release();
    HRESULT QueryInterface(const GUID& iid, void** out);
    HRESULT AddAttachedSurface(IDirectDrawSurface7* surface);
    HRESULT GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface7** surface);
    HRESULT Blt(RECT* destRect, IDirectDrawSurface7* source, RECT* sourceRect, DWORD flags,
                DDBLTFX* fx);
    HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface7* source, RECT* sourceRect, DWORD flags);
    HRESULT Flip(IDirectDrawSurface7* target, DWORD flags);
    HRESULT GetFlipStatus(DWORD flags);
    HRESULT GetBltStatus(DWORD flags);
    HRESULT GetCaps(DDSCAPS2* caps);
    HRESULT GetSurfaceDesc(DDSURFACEDESC2* desc);
    HRESULT GetPixelFormat(DDPIXELFORMAT* format);
    HRESULT Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE event);
    HRESULT Unlock(RECT* rect);
    HRESULT SetClipper(IDirectDrawClipper* clipper);
    HRESULT GetClipper(IDirectDrawClipper** clipper);
    // No GDI here: GetDC always answers DDERR_CANTCREATEDC.
    HRESULT GetDC(HDC* dc);
    HRESULT ReleaseDC(HDC dc);
    HRESULT IsLost();
    HRESULT Restore();

    // The stand-in's own: made by IDirectDraw7::CreateSurface, freed by Release.
    explicit IDirectDrawSurface7(std::shared_ptr<standin::detail::TSurface> state);
    standin::detail::TSurface& State() { return *mState; }

private:
    ~IDirectDrawSurface7();
    std::shared_ptr<standin::detail::TSurface> mState;
    std::atomic<ULONG> mRefs{1};
};
using LPDIRECTDRAWSURFACE7 = IDirectDrawSurface7*;

class IDirectDraw7 {
public:
    ULONG AddRef();
    ULONG Release();
    // IID_IDirectDraw7, or IID_IDirect3D7 for the Direct3D object of this DirectDraw object.
    HRESULT QueryInterface(const GUID& iid, void** out);
    HRESULT SetCooperativeLevel(HWND window, DWORD flags);
    HRESULT GetCaps(DDCAPS* driverCaps, DDCAPS* emulationCaps);
    HRESULT GetAvailableVidMem(DDSCAPS2* caps, DWORD* total, DWORD* free);
    HRESULT EnumDisplayModes(DWORD flags, DDSURFACEDESC2* filter, void* context,
                             LPDDENUMMODESCALLBACK2 callback);
    HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel, DWORD refreshRate,
                           DWORD flags);
    HRESULT RestoreDisplayMode();
    HRESULT GetDisplayMode(DDSURFACEDESC2* desc);
    HRESULT GetMonitorFrequency(DWORD* frequency);
    HRESULT GetDeviceIdentifier(DDDEVICEIDENTIFIER2* identifier, DWORD flags);
    HRESULT WaitForVerticalBlank(DWORD flags, HANDLE event);
    HRESULT FlipToGDISurface();
    HRESULT TestCooperativeLevel();
    HRESULT RestoreAllSurfaces();
    HRESULT CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** surface, IUnknown* outer);
    HRESULT CreateClipper(DWORD flags, IDirectDrawClipper** clipper, IUnknown* outer);

    // The stand-in's own: made by DirectDrawCreateEx, freed by Release.
    explicit IDirectDraw7(std::shared_ptr<standin::detail::TDirectDraw> state);
    standin::detail::TDirectDraw& State() { return *mState; }
    const std::shared_ptr<standin::detail::TDirectDraw>& SharedState() { return mState; }

private:
    ~IDirectDraw7();
    std::shared_ptr<standin::detail::TDirectDraw> mState;
    std::atomic<ULONG> mRefs{1};
};
using LPDIRECTDRAW7 = IDirectDraw7*;

// `guid`: null for the default device, a device GUID from DirectDrawEnumerateExA, or one of the
// DDCREATE_ pseudo-GUIDs.
HRESULT DirectDrawCreateEx(GUID* guid, void** directDraw, const GUID& iid, IUnknown* outer);
HRESULT DirectDrawEnumerateExA(LPDDENUMCALLBACKEXA callback, void* context, DWORD flags);
