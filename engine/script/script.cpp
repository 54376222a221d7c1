#include "engine/script/script.h"

#include "engine/core/file.h"
#include "engine/core/folders.h"
#include "engine/core/log.h"
#include "engine/script/lua/lauxlib.h"
#include "engine/script/lua/lualib.h"
#include "engine/script/lua/luastate.h"
#include "engine/script/luabinding.h"
#include "engine/script/luawrapper.h"
#include "engine/script/scriptcode.h"

#include <cstring>

const char* const gScriptSearchPath = "assets/?;?;../?;../../?";

namespace {

const char kDumpTableSource[] =
    "function _Internal_DumpEntry( key, value, indent )\n"
    "  local text = string.rep( \" \", indent ) .. tostring( key ) .. \" -> \"\n"
    "  if type( value ) == \"table\" then\n"
    "    return text .. \"{\\n\" .. _Internal_DumpTable( value, indent + 2 ) ..\n"
    "      string.rep( \" \", indent ) .. \"}\\n\"\n"
    "  end\n"
    "  return text .. tostring( value ) .. [[\n"
    "\n"
    "]]\n"
    "end\n"
    "function _Internal_DumpTable( t, indent )\n"
    "  if indent > 10 then\n"
    "    return string.rep( \" \", indent ) .. \"...\\n\"\n"
    "  end\n"
    "  local text = \"\"\n"
    "  table.foreach( t, function( k, v ) text = text .. _Internal_DumpEntry( k, v, indent ) end "
    ")\n"
    "  return text\n"
    "end\n"
    "function DumpTable( t )\n"
    "  DebugOut( \"Dump Table: \\n\" .. _Internal_DumpTable( t, 2 ) )\n"
    "end\n";

const char kGetClosureSource[] =
    "function GetClosure( f, ... ) return function() return f( arg[1], arg[2], arg[3], arg[4], "
    "arg[5], arg[6] ); end; end";

// Wraps a closure handed to a suspended script so that its result is kept where RunFunction can
// read it, whatever the coroutine leaves on the stack when it yields again.
const char kResultKeeperSource[] =
    "return function( f, holder ) return function() local r = f(); holder[1] = r; return r; end; "
    "end";
char gResultKeeperKey;

// The text of an error value for the log; never null.
const char* ErrorText(lua_State* state, int index) {
    const char* text = lua_tostring(state, index);
    if (text != nullptr) {
        return text;
    }
    return lua_pushfstring(state, "(error object is a %s value)",
                           lua_typename(state, lua_type(state, index)));
}

int Alert(lua_State* state) {
    Log("Lua error: %s", ErrorText(state, -1));
    return 0;
}

void IgnoreDebugOut(str) {}

void PushGlobal(lua_State* state, const char* name) {
    lua_pushstring(state, name);
    lua_gettable(state, LUA_GLOBALSINDEX);
}

// Pushes the function that builds result-keeping wrappers; compiled once per state.
void PushResultKeeper(lua_State* state) {
    lua_pushlightuserdata(state, &gResultKeeperKey);
    lua_rawget(state, LUA_REGISTRYINDEX);
    if (lua_isfunction(state, -1)) {
        return;
    }
    lua_pop(state, 1);
    luaL_loadbuffer(state, kResultKeeperSource, sizeof(kResultKeeperSource) - 1, "ResultKeeper");
    lua_call(state, 0, 1);
    lua_pushlightuserdata(state, &gResultKeeperKey);
    lua_pushvalue(state, -2);
    lua_rawset(state, LUA_REGISTRYINDEX);
}

} // namespace

TScript::TScript(lua_State* state) : TAnimTask(nullptr), mState(state) {
    Stop();
    if (mState == nullptr) {
        mState = lua_open();
    }
    Init();
}

TScript::~TScript() {
    DeleteAdopted();
    if (mOwner != nullptr) {
        delete mOwner;
    } else {
        lua_close(mState);
    }
}

void TScript::Init() {
    luaopen_base(mState);
    luaopen_string(mState);
    luaopen_table(mState);
    lua_settop(mState, 0);

    lua_pushstring(mState, "_ALERT");
    lua_pushcclosure(mState, &Alert, 0);
    lua_settable(mState, LUA_GLOBALSINDEX);

    LuaPublish(mState, "DebugOut", &IgnoreDebugOut);

    lua_dobuffer(mState, kDumpTableSource, sizeof(kDumpTableSource) - 1, "DumpTable");

    lua_pushstring(mState, "_SCRIPT");
    lua_pushlightuserdata(mState, this);
    lua_settable(mState, LUA_GLOBALSINDEX);
}

