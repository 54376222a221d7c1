// The Win32 side of TPlatform: the record that owns the engine's services and the process's Win32
// resources (main window, instance mutex, timer resolution, cursor thread) and keeps the paths and
// flags the platform layer shares. Created by the start-up before TPlatform and deleted by
// TPlatform's destructor. Main thread only, except the cursor thread (CursorThreadProc), which
// reads mWindowManager and calls the display link's UpdateCursor.
#pragma once

#include "engine/core/event.h"
#include "engine/core/str.h"
#include "engine/core/tasklist.h"
#include "engine/system/medialink.h"
#include "platform/win32/windows.h"

#include <atomic>

class TAssetManager;
class TPlatform;
class TStringTableLink;
class TWindowManagerLink;

class TWin32Platform {
public:
    // Ends the process with exit code 0 when another instance runs (unless multiInstance).
    TWin32Platform(HINSTANCE instance, HINSTANCE previous, char* commandLine, int showCommand,
                   bool multiInstance);
    ~TWin32Platform();
    TWin32Platform(const TWin32Platform&) = delete;
    TWin32Platform& operator=(const TWin32Platform&) = delete;

    void SetDisplay(int width, int height, bool fullScreen);
    void SetMouseCursor(const TTexturePtr& texture, int hotX, int hotY, bool force);
    // Writes the viewport scale; answers whether the window is embedded (drawing is scaled).
    bool GetViewportScale(float* out) const;
    // Keeps the full-screen window in front; the event source calls it on idle ticks.
    void EnsureTopmost();
    // Stops the cursor thread and waits until it has ended. Safe to call again.
    void StopCursorThread();

    // The main window: registers the class and creates the window, whose memory keeps `platform`.
    void CreateMainWindow(TPlatform* platform);
    static LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnActivation(HWND window, bool active);
    void OnActivateApp(HWND window, bool active);

    // The event source: fills exactly one event.
    void GetEvent(TEvent* event);
    // Mouse buttons are dropped for a short while after a click activated the window.
    void BlockClicks();

    // The module path in its short form, lower-cased, without '\' and ':': the base of the
    // instance mutex and window class names.
    static str MakeInstanceName(const char* shortModulePath);

    bool mEmbedded = false;
    bool mAxTest = false;
    float mViewportScale = 1.0f;
    bool mCursorVisible = true;
    TTexturePtr mCursorTexture;
    int mCursorHotX = 0;
    int mCursorHotY = 0;

    // Pending-event and state flags.
    bool mAssetsReleased = false;
    bool mWindowActive = true;
    bool mActivationEventPending = false;
    bool mClosePending = false;
    bool mAppActive = true;
    bool mAppActivationEventPending = false;
    bool mInactiveInFullScreen = false;
    bool mRepaintPending = false;

    // Windows paths, NUL-terminated.
    char mAssetsFolder[MAX_PATH] = {};
    char mProgramFolder[MAX_PATH] = {}; // with its trailing '\'
    char mProgramFile[MAX_PATH] = {};
    char mUserFolder[MAX_PATH] = {};
    char mCommonFolder[MAX_PATH] = {};
    char mDesktopFolder[MAX_PATH] = {};
    char mStartupDir[MAX_PATH] = {};

    DWORD mStartTime = 0;

    bool mClickBlock = false;
    DWORD mClickBlockTime = 0;

    bool mHoverTracking = false;
    bool mMouseLeavePending = false;
    bool mLeaveTracking = false;

    // Owned services. The sound manager is created later, by TPlatform::InitSound.
    TGlyphRendererLink* mGlyphRenderer = nullptr;
    TWindowManagerLink* mWindowManager = nullptr;
    TAssetManager* mAssetManager = nullptr;
    TSoundManagerLink* mSoundManager = nullptr;
    TStringTableLink* mStringTable = nullptr;

    int mMouseMode = 0;
    TTaskList mTaskList;

    HINSTANCE mInstance = nullptr;
    HWND mMainWindow = nullptr;
    // The host window in embedded mode; the main window itself in axtest mode.
    HWND mExternalWindowParent = nullptr;

    DWORD mCursorThreadId = 0;
    HANDLE mCursorThread = nullptr;
    // Event that ends the cursor thread; set and closed by StopCursorThread.
    HANDLE mCursorStop = nullptr;

    TTexturePtr mSystemCursor;

    str mGameName;
    str mVersion;
    str mBuildTag;

    bool mUtf8Mode = false;
    HANDLE mInstanceMutex = nullptr;

private:
    // Each returns true with the event filled when its step yields one.
    bool PumpWhileBusy(TEvent* event);
    bool TranslateOneMessage(TEvent* event);
    void MessageToEvent(const MSG& message, TEvent* event);
    // False when the button message is to be dropped.
    bool ButtonCheck(bool up);
    void FocusAndCapture();
    void SetMouseEvent(TEvent* event, int32_t type, int32_t param, int32_t modifiers);
    void SetKeyEvent(TEvent* event, int32_t type, WPARAM key, LPARAM lParam, int32_t extra);
    void DisableSizeMenuItem(bool positionsToo);

    // Set by the first SetDisplay.
    bool mDisplaySet = false;
};

// The cursor thread: redraws the software cursor until StopCursorThread ends it.
DWORD CursorThreadProc(LPVOID record);

// Process-wide values of the platform record.
// The process's command line as the start-up left it.
extern const char* gCommandLine;
str& MainWindowClassName();
str& AssetsFolderPath();
// The main window's parent, for portal messages, and the full-screen flag last sent to it.
extern HWND gPortalHostWindow;
extern bool gPortalHostFullScreen;
// The window the test hook returned (start-up).
extern HWND gTestHookWindow;

// Copies text into a path buffer of MAX_PATH bytes, cut to fit.
void CopyPath(char* out, const char* text);

// The command line contains "-pq=": hosted mode.
bool IsPqMode();
