#include "game/world/GWndMobile.h"

#include "game/visual/GFlyEmitter.h"
#include "game/world/GFinishMobileLstnr.h"

GWndMobile::~GWndMobile() {
    mCount = 1.0f;
    Tick();
}

void GWndMobile::SetWindow(GFlyEmitter* window, GFinishMobileLstnr* listener) {
    mWindow = window;
    mListener = listener;
    if (mWindow != nullptr) {
        mWindow->SetFlags(0);
    }
}

void GWndMobile::Start(GSMoveType* mover, float steps) {
    if (mWindow != nullptr) {
        mWindow->SetFlags(mWindow->GetFlags() | kMoving);
    }
    mCount = steps;
    mMover = mover;
    Tick();
}

int GWndMobile::Release() {
    const int result = mListener != nullptr ? mListener->OnMobileFinished() : 0;
    if (mWindow != nullptr) {
        mWindow->SetFlags(0);
    }
    mMover = nullptr;
    return result;
}

void GWndMobile::Forget() {
    mWindow = nullptr;
    mListener = nullptr;
    mMover = nullptr;
}

void GWndMobile::SetPosition(float x, float y) {
    GSCanMove::SetPosition(x, y);
    if (mWindow != nullptr) {
        mWindow->MoveBy(x, y);
    }
}
