#include "game/world/GMStr_Edit.h"

#include "game/world/GGameObject.h"
#include "game/world/GMStr_TargetDrag.h"

bool GMStr_Edit::OnMouseDown(TPoint point) {
    mDragged = false;
    TakePress(point, false);
    return true;
}

bool GMStr_Edit::OnMouseMove(TPoint point) {
    GMouseInteraction& shared = MouseInteraction();
    if (shared.mPressed == nullptr) {
        TrackHover(point);
    }
    if (mTarget != nullptr && shared.mPressed == mTarget &&
        (mDragged || IsBeyond(point, kDragDistanceSquared))) {
        mTarget->MoveTo(TPoint{point.x - mPressOffset.x, point.y - mPressOffset.y},
                        GMStr_TargetDrag::kDragDepth);
        if (auto* object = dynamic_cast<GGameObject*>(mTarget)) {
            object->PlaceOccupant();
        }
        mDragged = true;
    }
    return true;
}

bool GMStr_Edit::OnMouseUp(TPoint /*point*/) {
    GMouseInteraction& shared = MouseInteraction();
    if (mTarget != nullptr && shared.mPressed == mTarget) {
        EndPress();
        if (shared.mDropTarget == nullptr) {
            shared.mReleaseArmed = true;
        }
    }
    return true;
}
