// The f* nodes: the functions of the particle scripts' library (time, vectors, cycles, random
// values, fades, colours, 2-D directions and the debug line).
#include <cmath>
#include <cstdio>
#include <string>

#include "engine/core/log.h"
#include "engine/core/random.h"
#include "engine/media/particlefunctions.h"
#include "engine/script/lua/luanumber.h"

namespace {

// One output times a factor a hair under 2^-32, in single precision: the draw of FRange and
// F2dRadius, kept here so that their sequences do not follow changes to the shared scalings.
float ParticleUnitFloat(TRandom& random) {
    return static_cast<float>(random.Next() * 2.3283063671497593e-10);
}

// The cycle nodes over (a, b, steps): the point c / steps of the way from a to b (a closed cycle
// divides by steps - 1), c being the node's counter, which then advances, back to 0 at steps.
bool ParticleCycle(TParticleFrame* frame, uint32_t& counter, bool closed) {
    if (frame->argc != 3 || frame->ArgSize(0) < 1 || frame->ArgSize(0) != frame->ArgSize(1) ||
        frame->ArgSize(2) < 1) {
        return false;
    }
    const float a = frame->Arg(0)[0];
    const float b = frame->Arg(1)[0];
    const float steps = frame->Arg(2)[0];
    const uint32_t c = counter;
    const float divisor = closed ? steps - 1.0f : steps;
    const float result = a + (static_cast<float>(c) / divisor) * (b - a);
    if (!frame->Push(&result, 1)) {
        return false;
    }
    counter = steps <= static_cast<float>(c + 1u) ? 0u : c + 1u;
    return true;
}

} // namespace

uint8_t FTimeScale::ResultSize(uint8_t argc, const uint8_t* argSizes) const {
    return ParticleFirstArgSize(argc, argSizes);
}

bool FTimeScale::Evaluate(TParticleContext* context, TParticleFrame* frame) {
    if (frame->argc != 1 || frame->ArgSize(0) > kParticleLocalFloats) {
        return false;
    }
    const uint8_t n = frame->ArgSize(0);
    const float* a = frame->Arg(0);
    const auto elapsed = static_cast<float>(context->elapsed);
    float result[kParticleLocalFloats] = {};
    for (int i = 0; i < n; ++i) {
        result[i] = a[i] * elapsed / 1000.0f;
    }
    return frame->Push(result, n);
}

uint8_t FAge::ResultSize(uint8_t, const uint8_t*) const {
    return 1;
}

bool FAge::Evaluate(TParticleContext* context, TParticleFrame* frame) {
    if (frame->argc != 0) {
        return false;
    }
    const auto age = static_cast<float>(context->elapsed);
    return frame->Push(&age, 1);
}

uint8_t FExpire::ResultSize(uint8_t, const uint8_t*) const {
    return 1;
}

bool FExpire::Evaluate(TParticleContext* context, TParticleFrame* frame) {
    if (frame->argc != 1 || frame->ArgSize(0) != 1) {
        return false;
    }
    float result = 0.0f;
    if (frame->Arg(0)[0] != 0.0f) {
        result = 1.0f;
        context->alive = false;
    }
    return frame->Push(&result, 1);
}

uint8_t FVec::ResultSize(uint8_t argc, const uint8_t*) const {
    return argc;
}

bool FVec::Evaluate(TParticleContext*, TParticleFrame* frame) {
    // The arguments' floats lie one after the other: the first argc of them are the vector.
    if (frame->argc < 1 || frame->argc > kParticleLocalFloats || frame->ArgFloats() < frame->argc) {
        return false;
    }
    return frame->Push(frame->Arg(0), frame->argc);
}

uint8_t FDistance::ResultSize(uint8_t, const uint8_t*) const {
    return 1;
}

bool FDistance::Evaluate(TParticleContext*, TParticleFrame* frame) {
    if (frame->argc != 2) {
        return false;
    }
    const uint8_t n = frame->ArgSize(0);
    const uint8_t bn = frame->ArgSize(1);
    const float* a = frame->Arg(0);
    const float* b = frame->Arg(1);
    float sum = 0.0f;
    for (int i = 0; i < n; ++i) {
        const float d = a[i] - (i < bn ? b[i] : 0.0f);
        sum += d * d;
    }
    const float result = std::sqrt(sum);
    return frame->Push(&result, 1);
}

uint8_t FOpenCycle::ResultSize(uint8_t, const uint8_t*) const {
    return 1;
}

bool FOpenCycle::Evaluate(TParticleContext*, TParticleFrame* frame) {
    return ParticleCycle(frame, mCounter, false);
}

uint8_t FClosedCycle::ResultSize(uint8_t, const uint8_t*) const {
    return 1;
}

bool FClosedCycle::Evaluate(TParticleContext*, TParticleFrame* frame) {
    return ParticleCycle(frame, mCounter, true);
}

uint8_t FRange::ResultSize(uint8_t argc, const uint8_t* argSizes) const {
    return ParticleFirstArgSize(argc, argSizes);
}

