#include "game/visual/GVStates.h"

#include "engine/core/xml.h"
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

bool GVStates::Load(TXmlNode* element, GVBase* /*owner*/) {
    if (element == nullptr) {
        return false;
    }
    int kept = 0;
    str name;
    TXmlNode* child = nullptr;
    element->ResetChildren();
    while (element->NextChild(name, child)) {
        if (!(name == GetItemName()) || child == nullptr) {
            continue;
        }
        auto* state = new GVState;
        if (!state->Load(child, this)) {
            delete state;
            continue;
        }
        if (AppendState(state)) {
            ++kept;
        }
    }
    return kept > 0;
}

bool GVStates::Save(TXmlNode* element) {
    if (element == nullptr) {
        return false;
    }
    for (int i = 0; i < Count(); ++i) {
        At(i)->SaveWithFrameCount(element->AddChild("state"), mFrameCount);
    }
    return true;
}
