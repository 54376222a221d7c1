#include "platform/win32/modulefile.h"
#include "platform/win32/pathconv.h"
#include "platform/win32/standin.h"
#include "platform/win32/winver.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

#ifndef STELLAGRIM_VERSION_MAJOR
#error "the build gives the program's version (STELLAGRIM_VERSION_MAJOR ...)"
#endif

namespace {

// Windows programs load at this address unless moved; any non-null value would do.
const HMODULE kProgram = reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(0x400000));

std::string ProgramPath() {
    std::vector<char> buffer(PATH_MAX + 1, '\0');
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), PATH_MAX);
    if (length <= 0) {
        return std::string();
    }
    return standin::ToWindowsPath(std::string(buffer.data(), static_cast<size_t>(length)));
}

std::string Folded(std::string text) {
    for (char& c : text) {
        c = c == '/' ? '\\' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

std::mutex gVersionLock;
std::optional<standin::TVersionBlock> gVersionOverride;
bool gVersionRemoved = false;

std::optional<standin::TVersionBlock> CurrentVersion() {
    std::lock_guard<std::mutex> hold(gVersionLock);
    if (gVersionRemoved) {
        return std::nullopt;
    }
    if (gVersionOverride) {
        return gVersionOverride;
    }
    standin::TVersionBlock block;
    block.major = STELLAGRIM_VERSION_MAJOR;
    block.minor = STELLAGRIM_VERSION_MINOR;
    block.patch = STELLAGRIM_VERSION_PATCH;
    block.build = STELLAGRIM_VERSION_BUILD;
    block.strings = {
        {"ProductName", STELLAGRIM_PRODUCT_NAME},
        {"InternalName", STELLAGRIM_BUILD_TAG},
        {"FileVersion", std::to_string(block.major) + "." + std::to_string(block.minor) + "." +
                            std::to_string(block.patch) + "." + std::to_string(block.build)}};
    return block;
}

// The block as GetFileVersionInfoA hands it out: a mark, the fixed part, the translation, then
// NUL-terminated name and value pairs and an empty name.
constexpr char kMark[8] = {'S', 'G', 'V', 'E', 'R', 'S', '1', '\0'};
constexpr DWORD kTranslation = 0x04B00409u;

std::vector<BYTE> Serialize(const standin::TVersionBlock& version) {
    VS_FIXEDFILEINFO fixed{};
    fixed.dwSignature = VS_FFI_SIGNATURE;
    fixed.dwStrucVersion = VS_FFI_STRUCVERSION;
    fixed.dwFileVersionMS = (static_cast<DWORD>(version.major) << 16) | version.minor;
    fixed.dwFileVersionLS = (static_cast<DWORD>(version.patch) << 16) | version.build;
    fixed.dwProductVersionMS = fixed.dwFileVersionMS;
    fixed.dwProductVersionLS = fixed.dwFileVersionLS;
    fixed.dwFileFlagsMask = 0x3F;
    fixed.dwFileOS = VOS_NT_WINDOWS32;
    fixed.dwFileType = VFT_APP;
    std::vector<BYTE> bytes(sizeof kMark + sizeof fixed + sizeof kTranslation);
    std::memcpy(bytes.data(), kMark, sizeof kMark);
    std::memcpy(bytes.data() + sizeof kMark, &fixed, sizeof fixed);
    std::memcpy(bytes.data() + sizeof kMark + sizeof fixed, &kTranslation, sizeof kTranslation);
    for (const auto& entry : version.strings) {
        bytes.insert(bytes.end(), entry.first.begin(), entry.first.end());
        bytes.push_back(0);
        bytes.insert(bytes.end(), entry.second.begin(), entry.second.end());
        bytes.push_back(0);
    }
    bytes.push_back(0);
    return bytes;
}

bool IsProgram(LPCSTR fileName) {
    return fileName != nullptr && !ProgramPath().empty() &&
           Folded(fileName) == Folded(ProgramPath());
}

} // namespace

HMODULE GetModuleHandleA(LPCSTR moduleName) {
    if (moduleName == nullptr) {
        return kProgram;
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
    if (module != nullptr && module != kProgram) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    const std::string path = ProgramPath();
    if (path.empty() || fileName == nullptr || size == 0) {
        SetLastError(path.empty() ? ERROR_FILE_NOT_FOUND : ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (path.size() >= size) {
        std::memcpy(fileName, path.data(), size - 1);
        fileName[size - 1] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::memcpy(fileName, path.c_str(), path.size() + 1);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(path.size());
}

DWORD GetShortPathNameA(LPCSTR longPath, LPSTR shortPath, DWORD size) {
    if (longPath == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const size_t length = std::strlen(longPath);
    if (shortPath == nullptr || length >= size) {
        return static_cast<DWORD>(length + 1);
    }
    std::memmove(shortPath, longPath, length + 1);
    return static_cast<DWORD>(length);
}

DWORD GetFileVersionInfoSizeA(LPCSTR fileName, LPDWORD handle) {
    if (handle != nullptr) {
        *handle = 0;
    }
    const auto version = CurrentVersion();
    if (!version || !IsProgram(fileName)) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return 0;
    }
    return static_cast<DWORD>(Serialize(*version).size());
}

BOOL GetFileVersionInfoA(LPCSTR fileName, DWORD, DWORD size, LPVOID data) {
    const auto version = CurrentVersion();
    if (!version || !IsProgram(fileName)) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return FALSE;
    }
    const std::vector<BYTE> bytes = Serialize(*version);
    if (data == nullptr || size < bytes.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(data, bytes.data(), bytes.size());
    return TRUE;
}

BOOL VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, UINT* length) {
    if (block == nullptr || subBlock == nullptr || buffer == nullptr || length == nullptr ||
        std::memcmp(block, kMark, sizeof kMark) != 0) {
        return FALSE;
    }
    auto* bytes = static_cast<BYTE*>(const_cast<void*>(block));
    const std::string path = Folded(subBlock);
    if (path == "\\" || path.empty()) {
        *buffer = bytes + sizeof kMark;
        *length = sizeof(VS_FIXEDFILEINFO);
        return TRUE;
    }
    if (path == "\\varfileinfo\\translation") {
        *buffer = bytes + sizeof kMark + sizeof(VS_FIXEDFILEINFO);
        *length = sizeof kTranslation;
        return TRUE;
    }
    const std::string prefix = "\\stringfileinfo\\040904b0\\";
    if (path.compare(0, prefix.size(), prefix) != 0) {
        return FALSE;
    }
    const std::string wanted = path.substr(prefix.size());
    auto* at = reinterpret_cast<char*>(bytes + sizeof kMark + sizeof(VS_FIXEDFILEINFO) +
                                       sizeof kTranslation);
    while (*at != '\0') {
        char* value = at + std::strlen(at) + 1;
        if (Folded(at) == wanted) {
            *buffer = value;
            *length = static_cast<UINT>(std::strlen(value) + 1);
            return TRUE;
        }
        at = value + std::strlen(value) + 1;
    }
    return FALSE;
}

namespace standin {

void SetVersionBlock(const TVersionBlock& block) {
    std::lock_guard<std::mutex> hold(gVersionLock);
    gVersionOverride = block;
    gVersionRemoved = false;
}

void RemoveVersionBlock() {
    std::lock_guard<std::mutex> hold(gVersionLock);
    gVersionRemoved = true;
}

void UseBuiltVersionBlock() {
    std::lock_guard<std::mutex> hold(gVersionLock);
    gVersionOverride.reset();
    gVersionRemoved = false;
}

} // namespace standin
