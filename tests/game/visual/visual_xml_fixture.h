// Visual-object files served from memory under the factory's folders "xml/" and "anim/", on the
// headless display of the draw fixture so that images load as textures. The factory's cache and
// current draw list are emptied after each test.
#pragma once

#include "engine/core/knownfiles.h"
#include "engine/core/xml.h"
#include "game/visual/GVFactory.h"
#include "tests/game/visual/visual_draw_fixture.h"

#include <map>
#include <memory>
#include <string>

namespace visual_test {

class TVisualXmlTest : public TVisualDrawTest {
protected:
    void SetUp() override {
        TVisualDrawTest::SetUp();
        GVFactory& factory = GVFactory::Instance();
        factory.ClearCache();
        factory.SetObjectFolder("xml/");
        factory.SetTextureFolder("anim/");
        factory.SetCurrentLayer(&mLayer);
    }

    void TearDown() override {
        mClones.clear();
        GVFactory::Instance().ClearCache();
        GVFactory::Instance().SetCurrentLayer(nullptr);
        for (const auto& file : mTexts) {
            RegisterMemoryFile(file.first.c_str(), nullptr, 0);
        }
        mTexts.clear();
        TVisualDrawTest::TearDown();
    }

    // Serves the text as the file "xml/" + name + ".xml" (replacing what was served before).
    void ServeXml(const std::string& name, const std::string& text) {
        const std::string path = "xml/" + name + ".xml";
        std::string& stored = mTexts[path];
        stored = text;
        RegisterMemoryFile(path.c_str(), stored.data(), static_cast<unsigned>(stored.size()));
    }

    // Serves an opaque square PNG of the colour as "anim/" + name.
    void ServeImage(const std::string& name, int size, uint32_t argb = 0xFFFF0000u) {
        texture_test::TBytes& bytes = mFiles["anim/" + name];
        bytes = PatternPng(size, size, [argb](int, int) { return argb; });
        RegisterMemoryFile(("anim/" + name).c_str(), bytes.data(),
                           static_cast<unsigned>(bytes.size()));
    }

    // A clone of the path attached to the fixture's list; the fixture owns it.
    GVObject* Create(const char* path) {
        GVObject* object = GVFactory::Instance().CreateByPath(path, true);
        if (object != nullptr) {
            mClones.emplace_back(object);
        }
        return object;
    }

    static std::vector<int> FrameList(const GVObject* object, const char* state) {
        const GVState* found =
            object->GetStates() != nullptr ? object->GetStates()->Find(Key(state)) : nullptr;
        return found != nullptr ? found->mFrames : std::vector<int>{-1};
    }

    std::map<std::string, std::string> mTexts;
    std::vector<std::unique_ptr<GVObject>> mClones;
};

} // namespace visual_test
