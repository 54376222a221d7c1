// Table inserts and lookups through the native interface, with integer keys (array part) and
// string keys (hash part).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "engine/script/lua/lua.h"

namespace {

void BM_ArrayInsert(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    lua_State* L = lua_open();
    for (auto _ : state) {
        lua_newtable(L);
        for (int i = 1; i <= n; i++) {
            lua_pushnumber(L, i);
            lua_rawseti(L, -2, i);
        }
        lua_pop(L, 1);
    }
    state.SetItemsProcessed(state.iterations() * n);
    lua_close(L);
}
BENCHMARK(BM_ArrayInsert)->Arg(1000)->Arg(100000);

void BM_ArrayLookup(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    lua_State* L = lua_open();
    lua_newtable(L);
    for (int i = 1; i <= n; i++) {
        lua_pushnumber(L, i);
        lua_rawseti(L, 1, i);
    }
    double sum = 0;
    for (auto _ : state) {
        for (int i = 1; i <= n; i++) {
            lua_rawgeti(L, 1, i);
            sum += lua_tonumber(L, -1);
            lua_pop(L, 1);
        }
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * n);
    lua_close(L);
}
BENCHMARK(BM_ArrayLookup)->Arg(1000)->Arg(100000);

std::vector<std::string> Keys(int n) {
    std::vector<std::string> keys;
    for (int i = 0; i < n; i++) {
        keys.push_back("key_" + std::to_string(i * 7919));
    }
    return keys;
}

void BM_HashInsert(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<std::string> keys = Keys(n);
    lua_State* L = lua_open();
    lua_newtable(L); // keeps the key strings interned between rounds
    for (const std::string& k : keys) {
        lua_pushstring(L, k.c_str());
        lua_rawseti(L, 1, static_cast<int>(lua_gettop(L)));
    }
    for (auto _ : state) {
        lua_newtable(L);
        for (int i = 0; i < n; i++) {
            lua_pushlstring(L, keys[i].data(), keys[i].size());
            lua_pushnumber(L, i);
            lua_rawset(L, -3);
        }
        lua_pop(L, 1);
    }
    state.SetItemsProcessed(state.iterations() * n);
    lua_close(L);
}
BENCHMARK(BM_HashInsert)->Arg(1000)->Arg(100000);

void BM_HashLookup(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<std::string> keys = Keys(n);
    lua_State* L = lua_open();
    lua_newtable(L);
    for (int i = 0; i < n; i++) {
        lua_pushstring(L, keys[i].c_str());
        lua_pushnumber(L, i);
        lua_rawset(L, 1);
    }
    double sum = 0;
    for (auto _ : state) {
        for (int i = 0; i < n; i++) {
            lua_pushlstring(L, keys[i].data(), keys[i].size());
            lua_rawget(L, 1);
            sum += lua_tonumber(L, -1);
            lua_pop(L, 1);
        }
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * n);
    lua_close(L);
}
BENCHMARK(BM_HashLookup)->Arg(1000)->Arg(100000);

// The same with the key strings taken from an array of already interned strings, so that the
// figures show the hash part alone.
void BM_HashInsertInterned(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<std::string> keys = Keys(n);
    lua_State* L = lua_open();
    lua_newtable(L);
    for (int i = 0; i < n; i++) {
        lua_pushstring(L, keys[i].c_str());
        lua_rawseti(L, 1, i + 1);
    }
    for (auto _ : state) {
        lua_newtable(L);
        for (int i = 1; i <= n; i++) {
            lua_rawgeti(L, 1, i);
            lua_pushnumber(L, i);
            lua_rawset(L, 2);
        }
        lua_pop(L, 1);
    }
    state.SetItemsProcessed(state.iterations() * n);
    lua_close(L);
}
BENCHMARK(BM_HashInsertInterned)->Arg(1000)->Arg(100000);

void BM_HashLookupInterned(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<std::string> keys = Keys(n);
    lua_State* L = lua_open();
    lua_newtable(L); // 1: keys
    lua_newtable(L); // 2: the table looked up
    for (int i = 0; i < n; i++) {
        lua_pushstring(L, keys[i].c_str());
        lua_pushvalue(L, -1);
        lua_rawseti(L, 1, i + 1);
        lua_pushnumber(L, i);
        lua_rawset(L, 2);
    }
    double sum = 0;
    for (auto _ : state) {
        for (int i = 1; i <= n; i++) {
            lua_rawgeti(L, 1, i);
            lua_rawget(L, 2);
            sum += lua_tonumber(L, -1);
            lua_pop(L, 1);
        }
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * n);
    lua_close(L);
}
BENCHMARK(BM_HashLookupInterned)->Arg(1000)->Arg(100000);

void BM_NumberKeyHashLookup(benchmark::State& state) {
    // Non-integer number keys always live in the hash part.
    const int n = static_cast<int>(state.range(0));
    lua_State* L = lua_open();
    lua_newtable(L);
    for (int i = 0; i < n; i++) {
        lua_pushnumber(L, i + 0.5);
        lua_pushnumber(L, i);
        lua_rawset(L, 1);
    }
    double sum = 0;
    for (auto _ : state) {
        for (int i = 0; i < n; i++) {
            lua_pushnumber(L, i + 0.5);
            lua_rawget(L, 1);
            sum += lua_tonumber(L, -1);
            lua_pop(L, 1);
        }
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * n);
    lua_close(L);
}
BENCHMARK(BM_NumberKeyHashLookup)->Arg(100000);

} // namespace
