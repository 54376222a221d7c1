#include "engine/core/task.h"
#include "engine/core/xml.h"
#include "tests/engine/media/displaymodes_fixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

using display_test::TRendererTest;

class DxFramesTest : public TRendererTest {
protected:
    // A windowed 800 x 600 display, drawn `frames` times.
    TDxDisplayHandler& Ready(int frames = 0) {
        TDxDisplayHandler& handler = StartDisplay(800, 600, false);
        EXPECT_TRUE(handler.IsReady());
        for (int i = 0; i < frames; ++i) {
            EXPECT_TRUE(handler.BeginDraw(false));
            EXPECT_EQ(handler.EndDraw(true), DD_OK);
        }
        standin::TakePresentCount();
        return handler;
    }

    // Counts the runs of the platform's restore task list.
    struct TCountTask : TTask {
        explicit TCountTask(int& count) : mCount(count) {}
        bool DoTask() override {
            ++mCount;
            return true;
        }
        int& mCount;
    };
};

TEST_F(DxFramesTest, FramesThatDoNotBegin) {
    TDxDisplayHandler& handler = Ready();
    // The last flip is still being drawn: skipped, not counted, nothing marked.
    standin::SetFault(nullptr, "IDirectDrawSurface7::GetFlipStatus", DDERR_WASSTILLDRAWING);
    EXPECT_FALSE(handler.BeginDraw(false));
    EXPECT_EQ(Data().mWorkingCount, 0u);
    EXPECT_FALSE(Data().mLost);

    // An end without a begin does nothing.
    EXPECT_EQ(handler.EndDraw(true), DD_OK);
    EXPECT_EQ(standin::TakePresentCount(), 0);

    // A lost display refuses frames until it is restored.
    handler.MarkLost();
    EXPECT_FALSE(handler.BeginDraw(false));
    EXPECT_FALSE(Data().mInScene);
}

TEST_F(DxFramesTest, FramesPresentUnlessDrawingIsSuspended) {
    TDxDisplayHandler& handler = Ready();
    ASSERT_TRUE(handler.BeginDraw(true));
    EXPECT_EQ(Data().mWorkingCount, 1u);
    EXPECT_TRUE(Data().mInScene);
    EXPECT_EQ(handler.EndDraw(true), DD_OK);
    EXPECT_EQ(standin::TakePresentCount(), 1);
    EXPECT_FALSE(Data().mInScene);

    // A movie window covers the game: the scene ends, nothing is shown.
    platform_test::TFakeWindowManager::sSuspended = true;
    ASSERT_TRUE(handler.BeginDraw(false));
    EXPECT_EQ(handler.EndDraw(true), DD_OK);
    EXPECT_EQ(standin::TakePresentCount(), 0);
    EXPECT_FALSE(Data().mInScene);
    platform_test::TFakeWindowManager::sSuspended = false;

    ASSERT_TRUE(handler.BeginDraw(false));
    EXPECT_EQ(handler.EndDraw(false), DD_OK);
    EXPECT_EQ(standin::TakePresentCount(), 0);
}

TEST_F(DxFramesTest, FlipStatus) {
    TDxDisplayHandler& handler = Ready();
    EXPECT_TRUE(handler.IsFlipDone());
    standin::SetFault(nullptr, "IDirectDrawSurface7::GetBltStatus", DDERR_WASSTILLDRAWING);
    EXPECT_FALSE(handler.IsFlipDone());
    EXPECT_TRUE(handler.IsFlipDone());
}

