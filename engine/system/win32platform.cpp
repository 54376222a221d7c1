#include "engine/system/win32platform.h"

#include "engine/core/assetmanager.h"
#include "engine/core/knownfiles.h"
#include "engine/core/log.h"
#include "engine/core/settings.h"
#include "engine/system/platform.h"
#include "engine/system/windowsystemlink.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

const char* gCommandLine = nullptr;
HWND gPortalHostWindow = nullptr;
bool gPortalHostFullScreen = false;
HWND gTestHookWindow = nullptr;

str& MainWindowClassName() {
    static str name;
    return name;
}

str& AssetsFolderPath() {
    static str path;
    return path;
}

bool IsPqMode() {
    return gCommandLine != nullptr && std::strstr(gCommandLine, "-pq=") != nullptr;
}

namespace {

// The built-in cursor: a 32 by 32 palette image of an arrow.
const unsigned char kSystemCursorPng[] = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52,
    0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x20, 0x08, 0x03, 0x00, 0x00, 0x00, 0x44, 0xA4, 0x8A,
    0xC6, 0x00, 0x00, 0x00, 0x09, 0x50, 0x4C, 0x54, 0x45, 0xFF, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF,
    0xFF, 0xFF, 0x58, 0xA4, 0x89, 0xA9, 0x00, 0x00, 0x00, 0x03, 0x74, 0x52, 0x4E, 0x53, 0x00, 0xFF,
    0xFF, 0x44, 0x50, 0xD6, 0x21, 0x00, 0x00, 0x00, 0x51, 0x49, 0x44, 0x41, 0x54, 0x78, 0xDA, 0xED,
    0xD2, 0x39, 0x0E, 0x00, 0x20, 0x10, 0x02, 0x40, 0xF1, 0xFF, 0x8F, 0x56, 0xD7, 0xAB, 0x02, 0x4C,
    0xB4, 0x94, 0x7A, 0x92, 0x3D, 0x13, 0x92, 0x09, 0x9C, 0x40, 0x86, 0x03, 0x46, 0x54, 0xA0, 0x45,
    0x03, 0x52, 0x04, 0x50, 0xA2, 0x03, 0x21, 0x06, 0xE0, 0x62, 0x02, 0x2A, 0x16, 0x60, 0x62, 0x03,
    0x22, 0x66, 0x93, 0x11, 0xBA, 0x28, 0x33, 0x05, 0x0C, 0x80, 0x3E, 0x48, 0x14, 0x96, 0xE0, 0xF8,
    0xA6, 0x0F, 0xDE, 0x02, 0x97, 0xBF, 0xF9, 0x73, 0x99, 0x02, 0x63, 0x52, 0x00, 0xDF, 0xA3, 0xB2,
    0xC7, 0x19, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82,
};

} // namespace

void CopyPath(char* out, const char* text) {
    std::snprintf(out, MAX_PATH, "%s", text);
}

str TWin32Platform::MakeInstanceName(const char* shortModulePath) {
    str name(shortModulePath);
    name.ToLower();
    name.Replace("\\", "", str::kAll);
    name.Replace(":", "", str::kAll);
    return name;
}

