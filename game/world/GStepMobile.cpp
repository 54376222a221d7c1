#include "game/world/GStepMobile.h"

#include "game/world/GSMoveType.h"

void GStepMobile::Tick() {
    if (!(mCount > 0.0f)) {
        return;
    }
    mCount -= 1.0f;
    if (!IsBound()) {
        return;
    }
    if (mCount <= 0.0f) {
        OnLastStep();
    } else if (mMover != nullptr) {
        mMover->Step(this, mCount);
    }
}
