// The window system behind the window model: SDL's video, or nothing. The only window file that
// calls SDL.
#include "platform/win32/windowbackend.h"

#include "platform/win32/desktop.h"
#include "platform/win32/gdiobjects.h"
#include "platform/win32/windowimpl.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <map>

namespace {

using namespace standin::detail;

SDL_bool SdlBool(bool value) {
    return value ? SDL_TRUE : SDL_FALSE;
}

// SDL refuses a window without width or height.
int Extent(LONG low, LONG high) {
    return std::max(1, static_cast<int>(high - low));
}

class TSdlWindowBackend final : public TWindowBackend {
public:
    bool Create(TWindow& window, const RECT& client) override {
        // The record is findable already: another thread may change its text or style meanwhile.
        std::string title;
        DWORD style = 0;
        DWORD exStyle = 0;
        {
            auto hold = Hold();
            title = window.title;
            style = window.style;
            exStyle = window.exStyle;
        }
        Uint32 flags = SDL_WINDOW_HIDDEN;
        if ((style & WS_CAPTION) != WS_CAPTION) {
            flags |= SDL_WINDOW_BORDERLESS;
        }
        if ((style & WS_THICKFRAME) != 0) {
            flags |= SDL_WINDOW_RESIZABLE;
        }
        if ((exStyle & WS_EX_TOPMOST) != 0) {
            flags |= SDL_WINDOW_ALWAYS_ON_TOP;
        }
        SDL_Window* sdl = SDL_CreateWindow(title.c_str(), client.left, client.top,
                                           Extent(client.left, client.right),
                                           Extent(client.top, client.bottom), flags);
        if (sdl == nullptr) {
            return false;
        }
        auto hold = Hold();
        window.sdl = sdl;
        window.sdlId = SDL_GetWindowID(sdl);
        return true;
    }

    void Destroy(TWindow& window) override {
        if (window.sdl != nullptr) {
            SDL_DestroyWindow(window.sdl);
            window.sdl = nullptr;
            window.sdlId = 0;
        }
    }

    bool HasNative(const TWindow& window) const override { return window.sdl != nullptr; }

    void SetTitle(const TWindow& window) override {
        if (window.sdl != nullptr) {
            SDL_SetWindowTitle(window.sdl, window.title.c_str());
        }
    }

    void Place(const TWindow& window, const RECT& client) override {
        if (window.sdl == nullptr) {
            return;
        }
        SDL_SetWindowBordered(window.sdl, SdlBool((window.style & WS_CAPTION) == WS_CAPTION));
        SDL_SetWindowResizable(window.sdl, SdlBool((window.style & WS_THICKFRAME) != 0));
        const POINT origin = DesktopToNativeLocked(POINT{client.left, client.top});
        const POINT end = DesktopToNativeLocked(POINT{client.right, client.bottom});
        SDL_SetWindowPosition(window.sdl, origin.x, origin.y);
        SDL_SetWindowSize(window.sdl, Extent(origin.x, end.x), Extent(origin.y, end.y));
    }

    void SetTopmost(const TWindow& window) override {
        if (window.sdl != nullptr) {
            SDL_SetWindowAlwaysOnTop(window.sdl, SdlBool((window.exStyle & WS_EX_TOPMOST) != 0));
        }
    }

    void Show(const TWindow& window, bool visible) override {
        if (window.sdl == nullptr) {
            return;
        }
        if (visible) {
            SDL_ShowWindow(window.sdl);
        } else {
            SDL_HideWindow(window.sdl);
        }
    }

    void Raise(const TWindow& window) override {
        if (window.sdl != nullptr) {
            SDL_RaiseWindow(window.sdl);
        }
    }

    void Minimize(const TWindow& window) override {
        if (window.sdl != nullptr) {
            SDL_MinimizeWindow(window.sdl);
        }
    }

    void Restore(const TWindow& window, bool maximize) override {
        if (window.sdl == nullptr) {
            return;
        }
        SDL_RestoreWindow(window.sdl);
        if (maximize) {
            SDL_MaximizeWindow(window.sdl);
        }
    }

    void CaptureMouse(bool capture) override { SDL_CaptureMouse(SdlBool(capture)); }

    bool HasPointer() const override { return true; }

    void SetCursor(HCURSOR shape, bool visible) override {
        if (shape != nullptr) {
            TIconImage image;
            SDL_Cursor* cursor = nullptr;
            if (IconImageOf(shape, &image)) {
                cursor = IconCursor(shape, image);
            } else {
                const auto id = reinterpret_cast<ULONG_PTR>(shape);
                SDL_Cursor*& system = mCursors[id];
                if (system == nullptr) {
                    system = SDL_CreateSystemCursor(SystemCursor(id));
                }
                cursor = system;
            }
            if (cursor != nullptr) {
                SDL_SetCursor(cursor);
            }
        }
        SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
    }

