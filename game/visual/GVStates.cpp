#include "game/visual/GVStates.h"

#include "game/visual/GVObject.h"
#include "game/world/GStateNameTable.h"

GStateKey GVStates::NormalKey() {
    static const GStateKey key = GStateNameTable::Instance().Encode("normal", false);
    return key;
}

GStateKey GVStates::AnyKey() {
    static const GStateKey key = GStateNameTable::Instance().Encode("any", false);
    return key;
}

GVBase* GVStates::GetOwner() {
    return mOwner;
}

const GVBase* GVStates::GetOwnerConst() const {
    return mOwner;
}

GVBase* GVStates::CopyTo(GVBase* target) {
    auto* states = dynamic_cast<GVStates*>(target);
    if (states == nullptr || GVConteiner::CopyTo(target) == nullptr) {
        return nullptr;
    }
    states->mFrameCount = mFrameCount;
    return target;
}

GVState* GVStates::CloneItem(GVState* item) {
    auto* state = new GVState;
    item->CopyTo(state);
    return state;
}

bool GVStates::AppendState(GVState* state) {
    if (state == nullptr) {
        return false;
    }
    if (state->mKey.IsEmpty()) {
        delete state;
        return false;
    }
    Append(state, state->mKey);
    return true;
}

void GVStates::AddNormal(int frameCount) {
    if (IndexOf(NormalKey()) >= 0) {
        return;
    }
    auto* normal = new GVState;
    normal->mKey = NormalKey();
    for (int i = 0; i < frameCount; ++i) {
        normal->mFrames.push_back(i);
    }
    normal->ClearChanged();
    AppendState(normal);
}