// A display lost again within three frames of its recovery is rebuilt; one that lasted longer is
// restored in place, and the restore task list runs.
TEST_F(DxFramesTest, LossesRebuildOrRestoreInPlace) {
    int restoreRuns = 0;
    TDxDisplayHandler& handler = Ready(1);
    TPlatform::GetInstance()->GetRestoreTaskList()->Add(new TCountTask(restoreRuns));

    // The scene cannot begin on lost surfaces: the display is rebuilt and the frame goes on.
    standin::LoseAllSurfaces();
    mRecord->mAssetsReleased = false;
    ASSERT_TRUE(handler.BeginDraw(false));
    EXPECT_TRUE(Logged("TRenderer::BeginDraw: DDERR_SURFACELOST on BeginScene"));
    EXPECT_TRUE(
        Logged("TPlatformData::Restore: Working count too small (1). Calling SetDisplay()"));
    EXPECT_TRUE(mRecord->mAssetsReleased);
    EXPECT_EQ(restoreRuns, 1);
    EXPECT_EQ(handler.EndDraw(true), DD_OK);

    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(handler.BeginDraw(false));
        handler.EndDraw(true);
    }
    IDirect3DDevice7* device = Data().mDevice;
    standin::LoseAllSurfaces();
    mRecord->mAssetsReleased = false;
    handler.MarkLost();
    handler.Restore();
    EXPECT_FALSE(mRecord->mAssetsReleased);
    EXPECT_EQ(Data().mDevice, device);
    EXPECT_FALSE(Data().mLost);
    EXPECT_EQ(Data().mWorkingCount, 0u);
    EXPECT_EQ(restoreRuns, 2);
    EXPECT_TRUE(handler.BeginDraw(false));
    handler.EndDraw(true);
}

TEST_F(DxFramesTest, RestoreWithinRestoreOnlyMarksTheDisplayLost) {
    TDxDisplayHandler& handler = Ready(3);
    Data().mRestoring = true;
    const auto start = std::chrono::steady_clock::now();
    handler.Restore();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
    EXPECT_TRUE(Data().mLost);
    EXPECT_TRUE(Data().mRestoring);
    Data().mRestoring = false;
}

TEST_F(DxFramesTest, CooperativeLevelPaths) {
    struct TCase {
        const char* name;
        HRESULT result;
        bool always;
        bool rebuilt;
        const char* logged;
    };
    for (const TCase& c : {
             TCase{"wrong mode", DDERR_WRONGMODE, false, true, nullptr},
             TCase{"another program owns the screen", DDERR_EXCLUSIVEMODEALREADYSET, true, false,
                   nullptr},
             TCase{"exclusive mode lost", DDERR_NOEXCLUSIVEMODE, true, true,
                   "Restore: Test Cooperative level failed. Calling SetDisplay"},
         }) {
        SCOPED_TRACE(c.name);
        TDxDisplayHandler& handler = Ready(3);
        handler.MarkLost();
        mRecord->mAssetsReleased = false;
        standin::SetFault(nullptr, "IDirectDraw7::TestCooperativeLevel", c.result, !c.always);
        handler.Restore();
        standin::ClearFaults();
        EXPECT_EQ(mRecord->mAssetsReleased, c.rebuilt);
        EXPECT_EQ(handler.IsReady(), c.rebuilt);
        if (c.logged != nullptr) {
            EXPECT_TRUE(Logged(c.logged));
        }
        TearDown();
        SetUp();
    }
}

