#include "game/visual/particle_layerLocus.h"

const char* particle_layerLocus::GetClassName() const {
    return "particle_layerLocus";
}

uint8_t particle_layerLocus::ResultSize(uint8_t, const uint8_t*) const {
    return 2;
}

bool particle_layerLocus::Evaluate(TParticleContext*, TParticleFrame* frame) {
    const float values[2] = {mPoint.x, mPoint.y};
    return frame->Push(values, 2);
}
