// Drawing into textures, rectangle fills and the texel calibration, through the render facade on
// a display set up by the platform as the game sets it up.
#include "engine/core/knownfiles.h"
#include "engine/media/drawdesc.h"
#include "engine/media/dxtexturedata.h"
#include "engine/media/texture.h"
#include "tests/engine/media/displaymodes_fixture.h"
#include "tests/engine/media/texture_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

// Named, so that its constants and helpers never meet another test's in a unity batch.
namespace rendertarget_test {
namespace {

using display_test::TRendererTest;

constexpr TColor kWhite{1.0f, 1.0f, 1.0f, 1.0f};
constexpr TColor kBlack{0.0f, 0.0f, 0.0f, 1.0f};
constexpr TColor kRed{1.0f, 0.0f, 0.0f, 1.0f};
constexpr TColor kMagenta{1.0f, 0.0f, 1.0f, 1.0f};
// 0x336699: every channel's value survives the fill's truncation exactly.
constexpr TColor kSlate{0.2f, 0.4f, 0.6f, 1.0f};

std::array<int, 4> Edges(const TRect& rect) {
    return {rect.left, rect.top, rect.right, rect.bottom};
}

std::array<int, 4> Edges(const D3DVIEWPORT7& viewport) {
    const int x = static_cast<int>(viewport.dwX);
    const int y = static_cast<int>(viewport.dwY);
    return {x, y, x + static_cast<int>(viewport.dwWidth), y + static_cast<int>(viewport.dwHeight)};
}

bool Inside(int x, int y, const TRect& rect) {
    return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
}

class RenderTargetTest : public TRendererTest {
protected:
    void TearDown() override {
        RegisterMemoryFile("simple.png", nullptr, 0);
        TRendererTest::TearDown();
    }

    // An 800 x 600 window at the desktop's depth, set up through the platform as the game does:
    // calibrated, with the screen as the clip rectangle.
    TRenderer& Ready(int bits = 32) {
        SetDesktopBits(bits);
        Start();
        mPlatform->SetDisplay(800, 600, false);
        EXPECT_TRUE(Handler().IsReady());
        EXPECT_EQ(ScreenBits(), static_cast<DWORD>(bits));
        return *mRenderer;
    }

    // A render-target texture whose pixel (x, y) is pixel(x, y), as 0xAARRGGBB.
    static TTexturePtr Target(int width, int height, const std::function<uint32_t(int, int)>& pixel,
                              bool alpha = true) {
        TTexturePtr texture = TTexture::CreateRenderTarget(width, height, alpha);
        EXPECT_TRUE(texture);
        uint32_t* pixels = nullptr;
        int pitch = 0;
        if (texture && texture->Lock(&pixels, &pitch)) {
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    pixels[static_cast<ptrdiff_t>(pitch) * y + x] = pixel(x, y);
                }
            }
            texture->Unlock();
        }
        return texture;
    }

    static TTexturePtr Target(int width, int height, uint32_t argb) {
        return Target(width, height, [argb](int, int) { return argb; });
    }

    TTexturePtr Simple() {
        mSimplePng = texture_test::SolidPng(4, 4, {1, 2, 3});
        RegisterMemoryFile("simple.png", mSimplePng.data(),
                           static_cast<unsigned>(mSimplePng.size()));
        TTexturePtr texture = TTexture::GetSimple("simple.png");
        EXPECT_TRUE(texture && texture->IsSimple());
        return texture;
    }

    static IDirectDrawSurface7* SurfaceOf(const TTexture& texture) {
        return static_cast<TDxTextureData*>(texture.GetData())->GetSurface();
    }

    static standin::TScreenImage Pixels(const TTexture& texture) {
        return standin::ReadSurface(SurfaceOf(texture));
    }

    standin::TScreenImage Screen() { return standin::ReadSurface(Data().mRenderTarget); }

    static uint32_t At(const standin::TScreenImage& image, int x, int y) {
        return image.pixels.at(static_cast<size_t>(y) * static_cast<size_t>(image.width) +
                               static_cast<size_t>(x));
    }

