// The logical manager's rules for the row of judging places: placing girls into it and moving the
// others along, the drag preview, the combo numbers of girls waiting for the same judging kind,
// the tussles among waiting girls, the end of a judging and the judges' score display.
#include "engine/core/str.h"
#include "engine/script/luawrapper.h"
#include "game/common/StringTableText.h"
#include "game/world/GBaseLogicalScene.h"
#include "game/world/GEventDispatcher.h"
#include "game/world/GGirlLook.h"
#include "game/world/GJudgingQueue.h"
#include "game/world/GJudgingScene.h"
#include "game/world/GJudgingSceneDoor.h"
#include "game/world/GLevel.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GLogicalManagerHooks.h"
#include "game/world/GMainHeroine.h"
#include "game/world/GSoundEffects.h"
#include "game/world/GStudent.h"
#include "game/world/ScriptCall.h"

#include <algorithm>

namespace {

// A first scene name's judging kind is its character at this index; shorter names have none.
constexpr int kKindIndex = 8;
// The search for the lowest poise starts here.
constexpr int kPoiseCeiling = 100000;

bool SameJudgingKind(const str& a, const str& b) {
    constexpr auto at = static_cast<unsigned>(kKindIndex);
    return a.Length() > kKindIndex && b.Length() > kKindIndex && a[at] == b[at];
}

GJudgingQueue* AsPlace(GGameObject* object) {
    return dynamic_cast<GJudgingQueue*>(object);
}

bool IsGirl(const GGameObject* object) {
    return object != nullptr && object->IsStudent();
}

} // namespace

bool GLogicalManager::IsJudgingSceneHeld() const {
    const auto* scene = dynamic_cast<const GJudgingScene*>(mJudgingScene);
    return scene != nullptr && scene->IsHeld();
}

void GLogicalManager::HoldJudgingScene(bool hold) {
    if (auto* scene = dynamic_cast<GJudgingScene*>(mJudgingScene)) {
        scene->SetHold(hold);
    }
}

GGameObject* GLogicalManager::GetFirstQueuePlace() const {
    return mJudgingPlaces.empty() ? nullptr : mJudgingPlaces.front();
}

int GLogicalManager::CountQueuedGirls() const {
    return static_cast<int>(
        std::count_if(mJudgingPlaces.begin(), mJudgingPlaces.end(),
                      [](GGameObject* place) { return place->GetOccupant() != nullptr; }));
}

bool GLogicalManager::AllPlacesOccupied() const {
    return CountQueuedGirls() == GetQueuePlaceCount();
}

GGameObject* GLogicalManager::FirstFreePlace() const {
    for (GGameObject* place : mJudgingPlaces) {
        if (place->GetOccupant() == nullptr) {
            return place;
        }
    }
    return nullptr;
}

int GLogicalManager::PlaceIndex(const GGameObject* place) const {
    const auto found = std::find(mJudgingPlaces.begin(), mJudgingPlaces.end(), place);
    return found != mJudgingPlaces.end() ? static_cast<int>(found - mJudgingPlaces.begin()) : -1;
}

bool GLogicalManager::ShiftOccupant(size_t from, size_t to) {
    GGameObject* girl = mJudgingPlaces[from]->GetOccupant();
    return girl == nullptr || mJudgingPlaces[to]->TakeObject(girl) != 0;
}

bool GLogicalManager::MakeRoomAt(GGameObject* place) {
    const int index = PlaceIndex(place);
    if (index < 0) {
        return false;
    }
    const auto i = static_cast<size_t>(index);
    if (place->GetOccupant() == nullptr) {
        return true;
    }
    // From the free place back to i, so that every girl moves onto an empty place.
    for (size_t free = i + 1; free < mJudgingPlaces.size(); ++free) {
        if (mJudgingPlaces[free]->GetOccupant() == nullptr) {
            for (size_t k = free; k > i; --k) {
                if (!ShiftOccupant(k - 1, k)) {
                    return false;
                }
            }
            return true;
        }
    }
    for (size_t free = i; free-- > 0;) {
        if (mJudgingPlaces[free]->GetOccupant() == nullptr) {
            for (size_t k = free; k < i; ++k) {
                if (!ShiftOccupant(k + 1, k)) {
                    return false;
                }
            }
            return true;
        }
    }
    // A full row: nobody moves.
    return false;
}