void TScript::DeleteAdopted() {
    // A wrapper's destructor may not adopt others, but take the list first all the same.
    std::vector<TLuaObjectWrapper*> adopted;
    adopted.swap(mAdopted);
    for (TLuaObjectWrapper* wrapper : adopted) {
        delete wrapper;
    }
}

void TScript::Adopt(TLuaObjectWrapper* wrapper) {
    mAdopted.push_back(wrapper);
}

bool TScript::IsYielded() const {
    return mState->ci != mState->base_ci && (mState->ci->state & CI_YIELD) != 0;
}

bool TScript::CallWhileSuspended() {
    lua_pop(mState, 1);
    return false;
}

int TScript::RunFunction(int nargs, int nresults) {
    return Call(nargs, nresults, false);
}

int TScript::Call(int nargs, int nresults, bool keepError) {
    DeleteAdopted();
    lua_State* L = mState;
    if (IsYielded() && nresults <= 1) {
        const int function = lua_gettop(L) - nargs;
        PushGlobal(L, "_ALERT");
        lua_insert(L, function);
        PushGlobal(L, "GetClosure");
        if (lua_isnil(L, -1)) {
            lua_pop(L, 1);
            lua_dostring(L, kGetClosureSource);
            PushGlobal(L, "GetClosure");
        }
        lua_insert(L, function + 1);
        // Handler, GetClosure, function, arguments: the closure takes at most six of them.
        int status = lua_pcall(L, nargs + 1, 1, function);
        lua_remove(L, function);
        if (status != 0) {
            if (!keepError) {
                lua_pop(L, 1);
            }
            return status;
        }
        auto* closure = new TLuaObjectWrapper(L);
        lua_newtable(L);
        auto* holder = new TLuaObjectWrapper(L);
        PushResultKeeper(L);
        closure->Push();
        holder->Push();
        lua_call(L, 2, 1);
        if (CallWhileSuspended()) {
            if (nresults == 1) {
                holder->Push();
                lua_rawgeti(L, -1, 1);
                lua_remove(L, -2);
            }
            delete holder;
            delete closure;
            return 0;
        }
        closure->Push();
        delete holder;
        delete closure;
        nargs = 0;
    }

    const int function = lua_gettop(L) - nargs;
    PushGlobal(L, "_ALERT");
    lua_insert(L, function);
    const int status = lua_pcall(L, nargs, nresults, function);
    lua_remove(L, function);
    if (status != 0) {
        if (nresults > 1) {
            Log("TScript::RunFunction failure. Too many return results? (%d, FAILURE CODE %d)",
                nresults, status);
        }
        if (!keepError) {
            lua_pop(L, 1);
        }
        return status;
    }

    if (nresults == 1 && !IsYielded() && lua_isfunction(L, -1)) {
        if (GetElapsed() == -1) {
            Start(0, true, true, false);
        }
        const int resumeStatus = lua_resume(L, 0);
        if (resumeStatus != 0) {
            Log("lua_resume error: %s", ErrorText(L, -1));
        }
    }
    return 0;
}

int TScript::Resume(int nargs) {
    DeleteAdopted();
    const int status = lua_resume(mState, nargs);
    if (status != 0) {
        Log("lua_resume ERROR: %s", ErrorText(mState, -1));
        lua_pop(mState, 1);
    }
    return status;
}

bool TScript::Animate() {
    const int status = Resume(0);
    if (status != 0 || !IsYielded()) {
        Stop();
    }
    return true;
}

void TScript::DoLuaString(const str& text, int length, int nresults) {
    lua_State* L = mState;
    const int top = lua_gettop(L);
    if (length == -1) {
        length = text.Length();
    }
    const char* source = text.CStr() != nullptr ? text.CStr() : "";
    const char* phase = "parsing";
    int status = luaL_loadbuffer(L, source, static_cast<size_t>(length < 0 ? 0 : length), source);
    if (status == 0) {
        phase = "running";
        status = Call(0, nresults == 0 ? 1 : nresults, true);
        if (status == 0) {
            // A function result is taken by the coroutine it starts, which leaves its own values
            // instead (what it yielded or returned, or its error): restore the height, never pop.
            if (nresults == 0) {
                lua_settop(L, top);
            }
            return;
        }
    }
    if (lua_type(L, -1) == LUA_TSTRING || lua_type(L, -1) == LUA_TNUMBER) {
        str message = str::FromFormat("Lua Error: %s\n\twhen %s", lua_tostring(L, -1), phase);
        Log("DoLuaString %s %s", message.CStr(), source);
        PushGlobal(L, "LuaErrorMessage");
        if (lua_isfunction(L, -1)) {
            LuaPushStr(L, message);
            // A failing handler is logged like any script error; it never ends the process.
            if (lua_pcall(L, 1, 0, 0) != 0) {
                Log("Lua error: %s", ErrorText(L, -1));
            }
        }
    }
    // The error value goes too: a caller that runs texts again and again (every UI event) would
    // otherwise grow the stack by one value per failure until it overflows.
    lua_settop(L, top);
}

