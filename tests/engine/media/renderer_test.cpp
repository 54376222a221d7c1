#include "engine/core/settings.h"
#include "engine/media/media.h"
#include "engine/system/enginemain.h"
#include "tests/engine/media/displaymodes_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace {

using display_test::TRendererTest;

class RendererTest : public TRendererTest {
protected:
    // A windowed 800 x 600 display.
    TRenderer& Ready() {
        StartDisplay(800, 600, false);
        EXPECT_TRUE(Handler().IsReady());
        return *mRenderer;
    }

    // Log lines written since `from`.
    std::string LoggedSince(std::size_t from) const { return LogText().substr(from); }
};

// Each row: the blocks open before the call, the call, the line it logs and whether the block it
// asks for is open afterwards.
TEST_F(RendererTest, NestingChecks) {
    enum TSetup { kIdle, kFrame, kFrame2d, kFrame3d, k2dAfterEndDraw, k3dAfterEndDraw };
    struct TCase {
        const char* name;
        TSetup setup;
        std::function<void(TRenderer&)> call;
        const char* logged;
        bool in2d;
        bool in3d;
    };
    const auto begin2d = [](TRenderer& r) { r.Begin2d(); };
    const auto begin3d = [](TRenderer& r) { r.Begin3d(); };
    const auto end2d = [](TRenderer& r) { r.End2d(); };
    const auto end3d = [](TRenderer& r) { r.End3d(); };
    const std::vector<TCase> cases = {
        {"Begin2d in 2-D", kFrame2d, begin2d, "Begin2d called when already in Begin2d state", true,
         false},
        {"Begin2d in 3-D", kFrame3d, begin2d, "Begin2d called when already in Begin3d state", false,
         true},
        {"Begin2d outside", kIdle, begin2d,
         "ERROR: Calling Begin2d outside of a BeginDraw or BeginRenderTarget block!", false, false},
        {"Begin3d in 2-D", kFrame2d, begin3d, "Begin3d called when already in Begin2d state", true,
         false},
        {"Begin3d in 3-D", kFrame3d, begin3d, "Begin3d called when already in Begin3d state", false,
         true},
        {"Begin3d outside", kIdle, begin3d,
         "ERROR: Calling Begin3d outside of a BeginDraw or BeginRenderTarget block!", false, false},
        {"End2d without 2-D", kFrame, end2d, "End2d called when not in Begin2d state", false,
         false},
        {"End2d after EndDraw", k2dAfterEndDraw, end2d,
         "ERROR: Calling End2d after EndDraw or EndRenderTarget!", false, false},
        {"End3d without 3-D", kFrame2d, end3d, "End3d called when not in Begin3d state", true,
         false},
        {"End3d after EndDraw", k3dAfterEndDraw, end3d,
         "Calling End3d after EndDraw or EndRenderTarget!", false, false},
        {"DrawVertices outside a block", kFrame,
         [](TRenderer& r) {
             D3DLVERTEX point{};
             r.DrawVertices(D3DPT_POINTLIST, TVertexSet::FromLitVertices(&point, 1));
         },
         "DrawVertices called when not in Begin2d or Begin3d state", false, false},
        {"DrawIndexedVertices outside a block", kFrame,
         [](TRenderer& r) {
             D3DLVERTEX point{};
             const uint16_t index = 0;
             r.DrawIndexedVertices(D3DPT_POINTLIST, TVertexSet::FromLitVertices(&point, 1), &index,
                                   1);
         },
         "DrawIndexedVertices called when not in Begin2d or Begin3d state", false, false},
    };
    TRenderer& renderer = Ready();
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.setup != kIdle) {
            ASSERT_TRUE(renderer.BeginDraw(0));
        }
        if (c.setup == kFrame2d || c.setup == k2dAfterEndDraw) {
            ASSERT_TRUE(renderer.Begin2d());
        }
        if (c.setup == kFrame3d || c.setup == k3dAfterEndDraw) {
            ASSERT_TRUE(renderer.Begin3d());
        }
        if (c.setup == k2dAfterEndDraw || c.setup == k3dAfterEndDraw) {
            renderer.EndDraw(1);
        }
        const std::size_t from = LogText().size();
        c.call(renderer);
        EXPECT_NE(LoggedSince(from).find(c.logged), std::string::npos) << LoggedSince(from);
        EXPECT_EQ(renderer.IsIn2d(), c.in2d);
        EXPECT_EQ(renderer.IsIn3d(), c.in3d);
        // Close what is open for the next row.
        if (renderer.IsIn2d()) {
            renderer.End2d();
        }
        if (renderer.IsIn3d()) {
            renderer.End3d();
        }
        if (renderer.IsDrawing()) {
            renderer.EndDraw(1);
        }
    }
}

