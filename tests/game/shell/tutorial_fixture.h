// The game screen of the game window's fixture with a tutorial window "tw" (message, background,
// picture, arrow, OK and skip buttons) and a pause button, over a hall whose level objects "booth"
// (at 100, 200) and "lamp" (at 600, 450) tutorials can name. The level's set
// "scripts/stages/tutorial_01.lua" is the test's; the common set is empty. The processor made for
// the level goes after each test. The player's marks land in a folder of the test's own.
#pragma once

#include "engine/core/knownfiles.h"
#include "engine/ui/button.h"
#include "engine/ui/image.h"
#include "engine/ui/text.h"
#include "game/shell/GTutorialAction.h"
#include "game/shell/GTutorialCloseTriger.h"
#include "game/shell/GTutorialInitor.h"
#include "game/shell/GTutorialProcessor.h"
#include "game/shell/GTutorialRun.h"
#include "game/shell/GTutorialWindow.h"
#include "game/shell/GTutorialWindowManager.h"
#include "game/world/GGameObject.h"
#include "game/world/GTutorialFilter.h"
#include "tests/fixtures/tempdir.h"
#include "tests/game/shell/gamewnd_fixture.h"

#include <filesystem>

#include <string>

namespace tutorial_test {

inline const char kTutorialStage[] = R"(
LevelData = {
  level = { goal = 50, expert = 100 },
  hall = { BaseType = 'types', BaseData = 'data',
    booth = { included = true, base_type = 'plain', name = 'booth', pos_x = 100, pos_y = 200 },
    lamp = { included = true, base_type = 'plain', name = 'lamp', pos_x = 600, pos_y = 450 } },
}
Objects = {
  types = { plain = { class_name = 'GGameObject' } },
  data = { booth = { name = 'booth', base_type = 'plain' },
           lamp = { name = 'lamp', base_type = 'plain' } },
  level_types = { level = { background = 'hall.png' } },
}
function LevelTimerFunc(tick) end
)";

// 200 x 100 with the background 60 x 40 and the arrow 30 x 20.
inline const char kTutorialWindow[] =
    R"(TutorialWindow{ name = 'tw', x = 0, y = 0, w = 200, h = 100,
  Bitmap{ name = 'imgBG', x = 140, y = 60, w = 60, h = 40 },
  Bitmap{ name = 'imgImage', x = 10, y = 10, w = 20, h = 20 },
  Text{ name = 'txtMessage', x = 0, y = 0, w = 200, h = 20, label = '' },
  Label{ name = 'arwArrow', x = 0, y = 0, w = 30, h = 20, xc = 5, yc = 6, length = 7 },
  Button{ name = 'btnOK', x = 10, y = 70, w = 40, h = 20, Text{ name = 'label', w = 40, h = 20, label = 'ok' } },
  Button{ name = 'btnSkip', x = 150, y = 70, w = 40, h = 20,
          Text{ name = 'label', w = 40, h = 20, label = 'own skip' } },
})";

inline const char kPauseButton[] =
    "Button{ name = 'pause', x = 120, y = 5, w = 30, h = 20, command = function() "
    "Note('pause') end }";

// One tutorial of a set: its initor's and its message's keys, and more keys of its own.
inline std::string Tut(const std::string& name, const std::string& initor,
                       const std::string& message, const std::string& extra = "") {
    return name + " = { initor = { " + initor + " }, message = { " + message + " }" +
           (extra.empty() ? "" : ", " + extra) + " },\n";
}

inline const char kSetFile[] = "scripts/stages/tutorial_01.lua";

class TTutorialTest : public gamewnd_test::TGameWndTest {
protected:
    void SetUp() override {
        TGameWndTest::SetUp();
        mOldCurrent = std::filesystem::current_path();
        std::filesystem::current_path(mFolder.Path());
        SetFolderRoots(str(mFolder.Path().c_str()), str(), str());
        Script()->RegisterWindowType("TutorialWindow", &GTutorialWindow::Create);
        AddFile(GLevel::kStageFile, gamewnd_test::Bytes(kTutorialStage));
        AddFile("scripts/stages/tutorials.lua", gamewnd_test::Bytes("tutorials = {}\n"));
        AddStrings({{"hello", "Hello there"}, {"ok", "Fine"}, {"later", "Not now"}});
        GLogicalManager::Instance().SetTutorialMaker(&GTutorialProcessor::Make);
    }

    void TearDown() override {
        GLogicalManager::Instance().SetTutorialMaker(nullptr);
        TGameWndTest::TearDown();
        SetFolderRoots(str(), str(), str());
        std::filesystem::current_path(mOldCurrent);
    }

    // The level's set, then the screen with the tutorial window and the pause button.
    // Lua before the table may define what the tutorials' functions read.
    void Open(const std::string& tutorials, const std::string& prelude = "") {
        AddFile(kSetFile, gamewnd_test::Bytes(prelude + "tutorials = {\n" + tutorials + "\n}\n"));
        OpenScreen();
        Build(kTutorialWindow);
        Build(kPauseButton);
        Ran();
    }

    static GTutorialProcessor& Processor() {
        auto* processor =
            static_cast<GTutorialProcessor*>(GLogicalManager::Instance().GetTutorialProcessor());
        EXPECT_NE(processor, nullptr);
        return *processor;
    }
    static GTutorialRun* Tutorial(const char* name) { return Processor().FindTutorial(name); }
    static std::string Current() {
        const GTutorialRun* run = Processor().GetCurrent();
        return run != nullptr ? run->GetName().CStr() : "";
    }
    static GGameObject* Object(const char* name) {
        for (GGameObject* object : Level()->GetObjects()) {
            if (object->GetName() == str(name)) {
                return object;
            }
        }
        ADD_FAILURE() << "no object " << name;
        return nullptr;
    }
    static void Event(const char* object, const char* event) {
        Processor().OnGameEvent(Object(object), event);
    }
    static GTutorialWindowManager& Windows() { return GTutorialWindowManager::Instance(); }
    static GTutorialWindow* Window() { return Find<GTutorialWindow>("tw"); }
    static bool Locked(const char* name) { return Object(name)->IsMouseLocked(); }

    testing_fixtures::TempDir mFolder;
    std::filesystem::path mOldCurrent;
};

} // namespace tutorial_test
