// The base of every effect: something that changes a visual object while one of its states is
// current (interpolators, particle emitters). Effects are made by name through the registry below,
// owned by an effect list (the object's or a state's), and told about the object's drawing, frame
// changes and updates once they run. Main thread only.
#pragma once

#include "engine/core/str.h"
#include "game/visual/GVBase.h"

#include <map>

class GVData;
class GVObject;
struct TDrawSpec;

// A class's identity: the address its identity function answers.
using GVClassId = const void*;

class GVEffect : public GVBase {
public:
    // Bits of the event mask; an effect with a mask of 0 gets no notification.
    enum : int {
        kEventParticles = 1,
        kEventInterpolator = 8,
    };

    GVEffect() : GVBase(kEffect) {}
    ~GVEffect() override = default;
    GVEffect(const GVEffect&) = delete;
    GVEffect& operator=(const GVEffect&) = delete;

    static GVClassId ClassIdentity();

    // "enable" (default true) and "id"; true when an element is given.
    bool Load(TXmlNode* element, GVBase* owner) override;
    // Effects are not written back.
    bool Save(TXmlNode* /*element*/) override { return false; }
    // Id and enabled flag into an effect; null for another kind.
    GVBase* CopyTo(GVBase* target) override;

    virtual const char* GetClassName() const { return "GVEffect"; }
    virtual bool IsKindOf(GVClassId id) const { return id == ClassIdentity(); }
    virtual void SetEnabled(bool enabled) { mEnabled = enabled; }
    // The name the registry makes it by; "" for the base.
    virtual const char* GetTypeName() const { return ""; }
    // True when the effect runs from now on; the base cannot run.
    virtual bool Start() { return false; }
    // True when it has left the running effects.
    virtual bool Stop() { return true; }
    // True for an object.
    virtual bool SetOwner(GVObject* owner);
    // False hides the owner for this frame.
    virtual bool PreDraw(const TDrawSpec& /*params*/) { return true; }
    virtual void PostDraw(const TDrawSpec& /*params*/) {}
    virtual void OnFrameChanged(int /*previous*/) {}
    // Changes the owner's world data during its update.
    virtual void Apply(GVData& /*data*/) {}

    int GetEventMask() const { return mEventMask; }
    const str& GetId() const { return mId; }
    bool IsEnabled() const { return mEnabled; }
    // Not owned; null until attached.
    GVObject* GetOwnerObject() const { return mOwner; }

protected:
    int mEventMask = 0;
    str mId;
    bool mEnabled = true;
    GVObject* mOwner = nullptr;
};

using GVEffectCreator = GVEffect* (*)();

// Effect type names to the functions that make them; the interpolators are registered before the
// program starts.
std::map<str, GVEffectCreator>& GetEffectCreators();
// Stores (replaces) the creator under the name; true.
bool RegisterEffectCreator(const str& name, GVEffectCreator creator);
