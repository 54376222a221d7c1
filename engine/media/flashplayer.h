// The Flash movie player: would show a movie over the game window by hosting the movie control, an
// ActiveX control, in a child window, while the window manager stops drawing game frames and the
// game's cursor is hidden. This system has no ActiveX host (its host library is never found), so
// Play fails as it does without that library: no window is made, the cursor is left as it was,
// and the window script goes on without the movie. Stop covers the screen with the root window's
// background again. Made and deleted by the window script; main thread only.
#pragma once

#include "engine/core/str.h"
#include "platform/win32/wintypes.h"

#include <cstdint>
#include <memory>

class TFlashPlayer {
public:
    // `movie`: the movie's file name; null is an empty name.
    explicit TFlashPlayer(const char* movie);
    // Stops the movie.
    ~TFlashPlayer();
    TFlashPlayer(const TFlashPlayer&) = delete;
    TFlashPlayer& operator=(const TFlashPlayer&) = delete;

    // The window script's StartMovie plays once (loop false). False when the movie cannot be
    // shown, with the cursor's visibility as it was.
    bool Play(bool loop, bool localize, bool interactive);
    bool IsPlaying();
    // Lets the game draw again: clears the window manager's flags, draws one frame of the root
    // window's background over what the movie left, and shows the cursor if it was shown.
    void Stop();

private:
    struct TState {
        // Children of the main window; none while no movie shows.
        HWND controlWindow = nullptr;
        HWND blockerWindow = nullptr;
        // The platform's cursor-visible state when the player was made and when Play started.
        uint8_t savedCursor = 1;
        // The movie takes the mouse and keyboard: the window manager's input is blocked.
        bool interactive = false;
    };

    str mMovie;
    std::unique_ptr<TState> mState;
};
