// The logical manager's tutorials on the fixture game screen: the level's set loaded once per
// level and not at all once seen, the engine made only when the common set loads, and the
// world's reports reaching the engine through the game window's hooks.

#include "engine/core/random.h"
#include "game/common/GUserManager.h"
#include "game/world/GPlayerInfo.h"
#include "tests/game/shell/tutorial_fixture.h"

#include <gtest/gtest.h>

namespace tutorial_test {
namespace {

using TutorialManagerTest = TTutorialTest;
using gamewnd_test::Text;

TEST_F(TutorialManagerTest, ASeenLevelUnloadsThePreviousSetAndLoadsNothing) {
    TRandom random;
    CreateUserManager(random);
    GetUserManager()->CreateNewUser("Ann");
    Open(Tut("t", "action = 'go'", "window = 'tw', msg = 'hello'"));
    GLogicalManager& manager = GLogicalManager::Instance();
    EXPECT_EQ(Text(manager.GetTutorialFile()), kSetFile);
    ASSERT_NE(Tutorial("t"), nullptr);
    Event("booth", "go");
    EXPECT_EQ(GPlayerInfo::Instance()->GetUserValue("tutorial_01", 0), 1) << "seen by Ann";

    AddFile("scripts/stages/tutorial_02.lua",
            gamewnd_test::Bytes("tutorials = { u = { message = { msg = 'x' } } }"));
    GPlayerInfo::Instance()->SetUserValue("tutorial_02", 1);
    manager.LoadLevelTutorial(2);
    EXPECT_TRUE(Processor().GetTutorials().empty()) << "level 1's set went, level 2's is seen";
    EXPECT_EQ(Processor().FindSetScript(kSetFile), nullptr);
    EXPECT_EQ(Text(manager.GetTutorialFile()), "");

    GPlayerInfo::Instance()->SetUserValue("tutorial_02", 0);
    manager.LoadLevelTutorial(2);
    EXPECT_NE(Tutorial("u"), nullptr);
    manager.LoadLevelTutorial(2);
    EXPECT_NE(Tutorial("u"), nullptr) << "the same level keeps its set";
    DestroyUserManager();
}

TEST_F(TutorialManagerTest, WithoutTheCommonSetThereIsNoEngineAndReportsAreSkipped) {
    RegisterMemoryFile("scripts/stages/tutorials.lua", nullptr, 0);
    Open(Tut("t", "action = 'go'", "window = 'tw', msg = 'hello'"));
    GLogicalManager& manager = GLogicalManager::Instance();
    EXPECT_EQ(manager.GetTutorialProcessor(), nullptr);
    GGameObject* booth = Object("booth");
    mWnd->TutorialGameEvent(booth, "go");
    mWnd->TutorialClick(booth);
    mWnd->TutorialWish(booth, "wish");
    mWnd->TutorialAppeared(booth);
    EXPECT_EQ(Windows().GetCurrentWindow(), nullptr);
}

TEST_F(TutorialManagerTest, TheGameWindowsHooksReachTheEngine) {
    Open(Tut("ev", "action = 'go'",
             "window = 'tw', msg = 'hello', close = { action = 'touchup_end' }") +
         Tut("wish", "wish = 'hair', id = 'lamp'", "window = 'tw', msg = 'hello'") +
         Tut("came", "wait_creating = 1, id = 'lamp'", "window = 'tw', msg = 'hello'"));
    GGameObject* booth = Object("booth");
    GGameObject* lamp = Object("lamp");
    mWnd->TutorialGameEvent(booth, "go");
    EXPECT_EQ(Current(), "ev");
    mWnd->TutorialTouchUpEnd(booth, lamp);
    EXPECT_EQ(Current(), "");
    mWnd->TutorialWish(booth, "hair");
    EXPECT_FALSE(Tutorial("wish")->IsFinished());
    mWnd->TutorialWish(lamp, "hair");
    EXPECT_TRUE(Tutorial("wish")->IsFinished());
    mWnd->TutorialAppeared(lamp);
    EXPECT_TRUE(Tutorial("came")->IsFinished());
}

TEST_F(TutorialManagerTest, TheLevelEndStopsTheStepAndAResetClearsTheEngine) {
    Open(Tut("t", "action = 'go'", "window = 'tw', msg = 'hello', close = { button = 'ok' }"));
    Event("booth", "go");
    ASSERT_EQ(Current(), "t");
    GLogicalManager& manager = GLogicalManager::Instance();
    manager.OnLevelEnd();
    EXPECT_EQ(Current(), "");
    manager.ResetLevel();
    EXPECT_TRUE(Processor().GetTutorials().empty());
    EXPECT_EQ(Text(manager.GetTutorialFile()), "trunk");
}

} // namespace
} // namespace tutorial_test
