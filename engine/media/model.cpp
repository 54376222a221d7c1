#include "engine/media/model.h"

#include "engine/core/assetmanager.h"
#include "engine/core/file.h"
#include "engine/core/log.h"

#include <cstring>

namespace {

// A little-endian 16-bit field; one cut short by the end of the file reads as 0.
uint16_t ReadMeshWord(TFile* file) {
    uint8_t bytes[2] = {};
    if (FileRead(file, bytes, 2) != 2) {
        return 0;
    }
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

// Stored as the value x 1000 in a signed 16-bit field.
float ReadMeshValue(TFile* file) {
    return static_cast<float>(static_cast<int16_t>(ReadMeshWord(file))) / 1000.0f;
}

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
    for (TMeshVertex& vertex : vertices) {
        vertex.x = ReadMeshValue(file);
        vertex.y = ReadMeshValue(file);
        vertex.z = ReadMeshValue(file);
        vertex.nx = ReadMeshValue(file);
        vertex.ny = ReadMeshValue(file);
        vertex.nz = ReadMeshValue(file);
        vertex.u = ReadMeshValue(file);
        vertex.v = ReadMeshValue(file);
    }
    bool inRange = true;
    for (uint16_t& index : indices) {
        index = ReadMeshWord(file);
        inRange = inRange && index < vertexCount;
    }
    FileClose(file);
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
