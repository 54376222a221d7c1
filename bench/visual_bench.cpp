// One update pass of a draw list holding 500 visual objects in 25 trees of 20 (a root with four
// children of four children each, less one), with one root moved every frame: the moved tree is
// brought up to date, the 480 others are only asked whether they are dirty.
// One frame of 500 animated sprites (32 x 32, four frames) in one draw list on the headless 800 x
// 600 display: each steps its frame as its timer would and moves, then the list updates and draws
// them. And FindObjectAt over a tree of 200 objects with alpha masks, the point hitting only the
// last one.
#include "bench/benchscreen.h"
#include "bench/benchstrip.h"
#include "engine/core/knownfiles.h"
#include "engine/media/texture.h"
#include "game/visual/GVAlphaHitTester.h"
#include "game/visual/GVChilds.h"
#include "game/visual/GVFrames.h"
#include "game/visual/GVLayer.h"
#include "game/visual/GVObject.h"
#include "game/visual/GVStates.h"
#include "game/visual/GVTextures.h"

#include <benchmark/benchmark.h>
#include <boost/make_shared.hpp>

#include <cstdint>
#include <memory>
#include <vector>

namespace {

constexpr int kTrees = 25;
constexpr int kTreeSize = 20;

GVObject* AddChild(GVObject* parent, GVLayer& layer) {
    if (parent->GetChilds() == nullptr) {
        parent->SetChilds(new GVChilds(parent));
        parent->GetChilds()->SetOwning(true);
    }
    auto* child = new GVObject;
    parent->GetChilds()->Append(child, str());
    child->GetLocalData().mDeltaX = 2.0f;
    child->GetLocalData().MarkChanged();
    child->AttachTo(&layer, parent, false);
    return child;
}

void UpdatePass(benchmark::State& state) {
    GVLayer layer;
    std::vector<std::unique_ptr<GVObject>> roots;
    int objects = 0;
    for (int t = 0; t < kTrees; ++t) {
        auto* root = new GVObject;
        roots.emplace_back(root);
        root->mDeltaZ = static_cast<float>(t);
        root->MarkChanged();
        root->AttachTo(&layer, nullptr, false);
        int size = 1;
        for (int i = 0; i < 4 && size < kTreeSize; ++i) {
            GVObject* branch = AddChild(root, layer);
            ++size;
            for (int j = 0; j < 4 && size < kTreeSize; ++j) {
                AddChild(branch, layer);
                ++size;
            }
        }
        objects += size;
    }
    layer.UpdateObjects();

    int frame = 0;
    for (auto _ : state) {
        GVObject* root = roots[static_cast<size_t>(frame % kTrees)].get();
        root->mDeltaX += 1.0f;
        root->MarkChanged();
        layer.UpdateObjects();
        ++frame;
    }
    state.counters["objects"] = static_cast<double>(objects);
    benchmark::DoNotOptimize(roots.front()->GetWorldData().mDeltaX);
}
BENCHMARK(UpdatePass)->Unit(benchmark::kMicrosecond);

} // namespace

namespace {

constexpr int kSprites = 500;
constexpr int kSearched = 200;

// The strip's texture list and four frames centred on their registration points.
struct TStrip {
    TStrip() {
        RegisterMemoryFile("bench/strip.png", mPng.data(), static_cast<unsigned>(mPng.size()));
        auto* entry = new GVTexture;
        entry->mTexture = TTexture::Get("bench/strip.png");
        mLoaded = static_cast<bool>(entry->mTexture);
        mTextures->Append(entry, "bench/strip.png");
        for (int i = 0; i < 4; ++i) {
            auto* frame = new GVFrame;
            frame->mRect = TRect{32 * i, 0, 32 * i + 32, 32};
            frame->mRegistration = TVec2(16.0f, 16.0f);
            mFrames->AppendFrame(frame);
        }
        mFrames->ComputeRegistrations(mTextures.get());
    }
    ~TStrip() { RegisterMemoryFile("bench/strip.png", nullptr, 0); }
    TStrip(const TStrip&) = delete;
    TStrip& operator=(const TStrip&) = delete;

