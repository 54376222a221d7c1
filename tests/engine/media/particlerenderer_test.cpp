#include "engine/core/assetmanager.h"
#include "engine/core/settings.h"
#include "engine/media/animatedtexture.h"
#include "engine/media/particlecollection.h"
#include "engine/media/particlerenderer.h"
#include "engine/media/particlesystem.h"
#include "tests/engine/media/particlesystem_fixture.h"
#include "tests/engine/media/texture_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using particle_system_test::MakeSystem;
using particle_system_test::RunLua;

// Record floats of the renderer's members.
constexpr int kX = 0;
constexpr int kUpX = 2;
constexpr int kScale = 4;
constexpr int kRed = 5;
constexpr int kAlpha = 8;
constexpr int kFrame = 9;

class ParticleRendererTest : public texture_test::TTextureTest {
protected:
    void SetUp() override {
        TTextureTest::SetUp();
        SetAssetManager(&mAssets);
        OpenDisplay(32, 320, 240);
    }

    void TearDown() override {
        SetSetting("brokenindexedverts", "");
        TTextureTest::TearDown();
        SetAssetManager(nullptr);
    }

    // A frame cleared to black with a 2-D block open.
    void BeginFrame() {
        TRenderer& renderer = *TRenderer::Instance();
        ASSERT_TRUE(renderer.BeginDraw(0));
        Data().mDevice->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        ASSERT_TRUE(renderer.Begin2d());
        renderer.SetFiltering(0);
    }

    standin::TScreenImage EndFrame() {
        TRenderer& renderer = *TRenderer::Instance();
        renderer.End2d();
        renderer.EndDraw(0);
        return standin::ReadSurface(Data().mScreenTarget);
    }

    // A system with a pool of n particles, all emitted, drawing `texture` (none when empty).
    std::unique_ptr<TLuaParticleSystem> Emit(int n, const std::string& texture = "") {
        std::string script = "SetNumParticles(" + std::to_string(n) + ")\n";
        if (!texture.empty()) {
            script += "SetTexture('" + texture + "')\n";
        }
        auto system = MakeSystem(script);
        system->CreateParticles(static_cast<float>(n));
        EXPECT_EQ(system->GetCollection().GetLiveCount(), n);
        return system;
    }

    static float* First(TLuaParticleSystem& system) {
        TParticleCollection& particles = system.GetCollection();
        return particles.Record(particles.FirstLive());
    }

    static T2dParticleRenderer& Renderer(TLuaParticleSystem& system) {
        return *static_cast<T2dParticleRenderer*>(system.GetRenderer());
    }

    // Draws the system in a frame of its own and gives the vertices it wrote.
    std::vector<TParticleVertex> Draw(TLuaParticleSystem& system, const TVec3& origin = TVec3()) {
        BeginFrame();
        system.Render(&origin);
        EndFrame();
        const auto vertices = T2dParticleRenderer::SharedVertices();
        return std::vector<TParticleVertex>(vertices.begin(), vertices.end());
    }

    TAssetManager mAssets;
};

