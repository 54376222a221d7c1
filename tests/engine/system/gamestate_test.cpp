#include "engine/core/knownfiles.h"
#include "engine/script/script.h"
#include "engine/system/gamestate.h"
#include "engine/system/medialink.h"
#include "engine/system/portal.h"
#include "tests/engine/system/platform_fixture.h"
#include "tests/fixtures/tempdir.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using platform_test::TFakeSound;
using platform_test::TPlatformTest;

// A handler whose answers the test sets; every call goes to the shared log as "name:call".
struct TScriptedHandler final : TGameStateHandler {
    TScriptedHandler(std::string name, std::vector<std::string>* log)
        : name(std::move(name)), log(log) {}
    ~TScriptedHandler() override { log->push_back(name + ":destroyed"); }

    bool SetState(const char* key, const char* value) override {
        log->push_back(name + ":set " + key + "=" + value);
        return takes.count(key) != 0;
    }
    const char* GetState(const char* key, const char* current) override {
        log->push_back(name + ":get " + key + " " + current);
        if (nullAnswers.count(key) != 0) {
            return nullptr;
        }
        const auto found = answers.find(key);
        return found != answers.end() ? found->second.c_str() : current;
    }
    bool QueryRestartMode() override { return Ask("restart", restart); }
    bool QueryJumpToMenu() override { return Ask("jump", jump); }
    bool QueryMuteGame() override { return Ask("mute", mute); }
    bool QueryPause() override { return Ask("pause", pause); }

    bool Ask(const char* what, bool answer) {
        log->push_back(name + ":" + what);
        return answer;
    }

    std::string name;
    std::vector<std::string>* log;
    std::set<std::string> takes;
    std::map<std::string, std::string> answers;
    std::set<std::string> nullAnswers;
    bool restart = false;
    bool jump = false;
    bool mute = false;
    bool pause = false;
};

// A window manager that holds a real window script, as the window system's does.
struct TScriptWindowManager final : TWindowManagerLink {
    TScriptWindowManager() { script.Init(); }
    bool IsDrawingSuspended() const override { return false; }
    bool IsInputBlocked() const override { return false; }
    void Invalidate() override {}
    void AbortMovie() override {}
    bool GetRootRect(TRect*) const override { return false; }
    TScript* GetScript() const override { return &script; }

    mutable TScript script;
};

std::string Text(const str& text) {
    return text.CStr();
}

class TGameStateTest : public TPlatformTest {
protected:
    void SetUp() override {
        TPlatformTest::SetUp();
        MakePlatform();
        mSound = new TFakeSound;
        mPlatform->GetWin32()->mSoundManager = mSound;
    }

    void TearDown() override {
        TPlatformTest::TearDown();
        // The platform deletes the game state; this only keeps a failure from spilling over.
        delete TGameState::Peek();
    }

    TScriptedHandler* AddHandler(const std::string& name) {
        auto* handler = new TScriptedHandler(name, &mLog);
        TGameState::AddHandler(handler);
        return handler;
    }

    TGameState& State() { return *TGameState::Get(); }

    TFakeSound* mSound = nullptr;
    std::vector<std::string> mLog;
};

TEST(GameStateSingletonTest, NoGameStateWithoutPlatform) {
    ASSERT_EQ(TPlatform::GetInstance(), nullptr);
    EXPECT_EQ(TGameState::Get(), nullptr);
    EXPECT_EQ(TGameState::Peek(), nullptr);
}

TEST_F(TGameStateTest, CreatedOnFirstGetAndDeletedWithItsHandlersInOrder) {
    EXPECT_EQ(TGameState::Peek(), nullptr);
    TGameState* state = TGameState::Get();
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(TGameState::Get(), state);
    EXPECT_EQ(TGameState::Peek(), state);
    AddHandler("a");
    AddHandler("b");

    delete state;
    EXPECT_EQ(mLog, (std::vector<std::string>{"a:destroyed", "b:destroyed"}));
    EXPECT_EQ(TGameState::Peek(), nullptr);
    // A new game state starts empty, without the old handlers.
    EXPECT_EQ(Text(State().GetState("x")), "");
    EXPECT_EQ(mLog.size(), 2u);
}

