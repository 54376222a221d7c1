// Inner state of the Direct3D stand-in. Not part of the Direct3D surface.
#pragma once

#include "platform/directx/d3d.h"
#include "platform/directx/ddstate.h"

#include <array>
#include <vector>

namespace standin::detail {

inline constexpr DWORD kTextureStages = 8;
inline constexpr DWORD kStageStates = 32;

// The texture formats a device offers when its adapter names none.
std::vector<DDPIXELFORMAT> DefaultTextureFormats();

// Working memory of the rasteriser's fast paths (d3dfastpath.h), kept between draw calls.
struct TRasterScratch;
struct TRasterScratchDeleter {
    void operator()(TRasterScratch* scratch) const;
};

struct TDevice3D {
    std::shared_ptr<TDirectDraw> owner;
    IDirectDrawSurface7* target = nullptr; // one reference
    D3DDEVICEDESC7 caps{};
    bool halfPixelCentres = false;
    std::array<DWORD, 256> renderStates{};
    std::array<std::array<DWORD, kStageStates>, kTextureStages> stages{};
    D3DMATRIX world{};
    D3DMATRIX view{};
    D3DMATRIX projection{};
    D3DVIEWPORT7 viewport{};
    D3DMATERIAL7 material{};
    bool inScene = false;
    // The texture of each stage, one reference each; only stage 0 is drawn with.
    std::array<IDirectDrawSurface7*, kTextureStages> textures{};
    std::unique_ptr<TRasterScratch, TRasterScratchDeleter> scratch; // made on first use

    TRasterScratch& Scratch();
};

// Sets the states a new device starts with, its viewport covering the target.
void ResetDeviceState(TDevice3D& device);

// Draws a vertex list on the device's target: checks, transforms, lights, clips, rasterises.
// `indices` null for a plain list.
HRESULT DrawVertexList(TDevice3D& device, D3DPRIMITIVETYPE type, DWORD vertexFormat,
                       const void* vertices, DWORD vertexCount, const WORD* indices,
                       DWORD indexCount);
// Clears the rectangles (the viewport when none) within the viewport.
HRESULT ClearTarget(TDevice3D& device, DWORD count, const D3DRECT* rects, DWORD flags,
                    D3DCOLOR color, D3DVALUE z);

} // namespace standin::detail
