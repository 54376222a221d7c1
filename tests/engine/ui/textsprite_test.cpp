// Text sprites and the font list: setters that lay out again only on change, rotations, font
// fallbacks and their cache, the font list at platform shutdown, the renderer's text-sprite link,
// and drawing on the headless software renderer (golden images, checked by hand at a few pixels).
#include "engine/core/assetmanager.h"
#include "engine/core/settings.h"
#include "engine/media/minivecdraw.h"
#include "engine/media/minivecfont.h"
#include "engine/media/minivecfontbuiltin.h"
#include "engine/media/renderer.h"
#include "engine/ui/stringtable.h"
#include "engine/ui/windowsystem.h"
#include "tests/engine/media/texture_fixture.h"
#include "tests/engine/ui/text_fixture.h"
#include "tests/fixtures/golden.h"
#include "tests/fixtures/testpaths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <string>

namespace text_test {
namespace {

class TTextSpriteTest : public ::testing::Test {
protected:
    TTextFonts mFonts;
};

TEST_F(TTextSpriteTest, SettersLayOutAgainOnlyOnChange) {
    std::unique_ptr<TTextSprite> sprite(TTextSprite::Create("ab", 200, 40, 0, "", 20, White()));
    EXPECT_EQ(sprite->GetFontName(), str("__DEFAULT"));
    const int created = sprite->GetLayoutCount();
    const struct {
        const char* what;
        std::function<void(TTextSprite&)> change;
        int layouts;
    } steps[] = {
        {"empty font name again", [](TTextSprite& s) { s.SetFont(""); }, 0},
        {"default by name", [](TTextSprite& s) { s.SetFont("__DEFAULT"); }, 0},
        {"other font", [](TTextSprite& s) { s.SetFont("fonts/test.mvec"); }, 1},
        {"same font", [](TTextSprite& s) { s.SetFont("fonts/test.mvec"); }, 0},
        {"back to default", [](TTextSprite& s) { s.SetFont(""); }, 1},
        {"same text", [](TTextSprite& s) { s.SetText("ab"); }, 0},
        {"new text", [](TTextSprite& s) { s.SetText("abc"); }, 1},
        {"same size", [](TTextSprite& s) { s.SetFontSize(20); }, 0},
        {"new size", [](TTextSprite& s) { s.SetFontSize(21); }, 1},
        {"same colour", [](TTextSprite& s) { s.SetColor(White()); }, 0},
        {"new alpha",
         [](TTextSprite& s) {
             s.SetColor(TColor{1, 1, 1, 0.5f});
         },
         1},
        {"rotation, always", [](TTextSprite& s) { s.SetRotation(0.0f, 0, 0); }, 1},
    };
    int expected = created;
    for (const auto& step : steps) {
        step.change(*sprite);
        expected += step.layouts;
        EXPECT_EQ(sprite->GetLayoutCount(), expected) << step.what;
    }
    EXPECT_EQ(sprite->GetFontName(), str("__DEFAULT"));
    TTextSprite::Delete(sprite.release());
    TTextSprite::Delete(nullptr);
}

TEST_F(TTextSpriteTest, RotationsNearNoneAreExact) {
    TTextSprite sprite;
    const struct {
        float degrees;
        float cos;
        float sin;
    } exact[] = {
        {0.0f, 1.0f, 0.0f}, {360.0f, 1.0f, 0.0f}, {-360.0f, 1.0f, 0.0f}, {720.0f, 1.0f, 0.0f}};
    for (const auto& c : exact) {
        sprite.SetRotation(c.degrees, 3, 4);
        EXPECT_EQ(sprite.GetRotationCos(), c.cos) << c.degrees;
        EXPECT_EQ(sprite.GetRotationSin(), c.sin) << c.degrees;
    }
    sprite.SetRotation(90.0f, 0, 0);
    EXPECT_NEAR(sprite.GetRotationCos(), 0.0f, 1e-6f);
    EXPECT_EQ(sprite.GetRotationSin(), 1.0f);
    sprite.SetRotation(0.01f, 0, 0);
    EXPECT_NE(sprite.GetRotationSin(), 0.0f) << "0.01 degrees is a rotation";
}

TEST_F(TTextSpriteTest, FontListFallsBackAndCachesWhatItAnswered) {
    TFontList& fonts = TFontList::Instance();
    TMiniVecFont* missing = fonts.Get("fonts/missing.mvec");
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(missing->GetGlyphCount(), 3) << "the fallback file's font";
    // Without any file, a second look answers the same font.
    mFonts.Remove("fonts/default.mvec");
    EXPECT_EQ(fonts.Get("fonts/missing.mvec"), missing);
    // Neither file: the built-in font.
    TMiniVecFont* other = fonts.Get("fonts/other.mvec");
    ASSERT_NE(other, nullptr);
    TMiniVecFont* builtIn = fonts.Get("__DEFAULT");
    ASSERT_NE(builtIn, nullptr);
    EXPECT_EQ(other->GetGlyphCount(), builtIn->GetGlyphCount());
    EXPECT_GT(builtIn->GetGlyphCount(), 200);
    EXPECT_NE(other, builtIn);
    EXPECT_EQ(fonts.GetCount(), 3u);
    fonts.Clear();
    EXPECT_EQ(fonts.GetCount(), 0u);
}

TEST_F(TTextSpriteTest, StringTableMarkupShowsInBold) {
    const std::string file =
        "<Row><Cell><Data>greeting</Data></Cell><Cell><Data>&lt;b&gt;Hi</Data></Cell></Row>";
    RegisterMemoryFile("strings_text.xml", file.data(), static_cast<unsigned>(file.size()));
    TStringTable table;
    ASSERT_TRUE(table.Load("strings_text.xml"));
    RegisterMemoryFile("strings_text.xml", nullptr, 0);
    const auto sprite = Sprite(table.GetString("greeting").CStr());
    ASSERT_EQ(RunTexts(*sprite), "|Hi");
    EXPECT_EQ(sprite->GetLines()[0]->runs[1].bold, 1);
}

// The window system registers the text sprite and the font list's clearing with the platform.
class TTextSystemTest : public platform_test::TPlatformTest {
protected:
    void SetUp() override {
        TPlatformTest::SetUp();
        RegisterWindowSystem();
    }
    TTextFonts mFonts;
};

TEST_F(TTextSystemTest, FontListIsClearedAtPlatformShutdown) {
    MakePlatform();
    ASSERT_NE(TFontList::Instance().Get("fonts/test.mvec"), nullptr);
    EXPECT_EQ(TFontList::Instance().GetCount(), 1u);
    delete mPlatform;
    mPlatform = nullptr;
    EXPECT_EQ(TFontList::Instance().GetCount(), 0u);
}

TEST_F(TTextSystemTest, TheLinkMakesTextSpritesInTheDefaultFont) {
    std::unique_ptr<TTextSpriteLink> link(
        CreateTextSprite("a<br>b", 512, 512, 0, str(), 16, White()));
    auto* sprite = dynamic_cast<TTextSprite*>(link.get());
    ASSERT_NE(sprite, nullptr);
    EXPECT_EQ(sprite->GetFontName(), str("__DEFAULT"));
    EXPECT_EQ(sprite->GetFontSize(), 16);
    EXPECT_EQ(sprite->GetLineCount(), 2);
    link->SetText("c");
    EXPECT_EQ(sprite->GetLineCount(), 1);
}

// Drawing on the headless 800 x 600 display with the self-tested rasteriser in the platform
// record; "fonts/default.mvec" is the shipped font, as in the game's assets.
class TTextDrawTest : public texture_test::TTextureTest {
protected:
    void SetUp() override {
        TTextureTest::SetUp();
        SetAssetManager(&mAssets);
        TFontList::Instance().Clear();
        mDefaultFont.assign(BuiltInMiniVecFont().begin(), BuiltInMiniVecFont().end());
        RegisterMemoryFile("fonts/default.mvec", mDefaultFont.data(),
                           static_cast<unsigned>(mDefaultFont.size()));
        TWindowSystemFactory factory;
        factory.createWindowManager = []() -> TWindowManagerLink* {
            return new platform_test::TFakeWindowManager;
        };
        factory.createTextSprite = [](const str& text, int width, int height, int flags,
                                      const str& font, int size,
                                      const TColor& color) -> TTextSpriteLink* {
            return TTextSprite::Create(text, width, height, flags, font, size, color);
        };
        SetWindowSystemFactory(factory);
        MakeRecord(false);
        OpenDisplay(32, 800, 600);
        mDrawer = new TQzMiniVecDraw;
        mDrawer->SelfTest();
        TPlatform::GetInstance()->GetWin32()->mGlyphRenderer = mDrawer;
    }

