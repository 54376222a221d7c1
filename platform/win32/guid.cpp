#include "platform/win32/objbase.h"

#include <cerrno>
#include <cstring>
#include <sys/random.h>

HRESULT CoCreateGuid(GUID* guid) {
    if (guid == nullptr) {
        return E_INVALIDARG;
    }
    BYTE bytes[sizeof(GUID)];
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return E_FAIL;
        }
        got += static_cast<std::size_t>(n);
    }
    std::memcpy(guid, bytes, sizeof bytes);
    guid->Data3 = static_cast<WORD>((guid->Data3 & 0x0FFF) | 0x4000);
    guid->Data4[0] = static_cast<BYTE>((guid->Data4[0] & 0x3F) | 0x80);
    return S_OK;
}

HRESULT CoInitialize(LPVOID reserved) {
    return reserved == nullptr ? S_OK : E_INVALIDARG;
}