bool GLogicalManager::MoveIntoPlace(GGameObject* from, GGameObject* to) {
    if (from != nullptr) {
        if (GGameObject* girl = from->GetOccupant()) {
            girl->SetHolder(nullptr);
        }
        from->SetOccupant(nullptr);
    }
    return MakeRoomAt(to);
}

int GLogicalManager::CompactQueue() {
    return CloseUp(mJudgingPlaces);
}

int GLogicalManager::OnDragOver(GGameObject* girl, GGameObject* place) {
    if (!mQueuePreviewOn || place == nullptr || !place->IsKindOf(GJudgingQueue::sClassId)) {
        return 0;
    }
    ClearQueuePreview(girl);
    GGameObject* holder = girl != nullptr ? girl->GetHolder() : nullptr;
    if (!HasClass(holder, "GJudgingQueue")) {
        return ShowPreview(girl, place);
    }
    // She leaves her place for the moment, so the row sees it free.
    holder->SetOccupant(nullptr);
    girl->SetHolder(nullptr);
    const int result = ShowPreview(girl, place);
    holder->SetOccupant(girl);
    girl->SetHolder(holder);
    return result;
}

void GLogicalManager::OnDragLeave(GGameObject* girl, GGameObject* place) {
    if (mQueuePreviewOn && place != nullptr && place->IsKindOf(GJudgingQueue::sClassId)) {
        ClearQueuePreview(girl);
    }
}

int GLogicalManager::ShowPreview(GGameObject* girl, GGameObject* place) {
    for (GGameObject* each : mJudgingPlaces) {
        if (GJudgingQueue* queue = AsPlace(each)) {
            queue->SetPreviewOccupant(each->GetOccupant());
        }
    }
    const int index = PlaceIndex(place);
    if (index < 0) {
        return 0;
    }
    const auto i = static_cast<size_t>(index);
    // The girl of place k shown at place to; the preview follows so the combo numbers do.
    const auto showAt = [this](size_t k, size_t to) {
        GGameObject* shown = mJudgingPlaces[k]->GetOccupant();
        if (GJudgingQueue* queue = AsPlace(mJudgingPlaces[to])) {
            queue->PlaceGirl(shown);
            queue->SetPreviewOccupant(shown);
        }
    };
    if (place->GetOccupant() != nullptr) {
        size_t free = i + 1;
        while (free < mJudgingPlaces.size() && mJudgingPlaces[free]->GetOccupant() != nullptr) {
            ++free;
        }
        if (free < mJudgingPlaces.size()) {
            for (size_t k = free; k > i; --k) {
                showAt(k - 1, k);
            }
        } else {
            size_t before = i;
            while (before > 0 && mJudgingPlaces[before - 1]->GetOccupant() != nullptr) {
                --before;
            }
            if (before > 0) {
                for (size_t k = before - 1; k < i; ++k) {
                    showAt(k + 1, k);
                }
            }
        }
    }
    if (GJudgingQueue* queue = AsPlace(place)) {
        queue->SetPreviewOccupant(girl);
    }
    if (!AllPlacesOccupied()) {
        RefreshComboNumbers(true);
    }
    return 1;
}

void GLogicalManager::ForgetInRow(const GGameObject* object) {
    for (GGameObject* place : mJudgingPlaces) {
        if (GJudgingQueue* queue = AsPlace(place)) {
            queue->ForgetGirl(object);
        }
    }
}

int GLogicalManager::ClearQueuePreview(GGameObject* except) {
    for (GGameObject* place : mJudgingPlaces) {
        GGameObject* girl = place->GetOccupant();
        GJudgingQueue* queue = AsPlace(place);
        if (girl != nullptr && girl != except && queue != nullptr) {
            queue->PlaceGirl(girl);
        }
    }
    return GetQueuePlaceCount();
}

