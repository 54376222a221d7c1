// Game objects made by the object factory from Lua tables of a level's script and placed on a
// test game screen: the fixture's dialog, whose task list runs the objects' and tasks' timers on
// the stand-in's fake clock. Script files are written to a temporary current folder; fatal script
// calls throw instead of ending the process. Objects, prototypes and the manager's links are gone
// after each test.
#pragma once

#include "engine/script/luawrapper.h"
#include "engine/script/script.h"
#include "game/world/GGameData.h"
#include "game/world/GGameObject.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GObjectFactory.h"
#include "platform/win32/standin.h"
#include "tests/fixtures/tempdir.h"
#include "tests/game/visual/visual_xml_fixture.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace world_test {

// What the terminate hook throws: a fatal path ended the "process" with the code.
struct TProcessEnded {
    unsigned code;
};

inline void ThrowProcessEnded(UINT code) {
    throw TProcessEnded{code};
}

class TWorldObjectTest : public visual_test::TVisualXmlTest {
protected:
    void SetUp() override {
        TVisualXmlTest::SetUp();
        mOldCurrent = std::filesystem::current_path();
        std::filesystem::current_path(mFolder.Path());
        mLevel.Init();
        standin::TakeMessageBoxes();
        mPreviousHook = standin::SetTerminateHook(&ThrowProcessEnded);
        GLogicalManager& manager = GLogicalManager::Instance();
        manager.SetGameScreen(mDialog);
        manager.SetGameData(&mGameData);
        GObjectFactory::Instance().Clear(false, false);
    }

    void TearDown() override {
        mObjects.clear();
        GObjectFactory::Instance().Clear(false, false);
        GLogicalManager& manager = GLogicalManager::Instance();
        manager.SetGameScreen(nullptr);
        manager.SetGameData(nullptr);
        standin::SetTerminateHook(mPreviousHook);
        standin::TakeMessageBoxes();
        std::filesystem::current_path(mOldCurrent);
        TVisualXmlTest::TearDown();
    }

    // The value of the Lua expression in the level's state, as a table (null when it is none).
    std::unique_ptr<TLuaTable> Table(const std::string& expression) {
        lua_State* state = mLevel.GetState();
        mLevel.DoLuaString(("return " + expression).c_str(), -1, 1);
        if (!lua_istable(state, -1)) {
            lua_pop(state, 1);
            return nullptr;
        }
        return std::make_unique<TLuaTable>(state);
    }

    // The factory's object for the name from the type and object tables (Lua expressions, "nil"
    // for none), placed with the extra Lua text; the fixture owns it. Null when either step fails.
    GGameObject* Place(const std::string& name, const std::string& type, const std::string& object,
                       const std::string& extra = "") {
        std::unique_ptr<TLuaTable> typeTable = Table(type);
        std::unique_ptr<TLuaTable> objectTable = Table(object);
        std::unique_ptr<GGameObject> made(GObjectFactory::Instance().CreateObject(
            name.c_str(), typeTable.get(), objectTable.get()));
        if (made == nullptr ||
            !made->InitInLevel(objectTable.get(), nullptr, extra.c_str(), nullptr)) {
            return nullptr;
        }
        mObjects.push_back(std::move(made));
        return mObjects.back().get();
    }

    // A Lua global of the object's state as a number (0 for anything else).
    static double Number(GGameObject* object, const char* name) {
        return object->GetScript().GetGlobalNumber(name);
    }
    static std::string Text(GGameObject* object, const char* name) {
        return object->GetScript().GetGlobalString(name).CStr();
    }
    static void Run(GGameObject* object, const std::string& text) {
        object->GetScript().DoLuaString(text.c_str());
    }

    // The exit code a fatal path ended with, -1 when the call returned.
    template <typename F>
    static int EndCode(F call) {
        try {
            call();
        } catch (const TProcessEnded& ended) {
            return static_cast<int>(ended.code);
        }
        return -1;
    }

    testing_fixtures::TempDir mFolder;
    std::filesystem::path mOldCurrent;
    TScript mLevel;
    GGameData mGameData;
    standin::TTerminateHook mPreviousHook = nullptr;
    std::vector<std::unique_ptr<GGameObject>> mObjects;
};

} // namespace world_test
