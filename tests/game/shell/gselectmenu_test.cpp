// The part selector over a fixture game screen: the choices' circle, the moods, the click delay,
// the hover's lips, the choice reported to the logical manager, the closing, the fly-out from the
// heroine and the callbacks of a menu that is gone.
#include "game/common/WindowKind.h"
#include "game/shell/GSelectMenu.h"
#include "game/shell/GSelectMenuChild.h"
#include "game/shell/GSelectPopupper.h"
#include "game/world/GBaseLogicalScene.h"
#include "game/world/GGameObject.h"
#include "tests/game/shell/gamewnd_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace selectmenu_test {
namespace {

using gamewnd_test::Bytes;
using widget_test::Text;

// The main script's selector functions note what they are told.
const char kSelectorMain[] = R"(
gChildCount = 4
gStartAngle = 0
gDelay = 0
gChildName = 'part_%d'
LipsNormal = 'LipsNormal'
LipsHappy = 'LipsHappy'
LipsSad = 'LipsSad'
function OnSelectorInitComplete() CPP_OnSelectorInitComplete() end
function SetSelectorChildGraphicsVars(id) Note('vars ' .. id) end
function SetSelectorChildGraphics(name) Note('graphics ' .. name) end
function SetCurrentPartsGraphics(id, lips) Note('parts ' .. id .. ' ' .. lips) end
function SetImageAlpha(name, alpha) Note('alpha ' .. name .. ' ' .. alpha) end
function OnEndClosingSelector() Note('end closing') end
)";

const char kSelectorScript[] = R"(
GSelectMenu{ name = 'select_control', x = 0, y = 0, w = gMenuW or 800, h = gMenuH or 600,
  childs_script = 'scripts/selector_child.lua', childs_num = gChildCount, child_name = gChildName,
  child_start_angle = gStartAngle, child_distance_delta = 0,
  TPSimple{ name = 'happy_glow', x = 0, y = 0, w = 10, h = 10, FX_fly = 'particles/happy.lua' } }()
GSelectPopupper{ name = 'select_menu_popupper', x = 0, y = 0, w = 800, h = 600 }()
)";

const char kChildScript[] = R"(
Note('params ' .. gSelectorParamsData.name .. ' ' .. gSelectorParamsData.char_part_id .. ' ' ..
     gSelectorParamsData.part_poise)
GSelectMenuChild{ name = gSelectorParamsData.name, x = 0, y = 0, w = 40, h = 20,
  char_part_id = gSelectorParamsData.char_part_id, delay_click = gDelay }()
)";

int64_t FixedSeconds() {
    return 1234567;
}

// A girl as the level and the closing selector tell one.
class TSelectorGirl : public GGameObject {
public:
    const char* GetClassName() const override { return "GStudent"; }
    bool IsStudent() const override { return true; }
    GGameObject* Clone() const override {
        auto* copy = new TSelectorGirl;
        copy->CopyFrom(*this);
        return copy;
    }
};

const bool gSelectorGirlRegistered = GObjectFactory::Instance().RegisterObjectCreator(
    "SelectorGirl", [] { return static_cast<GGameObject*>(new TSelectorGirl); });

// Notes the tutorial's game events.
struct TTutorialHooks final : GLogicalManagerHooks {
    std::vector<std::string> events;
    void TutorialGameEvent(GGameObject* object, const str& event) override {
        events.push_back(std::string(object->GetName().CStr()) + " " + event.CStr());
    }
};

// A heroine as the logical manager files one.
class THeroine : public GGameObject {
public:
    const char* GetClassName() const override { return "GMainHeroine"; }
};

// Notes the answers of the dialogs it opened.
class TAnswerScene : public GBaseLogicalScene {
public:
    void OnDialogResult(int entry, int result, int poiseFactor) override {
        answers.push_back(std::to_string(entry) + " " + std::to_string(result) + " " +
                          std::to_string(poiseFactor));
    }
    std::vector<std::string> answers;
};

class SelectMenuTest : public gamewnd_test::TGameWndTest {
protected:
    void SetUp() override {
        TGameWndTest::SetUp();
        GSelectMenu::SetSecondsClock(&FixedSeconds);
        for (const auto& [name, create] :
             {std::pair{"GSelectMenu", &GSelectMenu::Create},
              std::pair{"GSelectMenuChild", &GSelectMenuChild::Create},
              std::pair{"GSelectPopupper", &GSelectPopupper::Create}}) {
            Script()->RegisterWindowType(name, create);
        }
        Run(kSelectorMain);
        AddFile("scripts/selector.lua", Bytes(kSelectorScript));
        AddFile("scripts/selector_child.lua", Bytes(kChildScript));
        AddFile("particles/happy.lua", Bytes("gActive = nil\n"));
    }

