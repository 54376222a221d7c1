#include "game/world/GMStr_Queue.h"

#include "game/world/G_Invoker.h"

bool GMStr_Queue::OnMouseDown(TPoint point) {
    if (mInactive) {
        return false;
    }
    PressHovered(point);
    return true;
}

bool GMStr_Queue::OnMouseMove(TPoint point) {
    if (mInactive) {
        return false;
    }
    GMouseInteraction& shared = MouseInteraction();
    if (mTarget != nullptr && shared.mDropTarget != nullptr && shared.mDropTarget != mTarget &&
        HitsTarget(point)) {
        shared.mQueueHover = mTarget;
    }
    return GMStr_Chair::OnMouseMove(point);
}

bool GMStr_Queue::HitsTarget(TPoint point) const {
    return GMStr_Chair::HitsTarget(point) ||
           GMStr_Chair::HitsTarget(TPoint{point.x + kLeftMargin, point.y});
}

void GMStr_Queue::OnDropTargetLeft() {
    GMStr_Chair::OnDropTargetLeft();
    GMouseInteraction& shared = MouseInteraction();
    if (shared.mPressed != nullptr) {
        Post(G_Invoke_OTL::Instance(), shared.mPressed, mTarget);
    }
}
