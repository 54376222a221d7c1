// The game window on a fixture screen and level: the start-up sequence (upgrade phase, play, the
// level-goal dialog once), the upgrade introduction of level 2, the power-button grid and presses,
// the selector held while something is carried, the guide glow, the game control's Lua text
// queue, and a closed screen that the logical manager and the visual factory no longer reach.

#include "engine/ui/textsprite.h"
#include "game/shell/GGameHooks.h"
#include "game/visual/GVLayer.h"
#include "game/world/GGameObject.h"
#include "game/world/GLogicalManagerHooks.h"
#include "game/world/GMStr_TargetDrag.h"
#include "game/world/GMStr_UpgradeButton.h"
#include "tests/game/shell/gamewnd_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace gamewnd_test {
namespace {

using GameWndTest = TGameWndTest;

TEST_F(GameWndTest, StartsTheLevelAndWalksUpgradePlayAndGoalDialogOnce) {
    OpenScreen();
    ASSERT_NE(Level(), nullptr);
    EXPECT_EQ(Level()->GetLevelNumber(), 1);
    EXPECT_EQ(Ran(), "hide;") << "the level load hides the power buttons";
    EXPECT_EQ(mWnd->GetGameLayer(), mWnd->GetGameCtrl()->GetLayer());
    EXPECT_EQ(GVFactory::Instance().GetCurrentLayer(), mWnd->GetGameCtrl()->GetLayer());
    EXPECT_EQ(GLogicalManager::Instance().GetGameScreen(), mGame);
    EXPECT_TRUE(&GLogicalManager::Instance().GetHooks() == mWnd);
    EXPECT_FALSE(Shown("judging_counter_img"));
    ASSERT_EQ(Level()->GetObjectCount(), 2);
    EXPECT_EQ(GLogicalManager::Instance().GetGameData()->GetOfferCount(), 1);

    Tick(30);
    EXPECT_EQ(mWnd->GetStepCounter(), 1);
    EXPECT_EQ(Level()->GetLevelState(), 1) << "the booth is on offer: the upgrade phase";
    EXPECT_TRUE(Shown("buy_panel"));
    EXPECT_TRUE(Shown("girl_upgrade_panel"));
    EXPECT_FALSE(Shown("level_panel"));
    EXPECT_EQ(Text(Find<TText>("money_account")->GetText()), "120");
    EXPECT_EQ(Ran(), "") << "level 1 has no upgrade introduction";

    Run("CPP_OnUpgradeModeFinished()");
    EXPECT_EQ(Level()->GetLevelState(), 2);
    EXPECT_EQ(GLogicalManager::Instance().GetGameState(), 2);
    EXPECT_FALSE(Shown("buy_panel"));
    EXPECT_TRUE(Shown("level_panel"));
    EXPECT_TRUE(Shown("judging_counter_img"));
    EXPECT_EQ(Ran(), "");
    Tick(30);
    EXPECT_EQ(Ran(), "scripts/levelgoal.lua;scripts/rule_window.lua;");
    for (int i = 0; i < 5; ++i) {
        Tick(30);
    }
    EXPECT_EQ(Ran(), "") << "shown once";

    Run("gLoaded = CPP_LoadLevel(1, 1)");
    EXPECT_EQ(Number("gLoaded"), 1);
    EXPECT_EQ(mWnd->GetStepCounter(), 0);
    Tick(30);
    EXPECT_EQ(Level()->GetLevelState(), 1) << "a reload begins the upgrade phase again";
}

TEST_F(GameWndTest, WithoutOffersTheFirstTickPlaysAndTheNextShowsTheGoal) {
    AddFile(GGameData::kScriptFile, Bytes(kNoOffers));
    OpenScreen();
    Ran();
    Tick(30);
    EXPECT_EQ(Level()->GetLevelState(), 2);
    EXPECT_FALSE(Shown("buy_panel"));
    EXPECT_EQ(Ran(), "");
    Tick(30);
    EXPECT_EQ(Ran(), "scripts/levelgoal.lua;scripts/rule_window.lua;");
}

TEST_F(GameWndTest, LevelTwoRunsTheUpgradeIntroductionOncePerPlayer) {
    Run("gLevelNum = 2");
    OpenScreen();
    Ran();
    Tick(30);
    EXPECT_EQ(Ran(), "scripts/rule_upgrade.lua;");
    Run("gShown = gGlobalPlayerInfo.gUpgradeIntroShow");
    EXPECT_EQ(Number("gShown"), 1);
    Run("CPP_LoadLevel(2, 1)");
    Tick(30);
    EXPECT_EQ(Ran(), "hide;") << "only the load's hiding, no second introduction";
}

TEST_F(GameWndTest, PowerButtonsFillTwoRowsPerColumn) {
    OpenScreen();
    Tick(30);
    Run("CPP_OnUpgradeModeFinished()");
    // The manager placed the powers of level 1 in display order; "poise" has no button.
    EXPECT_EQ(mWnd->GetPowerButtons(), (std::vector<str>{"speed", "makeup", "hair", "odd"}));
    struct TCase {
        const char* name;
        int x;
        int y;
    };
    for (const TCase& c :
         {TCase{"speed", 700, 100}, TCase{"speed_dis", 700, 100}, TCase{"makeup", 700, 160},
          TCase{"hair", 750, 100}, TCase{"odd", 750, 220}}) {
        const TRect& rect = Find(c.name)->GetRect();
        EXPECT_EQ(rect.left, c.x) << c.name;
        EXPECT_EQ(rect.top, c.y) << c.name;
        EXPECT_TRUE(Shown(c.name)) << c.name;
    }
    EXPECT_EQ(mWnd->PlacePowerButton("speed", 0), 1);
    EXPECT_EQ(mWnd->PlacePowerButton("makeup", 1), 0) << "no disabled look";
    EXPECT_EQ(mWnd->PlacePowerButton("nothing", 1), 0);
    EXPECT_EQ(mWnd->GetPowerButtons().back(), str("makeup")) << "listed all the same";

    mWnd->ShowPowerButtons(false);
    EXPECT_FALSE(Shown("makeup"));
    EXPECT_FALSE(Shown("odd"));
    EXPECT_TRUE(Shown("speed_dis")) << "the disabled looks are the script's";
}

TEST_F(GameWndTest, PressingAPowerButtonAnswersTheManager) {
    OpenScreen();
    Tick(30);
    Run("gAnswer = CPP_PressPowerButton('speed')");
    EXPECT_EQ(Number("gAnswer"), 0) << "not running yet";
    Run("CPP_OnUpgradeModeFinished()");
    Run("gAnswer = CPP_PressPowerButton('unknown')");
    EXPECT_EQ(Number("gAnswer"), 0);
    Run("gAnswer = CPP_PressPowerButton('odd')");
    EXPECT_EQ(Number("gAnswer"), 0) << "kind 5 is refused";
    EXPECT_TRUE(Shown("odd")) << "a refusal hides nothing";
    EXPECT_EQ(mWnd->GetPowerButtons().size(), 4u);
    Run("gAnswer = CPP_PressPowerButton('speed')");
    EXPECT_EQ(mWnd->GetPowerButtons(), (std::vector<str>{"makeup", "hair", "odd"}));
    EXPECT_FALSE(Shown("makeup"));
    EXPECT_FALSE(Shown("odd"));
}

TEST_F(GameWndTest, TheSelectorWaitsForTheCarryAndOpensOnceWithTheLaterText) {
    OpenScreen();
    Tick(30);
    Run("CPP_OnUpgradeModeFinished()");
    Tick(30);
    Ran();
    GLogicalManager& manager = GLogicalManager::Instance();
    manager.SetGameState(3);
    manager.GetHooks().RequestSelector("gSetUp = 'first'");
    manager.GetHooks().RequestSelector("gSetUp = 'second'");
    Tick(30);
    Tick(30);
    EXPECT_EQ(Ran(), "");
    EXPECT_TRUE(mWnd->IsSelectorPending());
    manager.SetGameState(2);
    Tick(30);
    EXPECT_EQ(Ran(), "selector second;init;");
    EXPECT_FALSE(mWnd->IsSelectorPending());
    ASSERT_NE(manager.GetSelectorModal(), nullptr);
    EXPECT_EQ(Text(Manager()->GetTopModal()->GetName()), "SelectorModalWindow");
    ASSERT_NE(manager.GetSelectorWindow(), nullptr);
    EXPECT_EQ(Text(manager.GetSelectorWindow()->GetName()), "select_control");
    Tick(30);
    EXPECT_EQ(Ran(), "");
}

TEST_F(GameWndTest, TheGuideGlowHearsOnlyChanges) {
    OpenScreen();
    auto* glow = Find<TPSimple>("guide_glow");
    ASSERT_NE(glow, nullptr);
    TScript* script = glow->GetParticles().GetScript();
    EXPECT_FALSE(mWnd->GetGuideGlowState());
    struct TCase {
        bool on;
        const char* seen;
    };
    // A marker left in gActive shows whether the window spoke again.
    for (const TCase& c : {TCase{false, "marker"}, TCase{true, "true"}, TCase{true, "marker"},
                           TCase{false, "false"}}) {
        script->DoLuaString("gActive = 'marker'");
        mWnd->SetGuideGlow(c.on);
        script->DoLuaString("gSeen = tostring(gActive)");
        EXPECT_EQ(Text(script->GetGlobalString("gSeen")), c.seen) << c.on;
    }
}

TEST_F(GameWndTest, QueuedTextsRunOnePerTickAndNoneWhileCarrying) {
    OpenScreen();
    Tick(30);
    Run("CPP_OnUpgradeModeFinished()");
    Tick(30);
    Ran();
    GLogicalManager& manager = GLogicalManager::Instance();
    manager.SetGameState(3);
    for (const char* text : {"Note('one')", "Note('two')", "Note('three')"}) {
        manager.GetHooks().QueueLuaText(text);
    }
    Tick(10);
    Tick(10);
    EXPECT_EQ(Ran(), "");
    manager.SetGameState(2);
    for (const char* seen : {"one;", "two;", "three;"}) {
        Tick(10);
        EXPECT_EQ(Ran(), seen);
    }
    EXPECT_TRUE(mWnd->GetGameCtrl()->GetLuaTexts().empty());
}

TEST_F(GameWndTest, AClosedScreenIsReachedByNothing) {
    OpenScreen();
    Tick(30);
    CloseScreen();
    GLogicalManager& manager = GLogicalManager::Instance();
    EXPECT_FALSE(manager.GetHooks().HasGameWindow());
    EXPECT_EQ(manager.GetGameScreen(), nullptr);
    EXPECT_EQ(manager.GetGameLayer(), nullptr);
    EXPECT_EQ(GVFactory::Instance().GetCurrentLayer(), nullptr);
    EXPECT_EQ(Level(), nullptr) << "the level closed with the screen";
    EXPECT_TRUE(IsNilGlobal("CPP_PressPowerButton"));
    EXPECT_TRUE(IsNilGlobal("CPP_LoadLevel"));
    // What used to reach the deleted windows.
    manager.UpdateBuyButton();
    manager.GetHooks().QueueLuaText("Note('late')");
    manager.GetHooks().SetMoney(5);
    EXPECT_EQ(manager.GetGameData()->Restart(), 0);

    // A second screen works as the first did.
    OpenScreen();
    Tick(30);
    EXPECT_EQ(Level()->GetLevelState(), 1);
    EXPECT_EQ(manager.GetGameScreen(), mGame);
}

TEST_F(GameWndTest, ControlsDeletedBeforeTheWindowAreForgotten) {
    OpenScreen();
    Tick(30);
    Run("DestroyWindow('game_ctrl') DestroyWindow('scene_ctrl')");
    Tick(30);
    ASSERT_EQ(Find("game_ctrl"), nullptr);
    EXPECT_EQ(mWnd->GetGameCtrl(), nullptr);
    EXPECT_EQ(mWnd->GetSceneCtrl(), nullptr);
    GLogicalManager& manager = GLogicalManager::Instance();
    EXPECT_EQ(manager.GetGameLayer(), nullptr);
    EXPECT_EQ(manager.GetSceneLayer(), nullptr);
    EXPECT_EQ(manager.GetGameScreen(), nullptr);
    EXPECT_EQ(GVFactory::Instance().GetCurrentLayer(), nullptr);
    manager.GetHooks().QueueLuaText("Note('late')");
    Tick(30);
}

TEST_F(GameWndTest, AGirlBeforeTheJudgesJoinsTheSceneControlsDrawList) {
    AddFile("anim/box.png", widget_test::PatternPng(20, 20, [](int, int) { return 0xFF0000u; }));
    AddFile("xml/box.xml", Bytes("<main id=\"box\"><images><img name=\"box.png\"/></images>"
                                 "<framelist><frame w=\"20\" h=\"20\"/></framelist></main>"));
    AddFile(GLevel::kStageFile, Bytes(R"(
LevelData = { hall = { BaseType = 'types', box = { included = true, base_type = 'box' } } }
Objects = { types = { box = { class_name = 'GGameObject', xml_anim = 'box' } } }
function LevelTimerFunc() end
)"));
    OpenScreen();
    ASSERT_EQ(Level()->GetObjectCount(), 1);
    GGameObject* girl = Level()->GetObjects()[0];
    GVLayer* scene = GLogicalManager::Instance().GetSceneLayer();
    ASSERT_NE(scene, nullptr);
    const std::vector<GVLayer*>& layers = girl->GetVisual()->GetLayers();
    EXPECT_EQ(std::count(layers.begin(), layers.end(), scene), 0);
    GLogicalManager::Instance().GetHooks().AddToSceneControl(girl);
    EXPECT_EQ(std::count(layers.begin(), layers.end(), scene), 1);
}

TEST_F(GameWndTest, AStageFileWithoutItsTablesLeavesAScreenWithoutLevel) {
    AddFile(GLevel::kStageFile, Bytes("function LevelTimerFunc() end"));
    OpenScreen();
    EXPECT_EQ(Level(), nullptr);
    for (int i = 0; i < 4; ++i) {
        Tick(30);
    }
    Run("CPP_OnUpgradeModeFinished()");
    Tick(30);
    EXPECT_EQ(Ran(), "") << "no level, no level-goal dialog";
    EXPECT_EQ(mWnd->GetStepCounter(), 3);
}

TEST_F(GameWndTest, TheGameHooksReleaseOnlyAGameControl) {
    OpenScreen();
    GGameHooks hooks;
    EXPECT_TRUE(hooks.HasGameWindow());
    hooks.SendOutsideRelease(nullptr);
    hooks.SendOutsideRelease(Find("level_panel"));
    hooks.SendOutsideRelease(Find("game_ctrl"));
    CloseScreen();
    EXPECT_FALSE(hooks.HasGameWindow());
}

} // namespace
} // namespace gamewnd_test

