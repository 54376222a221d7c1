// The upgrade screen's strategy of a girl's offer: an upgrade button whose main view rests on
// "normal", the girl having no level views. Owned by its game object. Main thread only.
#pragma once

#include "game/world/GMStr_UpgradeButton.h"

class GMStr_StudentUpgrButton : public GMStr_UpgradeButton {
protected:
    // "showrecomended" for a recommended offer, else "normal".
    str RestingView() const override;
};
