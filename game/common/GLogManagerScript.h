// The game log's functions in the window script: "LuaLogWrite" and "LuaLogSetWriter". The log
// manager publishes them when it is made and withdraws them when it dies. Main thread only.
#pragma once

struct lua_State;
class GLogManager;

// Publishes in the window manager's script; answers its state, or null when there is none.
lua_State* PublishLogManager(GLogManager* manager);
// Whether the state holds "LuaLogWrite".
bool IsLogManagerPublished(lua_State* state);