namespace gamewnd_test {
namespace {

TEST_F(GameWndTest, TheControlTracksTheMouseOnlyAfterItOnceLeft) {
    OpenScreen();
    GGameCtrl* control = mWnd->GetGameCtrl();
    ASSERT_NE(control, nullptr);
    EXPECT_TRUE(control->IsTracking()) << "true from the start";
    EXPECT_TRUE(control->OnMouseMove(TPoint{12, 34}));
    EXPECT_EQ(control->GetLastMousePoint().x, 12);
    EXPECT_EQ(control->GetLastMousePoint().y, 34);
    EXPECT_TRUE(control->OnMouseLeave());
    EXPECT_FALSE(control->IsTracking());
    control->OnMouseMove(TPoint{50, 60});
    EXPECT_TRUE(control->IsTracking());
    EXPECT_EQ(control->GetLastMousePoint().x, 50);
    EXPECT_FALSE(control->OnKeyDown(72, 0)) << "every key goes on to the game data";
    EXPECT_FALSE(control->OnKeyUp(72));
    EXPECT_EQ(Manager()->GetTopModal()->GetDefaultFocus(), control);
}

} // namespace
} // namespace gamewnd_test

namespace gamewnd_test {
namespace {

// The hall's background (a dark blue 160 x 120 image) with a red 20 x 20 box at (30, 40) and a
// yellow 10 x 30 lamp at (100, 50), drawn by the game control over the game window's background.
TEST_F(GameWndTest, GoldenLevelDrawnThroughTheGameControl) {
    AddFile("hall.png", widget_test::PatternPng(160, 120, [](int, int) { return 0x203060u; }));
    AddFile("anim/box.png", widget_test::PatternPng(20, 20, [](int, int) { return 0xFF0000u; }));
    AddFile("anim/lamp.png", widget_test::PatternPng(10, 30, [](int, int) { return 0xFFFF00u; }));
    for (const auto& [name, size] :
         {std::pair{"box", "w=\"20\" h=\"20\""}, std::pair{"lamp", "w=\"10\" h=\"30\""}}) {
        AddFile(std::string("xml/") + name + ".xml",
                Bytes(std::string("<main id=\"") + name + "\"><images><img name=\"" + name +
                      ".png\"/></images><framelist><frame " + size +
                      "/></framelist><states><state id=\"normal\" framelist=\"0\"/></states>"
                      "</main>"));
    }
    AddFile(GLevel::kStageFile, Bytes(R"(
LevelData = { level = { goal = 50, expert = 100 },
  hall = { BaseType = 'types', BaseData = 'data',
           box = { included = true, pos_x = 30, pos_y = 40 },
           lamp = { included = true, pos_x = 100, pos_y = 50 } } }
Objects = {
  types = { box = { class_name = 'GGameObject', xml_anim = 'box' },
            lamp = { class_name = 'GGameObject', xml_anim = 'lamp' } },
  data = { box = { name = 'box', base_type = 'box' }, lamp = { name = 'lamp', base_type = 'lamp' } },
  level_types = { level = { background = 'hall.png' } } }
function LevelTimerFunc() end
)"));
    OpenScreen(R"(GGameWnd{ name = 'game_wnd', x = 0, y = 0, w = 800, h = 600,
  Bitmap{ name = 'background', x = 0, y = 0, w = 800, h = 600 },
  GGameCtrl{ name = 'game_ctrl', x = 0, y = 0, w = 800, h = 600 },
  GSceneCtrl{ name = 'scene_ctrl', x = 0, y = 0, w = 800, h = 600 } })");
    ASSERT_EQ(Level()->GetObjectCount(), 2);
    Tick(30);
    const standin::TScreenImage image = DrawFrame();
    testing_fixtures::ExpectGolden(image, "tests/game/shell/golden/game_level.png");
    const auto at = [&image](int x, int y) {
        return image.pixels[static_cast<size_t>(y * image.width + x)] & 0xFFFFFFu;
    };
    struct TPixel {
        int x;
        int y;
        uint32_t rgb;
    };
    // The objects stand at their level positions, the box over (30, 40)-(49, 59), the lamp over
    // (100, 50)-(109, 79); the background everywhere else.
    for (const TPixel& p :
         {TPixel{5, 5, 0x203060u}, TPixel{30, 40, 0xFF0000u}, TPixel{49, 59, 0xFF0000u},
          TPixel{29, 40, 0x203060u}, TPixel{50, 60, 0x203060u}, TPixel{100, 50, 0xFFFF00u},
          TPixel{109, 79, 0xFFFF00u}, TPixel{110, 79, 0x203060u}, TPixel{100, 80, 0x203060u},
          TPixel{159, 119, 0x203060u}}) {
        EXPECT_EQ(at(p.x, p.y), p.rgb) << p.x << "," << p.y;
    }
}

} // namespace
} // namespace gamewnd_test

