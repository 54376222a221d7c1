// Test controls of the DirectDraw stand-in: the adapters it answers with, scripted failures, lost
// surfaces and a read-out of the screen. The program never calls these; tests do.
#pragma once

#include "platform/directx/d3d.h"
#include "platform/directx/ddraw.h"

#include <cstdint>
#include <string>
#include <vector>

namespace standin {

struct TDisplayMode {
    DWORD width = 0;
    DWORD height = 0;
    DWORD bitsPerPixel = 0; // 16 is R5G6B5, 15 X1R5G5B5, 24 R8G8B8, 32 X8R8G8B8
    DWORD refreshRate = 60;
};

// A Direct3D device of an adapter, as IDirect3D7::EnumDevices reports it; desc.deviceGUID is
// what CreateDevice is asked for.
struct TDevice3DDesc {
    std::string description;
    std::string name;
    D3DDEVICEDESC7 desc{};
};
// A hardware device with transform and lighting: every render depth, Gouraud colour and specular,
// 2048-pixel textures of any aspect ratio up to 2048, no square-only rule.
TDevice3DDesc DefaultDevice3D();

struct TAdapter {
    GUID guid{};
    std::string driver;
    std::string description;
    DWORD vendorId = 0;
    DWORD deviceId = 0;
    DWORD subSysId = 0;
    DWORD revision = 0;
    LONGLONG driverVersion = 0;
    DWORD videoMemory = 32u << 20; // bytes
    std::vector<TDisplayMode> modes;
    DWORD monitorFrequency = 60;
    // Empty: DefaultDevice3D() alone.
    std::vector<TDevice3DDesc> devices;
    // The texture formats EnumTextureFormats lists and D3DXCreateTexture chooses from; empty:
    // R8G8B8, A8R8G8B8, X8R8G8B8, R5G6B5, X1R5G5B5, A1R5G5B5 and A4R4G4B4.
    std::vector<DDPIXELFORMAT> textureFormats;
    // Depths of the z-buffer formats EnumZBufferFormats lists, in order.
    std::vector<DWORD> depthFormats{16, 24, 32};
    // Pixel centres at +0.5 instead of on integers, as some drivers have them.
    bool halfPixelCentres = false;
};

// The adapters DirectDrawCreateEx and DirectDrawEnumerateExA see, the first is the default device.
// Affects DirectDraw objects made afterwards; each adapter's video memory starts unused.
void SetAdapters(const std::vector<TAdapter>& adapters);
// Back to the program's default: one adapter, 32 MB, the desktop's mode plus 640x480, 800x600 and
// 1024x768 at 16 and 32 bits.
void UseDefaultAdapters();
std::vector<TAdapter> Adapters();
// Video memory in use on an adapter (bytes).
DWORD UsedVideoMemory(std::size_t adapter = 0);

// Scripted failures: `method` named as "IDirectDraw7::TestCooperativeLevel" or
// "IDirectDrawSurface7::Blt"; `object` the interface pointer it applies to, or null for every
// object. The call returns `result` without doing anything, once or until ClearFaults.
void SetFault(const void* object, const std::string& method, HRESULT result, bool once = true);
void ClearFaults();

// Marks every surface lost and scrambles its pixels, as a display-mode change by another program
// does. Blt, BltFast, Lock, Flip and GetFlipStatus answer DDERR_SURFACELOST until Restore.
void LoseAllSurfaces();
// Another program changed the display mode: the desktop takes the mode, every surface is lost,
// and TestCooperativeLevel answers DDERR_WRONGMODE to the DirectDraw objects made before.
void SimulateDisplayModeChange(const TDisplayMode& mode);
// The full-screen program loses or regains the focus. Losing it loses every surface; while it is
// lost, TestCooperativeLevel of an exclusive DirectDraw object answers DDERR_NOEXCLUSIVEMODE.
void SimulateFocusChange(bool active);

// What the screen shows: the primary surface of the most recently made DirectDraw object that has
// one, converted to 32-bit pixels (bytes blue, green, red, 255). Windowed the rectangle is the
// window's client area on screen (cut to the screen), full screen the whole primary. Empty when
// there is no primary.
struct TScreenImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // 0xFFRRGGBB, rows top to bottom
};
TScreenImage ReadScreen(HWND window);
// PNG files of such images (8-bit RGB): a debugging aid and the tests' golden files.
bool WritePng(const std::string& path, const TScreenImage& image);
bool ReadPng(const std::string& path, TScreenImage* image);

// A surface's pixels as 0xFFRRGGBB (alpha as the format has it, else 0xFF), for tests.
TScreenImage ReadSurface(IDirectDrawSurface7* surface);

// Surfaces the main thread has shown since the last call (one per upload of the primary).
int TakePresentCount();

// The rasteriser's fast paths for screen-aligned textured quads, untextured fills and lines: on
// unless a test or benchmark turns them off to compare with the general path, whose bytes they
// give.
void SetRasterFastPaths(bool on);
// How many primitives each fast path drew since the last call.
struct TFastPathCounts {
    std::uint64_t texturedTriangles = 0;
    std::uint64_t fills = 0; // untextured triangles
    std::uint64_t lines = 0;
};
TFastPathCounts TakeFastPathCounts();

} // namespace standin
