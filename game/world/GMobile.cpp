#include "game/world/GMobile.h"

#include "engine/script/lua/luanumber.h"
#include "engine/ui/text.h"

GMobile::~GMobile() {
    mCount = 1.0f;
    Tick();
}

void GMobile::Start(GSMoveType* mover, TText* target, float steps) {
    mMover = mover;
    mTarget = target;
    mCount = steps;
    Tick();
}

void GMobile::Detach() {
    if (mTarget != nullptr) {
        mTarget->SetText("");
    }
    Forget();
}

void GMobile::Forget() {
    mTarget = nullptr;
    mMover = nullptr;
}

void GMobile::SetPosition(float x, float y) {
    GSCanMove::SetPosition(x, y);
    if (mTarget != nullptr) {
        mTarget->MoveTo(LuaNumberToInt(x), LuaNumberToInt(y));
    }
}
