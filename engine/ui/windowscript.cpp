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

void TWindowScript::RegisterWindowType(const str& name, TCreateFunction create) {
    const char* text = name.CStr() != nullptr ? name.CStr() : "";
    DoLuaString(
        str::FromFormat("function %s( table )\tCreating( '%s', table );\ttable.typename='%s';"
                        "\n\treturn function() DoWindow( table ) end end;",
                        text, text, text));
    mWindowTypes[name] = create;
}

TWindowScript::TCreateFunction TWindowScript::FindWindowType(const str& name) const {
    const auto found = mWindowTypes.find(name);
    return found != mWindowTypes.end() ? found->second : nullptr;
}
