// The play strategy of a door: a chair that shows the click cursor while the door can take a
// girl, also when inactive, and that a tutorial can block. Owned by its game object. Main thread
// only.
#pragma once

#include "game/world/GMStr_Chair.h"

class GMStr_Door : public GMStr_Chair {
public:
    bool OnMouseDown(TPoint point) override;
    bool OnMouseMove(TPoint point) override;
    void SetBlocked(bool flag) override { mBlocked = flag; }
    bool IsBlocked() const { return mBlocked; }
    // Opaque, and the click cursor unless blocked.
    void OnHoverBegin() override;

private:
    // The object answers that a girl may go through it now.
    bool IsUsable() const;

    bool mBlocked = false;
};
