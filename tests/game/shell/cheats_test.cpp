// The developer cheats on the game harness, over a fixture game screen (game window, game and scene
// controls) and a fixture level with two editable objects (the entrance door and the power meter):
// the keys each cheat takes and what it does, its hint line and the log row of each run, the
// position editor with and without the saver library, and the object editor's process holding
// the game main's own handling while it runs.

#include "game/common/GLogManager.h"
#include "game/shell/GCheatManager.h"
#include "game/shell/GCheats.h"
#include "game/shell/GGameCtrl.h"
#include "game/world/GGameData.h"
#include "game/world/GLevel.h"
#include "game/world/GMarivellPowerMeter.h"
#include "game/world/GProcessLauncher.h"
#include "game/world/GTrellaneSaver.h"
#include "tests/fixtures/childprocess.h"
#include "tests/fixtures/golden.h"
#include "tests/game/game_harness.h"

#include <gmock/gmock.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace cheats_test {

using namespace game_harness;
using testing::ElementsAre;
using testing::IsEmpty;

namespace fs = std::filesystem;

// The main script: the harness's, with the cheat mode the test asks for, the player's progress
// answered from globals, the level jumps noted, and the dialogs a level opens noted without
// opening, so that the game screen stays on top and takes the keys.
std::string MainLoop(int cheatMode) {
    return "gCheatMode = " + std::to_string(cheatMode) + R"(
gLevelNum = 1
gStageNum = 0
gGlobalPlayerInfo = {}
gMeterType = { class_name = 'GMarivellPowerMeter', power_max_score = 100 }
function CheatLevel(step) Note("CheatLevel " .. step) end
function HidePowerButtons() end
function LevelCompleted(level, score, expert) Note("completed " .. level .. " " .. expert) end
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
local kNotedOnly = { ['scripts/levelgoal.lua'] = true, ['scripts/rule_window.lua'] = true,
                     ['scripts/jump_level.lua'] = true, ['scripts/level_stats.lua'] = true,
                     ['scripts/level_award.lua'] = true, ['scripts/level_try_again.lua'] = true }
function DoModal(file)
  if kNotedOnly[file] then Note("DoModal " .. file) else return notingDoModal(file) end
end
return harness
)";
}

const char kGameScreen[] = R"(SetWindowName('game')
MakeDialog({ GGameWnd({ name = 'game_wnd', x = 0, y = 0, w = 800, h = 600,
  GGameCtrl({ name = 'game_ctrl', x = 0, y = 0, w = 800, h = 600 }),
  GSceneCtrl({ name = 'scene_ctrl', x = 0, y = 0, w = 800, h = 600 }) }) })
)";

// Two doors, both editable, each a 40 x 40 square drawn from its position; goal 50, expert 100.
const char kStage[] = R"(
LevelData = {
  level = { goal = 50, expert = 100 },
  hall = { BaseType = 'types', BaseData = 'data',
    entrance = { included = true, pos_x = 300, pos_y = 200 },
    exit = { included = true, pos_x = 700, pos_y = 500 } },
}
Objects = {
  types = { door = { class_name = 'GInDoor', xml_anim = 'door' } },
  data = { entrance = { name = 'entrance', base_type = 'door' },
           exit = { name = 'exit', base_type = 'door' } },
  level_types = { level = {} },
}
function LevelTimerFunc(tick) end
)";

// One scene that waits for its object, so that a scene can be alive.
const char kScenes[] = R"(
scenes = { waiting = { class_name = 'GLogicalScene', objects = { { name = 'entrance' } },
                       stages = { { tasks = { 'work' } } } } }
)";

constexpr uint32_t kDoorColor = 0xFF2080C0u;
constexpr int kKeyPageUp = 33;
constexpr int kKeyPageDown = 34;

