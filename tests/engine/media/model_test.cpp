#include "engine/core/assetmanager.h"
#include "engine/media/model.h"
#include "tests/engine/media/texture_fixture.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using texture_test::TBytes;

using TStoredVertex = std::array<int16_t, 8>;

void MeshWord(TBytes& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

// A ".mesh" file: the tag, V and T, the stored vertex values, then the indices. `triangles`
// overrides T when not negative.
TBytes MeshFile(const char* tag, const std::vector<TStoredVertex>& vertices,
                const std::vector<uint16_t>& indices, int triangles = -1) {
    TBytes out(tag, tag + 4);
    MeshWord(out, static_cast<uint16_t>(vertices.size()));
    MeshWord(out, static_cast<uint16_t>(triangles >= 0 ? static_cast<size_t>(triangles)
                                                       : indices.size() / 3));
    for (const TStoredVertex& vertex : vertices) {
        for (int16_t value : vertex) {
            MeshWord(out, static_cast<uint16_t>(value));
        }
    }
    for (uint16_t index : indices) {
        MeshWord(out, index);
    }
    return out;
}

// One triangle over three vertices whose values cover the stored range.
TBytes MeshTriangle() {
    return MeshFile("TRIS",
                    {{1500, -250, 0, 0, 0, 1000, 0, 0},
                     {32767, -32768, 1, 0, 1000, 0, 1000, 0},
                     {0, 1000, 2000, -1000, 0, 0, 500, 1000}},
                    {0, 1, 2});
}

class ModelTest : public texture_test::TTextureTest {
protected:
    void SetUp() override {
        TTextureTest::SetUp();
        SetAssetManager(&mAssets);
    }

    void TearDown() override {
        TTextureTest::TearDown();
        SetAssetManager(nullptr);
    }

    TAssetManager mAssets;
};

TEST_F(ModelTest, ReadsTheMeshAndSharesItWhileItLives) {
    AddFile("gfx/cube.mesh", MeshTriangle());
    TModelPtr model = TModel::Get("gfx/cube.mesh");
    ASSERT_TRUE(model);
    EXPECT_STREQ(model->GetClassName(), "TModel");
    EXPECT_TRUE(model->IsKindOf(TAsset::ClassId()));
    const TMesh* mesh = model->GetMesh();
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->GetVertexCount(), 3);
    ASSERT_EQ(mesh->GetIndexCount(), 3);
    EXPECT_EQ(mesh->mFileName, "gfx/cube.mesh");
    const TMeshVertex& first = mesh->mVertices[0];
    EXPECT_EQ(first.x, 1.5f);
    EXPECT_EQ(first.y, -0.25f);
    EXPECT_EQ(first.nz, 1.0f);
    const TMeshVertex& second = mesh->mVertices[1];
    EXPECT_EQ(second.x, 32.767f);
    EXPECT_EQ(second.y, -32.768f);
    EXPECT_EQ(second.z, 0.001f);
    EXPECT_EQ(second.u, 1.0f);
    const TMeshVertex& third = mesh->mVertices[2];
    EXPECT_EQ(third.nx, -1.0f);
    EXPECT_EQ(third.u, 0.5f);
    EXPECT_EQ(third.v, 1.0f);
    EXPECT_EQ(mesh->mIndices, (std::vector<uint16_t>{0, 1, 2}));

    // The second request reads no file: it is gone.
    RemoveFile("gfx/cube.mesh");
    EXPECT_EQ(TModel::Get("gfx/cube.mesh"), model);
    model.reset();
    EXPECT_FALSE(TModel::Get("gfx/cube.mesh"));
}

