#include "game/visual/PSimpleLocus.h"

const char* PSimpleLocus::GetClassName() const {
    return "PSimpleLocus";
}

uint8_t PSimpleLocus::ResultSize(uint8_t, const uint8_t*) const {
    return 2;
}

bool PSimpleLocus::Evaluate(TParticleContext*, TParticleFrame* frame) {
    const float values[2] = {mPoint.x, mPoint.y};
    return frame->Push(values, 2);
}
