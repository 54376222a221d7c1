// The fly emitter, window type "GFlyEmitter": a window that flies a particle effect across the
// screen. Its particles are drawn and advanced by the particle layer it joins (style "RenderTo");
// its window mover carries it along a straight motion and shows it (flag 0x100) while it flies.
// Every live emitter answers the main window script's "CPP_OnPrtInitComplete", which the first one
// defines and the last one takes back. Owned by its parent window. Main thread only.
#pragma once

#include "engine/core/str.h"
#include "engine/core/vec.h"
#include "engine/media/particlesystem.h"
#include "engine/ui/window.h"
#include "game/visual/particle_layerLocus.h"
#include "game/world/GFinishMobileLstnr.h"
#include "game/world/GSCanMove.h"
#include "game/world/GWndMobile.h"
#include "game/world/LineMove.h"

class particle_layer;

class GFlyEmitter : public TWindow, public GSCanMove, public GFinishMobileLstnr {
public:
    static constexpr int kAnimationMs = 10;
    static constexpr const char* kDefaultScript = "particles/particle_fx1.lua";
    static constexpr const char* kDefaultLayer = "particle_layer";

    // Joins the live emitters (the first one defines "CPP_OnPrtInitComplete"); the window mover
    // is bound to this window, which it hides, with the emitter as its listener.
    GFlyEmitter();
    // Leaves its layer and the live emitters (the last one takes "CPP_OnPrtInitComplete" back).
    ~GFlyEmitter() override;
    const char* GetClassName() const override { return "GFlyEmitter"; }
    bool IsKindOf(TWindowClassId id) const override;

    // The factory function of the type name "GFlyEmitter".
    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    // "FX_fly" (the particle script) and "RenderTo" (the layer's name); a 10 ms animation.
    void Init(TWindowStyle& style) override;
    // One step of the flight.
    bool OnAnimate() override;
    // Slot 28: the locus and the window go to the start position plus (dx, dy).
    virtual void MoveBy(float dx, float dy);

    // Quiets the particles; joins the layer when it has none yet and the layer exists; loads the
    // particle script the first time it is in a layer; hides the child "FlyEmitter_Img".
    void OnPrtInitComplete();
    // A flight of `ticks` ticks; the particles are switched on, and off at its end.
    void Fly(int ticks);
    // The locus and the mover's position; the window follows at the flight's next step.
    void SetPosition(float x, float y) override;
    // Not flying: flag 0x100 is clear.
    bool IsIdle() const;
    // The flight offset: every position of the flight is taken from it.
    void SetStartPosition(float x, float y) { mStart = TVec2(x, y); }
    const TVec2& GetStartPosition() const { return mStart; }

    // The mover's listener: a step moves the window and, while no layer advances the particles,
    // advances them by ms; the end of the flight switches the particles off.
    void OnMobileStep(int ms) override;
    int OnMobileFinished() override;
    TLuaParticleSystem* GetParticleSystem() override { return &mParticles; }

    // The velocity of the flight.
    LineMove& GetLineMove() { return mLine; }
    GWndMobile& GetMobile() { return mMobile; }
    // Null until it joined one, and again once that layer is gone.
    particle_layer* GetLayer() const { return mLayer; }
    const particle_layerLocus& GetLocus() const { return mLocus; }
    const str& GetScriptPath() const { return mScriptPath; }
    const str& GetRenderTo() const { return mRenderTo; }

private:
    friend class particle_layer;

    // "CPP_OnPrtInitComplete": OnPrtInitComplete on every live emitter.
    static void OnPrtInitCompleteAll();
    void DoLuaString(const char* text);

    GWndMobile mMobile;
    LineMove mLine;
    str mScriptPath{kDefaultScript};
    str mRenderTo{kDefaultLayer};
    // Published to the particle script as "dLocus": it must outlive the particle system.
    particle_layerLocus mLocus;
    TLuaParticleSystem mParticles;
    // Not owned; it tells the emitter when it goes.
    particle_layer* mLayer = nullptr;
    TVec2 mStart;
    bool mScriptLoaded = false;
    // A layer published the locus and loaded its own script into the particle system.
    bool mSourceReady = false;
};