TEST_F(ParticleRendererTest, SquaresFollowPositionScaleAndUp) {
    AddFile("fx/wide.png", texture_test::SolidPng(32, 16, {255, 255, 255}));
    struct TCase {
        const char* name;
        float scale;
        TVec2 up;
        TVec3 origin;
        // Corners in buffer order: (-0.5, -0.5), (0.5, -0.5), (-0.5, 0.5), (0.5, 0.5).
        float corners[4][2];
    };
    const TCase cases[] = {
        {"upright",
         1,
         {0, -1},
         {},
         {{83.5f, 41.5f}, {115.5f, 41.5f}, {83.5f, 57.5f}, {115.5f, 57.5f}}},
        {"twice the size",
         2,
         {0, -1},
         {},
         {{67.5f, 33.5f}, {131.5f, 33.5f}, {67.5f, 65.5f}, {131.5f, 65.5f}}},
        // A quarter turn: the corner (0.5, -0.5) lands at c + (s.y / 2, s.x / 2).
        {"turned",
         1,
         {1, 0},
         {},
         {{107.5f, 33.5f}, {107.5f, 65.5f}, {91.5f, 33.5f}, {91.5f, 65.5f}}},
        {"moved by the origin",
         1,
         {0, -1},
         {10, -20, 0.25f},
         {{93.5f, 21.5f}, {125.5f, 21.5f}, {93.5f, 37.5f}, {125.5f, 37.5f}}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto system = Emit(1, "fx/wide.png");
        EXPECT_EQ(Renderer(*system).GetTextureSize().x, 32.0f);
        EXPECT_EQ(Renderer(*system).GetTextureSize().y, 16.0f);
        float* p = First(*system);
        p[kX] = 100;
        p[kX + 1] = 50;
        p[kUpX] = c.up.x;
        p[kUpX + 1] = c.up.y;
        p[kScale] = c.scale;
        const std::vector<TParticleVertex> vertices = Draw(*system, c.origin);
        ASSERT_EQ(vertices.size(), 4u);
        for (int i = 0; i < 4; ++i) {
            SCOPED_TRACE(i);
            EXPECT_FLOAT_EQ(vertices[i].x, c.corners[i][0]);
            EXPECT_FLOAT_EQ(vertices[i].y, c.corners[i][1]);
            EXPECT_EQ(vertices[i].z, c.origin.z);
            EXPECT_EQ(vertices[i].reserved, 0.5f);
            EXPECT_EQ(vertices[i].specular, 0xFFFFFFFFu);
            EXPECT_EQ(vertices[i].u, static_cast<float>(i % 2));
            EXPECT_EQ(vertices[i].v, static_cast<float>(i / 2));
        }
    }
}

TEST_F(ParticleRendererTest, ColourAndAlphaPackIntoTheDiffuse) {
    struct TCase {
        float color[4];
        float alpha;
        uint32_t diffuse;
    };
    const TCase cases[] = {
        {{1, 1, 1, 0.5f}, 1, 0x7FFFFFFFu},
        {{1, 0.5f, 0.25f, 1}, 1, 0xFFFF7F3Fu},
        {{1, 1, 1, 1}, 0.5f, 0x7FFFFFFFu},
        {{0, 0, 0, 1}, 0.25f, 0x3F000000u},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.diffuse);
        auto system = Emit(1);
        std::copy(c.color, c.color + 4, First(*system) + kRed);
        system->SetAlpha(c.alpha);
        const std::vector<TParticleVertex> vertices = Draw(*system);
        ASSERT_EQ(vertices.size(), 4u);
        EXPECT_EQ(vertices[0].diffuse, c.diffuse);
        EXPECT_EQ(vertices[3].diffuse, c.diffuse);
    }
}

TEST_F(ParticleRendererTest, BrokenIndexedVerticesDrawTheSameWithoutIndices) {
    AddFile("fx/dot.png", texture_test::SolidPng(8, 8, {255, 255, 255}));
    struct TCase {
        const char* setting;
        int vertices;
        int indices;
    };
    const TCase cases[] = {{"1", 18, 0}, {"", 12, 18}, {"0", 12, 18}};
    std::vector<standin::TScreenImage> images;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.setting);
        SetSetting("brokenindexedverts", c.setting);
        auto system = Emit(3, "fx/dot.png");
        EXPECT_EQ(Renderer(*system).HasBrokenIndexedVertices(), c.vertices == 18);
        float x = 20;
        TParticleCollection& particles = system->GetCollection();
        for (int32_t i = particles.FirstLive(); i != TParticleCollection::kNone;
             i = particles.Next(i), x += 30) {
            particles.Record(i)[kX] = x;
            particles.Record(i)[kX + 1] = 20;
        }
        BeginFrame();
        const TVec3 origin;
        system->Render(&origin);
        images.push_back(EndFrame());
        const T2dParticleRenderer::TDrawCount& drawn = Renderer(*system).GetLastDraw();
        EXPECT_EQ(drawn.batches, 1);
        EXPECT_EQ(drawn.vertices, c.vertices);
        EXPECT_EQ(drawn.indices, c.indices);
        if (c.vertices == 18) {
            // The two triangles' corners written out.
            const auto vertices = T2dParticleRenderer::SharedVertices();
            const float uv[6][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 0}, {1, 1}, {0, 1}};
            for (int k = 0; k < 6; ++k) {
                EXPECT_EQ(vertices[6 + k].u, uv[k][0]);
                EXPECT_EQ(vertices[6 + k].v, uv[k][1]);
            }
        }
    }
    EXPECT_TRUE(images[0].pixels == images[1].pixels);
    // The first particle's square: 8 x 8 pixels of white around (20, 20).
    EXPECT_EQ(images[1].pixels[static_cast<size_t>(20) * 320 + 20] & 0xFFFFFFu, 0xFFFFFFu);
    EXPECT_EQ(images[1].pixels[static_cast<size_t>(30) * 320 + 20] & 0xFFFFFFu, 0u);
}

