#include "engine/core/folders.h"

#include "engine/core/settings.h"
#include "platform/win32/fileapi.h"
#include "platform/win32/shlobj.h"

#include <cstring>

namespace {

// The shell folder's full path with a trailing backslash, or "" on failure.
str ShellFolder(int csidl) {
    char folder[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathA(nullptr, folder, csidl, TRUE)) {
        return str();
    }
    str full = GetFullPath(folder);
    if (full.Length() != 0 && full[full.Length() - 1] != '\\') {
        full += '\\';
    }
    return full;
}

void CopyText(const str& text, char* out, int size) {
    if (size <= 0) {
        return;
    }
    if (text.Length() < size) {
        std::memcpy(out, text.CStr(), static_cast<size_t>(text.Length()) + 1);
    } else {
        out[0] = '\0';
    }
}

} // namespace

int GetDesktopFolder(char* out, int size) {
    if (out == nullptr) {
        return -1;
    }
    const str folder = ShellFolder(CSIDL_DESKTOP);
    if (folder.Length() == 0) {
        return -1;
    }
    if (folder.Length() >= size) {
        CopyText(str(), out, size);
        return folder.Length() + 1;
    }
    CopyText(folder, out, size);
    return 0;
}

int GetDataFolder(bool common, const char* game, char* out, int size) {
    str publisher = GetSetting(str("publisher"), str());
    publisher = publisher.Length() != 0 ? publisher + "\\" : str("Kelvane\\");
    if (game == nullptr || out == nullptr) {
        return -1;
    }
    const str folder = ShellFolder(common ? CSIDL_COMMON_APPDATA : CSIDL_APPDATA);
    if (folder.Length() == 0) {
        return -1;
    }
    const str publisherFolder = folder + publisher;
    const str gameFolder = publisherFolder + game + "\\";
    if (gameFolder.Length() >= size) {
        CopyText(folder, out, size);
        return gameFolder.Length() + 1;
    }
    CreateDirectoryA(publisherFolder.CStr(), nullptr);
    CreateDirectoryA(gameFolder.CStr(), nullptr);
    CopyText(gameFolder, out, size);
    return 0;
}
