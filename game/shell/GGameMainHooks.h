// What the game main asks of the parts of the game that it does not own: the logical manager and
// its level, the game control, the statistics' pause tracking, the music player and the object
// editor's process. Each body here is the behaviour while that part is missing (nothing happens,
// nothing is running or playing); the game main is given one object for its whole run and does
// not own it. Main thread.
#pragma once

class TWindow;

class GGameMainHooks {
public:
    virtual ~GGameMainHooks() = default;

    // True while the object editor's child process runs: the loop then does none of its own
    // handling and hands every event straight to the window manager.
    virtual bool IsEditorRunning() { return false; }
    // The logical manager knows the game data, which has a current level in state 2 (playing).
    virtual bool IsLevelPlaying() { return false; }
    // The logical manager has a game window.
    virtual bool HasGameWindow() { return false; }
    // The statistics count a level as being played.
    virtual bool IsLevelActive() { return false; }
    // The statistics note that play pauses (true) or goes on.
    virtual void StatisticOnPause(bool /*paused*/) {}
    // The window named "game_ctrl" inside the "game" screen: when it is the game control, its
    // mouse listeners are released at a point outside the play area.
    virtual void SendOutsideRelease(TWindow* /*gameControl*/) {}
    // Starts a music track, cross-faded; loop not 0 repeats it. Lua "PlayMusic".
    virtual void PlayMusic(int /*track*/, int /*loop*/) {}
    // Files the player's score and closes the game files after the loop.
    virtual void CloseGame() {}
};
