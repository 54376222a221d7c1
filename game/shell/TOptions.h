// The options window of the window type "OptionsWindow": shows the display mode, the mute and the
// selected player's volumes in the controls its script built, makes the sliders change the heard
// volumes at once (the sound slider with a test click), and stores the volumes when the script
// calls "SaveVolumes", which it publishes while it lives. Owned by its parent window. Main thread
// only.
#pragma once

#include "engine/ui/window.h"

#include <cstdint>

struct lua_State;
class TSlider;

class TOptions : public TWindow {
public:
    // Publishes "SaveVolumes".
    TOptions();
    const char* GetClassName() const override { return "TOptions"; }
    bool IsKindOf(TWindowClassId id) const override;
    // Takes "SaveVolumes" back while it is still this window's.
    ~TOptions() override;
    // Fills the controls from the preferences. Not the window's own behaviour: "fit" does
    // nothing here.
    void PostCreate(TWindowStyle& style) override;
    // The sliders' value changes set the live volumes; the release of the mouse ends the click.
    bool OnMessage(TMessage* message) override;

    // The factory function of the type name "OptionsWindow".
    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    // The Lua function of the same name: the selected player's "soundlevel" and "musiclevel" from
    // the sliders, in thousandths, truncated.
    void SaveVolumes();

    bool IsClickPlaying() const { return mClickPlaying != 0; }

private:
    TSlider* FindSlider(const char* name);

    uint8_t mFirstSoundChangeSeen = 0;
    uint8_t mClickPlaying = 0;
    // The state the function was published in; null without a window script.
    lua_State* mPublished = nullptr;
};
