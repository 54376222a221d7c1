#include "engine/media/ddutil.h"

#include "tests/engine/media/display_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using display_test::Adapter;

class DdutilTest : public display_test::TDisplayTest {
protected:
    DWORD ModeBits() {
        DDSURFACEDESC2 mode{};
        mode.dwSize = sizeof(mode);
        EXPECT_EQ(mDisplay.GetDirectDraw()->GetDisplayMode(&mode), DD_OK);
        return mode.ddpfPixelFormat.dwRGBBitCount;
    }

    std::string AdapterDescription() {
        DDDEVICEIDENTIFIER2 id{};
        EXPECT_EQ(mDisplay.GetDirectDraw()->GetDeviceIdentifier(&id, 0), DD_OK);
        return id.szDescription;
    }

    CDisplay mDisplay;
};

struct TDepthCase {
    const char* name;
    DWORD videoMemory;
    std::vector<standin::TDisplayMode> modes;
    DWORD expected;
    int asked = 32;
};

TEST_F(DdutilTest, FullScreenDepthFollowsMemoryAndModes) {
    const std::vector<TDepthCase> cases = {
        {"8 MB asked for 32 comes up in 16",
         8u << 20,
         {{800, 600, 16, 60}, {800, 600, 32, 60}},
         16},
        {"32 MB with 32 listed gets 32", 32u << 20, {{800, 600, 16, 60}, {800, 600, 32, 60}}, 32},
        {"only 24 and 16 of the size: 16", 32u << 20, {{800, 600, 24, 60}, {800, 600, 16, 60}}, 16},
        {"8 bits is no candidate", 32u << 20, {{800, 600, 8, 60}, {800, 600, 32, 60}}, 32, 16},
    };
    for (const TDepthCase& c : cases) {
        SCOPED_TRACE(c.name);
        standin::TAdapter adapter = Adapter();
        adapter.videoMemory = c.videoMemory;
        adapter.modes = c.modes;
        standin::SetAdapters({adapter});
        HWND window = MakeWindow(64, 64);
        ASSERT_EQ(mDisplay.OpenFullScreen(window, 800, 600, c.asked, 0), DD_OK);
        EXPECT_EQ(ModeBits(), c.expected);
        EXPECT_FALSE(mDisplay.IsWindowed());
        ASSERT_NE(mDisplay.GetBackBuffer(), nullptr);
        EXPECT_NE(LogText().find("Created screen at " + std::to_string(c.expected) + " bpp."),
                  std::string::npos);
        mDisplay.ReleaseAll();
    }
}

TEST_F(DdutilTest, FailingAdapterHandsOverToTheNextGuid) {
    standin::TAdapter small = Adapter();
    small.description = "Small Adapter";
    small.modes = {{640, 480, 32, 60}};
    standin::TAdapter large = Adapter();
    large.guid = GUID{0xAABBCCDD, 1, 2, {9, 9, 9, 9, 9, 9, 9, 9}};
    large.description = "Large Adapter";
    standin::SetAdapters({small, large});

    ASSERT_EQ(mDisplay.OpenFullScreen(MakeWindow(64, 64), 800, 600, 32, 0), DD_OK);
    EXPECT_EQ(AdapterDescription(), "Large Adapter");
    EXPECT_EQ(ModeBits(), 32u);
    // The default device and the small adapter by its GUID both failed first.
    const std::string log = LogText();
    const auto first = log.find("Failed to create screen at 32 bpp.");
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(log.find("Failed to create screen at 32 bpp.", first + 1), std::string::npos);
    EXPECT_NE(log.find("DX Error:  (0x"), std::string::npos);
    EXPECT_NE(log.find("File .\\ddutil, Line"), std::string::npos);
    EXPECT_TRUE(standin::TakeMessageBoxes().empty());
}

TEST_F(DdutilTest, NoAdapterLeftShowsTheBoxOnlyBeforeAnyDisplayOpened) {
    standin::TAdapter adapter = Adapter();
    adapter.modes = {{640, 480, 32, 60}};
    standin::SetAdapters({adapter});
    HWND window = MakeWindow(64, 64);

    EXPECT_EQ(mDisplay.OpenFullScreen(window, 800, 600, 32, 0), E_FAIL);
    EXPECT_NE(LogText().find("Failed to create a DirectDraw device after trying all GUIDs"),
              std::string::npos);
    const auto boxes = standin::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, nullptr);
    EXPECT_EQ(boxes[0].text, "Sorry, but this product isn't compatible with your display. Try "
                             "using a different display, if you have the option.");
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_EQ(boxes[0].type, MB_OK | MB_ICONSTOP);
    EXPECT_EQ(mDisplay.GetDirectDraw(), nullptr);

    ASSERT_EQ(mDisplay.OpenFullScreen(window, 640, 480, 32, 0), DD_OK);
    EXPECT_EQ(mDisplay.OpenFullScreen(window, 800, 600, 32, 0), E_FAIL);
    EXPECT_TRUE(standin::TakeMessageBoxes().empty());
}

