#include "game/visual/GVObject.h"

#include "engine/media/drawdesc.h"
#include "engine/script/lua/luanumber.h"
#include "game/visual/GVChilds.h"
#include "game/visual/GVEffects.h"
#include "game/visual/GVFrames.h"
#include "game/visual/GVHitTester.h"
#include "game/visual/GVLayer.h"
#include "game/visual/GVStates.h"
#include "game/visual/GVTextures.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

// The inverse of a 2-D affine transform (row vectors, translation in row 2); false when it maps
// everything onto a line or a point.
bool Invert(const TMat3& m, TMat3& inverse) {
    const float det = m.m[0][0] * m.m[1][1] - m.m[0][1] * m.m[1][0];
    if (det == 0.0f || !std::isfinite(det)) {
        return false;
    }
    const float a = m.m[1][1] / det;
    const float b = -m.m[0][1] / det;
    const float c = -m.m[1][0] / det;
    const float d = m.m[0][0] / det;
    const float tx = m.m[2][0];
    const float ty = m.m[2][1];
    inverse = TMat3(a, b, 0.0f, c, d, 0.0f, -(tx * a + ty * c), -(tx * b + ty * d), 1.0f);
    return true;
}

} // namespace

GVObject::GVObject() : GVData(kObject) {}

GVObject::~GVObject() {
    const std::vector<GVLayer*> layers = mLayers;
    for (GVLayer* layer : layers) {
        RemoveFromLayer(layer, false);
    }
    mDrawSpec.reset();
    // The running effects belong to the states, which go first.
    if (mEffects != nullptr) {
        mEffects->ForgetRunning();
    }
    mStates.reset();
    if (mChilds != nullptr && !mChilds->IsOwning()) {
        // Children it does not own outlive it: they must not keep a parent that is gone.
        for (GVObject* child : Children()) {
            if (child->mParent == this) {
                child->mParent = nullptr;
            }
        }
    }
    mChilds.reset();
    mEffects.reset();
    if (mFrameTimer != nullptr) {
        mFrameTimer->Detach();
    }
}

GVBase* GVObject::GetOwner() {
    return mParent;
}

const GVBase* GVObject::GetOwnerConst() const {
    return mParent;
}

GVBase* GVObject::CopyTo(GVBase* target) {
    auto* object = dynamic_cast<GVObject*>(target);
    if (object == nullptr || GVData::CopyTo(target) == nullptr) {
        return nullptr;
    }
    object->mLocal.Assign(mLocal);
    object->mLink = mLink;
    object->mId = mId;
    object->mPathKey = mPathKey;
    object->mFrames = mFrames;
    object->mTextures = mTextures;
    object->mHitTester = mHitTester;
    if (mStates != nullptr) {
        auto states = std::make_unique<GVStates>(object);
        if (mStates->CopyTo(states.get()) != nullptr) {
            object->SetStates(states.release());
        }
    }
    if (mChilds != nullptr) {
        auto childs = std::make_unique<GVChilds>(object);
        if (mChilds->CopyTo(childs.get()) != nullptr) {
            object->SetChilds(childs.release());
        }
    }
    if (mEffects != nullptr) {
        auto effects = std::make_unique<GVEffects>(object);
        if (mEffects->CopyTo(effects.get()) != nullptr) {
            object->SetEffects(effects.release());
        }
    }
    // The target alone: until it is attached its children list holds the prototype's children,
    // which must keep their states. Its own children get theirs when they are copied.
    const GStateKey key = GetStateKey();
    if (!key.IsEmpty()) {
        object->ApplyState(key, true);
    }
    return target;
}

void GVObject::DrawFrame(const TDrawSpec& params, const GVFrame* frame) {
    // A frame whose texture index names no loaded texture shows nothing.
    TTexture* texture =
        mTextures != nullptr && frame != nullptr ? mTextures->TextureAt(frame->mTexture) : nullptr;
    if (texture != nullptr) {
        texture->Draw(params);
    }
}

