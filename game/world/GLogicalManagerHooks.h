// What the logical manager asks of the game's windows, which the shell owns: each body here is the
// behaviour while that window is missing. The shell registers its implementation with the manager
// and keeps it alive while registered. Main thread.
#pragma once

#include "engine/core/str.h"

class GFlyEmitter;

class GLogicalManagerHooks {
public:
    virtual ~GLogicalManagerHooks() = default;

    // The game window's fly emitter for the particle script; null when there is none.
    virtual GFlyEmitter* FindFlyEmitter(const str& /*script*/) { return nullptr; }
    // The hint panel with the texts of the two string-table labels, and hiding it.
    virtual void ShowHint(const str& /*nameLabel*/, const str& /*descriptionLabel*/) {}
    virtual void HideHint() {}
    // The game window's display of the player's money.
    virtual void SetMoney(int /*money*/) {}
};
