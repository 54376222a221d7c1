#include "engine/core/folders.h"

#include "platform/win32/fileapi.h"

str GetFullPath(const char* name) {
    char buffer[MAX_PATH];
    const DWORD length = GetFullPathNameA(name, MAX_PATH, buffer, nullptr);
    if (length == 0 || length >= MAX_PATH) {
        return str();
    }
    return str(buffer);
}
