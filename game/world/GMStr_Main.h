// The base of the strategies that handle events: hover feedback, drop-target tracking, hit tests
// on the target's visual and posting the deferred calls by the rule that the object drawn in front
// wins. Handles no event itself. Owned by its game object. Main thread only.
#pragma once

#include "game/world/GStratMousePikUp.h"

#include <cstdint>

class G_Invoker;
class G_Invoker1p;
class G_Invoker2p;

class GMStr_Main : public GStratMousePikUp {
public:
    // Pending call := invoker.
    virtual void SetPendingAction(G_Invoker* invoker);
    // The target is shown opaque.
    virtual void OnHoverBegin();
    // The hand flag goes, the target is shown opaque and the cursor is the arrow again.
    void OnHoverEnd() override;

protected:
    // Whether the point lies on any part of the target's visual; never without a visual.
    virtual bool HitsTarget(TPoint point) const;
    // The world depth of the object's visual; false without a visual.
    static bool DepthOf(G_VoidLink* object, float& depth);
    // Replaces a pending call only when the object is drawn in front of the pending call's
    // first argument. Nothing without a target or listener.
    void Post(G_Invoker1p& invoker, G_VoidLink* object);
    // Nothing while a call is pending.
    void Post(G_Invoker2p& invoker, G_VoidLink* first, G_VoidLink* second);
    // Hover begins when nothing is hovered or pressed and the point hits, and ends when the
    // point leaves the hovered target.
    void TrackHover(TPoint point);
    // The target becomes the drop target when something else is dragged onto it, and stops
    // being one when the point leaves it.
    void TrackDropTarget(TPoint point);
    // The drop target's strategy at a release: a dragged object still pressed is dropped on it.
    // Either way the release ends with no drop target.
    void ReleaseOnDropTarget();
    // The press goes: the pressed target becomes the hovered one, shown opaque, hot place hidden.
    void EndPress();
    // Records the press point and offset (and, with depth, the visual's depth) and takes the
    // press when the target is hovered; false otherwise.
    bool TakePress(TPoint point, bool depth);
    // An inactive strategy's click cursor: taken while the flag holds, given back when it does
    // not. Another strategy holding either cursor blocks this one.
    void InactiveCursor(bool wanted, GStratMousePikUp*& holder);
    // The dragged object left this drop target; the target is reset and the drop target cleared.
    virtual void OnDropTargetLeft();

    // The blocked click of an inactive strategy, for a point in the play area on the target.
    void PostBlockedClick(TPoint point);
    // The point is more than the distance (squared) away from the press point.
    bool IsBeyond(TPoint point, int64_t squared) const;

    // Opaque, hot place hidden; nothing without a visual.
    static void ResetLook(G_VoidLink* object);
};
