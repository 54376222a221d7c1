// The player profiles: owns the preference store and the engine's hiscore client, keeps the
// current game mode, and turns preferences into engine state (video mode, volumes and mute, the
// player name and game mode scores are filed under). While it lives it publishes ten Lua
// functions in the window script with which the menus create, select, rename and delete players
// and toggle full screen and sound. The game main creates the one manager and destroys it after
// its event loop. Main thread only.
#pragma once

#include "engine/core/str.h"

#include <cstdint>
#include <functional>
#include <memory>

struct lua_State;
class TPrefs;
class TQzHiscores;
class TRandom;

class GUserManager {
public:
    // Publishes the Lua functions, loads the preferences and the hiscore client, files scores
    // under game mode 0 and selects the stored current player. New players' ids are drawn from
    // the generator `random` answers when one is made (the game answers the statistics' one,
    // which is built after the profiles).
    explicit GUserManager(std::function<TRandom&()> random);
    // Saves the preferences (the store does not save on its own), frees the store, then the
    // hiscore client, and withdraws the Lua functions.
    ~GUserManager();
    GUserManager(const GUserManager&) = delete;
    GUserManager& operator=(const GUserManager&) = delete;

    TPrefs* GetPrefs() const { return mPrefs.get(); }
    TQzHiscores* GetHiscores() const { return mHiscores.get(); }
    int GetGameMode() const { return mGameMode; }

    bool IsFullScreen() const;
    // "fullscreen" of the global record := the platform's current mode.
    void StoreFullScreen();
    // 800 x 600, full screen only when "fullscreen" is 1 (the default), then the volumes.
    void ApplyVideoMode();
    // The sound categories and the master volume from the selected player's record (the global
    // one, holding only defaults, while none is selected).
    void ApplyVolumes();
    // "curuser": the selected player's index, -1 for none.
    int GetCurrentUser() const;
    str GetCurrentUserName() const;
    str GetUserName(int index) const;

    // The Lua functions of the same names.
    bool ToggleFullScreen();
    void ToggleSoundMute();
    // Modes 0 and 1; others are ignored.
    void SetCurrentGameMode(int mode);
    int GetNumUsers();
    // Appends a player with the volumes and mute of the selected one and a random id, and
    // selects it. The name is not checked (IsNameInUse is the test).
    void CreateNewUser(str name);
    // -1 to the number of players less one; others change nothing.
    void SetCurrentUser(int index);
    void ChangeCurrentUserName(str name);
    // Selects the player before it, the last one when the first was deleted, -1 when none is
    // left. An index that names no player changes nothing.
    void DeleteUser(int index);
    bool IsNameInUse(str name);
    // Pops modal windows until the bottom one of the stack is on top, or a pop changes nothing.
    void QuitToMainMenu();

private:
    std::unique_ptr<TPrefs> mPrefs;
    std::unique_ptr<TQzHiscores> mHiscores;
    std::function<TRandom&()> mRandom;
    int32_t mGameMode = 0;
    // The state the Lua functions were published in; null when there was no window script.
    lua_State* mScriptState = nullptr;
};

// Deletes a manager that exists, then makes the one manager, drawing player ids from the generator
// `random` answers.
void CreateUserManager(std::function<TRandom&()> random);
// The same with a generator that outlives the manager.
void CreateUserManager(TRandom& random);
// Null before CreateUserManager and after DestroyUserManager.
GUserManager* GetUserManager();
// Deletes the manager; nothing happens without one.
void DestroyUserManager();
