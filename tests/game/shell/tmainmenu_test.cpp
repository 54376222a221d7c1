// The main menu and the options window over the user profiles: the welcome line, the new-player
// dialog when there is no player, "moregames" by the cross-sell file, the controls filled from the
// preferences, the live volumes and the click of the sound slider, and "SaveVolumes".

#include "engine/core/assetmap.h"
#include "engine/media/media.h"
#include "engine/system/medialink.h"
#include "engine/ui/button.h"
#include "engine/ui/message.h"
#include "engine/ui/slider.h"
#include "engine/ui/text.h"
#include "game/shell/TMainMenu.h"
#include "game/shell/TOptions.h"
#include "platform/win32/standin.h"
#include "tests/engine/system/platform_fixture.h"
#include "tests/fixtures/testpaths.h"
#include "tests/game/shell/screen_fixture.h"

#include <gmock/gmock.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace mainmenu_test {

using screen_test::Text;
using testing::ElementsAre;
using testing::HasSubstr;
using widget_test::MakeEvent;
using widget_test::TBytes;

const char kMenu[] = "MainMenu{ name = 'menu', x = 0, y = 0, w = 160, h = 120, "
                     "Text{ name = 'welcome', x = 0, y = 0, w = 160, h = 20, label = '' }, "
                     "Button{ name = 'changeplayer', x = 0, y = 30, w = 20, h = 20 }, "
                     "Button{ name = 'moregames', x = 30, y = 30, w = 20, h = 20 } }";

class TMainMenuTest : public screen_test::TScreenTest {
protected:
    void SetUp() override {
        TScreenTest::SetUp();
        standin::SetFakeTime(5000);
        Script()->RegisterWindowType("MainMenu", &TMainMenu::Create);
        AddStrings({{"welcome", "Welcome, %1%!"}});
        Run("gNewUsers = 0 function NewUser() gNewUsers = gNewUsers + 1 end");
        PushDialog("mainmenu_screen", TRect{0, 0, 160, 120});
    }

    TMainMenu* Open() {
        Build(kMenu);
        return Find<TMainMenu>("menu");
    }

    // Idle turns of `ms` each, running the menu's timers.
    void Wait(int turns, DWORD ms) {
        for (int i = 0; i < turns; ++i) {
            standin::AdvanceTime(ms);
            Send(MakeEvent(kEventIdle));
        }
    }
    static double NewUsers() { return Script()->GetGlobalNumber("gNewUsers"); }
};

TEST_F(TMainMenuTest, WithoutPlayersItHidesThePlayerButtonsAndAsksForOneOnce) {
    MakeProfiles({}, -1);
    ASSERT_NE(Open(), nullptr);
    EXPECT_FALSE(Shown(Find("welcome")));
    EXPECT_FALSE(Shown(Find("changeplayer")));
    EXPECT_EQ(NewUsers(), 0);
    Wait(2, 10);
    EXPECT_EQ(NewUsers(), 0) << "not before 30 ms";
    Wait(1, 10);
    EXPECT_EQ(NewUsers(), 1);
    Wait(10, 30);
    EXPECT_EQ(NewUsers(), 1) << "once";
    // A player made meanwhile does not show them again.
    Run("SetWelcomeName()");
    EXPECT_FALSE(Shown(Find("welcome")));
}

TEST_F(TMainMenuTest, WithPlayersTheWelcomeLineNamesTheCurrentOne) {
    MakeProfiles({"Ann", "Bob"}, 1);
    ASSERT_NE(Open(), nullptr);
    EXPECT_TRUE(Shown(Find("welcome")));
    EXPECT_TRUE(Shown(Find("changeplayer")));
    EXPECT_EQ(Text(Find<TText>("welcome")->GetText()), "Welcome, Bob!");
    GetUserManager()->SetCurrentUser(0);
    Run("SetWelcomeName()");
    EXPECT_EQ(Text(Find<TText>("welcome")->GetText()), "Welcome, Ann!");
    Wait(5, 30);
    EXPECT_EQ(NewUsers(), 0);
}

