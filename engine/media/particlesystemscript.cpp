// The particle system's side of its script: the Lua state with the value types, the functions a
// particle script calls, member references as Lua values, and the compiler from value trees to
// statements.
#include "engine/core/random.h"
#include "engine/media/particlecollection.h"
#include "engine/media/particlefunctions.h"
#include "engine/media/particlerenderer.h"
#include "engine/media/particlescriptlibrary.h"
#include "engine/media/particlesystem.h"
#include "engine/script/lua/lauxlib.h"
#include "engine/script/lua/lualib.h"
#include "engine/script/luabinding.h"
#include "engine/script/script.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>

namespace {

// The most arguments a statement records the sizes of.
constexpr int kParticleMaxArgs = static_cast<int>(sizeof(TParticleStatement::argSizes));

// A member reference travels in Lua as a boxed pointer that carries the 32-bit value.
TParticleMemberRef ParticleRefOf(const void* boxed) {
    return static_cast<TParticleMemberRef>(reinterpret_cast<uintptr_t>(boxed));
}

void ParticlePushGlobal(lua_State* state, const char* name) {
    lua_pushstring(state, name);
    lua_gettable(state, LUA_GLOBALSINDEX);
}

TParticleStatement ParticleStatement(TParticleFunctionPtr function, uint8_t argc) {
    TParticleStatement statement;
    statement.function = std::move(function);
    statement.argc = argc;
    return statement;
}

int ParticleRandomRange(int a, int b) {
    TRandom* random = ParticleRandom();
    return random != nullptr ? RandomIntRange(*random, a, b) : a;
}

float ParticleRandomFloat() {
    TRandom* random = ParticleRandom();
    return random != nullptr ? RandomUnitFloat(*random) : 0.0f;
}

// (member reference) -> offset as a signed 16-bit number, size.
int ParticleMemberParts(lua_State* state) {
    const TParticleMemberRef ref = ParticleRefOf(lua_touserdata(state, 1));
    lua_pushnumber(state, ParticleMemberOffset(ref));
    lua_pushnumber(state, ParticleMemberSize(ref));
    return 2;
}

// Drops the statements a compile appended when it does not finish: a node that fails to compile
// leaves nothing behind, not even its arguments.
class TPendingRollback {
public:
    explicit TPendingRollback(std::vector<TParticleStatement>& pending)
        : mPending(pending), mSize(pending.size()) {}
    ~TPendingRollback() {
        if (!mKeep && mPending.size() > mSize) {
            mPending.resize(mSize);
        }
    }
    TPendingRollback(const TPendingRollback&) = delete;
    TPendingRollback& operator=(const TPendingRollback&) = delete;

    void Keep() { mKeep = true; }
    void Rollback() { mPending.resize(std::min(mPending.size(), mSize)); }

private:
    std::vector<TParticleStatement>& mPending;
    size_t mSize;
    bool mKeep = false;
};

} // namespace

void TLuaParticleSystem::SetupScript() {
    mScript.reset();
    mPending.clear();
    mAnimStream.clear();
    mInitStream.clear();
    mExternals.clear();
    mMemberSizes.clear();
    mCollection->Clear();
    mRecords.reset();
    mHasPool = false;
    mFloatsPerParticle = 0;

    mScript = std::make_unique<TScript>();
    lua_State* state = GetState();
    luaopen_math(state);
    lua_settop(state, 0);

    mValueTypes.clear();
    mValueTypes["assign"] = &FAssign::Create;
    mValueTypes["lt"] = &FLt::Create;
    mValueTypes["le"] = &FLe::Create;
    mValueTypes["add"] = &FAdd::Create;
    mValueTypes["unm"] = &FUnm::Create;
    mValueTypes["mul"] = &FMul::Create;
    mValueTypes["div"] = &FDiv::Create;
    mValueTypes["sub"] = &FSub::Create;
    mValueTypes["index"] = &FIndex::Create;
    mValueTypes["newindex"] = &FNewIndex::Create;
    RegisterValueType("fTimeScale", &FTimeScale::Create);
    RegisterValueType("fAge", &FAge::Create);
    RegisterValueType("fPick", &FPick::Create);
    RegisterValueType("fFade", &FFade::Create);
    RegisterValueType("fOpenCycle", &FOpenCycle::Create);
    RegisterValueType("fClosedCycle", &FClosedCycle::Create);
    RegisterValueType("fAlpha", &FAlpha::Create);
    RegisterValueType("fDebug", &FDebug::Create);
    RegisterValueType("fDistance", &FDistance::Create);
    RegisterValueType("f2dRadius", &F2dRadius::Create);
    RegisterValueType("f2dRotation", &F2dRotation::Create);
    RegisterValueType("fVec", &FVec::Create);
    RegisterValueType("fRange", &FRange::Create);
    RegisterValueType("fExpire", &FExpire::Create);
    RegisterValueType("fLess", &FLt::Create);
    RegisterValueType("fLessEqual", &FLe::Create);

    lua_pushstring(state, "ParticleMemberMT");
    lua_newtable(state);
    lua_settable(state, LUA_GLOBALSINDEX);

    LuaPublish(state, "SetRendererOption1", this, &TLuaParticleSystem::SetRendererOption1);
    LuaPublish(state, "SetNumParticles", this, &TLuaParticleSystem::ScriptSetNumParticles);
    LuaPublish(state, "_SetTexture", this, &TLuaParticleSystem::SetTexture);
    LuaPublish(state, "CreateParticles", this, &TLuaParticleSystem::CreateParticles);
    LuaPublish(state, "Allocate", this, &TLuaParticleSystem::ScriptAllocate);
    LuaPublish(state, "RandomRange", &ParticleRandomRange);
    LuaPublish(state, "RandomFloat", &ParticleRandomFloat);
    LuaPublish(state, "CompileParam", this, &TLuaParticleSystem::CompileParam);
    LuaPublish(state, "GetParticleMemberParts", &ParticleMemberParts);
    LuaPublish(state, "AccumulateInitStream", this, &TLuaParticleSystem::AccumulateInitStream);
    LuaPublish(state, "AccumulateAnimStream", this, &TLuaParticleSystem::AccumulateAnimStream);
    LuaPublish(state, "Done", this, &TLuaParticleSystem::Done);

    const std::string_view library = ParticleScriptLibrary();
    lua_dobuffer(state, library.data(), library.size(), "particles.lua");
    const str init = mRenderer->GetInitText();
    lua_dobuffer(state, init.CStr() != nullptr ? init.CStr() : "",
                 static_cast<size_t>(init.Length()),
                 "TLuaParticleSystem ParticleRenderer init string");
    lua_settop(state, 0);
}

