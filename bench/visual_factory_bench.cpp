// The visual-object factory on a file of 20 objects (a root with 19 children, each with its own
// image, four frames and three states, the root with the "alpha" tester): the first load of the
// file (parsing, images decoded, registrations and alpha masks), and CreateByPath of its cached
// prototype (a clone of the tree attached to a draw list, then deleted).
#include "bench/benchscreen.h"
#include "bench/benchstrip.h"
#include "engine/core/knownfiles.h"
#include "game/visual/GVFactory.h"
#include "game/visual/GVLayer.h"
#include "game/visual/GVObject.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kChildren = 19;

std::string ObjectBody(int image) {
    std::string text = "<images><img name=\"strip" + std::to_string(image) +
                       ".png\" centering=\"center\"/></images><framelist>";
    for (int i = 0; i < 4; ++i) {
        text += "<frame x=\"" + std::to_string(32 * i) + "\" w=\"32\" h=\"32\" regx=\"16\" " +
                "regy=\"16\"/>";
    }
    return text + "</framelist><states><state id=\"walk\" framelist=\"0..3\" defdelay=\"50\"/>"
                  "<state id=\"stand\" framelist=\"0\"/><state id=\"turn\" framelist=\"3..0\" "
                  "nextstate=\"stand\" flip=\"h\"/></states>";
}

// The images and the file served from memory, the factory's folders set.
class TFiles {
public:
    TFiles() {
        for (int i = 0; i <= kChildren; ++i) {
            mImages.push_back(DiscStripPng(i * 12));
            const std::string name = "anim/strip" + std::to_string(i) + ".png";
            RegisterMemoryFile(name.c_str(), mImages.back().data(),
                               static_cast<unsigned>(mImages.back().size()));
        }
        mXml = "<main id=\"tree\" hit_test=\"alpha\">" + ObjectBody(0) + "<objects>";
        for (int i = 1; i <= kChildren; ++i) {
            mXml += "<obj id=\"part" + std::to_string(i) + "\" deltaX=\"" + std::to_string(i * 3) +
                    "\">" + ObjectBody(i) + "</obj>";
        }
        mXml += "</objects></main>";
        RegisterMemoryFile("xml/bench_tree.xml", mXml.data(), static_cast<unsigned>(mXml.size()));
        GVFactory::Instance().SetObjectFolder("xml/");
        GVFactory::Instance().SetTextureFolder("anim/");
    }
    ~TFiles() { GVFactory::Instance().ClearCache(); }

private:
    std::vector<std::vector<uint8_t>> mImages;
    std::string mXml;
};

void FirstLoad(benchmark::State& state) {
    bench_screen::TScreen screen;
    TFiles files;
    GVFactory& factory = GVFactory::Instance();
    for (auto _ : state) {
        factory.ClearCache();
        GVObject* prototype = factory.Preload("bench_tree");
        if (prototype == nullptr) {
            state.SkipWithError("the file did not load");
            return;
        }
        benchmark::DoNotOptimize(prototype);
    }
}
BENCHMARK(FirstLoad)->Unit(benchmark::kMillisecond);

void CloneCachedPrototype(benchmark::State& state) {
    bench_screen::TScreen screen;
    TFiles files;
    GVFactory& factory = GVFactory::Instance();
    GVLayer layer;
    factory.SetCurrentLayer(&layer);
    if (factory.Preload("bench_tree") == nullptr) {
        state.SkipWithError("the file did not load");
        return;
    }
    for (auto _ : state) {
        std::unique_ptr<GVObject> clone(factory.CreateByPath("bench_tree", true));
        benchmark::DoNotOptimize(clone.get());
    }
    factory.SetCurrentLayer(nullptr);
}
BENCHMARK(CloneCachedPrototype)->Unit(benchmark::kMicrosecond);

} // namespace
