#include "engine/ui/window.h"

#include "engine/core/log.h"
#include "engine/ui/windowmanager.h"

#include <algorithm>
#include <limits>

namespace {

uint32_t gNextWindowId = 0;

void InvalidateWindows() {
    if (TWindowManager* manager = GetWindowManager()) {
        manager->Invalidate();
    }
}

const char* NameText(const str& name) {
    return name.CStr() != nullptr ? name.CStr() : "";
}

// The largest right and bottom of the children seen, starting from the window's own size. The
// name is the one the window family uses for it.
class GetLargest final : public TWindowSpider { // NOLINT(readability-identifier-naming)
public:
    GetLargest(int right, int bottom) : mRight(right), mBottom(bottom) {}
    bool Visit(TWindow* child) override {
        mRight = std::max(mRight, child->GetRect().right);
        mBottom = std::max(mBottom, child->GetRect().bottom);
        return true;
    }
    int Right() const { return mRight; }
    int Bottom() const { return mBottom; }

private:
    int mRight;
    int mBottom;
};

// Removes each child and queues it for deferred deletion. The name is the one the window family
// uses for it.
class ChildrenDelete final : public TWindowSpider { // NOLINT(readability-identifier-naming)
public:
    ChildrenDelete(TWindow* parent, TWindowManager* manager) : mParent(parent), mManager(manager) {}
    bool Visit(TWindow* child) override {
        mParent->RemoveChild(child);
        if (mManager != nullptr) {
            mManager->DeleteWindowLater(child);
        } else {
            // Without a window manager nothing would ever delete it.
            delete child;
        }
        return true;
    }

private:
    TWindow* mParent;
    TWindowManager* mManager;
};

} // namespace

