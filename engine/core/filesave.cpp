#include "engine/core/filesave.h"

#include <cstdio>
#include <string>

#include "engine/core/file.h"
#include "engine/core/knownfiles.h"
#include "platform/win32/pathconv.h"

namespace {

// The POSIX path of a name that leads to the disk; empty otherwise.
std::string DiskPath(const str& name) {
    TFileSource source = TFileSource::kNone;
    const str path = ResolveName(name, false, &source);
    if (source != TFileSource::kDisk || path.Length() == 0) {
        return std::string();
    }
    return standin::ToPosixPath(path.CStr());
}

} // namespace

bool SaveWholeFile(const str& name, const void* data, int size) {
    if (size < 0 || (data == nullptr && size > 0)) {
        return false;
    }
    const str tempName = name + str(".new");
    const std::string tempPath = DiskPath(tempName);
    const std::string finalPath = DiskPath(name);
    const bool viaTemp = !tempPath.empty() && !finalPath.empty();
    TFile* file = FileOpen(viaTemp ? tempName.CStr() : name.CStr(), kModeWriteBinary);
    if (file == nullptr) {
        return false;
    }
    const bool written = FileWrite(file, data, size) == size;
    FileClose(file);
    if (!viaTemp) {
        return written;
    }
    if (!written || std::rename(tempPath.c_str(), finalPath.c_str()) != 0) {
        std::remove(tempPath.c_str());
        return false;
    }
    return true;
}

bool RenameEngineFile(const str& from, const str& to) {
    const std::string fromPath = DiskPath(from);
    const std::string toPath = DiskPath(to);
    if (fromPath.empty() || toPath.empty()) {
        return false;
    }
    return std::rename(fromPath.c_str(), toPath.c_str()) == 0;
}
