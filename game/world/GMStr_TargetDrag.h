// The play strategy of an object the player drags and drops: a plain release clicks it, a drag
// carries it at the front and a release puts it on the drop target or back where it was pressed.
// While inactive it only shows the click cursor over objects of the class it serves, and posts
// the blocked click. Owned by its game object. Main thread only.
#pragma once

#include "game/world/GMStr_Main.h"

class GMStr_TargetDrag : public GMStr_Main {
public:
    // The depth of a dragged object: in front of everything on the level.
    static constexpr float kDragDepth = 10000.0f;

    // With mode 1, the inactive strategy shows the click cursor over a target that is a game
    // object of the served class.
    GMStr_TargetDrag(int mode, int servedClass) : mMode(mode), mServedClass(servedClass) {}

    bool OnMouseDown(TPoint point) override;
    bool OnMouseUp(TPoint point) override;
    bool OnMouseMove(TPoint point) override;
    void OnHoverBegin() override;

private:
    int mMode;
    int mServedClass;
};