    void TearDown() override {
        GLogicalManager& manager = GLogicalManager::Instance();
        if (mHeroine != nullptr) {
            manager.UnregisterObject(mHeroine.get());
        }
        manager.SetCurrentScene(nullptr);
        manager.DeleteDialogCallers();
        // A menu kept between openings goes as the game's end deletes it.
        manager.CloseGame();
        GSelectMenu::SetSecondsClock(nullptr);
        TGameWndTest::TearDown();
    }

    // The game screen, then the selector opened by the game window's next tick.
    GSelectMenu* OpenSelector() {
        if (mWnd == nullptr) {
            OpenScreen();
        }
        Tick(30);
        mWnd->RequestSelector("gSetUp = 1");
        Tick(30);
        Ran();
        return AsKind<GSelectMenu>(GLogicalManager::Instance().GetSelectorWindow());
    }

    static TPoint At(const TWindow* window) {
        return TPoint{window->GetRect().left, window->GetRect().top};
    }

    static std::vector<TPoint> Places(const GSelectMenu* menu) {
        std::vector<TPoint> places;
        for (const GSelectMenuChild* child : menu->GetChoices()) {
            places.push_back(At(child));
        }
        return places;
    }

    static std::string GlowActive(TPSimple* glow) {
        glow->DoLuaString("gProbe = tostring(gActive)");
        return Text(glow->GetParticles().GetScript()->GetGlobalString("gProbe"));
    }

    std::unique_ptr<THeroine> mHeroine;
};

TEST_F(SelectMenuTest, ChoicesSitOnTheCircleClockwiseFromTheTop) {
    struct TCase {
        int count;
        int start;
        std::vector<TPoint> places;
    };
    // Centre (400, 300), a 40 x 20 child, radius 300 - 20 = 280: a child's left is
    // 380 + 280 sin(a), its top 290 - 280 cos(a) (sin 120 = 0.8660254).
    const TCase cases[] = {
        {4, 0, {{380, 10}, {660, 290}, {380, 570}, {100, 290}}},
        {3, 0, {{380, 10}, {622, 430}, {137, 430}}},
        {1, 90, {{660, 290}}},
    };
    OpenScreen();
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.count);
        Run("gChildCount = " + std::to_string(c.count) +
            " gStartAngle = " + std::to_string(c.start));
        GLogicalManager::Instance().SetSelectorWindow(nullptr);
        GSelectMenu* menu = OpenSelector();
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(Places(menu), c.places);
        Manager()->DoPopModal("SelectorModalWindow");
        Send(gamewnd_test::MakeEvent(kEventIdle));
    }
}

TEST_F(SelectMenuTest, StartAnglesPastTheTableWrapAround) {
    OpenScreen();
    std::vector<std::vector<TPoint>> places;
    for (int start : {350, -10, -30, 330, 725}) {
        Run("gStartAngle = " + std::to_string(start));
        GLogicalManager::Instance().SetSelectorWindow(nullptr);
        places.push_back(Places(OpenSelector()));
        Manager()->DoPopModal("SelectorModalWindow");
        Send(gamewnd_test::MakeEvent(kEventIdle));
    }
    EXPECT_EQ(places[0], places[1]) << "350 as -10";
    EXPECT_EQ(places[2], places[3]) << "-30 as 330";
    EXPECT_NE(places[0], places[2]);
    EXPECT_EQ(places[4].front(), (TPoint{404, 11})) << "725 as 5: 380 + 280 sin 5, 290 - 280 cos 5";
}

