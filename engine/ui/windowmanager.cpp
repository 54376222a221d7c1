#include "engine/ui/windowmanager.h"

#include "engine/script/luabinding.h"
#include "engine/system/medialink.h"
#include "engine/system/platform.h"
#include "engine/ui/window.h"
#include "engine/ui/windowscript.h"

TWindowManager::~TWindowManager() {
    // The script outlives the manager in the main task list: nothing of it may reach us then.
    if (TScript* script = GetScript()) {
        LuaWithdrawObject(script->GetState(), this);
    }
    mModalStack.clear();
    // The root owns the other layers through its children.
    TWindow* root = mRoot;
    mRoot = nullptr;
    delete root;
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

TWindowManager* GetWindowManager() {
    TPlatform* platform = TPlatform::GetInstance();
    return platform != nullptr ? dynamic_cast<TWindowManager*>(platform->GetWindowManager())
                               : nullptr;
}
