// The web-portal host handler: in MSN or Zylom mode the host window named on the command line is
// told about the session, play, break points, scores, pauses and the end of a game, and its events
// pause, resume, mute or restart the game. Outside portal modes every operation does nothing.
// Main thread only.
#pragma once

#include "engine/system/gamestatehandler.h"

#include <cstdint>

// Set the mode and add the one portal handler to the game state's handlers (the first of these
// calls adds it, with or without a game state yet; later calls, as for "-msn" and "-pq=" together,
// add none).
void EnableMsnMode();
void EnableZylomMode();
bool IsMsnMode();
bool IsZylomMode();
// Milliseconds the host kept the game paused, in portal modes; else 0. A pause that is still on
// counts up to now, so the total grows while the host pause lasts and not in one step at its
// end: time less this total stands still during a host pause and never steps back.
uint32_t GetPortalPausedTime();
// The tick count less every host pause so far (a pause still on included): the clock the engine's
// time runs on. Any thread.
uint32_t TicksLessPortalPauses();
bool IsPortalPaused();

// Owned by the game state once added. A host pause ends by itself when the host window is gone
// (QueryPause), and commands go nowhere, and pause nothing, while there is no live host window.
class TMsnZylomHandler : public TGameStateHandler {
public:
    bool SetState(const char* key, const char* value) override;
    const char* GetState(const char* key, const char* current) override;
    bool QueryRestartMode() override;
    bool QueryJumpToMenu() override;
    bool QueryMuteGame() override;
    bool QueryPause() override;
};

// Tests only: every portal flag, counter and clock back to its start value, no mode set. The
// program never calls it.
void ResetPortalStateForTests();
