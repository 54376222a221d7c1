// Test controls of the cursor stand-ins: the Windows version GetVersionExA answers (which decides
// whether the program makes icon cursors), the pointer shape SetCursor set, and what an icon
// cursor holds. The program never calls these; tests do.
#pragma once

#include "platform/win32/wintypes.h"

#include <cstdint>
#include <vector>

namespace standin {

// GetVersionExA answers this from now on; the default is Windows XP, 5.1 build 2600.
void SetWindowsVersion(DWORD major, DWORD minor, DWORD build = 0);
void UseDefaultWindowsVersion();

// The shape the last SetCursor set (null for none).
HCURSOR CurrentCursor();

struct TIconCursor {
    int width = 0;
    int height = 0;
    int hotX = 0;
    int hotY = 0;
    bool icon = false; // FALSE in ICONINFO: a cursor
    // 0xAARRGGBB as it shows, rows top to bottom.
    std::vector<std::uint32_t> pixels;
};
// False when the handle is no live icon made by CreateIconIndirect.
bool ReadIconCursor(const void* handle, TIconCursor* out);
// Icons made by CreateIconIndirect and not yet destroyed.
int LiveIconCount();

} // namespace standin