void GLogicalManager::RefreshComboNumbers(bool usePreview) {
    const auto* scene = dynamic_cast<const GJudgingScene*>(mJudgingScene);
    int count = scene != nullptr ? scene->GetComboCount() : 0;
    str key = scene != nullptr ? scene->GetLastEvent() : str();
    if (key.Length() > 0) {
        ++count;
    }
    for (GGameObject* place : mJudgingPlaces) {
        const GJudgingQueue* queue = AsPlace(place);
        GGameObject* object =
            usePreview && queue != nullptr ? queue->GetPreviewOccupant() : place->GetOccupant();
        auto* girl = dynamic_cast<GStudent*>(object);
        if (girl == nullptr) {
            continue;
        }
        const str scene = girl->GetSceneName(0);
        if (count != 0 && SameJudgingKind(scene, key)) {
            girl->ShowCountNumber(++count);
            continue;
        }
        key = scene;
        girl->ShowCountNumber(0);
        count = 1;
    }
}

void GLogicalManager::OnQueueChanged() {
    RefreshComboNumbers(false);
    const int waiting = CountQueuedGirls();
    if (auto* door = dynamic_cast<GJudgingSceneDoor*>(mJudgingDoor)) {
        door->OnQueueCount(waiting);
    } else if (auto* scene = dynamic_cast<GJudgingScene*>(mJudgingScene)) {
        scene->SetEnterRequests(waiting);
    }
}

int GLogicalManager::GetJudgingComboBonus(int& count, str& label, str& key) {
    auto* scene = dynamic_cast<GJudgingScene*>(mJudgingScene);
    if (scene == nullptr) {
        return 0;
    }
    key = scene->GetLastEvent();
    label = StringTableText(key);
    count = scene->GetComboCount();
    if (count > 0) {
        ++count;
    }
    return scene->GetComboBonus();
}

GGameObject* GLogicalManager::TakeFirstWaitingGirl() {
    for (GGameObject* place : mJudgingPlaces) {
        GGameObject* girl = place->GetOccupant();
        if (girl == nullptr) {
            continue;
        }
        if (girl->GetCurrentTask() != nullptr) {
            return nullptr;
        }
        place->SetOccupant(nullptr);
        girl->SetHolder(nullptr);
        return girl;
    }
    return nullptr;
}

void GLogicalManager::OnEndJudging(GGameObject* girl) {
    if (girl == nullptr) {
        return;
    }
    if (GLevel* level = GetLevel(); level != nullptr && level->GetJudgingsPending() > 0) {
        level->AddJudgingsPending(-1);
        mHooks->UpdateJudgingCount();
    }
    auto* student = dynamic_cast<GStudent*>(girl);
    if (student == nullptr || student->ReturnToPreQueue() == 0) {
        mEventDispatcher.Dispatch(girl);
        if (GLevel* level = GetLevel()) {
            // She is deleted: no live scene, holder or registry keeps her.
            level->RemoveObject(girl, true);
        }
    }
    const int waiting = CountQueuedGirls();
    if (auto* scene = dynamic_cast<GJudgingScene*>(mJudgingScene)) {
        scene->OnJudgingDone(waiting);
    }
    if (auto* door = dynamic_cast<GJudgingSceneDoor*>(mJudgingDoor)) {
        door->OnQueueEmptied(waiting);
    }
}

void GLogicalManager::CPP_OnEndJudging() {
    OnEndJudging(Participant(0));
}

void GLogicalManager::CPP_OnEnterPodium(int flag) {
    if (mGameState == 3) {
        mPodiumRequest = true;
        return;
    }
    const int moved = CompactQueue();
    if (flag != 0 && moved > 0) {
        if (auto* heroine = dynamic_cast<GMainHeroine*>(mHeroine)) {
            heroine->DoBlessing(moved);
        }
    }
    mPodiumRequest = false;
}

