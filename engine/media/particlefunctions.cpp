// Member reads and writes and the operator nodes that particle scripts' arithmetic compiles to.
#include "engine/media/particlefunctions.h"

#include <cstring>

#include "engine/script/lua/luanumber.h"

namespace {

// The external parameter at index, or null when the system has none there.
TParticleFunction* ParticleExternalAt(const TParticleFrame* frame, int32_t index) {
    if (index < 0 || static_cast<size_t>(index) >= frame->externals.size()) {
        return nullptr;
    }
    return frame->externals[static_cast<size_t>(index)];
}

// The record float of a member at offset (low 8 bits) and key (from 1), or -1 when it lies
// outside the record.
int32_t ParticleRecordIndex(const TParticleContext* context, float offset, float key) {
    const int64_t index = static_cast<int64_t>(LuaNumberToInt(offset) & 0xff) +
                          static_cast<int64_t>(LuaNumberToInt(key)) - 1;
    return index >= 0 && index < context->record.Floats() ? static_cast<int32_t>(index) : -1;
}

// Float key (from 1) of the value that the external parameter at index pushes, or 0 when it has
// none, fails or pushes no single value. Its value replaces the running node's arguments.
float ParticleExternalFloat(TParticleContext* context, TParticleFrame* frame, int32_t index,
                            int32_t key) {
    TParticleFunction* node = ParticleExternalAt(frame, index);
    if (node == nullptr) {
        return 0.0f;
    }
    const uint8_t first = frame->base;
    frame->top = first;
    float result = 0.0f;
    if (node->Evaluate(context, frame) && frame->base == first + 1) {
        frame->SetArgs(1);
        const int64_t at = static_cast<int64_t>(key) - 1;
        if (at >= 0 && at < frame->ArgSize(0)) {
            result = frame->Arg(0)[at];
        }
    }
    frame->base = first;
    frame->top = first;
    return result;
}

// a op b for the two arguments, component by component over a's floats.
template <typename TOp>
bool ParticleComponentwise(TParticleFrame* frame, TOp op) {
    if (frame->argc != 2 || frame->ArgSize(0) > kParticleLocalFloats) {
        return false;
    }
    const uint8_t n = frame->ArgSize(0);
    const uint8_t bn = frame->ArgSize(1);
    const float* a = frame->Arg(0);
    const float* b = frame->Arg(1);
    float result[kParticleLocalFloats] = {};
    for (int i = 0; i < n; ++i) {
        result[i] = op(a[i], i < bn ? b[i] : 0.0f);
    }
    return frame->Push(result, n);
}

// a op the number b.
template <typename TOp>
bool ParticleByScalar(TParticleFrame* frame, TOp op) {
    if (frame->argc != 2 || frame->ArgSize(1) != 1 || frame->ArgSize(0) > kParticleLocalFloats) {
        return false;
    }
    const uint8_t n = frame->ArgSize(0);
    const float* a = frame->Arg(0);
    const float b = frame->Arg(1)[0];
    float result[kParticleLocalFloats] = {};
    for (int i = 0; i < n; ++i) {
        result[i] = op(a[i], b);
    }
    return frame->Push(result, n);
}

// 1 or 0 for a comparison of two numbers.
template <typename TOp>
bool ParticleCompare(TParticleFrame* frame, TOp op) {
    if (frame->argc != 2 || frame->ArgSize(0) != 1 || frame->ArgSize(1) != 1) {
        return false;
    }
    const float result = op(frame->Arg(0)[0], frame->Arg(1)[0]) ? 1.0f : 0.0f;
    return frame->Push(&result, 1);
}

} // namespace

uint8_t FGetParticleParam::ResultSize(uint8_t, const uint8_t*) const {
    const uint16_t size = ParticleMemberSize(mRef);
    return size > kParticleMaxEntries ? kParticleMaxEntries : static_cast<uint8_t>(size);
}

bool FGetParticleParam::Evaluate(TParticleContext* context, TParticleFrame* frame) {
    const int16_t offset = ParticleMemberOffset(mRef);
    if (offset < 0) {
        TParticleFunction* node = ParticleExternalAt(frame, ~offset);
        return node != nullptr && node->Evaluate(context, frame);
    }
    const int32_t start = offset & 0xff;
    const uint16_t size = ParticleMemberSize(mRef);
    if (size > kParticleMaxEntries || start + size > context->record.Floats()) {
        return false;
    }
    return frame->Push(context->record.data + start, static_cast<uint8_t>(size));
}

uint8_t FAssign::ResultSize(uint8_t, const uint8_t*) const {
    return 0;
}

