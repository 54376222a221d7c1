// The loading screen on the game harness: its ticks every 100 ms, the loading work at the steps
// that reach 32 and 64, and how the first and later screens of a run hand over.

#include "engine/script/luawrapper.h"
#include "engine/ui/image.h"
#include "game/shell/TLoaderWindow.h"
#include "game/shell/TProgressBar.h"
#include "game/world/GGameObject.h"
#include "game/world/GObjectFactory.h"
#include "tests/game/game_harness.h"

#include <gmock/gmock.h>

#include <memory>

namespace loader_test {

using namespace game_harness;
using testing::ElementsAre;

// The main script notes the main-script call the later screens end with, and when the level to
// preload is read.
const char kLoaderMain[] = R"(function CheckBeforeCloseLoader() Note("CheckBeforeCloseLoader") end
setmetatable(_G, { __index = function(t, k)
  if k == 'gLevelNum' or k == 'gStageNum' then Note('read ' .. k); return 2 end
end })
)";

const char kScenes[] = R"(scenes = {
  calls = { class_name = 'GLogicalScene', objects = { { base_type = 'girl' } },
            stages = { { tasks = { 'long' } } } },
}
)";

// A loader screen whose bar starts at `value` (no bar for a negative one).
std::string LoaderScreen(int value) {
    std::string bar;
    if (value >= 0) {
        bar = "ProgressBar({ name = 'LoadingProgressing', x = 100, y = 500, w = 600, h = 20, "
              "Value = " +
              std::to_string(value) + " }), ";
    }
    return "SetWindowName('loading')\nMakeDialog({ Loader({ name = 'loader', " + bar +
           "Bitmap({ name = 'grayimage', w = 800, h = 600 }) }) })\n";
}

class TLoaderTest : public TGameHarness {
protected:
    void SetUp() override {
        TGameHarness::SetUp();
        mGame.Write("assets/scripts/mainloop.lua", std::string(kLoaderMain) + kMainLoop);
        mGame.Write("assets/scripts/mainmenu.lua", "SetWindowName('mainmenu')\n");
        mGame.Write("assets/scripts/stages/scenes.lua", kScenes);
        WriteScreens(0);
    }

    void WriteScreens(int value) { mGame.Write("assets/scripts/loader.lua", LoaderScreen(value)); }

    // A table made by the Lua expression in the window script.
    static std::unique_ptr<TLuaTable> Table(const char* expression) {
        Script()->DoLuaString(str("loaderTestTable = ") + expression);
        return std::unique_ptr<TLuaTable>(Script()->GetGlobalTable("loaderTestTable"));
    }

    static TLoaderWindow* Loader() {
        TWindow* window = Find("loader");
        return window != nullptr && window->IsKindOf(TLoaderWindow::ClassId())
                   ? static_cast<TLoaderWindow*>(window)
                   : nullptr;
    }

    // One 100 ms tick of the screen: what it shows afterwards, and the journal.
    struct TTick {
        float value;
        float gray;
        bool sceneScriptNew;
        std::vector<std::string> notes;
    };
    TTick Tick(const TScript* oldSceneScript) {
        EXPECT_TRUE(Turn(100));
        TTick tick{-1.0f, -1.0f, LogicalManager().GetSceneScript() != oldSceneScript, Take()};
        if (TLoaderWindow* loader = Loader()) {
            tick.value = loader->GetValue();
            TWindow* gray = Find("grayimage");
            tick.gray = gray != nullptr ? static_cast<TImage*>(gray)->GetAlpha() : -1.0f;
        }
        return tick;
    }
};

