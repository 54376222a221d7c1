#include "platform/win32/fileapi.h"
#include "platform/win32/processenv.h"

#include "platform/win32/pathconv.h"
#include "platform/win32/standin_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace standin {

TFileHandle::~TFileHandle() {
    if (mFd >= 0) {
        close(mFd);
    }
}

TFileHandle* AsFile(HANDLE handle) {
    return dynamic_cast<TFileHandle*>(FromHandle(handle));
}

} // namespace standin

namespace {

// A listing taken whole when the search starts, sorted as NTFS would give it.
class TFindHandle {
public:
    std::vector<WIN32_FIND_DATAA> mEntries;
    size_t mNext = 0;
};

FILETIME ToFileTime(time_t seconds) {
    // Seconds from 1601 to 1970, then 100 ns steps.
    const unsigned long long ticks =
        (static_cast<unsigned long long>(seconds) + 11644473600ull) * 10000000ull;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

char FoldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Windows name masks: '*' any run, '?' one character, no regard to case; "*.*" is everything.
bool MatchMask(const char* mask, const char* name) {
    if (std::strcmp(mask, "*.*") == 0) {
        return true;
    }
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*name != '\0') {
        if (*mask == '*') {
            star = mask++;
            resume = name;
        } else if (*mask == '?' || (*mask != '\0' && FoldCase(*mask) == FoldCase(*name))) {
            ++mask;
            ++name;
        } else if (star != nullptr) {
            mask = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*mask == '*') {
        ++mask;
    }
    return *mask == '\0';
}

bool IsReadOnly(const struct stat& info) {
    return (info.st_mode & S_IWUSR) == 0;
}

// Lexical clean-up of an absolute POSIX path: no ".", no "..", no doubled separators.
std::string Normalise(const std::string& path) {
    std::vector<std::string> parts;
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t slash = path.find('/', pos);
        if (slash == std::string::npos) {
            slash = path.size();
        }
        const std::string part = path.substr(pos, slash - pos);
        pos = slash + 1;
        if (part.empty() || part == ".") {
            continue;
        }
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
            continue;
        }
        parts.push_back(part);
    }
    std::string out(1, '/');
    for (const std::string& part : parts) {
        if (out.size() > 1) {
            out += '/';
        }
        out += part;
    }
    if (out.size() > 1 && !path.empty() && path.back() == '/') {
        out += '/';
    }
    return out;
}

DWORD CopyOut(const std::string& text, DWORD size, LPSTR buffer) {
    if (buffer == nullptr || text.size() + 1 > size) {
        return static_cast<DWORD>(text.size() + 1);
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}

} // namespace

BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES /*attributes*/) {
    if (path == nullptr || path[0] == '\0') {
        return FALSE;
    }
    const std::string posix = standin::ToPosixPath(path);
    return mkdir(posix.c_str(), 0777) == 0 ? TRUE : FALSE;
}

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
    if (pattern == nullptr || data == nullptr) {
        return INVALID_HANDLE_VALUE;
    }
    std::string text = pattern;
    std::replace(text.begin(), text.end(), '\\', '/');
    const size_t slash = text.rfind('/');
    const std::string mask = slash == std::string::npos ? text : text.substr(slash + 1);
    const std::string folder = slash == std::string::npos ? "." : text.substr(0, slash + 1);
    const std::string posixFolder = standin::ToPosixPath(folder.c_str());

    DIR* dir = opendir(posixFolder.c_str());
    if (dir == nullptr) {
        return INVALID_HANDLE_VALUE;
    }
    auto* find = new TFindHandle;
    while (const dirent* entry = readdir(dir)) {
        const size_t length = std::strlen(entry->d_name);
        if (length >= MAX_PATH || !MatchMask(mask.c_str(), entry->d_name)) {
            continue;
        }
        struct stat info {};
        const std::string full =
            posixFolder + (posixFolder.back() == '/' ? "" : "/") + entry->d_name;
        if (stat(full.c_str(), &info) != 0) {
            continue; // a dangling link: nothing Windows would list
        }
        WIN32_FIND_DATAA found{};
        if (S_ISDIR(info.st_mode)) {
            found.dwFileAttributes |= FILE_ATTRIBUTE_DIRECTORY;
        }
        if (IsReadOnly(info)) {
            found.dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
        }
        if (found.dwFileAttributes == 0) {
            found.dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
        }
        found.ftCreationTime = ToFileTime(info.st_ctime);
        found.ftLastAccessTime = ToFileTime(info.st_atime);
        found.ftLastWriteTime = ToFileTime(info.st_mtime);
        const auto size = static_cast<unsigned long long>(info.st_size);
        found.nFileSizeHigh = static_cast<DWORD>(size >> 32);
        found.nFileSizeLow = static_cast<DWORD>(size);
        std::memcpy(found.cFileName, entry->d_name, length + 1);
        find->mEntries.push_back(found);
    }
    closedir(dir);
    std::sort(find->mEntries.begin(), find->mEntries.end(),
              [](const WIN32_FIND_DATAA& a, const WIN32_FIND_DATAA& b) {
                  const int folded = strcasecmp(a.cFileName, b.cFileName);
                  return folded != 0 ? folded < 0 : std::strcmp(a.cFileName, b.cFileName) < 0;
              });
    if (find->mEntries.empty()) {
        delete find;
        return INVALID_HANDLE_VALUE;
    }
    *data = find->mEntries[0];
    find->mNext = 1;
    return find;
}