class TCheatsTest : public TGameHarness {
protected:
    void SetUp() override {
        TGameHarness::SetUp();
        mGame.Write("assets/scripts/game.lua", kGameScreen);
        mGame.Write("assets/scripts/stages/stages.lua", kStage);
        mGame.Write("assets/scripts/stages/scenes.lua", kScenes);
        mGame.Write("assets/scripts/stages/game_datas.lua", "Upgrades = { powers = {} }\n");
        mGame.Write("assets/xml/door.xml",
                    "<main id=\"door\"><images><img name=\"door.png\"/></images><framelist>"
                    "<frame w=\"40\" h=\"40\"/></framelist><states>"
                    "<state id=\"normal\" framelist=\"0\"/><state id=\"open\" framelist=\"0\"/>"
                    "</states></main>");
        standin::TScreenImage door;
        door.width = 40;
        door.height = 40;
        door.pixels.assign(40 * 40, kDoorColor);
        ASSERT_TRUE(standin::WritePng(mGame.Write("assets/anim/door.png", "").string(), door));
        GetTrellaneSaver()->Unload();
    }

    void TearDown() override {
        GetTrellaneSaver()->Abort();
        GetTrellaneSaver()->Unload();
        GLogicalManager::Instance().GetPathGrid().SetShowWalkability(false);
        GLogicalManager::Instance().GetPathGrid().SetShowGrid(false);
        GLogicalManager::Instance().GetPathGrid().SetShowPathPoints(false);
        TGameHarness::TearDown();
    }

    // The game on the fixture screen with the cheat mode; the body runs with level 1 playing
    // unless `load` is false (then no level exists).
    void RunCheats(int cheatMode, const std::function<void()>& body, bool load = true) {
        mGame.Write("assets/scripts/mainloop.lua", MainLoop(cheatMode));
        RunGame(
            [&](TPlatform*, GGameMain&) {
                ASSERT_EQ(Top(), "game");
                GLogicalManager& manager = LogicalManager();
                manager.SetGameData(GObjectFactory::Instance().GetGameData());
                manager.LoadScenes("scripts/stages/scenes.lua");
                if (load) {
                    Script()->DoLuaString("CPP_LoadLevel(1, 0)");
                    // No offers: the first tick starts the show, the next notes the goal dialogs.
                    ASSERT_TRUE(RunFor(60, 30));
                    ASSERT_EQ(GameState(), 2);
                }
                Take();
                body();
            },
            {{"firstscreen", "scripts/game.lua"}});
    }

    static GGameCtrl* Control() { return static_cast<GGameCtrl*>(Find("game_ctrl")); }
    static GCheatManager& Cheats() { return *Control()->GetCheatManager(); }
    static std::string Hint() { return Text(Cheats().GetHintText()); }

    // The key pressed and released, with a turn after.
    static void Key(int key) { ASSERT_TRUE(Play("at 0: key " + std::to_string(key))); }

    // The hint text's line of the cheat with the key letter.
    static std::string HintLine(const std::string& start) {
        const std::string hint = Hint();
        const size_t at = hint.find("\n " + start);
        return at == std::string::npos ? "" : hint.substr(at + 2, hint.find('\n', at + 1) - at - 2);
    }

    static GGameObject* Object(const char* name) {
        for (GGameObject* object : Level()->GetObjects()) {
            if (object->GetName() == str(name)) {
                return object;
            }
        }
        return nullptr;
    }

    static std::string Title() {
        char title[256] = {};
        GetWindowTextA(sPlatform->GetWin32()->mMainWindow, title, sizeof title);
        return title;
    }

    void PlaceSaverLibrary() const {
        fs::copy_file(testing_fixtures::BinaryDir() / "Trellane.dll",
                      mGame.Path() / "Trellane.dll");
    }
};

TEST(CheatManager, ListsEachKeyOnceInTheOrderAdded) {
    GCheatManager manager;
    EXPECT_EQ(manager.GetHintText(), str()) << "nothing listed yet";
    EXPECT_TRUE(manager.IsHintShown());
    manager.AddCheat(new GCheatDrawWalkalability);
    manager.AddCheat(new GCheatDrawGrid);
    // A second cheat of a taken key is refused, and freed (ASan sees a leak otherwise).
    manager.AddCheat(new GCheatDrawWalkalability);
    manager.AddCheat(nullptr);
    EXPECT_EQ(manager.GetCheatCount(), 2u);
    EXPECT_EQ(Text(manager.GetHintText()), "Cheats:\n W - show walkability\n G - show grid\n");
    EXPECT_FALSE(manager.OnKey('H'));
    EXPECT_TRUE(manager.OnKey('G'));
    EXPECT_EQ(Text(manager.GetHintText()), "Cheats:\n W - show walkability\n G - hide grid\n");
    GLogicalManager::Instance().GetPathGrid().SetShowGrid(false);
}