    // The bounding box of the pixels that are `argb`; {0, 0, 0, 0} when none is.
    static TRect Covered(const standin::TScreenImage& image, uint32_t argb) {
        TRect box{image.width, image.height, 0, 0};
        for (int y = 0; y < image.height; ++y) {
            for (int x = 0; x < image.width; ++x) {
                if (At(image, x, y) == argb) {
                    box = TRect{std::min(box.left, x), std::min(box.top, y),
                                std::max(box.right, x + 1), std::max(box.bottom, y + 1)};
                }
            }
        }
        return box.right == 0 ? TRect{0, 0, 0, 0} : box;
    }

    static int Count(const standin::TScreenImage& image, uint32_t argb) {
        return static_cast<int>(std::count(image.pixels.begin(), image.pixels.end(), argb));
    }

    // The whole screen in one colour, filled outside any frame.
    void PaintScreen(const TColor& color) {
        mRenderer->FillRect(TRect{0, 0, 800, 600}, color, TTexturePtr());
    }

    D3DVIEWPORT7 DeviceViewport() {
        D3DVIEWPORT7 viewport{};
        Data().mDevice->GetViewport(&viewport);
        return viewport;
    }

    std::string LoggedSince(std::size_t from) const { return LogText().substr(from); }

    texture_test::TBytes mSimplePng;
};

// Every refusal is silent (except an unknown mode, which is a caller's fault worth a line) and
// leaves the target, the viewport and the open frame as they were.
TEST_F(RenderTargetTest, RefusedTargetsChangeNothing) {
    TRenderer& renderer = Ready();
    const TTexturePtr open = Target(64, 64, 0xFF000000u);
    const TTexturePtr other = Target(32, 32, 0xFF000000u);
    enum TSetup { kIdle, kFrame, kTarget };
    struct TCase {
        const char* name;
        TSetup setup;
        TTexturePtr texture;
        int mode;
        const char* logged;
    };
    const std::vector<TCase> cases = {
        {"an empty texture", kIdle, TTexturePtr(), 0, nullptr},
        {"a simple texture", kIdle, Simple(), 0, nullptr},
        {"inside a frame", kFrame, other, 0, nullptr},
        {"inside another target", kTarget, other, 0, nullptr},
        {"an unknown mode", kIdle, other, 5,
         "TDxDisplayHandler::BeginRenderTarget: unknown target mode 5"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.setup == kFrame) {
            ASSERT_TRUE(renderer.BeginDraw(0));
        } else if (c.setup == kTarget) {
            ASSERT_TRUE(renderer.BeginRenderTarget(open, 0));
        }
        const TTexturePtr pending = Data().mPendingTarget;
        const TRect viewport = Data().mViewport;
        const std::size_t pushed = Data().mViewportStack.size();
        const std::size_t from = LogText().size();

        EXPECT_FALSE(renderer.BeginRenderTarget(c.texture, c.mode));
        if (c.logged == nullptr) {
            EXPECT_EQ(LoggedSince(from), "");
        } else {
            EXPECT_NE(LoggedSince(from).find(c.logged), std::string::npos) << LoggedSince(from);
        }
        EXPECT_EQ(Data().mPendingTarget, pending);
        EXPECT_EQ(Edges(Data().mViewport), Edges(viewport));
        EXPECT_EQ(Data().mViewportStack.size(), pushed);
        EXPECT_EQ(renderer.IsDrawing(), c.setup != kIdle);

        if (c.setup == kFrame) {
            renderer.EndDraw(0);
        } else if (c.setup == kTarget) {
            renderer.EndRenderTarget();
        }
        EXPECT_FALSE(renderer.IsDrawing());
    }
}

TEST_F(RenderTargetTest, SimpleTexturesAreNeverSelected) {
    TRenderer& renderer = Ready();
    const TTexturePtr drawn = Target(8, 8, 0xFFFFFFFFu);
    auto bound = [this] {
        IDirectDrawSurface7* surface = nullptr;
        Data().mDevice->GetTexture(0, &surface);
        if (surface != nullptr) {
            surface->Release();
        }
        return surface;
    };
    renderer.SetTexture(drawn);
    EXPECT_EQ(renderer.GetTexture(), drawn);
    EXPECT_EQ(bound(), SurfaceOf(*drawn));

    renderer.SetTexture(Simple());
    EXPECT_FALSE(renderer.GetTexture());
    EXPECT_EQ(bound(), nullptr);
}

