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

bool GQueueLogicalScene::OnLink(GGameObject* /*object*/, GGameObject* /*target*/) {
    // The placement in a judging queue place belongs to the judging rules, which are not here.
    return false;
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
