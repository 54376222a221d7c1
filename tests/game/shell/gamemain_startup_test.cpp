// The start-up order, recorded in a process of its own (the statistics and the game log are
// process singletons): the settings as they are stored, then every global the window script gets
// while the real game main starts, with what the engine shows at the moments that tell the steps
// apart.
#include "engine/core/random.h"
#include "engine/media/dxdisplayhandler.h"
#include "game/common/GUserManager.h"
#include "game/world/GStatistics.h"
#include "tests/fixtures/childprocess.h"
#include "tests/game/game_harness.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace gamemain_startup_test {

std::vector<std::string> gLines;
uint32_t gProfilesTime = 0;

void RecordSetting(const str& key, const str& value) {
    gLines.push_back("setting " + game_harness::Text(key) + "=" + game_harness::Text(value));
}

// What the display, the title and the profiles show when the profiles publish their first
// function.
std::string BeforeProfiles() {
    gProfilesTime = TPlatform::GetTime();
    TDxDisplayHandler* display = TDxDisplayHandler::Instance();
    char title[64] = {};
    GetWindowTextA(TPlatform::GetInstance()->GetWin32()->mMainWindow, title, sizeof title);
    const TWindow* root = GetWindowManager()->GetRootWindow();
    return std::string(" (new_subtractive ") +
           (display != nullptr && display->GetData().mNewSubtractive ? "on" : "off") + ", title '" +
           title + "', " + (root != nullptr ? "a root" : "no root") + ")";
}

// Whether the display is set and when the statistics were built: their generator's seed is the
// platform time of their construction, which lies between the profiles and now only when they
// were built in between.
std::string BeforeWindowTypes() {
    const TWindow* root = GetWindowManager()->GetRootWindow();
    const uint32_t now = TPlatform::GetTime();
    // Built later than now, the statistics get a later seed.
    while (TPlatform::GetTime() == now) {
    }
    TRandom built = GStatistics::Instance()->GetRandom();
    const uint32_t output = built.Next();
    bool between = false;
    for (uint32_t seed = gProfilesTime; seed <= now && !between; ++seed) {
        TRandom candidate;
        candidate.Seed(seed);
        between = candidate.Next() == output;
    }
    return std::string(" (root ") +
           (root != nullptr
                ? std::to_string(root->GetWidth()) + "x" + std::to_string(root->GetHeight())
                : "none") +
           (GetUserManager() != nullptr ? ", profiles" : ", no profiles") +
           (between ? ", statistics built after the profiles)" : ", statistics built elsewhere)");
}

// __newindex of the recording globals table: notes the write, then stores it in the real one.
// The script layer's own helper for Lua text run while the script waits is no step of the game.
int RecordGlobal(lua_State* L) {
    const std::string name = lua_type(L, 2) == LUA_TSTRING ? lua_tostring(L, 2) : "?";
    std::string line = "global " + name;
    if (name == "GetClosure") {
        line.clear();
    }
    switch (lua_type(L, 3)) {
    case LUA_TNIL:
        line += "=nil";
        break;
    case LUA_TNUMBER:
    case LUA_TSTRING:
        line += std::string("=") + lua_tostring(L, 3);
        break;
    default:
        break;
    }
    if (name == "ToggleFullScreen") {
        line += BeforeProfiles();
    } else if (name == "MainMenu") {
        line += BeforeWindowTypes();
    }
    if (!line.empty()) {
        gLines.push_back(line);
    }
    lua_pushvalue(L, 2);
    lua_pushvalue(L, 3);
    lua_rawset(L, lua_upvalueindex(1));
    return 0;
}

// From now on every global written in the state goes through RecordGlobal: the globals become an
// empty table that reads from the real one and writes through the recorder.
void RecordGlobals(lua_State* L) {
    lua_newtable(L);
    lua_newtable(L);
    lua_pushstring(L, "__index");
    lua_pushvalue(L, LUA_GLOBALSINDEX);
    lua_settable(L, -3);
    lua_pushstring(L, "__newindex");
    lua_pushvalue(L, LUA_GLOBALSINDEX);
    lua_pushcclosure(L, &RecordGlobal, 1);
    lua_settable(L, -3);
    lua_setmetatable(L, -2);
    lua_replace(L, LUA_GLOBALSINDEX);
}

