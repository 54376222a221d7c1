// The Lua functions the game main publishes in the window script's state, for the game's scripts:
// window tweaks by name, number and text helpers, running Lua text, music, file tests and leaving
// the pause menu. They are published in two steps, before and after the "TextEdit" window type is
// registered. Main thread.
#pragma once

#include "engine/script/lua/lua.h"

class GGameMainHooks;

// ScriptDump, SetImageAlpha, RunScript, SetUnderlineDistance, ToInt, SetPos, PlayMusic and
// CPP_Printf. PlayMusic reaches the hooks, which must stay alive until WithdrawGameMainFunctions.
void PublishGameMainFunctions(lua_State* state, GGameMainHooks& hooks);
// FileExists, ScriptDump once more and PopWndInPauseMenuWnd.
void PublishLateGameMainFunctions(lua_State* state);
// Disarms the functions that reach the hooks.
void WithdrawGameMainFunctions(lua_State* state, GGameMainHooks& hooks);
