// Texture surfaces: how they are made, pixel conversion both ways, blits to the back buffer,
// clearing and restoring after a display reset.
#include "engine/media/dxtexturedata.h"
#include "platform/directx/d3dx.h"
#include "tests/engine/media/texture_fixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

using texture_test::SolidPng;
using texture_test::TBytes;

class DxTextureDataTest : public texture_test::TTextureTest {
protected:
    // The raw value of one pixel of the data's surface, `bytes` wide.
    static uint32_t RawPixel(const TDxTextureData& data, int x, int y, int bytes) {
        IDirectDrawSurface7* surface = data.GetSurface();
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        EXPECT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
        uint32_t value = 0;
        const ptrdiff_t offset = static_cast<ptrdiff_t>(desc.lPitch) * y + ptrdiff_t{x} * bytes;
        std::memcpy(&value, static_cast<const uint8_t*>(desc.lpSurface) + offset,
                    static_cast<size_t>(bytes));
        surface->Unlock(nullptr);
        return value;
    }

    static DDPIXELFORMAT FormatOf(const TDxTextureData& data) {
        DDPIXELFORMAT format{};
        format.dwSize = sizeof format;
        EXPECT_EQ(data.GetSurface()->GetPixelFormat(&format), DD_OK);
        return format;
    }

    static uint32_t ScreenPixel(const standin::TScreenImage& image, int x, int y) {
        return image.pixels.at(static_cast<size_t>(y) * static_cast<size_t>(image.width) +
                               static_cast<size_t>(x));
    }
};

TEST_F(DxTextureDataTest, SquareDevicesGetSquareSurfacesWithOffsets) {
    struct TCase {
        int width;
        int height;
        uint8_t flags;
        bool square;
        int surfaceWidth;
        int surfaceHeight;
        int offsetX;
        int offsetY;
    };
    const std::vector<TCase> cases = {
        {100, 30, 0, true, 128, 128, 14, 49},
        // Sides start at 2.
        {1, 8, 0, true, 8, 8, 3, 0},
        {100, 30, TTextureData::kSimple, true, 100, 30, 0, 0},
        // The utility library makes powers of two; the offsets say by how much it grew.
        {100, 30, 0, false, 128, 32, 14, 1},
        {64, 64, TTextureData::kAlpha | TTextureData::kMipMap, true, 64, 64, 0, 0},
    };
    OpenDisplay();
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " flags " << int{c.flags}
                                        << (c.square ? " square" : ""));
        Data().mSquareTextures = c.square;
        auto data = NewData(c.flags);
        ASSERT_TRUE(data->CreateSurface(c.width, c.height, false));
        ASSERT_NE(data->GetSurface(), nullptr);
        EXPECT_EQ(data->GetWidth(), c.width);
        EXPECT_EQ(data->GetHeight(), c.height);
        EXPECT_EQ(data->GetSurfaceWidth(), c.surfaceWidth);
        EXPECT_EQ(data->GetSurfaceHeight(), c.surfaceHeight);
        EXPECT_EQ(data->GetOffsetX(), c.offsetX);
        EXPECT_EQ(data->GetOffsetY(), c.offsetY);
        EXPECT_EQ(data->IsManaged(), (c.flags & TTextureData::kSimple) == 0);
    }
}

TEST_F(DxTextureDataTest, CreationWithoutAWorkingDisplay) {
    auto data = NewData();
    // No renderer, then a renderer without a display.
    EXPECT_FALSE(data->CreateSurface(16, 16, false));
    TRenderer::Instance();
    EXPECT_FALSE(data->CreateSurface(16, 16, false));

    OpenDisplay();
    // A refused creation counts as done while the display is lost, or for the one result the
    // next restore repairs.
    standin::SetFault(nullptr, "D3DXCreateTexture", DDERR_OUTOFMEMORY, false);
    EXPECT_FALSE(data->CreateSurface(16, 16, false));
    Data().mLost = true;
    EXPECT_TRUE(data->CreateSurface(16, 16, false));
    EXPECT_EQ(data->GetSurface(), nullptr);
    Data().mLost = false;
    standin::ClearFaults();
    standin::SetFault(nullptr, "D3DXCreateTexture", DDERR_UNSUPPORTEDMODE, true);
    EXPECT_TRUE(data->CreateSurface(16, 16, false));
    EXPECT_EQ(data->GetSurface(), nullptr);
    EXPECT_NE(LogText().find("DX Error:  (0x8876024e), File .\\dxtexturedata"), std::string::npos)
        << LogText();
}

