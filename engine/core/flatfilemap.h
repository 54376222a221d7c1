// Pack files: a "QZPK" file bundles many asset files behind one directory. A pack is mapped
// read-only once and each entry is served by pointer from the view, through a pack reference
// "@slot:offset,size" that mounting puts into the known-file map. The pack registry (a slot per
// mounted pack path) and mounting belong to the main thread; an open TFlatFileMap keeps the view
// it reads alive, so re-mounting a pack never pulls the bytes from under an open entry.
#pragma once

#include "engine/core/file.h"
#include "engine/core/knownfiles.h"
#include "platform/win32/wintypes.h"

#include <cstdint>
#include <memory>
#include <vector>

// One read-only mapping of a whole file; closes itself when destroyed.
class TFileMapData {
public:
    TFileMapData() = default;
    ~TFileMapData();
    TFileMapData(const TFileMapData&) = delete;
    TFileMapData& operator=(const TFileMapData&) = delete;

    // `path` may begin with "::".
    bool Open(const str& path);
    void Close();
    const unsigned char* GetData() const { return mView; }
    uint32_t GetSize() const { return mSize; }

private:
    HANDLE mFile = nullptr;
    HANDLE mMapping = nullptr;
    const unsigned char* mView = nullptr;
    uint32_t mSize = 0;
};

// A mounted pack: its shared mapping and the path it was mounted under. Copies share the mapping.
class TFileMapHandler {
public:
    TFileMapHandler();
    virtual ~TFileMapHandler() = default;
    TFileMapHandler(const TFileMapHandler&) = default;
    TFileMapHandler& operator=(const TFileMapHandler&) = default;

    bool Open(const str& path);
    // Lets go of the mapping; files still reading it keep it until they close.
    void Close();
    const unsigned char* GetData() const { return mMap->GetData(); }
    const std::shared_ptr<TFileMapData>& GetMapping() const { return mMap; }
    const str& GetName() const { return mName; }

private:
    std::shared_ptr<TFileMapData> mMap;
    str mName;
};

// The process-wide pack registry; a slot number is an index into it. Slots are never removed.
std::vector<TFileMapHandler>& PackRegistry();

// One entry of a pack, read-only.
class TFlatFileMap final : public TFileData {
public:
    TFlatFileMap() = default;

    // Read modes only: a pack cannot take writes, so a save must go elsewhere.
    bool Open(const str& name, int mode) override;
    void Close() override;
    // Nothing at position 0.
    void UngetByte() override;
    // A target before the start leaves the position; one past the end clamps to the size.
    void Seek(int offset, int origin) override;
    int GetSize() override;
    int Tell() override;
    // Text mode (1) drops every carriage return.
    int Read(void* buffer, int count) override;
    int Write(const void* buffer, int count) override;
    // Set once a read asked for more than was left.
    bool IsEof() override;

private:
    int mMode = 0;
    const unsigned char* mStart = nullptr; // inside mView's mapping
    uint32_t mSize = 0;
    uint32_t mPosition = 0;
    bool mEnd = false;
    std::shared_ptr<TFileMapData> mView; // keeps the mapping alive while open
};

// Mounts every file of `folder` whose name holds ".qzp", each as "::assets/" + its name.
void MountPacksInFolder(const str& folder, TKnownFileMap& map);
// Enters the pack's entries into the map as pack references; entries that do not lie inside the
// file are skipped with a log line.
void MountPackFile(const str& path, TKnownFileMap& map);
