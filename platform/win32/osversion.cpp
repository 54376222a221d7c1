#include "platform/win32/standin_cursor.h"
#include "platform/win32/sysinfoapi.h"

#include <atomic>

namespace {

// Windows XP: icon cursors with alpha exist, and the software cursor may follow mouse moves.
constexpr DWORD kDefaultMajor = 5;
constexpr DWORD kDefaultMinor = 1;
constexpr DWORD kDefaultBuild = 2600;

// Major, minor and build packed, so that a reader never sees half of a change.
std::atomic<std::uint64_t> gVersion{std::uint64_t{kDefaultMajor} << 48 |
                                    std::uint64_t{kDefaultMinor} << 32 | kDefaultBuild};

} // namespace

BOOL GetVersionExA(OSVERSIONINFOA* info) {
    if (info == nullptr || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::uint64_t version = gVersion.load();
    info->dwMajorVersion = static_cast<DWORD>(version >> 48);
    info->dwMinorVersion = static_cast<DWORD>(version >> 32 & 0xFFFF);
    info->dwBuildNumber = static_cast<DWORD>(version & 0xFFFFFFFFu);
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    info->szCSDVersion[0] = '\0';
    return TRUE;
}

namespace standin {

void SetWindowsVersion(DWORD major, DWORD minor, DWORD build) {
    gVersion = std::uint64_t{major & 0xFFFF} << 48 | std::uint64_t{minor & 0xFFFF} << 32 | build;
}

void UseDefaultWindowsVersion() {
    SetWindowsVersion(kDefaultMajor, kDefaultMinor, kDefaultBuild);
}

} // namespace standin