int StartupCallback(TPlatform* platform, const char* /*commandLine*/) {
    RecordGlobals(GetWindowManager()->GetWindowScript()->GetState());
    GameMain(platform);
    gLines.emplace_back("game main returned");
    return 0;
}

CHILD_ENTRY(GameMainStartup) {
    standin::SetRuntimeFolder(std::getenv("GAMEMAIN_RUNTIME"));
    SetSettingChangedHook(&RecordSetting);
    SetGameSettings();
    SetSettingChangedHook(nullptr);
    RegisterMedia();
    RegisterWindowSystem();
    std::string line = std::string("-wd=") + std::getenv("GAMEMAIN_FOLDER");
    EngineMain(GetModuleHandleA(nullptr), nullptr, line.data(), SW_SHOWNORMAL, &StartupCallback,
               true);
    std::ofstream journal(std::getenv("GAMEMAIN_JOURNAL"));
    for (const std::string& entry : gLines) {
        journal << entry << "\n";
    }
    return journal ? 0 : 1;
}

TEST(GameMainStartupTest, StepsRunInTheirOrder) {
    testing_fixtures::TempDir home;
    testing_fixtures::TempDir runtime;
    testing_fixtures::TempDir game;
    game.Write("assets/strings.xml", game_harness::kStrings);
    game.Write("assets/scripts/menu.lua", "SetWindowName('menu')\n");
    game.Write("assets/scripts/mainloop.lua",
               "gDebugMode = 1\nreturn function() PostMessage(CreateNamedMessage(kQuitNow, "
               "'Quit')); DoMainWindow('scripts/menu.lua') end\n");
    const std::string journal = (home.Path() / "journal.txt").string();
    const pid_t child = testing_fixtures::SpawnChild(
        "GameMainStartup",
        {"HOME=" + home.Path().string(), "GAMEMAIN_RUNTIME=" + runtime.Path().string(),
         "GAMEMAIN_FOLDER=" + game.Path().string(), "GAMEMAIN_JOURNAL=" + journal});
    ASSERT_GT(child, 0);
    ASSERT_EQ(testing_fixtures::WaitForProcess(child, 120), 0);

    std::vector<std::string> lines;
    std::ifstream file(journal);
    for (std::string entry; std::getline(file, entry);) {
        lines.push_back(entry);
    }
    const std::vector<std::string> expected = {
        "setting publisher=Vorlane",
        "setting gamename=VorlaneMarivell",
        "setting encryptionkey=Rw5uLk9cTbXe",
        "setting qzgamehandle=VorlaneMarivell",
        "setting qzgamemodename1=vorlanemarivell_storymode",
        "global ToggleFullScreen (new_subtractive on, title 'Fixture Title', no root)",
        "global ToggleSoundMute",
        "global SetCurrentGameMode",
        "global GetNumUsers",
        "global CreateNewUser",
        "global SetCurrentUser",
        "global ChangeCurrentUserName",
        "global DeleteUser",
        "global IsNameInUse",
        "global QuitToMainMenu",
        "global CPP_StatisticOnGameSessionStart",
        "global CPP_StatisticOnGameStart",
        "global CPP_StatisticOnSessionEnd",
        "global CPP_StatisticOnPause",
        "global MainMenu (root 800x600, profiles, statistics built after the profiles)",
        "global OptionsWindow",
        "global Slider",
        "global HiscoreWindow",
        "global ChoosePlayerWindow",
        "global CreditsWindow",
        "global ProgressBar",
        "global Loader",
        "global GGameWnd",
        "global GGameCtrl",
        "global GSeparateLayer",
        "global GSelectMenu",
        "global GSelectMenuChild",
        "global GSelectPopupper",
        "global GFlyText",
        "global GHintPanel",
        "global GSmallHintPanel",
        "global GLevelScoreValues",
        "global GPowerMeterSelector",
        "global GPowerMeterButton",
        "global GLevelJumpButton",
        "global GHintedButton",
        "global GStatWnd",
        "global GAwardWnd",
        "global InterfaceEditor",
        "global GSceneCtrl",
        "global TutorialWindow",
        "global Label",
        "global particle_layer",
        "global GFlyEmitter",
        "global TPSimple",
        "global ScriptDump",
        "global SetImageAlpha",
        "global RunScript",
        "global SetUnderlineDistance",
        "global ToInt",
        "global SetPos",
        "global PlayMusic",
        "global CPP_Printf",
        "global TextEdit",
        "global FileExists",
        "global ScriptDump",
        "global PopWndInPauseMenuWnd",
        "global LuaLogWrite",
        "global LuaLogSetWriter",
        "global gDebugMode=1",
        "global gDebugMode=nil",
        "game main returned",
    };
    EXPECT_EQ(lines, expected);
}

