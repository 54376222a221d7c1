#include "engine/core/tasklist.h"
#include "engine/ui/window.h"
#include "engine/ui/windowmanager.h"

TModalWindow::TModalWindow() : mTasks(std::make_unique<TTaskList>()) {
    mFlags |= kModalRoot | kFocusable;
}

TModalWindow::~TModalWindow() {
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