    void TearDown() override {
        TFontList::Instance().Clear();
        TWin32Platform* record = TPlatform::GetInstance()->GetWin32();
        delete record->mGlyphRenderer;
        record->mGlyphRenderer = nullptr;
        RegisterMemoryFile("fonts/default.mvec", nullptr, 0);
        TTextureTest::TearDown();
        SetAssetManager(nullptr);
    }

    void BeginFrame(D3DCOLOR background) {
        TRenderer& renderer = *TRenderer::Instance();
        ASSERT_TRUE(renderer.BeginDraw(0));
        Data().mDevice->Clear(0, nullptr, D3DCLEAR_TARGET, background, 1.0f, 0);
        ASSERT_TRUE(renderer.Begin2d());
        renderer.SetBlendMode(0);
    }

    standin::TScreenImage EndFrame(int width, int height) {
        TRenderer& renderer = *TRenderer::Instance();
        renderer.End2d();
        renderer.EndDraw(0);
        const standin::TScreenImage screen = standin::ReadSurface(Data().mScreenTarget);
        standin::TScreenImage out;
        out.width = width;
        out.height = height;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                out.pixels.push_back(screen.pixels[static_cast<size_t>(y * screen.width + x)]);
            }
        }
        return out;
    }

    // Against tests/engine/ui/golden/`name` (written when STELLAGRIM_UPDATE_GOLDEN is set).
    static void ExpectUiGolden(const standin::TScreenImage& image, const std::string& name) {
        testing_fixtures::ExpectGolden(image, "tests/engine/ui/golden/" + name);
    }

