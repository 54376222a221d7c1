// The base of the mouse strategies: what turns the mouse events the level offers a game object
// into hover feedback, dragging and deferred calls to the level. The base keeps the target and
// the listener and handles activation and highlighting; the strategies derived from it handle the
// events. Owned by its game object. Main thread only.
#pragma once

#include "engine/core/rect.h"
#include "game/world/G_ICanListenMouse.h"

class G_ICanListenSwitch;
class G_Invoker;
class G_VoidLink;
class GStratMousePikUp;

// The interaction state all strategies share: which object the mouse pressed, hovers and drags
// over, and the one call pending until the level flushes. Pointers are not owned; a strategy that
// goes clears those naming its target or itself.
struct GMouseInteraction {
    // The object whose strategy took the press (the dragged object).
    G_VoidLink* mPressed = nullptr;
    // The object under the mouse that shows hover feedback.
    G_VoidLink* mHovered = nullptr;
    // The object a dragged object is over.
    G_VoidLink* mDropTarget = nullptr;
    // A queue the mouse is over while another object is the drop target.
    G_VoidLink* mQueueHover = nullptr;
    G_Invoker* mPending = nullptr;
    // Hover feedback shown by a drag strategy.
    bool mHandFlag = false;
    // A plain release may post a click; cleared when the drop target's strategy took the release.
    bool mReleaseArmed = true;
    // The inactive strategies that set the click cursor: doors, and the drag strategies.
    GStratMousePikUp* mDoorCursorHolder = nullptr;
    GStratMousePikUp* mDragCursorHolder = nullptr;
};

GMouseInteraction& MouseInteraction();
// The object being pressed or dragged, null when none.
G_VoidLink* GetPressedObject();
// Run by the level after every object saw a mouse event: a queue hovered while another object is
// the drop target makes that object lose the drop (a move to (-1, -1)); then the pending call, if
// any, runs once.
void FlushMouseStrategyState();

class GStratMousePikUp : public G_ICanListenMouse {
public:
    GStratMousePikUp() = default;
    // Clears the shared entries that name its target or itself.
    ~GStratMousePikUp() override;
    GStratMousePikUp(const GStratMousePikUp&) = delete;
    GStratMousePikUp& operator=(const GStratMousePikUp&) = delete;

    // The base lets every event go on.
    bool OnMouseDown(TPoint point) override;
    bool OnMouseUp(TPoint point) override;
    bool OnMouseMove(TPoint point) override;

    // Stores both (not owned), ends hover feedback, and shows the target visual fully opaque
    // with its hot place hidden.
    virtual void SetTarget(G_VoidLink* target, G_ICanListenSwitch* listener);
    virtual void SetBlocked(bool flag);
    // Inactive; the target stops being pressed, hovered or dragged over; hover feedback ends and
    // the highlight is shown again as stored.
    virtual void Deactivate();
    virtual void Activate();
    virtual bool IsInactive() const;
    // Shows ("showhotplace") or hides ("hidehotplace") the target's hot place.
    virtual void SetHighlight(bool flag);

    G_VoidLink* GetTarget() const { return mTarget; }
    G_ICanListenSwitch* GetListener() const { return mListener; }
    bool IsHighlighted() const { return mHighlight; }

protected:
    // Hover feedback ends; nothing in the base.
    virtual void OnHoverEnd() {}
    // The target state on the target's visual, when there is one.
    void SetTargetState(const char* state);

    bool mInactive = false;
    G_VoidLink* mTarget = nullptr;
    G_ICanListenSwitch* mListener = nullptr;
    // The press point minus the target visual's position.
    TPoint mPressOffset{0, 0};
    TPoint mPressPoint{0, 0};
    // The visual's depth at the press.
    float mPressDepth = 0.0f;
    bool mHighlight = false;
    bool mDragged = false;
    bool mMoved = false;
};
