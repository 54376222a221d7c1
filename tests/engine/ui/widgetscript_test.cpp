// The window script's globals on image, text and button windows, and a dialog file driven to its
// end by a click on its close button.

#include "engine/ui/button.h"
#include "engine/ui/image.h"
#include "engine/ui/text.h"
#include "tests/engine/ui/widget_fixture.h"
#include "tests/engine/ui/windowlibrary_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace widget_script_test {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using widget_test::MakeEvent;
using widget_test::PatternPng;
using widget_test::Text;
using widget_test::TWidgetTest;

class TWidgetScriptTest : public TWidgetTest {
protected:
    void SetUp() override {
        TWidgetTest::SetUp();
        AddFile("gfx/a.png", PatternPng(8, 4, [](int, int) { return 0xFF0000u; }));
        AddFile("gfx/b.png", PatternPng(6, 6, [](int, int) { return 0x00FF00u; }));
        mDialog = PushDialog("dialog", TRect{0, 0, 160, 120});
        Build("Text{ name = 'text', w = 100, h = 20, label = 'hello' }");
        Build("Text{ name = 'nosize', label = 'gone' }");
        Build("Button{ name = 'button', x = 10, y = 30, w = 20, h = 10, "
              "Text{ name = 'label', w = 20, h = 10, label = 'press' } }");
        Build("Button{ name = 'bare', x = 40, y = 30, w = 20, h = 10 }");
        Build("Bitmap{ name = 'image', x = 70, y = 30, image = 'gfx/a.png' }");
        Build("Bitmap{ name = 'noimage', x = 90, y = 30, image = 'gfx/none.png' }");
        Build("Window{ name = 'plain' }");
    }

    static std::string Call(const std::string& expression) {
        Run("gResult = tostring(" + expression + ")");
        return Global("gResult");
    }

    TModalWindow* mDialog = nullptr;
};

TEST_F(TWidgetScriptTest, GetLabelAndSetLabel) {
    struct TCase {
        const char* name;
        const char* label;
    };
    const TCase cases[] = {
        {"text", "hello"},
        {"nosize", ""},
        {"button", "press"},
        {"bare", ""},
        {"image", "image_is_not_a_TText_window_or_TButton"},
        {"plain", "plain_is_not_a_TText_window_or_TButton"},
        {"nothing", "nothing_is_not_found"},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(Call(std::string("GetLabel('") + c.name + "')"), c.label) << c.name;
    }
    Run("SetLabel('text', 'abc') SetLabel('button', 'go') SetLabel('nosize', 'x') "
        "SetLabel('image', 'x') SetLabel('nothing', 'x')");
    EXPECT_EQ(Call("GetLabel('text')"), "abc");
    EXPECT_EQ(Call("GetLabel('button')"), "go");
    EXPECT_EQ(Call("GetLabel('nosize')"), "");
}

TEST_F(TWidgetScriptTest, SetBitmapAndImageLoaded) {
    EXPECT_EQ(Call("ImageLoaded('image')"), "true");
    EXPECT_EQ(Call("ImageLoaded('noimage')"), "false");
    EXPECT_EQ(Call("ImageLoaded('text')"), "false");
    EXPECT_EQ(Call("ImageLoaded('nothing')"), "false");
    Run("_SetBitmap('noimage', 'gfx/b.png', 2) _SetBitmap('text', 'gfx/b.png', 2)");
    EXPECT_EQ(Call("ImageLoaded('noimage')"), "true");
    EXPECT_EQ(Find("noimage")->GetWidth(), 12);
    EXPECT_EQ(Find("noimage")->GetHeight(), 12);
    Run("_SetBitmap('image', 'gfx/none.png', 1)");
    EXPECT_EQ(Call("ImageLoaded('image')"), "false");
    EXPECT_EQ(Find("image")->GetWidth(), 8) << "an empty texture keeps the size";
}

TEST_F(TWidgetScriptTest, SetCommandGivesAButtonALuaAction) {
    Run("function Pressed() gPressed = GetButtonName() end "
        "SetCommand('button', Pressed) SetCommand('text', Pressed) SetCommand('nothing', Pressed)");
    auto* button = Find<TButton>("button");
    ASSERT_NE(button->GetAction(), nullptr);
    Run("gCommandQueue = {}");
    EXPECT_FALSE(button->RunCommand());
    Run("gCommandQueue[1]()");
    EXPECT_EQ(Global("gPressed"), "button");
    EXPECT_EQ(Find<TButton>("bare")->GetAction(), nullptr);
}

