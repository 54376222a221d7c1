// The shell's special folders. On this host they are the XDG locations below $HOME (the
// environment's XDG overrides are not read, so that a process's folders follow HOME alone), given
// in Windows form: "\home\ann\.local\share". Any thread may call this.
#pragma once

#include "platform/win32/wintypes.h"

#define CSIDL_DESKTOP 0x0000
#define CSIDL_APPDATA 0x001a
#define CSIDL_COMMON_APPDATA 0x0023

// Desktop: $HOME/Desktop. Application data: $HOME/.local/share. All users' application data:
// $HOME/.local/share/common (no folder on this host is both shared and writable). With `create`
// the folder is made when missing. FALSE without HOME, for other CSIDL values, or when the
// folder is missing and cannot be made. `path` must hold MAX_PATH bytes.
BOOL SHGetSpecialFolderPathA(HWND owner, LPSTR path, int csidl, BOOL create);
