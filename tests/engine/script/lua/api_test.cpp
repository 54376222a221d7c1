// The native interface: stack manipulation, pseudo-indices, pushes that grow the stack, userdata
// sizes and boxed pointers, formatting, concatenation of both string kinds, and calls.
#include <gtest/gtest.h>

#include <string>

#include "engine/script/lua/lua.h"
#include "engine/script/lua/luastate.h"
#include "tests/engine/script/lua/luatestsupport.h"

namespace {

using LuaApi = LuaStateTest;

TEST_F(LuaApi, NativeFunctionPushesPastTheGuaranteedSlots) {
    lua_pushcfunction(L, [](lua_State* L) {
        for (int i = 0; i < 1000; i++) {
            lua_pushnumber(L, i);
        }
        EXPECT_EQ(lua_gettop(L), 1000);
        for (int i = 0; i < 1000; i++) {
            EXPECT_EQ(lua_tonumber(L, i + 1), i);
        }
        return 1000;
    });
    lua_call(L, 0, LUA_MULTRET);
    EXPECT_EQ(lua_gettop(L), 1000);
    EXPECT_EQ(lua_tonumber(L, 1000), 999);
    // Every kind of push grows the stack, not only numbers.
    lua_settop(L, 0);
    for (int i = 0; i < 300; i++) {
        lua_pushstring(L, "s");
        lua_pushwstring(L, u"w");
        lua_newtable(L);
        lua_pushvalue(L, -1);
        lua_pushboolean(L, 1);
    }
    EXPECT_EQ(lua_gettop(L), 1500);
}

TEST_F(LuaApi, StackOperations) {
    for (int i = 1; i <= 5; i++) {
        lua_pushnumber(L, i);
    }
    auto contents = [this] {
        std::string s;
        for (int i = 1; i <= lua_gettop(L); i++) {
            s += lua_isnil(L, i) ? "n" : std::to_string(static_cast<int>(lua_tonumber(L, i)));
        }
        return s;
    };
    lua_insert(L, 2);
    EXPECT_EQ(contents(), "15234");
    lua_remove(L, -2);
    EXPECT_EQ(contents(), "1524");
    lua_replace(L, 1);
    EXPECT_EQ(contents(), "452");
    lua_pushvalue(L, -3);
    EXPECT_EQ(contents(), "4524");
    lua_settop(L, 6);
    EXPECT_EQ(contents(), "4524nn");
    lua_settop(L, -3);
    EXPECT_EQ(contents(), "4524");
    lua_pop(L, 4);
    EXPECT_EQ(lua_gettop(L), 0);
    EXPECT_EQ(lua_type(L, 1), LUA_TNONE);
    EXPECT_EQ(lua_checkstack(L, 2048), 1);
    EXPECT_EQ(lua_checkstack(L, 2049), 0);
}

TEST_F(LuaApi, RegistryIntegerKeysReadThroughIndicesBelowMinus40000) {
    EXPECT_EQ(lua_type(L, -40001), LUA_TNIL);
    lua_newtable(L);
    lua_rawseti(L, LUA_REGISTRYINDEX, 1);
    lua_pushstring(L, "second");
    lua_rawseti(L, LUA_REGISTRYINDEX, 2);
    EXPECT_EQ(lua_type(L, -40001), LUA_TTABLE);
    EXPECT_STREQ(lua_tostring(L, -40002), "second");
    EXPECT_EQ(lua_type(L, -40003), LUA_TNIL);
    lua_pushvalue(L, -40001);
    lua_rawgeti(L, LUA_REGISTRYINDEX, 1);
    EXPECT_TRUE(lua_rawequal(L, -1, -2));
}

TEST_F(LuaApi, UpvaluePseudoIndices) {
    lua_pushstring(L, "first");
    lua_pushnumber(L, 2);
    lua_pushcclosure(
        L,
        [](lua_State* L) {
            EXPECT_STREQ(lua_tostring(L, lua_upvalueindex(1)), "first");
            EXPECT_EQ(lua_tonumber(L, lua_upvalueindex(2)), 2);
            EXPECT_EQ(lua_type(L, lua_upvalueindex(3)), LUA_TNONE);
            lua_pushstring(L, "changed");
            lua_replace(L, lua_upvalueindex(1));
            return 0;
        },
        2);
    lua_pushvalue(L, 1);
    lua_call(L, 0, 0);
    lua_pushcfunction(L, [](lua_State* L) {
        EXPECT_EQ(lua_type(L, lua_upvalueindex(1)), LUA_TNONE);
        return 0;
    });
    lua_call(L, 0, 0);
    // No function runs at the base level: upvalue indices name nothing.
    EXPECT_EQ(lua_type(L, lua_upvalueindex(1)), LUA_TNONE);
    EXPECT_TRUE(lua_iscfunction(L, 1));
    lua_getfenv(L, 1);
    EXPECT_TRUE(lua_rawequal(L, -1, LUA_GLOBALSINDEX));
    lua_newtable(L);
    EXPECT_EQ(lua_setfenv(L, 1), 0); // native functions keep the globals
}

TEST_F(LuaApi, UserdataSizesAndBoxedPointers) {
    struct Case {
        size_t request;
        uint32_t length;
    } cases[] = {{0, 0}, {1, 2}, {3, 4}, {5, 6}, {8, 8}, {4097, 4098}};
    for (const Case& c : cases) {
        void* block = lua_newuserdata(L, c.request);
        const Udata* u = static_cast<const Udata*>(L->top[-1].value.gc);
        EXPECT_EQ(u->len, c.length) << c.request;
        EXPECT_EQ(lua_touserdata(L, -1), block);
        EXPECT_EQ(lua_topointer(L, -1), block);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 8, 0u);
        if (c.length > 0) {
            std::memset(block, 0x5A, c.length); // the whole block is writable
        }
        lua_pop(L, 1);
    }
    int target = 0;
    lua_pushboxedpointer(L, &target);
    EXPECT_EQ(lua_type(L, -1), LUA_TUSERDATA);
    EXPECT_EQ(static_cast<const Udata*>(L->top[-1].value.gc)->len, 1u);
    EXPECT_EQ(lua_touserdata(L, -1), &target);
    EXPECT_EQ(lua_topointer(L, -1), &target);
    lua_getmetatable(L, -1);
    lua_gettypemetatable(L, LUA_TUSERDATA);
    EXPECT_TRUE(lua_rawequal(L, -1, -2));
    lua_pushlightuserdata(L, &target);
    EXPECT_EQ(lua_touserdata(L, -1), &target);
    EXPECT_TRUE(lua_isuserdata(L, -1));
    EXPECT_FALSE(lua_rawequal(L, -1, -4)); // a boxed pointer is not its light userdata
}