// A 1024 x 512 texture on the 800 x 600 screen. Modes 0 and 1 start from the screen, 2 and 3 from
// the texture's pixels; only the part the screen holds is copied back, the rest keeps its colour;
// every mode but 1 makes the whole texture opaque.
TEST_F(RenderTargetTest, ModesStartFromTheScreenOrTheTextureAndCopyWhatTheScreenHolds) {
    struct TCase {
        int mode;
        int width;
        int height;
    };
    const auto pattern = [](int x, int y) {
        return static_cast<uint32_t>(x & 0xFF) << 16 | static_cast<uint32_t>(y & 0xFF) << 8 | 0x80u;
    };
    const TRect copied{0, 0, 800, 600};
    const TRect drawn{0, 0, 16, 16};
    TRenderer& renderer = Ready();
    for (const TCase& c : {TCase{0, 1024, 512}, TCase{1, 1024, 512}, TCase{2, 256, 256},
                           TCase{2, 1024, 512}, TCase{3, 1024, 512}}) {
        SCOPED_TRACE(testing::Message()
                     << "mode " << c.mode << ", " << c.width << " x " << c.height);
        const TTexturePtr texture =
            Target(c.width, c.height, [&](int x, int y) { return 0x40000000u | pattern(x, y); });
        PaintScreen(kSlate);

        ASSERT_TRUE(renderer.BeginRenderTarget(texture, c.mode));
        EXPECT_TRUE(renderer.IsDrawing());
        ASSERT_TRUE(renderer.Begin2d());
        renderer.FillRect(drawn, kRed, TTexturePtr());
        renderer.End2d();
        renderer.EndRenderTarget();
        EXPECT_FALSE(renderer.IsDrawing());
        EXPECT_FALSE(Data().mPendingTarget);
        EXPECT_EQ(Edges(Data().mViewport), Edges(Data().mTargetRect));
        EXPECT_EQ(Edges(Data().mSavedViewport), Edges(Data().mTargetRect));

        const standin::TScreenImage image = Pixels(*texture);
        int wrong = 0;
        for (int y = 0; y < c.height; ++y) {
            for (int x = 0; x < c.width; ++x) {
                uint32_t want = 0xFF000000u | pattern(x, y);
                if (Inside(x, y, drawn)) {
                    want = 0xFFFF0000u;
                } else if (Inside(x, y, copied) && c.mode <= 1) {
                    want = 0xFF336699u;
                } else if (!Inside(x, y, copied) && c.mode == 1) {
                    want = 0x40000000u | pattern(x, y);
                }
                if (At(image, x, y) != want && wrong++ == 0) {
                    ADD_FAILURE() << "(" << x << ", " << y << ") is " << std::hex << At(image, x, y)
                                  << ", not " << want;
                }
            }
        }
        EXPECT_EQ(wrong, 0);
    }
}

// Where the back buffer cannot be blitted into the texture, its pixels are copied through the
// channel masks; every copied pixel is opaque.
TEST_F(RenderTargetTest, CopyFallsBackToLockedPixels) {
    struct TCase {
        const char* name;
        int bits;
        bool refuseBlit;
        TColor screen;
        uint32_t want;
    };
    for (const TCase& c : {
             TCase{"the blit into the texture fails", 32, true, kSlate, 0xFF336699u},
             // 5-6-5 magenta, each channel's bits at the top of its byte.
             TCase{"16-bit display", 16, false, kMagenta, 0xFFFF00FFu},
         }) {
        SCOPED_TRACE(c.name);
        TRenderer& renderer = Ready(c.bits);
        const TTexturePtr texture = Target(64, 64, 0x40000000u);
        PaintScreen(c.screen);
        ASSERT_TRUE(renderer.BeginRenderTarget(texture, 0));
        if (c.refuseBlit) {
            standin::SetFault(SurfaceOf(*texture), "IDirectDrawSurface7::Blt", DDERR_GENERIC);
        }
        renderer.EndRenderTarget();
        EXPECT_EQ(Count(Pixels(*texture), c.want), 64 * 64)
            << std::hex << At(Pixels(*texture), 0, 0);
        TearDown();
        SetUp();
    }
}