void GVObject::BuildDrawSpec(const GVFrame* frame) {
    if (frame == nullptr) {
        frame = GetCurrentFrame();
        if (frame == nullptr) {
            return;
        }
    }
    if (mDrawSpec == nullptr) {
        mDrawSpec = std::make_unique<TDrawSpec>(TVec2(0.0f, 0.0f), 1.0f, 1.0f, 0);
    }
    TDrawSpec& params = *mDrawSpec;
    params.mAlpha = mWorld.mAlpha;
    params.mBlendMode = mWorld.mBlend;
    params.mSrcRect = frame->mRect;
    const TPoint registration = frame->GetRegistration(mWorld.mFlip);

    params.mTransform = TMat3();
    params.mTransform.m[2][0] += mWorld.mDeltaX;
    params.mTransform.m[2][1] += mWorld.mDeltaY;
    params.mTransform.Scale(mWorld.mScaling);
    params.mOrigin = TVec2(static_cast<float>(registration.x), static_cast<float>(registration.y));
    if (mWorld.mRotate != 0.0f) {
        params.mTransform.Rotate(mWorld.mRotate);
    }
    params.mFlags = TDrawSpec::kUseSrcRect | TDrawSpec::kUseOrigin;
    if ((mWorld.mFlip & kFlipV) != 0) {
        params.mFlags |= TDrawSpec::kFlipY;
    }
    if ((mWorld.mFlip & kFlipH) != 0) {
        params.mFlags |= TDrawSpec::kFlipX;
    }
}

bool GVObject::AttachTo(GVLayer* layer, GVObject* parent, bool setNormal) {
    // Until they are replaced by copies, the children are the cached prototypes': the update
    // below must not reach them.
    std::unique_ptr<GVChilds> prototypes;
    if (mChilds != nullptr && !mChilds->IsOwning()) {
        prototypes = std::move(mChilds);
    }
    AddToLayer(layer, false);
    mParent = parent;
    RecomputeInherited();
    if (mEffects != nullptr) {
        mEffects->SetOwnerAll(this);
    }
    if (mStates != nullptr) {
        mStates->SetOwner(this);
        for (int i = 0; i < mStates->Count(); ++i) {
            if (GVCustomEffects* effects = mStates->At(i)->GetEffects()) {
                effects->SetOwnerAll(this);
            }
        }
    }
    if (mStates != nullptr && setNormal) {
        ApplyState(GVStates::NormalKey(), true);
    } else {
        if (mFrameTimer == nullptr) {
            EnsureTimer();
        }
        Update();
    }
    if (prototypes != nullptr) {
        mChilds = std::move(prototypes);
    }
    if (mChilds != nullptr) {
        mChilds->AttachAll(layer, this, setNormal);
    }
    return true;
}

void GVObject::AddToLayer(GVLayer* layer, bool recursive) {
    if (layer == nullptr) {
        return;
    }
    if (recursive) {
        for (GVObject* child : Children()) {
            child->AddToLayer(layer, true);
        }
    }
    if (std::find(mLayers.begin(), mLayers.end(), layer) != mLayers.end()) {
        return;
    }
    mLayers.push_back(layer);
    layer->Insert(this);
}

void GVObject::RemoveFromLayer(GVLayer* layer, bool recursive) {
    if (recursive) {
        for (GVObject* child : Children()) {
            child->RemoveFromLayer(layer, true);
        }
    }
    if (layer == nullptr) {
        return;
    }
    auto found = std::find(mLayers.begin(), mLayers.end(), layer);
    if (found != mLayers.end()) {
        mLayers.erase(found);
    }
    layer->Remove(this);
}

bool GVObject::IsDirty() const {
    const GVState* state = GetCurrentState();
    return IsChanged() || mLocal.IsChanged() || mWorld.IsChanged() ||
           (state != nullptr && state->IsChanged()) || (mParent != nullptr && mParent->IsChanged());
}

void GVObject::Update() {
    GVObject* top = this;
    while (top->mParent != nullptr && top->mParent->IsDirty()) {
        top = top->mParent;
    }
    top->UpdateTree();
}

