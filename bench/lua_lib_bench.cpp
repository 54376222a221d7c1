// The standard libraries under load: string.format, concatenation in a loop, gsub over 1 MB of
// text and table.sort of 100 000 numbers, each run as a script chunk.
#include <benchmark/benchmark.h>

#include <cstring>

#include "engine/script/lua/lauxlib.h"
#include "engine/script/lua/lua.h"
#include "engine/script/lua/lualib.h"

namespace {

lua_State* OpenState() {
    lua_State* L = lua_open();
    luaopen_base(L);
    luaopen_string(L);
    luaopen_table(L);
    luaopen_math(L);
    lua_settop(L, 0);
    return L;
}

// Compiles `setup` once, then times calls of the global function "run".
void RunScript(benchmark::State& state, const char* setup, int64_t itemsPerRun) {
    lua_State* L = OpenState();
    if (luaL_loadbuffer(L, setup, std::strlen(setup), "=bench") != 0 ||
        lua_pcall(L, 0, 0, 0) != 0) {
        state.SkipWithError(lua_tostring(L, -1));
        lua_close(L);
        return;
    }
    for (auto _ : state) {
        lua_pushliteral(L, "run");
        lua_gettable(L, LUA_GLOBALSINDEX);
        if (lua_pcall(L, 0, 0, 0) != 0) {
            state.SkipWithError(lua_tostring(L, -1));
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * itemsPerRun);
    lua_close(L);
}

void BM_StringFormat(benchmark::State& state) {
    RunScript(state,
              "local format = string.format\n"
              "function run()\n"
              "  for i = 1, 10000 do\n"
              "    local s = format('%d: %5.2f %s %x %Q', i, i / 7, 'name', i, 'q\\n')\n"
              "  end\n"
              "end\n",
              10000);
}
BENCHMARK(BM_StringFormat);

void BM_ConcatInLoop(benchmark::State& state) {
    RunScript(state,
              "function run()\n"
              "  local s = ''\n"
              "  for i = 1, 2000 do s = s .. 'x' .. i end\n"
              "end\n",
              2000);
}
BENCHMARK(BM_ConcatInLoop);

void BM_TableConcat(benchmark::State& state) {
    RunScript(state,
              "local parts = {}\n"
              "for i = 1, 10000 do parts[i] = 'item' .. i end\n"
              "function run() local s = table.concat(parts, ',') end\n",
              10000);
}
BENCHMARK(BM_TableConcat);

void BM_GsubOneMegabyte(benchmark::State& state) {
    RunScript(state,
              "local text = string.rep('the quick brown fox jumps over the lazy dog\\n', 23832)\n"
              "function run()\n"
              "  local s, n = string.gsub(text, '(%w+)', '<%1>')\n"
              "end\n",
              1048576);
}
BENCHMARK(BM_GsubOneMegabyte)->Unit(benchmark::kMillisecond);

void BM_SortNumbers(benchmark::State& state) {
    RunScript(state,
              "math.randomseed(7)\n"
              "local source = {}\n"
              "for i = 1, 100000 do source[i] = math.random() end\n"
              "function run()\n"
              "  local t = {}\n"
              "  for i = 1, 100000 do t[i] = source[i] end\n"
              "  table.sort(t)\n"
              "end\n",
              100000);
}
BENCHMARK(BM_SortNumbers)->Unit(benchmark::kMillisecond);

void BM_SortWithComparator(benchmark::State& state) {
    RunScript(state,
              "math.randomseed(7)\n"
              "local source = {}\n"
              "for i = 1, 100000 do source[i] = math.random(1000000) end\n"
              "function run()\n"
              "  local t = {}\n"
              "  for i = 1, 100000 do t[i] = source[i] end\n"
              "  table.sort(t, function(a, b) return a > b end)\n"
              "end\n",
              100000);
}
BENCHMARK(BM_SortWithComparator)->Unit(benchmark::kMillisecond);

void BM_PackUnpack(benchmark::State& state) {
    RunScript(state,
              "local pack, unpack = string.pack, string.unpack\n"
              "function run()\n"
              "  for i = 1, 10000 do\n"
              "    local s = pack('<i H z d', i, 7, 'name', i / 3)\n"
              "    local pos, a, b, c, d = unpack(s, '<i H z d')\n"
              "  end\n"
              "end\n",
              10000);
}
BENCHMARK(BM_PackUnpack);

} // namespace
