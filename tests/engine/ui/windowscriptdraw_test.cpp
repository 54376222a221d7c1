// The window script's FillRect on the headless software renderer: the rectangle is filled with
// the colour, clipped to the root window, and the renderer's clip stack is left as found.

#include "engine/media/dxdisplayhandler.h"
#include "engine/media/renderer.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowscript.h"
#include "engine/ui/windowsystem.h"
#include "tests/engine/media/display_fixture.h"

#include <gtest/gtest.h>

namespace window_script_draw_test {
namespace {

constexpr int kWidth = 96;
constexpr int kHeight = 64;

class TScriptFillRectTest : public display_test::TDisplayTest {
protected:
    void TearDown() override {
        TRenderer::Destroy();
        TDisplayTest::TearDown();
    }
};

TEST_F(TScriptFillRectTest, FillsClippedToTheRootWindow) {
    RegisterWindowSystem();
    MakePlatform();
    TDxDisplayHandler& handler =
        AttachDisplay(TRenderer::Instance()->GetDisplayHandler(), kWidth, kHeight);
    TWindowManager* manager = GetWindowManager();
    ASSERT_NE(manager, nullptr);
    // The root covers the top-left quarter of the display only.
    manager->CreateRootScreen(kWidth / 2, kHeight / 2);
    TRenderer* renderer = TRenderer::Instance();

    ASSERT_EQ(handler.GetData().mDevice->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0),
              D3D_OK);
    ASSERT_TRUE(renderer->BeginDraw(0));
    renderer->PushClipRect(TRect{0, 0, kWidth, kHeight});
    manager->GetWindowScript()->DoLuaString("FillRect( { 8, 4, 80, 60 }, { 1, 0, 0, 1 } )\n"
                                            "FillRect( { 2, 2, 4 }, 'no colour' )");
    EXPECT_EQ(renderer->GetClipRect().right, kWidth) << "the clip stack is left as found";
    renderer->PopClipRect();
    renderer->EndDraw(0);

    const standin::TScreenImage image =
        standin::ReadSurface(handler.GetData().mContext->GetBackBuffer());
    ASSERT_EQ(image.width, kWidth);
    auto at = [&image](int x, int y) { return image.pixels[y * image.width + x] | 0xFF000000u; };
    struct TPixel {
        int x;
        int y;
        uint32_t expected;
    };
    const TPixel pixels[] = {
        {8, 4, 0xFFFF0000},   {47, 31, 0xFFFF0000}, {20, 20, 0xFFFF0000},
        {7, 4, 0xFF000000},   {8, 3, 0xFF000000},   {48, 20, 0xFF000000},
        {20, 32, 0xFF000000}, {79, 59, 0xFF000000}, {2, 2, 0xFF000000},
    };
    for (const TPixel& p : pixels) {
        EXPECT_EQ(at(p.x, p.y), p.expected) << p.x << "," << p.y;
    }
}

} // namespace
} // namespace window_script_draw_test