namespace gamewnd_test {
namespace {

// A girl as the manager tells one, counting the click checks the manager makes; -1 refuses.
class TClickProbe : public GGameObject {
public:
    static inline int sChecks = 0;
    const char* GetClassName() const override { return "GStudent"; }
    GGameObject* Clone() const override {
        auto* copy = new TClickProbe;
        copy->CopyFrom(*this);
        return copy;
    }
    int CheckClick() override {
        ++sChecks;
        return -1;
    }
};

const bool gClickProbeRegistered = GObjectFactory::Instance().RegisterObjectCreator(
    "ClickProbe", [] { return static_cast<GGameObject*>(new TClickProbe); });

// A click on the screen goes through the window manager to the game control, the game data and
// the level, whose object's strategy posts the click; the deferred call reaches the manager.
TEST_F(GameWndTest, AClickTravelsToTheLogicalManagerOnce) {
    ASSERT_TRUE(gClickProbeRegistered);
    AddFile("anim/box.png", widget_test::PatternPng(20, 20, [](int, int) { return 0xFF0000u; }));
    AddFile("xml/box.xml",
            Bytes("<main id=\"box\"><images><img name=\"box.png\"/></images><framelist><frame "
                  "w=\"20\" h=\"20\"/></framelist><states><state id=\"normal\" framelist=\"0\"/>"
                  "</states></main>"));
    AddFile(GLevel::kStageFile, Bytes(R"(
LevelData = { level = { goal = 50, expert = 100 },
  hall = { BaseType = 'types', BaseData = 'data',
           girl = { included = true, pos_x = 30, pos_y = 40 } } }
Objects = { types = { girl = { class_name = 'ClickProbe', xml_anim = 'box' } },
  data = { girl = { name = 'girl', base_type = 'girl' } } }
function LevelTimerFunc() end
)"));
    AddFile(GGameData::kScriptFile, Bytes(kNoOffers));
    OpenScreen();
    Tick(30);
    ASSERT_EQ(GLogicalManager::Instance().GetGameState(), 2) << "playing";
    ASSERT_EQ(Level()->GetObjectCount(), 1);
    GGameObject* girl = Level()->GetObjects().front();
    auto* strategy = new GMStr_TargetDrag(0, GGameObject::sClassId);
    girl->SetStrategy(strategy);
    strategy->SetTarget(girl, Level());
    girl->SetMouseEnabled(true);
    TClickProbe::sChecks = 0;
    // A frame brings the visuals to their places, as the game's loop does.
    DrawFrame();
    Click(40, 50);
    EXPECT_EQ(TClickProbe::sChecks, 1);
    Click(100, 100);
    EXPECT_EQ(TClickProbe::sChecks, 1) << "beside the girl";

    // A press on the girl that the game main releases outside the play area (the game hooks'
    // outside release to the game control) still ends at the manager.
    Send(MakeEvent(kEventMouseMove, 40, 50));
    Send(MakeEvent(kEventLeftDown, 40, 50));
    GGameHooks hooks;
    hooks.SendOutsideRelease(Find("game_ctrl"));
    EXPECT_EQ(TClickProbe::sChecks, 2);
}

} // namespace
} // namespace gamewnd_test

namespace gamewnd_test {
namespace {

// The goal panel of a level with goal 50 and expert 100 at score 30: a 104 x 14 gray score bar
// at (10, 80) whose green 100 x 10 foreground (offset 2, 2) shows 30 of 100, and a 104 x 10 gray
// goal bar at (10, 100) whose blue 100 x 6 foreground shows the goal, 50 of 100. A bar shows its
// share of the background's width: 31 green columns (x 12 to 42), 52 blue ones (x 12 to 63).
TEST_F(GameWndTest, GoldenGoalPanelAtThirtyOfFiftyAndHundred) {
    Script()->RegisterWindowType("ProgressBar", &TProgressBar::Create);
    const auto solid = [](int w, int h, uint32_t rgb) {
        return widget_test::PatternPng(w, h, [rgb](int, int) { return rgb; });
    };
    AddFile("back.png", solid(104, 14, 0x404040u));
    AddFile("front.png", solid(100, 10, 0x00C000u));
    AddFile("goal_back.png", solid(104, 10, 0x404040u));
    AddFile("goal_front.png", solid(100, 6, 0x3050FFu));
    OpenScreen(R"(GGameWnd{ name = 'game_wnd', x = 0, y = 0, w = 800, h = 600,
  GGameCtrl{ name = 'game_ctrl', x = 0, y = 0, w = 800, h = 600 },
  Window{ name = 'score_panel', x = 0, y = 0, w = 160, h = 120,
    ProgressBar{ name = 'score_progress', x = 10, y = 80, Background = 'back.png',
                 Foreground = 'front.png', dX = 2, dY = 2 },
    ProgressBar{ name = 'goal_progress', x = 10, y = 100, Background = 'goal_back.png',
                 Foreground = 'goal_front.png', dX = 2, dY = 2 } } })");
    ASSERT_NE(Level(), nullptr);
    EXPECT_EQ(mWnd->GetGoalIndicator().GetGoal(), 50) << "from the level";
    EXPECT_EQ(mWnd->GetGoalIndicator().GetExpert(), 100);
    GLogicalManager::Instance().AddScore(30);
    Tick(30);
    const standin::TScreenImage image = DrawFrame();
    testing_fixtures::ExpectGolden(image, "tests/game/shell/golden/goal_panel.png");
    const auto at = [&image](int x, int y) {
        return image.pixels[static_cast<size_t>(y * image.width + x)] & 0xFFFFFFu;
    };
    struct TPixel {
        int x;
        int y;
        uint32_t rgb;
    };
    for (const TPixel& p :
         {TPixel{10, 80, 0x404040u}, TPixel{12, 82, 0x00C000u}, TPixel{42, 91, 0x00C000u},
          TPixel{43, 82, 0x404040u}, TPixel{113, 93, 0x404040u}, TPixel{12, 102, 0x3050FFu},
          TPixel{63, 107, 0x3050FFu}, TPixel{64, 102, 0x404040u}, TPixel{5, 5, 0x000000u}}) {
        EXPECT_EQ(at(p.x, p.y), p.rgb) << p.x << "," << p.y;
    }
    for (int y : {80, 81, 82, 91, 92, 93, 100, 101, 102, 107, 108, 109}) {
        std::string row;
        for (int x = 8; x < 70; ++x) {
            const uint32_t v = at(x, y);
            row += v == 0x404040u   ? 'g'
                   : v == 0x00C000u ? 'G'
                   : v == 0x3050FFu ? 'B'
                   : v == 0         ? '.'
                                    : '?';
        }
        std::printf("%3d %s\n", y, row.c_str());
    }
}

} // namespace
} // namespace gamewnd_test

