// The window manager's event entry, mouse routing and frames.

#include "engine/core/settings.h"
#include "engine/media/renderer.h"
#include "engine/system/platform.h"
#include "engine/system/win32platform.h"
#include "engine/ui/message.h"
#include "engine/ui/window.h"
#include "engine/ui/windowmanager.h"

#include <algorithm>
#include <vector>

namespace {

constexpr uint32_t kForegroundFrameMs = 12;
constexpr uint32_t kBackgroundFrameMs = 200;

bool ContainsPoint(const TRect& rect, const TPoint& point) {
    return point.x >= rect.left && point.x < rect.right && point.y >= rect.top &&
           point.y < rect.bottom;
}

TEvent At(const TEvent& event, const TPoint& point) {
    TEvent copy = event;
    copy.x = point.x;
    copy.y = point.y;
    return copy;
}

} // namespace

void TWindowManager::HandleEvent(const TEvent& event) {
    if (event.type == kEventNothing) {
        return;
    }
    DeletePendingWindows();
    TModalWindow* top = GetTopModal();
    if (top == nullptr) {
        return;
    }
    switch (event.type) {
    case kEventIdle:
        top->RunTasks(0);
        ProcessMessages();
        Draw();
        ProcessMessages();
        return;
    case kEventRepaint:
        Invalidate();
        ProcessMessages();
        Draw();
        ProcessMessages();
        return;
    case kEventActivation:
        return;
    case kEventKeyDown:
    case kEventKeyUp:
    case kEventChar:
    case kEventUnicodeChar:
        (mFocus != nullptr ? mFocus : top)->HandleEvent(event, false);
        ProcessMessages();
        return;
    case kEventMouseLeft:
        LeaveTrackedWindows();
        ProcessMessages();
        return;
    case kEventLeftDown:
    case kEventMouseButton:
    case kEventLeftUp:
    case kEventMouseMove:
    case kEventMouseHover:
        RouteMouse(event);
        ProcessMessages();
        return;
    default:
        ProcessMessages();
        // The messages may have changed the stack.
        if (TModalWindow* now = GetTopModal()) {
            now->HandleEvent(event, false);
        }
        return;
    }
}

void TWindowManager::LeaveTrackedWindows() {
    const TWindow* top = GetTopModal();
    // A handler may change the list: each window is served only while it is still tracked.
    const std::vector<TWindow*> tracked(mTracking.begin(), mTracking.end());
    for (TWindow* window : tracked) {
        if (GetTopModal() != top) {
            return;
        }
        if (IsTracking(window)) {
            window->OnMouseLeave();
        }
    }
}

void TWindowManager::RouteMouse(const TEvent& event) {
    const TPoint point{event.x, event.y};
    TModalWindow* top = GetTopModal();
    if (!mTracking.empty()) {
        const std::vector<TWindow*> tracked(mTracking.begin(), mTracking.end());
        for (TWindow* window : tracked) {
            if (GetTopModal() != top) {
                return;
            }
            if (!IsTracking(window)) {
                continue;
            }
            if (!ContainsPoint(window->GetScreenRect(), point)) {
                window->OnMouseLeave();
                if (!IsTracking(window)) {
                    continue;
                }
            }
            TPoint local = point;
            window->ScreenToLocal(local);
            window->HandleEvent(At(event, local), false);
        }
        return;
    }
    TPoint local = point;
    top->ScreenToLocal(local);
    TWindow* target = top->DeepestChildAt(local, -1);
    local = point;
    target->ScreenToLocal(local);
    // With "overlaymouse" off the modal root posted it already while the event bubbled.
    if (!target->HandleEvent(At(event, local), false) && event.type == kEventLeftUp &&
        IsEnabled("overlaymouse")) {
        PostMessage(new TMessage(TMessage::kPressAnyKey, "mouse:up", nullptr));
    }
}

uint32_t TWindowManager::FrameInterval() {
    const TPlatform* platform = TPlatform::GetInstance();
    if (platform->IsForeground() || IsPqMode()) {
        return kForegroundFrameMs;
    }
    float scale = 1.0f;
    // A game embedded in a host window keeps the foreground rate.
    return platform->GetWin32()->GetViewportScale(&scale) ? kForegroundFrameMs : kBackgroundFrameMs;
}

void TWindowManager::Draw() {
    mStopDrawing = false;
    TPlatform* platform = TPlatform::GetInstance();
    if (platform == nullptr || mSuspended || !mInvalidated || !platform->IsFlipDone()) {
        return;
    }
    const uint32_t now = TPlatform::GetTime();
    // Unsigned, as the time is: near the wrap the sum wraps too.
    if (now < mLastFrameTime + FrameInterval()) {
        return;
    }
    mLastFrameTime = now;
    TModalWindow* top = GetTopModal();
    TRenderer* renderer = TRenderer::Existing();
    if (top == nullptr || renderer == nullptr) {
        return;
    }
    if (platform->IsFlipDone()) {
        platform->GetTaskList()->Run(1);
        top->RunTasks(1);
    }
    if (!renderer->BeginDraw(0)) {
        return;
    }
    mInvalidated = false;
    DrawModalStack();
    renderer->EndDraw(1);
}

void TWindowManager::DrawModalStack() {
    if (mStopDrawing || TPlatform::GetInstance() == nullptr || !IsDisplayOk() ||
        mModalStack.empty()) {
        return;
    }
    if (mTopModalOnly) {
        GetTopModal()->DrawTree();
        return;
    }
    const TWindow* root = mRoot != nullptr ? mRoot : mModalStack.back();
    // From the top down to the first layer that covers the whole root; the layers below it are
    // hidden.
    auto start = std::find_if(mModalStack.begin(), mModalStack.end(), [root](const TWindow* w) {
        return (w->GetFlags() & TWindow::kCovering) != 0 && w->GetWidth() == root->GetWidth() &&
               w->GetHeight() == root->GetHeight();
    });
    if (start == mModalStack.end()) {
        start = std::prev(mModalStack.end());
    }
    // Bottom to top. Windows are deleted only between events, so the pointers stay valid while
    // a Draw changes the stack; a pop stops the walk.
    std::vector<TWindow*> layers(mModalStack.begin(), std::next(start));
    std::reverse(layers.begin(), layers.end());
    for (TWindow* layer : layers) {
        if (!IsDisplayOk()) {
            return;
        }
        layer->DrawTree();
        if (mStopDrawing) {
            return;
        }
    }
}
