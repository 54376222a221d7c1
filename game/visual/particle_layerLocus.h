// The emitter position a particle layer publishes to each source's script as "dLocus"; its fly
// emitter sets the point as it moves.
#pragma once

#include "engine/core/vec.h"
#include "engine/media/particlefunction.h"

class particle_layerLocus : public TParticleFunction { // NOLINT(readability-identifier-naming)
public:
    const char* GetClassName() const override;
    uint8_t ResultSize(uint8_t argc, const uint8_t* argSizes) const override;
    bool Evaluate(TParticleContext* context, TParticleFrame* frame) override;

    TVec2 mPoint;
};