namespace gamewnd_labels_test {

using gamewnd_test::TGameWndTest;

// Score labels "score_0" to "score_2" and the hint panels, with the labels' count.
std::string LabelScreen(int count, const std::string& templ = "score_%d") {
    return "GGameWnd{ name = 'game_wnd', x = 0, y = 0, w = 800, h = 600, "
           "ScoreLabelsTemplateName = '" +
           templ + "', ScoreLabelsNum = " + std::to_string(count) +
           ", GGameCtrl{ name = 'game_ctrl', x = 0, y = 0, w = 800, h = 600 }, "
           "GSmallHintPanel{ name = 'score_1', w = 10, h = 10, vector_y = -1 }, "
           "GSmallHintPanel{ name = 'score_0', w = 10, h = 10, vector_y = -1 }, "
           "GSmallHintPanel{ name = 'score_2', w = 10, h = 10, vector_y = -1 }, "
           "GHintPanel{ name = 'hint_panel', w = 10, h = 10 }, "
           "GSmallHintPanel{ name = 'small_hint_panel', w = 10, h = 10 }, "
           "GFlyText{ name = 'white_score_text', w = 50, h = 20, label = '' } }";
}

TEST_F(TGameWndTest, ScoreLabelsAreFoundInOrderAndAFlyingOneIsPassedOver) {
    const std::string screen = LabelScreen(3);
    OpenScreen(screen.c_str());
    const std::vector<GSmallHintPanel*>& labels = mWnd->GetScoreLabels();
    ASSERT_EQ(labels.size(), 3U);
    EXPECT_EQ(labels[0], Find("score_0"));
    EXPECT_EQ(labels[1], Find("score_1"));
    EXPECT_EQ(labels[2], Find("score_2"));
    GLogicalManager& manager = GLogicalManager::Instance();
    EXPECT_EQ(manager.GetHintPanel(), Find("hint_panel"));
    EXPECT_EQ(manager.GetSmallHintPanel(), Find("small_hint_panel"));
    EXPECT_EQ(manager.GetIdleScoreLabel("10"), labels[0]);
    labels[0]->Fly(1, 30, true);
    EXPECT_EQ(manager.GetIdleScoreLabel("10"), labels[1]);
    labels[1]->Fly(1, 30, true);
    labels[2]->Fly(-1, 30, true);
    EXPECT_EQ(manager.GetIdleScoreLabel("10"), nullptr) << "all fly";

    auto* white = Find<GFlyText>("white_score_text");
    ASSERT_EQ(manager.GetWhiteScoreText(), white);
    white->SetText("x 3");
    white->Fly(1, 30);
    manager.GetHooks().StopScoreText();
    EXPECT_EQ(white->GetText(), "");
    EXPECT_EQ(white->GetMobile().GetTarget(), nullptr);
    manager.GetHooks().StopScoreText();
}

TEST_F(TGameWndTest, AGirlsPointsFlyTheIdleScoreLabelOrTheWhiteScoreText) {
    // The first label with a description text, so that its colour can be seen.
    std::string screen = LabelScreen(2);
    const std::string label = "name = 'score_0', w = 10, h = 10, vector_y = -1 }";
    screen.replace(screen.find(label), label.size(),
                   "name = 'score_0', w = 10, h = 10, vector_y = -1, Text{ name = "
                   "'small_hint_descript', w = 10, h = 10, label = '' } }");
    OpenScreen(screen.c_str());
    GLogicalManagerHooks& hooks = GLogicalManager::Instance().GetHooks();
    const std::vector<GSmallHintPanel*>& labels = mWnd->GetScoreLabels();
    ASSERT_EQ(labels.size(), 2U);
    auto* description = Find<TText>("small_hint_descript");
    ASSERT_NE(description, nullptr);

    // The judges' points: the idle label's description goes clear, the white text shows the
    // line from the point given, staying in place for direction 0.
    auto* white = Find<GFlyText>("white_score_text");
    hooks.FlyWhiteScoreText("Great: 12", 120, 80, 0);
    EXPECT_EQ(white->GetText(), "Great: 12");
    EXPECT_EQ(white->GetRect().left, 120);
    EXPECT_EQ(white->GetRect().top, 80);
    EXPECT_EQ(white->GetMobile().GetTarget(), white) << "it flies";
    ASSERT_NE(description->GetSprite(), nullptr);
    EXPECT_EQ(description->GetSprite()->GetColor().a, 0.0f);
    EXPECT_TRUE(labels[0]->IsIdle()) << "only its colour changed";

    // A scene's points: the first idle label shows them from the point and flies up one step.
    hooks.FlyScoreLabel("30", 1, 200, 300, 30);
    EXPECT_FALSE(labels[0]->IsIdle());
    EXPECT_EQ(description->GetText(), "30");
    EXPECT_EQ(labels[0]->GetRect().left, 200);
    EXPECT_LT(labels[0]->GetRect().top, 300) << "its vector points up";
    hooks.FlyScoreLabel("5", 1, 10, 10, 5);
    EXPECT_FALSE(labels[1]->IsIdle());
    hooks.FlyScoreLabel("7", 1, 10, 10, 7);
    EXPECT_EQ(description->GetText(), "30") << "no idle label: nothing";
}

TEST_F(TGameWndTest, NoScoreLabelsWithoutACountOrWithABadTemplate) {
    for (const std::string& screen : {LabelScreen(0), LabelScreen(3, "score_%d_%d")}) {
        OpenScreen(screen.c_str());
        EXPECT_TRUE(mWnd->GetScoreLabels().empty()) << screen;
        EXPECT_EQ(GLogicalManager::Instance().GetIdleScoreLabel("1"), nullptr);
        EXPECT_EQ(GLogicalManager::Instance().GetWhiteScoreText(), nullptr)
            << "no white score text without labels";
        CloseScreen();
    }
    EXPECT_NE(LogText().find("GGameWnd: ScoreLabelsTemplateName score_%d_%d does not hold one "
                             "integer conversion; no score labels"),
              std::string::npos)
        << LogText();
}

} // namespace gamewnd_labels_test

