#include "platform/win32/errhandlingapi.h"

namespace {
thread_local DWORD tLastError = 0;
} // namespace

DWORD GetLastError() {
    return tLastError;
}

void SetLastError(DWORD code) {
    tLastError = code;
}
