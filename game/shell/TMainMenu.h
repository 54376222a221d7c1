// The main menu of the window type "MainMenu": its script builds the buttons and texts; the window
// adds the welcome line with the current player's name, hides what needs a player while there is
// none and then opens the new-player dialog once, and hides "moregames" without the cross-sell
// file. Publishes "SetWelcomeName" while it lives. Owned by its parent window. Main thread only.
#pragma once

#include "engine/ui/window.h"

struct lua_State;

class TMainMenu : public TWindow {
public:
    // The cross-sell file whose absence hides "moregames".
    static constexpr char kCrossSellFile[] = "xsell/xsell.xml";

    // Publishes "SetWelcomeName".
    TMainMenu();
    const char* GetClassName() const override { return "TMainMenu"; }
    bool IsKindOf(TWindowClassId id) const override;
    // Takes "SetWelcomeName" back while it is still this window's.
    ~TMainMenu() override;
    // The welcome line, the window's behaviour, the new-player dialog 30 ms later when there is
    // no player, and "moregames" hidden without the cross-sell file.
    void PostCreate(TWindowStyle& style) override;
    // Opens the new-player dialog when there is still no player; ends the animation.
    bool OnAnimate() override;

    // The factory function of the type name "MainMenu".
    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    // The Lua function of the same name: "welcome" reads the string "welcome" with the current
    // player's name; without players "welcome" and "changeplayer" are hidden.
    void SetWelcomeName();

private:
    // The state the function was published in; null without a window script.
    lua_State* mPublished = nullptr;
};
