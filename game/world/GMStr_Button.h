// The base of the strategies of buttons on the level: a press on the hovered button is reported
// (and handed to OnPressed), hover is the only feedback, and a release does nothing. Owned by its
// game object. Main thread only.
#pragma once

#include "game/world/GMStr_Main.h"

class GMStr_Button : public GMStr_Main {
public:
    bool OnMouseDown(TPoint point) override;
    bool OnMouseUp(TPoint point) override;
    bool OnMouseMove(TPoint point) override;

protected:
    // The hovered, active button was pressed; nothing in the base.
    virtual void OnPressed() {}
};