void GLogicalManager::CPP_CheckComboNumbers() {
    RefreshComboNumbers(false);
}

int GLogicalManager::FindTussleCandidate(int limit, int& poise) {
    int lowest = kPoiseCeiling;
    int found = -1;
    for (size_t i = 0; i < mJudgingPlaces.size(); ++i) {
        GGameObject* girl = mJudgingPlaces[i]->GetOccupant();
        if (!IsGirl(girl)) {
            continue;
        }
        const int value = LuaNumberToInt(girl->GetScript().GetGlobalNumber(str("current_poise")));
        if (value < lowest) {
            lowest = value;
            found = static_cast<int>(i);
        }
    }
    if (found < 0 || lowest > limit) {
        poise = 0;
        return -1;
    }
    poise = lowest;
    return found;
}

int GLogicalManager::GetTussleDelay(int mode) {
    int poise = 0;
    if (FindTussleCandidate(kPoiseCeiling, poise) < 0) {
        return 0;
    }
    return ScriptCallInt(mSceneScript.get(), str("CalcTussleDelayTime"), poise, mode);
}

int GLogicalManager::StartTussle(int index) {
    if (index < 0 || index >= GetQueuePlaceCount()) {
        return 0;
    }
    const auto i = static_cast<size_t>(index);
    GGameObject* place = mJudgingPlaces[i];
    GGameObject* girl = IsGirl(place->GetOccupant()) ? place->GetOccupant() : nullptr;
    GGameObject* rivalPlace = nullptr;
    if (i + 1 < mJudgingPlaces.size() && IsGirl(mJudgingPlaces[i + 1]->GetOccupant())) {
        rivalPlace = mJudgingPlaces[i + 1];
    } else if (i > 0 && IsGirl(mJudgingPlaces[i - 1]->GetOccupant())) {
        rivalPlace = mJudgingPlaces[i - 1];
    }
    GGameObject* rival = rivalPlace != nullptr ? rivalPlace->GetOccupant() : nullptr;
    if (girl == nullptr || rival == nullptr || girl->GetCurrentTask() != nullptr ||
        rival->GetCurrentTask() != nullptr) {
        return 0;
    }
    GBaseLogicalScene* scene = GoToScene(str("tussle"), girl, rival, true);
    if (scene == nullptr) {
        return 0;
    }
    const bool rivalFirst = rivalPlace->GetPosition().x < place->GetPosition().x;
    scene->AddObject(rivalFirst ? rivalPlace : place);
    scene->AddObject(rivalFirst ? place : rivalPlace);
    scene->BeginIfFull();
    return 1;
}

void GLogicalManager::ShowJudgesScore(GGameObject* girl, int points) {
    TScript* script = mSceneScript.get();
    const str judges = ScriptCallStr(script, str("GetJudgesAnimationState"), points);
    GSoundEffects::Instance()->Play(judges);
    int scores[3] = {};
    for (int& score : scores) {
        score = ScriptCallInt(script, str("GetJudgesAnimationScore"), points);
    }
    const str girlState = ScriptCallStr(script, str("GetStudentAnimationState"), points);
    if (auto* student = dynamic_cast<GStudent*>(girl)) {
        GGirlLook look;
        student->GetLook(look);
        const int makeup = look.mNumbers.mMakeup;
        const int lips = makeup >= 1 && makeup <= 8 ? makeup : 1;
        TScript& own = student->GetScript();
        own.SetGlobalString(str("judging_lips_state"),
                            str::FromFormat("lips_%s_%02d", girlState.CStr(), lips));
        own.SetGlobalString(str("judging_particles_state"),
                            str::FromFormat("particles_%s", girlState.CStr()));
    }
    if (auto* scene = dynamic_cast<GJudgingScene*>(mJudgingScene)) {
        scene->SetJudgesState(str::FromFormat("judges_%s", judges.CStr()));
        for (int judge = 1; judge <= 3; ++judge) {
            scene->SetJudgesState(str::FromFormat("judges_%d_score_%d", judge, scores[judge - 1]));
        }
    }
}
