// The desktop the stand-in describes: the primary monitor's display mode and the monitors, which
// GetSystemMetrics, GDI's device caps, the work area and the monitor calls answer from. SDL's
// desktop by default, a test's description after standin::SetDesktop, changed by the display
// mode a full-screen program sets through DirectDraw. Not part of the Win32 surface.
#pragma once

#include "platform/win32/standin.h"

namespace standin::detail {

// These take the lock themselves.
// A full-screen program set a display mode: the primary monitor takes the size, depth and refresh
// (a refresh of 0, the adapter's default, keeps the current one); its work area keeps the same
// insets from the monitor's edges as before, cut to the new size. Other monitors stay where they
// are. Ignored without a positive size and depth.
void SetDesktopMode(int width, int height, int bitsPerPixel, int refreshRate);
// Back to the mode before the first SetDesktopMode since the last SetDesktop/UseSystemDesktop;
// nothing when none was set.
void RestoreDesktopMode();

// These need SyncLock held.
// The description in use.
TDesktop DesktopLocked();
// SDL's desktop display mode, read when its video starts; a refresh of 0 is unknown.
void NoteSystemDesktop(int width, int height, int refreshRate);
// A display mode that a full-screen program set over SDL's own desktop is shown stretched over the
// real screen (the presenter scales the primary to it), as a monitor shows a mode change: the
// window system reports the pointer and its windows' places in the real screen's pixels, the
// program works in the mode's. Lengths and positions are scaled between the two; unchanged while
// no such mode is set.
POINT NativeToDesktopLocked(POINT native);
POINT DesktopToNativeLocked(POINT desktop);
// Where a full-screen picture of `picture`'s size is shown on a screen of `screen`'s: the largest
// rectangle of the picture's shape, centred; black bars fill the rest.
RECT PictureRect(SIZE picture, SIZE screen);
// The pointer over such a mode goes through the same rectangle: a position on the bars lies
// outside the mode's area. (Windows' places and sizes stay stretched over the whole screen: the
// full-screen window covers it.)
bool StretchedModeLocked();
POINT NativePointerToDesktopLocked(POINT native);
POINT DesktopPointerToNativeLocked(POINT desktop);
// The area a window maximised from `rect` fills, its caption included and its borders outside:
// the work area of the monitor nearest it; the whole monitor for a window without a caption.
RECT MaximizedArea(const RECT& rect, bool caption);

} // namespace standin::detail