TEST_F(DxFramesTest, OutOfVideoMemorySwitchesToLowMemoryModeForGood) {
    TDxDisplayHandler& handler = Ready(3);
    ASSERT_TRUE(mRenderer->BeginDraw(0));
    ASSERT_TRUE(mRenderer->Begin2d());
    D3DLVERTEX point{};
    standin::SetFault(nullptr, "IDirect3DDevice7::DrawPrimitive", DDERR_OUTOFVIDEOMEMORY);
    mRenderer->DrawVertices(D3DPT_POINTLIST, TVertexSet::FromLitVertices(&point, 1));
    mRenderer->End2d();
    mRenderer->EndDraw(1);
    EXPECT_TRUE(Logged("OutOfVideoMemory triggered!"));
    EXPECT_TRUE(Data().mLowMemoryVideo);
    EXPECT_TRUE(Data().mReconfigure);
    EXPECT_FALSE(handler.IsReady());

    TXmlNode document;
    ASSERT_TRUE(document.Parse(mRoots.Read("display.xml").c_str()));
    const TXmlNode* settings = document.FindChild("Settings");
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->GetAttribute("LowMemoryVideo"), "1");

    // Once only: a second report changes nothing.
    const std::size_t logged = LogText().size();
    handler.OnOutOfVideoMemory();
    EXPECT_EQ(LogText().find("OutOfVideoMemory triggered!", logged), std::string::npos);

    // The rebuild tells the user once, then comes up full screen at 16 bits.
    handler.Restore();
    std::vector<standin::TMessageBoxRecord> boxes = standin::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Reconfiguring");
    EXPECT_EQ(boxes[0].owner, mMain);
    EXPECT_TRUE(handler.IsReady());
    EXPECT_TRUE(Data().mFullscreen);
    EXPECT_EQ(ScreenBits(), 16u);
    EXPECT_FALSE(Data().mReconfigure);
    handler.MarkLost();
    handler.Restore();
    EXPECT_TRUE(standin::TakeMessageBoxes().empty());

    // A new handler reads the mode back.
    TRenderer::Destroy();
    mRenderer = TRenderer::Instance();
    EXPECT_TRUE(Data().mLowMemoryVideo);
}

// A windowed 800 x 600 frame of pre-lit quads, presented into the desktop-sized primary.
TEST_F(DxFramesTest, GoldenWindowedFrame) {
    TDxDisplayHandler& handler = Ready();
    RECT window{};
    GetWindowRect(mMain, &window);
    ASSERT_TRUE(handler.BeginDraw(false));
    ASSERT_EQ(Data().mDevice->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF203040, 1.0f, 0), D3D_OK);
    ASSERT_TRUE(handler.Begin2d());
    const D3DCOLOR colors[3] = {0xFFFF0000, 0xFF00FF00, 0x800000FF};
    for (int i = 0; i < 3; ++i) {
        const float left = 100.0f + 150.0f * static_cast<float>(i);
        const float right = left + 200.0f;
        const float top = 100.0f + 100.0f * static_cast<float>(i);
        const float bottom = top + 150.0f;
        D3DLVERTEX quad[4] = {{left, top, 0.1f, 0, colors[i], 0xFF000000, 0, 0},
                              {right, top, 0.1f, 0, colors[i], 0xFF000000, 1, 0},
                              {right, bottom, 0.1f, 0, colors[i], 0xFF000000, 1, 1},
                              {left, bottom, 0.1f, 0, colors[i], 0xFF000000, 0, 1}};
        handler.DrawVertices(D3DPT_TRIANGLEFAN, TVertexSet::FromLitVertices(quad, 4));
    }
    handler.End2d();
    ASSERT_EQ(handler.EndDraw(true), DD_OK);

    const standin::TScreenImage image = standin::ReadSurface(Data().mContext->GetFrontBuffer());
    ASSERT_EQ(image.width, 1024);
    ASSERT_EQ(image.height, 768);
    const TPoint origin = Data().mContext->GetDisplay().GetClientOrigin();
    auto at = [&](int x, int y) {
        return image.pixels[(origin.y + y) * image.width + origin.x + x] & 0xFFFFFFu;
    };
    EXPECT_EQ(at(0, 0), 0x203040u);
    EXPECT_EQ(at(799, 599), 0x203040u);
    EXPECT_EQ(at(120, 120), 0xFF0000u);
    EXPECT_EQ(at(260, 220), 0x00FF00u); // green over red
    // Blue at alpha 128 over green: 0, 255 * 127 / 255, 255 * 128 / 255.
    EXPECT_EQ(at(420, 320), 0x007F80u);
    // Blue at alpha 128 over the background (32, 48, 64): 16, 24, 160.
    EXPECT_EQ(at(590, 420), 0x1018A0u);
    ExpectGolden(image, "windowed_frame.png");
}

} // namespace
