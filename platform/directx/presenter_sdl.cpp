// The presenter on a display: the image goes into the window surface of the window's SDL window.
// A window surface needs no GPU and belongs to the SDL window, going with it, so the presenter
// holds nothing to free per window; the scaling to a full screen is SDL's nearest-pixel blit, the
// same on every machine, into the largest rectangle of the picture's shape.
#include "platform/directx/presenterimpl.h"

#include "platform/win32/desktop.h"
#include "platform/win32/windowbackend.h"

#include <SDL2/SDL.h>

#include <climits>
#include <map>

namespace standin::detail {

namespace {

class TSdlPresenter final : public TPresenter {
public:
    TSdlPresenter() {
        // The window surface in the display's own memory (X11: shared-memory images), not a
        // texture of a GPU renderer, which would also make SDL re-create the native window the
        // first time. A user's environment setting still wins.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    }

    void Show(HWND window, bool fullscreen, const TPresentImage& image) override {
        if (!IsSdlThread() || image.pixels == nullptr || image.width <= 0 || image.height <= 0 ||
            image.pitch < image.width || image.pitch > INT_MAX / 4) {
            return;
        }
        SDL_Window* sdl = SdlWindowOf(window);
        if (sdl == nullptr) {
            return;
        }
        SDL_Surface* target = SDL_GetWindowSurface(sdl);
        if (target == nullptr) {
            return;
        }
        // The top byte of 0xFFRRGGBB pixels is padding to the blit, so no blending happens.
        SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(
            const_cast<std::uint32_t*>(image.pixels), image.width, image.height, 32,
            image.pitch * 4, SDL_PIXELFORMAT_RGB888);
        if (source == nullptr) {
            return;
        }
        // Full screen keeps the picture's shape (the pointer goes through the same rectangle);
        // windowed it fills the window pixel for pixel.
        SDL_Rect at{0, 0, image.width, image.height};
        if (fullscreen) {
            const RECT picture =
                PictureRect(SIZE{image.width, image.height}, SIZE{target->w, target->h});
            at = SDL_Rect{picture.left, picture.top, picture.right - picture.left,
                          picture.bottom - picture.top};
            SDL_BlitScaled(source, nullptr, target, &at);
        } else {
            SDL_BlitSurface(source, nullptr, target, &at);
        }
        // What the image does not cover (the bars, or a window larger for the moment) is black,
        // not whatever the surface held before.
        const Uint32 black = SDL_MapRGB(target->format, 0, 0, 0);
        const SDL_Rect bars[] = {
            {0, 0, target->w, at.y},
            {0, at.y + at.h, target->w, target->h - at.y - at.h},
            {0, at.y, at.x, at.h},
            {at.x + at.w, at.y, target->w - at.x - at.w, at.h},
        };
        for (const SDL_Rect& bar : bars) {
            if (bar.w > 0 && bar.h > 0) {
                SDL_FillRect(target, &bar, black);
            }
        }
        SDL_FreeSurface(source);
        SDL_UpdateWindowSurface(sdl);
    }

    void SetFullscreen(HWND window, bool fullscreen) override {
        if (!IsSdlThread()) {
            return;
        }
        ForgetGoneWindows();
        SDL_Window* sdl = SdlWindowOf(window);
        if (sdl == nullptr) {
            return;
        }
        if (!fullscreen) {
            SDL_SetWindowFullscreen(sdl, 0);
            const auto saved = mPlaces.find(window);
            if (saved != mPlaces.end()) {
                const SDL_Rect& place = saved->second.place;
                SDL_SetWindowPosition(sdl, place.x, place.y);
                SDL_SetWindowSize(sdl, place.w, place.h);
                mPlaces.erase(saved);
            }
            return;
        }
        if (mPlaces.find(window) == mPlaces.end()) {
            SDL_Rect place{};
            SDL_GetWindowPosition(sdl, &place.x, &place.y);
            SDL_GetWindowSize(sdl, &place.w, &place.h);
            mPlaces[window] = TPlace{sdl, place};
        }
        // The window covers the display by itself first: the full-screen request goes to the
        // window manager, and without one (a bare X server) nobody would act on it.
        SDL_Rect screen{};
        const int display = SDL_GetWindowDisplayIndex(sdl);
        if (display >= 0 && SDL_GetDisplayBounds(display, &screen) == 0) {
            SDL_SetWindowPosition(sdl, screen.x, screen.y);
            SDL_SetWindowSize(sdl, screen.w, screen.h);
        }
        SDL_SetWindowFullscreen(sdl, SDL_WINDOW_FULLSCREEN_DESKTOP);
    }

    void WaitForVerticalBlank(DWORD refreshRate) override { WaitForNextRefresh(refreshRate); }

private:
    struct TPlace {
        SDL_Window* sdl; // owned by the window backend; compared, never used once gone
        SDL_Rect place;  // where the window was before it went full screen
    };

    void ForgetGoneWindows() {
        std::erase_if(mPlaces, [](const auto& entry) {
            return SdlWindowOf(entry.first) != entry.second.sdl;
        });
    }

    // Windows that are full screen, and where each returns to.
    std::map<HWND, TPlace> mPlaces;
};

} // namespace

std::unique_ptr<TPresenter> MakeSdlPresenter() {
    return std::make_unique<TSdlPresenter>();
}

} // namespace standin::detail
