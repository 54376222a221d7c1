// The game main: sets the game's settings, brings the game up over the running engine, runs the
// main script and then the program's one event loop until the quit event, and takes the game down
// again. The engine calls GameMain once, on the main thread, behind the crash guard.
#pragma once

#include "engine/core/event.h"
#include "engine/core/str.h"

#include <set>

class GGameMainHooks;
class TPlatform;
class TWindowScript;

// Stores the five game settings before the engine starts, in their fixed order.
void SetGameSettings();

// Runs the whole game on the platform the engine built.
void GameMain(TPlatform* platform);

// One run of the game main. It owns the names of the screens that may be paused and whether the
// loop has the stop dialog open; the hooks reach the parts of the game it does not own and must
// outlive it.
class GGameMain {
public:
    GGameMain(TPlatform* platform, GGameMainHooks& hooks);
    // Withdraws the Lua functions that reach the hooks.
    ~GGameMain();
    GGameMain(const GGameMain&) = delete;
    GGameMain& operator=(const GGameMain&) = delete;

    // The start-up: display option, window title, user profiles and display, statistics, window
    // types, Lua functions, "scripts/mainloop.lua", then "gDebugMode = nil;".
    void Start();
    // Takes events from the platform and handles them until the quit event.
    void RunLoop();
    // One turn of the loop for an event; false when the loop ends (at the quit event, or at the
    // first event after the object editor ended when a quit event came while it ran).
    bool HandleEvent(const TEvent& event);
    // After the loop: closes the game and destroys the user profiles.
    void Finish();

    bool IsStopDialogOpen() const { return mStopDialogOpen; }

private:
    // False without a top modal window; else its name in *name.
    static bool TopModalName(str* name);
    bool IsPauseWindow(const str& name) const { return mPauseWindowNames.count(name) != 0; }
    static TWindowScript* Script();
    static void RunLua(const char* text);
    void OnCloseRequested();
    void OnEscape();
    void OnActivation(bool active);

    TPlatform* mPlatform;
    GGameMainHooks& mHooks;
    // Esc and a loss of activation open the pause dialog only over these screens.
    std::set<str> mPauseWindowNames;
    // Set from the loss of activation that opened the stop dialog until the loop closes it again.
    bool mStopDialogOpen = false;
    // A quit event came while the object editor ran: the loop ends once the editor has.
    bool mQuitPending = false;
};
