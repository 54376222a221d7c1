// The end-of-level score table, window type "GLevelScoreValues": its seven numbers (goals,
// breakdowns, order bonus, level points, the player's new total score and money) count up one
// after another on its timer. The layout calls "CPP_OnLevelScoreInitComplete", which this window
// publishes in the main script for its lifetime, once its text windows exist. Owned by its parent
// window; main thread only.
#pragma once

#include "engine/ui/window.h"

#include <cstdint>
#include <vector>

class TScript;
class TText;
struct lua_State;

class GLevelScoreValues : public TWindow {
public:
    static constexpr int kDefaultAnimDelayMs = 100;
    // Counters that count up reach their target in this many steps.
    static constexpr int kCountSteps = 20;

    struct Counter { // NOLINT(readability-identifier-naming)
        // Not owned; null when the layout has no text window of the name.
        TText* mText = nullptr;
        int32_t mCurrent = 0;
        int32_t mTarget = 0;
        int32_t mStep = 0;
    };

    GLevelScoreValues();
    ~GLevelScoreValues() override;
    GLevelScoreValues(const GLevelScoreValues&) = delete;
    GLevelScoreValues& operator=(const GLevelScoreValues&) = delete;
    const char* GetClassName() const override { return "GLevelScoreValues"; }
    bool IsKindOf(TWindowClassId id) const override;

    // The factory function of the type name "GLevelScoreValues".
    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    // Default focus of its modal window and the "anim_delay" timer; the base Init does not run, so
    // the window keeps an empty name.
    void Init(TWindowStyle& style) override;
    void Draw() override {}
    // One counting step.
    bool OnAnimate() override;

    // Appends the seven counters of the current level and the player.
    void CPP_OnLevelScoreInitComplete();
    // Counts toward the target, never past it, and shows the value.
    static void AdvanceCounter(Counter& counter);

    const std::vector<Counter>& GetCounters() const { return mCounters; }
    int GetCurrentIndex() const { return mCurrentIndex; }

private:
    void AddCounter(const char* textName, int target, int start, int step);

    // Not owned: the window manager's script at construction.
    TScript* mScript = nullptr;
    int32_t mCurrentIndex = 0;
    std::vector<Counter> mCounters;
    lua_State* mPublished = nullptr;
};