TEST_F(LuaApi, TypeNames) {
    const char* names[] = {"no value", "nil",      "boolean",  "userdata", "number", "string",
                           "table",    "function", "userdata", "thread",   "wstring"};
    for (int t = -1; t <= 9; t++) {
        EXPECT_STREQ(lua_typename(L, t), names[t + 1]) << t;
    }
}

TEST_F(LuaApi, BooleansAndTruth) {
    lua_pushnil(L);
    lua_pushboolean(L, 0);
    lua_pushboolean(L, 7);
    lua_pushnumber(L, 0);
    lua_pushstring(L, "");
    EXPECT_EQ(lua_toboolean(L, 1), 0);
    EXPECT_EQ(lua_toboolean(L, 2), 0);
    EXPECT_EQ(lua_toboolean(L, 3), 1);
    EXPECT_EQ(lua_toboolean(L, 4), 1);
    EXPECT_EQ(lua_toboolean(L, 5), 1);
    EXPECT_EQ(lua_toboolean(L, 9), 0);
    lua_pushboolean(L, 1);
    EXPECT_TRUE(lua_rawequal(L, 3, 6)); // any true is the one true
}

TEST_F(LuaApi, FormattedStrings) {
    struct Case {
        const char* expected;
        const char* (*push)(lua_State*);
    } cases[] = {
        {"7 items", [](lua_State* L) { return lua_pushfstring(L, "%d items", 7); }},
        {"x=1.5;", [](lua_State* L) { return lua_pushfstring(L, "x=%f;", 1.5); }},
        {"a-b", [](lua_State* L) { return lua_pushfstring(L, "%s-%c", "a", 'b'); }},
        {"100%", [](lua_State* L) { return lua_pushfstring(L, "%d%%", 100); }},
        {"(null)", [](lua_State* L) { return lua_pushfstring(L, "%s", nullptr); }},
        {"%q", [](lua_State* L) { return lua_pushfstring(L, "%q"); }},
        {"", [](lua_State* L) { return lua_pushfstring(L, ""); }},
    };
    for (const Case& c : cases) {
        const int top = lua_gettop(L);
        EXPECT_STREQ(c.push(L), c.expected);
        EXPECT_EQ(lua_gettop(L), top + 1);
        EXPECT_STREQ(lua_tostring(L, -1), c.expected);
    }
}