TEST_F(RendererTest, FailedBeginDrawRefusesEveryBlockOfTheFrame) {
    TRenderer& renderer = Ready();
    Handler().MarkLost();
    EXPECT_FALSE(renderer.BeginDraw(0));
    EXPECT_FALSE(renderer.IsDrawing());
    const std::size_t from = LogText().size();
    EXPECT_FALSE(renderer.Begin2d());
    EXPECT_FALSE(renderer.Begin2d());
    const std::string logged = LoggedSince(from);
    const std::string line =
        "ERROR: Calling Begin2d outside of a BeginDraw or BeginRenderTarget block!";
    const std::size_t first = logged.find(line);
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(logged.find(line, first + 1), std::string::npos);
}

TEST_F(RendererTest, ScopeEndsABlockOnceAndOnlyWhenItBegan) {
    TRenderer& renderer = Ready();
    ASSERT_TRUE(renderer.BeginDraw(0));
    {
        TRenderer2dScope scope;
        scope.mActive = renderer.Begin2d();
        ASSERT_TRUE(renderer.IsIn2d());
        const std::size_t from = LogText().size();
        scope.End();
        EXPECT_FALSE(renderer.IsIn2d());
        scope.End();
        EXPECT_EQ(LoggedSince(from), "");
    }
    {
        // Never began: its end logs nothing either.
        const std::size_t from = LogText().size();
        TRenderer2dScope scope;
        scope.End();
        EXPECT_EQ(LoggedSince(from), "");
    }
    {
        TRenderer2dScope scope;
        scope.mActive = renderer.Begin2d();
    }
    EXPECT_FALSE(renderer.IsIn2d());
    renderer.EndDraw(1);
}

TEST_F(RendererTest, ClipStackKeepsItsBottomRectangle) {
    TRenderer& renderer = Ready();
    const TRect none = renderer.GetClipRect();
    EXPECT_EQ(none.left | none.top | none.right | none.bottom, 0);
    renderer.PushClipRect(TRect{10, 20, 110, 220});
    renderer.PopClipRect();
    renderer.PopClipRect();
    const TRect kept = renderer.GetClipRect();
    EXPECT_EQ(kept.left, 10);
    EXPECT_EQ(kept.bottom, 220);
    EXPECT_EQ(Data().mClipRect.right, 110);

    renderer.PushClipRect(TRect{0, 0, 50, 50});
    EXPECT_EQ(Data().mClipRect.right, 50);
    renderer.PopClipRect();
    EXPECT_EQ(renderer.GetClipRect().right, 110);
    EXPECT_EQ(Data().mClipRect.right, 110);
}

TEST_F(RendererTest, FrameRateAndToggle) {
    TRenderer& renderer = Ready();
    EXPECT_FALSE(renderer.ToggleStats());
    EXPECT_TRUE(renderer.ToggleStats());

    // Ten milliseconds a frame: the first rate comes with the 15th frame.
    for (int frame = 1; frame <= 15; ++frame) {
        standin::AdvanceTime(10);
        ASSERT_TRUE(renderer.BeginDraw(0));
        renderer.EndDraw(1);
        if (frame < 15) {
            EXPECT_EQ(renderer.GetFps(), 0.0f) << frame;
        }
    }
    EXPECT_FLOAT_EQ(renderer.GetFps(), 100.0f);

    // Fifteen frames within one millisecond.
    for (int frame = 1; frame <= 15; ++frame) {
        ASSERT_TRUE(renderer.BeginDraw(0));
        renderer.EndDraw(1);
    }
    EXPECT_TRUE(std::isinf(renderer.GetFps()));
}

// A text block that records what the overlay gives it.
struct TRecordingTextSprite final : TTextSpriteLink {
    static inline std::vector<std::string> sTexts;
    static inline std::vector<bool> sIn2d;
    static inline int sMade = 0;
    static inline int sDeleted = 0;

