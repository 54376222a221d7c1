// The whole game on SDL's dummy drivers, turn by turn: the engine started on a game folder (the
// demo's assets or a small fixture folder of its own), the real game main brought up over it with
// the game's own hooks (or hooks a test sets), then the loop run one turn at a time on the fake
// clock. Tests script input as the player gives it, answer message boxes, read frames, take the
// sound the null device mixed and look at the modal stack, the logical manager, the level and the
// game state. The test body runs inside the engine, between the game main's start-up and its end.
#pragma once

#include "engine/core/log.h"
#include "engine/core/settings.h"
#include "engine/media/directx.h"
#include "engine/media/dxdisplayhandler.h"
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
#include "game/shell/GGameHooks.h"
#include "game/shell/GGameMainHooks.h"
#include "game/shell/GameMain.h"
#include "game/shell/TLoaderWindow.h"
#include "game/visual/GVFactory.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GObjectFactory.h"
#include "platform/directx/standin_directx.h"
#include "platform/dsound/standin_dsound.h"
#include "platform/win32/standin.h"
#include "platform/win32/windows.h"
#include "tests/engine/ui/frame_fixture.h"
#include "tests/fixtures/tempdir.h"
#include "tests/fixtures/testpaths.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace game_harness {

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

// The fixture folder's main script wraps the library functions that the game main's Lua texts
// call, so the journal names each text as it runs ("DisplayDialog ...", "DoModal <file>",
// "PopModal <name>") and every message but a dialog's close that the waiting script receives
// ("message <kind> <name>"). The first screen is the setting "firstscreen".
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

// The main script of a fixture level: the Lua `globals` first, the player's progress answered,
// the harness's main script, and the dialog files in `noted` only noted ("DoModal <file>"), not
// opened, so that the game screen stays on top.
inline std::string LevelMainLoop(const std::string& globals,
                                 const std::vector<std::string>& noted) {
    std::string list;
    for (const std::string& file : noted) {
        list += "['" + file + "'] = true, ";
    }
    return globals + R"(
gGlobalPlayerInfo = {}
function HidePowerButtons() end
function GetUpgradeIndex() return 0 end
function UpgradeBuyed() return 1 end
function GetMoney() return 0 end
function GetTotalScore() return 0 end
function SetUserVariable() end
local harness = (function()
)" + kMainLoop +
           R"(
end)()
local notingDoModal = DoModal
local kNotedOnly = { )" +
           list + R"(}
function DoModal(file)
  if kNotedOnly[file] then Note("DoModal " .. file) else return notingDoModal(file) end
end
return harness
)";
}

// Each fixture screen names its modal window; "game" holds the control probe the game main looks
// for.
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

// The window "game_ctrl" of the fixture's game screen: notes the left-button releases that reach
// it.
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

class TGameHarness : public ::testing::Test {
protected:
    using TBody = std::function<void(TPlatform*, GGameMain&)>;

    // The fake clock's time when the engine starts, and the length of a default turn: the game
    // control's tick.
    static constexpr DWORD kStartTime = 100000;
    static constexpr DWORD kTurnMs = 10;

    void SetUp() override {
        standin::SetRuntimeFolder(mRuntime.Path().string());
        standin::SetMessageBoxAnswers({});
        standin::TakeMessageBoxes();
        standin::SetFakeTime(kStartTime);
        standin::UseNullSoundDevice(true);
        mOldFolder = std::filesystem::current_path();
        mFolder = mGame.Path();
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
        standin::TakeSoundCapture();
        standin::UseNullSoundDevice(false);
        standin::UseRealTime();
        sDrawTurns = false;
        std::filesystem::current_path(mOldFolder);
    }

    // The game runs on the demo's asset folder instead of the fixture folder.
    void UseDemoAssets() { mFolder = testing_fixtures::SourceDir(); }
    // The hooks the game main runs with; without a call, the game's own (GGameHooks). Not owned.
    void UseHooks(GGameMainHooks* hooks) { mTestHooks = hooks; }

