// The machine that runs particle programs: member references, the value stack, the frame, the run
// loop, class tokens and result sizes, and external parameters.
#include "engine/media/particlefunction.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/media/particlefunctions.h"
#include "tests/engine/media/particle_fixture.h"

namespace {

using particle_test::Call;
using particle_test::Const;
using particle_test::Member;
using particle_test::TArgs;
using particle_test::TFloats;
using particle_test::THeapStack;
using particle_test::TLocus;
using particle_test::TRecord;

TFloats StackEntry(const TParticleStack& stack, int i) {
    const float* start = stack.data + stack.offsets[i];
    return TFloats(start, start + stack.sizes[i]);
}

TEST(ParticleMemberRef, PacksASignedOffsetAndASize) {
    struct Case {
        int16_t offset;
        uint16_t size;
        TParticleMemberRef ref;
    };
    const Case cases[] = {
        {0, 1, 0x00010000u},  {10, 4, 0x0004000au},    {-1, 2, 0x0002ffffu},
        {-3, 2, 0x0002fffdu}, {255, 255, 0x00ff00ffu},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParticleMemberRef(c.offset, c.size), c.ref) << c.offset;
        EXPECT_EQ(ParticleMemberOffset(c.ref), c.offset);
        EXPECT_EQ(ParticleMemberSize(c.ref), c.size);
    }
}

TEST(ParticleStack, SetSizesRecomputesOffsetsFromTheIndexOn) {
    THeapStack heap;
    TParticleStack& stack = heap.stack;
    const uint8_t first[] = {2, 3, 1};
    ASSERT_TRUE(stack.SetSizes(0, first, 3));
    EXPECT_EQ(stack.count, 3);
    EXPECT_EQ(stack.offsets[1], 2);
    EXPECT_EQ(stack.offsets[2], 5);
    EXPECT_EQ(stack.offsets[3], 6);
    EXPECT_EQ(stack.Floats(), 6);

    // Entries before the index keep their sizes; the count follows the last one set.
    const uint8_t more[] = {4};
    ASSERT_TRUE(stack.SetSizes(1, more, 1));
    EXPECT_EQ(stack.count, 2);
    EXPECT_EQ(stack.sizes[0], 2);
    EXPECT_EQ(stack.sizes[1], 4);
    EXPECT_EQ(stack.offsets[2], 6);

    // The stack's own sizes are taken as they stand.
    stack.sizes[2] = 7;
    ASSERT_TRUE(stack.SetSizes(0, stack.sizes, 3));
    EXPECT_EQ(stack.offsets[3], 13);
}

TEST(ParticleStack, SetSizesRefusesEntriesPastTheLimit) {
    THeapStack heap;
    TParticleStack& stack = heap.stack;
    const std::vector<uint8_t> ones(kParticleMaxEntries + 1, 1);
    struct Case {
        int index;
        int n;
        bool accepted;
    };
    const Case cases[] = {
        {0, kParticleMaxEntries, true},      {250, 5, true}, {250, 6, false},
        {0, kParticleMaxEntries + 1, false}, {-1, 1, false}, {0, -1, false},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(stack.SetSizes(0, ones.data(), 3));
        EXPECT_EQ(stack.SetSizes(c.index, ones.data(), c.n), c.accepted) << c.index << "+" << c.n;
        if (!c.accepted) {
            EXPECT_EQ(stack.count, 3);
        }
    }
}

TEST(ParticleFrame, PushWritesTheValueAtBaseAndMovesPastIt) {
    THeapStack heap;
    TParticleFrame frame;
    frame.stack = &heap.stack;
    const float a[] = {1, 2};
    const float b[] = {3};
    ASSERT_TRUE(frame.Push(a, 2));
    ASSERT_TRUE(frame.Push(b, 1));
    EXPECT_EQ(frame.base, 2);
    EXPECT_EQ(frame.top, 2);
    EXPECT_EQ(heap.stack.count, 2);
    EXPECT_EQ(StackEntry(heap.stack, 0), (TFloats{1, 2}));
    EXPECT_EQ(StackEntry(heap.stack, 1), (TFloats{3}));
    EXPECT_EQ(heap.stack.offsets[2], 3);

    // A node pushing its own argument: the value may lie where it goes.
    frame.SetArgs(1);
    ASSERT_TRUE(frame.Push(heap.stack.data + heap.stack.offsets[1], 1));
    EXPECT_EQ(StackEntry(heap.stack, 1), (TFloats{3}));
}