void TLuaParticleSystem::RegisterValueType(const str& name, TParticleCreateFunction create) {
    mValueTypes[name] = create;
    mScript->DoLuaString(str::FromFormat("function %s(...) return CreateValue('%s',arg); end",
                                         name.CStr(), name.CStr()));
}

TParticleFunctionPtr TLuaParticleSystem::CreateValueByName(const str& name) {
    const auto found = mValueTypes.find(name);
    if (found != mValueTypes.end() && found->second != nullptr) {
        return found->second();
    }
    Alert(str::FromFormat("Type not found: %s", name.CStr()));
    return TParticleFunctionPtr();
}

void TLuaParticleSystem::Alert(const str& text) {
    // Called with the text as a value, never spliced into Lua source: a type name may hold quotes.
    lua_State* state = GetState();
    const int top = lua_gettop(state);
    ParticlePushGlobal(state, "_ALERT");
    if (lua_isfunction(state, -1)) {
        LuaPushStr(state, text);
        lua_pcall(state, 1, 0, 0);
    }
    lua_settop(state, top);
}

int TLuaParticleSystem::AddParameter(const str& name, TParticleFunction* node) {
    // The offset is a signed 16-bit -k.
    if (node == nullptr || mExternals.size() >= 32768) {
        return 0;
    }
    mExternals.push_back(node);
    const int k = static_cast<int>(mExternals.size());
    lua_State* state = GetState();
    LuaPushStr(state, name);
    PushMemberRef(ParticleMemberRef(static_cast<int16_t>(-k), node->ResultSize(0, nullptr)));
    lua_settable(state, LUA_GLOBALSINDEX);
    return -k;
}

void TLuaParticleSystem::PushMemberRef(TParticleMemberRef ref) {
    lua_State* state = GetState();
    lua_pushboxedpointer(state, reinterpret_cast<void*>(static_cast<uintptr_t>(ref)));
    ParticlePushGlobal(state, "ParticleMemberMT");
    lua_setmetatable(state, -2);
}

int TLuaParticleSystem::ScriptAllocate(lua_State* state) {
    const auto n = static_cast<uint8_t>(LuaNumberToInt(lua_tonumber(state, 1)) & 0xFF);
    TParticleMemberRef ref = 0;
    if (!Allocate(n, &ref)) {
        if (HasPool()) {
            throw std::runtime_error("members must be allocated before SetNumParticles");
        }
        throw std::runtime_error("a particle has at most 255 floats in at most 255 members");
    }
    PushMemberRef(ref);
    return 1;
}

void TLuaParticleSystem::ScriptSetNumParticles(int n) {
    if (!SetNumParticles(n)) {
        throw std::runtime_error(str::FromFormat("cannot make a pool of %d particles", n).CStr());
    }
}

int TLuaParticleSystem::CompileParam(lua_State* state) {
    lua_settop(state, 1);
    switch (lua_type(state, 1)) {
    case LUA_TTABLE:
        return CompileTable(state);
    case LUA_TNUMBER:
        mPending.push_back(ParticleStatement(
            std::make_shared<FPush<float>>(static_cast<float>(lua_tonumber(state, 1))), 0));
        lua_pushnumber(state, 1);
        return 1;
    case LUA_TUSERDATA:
    case LUA_TLIGHTUSERDATA:
        return CompileMemberRef(state);
    default:
        lua_pushnumber(state, 0);
        return 1;
    }
}

