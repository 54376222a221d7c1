// The whole program on SDL's dummy drivers: the engine started on a small game folder of its own
// (fixture scripts, not the demo assets) with media and the window system, the game main brought
// up over it with hooks the test sets, and one journal in which the fixture scripts, the hooks and
// a probe window note what happens, in order. The test body runs inside the engine, between the
// game main's start-up and its end.
#pragma once

#include "engine/core/log.h"
#include "engine/core/settings.h"
#include "engine/media/media.h"
#include "engine/script/luabinding.h"
#include "engine/system/enginemain.h"
#include "engine/system/medialink.h"
#include "engine/system/platform.h"
#include "engine/system/win32platform.h"
#include "engine/system/windowsystemlink.h"
#include "engine/ui/window.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowscript.h"
#include "engine/ui/windowsystem.h"
#include "game/shell/GGameMainHooks.h"
#include "game/shell/GameMain.h"
#include "platform/win32/standin.h"
#include "platform/win32/windows.h"
#include "tests/fixtures/tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace gamemain_test {

using TJournal = std::vector<std::string>;

inline TJournal* gJournal = nullptr;

inline std::string Text(const str& text) {
    return text.CStr() != nullptr ? std::string(text.CStr(), text.Length()) : std::string();
}

// Lua "Note" (text): one journal line.
inline void Note(str text) {
    if (gJournal != nullptr) {
        gJournal->push_back(Text(text));
    }
}

// The fixture's main script wraps the library functions that the game main's Lua texts call, so
// the journal names each text as it runs ("DisplayDialog ...", "DoModal <file>", "PopModal <name>")
// and every message but a dialog's close that the waiting script receives ("message <kind>
// <name>"). The first screen is the setting "firstscreen".
inline const char kMainLoop[] = R"(gDebugMode = 1
local realDoModal, realPopModal, realDisplayDialog = DoModal, PopModal, DisplayDialog
local realWaitForMessage = WaitForMessage
function DoModal(file) Note("DoModal " .. file); return realDoModal(file) end
function PopModal(text) Note("PopModal " .. text); return realPopModal(text) end
function DisplayDialog(t)
  Note("DisplayDialog " .. t[1] .. " name=" .. t.name .. " body=" .. t.body .. " title=" .. t.title)
  local answer = realDisplayDialog(t)
  Note("answer " .. tostring(answer))
  return answer
end
function WaitForMessage(ms, skipQueue)
  local m = realWaitForMessage(ms, skipQueue)
  if m and m.type ~= kModalClosed then Note("message " .. m.type .. " " .. m.name) end
  return m
end
return function() DoMainWindow(GetConfig("firstscreen", "scripts/menu.lua")) end
)";

// Each screen names its modal window; "game" holds the control probe the game main looks for.
inline const char* const kScreens[][2] = {
    {"scripts/menu.lua", "SetWindowName('menu')\n"},
    {"scripts/game.lua", "SetWindowName('game')\nMakeDialog({ ControlProbe({ name = 'game_ctrl', "
                         "x = 0, y = 0, w = 100, h = 100 }) })\n"},
    {"scripts/tutorial.lua", "SetWindowName('TutorialModalWindow')\n"},
    {"scripts/yesno.lua", "SetWindowName(gDialogTable.name)\n"},
    {"scripts/pause.lua", "SetWindowName('pause')\n"},
    {"scripts/stop_game.lua", "SetWindowName('stop_game')\n"},
};