TEST_F(TMainMenuTest, MoreGamesShowsOnlyWithTheCrossSellFile) {
    MakeProfiles({"Ann"}, 0);
    ASSERT_NE(Open(), nullptr);
    EXPECT_FALSE(Shown(Find("moregames")));
    Manager()->GetTopModal()->DeleteChildren();
    Manager()->DeletePendingWindows();
    AddFile("xsell/xsell.xml", TBytes{'<', 'x', '/', '>'});
    ASSERT_NE(Open(), nullptr);
    EXPECT_TRUE(Shown(Find("moregames")));
}

TEST_F(TMainMenuTest, ClosedItTakesSetWelcomeNameBack) {
    MakeProfiles({"Ann"}, 0);
    TMainMenu* menu = Open();
    ASSERT_NE(menu, nullptr);
    Close(menu);
    EXPECT_TRUE(IsNil("SetWelcomeName"));
}

// The options window: a full-screen and a mute toggle, the two sliders; the platform's sound
// manager records the volumes set and the click's file is served.
class TOptionsTest : public screen_test::TScreenTest {
protected:
    void SetUp() override {
        TScreenTest::SetUp();
        RegisterMedia();
        SetRendererHooks(nullptr, nullptr);
        SetSoundManagerFactory(nullptr);
        std::ifstream file(testing_fixtures::SourceDir() / "tests/engine/ui/sounds/click.ogg",
                           std::ios::binary);
        AddFile("audio/sfx/click.ogg", TBytes(std::istreambuf_iterator<char>(file), {}));
        mSound = new platform_test::TFakeSound;
        mPlatform->GetWin32()->mSoundManager = mSound;
        Run("kToggle = 1");
        Script()->RegisterWindowType("OptionsWindow", &TOptions::Create);
        Script()->RegisterWindowType("Slider", &TSlider::Create);
        PushDialog("options_screen", TRect{0, 0, 160, 120});
    }

    void TearDown() override {
        TScreenTest::TearDown();
        SetAssetLoaderLink(nullptr);
    }

    TOptions* Open() {
        Build("OptionsWindow{ name = 'options', x = 0, y = 0, w = 160, h = 120, "
              "Button{ name = 'fullscreen', x = 0, y = 0, w = 20, h = 20, type = kToggle }, "
              "Button{ name = 'mutebox', x = 30, y = 0, w = 20, h = 20, type = kToggle }, "
              "Slider{ name = 'sfxlevelslider', x = 0, y = 40, w = 100, h = 10, "
              "horizontal = true }, "
              "Slider{ name = 'musiclevelslider', x = 0, y = 60, w = 100, h = 10, "
              "horizontal = true } }");
        return Find<TOptions>("options");
    }

    static TSlider* Slider(const char* name) { return Find<TSlider>(name); }

    // The volumes set since the last call, "set <category> <volume>".
    std::vector<std::string> Volumes() {
        std::vector<std::string> sets;
        for (const std::string& call : mSound->calls) {
            if (call.rfind("set ", 0) == 0) {
                sets.push_back(call);
            }
        }
        mSound->calls.clear();
        return sets;
    }

    // How often the log says a sound was asked to play: the test platform has no sound manager.
    int Plays() const {
        const std::string log = LogText();
        int count = 0;
        for (size_t at = log.find("No Sound Manager"); at != std::string::npos;
             at = log.find("No Sound Manager", at + 1)) {
            ++count;
        }
        return count;
    }

    // Owned by the platform.
    platform_test::TFakeSound* mSound = nullptr;
};

TEST_F(TOptionsTest, TheControlsShowTheStoredLevelsAndOpeningPlaysNoClick) {
    MakeProfiles({"Ann"}, 0);
    Prefs().SetInt("soundlevel", 250, 0, true);
    Prefs().SetInt("musiclevel", 750, 0, true);
    mSound->calls.clear();
    TOptions* options = Open();
    ASSERT_NE(options, nullptr);
    EXPECT_FLOAT_EQ(Slider("sfxlevelslider")->GetValue(), 0.25f);
    EXPECT_FLOAT_EQ(Slider("musiclevelslider")->GetValue(), 0.75f);
    EXPECT_EQ(Plays(), 0);
    EXPECT_FALSE(options->IsClickPlaying());
    // The sliders' first reports set the heard volumes to what is stored.
    EXPECT_THAT(Volumes(), ElementsAre("set 1000 0.25", "set 0 0.25", "set 1001 0.75"));
    EXPECT_EQ(Find<TButton>("fullscreen")->IsToggledOn(), GetUserManager()->IsFullScreen());
}

