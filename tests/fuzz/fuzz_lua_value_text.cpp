// Builds a Lua value from the bytes (booleans, numbers from raw bits, strings of raw bytes, tables
// with keys of every kind, tables met again or holding themselves, functions), writes it with
// LuaValueToText, loads the text back and compares: the text must load, and read back as the value
// less what the writer leaves out (functions, table keys, tables already being written, tables
// nested too deep); a text cut at its length must still load. With the bare flag a table is written
// without braces and read back inside braces. The first byte holds the flags: bit 0 bare, bits 1
// to 3 all set for tables used again without limit.
#include "engine/script/lua/lauxlib.h"
#include "engine/script/lua/lua.h"
#include "game/common/LuaValues.h"
#include "tests/fuzz/fuzz_bytes.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

int Nothing(lua_State*) {
    return 0;
}

// Keeps the tables made so far in the list at stack slot 1, so that later values refer back.
class TBuilder {
public:
    // `references`: how many times a table made before may be used again. Each use can double
    // the text, so only a few inputs may use them without limit (and reach the length cut).
    TBuilder(lua_State* state, TFuzzBytes& bytes, int references)
        : L(state), mBytes(bytes), mReferences(references) {}

    // Pushes one value.
    void PushValue(int depth) {
        switch (mBytes.Byte() % 8) {
        case 0:
            lua_pushboolean(L, mBytes.Byte() & 1);
            break;
        case 1:
            lua_pushnumber(L, mBytes.Double());
            break;
        case 2:
            lua_pushnumber(L, static_cast<int8_t>(mBytes.Byte()));
            break;
        case 3:
            PushString();
            break;
        case 4:
        case 5:
            if (depth < 80 && !mBytes.Empty()) {
                PushTable(depth);
            } else {
                lua_pushnumber(L, depth);
            }
            break;
        case 6:
            if (mTables > 0 && mReferences-- > 0) {
                lua_rawgeti(L, 1, 1 + mBytes.Byte() % mTables);
            } else {
                lua_pushnumber(L, 0);
            }
            break;
        default:
            lua_pushcfunction(L, &Nothing);
            break;
        }
    }

private:
    void PushString() {
        std::string text;
        for (int n = mBytes.Byte() % 24; n > 0; --n) {
            text += static_cast<char>(mBytes.Byte());
        }
        lua_pushlstring(L, text.data(), text.size());
    }

    void PushKey(int depth) {
        switch (mBytes.Byte() % 6) {
        case 0: {
            const double key = mBytes.Double();
            lua_pushnumber(L, std::isnan(key) ? 0 : key);
            break;
        }
        case 1:
        case 2:
            // Small integers, mostly 1 to 4, so positions and their holes are met often.
            lua_pushnumber(L, static_cast<int8_t>(mBytes.Byte()) % 5);
            break;
        case 3:
            PushString();
            break;
        case 4:
            lua_pushboolean(L, mBytes.Byte() & 1);
            break;
        default:
            PushValue(depth);
            break;
        }
    }

    void PushTable(int depth) {
        lua_checkstack(L, 4);
        lua_newtable(L);
        ++mTables;
        lua_pushvalue(L, -1);
        lua_rawseti(L, 1, mTables);
        for (int n = mBytes.Byte() % 8; n > 0 && !mBytes.Empty(); --n) {
            PushKey(depth + 1);
            PushValue(depth + 1);
            if (lua_type(L, -2) == LUA_TNUMBER && std::isnan(lua_tonumber(L, -2))) {
                lua_pop(L, 2);
                continue;
            }
            lua_rawset(L, -3);
        }
    }

    lua_State* L;
    TFuzzBytes& mBytes;
    int mTables = 0;
    int mReferences;
};

bool Writable(lua_State* L, int index) {
    const int type = lua_type(L, index);
    return type == LUA_TBOOLEAN || type == LUA_TNUMBER || type == LUA_TSTRING || type == LUA_TTABLE;
}

bool SameScalar(lua_State* L, int a, int b) {
    if (lua_type(L, a) == LUA_TNUMBER) {
        const double x = lua_tonumber(L, a);
        const double y = lua_tonumber(L, b);
        return x == y || (std::isnan(x) && std::isnan(y));
    }
    return lua_rawequal(L, a, b) != 0;
}

// Compares what was written (at `original`) with what was read back (at `loaded`) by the
// writer's rules; `path` holds the original tables being compared, outermost first.
bool Same(lua_State* L, int original, int loaded, std::vector<const void*>& path) {
    if (lua_type(L, original) != lua_type(L, loaded)) {
        return false;
    }
    if (lua_type(L, original) != LUA_TTABLE) {
        return SameScalar(L, original, loaded);
    }
    lua_checkstack(L, 4);
    path.push_back(lua_topointer(L, original));
    int expected = 0;
    lua_pushnil(L);
    while (lua_next(L, original) != 0) {
        const int value = lua_gettop(L);
        const int key = value - 1;
        bool written = lua_type(L, key) != LUA_TTABLE && Writable(L, key) && Writable(L, value);
        if (written && lua_type(L, value) == LUA_TTABLE) {
            const void* table = lua_topointer(L, value);
            for (const void* outer : path) {
                written = written && outer != table;
            }
            written = written && path.size() < kLuaTextMaxDepth;
        }
        if (written) {
            ++expected;
            lua_pushvalue(L, key);
            lua_rawget(L, loaded);
            const bool same = Same(L, value, lua_gettop(L), path);
            lua_pop(L, 1);
            if (!same) {
                lua_pop(L, 2);
                path.pop_back();
                return false;
            }
        }
        lua_pop(L, 1);
    }
    path.pop_back();
    int found = 0;
    lua_pushnil(L);
    while (lua_next(L, loaded) != 0) {
        ++found;
        lua_pop(L, 1);
    }
    return found == expected;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TFuzzBytes bytes(data, size);
    lua_State* L = lua_open();
    lua_newtable(L);
    const uint8_t flags = bytes.Byte();
    const bool bare = (flags & 1) != 0;
    TBuilder builder(L, bytes, (flags & 0x0E) == 0x0E ? INT32_MAX : 6);
    builder.PushValue(0);
    const int original = lua_gettop(L);

    bool cut = false;
    const str written = LuaStackValueToText(L, original, bare, &cut);
    const std::string text(written.CStr() != nullptr ? written.CStr() : "",
                           static_cast<size_t>(written.Length()));
    const int type = lua_type(L, original);
    if (!Writable(L, original)) {
        if (!text.empty()) {
            std::abort();
        }
    } else if (!(bare && type == LUA_TSTRING)) {
        const std::string chunk =
            bare && type == LUA_TTABLE ? "return {" + text + "}" : "return " + text;
        if (luaL_loadbuffer(L, chunk.data(), chunk.size(), "written") != 0 ||
            lua_pcall(L, 0, 1, 0) != 0) {
            std::abort();
        }
        // Past its length the text leaves out entries no rule here foresees: it must still load.
        std::vector<const void*> path;
        if (!cut && !Same(L, original, lua_gettop(L), path)) {
            std::abort();
        }
        if (text.size() > kLuaTextMaxLength) {
            std::abort();
        }
    }
    lua_close(L);
    return 0;
}
