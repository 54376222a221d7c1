// The player progress's functions in the window script: "CPP_LoadGO", "CPP_WriteGO",
// "CPP_GetLastLevelNum" and "CPP_ClearCurrentProfile". Main thread only.
#pragma once

struct lua_State;
class GPlayerInfo;

// A global the published functions include: its absence tells that they are missing.
inline constexpr char kPlayerInfoProbe[] = "CPP_LoadGO";

void PublishPlayerInfo(lua_State* state, GPlayerInfo* info);