TEST_F(TGameStateTest, ThePlatformDeletesTheGameState) {
    AddHandler("a");
    State().SetState("n", "1");
    delete mPlatform;
    mPlatform = nullptr;
    EXPECT_EQ(TGameState::Peek(), nullptr);
    EXPECT_EQ(mLog, (std::vector<std::string>{"a:set n=1", "a:destroyed"}));
}

TEST_F(TGameStateTest, CountsUpWithPlusPlus) {
    for (int i = 0; i < 3; ++i) {
        State().SetState("++n", "anything");
    }
    EXPECT_EQ(Text(State().GetState("n")), "3");
    EXPECT_EQ(Text(State().GetState("++n")), "");
}

TEST_F(TGameStateTest, PlusPlusCountsFromTheDecimalValue) {
    struct TCase {
        const char* stored;
        const char* counted;
    };
    const TCase cases[] = {
        {"", "1"},
        {"abc", "1"},
        {"41", "42"},
        {" 7", "8"},
        {"12abc", "13"},
        {"-1", "0"},
        {"-5", "-4"},
        // Past the 32-bit range the counter keeps counting instead of overflowing.
        {"2147483647", "2147483648"},
        {"99999999999999999999", "9223372036854775807"},
        {"9223372036854775807", "9223372036854775807"},
    };
    for (const TCase& c : cases) {
        State().SetState("c", c.stored);
        State().SetState("++c", "ignored");
        EXPECT_EQ(Text(State().GetState("c")), c.counted) << "from \"" << c.stored << "\"";
    }
}

TEST_F(TGameStateTest, HandlersSeeTheCountedKeyAndValue) {
    AddHandler("a");
    State().SetState("++hits", "9");
    State().SetState("++hits", "9");
    EXPECT_EQ(mLog, (std::vector<std::string>{"a:get hits ", "a:set hits=1", "a:get hits 1",
                                              "a:set hits=2"}));
}

TEST_F(TGameStateTest, SendCommandFormatsTheNumber) {
    AddHandler("a");
    State().SendCommand("windowmessage", 7);
    State().SendCommand("windowmessage", -2147483647 - 1);
    EXPECT_EQ(mLog, (std::vector<std::string>{"a:set windowmessage=7",
                                              "a:set windowmessage=-2147483648"}));
    EXPECT_EQ(Text(State().GetState("windowmessage")), "-2147483648");
}

TEST_F(TGameStateTest, TheFirstHandlerThatTakesAChangeEndsTheOffer) {
    TScriptedHandler* b = AddHandler("b");
    AddHandler("c");
    AddHandler("a");
    b->takes = {"k"};
    State().SetState("k", "v");
    State().SetState("other", "w");
    EXPECT_EQ(mLog, (std::vector<std::string>{"b:set k=v", "b:set other=w", "c:set other=w",
                                              "a:set other=w"}));
    // The value is stored whoever took it.
    EXPECT_EQ(Text(State().GetState("k")), "v");
}

TEST_F(TGameStateTest, GetStateOfAnUnsetKeyIsEmpty) {
    EXPECT_EQ(Text(State().GetState("never")), "");
}

TEST_F(TGameStateTest, GetStatePassesTheValueThroughEveryHandler) {
    State().SetState("k", "stored");
    TScriptedHandler* a = AddHandler("a");
    TScriptedHandler* b = AddHandler("b");
    TScriptedHandler* c = AddHandler("c");
    a->answers["k"] = "from-a";
    b->nullAnswers = {"k"};
    c->answers["unset"] = "supplied";

    EXPECT_EQ(Text(State().GetState("k")), "from-a");
    EXPECT_EQ(mLog,
              (std::vector<std::string>{"a:get k stored", "b:get k from-a", "c:get k from-a"}));
    // A handler may supply a value for a key never set.
    EXPECT_EQ(Text(State().GetState("unset")), "supplied");
}