    // Starts the engine on the game folder with the game's settings and the extra ones (the engine
    // clears every setting when it ends); inside it the game main starts with the hooks, the body
    // runs, and the game main finishes. The probe window type and "Note" are there before the
    // start-up runs.
    void RunGame(const TBody& body,
                 const std::vector<std::pair<const char*, const char*>>& settings = {}) {
        SetGameSettings();
        for (const auto& [key, value] : settings) {
            SetSetting(key, value);
        }
        // Each run is a new process's run: its first loading screen is the first again and loads
        // the game data and the scene prototypes afresh.
        TLoaderWindow::ForgetLoads();
        GLogicalManager::Instance().SetGameData(nullptr);
        GObjectFactory::Instance().Clear(true, true);
        // The visual prototypes hold textures of the last run's display.
        GVFactory::Instance().ClearCache();
        GGameHooks gameHooks;
        sBody = &body;
        sHooks = mTestHooks != nullptr ? mTestHooks : &gameHooks;
        std::string line = "-wd=" + mFolder.string();
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
        sPlatform = platform;
        sGame = &game;
        sQuit = false;
        game.Start();
        // Drawing every turn in software is what would make the loop slower than real time; the
        // frames tests look at are drawn when asked for.
        manager->SetDrawingSuspended(!sDrawTurns);
        // What the platform reported while the window opened is no part of the test.
        DropPendingEvents(platform);
        (*sBody)(platform, game);
        game.Finish();
        sGame = nullptr;
        sPlatform = nullptr;
        return 0;
    }

    // One turn of the loop: the clock moves on by `ms`, then the game main handles the platform's
    // events up to and with the first idle one (which runs the windows' timers and draws). False
    // once the quit event came; the game main then handles nothing more.
    static bool Turn(DWORD ms = kTurnMs) {
        if (sQuit) {
            return false;
        }
        standin::AdvanceTime(ms);
        for (int i = 0; i < 500; ++i) {
            TEvent event;
            sPlatform->GetEvent(&event);
            if (!sGame->HandleEvent(event)) {
                sQuit = true;
                return false;
            }
            if (event.type == kEventIdle) {
                return true;
            }
        }
        ADD_FAILURE() << "no idle turn within 500 events";
        return true;
    }

    // Turns of `step` ms until `ms` have passed; false when the quit event came.
    static bool RunFor(DWORD ms, DWORD step = kTurnMs) {
        for (DWORD passed = 0; passed < ms; passed += step) {
            if (!Turn(step)) {
                return false;
            }
        }
        return true;
    }

    // Plays a script of input, one line each, times in ms from now:
    //   "at 1200: down 412 305"  "at 1300: move 420 310"  "at 1400: up 420 310"
    //   "at 1500: key 27"  (a key pressed and released)  "at 1600: char 97"
    //   "at 1700: activate 0"  (the program loses, 1: regains, the activation)
    // Mouse points are in the main window's client area. The loop turns every kTurnMs in between
    // and once after each line. False when the quit event came or a line is not understood.
    static bool Play(const std::string& script) {
        std::istringstream lines(script);
        std::string line;
        DWORD now = 0;
        while (std::getline(lines, line)) {
            if (line.find_first_not_of(" \t") == std::string::npos) {
                continue;
            }
            unsigned at = 0;
            char verb[16] = {};
            int a = 0;
            int b = 0;
            const int read = std::sscanf(line.c_str(), " at %u: %15s %d %d", &at, verb, &a, &b);
            if (read < 2) {
                ADD_FAILURE() << "not an input line: " << line;
                return false;
            }
            while (now + kTurnMs <= at) {
                now += kTurnMs;
                if (!Turn()) {
                    return false;
                }
            }
            if (!Inject(verb, a, b)) {
                ADD_FAILURE() << "no such input: " << line;
                return false;
            }
            if (!Turn(at - now)) {
                return false;
            }
            now = at;
        }
        return true;
    }

