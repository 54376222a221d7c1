#include "game/world/GMStr_Main.h"

#include "engine/script/lua/luanumber.h"
#include "game/visual/GVObject.h"
#include "game/world/GLogicalManager.h"
#include "game/world/G_Invoker.h"
#include "game/world/G_VoidLink.h"

void GMStr_Main::SetPendingAction(G_Invoker* invoker) {
    MouseInteraction().mPending = invoker;
}

void GMStr_Main::OnHoverBegin() {
    GVObject* visual = mTarget != nullptr ? mTarget->GetVisual() : nullptr;
    if (visual != nullptr) {
        visual->mAlpha = 1.0f;
        visual->MarkChanged();
    }
}

void GMStr_Main::OnHoverEnd() {
    MouseInteraction().mHandFlag = false;
    GVObject* visual = mTarget != nullptr ? mTarget->GetVisual() : nullptr;
    if (visual != nullptr) {
        visual->mAlpha = 1.0f;
        visual->MarkChanged();
    }
    GLogicalManager::Instance().SetCursor(0);
}

bool GMStr_Main::HitsTarget(TPoint point) const {
    GVObject* visual = mTarget != nullptr ? mTarget->GetVisual() : nullptr;
    return visual != nullptr && visual->FindObjectAt(static_cast<float>(point.x),
                                                     static_cast<float>(point.y), -1) != nullptr;
}

bool GMStr_Main::DepthOf(G_VoidLink* object, float& depth) {
    GVObject* visual = object != nullptr ? object->GetVisual() : nullptr;
    if (visual == nullptr) {
        return false;
    }
    depth = visual->GetWorldData().mDeltaZ;
    return true;
}

void GMStr_Main::Post(G_Invoker1p& invoker, G_VoidLink* object) {
    if (mTarget == nullptr || mListener == nullptr) {
        return;
    }
    const G_Invoker* pending = MouseInteraction().mPending;
    if (pending != nullptr) {
        float depth = 0.0f;
        float pendingDepth = 0.0f;
        if (!DepthOf(object, depth) ||
            (DepthOf(pending->GetArg(), pendingDepth) && depth <= pendingDepth)) {
            return;
        }
    }
    invoker.Set(mListener, object);
    SetPendingAction(&invoker);
}

void GMStr_Main::Post(G_Invoker2p& invoker, G_VoidLink* first, G_VoidLink* second) {
    if (mTarget == nullptr || mListener == nullptr || MouseInteraction().mPending != nullptr) {
        return;
    }
    invoker.Set(mListener, first, second);
    SetPendingAction(&invoker);
}

void GMStr_Main::TrackHover(TPoint point) {
    GMouseInteraction& shared = MouseInteraction();
    if (mTarget == nullptr) {
        return;
    }
    if (shared.mHovered == mTarget) {
        if (!HitsTarget(point)) {
            OnHoverEnd();
            shared.mHovered = nullptr;
        }
    } else if (shared.mHovered == nullptr && shared.mPressed == nullptr && HitsTarget(point)) {
        shared.mHovered = mTarget;
        OnHoverBegin();
    }
}

void GMStr_Main::TrackDropTarget(TPoint point) {
    GMouseInteraction& shared = MouseInteraction();
    if (mTarget == nullptr || shared.mPressed == mTarget) {
        return;
    }
    if (shared.mDropTarget == mTarget) {
        if (!HitsTarget(point)) {
            OnDropTargetLeft();
        }
    } else if (shared.mDropTarget == nullptr && shared.mPressed != nullptr && HitsTarget(point)) {
        shared.mDropTarget = mTarget;
        SetTargetState("showaccept");
        Post(G_Invoke_OOOA::Instance(), shared.mPressed, mTarget);
    }
}

void GMStr_Main::OnDropTargetLeft() {
    ResetLook(mTarget);
    MouseInteraction().mDropTarget = nullptr;
}

void GMStr_Main::ReleaseOnDropTarget() {
    GMouseInteraction& shared = MouseInteraction();
    if (mTarget == nullptr || shared.mDropTarget != mTarget) {
        return;
    }
    if (mListener != nullptr && shared.mPressed != nullptr) {
        Post(G_Invoke_OODTA::Instance(), shared.mPressed, mTarget);
        shared.mReleaseArmed = false;
    }
    // Whoever saw the release first, it ends with no drop target.
    ResetLook(mTarget);
    shared.mDropTarget = nullptr;
}

void GMStr_Main::EndPress() {
    GMouseInteraction& shared = MouseInteraction();
    shared.mHovered = shared.mPressed;
    ResetLook(mTarget);
    shared.mPressed = nullptr;
}

bool GMStr_Main::TakePress(TPoint point, bool depth) {
    GMouseInteraction& shared = MouseInteraction();
    GVObject* visual = mTarget != nullptr ? mTarget->GetVisual() : nullptr;
    if (visual == nullptr || shared.mHovered != mTarget) {
        return false;
    }
    const GVData& world = visual->GetWorldData();
    mPressOffset =
        TPoint{point.x - LuaNumberToInt(world.mDeltaX), point.y - LuaNumberToInt(world.mDeltaY)};
    mPressPoint = point;
    if (depth) {
        mPressDepth = world.mDeltaZ;
    }
    shared.mPressed = shared.mHovered;
    shared.mHovered = nullptr;
    return true;
}

void GMStr_Main::InactiveCursor(bool wanted, GStratMousePikUp*& holder) {
    GMouseInteraction& shared = MouseInteraction();
    for (GStratMousePikUp* other : {shared.mDoorCursorHolder, shared.mDragCursorHolder}) {
        if (other != nullptr && other != this) {
            return;
        }
    }
    if (wanted) {
        holder = this;
        GLogicalManager::Instance().SetCursor(1);
    } else if (holder == this) {
        GLogicalManager::Instance().SetCursor(0);
        holder = nullptr;
    }
}

void GMStr_Main::ResetLook(G_VoidLink* object) {
    GVObject* visual = object != nullptr ? object->GetVisual() : nullptr;
    if (visual == nullptr) {
        return;
    }
    visual->mAlpha = 1.0f;
    visual->MarkChanged();
    visual->SetState(GStateKey::FromString("hidehotplace"), true);
}

void GMStr_Main::PostBlockedClick(TPoint point) {
    if (point.x >= 0 && point.y >= 0 && HitsTarget(point)) {
        Post(G_Invoke_OnBMC::Instance(), mTarget);
    }
}

bool GMStr_Main::IsBeyond(TPoint point, int64_t squared) const {
    const int64_t dx = int64_t{point.x} - mPressPoint.x;
    const int64_t dy = int64_t{point.y} - mPressPoint.y;
    return dx * dx + dy * dy > squared;
}
