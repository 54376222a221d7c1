#include "game/shell/GGameHooks.h"

#include "game/world/GMusicPlayer.h"
#include "game/world/GStatistics.h"

bool GGameHooks::IsLevelActive() {
    return GStatistics::Instance()->IsLevelActive();
}

void GGameHooks::StatisticOnPause(bool paused) {
    GStatistics::Instance()->CPP_StatisticOnPause(paused);
}

void GGameHooks::PlayMusic(int track, int loop) {
    GMusicPlayer::Instance()->Play(track, true, loop != 0);
}
