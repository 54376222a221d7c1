// The game screen's hint panels. The large one is the upgrade shop's hint: caption, description,
// cost, and notes shown when the item is too expensive or recommended; it stays shown until
// hidden. The small one is a label that flies along a line and hides at the end of its flight: the
// hover hint and the floating score labels of the game window. Windows owned by the window tree.
// Main thread only.
#pragma once

#include "engine/core/color.h"
#include "engine/ui/image.h"
#include "game/world/GSCanMove.h"
#include "game/world/LineMove.h"

class TText;

class GHintPanel : public TImage, public GSCanMove {
public:
    // Motion ticks after Init.
    static constexpr float kInitialMoves = 10.0f;
    static constexpr int kTickMs = 30;

    ~GHintPanel() override;
    const char* GetClassName() const override { return "GHintPanel"; }
    bool IsKindOf(TWindowClassId id) const override;
    // The image's; the panel starts hidden and idle, its motion ticking.
    void Init(TWindowStyle& style) override;
    // Finds its children.
    void PostCreate(TWindowStyle& style) override;
    // One motion step while moves remain; the step that uses the last one hides the panel.
    bool OnAnimate() override;

    // Moves the window with the position (truncated).
    void SetPosition(float x, float y) override;

    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    void SetCaption(const str& text);
    void SetDescription(const str& text);
    void SetCost(int cost);
    void SetMoveAmount(float amount) { mMoveCount = amount; }
    void SetRecommended(bool recommended) { mRecommended = recommended; }
    // Shown and marked shown; the notes by the player's money and the recommendation.
    void Refresh();
    // Hidden and idle.
    void Hide();

    bool IsShown() const { return mShown; }
    float GetMoveCount() const { return mMoveCount; }
    int GetCost() const { return mCost; }
    TVec2 GetVelocity() const { return mLine.mVelocity; }

protected:
    LineMove mLine;
    float mMoveCount = 0.0f;
    bool mShown = false;
    // Not owned: children, null when missing or of another kind.
    TText* mCostText = nullptr;
    TText* mRecommendText = nullptr;
    TText* mCommentText = nullptr;
    TImage* mBottom = nullptr;
    TImage* mTop = nullptr;
    TText* mDescription = nullptr;
    TText* mCaption = nullptr;
    int32_t mCost = 0;
    bool mRecommended = false;
};

class GSmallHintPanel : public GHintPanel {
public:
    // The background's centre in the panel.
    static constexpr int kBackgroundCentreX = 80;
    static constexpr int kBackgroundCentreY = 50;

    const char* GetClassName() const override { return "GSmallHintPanel"; }
    bool IsKindOf(TWindowClassId id) const override;
    // Its style and its own children; not the large panel's.
    void PostCreate(TWindowStyle& style) override;

    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    bool IsIdle() const { return !mShown; }
    void SetDescription(const str& text);
    void SetDescriptionColor(const TColor& color);
    // Kind 1 the first image, any other the second, centred on the background's centre.
    void SetBackground(int kind);
    // Below 0 down the style's vector, else up it: one step of the amount at once, shown, and
    // the ticks go on with amount - 1 steps down to 1. Recolour takes the direction's colour.
    void Fly(int direction, int amount, bool recolour);

private:
    double mVectorX = 0.0;
    double mVectorY = 0.0;
    TColor mColorUp;
    TColor mColorDown;
    str mImage1;
    str mImage2;
    // Not owned.
    TText* mSmallDescription = nullptr;
    TImage* mBackground = nullptr;
};
