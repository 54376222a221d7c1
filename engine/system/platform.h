// The engine's process singleton: the one way from engine, window system and game to the system's
// services. A thin facade over the Win32 record (TWin32Platform), which it owns. Created by the
// start-up after the record and deleted at its end. Main thread only.
#pragma once

#include "engine/core/event.h"
#include "engine/core/str.h"
#include "engine/core/tasklist.h"
#include "engine/system/medialink.h"
#include "platform/win32/wintypes.h"

#include <cstdint>
#include <functional>

class TAssetManager;
class TSoundManagerLink;
class TStringTableLink;
class TTask;
class TWin32Platform;
class TWindowManagerLink;
struct TGuid;

class TPlatform {
public:
    // Takes ownership of the record and becomes the instance; sets the defaults, reads
    // "::assets/settings.xml", the known files and the string table.
    explicit TPlatform(TWin32Platform* win32);
    // Shuts the services down in order, then deletes the record.
    ~TPlatform();
    TPlatform(const TPlatform&) = delete;
    TPlatform& operator=(const TPlatform&) = delete;

    // Null before construction and from the middle of destruction on.
    static TPlatform* GetInstance();
    TWin32Platform* GetWin32() const { return mWin32; }

    // Registers the window class and creates the main window.
    void CreateMainWindow();
    // Fills exactly one event.
    void GetEvent(TEvent* event);

    // Milliseconds since the platform record was built, less the time a portal host kept the
    // game paused; wraps like timeGetTime. A host pause never makes it step back. Main thread.
    static uint32_t GetTime();
    void Sleep(int ms);
    // The event source then reports the quit event.
    void PostQuit(int code);
    bool IsForeground() const;
    bool IsFullScreen() const;
    bool SetFullScreen(bool fullScreen);
    void SetDisplay(int width, int height, bool fullScreen);
    void SetMouseCursor(const TTexturePtr& texture, int hotX, int hotY, bool force);
    // Asks the display handler only when the flag changes; answers the flag otherwise.
    bool SetCursorVisible(bool visible);
    // Positions are absolute client coordinates: always 0.
    int GetMouseMode() const;
    bool IsFlipDone() const;
    void OnOutOfVideoMemory();

    TWindowManagerLink* GetWindowManager() const;
    TAssetManager* GetAssetManager() const;
    TStringTableLink* GetStringTable() const;
    // Creates the sound manager when there is none and opens it; false without sound.
    bool InitSound();
    // Null before InitSound, or when no sound manager can be made.
    TSoundManagerLink* GetSoundManager() const;

    // The main task list: phase 0 on idle events, phase 1 before each frame.
    TTaskList* GetTaskList() const;
    void AddTask(TTask* task);
    // Hands the task back; false when it was not in the list.
    bool RemoveTask(TTask* task);
    // Tasks run by the display handler after it restored a lost device.
    TTaskList* GetRestoreTaskList() { return &mRestoreTasks; }
    void AddRestoreTask(TTask* task);
    bool RemoveRestoreTask(TTask* task);

    void SetWindowTitle(const str& title);
    // Puts the text on the clipboard as CF_TEXT; false when the clipboard cannot be had.
    bool SetClipboardText(const str& text);
    // The clipboard's text; "" when it holds none.
    str GetClipboardText() const;
    // Opens the address in the browser: the "-host=" program when embedded and one is named.
    HINSTANCE LaunchUrl(const char* url);

private:
    friend class TWin32Platform;

    static void OnSettingChanged(const str& key, const str& value);

    TWin32Platform* mWin32;
    // Run by the display handler after it restored a lost device.
    TTaskList mRestoreTasks;

    static TPlatform* sInstance;
    // A new zero of GetTime: timeGetTime when the platform record was built.
    static void ResetTime(uint32_t start);

    static uint32_t sStartTime;
};

// What the game must free at shutdown while the renderer and the asset manager are still there:
// the platform's destructor runs the hooks, in the order they were added, once the windows and
// the tasks are gone, before the sound manager, the renderer and the asset manager. The answer is
// the number RemoveShutdownHook takes it back by. Main thread.
int AddShutdownHook(std::function<void()> hook);
void RemoveShutdownHook(int id);

void CreateGuid(TGuid* guid);
// The display device is ready: the window manager draws only then. False without a display.
bool IsDisplayOk();
