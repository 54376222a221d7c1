// The "Particles" effect: while its state is current the object emits the particles of a pooled
// particle system at its position plus an offset, drawn before or after the object and advanced on
// a timer of the object's first draw list. The system is the pool's; the effect holds it from
// Start until it is taken away, released or the effect goes. Owned by an effect list; its timer
// is owned by the task list it runs in. Main thread only.
#pragma once

#include "engine/core/vec.h"
#include "game/visual/GParticleSystem.h"
#include "game/visual/GVEffect.h"
#include "game/visual/TOnTimerCaller.h"

#include <cstdint>

class GVLayer;
class TModalWindow;

class GVParticlesEffect final : public GVEffect, public GParticleSystemOwner {
public:
    using TTimer = TOnTimerCaller<GVParticlesEffect, TModalWindow>;

    static constexpr const char* kTypeName = "Particles";
    // How far a stopped system runs on at once, so that its particles die out.
    static constexpr int kStopAdvanceMs = 3000;

    GVParticlesEffect() { mEventMask = kEventParticles; }
    // Detaches the timer; the held system goes back to the pool.
    ~GVParticlesEffect() override;

    static GVClassId ClassIdentity();
    bool IsKindOf(GVClassId id) const override {
        return id == ClassIdentity() || GVEffect::IsKindOf(id);
    }
    const char* GetClassName() const override { return "GVParticlesEffect"; }
    const char* GetTypeName() const override { return kTypeName; }

    // "id" (the script "particles/" + id + ".lua"), "isPreParticle", "deltaX" and "deltaY"; true
    // when an element is given.
    bool Load(TXmlNode* element, GVBase* owner) override;
    // Script id, post flag and offset into a particle effect; null for another kind.
    GVBase* CopyTo(GVBase* target) override;
    // Makes the update timer when there is none, gives a held system back and takes one from the
    // pool; whether one is held. False, with nothing taken, while the owner is in no draw list.
    bool Start() override;
    // The held system stops and runs on by kStopAdvanceMs at once; true.
    bool Stop() override;
    // Draws the held system unless it is drawn after the object; true.
    bool PreDraw(const TDrawSpec& params) override;
    // Draws the held system when it is drawn after the object.
    void PostDraw(const TDrawSpec& params) override;
    // The held system's "dPos" := the world position plus the offset.
    void Apply(GVData& data) override;

    // The script called "OnEnd": the system goes back to the pool.
    void OnScriptEnd() override;
    // The pool took the system over: the timer is let go, unless this effect is starting.
    void OnReleased() override;

    // The timer's call: the held system advances by the step for the time the top modal window's
    // clock moved since the last call (nothing the first time).
    void Update();

    const str& GetScriptId() const { return mScriptId; }
    bool IsPost() const { return mPost; }
    const TVec2& GetOffset() const { return mOffset; }
    TTimer* GetTimer() const { return mTimer; }

private:
    friend class GVLayer;

    TVec2 mOffset;
    // Owned by its task list; it clears this pointer when it goes.
    TTimer* mTimer = nullptr;
    bool mStarting = false;
    str mScriptId;
    // "isPreParticle": the particles are drawn after the object, in front of it.
    bool mPost = false;
    uint32_t mLastUpdate = 0;
    bool mUpdated = false;
};
