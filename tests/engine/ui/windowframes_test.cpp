// Frames of the window manager on the headless software renderer: the frame limiter on the
// stand-in's fake clock, and the modal layers drawn, compared with golden images byte for byte
// and at pixels worked out by hand.

#include "engine/media/directx.h"
#include "engine/media/dxdisplayhandler.h"
#include "engine/media/renderer.h"
#include "tests/engine/media/display_fixture.h"
#include "tests/engine/ui/manager_fixture.h"
#include "tests/fixtures/golden.h"
#include "tests/fixtures/testpaths.h"

#include <cstdlib>
#include <string>

namespace window_frames_test {
namespace {

using manager_test::MakeEvent;

constexpr int kWidth = 96;
constexpr int kHeight = 64;
// What the back buffer holds before a frame: whatever no window draws keeps it.
constexpr D3DCOLOR kCleared = 0xFF3050A0;

TColor ToColor(D3DCOLOR color) {
    return TColor{static_cast<float>((color >> 16) & 0xFF) / 255.0f,
                  static_cast<float>((color >> 8) & 0xFF) / 255.0f,
                  static_cast<float>(color & 0xFF) / 255.0f, 1.0f};
}

// Fills its client rectangle with an opaque colour.
class TFill : public TWindow {
public:
    explicit TFill(D3DCOLOR color) : mColor(color) {}
    void Draw() override {
        TRenderer::Instance()->FillRect(GetClientRect(), ToColor(mColor), TTexturePtr());
    }

private:
    D3DCOLOR mColor;
};

// A dialog that counts its draws and fills its client rectangle when it has a colour.
class TDialog : public TModalWindow {
public:
    explicit TDialog(D3DCOLOR color = 0) : mColor(color) {}
    void Draw() override {
        ++mDraws;
        if (mColor != 0) {
            TRenderer::Instance()->FillRect(GetClientRect(), ToColor(mColor), TTexturePtr());
        }
    }
    int mDraws = 0;

private:
    D3DCOLOR mColor;
};

// Counts its runs in phase-1 passes (before frames) and runs in no other.
struct TFrameTask : TAnimTask {
    explicit TFrameTask(int& runs) : mRuns(runs) {}
    bool IsReady(int phase) override { return phase == 1; }
    bool Animate() override {
        ++mRuns;
        return true;
    }
    int& mRuns;
};

template <class T>
T* Place(TWindow* parent, T* window, TRect rect) {
    return manager_test::Place(parent, window, rect);
}

class TWindowFramesTest : public display_test::TDisplayTest {
protected:
    void TearDown() override {
        TRenderer::Destroy();
        TDisplayTest::TearDown();
    }

    // The platform with its main window in front, the renderer on a kWidth x kHeight back buffer
    // with the display's clip rectangle, and the root screen; the fake clock reads 0.
    void Open(const char* commandLine = "", bool embedded = false) {
        RegisterWindowSystem();
        TWin32Platform& record = MakePlatform(commandLine);
        mPlatform->CreateMainWindow();
        record.mEmbedded = embedded;
        mMain = record.mMainWindow;
        ShowWindow(mMain, SW_SHOWNORMAL);
        mHandler = &AttachDisplay(TRenderer::Instance()->GetDisplayHandler(), kWidth, kHeight);
        TRenderer::Instance()->PushClipRect(TRect{0, 0, kWidth, kHeight});
        SetForegroundWindow(mMain);
        ASSERT_TRUE(mPlatform->IsForeground());
        Manager()->CreateRootScreen(kWidth, kHeight);
        ASSERT_EQ(TPlatform::GetTime(), 0u);
    }

    static TWindowManager* Manager() { return GetWindowManager(); }

    TDialog* Push(TDialog* dialog, TRect rect) {
        dialog->MoveTo(rect.left, rect.top);
        dialog->SetSize(rect.right - rect.left, rect.bottom - rect.top);
        Manager()->PushModal(dialog);
        return dialog;
    }

    // Frames drawn by one event after `ms` more milliseconds, as the top dialog counts them.
    int FramesAfter(int ms, int32_t type = kEventIdle) {
        standin::AdvanceTime(static_cast<DWORD>(ms));
        const int before = mTop->mDraws;
        Manager()->HandleEvent(MakeEvent(type));
        return mTop->mDraws - before;
    }

    // The root screen with two small dialogs over it; the top one counts the frames.
    void OpenWithDialogs(const char* commandLine = "", bool embedded = false) {
        Open(commandLine, embedded);
        Push(new TDialog, {0, 0, 40, 40});
        mTop = Push(new TDialog, {0, 0, 20, 20});
    }

    // One frame drawn by a repaint over the cleared back buffer, read back.
    standin::TScreenImage Frame() {
        EXPECT_EQ(
            mHandler->GetData().mDevice->Clear(0, nullptr, D3DCLEAR_TARGET, kCleared, 1.0f, 0),
            D3D_OK);
        standin::AdvanceTime(1000);
        Manager()->HandleEvent(MakeEvent(kEventRepaint));
        return standin::ReadSurface(mHandler->GetData().mContext->GetBackBuffer());
    }

