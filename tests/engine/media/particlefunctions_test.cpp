// The node classes, each run over arguments laid out as on the value stack. Cases that read or
// write past their values use storage of exactly the floats involved, so an overrun shows under
// AddressSanitizer.
#include "engine/media/particlefunctions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/log.h"
#include "engine/core/random.h"
#include "tests/engine/media/particle_fixture.h"
#include "tests/fixtures/tempdir.h"

namespace {

using particle_test::Call;
using particle_test::Const;
using particle_test::TArgs;
using particle_test::TFloats;
using particle_test::THeapStack;
using particle_test::TRecord;

const float kParticleNaN = std::numeric_limits<float>::quiet_NaN();

struct ParticleNodeCase {
    const char* name;
    TParticleCreateFunction create;
    std::vector<TFloats> args;
    // Empty when the node fails.
    std::optional<TFloats> result;
    uint32_t elapsed = 0;
    // Floats of storage past the arguments; 0 where the case checks for reads past them.
    int spare = 4;
};

void RunParticleNodeCases(const std::vector<ParticleNodeCase>& cases) {
    for (const ParticleNodeCase& c : cases) {
        TRecord record({1}, {0}, c.elapsed);
        TArgs args(c.args, c.spare);
        const TParticleFunctionPtr node = c.create();
        const bool ok = node->Evaluate(&record.context, &args.frame);
        EXPECT_EQ(ok, c.result.has_value()) << c.name;
        if (ok && c.result) {
            EXPECT_EQ(args.Result(), *c.result) << c.name;
        }
    }
}

// The generator the random nodes draw from, seeded so that its outputs are MT19937's published
// ones for seed 5489: 3499211612, 581869302, 3890346734, 3586334585, 545404204, 4161255391, ...
class ParticleNodes : public ::testing::Test {
protected:
    void SetUp() override {
        auto random = std::make_unique<TRandom>();
        random->Seed(5489);
        SetParticleRandom(std::move(random));
    }
    void TearDown() override { SetParticleRandom(nullptr); }
};

TEST(ParticleOperators, ArithmeticAndComparisons) {
    RunParticleNodeCases({
        {"add", FAdd::Create, {{1, 2}, {10, 20}}, TFloats{11, 22}},
        {"add of one argument", FAdd::Create, {{1, 2}}, std::nullopt},
        {"add of three", FAdd::Create, {{1}, {2}, {3}}, std::nullopt},
        {"sub", FSub::Create, {{5, 7}, {1, 2}}, TFloats{4, 5}},
        {"mul", FMul::Create, {{1, 2}, {3}}, TFloats{3, 6}},
        {"mul by a vector", FMul::Create, {{1, 2}, {3, 4}}, std::nullopt},
        {"div", FDiv::Create, {{3, 6}, {3}}, TFloats{1, 2}},
        {"div by a vector", FDiv::Create, {{3, 6}, {3, 1}}, std::nullopt},
        {"unm", FUnm::Create, {{1, -2, 0.5f}}, TFloats{-1, 2, -0.5f}},
        {"unm of two", FUnm::Create, {{1}, {2}}, std::nullopt},
        {"lt 1 2", FLt::Create, {{1}, {2}}, TFloats{1}},
        {"lt 2 2", FLt::Create, {{2}, {2}}, TFloats{0}},
        {"le 2 2", FLe::Create, {{2}, {2}}, TFloats{1}},
        {"le 3 2", FLe::Create, {{3}, {2}}, TFloats{0}},
        {"lt of a vector", FLt::Create, {{1, 2}, {3}}, std::nullopt},
        {"le of three", FLe::Create, {{1}, {2}, {3}}, std::nullopt},
    });
}

TEST(ParticleOperators, FloatsTheSecondArgumentLacksCountAsZero) {
    // The second argument ends the storage: reading on past it would overrun.
    RunParticleNodeCases({
        {"add", FAdd::Create, {{1, 2}, {10}}, TFloats{11, 2}, 0, 0},
        {"sub", FSub::Create, {{5, 7}, {1}}, TFloats{4, 7}, 0, 0},
        {"distance", FDistance::Create, {{3, 4}, {3}}, TFloats{4}, 0, 0},
        {"longer second", FAdd::Create, {{1}, {10, 20}}, TFloats{11}, 0, 0},
    });
}

TEST_F(ParticleNodes, ValuesOfMoreThanFourFloatsFail) {
    // Operator results are built in four floats: a longer first argument would overrun them.
    const TFloats five = {1, 2, 3, 4, 5};
    RunParticleNodeCases({
        {"add", FAdd::Create, {five, five}, std::nullopt, 0, 0},
        {"sub", FSub::Create, {five, five}, std::nullopt, 0, 0},
        {"mul", FMul::Create, {five, {2}}, std::nullopt, 0, 0},
        {"div", FDiv::Create, {five, {2}}, std::nullopt, 0, 0},
        {"unm", FUnm::Create, {five}, std::nullopt, 0, 0},
        {"timescale", FTimeScale::Create, {five}, std::nullopt, 20, 0},
        {"range", FRange::Create, {five, five}, std::nullopt, 0, 0},
        {"pick", FPick::Create, {five, {1}}, std::nullopt, 0, 0},
        {"pick of a long second", FPick::Create, {{1}, five}, std::nullopt, 0, 0},
    });
    // Four floats still work.
    RunParticleNodeCases(
        {{"add of four", FAdd::Create, {{1, 2, 3, 4}, {1, 1, 1, 1}}, TFloats{2, 3, 4, 5}}});
}

TEST(ParticleLibrary, TimeAgeExpireVectorsAndColours) {
    RunParticleNodeCases({
        {"timescale in 20 ms", FTimeScale::Create, {{0, 50}}, TFloats{0, 1}, 20},
        {"timescale in a creation run", FTimeScale::Create, {{0, 50}}, TFloats{0, 0}, 0},
        {"timescale of two", FTimeScale::Create, {{1}, {2}}, std::nullopt, 20},
        {"age", FAge::Create, {}, TFloats{20}, 20},
        {"age with an argument", FAge::Create, {{1}}, std::nullopt, 20},
        {"expire of a vector", FExpire::Create, {{1, 1}}, std::nullopt},
        {"vec of three", FVec::Create, {{1}, {2}, {3}}, TFloats{1, 2, 3}, 0, 0},
        {"vec of one", FVec::Create, {{7}}, TFloats{7}},
        {"vec of five", FVec::Create, {{1}, {2}, {3}, {4}, {5}}, std::nullopt},
        {"vec of nothing", FVec::Create, {}, std::nullopt},
        {"vec short of floats", FVec::Create, {{1}, {}}, std::nullopt, 0, 0},
        {"distance", FDistance::Create, {{0, 0}, {3, 4}}, TFloats{5}},
        {"distance of one", FDistance::Create, {{3}}, std::nullopt},
        {"alpha", FAlpha::Create, {{0.25f, 0.5f, 1}, {0.5f}}, TFloats{0.25f, 0.5f, 1, 0.5f}},
        {"alpha of a four-float colour", FAlpha::Create, {{1, 2, 3, 4}, {9}}, TFloats{1, 2, 3, 9}},
        {"alpha of a short colour", FAlpha::Create, {{1, 2}, {9}}, std::nullopt},
        {"alpha without the alpha", FAlpha::Create, {{1, 2, 3}}, std::nullopt, 0, 0},
        {"rotation 0", F2dRotation::Create, {{0}}, TFloats{1, 0}},
        {"rotation of a vector", F2dRotation::Create, {{1, 2}}, std::nullopt},
    });
}

TEST(ParticleLibrary, ExpireEndsTheParticle) {
    struct Case {
        float value;
        float pushed;
        bool alive;
    };
    for (const Case& c : {Case{0, 0, true}, Case{1, 1, false}, Case{-0.5f, 1, false}}) {
        TRecord record({1}, {0});
        TArgs args(std::vector<TFloats>{{c.value}});
        ASSERT_TRUE(FExpire().Evaluate(&record.context, &args.frame));
        EXPECT_EQ(args.Result(), TFloats{c.pushed}) << c.value;
        EXPECT_EQ(record.context.alive, c.alive) << c.value;
    }
}

TEST(ParticleLibrary, RotationIsTheUnitVectorAtTheAngle) {
    TRecord record({1}, {0});
    TArgs args(std::vector<TFloats>{{static_cast<float>(M_PI / 3)}});
    ASSERT_TRUE(F2dRotation().Evaluate(&record.context, &args.frame));
    const TFloats result = args.Result();
    ASSERT_EQ(result.size(), 2u);
    EXPECT_NEAR(result[0], 0.5f, 1e-6);
    EXPECT_NEAR(result[1], std::sqrt(3.0f) / 2, 1e-6);
}

TEST(ParticleLibrary, FadeWalksItsSegments) {
    struct Case {
        float t;
        float expected;
    };
    const Case cases[] = {{-10, 0},    {0, 0},   {50, 0.5f}, {100, 1},
                          {150, 0.5f}, {200, 0}, {250, 0},   {kParticleNaN, 0}};
    for (const Case& c : cases) {
        TRecord record({1}, {0});
        TArgs args({{c.t}, {0}, {100}, {1}, {100}, {0}});
        ASSERT_TRUE(FFade().Evaluate(&record.context, &args.frame)) << c.t;
        EXPECT_EQ(args.Result(), TFloats{c.expected}) << c.t;
    }
    RunParticleNodeCases({
        {"vector points", FFade::Create, {{50}, {0, 10}, {100}, {1, 20}}, TFloats{0.5f, 15}},
        {"one point", FFade::Create, {{50}, {3, 4}}, TFloats{3, 4}},
        {"point of another size", FFade::Create, {{50}, {0, 10}, {100}, {1}}, std::nullopt},
        {"duration of two floats", FFade::Create, {{50}, {0}, {100, 1}, {1}}, std::nullopt},
    });
}

TEST(ParticleLibrary, FadeWithAnOddArgumentCountFails) {
    // A walk past the last duration would take the value after it, which is not there.
    RunParticleNodeCases({
        {"t, x0, d1", FFade::Create, {{150}, {0}, {100}}, std::nullopt, 0, 0},
        {"t, x0, d1, x1, d2", FFade::Create, {{250}, {0}, {100}, {1}, {100}}, std::nullopt, 0, 0},
        {"t alone", FFade::Create, {{5}}, std::nullopt, 0, 0},
        {"nothing", FFade::Create, {}, std::nullopt, 0, 0},
    });
}

TEST(ParticleLibrary, CyclesStepThroughSuccessiveParticles) {
    struct Case {
        TParticleCreateFunction create;
        float steps;
        TFloats expected;
    };
    const Case cases[] = {
        {FOpenCycle::Create, 4, {0, 2.5f, 5, 7.5f, 0, 2.5f}},
        {FClosedCycle::Create, 3, {0, 5, 10, 0, 5}},
    };
    for (const Case& c : cases) {
        // One node shared by the program of every particle, as compiled statements share it.
        const TParticleStatement program[] = {
            Const(0.0f), Const(10.0f), Const(c.steps),           Call(c.create, 3),
            Const(0.0f), Const(1.0f),  Call(FAssign::Create, 3),
        };
        THeapStack values;
        TFloats seen;
        for (size_t i = 0; i < c.expected.size(); ++i) {
            TRecord particle({1}, {-1});
            ASSERT_TRUE(RunParticleProgram(program, {}, particle.context, values.stack));
            seen.push_back(particle.Floats()[0]);
        }
        EXPECT_EQ(seen, c.expected) << program[3].function->GetClassName();
    }
    RunParticleNodeCases({
        {"ends of two sizes", FOpenCycle::Create, {{0, 1}, {10}, {4}}, std::nullopt},
        {"no steps", FClosedCycle::Create, {{0}, {10}}, std::nullopt},
    });
}

TEST(ParticleMembers, AssignCopiesIntoTheRecord) {
    struct Case {
        const char* name;
        TFloats value;
        float target;
        bool ok;
        TFloats record;
    };
    const Case cases[] = {
        {"into the first member", {1, 2}, 0, true, {1, 2, 0, 0}},
        {"across members", {1, 2}, 1, true, {0, 1, 2, 0}},
        {"up to the end", {1, 2}, 2, true, {0, 0, 1, 2}},
        {"truncated target", {1, 2}, 2.9f, true, {0, 0, 1, 2}},
        {"past the end", {1, 2}, 3, false, {0, 0, 0, 0}},
        {"far past the end", {1}, 1e9f, false, {0, 0, 0, 0}},
        {"negative target", {1}, -1, false, {0, 0, 0, 0}},
        {"NaN target", {1}, kParticleNaN, false, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        TRecord record({2, 2}, {0, 0, 0, 0});
        TArgs args({c.value, {c.target}, {2}});
        EXPECT_EQ(FAssign().Evaluate(&record.context, &args.frame), c.ok) << c.name;
        EXPECT_EQ(record.Floats(), c.record) << c.name;
        // Nothing is pushed: the arguments are dropped.
        EXPECT_EQ(args.frame.base, 0) << c.name;
    }
    RunParticleNodeCases({{"two arguments", FAssign::Create, {{1}, {0}}, std::nullopt}});
}

TEST(ParticleMembers, IndexReadsOneFloatOfAMember) {
    // Members of two floats each at 0 and 2; the record ends after float 3.
    struct Case {
        const char* name;
        float offset;
        float key;
        float expected;
    };
    const Case cases[] = {
        {"second float of a member", 0, 2, 20}, {"first float of the second member", 2, 1, 30},
        {"truncated key", 2, 2.7f, 40},         {"only the low 8 bits of the offset", 258, 1, 30},
        {"a key past the member", 0, 3, 30},    {"past the record", 2, 3, 0},
        {"far past the record", 0, 1e9f, 0},    {"before the record", 0, 0, 0},
        {"NaN key", 0, kParticleNaN, 0},
    };
    for (const Case& c : cases) {
        TRecord record({2, 2}, {10, 20, 30, 40});
        TArgs args(std::vector<TFloats>{{c.offset}, {c.key}});
        ASSERT_TRUE(FIndex().Evaluate(&record.context, &args.frame)) << c.name;
        EXPECT_EQ(args.Result(), TFloats{c.expected}) << c.name;
    }
    RunParticleNodeCases({
        {"vector key", FIndex::Create, {{0}, {1, 2}}, std::nullopt},
        {"one argument", FIndex::Create, {{0}}, std::nullopt},
    });
}

TEST(ParticleMembers, NewIndexWritesOneFloatOfAMember) {
    struct Case {
        const char* name;
        float offset;
        float key;
        bool ok;
        TFloats record;
    };
    const Case cases[] = {
        {"second float of a member", 0, 2, true, {10, 7, 30, 40}},
        {"last float of the record", 2, 2, true, {10, 20, 30, 7}},
        {"past the record", 2, 3, false, {10, 20, 30, 40}},
        {"before the record", 0, 0, false, {10, 20, 30, 40}},
        {"an external parameter", -1, 1, false, {10, 20, 30, 40}},
    };
    for (const Case& c : cases) {
        TRecord record({2, 2}, {10, 20, 30, 40});
        TArgs args({{c.offset}, {c.key}, {7}});
        EXPECT_EQ(FNewIndex().Evaluate(&record.context, &args.frame), c.ok) << c.name;
        EXPECT_EQ(record.Floats(), c.record) << c.name;
        if (c.ok) {
            EXPECT_EQ(args.Result(), TFloats{7}) << c.name;
        }
    }
}

TEST(ParticleMembers, MemberReadsStayInsideTheRecord) {
    struct Case {
        const char* name;
        TParticleMemberRef ref;
        std::optional<TFloats> result;
    };
    const Case cases[] = {
        {"first member", ParticleMemberRef(0, 2), TFloats{10, 20}},
        {"second member", ParticleMemberRef(2, 2), TFloats{30, 40}},
        {"the low 8 bits of the offset", ParticleMemberRef(258, 2), TFloats{30, 40}},
        {"running past the record", ParticleMemberRef(3, 2), std::nullopt},
        {"longer than the record", ParticleMemberRef(0, 300), std::nullopt},
    };
    for (const Case& c : cases) {
        TRecord record({2, 2}, {10, 20, 30, 40});
        TArgs args({}, 2);
        FGetParticleParam read(c.ref);
        EXPECT_EQ(read.Evaluate(&record.context, &args.frame), c.result.has_value()) << c.name;
        if (c.result) {
            EXPECT_EQ(args.Result(), *c.result) << c.name;
        }
    }
}

TEST_F(ParticleNodes, RangeDrawsEachComponent) {
    // u = output * 2.3283063671497593e-10 in single precision: 0.81472367 and 0.13547701.
    TRecord record({1}, {0});
    TArgs args({{0, 10}, {100, 20}});
    ASSERT_TRUE(FRange().Evaluate(&record.context, &args.frame));
    const TFloats result = args.Result();
    ASSERT_EQ(result.size(), 2u);
    EXPECT_FLOAT_EQ(result[0], 81.472366f);
    EXPECT_FLOAT_EQ(result[1], 11.35477f);
    RunParticleNodeCases({{"ends of two sizes", FRange::Create, {{0, 1}, {1}}, std::nullopt}});
}

TEST_F(ParticleNodes, PickTakesTheArgumentAtTheDrawnIndex) {
    // Each pick takes two outputs into a 53-bit real u; k = trunc(3u): u = 0.8147, 0.9058,
    // 0.1270, 0.9134, 0.6324, 0.0975.
    TRecord record({1}, {0});
    TFloats picked;
    for (int i = 0; i < 6; ++i) {
        TArgs args({{10}, {20}, {30}});
        ASSERT_TRUE(FPick().Evaluate(&record.context, &args.frame));
        picked.push_back(args.Result().at(0));
    }
    EXPECT_EQ(picked, (TFloats{30, 30, 10, 30, 20, 10}));

    // Values of other sizes are copied whole.
    TArgs args({{3, 4, 5}, {1, 2}});
    ASSERT_TRUE(FPick().Evaluate(&record.context, &args.frame)); // u = 0.2785, k = 0
    EXPECT_EQ(args.Result(), (TFloats{3, 4, 5}));
}

TEST_F(ParticleNodes, PickWithoutArgumentsFails) {
    // One value below the statement, none for it: the value after the stack's last one would be
    // the pick.
    TRecord record({1}, {0});
    TArgs args({{1, 2}}, 0);
    args.frame.SetArgs(0);
    ASSERT_EQ(args.frame.base, 1);
    EXPECT_FALSE(FPick().Evaluate(&record.context, &args.frame));
}

TEST_F(ParticleNodes, RadiusPointsAtADrawnAngle) {
    // theta = 2 * 3.1415927 * 0.81472367 = 5.11906 in single precision.
    for (const bool withSecond : {false, true}) {
        auto random = std::make_unique<TRandom>();
        random->Seed(5489);
        SetParticleRandom(std::move(random));
        TRecord record({1}, {0});
        TArgs args(withSecond ? std::vector<TFloats>{{2}, {5, 5}} : std::vector<TFloats>{{2}});
        ASSERT_TRUE(F2dRadius().Evaluate(&record.context, &args.frame));
        const TFloats result = args.Result();
        ASSERT_EQ(result.size(), 2u);
        EXPECT_NEAR(result[0], 0.7911082, 1e-5);
        EXPECT_NEAR(result[1], -1.8368854, 1e-5);
    }
    RunParticleNodeCases({
        {"vector radius", F2dRadius::Create, {{1, 2}}, std::nullopt},
        {"second of one float", F2dRadius::Create, {{1}, {5}}, std::nullopt},
        {"no radius", F2dRadius::Create, {}, std::nullopt},
    });
}

TEST(ParticleRandomNodes, FailWithoutAGenerator) {
    ASSERT_EQ(ParticleRandom(), nullptr);
    RunParticleNodeCases({
        {"range", FRange::Create, {{0}, {1}}, std::nullopt},
        {"pick", FPick::Create, {{0}, {1}}, std::nullopt},
        {"radius", F2dRadius::Create, {{1}}, std::nullopt},
    });
}

TEST(ParticleLibrary, DebugLogsItsArguments) {
    testing_fixtures::TempDir dir;
    SetLogFolder(dir.Path().c_str());
    TRecord record({1}, {0});
    TArgs args({{1, 2}, {3}});
    const bool ok = FDebug().Evaluate(&record.context, &args.frame);
    SetLogFolder(nullptr);
    EXPECT_TRUE(ok);
    EXPECT_EQ(args.frame.base, 0);
    const std::string log = dir.Read("logfile.txt");
    EXPECT_NE(log.find(": Particle Values: (1.000000,2.000000) (3.000000) \r\n"), std::string::npos)
        << log;
}

} // namespace
