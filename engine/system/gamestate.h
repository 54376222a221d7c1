// The game state: named text values offered to a list of handlers (the web-portal host handler and
// plug-in libraries), which also answer whether the game should pause, mute, restart or jump to
// the menu. A process-wide singleton created on first use while the platform exists and deleted by
// the platform's destructor; its Lua functions are published in the window script while it lives
// (gamestatescript.h). Main thread only.
#pragma once

#include "engine/core/str.h"
#include "engine/system/gamestatehandler.h"

#include <map>

struct lua_State;

class TGameState {
public:
    // The singleton; created on the first call while the platform exists, else null.
    static TGameState* Get();
    // The singleton when it exists; never creates it.
    static TGameState* Peek();
    virtual ~TGameState();
    TGameState(const TGameState&) = delete;
    TGameState& operator=(const TGameState&) = delete;

    // The game state owns the handler from now on.
    static void AddHandler(TGameStateHandler* handler);
    void SetState(const str& key, const str& value);
    void SendCommand(const str& key, int value);
    str GetState(const str& key);
    bool QueryMuteGame();
    bool QueryRestartMode();
    bool QueryJumpToMenu();
    bool IsBusy();

private:
    TGameState();
    struct TStore {
        std::map<str, str> values;
        float savedVolume = 0;
        // Set while the master volume is lowered by a mute of ours: only what was saved is
        // restored, and a saved volume is never overwritten by the lowered one.
        bool volumeSaved = false;
        // The window script's state the Lua functions were published in; null when none was.
        lua_State* publishedState = nullptr;
    };
    TStore* mStore;
};

// A handler supplied by a plug-in library.
class TDllGameState : public TGameStateHandler {
public:
    TDllGameState();
    // Tells the plug-in through "DestroyHandler", then frees the library.
    ~TDllGameState() override;
    // Loads the library named by the known-file key and creates its handler; false when it cannot.
    // Only a disk file directly in the program folder or in its assets folder is loaded, and
    // only when it exports both "CreateHandler" and "DestroyHandler"; a refused library is freed
    // at once.
    bool Load(const str& name);

    bool SetState(const char* key, const char* value) override;
    const char* GetState(const char* key, const char* current) override;
    bool QueryRestartMode() override;
    bool QueryJumpToMenu() override;
    bool QueryMuteGame() override;
    bool QueryPause() override;

private:
    struct TPlugin;
    TPlugin* mPlugin;
};
