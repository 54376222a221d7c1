#include "engine/ui/windowscriptmessages.h"

#include "engine/script/lua/luanumber.h"

#include <cstring>

namespace {

const char kMessageMetatableKey[] = "qzMessageMetatable";

// Registry key of the set of messages still owned by a userdata, keyed by their address. A script
// can reach a userdata whose message is gone (a weak table keeps a finalised key for one more
// cycle, and the "__gc" entry can be called by hand): the set tells a live message from a freed
// one without touching it.
char gLiveMessagesKey;

void PushLiveMessages(lua_State* state) {
    lua_pushlightuserdata(state, &gLiveMessagesKey);
    lua_rawget(state, LUA_REGISTRYINDEX);
    if (lua_istable(state, -1)) {
        return;
    }
    lua_pop(state, 1);
    lua_newtable(state);
    lua_pushlightuserdata(state, &gLiveMessagesKey);
    lua_pushvalue(state, -2);
    lua_rawset(state, LUA_REGISTRYINDEX);
}

bool IsLiveMessage(lua_State* state, void* message) {
    PushLiveMessages(state);
    lua_pushlightuserdata(state, message);
    lua_rawget(state, -2);
    const bool live = lua_toboolean(state, -1) != 0;
    lua_pop(state, 2);
    return live;
}

void SetLiveMessage(lua_State* state, void* message, bool live) {
    PushLiveMessages(state);
    lua_pushlightuserdata(state, message);
    if (live) {
        lua_pushboolean(state, 1);
    } else {
        lua_pushnil(state);
    }
    lua_rawset(state, -3);
    lua_pop(state, 1);
}

void PushMessageMetatable(lua_State* state) {
    lua_pushstring(state, kMessageMetatableKey);
    lua_rawget(state, LUA_REGISTRYINDEX);
}

// `index` is absolute.
bool HasMessageMetatable(lua_State* state, int index) {
    if (lua_type(state, index) != LUA_TUSERDATA || lua_getmetatable(state, index) == 0) {
        return false;
    }
    PushMessageMetatable(state);
    const bool same = lua_istable(state, -1) && lua_rawequal(state, -1, -2) != 0;
    lua_pop(state, 2);
    return same;
}

int MessageGc(lua_State* state) {
    if (TMessage* message = ToMessage(state, 1)) {
        SetLiveMessage(state, message, false);
        delete message;
    }
    return 0;
}

int MessageIndex(lua_State* state) {
    const TMessage* message = ToMessage(state, 1);
    if (message == nullptr) {
        return 0;
    }
    const char* key = lua_type(state, 2) == LUA_TSTRING ? lua_tostring(state, 2) : nullptr;
    if (key != nullptr && std::strcmp(key, "type") == 0) {
        lua_pushnumber(state, message->GetKind());
    } else if (key != nullptr && std::strcmp(key, "name") == 0) {
        LuaPushStr(state, message->GetName());
    } else {
        lua_pushnil(state);
    }
    return 1;
}

} // namespace

void CreateMessageMetatable(lua_State* state) {
    lua_pushstring(state, kMessageMetatableKey);
    lua_newtable(state);
    lua_pushstring(state, "__gc");
    lua_pushcclosure(state, &MessageGc, 0);
    lua_rawset(state, -3);
    lua_pushstring(state, "__index");
    lua_pushcclosure(state, &MessageIndex, 0);
    lua_rawset(state, -3);
    lua_rawset(state, LUA_REGISTRYINDEX);
}

void PushMessageUserdata(lua_State* state, std::unique_ptr<TMessage> message) {
    message->SetTarget(nullptr);
    PushMessageMetatable(state);
    if (!lua_istable(state, -1)) {
        lua_pop(state, 1);
        CreateMessageMetatable(state);
        PushMessageMetatable(state);
    }
    // Until the metatable is set the userdata is no message userdata: should a step fail, the
    // message is freed here and nothing refers to it as a message.
    lua_pushboxedpointer(state, message.get());
    SetLiveMessage(state, message.get(), true);
    lua_insert(state, -2);
    lua_setmetatable(state, -2);
    static_cast<void>(message.release());
}

TMessage* ToMessage(lua_State* state, int index) {
    if (index < 0 && index > LUA_REGISTRYINDEX) {
        index = lua_gettop(state) + index + 1;
    }
    if (!HasMessageMetatable(state, index)) {
        return nullptr;
    }
    void* message = lua_touserdata(state, index);
    if (message == nullptr || !IsLiveMessage(state, message)) {
        return nullptr;
    }
    return static_cast<TMessage*>(message);
}

int LuaCreateNamedMessage(lua_State* state) {
    const int32_t kind = LuaNumberToInt(lua_tonumber(state, 1));
    PushMessageUserdata(state, std::make_unique<TMessage>(kind, LuaGetString(state, 2), nullptr));
    return 1;
}

TLuaMessageWrapper::TLuaMessageWrapper(lua_State* state, const TMessage& inner)
    : TMessage(inner.GetKind(), inner.GetName(), inner.GetTarget()), mLuaMessage(state) {}

TLuaMessageWrapper::~TLuaMessageWrapper() = default;

bool TLuaMessageWrapper::IsKindOf(TClassId id) const {
    return id == ClassId() || TMessage::IsKindOf(id);
}

void TLuaMessageWrapper::ClassIdFunction() {}
