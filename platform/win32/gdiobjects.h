// Inner state of the bitmap and icon stand-ins (gdiobjects.cpp): the window backend reads an icon
// cursor's image to show it. Not part of the Win32 surface. Any thread.
#pragma once

#include "platform/win32/wintypes.h"

#include <cstdint>
#include <vector>

namespace standin::detail {

struct TIconImage {
    int width = 0;
    int height = 0;
    int hotX = 0;
    int hotY = 0;
    bool icon = false;
    // Tells apart icons that had the same handle one after the other.
    std::uint64_t serial = 0;
    // 0xAARRGGBB, rows top to bottom.
    std::vector<std::uint32_t> pixels;
};

// False when `handle` is no live icon made by CreateIconIndirect (a system cursor's resource
// number, for instance).
bool IconImageOf(const void* handle, TIconImage* image);

} // namespace standin::detail
