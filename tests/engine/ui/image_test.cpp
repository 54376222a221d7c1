// Image windows built from descriptions: their size from the texture and scale, the opaque bit,
// and how they draw (scaled, mirrored, faded and turned) on the headless software renderer.

#include "engine/ui/image.h"
#include "tests/engine/ui/widget_fixture.h"
#include "tests/fixtures/golden.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace image_test {
namespace {

using widget_test::PatternPng;
using widget_test::TWidgetTest;

constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kBlue = 0x0000FF;
constexpr uint32_t kWhite = 0xFFFFFF;

// 8 x 4: red top left, green top right, blue bottom left, white bottom right.
uint32_t Quadrants(int x, int y) {
    if (y < 2) {
        return x < 4 ? kRed : kGreen;
    }
    return x < 4 ? kBlue : kWhite;
}

class TImageTest : public TWidgetTest {
protected:
    void SetUp() override {
        TWidgetTest::SetUp();
        AddFile("gfx/wide.png", PatternPng(64, 32, [](int, int) { return kRed; }));
        AddFile("gfx/odd.png", PatternPng(33, 17, [](int, int) { return kRed; }));
        AddFile("gfx/quad.png", PatternPng(8, 4, Quadrants));
        AddFile("gfx/rgba.png", texture_test::SolidPng(4, 4, {255, 0, 0, 128}));
    }
};

TEST_F(TImageTest, TheWindowTakesTheTexturesScaledSize) {
    struct TCase {
        const char* description;
        const char* size;
    };
    const TCase cases[] = {
        {"image = 'gfx/wide.png'", "64,32"},
        {"image = 'gfx/wide.png', scale = 1.5", "96,48"},
        {"image = 'gfx/wide.png', scale = 1.5, rotate = true", "48,96"},
        // 16.5 and 8.5 round up.
        {"image = 'gfx/odd.png', scale = 0.5", "17,9"},
        // The texture's size wins over the definition's.
        {"image = 'gfx/wide.png', w = 10, h = 10", "64,32"},
        {"image = 'gfx/missing.png', w = 10, h = 12", "10,12"},
        {"w = 7, h = 5", "7,5"},
        {"image = 'gfx/wide.png', scale = 0 / 0", "0,0"},
        {"image = 'gfx/wide.png', scale = 1e300", "2147483647,2147483647"},
        {"image = 'gfx/wide.png', scale = -2", "0,0"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.description);
        Build(std::string("Bitmap{ name = 'img', ") + c.description + " }");
        auto* image = Find<TImage>("img");
        ASSERT_NE(image, nullptr);
        EXPECT_STREQ(image->GetClassName(), "TImage");
        EXPECT_EQ(std::to_string(image->GetWidth()) + "," + std::to_string(image->GetHeight()),
                  c.size);
        image->GetParent()->RemoveChild(image);
        delete image;
    }
}

TEST_F(TImageTest, RotatingSwapsTheSizeOnlyOnAChange) {
    Build("Bitmap{ name = 'img', image = 'gfx/wide.png', scale = 1.5 }");
    auto* image = Find<TImage>("img");
    ASSERT_NE(image, nullptr);
    image->SetRotated(true);
    EXPECT_EQ(image->GetWidth(), 48);
    EXPECT_EQ(image->GetHeight(), 96);
    image->SetSize(5, 5);
    image->SetRotated(true);
    EXPECT_EQ(image->GetWidth(), 5) << "unchanged: the size stays";
    image->SetRotated(false);
    EXPECT_EQ(image->GetWidth(), 96);
    EXPECT_EQ(image->GetHeight(), 48);
}

TEST_F(TImageTest, OpaqueOnlyAtFullAlphaOverATextureWithoutAlpha) {
    Build("Bitmap{ name = 'plain', image = 'gfx/wide.png' }");
    Build("Bitmap{ name = 'faded', image = 'gfx/wide.png', alpha = true }");
    Build("Bitmap{ name = 'rgba', image = 'gfx/rgba.png' }");
    Build("Bitmap{ name = 'none', w = 4, h = 4 }");
    auto opaque = [](const TWindow* window) {
        return (window->GetFlags() & TWindow::kCovering) != 0;
    };
    auto* plain = Find<TImage>("plain");
    ASSERT_NE(plain, nullptr);
    EXPECT_TRUE(opaque(plain));
    plain->SetAlpha(0.5f);
    EXPECT_FALSE(opaque(plain));
    plain->SetAlpha(1.0f);
    EXPECT_TRUE(opaque(plain));

    // "alpha" loads the texture with an alpha channel: full alpha does not make it opaque.
    auto* faded = Find<TImage>("faded");
    ASSERT_NE(faded, nullptr);
    EXPECT_FALSE(opaque(faded));
    faded->SetAlpha(1.0f);
    EXPECT_FALSE(opaque(faded));

    auto* rgba = Find<TImage>("rgba");
    ASSERT_NE(rgba, nullptr);
    rgba->SetAlpha(1.0f);
    EXPECT_FALSE(opaque(rgba));

    auto* none = Find<TImage>("none");
    ASSERT_NE(none, nullptr);
    EXPECT_TRUE(opaque(none)) << "opaque from construction";
    none->SetAlpha(1.0f);
    EXPECT_FALSE(opaque(none)) << "no texture, nothing opaque";
}

TEST_F(TImageTest, GoldenScaledFlippedFadedAndTurned) {
    Build("Bitmap{ name = 'plain', image = 'gfx/quad.png', scale = 2, x = 4, y = 4 }");
    Build("Bitmap{ name = 'hflip', image = 'gfx/quad.png', scale = 2, x = 30, y = 4, hflip = true "
          "}");
    Build("Bitmap{ name = 'vflip', image = 'gfx/quad.png', scale = 2, x = 56, y = 4, vflip = true "
          "}");
    Build("Bitmap{ name = 'both', image = 'gfx/quad.png', scale = 2, x = 82, y = 4, hflip = true, "
          "vflip = true }");
    Build("Bitmap{ name = 'faded', image = 'gfx/quad.png', scale = 2, x = 108, y = 4 }");
    Build("Bitmap{ name = 'turned', image = 'gfx/quad.png', scale = 2, x = 4, y = 20, rotate = "
          "true }");
    // Nothing to draw: a missing image.
    Build("Bitmap{ name = 'missing', image = 'gfx/none.png', x = 30, y = 20, w = 8, h = 8 }");
    Find<TImage>("faded")->SetAlpha(0.5f);
    ASSERT_EQ(Find("turned")->GetWidth(), 8);
    ASSERT_EQ(Find("turned")->GetHeight(), 16);

    const standin::TScreenImage image = DrawFrame();
    ASSERT_EQ(image.width, widget_test::kScreenWidth);
    auto at = [&image](int x, int y) { return image.pixels[y * image.width + x] & 0xFFFFFFu; };
    struct TPixel {
        int x;
        int y;
        uint32_t expected;
    };
    const TPixel pixels[] = {
        // 16 x 8 at (4, 4), sampled away from the blended seams between the colours.
        {6, 5, kRed},
        {16, 5, kGreen},
        {6, 10, kBlue},
        {16, 10, kWhite},
        {20, 4, 0},
        {4, 12, 0},
        // Mirrored left to right, top to bottom, both.
        {32, 5, kGreen},
        {42, 5, kRed},
        {32, 10, kWhite},
        {42, 10, kBlue},
        {58, 5, kBlue},
        {68, 5, kWhite},
        {58, 10, kRed},
        {68, 10, kGreen},
        {84, 5, kWhite},
        {94, 10, kRed},
        // Half of each colour over black.
        {110, 5, 0x7F0000},
        {120, 10, 0x7F7F7F},
        // 8 x 16 at (4, 20), a quarter turn clockwise: the top row runs down the right side.
        {10, 24, kRed},
        {6, 24, kBlue},
        {10, 32, kGreen},
        {6, 32, kWhite},
        {12, 22, 0},
        {4, 36, 0},
        {3, 22, 0},
        // The missing image draws nothing.
        {33, 23, 0},
    };
    for (const TPixel& p : pixels) {
        EXPECT_EQ(at(p.x, p.y), p.expected) << p.x << "," << p.y;
    }
    testing_fixtures::ExpectGolden(image, "tests/engine/ui/golden/image_windows.png");
}

} // namespace
} // namespace image_test
