// Metatables of every value: per-type metatables, the default metatable, event lookup through
// indexing, assignment and comparison, and the protection of the globals and the registry.
#include <gtest/gtest.h>

#include <string>

#include "engine/script/lua/lua.h"
#include "tests/engine/script/lua/luatestsupport.h"

namespace {

using LuaMetatables = LuaStateTest;

// Pushes one value of each tag that scripts can see.
void PushValueOfTag(lua_State* L, int tag) {
    switch (tag) {
    case LUA_TNIL:
        lua_pushnil(L);
        break;
    case LUA_TBOOLEAN:
        lua_pushboolean(L, 0);
        break;
    case LUA_TLIGHTUSERDATA:
        lua_pushlightuserdata(L, &tag);
        break;
    case LUA_TNUMBER:
        lua_pushnumber(L, 3);
        break;
    case LUA_TSTRING:
        lua_pushstring(L, "abc");
        break;
    case LUA_TTABLE:
        lua_newtable(L);
        break;
    case LUA_TFUNCTION:
        lua_pushcfunction(L, [](lua_State*) { return 0; });
        break;
    case LUA_TUSERDATA:
        lua_newuserdata(L, 8);
        break;
    case LUA_TTHREAD:
        lua_newthread(L);
        break;
    case LUA_TWSTRING:
        lua_pushwstring(L, u"abc");
        break;
    }
}

TEST_F(LuaMetatables, EveryTagHasItsOwnPerTypeTable) {
    for (int tag = 1; tag <= 10; tag++) {
        lua_gettypemetatable(L, tag);
        ASSERT_EQ(lua_type(L, -1), LUA_TTABLE) << tag;
        for (int other = 1; other < tag; other++) {
            lua_gettypemetatable(L, other);
            EXPECT_FALSE(lua_rawequal(L, -1, -2)) << tag << " " << other;
            lua_pop(L, 1);
        }
        // Each per-type table has the default metatable, whose own metatable is itself.
        ASSERT_EQ(lua_getmetatable(L, -1), 1);
        ASSERT_EQ(lua_getmetatable(L, -1), 1);
        EXPECT_TRUE(lua_rawequal(L, -1, -2));
        lua_settop(L, 0);
    }
}

TEST_F(LuaMetatables, MetatableOfEachValueIsThePerTypeTableOfItsTag) {
    for (int tag = 1; tag <= 9; tag++) {
        lua_settop(L, 0);
        PushValueOfTag(L, tag);
        ASSERT_EQ(lua_type(L, 1), tag);
        ASSERT_EQ(lua_getmetatable(L, 1), 1) << tag;
        lua_gettypemetatable(L, tag);
        EXPECT_TRUE(lua_rawequal(L, -1, -2)) << tag;
    }
    lua_settop(L, 0);
    lua_pushnil(L);
    EXPECT_EQ(lua_getmetatable(L, 1), 0);
    EXPECT_EQ(lua_getmetatable(L, 5), 0); // above the top
    EXPECT_EQ(lua_gettop(L), 1);
}

TEST_F(LuaMetatables, NilMetatableMeansTheDefaultOne) {
    lua_newtable(L);
    lua_pushnil(L);
    EXPECT_EQ(lua_setmetatable(L, 1), 1);
    ASSERT_EQ(lua_getmetatable(L, 1), 1);
    lua_gettypemetatable(L, LUA_TTABLE);
    EXPECT_FALSE(lua_rawequal(L, -1, -2));
    ASSERT_EQ(lua_getmetatable(L, -1), 1); // the per-type table's metatable is the default one
    EXPECT_TRUE(lua_rawequal(L, -1, -3));
    // Values other than tables and userdata keep their per-type metatable.
    lua_pushnumber(L, 1);
    lua_newtable(L);
    EXPECT_EQ(lua_setmetatable(L, -2), 0);
}

TEST_F(LuaMetatables, NewPerTypeTableAppliesToLaterObjectsOnly) {
    lua_newtable(L); // 1: made before
    lua_newtable(L); // 2: the new per-type table
    lua_pushvalue(L, 2);
    lua_settypemetatable(L, LUA_TTABLE);
    lua_newtable(L); // 3: made after
    ASSERT_EQ(lua_getmetatable(L, 3), 1);
    EXPECT_TRUE(lua_rawequal(L, -1, 2));
    ASSERT_EQ(lua_getmetatable(L, 1), 1);
    EXPECT_FALSE(lua_rawequal(L, -1, 2));
    // A value that is not a table is popped and ignored.
    lua_settop(L, 3);
    lua_pushnumber(L, 5);
    lua_settypemetatable(L, LUA_TTABLE);
    EXPECT_EQ(lua_gettop(L), 3);
    lua_gettypemetatable(L, LUA_TTABLE);
    EXPECT_TRUE(lua_rawequal(L, -1, 2));
    // The same holds for userdata.
    lua_newtable(L);
    lua_settypemetatable(L, LUA_TUSERDATA);
    lua_newuserdata(L, 1);
    lua_getmetatable(L, -1);
    lua_gettypemetatable(L, LUA_TUSERDATA);
    EXPECT_TRUE(lua_rawequal(L, -1, -2));
}

// Reads t[k] under protection; returns the status and leaves the value (or message) in *out.
int ProtectedGet(lua_State* L, int tableIdx, const char* key, std::string* out) {
    lua_pushvalue(L, tableIdx);
    lua_pushstring(L, "probe");
    lua_insert(L, -2);
    lua_settable(L, LUA_REGISTRYINDEX);
    static std::string keyCopy;
    keyCopy = key;
    std::string value;
    std::string msg;
    const int status = LuaProtectedRun(
        L,
        [&value](lua_State* L) {
            lua_pushstring(L, "probe");
            lua_gettable(L, LUA_REGISTRYINDEX);
            lua_pushstring(L, keyCopy.c_str());
            lua_gettable(L, -2);
            const char* s = lua_tostring(L, -1);
            value = s != nullptr ? s : lua_isnil(L, -1) ? "<nil>" : "<value>";
        },
        &msg);
    *out = status == 0 ? value : msg;
    return status;
}

int ProtectedSet(lua_State* L, int tableIdx, const char* key, std::string* msg) {
    lua_pushvalue(L, tableIdx);
    lua_pushstring(L, "probe");
    lua_insert(L, -2);
    lua_settable(L, LUA_REGISTRYINDEX);
    static std::string keyCopy;
    keyCopy = key;
    return LuaProtectedRun(
        L,
        [](lua_State* L) {
            lua_pushstring(L, "probe");
            lua_gettable(L, LUA_REGISTRYINDEX);
            lua_pushstring(L, keyCopy.c_str());
            lua_pushstring(L, "stored");
            lua_settable(L, -3);
        },
        msg);
}

TEST_F(LuaMetatables, IndexingValuesThroughTheirPerTypeTables) {
    struct Case {
        int tag;
        int status;
        const char* result;
    } cases[] = {
        {LUA_TNIL, LUA_ERRRUN, "attempt to index a nil value"},
        {LUA_TNUMBER, 0, "<nil>"},
        {LUA_TBOOLEAN, 0, "<nil>"},
        {LUA_TFUNCTION, 0, "<nil>"},
        {LUA_TSTRING, 0, "<nil>"},
        {LUA_TWSTRING, 0, "<nil>"},
        {LUA_TLIGHTUSERDATA, 0, "<nil>"},
        {LUA_TTHREAD, 0, "<nil>"},
    };
    for (const Case& c : cases) {
        lua_settop(L, 0);
        PushValueOfTag(L, c.tag);
        std::string out;
        EXPECT_EQ(ProtectedGet(L, 1, "missing", &out), c.status) << c.tag;
        EXPECT_EQ(out, c.result) << c.tag;
    }
    // A field of a per-type table is seen from every value of that type.
    lua_settop(L, 0);
    lua_gettypemetatable(L, LUA_TNUMBER);
    lua_pushstring(L, "foo");
    lua_pushstring(L, "bar");
    lua_rawset(L, 1);
    lua_pushnumber(L, 12);
    std::string out;
    EXPECT_EQ(ProtectedGet(L, 2, "foo", &out), 0);
    EXPECT_EQ(out, "bar");
}

TEST_F(LuaMetatables, AssigningAFieldOfAStringStoresItInTheStringTable) {
    lua_pushstring(L, "abc");
    std::string msg;
    EXPECT_EQ(ProtectedSet(L, 1, "foo", &msg), 0) << msg;
    lua_gettypemetatable(L, LUA_TSTRING);
    lua_pushstring(L, "foo");
    lua_rawget(L, -2);
    EXPECT_STREQ(lua_tostring(L, -1), "stored");
    lua_pushstring(L, "xyz");
    std::string out;
    EXPECT_EQ(ProtectedGet(L, -1, "foo", &out), 0);
    EXPECT_EQ(out, "stored");
}

TEST_F(LuaMetatables, UserdataFieldsComeFromItsMetatableWithoutIndexEvent) {
    lua_newuserdata(L, 4);
    lua_newtable(L);
    lua_pushstring(L, "foo");
    lua_pushstring(L, "1");
    lua_rawset(L, -3);
    lua_setmetatable(L, 1);
    std::string out;
    EXPECT_EQ(ProtectedGet(L, 1, "foo", &out), 0);
    EXPECT_EQ(out, "1");
    std::string msg;
    EXPECT_EQ(ProtectedSet(L, 1, "foo", &msg), LUA_ERRRUN);
    EXPECT_EQ(msg, "attempt to index a userdata value");
}

TEST_F(LuaMetatables, IndexAndNewindexHandlers) {
    lua_newtable(L); // 1: object
    lua_newtable(L); // 2: metatable
    lua_pushvalue(L, 2);
    lua_setmetatable(L, 1);
    // Cache the absence of __index, then add it: the new handler must be seen.
    std::string out;
    EXPECT_EQ(ProtectedGet(L, 1, "k", &out), 0);
    EXPECT_EQ(out, "<nil>");
    lua_pushstring(L, "__index");
    lua_pushcfunction(L, [](lua_State* L) {
        lua_pushfstring(L, "%s:%s", lua_typename(L, lua_type(L, 1)), lua_tostring(L, 2));
        return 1;
    });
    lua_rawset(L, 2);
    EXPECT_EQ(ProtectedGet(L, 1, "k", &out), 0);
    EXPECT_EQ(out, "table:k");

    static int newindexCalls;
    newindexCalls = 0;
    lua_pushstring(L, "__newindex");
    lua_pushcfunction(L, [](lua_State* L) {
        newindexCalls++;
        EXPECT_STREQ(lua_tostring(L, 2), "fresh");
        EXPECT_STREQ(lua_tostring(L, 3), "stored");
        return 0;
    });
    lua_rawset(L, 2);
    std::string msg;
    EXPECT_EQ(ProtectedSet(L, 1, "fresh", &msg), 0);
    EXPECT_EQ(newindexCalls, 1);
    lua_pushstring(L, "fresh");
    lua_rawget(L, 1);
    EXPECT_TRUE(lua_isnil(L, -1));
    lua_pop(L, 1);
    // An existing key is assigned raw.
    lua_pushstring(L, "fresh");
    lua_pushstring(L, "old");
    lua_rawset(L, 1);
    EXPECT_EQ(ProtectedSet(L, 1, "fresh", &msg), 0);
    EXPECT_EQ(newindexCalls, 1);
    lua_pushstring(L, "fresh");
    lua_rawget(L, 1);
    EXPECT_STREQ(lua_tostring(L, -1), "stored");
}

TEST_F(LuaMetatables, HandlerChainsLoopAtMost100Levels) {
    // t's metatable sends both events back to t itself.
    lua_newtable(L);
    lua_newtable(L);
    lua_pushstring(L, "__index");
    lua_pushvalue(L, 1);
    lua_rawset(L, 2);
    lua_pushstring(L, "__newindex");
    lua_pushvalue(L, 1);
    lua_rawset(L, 2);
    lua_setmetatable(L, 1);
    std::string out;
    EXPECT_EQ(ProtectedGet(L, 1, "k", &out), LUA_ERRRUN);
    EXPECT_EQ(out, "loop in gettable");
    EXPECT_EQ(ProtectedSet(L, 1, "k", &out), LUA_ERRRUN);
    EXPECT_EQ(out, "loop in settable");
}

TEST_F(LuaMetatables, OrderComparisons) {
    struct Case {
        const char* what;
        void (*push)(lua_State*);
        int status;
        const char* message;
    } cases[] = {
        {"numbers",
         [](lua_State* L) {
             lua_pushnumber(L, 1);
             lua_pushnumber(L, 2);
         },
         0, ""},
        {"number with string",
         [](lua_State* L) {
             lua_pushnumber(L, 1);
             lua_pushstring(L, "2");
         },
         LUA_ERRRUN, "attempt to compare number with string"},
        {"two tables",
         [](lua_State* L) {
             lua_newtable(L);
             lua_newtable(L);
         },
         LUA_ERRRUN, "attempt to compare two table values"},
        {"two wide strings go to their per-type table, which cannot be called",
         [](lua_State* L) {
             lua_pushwstring(L, u"a");
             lua_pushwstring(L, u"b");
         },
         LUA_ERRRUN, "attempt to call a table value"},
    };
    for (const Case& c : cases) {
        static void (*push)(lua_State*);
        push = c.push;
        std::string msg;
        const int status = LuaProtectedRun(
            L,
            [](lua_State* L) {
                push(L);
                EXPECT_EQ(lua_lessthan(L, 1, 2), 1);
            },
            &msg);
        EXPECT_EQ(status, c.status) << c.what;
        EXPECT_EQ(msg, c.message) << c.what;
    }
    // Given a __call event, the per-type table of wide strings answers the comparison.
    lua_gettypemetatable(L, LUA_TWSTRING);
    lua_newtable(L);
    lua_pushstring(L, "__call");
    lua_pushcfunction(L, [](lua_State* L) {
        // (per-type table, a, b)
        EXPECT_EQ(lua_type(L, 1), LUA_TTABLE);
        EXPECT_EQ(lua_type(L, 2), LUA_TWSTRING);
        lua_pushboolean(L, 1);
        return 1;
    });
    lua_rawset(L, -3);
    lua_setmetatable(L, -2);
    lua_pushwstring(L, u"z");
    lua_pushwstring(L, u"a");
    EXPECT_EQ(lua_lessthan(L, -2, -1), 1);
    // Strings compare by collation.
    lua_pushstring(L, "a");
    lua_pushstring(L, "b");
    EXPECT_EQ(lua_lessthan(L, -2, -1), 1);
    EXPECT_EQ(lua_lessthan(L, -1, -2), 0);
}

TEST_F(LuaMetatables, ChangingThePerTypeTableMetatableLeavesGlobalsAndRegistryAlone) {
    static int handlerCalls;
    handlerCalls = 0;
    lua_gettypemetatable(L, LUA_TTABLE);
    for (const char* event : {"__index", "__newindex"}) {
        lua_pushstring(L, event);
        lua_pushcfunction(L, [](lua_State*) {
            handlerCalls++;
            return 0;
        });
        lua_rawset(L, 1);
    }
    // An ordinary table now goes through the handlers...
    lua_newtable(L);
    lua_pushstring(L, "x");
    lua_gettable(L, -2);
    EXPECT_EQ(handlerCalls, 1);
    lua_settop(L, 0);
    // ...but the globals and the registry do not.
    for (int pseudo : {LUA_GLOBALSINDEX, LUA_REGISTRYINDEX}) {
        lua_pushstring(L, "absent");
        lua_gettable(L, pseudo);
        EXPECT_TRUE(lua_isnil(L, -1));
        lua_pushstring(L, "stored");
        lua_pushnumber(L, 1);
        lua_settable(L, pseudo);
        lua_pushstring(L, "stored");
        lua_rawget(L, pseudo);
        EXPECT_EQ(lua_tonumber(L, -1), 1);
        lua_settop(L, 0);
    }
    EXPECT_EQ(handlerCalls, 1);
}

} // namespace
