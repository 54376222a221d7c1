// The built-in window script library (windowlibrary.lua, compiled into the program): the constants,
// the description language and the waiting functions of every dialog script. The window script
// runs it once, first, in its own state. Main thread only.
#pragma once

#include "engine/script/lua/lua.h"

// Runs the library in the state under the chunk name "gScreenInit". False when it fails; the
// error has then gone to the state's "_ALERT".
bool RunWindowLibrary(lua_State* state);
