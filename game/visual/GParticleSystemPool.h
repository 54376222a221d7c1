// The process-wide pool of the "Particles" effect's systems, in creation order. Systems are made
// on demand and reused per script; at most kMaxInUse of one script are in use at a time, and a
// further request takes over the newest of them. Main thread only.
#pragma once

#include "engine/core/str.h"
#include "game/visual/GParticleSystem.h"

#include <memory>
#include <vector>

class GParticleSystemPool {
public:
    static constexpr int kMaxInUse = 31;

    // A system of the script "particles/" + name + ".lua", in use by the owner, which now holds
    // it; its script has run OnStart(-1).
    GParticleSystem* Acquire(const str& name, GParticleSystemOwner* owner);
    // Deletes every system, releasing those in use; for shutdown, before the renderer and the
    // assets the systems draw with go away.
    void Clear();

    size_t GetCount() const { return mSystems.size(); }
    GParticleSystem* GetAt(size_t index) const { return mSystems[index].get(); }

private:
    std::vector<std::unique_ptr<GParticleSystem>> mSystems;
};

// The process-wide pool, made on first use; the platform empties it at its shutdown.
GParticleSystemPool& GetParticleSystemPool();