bool TScript::RunScript(const str& file) {
    lua_State* L = mState;
    const int top = lua_gettop(L);
    if (file.Length() == 0) {
        return false;
    }
    if (!EngineFileExists(file)) {
        Log("TScript::RunScript: script file '%s' not found (looked for from %s)", file.CStr(),
            GetFullPath(".").CStr());
        return false;
    }
    str error;
    TScriptCodePtr code = TScriptCode::Get(file, gScriptSearchPath, &error);
    int status =
        code ? luaL_loadbuffer(L, code->Data(), static_cast<size_t>(code->mSize), file.CStr())
             : LUA_ERRFILE;
    if (status != 0) {
        const int message = lua_gettop(L);
        PushGlobal(L, "_ALERT");
        if (error.Length() != 0) {
            LuaPushStr(L, error);
        } else if (code) {
            lua_pushvalue(L, message);
        } else {
            lua_pushstring(L, "cannot load script");
        }
        lua_pcall(L, 1, 0, 0);
        lua_settop(L, top);
        return false;
    }
    status = RunFunction(0, 1);
    lua_settop(L, top);
    if (status != 0) {
        Log("Failed to run script %s: %d", file.CStr(), status);
        return false;
    }
    return true;
}

str TScript::GetGlobalString(const str& name) {
    PushGlobal(mState, name.CStr() != nullptr ? name.CStr() : "");
    str result = LuaGetString(mState, -1);
    lua_pop(mState, 1);
    return result;
}

double TScript::GetGlobalNumber(const str& name) {
    PushGlobal(mState, name.CStr() != nullptr ? name.CStr() : "");
    const double result = lua_tonumber(mState, -1);
    lua_pop(mState, 1);
    return result;
}

TLuaTable* TScript::GetGlobalTable(const str& name) {
    PushGlobal(mState, name.CStr() != nullptr ? name.CStr() : "");
    if (!lua_istable(mState, -1)) {
        lua_pop(mState, 1);
        return nullptr;
    }
    return new TLuaTable(mState);
}

void TScript::SetGlobalString(const str& name, const str& value) {
    LuaPushStr(mState, name);
    LuaPushStr(mState, value);
    lua_settable(mState, LUA_GLOBALSINDEX);
}

void TScript::SetGlobalNumber(const str& name, double value) {
    LuaPushStr(mState, name);
    lua_pushnumber(mState, value);
    lua_settable(mState, LUA_GLOBALSINDEX);
}

double TScript::PopNumber() {
    const double result = lua_tonumber(mState, -1);
    lua_pop(mState, 1);
    return result;
}

str TScript::PopString() {
    str result = LuaGetString(mState, -1);
    lua_pop(mState, 1);
    return result;
}

bool TScript::PopBool() {
    bool result = false;
    const int type = lua_type(mState, -1);
    switch (type) {
    case LUA_TNIL:
        break;
    case LUA_TBOOLEAN:
        result = lua_toboolean(mState, -1) != 0;
        break;
    case LUA_TNUMBER:
        // NaN is not equal to 0, so it reads as true.
        result = lua_tonumber(mState, -1) != 0;
        break;
    case LUA_TSTRING:
        Log("PopBool used on lua string %s", lua_tostring(mState, -1));
        break;
    default:
        Log("PopBool used on a type that isn't a number, a boolean, or nil. (type: %d)", type);
        break;
    }
    lua_pop(mState, 1);
    return result;
}

TColor TScript::PopColor() {
    TColor color{0, 0, 0, 0};
    if (lua_istable(mState, -1)) {
        float* parts[4] = {&color.r, &color.g, &color.b, &color.a};
        for (int i = 0; i < 4; ++i) {
            lua_rawgeti(mState, -1, i + 1);
            *parts[i] = static_cast<float>(lua_tonumber(mState, -1));
            lua_pop(mState, 1);
        }
    }
    lua_pop(mState, 1);
    return color;
}
