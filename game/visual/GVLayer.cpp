#include "game/visual/GVLayer.h"

#include "engine/media/renderer.h"
#include "engine/ui/window.h"
#include "game/visual/GVFactory.h"
#include "game/visual/GVParticlesEffect.h"

#include <cmath>

bool GVLayer::GDepthLess::operator()(float a, float b) const {
    if (std::isnan(a)) {
        return !std::isnan(b);
    }
    return !std::isnan(b) && a < b;
}

GVLayer::~GVLayer() {
    // Windows set the factory's current list and do not set it back.
    GVFactory::Instance().ForgetLayer(this);
    for (GVObject* object : mMembers) {
        object->ForgetLayer(this);
    }
}

void GVLayer::SetWindow(TWindow* window) {
    mModal = window != nullptr ? window->GetModalParent() : nullptr;
}

void GVLayer::Insert(GVObject* object) {
    if (object == nullptr || !mMembers.insert(object).second) {
        return;
    }
    AddToOrder(object);
}

void GVLayer::Remove(GVObject* object) {
    if (mMembers.erase(object) == 0) {
        return;
    }
    RemoveFromOrder(object);
}

void GVLayer::AddToOrder(GVObject* object) {
    if (object != nullptr) {
        mOrder.emplace(object->GetWorldData().mDeltaZ, object);
    }
}

void GVLayer::RemoveFromOrder(GVObject* object) {
    const auto range = mOrder.equal_range(object->GetWorldData().mDeltaZ);
    for (auto entry = range.first; entry != range.second; ++entry) {
        if (entry->second == object) {
            mOrder.erase(entry);
            return;
        }
    }
    // Its depth no longer matches its entry: it must not stay behind when it is destroyed.
    for (auto entry = mOrder.begin(); entry != mOrder.end(); ++entry) {
        if (entry->second == object) {
            mOrder.erase(entry);
            return;
        }
    }
}

void GVLayer::Draw() {
    UpdateObjects();
    TRenderer* renderer = TRenderer::Instance();
    const bool began = renderer != nullptr && renderer->Begin2d();
    for (const auto& entry : mOrder) {
        entry.second->Draw(mDrawArea);
    }
    if (began) {
        renderer->End2d();
    }
}

void GVLayer::UpdateObjects() {
    for (GVObject* object : mMembers) {
        if (object->IsDirty()) {
            object->Update();
        }
    }
}

template <class Owner>
TOnTimerCaller<Owner, TModalWindow>*
GVLayer::PlaceTimer(Owner* owner, void (Owner::*method)(),
                    TOnTimerCaller<Owner, TModalWindow>** holder) {
    if (owner == nullptr) {
        return nullptr;
    }
    auto* timer = new TOnTimerCaller<Owner, TModalWindow>(owner, method, holder);
    if (!timer->PlaceIn(mModal)) {
        delete timer;
        return nullptr;
    }
    return timer;
}

GVObject::TFrameTimer* GVLayer::CreateTimer(GVObject* object) {
    return PlaceTimer(object, &GVObject::OnFrameTimer,
                      object != nullptr ? &object->mFrameTimer : nullptr);
}

GVParticlesEffect::TTimer* GVLayer::CreateParticleTimer(GVParticlesEffect* effect) {
    GVParticlesEffect::TTimer* timer = PlaceTimer(effect, &GVParticlesEffect::Update,
                                                  effect != nullptr ? &effect->mTimer : nullptr);
    if (timer != nullptr) {
        // Timer callers are made stopped; this one runs from now on, at every pass.
        timer->Start(0, true, true, false);
    }
    return timer;
}

bool GVLayer::Contains(const GVObject* object) const {
    return mMembers.count(const_cast<GVObject*>(object)) != 0;
}

std::vector<GVObject*> GVLayer::GetDrawOrder() const {
    std::vector<GVObject*> order;
    order.reserve(mOrder.size());
    for (const auto& entry : mOrder) {
        order.push_back(entry.second);
    }
    return order;
}