enum class K { Narrow, Wide, Number, Table };
struct Operand {
    K kind;
    const char* text;
};

void PushOperand(lua_State* L, const Operand& o) {
    switch (o.kind) {
    case K::Narrow:
        lua_pushstring(L, o.text);
        break;
    case K::Wide: {
        std::string t = o.text;
        lua_pushwstring(L, std::u16string(t.begin(), t.end()).c_str());
        break;
    }
    case K::Number:
        lua_pushnumber(L, std::stod(o.text));
        break;
    case K::Table:
        lua_newtable(L);
        break;
    }
}

TEST_F(LuaApi, ConcatenationModes) {
    struct Case {
        std::vector<Operand> operands;
        int status;
        K resultKind;
        const char* result; // or the error message
    } cases[] = {
        {{{K::Wide, "a"}, {K::Number, "1"}}, 0, K::Wide, "a1"},
        {{{K::Number, "1"}, {K::Wide, "a"}}, 0, K::Wide, "1a"},
        {{{K::Number, "1"}, {K::Number, "2"}}, 0, K::Narrow, "12"},
        {{{K::Narrow, "a"}, {K::Wide, "b"}},
         LUA_ERRRUN,
         K::Narrow,
         "attempt to concatenate a wstring value"},
        {{{K::Wide, "b"}, {K::Narrow, "a"}},
         LUA_ERRRUN,
         K::Narrow,
         "attempt to concatenate a wstring value"},
        {{{K::Narrow, "a"}, {K::Number, "1"}, {K::Wide, "b"}},
         LUA_ERRRUN,
         K::Narrow,
         "attempt to concatenate a wstring value"},
        {{{K::Narrow, "x"}, {K::Number, "1"}, {K::Narrow, "y"}}, 0, K::Narrow, "x1y"},
        {{{K::Wide, "x"}, {K::Wide, ""}, {K::Wide, "y"}}, 0, K::Wide, "xy"},
        {{{K::Table, ""}, {K::Narrow, "a"}},
         LUA_ERRRUN,
         K::Narrow,
         "attempt to concatenate a table value"},
        {{{K::Narrow, "a"}, {K::Table, ""}},
         LUA_ERRRUN,
         K::Narrow,
         "attempt to concatenate a table value"},
    };
    for (const Case& c : cases) {
        static const Case* current;
        current = &c;
        std::string msg;
        std::string result;
        K kind = K::Table;
        const int status = LuaProtectedRun(
            L,
            [&](lua_State* L) {
                for (const Operand& o : current->operands) {
                    PushOperand(L, o);
                }
                lua_concat(L, static_cast<int>(current->operands.size()));
                EXPECT_EQ(lua_gettop(L), 1);
                if (lua_type(L, 1) == LUA_TWSTRING) {
                    kind = K::Wide;
                    const char16_t* w = lua_towstring(L, 1);
                    result.assign(w, w + lua_strlen(L, 1));
                } else {
                    kind = K::Narrow;
                    result = lua_tostring(L, 1);
                }
            },
            &msg);
        EXPECT_EQ(status, c.status) << c.result;
        if (status == 0) {
            EXPECT_EQ(result, c.result);
            EXPECT_EQ(kind, c.resultKind) << c.result;
        } else {
            EXPECT_EQ(msg, c.result);
        }
    }
    // An empty right operand builds nothing: the left string stands for both.
    lua_pushstring(L, "left");
    const char* before = lua_tostring(L, 1);
    lua_pushstring(L, "");
    lua_concat(L, 2);
    EXPECT_EQ(lua_tostring(L, 1), before);
    // Zero values give the empty 8-bit string; one value is left as it is.
    lua_concat(L, 0);
    EXPECT_EQ(lua_type(L, -1), LUA_TSTRING);
    EXPECT_EQ(lua_strlen(L, -1), 0u);
    lua_pushnumber(L, 3);
    lua_concat(L, 1);
    EXPECT_EQ(lua_type(L, -1), LUA_TNUMBER);
}

