// The play strategy of a station a girl is dropped on: a press on it is reported on and off, it
// shows when a dragged object is over it and takes the drop. It is never dragged itself. Owned by
// its game object. Main thread only.
#pragma once

#include "game/world/GMStr_Main.h"

class GMStr_Chair : public GMStr_Main {
public:
    bool OnMouseDown(TPoint point) override;
    bool OnMouseUp(TPoint point) override;
    bool OnMouseMove(TPoint point) override;
    // Hover leaves the look alone: the station shows what is dropped on it instead.
    void OnHoverBegin() override {}

protected:
    // The press of the hovered target, reported on.
    void PressHovered(TPoint point);
};
