// The walks through the window tree: drawing, event routing and message sending.

#include "engine/core/settings.h"
#include "engine/media/renderer.h"
#include "engine/ui/message.h"
#include "engine/ui/window.h"
#include "engine/ui/windowmanager.h"

#include <algorithm>
#include <vector>

namespace {

bool IsMouseEventType(int32_t type) {
    return type == kEventLeftDown || type == kEventMouseButton || type == kEventLeftUp ||
           type == kEventMouseMove || type == kEventMouseHover;
}

bool IsKeyEventType(int32_t type) {
    return type >= kEventKeyDown && type <= kEventUnicodeChar;
}

uint8_t LowByte(int32_t value) {
    return static_cast<uint8_t>(value & 0xFF);
}

} // namespace

bool TWindow::DrawTree() {
    if ((mFlags & kEnabled) == 0) {
        return false;
    }
    TRenderer* renderer = TRenderer::Instance();
    if (renderer == nullptr) {
        return false;
    }
    const TRect screen = GetScreenRect();
    TRect clip;
    clip.Intersect(screen, renderer->GetClipRect());
    if (clip.left >= clip.right || clip.top >= clip.bottom) {
        return true;
    }
    renderer->PushViewport(screen);
    renderer->PushClipRect(clip);
    Draw();
    // Back to front, so the front child ends up on top. The window manager draws the modal
    // windows itself. A Draw may change the list; the walk keeps to the children it started with.
    const std::vector<TWindow*> children(mChildren.rbegin(), mChildren.rend());
    for (TWindow* child : children) {
        if ((child->mFlags & kModalRoot) == 0) {
            child->DrawTree();
        }
    }
    PostDraw();
    renderer->PopViewport();
    renderer->PopClipRect();
    return true;
}

bool TWindow::HandleEvent(const TEvent& event, bool focusDone) {
    const TPoint point{event.x, event.y};
    bool handled = false;
    switch (event.type) {
    case kEventLeftDown:
        handled = OnMouseDown(point);
        break;
    case kEventMouseButton:
        handled = OnMouseButton(point, event.param);
        break;
    case kEventLeftUp:
        handled = OnMouseUp(point);
        break;
    case kEventMouseMove:
        handled = OnMouseMove(point);
        break;
    case kEventMouseHover:
        handled = OnMouseHover(point);
        break;
    case kEventKeyDown:
        handled = OnKeyDown(LowByte(event.param), event.modifiers);
        break;
    case kEventKeyUp:
        handled = OnKeyUp(LowByte(event.param));
        break;
    case kEventChar:
        handled = OnChar(LowByte(event.param));
        break;
    case kEventUnicodeChar: {
        const str text = str::FromCodePoint(static_cast<unsigned>(event.param));
        handled = OnTextInput(text);
        if (!handled && text.Length() <= 1) {
            handled = OnChar(LowByte(event.param));
        }
        break;
    }
    default:
        break;
    }

    TWindowManager* manager = GetWindowManager();
    if (event.type == kEventLeftDown && !focusDone) {
        for (TWindow* window = this; window != nullptr; window = window->mParent) {
            if ((window->mFlags & kFocusable) != 0) {
                if (manager != nullptr) {
                    manager->SetFocus(window);
                }
                break;
            }
        }
        focusDone = true;
    }
    if (handled) {
        return true;
    }

    if ((mFlags & kModalRoot) != 0) {
        if (!IsEnabled("overlaymouse") && manager != nullptr) {
            str text;
            if (event.type == kEventLeftUp) {
                text = "mouse:up";
            } else if (event.type == kEventKeyDown) {
                text = str("raw:") + static_cast<char>(LowByte(event.param));
            }
            if (text.Length() != 0) {
                manager->PostMessage(new TMessage(TMessage::kPressAnyKey, text, nullptr));
            }
        }
        return false;
    }

    TEvent copy = event;
    const bool mouse = IsMouseEventType(event.type);
    TPoint inParent = point;
    if (mouse) {
        LocalToParent(inParent);
        copy.x = inParent.x;
        copy.y = inParent.y;
    }
    TWindow* parent = mParent;
    if (parent == nullptr) {
        return false;
    }
    // Keys carry no position: a key this window declined goes to the parent, never to whatever
    // sibling covers the parent's corner.
    if (!IsKeyEventType(event.type)) {
        std::list<TWindow*>& siblings = parent->mChildren;
        auto it = std::find(siblings.begin(), siblings.end(), this);
        if (it != siblings.end()) {
            for (++it; it != siblings.end(); ++it) {
                TWindow* sibling = *it;
                if (!sibling->Contains(inParent) || !sibling->IsEnabledToModalRoot()) {
                    continue;
                }
                TPoint screenPoint = inParent;
                parent->LocalToScreen(screenPoint);
                TPoint local = screenPoint;
                sibling->ScreenToLocal(local);
                TWindow* target = sibling->DeepestChildAt(local, -1);
                if (target == nullptr) {
                    break;
                }
                if (mouse) {
                    TPoint targetPoint = screenPoint;
                    target->ScreenToLocal(targetPoint);
                    copy.x = targetPoint.x;
                    copy.y = targetPoint.y;
                }
                return target->HandleEvent(copy, focusDone);
            }
        }
    }
    return parent->HandleEvent(copy, focusDone);
}

void TWindow::SendMessage(TWindow* window, TMessage* message) {
    if (message == nullptr) {
        return;
    }
    TWindow* root = window;
    for (; root != nullptr; root = root->mParent) {
        if (root->OnMessage(message)) {
            delete message;
            return;
        }
        if ((root->mFlags & kModalRoot) != 0) {
            break;
        }
    }
    // Without a modal root above it the message has nowhere to go.
    if (root == nullptr || !root->IsKindOf(TModalWindow::ClassId())) {
        delete message;
        return;
    }
    TWindow* focus = static_cast<TModalWindow*>(root)->GetDefaultFocus();
    if (focus != nullptr && focus->OnMessage(message)) {
        delete message;
        return;
    }
    if (TWindowManager* manager = GetWindowManager()) {
        manager->PassToScript(message, nullptr);
    } else {
        delete message;
    }
}
