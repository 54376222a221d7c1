#include "engine/media/particlerenderer.h"

#include "engine/core/log.h"
#include "engine/core/settings.h"
#include "engine/media/animatedtexture.h"
#include "engine/media/particlecollection.h"
#include "engine/media/renderer.h"
#include "engine/media/texture.h"
#include "engine/media/vertexset.h"
#include "engine/script/lua/luanumber.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>

namespace {

// The vertex and index buffers every 2-D particle renderer writes into, made on the first Render
// and freed with the last renderer. They only grow, to twice the need, so growth is rare.
struct TParticleBuffers {
    std::unique_ptr<TParticleVertex[]> vertices;
    // Vertices the buffer holds.
    int64_t capacity = 0;
    // Vertices a particle has in the buffer's fixed corner pattern: 4 or 6.
    int corners = 0;
    // The quad pattern of one batch; null with 6 corners.
    std::unique_ptr<uint16_t[]> indices;
    // Vertices the last Render wrote.
    int64_t written = 0;
    // Vertices before this one may hold a frame's u, v from an animated texture in place of
    // their corner's.
    int64_t framedUv = 0;
    int liveRenderers = 0;
    bool loggedFailure = false;
};

TParticleBuffers& SharedParticleBuffers() {
    static TParticleBuffers buffers;
    return buffers;
}

// Corners as (x factor, y factor, u, v): a quad of two indexed triangles, or the two triangles
// written out.
struct TParticleCorner {
    float fx;
    float fy;
    float u;
    float v;
};
constexpr TParticleCorner kQuadCorners[4] = {
    {-0.5f, -0.5f, 0.0f, 0.0f},
    {0.5f, -0.5f, 1.0f, 0.0f},
    {-0.5f, 0.5f, 0.0f, 1.0f},
    {0.5f, 0.5f, 1.0f, 1.0f},
};
constexpr TParticleCorner kTriangleCorners[6] = {
    {-0.5f, -0.5f, 0.0f, 0.0f}, {0.5f, -0.5f, 1.0f, 0.0f}, {-0.5f, 0.5f, 0.0f, 1.0f},
    {0.5f, -0.5f, 1.0f, 0.0f},  {0.5f, 0.5f, 1.0f, 1.0f},  {-0.5f, 0.5f, 0.0f, 1.0f},
};

const TParticleCorner* ParticleCorners(int corners) {
    return corners == 6 ? kTriangleCorners : kQuadCorners;
}

// A colour component in 0 to 1 as a byte, truncated; the low 8 bits as the packing keeps them.
uint32_t ParticleColorByte(float component) {
    return static_cast<uint32_t>(LuaNumberToInt(static_cast<double>(component) * 255.0)) & 0xFFu;
}

} // namespace

TParticleRenderer::~TParticleRenderer() = default;

T2dParticleRenderer::T2dParticleRenderer() {
    mBrokenIndexedVertices = GetSetting("brokenindexedverts", "").ToInt() != 0;
    ++SharedParticleBuffers().liveRenderers;
}

T2dParticleRenderer::~T2dParticleRenderer() {
    TParticleBuffers& buffers = SharedParticleBuffers();
    if (--buffers.liveRenderers == 0) {
        buffers.vertices.reset();
        buffers.indices.reset();
        buffers.capacity = 0;
        buffers.corners = 0;
        buffers.written = 0;
        buffers.framedUv = 0;
        buffers.loggedFailure = false;
    }
}

std::span<const TParticleVertex> T2dParticleRenderer::SharedVertices() {
    const TParticleBuffers& buffers = SharedParticleBuffers();
    return {buffers.vertices.get(), static_cast<size_t>(buffers.written)};
}

str T2dParticleRenderer::GetInitText() const {
    return "pPosition = Allocate(2);\npUp = Allocate(2);\npScale = Allocate(1);\npColor = "
           "Allocate(4);\npFrame = Allocate(1);\n";
}

