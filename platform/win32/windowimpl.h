// Internals the window files (window*.cpp) lend each other: the lock, z-order, show state and
// the activation that hiding or destroying a window hands on. Not part of the Win32 surface.
#pragma once

#include "platform/win32/userstate.h"

#include <mutex>

namespace standin::detail {

// Puts a top-level window at the top of the z-order. Needs SyncLock held.
void BringToFront(HWND window);

// These take the lock themselves.
// Shows or hides a window after WM_SHOWWINDOW; answers whether it was visible before.
bool ShowState(HWND window, bool visible);
// Activates the next visible, not minimised top-level window after `leaving`, or none, when
// `leaving` is the active window.
void ActivateNext(HWND leaving);

} // namespace standin::detail
