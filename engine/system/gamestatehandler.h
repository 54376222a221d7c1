// A game-state handler: the interface through which a host or a plug-in library sees every change
// of the game state and answers the engine's questions. Plug-in libraries (".qzmod") build their
// handler object from this header and hand it out through their "CreateHandler" export;
// "DestroyHandler" destroys it. Main thread only.
#pragma once

class TGameStateHandler {
public:
    virtual ~TGameStateHandler() = default;
    // True when the handler took the change; later handlers are not asked.
    virtual bool SetState(const char* key, const char* value) = 0;
    // The value to report for key, given the value so far; null keeps the value so far.
    virtual const char* GetState([[maybe_unused]] const char* key, const char* current) {
        return current;
    }
    virtual bool QueryRestartMode() { return false; }
    virtual bool QueryJumpToMenu() { return false; }
    virtual bool QueryMuteGame() { return false; }
    virtual bool QueryPause() { return false; }
};

// The exports of a plug-in library.
extern "C" {
typedef TGameStateHandler* (*TCreateHandlerProc)();
typedef void (*TDestroyHandlerProc)(TGameStateHandler* handler);
}
