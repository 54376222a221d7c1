// The window tree. TWindow is the node every window of the engine and the game derives from: it
// owns its children, knows its parent, has a rectangle in its parent's coordinates, a name, a flag
// word and a serial id, and it draws, hit-tests and routes events and messages through the tree.
// TModalWindow is a layer of the modal stack (its own tasks, clock, default focus and cover set)
// and TScreen the root layer. A window owns its children; windows are deleted through the window
// manager's deferred deletion after they were removed from their parent, or by their parent's
// destructor. Main thread only.
#pragma once

#include "engine/core/animtask.h"
#include "engine/core/clock.h"
#include "engine/core/color.h"
#include "engine/core/event.h"
#include "engine/core/rect.h"
#include "engine/core/str.h"

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <set>

class TMessage;
class TModalWindow;
class TTaskList;
class TWindow;
class TWindowAnim;
class TWindowSpider;
class TWindowStyle;

// A class id is the address of a function that makes one window of the class: the create function
// the window script registers under the class's type name or, for a class that cannot be created
// by name, a class-id function of its own that makes nothing.
using TWindowClassId = TWindow* (*)();

// The new window, or null when the id belongs to a class that cannot be created by name.
TWindow* CreateWindowFromClassId(TWindowClassId id);

// Window geometry saturates at the int range instead of overflowing.
int32_t SaturateToInt(int64_t value);

class TWindow {
public:
    enum : uint32_t {
        kModalRoot = 0x001,
        kFocusable = 0x002,
        kRadioGroupStart = 0x008,
        kButtonStateMask = 0x070,
        kEnabled = 0x100,
        kCovering = 0x800,
    };

    TWindow();

    // The virtual operations, in slot order; a derived class appends its own after Reserved27.
    virtual const char* GetClassName() const { return "TWindow"; }
    virtual bool IsKindOf(TWindowClassId id) const { return id == ClassId(); }
    // Detaches the animation, leaves the owning modal window's cover set, deletes the children and
    // clears the window manager's references to the window. The parent is not told.
    virtual ~TWindow();
    // Called after the window was linked in with attach; false unlinks it again.
    virtual bool OnAttach() { return true; }
    virtual bool Reserved4() { return false; }
    // Reads "name", then places the window (ReadLayout).
    virtual void Init(TWindowStyle& style);
    // After the children were created: "fit" grows the window to them; then ReadLayout again.
    virtual void PostCreate(TWindowStyle& style);
    // In window coordinates, before the children.
    virtual void Draw() {}
    virtual void PostDraw() {}
    // Inserts the child at the front (topmost) unless it is there already; a child of another
    // parent is removed from that one first. With attach the child's OnAttach may refuse: it is
    // unlinked again and the result is false. Does not invalidate.
    virtual bool AddChild(TWindow* child, bool attach);
    // Unlinks the child without deleting it; a window that is not a child is left alone.
    virtual void RemoveChild(TWindow* child);
    virtual void OnModalPopped() {}
    virtual void SetScroll(float /*factor*/, int /*unused*/) {}
    // True when the window took the message.
    virtual bool OnMessage(TMessage* /*message*/) { return false; }
    // A tick of the window's animation; false ends it.
    virtual bool OnAnimate() { return false; }
    // Mouse handlers get points in window coordinates; true means handled.
    virtual bool OnMouseDown(const TPoint& /*point*/) { return false; }
    // Right, middle and extra buttons and the wheel; the code is the event's parameter.
    virtual bool OnMouseButton(const TPoint& /*point*/, int /*code*/) { return false; }
    virtual bool OnMouseUp(const TPoint& /*point*/) { return false; }
    virtual bool OnMouseMove(const TPoint& /*point*/) { return false; }
    // The mouse left a tracked window, or tracking ended.
    virtual bool OnMouseLeave() { return false; }
    virtual bool Reserved20() { return false; }
    virtual bool OnChar(uint8_t /*character*/) { return false; }
    // One character in UTF-8.
    virtual bool OnTextInput(const str& /*text*/) { return false; }
    // Modifier bits: 1 shift, 2 control, 4 alt, 8 extended key.
    virtual bool OnKeyDown(uint8_t /*key*/, int /*modifiers*/) { return false; }
    virtual bool OnKeyUp(uint8_t /*key*/) { return false; }
    virtual bool OnMouseHover(const TPoint& /*point*/) { return false; }
    // The window became the focus window.
    virtual void OnSetFocus(TWindow* /*previous*/) {}
    virtual void Reserved27(uint32_t /*unused*/) {}

    TWindow(const TWindow&) = delete;
    TWindow& operator=(const TWindow&) = delete;

    // The factory function of the type name "Window".
    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    str GetName() const { return mName; }
    void SetName(const str& name) { mName = name; }
    uint32_t GetId() const { return mId; }
    // The id as "%8x": the name under which modal windows are closed and reported.
    str GetIdText() const;
    uint32_t GetFlags() const { return mFlags; }
    // Replaces bits 8-15 only; invalidates when 0x100 changed and reports whether the window now
    // covers its owning modal window (0x800 and that window's size).
    void SetFlags(uint32_t flags);

