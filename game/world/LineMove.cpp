#include "game/world/LineMove.h"

#include "game/world/GSCanMove.h"

void LineMove::Step(GSCanMove* mover, float amount) {
    if (mover == nullptr) {
        return;
    }
    const TVec2 position = mover->GetPosition();
    mover->SetPosition(position.x + mVelocity.x * amount, position.y + mVelocity.y * amount);
}
