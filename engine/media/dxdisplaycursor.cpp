// The display handler's cursor operations: the platform reaches the context's software cursor
// through these.
#include "engine/media/directx.h"
#include "engine/media/dxdisplayhandler.h"
#include "engine/media/mouselock.h"
#include "engine/system/platform.h"
#include "engine/system/win32platform.h"

TPoint TDxDisplayHandler::UpdateCursor(int x, int y) {
    return mData->mContext->DrawCursor(x, y, false);
}

void TDxDisplayHandler::CheckClientRect() {
    mData->mContext->CheckClientRect();
}

bool TDxDisplayHandler::ApplyCursor() {
    const TPlatform* platform = TPlatform::GetInstance();
    mData->mContext->ApplyIconCursor(platform == nullptr || platform->GetWin32()->mCursorVisible);
    return true;
}

TPoint TDxDisplayHandler::GetCursorPosition() {
    return mData->mContext->GetCursorPosition();
}

void TDxDisplayHandler::RemoveCursorImage() {
    mData->mContext->RemoveCursorImage();
}

bool TDxDisplayHandler::ShowCursor(bool show) {
    mData->mContext->ShowCursor(show);
    return true;
}

bool TDxDisplayHandler::SetCursorImage(const TTexturePtr& texture, int hotX, int hotY,
                                       bool system) {
    return mData->mContext->SetCursorImage(texture, hotX, hotY, system);
}

void TDxDisplayHandler::ResetCursorState() {
    mData->mContext->ResetCursorState();
}

TPoint TDxDisplayHandler::GetClientOrigin() const {
    // The cursor thread refreshes the drawing area's place when it resets the cursor.
    const TMouseLock lock(mData->mContext->GetMouseMutex());
    return mData->mContext->GetDisplay().GetClientOrigin();
}
