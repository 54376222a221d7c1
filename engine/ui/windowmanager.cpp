#include "engine/ui/windowmanager.h"

#include "engine/script/luabinding.h"
#include "engine/system/medialink.h"
#include "engine/system/platform.h"
#include "engine/ui/message.h"
#include "engine/ui/window.h"
#include "engine/ui/windowscript.h"

#include <algorithm>

TWindowManager::~TWindowManager() {
    // The script outlives the manager in the main task list: nothing of it may reach us then.
    if (TScript* script = GetScript()) {
        LuaWithdrawObject(script->GetState(), this);
    }
    mTracking.clear();
    mFocus = nullptr;
    mModalStack.clear();
    // The root owns the other layers through its children.
    TWindow* root = mRoot;
    mRoot = nullptr;
    delete root;
    DeletePendingWindows();
    // Last: destructors of the windows may still post.
    std::list<TMessage*> messages;
    messages.swap(mMessages);
    for (TMessage* message : messages) {
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

void TWindowManager::SetScript(TScript* script) {
    TWindowManagerLink::SetScript(script);
    if (script != nullptr) {
        LuaPublish(script->GetState(), "SetTopModalOnly", this, &TWindowManager::SetTopModalOnly);
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
    screen->SetSize(width, height);
}

void TWindowManager::SetRootWindow(TWindow* window) {
    if (window == nullptr || window == mRoot) {
        return;
    }
    // A root replaced takes its layers with it.
    mModalStack.clear();
    delete mRoot;
    mRoot = window;
    mModalStack.push_front(window);
    const TPoint viewport = Display().GetViewportSize();
    window->SetSize(viewport.x, viewport.y);
    window->OnAttach();
    Invalidate();
}

TWindow* TWindowManager::GetTopModal() const {
    return mModalStack.empty() ? nullptr : mModalStack.front();
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

void TWindowManager::PassToScript(TMessage* message, TLuaFunction* /*command*/) {
    delete message;
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
}

TWindowManager* GetWindowManager() {
    TPlatform* platform = TPlatform::GetInstance();
    return platform != nullptr ? dynamic_cast<TWindowManager*>(platform->GetWindowManager())
                               : nullptr;
}
