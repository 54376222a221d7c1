// The platform's window script with the few library functions the tests need (the description
// runner and the queues the native side appends to), over the manager fixture's root screen.
#pragma once

#include "engine/script/luawrapper.h"
#include "engine/ui/windowscript.h"
#include "tests/engine/ui/manager_fixture.h"

#include <string>

namespace manager_test {

// What the library does with a description: children and style closures run while the window is
// the creation top, then PostCreate, then the creation stack is popped.
inline const char kTestLibrary[] =
    "gMessageQueue = {}\n"
    "gCommandQueue = {}\n"
    "kCloseWindow = 1\n"
    "kButtonPress = 3\n"
    "kCommandOnly = 8\n"
    "kUserMessageBase = 1000\n"
    "function Creating( name, t ) end\n"
    "function DoDialogCommand( i, f ) f() end\n"
    "function MakeDialog( d )\n"
    "  if d.name and d.name ~= '' then SetWindowName( d.name ) end\n"
    "  table.foreachi( d, DoDialogCommand )\n"
    "  typename = d.typename\n"
    "  if typename then PostCreate( d, typename ) end\n"
    "end\n"
    "function DoWindow( d ) GenericCreate( d ); MakeDialog( d ); PopWindow() end\n";

class TWindowScriptFixture : public TManagerTest {
protected:
    void SetUp() override {
        TManagerTest::SetUp();
        ASSERT_NE(Script(), nullptr);
        Script()->DoLuaString(kTestLibrary);
    }

    static TWindowScript* Script() { return Manager()->GetWindowScript(); }
    static lua_State* State() { return Script()->GetState(); }

    // Globals are read through the stack, never by running Lua: while the coroutine waits, Lua
    // text would run inside it as a command.
    static void PushGlobal(const char* name) {
        lua_pushstring(State(), name);
        lua_gettable(State(), LUA_GLOBALSINDEX);
    }
    static std::string String(const char* name) { return Text(Script()->GetGlobalString(name)); }
    static double Number(const char* name) { return Script()->GetGlobalNumber(name); }
    static bool Bool(const char* name) {
        PushGlobal(name);
        const bool value = lua_toboolean(State(), -1) != 0;
        lua_pop(State(), 1);
        return value;
    }
    static bool IsNil(const char* name) {
        PushGlobal(name);
        const bool nil = lua_isnil(State(), -1);
        lua_pop(State(), 1);
        return nil;
    }
    static void Run(const char* text) { Script()->DoLuaString(text); }
    // A Lua global function as a command the caller owns.
    static TLuaFunction* Command(const char* name) {
        PushGlobal(name);
        return new TLuaFunction(State());
    }

    // The creation stack's parent and top by name ("" for none).
    static std::string CreationParent() {
        const TWindow* parent = Script()->GetCreationParent();
        return parent != nullptr ? Text(parent->GetName()) : std::string();
    }
};

} // namespace manager_test
