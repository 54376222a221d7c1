// The logical manager's modal dialogs: a scene opens the choose dialog (the part selector) or the
// power-meter dialog while it waits in a stage, the manager remembers which scene asked under the
// dialog's id, and the answer goes back to that scene, which then ends its stage.
#include "game/common/LuaValues.h"
#include "game/world/GBaseLogicalScene.h"
#include "game/world/GGameObject.h"
#include "game/world/GLevel.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GLogicalManagerHooks.h"
#include "game/world/GSoundEffects.h"
#include "game/world/GStudent.h"

#include <algorithm>

int GLogicalManager::OpenDialogCaller() {
    const int dialog = ++mDialogIdCounter;
    mDialogCallers.push_back(std::make_unique<GSceneDialogCaller>(dialog, mCurrentScene));
    return dialog;
}

std::unique_ptr<GLogicalManager::GSceneDialogCaller> GLogicalManager::TakeDialogCaller(int dialog) {
    const auto found =
        std::find_if(mDialogCallers.begin(), mDialogCallers.end(), [dialog](const auto& caller) {
            return caller->mDialogId == dialog && caller->mScene != nullptr;
        });
    if (found == mDialogCallers.end()) {
        return nullptr;
    }
    // Out of the list before the scene hears the answer: an answer given again from its hooks
    // finds nothing.
    std::unique_ptr<GSceneDialogCaller> caller = std::move(*found);
    mDialogCallers.erase(found);
    return caller;
}

void GLogicalManager::ForgetDialogScene(const GBaseLogicalScene* scene) {
    for (const auto& caller : mDialogCallers) {
        if (caller->mScene == scene) {
            caller->mScene = nullptr;
        }
    }
}

str GLogicalManager::ChooseUserText(const GChooseUserText& t) {
    // The names go in as literals: a quote in a name must not end the string.
    const str name = LuaStringLiteral(t.mObjectName);
    const str scene = LuaStringLiteral(t.mScene);
    const str type = LuaStringLiteral(t.mGirlType);
    str text = str("CurrentObjectId = ") + name + str::FromFormat("; SelectorIDS=%d;", t.mDialog);
    text += str::FromFormat(" SelectorIndObj=%d; SelectorSceneType=", t.mEntry) + scene;
    text += str("; SelectorStudentType=") + type;
    text += str::FromFormat("; SelectorDefaultHairType=%d; SelectorDefaultMakeupType=%d; "
                            "SelectorDefaultMaskType=%d; SelectorDefaultManicureType=%d; "
                            "SelectorWindowsNumber = GetSelectorCount(%d,%d,",
                            t.mHair, t.mMakeup, t.mMask, t.mManicure, t.mStage, t.mLevel);
    text += scene + str(",") + type;
    text += str::FromFormat("); IsSelectorCached=%d;", t.mCached ? 1 : 0);
    return text;
}

void GLogicalManager::CPP_RunChooseUser(int entry) {
    if (mCurrentScene == nullptr) {
        return;
    }
    GChooseUserText values;
    values.mDialog = OpenDialogCaller();
    values.mEntry = entry;
    values.mScene = mCurrentScene->GetName();
    if (GLevel* level = GetLevel()) {
        values.mStage = level->GetStageNumber();
        values.mLevel = level->GetLevelNumber();
    }
    auto* girl = dynamic_cast<GStudent*>(mCurrentScene->GetObject(0));
    if (girl == nullptr) {
        return;
    }
    mHooks->TutorialGameEvent(girl, str("before_") + values.mScene + str("_dialog"));
    values.mObjectName = girl->GetName();
    values.mGirlType = girl->GetBaseType();
    const GLookNumbers& look = girl->GetLookNumbers();
    values.mHair = look.mHair;
    values.mMakeup = look.mMakeup;
    values.mMask = look.mMask;
    values.mManicure = look.mManicure;
    values.mCached = mSelectorWindow != nullptr;
    mHooks->RequestSelector(ChooseUserText(values));
}

void GLogicalManager::CPP_EndChooseUser(int dialog, int entry, int result, int poiseFactor) {
    const std::unique_ptr<GSceneDialogCaller> caller = TakeDialogCaller(dialog);
    if (caller == nullptr) {
        return;
    }
    const char* mood = poiseFactor < 0    ? "girl_sad"
                       : poiseFactor == 0 ? "girl_neutral"
                                          : "girl_happy";
    GSoundEffects::Instance()->Play(str(mood));
    GBaseLogicalScene* scene = caller->mScene;
    scene->OnDialogResult(entry, result, poiseFactor);
    // The answer runs Lua in the girl's state, which may have ended the scene.
    if (IsLiveScene(scene)) {
        scene->FinishStage();
    }
}

void GLogicalManager::CPP_GenerateChooseUser(int participant, int poiseFactor) {
    GGameObject* object = Participant(participant);
    if (object == nullptr) {
        return;
    }
    const int choice = GetChoiceIndex(object->GetBaseType(), mCurrentScene->GetName());
    mCurrentScene->OnDialogResult(participant, choice > 0 ? choice : 1, poiseFactor);
}

void GLogicalManager::CPP_RunPowerMeterDialog(int entry) {
    const int dialog = OpenDialogCaller();
    const str text = str::FromFormat("PowerIDS=%d; PowerIndObj=%d; DoModal('scripts/powers.lua');",
                                     dialog, entry);
    if (mGameState == 3) {
        DeferLuaText(text);
    } else {
        mHooks->QueueLuaText(text);
    }
}

void GLogicalManager::CPP_EndPowerMeterDialog(int dialog, int kind, int value) {
    if (mPowerMeter != nullptr) {
        mPowerMeter->GetScript().DoLuaString(str("ResetPowerMeter();"));
    }
    const std::unique_ptr<GSceneDialogCaller> caller = TakeDialogCaller(dialog);
    if (caller == nullptr) {
        return;
    }
    GBaseLogicalScene* scene = caller->mScene;
    scene->OnChooseResult(kind, value);
    if (IsLiveScene(scene)) {
        scene->FinishStage();
    }
}
