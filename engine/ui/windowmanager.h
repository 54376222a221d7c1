// The window manager: the one object through which events reach the window tree and the tree is
// drawn. This holds what the platform needs of it: the root window and modal stack, the window
// script, label translation, the redraw flag and the two flags the movie player sets. The
// platform creates and owns it. Main thread, except IsDrawingSuspended, which the cursor thread
// reads.
#pragma once

#include "engine/system/windowsystemlink.h"

#include <atomic>
#include <list>

class TWindow;
class TWindowScript;

class TWindowManager final : public TWindowManagerLink {
public:
    TWindowManager() = default;
    // Deletes the window tree.
    ~TWindowManager() override;

    bool IsDrawingSuspended() const override { return mSuspended.load(); }
    bool IsInputBlocked() const override { return mInputBlocked; }
    // Only the movie player sets and clears these.
    void SetDrawingSuspended(bool suspended) { mSuspended = suspended; }
    void SetInputBlocked(bool blocked) { mInputBlocked = blocked; }

    void Invalidate() override { mInvalidated = true; }
    bool IsInvalidated() const { return mInvalidated; }
    void AbortMovie() override;
    bool GetRootRect(TRect* rect) const override;

    // Keeps the script as every window manager does and publishes "SetTopModalOnly" in it.
    void SetScript(TScript* script) override;
    TWindowScript* GetWindowScript() const;
    // The window script's label-translation flag; answers the previous value.
    bool SetTranslateLabels(bool on) override;
    void CreateRootScreen(int width, int height) override;

    // Makes the window the root and bottom modal window, sized to the display's viewport. The
    // manager owns the tree from then on.
    void SetRootWindow(TWindow* window);
    TWindow* GetRootWindow() const { return mRoot; }
    // The front of the modal stack, or null.
    TWindow* GetTopModal() const;
    // Only the top modal window is drawn.
    void SetTopModalOnly(bool on) { mTopModalOnly = on; }
    bool IsTopModalOnly() const { return mTopModalOnly; }

private:
    TWindow* mRoot = nullptr;
    // Front = top modal window, back = root.
    std::list<TWindow*> mModalStack;
    std::atomic<bool> mSuspended{false};
    bool mInputBlocked = false;
    bool mTopModalOnly = false;
    bool mInvalidated = true;
};

// The platform's window manager; null before the platform exists or when another one stands in.
TWindowManager* GetWindowManager();
