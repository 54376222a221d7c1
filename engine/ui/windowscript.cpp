#include "engine/ui/windowscript.h"

TWindowScript::TWindowScript(lua_State* state) : TScript(state) {
    // A state handed in comes with its libraries.
    if (state == nullptr) {
        Init();
    }
}

TWindowScript::~TWindowScript() {
    lua_setgcthreshold(GetState(), 0);
}

void TWindowScript::AbortMovie() {
    // The script holds no movie player: there is no movie to stop.
}

bool TWindowScript::SetTranslateLabels(bool on) {
    const bool previous = mTranslateLabels;
    mTranslateLabels = on;
    return previous;
}

bool TWindowScript::CallWhileSuspended() {
    lua_State* state = GetState();
    // The waiting HandleGetMessage receives (message, command): no message, the closure.
    lua_pushnil(state);
    lua_insert(state, -2);
    return Resume(2) == 0;
}
