// Sliders built from descriptions and driven by synthetic mouse events: the value and the
// messages it sends, the orientation rule, dragging, paging, the roll image, and horizontal and
// vertical sliders drawn on the headless software renderer.

#include "engine/core/event.h"
#include "engine/ui/image.h"
#include "engine/ui/slider.h"
#include "tests/engine/ui/widget_fixture.h"
#include "tests/fixtures/golden.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

namespace slider_test {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;
using widget_test::MakeEvent;
using widget_test::PatternPng;
using widget_test::TWidgetTest;

// Rail images 8 wide, the thumb 20 x 10.
constexpr const char* kImages =
    "railtop = 'gfx/rt.png', railmid = 'gfx/rm.png', railbot = 'gfx/rb.png', "
    "sliderimage = 'gfx/th.png', sliderrollimage = 'gfx/thr.png'";

class TSliderTest : public TWidgetTest {
protected:
    void SetUp() override {
        TWidgetTest::SetUp();
        auto solid = [this](const char* name, int w, int h, uint32_t color) {
            AddFile(name, PatternPng(w, h, [color](int, int) { return color; }));
        };
        solid("gfx/rt.png", 8, 6, 0xC00000);
        solid("gfx/rm.png", 8, 4, 0x00C000);
        solid("gfx/rb.png", 8, 6, 0x0000C0);
        solid("gfx/th.png", 20, 10, 0x808080);
        solid("gfx/thr.png", 20, 10, 0xFFFF00);
        PushDialog("dialog", TRect{0, 0, widget_test::kScreenWidth, widget_test::kScreenHeight});
        ScriptMessages();
    }

    TSlider* MakeSlider(const std::string& properties, const char* name = "s") {
        Build(std::string("Slider{ name = '") + name + "', " + kImages + ", " + properties + " }");
        auto* slider = Find<TSlider>(name);
        EXPECT_NE(slider, nullptr);
        return slider;
    }

