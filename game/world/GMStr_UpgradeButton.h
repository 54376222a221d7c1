// The upgrade screen's strategy of an object: hovering shows the offered upgrade ("showupgrade" on
// the "main_view" child) and its hint, and a press opens the buy dialog for it. Owned by its game
// object. Main thread only.
#pragma once

#include "engine/core/str.h"
#include "game/world/GMStr_Button.h"

class GMStr_UpgradeButton : public GMStr_Button {
public:
    GMStr_UpgradeButton() = default;
    // The hint it shows goes with it.
    ~GMStr_UpgradeButton() override;
    GMStr_UpgradeButton(const GMStr_UpgradeButton&) = delete;
    GMStr_UpgradeButton& operator=(const GMStr_UpgradeButton&) = delete;

    // Posting a call hides the hint too.
    void SetPendingAction(G_Invoker* invoker) override;
    void OnHoverBegin() override;
    void OnHoverEnd() override;

protected:
    void OnPressed() override;
    // What "main_view" shows while not hovered: "showrecomended" for a recommended upgrade, else
    // "upgrade_" and the offered upgrade level, as the object shows its level.
    virtual str RestingView() const;
    // The main view child of the target's visual; null without one.
    void SetMainView(const str& state) const;

private:
    void HideHint();

    bool mHintShown = false;
    bool mShowingUpgrade = false;
};
