// References that keep Lua values alive beyond a native call, and typed reads of Lua tables into
// engine types. Each wrapper holds exactly one value in the state's registry under its own
// address, so a wrapper is never copied. Owned by whoever created it (or adopted by a TScript
// through TLuaTable::AutoRelease); used on the thread that uses the state.
#pragma once

#include "engine/core/color.h"
#include "engine/core/str.h"
#include "engine/script/lua/lua.h"

// Saves the stack height at construction; Restore sets it back.
class TLuaStackTop {
public:
    explicit TLuaStackTop(lua_State* state) : mState(state), mTop(lua_gettop(state)) {}
    void Restore() const { lua_settop(mState, mTop); }
    int Height() const { return mTop; }

private:
    lua_State* mState;
    int mTop;
};

class TLuaObjectWrapper {
public:
    // Pops the value on the stack top into registry[lightuserdata(this)].
    explicit TLuaObjectWrapper(lua_State* state);
    // Sets the registry entry to nil, so the collector may free the value.
    virtual ~TLuaObjectWrapper();
    TLuaObjectWrapper(const TLuaObjectWrapper&) = delete;
    TLuaObjectWrapper& operator=(const TLuaObjectWrapper&) = delete;

    lua_State* GetState() const { return mState; }
    // Pushes the referenced value and leaves it on the stack.
    void Push() const;
    bool IsTable() const;
    // True for a string, a number or a wide string.
    bool IsString() const;
    // True for a number, or a string or wide string that converts.
    bool IsNumber() const;
    // lua_tostring of the value: empty for anything but a narrow string or a number.
    str ToString() const;
    // lua_tonumber of the value: 0 when it does not convert.
    double ToNumber() const;

protected:
    lua_State* mState;
};

class TLuaFunction : public TLuaObjectWrapper {
public:
    // Pops the value on the stack top (a function) into the registry.
    explicit TLuaFunction(lua_State* state);
    ~TLuaFunction() override;

    // Protected call with no argument and one result, "_ALERT" as the error handler. On return the
    // stack is as the caller left it plus the result (or the error value) on the top; the handler
    // inserted below them is removed again. When the value is no function nothing is called,
    // nothing is left and the result is 0.
    int CallWithAlert();
};

class TLuaTable : public TLuaObjectWrapper {
public:
    // Pops the table on the stack top into the registry.
    explicit TLuaTable(lua_State* state);
    ~TLuaTable() override;

    // Pushes t[key] (metamethods apply) and answers true; a nil value is popped and gives false.
    bool PushField(const char* name) const;
    bool PushFieldAt(double index) const;

    // Typed reads: the default when the field is nil (or the wrapper holds no table); otherwise
    // the value converted as lua_tostring, lua_tonumber or lua_toboolean convert it.
    str GetString(const char* name, const str& defaultValue = str()) const;
    str GetStringAt(double index, const str& defaultValue = str()) const;
    double GetNumber(const char* name, double defaultValue = 0) const;
    double GetNumberAt(double index, double defaultValue = 0) const;
    bool GetBool(const char* name, bool defaultValue = false) const;

    // New wrappers owned by the caller, or null when the field has another type.
    TLuaFunction* GetFunction(const char* name) const;
    TLuaTable* GetTable(const char* name) const;
    TLuaTable* GetTableAt(double index) const;

    // t[index] read as {red, green, blue, alpha}; missing entries keep the default's components.
    TColor GetColorAt(double index, const TColor& defaultValue) const;
    // lua_getn of the table.
    int GetCount() const;

    // The next entry after the key in *key (null: the first). Deletes *key, stores a new key
    // wrapper there and returns a new value wrapper, both owned by the caller; at the end *key
    // becomes null and the result is null.
    TLuaObjectWrapper* Next(TLuaObjectWrapper** key) const;

    // Hands the wrapper to the TScript that owns its state ("_SCRIPT"), which deletes it before
    // its next run. A state without a script deletes the wrapper at once and logs the error.
    static void AutoRelease(TLuaObjectWrapper* wrapper);

private:
    // Pushes t[key] where the key is already on the stack top; replaces the key by the value.
    // Without a table a nil is left instead.
    void GetWithKeyOnTop() const;
};

// lua_tostring of a stack slot as an engine string; empty for anything without a narrow text.
str LuaGetString(lua_State* state, int index);
// Pushes the text as a Lua string (an empty string for an empty engine string).
void LuaPushStr(lua_State* state, str text);
// True when Lua reads the name as one identifier: ASCII letters, digits and '_', not starting
// with a digit, and no reserved word.
bool IsLuaIdentifier(const str& name);
