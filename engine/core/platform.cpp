#include "engine/core/platform.h"

#include "engine/core/assetmanager.h"
#include "engine/core/knownfiles.h"
#include "engine/core/settings.h"
#include "engine/core/win32platform.h"
#include "engine/core/windowsystemlink.h"
#include "platform/win32/windows.h"

TPlatform* TPlatform::sInstance = nullptr;
uint32_t TPlatform::sStartTime = 0;

TPlatform::TPlatform(TWin32Platform* win32) : mWin32(win32) {
    sInstance = this;
}

TPlatform::~TPlatform() {
    // The cursor thread reads the window manager: it must be gone before anything it uses is.
    mWin32->StopCursorThread();
    delete mWin32->mWindowManager;
    mWin32->mWindowManager = nullptr;
    mWin32->mTaskList.Clear();
    delete mWin32->mSoundManager;
    mWin32->mSoundManager = nullptr;
    delete mWin32->mGlyphRenderer;
    mWin32->mGlyphRenderer = nullptr;
    sInstance = nullptr;
    if (mWin32->mStringTable != nullptr) {
        mWin32->mStringTable->Clear();
        delete mWin32->mStringTable;
        mWin32->mStringTable = nullptr;
    }
    delete mWin32->mAssetManager;
    mWin32->mAssetManager = nullptr;
    delete mWin32;
    mWin32 = nullptr;
    ClearSettings();
    ClearKnownFiles();
}

TPlatform* TPlatform::GetInstance() {
    return sInstance;
}

TAssetManager* TPlatform::GetAssetManager() const {
    return mWin32->mAssetManager;
}

TAssetManager* GetAssetManager() {
    TPlatform* platform = TPlatform::GetInstance();
    return platform != nullptr ? platform->GetAssetManager() : nullptr;
}

void TPlatform::CreateMainWindow() {
    mWin32->CreateMainWindow(this);
}

void TPlatform::GetEvent(TEvent* event) {
    mWin32->GetEvent(event);
}

uint32_t TPlatform::GetTime() {
    // Unsigned subtraction keeps the difference right across timeGetTime's wrap.
    return timeGetTime() - sStartTime;
}

void TPlatform::Sleep(int ms) {
    ::Sleep(static_cast<DWORD>(ms < 0 ? 0 : ms));
}

bool TPlatform::IsFullScreen() const {
    if (IsPqMode()) {
        return gPortalHostFullScreen;
    }
    return Display().Exists() && Display().IsFullscreen();
}

bool TPlatform::SetFullScreen(bool fullScreen) {
    if (IsPqMode()) {
        // The host shows the game full screen; the display itself stays windowed.
        SendMessageA(gPortalHostWindow, WM_USER, fullScreen ? 1 : 0, 0);
        gPortalHostFullScreen = fullScreen;
        Display().SetFullscreen(false);
        return true;
    }
    return Display().SetFullscreen(fullScreen);
}
