// The table library: sizes through luaL_getn/luaL_setn, insertion, removal, concatenation and
// an in-place quicksort.
#include <climits>

#include "engine/script/lua/lauxlib.h"
#include "engine/script/lua/lualib.h"

namespace {

int AuxGetN(lua_State* L, int n) {
    luaL_checktype(L, n, LUA_TTABLE);
    return luaL_getn(L, n);
}

int luaB_foreachi(lua_State* L) {
    const int n = AuxGetN(L, 1);
    luaL_checktype(L, 2, LUA_TFUNCTION);
    for (long long i = 1; i <= n; i++) {
        lua_pushvalue(L, 2);
        lua_pushnumber(L, static_cast<lua_Number>(i));
        lua_rawgeti(L, 1, static_cast<int>(i));
        lua_call(L, 2, 1);
        if (!lua_isnil(L, -1)) {
            return 1;
        }
        lua_pop(L, 1);
    }
    return 0;
}

int luaB_foreach(lua_State* L) {
    luaL_checktype(L, 1, LUA_TTABLE);
    luaL_checktype(L, 2, LUA_TFUNCTION);
    lua_pushnil(L);
    for (;;) {
        if (lua_next(L, 1) == 0) {
            return 0;
        }
        lua_pushvalue(L, 2);
        lua_pushvalue(L, -3);
        lua_pushvalue(L, -3);
        lua_call(L, 2, 1);
        if (!lua_isnil(L, -1)) {
            return 1;
        }
        lua_pop(L, 2);
    }
}

int luaB_getn(lua_State* L) {
    lua_pushnumber(L, static_cast<lua_Number>(AuxGetN(L, 1)));
    return 1;
}

int luaB_setn(lua_State* L) {
    luaL_checktype(L, 1, LUA_TTABLE);
    luaL_setn(L, 1, luaL_checkint(L, 2));
    return 0;
}

int luaB_tinsert(lua_State* L) {
    int v = lua_gettop(L);
    // Wide arithmetic: sizes and positions near the int limits must not overflow.
    long long n = static_cast<long long>(AuxGetN(L, 1)) + 1;
    long long pos;
    if (v == 2) {
        pos = n;
    } else {
        pos = luaL_checkint(L, 2);
        if (pos > n) {
            n = pos;
        }
        v = 3;
    }
    if (n > INT_MAX) {
        n = INT_MAX;
    }
    if (pos > n) {
        pos = n;
    }
    luaL_setn(L, 1, static_cast<int>(n));
    while (--n >= pos) {
        lua_rawgeti(L, 1, static_cast<int>(n));
        lua_rawseti(L, 1, static_cast<int>(n + 1));
    }
    lua_pushvalue(L, v);
    lua_rawseti(L, 1, static_cast<int>(pos));
    return 0;
}

int luaB_tremove(lua_State* L) {
    const int n = AuxGetN(L, 1);
    int pos = luaL_optint(L, 2, n);
    if (n <= 0) {
        return 0;
    }
    luaL_setn(L, 1, n - 1);
    lua_rawgeti(L, 1, pos);
    for (; pos < n; pos++) {
        lua_rawgeti(L, 1, pos + 1);
        lua_rawseti(L, 1, pos);
    }
    lua_pushnil(L);
    lua_rawseti(L, 1, n);
    return 1;
}

int str_concat(lua_State* L) {
    luaL_Buffer b;
    size_t lsep;
    const char* sep = luaL_optlstring(L, 2, "", &lsep);
    const int first = luaL_optint(L, 3, 1);
    int n = luaL_optint(L, 4, 0);
    luaL_checktype(L, 1, LUA_TTABLE);
    if (n == 0) {
        n = luaL_getn(L, 1);
    }
    luaL_buffinit(L, &b);
    // A wide element adds the low 8 bits of its units, as tostring gives them.
    for (long long i = first; i <= n; i++) {
        lua_rawgeti(L, 1, static_cast<int>(i));
        luaL_argcheck(L, lua_isstring(L, -1), 1, "table contains non-strings");
        luaL_addvalue(&b);
        if (i != n) {
            luaL_addlstring(&b, sep, lsep);
        }
    }
    luaL_pushresult(&b);
    return 1;
}

void Set2(lua_State* L, int i, int j) {
    lua_rawseti(L, 1, i);
    lua_rawseti(L, 1, j);
}

int SortComp(lua_State* L, int a, int b) {
    if (!lua_isnil(L, 2)) {
        lua_pushvalue(L, 2);
        lua_pushvalue(L, a - 1);
        lua_pushvalue(L, b - 2);
        lua_call(L, 2, 1);
        const int res = lua_toboolean(L, -1);
        lua_pop(L, 1);
        return res;
    }
    return lua_lessthan(L, a, b);
}

void AuxSort(lua_State* L, int l, int u) {
    while (l < u) {
        lua_rawgeti(L, 1, l);
        lua_rawgeti(L, 1, u);
        if (SortComp(L, -1, -2) != 0) {
            Set2(L, l, u);
        } else {
            lua_pop(L, 2);
        }
        if (u - l == 1) {
            break;
        }
        int i = l + (u - l) / 2;
        lua_rawgeti(L, 1, i);
        lua_rawgeti(L, 1, l);
        if (SortComp(L, -2, -1) != 0) {
            Set2(L, i, l);
        } else {
            lua_pop(L, 1);
            lua_rawgeti(L, 1, u);
            if (SortComp(L, -1, -2) != 0) {
                Set2(L, i, u);
            } else {
                lua_pop(L, 2);
            }
        }
        if (u - l == 2) {
            break;
        }
        lua_rawgeti(L, 1, i);
        lua_pushvalue(L, -1);
        lua_rawgeti(L, 1, u - 1);
        Set2(L, i, u - 1);
        i = l;
        int j = u - 1;
        for (;;) {
            while (lua_rawgeti(L, 1, ++i), SortComp(L, -1, -2) != 0) {
                if (i > u) {
                    luaL_error(L, "invalid order function for sorting");
                }
                lua_pop(L, 1);
            }
            while (lua_rawgeti(L, 1, --j), SortComp(L, -3, -1) != 0) {
                if (j < l) {
                    luaL_error(L, "invalid order function for sorting");
                }
                lua_pop(L, 1);
            }
            if (j < i) {
                lua_pop(L, 3);
                break;
            }
            Set2(L, i, j);
        }
        lua_rawgeti(L, 1, u - 1);
        lua_rawgeti(L, 1, i);
        Set2(L, u - 1, i);
        if (i - l < u - i) {
            j = l;
            i = i - 1;
            l = i + 2;
        } else {
            j = i + 1;
            i = u;
            u = j - 2;
        }
        AuxSort(L, j, i);
    }
}

int luaB_sort(lua_State* L) {
    const int n = AuxGetN(L, 1);
    luaL_checkstack(L, 40, "");
    if (!lua_isnoneornil(L, 2)) {
        luaL_checktype(L, 2, LUA_TFUNCTION);
    }
    lua_settop(L, 2);
    AuxSort(L, 1, n);
    return 0;
}

const luaL_reg kTabFuncs[] = {
    {"concat", str_concat},   {"foreach", luaB_foreach}, {"foreachi", luaB_foreachi},
    {"getn", luaB_getn},      {"setn", luaB_setn},       {"sort", luaB_sort},
    {"insert", luaB_tinsert}, {"remove", luaB_tremove},  {nullptr, nullptr},
};

} // namespace

int luaopen_table(lua_State* L) {
    luaL_openlib(L, LUA_TABLIBNAME, kTabFuncs, 0);
    return 1;
}