namespace gamewnd_hintedbutton_test {

using gamewnd_test::TGameWndTest;

// A hinted button at (100, 200) and, when asked, the small hint panel.
std::string ButtonScreen(bool withPanel) {
    return std::string("GGameWnd{ name = 'game_wnd', x = 0, y = 0, w = 800, h = 600, "
                       "GGameCtrl{ name = 'game_ctrl', x = 0, y = 0, w = 800, h = 600 }, "
                       "GHintedButton{ name = 'bonus', x = 100, y = 200, w = 40, h = 40, "
                       "HintAppearDelay = 1000, HintName = 'my_name' }, ") +
           (withPanel ? "GSmallHintPanel{ name = 'small_hint_panel', w = 160, h = 100, "
                        "Text{ name = 'small_hint_caption', w = 100, h = 20, label = '' }, "
                        "Text{ name = 'small_hint_descript', w = 100, h = 20, label = '' } }"
                      : "") +
           " }";
}

TEST_F(TGameWndTest, AHintedButtonShowsItsHintAfterTheDelayFromTheFirstMove) {
    const std::string screen = ButtonScreen(true);
    OpenScreen(screen.c_str());
    auto* button = Find<GHintedButton>("bonus");
    auto* panel = Find<GSmallHintPanel>("small_hint_panel");
    ASSERT_NE(button, nullptr);
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(button->GetHintAppearDelay(), 1000U);
    button->OnMouseMove(TPoint{5, 6});
    EXPECT_TRUE(button->IsArmed());
    EXPECT_EQ(panel->GetRect().left, 115);
    EXPECT_EQ(panel->GetRect().top, 106);
    Tick(600);
    button->OnMouseMove(TPoint{7, 8});
    EXPECT_TRUE(panel->IsIdle()) << "still waiting: a move keeps it hidden";
    Tick(300);
    EXPECT_TRUE(panel->IsIdle());
    Tick(200);
    EXPECT_FALSE(panel->IsIdle()) << "1000 ms after the first move";
    EXPECT_FALSE(button->IsArmed());
    EXPECT_EQ(static_cast<TText*>(Find("small_hint_caption"))->GetText(), button->GetHintCaption());

    button->OnMouseMove(TPoint{7, 8});
    EXPECT_FALSE(panel->IsIdle()) << "the first move after the hint arms again";
    button->OnMouseMove(TPoint{7, 9});
    EXPECT_TRUE(panel->IsIdle()) << "the second hides it";

    button->OnMouseLeave();
    EXPECT_FALSE(button->IsArmed());
    EXPECT_TRUE(panel->IsIdle());
    Tick(2000);
    EXPECT_TRUE(panel->IsIdle()) << "left: no hint";
}

TEST_F(TGameWndTest, AHintedButtonWithoutTheSmallHintPanelIsAPlainButton) {
    const std::string screen = ButtonScreen(false);
    OpenScreen(screen.c_str());
    auto* button = Find<GHintedButton>("bonus");
    ASSERT_NE(button, nullptr);
    button->OnMouseMove(TPoint{5, 6});
    EXPECT_FALSE(button->IsArmed());
    Tick(2000);
    button->OnMouseLeave();
}

} // namespace gamewnd_hintedbutton_test

