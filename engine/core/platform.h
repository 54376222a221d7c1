// The engine's process singleton: the one way from engine, window system and game to the system's
// services. A thin facade over the Win32 record (TWin32Platform), which it owns. Created by the
// start-up after the record and deleted at its end. Main thread only.
#pragma once

#include "engine/core/event.h"
#include "engine/core/tasklist.h"

#include <cstdint>

class TAssetManager;
class TWin32Platform;

class TPlatform {
public:
    // Takes ownership of the record and becomes the instance.
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

    // Milliseconds since the platform record was built; wraps like timeGetTime. Main thread.
    static uint32_t GetTime();
    void Sleep(int ms);
    bool IsFullScreen() const;
    bool SetFullScreen(bool fullScreen);
    TAssetManager* GetAssetManager() const;

private:
    friend class TWin32Platform;

    TWin32Platform* mWin32;
    // Run by the display handler after it restored a lost device.
    TTaskList mRestoreTasks;

    static TPlatform* sInstance;
    // timeGetTime when the platform record was built: the zero of GetTime.
    static uint32_t sStartTime;
};
