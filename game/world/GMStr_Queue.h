// The play strategy of a waiting place: as a chair, but it is hit a little to its left too, it
// reports a dragged object leaving it, and over another drop target it takes the drop from it.
// Owned by its game object. Main thread only.
#pragma once

#include "game/world/GMStr_Chair.h"

class GMStr_Queue : public GMStr_Chair {
public:
    // How far left of the visual a point still hits.
    static constexpr int kLeftMargin = 10;

    // Inactive, it does not even post the blocked click.
    bool OnMouseDown(TPoint point) override;
    bool OnMouseMove(TPoint point) override;

protected:
    bool HitsTarget(TPoint point) const override;
    void OnDropTargetLeft() override;
};
