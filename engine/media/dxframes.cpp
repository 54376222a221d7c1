// The display handler's frame protocol and its recovery: scenes, presents, lost devices, the
// in-place restore and the switch to low-video-memory mode.
#include "engine/core/assetmanager.h"
#include "engine/core/filesave.h"
#include "engine/core/log.h"
#include "engine/core/xml.h"
#include "engine/media/directx.h"
#include "engine/media/dxdisplayhandler.h"
#include "engine/media/dxerror.h"
#include "engine/media/dxhelpers.h"
#include "engine/media/dxtexturedata.h"
#include "engine/media/texture.h"
#include "engine/system/platform.h"
#include "engine/system/win32platform.h"
#include "engine/system/windowsystemlink.h"

namespace {

TWin32Platform* Win32() {
    TPlatform* platform = TPlatform::GetInstance();
    return platform != nullptr ? platform->GetWin32() : nullptr;
}

bool WindowActive() {
    TWin32Platform* win32 = Win32();
    return win32 == nullptr || win32->mWindowActive;
}

bool InactiveInFullScreen() {
    TWin32Platform* win32 = Win32();
    return win32 != nullptr && win32->mInactiveInFullScreen;
}

HWND MainWindow() {
    TWin32Platform* win32 = Win32();
    return win32 != nullptr ? win32->mMainWindow : nullptr;
}

TWindowManagerLink* WindowManager() {
    TPlatform* platform = TPlatform::GetInstance();
    return platform != nullptr ? platform->GetWindowManager() : nullptr;
}

bool DrawingSuspended() {
    TWindowManagerLink* manager = WindowManager();
    return manager != nullptr && manager->IsDrawingSuspended();
}

void InvalidateWindows() {
    if (TWindowManagerLink* manager = WindowManager()) {
        manager->Invalidate();
    }
}

void ReleaseAllAssets() {
    if (TAssetManager* assets = GetAssetManager()) {
        assets->ReleaseAll();
    }
}

} // namespace

bool TDxDisplayHandler::BeginDraw(bool prepareCursor) {
    TPlatformData& data = *mData;
    if (data.mDevice == nullptr || data.mLost) {
        return false;
    }
    if (IDirectDrawSurface7* front = data.mContext->GetFrontBuffer()) {
        const HRESULT status = front->GetFlipStatus(DDGFS_ISFLIPDONE);
        if (status == DDERR_WASSTILLDRAWING) {
            return false;
        }
        Check(status, 401);
    }
    if (prepareCursor && !data.mContext->PrepareBackBuffer()) {
        MarkLost();
        return false;
    }
    HRESULT result = data.mDevice->BeginScene();
    if (result == DDERR_SURFACELOST) {
        Log("TRenderer::BeginDraw: DDERR_SURFACELOST on BeginScene");
        if (data.mRestoring) {
            MarkLost();
            return false;
        }
        Restore();
        if (data.mLost || data.mDevice == nullptr) {
            data.mInScene = false;
            return false;
        }
        result = data.mDevice->BeginScene();
        if (FAILED(result)) {
            Check(result, 402);
            MarkLost();
            data.mInScene = false;
            return false;
        }
    } else if (FAILED(result)) {
        Check(result, 403);
        data.mInScene = false;
        return false;
    }
    ++data.mWorkingCount;
    Check(ApplyViewport(data.mTargetRect, data.mTargetRect), 404);
    Check(data.mContext->ClearDepth(D3DCLEAR_ZBUFFER), 405);
    Check(ApplyViewport(data.mViewport, data.mTargetRect), 406);
    data.mInScene = true;
    return true;
}

HRESULT TDxDisplayHandler::EndDraw(bool present) {
    TPlatformData& data = *mData;
    if (!data.mInScene) {
        return DD_OK;
    }
    data.mInScene = false;
    if (data.mDevice == nullptr) {
        return DD_OK;
    }
    HRESULT result = data.mDevice->EndScene();
    if (result == D3DERR_SCENE_END_FAILED) {
        MarkLost();
        return result;
    }
    Check(result, 411);
    if (present && !DrawingSuspended() && SUCCEEDED(result)) {
        result = data.mContext->Present();
    }
    if (result == DDERR_SURFACELOST) {
        Log("TPlatform::EndDraw: DDERR_SURFACELOST on UpdateFrame or EndScene");
        Restore();
    } else if (FAILED(result)) {
        Check(result, 412);
        Log("TPlatform::EndDraw: Unexpected error (see above) on UpdateFrame or EndScene");
        Restore();
    }
    return result;
}

