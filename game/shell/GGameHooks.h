// The game main's hooks as the whole game answers them: the object editor's process, the logical
// manager's level, the music player and the statistics of the game world. The game main makes one
// for its run. Main thread.
#pragma once

#include "game/shell/GGameMainHooks.h"

class GGameHooks final : public GGameMainHooks {
public:
    // The object editor's process is polled: closes its "stop_game" dialog once it has ended.
    bool IsEditorRunning() override;
    bool IsLevelPlaying() override;
    bool HasGameWindow() override;
    bool IsLevelActive() override;
    void StatisticOnPause(bool paused) override;
    void SendOutsideRelease(TWindow* gameControl) override;
    void PlayMusic(int track, int loop) override;
    void CloseGame() override;
};
