// The particle windows built from window descriptions: the simple particle window with its style
// and right click, the particle layer with its name, mouse locus and animation, the fly emitters
// with "CPP_OnPrtInitComplete", their joining, single load, flights and particles drawn by their
// layer, and emitters and layers deleted in either order.

#include "engine/core/event.h"
#include "engine/script/script.h"
#include "game/visual/GFlyEmitter.h"
#include "game/visual/TPSimple.h"
#include "game/visual/particle_layer.h"
#include "tests/engine/ui/widget_fixture.h"

#include <gtest/gtest.h>

#include <string>

namespace particlewindows_test {
namespace {

using widget_test::MakeEvent;
using widget_test::TBytes;

constexpr uint32_t kGreen = 0x00FF00u;
constexpr uint32_t kRed = 0xFF0000u;

TBytes Bytes(const std::string& text) {
    return TBytes(text.begin(), text.end());
}

// Particles of 4 x 4 pixels of the colour, standing at "dLocus", a hundred a second while gActive
// holds; every update's step is recorded in gSteps (whole ms) and every load counted in gLoads.
std::string LocusScript(const char* color) {
    return std::string("gLoads = (gLoads or 0) + 1\n"
                       "gSteps = ''\n"
                       "SetNumParticles(32)\n"
                       "pPosition:Init(dLocus)\n"
                       "pScale:Init(4)\n"
                       "pColor:Init(Color(") +
           color +
           "))\n"
           "NewParticleGenerator()\n"
           "function Create() end\n"
           "function Update(s)\n"
           "  gSteps = gSteps .. math.floor(s * 1000 + 0.5) .. ','\n"
           "  if gActive then Spawn(ParticlesPerSecond(100, s * 1000)) end\n"
           "end\n";
}

std::string Text(const str& text) {
    return text.CStr() != nullptr ? std::string(text.CStr(), text.Length()) : std::string();
}

std::string Global(TLuaParticleSystem* system, const char* name) {
    return Text(system->GetScript()->GetGlobalString(name));
}

double Number(TLuaParticleSystem* system, const char* expression) {
    system->GetScript()->DoLuaString((std::string("gTestValue = ") + expression).c_str());
    return system->GetScript()->GetGlobalNumber("gTestValue");
}

bool Active(TLuaParticleSystem* system) {
    return Number(system, "gActive and 1 or 0") == 1;
}

// The steps recorded so far, which are then forgotten.
std::string TakeSteps(TLuaParticleSystem* system) {
    const std::string steps = Global(system, "gSteps");
    system->GetScript()->DoLuaString("gSteps = ''");
    return steps;
}

int CountPixels(const standin::TScreenImage& image, uint32_t rgb) {
    int count = 0;
    for (uint32_t pixel : image.pixels) {
        count += (pixel & 0xFFFFFFu) == rgb ? 1 : 0;
    }
    return count;
}

uint32_t At(const standin::TScreenImage& image, int x, int y) {
    return image.pixels[static_cast<size_t>(y) * static_cast<size_t>(image.width) +
                        static_cast<size_t>(x)] &
           0xFFFFFFu;
}

class ParticleWindowsTest : public widget_test::TWidgetTest {
protected:
    void SetUp() override {
        TWidgetTest::SetUp();
        Script()->RegisterWindowType("GFlyEmitter", &GFlyEmitter::Create);
        Script()->RegisterWindowType("particle_layer", &particle_layer::Create);
        Script()->RegisterWindowType("TPSimple", &TPSimple::Create);
        AddFile("particles/fly.lua", Bytes(LocusScript("0, 1, 0, 1")));
        AddFile("particles/simple.lua", Bytes(LocusScript("1, 0, 0, 1")));
        AddFile("particles/particle_fx9.lua", Bytes("gSourceLoads = (gSourceLoads or 0) + 1\n"
                                                    "gHadLocus = dLocus ~= nil and 1 or 0\n"));
        PushDialog("dialog", TRect{0, 0, widget_test::kScreenWidth, widget_test::kScreenHeight});
    }

