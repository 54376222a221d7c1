// Logical scenes from a fixture scene file in the test's current folder, with plain placed
// objects and a probe class that notes what scenes and "CPP_" functions ask of it. The manager's
// live scenes and the scene prototypes are gone after each test.
#pragma once

#include "engine/core/knownfiles.h"
#include "game/world/GBaseLogicalScene.h"
#include "game/world/GBaseSimpleTask.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GObjectFactory.h"
#include "tests/game/world/world_object_fixture.h"

#include <cstring>
#include <string>
#include <vector>

namespace world_test {

// Walks when a scene asks (answering 1), and answers the "CPP_" functions' questions with values
// that show they reached it.
class TProbe : public GGameObject {
public:
    const char* GetClassName() const override { return "TProbe"; }
    GGameObject* Clone() const override {
        auto* copy = new TProbe;
        copy->CopyFrom(*this);
        return copy;
    }
    int WalkTo(const str& target, const str& task, GBaseLogicalScene* listener,
               bool atFront) override {
        mWalks.push_back(std::string(target.CStr()) + "/" + task.CStr());
        mWalkListener = listener;
        mWalkAtFront = atFront;
        const GBaseSimpleTask* watched = mWatch != nullptr ? mWatch->GetCurrentTask() : nullptr;
        mWatchedState = watched != nullptr ? watched->GetState() : -1;
        return 1;
    }
    int ModifyCheck(int delta) override { return delta * 10; }
    using GGameObject::SetVisualState;
    int SetLookState(const str& state) override {
        mStates.push_back(std::string("look ") + state.CStr());
        return 250;
    }
    int SetVisualState(const str& state) override {
        mStates.push_back(std::string("visual ") + state.CStr());
        return 125;
    }
    void ApplyBaseType(const str& task) override {
        mStates.push_back(std::string("base ") + task.CStr());
    }
    GPathPoints* GetPathData() override { return &mPath; }
    TVec2 GetLandingPoint() override { return TVec2(710, 510); }
    TVec2 GetApproachPoint(GGameObject* /*asking*/) override { return TVec2(110, 510); }

    std::vector<std::string> mWalks;
    GBaseLogicalScene* mWalkListener = nullptr;
    bool mWalkAtFront = false;
    std::vector<std::string> mStates;
    GPathPoints mPath;
    // The state of this object's current task when a walk was asked for (-1 without one).
    GGameObject* mWatch = nullptr;
    int mWatchedState = -1;
};

inline GGameObject* CreateProbe() {
    return new TProbe;
}

class TSceneTest : public TWorldObjectTest {
protected:
    void SetUp() override {
        TWorldObjectTest::SetUp();
        GObjectFactory::Instance().RegisterObjectCreator("TProbe", &CreateProbe);
        GObjectFactory::Instance().Clear(false, true);
    }

    void TearDown() override {
        GLogicalManager& manager = GLogicalManager::Instance();
        manager.DeleteLiveScenes();
        GObjectFactory::Instance().Clear(false, true);
        for (const std::string& file : mFiles) {
            RegisterMemoryFile(file.c_str(), nullptr, 0);
        }
        TWorldObjectTest::TearDown();
    }

    // Registers the scene file (the text must outlive the test) and loads it into the manager.
    // Compiled scripts are cached by name: each text needs a name of its own.
    void LoadScenes(const char* text, const char* file = "scripts/stages/scenes.lua") {
        RegisterMemoryFile(file, text, static_cast<unsigned>(std::strlen(text)));
        mFiles.emplace_back(file);
        GLogicalManager::Instance().LoadScenes(file);
    }

    // A global of the scene script as text.
    static std::string SceneText(const char* name) {
        TScript* script = GLogicalManager::Instance().GetSceneScript();
        return script != nullptr ? script->GetGlobalString(name).CStr() : std::string();
    }
    static void RunInScenes(const std::string& text) {
        GLogicalManager::Instance().GetSceneScript()->DoLuaString(text.c_str());
    }

    // A placed object of the base type; the class is the probe unless asked.
    GGameObject* Make(const std::string& name, const std::string& baseType,
                      const std::string& className = "TProbe") {
        return Place(name,
                     "{ class_name = '" + className + "', base_type = '" + baseType +
                         "', tasks = { work = { tick_count = 2, delay = 100 }, "
                         "long = { tick_count = 4, delay = 100 }, "
                         "moving = { sub_type = 1, tick_count = 1, delay = 10 } } }",
                     "{ name = '" + name + "', pos_x = 300, pos_y = 300 }",
                     "function workBeginTask(r) return 1 end\n"
                     "function workTaskTimer(n) return 1 end\n"
                     "function workEndTask(r) return 0 end\n"
                     "function longBeginTask(r) return 1 end\n"
                     "function longTaskTimer(n) return 1 end\n"
                     "function longEndTask(r) return 0 end\n"
                     "function movingBeginTask(r) return 1 end\n"
                     "function movingTaskTimer(n) return 1 end\n"
                     "function movingEndTask(r) return 0 end\n");
    }

    std::vector<std::string> mFiles;

    static size_t LiveCount() { return GLogicalManager::Instance().GetLiveScenes().size(); }
};

} // namespace world_test