    void At(int type, int x, int y) { Send(MakeEvent(type, x, y)); }
};

TEST_F(TSliderTest, SetValueClampsAndTellsTheParent) {
    TSlider* slider = MakeSlider("x = 0, y = 50, w = 200, h = 20");
    struct TCase {
        float value;
        bool silent;
        float stored;
        int thumbX;
        std::vector<std::string> messages;
    };
    const TCase cases[] = {
        {1.7f, false, 1.0f, 180, {"9 s"}},
        {-2.0f, true, 0.0f, 0, {}},
        {0.5f, false, 0.5f, 90, {"9 s"}},
        {std::numeric_limits<float>::quiet_NaN(), true, 0.0f, 0, {}},
        {std::numeric_limits<float>::infinity(), true, 1.0f, 180, {}},
    };
    for (const TCase& c : cases) {
        slider->SetValue(c.value, c.silent);
        EXPECT_EQ(slider->GetValue(), c.stored) << c.value;
        EXPECT_EQ(slider->GetThumb()->GetRect().left, c.thumbX) << c.value;
        EXPECT_EQ(ScriptMessages(), c.messages) << c.value;
    }
}

TEST_F(TSliderTest, OrientationFollowsHsliderElseTheShape) {
    struct TCase {
        const char* properties;
        bool horizontal;
        int width;
        int height;
    };
    // Thickness: the thumb's height (10) across a horizontal slider, its width (20) across a
    // vertical one, both above the rail's 8.
    const TCase cases[] = {
        {"w = 200, h = 20", true, 200, 10},
        {"w = 200, h = 20, hslider = false", false, 20, 20},
        {"w = 20, h = 200", false, 20, 200},
        {"w = 20, h = 200, hslider = true", true, 20, 10},
        {"w = 200, h = 20, yoffset = -3", true, 200, 13},
        {"w = 200, h = 20, scale = 2", true, 200, 20},
        {"w = 20, h = 200, scale = 0.25", false, 5, 200},
    };
    for (const TCase& c : cases) {
        TSlider* slider = MakeSlider(c.properties);
        EXPECT_EQ(slider->IsHorizontal(), c.horizontal) << c.properties;
        EXPECT_EQ(slider->GetWidth(), c.width) << c.properties;
        EXPECT_EQ(slider->GetHeight(), c.height) << c.properties;
        EXPECT_EQ(slider->GetThumb()->GetParent(), slider) << c.properties;
        slider->GetParent()->RemoveChild(slider);
        delete slider;
    }
}

TEST_F(TSliderTest, DraggingToTheFarEndGivesOne) {
    TSlider* slider = MakeSlider("x = 0, y = 50, w = 200, h = 20");
    TImage* thumb = slider->GetThumb();
    At(kEventMouseMove, 5, 55);
    EXPECT_EQ(thumb->GetTexture(), TTexture::Get("gfx/thr.png", 0));
    At(kEventLeftDown, 5, 55);
    EXPECT_TRUE(slider->IsDragging());
    At(kEventMouseMove, 100, 55);
    EXPECT_FLOAT_EQ(slider->GetValue(), 0.5f);
    // Beyond the screen and below the slider: the tracked slider still follows.
    At(kEventMouseMove, 200, 90);
    EXPECT_EQ(slider->GetValue(), 1.0f);
    EXPECT_EQ(thumb->GetRect().right, slider->GetWidth());
    EXPECT_EQ(thumb->GetTexture(), TTexture::Get("gfx/thr.png", 0));
    At(kEventLeftUp, 200, 90);
    EXPECT_FALSE(slider->IsDragging());
    EXPECT_THAT(ScriptMessages(), ElementsAre("9 s", "9 s", "10 s"));
    EXPECT_EQ(thumb->GetTexture(), TTexture::Get("gfx/th.png", 0));
    EXPECT_FALSE(Manager()->IsTracking(slider));
}

TEST_F(TSliderTest, ClicksBesideTheThumbPage) {
    struct TCase {
        const char* properties;
        int x;
        int y;
        const char* message;
    };
    // The thumb at the middle: x 90 to 110 across a horizontal slider, y 90 to 100 down a
    // vertical one; the sliders lie at (0, 20).
    const TCase cases[] = {
        {"w = 200, h = 20", 20, 25, "11 s"},
        {"w = 200, h = 20", 150, 25, "12 s"},
        {"w = 20, h = 100", 5, 30, "11 s"},
        {"w = 20, h = 100", 5, 115, "12 s"},
    };
    for (const TCase& c : cases) {
        TSlider* slider = MakeSlider(std::string("x = 0, y = 20, ") + c.properties);
        slider->SetValue(0.5f, true);
        const TRect before = slider->GetThumb()->GetRect();
        At(kEventLeftDown, c.x, c.y);
        EXPECT_THAT(ScriptMessages(), ElementsAre(c.message)) << c.properties << " " << c.y;
        At(kEventLeftUp, c.x, c.y);
        ScriptMessages();
        EXPECT_EQ(slider->GetThumb()->GetRect().left, before.left);
        EXPECT_EQ(slider->GetThumb()->GetRect().top, before.top);
        EXPECT_EQ(slider->GetValue(), 0.5f);
        slider->GetParent()->RemoveChild(slider);
        delete slider;
    }
}

TEST_F(TSliderTest, LeavingShowsTheNormalThumbUnlessDragging) {
    TSlider* slider = MakeSlider("x = 0, y = 50, w = 200, h = 20");
    TImage* thumb = slider->GetThumb();
    At(kEventMouseMove, 5, 55);
    ASSERT_TRUE(Manager()->IsTracking(slider));
    At(kEventMouseMove, 5, 100);
    EXPECT_EQ(thumb->GetTexture(), TTexture::Get("gfx/th.png", 0));
    EXPECT_FALSE(Manager()->IsTracking(slider));
    At(kEventMouseMove, 5, 55);
    At(kEventLeftDown, 5, 55);
    EXPECT_TRUE(slider->OnMouseLeave());
    EXPECT_EQ(thumb->GetTexture(), TTexture::Get("gfx/thr.png", 0));
    EXPECT_TRUE(Manager()->IsTracking(slider));
}

TEST_F(TSliderTest, GoldenHorizontalAndVertical) {
    TSlider* sliders[] = {
        MakeSlider("x = 10, y = 10, w = 140, h = 10", "h1"),
        MakeSlider("x = 10, y = 30, w = 140, h = 10", "h2"),
        MakeSlider("x = 20, y = 50, w = 20, h = 60", "v1"),
        MakeSlider("x = 60, y = 50, w = 20, h = 60", "v2"),
    };
    sliders[0]->SetValue(0.25f, true);
    sliders[1]->SetValue(1.0f, true);
    sliders[2]->SetValue(0.0f, true);
    sliders[3]->SetValue(0.5f, true);
    // Rolled over: the second and the fourth.
    for (TSlider* slider : {sliders[1], sliders[3]}) {
        const TRect thumb = slider->GetThumb()->GetRect();
        slider->OnMouseMove(TPoint{thumb.left + 1, thumb.top + 1});
    }
    const standin::TScreenImage image = DrawFrame();
    auto at = [&image](int x, int y) { return image.pixels[y * image.width + x] & 0xFFFFFFu; };
    struct TPixel {
        int x;
        int y;
        uint32_t expected;
    };
    // h1: 10 thick, the rail rows 11 to 18 (start red x 10-15, end blue x 144-149), the thumb
    // x 40-59. h2: the rolled thumb x 130-149. v1: 20 wide, the rail columns 26-33 (start red
    // y 50-55), the thumb y 50-59. v2: the rolled thumb y 75-84.
    const TPixel pixels[] = {
        {12, 14, 0xC00000}, {30, 14, 0x00C000}, {147, 14, 0x0000C0}, {45, 14, 0x808080},
        {12, 10, 0},        {30, 19, 0},        {140, 34, 0xFFFF00}, {100, 34, 0x00C000},
        {30, 70, 0x00C000}, {25, 70, 0},        {30, 55, 0x808080},  {30, 107, 0x0000C0},
        {70, 80, 0xFFFF00}, {70, 60, 0x00C000},
    };
    for (const TPixel& p : pixels) {
        EXPECT_EQ(at(p.x, p.y), p.expected) << p.x << "," << p.y;
    }
    testing_fixtures::ExpectGolden(image, "tests/engine/ui/golden/slider_states.png");
}

} // namespace
} // namespace slider_test
