// Showing and hiding a window of the game screen by its enabled flag. Main thread only.
#pragma once

#include "engine/ui/window.h"

// Nothing for a null window.
inline void SetShownFlag(TWindow* window, bool show) {
    if (window != nullptr) {
        const uint32_t flags = window->GetFlags();
        window->SetFlags(show ? flags | TWindow::kEnabled : flags & ~uint32_t{TWindow::kEnabled});
    }
}