void GVObject::UpdateTree() {
    const float oldDepth = mWorld.mDeltaZ;
    const int childCount = mChilds != nullptr ? mChilds->Count() : 0;

    if (IsChanged()) {
        GVData change;
        Difference(mLastBase, change);
        for (int i = 0; i < childCount; ++i) {
            GVObject* child = mChilds->At(i);
            if (child->mLink != kLinkNone) {
                child->Combine(change);
            }
        }
        mLastBase.Assign(*this);
    }

    GVState* state = GetCurrentState();
    if (state != nullptr && state->IsChanged()) {
        for (int i = 0; i < childCount; ++i) {
            GVObject* child = mChilds->At(i);
            if (child->mLink >= kLinkWorld) {
                child->MarkChanged();
            }
        }
        state->ClearChanged();
    }

    mWorld.Assign(*this);
    if (state != nullptr) {
        mWorld.Combine(*state);
    }
    if (mLocal.IsChanged() || mInherited.IsChanged()) {
        RecomputeInherited();
    }
    if (mLink == kLinkWorld && mParent != nullptr) {
        mWorld.Combine(mLocal);
        mWorld.Combine(mParent->mWorld);
    } else {
        mWorld.Combine(mInherited);
    }

    // The depth order is keyed by world depth: each list must find the object under the old one.
    const float newDepth = mWorld.mDeltaZ;
    if (newDepth != oldDepth) {
        for (GVLayer* layer : mLayers) {
            mWorld.mDeltaZ = oldDepth;
            layer->RemoveFromOrder(this);
            mWorld.mDeltaZ = newDepth;
            layer->AddToOrder(this);
        }
    }

    if (mEffects != nullptr) {
        mEffects->Apply(mWorld);
    }
    mWorld.ClearChanged();
    ClearChanged();
    // Every dirty child, not only those whose base or world changed: one whose local data alone
    // changed would otherwise stay stale when its own update climbed to this object.
    for (int i = 0; i < childCount; ++i) {
        GVObject* child = mChilds->At(i);
        if (child->IsDirty()) {
            child->Update();
        }
    }
    BuildDrawSpec(nullptr);
}

void GVObject::RecomputeInherited() {
    mInherited.Assign(mLocal);
    if (mParent != nullptr && mLink >= kLinkInherited) {
        mInherited.Combine(mParent->mInherited);
    }
    mInherited.ClearChanged();
    mLocal.ClearChanged();
    const int childCount = mChilds != nullptr ? mChilds->Count() : 0;
    for (int i = 0; i < childCount; ++i) {
        GVObject* child = mChilds->At(i);
        if (child->mLink >= kLinkInherited) {
            child->MarkChanged();
            child->mInherited.MarkChanged();
        }
    }
}

void GVObject::Draw(const GVRect& area) {
    if (mStates == nullptr || mWorld.mVisible == 0) {
        return;
    }
    const GVFrame* frame = GetCurrentFrame();
    if (frame == nullptr) {
        return;
    }
    if (mDrawSpec == nullptr) {
        BuildDrawSpec(nullptr);
    }
    TDrawSpec params = *mDrawSpec;
    const GVRect bounds = GetBounds(frame);
    const bool outside =
        bounds.x1 < area.x0 || bounds.x0 > area.x1 || bounds.y1 < area.y0 || bounds.y0 > area.y1;
    if (outside && mWorld.mRotate == 0.0f) {
        return;
    }
    params.mTransform.m[2][0] -= area.x0;
    params.mTransform.m[2][1] -= area.y0;
    if (mEffects != nullptr && !mEffects->PreDraw(params)) {
        return;
    }
    DrawFrame(params, frame);
    if (mEffects != nullptr) {
        mEffects->PostDraw(params);
    }
}

GVRect GVObject::GetBounds(const GVFrame* frame) {
    if (frame == nullptr) {
        frame = GetCurrentFrame();
    }
    GVRect bounds;
    if (frame != nullptr) {
        if (mDrawSpec == nullptr) {
            BuildDrawSpec(frame);
        }
        // The quad has its registration point on the translation (corner 0 is minus the origin).
        const TPoint registration = frame->GetRegistration(mWorld.mFlip);
        const float scaling = mWorld.mScaling;
        bounds.x0 = mDrawSpec->mTransform.m[2][0] - static_cast<float>(registration.x) * scaling;
        bounds.y0 = mDrawSpec->mTransform.m[2][1] - static_cast<float>(registration.y) * scaling;
        bounds.x1 =
            bounds.x0 + static_cast<float>(frame->mRect.right - frame->mRect.left) * scaling;
        bounds.y1 =
            bounds.y0 + static_cast<float>(frame->mRect.bottom - frame->mRect.top) * scaling;
    }
    const bool empty =
        bounds.x0 == 0.0f && bounds.y0 == 0.0f && bounds.x1 == 0.0f && bounds.y1 == 0.0f;
    if (empty && mChilds != nullptr && mChilds->Count() > 0) {
        return mChilds->At(0)->GetBounds(nullptr);
    }
    return bounds;
}

GVObject* GVObject::GetChild(const str& id) const {
    return mChilds != nullptr ? mChilds->Find(id) : nullptr;
}

