// The window manager's state: the modal stack, focus, tracking, the message queue, deferred
// deletion and the window script. Events and frames are in windowmanagerevents.cpp.

#include "engine/ui/windowmanager.h"

#include "engine/core/log.h"
#include "engine/media/renderer.h"
#include "engine/script/luabinding.h"
#include "engine/system/platform.h"
#include "engine/ui/message.h"
#include "engine/ui/window.h"
#include "engine/ui/windowscript.h"
#include "engine/ui/xsellwindow.h"

#include <algorithm>

namespace {

const char* LogName(const str& name) {
    return name.CStr() != nullptr ? name.CStr() : "";
}

bool NamedBy(const TWindow* window, const str& text) {
    return window->GetName() == text || window->GetIdText() == text;
}

} // namespace

TWindowManager::~TWindowManager() {
    // The script outlives the manager in the main task list: nothing of it may reach us then.
    if (TScript* script = GetScript()) {
        LuaWithdrawObject(script->GetState(), this);
    }
    mTracking.clear();
    while (!mModalStack.empty()) {
        PopModal();
    }
    DeletePendingWindows();
    mFocus = nullptr;
    mRoot = nullptr;
    // Last: the destructors of modal windows post kModalClosed.
    while (!mMessages.empty()) {
        TMessage* message = mMessages.front();
        mMessages.pop_front();
        delete message;
    }
}

void TWindowManager::AbortMovie() {
    if (TWindowScript* script = GetWindowScript()) {
        script->AbortMovie();
    }
}

bool TWindowManager::GetRootRect(TRect* rect) const {
    if (mRoot == nullptr) {
        return false;
    }
    if (rect != nullptr) {
        *rect = mRoot->GetRect();
    }
    return true;
}

bool TWindowManager::GetRootBackground(TColor* color) const {
    if (mRoot == nullptr || !mRoot->IsKindOf(TScreen::ClassId())) {
        return false;
    }
    if (color != nullptr) {
        *color = static_cast<const TScreen*>(mRoot)->GetBackground();
    }
    return true;
}

void TWindowManager::SetScript(TScript* script) {
    TWindowManagerLink::SetScript(script);
    if (script != nullptr) {
        LuaPublish(script->GetState(), "SetTopModalOnly", this, &TWindowManager::SetTopModalOnly);
    }
    TWindowScript* windowScript = GetWindowScript();
    if (windowScript != nullptr) {
        windowScript->RegisterWindowType("XSellWindow", &TXSellWindow::Create);
    }
    if (windowScript != nullptr && GetTopModal() != nullptr) {
        windowScript->PushWindow(GetTopModal());
    }
}

TWindowScript* TWindowManager::GetWindowScript() const {
    return dynamic_cast<TWindowScript*>(GetScript());
}

bool TWindowManager::SetTranslateLabels(bool on) {
    if (TWindowScript* script = GetWindowScript()) {
        return script->SetTranslateLabels(on);
    }
    return TWindowManagerLink::SetTranslateLabels(on);
}

void TWindowManager::CreateRootScreen(int width, int height) {
    auto* screen = new TScreen;
    SetRootWindow(screen);
    if (mRoot != screen) {
        delete screen;
        return;
    }
    screen->SetSize(width, height);
}

bool TWindowManager::RunWindowScript(TWindow* parent, const str& file) {
    TWindowScript* script = GetWindowScript();
    if (script == nullptr) {
        TScript* plain = GetScript();
        return plain != nullptr && plain->RunScript(file);
    }
    script->PushWindow(parent);
    const bool ran = script->RunScript(file);
    script->PopWindow();
    return ran;
}

void TWindowManager::RunWindowString(TWindow* parent, const str& text) {
    TWindowScript* script = GetWindowScript();
    if (script == nullptr) {
        if (TScript* plain = GetScript()) {
            plain->DoLuaString(text);
        }
        return;
    }
    script->PushWindow(parent);
    script->DoLuaString(text);
    script->PopWindow();
}

void TWindowManager::RegisterWindowType(const str& name, TCreateFunction create) {
    if (TWindowScript* script = GetWindowScript()) {
        script->RegisterWindowType(name, create);
    } else {
        Log("TWindowManager::RegisterWindowType: no window script for the type '%s'",
            LogName(name));
    }
}

