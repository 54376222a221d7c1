// Drawing a particle system's live particles. The renderer also decides the first members of
// every particle record: the Lua text that allocates them and the values that start each new
// record. T2dParticleRenderer, the engine's one renderer, draws each particle as a textured,
// coloured, scaled and rotated square facing the screen, through the render facade, in as few
// draw calls as the 16-bit indices allow. A particle system owns the renderer it made itself, or
// uses the caller's. Main thread only.
#pragma once

#include "engine/core/str.h"
#include "engine/core/vec.h"
#include "engine/system/medialink.h"

#include <cstdint>
#include <span>

class TParticleCollection;

class TParticleRenderer {
public:
    virtual ~TParticleRenderer();
    // Draws the collection's live particles, newest first, at `origin` (null: 0, 0, 0) with the
    // system's alpha factor.
    virtual void Render(const TVec3* origin, float alpha, const TParticleCollection& particles) = 0;
    // A TTexture or a TAnimatedTexture; empty draws untextured squares.
    virtual void SetTexture(const TTexturePtr& texture) = 0;
    virtual void SetParam(const str& name, const float* value) = 0;
    // The values that start every new record, over its first floats.
    virtual const float* GetDefaultValues() const = 0;
    virtual int GetDefaultCount() const = 0;
    // Lua text that allocates the renderer's members, run when a system sets its script up.
    virtual str GetInitText() const = 0;
};

// One vertex of the shared buffer: the pre-lit layout (TVertexSet::kLit).
struct TParticleVertex {
    float x;
    float y;
    float z;
    float reserved;
    uint32_t diffuse;
    uint32_t specular;
    float u;
    float v;
};
static_assert(sizeof(TParticleVertex) == 32);

class T2dParticleRenderer final : public TParticleRenderer {
public:
    // Particles drawn by one call: their 4 vertices each keep the 16-bit indices below 65536.
    static constexpr int kBatchParticles = 16384;

    // Reads "brokenindexedverts": a non-zero integer draws 6 vertices a particle and no indices.
    T2dParticleRenderer();
    // The last renderer frees the shared buffers.
    ~T2dParticleRenderer() override;
    T2dParticleRenderer(const T2dParticleRenderer&) = delete;
    T2dParticleRenderer& operator=(const T2dParticleRenderer&) = delete;

    void Render(const TVec3* origin, float alpha, const TParticleCollection& particles) override;
    // The texture's size (its current frame's, for an animated one) becomes the particles' size;
    // an empty texture keeps the size before.
    void SetTexture(const TTexturePtr& texture) override;
    // Only "blendmode": the value truncated is the facade's blend mode for the particles.
    void SetParam(const str& name, const float* value) override;
    const float* GetDefaultValues() const override { return mDefaults; }
    int GetDefaultCount() const override { return kDefaultCount; }
    str GetInitText() const override;

    int GetBlendMode() const { return mBlendMode; }
    TVec2 GetTextureSize() const { return mTextureSize; }
    bool HasBrokenIndexedVertices() const { return mBrokenIndexedVertices; }

    // What the last Render handed to the facade.
    struct TDrawCount {
        int batches = 0;
        int vertices = 0;
        int indices = 0;
    };
    const TDrawCount& GetLastDraw() const { return mLastDraw; }
    // The shared vertex buffer as the last Render left it (empty before the first).
    static std::span<const TParticleVertex> SharedVertices();

private:
    static constexpr int kDefaultCount = 10;

    int VerticesPerParticle() const { return mBrokenIndexedVertices ? 6 : 4; }
    // Grows the shared buffers to hold `records` particles; false when they cannot be had.
    bool PrepareBuffers(int records);

    int32_t mBlendMode = 0;
    TVec2 mTextureSize{1.0f, 1.0f};
    // Position (0, 0), up (0, -1), scale 1, colour (1, 1, 1, 1), frame 0.
    float mDefaults[kDefaultCount] = {0.0f, 0.0f, 0.0f, -1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0.0f};
    TTexturePtr mTexture;
    bool mBrokenIndexedVertices = false;
    TDrawCount mLastDraw;
};
