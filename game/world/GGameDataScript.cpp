#include "game/world/GGameDataScript.h"

#include "engine/script/luabinding.h"
#include "game/world/GGameData.h"

lua_State* PublishGameData(lua_State* state, GGameData* data) {
    if (state != nullptr) {
        LuaPublish(state, "Restart", data, &GGameData::Restart);
    }
    return state;
}
