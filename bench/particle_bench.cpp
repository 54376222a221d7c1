// Cost of one animation pass of a 20-statement particle program over 10 000 particle records:
// position moved by a jittered velocity scaled to the frame, and alpha faded by the particle's
// life. Reports nanoseconds per particle. Then a whole particle system of 10 000 live particles
// on the 800x600 screen: its update (the script's Update and a typical anim stream), its drawing,
// and both in one frame, in milliseconds.
#include "bench/benchscreen.h"
#include "engine/core/random.h"
#include "engine/media/particlecollection.h"
#include "engine/media/particlefunction.h"
#include "engine/media/particlefunctions.h"
#include "engine/media/particlerenderer.h"
#include "engine/media/particlesystem.h"
#include "engine/media/renderer.h"
#include "engine/media/texture.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <vector>

namespace {

constexpr int kParticles = 10000;
// Record: position 0-1, velocity 2-3, life 4, colour 5-8.
constexpr uint8_t kMembers[] = {2, 2, 1, 4};
constexpr int kFloats = 9;

TParticleStatement Statement(TParticleFunctionPtr function, uint8_t argc) {
    TParticleStatement statement;
    statement.function = std::move(function);
    statement.argc = argc;
    return statement;
}

TParticleStatement Const(float value) {
    return Statement(std::make_shared<FPush<float>>(value), 0);
}

TParticleStatement Const(TVec2 value) {
    return Statement(std::make_shared<FPush<TVec2>>(value), 0);
}

TParticleStatement Member(int16_t offset, uint16_t size) {
    return Statement(std::make_shared<FGetParticleParam>(ParticleMemberRef(offset, size)), 0);
}

std::vector<TParticleStatement> AnimProgram() {
    return {
        // position = position + fTimeScale(velocity - fRange((-1, -1), (1, 1)))
        Member(0, 2),
        Member(2, 2),
        Const(TVec2(-1, -1)),
        Const(TVec2(1, 1)),
        Statement(FRange::Create(), 2),
        Statement(FUnm::Create(), 1),
        Statement(FAdd::Create(), 2),
        Statement(FTimeScale::Create(), 1),
        Statement(FAdd::Create(), 2),
        Const(0.0f),
        Const(2.0f),
        Statement(FAssign::Create(), 3),
        // alpha = fFade(life, 1, 1000, 0)
        Member(4, 1),
        Const(1.0f),
        Const(1000.0f),
        Const(0.0f),
        Statement(FFade::Create(), 4),
        Const(8.0f),
        Const(1.0f),
        Statement(FAssign::Create(), 3),
    };
}

void BM_ParticleAnimPass(benchmark::State& state) {
    auto random = std::make_unique<TRandom>();
    random->Seed(1);
    SetParticleRandom(std::move(random));

    std::vector<float> records(static_cast<size_t>(kParticles) * kFloats);
    for (int i = 0; i < kParticles; ++i) {
        float* record = &records[static_cast<size_t>(i) * kFloats];
        record[2] = 10.0f;
        record[3] = -5.0f;
        record[4] = static_cast<float>(i % 1000);
    }
    const std::vector<TParticleStatement> program = AnimProgram();
    TParticleContext context;
    uint8_t sizes[sizeof(kMembers)];
    std::copy(std::begin(kMembers), std::end(kMembers), sizes);
    context.record.sizes = sizes;
    context.record.capacity = sizeof(kMembers);
    context.record.SetSizes(0, sizes, sizeof(kMembers));
    context.elapsed = 20;

    for (auto _ : state) {
        TParticleValueStack values(false);
        for (int i = 0; i < kParticles; ++i) {
            context.record.data = &records[static_cast<size_t>(i) * kFloats];
            RunParticleProgram(program, {}, context, values.Stack());
        }
        benchmark::DoNotOptimize(records.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kParticles);
    // The inverse of the particle rate: time per particle.
    state.counters["per_particle"] = benchmark::Counter(
        kParticles, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    SetParticleRandom(nullptr);
}

} // namespace

BENCHMARK(BM_ParticleAnimPass)->Unit(benchmark::kMicrosecond);

namespace {

constexpr int kSystemParticles = 10000;

// Spread over the screen, moving under gravity, growing and fading over five seconds; nothing
// expires within the run, so 10 000 particles stay live.
const char kSystemScript[] = "pVelocity = Allocate(2)\n"
                             "pAge = Allocate(1)\n"
                             "SetNumParticles(10000)\n"
                             "SetBlendMode(kBlendAdditiveAlpha)\n"
                             "pPosition:Init(fRange(Vec2(0, 0), Vec2(800, 600)))\n"
                             "pVelocity:Init(fRange(Vec2(-40, -40), Vec2(40, 40)))\n"
                             "pColor:Init(Color(1, 0.7, 0.3, 1))\n"
                             "pAge:Anim(pAge + fAge())\n"
                             "pPosition:Anim(pPosition + fTimeScale(pVelocity))\n"
                             "SetUpGravity(20)\n"
                             "pScale:Anim(fFade(pAge, 0.5, 5000, 1.5))\n"
                             "pColor:Anim(fAlpha(pColor, fFade(pAge, 1, 5000, 0)))\n"
                             "function Update(seconds) end\n";

// 0: update only, 1: drawing only, 2: both in one frame.
void BM_ParticleSystemFrame(benchmark::State& state) {
    bench_screen::TScreen screen;
    TRenderer& renderer = *TRenderer::Instance();
    {
        TLuaParticleSystem system;
        ParticleRandom()->Seed(7);
        system.Load(kSystemScript);
        system.CreateParticles(kSystemParticles);
        system.GetRenderer()->SetTexture(TTexture::CreateRenderTarget(8, 8, true));
        if (system.GetCollection().GetLiveCount() != kSystemParticles) {
            state.SkipWithError("the particles were not made");
            return;
        }
        const bool update = state.range(0) != 1;
        const bool draw = state.range(0) != 0;
        const TVec3 origin;
        for (auto _ : state) {
            if (update) {
                system.Update(16);
            }
            if (draw) {
                if (!renderer.BeginDraw(0)) {
                    state.SkipWithError("BeginDraw refused the frame");
                    break;
                }
                renderer.Begin2d();
                system.Render(&origin);
                renderer.End2d();
                renderer.EndDraw(1);
            }
        }
        state.counters["live"] = system.GetCollection().GetLiveCount();
    }
    bench_screen::ReportPresents(state);
}

} // namespace

BENCHMARK(BM_ParticleSystemFrame)
    ->ArgName("update0_draw1_both2")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond);
