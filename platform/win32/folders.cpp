#include "platform/win32/shlobj.h"

#include "platform/win32/pathconv.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

namespace {

// Makes every missing folder of `path`; true when it is a folder in the end.
bool MakeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        mkdir(part.c_str(), 0777);
        if (slash == std::string::npos) {
            break;
        }
    }
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

BOOL SHGetSpecialFolderPathA(HWND /*owner*/, LPSTR path, int csidl, BOOL create) {
    const char* home = std::getenv("HOME");
    if (path == nullptr || home == nullptr || home[0] != '/') {
        return FALSE;
    }
    std::string folder = home;
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    switch (csidl) {
    case CSIDL_DESKTOP:
        folder += "/Desktop";
        break;
    case CSIDL_APPDATA:
        folder += "/.local/share";
        break;
    case CSIDL_COMMON_APPDATA:
        folder += "/.local/share/common";
        break;
    default:
        return FALSE;
    }
    struct stat info {};
    const bool exists = stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    if (!exists && (!create || !MakeFolders(folder))) {
        return FALSE;
    }
    const std::string windowsForm = standin::ToWindowsPath(folder);
    if (windowsForm.size() >= MAX_PATH) {
        return FALSE;
    }
    std::memcpy(path, windowsForm.c_str(), windowsForm.size() + 1);
    return TRUE;
}
