// The window manager: the one object through which events reach the window tree and the tree is
// drawn. It keeps the root window and the modal stack, the keyboard focus, the windows that track
// the mouse, the message queue, the windows waiting for deletion, the window script, the frame
// limiter and the two flags the movie player sets. The platform creates and owns it. Main thread,
// except IsDrawingSuspended, which the cursor thread reads.
#pragma once

#include "engine/core/event.h"
#include "engine/core/str.h"
#include "engine/system/windowsystemlink.h"

#include <atomic>
#include <cstdint>
#include <list>

class TLuaFunction;
class TMessage;
class TModalWindow;
class TWindow;
class TWindowScript;

class TWindowManager final : public TWindowManagerLink {
public:
    // A create function of a window type: makes one default window of the type.
    using TCreateFunction = TWindow* (*)();

    TWindowManager() = default;
    // Pops every modal window and deletes the windows, then the queued messages.
    ~TWindowManager() override;

    // The movie player's two flags: no frame is drawn while drawing is suspended, and the event
    // source drops input while it is blocked.
    bool IsDrawingSuspended() const override { return mSuspended.load(); }
    bool IsInputBlocked() const override { return mInputBlocked; }
    void SetDrawingSuspended(bool suspended) override { mSuspended = suspended; }
    void SetInputBlocked(bool blocked) override { mInputBlocked = blocked; }

    void Invalidate() override { mInvalidated = true; }
    bool IsInvalidated() const { return mInvalidated; }
    void AbortMovie() override;
    bool GetRootRect(TRect* rect) const override;
    // The root screen's background colour; false while the root is no TScreen.
    bool GetRootBackground(TColor* color) const override;

    // Keeps the script as every window manager does and publishes "SetTopModalOnly" in it.
    void SetScript(TScript* script) override;
    TWindowScript* GetWindowScript() const;
    // The window script's label-translation flag; answers the previous value.
    bool SetTranslateLabels(bool on) override;
    void CreateRootScreen(int width, int height) override;
    // Runs a Lua file or text in the window script with `parent` as the parent of the windows it
    // creates; false when there is no window script or the file did not run.
    bool RunWindowScript(TWindow* parent, const str& file);
    void RunWindowString(TWindow* parent, const str& text);
    // Makes the type name known to the window script.
    void RegisterWindowType(const str& name, TCreateFunction create);

    // Entry of every event the game main does not keep for itself: deletes the windows queued
    // for deletion, then routes the event, delivers the messages and, on idle ticks and
    // repaints, draws a frame when one is due.
    void HandleEvent(const TEvent& event);
    // Draws one frame when something was invalidated, the last flip is done, drawing is not
    // suspended and the frame limiter allows: one frame per 12 ms, per 200 ms while the main
    // window is in the background (unless hosted).
    void Draw();
    // Draws the modal layers from the highest one that covers the root upward (or only the top
    // one), each with its tree.
    void DrawModalStack();

    // Makes the window, which must be a TModalWindow, the root and the bottom modal window, sized
    // to the renderer's viewport. The manager owns the tree from then on.
    void SetRootWindow(TWindow* window);
    TWindow* GetRootWindow() const { return mRoot; }
    // Pushes a TModalWindow on the modal stack as a child of the top modal window, whose clock
    // stops; it takes the focus and its clock runs.
    void PushModal(TWindow* window);
    // Removes the top modal window from its parent and queues it for deletion; the next modal
    // window takes the focus. Its clock is not resumed here.
    void PopModal();
    // Pops the modal windows down to and with the one whose name or id text is `text`; a text
    // naming the bottom layer (the root screen) pops every layer above it. Then resumes the clock
    // of the top modal window, whether or not anything was popped.
    void DoPopModal(const str& text);
    // The front of the modal stack, or null.
    TModalWindow* GetTopModal() const;
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
    // Delivers the queued messages first in, first out, those posted meanwhile included.
    void ProcessMessages();
    // kQuitNow ends the program; a message with a target goes to it, one without to the focus
    // window, else to the top modal window. Consumes the message.
    void DispatchMessage(TMessage* message);
    // Hands a message no window took, and a command the caller keeps, to the window script, which
    // takes the message; without a window script the message is deleted.
    void PassToScript(TMessage* message, TLuaFunction* command);

    // Queues the window, already removed from its parent, for deletion at the start of the next
    // event; a window queued twice is deleted once. Queued messages aimed at it or inside it lose
    // their target, and it stops tracking.
    void DeleteWindowLater(TWindow* window);
    // Deletes the queued windows; invalidates when there were any.
    void DeletePendingWindows();
    // Called by a window being destroyed: the focus, the tracking list, the modal windows' default
    // focus, the deletion queue, the queued messages' targets and the modal stack forget it.
    void ClearWindowRefs(TWindow* window);

private:
    // Mouse events (types 5 to 8 and 10), their point in screen coordinates.
    void RouteMouse(const TEvent& event);
    // OnMouseLeave to each tracked window, front to back, until the top modal window changes.
    void LeaveTrackedWindows();
    // The interval the frame limiter keeps, in milliseconds.
    static uint32_t FrameInterval();

    // Not owned apart from the tree: the bottom of the modal stack owns it.
    TWindow* mRoot = nullptr;
    // Set by PopModal: the walk through the modal stack stops; cleared when a frame begins.
    bool mStopDrawing = false;
    // Platform time of the last frame the limiter let through.
    uint32_t mLastFrameTime = 0;
    // Front = top modal window, back = root; every entry is a TModalWindow. Each layer is a child
    // of the one below it.
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
