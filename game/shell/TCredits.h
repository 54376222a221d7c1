// The credits window of the window type "CreditsWindow": reads the credits file named by its
// definition once, lays its lines out as blocks of centred columns and scrolls them upwards for as
// long as it is open, the position derived from the engine clock. The first pass starts with the
// text at the top and, after the intro pause, scrolls it out; every later pass brings it in at the
// bottom. A file that gives no text, or a speed of 0 or less, shows an empty window. Owned by its
// parent window. Main thread only.
#pragma once

#include "engine/core/color.h"
#include "engine/core/str.h"
#include "engine/ui/window.h"
#include "game/shell/TCreditsBlock.h"

#include <cstdint>
#include <memory>
#include <vector>

class TCredits : public TWindow {
public:
    const char* GetClassName() const override { return "TCredits"; }
    bool IsKindOf(TWindowClassId id) const override;
    ~TCredits() override;
    // The window's behaviour, the definition's keys, the file laid out, the 16 ms timer started.
    void Init(TWindowStyle& style) override;
    void Draw() override;
    // Asks for a redraw; the timer keeps running.
    bool OnAnimate() override;

    // The factory function of the type name "CreditsWindow".
    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    // How far the text has scrolled up at `now` (engine milliseconds), and with it the pass: the
    // first frame after the first pass ended starts the later passes. 0 for an empty window.
    int64_t ScrollOffset(uint32_t now);
    // The top of the first block at `now`, in window coordinates.
    int64_t TextTop(uint32_t now);

    const std::vector<std::unique_ptr<TCreditsBlock>>& GetBlocks() const { return mBlocks; }
    int GetTotalHeight() const { return mTotalHeight; }
    int GetPass() const { return mPass; }
    float GetSpeed() const { return mSpeed; }

private:
    void ReadFile(const TColor& header);

    std::vector<std::unique_ptr<TCreditsBlock>> mBlocks;
    float mSpeed = 0.0f;
    int mIntroPause = 0;
    str mFontName;
    int mFontSize = 16;
    TColor mFontColor{0.0f, 0.0f, 0.0f, 0.0f};
    str mFileName;
    int mTotalHeight = 0;
    int mPass = 0;
    uint32_t mStartTime = 0;
};
