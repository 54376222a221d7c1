// The window manager of a platform made for one test (no display, the stand-in's fake clock) with
// the root screen at 800 x 600, and windows that write what reaches them into a journal. Windows
// are placed with screen rectangles given relative to their parent.
#pragma once

#include "engine/core/log.h"
#include "engine/ui/message.h"
#include "engine/ui/window.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowsystem.h"
#include "tests/engine/system/platform_fixture.h"

#include <functional>
#include <string>
#include <vector>

namespace manager_test {

// What the probes saw, in order: "<name> <what> [x,y]".
using TJournal = std::vector<std::string>;

inline std::string Text(const str& text) {
    return text.CStr() != nullptr ? std::string(text.CStr(), text.Length()) : std::string();
}

inline std::string RectText(const TRect& rect) {
    return std::to_string(rect.left) + "," + std::to_string(rect.top) + "," +
           std::to_string(rect.right) + "," + std::to_string(rect.bottom);
}

inline TEvent MakeEvent(int32_t type, int32_t x = 0, int32_t y = 0, int32_t param = 0,
                        int32_t modifiers = 0) {
    TEvent event;
    event.type = type;
    event.param = param;
    event.x = x;
    event.y = y;
    event.modifiers = modifiers;
    return event;
}

// A window that journals its mouse, key and message handlers. Like a button it can track the
// mouse from a press on, and let it go when the mouse leaves it.
class TProbe : public TWindow {
public:
    TProbe(const char* name, TJournal& journal) : mJournal(journal) { SetName(name); }
    ~TProbe() override { Note("deleted"); }

    bool OnMouseDown(const TPoint& point) override {
        Note("down", point);
        if (mTrackOnPress) {
            GetWindowManager()->StartTracking(this);
        }
        return Run(mOnMouse);
    }
    bool OnMouseUp(const TPoint& point) override {
        Note("up", point);
        return Run(mOnMouse);
    }
    bool OnMouseMove(const TPoint& point) override {
        Note("move", point);
        return Run(mOnMouse);
    }
    bool OnMouseButton(const TPoint& point, int code) override {
        Note("button" + std::to_string(code), point);
        return Run(mOnMouse);
    }
    bool OnMouseHover(const TPoint& point) override {
        Note("hover", point);
        return Run(mOnMouse);
    }
    bool OnMouseLeave() override {
        Note("leave");
        if (mReleaseOnLeave) {
            GetWindowManager()->StopTracking(this);
        }
        return Run(mOnLeave);
    }
    bool OnKeyDown(uint8_t key, int modifiers) override {
        Note("key " + std::to_string(key) + "," + std::to_string(modifiers));
        return mHandleKeys;
    }
    bool OnChar(uint8_t character) override {
        Note("char " + std::to_string(character));
        return mHandleKeys;
    }
    bool OnMessage(TMessage* message) override {
        Note("message " + std::to_string(message->GetKind()) + " '" + Text(message->GetName()) +
             "'");
        return Run(mOnMessage);
    }
    void OnSetFocus(TWindow* previous) override {
        Note("focus from " + (previous != nullptr ? Text(previous->GetName()) : "none"));
    }
    void OnModalPopped() override { Note("popped"); }

    // Each answers the handler's result; empty answers false.
    std::function<bool()> mOnMouse;
    std::function<bool()> mOnLeave;
    std::function<bool()> mOnMessage;
    bool mHandleKeys = false;
    bool mTrackOnPress = false;
    bool mReleaseOnLeave = false;

private:
    static bool Run(const std::function<bool()>& handler) { return handler && handler(); }
    void Note(const std::string& what) { mJournal.push_back(Text(GetName()) + " " + what); }
    void Note(const std::string& what, const TPoint& point) {
        Note(what + " " + std::to_string(point.x) + "," + std::to_string(point.y));
    }

    TJournal& mJournal;
};

// A dialog that journals the focus it gets, the messages that reach it and its pops.
class TProbeDialog : public TModalWindow {
public:
    TProbeDialog(const char* name, TJournal& journal) : mJournal(journal) { SetName(name); }
    ~TProbeDialog() override { Note("deleted"); }

    bool OnMessage(TMessage* message) override {
        Note("message " + std::to_string(message->GetKind()) + " '" + Text(message->GetName()) +
             "'");
        return TModalWindow::OnMessage(message);
    }
    void OnSetFocus(TWindow* previous) override {
        Note("focus from " + (previous != nullptr ? Text(previous->GetName()) : "none"));
        TModalWindow::OnSetFocus(previous);
    }

private:
    void Note(const std::string& what) { mJournal.push_back(Text(GetName()) + " " + what); }

    TJournal& mJournal;
};

// Places a new window in `parent` at the rectangle given in the parent's coordinates.
template <class T>
T* Place(TWindow* parent, T* window, TRect rect) {
    parent->AddChild(window, true);
    window->MoveTo(rect.left, rect.top);
    window->SetSize(rect.right - rect.left, rect.bottom - rect.top);
    return window;
}

// The platform (without a main window or display) with the window system and the root screen.
class TManagerTest : public platform_test::TPlatformTest {
protected:
    void SetUp() override {
        TPlatformTest::SetUp();
        SetLogFolder(mLogs.Path().string().c_str());
        RegisterWindowSystem();
        MakePlatform();
        Manager()->CreateRootScreen(800, 600);
        mScreen = Manager()->GetTopModal();
    }

    void TearDown() override {
        TPlatformTest::TearDown();
        SetLogFolder(nullptr);
    }

    static TWindowManager* Manager() { return GetWindowManager(); }

    TProbe* Add(TWindow* parent, const char* name, TRect rect) {
        return Place(parent, new TProbe(name, mJournal), rect);
    }

    // A dialog pushed over the top modal window at the rectangle, in the top's coordinates.
    TProbeDialog* Push(const char* name, TRect rect = {0, 0, 0, 0}) {
        auto* dialog = new TProbeDialog(name, mJournal);
        dialog->MoveTo(rect.left, rect.top);
        dialog->SetSize(rect.right - rect.left, rect.bottom - rect.top);
        Manager()->PushModal(dialog);
        return dialog;
    }

    // The modal stack from the top down, by name.
    std::vector<std::string> Stack() const {
        std::vector<std::string> names;
        for (TWindow* w = Manager()->GetTopModal(); w != nullptr; w = w->GetParent()) {
            names.push_back(Text(w->GetName()));
        }
        return names;
    }

    void Send(const TEvent& event) { Manager()->HandleEvent(event); }

    std::string LogText() const { return mLogs.Read("logfile.txt"); }

    testing_fixtures::TempDir mLogs;
    TJournal mJournal;
    TModalWindow* mScreen = nullptr;
};

} // namespace manager_test
