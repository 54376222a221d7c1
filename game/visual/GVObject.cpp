#include "game/visual/GVObject.h"

#include "engine/media/drawdesc.h"
#include "game/visual/GVChilds.h"
#include "game/visual/GVFrame.h"
#include "game/visual/GVLayer.h"

#include <algorithm>

GVObject::GVObject() : GVData(kObject) {}

GVObject::~GVObject() {
    const std::vector<GVLayer*> layers = mLayers;
    for (GVLayer* layer : layers) {
        RemoveFromLayer(layer, false);
    }
    mDrawSpec.reset();
    if (mChilds != nullptr && !mChilds->IsOwning()) {
        // Children it does not own outlive it: they must not keep a parent that is gone.
        for (GVObject* child : Children()) {
            if (child->mParent == this) {
                child->mParent = nullptr;
            }
        }
    }
    mChilds.reset();
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
    object->mFrames = mFrames;
    object->mTextures = mTextures;
    object->mHitTester = mHitTester;
    return target;
}

void GVObject::DrawFrame(const TDrawSpec& /*params*/, const GVFrame* /*frame*/) {
    // Texture lists come with the states; until then no object has a frame to draw.
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

bool GVObject::AttachTo(GVLayer* layer, GVObject* parent, bool /*setNormal*/) {
    AddToLayer(layer, false);
    mParent = parent;
    RecomputeInherited();
    // Without states there is no "normal" to apply: the object is brought up to date as it is.
    if (mFrameTimer == nullptr) {
        EnsureTimer();
    }
    Update();
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
    return IsChanged() || mLocal.IsChanged() || mWorld.IsChanged() ||
           (mParent != nullptr && mParent->IsChanged());
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

    mWorld.Assign(*this);
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
    if (mWorld.mVisible == 0) {
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
    DrawFrame(params, frame);
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
    // Only an object with states animates; states come with their lists.
    if (mLayers.empty() || mStateIndex < 0) {
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
    mFramePosition = position;
    return previous;
}

GVFrame* GVObject::GetCurrentFrame() const {
    // Frames are shown through states; an object without a current state has none.
    return nullptr;
}

void GVObject::SetChilds(GVChilds* childs) {
    mChilds.reset(childs);
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
