// COM's GUID source, the one COM call the engine makes.
#pragma once

#include "platform/win32/wintypes.h"

// Fills guid with a random (version 4, RFC 4122 variant) GUID from the kernel's random source.
// E_INVALIDARG for a null pointer, E_FAIL when no randomness could be had.
HRESULT CoCreateGuid(GUID* guid);
