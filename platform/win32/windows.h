// Umbrella header of the Win32 stand-in: the engine includes this where it would include
// <windows.h>. Each area of the stand-in has a header of its own, listed here.
#pragma once

#include "platform/win32/wintypes.h"
#include "platform/win32/mmsystem.h"
