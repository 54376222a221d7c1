// The Lua functions the personages and the heroine publish in their own Lua states.
#include "engine/script/luabinding.h"
#include "game/world/GMainHeroine.h"
#include "game/world/GPersonage.h"

void GPersonage::PublishPersonageFunctions() {
    LuaPublish(GetScript().GetState(), "CPP_AddTouchupAction", this,
               &GPersonage::CPP_AddTouchupAction);
}

void GMainHeroine::PublishHeroineFunctions() {
    lua_State* state = GetScript().GetState();
    LuaPublish(state, "CPP_OnJudgingQueueChange", this, &GMainHeroine::CPP_OnJudgingQueueChange);
    LuaPublish(state, "CPP_DoPoisePower", this, &GMainHeroine::CPP_DoPoisePower);
    LuaPublish(state, "CPP_DoBlessing", this, &GMainHeroine::CPP_DoBlessing);
    LuaPublish(state, "CPP_SetBeginSpeed", this, &GMainHeroine::CPP_SetBeginSpeed);
}
