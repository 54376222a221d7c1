// Name resolution of the file layer: the folder roots ("user:", "common:", "desktop:"), the
// known-file map from lower-cased keys to where each file lies, and the excluded-name set. The
// map's keys ignore case; its disk paths keep the real case of the names on disk. Main thread
// only: ResolveName writes into the map.
#pragma once

#include "engine/core/str.h"

#include <map>
#include <set>

// Where a resolved name leads. Kept beside the name, so that a disk file whose name looks like a
// pack or memory reference is still a disk file.
enum class TFileSource {
    kNone,
    kDisk,
    kPack,   // "@slot:offset,size" (flatfilemap.h)
    kMemory, // "&address,size" (memoryfile.h)
};

struct TKnownFile {
    str mPath;
    TFileSource mSource = TFileSource::kDisk;
};

using TKnownFileMap = std::map<str, TKnownFile>;

// Engine file names separate folders with either slash.
inline bool IsPathSeparator(char c) {
    return c == '/' || c == '\\';
}

// The process-wide map and set.
TKnownFileMap& KnownFiles();
std::set<str>& ExcludedNames();

// Each root is a full path; "user:x" resolves to user + "/" + "x". An empty root resolves nothing.
void SetFolderRoots(const str& user, const str& common, const str& desktop);
void GetFolderRoots(str* user, str* common, str* desktop);

// The resolved name, or "" when the name cannot be resolved. A name under a root or "::" that
// climbs out of it with ".." (or is absolute) never resolves. `source`, when given, receives
// where the name leads (kNone for "").
str ResolveName(const str& name, bool mustExist, TFileSource* source = nullptr);

// Makes a block of memory openable under `name`; a null address removes the name.
void RegisterMemoryFile(const str& name, const void* data, unsigned size);

// Walks the map's keys that begin with `prefix`, continuing after *name when it is not empty.
// Without recurse, keys holding a '/' after the prefix are passed over. The empty prefix walks
// the assets tree only: keys under a root ("user:", "common:", "desktop:") are passed over, so
// nothing in a user-writable folder is taken for a program file.
bool FindNextKnownFile(const str& prefix, str* name, bool recurse);

void ClearKnownFiles();

// Splits `text` at blanks, tabs and line breaks; each token, lower-cased, is added to the
// excluded-name set (removed when add is false); the token "-*" empties the set.
void ParseAssetList(const str& text, bool add);
