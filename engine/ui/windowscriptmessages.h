// Window messages as the window script's Lua state sees them. A message userdata boxes a TMessage
// pointer, owns that message and carries the metatable kept in the registry under
// "qzMessageMetatable", whose "__index" reads "type" and "name" and whose "__gc" deletes the
// message. A TLuaMessageWrapper carries a message posted from Lua through the window manager and
// hands the very userdata that was posted back to Lua. Main thread only.
#pragma once

#include "engine/script/lua/lua.h"
#include "engine/script/luawrapper.h"
#include "engine/ui/message.h"

#include <memory>

// Stores a new message metatable in the registry, replacing an earlier one.
void CreateMessageMetatable(lua_State* state);
// Pushes a new message userdata that owns the message from then on. Its target is cleared: Lua
// cannot see it, and the window may go long before the userdata does.
void PushMessageUserdata(lua_State* state, std::unique_ptr<TMessage> message);
// The message inside the value at `index` when it is a message userdata whose message is still
// alive; null for anything else (the metatable tells, never a cast of any userdata).
TMessage* ToMessage(lua_State* state, int index);

// Lua "CreateNamedMessage" (kind, name): a new untargeted message as a message userdata.
int LuaCreateNamedMessage(lua_State* state);

class TLuaMessageWrapper final : public TMessage {
public:
    // Copies kind, name and target of `inner`, the message inside the message userdata on the
    // stack top, and keeps that userdata (popped) alive in the registry while the wrapper lives.
    TLuaMessageWrapper(lua_State* state, const TMessage& inner);
    // Releases the userdata; the message inside it stays the userdata's.
    ~TLuaMessageWrapper() override;

    const char* GetClassName() const override { return "TLuaMessageWrapper"; }
    bool IsKindOf(TClassId id) const override;
    static TClassId ClassId() { return &ClassIdFunction; }

    lua_State* GetState() const { return mLuaMessage.GetState(); }
    // Pushes the userdata that was posted.
    void PushLuaMessage() const { mLuaMessage.Push(); }

private:
    static void ClassIdFunction();

    TLuaObjectWrapper mLuaMessage;
};