    ~TRecordingTextSprite() override { ++sDeleted; }
    void SetText(const str& text) override { sTexts.emplace_back(text.CStr()); }
    void DrawInRect(const TRect& rect, float scale, int, float alpha,
                    const boost::shared_ptr<TTexture>& target) override {
        EXPECT_EQ(rect.right, 512);
        EXPECT_EQ(rect.bottom, 512);
        EXPECT_EQ(scale, 1.0f);
        EXPECT_EQ(alpha, 1.0f);
        EXPECT_FALSE(target);
        sIn2d.push_back(TRenderer::Existing()->IsIn2d());
    }
};

TEST_F(RendererTest, StatisticsOverlayText) {
    TWindowSystemFactory factory;
    factory.createWindowManager = []() -> TWindowManagerLink* {
        return new platform_test::TFakeWindowManager;
    };
    factory.createTextSprite = [](const str& text, int width, int height, int alignment,
                                  const str& font, int size, const TColor& color) {
        EXPECT_EQ(text, "");
        EXPECT_EQ(width, 512);
        EXPECT_EQ(height, 512);
        EXPECT_EQ(alignment, 0);
        EXPECT_EQ(font, "");
        EXPECT_EQ(size, 16);
        EXPECT_EQ(color.a, 1.0f);
        ++TRecordingTextSprite::sMade;
        return static_cast<TTextSpriteLink*>(new TRecordingTextSprite);
    };
    SetWindowSystemFactory(factory);
    TRecordingTextSprite::sTexts.clear();
    TRecordingTextSprite::sIn2d.clear();
    TRecordingTextSprite::sMade = 0;
    TRecordingTextSprite::sDeleted = 0;
    SetSetting("texture_ram_allocated", "5120");
    SetSetting("max_texture_ram_allocated", "10240");
    SetSetting("current_sprite_count", "42");

    TRenderer& renderer = Ready();
    renderer.ToggleStats();
    for (int frame = 0; frame < 15; ++frame) {
        standin::AdvanceTime(20);
        ASSERT_TRUE(renderer.BeginDraw(0));
        renderer.EndDraw(1);
    }
    ASSERT_EQ(TRecordingTextSprite::sTexts.size(), 15u);
    EXPECT_EQ(TRecordingTextSprite::sMade, 1);
    EXPECT_EQ(TRecordingTextSprite::sTexts.front(),
              "Stellagrim Version 4.0.15.1<br>0.000000 FPS<tab pos='150'>Sprites: 42<br>Mem: "
              "0kB<tab pos='150'>TexMem: 5kB<br>MaxMem: 0kB<tab pos='150'>MaxTexMem: 10kB<br>");
    EXPECT_EQ(TRecordingTextSprite::sTexts.back(),
              "Stellagrim Version 4.0.15.1<br>50.000000 FPS<tab pos='150'>Sprites: 42<br>Mem: "
              "0kB<tab pos='150'>TexMem: 5kB<br>MaxMem: 0kB<tab pos='150'>MaxTexMem: 10kB<br>");
    EXPECT_EQ(TRecordingTextSprite::sIn2d, std::vector<bool>(15, true));
    EXPECT_FALSE(renderer.IsIn2d());

    // Without a frame the overlay's block is refused but the text is still drawn.
    const std::size_t from = LogText().size();
    renderer.EndDraw(1);
    EXPECT_NE(LoggedSince(from).find("ERROR: Calling Begin2d outside"), std::string::npos);
    EXPECT_EQ(TRecordingTextSprite::sIn2d.back(), false);
    EXPECT_EQ(LoggedSince(from).find("End2d"), std::string::npos);

    TRenderer::Destroy();
    EXPECT_EQ(TRecordingTextSprite::sDeleted, 1);
}

TEST_F(RendererTest, LinksExistWhileTheRendererDoes) {
    EXPECT_FALSE(Display().Exists());
    Ready();
    EXPECT_TRUE(Display().Exists());
    EXPECT_FALSE(Display().IsFullscreen());
    EXPECT_EQ(Display().GetViewportSize(), (TPoint{800, 600}));
    EXPECT_TRUE(Display().IsReady());
    Renderer().PushClipRect(TRect{1, 2, 3, 4});
    EXPECT_EQ(mRenderer->GetClipRect().right, 3);
    // The platform's mode change reaches the handler.
    mPlatform->SetDisplay(640, 480, false);
    EXPECT_EQ(Data().mTargetRect.right, 640);
    TRenderer::Destroy();
    EXPECT_FALSE(Display().Exists());
}