TEST_F(SelectMenuTest, TheChildScriptGetsItsParamsAndUnmadeChoicesAreSkipped) {
    OpenScreen();
    Tick(30);
    Run("gChildCount = 3");
    mWnd->RequestSelector("gSetUp = 1");
    Tick(30);
    const std::string ran = Ran();
    GSelectMenu* menu = AsKind<GSelectMenu>(GLogicalManager::Instance().GetSelectorWindow());
    ASSERT_NE(menu, nullptr);
    for (int i = 0; i < 3; ++i) {
        const std::string params = "params part_" + std::to_string(i) + " " +
                                   std::to_string(i + 1) + " " +
                                   std::to_string(menu->GetMoods()[static_cast<size_t>(i)]) + ";";
        EXPECT_NE(ran.find(params), std::string::npos) << ran;
    }
    ASSERT_EQ(menu->GetChoices().size(), 3u);
    EXPECT_EQ(menu->GetChoices()[1]->GetCharPartId(), 2);
    EXPECT_EQ(menu->GetChoices()[1]->GetChildName(), str("part_1"));

    // A name the child script does not make, a template without one %d, or no children build
    // nothing (and no division by 0).
    for (const char* set :
         {"gChildName = 'missing'", "gChildName = 'part_%d_%d'", "gChildName = 'part_%s'",
          "gChildName = 'part_%d' gChildCount = 0", "gChildCount = -4"}) {
        Run(set);
        GLogicalManager::Instance().SetSelectorWindow(nullptr);
        Manager()->DoPopModal("SelectorModalWindow");
        Send(gamewnd_test::MakeEvent(kEventIdle));
        EXPECT_TRUE(OpenSelector()->GetChoices().empty()) << set;
    }
}

TEST_F(SelectMenuTest, MoodsHoldExactlyOneHappyChoiceAndRepeatForTheSameSecond) {
    for (int count = 1; count <= 9; ++count) {
        const std::vector<int32_t> moods = GSelectMenu::MakeMoods(count);
        ASSERT_EQ(static_cast<int>(moods.size()), count);
        EXPECT_EQ(std::count(moods.begin(), moods.end(), 1), 1) << count;
        EXPECT_EQ(std::count(moods.begin(), moods.end(), 0), count / 2) << count;
        EXPECT_EQ(std::count(moods.begin(), moods.end(), -1), (count - 1) / 2) << count;
        EXPECT_EQ(GSelectMenu::MakeMoods(count), moods);
    }
    EXPECT_TRUE(GSelectMenu::MakeMoods(0).empty());
    EXPECT_TRUE(GSelectMenu::MakeMoods(-3).empty());
}

TEST_F(SelectMenuTest, AFlyOutSetsEveryChoiceUpAndTheDelayHoldsClicksForFiveTicks) {
    Run("gDelay = 5");
    GSelectMenu* menu = OpenSelector();
    ASSERT_NE(menu, nullptr);
    Run("CPP_BeginSelectorDialogFly(1)");
    EXPECT_EQ(Ran(), "vars 1;graphics part_0;vars 2;graphics part_1;vars 3;graphics part_2;"
                     "vars 4;graphics part_3;");
    int happy = 0;
    for (GSelectMenuChild* child : menu->GetChoices()) {
        happy += child->GetMood() == 1 ? 1 : 0;
        EXPECT_EQ(child->GetClickDelayCount(), 5);
    }
    EXPECT_EQ(happy, 1);
    EXPECT_EQ(Manager()->GetTopModal()->GetDefaultFocus(), menu);

    GSelectMenuChild* child = menu->GetChoices()[0];
    const TPoint inside{5, 5};
    for (int tick = 1; tick <= 5; ++tick) {
        child->OnMouseDown(inside);
        EXPECT_NE(child->GetState(), TButton::kPressed) << "tick " << tick;
        child->OnMouseUp(inside);
        Tick(100);
        EXPECT_EQ(child->GetClickDelayCount(), 5 - tick);
    }
    EXPECT_TRUE(child->OnMouseDown(inside));
    EXPECT_EQ(child->GetState(), TButton::kPressed) << "after the fifth tick";
    child->OnMouseUp(TPoint{-100, -100});
}

