#include "game/shell/TLoaderWindow.h"

#include "engine/script/lua/luanumber.h"
#include "engine/ui/image.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowscript.h"
#include "game/common/WindowScriptState.h"
#include "game/shell/TProgressBar.h"
#include "game/visual/GVFactory.h"
#include "game/world/GGameData.h"
#include "game/world/GLevel.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GObjectFactory.h"
#include "game/world/GPlayerInfo.h"

namespace {

constexpr int kTickMs = 100;
constexpr float kDone = 100.0f;
constexpr float kLoadGameStep = 32.0f;
constexpr float kPreloadLevelStep = 64.0f;

} // namespace

TWindow* TLoaderWindow::Create() {
    return new TLoaderWindow;
}

bool TLoaderWindow::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TWindow::IsKindOf(id);
}

void TLoaderWindow::ForgetLoads() {
    sLoadsFinished = 0;
    sCursorSet = false;
    sProgressToLoad = true;
}

void TLoaderWindow::PostCreate(TWindowStyle& style) {
    TWindow::PostCreate(style);
    if (!sCursorSet) {
        sCursorSet = true;
        GLogicalManager::Instance().SetCursor(0);
    }
    SetSize(800, 600);
    TWindow* bar = FindChild("LoadingProgressing", -1);
    mBar = bar != nullptr && bar->IsKindOf(TProgressBar::ClassId())
               ? static_cast<TProgressBar*>(bar)
               : nullptr;
    TWindow* gray = FindChild("grayimage", -1);
    mGrayImage =
        gray != nullptr && gray->IsKindOf(TImage::ClassId()) ? static_cast<TImage*>(gray) : nullptr;
    StartAnimation(kTickMs, true, true, false);
    if (sProgressToLoad) {
        sProgressToLoad = false;
        GPlayerInfo::Instance()->CPP_LoadGO();
    }
}

float TLoaderWindow::GetValue() const {
    return mBar != nullptr ? mBar->GetValue() : mOwnValue;
}

bool TLoaderWindow::OnAnimate() {
    const float value = GetValue();
    if (value < kDone) {
        Step(value + 1.0f);
        return true;
    }
    TScript* script = WindowScript();
    if (sLoadsFinished == 0) {
        ++sLoadsFinished;
        if (script != nullptr) {
            script->DoLuaString("SwapToModal('scripts/mainmenu.lua');");
        }
        return false;
    }
    ++sLoadsFinished;
    if (script != nullptr) {
        script->DoLuaString("CheckBeforeCloseLoader();");
    }
    return false;
}

void TLoaderWindow::Step(float step) {
    // Each piece of work runs once an opening, at the step that reaches or passes its mark: a bar
    // that starts elsewhere than 0 never hits the marks exactly.
    if (!mGameLoaded && step >= kLoadGameStep) {
        mGameLoaded = true;
        LoadGame();
    }
    if (!mLevelPreloaded && step >= kPreloadLevelStep) {
        mLevelPreloaded = true;
        PreloadLevel();
    }
    if (mBar != nullptr) {
        mBar->SetValue(mBar->GetValue() + step);
    } else {
        mOwnValue += step;
    }
    if (mGrayImage != nullptr) {
        mGrayImage->SetAlpha(mGrayImage->GetAlpha() - step / 100.0f);
    }
}

void TLoaderWindow::LoadGame() {
    GLogicalManager& manager = GLogicalManager::Instance();
    if (sLoadsFinished == 0) {
        manager.SetGameData(GObjectFactory::Instance().GetGameData());
        manager.LoadScenes("scripts/stages/scenes.lua");
        return;
    }
    // The game data and the scene prototypes stay: the logical manager holds the one and every
    // later level needs the other.
    GObjectFactory::Instance().Clear(false, false);
    GVFactory::Instance().ClearCache();
}

void TLoaderWindow::PreloadLevel() {
    GLogicalManager& manager = GLogicalManager::Instance();
    if (GGameData* data = manager.GetGameData()) {
        data->DestroyLevel();
    }
    TScript* script = WindowScript();
    const int level = script != nullptr ? LuaNumberToInt(script->GetGlobalNumber("gLevelNum")) : 0;
    const int stage = script != nullptr ? LuaNumberToInt(script->GetGlobalNumber("gStageNum")) : 0;
    GLevel* preloaded = GObjectFactory::Instance().CreateLevel(level, stage, true);
    manager.ResetLevel();
    delete preloaded;
}
