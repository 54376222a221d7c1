#include "engine/core/log.h"
#include "engine/core/tasklist.h"
#include "engine/media/renderer.h"
#include "engine/ui/button.h"
#include "engine/ui/message.h"
#include "engine/ui/window.h"
#include "engine/ui/windowmanager.h"

#include <cctype>
#include <new>

namespace {

constexpr uint8_t kEnter = 13;
constexpr uint8_t kEscape = 27;

const char* ButtonText(const str& name) {
    return name.CStr() != nullptr ? name.CStr() : "";
}

// Walks every descendant of a modal window, nested modal windows included, for its default and
// cancel buttons; a later find replaces an earlier one, and the walk stops once both are known.
// Only buttons enabled up to their modal root count. The name is the one the window family uses
// for it.
class FindDefault final : public TWindowSpider { // NOLINT(readability-identifier-naming)
public:
    bool Visit(TWindow* child) override {
        if (child->IsKindOf(TButton::ClassId()) && child->IsEnabledToModalRoot()) {
            auto* button = static_cast<TButton*>(child);
            if ((button->GetOptions() & TButton::kDefault) != 0) {
                mDefault = button;
            }
            if ((button->GetOptions() & TButton::kCancel) != 0) {
                mCancel = button;
            }
        }
        if (mDefault != nullptr && mCancel != nullptr) {
            return false;
        }
        child->VisitChildren(*this, false);
        return mDefault == nullptr || mCancel == nullptr;
    }

    TButton* mDefault = nullptr;
    TButton* mCancel = nullptr;
};

} // namespace

TModalWindow::TModalWindow() : mTasks(std::make_unique<TTaskList>()) {
    mFlags |= kModalRoot | kFocusable;
}

TModalWindow::~TModalWindow() {
    if (TWindowManager* manager = GetWindowManager()) {
        // A destructor must not throw: without memory the scripts are not told.
        manager->PostMessage(new (std::nothrow)
                                 TMessage(TMessage::kModalClosed, GetIdText(), nullptr));
        // While this is still a modal window: a layer deleted without being popped leaves the
        // modal stack before the windows inside it go.
        manager->ClearWindowRefs(this);
    }
    // The tasks animate windows inside this one and run on its clock: they go first.
    mTasks.reset();
}

TWindow* TModalWindow::ClassIdFunction() {
    return nullptr;
}

bool TModalWindow::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TWindow::IsKindOf(id);
}

bool TModalWindow::OnAttach() {
    mClock.Resume();
    return true;
}

void TModalWindow::PostCreate(TWindowStyle& style) {
    FitToChildren();
    TWindow::PostCreate(style);
}

bool TModalWindow::OnMessage(TMessage* message) {
    if (message->GetKind() != TMessage::kCloseWindow) {
        return false;
    }
    if (message->GetName().Length() == 0) {
        return true;
    }
    if (TWindowManager* manager = GetWindowManager()) {
        manager->DoPopModal(message->GetName());
    }
    return true;
}

bool TModalWindow::OnChar(uint8_t character) {
    if (character != kEnter && character != kEscape) {
        return false;
    }
    TWindowManager* manager = GetWindowManager();
    // The command of a button may move the focus: the message goes where the character went.
    TWindow* focus = manager != nullptr ? manager->GetFocus() : nullptr;
    FindDefault buttons;
    VisitChildren(buttons, false);
    TButton* button = character == kEnter ? buttons.mDefault : buttons.mCancel;
    // True only when the command took the button out of the tree: the dialog is gone.
    if (button != nullptr && button->RunCommand()) {
        return true;
    }
    TWindow::SendMessage(focus != nullptr ? focus : this,
                         new TMessage(TMessage::kDefaultAction, str(), nullptr));
    return true;
}

