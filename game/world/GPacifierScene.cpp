#include "game/world/GPacifierScene.h"

#include "game/world/GGameObject.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GPacifierObject.h"
#include "game/world/GStudent.h"

#include <algorithm>

bool GPacifierScene::OnLink(GGameObject* object, GGameObject* target) {
    if (object == nullptr || target == nullptr) {
        return false;
    }
    AddObject(object);
    mGirlEntry = AddObject(target);
    return true;
}

int GPacifierScene::Create() {
    return RunOnCreate();
}

bool GPacifierScene::TakePacifier() {
    auto* girl = dynamic_cast<GStudent*>(GetObject(mGirlEntry));
    if (girl == nullptr) {
        return false;
    }
    const auto found = std::find_if(mObjects.begin(), mObjects.end(), [](GGameObject* object) {
        return object != nullptr && object->GetClassId() == GPacifierObject::sClassId;
    });
    if (found == mObjects.end()) {
        return false;
    }
    const auto* pacifier = static_cast<const GPacifierObject*>(*found);
    girl->BlockForPacifier("take_pacifier");
    girl->SetPacifierPoise(pacifier->GetBaseType(), pacifier->GetPoiseBoost());
    return true;
}

int GPacifierScene::Begin() {
    int result = CallHook(mOnBegin);
    if (mStages.empty()) {
        result = 0;
    }
    if (TakePacifier() && result != 0) {
        mStageIndex = 0;
        return BeginStage();
    }
    Close();
    return 0;
}

int GPacifierScene::End() {
    GLogicalManager& manager = GLogicalManager::Instance();
    GGameObject* girl = GetObject(mGirlEntry);
    int except = -1;
    if (girl != nullptr && girl->IsStudent() && girl->HasSavedState()) {
        except = mGirlEntry;
        manager.ReleaseFromScene(this, girl, false);
        girl->RestoreState();
    }
    if (!ReleaseObjects(except, true)) {
        return 1;
    }
    CallHook(mOnEnd);
    // Only scenes still alive are let go: one may have ended while it waited.
    const std::vector<GBaseLogicalScene*> waiting = mWaiting;
    mWaiting.clear();
    for (GBaseLogicalScene* scene : waiting) {
        if (manager.IsLiveScene(scene)) {
            scene->Release();
        }
    }
    manager.DestroyScene(this);
    return 1;
}

int GPacifierScene::AddWaiting(GBaseLogicalScene* scene) {
    if (std::find(mWaiting.begin(), mWaiting.end(), scene) != mWaiting.end()) {
        return 0;
    }
    GGameObject* girl = GetObject(mGirlEntry);
    if (girl != nullptr && girl->IsStudent()) {
        girl->SaveState();
    }
    scene->Retain();
    mWaiting.push_back(scene);
    return 1;
}