    void ForgetCursor(HCURSOR shape) override {
        const auto found = mIconCursors.find(shape);
        if (found == mIconCursors.end()) {
            return;
        }
        FreeIconCursor(found->second.cursor);
        mIconCursors.erase(found);
    }

    void WarpCursor(const TWindow* inside, POINT local, POINT screen) override {
        {
            auto hold = Hold();
            local = DesktopPointerToNativeLocked(local);
            screen = DesktopPointerToNativeLocked(screen);
        }
        if (inside != nullptr && inside->sdl != nullptr) {
            SDL_WarpMouseInWindow(inside->sdl, local.x, local.y);
        } else if (!HeadlessVideo()) {
            SDL_WarpMouseGlobal(screen.x, screen.y);
        }
    }

private:
    // The look of a system cursor's resource number (LoadCursorA); the arrow for the others.
    static SDL_SystemCursor SystemCursor(ULONG_PTR id) {
        switch (id) {
        case 32513:
            return SDL_SYSTEM_CURSOR_IBEAM;
        case 32514:
            return SDL_SYSTEM_CURSOR_WAIT;
        case 32515:
            return SDL_SYSTEM_CURSOR_CROSSHAIR;
        case 32646:
            return SDL_SYSTEM_CURSOR_SIZEALL;
        case 32648:
            return SDL_SYSTEM_CURSOR_NO;
        case 32649:
            return SDL_SYSTEM_CURSOR_HAND;
        default:
            return SDL_SYSTEM_CURSOR_ARROW;
        }
    }

    // The SDL cursor of an icon, made when it is first shown. Null when the video driver has no
    // cursors (the dummy one).
    SDL_Cursor* IconCursor(HCURSOR shape, const TIconImage& image) {
        TIconCursor& made = mIconCursors[shape];
        if (made.serial == image.serial) {
            return made.cursor;
        }
        // The handle was another icon's, destroyed on a thread that could not tell us.
        FreeIconCursor(made.cursor);
        made.serial = image.serial;
        made.cursor = nullptr;
        std::vector<std::uint32_t> pixels = image.pixels;
        SDL_Surface* surface =
            SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), image.width, image.height, 32,
                                               image.width * 4, SDL_PIXELFORMAT_ARGB8888);
        if (surface != nullptr) {
            made.cursor = SDL_CreateColorCursor(surface, image.hotX, image.hotY);
            SDL_FreeSurface(surface);
        }
        return made.cursor;
    }

    static void FreeIconCursor(SDL_Cursor* cursor) {
        if (cursor == nullptr) {
            return;
        }
        if (SDL_GetCursor() == cursor) {
            SDL_SetCursor(SDL_GetDefaultCursor());
        }
        SDL_FreeCursor(cursor);
    }

    struct TIconCursor {
        std::uint64_t serial = 0;
        SDL_Cursor* cursor = nullptr;
    };

    // Made once per shape and kept: a cursor is in use as long as it is set.
    std::map<ULONG_PTR, SDL_Cursor*> mCursors;
    std::map<HCURSOR, TIconCursor> mIconCursors;
};

class THeadlessWindowBackend final : public TWindowBackend {
public:
    bool Create(TWindow&, const RECT&) override { return true; }
    void Destroy(TWindow&) override {}
    bool HasNative(const TWindow&) const override { return false; }
    void SetTitle(const TWindow&) override {}
    void Place(const TWindow&, const RECT&) override {}
    void SetTopmost(const TWindow&) override {}
    void Show(const TWindow&, bool) override {}
    void Raise(const TWindow&) override {}
    void Minimize(const TWindow&) override {}
    void Restore(const TWindow&, bool) override {}
    void CaptureMouse(bool) override {}
    bool HasPointer() const override { return false; }
    void SetCursor(HCURSOR, bool) override {}
    void ForgetCursor(HCURSOR) override {}
    void WarpCursor(const TWindow*, POINT, POINT) override {}
};

} // namespace

namespace standin::detail {

TWindowBackend& Backend() {
    static TSdlWindowBackend sdl;
    static THeadlessWindowBackend headless;
    if (IsSdlThread()) {
        return sdl;
    }
    return headless;
}

TWindowBackend& StartBackend() {
    EnsureSdlVideo();
    return Backend();
}

} // namespace standin::detail
