#include "game/world/GMStr_Button.h"

#include "game/world/G_Invoker.h"

bool GMStr_Button::OnMouseDown(TPoint point) {
    if (mInactive) {
        PostBlockedClick(point);
        return false;
    }
    if (mTarget != nullptr && MouseInteraction().mHovered == mTarget) {
        Post(G_Invoke_OCOn::Instance(), mTarget);
        OnPressed();
    }
    return true;
}

bool GMStr_Button::OnMouseUp(TPoint /*point*/) {
    return true;
}

bool GMStr_Button::OnMouseMove(TPoint point) {
    if (mInactive) {
        return false;
    }
    TrackHover(point);
    return true;
}