    static uint32_t At(const standin::TScreenImage& image, int x, int y) {
        return image.pixels[static_cast<size_t>(y * image.width + x)];
    }

    TAssetManager mAssets;
    std::vector<unsigned char> mDefaultFont;
    TQzMiniVecDraw* mDrawer = nullptr;
};

constexpr uint32_t kDark = 0xFF202830u;
constexpr uint32_t kLight = 0xFF303848u;

TColor Colour(uint32_t pixel) {
    return TColor{static_cast<float>((pixel >> 16) & 0xFF) / 255.0f,
                  static_cast<float>((pixel >> 8) & 0xFF) / 255.0f,
                  static_cast<float>(pixel & 0xFF) / 255.0f, 1.0f};
}

TEST_F(TTextDrawTest, GoldenTextBlocks) {
    struct TBlock {
        TRect cell;
        const char* text;
        int flags;
        int size;
    };
    const TBlock blocks[] = {
        {{0, 0, 200, 40}, "Hi <b>there</b>", 1 | 4, 16},
        {{200, 0, 400, 40}, "<u>Under</u>line and cur<cursor>sor", 4, 16},
        {{0, 40, 200, 80}, "<outline color='c03000' size='2'>Outlined</outline> text", 4, 20},
        {{200, 40, 400, 80}, "Go <a id='home' color='40ff40'>home</a> now", 1 | 4, 18},
        {{0, 80, 200, 120}, "Right aligned", 2 | 4, 16},
        {{200, 80, 400, 120}, "Middle<br>of two lines", 4, 14},
        {{0, 120, 400, 280}, "Rotated by 45 degrees", 0, 16},
    };
    BeginFrame(kDark);
    std::vector<std::unique_ptr<TTextSprite>> sprites;
    for (size_t i = 0; i < std::size(blocks); ++i) {
        const TBlock& block = blocks[i];
        TRenderer::Instance()->FillRect(block.cell, Colour(i % 2 == 0 ? kLight : kDark),
                                        TTexturePtr());
        sprites.emplace_back(TTextSprite::Create(block.text, block.cell.right - block.cell.left,
                                                 block.cell.bottom - block.cell.top, block.flags,
                                                 "", block.size, White()));
    }
    // Hover the link at the middle of its run.
    TTextSprite& link = *sprites[3];
    for (const TTextRun& run : link.GetLines()[0]->runs) {
        if (run.linkId == str("home")) {
            const float x = static_cast<float>(link.GetLines()[0]->x) + link.GetLines()[0]->offset +
                            static_cast<float>(run.startX + run.endX) / 2.0f;
            const TPoint point{static_cast<int>(x),
                               link.GetAnchor() + static_cast<int>(link.GetStartOffset()) + 5};
            EXPECT_TRUE(link.SetHoverLink(&point, 0));
        }
    }
    EXPECT_EQ(link.GetHoverLink(), str("home"));
    sprites[6]->SetRotation(45.0f, 0, 0);
    for (size_t i = 0; i < std::size(blocks); ++i) {
        TRect rect = blocks[i].cell;
        if (i == 6) {
            rect.left += 150;
            rect.top += 5;
        }
        sprites[i]->DrawInRect(rect, 1.0f, 0, 1.0f, TTexturePtr());
    }
    const standin::TScreenImage image = EndFrame(400, 280);

    // "Under" (16 pixels, centred in 40): its line's top is 12 and its baseline 12 below (the
    // font's ascent plus the cell's upper margin, 29.12 units at 1.658 quarter pixels a unit);
    // the underline lies 2 to 2.75 pixels under it: row 26 only, opaque white over the word.
    EXPECT_EQ(At(image, 215, 26), 0xFFFFFFFFu);
    EXPECT_EQ(At(image, 215, 27), kDark);
    EXPECT_EQ(At(image, 215, 25), kDark);
    // The hovered link shows in its colour (whole pixels of its strokes), nothing else does.
    int linkPixels = 0;
    int elsewhere = 0;
    for (int y = 0; y < 280; ++y) {
        for (int x = 0; x < 400; ++x) {
            if (At(image, x, y) == 0xFF40FF40u) {
                (x >= 200 && y >= 40 && y < 80 ? linkPixels : elsewhere) += 1;
            }
        }
    }
    EXPECT_GT(linkPixels, 10);
    EXPECT_EQ(elsewhere, 0);
    // Right aligned: the ink ends just inside the cell's right edge.
    int rightmost = -1;
    for (int y = 80; y < 120; ++y) {
        for (int x = 0; x < 200; ++x) {
            if (At(image, x, y) != kLight) {
                rightmost = std::max(rightmost, x);
            }
        }
    }
    EXPECT_GE(rightmost, 192);
    EXPECT_LE(rightmost, 199);
    ExpectUiGolden(image, "text_blocks.png");

    // A second draw replays every glyph from the cache and gives the same image.
    const int rasterised = mDrawer->GetRasterCount();
    BeginFrame(kDark);
    for (size_t i = 0; i < std::size(blocks); ++i) {
        TRenderer::Instance()->FillRect(blocks[i].cell, Colour(i % 2 == 0 ? kLight : kDark),
                                        TTexturePtr());
        TRect rect = blocks[i].cell;
        if (i == 6) {
            rect.left += 150;
            rect.top += 5;
        }
        sprites[i]->DrawInRect(rect, 1.0f, 0, 1.0f, TTexturePtr());
    }
    EXPECT_TRUE(EndFrame(400, 280).pixels == image.pixels);
    EXPECT_EQ(mDrawer->GetRasterCount(), rasterised);
}

