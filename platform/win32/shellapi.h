// Opening a document or web address with the user's preferred program (xdg-open). Any thread may
// call this.
#pragma once

#include "platform/win32/wintypes.h"

#define SE_ERR_FNF 2
#define SE_ERR_NOASSOC 31

// Without parameters `file` (a web address or a document) is opened with xdg-open; with
// parameters `file` is a program started with them. Above 32 when started; SE_ERR_FNF when the
// program could not be started, SE_ERR_NOASSOC for verbs other than "open" (or none). Without a
// display (SDL's dummy driver) nothing is started and the call is only recorded, as it is while
// standin::RecordShellExecute is on.
HINSTANCE ShellExecuteA(HWND window, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                        INT showCommand);