TWin32Platform::TWin32Platform(HINSTANCE instance, HINSTANCE /*previous*/, char* commandLine,
                               int /*showCommand*/, bool multiInstance)
    : mInstance(instance) {
    mUtf8Mode = IsEnabled("utf8mode");
    timeBeginPeriod(1);
    gCommandLine = commandLine;
    mMouseMode = 0;

    mWindowManager = CreateWindowManager();
    mAssetManager = new TAssetManager;
    mStringTable = CreateStringTable();

    GetModuleFileNameA(instance, mProgramFile, MAX_PATH);
    CopyPath(mProgramFolder, mProgramFile);
    if (char* slash = std::strrchr(mProgramFolder, '\\')) {
        slash[1] = '\0';
    }

    char current[MAX_PATH] = {};
    const DWORD currentLength = GetCurrentDirectoryA(MAX_PATH, current);
    if (currentLength == 0 || currentLength >= MAX_PATH ||
        GetShortPathNameA(current, mStartupDir, MAX_PATH) >= MAX_PATH) {
        mStartupDir[0] = '\0';
    }
    SetCurrentDirectoryA(mProgramFolder);

    char module[MAX_PATH] = {};
    char shortModule[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    if (GetShortPathNameA(module, shortModule, MAX_PATH) >= MAX_PATH) {
        shortModule[0] = '\0';
    }
    const str instanceName = MakeInstanceName(shortModule);
    const str mutexName = instanceName + "_MUTEX";
    MainWindowClassName() = instanceName + "_WNDCLASS";

    SetLastError(0);
    if (!multiInstance) {
        mInstanceMutex = CreateMutexA(nullptr, TRUE, mutexName.CStr());
        if (GetLastError() == ERROR_ALREADY_EXISTS) {
            if (HWND other = FindWindowA(MainWindowClassName().CStr(), nullptr)) {
                SetForegroundWindow(other);
                ShowWindow(other, SW_SHOWNORMAL);
            }
            std::exit(0);
        }
    }

    CopyPath(mAssetsFolder, (str(mProgramFolder) + "assets\\").CStr());
    AssetsFolderPath() = mAssetsFolder;

    mStartTime = timeGetTime();
    TPlatform::ResetTime(mStartTime);

    CopyPath(mUserFolder, mProgramFolder);
    CopyPath(mCommonFolder, mProgramFolder);
    CopyPath(mDesktopFolder, mProgramFolder);

    DWORD versionHandle = 0;
    const DWORD versionSize = GetFileVersionInfoSizeA(mProgramFile, &versionHandle);
    if (versionSize != 0) {
        std::vector<char> block(versionSize);
        if (GetFileVersionInfoA(mProgramFile, versionHandle, versionSize, block.data())) {
            void* value = nullptr;
            UINT length = 0;
            if (VerQueryValueA(block.data(), "\\", &value, &length) && value != nullptr &&
                length >= sizeof(VS_FIXEDFILEINFO)) {
                const auto* info = static_cast<const VS_FIXEDFILEINFO*>(value);
                mVersion.Format("%d.%d.%d.%d", HIWORD(info->dwFileVersionMS),
                                LOWORD(info->dwFileVersionMS), HIWORD(info->dwFileVersionLS),
                                LOWORD(info->dwFileVersionLS));
            }
            if (VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\ProductName", &value,
                               &length) &&
                value != nullptr) {
                const char* product = static_cast<const char*>(value);
                while (*product != '\0' && std::isspace(static_cast<unsigned char>(*product))) {
                    ++product;
                }
                mGameName = GetSetting("gamename", product);
            }
            if (VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\InternalName", &value,
                               &length) &&
                value != nullptr) {
                mBuildTag = static_cast<const char*>(value);
            }
        }
    }
    if (mGameName.Length() == 0) {
        mGameName = GetSetting("gamename", "Stellagrim Application");
    }

    // Manual reset: once set, every later wait of the thread sees it.
    mCursorStop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (mCursorStop != nullptr) {
        mCursorThread = CreateThread(nullptr, 0, CursorThreadProc, this, 0, &mCursorThreadId);
    }
    if (mCursorThread == nullptr) {
        if (mCursorStop != nullptr) {
            CloseHandle(mCursorStop);
            mCursorStop = nullptr;
        }
    } else {
        SetThreadPriority(mCursorThread, THREAD_PRIORITY_TIME_CRITICAL);
    }
}

TWin32Platform::~TWin32Platform() {
    timeEndPeriod(1);
    // Before anything the thread may touch goes away.
    StopCursorThread();
    mSystemCursor.reset();
    mCursorTexture.reset();
    ClearFontList();
    if (mInstanceMutex != nullptr) {
        CloseHandle(mInstanceMutex);
        mInstanceMutex = nullptr;
    }
    // In axtest mode the "host" is the main window itself: it is ours to destroy, or its
    // procedure would later reach the platform that is going away.
    if (mMainWindow != nullptr && (mMainWindow != mExternalWindowParent || mAxTest)) {
        // The procedure must not reach a platform that is going away.
        SetWindowLongPtrA(mMainWindow, 0, 0);
        DestroyWindow(mMainWindow);
    }
    mMainWindow = nullptr;
    // Normally deleted by TPlatform already; a record used alone frees them here.
    delete mWindowManager;
    delete mSoundManager;
    delete mGlyphRenderer;
    if (mStringTable != nullptr) {
        mStringTable->Clear();
        delete mStringTable;
    }
    delete mAssetManager;
}

void TWin32Platform::StopCursorThread() {
    if (mCursorThread == nullptr) {
        return;
    }
    // The stop wakes the thread from its pause at once, so this waits at most one cursor frame.
    SetEvent(mCursorStop);
    WaitForSingleObject(mCursorThread, INFINITE);
    CloseHandle(mCursorThread);
    mCursorThread = nullptr;
    mCursorThreadId = 0;
    CloseHandle(mCursorStop);
    mCursorStop = nullptr;
}

