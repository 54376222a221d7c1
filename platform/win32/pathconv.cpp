#include "platform/win32/pathconv.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

namespace standin {

namespace {

bool Exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

// The entry of `folder` that equals `name` apart from case; empty when there is none.
std::string FindCaseless(const std::string& folder, const std::string& name) {
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) {
        return {};
    }
    std::string found;
    while (const dirent* entry = readdir(dir)) {
        if (strcasecmp(entry->d_name, name.c_str()) == 0) {
            found = entry->d_name;
            break;
        }
    }
    closedir(dir);
    return found;
}

} // namespace

std::string ToPosixPath(const char* windowsPath) {
    if (windowsPath == nullptr) {
        return {};
    }
    std::string path = windowsPath;
    for (char& c : path) {
        if (c == '\\') {
            c = '/';
        }
    }
    if (path.size() >= 2 && path[1] == ':' &&
        ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
        path.erase(0, 2);
    }
    if (path.empty() || Exists(path)) {
        return path;
    }

    // Rebuild component by component, fixing the case of those that do not exist as written.
    std::string out = path[0] == '/' ? "/" : "";
    bool parentExists = true;
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t slash = path.find('/', pos);
        if (slash == std::string::npos) {
            slash = path.size();
        }
        const std::string part = path.substr(pos, slash - pos);
        pos = slash + 1;
        if (part.empty()) {
            continue;
        }
        std::string next = out + part;
        if (parentExists && part != "." && part != ".." && !Exists(next)) {
            const std::string real = FindCaseless(out, part);
            if (real.empty()) {
                parentExists = false;
            } else {
                next = out + real;
            }
        }
        out = next;
        if (slash < path.size()) {
            out += '/';
        }
    }
    return out;
}

std::string ToWindowsPath(const std::string& posixPath) {
    std::string path = posixPath;
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

} // namespace standin
