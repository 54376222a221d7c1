// Walks over the entries of Lua tables that the game world reads its definitions from. Main thread.
#pragma once

#include "engine/script/luawrapper.h"

#include <memory>

// Calls visit(key, value) for each entry of the table in table order.
template <class Visit>
void ForEachEntry(const TLuaTable& table, Visit visit) {
    TLuaObjectWrapper* key = nullptr;
    while (true) {
        std::unique_ptr<TLuaObjectWrapper> value(table.Next(&key));
        if (value == nullptr || key == nullptr) {
            break;
        }
        visit(*key, *value);
    }
    delete key;
}

// The entry as a table view, or null when it is no table.
inline std::unique_ptr<TLuaTable> AsTable(const TLuaObjectWrapper& value) {
    if (!value.IsTable()) {
        return nullptr;
    }
    value.Push();
    return std::make_unique<TLuaTable>(value.GetState());
}
