#include "engine/script/luawrapper.h"

#include "engine/core/log.h"
#include "engine/script/script.h"

#include <algorithm>
#include <array>

namespace {

// registry[lightuserdata(key)]: pushes it.
void PushRegistered(lua_State* state, const void* key) {
    lua_pushlightuserdata(state, const_cast<void*>(key));
    lua_rawget(state, LUA_REGISTRYINDEX);
}

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool IsAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

str LuaGetString(lua_State* state, int index) {
    const char* text = lua_tostring(state, index);
    if (text == nullptr) {
        return str();
    }
    // Lua strings may hold 0 bytes; keep the whole text.
    return str(text, static_cast<int>(lua_strlen(state, index)));
}

void LuaPushStr(lua_State* state, str text) {
    lua_pushlstring(state, text.CStr() != nullptr ? text.CStr() : "",
                    static_cast<size_t>(text.Length()));
}

TLuaObjectWrapper::TLuaObjectWrapper(lua_State* state) : mState(state) {
    lua_pushlightuserdata(state, this);
    lua_insert(state, -2);
    lua_rawset(state, LUA_REGISTRYINDEX);
}

TLuaObjectWrapper::~TLuaObjectWrapper() {
    lua_pushlightuserdata(mState, this);
    lua_pushnil(mState);
    lua_rawset(mState, LUA_REGISTRYINDEX);
}

void TLuaObjectWrapper::Push() const {
    PushRegistered(mState, this);
}

bool TLuaObjectWrapper::IsTable() const {
    Push();
    const bool result = lua_istable(mState, -1);
    lua_pop(mState, 1);
    return result;
}

bool TLuaObjectWrapper::IsString() const {
    Push();
    const bool result = lua_isstring(mState, -1) != 0;
    lua_pop(mState, 1);
    return result;
}

bool TLuaObjectWrapper::IsNumber() const {
    Push();
    const bool result = lua_isnumber(mState, -1) != 0;
    lua_pop(mState, 1);
    return result;
}

str TLuaObjectWrapper::ToString() const {
    Push();
    str result = LuaGetString(mState, -1);
    lua_pop(mState, 1);
    return result;
}

double TLuaObjectWrapper::ToNumber() const {
    Push();
    const double result = lua_tonumber(mState, -1);
    lua_pop(mState, 1);
    return result;
}

TLuaFunction::TLuaFunction(lua_State* state) : TLuaObjectWrapper(state) {}

TLuaFunction::~TLuaFunction() = default;

int TLuaFunction::CallWithAlert() {
    Push();
    if (!lua_isfunction(mState, -1)) {
        lua_pop(mState, 1);
        return 0;
    }
    // The handler goes below the function and comes out again, so the caller finds its own
    // stack plus the one result.
    const int handler = lua_gettop(mState);
    lua_pushstring(mState, "_ALERT");
    lua_gettable(mState, LUA_GLOBALSINDEX);
    lua_insert(mState, handler);
    const int status = lua_pcall(mState, 0, 1, handler);
    lua_remove(mState, handler);
    return status;
}

TLuaTable::TLuaTable(lua_State* state) : TLuaObjectWrapper(state) {}

TLuaTable::~TLuaTable() = default;

void TLuaTable::GetWithKeyOnTop() const {
    Push();
    if (!lua_istable(mState, -1)) {
        lua_pop(mState, 2);
        lua_pushnil(mState);
        return;
    }
    lua_insert(mState, -2);
    lua_gettable(mState, -2);
    lua_remove(mState, -2);
}

bool TLuaTable::PushField(const char* name) const {
    lua_pushstring(mState, name);
    GetWithKeyOnTop();
    if (lua_isnil(mState, -1)) {
        lua_pop(mState, 1);
        return false;
    }
    return true;
}

bool TLuaTable::PushFieldAt(double index) const {
    lua_pushnumber(mState, index);
    GetWithKeyOnTop();
    if (lua_isnil(mState, -1)) {
        lua_pop(mState, 1);
        return false;
    }
    return true;
}

str TLuaTable::GetString(const char* name, const str& defaultValue) const {
    if (!PushField(name)) {
        return defaultValue;
    }
    str result = LuaGetString(mState, -1);
    lua_pop(mState, 1);
    return result;
}

str TLuaTable::GetStringAt(double index, const str& defaultValue) const {
    if (!PushFieldAt(index)) {
        return defaultValue;
    }
    str result = LuaGetString(mState, -1);
    lua_pop(mState, 1);
    return result;
}

double TLuaTable::GetNumber(const char* name, double defaultValue) const {
    if (!PushField(name)) {
        return defaultValue;
    }
    const double result = lua_tonumber(mState, -1);
    lua_pop(mState, 1);
    return result;
}

double TLuaTable::GetNumberAt(double index, double defaultValue) const {
    if (!PushFieldAt(index)) {
        return defaultValue;
    }
    const double result = lua_tonumber(mState, -1);
    lua_pop(mState, 1);
    return result;
}

bool TLuaTable::GetBool(const char* name, bool defaultValue) const {
    if (!PushField(name)) {
        return defaultValue;
    }
    const bool result = lua_toboolean(mState, -1) != 0;
    lua_pop(mState, 1);
    return result;
}

TLuaFunction* TLuaTable::GetFunction(const char* name) const {
    if (!PushField(name)) {
        return nullptr;
    }
    if (!lua_isfunction(mState, -1)) {
        lua_pop(mState, 1);
        return nullptr;
    }
    return new TLuaFunction(mState);
}

TLuaTable* TLuaTable::GetTable(const char* name) const {
    if (!PushField(name)) {
        return nullptr;
    }
    if (!lua_istable(mState, -1)) {
        lua_pop(mState, 1);
        return nullptr;
    }
    return new TLuaTable(mState);
}

TLuaTable* TLuaTable::GetTableAt(double index) const {
    if (!PushFieldAt(index)) {
        return nullptr;
    }
    if (!lua_istable(mState, -1)) {
        lua_pop(mState, 1);
        return nullptr;
    }
    return new TLuaTable(mState);
}

TColor TLuaTable::GetColorAt(double index, const TColor& defaultValue) const {
    TLuaTable* entry = GetTableAt(index);
    if (entry == nullptr) {
        return defaultValue;
    }
    const TColor result{static_cast<float>(entry->GetNumberAt(1, defaultValue.r)),
                        static_cast<float>(entry->GetNumberAt(2, defaultValue.g)),
                        static_cast<float>(entry->GetNumberAt(3, defaultValue.b)),
                        static_cast<float>(entry->GetNumberAt(4, defaultValue.a))};
    delete entry;
    return result;
}

int TLuaTable::GetCount() const {
    Push();
    const int count = lua_istable(mState, -1) ? lua_getn(mState, -1) : 0;
    lua_pop(mState, 1);
    return count;
}

TLuaObjectWrapper* TLuaTable::Next(TLuaObjectWrapper** key) const {
    Push();
    if (*key != nullptr) {
        (*key)->Push();
    } else {
        lua_pushnil(mState);
    }
    delete *key;
    *key = nullptr;
    if (!lua_istable(mState, -2)) {
        lua_pop(mState, 2);
        return nullptr;
    }
    if (lua_next(mState, -2) == 0) {
        lua_pop(mState, 1);
        return nullptr;
    }
    auto* value = new TLuaObjectWrapper(mState);
    *key = new TLuaObjectWrapper(mState);
    lua_pop(mState, 1);
    return value;
}

void TLuaTable::AutoRelease(TLuaObjectWrapper* wrapper) {
    lua_State* state = wrapper->GetState();
    lua_pushstring(state, "_SCRIPT");
    lua_gettable(state, LUA_GLOBALSINDEX);
    auto* script = static_cast<TScript*>(lua_touserdata(state, -1));
    lua_pop(state, 1);
    if (script == nullptr) {
        // Deleting it here would pull it from under the caller, who may still use it.
        Log("TLuaTable::AutoRelease: no script owns this state; the wrapper is kept");
        return;
    }
    script->Adopt(wrapper);
}

bool IsLuaIdentifier(const str& name) {
    static constexpr std::array<const char*, 22> kReserved = {
        "and",    "break",    "continue", "do",   "else",  "elseif", "end", "false",
        "for",    "function", "if",       "in",   "local", "nil",    "not", "or",
        "repeat", "return",   "then",     "true", "until", "while"};
    const int length = name.Length();
    if (length == 0 || !IsAsciiLetter(name[0])) {
        return false;
    }
    for (int i = 1; i < length; ++i) {
        const char c = name[static_cast<unsigned>(i)];
        if (!IsAsciiLetter(c) && !IsAsciiDigit(c)) {
            return false;
        }
    }
    return std::none_of(kReserved.begin(), kReserved.end(),
                        [&name](const char* word) { return name == str(word); });
}