namespace gamewnd_hint_test {

using gamewnd_test::MakeEvent;
using gamewnd_test::Text;
using gamewnd_test::TGameWndTest;

const char kHintScreen[] = R"(GGameWnd{ name = 'game_wnd', x = 0, y = 0, w = 800, h = 600,
  GGameCtrl{ name = 'game_ctrl', x = 0, y = 0, w = 800, h = 600 },
  GHintPanel{ name = 'hint_panel', x = 300, y = 0, w = 100, h = 100,
    Text{ name = 'hint_caption', w = 100, h = 20, label = '' },
    Text{ name = 'hint_descript', w = 100, h = 20, label = '' },
    Text{ name = 'item_cost', w = 100, h = 20, label = '' },
    Text{ name = 'coment_text', w = 100, h = 20, label = '' },
    Text{ name = 'recomend_text', w = 100, h = 20, label = '' },
    Bitmap{ name = 'hint_bottom', w = 5, h = 5 } } })";

TEST_F(TGameWndTest, TheUpgradeHintShowsCaptionDescriptionCostAndTheTooExpensiveNote) {
    OpenScreen(kHintScreen);
    Script()->DoLuaString("gMoney = 100");
    auto* panel = Find<GHintPanel>("hint_panel");
    ASSERT_NE(panel, nullptr);
    const auto shown = [](const char* name) {
        return (Find(name)->GetFlags() & TWindow::kEnabled) != 0;
    };
    GLogicalManagerHooks& hooks = GLogicalManager::Instance().GetHooks();
    hooks.ShowHint("chair_name", "chair_descript", 150, false);
    EXPECT_TRUE(panel->IsShown());
    EXPECT_EQ(static_cast<TText*>(Find("item_cost"))->GetText(), "150");
    EXPECT_NE(static_cast<TText*>(Find("hint_caption"))->GetText(), "");
    EXPECT_NE(static_cast<TText*>(Find("hint_descript"))->GetText(), "");
    EXPECT_TRUE(shown("coment_text")) << "above the money";
    EXPECT_FALSE(shown("recomend_text"));
    hooks.ShowHint("chair_name", "chair_descript", 100, true);
    EXPECT_FALSE(shown("coment_text")) << "affordable";
    EXPECT_TRUE(shown("recomend_text"));
    hooks.HideHint();
    EXPECT_FALSE(panel->IsShown());
    EXPECT_FALSE(shown("hint_panel"));
}

