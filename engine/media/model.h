// The mesh asset: a triangle mesh read from a ".mesh" file, shared through the asset manager
// under its path and read again from the file after a display reset. Vertices have the layout of
// vertex kind 0 (position, normal, texture coordinates); three 16-bit indices a triangle, each
// below the vertex count. Main thread only.
#pragma once

#include "engine/core/asset.h"
#include "engine/core/str.h"

#include <cstdint>
#include <memory>
#include <vector>

class TModel;
using TModelPtr = boost::shared_ptr<TModel>;

// 32 bytes: the layout of the display handler's vertex kind 0.
struct TMeshVertex {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float nx = 0.0f;
    float ny = 0.0f;
    float nz = 0.0f;
    float u = 0.0f;
    float v = 0.0f;
};
static_assert(sizeof(TMeshVertex) == 32);

struct TMesh {
    int GetVertexCount() const { return static_cast<int>(mVertices.size()); }
    // Three times the triangle count.
    int GetIndexCount() const { return static_cast<int>(mIndices.size()); }

    std::vector<TMeshVertex> mVertices;
    std::vector<uint16_t> mIndices;
    // The path the mesh was read from.
    str mFileName;
};

class TModel : public TAsset {
public:
    static const void* ClassId();
    const char* GetClassName() const override;
    bool IsKindOf(const void* classId) const override;
    ~TModel() override;
    // The mesh lives in system memory: nothing to give up before a reset. Restore reads the file
    // again.
    void Restore() override;

    // The model of the ".mesh" file at `path`, registered under the path only when it loads.
    // Empty on failure; only a file that cannot be opened is logged.
    static TModelPtr Get(const str& path);

    // Reads the file in place of the current mesh. A path without ".mesh", a wrong tag or an
    // index outside the vertices fails; the mesh is then empty or absent.
    bool Init(const str& path);
    void Clear();
    // Null until a successful Init.
    const TMesh* GetMesh() const { return mMesh.get(); }

private:
    TModel() = default;

    std::unique_ptr<TMesh> mMesh;
};
