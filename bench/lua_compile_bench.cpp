// The compiler on a generated 10 000-line script of ordinary code (locals, functions, tables,
// loops, strings, calls); reports lines per second. Also the chunk reader on the same script's
// chunk.
#include <benchmark/benchmark.h>

#include <string>

#include "engine/script/lua/lua.h"

namespace {

constexpr int kLines = 10000;

std::string GeneratedScript() {
    std::string s = "do\n";
    int lines = 1;
    for (int i = 0; lines < kLines; i++) {
        const std::string n = std::to_string(i);
        const char* blocks[] = {
            "local function f",
            n.c_str(),
            "(a, b, ...)\n",
            "    local t = { &4 x = a, y = b, \"s",
            n.c_str(),
            "\", L\"w\", 1.5e3 }\n",
            "    for i = 1, 10 do t[i] = i * a + (b & 0xFF) << 2 end\n",
            "    while a > 0 do a = a - 1 if a == 3 then continue end end\n",
            "    if t.x and not t.z or b ~= nil then return t, a .. \"-\" .. b end\n",
            "    return g",
            n.c_str(),
            "(t.x, t[\"y\"], arg.n)\n",
            "end\n",
            "glob",
            n.c_str(),
            " = f",
            n.c_str(),
            "(1, 2) -- a comment\n",
        };
        for (const char* b : blocks) {
            s += b;
            if (s.back() == '\n') {
                lines++;
            }
        }
        if (i % 20 == 19) {
            // Blocks keep the main function's active locals under the limit of 200.
            s += "end do\n";
            lines++;
        }
    }
    return s + "end\n";
}

struct TReader {
    const std::string* text;
    bool done;
};

const char* Read(lua_State*, void* ud, size_t* size) {
    TReader* r = static_cast<TReader*>(ud);
    if (r->done) {
        *size = 0;
        return nullptr;
    }
    r->done = true;
    *size = r->text->size();
    return r->text->data();
}

int Write(lua_State*, const void* p, size_t sz, void* ud) {
    static_cast<std::string*>(ud)->append(static_cast<const char*>(p), sz);
    return 0;
}

int CountLines(const std::string& s) {
    int n = 0;
    for (char c : s) {
        n += c == '\n';
    }
    return n;
}

void BM_CompileScript(benchmark::State& state) {
    const std::string text = GeneratedScript();
    const int lines = CountLines(text);
    lua_State* L = lua_open();
    for (auto _ : state) {
        TReader r{&text, false};
        if (lua_load(L, Read, &r, "=bench") != 0) {
            state.SkipWithError(lua_tostring(L, -1));
            break;
        }
        lua_settop(L, 0);
    }
    state.counters["lines_per_second"] = benchmark::Counter(
        static_cast<double>(lines), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["lines"] = lines;
    lua_close(L);
}
BENCHMARK(BM_CompileScript)->Unit(benchmark::kMillisecond);

void BM_LoadChunk(benchmark::State& state) {
    const std::string text = GeneratedScript();
    lua_State* L = lua_open();
    TReader r{&text, false};
    if (lua_load(L, Read, &r, "=bench") != 0) {
        state.SkipWithError(lua_tostring(L, -1));
        lua_close(L);
        return;
    }
    std::string chunk;
    lua_dump(L, Write, &chunk);
    lua_settop(L, 0);
    for (auto _ : state) {
        TReader c{&chunk, false};
        if (lua_load(L, Read, &c, "=bench") != 0) {
            state.SkipWithError(lua_tostring(L, -1));
            break;
        }
        lua_settop(L, 0);
    }
    state.counters["chunk_bytes"] = static_cast<double>(chunk.size());
    lua_close(L);
}
BENCHMARK(BM_LoadChunk)->Unit(benchmark::kMillisecond);

} // namespace
