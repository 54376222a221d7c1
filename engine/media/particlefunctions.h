// The node classes of particle programs: constants, member reads, arithmetic, comparisons and the
// f* library that particle scripts call (ranges, fades, cycles, vectors). The script compiler
// makes them through their create functions, which the value-type table holds by name. A node
// that gets the wrong number or sizes of arguments fails, stopping that particle's program for
// the run. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <type_traits>

#include "engine/core/vec.h"
#include "engine/media/particlefunction.h"

// A node class with a create function, which is also its class token.
template <class TNode>
class TParticleNode : public TParticleFunction {
public:
    static TParticleFunctionPtr Create() { return std::make_shared<TNode>(); }

    const char* GetClassName() const override { return TNode::kClassName; }
    bool IsKindOf(TParticleCreateFunction token) const override {
        return token == &TParticleNode::Create || TParticleFunction::IsKindOf(token);
    }
};

// Operators and the random nodes build their results in a local buffer of this many floats;
// longer values make them fail.
constexpr int kParticleLocalFloats = 4;

// The result size of the nodes whose result has their first argument's shape.
inline uint8_t ParticleFirstArgSize(uint8_t argc, const uint8_t* argSizes) {
    return argc >= 1 && argSizes != nullptr ? argSizes[0] : 0;
}

// The node classes keep the F names that scripts' value types and debug output know them by.

// A constant: a number or a vector of 2, 3 or 4 floats.
template <typename T>
class FPush final : public TParticleFunction {
    static_assert(std::is_same_v<T, float> || std::is_same_v<T, TVec2> ||
                  std::is_same_v<T, TVec3> || std::is_same_v<T, TVec4>);

public:
    explicit FPush(const T& value) {
        if constexpr (std::is_same_v<T, float>) {
            mValue[0] = value;
        } else {
            mValue[0] = value.x;
            mValue[1] = value.y;
            if constexpr (kSize > 2) {
                mValue[2] = value.z;
            }
            if constexpr (kSize > 3) {
                mValue[3] = value.w;
            }
        }
    }

    uint8_t ResultSize(uint8_t, const uint8_t*) const override { return kSize; }
    bool Evaluate(TParticleContext*, TParticleFrame* frame) override {
        return frame->Push(mValue, kSize);
    }

private:
    static constexpr uint8_t kSize = sizeof(T) / sizeof(float);
    float mValue[kSize];
};

// Reads a member of the particle record, or runs the external parameter the reference names.
class FGetParticleParam final : public TParticleFunction {
public:
    explicit FGetParticleParam(TParticleMemberRef ref) : mRef(ref) {}

    uint8_t ResultSize(uint8_t argc, const uint8_t* argSizes) const override;
    bool Evaluate(TParticleContext* context, TParticleFrame* frame) override;

private:
    TParticleMemberRef mRef;
};

// (value, offset, size): copies the value into the record from float trunc(offset) on; pushes
// nothing.
class FAssign final : public TParticleNode<FAssign> {
public:
    static constexpr const char* kClassName = "FAssign";
    uint8_t ResultSize(uint8_t argc, const uint8_t* argSizes) const override;
    bool Evaluate(TParticleContext* context, TParticleFrame* frame) override;
};

// Component-wise a + b; floats that b lacks count as 0.
class FAdd final : public TParticleNode<FAdd> {
public:
    static constexpr const char* kClassName = "FAdd";
    uint8_t ResultSize(uint8_t argc, const uint8_t* argSizes) const override;
    bool Evaluate(TParticleContext* context, TParticleFrame* frame) override;
};

// Component-wise a - b; floats that b lacks count as 0.
class FSub final : public TParticleNode<FSub> {
public:
    static constexpr const char* kClassName = "FSub";
    uint8_t ResultSize(uint8_t argc, const uint8_t* argSizes) const override;
    bool Evaluate(TParticleContext* context, TParticleFrame* frame) override;
};

// a times the number b.
class FMul final : public TParticleNode<FMul> {
public:
    static constexpr const char* kClassName = "FMul";
    uint8_t ResultSize(uint8_t argc, const uint8_t* argSizes) const override;
    bool Evaluate(TParticleContext* context, TParticleFrame* frame) override;
};

// a divided by the number b.
class FDiv final : public TParticleNode<FDiv> {
public:
    static constexpr const char* kClassName = "FDiv";
    uint8_t ResultSize(uint8_t argc, const uint8_t* argSizes) const override;
    bool Evaluate(TParticleContext* context, TParticleFrame* frame) override;
};

// -a.
class FUnm final : public TParticleNode<FUnm> {
public:
    static constexpr const char* kClassName = "FUnm";
    uint8_t ResultSize(uint8_t argc, const uint8_t* argSizes) const override;
    bool Evaluate(TParticleContext* context, TParticleFrame* frame) override;
};

// 1 when the number a is less than the number b, else 0.
class FLt final : public TParticleNode<FLt> {
public:
    static constexpr const char* kClassName = "FLt";
    uint8_t ResultSize(uint8_t argc, const uint8_t* argSizes) const override;
    bool Evaluate(TParticleContext* context, TParticleFrame* frame) override;
};

// 1 when the number a is at most the number b, else 0.
class FLe final : public TParticleNode<FLe> {
public:
    static constexpr const char* kClassName = "FLe";
    uint8_t ResultSize(uint8_t argc, const uint8_t* argSizes) const override;
    bool Evaluate(TParticleContext* context, TParticleFrame* frame) override;
};

// (member offset, key): float key (from 1) of a record member or of an external parameter's
// value; 0 when that float does not exist.
class FIndex final : public TParticleNode<FIndex> {
public:
    static constexpr const char* kClassName = "FIndex";
    uint8_t ResultSize(uint8_t argc, const uint8_t* argSizes) const override;
    bool Evaluate(TParticleContext* context, TParticleFrame* frame) override;
};