void T2dParticleRenderer::SetParam(const str& name, const float* value) {
    if (name == "blendmode" && value != nullptr) {
        mBlendMode = LuaNumberToInt(static_cast<double>(*value));
    }
}

void T2dParticleRenderer::SetTexture(const TTexturePtr& texture) {
    mTexture = texture;
    if (texture) {
        mTextureSize = TVec2(static_cast<float>(texture->GetWidth()),
                             static_cast<float>(texture->GetHeight()));
    }
}

bool T2dParticleRenderer::PrepareBuffers(int records) {
    TParticleBuffers& buffers = SharedParticleBuffers();
    const int corners = VerticesPerParticle();
    const int64_t need = static_cast<int64_t>(records) * corners;
    if (buffers.vertices != nullptr && buffers.capacity >= need && buffers.corners == corners) {
        return true;
    }
    buffers.vertices.reset();
    buffers.indices.reset();
    buffers.capacity = 0;
    buffers.corners = 0;
    buffers.written = 0;
    buffers.framedUv = 0;
    const int64_t capacity = 2 * std::max<int64_t>(need, corners);
    // The buffer's bytes must fit in 32 bits, as the device takes them.
    if (capacity * static_cast<int64_t>(sizeof(TParticleVertex)) > INT64_C(0xFFFFFFFF)) {
        return false;
    }
    std::unique_ptr<TParticleVertex[]> vertices(new (std::nothrow)
                                                    TParticleVertex[static_cast<size_t>(capacity)]);
    std::unique_ptr<uint16_t[]> indices;
    if (!mBrokenIndexedVertices) {
        // One batch's pattern serves every batch: each draws from its own first vertex.
        const int64_t quads = std::min<int64_t>(capacity / 4, kBatchParticles);
        indices.reset(new (std::nothrow) uint16_t[static_cast<size_t>(quads) * 6]);
        if (indices != nullptr) {
            for (int64_t q = 0; q < quads; ++q) {
                const auto c = static_cast<uint16_t>(4 * q);
                uint16_t* quad = &indices[static_cast<size_t>(q) * 6];
                quad[0] = c;
                quad[1] = static_cast<uint16_t>(c + 1);
                quad[2] = static_cast<uint16_t>(c + 2);
                quad[3] = static_cast<uint16_t>(c + 1);
                quad[4] = static_cast<uint16_t>(c + 3);
                quad[5] = static_cast<uint16_t>(c + 2);
            }
        }
    }
    if (vertices == nullptr || (!mBrokenIndexedVertices && indices == nullptr)) {
        return false;
    }
    const TParticleCorner* table = ParticleCorners(corners);
    for (int64_t i = 0; i < capacity; ++i) {
        const TParticleCorner& corner = table[i % corners];
        vertices[static_cast<size_t>(i)] =
            TParticleVertex{0.0f, 0.0f, 0.0f, 0.5f, 0u, 0xFFFFFFFFu, corner.u, corner.v};
    }
    buffers.vertices = std::move(vertices);
    buffers.indices = std::move(indices);
    buffers.capacity = capacity;
    buffers.corners = corners;
    buffers.loggedFailure = false;
    return true;
}