TEST_F(TCheatsTest, HintAndPathGridSwitchesTurnOnAndOff) {
    RunCheats(1, [this] {
        ASSERT_EQ(Cheats().GetCheatCount(), 15u);
        EXPECT_EQ(Hint(),
                  "Cheats:\n H - hide cheat hint\n W - show walkability\n G - show grid\n"
                  " P - show path points\n O - object editor\n R - reload all\n A - cheat win\n"
                  " Z - cheat loose\n Q - start position editor\n PgUp - next level\n"
                  " PgDn - prev level\n L - jump to level\n S - add 1000 scores\n"
                  " I - add 5 to powers\n K - draw object rects\n");
        Key('H');
        EXPECT_FALSE(Cheats().IsHintShown());
        EXPECT_EQ(HintLine("H"), "H - show cheat hint");
        Key('H');
        EXPECT_TRUE(Cheats().IsHintShown());
        EXPECT_EQ(HintLine("H"), "H - hide cheat hint");

        GPathGrid& grid = LogicalManager().GetPathGrid();
        struct TSwitch {
            int key;
            bool (GPathGrid::*flag)() const;
            const char* on;
            const char* off;
        };
        for (const TSwitch& s :
             {TSwitch{'W', &GPathGrid::GetShowWalkability, "W - hide walkability",
                      "W - show walkability"},
              TSwitch{'G', &GPathGrid::GetShowGrid, "G - hide grid", "G - show grid"},
              TSwitch{'P', &GPathGrid::GetShowPathPoints, "P - hide path points",
                      "P - show path points"}}) {
            const std::string letter(1, static_cast<char>(s.key));
            Key(s.key);
            EXPECT_TRUE((grid.*s.flag)()) << letter;
            EXPECT_EQ(HintLine(letter), s.on);
            Key(s.key);
            EXPECT_FALSE((grid.*s.flag)()) << letter;
            EXPECT_EQ(HintLine(letter), s.off);
        }
        Key('K');
        EXPECT_TRUE(Control()->IsDrawingObjectRects());
        EXPECT_EQ(HintLine("K"), "K - draw object rects") << "the hint stays";
        Key('K');
        EXPECT_FALSE(Control()->IsDrawingObjectRects());
        EXPECT_THAT(Take(), IsEmpty()) << "no key reached the modal root as a message";
    });
}

TEST_F(TCheatsTest, WithoutCheatModeEveryKeyGoesToTheGame) {
    RunCheats(0, [this] {
        EXPECT_EQ(Cheats().GetCheatCount(), 0u);
        for (const int key : {int{'H'}, int{'W'}, int{'A'}, int{'Q'}, int{'S'}, kKeyPageUp}) {
            EXPECT_FALSE(Control()->OnKeyDown(static_cast<uint8_t>(key), 0)) << key;
        }
        Key('S');
        EXPECT_EQ(Level()->GetScore(), 0);
        EXPECT_THAT(Take(), ElementsAre("message 4 raw:S")) << "unhandled, as any key";
        EXPECT_FALSE(LogicalManager().GetPathGrid().GetShowWalkability());
    });
}

TEST_F(TCheatsTest, WinEndsWithTheExpertResultOnlyWhenItIsReached) {
    struct TCase {
        int score;
        int result;
        const char* dialog;
        const char* completed;
    };
    for (const TCase c : {TCase{40, 2, "DoModal scripts/level_stats.lua", "completed 1 0"},
                          TCase{100, 3, "DoModal scripts/level_stats.lua", "completed 1 1"}}) {
        RunCheats(1, [&] {
            LogicalManager().AddScore(c.score);
            Key('A');
            EXPECT_EQ(Level()->GetResult(), c.result) << c.score;
            EXPECT_EQ(Level()->GetLevelState(), 3);
            EXPECT_THAT(Take(), ElementsAre(c.completed, c.dialog)) << c.score;
            // An ended level is not ended again: no second booking, no second dialog.
            Key('A');
            Key('Z');
            EXPECT_EQ(Level()->GetResult(), c.result);
            EXPECT_THAT(Take(), IsEmpty());
        });
    }
}

