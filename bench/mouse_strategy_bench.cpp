// One mouse move offered to the strategies of 200 objects (32 x 32 squares 40 apart in a 20 x 10
// grid, half drag strategies, half chairs) and flushed, as the level does for every move: the point
// moves from square to square, so hover ends on one object and begins on another each time, and
// every strategy hit-tests its visual.
#include "bench/benchscreen.h"
#include "bench/benchstrip.h"
#include "engine/core/knownfiles.h"
#include "game/visual/GVFactory.h"
#include "game/visual/GVLayer.h"
#include "game/visual/GVObject.h"
#include "game/world/GMStr_Chair.h"
#include "game/world/GMStr_TargetDrag.h"
#include "game/world/GStratMousePikUp.h"
#include "game/world/GUpgradeData.h"
#include "game/world/G_ICanListenSwitch.h"
#include "game/world/G_VoidLink.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kObjects = 200;
constexpr int kColumns = 20;
constexpr int kSide = 40;
constexpr char kSquare[] = "<main id=\"square\"><images><img name=\"bench_strip.png\"/></images>"
                           "<framelist><frame w=\"32\" h=\"32\"/></framelist>"
                           "<states><state id=\"normal\" framelist=\"0\"/></states></main>";

// An object with a visual and nothing else, as the strategies see a game object.
class TObject final : public G_VoidLink {
public:
    explicit TObject(GVObject* visual) : mVisual(visual) {}
    GVObject* GetVisual() override { return mVisual.get(); }
    void MoveTo(TPoint point, float depth) override {
        mVisual->mDeltaX = static_cast<float>(point.x);
        mVisual->mDeltaY = static_cast<float>(point.y);
        mVisual->mDeltaZ = depth;
        mVisual->MarkChanged();
    }
    GUpgradeData& GetUpgradeData() override { return mData; }
    void SetVisualState(GStateKey key) override { mVisual->SetState(key, true); }

private:
    std::unique_ptr<GVObject> mVisual;
    GUpgradeData mData;
};

class TSwitch final : public G_ICanListenSwitch {
public:
    void OnOOOA(G_VoidLink* /*object*/, G_VoidLink* /*place*/) override {}
    void OnOODTA(G_VoidLink* /*object*/, G_VoidLink* /*target*/) override {}
    void OnOTL(G_VoidLink* /*object*/, G_VoidLink* /*queue*/) override {}
    void OnOFD(G_VoidLink* /*object*/) override {}
    void OnOTU(G_VoidLink* /*object*/) override {}
    void OnOSD(G_VoidLink* /*object*/) override {}
    void OnOCOn(G_VoidLink* /*object*/) override {}
    void OnOCOff(G_VoidLink* /*object*/) override {}
    void OnClick(G_VoidLink* /*object*/) override {}
    void OnBMC(G_VoidLink* /*object*/) override {}
};

void MoveOverTwoHundredObjects(benchmark::State& state) {
    bench_screen::TScreen screen;
    const std::vector<uint8_t> strip = DiscStripPng(0);
    RegisterMemoryFile("anim/bench_strip.png", strip.data(), static_cast<unsigned>(strip.size()));
    RegisterMemoryFile("xml/bench_square.xml", kSquare, sizeof(kSquare) - 1);
    GVFactory& factory = GVFactory::Instance();
    factory.SetObjectFolder("xml/");
    factory.SetTextureFolder("anim/");
    GVLayer layer;
    factory.SetCurrentLayer(&layer);
    TSwitch listener;
    std::vector<std::unique_ptr<TObject>> objects;
    std::vector<std::unique_ptr<GStratMousePikUp>> strategies;
    for (int i = 0; i < kObjects; ++i) {
        GVObject* visual = factory.CreateByPath("bench_square", true);
        if (visual == nullptr) {
            state.SkipWithError("the square did not load");
            return;
        }
        objects.push_back(std::make_unique<TObject>(visual));
        objects.back()->MoveTo(TPoint{(i % kColumns) * kSide, (i / kColumns) * kSide},
                               static_cast<float>(i));
        if (i % 2 == 0) {
            strategies.push_back(std::make_unique<GMStr_TargetDrag>(0, 0));
        } else {
            strategies.push_back(std::make_unique<GMStr_Chair>());
        }
        strategies.back()->SetTarget(objects.back().get(), &listener);
    }
    layer.UpdateObjects();
    int step = 0;
    for (auto _ : state) {
        const int cell = step++ % kObjects;
        const TPoint point{(cell % kColumns) * kSide + 10, (cell / kColumns) * kSide + 10};
        for (const auto& strategy : strategies) {
            benchmark::DoNotOptimize(strategy->OnMouseMove(point));
        }
        FlushMouseStrategyState();
    }
    state.SetItemsProcessed(state.iterations());
    strategies.clear();
    objects.clear();
    MouseInteraction() = GMouseInteraction();
    factory.SetCurrentLayer(nullptr);
    factory.ClearCache();
    RegisterMemoryFile("xml/bench_square.xml", nullptr, 0);
    RegisterMemoryFile("anim/bench_strip.png", nullptr, 0);
}
BENCHMARK(MoveOverTwoHundredObjects)->Unit(benchmark::kMicrosecond);

} // namespace
