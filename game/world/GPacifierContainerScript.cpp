// The Lua functions the pacifier container publishes in its own Lua state.
#include "engine/script/luabinding.h"
#include "game/world/GPacifierContainer.h"

void GPacifierContainer::PublishContainerFunctions() {
    lua_State* state = GetScript().GetState();
    LuaPublish(state, "CPP_SetItem", this, &GPacifierContainer::CPP_SetItem);
    LuaPublish(state, "CPP_SetSet", this, &GPacifierContainer::CPP_SetSet);
}