bool GVObject::EnsureTimer() {
    if (mFrameTimer != nullptr) {
        return true;
    }
    if (mLayers.empty() || mStates == nullptr || mStates->Count() == 0) {
        return false;
    }
    const GVState* state = GetCurrentState();
    const bool animates = !mStates->mPendingKey.IsEmpty() ||
                          (state != nullptr && state->GetFrameCount() > 1) ||
                          (mEffects != nullptr && mEffects->RunningCount() > 0);
    if (!animates) {
        return false;
    }
    mLayers.front()->CreateTimer(this);
    return mFrameTimer != nullptr;
}

void GVObject::SetTimerPeriod(int ms) {
    if (mFrameTimer != nullptr || EnsureTimer()) {
        mFrameTimer->Start(ms, true, true, false);
    }
}

void GVObject::OnFrameTimer() {
    SetFrame(mFramePosition + 1);
}

int GVObject::SetFrame(int position) {
    const int previous = mFramePosition;
    const GVState* state = GetCurrentState();
    if (state == nullptr) {
        mFramePosition = position;
        return previous;
    }
    if (state->GetFrameCount() == 0) {
        // Nothing to show and no end to reach: only entering it hands over to a queued state,
        // and the timer's steps change nothing.
        mFramePosition = 0;
        if (position == 0) {
            OnStateEnd();
        }
        return previous;
    }
    mFramePosition = position;
    if (state->FrameAt(position) == -1) {
        OnStateEnd();
        return previous;
    }
    if (mEffects != nullptr) {
        mEffects->OnFrameChanged(previous);
    }
    BuildDrawSpec(nullptr);
    return previous;
}

GVFrame* GVObject::GetCurrentFrame() const {
    const GVState* state = GetCurrentState();
    if (state == nullptr || mFrames == nullptr) {
        return nullptr;
    }
    // A number past the last frame shows nothing.
    const int number = state->FrameAt(mFramePosition);
    GVFrame* frame = number >= 0 ? mFrames->At(number) : nullptr;
    // The slot of a frame left out of the file shows nothing.
    return frame != nullptr && !frame->mEmpty ? frame : nullptr;
}

GVState* GVObject::GetCurrentState() const {
    return mStates != nullptr ? mStates->At(mStateIndex) : nullptr;
}

GStateKey GVObject::GetStateKey() const {
    const GVState* state = GetCurrentState();
    return state != nullptr ? state->mKey : GStateKey();
}

int GVObject::StatePeriod() const {
    const GVState* state = GetCurrentState();
    if (state == nullptr) {
        return 0;
    }
    // NaN or out of range (a speed from a script) reads as no delay rather than a wrapped one.
    const int period = LuaNumberToInt(static_cast<double>(mSpeed) * state->mDelay);
    return std::max(period, 0);
}

int GVObject::SetState(GStateKey key, bool apply) {
    int longest = ApplyState(key, apply);
    for (GVObject* child : Children()) {
        longest = std::max(longest, child->SetState(key, apply));
    }
    return longest;
}

int GVObject::ApplyState(GStateKey key, bool apply) {
    if (mStates == nullptr) {
        return 0;
    }
    const int index = mStates->IndexOf(key);
    if (index < 0) {
        if (key != GVStates::AnyKey()) {
            ApplyState(GVStates::AnyKey(), apply);
        }
        return 0;
    }
    GVState* state = mStates->At(index);
    if (apply) {
        GVState* current = GetCurrentState();
        if (current != nullptr && mEffects != nullptr) {
            mEffects->StopStateEffects(current->GetEffects());
        }
        mStateIndex = index;
        if (state->GetEffects() != nullptr && state->GetEffects()->Count() > 0) {
            if (mEffects == nullptr) {
                mEffects = std::make_unique<GVEffects>(this);
            }
            mEffects->StartStateEffects(state->GetEffects());
        }
        mStates->mPendingKey = state->mNextKey;
        SetTimerPeriod(StatePeriod());
        SetFrame(0);
        mWorld.MarkChanged();
    } else {
        mStates->mPendingKey = key;
        if (mFrameTimer == nullptr && EnsureTimer()) {
            // A still state made no timer: it has to run one period to hand over.
            SetTimerPeriod(StatePeriod());
        }
        const GVState* current = GetCurrentState();
        if (current != nullptr && current->GetFrameCount() == 0) {
            // A state with nothing to show has no end to wait for.
            OnStateEnd();
        }
    }
    return state->GetDuration();
}

