#include "game/world/GPacifierContainer.h"

#include "game/visual/GVObject.h"
#include "game/world/GBaseSimpleTask.h"
#include "game/world/GGameData.h"
#include "game/world/GLevel.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GPacifierObject.h"
#include "game/world/GStateKey.h"

#include <algorithm>

namespace {

// The task that brings the taken items back.
const str kResetTask("reset");

} // namespace

GPacifierContainer::~GPacifierContainer() {
    // The level may delete the container before its items.
    for (GPacifierObject* item : mItems) {
        item->SetContainer(nullptr);
    }
}

GGameObject* GPacifierContainer::Clone() const {
    auto* copy = new GPacifierContainer;
    copy->CopyFrom(*this);
    return copy;
}

bool GPacifierContainer::InitInLevel(TLuaTable* objectTable, TLuaTable* typeExtension,
                                     const str& extraLua, GLevel* level) {
    mUpgradePhase = 1;
    PublishContainerFunctions();
    mSavedUpgradeLevel = GGameObject::GetUpgradeLevel();
    if (!GGameObject::InitInLevel(objectTable, typeExtension, extraLua, level)) {
        return false;
    }
    mLastPosition = GetPosition();
    return true;
}

void GPacifierContainer::OnTaskEnd(GBaseSimpleTask* task, int reason) {
    const bool reset = task != nullptr && task->GetName() == kResetTask;
    GGameObject::OnTaskEnd(task, reason);
    if (!reset) {
        return;
    }
    // A copy: showing an item may not change the list, but a script it runs might.
    const std::vector<GPacifierObject*> items = mItems;
    for (GPacifierObject* item : items) {
        item->Show(true);
        item->SetMouseEnabled(true);
    }
}

void GPacifierContainer::UpdateHolder() {
    const str command = GetUpgradeData().mStartCommand;
    if (command.Length() > 0) {
        GetScript().DoLuaString(command);
    }
    if (mSavedUpgradeLevel >= 0) {
        return;
    }
    GLogicalManager& manager = GLogicalManager::Instance();
    const GGameData* data = manager.GetGameData();
    GLevel* level = manager.GetLevel();
    const GUpgradeData* first = data != nullptr ? data->FindUpgrade(GetName(), 0) : nullptr;
    if (first == nullptr || level == nullptr || first->mLevel <= level->GetLevelNumber()) {
        return;
    }
    // Each removed item leaves the list as it goes: the walk is over a copy.
    const std::vector<GPacifierObject*> items = mItems;
    for (GPacifierObject* item : items) {
        level->RemoveObject(item, false);
    }
    CPP_WantDestroy();
}

void GPacifierContainer::Upgrade() {
    mUpgraded = 1;
    SetUpgradeLevel(mSavedUpgradeLevel);
    GGameObject::Upgrade();
    for (GPacifierObject* item : mItems) {
        if (!item->IsFixed()) {
            item->SetUpgradeLevel(item->GetUpgradeLevel() + 1);
        }
    }
    ResetUpgradeView();
    ApplyUpgradeToItems();
    SetVisualState(str("normal"));
}

void GPacifierContainer::LeaveUpgradeMode(int mode) {
    mUpgradePhase = 0;
    if (GetStrategy() != nullptr) {
        SetStrategy(nullptr);
        ResetUpgradeView();
    }
    ApplyUpgradeToItems();
    const std::vector<GPacifierObject*> items = mItems;
    for (GPacifierObject* item : items) {
        if (!item->IsFixed()) {
            item->LeaveUpgradeMode(mode);
        }
    }
    SetVisualState(str("normal"));
}

void GPacifierContainer::EnterUpgradeMode(int /*mode*/) {
    SetUpgradeLevel(0);
    OfferUpgrade();
}

void GPacifierContainer::SetEditMode(bool on, int level) {
    GGameObject::SetEditMode(on, level);
    SetEditStrategy(on);
    if (on) {
        mLastPosition = GetPosition();
    }
}

void GPacifierContainer::PlaceOccupant() {
    const TVec2 shift = GetPosition() + -mLastPosition;
    for (GPacifierObject* item : mItems) {
        const TVec2 place = item->GetPosition() + shift;
        item->SetPlace(place, item->GetDepthOffset() + place.y);
    }
    mLastPosition = GetPosition();
}

int GPacifierContainer::SetVisualState(const str& state) {
    const int duration = GGameObject::SetVisualState(state);
    RefreshForState(GStateKey::FromString(state));
    return duration;
}

void GPacifierContainer::SetVisualState(GStateKey key) {
    GGameObject::SetVisualState(key);
    RefreshForState(key);
}

