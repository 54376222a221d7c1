// Kernel handles of the stand-in. Every HANDLE that CloseHandle accepts points at an object
// derived from standin::TKernelObject; closing it deletes the object. Any thread may call these.
#pragma once

#include "platform/win32/wintypes.h"

namespace standin {

class TKernelObject {
public:
    virtual ~TKernelObject() = default;
};

// The object behind a handle, or null for a null or pseudo handle.
inline TKernelObject* FromHandle(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    return static_cast<TKernelObject*>(handle);
}

} // namespace standin

// FALSE for a null or invalid handle.
BOOL CloseHandle(HANDLE handle);
