// The power selection screen's buttons. When the main script reports the powers set up
// ("CPP_OnPowersInitComplete"), the selector fills the buttons its template names: the first
// always offers the soda, each other one the game data's power once the current level reaches the
// level it is unlocked at, else a locked icon. A button shows its caption and hint in the screen's
// "power_name" and "power_hint" texts while hovered. Both are windows owned by the window tree.
// Main thread only.
#pragma once

#include "engine/ui/button.h"
#include "engine/ui/window.h"

#include <vector>

struct lua_State;

class GPowerMeterButton : public TButton {
public:
    const char* GetClassName() const override { return "GPowerMeterButton"; }
    bool IsKindOf(TWindowClassId id) const override;
    // The button's, then its size and its "name".
    void Init(TWindowStyle& style) override;
    void Draw() override {}
    // Pressed only when enabled; the press never goes on.
    bool OnMouseDown(const TPoint& point) override;
    // When enabled, the hover also shows its caption and hint in the screen.
    bool OnMouseMove(const TPoint& point) override;

    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    // The window script's "SetPowerIconBitmap" for the button's icon window.
    void SetIcon(const str& image);
    void SetEnabled(bool enabled) { mEnabled = enabled ? 1 : 0; }
    bool IsEnabled() const { return mEnabled != 0; }
    void SetCaption(const str& caption) { mCaption = caption; }
    void SetHint(const str& hint) { mHint = hint; }
    const str& GetCaption() const { return mCaption; }
    const str& GetHint() const { return mHint; }
    const str& GetButtonName() const { return mName; }
    int GetWidth() const { return mWidth; }
    int GetHeight() const { return mHeight; }

private:
    int mEnabled = 0;
    int mWidth = 0;
    int mHeight = 0;
    str mName;
    str mCaption;
    str mHint;
};

class GPowerMeterSelector : public TWindow {
public:
    // Publishes "CPP_OnPowersInitComplete" in the window script.
    GPowerMeterSelector();
    ~GPowerMeterSelector() override;
    GPowerMeterSelector(const GPowerMeterSelector&) = delete;
    GPowerMeterSelector& operator=(const GPowerMeterSelector&) = delete;

    const char* GetClassName() const override { return "GPowerMeterSelector"; }
    bool IsKindOf(TWindowClassId id) const override;
    // "button_template_name" and "buttons_num".
    void Init(TWindowStyle& style) override;
    void Draw() override {}

    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    // Fills the buttons anew. A template without exactly one integer conversion fills none and
    // says so in the game log; a name that finds no power button is passed over.
    void CPP_OnPowersInitComplete();
    // The power button of the name in the selector's screen; null when there is none.
    GPowerMeterButton* FindButton(const str& name);

    const std::vector<GPowerMeterButton*>& GetButtons() const { return mButtons; }

private:
    str mTemplate;
    int mButtonCount = 0;
    // Not owned: children of the screen.
    std::vector<GPowerMeterButton*> mButtons;
    lua_State* mPublished = nullptr;
};
