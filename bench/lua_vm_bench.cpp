// The instruction loop on hand-assembled functions: (a) a numeric for loop adding to a local,
// (b) a loop reading and writing a table field, (c) a recursive function. The "Once" variants run
// exactly one iteration, for counting host instructions under callgrind at two loop lengths.
#include <benchmark/benchmark.h>

#include "engine/script/lua/lua.h"
#include "tests/engine/script/lua/luaasm.h"

namespace {

using namespace luaasm;

// local sum = 0; for i = 1, n do sum = sum + i end; return sum  (2 instructions per pass)
Func NumericForSum() {
    Func f;
    f.numparams = 1;
    f.maxstack = 5;
    const int k0 = f.Num(0);
    const int k1 = f.Num(1);
    f.ABx(LOADCONST, 1, k0);
    f.ABx(LOADCONST, 2, k1);
    f.ABC(COPY, 3, 0, 0);
    f.ABx(LOADCONST, 4, k1);
    f.ABC(SUB, 2, 2, 4);
    const int jmp = f.AsBx(JUMP, 0, 0);
    const int body = f.ABC(ADD, 1, 1, 2);
    const int loop = f.AsBx(NUMFORLOOP, 2, 0);
    f.PatchTo(jmp, loop);
    f.PatchTo(loop, body);
    f.ABC(RETURN, 1, 2, 0);
    return f;
}

// local t = {x = 0}; for i = 1, n do t.x = t.x + i end; return t.x  (4 instructions per pass)
Func TableFieldLoop() {
    Func f;
    f.numparams = 1;
    f.maxstack = 6;
    const int k0 = f.Num(0);
    const int k1 = f.Num(1);
    const int kx = f.Str("x");
    f.ABC(NEWTABLE, 1, 0, 1);
    f.ABC(SETINDEX, 1, RK(kx), RK(k0));
    f.ABx(LOADCONST, 2, k1);
    f.ABC(COPY, 3, 0, 0);
    f.ABx(LOADCONST, 4, k1);
    f.ABC(SUB, 2, 2, 4);
    const int jmp = f.AsBx(JUMP, 0, 0);
    const int body = f.ABC(GETINDEX, 5, 1, RK(kx));
    f.ABC(ADD, 5, 5, 2);
    f.ABC(SETINDEX, 1, RK(kx), 5);
    const int loop = f.AsBx(NUMFORLOOP, 2, 0);
    f.PatchTo(jmp, loop);
    f.PatchTo(loop, body);
    f.ABC(GETINDEX, 5, 1, RK(kx));
    f.ABC(RETURN, 5, 2, 0);
    return f;
}

// function fib(n) if n < 2 then return n end return fib(n - 1) + fib(n - 2) end
Func Fib() {
    Func f;
    f.numparams = 1;
    f.maxstack = 4; // what a compiler would give it
    const int k2 = f.Num(2);
    const int k1 = f.Num(1);
    const int kfib = f.Str("fib");
    f.ABC(LESS, 0, 0, RK(k2)); // n < 2 differs from 0: skip the jump, return n
    f.AsBx(JUMP, 0, 1);
    f.ABC(RETURN, 0, 2, 0);
    f.ABx(GETGLOBAL, 1, kfib);
    f.ABC(SUB, 2, 0, RK(k1));
    f.ABC(CALL, 1, 2, 2);
    f.ABx(GETGLOBAL, 2, kfib);
    f.ABC(SUB, 3, 0, RK(k2));
    f.ABC(CALL, 2, 2, 2);
    f.ABC(ADD, 1, 1, 2);
    f.ABC(RETURN, 1, 2, 0);
    return f;
}

void RunLoop(benchmark::State& state, const Func& f, int instructionsPerPass) {
    lua_State* L = lua_open();
    const double n = static_cast<double>(state.range(0));
    Push(L, f);
    for (auto _ : state) {
        lua_pushvalue(L, 1);
        lua_pushnumber(L, n);
        lua_call(L, 1, 1);
        benchmark::DoNotOptimize(lua_tonumber(L, -1));
        lua_pop(L, 1);
    }
    state.counters["vm_instr/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * n * instructionsPerPass,
                           benchmark::Counter::kIsRate);
    lua_close(L);
}

void BM_NumericFor(benchmark::State& state) {
    RunLoop(state, NumericForSum(), 2);
}
BENCHMARK(BM_NumericFor)->Arg(1000000);
BENCHMARK(BM_NumericFor)->Name("BM_NumericForOnce")->Arg(1000000)->Arg(2000000)->Iterations(1);

void BM_TableField(benchmark::State& state) {
    RunLoop(state, TableFieldLoop(), 4);
}
BENCHMARK(BM_TableField)->Arg(1000000);
BENCHMARK(BM_TableField)->Name("BM_TableFieldOnce")->Arg(1000000)->Arg(2000000)->Iterations(1);

void BM_RecursiveCall(benchmark::State& state) {
    lua_State* L = lua_open();
    lua_pushstring(L, "fib");
    Push(L, Fib());
    lua_settable(L, LUA_GLOBALSINDEX);
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        lua_pushstring(L, "fib");
        lua_gettable(L, LUA_GLOBALSINDEX);
        lua_pushnumber(L, n);
        lua_call(L, 1, 1);
        benchmark::DoNotOptimize(lua_tonumber(L, -1));
        lua_pop(L, 1);
    }
    // Calls made by fib(n): c(n) = 1 + c(n - 1) + c(n - 2), c(0) = c(1) = 1.
    double a = 1, b = 1;
    for (int i = 2; i <= n; i++) {
        const double c = 1 + a + b;
        a = b;
        b = c;
    }
    state.counters["calls/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * b,
                                                   benchmark::Counter::kIsRate);
    lua_close(L);
}
BENCHMARK(BM_RecursiveCall)->Arg(25);
BENCHMARK(BM_RecursiveCall)->Name("BM_RecursiveCallOnce")->Arg(20)->Arg(25)->Iterations(1);

} // namespace
