// The emitter point of a simple particle window, published to its script as "dLocus"; set from
// the window style.
#pragma once

#include "engine/core/vec.h"
#include "engine/media/particlefunction.h"

class PSimpleLocus : public TParticleFunction { // NOLINT(readability-identifier-naming)
public:
    const char* GetClassName() const override;
    uint8_t ResultSize(uint8_t argc, const uint8_t* argSizes) const override;
    bool Evaluate(TParticleContext* context, TParticleFrame* frame) override;

    TVec2 mPoint;
};
