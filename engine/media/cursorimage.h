// The software cursor's images as the processor blends them: run lists of pixels already
// multiplied by their alpha and put into the display's format, built once per image by the Direct3D
// context (TDXContext::BuildAlphaRuns, BuildKeyedRuns) and blended into a locked surface at every
// cursor draw (TDXContext::BlendRuns). Also the Windows-version questions that decide whether an
// icon cursor can be made and whether mouse moves may draw the cursor at once. Plain data; the
// context keeps its lists under its mouse mutex.
#pragma once

#include <cstdint>
#include <vector>

// Three channel values in the display's format and 255 - alpha.
struct TRunPixel {
    uint16_t red = 0;
    uint16_t green = 0;
    uint16_t blue = 0;
    uint8_t inverseAlpha = 255;
};

// The drawn pixels of one row of an image from (x, y) on, up to the first pixel not drawn or the
// end of the row.
struct TCursorRun {
    uint16_t x = 0;
    uint16_t y = 0;
    std::vector<TRunPixel> pixels;
};

using TCursorRuns = std::vector<TCursorRun>;

// Windows XP (5.1) or later: icon cursors with alpha exist. Asked of the system once.
bool IsXpOrLater();
// Windows Vista (6.0) or later: a windowed cursor follows the cursor thread, not mouse moves.
bool IsVistaOrLater();
// The next question asks the system again (tests change the version the stand-in answers).
void ForgetWindowsVersion();