bool TDxDisplayHandler::IsFlipDone() {
    if (mData->mContext == nullptr) {
        return false;
    }
    IDirectDrawSurface7* back = mData->mContext->GetBackBuffer();
    if (back == nullptr) {
        return false;
    }
    const HRESULT status = mData->mFullscreen ? back->GetFlipStatus(DDGFS_ISFLIPDONE)
                                              : back->GetBltStatus(DDGBS_ISBLTDONE);
    return status != DDERR_WASSTILLDRAWING;
}

void TDxDisplayHandler::Restore() {
    TPlatformData& data = *mData;
    if (data.mRestoring) {
        MarkLost();
        Sleep(50);
        return;
    }
    TFlagScope restoring(data.mRestoring);
    if (InactiveInFullScreen()) {
        Sleep(100);
        return;
    }
    ReleaseAllAssets();
    const int width = data.mTargetRect.right - data.mTargetRect.left;
    const int height = data.mTargetRect.bottom - data.mTargetRect.top;
    if (data.mDirectDraw == nullptr || data.mReconfigure) {
        Log("TPlatformData::Restore: mDirectDraw NULL. Calling SetDisplay()");
        SetDisplay(width, height, data.mFullscreen, true, true, false);
        return;
    }
    HRESULT result = data.mDirectDraw->TestCooperativeLevel();
    for (int pass = 1; FAILED(result); ++pass) {
        if (result == DDERR_WRONGMODE) {
            SetDisplay(width, height, data.mFullscreen, true, false, false);
            return;
        }
        if (!WindowActive()) {
            return;
        }
        Sleep(100);
        // The state may have changed while waiting.
        result = data.mDirectDraw->TestCooperativeLevel();
        if (result == DDERR_EXCLUSIVEMODEALREADYSET) {
            return;
        }
        if (result == DDERR_NOEXCLUSIVEMODE) {
            result = data.mDirectDraw->SetCooperativeLevel(MainWindow(),
                                                           DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN);
        }
        if (SUCCEEDED(result)) {
            if (result != DD_OK) {
                Check(result, 421);
            }
            Log("Restore: Test Cooperative level failed. Calling SetDisplay");
            SetDisplay(width, height, data.mFullscreen, true, false, false);
            return;
        }
        if (pass == 5) {
            return;
        }
    }
    if (data.mWorkingCount < 3) {
        if (!WindowActive()) {
            MarkLost();
            return;
        }
        Log("TPlatformData::Restore: Working count too small (%d). Calling SetDisplay()",
            static_cast<int>(data.mWorkingCount));
        SetDisplay(width, height, data.mFullscreen, true, false, false);
        return;
    }
    data.mWorkingCount = 0;
    data.mLost = false;
    result = data.mDirectDraw->RestoreAllSurfaces();
    if (FAILED(result)) {
        if (result == DDERR_WRONGMODE) {
            Log("Restore: RestoreAllSurfaces resulted in DDERR_WRONGMODE. Calling SetDisplay.");
        } else {
            Log("RestoreAllSurfaces failed!\n");
            Check(result, 422);
        }
        SetDisplay(width, height, data.mFullscreen, true, false, false);
        return;
    }
    RestoreAssets();
    InvalidateWindows();
}

void TDxDisplayHandler::RestoreAssets() {
    if (!IsReady()) {
        Log("RestoreAssets: DX broken");
        return;
    }
    if (TAssetManager* assets = GetAssetManager()) {
        assets->RestoreAll();
    }
    if (TPlatform* platform = TPlatform::GetInstance()) {
        platform->GetRestoreTaskList()->Run(0);
    }
    InvalidateWindows();
}

void TDxDisplayHandler::OnOutOfVideoMemory() {
    TPlatformData& data = *mData;
    if (data.mLowMemoryVideo || data.mDirect3D == nullptr) {
        return;
    }
    Log("OutOfVideoMemory triggered!");
    data.mLowMemoryVideo = true;
    MarkLost();
    data.mReconfigure = true;
    TXmlNode settings("Settings");
    settings.SetAttribute("LowMemoryVideo", "1");
    const str text = settings.ToString();
    // Written whole or not at all: a torn file would silently turn the mode off at the next start.
    SaveWholeFile("common:display.xml", text.CStr(), text.Length());
}

void TDxDisplayHandler::SetTexture(const TTexturePtr& texture) {
    if (!IsReady()) {
        return;
    }
    IDirectDrawSurface7* surface = nullptr;
    if (texture && texture->GetData() != nullptr) {
        // Texture data comes from this handler, which makes only this kind.
        surface = static_cast<TDxTextureData*>(texture->GetData())->GetSurface();
    }
    Check(mData->mDevice->SetTexture(0, surface), 431);
    SetTextureStages(mData->mBlendMode);
}
