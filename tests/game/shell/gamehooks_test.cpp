// The game main's hooks as the game answers them: Lua reaches the world's music player and
// statistics through them.
#include "game/shell/GGameHooks.h"

#include "engine/core/knownfiles.h"
#include "engine/ui/windowscript.h"
#include "game/shell/GameMainScript.h"
#include "game/world/GGameData.h"
#include "game/world/GLevel.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GMusicPlayer.h"
#include "game/world/GStatistics.h"
#include "tests/engine/ui/manager_fixture.h"

#include <gtest/gtest.h>

namespace gamehooks_test {

class GameHooksTest : public manager_test::TManagerTest {
protected:
    void SetUp() override {
        TManagerTest::SetUp();
        mScript = Manager()->GetWindowScript();
        ASSERT_NE(mScript, nullptr);
        PublishGameMainFunctions(mScript->GetState(), mHooks);
    }
    void TearDown() override {
        WithdrawGameMainFunctions(mScript->GetState(), mHooks);
        TManagerTest::TearDown();
    }

    void Run(const char* text) { mScript->DoLuaString(text); }

    TWindowScript* mScript = nullptr;
    GGameHooks mHooks;
};

TEST_F(GameHooksTest, PlayMusicStartsTheTrackInTheMusicPlayer) {
    GMusicPlayer* player = GMusicPlayer::Instance();
    player->Stop();
    Run("PlayMusic(3, 1)");
    EXPECT_EQ(player->GetCurrentTrack(), 3);
    Run("PlayMusic(4.7, 0)");
    EXPECT_EQ(player->GetCurrentTrack(), 4);
}

TEST_F(GameHooksTest, ALevelIsActiveWhileTheStatisticsCountIt) {
    GStatistics* statistics = GStatistics::Instance();
    EXPECT_FALSE(mHooks.IsLevelActive());
    statistics->OnLevelStart(1);
    EXPECT_TRUE(mHooks.IsLevelActive());
    statistics->OnLevelEnd(GStatistics::kLevelLost);
    EXPECT_FALSE(mHooks.IsLevelActive());
}

TEST_F(GameHooksTest, ALevelIsPlayingInItsRunningState) {
    static const char kStage[] = "LevelData = {} Objects = {} function LevelTimerFunc() end";
    RegisterMemoryFile(GLevel::kStageFile, kStage, sizeof kStage - 1);
    GLogicalManager& manager = GLogicalManager::Instance();
    EXPECT_FALSE(mHooks.IsLevelPlaying()) << "no game data";
    {
        GGameData data;
        manager.SetGameData(&data);
        EXPECT_FALSE(mHooks.IsLevelPlaying()) << "no level";
        ASSERT_TRUE(data.StartLevel(1, 1));
        EXPECT_FALSE(mHooks.IsLevelPlaying()) << "upgrade phase";
        data.GetLevel()->Begin();
        EXPECT_TRUE(mHooks.IsLevelPlaying());
        data.DestroyLevel();
        manager.SetGameData(nullptr);
    }
    RegisterMemoryFile(GLevel::kStageFile, nullptr, 0);
}

TEST_F(GameHooksTest, ClosingTheGameEndsTheStatisticsSession) {
    GStatistics* statistics = GStatistics::Instance();
    statistics->CPP_StatisticOnGameSessionStart();
    Run("function GetTotalScore() return 0 end");
    mHooks.CloseGame();
    EXPECT_FALSE(statistics->IsSessionActive());
}

} // namespace gamehooks_test
