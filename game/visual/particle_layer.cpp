#include "game/visual/particle_layer.h"

#include "engine/media/renderer.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowstyle.h"
#include "game/visual/GFlyEmitter.h"
#include "game/visual/GParticleSystem.h"

#include <algorithm>
#include <map>

namespace {

// The first layer of each name; a layer leaves when it goes.
std::map<str, particle_layer*>& Layers() {
    static std::map<str, particle_layer*> layers;
    return layers;
}

} // namespace

particle_layer* FindParticleLayer(const str& name) {
    const auto found = Layers().find(name);
    return found != Layers().end() ? found->second : nullptr;
}

particle_layer::~particle_layer() {
    Unregister();
    for (GFlyEmitter* emitter : mSources) {
        emitter->mLayer = nullptr;
    }
}

TWindow* particle_layer::Create() {
    return new particle_layer;
}

bool particle_layer::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TWindow::IsKindOf(id);
}

void particle_layer::Init(TWindowStyle& style) {
    TWindow::Init(style);
    Unregister();
    mLayerName = style.GetString("name", str());
    Layers().emplace(mLayerName, this);
    StartAnimation(kAnimationMs, true, true, false);
}

void particle_layer::Unregister() {
    // A later layer of the same name was never registered: only this one's entry goes.
    const auto found = Layers().find(mLayerName);
    if (found != Layers().end() && found->second == this) {
        Layers().erase(found);
    }
}

bool particle_layer::OnAttach() {
    if (TModalWindow* modal = GetModalParent()) {
        mLastUpdate = modal->GetClock().GetTime();
    }
    return true;
}

bool particle_layer::OnAnimate() {
    if (TWindowManager* manager = GetWindowManager()) {
        manager->Invalidate();
    }
    const TWindowAnim* animation = GetAnimation();
    const int32_t now = animation != nullptr ? animation->GetClockTime() : mLastUpdate;
    const int step = GParticleSystem::StepFor(
        static_cast<int32_t>(static_cast<uint32_t>(now) - static_cast<uint32_t>(mLastUpdate)));
    mLastUpdate = now;
    for (GFlyEmitter* emitter : mSources) {
        emitter->mParticles.Update(step);
    }
    return true;
}

void particle_layer::Draw() {
    TRenderer* renderer = TRenderer::Existing();
    if (renderer == nullptr) {
        return;
    }
    TRenderer2dScope pass;
    pass.mActive = renderer->Begin2d();
    for (GFlyEmitter* emitter : mSources) {
        emitter->mParticles.Render(nullptr);
    }
}

bool particle_layer::OnMouseMove(const TPoint& point) {
    mLocus = TVec2(static_cast<float>(point.x), static_cast<float>(point.y));
    return false;
}

void particle_layer::AddSource(GFlyEmitter* emitter, particle_layerLocus* locus) {
    if (emitter == nullptr ||
        std::find(mSources.begin(), mSources.end(), emitter) != mSources.end()) {
        return;
    }
    if (emitter->mLayer != nullptr) {
        emitter->mLayer->RemoveSource(emitter);
    }
    // Loading appends to the particle programs: an emitter that joins a second layer keeps what
    // the first one loaded.
    if (!emitter->mSourceReady) {
        emitter->mParticles.AddParameter("dLocus", locus);
        emitter->mParticles.Load(kSourceScript);
        emitter->mSourceReady = true;
    }
    emitter->DoLuaString("gActive = false;");
    mSources.push_back(emitter);
    emitter->mLayer = this;
}

void particle_layer::RemoveSource(GFlyEmitter* emitter) {
    const auto found = std::find(mSources.begin(), mSources.end(), emitter);
    if (found == mSources.end()) {
        return;
    }
    mSources.erase(found);
    if (emitter->mLayer == this) {
        emitter->mLayer = nullptr;
    }
}
