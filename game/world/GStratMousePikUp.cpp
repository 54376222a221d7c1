#include "game/world/GStratMousePikUp.h"

#include "game/visual/GVObject.h"
#include "game/world/GStateKey.h"
#include "game/world/G_Invoker.h"
#include "game/world/G_VoidLink.h"

GMouseInteraction& MouseInteraction() {
    static GMouseInteraction interaction;
    return interaction;
}

G_VoidLink* GetPressedObject() {
    return MouseInteraction().mPressed;
}

void FlushMouseStrategyState() {
    GMouseInteraction& shared = MouseInteraction();
    if (shared.mDropTarget != nullptr && shared.mQueueHover != nullptr) {
        if (auto* listener = dynamic_cast<G_ICanListenMouse*>(shared.mDropTarget)) {
            listener->OnMouseMove(TPoint{-1, -1});
        }
    }
    shared.mQueueHover = nullptr;
    // Cleared first: the call may lead to another event being offered.
    G_Invoker* pending = shared.mPending;
    shared.mPending = nullptr;
    if (pending != nullptr) {
        pending->Invoke();
    }
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
    GMouseInteraction& shared = MouseInteraction();
    if (mTarget != nullptr && shared.mQueueHover == mTarget) {
        shared.mQueueHover = nullptr;
    }
    // A holder that went would block every other strategy's cursor through a freed pointer.
    for (GStratMousePikUp** holder : {&shared.mDoorCursorHolder, &shared.mDragCursorHolder}) {
        if (*holder == this) {
            *holder = nullptr;
        }
    }
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