void GPacifierContainer::RefreshForState(GStateKey key) {
    static const GStateKey kUpgrade2 = GStateKey::FromString("upgrade_2");
    RefreshItems(key == kUpgrade2 ? 1 : 0);
}

void GPacifierContainer::CheckAllTaken() {
    if (mItems.empty() ||
        std::any_of(mItems.begin(), mItems.end(),
                    [](const GPacifierObject* item) { return item->IsVisible(); })) {
        return;
    }
    SetTaskTime(kResetTask, mItems.front()->GetResetTime());
    AddTask(kResetTask, nullptr, true);
}

void GPacifierContainer::AddItem(GPacifierObject* item) {
    // Listed once: an item removes one entry when it goes.
    if (item == nullptr || std::find(mItems.begin(), mItems.end(), item) != mItems.end()) {
        return;
    }
    mItems.push_back(item);
    item->SetContainer(this);
}

void GPacifierContainer::RemoveItem(GPacifierObject* item) {
    const auto found = std::find(mItems.begin(), mItems.end(), item);
    if (found != mItems.end()) {
        mItems.erase(found);
    }
}

float GPacifierContainer::GetDepth() {
    const GVObject* visual = GetVisual();
    return visual != nullptr ? visual->mDeltaZ : GetPosition().y + GetDepthOffset();
}

int GPacifierContainer::SetItemState(GPacifierObject* item, int flag) {
    // By upgrade level from 0 to 2, flag and item set; level 2 with flag 1 keeps its look.
    static const char* const kStates[3][2][3] = {
        {{"upgrade_1", "upgrade_2", "upgrade_3"}, {"upgrade_2", "upgrade_3", "upgrade_3"}},
        {{"upgrade_2", "upgrade_2", "upgrade_2"}, {"upgrade_3", "upgrade_3", "upgrade_3"}},
        {{"upgrade_3", "upgrade_3", "upgrade_3"}, {nullptr, nullptr, nullptr}},
    };
    static const char* const kUnbought[3] = {"upgrade_0", "upgrade_2_0", "upgrade_3_0"};
    int level = item != nullptr ? item->GetUpgradeLevel() : -2;
    if (level < -1 || level > 2 || mSet < 0 || mSet > 2 || (flag != 0 && flag != 1)) {
        return 0;
    }
    if (level == -1) {
        if (flag == 0) {
            return item->CPP_SetAnimState(kUnbought[mSet]);
        }
        // Marked, an unbought item looks like a bought one.
        level = 0;
        flag = 0;
    }
    const char* state = kStates[level][flag][mSet];
    if (state == nullptr) {
        return 0;
    }
    const int duration = item->CPP_SetAnimState(state);
    // Shown once play runs, the first set's first level comes in with its effect.
    if (level == 0 && flag == 0 && mSet == 0 && mUpgradePhase == 0) {
        item->CPP_SetAnimState("show_fx");
    }
    return duration;
}

int GPacifierContainer::CPP_SetItem(int index, int kind, int value) {
    if (index < 1) {
        return 0;
    }
    const int count = static_cast<int>(mItems.size());
    if (index > count) {
        return count;
    }
    GPacifierObject* item = mItems[static_cast<size_t>(index - 1)];
    switch (kind) {
    case 0: {
        GLevel* level = GLogicalManager::Instance().GetLevel();
        return level != nullptr ? level->RemoveObject(item, false) : 0;
    }
    case 1:
        item->SetUpgradeLevel(value);
        item->SetFixed(true);
        return PinItem(item);
    case 2:
        item->SetUpgradeLevel(GetStrategy() == nullptr ? value + 1 : value);
        item->SetFixed(false);
        return PinItem(item);
    default:
        return kind - 2;
    }
}

int GPacifierContainer::PinItem(GPacifierObject* item) {
    if (GVObject* visual = item->GetVisual()) {
        visual->mDeltaZ = GetDepth() + 1.0f;
        visual->MarkChanged();
    }
    return SetItemState(item, 0);
}

int GPacifierContainer::RefreshItems(int flag) {
    for (GPacifierObject* item : mItems) {
        if (!item->IsFixed()) {
            SetItemState(item, flag);
        }
    }
    return static_cast<int>(mItems.size());
}

void GPacifierContainer::ApplyUpgradeToItems() {
    const GGameData* data = GLogicalManager::Instance().GetGameData();
    const GUpgradeData* record = GGameObject::GetUpgradeLevel() >= 0 && data != nullptr
                                     ? data->FindUpgradeByLevel(GetName(), mSavedUpgradeLevel)
                                     : nullptr;
    for (GPacifierObject* item : mItems) {
        if (!item->IsFixed()) {
            item->ApplyUpgrade(record);
        }
    }
    RefreshItems(0);
}
