#include "engine/media/directx.h"

#include "engine/core/settings.h"
#include "tests/engine/media/display_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

using display_test::Adapter;

standin::TDevice3DDesc Device(const char* name, DWORD guidTag, bool hardware, bool transform) {
    standin::TDevice3DDesc device = standin::DefaultDevice3D();
    device.description = name;
    device.name = name;
    device.desc.deviceGUID = GUID{guidTag, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
    if (!hardware) {
        device.desc.dwDevCaps &= ~D3DDEVCAPS_HWRASTERIZATION;
    }
    if (!transform) {
        device.desc.dwDevCaps &= ~D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    }
    return device;
}

class DxContextTest : public display_test::TDisplayTest {
protected:
    void SetUp() override {
        TDisplayTest::SetUp();
        mWindow = MakeWindow(320, 240);
    }
    void TearDown() override {
        mContext.reset();
        TDisplayTest::TearDown();
    }

    // Scripts the adapter's devices, then makes the context (which reads the desktop).
    TDXContext& Make(const std::vector<standin::TDevice3DDesc>& devices = {},
                     const char* description = "Scripted Adapter") {
        standin::TAdapter adapter = Adapter();
        adapter.devices = devices;
        adapter.description = description;
        standin::SetAdapters({adapter});
        mContext = std::make_unique<TDXContext>();
        return *mContext;
    }

    bool Windowed(int width = 320, int height = 240) {
        return mContext->Create(mWindow, false, width, height, 32, TDXContext::kAlways);
    }
    bool FullScreen() { return mContext->Create(mWindow, true, 800, 600, 32, TDXContext::kAlways); }

    DWORD ChosenTag() const { return mContext->GetDeviceDesc().deviceGUID.Data1; }

    HWND mWindow = nullptr;
    std::unique_ptr<TDXContext> mContext;
};

TEST_F(DxContextTest, DeviceChoice) {
    struct TCase {
        const char* name;
        std::vector<standin::TDevice3DDesc> devices;
        bool embedded;
        bool created;
        DWORD chosen;
        bool hardware;
    };
    standin::TDevice3DDesc noGouraud = Device("flat", 9, true, true);
    noGouraud.desc.dpcTriCaps.dwShadeCaps &= ~D3DPSHADECAPS_COLORGOURAUDRGB;
    standin::TDevice3DDesc no32 = Device("no32", 8, true, true);
    no32.desc.dwDeviceRenderBitDepth = DDBD_16;
    const std::vector<TCase> cases = {
        {"first hardware T&L wins",
         {Device("hal", 1, true, false), Device("tnl", 2, true, true),
          Device("tnl2", 3, true, true)},
         false,
         true,
         2,
         true},
        {"without T&L the last accepted wins",
         {Device("hal", 1, true, false), Device("hal2", 4, true, false), noGouraud},
         false,
         true,
         4,
         true},
        {"wrong render depth is passed over",
         {Device("hal", 1, true, false), no32},
         false,
         true,
         1,
         true},
        {"software only fails", {Device("rgb", 5, false, false)}, false, false, 0, false},
        {"software only is taken when embedded",
         {Device("rgb", 5, false, false)},
         true,
         true,
         5,
         false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.embedded) {
            MakeRecord(true);
        }
        Make(c.devices);
        ASSERT_EQ(Windowed(), c.created);
        if (c.created) {
            EXPECT_EQ(ChosenTag(), c.chosen);
            EXPECT_EQ(mContext->IsHardware(), c.hardware);
            ASSERT_NE(mContext->GetDevice(), nullptr);
            EXPECT_NE(mContext->GetDirect3D(), nullptr);
        } else {
            EXPECT_EQ(mContext->GetDevice(), nullptr);
            EXPECT_NE(
                LogText().find("TDXContext::Create failed! Could not find a hardware renderer."),
                std::string::npos);
        }
        mContext.reset();
        delete mPlatform;
        mPlatform = nullptr;
    }
}

TEST_F(DxContextTest, SmallTextureLimitFailsAfterTheDeviceWasMade) {
    standin::TDevice3DDesc device = Device("small", 1, true, true);
    device.desc.dwMaxTextureWidth = 512;
    device.desc.dwMaxTextureHeight = 512;
    Make({device});
    EXPECT_FALSE(Windowed());
    EXPECT_NE(LogText().find(
                  "TDXContext::Create - context does not support 1024x1024 textures! Failing!"),
              std::string::npos);
    EXPECT_EQ(mContext->GetDevice(), nullptr);
    EXPECT_EQ(mContext->GetDirectDraw(), nullptr);
}

TEST_F(DxContextTest, BrokenIndexedVerticesAdapters) {
    struct TCase {
        const char* description;
        bool broken;
    };
    const std::vector<TCase> cases = {
        {"Intel 82845G Graphics", true}, {"Intel(R) 82810E Chipset", true},
        {"Intel G 965 Express", true},   {"Intel GMA 965", false},
        {"Intel G965 Express", false},   {"Other 82845 Graphics", false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.description);
        ClearSettings();
        Make({}, c.description);
        ASSERT_TRUE(Windowed());
        EXPECT_EQ(GetSetting("brokenindexedverts") == str("1"), c.broken);
        mContext.reset();
    }
}

TEST_F(DxContextTest, PalettedDesktops) {
    SetDesktopBits(4);
    Make();
    EXPECT_EQ(mContext->GetDesktopColors(), 16);
    EXPECT_FALSE(Windowed());
    EXPECT_TRUE(mContext->IsPalettedFatal());
    EXPECT_FALSE(FullScreen());

    SetDesktopBits(8);
    Make();
    EXPECT_EQ(mContext->GetDesktopColors(), 256);
    EXPECT_FALSE(Windowed());
    EXPECT_TRUE(FullScreen());
    EXPECT_FALSE(mContext->IsPalettedFatal());
}

TEST_F(DxContextTest, WindowMustBeSmallerThanTheDesktopUnlessEmbedded) {
    Make();
    EXPECT_FALSE(Windowed(1024, 700));
    EXPECT_FALSE(Windowed(1000, 768));
    EXPECT_TRUE(Windowed(1000, 700));
    mContext.reset();

    // Embedded, the window is scaled by the viewport scale and may be as large as it likes.
    MakeRecord(true, 1.5f);
    Make();
    ASSERT_TRUE(Windowed(800, 600));
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    ASSERT_EQ(mContext->GetBackBuffer()->GetSurfaceDesc(&desc), DD_OK);
    EXPECT_EQ(desc.dwWidth, 1200u);
    EXPECT_EQ(desc.dwHeight, 900u);
}

TEST_F(DxContextTest, UnderAHostWindowTheDisplayIsAlwaysWindowed) {
    MakeRecord(true);
    mPlatform->GetWin32()->mExternalWindowParent = MakeWindow(640, 480);
    Make();
    ASSERT_TRUE(FullScreen());
    EXPECT_TRUE(mContext->GetDisplay().IsWindowed());
}

TEST_F(DxContextTest, SurfaceNotInVideoMemoryMovesTheNextBackBufferThere) {
    Make();
    standin::SetFault(nullptr, "IDirect3D7::CreateDevice", D3DERR_SURFACENOTINVIDMEM);
    EXPECT_FALSE(Windowed());
    EXPECT_TRUE(mContext->IsBackBufferInVideoMemory());
    ASSERT_TRUE(Windowed());
    DDSCAPS2 caps{};
    ASSERT_EQ(mContext->GetBackBuffer()->GetCaps(&caps), DD_OK);
    EXPECT_NE(caps.dwCaps & DDSCAPS_VIDEOMEMORY, 0u);
}

TEST_F(DxContextTest, NoPaletteAttachedTreatsTheDesktopAsPaletted) {
    Make();
    standin::SetFault(nullptr, "IDirect3D7::CreateDevice", DDERR_NOPALETTEATTACHED);
    EXPECT_FALSE(Windowed());
    EXPECT_EQ(mContext->GetDesktopColors(), 32);
}

TEST_F(DxContextTest, DeviceIdentifierIsLoggedAndKept) {
    Make();
    ASSERT_TRUE(Windowed());
    // The adapter GUID {11223344-5566-7788-0102-030405060708} as four little-endian words.
    const std::string expected = "Device identifier:  \n"
                                 "  Driver: 'scripted.drv'\n"
                                 "  Description: 'Scripted Adapter'\n"
                                 "  Version: 10002:30004\n"
                                 "  Vendor ID: 1234 (4660)\n"
                                 "  Device ID: 5678 (22136)\n"
                                 "  SubSys:  : 9a (154)\n"
                                 "  Revision:  3 (3)\n"
                                 "  GUID:      11223344:77885566:4030201:8070605\n";
    std::string log = LogText();
    std::erase(log, '\r');
    EXPECT_NE(log.find(expected), std::string::npos) << log;
    const std::string info = mContext->GetInfo().CStr();
    EXPECT_EQ(info.find(expected), 0u);
    const auto caps = info.find("DDCAPS: ");
    const auto desc = info.find("\nD3DDESC: ");
    ASSERT_NE(caps, std::string::npos);
    ASSERT_NE(desc, std::string::npos);
    EXPECT_EQ(desc - caps - 8, 380u * 2);
    EXPECT_EQ(info.size() - desc - 10 - 1, 236u * 2);
    // DDCAPS begins with its size, 380 = 0x17C, little-endian.
    EXPECT_EQ(info.substr(caps + 8, 8), "7C010000");
}

TEST_F(DxContextTest, FailuresAreReportedFromTheContext) {
    Make();
    standin::SetFault(nullptr, "IDirectDraw7::CreateSurface", DDERR_OUTOFVIDEOMEMORY);
    EXPECT_FALSE(Windowed());
    EXPECT_TRUE(mContext->IsNoWindowMemory());
    EXPECT_NE(LogText().find("DX Error:  (0x8876017c), File .\\directx, Line"), std::string::npos);
    // Without window memory only full screen is tried.
    EXPECT_FALSE(Windowed());
    EXPECT_TRUE(FullScreen());
}

TEST(HexEncodeTest, UpperCasePairsAndNothingForNoBytes) {
    const unsigned char bytes[] = {0x00, 0xAB, 0x7F, 0x10, 0xFF};
    struct TCase {
        int count;
        const char* expected;
    };
    for (const TCase& c : {TCase{5, "00AB7F10FF"}, TCase{1, "00"}, TCase{0, ""}, TCase{-3, ""}}) {
        EXPECT_STREQ(HexEncode(bytes, c.count).CStr(), c.expected) << c.count;
    }
}

} // namespace
