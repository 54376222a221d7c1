#include "game/world/GStateKey.h"

#include "game/world/GStateNameTable.h"

GStateKey GStateKey::FromString(const str& name) {
    if (name.Length() == 0) {
        return GStateKey();
    }
    return GStateNameTable::Instance().Encode(name.CStr(), true);
}