TEST(ParticleFrame, PushRefusesAValuePastTheEntriesOrTheFloats) {
    THeapStack heap;
    TParticleFrame frame;
    frame.stack = &heap.stack;
    const float four[] = {1, 2, 3, 4};

    // 254 entries holding 1018 floats: two floats still fit, four do not.
    std::vector<uint8_t> sizes(kParticleMaxEntries - 1, 4);
    sizes[0] = sizes[1] = 5;
    ASSERT_TRUE(heap.stack.SetSizes(0, sizes.data(), kParticleMaxEntries - 1));
    frame.base = frame.top = kParticleMaxEntries - 1;
    EXPECT_FALSE(frame.Push(four, 4));
    EXPECT_EQ(frame.base, kParticleMaxEntries - 1);
    ASSERT_TRUE(frame.Push(four, 2));
    EXPECT_EQ(heap.stack.offsets[kParticleMaxEntries], kParticleValueFloats);

    // The 256th entry, with floats to spare.
    const std::vector<uint8_t> ones(kParticleMaxEntries, 1);
    ASSERT_TRUE(heap.stack.SetSizes(0, ones.data(), kParticleMaxEntries));
    frame.base = frame.top = kParticleMaxEntries;
    const float one = 1;
    EXPECT_FALSE(frame.Push(&one, 1));
    EXPECT_EQ(frame.base, kParticleMaxEntries);
    EXPECT_EQ(heap.stack.count, kParticleMaxEntries);
}

TEST(ParticleFrame, ShortStackKeepsBaseAndArgumentCount) {
    THeapStack heap;
    TParticleFrame frame;
    frame.stack = &heap.stack;
    frame.base = 1;
    frame.top = 1;
    frame.argc = 3;
    frame.SetArgs(2);
    EXPECT_EQ(frame.base, 1);
    EXPECT_EQ(frame.argc, 3);
    frame.top = 5;
    frame.SetArgs(2);
    EXPECT_EQ(frame.base, 3);
    EXPECT_EQ(frame.argc, 2);
}

TEST(ParticleValueStack, StartsWithZeroSizesAndFullCount) {
    for (const bool creation : {true, false}) {
        auto values = std::make_unique<TParticleValueStack>(creation);
        TParticleStack& stack = values->Stack();
        EXPECT_EQ(stack.count, kParticleMaxEntries);
        EXPECT_EQ(stack.capacity, kParticleMaxEntries);
        for (int i = 0; i < kParticleMaxEntries; ++i) {
            ASSERT_EQ(stack.sizes[i], 0);
            ASSERT_EQ(stack.offsets[i + 1], 0);
        }
        if (creation) {
            for (int i = 0; i < kParticleValueFloats; ++i) {
                ASSERT_EQ(stack.data[i], 0.0f);
            }
        }
    }
}

TEST(RunParticleProgram, ReplacesArgumentsWithResultsInPostfixOrder) {
    // pos = pos + vel * 2, with pos at floats 0-1 and vel at 2-3; then (pos, 7) is left.
    TRecord record({2, 2}, {1, 1, 3, 4});
    const TParticleStatement program[] = {
        Member(ParticleMemberRef(0, 2)),
        Member(ParticleMemberRef(2, 2)),
        Const(2.0f),
        Call(FMul::Create, 2),
        Call(FAdd::Create, 2),
        Const(0.0f),
        Const(2.0f),
        Call(FAssign::Create, 3),
        Member(ParticleMemberRef(0, 2)),
        Const(7.0f),
    };
    THeapStack values;
    record.context.alive = false;
    EXPECT_TRUE(RunParticleProgram(program, {}, record.context, values.stack));
    EXPECT_TRUE(record.context.alive);
    EXPECT_EQ(record.Floats(), (TFloats{7, 9, 3, 4}));
    // FAssign dropped its arguments, so pos and 7 are the first two entries.
    EXPECT_EQ(values.stack.count, 2);
    EXPECT_EQ(StackEntry(values.stack, 0), (TFloats{7, 9}));
    EXPECT_EQ(StackEntry(values.stack, 1), (TFloats{7}));
}

