#include "game/common/GLogManagerScript.h"

#include "engine/script/luabinding.h"
#include "game/common/GLogManager.h"
#include "game/common/WindowScriptState.h"

lua_State* PublishLogManager(GLogManager* manager) {
    lua_State* state = WindowScriptState();
    if (state != nullptr) {
        LuaPublish(state, "LuaLogWrite", manager, &GLogManager::LuaLogWrite);
        LuaPublish(state, "LuaLogSetWriter", manager, &GLogManager::SetModuleWriter);
    }
    return state;
}

bool IsLogManagerPublished(lua_State* state) {
    return HasGlobal(state, "LuaLogWrite");
}
