// The particle layer, window type "particle_layer": draws and advances the particles of the fly
// emitters that joined it, on a 10 ms animation. The first layer of a name is the one emitters
// find by that name (FindParticleLayer). Layer and emitters forget each other when either goes.
// Owned by its parent window. Main thread only.
#pragma once

#include "engine/core/str.h"
#include "engine/core/vec.h"
#include "engine/ui/window.h"

#include <cstdint>
#include <vector>

class GFlyEmitter;
class particle_layerLocus;

class particle_layer : public TWindow { // NOLINT(readability-identifier-naming)
public:
    static constexpr int kAnimationMs = 10;
    // What a layer loads into every emitter that joins it, before the emitter's own script.
    static constexpr const char* kSourceScript = "particles/particle_fx9.lua";

    particle_layer() = default;
    // Leaves the register of names when it is the layer registered; its emitters forget it.
    ~particle_layer() override;
    const char* GetClassName() const override { return "particle_layer"; }
    bool IsKindOf(TWindowClassId id) const override;

    // The factory function of the type name "particle_layer".
    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    // "name"; registered under it unless a layer of that name is; a 10 ms animation.
    void Init(TWindowStyle& style) override;
    // The particles are advanced from the modal parent's clock time on.
    bool OnAttach() override;
    // Redraw; every source advances by the step for the time since the last tick.
    bool OnAnimate() override;
    // Every source's particles, at offset 0.
    void Draw() override;
    // The mouse point becomes the layer's locus; not handled.
    bool OnMouseMove(const TPoint& point) override;

    // The emitter joins: its particle system gets the locus as "dLocus" and the layer's script
    // (the first time it joins a layer), its particles are switched off, and it is drawn and
    // advanced from now on. Null, or an emitter already here, changes nothing.
    void AddSource(GFlyEmitter* emitter, particle_layerLocus* locus);
    // The emitter is drawn no more and forgets the layer.
    void RemoveSource(GFlyEmitter* emitter);

    const std::vector<GFlyEmitter*>& GetSources() const { return mSources; }
    const TVec2& GetLocus() const { return mLocus; }
    const str& GetLayerName() const { return mLayerName; }

private:
    // Out of the register of names, when it is the layer registered under its name.
    void Unregister();

    // Not owned; each knows this layer.
    std::vector<GFlyEmitter*> mSources;
    TVec2 mLocus;
    str mLayerName;
    int32_t mLastUpdate = 0;
};

// The layer registered under the name, or null.
particle_layer* FindParticleLayer(const str& name);
