#include "game/shell/GGameCtrl.h"

#include "engine/media/renderer.h"
#include "engine/ui/textsprite.h"
#include "engine/ui/windowmanager.h"
#include "game/common/WindowScriptState.h"
#include "game/shell/GCheats.h"
#include "game/shell/GGameWnd.h"
#include "game/visual/GVFactory.h"
#include "game/visual/GVLayer.h"
#include "game/world/GGameData.h"
#include "game/world/GLevel.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GObjectFactory.h"

GGameCtrl::GGameCtrl() : mHintSprite(nullptr, &TTextSprite::Delete) {}

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
    mCheats = std::make_unique<GCheatManager>();
    TScript* script = WindowScript();
    if (script != nullptr && script->GetGlobalNumber("gCheatMode") == 1) {
        AddDeveloperCheats(*mCheats, *this);
    }
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
    if (mCheats != nullptr && mCheats->GetCheatCount() > 0 && mCheats->IsHintShown()) {
        DrawCheatHint();
    }
}

void GGameCtrl::DrawCheatHint() {
    TRenderer* renderer = TRenderer::Existing();
    if (renderer == nullptr) {
        return;
    }
    const TRect area = GetClientRect();
    if (mHintSprite == nullptr) {
        mHintSprite.reset(TTextSprite::Create(mCheats->GetHintText(), area.right - area.left,
                                              area.bottom - area.top, 0, "", kHintFontSize,
                                              TColor{1.0f, 1.0f, 1.0f, 1.0f}));
    }
    mHintSprite->SetText(mCheats->GetHintText());
    TRenderer2dScope pass;
    pass.mActive = renderer->Begin2d();
    mHintSprite->DrawInRect(area, 1.0f, 0, 1.0f, TTexturePtr());
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
    if (mCheats != nullptr && mCheats->OnKey(key)) {
        return true;
    }
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
