#include "game/world/GMStr_Door.h"

#include "game/world/GLogicalManager.h"
#include "game/world/G_ICanAcceptGirl.h"
#include "game/world/G_VoidLink.h"

bool GMStr_Door::OnMouseDown(TPoint point) {
    if (mInactive) {
        if (!mBlocked && !MouseInteraction().mHandFlag) {
            PostBlockedClick(point);
        }
        return false;
    }
    return GMStr_Chair::OnMouseDown(point);
}

bool GMStr_Door::OnMouseMove(TPoint point) {
    GMouseInteraction& shared = MouseInteraction();
    const bool open = !mBlocked && HitsTarget(point) && IsUsable();
    if (mInactive) {
        InactiveCursor(open, shared.mDoorCursorHolder);
        return false;
    }
    if (open && shared.mPressed == nullptr) {
        GLogicalManager::Instance().SetCursor(1);
    }
    return GMStr_Chair::OnMouseMove(point);
}

void GMStr_Door::OnHoverBegin() {
    GMStr_Main::OnHoverBegin();
    if (!mBlocked) {
        GLogicalManager::Instance().SetCursor(1);
    }
}

bool GMStr_Door::IsUsable() const {
    auto* door = dynamic_cast<G_ICanAcceptGirl*>(mTarget);
    return door != nullptr && door->CanAcceptGirl();
}
