// The level's functions in its own Lua state.
#pragma once

class GLevel;
struct lua_State;

// "CPP_GetLevelNum", "CPP_GetStageNum", "required" and "CPP_UnderEditor".
void PublishLevelFunctions(lua_State* state, GLevel* level);
void WithdrawLevelFunctions(lua_State* state, const GLevel* level);