    // One pass of the dialog's tasks after ms more milliseconds.
    void Tick(int ms) {
        standin::AdvanceTime(static_cast<DWORD>(ms));
        Send(MakeEvent(kEventIdle));
    }

    // Deleted as a script deletes it, at the start of the next event.
    void Delete(const char* name) {
        Run(std::string("DestroyWindow( '") + name + "' )");
        Send(MakeEvent(kEventIdle));
        ASSERT_EQ(Find(name), nullptr) << name;
    }

    static std::string InitCompleteType() {
        Run("gType = type( CPP_OnPrtInitComplete )");
        return Global("gType");
    }

    static GFlyEmitter* Emitter(const char* name, int x, int y, const char* layer) {
        Build(std::string("GFlyEmitter{ name = '") + name + "', x = " + std::to_string(x) +
              ", y = " + std::to_string(y) +
              ", w = 4, h = 4, FX_fly = 'particles/fly.lua', RenderTo = '" + layer +
              "', Window{ name = 'FlyEmitter_Img', w = 4, h = 4 } }");
        return Find<GFlyEmitter>(name);
    }

    static particle_layer* Layer(const char* name) {
        Build(std::string("particle_layer{ name = '") + name + "', w = 160, h = 120 }");
        return Find<particle_layer>(name);
    }
};

TEST_F(ParticleWindowsTest, SimpleWindowPlaysItsStyleAndARightClickSwitchesIt) {
    Build("TPSimple{ name = 'plain' }");
    auto* plain = Find<TPSimple>("plain");
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->GetScriptPath(), str("particles/particle_fx1.lua"));
    EXPECT_EQ(plain->GetLocus().mPoint.x, 0.0f);
    EXPECT_EQ(plain->GetLocus().mPoint.y, 0.0f);
    EXPECT_FALSE(Active(&plain->GetParticles()));

    Build("TPSimple{ name = 'ps', x = 100, y = 60, w = 40, h = 40, FX_fly = 'particles/simple.lua',"
          " FX_LocalPos_X = 10, FX_LocalPos_Y = 12, PlayFX_OnShow = true }");
    auto* simple = Find<TPSimple>("ps");
    ASSERT_NE(simple, nullptr);
    TLuaParticleSystem* particles = &simple->GetParticles();
    EXPECT_EQ(simple->GetScriptPath(), str("particles/simple.lua"));
    EXPECT_EQ(simple->GetLocus().mPoint.x, 10.0f);
    EXPECT_EQ(simple->GetLocus().mPoint.y, 12.0f);
    EXPECT_TRUE(Active(particles));

    // Each 16 ms tick advances by 16 ms, however late it comes.
    Tick(16);
    Tick(50);
    EXPECT_EQ(TakeSteps(particles), "16,16,");

    // The particles stand at the locus, in the window's own coordinates.
    const standin::TScreenImage image = widget_test::TWidgetTest::DrawFrame();
    EXPECT_EQ(At(image, 109, 71), kRed);
    EXPECT_EQ(At(image, 10, 12), 0u);