TEST(RunParticleProgram, AFailingStatementStopsThisParticleOnly) {
    struct Case {
        const char* name;
        std::vector<TParticleStatement> program;
    };
    // Each program fails before the statements, appended to it, that write 9 into float 1.
    const auto writeNine = [] {
        return std::vector<TParticleStatement>{Const(9.0f), Const(1.0f), Const(1.0f),
                                               Call(FAssign::Create, 3)};
    };
    std::vector<Case> cases;
    cases.push_back({"negative assign target",
                     {Const(5.0f), Const(-1.0f), Const(1.0f), Call(FAssign::Create, 3)}});
    cases.push_back(
        {"wrong size", {Const(TVec2(1, 2)), Const(TVec2(3, 4)), Call(FMul::Create, 2)}});
    cases.push_back({"null node", {Const(5.0f), Const(0.0f), {}}});
    for (Case& c : cases) {
        for (TParticleStatement& statement : writeNine()) {
            c.program.push_back(statement);
        }
        TRecord record({1, 1}, {0, 0});
        THeapStack values;
        EXPECT_FALSE(RunParticleProgram(c.program, {}, record.context, values.stack)) << c.name;
        EXPECT_EQ(record.Floats(), (TFloats{0, 0})) << c.name;

        // The next particle runs the same program from the start.
        TRecord next({1, 1}, {0, 0});
        EXPECT_TRUE(RunParticleProgram(writeNine(), {}, next.context, values.stack));
        EXPECT_EQ(next.Floats(), (TFloats{0, 9})) << c.name;
    }
}

TEST(RunParticleProgram, MoreArgumentsThanValuesKeepTheFrame) {
    // FLt wants two values but finds one; the frame keeps base 1 and the count 0 of the constant
    // before it, so FLt sees no arguments and fails.
    TRecord record({1}, {0});
    THeapStack values;
    const TParticleStatement program[] = {Const(1.0f), Call(FLt::Create, 2)};
    EXPECT_FALSE(RunParticleProgram(program, {}, record.context, values.stack));
}

TEST(ParticleFunction, ClassNamesAndTokens) {
    struct Case {
        TParticleCreateFunction create;
        const char* name;
    };
    const Case cases[] = {
        {FAssign::Create, "FAssign"},
        {FAdd::Create, "FAdd"},
        {FSub::Create, "FSub"},
        {FMul::Create, "FMul"},
        {FDiv::Create, "FDiv"},
        {FUnm::Create, "FUnm"},
        {FLt::Create, "FLt"},
        {FLe::Create, "FLe"},
        {FIndex::Create, "FIndex"},
        {FNewIndex::Create, "FNewIndex"},
        {FTimeScale::Create, "FTimeScale"},
        {FAge::Create, "FAge"},
        {FExpire::Create, "FExpire"},
        {FVec::Create, "FVec"},
        {FDistance::Create, "FDistance"},
        {FOpenCycle::Create, "FOpenCycle"},
        {FClosedCycle::Create, "FClosedCycle"},
        {FRange::Create, "FRange"},
        {FPick::Create, "FPick"},
        {FFade::Create, "FFade"},
        {FAlpha::Create, "FAlpha"},
        {F2dRadius::Create, "F2dRadius"},
        {F2dRotation::Create, "F2dRotation"},
        {FDebug::Create, "FDebug"},
    };
    for (const Case& c : cases) {
        const TParticleFunctionPtr node = c.create();
        ASSERT_NE(node, nullptr) << c.name;
        EXPECT_STREQ(node->GetClassName(), c.name);
        EXPECT_TRUE(node->IsKindOf(c.create)) << c.name;
        EXPECT_TRUE(node->IsKindOf(TParticleFunction::ClassId)) << c.name;
        for (const Case& other : cases) {
            if (other.create != c.create) {
                EXPECT_FALSE(node->IsKindOf(other.create)) << c.name << " as " << other.name;
            }
        }
    }
    EXPECT_EQ(TParticleFunction::ClassId(), nullptr);

    // Constants, member reads and external parameters keep the base's identity.
    FPush<TVec3> constant(TVec3(1, 2, 3));
    FGetParticleParam member(ParticleMemberRef(0, 1));
    TLocus locus(TVec2(0, 0));
    for (const TParticleFunction* node : {static_cast<const TParticleFunction*>(&constant),
                                          static_cast<const TParticleFunction*>(&member),
                                          static_cast<const TParticleFunction*>(&locus)}) {
        EXPECT_STREQ(node->GetClassName(), "TParticleFunction");
        EXPECT_TRUE(node->IsKindOf(TParticleFunction::ClassId));
        EXPECT_FALSE(node->IsKindOf(FAdd::Create));
    }
}