void TWindowManager::SetRootWindow(TWindow* window) {
    PushModal(window);
    if (window == nullptr || GetTopModal() != window) {
        return;
    }
    mRoot = window;
    if (const TRenderer* renderer = TRenderer::Existing()) {
        TRect viewport;
        renderer->GetViewport(&viewport.left, &viewport.top, &viewport.right, &viewport.bottom);
        window->SetSize(viewport.right - viewport.left, viewport.bottom - viewport.top);
    }
    window->OnAttach();
}

TModalWindow* TWindowManager::GetTopModal() const {
    return mModalStack.empty() ? nullptr : static_cast<TModalWindow*>(mModalStack.front());
}

void TWindowManager::PushModal(TWindow* window) {
    if (window == nullptr || !window->IsKindOf(TModalWindow::ClassId())) {
        Log("TWindowManager::PushModal: window '%s' is no modal window",
            window != nullptr ? LogName(window->GetName()) : "");
        return;
    }
    if (std::find(mModalStack.begin(), mModalStack.end(), window) != mModalStack.end()) {
        Log("TWindowManager::PushModal: window '%s' is on the modal stack already",
            LogName(window->GetName()));
        return;
    }
    auto* modal = static_cast<TModalWindow*>(window);
    // A button held down in the layer below is let go.
    std::list<TWindow*> tracked;
    tracked.swap(mTracking);
    for (TWindow* w : tracked) {
        w->OnMouseLeave();
    }
    TModalWindow* previous = GetTopModal();
    if (previous != nullptr && !previous->AddChild(modal, false)) {
        Log("TWindowManager::PushModal: window '%s' cannot go over the top modal window",
            LogName(window->GetName()));
        return;
    }
    mModalStack.push_front(modal);
    if (previous != nullptr) {
        previous->GetClock().Pause();
    }
    SetFocus(modal);
    if (TWindowScript* script = GetWindowScript()) {
        script->ResetCreationStack(modal);
    }
    modal->OnAttach();
    if (modal->GetWidth() == 0) {
        if (const TWindow* parent = modal->GetParent()) {
            modal->SetSize(parent->GetWidth(), parent->GetHeight());
        }
    }
    Invalidate();
}

void TWindowManager::PopModal() {
    if (mModalStack.empty()) {
        Log("TWindowManager::PopModal: the modal stack is empty");
        return;
    }
    TModalWindow* popped = GetTopModal();
    // The root has no parent.
    if (TWindow* parent = popped->GetParent()) {
        parent->RemoveChild(popped);
    }
    DeleteWindowLater(popped);
    mModalStack.pop_front();
    popped->ClearTasks();
    if (popped == mRoot) {
        mRoot = nullptr;
    }
    TModalWindow* top = GetTopModal();
    if (TWindowScript* script = GetWindowScript()) {
        script->ResetCreationStack(top);
    }
    if (top != nullptr) {
        SetFocus(top);
    }
    TModalPoppedSpider spider;
    popped->VisitChildren(spider, false);
    Invalidate();
    mStopDrawing = true;
}

void TWindowManager::DoPopModal(const str& text) {
    const auto found = std::find_if(mModalStack.begin(), mModalStack.end(),
                                    [&text](const TWindow* layer) { return NamedBy(layer, text); });
    if (found != mModalStack.end()) {
        const TWindow* target = *found;
        const bool bottom = std::next(found) == mModalStack.end();
        // The bottom layer stays: without it every later event would be dropped. A handler run
        // by a pop may change the stack, so each step checks the target is still on it.
        while (!mModalStack.empty() &&
               std::find(mModalStack.begin(), mModalStack.end(), target) != mModalStack.end()) {
            if (bottom && mModalStack.front() == target) {
                break;
            }
            const TWindow* popped = mModalStack.front();
            PopModal();
            if (popped == target) {
                break;
            }
        }
    }
    if (TModalWindow* top = GetTopModal()) {
        top->GetClock().Resume();
    }
}

void TWindowManager::SetFocus(TWindow* window) {
    SetFocus(window, mFocus);
}

void TWindowManager::SetFocus(TWindow* window, TWindow* previous) {
    mFocus = window;
    if (window != nullptr) {
        window->OnSetFocus(previous);
    }
}

