// What the engine core uses of the window system (window manager, window script, string table,
// font list). The core cannot link the window system, so the window system registers its
// factory at start-up; until it does, objects that do nothing stand in. Main thread, except
// IsDrawingSuspended, which the cursor thread also reads.
#pragma once

#include "engine/core/rect.h"

class TScript;

class TWindowManagerLink {
public:
    virtual ~TWindowManagerLink() = default;

    // Set while a movie plays: the cursor is not drawn and input is dropped.
    virtual bool IsDrawingSuspended() const = 0;
    virtual bool IsInputBlocked() const = 0;
    // The next idle event draws a frame.
    virtual void Invalidate() = 0;
    // Stops the movie the window script holds, if any, and resumes the script waiting for it.
    virtual void AbortMovie() = 0;
    // False while there is no root window.
    virtual bool GetRootRect(TRect* rect) const = 0;
    // The window script, or null until one is installed.
    virtual TScript* GetScript() const { return nullptr; }
};

class TStringTableLink {
public:
    virtual ~TStringTableLink() = default;
    virtual void Clear() = 0;
};

struct TWindowSystemFactory {
    TWindowManagerLink* (*createWindowManager)() = nullptr;
    TStringTableLink* (*createStringTable)() = nullptr;
    // Releases and deletes every loaded font.
    void (*clearFontList)() = nullptr;
};

// A member left null keeps the stand-in that does nothing.
void SetWindowSystemFactory(const TWindowSystemFactory& factory);
// New objects owned by the caller; never null.
TWindowManagerLink* CreateWindowManager();
TStringTableLink* CreateStringTable();
void ClearFontList();