str TModalWindow::NormaliseKeyName(const str& name) {
    str lower = name;
    lower.ToLower();
    const int length = lower.Length();
    if (length == 0) {
        return str();
    }
    str result;
    if (length > 1 && lower[0] == '@') {
        result = "@";
    } else {
        if (lower.Find("shift-") >= 0) {
            result += "shift-";
        }
        if (lower.Find("ctrl-") >= 0 || lower.Find("control-") >= 0) {
            result += "ctrl-";
        }
        if (lower.Find("alt-") >= 0) {
            result += "alt-";
        }
    }
    const auto last = static_cast<unsigned char>(lower[static_cast<unsigned>(length - 1)]);
    result += static_cast<char>(std::toupper(last));
    return result;
}

void TModalWindow::SetHotKey(const str& keyName, const str& buttonName) {
    const str key = NormaliseKeyName(keyName);
    if (buttonName.Length() == 0) {
        mHotKeys.erase(key);
    } else {
        mHotKeys[key] = buttonName;
    }
}

bool TModalWindow::OnKeyDown(uint8_t key, int modifiers) {
    // The key code stands as it is: folding its case would make F1 (0x70) the key P and the
    // keypad's 1 (0x61) the key A. Names given to SetHotKey end in an upper-case character.
    str name;
    if ((modifiers & kModShift) != 0) {
        name += "shift-";
    }
    if ((modifiers & kModCtrl) != 0) {
        name += "ctrl-";
    }
    if ((modifiers & kModAlt) != 0) {
        name += "alt-";
    }
    name += static_cast<char>(key);
    auto found = mHotKeys.find(name);
    if (found == mHotKeys.end()) {
        found = mHotKeys.find(str("@") + static_cast<char>(key));
    }
    if (found == mHotKeys.end()) {
        return false;
    }
    // A copy: pressing the button may change the hot keys.
    const str button = found->second;
    PressButton(button);
    return true;
}

void TModalWindow::PressButton(const str& buttonName) {
    TWindow* window = FindChild(buttonName, -1);
    if (window != nullptr && window->IsKindOf(TButton::ClassId())) {
        static_cast<TButton*>(window)->Press();
        return;
    }
    Log("ERROR: Hot key button not found. Button:'%s'", ButtonText(buttonName));
}

void TModalWindow::OnSetFocus(TWindow* previous) {
    // Only a window inside this one: anything else could hand the focus back here for ever.
    if (mDefaultFocus == nullptr || mDefaultFocus == this || !IsAncestorOf(mDefaultFocus)) {
        return;
    }
    if (TWindowManager* manager = GetWindowManager()) {
        manager->SetFocus(mDefaultFocus, previous);
    }
}

void TModalWindow::AddTask(TAnimTask* task) {
    mTasks->Add(task);
}

void TModalWindow::ClearTasks() {
    mTasks->Clear();
}

void TModalWindow::RunTasks(int phase) {
    mTasks->Run(phase);
}

void TModalWindow::SetDefaultFocus(TWindow* child) {
    mDefaultFocus = child;
    TWindowManager* manager = GetWindowManager();
    if (manager != nullptr && manager->GetFocus() == this) {
        manager->SetFocus(child);
    }
}

void TModalWindow::UpdateCover(TWindow* window, bool covering) {
    if (covering) {
        mCover.insert(window);
    } else {
        mCover.erase(window);
    }
    SetFlags(mCover.empty() ? mFlags & ~kCovering : mFlags | kCovering);
}

TScreen::TScreen() {
    mFlags |= kCovering;
    SetName("_screen_");
}

TWindow* TScreen::ClassIdFunction() {
    return nullptr;
}

bool TScreen::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TModalWindow::IsKindOf(id);
}

void TScreen::Draw() {
    TWindowManager* manager = GetWindowManager();
    TRenderer* renderer = TRenderer::Existing();
    if (manager == nullptr || renderer == nullptr || manager->GetTopModal() != this) {
        return;
    }
    TRect viewport;
    renderer->GetViewport(&viewport.left, &viewport.top, &viewport.right, &viewport.bottom);
    renderer->FillRect(viewport, mBackground, TTexturePtr());
}