int32_t SaturateToInt(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

TWindow* CreateWindowFromClassId(TWindowClassId id) {
    return id != nullptr ? id() : nullptr;
}

TWindow::TWindow() : mId(gNextWindowId++) {}

TWindow::~TWindow() {
    DetachAnimation();
    InvalidateWindows();
    ReportCover(false);
    // A child's destructor may still look at its parent's list: it finds it empty.
    std::list<TWindow*> children;
    children.swap(mChildren);
    for (TWindow* child : children) {
        delete child;
    }
    if (TWindowManager* manager = GetWindowManager()) {
        manager->ClearWindowRefs(this);
    }
}

TWindow* TWindow::Create() {
    return new TWindow;
}

str TWindow::GetIdText() const {
    return str::FromFormat("%8x", mId);
}

void TWindow::SetFlags(uint32_t flags) {
    const uint32_t old = mFlags;
    mFlags = (flags & 0xFF00) | (old & 0xFF);
    if (((old ^ mFlags) & kEnabled) != 0) {
        InvalidateWindows();
    }
    if (TModalWindow* modal = GetModalParent()) {
        modal->UpdateCover(this, (mFlags & kCovering) != 0 && GetWidth() == modal->GetWidth() &&
                                     GetHeight() == modal->GetHeight());
    }
}

TRect TWindow::GetScreenRect() const {
    if (mParent == nullptr) {
        return mRect;
    }
    const TRect parent = mParent->GetScreenRect();
    TRect rect;
    rect.left = SaturateToInt(int64_t{parent.left} + mRect.left);
    rect.top = SaturateToInt(int64_t{parent.top} + mRect.top);
    rect.right = SaturateToInt(int64_t{rect.left} + GetWidth());
    rect.bottom = SaturateToInt(int64_t{rect.top} + GetHeight());
    return rect;
}

TRect TWindow::GetClientRect() const {
    return TRect{0, 0, GetWidth(), GetHeight()};
}

int TWindow::GetWidth() const {
    return SaturateToInt(int64_t{mRect.right} - mRect.left);
}

int TWindow::GetHeight() const {
    return SaturateToInt(int64_t{mRect.bottom} - mRect.top);
}

void TWindow::LocalToScreen(TPoint& point) const {
    const TRect screen = GetScreenRect();
    point.x = SaturateToInt(int64_t{point.x} + screen.left);
    point.y = SaturateToInt(int64_t{point.y} + screen.top);
}

void TWindow::ScreenToLocal(TPoint& point) const {
    const TRect screen = GetScreenRect();
    point.x = SaturateToInt(int64_t{point.x} - screen.left);
    point.y = SaturateToInt(int64_t{point.y} - screen.top);
}

void TWindow::LocalToParent(TPoint& point) const {
    point.x = SaturateToInt(int64_t{point.x} + mRect.left);
    point.y = SaturateToInt(int64_t{point.y} + mRect.top);
}

void TWindow::ParentToLocal(TPoint& point) const {
    point.x = SaturateToInt(int64_t{point.x} - mRect.left);
    point.y = SaturateToInt(int64_t{point.y} - mRect.top);
}

void TWindow::MoveTo(int x, int y) {
    const int width = GetWidth();
    const int height = GetHeight();
    mRect.left = x;
    mRect.top = y;
    mRect.right = SaturateToInt(int64_t{x} + width);
    mRect.bottom = SaturateToInt(int64_t{y} + height);
    InvalidateWindows();
}

void TWindow::SetSize(int width, int height) {
    mRect.right = SaturateToInt(int64_t{mRect.left} + width);
    mRect.bottom = SaturateToInt(int64_t{mRect.top} + height);
    TWindowManager* manager = GetWindowManager();
    if (manager != nullptr) {
        manager->Invalidate();
    }
    const TWindow* root = manager != nullptr ? manager->GetRootWindow() : nullptr;
    ReportCover(root != nullptr && (mFlags & kCovering) != 0 && GetWidth() == root->GetWidth() &&
                GetHeight() == root->GetHeight());
}

TModalWindow* TWindow::GetModalParent() const {
    for (TWindow* window = mParent; window != nullptr; window = window->mParent) {
        if ((window->mFlags & kModalRoot) != 0) {
            // During its destruction a modal window answers only as a TWindow and is passed over.
            return window->IsKindOf(TModalWindow::ClassId()) ? static_cast<TModalWindow*>(window)
                                                             : nullptr;
        }
    }
    return nullptr;
}

void TWindow::ReportCover(bool covering) {
    if (TModalWindow* modal = GetModalParent()) {
        modal->UpdateCover(this, covering);
    }
}

bool TWindow::IsAncestorOf(const TWindow* window) const {
    for (const TWindow* w = window; w != nullptr; w = w->mParent) {
        if (w == this) {
            return true;
        }
    }
    return false;
}

bool TWindow::AddChild(TWindow* child, bool attach) {
    if (child == nullptr) {
        return false;
    }
    if (child->IsAncestorOf(this)) {
        Log("TWindow::AddChild: window '%s' cannot become a child of itself or of a descendant",
            NameText(child->mName));
        return false;
    }
    if (child->mParent != nullptr && child->mParent != this) {
        child->mParent->RemoveChild(child);
        if (child->mParent != nullptr) {
            Log("TWindow::AddChild: window '%s' did not leave its parent", NameText(child->mName));
            return false;
        }
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

void TWindow::RemoveChild(TWindow* child) {
    const auto it = std::find(mChildren.begin(), mChildren.end(), child);
    if (it == mChildren.end()) {
        return;
    }
    InvalidateWindows();
    mChildren.erase(it);
    child->ReportCover(false);
    child->mParent = nullptr;
}

void TWindow::Reorder(int mode, TWindow* sibling) {
    if (mParent == nullptr) {
        Log("TWindow::Reorder: window '%s' has no parent", NameText(mName));
        return;
    }
    std::list<TWindow*>& list = mParent->mChildren;
    const auto it = std::find(list.begin(), list.end(), this);
    if (it == list.end()) {
        return;
    }
    switch (mode) {
    case 0:
        list.splice(list.end(), list, it);
        break;
    case 1:
        list.splice(list.begin(), list, it);
        break;
    case 2:
        if (it == list.begin()) {
            return;
        }
        list.splice(std::prev(it), list, it);
        break;
    case 3: {
        const auto next = std::next(it);
        if (next == list.end()) {
            return;
        }
        list.splice(std::next(next), list, it);
        break;
    }
    default: {
        if (sibling == this) {
            return;
        }
        const auto at =
            sibling != nullptr ? std::find(list.begin(), list.end(), sibling) : list.end();
        if (at == list.end()) {
            list.splice(list.end(), list, it);
            return;
        }
        list.splice(at, list, it);
        break;
    }
    }
    InvalidateWindows();
}

TWindow* TWindow::FindChild(const str& name, int depth) {
    if (mName == name) {
        return this;
    }
    if (depth == 0) {
        return nullptr;
    }
    const int next = depth < 0 ? -1 : depth - 1;
    for (TWindow* child : mChildren) {
        if (TWindow* found = child->FindChild(name, next)) {
            return found;
        }
    }
    return nullptr;
}

void TWindow::VisitChildren(TWindowSpider& spider, bool reverse) {
    // The next child is taken before each visit, so the visited child may leave the list.
    if (!reverse) {
        for (auto it = mChildren.begin(); it != mChildren.end();) {
            TWindow* child = *it++;
            if (!spider.Visit(child)) {
                return;
            }
        }
        return;
    }
    if (mChildren.empty()) {
        return;
    }
    auto it = std::prev(mChildren.end());
    for (;;) {
        TWindow* child = *it;
        const bool last = it == mChildren.begin();
        const auto next = last ? mChildren.end() : std::prev(it);
        if (!spider.Visit(child) || last) {
            return;
        }
        it = next;
    }
}

void TWindow::DeleteChildren() {
    ChildrenDelete spider(this, GetWindowManager());
    VisitChildren(spider, false);
}

void TWindow::FitToChildren() {
    GetLargest spider(GetWidth(), GetHeight());
    VisitChildren(spider, false);
    SetSize(spider.Right(), spider.Bottom());
}

bool TWindow::IsEnabledToModalRoot() const {
    for (const TWindow* window = this; window != nullptr; window = window->mParent) {
        if ((window->mFlags & kEnabled) == 0) {
            return false;
        }
        if ((window->mFlags & kModalRoot) != 0) {
            return true;
        }
    }
    return true;
}

bool TWindow::Contains(const TPoint& point) const {
    return point.x >= mRect.left && point.x < mRect.right && point.y >= mRect.top &&
           point.y < mRect.bottom;
}

TWindow* TWindow::ChildAt(const TPoint& point) {
    for (TWindow* child : mChildren) {
        if (child->Contains(point) && child->IsEnabledToModalRoot()) {
            return child;
        }
    }
    return this;
}

TWindow* TWindow::DeepestChildAt(const TPoint& point, int depth) {
    TWindow* window = this;
    TPoint local = point;
    for (;;) {
        TWindow* child = window->ChildAt(local);
        if (child == window) {
            return window;
        }
        if (depth == 0) {
            return nullptr;
        }
        if (depth > 0) {
            --depth;
        }
        child->ParentToLocal(local);
        window = child;
    }
}

TWindowAnim* TWindow::GetAnimation() {
    if (mAnimation != nullptr) {
        return mAnimation;
    }
    TModalWindow* modal =
        IsKindOf(TModalWindow::ClassId()) ? static_cast<TModalWindow*>(this) : GetModalParent();
    if (modal == nullptr) {
        Log("TWindow::GetAnimation: window '%s' lies in no modal window; no animation",
            NameText(mName));
        return nullptr;
    }
    mAnimation = new TWindowAnim(this, &modal->GetClock());
    modal->AddTask(mAnimation);
    return mAnimation;
}

void TWindow::StartAnimation(int delayMs, bool repeat, bool fromNow, bool catchUp) {
    if (TWindowAnim* animation = GetAnimation()) {
        animation->Start(delayMs, repeat, fromNow, catchUp);
    }
}

void TWindow::DetachAnimation() {
    if (mAnimation != nullptr) {
        mAnimation->mWindow = nullptr;
        mAnimation = nullptr;
    }
}

bool TWindowClearFlags::Visit(TWindow* child) {
    child->SetFlags(child->GetFlags() & mMask);
    if (mRecurse) {
        child->VisitChildren(*this, false);
    }
    return true;
}

bool TModalPoppedSpider::Visit(TWindow* child) {
    TModalPoppedSpider children;
    child->VisitChildren(children, false);
    child->OnModalPopped();
    return true;
}

TWindowAnim::TWindowAnim(TWindow* window, TClock* clock) : TAnimTask(clock), mWindow(window) {}

TWindowAnim::~TWindowAnim() {
    if (mWindow != nullptr) {
        mWindow->mAnimation = nullptr;
    }
}

bool TWindowAnim::Animate() {
    return mWindow != nullptr && mWindow->OnAnimate();
}
