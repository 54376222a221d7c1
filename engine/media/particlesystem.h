// One particle effect: a pool of particle records, the members that divide each record, the init
// and anim programs compiled from the effect's particle script, a renderer, and the Lua state of
// its own in which the script runs. The game's visual objects make systems, load a script into
// each, call Update every frame and Render when they draw, and may publish native values
// (emitter positions) to the script as external parameters. The script side (the functions the
// script sees, the compiler from value trees to statements, the built-in "particles.lua") is in
// particlesystemscript.cpp. All systems share one random generator, made with the first and
// freed with the last. Main thread only.
#pragma once

#include "engine/core/str.h"
#include "engine/core/vec.h"
#include "engine/media/particlefunction.h"
#include "engine/script/lua/lua.h"
#include "engine/script/scriptcode.h"

#include <map>
#include <memory>
#include <span>
#include <vector>

class TParticleCollection;
class TParticleRenderer;
class TScript;

class TLuaParticleSystem {
public:
    // Null makes a T2dParticleRenderer that the system owns; a given renderer stays the caller's
    // and must outlive the system. The script state is set up at once.
    explicit TLuaParticleSystem(TParticleRenderer* renderer = nullptr);
    virtual ~TLuaParticleSystem();
    TLuaParticleSystem(const TLuaParticleSystem&) = delete;
    TLuaParticleSystem& operator=(const TLuaParticleSystem&) = delete;

    // A name containing ".lua" is a script file, compiled under the search path of its folder,
    // "assets/" and "assets/fx/"; any other name is Lua text. False when the file is missing or
    // does not compile; errors inside the script are logged and do not change the result.
    virtual bool Load(const str& name);
    // Runs the script's Update with the seconds, then animates the live particles.
    virtual void Update(int milliseconds);
    // Draws the live particles through the renderer.
    void Render(const TVec3* origin);
    // Publishes the node to the script as the member reference `name`; the node stays the
    // caller's and must outlive the system. The reference's (negative) offset, or 0 when no more
    // can be added.
    int AddParameter(const str& name, TParticleFunction* node);

    // What the script reaches. Allocate: a new member of n floats after the others; false when it
    // would pass 255 floats or 255 members, or the pool already exists.
    bool Allocate(uint8_t n, TParticleMemberRef* ref);
    // A new pool of n empty records; false, with no pool left, for a negative n or a pool that
    // cannot be had.
    bool SetNumParticles(int n);
    // Emits n more particles: whole ones at once, fractions carried as a debt to the next call.
    void CreateParticles(float n);
    // Runs the anim program over every live particle; those it expires go back to the free list.
    void Animate(int milliseconds);
    // Moves the pending statements to the end of the init or the anim program.
    void AccumulateInitStream();
    void AccumulateAnimStream();
    void Done() { mDone = true; }
    void SetRendererOption1(const str& name, float value);
    // The name is relative to the script's folder; a ".xml" name is an animated texture.
    void SetTexture(const str& name);

    // The script binding (particlesystemscript.cpp).
    // Makes the Lua state anew: value types, published functions, "particles.lua", then the
    // renderer's members. Drops every member, program and external parameter.
    void SetupScript();
    // Files the node type under the name and defines the Lua function of that name that builds
    // a value node of it.
    void RegisterValueType(const str& name, TParticleCreateFunction create);
    // A new node of the named type; empty, with a script alert, for an unknown name.
    TParticleFunctionPtr CreateValueByName(const str& name);

    TScript* GetScript() const { return mScript.get(); }
    lua_State* GetState() const;
    TParticleRenderer* GetRenderer() const { return mRenderer; }
    const TParticleCollection& GetCollection() const { return *mCollection; }
    // The records, for callers that place particles themselves.
    TParticleCollection& GetCollection() { return *mCollection; }
    int GetFloatsPerParticle() const { return mFloatsPerParticle; }
    const std::vector<uint8_t>& GetMemberSizes() const { return mMemberSizes; }
    std::span<const TParticleStatement> GetInitStream() const { return mInitStream; }
    std::span<const TParticleStatement> GetAnimStream() const { return mAnimStream; }
    std::span<const TParticleStatement> GetPendingStatements() const { return mPending; }
    float GetEmissionDebt() const { return mEmissionDebt; }
    bool IsDone() const { return mDone; }
    const str& GetScriptFolder() const { return mScriptFolder; }
    float GetAlpha() const { return mAlpha; }
    void SetAlpha(float alpha) { mAlpha = alpha; }

private:
    // A context over the records for one run: member i is entry i.
    void PrepareContext(TParticleContext& context, uint32_t elapsed);
    bool HasPool() const { return mHasPool; }

    // The functions published to the script (particlesystemscript.cpp): Lua errors for refused
    // requests, the compiler, and member references in and out of Lua.
    int ScriptAllocate(lua_State* state);
    void ScriptSetNumParticles(int n);
    int CompileParam(lua_State* state);
    void PushMemberRef(TParticleMemberRef ref);
    // The compiler's cases: a constant table, a node (type and argument count; the table at
    // index 1, its parameters at 3), a member reference.
    int CompileTable(lua_State* state);
    int CompileNode(lua_State* state, int argc, const str& type);
    int CompileMemberRef(lua_State* state);
    // Alerts the text through the script's "_ALERT".
    void Alert(const str& text);

    bool mOwnsRenderer = false;
    TParticleRenderer* mRenderer = nullptr;
    std::unique_ptr<TParticleCollection> mCollection;
    std::unique_ptr<TScript> mScript;
    // The loaded script file's chunk, kept while the system lives.
    TScriptCodePtr mScriptCode;
    // The loaded file's folder with its final '/', or empty.
    str mScriptFolder;
    // The pool's records; the collection adopts the block.
    std::unique_ptr<float[]> mRecords;
    bool mHasPool = false;
    uint8_t mFloatsPerParticle = 0;
    std::vector<uint8_t> mMemberSizes;
    // Not owned.
    std::vector<TParticleFunction*> mExternals;
    std::map<str, TParticleCreateFunction> mValueTypes;
    std::vector<TParticleStatement> mInitStream;
    std::vector<TParticleStatement> mAnimStream;
    std::vector<TParticleStatement> mPending;
    float mAlpha = 1.0f;
    bool mDone = false;
    // Requested particles not yet made; below 0 when more were made than asked.
    float mEmissionDebt = 0.0f;
};
