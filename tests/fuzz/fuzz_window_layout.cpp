// Builds window definitions from the input (values of every Lua type, huge and NaN numbers,
// "parent" chains with loops, metatables whose __index answers, raises errors, recurses or makes
// new tables) and reads them as windows do: every getter of TWindowStyle, then Init, PostCreate
// and ReadLayout of windows in a parent whose size comes from the input too.
#include "engine/script/luawrapper.h"
#include "engine/script/script.h"
#include "engine/ui/window.h"
#include "engine/ui/windowstyle.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>

namespace {

// Functions the built values may take as __index (or any other field): every one ends, by its
// answer, by an error, or by the machine's limit on nested calls.
const char kHelpers[] = "F = {"
                        " function(t, k) return 5 end,"
                        " function(t, k) error('fuzz') end,"
                        " function(t, k) return t[k] end,"
                        " function(t, k) return setmetatable({}, getmetatable(t)) end,"
                        " function(t, k) return 0/0 end,"
                        " function(t, k) return '160000' end,"
                        " function(t, k) return {} end,"
                        " function(t, k) if k == 'parent' then return t end end,"
                        " function(t, k) return rawget(t, 'parent') end,"
                        "}";
constexpr int kHelperCount = 9;

const char* const kKeys[] = {"x",    "y",      "w",       "h",     "align", "fit",
                             "name", "parent", "__index", "color", "image", "label"};
constexpr int kKeyCount = static_cast<int>(sizeof kKeys / sizeof kKeys[0]);

const double kNumbers[] = {0,
                           1,
                           -1,
                           0.5,
                           -0.5,
                           12,
                           1e300,
                           -1e300,
                           std::numeric_limits<double>::quiet_NaN(),
                           std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::infinity(),
                           40000,
                           40001,
                           80000,
                           79990,
                           80010,
                           106666,
                           106667,
                           159990,
                           160000,
                           2147483647.0,
                           -2147483648.0,
                           2147483648.0,
                           -80001};
constexpr int kNumberCount = static_cast<int>(sizeof kNumbers / sizeof kNumbers[0]);

const char* const kStrings[] = {"", "12", "true", "-10", "1e300", "nan", "0x10", "parent", "x"};
constexpr int kStringCount = static_cast<int>(sizeof kStrings / sizeof kStrings[0]);

class TInput {
public:
    TInput(const uint8_t* data, size_t size) : mData(data), mSize(size) {}
    bool Empty() const { return mPos >= mSize; }
    uint8_t Byte() { return mPos < mSize ? mData[mPos++] : 0; }
    int32_t Int32() {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            value = value << 8 | Byte();
        }
        return static_cast<int32_t>(value);
    }
    double Double() {
        uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) {
            bits = bits << 8 | Byte();
        }
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

private:
    const uint8_t* mData;
    size_t mSize;
    size_t mPos = 0;
};

int gLightTag = 0;

// The values are kept in the global table P, 1 to count.
class TBuilder {
public:
    TBuilder(lua_State* state, TInput& input) : mState(state), mInput(input) {
        lua_pushstring(state, "P");
        lua_newtable(state);
        lua_rawset(state, LUA_GLOBALSINDEX);
    }

    void Run() {
        for (int step = 0; step < 200 && !mInput.Empty(); ++step) {
            Step(mInput.Byte());
        }
    }

    // Pushes P[i] (nil when the pool is empty).
    void PushValue(int i) {
        PushPool();
        lua_rawgeti(mState, -1, mCount == 0 ? 1 : 1 + i % mCount);
        lua_remove(mState, -2);
    }
    int Count() const { return mCount; }

private:
    void PushPool() {
        lua_pushstring(mState, "P");
        lua_rawget(mState, LUA_GLOBALSINDEX);
    }

    // Appends the value on the top to the pool.
    void Keep() {
        PushPool();
        lua_insert(mState, -2);
        lua_rawseti(mState, -2, ++mCount);
        lua_pop(mState, 1);
    }

