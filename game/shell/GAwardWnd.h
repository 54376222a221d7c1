// The award ceremony, window type "GAwardWnd": the level's girls stand side by side in their final
// looks in the "award_layer", a crown runs over their heads, slowly and then faster, and at the end
// the best girl moves to the winner's spot, is crowned, the celebration effects fire and the
// window's button becomes "Ok". Owned by its parent window, it owns the girls' visuals; main
// thread only.
#pragma once

#include "engine/ui/window.h"

#include <cstdint>
#include <memory>
#include <vector>

class GSeparateLayer;
class GVObject;
class TImage;
class TLuaTable;
struct GGirlLook;

class GAwardWnd : public TWindow {
public:
    // The crown's run takes this long in all over the girls, within the period's bounds.
    static constexpr int kRunMs = 720;
    static constexpr int kMinPeriodMs = 10;
    static constexpr int kMaxPeriodMs = 200;

    GAwardWnd();
    // The visuals leave their draw list first: it belongs to a child window that goes later.
    ~GAwardWnd() override;
    GAwardWnd(const GAwardWnd&) = delete;
    GAwardWnd& operator=(const GAwardWnd&) = delete;
    const char* GetClassName() const override { return "GAwardWnd"; }
    bool IsKindOf(TWindowClassId id) const override;

    // The factory function of the type name "GAwardWnd".
    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    // Builds the ceremony from the current level; nothing at all without one.
    void PostCreate(TWindowStyle& style) override;
    // The crown's runs and then the reveal, once.
    bool OnAnimate() override;

    // Switches the visual to the named state and, with a look, to the look's hair, dress and
    // accessories in it; the two invisible states are set once more so that they are in force.
    static void ApplyLook(GVObject* visual, const str& state, const GGirlLook* look);
    // "gActive = true;" to the particle window of the name in the modal parent's subtree.
    void ActivateEffect(const str& name);
    // The winner's index, lowered to the last girl's.
    void SetWinner(int index);

    const std::vector<std::unique_ptr<GVObject>>& GetGirls() const { return mGirls; }
    GSeparateLayer* GetAwardLayer() const { return mAwardLayer; }
    int GetCrownIndex() const { return mCrownIndex; }
    int GetWinnerIndex() const { return mWinnerIndex; }
    int GetRounds() const { return mRounds; }
    int GetTickCounter() const { return mTickCounter; }
    int GetWinnerX() const { return mWinnerX; }
    int GetWinnerY() const { return mWinnerY; }

private:
    void AddGirl(int x, int y, const GGirlLook& look);
    // Reads "girl_x_y": the first pair is the winner's spot, each later one shows the next girl.
    void PlaceGirls(TLuaTable& pairs, const str& bestName);
    void Reveal();

    std::vector<std::unique_ptr<GVObject>> mGirls;
    // Not owned: windows of the tree.
    GSeparateLayer* mAwardLayer = nullptr;
    TImage* mCrown = nullptr;
    TImage* mAwardCrown = nullptr;
    int32_t mCrownIndex = 0;
    int32_t mWinnerIndex = 0;
    int32_t mRounds = 2;
    int32_t mWinnerX = -1;
    int32_t mWinnerY = -1;
    int32_t mCrownOffsetX = 0;
    int32_t mCrownOffsetY = 0;
    int32_t mTickCounter = 0;
    TWindow* mAwardText = nullptr;
};
