#include "game/shell/GSelectPopupper.h"

#include "engine/media/renderer.h"
#include "engine/ui/windowmanager.h"
#include "game/common/WindowKind.h"
#include "game/common/WindowScriptState.h"
#include "game/shell/GSelectMenu.h"
#include "game/world/GGameObject.h"
#include "game/world/GLogicalManager.h"

namespace {

constexpr float kScaleStep = 0.1f;
constexpr float kLastGrowth = 0.95f;

} // namespace

GSelectPopupper::GSelectPopupper() = default;

GSelectPopupper::~GSelectPopupper() {
    if (mMenu != nullptr) {
        mMenu->ForgetPopupper(this);
    }
}

bool GSelectPopupper::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TWindow::IsKindOf(id);
}

TWindow* GSelectPopupper::Create() {
    return new GSelectPopupper;
}

void GSelectPopupper::Init(TWindowStyle& style) {
    TWindow::Init(style);
    mPicture = TTexture::CreateRenderTarget(kPictureWidth, kPictureHeight, true);
    AddMemberTask(this, &GSelectPopupper::RequestRedraw, GetModalParent(), kTaskMs);
}

void GSelectPopupper::ForgetMenu(const GSelectMenu* menu) {
    if (mMenu == menu) {
        mMenu = nullptr;
        mOpening = false;
    }
}

bool GSelectPopupper::RequestRedraw() {
    if (mOpening) {
        if (TWindowManager* windows = GetWindowManager()) {
            windows->Invalidate();
        }
    }
    return true;
}

void GSelectPopupper::Capture(GSelectMenu* menu) {
    mMenu = menu;
    TRenderer* renderer = TRenderer::Existing();
    if (renderer != nullptr && mPicture) {
        for (int mode : {1, 4}) {
            if (renderer->BeginRenderTarget(mPicture, mode)) {
                menu->DrawTree();
                renderer->EndRenderTarget();
            }
        }
    }
    mStartX = kCentreX;
    mStartY = kCentreY;
    if (GGameObject* heroine = GLogicalManager::Instance().GetHeroine()) {
        mStartX = heroine->GetPosition().x;
        mStartY = heroine->GetPosition().y;
    }
    mStepX = (kCentreX - mStartX) / static_cast<float>(kFlightFrames);
    mStepY = (kCentreY - mStartY) / static_cast<float>(kFlightFrames);
    mOffsetX = mStepX;
    mOffsetY = mStepY;
    mScale = 0.0f;
    mOpening = true;
}

void GSelectPopupper::Draw() {
    if (!mOpening) {
        return;
    }
    if (mScale <= kLastGrowth) {
        mScale += kScaleStep;
        mDrawnX = mStartX + mOffsetX;
        mDrawnY = mStartY + mOffsetY;
        if (mPicture) {
            TRenderer* renderer = TRenderer::Existing();
            TRenderer2dScope pass;
            pass.mActive = renderer != nullptr && renderer->Begin2d();
            mPicture->DrawAt(mDrawnX, mDrawnY, 1.0f, mScale, 0.0f, 0);
        }
        mOffsetX += mStepX;
        mOffsetY += mStepY;
        return;
    }
    mScale = 1.0f;
    if (mMenu != nullptr) {
        SetWindowShown(mMenu, true);
    }
    if (TScript* script = WindowScript()) {
        script->DoLuaString("SetImageAlpha('grayimage', 0.3);");
    }
    mScale = 0.0f;
    mOpening = false;
}