TEST_F(DxTextureDataTest, UploadConvertsToTheSurfaceFormat) {
    // Alpha 0x80, red 0xFF, green 0x80, blue 0x40; and 0x12, 0x34, 0x56, 0x78.
    const uint32_t pixels[] = {0x80FF8040u, 0x12345678u};
    struct TCase {
        const char* name;
        int desktopBits;
        uint8_t flags;
        // Refused creations before the one that works.
        int refusals;
        DWORD bits;
        DWORD alphaMask;
        uint32_t expected[2];
    };
    constexpr uint8_t kAlphaSimple = TTextureData::kSimple | TTextureData::kAlpha;
    const std::vector<TCase> cases = {
        // 5-6-5: red 0xFF >> 3 = 31, green 0x80 >> 2 = 32, blue 0x40 >> 3 = 8.
        {"R5G6B5", 16, TTextureData::kSimple, 0, 16, 0, {0xFC08, 0x32AF}},
        {"A4R4G4B4", 16, kAlphaSimple, 0, 16, 0xF000, {0x8F84, 0x1357}},
        {"R8G8B8", 24, TTextureData::kSimple, 0, 24, 0, {0xFF8040, 0x345678}},
        // No alpha format at 24 bits, and both 32-bit ones refused: a texture in the display's
        // format, which drops alpha.
        {"R8G8B8 with alpha", 24, kAlphaSimple, 2, 24, 0, {0xFF8040, 0x345678}},
        {"X8R8G8B8 without alpha sets the top byte",
         32,
         TTextureData::kSimple,
         0,
         32,
         0,
         {0xFFFF8040, 0xFF345678}},
        {"A8R8G8B8", 32, kAlphaSimple, 0, 32, 0xFF000000u, {0x80FF8040, 0x12345678}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        OpenDisplay(c.desktopBits);
        const size_t logStart = LogText().size();
        for (int i = 0; i < c.refusals; ++i) {
            standin::SetFault(Data().mDirectDraw, "IDirectDraw7::CreateSurface", DDERR_GENERIC);
        }
        auto data = NewData(c.flags);
        ASSERT_TRUE(data->CreateSurface(2, 1, false));
        EXPECT_EQ(LogText().find("SURFACE request FAILED to get DDPF_ALPHAPIXELS.", logStart) !=
                      std::string::npos,
                  c.refusals > 0);
        const DDPIXELFORMAT format = FormatOf(*data);
        EXPECT_EQ(format.dwRGBBitCount, c.bits);
        EXPECT_EQ((format.dwFlags & DDPF_ALPHAPIXELS) != 0 ? format.dwRGBAlphaBitMask : 0,
                  c.alphaMask);
        ASSERT_TRUE(data->Upload(2, 1, pixels));
        const int bytes = static_cast<int>(c.bits / 8);
        EXPECT_EQ(RawPixel(*data, 0, 0, bytes), c.expected[0]);
        EXPECT_EQ(RawPixel(*data, 1, 0, bytes), c.expected[1]);
        data.reset();
        TRenderer::Destroy();
        ForgetTexturePixelFormat();
    }
}

TEST_F(DxTextureDataTest, ManagedUploadsTakeTheWholeBuffer) {
    OpenDisplay();
    auto data = NewData(TTextureData::kAlpha);
    ASSERT_TRUE(data->CreateSurface(2, 2, false));
    // The image is 2 x 2, yet the utility library takes every pixel handed over.
    const uint32_t pixels[] = {0x11223344u, 0x55667788u, 0x99AABBCCu, 0xDDEEFF00u};
    ASSERT_TRUE(data->Upload(2, 2, pixels));
    EXPECT_EQ(SurfacePixel(*data, 1, 1), 0xDDEEFF00u);
    // A refused upload is logged and still counts.
    standin::SetFault(nullptr, "D3DXLoadTextureFromMemory", DDERR_GENERIC, true);
    EXPECT_TRUE(data->Upload(2, 2, pixels));
    EXPECT_NE(LogText().find("Line 131"), std::string::npos);
    data->ReleaseSurface();
    EXPECT_FALSE(data->Upload(2, 2, pixels));
}

TEST_F(DxTextureDataTest, LockHandsOutPixelsAndUnlockWritesThemBack) {
    OpenDisplay(16);
    auto data = NewData(TTextureData::kSimple);
    ASSERT_TRUE(data->CreateSurface(3, 2, false));
    const uint32_t pixels[] = {0x80FF8040u, 0, 0, 0, 0, 0x00FFFFFFu};
    ASSERT_TRUE(data->Upload(3, 2, pixels));
    uint32_t* locked = nullptr;
    int pitch = 0;
    ASSERT_TRUE(data->Lock(&locked, &pitch));
    EXPECT_EQ(pitch, 3);
    // A copy: the surface itself stays unlocked.
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    EXPECT_EQ(data->GetSurface()->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    data->GetSurface()->Unlock(nullptr);
    // 0xFC08 read back: each channel's top bit on bit 7; no alpha in the data, so 255.
    EXPECT_EQ(locked[0], 0xFFF88040u);
    EXPECT_EQ(locked[pitch + 2], 0xFFF8FCF8u);
    locked[1] = 0xFF00FF00u;
    data->Unlock();
    EXPECT_EQ(RawPixel(*data, 1, 0, 2), 0x07E0u);
    EXPECT_EQ(RawPixel(*data, 0, 0, 2), 0xFC08u);

    // An A8R8G8B8 surface hands out its own memory.
    TRenderer::Destroy();
    ForgetTexturePixelFormat();
    OpenDisplay(32);
    auto argb = NewData(TTextureData::kSimple | TTextureData::kAlpha);
    ASSERT_TRUE(argb->CreateSurface(4, 4, true));
    ASSERT_TRUE(argb->Lock(&locked, &pitch));
    EXPECT_EQ(pitch, 4);
    EXPECT_EQ(argb->GetSurface()->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    locked[pitch * 3 + 2] = 0x12345678u;
    argb->Unlock();
    EXPECT_EQ(RawPixel(*argb, 2, 3, 4), 0x12345678u);

    auto empty = NewData();
    EXPECT_FALSE(empty->Lock(&locked, &pitch));
}

TEST_F(DxTextureDataTest, ReadPixelsCutsToTheImageAndTheBuffer) {
    OpenDisplay(32);
    auto data = NewData(TTextureData::kSimple | TTextureData::kAlpha);
    ASSERT_TRUE(data->CreateSurface(4, 4, true));
    const uint32_t pixels[16] = {0x01020304u, 0x05060708u, 0, 0, 0x090A0B0Cu};
    ASSERT_TRUE(data->Upload(4, 4, pixels));
    std::vector<uint32_t> out(6, 0xDEADBEEFu);
    ASSERT_TRUE(data->ReadPixels(out.data(), 3, 2));
    EXPECT_EQ(out, (std::vector<uint32_t>{0x01020304u, 0x05060708u, 0, 0x090A0B0Cu, 0, 0}));
}

TEST_F(DxTextureDataTest, AlphaFormatIsChosenOncePerDisplay) {
    // The device's 16-bit alpha formats: the first, replaced by one with more alpha bits.
    OpenDisplay(16);
    auto data = NewData(TTextureData::kSimple | TTextureData::kAlpha);
    ASSERT_TRUE(data->CreateSurface(2, 2, false));
    EXPECT_EQ(FormatOf(*data).dwRGBAlphaBitMask, 0xF000u);

    // The choice stays until it is forgotten: a format put in its place is used as it is.
    DDPIXELFORMAT a1r5g5b5{};
    a1r5g5b5.dwSize = sizeof a1r5g5b5;
    a1r5g5b5.dwFlags = DDPF_RGB | DDPF_ALPHAPIXELS;
    a1r5g5b5.dwRGBBitCount = 16;
    a1r5g5b5.dwRBitMask = 0x7C00;
    a1r5g5b5.dwGBitMask = 0x03E0;
    a1r5g5b5.dwBBitMask = 0x001F;
    a1r5g5b5.dwRGBAlphaBitMask = 0x8000;
    TRenderer::Instance()->GetDisplayHandler().GetData().mAlphaFormat.format = a1r5g5b5;
    ASSERT_TRUE(data->CreateSurface(2, 2, false));
    EXPECT_EQ(FormatOf(*data).dwRGBAlphaBitMask, 0x8000u);
    ForgetTexturePixelFormat();
    ASSERT_TRUE(data->CreateSurface(2, 2, false));
    EXPECT_EQ(FormatOf(*data).dwRGBAlphaBitMask, 0xF000u);
    data.reset();
    TRenderer::Destroy();

    // A device that lists only 1-bit alpha.
    standin::TAdapter adapter = display_test::Adapter();
    adapter.textureFormats = {a1r5g5b5};
    standin::SetAdapters({adapter});
    OpenDisplay(16);
    data = NewData(TTextureData::kSimple | TTextureData::kAlpha);
    ASSERT_TRUE(data->CreateSurface(2, 2, false));
    EXPECT_EQ(FormatOf(*data).dwRGBAlphaBitMask, 0x8000u);
    data.reset();
    TRenderer::Destroy();

    // None at the display's depth: the display's format with 8 bits of alpha.
    adapter.textureFormats = {a1r5g5b5};
    standin::SetAdapters({adapter});
    OpenDisplay(32);
    data = NewData(TTextureData::kSimple | TTextureData::kAlpha);
    ASSERT_TRUE(data->CreateSurface(2, 2, false));
    EXPECT_EQ(FormatOf(*data).dwRGBAlphaBitMask, 0xFF000000u);
    EXPECT_EQ(LogText().find("SURFACE request FAILED"), std::string::npos);
}

TEST_F(DxTextureDataTest, ShortVideoMemoryIsReported) {
    // Enough for the window's buffers, not for a 1024 x 1024 surface beside them.
    standin::TAdapter adapter = display_test::Adapter();
    adapter.videoMemory = 3u << 20;
    standin::SetAdapters({adapter});
    OpenDisplay(32, 64, 48);
    auto data = NewData(TTextureData::kSimple);
    // Video memory runs out, so the surface goes to system memory.
    ASSERT_TRUE(data->CreateSurface(1024, 1024, false));
    ASSERT_NE(data->GetSurface(), nullptr);
    DDSCAPS2 caps{};
    ASSERT_EQ(data->GetSurface()->GetCaps(&caps), DD_OK);
    EXPECT_NE(caps.dwCaps & DDSCAPS_SYSTEMMEMORY, 0u);
    const std::string log = LogText();
    EXPECT_NE(log.find("TDxTextureData::CreateSurface: Out of Memory in 32 bit mode. Tagging to "
                       "restart."),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("DX Error:  (0x8876017c), File .\\dxtexturedata"), std::string::npos);
    // The display goes into low-video-memory mode for good.
    EXPECT_NE(log.find("OutOfVideoMemory triggered!"), std::string::npos);
    EXPECT_TRUE(Data().mLowMemoryVideo);

    // The utility library answers with a 16-bit format on a 32-bit display.
    data.reset();
    TRenderer::Destroy();
    std::filesystem::remove(mCommon.Path() / "display.xml");
    DDPIXELFORMAT r5g6b5{};
    r5g6b5.dwSize = sizeof r5g6b5;
    r5g6b5.dwFlags = DDPF_RGB;
    r5g6b5.dwRGBBitCount = 16;
    r5g6b5.dwRBitMask = 0xF800;
    r5g6b5.dwGBitMask = 0x07E0;
    r5g6b5.dwBBitMask = 0x001F;
    adapter = display_test::Adapter();
    adapter.textureFormats = {r5g6b5};
    standin::SetAdapters({adapter});
    OpenDisplay(32);
    const size_t logStart = LogText().size();
    auto managed = NewData();
    ASSERT_TRUE(managed->CreateSurface(8, 8, false));
    EXPECT_NE(LogText().find("OutOfVideoMemory triggered!", logStart), std::string::npos);
    EXPECT_NE(LogText().find("D3DXCreateTexture::CreateSurface: Created a 16 bit texture when "
                             "requesting 32 bits. Switching to 16 bit mode"),
              std::string::npos);
}

TEST_F(DxTextureDataTest, BlitCopiesToTheBackBuffer) {
    OpenDisplay(32, 64, 48);
    auto data = NewData(TTextureData::kSimple);
    ASSERT_TRUE(data->CreateSurface(4, 4, false));
    std::vector<uint32_t> pixels(16);
    for (size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = 0xFF000000u | static_cast<uint32_t>(0x10 * (i + 1));
    }
    ASSERT_TRUE(data->Upload(4, 4, pixels.data()));
    IDirectDrawSurface7* back = Data().mScreenTarget;

    data->Blit(10, 20, nullptr, nullptr);
    standin::TScreenImage screen = standin::ReadSurface(back);
    EXPECT_EQ(ScreenPixel(screen, 10, 20), 0xFF000010u);
    EXPECT_EQ(ScreenPixel(screen, 13, 23), 0xFF000100u);
    EXPECT_EQ(ScreenPixel(screen, 14, 23), 0xFF000000u);

    const TRect source{1, 1, 3, 2};
    data->Blit(30, 5, &source, nullptr);
    screen = standin::ReadSurface(back);
    EXPECT_EQ(ScreenPixel(screen, 30, 5), 0xFF000060u);
    EXPECT_EQ(ScreenPixel(screen, 31, 5), 0xFF000070u);
    EXPECT_EQ(ScreenPixel(screen, 32, 5), 0xFF000000u);
    EXPECT_EQ(ScreenPixel(screen, 30, 6), 0xFF000000u);

    // Embedded at scale 2: the source rectangle itself, doubled; the position is not used.
    MakeRecord(true, 2.0f);
    data->Blit(50, 40, &source, nullptr);
    screen = standin::ReadSurface(back);
    EXPECT_EQ(ScreenPixel(screen, 2, 2), 0xFF000060u);
    EXPECT_EQ(ScreenPixel(screen, 5, 3), 0xFF000070u);
    EXPECT_EQ(ScreenPixel(screen, 6, 2), 0xFF000000u);
}

TEST_F(DxTextureDataTest, FailedBlitsLogOnceAndLostOnesMarkTheDisplay) {
    OpenDisplay(32, 64, 48);
    MakeRecord(false);
    auto data = NewData(TTextureData::kSimple);
    ASSERT_TRUE(data->CreateSurface(4, 4, false));

    standin::SetFault(nullptr, "IDirectDrawSurface7::BltFast", DDERR_GENERIC, false);
    data->Blit(0, 0, nullptr, nullptr);
    data->Blit(0, 0, nullptr, nullptr);
    std::string log = LogText();
    EXPECT_NE(log.find("Line 161"), std::string::npos) << log;
    EXPECT_EQ(log.find("Line 161"), log.rfind("Line 161"));
    standin::ClearFaults();
    EXPECT_FALSE(Data().mLost);

    standin::AdvanceTime(1000);
    standin::LoseAllSurfaces();
    data->Blit(0, 0, nullptr, nullptr);
    EXPECT_TRUE(Data().mLost);

    // Without a surface nothing happens.
    Data().mLost = false;
    data->ReleaseSurface();
    data->Blit(0, 0, nullptr, nullptr);
    EXPECT_FALSE(Data().mLost);
}

TEST_F(DxTextureDataTest, ClearFillsWithZeroAndRestoresALostSurface) {
    OpenDisplay(32);
    auto data = NewData(TTextureData::kSimple);
    ASSERT_TRUE(data->CreateSurface(2, 2, false));
    const uint32_t pixels[] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
    ASSERT_TRUE(data->Upload(2, 2, pixels));
    data->Clear();
    EXPECT_EQ(RawPixel(*data, 1, 1, 4), 0u);

    standin::LoseAllSurfaces();
    data->Clear();
    EXPECT_EQ(data->GetSurface()->IsLost(), DD_OK);
    EXPECT_EQ(RawPixel(*data, 0, 0, 4), 0u);
    EXPECT_EQ(RawPixel(*data, 1, 1, 4), 0u);
}

TEST_F(DxTextureDataTest, RestoreReloadsOrGivesUp) {
    OpenDisplay();
    MakeRecord(false);
    AddFile("r/a.png", SolidPng(4, 4, {1, 2, 3}));
    AddFile("r/m.png", SolidPng(4, 4, {0x80, 0, 0}));

    auto data = NewData(TTextureData::kAlpha);
    ASSERT_TRUE(data->LoadImage("r/a", "r/m"));
    data->ReleaseSurface();
    ASSERT_TRUE(data->Restore());
    EXPECT_EQ(SurfacePixel(*data, 0, 0), 0x80010203u);

    // The display set-up gets no request to restore for files that cannot load again.
    struct TCase {
        const char* name;
        std::function<void()> spoil;
    };
    const std::vector<TCase> cases = {
        {"deleted", [&] { RemoveFile("r/a.png"); }},
        {"mask deleted", [&] { RemoveFile("r/m.png"); }},
        {"no longer decodes", [&] { AddFile("r/a.png", TBytes(30, 9)); }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        AddFile("r/a.png", SolidPng(4, 4, {1, 2, 3}));
        AddFile("r/m.png", SolidPng(4, 4, {0x80, 0, 0}));
        c.spoil();
        data->ReleaseSurface();
        EXPECT_FALSE(data->Restore());
        EXPECT_FALSE(Data().mLost);
        EXPECT_NE(LogText().find("TDxTextureData::Restore: Failed to restore from file r/a.png "
                                 "and r/m.png."),
                  std::string::npos);
    }

    auto single = NewData();
    AddFile("r/a.png", SolidPng(4, 4, {1, 2, 3}));
    ASSERT_TRUE(single->LoadImage("r/a.png", ""));
    RemoveFile("r/a.png");
    EXPECT_FALSE(single->Restore());
    EXPECT_NE(LogText().find("TDxTextureData::Restore: Failed to restore from file r/a.png."),
              std::string::npos);
    EXPECT_FALSE(Data().mLost);
}

TEST_F(DxTextureDataTest, RestoreAsksForAnotherWhenTheSurfaceCannotBeMade) {
    OpenDisplay();
    MakeRecord(false);
    AddFile("r/a.png", SolidPng(4, 4, {1, 2, 3}));
    auto data = NewData();
    ASSERT_TRUE(data->LoadImage("r/a.png", ""));
    data->ReleaseSurface();

    standin::SetFault(nullptr, "D3DXCreateTexture", DDERR_OUTOFMEMORY, false);
    standin::AdvanceTime(1000);
    EXPECT_FALSE(data->Restore());
    EXPECT_TRUE(Data().mLost);
    const uint32_t lostAt = Data().mLostTime;
    // The display's restore clears the flag; the next failure within 250 ms does not set it.
    Data().mLost = false;
    standin::AdvanceTime(100);
    EXPECT_FALSE(data->Restore());
    EXPECT_FALSE(Data().mLost);
    standin::AdvanceTime(200);
    EXPECT_FALSE(data->Restore());
    EXPECT_TRUE(Data().mLost);
    EXPECT_EQ(Data().mLostTime, lostAt + 300);

    standin::ClearFaults();
    Data().mLost = false;
    EXPECT_TRUE(data->Restore());
    EXPECT_EQ(SurfacePixel(*data, 3, 3), 0xFF010203u);
}

TEST_F(DxTextureDataTest, RestoreRecreatesASurfaceWithoutAFile) {
    OpenDisplay();
    MakeRecord(false);
    auto data = NewData(TTextureData::kAlpha);
    ASSERT_TRUE(data->CreateSurface(64, 32, true));
    data->ReleaseSurface();
    ASSERT_TRUE(data->Restore());
    ASSERT_NE(data->GetSurface(), nullptr);
    EXPECT_EQ(data->GetSurfaceWidth(), 64);
    EXPECT_EQ(data->GetSurfaceHeight(), 32);

    data->ReleaseSurface();
    standin::SetFault(nullptr, "D3DXCreateTexture", DDERR_OUTOFMEMORY, true);
    standin::AdvanceTime(1000);
    EXPECT_FALSE(data->Restore());
    EXPECT_TRUE(Data().mLost);
    EXPECT_NE(LogText().find("TDxTextureData::Restore: Failed to restore 64x32 texture"),
              std::string::npos);
}

TEST_F(DxTextureDataTest, ImageFileExistsLooksPastOptionsAndExtensions) {
    AddFile("e/a.png", SolidPng(1, 1, {0, 0, 0}));
    AddFile("e/b.jpg", TBytes(4, 0));
    AddFile("e/c", TBytes(4, 0));
    EXPECT_TRUE(TDxTextureData::ImageFileExists("e/a.png?alpha"));
    EXPECT_TRUE(TDxTextureData::ImageFileExists("e/a?slow?alpha"));
    EXPECT_TRUE(TDxTextureData::ImageFileExists("e/b"));
    EXPECT_TRUE(TDxTextureData::ImageFileExists("e/c"));
    EXPECT_FALSE(TDxTextureData::ImageFileExists("e/d"));
    EXPECT_FALSE(TDxTextureData::ImageFileExists("e/a.jpg"));
}

TEST_F(DxTextureDataTest, TheDisplayHandlerMakesTextureData) {
    TDxDisplayHandler& handler = OpenDisplay();
    std::unique_ptr<TTextureData> data(handler.CreateTextureData());
    ASSERT_NE(dynamic_cast<TDxTextureData*>(data.get()), nullptr);
    EXPECT_EQ(data->GetFlags(), 0);
    EXPECT_EQ(data->GetFileName(), str());
}

} // namespace