TEST_F(TLoaderTest, TheFirstScreenLoadsAtTheSixthAndSeventhTicksThenSwapsToTheMenu) {
    const TScript* oldScenes = LogicalManager().GetSceneScript();
    RunGame(
        [&](TPlatform*, GGameMain&) {
            ASSERT_EQ(Top(), "loading");
            ASSERT_NE(Loader(), nullptr);
            EXPECT_EQ(Loader()->GetWidth(), 800);
            EXPECT_EQ(Loader()->GetHeight(), 600);
            EXPECT_EQ(LogicalManager().GetCursorKind(), 0) << "the first screen sets the cursor";
            Take();
            for (const float value : {1.0f, 3.0f, 7.0f, 15.0f, 31.0f}) {
                const TTick tick = Tick(oldScenes);
                EXPECT_EQ(tick.value, value);
                EXPECT_FLOAT_EQ(tick.gray, 1.0f - value / 100.0f) << "it fades by the steps";
                EXPECT_FALSE(tick.sceneScriptNew) << value;
                EXPECT_EQ(LogicalManager().GetGameData(), nullptr) << value;
                EXPECT_TRUE(tick.notes.empty()) << value;
            }
            const TTick sixth = Tick(oldScenes);
            EXPECT_EQ(sixth.value, 63.0f);
            EXPECT_TRUE(sixth.sceneScriptNew) << "the scene file loads at the sixth tick";
            EXPECT_NE(GObjectFactory::Instance().FindScenePrototype("calls"), nullptr);
            EXPECT_EQ(LogicalManager().GetGameData(), GObjectFactory::Instance().GetGameData());
            EXPECT_TRUE(sixth.notes.empty());
            const TScript* scenes = LogicalManager().GetSceneScript();

            const TTick seventh = Tick(scenes);
            EXPECT_EQ(seventh.value, 127.0f);
            EXPECT_THAT(seventh.notes, ElementsAre("read gLevelNum", "read gStageNum"))
                << "the level is preloaded at the seventh tick";
            EXPECT_EQ(Level(), nullptr) << "and deleted again";

            const TTick eighth = Tick(scenes);
            EXPECT_TRUE(eighth.notes.empty()) << "the first screen does not call the script";
            EXPECT_EQ(Top(), "mainmenu");
            EXPECT_EQ(TLoaderWindow::GetLoadsFinished(), 1);

            // A second screen in the same run keeps the scenes and the game data: it clears the
            // factories instead, preloads and ends in the script.
            GGameData* data = LogicalManager().GetGameData();
            GObjectFactory& factory = GObjectFactory::Instance();
            delete factory.CreateObject("probe", Table("{ class_name = 'GGameObject' }").get(),
                                        Table("{ name = 'probe' }").get());
            ASSERT_TRUE(factory.HasPrototype("probe"));
            Script()->DoLuaString("DoModal('scripts/loader.lua')");
            ASSERT_EQ(Top(), "loading");
            Take();
            std::vector<std::string> notes;
            for (int i = 1; i <= 10; ++i) {
                const TTick tick = Tick(scenes);
                EXPECT_FALSE(tick.sceneScriptNew) << i;
                EXPECT_EQ(factory.HasPrototype("probe"), i < 6) << "the factory clears at 6: " << i;
                for (const std::string& note : tick.notes) {
                    notes.push_back(std::to_string(i) + " " + note);
                }
            }
            EXPECT_EQ(LogicalManager().GetGameData(), data);
            EXPECT_NE(GObjectFactory::Instance().FindScenePrototype("calls"), nullptr)
                << "the scene prototypes stay";
            EXPECT_THAT(notes, ElementsAre("7 read gLevelNum", "7 read gStageNum",
                                           "8 CheckBeforeCloseLoader"));
            EXPECT_EQ(TLoaderWindow::GetLoadsFinished(), 2);
        },
        {{"firstscreen", "scripts/loader.lua"}});
}

// The loading work runs once each opening at the step that reaches or passes its mark, whatever
// value the bar starts from, and without a bar the screen counts from 0.
TEST_F(TLoaderTest, EachPieceOfWorkRunsOnceWhereverTheBarStarts) {
    const struct {
        int start; // -1: no bar
        int scenesTick;
        int levelTick;
        int menuTick;
    } cases[] = {{0, 6, 7, 8}, {5, 4, 5, 6}, {-1, 6, 7, 8}, {63, 1, 1, 2}, {100, 0, 0, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.start);
        WriteScreens(c.start);
        RunGame(
            [&](TPlatform*, GGameMain&) {
                ASSERT_EQ(Top(), "loading");
                Take();
                const TScript* scenes = LogicalManager().GetSceneScript();
                int scenesTick = 0;
                int levelTick = 0;
                int menuTick = 0;
                int levelReads = 0;
                for (int i = 1; i <= 10; ++i) {
                    const TTick tick = Tick(scenes);
                    if (tick.sceneScriptNew) {
                        EXPECT_EQ(scenesTick, 0) << "the scenes load once";
                        scenesTick = i;
                        scenes = LogicalManager().GetSceneScript();
                    }
                    for (const std::string& note : tick.notes) {
                        if (note == "read gLevelNum") {
                            levelTick = i;
                            ++levelReads;
                        }
                    }
                    if (menuTick == 0 && Top() == "mainmenu") {
                        menuTick = i;
                    }
                }
                EXPECT_EQ(scenesTick, c.scenesTick);
                EXPECT_EQ(levelTick, c.levelTick);
                EXPECT_EQ(levelReads, c.levelTick != 0 ? 1 : 0);
                EXPECT_EQ(menuTick, c.menuTick);
            },
            {{"firstscreen", "scripts/loader.lua"}});
    }
}

} // namespace loader_test