    struct TPixel {
        int x;
        int y;
        D3DCOLOR expected;
    };

    static void ExpectPixels(const standin::TScreenImage& image,
                             std::initializer_list<TPixel> pixels) {
        ASSERT_EQ(image.width, kWidth);
        ASSERT_EQ(image.height, kHeight);
        for (const TPixel& p : pixels) {
            EXPECT_EQ(image.pixels[p.y * image.width + p.x] | 0xFF000000u, p.expected)
                << p.x << "," << p.y;
        }
    }

    static void ExpectGolden(const standin::TScreenImage& image, const std::string& name) {
        testing_fixtures::ExpectGolden(image, "tests/engine/ui/golden/" + name);
    }

    TDxDisplayHandler* mHandler = nullptr;
    TDialog* mTop = nullptr;
};

TEST_F(TWindowFramesTest, AFrameIsDrawnOnlyWhenInvalidatedAndTheLimiterAllows) {
    OpenWithDialogs();
    EXPECT_EQ(FramesAfter(0), 0) << "the limiter counts from time 0";
    EXPECT_EQ(FramesAfter(12), 1);
    EXPECT_FALSE(Manager()->IsInvalidated());
    // Nothing invalidated: two events in a row draw nothing.
    EXPECT_EQ(FramesAfter(12), 0);
    EXPECT_EQ(FramesAfter(12), 0);
    // A repaint invalidates, and draws when 12 ms passed since the last frame.
    EXPECT_EQ(FramesAfter(0, kEventRepaint), 1);
    EXPECT_EQ(FramesAfter(11, kEventRepaint), 0);
    EXPECT_EQ(FramesAfter(1, kEventRepaint), 1);
    // An invalidation waits for an idle tick the limiter lets through.
    Manager()->Invalidate();
    EXPECT_EQ(FramesAfter(5), 0);
    EXPECT_EQ(FramesAfter(7), 1);
    // Other events never draw.
    Manager()->Invalidate();
    EXPECT_EQ(FramesAfter(100, kEventKeyDown), 0);
    EXPECT_EQ(FramesAfter(0, kEventMouseMove), 0);
    EXPECT_TRUE(Manager()->IsInvalidated());
}

struct TBackgroundCase {
    const char* name;
    const char* commandLine;
    bool embedded;
    int interval;
};

class TWindowFramesBackgroundTest : public TWindowFramesTest,
                                    public ::testing::WithParamInterface<TBackgroundCase> {};

TEST_P(TWindowFramesBackgroundTest, FrameIntervalOutOfTheForeground) {
    const TBackgroundCase& c = GetParam();
    OpenWithDialogs(c.commandLine, c.embedded);
    EXPECT_EQ(FramesAfter(12), 1);
    SetForegroundWindow(MakeWindow(32, 32));
    ASSERT_FALSE(mPlatform->IsForeground());
    Manager()->Invalidate();
    EXPECT_EQ(FramesAfter(c.interval - 1), 0);
    EXPECT_EQ(FramesAfter(1), 1);
    // Back in front: 12 ms again.
    SetForegroundWindow(mMain);
    Manager()->Invalidate();
    EXPECT_EQ(FramesAfter(12), 1);
}

// In the background every 200 ms; every 12 ms for a hosted ("-pq=") or embedded game.
INSTANTIATE_TEST_SUITE_P(Hosts, TWindowFramesBackgroundTest,
                         ::testing::Values(TBackgroundCase{"Alone", "", false, 200},
                                           TBackgroundCase{"PqMode", "-pq=1", false, 12},
                                           TBackgroundCase{"Embedded", "", true, 12}),
                         [](const ::testing::TestParamInfo<TBackgroundCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(TWindowFramesTest, NoFrameWhileAFlipIsPendingOrDrawingIsSuspended) {
    OpenWithDialogs();
    standin::SetFault(nullptr, "IDirectDrawSurface7::GetBltStatus", DDERR_WASSTILLDRAWING);
    EXPECT_EQ(FramesAfter(12), 0) << "the last frame is still being shown";
    EXPECT_EQ(FramesAfter(0), 1) << "the limiter did not count the refused frame";

    Manager()->SetDrawingSuspended(true);
    EXPECT_EQ(FramesAfter(100, kEventRepaint), 0);
    EXPECT_EQ(FramesAfter(100), 0);
    Manager()->SetDrawingSuspended(false);
    EXPECT_EQ(FramesAfter(0), 1) << "the invalidation was kept";
}

TEST_F(TWindowFramesTest, FrameTasksRunBeforeEachFrame) {
    OpenWithDialogs();
    int topRuns = 0;
    int mainRuns = 0;
    int belowRuns = 0;
    mTop->AddTask(new TFrameTask(topRuns));
    static_cast<TModalWindow*>(mTop->GetParent())->AddTask(new TFrameTask(belowRuns));
    mPlatform->AddTask(new TFrameTask(mainRuns));
    EXPECT_EQ(FramesAfter(12), 1);
    EXPECT_EQ(FramesAfter(12), 0);
    EXPECT_EQ(topRuns, 1);
    EXPECT_EQ(mainRuns, 1);
    EXPECT_EQ(belowRuns, 0);
}

TEST_F(TWindowFramesTest, GoldenRootScreenBackground) {
    Open();
    // Drawn only while the screen is on top; a child of it comes over the fill.
    Place(Manager()->GetRootWindow(), new TFill(0xFFC00000), {8, 8, 24, 24});
    const standin::TScreenImage image = Frame();
    ExpectPixels(image, {{0, 0, 0xFF000000},
                         {7, 7, 0xFF000000},
                         {8, 8, 0xFFC00000},
                         {23, 23, 0xFFC00000},
                         {24, 24, 0xFF000000},
                         {95, 63, 0xFF000000}});
    ExpectGolden(image, "root_screen.png");
}

TEST_F(TWindowFramesTest, GoldenDialogOverTheRoot) {
    Open();
    Place(Manager()->GetRootWindow(), new TFill(0xFFC00000), {8, 8, 40, 40});
    TDialog* dialog = Push(new TDialog(0xFF00C000), {32, 16, 80, 48});
    Place(dialog, new TFill(0xFF0000C0), {4, 4, 12, 12});
    const standin::TScreenImage image = Frame();
    // The screen, no longer on top, leaves the background as it was; its child is drawn.
    ExpectPixels(image, {{0, 0, kCleared},
                         {8, 8, 0xFFC00000},
                         {31, 39, 0xFFC00000},
                         {32, 16, 0xFF00C000},
                         {35, 19, 0xFF00C000},
                         {36, 20, 0xFF0000C0},
                         {43, 27, 0xFF0000C0},
                         {44, 28, 0xFF00C000},
                         {79, 47, 0xFF00C000},
                         {80, 48, kCleared},
                         {39, 39, 0xFF00C000},
                         {31, 15, 0xFFC00000}});
    ExpectGolden(image, "dialog_over_root.png");
}

TEST_F(TWindowFramesTest, GoldenCoveringDialogHidesTheLayersBelow) {
    Open();
    Place(Manager()->GetRootWindow(), new TFill(0xFFC00000), {0, 0, 40, 40});
    TDialog* lower = Push(new TDialog(0xFF00C000), {40, 0, 96, 40});
    TDialog* upper = Push(new TDialog, {0, 0, 0, 0});
    ASSERT_EQ(upper->GetParent(), lower);
    ASSERT_EQ(manager_test::RectText(upper->GetRect()), "0,0,56,40")
        << "a dialog without a size takes its parent's";
    // Full screen size and opaque: the dialog covers the root, and so do the layers below it.
    upper->MoveTo(-40, 0);
    upper->SetSize(kWidth, kHeight);
    TFill* sheet = Place(upper, new TFill(0xFF0000C0), {0, 0, kWidth, kHeight});
    sheet->SetFlags(sheet->GetFlags() | TWindow::kCovering);
    ASSERT_NE(upper->GetFlags() & TWindow::kCovering, 0u);
    Place(upper, new TFill(0xFFC0C000), {10, 20, 30, 30});
    const standin::TScreenImage image = Frame();
    EXPECT_EQ(lower->mDraws, 0) << "a layer under a covering one is not drawn";
    EXPECT_EQ(upper->mDraws, 1);
    ExpectPixels(image, {{0, 0, 0xFF0000C0},
                         {39, 39, 0xFF0000C0},
                         {50, 10, 0xFF0000C0},
                         {10, 20, 0xFFC0C000},
                         {29, 29, 0xFFC0C000},
                         {95, 63, 0xFF0000C0}});
    ExpectGolden(image, "covering_dialog.png");
}

TEST_F(TWindowFramesTest, GoldenTopModalOnly) {
    Open();
    Place(Manager()->GetRootWindow(), new TFill(0xFFC00000), {0, 0, 48, 32});
    TDialog* dialog = Push(new TDialog(0xFF00C000), {24, 16, 72, 48});
    Manager()->SetTopModalOnly(true);
    const standin::TScreenImage image = Frame();
    ExpectPixels(image, {{0, 0, kCleared},
                         {23, 15, kCleared},
                         {24, 16, 0xFF00C000},
                         {47, 31, 0xFF00C000},
                         {71, 47, 0xFF00C000},
                         {72, 48, kCleared}});
    ExpectGolden(image, "top_modal_only.png");

    // Off again, the root's child shows around the dialog.
    Manager()->SetTopModalOnly(false);
    ExpectPixels(Frame(), {{0, 0, 0xFFC00000}, {24, 16, 0xFF00C000}});
    EXPECT_EQ(dialog->mDraws, 2);
}

} // namespace
} // namespace window_frames_test