inline const char kStrings[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Workbook><Worksheet Name=\"strings\"><Table>\n"
    "<Row><Cell><Data>windowtitle</Data></Cell><Cell><Data>Fixture Title</Data></Cell></Row>\n"
    "</Table></Worksheet></Workbook>\n";

// The window "game_ctrl" of the game screen: notes the left-button releases that reach it.
class TControlProbe : public TWindow {
public:
    static TWindow* Create() { return new TControlProbe; }
    bool OnMouseUp(const TPoint& point) override {
        Note(GetName() + str::FromFormat(" up %d,%d", point.x, point.y));
        return true;
    }
};

// Hooks whose answers the test sets; what the game main asks of them goes to the journal.
struct TTestHooks final : GGameMainHooks {
    bool editorRunning = false;
    bool levelPlaying = false;
    bool gameWindow = false;
    bool levelActive = false;

    bool IsEditorRunning() override { return editorRunning; }
    bool IsLevelPlaying() override { return levelPlaying; }
    bool HasGameWindow() override { return gameWindow; }
    bool IsLevelActive() override { return levelActive; }
    void StatisticOnPause(bool paused) override {
        Note(paused ? "statistics pause" : "statistics resume");
    }
    void SendOutsideRelease(TWindow* control) override {
        Note(str("outside release ") + control->GetName());
    }
    void PlayMusic(int track, int loop) override {
        Note(str::FromFormat("music %d %d", track, loop));
    }
    void CloseGame() override { Note("close game"); }
};

inline TEvent MakeEvent(int32_t type, int32_t param = 0, int32_t x = 0, int32_t y = 0) {
    TEvent event;
    event.type = type;
    event.param = param;
    event.x = x;
    event.y = y;
    return event;
}

class GameMainTest : public ::testing::Test {
protected:
    using TBody = std::function<void(TPlatform*, GGameMain&)>;

    void SetUp() override {
        standin::SetRuntimeFolder(mRuntime.Path().string());
        standin::SetMessageBoxAnswers({});
        standin::TakeMessageBoxes();
        mOldFolder = std::filesystem::current_path();
        mGame.Write("assets/scripts/mainloop.lua", kMainLoop);
        for (const auto& screen : kScreens) {
            mGame.Write(std::string("assets/") + screen[0], screen[1]);
        }
        mGame.Write("assets/strings.xml", kStrings);
        RegisterMedia();
        RegisterWindowSystem();
        gJournal = &mJournal;
    }

    void TearDown() override {
        gJournal = nullptr;
        EXPECT_TRUE(standin::TakeMessageBoxes().empty()) << "no box was shown";
        const std::string log = LogText();
        EXPECT_EQ(log.find("Lua Error"), std::string::npos) << log;
        SetWindowSystemFactory(TWindowSystemFactory{});
        SetRendererHooks(nullptr, nullptr);
        SetSoundManagerFactory(nullptr);
        UnregisterClassA(MainWindowClassName().CStr(), GetModuleHandleA(nullptr));
        SetLogFolder(nullptr);
        ClearSettings();
        std::filesystem::current_path(mOldFolder);
    }

    // Starts the engine on the game folder with the game's settings and the extra ones (the engine
    // clears every setting when it ends); inside it the game main starts with the test's hooks,
    // the body runs, and the game main finishes. The probe window type and "Note" are there before
    // the start-up runs.
    void RunGame(const TBody& body,
                 const std::vector<std::pair<const char*, const char*>>& settings = {}) {
        SetGameSettings();
        for (const auto& [key, value] : settings) {
            SetSetting(key, value);
        }
        sBody = &body;
        sHooks = &mHooks;
        std::string line = "-wd=" + mGame.Path().string();
        EngineMain(GetModuleHandleA(nullptr), nullptr, line.data(), SW_SHOWNORMAL, &GameCallback,
                   true);
        sBody = nullptr;
        sHooks = nullptr;
    }

    static int GameCallback(TPlatform* platform, const char* /*commandLine*/) {
        TWindowManager* manager = GetWindowManager();
        LuaPublish(manager->GetWindowScript()->GetState(), "Note", &Note);
        manager->RegisterWindowType("ControlProbe", &TControlProbe::Create);
        GGameMain game(platform, *sHooks);
        game.Start();
        // What the platform reported while the window opened is no part of the test.
        DropPendingEvents(platform);
        (*sBody)(platform, game);
        game.Finish();
        return 0;
    }

    // Events until the first idle one, dropped.
    static void DropPendingEvents(TPlatform* platform) {
        for (int i = 0; i < 200; ++i) {
            TEvent event;
            platform->GetEvent(&event);
            if (event.type == kEventIdle) {
                return;
            }
        }
    }

    // Whether the platform reports the quit event within the next events (the others are
    // dropped, the game main sees none of them).
    static bool QuitFollows(TPlatform* platform) {
        for (int idle = 0, i = 0; i < 500 && idle < 20; ++i) {
            TEvent event;
            platform->GetEvent(&event);
            if (event.type == kEventQuit) {
                return true;
            }
            idle += event.type == kEventIdle ? 1 : 0;
        }
        return false;
    }

    static TWindowManager* Manager() { return GetWindowManager(); }
    static TWindowScript* Script() { return Manager()->GetWindowScript(); }

    // The modal stack above the root screen from the top down, by name.
    static std::vector<std::string> Stack() {
        std::vector<std::string> names;
        for (TWindow* w = Manager()->GetTopModal(); w != nullptr && w->GetParent() != nullptr;
             w = w->GetParent()) {
            names.push_back(Text(w->GetName()));
        }
        return names;
    }
    static std::string Top() { return Stack().empty() ? std::string() : Stack().front(); }

    // The journal since the last call.
    std::vector<std::string> Take() {
        std::vector<std::string> taken;
        taken.swap(mJournal);
        return taken;
    }

    std::string LogText() const {
        return mHome.Read(".local/share/Vorlane/VorlaneMarivell/logfile.txt");
    }

    static inline const TBody* sBody = nullptr;
    static inline TTestHooks* sHooks = nullptr;

    testing_fixtures::TempDir mHome{true};
    testing_fixtures::TempDir mRuntime;
    testing_fixtures::TempDir mGame;
    std::filesystem::path mOldFolder;
    TTestHooks mHooks;
    TJournal mJournal;
};

} // namespace gamemain_test
