// Test controls of the platform stand-in: what the stand-in answers instead of the real system.
// The program never calls these; tests do, from the main thread, before the code under test runs.
#pragma once

#include "platform/win32/wintypes.h"

namespace standin {

// Freezes timeGetTime at `ms`; it then moves only through AdvanceTime.
void SetFakeTime(DWORD ms);
void AdvanceTime(DWORD ms);
// Back to the real monotonic clock.
void UseRealTime();

} // namespace standin
