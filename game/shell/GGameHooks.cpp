#include "game/shell/GGameHooks.h"

#include "game/shell/GGameCtrl.h"
#include "game/world/GGameData.h"
#include "game/world/GLevel.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GLogicalManagerHooks.h"
#include "game/world/GMusicPlayer.h"
#include "game/world/GProcessLauncher.h"
#include "game/world/GStatistics.h"

bool GGameHooks::IsEditorRunning() {
    return GetProcessLauncher()->Poll() == 1;
}

bool GGameHooks::IsLevelPlaying() {
    const GLevel* level = GLogicalManager::Instance().GetLevel();
    return level != nullptr && level->GetLevelState() == 2;
}

bool GGameHooks::HasGameWindow() {
    return GLogicalManager::Instance().GetHooks().HasGameWindow();
}

bool GGameHooks::IsLevelActive() {
    return GStatistics::Instance()->IsLevelActive();
}

void GGameHooks::StatisticOnPause(bool paused) {
    GStatistics::Instance()->CPP_StatisticOnPause(paused);
}

void GGameHooks::SendOutsideRelease(TWindow* gameControl) {
    if (gameControl != nullptr && gameControl->IsKindOf(GGameCtrl::ClassId())) {
        static_cast<GGameCtrl*>(gameControl)->SendOutsideRelease();
    }
}

void GGameHooks::PlayMusic(int track, int loop) {
    GMusicPlayer::Instance()->Play(track, true, loop != 0);
}

void GGameHooks::CloseGame() {
    GLogicalManager::Instance().CloseGame();
}
