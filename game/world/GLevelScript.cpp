#include "game/world/GLevelScript.h"

#include "engine/script/luabinding.h"
#include "game/world/GLevel.h"

namespace {

// The stage files' include and editor check answer nothing in the game.
int Required(str /*file*/) {
    return 0;
}

int UnderEditor() {
    return 0;
}

} // namespace

void PublishLevelFunctions(lua_State* state, GLevel* level) {
    LuaPublish(state, "CPP_GetLevelNum", level, &GLevel::CPP_GetLevelNum);
    LuaPublish(state, "CPP_GetStageNum", level, &GLevel::CPP_GetStageNum);
    LuaPublish(state, "required", &Required);
    LuaPublish(state, "CPP_UnderEditor", &UnderEditor);
}

void WithdrawLevelFunctions(lua_State* state, const GLevel* level) {
    LuaWithdrawObject(state, level);
}
