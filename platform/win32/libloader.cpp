#include "platform/win32/libloader.h"

#include "platform/win32/modulefile.h"
#include "platform/win32/pathconv.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <cctype>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

std::mutex gModulesLock;
// dlopen handles this stand-in gave out, with the references still held on each, so that
// FreeLibrary of a stray handle is refused instead of reaching dlclose.
std::map<void*, int> gModules;

std::string ProgramFolder() {
    std::vector<char> name(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameA(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) {
            return {};
        }
        if (length < name.size()) {
            break;
        }
        name.resize(name.size() * 2);
    }
    const std::string exe = standin::ToPosixPath(name.data());
    const std::size_t slash = exe.rfind('/');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash + 1);
}

std::string CurrentFolder() {
    char path[PATH_MAX];
    if (getcwd(path, sizeof path) == nullptr) {
        return {};
    }
    std::string folder(path);
    if (folder.empty() || folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

void* Open(const std::string& path) {
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* Search(const std::string& name) {
    if (name.find('/') != std::string::npos) {
        return Open(name);
    }
    for (const std::string& folder : {ProgramFolder(), CurrentFolder()}) {
        if (folder.empty()) {
            continue;
        }
        const std::string path = folder + name;
        // The first folder holding the file decides, as on Windows; a file that will not load
        // is a failure, not a reason to look further.
        if (access(path.c_str(), F_OK) == 0) {
            return Open(path);
        }
    }
    // Bare name: the dynamic loader's own search (LD_LIBRARY_PATH, cache, system folders).
    return Open(name);
}

// Libraries that only exist as hosts of Windows components (ActiveX controls): a file of that name
// here cannot be what the caller means, so it is never looked for.
bool IsWindowsOnly(const std::string& name) {
    const std::size_t slash = name.rfind('/');
    std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    for (char& c : base) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return base == "atl.dll";
}

// The plain name under a stdcall decoration ("_Name@8" is "Name"), or empty for another name.
std::string Undecorated(const std::string& name) {
    const std::size_t at = name.rfind('@');
    if (name.size() < 4 || name[0] != '_' || at == std::string::npos || at < 2 ||
        at + 1 == name.size()) {
        return {};
    }
    for (std::size_t i = at + 1; i < name.size(); ++i) {
        if (std::isdigit(static_cast<unsigned char>(name[i])) == 0) {
            return {};
        }
    }
    return name.substr(1, at - 1);
}

} // namespace

HMODULE LoadLibraryA(LPCSTR fileName) {
    if (fileName == nullptr || *fileName == '\0') {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    std::string name(fileName);
    for (char& c : name) {
        if (c == '\\') {
            c = '/';
        }
    }
    if (IsWindowsOnly(name)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    void* handle = Search(name);
    if (handle == nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    const std::lock_guard<std::mutex> lock(gModulesLock);
    ++gModules[handle];
    return reinterpret_cast<HMODULE>(handle);
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
    // Names below 0x10000 are export ordinals on Windows; nothing here exports by ordinal.
    if (module == nullptr || reinterpret_cast<UINT_PTR>(procName) < 0x10000) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    {
        const std::lock_guard<std::mutex> lock(gModulesLock);
        if (gModules.find(module) == gModules.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
    }
    void* symbol = dlsym(module, procName);
    if (symbol == nullptr) {
        const std::string plain = Undecorated(procName);
        if (!plain.empty()) {
            symbol = dlsym(module, plain.c_str());
        }
    }
    if (symbol == nullptr) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

BOOL FreeLibrary(HMODULE module) {
    void* handle = module;
    {
        const std::lock_guard<std::mutex> lock(gModulesLock);
        const auto found = gModules.find(handle);
        if (handle == nullptr || found == gModules.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        if (--found->second == 0) {
            gModules.erase(found);
        }
    }
    return dlclose(handle) == 0 ? TRUE : FALSE;
}
