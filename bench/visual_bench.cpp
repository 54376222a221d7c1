// One update pass of a draw list holding 500 visual objects in 25 trees of 20 (a root with four
// children of four children each, less one), with one root moved every frame: the moved tree is
// brought up to date, the 480 others are only asked whether they are dirty.
#include "game/visual/GVChilds.h"
#include "game/visual/GVLayer.h"
#include "game/visual/GVObject.h"

#include <benchmark/benchmark.h>

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
