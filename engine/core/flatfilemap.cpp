#include "engine/core/flatfilemap.h"

#include "engine/core/diriterator.h"
#include "engine/core/folders.h"
#include "engine/core/log.h"
#include "engine/core/memoryfile.h"
#include "platform/win32/fileapi.h"
#include "platform/win32/memoryapi.h"

#include <cstdlib>
#include <cstring>

namespace {

int32_t ReadInt32(TFile& file, bool* ok) {
    unsigned char bytes[4] = {};
    if (file.Read(bytes, 4) != 4) {
        *ok = false;
        return 0;
    }
    const uint32_t value =
        bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
    return static_cast<int32_t>(value);
}

struct TPackEntry {
    str mName;
    int32_t mOffset;
    int32_t mSize;
    bool mNamed; // a name without NULs that a caller could ask for
};

} // namespace

TFileMapData::~TFileMapData() {
    Close();
}

bool TFileMapData::Open(const str& path) {
    Close();
    const char* plain = path.CStr();
    if (std::strncmp(plain, "::", 2) == 0) {
        plain += 2;
    }
    const str full = GetFullPath(plain);
    if (full.Length() == 0) {
        return false;
    }
    mFile = CreateFileA(full.CStr(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (mFile == INVALID_HANDLE_VALUE) {
        mFile = nullptr;
        return false;
    }
    DWORD high = 0;
    const DWORD low = GetFileSize(mFile, &high);
    // Pack references cannot address beyond 2 GiB.
    if (low == INVALID_FILE_SIZE || high != 0 || low > 0x7FFFFFFFu) {
        Close();
        return false;
    }
    mMapping = CreateFileMappingA(mFile, nullptr, PAGE_READONLY | SEC_COMMIT, 0, 0, nullptr);
    if (mMapping == nullptr || mMapping == INVALID_HANDLE_VALUE) {
        mMapping = nullptr;
        Close();
        return false;
    }
    mView = static_cast<const unsigned char*>(MapViewOfFile(mMapping, FILE_MAP_READ, 0, 0, 0));
    if (mView == nullptr) {
        Close();
        return false;
    }
    mSize = low;
    return true;
}

void TFileMapData::Close() {
    if (mView != nullptr) {
        UnmapViewOfFile(mView);
        mView = nullptr;
    }
    if (mMapping != nullptr) {
        CloseHandle(mMapping);
        mMapping = nullptr;
    }
    if (mFile != nullptr) {
        CloseHandle(mFile);
        mFile = nullptr;
    }
    mSize = 0;
}

TFileMapHandler::TFileMapHandler() : mMap(std::make_shared<TFileMapData>()) {}

bool TFileMapHandler::Open(const str& path) {
    mName = path;
    mMap = std::make_shared<TFileMapData>();
    return mMap->Open(path);
}

void TFileMapHandler::Close() {
    mMap = std::make_shared<TFileMapData>();
}

std::vector<TFileMapHandler>& PackRegistry() {
    static std::vector<TFileMapHandler> registry;
    return registry;
}

bool TFlatFileMap::Open(const str& name, int mode) {
    Close();
    if (mode >= kModeWriteBinary || name[0] != '@') {
        return false;
    }
    const char* text = name.CStr();
    char* end = nullptr;
    const unsigned long slot = std::strtoul(text + 1, &end, 10);
    std::vector<TFileMapHandler>& registry = PackRegistry();
    if (end == text + 1 || slot >= registry.size()) {
        return false;
    }
    const std::shared_ptr<TFileMapData>& mapping = registry[slot].GetMapping();
    if (mapping->GetData() == nullptr) {
        Log("error reading %s from flat file", text);
        return false;
    }
    const char* colon = std::strchr(text, ':');
    const char* comma = std::strchr(text, ',');
    if (colon == nullptr || comma == nullptr) {
        Close();
        return false;
    }
    const long long offset = std::strtoll(colon + 1, nullptr, 10);
    const long long size = std::strtoll(comma + 1, nullptr, 10);
    if (offset < 0 || size < 0 || offset + size > static_cast<long long>(mapping->GetSize())) {
        Log("error reading %s from flat file", text);
        return false;
    }
    mMode = mode;
    mView = mapping;
    mStart = mapping->GetData() + offset;
    mSize = static_cast<uint32_t>(size);
    mPosition = 0;
    mEnd = false;
    return true;
}

void TFlatFileMap::Close() {
    mStart = nullptr;
    mSize = 0;
    mPosition = 0;
    mEnd = true;
    mView.reset();
}

void TFlatFileMap::UngetByte() {
    if (mPosition > 0) {
        Seek(-1, kSeekCurrent);
        mEnd = false;
    }
}

void TFlatFileMap::Seek(int offset, int origin) {
    bool beyond = false;
    mPosition = SeekInBlock(mSize, mPosition, offset, origin, &beyond);
    if (!beyond) {
        mEnd = false;
    }
}

int TFlatFileMap::GetSize() {
    return static_cast<int>(mSize);
}

int TFlatFileMap::Tell() {
    return static_cast<int>(mPosition);
}

int TFlatFileMap::Read(void* buffer, int count) {
    bool pastEnd = false;
    const int got = ReadFromBlock(mStart, mSize, &mPosition, mMode, buffer, count, &pastEnd);
    if (pastEnd) {
        mEnd = true;
    }
    return got;
}

int TFlatFileMap::Write(const void* /*buffer*/, int /*count*/) {
    return 0;
}

bool TFlatFileMap::IsEof() {
    return mEnd;
}

void MountPacksInFolder(const str& folder, TKnownFileMap& map) {
    TDirIterator listing(folder.CStr());
    str name;
    while (listing.Next(&name, nullptr)) {
        if (name.Find(str(".qzp")) >= 0) {
            MountPackFile(str("::assets/") + name, map);
        }
    }
}

void MountPackFile(const str& path, TKnownFileMap& map) {
    std::vector<TFileMapHandler>& registry = PackRegistry();
    size_t slot = registry.size();
    for (size_t i = 0; i < registry.size(); ++i) {
        if (registry[i].GetName() == path) {
            slot = i;
            registry[i].Close();
            break;
        }
    }

    TFile file;
    if (!file.Open(path, kModeReadBinary)) {
        return;
    }
    char magic[4] = {'X', 'X', 'X', 'X'};
    file.Read(magic, 4);
    if (std::memcmp(magic, "QZPK", 4) != 0) {
        return;
    }
    bool ok = true;
    const int32_t count = ReadInt32(file, &ok);
    std::vector<TPackEntry> entries;
    for (int32_t i = 0; ok && i < count; ++i) {
        unsigned char length = 0;
        char name[256];
        if (file.Read(&length, 1) != 1 || file.Read(name, length) != length) {
            break;
        }
        const int32_t offset = ReadInt32(file, &ok);
        const int32_t size = ReadInt32(file, &ok);
        if (ok) {
            const bool named = length > 0 && std::memchr(name, '\0', length) == nullptr;
            entries.push_back(TPackEntry{str(name, length), offset, size, named});
        }
    }
    const int64_t fileSize = file.GetSize();

    TFileMapHandler handler;
    if (!handler.Open(path)) {
        Log("Failed to open flat file %s", path.CStr());
    }
    if (slot == registry.size()) {
        registry.push_back(handler);
    } else {
        registry[slot] = handler;
    }

    for (const TPackEntry& entry : entries) {
        const bool inside = entry.mOffset >= 0 && entry.mSize >= 0 &&
                            static_cast<int64_t>(entry.mOffset) + entry.mSize <= fileSize;
        if (!inside || !entry.mNamed) {
            Log("MountPackFile: skipping entry %s of %s (offset %d, size %d)", entry.mName.CStr(),
                path.CStr(), entry.mOffset, entry.mSize);
            continue;
        }
        str key = entry.mName;
        key.ToLower();
        map[key] = TKnownFile{str::FromFormat("@%d:%ld,%ld", static_cast<int>(slot),
                                              static_cast<long>(entry.mOffset),
                                              static_cast<long>(entry.mSize)),
                              TFileSource::kPack};
    }
}
