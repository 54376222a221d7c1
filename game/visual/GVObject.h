// A visual object: one sprite of the game, or a tree of them. Its own transform record is the base
// data that game code writes; the local data comes from its description; the update pass combines
// them over the parent chain (by the object's link mode) into the world data that drawing uses.
// Every object of a tree sits in the draw lists itself and is drawn by them in depth order; the
// parent only passes its changes on. A top-level object is owned by its game object, a child by
// its parent's children list; draw lists hold plain pointers. Main thread only.
#pragma once

#include "engine/core/str.h"
#include "engine/core/vec.h"
#include "game/visual/GVData.h"
#include "game/visual/TOnTimerCaller.h"
#include "game/world/GStateKey.h"

#include <boost/shared_ptr.hpp>

#include <memory>
#include <vector>

class GVChilds;
class GVEffects;
class GVFrame;
class GVFrames;
class GVHitTester;
class GVLayer;
class GVState;
class GVStates;
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
    // Leaves every draw list, deletes what it owns (the running effects are forgotten before the
    // states that own them go) and detaches its frame timer.
    ~GVObject() override;
    GVObject(const GVObject&) = delete;
    GVObject& operator=(const GVObject&) = delete;

    // Reads an object element ("main" or "obj"): local data, id, images and frames, hit tester,
    // children ("objects", else "export"), its own effects ("effects"), states with their effects
    // and link. The owner is the parent object or the children list being loaded. True when the
    // object has frames or children.
    bool Load(TXmlNode* element, GVBase* owner) override;
    // Writes the local data, id, frames, states and link onto the element; "images", "effects"
    // and the content of "objects" are left as they are.
    bool Save(TXmlNode* element) override;
    // The parent.
    GVBase* GetOwner() override;
    const GVBase* GetOwnerConst() const override;
    // Base and local data, link, id and copies of the effects and states lists into an object,
    // which then takes this object's current state (its children do not: they get theirs when
    // they are copied at attachment); frames, textures and the hit tester are shared with it.
    // Null for another kind.
    GVBase* CopyTo(GVBase* target) override;
    // Draws the frame with the descriptor through the object's textures.
    virtual void DrawFrame(const TDrawSpec& params, const GVFrame* frame);
    // The stored descriptor for the frame (the current one for null): world alpha, blend and
    // flip, the frame's rectangle and registration point, translation, scale and rotation.
    virtual void BuildDrawSpec(const GVFrame* frame);

    // Joins the draw list, takes the parent, gives its own and its states' effects their owner
    // and applies "normal" (with setNormal, when it has states) or brings its data up to date.
    // Always true.
    bool AttachTo(GVLayer* layer, GVObject* parent, bool setNormal);
    // Joins the draw list once (the children first when recursive).
    void AddToLayer(GVLayer* layer, bool recursive);
    // Leaves the draw list (the children first when recursive).
    void RemoveFromLayer(GVLayer* layer, bool recursive);

    // Changed itself or its current state's data, or its parent's base data changed.
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
    // The factory's cache key of the prototype this object was loaded as or copied from.
    const str& GetPathKey() const { return mPathKey; }
    void SetPathKey(const str& key) { mPathKey = key; }
    void SetLink(int link) { mLink = link; }

    // Whether the object has a frame timer, made now when it can animate. Only an object in a
    // draw list gets one.
    bool EnsureTimer();
    // Restarts the frame timer (made when needed) with the period, counted from now.
    void SetTimerPeriod(int ms);
    // The frame timer's call: the next frame.
    void OnFrameTimer();
    // Shows the frame at the position of the current state's list (its end hands over to the
    // next state); returns the previous position.
    int SetFrame(int position);
    int GetFramePosition() const { return mFramePosition; }
    // The frame the current state shows now; null without one, or at a position whose number
    // names no frame.
    GVFrame* GetCurrentFrame() const;

    // Applies the state on this object and then on its children; the longest duration found.
    int SetState(GStateKey key, bool apply);
    // With apply, switches to the state now; without, queues it behind the current one. A
    // missing state falls back to "any". The state's duration in ms (0 for a missing one).
    int ApplyState(GStateKey key, bool apply);
    // The current state's list has run out: the queued state, else the current one again.
    void OnStateEnd();
    // Frame delays are multiplied by the factor (above 1 is slower).
    void SetAnimSpeed(float factor, bool recursive);
    float GetAnimSpeed() const { return mSpeed; }
    // The current state's key; 0 without one.
    GStateKey GetStateKey() const;
    // Null without one.
    GVState* GetCurrentState() const;

    // Whether the screen point lies on the current frame as the object's tester sees it.
    bool HitTestPoint(const TVec2& point);
    // This object when hit, else (depth permitting) the first child hit in list order, searched
    // to depth - 1; null when nothing is hit. The offset, when given, moves the point first.
    GVObject* FindObjectAt(float x, float y, int depth, const TVec2* offset = nullptr);
    // The screen point in the current frame's own pixels (before mirroring); unchanged when
    // there is no frame to draw.
    TVec2 ToLocal(const TVec2& point);

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
    // Null without states.
    GVStates* GetStates() const { return mStates.get(); }
    // Takes the list (a list the object had is deleted) and becomes its owner.
    void SetStates(GVStates* states);
    // The object's own effects and the running ones; null until it has either.
    GVEffects* GetEffects() const { return mEffects.get(); }
    // Takes the list; a list the object had is deleted.
    void SetEffects(GVEffects* effects);
    const boost::shared_ptr<GVFrames>& GetFrames() const { return mFrames; }
    void SetFrames(const boost::shared_ptr<GVFrames>& frames) { mFrames = frames; }
    const boost::shared_ptr<GVTextures>& GetTextures() const { return mTextures; }
    void SetTextures(const boost::shared_ptr<GVTextures>& textures) { mTextures = textures; }
    const boost::shared_ptr<GVHitTester>& GetHitTester() const { return mHitTester; }
    // The tester is expected to be attached to the object (GVHitTester::Attach).
    void SetHitTester(const boost::shared_ptr<GVHitTester>& tester) { mHitTester = tester; }
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
    // The tester "hit_test" names, the parent's when empty.
    void LoadHitTester(TXmlNode* element, const GVObject* parent);
    // The current state's delay times the speed, in whole ms.
    int StatePeriod() const;

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
    std::unique_ptr<GVStates> mStates;
    std::unique_ptr<GVChilds> mChilds;
    std::unique_ptr<GVEffects> mEffects;
    int mFramePosition = -1;
    int mStateIndex = -1;
    float mSpeed = 1.0f;
    str mId;
    str mPathKey;
    boost::shared_ptr<GVHitTester> mHitTester;
    std::unique_ptr<TDrawSpec> mDrawSpec;
    GVObject* mParent = nullptr;
    // Not owned, in the order joined.
    std::vector<GVLayer*> mLayers;
    // Hand-overs under way: a chain of states that all end at once (empty lists) stops once it
    // is longer than the states list instead of recursing without end.
    int mEndingDepth = 0;
};
