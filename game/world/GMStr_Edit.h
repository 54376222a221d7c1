// The level editor's strategy: any object is dragged after a small move and placed where it is
// released; it posts no calls, active or not. Owned by its game object. Main thread only.
#pragma once

#include "game/world/GMStr_Main.h"

class GMStr_Edit : public GMStr_Main {
public:
    // More than this many pixels from the press point (squared) starts a drag.
    static constexpr int64_t kDragDistanceSquared = 9;

    bool OnMouseDown(TPoint point) override;
    bool OnMouseUp(TPoint point) override;
    bool OnMouseMove(TPoint point) override;
};
