// Runs arbitrary text as a particle script: Load, several Updates and a Render in a frame of a
// headless display.
//
// Every run is bounded. The script machine has no instruction hook, so the bound is built from
// what it has: the text is compiled first and refused unless its code has no loop, no backward
// jump and no tail call, so a function activation runs at most its code's length; a call hook
// (every native call) and a return hook (every Lua return) count against a budget per input and
// raise a script error once it is spent, which bounds the number of activations. New threads get
// the same hooks. Memory goes through a counting allocator with a budget of its own. The pool is
// capped, and the library functions that run unbounded native loops or compile more code
// (pattern matching, string.rep, loadstring and the file loaders) are removed.
#include "engine/core/assetmanager.h"
#include "engine/core/random.h"
#include "engine/media/particlecollection.h"
#include "engine/media/particlesystem.h"
#include "engine/media/renderer.h"
#include "engine/script/lua/lauxlib.h"
#include "engine/script/lua/lua.h"
#include "engine/script/lua/luastate.h"
#include "engine/script/script.h"
#include "tests/fuzz/imageload_fuzz.h"
#include "tests/fuzz/lua_budget.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

constexpr int kHookBudget = 200000;

int sHooksLeft = 0;

void CountHook(lua_State* state, lua_Debug*) {
    if (--sHooksLeft < 0) {
        luaL_error(state, "fuzz budget spent");
    }
}

void HookThread(lua_State*, lua_State* thread) {
    thread->hook = &CountHook;
    thread->hookmask = LUA_MASKCALL | LUA_MASKRET;
}

bool Bounded(const std::string& text) {
    lua_State* scratch = lua_open();
    bool bounded = false;
    if (luaL_loadbuffer(scratch, text.data(), text.size(), "fuzz") == 0) {
        bounded = lua_budget::LoopFree(clvalue(scratch->top - 1)->l.p);
    }
    lua_close(scratch);
    return bounded;
}

// Removes what can run without bound inside one native call or load more code, and caps the pool.
const char kHarness[] = "string.find = nil; string.gsub = nil; string.gfind = nil; "
                        "string.rep = nil; loadstring = nil; dostring = nil; dofile = nil; "
                        "loadfile = nil; require = nil\n"
                        "local pool = SetNumParticles\n"
                        "SetNumParticles = function(n) if n > 2048 then n = 2048 end pool(n) end\n";

TAssetManager* sAssets = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    image_fuzz::OpenDisplay();
    TPlatformData& data = TRenderer::Instance()->GetDisplayHandler().GetData();
    data.mTargetRect = TRect{0, 0, 64, 64};
    data.mViewport = data.mTargetRect;
    data.mClipRect = data.mTargetRect;
    sAssets = new TAssetManager;
    SetAssetManager(sAssets);
    gLuaAlloc = &lua_budget::CountingAlloc;
    gLuaNewThreadHook = &HookThread;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Load takes text up to its first zero byte: check exactly that.
    std::string text(reinterpret_cast<const char*>(data), size);
    text.resize(text.find('\0') != std::string::npos ? text.find('\0') : text.size());
    if (!Bounded(text)) {
        return 0;
    }
    {
        TLuaParticleSystem system;
        ParticleRandom()->Seed(1);
        system.GetScript()->DoLuaString(kHarness);
        lua_State* state = system.GetState();
        sHooksLeft = kHookBudget;
        HookThread(nullptr, state);
        system.Load(text.c_str());
        for (int ms : {20, 0, 35, 1000}) {
            system.Update(ms);
        }
        TRenderer& renderer = *TRenderer::Instance();
        if (renderer.BeginDraw(0)) {
            if (renderer.Begin2d()) {
                const TVec3 origin(8.0f, 8.0f, 0.0f);
                system.Render(&origin);
                renderer.End2d();
            }
            renderer.EndDraw(0);
        }
        const TParticleCollection& particles = system.GetCollection();
        image_fuzz::Expect(particles.GetLiveCount() + particles.GetFreeCount() ==
                           particles.GetRecordCount());
    }
    sAssets->ReleaseAll();
    return 0;
}
