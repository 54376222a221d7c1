// The Direct3D utility library's texture calls as the engine uses them: making textures on a
// device and loading 32-bit pixels into them.
//
// D3DXCreateTexture raises each side to a power of two, makes the texture square on a device
// that wants square textures and keeps it within the device's aspect ratio, never smaller than
// asked; a side above the device's largest fails with DDERR_INVALIDPARAMS. A format the device
// lacks is replaced by the nearest it has: first one of the same kind (with alpha, or without),
// the closest in depth, then any. Mip chains are the full chain, or none with
// D3DX_TEXTURE_NOMIPMAP.
//
// D3DXLoadTextureFromMemory writes A8R8G8B8 pixels of the destination rectangle's size into
// level 0 (or the level asked for), converting to the surface's format by keeping each channel's
// top bits; with D3DX_DEFAULT as the level every lower level is then rebuilt by a 2x2 box filter.
#pragma once

#include "platform/directx/d3d.h"

#define D3DX_DEFAULT 0xFFFFFFFFu
#define D3DX_TEXTURE_NOMIPMAP (1u << 8)

enum D3DX_SURFACEFORMAT {
    D3DX_SF_UNKNOWN = 0,
    D3DX_SF_R8G8B8 = 1,
    D3DX_SF_A8R8G8B8 = 2,
    D3DX_SF_X8R8G8B8 = 3,
    D3DX_SF_R5G6B5 = 4,
    D3DX_SF_R5G5B5 = 5,
    D3DX_SF_PALETTE4 = 6,
    D3DX_SF_PALETTE8 = 7,
    D3DX_SF_A1R5G5B5 = 8,
    D3DX_SF_X4R4G4B4 = 9,
    D3DX_SF_A4R4G4B4 = 10,
};

enum D3DX_FILTERTYPE : DWORD {
    D3DX_FT_POINT = 0x01,
    D3DX_FT_LINEAR = 0x02,
    D3DX_FT_DEFAULT = 0xFFFFFFFFu,
};

struct PALETTEENTRY {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
};

// Counted: the library works between the first D3DXInitialize and the last D3DXUninitialize.
HRESULT D3DXInitialize();
HRESULT D3DXUninitialize();

// `flags`, `width`, `height` and `format` are read and written back with what was made;
// `mipMaps`, when given, receives the number of levels. `palette` must be null.
HRESULT D3DXCreateTexture(IDirect3DDevice7* device, DWORD* flags, DWORD* width, DWORD* height,
                          D3DX_SURFACEFORMAT* format, PALETTEENTRY* palette,
                          IDirectDrawSurface7** texture, DWORD* mipMaps);

// `mipLevel` 0 (or another level) or D3DX_DEFAULT for all; `source` A8R8G8B8 rows `sourcePitch`
// bytes apart (D3DX_DEFAULT: the rectangle's width times 4); `destRect` null for the whole level,
// refused when it reaches outside it.
HRESULT D3DXLoadTextureFromMemory(IDirect3DDevice7* device, IDirectDrawSurface7* texture,
                                  DWORD mipLevel, void* source, PALETTEENTRY* palette,
                                  D3DX_SURFACEFORMAT sourceFormat, DWORD sourcePitch,
                                  RECT* destRect, D3DX_FILTERTYPE filter);
