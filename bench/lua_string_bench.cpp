// String interning: new texts (allocation and store growth) and texts already interned (lookup).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "engine/script/lua/lua.h"

namespace {

std::vector<std::string> Texts(int n, const char* prefix) {
    std::vector<std::string> texts;
    for (int i = 0; i < n; i++) {
        texts.push_back(prefix + std::to_string(i));
    }
    return texts;
}

void BM_InternNew(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<std::string> texts = Texts(n, "interned string number ");
    for (auto _ : state) {
        state.PauseTiming();
        lua_State* L = lua_open();
        lua_setgcthreshold(L, 4194304); // measure interning, not collection
        state.ResumeTiming();
        for (const std::string& t : texts) {
            lua_pushlstring(L, t.data(), t.size());
            lua_pop(L, 1);
        }
        state.PauseTiming();
        lua_close(L);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_InternNew)->Arg(100000);

void BM_InternExisting(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<std::string> texts = Texts(n, "interned string number ");
    lua_State* L = lua_open();
    lua_newtable(L);
    for (int i = 0; i < n; i++) {
        lua_pushlstring(L, texts[i].data(), texts[i].size());
        lua_rawseti(L, 1, i + 1);
    }
    for (auto _ : state) {
        for (const std::string& t : texts) {
            lua_pushlstring(L, t.data(), t.size());
            lua_pop(L, 1);
        }
    }
    state.SetItemsProcessed(state.iterations() * n);
    lua_close(L);
}
BENCHMARK(BM_InternExisting)->Arg(100000);

void BM_InternWideExisting(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::vector<std::u16string> texts;
    for (const std::string& t : Texts(n, "wide string ")) {
        texts.emplace_back(t.begin(), t.end());
    }
    lua_State* L = lua_open();
    lua_newtable(L);
    for (int i = 0; i < n; i++) {
        lua_pushlwstring(L, texts[i].data(), texts[i].size());
        lua_rawseti(L, 1, i + 1);
    }
    for (auto _ : state) {
        for (const std::u16string& t : texts) {
            lua_pushlwstring(L, t.data(), t.size());
            lua_pop(L, 1);
        }
    }
    state.SetItemsProcessed(state.iterations() * n);
    lua_close(L);
}
BENCHMARK(BM_InternWideExisting)->Arg(100000);

} // namespace