int TLuaParticleSystem::CompileTable(lua_State* state) {
    const int n = lua_getn(state, 1);
    bool numbers = true;
    for (int i = 1; i <= n && numbers; ++i) {
        lua_rawgeti(state, 1, i);
        numbers = lua_type(state, -1) == LUA_TNUMBER;
        lua_pop(state, 1);
    }
    lua_pushstring(state, "cmd");
    lua_rawget(state, 1);
    if (lua_isnil(state, 2) && numbers) {
        // A constant of 1 to 4 numbers (one is what Value (x) makes); any other count is no value.
        float v[4] = {};
        if (n < 1 || n > 4) {
            Alert(str::FromFormat("A constant holds 1 to 4 numbers, not %d", n));
            return 0;
        }
        for (int i = 0; i < n; ++i) {
            lua_rawgeti(state, 1, i + 1);
            v[i] = static_cast<float>(lua_tonumber(state, -1));
            lua_pop(state, 1);
        }
        TParticleFunctionPtr constant;
        if (n == 1) {
            constant = std::make_shared<FPush<float>>(v[0]);
        } else if (n == 2) {
            constant = std::make_shared<FPush<TVec2>>(TVec2(v[0], v[1]));
        } else if (n == 3) {
            constant = std::make_shared<FPush<TVec3>>(TVec3(v[0], v[1], v[2]));
        } else {
            constant = std::make_shared<FPush<TVec4>>(TVec4(v[0], v[1], v[2], v[3]));
        }
        mPending.push_back(ParticleStatement(std::move(constant), 0));
        lua_pushnumber(state, n);
        return 1;
    }
    // A node: its type and parameters, or an implicit vector of the table's elements.
    const char* command = lua_type(state, 2) == LUA_TSTRING || lua_type(state, 2) == LUA_TNUMBER
                              ? lua_tostring(state, 2)
                              : nullptr;
    str type;
    if (command != nullptr && command[0] != '\0') {
        type = command;
        lua_pushstring(state, "params");
        lua_rawget(state, 1);
    } else {
        type = "fVec";
        lua_pushvalue(state, 1);
    }
    const int argc = lua_istable(state, 3) ? lua_getn(state, 3) : 0;
    return CompileNode(state, argc, type);
}

int TLuaParticleSystem::CompileNode(lua_State* state, int argc, const str& type) {
    TPendingRollback rollback(mPending);
    uint8_t sizes[kParticleMaxArgs] = {};
    if (lua_istable(state, 3)) {
        // The arguments' statements come before the node's.
        ParticlePushGlobal(state, "CompileParameters");
        lua_pushvalue(state, 3);
        lua_call(state, 1, 1);
        if (lua_istable(state, -1)) {
            for (int i = 0; i < argc && i < kParticleMaxArgs; ++i) {
                lua_rawgeti(state, -1, i + 1);
                sizes[i] = static_cast<uint8_t>(LuaNumberToInt(lua_tonumber(state, -1)) & 0xFF);
                lua_pop(state, 1);
            }
        }
        lua_pop(state, 1);
    }
    // A statement records at most kParticleMaxArgs argument sizes, and an argument count of 8
    // bits: more arguments make no node.
    if (argc < 0 || argc > kParticleMaxArgs) {
        Alert(str::FromFormat("Too many arguments (%d) for %s", argc, type.CStr()));
        rollback.Rollback();
        lua_pushnumber(state, 0);
        return 1;
    }
    TParticleFunctionPtr node = CreateValueByName(type);
    if (!node) {
        rollback.Rollback();
        lua_pushnumber(state, 0);
        return 1;
    }
    TParticleStatement statement = ParticleStatement(node, static_cast<uint8_t>(argc));
    std::copy(sizes, sizes + kParticleMaxArgs, statement.argSizes);
    const uint8_t size = node->ResultSize(statement.argc, statement.argSizes);
    mPending.push_back(std::move(statement));
    rollback.Keep();
    lua_pushnumber(state, size);
    return 1;
}

int TLuaParticleSystem::CompileMemberRef(lua_State* state) {
    // Only the system's own references: any other userdata carries no member.
    bool member = false;
    if (lua_getmetatable(state, 1) != 0) {
        ParticlePushGlobal(state, "ParticleMemberMT");
        member = lua_rawequal(state, -1, -2) != 0;
        lua_pop(state, 2);
    }
    const TParticleMemberRef ref = ParticleRefOf(lua_touserdata(state, 1));
    const int offset = ParticleMemberOffset(ref);
    const int size = ParticleMemberSize(ref);
    // Its floats lie inside the records, or it names an external parameter.
    const bool inside = offset >= 0 ? offset + size <= mFloatsPerParticle
                                    : static_cast<size_t>(~offset) < mExternals.size();
    if (!member || !inside) {
        lua_pushnumber(state, 0);
        return 1;
    }
    TParticleStatement statement = ParticleStatement(std::make_shared<FGetParticleParam>(ref), 0);
    statement.argSizes[0] = static_cast<uint8_t>(offset & 0xFF);
    statement.argSizes[1] = static_cast<uint8_t>(size & 0xFF);
    mPending.push_back(std::move(statement));
    lua_pushnumber(state, size);
    return 1;
}
