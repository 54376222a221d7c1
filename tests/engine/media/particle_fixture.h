// Helpers for the particle function tests: stacks and records in heap blocks of exactly the size
// a case needs, so that AddressSanitizer reports any read or write past them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "engine/core/vec.h"
#include "engine/media/particlefunction.h"
#include "engine/media/particlefunctions.h"

namespace particle_test {

using TFloats = std::vector<float>;

// A particle record of the given members (their sizes in order) and a context over it.
class TRecord {
public:
    TRecord(std::vector<uint8_t> memberSizes, TFloats floats, uint32_t elapsed = 0)
        : mSizes(std::move(memberSizes)), mFloats(std::move(floats)) {
        context.record.data = mFloats.data();
        context.record.sizes = mSizes.data();
        context.record.capacity = static_cast<int32_t>(mSizes.size());
        context.record.SetSizes(0, mSizes.data(), static_cast<int>(mSizes.size()));
        context.elapsed = elapsed;
    }
    TRecord(const TRecord&) = delete;
    TRecord& operator=(const TRecord&) = delete;

    const TFloats& Floats() const { return mFloats; }

    TParticleContext context;

private:
    std::vector<uint8_t> mSizes;
    TFloats mFloats;
};

// The value stack of a run (255 entries, 1020 floats) with each array in a heap block of its own.
class THeapStack {
public:
    THeapStack() : mData(kParticleValueFloats, 0.0f), mSizes(kParticleMaxEntries, 0) {
        stack.data = mData.data();
        stack.sizes = mSizes.data();
        stack.count = kParticleMaxEntries;
        stack.capacity = kParticleMaxEntries;
    }
    THeapStack(const THeapStack&) = delete;
    THeapStack& operator=(const THeapStack&) = delete;

    TParticleStack stack;

private:
    TFloats mData;
    std::vector<uint8_t> mSizes;
};

// Values on a stack as the arguments of the statement about to run: storage of exactly their
// floats plus spare floats for a result that is longer than its arguments.
class TArgs {
public:
    explicit TArgs(const std::vector<TFloats>& values, int spare = 4,
                   std::span<TParticleFunction* const> externals = {}) {
        size_t floats = 0;
        for (const TFloats& value : values) {
            floats += value.size();
        }
        mData.assign(floats + static_cast<size_t>(spare), 0.0f);
        mSizes.assign(values.empty() ? 1 : values.size(), 0);
        stack.data = mData.data();
        stack.sizes = mSizes.data();
        stack.capacity = kParticleMaxEntries;
        frame.stack = &stack;
        frame.externals = externals;
        for (const TFloats& value : values) {
            EXPECT_TRUE(frame.Push(value.data(), static_cast<uint8_t>(value.size())));
        }
        frame.SetArgs(static_cast<uint8_t>(values.size()));
    }
    TArgs(const TArgs&) = delete;
    TArgs& operator=(const TArgs&) = delete;

    // The value at entry i.
    TFloats Value(int i) const {
        const float* start = stack.data + stack.offsets[i];
        return TFloats(start, start + stack.sizes[i]);
    }
    // The node's result: the one value it left in place of its arguments.
    TFloats Result() const { return frame.base == 1 ? Value(0) : TFloats{}; }

    TParticleStack stack;
    TParticleFrame frame;

private:
    TFloats mData;
    std::vector<uint8_t> mSizes;
};

// Statements of a program.
inline TParticleStatement Statement(TParticleFunctionPtr function, uint8_t argc) {
    TParticleStatement statement;
    statement.function = std::move(function);
    statement.argc = argc;
    return statement;
}
inline TParticleStatement Const(float value) {
    return Statement(std::make_shared<FPush<float>>(value), 0);
}
inline TParticleStatement Const(TVec2 value) {
    return Statement(std::make_shared<FPush<TVec2>>(value), 0);
}
inline TParticleStatement Member(TParticleMemberRef ref) {
    return Statement(std::make_shared<FGetParticleParam>(ref), 0);
}
inline TParticleStatement Call(TParticleCreateFunction create, uint8_t argc) {
    return Statement(create(), argc);
}

// An external parameter as game objects make them: it pushes the position it holds, or fails.
class TLocus final : public TParticleFunction {
public:
    explicit TLocus(TVec2 position, bool fails = false) : mPosition(position), mFails(fails) {}

    uint8_t ResultSize(uint8_t, const uint8_t*) const override { return 2; }
    bool Evaluate(TParticleContext*, TParticleFrame* frame) override {
        const float values[2] = {mPosition.x, mPosition.y};
        return !mFails && frame->Push(values, 2);
    }

private:
    TVec2 mPosition;
    bool mFails;
};

} // namespace particle_test
