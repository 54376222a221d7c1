// The draw walk on the headless software renderer: nested windows clipped to their parents, the
// front sibling on top, disabled subtrees and modal windows left out. Compared with a golden
// image byte for byte; a few pixels are also checked against values worked out by hand.

#include "engine/media/directx.h"
#include "engine/media/dxdisplayhandler.h"
#include "engine/media/renderer.h"
#include "engine/ui/window.h"
#include "platform/directx/d3d.h"
#include "tests/engine/media/display_fixture.h"
#include "tests/fixtures/golden.h"
#include "tests/fixtures/testpaths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace window_draw_test {
namespace {

// Fills its client rectangle with an opaque colour, as an untextured pre-lit quad.
void FillClient(const TWindow& window, D3DCOLOR color) {
    TRenderer* renderer = TRenderer::Instance();
    const float right = static_cast<float>(window.GetWidth());
    const float bottom = static_cast<float>(window.GetHeight());
    D3DLVERTEX quad[4] = {{0, 0, 0.1f, 0, color, 0xFF000000, 0, 0},
                          {right, 0, 0.1f, 0, color, 0xFF000000, 1, 0},
                          {right, bottom, 0.1f, 0, color, 0xFF000000, 1, 1},
                          {0, bottom, 0.1f, 0, color, 0xFF000000, 0, 1}};
    renderer->SetTexture(TTexturePtr());
    renderer->DrawVertices(D3DPT_TRIANGLEFAN, TVertexSet::FromLitVertices(quad, 4));
}

class TFillWindow : public TWindow {
public:
    explicit TFillWindow(D3DCOLOR color) : mColor(color) {}
    void Draw() override { FillClient(*this, mColor); }

private:
    D3DCOLOR mColor;
};

class TFillModal : public TModalWindow {
public:
    explicit TFillModal(D3DCOLOR color) : mColor(color) {}
    void Draw() override { FillClient(*this, mColor); }

private:
    D3DCOLOR mColor;
};

template <class T>
T* Place(TWindow& parent, T* window, TRect rect) {
    parent.AddChild(window, false);
    window->MoveTo(rect.left, rect.top);
    window->SetSize(rect.right - rect.left, rect.bottom - rect.top);
    return window;
}

constexpr int kWidth = 96;
constexpr int kHeight = 64;
constexpr D3DCOLOR kRoot = 0xFF202020;
constexpr D3DCOLOR kPanel = 0xFFC00000;
constexpr D3DCOLOR kOverhang = 0xFF00C000;
constexpr D3DCOLOR kInner = 0xFF0000C0;
constexpr D3DCOLOR kCorner = 0xFFC0C000;
constexpr D3DCOLOR kBack = 0xFFFF8000;
constexpr D3DCOLOR kFront = 0xFF8000FF;
constexpr D3DCOLOR kHidden = 0xFFFFFFFF;

class TWindowDrawTest : public display_test::TDisplayTest {
protected:
    void TearDown() override {
        TRenderer::Destroy();
        TDisplayTest::TearDown();
    }

