// The logical manager's play input: clicks, grabs, drops and drag ends that the level forwards
// from the mouse strategies, and the scene requests they turn into.
#include "game/world/GBaseLogicalScene.h"
#include "game/world/GBaseSimpleTask.h"
#include "game/world/GGameObject.h"
#include "game/world/GLevel.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GLogicalManagerHooks.h"
#include "game/world/GObjectFactory.h"
#include "game/world/GPacifierObject.h"
#include "game/world/GPersonage.h"
#include "game/world/GSoundEffects.h"
#include "game/world/GStudent.h"

#include <algorithm>

namespace {

void PlaySound(const char* name) {
    GSoundEffects::Instance()->Play(str(name));
}

} // namespace

bool GLogicalManager::HasClass(const GGameObject* object, const char* className) {
    return object != nullptr && str(object->GetClassName()) == str(className);
}

std::vector<GGameObject*> GLogicalManager::LevelObjects() const {
    GLevel* level = GetLevel();
    return level != nullptr ? level->GetObjects() : std::vector<GGameObject*>();
}

void GLogicalManager::EndQueuePreview(GGameObject* except) {
    if (mQueuePreviewOn) {
        ClearQueuePreview(except);
    }
    mQueuePreviewOn = false;
}

void GLogicalManager::EndCarry(GGameObject* object, GGameObject* target, bool dispatchGirl) {
    SetGameState(2);
    if (dispatchGirl && HasClass(object, "GStudent") && object->GetHolder() != target) {
        mEventDispatcher.Dispatch(object);
    }
    mEventDispatcher.Broadcast(GEventDispatcher::kBroadcast);
}

int GLogicalManager::OnObjectClick(GGameObject* object, bool keepState) {
    if (object == nullptr || mGameState == 0 || mGameState == 4) {
        return 0;
    }
    if (!keepState) {
        SetGameState(2);
    }
    bool accepted = false;
    if (HasClass(object, "GMarivellPowerMeter")) {
        if (mPowerInUse == 0 && object->CheckClick() > 0) {
            GoToScene("take_power", object, nullptr, false);
            accepted = true;
        }
    } else if (HasClass(object, "GJudgingSceneDoor")) {
        if (mHeroine != nullptr && object->CheckClick() > 0) {
            GoToScene("judging_scene_door", object, nullptr, false);
            JoinHeroineToSceneOf(object);
            accepted = true;
        }
    } else if (HasClass(object, "GStudent")) {
        auto* girl = dynamic_cast<GStudent*>(object);
        const int check = object->CheckClick();
        if (check > 0) {
            if (GBaseLogicalScene* scene = GoToScene("make_touchup", object, nullptr, false)) {
                scene->AddObject(mHeroine);
                if (scene->IsFull()) {
                    scene->BeginIfFull();
                }
                PlaySound("click");
                accepted = true;
            } else if (girl != nullptr) {
                // No touch-up came of it: she must not keep a check mark nobody will clear.
                girl->UndoClick();
            }
        } else if (check == 0) {
            JoinHeroineToSceneOf(object);
            if (girl != nullptr) {
                girl->SetCryLock(0);
            }
            PlaySound("click");
            accepted = true;
        }
    }
    if (!accepted) {
        PlaySound("click_empty");
        return 0;
    }
    mHooks->TutorialClick(object);
    return 1;
}

int GLogicalManager::OnGrab(GGameObject* object) {
    mCarriedObject = object;
    if (object == nullptr) {
        return 0;
    }
    if (IsPacifier(object)) {
        return StartCarryPacifier(object);
    }
    if (HasClass(object, "GStudent")) {
        PlaySound("grab");
    }
    object->SetActive(false);
    if (object->GetScenes().empty()) {
        return 0;
    }
    mQueuePreviewOn = false;
    bool full = false;
    if (!mJudgingPlaces.empty() && mJudgingPlaces.front()->HasScene(object->GetSceneName(0))) {
        full = std::all_of(mJudgingPlaces.begin(), mJudgingPlaces.end(),
                           [](GGameObject* place) { return place->GetOccupant() != nullptr; });
        if (HasClass(object->GetHolder(), "GJudgingQueue")) {
            full = false;
        }
        mQueuePreviewOn = !full;
    }
    const std::vector<GGameObject*> objects = LevelObjects();
    for (GGameObject* other : objects) {
        if (other != nullptr && other != object) {
            other->SetMouseEnabled(false);
        }
    }
    GObjectFactory& factory = GObjectFactory::Instance();
    const std::vector<str> scenes = object->GetScenes();
    for (const str& name : scenes) {
        GBaseLogicalScene* prototype = factory.FindScenePrototype(name);
        if (prototype == nullptr) {
            continue;
        }
        prototype->CanAccept(object, false);
        for (GGameObject* other : objects) {
            if (other != nullptr && other->HasPendingTask(true) &&
                prototype->CanAccept(other, true) != 0) {
                other->SetMouseEnabled(!(full && other->CanHold()));
            }
        }
        prototype->ClearObjects();
    }
    SetGameState(3);
    return 1;
}

