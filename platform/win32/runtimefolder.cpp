#include "platform/win32/runtimefolder.h"

#include "platform/win32/standin.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::mutex gFolderLock;
std::string gOverride;

bool IsPrivateFolder(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == getuid();
}

} // namespace

namespace standin {

void SetRuntimeFolder(const std::string& folder) {
    std::lock_guard<std::mutex> hold(gFolderLock);
    gOverride = folder;
}

} // namespace standin

namespace standin::detail {

std::string RuntimeFolder() {
    {
        std::lock_guard<std::mutex> hold(gFolderLock);
        if (!gOverride.empty()) {
            return gOverride;
        }
    }
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    if (xdg != nullptr && xdg[0] == '/') {
        std::string folder = xdg;
        while (folder.size() > 1 && folder.back() == '/') {
            folder.pop_back();
        }
        struct stat info {};
        if (stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
            return folder;
        }
    }
    // /tmp is shared: a folder someone else made (or a link) in our name is not used.
    std::string folder = "/tmp/stellagrim-" + std::to_string(getuid());
    mkdir(folder.c_str(), 0700);
    if (!IsPrivateFolder(folder)) {
        return std::string();
    }
    return folder;
}

std::string RuntimeFileName(const char* kind, const std::string& name, const char* suffix) {
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : name) {
        hash = (hash ^ c) * 1099511628211ull;
    }
    const std::string folder = RuntimeFolder();
    if (folder.empty()) {
        return std::string();
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return folder + "/" + kind + "-" + text + suffix;
}

} // namespace standin::detail
