#include "game/world/GTutorialFilter.h"

#include "engine/script/lua/luanumber.h"
#include "engine/script/luawrapper.h"
#include "game/world/GGameObject.h"

#include <memory>

bool ReadTutorialPos(TLuaTable& table, const char* field, int& x, int& y) {
    std::unique_ptr<TLuaTable> pos(table.GetTable(field));
    if (pos == nullptr) {
        return false;
    }
    x = LuaNumberToInt(pos->GetNumber("x"));
    y = LuaNumberToInt(pos->GetNumber("y"));
    return true;
}

bool IsAtTutorialPos(const GGameObject& object, int x, int y) {
    if (x == kAnyTutorialPos && y == kAnyTutorialPos) {
        return true;
    }
    const TVec2 position = object.GetPosition();
    return position.x == static_cast<float>(x) && position.y == static_cast<float>(y);
}

bool GTutorialFilter::Load(TLuaTable* table, GTutorialRun* owner) {
    if (!GTutorialComponent::Load(table, owner)) {
        return false;
    }
    mId = table->GetString("id");
    const bool hasPos = ReadTutorialPos(*table, "pos", mX, mY);
    return mId.Length() != 0 || hasPos;
}

bool GTutorialFilter::LoadStartObject(GTutorialRun* owner) {
    mOwner = owner;
    mIsStartObject = true;
    return owner != nullptr;
}

bool GTutorialFilter::Matches(const GGameObject* object) const {
    if (object == nullptr) {
        return false;
    }
    if (mIsStartObject) {
        return mStartObject != nullptr && *mStartObject == object;
    }
    if (mId.Length() != 0 && mId != object->GetName()) {
        return false;
    }
    return IsAtTutorialPos(*object, mX, mY);
}