    // Puts one input into the main window's queue, as the player gives it.
    static bool Inject(const std::string& verb, int a, int b) {
        HWND main = sPlatform->GetWin32()->mMainWindow;
        const LPARAM point = MAKELPARAM(a, b);
        if (verb == "down") {
            standin::InjectMessage(main, WM_LBUTTONDOWN, MK_LBUTTON, point);
        } else if (verb == "up") {
            standin::InjectMessage(main, WM_LBUTTONUP, 0, point);
        } else if (verb == "move") {
            standin::InjectMessage(main, WM_MOUSEMOVE, 0, point);
        } else if (verb == "key") {
            standin::InjectMessage(main, WM_KEYDOWN, static_cast<WPARAM>(a), 1);
            standin::InjectMessage(main, WM_KEYUP, static_cast<WPARAM>(a), 0xC0000001);
        } else if (verb == "char") {
            standin::InjectMessage(main, WM_CHAR, static_cast<WPARAM>(a), 1);
        } else if (verb == "activate") {
            standin::InjectMessage(main, WM_ACTIVATEAPP, a != 0 ? TRUE : FALSE, 0);
        } else {
            return false;
        }
        return true;
    }

    // Message boxes answer these, in order, without showing anything; the boxes shown are the
    // test's to take (TearDown expects none left).
    static void AnswerBoxes(std::vector<int> answers) {
        standin::SetMessageBoxAnswers(std::move(answers));
    }
    static std::vector<standin::TMessageBoxRecord> TakeBoxes() {
        return standin::TakeMessageBoxes();
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

    // A player made before the first menu shows, unless there is one, so that the menu does not
    // ask for one; with fresh progress as the new-player dialog gives it (where the main script
    // has one).
    static void AddPlayer(const char* name) {
        Script()->DoLuaString((std::string("if GetNumUsers() == 0 then CreateNewUser('") + name +
                               "') if SetDefaultInfo then SetDefaultInfo() SetGlobalVariable() "
                               "end if CPP_WriteGO then CPP_WriteGO() end end")
                                  .c_str());
    }

    static TWindowManager* Manager() { return GetWindowManager(); }
    static TWindowScript* Script() { return Manager()->GetWindowScript(); }
    static GLogicalManager& LogicalManager() { return GLogicalManager::Instance(); }
    static GLevel* Level() { return LogicalManager().GetLevel(); }
    static int GameState() { return LogicalManager().GetGameState(); }

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

    // The named descendant of the top modal window, or null.
    static TWindow* Find(const char* name) {
        TWindow* top = Manager()->GetTopModal();
        return top != nullptr ? top->FindChild(name, -1) : nullptr;
    }

    // The modal stack drawn into the back buffer over opaque black, without the cursor, as the
    // player sees it; the display's whole target.
    static standin::TScreenImage Frame() {
        TDxDisplayHandler* display = TDxDisplayHandler::Instance();
        if (display == nullptr) {
            ADD_FAILURE() << "no display";
            return {};
        }
        return frame_test::DrawModalStackFrame(*display, *Manager(),
                                               display->GetData().mTargetRect);
    }

    // What the screen shows after one more turn that draws, with the cursor.
    static standin::TScreenImage Screen() {
        Manager()->SetDrawingSuspended(false);
        Manager()->Invalidate();
        Turn();
        Manager()->SetDrawingSuspended(!sDrawTurns);
        return standin::ReadScreen(sPlatform->GetWin32()->mMainWindow);
    }

    // The loop draws on every turn, as the program does (slower than real time); call before
    // RunGame.
    static void DrawEachTurn(bool draw) { sDrawTurns = draw; }

    // The null device mixes `frames` frames (44.1 kHz stereo) and hands over all it mixed since the
    // last call.
    static std::vector<std::int16_t> TakeSound(DWORD frames) {
        standin::AdvanceSoundDevice(frames);
        return standin::TakeSoundCapture();
    }

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
    static inline GGameMainHooks* sHooks = nullptr;
    static inline TPlatform* sPlatform = nullptr;
    static inline GGameMain* sGame = nullptr;
    static inline bool sQuit = false;
    static inline bool sDrawTurns = false;

    testing_fixtures::TempDir mHome{true};
    testing_fixtures::TempDir mRuntime;
    testing_fixtures::TempDir mGame;
    std::filesystem::path mFolder;
    std::filesystem::path mOldFolder;
    GGameMainHooks* mTestHooks = nullptr;
    TJournal mJournal;
};

} // namespace game_harness