// The terminate hook of the child below: the boxes it showed, one per line, for its parent.
void ReportBoxes(UINT code) {
    std::ofstream journal(std::getenv("GAMEMAIN_JOURNAL"));
    for (const standin::TMessageBoxRecord& box : standin::TakeMessageBoxes()) {
        journal << "box|" << box.caption << "|" << box.type << "|" << box.text << "\n";
    }
    journal << "exit|" << code << "\n";
}

int FailingStartupCallback(TPlatform* platform, const char* /*commandLine*/) {
    GameMain(platform);
    gLines.emplace_back("game main returned");
    return 0;
}

CHILD_ENTRY(GameMainWithABrokenMainScript) {
    standin::SetRuntimeFolder(std::getenv("GAMEMAIN_RUNTIME"));
    standin::SetTerminateHook(&ReportBoxes);
    SetGameSettings();
    RegisterMedia();
    RegisterWindowSystem();
    std::string line = std::string("-wd=") + std::getenv("GAMEMAIN_FOLDER");
    EngineMain(GetModuleHandleA(nullptr), nullptr, line.data(), SW_SHOWNORMAL,
               &FailingStartupCallback, true);
    std::ofstream journal(std::getenv("GAMEMAIN_JOURNAL"));
    journal << "returned\n";
    return 0;
}

// A game folder without its main script, or with one that fails, shows the box of a failed script
// call and ends with 1 before the loop, which nothing could leave.
TEST(GameMainStartupTest, ABrokenMainScriptShowsTheErrorBoxAndEndsWithOne) {
    struct TCase {
        const char* what;
        std::vector<std::pair<const char*, const char*>> files;
        const char* logged;
    };
    const TCase cases[] = {
        {"no assets at all",
         {},
         "TScript::RunScript: script file 'scripts/mainloop.lua' not found"},
        {"no main script",
         {{"assets/strings.xml", game_harness::kStrings}},
         "TScript::RunScript: script file 'scripts/mainloop.lua' not found"},
        {"a main script that fails",
         {{"assets/strings.xml", game_harness::kStrings},
          {"assets/scripts/mainloop.lua", "error('main script broken')\n"}},
         "main script broken"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        testing_fixtures::TempDir home;
        testing_fixtures::TempDir runtime;
        testing_fixtures::TempDir game;
        game.Write("placeholder", "");
        for (const auto& [name, text] : c.files) {
            game.Write(name, text);
        }
        const std::string journal = (home.Path() / "journal.txt").string();
        const pid_t child = testing_fixtures::SpawnChild(
            "GameMainWithABrokenMainScript",
            {"HOME=" + home.Path().string(), "GAMEMAIN_RUNTIME=" + runtime.Path().string(),
             "GAMEMAIN_FOLDER=" + game.Path().string(), "GAMEMAIN_JOURNAL=" + journal});
        ASSERT_GT(child, 0);
        EXPECT_EQ(testing_fixtures::WaitForProcess(child, 120), 1);
        std::ifstream file(journal);
        std::stringstream text;
        text << file.rdbuf();
        EXPECT_EQ(text.str(),
                  "box|Error|" +
                      std::to_string(MB_OK | MB_ICONINFORMATION | MB_TASKMODAL | MB_SETFOREGROUND) +
                      "|Cannot run function: scripts/mainloop.lua\n\nexit|1\n");
        const std::string log = home.Read(".local/share/Vorlane/VorlaneMarivell/logfile.txt");
        EXPECT_NE(log.find(c.logged), std::string::npos) << log;
        EXPECT_NE(log.find("GameMain: the main script scripts/mainloop.lua could not be run"),
                  std::string::npos)
            << log;
    }
}

} // namespace gamemain_startup_test
