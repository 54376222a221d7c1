#include "game/world/GTouchUpScene.h"

#include "game/world/GGameObject.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GStratMousePikUp.h"

GTouchUpScene::~GTouchUpScene() {
    GLogicalManager::Instance().GetEventDispatcher().RemoveListenerEverywhere(this);
}

bool GTouchUpScene::OnLink(GGameObject* object, GGameObject* /*target*/) {
    if (object == nullptr) {
        return false;
    }
    mGirlEntry = AddObject(object);
    mGirl = object->IsStudent() ? object : nullptr;
    return mGirl != nullptr;
}

void GTouchUpScene::ForgetObject(const GGameObject* object) {
    GLogicalScene::ForgetObject(object);
    if (object != nullptr && object == mGirl) {
        mGirl = nullptr;
    }
}

int GTouchUpScene::Create() {
    GLogicalManager::Instance().GetEventDispatcher().AddKeyedListener(this, mGirl);
    return RunOnCreate();
}

int GTouchUpScene::Begin() {
    const int result = CallHook(mOnBegin);
    if (!mStages.empty() && result != 0) {
        mStageIndex = 0;
        return BeginStage();
    }
    Close();
    return 0;
}

int GTouchUpScene::BeginStage() {
    if (mStageIndex == 1) {
        if (mGirl == nullptr) {
            Close();
            return 0;
        }
        GLogicalManager& manager = GLogicalManager::Instance();
        if (manager.GetGameState() == 3 && GetPressedObject() == static_cast<G_VoidLink*>(mGirl)) {
            manager.GetEventDispatcher().AddListener(this, GEventDispatcher::kBroadcast);
            return 1;
        }
    }
    return GLogicalScene::BeginStage();
}

int GTouchUpScene::CalcPath(GGameObject* object, int /*mode*/) {
    if (object == nullptr) {
        return 0;
    }
    if (GPathPoints* path = object->GetPathData()) {
        path->clear();
    }
    if (mGirl == nullptr) {
        return 0;
    }
    return GLogicalManager::Instance().WalkToEntry(object, mGirl->GetHolder(), GetWalkMode()) ? 1
                                                                                              : 0;
}

int GTouchUpScene::End() {
    GLogicalManager& manager = GLogicalManager::Instance();
    const std::vector<GGameObject*> objects = mObjects;
    for (size_t i = 0; i < objects.size(); ++i) {
        if (objects[i] == nullptr || static_cast<int>(i) == mGirlEntry) {
            continue;
        }
        if (mStarted) {
            objects[i]->Unblock(mName);
        }
        manager.ReleaseFromScene(this, objects[i], true);
    }
    CallHook(mOnEnd);
    manager.GetEventDispatcher().RemoveListenerEverywhere(this);
    // The manager destroys the scene.
    manager.OnTouchUpSceneEnd(this, mGirl);
    return 1;
}

void GTouchUpScene::OnKeyedEvent() {
    if (mGirl != nullptr) {
        mGirl->ModifyCheck(-1);
        if (mGirlEntry >= 0 && static_cast<size_t>(mGirlEntry) < mObjects.size()) {
            mObjects[static_cast<size_t>(mGirlEntry)] = nullptr;
        }
        mGirl->ShowNumber(0);
        mGirl = nullptr;
    }
    StopAndClose();
}

void GTouchUpScene::OnBroadcastEvent() {
    GLogicalManager::Instance().GetEventDispatcher().RemoveListener(this,
                                                                    GEventDispatcher::kBroadcast);
    BeginStage();
}