void GVObject::OnStateEnd() {
    // States whose lists are empty end as soon as they start: a chain of them that is longer
    // than the list has come round again and stops where it is.
    if (mStates == nullptr || mEndingDepth > mStates->Count()) {
        return;
    }
    ++mEndingDepth;
    const GStateKey next = mStates->mPendingKey;
    if (!next.IsEmpty() &&
        (mStates->IndexOf(next) >= 0 || mStates->IndexOf(GVStates::AnyKey()) >= 0)) {
        ApplyState(next, true);
    } else {
        // A queued key that names no state is dropped, and the state plays on.
        mStates->mPendingKey = GStateKey();
        const GVState* state = GetCurrentState();
        if (state != nullptr && state->GetFrameCount() > 0) {
            SetFrame(0);
        }
    }
    --mEndingDepth;
}

void GVObject::SetAnimSpeed(float factor, bool recursive) {
    mSpeed = factor;
    if (GetCurrentState() != nullptr) {
        SetTimerPeriod(StatePeriod());
    }
    if (recursive) {
        for (GVObject* child : Children()) {
            child->SetAnimSpeed(factor, true);
        }
    }
}

TVec2 GVObject::ToLocal(const TVec2& point) {
    if (mDrawSpec == nullptr) {
        BuildDrawSpec(nullptr);
        if (mDrawSpec == nullptr) {
            return point;
        }
    }
    TMat3 inverse;
    if (!Invert(mDrawSpec->mTransform, inverse)) {
        // A transform scaled to nothing shows no pixel: no point maps into the frame.
        const float none = std::numeric_limits<float>::quiet_NaN();
        return TVec2(none, none);
    }
    TVec2 local;
    TransformPoint(local, point, inverse);
    local += mDrawSpec->mOrigin;
    return local;
}

bool GVObject::HitTestPoint(const TVec2& point) {
    if (mWorld.mVisible == 0 || mHitTester == nullptr) {
        return false;
    }
    const GVFrame* frame = GetCurrentFrame();
    if (frame == nullptr) {
        return false;
    }
    // The frame's own pixels: the transform's scale and rotation are undone by ToLocal.
    const auto width = static_cast<float>(int64_t{frame->mRect.right} - frame->mRect.left);
    const auto height = static_cast<float>(int64_t{frame->mRect.bottom} - frame->mRect.top);
    TVec2 local = ToLocal(point);
    if (!(local.x >= 0.0f && local.x < width && local.y >= 0.0f && local.y < height)) {
        return false;
    }
    if ((mWorld.mFlip & kFlipH) != 0) {
        local.x = width - local.x;
    }
    if ((mWorld.mFlip & kFlipV) != 0) {
        local.y = height - local.y;
    }
    return mHitTester->HitTest(TPoint{LuaNumberToInt(local.x), LuaNumberToInt(local.y)}, frame);
}

GVObject* GVObject::FindObjectAt(float x, float y, int depth, const TVec2* offset) {
    if (offset != nullptr) {
        x += offset->x;
        y += offset->y;
    }
    if (HitTestPoint(TVec2(x, y))) {
        return this;
    }
    if (depth != 0) {
        for (GVObject* child : Children()) {
            if (GVObject* hit = child->FindObjectAt(x, y, depth - 1)) {
                return hit;
            }
        }
    }
    return nullptr;
}

void GVObject::SetChilds(GVChilds* childs) {
    mChilds.reset(childs);
}

void GVObject::SetStates(GVStates* states) {
    // The running effects belong to the states that go.
    if (mEffects != nullptr) {
        mEffects->ForgetRunning();
    }
    mStates.reset(states);
    mStateIndex = -1;
    mFramePosition = -1;
    if (mStates != nullptr) {
        mStates->SetOwner(this);
    }
}

void GVObject::SetEffects(GVEffects* effects) {
    // Running effects are the states': the new list takes them over.
    if (mEffects != nullptr && effects != nullptr) {
        effects->TakeRunning(*mEffects);
    }
    mEffects.reset(effects);
}

void GVObject::ForgetLayer(GVLayer* layer) {
    mLayers.erase(std::remove(mLayers.begin(), mLayers.end(), layer), mLayers.end());
}

std::vector<GVObject*> GVObject::Children() const {
    std::vector<GVObject*> children;
    if (mChilds != nullptr) {
        children.reserve(static_cast<size_t>(mChilds->Count()));
        for (int i = 0; i < mChilds->Count(); ++i) {
            children.push_back(mChilds->At(i));
        }
    }
    return children;
}
