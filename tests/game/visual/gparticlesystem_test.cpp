// The pooled particle system of the "Particles" effect and the position nodes that feed emitter
// points to particle scripts.
#include "engine/core/knownfiles.h"
#include "engine/script/script.h"
#include "game/visual/GParticleSystem.h"
#include "game/visual/GParticleSystemPool.h"
#include "game/visual/PSimpleLocus.h"
#include "game/visual/particle_layerLocus.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

class TRecordingOwner : public GParticleSystemOwner {
public:
    void OnScriptEnd() override { mEvents.push_back("end"); }
    void OnReleased() override { mEvents.push_back("released"); }
    std::vector<std::string> mEvents;
};

class GParticleSystemTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (const auto& file : mFiles) {
            RegisterMemoryFile(file.first.c_str(), nullptr, 0);
        }
    }

    void AddFile(const std::string& name, const std::string& text) {
        std::string& stored = mFiles[name];
        stored = text;
        stored.reserve(1);
        RegisterMemoryFile(name.c_str(), stored.data(), static_cast<unsigned>(stored.size()));
    }

    static double Number(GParticleSystem& system, const std::string& expression) {
        system.DoLuaString(("gTestValue = " + expression).c_str());
        return system.GetParticles().GetScript()->GetGlobalNumber("gTestValue");
    }

    std::map<std::string, std::string> mFiles;
};

// Runs the node as a statement of no arguments and reads the value it pushed.
std::vector<float> EvaluateNode(TParticleFunction& node) {
    TParticleValueStack values(true);
    TParticleContext context;
    TParticleFrame frame;
    frame.stack = &values.Stack();
    EXPECT_EQ(node.ResultSize(0, nullptr), 2);
    EXPECT_TRUE(node.Evaluate(&context, &frame));
    EXPECT_EQ(frame.top, 1);
    const float* data = frame.stack->data;
    return {data[0], data[1]};
}

TEST(GParticleFunctionsTest, PushTheirPoint) {
    GParticleSystem system;
    system.SetPosition({12.5f, -3.0f});
    particle_layerLocus layerLocus;
    layerLocus.mPoint = {4.0f, 5.0f};
    PSimpleLocus simpleLocus;
    simpleLocus.mPoint = {-7.0f, 8.25f};

    EXPECT_EQ(EvaluateNode(system), (std::vector<float>{12.5f, -3.0f}));
    EXPECT_EQ(EvaluateNode(layerLocus), (std::vector<float>{4.0f, 5.0f}));
    EXPECT_EQ(EvaluateNode(simpleLocus), (std::vector<float>{-7.0f, 8.25f}));
    EXPECT_STREQ(layerLocus.GetClassName(), "particle_layerLocus");
    EXPECT_STREQ(simpleLocus.GetClassName(), "PSimpleLocus");
}

TEST_F(GParticleSystemTest, LoadsTheScriptWithItsGlobals) {
    AddFile("particles/spark.lua", "gLoaded = 1\n"
                                   "gDump = ScriptDump ~= nil and 1 or 0\n"
                                   "gEnd = OnEnd ~= nil and 1 or 0\n"
                                   "gPos = dPos ~= nil and 1 or 0\n"
                                   "AdditionalVars = {'dUnknown'}\n");
    GParticleSystem system;
    EXPECT_EQ(system.GetUseState(), GParticleSystem::kNew);
    system.Load("spark");
    EXPECT_EQ(system.GetUseState(), GParticleSystem::kIdle);
    EXPECT_EQ(system.GetScriptName(), str("spark"));
    for (const char* name : {"gLoaded", "gDump", "gEnd", "gPos"}) {
        EXPECT_EQ(Number(system, name), 1) << name;
    }
    // No creator is known, so the additional name stays undefined.
    EXPECT_EQ(Number(system, "dUnknown == nil and 1 or 0"), 1);
    system.DoLuaString("ScriptDump('text')");

    // A missing script leaves an idle system without particles.
    GParticleSystem missing;
    missing.Load("absent");
    EXPECT_EQ(missing.GetUseState(), GParticleSystem::kIdle);
}

TEST_F(GParticleSystemTest, StopAndRelease) {
    AddFile("particles/fx.lua", "gActive = true\ngStops = 0\n"
                                "function OnStop() gStops = gStops + 1 end\n");
    GParticleSystem system;
    system.Load("fx");
    system.Stop();
    EXPECT_EQ(Number(system, "gActive and 1 or 0"), 0);
    EXPECT_EQ(Number(system, "gStops"), 1);

    // Only a system in use is released.
    system.Release();
    EXPECT_EQ(Number(system, "gStops"), 1);

    TRecordingOwner owner;
    system.SetUseState(GParticleSystem::kInUse);
    system.SetOwner(&owner);
    owner.SetSystem(&system);
    system.DoLuaString("gActive = true");
    system.Release();
    EXPECT_EQ(system.GetUseState(), GParticleSystem::kIdle);
    EXPECT_EQ(system.GetOwner(), nullptr);
    EXPECT_EQ(owner.GetSystem(), nullptr);
    EXPECT_EQ(Number(system, "gActive and 1 or 0"), 0);
    EXPECT_EQ(Number(system, "gStops"), 2);
    EXPECT_TRUE(owner.mEvents.empty());
}