    // Geometry, in the parent's coordinates unless said otherwise.
    const TRect& GetRect() const { return mRect; }
    // In root coordinates.
    TRect GetScreenRect() const;
    // {0, 0, width, height}.
    TRect GetClientRect() const;
    int GetWidth() const;
    int GetHeight() const;
    void LocalToScreen(TPoint& point) const;
    void ScreenToLocal(TPoint& point) const;
    void LocalToParent(TPoint& point) const;
    void ParentToLocal(TPoint& point) const;
    // Keeps the size; invalidates.
    void MoveTo(int x, int y);
    // Keeps left and top; invalidates and reports whether the window now covers its owning modal
    // window (0x800 and the root window's size).
    void SetSize(int width, int height);
    // The nearest ancestor that is a modal root, when it is a TModalWindow; else null.
    TModalWindow* GetModalParent() const;
    // Places the window from the definition's "x", "y", "w", "h" and "align".
    void ReadLayout(TWindowStyle& style);
    // A coded point resolved as ReadLayout resolves a position of this window in its parent,
    // with the window's size and the align bits; negative values count from the far edge.
    TPoint ResolveCodedPoint(int x, int y, int align) const;
    // Grows the window to the largest right and bottom of its children.
    void FitToChildren();

    // Children; the front of the list is the topmost child.
    TWindow* GetParent() const { return mParent; }
    const std::list<TWindow*>& GetChildren() const { return mChildren; }
    // Moves this window in its parent's list: 0 to the back, 1 to the front, 2 one step toward the
    // front, 3 one step toward the back; any other mode directly in front of the sibling, or to
    // the back when the sibling is no child of the same parent.
    void Reorder(int mode, TWindow* sibling);
    void SetZOrder(int mode) { Reorder(mode, nullptr); }
    void PlaceBefore(TWindow* sibling) { Reorder(4, sibling); }
    // This window when the name matches, else the first match among the children, front to back,
    // depth first, down `depth` levels (-1 without limit, 0 this window only); null when none.
    TWindow* FindChild(const str& name, int depth);
    // Visits the direct children front to back (back to front with reverse) until a visit answers
    // false. A visit may remove the child it visits.
    void VisitChildren(TWindowSpider& spider, bool reverse);
    // Removes every child and queues it for deferred deletion.
    void DeleteChildren();

    // Hit testing, with points in this window's coordinates: the frontmost child containing the
    // point that is enabled up to its modal root, or this window when none.
    TWindow* ChildAt(const TPoint& point);
    // Follows ChildAt down as far as it goes (depth -1: no limit; a depth that runs out gives
    // null).
    TWindow* DeepestChildAt(const TPoint& point, int depth);

    // The text of the descendant named "label" when it is a text window; reading without one gives
    // the empty text, setting does nothing.
    void SetLabelText(const str& text);
    str GetLabelText();

    // Enabled together with every ancestor up to its modal root.
    bool IsEnabledToModalRoot() const;

    // Draws the window and its children clipped to it (not those that are modal roots); false when
    // the window is disabled.
    bool DrawTree();

    // Routes the event, whose point is in this window's coordinates for mouse events, to this
    // window, then up the tree. True when some window handled it.
    bool HandleEvent(const TEvent& event, bool focusDone);
    // Offers the message to the window and its ancestors up to the modal root, then to that modal
    // window's default focus, then to the window script. Consumes the message; a null window drops
    // it.
    static void SendMessage(TWindow* window, TMessage* message);

    // The window's animation task, made on first use in the task list of the modal window the
    // window is or lies in, running on that window's clock. Null, with a log line, outside any
    // modal window.
    TWindowAnim* GetAnimation();
    // OnAnimate is called after delayMs, and with repeat every delayMs (TAnimTask::Start).
    void StartAnimation(int delayMs, bool repeat, bool fromNow, bool catchUp);
    // Unbinds the animation task, which ends at its next tick.
    void DetachAnimation();

protected:
    // True for the window itself too.
    bool IsAncestorOf(const TWindow* window) const;

    uint32_t mFlags = kEnabled;

private:
    friend class TWindowAnim;

    bool Contains(const TPoint& point) const;
    // Tells the owning modal window whether this window covers it.
    void ReportCover(bool covering);

    // Not owned; null for a root.
    TWindow* mParent = nullptr;
    // Owned; front = topmost.
    std::list<TWindow*> mChildren;
    TRect mRect{0, 0, 0, 0};
    str mName;
    uint32_t mId;
    // Owned by the modal window's task list; cleared when the task goes.
    TWindowAnim* mAnimation = nullptr;
};

// Visits the children of a window (TWindow::VisitChildren).
class TWindowSpider {
public:
    virtual ~TWindowSpider() = default;
    // False stops the walk.
    virtual bool Visit(TWindow* child) = 0;
};

