// COM: the GUID source and the apartment the movie player asks for. No COM objects exist on this
// host, so nothing ever needs the apartment.
#pragma once

#include "platform/win32/wintypes.h"

// Fills guid with a random (version 4, RFC 4122 variant) GUID from the kernel's random source.
// E_INVALIDARG for a null pointer, E_FAIL when no randomness could be had.
HRESULT CoCreateGuid(GUID* guid);
// S_OK on every call; `reserved` must be null (E_INVALIDARG otherwise).
HRESULT CoInitialize(LPVOID reserved);
