#include "game/world/GPlayerInfoScript.h"

#include "engine/script/luabinding.h"
#include "game/world/GPlayerInfo.h"

void PublishPlayerInfo(lua_State* state, GPlayerInfo* info) {
    LuaPublish(state, kPlayerInfoProbe, info, &GPlayerInfo::CPP_LoadGO);
    LuaPublish(state, "CPP_WriteGO", info, &GPlayerInfo::Save);
    LuaPublish(state, "CPP_GetLastLevelNum", info, &GPlayerInfo::CPP_GetLastLevelNum);
    LuaPublish(state, "CPP_ClearCurrentProfile", info, &GPlayerInfo::CPP_ClearCurrentProfile);
}
