// The power selection's buttons on a fixture screen of the game harness: how the selector fills
// them, the refused templates, the hover texts of a button and the Lua binding's lifetime; and the
// powers the game data unlocks, on the game screen of a started level.

#include "engine/ui/text.h"
#include "game/common/WindowScriptState.h"
#include "game/shell/GPowerMeterSelector.h"
#include "tests/game/game_harness.h"
#include "tests/game/shell/gamewnd_fixture.h"

#include <gtest/gtest.h>

#include <memory>

namespace powermeterselector_test {

using namespace game_harness;

// The selector's template and count, and whether button "pw_1" is on the screen.
std::string PowersScreen(const std::string& templ, int count, bool withSecond) {
    return "SetWindowName('powers')\nicons = ''\nfunction SetPowerIconBitmap(w, i) icons = icons "
           ".. "
           "w .. '=' .. i .. ';' end\nMakeDialog({ GPowerMeterSelector({ name = 'selector', "
           "button_template_name = '" +
           templ + "', buttons_num = " + std::to_string(count) +
           " }), GPowerMeterButton({ name = 'pw_0', x = 0, y = 0, w = 40, h = 30 }), " +
           (withSecond ? "GPowerMeterButton({ name = 'pw_1', x = 50, y = 0, w = 40, h = 30 }), "
                       : "") +
           "Window({ name = 'pw_2', x = 100, y = 0, w = 40, h = 30 }), "
           "GPowerMeterButton({ name = 'pw_3', x = 150, y = 0, w = 40, h = 30 }), "
           "Text({ name = 'power_name', y = 100, w = 200, h = 20 }), "
           "Text({ name = 'power_hint', y = 130, w = 200, h = 20 }) })\n";
}

const char kStrings[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Workbook><Worksheet Name=\"strings\"><Table>\n"
    "<Row><Cell><Data>windowtitle</Data></Cell><Cell><Data>Fixture Title</Data></Cell></Row>\n"
    "<Row><Cell><Data>marivell_power_1</Data></Cell><Cell><Data>Soda</Data></Cell></Row>\n"
    "<Row><Cell><Data>marivell_power_1_hint</Data></Cell><Cell><Data>Fizz</Data></Cell></Row>\n"
    "</Table></Worksheet></Workbook>\n";

class TPowerSelectorTest : public TGameHarness {
protected:
    void SetUp() override {
        TGameHarness::SetUp();
        mGame.Write("assets/strings.xml", kStrings);
    }

    void RunScreen(const std::string& screen, const std::function<void()>& body) {
        mGame.Write("assets/scripts/powers.lua", screen);
        RunGame(
            [&](TPlatform*, GGameMain&) {
                ASSERT_EQ(Top(), "powers");
                body();
            },
            {{"firstscreen", "scripts/powers.lua"}});
    }

    static GPowerMeterButton* Button(const char* name) {
        TWindow* window = Find(name);
        return window != nullptr && window->IsKindOf(GPowerMeterButton::ClassId())
                   ? static_cast<GPowerMeterButton*>(window)
                   : nullptr;
    }

    static std::string Icons() { return Text(WindowScript()->GetGlobalString("icons")); }

    static std::string Shown(const char* name) {
        return Text(static_cast<TText*>(Find(name))->GetText());
    }
};

TEST_F(TPowerSelectorTest, TheSodaIsAlwaysOfferedLockedPowersAreNotAndMissingButtonsAreSkipped) {
    RunScreen(PowersScreen("pw_%d", 4, false), [] {
        auto* selector = static_cast<GPowerMeterSelector*>(Find("selector"));
        ASSERT_NE(selector, nullptr);
        WindowScript()->DoLuaString("CPP_OnPowersInitComplete()");
        ASSERT_EQ(selector->GetButtons().size(), 2U)
            << "pw_1 is missing and pw_2 is no power button";
        GPowerMeterButton* soda = Button("pw_0");
        GPowerMeterButton* locked = Button("pw_3");
        EXPECT_EQ(selector->GetButtons()[0], soda);
        EXPECT_EQ(selector->GetButtons()[1], locked);
        EXPECT_TRUE(soda->IsEnabled());
        EXPECT_EQ(Text(soda->GetCaption()), "Soda");
        EXPECT_EQ(Text(soda->GetHint()), "Fizz");
        EXPECT_EQ(soda->GetWidth(), 40);
        EXPECT_EQ(soda->GetHeight(), 30);
        EXPECT_FALSE(locked->IsEnabled()) << "no game data unlocks the power";
        EXPECT_EQ(Text(locked->GetCaption()), "");
        EXPECT_EQ(Icons(),
                  "pw_0_icon=buttons/powers/soda.png;pw_3_icon=buttons/powers/locked.png;");

        WindowScript()->DoLuaString("CPP_OnPowersInitComplete()");
        EXPECT_EQ(selector->GetButtons().size(), 2U) << "filled anew, not appended";
    });
}

TEST_F(TPowerSelectorTest, ATemplateWithoutOneIntegerConversionFillsNothing) {
    for (const char* templ : {"pw_%d_%d", "pw_0", "pw_%s"}) {
        SCOPED_TRACE(templ);
        RunScreen(PowersScreen(templ, 2, true), [] {
            auto* selector = static_cast<GPowerMeterSelector*>(Find("selector"));
            WindowScript()->DoLuaString("CPP_OnPowersInitComplete()");
            EXPECT_TRUE(selector->GetButtons().empty());
            EXPECT_EQ(Icons(), "");
            EXPECT_FALSE(Button("pw_0")->IsEnabled());
        });
    }
}

TEST_F(TPowerSelectorTest, AnEnabledButtonShowsItsTextsWhileHoveredAndADisabledOneDoesNot) {
    RunScreen(PowersScreen("pw_%d", 2, true), [] {
        WindowScript()->DoLuaString("CPP_OnPowersInitComplete()");
        Button("pw_1")->OnMouseMove(TPoint{60, 10});
        EXPECT_EQ(Shown("power_name"), "");
        EXPECT_TRUE(Button("pw_1")->OnMouseDown(TPoint{60, 10}));
        EXPECT_EQ(Button("pw_1")->GetState(), TButton::kNormal);
        Button("pw_0")->OnMouseMove(TPoint{10, 10});
        EXPECT_EQ(Shown("power_name"), "Soda");
        EXPECT_EQ(Shown("power_hint"), "Fizz");
    });
}

TEST_F(TPowerSelectorTest, TheBindingGoesWithTheSelector) {
    RunScreen(PowersScreen("pw_%d", 1, true), [] {
        ASSERT_TRUE(HasGlobal(WindowScriptState(), "CPP_OnPowersInitComplete"));
        auto selector = std::make_unique<GPowerMeterSelector>();
        ASSERT_TRUE(HasGlobal(WindowScriptState(), "CPP_OnPowersInitComplete"));
        selector.reset();
        EXPECT_FALSE(HasGlobal(WindowScriptState(), "CPP_OnPowersInitComplete"));
    });
}

} // namespace powermeterselector_test

namespace powermeterselector_gamedata_test {

using gamewnd_test::Bytes;
using gamewnd_test::TGameWndTest;
using widget_test::Text;

// Level 1 of the fixture stage; "makeup" (power 1) is unlocked at level 3, "hair" (power 2) at 1.
const char kPowers[] = R"(
Upgrades = { powers = { speed = { level = 1, index = 1 }, makeup = { level = 3, index = 2 },
                        hair = { level = 1, index = 3 } } }
)";

const char kScreen[] = R"(GGameWnd{ name = 'game_wnd', x = 0, y = 0, w = 800, h = 600,
  GGameCtrl{ name = 'game_ctrl', x = 0, y = 0, w = 800, h = 600 },
  GSceneCtrl{ name = 'scene_ctrl', x = 0, y = 0, w = 800, h = 600 },
  GPowerMeterSelector{ name = 'selector', button_template_name = 'pw_%d', buttons_num = 4 },
  GPowerMeterButton{ name = 'pw_0', x = 0, y = 0, w = 40, h = 30 },
  GPowerMeterButton{ name = 'pw_1', x = 50, y = 0, w = 40, h = 30 },
  GPowerMeterButton{ name = 'pw_2', x = 100, y = 0, w = 40, h = 30 } })";

