// The two crossings of the script layer: native code calling a Lua function through
// TScript::RunFunction, and Lua calling a published member function through its thunk. Each
// benchmark iteration is one call; the reported time is per call.
#include <benchmark/benchmark.h>

#include "engine/script/lua/lauxlib.h"
#include "engine/script/luabinding.h"
#include "engine/script/script.h"

namespace {

struct TCounter {
    double total = 0;
    double Add(double value, int step) {
        total += value + step;
        return total;
    }
};

void NativeToLua(benchmark::State& state) {
    TScript script;
    lua_State* L = script.GetState();
    script.DoLuaString("function Step(x) return x + 1 end");
    double value = 0;
    for (auto _ : state) {
        lua_pushstring(L, "Step");
        lua_gettable(L, LUA_GLOBALSINDEX);
        lua_pushnumber(L, value);
        script.RunFunction(1, 1);
        value = lua_tonumber(L, -1);
        lua_pop(L, 1);
    }
    benchmark::DoNotOptimize(value);
}
BENCHMARK(NativeToLua)->Iterations(1000000);

void LuaToMember(benchmark::State& state) {
    TScript script;
    lua_State* L = script.GetState();
    TCounter counter;
    LuaPublish(L, "CPP_Add", &counter, &TCounter::Add);
    script.DoLuaString("function Loop(n) for i = 1, n do CPP_Add(i, 1) end end");
    constexpr int kCalls = 1000000;
    for (auto _ : state) {
        lua_pushstring(L, "Loop");
        lua_gettable(L, LUA_GLOBALSINDEX);
        lua_pushnumber(L, kCalls);
        script.RunFunction(1, 0);
    }
    // Seconds per call; the console shows it scaled (n for nanoseconds).
    state.counters["per_call"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kCalls,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    benchmark::DoNotOptimize(counter.total);
}
BENCHMARK(LuaToMember)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
