#include "game/common/LuaValues.h"

#include "engine/core/log.h"
#include "engine/script/lua/luanumber.h"
#include "engine/script/luawrapper.h"
#include "game/common/LuaQuote.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

void AppendNumber(std::string& out, double number) {
    if (std::isnan(number)) {
        out += "0/0";
        return;
    }
    if (std::isinf(number)) {
        out += number > 0 ? "1/0" : "-1/0";
        return;
    }
    char buffer[32];
    const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, number);
    out.append(buffer, result.ptr);
}

// Writes one value and, recursively, the tables inside it, keeping the tables on the way down
// so that a table holding itself ends instead of recursing forever.
class GLuaTextWriter {
    // "} ; " for every table that may be open.
    static constexpr size_t kClosingRoom = 4 * (kLuaTextMaxDepth + 1);

public:
    explicit GLuaTextWriter(lua_State* state) : mState(state) {}

    // False, with nothing appended, when the value at the absolute index cannot be written.
    bool Write(int index, bool bare) {
        lua_State* L = mState;
        switch (lua_type(L, index)) {
        case LUA_TNIL:
            mText += "nil";
            return true;
        case LUA_TBOOLEAN:
            mText += lua_toboolean(L, index) != 0 ? "true" : "false";
            return true;
        case LUA_TNUMBER:
            AppendNumber(mText, lua_tonumber(L, index));
            return true;
        case LUA_TSTRING: {
            const char* text = lua_tostring(L, index);
            const size_t length = lua_strlen(L, index);
            if (bare) {
                mText.append(text, length);
            } else {
                AppendLuaQuoted(mText, text, length);
            }
            return true;
        }
        case LUA_TTABLE:
            return WriteTable(index, bare);
        default:
            Log("LuaValueToText: left out a value of type %s", lua_typename(L, lua_type(L, index)));
            return false;
        }
    }

    const std::string& Text() const { return mText; }
    bool IsCut() const { return mCut; }

private:
    bool WriteTable(int index, bool bare) {
        lua_State* L = mState;
        const void* table = lua_topointer(L, index);
        if (std::find(mPath.begin(), mPath.end(), table) != mPath.end()) {
            Log("LuaValueToText: left out a table that holds itself");
            return false;
        }
        if (mPath.size() >= kLuaTextMaxDepth || lua_checkstack(L, 3) == 0) {
            Log("LuaValueToText: left out a table nested deeper than %zu levels", kLuaTextMaxDepth);
            return false;
        }
        mPath.push_back(table);
        if (!bare) {
            mText += '{';
        }
        // Keys 1, 2, 3 ... in traversal order are written by position; the constructor numbers
        // positional entries the same way.
        double nextPosition = 1;
        lua_pushnil(L);
        while (lua_next(L, index) != 0) {
            if (mCut) {
                lua_pop(L, 2);
                break;
            }
            const int valueIndex = lua_gettop(L);
            const size_t mark = mText.size();
            bool positional = false;
            if (WriteKey(valueIndex - 1, nextPosition, &positional) && Write(valueIndex, false)) {
                mText += "; ";
                if (positional) {
                    nextPosition += 1;
                }
            } else {
                mText.resize(mark);
            }
            // Room is kept for the "} ; " that close the tables still open; an entry cut inside
            // stays, with what was written of it.
            if (!mCut && mText.size() + kClosingRoom > kLuaTextMaxLength) {
                mText.resize(mark);
                Log("LuaValueToText: left out the entries past %zu bytes", kLuaTextMaxLength);
                mCut = true;
            }
            lua_pop(L, 1);
        }
        mPath.pop_back();
        if (!bare) {
            mText += "} ";
        }
        return true;
    }

    bool WriteKey(int index, double nextPosition, bool* positional) {
        lua_State* L = mState;
        switch (lua_type(L, index)) {
        case LUA_TNUMBER: {
            const double key = lua_tonumber(L, index);
            if (key == nextPosition) {
                *positional = true;
                return true;
            }
            mText += '[';
            AppendNumber(mText, key);
            mText += "]=";
            return true;
        }
        case LUA_TSTRING: {
            // Read without converting: the key must stay as lua_next left it.
            const char* text = lua_tostring(L, index);
            const size_t length = lua_strlen(L, index);
            // An engine string ends at a 0 byte: a name holding one is no plain name.
            if (std::memchr(text, 0, length) == nullptr &&
                IsLuaIdentifier(str(text, static_cast<int>(length)))) {
                mText.append(text, length);
                mText += '=';
            } else {
                mText += '[';
                AppendLuaQuoted(mText, text, length);
                mText += "]=";
            }
            return true;
        }
        case LUA_TBOOLEAN:
            mText += lua_toboolean(L, index) != 0 ? "[true]=" : "[false]=";
            return true;
        default:
            Log("LuaValueToText: left out an entry with a key of type %s",
                lua_typename(L, lua_type(L, index)));
            return false;
        }
    }

    lua_State* mState;
    std::string mText;
    // Set once the text reached its length: the remaining entries are left out.
    bool mCut = false;
    // The tables being written, outermost first.
    std::vector<const void*> mPath;
};

} // namespace

bool LuaValueIsTrue(TLuaObjectWrapper* value) {
    if (value == nullptr) {
        return false;
    }
    lua_State* L = value->GetState();
    value->Push();
    const bool result = lua_toboolean(L, -1) != 0;
    lua_pop(L, 1);
    return result;
}

bool LuaValueIsBoolean(TLuaObjectWrapper* value) {
    if (value == nullptr) {
        return false;
    }
    lua_State* L = value->GetState();
    value->Push();
    const bool result = lua_type(L, -1) == LUA_TBOOLEAN;
    lua_pop(L, 1);
    return result;
}

TPoint ReadLuaPoint(TLuaTable* table, str subTable, TPoint defaults) {
    if (table == nullptr) {
        return defaults;
    }
    std::unique_ptr<TLuaTable> sub;
    if (subTable.Length() != 0) {
        sub.reset(table->GetTable(subTable.CStr()));
    }
    const TLuaTable& source = sub ? *sub : *table;
    return TPoint{LuaNumberToInt(source.GetNumber("x", defaults.x)),
                  LuaNumberToInt(source.GetNumber("y", defaults.y))};
}

str LuaValueToText(TLuaObjectWrapper* value, bool bare) {
    if (value == nullptr) {
        return str("nil");
    }
    lua_State* L = value->GetState();
    value->Push();
    str text = LuaStackValueToText(L, -1, bare);
    lua_pop(L, 1);
    return text;
}

str LuaStackValueToText(lua_State* state, int index, bool bare, bool* cut) {
    if (index < 0 && index > LUA_REGISTRYINDEX) {
        index = lua_gettop(state) + index + 1;
    }
    GLuaTextWriter writer(state);
    writer.Write(index, bare);
    if (cut != nullptr) {
        *cut = writer.IsCut();
    }
    const std::string& text = writer.Text();
    return str(text.data(), static_cast<int>(text.size()));
}

str LuaStringLiteral(const str& text) {
    std::string quoted;
    AppendLuaQuoted(quoted, text.CStr() != nullptr ? text.CStr() : "",
                    static_cast<size_t>(text.Length()));
    return str(quoted.data(), static_cast<int>(quoted.size()));
}