TEST_F(GParticleSystemTest, ScriptEndGoesToTheOwner) {
    AddFile("particles/fx.lua", "gStops = 0\nfunction OnStop() gStops = gStops + 1 end\n");
    GParticleSystem system;
    system.Load("fx");
    system.SetUseState(GParticleSystem::kInUse);
    {
        TRecordingOwner owner;
        system.SetOwner(&owner);
        owner.SetSystem(&system);
        system.DoLuaString("OnEnd()");
        EXPECT_EQ(owner.mEvents, (std::vector<std::string>{"end"}));
        EXPECT_EQ(system.GetUseState(), GParticleSystem::kInUse);
        // An owner that dies holding the system gives it back.
    }
    EXPECT_EQ(system.GetUseState(), GParticleSystem::kIdle);
    EXPECT_EQ(system.GetOwner(), nullptr);
    EXPECT_EQ(Number(system, "gStops"), 1);

    // Without an owner a system in use becomes idle and stops.
    system.SetUseState(GParticleSystem::kInUse);
    system.DoLuaString("OnEnd()");
    EXPECT_EQ(system.GetUseState(), GParticleSystem::kIdle);
    EXPECT_EQ(Number(system, "gStops"), 2);
}

TEST_F(GParticleSystemTest, OwnerSwitchesSystems) {
    AddFile("particles/fx.lua", "gStops = 0\nfunction OnStop() gStops = gStops + 1 end\n");
    GParticleSystem first;
    GParticleSystem second;
    first.Load("fx");
    second.Load("fx");
    TRecordingOwner owner;
    first.SetUseState(GParticleSystem::kInUse);
    first.SetOwner(&owner);
    owner.SetSystem(&first);
    second.SetUseState(GParticleSystem::kInUse);
    second.SetOwner(&owner);
    owner.SetSystem(&second);
    EXPECT_EQ(owner.GetSystem(), &second);
    EXPECT_EQ(first.GetUseState(), GParticleSystem::kIdle);
    EXPECT_EQ(Number(first, "gStops"), 1);

    // Taking a system away tells the owner without stopping the script.
    second.TakeFromOwner();
    EXPECT_EQ(owner.GetSystem(), nullptr);
    EXPECT_EQ(owner.mEvents, (std::vector<std::string>{"released"}));
    EXPECT_EQ(Number(second, "gStops"), 0);
}

TEST_F(GParticleSystemTest, PoolReusesAndTakesOverTheNewest) {
    AddFile("particles/fx.lua", "gStarts = 0\ngStops = 0\n"
                                "function OnStart(n) gStarts = gStarts + 1; gArg = n end\n"
                                "function OnStop() gStops = gStops + 1 end\n");
    GParticleSystemPool pool;
    std::vector<std::unique_ptr<TRecordingOwner>> owners;
    for (int i = 0; i < GParticleSystemPool::kMaxInUse + 1; ++i) {
        owners.push_back(std::make_unique<TRecordingOwner>());
    }
    for (int i = 0; i < GParticleSystemPool::kMaxInUse; ++i) {
        GParticleSystem* system = pool.Acquire("fx", owners[i].get());
        ASSERT_EQ(system, pool.GetAt(i));
        EXPECT_EQ(owners[i]->GetSystem(), system);
        EXPECT_EQ(system->GetOwner(), owners[i].get());
        EXPECT_EQ(system->GetUseState(), GParticleSystem::kInUse);
        EXPECT_EQ(Number(*system, "gStarts"), 1);
        EXPECT_EQ(Number(*system, "gArg"), -1);
    }

    // The 32nd takes over the newest; its owner is told and the script restarts.
    TRecordingOwner& last = *owners[GParticleSystemPool::kMaxInUse];
    GParticleSystem* newest = pool.GetAt(GParticleSystemPool::kMaxInUse - 1);
    EXPECT_EQ(pool.Acquire("fx", &last), newest);
    EXPECT_EQ(pool.GetCount(), static_cast<size_t>(GParticleSystemPool::kMaxInUse));
    TRecordingOwner& robbed = *owners[GParticleSystemPool::kMaxInUse - 1];
    EXPECT_EQ(robbed.GetSystem(), nullptr);
    EXPECT_EQ(robbed.mEvents, (std::vector<std::string>{"released"}));
    EXPECT_EQ(last.GetSystem(), newest);
    EXPECT_EQ(Number(*newest, "gStops"), 1);
    EXPECT_EQ(Number(*newest, "gStarts"), 2);

    // A released system is reused before a new one is made; another script gets its own.
    GParticleSystem* third = pool.GetAt(2);
    third->Release();
    EXPECT_EQ(owners[2]->GetSystem(), nullptr);
    EXPECT_EQ(pool.Acquire("fx", owners[2].get()), third);
    AddFile("particles/other.lua", "gOther = 1\n");
    TRecordingOwner other;
    GParticleSystem* made = pool.Acquire("other", &other);
    EXPECT_EQ(pool.GetCount(), static_cast<size_t>(GParticleSystemPool::kMaxInUse + 1));
    EXPECT_EQ(Number(*made, "gOther"), 1);

    // Clearing lets go of every system; their owners no longer hold them.
    pool.Clear();
    EXPECT_EQ(pool.GetCount(), 0u);
    EXPECT_EQ(other.GetSystem(), nullptr);
    EXPECT_EQ(last.GetSystem(), nullptr);
}

} // namespace