// Mode 4 starts from transparent black whatever the screen holds, draws coverage as grey and
// keeps the texture's colour: a sprite of alpha 0x80 and a fill of alpha 0.25 (byte 63) become
// the texture's alpha where they lie, 0 elsewhere. At 16 bits the sprite's alpha is 8 of 15
// (0x88) and the 5-bit red channel keeps 63 as 7 (0x38), stored with 4 bits of alpha as 3 (0x33).
TEST_F(RenderTargetTest, Mode4TurnsCoverageIntoAlpha) {
    struct TCase {
        int bits;
        uint32_t spriteLow;
        uint32_t spriteHigh;
        uint32_t fill;
    };
    const TRect spriteArea{8, 8, 24, 24};
    const TRect fillArea{40, 40, 56, 56};
    for (const TCase& c : {TCase{32, 127, 128, 63}, TCase{16, 0x88, 0x88, 0x33}}) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits");
        TRenderer& renderer = Ready(c.bits);
        const TTexturePtr sprite = Target(16, 16, 0x80FFFFFFu);
        const TTexturePtr texture = Target(64, 64, 0xFF00FF00u);
        PaintScreen(kWhite);

        ASSERT_TRUE(renderer.BeginRenderTarget(texture, 4));
        ASSERT_TRUE(renderer.Begin2d());
        sprite->Draw(TDrawSpec(TVec2(8.0f, 8.0f), 1.0f, 1.0f, TDrawSpec::kUseOrigin));
        renderer.FillRect(fillArea, TColor{1.0f, 1.0f, 1.0f, 0.25f}, TTexturePtr());
        renderer.End2d();
        renderer.EndRenderTarget();

        const standin::TScreenImage image = Pixels(*texture);
        int wrong = 0;
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 64; ++x) {
                const uint32_t pixel = At(image, x, y);
                const uint32_t alpha = pixel >> 24;
                bool good = (pixel & 0xFFFFFFu) == 0x00FF00u;
                if (Inside(x, y, spriteArea)) {
                    good = good && alpha >= c.spriteLow && alpha <= c.spriteHigh;
                } else if (Inside(x, y, fillArea)) {
                    good = good && alpha == c.fill;
                } else {
                    good = good && alpha == 0;
                }
                if (!good && wrong++ == 0) {
                    ADD_FAILURE() << "(" << x << ", " << y << ") is " << std::hex << pixel;
                }
            }
        }
        EXPECT_EQ(wrong, 0);
        TearDown();
        SetUp();
    }
}

// A texture taller and wider than the screen: only the part the screen holds takes the coverage,
// the rest keeps its alpha (and nothing is read beyond the back buffer).
TEST_F(RenderTargetTest, Mode4OnATextureLargerThanTheScreenKeepsTheRestOfItsAlpha) {
    TRenderer& renderer = Ready();
    const TTexturePtr sprite = Target(16, 16, 0x80FFFFFFu);
    const TTexturePtr texture = Target(1024, 1024, 0x40FF00FFu);
    ASSERT_TRUE(renderer.BeginRenderTarget(texture, 4));
    ASSERT_TRUE(renderer.Begin2d());
    sprite->Draw(TDrawSpec(TVec2(100.0f, 100.0f), 1.0f, 1.0f, TDrawSpec::kUseOrigin));
    renderer.End2d();
    renderer.EndRenderTarget();

    const standin::TScreenImage image = Pixels(*texture);
    const TRect copied{0, 0, 800, 600};
    const TRect spriteArea{100, 100, 116, 116};
    int wrong = 0;
    for (int y = 0; y < 1024; ++y) {
        for (int x = 0; x < 1024; ++x) {
            const uint32_t alpha = At(image, x, y) >> 24;
            const bool good = !Inside(x, y, copied)      ? alpha == 0x40
                              : Inside(x, y, spriteArea) ? alpha == 127 || alpha == 128
                                                         : alpha == 0;
            if (!good && wrong++ == 0) {
                ADD_FAILURE() << "(" << x << ", " << y << ") has alpha " << alpha;
            }
        }
    }
    EXPECT_EQ(wrong, 0);
}

