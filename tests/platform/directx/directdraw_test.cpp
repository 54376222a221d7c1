#include "tests/platform/directx/ddtest.h"

#include "platform/directx/pixelformat.h"
#include "platform/win32/wingdi.h"

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

namespace {

using ddtest::EmptyDesc;
using ddtest::FillFx;
using ddtest::Format;
using ddtest::PixelAt;
using ddtest::TRef;
using ddtest::WritePixels;

class DirectDraw : public ddtest::TDirectDrawTest {};

TEST(PixelLayouts, ChannelsKeepTheirTopBitsAndWidenByRepeating) {
    using standin::detail::DecodePixel;
    using standin::detail::EncodePixel;
    using standin::detail::LayoutFromDD;
    using standin::detail::TPixelLayout;
    struct TCase {
        const char* name;
        DDPIXELFORMAT format;
        std::uint32_t argb;
        DWORD raw;
        std::uint32_t back;
    };
    const TCase cases[] = {
        // 0xFF -> 31 -> 0xFF; 0x80 -> 32 -> 0x82; 0x40 -> 8 -> 0x42.
        {"R5G6B5", Format(16, 0xF800, 0x07E0, 0x001F, 0), 0x12FF8040, 0xFC08, 0xFFFF8242},
        {"X1R5G5B5", Format(16, 0x7C00, 0x03E0, 0x001F, 0), 0xFFFF8040, 0x7E08, 0xFFFF8442},
        {"A1R5G5B5", Format(16, 0x7C00, 0x03E0, 0x001F, 0x8000), 0x80FF8040, 0xFE08, 0xFFFF8442},
        {"A1R5G5B5 clear", Format(16, 0x7C00, 0x03E0, 0x001F, 0x8000), 0x7FFF8040, 0x7E08,
         0x00FF8442},
        {"A4R4G4B4", Format(16, 0x0F00, 0x00F0, 0x000F, 0xF000), 0x80FF8040, 0x8F84, 0x88FF8844},
        {"R8G8B8", Format(24, 0xFF0000, 0xFF00, 0xFF, 0), 0x12345678, 0x345678, 0xFF345678},
        {"X8R8G8B8", Format(32, 0xFF0000, 0xFF00, 0xFF, 0), 0x12345678, 0x345678, 0xFF345678},
        {"A8R8G8B8", Format(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000), 0x12345678, 0x12345678,
         0x12345678},
    };
    for (const TCase& c : cases) {
        TPixelLayout layout;
        ASSERT_TRUE(LayoutFromDD(c.format, &layout)) << c.name;
        EXPECT_EQ(EncodePixel(c.argb, layout), c.raw) << c.name;
        EXPECT_EQ(DecodePixel(c.raw, layout), c.back) << c.name;
        const DDPIXELFORMAT again = layout.ToDD();
        EXPECT_EQ(std::memcmp(&again, &c.format, sizeof again), 0) << c.name;
    }
    TPixelLayout layout;
    EXPECT_FALSE(LayoutFromDD(Format(16, 0xF800, 0x07E0, 0x001F, 0x8000), &layout));
    EXPECT_FALSE(LayoutFromDD(Format(8, 0xE0, 0x1C, 0x03, 0), &layout));
}

// Full screen on a scripted adapter: a flip chain in the mode's format, drawn with every kind
// of blit and shown by Flip.
TEST_F(DirectDraw, FullScreenFlipChainDrawsAndFlipsInEachDepth) {
    struct TCase {
        DWORD bits;
        DWORD red;   // raw pure red
        DWORD white; // raw white
        DWORD rgb;   // raw of 0x336699
        std::uint32_t rgbShown;
    };
    // 0x33 -> 6 (5 bits) -> 0x31; 0x66 -> 25 (6 bits) -> 0x65; 0x99 -> 19 -> 0x9C.
    const TCase cases[] = {{32, 0xFF0000, 0xFFFFFF, 0x336699, 0xFF336699},
                           {16, 0xF800, 0xFFFF, 0x3333, 0xFF31659C}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.bits);
        TRef<IDirectDrawSurface7> front;
        TRef<IDirectDrawSurface7> back;
        OpenFullScreen(800, 600, c.bits, front, back);
        if (HasFatalFailure()) {
            return;
        }
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
        EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 600);
        HDC screen = GetDC(nullptr);
        EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), static_cast<int>(c.bits));
        ReleaseDC(nullptr, screen);

        DDSURFACEDESC2 desc = EmptyDesc();
        ASSERT_EQ(back->GetSurfaceDesc(&desc), DD_OK);
        EXPECT_EQ(desc.dwWidth, 800u);
        EXPECT_EQ(desc.dwHeight, 600u);
        EXPECT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, c.bits);
        EXPECT_NE(desc.ddsCaps.dwCaps & DDSCAPS_BACKBUFFER, 0u);

        DDBLTFX fx = FillFx(c.red);
        ASSERT_EQ(back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
        // A 2x2 pattern copied at (10, 10) and stretched to 4x4 at (100, 100).
        TRef<IDirectDrawSurface7> pattern(MakeSurface(2, 2, nullptr));
        WritePixels(pattern.Get(), 2, 2, {c.white, c.rgb, c.rgb, c.white});
        ASSERT_EQ(back->BltFast(10, 10, pattern.Get(), nullptr, DDBLTFAST_WAIT), DD_OK);
        RECT stretched{100, 100, 104, 104};
        ASSERT_EQ(back->Blt(&stretched, pattern.Get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
        EXPECT_EQ(PixelAt(back.Get(), 11, 10), c.rgb);
        EXPECT_EQ(PixelAt(back.Get(), 12, 10), c.red);

        ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
        const standin::TScreenImage shown = standin::ReadScreen(nullptr);
        ASSERT_EQ(shown.width, 800);
        ASSERT_EQ(shown.height, 600);
        auto at = [&shown](int x, int y) { return shown.pixels[y * 800 + x]; };
        EXPECT_EQ(at(0, 0), 0xFFFF0000u);
        EXPECT_EQ(at(10, 10), 0xFFFFFFFFu);
        EXPECT_EQ(at(11, 10), c.rgbShown);
        EXPECT_EQ(at(10, 11), c.rgbShown);
        EXPECT_EQ(at(100, 100), 0xFFFFFFFFu);
        EXPECT_EQ(at(101, 101), 0xFFFFFFFFu);
        EXPECT_EQ(at(102, 100), c.rgbShown);
        EXPECT_EQ(at(103, 103), 0xFFFFFFFFu);
        EXPECT_EQ(at(104, 104), 0xFFFF0000u);
        // What the front showed is now the back buffer's.
        EXPECT_EQ(PixelAt(back.Get(), 11, 10), 0u);

        back.Reset();
        front.Reset();
        mDirectDraw.Reset();
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
    }
}

// A window on a 1024x768 desktop: the primary is the whole desktop, a clipper keeps blits in
// the window, and the back buffer is shown with a Blt to the client area on screen.
TEST_F(DirectDraw, WindowedPresentShowsTheBackBufferInTheClientArea) {
    HWND window = MakeWindow(100, 80, 96, 64);
    TRef<IDirectDrawSurface7> primary;
    OpenWindowed(window, primary);
    ASSERT_FALSE(HasFatalFailure());
    DDSURFACEDESC2 desc = EmptyDesc();
    ASSERT_EQ(primary->GetSurfaceDesc(&desc), DD_OK);
    EXPECT_EQ(desc.dwWidth, 1024u);
    EXPECT_EQ(desc.dwHeight, 768u);
    TRef<IDirectDrawClipper> clipper;
    ASSERT_EQ(mDirectDraw->CreateClipper(0, clipper.Out(), nullptr), DD_OK);
    ASSERT_EQ(clipper->SetHWnd(0, window), DD_OK);
    ASSERT_EQ(primary->SetClipper(clipper.Get()), DD_OK);

    TRef<IDirectDrawSurface7> back(
        MakeSurface(96, 64, nullptr, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE));
    DDBLTFX fx = FillFx(0x203040);
    ASSERT_EQ(back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
    RECT band{0, 20, 96, 28};
    fx = FillFx(0xE0C000);
    ASSERT_EQ(back->Blt(&band, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
    // A 4x4 checker of 16-bit pixels, stretched three times onto the 32-bit back buffer.
    const DDPIXELFORMAT r5g6b5 = Format(16, 0xF800, 0x07E0, 0x001F, 0);
    TRef<IDirectDrawSurface7> checker(MakeSurface(4, 4, &r5g6b5));
    std::vector<DWORD> cells(16);
    for (int i = 0; i < 16; ++i) {
        cells[i] = ((i + i / 4) % 2 == 0) ? 0xFFFF : 0x001F;
    }
    WritePixels(checker.Get(), 4, 4, cells);
    RECT big{40, 32, 52, 44};
    ASSERT_EQ(back->Blt(&big, checker.Get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
    ASSERT_EQ(back->BltFast(80, 4, checker.Get(), nullptr, DDBLTFAST_WAIT), DD_OK);

    standin::TakePresentCount();
    RECT onScreen{100, 80, 196, 144};
    DDBLTFX noTearing{};
    noTearing.dwSize = sizeof noTearing;
    noTearing.dwDDFX = DDBLTFX_NOTEARING;
    ASSERT_EQ(primary->Blt(&onScreen, back.Get(), nullptr, DDBLT_WAIT | DDBLT_DDFX, &noTearing),
              DD_OK);
    EXPECT_EQ(standin::TakePresentCount(), 1);

    const standin::TScreenImage shown = standin::ReadScreen(window);
    ASSERT_EQ(shown.width, 96);
    ASSERT_EQ(shown.height, 64);
    auto at = [&shown](int x, int y) { return shown.pixels[y * 96 + x]; };
    EXPECT_EQ(at(0, 0), 0xFF203040u);
    EXPECT_EQ(at(95, 24), 0xFFE0C000u);
    EXPECT_EQ(at(40, 32), 0xFFFFFFFFu);
    EXPECT_EQ(at(43, 32), 0xFF0000FFu);
    EXPECT_EQ(at(44, 35), 0xFFFFFFFFu);
    EXPECT_EQ(at(81, 4), 0xFF0000FFu);
    ddtest::ExpectGolden(shown, "windowed_present.png");
}

TEST_F(DirectDraw, ClipperKeepsBlitsInsideTheWindowsClientArea) {
    HWND window = MakeWindow(200, 100, 50, 40);
    TRef<IDirectDrawSurface7> primary;
    OpenWindowed(window, primary);
    ASSERT_FALSE(HasFatalFailure());
    DDBLTFX fx = FillFx(0x111111);
    ASSERT_EQ(primary->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
    TRef<IDirectDrawClipper> clipper;
    ASSERT_EQ(mDirectDraw->CreateClipper(0, clipper.Out(), nullptr), DD_OK);
    ASSERT_EQ(clipper->SetHWnd(0, window), DD_OK);
    ASSERT_EQ(primary->SetClipper(clipper.Get()), DD_OK);

    TRef<IDirectDrawSurface7> source(MakeSurface(100, 100, nullptr));
    fx = FillFx(0xABCDEF);
    ASSERT_EQ(source->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
    // Larger than the client area on every side.
    RECT around{180, 80, 280, 180};
    ASSERT_EQ(primary->Blt(&around, source.Get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
    ASSERT_EQ(primary->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);

    EXPECT_EQ(PixelAt(primary.Get(), 200, 100), 0xABCDEFu);
    EXPECT_EQ(PixelAt(primary.Get(), 249, 139), 0xABCDEFu);
    for (const POINT outside : {POINT{199, 100}, POINT{200, 99}, POINT{250, 120}, POINT{220, 140},
                                POINT{0, 0}, POINT{1023, 767}}) {
        EXPECT_EQ(PixelAt(primary.Get(), outside.x, outside.y), 0x111111u)
            << outside.x << "," << outside.y;
    }
    // BltFast cannot clip.
    EXPECT_EQ(primary->BltFast(200, 100, source.Get(), nullptr, DDBLTFAST_WAIT),
              DDERR_BLTFASTCANTCLIP);
}

TEST_F(DirectDraw, LostSurfacesRefuseWorkUntilRestored) {
    TRef<IDirectDrawSurface7> front;
    TRef<IDirectDrawSurface7> back;
    OpenFullScreen(800, 600, 32, front, back);
    ASSERT_FALSE(HasFatalFailure());
    TRef<IDirectDrawSurface7> plain(MakeSurface(16, 16, nullptr, DDSCAPS_OFFSCREENPLAIN));
    DDSURFACEDESC2 before = EmptyDesc();
    ASSERT_EQ(plain->GetSurfaceDesc(&before), DD_OK);

    standin::LoseAllSurfaces();
    DDBLTFX fx = FillFx(0);
    DDSURFACEDESC2 locked = EmptyDesc();
    EXPECT_EQ(back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx),
              DDERR_SURFACELOST);
    EXPECT_EQ(back->BltFast(0, 0, plain.Get(), nullptr, DDBLTFAST_WAIT), DDERR_SURFACELOST);
    EXPECT_EQ(plain->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DDERR_SURFACELOST);
    EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACELOST);
    EXPECT_EQ(front->GetFlipStatus(DDGFS_ISFLIPDONE), DDERR_SURFACELOST);
    EXPECT_EQ(plain->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(mDirectDraw->TestCooperativeLevel(), DD_OK);

    ASSERT_EQ(mDirectDraw->RestoreAllSurfaces(), DD_OK);
    EXPECT_EQ(plain->IsLost(), DD_OK);
    EXPECT_EQ(back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
    EXPECT_EQ(back->BltFast(0, 0, plain.Get(), nullptr, DDBLTFAST_WAIT), DD_OK);
    EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    ASSERT_EQ(plain->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(plain->Unlock(nullptr), DD_OK);
    DDSURFACEDESC2 after = EmptyDesc();
    ASSERT_EQ(plain->GetSurfaceDesc(&after), DD_OK);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);

    // Restore on one surface: the front brings its back buffer with it.
    standin::LoseAllSurfaces();
    EXPECT_EQ(front->Restore(), DD_OK);
    EXPECT_EQ(back->IsLost(), DD_OK);
    EXPECT_EQ(plain->IsLost(), DDERR_SURFACELOST);
}

TEST_F(DirectDraw, FocusLossAndModeChangeAnswerTestCooperativeLevel) {
    TRef<IDirectDrawSurface7> front;
    TRef<IDirectDrawSurface7> back;
    OpenFullScreen(800, 600, 16, front, back);
    ASSERT_FALSE(HasFatalFailure());

    standin::SimulateFocusChange(false);
    EXPECT_EQ(mDirectDraw->TestCooperativeLevel(), DDERR_NOEXCLUSIVEMODE);
    EXPECT_EQ(front->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(mDirectDraw->RestoreAllSurfaces(), DDERR_NOEXCLUSIVEMODE);
    standin::SimulateFocusChange(true);
    EXPECT_EQ(mDirectDraw->TestCooperativeLevel(), DD_OK);
    EXPECT_EQ(mDirectDraw->RestoreAllSurfaces(), DD_OK);
    EXPECT_EQ(front->IsLost(), DD_OK);

    standin::SimulateDisplayModeChange(standin::TDisplayMode{1024, 768, 32, 60});
    EXPECT_EQ(mDirectDraw->TestCooperativeLevel(), DDERR_WRONGMODE);
    EXPECT_EQ(front->Restore(), DDERR_WRONGMODE);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
}

TEST_F(DirectDraw, FocusLossOfAWindowedProgramLosesNothing) {
    HWND window = MakeWindow(0, 0, 32, 32);
    *mDirectDraw.Out() = Create();
    ASSERT_EQ(mDirectDraw->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    TRef<IDirectDrawSurface7> plain(MakeSurface(8, 8, nullptr));
    standin::SimulateFocusChange(false);
    EXPECT_EQ(mDirectDraw->TestCooperativeLevel(), DD_OK);
    EXPECT_EQ(plain->IsLost(), DD_OK);
}

TEST_F(DirectDraw, FaultTableFailsTheChosenCall) {
    TRef<IDirectDrawSurface7> front;
    TRef<IDirectDrawSurface7> back;
    OpenFullScreen(800, 600, 32, front, back);
    ASSERT_FALSE(HasFatalFailure());

    standin::SetFault(front.Get(), "IDirectDrawSurface7::Flip", DDERR_WASSTILLDRAWING);
    EXPECT_EQ(back->Flip(nullptr, DDFLIP_WAIT), DDERR_NOTFLIPPABLE); // another object
    EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DDERR_WASSTILLDRAWING);
    EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK); // once

    standin::SetFault(nullptr, "IDirectDrawSurface7::GetFlipStatus", DDERR_WASSTILLDRAWING, false);
    EXPECT_EQ(front->GetFlipStatus(DDGFS_ISFLIPDONE), DDERR_WASSTILLDRAWING);
    EXPECT_EQ(back->GetFlipStatus(DDGFS_ISFLIPDONE), DDERR_WASSTILLDRAWING);
    standin::ClearFaults();
    EXPECT_EQ(front->GetFlipStatus(DDGFS_ISFLIPDONE), DD_OK);

    standin::SetFault(mDirectDraw.Get(), "IDirectDraw7::TestCooperativeLevel",
                      DDERR_EXCLUSIVEMODEALREADYSET);
    EXPECT_EQ(mDirectDraw->TestCooperativeLevel(), DDERR_EXCLUSIVEMODEALREADYSET);
    EXPECT_EQ(mDirectDraw->TestCooperativeLevel(), DD_OK);

    standin::SetFault(nullptr, "DirectDrawCreateEx", E_FAIL);
    void* object = nullptr;
    EXPECT_EQ(DirectDrawCreateEx(nullptr, &object, IID_IDirectDraw7, nullptr), E_FAIL);
    EXPECT_EQ(object, nullptr);
}

TEST_F(DirectDraw, VideoMemoryBudgetRefusesWhatDoesNotFit) {
    standin::SetAdapters({ddtest::ScriptedAdapter(1u << 20)});
    HWND window = MakeWindow(0, 0, 32, 32);
    *mDirectDraw.Out() = Create();
    ASSERT_EQ(mDirectDraw->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    DDSCAPS2 caps{};
    caps.dwCaps = DDSCAPS_VIDEOMEMORY;
    DWORD total = 0;
    DWORD free = 0;
    ASSERT_EQ(mDirectDraw->GetAvailableVidMem(&caps, &total, &free), DD_OK);
    EXPECT_EQ(total, 1u << 20);
    EXPECT_EQ(free, 1u << 20);

    // 256 x 256 x 4 bytes: a quarter of the budget each.
    std::vector<TRef<IDirectDrawSurface7>> held(4);
    for (auto& surface : held) {
        *surface.Out() =
            MakeSurface(256, 256, nullptr, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY);
    }
    ASSERT_EQ(mDirectDraw->GetAvailableVidMem(&caps, &total, &free), DD_OK);
    EXPECT_EQ(free, 0u);
    EXPECT_EQ(standin::UsedVideoMemory(), 1u << 20);

    DDSURFACEDESC2 desc = EmptyDesc();
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = 16;
    desc.dwHeight = 16;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY;
    IDirectDrawSurface7* refused = nullptr;
    EXPECT_EQ(mDirectDraw->CreateSurface(&desc, &refused, nullptr), DDERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(refused, nullptr);
    // Without a memory asked for, it goes to system memory; in system memory it is not charged.
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
    TRef<IDirectDrawSurface7> texture;
    ASSERT_EQ(mDirectDraw->CreateSurface(&desc, texture.Out(), nullptr), DD_OK);
    DDSCAPS2 got{};
    texture->GetCaps(&got);
    EXPECT_NE(got.dwCaps & DDSCAPS_SYSTEMMEMORY, 0u);

    held[0].Reset();
    ASSERT_EQ(mDirectDraw->GetAvailableVidMem(&caps, &total, &free), DD_OK);
    EXPECT_EQ(free, 256u * 256u * 4u);
    DDCAPS driverCaps{};
    driverCaps.dwSize = sizeof driverCaps;
    ASSERT_EQ(mDirectDraw->GetCaps(&driverCaps, nullptr), DD_OK);
    EXPECT_EQ(driverCaps.dwVidMemTotal, 1u << 20);
    EXPECT_EQ(driverCaps.dwVidMemFree, 256u * 256u * 4u);

    // Letting go of the DirectDraw object gives back what its surfaces held.
    mDirectDraw.Reset();
    EXPECT_EQ(standin::UsedVideoMemory(), 0u);
    EXPECT_EQ(held[1]->IsLost(), DDERR_INVALIDOBJECT);
}

TEST_F(DirectDraw, EnumeratesTheScriptedModesAndAdapters) {
    standin::TAdapter second = ddtest::ScriptedAdapter();
    second.guid.Data1 = 0x99;
    second.description = "Second Adapter";
    second.modes = {{1280, 1024, 32, 60}};
    standin::SetAdapters({ddtest::ScriptedAdapter(), second});

    struct TSeen {
        std::vector<std::string> names;
        std::vector<GUID> guids;
    } seen;
    auto collect = [](GUID* guid, char* description, char*, void* context, HMONITOR) -> BOOL {
        auto* into = static_cast<TSeen*>(context);
        into->names.emplace_back(description);
        into->guids.push_back(guid != nullptr ? *guid : GUID{});
        return TRUE;
    };
    ASSERT_EQ(DirectDrawEnumerateExA(collect, &seen, 0), DD_OK);
    EXPECT_EQ(seen.names, (std::vector<std::string>{"Primary Display Driver"}));
    seen = TSeen{};
    ASSERT_EQ(DirectDrawEnumerateExA(collect, &seen, DDENUM_ATTACHEDSECONDARYDEVICES), DD_OK);
    EXPECT_EQ(seen.names, (std::vector<std::string>{"Primary Display Driver", "Scripted Adapter",
                                                    "Second Adapter"}));

    void* object = nullptr;
    ASSERT_EQ(DirectDrawCreateEx(&seen.guids[2], &object, IID_IDirectDraw7, nullptr), DD_OK);
    TRef<IDirectDraw7> onSecond(static_cast<IDirectDraw7*>(object));
    DDDEVICEIDENTIFIER2 identifier{};
    ASSERT_EQ(onSecond->GetDeviceIdentifier(&identifier, 0), DD_OK);
    EXPECT_STREQ(identifier.szDescription, "Second Adapter");
    GUID unknown{0xDEAD, 0, 0, {}};
    EXPECT_EQ(DirectDrawCreateEx(&unknown, &object, IID_IDirectDraw7, nullptr),
              DDERR_INVALIDDIRECTDRAWGUID);

    *mDirectDraw.Out() = Create();
    std::vector<std::string> modes;
    auto listMode = [](DDSURFACEDESC2* desc, void* context) -> HRESULT {
        static_cast<std::vector<std::string>*>(context)->push_back(
            std::to_string(desc->dwWidth) + "x" + std::to_string(desc->dwHeight) + "x" +
            std::to_string(desc->ddpfPixelFormat.dwRGBBitCount) + "@" +
            std::to_string(desc->dwRefreshRate));
        return DDENUMRET_OK;
    };
    ASSERT_EQ(mDirectDraw->EnumDisplayModes(0, nullptr, &modes, listMode), DD_OK);
    EXPECT_EQ(modes, (std::vector<std::string>{"640x480x16@0", "800x600x16@0", "800x600x32@0",
                                               "1024x768x32@0"}));
    modes.clear();
    DDSURFACEDESC2 filter = EmptyDesc();
    filter.dwFlags = DDSD_WIDTH;
    filter.dwWidth = 800;
    ASSERT_EQ(mDirectDraw->EnumDisplayModes(DDEDM_REFRESHRATES, &filter, &modes, listMode), DD_OK);
    EXPECT_EQ(modes, (std::vector<std::string>{"800x600x16@60", "800x600x32@60", "800x600x32@75"}));
}

TEST_F(DirectDraw, SystemMetricsAndDeviceCapsFollowTheDisplayMode) {
    HWND window = MakeWindow(0, 0, 32, 32);
    *mDirectDraw.Out() = Create();
    DDSURFACEDESC2 mode = EmptyDesc();
    ASSERT_EQ(mDirectDraw->GetDisplayMode(&mode), DD_OK);
    EXPECT_EQ(mode.dwWidth, 1024u);
    EXPECT_EQ(mode.ddpfPixelFormat.dwRGBBitCount, 32u);
    EXPECT_EQ(mDirectDraw->SetDisplayMode(640, 480, 16, 0, 0), DDERR_NOEXCLUSIVEMODE);
    ASSERT_EQ(mDirectDraw->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    EXPECT_EQ(mDirectDraw->SetDisplayMode(640, 480, 32, 0, 0), DDERR_INVALIDMODE);
    EXPECT_EQ(mDirectDraw->SetDisplayMode(1024, 768, 15, 0, 0), DDERR_INVALIDMODE);
    ASSERT_EQ(mDirectDraw->SetDisplayMode(640, 480, 16, 0, 0), DD_OK);
    MSG changed{};
    ASSERT_TRUE(PeekMessageA(&changed, window, WM_DISPLAYCHANGE, WM_DISPLAYCHANGE, PM_REMOVE));
    EXPECT_EQ(changed.wParam, 16u);
    EXPECT_EQ(changed.lParam, MAKELPARAM(640, 480));
    ASSERT_EQ(mDirectDraw->GetDisplayMode(&mode), DD_OK);
    EXPECT_EQ(mode.dwWidth, 640u);
    EXPECT_EQ(mode.ddpfPixelFormat.dwRGBBitCount, 16u);
    EXPECT_EQ(mode.ddpfPixelFormat.dwGBitMask, 0x07E0u);
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 640);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 480);
    EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 640);
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 16);
    EXPECT_EQ(mDirectDraw->TestCooperativeLevel(), DD_OK);
    ASSERT_EQ(mDirectDraw->RestoreDisplayMode(), DD_OK);
    ASSERT_TRUE(PeekMessageA(&changed, window, WM_DISPLAYCHANGE, WM_DISPLAYCHANGE, PM_REMOVE));
    EXPECT_EQ(changed.lParam, MAKELPARAM(1024, 768));
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
    EXPECT_EQ(GetDeviceCaps(screen, VERTRES), 768);
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 32);
    ReleaseDC(nullptr, screen);
}

TEST_F(DirectDraw, FifteenBitModesAreSetAndReportedAsSixteenWithFiveBitGreen) {
    standin::TAdapter adapter = ddtest::ScriptedAdapter();
    adapter.modes = {{320, 240, 15, 60}};
    standin::SetAdapters({adapter});
    HWND window = MakeWindow(0, 0, 32, 32);
    *mDirectDraw.Out() = Create();
    ASSERT_EQ(mDirectDraw->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    ASSERT_EQ(mDirectDraw->SetDisplayMode(320, 240, 16, 0, 0), DD_OK);
    DDSURFACEDESC2 mode = EmptyDesc();
    ASSERT_EQ(mDirectDraw->GetDisplayMode(&mode), DD_OK);
    EXPECT_EQ(mode.ddpfPixelFormat.dwRGBBitCount, 16u);
    EXPECT_EQ(mode.ddpfPixelFormat.dwRBitMask, 0x7C00u);
    EXPECT_EQ(mode.ddpfPixelFormat.dwGBitMask, 0x03E0u);
}

TEST_F(DirectDraw, RefusesWhatItCannotDo) {
    HWND window = MakeWindow(0, 0, 32, 32);
    *mDirectDraw.Out() = Create();
    DDSURFACEDESC2 desc = EmptyDesc();
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    IDirectDrawSurface7* surface = nullptr;
    EXPECT_EQ(mDirectDraw->CreateSurface(&desc, &surface, nullptr), DDERR_NOCOOPERATIVELEVELSET);
    EXPECT_EQ(mDirectDraw->SetCooperativeLevel(window, DDSCL_EXCLUSIVE), DDERR_INVALIDPARAMS);
    EXPECT_EQ(mDirectDraw->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN),
              DDERR_NOHWND);
    ASSERT_EQ(mDirectDraw->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);

    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.dwBackBufferCount = 1;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    EXPECT_EQ(mDirectDraw->CreateSurface(&desc, &surface, nullptr), DDERR_NOEXCLUSIVEMODE);
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    TRef<IDirectDrawSurface7> primary;
    ASSERT_EQ(mDirectDraw->CreateSurface(&desc, primary.Out(), nullptr), DD_OK);
    EXPECT_EQ(mDirectDraw->CreateSurface(&desc, &surface, nullptr),
              DDERR_PRIMARYSURFACEALREADYEXISTS);

    const DDPIXELFORMAT paletted = Format(8, 0, 0, 0, 0);
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.dwWidth = 8;
    desc.dwHeight = 8;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    desc.ddpfPixelFormat = paletted;
    EXPECT_EQ(mDirectDraw->CreateSurface(&desc, &surface, nullptr), DDERR_INVALIDPIXELFORMAT);
    desc.dwWidth = 0;
    EXPECT_EQ(mDirectDraw->CreateSurface(&desc, &surface, nullptr), DDERR_INVALIDPARAMS);

    // A second program cannot take the screen while this one has it.
    HWND other = MakeWindow(0, 0, 32, 32);
    ASSERT_EQ(mDirectDraw->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    TRef<IDirectDraw7> second(Create());
    EXPECT_EQ(second->SetCooperativeLevel(other, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN),
              DDERR_EXCLUSIVEMODEALREADYSET);

    TRef<IDirectDrawSurface7> plain(MakeSurface(8, 8, nullptr));
    TRef<IDirectDrawSurface7> small(MakeSurface(4, 4, nullptr));
    RECT outside{6, 6, 10, 10};
    EXPECT_EQ(plain->Blt(&outside, small.Get(), nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
    EXPECT_EQ(plain->BltFast(6, 6, small.Get(), nullptr, DDBLTFAST_WAIT), DDERR_INVALIDRECT);
    RECT empty{2, 2, 2, 4};
    EXPECT_EQ(plain->Blt(&empty, small.Get(), nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
    EXPECT_EQ(plain->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(plain->Unlock(nullptr), DDERR_NOTLOCKED);
    HDC dc = nullptr;
    EXPECT_EQ(plain->GetDC(&dc), DDERR_CANTCREATEDC);
    EXPECT_EQ(plain->Flip(nullptr, DDFLIP_WAIT), DDERR_NOTFLIPPABLE);

    // A surface this thread has locked is busy for the blitter.
    DDSURFACEDESC2 locked = EmptyDesc();
    ASSERT_EQ(plain->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(plain->BltFast(0, 0, small.Get(), nullptr, DDBLTFAST_WAIT), DDERR_SURFACEBUSY);
    EXPECT_EQ(plain->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(plain->Unlock(nullptr), DD_OK);
}

TEST_F(DirectDraw, DepthBufferAttachesToTheBackBuffer) {
    TRef<IDirectDrawSurface7> front;
    TRef<IDirectDrawSurface7> back;
    OpenFullScreen(800, 600, 32, front, back);
    ASSERT_FALSE(HasFatalFailure());
    for (DWORD depth : {16u, 24u, 32u}) {
        DDPIXELFORMAT format{};
        format.dwSize = sizeof format;
        format.dwFlags = DDPF_ZBUFFER;
        format.dwZBufferBitDepth = depth;
        TRef<IDirectDrawSurface7> z(
            MakeSurface(800, 600, &format, DDSCAPS_ZBUFFER | DDSCAPS_VIDEOMEMORY));
        ASSERT_TRUE(z);
        DDPIXELFORMAT got{};
        got.dwSize = sizeof got;
        ASSERT_EQ(z->GetPixelFormat(&got), DD_OK);
        EXPECT_EQ(got.dwZBufferBitDepth, depth);
        ASSERT_EQ(back->AddAttachedSurface(z.Get()), DD_OK);
        EXPECT_EQ(back->AddAttachedSurface(z.Get()), DDERR_SURFACEALREADYATTACHED);
        DDSCAPS2 caps{};
        caps.dwCaps = DDSCAPS_ZBUFFER;
        TRef<IDirectDrawSurface7> found;
        ASSERT_EQ(back->GetAttachedSurface(&caps, found.Out()), DD_OK);
        EXPECT_EQ(found.Get(), z.Get());
        // A new chain for the next depth.
        back.Reset();
        front.Reset();
        DDSURFACEDESC2 desc = EmptyDesc();
        desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
        desc.dwBackBufferCount = 1;
        desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
        ASSERT_EQ(mDirectDraw->CreateSurface(&desc, front.Out(), nullptr), DD_OK);
        caps.dwCaps = DDSCAPS_BACKBUFFER;
        ASSERT_EQ(front->GetAttachedSurface(&caps, back.Out()), DD_OK);
    }
    TRef<IDirectDrawSurface7> plain(MakeSurface(8, 8, nullptr));
    EXPECT_EQ(back->AddAttachedSurface(plain.Get()), DDERR_CANNOTATTACHSURFACE);
}

// The cursor thread draws on its own surfaces and the front buffer while the main thread fills
// and flips: each surface guards its own pixels.
TEST_F(DirectDraw, TwoThreadsBlitAndLockDifferentSurfacesAtOnce) {
    TRef<IDirectDrawSurface7> front;
    TRef<IDirectDrawSurface7> back;
    OpenFullScreen(800, 600, 32, front, back);
    ASSERT_FALSE(HasFatalFailure());
    TRef<IDirectDrawSurface7> saved(MakeSurface(32, 32, nullptr));
    TRef<IDirectDrawSurface7> composite(MakeSurface(32, 32, nullptr));
    TRef<IDirectDrawSurface7> frame(MakeSurface(64, 64, nullptr));

    std::atomic<bool> failed{false};
    std::thread cursor([&] {
        for (int i = 0; i < 100; ++i) {
            RECT under{i % 700, 100, i % 700 + 32, 132};
            DDSURFACEDESC2 desc = EmptyDesc();
            bool ok = saved->BltFast(0, 0, front.Get(), &under, DDBLTFAST_WAIT) == DD_OK &&
                      composite->BltFast(0, 0, saved.Get(), nullptr, DDBLTFAST_WAIT) == DD_OK &&
                      composite->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) == DD_OK;
            if (ok) {
                static_cast<std::uint32_t*>(desc.lpSurface)[0] = 0x00FF00FF;
                ok = composite->Unlock(nullptr) == DD_OK &&
                     front->BltFast(under.left, under.top, composite.Get(), nullptr,
                                    DDBLTFAST_WAIT) == DD_OK;
            }
            if (!ok) {
                failed = true;
            }
        }
    });
    for (int i = 0; i < 100; ++i) {
        DDBLTFX fx = FillFx(static_cast<DWORD>(i));
        EXPECT_EQ(frame->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
        EXPECT_EQ(back->BltFast(0, 0, frame.Get(), nullptr, DDBLTFAST_WAIT), DD_OK);
        EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    }
    cursor.join();
    EXPECT_FALSE(failed);
}

TEST_F(DirectDraw, BlitWaitsForALockHeldByAnotherThread) {
    HWND window = MakeWindow(0, 0, 32, 32);
    *mDirectDraw.Out() = Create();
    ASSERT_EQ(mDirectDraw->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    TRef<IDirectDrawSurface7> target(MakeSurface(8, 8, nullptr));
    TRef<IDirectDrawSurface7> source(MakeSurface(8, 8, nullptr));
    DDBLTFX fx = FillFx(0x123456);
    ASSERT_EQ(source->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);

    std::mutex mutex;
    std::condition_variable changed;
    int stage = 0;
    std::thread holder([&] {
        DDSURFACEDESC2 desc = EmptyDesc();
        EXPECT_EQ(target->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
        std::unique_lock<std::mutex> hold(mutex);
        stage = 1;
        changed.notify_all();
        changed.wait(hold, [&] { return stage == 2; });
        EXPECT_EQ(target->Unlock(nullptr), DD_OK);
    });
    {
        std::unique_lock<std::mutex> hold(mutex);
        changed.wait(hold, [&] { return stage == 1; });
    }
    EXPECT_EQ(target->Blt(nullptr, source.Get(), nullptr, DDBLT_DONOTWAIT, nullptr),
              DDERR_WASSTILLDRAWING);
    DDSURFACEDESC2 desc = EmptyDesc();
    EXPECT_EQ(target->Lock(nullptr, &desc, 0, nullptr), DDERR_WASSTILLDRAWING);
    {
        std::lock_guard<std::mutex> hold(mutex);
        stage = 2;
        changed.notify_all();
    }
    // Waits, however the threads are scheduled, until the holder lets go.
    EXPECT_EQ(target->Blt(nullptr, source.Get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
    holder.join();
    EXPECT_EQ(PixelAt(target.Get(), 7, 7), 0x123456u);
}

// What another thread writes to the primary shows once the main thread pumps its messages.
TEST_F(DirectDraw, PrimaryWrittenFromAnotherThreadShowsAtTheNextPump) {
    HWND window = MakeWindow(10, 10, 16, 16);
    TRef<IDirectDrawSurface7> primary;
    OpenWindowed(window, primary);
    ASSERT_FALSE(HasFatalFailure());
    TRef<IDirectDrawSurface7> dot(MakeSurface(1, 1, nullptr));
    DDBLTFX fx = FillFx(0xFF8000);
    ASSERT_EQ(dot->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
    // Any pump shows what changed; this one takes the new primary's first picture.
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    standin::TakePresentCount();

    std::thread drawer(
        [&] { EXPECT_EQ(primary->BltFast(12, 12, dot.Get(), nullptr, DDBLTFAST_WAIT), DD_OK); });
    drawer.join();
    EXPECT_EQ(standin::TakePresentCount(), 0);
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    EXPECT_EQ(standin::TakePresentCount(), 1);
    EXPECT_EQ(standin::ReadScreen(window).pixels[2 * 16 + 2], 0xFFFF8000u);
    // Nothing changed since: the next pump shows nothing new.
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    EXPECT_EQ(standin::TakePresentCount(), 0);
}

} // namespace