TEST_F(ParticleRendererTest, AnimatedTexturesDrawTheParticlesFrame) {
    AddFile("fx/sheet.png", texture_test::SolidPng(64, 32, {255, 255, 255}));
    // Three frames on the 64 x 32 sheet.
    const std::string xml =
        "<sequence name=\"sparks\" source=\"\">\n"
        "  <img regx=\"0\" regy=\"0\" w=\"64\" h=\"32\" name=\"sheet.png\" mask=\"\"/>\n"
        "  <framelist>\n"
        "    <frame name=\"a\" x=\"0\" y=\"0\" w=\"16\" h=\"8\" regx=\"0\" regy=\"0\"/>\n"
        "    <frame name=\"b\" x=\"16\" y=\"0\" w=\"16\" h=\"8\" regx=\"0\" regy=\"0\"/>\n"
        "    <frame name=\"c\" x=\"32\" y=\"8\" w=\"16\" h=\"24\" regx=\"0\" regy=\"0\"/>\n"
        "  </framelist>\n"
        "</sequence>\n";
    AddFile("fx/sparks.xml", texture_test::TBytes(xml.begin(), xml.end()));
    struct TCase {
        float frame;
        // u0, v0, u1, v1
        float uv[4];
    };
    const TCase cases[] = {
        {2.7f, {32.0f / 64, 8.0f / 32, 48.0f / 64, 32.0f / 32}},
        {1.0f, {16.0f / 64, 0, 32.0f / 64, 8.0f / 32}},
        {3.0f, {0, 0, 0, 0}},
        {-1.0f, {0, 0, 0, 0}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.frame);
        auto system = Emit(1, "fx/sparks.xml");
        // The current frame's size, frame 0's.
        EXPECT_EQ(Renderer(*system).GetTextureSize().x, 16.0f);
        EXPECT_EQ(Renderer(*system).GetTextureSize().y, 8.0f);
        First(*system)[kFrame] = c.frame;
        const std::vector<TParticleVertex> vertices = Draw(*system);
        ASSERT_EQ(vertices.size(), 4u);
        EXPECT_EQ(vertices[0].u, c.uv[0]);
        EXPECT_EQ(vertices[0].v, c.uv[1]);
        EXPECT_EQ(vertices[3].u, c.uv[2]);
        EXPECT_EQ(vertices[3].v, c.uv[3]);
        EXPECT_EQ(vertices[1].u, c.uv[2]);
        EXPECT_EQ(vertices[1].v, c.uv[1]);
    }
    // A plain texture drawn next takes its corners' u, v again from the shared buffer.
    auto plain = Emit(1);
    const std::vector<TParticleVertex> vertices = Draw(*plain);
    EXPECT_EQ(vertices[3].u, 1.0f);
    EXPECT_EQ(vertices[3].v, 1.0f);
}