// Inside a mode-4 target the stage reads coverage from the selected texture when the renderer
// has one, else from the vertex colour; "new_render_blend" multiplies the two.
TEST_F(RenderTargetTest, Mode4StagesFollowTheRenderersTexture) {
    constexpr DWORD kTextureGrey = D3DTA_TEXTURE | D3DTA_ALPHAREPLICATE;
    constexpr DWORD kDiffuseGrey = D3DTA_DIFFUSE | D3DTA_ALPHAREPLICATE;
    struct TCase {
        bool texture;
        bool newBlend;
        DWORD arg1;
        DWORD op;
    };
    TRenderer& renderer = Ready();
    const TTexturePtr sprite = Target(16, 16, 0x80FFFFFFu);
    const TTexturePtr texture = Target(64, 64, 0u);
    ASSERT_TRUE(renderer.BeginRenderTarget(texture, 4));
    ASSERT_TRUE(renderer.Begin2d());
    auto stage = [this](D3DTEXTURESTAGESTATETYPE state) {
        DWORD value = 0;
        Data().mDevice->GetTextureStageState(0, state, &value);
        return value;
    };
    for (const TCase& c : {TCase{true, false, kTextureGrey, D3DTOP_SELECTARG1},
                           TCase{true, true, kTextureGrey, D3DTOP_MODULATE},
                           TCase{false, false, kDiffuseGrey, D3DTOP_SELECTARG1},
                           TCase{false, true, kDiffuseGrey, D3DTOP_SELECTARG1}}) {
        SCOPED_TRACE(testing::Message() << "texture " << c.texture << ", new blend " << c.newBlend);
        renderer.SetOption("new_render_blend", c.newBlend ? "1" : "0");
        renderer.SetTexture(c.texture ? sprite : TTexturePtr());
        EXPECT_EQ(stage(D3DTSS_COLORARG1), c.arg1);
        EXPECT_EQ(stage(D3DTSS_COLOROP), c.op);
        if (c.texture && c.newBlend) {
            EXPECT_EQ(stage(D3DTSS_COLORARG2), kDiffuseGrey);
        }
        EXPECT_EQ(stage(D3DTSS_ALPHAARG1), static_cast<DWORD>(D3DTA_TFACTOR));
        EXPECT_EQ(stage(D3DTSS_ALPHAOP), static_cast<DWORD>(D3DTOP_SELECTARG1));
    }
    renderer.End2d();
    renderer.EndRenderTarget();
}

