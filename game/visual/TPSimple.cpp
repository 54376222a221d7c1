#include "game/visual/TPSimple.h"

#include "engine/core/event.h"
#include "engine/media/renderer.h"
#include "engine/script/script.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowstyle.h"

TWindow* TPSimple::Create() {
    return new TPSimple;
}

bool TPSimple::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TWindow::IsKindOf(id);
}

void TPSimple::Init(TWindowStyle& style) {
    TWindow::Init(style);
    StartAnimation(kAnimationMs, true, true, false);
    mScriptPath = style.GetString("FX_fly", kDefaultScript);
    mParticles.AddParameter("dLocus", &mLocus);
    mParticles.Load(mScriptPath);
    mLocus.mPoint = TVec2(static_cast<float>(style.GetInt("FX_LocalPos_X", 0)),
                          static_cast<float>(style.GetInt("FX_LocalPos_Y", 0)));
    DoLuaString(style.GetBool("PlayFX_OnShow", false) ? "gActive = true;" : "gActive = false;");
}

bool TPSimple::OnAnimate() {
    if (TWindowManager* manager = GetWindowManager()) {
        manager->Invalidate();
    }
    mParticles.Update(kAnimationMs);
    return true;
}

void TPSimple::Draw() {
    TRenderer* renderer = TRenderer::Existing();
    if (renderer == nullptr) {
        return;
    }
    TRenderer2dScope pass;
    pass.mActive = renderer->Begin2d();
    mParticles.Render(nullptr);
}

bool TPSimple::OnMouseButton(const TPoint& /*point*/, int code) {
    if (code != kRightDown) {
        return false;
    }
    DoLuaString("gActive = not gActive;");
    return true;
}

void TPSimple::DoLuaString(const char* text) {
    mParticles.GetScript()->DoLuaString(text);
}
