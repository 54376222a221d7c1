#include "engine/core/filescan.h"

#include "engine/core/diriterator.h"
#include "engine/core/flatfilemap.h"
#include "engine/core/knownfiles.h"
#include "engine/core/settings.h"
#include "platform/win32/crtio.h"

#include <cstdio>
#include <vector>

namespace {

bool gFirstPeek = false;

// Folder links can make a tree endless; nothing this deep is a real asset or save folder.
const int kMaxScanDepth = 32;
int gScanDepth = 0;

const long kMaxListSize = 100000;

void ReadAssetList(const char* fileName) {
    crt::FILE* list = crt::fopen(fileName, "rb");
    if (list == nullptr) {
        return;
    }
    crt::fseek(list, 0, SEEK_END);
    const long size = crt::ftell(list);
    crt::fseek(list, 0, SEEK_SET);
    if (size >= 0 && size < kMaxListSize) {
        std::vector<char> text(static_cast<size_t>(size));
        if (crt::fread(text.data(), 1, text.size(), list) == text.size()) {
            ParseAssetList(str(text.data(), static_cast<int>(text.size())), true);
        }
    }
    crt::fclose(list);
}

} // namespace

void SetFirstPeek(bool on) {
    gFirstPeek = on;
}

bool IsFirstPeek() {
    return gFirstPeek;
}

void BuildKnownFiles() {
    ReadAssetList(gFirstPeek ? "firstpeek.txt" : "final.txt");
    ScanFolder(str("assets"), str());
    if (GetSetting(str("activex"), str()) == str("1")) {
        return;
    }
    str user;
    str common;
    GetFolderRoots(&user, &common, nullptr);
    if (user.Length() != 0) {
        ScanFolder(user, str("user:"));
    }
    if (common.Length() != 0) {
        ScanFolder(common, str("common:"));
    }
}

void ScanFolder(const str& folder, const str& prefix) {
    TKnownFileMap& map = KnownFiles();
    MountPacksInFolder(folder, map);

    const bool noPrefix = prefix.Length() == 0 || prefix == str(".");
    str rel;
    if (noPrefix) {
        str lowered = folder;
        lowered.ToLower();
        rel = lowered.Find(str("assets")) == 0 ? lowered.Substr(7) : lowered;
        if (rel.Length() != 0) {
            rel += '/';
        }
    }
    str keyPrefix = noPrefix ? str() : prefix;
    keyPrefix.ToLower();

    const std::set<str>& excluded = ExcludedNames();
    TDirIterator listing(folder.CStr());
    str name;
    bool isFolder = false;
    while (listing.Next(&name, &isFolder)) {
        str lowered = name;
        lowered.ToLower();
        const str key = keyPrefix + rel + lowered;
        if (excluded.count(key) != 0) {
            continue;
        }
        const str path = folder + "/" + name;
        if (isFolder) {
            if (lowered == str(".svn")) {
                continue;
            }
            if (gScanDepth < kMaxScanDepth) {
                ++gScanDepth;
                ScanFolder(path, noPrefix ? str() : keyPrefix + lowered + "/");
                --gScanDepth;
            }
            continue;
        }
        map[key] = TKnownFile{path, TFileSource::kDisk};
    }
}
