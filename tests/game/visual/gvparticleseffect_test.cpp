// The "Particles" effect on objects loaded from files: its registration, load and copy, the pooled
// systems it takes and gives back (the takeover of the newest, restarts, stops, the script's
// OnEnd), its update steps on the dialog's clock and across dialogs, the emitter position it
// feeds to the script, the pool emptied at shutdown, and its particles drawn before or after the
// object on the headless software renderer.

#include "engine/core/random.h"
#include "engine/media/particlefunction.h"
#include "engine/media/particlerenderer.h"
#include "engine/script/script.h"
#include "game/visual/GParticleSystemPool.h"
#include "game/visual/GVEffects.h"
#include "game/visual/GVParticlesEffect.h"
#include "game/visual/GVState.h"
#include "game/visual/GVStates.h"
#include "tests/game/visual/visual_xml_fixture.h"

#include <memory>
#include <string>
#include <vector>

namespace gvparticleseffect_test {
namespace {

using visual_test::Key;

// Records its starts, stops and update steps (in whole ms); ends itself when gEndNow is set.
constexpr char kRecordingScript[] = "gStarts = 0\n"
                                    "gStops = 0\n"
                                    "gSteps = ''\n"
                                    "gActive = true\n"
                                    "function OnStart(n) gStarts = gStarts + 1; gStartArg = n end\n"
                                    "function OnStop() gStops = gStops + 1 end\n"
                                    "function Update(s)\n"
                                    "  gSteps = gSteps .. math.floor(s * 1000 + 0.5) .. ','\n"
                                    "  if gEndNow then gEndNow = nil; OnEnd() end\n"
                                    "end\n";

// One 64 x 64 frame of "sq.png" and a "normal" state running the effect element.
std::string ObjectXml(const std::string& attributes, const std::string& effect) {
    return "<main " + attributes +
           "><images><img name=\"sq.png\"/></images>"
           "<framelist><frame w=\"64\" h=\"64\"/></framelist>"
           "<states><state id=\"normal\" framelist=\"0\">" +
           effect + "</state><state id=\"still\" framelist=\"0\"/></states></main>";
}

GVParticlesEffect* Effect(const GVObject* object) {
    const GVState* state = object->GetStates()->Find(Key("normal"));
    if (state == nullptr || state->GetEffects() == nullptr) {
        return nullptr;
    }
    return dynamic_cast<GVParticlesEffect*>(state->GetEffects()->At(0));
}

std::string Global(GParticleSystem* system, const char* name) {
    const str value = system->GetParticles().GetScript()->GetGlobalString(name);
    return value.CStr() != nullptr ? std::string(value.CStr(), value.Length()) : std::string();
}

double Number(GParticleSystem* system, const char* expression) {
    system->DoLuaString((std::string("gTestValue = ") + expression).c_str());
    return system->GetParticles().GetScript()->GetGlobalNumber("gTestValue");
}

// The steps recorded so far, which are then forgotten.
std::string TakeSteps(GParticleSystem* system) {
    const std::string steps = Global(system, "gSteps");
    system->DoLuaString("gSteps = ''");
    return steps;
}

class GVParticlesEffectTest : public visual_test::TVisualXmlTest {
protected:
    void SetUp() override {
        TVisualXmlTest::SetUp();
        ServeImage("sq.png", 64, 0xFF2040C0u);
        ServeScript("fx", kRecordingScript);
    }

    void TearDown() override {
        mClones.clear();
        TVisualXmlTest::TearDown();
        for (const auto& file : mScripts) {
            RegisterMemoryFile(file.first.c_str(), nullptr, 0);
        }
    }

    // Serves the text as "particles/" + name + ".lua".
    void ServeScript(const std::string& name, const std::string& text) {
        const std::string path = "particles/" + name + ".lua";
        std::string& stored = mScripts[path];
        stored = text;
        RegisterMemoryFile(path.c_str(), stored.data(), static_cast<unsigned>(stored.size()));
    }

    // A clone of "obj" served with the effect element; its effect started with "normal".
    GVObject* Emitter(const std::string& effect, const std::string& attributes = "") {
        ServeXml("obj", ObjectXml(attributes, effect));
        GVFactory::Instance().ClearCache();
        return Create("obj");
    }

    // One pass of the dialog's tasks after ms more milliseconds.
    void Tick(int ms) {
        standin::AdvanceTime(static_cast<DWORD>(ms));
        Send(manager_test::MakeEvent(kEventIdle));
    }

