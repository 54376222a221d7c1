#include "game/visual/GVEffects.h"

#include <algorithm>
#include <utility>

namespace {

void RemoveFirst(std::vector<GVEffect*>& list, GVEffect* effect) {
    auto found = std::find(list.begin(), list.end(), effect);
    if (found != list.end()) {
        list.erase(found);
    }
}

} // namespace

void GVEffects::StartStateEffects(GVCustomEffects* effects) {
    if (effects == nullptr) {
        return;
    }
    for (int i = 0; i < effects->Count(); ++i) {
        GVEffect* effect = effects->At(i);
        if (effect->Start()) {
            AddRunning(effect);
        }
    }
}

void GVEffects::StopStateEffects(GVCustomEffects* effects) {
    if (effects == nullptr) {
        return;
    }
    for (int i = 0; i < effects->Count(); ++i) {
        GVEffect* effect = effects->At(i);
        if (effect->Stop()) {
            RemoveRunning(effect);
        }
    }
}

void GVEffects::AddRunning(GVEffect* effect) {
    if (effect == nullptr) {
        return;
    }
    if (effect->GetEventMask() != 0) {
        mPreDraw.push_back(effect);
        mPostDraw.push_back(effect);
        mFrameChanged.push_back(effect);
        mApply.push_back(effect);
    }
    mRunning.push_back(effect);
}

void GVEffects::RemoveRunning(GVEffect* effect) {
    if (effect == nullptr) {
        return;
    }
    if (effect->GetEventMask() != 0) {
        RemoveFirst(mPreDraw, effect);
        RemoveFirst(mPostDraw, effect);
        RemoveFirst(mFrameChanged, effect);
        RemoveFirst(mApply, effect);
    }
    RemoveFirst(mRunning, effect);
}

void GVEffects::ForgetRunning() {
    mPreDraw.clear();
    mPostDraw.clear();
    mFrameChanged.clear();
    mApply.clear();
    mRunning.clear();
}

void GVEffects::TakeRunning(GVEffects& other) {
    mPreDraw = std::move(other.mPreDraw);
    mPostDraw = std::move(other.mPostDraw);
    mFrameChanged = std::move(other.mFrameChanged);
    mApply = std::move(other.mApply);
    mRunning = std::move(other.mRunning);
    other.ForgetRunning();
}

bool GVEffects::PreDraw(const TDrawSpec& params) {
    for (GVEffect* effect : mPreDraw) {
        if (!effect->PreDraw(params)) {
            return false;
        }
    }
    return true;
}

void GVEffects::PostDraw(const TDrawSpec& params) {
    for (GVEffect* effect : mPostDraw) {
        effect->PostDraw(params);
    }
}

void GVEffects::OnFrameChanged(int previous) {
    for (GVEffect* effect : mFrameChanged) {
        effect->OnFrameChanged(previous);
    }
}

void GVEffects::Apply(GVData& data) {
    for (GVEffect* effect : mApply) {
        effect->Apply(data);
    }
}
