// The game control, window type "GGameCtrl" (named "game_ctrl" in the game screen): the level's
// input and drawing surface. Mouse and keys go to the game data (keys to the developer cheats
// first), the level's visual objects draw through its draw list, and the Lua texts the logical
// manager queues while something is carried run here one per tick. Owned by its parent window
// (the game window); main thread only.
#pragma once

#include "engine/core/str.h"
#include "engine/ui/window.h"

#include <cstdint>
#include <memory>
#include <vector>

class GCheatManager;
class GGameData;
class GVLayer;
class TTextSprite;

class GGameCtrl : public TWindow {
public:
    static constexpr int kAnimationMs = 10;
    static constexpr int kHintFontSize = 16;

    GGameCtrl();
    // Forgets the game data and, when the logical manager still runs its timers in this control's
    // modal window, takes that from it; the draw list goes (and stops being the factory's).
    ~GGameCtrl() override;
    GGameCtrl(const GGameCtrl&) = delete;
    GGameCtrl& operator=(const GGameCtrl&) = delete;
    const char* GetClassName() const override { return "GGameCtrl"; }
    bool IsKindOf(TWindowClassId id) const override;

    // The factory function of the type name "GGameCtrl".
    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    // The draw list becomes the visual factory's current one; a 10 ms animation; the cheats, with
    // the developer cheats when the main script's "gCheatMode" is 1; the default focus of its
    // modal window.
    void Init(TWindowStyle& style) override;
    // Its modal window runs the logical manager's timers; takes the game data.
    void PostCreate(TWindowStyle& style) override;
    // The draw list, then the cheat hint (default font, top left) while it is shown.
    void Draw() override;
    // One queued text when nothing is carried, after a release at (-1, -1); always a redraw.
    bool OnAnimate() override;
    bool OnMouseDown(const TPoint& point) override;
    bool OnMouseUp(const TPoint& point) override;
    bool OnMouseMove(const TPoint& point) override;
    bool OnMouseLeave() override;
    // A key a cheat takes is handled; any other goes to the game data.
    bool OnKeyDown(uint8_t key, int modifiers) override;
    bool OnKeyUp(uint8_t key) override;

    void QueueLuaText(const str& text) { mLuaTexts.push_back(text); }
    const std::vector<str>& GetLuaTexts() const { return mLuaTexts; }
    // A release at (-10, -10), outside the play area, so no listener stays pressed.
    void SendOutsideRelease();
    GVLayer* GetLayer() const { return mLayer.get(); }
    GGameData* GetGameData() const { return mGameData; }
    TPoint GetLastMousePoint() const { return {mLastMouseX, mLastMouseY}; }
    bool IsTracking() const { return mTracking; }
    GCheatManager* GetCheatManager() const { return mCheats.get(); }
    // The cheat "K": nothing draws the rectangles yet.
    void SetDrawObjectRects(bool on) { mDrawObjectRects = on; }
    bool IsDrawingObjectRects() const { return mDrawObjectRects; }

private:
    void DrawCheatHint();

    // Starts true: tracking begins with the first move after the mouse once left.
    bool mTracking = true;
    int32_t mLastMouseX = 0;
    int32_t mLastMouseY = 0;
    std::vector<str> mLuaTexts;
    // Not owned: the object factory's.
    GGameData* mGameData = nullptr;
    std::unique_ptr<GVLayer> mLayer;
    // Not owned: the modal window given to the logical manager.
    TModalWindow* mScreen = nullptr;
    std::unique_ptr<GCheatManager> mCheats;
    bool mDrawObjectRects = false;
    // The cheat hint's text, laid out when first drawn.
    std::unique_ptr<TTextSprite, void (*)(TTextSprite*)> mHintSprite;
};
