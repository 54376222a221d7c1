#include "game/world/GStratMousePikUp.h"

#include "game/visual/GVObject.h"
#include "game/world/GStateKey.h"
#include "game/world/G_VoidLink.h"

GMouseInteraction& MouseInteraction() {
    static GMouseInteraction interaction;
    return interaction;
}

namespace {

// Forgets the target wherever the shared state names it.
void ForgetTarget(const G_VoidLink* target) {
    if (target == nullptr) {
        return;
    }
    GMouseInteraction& shared = MouseInteraction();
    for (G_VoidLink** entry : {&shared.mPressed, &shared.mHovered, &shared.mDropTarget}) {
        if (*entry == target) {
            *entry = nullptr;
        }
    }
}

} // namespace

GStratMousePikUp::~GStratMousePikUp() {
    ForgetTarget(mTarget);
}

bool GStratMousePikUp::OnMouseDown(TPoint /*point*/) {
    return true;
}

bool GStratMousePikUp::OnMouseUp(TPoint /*point*/) {
    return true;
}

bool GStratMousePikUp::OnMouseMove(TPoint /*point*/) {
    return true;
}

void GStratMousePikUp::SetTarget(G_VoidLink* target, G_ICanListenSwitch* listener) {
    mTarget = target;
    mListener = listener;
    OnHoverEnd();
    GVObject* visual = mTarget != nullptr ? mTarget->GetVisual() : nullptr;
    if (visual != nullptr) {
        visual->mAlpha = 1.0f;
        visual->MarkChanged();
    }
    SetTargetState("hidehotplace");
}

void GStratMousePikUp::SetBlocked(bool /*flag*/) {}

void GStratMousePikUp::Deactivate() {
    mInactive = true;
    ForgetTarget(mTarget);
    OnHoverEnd();
    SetHighlight(mHighlight);
}

void GStratMousePikUp::Activate() {
    mInactive = false;
}

bool GStratMousePikUp::IsInactive() const {
    return mInactive;
}

void GStratMousePikUp::SetHighlight(bool flag) {
    mHighlight = flag;
    SetTargetState(flag ? "showhotplace" : "hidehotplace");
}

void GStratMousePikUp::SetTargetState(const char* state) {
    GVObject* visual = mTarget != nullptr ? mTarget->GetVisual() : nullptr;
    if (visual != nullptr) {
        visual->SetState(GStateKey::FromString(state), true);
    }
}