TEST_F(TOptionsTest, TheMuteBoxIsOnOnlyForAStoredOne) {
    for (const auto& [stored, on] :
         {std::pair{0, false}, std::pair{1, true}, std::pair{2, false}, std::pair{-1, false}}) {
        MakeProfiles({"Ann"}, 0);
        Prefs().SetInt("soundoff", stored, 0, true);
        ASSERT_NE(Open(), nullptr);
        EXPECT_EQ(Find<TButton>("mutebox")->IsToggledOn(), on) << stored;
        Manager()->GetTopModal()->DeleteChildren();
        Manager()->DeletePendingWindows();
        DestroyUserManager();
    }
}

TEST_F(TOptionsTest, DraggingTheSoundSliderClicksOnceUntilTheMouseIsReleased) {
    MakeProfiles({"Ann"}, 0);
    TOptions* options = Open();
    ASSERT_NE(options, nullptr);
    TSlider* sound = Slider("sfxlevelslider");
    Volumes();
    for (const float value : {0.6f, 0.7f, 0.8f}) {
        sound->SetValue(value, false);
    }
    EXPECT_EQ(Plays(), 1);
    EXPECT_TRUE(options->IsClickPlaying());
    EXPECT_THAT(Volumes(), ElementsAre("set 1000 0.6", "set 0 0.6", "set 1000 0.7", "set 0 0.7",
                                       "set 1000 0.8", "set 0 0.8"))
        << "the heard volume follows at once";
    TWindow::SendMessage(sound, new TMessage(TMessage::kSliderMouseUp, "sfxlevelslider", nullptr));
    EXPECT_FALSE(options->IsClickPlaying()) << "the release stops the effects";
    EXPECT_THAT(ScriptMessages(), ElementsAre("10 sfxlevelslider")) << "and goes on";
    sound->SetValue(0.5f, false);
    EXPECT_EQ(Plays(), 2);

    Slider("musiclevelslider")->SetValue(0.3f, false);
    EXPECT_THAT(Volumes(), ElementsAre("set 1000 0.5", "set 0 0.5", "set 1001 0.3"));
    EXPECT_EQ(Plays(), 2) << "the music slider does not click";
}

TEST_F(TOptionsTest, SaveVolumesStoresThousandthsTruncatedAndLeavingWithoutItStoresNothing) {
    MakeProfiles({"Ann", "Bob"}, 1);
    ASSERT_NE(Open(), nullptr);
    Slider("sfxlevelslider")->SetValue(0.9f, false);
    Slider("musiclevelslider")->SetValue(0.1f, false);
    EXPECT_EQ(Prefs().GetInt("soundlevel", -7, 1), -7) << "moving stores nothing";
    struct TCase {
        float sound;
        float music;
        int soundLevel;
        int musicLevel;
    };
    for (const TCase& c : {TCase{0.5f, 0.5f, 500, 500}, TCase{0.9999f, 0.0f, 999, 0},
                           TCase{1.0f, 0.123f, 1000, 123}}) {
        Slider("sfxlevelslider")->SetValue(c.sound, true);
        Slider("musiclevelslider")->SetValue(c.music, true);
        Run("SaveVolumes()");
        DestroyUserManager();
        MakeProfiles({"Ann", "Bob"}, 1);
        EXPECT_EQ(Prefs().GetInt("soundlevel", -7, 1), c.soundLevel) << c.sound;
        EXPECT_EQ(Prefs().GetInt("musiclevel", -7, 1), c.musicLevel) << c.music;
        EXPECT_EQ(Prefs().GetInt("soundlevel", -7, 0), -7) << "only the selected player's";
    }
}

TEST_F(TOptionsTest, AfterTheWindowClosedSaveVolumesIsALoggedLuaError) {
    MakeProfiles({"Ann"}, 0);
    TOptions* options = Open();
    ASSERT_NE(options, nullptr);
    Run("held = SaveVolumes");
    Close(options);
    EXPECT_TRUE(IsNil("SaveVolumes"));
    Run("SaveVolumes()");
    EXPECT_THAT(LogText(), HasSubstr("attempt to call global `SaveVolumes' (a nil value)"));
    Run("ok = pcall(held)");
    EXPECT_FALSE(BoolGlobal("ok"));
}

} // namespace mainmenu_test
