#include "engine/core/platform.h"

#include "platform/win32/mmsystem.h"

uint32_t TPlatform::sStartTime = 0;

uint32_t TPlatform::GetTime() {
    // Unsigned subtraction keeps the difference right across timeGetTime's wrap.
    return timeGetTime() - sStartTime;
}