int GLogicalManager::StartCarryPacifier(GGameObject* object) {
    if (!IsPacifier(object)) {
        return 0;
    }
    object->SetHolder(nullptr);
    if (auto* item = dynamic_cast<GPacifierObject*>(object)) {
        item->OnCarryStart();
    }
    object->SetActive(false);
    mQueuePreviewOn = false;
    for (GGameObject* other : LevelObjects()) {
        if (other != nullptr && other != object) {
            other->SetMouseEnabled(HasClass(other, "GStudent"));
        }
    }
    SetGameState(3);
    return 1;
}

int GLogicalManager::OnDrop(GGameObject* object, GGameObject* target) {
    if (object == nullptr) {
        return 0;
    }
    if (auto* girl = dynamic_cast<GStudent*>(object)) {
        girl->ClearTouchUp();
        girl->NotifyDragEnd();
    }
    if (HasClass(target, "GJudgingSceneDoor") && object->IsStudent()) {
        const auto place =
            std::find_if(mJudgingPlaces.begin(), mJudgingPlaces.end(), [](GGameObject* candidate) {
                return candidate->GetOccupant() == nullptr;
            });
        if (place != mJudgingPlaces.end()) {
            const int result = OnDrop(object, *place);
            if (result != 0) {
                return result;
            }
        }
        if (GGameObject* holder = object->GetHolder()) {
            holder->TakeObject(object);
        }
        // Every place is taken: she goes back, and the carry still ends.
        EndQueuePreview(object);
        object->SetActive(true);
        SetGameState(2);
        mEventDispatcher.Broadcast(GEventDispatcher::kBroadcast);
        return 0;
    }
    EndQueuePreview(object);
    if (mPodiumRequest && HasClass(target, "GJudgingQueue")) {
        mPodiumRequest = false;
    }
    if (IsPacifier(object)) {
        return OnPacifierDrop(object, target);
    }
    object->SetActive(true);
    if (target == nullptr) {
        SetGameState(2);
        if (HasClass(object, "GStudent") && object->GetHolder() != nullptr) {
            mEventDispatcher.Dispatch(object);
        }
        mEventDispatcher.Broadcast(GEventDispatcher::kBroadcast);
        return 0;
    }
    str name;
    if (object->GetScenes().size() == 1) {
        name = object->GetScenes().front();
    } else if (target->GetScenes().size() == 1) {
        name = target->GetScenes().front();
    } else {
        EndCarry(object, target, true);
        return 0;
    }
    if (name.Length() > 0 && target->HasScene(name)) {
        GGameObject* oldHolder = object->GetHolder();
        bool made = false;
        MakeScene(name, object, target, true, false, made);
        if (made && HasClass(object, "GStudent") && oldHolder != target) {
            mEventDispatcher.Dispatch(object);
        }
        mEventDispatcher.Broadcast(GEventDispatcher::kBroadcast);
        return made ? 1 : 0;
    }
    EndCarry(object, target, true);
    return 0;
}

int GLogicalManager::OnDragEnd(GGameObject* object) {
    EndQueuePreview(object);
    if (object != nullptr) {
        object->SetActive(true);
    }
    SetGameState(2);
    mEventDispatcher.Broadcast(GEventDispatcher::kBroadcast);
    if (object != nullptr && mJudgingDoor != nullptr) {
        const str scene = object->GetSceneName(0);
        if (scene.Length() > 0 && mJudgingDoor->IsKnownScene(scene)) {
            RefreshComboNumbers(false);
            GGameObject* holder = object->GetHolder();
            auto* girl = dynamic_cast<GStudent*>(object);
            if (girl != nullptr && holder != nullptr && !HasClass(holder, "GJudgingQueue")) {
                girl->ShowCountNumber(0);
            }
        }
    }
    return 1;
}