    // A new object on the strip, its "normal" state showing the four frames.
    GVObject* NewSprite() const {
        auto* object = new GVObject;
        object->SetTextures(mTextures);
        object->SetFrames(mFrames);
        auto* states = new GVStates(object);
        states->AddNormal(mFrames->Count());
        object->SetStates(states);
        return object;
    }

    std::vector<uint8_t> mPng = DiscStripPng();
    boost::shared_ptr<GVTextures> mTextures = boost::make_shared<GVTextures>();
    boost::shared_ptr<GVFrames> mFrames = boost::make_shared<GVFrames>();
    bool mLoaded = false;
};

void AnimatedSpritesFrame(benchmark::State& state) {
    bench_screen::TScreen screen;
    std::vector<std::unique_ptr<GVObject>> sprites;
    {
        TStrip strip;
        if (!strip.mLoaded) {
            state.SkipWithError("the strip did not load");
            return;
        }
        GVLayer layer;
        for (int i = 0; i < kSprites; ++i) {
            GVObject* sprite = strip.NewSprite();
            sprites.emplace_back(sprite);
            sprite->mDeltaX = static_cast<float>(16 + (i * 37) % 768);
            sprite->mDeltaY = static_cast<float>(16 + (i * 53) % 568);
            sprite->mDeltaZ = static_cast<float>(i % 7);
            sprite->AttachTo(&layer, nullptr, true);
        }
        TRenderer& renderer = *TRenderer::Existing();
        int frame = 0;
        for (auto _ : state) {
            const float step = (frame & 1) != 0 ? 1.0f : -1.0f;
            for (const auto& sprite : sprites) {
                sprite->OnFrameTimer();
                sprite->mDeltaX += step;
                sprite->MarkChanged();
            }
            if (!renderer.BeginDraw(0)) {
                state.SkipWithError("BeginDraw refused the frame");
                break;
            }
            layer.Draw();
            renderer.EndDraw(0);
            ++frame;
        }
        state.counters["sprites"] = kSprites;
        sprites.clear();
    }
}
BENCHMARK(AnimatedSpritesFrame)->Unit(benchmark::kMillisecond);

void FindObjectAt(benchmark::State& state) {
    bench_screen::TScreen screen;
    TStrip strip;
    if (!strip.mLoaded) {
        state.SkipWithError("the strip did not load");
        return;
    }
    GVLayer layer;
    std::unique_ptr<GVObject> root(strip.NewSprite());
    auto tester = boost::make_shared<GVAlphaHitTester>();
    tester->Attach(root.get());
    root->SetHitTester(tester);
    root->SetChilds(new GVChilds(root.get()));
    root->GetChilds()->SetOwning(true);
    root->AttachTo(&layer, nullptr, true);
    for (int i = 1; i < kSearched; ++i) {
        GVObject* child = strip.NewSprite();
        child->SetHitTester(tester);
        child->SetLink(GVObject::kLinkNone);
        // Side by side, rows of 20: the point below lands on the last one's disc only.
        child->mDeltaX = static_cast<float>(20 + 36 * (i % 20));
        child->mDeltaY = static_cast<float>(20 + 36 * (i / 20));
        root->GetChilds()->Append(child, str());
        child->AttachTo(&layer, root.get(), true);
    }
    root->mDeltaX = 2000.0f;
    root->MarkChanged();
    layer.UpdateObjects();
    const int last = kSearched - 1;
    const float x = static_cast<float>(20 + 36 * (last % 20));
    const float y = static_cast<float>(20 + 36 * (last / 20));
    GVObject* found = nullptr;
    for (auto _ : state) {
        found = root->FindObjectAt(x, y, 1);
        benchmark::DoNotOptimize(found);
    }
    // Child i is the childs' entry i - 1: the root is the first of the objects.
    if (found != root->GetChilds()->At(last - 1)) {
        state.SkipWithError("the search did not find the last object");
    }
    state.counters["objects"] = kSearched;
}
BENCHMARK(FindObjectAt)->Unit(benchmark::kMicrosecond);

} // namespace
