// A draw list: the visual objects one window shows. It updates the objects that changed, draws
// them in depth order inside its 800 x 600 draw area, and places their timers in the task list of
// its window's modal window, so that they run on that window's clock and stand still while another
// modal window is on top. Objects join and leave it themselves (GVObject::AddToLayer and
// RemoveFromLayer); it holds plain pointers and detaches the objects still in it when deleted.
// Main thread only.
#pragma once

#include "game/visual/GVObject.h"

#include <map>
#include <set>
#include <vector>

class GVParticlesEffect;
class TModalWindow;
class TWindow;

class GVLayer {
public:
    GVLayer() = default;
    // Every object still in the list forgets it.
    ~GVLayer();
    GVLayer(const GVLayer&) = delete;
    GVLayer& operator=(const GVLayer&) = delete;

    // Timers go to the window's modal parent, or to the platform without one (or without a
    // window).
    void SetWindow(TWindow* window);
    TModalWindow* GetModalWindow() const { return mModal; }
    const GVRect& GetDrawArea() const { return mDrawArea; }

    // Into the depth order, after the objects of equal depth, and into the members. An object
    // already in the list, or null, is ignored.
    void Insert(GVObject* object);
    // Out of both; nothing when it is not in the list.
    void Remove(GVObject* object);
    // The depth order alone, keyed by the object's world depth (while it changes).
    void AddToOrder(GVObject* object);
    void RemoveFromOrder(GVObject* object);

    // Updates the dirty objects, then draws every object in depth order.
    void Draw();
    // The update pass of Draw: every dirty member, in pointer order.
    void UpdateObjects();

    // A stopped frame timer for the object, placed in the modal window's or the platform's task
    // list; the object holds it. Null when no task list can take it.
    GVObject::TFrameTimer* CreateTimer(GVObject* object);
    // The update timer of a particle effect, placed likewise and held by the effect. It has no
    // period: it runs at every pass of its task list. Null when no task list can take it.
    TOnTimerCaller<GVParticlesEffect, TModalWindow>* CreateParticleTimer(GVParticlesEffect* effect);

    bool Contains(const GVObject* object) const;
    // The objects in drawing order, back to front.
    std::vector<GVObject*> GetDrawOrder() const;

private:
    // A new timer for the owner's method, held by the holder, placed in the modal window's or the
    // platform's task list; null (and deleted) when neither can take it.
    template <class Owner>
    TOnTimerCaller<Owner, TModalWindow>* PlaceTimer(Owner* owner, void (Owner::*method)(),
                                                    TOnTimerCaller<Owner, TModalWindow>** holder);

    // Depths from script-computed positions may be NaN: NaN orders before every number, so the
    // order stays a strict weak one.
    struct GDepthLess {
        bool operator()(float a, float b) const;
    };

    // Keyed by the depth the object had when it entered; equal keys keep their entry order.
    std::multimap<float, GVObject*, GDepthLess> mOrder;
    std::set<GVObject*> mMembers;
    GVRect mDrawArea{0.0f, 0.0f, 800.0f, 600.0f};
    // Not owned.
    TModalWindow* mModal = nullptr;
};