TEST_F(ModelTest, LoadsOrFails) {
    struct TCase {
        const char* name;
        const char* path;
        TBytes file;
        bool loads;
        bool logged;
    };
    const TBytes badIndex = MeshFile("TRIS", {{}, {}, {}}, {0, 1, 3});
    for (const TCase& c : {
             TCase{"empty mesh", "gfx/empty.mesh", MeshFile("TRIS", {}, {}), true, false},
             TCase{"wrong tag", "gfx/cube.mesh", MeshFile("TRIX", {}, {}), false, false},
             TCase{"short tag", "gfx/cube.mesh", TBytes{'T', 'R', 'I'}, false, false},
             TCase{"index of V", "gfx/cube.mesh", badIndex, false, false},
             // Cut short, the last index reads as 0: inside the vertices.
             TCase{"cut index", "gfx/cube.mesh", TBytes(badIndex.begin(), badIndex.end() - 1), true,
                   false},
             // Not a mesh name: the file is never opened, so its absence is not logged.
             TCase{"wrong extension", "gfx/cube.msh", TBytes{}, false, false},
             TCase{"no file", "gfx/none.mesh", TBytes{}, false, true},
         }) {
        SCOPED_TRACE(c.name);
        if (!c.file.empty()) {
            AddFile(c.path, c.file);
        }
        const size_t logged = LogText().size();
        TModelPtr model = TModel::Get(c.path);
        EXPECT_EQ(static_cast<bool>(model), c.loads);
        const std::string log = LogText().substr(logged);
        EXPECT_EQ(log.find(std::string("TModel::Init: Failed to load ") + c.path) !=
                      std::string::npos,
                  c.logged)
            << log;
        if (!c.logged) {
            EXPECT_EQ(log, "");
        }
        if (model) {
            EXPECT_EQ(mAssets.Find(c.path), model);
        } else {
            // Not registered.
            EXPECT_FALSE(mAssets.Find(c.path));
        }
        if (!c.file.empty()) {
            RemoveFile(c.path);
        }
    }
}

TEST_F(ModelTest, CutShortFileReadsZeros) {
    const TBytes whole = MeshTriangle();
    AddFile("gfx/short.mesh", TBytes(whole.begin(), whole.begin() + 13));
    TModelPtr model = TModel::Get("gfx/short.mesh");
    ASSERT_TRUE(model);
    const TMesh& mesh = *model->GetMesh();
    ASSERT_EQ(mesh.GetVertexCount(), 3);
    EXPECT_EQ(mesh.mVertices[0].x, 1.5f);
    EXPECT_EQ(mesh.mVertices[0].y, -0.25f);
    // Its second byte is missing.
    EXPECT_EQ(mesh.mVertices[0].z, 0.0f);
    EXPECT_EQ(mesh.mVertices[2].v, 0.0f);
    EXPECT_EQ(mesh.mIndices, (std::vector<uint16_t>{0, 0, 0}));
}

// Restore reads the mesh again from its own file name, which Init clears before it reads.
TEST_F(ModelTest, RestoreReadsTheFileAgain) {
    AddFile("gfx/cube.mesh", MeshTriangle());
    TModelPtr model = TModel::Get("gfx/cube.mesh");
    ASSERT_TRUE(model);
    AddFile("gfx/cube.mesh",
            MeshFile("TRIS", {{2000, 0, 0, 0, 0, 0, 0, 0}, {}, {}, {}}, {0, 1, 2, 3, 2, 1}));
    mAssets.ReleaseAll();
    mAssets.RestoreAll();
    ASSERT_NE(model->GetMesh(), nullptr);
    EXPECT_EQ(model->GetMesh()->GetVertexCount(), 4);
    EXPECT_EQ(model->GetMesh()->GetIndexCount(), 6);
    EXPECT_EQ(model->GetMesh()->mVertices[0].x, 2.0f);
    EXPECT_EQ(model->GetMesh()->mFileName, "gfx/cube.mesh");

    // A file that went bad leaves an empty mesh that restores to nothing, and no stale indices.
    AddFile("gfx/cube.mesh", MeshFile("TRIS", {{}}, {0, 0, 1}));
    model->Restore();
    ASSERT_NE(model->GetMesh(), nullptr);
    EXPECT_EQ(model->GetMesh()->GetIndexCount(), 0);
    EXPECT_EQ(model->GetMesh()->GetVertexCount(), 0);
    model->Restore();
    EXPECT_EQ(model->GetMesh(), nullptr);
    model->Restore();
    EXPECT_EQ(model->GetMesh(), nullptr);
}

} // namespace