void T2dParticleRenderer::Render(const TVec3* origin, float alpha,
                                 const TParticleCollection& particles) {
    mLastDraw = TDrawCount{};
    const int records = particles.GetRecordCount();
    // Records without the renderer's members are none of its particles.
    if (records == 0 || particles.GetRecordStride() < kDefaultCount * 4) {
        return;
    }
    TRenderer* renderer = TRenderer::Instance();
    if (renderer == nullptr) {
        return;
    }
    TParticleBuffers& buffers = SharedParticleBuffers();
    if (!PrepareBuffers(records)) {
        if (!buffers.loggedFailure) {
            buffers.loggedFailure = true;
            Log("T2dParticleRenderer::Render: no vertex buffer for %d particles", records);
        }
        return;
    }
    renderer->SetTexture(mTexture);
    renderer->SetBlendMode(mBlendMode);

    const TAnimatedTexture* animated = nullptr;
    float surfaceWidth = 0.0f;
    float surfaceHeight = 0.0f;
    if (mTexture && mTexture->IsKindOf(TAnimatedTexture::ClassId())) {
        animated = static_cast<const TAnimatedTexture*>(mTexture.get());
        const TPoint surface = mTexture->GetSurfaceSize();
        surfaceWidth = static_cast<float>(surface.x);
        surfaceHeight = static_cast<float>(surface.y);
    }

    // Half a pixel back, so that texels fall on pixels.
    const TVec3 at = origin != nullptr ? *origin : TVec3();
    const float ox = at.x - 0.5f;
    const float oy = at.y - 0.5f;
    const float oz = at.z;
    const int corners = buffers.corners;
    const TParticleCorner* table = ParticleCorners(corners);
    TParticleVertex* out = buffers.vertices.get();
    int64_t written = 0;
    for (int32_t index = particles.FirstLive(); index != TParticleCollection::kNone;
         index = particles.Next(index)) {
        const float* p = particles.Record(index);
        const float sx = mTextureSize.x * p[4];
        const float sy = mTextureSize.y * p[4];
        const float cx = ox + p[0];
        const float cy = oy + p[1];
        const float ux = p[2];
        const float uy = p[3];
        uint32_t diffuse = ParticleColorByte(p[8]) << 24 | ParticleColorByte(p[5]) << 16 |
                           ParticleColorByte(p[6]) << 8 | ParticleColorByte(p[7]);
        const auto alphaByte = static_cast<float>(diffuse >> 24);
        diffuse =
            (diffuse & 0x00FFFFFFu) |
            (static_cast<uint32_t>(LuaNumberToInt(static_cast<double>(alphaByte * alpha))) & 0xFFu)
                << 24;
        TRect frame{0, 0, 0, 0};
        if (animated != nullptr) {
            frame = animated->GetFrameRect(LuaNumberToInt(static_cast<double>(p[9])));
        }
        for (int k = 0; k < corners; ++k, ++written) {
            const TParticleCorner& corner = table[k];
            TParticleVertex& vertex = out[written];
            vertex.x = cx - uy * sx * corner.fx - ux * sy * corner.fy;
            vertex.y = cy - uy * sy * corner.fy + ux * sx * corner.fx;
            vertex.z = oz;
            vertex.diffuse = diffuse;
            if (animated != nullptr) {
                const int x = corner.u == 0.0f ? frame.left : frame.right;
                const int y = corner.v == 0.0f ? frame.top : frame.bottom;
                vertex.u = surfaceWidth > 0.0f ? static_cast<float>(x) / surfaceWidth : 0.0f;
                vertex.v = surfaceHeight > 0.0f ? static_cast<float>(y) / surfaceHeight : 0.0f;
            } else if (written < buffers.framedUv) {
                // Another system's animated texture wrote here: the shared buffer is reused.
                vertex.u = corner.u;
                vertex.v = corner.v;
            }
        }
    }
    buffers.written = written;
    if (animated != nullptr) {
        buffers.framedUv = std::max(buffers.framedUv, written);
    } else if (written >= buffers.framedUv) {
        buffers.framedUv = 0;
    }

    // Batches of at most kBatchParticles: the 16-bit quad pattern wraps beyond them.
    const int64_t batchVertices = static_cast<int64_t>(kBatchParticles) * corners;
    for (int64_t first = 0; first < written; first += batchVertices) {
        const auto count = static_cast<int32_t>(std::min(batchVertices, written - first));
        TVertexSet set = TVertexSet::FromLitVertices(out + first, count);
        if (mBrokenIndexedVertices) {
            renderer->DrawVertices(D3DPT_TRIANGLELIST, set);
        } else {
            const int indexCount = count / 4 * 6;
            renderer->DrawIndexedVertices(D3DPT_TRIANGLELIST, set, buffers.indices.get(),
                                          indexCount);
            mLastDraw.indices += indexCount;
        }
        ++mLastDraw.batches;
        mLastDraw.vertices += count;
    }
    renderer->SetBlendMode(0);
}
