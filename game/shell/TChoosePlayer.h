// The choose-player window of the window type "ChoosePlayerWindow": hands the players' names to
// its screen's Lua function UpdatePlayerChoices, which lays out up to ten player buttons
// ("button0" to "button9"), and tells the script which of them is toggled on. Its three Lua
// functions are bound to the last one built and taken back when it goes. Owned by its parent
// window. Main thread only.
#pragma once

#include "engine/core/str.h"
#include "engine/ui/window.h"

struct lua_State;

class TChoosePlayer : public TWindow {
public:
    static constexpr int kButtons = 10;

    // Publishes "SetPlayerChoices", "GetCurrentSelectedUser" and "GetSelectedPlayerName".
    TChoosePlayer();
    const char* GetClassName() const override { return "TChoosePlayer"; }
    bool IsKindOf(TWindowClassId id) const override;
    // Takes back the Lua functions still bound to this window.
    ~TChoosePlayer() override;
    // After the window's own behaviour, hands the names to the script.
    void PostCreate(TWindowStyle& style) override;

    // The factory function of the type name "ChoosePlayerWindow".
    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    // The Lua functions of the same names. The names (the first ten) go in as Lua literals, with
    // the selected player (-1 for none) and the number of players.
    void SetPlayerChoices();
    // The first of "button0" to "button9" that is a button toggled on; 0 when none is.
    int GetCurrentSelectedUser();
    // That player's name; "" when there is no such player.
    str GetSelectedPlayerName();

    // The Lua text SetPlayerChoices runs.
    static str PlayerChoicesCall(int current, int count, const str& list);

private:
    // The state the functions were published in; null without a window script.
    lua_State* mPublished = nullptr;
};