TEST(ParticleFunction, ResultSizes) {
    const uint8_t sizes[11] = {3, 2, 1, 1, 1};
    struct Case {
        const char* name;
        TParticleFunctionPtr node;
        uint8_t argc;
        uint8_t size;
    };
    const Case cases[] = {
        {"float", std::make_shared<FPush<float>>(1.0f), 0, 1},
        {"vec2", std::make_shared<FPush<TVec2>>(TVec2()), 0, 2},
        {"vec3", std::make_shared<FPush<TVec3>>(TVec3()), 0, 3},
        {"vec4", std::make_shared<FPush<TVec4>>(TVec4()), 0, 4},
        {"member", std::make_shared<FGetParticleParam>(ParticleMemberRef(4, 3)), 0, 3},
        {"external", std::make_shared<FGetParticleParam>(ParticleMemberRef(-1, 2)), 0, 2},
        {"assign", FAssign::Create(), 3, 0},
        {"add", FAdd::Create(), 2, 3},
        {"sub", FSub::Create(), 2, 3},
        {"mul", FMul::Create(), 2, 3},
        {"div", FDiv::Create(), 2, 3},
        {"unm", FUnm::Create(), 1, 3},
        {"unm without arguments", FUnm::Create(), 0, 0},
        {"lt", FLt::Create(), 2, 1},
        {"le", FLe::Create(), 2, 1},
        {"index", FIndex::Create(), 2, 1},
        {"newindex", FNewIndex::Create(), 3, 1},
        {"timescale", FTimeScale::Create(), 1, 3},
        {"age", FAge::Create(), 0, 1},
        {"expire", FExpire::Create(), 1, 1},
        {"vec of 3", FVec::Create(), 3, 3},
        {"vec of 2", FVec::Create(), 2, 2},
        {"distance", FDistance::Create(), 2, 1},
        {"open cycle", FOpenCycle::Create(), 3, 1},
        {"closed cycle", FClosedCycle::Create(), 3, 1},
        {"range", FRange::Create(), 2, 3},
        {"pick", FPick::Create(), 3, 3},
        {"fade", FFade::Create(), 4, 2},
        {"alpha", FAlpha::Create(), 2, 4},
        {"radius", F2dRadius::Create(), 1, 2},
        {"rotation", F2dRotation::Create(), 1, 2},
        {"debug", FDebug::Create(), 2, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.node->ResultSize(c.argc, sizes), c.size) << c.name;
    }
}

TEST(ParticleExternal, PushesItsPositionThroughMemberReadsAndIndex) {
    TLocus locus(TVec2(3, 4));
    TLocus broken(TVec2(5, 6), true);
    std::vector<TParticleFunction*> externals = {&locus, &broken};
    TRecord record({1}, {0});

    // As a member read: the reference of external 0 has offset -1.
    {
        TArgs args({}, 2, externals);
        FGetParticleParam read(ParticleMemberRef(-1, 2));
        ASSERT_TRUE(read.Evaluate(&record.context, &args.frame));
        EXPECT_EQ(args.Result(), (TFloats{3, 4}));
    }
    // Through FIndex: (offset, key) with the external's value in place of the arguments.
    struct Case {
        float offset;
        float key;
        float expected;
    };
    const Case cases[] = {
        {-1, 1, 3}, {-1, 2, 4}, {-1, 3, 0}, // past the value
        {-1, 0, 0},                         // before it
        {-2, 1, 0},                         // the external fails
        {-3, 1, 0},                         // no external there
    };
    for (const Case& c : cases) {
        TArgs args({{c.offset}, {c.key}}, 0, externals);
        EXPECT_TRUE(FIndex().Evaluate(&record.context, &args.frame)) << c.offset << "," << c.key;
        EXPECT_EQ(args.Result(), (TFloats{c.expected})) << c.offset << "," << c.key;
    }

    // A whole program: the distance from the particle (record floats 0-1) to the locus.
    TRecord particle({2}, {0, 0});
    const TParticleStatement program[] = {
        Member(ParticleMemberRef(0, 2)),
        Member(ParticleMemberRef(-1, 2)),
        Call(FDistance::Create, 2),
        Const(0.0f),
        Const(1.0f),
        Call(FAssign::Create, 3),
    };
    THeapStack values;
    EXPECT_TRUE(RunParticleProgram(program, externals, particle.context, values.stack));
    EXPECT_EQ(particle.Floats(), (TFloats{5, 0}));
}

TEST(ParticleExternal, MemberReadOfAMissingOrFailingExternalFails) {
    TLocus locus(TVec2(3, 4));
    TLocus broken(TVec2(5, 6), true);
    std::vector<TParticleFunction*> externals = {&locus, &broken};
    TRecord record({1}, {0});
    for (const int16_t offset : {-2, -3, -100}) {
        TArgs args({}, 2, externals);
        FGetParticleParam read(ParticleMemberRef(offset, 2));
        EXPECT_FALSE(read.Evaluate(&record.context, &args.frame)) << offset;
    }
}

} // namespace
