// Windows looked up by name and kind, and shown or hidden through their enabled flag. Main thread
// only.
#pragma once

#include "engine/ui/window.h"

#include <cstdint>

// The window as a T when it is of that kind (TWindow::IsKindOf), else null.
template <class T>
T* AsKind(TWindow* window) {
    return window != nullptr && window->IsKindOf(T::ClassId()) ? static_cast<T*>(window) : nullptr;
}

// The named window in the subtree of `root` (null root: none) when it is a T.
template <class T>
T* FindKind(TWindow* root, const str& name) {
    return root != nullptr ? AsKind<T>(root->FindChild(name, -1)) : nullptr;
}

// Sets or clears the enabled flag (0x100), keeping the others; nothing for null.
inline void SetWindowShown(TWindow* window, bool show) {
    if (window != nullptr) {
        const uint32_t flags = window->GetFlags();
        window->SetFlags(show ? flags | TWindow::kEnabled : flags & ~uint32_t{TWindow::kEnabled});
    }
}