// The booth of the fixture level offers its upgrade level 1 for 50 from level 1; during the
// upgrade phase the mouse over its upgrade button shows the hint panel with the labels of
// "boxed_1", the price, and the too-expensive note above the player's money.
TEST_F(TGameWndTest, HoveringAnUpgradeButtonOfTheLevelShowsItsHint) {
    AddFile("anim/box.png", widget_test::PatternPng(20, 20, [](int, int) { return 0xFF0000u; }));
    AddFile("xml/box.xml",
            gamewnd_test::Bytes("<main id=\"box\"><images><img name=\"box.png\"/></images>"
                                "<framelist><frame w=\"20\" h=\"20\"/></framelist><states>"
                                "<state id=\"normal\" framelist=\"0\"/></states></main>"));
    AddFile(GLevel::kStageFile, gamewnd_test::Bytes(R"(
LevelData = { level = { goal = 50, expert = 100 },
  hall = { BaseType = 'types', BaseData = 'data',
           booth = { included = true, pos_x = 30, pos_y = 40 } } }
Objects = { types = { boxed = { class_name = 'GGameObject', xml_anim = 'box',
                      base_type = 'boxed' } },
  data = { booth = { name = 'booth', base_type = 'boxed' } } }
function LevelTimerFunc() end
)"));
    AddStrings({{"boxed_1_name", "Bigger booth"}, {"boxed_1_descript", "Seats two"}});
    OpenScreen(kHintScreen);
    Tick(30);
    ASSERT_EQ(Level()->GetObjectCount(), 1);
    GGameObject* booth = Level()->GetObjects().front();
    const GUpgradeData* offer =
        GLogicalManager::Instance().GetGameData()->FindUpgradeByLevel("booth", 1);
    ASSERT_NE(offer, nullptr);
    booth->GetUpgradeData() = *offer;
    auto* strategy = new GMStr_UpgradeButton;
    booth->SetStrategy(strategy);
    strategy->SetTarget(booth, Level());
    booth->SetMouseEnabled(true);
    // A frame brings the visuals to their places, as the game's loop does.
    DrawFrame();
    const auto text = [](const char* name) { return Text(Find<TText>(name)->GetText()); };

    Send(MakeEvent(kEventMouseMove, 40, 50));
    EXPECT_TRUE(Shown("hint_panel"));
    EXPECT_EQ(text("hint_caption"), "Bigger booth");
    EXPECT_EQ(text("hint_descript"), "Seats two");
    EXPECT_EQ(text("item_cost"), "50");
    EXPECT_FALSE(Shown("coment_text")) << "120 to spend";
    EXPECT_FALSE(Shown("hint_bottom"));
    Send(MakeEvent(kEventMouseMove, 200, 300));
    EXPECT_FALSE(Shown("hint_panel"));

    Run("gMoney = 40");
    Send(MakeEvent(kEventMouseMove, 41, 50));
    EXPECT_TRUE(Shown("hint_panel"));
    EXPECT_TRUE(Shown("coment_text")) << "50 is above 40";
    EXPECT_TRUE(Shown("hint_bottom"));
}

} // namespace gamewnd_hint_test
