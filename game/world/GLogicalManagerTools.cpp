// The logical manager's developer tools: the object editor's child process, the position editor
// and its saver, and reloading the level from files.
#include "engine/system/platform.h"
#include "engine/ui/windowmanager.h"
#include "game/common/GUserManager.h"
#include "game/visual/GVFactory.h"
#include "game/world/GGameData.h"
#include "game/world/GLevel.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GLogicalManagerHooks.h"
#include "game/world/GObjectFactory.h"
#include "game/world/GProcessLauncher.h"
#include "game/world/GStudent.h"
#include "game/world/GTrellaneSaver.h"
#include "game/world/MainScript.h"

namespace {

const char kEditorTitle[] = "You may set position of object by means of mouse now";

str LevelFile(int level) {
    return str::FromFormat("%s/assets/scripts/stages/level_%d.lua", GetCurrentFolder().CStr(),
                           level);
}

void SetTitle(const str& title) {
    if (TPlatform* platform = TPlatform::GetInstance()) {
        platform->SetWindowTitle(title);
    }
}

void RestoreTitle() {
    TPlatform* platform = TPlatform::GetInstance();
    if (platform != nullptr && platform->GetStringTable() != nullptr) {
        platform->SetWindowTitle(platform->GetStringTable()->GetString("windowtitle"));
    }
}

} // namespace

int GLogicalManager::StartObjectEditor() {
    GUserManager* users = GetUserManager();
    GLevel* level = GetLevel();
    if (users == nullptr || users->IsFullScreen() || level == nullptr) {
        return 0;
    }
    const str line = str::FromFormat("ostrevan.exe assets/scripts/stages/stages.lua %d %d",
                                     level->GetStageNumber(), level->GetLevelNumber());
    if (GetProcessLauncher()->Launch(line.CStr())) {
        RunMainScript("DoModal('scripts/stop_game.lua')");
    }
    return 1;
}

void GLogicalManager::CloseStopGameDialog() {
    if (TWindowManager* windows = GetWindowManager()) {
        windows->DoPopModal("stop_game");
    }
}

int GLogicalManager::StartPositionEditor() {
    GLevel* level = GetLevel();
    if (level == nullptr || level->GetLevelState() != 2) {
        return 0;
    }
    level->SetEditMode(true);
    const str folder = GetCurrentFolder();
    const str variables = str::FromFormat("%s/assets/scripts/stages/variables.lua", folder.CStr());
    if (!GetTrellaneSaver()->Open(LevelFile(level->GetLevelNumber()).CStr(), variables.CStr())) {
        // Nothing moved could be kept: the level stays as it was and playable.
        level->SetEditMode(false);
        ResumeAfterCarry();
        return 0;
    }
    SetTitle(kEditorTitle);
    return 1;
}

int GLogicalManager::StopPositionEditor(bool save) {
    GTrellaneSaver* saver = GetTrellaneSaver();
    if (!save) {
        RestoreTitle();
        return saver->Abort();
    }
    GLevel* level = GetLevel();
    if (level != nullptr) {
        // Hands every editable object's position to the saver.
        level->SetEditMode(false);
    }
    saver->Close(LevelFile(level != nullptr ? level->GetLevelNumber() : 0).CStr());
    RestoreTitle();
    ResumeAfterCarry();
    return 1;
}

bool GLogicalManager::IsPositionEditorOn() const {
    return GetTrellaneSaver()->GetState() == GTrellaneSaver::kOpen;
}

int GLogicalManager::SaveObjectPosition(const str& name, int x, int y) {
    return GetTrellaneSaver()->WriteObject(name.CStr(), x, y);
}

int GLogicalManager::ReloadAll() {
    GLevel* level = GetLevel();
    if (mGameData == nullptr || level == nullptr) {
        return 0;
    }
    if (IsPositionEditorOn()) {
        StopPositionEditor(false);
    }
    const int levelNumber = level->GetLevelNumber();
    const int stageNumber = level->GetStageNumber();
    mGameData->DestroyLevel();
    GObjectFactory::Instance().Clear(false, true);
    GVFactory::Instance().ClearCache();
    ResetTutorials();
    mGameData->Reload();
    LoadScenes("scripts/stages/scenes.lua");
    mHooks->LoadLevel(levelNumber, stageNumber);
    return 1;
}

void GLogicalManager::DebugDrawStudents() {
    for (const auto& [type, girl] : mGirls) {
        if (auto* student = dynamic_cast<GStudent*>(girl)) {
            student->DebugDraw();
        }
    }
}