TEST_F(TGameStateTest, QueriesStopAtTheFirstHandlerThatSaysYes) {
    struct TQuery {
        const char* name;
        bool TScriptedHandler::*answer;
        bool (TGameState::*query)();
    };
    const TQuery queries[] = {
        {"restart", &TScriptedHandler::restart, &TGameState::QueryRestartMode},
        {"jump", &TScriptedHandler::jump, &TGameState::QueryJumpToMenu},
        {"pause", &TScriptedHandler::pause, &TGameState::IsBusy},
        {"mute", &TScriptedHandler::mute, &TGameState::QueryMuteGame},
    };
    for (const TQuery& q : queries) {
        SCOPED_TRACE(q.name);
        delete TGameState::Peek();
        mLog.clear();
        EXPECT_FALSE((State().*q.query)()) << "no handlers";

        TScriptedHandler* a = AddHandler("a");
        TScriptedHandler* b = AddHandler("b");
        AddHandler("c");
        EXPECT_FALSE((State().*q.query)());
        b->*q.answer = true;
        EXPECT_TRUE((State().*q.query)());
        a->*q.answer = true;
        EXPECT_TRUE((State().*q.query)());

        const std::string n = q.name;
        std::vector<std::string> expected = {"a:" + n, "b:" + n, "c:" + n,
                                             "a:" + n, "b:" + n, "a:" + n};
        if (n == "mute") {
            // With no handler asking for it, the stored value is read.
            expected.insert(expected.begin() + 3, "a:get mute ");
            expected.insert(expected.begin() + 4, "b:get mute ");
            expected.insert(expected.begin() + 5, "c:get mute ");
        }
        EXPECT_EQ(mLog, expected);
    }
}

TEST_F(TGameStateTest, QueryMuteGameReadsTheStoredValue) {
    struct TCase {
        const char* stored;
        bool muted;
    };
    const TCase cases[] = {{"1", true},  {"2", true}, {"-1", true},
                           {"0", false}, {"", false}, {"on", false}};
    for (const TCase& c : cases) {
        State().SetState("mute", c.stored);
        EXPECT_EQ(State().QueryMuteGame(), c.muted) << "mute \"" << c.stored << "\"";
    }
}

TEST_F(TGameStateTest, MuteSavesTheMasterVolumeAndUnmuteRestoresIt) {
    State().SetState("mute", "1");
    EXPECT_EQ(mSound->calls, (std::vector<std::string>{"get -1", "set -1 0"}));
    EXPECT_EQ(mSound->master, 0.0f);

    mSound->calls.clear();
    State().SetState("mute", "1");
    State().SetState("mute", "3");
    EXPECT_TRUE(mSound->calls.empty()) << "a second mute changes nothing";

    State().SetState("mute", "0");
    EXPECT_EQ(mSound->calls, (std::vector<std::string>{"set -1 0.8"}));
    EXPECT_EQ(mSound->master, 0.8f);

    mSound->calls.clear();
    State().SetState("mute", "0");
    State().SetState("mute", "");
    EXPECT_TRUE(mSound->calls.empty()) << "unmuting what is not muted changes nothing";
}

TEST_F(TGameStateTest, OnlyTheDecimalValueOfMuteCounts) {
    struct TCase {
        const char* value;
        bool mutes;
    };
    const TCase cases[] = {
        {"1", true},  {"7", true}, {" 2", true},   {"99999999999999999999", true},
        {"0", false}, {"", false}, {"yes", false}, {"0.9", false}};
    for (const TCase& c : cases) {
        State().SetState("mute", c.value);
        EXPECT_EQ(mSound->master, c.mutes ? 0.0f : 0.8f) << "mute \"" << c.value << "\"";
        State().SetState("mute", "0");
        EXPECT_EQ(mSound->master, 0.8f);
    }
}

TEST_F(TGameStateTest, AHandlerThatTakesMuteBlocksTheVolumeChange) {
    TScriptedHandler* host = AddHandler("host");
    host->takes = {"mute"};
    State().SetState("mute", "1");
    EXPECT_TRUE(mSound->calls.empty());
    EXPECT_EQ(mSound->master, 0.8f);
    EXPECT_EQ(Text(State().GetState("mute")), "1");
    EXPECT_TRUE(State().QueryMuteGame());

    // The volume was never lowered, so an unmute the handler lets through restores nothing.
    host->takes.clear();
    State().SetState("mute", "0");
    EXPECT_TRUE(mSound->calls.empty());
    EXPECT_EQ(mSound->master, 0.8f);
}

