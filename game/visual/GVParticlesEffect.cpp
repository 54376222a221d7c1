#include "game/visual/GVParticlesEffect.h"

#include "engine/system/platform.h"
#include "engine/ui/window.h"
#include "engine/ui/windowmanager.h"
#include "game/visual/GParticleSystemPool.h"
#include "game/visual/GVData.h"
#include "game/visual/GVLayer.h"
#include "game/visual/GVObject.h"
#include "game/visual/GVXmlValues.h"

namespace {

// The top modal window's clock, or the platform time when there is no window manager.
uint32_t UpdateClockTime() {
    TWindowManager* manager = GetWindowManager();
    TModalWindow* top = manager != nullptr ? manager->GetTopModal() : nullptr;
    if (top != nullptr) {
        return static_cast<uint32_t>(top->GetClock().GetTime());
    }
    return TPlatform::GetTime();
}

} // namespace

GVParticlesEffect::~GVParticlesEffect() {
    if (mTimer != nullptr) {
        mTimer->Detach();
    }
}

GVClassId GVParticlesEffect::ClassIdentity() {
    static const char identity = 0;
    return &identity;
}

bool GVParticlesEffect::Load(TXmlNode* element, GVBase* /*owner*/) {
    if (element == nullptr) {
        return false;
    }
    mScriptId = gvxml::Text(element, "id");
    mPost = gvxml::ReadBool(element, "isPreParticle", false);
    mOffset.x = gvxml::ReadFloat(element, "deltaX", 0.0f);
    mOffset.y = gvxml::ReadFloat(element, "deltaY", 0.0f);
    return true;
}

GVBase* GVParticlesEffect::CopyTo(GVBase* target) {
    auto* effect = dynamic_cast<GVParticlesEffect*>(target);
    if (effect == nullptr || GVEffect::CopyTo(target) == nullptr) {
        return nullptr;
    }
    effect->mScriptId = mScriptId;
    effect->mPost = mPost;
    effect->mOffset = mOffset;
    return target;
}

bool GVParticlesEffect::Start() {
    // A copy applies its source's state before it is attached: with nowhere to run it must not
    // hold one of the pool's systems, let alone take one over.
    if (mOwner == nullptr || mOwner->GetLayers().empty()) {
        return false;
    }
    if (mTimer == nullptr && mOwner->GetLayers().front()->CreateParticleTimer(this) != nullptr) {
        // A new timer's first update has no last one to measure from.
        mUpdated = false;
    }
    if (GParticleSystem* held = GetSystem()) {
        mStarting = true;
        held->Release();
        mStarting = false;
    }
    GetParticleSystemPool().Acquire(mScriptId, this);
    return GetSystem() != nullptr;
}

bool GVParticlesEffect::Stop() {
    if (GParticleSystem* held = GetSystem()) {
        held->Stop();
        held->GetParticles().Update(kStopAdvanceMs);
    }
    return true;
}

bool GVParticlesEffect::PreDraw(const TDrawSpec& /*params*/) {
    if (!mPost && GetSystem() != nullptr) {
        GetSystem()->Draw();
    }
    return true;
}

void GVParticlesEffect::PostDraw(const TDrawSpec& /*params*/) {
    if (mPost && GetSystem() != nullptr) {
        GetSystem()->Draw();
    }
}

void GVParticlesEffect::Apply(GVData& data) {
    if (GParticleSystem* held = GetSystem()) {
        held->SetPosition(TVec2(data.mDeltaX + mOffset.x, data.mDeltaY + mOffset.y));
    }
}

void GVParticlesEffect::OnScriptEnd() {
    if (GParticleSystem* held = GetSystem()) {
        held->Release();
    }
}

void GVParticlesEffect::OnReleased() {
    if (!mStarting && mTimer != nullptr) {
        mTimer->Detach();
    }
}

void GVParticlesEffect::Update() {
    // Each dialog that comes on top brings a clock of its own: a step measured across the change
    // may be huge or negative, and neither may run the particles backwards or far ahead.
    const uint32_t now = UpdateClockTime();
    const int step =
        mUpdated ? GParticleSystem::StepFor(static_cast<int32_t>(now - mLastUpdate)) : 0;
    mLastUpdate = now;
    mUpdated = true;
    if (GParticleSystem* held = GetSystem()) {
        held->GetParticles().Update(step);
    }
}
