// Test controls of the adapter list stand-in: what GetAdaptersInfo reports instead of the
// machine's interfaces. The program never calls these; tests do, before the code under test runs.
#pragma once

#include <string>
#include <vector>

#include "platform/win32/wintypes.h"

namespace standin {

struct FakeAdapter {
    std::string name;
    std::vector<BYTE> address; // at most 8 bytes
};

// GetAdaptersInfo reports exactly these adapters, in this order (none: ERROR_NO_DATA).
void SetFakeAdapters(const std::vector<FakeAdapter>& adapters);
// Back to the machine's own interfaces.
void UseRealAdapters();

} // namespace standin
