#include "game/shell/GGameCtrl.h"

#include "engine/ui/windowmanager.h"
#include "game/common/WindowScriptState.h"
#include "game/shell/GGameWnd.h"
#include "game/visual/GVFactory.h"
#include "game/visual/GVLayer.h"
#include "game/world/GGameData.h"
#include "game/world/GLevel.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GObjectFactory.h"

GGameCtrl::GGameCtrl() = default;

GGameCtrl::~GGameCtrl() {
    mGameData = nullptr;
    ForgetControlInGameWnd(this);
    GLogicalManager& manager = GLogicalManager::Instance();
    if (mScreen != nullptr && manager.GetGameScreen() == mScreen) {
        manager.SetGameScreen(nullptr);
    }
}

bool GGameCtrl::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TWindow::IsKindOf(id);
}

TWindow* GGameCtrl::Create() {
    return new GGameCtrl;
}

void GGameCtrl::Init(TWindowStyle& style) {
    TWindow::Init(style);
    mLayer = std::make_unique<GVLayer>();
    mLayer->SetWindow(this);
    GVFactory::Instance().SetCurrentLayer(mLayer.get());
    StartAnimation(kAnimationMs, true, true, false);
    if (TModalWindow* modal = GetModalParent()) {
        modal->SetDefaultFocus(this);
    }
}

void GGameCtrl::PostCreate(TWindowStyle& style) {
    TWindow::PostCreate(style);
    mScreen = GetModalParent();
    GLogicalManager::Instance().SetGameScreen(mScreen);
    mGameData = GObjectFactory::Instance().GetGameData();
}

void GGameCtrl::Draw() {
    TWindow::Draw();
    if (mLayer != nullptr) {
        mLayer->Draw();
    }
}

bool GGameCtrl::OnAnimate() {
    GLogicalManager& manager = GLogicalManager::Instance();
    if (!mLuaTexts.empty() && manager.GetGameState() != 3) {
        if (GLevel* level = manager.GetLevel()) {
            level->OnMouseUp(TPoint{-1, -1});
        }
        // Taken out first: the text may queue another.
        const str text = mLuaTexts.front();
        mLuaTexts.erase(mLuaTexts.begin());
        if (TScript* script = WindowScript()) {
            script->DoLuaString(text);
        }
    }
    if (TWindowManager* windows = GetWindowManager()) {
        windows->Invalidate();
    }
    return true;
}

bool GGameCtrl::OnMouseDown(const TPoint& point) {
    return mGameData != nullptr && mGameData->OnMouseDown(point);
}

bool GGameCtrl::OnMouseUp(const TPoint& point) {
    return mGameData != nullptr && mGameData->OnMouseUp(point);
}

bool GGameCtrl::OnMouseMove(const TPoint& point) {
    if (!mTracking) {
        if (TWindowManager* windows = GetWindowManager()) {
            windows->StartTracking(this);
        }
        mTracking = true;
    }
    mLastMouseX = point.x;
    mLastMouseY = point.y;
    return mGameData != nullptr && mGameData->OnMouseMove(point);
}

bool GGameCtrl::OnMouseLeave() {
    if (TWindowManager* windows = GetWindowManager()) {
        windows->StopTracking(this);
    }
    mTracking = false;
    return true;
}

bool GGameCtrl::OnKeyDown(uint8_t key, int modifiers) {
    // The developer cheats take their keys first once they exist.
    if (mGameData != nullptr) {
        mGameData->OnKeyDown(key, modifiers);
    }
    return false;
}

bool GGameCtrl::OnKeyUp(uint8_t key) {
    if (mGameData != nullptr) {
        mGameData->OnKeyUp(key);
    }
    return false;
}

void GGameCtrl::SendOutsideRelease() {
    if (mGameData != nullptr) {
        mGameData->OnMouseUp(TPoint{-10, -10});
    }
}
