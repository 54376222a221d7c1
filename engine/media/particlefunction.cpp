#include "engine/media/particlefunction.h"

#include <algorithm>
#include <cstring>

#include "engine/core/random.h"

namespace {

std::unique_ptr<TRandom>& ParticleRandomSlot() {
    static std::unique_ptr<TRandom> random;
    return random;
}

} // namespace

bool TParticleStack::SetSizes(int index, const uint8_t* newSizes, int n) {
    if (index < 0 || n < 0 || index + n > kParticleMaxEntries ||
        (n > 0 && (newSizes == nullptr || sizes == nullptr))) {
        return false;
    }
    if (n > 0 && newSizes != sizes + index) {
        std::memmove(sizes + index, newSizes, static_cast<size_t>(n));
    }
    for (int i = index; i < index + n; ++i) {
        offsets[i + 1] = offsets[i] + sizes[i];
    }
    count = index + n;
    return true;
}

bool TParticleFrame::Push(const float* values, uint8_t n) {
    const int entries = std::min(stack->capacity, kParticleMaxEntries);
    const int32_t start = stack->offsets[base];
    if (base + 1 > entries || start + n > 4 * entries) {
        return false;
    }
    // memmove: a node may push one of its own arguments.
    if (n > 0) {
        std::memmove(stack->data + start, values, n * sizeof(float));
    }
    stack->count = base + 1;
    stack->sizes[base] = n;
    stack->offsets[base + 1] = start + n;
    ++base;
    top = base;
    return true;
}

void TParticleFrame::SetArgs(uint8_t n) {
    if (top >= n) {
        base = static_cast<uint8_t>(top - n);
        argc = n;
    }
}

TParticleFunctionPtr TParticleFunction::ClassId() {
    return nullptr;
}

const char* TParticleFunction::GetClassName() const {
    return "TParticleFunction";
}

bool TParticleFunction::IsKindOf(TParticleCreateFunction token) const {
    return token == &TParticleFunction::ClassId;
}

TParticleFunction::~TParticleFunction() = default;

void TParticleFunction::Reserved3() {}

TParticleValueStack::TParticleValueStack(bool zeroFloats) : mSizes{} {
    mStack.data = mData;
    mStack.sizes = mSizes;
    mStack.count = kParticleMaxEntries;
    mStack.capacity = kParticleMaxEntries;
    if (zeroFloats) {
        std::fill(std::begin(mData), std::end(mData), 0.0f);
    }
}

bool RunParticleProgram(std::span<const TParticleStatement> program,
                        std::span<TParticleFunction* const> externals, TParticleContext& context,
                        TParticleStack& valueStack) {
    TParticleFrame frame;
    frame.externals = externals;
    frame.stack = &valueStack;
    context.alive = true;
    for (const TParticleStatement& statement : program) {
        frame.SetArgs(statement.argc);
        if (!statement.function || !statement.function->Evaluate(&context, &frame)) {
            return false;
        }
        frame.top = frame.base;
    }
    return true;
}

TRandom* ParticleRandom() {
    return ParticleRandomSlot().get();
}

void SetParticleRandom(std::unique_ptr<TRandom> random) {
    ParticleRandomSlot() = std::move(random);
}
