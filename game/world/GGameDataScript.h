// The game data's function in the main window script.
#pragma once

class GGameData;
struct lua_State;

// Publishes "Restart" in the state; answers the state (null stays null).
lua_State* PublishGameData(lua_State* state, GGameData* data);
