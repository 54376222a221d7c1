// The small widgets on a fixture game screen: the fly text's flight step by step, its restart and
// its going in flight, and the level jump button switched off by its layout.

#include "game/shell/GFlyText.h"
#include "tests/game/shell/gamewnd_fixture.h"

#include <gtest/gtest.h>

namespace flytext_test {

using gamewnd_test::TGameWndTest;

const char kScreen[] = R"(GGameWnd{ name = 'game_wnd', x = 0, y = 0, w = 800, h = 600,
  GGameCtrl{ name = 'game_ctrl', x = 0, y = 0, w = 800, h = 600 },
  GFlyText{ name = 'fly', x = 0, y = 0, w = 100, h = 20, label = '' },
  GLevelJumpButton{ name = 'jump_on', x = 0, y = 100, w = 40, h = 40,
                    command = function() end },
  GLevelJumpButton{ name = 'jump_off', x = 100, y = 100, w = 40, h = 40, enabled = false,
                    command = function() end } })";

using FlyTextTest = TGameWndTest;

TEST_F(FlyTextTest, AnUpwardFlightSlowsDownAndEmptiesTheTextOnItsLastTick) {
    OpenScreen(kScreen);
    auto* fly = Find<GFlyText>("fly");
    ASSERT_NE(fly, nullptr);
    fly->SetText("25");
    fly->GetMobile().SetPosition(200.0f, 300.0f);
    fly->Fly(1, 30);
    EXPECT_FLOAT_EQ(fly->GetMobile().GetPosition().y, 300.0f - 0.05f * 29.0f);
    for (int tick = 1; tick <= 28; ++tick) {
        fly->OnAnimate();
        ASSERT_EQ(fly->GetText(), "25") << "tick " << tick;
    }
    EXPECT_NEAR(fly->GetMobile().GetPosition().y, 300.0f - 21.75f, 1e-3);
    EXPECT_FLOAT_EQ(fly->GetMobile().GetPosition().x, 200.0f);
    fly->OnAnimate();
    EXPECT_EQ(fly->GetText(), "") << "emptied on the 29th tick";
    EXPECT_EQ(fly->GetMobile().GetTarget(), nullptr);
    fly->OnAnimate();
    EXPECT_NEAR(fly->GetMobile().GetPosition().y, 300.0f - 21.75f, 1e-3) << "idle";
}

TEST_F(FlyTextTest, OneStepEndsInsideFlyAndDirectionZeroStaysInPlace) {
    OpenScreen(kScreen);
    auto* fly = Find<GFlyText>("fly");
    fly->SetText("5");
    fly->GetMobile().SetPosition(10.0f, 20.0f);
    fly->Fly(1, 1);
    EXPECT_EQ(fly->GetText(), "");
    EXPECT_EQ(fly->GetMobile().GetTarget(), nullptr);

    fly->SetText("6");
    fly->Fly(0, 5);
    for (int tick = 0; tick < 3; ++tick) {
        fly->OnAnimate();
    }
    EXPECT_EQ(fly->GetText(), "6");
    EXPECT_FLOAT_EQ(fly->GetMobile().GetPosition().y, 20.0f);
    EXPECT_FLOAT_EQ(fly->GetMobile().GetPosition().x, 10.0f);
    fly->OnAnimate();
    EXPECT_EQ(fly->GetText(), "") << "four ticks after Fly with five steps";
}

TEST_F(FlyTextTest, ANewFlightRestartsFromTheCurrentPlace) {
    OpenScreen(kScreen);
    auto* fly = Find<GFlyText>("fly");
    fly->SetText("7");
    fly->GetMobile().SetPosition(0.0f, 100.0f);
    fly->Fly(-1, 3);
    fly->OnAnimate();
    const float y = 100.0f + 0.05f * 2.0f + 0.05f * 1.0f;
    EXPECT_FLOAT_EQ(fly->GetMobile().GetPosition().y, y);
    fly->Fly(1, 3);
    EXPECT_FLOAT_EQ(fly->GetMobile().GetPosition().y, y - 0.05f * 2.0f);
    EXPECT_EQ(fly->GetText(), "7");
}

TEST_F(FlyTextTest, AFlyTextDeletedInFlightEndsItsFlight) {
    OpenScreen(kScreen);
    auto fly = std::make_unique<GFlyText>();
    fly->SetText("8");
    fly->Fly(1, 30);
    fly->OnAnimate();
    fly.reset();
}

TEST_F(FlyTextTest, ASwitchedOffJumpButtonTakesNoPressAndNoHover) {
    OpenScreen(kScreen);
    auto* on = Find<GLevelJumpButton>("jump_on");
    auto* off = Find<GLevelJumpButton>("jump_off");
    ASSERT_NE(off, nullptr);
    EXPECT_TRUE(on->IsEnabled());
    EXPECT_FALSE(off->IsEnabled());
    EXPECT_TRUE(off->OnMouseMove(TPoint{5, 5}));
    EXPECT_EQ(off->GetState(), TButton::kNormal);
    EXPECT_TRUE(off->OnMouseDown(TPoint{5, 5}));
    EXPECT_EQ(off->GetState(), TButton::kNormal);
    off->OnMouseUp(TPoint{5, 5});
    EXPECT_NE(off->GetState(), TButton::kPressed);
    on->OnMouseMove(TPoint{5, 5});
    EXPECT_EQ(on->GetState(), TButton::kHover);

    // Clicked on the screen, only the switched-on button runs its command (handed to the script
    // with its press).
    ScriptMessages();
    for (int i = 0; i < 3; ++i) {
        Click(120, 120);
    }
    EXPECT_EQ(ScriptMessages(), std::vector<std::string>{});
    EXPECT_EQ(off->GetState(), TButton::kNormal);
    Click(20, 120);
    EXPECT_EQ(ScriptMessages(), (std::vector<std::string>{"8 LuaAction:jump_on", "3 jump_on"}));
}

} // namespace flytext_test
