// A visual object: one sprite of the game, or a tree of them. Its own transform record is the base
// data that game code writes; the local data comes from its description; the update pass combines
// them over the parent chain (by the object's link mode) into the world data that drawing uses.
// Every object of a tree sits in the draw lists itself and is drawn by them in depth order; the
// parent only passes its changes on. A top-level object is owned by its game object, a child by
// its parent's children list; draw lists hold plain pointers. Main thread only.
#pragma once

#include "engine/core/str.h"
#include "game/visual/GVData.h"
#include "game/visual/TOnTimerCaller.h"

#include <boost/shared_ptr.hpp>

#include <memory>
#include <vector>

class GVChilds;
class GVFrame;
class GVFrames;
class GVHitTester;
class GVLayer;
class GVTextures;
class TModalWindow;
struct TDrawSpec;

// A rectangle in draw-area pixels.
struct GVRect {
    float x0 = 0.0f;
    float y0 = 0.0f;
    float x1 = 0.0f;
    float y1 = 0.0f;
};

class GVObject : public GVData {
public:
    using TFrameTimer = TOnTimerCaller<GVObject, TModalWindow>;

    // Link modes: how much of the parent's transform a child follows.
    enum : int {
        kLinkNone = 0,      // nothing
        kLinkBase = 1,      // the parent's base changes
        kLinkInherited = 2, // and the parent's inherited data
        kLinkWorld = 3,     // and the parent's world data
    };

    GVObject();
    // Leaves every draw list, deletes what it owns and detaches its frame timer.
    ~GVObject() override;
    GVObject(const GVObject&) = delete;
    GVObject& operator=(const GVObject&) = delete;

    // The parent.
    GVBase* GetOwner() override;
    const GVBase* GetOwnerConst() const override;
    // Base and local data, link and id into an object; frames, textures and the hit tester are
    // shared with it. Null for another kind.
    GVBase* CopyTo(GVBase* target) override;
    // Draws the frame with the descriptor through the object's textures.
    virtual void DrawFrame(const TDrawSpec& params, const GVFrame* frame);
    // The stored descriptor for the frame (the current one for null): world alpha, blend and
    // flip, the frame's rectangle and registration point, translation, scale and rotation.
    virtual void BuildDrawSpec(const GVFrame* frame);

    // Joins the draw list, takes the parent and brings its data up to date. Always true.
    bool AttachTo(GVLayer* layer, GVObject* parent, bool setNormal);
    // Joins the draw list once (the children first when recursive).
    void AddToLayer(GVLayer* layer, bool recursive);
    // Leaves the draw list (the children first when recursive).
    void RemoveFromLayer(GVLayer* layer, bool recursive);

    // Changed itself, or its parent's base data changed.
    bool IsDirty() const;
    // Updates the highest dirty ancestor (or this object) and every changed object below it.
    void Update();
    // Draws the current frame unless hidden, outside the area (when not rotated) or without one.
    void Draw(const GVRect& area);
    // The drawn quad of the frame (the current one for null) without rotation; for an object
    // without a frame, its first child's bounds.
    GVRect GetBounds(const GVFrame* frame);

    // The first child with that id, or null.
    GVObject* GetChild(const str& id) const;
    str GetId() const { return mId; }
    void SetId(const str& id) { mId = id; }
    int GetLink() const { return mLink; }
    void SetLink(int link) { mLink = link; }

    // Whether the object has a frame timer, made now when it can animate. Only an object in a
    // draw list gets one.
    bool EnsureTimer();
    // Restarts the frame timer (made when needed) with the period, counted from now.
    void SetTimerPeriod(int ms);
    // The frame timer's call: the next frame.
    void OnFrameTimer();
    // Stores the frame position; returns the previous one.
    int SetFrame(int position);
    int GetFramePosition() const { return mFramePosition; }
    // Null without a current state.
    GVFrame* GetCurrentFrame() const;

    // Local data is what the object's description says; loading writes it, then marks it.
    GVData& GetLocalData() { return mLocal; }
    const GVData& GetWorldData() const { return mWorld; }
    const GVData& GetInheritedData() const { return mInherited; }
    GVObject* GetParent() const { return mParent; }
    // Null when the object has no children.
    GVChilds* GetChilds() const { return mChilds.get(); }
    // Takes the list; a list the object had is deleted.
    void SetChilds(GVChilds* childs);
    const std::vector<GVLayer*>& GetLayers() const { return mLayers; }
    TFrameTimer* GetFrameTimer() const { return mFrameTimer; }
    // Null until first built.
    const TDrawSpec* GetDrawSpec() const { return mDrawSpec.get(); }

private:
    friend class GVLayer;

    // Update from this object down, this object being the top.
    void UpdateTree();
    // inherited := local (+) the parent's inherited (link 2 and 3); children told.
    void RecomputeInherited();
    // The list is being deleted.
    void ForgetLayer(GVLayer* layer);
    // Objects of the children list, in order; empty without one.
    std::vector<GVObject*> Children() const;

    GVData mLocal;
    GVData mWorld;
    GVData mInherited;
    // The base data as it stood at the last update.
    GVData mLastBase;
    int mLink = kLinkInherited;
    // Owned by its task list; it clears this pointer when it goes.
    TFrameTimer* mFrameTimer = nullptr;
    boost::shared_ptr<GVFrames> mFrames;
    boost::shared_ptr<GVTextures> mTextures;
    std::unique_ptr<GVChilds> mChilds;
    int mFramePosition = -1;
    int mStateIndex = -1;
    str mId;
    boost::shared_ptr<GVHitTester> mHitTester;
    std::unique_ptr<TDrawSpec> mDrawSpec;
    GVObject* mParent = nullptr;
    // Not owned, in the order joined.
    std::vector<GVLayer*> mLayers;
};