// (member offset, key, value): writes float key (from 1) of a record member and pushes the value.
class FNewIndex final : public TParticleNode<FNewIndex> {
public:
    static constexpr const char* kClassName = "FNewIndex";
    uint8_t ResultSize(uint8_t argc, const uint8_t* argSizes) const override;
    bool Evaluate(TParticleContext* context, TParticleFrame* frame) override;
};

// A per-second rate scaled to this run's milliseconds.
class FTimeScale final : public TParticleNode<FTimeScale> {
public:
    static constexpr const char* kClassName = "FTimeScale";
    uint8_t ResultSize(uint8_t argc, const uint8_t* argSizes) const override;
    bool Evaluate(TParticleContext* context, TParticleFrame* frame) override;
};

// This run's milliseconds.
class FAge final : public TParticleNode<FAge> {
public:
    static constexpr const char* kClassName = "FAge";
    uint8_t ResultSize(uint8_t argc, const uint8_t* argSizes) const override;
    bool Evaluate(TParticleContext* context, TParticleFrame* frame) override;
};

// Ends the particle when its argument is not 0; pushes 1 then, else 0.
class FExpire final : public TParticleNode<FExpire> {
public:
    static constexpr const char* kClassName = "FExpire";
    uint8_t ResultSize(uint8_t argc, const uint8_t* argSizes) const override;
    bool Evaluate(TParticleContext* context, TParticleFrame* frame) override;
};

// Joins 1 to 4 numbers into one vector.
class FVec final : public TParticleNode<FVec> {
public:
    static constexpr const char* kClassName = "FVec";
    uint8_t ResultSize(uint8_t argc, const uint8_t* argSizes) const override;
    bool Evaluate(TParticleContext* context, TParticleFrame* frame) override;
};

// The distance between a and b; floats that b lacks count as 0.
class FDistance final : public TParticleNode<FDistance> {
public:
    static constexpr const char* kClassName = "FDistance";
    uint8_t ResultSize(uint8_t argc, const uint8_t* argSizes) const override;
    bool Evaluate(TParticleContext* context, TParticleFrame* frame) override;
};

// (a, b, steps): successive evaluations walk from a towards b in steps, without reaching b, then
// start over. The position is the node's, shared by every particle that runs it.
class FOpenCycle final : public TParticleNode<FOpenCycle> {
public:
    static constexpr const char* kClassName = "FOpenCycle";
    uint8_t ResultSize(uint8_t argc, const uint8_t* argSizes) const override;
    bool Evaluate(TParticleContext* context, TParticleFrame* frame) override;

private:
    uint32_t mCounter = 0;
};

// As FOpenCycle, with the last step reaching b.
class FClosedCycle final : public TParticleNode<FClosedCycle> {
public:
    static constexpr const char* kClassName = "FClosedCycle";
    uint8_t ResultSize(uint8_t argc, const uint8_t* argSizes) const override;
    bool Evaluate(TParticleContext* context, TParticleFrame* frame) override;

private:
    uint32_t mCounter = 0;
};

// A random point between a and b, drawn component by component.
class FRange final : public TParticleNode<FRange> {
public:
    static constexpr const char* kClassName = "FRange";
    uint8_t ResultSize(uint8_t argc, const uint8_t* argSizes) const override;
    bool Evaluate(TParticleContext* context, TParticleFrame* frame) override;
};

// One of its arguments, picked at random.
class FPick final : public TParticleNode<FPick> {
public:
    static constexpr const char* kClassName = "FPick";
    uint8_t ResultSize(uint8_t argc, const uint8_t* argSizes) const override;
    bool Evaluate(TParticleContext* context, TParticleFrame* frame) override;
};

// (t, x0, d1, x1, ..., dk, xk): the piecewise-linear curve from x0 through the xi, reaching each
// xi after its duration di more.
class FFade final : public TParticleNode<FFade> {
public:
    static constexpr const char* kClassName = "FFade";
    uint8_t ResultSize(uint8_t argc, const uint8_t* argSizes) const override;
    bool Evaluate(TParticleContext* context, TParticleFrame* frame) override;
};

// (colour, alpha): the colour's first three floats with the alpha as the fourth.
class FAlpha final : public TParticleNode<FAlpha> {
public:
    static constexpr const char* kClassName = "FAlpha";
    uint8_t ResultSize(uint8_t argc, const uint8_t* argSizes) const override;
    bool Evaluate(TParticleContext* context, TParticleFrame* frame) override;
};

// A random 2-D point at distance r in any direction.
class F2dRadius final : public TParticleNode<F2dRadius> {
public:
    static constexpr const char* kClassName = "F2dRadius";
    uint8_t ResultSize(uint8_t argc, const uint8_t* argSizes) const override;
    bool Evaluate(TParticleContext* context, TParticleFrame* frame) override;
};

// The unit 2-D vector at an angle in radians.
class F2dRotation final : public TParticleNode<F2dRotation> {
public:
    static constexpr const char* kClassName = "F2dRotation";
    uint8_t ResultSize(uint8_t argc, const uint8_t* argSizes) const override;
    bool Evaluate(TParticleContext* context, TParticleFrame* frame) override;
};

// Logs its arguments; pushes nothing.
class FDebug final : public TParticleNode<FDebug> {
public:
    static constexpr const char* kClassName = "FDebug";
    uint8_t ResultSize(uint8_t argc, const uint8_t* argSizes) const override;
    bool Evaluate(TParticleContext* context, TParticleFrame* frame) override;
};