class PowerSelectorGameDataTest : public TGameWndTest {
protected:
    void SetUp() override {
        TGameWndTest::SetUp();
        Script()->RegisterWindowType("GPowerMeterSelector", &GPowerMeterSelector::Create);
        Script()->RegisterWindowType("GPowerMeterButton", &GPowerMeterButton::Create);
        AddFile(GGameData::kScriptFile, Bytes(kPowers));
        Run("icons = '' function SetPowerIconBitmap(w, i) icons = icons .. w .. '=' .. i .. ';' "
            "end");
        AddStrings({{"marivell_power_1", "Soda"},
                    {"marivell_power_3", "Comb"},
                    {"marivell_power_3_hint", "Faster hair"}});
    }
};

TEST_F(PowerSelectorGameDataTest, TheSodaAlwaysAndEachPowerFromItsLevelOn) {
    OpenScreen(kScreen);
    ASSERT_EQ(GLogicalManager::Instance().GetGameData()->GetCurrentLevelNumber(), 1);
    auto* selector = Find<GPowerMeterSelector>("selector");
    ASSERT_NE(selector, nullptr);
    Run("CPP_OnPowersInitComplete()");
    auto* soda = Find<GPowerMeterButton>("pw_0");
    auto* locked = Find<GPowerMeterButton>("pw_1");
    auto* hair = Find<GPowerMeterButton>("pw_2");
    EXPECT_EQ(selector->GetButtons(), (std::vector<GPowerMeterButton*>{soda, locked, hair}))
        << "pw_3 is missing";
    EXPECT_EQ(Global("icons"), "pw_0_icon=buttons/powers/soda.png;"
                               "pw_1_icon=buttons/powers/locked.png;"
                               "pw_2_icon=buttons/powers/soda.png;");
    EXPECT_TRUE(soda->IsEnabled());
    EXPECT_EQ(Text(soda->GetCaption()), "Soda");
    EXPECT_FALSE(locked->IsEnabled()) << "unlocked at level 3";
    EXPECT_EQ(Text(locked->GetCaption()), "");
    EXPECT_TRUE(hair->IsEnabled());
    EXPECT_EQ(Text(hair->GetCaption()), "Comb") << "labels of power number i + 1";
    EXPECT_EQ(Text(hair->GetHint()), "Faster hair");
}

} // namespace powermeterselector_gamedata_test
