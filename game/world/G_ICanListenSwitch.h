// The level's side of the mouse strategies: the ten deferred calls a strategy may post, run once
// per mouse event when the level flushes the strategies' state. The level implements it and
// passes each call on to the logical manager. Main thread only.
#pragma once

class G_VoidLink;

class G_ICanListenSwitch {
public:
    // A dragged object entered a drop target.
    virtual void OnOOOA(G_VoidLink* object, G_VoidLink* place) = 0;
    // A dragged object was released over a drop target.
    virtual void OnOODTA(G_VoidLink* object, G_VoidLink* target) = 0;
    // A dragged object left the queue it was over.
    virtual void OnOTL(G_VoidLink* object, G_VoidLink* queue) = 0;
    // Released after a drag with no drop target.
    virtual void OnOFD(G_VoidLink* object) = 0;
    // Released over the object's visible "hotplace" child.
    virtual void OnOTU(G_VoidLink* object) = 0;
    // The first move after a press.
    virtual void OnOSD(G_VoidLink* object) = 0;
    // A hovered chair, door, queue or upgrade button was pressed.
    virtual void OnOCOn(G_VoidLink* object) = 0;
    // A pressed chair, door or queue was released.
    virtual void OnOCOff(G_VoidLink* object) = 0;
    // Released without a drag and without a drop target.
    virtual void OnClick(G_VoidLink* object) = 0;
    // The object of an inactive strategy was pressed.
    virtual void OnBMC(G_VoidLink* object) = 0;

protected:
    // Never deleted through the interface.
    ~G_ICanListenSwitch() = default;
};
