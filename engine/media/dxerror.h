// The one way the display, texture and sound code reports a failed DirectX call: a shortage of
// video memory goes to the platform first, then every failure becomes the log line
// "DX Error:  (0x<result>), File <source>, Line <line>". Any thread may report; only DirectDraw
// calls, made on the main thread, answer DDERR_OUTOFVIDEOMEMORY.
#pragma once

#include "platform/win32/wintypes.h"

// `source` is the reporting file as the log names it (".\soundmanager"); `line` a fixed number
// that tells the call apart. The caller goes on as its own rules say.
void ReportDxError(HRESULT result, const char* source, int line);