TEST_F(TCheatsTest, LooseEndsTheLevelLost) {
    RunCheats(1, [this] {
        Key('Z');
        EXPECT_EQ(Level()->GetResult(), 1);
        EXPECT_EQ(GameState(), 4);
        EXPECT_THAT(Take(), ElementsAre("DoModal scripts/level_try_again.lua"));
        Key('A');
        EXPECT_EQ(Level()->GetResult(), 1);
        EXPECT_THAT(Take(), IsEmpty());
    });
}

TEST_F(TCheatsTest, WinAndLooseWithoutALevelDoNothing) {
    RunCheats(
        1,
        [this] {
            ASSERT_EQ(Level(), nullptr);
            Key('A');
            Key('Z');
            Key('S');
            Key('I');
            Key('Q');
            EXPECT_EQ(Level(), nullptr);
            EXPECT_THAT(Take(), IsEmpty());
            EXPECT_FALSE(LogicalManager().IsPositionEditorOn());
        },
        false);
}

// The game data does not place a power meter yet: the test gives the manager one.
TEST_F(TCheatsTest, ScoresForTheLevelAndThePowerMeter) {
    RunCheats(1, [this] {
        std::unique_ptr<TLuaTable> type(Script()->GetGlobalTable("gMeterType"));
        std::unique_ptr<GGameObject> object(
            GObjectFactory::Instance().CreateObject("meter", type.get(), nullptr));
        auto* meter = dynamic_cast<GMarivellPowerMeter*>(object.get());
        ASSERT_NE(meter, nullptr);
        meter->GetScript().DoLuaString("function powerSetProgress(p, m, s) end");
        LogicalManager().RegisterObject(meter);
        Key('S');
        EXPECT_EQ(Level()->GetScore(), 1000);
        Key('I');
        Key('I');
        EXPECT_EQ(meter->GetProgress(), 10);
        EXPECT_EQ(Level()->GetScore(), 1000);
        LogicalManager().UnregisterObject(meter);
    });
}

TEST_F(TCheatsTest, LevelJumpsRunInTheMainScript) {
    RunCheats(1, [this] {
        Key(kKeyPageUp);
        Key(kKeyPageDown);
        Key('L');
        EXPECT_THAT(Take(),
                    ElementsAre("CheatLevel 1", "CheatLevel -1", "DoModal scripts/jump_level.lua"));
    });
}

TEST_F(TCheatsTest, ReloadLoadsTheSameLevelAndStageAgain) {
    RunCheats(1, [this] {
        Script()->DoLuaString("CPP_LoadLevel(2, 3)");
        Level()->AddScore(30);
        Key('R');
        ASSERT_NE(Level(), nullptr);
        EXPECT_EQ(Level()->GetLevelNumber(), 2);
        EXPECT_EQ(Level()->GetStageNumber(), 3);
        EXPECT_EQ(Level()->GetScore(), 0) << "a level made anew";
        EXPECT_EQ(Level()->GetObjectCount(), 2);
        EXPECT_NE(GObjectFactory::Instance().FindScenePrototype("waiting"), nullptr)
            << "the scene file loaded again";
    });
}

TEST_F(TCheatsTest, TheObjectEditorThatIsNotThereOpensNoDialog) {
    RunCheats(1, [this] {
        Key('O');
        EXPECT_THAT(Take(), IsEmpty()) << "no stop_game dialog without a started editor";
        EXPECT_EQ(Top(), "game");
        EXPECT_EQ(GetProcessLauncher()->Poll(), -1);
    });
}

// A cheat of a key no developer cheat takes.
class TProbeCheat final : public GBaseCheat {
public:
    TProbeCheat() : GBaseCheat('X', "X - probe") {}
    void RunCheat() override {}
};

