#include "engine/core/knownfiles.h"

#include "platform/win32/crtio.h"

#include <cstring>

namespace {

struct TRoots {
    str mUser;
    str mCommon;
    str mDesktop;
};

TRoots& Roots() {
    static TRoots roots;
    return roots;
}

str Lower(const str& text) {
    str lowered = text;
    lowered.ToLower();
    return lowered;
}

bool StartsWith(const str& text, const char* prefix) {
    return std::strncmp(text.CStr(), prefix, std::strlen(prefix)) == 0;
}

// A path below a root must stay below it: no ".." component, nothing absolute, no drive.
bool StaysInside(const char* rest) {
    if (IsPathSeparator(rest[0]) || (rest[0] != '\0' && rest[1] == ':')) {
        return false;
    }
    const char* part = rest;
    for (const char* p = rest;; ++p) {
        if (*p == '\0' || IsPathSeparator(*p)) {
            if (p - part == 2 && part[0] == '.' && part[1] == '.') {
                return false;
            }
            if (*p == '\0') {
                return true;
            }
            part = p + 1;
        }
    }
}

const char* const kRootNames[] = {"user:", "common:", "desktop:"};

} // namespace

TKnownFileMap& KnownFiles() {
    static TKnownFileMap map;
    return map;
}

std::set<str>& ExcludedNames() {
    static std::set<str> names;
    return names;
}

void SetFolderRoots(const str& user, const str& common, const str& desktop) {
    Roots() = TRoots{user, common, desktop};
}

void GetFolderRoots(str* user, str* common, str* desktop) {
    if (user != nullptr) {
        *user = Roots().mUser;
    }
    if (common != nullptr) {
        *common = Roots().mCommon;
    }
    if (desktop != nullptr) {
        *desktop = Roots().mDesktop;
    }
}

str ResolveName(const str& name, bool mustExist, TFileSource* source) {
    TFileSource ignored;
    TFileSource& from = source != nullptr ? *source : ignored;
    from = TFileSource::kNone;
    const str key = Lower(name);

    TKnownFileMap& map = KnownFiles();
    const auto known = map.find(key);
    if (known != map.end() && known->second.mPath.Length() != 0) {
        from = known->second.mSource;
        return known->second.mPath;
    }

    if (StartsWith(key, "::")) {
        const char* rest = name.CStr() + 2;
        if (!StaysInside(rest) || crt::_access(rest, 4) != 0) {
            return str();
        }
        from = TFileSource::kDisk;
        return str(rest);
    }

    if (mustExist && ExcludedNames().count(key) != 0) {
        return str();
    }

    const str* roots[] = {&Roots().mUser, &Roots().mCommon, &Roots().mDesktop};
    for (int i = 0; i < 3; ++i) {
        if (!StartsWith(key, kRootNames[i])) {
            continue;
        }
        const char* rest = name.CStr() + std::strlen(kRootNames[i]);
        if (roots[i]->Length() == 0 || !StaysInside(rest)) {
            return str();
        }
        str path = *roots[i] + "/" + rest;
        if (mustExist && crt::_access(path.CStr(), 6) != 0) {
            return str();
        }
        map[key] = TKnownFile{path, TFileSource::kDisk};
        from = TFileSource::kDisk;
        return path;
    }

    if (StartsWith(key, "assets") && IsPathSeparator(key[6])) {
        return ResolveName(str(name.CStr() + 7), mustExist, source);
    }
    return str();
}

void RegisterMemoryFile(const str& name, const void* data, unsigned size) {
    const str key = Lower(name);
    if (data == nullptr) {
        KnownFiles().erase(key);
        return;
    }
    const str reference =
        str::FromFormat("&%lu,%lu", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(data)),
                        static_cast<unsigned long>(size));
    KnownFiles()[key] = TKnownFile{reference, TFileSource::kMemory};
}

bool FindNextKnownFile(const str& prefix, str* name, bool recurse) {
    if (name == nullptr) {
        return false;
    }
    const str lowered = Lower(prefix);
    const int prefixLength = lowered.Length();
    const str& searchKey = name->Length() != 0 ? *name : lowered;

    const TKnownFileMap& map = KnownFiles();
    for (auto it = map.upper_bound(searchKey); it != map.end(); ++it) {
        const str& key = it->first;
        if (prefixLength == 0) {
            bool underRoot = false;
            for (const char* root : kRootNames) {
                underRoot = underRoot || StartsWith(key, root);
            }
            if (underRoot) {
                continue;
            }
        }
        if (!recurse && key.Length() > prefixLength + 1 &&
            std::strchr(key.CStr() + prefixLength + 1, '/') != nullptr) {
            continue;
        }
        if (std::strncmp(key.CStr(), lowered.CStr(), static_cast<size_t>(prefixLength)) != 0) {
            return false;
        }
        *name = key;
        return true;
    }
    return false;
}

void ClearKnownFiles() {
    KnownFiles().clear();
}

void ParseAssetList(const str& text, bool add) {
    std::set<str>& names = ExcludedNames();
    const char* p = text.CStr();
    while (*p != '\0') {
        const size_t skip = std::strspn(p, " \t\n\r");
        p += skip;
        const size_t length = std::strcspn(p, " \t\n\r");
        if (length == 0) {
            break;
        }
        str token(p, static_cast<int>(length));
        p += length;
        token.ToLower();
        if (token == str("-*")) {
            names.clear();
        } else if (add) {
            names.insert(token);
        } else {
            names.erase(token);
        }
    }
}