bool FAssign::Evaluate(TParticleContext* context, TParticleFrame* frame) {
    if (frame->argc != 3 || frame->ArgSize(1) < 1) {
        return false;
    }
    const int64_t target = LuaNumberToInt(frame->Arg(1)[0]);
    const uint8_t n = frame->ArgSize(0);
    if (target < 0 || target + n > context->record.Floats()) {
        return false;
    }
    if (n > 0) {
        std::memmove(context->record.data + target, frame->Arg(0), n * sizeof(float));
    }
    return true;
}

uint8_t FAdd::ResultSize(uint8_t argc, const uint8_t* argSizes) const {
    return ParticleFirstArgSize(argc, argSizes);
}

bool FAdd::Evaluate(TParticleContext*, TParticleFrame* frame) {
    return ParticleComponentwise(frame, [](float a, float b) { return a + b; });
}

uint8_t FSub::ResultSize(uint8_t argc, const uint8_t* argSizes) const {
    return ParticleFirstArgSize(argc, argSizes);
}

bool FSub::Evaluate(TParticleContext*, TParticleFrame* frame) {
    return ParticleComponentwise(frame, [](float a, float b) { return a - b; });
}

uint8_t FMul::ResultSize(uint8_t argc, const uint8_t* argSizes) const {
    return ParticleFirstArgSize(argc, argSizes);
}

bool FMul::Evaluate(TParticleContext*, TParticleFrame* frame) {
    return ParticleByScalar(frame, [](float a, float b) { return a * b; });
}

uint8_t FDiv::ResultSize(uint8_t argc, const uint8_t* argSizes) const {
    return ParticleFirstArgSize(argc, argSizes);
}

bool FDiv::Evaluate(TParticleContext*, TParticleFrame* frame) {
    return ParticleByScalar(frame, [](float a, float b) { return a / b; });
}

uint8_t FUnm::ResultSize(uint8_t argc, const uint8_t* argSizes) const {
    return ParticleFirstArgSize(argc, argSizes);
}

bool FUnm::Evaluate(TParticleContext*, TParticleFrame* frame) {
    if (frame->argc != 1 || frame->ArgSize(0) > kParticleLocalFloats) {
        return false;
    }
    const uint8_t n = frame->ArgSize(0);
    const float* a = frame->Arg(0);
    float result[kParticleLocalFloats] = {};
    for (int i = 0; i < n; ++i) {
        result[i] = -a[i];
    }
    return frame->Push(result, n);
}

uint8_t FLt::ResultSize(uint8_t, const uint8_t*) const {
    return 1;
}

bool FLt::Evaluate(TParticleContext*, TParticleFrame* frame) {
    return ParticleCompare(frame, [](float a, float b) { return a < b; });
}

uint8_t FLe::ResultSize(uint8_t, const uint8_t*) const {
    return 1;
}

bool FLe::Evaluate(TParticleContext*, TParticleFrame* frame) {
    return ParticleCompare(frame, [](float a, float b) { return a <= b; });
}

uint8_t FIndex::ResultSize(uint8_t, const uint8_t*) const {
    return 1;
}

bool FIndex::Evaluate(TParticleContext* context, TParticleFrame* frame) {
    if (frame->argc != 2 || frame->ArgSize(0) != 1 || frame->ArgSize(1) != 1) {
        return false;
    }
    const float offset = frame->Arg(0)[0];
    const float key = frame->Arg(1)[0];
    float result = 0.0f;
    const int32_t member = LuaNumberToInt(offset);
    if (member < 0) {
        result = ParticleExternalFloat(context, frame, ~member, LuaNumberToInt(key));
    } else if (const int32_t index = ParticleRecordIndex(context, offset, key); index >= 0) {
        result = context->record.data[index];
    }
    return frame->Push(&result, 1);
}

uint8_t FNewIndex::ResultSize(uint8_t, const uint8_t*) const {
    return 1;
}

bool FNewIndex::Evaluate(TParticleContext* context, TParticleFrame* frame) {
    if (frame->argc != 3 || frame->ArgSize(0) != 1 || frame->ArgSize(1) != 1 ||
        frame->ArgSize(2) != 1) {
        return false;
    }
    const float offset = frame->Arg(0)[0];
    if (LuaNumberToInt(offset) < 0) {
        return false;
    }
    const int32_t index = ParticleRecordIndex(context, offset, frame->Arg(1)[0]);
    if (index < 0) {
        return false;
    }
    const float value = frame->Arg(2)[0];
    context->record.data[index] = value;
    return frame->Push(&value, 1);
}