int GLogicalManager::OnPacifierDrop(GGameObject* pacifier, GGameObject* target) {
    EndQueuePreview(pacifier);
    if (HasClass(target, "GJudgingQueue")) {
        mPodiumRequest = false;
    }
    const GBaseSimpleTask* task = target != nullptr ? target->GetCurrentTask() : nullptr;
    const bool busy = task != nullptr && (task->GetState() == GBaseSimpleTask::kRunning ||
                                          task->GetState() == GBaseSimpleTask::kResumed);
    SetGameState(2);
    mEventDispatcher.Broadcast(GEventDispatcher::kBroadcast);
    auto* item = dynamic_cast<GPacifierObject*>(pacifier);
    if (target != nullptr && target->IsStudent() && !busy) {
        if (auto* girl = dynamic_cast<GStudent*>(target); girl != nullptr && item != nullptr) {
            girl->TakePacifier(item->GetBaseType(), item->GetPoiseBoost());
        }
        mHooks->TutorialDragEnd(pacifier);
        if (item != nullptr) {
            item->ReturnHome(true);
        }
        return 1;
    }
    if (item != nullptr) {
        item->ReturnHome(false);
    }
    return 0;
}

GBaseLogicalScene* GLogicalManager::GoToScene(const str& name, GGameObject* object,
                                              GGameObject* target, bool forced) {
    if (!forced) {
        if (mGameState == 3) {
            return nullptr;
        }
        EndQueuePreview(object);
    }
    if (object == nullptr || name.Length() == 0) {
        return nullptr;
    }
    return CreateScene(name, object, target, true, forced);
}

bool GLogicalManager::JoinHeroineToSceneOf(GGameObject* object) {
    // By index: beginning a scene may create or end others.
    for (size_t i = 0; i < mLiveScenes.size(); ++i) {
        GBaseLogicalScene* scene = mLiveScenes[i];
        if (scene->IsFull() || scene->IndexOfObject(object) < 0) {
            continue;
        }
        scene->AddObject(mHeroine);
        if (scene->IsFull()) {
            scene->BeginIfFull();
        }
        return true;
    }
    return false;
}

GBaseLogicalScene* GLogicalManager::GoToSceneWithPersonage(const str& name, GGameObject* object,
                                                           GGameObject* personage) {
    GBaseLogicalScene* scene = GoToScene(name, object, nullptr, personage != nullptr);
    if (scene == nullptr) {
        return nullptr;
    }
    if (personage != nullptr) {
        GBaseSimpleTask* task = personage->GetCurrentTask();
        if (task != nullptr && task->GetType() == 1 && !task->IsQueued()) {
            personage->RemoveTask(task);
        }
    } else {
        personage = mHeroine;
    }
    scene->AddObject(personage);
    if (scene->IsFull()) {
        scene->BeginIfFull();
    }
    return IsLiveScene(scene) ? scene : nullptr;
}

GGameObject* GLogicalManager::RequestPersonage(GGameObject* object, const str& action) {
    for (const auto& [name, candidate] : mPersonages) {
        auto* personage = dynamic_cast<GPersonage*>(candidate);
        if (personage != nullptr && personage->HasAction(action)) {
            return GoToSceneWithPersonage(name, object, personage) != nullptr ? personage : nullptr;
        }
    }
    return nullptr;
}

void GLogicalManager::OnTouchUpSceneEnd(GBaseLogicalScene* scene, GGameObject* girl) {
    DestroyScene(scene);
    auto* student = dynamic_cast<GStudent*>(girl);
    if (student != nullptr && student->GetCryLock() == 1) {
        JoinHeroineToSceneOf(student);
        student->SetCryLock(0);
    }
}

int GLogicalManager::RemoveObject(GGameObject* object, bool stopScenes) {
    GLevel* level = GetLevel();
    if (level == nullptr || object == nullptr) {
        return 0;
    }
    if (GGameObject* holder = object->GetHolder()) {
        holder->SetOccupant(nullptr);
        object->SetHolder(nullptr);
        if (HasClass(holder, "GJudgingQueue")) {
            OnQueueChanged();
        }
    }
    if (stopScenes) {
        StopScenesOf(object);
    }
    if (HasClass(object, "GStudent")) {
        mEventDispatcher.Dispatch(object);
    }
    return level->RemoveObject(object, false);
}
