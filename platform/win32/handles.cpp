#include "platform/win32/handleapi.h"

BOOL CloseHandle(HANDLE handle) {
    standin::TKernelObject* object = standin::FromHandle(handle);
    if (object == nullptr) {
        return FALSE;
    }
    delete object;
    return TRUE;
}