TEST_F(DdutilTest, WindowedSizesTheWindowUnlessItIsAHostsChild) {
    struct TCase {
        uint32_t flags;
        bool resized;
    };
    for (const TCase& c : {TCase{0, true}, TCase{CDisplay::kHostChild, false}}) {
        SCOPED_TRACE(c.flags);
        HWND window = MakeWindow(300, 200);
        RECT before{};
        GetWindowRect(window, &before);
        const LONG styleBefore = GetWindowLongA(window, GWL_STYLE);

        ASSERT_EQ(mDisplay.OpenWindowed(window, nullptr, 640, 480, false, c.flags), DD_OK);
        EXPECT_TRUE(mDisplay.IsWindowed());
        RECT client{};
        GetClientRect(window, &client);
        RECT after{};
        GetWindowRect(window, &after);
        POINT origin{0, 0};
        ClientToScreen(window, &origin);
        if (c.resized) {
            EXPECT_EQ(client.right, 640);
            EXPECT_EQ(client.bottom, 480);
            const auto style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
            EXPECT_EQ(style & WS_POPUP, 0u);
            EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
        } else {
            EXPECT_EQ(client.right, 300);
            EXPECT_EQ(client.bottom, 200);
            EXPECT_EQ(after.left, before.left);
            EXPECT_EQ(after.top, before.top);
            EXPECT_EQ(GetWindowLongA(window, GWL_STYLE), styleBefore);
        }
        // The drawing area is the client area on screen.
        const TRect& bounds = mDisplay.GetWindowRect();
        EXPECT_EQ(bounds.left, origin.x);
        EXPECT_EQ(bounds.top, origin.y);
        EXPECT_EQ(bounds.right - bounds.left, client.right);
        EXPECT_EQ(bounds.bottom - bounds.top, client.bottom);
        // The back buffer has the size asked for either way.
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof(desc);
        ASSERT_EQ(mDisplay.GetBackBuffer()->GetSurfaceDesc(&desc), DD_OK);
        EXPECT_EQ(desc.dwWidth, 640u);
        EXPECT_EQ(desc.dwHeight, 480u);
        mDisplay.ReleaseAll();
    }
}

TEST_F(DdutilTest, ShowFrameOnLostBuffersRestoresBoth) {
    for (bool windowed : {true, false}) {
        SCOPED_TRACE(windowed);
        HWND window = MakeWindow(320, 240);
        ASSERT_EQ(windowed ? mDisplay.OpenWindowed(window, nullptr, 320, 240, false, 0)
                           : mDisplay.OpenFullScreen(window, 640, 480, 32, 0),
                  DD_OK);
        EXPECT_EQ(mDisplay.ShowFrame(), DD_OK);
        standin::LoseAllSurfaces();
        EXPECT_EQ(mDisplay.ShowFrame(), DDERR_SURFACELOST);
        EXPECT_EQ(mDisplay.GetFrontBuffer()->IsLost(), DD_OK);
        EXPECT_EQ(mDisplay.GetBackBuffer()->IsLost(), DD_OK);
        EXPECT_EQ(mDisplay.ShowFrame(), DD_OK);
        mDisplay.ReleaseAll();
    }
}

TEST_F(DdutilTest, ShowFrameRetriesWhileStillDrawing) {
    ASSERT_EQ(mDisplay.OpenWindowed(MakeWindow(64, 64), nullptr, 64, 64, false, 0), DD_OK);
    standin::SetFault(mDisplay.GetFrontBuffer(), "IDirectDrawSurface7::Blt", DDERR_WASSTILLDRAWING);
    EXPECT_EQ(mDisplay.ShowFrame(), DD_OK);
    standin::SetFault(mDisplay.GetFrontBuffer(), "IDirectDrawSurface7::Blt", DDERR_INVALIDRECT);
    EXPECT_EQ(mDisplay.ShowFrame(), DDERR_INVALIDRECT);
}

TEST_F(DdutilTest, CallsWithoutWhatTheyNeedFailCleanly) {
    EXPECT_EQ(mDisplay.ShowFrame(), E_POINTER);
    TDDSurface* surface = nullptr;
    EXPECT_EQ(mDisplay.MakeSurface(&surface, 8, 8, nullptr, nullptr), E_POINTER);
    ASSERT_EQ(mDisplay.OpenWindowed(MakeWindow(64, 64), nullptr, 64, 64, false, 0), DD_OK);
    EXPECT_EQ(mDisplay.MakeSurface(nullptr, 8, 8, nullptr, nullptr), E_INVALIDARG);

    ASSERT_EQ(mDisplay.MakeSurface(&surface, 16, 8, nullptr, nullptr), DD_OK);
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface->mDesc.dwWidth, 16u);
    EXPECT_EQ(surface->mDesc.dwHeight, 8u);
    EXPECT_NE(surface->mDesc.ddsCaps.dwCaps & DDSCAPS_OFFSCREENPLAIN, 0u);
    delete surface;

    surface = reinterpret_cast<TDDSurface*>(&mDisplay);
    EXPECT_EQ(mDisplay.MakeSurface(&surface, 0, 8, nullptr, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(surface, nullptr);
}

} // namespace
