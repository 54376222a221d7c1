#include "engine/script/scriptcode.h"

#include "engine/core/assetmanager.h"
#include "engine/core/file.h"
#include "engine/script/lua/lauxlib.h"

#include <cstring>
#include <vector>

namespace {

int AppendPiece(lua_State*, const void* piece, size_t size, void* data) {
    auto* buffer = static_cast<std::vector<char>*>(data);
    const char* bytes = static_cast<const char*>(piece);
    buffer->insert(buffer->end(), bytes, bytes + size);
    return 1;
}

// The first file the name resolves to: the name itself, else each template of the search path
// with '?' replaced by the name, in order.
str FindScriptFile(const str& name, const str& path) {
    if (EngineFileExists(name)) {
        return name;
    }
    const char* cursor = path.CStr() != nullptr ? path.CStr() : "";
    while (*cursor != '\0') {
        const char* end = std::strchr(cursor, ';');
        const int length =
            end != nullptr ? static_cast<int>(end - cursor) : static_cast<int>(std::strlen(cursor));
        str candidate;
        for (int i = 0; i < length; ++i) {
            if (cursor[i] == '?') {
                candidate += name;
            } else {
                candidate += cursor[i];
            }
        }
        if (candidate.Length() != 0 && EngineFileExists(candidate)) {
            return candidate;
        }
        if (end == nullptr) {
            break;
        }
        cursor = end + 1;
    }
    return name;
}

} // namespace

TScriptCode::TScriptCode(const char* data, int size) : mSize(size) {
    mCode.Assign(data, size);
}

const void* TScriptCode::ClassId() {
    return reinterpret_cast<const void*>(&TScriptCode::ClassId);
}

const char* TScriptCode::GetClassName() const {
    return "TScriptCode";
}

bool TScriptCode::IsKindOf(const void* classId) const {
    return classId == ClassId() || TAsset::IsKindOf(classId);
}

TScriptCodePtr TScriptCode::Get(const str& name, const str& path, str* error) {
    if (name.Length() == 0) {
        return TScriptCodePtr();
    }
    TAssetManager* assets = GetAssetManager();
    if (assets != nullptr) {
        TAssetPtr found = assets->Find(name);
        if (found && found->IsKindOf(ClassId())) {
            return boost::static_pointer_cast<TScriptCode>(found);
        }
    }

    const str searchPath = path.Length() != 0 ? path : str("assets/?;../?;?");
    lua_State* scratch = lua_open();
    // The search path is kept as the scratch state's LUA_PATH as a plain value: it is never
    // spliced into Lua text.
    lua_pushstring(scratch, "LUA_PATH");
    lua_pushstring(scratch, searchPath.CStr());
    lua_settable(scratch, LUA_GLOBALSINDEX);

    TScriptCodePtr code;
    const str file = FindScriptFile(name, searchPath);
    if (luaL_loadfile(scratch, file.CStr()) != 0) {
        if (error != nullptr) {
            const char* message = lua_tostring(scratch, -1);
            *error = message != nullptr ? message : "";
        }
    } else {
        std::vector<char> buffer;
        lua_dump(scratch, &AppendPiece, &buffer);
        code.reset(new TScriptCode(buffer.data(), static_cast<int>(buffer.size())));
    }
    lua_close(scratch);

    if (code && assets != nullptr) {
        assets->Add(name, code);
    }
    return code;
}
