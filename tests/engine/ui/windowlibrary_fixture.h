// The window system of a test platform (manager_fixture.h) with the window script library, the
// dialog files of tests/engine/ui/dialogs under "assets/" of the current folder, a window type
// "Probe" that journals how its description reads, and a Lua function "Note" that writes to the
// same journal. Dialog code runs in the window script's coroutine, driven by events, task-list
// runs and the stand-in's fake clock.
#pragma once

#include "engine/core/filescan.h"
#include "engine/script/luabinding.h"
#include "engine/system/platform.h"
#include "engine/ui/windowlibrary.h"
#include "engine/ui/windowscript.h"
#include "engine/ui/windowscriptmessages.h"
#include "engine/ui/windowstyle.h"
#include "platform/win32/standin.h"
#include "tests/engine/ui/manager_fixture.h"
#include "tests/fixtures/testpaths.h"

#include <cstdlib>
#include <filesystem>
#include <string>

namespace windowlibrary_test {

using manager_test::Text;
using manager_test::TJournal;

// The journal of the running test; Probe windows and "Note" write to it.
inline TJournal* gJournal = nullptr;

inline void Note(str text) {
    if (gJournal != nullptr) {
        gJournal->push_back(Text(text));
    }
}

// A window that notes "<name> in <parent>: font=<font> group=<beginGroup>" as its Init reads its
// description.
class TProbeWindow : public TWindow {
public:
    static TWindow* Create() { return new TProbeWindow; }

    void Init(TWindowStyle& style) override {
        TWindow::Init(style);
        const TWindow* parent = GetParent();
        Note(GetName() + " in " + (parent != nullptr ? parent->GetName() : str("none")) +
             ": font=" + style.GetString("font", "-") +
             " group=" + str::FromFormat("%d", style.GetInt("beginGroup", -1)));
    }
};

class TWindowLibraryTest : public manager_test::TManagerTest {
protected:
    void SetUp() override {
        TManagerTest::SetUp();
        // The file layer finds the dialog files under their bare names, as it finds the assets.
        std::filesystem::copy(testing_fixtures::SourceDir() / "tests/engine/ui/dialogs",
                              mFolder.Path() / "assets");
        SetCurrentDirectoryA(mFolder.Path().string().c_str());
        ScanFolder("assets", str());
        mScript = Manager()->GetWindowScript();
        ASSERT_NE(mScript, nullptr);
        L = mScript->GetState();

        gJournal = &mJournal;
        LuaPublish(L, "Note", &Note);
        Manager()->RegisterWindowType("Probe", &TProbeWindow::Create);
    }

    void TearDown() override {
        // A library function that failed says so only in the log.
        const std::string log = LogText();
        EXPECT_EQ(log.find("rror"), std::string::npos) << log;
        gJournal = nullptr;
        TManagerTest::TearDown();
    }

    // Runs Lua text as the game main does (inside the coroutine while it waits).
    void Lua(const std::string& text) { mScript->DoLuaString(text.c_str()); }

    // Starts the text as the script's coroutine; it runs until it first waits.
    void Start(const std::string& body) { Lua("return function() " + body + " end"); }

    // Reads that run no Lua code, so that they do not resume a waiting dialog as Lua text would.
    // A global as text: "nil", "true", "false", a number as Lua writes it, a string as it is, or
    // the type name of anything else.
    std::string Global(const char* name) {
        lua_pushstring(L, name);
        lua_gettable(L, LUA_GLOBALSINDEX);
        return PopText();
    }
    // A field of a global table, by name or (a number) by index.
    std::string Field(const char* table, const char* key) {
        lua_pushstring(L, table);
        lua_gettable(L, LUA_GLOBALSINDEX);
        if (!lua_istable(L, -1)) {
            lua_pop(L, 1);
            return "no table";
        }
        char* end = nullptr;
        const long index = std::strtol(key, &end, 10);
        if (*key != '\0' && *end == '\0') {
            lua_rawgeti(L, -1, static_cast<int>(index));
        } else {
            lua_pushstring(L, key);
            lua_rawget(L, -2);
        }
        lua_remove(L, -2);
        return PopText();
    }
    // The message userdata in a global as "<kind> <name>", else "no message".
    std::string MessageText(const char* name) {
        lua_pushstring(L, name);
        lua_gettable(L, LUA_GLOBALSINDEX);
        const TMessage* message = ToMessage(L, -1);
        lua_pop(L, 1);
        if (message == nullptr) {
            return "no message";
        }
        return std::to_string(message->GetKind()) + " " + Text(message->GetName());
    }

    std::string PopText() {
        std::string text;
        switch (lua_type(L, -1)) {
        case LUA_TNIL:
            text = "nil";
            break;
        case LUA_TBOOLEAN:
            text = lua_toboolean(L, -1) != 0 ? "true" : "false";
            break;
        case LUA_TNUMBER:
        case LUA_TSTRING:
            text = lua_tostring(L, -1);
            break;
        default:
            text = lua_typename(L, lua_type(L, -1));
            break;
        }
        lua_pop(L, 1);
        return text;
    }

    bool Waiting() const { return mScript->IsYielded(); }

    // One run of the platform's task list, where the script's timer lives.
    void Tick() { mPlatform->GetTaskList()->Run(0); }
    // The fake clock moves on; the script's timer runs out at the next Tick.
    void Advance(DWORD ms) {
        mNow += ms;
        standin::SetFakeTime(kStartTime + mNow);
    }
    // An idle event: windows queued for deletion go and queued messages are delivered.
    void Idle() { Send(manager_test::MakeEvent(kEventIdle)); }

    // A message no window took, as the manager hands it to the script.
    void Pass(int32_t kind, const char* name) {
        Manager()->PassToScript(new TMessage(kind, name, nullptr), nullptr);
    }

    TWindow* Find(const char* name) { return Manager()->GetRootWindow()->FindChild(name, -1); }

    TWindowScript* mScript = nullptr;
    lua_State* L = nullptr;
    testing_fixtures::TempDir mFolder;
    DWORD mNow = 0;
};

} // namespace windowlibrary_test
