// The logical manager's tutorials: the level's tutorial set, the mark that the player has seen
// it, and the level objects the tutorial steps name.
#include "game/world/GGameObject.h"
#include "game/world/GLevel.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GPlayerInfo.h"
#include "game/world/GTutorialFilter.h"

#include <algorithm>

namespace {

str TutorialMark(int level) {
    return str::FromFormat("tutorial_%02d", level);
}

} // namespace

void GLogicalManager::SetTutorialMaker(GTutorialMaker maker) {
    mTutorialProcessor.reset();
    mTutorialFile = str();
    mTutorialMaker = maker;
}

void GLogicalManager::LoadLevelTutorial(int level) {
    str file = str::FromFormat("scripts/stages/tutorial_%02d.lua", level);
    if (GPlayerInfo::Instance()->GetUserValue(TutorialMark(level), 0) == 1) {
        file = str();
    }
    if (mTutorialProcessor != nullptr && mTutorialFile.Length() != 0 && !(mTutorialFile == file)) {
        mTutorialProcessor->UnloadSet(mTutorialFile);
    }
    if (mTutorialProcessor == nullptr) {
        if (mTutorialMaker == nullptr) {
            return;
        }
        mTutorialProcessor = mTutorialMaker();
        if (mTutorialProcessor == nullptr ||
            !mTutorialProcessor->Load("scripts/stages/tutorials.lua")) {
            mTutorialProcessor.reset();
            return;
        }
    }
    if (!(file == mTutorialFile)) {
        // An empty name reads nothing, so a seen tutorial leaves no set behind.
        mTutorialFile = mTutorialProcessor->LoadFile(file) ? file : str();
    }
}

void GLogicalManager::MarkLevelTutorialSeen() {
    const GLevel* level = GetLevel();
    GPlayerInfo::Instance()->SetUserValue(
        TutorialMark(level != nullptr ? level->GetLevelNumber() : 0), 1);
}

GGameObject* GLogicalManager::FindObjectByFilter(const GTutorialFilter* filter) const {
    if (filter == nullptr) {
        return nullptr;
    }
    const std::vector<GGameObject*> objects = LevelObjects();
    const auto found =
        std::find_if(objects.begin(), objects.end(),
                     [filter](const GGameObject* object) { return filter->Matches(object); });
    return found != objects.end() ? *found : nullptr;
}

int GLogicalManager::SetObjectsEnabled(int lock,
                                       const std::vector<const GTutorialFilter*>& exceptions) {
    const std::vector<GGameObject*> objects = LevelObjects();
    if (objects.empty()) {
        return 0;
    }
    for (GGameObject* object : objects) {
        if (object == nullptr) {
            continue;
        }
        const bool excepted =
            std::any_of(exceptions.begin(), exceptions.end(), [object](const GTutorialFilter* f) {
                return f != nullptr && f->Matches(object);
            });
        const bool value = excepted ? lock == 0 : lock != 0;
        object->SetMouseLocked(value);
        object->SetMouseBlocked(value);
    }
    return static_cast<int>(objects.size());
}

void GLogicalManager::ResetTutorials() {
    if (mTutorialProcessor == nullptr) {
        return;
    }
    mTutorialFile = "trunk";
    mTutorialProcessor->Clear();
    mTutorialProcessor->Reset();
}
