// What a game object reads from its Lua type: tasks, triggers, scenes, the walk mask, the visual
// path and the prelude its Lua state runs.
#include "engine/core/log.h"
#include "engine/script/lua/luanumber.h"
#include "engine/script/luawrapper.h"
#include "game/common/LuaValues.h"
#include "game/visual/GVFactory.h"
#include "game/world/GGameObject.h"
#include "game/world/LuaTableWalk.h"

#include <algorithm>
#include <cstddef>
#include <memory>

namespace {

// The largest walk mask taken: the path grid covers 40 x 30 cells, so anything far beyond that is
// a broken type table, not a mask.
constexpr int64_t kMaxWalkCells = int64_t{1} << 16;

// A Lua number proper: numeric strings do not count as walk mask cells.
bool IsNumberValue(const TLuaObjectWrapper& value) {
    value.Push();
    const bool number = lua_type(value.GetState(), -1) == LUA_TNUMBER;
    lua_pop(value.GetState(), 1);
    return number;
}

int Truncate(double number) {
    return LuaNumberToInt(number);
}

} // namespace

bool GGameObject::InitFromTable(TLuaTable* typeTable, TLuaTable* objectTable) {
    if (typeTable == nullptr) {
        return false;
    }
    mBaseType = typeTable->GetString("base_type");
    mScriptName = typeTable->GetString("script_name");
    LoadTasks(typeTable);
    LoadTriggers(typeTable);
    LoadWalkMask(typeTable);
    if (objectTable != nullptr) {
        mName = objectTable->GetString("name");
    }
    // Names and tables go in as literals, so no text of a stage file can break out of them.
    mPrelude = str("name=") + LuaStringLiteral(mName) +
               "; base_type= " + LuaStringLiteral(mBaseType) +
               "; BaseType = " + LuaValueToText(typeTable, false) + ";" +
               "BaseData = " + LuaValueToText(objectTable, false) + ";";
    LoadScenes(typeTable);
    mVisualPath = typeTable->GetString("xml_anim");
    if (mVisualPath.Length() > 0) {
        GVFactory::Instance().Preload(mVisualPath);
    }
    return true;
}

void GGameObject::LoadTasks(TLuaTable* table) {
    std::unique_ptr<TLuaTable> tasks(table->GetTable("tasks"));
    if (tasks == nullptr) {
        return;
    }
    ForEachEntry(*tasks, [this](const TLuaObjectWrapper& key, const TLuaObjectWrapper& value) {
        std::unique_ptr<TLuaTable> entry = AsTable(value);
        if (entry == nullptr) {
            return;
        }
        GTaskData data;
        data.mName = key.ToString();
        data.mSubType = Truncate(entry->GetNumber("sub_type"));
        data.mTickCount = Truncate(entry->GetNumber("tick_count"));
        data.mDelay = Truncate(entry->GetNumber("delay"));
        mTaskData.emplace(data.mName, data);
    });
}

void GGameObject::LoadTriggers(TLuaTable* table) {
    std::unique_ptr<TLuaTable> triggers(table->GetTable("triggers"));
    if (triggers == nullptr) {
        return;
    }
    mTriggerPeriod = Truncate(triggers->GetNumber("delay", 1000));
    ForEachEntry(*triggers,
                 [this](const TLuaObjectWrapper& /*key*/, const TLuaObjectWrapper& value) {
                     std::unique_ptr<TLuaTable> entry = AsTable(value);
                     if (entry == nullptr) {
                         return;
                     }
                     GTrigger trigger;
                     trigger.mFunction = entry->GetString("func_name");
                     if (trigger.mFunction.Length() > 0) {
                         mTriggers.push_back(trigger);
                     }
                 });
}

void GGameObject::LoadScenes(TLuaTable* table) {
    std::unique_ptr<TLuaTable> scenes(table->GetTable("scenes"));
    if (scenes == nullptr) {
        return;
    }
    ForEachEntry(*scenes, [this](const TLuaObjectWrapper& /*key*/, const TLuaObjectWrapper& value) {
        if (value.IsString()) {
            mKnownScenes.insert(value.ToString());
        }
    });
}

void GGameObject::LoadWalkMask(TLuaTable* table) {
    mWalkWidth = 0;
    mWalkHeight = 0;
    mWalkCells.clear();
    std::unique_ptr<TLuaTable> grid(table->GetTable("log_grid"));
    if (grid == nullptr) {
        return;
    }
    // First pass: the size. The cells never grow afterwards.
    int width = 0;
    const int height = std::max(grid->GetCount(), 0);
    ForEachEntry(*grid, [&width](const TLuaObjectWrapper& /*key*/, const TLuaObjectWrapper& value) {
        std::unique_ptr<TLuaTable> row = AsTable(value);
        if (row != nullptr) {
            width = std::max(width, row->GetCount());
        }
    });
    const int64_t cells = int64_t{width} * height;
    if (cells > kMaxWalkCells) {
        Log("Walk mask of %s: %d x %d cells is too large, ignored", mBaseType.CStr(), width,
            height);
        return;
    }
    mWalkWidth = width;
    mWalkHeight = height;
    if (cells >= 1) {
        mWalkCells.assign(static_cast<size_t>(cells), 0);
    }
    // Second pass: the numbers, row after row; one outside the cells is skipped.
    bool logged = false;
    int64_t rowIndex = 0;
    ForEachEntry(*grid, [&](const TLuaObjectWrapper& /*key*/, const TLuaObjectWrapper& value) {
        std::unique_ptr<TLuaTable> row = AsTable(value);
        if (row != nullptr) {
            int64_t column = 0;
            ForEachEntry(*row, [&](const TLuaObjectWrapper& /*k*/, const TLuaObjectWrapper& cell) {
                if (!IsNumberValue(cell)) {
                    return;
                }
                const int64_t index = rowIndex * width + column;
                ++column;
                if (index < 0 || index >= cells) {
                    if (!logged) {
                        Log("Walk mask of %s: numbers outside its %d x %d cells skipped",
                            mBaseType.CStr(), width, height);
                        logged = true;
                    }
                    return;
                }
                mWalkCells[static_cast<size_t>(index)] =
                    static_cast<int8_t>(static_cast<uint8_t>(Truncate(cell.ToNumber()) & 0xFF));
            });
        }
        ++rowIndex;
    });
}
