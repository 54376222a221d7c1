// The simple particle window, window type "TPSimple": plays one particle script at a point of the
// window given by its style, advanced 16 ms on each 16 ms tick. A right click switches it on and
// off. Owned by its parent window. Main thread only.
#pragma once

#include "engine/core/str.h"
#include "engine/media/particlesystem.h"
#include "engine/ui/window.h"
#include "game/visual/PSimpleLocus.h"

class TPSimple : public TWindow { // NOLINT(readability-identifier-naming)
public:
    static constexpr int kAnimationMs = 16;
    static constexpr const char* kDefaultScript = "particles/particle_fx1.lua";

    TPSimple() = default;
    const char* GetClassName() const override { return "TPSimple"; }
    bool IsKindOf(TWindowClassId id) const override;

    // The factory function of the type name "TPSimple".
    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    // A 16 ms animation; the script "FX_fly" with the locus ("FX_LocalPos_X", "FX_LocalPos_Y")
    // as "dLocus"; on when "PlayFX_OnShow" is true, else off.
    void Init(TWindowStyle& style) override;
    // Redraw; the particles advance by 16 ms.
    bool OnAnimate() override;
    // The particles at offset 0.
    void Draw() override;
    // The right button's press switches the particles on or off.
    bool OnMouseButton(const TPoint& point, int code) override;

    // Lua text in the particle script.
    void DoLuaString(const char* text);
    TLuaParticleSystem& GetParticles() { return mParticles; }
    const PSimpleLocus& GetLocus() const { return mLocus; }
    const str& GetScriptPath() const { return mScriptPath; }

private:
    // Published to the particle script as "dLocus": it must outlive the particle system.
    PSimpleLocus mLocus;
    TLuaParticleSystem mParticles;
    str mScriptPath{kDefaultScript};
};