    // The right button's press switches; its release and the other buttons do nothing.
    const struct {
        int32_t code;
        bool active;
    } clicks[] = {{kRightDown, false}, {kRightUp, false}, {kMiddleDown, false}, {kRightDown, true}};
    for (const auto& click : clicks) {
        SCOPED_TRACE(click.code);
        Send(MakeEvent(kEventMouseButton, 120, 80, click.code));
        EXPECT_EQ(Active(particles), click.active);
    }
}

TEST_F(ParticleWindowsTest, TheFirstEmitterDefinesTheGlobalAndTheLastTakesItBack) {
    EXPECT_EQ(InitCompleteType(), "nil");
    Emitter("e1", 0, 0, "layer");
    EXPECT_EQ(InitCompleteType(), "function");
    Emitter("e2", 0, 0, "layer");
    Delete("e1");
    EXPECT_EQ(InitCompleteType(), "function");
    Delete("e2");
    EXPECT_EQ(InitCompleteType(), "nil");
    Emitter("e3", 0, 0, "layer");
    EXPECT_EQ(InitCompleteType(), "function");
}

TEST_F(ParticleWindowsTest, AnEmitterJoinsItsLayerLoadsOnceAndIsAdvancedByTheLayerAlone) {
    particle_layer* layer = Layer("sky");
    GFlyEmitter* emitter = Emitter("e1", 40, 30, "sky");
    ASSERT_NE(layer, nullptr);
    ASSERT_NE(emitter, nullptr);
    EXPECT_EQ(FindParticleLayer("sky"), layer);
    EXPECT_EQ(layer->GetLayerName(), str("sky"));
    EXPECT_TRUE(emitter->IsIdle());
    TLuaParticleSystem* particles = emitter->GetParticleSystem();
    TWindow* image = emitter->FindChild("FlyEmitter_Img", 1);
    ASSERT_NE(image, nullptr);
    ASSERT_NE(image->GetFlags() & TWindow::kEnabled, 0u);

    for (int call = 1; call <= 2; ++call) {
        SCOPED_TRACE(call);
        particles->GetScript()->DoLuaString("gActive = true");
        Run("CPP_OnPrtInitComplete()");
        EXPECT_EQ(emitter->GetLayer(), layer);
        ASSERT_EQ(layer->GetSources().size(), 1u);
        EXPECT_EQ(emitter->GetLocus().mPoint.x, 40.0f);
        EXPECT_EQ(emitter->GetLocus().mPoint.y, 30.0f);
        EXPECT_EQ(Number(particles, "gSourceLoads"), 1);
        EXPECT_EQ(Number(particles, "gHadLocus"), 1);
        EXPECT_EQ(Number(particles, "gLoads"), 1);
        EXPECT_FALSE(Active(particles));
        EXPECT_EQ(image->GetFlags() & 0xFF00u, 0u);
    }
    const size_t statements = particles->GetInitStream().size();
    Run("CPP_OnPrtInitComplete()");
    EXPECT_EQ(particles->GetInitStream().size(), statements);

    // The layer's 10 ms animation advances it by two thirds of the time, 16 ms after a stall;
    // the emitter's own ticks do not advance it a second time.
    Tick(30);
    Tick(300);
    EXPECT_EQ(TakeSteps(particles), "20,16,");

    // A flight of 5 ticks shows the emitter and moves it by 4, 3, 2 and 1 times its velocity
    // from its position plus its start offset; the particles are on until it ends.
    emitter->GetLineMove().mVelocity = TVec2(2.0f, 1.0f);
    emitter->SetStartPosition(10.0f, 0.0f);
    emitter->SetPosition(40.0f, 30.0f);
    emitter->Fly(5);
    EXPECT_FALSE(emitter->IsIdle());
    EXPECT_TRUE(Active(particles));
    EXPECT_EQ(emitter->GetRect().left, 58);
    EXPECT_EQ(emitter->GetRect().top, 34);
    EXPECT_EQ(emitter->GetLocus().mPoint.x, 58.0f);
    for (int tick = 0; tick < 3; ++tick) {
        Tick(10);
    }
    EXPECT_EQ(emitter->GetRect().left, 70);
    EXPECT_EQ(emitter->GetRect().top, 40);
    EXPECT_TRUE(Active(particles));
    Tick(10);
    EXPECT_TRUE(emitter->IsIdle());
    EXPECT_FALSE(Active(particles));

    // The layer takes its locus from the mouse, and lets the move go on.
    Send(MakeEvent(kEventMouseMove, 70, 50));
    EXPECT_EQ(layer->GetLocus().x, 70.0f);
    EXPECT_EQ(layer->GetLocus().y, 50.0f);
}

TEST_F(ParticleWindowsTest, AnEmitterWithoutItsLayerDrawsNothingAndJoinsItLater) {
    GFlyEmitter* emitter = Emitter("e1", 40, 30, "later");
    ASSERT_NE(emitter, nullptr);
    TLuaParticleSystem* particles = emitter->GetParticleSystem();
    Run("CPP_OnPrtInitComplete()");
    EXPECT_EQ(emitter->GetLayer(), nullptr);
    // Nothing draws it, flying or not.
    emitter->SetPosition(40.0f, 30.0f);
    emitter->Fly(1000);
    Tick(10);
    Tick(10);
    EXPECT_EQ(CountPixels(widget_test::TWidgetTest::DrawFrame(), kGreen), 0);

    particle_layer* layer = Layer("later");
    Run("CPP_OnPrtInitComplete()");
    EXPECT_EQ(emitter->GetLayer(), layer);
    EXPECT_EQ(Number(particles, "gLoads"), 1);
    EXPECT_EQ(Number(particles, "gSourceLoads"), 1);
    particles->GetScript()->DoLuaString("gActive = true");
    Tick(30);
    Tick(30);
    const standin::TScreenImage image = widget_test::TWidgetTest::DrawFrame();
    // The emitter is shown at its place; its particles stand there, 4 pixels wide.
    EXPECT_EQ(At(image, 39, 29), kGreen);
    EXPECT_EQ(At(image, 37, 27), kGreen);
    EXPECT_EQ(At(image, 42, 30), 0u);
}

TEST_F(ParticleWindowsTest, EmittersAndLayersDeletedInEitherOrder) {
    // The emitter first: the layer draws it no more.
    particle_layer* layer = Layer("sky");
    Emitter("e1", 40, 30, "sky");
    Run("CPP_OnPrtInitComplete()");
    ASSERT_EQ(layer->GetSources().size(), 1u);
    Delete("e1");
    EXPECT_TRUE(layer->GetSources().empty());
    Tick(30);
    widget_test::TWidgetTest::DrawFrame();

    // The layer first: its emitters forget it and join a new one of the name later.
    GFlyEmitter* emitter = Emitter("e2", 20, 20, "sky");
    Run("CPP_OnPrtInitComplete()");
    ASSERT_EQ(emitter->GetLayer(), layer);
    Delete("sky");
    EXPECT_EQ(emitter->GetLayer(), nullptr);
    EXPECT_EQ(FindParticleLayer("sky"), nullptr);
    Tick(30);
    particle_layer* second = Layer("sky");
    Run("CPP_OnPrtInitComplete()");
    EXPECT_EQ(emitter->GetLayer(), second);
    EXPECT_EQ(Number(emitter->GetParticleSystem(), "gSourceLoads"), 1);

    // An emitter deleted in flight, from its layer.
    emitter->Fly(100);
    Tick(10);
    Delete("e2");
    EXPECT_TRUE(second->GetSources().empty());
    Tick(30);
}

TEST_F(ParticleWindowsTest, OnlyTheRegisteredLayerOfANameLeavesTheRegisterWhenDeleted) {
    Build("Window{ name = 'left', w = 80, h = 120, particle_layer{ name = 'twin' } }");
    Build("Window{ name = 'right', x = 80, w = 80, h = 120, particle_layer{ name = 'twin' } }");
    TWindow* left = Find("left")->FindChild("twin", 1);
    TWindow* right = Find("right")->FindChild("twin", 1);
    ASSERT_NE(left, nullptr);
    ASSERT_NE(right, nullptr);
    EXPECT_EQ(FindParticleLayer("twin"), left);
    Delete("right");
    EXPECT_EQ(FindParticleLayer("twin"), left);
    Delete("left");
    EXPECT_EQ(FindParticleLayer("twin"), nullptr);
    particle_layer* again = Layer("twin");
    EXPECT_EQ(FindParticleLayer("twin"), again);
}

} // namespace
} // namespace particlewindows_test
