// Feeds CPP_Printf's formatting: the first byte gives how many values follow, each value is a
// number from raw bits, a small integer, a string of raw bytes (numeric or not), nil, a boolean or
// a table, and the rest of the bytes are the format. The values are read from a Lua stack as the
// Lua function reads them. Checked: nothing faults, a format without '%' comes back unchanged, and
// no conversion writes more than its bounded field.
#include "engine/script/lua/lua.h"
#include "game/shell/LuaPrintf.h"
#include "tests/fuzz/fuzz_bytes.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

void PushValue(lua_State* L, TFuzzBytes& bytes) {
    switch (bytes.Byte() % 7) {
    case 0:
        lua_pushnumber(L, bytes.Double());
        break;
    case 1: {
        const int low = bytes.Byte();
        lua_pushnumber(L, static_cast<int16_t>(low | bytes.Byte() << 8));
        break;
    }
    case 2: {
        std::string text;
        for (int n = bytes.Byte() % 16; n > 0; --n) {
            text += static_cast<char>(bytes.Byte());
        }
        lua_pushlstring(L, text.data(), text.size());
        break;
    }
    case 3:
        lua_pushstring(L, "  0x1F ");
        break;
    case 4:
        lua_pushnil(L);
        break;
    case 5:
        lua_pushboolean(L, bytes.Byte() & 1);
        break;
    default:
        lua_newtable(L);
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TFuzzBytes bytes(data, size);
    lua_State* L = lua_open();
    lua_pushnil(L);
    const int count = bytes.Byte() % 12;
    for (int i = 0; i < count; ++i) {
        PushValue(L, bytes);
    }
    const std::string_view format = bytes.Rest();
    const std::string text = FormatPrintf(format, ReadPrintfValues(L, 2));
    if (format.find('%') == std::string_view::npos && text != format) {
        std::abort();
    }
    // Each directive is at least two bytes and writes at most a bounded field, a number's digits
    // or a value's text.
    size_t longestText = 0;
    for (int i = 2; i <= lua_gettop(L); ++i) {
        if (lua_type(L, i) == LUA_TSTRING) {
            longestText = std::max(longestText, static_cast<size_t>(lua_strlen(L, i)));
        }
    }
    const size_t field = 4096 + 400 + longestText;
    if (text.size() > format.size() + (format.size() / 2 + 1) * field) {
        std::abort();
    }
    lua_close(L);
    return 0;
}
