#include "game/world/GMStr_UpgradeButton.h"

#include "game/visual/GVObject.h"
#include "game/world/GGameObject.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GLogicalManagerHooks.h"
#include "game/world/G_VoidLink.h"

GMStr_UpgradeButton::~GMStr_UpgradeButton() {
    HideHint();
}

void GMStr_UpgradeButton::SetPendingAction(G_Invoker* invoker) {
    GMStr_Button::SetPendingAction(invoker);
    HideHint();
}

void GMStr_UpgradeButton::OnHoverBegin() {
    GMStr_Button::OnHoverBegin();
    SetMainView("showupgrade");
    mShowingUpgrade = true;
    if (auto* object = dynamic_cast<GGameObject*>(mTarget)) {
        const str name = GLogicalManager::UpgradeName(*object);
        GLogicalManager::Instance().GetHooks().ShowHint(
            name + str("_name"), name + str("_descript"), object->GetUpgradePrice(),
            object->GetRecommendedLevel() > 0);
        mHintShown = true;
    }
}

void GMStr_UpgradeButton::OnHoverEnd() {
    GMStr_Button::OnHoverEnd();
    HideHint();
    if (mShowingUpgrade) {
        mShowingUpgrade = false;
        SetMainView(RestingView());
    }
}

void GMStr_UpgradeButton::OnPressed() {
    // Only one button is hovered, so one dialog opens.
    GLogicalManager::Instance().RunBuyDialog(mTarget);
}

str GMStr_UpgradeButton::RestingView() const {
    if (mTarget == nullptr) {
        return "normal";
    }
    const GUpgradeData& data = mTarget->GetUpgradeData();
    return data.mRecommended ? str("showrecomended")
                             : str::FromFormat("upgrade_%d", data.mUpgradeLevel);
}

void GMStr_UpgradeButton::SetMainView(const str& state) const {
    GVObject* visual = mTarget != nullptr ? mTarget->GetVisual() : nullptr;
    GVObject* view = visual != nullptr ? visual->GetChild("main_view") : nullptr;
    if (view != nullptr) {
        view->SetState(GStateKey::FromString(state), true);
    }
}

void GMStr_UpgradeButton::HideHint() {
    if (mHintShown) {
        mHintShown = false;
        GLogicalManager::Instance().GetHooks().HideHint();
    }
}
