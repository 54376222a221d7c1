// Lua texts for the main window script, which opens the game's dialogs. Main thread.
#pragma once

#include "engine/core/str.h"
#include "game/common/WindowScriptState.h"

// Nothing happens while there is no window script.
inline void RunMainScript(const str& text) {
    if (TScript* script = WindowScript()) {
        script->DoLuaString(text);
    }
}
