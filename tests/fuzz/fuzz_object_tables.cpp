// Builds a game object's Lua type table and object table from the bytes: tasks, triggers and
// scenes of every shape, and a "log_grid" of rows that are tables, numbers or strings with "n"
// fields of any value. The object reads them (InitFromTable), is cloned and placed (InitInLevel),
// and every walk mask cell is read, on the original and the clone. The clone, moved to a position
// from the bytes, fills a path grid with its mask, and a path is planned between two more
// positions; ASan watches every step.
#include "engine/script/lua/lua.h"
#include "engine/script/luawrapper.h"
#include "engine/script/script.h"
#include "game/world/GGameObject.h"
#include "game/world/GPathGrid.h"
#include "tests/fuzz/fuzz_bytes.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

class TTableBuilder {
public:
    TTableBuilder(lua_State* state, TFuzzBytes& bytes) : L(state), mBytes(bytes) {}

    void PushType() {
        lua_newtable(L);
        SetString("class_name", "GGameObject");
        const uint8_t fields = mBytes.Byte();
        if (fields & 1) {
            lua_pushstring(L, "base_type");
            PushString();
            lua_rawset(L, -3);
        }
        if (fields & 2) {
            lua_pushstring(L, "tasks");
            PushEntries([this] { PushTask(); });
            lua_rawset(L, -3);
        }
        if (fields & 4) {
            lua_pushstring(L, "triggers");
            PushEntries([this] { PushTrigger(); });
            lua_rawset(L, -3);
        }
        if (fields & 8) {
            lua_pushstring(L, "scenes");
            PushEntries([this] { PushScalar(); });
            lua_rawset(L, -3);
        }
        if (fields & 16) {
            lua_pushstring(L, "log_grid");
            PushEntries([this] { PushRow(); });
            lua_rawset(L, -3);
        }
        if (fields & 32) {
            lua_pushstring(L, "log_grid");
            PushScalar();
            lua_rawset(L, -3);
        }
    }

    void PushObject() {
        lua_newtable(L);
        for (const char* key : {"name", "pos_x", "pos_y", "deltaZ"}) {
            if (mBytes.Byte() & 1) {
                lua_pushstring(L, key);
                PushScalar();
                lua_rawset(L, -3);
            }
        }
    }

private:
    void SetString(const char* key, const char* value) {
        lua_pushstring(L, key);
        lua_pushstring(L, value);
        lua_rawset(L, -3);
    }

    double Number() {
        switch (mBytes.Byte() % 4) {
        case 0:
            return mBytes.Double();
        case 1:
            return static_cast<int8_t>(mBytes.Byte());
        default:
            return mBytes.Byte() % 6;
        }
    }

    void PushNumber() {
        const double number = Number();
        lua_pushnumber(L, number);
    }

    void PushString() {
        std::string text;
        for (int n = mBytes.Byte() % 12; n > 0; --n) {
            text += static_cast<char>(mBytes.Byte());
        }
        lua_pushlstring(L, text.data(), text.size());
    }

    void PushScalar() {
        switch (mBytes.Byte() % 4) {
        case 0:
            PushString();
            break;
        case 1:
            lua_pushboolean(L, mBytes.Byte() & 1);
            break;
        default:
            PushNumber();
            break;
        }
    }

    // A key: mostly small positions (holes included), sometimes "n", a string or any number.
    void PushKey() {
        switch (mBytes.Byte() % 6) {
        case 0:
            lua_pushstring(L, "n");
            break;
        case 1:
            PushString();
            break;
        case 2: {
            const double key = mBytes.Double();
            lua_pushnumber(L, std::isnan(key) ? 0 : key);
            break;
        }
        default:
            lua_pushnumber(L, 1 + mBytes.Byte() % 6);
            break;
        }
    }

    // A table of entries whose values push(); "n" and other keys mixed in.
    template <class Push>
    void PushEntries(Push push) {
        lua_checkstack(L, 8);
        lua_newtable(L);
        for (int n = mBytes.Byte() % 10; n > 0 && !mBytes.Empty(); --n) {
            PushKey();
            if (mBytes.Byte() % 5 == 0) {
                PushScalar();
            } else {
                push();
            }
            lua_rawset(L, -3);
        }
    }

    void PushTask() {
        lua_newtable(L);
        for (const char* key : {"sub_type", "tick_count", "delay"}) {
            if (mBytes.Byte() & 1) {
                lua_pushstring(L, key);
                PushScalar();
                lua_rawset(L, -3);
            }
        }
    }

    void PushTrigger() {
        lua_newtable(L);
        lua_pushstring(L, "func_name");
        PushScalar();
        lua_rawset(L, -3);
    }

    void PushRow() {
        PushEntries([this] { PushScalar(); });
    }

    lua_State* L;
    TFuzzBytes& mBytes;
};

void ReadEveryCell(const GGameObject& object) {
    const int64_t cells = int64_t{object.GetWalkMaskWidth()} * int64_t{object.GetWalkMaskHeight()};
    for (int64_t i = -1; i <= cells && i <= (int64_t{1} << 17); ++i) {
        volatile int8_t cell = object.GetWalkMaskCell(static_cast<int>(i));
        (void)cell;
    }
}

// Mostly a point of the play area or just off it; sometimes any double: NaN, infinities, huge.
float Coordinate(TFuzzBytes& bytes) {
    if (bytes.Byte() % 4 == 0) {
        const double value = bytes.Double();
        // Past the float range the conversion is undefined: such values stand for infinities.
        if (std::isfinite(value) && std::fabs(value) > std::numeric_limits<float>::max()) {
            return value > 0 ? std::numeric_limits<float>::infinity()
                             : -std::numeric_limits<float>::infinity();
        }
        return static_cast<float>(value);
    }
    const int low = bytes.Byte();
    const int high = bytes.Byte();
    return static_cast<float>((low | (high << 8)) % 900) - 50.0f;
}

GPathGrid& Grid() {
    static GPathGrid grid;
    static bool sized = false;
    if (!sized) {
        grid.Allocate();
        sized = true;
    }
    return grid;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TScript level;
    lua_State* state = level.GetState();
    TFuzzBytes bytes(data, size);
    TTableBuilder builder(state, bytes);
    builder.PushType();
    TLuaTable type(state);
    builder.PushObject();
    TLuaTable object(state);

    GGameObject prototype;
    if (prototype.InitFromTable(&type, &object)) {
        ReadEveryCell(prototype);
        std::unique_ptr<GGameObject> clone(prototype.Clone());
        clone->InitInLevel(&object, nullptr, "", nullptr);
        ReadEveryCell(*clone);

        const float x = Coordinate(bytes);
        clone->MoveToPoint(x, Coordinate(bytes));
        Grid().Fill(std::vector<GGameObject*>{clone.get(), nullptr, &prototype});
        const float fromX = Coordinate(bytes);
        const TVec2 from(fromX, Coordinate(bytes));
        const float toX = Coordinate(bytes);
        const TVec2 to(toX, Coordinate(bytes));
        GPathPoints points;
        Grid().PlanPath(from, to, points);
    }
    lua_settop(state, 0);
    // Collect the tables now: memory left for a later collection reads as a leak to the fuzzer.
    lua_setgcthreshold(state, 0);
    return 0;
}