TEST_F(SelectMenuTest, HoverShowsTheLipsOfTheMoodAndNotesTheChildOnce) {
    GSelectMenu* menu = OpenSelector();
    ASSERT_NE(menu, nullptr);
    Run("CPP_BeginSelectorDialogFly(0)");
    const std::vector<GSelectMenuChild*>& children = menu->GetChoices();
    const auto happy = std::find_if(children.begin(), children.end(),
                                    [](const GSelectMenuChild* c) { return c->GetMood() == 1; });
    const auto sad = std::find_if(children.begin(), children.end(),
                                  [](const GSelectMenuChild* c) { return c->GetMood() == -1; });
    const auto normal = std::find_if(children.begin(), children.end(),
                                     [](const GSelectMenuChild* c) { return c->GetMood() == 0; });
    ASSERT_TRUE(happy != children.end() && sad != children.end() && normal != children.end());
    Ran();
    auto* glow = Find<TPSimple>("happy_glow");
    ASSERT_NE(glow, nullptr);

    (*happy)->OnMouseMove(TPoint{5, 5});
    EXPECT_EQ(Ran(), "parts " + std::to_string((*happy)->GetCharPartId()) + " LipsHappy;");
    EXPECT_EQ(menu->GetHoveredChild(), *happy);
    EXPECT_EQ(GlowActive(glow), "true");
    (*happy)->OnMouseMove(TPoint{6, 5});
    EXPECT_EQ(menu->GetHoveredChild(), *happy);
    (*sad)->OnMouseMove(TPoint{5, 5});
    EXPECT_EQ(Ran(), "parts " + std::to_string((*happy)->GetCharPartId()) + " LipsHappy;parts " +
                         std::to_string((*sad)->GetCharPartId()) + " LipsSad;");
    (*normal)->OnMouseMove(TPoint{5, 5});
    EXPECT_EQ(Ran(), "parts " + std::to_string((*normal)->GetCharPartId()) + " LipsNormal;");
    EXPECT_EQ(menu->GetHoveredChild(), *normal);
    EXPECT_EQ(GlowActive(glow), "false") << "the sad choice put it out; a normal one leaves it";
}

TEST_F(SelectMenuTest, AChoiceReportsItsMoodAndEveryEndRestartsTheGameWindow) {
    GSelectMenu* menu = OpenSelector();
    ASSERT_NE(menu, nullptr);
    TAnswerScene scene;
    GLogicalManager& manager = GLogicalManager::Instance();
    manager.SetCurrentScene(&scene);
    manager.CPP_RunChooseUser(0);
    const int dialog = manager.GetDialogIdCounter();
    // The fly-out stops the game window: back on top, it does not tick.
    Run("CPP_BeginSelectorDialogFly(1)");
    Run("CPP_OnBeginClosingSelector('nobody', 'hair')");
    Manager()->DoPopModal("SelectorModalWindow");
    Send(gamewnd_test::MakeEvent(kEventIdle));
    mWnd->RequestSelector("gSetUp = 2");
    Tick(30);
    EXPECT_TRUE(mWnd->IsSelectorPending()) << "the game window is stopped";

    Run("CPP_EndSelectorChoose(" + std::to_string(dialog) + ", 0, 0)");
    EXPECT_TRUE(scene.answers.empty()) << "index 0 only restarts the game window";
    Tick(30);
    EXPECT_FALSE(mWnd->IsSelectorPending()) << "the game window ticks again";
    ASSERT_EQ(manager.GetSelectorWindow(), menu);

    Run("CPP_EndSelectorChoose(" + std::to_string(dialog) + ", 0, 3)");
    ASSERT_EQ(scene.answers.size(), 1u);
    EXPECT_EQ(scene.answers[0], "0 3 " + std::to_string(menu->GetMoods()[2]));

    manager.CPP_RunChooseUser(0);
    Run("CPP_EndSelectorChoose(" + std::to_string(manager.GetDialogIdCounter()) + ", 0, 9)");
    ASSERT_EQ(scene.answers.size(), 2u);
    EXPECT_EQ(scene.answers[1], "0 9 0") << "beyond the choices: mood 0";
    manager.SetCurrentScene(nullptr);
}

