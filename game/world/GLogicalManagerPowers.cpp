// The logical manager's powers: speed (the heroine runs faster for a while), make-up and hair
// style (the heroine leaves what she does and serves every girl waiting in the matching stations
// at once) and poise (a glow on the heroine that raises every girl's poise). A power that must
// wait for the heroine's scene keeps a record until that scene is over; its scenes' ends finish
// it.
#include "game/visual/GFlyEmitter.h"
#include "game/world/GBaseLogicalScene.h"
#include "game/world/GBaseSimpleTask.h"
#include "game/world/GGameData.h"
#include "game/world/GLevel.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GLogicalManagerHooks.h"
#include "game/world/GMainHeroine.h"
#include "game/world/GSoundEffects.h"
#include "game/world/GStudent.h"

#include <algorithm>

namespace {

void PlayPowerSound(const char* name) {
    GSoundEffects::Instance()->Play(str(name));
}

bool Contains(const std::vector<str>& names, const str& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

} // namespace

int GLogicalManager::CanUsePower(int kind) const {
    return mPowerInUse == 0 && mPowerRecords.empty() && kind >= 1 && kind <= 4 ? 1 : 0;
}

int GLogicalManager::UsePower(int kind) {
    if (mPowerInUse != 0 || !mPowerRecords.empty()) {
        return 0;
    }
    // Every power is the heroine's: a level without her has none to give.
    auto* heroine = dynamic_cast<GMainHeroine*>(mHeroine);
    if (heroine == nullptr || kind < 1 || kind > 4) {
        return 0;
    }
    mPowerInUse = kind;
    if (kind == 1) {
        heroine->UseSpeedPower(1);
        PlayPowerSound("speed_power");
        return 1;
    }
    GPowerRecord record;
    record.mOwner = heroine;
    record.mKind = kind;
    if (kind == 4) {
        record.mSavedSpeed = 0;
    } else {
        record.mSceneNames.emplace_back(kind == 2 ? "makeup" : "hairstyle");
        if (mGameData != nullptr) {
            record.mPowerSpeed = mGameData->GetPowerParam("dialog_powers_data", "speed");
        }
        record.mSavedSpeed = heroine->ReadSpeed();
    }
    mPowerRecords.clear();
    if (GBaseSimpleTask* task = heroine->GetCurrentTask()) {
        const int state = task->GetState();
        if (state == GBaseSimpleTask::kRunning || state == GBaseSimpleTask::kResumed) {
            if (task->GetListener() != nullptr) {
                record.mPendingScene = task->GetListener()->GetNumber();
            } else {
                task->Finish(!IsClosing());
            }
        }
    }
    mPowerRecords.push_back(record);
    if (PowerScenesFree()) {
        StartPower();
    }
    return 1;
}

bool GLogicalManager::PowerScenesFree() const {
    return std::none_of(mPowerRecords.begin(), mPowerRecords.end(),
                        [](const GPowerRecord& record) { return record.mPendingScene > 0; });
}

void GLogicalManager::DropPower() {
    mHooks->ShowPowerButtons(true);
    mPowerInUse = 0;
    mPowerRecords.clear();
}

int GLogicalManager::StartPower() {
    if (mPowerRecords.empty()) {
        return 0;
    }
    for (GPowerRecord& record : mPowerRecords) {
        record.mState = GPowerRecord::kStarted;
    }
    const int kind = mPowerRecords.front().mKind;
    int result = 0;
    if (kind == 2 || kind == 3) {
        result = TakeGirlsForPower();
    } else if (kind == 4) {
        result = 1;
    }
    if (kind == 2) {
        PlayPowerSound("makeup_power");
    } else if (kind == 3) {
        PlayPowerSound("hair_power");
    } else if (kind == 4) {
        PlayPowerSound("poise_power");
    }
    if (result >= 1) {
        StartPowerScenes();
        // Without a power scene nothing would ever finish the power: it ends now.
        const bool noScene =
            std::all_of(mPowerRecords.begin(), mPowerRecords.end(),
                        [](const GPowerRecord& record) { return record.mPowerScene == 0; });
        if (mPowerRecords.empty() || !noScene) {
            return result;
        }
    }
    for (size_t i = 0; i < mPowerRecords.size(); ++i) {
        FinishPowerRecord(static_cast<int>(i));
    }
    DropPower();
    return result;
}

int GLogicalManager::TakeGirlsForPower() {
    if (mPowerRecords.empty()) {
        return 0;
    }
    const std::vector<str> names = mPowerRecords.front().mSceneNames;
    std::vector<GGameObject*> girls;
    // Destroying a scene changes the live list: it is walked from a copy, each scene asked
    // whether it still lives.
    const std::vector<GBaseLogicalScene*> scenes = mLiveScenes;
    for (GBaseLogicalScene* scene : scenes) {
        if (!IsLiveScene(scene) || scene->GetStageIndex() >= 1 ||
            !Contains(names, scene->GetName())) {
            continue;
        }
        // A station without a girl has nobody to give the power: it goes on.
        GGameObject* girl = scene->GetStudent();
        if (girl == nullptr) {
            continue;
        }
        girls.push_back(girl);
        girl->LeaveScene(scene->GetName(), false);
        scene->StopTasks();
        DestroyScene(scene);
    }
    for (GGameObject* girl : girls) {
        const std::vector<GBaseLogicalScene*> others = mLiveScenes;
        for (GBaseLogicalScene* scene : others) {
            if (!IsLiveScene(scene) || scene->IndexOfObject(girl) < 0) {
                continue;
            }
            scene->StopTasks();
            girl->LeaveScene(scene->GetName(), true);
            DestroyScene(scene);
        }
    }
    if (!mPowerRecords.empty()) {
        std::vector<GGameObject*>& taken = mPowerRecords.front().mGirls;
        taken.insert(taken.end(), girls.begin(), girls.end());
    }
    return static_cast<int>(girls.size());
}

void GLogicalManager::StartPowerScenes() {
    if (mPowerRecords.empty()) {
        return;
    }
    const int kind = mPowerRecords.front().mKind;
    if (kind == 4) {
        GBaseLogicalScene* scene = CreateScene("poise_power", mHeroine, nullptr, false, true);
        if (scene != nullptr && !mPowerRecords.empty()) {
            scene->SetWalkMode(true);
            scene->SetHold(false);
            mPowerRecords.front().mPowerScene = scene->GetNumber();
            scene->BeginIfFull();
        }
        return;
    }
    if (kind != 2 && kind != 3) {
        return;
    }
    auto* heroine = dynamic_cast<GPersonage*>(mHeroine);
    if (heroine == nullptr) {
        return;
    }
    const str name = kind == 2 ? "makeup_power" : "hairstyle_power";
    const int saved = heroine->ReadSpeed();
    heroine->SaveTasks();
    // A power scene may end while the next is made, and its end may finish the power: the records
    // are looked up by index each time.
    for (size_t r = 0; r < mPowerRecords.size(); ++r) {
        const std::vector<GGameObject*> girls = mPowerRecords[r].mGirls;
        for (GGameObject* girl : girls) {
            if (r >= mPowerRecords.size()) {
                break;
            }
            girl->CheckClick();
            GBaseLogicalScene* scene = CreateScene(name, girl, nullptr, true, true);
            if (scene == nullptr || r >= mPowerRecords.size()) {
                continue;
            }
            scene->SetWalkMode(true);
            scene->SetHold(false);
            girl->ModifyCheck(0);
            scene->AddObject(heroine);
            scene->AddObject(girl->GetHolder());
            GPowerRecord& record = mPowerRecords[r];
            record.mSavedSpeed = saved;
            heroine->SetSpeed(record.mPowerSpeed);
            record.mPowerScene = scene->GetNumber();
            scene->BeginIfFull();
            if (auto* student = dynamic_cast<GStudent*>(girl)) {
                student->SetCryLock(0);
            }
        }
    }
    heroine->RestoreTasks();
}

int GLogicalManager::OnPowerSceneEvent(GGameObject* personage, int sceneNumber) {
    if (mPowerRecords.empty()) {
        return 0;
    }
    bool owned = false;
    bool finished = false;
    for (size_t i = 0; i < mPowerRecords.size(); ++i) {
        GPowerRecord& record = mPowerRecords[i];
        if (record.mOwner != personage) {
            continue;
        }
        owned = true;
        if (record.mPendingScene == sceneNumber) {
            record.mPendingScene = 0;
        } else if (record.mPowerScene == sceneNumber) {
            FinishPowerRecord(static_cast<int>(i));
            finished = true;
        }
    }
    if (!owned) {
        return 0;
    }
    if (mPowerRecords.front().mState == GPowerRecord::kWaiting) {
        if (PowerScenesFree()) {
            StartPower();
        }
        return 1;
    }
    if (finished) {
        CheckPowerEnd();
    }
    return 0;
}

int GLogicalManager::FinishPowerRecord(int index) {
    if (index < 0 || static_cast<size_t>(index) >= mPowerRecords.size()) {
        return 0;
    }
    GPowerRecord& record = mPowerRecords[static_cast<size_t>(index)];
    record.mState = GPowerRecord::kFinished;
    if (auto* owner = dynamic_cast<GPersonage*>(record.mOwner); owner && record.mSavedSpeed > 0) {
        owner->SetSpeed(record.mSavedSpeed);
    }
    return 1;
}

void GLogicalManager::CheckPowerEnd() {
    if (std::all_of(mPowerRecords.begin(), mPowerRecords.end(), [](const GPowerRecord& record) {
            return record.mState == GPowerRecord::kFinished;
        })) {
        DropPower();
    }
}

void GLogicalManager::ForgetPowerObject(const GGameObject* object) {
    for (GPowerRecord& record : mPowerRecords) {
        if (record.mOwner == object) {
            record.mOwner = nullptr;
        }
        std::erase(record.mGirls, object);
    }
}

void GLogicalManager::CPP_OnPoisePower(int kind, int /*ignored*/) {
    switch (kind) {
    case 0: {
        for (GGameObject* object : LevelObjects()) {
            object->SetStrategyMode(true);
        }
        mPoiseEffect = CreateParticleEffect("particles/bess_total_shine.lua");
        // The glow starts on the heroine; without her it has nowhere to be.
        if (mPoiseEffect != nullptr && mHeroine != nullptr) {
            mPoiseEffect->SetStartPosition(-20.0f, -80.0f);
            const TVec2 at = mHeroine->GetPosition();
            mPoiseEffect->SetPosition(at.x, at.y);
            mPoiseEffect->Fly(3000);
        }
        break;
    }
    case 1: {
        const int poise =
            mGameData != nullptr ? mGameData->GetPowerParam("poise", "poise_power") : 0;
        std::vector<GGameObject*> girls;
        for (const auto& [type, girl] : mGirls) {
            girls.push_back(girl);
        }
        for (GGameObject* girl : girls) {
            if (auto* student = dynamic_cast<GStudent*>(girl)) {
                student->ChangePoisePower(poise);
            }
        }
        break;
    }
    case 2:
        for (GGameObject* object : LevelObjects()) {
            object->SetStrategyMode(false);
        }
        if (mPoiseEffect != nullptr) {
            mPoiseEffect->GetMobile().Release();
        }
        break;
    default:
        break;
    }
}
