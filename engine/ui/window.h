// The window tree's node and the two window types the platform needs before the full window
// system exists: TWindow (rectangle, name, flags, serial id, owned children), TModalWindow (a
// layer of the modal stack) and TScreen (the root layer). A window owns its children. Main thread
// only.
#pragma once

#include "engine/core/color.h"
#include "engine/core/rect.h"
#include "engine/core/str.h"

#include <list>

class TWindow {
public:
    enum : uint32_t {
        kModalRoot = 0x001,
        kFocusable = 0x002,
        kEnabled = 0x100,
        kCovering = 0x800,
    };

    TWindow();
    // Deletes the children.
    virtual ~TWindow();
    TWindow(const TWindow&) = delete;
    TWindow& operator=(const TWindow&) = delete;

    virtual const char* GetClassName() const { return "TWindow"; }
    // Called after the window was linked in; false unlinks it again.
    virtual bool OnAttach() { return true; }

    TWindow* GetParent() const { return mParent; }
    // Inserts the child at the front (topmost) unless it is there already; with attach the child's
    // OnAttach may refuse, and it is then unlinked again.
    bool AddChild(TWindow* child, bool attach);
    const std::list<TWindow*>& GetChildren() const { return mChildren; }

    const TRect& GetRect() const { return mRect; }
    // {0, 0, width, height}.
    TRect GetClientRect() const;
    int GetWidth() const { return mRect.right - mRect.left; }
    int GetHeight() const { return mRect.bottom - mRect.top; }
    // Keeps left and top; invalidates the window manager.
    void SetSize(int width, int height);

    str GetName() const { return mName; }
    void SetName(const str& name) { mName = name; }
    uint32_t GetFlags() const { return mFlags; }
    uint32_t GetId() const { return mId; }
    // The id as "%8x": the name under which modal windows are closed and reported.
    str GetIdText() const;

protected:
    uint32_t mFlags = kEnabled;

private:
    TWindow* mParent = nullptr;
    // Front = topmost.
    std::list<TWindow*> mChildren;
    TRect mRect{0, 0, 0, 0};
    str mName;
    uint32_t mId;
};

// A layer of the modal stack: a screen, a dialog, a menu.
class TModalWindow : public TWindow {
public:
    TModalWindow();
    const char* GetClassName() const override { return "TModalWindow"; }
};

// The root layer of the whole tree; it paints its background colour when on top.
class TScreen : public TModalWindow {
public:
    TScreen();
    const char* GetClassName() const override { return "TScreen"; }
    const TColor& GetBackground() const { return mBackground; }

private:
    TColor mBackground{0.0f, 0.0f, 0.0f, 0.0f};
};
