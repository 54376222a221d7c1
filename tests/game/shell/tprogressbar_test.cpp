// The progress bar as a game screen builds it: images from the game folder, the layout and range
// from its definition, the foreground cut to the value's share of the bar.

#include "engine/script/lua/lua.h"
#include "engine/script/luawrapper.h"
#include "engine/ui/image.h"
#include "engine/ui/windowstyle.h"
#include "game/shell/TProgressBar.h"
#include "tests/game/game_harness.h"

namespace progressbar_test {

using namespace game_harness;

// 64 x 8 background, 60 x 6 foreground, set 2, 1 into the bar.
const char kBarScreen[] = R"(SetWindowName('bars')
MakeDialog({
  ProgressBar({ name = 'sized', x = 10, y = 20, w = 200, h = 10, Background = 'bar/back.png',
                Foreground = 'bar/front.png', dX = 2.9, dY = 1 }),
  ProgressBar({ name = 'unsized', x = 0, y = 40, Background = 'bar/back.png',
                Foreground = 'bar/front.png', MinRange = 10, MaxRange = 20, Value = 15 }),
  ProgressBar({ name = 'bare', x = 0, y = 60, Foreground = 'bar/missing.png' }),
})
)";

std::string Rect(const TWindow* window) {
    const TRect& r = window->GetRect();
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
           "," + std::to_string(r.bottom);
}

class TProgressBarTest : public TGameHarness {
protected:
    void SetUp() override {
        TGameHarness::SetUp();
        WriteImage("assets/bar/back.png", 64, 8);
        WriteImage("assets/bar/front.png", 60, 6);
        mGame.Write("assets/scripts/bars.lua", kBarScreen);
    }

    void WriteImage(const std::string& path, int width, int height) {
        standin::TScreenImage image;
        image.width = width;
        image.height = height;
        image.pixels.assign(static_cast<size_t>(width) * height, 0xFF3080C0u);
        ASSERT_TRUE(standin::WritePng(mGame.Write(path, "").string(), image));
    }

    static TProgressBar* Bar(const char* name) {
        TWindow* window = Find(name);
        EXPECT_NE(window, nullptr) << name;
        EXPECT_TRUE(window != nullptr && window->IsKindOf(TProgressBar::ClassId())) << name;
        return static_cast<TProgressBar*>(window);
    }
};

TEST_F(TProgressBarTest, TheForegroundShowsTheValuesShareOfTheBar) {
    RunGame(
        [](TPlatform*, GGameMain&) {
            ASSERT_EQ(Top(), "bars");
            TProgressBar* bar = Bar("sized");
            EXPECT_TRUE(bar->IsKindOf(TCustomProgressBar::ClassId()));
            EXPECT_TRUE(bar->IsKindOf(TWindow::ClassId()));
            EXPECT_EQ(CreateWindowFromClassId(TCustomProgressBar::ClassId()), nullptr);
            EXPECT_EQ(Rect(bar), "10,20,210,30");
            EXPECT_EQ(bar->GetMinimum(), 0.0f);
            EXPECT_EQ(bar->GetMaximum(), 100.0f);
            EXPECT_EQ(bar->GetValue(), 0.0f);
            // The background keeps its image's size; the foreground sits at the truncated offset.
            EXPECT_EQ(Rect(bar->GetBackground()), "0,0,64,8");
            const struct {
                float value;
                const char* foreground;
            } cases[] = {
                {50.0f, "2,1,102,11"},  {150.0f, "2,1,202,11"}, {-5.0f, "2,1,2,11"},
                {100.0f, "2,1,202,11"}, {0.5f, "2,1,3,11"},     {0.4f, "2,1,2,11"},
            };
            for (const auto& c : cases) {
                bar->SetValue(c.value);
                EXPECT_EQ(Rect(bar->GetForeground()), c.foreground) << c.value;
            }
            // A new range applies at once.
            bar->SetValue(50.0f);
            bar->SetRange(40.0f, 60.0f);
            EXPECT_EQ(Rect(bar->GetForeground()), "2,1,102,11");
            EXPECT_FALSE(bar->SetLayerTexture(2, TTexturePtr()));

            // Without a size the bar takes the background's; range and value from the definition.
            TProgressBar* unsized = Bar("unsized");
            EXPECT_EQ(Rect(unsized), "0,40,64,48");
            EXPECT_EQ(unsized->GetValue(), 15.0f);
            EXPECT_EQ(Rect(unsized->GetForeground()), "0,0,32,8");

            // Missing images leave the layers empty and the bar without a size.
            TProgressBar* bare = Bar("bare");
            EXPECT_FALSE(bare->GetBackground()->GetTexture());
            EXPECT_FALSE(bare->GetForeground()->GetTexture());
            EXPECT_EQ(Rect(bare), "0,60,0,60");
        },
        {{"firstscreen", "scripts/bars.lua"}});
}

TEST_F(TProgressBarTest, AValueSetBeforeInitIsReplacedByTheDefinitions) {
    RunGame([](TPlatform*, GGameMain&) {
        TScript* script = Script();
        script->DoLuaString("barDefinition = { w = 100, h = 4, Value = 25 }");
        lua_State* state = script->GetState();
        lua_pushstring(state, "barDefinition");
        lua_gettable(state, LUA_GLOBALSINDEX);
        TLuaTable definition(state);
        TWindowStyle style(*script, definition);

        TProgressBar bar;
        bar.SetValue(70.0f);
        EXPECT_EQ(bar.GetValue(), 70.0f);
        EXPECT_EQ(Rect(bar.GetForeground()), "0,0,0,0") << "inert before Init";
        bar.Init(style);
        EXPECT_TRUE(bar.IsInitialised());
        EXPECT_EQ(bar.GetValue(), 25.0f);
        EXPECT_EQ(Rect(bar.GetForeground()), "0,0,25,4");
        // A second Init changes nothing.
        bar.SetValue(60.0f);
        bar.Init(style);
        EXPECT_EQ(bar.GetValue(), 60.0f);
    });
}

} // namespace progressbar_test