TEST_F(SelectMenuTest, ClosingEndsTheGlowAndTellsTheTutorialOfAGirl) {
    ASSERT_TRUE(gSelectorGirlRegistered);
    AddFile(GLevel::kStageFile, Bytes(R"(
LevelData = { level = { goal = 50, expert = 100 },
  hall = { BaseType = 'types', BaseData = 'data', girl = { included = true },
           lamp = { included = true } } }
Objects = { types = { girl = { class_name = 'SelectorGirl' }, lamp = { class_name = 'GGameObject' } },
  data = { girl = { name = 'girl00', base_type = 'girl' }, lamp = { name = 'lamp', base_type = 'lamp' } } }
function LevelTimerFunc() end
)"));
    GSelectMenu* menu = OpenSelector();
    ASSERT_NE(menu, nullptr);
    Run("CPP_BeginSelectorDialogFly(1)");
    Run("CPP_EndSelectorChoose(0, 0, 0)");
    auto* glow = Find<TPSimple>("happy_glow");
    glow->DoLuaString("gActive = true;");
    GLogicalManager& manager = GLogicalManager::Instance();
    ASSERT_NE(manager.GetSelectorModal(), nullptr);
    TTutorialHooks hooks;
    manager.SetHooks(&hooks);
    Ran();
    for (const char* girl : {"lamp", "girl00"}) {
        Run(std::string("CPP_OnBeginClosingSelector('") + girl + "', 'hair')");
    }
    manager.SetHooks(mWnd);
    EXPECT_EQ(hooks.events, (std::vector<std::string>{"girl00 after_hair_dialog"}))
        << "only a girl hears of it";
    EXPECT_EQ(Ran(), "end closing;end closing;");
    EXPECT_EQ(GlowActive(glow), "false");
    EXPECT_EQ(menu->GetClosingGirl(), str("girl00"));
    EXPECT_EQ(menu->GetClosingScene(), str("hair"));
    EXPECT_EQ(manager.GetSelectorModal(), nullptr);
    EXPECT_EQ(menu->GetParent(), nullptr) << "out of the modal window, kept";
    EXPECT_EQ(manager.GetSelectorWindow(), menu);
    Manager()->DoPopModal("SelectorModalWindow");
    Send(gamewnd_test::MakeEvent(kEventIdle));

    // The next opening reuses the menu and rebuilds its choices.
    OpenSelector();
    EXPECT_EQ(manager.GetSelectorWindow(), menu);
    EXPECT_EQ(menu->GetModalParent(), manager.GetSelectorModal());
    EXPECT_EQ(menu->GetChoices().size(), 4u);
    EXPECT_EQ(menu->GetChildren().size(), 4u + 1u) << "the four choices and the glow";
}

// Popped with the stack (the way to the menu) instead of through the closing callback: the
// manager lets go of the modal window and of the menu that went with it.
TEST_F(SelectMenuTest, ASelectorPoppedWithoutClosingLeavesTheManagerNothingToReach) {
    ASSERT_NE(OpenSelector(), nullptr);
    GLogicalManager& manager = GLogicalManager::Instance();
    ASSERT_NE(manager.GetSelectorModal(), nullptr);
    Manager()->DoPopModal("SelectorModalWindow");
    Send(gamewnd_test::MakeEvent(kEventIdle));
    EXPECT_EQ(manager.GetSelectorModal(), nullptr);
    EXPECT_EQ(manager.GetSelectorWindow(), nullptr);

    // The next request builds the selector afresh.
    GSelectMenu* menu = OpenSelector();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->GetModalParent(), manager.GetSelectorModal());
}

TEST_F(SelectMenuTest, ThePopupperFliesTheMenuFromTheHeroineInTenFrames) {
    OpenScreen();
    mHeroine = std::make_unique<THeroine>();
    mHeroine->MoveToPoint(100.0f, 200.0f);
    GLogicalManager::Instance().RegisterObject(mHeroine.get());
    GSelectMenu* menu = OpenSelector();
    ASSERT_NE(menu, nullptr);
    auto* popupper = Find<GSelectPopupper>("select_menu_popupper");
    ASSERT_NE(popupper, nullptr);
    EXPECT_EQ(menu->GetPopupper(), popupper);
    Run("CPP_BeginSelectorDialogFly(1)");
    Ran();
    EXPECT_TRUE(popupper->IsOpening());
    EXPECT_FALSE(Shown("select_control"));
    for (int frame = 1; frame <= 10; ++frame) {
        DrawFrame();
        EXPECT_FLOAT_EQ(popupper->GetDrawnX(), 100.0f + 30.0f * static_cast<float>(frame));
        EXPECT_FLOAT_EQ(popupper->GetDrawnY(), 200.0f + 10.0f * static_cast<float>(frame));
        EXPECT_FALSE(Shown("select_control")) << frame;
    }
    EXPECT_FLOAT_EQ(popupper->GetDrawnX(), 400.0f);
    EXPECT_FLOAT_EQ(popupper->GetDrawnY(), 300.0f);
    DrawFrame();
    EXPECT_TRUE(Shown("select_control"));
    EXPECT_FALSE(popupper->IsOpening());
    EXPECT_EQ(Ran(), "alpha grayimage 0.3;");
}

TEST_F(SelectMenuTest, WithoutAHeroineTheFlightStaysAtTheCentre) {
    GSelectMenu* menu = OpenSelector();
    ASSERT_NE(menu, nullptr);
    Run("CPP_BeginSelectorDialogFly(1)");
    auto* popupper = Find<GSelectPopupper>("select_menu_popupper");
    DrawFrame();
    EXPECT_FLOAT_EQ(popupper->GetDrawnX(), 400.0f);
    EXPECT_FLOAT_EQ(popupper->GetDrawnY(), 300.0f);
}

