// Loads arbitrary bytes as the stored progress text of the current player, with the demo's progress
// functions in the window script and another player's table in place: the load must leave a table,
// and never that other player's.
//
// Every run is bounded. The text is compiled as the load evaluates it and refused unless its code
// has no loop, no backward jump and no tail call, so a function activation runs at most its code's
// length; a call hook and a return hook count the activations of the text's own functions against
// a budget per input and raise a script error once it is spent (the scripts' functions run
// uncounted: their loops are bounded by the value the text built). Memory goes through a counting
// allocator with a budget; an input that reaches it is not checked further, since the scripts'
// own code may then fail to allocate as well.
#include "engine/core/knownfiles.h"
#include "engine/core/prefs.h"
#include "engine/core/random.h"
#include "engine/core/settings.h"
#include "engine/script/lua/lauxlib.h"
#include "engine/script/lua/lua.h"
#include "engine/script/lua/luastate.h"
#include "engine/script/script.h"
#include "engine/system/platform.h"
#include "engine/system/win32platform.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowsystem.h"
#include "game/common/GUserManager.h"
#include "game/world/GPlayerInfo.h"
#include "platform/win32/standin.h"
#include "platform/win32/windows.h"
#include "tests/fuzz/lua_budget.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

constexpr int kHookBudget = 200000;
// The chunk name the load gives the stored text.
constexpr char kTextSource[] = "=stored progress";

int sHooksLeft = 0;

void CountHook(lua_State* state, lua_Debug* debug) {
    if (lua_getinfo(state, "S", debug) != 0 && std::strcmp(debug->source, kTextSource) == 0 &&
        --sHooksLeft < 0) {
        luaL_error(state, "fuzz budget spent");
    }
}

// A text that does not compile is welcome: the load takes it for damaged.
bool Bounded(const std::string& text) {
    const std::string chunk = "return " + text + "\n";
    lua_State* scratch = lua_open();
    bool bounded = true;
    if (luaL_loadbuffer(scratch, chunk.data(), chunk.size(), kTextSource) == 0) {
        bounded = lua_budget::LoopFree(clvalue(scratch->top - 1)->l.p);
    }
    lua_close(scratch);
    return bounded;
}

TRandom sRandom;
lua_State* sState = nullptr;

bool GlobalIsTable(const char* name) {
    lua_pushstring(sState, name);
    lua_gettable(sState, LUA_GLOBALSINDEX);
    const bool table = lua_istable(sState, -1);
    lua_pop(sState, 1);
    return table;
}

bool SameGlobals(const char* a, const char* b) {
    lua_pushstring(sState, a);
    lua_gettable(sState, LUA_GLOBALSINDEX);
    lua_pushstring(sState, b);
    lua_gettable(sState, LUA_GLOBALSINDEX);
    const bool same = lua_rawequal(sState, -1, -2) != 0;
    lua_pop(sState, 2);
    return same;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    standin::SetFakeTime(1000);
    char folder[] = "/tmp/fuzz_progress_XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        std::abort();
    }
    SetFolderRoots(str(folder), str(), str());
    SetSetting("encryptionkey", "Rw5uLk9cTbXe");
    gLuaAlloc = &lua_budget::CountingAlloc;
    RegisterWindowSystem();
    static char commandLine[1] = "";
    auto* record =
        new TWin32Platform(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL, true);
    new TPlatform(record);
    TScript* script = GetWindowManager() != nullptr ? GetWindowManager()->GetScript() : nullptr;
    if (script == nullptr) {
        std::abort();
    }
    sState = script->GetState();
    std::ifstream in(std::filesystem::path(STELLAGRIM_SOURCE_DIR) / "assets/scripts/progress.lua");
    const std::string progress{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
    script->DoLuaString(progress.c_str());
    lua_pushstring(sState, "SetDefaultInfo");
    lua_gettable(sState, LUA_GLOBALSINDEX);
    const bool loaded = lua_isfunction(sState, -1);
    lua_pop(sState, 1);
    if (!loaded) {
        std::abort();
    }
    CreateUserManager(sRandom);
    GetUserManager()->CreateNewUser("A");
    GetUserManager()->CreateNewUser("B");
    GPlayerInfo::Instance();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The store keeps a text up to its first zero byte: check exactly that.
    std::string text(reinterpret_cast<const char*>(data), size);
    text.resize(text.find('\0') != std::string::npos ? text.find('\0') : text.size());
    if (!Bounded(text)) {
        return 0;
    }
    TPrefs* prefs = GetUserManager()->GetPrefs();
    prefs->SetString("gGlobalPlayerInfo", text.c_str(), 1, false);
    if (std::string(prefs->GetString("gGlobalPlayerInfo", "", 1).CStr()) != text) {
        return 0;
    }
    // Player A's table is in place when B is selected.
    TScript* script = GetWindowManager()->GetScript();
    script->DoLuaString(
        "SetDefaultInfo(); gGlobalPlayerInfo.money = 4242; gFuzzPrevious = gGlobalPlayerInfo");
    prefs->SetInt("curuser", 1, -1, false);

    sHooksLeft = kHookBudget;
    lua_budget::sMemoryRefused = false;
    // The script machine offers no setter: the hooks go into the state as the threads' do.
    sState->hook = &CountHook;
    sState->hookmask = LUA_MASKCALL | LUA_MASKRET;
    GPlayerInfo::Instance()->Load();
    sState->hookmask = 0;
    sState->hook = nullptr;

    if (!lua_budget::sMemoryRefused && (!GlobalIsTable("gGlobalPlayerInfo") ||
                                        SameGlobals("gGlobalPlayerInfo", "gFuzzPrevious"))) {
        std::abort();
    }
    script->DoLuaString("gFuzzPrevious = nil; gGlobalPlayerInfo = nil");
    prefs->SetInt("curuser", 0, -1, false);
    lua_setgcthreshold(sState, 0);
    return 0;
}