TEST_F(TCheatsTest, EachRunAndEachAddedCheatAddsItsRowToTheDebugLog) {
    RunCheats(1, [this] {
        Key('S');
        EXPECT_FALSE(fs::exists(mGame.Path() / "debug_log.csv")) << "discarded by default";
        Script()->DoLuaString("LuaLogSetWriter('cheats', 2)");
        Key('S');
        Key('G');
        Cheats().AddCheat(new TProbeCheat);
        const std::string log = mGame.Read("debug_log.csv");
        // Rows end as text files do on the system: with a carriage return before the break.
        const size_t headerEnd = log.find("\r\n");
        EXPECT_EQ(log.substr(0, headerEnd),
                  "Id;TimeTillStart (ms);MessageLevel;ModuleId;Message;SourceFilename;LineNumber;");
        std::vector<std::string> rows;
        for (size_t at = headerEnd + 2; headerEnd != std::string::npos && at < log.size();) {
            const size_t end = log.find("\r\n", at);
            const std::string row = log.substr(at, end - at);
            // Id, time and line vary; the rest is fixed.
            const size_t third = row.find(';', row.find(';') + 1);
            const size_t line = row.rfind(';', row.size() - 2);
            rows.push_back(row.substr(third + 1, line - third));
            at = end == std::string::npos ? log.size() : end + 2;
        }
        EXPECT_THAT(
            rows, ElementsAre("Debug;cheats;GCheatAddScores::RunCheat();.\\GCheats.cpp;",
                              "Debug;cheats;GCheatDrawGrid::RunCheat();.\\GCheats.cpp;",
                              // "Cheat "X - probe" added", in UTF-8, quoted as a CSV field.
                              "Debug;cheats;\"\xD0\xA7\xD0\xB8\xD1\x82 \"\"X - probe\"\" "
                              "\xD0\xB4\xD0\xBE\xD0\xB1\xD0\xB0\xD0\xB2\xD0\xBB\xD0\xB5\xD0\xBD\";"
                              ".\\GCheats.cpp;"))
            << log;
        GetLogManager()->SetModuleWriter("cheats", GLogManager::kNullWriter);
    });
}

TEST_F(TCheatsTest, PositionEditorSavesTheMovedObjectsThroughTheSaver) {
    PlaceSaverLibrary();
    // The objects are hit where they were last drawn.
    DrawEachTurn(true);
    RunCheats(1, [this] {
        GLogicalManager& manager = LogicalManager();
        // A scene alive: the editor does not start.
        GBaseLogicalScene* scene =
            manager.CreateScene("waiting", Object("entrance"), nullptr, false, true);
        ASSERT_NE(scene, nullptr);
        Key('Q');
        EXPECT_FALSE(manager.IsPositionEditorOn());
        EXPECT_EQ(HintLine("Q"), "Q - start position editor");
        manager.DestroyScene(scene);

        Key('Q');
        ASSERT_TRUE(manager.IsPositionEditorOn());
        EXPECT_EQ(HintLine("Q"), "Q - stop position editor");
        EXPECT_EQ(Title(), "You may set position of object by means of mouse now");
        EXPECT_FALSE(Object("exit")->IsActive()) << "in edit mode";
        // Each door dragged by the point 20, 20 inside it; it lands where that point is let go.
        // The mouse comes to the second door in two moves: the first one leaves the first door.
        ASSERT_TRUE(Play("at 0: move 320 220\nat 10: down 320 220\nat 20: move 350 260\n"
                         "at 30: move 360 280\nat 40: up 360 280\n"
                         "at 50: move 715 515\nat 55: move 720 520\nat 60: down 720 520\n"
                         "at 70: move 670 500\nat 80: up 670 500"));
        EXPECT_EQ(Object("entrance")->GetPosition().x, 340);
        EXPECT_EQ(Object("entrance")->GetPosition().y, 260);
        Key('Q');
        EXPECT_FALSE(manager.IsPositionEditorOn());
        EXPECT_EQ(HintLine("Q"), "Q - start position editor");
        EXPECT_EQ(Title(), "Fixture Title");
        EXPECT_TRUE(Object("exit")->IsActive());

        TScript read;
        read.Init();
        read.DoLuaString("positions = {}");
        const std::string file = mGame.Read("assets/scripts/stages/level_1.lua");
        read.DoLuaString(str(file.data(), static_cast<int>(file.size())));
        read.DoLuaString("ex, ey = positions.entrance.x, positions.entrance.y "
                         "mx, my = positions.exit.x, positions.exit.y");
        EXPECT_EQ(read.GetGlobalNumber("ex"), 340) << file;
        EXPECT_EQ(read.GetGlobalNumber("ey"), 260);
        EXPECT_EQ(read.GetGlobalNumber("mx"), 650);
        EXPECT_EQ(read.GetGlobalNumber("my"), 480);
        EXPECT_EQ(GameState(), 2) << "play goes on";
    });
}

