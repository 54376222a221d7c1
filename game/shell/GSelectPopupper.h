// The selector's fly-out, window type "GSelectPopupper" (named "select_menu_popupper"): it takes a
// picture of the menu and, over ten frames, flies it from the heroine to the screen centre while it
// grows to full size, then shows the menu. Owned by its parent window; main thread only.
#pragma once

#include "engine/media/texture.h"
#include "engine/ui/window.h"
#include "game/shell/GMemberFuncAsAnimTaskManager.h"

class GSelectMenu;

class GSelectPopupper : public TWindow, public GMemberFuncAsAnimTaskManager<GSelectPopupper> {
public:
    static constexpr int kPictureWidth = 800;
    static constexpr int kPictureHeight = 600;
    static constexpr int kTaskMs = 20;
    // Where the flight ends: the centre of the screen.
    static constexpr float kCentreX = 400.0f;
    static constexpr float kCentreY = 300.0f;
    static constexpr int kFlightFrames = 10;

    GSelectPopupper();
    // Its menu forgets it.
    ~GSelectPopupper() override;
    GSelectPopupper(const GSelectPopupper&) = delete;
    GSelectPopupper& operator=(const GSelectPopupper&) = delete;
    const char* GetClassName() const override { return "GSelectPopupper"; }
    bool IsKindOf(TWindowClassId id) const override;

    // The factory function of the type name "GSelectPopupper".
    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    // The picture and the redraw task.
    void Init(TWindowStyle& style) override;
    // One frame of the flight while opening.
    void Draw() override;

    void SetMenu(GSelectMenu* menu) { mMenu = menu; }
    // The menu went: nothing refers to it any more.
    void ForgetMenu(const GSelectMenu* menu);
    // Draws the menu's tree into the picture and starts the flight from the heroine (the screen
    // centre without one).
    void Capture(GSelectMenu* menu);
    // The member task: a redraw while opening.
    bool RequestRedraw();

    GSelectMenu* GetMenu() const { return mMenu; }
    const TTexturePtr& GetPicture() const { return mPicture; }
    bool IsOpening() const { return mOpening; }
    float GetScale() const { return mScale; }
    // Where the last frame drew the picture's centre.
    float GetDrawnX() const { return mDrawnX; }
    float GetDrawnY() const { return mDrawnY; }

private:
    // Not owned; linked both ways with the menu.
    GSelectMenu* mMenu = nullptr;
    TTexturePtr mPicture;
    float mScale = 0.0f;
    float mStepX = 0.0f;
    float mStepY = 0.0f;
    float mOffsetX = 0.0f;
    float mOffsetY = 0.0f;
    bool mOpening = false;
    // The flight's start, the heroine's position at the capture.
    float mStartX = kCentreX;
    float mStartY = kCentreY;
    float mDrawnX = 0.0f;
    float mDrawnY = 0.0f;
};
