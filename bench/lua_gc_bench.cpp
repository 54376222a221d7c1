// A full collection over one million live objects (tables, strings and userdata held by one
// array), and over the same heap once it has become garbage.
#include <benchmark/benchmark.h>

#include "engine/script/lua/lua.h"

namespace {

constexpr int kObjects = 1000000;

lua_State* BuildHeap() {
    lua_State* L = lua_open();
    lua_setgcthreshold(L, 4194304);
    lua_newtable(L);
    for (int i = 1; i <= kObjects; i++) {
        switch (i % 3) {
        case 0:
            lua_newtable(L);
            break;
        case 1:
            lua_pushfstring(L, "live string %d", i);
            break;
        default:
            lua_newuserdata(L, 16);
            break;
        }
        lua_rawseti(L, 1, i);
    }
    return L;
}

void BM_FullCollectionLive(benchmark::State& state) {
    lua_State* L = BuildHeap();
    for (auto _ : state) {
        lua_setgcthreshold(L, 0); // collects at once; everything survives
        lua_setgcthreshold(L, 4194304);
    }
    state.counters["objects"] = kObjects;
    state.counters["KB"] = lua_getgccount(L);
    lua_close(L);
}
BENCHMARK(BM_FullCollectionLive)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_FullCollectionDead(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        lua_State* L = BuildHeap();
        lua_settop(L, 0);
        state.ResumeTiming();
        lua_setgcthreshold(L, 0); // frees every object
        state.PauseTiming();
        lua_close(L);
        state.ResumeTiming();
    }
    state.counters["objects"] = kObjects;
}
BENCHMARK(BM_FullCollectionDead)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