TEST_F(TWidgetScriptTest, DoSelectLayerActsOnTheCreationTop) {
    Build("Button{ name = 'layers', w = 10, h = 10, "
          "function() DoSelectLayer(2) end, Window{ name = 'in2', w = 5, h = 5 }, "
          "function() DoSelectLayer(7) DoSelectLayer(-5) end }");
    auto* button = Find<TButton>("layers");
    ASSERT_NE(button, nullptr);
    ASSERT_EQ(button->GetLayer(2).size(), 1u);
    EXPECT_EQ(Text(button->GetLayer(2).front()->GetName()), "in2");
    EXPECT_TRUE(button->GetLayer(0).empty());
    EXPECT_THAT(LogText(), HasSubstr("TLayeredWindow::SelectLayer: layer 7"));
    EXPECT_THAT(LogText(), HasSubstr("TLayeredWindow::SelectLayer: layer -5"));
    // On a window that has no layers: nothing.
    Build("Window{ name = 'w', function() DoSelectLayer(1) end }");
}

TEST_F(TWidgetScriptTest, EnableWindowLetsADisabledButtonGo) {
    auto* button = Find<TButton>("button");
    TPoint point{5, 5};
    button->LocalToScreen(point);
    Send(MakeEvent(kEventMouseMove, point.x, point.y));
    ASSERT_EQ(button->GetState(), TButton::kHover);
    ASSERT_TRUE(Manager()->IsTracking(button));
    EXPECT_EQ(Call("EnableWindow('button', false)"), "true");
    EXPECT_FALSE(button->GetFlags() & TWindow::kEnabled);
    EXPECT_EQ(button->GetState(), TButton::kNormal);
    EXPECT_FALSE(Manager()->IsTracking(button));
    EXPECT_EQ(Call("EnableWindow('button', true)"), "true");
    EXPECT_TRUE(button->GetFlags() & TWindow::kEnabled);
    EXPECT_EQ(Call("EnableWindow('nothing', true)"), "false");
}

TEST_F(TWidgetScriptTest, ToggleStatesAlongTheModalChain) {
    // A button of the same name in the layer below the dialog.
    auto* below = new TButton;
    below->SetName("opt");
    mDialog->GetParent()->AddChild(below, true);
    Build("Button{ name = 'opt', w = 5, h = 5 }");
    auto* above = Find<TButton>("opt");
    ASSERT_NE(above, below);
    below->SetToggleState(true);
    EXPECT_EQ(Call("GetButtonToggleState('opt')"), "false") << "the first match only";
    Run("SetButtonToggleState('opt', true)");
    EXPECT_TRUE(above->IsToggledOn());
    EXPECT_TRUE(below->IsToggledOn());
    EXPECT_EQ(Call("GetButtonToggleState('opt')"), "true");
    Run("SetButtonToggleState('opt', false)");
    EXPECT_FALSE(above->IsToggledOn());
    EXPECT_FALSE(below->IsToggledOn());
    EXPECT_EQ(Call("GetButtonToggleState('text')"), "false");
    EXPECT_EQ(Call("GetButtonToggleState('nothing')"), "false");
    Run("SetButtonToggleState('text', true)");
}

TEST_F(TWidgetScriptTest, TheWidgetTypesAreRegistered) {
    for (const char* type : {"Bitmap", "Text", "Button", "Window"}) {
        EXPECT_NE(Script()->FindWindowType(type), nullptr) << type;
    }
    EXPECT_EQ(Script()->FindWindowType("Bitmap"), &TImage::Create);
    EXPECT_EQ(Script()->FindWindowType("Text"), &TText::Create);
    EXPECT_EQ(Script()->FindWindowType("Button"), &TButton::Create);
}

class TDialogFileTest : public windowlibrary_test::TWindowLibraryTest {};

TEST_F(TDialogFileTest, AClickOnTheCloseButtonEndsDisplayDialog) {
    Lua("gResult = nil return function() gResult = DisplayDialog{ 'buttons.lua' } end");
    ASSERT_TRUE(mScript->IsYielded());
    TWindow* closer = Find("closer");
    ASSERT_NE(closer, nullptr);
    TPoint point{15, 10};
    closer->LocalToScreen(point);
    Send(MakeEvent(kEventMouseMove, point.x, point.y));
    Send(MakeEvent(kEventLeftDown, point.x, point.y));
    Send(MakeEvent(kEventLeftUp, point.x, point.y));
    for (int i = 0; i < 10 && Global("gResult") == "nil"; ++i) {
        Idle();
    }
    EXPECT_EQ(Global("gResult"), "closer");
    EXPECT_THAT(Stack(), ElementsAre("_screen_"));
    EXPECT_FALSE(mScript->IsYielded());
}

} // namespace
} // namespace widget_script_test
