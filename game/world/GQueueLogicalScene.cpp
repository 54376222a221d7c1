#include "game/world/GQueueLogicalScene.h"

#include "engine/script/luawrapper.h"
#include "game/world/GGameObject.h"
#include "game/world/GLogicalManager.h"
#include "game/world/ScriptCall.h"

int GQueueLogicalScene::CallHook(const str& hook) {
    if (hook.Length() == 0) {
        return 1;
    }
    GLogicalManager::Instance().SetCurrentScene(this);
    return ScriptCallInt(mScript, hook);
}

bool GQueueLogicalScene::InitFromTable(const str& name, TScript* script, TLuaTable* table) {
    if (table == nullptr) {
        return false;
    }
    mName = name;
    mScript = script;
    mOnBegin = table->GetString("OnBegin");
    mOnEnd = table->GetString("OnEnd");
    mOnCreate = table->GetString("OnCreate");
    return true;
}

GBaseLogicalScene* GQueueLogicalScene::Clone(int number) const {
    auto* copy = new GQueueLogicalScene;
    copy->mName = mName;
    copy->mScript = mScript;
    copy->mOnBegin = mOnBegin;
    copy->mOnEnd = mOnEnd;
    copy->mOnCreate = mOnCreate;
    copy->mNumber = number;
    return copy;
}

int GQueueLogicalScene::CanAccept(GGameObject* object, bool /*undo*/) {
    if (object == nullptr || object->IsBlocked()) {
        return 0;
    }
    return object->HasScene(mName) ? 1 : 0;
}

bool GQueueLogicalScene::OnLink(GGameObject* object, GGameObject* target) {
    if (object == nullptr || target == nullptr) {
        return false;
    }
    GGameObject* old = object->GetHolder();
    if (old != nullptr && CanAccept(old, true) == 0) {
        old = nullptr;
    }
    GGameObject* place = target;
    GGameObject* other = nullptr;
    if (target->CanHold()) {
        other = target->GetOccupant();
    } else {
        other = target;
        place = target->GetHolder();
    }
    if (place == nullptr) {
        return false;
    }
    GLogicalManager& manager = GLogicalManager::Instance();
    if (old == nullptr && place->GetOccupant() == nullptr) {
        place->TakeObject(object);
        manager.OnQueueChanged();
        return true;
    }
    bool room = true;
    if (old == nullptr) {
        room = manager.MakeRoomAt(place);
    } else if (other != nullptr && other != object) {
        room = manager.MoveIntoPlace(old, place);
        if (!room) {
            // Nobody moved: she stays where she was.
            old->SetOccupant(object);
            object->SetHolder(old);
        }
    }
    if (!room) {
        return false;
    }
    place->TakeObject(object);
    manager.OnQueueChanged();
    return true;
}

int GQueueLogicalScene::Create() {
    CallHook(mOnCreate);
    return 1;
}

int GQueueLogicalScene::Begin() {
    CallHook(mOnBegin);
    Close();
    return 0;
}

int GQueueLogicalScene::End() {
    CallHook(mOnEnd);
    GLogicalManager::Instance().DestroyScene(this);
    return 1;
}