// 16-bit indices reach 16 384 quads: more particles are drawn in batches, in the same order.
TEST_F(ParticleRendererTest, LargeSystemsDrawInBatches) {
    constexpr int kCount = 20000;
    constexpr int kFirstBatch = T2dParticleRenderer::kBatchParticles;
    // Particle k of the live list: a 1 x 1 square on a 100 x 100 grid, each spot taken twice so
    // that the drawing order shows, in a colour of its own.
    const auto place = [](float* p, int k) {
        const int spot = k % 10000;
        p[kX] = static_cast<float>(10 + spot % 100 * 3);
        p[kX + 1] = static_cast<float>(10 + spot / 100 * 2);
        p[kRed] = static_cast<float>(k % 256) / 255.0f;
        p[kRed + 1] = static_cast<float>(k / 256 % 256) / 255.0f;
        p[kRed + 2] = k < 10000 ? 1.0f : 0.0f;
    };
    const auto placeAll = [&](TLuaParticleSystem& system, int first) {
        TParticleCollection& particles = system.GetCollection();
        int k = first;
        for (int32_t i = particles.FirstLive(); i != TParticleCollection::kNone;
             i = particles.Next(i), ++k) {
            place(particles.Record(i), k);
        }
    };
    auto whole = Emit(kCount);
    placeAll(*whole, 0);
    BeginFrame();
    const TVec3 origin;
    whole->Render(&origin);
    const standin::TScreenImage one = EndFrame();
    const T2dParticleRenderer::TDrawCount& drawn = Renderer(*whole).GetLastDraw();
    EXPECT_EQ(drawn.batches, 2);
    EXPECT_EQ(drawn.vertices, 4 * kCount);
    EXPECT_EQ(drawn.indices, 6 * kCount);

    auto newer = Emit(kFirstBatch);
    auto older = Emit(kCount - kFirstBatch);
    placeAll(*newer, 0);
    placeAll(*older, kFirstBatch);
    BeginFrame();
    newer->Render(&origin);
    older->Render(&origin);
    const standin::TScreenImage two = EndFrame();
    EXPECT_EQ(Renderer(*newer).GetLastDraw().batches, 1);
    EXPECT_TRUE(one.pixels == two.pixels);
    // The older particle of a spot is drawn last, over the newer: the square at (10, 10), the
    // pixel (9, 9), shows particle 10 000 (red 16, green 39), the one at (10, 12) particle 10 100.
    EXPECT_EQ(one.pixels[static_cast<size_t>(9) * 320 + 9] & 0xFFFFFFu, 0x102700u);
    EXPECT_EQ(one.pixels[static_cast<size_t>(11) * 320 + 9] & 0xFFFFFFu, 0x742700u);
    EXPECT_EQ(one.pixels[static_cast<size_t>(10) * 320 + 10] & 0xFFFFFFu, 0u);
}

TEST_F(ParticleRendererTest, BuffersThatCannotBeHadDrawNothing) {
    // More vertex bytes than 32 bits hold; no particle lives, so no record is read.
    constexpr int kRecords = (1 << 24) + 1;
    float block[10] = {};
    TParticleCollection particles;
    ASSERT_TRUE(particles.Reset(kRecords, 10, block));
    T2dParticleRenderer renderer;
    const TVec3 origin;
    BeginFrame();
    renderer.Render(&origin, 1.0f, particles);
    renderer.Render(&origin, 1.0f, particles);
    EndFrame();
    EXPECT_EQ(renderer.GetLastDraw().batches, 0);
    EXPECT_TRUE(T2dParticleRenderer::SharedVertices().empty());
    const std::string log = LogText();
    const std::string line = "T2dParticleRenderer::Render: no vertex buffer for 16777217 particles";
    ASSERT_NE(log.find(line), std::string::npos) << log;
    EXPECT_EQ(log.find(line, log.find(line) + 1), std::string::npos) << log;

    // The next system that fits draws again.
    auto system = Emit(2);
    EXPECT_EQ(Draw(*system).size(), 8u);
}

