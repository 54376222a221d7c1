// The particle function machine: the node base class that per-particle programs are made of, the
// value stack they run on, and the loop that runs one program over one particle record. The
// particle system owns the statement streams and runs them; the node classes themselves are in
// particlefunctions.h. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

class TParticleFunction;
class TRandom;

using TParticleFunctionPtr = std::shared_ptr<TParticleFunction>;
// A node class's create function; its address is also the class's token for IsKindOf.
using TParticleCreateFunction = TParticleFunctionPtr (*)();

// Limits of a run: a particle record has at most this many floats and members, and the value
// stack holds at most this many values of four floats on average.
constexpr int kParticleMaxEntries = 255;
constexpr int kParticleValueFloats = 4 * kParticleMaxEntries;

// A member reference names a run of floats: a member of the particle record (offset 0 or more;
// only its low 8 bits address the record) or, with a negative offset, the external parameter at
// index ~offset of the system. Low 16 bits: the signed offset; high 16 bits: the size in floats.
using TParticleMemberRef = uint32_t;

constexpr TParticleMemberRef ParticleMemberRef(int16_t offset, uint16_t size) {
    return (static_cast<uint32_t>(size) << 16) | static_cast<uint16_t>(offset);
}
constexpr int16_t ParticleMemberOffset(TParticleMemberRef ref) {
    return static_cast<int16_t>(ref & 0xffffu);
}
constexpr uint16_t ParticleMemberSize(TParticleMemberRef ref) {
    return static_cast<uint16_t>(ref >> 16);
}

// A list of float values found by prefix offsets: entry i has sizes[i] floats starting at
// data + offsets[i]. Used for the value stack of a run and, over a particle record, for the
// record's members. The storage belongs to whoever sets the pointers.
struct TParticleStack {
    float* data = nullptr;
    uint8_t* sizes = nullptr;
    // offsets[0] is 0 and offsets[i + 1] = offsets[i] + sizes[i].
    int32_t offsets[kParticleMaxEntries + 1] = {};
    int32_t count = 0;
    // Entries the storage holds; the value stack holds four floats an entry.
    int32_t capacity = 0;

    // Makes entries index to index + n - 1 have the given sizes (copied unless they already are
    // this stack's own) and recomputes their offsets; count becomes index + n. False, changing
    // nothing, when the entries would pass kParticleMaxEntries.
    bool SetSizes(int index, const uint8_t* newSizes, int n);
    // The floats of entries 0 to count - 1: for a particle record, the record's length.
    int32_t Floats() const {
        return count >= 0 && count <= kParticleMaxEntries ? offsets[count] : 0;
    }
};

// The first argument of TParticleFunction::Evaluate: the particle being run and what the run
// knows about it.
struct TParticleContext {
    // Over the particle record: data is the record, entry i is member i.
    TParticleStack record;
    // Milliseconds of this run: 0 in a creation run.
    uint32_t elapsed = 0;
    // Set before each particle's program; FExpire clears it.
    bool alive = true;
};

// The second argument of TParticleFunction::Evaluate: where the running statement's arguments
// lie on the value stack and where its result goes.
struct TParticleFrame {
    // The owning system's external parameters, which member references with a negative offset
    // name; the system owns the list and the nodes outlive the run.
    std::span<TParticleFunction* const> externals;
    TParticleStack* stack = nullptr;
    // Index of the running statement's first argument, where its result goes.
    uint8_t base = 0;
    // Number of values on the stack.
    uint8_t top = 0;
    uint8_t argc = 0;

    // Writes a value of n floats as entry base (values may lie on the stack itself), then moves
    // base and top one past it. False, writing nothing, when the value would pass the stack's
    // entries or its floats; the node then fails.
    [[nodiscard]] bool Push(const float* values, uint8_t n);
    // Selects the last n values as the arguments; with fewer than n on the stack nothing changes.
    void SetArgs(uint8_t n);

    // Argument i of the running statement (i < argc): its floats and their count.
    float* Arg(int i) const { return stack->data + stack->offsets[base + i]; }
    uint8_t ArgSize(int i) const { return stack->sizes[base + i]; }
    // All floats of the arguments together.
    int32_t ArgFloats() const { return stack->offsets[base + argc] - stack->offsets[base]; }
};

// The base of every node of a particle program, and of the native external parameters (emitter
// positions) that game objects hand to a particle system. Nodes are shared by the statements and
// tables that hold them.
class TParticleFunction {
public:
    // The token of this base class: a function of its own that creates nothing.
    static TParticleFunctionPtr ClassId();

    virtual const char* GetClassName() const;
    // True for this base's token; a node class adds its own create function.
    virtual bool IsKindOf(TParticleCreateFunction token) const;
    virtual ~TParticleFunction();
    virtual void Reserved3();
    // Floats of the result for statements of argc arguments with the given compile-time sizes.
    virtual uint8_t ResultSize(uint8_t argc, const uint8_t* argSizes) const = 0;
    // Runs the node over the frame's arguments and pushes its result; false stops the rest of this
    // particle's program for this run.
    virtual bool Evaluate(TParticleContext* context, TParticleFrame* frame) = 0;
};

// One element of a statement stream.
struct TParticleStatement {
    TParticleFunctionPtr function;
    uint8_t argc = 0;
    // Compile-time sizes of the arguments, only for asking ResultSize.
    uint8_t argSizes[11] = {};
};

// The value stack of one run with its own storage: 255 entries of four floats. It lives on the
// caller's stack for the run, so a run allocates nothing.
class TParticleValueStack {
public:
    // The sizes start at zero; a creation run zeroes the floats as well.
    explicit TParticleValueStack(bool zeroFloats);
    TParticleValueStack(const TParticleValueStack&) = delete;
    TParticleValueStack& operator=(const TParticleValueStack&) = delete;

    TParticleStack& Stack() { return mStack; }

private:
    TParticleStack mStack;
    uint8_t mSizes[kParticleMaxEntries];
    float mData[kParticleValueFloats];
};

// Runs a program over the particle the context points at: each statement takes its arguments from
// the values the statements before it left and replaces them with its result. True when every
// statement ran; false when one failed, which stops the program for this particle only.
bool RunParticleProgram(std::span<const TParticleStatement> program,
                        std::span<TParticleFunction* const> externals, TParticleContext& context,
                        TParticleStack& valueStack);

// The generator every particle system's nodes draw from. The particle systems own it: the first
// one installs and seeds it, the last one removes it; null while none lives.
TRandom* ParticleRandom();
// Installs a generator (null removes it), freeing the one before.
void SetParticleRandom(std::unique_ptr<TRandom> random);
