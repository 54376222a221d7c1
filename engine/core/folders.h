// The folders the platform set-up gives the file layer: full paths, the desktop and the per-user
// and all-users data folders ("<application data>\<publisher>\<game>\"). Main thread.
#pragma once

#include "engine/core/str.h"

// The platform's full path of a name; "" on failure.
str GetFullPath(const char* name);
// The desktop folder with a trailing backslash. 0 on success; -1 when out is null or the shell
// call fails; the size needed (with the NUL) when it does not fit, and out is then "".
int GetDesktopFolder(char* out, int size);
// Makes and returns the data folder of `game` below the publisher's folder (the setting
// "publisher", or "Kelvane"), with a trailing backslash. 0 on success; -1 when game or out is
// null or the shell call fails; the size needed (with the NUL) when it does not fit, and out then
// holds the bare application-data folder when that fits, else "".
int GetDataFolder(bool common, const char* game, char* out, int size);
