// The font built into the program, which the font list serves as "__DEFAULT" and as the last
// fallback: the bytes of assets/fonts/default.mvec, embedded when the program is built. Read-only;
// any thread.
#pragma once

#include <span>

std::span<const unsigned char> BuiltInMiniVecFont();
