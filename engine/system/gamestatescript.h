// The game state's functions in the window script: "GetState", "_SetState", "QueryMuteGame",
// "QueryRestartMode" and "QueryJumpToMenu". The game state publishes them when it is made and
// withdraws them when it is deleted. Main thread only.
#pragma once

struct lua_State;
class TGameState;

// Publishes in the window manager's script state; answers that state, or null when there is none.
lua_State* PublishGameState(TGameState* gameState);
// Takes the functions back from `state` (as PublishGameState answered it), unless that state is
// no longer the window script's: the platform deletes the window manager, and with it the state,
// before the game state.
void WithdrawGameState(TGameState* gameState, lua_State* state);
