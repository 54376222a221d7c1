// The loading screen of the window type "Loader": while its bar "LoadingProgressing" runs to the
// end, one step every 100 ms, it loads the game's scene file and game data and preloads the first
// level's assets; then the first screen of the run swaps to the main menu and every later one
// calls the script's "CheckBeforeCloseLoader". Owned by its parent window. Main thread only.
#pragma once

#include "engine/ui/window.h"

class TImage;
class TProgressBar;

class TLoaderWindow : public TWindow {
public:
    const char* GetClassName() const override { return "TLoaderWindow"; }
    bool IsKindOf(TWindowClassId id) const override;
    ~TLoaderWindow() override = default;
    // The first screen of the run sets the cursor and loads the player progress; every screen
    // covers 800 x 600, finds its bar and gray image and starts its ticks.
    void PostCreate(TWindowStyle& style) override;
    // One step while the value is below 100; at 100 the screen hands over and its ticks end.
    bool OnAnimate() override;
    virtual void Reserved28() {}

    // The factory function of the type name "Loader".
    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    // Moves the bar (or, without one, the screen's own count) on by `step`; the loading work runs
    // the first time the step reaches 32 and 64 in this opening.
    void Step(float step);
    // The bar's value, or the screen's own count when it has no bar.
    float GetValue() const;

    // The run's loading screens start afresh: the next one is the first of the run again. For a
    // new run of the game in the same process.
    static void ForgetLoads();
    static int GetLoadsFinished() { return sLoadsFinished; }

private:
    void LoadGame();
    void PreloadLevel();

    // Not owned: descendants found once.
    TProgressBar* mBar = nullptr;
    TImage* mGrayImage = nullptr;
    // Counts from 0 with the same steps when the screen has no bar.
    float mOwnValue = 0.0f;
    bool mGameLoaded = false;
    bool mLevelPreloaded = false;

    // Of the whole run: the screens that finished, whether the first set the cursor, and whether
    // the player progress is still to be loaded.
    static inline int sLoadsFinished = 0;
    static inline bool sCursorSet = false;
    static inline bool sProgressToLoad = true;
};
