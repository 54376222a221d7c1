#include "game/shell/GTutorialWindowManager.h"

#include "engine/ui/button.h"
#include "engine/ui/windowmanager.h"
#include "game/shell/GTutorialWindow.h"
#include "game/world/GStratMousePikUp.h"

namespace {

const char kModalName[] = "TutorialModalWindow";

} // namespace

void MoveKeepingScreenPlace(TWindow* window, TWindow* newParent) {
    TPoint place{window->GetScreenRect().left, window->GetScreenRect().top};
    if (TWindow* parent = window->GetParent()) {
        parent->RemoveChild(window);
    }
    newParent->AddChild(window, false);
    newParent->ScreenToLocal(place);
    window->MoveTo(place.x, place.y);
}

TTransferWindow::~TTransferWindow() {
    mManager->ForgetTransferWindow(this);
}

bool TTransferWindow::OnAnimate() {
    if (TWindowManager* manager = GetWindowManager()) {
        manager->Invalidate();
    }
    return true;
}

TWindow* TTransferWindow::GameControlAt(const TPoint& point, TPoint& local) const {
    TWindow* control = mManager->GetGameControl();
    if (control == nullptr || mManager->GetTransferWindow() != this) {
        return nullptr;
    }
    local = point;
    LocalToScreen(local);
    control->ScreenToLocal(local);
    return control;
}

bool TTransferWindow::OnMouseDown(const TPoint& point) {
    TPoint local;
    TWindow* control = GameControlAt(point, local);
    if (control == nullptr) {
        return false;
    }
    MouseInteraction().mPressed = nullptr;
    return control->OnMouseDown(local);
}

bool TTransferWindow::OnMouseUp(const TPoint& point) {
    TPoint local;
    TWindow* control = GameControlAt(point, local);
    return control != nullptr && control->OnMouseUp(local);
}

bool TTransferWindow::OnMouseMove(const TPoint& point) {
    TPoint local;
    TWindow* control = GameControlAt(point, local);
    return control != nullptr && control->OnMouseMove(local);
}

bool TTransferWindow::OnKeyDown(uint8_t key, int /*modifiers*/) {
    if (key == GTutorialWindow::kEscapeKey) {
        mManager->PressPauseButton();
    }
    return true;
}

GTutorialWindowManager& GTutorialWindowManager::Instance() {
    static GTutorialWindowManager manager;
    return manager;
}

void GTutorialWindowManager::Register(GTutorialWindow* window) {
    mWindows[window->GetName()] = window;
}

void GTutorialWindowManager::Unregister(GTutorialWindow* window) {
    for (auto it = mWindows.begin(); it != mWindows.end();) {
        it = it->second == window ? mWindows.erase(it) : std::next(it);
    }
    if (mCurrentWindow == window) {
        mCurrentWindow = nullptr;
        ForgetStopWindows();
    }
}

GTutorialWindow* GTutorialWindowManager::FindWindow(const str& name) const {
    const auto found = mWindows.find(name);
    return found != mWindows.end() ? found->second : nullptr;
}

void GTutorialWindowManager::ForgetStopWindows() {
    mTutorialModal = nullptr;
    mGameControl = nullptr;
    mTransferWindow = nullptr;
    mPreviousParent = nullptr;
    mPauseButton = nullptr;
    mPauseParent = nullptr;
}

void GTutorialWindowManager::ForgetTransferWindow(const TTransferWindow* window) {
    if (mTransferWindow == window) {
        ForgetStopWindows();
    }
}

void GTutorialWindowManager::PressPauseButton() {
    if (mPauseButton != nullptr) {
        mPauseButton->RunCommand();
    }
}

bool GTutorialWindowManager::OpenWindow(const str& name, bool stop, int x, int y, int targetBits,
                                        int delay) {
    GTutorialWindow* window = FindWindow(name);
    if (window == nullptr) {
        return false;
    }
    mCurrentWindow = window;
    TWindowManager* windows = GetWindowManager();
    if (stop && window->GetParent() != nullptr && windows != nullptr) {
        TModalWindow* screen = window->GetModalParent();
        mGameControl = screen != nullptr ? screen->FindChild("game_ctrl", -1) : nullptr;
        auto* modal = new TModalWindow;
        modal->SetName(kModalName);
        if (screen != nullptr) {
            modal->MoveTo(screen->GetRect().left, screen->GetRect().top);
            modal->SetSize(screen->GetWidth(), screen->GetHeight());
        }
        mPreviousParent = window->GetParent();
        mPreviousParent->RemoveChild(window);
        auto* transfer = new TTransferWindow(this);
        transfer->SetName("TutorialTransferWindow");
        transfer->SetSize(GTutorialWindow::kScreenWidth, GTutorialWindow::kScreenHeight);
        modal->AddChild(transfer, false);
        transfer->AddChild(window, false);
        mTutorialModal = modal;
        mTransferWindow = transfer;
        windows->PushModal(modal);
        transfer->StartAnimation(TTransferWindow::kAnimationMs, true, true, false);
        modal->SetDefaultFocus(transfer);
        // Borrowed once the modal window is in the tree, so its screen place can be kept.
        TWindow* pause = screen != nullptr ? screen->FindChild("pause", -1) : nullptr;
        if (pause != nullptr && pause->IsKindOf(TButton::ClassId())) {
            mPauseButton = static_cast<TButton*>(pause);
            mPauseParent = pause->GetParent();
            MoveKeepingScreenPlace(pause, transfer);
        }
    }
    TModalWindow* modalParent = window->GetModalParent();
    const uint32_t now =
        modalParent != nullptr ? static_cast<uint32_t>(modalParent->GetClock().GetTime()) : 0;
    window->Place(x, y, targetBits, now + static_cast<uint32_t>(delay) + 1);
    window->StartAnimation(GTutorialWindow::kAnimationMs, true, true, false);
    return true;
}

void GTutorialWindowManager::CloseWindow() {
    GTutorialWindow* window = mCurrentWindow;
    if (window == nullptr) {
        return;
    }
    window->DetachAnimation();
    window->SetVisible(false);
    window->RestoreSkipButton();
    window->RemoveExtraArrows();
    TWindowManager* windows = GetWindowManager();
    if (mTutorialModal != nullptr) {
        if (mPreviousParent != nullptr) {
            if (TWindow* parent = window->GetParent()) {
                parent->RemoveChild(window);
            }
            mPreviousParent->AddChild(window, false);
        }
        if (mPauseButton != nullptr && mPauseParent != nullptr) {
            MoveKeepingScreenPlace(mPauseButton, mPauseParent);
        }
        // Forgotten first: popping deletes the transfer window later, which must find nothing.
        ForgetStopWindows();
        if (windows != nullptr) {
            windows->DoPopModal(kModalName);
        }
    }
    if (windows != nullptr) {
        windows->Invalidate();
    }
    mCurrentWindow = nullptr;
}
