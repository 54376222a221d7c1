// Test controls of the DirectDraw stand-in: the adapters it answers with, scripted failures, lost
// surfaces and a read-out of the screen. The program never calls these; tests do.
#pragma once

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

// Surfaces the main thread has shown since the last call (one per upload of the primary).
int TakePresentCount();

} // namespace standin
