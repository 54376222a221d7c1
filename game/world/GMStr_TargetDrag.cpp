#include "game/world/GMStr_TargetDrag.h"

#include "game/visual/GVObject.h"
#include "game/world/GGameObject.h"
#include "game/world/GLogicalManager.h"
#include "game/world/G_Invoker.h"

bool GMStr_TargetDrag::OnMouseDown(TPoint point) {
    if (mInactive) {
        PostBlockedClick(point);
        return false;
    }
    mDragged = false;
    mMoved = false;
    TakePress(point, true);
    return true;
}

bool GMStr_TargetDrag::OnMouseMove(TPoint point) {
    GMouseInteraction& shared = MouseInteraction();
    GLogicalManager& manager = GLogicalManager::Instance();
    if (mInactive) {
        auto* object = dynamic_cast<GGameObject*>(mTarget);
        const bool served = mMode == 1 && object != nullptr && object->IsKindOf(mServedClass);
        if (served) {
            InactiveCursor(HitsTarget(point), shared.mDragCursorHolder);
        }
        return false;
    }
    if (shared.mPressed == nullptr && HitsTarget(point)) {
        manager.SetCursor(2);
    }
    TrackDropTarget(point);
    if (shared.mPressed == nullptr) {
        TrackHover(point);
    }
    if (mTarget != nullptr && shared.mPressed == mTarget) {
        if (!mMoved) {
            mMoved = true;
            Post(G_Invoke_OSD::Instance(), mTarget);
        }
        if (mDragged || IsBeyond(point, 900)) {
            mTarget->MoveTo(TPoint{point.x - mPressOffset.x, point.y - mPressOffset.y}, kDragDepth);
            mDragged = true;
            manager.SetCursor(3);
        } else {
            manager.SetCursor(2);
        }
    }
    return true;
}

bool GMStr_TargetDrag::OnMouseUp(TPoint point) {
    if (mInactive) {
        return false;
    }
    GMouseInteraction& shared = MouseInteraction();
    const bool pressed = mTarget != nullptr && shared.mPressed == mTarget;
    if (pressed && !mDragged) {
        GVObject* visual = mTarget->GetVisual();
        GVObject* hotplace = visual != nullptr ? visual->GetChild("hotplace") : nullptr;
        if (hotplace != nullptr && hotplace->mVisible != 0 &&
            hotplace->HitTestPoint(
                TVec2(static_cast<float>(point.x), static_cast<float>(point.y)))) {
            Post(G_Invoke_OTU::Instance(), shared.mPressed);
            SetHighlight(false);
        }
    }
    if (pressed) {
        if (mListener != nullptr) {
            if (shared.mDropTarget != nullptr) {
                Post(G_Invoke_OODTA::Instance(), shared.mPressed, shared.mDropTarget);
                // The drop target may see the release after the press has ended.
                ResetLook(shared.mDropTarget);
                shared.mDropTarget = nullptr;
            } else if (shared.mReleaseArmed) {
                if (mDragged) {
                    Post(G_Invoke_OFD::Instance(), shared.mPressed);
                } else {
                    Post(G_Invoke_Click::Instance(), shared.mPressed);
                }
                mTarget->MoveTo(
                    TPoint{mPressPoint.x - mPressOffset.x, mPressPoint.y - mPressOffset.y},
                    mPressDepth);
            } else {
                // The drop target's strategy took this release.
                shared.mReleaseArmed = true;
            }
        }
        EndPress();
    }
    ReleaseOnDropTarget();
    return true;
}

void GMStr_TargetDrag::OnHoverBegin() {
    GMStr_Main::OnHoverBegin();
    MouseInteraction().mHandFlag = true;
}