// The engine's start-up makes the renderer once media is registered, and the platform destroys it.
TEST_F(RendererTest, StartUpMakesAndDestroysTheRenderer) {
    // HOME points into a folder of the test's own: the data folders and the log land there.
    testing_fixtures::TempDir home(true);
    RegisterMedia();
    static bool sSawRenderer = false;
    static bool sSawLink = false;
    sSawRenderer = false;
    sSawLink = false;
    std::vector<char> line(1, '\0');
    EngineMain(
        GetModuleHandleA(nullptr), nullptr, line.data(), SW_SHOWNORMAL,
        [](TPlatform*, const char*) {
            sSawRenderer = TRenderer::Existing() != nullptr;
            sSawLink = Display().Exists();
            return 0;
        },
        true);
    SetRendererHooks(nullptr, nullptr);
    SetSoundManagerFactory(nullptr);
    EXPECT_TRUE(sSawRenderer);
    EXPECT_TRUE(sSawLink);
    EXPECT_EQ(TRenderer::Existing(), nullptr);
    EXPECT_FALSE(Display().Exists());
}

// Pre-lit and screen-space quads in several blend modes, drawn through the facade.
TEST_F(RendererTest, GoldenFrameThroughTheFacade) {
    TRenderer& renderer = Ready();
    ASSERT_TRUE(renderer.BeginDraw(0));
    ASSERT_EQ(Data().mDevice->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF404040, 1.0f, 0), D3D_OK);
    ASSERT_TRUE(renderer.Begin2d());
    const D3DCOLOR color = 0x80FF8000;
    for (int mode = 0; mode < 5; ++mode) {
        const float left = 40.0f + 150.0f * static_cast<float>(mode);
        const float right = left + 100.0f;
        renderer.SetBlendMode(mode);
        D3DLVERTEX lit[4] = {{left, 100, 0.1f, 0, color, 0xFF000000, 0, 0},
                             {right, 100, 0.1f, 0, color, 0xFF000000, 1, 0},
                             {right, 200, 0.1f, 0, color, 0xFF000000, 1, 1},
                             {left, 200, 0.1f, 0, color, 0xFF000000, 0, 1}};
        renderer.DrawVertices(D3DPT_TRIANGLEFAN, TVertexSet::FromLitVertices(lit, 4));
        D3DTLVERTEX screen[4] = {{left, 300, 0.1f, 1, color, 0xFF000000, 0, 0},
                                 {right, 300, 0.1f, 1, color, 0xFF000000, 1, 0},
                                 {right, 400, 0.1f, 1, color, 0xFF000000, 1, 1},
                                 {left, 400, 0.1f, 1, color, 0xFF000000, 0, 1}};
        renderer.DrawVertices(D3DPT_TRIANGLEFAN, TVertexSet::FromScreenVertices(screen, 4));
    }
    renderer.End2d();
    ASSERT_EQ(renderer.EndDraw(1), DD_OK);

    const standin::TScreenImage image = standin::ReadSurface(Data().mContext->GetBackBuffer());
    ASSERT_EQ(image.width, 800);
    auto at = [&image](int x, int y) { return image.pixels[y * image.width + x] & 0xFFFFFFu; };
    // Background (64, 64, 64); source (255, 128, 0) at alpha 128.
    EXPECT_EQ(at(10, 10), 0x404040u);
    EXPECT_EQ(at(90, 150), 0xA06020u);  // normal: 160, 96, 32
    EXPECT_EQ(at(240, 150), 0xFF8000u); // opaque
    EXPECT_EQ(at(390, 150), 0xC08040u); // additive: 64 + 128, 64 + 64, 64
    EXPECT_EQ(at(540, 150), 0x002040u); // subtractive: 64 * (255 - src) / 255
    EXPECT_EQ(at(690, 150), 0x402000u); // multiplicative: 64 * src / 255
    for (int mode = 0; mode < 5; ++mode) {
        const int x = 90 + 150 * mode;
        EXPECT_EQ(at(x, 150), at(x, 350)) << mode;
    }
    ExpectGolden(image, "renderer_frame.png");
}

} // namespace