TEST_F(TGameStateTest, ASavedVolumeIsNeverOverwrittenByTheLoweredOne) {
    TScriptedHandler* host = AddHandler("host");
    State().SetState("mute", "1");
    ASSERT_EQ(mSound->master, 0.0f);
    // The handler takes the unmute: the volume stays down and the saved one must survive.
    host->takes = {"mute"};
    State().SetState("mute", "0");
    host->takes.clear();
    State().SetState("mute", "1");
    EXPECT_EQ(mSound->master, 0.0f);
    State().SetState("mute", "0");
    EXPECT_EQ(mSound->master, 0.8f);
}

TEST_F(TGameStateTest, MuteWithoutSoundManager) {
    mPlatform->GetWin32()->mSoundManager = nullptr;
    State().SetState("mute", "1");
    EXPECT_TRUE(State().QueryMuteGame());
    // Sound starts later: nothing was saved, so unmuting must not set the volume to 0.
    mPlatform->GetWin32()->mSoundManager = mSound;
    State().SetState("mute", "0");
    EXPECT_TRUE(mSound->calls.empty());
    EXPECT_EQ(mSound->master, 0.8f);

    State().SetState("mute", "1");
    EXPECT_EQ(mSound->master, 0.0f);
    // Sound went away while muted: nothing to restore, and no crash.
    mPlatform->GetWin32()->mSoundManager = nullptr;
    State().SetState("mute", "0");
    mPlatform->GetWin32()->mSoundManager = mSound;
}

TEST_F(TGameStateTest, APlugInWithoutLibraryAnswersTheDefaults) {
    TDllGameState plugin;
    EXPECT_FALSE(plugin.SetState("k", "v"));
    const char* current = "now";
    EXPECT_EQ(plugin.GetState("k", current), current);
    EXPECT_FALSE(plugin.QueryRestartMode());
    EXPECT_FALSE(plugin.QueryJumpToMenu());
    EXPECT_FALSE(plugin.QueryMuteGame());
    EXPECT_FALSE(plugin.QueryPause());
}

// The test plug-ins, built into the program folder of this test program.
class TPlugInTest : public TGameStateTest {
protected:
    void SetUp() override {
        TGameStateTest::SetUp();
        mProgramFolder = fs::read_symlink("/proc/self/exe").parent_path();
        mLogFile = mTemp.Path() / "plugin.log";
        setenv("STELLAGRIM_TESTPLUGIN_LOG", mLogFile.c_str(), 1);
        unsetenv("STELLAGRIM_TESTPLUGIN_ANSWERS");
        unsetenv("STELLAGRIM_TESTPLUGIN_REFUSE");
    }

    void TearDown() override {
        TGameStateTest::TearDown();
        unsetenv("STELLAGRIM_TESTPLUGIN_LOG");
        unsetenv("STELLAGRIM_TESTPLUGIN_ANSWERS");
        unsetenv("STELLAGRIM_TESTPLUGIN_REFUSE");
    }

    // The known key leads to the disk path, as the start-up scan would record it.
    static void Know(const char* key, const fs::path& path) {
        KnownFiles()[str(key)] = TKnownFile{str(path.c_str()), TFileSource::kDisk};
    }