TEST_F(TTextDrawTest, ScalesThatAreNotPositiveDrawNothing) {
    std::unique_ptr<TTextSprite> sprite(
        TTextSprite::Create("Nothing", 200, 40, 0, "", 16, White()));
    const int drawn = mDrawer->GetRasterCount() + mDrawer->GetReplayCount();
    for (const float scale : {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN()}) {
        BeginFrame(kDark);
        sprite->DrawInRect(TRect{0, 0, 200, 40}, scale, 0, 1.0f, TTexturePtr());
        const standin::TScreenImage image = EndFrame(200, 40);
        EXPECT_EQ(mDrawer->GetRasterCount() + mDrawer->GetReplayCount(), drawn) << scale;
        for (const uint32_t pixel : image.pixels) {
            ASSERT_EQ(pixel, kDark) << scale;
        }
    }
    // The render mode divides by the scale; 0 still draws nothing.
    SetSetting("textspriterender", "1");
    std::unique_ptr<TTextSprite> rendered(
        TTextSprite::Create("Nothing", 200, 40, 4, "", 16, White()));
    EXPECT_TRUE(rendered->GetRenderMode());
    BeginFrame(kDark);
    rendered->DrawInRect(TRect{0, 0, 200, 40}, 0.0f, 0, 1.0f, TTexturePtr());
    EndFrame(200, 40);
    EXPECT_EQ(mDrawer->GetRasterCount() + mDrawer->GetReplayCount(), drawn);
    rendered->DrawInRect(TRect{0, 0, 200, 40}, 1.0f, 0, 1.0f, TTexturePtr());
    EXPECT_GT(mDrawer->GetRasterCount() + mDrawer->GetReplayCount(), drawn);
}

TEST_F(TTextDrawTest, GoldenStatisticsOverlay) {
    TRenderer::Instance()->ToggleStats();
    BeginFrame(kDark);
    const standin::TScreenImage image = EndFrame(320, 72);
    // "Stellagrim Version 4.0.15.1" on the first line, white on the frame's background.
    int white = 0;
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 200; ++x) {
            white += At(image, x, y) == 0xFFFFFFFFu ? 1 : 0;
        }
    }
    EXPECT_GT(white, 20);
    // Four lines of 16 pixels: nothing below 64.
    for (int x = 0; x < 320; ++x) {
        ASSERT_EQ(At(image, x, 70), kDark) << x;
    }
    ExpectUiGolden(image, "stats_overlay.png");
}

} // namespace
} // namespace text_test