TEST_F(SelectMenuTest, AMenuGoneLeavesItsCallbacksNilAndItsPopupperUnlinked) {
    GSelectMenu* menu = OpenSelector();
    ASSERT_NE(menu, nullptr);
    auto* popupper = Find<GSelectPopupper>("select_menu_popupper");
    for (const char* name : {"CPP_OnSelectorInitComplete", "CPP_BeginSelectorDialogFly",
                             "CPP_EndSelectorChoose", "CPP_OnBeginClosingSelector"}) {
        EXPECT_FALSE(IsNilGlobal(name)) << name;
    }
    Run("CPP_BeginSelectorDialogFly(1)");
    GLogicalManager::Instance().CloseGame();
    Send(gamewnd_test::MakeEvent(kEventIdle));
    EXPECT_EQ(GLogicalManager::Instance().GetSelectorWindow(), nullptr);
    for (const char* name : {"CPP_OnSelectorInitComplete", "CPP_BeginSelectorDialogFly",
                             "CPP_EndSelectorChoose", "CPP_OnBeginClosingSelector"}) {
        EXPECT_TRUE(IsNilGlobal(name)) << name;
    }
    EXPECT_EQ(popupper->GetMenu(), nullptr);
    EXPECT_FALSE(popupper->IsOpening());
    DrawFrame();
}

// The open selector over the fixture level's hall (dark blue): four 16 x 16 choices, red, green,
// blue and yellow, on the circle of a 160 x 120 menu (centre (80, 60), radius 60 - 8 = 52), at
// (72, 0), (124, 52), (72, 104) and (20, 52), once the fly-out has ended.
TEST_F(SelectMenuTest, GoldenOpenSelector) {
    AddFile("hall.png", widget_test::PatternPng(160, 120, [](int, int) { return 0x203060u; }));
    const uint32_t colours[] = {0xFF0000u, 0x00FF00u, 0x0000FFu, 0xFFFF00u};
    for (int i = 0; i < 4; ++i) {
        const uint32_t rgb = colours[i];
        AddFile("sel/part_" + std::to_string(i) + ".png",
                widget_test::PatternPng(16, 16, [rgb](int, int) { return rgb; }));
    }
    AddFile("scripts/selector_child.lua", Bytes(R"(
GSelectMenuChild{ name = gSelectorParamsData.name, x = 0, y = 0, w = 16, h = 16,
  char_part_id = gSelectorParamsData.char_part_id,
  Bitmap{ x = 0, y = 0, image = 'sel/' .. gSelectorParamsData.name .. '.png' } }()
)"));
    Run("gMenuW = 160 gMenuH = 120");
    OpenScreen(R"(GGameWnd{ name = 'game_wnd', x = 0, y = 0, w = 800, h = 600,
  Bitmap{ name = 'background', x = 0, y = 0, w = 800, h = 600 },
  GGameCtrl{ name = 'game_ctrl', x = 0, y = 0, w = 800, h = 600 } })");
    GSelectMenu* menu = OpenSelector();
    ASSERT_NE(menu, nullptr);
    Run("CPP_BeginSelectorDialogFly(1)");
    for (int frame = 0; frame < 11; ++frame) {
        DrawFrame();
    }
    ASSERT_TRUE(Shown("select_control"));
    const standin::TScreenImage image = DrawFrame();
    testing_fixtures::ExpectGolden(image, "tests/game/shell/golden/selector_open.png");
    const auto at = [&image](int x, int y) {
        return image.pixels[static_cast<size_t>(y * image.width + x)] & 0xFFFFFFu;
    };
    struct TPixel {
        int x;
        int y;
        uint32_t rgb;
    };
    for (const TPixel& p :
         {TPixel{72, 0, 0xFF0000u}, TPixel{87, 15, 0xFF0000u}, TPixel{88, 15, 0x203060u},
          TPixel{124, 52, 0x00FF00u}, TPixel{139, 67, 0x00FF00u}, TPixel{72, 104, 0x0000FFu},
          TPixel{87, 119, 0x0000FFu}, TPixel{20, 52, 0xFFFF00u}, TPixel{35, 67, 0xFFFF00u},
          TPixel{19, 52, 0x203060u}, TPixel{80, 60, 0x203060u}, TPixel{0, 0, 0x203060u}}) {
        EXPECT_EQ(at(p.x, p.y), p.rgb) << p.x << "," << p.y;
    }
}

} // namespace
} // namespace selectmenu_test
