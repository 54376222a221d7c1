#include "game/visual/GParticleSystem.h"

#include "engine/script/luabinding.h"
#include "engine/script/luawrapper.h"
#include "engine/script/script.h"

#include <memory>

namespace {

int ParticleScriptDump(lua_State*) {
    return 0;
}

} // namespace

GParticleSystem::GParticleSystemOwner::~GParticleSystemOwner() {
    if (mSystem != nullptr && mSystem->GetOwner() == this) {
        mSystem->Release();
    }
    mSystem = nullptr;
}

void GParticleSystem::GParticleSystemOwner::SetSystem(GParticleSystem* system) {
    if (mSystem != nullptr && mSystem != system && mSystem->GetUseState() == kInUse &&
        mSystem->GetOwner() == this) {
        mSystem->Release();
    }
    mSystem = system;
}

GParticleSystem::GParticleSystem() = default;

GParticleSystem::~GParticleSystem() {
    if (mOwner != nullptr && mOwner->mSystem == this) {
        mOwner->mSystem = nullptr;
    }
}

uint8_t GParticleSystem::ResultSize(uint8_t, const uint8_t*) const {
    return 2;
}

bool GParticleSystem::Evaluate(TParticleContext*, TParticleFrame* frame) {
    const float values[2] = {mPosition.x, mPosition.y};
    return frame->Push(values, 2);
}

void GParticleSystem::Load(const str& name) {
    lua_State* state = mParticles.GetState();
    LuaPublish(state, "ScriptDump", &ParticleScriptDump);
    LuaPublish(state, "OnEnd", this, &GParticleSystem::ScriptOnEnd);
    mParticles.AddParameter("dPos", this);
    mParticles.Load(str("particles/") + name + ".lua");
    LoadAdditionalVars();
    mScriptName = name;
    mUseState = kIdle;
}

void GParticleSystem::LoadAdditionalVars() {
    std::unique_ptr<TLuaTable> names(mParticles.GetScript()->GetGlobalTable("AdditionalVars"));
    if (names == nullptr) {
        return;
    }
    const int count = names->GetCount();
    for (int i = 1; i <= count; ++i) {
        const str name = names->GetStringAt(i);
        auto found = mCreators.find(name);
        if (found == mCreators.end()) {
            continue;
        }
        TParticleFunctionPtr function = found->second();
        if (function != nullptr) {
            mParticles.AddParameter(name, function.get());
            mAdditional.push_back(std::move(function));
        }
    }
}

void GParticleSystem::DoLuaString(const str& text) {
    mParticles.GetScript()->DoLuaString(text);
}

void GParticleSystem::Stop() {
    DoLuaString("gActive = false;");
    DoLuaString("if(OnStop)then OnStop(); end");
}

void GParticleSystem::Release() {
    if (mUseState != kInUse) {
        return;
    }
    mUseState = kIdle;
    if (mOwner != nullptr && mOwner->mSystem == this) {
        mOwner->mSystem = nullptr;
    }
    mOwner = nullptr;
    Stop();
}

void GParticleSystem::TakeFromOwner() {
    GParticleSystemOwner* owner = mOwner;
    mOwner = nullptr;
    if (owner != nullptr && owner->mSystem == this) {
        owner->mSystem = nullptr;
        owner->OnReleased();
    }
}

int GParticleSystem::ScriptOnEnd(lua_State*) {
    OnScriptEnd();
    return 0;
}

void GParticleSystem::OnScriptEnd() {
    if (mOwner != nullptr) {
        mOwner->OnScriptEnd();
    } else if (mUseState == kInUse) {
        mUseState = kIdle;
        Stop();
    }
}

void GParticleSystem::Draw() {
    mParticles.Render(nullptr);
}

int GParticleSystem::StepFor(int32_t elapsed) {
    if (elapsed <= 0) {
        return 0;
    }
    const int64_t step = int64_t{elapsed} * 2 / 3;
    return step < 151 ? static_cast<int>(step) : 16;
}