namespace {

// One frame of the cursor thread; answers how long to wait for the next. The link stays installed
// while the frame draws: SetDisplayLink waits for the use to end.
DWORD DrawCursorFrame(const TWindowManagerLink* manager) {
    const TDisplayLinkUse display;
    if (display->Exists() && manager != nullptr && !manager->IsDrawingSuspended()) {
        return display->UpdateCursor(-1, -1).x == -1 ? 250 : 16;
    }
    return 16;
}

} // namespace

DWORD CursorThreadProc(LPVOID parameter) {
    auto* record = static_cast<TWin32Platform*>(parameter);
    // Set before the thread started and left alone until it has ended.
    const HANDLE stop = record->mCursorStop;
    const TWindowManagerLink* manager = record->mWindowManager;
    while (WaitForSingleObject(stop, DrawCursorFrame(manager)) == WAIT_TIMEOUT) {
    }
    return 0;
}

void TWin32Platform::SetDisplay(int width, int height, bool fullScreen) {
    if (IsPqMode()) {
        SendMessageA(gPortalHostWindow, WM_USER, fullScreen ? 1 : 0, 0);
        gPortalHostFullScreen = fullScreen;
        fullScreen = false;
    }
    mViewportScale = 1.0f;
    if (mEmbedded) {
        RECT host{};
        GetClientRect(mExternalWindowParent, &host);
        // A width of 0 (or below) has no scale; drawing stays unscaled.
        if (width > 0) {
            mViewportScale = static_cast<float>(host.right - host.left) /
                             static_cast<float>(static_cast<unsigned>(width));
        }
        fullScreen = false;
    }
    Display().SetDisplay(width, height, fullScreen, mExternalWindowParent != nullptr);
    if (!mDisplaySet) {
        mDisplaySet = true;
        mGlyphRenderer = Renderer().CreateGlyphRenderer();
        TRect root{};
        if (mWindowManager->GetRootRect(&root)) {
            Renderer().FillRect(root, 0.0f, 0.0f, 0.0f, 0.0f);
        }
    }
    Display().CalibrateTexelOffset();
    SetTimer(mMainWindow, 0, 250, nullptr);
}

void TWin32Platform::SetMouseCursor(const TTexturePtr& texture, int hotX, int hotY, bool force) {
    TTexturePtr image = texture;
    if (!force) {
        mCursorTexture = texture;
        mCursorHotX = hotX;
        mCursorHotY = hotY;
        if (!mCursorVisible) {
            return;
        }
        if (!image) {
            if (!mSystemCursor) {
                RegisterMemoryFile("__systemcursor__.png", kSystemCursorPng,
                                   sizeof(kSystemCursorPng));
                mSystemCursor = Renderer().GetSimpleTexture("__systemcursor__.png");
            }
            image = mSystemCursor;
        }
    }
    Display().SetCursorImage(image, hotX, hotY, force);
    SetClassLongA(mMainWindow, GCL_HCURSOR, 0);
}

bool TWin32Platform::GetViewportScale(float* out) const {
    if (out != nullptr) {
        *out = mViewportScale;
    }
    return mEmbedded;
}

void TWin32Platform::EnsureTopmost() {
    if (mInactiveInFullScreen) {
        ::Sleep(50);
        return;
    }
    if ((static_cast<DWORD>(GetWindowLongA(mMainWindow, GWL_EXSTYLE)) & WS_EX_TOPMOST) == 0) {
        Log("Window does NOT have topmost style");
    }
    if (GetForegroundWindow() != mMainWindow && !SetForegroundWindow(mMainWindow)) {
        Log("Error using BringWindowToTop: %x", GetLastError());
    }
    SetActiveWindow(mMainWindow);
    RECT place{};
    if (GetWindowRect(mMainWindow, &place) && (place.left != 0 || place.top != 0)) {
        ShowWindow(mMainWindow, SW_SHOWNORMAL);
    }
    HWND first = GetWindow(mMainWindow, GW_HWNDFIRST);
    if (first != nullptr && first != mMainWindow && IsWindowVisible(first)) {
        const TPoint viewport = Display().GetViewportSize();
        if (!SetWindowPos(mMainWindow, HWND_TOP, 0, 0, viewport.x, viewport.y,
                          SWP_DEFERERASE | SWP_NOCOPYBITS)) {
            Log("Error using BringWindowToTop: %x", GetLastError());
        }
    }
}
