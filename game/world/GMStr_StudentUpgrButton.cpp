#include "game/world/GMStr_StudentUpgrButton.h"

#include "game/world/GUpgradeData.h"
#include "game/world/G_VoidLink.h"

str GMStr_StudentUpgrButton::RestingView() const {
    const bool recommended = mTarget != nullptr && mTarget->GetUpgradeData().mRecommended;
    return recommended ? "showrecomended" : "normal";
}