    // The renderer's display handler on a windowed back buffer of kWidth x kHeight, attached as
    // the display set-up attaches it.
    TDxDisplayHandler& OpenDisplay() {
        return AttachDisplay(TRenderer::Instance()->GetDisplayHandler(), kWidth, kHeight);
    }
};

TEST_F(TWindowDrawTest, GoldenNestedClippedWindows) {
    TDxDisplayHandler& handler = OpenDisplay();
    TRenderer* renderer = TRenderer::Instance();

    TFillWindow root(kRoot);
    root.SetSize(kWidth, kHeight);
    TWindow* panel = Place(root, new TFillWindow(kPanel), {8, 8, 56, 40});
    // Hangs over the panel's right and bottom edges; the panel clips it.
    TWindow* overhang = Place(*panel, new TFillWindow(kOverhang), {32, 16, 64, 48});
    Place(*overhang, new TFillWindow(kInner), {4, 4, 12, 12});
    // Starts above and left of the panel.
    Place(*panel, new TFillWindow(kCorner), {-4, -4, 8, 8});
    // Disabled, with an enabled child: neither is drawn.
    TWindow* disabled = Place(root, new TFillWindow(kHidden), {60, 8, 90, 30});
    Place(*disabled, new TFillWindow(kHidden), {2, 2, 20, 20});
    disabled->SetFlags(disabled->GetFlags() & ~TWindow::kEnabled);
    // The window manager draws modal windows itself.
    Place(root, new TFillModal(kHidden), {60, 36, 90, 60});
    // Two overlapping siblings: the one added last is the front one and is drawn last.
    Place(root, new TFillWindow(kBack), {4, 44, 30, 60});
    Place(root, new TFillWindow(kFront), {20, 50, 40, 62});

    ASSERT_EQ(handler.GetData().mDevice->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0),
              D3D_OK);
    ASSERT_TRUE(renderer->BeginDraw(0));
    renderer->PushClipRect(TRect{0, 0, kWidth, kHeight});
    ASSERT_TRUE(renderer->Begin2d());
    EXPECT_TRUE(root.DrawTree());
    EXPECT_FALSE(disabled->DrawTree());
    renderer->End2d();
    renderer->EndDraw(0);
    EXPECT_EQ(renderer->GetClipRect().right, kWidth) << "the walk leaves the clip stack as found";

    const standin::TScreenImage image =
        standin::ReadSurface(handler.GetData().mContext->GetBackBuffer());
    ASSERT_EQ(image.width, kWidth);
    ASSERT_EQ(image.height, kHeight);
    auto at = [&image](int x, int y) { return image.pixels[y * image.width + x] | 0xFF000000u; };
    struct TPixel {
        int x;
        int y;
        D3DCOLOR expected;
    };
    const TPixel pixels[] = {
        {0, 0, kRoot},       {7, 7, kRoot},       {8, 8, kCorner},     {15, 15, kCorner},
        {16, 16, kPanel},    {16, 8, kPanel},     {39, 23, kPanel},    {40, 24, kOverhang},
        {55, 39, kOverhang}, {56, 24, kRoot},     {40, 40, kRoot},     {44, 28, kInner},
        {51, 35, kInner},    {52, 36, kOverhang}, {43, 27, kOverhang}, {70, 20, kRoot},
        {63, 11, kRoot},     {70, 45, kRoot},     {10, 50, kBack},     {25, 55, kFront},
        {20, 50, kFront},    {25, 49, kBack},     {35, 61, kFront},    {45, 55, kRoot},
        {95, 63, kRoot},
    };
    for (const TPixel& p : pixels) {
        EXPECT_EQ(at(p.x, p.y), p.expected) << p.x << "," << p.y;
    }

    testing_fixtures::ExpectGolden(image, "tests/engine/ui/golden/window_tree.png");
}

TEST_F(TWindowDrawTest, NothingIsDrawnOutsideTheClipRectangle) {
    OpenDisplay();
    TRenderer* renderer = TRenderer::Instance();
    // Without any clip rectangle the clip is empty: the walk draws nothing and answers true.
    int draws = 0;
    struct TCounting : TWindow {
        explicit TCounting(int& count) : mCount(count) {}
        void Draw() override { ++mCount; }
        int& mCount;
    } window(draws);
    window.SetSize(10, 10);
    EXPECT_TRUE(window.DrawTree());
    EXPECT_EQ(draws, 0);
    renderer->PushClipRect(TRect{0, 0, kWidth, kHeight});
    window.MoveTo(kWidth, 0);
    EXPECT_TRUE(window.DrawTree());
    EXPECT_EQ(draws, 0);
    window.MoveTo(kWidth - 1, 0);
    EXPECT_TRUE(window.DrawTree());
    EXPECT_EQ(draws, 1);
}

} // namespace
} // namespace window_draw_test
