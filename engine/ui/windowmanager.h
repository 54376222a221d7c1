// The window manager: the one object through which events reach the window tree and the tree is
// drawn. It keeps the root window and modal stack, the keyboard focus, the windows that track the
// mouse, the message queue, the windows waiting for deletion, the window script, label
// translation, the redraw flag and the two flags the movie player sets. The platform creates and
// owns it. Main thread, except IsDrawingSuspended, which the cursor thread reads.
#pragma once

#include "engine/system/windowsystemlink.h"

#include <atomic>
#include <list>

class TLuaFunction;
class TMessage;
class TWindow;
class TWindowScript;

class TWindowManager final : public TWindowManagerLink {
public:
    TWindowManager() = default;
    // Deletes the window tree, the windows waiting for deletion and the queued messages.
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

    // The keyboard focus. The new focus window (when not null) gets OnSetFocus (previous focus).
    void SetFocus(TWindow* window);
    // The same, reporting `previous` as the previous focus: a modal window passing the focus on to
    // its default focus child passes on the focus it was given.
    void SetFocus(TWindow* window, TWindow* previous);
    TWindow* GetFocus() const { return mFocus; }

    // Windows that get mouse events directly (pressed buttons, sliders), front = most recent.
    // StartTracking puts a window at the front unless it is tracked already.
    void StartTracking(TWindow* window);
    void StopTracking(TWindow* window);
    bool IsTracking(const TWindow* window) const;

    // Appends to the message queue, which owns the message from then on.
    void PostMessage(TMessage* message);
    const std::list<TMessage*>& GetQueuedMessages() const { return mMessages; }
    // Hands a message no window took, and a command the caller keeps, to the window script. Until
    // the window script takes messages, the message is deleted.
    void PassToScript(TMessage* message, TLuaFunction* command);

    // Queues the window, already removed from its parent, for deletion at the start of the next
    // event; a window queued twice is deleted once. Queued messages aimed at it or inside it lose
    // their target, and it stops tracking.
    void DeleteWindowLater(TWindow* window);
    // Deletes the queued windows; invalidates when there were any.
    void DeletePendingWindows();
    // Called by a window being destroyed: the focus, the tracking list, the modal windows' default
    // focus, the deletion queue and the queued messages' targets forget it.
    void ClearWindowRefs(TWindow* window);

private:
    TWindow* mRoot = nullptr;
    // Front = top modal window, back = root.
    std::list<TWindow*> mModalStack;
    std::atomic<bool> mSuspended{false};
    bool mInputBlocked = false;
    bool mTopModalOnly = false;
    bool mInvalidated = true;
    // Not owned.
    TWindow* mFocus = nullptr;
    // Not owned; front = most recent.
    std::list<TWindow*> mTracking;
    // Owned; first in, first out.
    std::list<TMessage*> mMessages;
    // Owned; removed from their parents.
    std::list<TWindow*> mDeletionQueue;
};

// The platform's window manager; null before the platform exists or when another one stands in.
TWindowManager* GetWindowManager();
