#include "engine/core/random.h"
#include "engine/media/particlecollection.h"
#include "engine/media/particlerenderer.h"
#include "engine/media/particlesystem.h"
#include "tests/engine/media/particle_fixture.h"
#include "tests/engine/media/particlesystem_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using particle_system_test::FreeRecords;
using particle_system_test::LiveRecords;
using particle_system_test::MakeSystem;
using particle_system_test::Number;
using particle_system_test::RunLua;
using particle_system_test::Tail;

using ParticleSystemTest = particle_system_test::TParticleSystemTest;

TEST(ParticleCollectionTest, RecordsMoveBetweenTheLists) {
    TParticleCollection particles;
    // Records of its own.
    ASSERT_TRUE(particles.Reset(3, 2, nullptr));
    EXPECT_FALSE(particles.HasExternalRecords());
    EXPECT_EQ(particles.GetRecordStride(), 8);
    EXPECT_EQ(particles.Record(2), particles.GetRecords() + 4);
    EXPECT_EQ(FreeRecords(particles), (std::vector<int32_t>{2, 1, 0}));
    particles.MakeLive(2);
    particles.MakeLive(0);
    particles.MakeLive(1);
    EXPECT_EQ(LiveRecords(particles), (std::vector<int32_t>{1, 0, 2}));
    particles.MakeFree(0);
    EXPECT_EQ(LiveRecords(particles), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(FreeRecords(particles), (std::vector<int32_t>{0}));
    EXPECT_EQ(particles.GetLiveCount(), 2);
    EXPECT_EQ(particles.GetFreeCount(), 1);

    // A new pool drops every particle; a refused one leaves none.
    float block[4] = {};
    ASSERT_TRUE(particles.Reset(2, 2, block));
    EXPECT_TRUE(particles.HasExternalRecords());
    EXPECT_EQ(particles.GetLiveCount(), 0);
    EXPECT_EQ(FreeRecords(particles), (std::vector<int32_t>{1, 0}));
    EXPECT_FALSE(particles.Reset(-1, 2, nullptr));
    EXPECT_EQ(particles.GetRecordCount(), 0);
    EXPECT_EQ(particles.FirstFree(), TParticleCollection::kNone);
    particles.Clear();
    EXPECT_EQ(particles.GetRecords(), nullptr);
}

TEST_F(ParticleSystemTest, SetsUpTheRendererMembersAndTheLibrary) {
    auto system = MakeSystem();
    EXPECT_EQ(system->GetFloatsPerParticle(), 10);
    EXPECT_EQ(system->GetMemberSizes(), (std::vector<uint8_t>{2, 2, 1, 4, 1}));
    EXPECT_EQ(Number(*system, "GetParticleMemberParts(pColor)"), 5);
    RunLua(*system, "gOffset, gSize = GetParticleMemberParts(pFrame)");
    EXPECT_EQ(system->GetScript()->GetGlobalNumber("gOffset"), 9);
    EXPECT_EQ(system->GetScript()->GetGlobalNumber("gSize"), 1);
    // The math library and the library's names are there; nothing is pending, no pool exists.
    EXPECT_EQ(Number(*system, "math.floor(2.5) + kBlendSubtractive"), 5);
    EXPECT_EQ(system->GetScript()->GetGlobalString("kBlendMode"), str("blendmode"));
    EXPECT_TRUE(system->GetPendingStatements().empty());
    EXPECT_EQ(system->GetCollection().GetRecordCount(), 0);
    EXPECT_FALSE(system->IsDone());
    EXPECT_TRUE(LogText().empty()) << LogText();
}

TEST_F(ParticleSystemTest, EmissionCarriesItsDebt) {
    struct TCase {
        const char* name;
        int pool; // -1: no SetNumParticles
        std::vector<float> requests;
        int made;
        float debt;
    };
    const TCase cases[] = {
        {"a fraction rounds up and is paid back", 10, {2.5f}, 3, -0.5f},
        {"the next request pays the debt first", 10, {2.5f, 0.5f}, 3, 0.0f},
        {"a full pool keeps the rest as debt", 2, {5.0f}, 2, 2.0f},
        {"no pool: nothing changes", -1, {5.0f}, 0, 0.0f},
        {"an empty pool: nothing changes", 0, {5.0f}, 0, 0.0f},
        {"NaN is no request", 10, {1.0f, std::nanf("")}, 1, 0.0f},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto system = MakeSystem();
        if (c.pool >= 0) {
            RunLua(*system, "SetNumParticles(" + std::to_string(c.pool) + ")");
        }
        for (float n : c.requests) {
            system->CreateParticles(n);
        }
        EXPECT_EQ(system->GetCollection().GetLiveCount(), c.made);
        EXPECT_EQ(system->GetEmissionDebt(), c.debt);
    }
}

TEST_F(ParticleSystemTest, NewRecordsStartFromTheDefaultsThenRunTheInitStream) {
    auto system = MakeSystem("pLife = Allocate(1)\n"
                             "SetNumParticles(3)\n"
                             "pPosition:Init(Vec2(10, 20))\n"
                             "pScale:Init(3)\n");
    ASSERT_EQ(system->GetFloatsPerParticle(), 11);
    TParticleCollection& particles = system->GetCollection();
    EXPECT_EQ(FreeRecords(particles), (std::vector<int32_t>{2, 1, 0}));
    system->CreateParticles(1);
    // The last record is taken first.
    ASSERT_EQ(LiveRecords(particles), (std::vector<int32_t>{2}));
    EXPECT_EQ(particle_system_test::Floats(*system, 2),
              (std::vector<float>{10, 20, 0, -1, 3, 1, 1, 1, 1, 0, 0}));

    // A record back from the free list starts again from zeros and defaults.
    RunLua(*system, "Anim(fExpire(1))");
    particles.Record(2)[10] = 7.0f;
    system->Animate(20);
    EXPECT_EQ(particles.GetLiveCount(), 0);
    EXPECT_EQ(FreeRecords(particles), (std::vector<int32_t>{2, 1, 0}));
    system->CreateParticles(1);
    EXPECT_EQ(particle_system_test::Floats(*system, 2),
              (std::vector<float>{10, 20, 0, -1, 3, 1, 1, 1, 1, 0, 0}));
    EXPECT_EQ(particles.GetRecordStride(), 44);
    EXPECT_TRUE(particles.HasExternalRecords());
}

TEST_F(ParticleSystemTest, ExpiryFreesARecordInTheAnimStreamButNotInTheInitStream) {
    auto system = MakeSystem("pLife = Allocate(1)\n"
                             "SetNumParticles(4)\n"
                             "Init(fExpire(1))\n"
                             "Anim(fExpire(pLife))\n");
    system->CreateParticles(3);
    TParticleCollection& particles = system->GetCollection();
    // Records 3, 2, 1 were taken; the newest is first.
    ASSERT_EQ(LiveRecords(particles), (std::vector<int32_t>{1, 2, 3}));
    particles.Record(2)[10] = 1.0f;
    system->Animate(20);
    EXPECT_EQ(LiveRecords(particles), (std::vector<int32_t>{1, 3}));
    EXPECT_EQ(FreeRecords(particles), (std::vector<int32_t>{2, 0}));
    // The freed record is the next one taken.
    system->CreateParticles(1);
    EXPECT_EQ(LiveRecords(particles), (std::vector<int32_t>{2, 1, 3}));
}

TEST_F(ParticleSystemTest, UpdateRunsTheScriptsUpdateThenAnimates) {
    auto system = MakeSystem("SetNumParticles(4)\n"
                             "pPosition:Anim(pPosition + fTimeScale(Vec2(100, 0)))\n"
                             "function Update(seconds) gSeconds = seconds; CreateParticles(1) "
                             "end\n");
    system->Update(20);
    EXPECT_DOUBLE_EQ(system->GetScript()->GetGlobalNumber("gSeconds"), 0.02);
    // Emitted by the script's Update, then animated in the same update.
    ASSERT_EQ(system->GetCollection().GetLiveCount(), 1);
    EXPECT_EQ(particle_system_test::Floats(*system, 3)[0], 2.0f);

    // The exact text run, as the failure log shows it.
    RunLua(*system, "Update = 5");
    system->Update(20);
    EXPECT_NE(LogText().find("Update(0.020000);"), std::string::npos) << LogText();
    EXPECT_EQ(particle_system_test::Floats(*system, 3)[0], 4.0f);
}

TEST_F(ParticleSystemTest, LoadsTextOrScriptFiles) {
    AddFile("fx/spark.lua", "gLoaded = 1\nSetNumParticles(5)\n");
    AddFile("fx/broken.lua", "gLoaded = = 1\n");
    AddFile("fx/fails.lua", "gLoaded = 2\nerror('boom')\n");
    struct TCase {
        const char* name;
        bool result;
        double loaded;
        const char* folder;
    };
    const TCase cases[] = {
        {"gLoaded = 3", true, 3, ""},     {"fx/spark.lua", true, 1, "fx/"},
        {"fx/missing.lua", false, 0, ""}, {"fx/broken.lua", false, 0, "fx/"},
        {"fx/fails.lua", true, 2, "fx/"}, {"gLoaded = ", true, 0, ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto system = MakeSystem();
        RunLua(*system, "Done()");
        ASSERT_TRUE(system->IsDone());
        EXPECT_EQ(system->Load(c.name), c.result);
        EXPECT_EQ(system->GetScript()->GetGlobalNumber("gLoaded"), c.loaded);
        EXPECT_STREQ(system->GetScriptFolder().CStr(), c.folder);
        // Only a successful load clears the done flag.
        EXPECT_EQ(system->IsDone(), !c.result);
    }
    auto system = MakeSystem();
    ASSERT_TRUE(system->Load("fx/spark.lua"));
    EXPECT_EQ(system->GetCollection().GetRecordCount(), 5);
}

TEST_F(ParticleSystemTest, LoadClearsTheEmissionDebt) {
    auto system = MakeSystem("SetNumParticles(1)");
    system->CreateParticles(3);
    ASSERT_EQ(system->GetEmissionDebt(), 1.0f);
    EXPECT_TRUE(system->Load("gX = 1"));
    EXPECT_EQ(system->GetEmissionDebt(), 0.0f);
}

TEST_F(ParticleSystemTest, TheSharedGeneratorLivesWithTheSystems) {
    ASSERT_EQ(ParticleRandom(), nullptr);
    auto first = std::make_unique<TLuaParticleSystem>();
    TRandom* shared = ParticleRandom();
    ASSERT_NE(shared, nullptr);
    // Seeded from a GUID, not left at the default key.
    TRandom fixed;
    TRandom copy = *shared;
    EXPECT_NE(copy.Next(), fixed.Next());
    auto second = std::make_unique<TLuaParticleSystem>();
    EXPECT_EQ(ParticleRandom(), shared);
    first.reset();
    EXPECT_EQ(ParticleRandom(), shared);
    second.reset();
    EXPECT_EQ(ParticleRandom(), nullptr);
    auto third = std::make_unique<TLuaParticleSystem>();
    EXPECT_NE(ParticleRandom(), nullptr);
}

TEST_F(ParticleSystemTest, ExternalParametersBecomeMemberReferences) {
    particle_test::TLocus emitter(TVec2(30, 40));
    particle_test::TLocus other(TVec2(1, 2));
    auto system = MakeSystem();
    EXPECT_EQ(system->AddParameter("gEmitter", &emitter), -1);
    EXPECT_EQ(system->AddParameter("gOther", &other), -2);
    RunLua(*system, "gOffset, gSize = GetParticleMemberParts(gOther)");
    EXPECT_EQ(system->GetScript()->GetGlobalNumber("gOffset"), -2);
    EXPECT_EQ(system->GetScript()->GetGlobalNumber("gSize"), 2);
    RunLua(*system, "SetNumParticles(2)\n"
                    "pPosition:Init(gEmitter)\n"
                    "pScale:Init(gOther[2])\n");
    system->CreateParticles(1);
    const std::vector<float> record = particle_system_test::Floats(*system, 1);
    EXPECT_EQ(record[0], 30.0f);
    EXPECT_EQ(record[1], 40.0f);
    EXPECT_EQ(record[4], 2.0f);
}

// Members laid after the pool, or past 255 floats, would lie outside the records.
TEST_F(ParticleSystemTest, AllocateRefusesMembersOutsideTheRecords) {
    auto system = MakeSystem("gA = Allocate(200)\ngB = Allocate(45)\n");
    EXPECT_EQ(system->GetFloatsPerParticle(), 255);
    RunLua(*system, "gC = Allocate(1)");
    EXPECT_NE(LogText().find("error in `Allocate': a particle has at most 255 floats"),
              std::string::npos)
        << LogText();
    EXPECT_EQ(system->GetFloatsPerParticle(), 255);
    EXPECT_EQ(system->GetMemberSizes().size(), 7u);
    EXPECT_EQ(Number(*system, "type(gC) == 'nil' and 1 or 0"), 1);

    system = MakeSystem("SetNumParticles(4)\ngD = Allocate(2)");
    EXPECT_NE(LogText().find("error in `Allocate': members must be allocated before "
                             "SetNumParticles"),
              std::string::npos)
        << LogText();
    EXPECT_EQ(system->GetFloatsPerParticle(), 10);
    EXPECT_EQ(system->GetCollection().GetRecordStride(), 40);

    // Allocate takes the low 8 bits of its count.
    system = MakeSystem("gE = Allocate(258)");
    EXPECT_EQ(system->GetFloatsPerParticle(), 12);
}

TEST_F(ParticleSystemTest, SetNumParticlesRefusesPoolsItCannotMake) {
    struct TCase {
        const char* count;
        bool made;
    };
    const TCase cases[] = {
        {"-1", false},
        // 2^27 particles of 10 floats: 5 GB, more than 32 bits of bytes.
        {"134217728", false},
        {"0/0", false},
        {"8", true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.count);
        auto system = MakeSystem("SetNumParticles(16)");
        system->CreateParticles(2);
        RunLua(*system, std::string("SetNumParticles(") + c.count + ")");
        EXPECT_EQ(system->GetCollection().GetRecordCount(), c.made ? 8 : 0);
        EXPECT_EQ(system->GetCollection().GetLiveCount(), 0);
        system->CreateParticles(1);
        EXPECT_EQ(system->GetCollection().GetLiveCount(), c.made ? 1 : 0);
        if (!c.made) {
            EXPECT_NE(LogText().find("error in `SetNumParticles': cannot make a pool of"),
                      std::string::npos)
                << LogText();
            // Members may still be allocated: there is no pool.
            RunLua(*system, "gMore = Allocate(1)");
            EXPECT_EQ(system->GetFloatsPerParticle(), 11);
        }
    }
}

TEST_F(ParticleSystemTest, RenderDrawsNothingWithoutLiveParticles) {
    // A renderer that counts its calls.
    class TCountingRenderer final : public TParticleRenderer {
    public:
        void Render(const TVec3*, float alpha, const TParticleCollection& particles) override {
            ++calls;
            lastAlpha = alpha;
            lastLive = particles.GetLiveCount();
        }
        void SetTexture(const TTexturePtr&) override {}
        void SetParam(const str& name, const float* value) override {
            params += std::string(name.CStr()) + "=" + std::to_string(*value) + ";";
        }
        const float* GetDefaultValues() const override { return defaults; }
        int GetDefaultCount() const override { return 1; }
        str GetInitText() const override { return "pOnly = Allocate(1)"; }

        int calls = 0;
        float lastAlpha = 0.0f;
        int lastLive = 0;
        std::string params;
        float defaults[1] = {5.0f};
    };
    TCountingRenderer renderer;
    {
        auto system = MakeSystem("SetNumParticles(3)\nSetBlendMode(3)\n", &renderer);
        EXPECT_EQ(system->GetFloatsPerParticle(), 1);
        EXPECT_EQ(renderer.params, "blendmode=3.000000;");
        system->Render(nullptr);
        EXPECT_EQ(renderer.calls, 0);
        system->CreateParticles(2);
        system->SetAlpha(0.25f);
        system->Render(nullptr);
        EXPECT_EQ(renderer.calls, 1);
        EXPECT_EQ(renderer.lastAlpha, 0.25f);
        EXPECT_EQ(renderer.lastLive, 2);
        EXPECT_EQ(particle_system_test::Floats(*system, 2), (std::vector<float>{5.0f}));
    }
    // The caller's renderer outlives the system.
    EXPECT_EQ(renderer.calls, 1);
}

} // namespace
