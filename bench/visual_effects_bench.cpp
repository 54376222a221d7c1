// One frame of 200 visual objects, each running an interpolator of its "normal" state (the four
// kinds in turn): the interpolator timers' step in the platform's task list, then the draw list's
// update and drawing. The first argument 0 is the same scene without effects, for comparison; the
// second argument 0 leaves the drawing out (the timers' step and the update pass alone).
#include "bench/benchscreen.h"
#include "bench/benchstrip.h"
#include "engine/core/knownfiles.h"
#include "engine/core/tasklist.h"
#include "game/visual/GVFactory.h"
#include "game/visual/GVLayer.h"
#include "game/visual/GVObject.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kObjects = 200;
constexpr int kQuant = 30;

const char* const kEffects[] = {
    "<ScaleInterpolator keys=\"1 1.5 1\" time=\"900\" quant=\"30\"/>",
    "<DeltaMoveInterpolator keys=\"0 0 20 10 0 0\" time=\"1200\" quant=\"30\"/>",
    "<AlphaInterpolator keys=\"1 0.2 1\" time=\"600\" quant=\"30\"/>",
    "<RotateInterpolator keys=\"0 6.283\" time=\"1500\" quant=\"30\"/>",
};

// A file per kind ("fx0" .. "fx3") and one without effects ("plain").
class TFiles {
public:
    TFiles() {
        RegisterMemoryFile("anim/fxstrip.png", mPng.data(), static_cast<unsigned>(mPng.size()));
        for (int i = 0; i <= 4; ++i) {
            std::string text = "<main><images><img name=\"fxstrip.png\" centering=\"center\"/>"
                               "</images><framelist>";
            for (int f = 0; f < 4; ++f) {
                text += "<frame x=\"" + std::to_string(32 * f) + "\" w=\"32\" h=\"32\"/>";
            }
            text += "</framelist><states><state id=\"normal\" framelist=\"0..3\">";
            text += i < 4 ? kEffects[i] : "";
            text += "</state></states></main>";
            mTexts.push_back(text);
        }
        for (int i = 0; i <= 4; ++i) {
            const std::string path =
                i < 4 ? "xml/fx" + std::to_string(i) + ".xml" : "xml/plain.xml";
            RegisterMemoryFile(path.c_str(), mTexts[static_cast<size_t>(i)].data(),
                               static_cast<unsigned>(mTexts[static_cast<size_t>(i)].size()));
        }
        GVFactory::Instance().SetObjectFolder("xml/");
        GVFactory::Instance().SetTextureFolder("anim/");
    }
    ~TFiles() { GVFactory::Instance().ClearCache(); }
    TFiles(const TFiles&) = delete;
    TFiles& operator=(const TFiles&) = delete;

private:
    std::vector<uint8_t> mPng = DiscStripPng();
    std::vector<std::string> mTexts;
};

void InterpolatedObjectsFrame(benchmark::State& state) {
    const bool effects = state.range(0) != 0;
    const bool draw = state.range(1) != 0;
    bench_screen::TScreen screen;
    standin::SetFakeTime(1000);
    TFiles files;
    GVFactory& factory = GVFactory::Instance();
    std::vector<std::unique_ptr<GVObject>> objects;
    {
        GVLayer layer;
        factory.SetCurrentLayer(&layer);
        for (int i = 0; i < kObjects; ++i) {
            const std::string path = effects ? "fx" + std::to_string(i % 4) : "plain";
            GVObject* object = factory.CreateByPath(path.c_str(), true);
            if (object == nullptr) {
                state.SkipWithError("the files did not load");
                factory.SetCurrentLayer(nullptr);
                return;
            }
            objects.emplace_back(object);
            object->mDeltaX = static_cast<float>(16 + (i * 37) % 768);
            object->mDeltaY = static_cast<float>(16 + (i * 53) % 568);
            object->mDeltaZ = static_cast<float>(i % 7);
            object->MarkChanged();
        }
        TTaskList* tasks = TPlatform::GetInstance()->GetTaskList();
        TRenderer& renderer = *TRenderer::Existing();
        for (auto _ : state) {
            standin::AdvanceTime(kQuant);
            tasks->Run(0);
            if (!draw) {
                layer.UpdateObjects();
                continue;
            }
            if (!renderer.BeginDraw(0)) {
                state.SkipWithError("BeginDraw refused the frame");
                break;
            }
            layer.Draw();
            renderer.EndDraw(0);
        }
        state.counters["objects"] = kObjects;
        objects.clear();
        tasks->Run(0);
        factory.SetCurrentLayer(nullptr);
    }
}
BENCHMARK(InterpolatedObjectsFrame)
    ->Args({1, 1})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({0, 0})
    ->Unit(benchmark::kMicrosecond);

} // namespace
