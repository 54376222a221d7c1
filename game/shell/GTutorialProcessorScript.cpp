// The tutorial engine's Lua functions: those of every set script, and "StopTutorial" and
// "SkipTutorial" of the main window script.
#include "engine/script/luabinding.h"
#include "game/common/WindowScriptState.h"
#include "game/shell/GTutorialProcessor.h"
#include "game/world/GameRandom.h"
#include "game/world/ScriptCall.h"

namespace {

int TutorialRandom(int a, int b) {
    return RandomInRange(GameRandom(), a, b);
}

void TutorialScriptDump(str /*text*/) {}

int TutorialGetCurrentLevel() {
    return 0;
}

int TutorialGetParamI(str /*name*/) {
    return 1;
}

void TutorialSetParamI(str /*name*/, int /*value*/) {}

} // namespace

void GTutorialProcessor::PublishSetFunctions(lua_State* state) {
    LuaPublish(state, "Random", &TutorialRandom);
    LuaPublish(state, "ScriptDump", &TutorialScriptDump);
    LuaPublish(state, "GetCurrentLevel", &TutorialGetCurrentLevel);
    LuaPublish(state, "GetParamI", &TutorialGetParamI);
    LuaPublish(state, "SetParamI", &TutorialSetParamI);
}

void GTutorialProcessor::PublishMainFunctions() {
    lua_State* state = WindowScriptState();
    if (state == nullptr) {
        return;
    }
    WithdrawFromWindowScript(this, mPublished);
    LuaPublish(state, "StopTutorial", this, &GTutorialProcessor::CPP_StopTutorial);
    LuaPublish(state, "SkipTutorial", this, &GTutorialProcessor::CPP_SkipTutorial);
    mPublished = state;
}