TEST_F(LuaApi, ConcatenationHandlerOfEitherOperand) {
    lua_newuserdata(L, 4); // 1
    lua_newtable(L);
    lua_pushstring(L, "__concat");
    lua_pushcfunction(L, [](lua_State* L) {
        lua_pushfstring(L, "%s+%s", lua_typename(L, lua_type(L, 1)),
                        lua_typename(L, lua_type(L, 2)));
        return 1;
    });
    lua_rawset(L, -3);
    lua_setmetatable(L, 1);
    lua_pushvalue(L, 1);
    lua_pushstring(L, "s");
    lua_concat(L, 2);
    EXPECT_STREQ(lua_tostring(L, -1), "userdata+string");
    // With a table first, the table's per-type handler (a table, not a function) is skipped in
    // favour of the userdata's.
    lua_newtable(L);
    lua_pushvalue(L, 1);
    lua_concat(L, 2);
    EXPECT_STREQ(lua_tostring(L, -1), "table+userdata");
}

TEST_F(LuaApi, MoveBetweenThreads) {
    lua_State* co = lua_newthread(L);
    lua_pushnumber(L, 1);
    lua_pushstring(L, "two");
    lua_xmove(L, co, 2);
    EXPECT_EQ(lua_gettop(L), 1);
    ASSERT_EQ(lua_gettop(co), 2);
    EXPECT_EQ(lua_tonumber(co, 1), 1);
    EXPECT_STREQ(lua_tostring(co, 2), "two");
    EXPECT_EQ(lua_tothread(L, 1), co);
}

TEST_F(LuaApi, ErrorRaisedOnACoroutineStackReachesTheEnclosingProtectedCall) {
    lua_State* co = lua_newthread(L);
    lua_pushstring(L, "co");
    lua_pushvalue(L, 1);
    lua_settable(L, LUA_REGISTRYINDEX);
    std::string msg;
    const int status = LuaProtectedRun(
        L,
        [co](lua_State*) {
            lua_pushstring(co, "raised on the coroutine");
            lua_error(co);
        },
        &msg);
    EXPECT_EQ(status, LUA_ERRRUN);
    EXPECT_EQ(msg, "raised on the coroutine");
}

TEST_F(LuaApi, FailedCallOnACoroutineLeavesItUsable) {
    lua_State* co = lua_newthread(L);
    lua_pushstring(co, "below");
    std::string msg;
    const int status = LuaProtectedRun(
        L,
        [co](lua_State*) {
            lua_pushcfunction(co, [](lua_State* L) {
                lua_pushstring(L, "failed inside");
                return lua_error(L);
            });
            lua_call(co, 0, 0);
        },
        &msg);
    EXPECT_EQ(status, LUA_ERRRUN);
    EXPECT_EQ(msg, "failed inside");
    EXPECT_EQ(co->ci, co->base_ci);
    EXPECT_EQ(co->nCcalls, 0);
    ASSERT_EQ(lua_gettop(co), 2); // its own value and the error object
    EXPECT_STREQ(lua_tostring(co, 1), "below");
    lua_settop(co, 1);
    lua_pushcfunction(co, [](lua_State* L) {
        lua_pushnumber(L, 5);
        return 1;
    });
    lua_call(co, 0, 1);
    EXPECT_EQ(lua_tonumber(co, 2), 5);
}

TEST_F(LuaApi, CallingANonFunctionUsesTheCallEvent) {
    lua_newtable(L);
    lua_newtable(L);
    lua_pushstring(L, "__call");
    lua_pushcfunction(L, [](lua_State* L) {
        // The called table comes first, then the arguments.
        EXPECT_EQ(lua_type(L, 1), LUA_TTABLE);
        lua_pushnumber(L, lua_tonumber(L, 2) + 1);
        return 1;
    });
    lua_rawset(L, -3);
    lua_setmetatable(L, 1);
    lua_pushnumber(L, 41);
    lua_call(L, 1, 1);
    EXPECT_EQ(lua_tonumber(L, -1), 42);
    std::string msg;
    EXPECT_EQ(LuaProtectedRun(
                  L,
                  [](lua_State* L) {
                      lua_pushnumber(L, 1);
                      lua_call(L, 0, 0);
                  },
                  &msg),
              LUA_ERRRUN);
    EXPECT_EQ(msg, "attempt to call a number value");
}

} // namespace