    void Step(uint8_t op) {
        lua_State* L = mState;
        switch (op % 16) {
        case 0:
            lua_pushnil(L);
            Keep();
            break;
        case 1:
            lua_pushboolean(L, mInput.Byte() & 1);
            Keep();
            break;
        case 2:
            lua_pushnumber(L, kNumbers[mInput.Byte() % kNumberCount]);
            Keep();
            break;
        case 3:
            lua_pushnumber(L, mInput.Double());
            Keep();
            break;
        case 4:
            lua_pushnumber(L, static_cast<int16_t>(mInput.Byte() << 8 | mInput.Byte()));
            Keep();
            break;
        case 5:
            lua_pushstring(L, kStrings[mInput.Byte() % kStringCount]);
            Keep();
            break;
        case 6: {
            char bytes[8];
            const int length = mInput.Byte() % 9;
            for (int i = 0; i < length; ++i) {
                bytes[i] = static_cast<char>(mInput.Byte());
            }
            lua_pushlstring(L, bytes, static_cast<size_t>(length));
            Keep();
            break;
        }
        case 7:
        case 8:
            lua_newtable(L);
            Keep();
            break;
        case 9:
            lua_pushstring(L, "F");
            lua_rawget(L, LUA_GLOBALSINDEX);
            lua_rawgeti(L, -1, 1 + mInput.Byte() % kHelperCount);
            lua_remove(L, -2);
            Keep();
            break;
        case 10:
            switch (mInput.Byte() % 5) {
            case 0:
                lua_newuserdata(L, 4);
                break;
            case 1:
                lua_pushlightuserdata(L, &gLightTag);
                break;
            case 2:
                lua_newthread(L);
                break;
            case 3:
                lua_pushwstring(L, u"12");
                break;
            default:
                lua_pushstring(L, "print");
                lua_rawget(L, LUA_GLOBALSINDEX);
                break;
            }
            Keep();
            break;
        case 11:
        case 12: {
            // t[key] = value, the key a name the windows read or a value of the pool.
            const int table = mInput.Byte();
            const uint8_t keyChoice = mInput.Byte();
            const int value = mInput.Byte();
            PushValue(table);
            if (!lua_istable(L, -1)) {
                lua_pop(L, 1);
                break;
            }
            if (keyChoice < 0xC0) {
                lua_pushstring(L, kKeys[keyChoice % kKeyCount]);
            } else if (keyChoice < 0xE0) {
                lua_pushnumber(L, 1 + keyChoice % 4);
            } else {
                PushValue(keyChoice);
            }
            // Nil and NaN cannot be keys.
            if (lua_type(L, -1) == LUA_TNIL ||
                (lua_type(L, -1) == LUA_TNUMBER && std::isnan(lua_tonumber(L, -1)))) {
                lua_pop(L, 2);
                break;
            }
            PushValue(value);
            lua_rawset(L, -3);
            lua_pop(L, 1);
            break;
        }
        case 13: {
            // setmetatable(table, table): fields named __index become metamethods.
            PushValue(mInput.Byte());
            PushValue(mInput.Byte());
            if (lua_istable(L, -2) && (lua_istable(L, -1) || lua_isnil(L, -1))) {
                lua_setmetatable(L, -2);
                lua_pop(L, 1);
            } else {
                lua_pop(L, 2);
            }
            break;
        }
        case 14:
            lua_pushstring(L, "gCurrentDefaultStyle");
            PushValue(mInput.Byte());
            lua_rawset(L, LUA_GLOBALSINDEX);
            break;
        default: {
            // A value under a global name the search may read for a definition that is no table.
            lua_pushstring(L, kKeys[mInput.Byte() % kKeyCount]);
            PushValue(mInput.Byte());
            lua_rawset(L, LUA_GLOBALSINDEX);
            break;
        }
        }
    }

    lua_State* mState;
    TInput& mInput;
    int mCount = 0;
};

void ReadEverything(const TWindowStyle& style) {
    const TColor fallback{0.25f, 0.5f, 0.75f, 1.0f};
    for (const char* key : kKeys) {
        style.GetNumber(key, 1.5);
        style.GetInt(key, 7);
        style.GetString(key, "default");
        style.GetBool(key, true);
        style.GetColor(key, fallback);
        delete style.GetTable(key);
        delete style.GetFunction(key);
    }
    style.GetInt("missing", 3);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TInput input(data, size);
    TScript script;
    lua_State* state = script.GetState();
    script.DoLuaString(kHelpers);

    const int parentWidth = input.Int32();
    const int parentHeight = input.Int32();
    TBuilder builder(state, input);
    builder.Run();
    if (builder.Count() == 0) {
        return 0;
    }

    const int top = lua_gettop(state);
    builder.PushValue(0);
    TLuaTable definition(state);
    builder.PushValue(builder.Count() - 1);
    TLuaTable childDefinition(state);
    TWindowStyle style(script, definition);
    TWindowStyle childStyle(script, childDefinition);
    ReadEverything(style);

    TWindow parent;
    parent.SetSize(parentWidth, parentHeight);
    auto* window = new TWindow;
    parent.AddChild(window, true);
    window->Init(style);
    for (int i = 0; i < 2; ++i) {
        auto* child = new TWindow;
        window->AddChild(child, false);
        child->Init(childStyle);
        child->PostCreate(childStyle);
    }
    window->PostCreate(style);
    window->ReadLayout(style);
    TModalWindow modal;
    modal.SetSize(parentHeight, parentWidth);
    auto* inModal = new TWindow;
    modal.AddChild(inModal, true);
    inModal->Init(style);
    inModal->PostCreate(style);
    // The placed windows answer geometry questions without overflow.
    TPoint point{parentWidth, parentHeight};
    window->LocalToScreen(point);
    window->ScreenToLocal(point);
    parent.DeepestChildAt(point, -1);
    parent.FitToChildren();

    if (lua_gettop(state) != top) {
        __builtin_trap();
    }
    return 0;
}