    std::map<std::string, std::string> mScripts;
};

TEST_F(GVParticlesEffectTest, RegisteredByNameLoadedWithoutEnableAndCopiedWithItsObject) {
    const auto found = GetEffectCreators().find("Particles");
    ASSERT_NE(found, GetEffectCreators().end());
    std::unique_ptr<GVEffect> made(found->second());
    EXPECT_STREQ(made->GetClassName(), "GVParticlesEffect");
    EXPECT_STREQ(made->GetTypeName(), "Particles");
    EXPECT_EQ(made->GetEventMask(), GVEffect::kEventParticles);
    EXPECT_TRUE(made->IsKindOf(GVEffect::ClassIdentity()));
    EXPECT_TRUE(made->IsKindOf(GVParticlesEffect::ClassIdentity()));

    // The clone's effect is a copy of the prototype's.
    const struct {
        const char* element;
        const char* scriptId;
        bool post;
        TVec2 offset;
    } cases[] = {
        {"<Particles id=\"fx\" isPreParticle=\"1\" deltaX=\"5\" deltaY=\"-3.5\" enable=\"0\"/>",
         "fx",
         true,
         {5.0f, -3.5f}},
        {"<Particles/>", "", false, {0.0f, 0.0f}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.element);
        GVObject* object = Emitter(c.element);
        ASSERT_NE(object, nullptr);
        GVParticlesEffect* effect = Effect(object);
        ASSERT_NE(effect, nullptr);
        EXPECT_EQ(effect->GetScriptId(), str(c.scriptId));
        EXPECT_EQ(effect->IsPost(), c.post);
        EXPECT_EQ(effect->GetOffset().x, c.offset.x);
        EXPECT_EQ(effect->GetOffset().y, c.offset.y);
        EXPECT_TRUE(effect->IsEnabled());
        EXPECT_EQ(object->GetEffects()->RunningCount(), 1);
        mClones.clear();
    }
}

TEST_F(GVParticlesEffectTest, StepsAreTwoThirdsOfTheClockUpTo150AndNothingFirstOrBackwards) {
    const struct {
        int32_t elapsed;
        int step;
    } steps[] = {{-40, 0}, {0, 0}, {1, 0}, {2, 1}, {150, 100}, {226, 150}, {227, 16}, {300, 16}};
    for (const auto& s : steps) {
        EXPECT_EQ(GParticleSystem::StepFor(s.elapsed), s.step) << s.elapsed;
    }

    GVObject* object = Emitter("<Particles id=\"fx\"/>");
    ASSERT_NE(object, nullptr);
    GParticleSystem* system = Effect(object)->GetSystem();
    ASSERT_NE(system, nullptr);
    // The first update has nothing to measure from, however late it comes.
    Tick(500);
    Tick(300);
    Tick(150);
    Tick(0);
    EXPECT_EQ(TakeSteps(system), "0,16,100,0,");
}

TEST_F(GVParticlesEffectTest, ADialogComingOrGoingNeverRunsTheParticlesBackwardsOrFarAhead) {
    // Outside any dialog the timer runs in the platform's list, whatever is on top.
    GVLayer loose;
    GVFactory::Instance().SetCurrentLayer(&loose);
    GVObject* object = Emitter("<Particles id=\"fx\"/>");
    GVFactory::Instance().SetCurrentLayer(&mLayer);
    ASSERT_NE(object, nullptr);
    ASSERT_NE(Effect(object)->GetTimer(), nullptr);
    GParticleSystem* system = Effect(object)->GetSystem();
    const auto run = [](int ms) {
        standin::AdvanceTime(static_cast<DWORD>(ms));
        TPlatform::GetInstance()->GetTaskList()->Run(0);
    };
    run(0);
    run(90);
    run(1000);
    // The new dialog's clock starts at 0, far behind the dialog below.
    Push("over");
    run(30);
    run(40);
    // Back to the dialog below, whose clock stood far ahead of the one that went.
    Manager()->DoPopModal("over");
    run(10);
    EXPECT_EQ(TakeSteps(system), "0,60,16,0,26,16,");
    mClones.clear();
}

TEST_F(GVParticlesEffectTest, The32ndEffectOfAScriptTakesOverTheNewestSystem) {
    std::vector<GVObject*> objects;
    for (int i = 0; i < GParticleSystemPool::kMaxInUse; ++i) {
        ServeXml("obj", ObjectXml("", "<Particles id=\"fx\"/>"));
        objects.push_back(Create("obj"));
        ASSERT_NE(objects.back(), nullptr);
        GParticleSystem* system = Effect(objects.back())->GetSystem();
        ASSERT_NE(system, nullptr);
        EXPECT_EQ(Number(system, "gStarts"), 1);
        EXPECT_EQ(Number(system, "gStartArg"), -1);
    }
    GParticleSystemPool& pool = GetParticleSystemPool();
    EXPECT_EQ(pool.GetCount(), static_cast<size_t>(GParticleSystemPool::kMaxInUse));
    Tick(0);

    GVParticlesEffect* robbed = Effect(objects.back());
    GParticleSystem* newest = robbed->GetSystem();
    GVObject* last = Create("obj");
    ASSERT_NE(last, nullptr);
    GVParticlesEffect* taker = Effect(last);
    EXPECT_EQ(taker->GetSystem(), newest);
    EXPECT_EQ(pool.GetCount(), static_cast<size_t>(GParticleSystemPool::kMaxInUse));
    EXPECT_EQ(robbed->GetSystem(), nullptr);
    EXPECT_EQ(robbed->GetTimer(), nullptr);
    EXPECT_EQ(Number(newest, "gStops"), 1);
    EXPECT_EQ(Number(newest, "gStarts"), 2);
    EXPECT_EQ(Number(newest, "gActive and 1 or 0"), 0);

    // Only the new owner advances it; the others keep their own.
    TakeSteps(newest);
    Tick(30);
    EXPECT_EQ(TakeSteps(newest), "0,");
    EXPECT_EQ(TakeSteps(Effect(objects.front())->GetSystem()), "0,20,");

    // Started again, the robbed effect makes a new timer and takes the newest back in turn.
    EXPECT_TRUE(robbed->Start());
    EXPECT_EQ(robbed->GetSystem(), newest);
    EXPECT_NE(robbed->GetTimer(), nullptr);
    EXPECT_EQ(taker->GetSystem(), nullptr);
    EXPECT_EQ(taker->GetTimer(), nullptr);
}

TEST_F(GVParticlesEffectTest, RestartStopAndTheScriptsEndGiveTheSystemBack) {
    GVObject* object = Emitter("<Particles id=\"fx\"/>");
    ASSERT_NE(object, nullptr);
    GVParticlesEffect* effect = Effect(object);
    GParticleSystem* system = effect->GetSystem();
    ASSERT_NE(system, nullptr);
    GParticleSystemPool& pool = GetParticleSystemPool();
    ASSERT_EQ(pool.GetCount(), 1u);

    // Starting again gives the first system back before taking one: the same, now idle.
    EXPECT_TRUE(effect->Start());
    EXPECT_EQ(effect->GetSystem(), system);
    EXPECT_EQ(pool.GetCount(), 1u);
    EXPECT_EQ(Number(system, "gStops"), 1);
    EXPECT_EQ(Number(system, "gStarts"), 2);

    // Stopping keeps it, switched off and run on by three seconds at once.
    TakeSteps(system);
    object->ApplyState(Key("still"), true);
    EXPECT_EQ(object->GetEffects()->RunningCount(), 0);
    EXPECT_EQ(effect->GetSystem(), system);
    EXPECT_EQ(Number(system, "gActive and 1 or 0"), 0);
    EXPECT_EQ(Number(system, "gStops"), 2);
    EXPECT_EQ(TakeSteps(system), "3000,");

    // The script's OnEnd gives it back.
    object->ApplyState(Key("normal"), true);
    ASSERT_EQ(effect->GetSystem(), system);
    system->DoLuaString("gEndNow = true");
    Tick(20);
    EXPECT_EQ(effect->GetSystem(), nullptr);
    EXPECT_EQ(system->GetUseState(), GParticleSystem::kIdle);
    EXPECT_EQ(system->GetOwner(), nullptr);
    EXPECT_EQ(Number(system, "gStops"), 4);
    // Its timer goes on, advancing nothing.
    EXPECT_NE(effect->GetTimer(), nullptr);
    TakeSteps(system);
    Tick(20);
    EXPECT_EQ(TakeSteps(system), "");

    // The object goes: its effect gives back what it holds, and its timer ends at its next run.
    effect->Start();
    ASSERT_EQ(effect->GetSystem(), system);
    mClones.clear();
    EXPECT_EQ(system->GetUseState(), GParticleSystem::kIdle);
    EXPECT_EQ(Number(system, "gStops"), 5);
    Tick(20);
}

TEST_F(GVParticlesEffectTest, TheEmitterPositionIsTheWorldPositionPlusTheOffset) {
    GVObject* object =
        Emitter("<Particles id=\"fx\" deltaX=\"5\" deltaY=\"-3\"/>", "deltaX=\"40\" deltaY=\"30\"");
    ASSERT_NE(object, nullptr);
    mLayer.UpdateObjects();
    GParticleSystem* system = Effect(object)->GetSystem();
    ASSERT_NE(system, nullptr);
    EXPECT_EQ(system->GetPosition().x, 45.0f);
    EXPECT_EQ(system->GetPosition().y, 27.0f);
    visual_test::Move(object, 10.0f, 1.0f);
    mLayer.UpdateObjects();
    EXPECT_EQ(system->GetPosition().x, 55.0f);
    EXPECT_EQ(system->GetPosition().y, 28.0f);
    // The script reads it as "dPos".
    system->DoLuaString("gHasPos = dPos ~= nil and 1 or 0");
    EXPECT_EQ(Number(system, "gHasPos"), 1);
}

TEST_F(GVParticlesEffectTest, ThePlatformEmptiesThePoolBeforeTheAssetsGo) {
    // The system's renderer holds a texture of the asset manager.
    texture_test::TBytes& png = mFiles["particles/dot.png"];
    png = visual_test::PatternPng(12, 12, [](int, int) { return 0xFFFFFFFFu; });
    RegisterMemoryFile("particles/dot.png", png.data(), static_cast<unsigned>(png.size()));
    ServeScript("textured", "SetTexture('dot.png')\n");
    GVObject* object = Emitter("<Particles id=\"textured\"/>");
    ASSERT_NE(object, nullptr);
    GParticleSystem* system = Effect(object)->GetSystem();
    ASSERT_NE(system, nullptr);
    const auto* renderer =
        dynamic_cast<const T2dParticleRenderer*>(system->GetParticles().GetRenderer());
    ASSERT_NE(renderer, nullptr);
    ASSERT_EQ(renderer->GetTextureSize().x, 12.0f);
    GParticleSystemPool& pool = GetParticleSystemPool();
    ASSERT_EQ(pool.GetCount(), 1u);

    delete mPlatform;
    mPlatform = nullptr;
    EXPECT_EQ(pool.GetCount(), 0u);
    EXPECT_EQ(Effect(object)->GetSystem(), nullptr);
}

// A fountain of orange 6 x 6 squares at "dPos", a hundred a second, each living 300 ms and moving
// by up to 40 pixels a second each way.
constexpr char kFountainScript[] =
    "pVelocity = Allocate(2)\n"
    "pAge = Allocate(1)\n"
    "SetNumParticles(64)\n"
    "pPosition:Init(dPos)\n"
    "pVelocity:Init(fRange(Vec2(-40, -40), Vec2(40, 40)))\n"
    "pScale:Init(6)\n"
    "pColor:Init(Color(1, 0.5, 0, 1))\n"
    "pAge:Init(0)\n"
    "pPosition:Anim(pPosition + fTimeScale(pVelocity))\n"
    "pAge:Anim(pAge + fAge())\n"
    "Anim(fExpire(fLess(300, pAge)))\n"
    "NewParticleGenerator()\n"
    "gActive = true\n"
    "function Create() end\n"
    "function Update(s)\n"
    "  if gActive then Spawn(ParticlesPerSecond(100, s * 1000)) end\n"
    "end\n";

TEST_F(GVParticlesEffectTest, GoldenParticlesBeforeAndAfterTheObject) {
    ServeScript("fountain", kFountainScript);
    constexpr uint32_t kOrange = 0xFF7F00u;
    constexpr uint32_t kBlue = 0x2040C0u;
    constexpr D3DCOLOR kBackground = 0xFF102030;
    const struct {
        const char* isPreParticle;
        const char* golden;
        // At (229, 182), inside the object, beside the emitter point (232, 182).
        uint32_t inside;
    } cases[] = {{"0", "particles_before.png", kBlue}, {"1", "particles_after.png", kOrange}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.golden);
        // The same particles every time.
        auto random = std::make_unique<TRandom>();
        random->Seed(5489);
        SetParticleRandom(std::move(random));
        GVObject* object = Emitter(std::string("<Particles id=\"fountain\" deltaX=\"64\" "
                                               "deltaY=\"32\" isPreParticle=\"") +
                                       c.isPreParticle + "\"/>",
                                   "deltaX=\"168\" deltaY=\"150\"");
        ASSERT_NE(object, nullptr);
        // The update pass gives the effect the object's position.
        mLayer.UpdateObjects();
        for (int i = 0; i < 50; ++i) {
            Tick(20);
        }
        const standin::TScreenImage image = DrawFrame(kBackground);
        EXPECT_EQ(At(image, 229, 182), c.inside);
        // Beside the object the particles show either way; the object's far corners and the
        // background are out of their reach. The object covers [168, 232) x [150, 214).
        EXPECT_EQ(At(image, 233, 182), kOrange);
        EXPECT_EQ(At(image, 168, 150), kBlue);
        EXPECT_EQ(At(image, 231, 213), kBlue);
        EXPECT_EQ(At(image, 167, 150), 0x102030u);
        EXPECT_EQ(At(image, 300, 300), 0x102030u);
        ExpectGolden(image, c.golden);
        mClones.clear();
        GetParticleSystemPool().Clear();
    }
}

} // namespace
} // namespace gvparticleseffect_test
