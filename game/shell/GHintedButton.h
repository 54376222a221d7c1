// A button that shows its hint in the game screen's small hint panel once the mouse has rested on
// it for a while: the delay runs from the first move over it, a later move while waiting hides the
// panel, and leaving the button hides it. Without a small hint panel it is a plain button. Owned by
// the window tree. Main thread only.
#pragma once

#include "engine/ui/button.h"

#include <cstdint>

class GSmallHintPanel;

class GHintedButton : public TButton {
public:
    static constexpr int kTickMs = 50;
    // The hint's place from the mouse, in the button's parent.
    static constexpr int kHintOffsetX = 10;
    static constexpr int kHintOffsetY = -100;

    const char* GetClassName() const override { return "GHintedButton"; }
    bool IsKindOf(TWindowClassId id) const override;
    // The button's, then "HintAppearDelay", "HintName" and "HintDescript" (looked up at once).
    void Init(TWindowStyle& style) override;
    // Shows the hint once the delay has passed since arming.
    bool OnAnimate() override;
    bool OnMouseMove(const TPoint& point) override;
    bool OnMouseLeave() override;

    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    bool IsArmed() const { return mArmed; }
    uint32_t GetHintAppearDelay() const { return mHintAppearDelay; }
    const str& GetHintCaption() const { return mHintCaption; }
    const str& GetHintDescription() const { return mHintDescription; }

private:
    // The game window's small hint panel; null when there is none.
    static GSmallHintPanel* HintPanel();
    // The top modal window's clock, in ms.
    static int ClockTime();

    uint32_t mHintAppearDelay = 1000;
    bool mArmed = false;
    int32_t mArmedTime = 0;
    str mHintCaption;
    str mHintDescription;
};