// A fountain under gravity: positions drawn at random, faded by age, in 20 ms updates for one
// second at a fixed seed.
const char kFountain[] = "pVelocity = Allocate(2)\n"
                         "pStart = Allocate(2)\n"
                         "pStartVelocity = Allocate(2)\n"
                         "pAge = Allocate(1)\n"
                         "SetNumParticles(64)\n"
                         "SetTexture('fx/dot.png')\n"
                         "SetBlendMode(kBlendAdditiveAlpha)\n"
                         "pPosition:Init(fRange(Vec2(150, 200), Vec2(170, 210)))\n"
                         "pVelocity:Init(fRange(Vec2(-60, -220), Vec2(60, -160)))\n"
                         "pStart:Init(pPosition)\n"
                         "pStartVelocity:Init(pVelocity)\n"
                         "pScale:Init(fRange(0.5, 1.5))\n"
                         "pColor:Init(Color(1, 0.6, 0.2, 1))\n"
                         "pAge:Anim(pAge + fAge())\n"
                         // Half the gravity's step before the velocity's: exact kinematics.
                         "pPosition:Anim(pPosition + fTimeScale(pVelocity + "
                         "fTimeScale(Vec2(0, 100))))\n"
                         "SetUpGravity(200)\n"
                         "pColor:Anim(fAlpha(pColor, fFade(pAge, 1, 1000, 0)))\n"
                         "gGenerate = NewParticleGenerator()\n"
                         "function Update(seconds) CreateParticles(gGenerate(50, seconds * 1000)) "
                         "end\n";

std::string GoldenPath(const std::string& name) {
    return testing_fixtures::SourceDir().string() + "/tests/engine/media/golden/" + name;
}

TEST_F(ParticleRendererTest, FountainMatchesItsGoldenRecordsAndFrame) {
    AddFile("fx/dot.png", texture_test::SolidPng(8, 8, {255, 255, 255}));
    auto system = MakeSystem(kFountain);
    for (int t = 0; t < 1000; t += 20) {
        system->Update(20);
    }
    ASSERT_EQ(system->GetCollection().GetLiveCount(), 50) << LogText();
    ASSERT_EQ(system->GetFloatsPerParticle(), 17);

    // Every particle by hand: p0 + v0 t + g t^2 / 2 with g = 200 downwards, t its age.
    std::ostringstream dump;
    const TParticleCollection& particles = system->GetCollection();
    float oldest = 0;
    for (int32_t i = particles.FirstLive(); i != TParticleCollection::kNone;
         i = particles.Next(i)) {
        const float* p = particles.Record(i);
        const double t = p[16] / 1000.0;
        oldest = std::max(oldest, p[16]);
        EXPECT_NEAR(p[0], p[12] * 1.0 + p[14] * t, 1e-3);
        EXPECT_NEAR(p[1], p[13] + p[15] * t + 0.5 * 200 * t * t, 1e-3);
        EXPECT_NEAR(p[11], p[15] + 200 * t, 1e-3);
        EXPECT_NEAR(p[8], 1.0 - t, 1e-5);
        for (int k = 0; k < 17; ++k) {
            dump << (k > 0 ? " " : "") << str::FromFormat("%.9g", static_cast<double>(p[k])).CStr();
        }
        dump << "\n";
    }
    EXPECT_EQ(oldest, 1000.0f);

    const std::string records = GoldenPath("particle_fountain_records.txt");
    if (std::getenv("STELLAGRIM_UPDATE_GOLDEN") != nullptr) {
        std::ofstream(records, std::ios::binary) << dump.str();
    }
    std::ifstream stored(records, std::ios::binary);
    ASSERT_TRUE(stored.good()) << records;
    std::ostringstream expected;
    expected << stored.rdbuf();
    EXPECT_EQ(dump.str(), expected.str());

    BeginFrame();
    const TVec3 origin;
    system->Render(&origin);
    const standin::TScreenImage image = EndFrame();
    ExpectGolden(image, "particle_fountain.png");
    // By hand, where one particle alone covers a pixel: its colour (255, 153, 51) added at its
    // alpha, 0.98 (249) for the newest, 0.94 (239) for the third newest; black elsewhere.
    const auto at = [&image](int x, int y) {
        return image.pixels[static_cast<size_t>(y) * 320 + x] & 0xFFFFFFu;
    };
    EXPECT_EQ(at(159, 197), 0xF99532u);
    EXPECT_EQ(at(150, 190), 0xEF8F30u);
    EXPECT_EQ(at(5, 5), 0u);
}

} // namespace
