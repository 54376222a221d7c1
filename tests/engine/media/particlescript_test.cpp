#include "engine/core/random.h"
#include "engine/media/particlefunctions.h"
#include "engine/media/particlerenderer.h"
#include "engine/media/particlesystem.h"
#include "tests/engine/media/particlesystem_fixture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using particle_system_test::Describe;
using particle_system_test::MakeSystem;
using particle_system_test::Number;
using particle_system_test::RunLua;
using particle_system_test::Tail;
using TTexts = std::vector<std::string>;

using ParticleScriptTest = particle_system_test::TParticleSystemTest;

// CompileParam(expression) in a fresh system: how many values it returned, the first of them, and
// the statements it left pending.
struct TCompiled {
    int results;
    double size;
    TTexts statements;
};

TCompiled Compile(const std::string& expression, const std::string& before = "") {
    auto system = MakeSystem();
    RunLua(*system, before);
    RunLua(*system, "local r = { CompileParam(" + expression +
                        ") }; gResults = table.getn(r); gSize = r[1]");
    return TCompiled{static_cast<int>(system->GetScript()->GetGlobalNumber("gResults")),
                     system->GetScript()->GetGlobalNumber("gSize"),
                     Describe(system->GetPendingStatements())};
}

TEST_F(ParticleScriptTest, CompileParamTurnsValuesIntoStatements) {
    struct TCase {
        const char* expression;
        int results;
        double size;
        TTexts statements;
    };
    const TCase cases[] = {
        {"3", 1, 1, {"(3)"}},
        {"{1, 2}", 1, 2, {"(1,2)"}},
        {"{1, 2, 3}", 1, 3, {"(1,2,3)"}},
        {"Color(1, 2, 3, 4)", 1, 4, {"(1,2,3,4)"}},
        {"'x'", 1, 0, {}},
        {"nil", 1, 0, {}},
        // One number in a table is that number: what Value (x) makes.
        {"{5}", 1, 1, {"(5)"}},
        {"Value(5)", 1, 1, {"(5)"}},
        {"Value(5) * pScale", 1, 1, {"(5)", "m4:1", "FMul/2[1,1]"}},
        {"Value(pScale)", 1, 1, {"m4:1", "FVec/1[1]"}},
        {"pPosition", 1, 2, {"m0:2"}},
        {"pColor", 1, 4, {"m5:4"}},
        // The alpha of the colour: float 8 of the record.
        {"pColor[4]", 1, 1, {"(5)", "(4)", "FIndex/2[1,1]"}},
        // A table of values without cmd is a vector of them.
        {"{pPosition, 5}", 1, 2, {"m0:2", "(5)", "FVec/2[2,1]"}},
        {"pPosition + Vec2(1, 2)", 1, 2, {"m0:2", "(1,2)", "FAdd/2[2,2]"}},
        {"-pUp", 1, 2, {"m2:2", "FUnm/1[2]"}},
        {"-(pUp + pPosition)", 1, 2, {"m2:2", "m0:2", "FAdd/2[2,2]", "FUnm/1[2]"}},
        {"pPosition / 2", 1, 2, {"m0:2", "(2)", "FDiv/2[2,1]"}},
        {"fLess(pScale, pFrame)", 1, 1, {"m4:1", "m9:1", "FLt/2[1,1]"}},
        // What a < b calls; the operator itself yields a boolean in the script machine (below).
        {"ParticleMemberMT.__lt(pScale, pFrame)", 1, 1, {"m4:1", "m9:1", "FLt/2[1,1]"}},
        {"fGreater(pScale, pFrame)", 1, 1, {"m9:1", "m4:1", "FLt/2[1,1]"}},
        {"fGreaterEqual(pScale, 2)", 1, 1, {"(2)", "m4:1", "FLe/2[1,1]"}},
        {"fAge()", 1, 1, {"FAge/0[]"}},
        {"fRange(Vec2(0, 1), Vec2(2, 3))", 1, 2, {"(0,1)", "(2,3)", "FRange/2[2,2]"}},
        {"fAlpha(pColor, 0.5)", 1, 4, {"m5:4", "(0.5)", "FAlpha/2[4,1]"}},
        {"fDebug(pScale)", 1, 0, {"m4:1", "FDebug/1[1]"}},
        // Each node keeps the sizes of its own arguments, however deep they nest.
        {"Vec2(1, 2) + pScale * 3", 1, 2, {"(1,2)", "m4:1", "(3)", "FMul/2[1,1]", "FAdd/2[2,1]"}},
        {"CreateValue('fVec', {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11})",
         1,
         11,
         {"(1)", "(2)", "(3)", "(4)", "(5)", "(6)", "(7)", "(8)", "(9)", "(10)", "(11)",
          "FVec/11[1,1,1,1,1,1,1,1,1,1,1]"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.expression);
        const TCompiled compiled = Compile(c.expression);
        EXPECT_EQ(compiled.results, c.results) << LogText();
        EXPECT_EQ(compiled.size, c.size);
        EXPECT_EQ(compiled.statements, c.statements);
    }
}

// A node that cannot be made compiles to nothing at all, its arguments included, and tells the
// script why.
TEST_F(ParticleScriptTest, NodesThatCannotBeMadeCompileToNothing) {
    struct TCase {
        const char* expression;
        const char* alert;
        double size;
        TTexts statements;
    };
    const TCase cases[] = {
        {"CreateValue('nosuch', {pPosition, 2})", "Lua error: Type not found: nosuch", 0, {}},
        // The outer node compiles with what its failed argument left: nothing, of size 0.
        {"pPosition + CreateValue(\"it's\", {})",
         "Lua error: Type not found: it's",
         2,
         {"m0:2", "FAdd/2[2,0]"}},
        {"CreateValue('fVec', {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12})",
         "Lua error: Too many arguments (12) for fVec",
         0,
         {}},
        {"{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, pScale}",
         "Lua error: Too many arguments (12) for fVec",
         0,
         {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.expression);
        const TCompiled compiled = Compile(c.expression);
        EXPECT_EQ(compiled.results, 1);
        EXPECT_EQ(compiled.size, c.size);
        EXPECT_EQ(compiled.statements, c.statements);
        EXPECT_NE(LogText().find(c.alert), std::string::npos) << LogText();
    }
    // A script error inside an argument leaves nothing pending either.
    const TCompiled failed = Compile("pPosition + CreateValue('add', {pScale, 5})",
                                     "local compile = CompileParam\n"
                                     "CompileParam = function(p) if p == 5 then error('no') end "
                                     "return compile(p) end\n");
    EXPECT_EQ(failed.results, 0);
    EXPECT_TRUE(failed.statements.empty()) << failed.statements.size();
}

// Values that compile to nothing say so: a comparison where the script wrote it, with the
// function that compiles it, and a constant of a count of numbers that is no value.
TEST_F(ParticleScriptTest, ValuesThatCompileToNothingAlert) {
    struct TCase {
        const char* expression;
        int results;
        const char* alert;
    };
    const TCase cases[] = {
        {"pScale < pFrame", 1,
         "Lua error: [string \"local r = { CompileParam(pScale < pFrame) }...\"]:1: a comparison "
         "of particle values (a < b) gives no value: use fLess (a, b), or fGreater (a, b) for "
         "a > b"},
        // The machine turns a > b into b < a.
        {"Vec2(1, 2) > fAge()", 1,
         ":1: a comparison of particle values (a < b) gives no value: use fLess (a, b), or "
         "fGreater (a, b) for a > b"},
        {"pScale <= pFrame", 1,
         "a comparison of particle values (a <= b) gives no value: use fLessEqual (a, b), or "
         "fGreaterEqual (a, b) for a >= b"},
        {"pScale >= pFrame", 1, "(a <= b) gives no value"},
        {"{1, 2, 3, 4, 5}", 0, "Lua error: A constant holds 1 to 4 numbers, not 5"},
        {"{}", 0, "Lua error: A constant holds 1 to 4 numbers, not 0"},
        {"Value()", 0, "Lua error: A constant holds 1 to 4 numbers, not 0"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.expression);
        const size_t logged = LogText().size();
        const TCompiled compiled = Compile(c.expression);
        EXPECT_EQ(compiled.results, c.results);
        EXPECT_TRUE(compiled.statements.empty());
        EXPECT_NE(LogText().find(c.alert, logged), std::string::npos) << LogText().substr(logged);
    }
    // fLess and its kin compile without a word.
    const size_t logged = LogText().size();
    EXPECT_EQ(Compile("fLess(pScale, pFrame)").statements.size(), 3u);
    EXPECT_EQ(Compile("fGreaterEqual(pScale, 2)").statements.size(), 3u);
    EXPECT_EQ(LogText().find("comparison", logged), std::string::npos);
}

// Only the system's own member references compile as members.
TEST_F(ParticleScriptTest, OtherUserdataIsNoMember) {
    auto system = MakeSystem();
    lua_State* state = system->GetState();
    const auto setGlobal = [state](const char* name, TParticleMemberRef ref, bool withMetatable) {
        lua_pushstring(state, name);
        lua_pushboxedpointer(state, reinterpret_cast<void*>(static_cast<uintptr_t>(ref)));
        if (withMetatable) {
            lua_pushstring(state, "ParticleMemberMT");
            lua_gettable(state, LUA_GLOBALSINDEX);
            lua_setmetatable(state, -2);
        }
        lua_settable(state, LUA_GLOBALSINDEX);
    };
    setGlobal("gPlain", ParticleMemberRef(0, 2), false);
    setGlobal("gPastRecord", ParticleMemberRef(9, 2), true);
    setGlobal("gFar", ParticleMemberRef(200, 4), true);
    setGlobal("gNoExternal", ParticleMemberRef(-1, 2), true);
    setGlobal("gLastFloat", ParticleMemberRef(9, 1), true);
    lua_pushstring(state, "gLight");
    lua_pushlightuserdata(state, system.get());
    lua_settable(state, LUA_GLOBALSINDEX);
    for (const char* name : {"gPlain", "gPastRecord", "gFar", "gNoExternal", "gLight"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Number(*system, std::string("CompileParam(") + name + ")"), 0);
    }
    EXPECT_TRUE(system->GetPendingStatements().empty());
    EXPECT_EQ(Number(*system, "CompileParam(gLastFloat)"), 1);
    EXPECT_EQ(Describe(system->GetPendingStatements()), (TTexts{"m9:1"}));
}

TEST_F(ParticleScriptTest, InitAndAnimMoveThePendingStatements) {
    auto system = MakeSystem("pPosition:Init(Vec2(10, 20))");
    EXPECT_EQ(Tail(system->GetInitStream(), 4),
              (TTexts{"(10,20)", "(0)", "(2)", "FAssign/3[2,1,1]"}));
    EXPECT_TRUE(system->GetPendingStatements().empty());
    EXPECT_TRUE(system->GetAnimStream().empty());

    RunLua(*system, "pUp:Anim(-pUp)\nCompileParam(7)\n");
    EXPECT_EQ(Describe(system->GetAnimStream()),
              (TTexts{"m2:2", "FUnm/1[2]", "(2)", "(2)", "FAssign/3[2,1,1]"}));
    // Compiled without Init or Anim, it waits; the next Init takes it along.
    EXPECT_EQ(Describe(system->GetPendingStatements()), (TTexts{"(7)"}));
    RunLua(*system, "Init(pScale[1])");
    EXPECT_EQ(Tail(system->GetInitStream(), 4), (TTexts{"(7)", "(4)", "(1)", "FIndex/2[1,1]"}));

    // Gravity: the velocity member once, then its anim statement.
    RunLua(*system, "SetUpGravity(98)\nRequireVelocity()\n");
    EXPECT_EQ(system->GetFloatsPerParticle(), 12);
    EXPECT_EQ(Tail(system->GetAnimStream(), 7),
              (TTexts{"m10:2", "(0,98)", "FTimeScale/1[2]", "FAdd/2[2,2]", "(10)", "(2)",
                      "FAssign/3[2,1,1]"}));
}

TEST_F(ParticleScriptTest, TheLibraryHelpers) {
    auto system = MakeSystem("gGenerate = NewParticleGenerator()\n"
                             "gTimeout = NewTimeout(1)\n"
                             "function Run(f, n, ...)\n"
                             "  local r = {}\n"
                             "  for i = 1, n do r[i] = tostring(f(arg[1], arg[2])) end\n"
                             "  return table.concat(r, ' ')\n"
                             "end\n"
                             "gMade = Run(gGenerate, 4, 10, 250)\n"
                             "gTimedOut = Run(gTimeout, 5, 0.5)\n");
    EXPECT_EQ(system->GetScript()->GetGlobalString("gMade"), str("2 3 2 3"));
    EXPECT_EQ(system->GetScript()->GetGlobalString("gTimedOut"),
              str("false false false true true"));
    // The generator is also the global ParticlesPerSecond.
    EXPECT_EQ(Number(*system, "ParticlesPerSecond == gGenerate and 1 or 0"), 1);
    EXPECT_EQ(Number(*system, "kBlendNormal + kBlendOpaque + kBlendAdditiveAlpha + "
                              "kBlendSubtractive * 10 + kBlendMultiplicative * 100"),
              433);
    EXPECT_EQ(Number(*system, "GUI_Slider(5) + GUI_Texture(6) + GUI_Select(7)"), 18);
    EXPECT_EQ(Number(*system, "getmetatable(Vec3(1, 2, 3)) == ValueMT and "
                              "getmetatable(Value(1)) == ValueMT and 1 or 0"),
              1);
    RunLua(*system, "Update()");
    EXPECT_TRUE(LogText().empty()) << LogText();

    // Spawn emits, then calls the script's Create.
    RunLua(*system, "SetNumParticles(4)\nfunction Create() gCreated = 1 end\nSpawn(2)\n");
    EXPECT_EQ(system->GetCollection().GetLiveCount(), 2);
    EXPECT_EQ(system->GetScript()->GetGlobalNumber("gCreated"), 1);

    auto* renderer = static_cast<T2dParticleRenderer*>(system->GetRenderer());
    EXPECT_EQ(renderer->GetBlendMode(), 0);
    RunLua(*system, "SetBlendMode(2.9)");
    EXPECT_EQ(renderer->GetBlendMode(), 2);
    RunLua(*system, "SetRendererOption1('other', 4)");
    EXPECT_EQ(renderer->GetBlendMode(), 2);
}

TEST_F(ParticleScriptTest, ValueTypesAndRandomNumbers) {
    auto system = MakeSystem();
    const char* registered[] = {"fTimeScale", "fAge",         "fPick",       "fFade",
                                "fOpenCycle", "fClosedCycle", "fAlpha",      "fDebug",
                                "fDistance",  "f2dRadius",    "f2dRotation", "fVec",
                                "fRange",     "fExpire",      "fLess",       "fLessEqual"};
    for (const char* name : registered) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Number(*system, std::string("type(") + name + ") == 'function' and 1 or 0"), 1);
        EXPECT_TRUE(system->CreateValueByName(name));
    }
    for (const char* name :
         {"assign", "lt", "le", "add", "unm", "mul", "div", "sub", "index", "newindex"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Number(*system, std::string("type(") + name + ") == 'nil' and 1 or 0"), 1);
        EXPECT_TRUE(system->CreateValueByName(name));
    }
    EXPECT_STREQ(system->CreateValueByName("fLessEqual")->GetClassName(), "FLe");
    EXPECT_FALSE(system->CreateValueByName("fNothing"));
    EXPECT_NE(LogText().find("Lua error: Type not found: fNothing"), std::string::npos);

    // The shared generator, drawn as the library's scalings draw it.
    ParticleRandom()->Seed(99);
    TRandom expected;
    expected.Seed(99);
    RunLua(*system, "gA = RandomRange(1, 6.9)\ngB = RandomFloat()\n");
    EXPECT_EQ(system->GetScript()->GetGlobalNumber("gA"), RandomIntRange(expected, 1, 6));
    EXPECT_EQ(system->GetScript()->GetGlobalNumber("gB"),
              static_cast<double>(RandomUnitFloat(expected)));
}

} // namespace