void TWindowManager::StartTracking(TWindow* window) {
    if (window != nullptr && !IsTracking(window)) {
        mTracking.push_front(window);
    }
}

void TWindowManager::StopTracking(TWindow* window) {
    const auto it = std::find(mTracking.begin(), mTracking.end(), window);
    if (it != mTracking.end()) {
        mTracking.erase(it);
    }
}

bool TWindowManager::IsTracking(const TWindow* window) const {
    return std::find(mTracking.begin(), mTracking.end(), window) != mTracking.end();
}

void TWindowManager::PostMessage(TMessage* message) {
    if (message != nullptr) {
        mMessages.push_back(message);
    }
}

void TWindowManager::ProcessMessages() {
    while (!mMessages.empty()) {
        TMessage* message = mMessages.front();
        mMessages.pop_front();
        DispatchMessage(message);
    }
}

void TWindowManager::DispatchMessage(TMessage* message) {
    if (message == nullptr) {
        return;
    }
    if (message->GetKind() == TMessage::kQuitNow) {
        delete message;
        if (TPlatform* platform = TPlatform::GetInstance()) {
            platform->PostQuit(0);
        }
        return;
    }
    if (TWindow* target = message->GetTarget()) {
        TWindow::SendMessage(target, message);
        return;
    }
    TWindow* window = mFocus != nullptr ? mFocus : GetTopModal();
    if (window == nullptr) {
        delete message;
        return;
    }
    TWindow::SendMessage(window, message);
}

void TWindowManager::PassToScript(TMessage* message, TLuaFunction* command) {
    if (TWindowScript* script = GetWindowScript()) {
        // The script takes the message whatever becomes of it.
        script->QueueMessage(message, command);
    } else {
        delete message;
    }
}

void TWindowManager::DeleteWindowLater(TWindow* window) {
    if (window == nullptr) {
        return;
    }
    if (std::find(mDeletionQueue.begin(), mDeletionQueue.end(), window) == mDeletionQueue.end()) {
        mDeletionQueue.push_back(window);
    }
    for (TMessage* message : mMessages) {
        for (const TWindow* w = message->GetTarget(); w != nullptr; w = w->GetParent()) {
            if (w == window) {
                message->SetTarget(nullptr);
                break;
            }
        }
    }
    mTracking.remove(window);
    if (TWindowScript* script = GetWindowScript()) {
        script->ForgetWindow(window, true);
    }
}

void TWindowManager::DeletePendingWindows() {
    if (mDeletionQueue.empty()) {
        return;
    }
    // One at a time: a destructor may queue more, and a queued window deleted with its parent
    // leaves the queue through ClearWindowRefs.
    while (!mDeletionQueue.empty()) {
        TWindow* window = mDeletionQueue.front();
        mDeletionQueue.pop_front();
        delete window;
    }
    Invalidate();
}

void TWindowManager::ClearWindowRefs(TWindow* window) {
    // First: a layer deleted while still on the stack (a caller error) must not be looked at as
    // a modal window below.
    if (std::find(mModalStack.begin(), mModalStack.end(), window) != mModalStack.end()) {
        mModalStack.remove(window);
    }
    if (mRoot == window) {
        mRoot = nullptr;
    }
    if (mFocus == window) {
        mFocus = nullptr;
    }
    StopTracking(window);
    for (TWindow* layer = GetTopModal();
         layer != nullptr && layer->IsKindOf(TModalWindow::ClassId()); layer = layer->GetParent()) {
        auto* modal = static_cast<TModalWindow*>(layer);
        if (modal->GetDefaultFocus() == window) {
            modal->SetDefaultFocus(nullptr);
        }
    }
    mDeletionQueue.remove(window);
    for (TMessage* message : mMessages) {
        if (message->GetTarget() == window) {
            message->SetTarget(nullptr);
        }
    }
    // A window deleted without being queued (with its parent, or by hand).
    if (TWindowScript* script = GetWindowScript()) {
        script->ForgetWindow(window, false);
    }
}

TWindowManager* GetWindowManager() {
    TPlatform* platform = TPlatform::GetInstance();
    return platform != nullptr ? dynamic_cast<TWindowManager*>(platform->GetWindowManager())
                               : nullptr;
}
