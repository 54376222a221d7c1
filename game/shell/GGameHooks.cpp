#include "game/shell/GGameHooks.h"

#include "game/world/GMusicPlayer.h"

void GGameHooks::PlayMusic(int track, int loop) {
    GMusicPlayer::Instance()->Play(track, true, loop != 0);
}
