// Small widgets the game's layouts create by type name. A fly text is a score pop-up that drifts
// up, down or stays, slowing down, and empties itself at the end of its flight. A level jump
// button can be switched off by its layout and then ignores the mouse. The interface editor is a
// plain window under a name of its own. Windows owned by the window tree. Main thread only.
#pragma once

#include "engine/core/color.h"
#include "engine/ui/button.h"
#include "engine/ui/text.h"
#include "game/world/GMobile.h"
#include "game/world/LineMove.h"

class GFlyText : public TText {
public:
    static constexpr int kTickMs = 30;
    // Pixels per remaining step.
    static constexpr float kSpeed = 0.05f;

    ~GFlyText() override;
    const char* GetClassName() const override { return "GFlyText"; }
    bool IsKindOf(TWindowClassId id) const override;
    // The text's; its timer ticks from now on and the two colours are read.
    void Init(TWindowStyle& style) override;
    // One step of a running flight.
    bool OnAnimate() override;

    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    // Below 0 down in the down colour, 0 in place, above 0 up, both in the up colour; the first
    // step is taken at once, from where the mover stands.
    void Fly(int direction, int steps);
    // Where the text flies from; set it before Fly.
    GMobile& GetMobile() { return mMobile; }

private:
    GMobile mMobile;
    LineMove mUp{0.0f, -kSpeed};
    LineMove mDown{0.0f, kSpeed};
    LineMove mStill{0.0f, 0.0f};
    TColor mColorUp{1.0f, 1.0f, 1.0f, 1.0f};
    TColor mColorDown{0.0f, 0.0f, 0.0f, 1.0f};
};

class GLevelJumpButton : public TButton {
public:
    const char* GetClassName() const override { return "GLevelJumpButton"; }
    bool IsKindOf(TWindowClassId id) const override;
    // The button's, then "enabled".
    void Init(TWindowStyle& style) override;
    void Draw() override {}
    // Switched off, the press and the hover are taken and dropped.
    bool OnMouseDown(const TPoint& point) override;
    bool OnMouseMove(const TPoint& point) override;

    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    bool IsEnabled() const { return mEnabled; }

private:
    bool mEnabled = true;
};

class GControlEditor : public TWindow {
public:
    const char* GetClassName() const override { return "GControlEditor"; }
    bool IsKindOf(TWindowClassId id) const override;

    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }
};
