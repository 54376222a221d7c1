// The cross-sell window: a panel advertising other games. Its children come from an ordinary
// dialog description; SetupXSell fills their texts and links from "xsell/xsell.xml" and
// LaunchGameLink opens a game's or the site's web page. The two Lua globals are bound to the
// window constructed last and withdrawn when it is destroyed. Created by the type name
// "XSellWindow". Owned by its parent window. Main thread only.
#pragma once

#include "engine/core/str.h"
#include "engine/ui/window.h"

struct lua_State;

class TXSellWindow : public TWindow {
public:
    static constexpr int kGameLinks = 7;
    static constexpr int kSlots = 8;

    // Publishes "SetupXSell" and "LaunchGameLink" in the window script.
    TXSellWindow();
    const char* GetClassName() const override { return "TXSellWindow"; }
    bool IsKindOf(TWindowClassId id) const override;
    // Withdraws the two globals, so that a script still holding them gets an error.
    ~TXSellWindow() override;

    // The factory function of the type name "XSellWindow".
    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    // 0 the site link, 1 to 7 a game's; any other number does nothing.
    void LaunchGameLink(int n);
    // Reads the data file into the texts and links, disables the unused slots and, the first time
    // only, centres the buttons and logos on their layout positions.
    void Setup();

    const str& GetGameLink(int n) const { return mGameLinks[n - 1]; }
    const str& GetSiteLink() const { return mSiteLink; }

private:
    str mGameLinks[kGameLinks];
    str mSiteLink;
    bool mCentred = false;
    // The state the globals live in.
    lua_State* mState = nullptr;
};
