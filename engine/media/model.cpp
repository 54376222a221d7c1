#include "engine/media/model.h"

#include "engine/core/assetmanager.h"
#include "engine/core/file.h"
#include "engine/core/log.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// A little-endian 16-bit field; one cut short by the end of the file reads as 0.
uint16_t ReadMeshWord(TFile* file) {
    uint8_t bytes[2] = {};
    if (FileRead(file, bytes, 2) != 2) {
        return 0;
    }
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

// `count` little-endian 16-bit fields read at once (a mesh may announce a million of them);
// those the file cuts short read as 0, as ReadMeshWord reads them.
class TMeshWords {
public:
    TMeshWords(TFile* file, size_t count) : mBytes(count * 2, 0) {
        if (mBytes.empty()) {
            return;
        }
        const int read = FileRead(file, mBytes.data(), static_cast<int>(mBytes.size()));
        if (read > 0 && read % 2 != 0) {
            mBytes[static_cast<size_t>(read) - 1] = 0;
        }
    }

    uint16_t Next() {
        const uint16_t word = static_cast<uint16_t>(mBytes[mAt] | mBytes[mAt + 1] << 8);
        mAt += 2;
        return word;
    }

    // Stored as the value x 1000 in a signed 16-bit field.
    float NextValue() { return static_cast<float>(static_cast<int16_t>(Next())) / 1000.0f; }

private:
    std::vector<uint8_t> mBytes;
    size_t mAt = 0;
};

} // namespace

const void* TModel::ClassId() {
    return reinterpret_cast<const void*>(&TModel::ClassId);
}

const char* TModel::GetClassName() const {
    return "TModel";
}

bool TModel::IsKindOf(const void* classId) const {
    return classId == ClassId() || TAsset::IsKindOf(classId);
}

TModel::~TModel() {
    Clear();
}

void TModel::Restore() {
    if (mMesh != nullptr) {
        Init(mMesh->mFileName);
    }
}

void TModel::Clear() {
    mMesh.reset();
}

bool TModel::Init(const str& path) {
    // The caller may pass the mesh's own file name, which Clear frees.
    const str name = path; // NOLINT(performance-unnecessary-copy-initialization)
    Clear();
    if (name.Find(".mesh") < 0) {
        return false;
    }
    TFile* file = FileOpen(name.CStr(), kModeReadBinary);
    if (file == nullptr) {
        Log("TModel::Init: Failed to load %s", name.CStr());
        return false;
    }
    mMesh = std::make_unique<TMesh>();
    char tag[4] = {};
    if (FileRead(file, tag, 4) != 4 || std::memcmp(tag, "TRIS", 4) != 0) {
        FileClose(file);
        return false;
    }
    const uint16_t vertexCount = ReadMeshWord(file);
    const uint16_t triangleCount = ReadMeshWord(file);
    std::vector<TMeshVertex> vertices(vertexCount);
    std::vector<uint16_t> indices(static_cast<size_t>(triangleCount) * 3);
    TMeshWords words(file, vertices.size() * 8 + indices.size());
    FileClose(file);
    for (TMeshVertex& vertex : vertices) {
        vertex.x = words.NextValue();
        vertex.y = words.NextValue();
        vertex.z = words.NextValue();
        vertex.nx = words.NextValue();
        vertex.ny = words.NextValue();
        vertex.nz = words.NextValue();
        vertex.u = words.NextValue();
        vertex.v = words.NextValue();
    }
    bool inRange = true;
    for (uint16_t& index : indices) {
        index = words.Next();
        inRange = inRange && index < vertexCount;
    }
    // Drawing would read past the vertices.
    if (!inRange) {
        return false;
    }
    mMesh->mVertices = std::move(vertices);
    mMesh->mIndices = std::move(indices);
    mMesh->mFileName = name;
    return true;
}

TModelPtr TModel::Get(const str& path) {
    TAssetManager* assets = GetAssetManager();
    if (assets != nullptr) {
        const TAssetPtr asset = assets->Find(path);
        if (asset && asset->IsKindOf(ClassId())) {
            return boost::static_pointer_cast<TModel>(asset);
        }
    }
    TModelPtr model(new TModel);
    if (!model->Init(path)) {
        return TModelPtr();
    }
    if (assets != nullptr) {
        assets->Add(path, model);
    }
    return model;
}
