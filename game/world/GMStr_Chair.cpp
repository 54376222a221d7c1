#include "game/world/GMStr_Chair.h"

#include "game/world/G_Invoker.h"
#include "game/world/G_VoidLink.h"

bool GMStr_Chair::OnMouseDown(TPoint point) {
    if (mInactive) {
        PostBlockedClick(point);
        return false;
    }
    PressHovered(point);
    return true;
}

bool GMStr_Chair::OnMouseMove(TPoint point) {
    if (mInactive) {
        return false;
    }
    TrackDropTarget(point);
    if (mTarget != nullptr && MouseInteraction().mPressed == mTarget && !HitsTarget(point)) {
        GMStr_Chair::OnMouseUp(point);
    }
    TrackHover(point);
    return true;
}

bool GMStr_Chair::OnMouseUp(TPoint /*point*/) {
    if (mInactive) {
        return false;
    }
    GMouseInteraction& shared = MouseInteraction();
    if (mTarget != nullptr && shared.mPressed == mTarget) {
        if (shared.mDropTarget != nullptr) {
            Post(G_Invoke_OODTA::Instance(), shared.mPressed, shared.mDropTarget);
        }
        EndPress();
        Post(G_Invoke_OCOff::Instance(), mTarget);
    }
    ReleaseOnDropTarget();
    return true;
}

void GMStr_Chair::PressHovered(TPoint point) {
    if (TakePress(point, false)) {
        Post(G_Invoke_OCOn::Instance(), mTarget);
    }
}
