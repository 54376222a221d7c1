// What the platform layer uses of the game-state handlers and the web-portal host handler. The
// game-state object installs its link when it is created and removes it when it is deleted;
// meanwhile an object that does nothing answers. Main thread only.
#pragma once

class TGameStateLink {
public:
    virtual ~TGameStateLink() = default;

    // False for the stand-in used while there is no game-state object.
    virtual bool Exists() const = 0;
    virtual void SendCommand(const char* key, int value) = 0;
    // A handler pauses the game for its host.
    virtual bool IsBusy() = 0;
    // The Zylom variant of the portal host handler was created.
    virtual bool IsZylomMode() const = 0;
};

TGameStateLink& GameState();
// Not owned; null goes back to the stand-in.
void SetGameStateLink(TGameStateLink* link);
