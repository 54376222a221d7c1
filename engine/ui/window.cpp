#include "engine/ui/window.h"

#include "engine/ui/windowmanager.h"

#include <algorithm>

namespace {

uint32_t gNextWindowId = 0;

} // namespace

TWindow::TWindow() : mId(gNextWindowId++) {}

TWindow::~TWindow() {
    for (TWindow* child : mChildren) {
        delete child;
    }
}

bool TWindow::AddChild(TWindow* child, bool attach) {
    if (child == nullptr) {
        return false;
    }
    if (std::find(mChildren.begin(), mChildren.end(), child) == mChildren.end()) {
        mChildren.push_front(child);
        child->mParent = this;
    }
    if (attach && !child->OnAttach()) {
        child->mParent = nullptr;
        mChildren.remove(child);
        child->SetSize(child->GetWidth(), child->GetHeight());
        return false;
    }
    return true;
}

TRect TWindow::GetClientRect() const {
    return TRect{0, 0, GetWidth(), GetHeight()};
}

void TWindow::SetSize(int width, int height) {
    mRect.right = mRect.left + width;
    mRect.bottom = mRect.top + height;
    if (TWindowManager* manager = GetWindowManager()) {
        manager->Invalidate();
    }
}

str TWindow::GetIdText() const {
    return str::FromFormat("%8x", mId);
}

TModalWindow::TModalWindow() {
    mFlags |= kModalRoot | kFocusable;
}

TScreen::TScreen() {
    mFlags |= kCovering;
    SetName("_screen_");
}