// Keeps only the flag bits of the mask, in the children (and their children with recurse).
class TWindowClearFlags : public TWindowSpider {
public:
    TWindowClearFlags(uint32_t mask, bool recurse) : mMask(mask), mRecurse(recurse) {}
    bool Visit(TWindow* child) override;

private:
    uint32_t mMask;
    bool mRecurse;
};

// Tells every descendant, children before their parents, that its modal window was popped.
class TModalPoppedSpider : public TWindowSpider {
public:
    bool Visit(TWindow* child) override;
};

// A window's animation task: each tick asks the window's OnAnimate, so the task ends (its list
// deletes it) the first time OnAnimate answers false, or once the window is gone. Owned by the
// modal window's task list.
class TWindowAnim : public TAnimTask {
public:
    TWindowAnim(TWindow* window, TClock* clock);
    // Clears the window's animation pointer.
    ~TWindowAnim() override;
    TWindowAnim(const TWindowAnim&) = delete;
    TWindowAnim& operator=(const TWindowAnim&) = delete;

    bool Animate() override;
    TWindow* GetWindow() const { return mWindow; }

private:
    friend class TWindow;

    // Not owned; null once detached.
    TWindow* mWindow;
};

// A layer of the modal stack: a screen, a dialog, a menu. Its task list runs the animations and
// timers of the windows inside it on its own clock, which stands still while another layer is on
// top. It maps hot keys to the buttons inside it, answers Enter and Escape, closes itself (and the
// layers above it) on kCloseWindow and tells the scripts by kModalClosed when it is destroyed.
class TModalWindow : public TWindow {
public:
    TModalWindow();
    const char* GetClassName() const override { return "TModalWindow"; }
    bool IsKindOf(TWindowClassId id) const override;
    // Posts kModalClosed with the id text while the window manager exists; deletes the tasks
    // before the windows they animate.
    ~TModalWindow() override;
    // Resumes the clock (the first resume starts it at 0).
    bool OnAttach() override;
    // A modal window is always at least as large as its children: it grows to them first.
    void PostCreate(TWindowStyle& style) override;
    // kCloseWindow pops the layers down to and with the one it names (an empty name is taken and
    // does nothing); every other kind is declined.
    bool OnMessage(TMessage* message) override;
    // Enter and Escape: the default or cancel button's command, else kDefaultAction to the window
    // that has the focus. Any other character is declined.
    bool OnChar(uint8_t character) override;
    // The hot key for the key with exactly the held modifiers, else its '@' form, which matches
    // whatever modifiers are held.
    bool OnKeyDown(uint8_t key, int modifiers) override;
    // Passes the focus on to the default focus child, if any.
    void OnSetFocus(TWindow* previous) override;
    // Slot 28: maps the key, by its normalised name, to the button of that name; an empty button
    // name removes the key.
    virtual void SetHotKey(const str& keyName, const str& buttonName);

    static TWindowClassId ClassId() { return &ClassIdFunction; }

    // Lower-cased, the modifiers "shift-", "ctrl-" ("control-" too) and "alt-" found anywhere in
    // it put in that order, or "@" for a name that starts with '@', then the last character
    // upper-cased: "Alt-Ctrl-s" and "control-alt-S" both give "ctrl-alt-S".
    static str NormaliseKeyName(const str& name);
    // Presses the button of that name inside this window; logs when there is none.
    void PressButton(const str& buttonName);

    // The list owns the task.
    void AddTask(TAnimTask* task);
    // Deletes every task (during a run the list deletes them when the run ends).
    void ClearTasks();
    // Phase 0 on every idle tick while on top, phase 1 before each frame.
    void RunTasks(int phase);
    TClock& GetClock() { return mClock; }

    // The child that takes the focus, and unclaimed messages, when this window gets the focus. Set
    // while this window has the focus, the focus moves on to it at once.
    void SetDefaultFocus(TWindow* child);
    TWindow* GetDefaultFocus() const { return mDefaultFocus; }
    // Keeps the set of windows that cover this window completely, and 0x800 while it is not
    // empty.
    void UpdateCover(TWindow* window, bool covering);

private:
    // A modal window is created only as one of its derived types: this makes nothing.
    static TWindow* ClassIdFunction();

    std::unique_ptr<TTaskList> mTasks;
    // Not owned.
    TWindow* mDefaultFocus = nullptr;
    // Not owned.
    std::set<TWindow*> mCover;
    TClock mClock;
    // Normalised key name to button name.
    std::map<str, str> mHotKeys;
};

// The root layer of the whole tree; it paints its background colour when on top. The platform
// makes the one root screen when the display is first set.
class TScreen : public TModalWindow {
public:
    TScreen();
    const char* GetClassName() const override { return "TScreen"; }
    bool IsKindOf(TWindowClassId id) const override;
    // Fills the viewport with the background colour while the screen is the top modal window.
    void Draw() override;
    static TWindowClassId ClassId() { return &ClassIdFunction; }

    const TColor& GetBackground() const { return mBackground; }

private:
    static TWindow* ClassIdFunction();

    TColor mBackground{0.0f, 0.0f, 0.0f, 0.0f};
};