    std::vector<std::string> PlugInLog() const {
        std::vector<std::string> lines;
        std::ifstream in(mLogFile);
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    static bool IsLoaded(const fs::path& library) {
        void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (handle != nullptr) {
            dlclose(handle);
        }
        return handle != nullptr;
    }

    testing_fixtures::TempDir mTemp;
    fs::path mProgramFolder;
    fs::path mLogFile;
};

TEST_F(TPlugInTest, APlugInIsLoadedAskedAndFreed) {
    const fs::path library = mProgramFolder / "testhandler.qzmod";
    Know("testhandler.qzmod", library);
    auto* plugin = new TDllGameState;
    ASSERT_TRUE(plugin->Load("testhandler.qzmod"));
    EXPECT_TRUE(IsLoaded(library));
    TGameState::AddHandler(plugin);
    AddHandler("after");

    State().SetState("plugin.level", "4");
    State().SetState("score", "10");
    State().SetState("plugin.name", "x");
    EXPECT_EQ(Text(State().GetState("plugin.name")), "plugin:x");
    EXPECT_FALSE(State().IsBusy());
    setenv("STELLAGRIM_TESTPLUGIN_ANSWERS", "pr", 1);
    EXPECT_TRUE(State().IsBusy());
    EXPECT_TRUE(State().QueryRestartMode());
    EXPECT_FALSE(State().QueryJumpToMenu());
    EXPECT_FALSE(State().QueryMuteGame());
    EXPECT_EQ(mLog, (std::vector<std::string>{"after:set score=10",
                                              "after:get plugin.name plugin:x", "after:pause",
                                              "after:jump", "after:mute", "after:get mute "}));

    delete TGameState::Peek();
    EXPECT_EQ(PlugInLog(), (std::vector<std::string>{
                               "create", "SetState plugin.level=4", "SetState score=10",
                               "SetState plugin.name=x", "GetState plugin.name x", "QueryPause",
                               "QueryPause", "QueryRestartMode", "QueryJumpToMenu", "QueryMuteGame",
                               "GetState mute ", "destroy", "unload"}));
    EXPECT_FALSE(IsLoaded(library));
}

TEST_F(TPlugInTest, APlugInInTheAssetsFolderLoads) {
    // The start-up scan finds plug-ins in the program's assets folder.
    const fs::path assets = mProgramFolder / "assets";
    const bool madeFolder = fs::create_directory(assets);
    const fs::path library = assets / "gamestate_test_assets.qzmod";
    fs::copy_file(mProgramFolder / "testhandler.qzmod", library,
                  fs::copy_options::overwrite_existing);
    Know("gamestate_test_assets.qzmod", library);
    {
        TDllGameState plugin;
        EXPECT_TRUE(plugin.Load("gamestate_test_assets.qzmod"));
    }
    fs::remove(library);
    if (madeFolder) {
        fs::remove(assets);
    }
    EXPECT_EQ(PlugInLog(), (std::vector<std::string>{"create", "destroy", "unload"}));
}

TEST_F(TPlugInTest, RefusedPlugInsAreFreedAtOnce) {
    const fs::path elsewhere = mTemp.Path() / "elsewhere";
    fs::create_directories(elsewhere / "assets");
    fs::copy_file(mProgramFolder / "testhandler.qzmod", elsewhere / "assets/moved.qzmod");
    fs::copy_file(mProgramFolder / "testhandler.qzmod", elsewhere / "moved.qzmod");
    static const char kBytes[] = "not a library";

    struct TCase {
        const char* what;
        const char* key;
        const char* env; // set to "1" for the case
        std::vector<std::string> log;
    };
    const TCase cases[] = {
        {"without DestroyHandler", "nodestroy.qzmod", nullptr, {"unload"}},
        {"CreateHandler refuses",
         "testhandler.qzmod",
         "STELLAGRIM_TESTPLUGIN_REFUSE",
         {"refuse", "unload"}},
        {"unknown key", "missing.qzmod", nullptr, {}},
        {"outside the program folder", "moved.qzmod", nullptr, {}},
        {"relative to a moved current folder", "assets-moved.qzmod", nullptr, {}},
        {"climbing out of the program folder", "climb.qzmod", nullptr, {}},
        {"memory block", "memory.qzmod", nullptr, {}},
    };
    Know("nodestroy.qzmod", mProgramFolder / "nodestroy.qzmod");
    Know("testhandler.qzmod", mProgramFolder / "testhandler.qzmod");
    Know("moved.qzmod", elsewhere / "moved.qzmod");
    // As "-wd=" leaves it: the scan's relative path now points below another folder.
    KnownFiles()[str("assets-moved.qzmod")] =
        TKnownFile{str("assets/moved.qzmod"), TFileSource::kDisk};
    Know("climb.qzmod", mProgramFolder / ".." /
                            fs::relative(elsewhere / "moved.qzmod", mProgramFolder.parent_path()));
    RegisterMemoryFile("memory.qzmod", kBytes, sizeof kBytes);

    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(mLogFile);
        if (c.env != nullptr) {
            setenv(c.env, "1", 1);
        }
        ASSERT_EQ(chdir(elsewhere.c_str()), 0);
        auto* plugin = new TDllGameState;
        EXPECT_FALSE(plugin->Load(c.key));
        EXPECT_EQ(PlugInLog(), c.log) << "freed before the object is deleted";
        delete plugin;
        EXPECT_EQ(PlugInLog(), c.log);
        if (c.env != nullptr) {
            unsetenv(c.env);
        }
    }
    EXPECT_FALSE(IsLoaded(mProgramFolder / "nodestroy.qzmod"));
    EXPECT_FALSE(IsLoaded(mProgramFolder / "testhandler.qzmod"));
}

