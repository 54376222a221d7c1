#include "game/visual/GParticleSystemPool.h"

#include "engine/system/platform.h"

GParticleSystem* GParticleSystemPool::Acquire(const str& name, GParticleSystemOwner* owner) {
    GParticleSystem* taken = nullptr;
    GParticleSystem* newest = nullptr;
    int inUse = 0;
    for (const auto& system : mSystems) {
        if (system->GetScriptName() != name) {
            continue;
        }
        newest = system.get();
        if (system->GetUseState() == GParticleSystem::kInUse) {
            ++inUse;
        } else if (taken == nullptr && system->GetUseState() == GParticleSystem::kIdle) {
            taken = system.get();
        }
    }
    if (taken == nullptr && (inUse < kMaxInUse || newest == nullptr)) {
        auto made = std::make_unique<GParticleSystem>();
        made->Load(name);
        taken = made.get();
        mSystems.push_back(std::move(made));
    } else if (taken == nullptr) {
        taken = newest;
        if (taken->GetUseState() == GParticleSystem::kInUse) {
            taken->SetUseState(GParticleSystem::kIdle);
            taken->TakeFromOwner();
            taken->Stop();
        }
    }
    taken->SetUseState(GParticleSystem::kInUse);
    taken->SetOwner(owner);
    if (owner != nullptr) {
        owner->SetSystem(taken);
    }
    taken->DoLuaString("if(OnStart)then OnStart(-1); end");
    return taken;
}

void GParticleSystemPool::Clear() {
    for (const auto& system : mSystems) {
        system->Release();
    }
    mSystems.clear();
}

GParticleSystemPool& GetParticleSystemPool() {
    static GParticleSystemPool pool;
    // The systems draw with the renderer and hold textures of the asset manager: the platform
    // empties the pool before those go, not the exit after them.
    [[maybe_unused]] static const bool kEmptiedAtShutdown = [] {
        AddShutdownHook([] { GetParticleSystemPool().Clear(); });
        return true;
    }();
    return pool;
}