bool FRange::Evaluate(TParticleContext*, TParticleFrame* frame) {
    TRandom* random = ParticleRandom();
    if (random == nullptr || frame->argc != 2 || frame->ArgSize(0) > kParticleLocalFloats ||
        frame->ArgSize(0) != frame->ArgSize(1)) {
        return false;
    }
    const uint8_t n = frame->ArgSize(0);
    const float* a = frame->Arg(0);
    const float* b = frame->Arg(1);
    float result[kParticleLocalFloats] = {};
    for (int i = 0; i < n; ++i) {
        result[i] = a[i] + ParticleUnitFloat(*random) * (b[i] - a[i]);
    }
    return frame->Push(result, n);
}

uint8_t FPick::ResultSize(uint8_t argc, const uint8_t* argSizes) const {
    return ParticleFirstArgSize(argc, argSizes);
}

bool FPick::Evaluate(TParticleContext*, TParticleFrame* frame) {
    TRandom* random = ParticleRandom();
    if (random == nullptr || frame->argc < 1) {
        return false;
    }
    for (int i = 0; i < frame->argc; ++i) {
        if (frame->ArgSize(i) > kParticleLocalFloats) {
            return false;
        }
    }
    const int32_t k = LuaNumberToInt(RandomUnitReal(*random) * frame->argc);
    if (k < 0 || k >= frame->argc) {
        return false;
    }
    float result[kParticleLocalFloats] = {};
    const uint8_t n = frame->ArgSize(k);
    for (int i = 0; i < n; ++i) {
        result[i] = frame->Arg(k)[i];
    }
    return frame->Push(result, n);
}

uint8_t FFade::ResultSize(uint8_t argc, const uint8_t* argSizes) const {
    return argc >= 2 && argSizes != nullptr ? argSizes[1] : 0;
}

bool FFade::Evaluate(TParticleContext*, TParticleFrame* frame) {
    const int argc = frame->argc;
    if (argc < 2 || argc % 2 != 0 || frame->ArgSize(0) < 1) {
        return false;
    }
    // Durations are numbers and every point has x0's size, so each point lies one float past the
    // end of the point before it.
    const uint8_t m = frame->ArgSize(1);
    for (int i = 2; i < argc; i += 2) {
        if (frame->ArgSize(i) != 1 || frame->ArgSize(i + 1) != m) {
            return false;
        }
    }
    float t = frame->Arg(0)[0];
    if (t < 0.0f) {
        t = 0.0f;
    }
    int at = 1;
    while (at + 1 < argc) {
        const float d = frame->Arg(at + 1)[0];
        if (t < d) {
            break;
        }
        t -= d;
        at += 2;
    }
    if (at >= argc - 2) {
        return frame->Push(frame->Arg(at), m);
    }
    const float* from = frame->Arg(at);
    const float* to = frame->Arg(at + 2);
    const float share = t / frame->Arg(at + 1)[0];
    float result[kParticleMaxEntries];
    for (int i = 0; i < m; ++i) {
        result[i] = from[i] + share * (to[i] - from[i]);
    }
    return frame->Push(result, m);
}

uint8_t FAlpha::ResultSize(uint8_t, const uint8_t*) const {
    return 4;
}

bool FAlpha::Evaluate(TParticleContext*, TParticleFrame* frame) {
    // The alpha is the float after the colour, which must be one of the arguments'.
    const uint8_t n = frame->argc >= 1 ? frame->ArgSize(0) : 0;
    if (n < 3 || frame->ArgFloats() <= n) {
        return false;
    }
    const float* a = frame->Arg(0);
    const float result[4] = {a[0], a[1], a[2], a[n]};
    return frame->Push(result, 4);
}

uint8_t F2dRadius::ResultSize(uint8_t, const uint8_t*) const {
    return 2;
}

bool F2dRadius::Evaluate(TParticleContext*, TParticleFrame* frame) {
    TRandom* random = ParticleRandom();
    if (random == nullptr || frame->argc < 1 || frame->ArgSize(0) != 1 ||
        (frame->argc == 2 && frame->ArgSize(1) != 2)) {
        return false;
    }
    const float r = frame->Arg(0)[0];
    const float theta = 2.0f * 3.1415927f * ParticleUnitFloat(*random);
    const float result[2] = {r * std::cos(theta), r * std::sin(theta)};
    return frame->Push(result, 2);
}

uint8_t F2dRotation::ResultSize(uint8_t, const uint8_t*) const {
    return 2;
}

bool F2dRotation::Evaluate(TParticleContext*, TParticleFrame* frame) {
    if (frame->argc < 1 || frame->ArgSize(0) != 1) {
        return false;
    }
    const float angle = frame->Arg(0)[0];
    const float result[2] = {std::cos(angle), std::sin(angle)};
    return frame->Push(result, 2);
}

uint8_t FDebug::ResultSize(uint8_t, const uint8_t*) const {
    return 0;
}

bool FDebug::Evaluate(TParticleContext*, TParticleFrame* frame) {
    std::string text;
    char number[64];
    for (int i = 0; i < frame->argc; ++i) {
        text += '(';
        const float* a = frame->Arg(i);
        for (int j = 0; j < frame->ArgSize(i); ++j) {
            if (j > 0) {
                text += ',';
            }
            std::snprintf(number, sizeof(number), "%f", static_cast<double>(a[j]));
            text += number;
        }
        text += ") ";
    }
    Log("Particle Values: %s", text.c_str());
    return true;
}