TEST_F(TPlugInTest, LoadingAgainReplacesThePlugIn) {
    Know("testhandler.qzmod", mProgramFolder / "testhandler.qzmod");
    auto* plugin = new TDllGameState;
    ASSERT_TRUE(plugin->Load("testhandler.qzmod"));
    ASSERT_TRUE(plugin->Load("testhandler.qzmod"));
    delete plugin;
    EXPECT_EQ(PlugInLog(), (std::vector<std::string>{"create", "destroy", "unload", "create",
                                                     "destroy", "unload"}));
}

// The Lua functions in the window script.
class TGameStateLuaTest : public TGameStateTest {
protected:
    void SetUp() override {
        TPlatformTest::SetUp();
        TWindowSystemFactory factory;
        factory.createWindowManager = []() -> TWindowManagerLink* {
            return new TScriptWindowManager;
        };
        SetWindowSystemFactory(factory);
        MakePlatform();
        mSound = new TFakeSound;
        mPlatform->GetWin32()->mSoundManager = mSound;
        mScript = mPlatform->GetWin32()->mWindowManager->GetScript();
        // A failing chunk reports here instead of reaching for a missing handler.
        mScript->DoLuaString("function LuaErrorMessage(message) lastError = message end");
    }

    // Runs the Lua text and answers the global "result" as text.
    std::string Run(const char* text) {
        mScript->SetGlobalString("result", "");
        mScript->DoLuaString(text);
        return Text(mScript->GetGlobalString("result"));
    }

    TScript* mScript = nullptr;
};

TEST_F(TGameStateLuaTest, ScriptsReachTheGameState) {
    State();
    TScriptedHandler* a = AddHandler("a");
    EXPECT_EQ(Run("_SetState('n', '5') result = GetState('n')"), "5");
    EXPECT_EQ(Run("_SetState('++n', 'x') _SetState('++n') result = GetState('n')"), "7");
    EXPECT_EQ(Run("result = type(GetState('never')) .. '[' .. GetState('never') .. ']'"),
              "string[]");
    EXPECT_EQ(Run("result = tostring(QueryMuteGame())"), "false");
    EXPECT_EQ(Run("_SetState('mute', '1') result = tostring(QueryMuteGame())"), "true");
    EXPECT_EQ(mSound->master, 0.0f);
    EXPECT_EQ(Run("result = tostring(QueryRestartMode()) .. tostring(QueryJumpToMenu())"),
              "falsefalse");
    a->restart = true;
    a->jump = true;
    EXPECT_EQ(Run("result = tostring(QueryRestartMode()) .. tostring(QueryJumpToMenu())"),
              "truetrue");
    EXPECT_EQ(Text(State().GetState("n")), "7");
}

TEST_F(TGameStateLuaTest, TheFunctionsGoWithTheGameState) {
    State();
    Run("keepGet = GetState keepSet = _SetState keepMute = QueryMuteGame");
    delete TGameState::Peek();

    EXPECT_EQ(Run("result = tostring(GetState) .. tostring(_SetState) .. tostring(QueryMuteGame)"
                  " .. tostring(QueryRestartMode) .. tostring(QueryJumpToMenu)"),
              "nilnilnilnilnil");
    EXPECT_EQ(Run("local a = pcall(keepGet, 'n') local b = pcall(keepSet, 'n', '1')"
                  " local c = pcall(keepMute) result = tostring(a) .. tostring(b) .. tostring(c)"),
              "falsefalsefalse");
    EXPECT_EQ(TGameState::Peek(), nullptr) << "a withdrawn _SetState creates no game state";

    // The next game state publishes again.
    State().SetState("n", "2");
    EXPECT_EQ(Run("result = GetState('n')"), "2");
}

TEST_F(TGameStateLuaTest, PlatformTeardownLeavesTheClosedScriptAlone) {
    State();
    Run("keepGet = GetState");
    // The window manager and its script go before the game state.
    delete mPlatform;
    mPlatform = nullptr;
    EXPECT_EQ(TGameState::Peek(), nullptr);
}

} // namespace
