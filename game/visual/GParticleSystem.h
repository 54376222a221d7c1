// A pooled particle system of the "Particles" effect: a particle script in a Lua state of its
// own, published to that script as "dPos" (the emitter position). The pool cycles systems between
// idle and in use; the user of one is its owner. Main thread only.
#pragma once

#include "engine/core/str.h"
#include "engine/core/vec.h"
#include "engine/media/particlefunction.h"
#include "engine/media/particlesystem.h"

#include <cstdint>
#include <map>
#include <vector>

class GParticleSystem : public TParticleFunction {
public:
    // Whoever uses a pooled system.
    class GParticleSystemOwner {
    public:
        GParticleSystemOwner() = default;
        // An owner that dies still holding its system gives it back.
        virtual ~GParticleSystemOwner();
        GParticleSystemOwner(const GParticleSystemOwner&) = delete;
        GParticleSystemOwner& operator=(const GParticleSystemOwner&) = delete;

        // The script called "OnEnd".
        virtual void OnScriptEnd() = 0;
        // The system was taken away.
        virtual void OnReleased() = 0;

        // Releases the previous system when it is in use, then holds the new one.
        void SetSystem(GParticleSystem* system);
        GParticleSystem* GetSystem() const { return mSystem; }

    private:
        friend class GParticleSystem;
        GParticleSystem* mSystem = nullptr;
    };

    enum EUseState : int { kNew = 0, kIdle = 1, kInUse = 2 };

    GParticleSystem();
    ~GParticleSystem() override;

    uint8_t ResultSize(uint8_t argc, const uint8_t* argSizes) const override;
    // Pushes the position.
    bool Evaluate(TParticleContext* context, TParticleFrame* frame) override;

    // Loads "particles/" + name + ".lua" with "ScriptDump", "OnEnd" and "dPos" defined; the
    // system becomes idle.
    void Load(const str& name);
    // Runs "gActive = false;" and the script's OnStop.
    void Stop();
    // Only for a system in use: idle, away from its owner, stopped.
    void Release();
    // The script called "OnEnd".
    void OnScriptEnd();
    // Renders at offset 0.
    void Draw();

    // The ms a system advances for `elapsed` ms of its clock: two thirds of them, or 16 after a
    // stall (from 227 ms on), so that effects do not jump; a clock that went back advances
    // nothing.
    static int StepFor(int32_t elapsed);

    // Takes the system from its owner without releasing it: the owner forgets it and is told.
    void TakeFromOwner();
    void SetOwner(GParticleSystemOwner* owner) { mOwner = owner; }
    GParticleSystemOwner* GetOwner() const { return mOwner; }
    EUseState GetUseState() const { return mUseState; }
    void SetUseState(EUseState state) { mUseState = state; }
    const str& GetScriptName() const { return mScriptName; }
    TLuaParticleSystem& GetParticles() { return mParticles; }
    void SetPosition(const TVec2& position) { mPosition = position; }
    const TVec2& GetPosition() const { return mPosition; }
    void DoLuaString(const str& text);

private:
    // Lua "OnEnd": the script calls it with no arguments.
    int ScriptOnEnd(lua_State* state);
    // Publishes the functions named by the script's "AdditionalVars" that this system can make.
    void LoadAdditionalVars();

    std::vector<TParticleFunctionPtr> mAdditional;
    TLuaParticleSystem mParticles;
    GParticleSystemOwner* mOwner = nullptr;
    EUseState mUseState = kNew;
    TVec2 mPosition;
    str mScriptName;
    // Additional particle functions by name; this system knows none.
    std::map<str, TParticleCreateFunction> mCreators;
};

using GParticleSystemOwner = GParticleSystem::GParticleSystemOwner;
