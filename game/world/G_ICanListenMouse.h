// The mouse events the level offers to every one of its objects in turn. Each answer says whether
// the event may go on to the other objects. Main thread only.
#pragma once

#include "engine/core/rect.h"

class G_ICanListenMouse {
public:
    virtual ~G_ICanListenMouse() = default;
    virtual bool OnMouseDown(TPoint point) = 0;
    virtual bool OnMouseUp(TPoint point) = 0;
    virtual bool OnMouseMove(TPoint point) = 0;
};