// The fill value is built from the surface's channel masks: component x mask, truncated, in the
// mask. NaN gives 0; values out of 0..1 keep the low bits of the product.
TEST_F(RenderTargetTest, FillValuesFollowTheChannelMasks) {
    struct TCase {
        const char* name;
        TColor color;
        uint32_t want;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Ready();
    for (const TCase& c : {
             // 0.5 x 0xFF000000 = 0x7F800000: alpha 127.
             TCase{"half-transparent red", TColor{1.0f, 0.0f, 0.0f, 0.5f}, 0x7FFF0000u},
             // A full 8-bit alpha lies beyond a signed 32-bit int.
             TCase{"opaque white", kWhite, 0xFFFFFFFFu},
             // Green 2 x 0xFF00 = 0x1FE00, blue -0xFF = ...FF01, alpha 0x3FC00000.
             TCase{"NaN and out of range", TColor{nan, 2.0f, -1.0f, 0.25f}, 0x3F00FE01u},
         }) {
        SCOPED_TRACE(c.name);
        const TTexturePtr texture = Target(4, 4, 0x12345678u);
        mRenderer->FillRect(TRect{-5, -5, 3, 3}, c.color, texture);
        const standin::TScreenImage image = Pixels(*texture);
        EXPECT_EQ(At(image, 0, 0), c.want);
        EXPECT_EQ(At(image, 2, 2), c.want);
        EXPECT_EQ(At(image, 3, 3), 0x12345678u);
    }
}

// Without a target the rectangle is relative to the viewport and cut at it, whether it is filled
// on the surface (outside a frame) or drawn as a quad (inside one).
TEST_F(RenderTargetTest, FillsWithoutATargetLieInTheViewport) {
    struct TCase {
        const char* name;
        bool inFrame;
        TRect rect;
        TRect want;
    };
    TRenderer& renderer = Ready();
    for (const TCase& c : {
             TCase{"surface fill", false, TRect{0, 0, 50, 50}, TRect{100, 100, 150, 150}},
             TCase{"surface fill, cut", false, TRect{-20, -20, 1000, 1000},
                   TRect{100, 100, 300, 200}},
             TCase{"quad", true, TRect{0, 0, 50, 50}, TRect{100, 100, 150, 150}},
             TCase{"quad, cut", true, TRect{-20, -20, 1000, 1000}, TRect{100, 100, 300, 200}},
             TCase{"edges past the int range", false,
                   TRect{std::numeric_limits<int32_t>::min(), 0, 50,
                         std::numeric_limits<int32_t>::max()},
                   TRect{100, 100, 150, 200}},
         }) {
        SCOPED_TRACE(c.name);
        PaintScreen(kBlack);
        renderer.PushViewport(TRect{100, 100, 300, 200});
        if (c.inFrame) {
            ASSERT_TRUE(renderer.BeginDraw(0));
        }
        renderer.FillRect(c.rect, kWhite, TTexturePtr());
        if (c.inFrame) {
            renderer.EndDraw(0);
        }
        renderer.PopViewport();
        const standin::TScreenImage screen = Screen();
        EXPECT_EQ(Edges(Covered(screen, 0xFFFFFFFFu)), Edges(c.want));
        EXPECT_EQ(Count(screen, 0xFFFFFFFFu),
                  (c.want.right - c.want.left) * (c.want.bottom - c.want.top));
    }
}

// The drawn fill borrows a 2-D block: it closes a 3-D block and opens it again, opens a 2-D
// block only for itself, and inside one leaves the selected texture selected.
TEST_F(RenderTargetTest, DrawnFillsLeaveTheBlocksAndTheTextureAsTheyWere) {
    enum TBlock { kNone, k2d, k3d };
    TRenderer& renderer = Ready();
    const TTexturePtr selected = Target(8, 8, 0xFFFFFFFFu);
    for (const TBlock block : {kNone, k2d, k3d}) {
        SCOPED_TRACE(testing::Message() << "block " << block);
        PaintScreen(kBlack);
        ASSERT_TRUE(renderer.BeginDraw(0));
        if (block == k2d) {
            ASSERT_TRUE(renderer.Begin2d());
        } else if (block == k3d) {
            ASSERT_TRUE(renderer.Begin3d());
        }
        renderer.SetTexture(selected);
        renderer.FillRect(TRect{10, 10, 20, 20}, kRed, TTexturePtr());
        EXPECT_EQ(renderer.IsIn2d(), block == k2d);
        EXPECT_EQ(renderer.IsIn3d(), block == k3d);
        if (block == k2d) {
            EXPECT_EQ(renderer.GetTexture(), selected);
            renderer.End2d();
        } else if (block == k3d) {
            renderer.End3d();
        }
        renderer.EndDraw(0);
        EXPECT_EQ(Edges(Covered(Screen(), 0xFFFF0000u)), Edges(TRect{10, 10, 20, 20}));
    }
}

// Embedded at scale 1.5: screen fills and viewports are scaled, a texture target is not, and a
// refused target leaves the scaled viewport as it was.
TEST_F(RenderTargetTest, TargetsAreDrawnUnscaledAndTheScreenKeepsItsScale) {
    TRenderer& renderer = Ready();
    PaintScreen(kWhite);
    mRecord->mEmbedded = true;
    mRecord->mViewportScale = 1.5f;
    renderer.PushViewport(TRect{0, 0, 400, 300});
    const std::array<int, 4> scaled{0, 0, 600, 450};
    EXPECT_EQ(Edges(DeviceViewport()), scaled);

    renderer.FillRect(TRect{10, 10, 20, 20}, kRed, TTexturePtr());
    EXPECT_EQ(Edges(Covered(Screen(), 0xFFFF0000u)), Edges(TRect{15, 15, 30, 30}));

    const TTexturePtr texture = Target(64, 64, 0u);
    ASSERT_TRUE(renderer.BeginRenderTarget(texture, 4));
    EXPECT_EQ(Edges(DeviceViewport()), Edges(TRect{0, 0, 64, 64}));
    // The transparent start covers the texture's pixels, not 1.5 times as many.
    EXPECT_EQ(At(Screen(), 63, 63), 0xFF000000u);
    EXPECT_EQ(At(Screen(), 64, 64), 0xFFFFFFFFu);
    renderer.EndRenderTarget();
    EXPECT_EQ(Edges(DeviceViewport()), scaled);
    EXPECT_EQ(Edges(Data().mViewport), Edges(TRect{0, 0, 400, 300}));

    const TRect saved = Data().mSavedViewport;
    const std::size_t pushed = Data().mViewportStack.size();
    standin::SetFault(nullptr, "IDirect3DDevice7::BeginScene", DDERR_GENERIC);
    EXPECT_FALSE(renderer.BeginRenderTarget(texture, 0));
    EXPECT_FALSE(renderer.IsDrawing());
    EXPECT_FALSE(Data().mPendingTarget);
    EXPECT_EQ(Edges(DeviceViewport()), scaled);
    EXPECT_EQ(Edges(Data().mViewport), Edges(TRect{0, 0, 400, 300}));
    EXPECT_EQ(Edges(Data().mSavedViewport), Edges(saved));
    EXPECT_EQ(Data().mViewportStack.size(), pushed);
    renderer.PopViewport();
}

// The overlay clears its corner with a drawn fill before its text.
TEST_F(RenderTargetTest, StatisticsOverlayClearsItsCorner) {
    TRenderer& renderer = Ready();
    PaintScreen(kWhite);
    renderer.ToggleStats();
    ASSERT_TRUE(renderer.BeginDraw(0));
    renderer.EndDraw(0);
    const standin::TScreenImage screen = Screen();
    EXPECT_EQ(Edges(Covered(screen, 0xFF000000u)), Edges(TRect{0, 0, 300, 64}));
    EXPECT_EQ(Count(screen, 0xFF000000u), 300 * 64);
}

// The first display measures the offset at which texels land on pixels: -0.5 on a device with
// pixel centres on integers, 0.0 (the sixth candidate) on one with centres at +0.5, and -0.5 when
// nothing could be drawn. The probe never shows: the screen is black afterwards. Later displays
// keep the offset.
TEST_F(RenderTargetTest, CalibrationFindsTheTexelOffsetOnce) {
    struct TCase {
        const char* name;
        bool halfPixelCentres;
        bool refuseScene;
        float want;
    };
    for (const TCase& c : {
             TCase{"centres on integers", false, false, -0.5f},
             TCase{"centres at half pixels", true, false, 0.0f},
             TCase{"nothing drawn", true, true, -0.5f},
         }) {
        SCOPED_TRACE(c.name);
        standin::TAdapter adapter = display_test::Adapter();
        adapter.halfPixelCentres = c.halfPixelCentres;
        standin::SetAdapters({adapter});
        if (c.refuseScene) {
            standin::SetFault(nullptr, "IDirect3DDevice7::BeginScene", DDERR_GENERIC, false);
        }
        TRenderer& renderer = Ready();
        standin::ClearFaults();
        EXPECT_TRUE(Data().mTexelCalibrated);
        EXPECT_FLOAT_EQ(Data().mTexelOffset, c.want);
        EXPECT_FALSE(renderer.IsDrawing());
        EXPECT_FALSE(renderer.GetTexture());
        EXPECT_EQ(Count(Screen(), 0xFF000000u), 800 * 600);

        Data().mTexelOffset = 0.25f;
        mPlatform->SetDisplay(640, 480, false);
        EXPECT_EQ(Data().mTexelOffset, 0.25f);
        TearDown();
        SetUp();
    }
}

} // namespace
} // namespace rendertarget_test