BOOL FindNextFileA(HANDLE handle, LPWIN32_FIND_DATAA data) {
    auto* find = static_cast<TFindHandle*>(handle);
    if (find == nullptr || handle == INVALID_HANDLE_VALUE || data == nullptr ||
        find->mNext >= find->mEntries.size()) {
        return FALSE;
    }
    *data = find->mEntries[find->mNext++];
    return TRUE;
}

BOOL FindClose(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return FALSE;
    }
    delete static_cast<TFindHandle*>(handle);
    return TRUE;
}

DWORD GetFullPathNameA(LPCSTR name, DWORD size, LPSTR buffer, LPSTR* filePart) {
    if (name == nullptr || name[0] == '\0') {
        return 0;
    }
    std::string path = name;
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.size() >= 2 && path[1] == ':') {
        path.erase(0, 2);
    }
    if (path.empty() || path[0] != '/') {
        char cwd[4096];
        if (getcwd(cwd, sizeof cwd) == nullptr) {
            return 0;
        }
        path = std::string(cwd) + "/" + path;
    }
    const std::string full = standin::ToWindowsPath(Normalise(path));
    const DWORD result = CopyOut(full, size, buffer);
    if (result < size && buffer != nullptr && filePart != nullptr) {
        char* last = std::strrchr(buffer, '\\');
        *filePart = (last != nullptr && last[1] != '\0') ? last + 1 : nullptr;
    }
    return result;
}

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD /*shareMode*/,
                   LPSECURITY_ATTRIBUTES /*attributes*/, DWORD disposition, DWORD /*flags*/,
                   HANDLE /*templateFile*/) {
    if (name == nullptr || name[0] == '\0') {
        return INVALID_HANDLE_VALUE;
    }
    const std::string path = standin::ToPosixPath(name);
    const bool reading = (access & GENERIC_READ) != 0;
    const bool writing = (access & GENERIC_WRITE) != 0;
    int flags = writing ? (reading ? O_RDWR : O_WRONLY) : O_RDONLY;
    switch (disposition) {
    case CREATE_NEW:
        flags |= O_CREAT | O_EXCL;
        break;
    case CREATE_ALWAYS:
        flags |= O_CREAT | O_TRUNC;
        break;
    case OPEN_EXISTING:
        break;
    case OPEN_ALWAYS:
        flags |= O_CREAT;
        break;
    case TRUNCATE_EXISTING:
        flags |= O_TRUNC;
        break;
    default:
        return INVALID_HANDLE_VALUE;
    }
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode) || (writing && IsReadOnly(info))) {
            return INVALID_HANDLE_VALUE;
        }
    }
    const int fd = open(path.c_str(), flags | O_CLOEXEC, 0666);
    if (fd < 0) {
        return INVALID_HANDLE_VALUE;
    }
    return static_cast<standin::TKernelObject*>(new standin::TFileHandle(fd));
}

DWORD GetFileSize(HANDLE handle, LPDWORD high) {
    const standin::TFileHandle* file = standin::AsFile(handle);
    struct stat info {};
    if (file == nullptr || fstat(file->Fd(), &info) != 0) {
        return INVALID_FILE_SIZE;
    }
    const auto size = static_cast<unsigned long long>(info.st_size);
    if (high != nullptr) {
        *high = static_cast<DWORD>(size >> 32);
    }
    return static_cast<DWORD>(size);
}

DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer) {
    // Allocated to fit: a folder name may be longer than any fixed buffer.
    const std::unique_ptr<char, decltype(&std::free)> cwd(getcwd(nullptr, 0), &std::free);
    if (cwd == nullptr) {
        return 0;
    }
    return CopyOut(standin::ToWindowsPath(cwd.get()), size, buffer);
}

BOOL SetCurrentDirectoryA(LPCSTR path) {
    if (path == nullptr || path[0] == '\0') {
        return FALSE;
    }
    return chdir(standin::ToPosixPath(path).c_str()) == 0 ? TRUE : FALSE;
}
