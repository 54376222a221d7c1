// Shows the primary surface on the screen. One implementation is chosen in one place
// (MakePresenter): SDL when a display runs, headless otherwise. Main thread only.
#pragma once

#include "platform/win32/wintypes.h"

#include <cstdint>
#include <memory>

namespace standin::detail {

// A picture to show: 32-bit pixels 0xFFRRGGBB, `pitch` pixels apart, of `width` x `height`.
struct TPresentImage {
    const std::uint32_t* pixels = nullptr;
    int pitch = 0;
    int width = 0;
    int height = 0;
};

class TPresenter {
public:
    virtual ~TPresenter() = default;
    // Windowed: `image` is the window's client area and fills it, pixel for pixel.
    // Full screen: `image` is the whole primary and fills the screen, scaled.
    virtual void Show(HWND window, bool fullscreen, const TPresentImage& image) = 0;
    // The window becomes a full-screen window of the display or returns to its place.
    virtual void SetFullscreen(HWND window, bool fullscreen) = 0;
    // Returns at the start of the display's next refresh (`refreshRate` per second).
    virtual void WaitForVerticalBlank(DWORD refreshRate) = 0;
};

std::unique_ptr<TPresenter> MakePresenter();

} // namespace standin::detail
