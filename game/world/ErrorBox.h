// The game's modal error box, with which a failed script call, a broken tutorial and a crash stop
// the game. Main thread.
#pragma once

#include "platform/win32/winuser.h"

// Shows the text in a box titled "Error" with the buttons given, the information icon,
// task-modal and brought to the foreground, and answers the button pressed. Its owner is the last
// active popup of the active window, none while no window is active. A quit waiting in the
// thread's queue is taken out before the box and posted again after it, so that it neither closes
// the box at once nor gets lost.
int ShowErrorBox(const char* text, UINT buttons = MB_OK);