TEST_F(TCheatsTest, WithoutTheSaverLibraryTheGameStaysPlayable) {
    RunCheats(1, [this] {
        const std::string title = Title();
        Key('Q');
        EXPECT_FALSE(LogicalManager().IsPositionEditorOn());
        EXPECT_EQ(HintLine("Q"), "Q - start position editor");
        EXPECT_EQ(Title(), title);
        EXPECT_EQ(title, "Fixture Title");
        EXPECT_TRUE(Object("entrance")->IsActive()) << "out of edit mode again";
        EXPECT_EQ(GameState(), 2);
        EXPECT_EQ(Level()->GetLevelState(), 2);
        EXPECT_FALSE(fs::exists(mGame.Path() / "assets/scripts/stages/level_1.lua"));
        Key('S');
        EXPECT_EQ(Level()->GetScore(), 1000) << "the game goes on";
    });
}

TEST_F(TCheatsTest, GoldenCheatHint) {
    RunCheats(1, [this] {
        testing_fixtures::ExpectGolden(Frame(), "tests/game/shell/golden/cheat_hint.png");
        Key('H');
        const standin::TScreenImage hidden = Frame();
        for (int y = 0; y < 260; ++y) {
            for (int x = 0; x < 200; ++x) {
                ASSERT_EQ(hidden.pixels[y * 800 + x] & 0xFFFFFFu, 0u)
                    << "hidden: " << x << "," << y;
            }
        }
        EXPECT_EQ(hidden.pixels[220 * 800 + 320], kDoorColor) << "the level is still drawn";
    });
}

// The object editor's stand-in: runs until the file "release" appears in EDITOR_FOLDER.
CHILD_ENTRY(ShellEditorStandIn) {
    const fs::path release = fs::path(std::getenv("EDITOR_FOLDER")) / "release";
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!fs::exists(release) && std::chrono::steady_clock::now() < end) {
        usleep(2000);
    }
    return 0;
}

// While the editor runs the game main hands every event to the window manager only; a quit that
// came meanwhile ends the game once the editor has ended and its dialog is closed.
TEST_F(TCheatsTest, WhileTheEditorRunsAQuitWaitsForItsEnd) {
    RunCheats(1, [this] {
        setenv("EDITOR_FOLDER", mGame.Path().c_str(), 1);
        ASSERT_TRUE(GetProcessLauncher()->Launch("/proc/self/exe --child=ShellEditorStandIn"));
        Script()->DoLuaString("DoModal('scripts/stop_game.lua')");
        ASSERT_EQ(Top(), "stop_game");
        Take();
        SetForegroundWindow(sPlatform->GetWin32()->mMainWindow);
        sPlatform->PostQuit(0);
        ASSERT_TRUE(Play("at 0: activate 0\nat 10: key 27"));
        ASSERT_TRUE(RunFor(100)) << "the game does not quit under the editor";
        // The window manager had them (the Esc reached the dialog); the game main opened nothing.
        const std::vector<std::string> journal = Take();
        EXPECT_THAT(journal, testing::Contains("message 4 raw:\x1B"));
        EXPECT_THAT(journal, testing::Each(testing::StartsWith("message "))) << "no dialog";
        EXPECT_EQ(Top(), "stop_game");

        mGame.Write("release", "");
        bool running = true;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (running && std::chrono::steady_clock::now() < end) {
            usleep(2000);
            running = Turn();
        }
        unsetenv("EDITOR_FOLDER");
        EXPECT_FALSE(running) << "the kept quit ended the loop";
        EXPECT_EQ(Top(), "game") << "the editor's end closed its dialog";
        EXPECT_EQ(GetProcessLauncher()->Poll(), -1);
    });
}

} // namespace cheats_test
