// Umbrella header of the Win32 stand-in: the engine includes this where it would include
// <windows.h>. Each area of the stand-in has a header of its own, listed here.
#pragma once

#include "platform/win32/wintypes.h"

#include "platform/win32/errhandlingapi.h"
#include "platform/win32/fileapi.h"
#include "platform/win32/globalmem.h"
#include "platform/win32/handleapi.h"
#include "platform/win32/iphlpapi.h"
#include "platform/win32/libloader.h"
#include "platform/win32/memoryapi.h"
#include "platform/win32/minwinbase.h"
#include "platform/win32/mmsystem.h"
#include "platform/win32/modulefile.h"
#include "platform/win32/objbase.h"
#include "platform/win32/processenv.h"
#include "platform/win32/processthreadsapi.h"
#include "platform/win32/shellapi.h"
#include "platform/win32/shlobj.h"
#include "platform/win32/stringapiset.h"
#include "platform/win32/synchapi.h"
#include "platform/win32/sysinfoapi.h"
#include "platform/win32/windowsx.h"
#include "platform/win32/wingdi.h"
#include "platform/win32/winuser.h"
#include "platform/win32/winver.h"
