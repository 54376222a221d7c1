#include "engine/media/flashplayer.h"

#include "engine/core/color.h"
#include "engine/core/rect.h"
#include "engine/media/dxdisplayhandler.h"
#include "engine/media/renderer.h"
#include "engine/system/platform.h"
#include "engine/system/win32platform.h"
#include "engine/system/windowsystemlink.h"
#include "platform/win32/windows.h"

namespace {

// The ActiveX host library and its two entry points, looked for once per process (COM's apartment
// first, which the control would live in).
struct TActiveXHost {
    HMODULE module = nullptr;
    FARPROC init = nullptr;
    FARPROC getControl = nullptr;
};

const TActiveXHost& ActiveXHost() {
    static const TActiveXHost host = [] {
        TActiveXHost found;
        CoInitialize(nullptr);
        found.module = LoadLibraryA("ATL.DLL");
        if (found.module != nullptr) {
            found.init = GetProcAddress(found.module, "AtlAxWinInit");
            found.getControl = GetProcAddress(found.module, "AtlAxGetControl");
        }
        if (found.init != nullptr) {
            reinterpret_cast<BOOL (*)()>(found.init)();
        }
        return found;
    }();
    return host;
}

TWindowManagerLink* MovieWindowManager() {
    TPlatform* platform = TPlatform::GetInstance();
    return platform != nullptr ? platform->GetWindowManager() : nullptr;
}

void ResetHandlerCursor() {
    if (TDxDisplayHandler* handler = TDxDisplayHandler::Instance()) {
        handler->ResetCursorState();
    }
}

} // namespace

TFlashPlayer::TFlashPlayer(const char* movie)
    : mMovie(movie != nullptr ? movie : ""), mState(std::make_unique<TState>()) {
    if (const TPlatform* platform = TPlatform::GetInstance()) {
        mState->savedCursor = platform->GetWin32()->mCursorVisible ? 1 : 0;
    }
}

TFlashPlayer::~TFlashPlayer() {
    Stop();
}

bool TFlashPlayer::Play(bool /*loop*/, bool /*localize*/, bool interactive) {
    TPlatform* platform = TPlatform::GetInstance();
    if (platform == nullptr) {
        return false;
    }
    const TWin32Platform* win32 = platform->GetWin32();
    mState->savedCursor = win32->mCursorVisible ? 1 : 0;
    platform->SetCursorVisible(false);
    if (interactive) {
        SetClassLongPtrA(win32->mMainWindow, GCLP_HCURSOR,
                         reinterpret_cast<LONG_PTR>(LoadCursorA(nullptr, IDC_ARROW)));
    }
    // The control needs the ActiveX host library and its two entry points. This system never
    // has them, so hosting the control in a child window is not built: the play fails here, with
    // no window made, as it does wherever the library is missing.
    ActiveXHost();
    platform->SetCursorVisible(mState->savedCursor != 0);
    return false;
}

bool TFlashPlayer::IsPlaying() {
    // Only the control's "Playing" property could say so, and no control is ever hosted here.
    return false;
}

void TFlashPlayer::Stop() {
    TPlatform* platform = TPlatform::GetInstance();
    TWindowManagerLink* manager = MovieWindowManager();
    if (mState->controlWindow != nullptr) {
        DestroyWindow(mState->controlWindow);
        mState->controlWindow = nullptr;
    }
    if (manager != nullptr) {
        manager->SetDrawingSuspended(false);
    }
    if (mState->blockerWindow != nullptr) {
        DestroyWindow(mState->blockerWindow);
        mState->blockerWindow = nullptr;
    }
    if (platform != nullptr) {
        SetFocus(platform->GetWin32()->mMainWindow);
    }
    ResetHandlerCursor();

    // One frame of the root's background over whatever the movie left on the screen.
    TRect root{0, 0, 0, 0};
    TRenderer* renderer = TRenderer::Existing();
    if (manager != nullptr && renderer != nullptr && manager->GetRootRect(&root)) {
        TColor background{0.0f, 0.0f, 0.0f, 0.0f};
        manager->GetRootBackground(&background);
        if (renderer->BeginDraw(0)) {
            renderer->FillRect(root, background, TTexturePtr());
            renderer->EndDraw(1);
        }
    }

    ResetHandlerCursor();
    if (mState->interactive) {
        mState->interactive = false;
        if (manager != nullptr) {
            manager->SetInputBlocked(false);
        }
    }
    if (platform != nullptr) {
        platform->SetCursorVisible(mState->savedCursor != 0);
    }
}
